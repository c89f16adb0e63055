// Every parallel step of this program splits, however little its work: the tests' shapes are
// small on purpose (K below the thread count, K = 1, n = 1), and would otherwise stay on one
// thread.

#include <gtest/gtest.h>

#include "base/parallel.h"

namespace {

class SplitSmallSteps : public ::testing::Environment {
 public:
  void SetUp() override { splitSmallSteps(true); }
  void TearDown() override { splitSmallSteps(false); }
};

[[maybe_unused]] ::testing::Environment* const split =
    ::testing::AddGlobalTestEnvironment(new SplitSmallSteps);

}  // namespace
