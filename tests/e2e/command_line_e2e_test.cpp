// The command lines of build/Tormel and build/sdmgen as a user meets them: batch saves that
// never replace an input or an earlier result, --version, and wrong numbers refused before
// anything is written.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"
#include "support/e2e_fixtures.h"
#include "support/process.h"
#include "support/temp_dir.h"

using e2e_fixtures::finished;
using e2e_fixtures::startAll;
using e2e_fixtures::startSec;
using namespace sdm;

namespace {

namespace fs = std::filesystem;
using testing_support::buildDir;
using testing_support::crlf;
using testing_support::ProcessOptions;
using testing_support::ProcessResult;
using testing_support::readFile;
using testing_support::runProcess;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string primarySdm = crlf(
    "NrOfPredictors:         1\n"
    "NrOfDataPoints:         3\n"
    "IncludesConstant:       0\n"
    "FirstConfoundPredictor: 2\n"
    "\n"
    "255 0 0\n"
    "\"Faces\"\n"
    "  0.250000\n  0.500000\n  1.000000\n");

const std::string motionSdm = crlf(
    "NrOfPredictors:         1\n"
    "NrOfDataPoints:         3\n"
    "IncludesConstant:       0\n"
    "FirstConfoundPredictor: 1\n"
    "\n"
    "128 128 128\n"
    "\"TX\"\n"
    " -0.100000\n  0.300000\n  0.000000\n");

const std::string isInput = ": it is an input of this task\n";
const std::string savedBefore = ": an earlier result of this run was saved there\n";

std::string saved(std::initializer_list<const char*> paths) {
  std::string log;
  for (const char* path : paths) log += std::string("\nBrindle>  Saved ") + path;
  return log;
}

TEST(BatchSaves, NeverReplaceAnInputOrAnEarlierResult) {
  const struct {
    const char* name;
    std::vector<std::string> inputs;  // sub01.sdm is a primary, every other file a motion SDM
    std::vector<std::pair<std::string, std::string>> links;  // link -> target
    std::vector<std::string> args;
    int exitCode;
    std::string out;
    std::string err;
    std::vector<std::string> replaced;  // inputs whose content the run may change
  } cases[] = {
      {"the offered merged name is the secondary itself",
       {"sub01.sdm", "sub01_motion.sdm"},
       {},
       {"mergeall", "sub01.sdm", "sub01_motion.sdm"},
       73,
       startAll + finished,
       "Tormel: not saving sub01_motion.sdm" + isInput,
       {}},
      {"two secondaries of the same name give the same merged name",
       {"sub01.sdm", "run1/motion.sdm", "run2/motion.sdm", "run3/drift.sdm"},
       {},
       {"mergeall", "sub01.sdm", "run1/motion.sdm", "run2/motion.sdm", "run3/drift.sdm"},
       73,
       startAll + saved({"sub01_motion.sdm", "sub01_drift.sdm"}) + finished,
       "Tormel: not saving sub01_motion.sdm" + savedBefore,
       {}},
      {"--save-into a symbolic link to the inputs' folder",
       {"sub01.sdm", "data/sub01_motion.sdm"},
       {{"alias", "data"}},
       {"mergeall", "sub01.sdm", "data/sub01_motion.sdm", "--save-into", "alias"},
       73,
       startAll + finished,
       "Tormel: not saving alias/sub01_motion.sdm" + isInput,
       {}},
      {"an offered name after an explicit answer that saved there",
       {"sub01.sdm", "run1/motion.sdm", "run2/motion.sdm"},
       {},
       {"mergeall", "sub01.sdm", "run1/motion.sdm", "run2/motion.sdm", "--save",
        "./sub01_motion.sdm"},
       73,
       startAll + saved({"./sub01_motion.sdm"}) + finished,
       "Tormel: not saving sub01_motion.sdm" + savedBefore,
       {}},
      // Tormel passes the user's answer on; the plug-in refuses it.
      {"an explicit --save over an input",
       {"a.sdm", "b.sdm"},
       {},
       {"mergesec", "a.sdm", "b.sdm", "--save", "a.sdm"},
       73,
       startSec + "\nBrindle>  Cannot Create file: a.sdm (it is an input of this task)" + finished,
       "Tormel: refused by the plug-in: Cannot Create file: a.sdm (it is an input of this task)\n",
       {}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    for (const auto& input : c.inputs) {
      fs::create_directories((dir.path() / input).parent_path());
      writeFile(dir.path() / input, input == "sub01.sdm" ? primarySdm : motionSdm);
    }
    for (const auto& [link, target] : c.links)
      fs::create_directory_symlink(target, dir.path() / link);
    ProcessOptions options;
    options.workingDirectory = dir.path().string();
    const ProcessResult result = runTormel(c.args, options);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.name;
    EXPECT_EQ(result.out, c.out) << c.name;
    EXPECT_EQ(result.err, c.err) << c.name;
    for (const auto& input : c.inputs) {
      const bool mayChange =
          std::find(c.replaced.begin(), c.replaced.end(), input) != c.replaced.end();
      const std::string content = readFile(dir.path() / input);
      EXPECT_EQ(content == (input == "sub01.sdm" ? primarySdm : motionSdm), !mayChange)
          << c.name << ": " << input;
    }
  }
}

TEST(CommandLineVersions, PrintTheProgramAndThePluginVersionGnuStyle) {
  const std::string sdmgen = buildDir() + "/sdmgen";
  const struct {
    std::string program;
    std::string out;
  } cases[] = {
      {testing_support::tormelPath(), "Tormel (Brindle) 1.0\nPlug-in: Brindle 1.0\n"},
      // sdmgen is no host: it loads no plug-in and names none.
      {sdmgen, "sdmgen (Brindle) 1.0\n"},
  };
  for (const auto& c : cases) {
    const ProcessResult result = runProcess(c.program, {"--version"});
    EXPECT_EQ(result.exitCode, 0) << c.program;
    EXPECT_EQ(result.out, c.out) << c.program;
    EXPECT_EQ(result.err, "") << c.program;
  }
}

TEST(Sdmgen, PrintsItsHelpForEitherSpellingAndWritesNothing) {
  for (const char* option : {"--help", "-h"}) {
    TempDir dir;
    ProcessOptions options;
    options.workingDirectory = dir.path().string();
    const ProcessResult result = runProcess(buildDir() + "/sdmgen", {option}, options);
    EXPECT_EQ(result.exitCode, 0) << option;
    EXPECT_EQ(result.out.rfind("Usage: sdmgen OUT.sdm [OPTION...]\n", 0), 0u) << result.out;
    EXPECT_EQ(result.err, "") << option;
    EXPECT_TRUE(fs::is_empty(dir.path())) << option;
  }
}

TEST(Sdmgen, RefusesWrongNumbersAndNamesWithExit64AndWritesNothing) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"o.sdm", "--points", "abc"},
       "--points wants a whole number from 0 to 268435456, not \"abc\""},
      {{"o.sdm", "--points", "12x"},
       "--points wants a whole number from 0 to 268435456, not \"12x\""},
      {{"o.sdm", "--points=99999999999"},
       "--points wants a whole number from 0 to 268435456, not \"99999999999\""},
      {{"o.sdm", "--interest", "-1"},
       "--interest wants a whole number from 0 to 1048576, not \"-1\""},
      {{"o.sdm", "--confounds", "+2"},
       "--confounds wants a whole number from 0 to 1048576, not \"+2\""},
      {{"o.sdm", "--seed", "18446744073709551616"},
       "--seed wants a whole number from 0 to 18446744073709551615, not "
       "\"18446744073709551616\""},
      {{"o.sdm", "--points", "300000", "--confounds", "1000"},
       "1003 predictors over 300000 data points are more than an SDM holds (1048576 predictors, "
       "268435456 values)"},
      {{"o.sdm", "--interest-names", "Faces,Say \"cheese\""},
       "--interest-names: the name \"Say \"cheese\"\" holds a double quote or a line break, which "
       "an SDM name cannot hold"},
      {{"o.sdm", "--confound-prefix", "Drift\n"},
       "--confound-prefix: the name \"Drift\n\" holds a double quote or a line break, which an "
       "SDM name cannot hold"},
      {{"o.sdm", "--points"}, "--points needs a value"},
      {{"o.sdm", "--bogus"}, "unknown option \"--bogus\""},
      {{}, "no output file given: sdmgen OUT.sdm [OPTION...]"},
      {{"o.sdm", "p.sdm"}, "one output file only, not \"o.sdm\" and \"p.sdm\""},
      {{"o.sdm", "--points", "4"},
       "a run of 4 data points is too short for 3 predictors of interest: giving each an event "
       "takes 5 data points or more"},
      {{"o.sdm", "--points=1", "--interest=1"},
       "a run of 1 data point is too short for 1 predictor of interest: giving each an event "
       "takes 3 data points or more"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ProcessOptions options;
    options.workingDirectory = dir.path().string();
    const ProcessResult result = runProcess(buildDir() + "/sdmgen", c.args, options);
    EXPECT_EQ(result.exitCode, 64) << c.message;
    EXPECT_EQ(result.out, "") << c.message;
    EXPECT_EQ(result.err, "sdmgen: " + c.message + "\nTry 'sdmgen --help'.\n");
    EXPECT_TRUE(fs::is_empty(dir.path())) << c.message;
  }
}

