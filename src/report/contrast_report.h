#pragma once

#include <span>
#include <string>
#include <vector>

#include "contract/contrasts.h"
#include "diagnostics/contrast_estimates.h"
#include "diagnostics/design_diagnostics.h"

namespace sdm {
class DesignMatrix;
}

// The contrasts of a report: the ones the user defined, or each predictor of interest its own,
// estimated on the design once its diagnostics are known.
namespace report {

// The estimates of `definitions` (none: diagnostics::defaultContrasts) on `matrix`, whose
// diagnostics are `diagnosed`. Throws
// diagnostics::ContrastResolutionError for a definition that names no predictor of `matrix`, the
// constant, or a name that several predictors share.
std::vector<diagnostics::ContrastEstimate> estimateReportContrasts(
    const sdm::DesignMatrix& matrix, std::span<const contract::ContrastDefinition> definitions,
    const diagnostics::DesignDiagnostics& diagnosed);

// Per predictor of the diagnosed design: true when one of `estimates` that cannot be estimated
// gives it a weight and it is what stops that contrast: flat, constant, without a factor, or in
// a dependency (an infinite factor).
std::vector<bool> unestimablePredictors(std::span<const diagnostics::ContrastEstimate> estimates,
                                        const diagnostics::DesignDiagnostics& diagnosed);

}  // namespace report
