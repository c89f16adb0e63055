#include "events/predictor_colours.h"

#include <cstdint>

namespace events {

namespace {

// Twelve colours that stay apart from each other, and from their darker derivatives, on a light
// and on a dark background.
constexpr sdm::PredictorColour palette[] = {
    {220, 60, 60},   {50, 140, 220}, {60, 170, 80},  {235, 150, 40},
    {150, 80, 200},  {40, 180, 180}, {215, 80, 170}, {150, 160, 40},
    {110, 110, 230}, {200, 110, 70}, {90, 160, 130}, {170, 170, 170},
};

int32_t darker(int32_t channel) { return channel * 3 / 5; }

}  // namespace

sdm::PredictorColour conditionColour(std::size_t condition, bool derivative) {
  const sdm::PredictorColour colour = palette[condition % (sizeof palette / sizeof palette[0])];
  if (!derivative) return colour;
  return {darker(colour.red), darker(colour.green), darker(colour.blue)};
}

}  // namespace events
