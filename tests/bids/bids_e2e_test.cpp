// brindle-bids end to end: sdmgen --bids writes the dataset, brindle-bids runs the participant
// level with one job and with four (the same bytes), then the group level (the golden table).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::runProcess;

std::string program(const char* name) { return testing_support::buildDir() + "/" + name; }

// Every file under `root`, relative, in byte order.
std::vector<std::string> filesUnder(const fs::path& root) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(root).string());
  std::sort(files.begin(), files.end());
  return files;
}

// The files of every run that has its confounds: the task design and the merged one with its
// report, heatmap, design picture and summary.
std::vector<std::string> expectedFiles() {
  std::vector<std::string> files{"dataset_description.json"};
  for (const char* run :
       {"sub-01/func/sub-01_task-faces_run-1", "sub-01/func/sub-01_task-faces_run-2",
        "sub-02/ses-1/func/sub-02_ses-1_task-faces_run-1",
        "sub-02/ses-1/func/sub-02_ses-1_task-faces_run-2",
        "sub-02/ses-2/func/sub-02_ses-2_task-faces_run-2"})
    for (const char* tail :
         {"_desc-brindle_design.csv", "_desc-brindle_design.json", "_desc-brindle_design.sdm",
          "_desc-brindle_design.svg", "_desc-brindle_design_design.svg", "_desc-events_design.sdm"})
      files.push_back(std::string(run) + tail);
  std::sort(files.begin(), files.end());
  return files;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The files under `a`, in byte order, after checking `b` holds the same names with the same bytes.
std::vector<std::string> sameFiles(const fs::path& a, const fs::path& b) {
  const auto files = filesUnder(a);
  EXPECT_EQ(filesUnder(b), files);
  for (const std::string& file : files) EXPECT_EQ(readFile(a / file), readFile(b / file)) << file;
  return files;
}

// The participant level into `out` with `jobs` jobs: one run fails, and only that one.
void runParticipant(const fs::path& dataset, const fs::path& out, const char* jobs) {
  const auto result = runProcess(program("brindle-bids"),
                                 {dataset.string(), out.string(), "participant", "-j", jobs});
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_TRUE(result.out.empty()) << result.out;
  EXPECT_EQ(occurrences(result.err, "/6] sub-"), 6u) << result.err;
  EXPECT_EQ(occurrences(result.err, " ok ("), 5u) << result.err;
  const std::string failed =
      "brindle-bids: 1 of 6 runs failed:\n"
      "  sub-02/ses-2/func/sub-02_ses-2_task-faces_run-1_events.tsv: no confounds file ";
  const auto list = result.err.find(failed);
  ASSERT_NE(list, std::string::npos) << result.err;
  EXPECT_EQ(occurrences(result.err.substr(list), "\n"), 2u) << "one failed run listed";
  // The "n/a" row of every events file is skipped and warned about, run by run.
  EXPECT_EQ(occurrences(result.err, "    warning: "), 5u) << result.err;
}

TEST(BidsApp, GeneratedDatasetGivesTheSameFilesForOneAndFourJobsAndTheGoldenGroupTable) {
  testing_support::TempDir dir;
  const fs::path dataset = dir.path() / "bids", one = dir.path() / "one",
                 four = dir.path() / "four";
  ASSERT_EQ(runProcess(program("sdmgen"), {"--bids", dataset.string()}).exitCode, 0);
  runParticipant(dataset, one, "1");
  runParticipant(dataset, four, "4");
  EXPECT_EQ(sameFiles(one, four), expectedFiles());
  for (const fs::path& out : {one, four}) {
    const auto group =
        runProcess(program("brindle-bids"), {dataset.string(), out.string(), "group"});
    EXPECT_EQ(group.exitCode, 0) << group.err;
  }
  for (const char* file : {"group_report.tsv", "group_report.json", "group_report.html"})
    EXPECT_EQ(readFile(one / file), readFile(four / file)) << file;
  EXPECT_EQ(readFile(one / "group_report.tsv"),
            readFile(testing_support::sourceDir() + "/tests/bids/expected/group_report.tsv"));
}

TEST(BidsApp, ARunWithoutTormelsConfoundsTermFailsAloneWithTormelsMessage) {
  testing_support::TempDir dir;
  ASSERT_EQ(runProcess(program("sdmgen"), {"--bids", dir.file("bids")}).exitCode, 0);
  const auto result =
      runProcess(program("brindle-bids"),
                 {dir.file("bids"), dir.file("out"), "participant", "--participant-label", "sub-01",
                  "--task", "faces", "--confounds", "no_such_column"});
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(occurrences(result.err, "FAILED: Tormel mergeall exited with status 1: [message]"), 2u)
      << result.err;
  EXPECT_NE(result.err.find("brindle-bids: 2 of 2 runs failed:"), std::string::npos);
}

TEST(BidsApp, UsageErrorsAndAnEmptyDataset) {
  testing_support::TempDir dir;
  const std::string bidsApp = program("brindle-bids");
  EXPECT_EQ(runProcess(bidsApp, {dir.file("a"), dir.file("b")}).exitCode, 64);
  EXPECT_EQ(runProcess(bidsApp, {dir.file("a"), dir.file("b"), "session"}).exitCode, 64);
  EXPECT_EQ(runProcess(bidsApp, {dir.file("a"), dir.file("b"), "participant", "-j", "0"}).exitCode,
            64);
  const auto version = runProcess(bidsApp, {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "brindle-bids (Brindle) 1.0\n");
  fs::create_directories(dir.path() / "empty");
  const auto empty = runProcess(bidsApp, {dir.file("empty"), dir.file("out"), "participant"});
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_NE(empty.err.find("no events files"), std::string::npos) << empty.err;
}

TEST(SdmgenBids, TheSameSeedWritesTheSameDatasetWithMatchingRows) {
  testing_support::TempDir dir;
  for (const char* name : {"a", "b"})
    ASSERT_EQ(runProcess(program("sdmgen"), {"--bids", dir.file(name), "--seed", "3"}).exitCode, 0);
  EXPECT_EQ(sameFiles(dir.path() / "a", dir.path() / "b").size(), 20u);
  const std::string fmriprep = dir.file("a") + "/derivatives/fmriprep/";
  const std::string confounds = readFile(
      fmriprep + "sub-02/ses-2/func/sub-02_ses-2_task-faces_run-2_desc-confounds_timeseries.tsv");
  EXPECT_EQ(occurrences(confounds, "\n"), 131u);
  EXPECT_FALSE(fs::exists(
      fmriprep + "sub-02/ses-2/func/sub-02_ses-2_task-faces_run-1_desc-confounds_timeseries.tsv"));
  const std::string events =
      readFile(dir.file("a") + "/sub-01/func/sub-01_task-faces_run-1_events.tsv");
  EXPECT_EQ(events.rfind("onset\tduration\ttrial_type\tmodulation\n", 0), 0u);
  EXPECT_EQ(occurrences(events, "n/a"), 1u);
  EXPECT_EQ(events.find('\r'), std::string::npos);
  EXPECT_EQ(runProcess(program("sdmgen"), {"--bids", dir.file("c"), "x.sdm"}).exitCode, 64);
}

}  // namespace
