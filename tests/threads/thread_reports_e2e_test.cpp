// Every report, end to end through Tormel and the plug-in it loads, holds the same bytes for 1, 2
// and 7 threads: the CSV, the heatmap and design picture (SVG), the summary (JSON) and the log,
// on shapes that fit no block size, streamed or analysed; --threads and BRINDLE_THREADS
// set the count, and a count that is not a whole number of 1 or more is a usage error.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/sdm_text.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ProcessOptions;
using testing_support::ProcessResult;
using testing_support::readFile;
using testing_support::runProcess;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

// An SDM of K predictors over n data points of made-up values, with a constant last when K > 2.
std::string madeUpSdm(std::size_t k, std::size_t n) {
  SdmText text;
  text.firstConfound = static_cast<int>(k / 2 + 1);
  text.includesConstant = k > 2;
  uint32_t state = static_cast<uint32_t>(k * 131 + n);
  for (std::size_t p = 0; p < k; ++p) text.names.push_back("P" + std::to_string(p + 1));
  for (std::size_t t = 0; t < n; ++t) {
    std::string row;
    char value[32];
    for (std::size_t p = 0; p < k; ++p) {
      state = state * 1664525u + 1013904223u;
      const double x = text.includesConstant && p + 1 == k
                           ? 1.0
                           : static_cast<double>(state >> 8) / 16777216.0 * 6.0 - 3.0 +
                                 0.5 * static_cast<double>(t % 17);
      std::snprintf(value, sizeof value, " %10.6f", x);
      row += value;
    }
    text.rows.push_back(row);
  }
  return text.text();
}

// What one run leaves: its exit code and standard streams, and every file it wrote beside the
// input (by their endings).
struct RunOutput {
  ProcessResult process;
  std::map<std::string, std::string> files;
};

RunOutput runWithThreads(const std::vector<std::string>& args, const std::string& stem,
                         const std::string& threads, const ProcessOptions& options = {}) {
  std::vector<std::string> withCount = args;
  if (!threads.empty()) {
    withCount.push_back("--threads");
    withCount.push_back(threads);
  }
  RunOutput output;
  output.process = runTormel(withCount, options);
  for (const std::string ending : {".csv", ".svg", "_design.svg", ".json"}) {
    const std::string path = stem + ending;
    output.files[ending] = std::filesystem::exists(path) ? readFile(path) : "(none)";
    std::filesystem::remove(path);
  }
  return output;
}

void expectSameOutput(const RunOutput& a, const RunOutput& b, const std::string& what) {
  EXPECT_EQ(a.process.exitCode, b.process.exitCode) << what;
  EXPECT_EQ(a.process.out, b.process.out) << what;
  EXPECT_EQ(a.process.err, b.process.err) << what;
  for (const auto& [ending, bytes] : a.files)
    EXPECT_TRUE(bytes == b.files.at(ending)) << what << ": the " << ending << " files differ";
}

struct Shape {
  std::size_t k, n;
};

// The plug-in splits every parallel step, however small.
const ProcessOptions splitSmall = {"", -1, -1, {"BRINDLE_SPLIT_SMALL_STEPS=1"}};

TEST(ThreadsReportsE2E, EveryReportIsTheSameBytesForOneTwoAndSevenThreads) {
  TempDir dir;
  // K = 1, n = 1, K below the thread count, K and n that fit no block size, and a K beyond the
  // size from which the diagnostics split their steps.
  const Shape shapes[] = {{1, 1}, {1, 9}, {3, 1}, {2, 5}, {5, 33}, {37, 131}, {203, 257}};
  for (const Shape& shape : shapes) {
    const std::string what = "K " + std::to_string(shape.k) + ", n " + std::to_string(shape.n);
    const std::string path = dir.file("design.sdm");
    writeFile(path, madeUpSdm(shape.k, shape.n));
    const std::vector<std::string> args = {"sdm1corr", path, "--plot", "--json", "--warn", "0.3"};
    const RunOutput one = runWithThreads(args, dir.file("design"), "1");
    EXPECT_EQ(one.process.exitCode, 0) << what << ": " << one.process.err;
    EXPECT_NE(one.files.at(".json"), "(none)") << what;
    EXPECT_NE(one.files.at("_design.svg"), "(none)") << what;
    // Every step split, however small, and then as the plug-in decides by the work.
    for (const std::string threads : {"2", "7"})
      expectSameOutput(runWithThreads(args, dir.file("design"), threads, splitSmall), one,
                       what + ", " + threads + " threads");
    expectSameOutput(runWithThreads(args, dir.file("design"), "7"), one, what + ", by the work");
  }
}

TEST(ThreadsReportsE2E, AGeneratedDesignStreamsTheSameReportWithoutOptions) {
  TempDir dir;
  const std::string path = dir.file("task.sdm");
  ASSERT_EQ(runProcess(testing_support::buildDir() + "/sdmgen",
                       {path, "--interest", "7", "--confounds", "150", "--constant", "--points",
                        "333", "--seed", "5"})
                .exitCode,
            0);
  // Without the options the report streams its rows as they are computed.
  const RunOutput one = runWithThreads({"sdm1corr", path}, dir.file("task"), "1");
  EXPECT_EQ(one.process.exitCode, 0) << one.process.err;
  for (const std::string threads : {"2", "7"}) {
    expectSameOutput(runWithThreads({"sdm1corr", path}, dir.file("task"), threads, splitSmall), one,
                     threads);
  }
}

TEST(ThreadsReportsE2E, TheEnvironmentVariableSetsTheCountAndTheOptionComesFirst) {
  TempDir dir;
  const std::string path = dir.file("design.sdm");
  writeFile(path, madeUpSdm(29, 77));
  const std::vector<std::string> args = {"sdm1corr", path, "--plot", "--json", "--warn", "0.3"};
  const RunOutput one = runWithThreads(args, dir.file("design"), "1");
  ProcessOptions variable;
  for (const std::string value : {"3", "0", "many"}) {
    variable.environment = {"BRINDLE_THREADS=" + value};
    expectSameOutput(runWithThreads(args, dir.file("design"), "", variable), one,
                     "BRINDLE_THREADS=" + value);
  }
  expectSameOutput(runWithThreads(args, dir.file("design"), "2", variable), one,
                   "--threads 2 with BRINDLE_THREADS=many");
}

TEST(ThreadsReportsE2E, ACountThatIsNotAWholeNumberOfOneOrMoreIsAUsageError) {
  for (const std::string count : {"0", "-1", "two", "1.5", ""}) {
    const ProcessResult result = runTormel({"sdm1corr", "x.sdm", "--threads", count});
    EXPECT_EQ(result.exitCode, 64) << count;
    EXPECT_EQ(result.err, "Tormel: --threads wants a whole number of threads, 1 or more, not \"" +
                              count + "\"\nTry 'Tormel --help'.\n");
  }
  const ProcessResult missing = runTormel({"sdm1corr", "x.sdm", "--threads"});
  EXPECT_EQ(missing.exitCode, 64);
  EXPECT_EQ(missing.err, "Tormel: --threads needs a value\nTry 'Tormel --help'.\n");
  const ProcessResult help = runTormel({"--help"});
  EXPECT_NE(help.out.find("  --threads N          run the plug-in's parallel steps"),
            std::string::npos);
}

}  // namespace
