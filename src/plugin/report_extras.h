#pragma once

#include <optional>
#include <span>
#include <string>

class DesignMatrix;
class TRMLLog;

// What goes with a correlation report, by the dialog parameters "corrdir" (a folder for every
// report file; absent or empty: beside the SDM), "corrplot" (non-zero: a heatmap and a picture
// of the design beside the report), "corrwarn" (a threshold such as "0.8": the pairs of
// predictors that reach it, then the high variance inflation factors and the condition number,
// in the log) and "corrjson" (non-zero: a summary file beside the report). All absent (0 and
// the empty text) add nothing.
struct ReportExtras {
  std::string folder;
  bool plot = false;
  std::string warnThreshold;
  bool summary = false;
};

// Reads the parameters from the host when a report first needs them, after the task's other
// parameters: "corrdir" right before the first report is written, "corrplot", "corrwarn" and
// "corrjson" after it.
class ReportExtrasReader {
 public:
  // The folder of the report files ("corrdir").
  const std::string& folder();
  // All of it.
  const ReportExtras& get();

 private:
  std::optional<std::string> folder_;
  std::optional<ReportExtras> extras_;
};

// Writes the pictures and the summary of `matrix` when asked (into extras.folder when that is
// not empty; each throws like the report writer, with the path of its file) and logs its
// flagged pairs and diagnostics. Does nothing when none is asked for. `readerRepairWarnings`
// are the repairs the SDM reader made to the file(s) behind `matrix`, for the summary file.
void writeReportExtras(const DesignMatrix& matrix, const ReportExtras& extras, TRMLLog& log,
                       std::span<const std::string> readerRepairWarnings = {});
