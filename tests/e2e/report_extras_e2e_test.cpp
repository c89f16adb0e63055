// The heatmap and the flagged pairs that may follow a correlation report, end to end: off by
// default and byte-identical to a plain run when their parameters are absent or empty.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::readFile;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string& sdm = e2e_fixtures::collinearSdm;

class ReportExtrasEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { writeFile(dir.file("run.sdm"), sdm); }
  TempDir dir;
};

TEST_F(ReportExtrasEndToEnd, AbsentOrEmptyOptionsChangeNothing) {
  const auto plain = runTormel({"sdm1corr", dir.file("run.sdm")});
  const std::string report = readFile(dir.file("run.csv"));
  const auto explicitOff =
      runTormel({"sdm1corr", dir.file("run.sdm"), "--set", "corrplot=0", "--set", "corrwarn="});
  EXPECT_EQ(plain.exitCode, 0);
  EXPECT_EQ(explicitOff.exitCode, 0);
  EXPECT_EQ(explicitOff.out, plain.out);
  EXPECT_EQ(explicitOff.err, plain.err);
  EXPECT_EQ(readFile(dir.file("run.csv")), report);
  EXPECT_FALSE(std::filesystem::exists(dir.file("run.svg")));
}

TEST_F(ReportExtrasEndToEnd, CorrelationTaskLogsFlaggedPairsAfterTheReportLine) {
  const auto result = runTormel({"sdm1corr", dir.file("run.sdm"), "--warn", "0.8"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  // Four predictors over four data points: first the warning that no GLM can estimate them.
  EXPECT_EQ(result.out,
            "\nBrindle>  Running...\nBrindle>  Warning: run.sdm: 4 predictors for 4 "
            "data points: the design cannot be estimated\nBrindle>  Saved Correlatios "
            "to " +
                dir.file("run.csv") +
                "\nBrindle>  High correlation 1.00: A ~ B (r = 1.00)"
                "\nBrindle>  High correlation 0.83: A ~ C (r = -0.83)"
                "\nBrindle>  High correlation 0.83: B ~ C (r = -0.83)"
                "\nBrindle>  High VIF inf: A"
                "\nBrindle>  High VIF inf: B"
                "\nBrindle>  Warning: run.sdm: contrast A cannot be estimated (A and B depend on "
                "each other)"
                "\nBrindle>  Warning: run.sdm: contrast B cannot be estimated (A and B depend on "
                "each other)"
                "\nBrindle>  Condition number of all the regressors together: inf"
                "\nBrindle>  Plugin finished!\n\n");
}

TEST_F(ReportExtrasEndToEnd, InvalidThresholdIsReportedNotFatal) {
  // Tormel refuses "--warn 0,8" itself; the dialog sends any text.
  const auto result = runTormel({"sdm1corr", dir.file("run.sdm"), "--set", "corrwarn=0,8"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("\nBrindle>  Correlation threshold \"0,8\" ignored"), std::string::npos)
      << result.out;
}

TEST_F(ReportExtrasEndToEnd, MergeWritesAHeatmapBesideEveryReport) {
  writeFile(dir.file("run_2.sdm"), sdm);
  const auto result =
      runTormel({"mergesec", dir.file("run.sdm"), dir.file("run_2.sdm"), "--baseline", "--corr",
                 "--plot", "--save", dir.file("merged.sdm")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string svg = readFile(dir.file("merged.svg"));
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u) << svg.substr(0, 80);
  EXPECT_NE(svg.find("merged.sdm"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.file("merged.csv")));
}

TEST_F(ReportExtrasEndToEnd, HeatmapThatCannotBeWrittenStopsWithItsPath) {
  std::filesystem::create_directory(dir.file("run.svg"));
  const auto result = runTormel({"sdm1corr", dir.file("run.sdm"), "--plot"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "[message] Error: Cannot Create file: " + dir.file("run.svg") +
                            " (a folder is in the way)\n");
}

}  // namespace
