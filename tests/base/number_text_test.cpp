#include "base/number_text.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

using namespace base;

namespace {

std::string fixedByPrintf(double value, int decimals) {
  char text[512];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

TEST(AppendFixed, AgreesWithPrintfInTheClassicLocale) {
  std::mt19937_64 random(77);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  for (int i = 0; i < 20000; ++i) {
    const double value = mantissa(random) * std::pow(10.0, static_cast<int>(random() % 40) - 20);
    const int decimals = static_cast<int>(random() % 9);
    std::string out;
    appendFixed(out, value, decimals);
    ASSERT_EQ(out, fixedByPrintf(value, decimals)) << value << " with " << decimals;
  }
  for (const double value : {0.0, -0.0, 0.125, 0.375, 2.5, 0.005, 1e300, -1.7976931348623157e308,
                             5e-324, 0.99999999, 123456789.987654321}) {
    for (const int decimals : {0, 2, 6}) {
      std::string out;
      appendFixed(out, value, decimals);
      EXPECT_EQ(out, fixedByPrintf(value, decimals)) << value << " with " << decimals;
    }
  }
}

TEST(AppendFixed, WritesOneTextPerSpecialValueAndAppends) {
  std::string out = "x=";
  appendFixed(out, std::numeric_limits<double>::quiet_NaN(), 2);
  out += ' ';
  appendFixed(out, -std::numeric_limits<double>::quiet_NaN(), 2);
  out += ' ';
  appendFixed(out, std::numeric_limits<double>::infinity(), 2);
  out += ' ';
  appendFixed(out, -std::numeric_limits<double>::infinity(), 6);
  out += ' ';
  appendFixed(out, 0.125, 2);  // an exact tie goes to the even digit
  out += ' ';
  appendFixed(out, static_cast<double>(0.835f), 2);
  EXPECT_EQ(out, "x=nan nan inf -inf 0.12 0.83");  // 0.835f is 0.83499997...
}
