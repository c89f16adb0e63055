// A merge's design picture marks the onsets of the run's events when told its events file, as
// the design's own picture does; a file that cannot be read is warned about and the merge goes
// on. The heatmap's line between predictors of interest and confounds stands after the last
// predictor of interest in every kind of merge.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using e2e_fixtures::finished;
using e2e_fixtures::startAll;
using testing_support::readFile;
using testing_support::runProcess;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

// Two conditions, each twice, within the 80 s of 40 volumes of 2 s.
const std::string events =
    "onset\tduration\ttrial_type\n4\t2\tgo\n20\t2\tstop\n36\t2\tgo\n70\t2\tstop\n";

// Runs Tormel in `dir`, so that the log names files as given.
testing_support::ProcessResult tormelIn(const TempDir& dir, const std::vector<std::string>& args) {
  testing_support::ProcessOptions options;
  options.workingDirectory = dir.path().string();
  return runTormel(args, options);
}

// In `dir`: run_events.tsv, its design with derivatives (run_design.sdm: go, go_derivative, stop,
// stop_derivative, drawn with its onsets) and a confound table of 40 rows.
void makeRun(const TempDir& dir) {
  writeFile(dir.file("run_events.tsv"), events);
  const auto table = runProcess(testing_support::buildDir() + "/sdmgen",
                                {dir.file("run_desc-confounds_timeseries.tsv"), "--format", "tsv",
                                 "--points", "40", "--seed", "2"});
  ASSERT_EQ(table.exitCode, 0) << table.err;
  const auto design = tormelIn(dir, {"design", "run_events.tsv", "--tr", "2", "--volumes", "40",
                                     "--derivatives", "--corr", "--plot"});
  ASSERT_EQ(design.exitCode, 0) << design.err;
}

// The line of a design picture that marks the onsets; empty when it has none.
std::string onsetMarks(const std::string& picture) {
  const std::size_t at = picture.find("<path stroke=\"#0072b2\"");
  if (at == std::string::npos) return "";
  return picture.substr(at, picture.find('\n', at) - at);
}

TEST(MergeOnsetsEndToEnd, TheMergedPictureMarksTheOnsetsTheDesignsPictureMarks) {
  TempDir dir;
  makeRun(dir);
  const auto merge =
      tormelIn(dir, {"mergeall", "run_design.sdm", "run_desc-confounds_timeseries.tsv", "--tr", "2",
                     "--baseline", "--corr", "--plot", "--events-file", "run_events.tsv", "--save",
                     "merged.sdm"});
  ASSERT_EQ(merge.exitCode, 0) << merge.err;
  // The same columns and rows; the merge's grid starts 14 points lower, under its longer subtitle.
  EXPECT_EQ(onsetMarks(readFile(dir.file("run_design_design.svg"))),
            "<path stroke=\"#0072b2\" stroke-width=\"2\" d=\"M54 239h40M54 431h40M94 239h40M94 "
            "431h40M134 335h40M134 635h40M174 335h40M174 635h40\"><title>event "
            "onsets</title></path>\r");
  EXPECT_EQ(onsetMarks(readFile(dir.file("merged_design.svg"))),
            "<path stroke=\"#0072b2\" stroke-width=\"2\" d=\"M54 253h40M54 445h40M94 253h40M94 "
            "445h40M134 349h40M134 649h40M174 349h40M174 649h40\"><title>event "
            "onsets</title></path>\r");
}

