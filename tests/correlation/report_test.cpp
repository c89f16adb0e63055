#include "correlation/report.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "correlation/correlation.h"
#include "correlation/correlation_matrix.h"
#include "sdm/design_matrix.h"
#include "support/temp_dir.h"

using namespace sdm;
using namespace correlation;

using testing_support::crlf;

namespace {

using Values = std::vector<float>;

DesignMatrix matrixOf(const std::string& fileName, const std::vector<std::string>& names,
                      const std::vector<Values>& predictors) {
  DesignMatrix m;
  m.fileName = fileName;
  m.nrOfDataPoints = predictors.empty() ? 0 : static_cast<int32_t>(predictors[0].size());
  m.firstConfoundPredictor = static_cast<int32_t>(predictors.size()) + 1;
  for (std::size_t p = 0; p < predictors.size(); ++p)
    m.predictors.push_back({names.at(p), {}, PredictorKind::interest, predictors[p]});
  return m;
}

// The report of `m` as its renderer writes it.
std::string csvOf(const DesignMatrix& m) {
  std::string text;
  writeCorrelationCsv(m, [&text](std::string_view piece) { text += piece; });
  return text;
}

}  // namespace

TEST(CorrelationReport, WritesEveryOrderedPairAsAbsoluteValues) {
  const DesignMatrix m = matrixOf("run1.sdm", {"up", "down; reversed", "my curve", "Constant"},
                                  {{1, 2, 3}, {3, 2, 1}, {1, 2, 4}, {1, 1, 1}});
  // up with my curve is 0.98198, down with my curve -0.98198; the constant correlates 0.
  EXPECT_EQ(csvOf(m), crlf(" ; up ; down; reversed ; my curve ; Constant\n"
                           "up ; 1.00 ; 1.00 ; 0.98 ; 0.00\n"
                           "down; reversed ; 1.00 ; 1.00 ; 0.98 ; 0.00\n"
                           "my curve ; 0.98 ; 0.98 ; 1.00 ; 0.00\n"
                           "Constant ; 0.00 ; 0.00 ; 0.00 ; 0.00\n"));
}

TEST(CorrelationReport, CoversTheSmallAndOddMatrices) {
  const struct {
    std::vector<std::string> names;
    std::vector<Values> predictors;
    std::string expected;
  } cases[] = {
      {{}, {}, "\n"},
      {{"A"}, {{0.5f, -2.0f, 7.0f}}, " ; A\nA ; 1.00\n"},
      // One data point: each predictor is flat (its one value equals itself) and correlates 0.
      {{"A", "B"}, {{1.0f}, {2.0f}}, " ; A ; B\nA ; 0.00 ; 0.00\nB ; 0.00 ; 0.00\n"},
      // No data points: every standard deviation is 0.
      {{"A", "B"}, {{}, {}}, " ; A ; B\nA ; 0.00 ; 0.00\nB ; 0.00 ; 0.00\n"},
      // Different lengths correlate 0.
      {{"A", "B"}, {{1, 2, 3}, {1, 2}}, " ; A ; B\nA ; 1.00 ; 0.00\nB ; 0.00 ; 1.00\n"},
      {{"", " "}, {{1, 2}, {2, 1}}, " ;  ;  \n ; 1.00 ; 1.00\n  ; 1.00 ; 1.00\n"},
      // A name holding the separator keeps the columns aligned: its " ; " is written ";".
      {{"a ; b ; c", "d"},
       {{1, 2}, {2, 1}},
       " ; a;b;c ; d\na;b;c ; 1.00 ; 1.00\nd ; 1.00 ; 1.00\n"},
      // A name a spreadsheet would run as a formula is made text by an apostrophe; one that only
      // holds such a character further on is not.
      {{"=cmd|' /C calc'!A0", "+1", "-x", "@SUM(A1)", "\tT", "a=b"},
       {{1, 2}, {1, 2}, {1, 2}, {1, 2}, {1, 2}, {1, 2}},
       " ; '=cmd|' /C calc'!A0 ; '+1 ; '-x ; '@SUM(A1) ; '\tT ; a=b\n"
       "'=cmd|' /C calc'!A0 ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00\n"
       "'+1 ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00\n"
       "'-x ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00\n"
       "'@SUM(A1) ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00\n"
       "'\tT ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00\n"
       "a=b ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00 ; 1.00\n"},
  };
  for (const auto& c : cases) {
    const DesignMatrix m = matrixOf("m.sdm", c.names, c.predictors);
    EXPECT_EQ(csvOf(m), crlf(c.expected)) << c.expected;
    // From cells computed before, the same bytes.
    std::string fromCells;
    writeCorrelationCsv(m, correlationMatrix(valuesOf(m.predictors)),
                        [&fromCells](std::string_view piece) { fromCells += piece; });
    EXPECT_EQ(fromCells, crlf(c.expected)) << c.expected;
  }
}

