#include "report/log_lines.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <stdexcept>
#include <string>

#include <cmath>

#include "base/notice.h"
#include "base/number_text.h"
#include "diagnostics/design_diagnostics.h"
#include "report/design_report.h"

namespace report {

std::string moreLine(std::size_t unlisted) {
  std::array<char, 24> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), unlisted).ptr;
  return "... and " + std::string(digits.data(), end) + " more";
}

std::vector<std::string> flaggedPairLines(std::span<const FlaggedPair> pairs,
                                          std::span<const std::string> names,
                                          std::span<const correlation::PredictorRole> roles,
                                          std::size_t pairCount) {
  const std::size_t all = std::max(pairCount, pairs.size());
  // The pairs with a predictor of interest come first: the log shows as many as it may.
  std::size_t interest = 0;
  while (interest < pairs.size() && interest < maxInterestPairs &&
         involvesInterest(pairs[interest], roles))
    ++interest;
  const std::size_t listed = std::min(pairs.size(), std::max(maxFlaggedPairs, interest));
  std::vector<std::string> lines;
  for (const FlaggedPair& pair : pairs.first(listed)) {
    std::string text = "High correlation ";
    base::appendFixed(text, static_cast<double>(std::abs(pair.r)), 2);
    text += ": ";
    text += names[pair.first];
    text += " ~ ";
    text += names[pair.second];
    text += " (r = ";
    base::appendFixed(text, static_cast<double>(pair.r), 2);
    text += ')';
    lines.push_back(std::move(text));
  }
  if (all > listed) lines.push_back(moreLine(all - listed));
  return lines;
}

std::vector<std::string> highInflationLines(std::span<const std::string> names,
                                            std::span<const double> factors,
                                            std::span<const correlation::PredictorRole> roles,
                                            double limit) {
  if (names.size() != factors.size() || roles.size() != factors.size())
    throw std::invalid_argument("factors do not fit the predictor names");
  std::vector<std::size_t> flagged;
  for (std::size_t i = 0; i < factors.size(); ++i) {
    // A NaN fails the comparison and is never listed.
    if (factors[i] >= limit) flagged.push_back(i);
  }
  const auto interest = [&](std::size_t i) {
    return roles[i] == correlation::PredictorRole::interest;
  };
  const std::size_t listed = std::min(flagged.size(), maxFlaggedInflations);
  std::partial_sort(flagged.begin(), flagged.begin() + static_cast<std::ptrdiff_t>(listed),
                    flagged.end(), [&](std::size_t a, std::size_t b) {
                      if (interest(a) != interest(b)) return interest(a);
                      if (factors[a] != factors[b]) return factors[a] > factors[b];
                      return a < b;
                    });
  std::vector<std::string> lines;
  for (std::size_t p = 0; p < listed; ++p) {
    std::string text = "High VIF ";
    base::appendFixed(text, factors[flagged[p]], 1);
    text += ": ";
    text += names[flagged[p]];
    lines.push_back(std::move(text));
  }
  if (flagged.size() > listed) lines.push_back(moreLine(flagged.size() - listed));
  return lines;
}

std::string significantText(double value, int digits) {
  const double size = std::fabs(value);
  if (!std::isfinite(value) || value == 0.0 || (size >= 1e-3 && size < 1e6)) {
    const int magnitude =
        std::isfinite(value) && value != 0.0 ? static_cast<int>(std::floor(std::log10(size))) : 0;
    std::string text;
    base::appendFixed(text, value, std::max(0, digits - 1 - magnitude));
    return text;
  }
  char text[64];
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, digits - 1).ptr;
  return std::string(text, end);
}

std::vector<std::string> contrastLines(std::span<const diagnostics::ContrastEstimate> estimates,
                                       const std::string& file) {
  std::vector<std::string> lines;
  for (const diagnostics::ContrastEstimate& estimate : estimates) {
    const std::string& name = estimate.contrast.name;
    if (!estimate.estimable) {
      lines.push_back(base::noticeText(
          {base::NoticeKind::warning, file,
           "contrast " + name + " cannot be estimated (" + estimate.reason + ")"}));
      continue;
    }
    std::string text =
        "Contrast " + name + ": efficiency " + significantText(estimate.efficiency, 4);
    if (std::isnan(estimate.confoundCost))
      text += ", confounds cost n/a (it weights a confound)";
    else
      text += ", confounds cost x" + significantText(estimate.confoundCost, 4);
    lines.push_back(std::move(text));
  }
  return lines;
}

std::string conditionNumberLine(double conditionNumber) {
  std::string text = "Condition number of all the regressors together: ";
  base::appendFixed(text, conditionNumber, 1);
  return text;
}

std::string tooManyPredictorsText(std::size_t predictors, std::size_t limit) {
  return std::to_string(predictors) + " predictors (at most " + std::to_string(limit) + ")";
}

std::string diagnosticsSkippedLine(std::size_t predictors) {
  return "Design diagnostics skipped: " +
         tooManyPredictorsText(predictors, diagnostics::maxDiagnosedPredictors);
}

std::string picturesSkippedLine(std::size_t predictors) {
  return "Pictures skipped: " + tooManyPredictorsText(predictors, maxPicturedPredictors);
}

std::string reportSkippedLine(std::size_t predictors) {
  return "Report skipped: " + tooManyPredictorsText(predictors, maxReportedPredictors);
}

std::string thresholdIgnoredLine(const contract::CorrelationThreshold& threshold) {
  return "Correlation threshold \"" + threshold.text +
         "\" ignored: give a number above 0 and at most 1, such as 0.8";
}

}  // namespace report
