// The lookups of brindle-bids on small datasets made in the test: the runs, their events and
// repetition time by the inheritance principle, the confounds table and the slice-timing
// reference.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dataset.h"
#include "entities.h"
#include "sidecars.h"
#include "support/row_name.h"
#include "support/temp_dir.h"
#include "task_conditions.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

// Files of a dataset: relative path and content.
using Files = std::vector<std::pair<std::string, std::string>>;

// Writes `files` into `dir`, a dataset of one run, and gives that run.
bids::Run onlyRun(const TempDir& dir, const Files& files) {
  for (const auto& [path, content] : files) dir.write(path, content);
  const auto runs = bids::Dataset(dir.path()).runs();
  EXPECT_EQ(runs.size(), 1u);
  return runs.at(0);
}

std::vector<std::string> runsOf(const fs::path& root, const bids::RunFilter& filter) {
  std::vector<std::string> found;
  for (const auto& run : bids::selectRuns(bids::Dataset(root), filter))
    found.push_back(run.relativeBold());
  return found;
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
  const auto entities = [](const char* text) { return bids::parseFileName(text)->entities; };
  EXPECT_TRUE(bids::sameEntities(entities("run-01_echo-002_task-a_x.y"),
                                 entities("task-a_run-1_echo-2_x.y")));
  EXPECT_FALSE(bids::sameEntities(entities("acq-01_x.y"), entities("acq-1_x.y")));
  EXPECT_FALSE(bids::sameEntities(entities("run-01_x.y"), entities("run-10_x.y")));
  EXPECT_EQ((bids::FileName{bids::inBidsOrder(entities("desc-d_foo-f_run-1_acq-a_sub-1_x.y")),
                            "bold", ".nii"}
                 .text()),
            "sub-1_acq-a_run-1_foo-f_desc-d_bold.nii");
}

TEST(BidsNames, RefuseNamesThatAreNotBids) {
  for (const char* bad : {"sub-01_task-faces_run-1_events", "sub-01__events.tsv",
                          "sub-01_sub-02_events.tsv", "sub_01_events.tsv", "sub-0 1_events.tsv",
                          "sub-01_task-a-b_events.tsv", ".json", "sub-01_task-faces_.tsv"})
    EXPECT_FALSE(bids::parseFileName(bad)) << bad;
}

TEST(BidsRuns, EveryImageOfEverySubjectAndSessionInByteOrder) {
  TempDir dir;
  for (const char* path :
       {"sub-02/ses-b/func/sub-02_ses-b_task-faces_run-1_bold.nii.gz",
        "sub-02/ses-a/func/sub-02_ses-a_task-faces_run-1_bold.nii",
        "sub-01/func/sub-01_task-rest_bold.nii.gz", "sub-01/func/sub-01_task-faces_run-2_bold.nii",
        "sub-01/func/sub-01_task-faces_run-2_events.tsv", "sub-03/func/sub-04_task-faces_bold.nii",
        "sub-03/ses-1/func/sub-03_task-faces_bold.nii", "sub-01/func/sub-01_task-x_bold.json",
        "derivatives/sub-01/func/sub-01_task-faces_bold.nii"})
    dir.write(path, "x");
  EXPECT_EQ(
      runsOf(dir.path(), {}),
      (std::vector<std::string>{"sub-01/func/sub-01_task-faces_run-2_bold.nii",
                                "sub-01/func/sub-01_task-rest_bold.nii.gz",
                                "sub-02/ses-a/func/sub-02_ses-a_task-faces_run-1_bold.nii",
                                "sub-02/ses-b/func/sub-02_ses-b_task-faces_run-1_bold.nii.gz"}));
  EXPECT_EQ(runsOf(dir.path(), {{"02"}, std::nullopt}).size(), 2u);
  EXPECT_EQ(runsOf(dir.path(), {{bids::participantLabel("sub-01")}, "rest"}).size(), 1u);
  EXPECT_EQ(bids::Dataset(dir.path()).runs().front().label(), "sub-01 task-faces run-2");
  EXPECT_EQ(bids::Dataset(dir.path()).participants(), (std::vector<std::string>{"01", "02", "03"}));
}

