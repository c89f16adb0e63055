// The "sdm1corr" task end to end: build/Tormel loads build/libbrindle.so, the report written
// beside the SDM is compared byte for byte, standard output and errors whole.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/log_lines.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using e2e_fixtures::finished;
using e2e_fixtures::running;
using log_lines::notEstimable;
using testing_support::crlf;
using testing_support::ProcessResult;
using testing_support::readFile;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

// Up correlates -0.447 with Wave and 0.894 with Motion; the constant correlates 0. Four
// predictors over four data points: the task warns that no GLM can estimate them.
const std::string sdm = crlf(
    "FileVersion:            1\n"
    "\n"
    "NrOfPredictors:         4\n"
    "NrOfDataPoints:         4\n"
    "IncludesConstant:       1\n"
    "FirstConfoundPredictor: 3\n"
    "\n"
    "255 0 0   0 255 0   0 0 255   255 255 255\n"
    "\"Up\" \"Wave; sign\" \"Motion x\" \"Constant\"\n"
    "  1.000000   1.000000   0.000000   1.000000\n"
    "  2.000000  -1.000000   0.000000   1.000000\n"
    "  3.000000   1.000000   1.000000   1.000000\n"
    "  4.000000  -1.000000   1.000000   1.000000\n");

const std::string report = crlf(
    " ; Up ; Wave; sign ; Motion x ; Constant\n"
    "Up ; 1.00 ; 0.45 ; 0.89 ; 0.00\n"
    "Wave; sign ; 0.45 ; 1.00 ; 0.00 ; 0.00\n"
    "Motion x ; 0.89 ; 0.00 ; 1.00 ; 0.00\n"
    "Constant ; 0.00 ; 0.00 ; 0.00 ; 0.00\n");

ProcessResult runCorrelation(const std::string& sdmPath) {
  return runTormel({"--set", "task=sdm1corr", "--set", "sdm1=" + sdmPath});
}

}  // namespace

TEST(CorrelationE2E, WritesTheReportBesideTheSdmAndLogsItsPath) {
  TempDir dir;
  writeFile(dir.file("sub01 run1.sdm"), sdm);
  const ProcessResult result = runCorrelation(dir.file("sub01 run1.sdm"));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, running + notEstimable("sub01 run1.sdm", 4, 4) +
                            "\nBrindle>  Saved Correlatios to " + dir.file("sub01 run1.csv") +
                            finished);
  EXPECT_EQ(readFile(dir.file("sub01 run1.csv")), report);
  EXPECT_EQ(readFile(dir.file("sub01 run1.sdm")), sdm);
}

TEST(CorrelationE2E, ShorthandRunsTheSameTaskAndOverwritesTheReport) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "study.v2");
  writeFile(dir.file("study.v2/run1"), sdm);  // the only "." is in the folder's name
  writeFile(dir.file("study.v2/run1.csv"),
            "an older report that is longer than the new one\r\n" + report);
  writeFile(dir.file("study.csv"), "an unrelated file\r\n");
  const ProcessResult result = runTormel({"sdm1corr", dir.file("study.v2/run1")});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, running + notEstimable("run1", 4, 4) + "\nBrindle>  Saved Correlatios to " +
                            dir.file("study.v2/run1.csv") + finished);
  EXPECT_EQ(readFile(dir.file("study.v2/run1.csv")), report);
  EXPECT_EQ(readFile(dir.file("study.csv")), "an unrelated file\r\n");
}

TEST(CorrelationE2E, MissingSdmShowsTheReadErrorAndWritesNothing) {
  TempDir dir;
  const ProcessResult result = runCorrelation(dir.file("absent.sdm"));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "[message] Error: Failed opening for reading: " + dir.file("absent.sdm") +
                            " (no such file or folder)\n");
  EXPECT_EQ(result.out, running + finished);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(CorrelationE2E, ReportThatCannotBeCreatedShowsTheCreateError) {
  TempDir dir;
  writeFile(dir.file("run1.sdm"), sdm);
  writeFile(dir.file("run2.sdm"), sdm);
  // A folder where the report should go, and an old report without any write permission:
  // both refuse the report whatever the user's rights.
  std::filesystem::create_directory(dir.path() / "run1.csv");
  writeFile(dir.file("run2.csv"), "keep");
  std::filesystem::permissions(dir.path() / "run2.csv", std::filesystem::perms::owner_read);
  for (const auto& [stem, reason] :
       {std::pair<std::string, std::string>{"run1", "a folder is in the way"},
        {"run2", "read-only file"}}) {
    const ProcessResult result = runCorrelation(dir.file(stem + ".sdm"));
    EXPECT_EQ(result.exitCode, 1) << stem;
    EXPECT_EQ(result.err, "[message] Error: Cannot Create file: " + dir.file(stem + ".csv") + " (" +
                              reason + ")\n");
    EXPECT_EQ(result.out, running + notEstimable(stem + ".sdm", 4, 4) + finished);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "run1.csv"));
  EXPECT_EQ(readFile(dir.file("run2.csv")), "keep");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 4);
}

// Only the report, meant for spreadsheets, makes a formula of a name text; the pictures and the
// summary keep the name as the SDM has it.
TEST(CorrelationE2E, ANameASpreadsheetWouldRunIsTextInTheReportOnly) {
  TempDir dir;
  std::string named = sdm;
  named.replace(named.find("\"Up\""), 4, "\"=cmd|x\"");
  writeFile(dir.file("run.sdm"), named);
  const ProcessResult result = runTormel({"sdm1corr", dir.file("run.sdm"), "--plot", "--json"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::string expected = report;
  for (auto at = expected.find("Up ;"); at != std::string::npos; at = expected.find("Up ;"))
    expected.replace(at, 2, "'=cmd|x");
  EXPECT_EQ(readFile(dir.file("run.csv")), expected);
  EXPECT_NE(readFile(dir.file("run.json")).find("\"name\": \"=cmd|x\""), std::string::npos);
  for (const char* picture : {"run.svg", "run_design.svg"}) {
    const std::string svg = readFile(dir.file(picture));
    EXPECT_NE(svg.find(">=cmd|x<"), std::string::npos) << picture;
    EXPECT_EQ(svg.find("'=cmd"), std::string::npos) << picture;
  }
}
