#pragma once

#include "contract/marks.h"

namespace sdm {
class DesignMatrix;
}

// What the mark of a run (contract/marks.h) looks at, taken from one report of its design.
namespace report {

struct DesignReport;

// The measures of `report` (an analysed one) of `matrix`: the factors of the predictors of
// interest, the contrasts' estimates, the flagged pairs with a predictor of interest in them, the
// volumes scrubbed (scrubbedVolumes) of the matrix's data points; names as the report shows them.
contract::RunMeasures runMeasures(const sdm::DesignMatrix& matrix, const DesignReport& report);

}  // namespace report
