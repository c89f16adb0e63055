#include "sdm/value_text.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

using namespace sdm;

namespace {

// What the C library's strtod in the classic locale (the test process never changes its
// locale) makes of `text`, in the form parseFloatField should give: a float, or the kind of
// field it should refuse.
struct Expected {
  bool ok;
  float value;
  std::string error;
};

Expected fromStrtod(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) return {false, 0.0f, "not a number: " + text};
  if (errno == ERANGE) return {false, 0.0f, "number out of range: " + text};
  return {true, static_cast<float>(value), ""};
}

Expected fromParse(const std::string& text) {
  try {
    return {true, parseFloatField(text), ""};
  } catch (const ValueTextError& e) {
    const bool kindAgrees = (e.kind() == ValueTextError::Kind::notANumber) ==
                            std::string_view(e.what()).starts_with("not a number: ");
    return {false, 0.0f, kindAgrees && e.field() == text ? e.what() : "kind or field mismatch"};
  }
}

// NaNs agree on being NaN and on their sign; the payload of "nan(...)" is not kept.
void expectAgreesWithStrtod(const std::string& text) {
  const Expected want = fromStrtod(text);
  const Expected got = fromParse(text);
  SCOPED_TRACE("text: \"" + text + "\"");
  ASSERT_EQ(got.ok, want.ok) << got.error;
  if (!want.ok) {
    EXPECT_EQ(got.error, want.error);
  } else if (std::isnan(want.value)) {
    EXPECT_TRUE(std::isnan(got.value));
    EXPECT_EQ(std::signbit(got.value), std::signbit(want.value));
  } else {
    EXPECT_EQ(std::bit_cast<uint32_t>(got.value), std::bit_cast<uint32_t>(want.value)) << got.value;
  }
}

}  // namespace

TEST(ParseFloatField, AgreesWithStrtodOnHandPickedTexts) {
  const std::vector<std::string> texts = {
      "0",
      "1",
      "-1",
      "+1",
      "1.5",
      "-0",
      "+0.0",
      ".5",
      "5.",
      "-.5",
      "007",
      "1e3",
      "1E-3",
      "1e+03",
      "1e",
      "1e+",
      "1e-",
      "1ex",
      "2.5e",
      " \t\n\v\f\r42",
      "  -3.25 trailing",
      "4;5",
      "1,5",
      "3.14159265358979323846264338327950288",
      "1234567890123456789012345678901234567890",
      "0.000000000000000000000000000000000000000000001",
      "1e38",
      "3.4028235e38",
      "3.5e38",
      "1e39",
      "-1e39",
      "1e308",
      "1.7976931348623157e308",
      "1.7976931348623159e308",
      "1e309",
      "-1e309",
      "1e99999999999999999999",
      "1e-45",
      "1e-46",
      "1e-307",
      "2.2250738585072014e-308",
      "2.2250738585072011e-308",
      "1e-310",
      "4.9406564584124654e-324",
      "2e-324",
      "1e-400",
      "0e-99999",
      "0.0e999999",
      "-1e-400",
      "1e-99999999999999999999",
      "inf",
      "INF",
      "-Inf",
      "+iNfInItY",
      "infinit",
      "infx",
      "in",
      "nan",
      "NaN",
      "-nan",
      "nan()",
      "nan(123)",
      "nan(abc_DEF9)",
      "nan(",
      "nan(x y)",
      "na",
      "n",
      "0x10",
      "0X1p4",
      "0x1.8p1",
      "-0x.8",
      "0x.8p-1",
      "0x",
      "0xg",
      "0x.",
      "0x.p1",
      "0x1p",
      "0x1p+",
      "0x1P-2",
      "0x1.fffffep127",
      "0x1.ffffffp127",
      "0x1.fffffffffffff8p1023",
      "0x1p1024",
      "0x1p-1022",
      "0x1p-1074",
      "0x0.0000000000001p-1022",
      "0x3p-1075",
      "0x1p-1075",
      "0x1.8p-1074",
      "0x10p-1078",
      "0x100p-1082",
      "0x1p-99999999999999999",
      "0x1p99999999999999",
      "0x0p-99999",
      "-0x1p-1074",
      "0x1.0000000000000000000000000001p0",
      "",
      " ",
      "\t",
      "-",
      "+",
      ".",
      "-.",
      "+-1",
      "-+1",
      "--1",
      "e5",
      "x",
      "abc",
      "\x01"
      "1",
      "1 ",
      "1.2.3",
      "..1",
      "1..2",
  };
  for (const auto& text : texts) expectAgreesWithStrtod(text);
}

