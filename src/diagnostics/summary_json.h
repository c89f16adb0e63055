#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "diagnostics/design_diagnostics.h"

class DesignMatrix;

// The summary file for pipelines: everything the correlation report, the flagged pairs and the
// design diagnostics found, as one JSON text. docs/summary-json.md describes it.

struct SummaryPredictor {
  std::string name;  // as in the file
  PredictorRole role = PredictorRole::interest;
  float mean = 0.0f;
  float stdDev = 0.0f;
  double varianceInflation = 0.0;  // NaN or infinite: written as null
};

// A pair of predictors (0-based, first < second) and their correlation as the report has it.
struct SummaryPair {
  std::size_t first;
  std::size_t second;
  float r;
};

struct Summary {
  std::string file;
  int64_t nrOfPredictors = 0;
  int64_t nrOfDataPoints = 0;
  int64_t firstConfoundPredictor = 0;  // 1-based, as in the header
  std::vector<SummaryPredictor> predictors;
  std::span<const float> correlations;  // predictors.size() squared cells, row-major; not owned
  float threshold = 0.0f;               // the "corrwarn" threshold; NaN when none is set
  std::vector<SummaryPair> pairs;
  double conditionNumber = 0.0;
  std::vector<std::vector<std::size_t>> dependencies;
  std::vector<std::string> warnings;  // the reader's repair warnings, as logged
};

// Every pair i < j of predictors other than constant and flat ones whose correlation in
// `correlations` (K x K cells as correlationMatrix gives them, K = roles.size()) has a magnitude
// of `threshold` or more, strongest first, equal ones by i then j (the order of the flagged
// pairs, without their cap). NaN correlations are never listed. Throws std::invalid_argument
// when the sizes do not fit.
std::vector<SummaryPair> pairsAtOrAbove(std::span<const PredictorRole> roles,
                                        std::span<const float> correlations, float threshold);

// The summary of a report of `matrix` (its covered predictors): names, header counts and file
// name from `matrix`, roles, statistics, factors, dependencies and condition number from
// `diagnostics`, the pairs at or above `threshold` (NaN: none). `correlations` must outlive
// the result. Throws std::invalid_argument when the sizes do not fit.
Summary summaryOf(const DesignMatrix& matrix, const DesignDiagnostics& diagnostics,
                  std::span<const float> correlations, float threshold,
                  std::vector<std::string> warnings);

// The summary file's path for a design matrix whose file name is `fileName`: the correlation
// report's path (correlationReportPath) with ".json" in place of its ".csv".
std::string summaryPath(const std::string& fileName, const std::string& folder = {});

// The JSON text of `summary`: ASCII, CRLF line ends, numbers in their shortest exact form (floats
// read back as the same float), null for numbers that are not finite.
std::string summaryJson(const Summary& summary);
