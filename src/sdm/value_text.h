#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// The text of an SDM value, locale-free: the writer's six decimals and the reader's conversion
// of a data field, each giving the bits the standard conversions give in the classic locale.
namespace sdm {

// appendFixed's text with six decimals (base/number_text.h) for a float, as the SDM writer
// writes its values, at `out`, which has room for fixedTextRoom(6) characters; returns the end of
// it. No check that the value is a float and no branch on its sign.
char* putSixDecimals(char* out, float value);

// The float of the decimal text "digits / 10^6" with its sign: the quotient, correctly rounded
// to double (both operands are exact when digits < 2^53), then rounded to float; the sign is
// put on the double first. This is what parseFloatField gives for such a text, step for step.
inline float sixDecimalsToFloat(uint64_t digits, bool negative) {
  const double value = static_cast<double>(digits) / 1e6;
  return static_cast<float>(negative ? -value : value);
}

// What parseFloatField throws for a field that holds no number (`notANumber`) or a number beyond
// the range of a double (`outOfRange`); field() is the text it was given. The readers turn it
// into a message that names the file and the line (sdm/sdm_file.h).
class ValueTextError : public std::runtime_error {
 public:
  enum class Kind { notANumber, outOfRange };
  // what(): "not a number: " or "number out of range: " + the field.
  ValueTextError(Kind kind, std::string_view field);
  Kind kind() const { return kind_; }
  const std::string& field() const { return field_; }

 private:
  Kind kind_;
  std::string field_;
};

// Converts a text like the standard string-to-float conversion in the classic locale:
// leading white space skipped, the longest prefix that forms a number parsed as a double and
// rounded to float; trailing text ignored. Throws ValueTextError `notANumber` when no number
// starts the text and `outOfRange` when the number lies outside the double range: above it, or
// so small that the double is zero or an inexact subnormal, as strtod reports ERANGE (where the
// standard conversion throws std::invalid_argument and std::out_of_range). Hexadecimal "0x1.8p3"
// is read too; a NaN's sign is kept, its payload is not.
float parseFloatField(std::string_view text);

}  // namespace sdm
