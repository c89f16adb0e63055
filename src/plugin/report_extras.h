#pragma once

#include <optional>
#include <string>

class DesignMatrix;
class TRMLLog;

// What may follow a correlation report, by the dialog parameters "corrplot" (non-zero: a
// heatmap beside the report) and "corrwarn" (a threshold such as "0.8": the pairs of predictors
// that reach it, in the log). Both absent (0 and the empty text) add nothing.
struct ReportExtras {
  bool plot = false;
  std::string warnThreshold;
};

// Reads "corrplot" and "corrwarn" from the host, the first time a report needs them: the other
// parameters are read in their fixed order before any of this.
class ReportExtrasReader {
 public:
  const ReportExtras& get();

 private:
  std::optional<ReportExtras> extras_;
};

// Writes the heatmap of `matrix` when asked (throws like the report writer, with the .svg
// path) and logs its flagged pairs. Does nothing when neither is asked for.
void writeReportExtras(const DesignMatrix& matrix, const ReportExtras& extras, TRMLLog& log);
