#pragma once

#include <string>
#include <string_view>

// Locale-free number text shared by the SDM and CSV writers and the reader.

// Appends `value` in fixed-point notation with `decimals` digits after a "." (correctly
// rounded, no exponent, "-" for negatives); NaN is written "nan", infinities "inf"/"-inf".
void appendFixed(std::string& out, double value, int decimals);

// Converts a text like the standard string-to-float conversion in the classic locale:
// leading white space skipped, the longest prefix that forms a number parsed as a double and
// rounded to float; trailing text ignored. Throws std::invalid_argument "invalid stof argument"
// when no number starts the text and std::out_of_range "stof argument out of range" when the
// number lies outside the double range: above it, or so small that the double is zero or an
// inexact subnormal, as strtod reports ERANGE. Hexadecimal "0x1.8p3" is read too; a NaN's
// sign is kept, its payload is not.
float parseFloatField(std::string_view text);
