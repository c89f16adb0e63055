#include "report/flagged_pairs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "diagnostics/design_diagnostics.h"
#include "report/design_report.h"
#include "report/log_lines.h"
#include "sdm/design_matrix.h"
#include "support/columns.h"

using namespace sdm;
using namespace diagnostics;
using namespace report;

namespace {

using Messages = std::vector<std::string>;
constexpr float nan = std::numeric_limits<float>::quiet_NaN();

// `interest` predictors of interest (all when negative), then confounds.
DesignMatrix matrixOf(std::vector<std::string> names, std::vector<std::vector<float>> values,
                      int interest = -1) {
  DesignMatrix m;
  m.fileName = "D:/study/run1.sdm";
  m.nrOfDataPoints = values.empty() ? 0 : static_cast<int32_t>(values.front().size());
  m.firstConfoundPredictor =
      (interest < 0 ? static_cast<int32_t>(names.size()) : static_cast<int32_t>(interest)) + 1;
  m.predictors = testing_support::predictorsOf(std::move(names), std::move(values));
  return m;
}

// The log lines of the pairs of `m` that reach `threshold` in the correlations `r`.
Messages flaggedPairMessages(const DesignMatrix& m, const std::vector<float>& r, float threshold) {
  const auto roles = diagnoseDesign(m).roles;
  return flaggedPairLines(pairsAtOrAbove(roles, r, threshold), namesOf(m.predictors), roles);
}

// The report's log lines for `m` with the threshold `text`.
Messages correlationWarnings(const DesignMatrix& m, const char* text) {
  ReportRequest request;
  request.threshold = contract::parseCorrelationThreshold(text);
  return logLines(analyse(m, request), request, m.fileName);
}

// Four varying predictors (which ones vary does not matter when the correlations are given).
DesignMatrix fourPredictors() {
  return matrixOf({"A", "B", "C", "D"}, {{1, 2, 4}, {2, 1, 3}, {5, 3, 1}, {0, 1, 0}});
}

TEST(FlaggedPairs, ListsPairsAtOrAboveTheThresholdStrongestFirstWithSignedR) {
  // Row by row; symmetric as correlationMatrix gives it.
  const std::vector<float> r = {
      1.0f,   0.5f, -0.93f, 0.79f,  //
      0.5f,   1.0f, 0.1f,   0.8f,   //
      -0.93f, 0.1f, 1.0f,   -0.8f,  //
      0.79f,  0.8f, -0.8f,  1.0f,
  };
  EXPECT_EQ(flaggedPairMessages(fourPredictors(), r, 0.8f),
            (Messages{"High correlation 0.93: A ~ C (r = -0.93)",
                      "High correlation 0.80: B ~ D (r = 0.80)",
                      "High correlation 0.80: C ~ D (r = -0.80)"}));
}

TEST(FlaggedPairs, OrdersEqualStrengthsByRowThenColumnWhateverTheSign) {
  const std::vector<float> r = {
      1.0f,  0.6f,  -0.6f, 0.6f,   //
      0.6f,  1.0f,  0.6f,  -0.6f,  //
      -0.6f, 0.6f,  1.0f,  0.9f,   //
      0.6f,  -0.6f, 0.9f,  1.0f,
  };
  EXPECT_EQ(
      flaggedPairMessages(fourPredictors(), r, 0.6f),
      (Messages{
          "High correlation 0.90: C ~ D (r = 0.90)", "High correlation 0.60: A ~ B (r = 0.60)",
          "High correlation 0.60: A ~ C (r = -0.60)", "High correlation 0.60: A ~ D (r = 0.60)",
          "High correlation 0.60: B ~ C (r = 0.60)", "High correlation 0.60: B ~ D (r = -0.60)"}));
}

TEST(FlaggedPairs, NeverListsTheDiagonalNaNOrAConstantPredictor) {
  // D is constant: its cells are made high here to show that it is skipped by kind, not value.
  DesignMatrix m =
      matrixOf({"A", "B", "C", "Constant"}, {{1, 2, 4}, {2, 1, 3}, {5, 3, 1}, {1, 1, 1}});
  const std::vector<float> r = {
      1.0f,  nan,   0.2f,  0.95f,  //
      nan,   1.0f,  0.2f,  0.95f,  //
      0.2f,  0.2f,  1.0f,  0.95f,  //
      0.95f, 0.95f, 0.95f, 1.0f,
  };
  EXPECT_EQ(flaggedPairMessages(m, r, 0.5f), Messages{});
}

TEST(FlaggedPairs, ListsTwentyPairsOfConfoundsThenCountsTheRest) {
  // 8 confounds, every off-diagonal cell 0.5 + (i + j) / 100: 28 pairs, all above 0.5.
  std::vector<std::string> names;
  std::vector<std::vector<float>> values;
  for (int i = 0; i < 8; ++i) {
    names.push_back("P" + std::to_string(i));
    values.push_back({static_cast<float>(i), 1.0f, 0.0f});
  }
  std::vector<float> r(64);
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 8; ++j)
      r[static_cast<std::size_t>(i * 8 + j)] =
          i == j ? 1.0f : 0.5f + static_cast<float>(i + j) / 100.0f;
  }
  const Messages messages = flaggedPairMessages(matrixOf(names, values, 0), r, 0.5f);
  ASSERT_EQ(messages.size(), maxFlaggedPairs + 1);
  EXPECT_EQ(messages.front(), "High correlation 0.63: P6 ~ P7 (r = 0.63)");
  EXPECT_EQ(messages[1], "High correlation 0.62: P5 ~ P7 (r = 0.62)");
  EXPECT_EQ(messages.back(), "... and 8 more");
}

