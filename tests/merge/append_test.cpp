#include "merge/append.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdm/matrix_text.h"

using namespace sdm;
using namespace merge;

namespace {

// A matrix of 3 data points whose predictors are named and valued by the test. A name starting
// with "K" is a constant (all equal and non-zero); others get distinct values.
DesignMatrix matrix(const std::string& path, const std::vector<std::string>& names,
                    int firstConfound, int dataPoints = 3) {
  DesignMatrix m;
  m.fileName = path;
  m.nrOfDataPoints = dataPoints;
  m.firstConfoundPredictor = firstConfound;
  float seed = 1.0f;
  for (const auto& name : names) {
    std::vector<float> v;
    for (int t = 0; t < dataPoints; ++t)
      v.push_back(name[0] == 'K' ? 1.0f : seed + static_cast<float>(t * t));
    seed += 1.0f;
    m.predictors.push_back({name, {static_cast<int>(name.size()), 2, 3}, {}, v});
  }
  setKindsByPosition(m);
  return m;
}

// The red component of every predictor, in order.
std::vector<int> redsOf(const DesignMatrix& m) {
  std::vector<int> reds;
  for (const Predictor& p : m.predictors) reds.push_back(p.colour.red);
  return reds;
}

TEST(Append, PutsRegularPredictorsBeforeConfoundsAndKeepsOneConstantLast) {
  const DesignMatrix a = matrix("a/sub01_run1.sdm", {"A1", "A2", "Ac1", "Ac2", "K"}, 3);
  const DesignMatrix b = matrix("b/sub01_run2.sdm", {"B1", "Bc1", "K2"}, 2);
  const DesignMatrix merged = concatenate(a, b);
  EXPECT_EQ(namesOf(merged.predictors),
            (std::vector<std::string>{"A1", "A2", "B1", "Ac1", "Ac2", "Bc1", "K"}));
  EXPECT_EQ(merged.predictors.size(), 7u);
  EXPECT_EQ(merged.firstConfoundPredictor, 4);
  EXPECT_EQ(merged.predictors[2].values, b.predictors[0].values);
  EXPECT_EQ(redsOf(merged), (std::vector<int>{2, 2, 2, 3, 3, 3, 1}));
  EXPECT_EQ(sdm_test::kindsText(merged),
            "interest interest interest confound confound confound constant");
  EXPECT_EQ(merged.fileName, "a/sub01_run1_run2.sdm");
  EXPECT_EQ(a.predictors.size(), 5u);  // the source is untouched
  EXPECT_EQ(a.fileName, "a/sub01_run1.sdm");
}

TEST(Append, ConfoundBlockOfTheOtherDecidesHowItsPredictorsAreAppended) {
  const DesignMatrix a = matrix("a.sdm", {"A1", "Ac1"}, 2);
  EXPECT_EQ(namesOf(concatenate(a, matrix("b.sdm", {"B1", "B2"}, 0)).predictors),
            (std::vector<std::string>{"A1", "Ac1", "B1", "B2"}));
  EXPECT_EQ(concatenate(a, matrix("b.sdm", {"B1", "B2"}, 1)).firstConfoundPredictor, 2);
  const DesignMatrix allRegular = concatenate(a, matrix("b.sdm", {"B1", "B2"}, 9));
  EXPECT_EQ(namesOf(allRegular.predictors), (std::vector<std::string>{"A1", "B1", "B2", "Ac1"}));
  EXPECT_EQ(allRegular.firstConfoundPredictor, 4);
}

TEST(Append, DifferentNumberOfDataPointsAddsNothingButStillExtendsTheName) {
  sdm::DesignMatrix a = matrix("x/left.sdm", {"A1"}, 2);
  append(a, matrix("y/right.sdm", {"B1"}, 2, 4));
  EXPECT_EQ(namesOf(a.predictors), std::vector<std::string>{"A1"});
  EXPECT_EQ(a.predictors.size(), 1u);
  EXPECT_EQ(a.fileName, "x/left_right.sdm");
}

TEST(Append, AppendingAMatrixToItselfDoublesItsPredictors) {
  sdm::DesignMatrix a = matrix("r_1.sdm", {"A1", "Ac1"}, 2);
  append(a, a);
  EXPECT_EQ(namesOf(a.predictors), (std::vector<std::string>{"A1", "A1", "Ac1", "Ac1"}));
  EXPECT_EQ(a.fileName, "r_1_1.sdm");
}

}  // namespace
