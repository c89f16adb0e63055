#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "base/number_text.h"

using namespace base;

namespace {

// A report cell: the absolute correlation, widened to double, with two decimals.
std::string cell(float value) {
  std::string text = "x";
  appendFixed(text, static_cast<double>(std::fabs(value)), 2);
  return text.substr(1);
}

// The C library's exact conversion (the tests run in the classic "C" locale).
std::string printed(double value, int decimals) {
  char text[400];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string slowCell(float value) { return printed(static_cast<double>(std::fabs(value)), 2); }

std::string fixed(double value, int decimals) {
  std::string text;
  appendFixed(text, value, decimals);
  return text;
}

}  // namespace

TEST(FixedText, ReportCellsShowTheAbsoluteValueWithTwoDecimals) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float value;
    const char* text;
  } cases[] = {
      {0.0f, "0.00"},
      {-0.0f, "0.00"},
      {-0.8349f, "0.83"},
      {0.835f, "0.83"},
      {0.8351f, "0.84"},
      {1.0000001f, "1.00"},
      {0.995f, "1.00"},
      {0.994999f, "0.99"},
      {0.0051f, "0.01"},
      {0.005f, "0.00"} /* the float lies just below 0.005 */,
      {1e-40f, "0.00"},
      {12.345f, "12.35"},
      {999999.94f, "999999.94"},
      {1e6f, "1000000.00"},
      {-1e7f, "10000000.00"},
      {inf, "inf"},
      {-inf, "inf"},
      {std::nanf(""), "nan"},
      {-std::nanf(""), "nan"},
      // Exact ties, odd multiples of 1/8: to the even last digit, as the exact conversion does.
      {0.125f, "0.12"},
      {0.375f, "0.38"},
      {0.625f, "0.62"},
      {0.875f, "0.88"},
      {-1.125f, "1.12"},
      {2.375f, "2.38"},
  };
  for (const auto& c : cases) EXPECT_EQ(cell(c.value), c.text) << c.value;
}

TEST(FixedText, TwoDecimalsAgreeWithTheExactConversionAroundEveryHundredth) {
  // The few floats on either side of each boundary between two printed hundredths, up to 2.
  for (int hundredths = 0; hundredths <= 200; ++hundredths) {
    float at = (static_cast<float>(hundredths) + 0.5f) / 100.0f;
    for (int step = 0; step < 4; ++step) at = std::nextafter(at, 0.0f);
    for (int step = 0; step < 8; ++step, at = std::nextafter(at, 2.0f)) {
      ASSERT_EQ(cell(at), slowCell(at)) << std::bit_cast<uint32_t>(at);
    }
  }
  std::mt19937 random(11);
  for (int i = 0; i < 100000; ++i) {
    const float value = std::bit_cast<float>(static_cast<uint32_t>(random()) & 0x7fffffffu);
    if (std::isnan(value)) continue;  // printf writes "nan" or "-nan"; ours is always "nan"
    ASSERT_EQ(cell(value), slowCell(value)) << std::bit_cast<uint32_t>(value);
  }
}

TEST(FixedText, SixDecimalsAgreeWithTheExactConversionForEveryKindOfFloat) {
  // The writer's values: floats of every magnitude and sign, exact ties and the numbers on
  // either side of each printed millionth near the common range.
  std::mt19937 random(7);
  for (int i = 0; i < 200000; ++i) {
    const float value = std::bit_cast<float>(static_cast<uint32_t>(random()));
    if (std::isnan(value)) continue;
    ASSERT_EQ(fixed(static_cast<double>(value), 6), printed(static_cast<double>(value), 6))
        << std::bit_cast<uint32_t>(value);
  }
  for (int millionths = -2000; millionths <= 2000; ++millionths) {
    float at = (static_cast<float>(millionths) + 0.5f) / 1e6f;
    for (int step = 0; step < 3; ++step) at = std::nextafter(at, -1.0f);
    for (int step = 0; step < 6; ++step, at = std::nextafter(at, 1.0f)) {
      ASSERT_EQ(fixed(static_cast<double>(at), 6), printed(static_cast<double>(at), 6)) << at;
    }
  }
  for (const double value :
       {0.0, -0.0, -1e-9, 0.5, 1.5, 2.5, -2.5, 0.0000005, 999999999.0, 1e9, 3e38, -3e38}) {
    EXPECT_EQ(fixed(value, 6), printed(value, 6)) << value;
    EXPECT_EQ(fixed(value, 0), printed(value, 0)) << value;
  }
  // A double that is no float takes the general road and is still exact.
  EXPECT_EQ(fixed(0.1, 6), "0.100000");
  EXPECT_EQ(fixed(1.0 / 3.0, 2), "0.33");
}
