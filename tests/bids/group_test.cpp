// The group level of brindle-bids: the summaries read, the thresholds, the table and the page.

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "group.h"
#include "participant.h"
#include "run_plan.h"
#include "run_settings.h"
#include "support/expect_throw.h"
#include "support/process.h"
#include "support/row_name.h"
#include "support/temp_dir.h"

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

// A version 3 summary with two task predictors, a confound and the constant.
std::string summary(const std::string& vifs, const std::string& tail) {
  return R"({"version": 3, "file": "x.sdm", "nrOfPredictors": 4, "nrOfDataPoints": 120,
    "firstConfoundPredictor": 3, "predictors": [)" +
         vifs + R"J(], "threshold": 0.8, "pairs": [{"first": 2, "second": 3, "r": 0.99},
    {"first": 1, "second": 2, "r": -0.95}, {"first": 0, "second": 2, "r": 0.9}],
    "scrubbedVolumes": [0, 41, 42], "contrasts": [
      {"name": "faces - houses", "test": "t", "estimable": true, "efficiency": 2.5,
       "confoundCost": 1.75, "reason": ""},
      {"name": "all", "test": "F", "estimable": false, "efficiency": null, "confoundCost": null,
       "reason": "houses has no events"}],
    "mark": "red", "reasons": ["all cannot be estimated (houses has no events)",
                               "faces - houses costs x1.75 with the confounds"], )J" +
         tail + "}";
}

const std::string twoTaskPredictors =
    R"({"name": "faces", "role": "interest", "vif": 1.5},
       {"name": "houses", "role": "interest", "vif": 6.25},
       {"name": "trans_x", "role": "confound", "vif": 40},
       {"name": "Constant", "role": "constant", "vif": null})";

TEST(GroupSummaries, ReadTheRunsNumbersFromVersion3) {
  const bids::RunRow row = bids::readRunRow(
      summary(twoTaskPredictors, R"("conditionNumber": 31.5, "dependencies": [],
              "meanFramewiseDisplacement": 0.125)"),
      "sub-01/ses-2/func/sub-01_ses-2_task-faces_acq-fast_run-3_desc-brindle_design.json");
  EXPECT_EQ(row.label(), "sub-01 ses-2 task-faces acq-fast run-3");
  EXPECT_EQ(row.volumes, 120);
  EXPECT_EQ(row.predictors, 4);
  EXPECT_EQ(row.maxTaskVif, 6.25);
  EXPECT_EQ(row.conditionNumber, 31.5);
  EXPECT_EQ(row.flaggedPairs, 3);
  EXPECT_EQ(row.scrubbed, 3);
  EXPECT_EQ(row.maxInterestVifName, "houses");
  EXPECT_EQ(row.strongestInterestPair, (bids::PairCell{"houses", "trans_x", -0.95}));
  EXPECT_EQ(row.page,
            "sub-01/ses-2/func/sub-01_ses-2_task-faces_acq-fast_run-3_desc-brindle_design.html");
  EXPECT_EQ(row.meanFramewiseDisplacement, 0.125);
  EXPECT_EQ(row.heatmap(),
            "sub-01/ses-2/func/sub-01_ses-2_task-faces_acq-fast_run-3_desc-brindle_design.svg");
  EXPECT_EQ(row.designPicture(),
            "sub-01/ses-2/func/"
            "sub-01_ses-2_task-faces_acq-fast_run-3_desc-brindle_design_design.svg");
  // The mark and its reasons as the plug-in gave them, never worked out again.
  EXPECT_EQ(row.mark, (bids::RunMark{bids::Mark::red,
                                     {"all cannot be estimated (houses has no events)",
                                      "faces - houses costs x1.75 with the confounds"}}));
  ASSERT_EQ(row.contrasts.size(), 2u);
  EXPECT_EQ(row.contrasts[0].efficiency, 2.5);
  EXPECT_EQ(row.contrasts[0].confoundCost, 1.75);
  EXPECT_EQ(row.contrasts[1].test, "F");
  EXPECT_FALSE(row.contrasts[1].estimable);
  EXPECT_FALSE(row.contrasts[1].efficiency);
  EXPECT_EQ(row.contrasts[1].reason, "houses has no events");
}

