#include "confounds/confound_messages.h"

#include <cstddef>

#include "base/notice.h"
#include "base/paths.h"

namespace confounds {

std::optional<base::Notice> unreadableNotice(const std::string& path,
                                             const UnreadableCells& cells) {
  if (cells.values <= 0) return std::nullopt;
  std::string text = std::to_string(cells.values) + " value(s) unreadable ";
  text +=
      base::listedNumbers("data points", cells.firstDataPoints,
                          cells.dataPoints > static_cast<int64_t>(cells.firstDataPoints.size()));
  text += ", read as 0";
  return base::Notice{base::NoticeKind::warning, path, std::move(text)};
}

base::Notice confoundsTakenNotice(const sdm::DesignMatrix& selected,
                                  const std::vector<std::string>& notes,
                                  const std::vector<std::string>& leftOut) {
  const std::size_t count = selected.predictors.size();
  std::string line = "Confounds from " + base::baseName(selected.fileName) + ": ";
  for (std::size_t p = 0; p < count && p < maxNamesTaken; ++p) {
    if (p > 0) line += ", ";
    line += selected.predictors[p].name;
  }
  if (count == 0) line += "none";
  if (count > maxNamesTaken) line += ", ... (" + std::to_string(count) + " in all)";
  for (const std::string& copy : leftOut) line += "; " + copy + ", left out";
  for (std::size_t n = 0; n < notes.size(); ++n) line += (n == 0 ? " (" : "; ") + notes[n];
  if (!notes.empty()) line += ')';
  return {base::NoticeKind::note, selected.fileName, std::move(line)};
}

}  // namespace confounds
