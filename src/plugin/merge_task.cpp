#include <stdexcept>
#include <string>
#include <vector>

#include "correlation/ztransform.h"
#include "host/host_services.h"
#include "merge/append.h"
#include "merge/merge_names.h"
#include "plugin/brindle.h"
#include "plugin/load_design.h"
#include "plugin/log_message.h"
#include "plugin/report_extras.h"
#include "sdm/design_matrix.h"

namespace {

struct MergeOptions {
  bool zTransform = false;
  bool constant = false;
  bool report = false;
  ReportRequest reportRequest;  // when `report`: the report files and the log lines asked for
};

std::string dataPointMismatch(const DesignMatrix& odd, const DesignMatrix& first) {
  return baseName(odd.fileName) + " does not have the same number of data points as " +
         baseName(first.fileName);
}

// Applies the options to one result, offers it in the save dialog and saves it with its report.
// A cancelled dialog drops this result only. `warnings` are the readers' warnings about the
// files the result was made from, for its summary file.
void finishResult(DesignMatrix& result, const MergeOptions& options, TRMLLog& log,
                  const std::vector<Notice>& warnings) {
  if (options.constant)
    result.addConstant();
  else
    result.removeConstant();
  if (options.zTransform) zTransformConfounds(result);

  checkSdmLimits(result, result.fileName);  // a result the reader would refuse is not offered
  const auto path = host::saveFileName("Choose a name for saving the resulting SDM",
                                       offeredSdmName(result.fileName));
  if (!path) return;
  result.save(*path);
  logMessage(log, "Saved " + *path);
  if (!options.report) return;
  ReportRequest request = options.reportRequest;
  request.readerNotices = warnings;
  writeReport(result, request, log);
}

void appendAll(std::vector<Notice>& to, const std::vector<Notice>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

}  // namespace

bool brindle::mergeTask(bool withPrimary) {
  logMessage(*logStream,
             std::string("Start merging process of ") +
                 (withPrimary ? "primary with every secondary sdm" : "all secondary sdms"));
  MergeOptions options;
  // "ztans" is the host dialog's own spelling of the parameter: keep it as it is.
  options.zTransform = host::flagParameter("ztans");
  options.constant = host::flagParameter("baseline");
  options.report = host::flagParameter("allcorr");
  if (options.report) options.reportRequest = readReportRequest();

  const std::vector<std::string> paths =
      split(host::stringParameter("sdms2", host::listBufferSize), '\n');
  if (paths.empty()) throw std::runtime_error("No secondary SDMs available");
  if (!withPrimary && paths.size() == 1)
    throw std::runtime_error("Not enough secondary SDMs available");

  const bool strict = host::flagParameter("strict");
  DesignLoader loader(logStream.get(), strict, paths);
  std::vector<DesignMatrix> secondaries;
  std::vector<std::vector<Notice>> secondaryWarnings;
  secondaries.reserve(paths.size());
  for (const auto& path : paths) {
    secondaries.push_back(loader.load(path));
    secondaryWarnings.push_back(loader.lastWarnings());
  }

  const DesignMatrix& first = secondaries.front();
  for (const auto& secondary : secondaries) {
    if (secondary.nrOfDataPoints.value != first.nrOfDataPoints.value) {
      host::messageBox(dataPointMismatch(secondary, first));
      return false;
    }
  }

  if (withPrimary) {
    const DesignMatrix primary = loader.load(host::stringParameter("sdm1"));
    const std::vector<Notice> primaryWarnings = loader.lastWarnings();
    if (primary.nrOfDataPoints.value != first.nrOfDataPoints.value) {
      host::messageBox(dataPointMismatch(primary, first));
      return false;
    }
    // Each result is built when its turn comes, so only one is held at a time; every check that
    // could reject the task has passed by now, so nothing the user sees depends on it.
    for (std::size_t i = 0; i < secondaries.size(); ++i) {
      DesignMatrix result = concatenate(primary, secondaries[i]);
      std::vector<Notice> warnings = primaryWarnings;
      appendAll(warnings, secondaryWarnings[i]);
      finishResult(result, options, *logStream, warnings);
    }
  } else {
    DesignMatrix result = first;
    std::vector<Notice> warnings = secondaryWarnings.front();
    for (std::size_t i = 1; i < secondaries.size(); ++i) {
      append(result, secondaries[i]);
      appendAll(warnings, secondaryWarnings[i]);
    }
    finishResult(result, options, *logStream, warnings);
  }
  return true;
}