TEST(CorrelationReport, MatchesTheLiteralReportOnARandomMatrix) {
  std::mt19937 random(7);
  std::normal_distribution<float> normal;
  std::vector<Values> predictors(40, Values(300));
  std::vector<std::string> names;
  for (std::size_t p = 0; p < predictors.size(); ++p) {
    for (auto& v : predictors[p]) v = normal(random);
    if (p % 5 == 1) predictors[p] = predictors[p - 1];
    if (p % 7 == 3) {
      for (std::size_t t = 0; t < 300; ++t)
        predictors[p][t] = predictors[p - 1][t] * 0.1f + predictors[p - 2][t];
    }
    names.push_back(std::string(1, 'p') += std::to_string(p));
  }
  predictors[11].assign(300, 1.0f);
  const std::string report = csvOf(matrixOf("r.sdm", names, predictors));

  // Every ordered pair through correlation(), printed with the C library in the test's locale.
  std::string expected;
  for (const auto& name : names) (expected += " ; ") += name;
  expected += "\r\n";
  for (std::size_t i = 0; i < predictors.size(); ++i) {
    expected += names[i];
    for (std::size_t j = 0; j < predictors.size(); ++j) {
      char cell[32];
      std::snprintf(
          cell, sizeof cell, " ; %.2f",
          static_cast<double>(std::fabs(correlation::correlation(predictors[i], predictors[j]))));
      expected += cell;
    }
    expected += "\r\n";
  }
  EXPECT_EQ(report, expected);
}

// Predictors whose single-precision cross products cancel: two around 50,000 with a spread of 10
// (r = 0.508 in double precision; 0.016 and -0.034 with the ramp), a constant whose mean is
// inexact in single precision, and an exact linear function of a ramp at 100,000. The
// cross-product formula alone gave 12.77 for A ~ B, 22.86 for A with itself, -921510 for the
// constant with itself and 421.75 for the linear pair.
TEST(CorrelationReport, StaysRightForLargeMeansAndInexactConstants) {
  std::mt19937 random(12);
  std::normal_distribution<float> normal;
  const std::size_t n = 1000;
  Values a(n), b(n), constant(n, 1234.567017f), ramp(n), twiceRamp(n);
  for (std::size_t i = 0; i < n; ++i) {
    const float u = normal(random), v = normal(random);
    a[i] = 50000.0f + 10.0f * u;
    b[i] = 50000.0f + 10.0f * (0.5f * u + 0.8660254f * v);
    ramp[i] = 1.0e5f + static_cast<float>(i % 97) * 0.25f;
    twiceRamp[i] = 2.0f * ramp[i] + 3.0f;
  }
  EXPECT_EQ(
      csvOf(matrixOf("big.sdm", {"A", "B", "C", "R", "2R"}, {a, b, constant, ramp, twiceRamp})),
      crlf(" ; A ; B ; C ; R ; 2R\n"
           "A ; 1.00 ; 0.51 ; 0.00 ; 0.02 ; 0.02\n"
           "B ; 0.51 ; 1.00 ; 0.00 ; 0.03 ; 0.03\n"
           "C ; 0.00 ; 0.00 ; 0.00 ; 0.00 ; 0.00\n"
           "R ; 0.02 ; 0.03 ; 0.00 ; 1.00 ; 1.00\n"
           "2R ; 0.02 ; 0.03 ; 0.00 ; 1.00 ; 1.00\n"));
}
