#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/notice.h"
#include "base/text_sink.h"
#include "diagnostics/design_diagnostics.h"
#include "report/design_report.h"
#include "report/flagged_pairs.h"
#include "sdm/design_matrix.h"

// The summary file for pipelines: everything the correlation report, the flagged pairs and the
// design diagnostics found, as one JSON text. docs/summary-json.md describes it.
namespace report {

struct SummaryPredictor {
  std::string name;  // as in the file
  correlation::PredictorRole role = correlation::PredictorRole::interest;
  sdm::PredictorKind kind = sdm::PredictorKind::interest;
  float mean = 0.0f;
  float stdDev = 0.0f;
  double varianceInflation = 0.0;  // infinite: "inf"; NaN: null
};

// A contrast as the summary gives it: weights by the predictors' names as the report shows them.
struct SummaryContrast {
  std::string name;
  bool fTest = false;
  std::vector<std::vector<std::pair<std::string, double>>> weights;  // one list a row
  bool estimable = false;
  double variance = 0.0, efficiency = 0.0, confoundCost = 0.0;  // NaN: null
  std::string reason;                                           // empty when estimable
};

struct Summary {
  std::string file;
  int64_t nrOfPredictors = 0;
  int64_t nrOfDataPoints = 0;
  int64_t firstConfoundPredictor = 0;  // 1-based, as in the header
  std::vector<SummaryPredictor> predictors;
  // predictors.size() squared cells, row-major, or none above maxHeldPredictors; not owned.
  std::span<const float> correlations;
  // Why the correlations are left out ("8192 predictors (at most 2048)"); empty when they are
  // not, and then the summary has no such field.
  std::string correlationsSkipped;
  float threshold = 0.0f;              // the "corrwarn" threshold; NaN when none is set
  std::span<const FlaggedPair> pairs;  // the first pairs at or above the threshold; not owned
  std::size_t pairCount = 0;           // every pair at or above the threshold
  double conditionNumber = 0.0;        // infinite: "inf"; NaN: null
  // Why the diagnostics were skipped ("2049 predictors (at most 2048)"); empty when they were
  // not, and then the summary has no such field.
  std::string diagnosticsSkipped;
  std::vector<std::vector<std::size_t>> dependencies;
  std::vector<base::Notice> notices;         // what the task told about the matrix's files
  std::vector<std::size_t> scrubbedVolumes;  // scrubbedVolumes of the matrix
  // The request's, NaN when it has none (written as null).
  double meanFramewiseDisplacement = std::numeric_limits<double>::quiet_NaN();
  std::vector<SummaryContrast> contrasts;
  std::string mark;  // contract::markWord
  std::vector<std::string> reasons;
  // The context's: the field is written only for a design made from events.
  std::optional<std::vector<base::SkippedLines>> skippedEvents;
  // The context's JSON object text, written as it is; empty: no such field.
  std::string settings;
};

// The 0-based data points that a spike regressor among the predictors of `matrix` removes,
// ascending, each once: a predictor of the kind scrub that is 1 at exactly one data point and 0
// at every other.
std::vector<std::size_t> scrubbedVolumes(const sdm::DesignMatrix& matrix);

// The summary of `report` (an analysed one) of `matrix`: names, kinds, counts, file name and
// scrubbed volumes from `matrix`, roles, statistics, factors, dependencies, condition number and
// pairs, contrasts and mark from `report`, the threshold from `request`, the notices, the mean
// framewise displacement, the skipped events and the settings from `context`. The report must
// outlive the result. Throws std::invalid_argument when the sizes do not fit.
Summary summaryOf(const sdm::DesignMatrix& matrix, const DesignReport& report,
                  const ReportRequest& request, const RunContext& context);

// Writes the JSON text of `summary` (version contract::summaryVersion, the field names of
// contract/summary_fields.h) to `put` in pieces of about a mebibyte, so that memory does not grow
// with the square of the predictors: ASCII, CRLF line ends, numbers in their shortest exact form
// (floats read back as the same float), an infinite factor or condition number as the string
// "inf", null for numbers that are not numbers (and for other numbers that are not finite).
void writeSummaryJson(const Summary& summary, const base::TextSink& put);

// The same text whole.
std::string summaryJson(const Summary& summary);

}  // namespace report
