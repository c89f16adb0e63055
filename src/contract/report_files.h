#pragma once

#include <string>
#include <vector>

// The files a task writes for a result, by name: the plug-in writes its reports under these
// paths, and Tormel guards the same paths when it answers a save dialog. Paths are plain text;
// both "/" and "\" separate folders.
namespace contract {

// The path of a file named after the file at `path`: the path with the extension of its file
// name (the text after the last "." of the name, when the name has one) replaced by `extension`,
// or `extension` appended when the name has no ".". When `folder` is not empty, that file name
// in `folder` instead, joined with the folder's own separator ("\" for a folder written with
// backslashes only, else "/"; none when the folder ends in one).
std::string reportPath(const std::string& path, const std::string& extension,
                       const std::string& folder = {});

// The report files of the SDM saved at `sdmPath`, beside it or in `folder` when that is not
// empty: the correlation report (".csv"), the heatmap (".svg"), the design picture
// ("_design.svg") and the summary file (".json").
std::string correlationReportPath(const std::string& sdmPath, const std::string& folder = {});
std::string correlationPlotPath(const std::string& sdmPath, const std::string& folder = {});
std::string designPlotPath(const std::string& sdmPath, const std::string& folder = {});
std::string summaryPath(const std::string& sdmPath, const std::string& folder = {});
// The run's page (".html"): what the report found, in words and pictures, in one file.
std::string runPagePath(const std::string& sdmPath, const std::string& folder = {});

// Which report files a task writes for a result; the correlation report always.
struct ReportFiles {
  bool plots = false;    // the heatmap and the design picture
  bool summary = false;  // the summary file
  std::string folder;    // the folder of every report file; empty: beside the result
  bool page = false;     // the run's page
};

// The paths of the report files `files` asks for, for the result saved at `sdmPath`, in the
// order they are written: the correlation report, the heatmap and the design picture, the
// summary file, the run's page.
std::vector<std::string> reportFilePaths(const std::string& sdmPath, const ReportFiles& files);

}  // namespace contract
