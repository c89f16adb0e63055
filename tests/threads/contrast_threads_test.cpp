// The contrasts' estimates give the bits of one thread for any count, compared for 1, 2 and 7
// threads, on a design whose factorisations split (a dependency among its confounds included).

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "contract/contrasts.h"
#include "correlation/predictor_role.h"
#include "design_generator.h"
#include "diagnostics/contrast_estimates.h"
#include "sdm/design_matrix.h"
#include "threads/threads_support.h"

namespace {

using namespace diagnostics;
using namespace correlation;
using sdm::DesignMatrix;
using tools::DesignShape;
using tools::generateDesignMatrix;

TEST(ThreadsIdentity, ContrastEstimatesAreTheSameForEveryThreadCount) {
  DesignShape shape;
  shape.interest = 20;
  shape.confounds = 170;
  shape.constant = true;
  shape.points = 300;
  shape.sumName = "Sum";
  const DesignMatrix matrix = generateDesignMatrix(shape);
  const std::vector<std::span<const float>> columns = sdm::valuesOf(matrix.predictors);
  const std::vector<std::string> names = sdm::namesOf(matrix.predictors);
  const std::vector<PredictorRole> roles = predictorRoles(matrix);
  const ContrastDesign design{columns, names, roles, confoundStart(matrix, columns.size())};
  std::vector<ContrastWeights> contrasts = defaultContrasts(design);
  const auto more =
      resolveContrasts(contract::parseContrastList("all = [\"" + names[0] + "\", \"" + names[1] +
                                                   "\" - \"Confound 4\"]\n\"Confound 1\" - Sum"),
                       design);
  contrasts.insert(contrasts.end(), more.begin(), more.end());
  const std::vector<ContrastEstimate> one = threads_support::sameForEveryCount(
      "contrasts", [&] { return estimateContrasts(design, contrasts); },
      [](const std::vector<ContrastEstimate>& estimates) {
        std::vector<std::tuple<double, double, double, bool, std::string>> bits;
        for (const ContrastEstimate& e : estimates)
          bits.emplace_back(e.variance, e.efficiency, e.confoundCost, e.estimable, e.reason);
        return bits;
      });
  ASSERT_EQ(one.size(), 22u);
  EXPECT_TRUE(one[0].estimable && one[20].estimable);
  EXPECT_EQ(one[21].reason, "Confound 1, Confound 2, Confound 3 and Sum depend on each other");
}

}  // namespace
