// brindle-bids end to end: sdmgen --bids writes the dataset, brindle-bids runs the participant
// level with one job and with four (the same bytes), then the group level (the golden table);
// a table of small datasets, each with its messages and the files written.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "confound_generator.h"
#include "nifti_image.h"
#include "support/process.h"
#include "support/row_name.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::runProcess;
using tools::ConfoundShape;
using tools::ConfoundTextFormat;
using tools::generateConfoundText;
using tools::gzipStored;
using tools::niftiImage;

std::string program(const char* name) { return testing_support::buildDir() + "/" + name; }

// Every file under `root`, relative, in byte order.
std::vector<std::string> filesUnder(const fs::path& root) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(root).string());
  std::sort(files.begin(), files.end());
  return files;
}

// The files of every run: the task design and the merged one with its report, heatmap, design
// picture and summary; the run without confounds has its design checked alone.
std::vector<std::string> expectedFiles() {
  std::vector<std::string> files{"dataset_description.json"};
  for (const char* run :
       {"sub-01/func/sub-01_task-faces_run-1", "sub-01/func/sub-01_task-faces_run-2",
        "sub-02/ses-1/func/sub-02_ses-1_task-faces_run-1",
        "sub-02/ses-1/func/sub-02_ses-1_task-faces_run-2",
        "sub-02/ses-2/func/sub-02_ses-2_task-faces_run-1",
        "sub-02/ses-2/func/sub-02_ses-2_task-faces_run-2"})
    for (const char* tail :
         {"_desc-brindle_design.csv", "_desc-brindle_design.json", "_desc-brindle_design.sdm",
          "_desc-brindle_design.svg", "_desc-brindle_design_design.svg", "_desc-events_design.csv",
          "_desc-events_design.json", "_desc-events_design.sdm"})
      files.push_back(std::string(run) + tail);
  for (const char* tail : {".csv", ".json", ".sdm"})
    std::erase(files, "sub-02/ses-2/func/sub-02_ses-2_task-faces_run-1_desc-events_design" +
                          std::string(tail));
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

// The participant level into `out` with `jobs` jobs: every run done, one without confounds.
void runParticipant(const fs::path& dataset, const fs::path& out, const char* jobs) {
  const auto result = runProcess(program("brindle-bids"),
                                 {dataset.string(), out.string(), "participant", "-j", jobs});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.out.empty()) << result.out;
  EXPECT_EQ(occurrences(result.err, " ok ("), 6u) << result.err;
  EXPECT_EQ(occurrences(result.err, "    warning: no confounds table "), 1u) << result.err;
  EXPECT_TRUE(result.err.ends_with("\nbrindle-bids: 6 of 6 runs done\n")) << result.err;
  // The "n/a" row of every events file is skipped and warned about, run by run.
  EXPECT_EQ(occurrences(result.err, "    warning: "), 7u) << result.err;
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
  EXPECT_NE(empty.err.find("no run with events"), std::string::npos) << empty.err;
}

