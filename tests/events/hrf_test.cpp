#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <vector>

#include "events/hrf.h"

using namespace events;

namespace {

double sum(const std::vector<double>& kernel) {
  return std::accumulate(kernel.begin(), kernel.end(), 0.0);
}

// Seconds from the kernel's start to its largest value.
double peakTime(const std::vector<double>& kernel, double dt) {
  const auto peak = std::max_element(kernel.begin(), kernel.end()) - kernel.begin();
  return static_cast<double>(peak) * dt;
}

TEST(HrfKernel, SumsToOneOver32SecondsAndItsDerivativeToAboutZero) {
  for (const HrfModel model : {HrfModel::spm, HrfModel::glover}) {
    for (const double dt : {0.04, 0.05, 0.0123}) {
      const std::vector<double> kernel = hrfKernel(model, dt);
      EXPECT_NEAR(sum(kernel), 1.0, 1e-12);
      EXPECT_EQ(kernel.size(), static_cast<std::size_t>(std::floor(32.0 / dt)) + 1);
      EXPECT_EQ(kernel[0], 0.0);
    }
    const std::vector<double> derivative = hrfDerivativeKernel(model, 0.04);
    EXPECT_EQ(derivative.size(), hrfKernel(model, 0.04).size());
    EXPECT_NEAR(sum(derivative), 0.0, 1e-12);
    // The response rises early on: the kernel runs ahead of its lagged copy.
    EXPECT_GT(derivative[static_cast<std::size_t>(3.0 / 0.04)], 0.0);
  }
}

TEST(HrfKernel, SpmPeaksNearFiveSecondsThenUndershoots) {
  const std::vector<double> kernel = hrfKernel(HrfModel::spm, 0.04);
  EXPECT_NEAR(peakTime(kernel, 0.04), 5.0, 0.2);
  EXPECT_LT(kernel[static_cast<std::size_t>(15.0 / 0.04)], 0.0);
}

TEST(HrfKernel, GloverDiffersFromSpm) {
  const std::vector<double> spm = hrfKernel(HrfModel::spm, 0.04);
  const std::vector<double> glover = hrfKernel(HrfModel::glover, 0.04);
  ASSERT_EQ(spm.size(), glover.size());
  double largest = 0.0;
  for (std::size_t k = 0; k < spm.size(); ++k)
    largest = std::max(largest, std::fabs(spm[k] - glover[k]));
  EXPECT_GT(largest, 1e-3);
  EXPECT_NE(peakTime(spm, 0.04), peakTime(glover, 0.04));
}

TEST(HrfKernel, ModelsByName) {
  EXPECT_EQ(hrfModelNamed("spm"), HrfModel::spm);
  EXPECT_EQ(hrfModelNamed("glover"), HrfModel::glover);
  EXPECT_EQ(hrfModelNamed("SPM"), std::nullopt);
  EXPECT_EQ(hrfValue(HrfModel::spm, 0.0), 0.0);
  EXPECT_EQ(hrfValue(HrfModel::glover, -1.0), 0.0);
}

}  // namespace
