#include "base/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace base {

namespace {

// The common case of the writer's own output: a value that is exactly a float, below 10^9,
// with at most six decimals. A float has 24 significant bits and 10^6 needs 20 (5^6 needs 14
// and 2^6 only shifts), so value * 10^decimals is exact in double: its integer part and its
// fraction are the exact decimal expansion scaled, and rounding it to an integer (an exact tie
// to the even digit) rounds the text exactly as the general conversion does. Returns nullptr,
// having written nothing, when the value does not qualify. `decimals` is a template argument
// so that the divisions by its power of ten become multiplications.
template <int decimals>
char* putFixedShort(char* out, double value) {
  const double magnitude = std::fabs(value);
  if (!(magnitude < 1e9) || static_cast<double>(static_cast<float>(value)) != value) return nullptr;
  const double scaled = magnitude * exactPowersOfTen[decimals];
  // Truncation is the floor of a non-negative number, and the fraction it leaves is exact.
  auto units = static_cast<uint64_t>(scaled);
  const double fraction = scaled - static_cast<double>(units);
  // Up above one half, and at one half to the even integer; without a branch, as the halves
  // of random values go either way.
  units +=
      static_cast<uint64_t>(fraction > 0.5) | (static_cast<uint64_t>(fraction == 0.5) & units & 1u);

  constexpr auto scale = static_cast<uint64_t>(exactPowersOfTen[decimals]);
  const uint64_t whole = units / scale;
  // Negative zero and tiny negatives keep their sign. Signs are random in data: no branch.
  *out = '-';
  out += std::signbit(value) ? 1 : 0;
  const int wholeDigits = digitCount(whole);
  out += wholeDigits;
  putDigits(out, whole, wholeDigits);
  if constexpr (decimals > 0) {
    *out++ = '.';
    out += decimals;
    putDigits(out, units % scale, decimals);
  }
  return out;
}

char* putFixedShort(char* out, double value, int decimals) {
  switch (decimals) {
    case 0:
      return putFixedShort<0>(out, value);
    case 1:
      return putFixedShort<1>(out, value);
    case 2:
      return putFixedShort<2>(out, value);
    case 3:
      return putFixedShort<3>(out, value);
    case 4:
      return putFixedShort<4>(out, value);
    case 5:
      return putFixedShort<5>(out, value);
    case 6:
      return putFixedShort<6>(out, value);
    default:
      return nullptr;
  }
}

// What putFixed writes, with `end` bounding what the general conversion may write.
char* putFixedUpTo(char* out, char* end, double value, int decimals) {
  if (std::isnan(value)) {
    std::memcpy(out, "nan", 3);  // one text for every NaN, whatever its sign or payload
    return out + 3;
  }
  if (decimals < 0) decimals = 0;
  if (char* shortEnd = putFixedShort(out, value, decimals)) return shortEnd;
  return std::to_chars(out, end, value, std::chars_format::fixed, decimals).ptr;
}

}  // namespace

float roundToFloat(double value) {
  constexpr double largest = std::numeric_limits<float>::max();
  constexpr double overflow = 0x1.ffffffp+127;  // (2^128 + largest) / 2, exact in double
  if (std::fabs(value) > largest) {
    const float limit = std::fabs(value) >= overflow ? std::numeric_limits<float>::infinity()
                                                     : std::numeric_limits<float>::max();
    return std::signbit(value) ? -limit : limit;
  }
  return static_cast<float>(value);
}

char* putFixed(char* out, double value, int decimals) {
  return putFixedUpTo(out, out + fixedTextRoom(decimals), value, decimals);
}

void appendFixed(std::string& out, double value, int decimals) {
  if (decimals <= 6 && std::fabs(value) < 1e9) {
    char text[32];  // the text has at most 17 characters
    out.append(text, putFixedUpTo(text, text + sizeof text, value, decimals));
    return;
  }
  const std::size_t start = out.size();
  out.resize(start + fixedTextRoom(decimals));
  char* const end = putFixed(out.data() + start, value, decimals);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string_view withoutPlusSign(std::string_view text) {
  if (!text.starts_with('+')) return text;
  const std::string_view rest = text.substr(1);
  return rest.starts_with('+') || rest.starts_with('-') ? text : rest;
}

}  // namespace base
