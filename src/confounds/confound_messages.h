#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/notice.h"
#include "confounds/confound_reader.h"
#include "sdm/design_matrix.h"

// What a task that reads a confound file tells the user.
namespace confounds {

// The warning about a file with unreadable cells, or none when there are none: k + " value(s)
// unreadable (data points " + the first five data points joined by ", " + ", ..." when more
// rows hold such cells + "), read as 0".
std::optional<base::Notice> unreadableNotice(const std::string& path, const UnreadableCells& cells);

// The most names the notice of what was taken lists.
inline constexpr std::size_t maxNamesTaken = 50;

// What was taken from a file, a note about `selected.fileName`: "Confounds from " + its base
// name + ": " + the names of `selected` joined by ", "; past maxNamesTaken names, ", ... (" +
// their number + " in all)"; then for each column left out as a copy "; NAME = EARLIER, left
// out"; then `notes` (how some were made) in parentheses, joined by "; ".
base::Notice confoundsTakenNotice(const sdm::DesignMatrix& selected,
                                  const std::vector<std::string>& notes = {},
                                  const std::vector<std::string>& leftOut = {});

}  // namespace confounds
