#include "report/report_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "sdm/sdm_file.h"
#include "support/temp_dir.h"

namespace {

using testing_support::crlf;
using testing_support::readFile;
using testing_support::TempDir;

const std::string report = crlf(" ; A ; B\nA ; 1.00 ; 1.00\nB ; 1.00 ; 1.00\n");

sdm::DesignMatrix twoPredictors(const std::string& path) {
  return sdm::newDesignMatrix(path, 2,
                              {{"A", {}, sdm::PredictorKind::interest, {1, 2}},
                               {"B", {}, sdm::PredictorKind::interest, {2, 1}}},
                              3);
}

// What writing the correlation report of `sdm` into `folder` says: "" when it was written.
std::string writeIn(const TempDir& dir, const std::string& sdm, const std::string& folder,
                    const report::RunContext& context) {
  const sdm::DesignMatrix matrix = twoPredictors(dir.file(sdm));
  report::ReportRequest request;
  request.folder = folder.empty() ? folder : dir.file(folder);
  try {
    report::DesignReport unanalysed;
    report::ReportWriter(matrix, request, context).writeCorrelationReport(unanalysed);
  } catch (const std::runtime_error& error) {
    std::string said = error.what();
    const std::string root = dir.path().string() + "/";
    for (auto at = said.find(root); at != std::string::npos; at = said.find(root))
      said.erase(at, root.size());
    return said;
  }
  return "";
}

TEST(ReportWriter, WritesEachFileWhereTheContractNamesItAndNeverOverAnInputOrItsSdm) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "x.csv");
  const report::RunContext none;
  const report::RunContext inputs{{}, {}, {dir.file("in.csv")}, {dir.file("done.csv")}};
  const struct {
    std::string sdm, folder;
    const report::RunContext& context;
    std::string said;
  } cases[] = {
      {"m.sdm", "", none, ""},
      {"m.sdm", "", none, ""},  // over an earlier report of the same SDM
      {"x.sdm", "", none, "Cannot Create file: x.csv (a folder is in the way)"},
      {"m.sdm", "missing", none, "Cannot Create file: missing/m.csv (no such file or folder)"},
      {"m.csv", "", none, "Cannot Create file: m.csv (it is the SDM itself)"},
      {"in.sdm", "", inputs, "Cannot Create file: in.csv (it is an input of this task)"},
      {"done.sdm", "", inputs,
       "Cannot Create file: done.csv (an earlier result of this task wrote it)"},
  };
  for (const auto& c : cases) EXPECT_EQ(writeIn(dir, c.sdm, c.folder, c.context), c.said) << c.sdm;
  EXPECT_EQ(readFile(dir.file("m.csv")), report);
  EXPECT_FALSE(std::filesystem::exists(dir.file("in.csv")));
  // Nothing but the report, the folder in its way and no temporary file is left.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(ReportWriter, ListsThePathsItWritesInOrder) {
  const sdm::DesignMatrix matrix = twoPredictors("d/run1.sdm");
  report::ReportRequest request;
  request.plot = true;
  request.summary = true;
  const report::RunContext context;
  EXPECT_EQ(
      report::ReportWriter(matrix, request, context).paths(),
      (std::vector<std::string>{"d/run1.csv", "d/run1.svg", "d/run1_design.svg", "d/run1.json"}));
}

}  // namespace
