// Confound files of preprocessing pipelines in the tasks, end to end: the bundled examples merged
// with the task SDM into SDMs compared byte for byte with files under tests/e2e/expected/ (made
// once by this program and checked by eye: names, colours, header, the first confound against
// the example's first row), "convert" both ways, and a term that matches nothing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"
#include "support/e2e_fixtures.h"
#include "support/process.h"
#include "support/reference_correlation.h"
#include "support/temp_dir.h"

using e2e_fixtures::finished;
using e2e_fixtures::running;
using namespace sdm;

namespace {

using testing_support::readFile;
using testing_support::referenceCorrelation;
using testing_support::runTormel;
using testing_support::sourceDir;
using testing_support::TempDir;

std::string example(const std::string& name) { return sourceDir() + "/examples/" + name; }

// The columns "motion24" takes, in order.
std::string motion24() {
  const char* motion[] = {"trans_x", "trans_y", "trans_z", "rot_x", "rot_y", "rot_z"};
  std::string names;
  for (const char* suffix : {"", "_derivative1", "_power2", "_derivative1_power2"}) {
    for (const char* column : motion)
      names += (names.empty() ? "" : ", ") + (column + std::string(suffix));
  }
  return names;
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(ConfoundsEndToEnd, MergeAllOfTheTaskWithEachPipelinesFileGivesTheExpectedSdms) {
  TempDir dir;
  const char* inputs[] = {"sub01_run1_desc-confounds_timeseries.tsv", "sub01_run1_mcf.par",
                          "rp_sub01_run1.txt"};
  const char* results[] = {"sub01_task_run1_desc-confounds_timeseries.sdm",
                           "sub01_task_run1_mcf.sdm", "sub01_task_rp_sub01_run1.sdm"};
  std::vector<std::string> args{"mergeall", example("sub01_task.sdm")};
  for (const char* input : inputs) args.push_back(example(input));
  for (const char* option : {"--confounds", "motion24", "--baseline", "--trace", "--save-into"})
    args.push_back(option);
  args.push_back(dir.path().string());

  const auto result = runTormel(args);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::string log =
      running + "\nBrindle>  Start merging process of primary with every secondary sdm";
  for (const char* input : inputs)
    log += "\nBrindle>  Confounds from " + std::string(input) + ": " + motion24();
  for (const char* name : results) log += "\nBrindle>  Saved " + dir.file(name);
  EXPECT_EQ(result.out, log + finished);
  // The selection is asked for once, before the first file is read.
  EXPECT_EQ(count(result.err, "tmGetStringParameter(confounds)"), 1u);
  for (const char* name : results) {
    EXPECT_EQ(readFile(dir.file(name)), readFile(sourceDir() + "/tests/e2e/expected/" + name))
        << name;
  }
}

TEST(ConfoundsEndToEnd, ConvertRoundTripsBetweenSdmAndTableBitForBit) {
  TempDir dir;
  const std::string sdm = dir.file("a.sdm"), tsv = dir.file("b.tsv");
  // A motion file to an SDM under the offered name; then SDM to table and back, twice.
  const auto first = runTormel(
      {"convert", example("sub01_run1_mcf.par"), "--trace", "--save-into", dir.path().string()});
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.err.find("tmGetSaveFileName(Choose a name for saving the resulting SDM | " +
                           example("sub01_run1_mcf.sdm") + " | Design Matrix (*.sdm))"),
            std::string::npos)
      << first.err;
  EXPECT_EQ(first.out, running +
                           "\nBrindle>  Confounds from sub01_run1_mcf.par: trans_x, trans_y, "
                           "trans_z, rot_x, rot_y, rot_z\nBrindle>  Saved " +
                           dir.file("sub01_run1_mcf.sdm") + finished);
  std::filesystem::rename(dir.file("sub01_run1_mcf.sdm"), sdm);

  const auto toTable = runTormel({"convert", sdm, tsv});
  EXPECT_EQ(toTable.out, running + "\nBrindle>  Saved " + tsv + "\nBrindle>  Saved " +
                             dir.file("b.json") + finished);
  EXPECT_EQ(runTormel({"convert", tsv, dir.file("c.sdm")}).exitCode, 0);
  EXPECT_EQ(runTormel({"convert", dir.file("c.sdm"), dir.file("d.tsv")}).exitCode, 0);
  EXPECT_EQ(readFile(dir.file("c.sdm")), readFile(sdm));
  EXPECT_EQ(readFile(dir.file("d.tsv")), readFile(tsv));

  const std::string table = readFile(tsv);
  EXPECT_EQ(table.substr(0, table.find('\n', table.find('\n') + 1) + 1),
            "trans_x\ttrans_y\ttrans_z\trot_x\trot_y\trot_z\n"
            "-0.077813\t-0.136826\t0.150056\t-0.001715\t-0.0007808\t-0.002283\n");
}

// The columns of a tab-separated table whose first line names them, by name ("n/a" read as 0).
std::map<std::string, std::vector<double>> tableColumns(const std::string& text) {
  std::istringstream in(text);
  std::string line, cell;
  std::getline(in, line);
  std::vector<std::string> names;
  for (std::istringstream header(line); std::getline(header, cell, '\t');) names.push_back(cell);
  std::map<std::string, std::vector<double>> columns;
  while (std::getline(in, line)) {
    std::istringstream row(line);
    for (const std::string& name : names) {
      row >> cell;
      columns[name].push_back(cell == "n/a" ? 0.0 : std::strtod(cell.c_str(), nullptr));
    }
  }
  return columns;
}

// Rotations in radians and their squares (about 1e-7) are saved with their course: every column
// follows its source, and the heatmap hatches none of them.
TEST(ConfoundsEndToEnd, Motion24OfRotationsInRadiansKeepsEverySmallColumn) {
  TempDir dir;
  const std::string tsv = example("sub01_run1_desc-confounds_timeseries.tsv");
  const auto result =
      runTormel({"mergeall", example("sub01_task.sdm"), tsv, "--confounds", "motion24", "--corr",
                 "--plot", "--save-into", dir.path().string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const DesignMatrix saved = loadSdm(dir.file("sub01_task_run1_desc-confounds_timeseries.sdm"));
  const auto source = tableColumns(readFile(tsv));
  std::size_t checked = 0;
  for (const Predictor& predictor : saved.predictors) {
    if (!source.contains(predictor.name)) continue;
    EXPECT_GT(referenceCorrelation(predictor.values, source.at(predictor.name)), 0.9999)
        << predictor.name;
    ++checked;
  }
  EXPECT_EQ(checked, 24u);
  const std::string svg = readFile(dir.file("sub01_task_run1_desc-confounds_timeseries.svg"));
  EXPECT_EQ(svg.find(" (flat)"), std::string::npos);
  EXPECT_NE(svg.find(">confounds (24)</text>"), std::string::npos);
}

// AFNI's roll, pitch, yaw, dS, dL and dP are the motion columns the presets name.
TEST(ConfoundsEndToEnd, AfniMotionColumnsAreTakenByTheMotionPresets) {
  TempDir dir;
  const auto result = runTormel({"convert", example("sub01_run1_dfile.1D"), "--confounds",
                                 "motion12", "--save", dir.file("afni.sdm")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, running +
                            "\nBrindle>  Confounds from sub01_run1_dfile.1D: trans_x, trans_y, "
                            "trans_z, rot_x, rot_y, rot_z, trans_x_derivative1, "
                            "trans_y_derivative1, trans_z_derivative1, rot_x_derivative1, "
                            "rot_y_derivative1, rot_z_derivative1\nBrindle>  Saved " +
                            dir.file("afni.sdm") + finished);
}

// fMRIPrep's outlier columns repeat one another; a copy is left out and named.
TEST(ConfoundsEndToEnd, ColumnsThatCopyEarlierOnesAreLeftOutAndNamed) {
  TempDir dir;
  const std::string tsv = dir.file("run_desc-confounds_timeseries.tsv");
  std::string text = "non_steady_state_outlier00\tmotion_outlier00\tmotion_outlier01\tcsf\n";
  for (int t = 0; t < 8; ++t) {
    text += t == 0 ? "1\t1\t0\t" : t == 5 ? "0\t0\t1\t" : "0\t0\t0\t";
    text += std::to_string(500 + (t * 7) % 5) + "\n";
  }
  testing_support::writeFile(tsv, text);
  const auto result = runTormel({"sdm1corr", tsv, "--confounds", "csf,outliers"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, running +
                            "\nBrindle>  Confounds from run_desc-confounds_timeseries.tsv: csf, "
                            "motion_outlier00, motion_outlier01; non_steady_state_outlier00 = "
                            "motion_outlier00, left out\nBrindle>  Saved Correlatios to " +
                            dir.file("run_desc-confounds_timeseries.csv") + finished);
}

// The sidecar keeps what the table cannot: names, colours, the predictors of interest and the
// constant of a task SDM come back byte for byte.
TEST(ConfoundsEndToEnd, TableWithItsSidecarConvertsBackToTheSameTaskSdm) {
  TempDir dir;
  const auto toTable = runTormel({"convert", example("sub01_task.sdm"), dir.file("task.tsv")});
  ASSERT_EQ(toTable.exitCode, 0) << toTable.err;
  const auto back = runTormel({"convert", dir.file("task.tsv"), dir.file("task.sdm")});
  ASSERT_EQ(back.exitCode, 0) << back.err;
  EXPECT_EQ(back.out, running +
                          "\nBrindle>  Confounds from task.tsv: Faces, Houses, Objects, Constant"
                          "\nBrindle>  Saved " +
                          dir.file("task.sdm") + finished);
  EXPECT_EQ(readFile(dir.file("task.sdm")), readFile(example("sub01_task.sdm")));
  const std::string sidecar = readFile(dir.file("task.json"));
  EXPECT_EQ(sidecar.substr(0, sidecar.find("\"Columns\"")),
            "{\r\n  \"GeneratedBy\": [{\"Name\": \"Brindle\", \"Version\": \"1.0\"}],\r\n"
            "  \"FirstConfoundPredictor\": 4,\r\n  \"IncludesConstant\": true,\r\n  ");
}

TEST(ConfoundsEndToEnd, ResultsOfConfoundFilesAreOfferedUnderAnSdmNameAndACancelWritesNothing) {
  const auto merge = runTormel({"mergesec", example("rp_sub01_run1.txt"),
                                example("sub01_run1_mcf.par"), "--cancel-all", "--trace"});
  EXPECT_EQ(merge.exitCode, 0) << merge.err;
  EXPECT_NE(merge.err.find(" | " + example("rp_sub01_run1_sub01_run1_mcf.sdm") + " | "),
            std::string::npos)
      << merge.err;

  const auto convert = runTormel({"convert", example("rp_sub01_run1.txt"), "--save", "cancel"});
  EXPECT_EQ(convert.exitCode, 0) << convert.err;
  EXPECT_EQ(convert.out, running +
                             "\nBrindle>  Confounds from rp_sub01_run1.txt: trans_x, trans_y, "
                             "trans_z, rot_x, rot_y, rot_z" +
                             finished);
  EXPECT_FALSE(std::filesystem::exists(example("rp_sub01_run1.sdm")));
}

TEST(ConfoundsEndToEnd, TermThatMatchesNoColumnStopsTheTaskNamingTheColumns) {
  TempDir dir;
  const std::string tsv = dir.file("run1_desc-confounds_timeseries.tsv");
  std::filesystem::copy_file(example("sub01_run1_desc-confounds_timeseries.tsv"), tsv);
  const auto result = runTormel({"sdm1corr", tsv, "--confounds", "motion6, trans_q*"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, running + finished);
  EXPECT_EQ(result.err,
            "[message] Error: No confound column matches \"trans_q*\" in " + tsv +
                " (columns: global_signal, global_signal_derivative1, global_signal_power2, "
                "global_signal_derivative1_power2, csf, csf_derivative1, csf_power2, "
                "csf_derivative1_power2, white_matter, white_matter_derivative1, ...)\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("run1_desc-confounds_timeseries.csv")));
}

// A named pipe and a process substitution are read once, their kind told from their first bytes:
// the results equal those of the file itself. A pipe that could be opened only once would hang a
// second open: each run has ten seconds.
TEST(ConfoundsEndToEnd, PipesAndProcessSubstitutionAreReadOnce) {
  TempDir dir;
  const std::string table = example("sub01_run1_desc-confounds_timeseries.tsv");
  testing_support::ProcessOptions options;
  options.workingDirectory = dir.path().string();
  options.environment = {"TABLE=" + table};
  const auto run = [&](const std::string& how, const std::string& out) {
    return testing_support::runProcess(
        "/bin/bash",
        {"-c",
         how + "timeout 10 \"$0\" mergeall \"$1\" \"$input\" --confounds motion6 --save \"$2\"",
         testing_support::tormelPath(), example("sub01_task.sdm"), out},
        options);
  };
  ASSERT_EQ(run("input=$TABLE; ", dir.file("file.sdm")).exitCode, 0);
  const auto fifo = run("mkfifo pipe.tsv && (cat \"$TABLE\" > pipe.tsv &) && input=pipe.tsv; ",
                        dir.file("fifo.sdm"));
  EXPECT_EQ(fifo.exitCode, 0) << fifo.err;
  const auto substituted =
      run("exec 3< <(cat \"$TABLE\"); input=/dev/fd/3; ", dir.file("substituted.sdm"));
  EXPECT_EQ(substituted.exitCode, 0) << substituted.err;
  EXPECT_EQ(readFile(dir.file("fifo.sdm")), readFile(dir.file("file.sdm")));
  EXPECT_EQ(readFile(dir.file("substituted.sdm")), readFile(dir.file("file.sdm")));
}

}  // namespace
