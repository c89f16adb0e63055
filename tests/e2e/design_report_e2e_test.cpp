// The design diagnostics after a report, end to end: the variance inflation and condition number
// in the log, the design picture, the summary file, numbered repeated names; nothing of it when
// the options are off.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/log_lines.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using log_lines::notEstimable;
using testing_support::readFile;
using testing_support::runProcess;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string& sdm = e2e_fixtures::collinearSdm;

// The example with a hidden dependency, made again by the generator into `dir`.
std::string hiddenDependency(const TempDir& dir) {
  const std::string path = dir.file("sub01_hidden_dependency.sdm");
  const auto made = runProcess(
      testing_support::buildDir() + "/sdmgen",
      {path, "--interest", "3", "--interest-names", "Faces,Houses,Objects", "--confounds", "6",
       "--motion", "--sum", "Displacement sum [mm]", "--constant", "--seed", "6"});
  EXPECT_EQ(made.exitCode, 0) << made.err;
  EXPECT_EQ(readFile(path),
            readFile(testing_support::sourceDir() + "/examples/sub01_hidden_dependency.sdm"));
  return path;
}

TEST(DesignReportEndToEnd, HiddenDependencyIsMissedByThePairsAndCaughtByTheInflation) {
  TempDir dir;
  const std::string path = hiddenDependency(dir);
  const auto result = runTormel({"sdm1corr", path, "--warn", "0.8"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "\nBrindle>  Running...\nBrindle>  Saved Correlatios to " +
                            dir.file("sub01_hidden_dependency.csv") +
                            "\nBrindle>  High VIF inf: Translation X [mm]"
                            "\nBrindle>  High VIF inf: Translation Y [mm]"
                            "\nBrindle>  High VIF inf: Translation Z [mm]"
                            "\nBrindle>  High VIF inf: Displacement sum [mm]"
                            "\nBrindle>  Contrast Faces: efficiency 12.19, confounds cost x1.134"
                            "\nBrindle>  Contrast Houses: efficiency 7.693, confounds cost x1.420"
                            "\nBrindle>  Contrast Objects: efficiency 8.154, confounds cost x1.570"
                            "\nBrindle>  Condition number of all the regressors together: inf"
                            "\nBrindle>  Plugin finished!\n\n");
}

TEST(DesignReportEndToEnd, SummaryFileIsStrictJsonWithTheDiagnostics) {
  TempDir dir;
  const std::string path = hiddenDependency(dir);
  const auto result = runTormel({"sdm1corr", path, "--json", "--warn", "0.7"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  // Python's reader, told to refuse NaN and Infinity, which JSON does not have.
  const char* const check = R"PY(
import json, sys
def refuse(constant): sys.exit('not JSON: ' + constant)
d = json.loads(open(sys.argv[1], 'rb').read().decode('ascii'), parse_constant=refuse)
print(d['version'], d['file'] == sys.argv[2], d['nrOfPredictors'], d['nrOfDataPoints'],
      d['firstConfoundPredictor'])
print(' '.join(p['role'] + {None: '', 'inf': '+inf'}.get(p['vif'], '+vif') for p in d['predictors']))
print(' '.join(p['kind'] for p in d['predictors']))
print(d['threshold'], d['conditionNumber'], d['dependencies'], d['notices'])
print([(p['first'], p['second'], round(p['r'], 2)) for p in d['pairs']])
print(len(d['correlations']), {len(row) for row in d['correlations']})
)PY";
  const auto parsed = runProcess(
      "/usr/bin/env", {"python3", "-c", check, dir.file("sub01_hidden_dependency.json"), path});
  if (parsed.exitCode == 127) GTEST_SKIP() << "python3 is not installed";
  ASSERT_EQ(parsed.exitCode, 0) << parsed.err;
  EXPECT_EQ(parsed.out,
            "3 True 11 120 4\n"
            "interest+vif interest+vif interest+vif confound+inf confound+inf confound+inf "
            "confound+vif confound+vif confound+vif confound+inf constant\n"
            "interest interest interest confound confound confound confound confound confound "
            "confound constant\n"
            "0.7 inf [[9, 3, 4, 5]] []\n"
            "[(4, 6, -0.76), (5, 6, -0.75), (7, 8, -0.74)]\n"
            "11 {11}\n");
}

TEST(DesignReportEndToEnd, SummaryCarriesTheRepairWarningsOfEveryFileBehindTheReport) {
  TempDir dir;
  // One data point more declared than the file holds: the reader warns and reads it as 0.
  std::string cut = sdm;
  cut.replace(cut.find("NrOfDataPoints:         4"), 25, "NrOfDataPoints:         5");
  writeFile(dir.file("cut.sdm"), cut);
  writeFile(dir.file("cut2.sdm"), cut);
  const auto report = runTormel({"sdm1corr", dir.file("cut.sdm"), "--json"});
  ASSERT_EQ(report.exitCode, 0) << report.err;
  const auto merge = runTormel({"mergesec", dir.file("cut.sdm"), dir.file("cut2.sdm"), "--corr",
                                "--json", "--save", dir.file("both.sdm")});
  ASSERT_EQ(merge.exitCode, 0) << merge.err;
  const char* const check =
      "import json, sys\n"
      "import os\n"
      "for f in sys.argv[1:]:\n"
      "  print([os.path.basename(n['file']) + ': ' + n['text']\n"
      "         for n in json.load(open(f))['notices'] if n['kind'] == 'warning'])\n";
  const auto parsed = runProcess(
      "/usr/bin/env", {"python3", "-c", check, dir.file("cut.json"), dir.file("both.json")});
  if (parsed.exitCode == 127) GTEST_SKIP() << "python3 is not installed";
  ASSERT_EQ(parsed.exitCode, 0) << parsed.err;
  const auto warning = [](const std::string& name) {
    return "'" + name + ": data point 5 missing (the file ends early), read as 0'";
  };
  // The merge's summary also has what was said of the result itself.
  EXPECT_EQ(parsed.out, "[" + warning("cut.sdm") + "]\n[" + warning("cut.sdm") + ", " +
                            warning("cut2.sdm") +
                            ", 'both.sdm: 8 predictors for 5 data points: the design cannot be "
                            "estimated']\n");
}

TEST(DesignReportEndToEnd, SummaryListsScrubbedVolumesAndTheConfoundTablesMeanDisplacement) {
  TempDir dir;
  writeFile(dir.file("run.sdm"), sdm);
  // The displacement of the rows after the first: (0.5 + 0.25 + 0.75) / 3.
  writeFile(dir.file("conf.tsv"),
            "trans_x\tframewise_displacement\tscrub_02\tscrub_1\n"
            "0.1\tn/a\t0\t0\n0.2\t0.5\t0\t1\n0.3\t0.25\t1\t0\n0.1\t0.75\t0\t0\n");
  const std::string found =
      "  \"scrubbedVolumes\": [1, 2],\r\n  \"meanFramewiseDisplacement\": 0.5,\r\n";
  const struct {
    std::vector<std::string> args;
    const char* summary;
  } cases[] = {
      // The selection leaves the displacement out; the table it was taken from still has it.
      {{"mergeall", "run.sdm", "conf.tsv", "--confounds", "trans_x,scrub_*", "--corr", "--json",
        "--save", "merged.sdm"},
       "merged.json"},
      {{"sdm1corr", "conf.tsv", "--json"}, "conf.json"},
  };
  for (const auto& c : cases) {
    testing_support::ProcessOptions options;
    options.workingDirectory = dir.path().string();
    const auto result = runTormel(c.args, options);
    EXPECT_EQ(result.exitCode, 0) << c.summary << result.err;
    EXPECT_NE(readFile(dir.file(c.summary)).find(found), std::string::npos)
        << readFile(dir.file(c.summary));
  }
}

TEST(DesignReportEndToEnd, OptionsOffWriteNothingMoreAndTheSummaryAddsNoLogLine) {
  TempDir dir;
  writeFile(dir.file("run.sdm"), sdm);
  const auto plain = runTormel({"sdm1corr", dir.file("run.sdm")});
  const auto off = runTormel({"sdm1corr", dir.file("run.sdm"), "--set", "corrjson=0", "--set",
                              "corrplot=0", "--set", "corrwarn="});
  EXPECT_EQ(off.out, plain.out);
  EXPECT_EQ(off.err, plain.err);
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"run.csv", "run.sdm"}));

  const auto summary = runTormel({"sdm1corr", dir.file("run.sdm"), "--json"});
  EXPECT_EQ(summary.out, plain.out);
  EXPECT_TRUE(std::filesystem::exists(dir.file("run.json")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("run_design.svg")));
}