TEST(GroupSummaries, TakeInfiniteFactorsAsStatedAndNullOnesAsNone) {
  const std::string predictors =
      R"({"name": "faces", "role": "interest", "vif": "inf"},
         {"name": "houses", "role": "interest", "vif": 2},
         {"name": "sum", "role": "confound", "vif": "inf"},
         {"name": "Constant", "role": "constant", "vif": null})";
  const auto row =
      bids::readRunRow(summary(predictors, R"("conditionNumber": "inf", "dependencies": [[2, 0, 1]],
              "meanFramewiseDisplacement": null)"),
                       "sub-01/func/sub-01_task-a_desc-brindle_design.json");
  EXPECT_EQ(row.maxTaskVif, inf);
  EXPECT_EQ(row.conditionNumber, inf);
  EXPECT_FALSE(row.meanFramewiseDisplacement);
  // A missing factor is not a factor, nor a missing condition number, whatever else the file says.
  const auto plain = bids::readRunRow(
      summary(
          R"({"name": "faces", "role": "interest", "vif": null}, {"name": "a"}, {"name": "b"},
                 {"name": "c"})",
          R"("conditionNumber": null, "dependencies": [[1, 0]], "meanFramewiseDisplacement": 0)"),
      "sub-01/func/sub-01_task-a_desc-brindle_design.json");
  EXPECT_FALSE(plain.maxTaskVif);
  EXPECT_FALSE(plain.conditionNumber);
  EXPECT_EQ(plain.strongestInterestPair, (bids::PairCell{"faces", "b", 0.9}));
}

TEST(GroupFailures, ReadTheRunItsErrorAndItsEntitiesFromTheRecord) {
  const std::string name = "sub-01/ses-2/func/sub-01_ses-2_task-a_run-3_desc-brindle_failure.json";
  const bids::FailedRun run = bids::readFailedRun(
      R"({"version": 1, "run": "sub-01 ses-2 task-a run-03", "bold": "b.nii", "events": null,
          "error": "timed out"})",
      name);
  EXPECT_EQ(std::vector<std::string>({run.label, run.subject, run.session, run.task, run.run,
                                      run.bold, run.events, run.error, run.record}),
            std::vector<std::string>({"sub-01 ses-2 task-a run-03", "01", "2", "a", "3", "b.nii",
                                      "", "timed out", name}));
  EXPECT_THROW_MSG(bids::readFailedRun(R"({"version": 1, "run": "x", "bold": "b"})", name),
                   bids::SummaryError, name + ": not a failure record (no \"error\")");
  EXPECT_THROW(bids::readFailedRun(R"({"version": 2})", name), bids::SummaryError);
}

TEST(GroupSummaries, GiveTheWarningsOfTheirNoticesNamingEachFile) {
  const std::string text =
      R"({"version": 3, "notices": [
           {"kind": "warning", "file": "/data/sub-01/func/run_events.tsv", "text": "1 event skipped"},
           {"kind": "note", "file": "c.tsv", "text": "Confounds from c.tsv: trans_x"},
           {"kind": "warning", "file": "c.tsv", "text": "3 cells n/a"}]})";
  EXPECT_EQ(bids::summaryWarnings(text, "x.json"),
            (std::vector<std::string>{"run_events.tsv: 1 event skipped", "c.tsv: 3 cells n/a"}));
  EXPECT_THROW(bids::summaryWarnings(R"({"version": 3})", "x.json"), bids::SummaryError);
}

