#include "report/report_writer.h"

#include "base/output_file.h"
#include "base/paths.h"
#include "contract/report_files.h"
#include "correlation/report.h"
#include "heatmap/design_plot.h"
#include "heatmap/plot.h"
#include "report/log_lines.h"
#include "report/run_mark.h"
#include "report/run_page.h"
#include "report/summary_json.h"
#include "sdm/design_matrix.h"
#include "sdm/protected_inputs.h"

namespace report {

ReportWriter::ReportWriter(const sdm::DesignMatrix& matrix, const ReportRequest& request,
                           const RunContext& context)
    : matrix_(matrix), request_(request), context_(context) {
  const std::string& sdm = matrix.fileName;
  const bool plots = request.plot && matrix.predictors.size() <= maxPicturedPredictors;
  paths_ = contract::reportFilePaths(sdm, {plots, request.summary, request.folder, request.page});
  csv_ = contract::correlationReportPath(sdm, request.folder);
  if (plots) {
    heatmap_ = contract::correlationPlotPath(sdm, request.folder);
    designPicture_ = contract::designPlotPath(sdm, request.folder);
  }
  if (request.summary) summary_ = contract::summaryPath(sdm, request.folder);
  if (request.page) page_ = contract::runPagePath(sdm, request.folder);
}

void ReportWriter::write(const std::string& path,
                         const std::function<void(const base::TextSink&)>& render) const {
  sdm::refuseToReplace(path, matrix_.fileName, context_.inputs, context_.written);
  base::OutputFile file(path);
  render([&file](std::string_view piece) { file.write(piece); });
  file.commit();
}

void ReportWriter::writeCorrelationReport(DesignReport& report) const {
  // The file comes first: a report that cannot be created costs no computation.
  write(csv_, [&](const base::TextSink& put) {
    if (!report.analysed) return correlation::writeCorrelationCsv(matrix_, put);
    if (!streamsCorrelations(report))
      return correlation::writeCorrelationCsv(matrix_, report.correlations, put);
    const float threshold = request_.threshold.on() ? request_.threshold.value : 2.0f;
    PairCollector pairs(report.diagnostics.roles, threshold, listedPairs(request_));
    correlation::writeCorrelationCsv(
        matrix_, put, [&](std::size_t row, std::size_t first, std::span<const float> cells) {
          pairs.addPiece(row, first, cells);
        });
    report.pairCount = pairs.count();
    report.interestPairCount = pairs.interestCount();
    report.pairs = pairs.take();
    // The mark weighs the pairs, which only now are known.
    report.mark = contract::markRun(runMeasures(matrix_, report), request_.limits);
  });
}

namespace {

// The heatmap's marks: the flagged cells, and a banner for each contrast that cannot be
// estimated.
heatmap::HeatmapMarks heatmapMarks(const DesignReport& report, const ReportRequest& request) {
  heatmap::HeatmapMarks marks;
  if (request.threshold.on()) marks.flagAt = request.threshold.value;
  for (const diagnostics::ContrastEstimate& estimate : report.contrasts)
    if (!estimate.estimable)
      marks.banner.push_back("Contrast " + estimate.contrast.name + " cannot be estimated (" +
                             estimate.reason + ")");
  return marks;
}

PictureRenderer heatmapOf(const sdm::DesignMatrix& matrix, const DesignReport& report,
                          const ReportRequest& request) {
  return [&matrix, &report, marks = heatmapMarks(report, request)](const base::TextSink& put) {
    heatmap::writeCorrelationPlot(put, matrix, report.correlations, report.shownNames,
                                  report.diagnostics.roles, marks);
  };
}

PictureRenderer designPictureOf(const sdm::DesignMatrix& matrix, const DesignReport& report,
                                const RunContext& context) {
  return [&](const base::TextSink& put) {
    heatmap::writeDesignPlot(put, matrix, report.shownNames, report.diagnostics.varianceInflation,
                             report.diagnostics.roles, report.unestimable,
                             {context.repetitionTime, context.onsets});
  };
}

}  // namespace

void ReportWriter::writeRunPage(const DesignReport& report) const {
  const Summary summary = summaryOf(matrix_, report, request_, context_);
  const std::string& sdm = matrix_.fileName;
  RunPage page{summary, request_.limits, request_.folder.empty() ? base::baseName(sdm) : sdm,
               base::baseName(csv_), summary_.empty() ? "" : base::baseName(summary_)};
  if (matrix_.predictors.size() <= maxPicturedPredictors) {
    page.heatmap = heatmapOf(matrix_, report, request_);
    page.designPicture = designPictureOf(matrix_, report, context_);
  } else {
    page.picturesSkipped = picturesSkippedLine(matrix_.predictors.size());
  }
  write(page_, [&](const base::TextSink& put) { report::writeRunPage(page, put); });
}

void ReportWriter::writeOtherFiles(const DesignReport& report) const {
  if (!report.analysed) return;
  if (!heatmap_.empty()) {
    write(heatmap_, heatmapOf(matrix_, report, request_));
    write(designPicture_, designPictureOf(matrix_, report, context_));
  }
  if (request_.summary) {
    write(summary_, [&](const base::TextSink& put) {
      writeSummaryJson(summaryOf(matrix_, report, request_, context_), put);
    });
  }
  if (!page_.empty()) writeRunPage(report);
}

}  // namespace report
