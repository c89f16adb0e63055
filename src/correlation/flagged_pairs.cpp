#include "correlation/flagged_pairs.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "base/number_text.h"
#include "correlation/correlation.h"
#include "correlation/correlation_matrix.h"
#include "correlation/covered_predictors.h"
#include "sdm/design_matrix.h"

namespace {

struct FlaggedPair {
  float strength;  // |r|
  std::size_t first;
  std::size_t second;
};

// Strongest first; the indices make the order total, so the listing never depends on the sort.
bool listedBefore(const FlaggedPair& a, const FlaggedPair& b) {
  if (a.strength != b.strength) return a.strength > b.strength;
  if (a.first != b.first) return a.first < b.first;
  return a.second < b.second;
}

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view blanks = " \t\r\n";
  const std::size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

}  // namespace

std::string moreMessage(std::size_t unlisted) {
  std::array<char, 24> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), unlisted).ptr;
  return ">  ... and " + std::string(digits.data(), end) + " more";
}

CorrelationThreshold parseCorrelationThreshold(std::string_view text) {
  const std::string_view t = trimmed(text);
  if (t.empty()) return {};
  float value = 0.0f;
  // from_chars reads the classic form only ("." as the point), whatever the global locale says.
  const auto [end, error] =
      std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
  if (error != std::errc() || end != t.data() + t.size() || !(value > 0.0f && value <= 1.0f)) {
    return {CorrelationThreshold::State::invalid, 0.0f};
  }
  return {CorrelationThreshold::State::on, value};
}

std::vector<std::string> flaggedPairMessages(const DesignMatrix& matrix,
                                             std::span<const float> correlations, float threshold) {
  return flaggedPairMessages(matrix, std::span(matrix.names).first(coveredPredictorCount(matrix)),
                             correlations, threshold);
}

std::vector<std::string> flaggedPairMessages(const DesignMatrix& matrix,
                                             std::span<const std::string> shownNames,
                                             std::span<const float> correlations, float threshold) {
  const std::size_t k = coveredPredictorCount(matrix);
  if (correlations.size() != k * k)
    throw std::invalid_argument("correlations do not fit the design matrix");
  if (shownNames.size() != k) throw std::invalid_argument("names do not fit the design matrix");
  std::vector<bool> constant(k);
  for (std::size_t i = 0; i < k; ++i) constant[i] = isConstantPredictor(matrix.values[i]);

  std::vector<FlaggedPair> pairs;
  for (std::size_t i = 0; i < k; ++i) {
    if (constant[i]) continue;
    for (std::size_t j = i + 1; j < k; ++j) {
      if (constant[j]) continue;
      const float strength = std::fabs(correlations[i * k + j]);
      // A NaN fails the comparison and is never listed.
      if (strength >= threshold) pairs.push_back({strength, i, j});
    }
  }
  const std::size_t listed = std::min(pairs.size(), maxFlaggedPairs);
  std::partial_sort(pairs.begin(), pairs.begin() + static_cast<std::ptrdiff_t>(listed), pairs.end(),
                    listedBefore);

  std::vector<std::string> messages;
  for (std::size_t p = 0; p < listed; ++p) {
    const FlaggedPair& pair = pairs[p];
    std::string text = ">  High correlation ";
    appendFixed(text, static_cast<double>(pair.strength), 2);
    text += ": ";
    text += shownNames[pair.first];
    text += " ~ ";
    text += shownNames[pair.second];
    text += " (r = ";
    appendFixed(text, static_cast<double>(correlations[pair.first * k + pair.second]), 2);
    text += ')';
    messages.push_back(std::move(text));
  }
  if (pairs.size() > listed) messages.push_back(moreMessage(pairs.size() - listed));
  return messages;
}

std::vector<std::string> flaggedPairMessages(const DesignMatrix& matrix, float threshold) {
  const std::size_t k = coveredPredictorCount(matrix);
  return flaggedPairMessages(matrix, correlationMatrix(std::span(matrix.values).first(k)),
                             threshold);
}

std::vector<std::string> correlationWarnings(const DesignMatrix& matrix,
                                             std::string_view thresholdText) {
  const CorrelationThreshold threshold = parseCorrelationThreshold(thresholdText);
  switch (threshold.state) {
    case CorrelationThreshold::State::off:
      return {};
    case CorrelationThreshold::State::on:
      return flaggedPairMessages(matrix, threshold.value);
    case CorrelationThreshold::State::invalid:
      break;
  }
  return {">  Correlation threshold \"" + std::string(trimmed(thresholdText)) +
          "\" ignored: give a number above 0 and at most 1, such as 0.8"};
}
