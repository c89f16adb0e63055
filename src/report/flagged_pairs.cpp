#include "report/flagged_pairs.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

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

}  // namespace report
