#include "correlation/report.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "correlation/correlation_matrix.h"
#include "merge/paths.h"
#include "sdm/design_matrix.h"
#include "sdm/number_text.h"
#include "sdm/output_file.h"

std::string correlationReportPath(const std::string& fileName) { return stripExtension(fileName) + ".csv"; }

void DesignMatrix::writeCorrelations() const {
  // The file comes first: a report that cannot be created costs no computation.
  OutputFile file(correlationReportPath(fileName));

  std::string line;
  for (const auto& name : names) {
    line += " ; ";
    line += name;
  }
  line += "\r\n";
  file.write(line);

  // Rows and columns run to the predictor count, which the model keeps equal to the sizes of
  // `names` and `values`; a matrix that breaks this is cut to what exists rather than read
  // out of bounds.
  const std::size_t k = std::min({static_cast<std::size_t>(std::max(nrOfPredictors.value, 0)),
                                  names.size(), values.size()});
  const std::vector<float> cells = correlationMatrix(std::span(values).first(k));
  for (std::size_t i = 0; i < k; ++i) {
    line = names[i];
    for (std::size_t j = 0; j < k; ++j) {
      line += " ; ";
      appendFixed(line, static_cast<double>(std::fabs(cells[i * k + j])), 2);
    }
    line += "\r\n";
    file.write(line);
  }
  file.commit();
}