TEST(FlaggedPairs, ListPairsWithAPredictorOfInterestFirst) {
  // A is of interest; B, C and D are confounds.
  const std::vector<float> r = {
      1.0f,  0.81f, 0.1f,   0.1f,    //
      0.81f, 1.0f,  0.99f,  0.1f,    //
      0.1f,  0.99f, 1.0f,   -0.95f,  //
      0.1f,  0.1f,  -0.95f, 1.0f,
  };
  const DesignMatrix m =
      matrixOf({"A", "B", "C", "D"}, {{1, 2, 4}, {2, 1, 3}, {5, 3, 1}, {0, 1, 0}}, 1);
  EXPECT_EQ(flaggedPairMessages(m, r, 0.8f),
            (Messages{"High correlation 0.81: A ~ B (r = 0.81)",
                      "High correlation 0.99: B ~ C (r = 0.99)",
                      "High correlation 0.95: C ~ D (r = -0.95)"}));
}

TEST(FlaggedPairs, NeverHideAPairWithAPredictorOfInterestAmongTheFirstFifty) {
  // 12 predictors of interest (66 pairs at 0.70), then 4 confounds (6 pairs at 0.99).
  std::vector<std::string> names;
  std::vector<std::vector<float>> values;
  for (int i = 0; i < 16; ++i) {
    names.push_back("P" + std::to_string(i));
    values.push_back({static_cast<float>(i), 1.0f, 0.0f});
  }
  std::vector<float> r(256, 0.0f);
  for (std::size_t i = 0; i < 16; ++i)
    for (std::size_t j = 0; j < 16; ++j)
      r[i * 16 + j] = i == j ? 1.0f : i >= 12 && j >= 12 ? 0.99f : i < 12 && j < 12 ? 0.7f : 0.0f;
  const Messages messages = flaggedPairMessages(matrixOf(names, values, 12), r, 0.5f);
  ASSERT_EQ(messages.size(), maxInterestPairs + 1);
  EXPECT_EQ(messages.front(), "High correlation 0.70: P0 ~ P1 (r = 0.70)");
  EXPECT_EQ(messages.back(), "... and 22 more");
}

