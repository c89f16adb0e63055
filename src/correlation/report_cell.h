#pragma once

#include <string>

// Appends the report's text for one correlation: its absolute value, widened to double, in
// fixed-point notation with two decimals, correctly rounded (an exact tie to the even last
// digit), exactly as appendFixed(out, |r|, 2) writes it, NaN and infinity included. Values
// below 10^6 take a short road through integer arithmetic; it does not depend on the
// floating-point rounding mode.
void appendReportCell(std::string& out, float correlation);