TEST(GroupSummaries, RefuseOtherVersionsAndMissingFields) {
  const std::string name = "sub-01/func/sub-01_task-a_desc-brindle_design.json";
  EXPECT_THROW_MSG(bids::readRunRow(R"({"version": 1, "file": "x.sdm"})", name), bids::SummaryError,
                   name +
                       ": summary version 1; this brindle-bids reads version 3 only (run the "
                       "participant level again with this version of Brindle)");
  EXPECT_THROW(bids::readRunRow("[1, 2]", name), bids::SummaryError);
  EXPECT_THROW(bids::readRunRow("{\"version\": 3", name), bids::SummaryError);
  EXPECT_THROW(bids::readRunRow(
                   summary(twoTaskPredictors, R"("conditionNumber": 3, "dependencies": [])"), name),
               bids::SummaryError);
  std::string pairOutside = summary(twoTaskPredictors, R"("conditionNumber": 3, "dependencies": [],
                                    "meanFramewiseDisplacement": null)");
  pairOutside.replace(pairOutside.find("\"second\": 3"), 11, "\"second\": 4");
  EXPECT_THROW_MSG(bids::readRunRow(pairOutside, name), bids::SummaryError,
                   name + ": \"pairs\" holds an entry that is not a pair of predictors");
  std::string green = summary(twoTaskPredictors, R"("conditionNumber": 3, "dependencies": [],
                              "meanFramewiseDisplacement": null)");
  green.replace(green.find("\"red\""), 5, "\"green\"");
  EXPECT_THROW_MSG(bids::readRunRow(green, name), bids::SummaryError,
                   name + ": \"mark\" is not \"ok\", \"amber\" or \"red\"");
}

// Two runs, RunRow's members in order: summary, subject, session, task, acquisition, run,
// volumes, predictors, max task VIF, condition number, flagged pairs, scrubbed, mean FD; then
// the mark the summary gave.
std::vector<bids::RunRow> twoRows() {
  std::vector<bids::RunRow> rows{
      {"sub-01/func/sub-01_task-faces_run-1_desc-brindle_design.json", "01", "", "faces", "", "1",
       110, 33, 1.234567, 12.345, 0, 4, 0.08765},
      {"sub-02/ses-1/func/sub-02_ses-1_task-faces_desc-brindle_design.json", "02", "1", "faces", "",
       "", 100, 40, inf, std::nullopt, 2, 25, std::nullopt}};
  rows[1].mark = {bids::Mark::red, {"houses VIF inf", "scrubbed 25 %"}};
  return rows;
}

TEST(GroupTable, OneTabSeparatedRowPerRunWithNaForWhatIsMissing) {
  std::vector<bids::RunRow> rows = twoRows();
  rows[0].repetitionTime = 2.5;
  rows[0].hrf = "glover";
  EXPECT_EQ(
      bids::groupTable(rows),
      "participant_id\tsession_id\ttask\tacquisition\trun\tvolumes\tpredictors\tmax_task_vif\t"
      "condition_number\tflagged_pairs\tscrubbed_volumes\tscrubbed_fraction\t"
      "mean_framewise_displacement\tmark\treasons\ttr\thrf\tsummary\n"
      "sub-01\tn/a\tfaces\tn/a\t1\t110\t33\t1.23\t12.35\t0\t4\t0.0364\t0.0877\tok\tn/a\t2.5\t"
      "glover\tsub-01/func/sub-01_task-faces_run-1_desc-brindle_design.json\n"
      "sub-02\tses-1\tfaces\tn/a\tn/a\t100\t40\tinf\tn/a\t2\t25\t0.2500\tn/a\tred\t"
      "houses VIF inf; scrubbed 25 %\tn/a\tn/a\t"
      "sub-02/ses-1/func/sub-02_ses-1_task-faces_desc-brindle_design.json\n");
  const std::string sidecar = bids::groupTableSidecar();
  for (const char* column : {"\"participant_id\": {", "\"max_task_vif\": {", "\"Units\": \"mm\"",
                             "\"Levels\": {", "\"tr\": {", "\"hrf\": {", "\"summary\": {"})
    EXPECT_NE(sidecar.find(column), std::string::npos) << column;
  EXPECT_EQ(sidecar.find('\r'), std::string::npos);
}

