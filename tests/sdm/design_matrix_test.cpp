#include "sdm/design_matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "matrix_text.h"
#include "support/row_name.h"

using namespace sdm;

namespace {

using sdm_test::joinedNames;
using sdm_test::makeMatrix;

const std::vector<float> kOnes{1.0f, 1.0f, 1.0f};
const std::vector<float> kRamp{1.0f, 2.0f, 3.0f};

// Predictors named "K..." are constant (all 1.0); the others are ramps.
DesignMatrix matrixOf(const std::vector<std::string>& names, int32_t firstConfound) {
  std::vector<std::vector<float>> columns;
  for (const auto& name : names) columns.push_back(name[0] == 'K' ? kOnes : kRamp);
  return makeMatrix(names, columns, 3, firstConfound);
}

struct PlacementCase {
  const char* what;
  std::vector<std::string> names;
  int32_t firstConfound;
  std::vector<float> added;
  bool isConfound;
  std::string expectedNames;
  int32_t expectedFirstConfound;
};

class AddPredictorPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(AddPredictorPlacement, PutsThePredictorWhereTheConfoundBlockSays) {
  const PlacementCase& c = GetParam();
  DesignMatrix m = matrixOf(c.names, c.firstConfound);
  m.addPredictor({"new", {7, 8, 9}, PredictorKind::motion, c.added}, c.isConfound);
  EXPECT_EQ(joinedNames(m), c.expectedNames);
  EXPECT_EQ(m.firstConfoundPredictor, c.expectedFirstConfound);
  EXPECT_EQ(m.predictors.size(), c.names.size() + 1);
  const auto at =
      static_cast<std::size_t>(std::find_if(m.predictors.begin(), m.predictors.end(),
                                            [](const Predictor& p) { return p.name == "new"; }) -
                               m.predictors.begin());
  EXPECT_EQ(sdm_test::describe(makeMatrix({"x"}, {m.predictors[at].values}, 3, 1)),
            sdm_test::describe(makeMatrix({"x"}, {c.added}, 3, 1)));  // NaN-safe
  EXPECT_EQ(m.predictors[at].colour.red, 7);
  EXPECT_EQ(m.predictors[at].colour.green, 8);
  EXPECT_EQ(m.predictors[at].colour.blue, 9);
  EXPECT_EQ(m.predictors[at].kind, PredictorKind::motion);
}

INSTANTIATE_TEST_SUITE_P(
    DesignMatrix, AddPredictorPlacement,
    ::testing::Values(
        PlacementCase{"interest before constant",
                      {"a", "b", "c", "d", "K"},
                      5,
                      kRamp,
                      false,
                      "a b c d new K",
                      6},
        PlacementCase{"confound before constant",
                      {"a", "b", "c", "d", "K"},
                      5,
                      kRamp,
                      true,
                      "a b c d new K",
                      5},
        PlacementCase{"interest before confounds",
                      {"a", "c1", "c2", "K"},
                      2,
                      kRamp,
                      false,
                      "a new c1 c2 K",
                      3},
        PlacementCase{
            "confound at end of block", {"a", "c1", "c2", "K"}, 2, kRamp, true, "a c1 c2 new K", 2},
        PlacementCase{"interest without confounds", {"a", "b"}, 3, kRamp, false, "a b new", 4},
        PlacementCase{"confound without constant", {"a", "c1"}, 2, kRamp, true, "a c1 new", 2},
        PlacementCase{"into empty matrix", {}, 1, kRamp, false, "new", 2},
        PlacementCase{
            "zeros are not constant", {"a", "K"}, 2, {0.0f, 0.0f, 0.0f}, true, "a new K", 2},
        PlacementCase{
            "NaN column is not constant", {"a", "K"}, 2, {1.0f, NAN, 1.0f}, true, "a new K", 2},
        // A loaded file may name a first confound outside 1..N+1: it is brought into range
        // first (0 or less: all are confounds; N+2 or more: none is).
        PlacementCase{"first confound 0", {"a", "b"}, 0, kRamp, false, "new a b", 2},
        PlacementCase{"first confound -5", {"a", "b"}, -5, kRamp, false, "new a b", 2},
        PlacementCase{"first confound N+7", {"a", "b"}, 9, kRamp, false, "a b new", 4},
        PlacementCase{"confound with first confound 0", {"a", "b"}, 0, kRamp, true, "a b new", 1},
        PlacementCase{
            "confound with first confound N+7", {"a", "b"}, 9, kRamp, true, "a b new", 3}),
    testing_support::rowName);

TEST(DesignMatrix, FirstConfoundAtTheExtremeIntegersIsBroughtIntoRange) {
  DesignMatrix high = matrixOf({"a"}, std::numeric_limits<int32_t>::max());
  high.addPredictor({"new", {}, PredictorKind::interest, kRamp}, false);
  EXPECT_EQ(joinedNames(high), "a new");
  EXPECT_EQ(high.firstConfoundPredictor, 3);
  DesignMatrix low = matrixOf({"a"}, std::numeric_limits<int32_t>::min());
  low.addPredictor({"new", {}, PredictorKind::interest, kRamp}, false);
  EXPECT_EQ(joinedNames(low), "new a");
  EXPECT_EQ(low.firstConfoundPredictor, 2);
}

TEST(DesignMatrix, RefusesAPredictorOfTheWrongLength) {
  DesignMatrix m = matrixOf({"a", "K"}, 2);
  const std::string before = sdm_test::describe(m);
  m.addPredictor({"short", {}, PredictorKind::interest, {1.0f, 2.0f}}, false);
  m.addPredictor({"long", {}, PredictorKind::confound, {1.0f, 2.0f, 3.0f, 4.0f}}, true);
  EXPECT_EQ(sdm_test::describe(m), before);
}

TEST(DesignMatrix, RefusesASecondConstantWhateverItsValue) {
  DesignMatrix m = matrixOf({"a", "K"}, 2);
  const std::string before = sdm_test::describe(m);
  m.addPredictor({"twos", {}, PredictorKind::confound, {2.0f, 2.0f, 2.0f}}, true);
  m.addPredictor({"ones", {}, PredictorKind::interest, {1.0f, 1.0f, 1.0f}}, false);
  EXPECT_EQ(sdm_test::describe(m), before);
}

TEST(DesignMatrix, AConstantOfInterestSetsIncludesConstantThoughItIsNotLast) {
  DesignMatrix m = matrixOf({"a", "c"}, 2);
  m.addPredictor({"k", {}, PredictorKind::interest, {3.0f, 3.0f, 3.0f}}, false);
  EXPECT_EQ(joinedNames(m), "a k c");
  EXPECT_TRUE(m.includesConstant);
  EXPECT_FALSE(m.hasConstant());
}

struct ConstantCase {
  const char* what;
  std::vector<float> last;
  bool expected;
};

TEST(DesignMatrix, HasConstantLooksAtTheLastPredictorsValuesOnly) {
  const ConstantCase cases[] = {
      {"all ones", {1.0f, 1.0f, 1.0f}, true},
      {"all minus two", {-2.0f, -2.0f, -2.0f}, true},
      {"zeros", {0.0f, 0.0f, 0.0f}, false},
      {"negative zeros", {-0.0f, -0.0f, -0.0f}, false},
      {"ramp", {1.0f, 2.0f, 3.0f}, false},
      {"NaN first", {NAN, 1.0f, 1.0f}, false},
      {"NaN inside", {1.0f, NAN, 1.0f}, false},
      {"infinities", {INFINITY, INFINITY, INFINITY}, true},
  };
  for (const auto& c : cases) {
    DesignMatrix m = makeMatrix({"a", "b"}, {kRamp, c.last}, 3, 3);
    EXPECT_EQ(m.hasConstant(), c.expected) << c.what;
  }
  EXPECT_FALSE(makeMatrix({}, {}, 3, 1).hasConstant());
  EXPECT_FALSE(makeMatrix({"e"}, {{}}, 0, 2).hasConstant());
}

TEST(DesignMatrix, AddConstantAppendsOneConstantPredictor) {
  DesignMatrix m = matrixOf({"a", "b"}, 3);
  m.addConstant();
  m.addConstant();
  EXPECT_EQ(joinedNames(m), "a b Constant");
  EXPECT_EQ(m.predictors.back().values, kOnes);
  EXPECT_EQ(m.predictors.back().colour.red, 255);
  EXPECT_EQ(m.predictors.back().colour.green, 255);
  EXPECT_EQ(m.predictors.back().colour.blue, 255);
  EXPECT_EQ(m.predictors.back().kind, PredictorKind::constant);
  EXPECT_EQ(m.predictors.size(), 3u);
  EXPECT_EQ(m.firstConfoundPredictor, 3);
  EXPECT_TRUE(m.includesConstant);
}

TEST(DesignMatrix, AddConstantOnAMatrixEndingInAConstantOnlySetsTheFlag) {
  DesignMatrix m = matrixOf({"a", "K"}, 2);
  m.addConstant();
  EXPECT_EQ(joinedNames(m), "a K");
  EXPECT_TRUE(m.includesConstant);
  EXPECT_EQ(m.predictors.size(), 2u);
}

TEST(DesignMatrix, AddConstantWithoutDataPointsAppendsAnEmptyPredictor) {
  DesignMatrix m = makeMatrix({"a"}, {{}}, 0, 2);
  m.addConstant();
  EXPECT_EQ(joinedNames(m), "a Constant");
  EXPECT_TRUE(m.predictors.back().values.empty());
  EXPECT_FALSE(m.hasConstant());
  EXPECT_TRUE(m.includesConstant);
}

TEST(DesignMatrix, RemoveConstantRemovesOnlyATrailingConstant) {
  DesignMatrix withConstant = matrixOf({"a", "c", "K"}, 2);
  withConstant.includesConstant = true;
  withConstant.removeConstant();
  EXPECT_EQ(joinedNames(withConstant), "a c");
  EXPECT_EQ(withConstant.predictors.size(), 2u);
  EXPECT_EQ(withConstant.firstConfoundPredictor, 2);
  EXPECT_FALSE(withConstant.includesConstant);

  DesignMatrix without = matrixOf({"K", "a"}, 2);
  without.includesConstant = true;
  without.removeConstant();
  EXPECT_EQ(joinedNames(without), "K a");
  EXPECT_FALSE(without.includesConstant);
}

TEST(DesignMatrix, KindsByPositionAreInterestThenConfoundsAndATrailingConstant) {
  const struct {
    std::vector<std::string> names;
    int32_t firstConfound;
    std::string kinds;
  } cases[] = {
      {{"a", "b", "c", "K"}, 2, "interest confound confound constant"},
      {{"a", "K"}, 3, "interest constant"},  // a constant among the predictors of interest
      {{"K", "a"}, 2, "interest confound"},  // a constant that is not last is none
      {{"a", "b"}, 0, "confound confound"},
      {{"a", "b"}, std::numeric_limits<int32_t>::min(), "confound confound"},
      {{"a", "b"}, 9, "interest interest"},
  };
  for (const auto& c : cases) {
    DesignMatrix m = matrixOf(c.names, c.firstConfound);
    for (Predictor& p : m.predictors) p.kind = PredictorKind::scrub;
    setKindsByPosition(m);
    EXPECT_EQ(sdm_test::kindsText(m), c.kinds) << c.firstConfound;
  }
}

TEST(PredictorKind, EveryKindHasItsLowerCaseWord) {
  std::string words;
  for (int k = 0; k <= static_cast<int>(PredictorKind::constant); ++k)
    words += std::string(kindName(static_cast<PredictorKind>(k))) + " ";
  EXPECT_EQ(words, "interest confound motion signal compcor cosine scrub outlier constant ");
}

TEST(DesignMatrix, CopiesAreDeepAndKeepTheHeaderLayout) {
  DesignMatrix source = matrixOf({"a", "K"}, 2);
  source.fileName = "dir/source.sdm";
  sdm_test::editLayout(source, [](SdmLayout& layout) {
    layout.version = 3;
    layout.fileVersion.width = 17;
    layout.includesConstant.present = false;
  });
  DesignMatrix copy = source;
  EXPECT_EQ(sdm_test::describe(copy), sdm_test::describe(source));
  EXPECT_EQ(copy.fileName, "dir/source.sdm");

  const std::string before = sdm_test::describe(source);
  copy.addPredictor({"x", {1, 1, 1}, PredictorKind::interest, kRamp}, false);
  copy.predictors[0].values[0] = 42.0f;
  sdm_test::editLayout(copy, [](SdmLayout& layout) { layout.fileVersion.width = 3; });
  copy.removeConstant();
  EXPECT_EQ(sdm_test::describe(source), before);
}

}  // namespace
