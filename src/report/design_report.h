#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/notice.h"
#include "contract/contrasts.h"
#include "contract/marks.h"
#include "diagnostics/contrast_estimates.h"
#include "diagnostics/design_diagnostics.h"
#include "report/flagged_pairs.h"

namespace sdm {
class DesignMatrix;
}

// One analysis of a design matrix, rendered many ways: the correlation report (CSV), the
// heatmap and the design picture (SVG), the summary file (JSON) and the lines for the log all
// come from one DesignReport, so the correlations are computed once and every rendering lists
// the same pairs.
namespace report {

// The most predictors a report covers: the correlation report, the heatmap and the summary grow
// with the square of their number (8,192 predictors: 67 million cells).
inline constexpr std::size_t maxReportedPredictors = 8192;

// The most predictors whose K x K correlations a report holds at once, the diagnostics' bound:
// above it the cells are streamed into the correlation report and the flagged pairs, and the
// summary leaves its matrix of correlations out.
inline constexpr std::size_t maxHeldPredictors = diagnostics::maxDiagnosedPredictors;

// The most predictors the heatmap and the design picture are drawn for; above it both are
// skipped with a line in the log.
inline constexpr std::size_t maxPicturedPredictors = 2048;

// What the user asked a report of one matrix for. The correlation report itself is always
// written.
struct ReportRequest {
  bool plot = false;                         // the heatmap and the design picture beside the report
  bool summary = false;                      // the summary file (JSON) beside the report
  bool page = false;                         // the run's page (HTML) beside the report
  contract::CorrelationThreshold threshold;  // on: the flagged pairs and the diagnostics in the log
  std::string folder;  // the folder of every report file; empty: beside the SDM
  // The contrasts to test, as the user defined them; none: each predictor of interest its own
  // (diagnostics::defaultContrasts). Defined ones are logged even without the threshold.
  std::vector<contract::ContrastDefinition> contrasts;
  // The limits of the mark, the first of which also picks the factors the log lists.
  contract::MarkLimits limits;

  // True when more than the correlation report is asked for: the pictures, the summary, the log
  // lines of the threshold or of defined contrasts, all of which need every correlation at once
  // and the diagnostics.
  bool needsAnalysis() const {
    return plot || summary || page || threshold.on() || !contrasts.empty();
  }
};

// What the task knows of the run a report belongs to, beside what the user asked for.
struct RunContext {
  // What the task told about the files behind the matrix (the readers' warnings and notes, the
  // design's), in the order it logged them; they go into the summary.
  std::vector<base::Notice> notices;
  // The mean framewise displacement of the confound file behind the matrix that has the column
  // (the first of them, in the order the matrix joins them), for the summary; nothing when none
  // has it.
  std::optional<double> meanFramewiseDisplacement;
  // The files the task read, and the report files of its earlier results: no report file may
  // replace one of them.
  std::vector<std::string> inputs;
  std::vector<std::string> written;
  // For a design made from an events file: its rows skipped, by reason, for the summary's
  // "skippedEvents"; none for any other matrix, whose summary has no such field.
  std::optional<std::vector<base::SkippedLines>> skippedEvents = {};
  // The run's settings as the task was given them, one JSON object on one line in ASCII
  // (contract::jsonObjectText), for the summary's "settings"; empty: none, and no such field.
  std::string settings = {};
  // The repetition time in seconds when the task knows it (NaN: not known), and per predictor
  // the onsets (seconds) of the events it models (none for a predictor past its end): the design
  // picture reads time in seconds and marks the onsets.
  double repetitionTime = std::numeric_limits<double>::quiet_NaN();
  std::vector<std::vector<double>> onsets = {};
};

struct DesignReport {
  std::size_t predictorCount = 0;  // K: the matrix's predictors
  // K x K cells, row-major, as correlationMatrix gives them, when needsAnalysis() and K is at
  // most maxHeldPredictors; else empty, and the correlation report streams its cells without
  // holding them.
  std::vector<float> correlations;
  std::vector<std::string> shownNames;         // the K names, repeated ones numbered (displayNames)
  diagnostics::DesignDiagnostics diagnostics;  // when needsAnalysis()
  // The first pairs at or above the threshold when it is on, in listing order (pairsAtOrAbove):
  // at most maxListedPairs for a summary, else as many as the log shows; pairCount counts them
  // all. For a report without its cells, ReportWriter::writeCorrelationReport fills both in.
  std::vector<FlaggedPair> pairs;
  std::size_t pairCount = 0;
  std::size_t interestPairCount = 0;  // of them, those with a predictor of interest
  // The request's contrasts, or the default ones, as the design estimates them.
  std::vector<diagnostics::ContrastEstimate> contrasts;
  // Per predictor: true when a contrast that cannot be estimated weights it and it is what stops
  // the contrast (flat, or in a dependency).
  std::vector<bool> unestimable;
  contract::RunMark mark;  // by the request's limits (runMeasures)
  bool analysed = false;   // needsAnalysis() held: the members above are filled in
};

// True when `report` was analysed without holding its cells (more than maxHeldPredictors).
inline bool streamsCorrelations(const DesignReport& report) {
  return report.analysed && report.predictorCount > maxHeldPredictors;
}

// The first pairs `request` wants listed: maxListedPairs for a summary, else the log's.
std::size_t listedPairs(const ReportRequest& request);

// Computes, once, what `request` needs of `matrix`. Throws diagnostics::ContrastResolutionError
// for a contrast that names no predictor of `matrix` (or the constant, or a name it repeats).
DesignReport analyse(const sdm::DesignMatrix& matrix, const ReportRequest& request);

// The lines for the log, without its prefix, for the matrix saved at `file`. With the threshold
// on: the flagged pairs, the high variance inflation factors, the contrasts (contrastLines) and
// the condition number, in that order (diagnosticsSkippedLine in place of the last two for a
// design with more predictors than the diagnostics take). With the threshold off, the request's
// own contrasts, if any, alone; an invalid threshold gives the one line saying it is ignored
// before them.
std::vector<std::string> logLines(const DesignReport& report, const ReportRequest& request,
                                  const std::string& file);

// The warning about a design that has at least as many predictors (the constant included) as
// data points, which no GLM can estimate: "K predictors for M data points: the design cannot be
// estimated", about the matrix's file; none for a design with fewer predictors or none at all.
std::optional<base::Notice> estimabilityNotice(const sdm::DesignMatrix& matrix);

}  // namespace report
