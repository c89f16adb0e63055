#include "sdm/sdm_repairs.h"

#include <charconv>
#include <cstddef>

#include "base/paths.h"

namespace sdm {

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
    texts.push_back(number(repairs.unreadable) + " data line(s) unreadable " +
                    base::listedNumbers("data points", repairs.firstUnreadable,
                                        repairs.unreadable > repairs.firstUnreadable.size()) +
                    ", read as 0");
  }
  if (repairs.nonFinite != 0) {
    texts.push_back(number(repairs.nonFinite) + " value(s) inf or nan " +
                    base::listedNumbers("data points", repairs.firstNonFinite,
                                        repairs.nonFinitePoints > repairs.firstNonFinite.size()));
  }
  if (repairs.namesMissing != 0) {
    texts.push_back(number(repairs.namesMissing) + " of " + number(repairs.predictors) +
                    " predictor names missing");
  }
  return texts;
}

std::vector<base::Notice> repairNotices(const std::string& path, const SdmRepairs& repairs) {
  std::vector<base::Notice> notices;
  for (std::string& text : repairTexts(repairs))
    notices.push_back({base::NoticeKind::warning, path, std::move(text)});
  return notices;
}

}  // namespace sdm
