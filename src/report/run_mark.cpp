#include "report/run_mark.h"

#include "report/design_report.h"
#include "report/summary_json.h"
#include "sdm/design_matrix.h"

namespace report {

contract::RunMeasures runMeasures(const sdm::DesignMatrix& matrix, const DesignReport& report) {
  contract::RunMeasures run;
  const diagnostics::DesignDiagnostics& diagnosed = report.diagnostics;
  const std::vector<std::string>& names = report.shownNames;
  for (std::size_t i = 0; i < diagnosed.roles.size() && i < names.size(); ++i) {
    if (diagnosed.roles[i] == correlation::PredictorRole::interest)
      run.interestFactors.push_back({names[i], diagnosed.varianceInflation[i]});
  }
  for (const diagnostics::ContrastEstimate& estimate : report.contrasts)
    run.contrasts.push_back(
        {estimate.contrast.name, estimate.estimable, estimate.confoundCost, estimate.reason});
  for (const FlaggedPair& pair : report.pairs) {
    if (involvesInterest(pair, diagnosed.roles))
      run.interestPairs.push_back(
          {names[pair.first], names[pair.second], static_cast<double>(pair.r)});
  }
  run.interestPairCount = report.interestPairCount;
  run.scrubbedVolumes = scrubbedVolumes(matrix).size();
  run.volumes = matrix.nrOfDataPoints > 0 ? static_cast<std::size_t>(matrix.nrOfDataPoints) : 0;
  return run;
}

}  // namespace report
