#include "sdm/value_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "base/number_text.h"

namespace sdm {

namespace {

bool isClassicSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// True when the hexadecimal text "h.hhh" with its optional "p" exponent has its lowest set
// bit at or above 2^-1074: a subnormal result of it is then exact, which strtod does not
// report as an underflow.
bool hexIsExactSubnormal(const char* first, const char* last) {
  int64_t digits = 0, integerDigits = 0, lastNonZero = -1;
  int lastNonZeroShift = 0;
  bool seenPoint = false;
  const char* p = first;
  for (; p != last; ++p) {
    if (*p == '.' && !seenPoint) {
      seenPoint = true;
      continue;
    }
    const int digit = hexDigitValue(*p);
    if (digit < 0) break;
    if (!seenPoint) ++integerDigits;
    if (digit != 0) {
      lastNonZero = digits;
      lastNonZeroShift = std::countr_zero(static_cast<unsigned>(digit));
    }
    ++digits;
  }
  if (lastNonZero < 0) return false;
  // Digit k (from 0) of the significand weighs 16^(integerDigits - 1 - k).
  const int64_t lowestBit = 4 * (integerDigits - 1 - lastNonZero) + lastNonZeroShift;
  int64_t exponent = 0;
  if (p != last && (*p == 'p' || *p == 'P')) {
    const char* e = p + 1;
    bool negative = false;
    if (e != last && (*e == '+' || *e == '-')) negative = *e++ == '-';
    if (e != last && isDigit(*e)) {
      for (; e != last && isDigit(*e); ++e) {
        // Saturates far beyond any digit count, so the sum below cannot overflow.
        if (exponent < 1000000000000000) exponent = exponent * 10 + (*e - '0');
      }
      if (negative) exponent = -exponent;
    }
  }
  return lowestBit + exponent >= -1074;
}

// The common case of the reader: optional digits, a point, digits, at most 15 digits in all,
// not followed by an exponent (nor by the "x" of a hexadecimal number). The digits as an integer
// are exact in double, and so is the power of ten, so their quotient is the correctly rounded value
// of the text, as the general conversion gives it. False when the text is of another form.
bool parseShortDecimal(const char* p, const char* last, double& value) {
  uint64_t digits = 0;
  int count = 0, decimals = 0;
  bool point = false;
  for (; p != last; ++p) {
    if (isDigit(*p)) {
      if (++count > 15) return false;
      digits = digits * 10 + static_cast<uint64_t>(*p - '0');
      if (point) ++decimals;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (count == 0 || (p != last && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X'))) return false;
  value = static_cast<double>(digits) / base::exactPowersOfTen[decimals];
  return true;
}

}  // namespace

ValueTextError::ValueTextError(Kind kind, std::string_view field)
    : std::runtime_error((kind == Kind::notANumber ? "not a number: " : "number out of range: ") +
                         std::string(field)),
      kind_(kind),
      field_(field) {}

// The rule of appendFixed's short path for six decimals, cut down to a float: no check that it is
// one, the rounding and the sign without a branch (signs and halves of data go either way), the
// fraction two digits at a time, all of them independent of each other.
char* putSixDecimals(char* out, float value) {
  const float magnitude = std::fabs(value);
  if (!(magnitude < 1e9f)) return base::putFixed(out, static_cast<double>(value), 6);
  const double scaled = static_cast<double>(magnitude) * 1e6;
  auto units = static_cast<uint64_t>(scaled);
  const double fraction = scaled - static_cast<double>(units);
  units +=
      static_cast<uint64_t>(fraction > 0.5) | (static_cast<uint64_t>(fraction == 0.5) & units & 1u);
  const uint64_t whole = units / 1000000;
  const auto decimals = static_cast<uint32_t>(units - whole * 1000000);
  *out = '-';
  out += std::signbit(value) ? 1 : 0;
  if (whole < 10) {
    *out++ = static_cast<char>('0' + whole);
  } else {
    const int wholeDigits = base::digitCount(whole);
    out += wholeDigits;
    base::putDigits(out, whole, wholeDigits);
  }
  const uint32_t first = decimals / 10000;
  const uint32_t rest = decimals - first * 10000;
  const uint32_t second = rest / 100;
  const uint32_t third = rest - second * 100;
  out[0] = '.';
  std::memcpy(out + 1, base::digitPairs + 2 * first, 2);
  std::memcpy(out + 3, base::digitPairs + 2 * second, 2);
  std::memcpy(out + 5, base::digitPairs + 2 * third, 2);
  return out + 7;
}

float parseFloatField(std::string_view text) {
  constexpr ValueTextError::Kind notANumber = ValueTextError::Kind::notANumber;
  constexpr ValueTextError::Kind outOfRange = ValueTextError::Kind::outOfRange;
  const char* p = text.data();
  const char* const last = text.data() + text.size();
  while (p != last && isClassicSpace(*p)) ++p;
  bool negative = false;
  if (p != last && (*p == '+' || *p == '-')) negative = *p++ == '-';
  // from_chars takes its own "-" (never a second sign here) and no "+", so only a digit, a
  // point or a letter may start what it sees.
  if (p == last || *p == '+' || *p == '-') throw ValueTextError(notANumber, text);

  double value = 0.0;
  if (parseShortDecimal(p, last, value)) return static_cast<float>(negative ? -value : value);
  bool hexSubnormalExact = false;
  std::from_chars_result result{};
  const bool hexPrefix =
      last - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
      (hexDigitValue(p[2]) >= 0 || (p[2] == '.' && last - p >= 4 && hexDigitValue(p[3]) >= 0));
  if (hexPrefix) {
    // from_chars reads hexadecimal digits without their "0x"; a "0x" that no digit follows
    // is the number 0 followed by text, which the decimal branch reads.
    result = std::from_chars(p + 2, last, value, std::chars_format::hex);
    if (result.ec == std::errc{} && value != 0.0 &&
        std::fabs(value) < std::numeric_limits<double>::min()) {
      hexSubnormalExact = hexIsExactSubnormal(p + 2, last);
    }
  } else {
    result = std::from_chars(p, last, value, std::chars_format::general);
  }
  if (result.ec == std::errc::invalid_argument) throw ValueTextError(notANumber, text);
  // Overflow, and a non-zero number that comes out as zero, are range errors as for strtod.
  if (result.ec == std::errc::result_out_of_range) throw ValueTextError(outOfRange, text);
  // strtod also reports a subnormal result when it is inexact. A decimal text equals a
  // subnormal double only when written with hundreds of digits, so every decimal subnormal
  // counts as inexact; a hexadecimal one is checked bit by bit.
  if (value != 0.0 && std::isfinite(value) &&
      std::fabs(value) < std::numeric_limits<double>::min() && !hexSubnormalExact) {
    throw ValueTextError(outOfRange, text);
  }
  if (negative) value = -value;
  return base::roundToFloat(value);
}

}  // namespace sdm
