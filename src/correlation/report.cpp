#include "correlation/report.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "base/number_text.h"
#include "base/output_file.h"
#include "base/paths.h"
#include "correlation/correlation_matrix.h"
#include "correlation/covered_predictors.h"
#include "sdm/design_matrix.h"

std::string correlationReportPath(const std::string& fileName, const std::string& folder) {
  return reportPath(fileName, ".csv", folder);
}

void writeCorrelations(const DesignMatrix& matrix, const std::string& folder) {
  const auto& names = matrix.names;
  const auto& values = matrix.values;
  const auto& fileName = matrix.fileName;
  // The file comes first: a report that cannot be created costs no computation.
  const std::string path = correlationReportPath(fileName, folder);
  refuseToReplaceTheSdm(path, fileName);
  OutputFile file(path);

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
  const std::size_t k = coveredPredictorCount(matrix);
  // Row by row as the cells come: the report never holds the whole matrix, whatever K is.
  forEachCorrelationPiece(std::span(values).first(k), [&](std::size_t row, std::size_t firstColumn,
                                                          std::span<const float> cells) {
    line.clear();
    if (firstColumn == 0) line = names[row];
    for (const float cell : cells) {
      line += " ; ";
      appendFixed(line, static_cast<double>(std::fabs(cell)), 2);
    }
    if (firstColumn + cells.size() == k) line += "\r\n";
    file.write(line);
  });
  file.commit();
}
