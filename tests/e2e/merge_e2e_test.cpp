// The merge tasks end to end: build/Tormel loads build/libbrindle.so and runs "mergeall" or
// "mergesec" on SDM files written by the test; saved SDMs and reports are compared byte for byte.

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
using e2e_fixtures::startAll;
using e2e_fixtures::startSec;
using log_lines::notEstimable;
using testing_support::crlf;
using testing_support::readFile;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

// A primary with two predictors of interest and a constant (the confound block).
const std::string primarySdm = crlf(
    "FileVersion:            1\n"
    "\n"
    "NrOfPredictors:         3\n"
    "NrOfDataPoints:         3\n"
    "IncludesConstant:       1\n"
    "FirstConfoundPredictor: 3\n"
    "\n"
    "255 0 0   0 255 0   255 255 255\n"
    "\"Faces\" \"Houses\" \"Constant\"\n"
    "  0.250000   1.000000   1.000000\n"
    "  0.500000   0.000000   1.000000\n"
    "  1.000000   0.500000   1.000000\n");

// Motion confounds only, without "FileVersion:".
std::string motionSdm(const std::string& a, const std::string& b) {
  return crlf(
      "NrOfPredictors:         2\n"
      "NrOfDataPoints:         3\n"
      "IncludesConstant:       0\n"
      "FirstConfoundPredictor: 1\n"
      "\n"
      "128 128 128   100 100 100\n"
      "\"" +
      a + "\" \"" + b +
      "\"\n"
      " -0.100000   0.200000\n"
      "  0.300000  -0.400000\n"
      "  0.000000   0.100000\n");
}

const std::string fourPointSdm = crlf(
    "NrOfPredictors:         1\n"
    "NrOfDataPoints:         4\n"
    "FirstConfoundPredictor: 1\n"
    "\n"
    "1 2 3\n"
    "\"Drift\"\n"
    "  0.100000\n  0.200000\n  0.300000\n  0.400000\n");

// The primary merged with one motion file, constant kept last.
std::string mergedWithMotion(const std::string& a, const std::string& b) {
  return crlf(
      "FileVersion:            1\n"
      "\n"
      "NrOfPredictors:         5\n"
      "NrOfDataPoints:         3\n"
      "IncludesConstant:       1\n"
      "FirstConfoundPredictor: 3\n"
      "\n"
      "255 0 0   0 255 0   128 128 128   100 100 100   255 255 255\n"
      "\"Faces\" \"Houses\" \"" +
      a + "\" \"" + b +
      "\" \"Constant\"\n"
      "  0.250000   1.000000  -0.100000   0.200000   1.000000\n"
      "  0.500000   0.000000   0.300000  -0.400000   1.000000\n"
      "  1.000000   0.500000   0.000000   0.100000   1.000000\n");
}

class MergeEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir.file("sub01_task.sdm"), primarySdm);
    writeFile(dir.file("sub01_run1_motion.sdm"), motionSdm("TX", "RY"));
    writeFile(dir.file("sub01_run2_motion.sdm"), motionSdm("TX2", "RY2"));
    writeFile(dir.file("sub01_run3_motion.sdm"), motionSdm("TX3", "RY3"));
    writeFile(dir.file("long_run.sdm"), fourPointSdm);
  }
  std::string in(const std::string& name) const { return dir.file(name); }
  std::string out(const std::string& name) const { return dir.file("out/" + name); }
  bool exists(const std::string& path) const { return std::filesystem::exists(path); }

  TempDir dir;
};

