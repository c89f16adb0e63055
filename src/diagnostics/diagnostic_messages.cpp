#include "diagnostics/diagnostic_messages.h"

#include <algorithm>
#include <stdexcept>

#include "base/number_text.h"
#include "correlation/flagged_pairs.h"

std::vector<std::string> highInflationMessages(std::span<const std::string> names,
                                               std::span<const double> factors) {
  if (names.size() != factors.size())
    throw std::invalid_argument("factors do not fit the predictor names");
  std::vector<std::size_t> flagged;
  for (std::size_t i = 0; i < factors.size(); ++i) {
    // A NaN fails the comparison and is never listed.
    if (factors[i] >= highVarianceInflation) flagged.push_back(i);
  }
  const std::size_t listed = std::min(flagged.size(), maxFlaggedInflations);
  std::partial_sort(flagged.begin(), flagged.begin() + static_cast<std::ptrdiff_t>(listed),
                    flagged.end(), [&](std::size_t a, std::size_t b) {
                      if (factors[a] != factors[b]) return factors[a] > factors[b];
                      return a < b;
                    });
  std::vector<std::string> messages;
  for (std::size_t p = 0; p < listed; ++p) {
    std::string text = ">  High VIF ";
    appendFixed(text, factors[flagged[p]], 1);
    text += ": ";
    text += names[flagged[p]];
    messages.push_back(std::move(text));
  }
  if (flagged.size() > listed) messages.push_back(moreMessage(flagged.size() - listed));
  return messages;
}

std::string conditionNumberMessage(double conditionNumber) {
  std::string text = ">  Design condition number ";
  appendFixed(text, conditionNumber, 1);
  if (conditionNumber >= illConditioned) text += " (ill-conditioned)";
  return text;
}
