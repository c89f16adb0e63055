// Contrasts end to end, one task at a time through the real Tormel: the whole log of a report
// that tests them, what the summary and the design picture make of them, and the refusals.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::crlf;
using testing_support::readFile;
using testing_support::runTormel;
using testing_support::sourceDir;
using testing_support::TempDir;
using testing_support::writeFile;

// Faces over six data points, Houses without events, a confound and the constant.
const std::string flatHouses = crlf(
    "FileVersion:            1\n\nNrOfPredictors:         4\nNrOfDataPoints:         6\n"
    "IncludesConstant:       1\nFirstConfoundPredictor: 3\n\n"
    "1 1 1   2 2 2   3 3 3   255 255 255\n\"Faces\" \"Houses\" \"Tx\" \"Constant\"\n"
    "  1.000000   0.000000   0.100000   1.000000\n  0.000000   0.000000   0.300000   1.000000\n"
    "  1.000000   0.000000   0.200000   1.000000\n  0.000000   0.000000   0.600000   1.000000\n"
    "  1.000000   0.000000   0.400000   1.000000\n  0.000000   0.000000   0.500000   1.000000\n");

TEST(ContrastsEndToEnd, CorrelationTaskLogsDefinedContrastsWithoutAThreshold) {
  TempDir dir;
  writeFile(dir.file("run.sdm"), flatHouses);
  const auto result =
      runTormel({"sdm1corr", dir.file("run.sdm"), "--plot", "--json", "--contrast",
                 "faces_vs_houses = Faces - Houses", "--contrast", "Faces", "--red-cost", "1.9"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, e2e_fixtures::running + "\nBrindle>  Saved Correlatios to " +
                            dir.file("run.csv") +
                            "\nBrindle>  Warning: run.sdm: contrast faces_vs_houses cannot be "
                            "estimated (Houses has no events)"
                            "\nBrindle>  Contrast Faces: efficiency 0.8000, confounds cost x1.875" +
                            e2e_fixtures::finished);
  const std::string summary = readFile(dir.file("run.json"));
  EXPECT_NE(summary.find("{\"name\": \"faces_vs_houses\", \"test\": \"t\", \"weights\": "
                         "[{\"Faces\": 1, \"Houses\": -1}], \"estimable\": false, \"variance\": "
                         "null, \"efficiency\": null, \"confoundCost\": null, \"reason\": "
                         "\"Houses has no events\"}"),
            std::string::npos)
      << summary;
  EXPECT_TRUE(
      summary.ends_with("  \"mark\": \"red\",\r\n  \"reasons\": [\r\n"
                        "    \"faces_vs_houses cannot be estimated (Houses has no events)\",\r\n"
                        "    \"Faces costs x1.88 with the confounds\"\r\n  ]\r\n}\r\n"))
      << summary;
  // The picture names the predictor that stops the contrast in a colour of its own.
  EXPECT_NE(readFile(dir.file("run_design.svg"))
                .find("class=\"blocked\" x=\"111\" y=\"131\" "
                      "transform=\"rotate(-90 111 131)\">Houses<"),
            std::string::npos);
}

TEST(ContrastsEndToEnd, MergeLogsPairsFactorsContrastsAndTheConditionNumber) {
  TempDir dir;
  const std::string examples = sourceDir() + "/examples/";
  const auto result = runTormel(
      {"mergeall", examples + "sub01_task.sdm", examples + "sub01_run1_motion.sdm", "--baseline",
       "--corr", "--warn", "0.8", "--contrast", "faces_vs_houses = Faces - Houses", "--contrast",
       "task = [Faces, Houses, Objects]", "--contrast", "Faces - 0.5 \"Translation X [mm]\"",
       "--save", dir.file("merged.sdm")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(
      result.out,
      e2e_fixtures::startAll + "\nBrindle>  Saved " + dir.file("merged.sdm") +
          "\nBrindle>  High correlation 0.89: Rotation Y [deg] ~ Rotation Z [deg] (r = 0.89)"
          "\nBrindle>  High correlation 0.88: Translation Y [mm] ~ Rotation Y [deg] (r = -0.88)"
          "\nBrindle>  High correlation 0.85: Translation Y [mm] ~ Rotation Z [deg] (r = -0.85)"
          "\nBrindle>  High correlation 0.82: Translation X [mm] ~ Rotation Y [deg] (r = -0.82)"
          "\nBrindle>  High correlation 0.81: Translation X [mm] ~ Rotation Z [deg] (r = -0.81)"
          "\nBrindle>  High VIF 19.4: Translation X [mm]"
          "\nBrindle>  High VIF 11.8: Translation Y [mm]"
          "\nBrindle>  High VIF 11.7: Rotation Y [deg]"
          "\nBrindle>  Contrast faces_vs_houses: efficiency 5.610, confounds cost x2.081"
          "\nBrindle>  Contrast task: efficiency 1.987, confounds cost x1.761"
          "\nBrindle>  Contrast Faces - 0.5 \"Translation X [mm]\": efficiency 0.2142, confounds "
          "cost n/a (it weights a confound)"
          "\nBrindle>  Condition number of all the regressors together: 11.7" +
          e2e_fixtures::finished);
}

TEST(ContrastsEndToEnd, DesignTestsItsModulatedPredictors) {
  TempDir dir;
  writeFile(dir.file("run1_events.tsv"),
            "onset\tduration\ttrial_type\trt\n4\t2\tgo\t0.5\n14\t2\tstop\tn/a\n24\t2\tgo\t0.7\n"
            "34\t2\tgo\t0.4\n44\t2\tstop\tn/a\n54\t2\tgo\t0.9\n64\t2\tstop\tn/a\n74\t2\tgo\t0.6\n");
  const auto result =
      runTormel({"design", dir.file("run1_events.tsv"), "--tr", "2", "--volumes", "45",
                 "--modulators", "rt:demean", "--corr", "--contrast", "go - stop", "--contrast",
                 "stop_x_rt", "--contrast", "rt = go_x_rt"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            e2e_fixtures::running +
                "\nBrindle>  Warning: run1_events.tsv: stop_x_rt has no event in the run"
                "\nBrindle>  Saved " +
                dir.file("run1_design.sdm") +
                "\nBrindle>  Contrast go - stop: efficiency 0.7143, confounds cost x1.000"
                "\nBrindle>  Warning: run1_design.sdm: contrast stop_x_rt cannot be estimated "
                "(stop_x_rt has no events)"
                "\nBrindle>  Contrast rt: efficiency 0.05206, confounds cost x1.000" +
                e2e_fixtures::finished);
  EXPECT_NE(readFile(dir.file("run1_design.sdm")).find("\"go\" \"go_x_rt\" \"stop\" \"stop_x_rt\""),
            std::string::npos);
}

TEST(ContrastsEndToEnd, ANameTheDesignLacksFailsTheTaskAndBadTextIsAUsageError) {
  TempDir dir;
  writeFile(dir.file("run.sdm"), flatHouses);
  const struct {
    std::vector<std::string> options;
    int status;
    std::string err;
  } cases[] = {
      {{"--contrast", "x = Faces - Objects"},
       1,
       "[message] Error: contrast \"x\" names \"Objects\", which is not a predictor of the design; "
       "write the names as the design has them\n"},
      {{"--contrast", "Constant"},
       1,
       "[message] Error: contrast \"Constant\" names \"Constant\", the constant of the design; "
       "leave it out: contrasts compare the other predictors\n"},
      {{"--set", "ambervif=abc"},
       1,
       "[message] Error: Invalid ambervif: abc (a number from 1 to 1000000, such as 5)\n"},
      {{"--set", "contrasts=a = [x"},
       1,
       "[message] Error: contrast \"a = [x\": \"[\" is not closed; write an F contrast as NAME = "
       "[EXPR, EXPR, ...]\n"},
      {{"--contrast", "x = Faces -"}, 64, ""},
      {{"--red-scrubbed", "1.5"}, 64, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"sdm1corr", dir.file("run.sdm")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto result = runTormel(args);
    EXPECT_EQ(result.exitCode, c.status) << c.options.back();
    if (c.status == 1) {
      EXPECT_EQ(result.err, c.err);
      EXPECT_EQ(result.out, e2e_fixtures::running + e2e_fixtures::finished);
    }
  }
}

}  // namespace
