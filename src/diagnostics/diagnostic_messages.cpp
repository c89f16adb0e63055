#include "diagnostics/diagnostic_messages.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <stdexcept>

#include "sdm/number_text.h"

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
  if (flagged.size() > listed) {
    std::array<char, 24> digits{};
    const auto end =
        std::to_chars(digits.data(), digits.data() + digits.size(), flagged.size() - listed).ptr;
    messages.push_back(">  ... and " + std::string(digits.data(), end) + " more");
  }
  return messages;
}

std::string conditionNumberMessage(double conditionNumber) {
  std::string text = ">  Design condition number ";
  appendFixed(text, conditionNumber, 1);
  if (conditionNumber >= illConditioned) text += " (ill-conditioned)";
  return text;
}
