#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/json_text.h"
#include "diagnostics/display_names.h"
#include "report/design_report.h"
#include "report/log_lines.h"
#include "report/summary_json.h"
#include "sdm/design_matrix.h"
#include "support/columns.h"

using namespace base;
using namespace sdm;
using namespace correlation;
using namespace diagnostics;
using namespace report;
using testing_support::predictorsOf;

namespace {

using Texts = std::vector<std::string>;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(DisplayNames, NumbersEveryOccurrenceOfARepeatedNameOnly) {
  EXPECT_EQ(displayNames(Texts{"Tx", "Face", "Tx", "Ty", "Tx", "Ty", "tx"}),
            (Texts{"Tx #1", "Face", "Tx #2", "Ty #1", "Tx #3", "Ty #2", "tx"}));
  EXPECT_EQ(displayNames(Texts{}), Texts{});
}

TEST(HighInflationLines, ListsInterestFirstThenLargestFirstInfiniteOnesFirstAndCapsAtTwenty) {
  using R = PredictorRole;
  const std::vector<R> confounds(6, R::confound);
  EXPECT_EQ(
      highInflationLines(Texts{"A", "B", "C", "D", "E", "F"},
                         std::vector<double>{9.99, 12.34, nan, inf, 10.0, 12.34}, confounds, 10),
      (Texts{"High VIF inf: D", "High VIF 12.3: B", "High VIF 12.3: F", "High VIF 10.0: E"}));
  EXPECT_EQ(
      highInflationLines(Texts{"A", "B", "C", "D"}, std::vector<double>{inf, 5.5, 44.4, 20},
                         std::vector<R>{R::confound, R::confound, R::interest, R::interest}, 5),
      (Texts{"High VIF 44.4: C", "High VIF 20.0: D", "High VIF inf: A", "High VIF 5.5: B"}));
  Texts names, expected;
  std::vector<double> factors;
  for (int i = 0; i < 23; ++i) {
    names.push_back("P" + std::to_string(i));
    factors.push_back(100.0 + i);
  }
  for (int i = 22; i > 2; --i)
    expected.push_back("High VIF " + std::to_string(100 + i) + ".0: P" + std::to_string(i));
  expected.push_back("... and 3 more");
  EXPECT_EQ(highInflationLines(names, factors, std::vector<R>(23, R::confound), 10), expected);
  EXPECT_THROW(highInflationLines(Texts{"A"}, std::vector<double>{}, confounds, 10),
               std::invalid_argument);
}

TEST(ConditionNumberLine, SaysWhatItIsRoundedToOneDecimal) {
  EXPECT_EQ(conditionNumberLine(29.96), "Condition number of all the regressors together: 30.0");
  EXPECT_EQ(conditionNumberLine(inf), "Condition number of all the regressors together: inf");
  EXPECT_EQ(conditionNumberLine(nan), "Condition number of all the regressors together: nan");
  EXPECT_EQ(diagnosticsSkippedLine(2049),
            "Design diagnostics skipped: 2049 predictors (at most 2048)");
}

TEST(ContrastLines, GiveFourSignificantDigitsOrTheWarning) {
  const diagnostics::ContrastWeights faces{"faces", false, {{{0, 1.0}}}};
  const std::vector<ContrastEstimate> estimates{
      {faces, true, 0.08, 12.5, 1.0, ""},
      {{"faces - houses", false, {}}, true, 1e5, 1e-5, 2.34567, ""},
      {{"motion", false, {}}, true, 0.5, 123456.7, nan, ""},
      {{"all", true, {}}, false, nan, nan, nan, "houses has no events"}};
  EXPECT_EQ(contrastLines(estimates, "D:/study/run1.sdm"),
            (Texts{"Contrast faces: efficiency 12.50, confounds cost x1.000",
                   "Contrast faces - houses: efficiency 1.000e-05, confounds cost x2.346",
                   "Contrast motion: efficiency 123457, confounds cost n/a (it weights a confound)",
                   "Warning: run1.sdm: contrast all cannot be estimated (houses has no events)"}));
  EXPECT_EQ(significantText(0.001234567, 4), "0.001235");
  EXPECT_EQ(significantText(9.99996, 4), "10.000");
  EXPECT_EQ(significantText(-2.5e7, 4), "-2.500e+07");
}

TEST(JsonText, EscapesStringsIntoAsciiAndWritesShortestNumbersOrNull) {
  const struct {
    std::string bytes, json;
  } strings[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c/d", "\"a\\\"b\\\\c/d\""},
      {std::string("\b\f\n\r\t\x01\x1f\x7f", 8), "\"\\b\\f\\n\\r\\t\\u0001\\u001f\\u007f\""},
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
      {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\"\\u00e9\\u20ac\\ud83d\\ude00\""},  // é € 😀
      {"\xe9t\xe9", "\"\\u00e9t\\u00e9\""},                                          // Latin-1
      {"\xc0\xaf\xed\xa0\x80\xc3",
       "\"\\u00c0\\u00af\\u00ed\\u00a0\\u0080\\u00c3\""},  // overlong, surrogate, cut
  };
  for (const auto& c : strings) {
    std::string out;
    appendJsonString(out, c.bytes);
    EXPECT_EQ(out, c.json);
  }
  std::string out;
  for (const double v : {0.1, -2.5e-7, 1e20, -0.0, nan, inf, -inf}) {
    appendJsonNumber(out, v);
    out += ' ';
  }
  appendJsonNumber(out, 0.1f);
  out += ' ';
  appendJsonNumber(out, std::numeric_limits<float>::infinity());
  out += ' ';
  appendJsonNumber(out, int64_t{-42});
  EXPECT_EQ(out, "0.1 -2.5e-07 1e+20 -0 null null null 0.1 null -42");
}

