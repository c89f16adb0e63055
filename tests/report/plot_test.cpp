#include "heatmap/plot.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <locale>
#include <random>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/number_text.h"
#include "correlation/correlation_matrix.h"
#include "heatmap/colour_scale.h"
#include "heatmap/xml_text.h"
#include "report/design_report.h"
#include "report/report_writer.h"
#include "sdm/design_matrix.h"
#include "support/columns.h"
#include "support/temp_dir.h"

using namespace base;
using namespace sdm;
using namespace correlation;
using namespace heatmap;

namespace {

using testing_support::readFile;
using testing_support::TempDir;

DesignMatrix matrixOf(std::vector<std::string> names, std::vector<std::vector<float>> values,
                      int firstConfound, std::string fileName = "D:/study/sub01_run1.sdm") {
  DesignMatrix m;
  m.fileName = std::move(fileName);
  m.nrOfDataPoints = values.empty() ? 0 : static_cast<int32_t>(values.front().size());
  m.firstConfoundPredictor = firstConfound;
  m.predictors = testing_support::predictorsOf(std::move(names), std::move(values));
  return m;
}

std::string svgOf(const DesignMatrix& m) {
  return correlationPlotSvg(m, correlationMatrix(valuesOf(m.predictors)));
}

// K predictors of noise over n points, the last one the constant; names Pi. The noise is the
// same with every standard library (the standard distributions are not).
DesignMatrix noiseMatrix(int k, int n, int firstConfound) {
  uint32_t state = 7;
  const auto value = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
  };
  std::vector<std::string> names;
  std::vector<std::vector<float>> values;
  for (int p = 0; p < k; ++p) {
    names.push_back("P" + std::to_string(p));
    std::vector<float> v(static_cast<std::size_t>(n));
    for (auto& x : v) x = p == k - 1 ? 1.0f : value();
    values.push_back(std::move(v));
  }
  return matrixOf(names, values, firstConfound);
}

// Checks that `xml` is one well-formed element tree as far as an SVG reader cares: tags
// balance and nest, attribute values are quoted, and every "&" starts an entity or a reference.
::testing::AssertionResult wellFormed(const std::string& xml) {
  std::vector<std::string> open;
  std::size_t i = xml.find("?>");
  if (xml.rfind("<?xml ", 0) != 0 || i == std::string::npos)
    return ::testing::AssertionFailure() << "no XML declaration";
  for (i += 2; i < xml.size(); ++i) {
    if (xml[i] == '&') {
      const std::size_t end = xml.find(';', i);
      const std::string entity = xml.substr(i, end - i + 1);
      if (end == std::string::npos ||
          (entity != "&amp;" && entity != "&lt;" && entity != "&gt;" && entity != "&quot;" &&
           entity != "&apos;" && entity.rfind("&#x", 0) != 0)) {
        return ::testing::AssertionFailure() << "bare & at " << i;
      }
    } else if (xml[i] == '>') {
      return ::testing::AssertionFailure() << "stray > at " << i;
    } else if (xml[i] == '<') {
      const std::size_t end = xml.find('>', i);
      if (end == std::string::npos) return ::testing::AssertionFailure() << "unclosed tag at " << i;
      std::string tag = xml.substr(i + 1, end - i - 1);
      if (tag.find('<') != std::string::npos)
        return ::testing::AssertionFailure() << "< inside tag at " << i;
      std::size_t quotes = 0;
      for (char c : tag) quotes += c == '"';
      if (quotes % 2 != 0)
        return ::testing::AssertionFailure() << "unbalanced quotes in <" << tag << ">";
      if (tag.front() == '/') {
        if (open.empty() || open.back() != tag.substr(1))
          return ::testing::AssertionFailure() << "bad close </" << tag.substr(1) << ">";
        open.pop_back();
      } else if (tag.back() != '/') {
        open.push_back(tag.substr(0, tag.find_first_of(" \r\n")));
      }
      i = end;
    }
  }
  if (!open.empty()) return ::testing::AssertionFailure() << "<" << open.back() << "> never closed";
  return ::testing::AssertionSuccess();
}

