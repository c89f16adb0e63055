// Mistakes a user makes, one row each, through the real Tormel (on the real plug-in),
// brindle-bids and sdmgen: each is answered with its exit status and a first line that names the
// cause, and no mistake changes a file that was there before; a usage error writes nothing at all.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::buildDir;
using testing_support::crlf;
using testing_support::ProcessOptions;
using testing_support::ProcessResult;
using testing_support::readFile;
using testing_support::runProcess;
using testing_support::TempDir;

constexpr int usage = 64;
constexpr int failed = 1;
constexpr int refused = 73;

// A mistaken command line and how it must be answered. The command is the program ("Tormel",
// "brindle-bids" or "sdmgen", run from the build folder) and its words, separated by single
// spaces (a word holds no space).
struct Mistake {
  std::string command;
  int exitCode;
  std::string firstLine;  // of standard error
};

const std::string presets =
    "(presets: motion6, motion12, motion24, wm_csf, global, compcor5, cosine, outliers, scrub)";
const std::string byPlugin = "Tormel: refused by the plug-in: Cannot Create file: ";

// An SDM of two predictors and four data points with `dataLines`.
std::string sdmOf(const std::string& dataLines) {
  return crlf(
      "NrOfPredictors: 2\nNrOfDataPoints: 4\nFirstConfoundPredictor: 2\n\n"
      "1 2 3 4 5 6\n\"A\" \"B\"\n" +
      dataLines);
}

// The files every row finds in its working folder (startingFolder adds run1.json, the summary
// that sdm1corr writes for run1.sdm): SDMs of four data points (one with a data field that is no
// number, one beyond the double range, one with an infinity and a NaN), a table of four rows, and
// events files, one with a modulation beyond the floats.
const std::map<std::string, std::string> inputs = {
    {"run1.sdm", e2e_fixtures::collinearSdm},
    {"run2.sdm", e2e_fixtures::collinearSdm},
    {"run1_motion.sdm", e2e_fixtures::collinearSdm},
    {"bad.sdm", sdmOf(" 1.0 2.0\n x.5 3.0\n 2.0 1.0\n 3.0 4.0\n")},
    {"range.sdm", sdmOf(" 1.0e999 2.0\n 2.0 3.0\n 2.0 1.0\n 3.0 4.0\n")},
    {"inf.sdm", sdmOf(" 1.0 inf\n 2.0 3.0\n nan 1.0\n 3.0 4.0\n")},
    {"c.csv", "trans_x,trans_y\n0.1,0.2\n0.3,0.1\n0.2,0.4\n0.5,0.3\n"},
    {"a_events.tsv", "onset\tduration\ttrial_type\n2\t4\tgo\n10\t4\tstop\n"},
    {"b_events.tsv", "onset\tduration\ttrial_type\n4\t4\tgo\n12\t4\tstop\n"},
    {"big_events.tsv",
     "onset\tduration\ttrial_type\tmodulation\n2\t4\tgo\t1\n10\t4\tgo\t1e39\n20\t2\tstop\t1\n"},
    {"ds/dataset_description.json", "{\"Name\": \"x\", \"BIDSVersion\": \"1.8.0\"}\n"},
};

const std::string swapped =
    "brindle-bids: BIDS_DIR out is no BIDS dataset but OUTPUT_DIR ds is one: did you swap "
    "BIDS_DIR and OUTPUT_DIR?";

