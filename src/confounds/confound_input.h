#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/notice.h"
#include "confounds/confound_matrix.h"
#include "confounds/confound_reader.h"
#include "sdm/design_matrix.h"
#include "sdm/sdm_input.h"

namespace confounds {

// What a task does with a file that is not an SDM: read it, choose its confounds, say so.
struct ConfoundInput {
  sdm::DesignMatrix matrix;           // the chosen confounds (selectConfounds)
  std::vector<base::Notice> notices;  // unreadableNotice (if any), then confoundsTakenNotice
  // meanFramewiseDisplacement of the whole table, whatever the selection took.
  std::optional<double> meanFramewiseDisplacement;
};

// The mean of the column framewiseDisplacementColumn of `table` (a matrix read by
// readConfoundFile) over its data rows after the first (the first has no displacement: "n/a",
// read as 0), summed in double; NaN when there is no such row or a value is not finite. Nothing
// when the table has no column of that name (letters compared exactly); the first of that name
// when it has several.
std::optional<double> meanFramewiseDisplacement(const sdm::DesignMatrix& table);

// readConfoundFile(path), then selectConfounds with `selection`, and the mean framewise
// displacement of what the file holds; throws what they throw, and
// IOError "Damaged confound file: " + path + " (" + k + " of " + n + " values missing or
// unreadable)" when more than half of the file's n cells are missing ("n/a", empty) or
// unreadable, or, when `strict`, when any is (the "n/a" of the first data row excepted, which
// derivative columns always have). A ".tsv" table with a sidecar that Brindle wrote beside it
// (confounds/tsv_sidecar.h) is read as the design the sidecar describes instead: every column,
// its names, colours, first confound and constant flag, whatever the selection.
ConfoundInput loadConfounds(const std::string& path, std::string_view selection,
                            bool strict = false);
// The same from `in`, which has just opened `path` and consumed nothing, read as `format`.
ConfoundInput loadConfounds(sdm::SdmInput& in, const std::string& path, ConfoundFormat format,
                            std::string_view selection, bool strict);

}  // namespace confounds