// The page of three runs and a failed one, byte for byte: a run without session, one with
// infinite factors and nothing else known, one with all that later summaries add, names that
// try to end the page's script.
TEST(GroupPage, TheWholePageOfAFewRunsIsTheGoldenOne) {
  std::vector<bids::RunRow> rows = twoRows();
  rows.push_back(rows[0]);
  bids::RunRow& third = rows.back();
  third.summary = "sub-03/ses-2/func/sub-03_ses-2_task-faces_run-1_desc-brindle_design.json";
  third.subject = "03";
  third.session = "2";
  third.maxTaskVif = 44.449;
  third.mark = {bids::Mark::red, {"faces VIF 44.4", "faces ~ houses r = -0.97"}};
  third.strongestInterestPair = bids::PairCell{"faces", "houses", -0.969};
  third.designOnly = true;
  third.repetitionTime = 2.5;
  third.hrf = "spm";
  third.contrasts = {{"faces > houses", "t", false, {}, {}, "no houses"},
                     {"</script><!--", "F", true, 0.4, 0.3, ""}};
  rows[0].contrasts = {{"faces > houses", "t", true, 1.5, 0.05, ""}};
  rows[0].skippedEvents = {{{"onset n/a", 2}, {"trial_type <n/a>", 1}}};
  third.skippedEvents = {{{"onset n/a", 3}}};
  for (auto [row, name] :
       {std::pair{&rows[0], "faces"}, {&rows[1], "houses"}, {&rows[2], "faces"}}) {
    row->page = row->summary.substr(0, row->summary.size() - 5) + ".html";
    row->maxInterestVifName = name;
  }
  const std::vector<bids::FailedRun> failed = {
      {"sub-03 ses-2 task-faces run-2", "03", "2", "faces", "2",
       "sub-03/ses-2/func/sub-03_ses-2_task-faces_run-2_bold.nii.gz",
       "sub-03/ses-2/func/sub-03_ses-2_task-faces_run-2_events.tsv", "no confounds file <x.tsv>",
       "sub-03/ses-2/func/sub-03_ses-2_task-faces_run-2_desc-brindle_failure.json"}};
  const std::string page = bids::groupPage(rows, failed);
  const std::string golden =
      testing_support::sourceDir() + "/tests/bids/expected/group_report.html";
  if (page != testing_support::readFile(golden)) {
    const std::string actual = testing_support::buildDir() + "/group_report_actual.html";
    testing_support::writeFile(actual, page);
    ADD_FAILURE() << "the page differs from " << golden << ": see " << actual;
  }
  for (const char* outside : {"https:", "src=", "<link", "url(", "\r"})
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
}

TEST(GroupFiles, NoSummaryOrAnOldOneWritesNoReport) {
  testing_support::TempDir dir;
  std::ostringstream log;
  EXPECT_EQ(bids::runGroup(dir.path(), log), 1);
  EXPECT_NE(log.str().find("run the participant level first"), std::string::npos);
  dir.write("sub-01/func/sub-01_task-a_desc-brindle_design.json", R"({"version": 1})");
  EXPECT_EQ(bids::runGroup(dir.path(), log), 1);
  EXPECT_NE(log.str().find("summary version 1"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "group_report.tsv"));
}

