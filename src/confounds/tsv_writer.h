#pragma once

#include <string>

#include "sdm/design_matrix.h"

namespace confounds {

// Writes `matrix` as a BIDS-style table at `path`: one header row of the predictor names, then
// one row per data point, fields separated by tabs, each value in the shortest text that reads
// back as the same float ("-0.5", "1234.5677", "3.2e-07"), NaN and infinities as "n/a", LF line
// ends. Tabs and line ends inside a name become spaces. The file is written through a temporary
// file moved into place, so a failed write leaves the file that stood at `path`. Throws
// std::runtime_error "Cannot Create file: " + path when it cannot be created and "Cannot write
// file: " + path when a write fails; std::logic_error, creating nothing, when the arrays are
// shorter than the counts of the header.
void saveTsv(const sdm::DesignMatrix& matrix, const std::string& path);

}  // namespace confounds