TEST(ParseFloatField, AgreesWithStrtodOnRandomTexts) {
  std::mt19937 random(20240611);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const std::string signs[] = {"", "", "-", "+"};
  const std::string spaces[] = {"", "", " ", "\t ", "\r\n"};
  const std::string tails[] = {"", "", "", " ", "x", ";", "e", "e+", "p3", ".5", "-1"};
  const char hexDigits[] = "0123456789abcdefABCDEF";
  for (int i = 0; i < 40000; ++i) {
    std::string text = spaces[pick(5)] + signs[pick(4)];
    const bool hex = pick(5) == 0;
    if (hex) text += pick(2) ? "0x" : "0X";
    const int integerDigits = pick(25);
    for (int d = 0; d < integerDigits; ++d)
      text += hex ? hexDigits[pick(22)] : static_cast<char>('0' + pick(10));
    if (pick(3) != 0) {
      text += '.';
      const int fractionDigits = pick(25);
      for (int d = 0; d < fractionDigits; ++d)
        text += hex ? hexDigits[pick(22)] : static_cast<char>('0' + pick(10));
    }
    if (pick(2) != 0) {
      text += hex ? (pick(2) ? "p" : "P") : (pick(2) ? "e" : "E");
      text += signs[pick(4)];
      const int limit = hex ? 1200 : 420;
      text += std::to_string(pick(3) == 0 ? pick(50) : pick(limit));
    }
    text += tails[pick(11)];
    expectAgreesWithStrtod(text);
    if (HasFatalFailure()) return;
  }
}

TEST(ParseFloatField, RoundsThroughDoublePrecision) {
  // Just above the midpoint between 1 and the next float: a direct conversion to float rounds
  // up, but the double nearest the text is the midpoint itself, which then rounds to even.
  EXPECT_EQ(parseFloatField("1.0000000596046447753906250001"), 1.0f);
  EXPECT_EQ(parseFloatField("1.000000059604645"), 1.00000011920928955078125f);
}

TEST(ParseFloatField, TurnsDoublesBeyondFloatRangeIntoInfinity) {
  EXPECT_EQ(parseFloatField("1e39"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(parseFloatField("-1e300"), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(parseFloatField("1e-50"), 0.0f);
  // Between the largest float and 2^128 the IEEE rounding decides: below the midpoint the
  // largest float, from the midpoint on (a tie goes to the even 2^128) infinity.
  constexpr float largest = std::numeric_limits<float>::max();
  EXPECT_EQ(parseFloatField("3.4028235e38"), largest);
  EXPECT_EQ(parseFloatField("-0x1.fffffefffffffp127"), -largest);
  EXPECT_EQ(parseFloatField("0x1.ffffffp127"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(parseFloatField("-3.4028236e38"), -std::numeric_limits<float>::infinity());
}

TEST(ParseFloatField, RefusesAFieldWithoutANumberOrBeyondTheDoubleRangeKeepingIt) {
  EXPECT_EQ(fromParse("abc").error, "not a number: abc");
  EXPECT_EQ(fromParse("").error, "not a number: ");
  EXPECT_EQ(fromParse(" x.5").error, "not a number:  x.5");
  EXPECT_EQ(fromParse("1e400").error, "number out of range: 1e400");
  EXPECT_EQ(fromParse("1e-400").error, "number out of range: 1e-400");
}

TEST(ParseFloatField, ShortDecimalsAgreeWithStrtodToTheBit) {
  // The writer's layout and its neighbours: up to 15 digits around a point, with and without
  // sign, blanks, trailing text and exponents that send the text down the general road.
  std::mt19937_64 random(5);
  char text[64];
  for (int i = 0; i < 50000; ++i) {
    const double value = std::ldexp(static_cast<double>(random() >> 11), -53) *
                         std::pow(10.0, static_cast<int>(random() % 12) - 3);
    const int decimals = static_cast<int>(random() % 16);
    std::snprintf(text, sizeof text, "%s%.*f%s", random() % 2 ? " -" : "  ", decimals, value,
                  random() % 4 == 0   ? "e-2"
                  : random() % 4 == 0 ? "  7"
                                      : "");
    expectAgreesWithStrtod(text);
  }
  for (const char* t :
       {"12.", ".5", "-.5", "0.000000", "-0.000000", "9.999999", "999999999999999",
        "1234567890.12345", "0x1p3", "0x.8", "1.5x", "0.1e", "0.1E+", "00000000000000001.5"}) {
    expectAgreesWithStrtod(t);
  }
}