// The cells that the coloured cell paths cover ("M x y h w v c h -w z" runs, w a multiple of
// `cell`), as (row, column) for a grid whose top left corner is (gridX, gridY).
std::multiset<std::pair<long, long>> colouredCells(const std::string& svg, long cell, long gridX,
                                                   long gridY) {
  std::multiset<std::pair<long, long>> cells;
  std::size_t at = 0;
  while ((at = svg.find("<path fill=\"", at)) != std::string::npos) {
    const char* p = svg.data() + svg.find("d=\"", at) + 3;
    const char* end = svg.data() + svg.find('"', static_cast<std::size_t>(p - svg.data()));
    const auto number = [&](char before) {
      EXPECT_EQ(*p, before);
      long value = 0;
      p = std::from_chars(p + 1, end, value).ptr;
      return value;
    };
    while (p < end) {
      const long x = number('M');
      const long y = number(' ');
      const long w = number('h');
      const long h = number('v');
      ++p;  // the "h" of "h-"
      const long back = number('-');
      EXPECT_EQ(*p, 'z');
      ++p;
      EXPECT_EQ(h, cell);
      EXPECT_EQ(w, back);
      for (long cx = x; cx < x + w; cx += cell)
        cells.insert({(y - gridY) / cell, (cx - gridX) / cell});
    }
    at = static_cast<std::size_t>(end - svg.data());
  }
  return cells;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(ColourScale, RunsFromBlueThroughWhiteToRed) {
  const std::pair<int, const char*> cases[] = {{-100, "#2166ac"}, {-50, "#92c5de"}, {0, "#ffffff"},
                                               {50, "#f4a582"},   {100, "#b2182b"}, {25, "#fad2c1"},
                                               {-150, "#2166ac"}, {150, "#b2182b"}};
  for (const auto& [hundredths, hex] : cases) {
    std::string out;
    appendHexColour(out, divergingColour(hundredths));
    EXPECT_EQ(out, hex) << hundredths;
  }
}

TEST(ColourScale, RoundsCorrelationsExactlyAsTheReportPrintsThem) {
  std::mt19937 random(11);
  std::uniform_int_distribution<uint32_t> bits(0, 0x3F800000u);  // every float in [0, 1]
  for (int i = 0; i < 200000; ++i) {
    uint32_t pattern = bits(random);
    float r = 0.0f;
    std::memcpy(&r, &pattern, sizeof r);
    if (i % 2) r = -r;
    std::string fromScale;
    appendHundredths(fromScale, correlationHundredths(r));
    std::string fromReport;
    appendFixed(fromReport, static_cast<double>(r), 2);
    if (fromReport == "-0.00") fromReport = "0.00";
    ASSERT_EQ(fromScale, fromReport) << r;
  }
  EXPECT_EQ(correlationHundredths(1.0000001f), 100);
  EXPECT_EQ(correlationHundredths(-1.0000001f), -100);
}

TEST(XmlText, EscapesMarkupAndWritesEveryOtherCharacterAsAnAsciiReference) {
  const std::pair<std::string, std::string> cases[] = {
      {"a<b & \"c\" 'd'>", "a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt;"},
      {"\xce\x94 amplitude", "&#x394; amplitude"},  // UTF-8
      {"Fl\xe4"
       "che",
       "Fl&#xe4;che"},                           // Latin-1 byte, not UTF-8
      {"\xc0\xaf", "&#xc0;&#xaf;"},              // overlong UTF-8: two Latin-1 bytes
      {"\xed\xa0\x80", "&#xed;&#xa0;&#xfffd;"},  // a surrogate is no character
      {std::string("a\x01"
                   "b\x7f"
                   "c\x85",
                   6),
       "a&#xfffd;b&#xfffd;c&#xfffd;"},
      {"tab\there", "tab\there"},
      {"\xf0\x9f\x99\x82", "&#x1f642;"},
  };
  for (const auto& [bytes, xml] : cases) {
    std::string out;
    appendXmlText(out, bytes);
    EXPECT_EQ(out, xml);
  }
}

TEST(XmlText, CutsAfterTheGivenNumberOfCharactersWithAnEllipsis) {
  std::string out;
  const XmlTextLength cut = appendXmlText(out, "\xce\x94\xce\x94\xce\x94\xce\x94", 3);
  EXPECT_EQ(out, "&#x394;&#x394;&#x394;&#x2026;");
  EXPECT_EQ(cut.characters, 4u);
  EXPECT_TRUE(cut.cut);
  out.clear();
  const XmlTextLength whole = appendXmlText(out, "abc", 3);
  EXPECT_EQ(out, "abc");
  EXPECT_FALSE(whole.cut);
}

TEST(CorrelationPlot, DrawsOneCellPerOrderedPairAndHatchesTheConstant) {
  const DesignMatrix m = noiseMatrix(12, 40, 5);
  const std::string svg = svgOf(m);
  ASSERT_TRUE(wellFormed(svg));
  // 12 predictors: 36 pixel cells; the grid's frame gives its origin.
  const std::size_t frame = svg.rfind("<rect ", svg.find(" fill=\"none\" stroke=\"#8a929c\""));
  long gridX = 0, gridY = 0;
  ASSERT_EQ(std::sscanf(svg.c_str() + frame, "<rect x=\"%ld\" y=\"%ld\"", &gridX, &gridY), 2);
  const auto cells = colouredCells(svg, 36, gridX, gridY);
  std::multiset<std::pair<long, long>> expected;
  for (long i = 0; i < 11; ++i) {
    for (long j = 0; j < 11; ++j) expected.insert({i, j});
  }
  EXPECT_EQ(cells, expected);  // every pair of the 11 varying predictors once; the constant's row
                               // and column are hatched
  EXPECT_EQ(occurrences(svg, "fill=\"url(#flat)\"/>"), 2u);
  EXPECT_NE(svg.find(">P11 (constant)<title>P11 (constant)</title></text>"), std::string::npos);
  EXPECT_NE(svg.find("<title>P11 ~ P2: no correlation (constant)</title>"), std::string::npos);
  EXPECT_EQ(occurrences(svg, "<text class=\"dark\""),
            11u);  // values shown; the diagonal's 1.00 in white
  EXPECT_NE(svg.find("<title>sub01_run1.sdm</title>"), std::string::npos);
}

TEST(CorrelationPlot, DrawsTheConfoundLineOnlyBetweenTwoNonEmptyBlocks) {
  // The least and the largest 32-bit values too: the header may hold either.
  const std::pair<int, bool> cases[] = {{5, true},
                                        {2, true},
                                        {12, true},
                                        {1, false},
                                        {0, false},
                                        {-3, false},
                                        {13, false},
                                        {99, false},
                                        {std::numeric_limits<int32_t>::min(), false},
                                        {std::numeric_limits<int32_t>::max(), false}};
  for (const auto& [firstConfound, line] : cases) {
    const std::string svg = svgOf(noiseMatrix(12, 20, firstConfound));
    EXPECT_EQ(svg.find("<g stroke=\"#000000\" stroke-width=\"2\">") != std::string::npos, line)
        << firstConfound;
  }
}

TEST(CorrelationPlot, MarksNaNCellsAndFlatPredictors) {
  // A NaN value makes every correlation of its predictor NaN, its own included.
  const DesignMatrix gap =
      matrixOf({"A", "B"}, {{1, std::numeric_limits<float>::quiet_NaN(), 3}, {2, 1, 0}}, 3);
  const std::string svg = svgOf(gap);
  EXPECT_NE(svg.find("<path fill=\"#4d4d4d\""), std::string::npos);
  EXPECT_EQ(occurrences(svg, ">nan</text>"), 3u);

  const DesignMatrix zeros = matrixOf({"A", "zeros"}, {{1, 2, 4}, {0, 0, 0}}, 3);
  EXPECT_NE(svgOf(zeros).find(">zeros (flat)<title>zeros (flat)</title></text>"),
            std::string::npos);
}

TEST(CorrelationPlot, SubtitleSaysWhatIsCorrelatedAndFitsThePicture) {
  const struct {
    DesignMatrix matrix;
    std::string subtitle;
  } cases[] = {
      {matrixOf({}, {}, 1, "x.sdm"), "No predictors: nothing to correlate"},
      {matrixOf({"A"}, {std::vector<float>(123456, 1.0f)}, 1, "x.sdm"),
       "Pearson r between 1 predictor over 123456 data points"},
      {noiseMatrix(2, 5, 1), "Pearson r between 2 predictors over 5 data points"},
  };
  for (const auto& c : cases) {
    const std::string svg = svgOf(c.matrix);
    ASSERT_TRUE(wellFormed(svg));
    const std::string opening = "<text class=\"sub\" x=\"16\" y=\"56\">";
    EXPECT_NE(svg.find(opening + c.subtitle + "</text>"), std::string::npos) << c.subtitle;
    long width = 0;
    ASSERT_EQ(std::sscanf(svg.c_str() + svg.find("<svg "),
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100%%\" "
                          "viewBox=\"0 0 %ld",
                          &width),
              1);
    // About 7 pixels a character of the 12 px subtitle, from x = 16, and a margin as wide.
    EXPECT_GE(width, 32 + 7 * static_cast<long>(c.subtitle.size())) << c.subtitle;
  }
}

TEST(CorrelationPlot, EscapesNamesAndTitleAndStaysWellFormed) {
  const DesignMatrix m =
      matrixOf({"a<b & \"c\"",
                "Fl\xe4"
                "che",
                "</svg>"},
               {{1, 2, 4}, {2, 1, 3}, {0, 1, 0}}, 2, "C:/x/awkward & <names>.sdm");
  const std::string svg = svgOf(m);
  EXPECT_TRUE(wellFormed(svg));
  EXPECT_NE(svg.find(">a&lt;b &amp; &quot;c&quot;<title>a&lt;b &amp; &quot;c&quot; (interest)"),
            std::string::npos);
  EXPECT_NE(svg.find(">Fl&#xe4;che<title>"), std::string::npos);
  EXPECT_NE(svg.find("<title>a&lt;b &amp; &quot;c&quot; ~ Fl&#xe4;che: r = "), std::string::npos);
  EXPECT_NE(svg.find("<title>awkward &amp; &lt;names&gt;.sdm</title>"), std::string::npos);
  for (const char c : svg) ASSERT_LT(static_cast<unsigned char>(c), 0x80u);
}

TEST(CorrelationPlot, StaysReadableAtThreeHundredPredictors) {
  const DesignMatrix m = noiseMatrix(300, 30, 13);
  const std::string svg = svgOf(m);
  ASSERT_TRUE(wellFormed(svg));
  long width = 0, height = 0;
  ASSERT_EQ(std::sscanf(svg.c_str() + svg.find("<svg "),
                        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100%%\" "
                        "viewBox=\"0 0 %ld %ld\"",
                        &width, &height),
            2);
  EXPECT_LE(width, 1400);
  EXPECT_LE(height, 1400);
  // A hover text on every cell: about a hundred bytes each.
  EXPECT_LT(svg.size(), 12'000'000u);
  EXPECT_EQ(occurrences(svg, "</title></rect>"), 300u * 300u);
  EXPECT_NE(svg.find("<title>P3 ~ P250: r = "), std::string::npos);
  // 3 pixel cells, names in a 10 pixel font: each of the 12 predictors of interest by its name,
  // the 287 confounds and the constant each once by their kind.
  EXPECT_NE(svg.find(".name{font-family:\"DejaVu Sans Mono\",Consolas,\"Courier "
                     "New\",monospace;font-size:10px}"),
            std::string::npos);
  for (int i = 0; i < 12; ++i) {
    const std::string p = "P" + std::to_string(i);
    EXPECT_EQ(occurrences(svg, ">" + p + "<title>" + p + " (interest)</title></text>"), 2u) << p;
  }
  EXPECT_EQ(occurrences(svg, ">P12<title>"), 0u);
  EXPECT_EQ(occurrences(svg, " class=\"group\""), 4u);
  EXPECT_EQ(occurrences(svg, ">confound (287)<title>confound (287): P12, P13, "), 2u);
  EXPECT_EQ(occurrences(svg, ">constant (1)<title>constant (1): P299</title>"), 2u);
  EXPECT_EQ(occurrences(svg, "<text class=\"dark\""), 0u);  // no values in cells this small
  EXPECT_EQ(colouredCells(svg, 3, 0, 0).size(), 299u * 299u);
}

TEST(CorrelationPlot, OutlinesFlaggedCellsAndBannersWhatCannotBeEstimated) {
  const DesignMatrix m = matrixOf({"a", "b", "c"}, {{1, 2, 4}, {2, 1, 3}, {0, 1, 0}}, 2);
  const std::vector<float> r = {1.0f, -0.9f, 0.1f, -0.9f, 1.0f, 0.79f, 0.1f, 0.79f, 1.0f};
  const auto roles = predictorRoles(m);
  const std::vector<std::string> names = namesOf(m.predictors);
  const std::string plain = correlationPlotSvg(m, r, names, roles);
  const std::string marked = correlationPlotSvg(
      m, r, names, roles, {0.8f, {"Contrast a cannot be estimated (" + std::string(200, 'x')}});
  ASSERT_TRUE(wellFormed(marked));
  EXPECT_EQ(occurrences(plain, "class=\"flagged\""), 0u);
  EXPECT_EQ(occurrences(plain, "class=\"banner\""), 0u);
  // Only a ~ b and b ~ a reach 0.8; the banner is cut to fit and moves the grid down a line.
  const std::size_t flagged = marked.find("<path class=\"flagged\"");
  ASSERT_NE(flagged, std::string::npos);
  const std::string d = marked.substr(flagged, marked.find("/>", flagged) - flagged);
  EXPECT_EQ(occurrences(d, "M"), 2u);
  EXPECT_NE(
      marked.find("<text class=\"banner\" x=\"16\" y=\"76\">Contrast a cannot be estimated (" +
                  std::string(78, 'x') + "&#x2026;</text>"),
      std::string::npos);
  const auto gridY = [](const std::string& svg) {
    const std::size_t frame = svg.rfind("<rect ", svg.find(" fill=\"none\" stroke=\"#8a929c\""));
    long x = 0, y = 0;
    EXPECT_EQ(std::sscanf(svg.c_str() + frame, "<rect x=\"%ld\" y=\"%ld\"", &x, &y), 2);
    return y;
  };
  EXPECT_EQ(gridY(marked), gridY(plain) + 20);
}

// A global C++ locale with a decimal comma and digit grouping, as a host may install one.
struct CommaNumbers : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(CorrelationPlot, IsTheSameWhateverTheGlobalLocale) {
  const DesignMatrix m = noiseMatrix(40, 10, 3);
  const std::string classic = svgOf(m);
  // The locale owns the facet (reference counted): the standard way to make one.
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new CommaNumbers));
  const std::string other = svgOf(m);
  std::locale::global(previous);
  EXPECT_EQ(other, classic);
}

TEST(CorrelationPlot, IsWrittenBesideTheSdmAndFailsWithTheSvgPath) {
  TempDir dir;
  DesignMatrix there = noiseMatrix(4, 10, 3);
  there.fileName = dir.file("run1.sdm");
  report::ReportRequest request;
  request.plot = true;
  const report::RunContext context;
  report::ReportWriter(there, request, context).writeOtherFiles(report::analyse(there, request));
  EXPECT_EQ(readFile(dir.file("run1.svg")), svgOf(there));

  there.fileName = dir.file("missing/run1.sdm");
  try {
    report::ReportWriter(there, request, context).writeOtherFiles(report::analyse(there, request));
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot Create file: " + dir.file("missing/run1.svg") + " (no such file or folder)");
  }
}

TEST(CorrelationPlot, RejectsCorrelationsOfTheWrongSize) {
  EXPECT_THROW(correlationPlotSvg(noiseMatrix(3, 5, 2), std::vector<float>(8)),
               std::invalid_argument);
}

}  // namespace
