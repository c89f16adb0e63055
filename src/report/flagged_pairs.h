#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "correlation/predictor_role.h"

// The pairs of predictors whose correlation reaches the threshold the user gave as text (the
// dialog parameter "corrwarn"): one rule for the log and the summary file.
namespace report {

// The most pairs listed in the log after one report; the rest are counted in one closing line.
inline constexpr std::size_t maxFlaggedPairs = 20;

// A "corrwarn" text read without regard to any locale. Blanks (space, tab, CR, LF) around it
// are ignored; nothing left means off; a decimal number with a "." (an exponent allowed) that
// is above 0 and at most 1 means on; anything else ("0,8", "abc", "-0.5", "1.5", "nan") is
// invalid, which lists no pair either.
struct CorrelationThreshold {
  enum class State { off, on, invalid };
  State state = State::off;
  float value = 0.0f;  // the threshold, rounded to float, when on
  std::string text;    // the text without the blanks around it
  bool on() const { return state == State::on; }
};
CorrelationThreshold parseCorrelationThreshold(std::string_view text);

// A pair of predictors (0-based, first < second) and their correlation as the report has it.
struct FlaggedPair {
  std::size_t first;
  std::size_t second;
  float r;
};

// Every pair i < j of predictors of interest and confounds (never constant or flat ones) whose
// correlation in `correlations` (K x K cells as correlationMatrix gives them, K = roles.size())
// has a magnitude of `threshold` or more, strongest first, equal ones by i then j. NaN
// correlations, and every pair for a NaN threshold, are never listed. Only the first `ordered`
// pairs are put in that order (the rest follow them in no particular order), which spares a
// sort of many pairs when only the strongest are shown. Throws std::invalid_argument when the
// sizes do not fit.
std::vector<FlaggedPair> pairsAtOrAbove(std::span<const correlation::PredictorRole> roles,
                                        std::span<const float> correlations, float threshold,
                                        std::size_t ordered = SIZE_MAX);

}  // namespace report
