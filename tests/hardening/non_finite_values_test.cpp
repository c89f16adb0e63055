// NaN and the infinities survive a save and a load: the writer prints them as words without a
// point ("nan", "inf", "-inf"), and the reader takes a data line of N blank-separated numbers
// and such words even though it holds fewer than N points.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/number_text.h"
#include "sdm/data_line.h"
#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"
#include "support/temp_dir.h"

using namespace base;
using namespace sdm;

namespace {

using testing_support::crlf;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// "not taken", or each value as text ("nan" for any NaN, "-nan" when its sign bit is set).
std::string readText(const std::string& line, std::size_t count) {
  std::vector<float> row(count);
  std::vector<std::size_t> points;
  if (!readDataLine(line, row, points)) return "not taken";
  std::string out;
  for (float v : row) {
    out += ' ';
    if (std::isnan(v))
      out += std::signbit(v) ? "-nan" : "nan";
    else if (std::isinf(v))
      out += v > 0 ? "inf" : "-inf";
    else
      appendFixed(out, static_cast<double>(v), 6);
  }
  return out;
}

TEST(NonFiniteValues, DataLinesOfNumbersAndWordsAreTaken) {
  const struct {
    std::string line;
    std::size_t count;
    std::string expected;
  } cases[] = {
      {"  1.000000  nan   inf  -inf", 4, " 1.000000 nan inf -inf"},
      {"  nan", 1, " nan"},
      {" -nan   0.500000", 2, " -nan 0.500000"},
      {"\tinf\t-2.5\r", 2, " inf -2.500000"},
      {"   inf   inf", 2, " inf inf"},
      // Lines the fixed cut reads are read as before, words and all.
      {" inf.0 -inf.0", 2, " inf -inf"},
      {"  1.000000  2.000000  nan", 2, " 1.000000 2.000000"},
      // Anything but exactly N numbers and words stays untaken.
      {"  nan  1", 2, "not taken"},
      {"  nan  1e5", 2, "not taken"},
      {"  nan  1.5e5", 2, "not taken"},
      {"  NaN  1.0", 2, "not taken"},
      {"  nan  inf  1.0", 2, "not taken"},
      {"  nan", 2, "not taken"},
      {"  nan  1.0x", 2, "not taken"},
      {"  nan  .", 2, "not taken"},
      {"", 1, "not taken"},
      // A number the conversion refuses leaves the line as untaken as it was.
      {"  nan  " + std::string(400, '9') + ".0", 2, "not taken"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(readText(c.line, c.count), c.expected) << '"' << c.line << '"';
}

const std::string kFile = crlf(
    "FileVersion:            1\n"
    "\n"
    "NrOfPredictors:         3\n"
    "NrOfDataPoints:         3\n"
    "IncludesConstant:       0\n"
    "FirstConfoundPredictor: 2\n"
    "\n"
    "1 2 3   4 5 6   7 8 9\n"
    "\"a\" \"b\" \"c\"\n"
    "  1.000000  nan   inf\n"
    " -inf  -10.500000   123.250000\n"
    " nan  nan  nan\n");

uint32_t bits(float v) { return std::bit_cast<uint32_t>(v); }

TEST(NonFiniteValues, TheWritersFileLoadsWithEveryValueAndSavesBackByteForByte) {
  TempDir dir;
  writeFile(dir.file("in.sdm"), kFile);
  DesignMatrix m = loadSdm(dir.file("in.sdm"));
  EXPECT_EQ(m.predictors[0].values[0], 1.0f);
  EXPECT_TRUE(std::isnan(m.predictors[1].values[0]));
  EXPECT_EQ(m.predictors[2].values[0], kInf);
  EXPECT_EQ(m.predictors[0].values[1], -kInf);
  EXPECT_EQ(m.predictors[1].values[1], -10.5f);
  EXPECT_EQ(m.predictors[2].values[1], 123.25f);
  for (std::size_t p = 0; p < 3; ++p) EXPECT_TRUE(std::isnan(m.predictors[p].values[2])) << p;
  saveSdm(m, dir.file("out.sdm"));
  EXPECT_EQ(readFile(dir.file("out.sdm")), kFile);
}

TEST(NonFiniteValues, SaveLoadSaveKeepsBytesAndValues) {
  const std::vector<float> unusual{kNan, -kNan, kInf, -kInf, -0.0f, 0.0f, 1e30f, -3.4e38f, 0.5f};
  DesignMatrix m;
  m.nrOfDataPoints = 3;
  m.firstConfoundPredictor = 4;
  SdmLayout layout;
  layout.nrOfPredictors = layout.nrOfDataPoints = layout.firstConfoundPredictor = {24, true};
  m.layout = std::make_shared<const SdmLayout>(layout);
  for (std::size_t p = 0; p < 3; ++p) {
    m.predictors.push_back({"p" + std::to_string(p),
                            {1, 2, 3},
                            PredictorKind::confound,
                            {unusual[3 * p], unusual[3 * p + 1], unusual[3 * p + 2]}});
  }
  TempDir dir;
  saveSdm(m, dir.file("first.sdm"));
  DesignMatrix loaded = loadSdm(dir.file("first.sdm"));
  saveSdm(loaded, dir.file("second.sdm"));
  EXPECT_EQ(readFile(dir.file("second.sdm")), readFile(dir.file("first.sdm")));
  for (std::size_t p = 0; p < 3; ++p) {
    for (std::size_t t = 0; t < 3; ++t) {
      const float written = m.predictors[p].values[t];
      const float read = loaded.predictors[p].values[t];
      if (std::isnan(written))
        EXPECT_TRUE(std::isnan(read)) << p << ' ' << t;
      else
        EXPECT_EQ(bits(read), bits(written)) << p << ' ' << t;
    }
  }
}

}  // namespace
