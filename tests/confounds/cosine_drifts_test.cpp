#include "confounds/cosine_drifts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

struct DriftCase {
  int64_t volumes;
  double repetitionTime, cutoff;
  int64_t count;  // floor(2 n TR / C) - 1, none below 1, at most n - 1
};

TEST(CosineDrifts, AreTheFormulasColumnsWithinAMillionth) {
  const DriftCase cases[] = {{180, 2.0, 128.0, 4},  {131, 0.8, 100.0, 1}, {40, 2.0, 128.0, 0},
                             {10, 2.0, 1.0, 9},     {100, 2.0, 0.0, 0},   {1, 2.0, 1.0, 0},
                             {64, 2.0, 1e-300, 63}, {255, 1.5, 128.0, 4}};
  for (const DriftCase& c : cases) {
    const std::string what =
        std::to_string(c.volumes) + " volumes, cut-off " + std::to_string(c.cutoff) + " s";
    EXPECT_EQ(confounds::cosineDriftCount(c.volumes, c.repetitionTime, c.cutoff), c.count) << what;
    const auto drifts = confounds::cosineDrifts(c.volumes, c.repetitionTime, c.cutoff);
    ASSERT_EQ(static_cast<int64_t>(drifts.size()), c.count) << what;
    const double n = static_cast<double>(c.volumes);
    for (int64_t k = 1; k <= c.count; ++k) {
      const sdm::Predictor& drift = drifts[static_cast<std::size_t>(k - 1)];
      EXPECT_EQ(drift.name, (k <= 10 ? "cosine0" : "cosine") + std::to_string(k - 1)) << what;
      EXPECT_EQ(drift.kind, sdm::PredictorKind::cosine);
      for (int64_t i = 0; i < c.volumes; ++i) {
        const double expected =
            std::sqrt(2.0 / n) *
            std::cos(M_PI * static_cast<double>(2 * i + 1) * static_cast<double>(k) / (2.0 * n));
        EXPECT_NEAR(drift.values[static_cast<std::size_t>(i)], expected, 1e-6)
            << what << ", column " << k << ", volume " << i;
      }
    }
  }
}

}  // namespace
