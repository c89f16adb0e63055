#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "correlation/predictor_role.h"
#include "diagnostics/contrast_estimates.h"
#include "report/flagged_pairs.h"

// The lines a report adds to the log, as texts without the log's own prefix: the flagged
// pairs, the high variance inflation factors, the contrasts and the condition number.
namespace report {

// At most this many high factors are listed; the rest are counted in one closing line.
inline constexpr std::size_t maxFlaggedInflations = 20;

// The line that closes a capped list: "... and " + `unlisted` + " more".
std::string moreLine(std::size_t unlisted);

// "High correlation 0.93: A ~ B (r = -0.93)" for each of the first maxFlaggedPairs of `pairs`
// (in their order; pairsAtOrAbove gives it), or more while they involve a predictor of interest
// (by `roles`), up to maxInterestPairs; both numbers rounded to two decimals as the report
// rounds them, A and B from `names`; then moreLine for the rest, if any: of `pairCount` pairs
// in all when that is more than `pairs` holds (the first ones of a longer list).
std::vector<std::string> flaggedPairLines(std::span<const FlaggedPair> pairs,
                                          std::span<const std::string> names,
                                          std::span<const correlation::PredictorRole> roles,
                                          std::size_t pairCount = 0);

// "High VIF 12.3: NAME" for every predictor whose factor is `limit` or more: the predictors of
// interest (by `roles`) first, then the others, each part largest first (infinite ones, printed
// "inf", before all others; equal ones by index), the factor rounded to one decimal, NAME from
// `names`; NaN factors are never listed. After maxFlaggedInflations lines one more says
// moreLine. Throws std::invalid_argument when the sizes differ.
std::vector<std::string> highInflationLines(std::span<const std::string> names,
                                            std::span<const double> factors,
                                            std::span<const correlation::PredictorRole> roles,
                                            double limit);

// Per estimate in order: "Contrast NAME: efficiency E, confounds cost xC", E and C to four
// significant digits ("confounds cost n/a (it weights a confound)" when it has none); for one
// that cannot be estimated the warning "Warning: FILE: contrast NAME cannot be estimated
// (REASON)", FILE the base name of `file`.
std::vector<std::string> contrastLines(std::span<const diagnostics::ContrastEstimate> estimates,
                                       const std::string& file);

// `value` to `digits` significant digits, whatever the locale: in fixed notation from 0.001 to
// below 1,000,000 ("12.50", "0.001234", "123457"), else with an exponent ("1.235e-05"); "inf",
// "nan" as such.
std::string significantText(double value, int digits);

// "Condition number of all the regressors together: 12.3": the conditioning of the predictors
// of interest and the confounds at once, rounded to one decimal ("inf" when infinite, "nan" when
// there is none).
std::string conditionNumberLine(double conditionNumber);

// "K predictors (at most LIMIT)": why a step was skipped.
std::string tooManyPredictorsText(std::size_t predictors, std::size_t limit);

// "Design diagnostics skipped: K predictors (at most 2048)": in place of the condition number
// of a design with more predictors than maxDiagnosedPredictors.
std::string diagnosticsSkippedLine(std::size_t predictors);

// "Pictures skipped: K predictors (at most 2048)": in place of the heatmap and the design
// picture of a design with more predictors than maxPicturedPredictors.
std::string picturesSkippedLine(std::size_t predictors);

// "Report skipped: K predictors (at most 8192)": in place of the report of a design with more
// predictors than maxReportedPredictors.
std::string reportSkippedLine(std::size_t predictors);

// "Correlation threshold \"TEXT\" ignored: give a number above 0 and at most 1, such as 0.8",
// TEXT as the threshold holds it.
std::string thresholdIgnoredLine(const contract::CorrelationThreshold& threshold);

}  // namespace report
