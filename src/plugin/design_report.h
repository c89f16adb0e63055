#pragma once

#include <span>
#include <string>
#include <vector>

#include "correlation/flagged_pairs.h"

class DesignMatrix;

// What follows a correlation report once the correlations and the design diagnostics are
// needed: the pictures, the summary file and the texts for the log.

struct DesignReportRequest {
  bool plot = false;               // the heatmap and the design picture beside the report
  bool summary = false;            // the summary file (JSON) beside the report
  CorrelationThreshold threshold;  // on: the flagged pairs and the diagnostics in the log
  // The repairs the SDM reader made to the file(s) behind `matrix`, as logged; they go into
  // the summary file. Empty until the reader accounts for its repairs.
  std::span<const std::string> readerRepairWarnings;
  std::string folder;  // the folder of every report file; empty: beside the SDM
};

// Computes the correlations of `matrix` and its design diagnostics once, writes what `request`
// asks for (heatmap, design picture, summary; each throws like the report writer, with its own
// path, and a later one is not written after a failure) and returns the log texts, each
// beginning ">  ": with the threshold on, the flagged pairs, the high variance inflation
// factors and the condition number, in that order; else none. Repeated predictor names are
// numbered (displayNames) in the pictures and the texts, not in the summary, which refers to
// predictors by index.
std::vector<std::string> writeDesignReport(const DesignMatrix& matrix,
                                           const DesignReportRequest& request);
