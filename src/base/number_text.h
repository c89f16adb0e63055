#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

// Locale-free number text shared by the SDM and CSV writers and the reader.

// What from_chars, which takes no "+", is to read of a text that may start with one: the text
// without its "+", unless another sign follows (then the whole text, which reads as no number).
std::string_view withoutPlusSign(std::string_view text);

// The whole of `text` as a number in the classic notation ("2", "-0.5", "1e-1", also "inf" and
// "nan"), whatever the global locale says, rounded once to T; nothing when it is no number, out
// of T's range, or followed by anything.
template <typename T>
std::optional<T> wholeNumber(std::string_view text) {
  T value{};
  const char* const last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value, std::chars_format::general);
  if (error != std::errc() || end != last) return std::nullopt;
  return value;
}

// The shortest text that reads back as exactly `value` ("0.5" for 0.5f, "-2.5e-07", "1e+20"),
// whatever the global locale says: std::to_chars in its shortest form. Whole numbers are
// written in full; NaN as "nan" or "-nan", infinities as "inf" or "-inf".
template <typename T>
std::string shortestText(T value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Appends `value` in fixed-point notation with `decimals` digits after a "." (correctly
// rounded, no exponent, "-" for negatives); NaN is written "nan", infinities "inf"/"-inf".
void appendFixed(std::string& out, double value, int decimals);

// The most characters appendFixed writes with `decimals` decimals (the longest finite double:
// sign, 309 integer digits, point, the decimals, and one to spare).
constexpr std::size_t fixedTextRoom(int decimals) {
  return 312 + static_cast<std::size_t>(decimals > 0 ? decimals : 0);
}

// Writes the text appendFixed appends at `out`, which has room for fixedTextRoom(decimals)
// characters, and returns the end of it: for writers that lay out a whole line in place.
char* putFixed(char* out, double value, int decimals);

// putFixed(out, value, 6) for a float, as the SDM writer writes its values: the same text,
// with no check that the value is a float and no branch on its sign.
char* putSixDecimals(char* out, float value);

// The float of the decimal text "digits / 10^6" with its sign: the quotient, correctly rounded
// to double (both operands are exact when digits < 2^53), then rounded to float; the sign is
// put on the double first. This is what parseFloatField gives for such a text, step for step.
inline float sixDecimalsToFloat(uint64_t digits, bool negative) {
  const double value = static_cast<double>(digits) / 1e6;
  return static_cast<float>(negative ? -value : value);
}

// Converts a text like the standard string-to-float conversion in the classic locale:
// leading white space skipped, the longest prefix that forms a number parsed as a double and
// rounded to float; trailing text ignored. Throws std::invalid_argument "invalid stof argument"
// when no number starts the text and std::out_of_range "stof argument out of range" when the
// number lies outside the double range: above it, or so small that the double is zero or an
// inexact subnormal, as strtod reports ERANGE. Hexadecimal "0x1.8p3" is read too; a NaN's
// sign is kept, its payload is not.
float parseFloatField(std::string_view text);
