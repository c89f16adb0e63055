#pragma once

#include <cstdint>
#include <string>

// The heatmap's diverging colour scale: blue for -1, white for 0, red for +1, linear in sRGB
// between five anchors. Correlations are coloured at the two-decimal resolution of the report.
namespace heatmap {

struct Rgb {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
};

// One anchor of the scale: the colour at `hundredths` / 100.
struct ColourStop {
  int hundredths;
  Rgb colour;
};

// The anchors from -1 to +1, in order; the colour bar's gradient uses the same stops.
inline constexpr ColourStop colourStops[] = {
    {-100, {33, 102, 172}}, {-50, {146, 197, 222}}, {0, {255, 255, 255}},
    {50, {244, 165, 130}},  {100, {178, 24, 43}},
};

// `r` rounded to hundredths as the report rounds it (to nearest, ties to even, on the exact
// value), clamped to -100 ... 100, so a correlation a rounding step past 1 counts as 1. `r`
// must not be NaN.
int correlationHundredths(float r);

// The colour of a correlation of `hundredths` / 100; values outside -100 ... 100 are clamped.
Rgb divergingColour(int hundredths);

// Appends "#rrggbb" in lower-case hexadecimal.
void appendHexColour(std::string& out, Rgb colour);

// Appends hundredths / 100 with two decimals: "-0.83", "0.00", "1.00" (for the values that
// correlationHundredths gives).
void appendHundredths(std::string& out, int hundredths);

}  // namespace heatmap
