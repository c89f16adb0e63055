// The design task end to end: an events file becomes an SDM of task predictors through Tormel's
// "design" word, parameters the plug-in cannot use end in an error box with nothing written, and
// Tormel's own save answers never replace an events file; the volumes may be counted from a table.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using e2e_fixtures::finished;
using e2e_fixtures::running;
using testing_support::crlf;
using testing_support::ProcessOptions;
using testing_support::readFile;
using testing_support::runTormel;
using testing_support::TempDir;

// Two conditions, heights from the modulation column, and a row without an onset (line 4).
const std::string events =
    "onset\tduration\ttrial_type\tmodulation\n"
    "2\t4\tgo\t1\n"
    "10.5\t2\tstop\t0.5\n"
    "n/a\t2\tgo\t1\n"
    "16\t4\tgo\t2\n";

TEST(DesignEndToEnd, EventsFileBecomesTheExpectedSdmWithItsWarningsLogged) {
  TempDir dir;
  const auto result = runTormel({"design", dir.write("sub-01_run-1_events.tsv", events), "--tr",
                                 "2", "--volumes", "12", "--hrf", "glover", "--derivatives",
                                 "--slice-time-ref", "0.5", "--conditions", "go,stop,cue"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const std::string sdm = dir.file("sub-01_run-1_design.sdm");
  EXPECT_EQ(
      result.out,
      running +
          "\nBrindle>  Warning: sub-01_run-1_events.tsv: 1 event(s) skipped: onset n/a (lines 4)" +
          "\nBrindle>  Warning: sub-01_run-1_events.tsv: no condition matches \"cue\"" +
          "\nBrindle>  Saved " + sdm + finished);
  EXPECT_EQ(readFile(sdm), crlf("FileVersion:            3\n"
                                "\n"
                                "NrOfPredictors:         4\n"
                                "NrOfDataPoints:         12\n"
                                "IncludesConstant:       0\n"
                                "FirstConfoundPredictor: 5\n"
                                "\n"
                                "220 60 60   132 36 36   50 140 220   30 84 132\n"
                                "\"go\" \"go_derivative\" \"stop\" \"stop_derivative\"\n"
                                "  0.000000   0.000000   0.000000   0.000000\n"
                                "  0.000514   0.002299   0.000000   0.000000\n"
                                "  0.111996   0.140532   0.000000   0.000000\n"
                                "  0.576096   0.276405   0.000000   0.000000\n"
                                "  0.951527   0.045633   0.000000   0.000000\n"
                                "  0.701598  -0.236753   0.000004   0.000027\n"
                                "  0.204023  -0.221757   0.025490   0.042063\n"
                                " -0.103319  -0.090697   0.191170   0.091422\n"
                                " -0.175963   0.005730   0.262659  -0.021661\n"
                                "  0.088594   0.311648   0.145507  -0.074358\n"
                                "  1.076663   0.579386   0.016969  -0.048956\n"
                                "  1.868672   0.106471  -0.041563  -0.013255\n"));
}

TEST(DesignEndToEnd, VolumesFromATableAreItsDataPointsAsTheMergeReadsThem) {
  TempDir dir;
  // A last line of blanks is a data point (of unreadable values) to the table's reader.
  std::string table = "trans_x\trot_x\n";
  for (int row = 0; row < 12; ++row) table += "0.1\t0.2\n";
  const std::string path = dir.write("run_desc-confounds_timeseries.tsv", table + " \t \n");
  const std::string eventsPath = dir.write("run_events.tsv", events);
  const auto design = runTormel({"design", eventsPath, "--tr", "2", "--volumes-from", path});
  EXPECT_EQ(design.exitCode, 0) << design.err;
  EXPECT_NE(readFile(dir.file("run_design.sdm")).find("NrOfDataPoints:         13\r\n"),
            std::string::npos);
  EXPECT_EQ(runTormel({"mergeall", dir.file("run_design.sdm"), path, "--save", dir.file("m.sdm")})
                .exitCode,
            0);
  const auto missing =
      runTormel({"design", eventsPath, "--tr", "2", "--volumes-from", dir.file("none.tsv")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "[message] Error: Failed opening for reading: " + dir.file("none.tsv") +
                             " (no such file or folder)\n");
}

TEST(DesignEndToEnd, ParametersThePluginCannotUseEndInAnErrorBoxWithNothingWritten) {
  TempDir dir;
  const std::string path = dir.write("run_events.tsv", events);
  const std::vector<std::vector<std::string>> cases = {
      // The raw parameters of the host's dialog: Tormel's own options refuse these texts.
      {"--set", "tr=2,5", "Invalid repetition time: 2,5"},
      {"--set", "tr=", "Invalid repetition time: "},
      {"--set", "hrf=canonical", "Invalid HRF model: canonical (spm or glover)"},
      {"--set", "sliceref=half", "Invalid slice-timing reference: half"},
      {"--set", "highpass=fast",
       "Invalid high-pass cut-off: fast (seconds, a number from 0 to 86400, such as 128; 0: no "
       "drifts)"},
      {"--set", "tr=0", "Cannot model the events of " + path + " (TR 0 s outside 0.001 to 100 s)"},
  };
  for (const auto& c : cases) {
    const auto result = runTormel({"design", path, "--tr", "2", "--volumes", "12", c[0], c[1]});
    EXPECT_EQ(result.exitCode, 1) << c[2];
    EXPECT_EQ(result.err, "[message] Error: " + c[2] + "\n");
    EXPECT_EQ(result.out, running + finished);
    EXPECT_FALSE(fs::exists(dir.file("run_design.sdm"))) << c[2];
  }
}

TEST(DesignEndToEnd, TormelNeverSavesOverAnEventsFileAndACancelSkipsThatFileOnly) {
  TempDir dir;
  for (const char* name : {"a_events.tsv", "b_events.tsv", "c_events.tsv"}) dir.write(name, events);
  fs::create_symlink("b_events.tsv", dir.file("b_design.sdm"));  // b's offered name is b itself
  ProcessOptions options;
  options.workingDirectory = dir.path().string();
  const auto result = runTormel({"design", "a_events.tsv", "b_events.tsv", "c_events.tsv", "--tr",
                                 "2", "--volumes", "12", "--save", "cancel"},
                                options);
  EXPECT_EQ(result.exitCode, 73);
  EXPECT_EQ(result.err, "Tormel: not saving b_design.sdm: it is an input of this task\n");
  std::string log = running;
  for (const char* name : {"a", "b", "c"})
    log += "\nBrindle>  Warning: " + std::string(name) +
           "_events.tsv: 1 event(s) skipped: onset n/a (lines 4)";
  EXPECT_EQ(result.out, log + "\nBrindle>  Saved c_design.sdm" + finished);
  EXPECT_EQ(readFile(dir.file("b_events.tsv")), events);
  EXPECT_FALSE(fs::exists(dir.file("a_design.sdm")));
}

}  // namespace

namespace {

// A file that keeps its conditions under stim_type, with an event before the run and one without
// an onset.
const std::string stimEvents =
    "onset\tduration\tstim_type\n-10\t2\tface\n4\t2\tface\nn/a\t1\thouse\n20\t2\thouse\n";

TEST(DesignEndToEnd, AListedConditionColumnWithDriftsConstantAndSettingsInTheSummary) {
  TempDir dir;
  const std::string path = dir.write("run_events.tsv", stimEvents);
  const auto result = runTormel({"design",
                                 path,
                                 "--tr",
                                 "2",
                                 "--volumes",
                                 "40",
                                 "--condition-column",
                                 "stim_type",
                                 "--condition",
                                 "house",
                                 "--condition",
                                 "face",
                                 "--condition",
                                 "miss",
                                 "--high-pass",
                                 "30",
                                 "--provenance",
                                 "{\"Run\" : \"\xC3\xA9\"}",
                                 "--corr",
                                 "--json"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, running +
                            "\nBrindle>  Warning: run_events.tsv: 1 event(s) skipped: onset n/a "
                            "(lines 4)\nBrindle>  Warning: run_events.tsv: condition miss has no "
                            "event in the run\nBrindle>  Saved " +
                            dir.file("run_design.sdm") + finished);
  const std::string sdm = readFile(dir.file("run_design.sdm"));
  EXPECT_EQ(sdm.substr(0, sdm.find("\r\n  ")),
            crlf("FileVersion:            3\n\nNrOfPredictors:         8\n"
                 "NrOfDataPoints:         40\nIncludesConstant:       1\n"
                 "FirstConfoundPredictor: 4\n\n"
                 "220 60 60   50 140 220   60 170 80   204 68 68   62 130 201   74 168 94   "
                 "222 150 46   255 255 255\n\"house\" \"face\" \"miss\" \"cosine00\" \"cosine01\" "
                 "\"cosine02\" \"cosine03\" \"Constant\""));
  const std::string summary = readFile(dir.file("run_design.json"));
  EXPECT_EQ(
      summary.substr(summary.find("  \"meanFramewiseDisplacement\"")),
      crlf("  \"meanFramewiseDisplacement\": null,\n  \"contrasts\": [\n"
           "    {\"name\": \"house\", \"test\": \"t\", \"weights\": [{\"house\": 1}], "
           "\"estimable\": true, \"variance\": 4.6952497778276285, \"efficiency\": "
           "0.2129812144866709, \"confoundCost\": 1.4494742884279659, \"reason\": \"\"},\n"
           "    {\"name\": \"face\", \"test\": \"t\", \"weights\": [{\"face\": 1}], "
           "\"estimable\": true, \"variance\": 5.130253507443266, \"efficiency\": "
           "0.1949221414788066, \"confoundCost\": 1.4421301634093073, \"reason\": \"\"},\n"
           "    {\"name\": \"miss\", \"test\": \"t\", \"weights\": [{\"miss\": 1}], "
           "\"estimable\": false, \"variance\": null, \"efficiency\": null, \"confoundCost\": "
           "null, \"reason\": \"miss has no events\"}\n  ],\n"
           "  \"mark\": \"red\",\n  \"reasons\": [\n"
           "    \"miss cannot be estimated (miss has no events)\"\n  ],\n  \"skippedEvents\": [\n"
           "    {\"reason\": \"onset n/a\", \"count\": 1, \"lines\": [4]}\n  ],\n"
           "  \"settings\": {\"Run\":\"\\u00e9\"}\n}\n"));
  const auto refused = runTormel({"design", path, "--tr", "2", "--volumes", "40", "--set",
                                  "provenance=[1]", "--corr", "--json"});
  EXPECT_EQ(refused.err,
            "[message] Error: Invalid provenance (not one JSON object: byte 1: a JSON object "
            "must begin here with '{')\n");
}

}  // namespace
