#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "correlation/correlation_matrix.h"
#include "plugin/brindle.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

using namespace correlation;

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

// The task reads every parameter it needs before it loads the file.
const Calls parameterReads = {"tmGetStringParameter(task)",       "tmShowBusyCursor()",
                              "tmGetStringParameter(sdm1)",       "tmGetIntParameter(strict)",
                              "tmGetStringParameter(corrdir)",    "tmGetIntParameter(corrplot)",
                              "tmGetStringParameter(corrwarn)",   "tmGetIntParameter(corrjson)",
                              "tmGetIntParameter(corrhtml)",      "tmGetStringParameter(contrasts)",
                              "tmGetStringParameter(ambervif)",   "tmGetStringParameter(redvif)",
                              "tmGetStringParameter(ambercost)",  "tmGetStringParameter(redcost)",
                              "tmGetStringParameter(redscrubbed)"};

Calls taskCalls(const Calls& rest) {
  Calls calls = parameterReads;
  calls.insert(calls.end(), rest.begin(), rest.end());
  return calls;
}

Calls taskCalls(const std::string& outcome) {
  return taskCalls(Calls{"tmStopBusyCursor()", outcome});
}

}  // namespace

TEST_F(CorrelationTaskTest, WritesTheReportBesideTheSdmAndLogsItsPath) {
  TempDir dir;
  writeFile(dir.file("run1.sdm"), sdm);
  const Calls calls = runTask(dir.file("run1.sdm"));
  EXPECT_EQ(calls,
            taskCalls({"tmLogText(\nBrindle>  Saved Correlatios to " + dir.file("run1.csv") + ")",
                       "tmStopBusyCursor()"}));
  EXPECT_EQ(readFile(dir.file("run1.csv")), report);
  EXPECT_EQ(readFile(dir.file("run1.sdm")), sdm);
}

TEST_F(CorrelationTaskTest, ReportsAMissingSdmWithoutWritingOrLogging) {
  TempDir dir;
  EXPECT_EQ(runTask(dir.file("absent.sdm")),
            taskCalls("tmMessageBox(Error: Failed opening for reading: " + dir.file("absent.sdm") +
                      " (no such file or folder))"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(CorrelationTaskTest, UsesAnEmptyPathUnchanged) {
  EXPECT_EQ(
      runTask(""),
      taskCalls("tmMessageBox(Error: Failed opening for reading:  (no such file or folder))"));
}

TEST_F(CorrelationTaskTest, ReportsAReportThatCannotBeCreated) {
  TempDir dir;
  writeFile(dir.file("run1.sdm"), sdm);
  std::filesystem::create_directory(dir.path() / "run1.csv");
  EXPECT_EQ(runTask(dir.file("run1.sdm")),
            taskCalls("tmMessageBox(Error: Cannot Create file: " + dir.file("run1.csv") +
                      " (a folder is in the way))"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "run1.csv"));
}

TEST_F(CorrelationTaskTest, ComputesTheCorrelationsOnceForEveryReportFile) {
  TempDir dir;
  writeFile(dir.file("run1.sdm"), sdm);
  FakeHost::get().intParameters["corrplot"] = 1;
  FakeHost::get().intParameters["corrjson"] = 1;
  FakeHost::get().stringParameters["corrwarn"] = "0.4";
  const std::size_t before = correlationPasses();
  const Calls calls = runTask(dir.file("run1.sdm"));
  EXPECT_EQ(correlationPasses() - before, 1u);
  EXPECT_EQ(readFile(dir.file("run1.csv")), report);
  for (const char* file : {"run1.svg", "run1_design.svg", "run1.json"})
    EXPECT_TRUE(std::filesystem::exists(dir.file(file))) << file;
  EXPECT_EQ(std::count(calls.begin(), calls.end(),
                       "tmLogText(\nBrindle>  High correlation 0.45: Up ~ Wave (r = -0.45))"),
            1);
}