TEST(Sdmgen, KeepsEveryConfoundWhenOneDataPointMakesEachLookConstant) {
  // No predictor of interest: one data point is too short for any event.
  TempDir dir;
  const ProcessResult result = runProcess(
      buildDir() + "/sdmgen",
      {dir.file("one.sdm"), "--points", "1", "--interest", "0", "--confounds", "2", "--constant"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string sdm = readFile(dir.file("one.sdm"));
  EXPECT_EQ(sdm.substr(0, sdm.find("\"Confound 1\"")),
            crlf("FileVersion:            1\n"
                 "\n"
                 "NrOfPredictors:         3\n"
                 "NrOfDataPoints:         1\n"
                 "IncludesConstant:       1\n"
                 "FirstConfoundPredictor: 1\n"
                 "\n"
                 "128 128 128   128 128 128   255 255 255\n"));
  EXPECT_NE(sdm.find("\"Confound 1\" \"Confound 2\" \"Constant\"\r\n"), std::string::npos) << sdm;
}

TEST(Sdmgen, GivesEveryConditionAnEventInAnyRunLongEnoughForOne) {
  const struct {
    std::vector<std::string> args;
    std::vector<int> rises;  // the first data point (from 1) above 0 of each condition
  } cases[] = {
      // Runs that hold every condition's first block keep it where it always was.
      {{"--points", "120"}, {14, 28, 41}},
      {{"--points", "50", "--interest", "2", "--seed", "7"}, {15, 24}},
      // Shorter runs shorten the blocks of the conditions whose first block would not fit (the
      // third one's, and the second one's, cut short at the end of the run).
      {{"--points", "30"}, {14, 16, 23}},
      {{"--points", "40", "--interest", "2", "--seed", "9"}, {16, 28}},
      {{"--points", "60", "--interest", "6", "--seed", "4"}, {14, 26, 44, 34, 52, 50}},
      // The shortest runs: rest, a data point per condition, one for the last response.
      {{"--points", "5"}, {3, 4, 5}},
      {{"--points", "3", "--interest", "1"}, {3}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::vector<std::string> args = {dir.file("run.sdm"), "--confounds", "0"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult result = runProcess(buildDir() + "/sdmgen", args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const DesignMatrix m = loadSdm(dir.file("run.sdm"));
    std::vector<int> rises;
    for (const Predictor& predictor : m.predictors) {
      const std::vector<float>& values = predictor.values;
      const auto above = std::find_if(values.begin(), values.end(), [](float v) { return v > 0; });
      rises.push_back(above == values.end() ? 0 : static_cast<int>(above - values.begin()) + 1);
    }
    EXPECT_EQ(rises, c.rises) << c.args[1];
  }
  // The bundled task SDM, whose run held every first block before, comes out as it was made.
  TempDir dir;
  const ProcessResult made = runProcess(
      buildDir() + "/sdmgen", {dir.file("sub01_task.sdm"), "--interest", "3", "--interest-names",
                               "Faces,Houses,Objects", "--confounds", "0", "--constant"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  EXPECT_EQ(readFile(dir.file("sub01_task.sdm")),
            readFile(testing_support::sourceDir() + "/examples/sub01_task.sdm"));
}

}  // namespace
