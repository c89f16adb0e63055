#pragma once

#include <string>
#include <vector>

#include "plugin/output_guard.h"
#include "report/design_report.h"

namespace sdm {
class DesignMatrix;
}
class TRMLLog;

namespace plugin {

// What goes with a correlation report, by the dialog parameters "corrdir" (a folder for every
// report file; absent or empty: beside the SDM), "corrplot" (non-zero: a heatmap and a picture
// of the design beside the report), "corrwarn" (a threshold such as "0.8": the pairs of
// predictors that reach it, then the high variance inflation factors and the condition number,
// in the log), "corrjson" (non-zero: a summary file beside the report), "contrasts" (definitions
// one a line: tested and logged) and the limits of the mark ("ambervif", "redvif", "ambercost",
// "redcost", "redscrubbed"; empty: the defaults), read from the host in that order. All absent
// (0 and the empty text) ask for the correlation report alone. Throws
// contract::ContrastSyntaxError for a definition that cannot be read and std::runtime_error
// "Invalid ambervif: TEXT (...)" for a limit that cannot be used.
report::ReportRequest readReportRequest();

// The run's settings for the summary: the dialog parameter "provenance", read only when `request`
// asks for a summary or the run's page, as contract::jsonObjectText rewrites it (one line, ASCII);
// "" when it is empty or not read. Throws std::runtime_error "Invalid provenance (not one JSON
// object: byte N: why)" for any other text, before the task reads a file.
std::string readRunSettings(const report::ReportRequest& request);

// Analyses `matrix` once as `request` asks, writes its correlation report, logs `savedLine` (when
// not empty), writes the pictures and the summary asked for, then logs the report's lines
// (logLines); `context` tells the summary of the run (its inputs and written files are taken
// from `guard`). A matrix of more than maxReportedPredictors gets the line "Report skipped: K
// predictors (at most 8192)" and nothing else. Each file written is kept in `guard`; a file that
// would replace an input or an earlier output of the task is refused through `guard` (logged)
// and the report's later files and lines are not written. Throws like report::ReportWriter
// otherwise, with the file's own path; nothing later is written or logged after a failure.
void writeReport(const sdm::DesignMatrix& matrix, const report::ReportRequest& request,
                 report::RunContext context, OutputGuard& guard, TRMLLog& log,
                 const std::string& savedLine = {});

}  // namespace plugin