TEST(MergeOnsetsEndToEnd, AnEventsFileThatCannotBeReadIsWarnedAboutAndTheMergeGoesOn) {
  TempDir dir;
  makeRun(dir);
  writeFile(dir.file("bad_events.tsv"), "onset\tdur\n1\t2\n");
  const struct {
    std::vector<std::string> options;
    std::string warning;
  } cases[] = {
      {{"--events-file", "none_events.tsv"},
       "none_events.tsv: Failed opening for reading: none_events.tsv (no such file or folder)"},
      {{"--events-file", "bad_events.tsv"},
       "bad_events.tsv: Invalid events file bad_events.tsv (line 1: no duration column)"},
      {{"--events-file", "run_events.tsv", "--condition-column", "kind"},
       "run_events.tsv: Invalid events file run_events.tsv (line 1: no column kind to name the "
       "conditions (columns: onset, duration, trial_type))"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"mergeall", "run_design.sdm", "run_desc-confounds_timeseries.tsv",
                                  "--corr",   "--plot",         "--save",
                                  "m.sdm"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto merge = tormelIn(dir, args);
    EXPECT_EQ(merge.exitCode, 0) << merge.err;
    EXPECT_EQ(merge.out, startAll + "\nBrindle>  Warning: " + c.warning +
                             ": no onsets in the design picture"
                             "\nBrindle>  Confounds from run_desc-confounds_timeseries.tsv: "
                             "trans_x, trans_y, trans_z, rot_x, rot_y, rot_z"
                             "\nBrindle>  Saved m.sdm" +
                             finished);
    EXPECT_EQ(onsetMarks(readFile(dir.file("m_design.svg"))), "") << c.warning;
  }
  // The events file is an input of the merge: no result replaces it.
  const auto over =
      tormelIn(dir, {"mergeall", "run_design.sdm", "run_desc-confounds_timeseries.tsv", "--corr",
                     "--events-file", "run_events.tsv", "--save", "run_events.tsv"});
  EXPECT_EQ(over.exitCode, 73);
  EXPECT_EQ(readFile(dir.file("run_events.tsv")), events);
}

// Where the heatmap's line between interest and confounds stands, in predictors from the left,
// and how many predictors its grid has; {-1, 0} without the line.
std::pair<int, int> confoundLine(const std::string& heatmap) {
  static const std::regex lines(
      "<g stroke=\"#000000\" stroke-width=\"2\">\r\n<line x1=\"(\\d+)\"[^\n]*\n<line x1=\"(\\d+)\" "
      "y1=\"\\d+\" x2=\"(\\d+)\"");
  std::smatch found;
  if (!std::regex_search(heatmap, found, lines)) return {-1, 0};
  const int gridX = std::stoi(found[2]) + 4;
  const int grid = std::stoi(found[3]) - 4 - gridX;
  return {std::stoi(found[1]) - gridX, grid};
}

TEST(MergeOnsetsEndToEnd, TheHeatmapsConfoundLineFollowsTheLastPredictorOfInterest) {
  TempDir dir;
  makeRun(dir);
  writeFile(dir.file("run2_design.sdm"), readFile(dir.file("run_design.sdm")));
  const std::string table = "run_desc-confounds_timeseries.tsv";
  // The example task (Faces, Houses, Objects, its constant the first confound) and a table as long.
  writeFile(dir.file("task.sdm"),
            readFile(testing_support::sourceDir() + "/examples/sub01_task.sdm"));
  const auto longTable =
      runProcess(testing_support::buildDir() + "/sdmgen",
                 {dir.file("long_desc-confounds_timeseries.tsv"), "--format", "tsv"});
  ASSERT_EQ(longTable.exitCode, 0) << longTable.err;
  const struct {
    std::vector<std::string> files;
    bool baseline;
    int interest;    // predictors of interest, before the line
    int predictors;  // every predictor of the result
  } cases[] = {
      {{"mergeall", "task.sdm", "long_desc-confounds_timeseries.tsv"}, false, 3, 9},
      {{"mergeall", "task.sdm", "long_desc-confounds_timeseries.tsv"}, true, 3, 10},
      {{"mergeall", "run_design.sdm", table}, false, 4, 10},
      {{"mergeall", "run_design.sdm", table}, true, 4, 11},
      {{"mergeall", table, "run_design.sdm"}, true, 4, 11},
      {{"mergesec", "run_design.sdm", "run2_design.sdm", table}, false, 8, 14},
      {{"mergesec", "run_design.sdm", "run2_design.sdm", table}, true, 8, 15},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.files;
    if (c.baseline) args.emplace_back("--baseline");
    args.insert(args.end(), {"--corr", "--plot", "--save", "m.sdm"});
    const auto merge = tormelIn(dir, args);
    ASSERT_EQ(merge.exitCode, 0) << merge.err;
    const auto [at, grid] = confoundLine(readFile(dir.file("m.svg")));
    EXPECT_EQ(at * c.predictors, c.interest * grid) << c.files[1] << " " << c.baseline;
  }
}

}  // namespace
