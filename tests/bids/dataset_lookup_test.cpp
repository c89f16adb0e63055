// The lookups of brindle-bids on small datasets made in the test: the runs, the repetition time
// by the inheritance principle, the confounds table and the slice-timing reference.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "dataset.h"
#include "entities.h"
#include "sidecars.h"
#include "support/row_name.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

// Files of a dataset: relative path and content.
using Files = std::vector<std::pair<std::string, std::string>>;

// Writes `files` into `dir`, a dataset of one run, and gives that run.
bids::Run onlyRun(const TempDir& dir, const Files& files) {
  for (const auto& [path, content] : files) dir.write(path, content);
  const auto runs = bids::findRuns(dir.path(), {});
  EXPECT_EQ(runs.size(), 1u);
  return runs.at(0);
}

TEST(BidsNames, ParseEntitiesSuffixAndExtension) {
  const auto name = bids::parseFileName("sub-01_ses-1_task-faces_run-1_events.tsv");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->entities.size(), 4u);
  EXPECT_EQ(*name->value("task"), "faces");
  EXPECT_EQ(name->suffix, "events");
  EXPECT_EQ(name->extension, ".tsv");
  EXPECT_EQ(name->text(), "sub-01_ses-1_task-faces_run-1_events.tsv");
  EXPECT_EQ(bids::parseFileName("bold.json")->suffix, "bold");
  EXPECT_FALSE(bids::parseFileName("x_bold.nii.gz"));
  EXPECT_EQ(bids::parseFileName("sub-01_bold.nii.gz")->extension, ".nii.gz");
}

TEST(BidsNames, RefuseNamesThatAreNotBids) {
  for (const char* bad : {"sub-01_task-faces_run-1_events", "sub-01__events.tsv",
                          "sub-01_sub-02_events.tsv", "sub_01_events.tsv", "sub-0 1_events.tsv",
                          "sub-01_task-a-b_events.tsv", ".json", "sub-01_task-faces_.tsv"})
    EXPECT_FALSE(bids::parseFileName(bad)) << bad;
}

TEST(BidsRuns, EveryEventsFileOfEverySubjectAndSessionInByteOrder) {
  TempDir dir;
  for (const char* path :
       {"sub-02/ses-b/func/sub-02_ses-b_task-faces_run-1_events.tsv",
        "sub-02/ses-a/func/sub-02_ses-a_task-faces_run-1_events.tsv",
        "sub-01/func/sub-01_task-rest_events.tsv", "sub-01/func/sub-01_task-faces_run-2_events.tsv",
        "sub-01/func/sub-01_task-faces_run-2_bold.json", "sub-03/func/sub-04_task-faces_events.tsv",
        "sub-03/ses-1/func/sub-03_task-faces_events.tsv",
        "derivatives/sub-01/func/sub-01_task-faces_events.tsv"})
    dir.write(path, "x");
  std::vector<std::string> found;
  for (const auto& run : bids::findRuns(dir.path(), {})) found.push_back(run.relativeEvents());
  EXPECT_EQ(found, (std::vector<std::string>{
                       "sub-01/func/sub-01_task-faces_run-2_events.tsv",
                       "sub-01/func/sub-01_task-rest_events.tsv",
                       "sub-02/ses-a/func/sub-02_ses-a_task-faces_run-1_events.tsv",
                       "sub-02/ses-b/func/sub-02_ses-b_task-faces_run-1_events.tsv"}));
  EXPECT_EQ(bids::findRuns(dir.path(), {{"02"}, std::nullopt}).size(), 2u);
  EXPECT_EQ(bids::findRuns(dir.path(), {{bids::participantLabel("sub-01")}, "rest"}).size(), 1u);
  EXPECT_EQ(bids::findRuns(dir.path(), {{}, "faces"}).front().label(), "sub-01 task-faces run-2");
}

// One row of the inheritance table: the sidecars around the run
// sub-01/ses-1/func/sub-01_ses-1_task-faces_run-1_events.tsv and what the lookup gives.
struct InheritanceCase {
  const char* what;
  Files sidecars;
  double expected;         // the repetition time, when `error` is empty
  std::string error = "";  // else a part of the RunError's message
};

class Inheritance : public ::testing::TestWithParam<InheritanceCase> {};

TEST_P(Inheritance, TheNearestSidecarHoldingRepetitionTimeWins) {
  const InheritanceCase& row = GetParam();
  TempDir dir;
  Files files = row.sidecars;
  files.emplace_back("sub-01/ses-1/func/sub-01_ses-1_task-faces_run-1_events.tsv", "onset\n");
  const bids::Run run = onlyRun(dir, files);
  if (row.error.empty()) {
    EXPECT_EQ(bids::repetitionTime(dir.path(), run), row.expected);
  } else {
    try {
      bids::repetitionTime(dir.path(), run);
      ADD_FAILURE() << "no error";
    } catch (const bids::RunError& error) {
      EXPECT_NE(std::string(error.what()).find(row.error), std::string::npos) << error.what();
    }
  }
}

// A sidecar's text holding RepetitionTime `value`.
std::string tr(const char* value) { return std::string(R"({"RepetitionTime": )") + value + "}"; }