TEST(FlaggedPairs, ComputesTheSameSinglePrecisionCorrelationsAsTheReport) {
  // r(a, b) = 0.9972, r(b, c) = -0.9767, r(a, c) = -0.9734; d correlates 0.28 at most.
  const DesignMatrix m =
      matrixOf({"a", "b", "c", "d"},
               {{1, 2, 3, 4, 6}, {5, 7, 9, 11, 14}, {-1, -2, -4, -4, -6}, {0, 3, -1, 2, 0}});
  const Messages lines = correlationWarnings(m, "0.9");
  EXPECT_EQ(Messages(lines.begin(), lines.begin() + 3),
            (Messages{"High correlation 1.00: a ~ b (r = 1.00)",
                      "High correlation 0.98: b ~ c (r = -0.98)",
                      "High correlation 0.97: a ~ c (r = -0.97)"}));
}

TEST(FlaggedPairs, RejectsCorrelationsOfTheWrongSize) {
  EXPECT_THROW(flaggedPairMessages(fourPredictors(), std::vector<float>(15), 0.5f),
               std::invalid_argument);
}

TEST(CorrelationWarnings, SaysNothingForABlankThresholdAndOneNoticeForAnInvalidOne) {
  const DesignMatrix m = matrixOf({"a", "b"}, {{1, 2, 3}, {2, 4, 6}});
  EXPECT_EQ(correlationWarnings(m, "  "), Messages{});
  EXPECT_EQ(correlationWarnings(m, " 0,8 "),
            Messages{"Correlation threshold \"0,8\" ignored: give a number above 0 and at most "
                     "1, such as 0.8"});
  EXPECT_EQ(correlationWarnings(m, "0.9").front(), "High correlation 1.00: a ~ b (r = 1.00)");
}

TEST(PairCollector, KeepsTheFirstPairsInListingOrderAndCountsThemAllFromAnyPieces) {
  // Six predictors, two of interest, with correlations that tie and differ in sign.
  constexpr std::size_t k = 6;
  std::vector<float> r(k * k);
  for (std::size_t i = 0; i < k; ++i)
    for (std::size_t j = 0; j < k; ++j)
      r[i * k + j] = i == j ? 1.0f : (((i + j) % 3 == 0) ? -0.7f : 0.9f - 0.05f * float(i + j));
  r[2 * k + 4] = r[4 * k + 2] = nan;
  using correlation::PredictorRole;
  const std::vector<PredictorRole> roles{PredictorRole::interest, PredictorRole::interest,
                                         PredictorRole::confound, PredictorRole::confound,
                                         PredictorRole::flat,     PredictorRole::confound};
  const std::vector<FlaggedPair> all = pairsAtOrAbove(roles, r, 0.6f);
  const auto interest = static_cast<std::size_t>(
      std::count_if(all.begin(), all.end(), [&](auto& p) { return involvesInterest(p, roles); }));
  struct Row {
    std::size_t keep, pieceWidth;
  };
  for (const Row row : {Row{0, 6}, Row{1, 1}, Row{3, 4}, Row{5, 6}, Row{100, 2}}) {
    PairCollector collector(roles, 0.6f, row.keep);
    for (std::size_t i = 0; i < k; ++i)
      for (std::size_t j = 0; j < k; j += row.pieceWidth)
        collector.addPiece(
            i, j, std::span<const float>(r).subspan(i * k + j, std::min(row.pieceWidth, k - j)));
    EXPECT_EQ(collector.count(), all.size());
    EXPECT_EQ(collector.interestCount(), interest);
    const std::vector<FlaggedPair> kept = collector.take();
    ASSERT_EQ(kept.size(), std::min(row.keep, all.size())) << row.keep;
    for (std::size_t p = 0; p < kept.size(); ++p)
      EXPECT_TRUE(kept[p].first == all[p].first && kept[p].second == all[p].second) << p;
  }
  PairCollector collector(roles, 0.6f, 1);
  EXPECT_THROW(collector.addPiece(5, 4, std::span<const float>(r).first(3)), std::out_of_range);
}

}  // namespace
