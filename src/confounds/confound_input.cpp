#include "confounds/confound_input.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

#include "base/io_error.h"
#include "confounds/confound_messages.h"
#include "confounds/confound_reader.h"
#include "confounds/confound_selection.h"

namespace {

// Refuses a table with too many cells missing or unreadable, or with any at all when `strict`.
void refuseDamaged(const std::string& path, const UnreadableCells& cells, bool strict) {
  const int64_t missing = cells.values + cells.firstRowMissing;
  if (!(strict ? cells.values > 0 : missing > cells.cells - missing)) return;
  const int64_t counted = strict ? cells.values : missing;
  throw IOError("Damaged confound file: " + path + " (" + std::to_string(counted) + " of " +
                std::to_string(cells.cells) + " values missing or unreadable)");
}

}  // namespace

std::optional<double> meanFramewiseDisplacement(const DesignMatrix& table) {
  for (std::size_t c = 0; c < table.names.size() && c < table.values.size(); ++c) {
    if (table.names[c] != framewiseDisplacementColumn) continue;
    const std::vector<float>& column = table.values[c];
    if (column.size() < 2) return std::numeric_limits<double>::quiet_NaN();
    double sum = 0.0;
    for (std::size_t row = 1; row < column.size(); ++row) sum += column[row];
    const double mean = sum / static_cast<double>(column.size() - 1);
    return std::isfinite(mean) ? mean : std::numeric_limits<double>::quiet_NaN();
  }
  return std::nullopt;
}

ConfoundInput loadConfounds(const std::string& path, std::string_view selection, bool strict) {
  SdmInput in(path);
  return loadConfounds(in, path, confoundFormatOf(path), selection, strict);
}

ConfoundInput loadConfounds(SdmInput& in, const std::string& path, ConfoundFormat format,
                            std::string_view selection, bool strict) {
  const ConfoundFile file = readConfoundFile(in, path, format);
  refuseDamaged(path, file.unreadable, strict);
  SelectedConfounds chosen = chooseConfounds(file.matrix, selection);
  ConfoundInput input{std::move(chosen.matrix), {}, meanFramewiseDisplacement(file.matrix)};
  if (auto warning = unreadableNotice(path, file.unreadable))
    input.notices.push_back(std::move(*warning));
  input.notices.push_back(confoundsTakenNotice(input.matrix, chosen.notes));
  return input;
}