const Mistake mistakes[] = {
    // Unknown names, answered with the nearest known one (at most two edits away).
    {"Tormel mergeall run1.sdm c.csv --set ztrans=1", usage,
     "Tormel: --set: unknown parameter ztrans (did you mean ztans?)"},
    {"Tormel sdm1corr run1.sdm --int corwarn=1", usage,
     "Tormel: --int: unknown parameter corwarn (did you mean corrwarn?)"},
    {"Tormel sdm1corr run1.sdm --add nosuchname=1", usage,
     "Tormel: --add: unknown parameter nosuchname"},
    {"Tormel sdm1cor run1.sdm", usage, "Tormel: unknown task \"sdm1cor\" (did you mean sdm1corr?)"},
    {"Tormel sdm1corr run1.sdm --wanr 0.8", usage,
     "Tormel: unknown option \"--wanr\" (did you mean --warn?)"},
    {"Tormel sdm1corr run1.sdm --save-int=out", usage,
     "Tormel: unknown option \"--save-int\" (did you mean --save-into?)"},
    {"Tormel mergeall run1.sdm c.csv --confounds motoin24,wm_csf", usage,
     "Tormel: --confounds: unknown confound preset \"motoin24\" (did you mean motion24?)"},
    {"Tormel convert c.csv --confounds trans_x,globl", usage,
     "Tormel: --confounds: unknown confound preset \"globl\" (did you mean global?)"},
    {"brindle-bids ds out participnt", usage,
     "analysis_level: unknown level participnt (did you mean participant?)"},
    {"brindle-bids ds out groups", usage,
     "analysis_level: unknown level groups (did you mean group?)"},
    {"brindle-bids ds out participant --wanr 0.8", usage,
     "brindle-bids: unknown option --wanr (did you mean --warn?)"},
    {"brindle-bids ds out participant --participant-lable=01", usage,
     "brindle-bids: unknown option --participant-lable (did you mean --participant-label?)"},
    {"brindle-bids ds out participant --confounds wmcsf", usage,
     "--confounds: unknown confound preset \"wmcsf\" (did you mean wm_csf?)"},
    {"brindle-bids out ds participant", usage, swapped},
    {"brindle-bids . ds participant --design-only", usage,
     "brindle-bids: BIDS_DIR . is no BIDS dataset but OUTPUT_DIR ds is one: did you swap BIDS_DIR "
     "and OUTPUT_DIR?"},
    // Checked when the command line is read, by the rules the plug-in reads its parameters by.
    {"Tormel mergeall run1.sdm c.csv --confounds motion24,motion25", usage,
     "Tormel: --confounds: unknown confound preset \"motion25\" (did you mean motion24?)"},
    {"Tormel mergeall run1.sdm c.csv --confounds motion999", usage,
     "Tormel: --confounds: unknown confound preset \"motion999\" " + presets},
    {"Tormel convert c.csv --confounds scrub:0.5:x", usage,
     "Tormel: --confounds: invalid scrub term \"scrub:0.5:x\": give scrub or scrub:FD:DVARS with "
     "numbers above 0, such as scrub:0.5:1.5"},
    {"Tormel convert c.csv --confounds " + std::string(300, 'x'), usage,
     "Tormel: --confounds: confound term too long: 300 bytes (at most 256)"},
    {"Tormel design a_events.tsv --tr 2 --volumes 10 --conditions go,st\top", usage,
     "Tormel: --conditions: condition term \"st\\top\" holds a tab or a line break, which no "
     "condition of an events file holds"},
    {"Tormel design a_events.tsv --volumes 10", usage,
     "Tormel: design needs --tr SECONDS: the repetition time of its runs"},
    {"Tormel design a_events.tsv --tr nan --volumes 10", usage,
     "Tormel: --tr wants a number from 0.001 to 100, such as 2, not \"nan\""},
    {"Tormel sdm1corr run1.sdm --threads 0", usage,
     "Tormel: --threads wants a whole number of threads, 1 or more, not \"0\""},
    {"Tormel sdm1corr run1.sdm --report-into nowhere", usage,
     "Tormel: --report-into: nowhere is not a folder (the reports go into a folder that exists)"},
    {"Tormel mergesec run1.sdm run2.sdm --save-into run1.sdm", usage,
     "Tormel: --save-into: run1.sdm is not a folder (the results go into a folder that exists)"},
    {"Tormel mergesec run1.sdm run2.sdm --save=", usage, "Tormel: --save needs a path, or cancel"},
    {"Tormel open_sdm --open=", usage, "Tormel: --open needs a path, or cancel"},
    {"Tormel design a_events.tsv --tr 2 --volumes-from=", usage,
     "Tormel: --volumes-from needs a file: a confound table or an SDM"},
    {"Tormel design a_events.tsv --tr 2 --volumes 10 --condition-column a\tb", usage,
     "Tormel: --condition-column wants one column name, without a tab or a line break, not "
     "\"a\\tb\""},
    // What the plug-in refuses whoever sent it.
    {"Tormel mergeall run1.sdm c.csv --set confounds=motion25", failed,
     "[message] Error: Unknown confound preset \"motion25\" (did you mean motion24?)"},
    // Messages that carry their cause.
    {"Tormel sdm1corr missing.sdm", failed,
     "[message] Error: Failed opening for reading: missing.sdm (no such file or folder)"},
    {"Tormel sdm1corr run1.sdm/x.sdm", failed,
     "[message] Error: Failed opening for reading: run1.sdm/x.sdm (no such file or folder)"},
    {"Tormel sdm1corr .", failed,
     "[message] Error: Failed opening for reading: . (a folder is in the way)"},
    {"Tormel sdm1corr bad.sdm", failed,
     "[message] Error: Not a number in bad.sdm, data line 2: 'x.5'"},
    {"Tormel sdm1corr range.sdm", failed,
     "[message] Error: Number out of range in range.sdm, data line 1: '1.0e999'"},
    // No infinities.
    {"Tormel sdm1corr inf.sdm --strict", failed,
     "[message] Error: Damaged SDM file: inf.sdm (2 value(s) inf or nan (data points 1, 3))"},
    {"Tormel design big_events.tsv --tr 2 --volumes 20", failed,
     "[message] Error: Cannot model the events of big_events.tsv (line 3: modulation 1e+39 takes "
     "predictor go beyond the range of a float at volume 9)"},
    // A refusal is a failure: the plug-in protects its inputs whatever the host answers...
    {"Tormel design a_events.tsv --tr 2 --volumes 10 --save a_events.tsv", refused,
     byPlugin + "a_events.tsv (it is an input of this task)"},
    {"Tormel convert c.csv c.csv", refused, byPlugin + "c.csv (it is an input of this task)"},
    {"Tormel convert run1.sdm run1.tsv", refused,
     byPlugin + "run1.json (it is the summary of run1.sdm)"},
    {"Tormel mergesec run1.sdm run2.sdm --save ./run2.sdm", refused,
     byPlugin + "./run2.sdm (it is an input of this task)"},
    {"Tormel design a_events.tsv b_events.tsv --tr 2 --volumes 10 --save d.sdm --save d.sdm",
     refused, byPlugin + "d.sdm (an earlier result of this task wrote it)"},
    {"Tormel mergeall run1.sdm c.csv --corr --save c.sdm", refused,
     byPlugin + "c.csv (it is an input of this task)"},
    // ... and Tormel's save guard what Tormel chooses itself.
    {"Tormel mergeall run1.sdm run1_motion.sdm", refused,
     "Tormel: not saving run1_motion.sdm: it is an input of this task"},
    // brindle-bids checks its options before it looks at the folders.
    {"brindle-bids ds out participant --confounds motion25", usage,
     "--confounds: unknown confound preset \"motion25\" (did you mean motion24?)"},
    {"brindle-bids ds out participant --conditions a\tb", usage,
     "--conditions: condition term \"a\\tb\" holds a tab or a line break, which no condition of "
     "an events file holds"},
    {"brindle-bids ds out participant --timeout nan", usage,
     "--timeout: wants a number of seconds from 0.001 to 10000000"},
    {"brindle-bids ds out participant --timeout inf", usage,
     "--timeout: wants a number of seconds from 0.001 to 10000000"},
    {"brindle-bids ds out participant -j 0", usage, "--jobs: Value 0 not in range 1 to 1024"},
    {"brindle-bids ds out participant --task faces\t", usage,
     "--task: wants a task label, without a tab or a line break, not \"faces\\t\""},
    {"brindle-bids ds out participant --participant_label 01\t02", usage,
     "--participant_label: wants a participant label, without a tab or a line break, not "
     "\"01\\t02\""},
    {"brindle-bids ds out participant --condition-column a\tb", usage,
     "--condition-column: wants an events column, without a tab or a line break, not \"a\\tb\""},
    {"brindle-bids ds out participant --derivatives run1.sdm", usage,
     "--derivatives: wants a folder, not \"run1.sdm\""},
    {"brindle-bids ds out participant --slice-time-ref nan", usage,
     "--slice-time-ref: wants a number from 0 to 1, such as 0.5"},
    {"brindle-bids ds out participant --warn 1e-320", usage,
     "--warn: wants a correlation above 0 and at most 1, such as 0.8"},
    // sdmgen's numbers too.
    {"sdmgen x.tsv --format tsv --tr 1e-320", usage,
     "sdmgen: --tr wants a number of seconds from 0.001 to 100, not \"1e-320\""},
    {"sdmgen x.sdm --points 1e9", usage,
     "sdmgen: --points wants a whole number from 0 to 268435456, not \"1e9\""},
};

