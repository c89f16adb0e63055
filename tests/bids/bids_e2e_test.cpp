// brindle-bids end to end: sdmgen --bids writes the dataset, brindle-bids runs the participant
// level with one job and with four (the same bytes), then the group level (the golden table);
// a model file and the same design given by options (the same bytes); a table of small
// datasets, each with its messages and the files written.

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
// picture and summary.
std::vector<std::string> expectedFiles() {
  std::vector<std::string> files{"dataset_description.json"};
  for (const char* run :
       {"sub-01/func/sub-01_task-faces_run-1", "sub-01/func/sub-01_task-faces_run-2",
        "sub-02/ses-1/func/sub-02_ses-1_task-faces_run-1",
        "sub-02/ses-1/func/sub-02_ses-1_task-faces_run-2",
        "sub-02/ses-2/func/sub-02_ses-2_task-faces_run-1",
        "sub-02/ses-2/func/sub-02_ses-2_task-faces_run-2", "sub-03/func/sub-03_task-faces_run-1"})
    for (const char* tail :
         {"_desc-brindle_design.csv", "_desc-brindle_design.html", "_desc-brindle_design.json",
          "_desc-brindle_design.sdm", "_desc-brindle_design.svg", "_desc-brindle_design_design.svg",
          "_desc-events_design.csv", "_desc-events_design.json", "_desc-events_design.sdm"})
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

// The participant level into `out` with `jobs` jobs and `more` options: every run done; the
// paired run and the one whose conditions share their events red.
std::string runParticipant(const fs::path& dataset, const fs::path& out, const char* jobs,
                           const std::vector<std::string>& more = {}) {
  std::vector<std::string> args{dataset.string(), out.string(), "participant", "-j", jobs};
  args.insert(args.end(), more.begin(), more.end());
  const auto result = runProcess(program("brindle-bids"), args);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.out.empty()) << result.out;
  EXPECT_EQ(occurrences(result.err, " ok ("), 5u) << result.err;
  EXPECT_EQ(occurrences(result.err, "] sub-02 ses-1 task-faces run-2 red: "), 1u) << result.err;
  EXPECT_EQ(occurrences(result.err, "] sub-03 task-faces run-1 red: "), 1u) << result.err;
  EXPECT_TRUE(result.err.ends_with("\nbrindle-bids: 7 of 7 runs done\n")) << result.err;
  // The "n/a" row of every events file is skipped and warned about, run by run.
  EXPECT_EQ(occurrences(result.err, "    warning: "), 7u) << result.err;
  EXPECT_EQ(occurrences(result.err, ": 1 event(s) skipped: modulation n/a (lines 4)\n"), 6u);
  return result.err;
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

// The example model and the same design given by options write the same files, the model's X
// and HRF in the designs, its contrasts (the dummy ones named as their variables) in the
// summaries.
TEST(BidsApp, AModelFileMakesTheDesignsTheSameOptionsMake) {
  testing_support::TempDir dir;
  const fs::path dataset = dir.path() / "bids";
  ASSERT_EQ(runProcess(program("sdmgen"), {"--bids", dataset.string()}).exitCode, 0);
  const std::string log =
      runParticipant(dataset, dir.path() / "model", "2",
                     {"--model", testing_support::sourceDir() + "/examples/model-faces_smdl.json"});
  EXPECT_TRUE(log.starts_with(
      "brindle-bids: model faces_houses: the subject and dataset nodes analyse the runs' "
      "contrasts later; Brindle checks the run-level designs\n"))
      << log;
  runParticipant(
      dataset, dir.path() / "options", "2",
      {"--conditions", "faces,houses", "--confounds", "trans_*,rot_*,white_matter,csf,cosine*",
       "--contrast", "faces_gt_houses = faces - houses", "--contrast",
       "task = [faces + 0 houses, 0 faces + houses]", "--contrast", "trial_type.faces = faces",
       "--contrast", "trial_type.houses = houses"});
  EXPECT_EQ(sameFiles(dir.path() / "model", dir.path() / "options"), expectedFiles());
  EXPECT_NE(
      readFile(dir.path() / "model/sub-01/func/sub-01_task-faces_run-1_desc-brindle_design.json")
          .find("{\"name\": \"task\", \"test\": \"F\", \"weights\": [{\"faces\": 1, "
                "\"houses\": 0}, {\"faces\": 0, \"houses\": 1}]"),
      std::string::npos);
}

// Before preprocessing: without the derivatives every run's design is checked with its drifts.
TEST(BidsApp, TheGeneratedDatasetWithoutDerivativesChecksEveryDesignAlone) {
  testing_support::TempDir dir;
  const fs::path dataset = dir.path() / "bids", out = dir.path() / "out";
  ASSERT_EQ(runProcess(program("sdmgen"), {"--bids", dataset.string()}).exitCode, 0);
  fs::remove_all(dataset / "derivatives");
  const auto result = runProcess(program("brindle-bids"),
                                 {dataset.string(), out.string(), "participant", "-j", "2"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.err.starts_with("brindle-bids: no derivatives folder " +
                                     (dataset / "derivatives" / "fmriprep").string() +
                                     ": every run's design is checked without confounds (design "
                                     "only)\n"))
      << result.err;
  EXPECT_TRUE(result.err.ends_with("\nbrindle-bids: 7 of 7 runs done\n")) << result.err;
  const auto group = runProcess(program("brindle-bids"), {dataset.string(), out.string(), "group"});
  EXPECT_EQ(group.err, "brindle-bids: group report of 7 of 7 runs (0 failed, 2 red, 0 amber): " +
                           (out / "group_report.html").string() + "\n");
  EXPECT_EQ(
      readFile(out / "group_report.tsv"),
      readFile(testing_support::sourceDir() + "/tests/bids/expected/group_report_design_only.tsv"));
  const std::string page = readFile(out / "group_report.html");
  EXPECT_NE(page.find("<li><b>7</b> design only</li>"), std::string::npos);
  EXPECT_NE(page.find("<tr><td class=\"text\">modulation n/a</td><td>8</td><td>7</td></tr>"),
            std::string::npos);
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
  for (const char* name : {"a", "b"}) {
    const auto made = runProcess(program("sdmgen"), {"--bids", dir.file(name), "--seed", "3"});
    ASSERT_EQ(made.exitCode, 0);
    EXPECT_EQ(made.out,
              "sdmgen: wrote a BIDS dataset of 7 runs (3 subjects) with fMRIPrep "
              "confounds to " +
                  dir.file(name) + "\n");
  }
  EXPECT_EQ(sameFiles(dir.path() / "a", dir.path() / "b").size(), 30u);
  const std::string fmriprep = dir.file("a") + "/derivatives/fmriprep/sub-02/ses-2/func/";
  for (const auto& [run, lines] : {std::pair{"run-1", 281u}, {"run-2", 361u}})
    EXPECT_EQ(occurrences(readFile(fmriprep + "sub-02_ses-2_task-faces_" + run +
                                   "_desc-confounds_timeseries.tsv"),
                          "\n"),
              lines);
  const std::string events =
      readFile(dir.file("a") + "/sub-01/func/sub-01_task-faces_run-1_events.tsv");
  EXPECT_EQ(events.rfind("onset\tduration\ttrial_type\tmodulation\n", 0), 0u);
  EXPECT_EQ(occurrences(events, "n/a"), 1u);
  EXPECT_EQ(events.find('\r'), std::string::npos);
  // The third subject's houses events are its faces events again, the n/a row's twin too.
  const std::string twins =
      readFile(dir.file("a") + "/sub-03/func/sub-03_task-faces_run-1_events.tsv");
  EXPECT_EQ(occurrences(twins, "n/a"), 2u);
  EXPECT_NE(twins.find("\tfaces\t"), std::string::npos);
  for (std::size_t line = twins.find('\n') + 1; line < twins.size();) {
    const std::size_t next = twins.find('\n', line), after = twins.find('\n', next + 1);
    const std::string faces = twins.substr(line, next - line),
                      houses = twins.substr(next + 1, after - next - 1);
    EXPECT_EQ(std::regex_replace(faces, std::regex("faces"), "houses"), houses);
    line = after + 1;
  }
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

std::string image40() { return gzipStored(niftiImage({1, false, 40, 2.0, 0x0a})); }

std::string confounds40() {
  ConfoundShape shape;
  shape.points = 40;
  return generateConfoundText(shape, ConfoundTextFormat::tsv);
}

// One raw run-01 of 40 volumes, its events and TR at the root, its confounds as run-1.
Files baseDataset() {
  return {{run1, image40()},
          {"ds/task-a_bold.json", "{\"RepetitionTime\": 2}"},
          {"ds/task-a_events.tsv", "onset\tduration\ttrial_type\n4\t6\tgo\n30\t6\tgo\n50\t6\tgo\n"},
          {confounds1, confounds40()}};
}

Files plus(Files files, const Files& more) {
  files.insert(files.end(), more.begin(), more.end());
  return files;
}

// A second run of sub-01, with its image and, when `table`, its confounds.
Files secondRun(bool table) {
  Files files{{"ds/sub-01/func/sub-01_task-a_run-02_bold.nii.gz", image40()}};
  if (table) {
    files.emplace_back(
        "ds/derivatives/fmriprep/sub-01/func/sub-01_task-a_run-2_desc-confounds_timeseries.tsv",
        confounds40());
  }
  return files;
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
    "sub-01/func/sub-01_task-a_run-01_desc-brindle_design.html",
    "sub-01/func/sub-01_task-a_run-01_desc-brindle_design.json",
    "sub-01/func/sub-01_task-a_run-01_desc-brindle_design.sdm",
    "sub-01/func/sub-01_task-a_run-01_desc-brindle_design.svg",
    "sub-01/func/sub-01_task-a_run-01_desc-brindle_design_design.svg"};
const std::string failure = "sub-01/func/sub-01_task-a_run-01_desc-brindle_failure.json";
// The task design with its report and summary, which tell what the events file held.
const std::vector<std::string> events = {"sub-01/func/sub-01_task-a_run-01_desc-events_design.csv",
                                         "sub-01/func/sub-01_task-a_run-01_desc-events_design.json",
                                         "sub-01/func/sub-01_task-a_run-01_desc-events_design.sdm"};

// `files` of run-01 as run-02 has them.
std::vector<std::string> ofRun2(std::vector<std::string> files) {
  for (std::string& file : files) file.replace(file.find("run-01"), 6, "run-02");
  return files;
}

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
  return std::regex_replace(log, std::regex(" \\([0-9.]+ s\\)\n"), "\n");
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

// The mark of run-01: 40 volumes and the default confounds cost its one condition much.
const std::string red = "red: go costs x7.48 with the confounds; go VIF 7.48";
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
                  bold2 = "sub-01/func/sub-01_task-a_run-02_bold.nii.gz",
                  placeholder =
                      "$D/ds/sub-01/func/sub-01_task-a_run-02_bold.nii.gz is 0 bytes: not a NIfTI "
                      "image (a placeholder?); give the real image",
                  noTable =
                      "no confounds file "
                      "$D/ds/derivatives/fmriprep/sub-01/func/"
                      "sub-01_task-a_run-02_desc-confounds_timeseries.tsv (nor the older "
                      "*_desc-confounds_regressors.tsv); --design-only checks the designs without "
                      "confounds",
                  clash =
                      "Tormel design exited with status 1: [message] Error: Cannot model the "
                      "events of $D/ds/task-a_events.tsv (condition go_derivative has the name of "
                      "the time derivative of condition go)";

INSTANTIATE_TEST_SUITE_P(
    Rows, SmallDatasets,
    ::testing::ValuesIn(std::vector<DatasetCase>{
        {"run 01 raw run 1 derivatives events at the root",
         {},
         {},
         0,
         "[1/1] sub-01 task-a run-01 " + red + "\n" + lastLine,
         with(with(designs, events), {"dataset_description.json"})},
        {"a run without events",
         {{"ds/sub-01/func/sub-01_task-rest_bold.nii.gz", ""}},
         {},
         0,
         "task-rest: 1 run without events, skipped\n[1/1] sub-01 task-a run-01 " + red + "\n" +
             lastLine,
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
         "known\n[1/1] sub-01 task-a run-01 " +
             red + "\n" + lastLine +
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
         "[1/1] sub-01 task-a run-01 " + red + "\n" + lastLine,
         with(with(designs, events), {"dataset_description.json"}),
         {"--confounds", "no_such_column"}},
        {"no derivatives: design only, and a placeholder image fails",
         {{"ds/sub-01/func/sub-01_task-a_run-02_bold.nii.gz", ""}},
         {"--derivatives", "$D/none"},
         1,
         "brindle-bids: no derivatives folder $D/none: every run's design is checked without "
         "confounds (design only)\n[1/2] sub-01 task-a run-01 ok\n[2/2] sub-01 task-a run-02 "
         "FAILED: " +
             placeholder + "\nbrindle-bids: 1 of 2 runs failed:\n  " + bold2 + ": " + placeholder +
             "\n",
         with(designs, {"dataset_description.json",
                        "sub-01/func/sub-01_task-a_run-02_desc-brindle_failure.json"})},
        {"a contrast no run can have",
         {},
         {"--contrast", "go - stop"},
         64,
         "brindle-bids: contrast \"go - stop\" names \"stop\", which no design of the selected "
         "runs can have (conditions: go; or a column of their confounds tables)\n",
         {}},
        {"a model of what Brindle does not do",
         {{"m.json",
           "{\"BIDSModelVersion\": \"1.0.0\", \"Nodes\": [{\"Level\": \"run\", "
           "\"Model\": {\"X\": [1]}, \"Transformations\": {\"Transformer\": "
           "\"pybids-transforms-v1\", \"Instructions\": [{\"Name\": \"Threshold\"}]}}]}"}},
         {"--model", "$D/m.json"},
         64,
         "brindle-bids: --model: $D/m.json: transformation Threshold is not supported\n",
         {}},
        {"the default model and a red cost of its own",
         {},
         {"--model", "default", "--red-cost", "8", "--confounds", "motion6"},
         0,
         "[1/1] sub-01 task-a run-01 amber: trial_type.go costs x1.64 with the confounds\n" +
             lastLine,
         with(with(designs, events), {"dataset_description.json"})},
        {"design only beside derivatives",
         {},
         {"--design-only"},
         0,
         "[1/1] sub-01 task-a run-01 ok\n" + lastLine,
         with(designs, {"dataset_description.json"})},
        {"a run without a table beside derivatives fails",
         secondRun(false),
         {},
         1,
         "[1/2] sub-01 task-a run-01 red: go costs x7.48 with the confounds; go VIF 7.48\n"
         "[2/2] sub-01 task-a run-02 FAILED: " +
             noTable + "\nbrindle-bids: 1 of 2 runs failed:\n  " + bold2 + ": " + noTable + "\n",
         with(with(designs, events),
              {"dataset_description.json",
               "sub-01/func/sub-01_task-a_run-02_desc-brindle_failure.json"})},
        {"one condition list per task",
         plus(secondRun(true), {{"ds/sub-01/func/sub-01_task-a_run-02_events.tsv",
                                 "onset\tduration\ttrial_type\n10\t6\tstop\n"}}),
         {},
         0,
         "[1/2] sub-01 task-a run-01 red: stop cannot be estimated (stop has no events); go "
         "costs x7.48 with the confounds; go VIF 7.48\n    warning: task-a_events.tsv: condition "
         "stop has no event in the run\n[2/2] sub-01 task-a run-02 red: go cannot be estimated (go "
         "has no events); stop costs x8.34 with the confounds; stop VIF 8.34\n    warning: "
         "sub-01_task-a_run-02_events.tsv: condition go has no event in the run\n"
         "brindle-bids: 2 of 2 runs done\n",
         with(with(with(designs, events), with(ofRun2(designs), ofRun2(events))),
              {"dataset_description.json"})},
        {"stim_type named by --condition-column",
         {{"ds/task-a_events.tsv",
           "onset\tduration\tstim_type\n4\t6\tface\n30\t6\thouse\n50\t6\tn/a\n"}},
         {"--condition-column", "stim_type"},
         0,
         "[1/1] sub-01 task-a run-01 red: face costs x8.38 with the confounds; house costs x6.72 "
         "with the confounds; face VIF 8.47; house VIF 6.79\n    warning: task-a_events.tsv: 1 "
         "event(s) skipped: stim_type n/a (lines 4)\n" +
             lastLine,
         with(with(designs, events), {"dataset_description.json"})},
        {"events before the run",
         {{"ds/task-a_events.tsv",
           "onset\tduration\ttrial_type\n-40\t6\tgo\n-10\t6\tgo\n30\t6\tgo\n"}},
         {},
         0,
         "[1/1] sub-01 task-a run-01 red: go VIF 10.1; go costs x10.1 with the confounds\n    "
         "warning: task-a_events.tsv: 1 event(s) end more than "
         "24 s before the run starts: left out\n" +
             lastLine,
         with(with(designs, events), {"dataset_description.json"})},
        {"a condition named like a time derivative",
         {{"ds/task-a_events.tsv",
           "onset\tduration\ttrial_type\n4\t6\tgo\n30\t6\tgo_derivative\n"}},
         {"--time-derivatives"},
         1,
         "[1/1] sub-01 task-a run-01 FAILED: " + clash + "\nbrindle-bids: 1 of 1 runs failed:\n  " +
             bold1 + ": " + clash + "\n",
         {"dataset_description.json", failure}},
        {"unknown participant",
         {},
         {"--participant_label", "sub-07"},
         64,
         "brindle-bids: no participant sub-07 in $D/ds (there are: sub-01)\n",
         {}},
    }),
    testing_support::rowName);

// The group level lists the runs that failed beside those that did not.
TEST(BidsApp, TheGroupReportCountsAndListsTheFailedRuns) {
  testing_support::TempDir dir;
  makeFiles(dir, baseDataset());
  makeFiles(dir, {{"ds/sub-01/func/sub-01_task-a_run-02_bold.nii.gz", image40()}});
  EXPECT_EQ(participant(dir, "out", {}).exitCode, 1);
  const auto group =
      runProcess(program("brindle-bids"), {dir.file("ds"), dir.file("out"), "group"});
  EXPECT_EQ(group.exitCode, 0);
  EXPECT_EQ(normalised(group.err, dir.path().string()),
            "brindle-bids: group report of 1 of 2 runs (1 failed, 1 red, 0 amber): "
            "$D/out/group_report.html\n");
  const std::string page = readFile(dir.path() / "out/group_report.html");
  EXPECT_NE(page.find("<tr class=\"m-failed\"><td>sub-01 task-a run-02</td><td class=\"text\">no "
                      "confounds file "),
            std::string::npos);
}

}  // namespace
