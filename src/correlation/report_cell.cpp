#include "correlation/report_cell.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "sdm/number_text.h"

void appendReportCell(std::string& out, float correlation) {
  const double value = static_cast<double>(std::fabs(correlation));
  if (!(value < 1e6)) {  // large, infinite or NaN
    appendFixed(out, value, 2);
    return;
  }
  // A float has 24 significant bits and 100 needs 5, so value * 100 is exact in double: its
  // integer and fractional parts are the exact decimal value scaled by 100, and rounding it to
  // an integer rounds the decimal text. floor() and the subtraction are exact too.
  const double scaled = value * 100.0;
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  auto hundredths = static_cast<uint64_t>(whole);
  if (fraction > 0.5 || (fraction == 0.5 && hundredths % 2 == 1)) ++hundredths;

  char text[24];
  char* end = std::to_chars(text, text + sizeof text, hundredths / 100).ptr;
  const auto cents = static_cast<unsigned>(hundredths % 100);
  *end++ = '.';
  *end++ = static_cast<char>('0' + cents / 10);
  *end++ = static_cast<char>('0' + cents % 10);
  out.append(text, end);
}
