#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/brindle.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

using testing_support::crlf;
using testing_support::FakeHost;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

using Calls = std::vector<std::string>;

// Up correlates -0.447 with Wave; the constant correlates 0 with everything.
const std::string sdm = crlf(
    "FileVersion:            1\n"
    "\n"
    "NrOfPredictors:         3\n"
    "NrOfDataPoints:         4\n"
    "IncludesConstant:       1\n"
    "FirstConfoundPredictor: 3\n"
    "\n"
    "255 0 0   0 255 0   255 255 255\n"
    "\"Up\" \"Wave\" \"Constant\"\n"
    "  1.000000   1.000000   1.000000\n"
    "  2.000000  -1.000000   1.000000\n"
    "  3.000000   1.000000   1.000000\n"
    "  4.000000  -1.000000   1.000000\n");

const std::string report = crlf(
    " ; Up ; Wave ; Constant\n"
    "Up ; 1.00 ; 0.45 ; 0.00\n"
    "Wave ; 0.45 ; 1.00 ; 0.00\n"
    "Constant ; 0.00 ; 0.00 ; 0.00\n");

class CorrelationTaskTest : public ::testing::Test {
 protected:
  void SetUp() override { FakeHost::get().reset(); }
  void TearDown() override { FakeHost::get().reset(); }

  // Runs "sdm1corr" on an initialised plug-in and returns the host calls of execute alone.
  Calls runTask(const std::string& sdmPath) {
    FakeHost::get().stringParameters["task"] = "sdm1corr";
    FakeHost::get().stringParameters["sdm1"] = sdmPath;
    EXPECT_TRUE(plugin_.initPlugin());
    FakeHost::get().calls.clear();
    EXPECT_TRUE(plugin_.execute());
    return FakeHost::get().calls;
  }

  brindle plugin_;
};

Calls taskCalls(const std::string& outcome) {
  return {"tmGetStringParameter(task)", "tmShowBusyCursor()", "tmGetStringParameter(sdm1)",
          "tmGetIntParameter(strict)",  "tmStopBusyCursor()", outcome};
}

}  // namespace

TEST_F(CorrelationTaskTest, WritesTheReportBesideTheSdmAndLogsItsPath) {
  TempDir dir;
  writeFile(dir.file("run1.sdm"), sdm);
  const Calls calls = runTask(dir.file("run1.sdm"));
  EXPECT_EQ(calls,
            (Calls{"tmGetStringParameter(task)", "tmShowBusyCursor()", "tmGetStringParameter(sdm1)",
                   // Read once, before the file is loaded.
                   "tmGetIntParameter(strict)",
                   // The report's folder is asked for right before the report is written.
                   "tmGetStringParameter(corrdir)",
                   "tmLogText(\nBrindle>  Saved Correlatios to " + dir.file("run1.csv") + ")",
                   // The optional pictures, flagged pairs and summary are asked for last.
                   "tmGetIntParameter(corrplot)", "tmGetStringParameter(corrwarn)",
                   "tmGetIntParameter(corrjson)", "tmStopBusyCursor()"}));
  EXPECT_EQ(readFile(dir.file("run1.csv")), report);
  EXPECT_EQ(readFile(dir.file("run1.sdm")), sdm);
}

TEST_F(CorrelationTaskTest, ReportsAMissingSdmWithoutWritingOrLogging) {
  TempDir dir;
  EXPECT_EQ(
      runTask(dir.file("absent.sdm")),
      taskCalls("tmMessageBox(Error: Failed opening for reading: " + dir.file("absent.sdm") + ")"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(CorrelationTaskTest, UsesAnEmptyPathUnchanged) {
  EXPECT_EQ(runTask(""), taskCalls("tmMessageBox(Error: Failed opening for reading: )"));
}

TEST_F(CorrelationTaskTest, ReportsAReportThatCannotBeCreated) {
  TempDir dir;
  writeFile(dir.file("run1.sdm"), sdm);
  std::filesystem::create_directory(dir.path() / "run1.csv");
  EXPECT_EQ(
      runTask(dir.file("run1.sdm")),
      (Calls{"tmGetStringParameter(task)", "tmShowBusyCursor()", "tmGetStringParameter(sdm1)",
             "tmGetIntParameter(strict)", "tmGetStringParameter(corrdir)", "tmStopBusyCursor()",
             "tmMessageBox(Error: Cannot Create file: " + dir.file("run1.csv") +
                 " (a folder is in the way))"}));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "run1.csv"));
}
