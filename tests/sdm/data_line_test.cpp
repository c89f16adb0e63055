#include "sdm/data_line.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <random>
#include <string>
#include <vector>

#include "base/number_text.h"
#include "matrix_text.h"
#include "sdm/value_text.h"

using namespace base;
using namespace sdm;

namespace {

// The plain fixed cut: field k from two characters before its point (the first from the
// start of the line) to two characters before the next point (the last to the end).
std::vector<float> fixedCut(const std::string& line) {
  std::vector<std::size_t> points;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '.') points.push_back(i);
  }
  std::vector<float> row;
  for (std::size_t k = 0; k < points.size(); ++k) {
    const std::size_t begin = k == 0 ? 0 : points[k] - 2;
    const std::size_t end = k + 1 == points.size() ? line.size() : points[k + 1] - 2;
    row.push_back(parseFloatField(std::string_view(line).substr(begin, end - begin)));
  }
  return row;
}

std::string rowText(const std::vector<float>& row) {
  std::string out;
  for (float v : row) {
    out += ' ';
    out += sdm_test::floatText(v);
  }
  return out;
}

std::string readText(const std::string& line, std::size_t count) {
  std::vector<float> row(count, -7.0f);
  std::vector<std::size_t> points;
  if (!readDataLine(line, row, points)) return "not taken";
  return rowText(row);
}

TEST(DataLine, ReadsTheWritersLayoutExactlyAsTheFixedCutDoes) {
  // Values with at most two characters before the point, laid out as the writer lays them:
  // one or two spaces, one more blank for a non-negative value, six decimals.
  std::mt19937 random(20240611);
  std::uniform_real_distribution<float> narrow(-9.999999f, 99.999999f);
  std::uniform_int_distribution<int> columns(1, 12);
  for (int round = 0; round < 2000; ++round) {
    std::vector<float> row(static_cast<std::size_t>(columns(random)));
    std::string line;
    for (std::size_t p = 0; p < row.size(); ++p) {
      row[p] = narrow(random);
      line += p == 0 ? " " : "  ";
      if (row[p] >= 0.0f) line += ' ';
      appendFixed(line, static_cast<double>(row[p]), 6);
    }
    ASSERT_EQ(readText(line, row.size()), rowText(fixedCut(line))) << line;
  }
}

TEST(DataLine, CutsAsTheTableSays) {
  const struct {
    std::string line;
    std::size_t count;
    std::string expected;
  } cases[] = {
      {"  12.500000  -0.500000", 2, " 12.5 -0.5"},
      {"  -10.500000  123.250000", 2, " -10.5 123.25"},  // read whole, not cut
      {" 1.5-2.5-3.5", 3, " 1.5 -2.5 -3.5"},             // touching: cut two before the point
      {"12.5-123.25", 2, " 12.5 23.25"},                 // touching and wide: the cut wins
      {"1.5  -22.5-3.5", 3, " 1.5 22.5 -3.5"},
      {".5 .25", 2, " 0.5 0.25"},
      {"..", 2, "invalid"},
      {" 1.000000  2", 2, "not taken"},
      {" 1.0 2.0 3.0", 2, "not taken"},
      {"", 1, "not taken"},
      {" 1.0", 0, "not taken"},
      {"\t1.0\t-2.0\r", 2, " 1 -2"},
      {" 1.0e2x  2.5", 2, " 100 2.5"},
  };
  for (const auto& c : cases) {
    std::string got;
    try {
      got = readText(c.line, c.count);
    } catch (const ValueTextError&) {
      got = "invalid";
    }
    EXPECT_EQ(got, c.expected) << '"' << c.line << '"';
  }
}

// How a pass reads a line: "taken" and the bits of every value in hexadecimal, "not taken",
// or the error thrown.
std::string readWith(DataLinePass pass, const std::string& line, std::size_t count) {
  const ScopedDataLinePass chosen(pass);
  std::string reading = "taken";
  std::vector<float> row(count);
  std::vector<std::size_t> points;
  try {
    if (!readDataLine(line, row, points)) reading = "not taken";
  } catch (const std::exception& e) {
    reading = e.what();
  }
  for (std::size_t p = 0; reading == "taken" && p < count; ++p) {
    char bits[16];
    std::snprintf(bits, sizeof bits, " %08x", std::bit_cast<uint32_t>(row[p]));
    reading += bits;
  }
  return reading;
}

TEST(DataLine, TheFastPassesGiveTheBitsOfTheGeneralRules) {
  // Lines as the writer writes them, and every other one with one byte changed or two values
  // touching, so that the fast passes also meet lines just outside the writer's layout. The
  // portable pass and the one of this processor (AVX2 where there is one) must agree with the
  // general rules on all.
  std::mt19937 random(17);
  const std::string bytes = " .-+0123456789naifxe\t";
  for (int round = 0; round < 6000; ++round) {
    std::vector<float> row(1 + random() % 40);
    bool short_ = true;  // no value has more than nine digits before its point
    std::string line;
    for (std::size_t p = 0; p < row.size(); ++p) {
      row[p] = sdm_test::anyFloat(random);
      short_ = short_ && !(std::isfinite(row[p]) && std::fabs(row[p]) >= 1e9f);
      line += p == 0 ? " " : "  ";
      if (row[p] >= 0.0f) line += ' ';
      appendFixed(line, static_cast<double>(row[p]), 6);
    }
    const bool changed = round % 2 == 1;
    std::size_t at = random() % line.size();
    if (round % 4 == 1) line[at] = bytes[random() % bytes.size()];
    if (round % 4 == 3 && (at = line.find(' ', at)) != std::string::npos) {
      // Two values made to touch: the blanks between them taken out.
      while (at > 0 && line[at - 1] == ' ') --at;
      line.erase(at, line.find_first_not_of(' ', at) - at);
    }
    const std::string general = readWith(DataLinePass::general, line, row.size());
    ASSERT_EQ(readWith(DataLinePass::portable, line, row.size()), general) << line;
    ASSERT_EQ(readWith(DataLinePass::automatic, line, row.size()), general) << line;
    if (changed) continue;
    ASSERT_EQ(general.substr(0, 5), "taken") << line;
    // The writer's lines do not fall through to the general rules (NaN and infinity included).
    for (const DataLinePass pass : {DataLinePass::portable, DataLinePass::automatic}) {
      const ScopedDataLinePass chosen(pass);
      EXPECT_EQ(readWritersLayout(line, row), short_) << activeDataLinePass() << ": " << line;
    }
  }
}

// A line of many points with no blank must still cost linear time.
TEST(DataLine, ALineOfTouchingValuesIsReadInOnePass) {
  const std::size_t count = 200000;
  std::string line;
  for (std::size_t k = 0; k < count; ++k) line += "-1.5";
  std::vector<float> row(count);
  std::vector<std::size_t> points;
  ASSERT_TRUE(readDataLine(line, row, points));
  EXPECT_EQ(row.front(), -1.5f);
  EXPECT_EQ(row.back(), -1.5f);
}

}  // namespace
