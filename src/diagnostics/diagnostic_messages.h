#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

// The log texts of the design diagnostics (each beginning ">  ", as host::logMessage wants
// them), written after the flagged pairs when a correlation threshold is set.

// Factors from this one up are listed, and at most this many of them; the rest are counted in
// one closing text.
inline constexpr double highVarianceInflation = 10.0;
inline constexpr std::size_t maxFlaggedInflations = 20;

// Condition numbers from this one up are called ill-conditioned.
inline constexpr double illConditioned = 30.0;

// ">  High VIF 12.3: NAME" for every predictor whose factor is highVarianceInflation or more,
// largest first (infinite ones, printed "inf", before all others; equal ones by index), the
// factor rounded to one decimal, NAME from `names` (give displayNames); NaN factors are never
// listed. After maxFlaggedInflations texts one more says ">  ... and N more". Throws
// std::invalid_argument when the sizes differ.
std::vector<std::string> highInflationMessages(std::span<const std::string> names,
                                               std::span<const double> factors);

// ">  Design condition number 12.3", the number rounded to one decimal ("inf" when infinite,
// "nan" when there is none), followed by " (ill-conditioned)" when it is illConditioned or more.
std::string conditionNumberMessage(double conditionNumber);