TEST_F(MergeEndToEnd, MergeAllSavesOneResultPerSecondaryUnderTheMergedName) {
  std::filesystem::create_directory(dir.path() / "out");
  const auto result =
      runTormel({"mergeall", in("sub01_task.sdm"), in("sub01_run1_motion.sdm"),
                 in("sub01_run2_motion.sdm"), "--baseline", "--save-into", dir.file("out")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  // Five predictors over the three data points of these small files: no GLM can estimate them.
  EXPECT_EQ(result.out, startAll + "\nBrindle>  Saved " + out("sub01_task_run1_motion.sdm") +
                            notEstimable("sub01_task_run1_motion.sdm", 5, 3) +
                            "\nBrindle>  Saved " + out("sub01_task_run2_motion.sdm") +
                            notEstimable("sub01_task_run2_motion.sdm", 5, 3) + finished);
  EXPECT_EQ(readFile(out("sub01_task_run1_motion.sdm")), mergedWithMotion("TX", "RY"));
  EXPECT_EQ(readFile(out("sub01_task_run2_motion.sdm")), mergedWithMotion("TX2", "RY2"));
  EXPECT_FALSE(exists(out("sub01_task_run1_motion.csv")));
  EXPECT_EQ(readFile(in("sub01_task.sdm")), primarySdm);  // inputs untouched
}

TEST_F(MergeEndToEnd, MergeAllOffersEachMergedNameBesideThePrimary) {
  const auto result = runTormel({"mergeall", in("sub01_task.sdm"), in("sub01_run1_motion.sdm"),
                                 in("sub01_run3_motion.sdm"), "--cancel-all", "--trace"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, startAll + finished);
  const std::string offer =
      "[host] tmGetSaveFileName(Choose a name for saving the resulting SDM | ";
  EXPECT_NE(result.err.find(offer + in("sub01_task_run1_motion.sdm") + " | Design Matrix (*.sdm))"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(offer + in("sub01_task_run3_motion.sdm") + " | Design Matrix (*.sdm))"),
            std::string::npos)
      << result.err;
  EXPECT_FALSE(exists(in("sub01_task_run1_motion.sdm")));
}

TEST_F(MergeEndToEnd, CancellingOneSaveDropsOnlyThatResult) {
  const auto result = runTormel({"mergeall", in("sub01_task.sdm"), in("sub01_run1_motion.sdm"),
                                 in("sub01_run2_motion.sdm"), "--save", "cancel", "--save",
                                 in("chosen.sdm"), "--corr", "--baseline"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, startAll + "\nBrindle>  Saved " + in("chosen.sdm") +
                            notEstimable("chosen.sdm", 5, 3) + finished);
  EXPECT_EQ(readFile(in("chosen.sdm")), mergedWithMotion("TX2", "RY2"));
  // The report follows the chosen path, not the offered one.
  EXPECT_TRUE(exists(in("chosen.csv")));
  EXPECT_FALSE(exists(in("sub01_task_run1_motion.sdm")));
  EXPECT_FALSE(exists(in("sub01_task_run1_motion.csv")));
}

TEST_F(MergeEndToEnd, MergeAllWritesTheReportOfEverySavedResult) {
  const auto result = runTormel({"mergeall", in("sub01_task.sdm"), in("sub01_run1_motion.sdm"),
                                 "--corr", "--save", in("m.sdm")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            startAll + "\nBrindle>  Saved " + in("m.sdm") + notEstimable("m.sdm", 4, 3) + finished);
  EXPECT_EQ(readFile(in("m.csv")), crlf(" ; Faces ; Houses ; TX ; RY\n"
                                        "Faces ; 1.00 ; 0.33 ; 0.05 ; 0.03\n"
                                        "Houses ; 0.33 ; 1.00 ; 0.96 ; 0.93\n"
                                        "TX ; 0.05 ; 0.96 ; 1.00 ; 1.00\n"
                                        "RY ; 0.03 ; 0.93 ; 1.00 ; 1.00\n"));
}

TEST_F(MergeEndToEnd, BaselineOffRemovesTheTrailingConstant) {
  const auto result = runTormel(
      {"mergeall", in("sub01_task.sdm"), in("sub01_run1_motion.sdm"), "--save", in("m.sdm")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(readFile(in("m.sdm")), crlf("FileVersion:            1\n"
                                        "\n"
                                        "NrOfPredictors:         4\n"
                                        "NrOfDataPoints:         3\n"
                                        "IncludesConstant:       0\n"
                                        "FirstConfoundPredictor: 3\n"
                                        "\n"
                                        "255 0 0   0 255 0   128 128 128   100 100 100\n"
                                        "\"Faces\" \"Houses\" \"TX\" \"RY\"\n"
                                        "  0.250000   1.000000  -0.100000   0.200000\n"
                                        "  0.500000   0.000000   0.300000  -0.400000\n"
                                        "  1.000000   0.500000   0.000000   0.100000\n"));
}

TEST_F(MergeEndToEnd, MergeSecJoinsAllSecondariesIntoOneWithAConstantAndZTransform) {
  const auto result =
      runTormel({"mergesec", in("sub01_run1_motion.sdm"), in("sub01_run2_motion.sdm"),
                 in("sub01_run3_motion.sdm"), "--baseline", "--ztrans", "--trace"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string merged = in("sub01_run1_motion_run2_motion_run3_motion.sdm");
  EXPECT_EQ(result.out, startSec + "\nBrindle>  Saved " + merged +
                            notEstimable("sub01_run1_motion_run2_motion_run3_motion.sdm", 7, 3) +
                            finished);
  // Each confound (-0.1, 0.3, 0) and (0.2, -0.4, 0.1) standardised; the constant untouched.
  const std::string a = "-0.800641", b = " 1.120897", c = "-0.320256";
  const std::string d = " 0.725866", e = "-1.140647", f = " 0.414781";
  std::string data;
  for (int t = 0; t < 3; ++t) {
    const std::string x = t == 0 ? a : t == 1 ? b : c;
    const std::string y = t == 0 ? d : t == 1 ? e : f;
    data += " " + x + "  " + y + "  " + x + "  " + y + "  " + x + "  " + y + "   1.000000\n";
  }
  EXPECT_EQ(readFile(merged), crlf("NrOfPredictors:         7\n"
                                   "NrOfDataPoints:         3\n"
                                   "IncludesConstant:       1\n"
                                   "FirstConfoundPredictor: 1\n"
                                   "\n"
                                   "128 128 128   100 100 100   128 128 128   100 100 100   128 "
                                   "128 128   100 100 100   255 255 255\n"
                                   "\"TX\" \"RY\" \"TX2\" \"RY2\" \"TX3\" \"RY3\" \"Constant\"\n" +
                                   data));
  EXPECT_EQ(result.err.find("tmGetStringParameter(sdm1)"), std::string::npos);
}

TEST_F(MergeEndToEnd, ListFromTheGenericFormMayEndInALineFeed) {
  const auto result =
      runTormel({"--set", "task=mergesec", "--set",
                 "sdms2=" + in("sub01_run1_motion.sdm") + "\n" + in("sub01_run2_motion.sdm") + "\n",
                 "--save", in("two.sdm")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, startSec + "\nBrindle>  Saved " + in("two.sdm") +
                            notEstimable("two.sdm", 4, 3) + finished);
}

struct FailureCase;
void PrintTo(const FailureCase& c, std::ostream* os);

struct FailureCase {
  std::string name;
  std::vector<std::string> args;  // {IN} stands for the input folder
  std::string message;            // on stderr, {IN} for the folder
  bool readsPrimary;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class MergeFailures : public MergeEndToEnd, public ::testing::WithParamInterface<FailureCase> {};

std::string substitute(std::string text, const std::string& folder) {
  for (auto at = text.find("{IN}"); at != std::string::npos; at = text.find("{IN}"))
    text.replace(at, 4, folder);
  return text;
}

TEST_P(MergeFailures, ShowTheirMessageAndWriteNothing) {
  const auto& c = GetParam();
  std::vector<std::string> args{"--trace", "--save", dir.file("never.sdm")};
  for (const auto& a : c.args) args.push_back(substitute(a, dir.path().string()));
  const auto result = runTormel(args);
  EXPECT_EQ(result.exitCode, 1);
  const std::string start =
      c.args[1] == "task=mergeall" || c.args[0] == "mergeall" ? startAll : startSec;
  EXPECT_EQ(result.out, start + finished);
  EXPECT_NE(result.err.find("[message] " + substitute(c.message, dir.path().string()) + "\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("tmGetStringParameter(sdm1)") != std::string::npos, c.readsPrimary)
      << result.err;
  EXPECT_EQ(result.err.find("tmGetSaveFileName"), std::string::npos);
  EXPECT_FALSE(exists(dir.file("never.sdm")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MergeFailures,
    ::testing::Values(
        FailureCase{"EmptyListAll",
                    {"--set", "task=mergeall", "--set", "sdm1={IN}/sub01_task.sdm"},
                    "Error: No secondary SDMs available",
                    false},
        FailureCase{"EmptyListSec",
                    {"--set", "task=mergesec"},
                    "Error: No secondary SDMs available",
                    false},
        FailureCase{"OneSecondary",
                    {"mergesec", "{IN}/sub01_run1_motion.sdm"},
                    "Error: Not enough secondary SDMs available",
                    false},
        FailureCase{"MissingSecondary",
                    {"mergesec", "{IN}/sub01_run1_motion.sdm", "{IN}/nope.sdm"},
                    "Error: Failed opening for reading: {IN}/nope.sdm (no such file or folder)",
                    false},
        FailureCase{"BlankLineInList",
                    {"--set", "task=mergesec", "--set",
                     "sdms2={IN}/sub01_run1_motion.sdm\n\n{IN}/sub01_run2_motion.sdm"},
                    "Error: Failed opening for reading:  (no such file or folder)",
                    false},
        FailureCase{
            "SecondariesDiffer",
            {"mergeall", "{IN}/sub01_task.sdm", "{IN}/sub01_run1_motion.sdm", "{IN}/long_run.sdm",
             "{IN}/sub01_run2_motion.sdm"},
            "long_run.sdm does not have the same number of data points as sub01_run1_motion.sdm "
            "(4 against 3)",
            false},
        FailureCase{
            "PrimaryDiffers",
            {"mergeall", "{IN}/long_run.sdm", "{IN}/sub01_run1_motion.sdm"},
            "long_run.sdm does not have the same number of data points as sub01_run1_motion.sdm "
            "(4 against 3)",
            true},
        FailureCase{"MissingPrimary",
                    {"mergeall", "{IN}/nope.sdm", "{IN}/sub01_run1_motion.sdm"},
                    "Error: Failed opening for reading: {IN}/nope.sdm (no such file or folder)",
                    true}),
    [](const ::testing::TestParamInfo<FailureCase>& param) { return param.param.name; });

TEST_F(MergeEndToEnd, SaveIntoAMissingFolderStopsWithTheWritersMessage) {
  const std::string target = dir.file("missing/m.sdm");
  const auto result = runTormel({"mergeall", in("sub01_task.sdm"), in("sub01_run1_motion.sdm"),
                                 in("sub01_run2_motion.sdm"), "--save", target});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, startAll + finished);
  EXPECT_EQ(result.err,
            "[message] Error: Cannot Create file: " + target + " (no such file or folder)\n");
}

TEST_F(MergeEndToEnd, FortyLongPathsFitTheListBuffer) {
  std::vector<std::string> args{"mergesec"};
  const std::string folder = dir.file(std::string(100, 'd'));
  std::filesystem::create_directory(folder);
  for (int i = 0; i < 40; ++i) {
    const std::string path = folder + "/run" + std::to_string(100 + i) + "_motion.sdm";
    writeFile(path, motionSdm("A" + std::to_string(i), "B"));
    args.push_back(path);
  }
  args.insert(args.end(), {"--save", dir.file("forty.sdm")});
  const auto result = runTormel(args);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(readFile(dir.file("forty.sdm")).find("NrOfPredictors:         80\r\n"),
            std::string::npos);
}

}  // namespace
