#pragma once

#include <optional>
#include <string>

class DesignMatrix;
class TRMLLog;

// What goes with a correlation report, by the dialog parameters "corrdir" (a folder for every
// report file; absent or empty: beside the SDM), "corrplot" (non-zero: a heatmap beside the
// report) and "corrwarn" (a threshold such as "0.8": the pairs of predictors that reach it, in
// the log). All absent (0 and the empty text) add nothing.
struct ReportExtras {
  std::string folder;
  bool plot = false;
  std::string warnThreshold;
};

// Reads the parameters from the host when a report first needs them, after the task's other
// parameters: "corrdir" right before the first report is written, "corrplot" and "corrwarn"
// after it.
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

// Writes the heatmap of `matrix` when asked (into extras.folder when that is not empty; throws
// like the report writer, with the .svg path) and logs its flagged pairs. Does nothing when
// neither is asked for.
void writeReportExtras(const DesignMatrix& matrix, const ReportExtras& extras, TRMLLog& log);
