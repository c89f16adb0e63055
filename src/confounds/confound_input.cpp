#include "confounds/confound_input.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "confounds/confound_messages.h"
#include "confounds/confound_reader.h"
#include "confounds/confound_selection.h"
#include "confounds/tsv_sidecar.h"
#include "sdm/io_error.h"

namespace confounds {

namespace {

// Refuses a table with too many cells missing or unreadable, or with any at all when `strict`.
void refuseDamaged(const std::string& path, const UnreadableCells& cells, bool strict) {
  const int64_t missing = cells.values + cells.firstRowMissing;
  if (!(strict ? cells.values > 0 : missing > cells.cells - missing)) return;
  const int64_t counted = strict ? cells.values : missing;
  throw sdm::IOError("Damaged confound file: " + path + " (" + std::to_string(counted) + " of " +
                     std::to_string(cells.cells) + " values missing or unreadable)");
}

}  // namespace

std::optional<double> meanFramewiseDisplacement(const sdm::DesignMatrix& table) {
  const std::vector<float>* found = columnNamed(table, framewiseDisplacementColumn);
  if (found == nullptr) return std::nullopt;
  const std::vector<float>& column = *found;
  if (column.size() < 2) return std::numeric_limits<double>::quiet_NaN();
  double sum = 0.0;
  for (std::size_t row = 1; row < column.size(); ++row) sum += column[row];
  const double mean = sum / static_cast<double>(column.size() - 1);
  return std::isfinite(mean) ? mean : std::numeric_limits<double>::quiet_NaN();
}

ConfoundInput loadConfounds(const std::string& path, std::string_view selection, bool strict) {
  sdm::SdmInput in(path);
  return loadConfounds(in, path, confoundFormatOf(path), selection, strict);
}

ConfoundInput loadConfounds(sdm::SdmInput& in, const std::string& path, ConfoundFormat format,
                            std::string_view selection, bool strict) {
  ConfoundFile file = readConfoundFile(in, path, format);
  refuseDamaged(path, file.unreadable, strict);
  std::optional<base::Notice> sidecarWarning;
  std::optional<Sidecar> sidecar;
  if (format == ConfoundFormat::tsv)
    sidecar = readSidecar(sidecarPath(path), file.matrix.predictors.size(), sidecarWarning);
  const std::optional<double> displacement = meanFramewiseDisplacement(file.matrix);
  SelectedConfounds chosen;
  if (sidecar)
    chosen.matrix = designFromSidecar(std::move(file.matrix), *sidecar);
  else
    chosen = chooseConfounds(file.matrix, selection);
  ConfoundInput input{std::move(chosen.matrix), {}, displacement};
  if (auto warning = unreadableNotice(path, file.unreadable))
    input.notices.push_back(std::move(*warning));
  if (sidecarWarning) input.notices.push_back(std::move(*sidecarWarning));
  input.notices.push_back(confoundsTakenNotice(input.matrix, chosen.notes, chosen.leftOut));
  return input;
}

}  // namespace confounds
