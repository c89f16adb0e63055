#include "report/contrast_report.h"

#include <cmath>

#include "correlation/predictor_role.h"
#include "sdm/design_matrix.h"

namespace report {

std::vector<diagnostics::ContrastEstimate> estimateReportContrasts(
    const sdm::DesignMatrix& matrix, std::span<const contract::ContrastDefinition> definitions,
    const diagnostics::DesignDiagnostics& diagnosed) {
  const std::size_t k = matrix.predictors.size();
  const std::vector<std::span<const float>> columns = sdm::valuesOf(matrix.predictors);
  const std::vector<std::string> names = sdm::namesOf(matrix.predictors);
  const diagnostics::ContrastDesign design{columns, names, diagnosed.roles,
                                           correlation::confoundStart(matrix, k)};
  const std::vector<diagnostics::ContrastWeights> weights =
      definitions.empty() ? diagnostics::defaultContrasts(design)
                          : diagnostics::resolveContrasts(definitions, design);
  return diagnostics::estimateContrasts(design, weights, diagnosed);
}

std::vector<bool> unestimablePredictors(std::span<const diagnostics::ContrastEstimate> estimates,
                                        const diagnostics::DesignDiagnostics& diagnosed) {
  const std::size_t k = diagnosed.roles.size();
  std::vector<bool> marked(k, false);
  for (const diagnostics::ContrastEstimate& estimate : estimates) {
    if (estimate.estimable) continue;
    for (const auto& row : estimate.contrast.rows) {
      for (const diagnostics::ContrastWeight& term : row) {
        const std::size_t i = term.predictor;
        if (term.weight == 0.0 || i >= k || i >= diagnosed.varianceInflation.size()) continue;
        const double factor = diagnosed.varianceInflation[i];
        marked[i] = marked[i] || !correlation::correlates(diagnosed.roles[i]) ||
                    (diagnosed.computed && !std::isfinite(factor));
      }
    }
  }
  return marked;
}

}  // namespace report