const std::string root = "task-faces_bold.json", subject = "sub-01/sub-01_task-faces_bold.json",
                  session = "sub-01/ses-1/sub-01_ses-1_bold.json", func = "sub-01/ses-1/func/";

INSTANTIATE_TEST_SUITE_P(
    Rows, Inheritance,
    ::testing::ValuesIn(std::vector<InheritanceCase>{
        {"root", {{root, tr("2")}}, 2.0},
        {"run over root",
         {{root, tr("2")}, {func + "sub-01_ses-1_task-faces_run-1_bold.json", tr("1.5")}},
         1.5},
        {"subject over root", {{root, tr("2")}, {subject, tr("3")}}, 3.0},
        {"session over subject", {{session, tr("0.8")}, {subject, tr("3")}}, 0.8},
        {"a nearer sidecar without it is passed over",
         {{root, tr("2")}, {session, R"({"EchoTime": 0.03})"}},
         2.0},
        {"another task's and another run's sidecars do not apply",
         {{root, tr("2")},
          {func + "sub-01_ses-1_task-rest_bold.json", tr("9")},
          {func + "sub-01_ses-1_task-faces_run-2_bold.json", tr("9")},
          {"sub-01/sub-02_task-faces_bold.json", tr("9")}},
         2.0},
        {"in one folder the most entities win", {{"bold.json", tr("1")}, {root, tr("2")}}, 2.0},
        {"an events sidecar is not a bold sidecar",
         {{"task-faces_events.json", tr("2")}},
         0,
         "holds \"RepetitionTime\""},
        {"equally near and different",
         {{func + "sub-01_task-faces_bold.json", tr("2")},
          {func + "sub-01_run-1_bold.json", tr("3")}},
         0,
         "apply equally"},
        {"none", {}, 0, "no *_bold.json sidecar of this run holds"},
        {"text", {{root, tr("\"2\"")}}, 0, "is not a number"},
        {"zero", {{root, tr("0")}}, 0, "above 0"},
        {"not JSON", {{root, "RepetitionTime = 2"}}, 0, "not a JSON file"}}),
    testing_support::rowName);

// The confounds table of sub-01_task-faces_run-1 in derivatives/sub-01/func, among files named
// "sub-01_task-faces_" and one of `files`.
struct ConfoundsCase {
  const char* what;
  std::vector<std::string> files;
  std::string expected;  // the one found; empty: a RunError
};

class ConfoundsLookup : public ::testing::TestWithParam<ConfoundsCase> {};

TEST_P(ConfoundsLookup, TheRunsTableUnderItsCurrentOrOlderName) {
  TempDir dir;
  const std::string folder = "derivatives/sub-01/func/sub-01_task-faces_";
  Files files{{"sub-01/func/sub-01_task-faces_run-1_events.tsv", "onset\n"}};
  for (const std::string& name : GetParam().files)
    files.emplace_back(folder + name, "a\tb\n1\t2\n\n3\t4\n");
  const bids::Run run = onlyRun(dir, files);
  if (GetParam().expected.empty()) {
    EXPECT_THROW(bids::confoundsFile(dir.path() / "derivatives", run), bids::RunError);
    return;
  }
  const fs::path found = bids::confoundsFile(dir.path() / "derivatives", run);
  EXPECT_EQ(found.filename(), "sub-01_task-faces_" + GetParam().expected);
  EXPECT_EQ(bids::tableRows(found), 2u);
}

const std::string current = "run-1_desc-confounds_timeseries.tsv",
                  older = "run-1_desc-confounds_regressors.tsv";

INSTANTIATE_TEST_SUITE_P(Rows, ConfoundsLookup,
                         ::testing::ValuesIn(std::vector<ConfoundsCase>{
                             {"current", {current}, current},
                             {"older", {older}, older},
                             {"current over older", {older, current}, current},
                             {"another run's or another description's are not it",
                              {"run-2_desc-confounds_timeseries.tsv",
                               "desc-confounds_timeseries.tsv", "run-1_desc-other_timeseries.tsv"},
                              ""}}),
                         testing_support::rowName);

TEST(StartTime, FromThePreprocessedBoldSidecarOfTheRunElseNone) {
  TempDir dir;
  const bids::Run run = onlyRun(
      dir, {{"sub-01/func/sub-01_task-faces_run-1_events.tsv", "onset\n"},
            {"d/sub-01/func/sub-01_task-faces_run-2_space-T1w_desc-preproc_bold.json",
             R"({"StartTime": 0.3})"},
            {"d/sub-01/func/sub-01_task-faces_run-1_space-MNI_desc-preproc_bold.json", tr("2")}});
  EXPECT_FALSE(bids::startTime(dir.path() / "d", run));
  dir.write("d/sub-01/func/sub-01_task-faces_run-1_space-T1w_desc-preproc_bold.json",
            R"({"StartTime": 0.9})");
  EXPECT_EQ(bids::startTime(dir.path() / "d", run), 0.9);
  EXPECT_FALSE(bids::startTime(dir.path() / "missing", run));
}

}  // namespace