TEST(DesignReportEndToEnd, RepeatedNamesAreNumberedInTheLogAndBothPictures) {
  TempDir dir;
  writeFile(dir.file("run.sdm"), sdm);
  writeFile(dir.file("run_2.sdm"), sdm);
  const auto result =
      runTormel({"mergesec", dir.file("run.sdm"), dir.file("run_2.sdm"), "--baseline", "--corr",
                 "--plot", "--warn", "0.99", "--save", dir.file("merged.sdm")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  // The merge holds A, B, A, B (interest), C, C (confounds), Constant.
  EXPECT_EQ(result.out,
            "\nBrindle>  Running...\nBrindle>  Start merging process of all secondary sdms"
            "\nBrindle>  Saved " +
                dir.file("merged.sdm") + notEstimable("merged.sdm", 7, 4) +
                "\nBrindle>  High correlation 1.00: A #1 ~ B #1 (r = 1.00)"
                "\nBrindle>  High correlation 1.00: A #1 ~ A #2 (r = 1.00)"
                "\nBrindle>  High correlation 1.00: A #1 ~ B #2 (r = 1.00)"
                "\nBrindle>  High correlation 1.00: B #1 ~ A #2 (r = 1.00)"
                "\nBrindle>  High correlation 1.00: B #1 ~ B #2 (r = 1.00)"
                "\nBrindle>  High correlation 1.00: A #2 ~ B #2 (r = 1.00)"
                "\nBrindle>  High correlation 1.00: C #1 ~ C #2 (r = 1.00)"
                "\nBrindle>  High VIF inf: A #1"
                "\nBrindle>  High VIF inf: B #1"
                "\nBrindle>  High VIF inf: A #2"
                "\nBrindle>  High VIF inf: B #2"
                "\nBrindle>  High VIF inf: C #1"
                "\nBrindle>  High VIF inf: C #2"
                "\nBrindle>  Warning: merged.sdm: contrast A #1 cannot be estimated (A #1 and B #1 "
                "depend on each other)"
                "\nBrindle>  Warning: merged.sdm: contrast B #1 cannot be estimated (A #1 and B #1 "
                "depend on each other)"
                "\nBrindle>  Warning: merged.sdm: contrast A #2 cannot be estimated (A #1 and A #2 "
                "depend on each other)"
                "\nBrindle>  Warning: merged.sdm: contrast B #2 cannot be estimated (A #1 and B #2 "
                "depend on each other)"
                "\nBrindle>  Condition number of all the regressors together: inf"
                "\nBrindle>  Plugin finished!\n\n");
  for (const char* picture : {"merged.svg", "merged_design.svg"}) {
    const std::string svg = readFile(dir.file(picture));
    EXPECT_NE(svg.find(">A #2<"), std::string::npos) << picture;
    EXPECT_EQ(svg.find(">A<"), std::string::npos) << picture;
  }
}

// A design with as many predictors as data points cannot be estimated: every task that reports
// or saves one says so; a merge says it about its result.
TEST(DesignReportEndToEnd, AsManyPredictorsAsDataPointsIsAWarningInEveryTask) {
  TempDir dir;
  const std::string run = dir.write("run.sdm", sdm), out = dir.file("out/run");
  std::filesystem::create_directory(dir.file("out"));
  const auto saved = [](const std::string& path) { return "\nBrindle>  Saved " + path; };
  const struct {
    std::vector<std::string> args;
    std::string log;
  } cases[] = {
      {{"sdm1corr", run},
       notEstimable("run.sdm", 4, 4) + "\nBrindle>  Saved Correlatios to " + dir.file("run.csv")},
      {{"convert", run, out + ".sdm"}, saved(out + ".sdm") + notEstimable("run.sdm", 4, 4)},
      {{"convert", run, out + ".tsv"},
       saved(out + ".tsv") + saved(out + ".json") + notEstimable("run.tsv", 4, 4)},
      {{"mergesec", run, run, "--save", dir.file("both.sdm")},
       log_lines::startMergeSec + saved(dir.file("both.sdm")) + notEstimable("both.sdm", 6, 4)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(runTormel(c.args).out,
              log_lines::running + c.log + "\nBrindle>  Plugin finished!\n\n");
}

// Beyond 2,048 predictors the diagnostics are skipped, and the log says why.
TEST(DesignReportEndToEnd, DiagnosticsOfTooManyPredictorsAreSkippedWithTheReason) {
  TempDir dir;
  const std::string path = dir.file("wide.sdm");
  const auto made = runProcess(testing_support::buildDir() + "/sdmgen",
                               {path, "--interest", "0", "--confounds", "2049", "--points", "60"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const auto result = runTormel({"sdm1corr", path, "--warn", "1"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string tail =
      "\nBrindle>  Design diagnostics skipped: 2049 predictors (at most 2048)"
      "\nBrindle>  Plugin finished!\n\n";
  EXPECT_EQ(result.out.substr(result.out.size() - std::min(result.out.size(), tail.size())), tail);
  EXPECT_NE(result.out.find("Warning: wide.sdm: 2049 predictors for 60 data points"),
            std::string::npos);
}

// Beyond 2,048 predictors no output grows with the square of them but the correlation report:
// the pictures are skipped, the summary leaves its matrix out and lists the first 10,000 pairs of
// the count the log gives too.
TEST(DesignReportEndToEnd, OutputsOfTooManyPredictorsAreBounded) {
  TempDir dir;
  const std::string path = dir.file("wide.sdm");
  ASSERT_EQ(runProcess(testing_support::buildDir() + "/sdmgen",
                       {path, "--interest", "1", "--confounds", "2048", "--points", "6"})
                .exitCode,
            0);
  const auto result = runTormel({"sdm1corr", path, "--warn", "0.5", "--plot", "--json"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find(dir.file("wide.csv") +
                            "\nBrindle>  Pictures skipped: 2049 predictors (at most 2048)\n"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("wide.svg")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("wide_design.svg")));
  const std::string json = readFile(dir.file("wide.json"));
  EXPECT_NE(json.find("  \"correlations\": [],\r\n"
                      "  \"correlationsSkipped\": \"2049 predictors (at most 2048)\",\r\n"),
            std::string::npos);
  std::size_t listed = 0;
  for (auto at = json.find("{\"first\": "); at != std::string::npos;
       at = json.find("{\"first\": ", at + 1))
    ++listed;
  EXPECT_EQ(listed, 10000u);
  const auto more = result.out.find("Brindle>  ... and ");
  ASSERT_NE(more, std::string::npos);
  std::size_t count = std::stoul(result.out.substr(more + 18));
  for (auto at = result.out.find("High correlation"); at != std::string::npos;
       at = result.out.find("High correlation", at + 1))
    ++count;
  EXPECT_NE(json.find("\"pairCount\": " + std::to_string(count) + ",\r\n"), std::string::npos);
}

TEST(DesignReportEndToEnd, PictureOrSummaryThatCannotBeWrittenStopsWithItsPath) {
  for (const auto& [option, name] :
       {std::pair{"--plot", "run_design.svg"}, {"--json", "run.json"}}) {
    TempDir dir;
    writeFile(dir.file("run.sdm"), sdm);
    std::filesystem::create_directory(dir.file(name));
    const auto result = runTormel({"sdm1corr", dir.file("run.sdm"), option});
    EXPECT_EQ(result.exitCode, 1) << option;
    EXPECT_EQ(result.err, "[message] Error: Cannot Create file: " + dir.file(name) +
                              " (a folder is in the way)\n");
  }
}

}  // namespace
