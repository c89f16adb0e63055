#include "correlation/report_cell.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "sdm/number_text.h"

namespace {

std::string cell(float value) {
  std::string text = "x";
  appendReportCell(text, value);
  return text.substr(1);
}

std::string slowCell(float value) {
  std::string text;
  appendFixed(text, static_cast<double>(std::fabs(value)), 2);
  return text;
}

}  // namespace

TEST(ReportCell, WritesTheAbsoluteValueWithTwoDecimals) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float value;
    const char* text;
  } cases[] = {
      {0.0f, "0.00"},         {-0.0f, "0.00"},          {-0.8349f, "0.83"},    {0.835f, "0.83"},
      {0.8351f, "0.84"},      {1.0000001f, "1.00"},     {0.995f, "1.00"},      {0.994999f, "0.99"},
      {0.0051f, "0.01"},      {0.005f, "0.00"} /* the float lies just below 0.005 */,      {1e-40f, "0.00"},      {12.345f, "12.35"},
      {999999.94f, "999999.94"}, {1e6f, "1000000.00"}, {-1e7f, "10000000.00"},
      {inf, "inf"},           {-inf, "inf"},            {std::nanf(""), "nan"}, {-std::nanf(""), "nan"},
      // Exact ties, odd multiples of 1/8: to the even last digit, as the exact conversion does.
      {0.125f, "0.12"},       {0.375f, "0.38"},         {0.625f, "0.62"},      {0.875f, "0.88"},
      {-1.125f, "1.12"},      {2.375f, "2.38"},
  };
  for (const auto& c : cases) EXPECT_EQ(cell(c.value), c.text) << c.value;
}

TEST(ReportCell, AgreesWithTheGeneralConversionAroundEveryHundredth) {
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
    ASSERT_EQ(cell(value), slowCell(value)) << std::bit_cast<uint32_t>(value);
  }
}