// The events files around the run sub-01/ses-1/func/sub-01_ses-1_task-faces_run-01_bold.nii and
// the one the lookup gives (relative), "" for none, or a part of its error.
struct EventsCase {
  const char* what;
  std::vector<std::string> files;
  std::string expected;
};

class EventsLookup : public ::testing::TestWithParam<EventsCase> {};

TEST_P(EventsLookup, TheNearestEventsFileWithTheRunsEntities) {
  TempDir dir;
  Files files{{"sub-01/ses-1/func/sub-01_ses-1_task-faces_run-01_bold.nii", ""}};
  for (const std::string& file : GetParam().files) files.emplace_back(file, "onset\n");
  const bids::Run run = onlyRun(dir, files);
  std::string found;
  try {
    const auto events = bids::eventsFile(bids::Dataset(dir.path()), run);
    if (events) found = events->lexically_relative(dir.path()).generic_string();
  } catch (const bids::RunError& error) {
    found = error.what();
  }
  EXPECT_NE(found.find(GetParam().expected), std::string::npos) << found;
  EXPECT_EQ(found.empty(), GetParam().expected.empty()) << found;
}

const std::string func = "sub-01/ses-1/func/";

INSTANTIATE_TEST_SUITE_P(
    Rows, EventsLookup,
    ::testing::ValuesIn(std::vector<EventsCase>{
        {"root", {"task-faces_events.tsv"}, "task-faces_events.tsv"},
        {"run index as a number",
         {"task-faces_events.tsv", func + "sub-01_ses-1_task-faces_run-1_events.tsv"},
         func + "sub-01_ses-1_task-faces_run-1_events.tsv"},
        {"session over root",
         {"task-faces_events.tsv", "sub-01/ses-1/sub-01_ses-1_task-faces_events.tsv"},
         "sub-01/ses-1/sub-01_ses-1_task-faces_events.tsv"},
        {"most entities in one folder",
         {func + "sub-01_task-faces_events.tsv", func + "sub-01_task-faces_run-1_events.tsv"},
         func + "sub-01_task-faces_run-1_events.tsv"},
        {"another task, run or description does not apply",
         {"task-rest_events.tsv", func + "sub-01_ses-1_task-faces_run-2_events.tsv",
          func + "sub-01_ses-1_task-faces_run-1_desc-x_events.tsv"},
         ""},
        {"equally near",
         {func + "sub-01_task-faces_events.tsv", func + "sub-01_run-1_events.tsv"},
         "apply equally to this run"}}),
    testing_support::rowName);

// One row of the inheritance table: the sidecars around the run
// sub-01/ses-1/func/sub-01_ses-1_task-faces_run-1_events.tsv and what the lookup gives.
struct InheritanceCase {
  const char* what;
  Files sidecars;
  double expected;         // the repetition time (0: none), when `error` is empty
  std::string error = "";  // else a part of the RunError's message
};

class Inheritance : public ::testing::TestWithParam<InheritanceCase> {};

TEST_P(Inheritance, TheNearestSidecarHoldingRepetitionTimeWins) {
  const InheritanceCase& row = GetParam();
  TempDir dir;
  Files files = row.sidecars;
  files.emplace_back("sub-01/ses-1/func/sub-01_ses-1_task-faces_run-1_bold.nii.gz", "");
  const bids::Run run = onlyRun(dir, files);
  const bids::Dataset dataset(dir.path());
  bids::SidecarCache sidecars;
  if (row.error.empty()) {
    const auto found = bids::repetitionTime(dataset, sidecars, run);
    EXPECT_EQ(found ? found->value : 0.0, row.expected);
  } else {
    try {
      bids::repetitionTime(dataset, sidecars, run);
      ADD_FAILURE() << "no error";
    } catch (const bids::RunError& error) {
      EXPECT_NE(std::string(error.what()).find(row.error), std::string::npos) << error.what();
    }
  }
}

