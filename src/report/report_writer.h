#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/text_sink.h"
#include "report/design_report.h"

namespace sdm {
class DesignMatrix;
}

// Writes the files of one report: each path named once, by the contract's rule for the matrix's
// file (contract/report_files.h), and each checked once, right before it is created, against the
// SDM itself, the task's inputs and the report files of its earlier results. The renderers only
// render: they hand their text to the sink of the file being written.
namespace report {

class ReportWriter {
 public:
  // The report files of `matrix` (saved at matrix.fileName) that `request` asks for. Nothing is
  // written yet. The three arguments must outlive the writer.
  ReportWriter(const sdm::DesignMatrix& matrix, const ReportRequest& request,
               const RunContext& context);

  // Every path the writer writes, in the order it writes them: the correlation report, the
  // heatmap and the design picture (not above maxPicturedPredictors), the summary file.
  const std::vector<std::string>& paths() const { return paths_; }

  // True when the request asks for the pictures but the matrix has too many predictors for them
  // (more than maxPicturedPredictors): the writer leaves them out.
  bool picturesSkipped() const { return request_.plot && heatmap_.empty(); }

  // Writes the correlation report: from the report's cells when it holds them, else streamed
  // from the matrix; an analysed report without its cells (streamsCorrelations) gets its pairs
  // and their count from the same stream, so the cells are computed once. Throws
  // sdm::InputProtectedError (sdm/protected_inputs.h), creating nothing, for a path that reaches an
  // input or an earlier result, std::runtime_error "Cannot Create file: " + path + " (it is the SDM
  // itself)" for one that reaches the SDM, and what OutputFile throws (base/output_file.h) when it
  // cannot be written.
  void writeCorrelationReport(DesignReport& report) const;

  // Writes what the request asks for beyond the correlation report, in this order: the heatmap,
  // the design picture, the summary file and the run's page (which links the other files by
  // their names in its folder, and the SDM by its path when the reports have a folder of their
  // own); each throws like the correlation report with its
  // own path, and none after it is written after a failure. Nothing for a report not analysed.
  void writeOtherFiles(const DesignReport& report) const;

 private:
  // Checks `path`, opens it, hands `render` a sink into it and commits the file.
  void write(const std::string& path,
             const std::function<void(const base::TextSink&)>& render) const;

  const sdm::DesignMatrix& matrix_;
  const ReportRequest& request_;
  const RunContext& context_;
  // Writes the run's page of `report`, with its pictures inline when they are drawn.
  void writeRunPage(const DesignReport& report) const;

  std::string csv_, heatmap_, designPicture_, summary_, page_;
  std::vector<std::string> paths_;
};

}  // namespace report
