#include "contract/report_files.h"

#include <cstddef>

namespace contract {

std::string reportPath(const std::string& path, const std::string& extension,
                       const std::string& folder) {
  const auto slash = path.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string name = path.substr(nameStart);
  const auto dot = name.rfind('.');
  const std::string fileName = (dot == std::string::npos ? name : name.substr(0, dot)) + extension;
  if (folder.empty()) return path.substr(0, nameStart) + fileName;
  const char last = folder.back();
  if (last == '/' || last == '\\') return folder + fileName;
  // The folder's own separator: a Windows path keeps its backslashes.
  const bool backslashes =
      folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
  return folder + (backslashes ? '\\' : '/') + fileName;
}

std::string correlationReportPath(const std::string& sdmPath, const std::string& folder) {
  return reportPath(sdmPath, ".csv", folder);
}

std::string correlationPlotPath(const std::string& sdmPath, const std::string& folder) {
  return reportPath(sdmPath, ".svg", folder);
}

std::string designPlotPath(const std::string& sdmPath, const std::string& folder) {
  return reportPath(sdmPath, "_design.svg", folder);
}

std::string summaryPath(const std::string& sdmPath, const std::string& folder) {
  return reportPath(sdmPath, ".json", folder);
}

std::string runPagePath(const std::string& sdmPath, const std::string& folder) {
  return reportPath(sdmPath, ".html", folder);
}

std::vector<std::string> reportFilePaths(const std::string& sdmPath, const ReportFiles& files) {
  std::vector<std::string> paths{correlationReportPath(sdmPath, files.folder)};
  if (files.plots) {
    paths.push_back(correlationPlotPath(sdmPath, files.folder));
    paths.push_back(designPlotPath(sdmPath, files.folder));
  }
  if (files.summary) paths.push_back(summaryPath(sdmPath, files.folder));
  if (files.page) paths.push_back(runPagePath(sdmPath, files.folder));
  return paths;
}

}  // namespace contract
