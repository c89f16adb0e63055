#include "report/flagged_pairs.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace {

// Strongest first; the indices make the order total, so the listing never depends on the sort.
bool listedBefore(const FlaggedPair& a, const FlaggedPair& b) {
  const float strengthA = std::fabs(a.r), strengthB = std::fabs(b.r);
  if (strengthA != strengthB) return strengthA > strengthB;
  if (a.first != b.first) return a.first < b.first;
  return a.second < b.second;
}

bool correlates(PredictorRole role) {
  return role == PredictorRole::interest || role == PredictorRole::confound;
}

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view blanks = " \t\r\n";
  const std::size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

}  // namespace

CorrelationThreshold parseCorrelationThreshold(std::string_view text) {
  const std::string_view t = trimmed(text);
  if (t.empty()) return {};
  float value = 0.0f;
  // from_chars reads the classic form only ("." as the point), whatever the global locale says.
  const auto [end, error] =
      std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
  if (error != std::errc() || end != t.data() + t.size() || !(value > 0.0f && value <= 1.0f)) {
    return {CorrelationThreshold::State::invalid, 0.0f, std::string(t)};
  }
  return {CorrelationThreshold::State::on, value, std::string(t)};
}

std::vector<FlaggedPair> pairsAtOrAbove(std::span<const PredictorRole> roles,
                                        std::span<const float> correlations, float threshold,
                                        std::size_t ordered) {
  const std::size_t k = roles.size();
  if (correlations.size() != k * k)
    throw std::invalid_argument("correlations do not fit the predictors");
  std::vector<FlaggedPair> pairs;
  for (std::size_t i = 0; i < k; ++i) {
    if (!correlates(roles[i])) continue;
    for (std::size_t j = i + 1; j < k; ++j) {
      const float r = correlations[i * k + j];
      // A NaN fails the comparison and is never listed.
      if (correlates(roles[j]) && std::fabs(r) >= threshold) pairs.push_back({i, j, r});
    }
  }
  const auto middle = pairs.begin() + static_cast<std::ptrdiff_t>(std::min(ordered, pairs.size()));
  std::partial_sort(pairs.begin(), middle, pairs.end(), listedBefore);
  return pairs;
}
