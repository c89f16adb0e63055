#include "sdm/sdm_repairs.h"

#include <charconv>
#include <cstddef>

#include "sdm/paths.h"

namespace {

std::string number(std::size_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return std::string(digits, end);
}

}  // namespace

std::vector<std::string> repairTexts(const SdmRepairs& repairs) {
  std::vector<std::string> texts;
  if (repairs.missingFrom != 0) {
    const std::string first = number(repairs.missingFrom);
    texts.push_back(repairs.missing() == 1
                        ? "data point " + first
                        : "data points " + first + " to " + number(repairs.dataPoints));
    texts.back() += " missing (the file ends early), read as 0";
  }
  if (repairs.unreadable != 0) {
    std::string text = number(repairs.unreadable) + " data line(s) unreadable (data points ";
    for (std::size_t i = 0; i < repairs.firstUnreadable.size(); ++i) {
      if (i > 0) text += ", ";
      text += number(repairs.firstUnreadable[i]);
    }
    if (repairs.unreadable > repairs.firstUnreadable.size()) text += ", ...";
    texts.push_back(text + "), read as 0");
  }
  if (repairs.namesMissing != 0) {
    texts.push_back(number(repairs.namesMissing) + " of " + number(repairs.predictors) +
                    " predictor names missing");
  }
  return texts;
}

std::vector<std::string> repairWarnings(const std::string& path, const SdmRepairs& repairs) {
  std::vector<std::string> warnings;
  for (const std::string& text : repairTexts(repairs))
    warnings.push_back(">  Warning: " + baseName(path) + ": " + text);
  return warnings;
}