TEST(SdmgenBids, TheSameSeedWritesTheSameDatasetWithMatchingRows) {
  testing_support::TempDir dir;
  for (const char* name : {"a", "b"})
    ASSERT_EQ(runProcess(program("sdmgen"), {"--bids", dir.file(name), "--seed", "3"}).exitCode, 0);
  EXPECT_EQ(sameFiles(dir.path() / "a", dir.path() / "b").size(), 26u);
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

namespace {

// A file of a small dataset, relative to the test's folder, and its bytes; `pipe` and `loop`
// make a named pipe and a link to itself instead.
using Files = std::vector<std::pair<std::string, std::string>>;
const std::string pipe = "<pipe>", loop = "<loop>";
const std::string run1 = "ds/sub-01/func/sub-01_task-a_run-01_bold.nii.gz",
                  confounds1 =
                      "ds/derivatives/fmriprep/sub-01/func/"
                      "sub-01_task-a_run-1_desc-confounds_timeseries.tsv";

// One raw run-01 of 40 volumes, its events and TR at the root, its confounds as run-1.
Files baseDataset() {
  ConfoundShape shape;
  shape.points = 40;
  return {{run1, gzipStored(niftiImage({1, false, 40, 2.0, 0x0a}))},
          {"ds/task-a_bold.json", "{\"RepetitionTime\": 2}"},
          {"ds/task-a_events.tsv", "onset\tduration\ttrial_type\n4\t6\tgo\n30\t6\tgo\n50\t6\tgo\n"},
          {confounds1, generateConfoundText(shape, ConfoundTextFormat::tsv)}};
}

struct DatasetCase {
  const char* what;
  Files files;                    // over those of baseDataset()
  std::vector<std::string> args;  // after BIDS_DIR OUTPUT_DIR participant -j 1
  int status;
  std::string log;                      // standard error: "$D" for the folder, "ok" for "ok (N s)"
  std::vector<std::string> outputs;     // the files under OUTPUT_DIR
  std::vector<std::string> first = {};  // not empty: a run before, ending the other way
  std::string out = "out";
  std::string record = "";  // not empty: the failure record of sub-01's run-01
};

const std::vector<std::string> designs = {
    "sub-01/func/sub-01_task-a_run-01_desc-brindle_design.csv",
    "sub-01/func/sub-01_task-a_run-01_desc-brindle_design.json",
    "sub-01/func/sub-01_task-a_run-01_desc-brindle_design.sdm",
    "sub-01/func/sub-01_task-a_run-01_desc-brindle_design.svg",
    "sub-01/func/sub-01_task-a_run-01_desc-brindle_design_design.svg"};
const std::string failure = "sub-01/func/sub-01_task-a_run-01_desc-brindle_failure.json";
// The task design with its report and summary, which tell what the events file held.
const std::vector<std::string> events = {"sub-01/func/sub-01_task-a_run-01_desc-events_design.csv",
                                         "sub-01/func/sub-01_task-a_run-01_desc-events_design.json",
                                         "sub-01/func/sub-01_task-a_run-01_desc-events_design.sdm"};

std::vector<std::string> with(std::vector<std::string> files, std::vector<std::string> more) {
  files.insert(files.end(), more.begin(), more.end());
  std::sort(files.begin(), files.end());
  return files;
}

void makeFiles(const testing_support::TempDir& dir, const Files& files) {
  for (const auto& [path, bytes] : files) {
    const fs::path file = dir.path() / path;
    fs::create_directories(file.parent_path());
    fs::remove(file);
    if (bytes == pipe)
      ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    else if (bytes == loop)
      fs::create_symlink(file.filename(), file);
    else
      dir.write(path, bytes);
  }
}

// brindle-bids under a time limit of its own: a hang fails the test instead of stalling it.
testing_support::ProcessResult participant(const testing_support::TempDir& dir,
                                           const std::string& out,
                                           const std::vector<std::string>& args) {
  std::vector<std::string> words{
      "120", program("brindle-bids"), dir.file("ds"), dir.file(out), "participant", "-j", "1"};
  words.insert(words.end(), args.begin(), args.end());
  for (std::string& word : words)
    if (word.starts_with("$D/")) word = dir.file(word.substr(3));
  return runProcess("/usr/bin/timeout", words);
}

std::string normalised(std::string log, const std::string& folder) {
  for (auto at = log.find(folder); at != std::string::npos; at = log.find(folder))
    log.replace(at, folder.size(), "$D");
  return std::regex_replace(log, std::regex(" ok \\([0-9.]+ s\\)"), " ok");
}

class SmallDatasets : public ::testing::TestWithParam<DatasetCase> {};

TEST_P(SmallDatasets, SayWhatHappenedToEveryRunAndWriteOnlyTheirOutputs) {
  const DatasetCase& row = GetParam();
  testing_support::TempDir dir;
  makeFiles(dir, baseDataset());
  // A run before the one looked at ends the other way: a success before a failure, or back.
  if (!row.first.empty()) {
    ASSERT_EQ(participant(dir, row.out, row.first).exitCode, row.status == 0 ? 1 : 0);
  }
  makeFiles(dir, row.files);
  const auto result = participant(dir, row.out, row.args);
  EXPECT_EQ(result.exitCode, row.status);
  EXPECT_EQ(normalised(result.err, dir.path().string()), row.log);
  EXPECT_EQ(fs::exists(dir.path() / row.out) ? filesUnder(dir.path() / row.out)
                                             : std::vector<std::string>{},
            row.outputs);
  if (!row.record.empty()) {
    EXPECT_EQ(normalised(readFile(dir.path() / row.out / failure), dir.path().string()),
              row.record);
  }
}

const std::string lastLine = "brindle-bids: 1 of 1 runs done\n",
                  bold1 = "sub-01/func/sub-01_task-a_run-01_bold.nii.gz",
                  boldX = "sub-01/func/sub-01_task-a_run-01_desc-x_bold.nii.gz",
                  pipeText = "a named pipe, not a regular file",
                  twins[] = {bold1 + " would write the same files as " + boldX,
                             boldX + " would write the same files as " + bold1},
                  noColumn =
                      "Tormel mergeall exited with status 1: [message] Error: No confound column "
                      "matches \"no_such_column\" in $D/ds/" +
                      confounds1.substr(3) +
                      " (columns: global_signal, global_signal_derivative1, global_signal_power2, "
                      "global_signal_derivative1_power2, csf, csf_derivative1, csf_power2, "
                      "csf_derivative1_power2, white_matter, white_matter_derivative1, ...)",
                  placeholder =
                      "$D/ds/sub-01/func/sub-01_task-a_run-02_bold.nii.gz is 0 bytes: not a NIfTI "
                      "image (a placeholder?); give the real image, or a confounds table "
                      "$D/none/sub-01/func/sub-01_task-a_run-02_desc-confounds_timeseries.tsv";

INSTANTIATE_TEST_SUITE_P(
    Rows, SmallDatasets,
    ::testing::ValuesIn(std::vector<DatasetCase>{
        {"run 01 raw run 1 derivatives events at the root",
         {},
         {},
         0,
         "[1/1] sub-01 task-a run-01 ok\n" + lastLine,
         with(with(designs, events), {"dataset_description.json"})},
        {"a run without events",
         {{"ds/sub-01/func/sub-01_task-rest_bold.nii.gz", ""}},
         {},
         0,
         "task-rest: 1 run without events, skipped\n[1/1] sub-01 task-a run-01 ok\n" + lastLine,
         with(with(designs, events), {"dataset_description.json"})},
        {"a pipe for the confounds table",
         {{confounds1, pipe}},
         {},
         1,
         "[1/1] sub-01 task-a run-01 FAILED: $D/" + confounds1 + ": " + pipeText +
             "\nbrindle-bids: 1 of 1 runs failed:\n  " + bold1 + ": $D/" + confounds1 + ": " +
             pipeText + "\n",
         {"dataset_description.json", failure}},
        {"a folder that cannot be read",
         {{"ds/sub-02/func", loop}, {"ds/sub-03/ses-1", "a file"}},
         {},
         1,
         "brindle-bids: sub-02/func: cannot be read (too many links): the runs "
         "in it are not known\nbrindle-bids: sub-03/ses-1: not a folder: the runs in it are not "
         "known\n[1/1] sub-01 task-a run-01 ok\n" +
             lastLine +
             "brindle-bids: 2 folders could not be read, the runs in them are not counted:\n"
             "  sub-02/func: cannot be read (too many links)\n"
             "  sub-03/ses-1: not a folder\n",
         with(with(designs, events), {"dataset_description.json"})},
        {"description twins",
         {{"ds/sub-01/func/sub-01_task-a_run-01_desc-x_bold.nii.gz", ""},
          {"ds/sub-01/func/sub-01_task-a_run-01_desc-y_events.tsv", "onset\tduration\n"}},
         {},
         1,
         "brindle-bids: sub-01/func/sub-01_task-a_run-01_desc-y_events.tsv applies to no run (no "
         "*_bold.nii[.gz] has its entities)\n[1/2] sub-01 task-a run-01 FAILED: " +
             twins[0] + "\n[2/2] sub-01 task-a run-01 desc-x FAILED: " + twins[1] +
             "\nbrindle-bids: 2 of 2 runs failed:\n  " + bold1 + ": " + twins[0] + "\n  " + boldX +
             ": " + twins[1] + "\n",
         {"dataset_description.json"}},
        {"output is the dataset",
         {},
         {},
         73,
         "brindle-bids: OUTPUT_DIR $D/ds is the dataset BIDS_DIR $D/ds: its files would be "
         "replaced; give another folder, such as $D/ds/derivatives/brindle\n",
         {confounds1.substr(3), bold1, "task-a_bold.json", "task-a_events.tsv"},
         {},
         "ds"},
        {"a description Brindle did not write",
         {{"out/dataset_description.json", "{\"Name\": \"fMRIPrep\"}"}},
         {},
         73,
         "brindle-bids: $D/out/dataset_description.json was not written by Brindle (its "
         "GeneratedBy names no Brindle): it is not replaced; give another OUTPUT_DIR\n",
         {"dataset_description.json"}},
        {"a failure after a success",
         {},
         {"--confounds", "no_such_column"},
         1,
         "[1/1] sub-01 task-a run-01 FAILED: " + noColumn +
             "\nbrindle-bids: 1 of 1 runs failed:\n  " + bold1 + ": " + noColumn + "\n",
         {"dataset_description.json", failure},
         {"--warn", "0.5"},
         "out",
         "{\n  \"version\": 1,\n  \"run\": \"sub-01 task-a run-01\",\n  \"bold\": \"" + bold1 +
             "\",\n  \"events\": \"task-a_events.tsv\",\n  \"error\": \"" +
             std::regex_replace(noColumn, std::regex("\""), "\\\"") + "\"\n}\n"},
        {"a success after a failure",
         {},
         {},
         0,
         "[1/1] sub-01 task-a run-01 ok\n" + lastLine,
         with(with(designs, events), {"dataset_description.json"}),
         {"--confounds", "no_such_column"}},
        {"no derivatives and a placeholder image",
         {{"ds/sub-01/func/sub-01_task-a_run-02_bold.nii.gz", ""}},
         {"--derivatives", "$D/none"},
         1,
         "[1/2] sub-01 task-a run-01 ok\n    warning: no confounds table "
         "$D/none/sub-01/func/sub-01_task-a_run-01_desc-confounds_timeseries.tsv (nor the older "
         "*_desc-confounds_regressors.tsv): the design holds the task predictors alone, 40 volumes "
         "from the image's header\n[2/2] sub-01 task-a run-02 FAILED: " +
             placeholder +
             "\nbrindle-bids: 1 of 2 runs failed:\n  "
             "sub-01/func/sub-01_task-a_run-02_bold.nii.gz: " +
             placeholder + "\n",
         with(designs, {"dataset_description.json",
                        "sub-01/func/sub-01_task-a_run-02_desc-brindle_failure.json"})},
        {"unknown participant",
         {},
         {"--participant_label", "sub-07"},
         64,
         "brindle-bids: no participant sub-07 in $D/ds (there are: sub-01)\n",
         {}},
    }),
    testing_support::rowName);

}  // namespace
