#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sdm/design_matrix.h"

namespace confounds {

// The display colour of the confound at 0-based position `position` of a matrix made from a
// confound file: one fixed palette of twelve colours, repeated.
sdm::PredictorColour confoundColour(std::size_t position);

// A design matrix of confounds as Brindle writes a new file (sdm::newDesignMatrix, FileVersion
// 1): every predictor in the confound block (FirstConfoundPredictor 1), no constant, colours from
// confoundColour by position (in place of those `columns` came with) and `fileName` set to
// `path`. Every column must hold `points` values, the rows of the table (a selection of no
// column keeps them). Columns are kept as given otherwise, their kinds and constant ones too.
sdm::DesignMatrix confoundMatrix(const std::string& path, std::vector<sdm::Predictor> columns,
                                 int32_t points);

// The column of head motion per volume that preprocessing pipelines write.
inline constexpr const char* framewiseDisplacementColumn = "framewise_displacement";

// The values of the first column of `table` named `name` (letters compared exactly), or null
// when there is none.
const std::vector<float>* columnNamed(const sdm::DesignMatrix& table, std::string_view name);

}  // namespace confounds
