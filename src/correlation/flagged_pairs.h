#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class DesignMatrix;

// Collinearity warnings for the log: the pairs of predictors whose correlation reaches a
// threshold that the user gave as text (the dialog parameter "corrwarn").

// The most pairs listed after one report; the rest are counted in one closing message.
inline constexpr std::size_t maxFlaggedPairs = 20;

// The log text that closes a capped list: ">  ... and " + `unlisted` + " more".
std::string moreMessage(std::size_t unlisted);

// A "corrwarn" text read without regard to any locale. Blanks (space, tab, CR, LF) around it
// are ignored; nothing left means off; a decimal number with a "." (an exponent allowed) that
// is above 0 and at most 1 means on; anything else ("0,8", "abc", "-0.5", "1.5", "nan") is
// invalid, which lists no pair either.
struct CorrelationThreshold {
  enum class State { off, on, invalid };
  State state = State::off;
  float value = 0.0f;  // the threshold, rounded to float, when on
};
CorrelationThreshold parseCorrelationThreshold(std::string_view text);

// The log texts (each beginning ">  ", as logMessage wants them) for every pair i < j of
// the covered predictors with |r| >= threshold, strongest first, equal |r| by i then j:
// ">  High correlation 0.93: A ~ B (r = -0.93)", both numbers rounded to two decimals as the
// report rounds them. Constant predictors and NaN correlations are never listed. After
// maxFlaggedPairs texts, one more says ">  ... and N more". The second form computes the
// correlations; `correlations` holds K x K cells as correlationMatrix gives them (throws
// std::invalid_argument when its size is not K x K).
std::vector<std::string> flaggedPairMessages(const DesignMatrix& matrix,
                                             std::span<const float> correlations, float threshold);
std::vector<std::string> flaggedPairMessages(const DesignMatrix& matrix, float threshold);
// The first form with `shownNames` (K of them, such as displayNames gives) in place of the
// file's names; throws std::invalid_argument when they are not K.
std::vector<std::string> flaggedPairMessages(const DesignMatrix& matrix,
                                             std::span<const std::string> shownNames,
                                             std::span<const float> correlations, float threshold);

// Everything the "corrwarn" text asks the log for after a report of `matrix`: nothing when it
// is off, the flagged pairs when it is on, and when it is invalid the one text
// ">  Correlation threshold \"TEXT\" ignored: give a number above 0 and at most 1, such as 0.8"
// (TEXT without the blanks around it). Computes the correlations only when it is on.
std::vector<std::string> correlationWarnings(const DesignMatrix& matrix,
                                             std::string_view thresholdText);