// The words of `command`, split at its spaces.
std::vector<std::string> wordsOf(const std::string& command) {
  std::vector<std::string> words;
  for (std::size_t start = 0; start <= command.size();) {
    const std::size_t space = std::min(command.find(' ', start), command.size());
    words.push_back(command.substr(start, space - start));
    start = space + 1;
  }
  return words;
}

// Every file under `folder` with its bytes, by its path relative to `folder`.
std::map<std::string, std::string> filesUnder(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file())
      files[entry.path().lexically_relative(folder).generic_string()] = readFile(entry.path());
  }
  return files;
}

// The folder every row starts from: the inputs, and run1.json as sdm1corr writes it.
const fs::path& startingFolder() {
  static const TempDir folder;
  static const bool made = [] {
    for (const auto& [name, bytes] : inputs) folder.write(name, bytes);
    ProcessOptions options;
    options.workingDirectory = folder.path().string();
    return testing_support::runTormel({"sdm1corr", "run1.sdm", "--json"}, options).exitCode == 0;
  }();
  EXPECT_TRUE(made && fs::exists(folder.path() / "run1.json"));
  return folder.path();
}

TEST(Mistakes, AreAnsweredWithTheirExitStatusAndCauseAndChangeNoFileThatWasThere) {
  for (const Mistake& mistake : mistakes) {
    TempDir dir;
    fs::copy(startingFolder(), dir.path(), fs::copy_options::recursive);
    const auto before = filesUnder(dir.path());
    std::vector<std::string> args = wordsOf(mistake.command);
    const std::string program = buildDir() + "/" + args.front();
    args.erase(args.begin());
    ProcessOptions options;
    options.workingDirectory = dir.path().string();
    const ProcessResult result = runProcess(program, args, options);
    const std::string what = mistake.command.substr(0, 120) + "\n" + result.err;
    EXPECT_EQ(result.exitCode, mistake.exitCode) << what;
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), mistake.firstLine) << what;
    auto after = filesUnder(dir.path());
    if (mistake.exitCode == usage) {
      EXPECT_EQ(after, before) << "a file was written\n" << what;
    }
    for (const auto& [name, bytes] : before) EXPECT_EQ(after[name], bytes) << name << "\n" << what;
  }
}

}  // namespace
