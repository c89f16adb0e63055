#include "heatmap/design_plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "correlation/correlation_matrix.h"
#include "heatmap/plot.h"
#include "sdm/design_matrix.h"
#include "support/columns.h"

using namespace sdm;
using namespace correlation;
using namespace heatmap;

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

DesignMatrix matrixOf(std::vector<std::string> names, std::vector<std::vector<float>> values,
                      int firstConfound) {
  DesignMatrix m;
  m.fileName = "D:/study/sub01_run1.sdm";
  m.nrOfDataPoints = static_cast<int32_t>(values.front().size());
  m.firstConfoundPredictor = firstConfound;
  m.predictors = testing_support::predictorsOf(std::move(names), std::move(values));
  return m;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(DesignPlot, DrawsEachColumnAsRunsOfGreyFromItsMinimumToItsMaximum) {
  const float gap = std::nanf("");
  const DesignMatrix m =
      matrixOf({"A", "B", "Constant"}, {{0, 0, 1, 1, 0}, {2, gap, 2, 4, 3}, {1, 1, 1, 1, 1}}, 2);
  const std::string svg = designPlotSvg(m, namesOf(m.predictors),
                                        std::vector<double>{1.0, 1.0, nan}, predictorRoles(m));
  // Black is each column's minimum, white its maximum; 3 is half way (grey 128 of 0 ... 255); a
  // grey's next run in the same column moves on from the end of its last one.
  EXPECT_NE(svg.find(" viewBox=\"0 0 3 5\" preserveAspectRatio=\"none\" "
                     "shape-rendering=\"crispEdges\" fill=\"none\" stroke-width=\"1\">\r\n"
                     "<path stroke=\"#000000\" d=\"M0.5 0v2m0 2v1M1.5 0v1m0 1v1\"/>\r\n"
                     "<path stroke=\"#808080\" d=\"M1.5 4v1\"/>\r\n"
                     "<path stroke=\"#ffffff\" d=\"M0.5 2v2M1.5 3v1\"/>\r\n"
                     "<path stroke=\"#c51b7d\" d=\"M1.5 1v1\"/>\r\n"
                     "</svg>\r\n"),
            std::string::npos)
      << svg;
  // The constant column is hatched and in the band's grey, not drawn as values.
  EXPECT_EQ(occurrences(svg, " fill=\"url(#flat)\"/>"), 1u);
  EXPECT_NE(svg.find("fill=\"#9aa1ab\"/>"), std::string::npos);
}

TEST(DesignPlot, ShowsTheGivenNamesWithTheirFactorsOnTopAndOnHover) {
  const DesignMatrix m = matrixOf({"x", "x", "K"}, {{0, 1, 3, 2}, {1, 0, 0, 2}, {1, 1, 1, 1}}, 3);
  const std::vector<std::string> shown = {"a<b", "x #2", "K"};
  const std::string svg =
      designPlotSvg(m, shown, std::vector<double>{1.04, inf, nan}, predictorRoles(m));
  EXPECT_NE(svg.find(">a&lt;b</text>"), std::string::npos);
  EXPECT_NE(svg.find(">x #2</text>"), std::string::npos);
  EXPECT_NE(svg.find(">1.0</text>"), std::string::npos);
  EXPECT_NE(svg.find("<text class=\"high\""), std::string::npos);
  EXPECT_NE(svg.find(">inf</text>"), std::string::npos);
  EXPECT_NE(svg.find("<title>a&lt;b, VIF 1.0</title>"), std::string::npos);
  EXPECT_NE(svg.find("<title>K, VIF &#x2013;</title>"), std::string::npos);
  const std::vector<PredictorRole> roles = predictorRoles(m);
  // A confound's high factor is written plainly: only the task's stand out.
  const std::vector<PredictorRole> confounded = {PredictorRole::interest, PredictorRole::confound,
                                                 PredictorRole::constant};
  EXPECT_EQ(occurrences(designPlotSvg(m, shown, std::vector<double>{1.04, inf, nan}, confounded),
                        "<text class=\"high\""),
            1u);  // the key's
  EXPECT_THROW(designPlotSvg(m, std::span(shown).first(2), std::vector<double>(3), roles),
               std::invalid_argument);
  EXPECT_THROW(designPlotSvg(m, shown, std::vector<double>(2), roles), std::invalid_argument);
  EXPECT_THROW(designPlotSvg(m, shown, std::vector<double>(3), std::span(roles).first(2)),
               std::invalid_argument);
}

TEST(DesignPlot, ReadsTimeInSecondsAndMarksOnsetsWhenTheRepetitionTimeIsKnown) {
  const DesignMatrix m =
      matrixOf({"go", "stop"}, {{0, 1, 3, 2, 0, 1, 3, 2}, {1, 0, 0, 2, 1, 0, 0, 2}}, 3);
  const std::vector<std::vector<double>> onsets = {{0.0, 4.0, 8.0}, {2.5}};  // 8 s: past the end
  const auto svgWith = [&](double tr) {
    return designPlotSvg(m, namesOf(m.predictors), std::vector<double>(2, 1.0), predictorRoles(m),
                         {}, {tr, onsets});
  };
  const std::string points = svgWith(nan), seconds = svgWith(1.0);
  EXPECT_EQ(occurrences(points, "event onsets"), 0u);
  EXPECT_NE(points.find(">data point</text>"), std::string::npos);
  EXPECT_NE(seconds.find(">time (s)</text>"), std::string::npos);
  // 8 s of run, a label every second from 0; the onsets at 0, 4 and 2.5 s of 8 across the
  // 40-pixel columns, none for the one past the end.
  for (const char* label : {">0</text>", ">1</text>", ">7</text>"})
    EXPECT_EQ(occurrences(seconds, label), 1u) << label;
  const std::size_t path = seconds.find("stroke-width=\"2\" d=\"");
  ASSERT_NE(path, std::string::npos);
  long x = 0, y0 = 0, x1 = 0, y1 = 0, y2 = 0, x2 = 0;
  ASSERT_EQ(std::sscanf(seconds.c_str() + path,
                        "stroke-width=\"2\" d=\"M%ld %ldh40M%ld %ldh40M%ld %ldh40\"><title>", &x,
                        &y0, &x1, &y1, &x2, &y2),
            6);
  EXPECT_EQ(x1, x);
  EXPECT_EQ(x2, x + 40);
  EXPECT_EQ((y1 - y0) * 5, (y2 - y0) * 8);  // 4 s against 2.5 s
}

TEST(DesignPlot, CountsTheConfoundsAsTheHeatmapDoes) {
  // Two conditions, then a confound block of three confounds, a flat one, one of small values
  // (squared rotations in radians, not flat at their scale), one more and the constant: five
  // confounds in both pictures, in the design picture under the first of their two runs only.
  std::vector<std::string> names;
  std::vector<std::vector<float>> values;
  for (int p = 0; p < 9; ++p) {
    names.push_back("P" + std::to_string(p));
    std::vector<float> v(40, p == 8 ? 1.0f : 0.0f);
    for (std::size_t t = 0; t < v.size() && p != 5 && p != 8; ++t)
      v[t] = std::sin(0.3f * static_cast<float>(t * static_cast<std::size_t>(p + 1)));
    if (p == 6)
      for (float& x : v) x = 1e-7f * x * x;
    values.push_back(std::move(v));
  }
  const DesignMatrix m = matrixOf(names, values, 3);
  const std::string heatmap = correlationPlotSvg(m, correlationMatrix(valuesOf(m.predictors)));
  const std::string design =
      designPlotSvg(m, namesOf(m.predictors), std::vector<double>(9, 1.0), predictorRoles(m));
  for (const std::string* svg : {&heatmap, &design})
    EXPECT_EQ(occurrences(*svg, "\">confounds (5)</text>"), 1u) << *svg;
  EXPECT_EQ(occurrences(design, "\">confounds</text>"), 1u);
  EXPECT_EQ(occurrences(design, "\">flat</text>"), 1u);
  EXPECT_EQ(occurrences(heatmap, ">P5 (flat)<title>"), 2u);
  EXPECT_EQ(occurrences(heatmap, "P6 (flat)"), 0u);
}

TEST(DesignPlot, StaysSmallAndReadableAtThreeHundredPredictorsOverTwoThousandPoints) {
  // Random walks, as motion estimates drift, and the constant.
  uint32_t state = 7;
  std::vector<std::string> names;
  std::vector<std::vector<float>> values;
  for (int p = 0; p < 300; ++p) {
    names.push_back("P" + std::to_string(p));
    std::vector<float> v(2000, 1.0f);
    float level = 0.0f;
    for (auto& x : v) {
      state = state * 1664525u + 1013904223u;
      if (p < 299) x = level += static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
    }
    values.push_back(std::move(v));
  }
  const DesignMatrix m = matrixOf(names, values, 13);
  const std::string svg =
      designPlotSvg(m, namesOf(m.predictors), std::vector<double>(300, 2.0), predictorRoles(m));
  // Every grey the colour can tell apart: a run seldom passes a data point of a random walk.
  EXPECT_LT(svg.size(), 5'000'000u);
  long width = 0, height = 0;
  ASSERT_EQ(std::sscanf(svg.c_str() + svg.find("<svg "),
                        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100%%\" "
                        "viewBox=\"0 0 %ld %ld\"",
                        &width, &height),
            2);
  EXPECT_LE(width, 1400);
  EXPECT_LE(height, 1000);
  // 3 pixel columns, a name and a factor over every 4th; every column names itself on hover.
  EXPECT_EQ(occurrences(svg, ">P0</text>"), 1u);
  EXPECT_EQ(occurrences(svg, ">P1</text>"), 0u);
  EXPECT_EQ(occurrences(svg, ">P296</text>"), 1u);
  EXPECT_EQ(occurrences(svg, ">2.0</text>"), 75u);
  EXPECT_EQ(occurrences(svg, ", VIF 2.0</title>"), 300u);
}

}  // namespace
