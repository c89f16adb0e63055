#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "report/flagged_pairs.h"

// The lines a report adds to the log, as texts without the log's own prefix: the flagged
// pairs, then the high variance inflation factors and the condition number.
namespace report {

// At most this many high factors are listed; the rest are counted in one closing line.
inline constexpr std::size_t maxFlaggedInflations = 20;

// The line that closes a capped list: "... and " + `unlisted` + " more".
std::string moreLine(std::size_t unlisted);

// "High correlation 0.93: A ~ B (r = -0.93)" for each of the first maxFlaggedPairs of `pairs`
// (in their order; pairsAtOrAbove gives it), both numbers rounded to two decimals as the report
// rounds them, A and B from `names`; then moreLine for the rest, if any.
std::vector<std::string> flaggedPairLines(std::span<const FlaggedPair> pairs,
                                          std::span<const std::string> names);

// "High VIF 12.3: NAME" for every predictor whose factor is contract::redVif or more,
// largest first (infinite ones, printed "inf", before all others; equal ones by index), the
// factor rounded to one decimal, NAME from `names`; NaN factors are never listed. After
// maxFlaggedInflations lines one more says moreLine. Throws std::invalid_argument when the
// sizes differ.
std::vector<std::string> highInflationLines(std::span<const std::string> names,
                                            std::span<const double> factors);

// "Design condition number 12.3", the number rounded to one decimal ("inf" when infinite, "nan"
// when there is none), followed by " (ill-conditioned)" when it is contract::illConditioned or
// more.
std::string conditionNumberLine(double conditionNumber);

// "K predictors (at most LIMIT)": why a step was skipped.
std::string tooManyPredictorsText(std::size_t predictors, std::size_t limit);

// "Design diagnostics skipped: K predictors (at most 2048)": in place of the condition number
// of a design with more predictors than maxDiagnosedPredictors.
std::string diagnosticsSkippedLine(std::size_t predictors);

// "Report skipped: K predictors (at most 8192)": in place of the report of a design with more
// predictors than maxReportedPredictors.
std::string reportSkippedLine(std::size_t predictors);

// "Correlation threshold \"TEXT\" ignored: give a number above 0 and at most 1, such as 0.8",
// TEXT as the threshold holds it.
std::string thresholdIgnoredLine(const contract::CorrelationThreshold& threshold);

}  // namespace report
