#include "confounds/confound_messages.h"

#include <cstddef>

#include "base/paths.h"
#include "sdm/sdm_repairs.h"

std::string unreadableWarning(const std::string& path, const UnreadableCells& cells) {
  if (cells.values <= 0) return {};
  std::string text = "\nBrindle>  Warning: ";
  text += baseName(path);
  text += ": " + std::to_string(cells.values) + " value(s) unreadable ";
  text += listedDataPoints(cells.firstDataPoints,
                           cells.dataPoints > static_cast<int64_t>(cells.firstDataPoints.size()));
  text += ", read as 0";
  return text;
}

std::string confoundsTakenMessage(const DesignMatrix& selected) {
  std::string text = "\nBrindle>  Confounds from ";
  text += baseName(selected.fileName);
  text += ": ";
  for (std::size_t p = 0; p < selected.names.size(); ++p) {
    if (p > 0) text += ", ";
    text += selected.names[p];
  }
  return text;
}
