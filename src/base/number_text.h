#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

// Locale-free number text: the pieces every writer and reader of numbers in text shares.
namespace base {

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

// A double rounded to the nearest float, as IEEE rounds it: a magnitude at or beyond the
// midpoint between the largest float and 2^128 becomes an infinity, one below it the largest
// float; a NaN stays a NaN. (A plain conversion of a double beyond the float range is undefined
// in C++.)
float roundToFloat(double value);

// Powers of ten that a double holds exactly: exactPowersOfTen[n] is 10^n.
inline constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// "00", "01", ... "99": the two digits of n < 100 start at digitPairs + 2 * n.
inline constexpr char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the `count` last decimal digits of `value` so that they end at `end`, two at a time.
inline void putDigits(char* end, uint64_t value, int count) {
  for (; count >= 2; count -= 2) {
    const auto pair = static_cast<std::size_t>(value % 100) * 2;
    value /= 100;
    end -= 2;
    end[0] = digitPairs[pair];
    end[1] = digitPairs[pair + 1];
  }
  if (count == 1) *--end = static_cast<char>('0' + value % 10);
}

// The number of decimal digits of `value` (1 for 0).
inline int digitCount(uint64_t value) {
  int count = 1;
  for (; value >= 10; value /= 10) ++count;
  return count;
}

}  // namespace base
