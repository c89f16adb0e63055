#pragma once

#include <optional>
#include <span>
#include <string>

class DesignMatrix;
class TRMLLog;

// What may follow a correlation report, by the dialog parameters "corrplot" (non-zero: a
// heatmap and a picture of the design beside the report), "corrwarn" (a threshold such as
// "0.8": the pairs of predictors that reach it, then the high variance inflation factors and
// the condition number, in the log) and "corrjson" (non-zero: a summary file beside the
// report). All absent (0 and the empty text) add nothing.
struct ReportExtras {
  bool plot = false;
  std::string warnThreshold;
  bool summary = false;
};

// Reads "corrplot", "corrwarn" and "corrjson" from the host, the first time a report needs
// them: the other parameters are read in their fixed order before any of this.
class ReportExtrasReader {
 public:
  const ReportExtras& get();

 private:
  std::optional<ReportExtras> extras_;
};

// Writes the pictures and the summary of `matrix` when asked (throws like the report writer,
// with the path of the file) and logs its flagged pairs and diagnostics. Does nothing when
// none is asked for. `readerRepairWarnings` are the repairs the SDM reader made to the file(s)
// behind `matrix`, for the summary file.
void writeReportExtras(const DesignMatrix& matrix, const ReportExtras& extras, TRMLLog& log,
                       std::span<const std::string> readerRepairWarnings = {});