TEST(SummaryJson, WritesEveryPartWithNullForNumbersThatAreNotFinite) {
  DesignMatrix m;
  m.fileName = "D:/study/run \"1\".sdm";
  m.nrOfDataPoints = 4;
  m.firstConfoundPredictor = 2;
  m.predictors =
      predictorsOf({"Face", "Tx", "Constant"}, {{0, 1, 0, 1}, {1, 2, 4, 3}, {1, 1, 1, 1}});
  m.predictors[0].kind = PredictorKind::interest;
  m.predictors[1].kind = PredictorKind::motion;
  m.predictors[2].kind = PredictorKind::constant;
  DesignDiagnostics d;
  d.roles = {PredictorRole::interest, PredictorRole::confound, PredictorRole::constant};
  d.stats = {{0.5f, 0.57735026f}, {2.5f, 1.2909944f}, {1.0f, 0.0f}};
  d.varianceInflation = {inf, 1.25, nan};
  d.dependencies = {{1, 0}};
  d.conditionNumber = 31.5;
  DesignReport report;
  report.shownNames = {"Face", "Tx", "Constant"};
  report.contrasts = {
      {{"Face", false, {{{0, 1.0}}}}, true, 0.5, 2.0, 1.25, ""},
      {{"both", true, {{{0, 1.0}}, {{0, 0.5}, {1, -1.0}}}}, false, nan, nan, nan, "Face and Tx"}};
  report.mark = {contract::Mark::red, {"both cannot be estimated (Face and Tx)"}};
  // Rounding takes a diagonal a step past 1; the summary clamps it.
  report.correlations = {1.0000008f, -0.8944272f, 0.0f, -0.8944272f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  report.diagnostics = d;
  report.pairs = pairsAtOrAbove(d.roles, report.correlations, 0.8f);
  report.pairCount = 1;
  ReportRequest request;
  request.threshold = contract::parseCorrelationThreshold("0.8");
  RunContext context;
  context.notices = {{NoticeKind::warning, "D:/study/run.sdm", "Repaired \\ line 7"},
                     {NoticeKind::note, "D:/study/conf.tsv", "csf"}};
  EXPECT_EQ(summaryJson(summaryOf(m, report, request, context)),
            "{\r\n"
            "  \"version\": 3,\r\n"
            "  \"file\": \"D:/study/run \\\"1\\\".sdm\",\r\n"
            "  \"nrOfPredictors\": 3,\r\n"
            "  \"nrOfDataPoints\": 4,\r\n"
            "  \"firstConfoundPredictor\": 2,\r\n"
            "  \"predictors\": [\r\n"
            "    {\"name\": \"Face\", \"role\": \"interest\", \"kind\": \"interest\", "
            "\"mean\": 0.5, \"sd\": 0.57735026, \"vif\": \"inf\"},\r\n"
            "    {\"name\": \"Tx\", \"role\": \"confound\", \"kind\": \"motion\", \"mean\": 2.5, "
            "\"sd\": 1.2909944, \"vif\": 1.25},\r\n"
            "    {\"name\": \"Constant\", \"role\": \"constant\", \"kind\": \"constant\", "
            "\"mean\": 1, \"sd\": 0, \"vif\": null}\r\n"
            "  ],\r\n"
            "  \"correlations\": [\r\n"
            "    [1, -0.8944272, 0],\r\n"
            "    [-0.8944272, 1, 0],\r\n"
            "    [0, 0, 0]\r\n"
            "  ],\r\n"
            "  \"threshold\": 0.8,\r\n"
            "  \"pairs\": [\r\n"
            "    {\"first\": 0, \"second\": 1, \"r\": -0.8944272}\r\n"
            "  ],\r\n"
            "  \"pairCount\": 1,\r\n"
            "  \"conditionNumber\": 31.5,\r\n"
            "  \"dependencies\": [\r\n"
            "    [1, 0]\r\n"
            "  ],\r\n"
            "  \"notices\": [\r\n"
            "    {\"kind\": \"warning\", \"file\": \"D:/study/run.sdm\", \"text\": \"Repaired "
            "\\\\ line 7\"},\r\n"
            "    {\"kind\": \"note\", \"file\": \"D:/study/conf.tsv\", \"text\": \"csf\"}\r\n"
            "  ],\r\n"
            "  \"scrubbedVolumes\": [],\r\n"
            "  \"meanFramewiseDisplacement\": null,\r\n"
            "  \"contrasts\": [\r\n"
            "    {\"name\": \"Face\", \"test\": \"t\", \"weights\": [{\"Face\": 1}], "
            "\"estimable\": true, \"variance\": 0.5, \"efficiency\": 2, \"confoundCost\": 1.25, "
            "\"reason\": \"\"},\r\n"
            "    {\"name\": \"both\", \"test\": \"F\", \"weights\": [{\"Face\": 1}, "
            "{\"Face\": 0.5, \"Tx\": -1}], \"estimable\": false, \"variance\": null, "
            "\"efficiency\": null, \"confoundCost\": null, \"reason\": \"Face and Tx\"}\r\n"
            "  ],\r\n"
            "  \"mark\": \"red\",\r\n"
            "  \"reasons\": [\r\n"
            "    \"both cannot be estimated (Face and Tx)\"\r\n"
            "  ]\r\n"
            "}\r\n");

  report.diagnostics.conditionNumber = nan;
  report.diagnostics.dependencies.clear();
  report.pairs.clear();
  report.pairCount = 0;
  report.diagnostics.varianceInflation[0] = nan;  // null, not "inf"
  const std::string empty = summaryJson(summaryOf(m, report, ReportRequest{}, RunContext{}));
  EXPECT_NE(empty.find("  \"threshold\": null,\r\n  \"pairs\": [],\r\n  \"pairCount\": 0,\r\n  "
                       "\"conditionNumber\": null,\r\n"
                       "  \"dependencies\": [],\r\n  \"notices\": [],\r\n"),
            std::string::npos);
  EXPECT_NE(empty.find("\"sd\": 0.57735026, \"vif\": null}"), std::string::npos);
  // Beyond the diagnostics' limit the summary says why they are missing; spike regressors of a
  // confound table are listed, with the displacement the request brings.
  report.diagnostics.tooManyPredictors = true;
  report.contrasts.clear();
  report.mark = {};
  m.predictors =
      predictorsOf({"scrub_12", "scrub_3", "Constant"}, {{0, 0, 0, 1}, {0, 1, 0, 0}, {1, 1, 1, 1}});
  m.predictors[0].kind = m.predictors[1].kind = PredictorKind::scrub;
  RunContext displaced;
  displaced.meanFramewiseDisplacement = 0.125;
  EXPECT_TRUE(summaryJson(summaryOf(m, report, ReportRequest{}, displaced))
                  .ends_with("  \"conditionNumber\": null,\r\n"
                             "  \"diagnosticsSkipped\": \"3 predictors (at most 2048)\",\r\n"
                             "  \"dependencies\": [],\r\n  \"notices\": [],\r\n"
                             "  \"scrubbedVolumes\": [1, 3],\r\n"
                             "  \"meanFramewiseDisplacement\": 0.125,\r\n"
                             "  \"contrasts\": [],\r\n  \"mark\": \"ok\",\r\n"
                             "  \"reasons\": []\r\n}\r\n"));
  // Above the bound the summary holds no matrix of correlations, says why and counts every pair.
  Summary unheld = summaryOf(m, report, ReportRequest{}, displaced);
  unheld.correlations = {};
  unheld.correlationsSkipped = "8192 predictors (at most 2048)";
  unheld.pairCount = 1950000;
  EXPECT_NE(summaryJson(unheld).find("  \"correlations\": [],\r\n"
                                     "  \"correlationsSkipped\": \"8192 predictors (at most "
                                     "2048)\",\r\n  \"threshold\": null,\r\n  \"pairs\": [],\r\n"
                                     "  \"pairCount\": 1950000,\r\n"),
            std::string::npos);
}

TEST(ScrubbedVolumes, TakesSpikeRegressorsMadeByScrubbingThatAreOneAtOnePointAndZeroElsewhere) {
  const auto spike = [](std::size_t at, float value = 1.0f) {
    std::vector<float> values(8, 0.0f);
    values[at] = value;
    return values;
  };
  DesignMatrix m;
  m.predictors = predictorsOf({"a", "b", "scrub_1", "d", "e", "f"},
                              {spike(5), spike(0), spike(1), spike(5), spike(4, 2.0f), spike(6)});
  for (sdm::Predictor& p : m.predictors) p.kind = PredictorKind::scrub;
  m.predictors[2].kind = PredictorKind::confound;                   // its name alone tells nothing
  m.predictors[1].values[3] = -0.0f;                                // still 0
  m.predictors[5].values[7] = 1.0f;                                 // two spikes
  EXPECT_EQ(scrubbedVolumes(m), (std::vector<std::size_t>{0, 5}));  // ascending, each once
}

TEST(PairsAtOrAbove, ListsEveryPairStrongestFirstSkippingConstantAndFlatOnes) {
  using R = PredictorRole;
  const std::vector<R> roles = {R::interest, R::confound, R::flat, R::interest, R::constant};
  const float q = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> r = {
      1.0f,  0.6f, 0.9f, -0.6f, 0.9f,  //
      0.6f,  1.0f, 0.9f, q,     0.9f,  //
      0.9f,  0.9f, 1.0f, 0.9f,  0.9f,  //
      -0.6f, q,    0.9f, 1.0f,  0.9f,  //
      0.9f,  0.9f, 0.9f, 0.9f,  1.0f,
  };
  const auto pairs = pairsAtOrAbove(roles, r, 0.6f);
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].first, 0u);
  EXPECT_EQ(pairs[0].second, 1u);
  EXPECT_EQ(pairs[1].second, 3u);
  EXPECT_EQ(pairs[1].r, -0.6f);
}

}  // namespace