TEST(ParticipantCommands, TormelsTwoTasksPerRunUnderTheOutputNames) {
  bids::ParticipantOptions options;
  options.timeDerivatives = true;
  options.conditions = "fa*";
  options.conditionColumn = "stim_type";
  bids::RunPlan plan;
  plan.events = "/data/task-faces_events.tsv";
  plan.repetitionTime = 2.5;
  plan.sliceTimeRef = 0.45;
  plan.conditions = {"faces", "houses"};
  plan.confounds = "/d/sub-01/func/sub-01_task-faces_run-02_desc-confounds_timeseries.tsv";
  plan.prefix = "sub-01_task-faces_run-02";
  EXPECT_EQ(bids::designArguments(options, plan),
            (std::vector<std::string>{"design",
                                      "/data/task-faces_events.tsv",
                                      "--tr",
                                      "2.5",
                                      "--volumes-from",
                                      plan.confounds->string(),
                                      "--slice-time-ref",
                                      "0.45",
                                      "--hrf",
                                      "spm",
                                      "--derivatives",
                                      "--condition-column",
                                      "stim_type",
                                      "--condition",
                                      "faces",
                                      "--condition",
                                      "houses",
                                      "--conditions",
                                      "fa*",
                                      "--corr",
                                      "--json",
                                      "--save",
                                      "sub-01_task-faces_run-02_desc-events_design.sdm"}));
  EXPECT_EQ(bids::checkArguments(options, plan),
            (std::vector<std::string>{"mergeall",
                                      "sub-01_task-faces_run-02_desc-events_design.sdm",
                                      plan.confounds->string(),
                                      "--confounds",
                                      "motion24,wm_csf,cosine,scrub",
                                      "--tr",
                                      "2.5",
                                      "--baseline",
                                      "--corr",
                                      "--plot",
                                      "--json",
                                      "--events-file",
                                      "/data/task-faces_events.tsv",
                                      "--condition-column",
                                      "stim_type",
                                      "--html",
                                      "--warn",
                                      "0.8",
                                      "--save",
                                      "sub-01_task-faces_run-02_desc-brindle_design.sdm"}));
  // The merge writes the run's summary: it gets the settings.
  const auto commands = bids::tormelCommands(options, plan);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0], bids::designArguments(options, plan));
  EXPECT_EQ(commands[1][commands[1].size() - 2], "--provenance");
  // A design only: the image's volumes, the drifts, the design the result with its whole report.
  plan.confounds.reset();
  plan.designOnly = true;
  plan.volumes = 140;
  const std::vector<std::string> alone = bids::designArguments(options, plan);
  EXPECT_EQ(alone[5], "140");
  EXPECT_EQ(std::vector<std::string>(alone.end() - 10, alone.end()),
            (std::vector<std::string>{"--high-pass", "128", "--corr", "--json", "--plot", "--html",
                                      "--warn", "0.8", "--save",
                                      "sub-01_task-faces_run-02_desc-brindle_design.sdm"}));
  EXPECT_TRUE(bids::checkArguments(options, plan).empty());
  EXPECT_EQ(bids::tormelCommands(options, plan).size(), 1u);
  EXPECT_NE(bids::datasetDescription().find("\"DatasetType\": \"derivative\""), std::string::npos);
}

TEST(ParticipantCommands, TheSettingsSayWhereEachValueCameFromInAscii) {
  bids::ParticipantOptions options;
  options.dataset = "/data";
  options.derivatives = "/data/derivatives/fmriprep";
  options.tormel = "/opt/Tormel";
  bids::RunPlan plan;
  plan.run.bold = "/data/sub-01/func/sub-01_task-faces_run-1_bold.nii.gz";
  plan.events = "/data/task-faces_events.tsv";
  plan.repetitionTime = 2;
  plan.repetitionTimeSource = "task-faces_bold.json";
  plan.sliceTimeRef = 0.5;
  plan.sliceTimeRefSource = "sub-01/func/sub-01_task-faces_run-1_desc-preproc_bold.json";
  plan.conditions = {"faces", "h\xC3\xA4user"};
  plan.confounds = "/data/derivatives/fmriprep/sub-01/func/x_desc-confounds_timeseries.tsv";
  EXPECT_EQ(
      bids::runSettings(options, plan, {{"design", "a b"}, {"mergeall"}}),
      "{\"RepetitionTime\":2.0,\"RepetitionTimeSource\":\"task-faces_bold.json\","
      "\"SliceTimingReference\":0.5,\"SliceTimingReferenceSource\":\"sub-01/func/"
      "sub-01_task-faces_run-1_desc-preproc_bold.json\",\"HRF\":\"spm\",\"ConditionColumn\":"
      "\"trial_type\",\"Conditions\":[\"faces\",\"h\\u00e4user\"],\"ConfoundTerms\":"
      "\"motion24,wm_csf,cosine,scrub\",\"HighPassCutoff\":null,\"Events\":"
      "\"task-faces_events.tsv\",\"Confounds\":\"sub-01/func/x_desc-confounds_timeseries.tsv\","
      "\"Image\":\"sub-01/func/sub-01_task-faces_run-1_bold.nii.gz\",\"DesignOnly\":false,"
      "\"BrindleVersion\":\"1.0\",\"Commands\":[[\"/opt/Tormel\",\"design\",\"a b\"],"
      "[\"/opt/Tormel\",\"mergeall\"]]}");
}

}  // namespace
