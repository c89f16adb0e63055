#include "report/flagged_pairs.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "base/number_text.h"
#include "contract/terms.h"

namespace report {

namespace {

// What the researcher will test first, then strongest first; the indices make the order total,
// so the listing never depends on the sort.
bool listedBefore(const FlaggedPair& a, const FlaggedPair& b,
                  std::span<const correlation::PredictorRole> roles) {
  const bool interestA = involvesInterest(a, roles), interestB = involvesInterest(b, roles);
  if (interestA != interestB) return interestA;
  const float strengthA = std::fabs(a.r), strengthB = std::fabs(b.r);
  if (strengthA != strengthB) return strengthA > strengthB;
  if (a.first != b.first) return a.first < b.first;
  return a.second < b.second;
}

}  // namespace

bool involvesInterest(const FlaggedPair& pair, std::span<const correlation::PredictorRole> roles) {
  return roles[pair.first] == correlation::PredictorRole::interest ||
         roles[pair.second] == correlation::PredictorRole::interest;
}

std::vector<FlaggedPair> pairsAtOrAbove(std::span<const correlation::PredictorRole> roles,
                                        std::span<const float> correlations, float threshold,
                                        std::size_t ordered) {
  const std::size_t k = roles.size();
  if (correlations.size() != k * k)
    throw std::invalid_argument("correlations do not fit the predictors");
  std::vector<FlaggedPair> pairs;
  for (std::size_t i = 0; i < k; ++i) {
    if (!correlation::correlates(roles[i])) continue;
    for (std::size_t j = i + 1; j < k; ++j) {
      const float r = correlations[i * k + j];
      // A NaN fails the comparison and is never listed.
      if (correlation::correlates(roles[j]) && std::fabs(r) >= threshold)
        pairs.push_back({i, j, r});
    }
  }
  const auto middle = pairs.begin() + static_cast<std::ptrdiff_t>(std::min(ordered, pairs.size()));
  std::partial_sort(
      pairs.begin(), middle, pairs.end(),
      [roles](const FlaggedPair& a, const FlaggedPair& b) { return listedBefore(a, b, roles); });
  return pairs;
}

PairCollector::PairCollector(std::span<const correlation::PredictorRole> roles, float threshold,
                             std::size_t keep)
    : roles_(roles), threshold_(threshold), keep_(keep) {}

void PairCollector::addPiece(std::size_t row, std::size_t firstColumn,
                             std::span<const float> cells) {
  const std::size_t k = roles_.size();
  if (row >= k || firstColumn > k || cells.size() > k - firstColumn)
    throw std::out_of_range("correlations past the predictors");
  if (!correlation::correlates(roles_[row])) return;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    const std::size_t j = firstColumn + c;
    // A NaN fails the comparison and is never listed.
    if (j > row && correlation::correlates(roles_[j]) && std::fabs(cells[c]) >= threshold_)
      offer({row, j, cells[c]});
  }
}

void PairCollector::offer(const FlaggedPair& pair) {
  ++count_;
  if (involvesInterest(pair, roles_)) ++interestCount_;
  if (keep_ == 0) return;
  const auto before = [this](const FlaggedPair& a, const FlaggedPair& b) {
    return listedBefore(a, b, roles_);
  };
  if (heap_.size() < keep_) {
    heap_.push_back(pair);
    std::push_heap(heap_.begin(), heap_.end(), before);
  } else if (before(pair, heap_.front())) {
    std::pop_heap(heap_.begin(), heap_.end(), before);
    heap_.back() = pair;
    std::push_heap(heap_.begin(), heap_.end(), before);
  }
}

std::vector<FlaggedPair> PairCollector::take() {
  std::sort_heap(heap_.begin(), heap_.end(), [this](const FlaggedPair& a, const FlaggedPair& b) {
    return listedBefore(a, b, roles_);
  });
  return std::exchange(heap_, {});
}

}  // namespace report
