#pragma once

#include <span>
#include <string>

#include "sdm/design_matrix.h"

namespace correlation {

// Writes the CSV report of the absolute correlations between all predictors of `matrix` to
// contract::correlationReportPath(matrix.fileName, folder): beside the SDM, or in `folder` when
// that is not empty. Throws std::runtime_error "Cannot Create file: " + report path + " (" + reason
// + ")" when it cannot be created (" (it is the SDM itself)" when the report would replace the SDM
// file) and "Cannot write file: " + report path + " (" + reason + ")" when a write fails. The
// correlations and their text are made on up to threadCount() threads (base/thread_count.h), the
// file written on the calling thread in order: the same bytes for every count.
void writeCorrelations(const sdm::DesignMatrix& matrix, const std::string& folder = {});

// The same from cells computed before: `correlations` holds K x K cells as correlationMatrix
// gives them for the K predictors of `matrix` (the same bytes as the form above). Throws
// std::invalid_argument, creating nothing, when its size is not K x K.
void writeCorrelations(const sdm::DesignMatrix& matrix, std::span<const float> correlations,
                       const std::string& folder = {});

}  // namespace correlation