// A sidecar's text holding RepetitionTime `value`.
std::string tr(const char* value) { return std::string(R"({"RepetitionTime": )") + value + "}"; }

const std::string root = "task-faces_bold.json", subject = "sub-01/sub-01_task-faces_bold.json",
                  session = "sub-01/ses-1/sub-01_ses-1_bold.json";

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
        {"an events sidecar is not a bold sidecar", {{"task-faces_events.json", tr("2")}}, 0},
        {"equally near and different",
         {{func + "sub-01_task-faces_bold.json", tr("2")},
          {func + "sub-01_run-1_bold.json", tr("3")}},
         0,
         "apply equally"},
        {"none", {}, 0},
        {"run index as a number",
         {{func + "sub-01_ses-1_task-faces_run-001_bold.json", tr("3")}},
         3},
        {"text", {{root, tr("\"2\"")}}, 0, "is not a number"},
        {"zero", {{root, tr("0")}}, 0, "from 0.001 to 100"},
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
  Files files{{"sub-01/func/sub-01_task-faces_run-01_bold.nii", ""}};
  for (const std::string& name : GetParam().files) files.emplace_back(folder + name, "a\n1\n");
  const bids::Run run = onlyRun(dir, files);
  bids::Derivatives derivatives(dir.path() / "derivatives");
  const auto found = bids::confoundsFile(derivatives, run);
  EXPECT_EQ(found ? found->filename().string() : "",
            GetParam().expected.empty() ? "" : "sub-01_task-faces_" + GetParam().expected);
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
      dir, {{"sub-01/func/sub-01_task-faces_run-1_bold.nii", ""},
            {"d/sub-01/func/sub-01_task-faces_run-2_space-T1w_desc-preproc_bold.json",
             R"({"StartTime": 0.3})"},
            {"d/sub-01/func/sub-01_task-faces_run-1_space-MNI_desc-preproc_bold.json", tr("2")}});
  bids::SidecarCache sidecars;
  bids::Derivatives before(dir.path() / "d"), missing(dir.path() / "missing");
  EXPECT_FALSE(bids::startTime(before, sidecars, run));
  dir.write("d/sub-01/func/sub-01_task-faces_run-1_space-T1w_desc-preproc_bold.json",
            R"({"StartTime": 0.9})");
  bids::Derivatives after(dir.path() / "d");
  EXPECT_EQ(bids::startTime(after, sidecars, run)->value, 0.9);
  EXPECT_FALSE(bids::startTime(missing, sidecars, run));
}

}  // namespace

namespace {

struct ConditionsCase {
  const char* what;
  std::string events;
  std::string column;  // "": trial_type
  std::set<std::string> conditions;
};

class EventConditions : public ::testing::TestWithParam<ConditionsCase> {};

// The conditions brindle-bids lists for a task are those the plug-in reads from the same file.
TEST_P(EventConditions, AreTheValuesOfTheConditionColumnButNa) {
  TempDir dir;
  EXPECT_EQ(bids::conditionsIn(dir.write("e.tsv", GetParam().events), GetParam().column),
            GetParam().conditions);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EventConditions,
    ::testing::ValuesIn(std::vector<ConditionsCase>{
        {"trial_type",
         "onset\tduration\ttrial_type\n1\t1\tgo\n2\t1\tn/a\n3\t1\t\n4\t1\tstop\n",
         "",
         {"go", "stop"}},
        {"a byte order mark, CRLF, blank lines and blanks around cells",
         "\xEF\xBB\xBFtrial_type\tonset\tduration\r\n\r\n go \t1\t1\r\nstop\t2\t1\r\n",
         "",
         {"go", "stop"}},
        {"no trial_type: the one condition trial",
         "onset\tduration\tstim_type\n1\t1\tface\n",
         "",
         {"trial"}},
        {"another column named",
         "onset\tduration\ttrial_type\tstim_type\n1\t1\tx\tface\n",
         "stim_type",
         {"face"}},
        {"the column named missing", "onset\tduration\ttrial_type\n1\t1\tx\n", "stim_type", {}},
    }),
    testing_support::rowName);

}  // namespace
