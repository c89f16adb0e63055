#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/predictor_onsets.h"

using namespace events;

namespace {

struct OnsetsCase {
  const char* name;
  sdm::PredictorKind kind;
  std::vector<double> onsets;  // what the predictor gets
};

// Conditions in byte order, as the reader gives them; "go_x_rt" is a condition of its own.
EventsTable table() {
  EventsTable read;
  read.conditions = {"go", "go_x_rt", "stop"};
  read.events = {
      {{2.0, 1.0, 1.0, 2}, {10.5, 1.0, 1.0, 4}}, {{7.0, 0.0, 1.0, 5}}, {{4.0, 0.5, 1.0, 3}}};
  return read;
}

class PredictorOnsetsCases : public testing::TestWithParam<OnsetsCase> {};

TEST_P(PredictorOnsetsCases, GivesEachPredictorItsConditionsOnsets) {
  const OnsetsCase& row = GetParam();
  sdm::DesignMatrix matrix;
  matrix.predictors.push_back({row.name, {}, row.kind, {}});
  const std::vector<std::vector<double>> onsets = predictorOnsets(table(), matrix);
  ASSERT_EQ(onsets.size(), 1u);
  EXPECT_EQ(onsets[0], row.onsets);
}

const sdm::PredictorKind interest = sdm::PredictorKind::interest;

INSTANTIATE_TEST_SUITE_P(
    Names, PredictorOnsetsCases,
    testing::Values(OnsetsCase{"go", interest, {2.0, 10.5}},
                    OnsetsCase{"stop_derivative", interest, {4.0}},
                    OnsetsCase{"stop_x_rt", interest, {4.0}},
                    // The longest condition that fits: the condition "go_x_rt" modulated.
                    OnsetsCase{"go_x_rt_x_rating", interest, {7.0}},
                    OnsetsCase{"go_x_rt", interest, {7.0}}, OnsetsCase{"go_x_", interest, {}},
                    OnsetsCase{"go_derivative_derivative", interest, {}},
                    OnsetsCase{"Go", interest, {}}, OnsetsCase{"trans_x", interest, {}},
                    // Confounds and the constant never get onsets, whatever their names.
                    OnsetsCase{"go", sdm::PredictorKind::confound, {}},
                    OnsetsCase{"stop", sdm::PredictorKind::constant, {}}));

}  // namespace
