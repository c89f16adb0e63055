#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "contract/threshold.h"
#include "correlation/predictor_role.h"

// The pairs of predictors whose correlation reaches the threshold the user gave as text (the
// dialog parameter "corrwarn"): one rule for the log and the summary file.
namespace report {

// The most pairs listed in the log after one report; the rest are counted in one closing line,
// which never hides a pair with a predictor of interest among the first maxInterestPairs.
inline constexpr std::size_t maxFlaggedPairs = 20;
inline constexpr std::size_t maxInterestPairs = 50;

// A pair of predictors (0-based, first < second) and their correlation as the report has it.
struct FlaggedPair {
  std::size_t first;
  std::size_t second;
  float r;
};

// True when a predictor of `pair` is of interest (by `roles`).
bool involvesInterest(const FlaggedPair& pair, std::span<const correlation::PredictorRole> roles);

// Every pair i < j of predictors of interest and confounds (never constant or flat ones) whose
// correlation in `correlations` (K x K cells as correlationMatrix gives them, K = roles.size())
// has a magnitude of `threshold` or more: the pairs with a predictor of interest first, then the
// others, each part strongest first, equal ones by i then j. NaN
// correlations, and every pair for a NaN threshold, are never listed. Only the first `ordered`
// pairs are put in that order (the rest follow them in no particular order), which spares a
// sort of many pairs when only the strongest are shown. Throws std::invalid_argument when the
// sizes do not fit.
std::vector<FlaggedPair> pairsAtOrAbove(std::span<const correlation::PredictorRole> roles,
                                        std::span<const float> correlations, float threshold,
                                        std::size_t ordered = SIZE_MAX);

// The most pairs a summary lists: the first ones in listing order; it counts the rest.
inline constexpr std::size_t maxListedPairs = 10000;

// The pairs that pairsAtOrAbove would list, gathered from rows of correlations as they come and
// bounded: the first `keep` of them in listing order, and how many there are in all. Holds at
// most `keep` pairs, whatever the number of predictors. `roles` must outlive the collector.
class PairCollector {
 public:
  PairCollector(std::span<const correlation::PredictorRole> roles, float threshold,
                std::size_t keep);

  // Considers the cells of row `row` from column `firstColumn` on (as forEachCorrelationPiece
  // hands them): each pair (row, j) with row < j. Throws std::out_of_range for cells past K.
  void addPiece(std::size_t row, std::size_t firstColumn, std::span<const float> cells);

  // Every pair considered that reaches the threshold, kept or not.
  std::size_t count() const { return count_; }
  // Those of them with a predictor of interest.
  std::size_t interestCount() const { return interestCount_; }

  // The kept pairs in listing order; the collector keeps none afterwards.
  std::vector<FlaggedPair> take();

 private:
  void offer(const FlaggedPair& pair);

  std::span<const correlation::PredictorRole> roles_;
  float threshold_;
  std::size_t keep_;
  std::size_t count_ = 0;
  std::size_t interestCount_ = 0;
  std::vector<FlaggedPair> heap_;  // the last kept pair in listing order on top
};

}  // namespace report
