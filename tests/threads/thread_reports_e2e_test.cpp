// Every report, end to end through Tormel and the plug-in it loads, holds the same bytes for 1, 2
// and 7 threads: the CSV, the heatmap and design picture (SVG), the summary (JSON) and the log,
// on shapes that fit no block size, streamed or analysed; --threads and BRINDLE_THREADS
// set the count (up to the cores; BRINDLE_TEST_THREADS makes teams of 7 on any machine), and a
// count that is not a whole number of 1 or more is a usage error.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/sdm_text.h"
#include "support/temp_dir.h"
#include "threads/threads_support.h"

namespace {

using testing_support::ProcessResult;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;
using threads_support::madeUpSdm;

// How a run gets its thread count: the value of --threads (none when empty) and entries of the
// environment.
struct Count {
  std::string threads;
  std::vector<std::string> environment;
};

// 2 and 7 threads with every step split however small, and 7 as the plug-in decides by the work.
// --threads gives no more threads than the cores; teams of 7 come from the tests' own variable.
const std::vector<Count> splitOrNot = {
    {"2", {"BRINDLE_SPLIT_SMALL_STEPS=1"}},
    {"7", {"BRINDLE_SPLIT_SMALL_STEPS=1", "BRINDLE_TEST_THREADS=7"}},
    {"7", {"BRINDLE_TEST_THREADS=7"}}};

// What a run of Tormel with `args` leaves, by name: its exit code, standard output and error,
// and the report files beside the input (by their endings; "(none)" when not written).
std::map<std::string, std::string> run(std::vector<std::string> args, const std::string& stem,
                                       const Count& count) {
  testing_support::ProcessOptions options;
  if (!count.threads.empty()) args.insert(args.end(), {"--threads", count.threads});
  options.environment = count.environment;
  const ProcessResult process = runTormel(args, options);
  std::map<std::string, std::string> output = {
      {"exit code", std::to_string(process.exitCode)}, {"out", process.out}, {"err", process.err}};
  for (const std::string ending : {".csv", ".svg", "_design.svg", ".json"}) {
    const std::string path = stem + ending;
    output[ending] = std::filesystem::exists(path) ? testing_support::readFile(path) : "(none)";
    std::filesystem::remove(path);
  }
  return output;
}

// Runs `args` on 1 thread, which must succeed, and then with each of `counts`, expecting the
// output of 1 thread every time; returns that.
std::map<std::string, std::string> sameReportForEveryCount(const std::vector<std::string>& args,
                                                           const std::string& stem,
                                                           const std::string& what,
                                                           const std::vector<Count>& counts) {
  const auto one = run(args, stem, {"1", {}});
  EXPECT_EQ(one.at("exit code"), "0") << what << ": " << one.at("err");
  for (const Count& count : counts) {
    const auto other = run(args, stem, count);
    std::string environment;
    for (const std::string& entry : count.environment) environment += " " + entry;
    for (const auto& [name, bytes] : one) {
      EXPECT_TRUE(other.at(name) == bytes) << what << ", --threads " << count.threads << environment
                                           << ": the " << name << " differs";
    }
  }
  return one;
}

TEST(ThreadsReportsE2E, EveryReportIsTheSameBytesForOneTwoAndSevenThreads) {
  TempDir dir;
  const std::string path = dir.file("design.sdm");
  // K = 1, n = 1, K below the thread count, K and n that fit no block size, and a K beyond the
  // size from which the diagnostics split their steps.
  const std::size_t shapes[][2] = {{1, 1}, {1, 9}, {3, 1}, {2, 5}, {5, 33}, {37, 131}, {203, 257}};
  for (const auto [k, n] : shapes) {
    const std::string what = "K " + std::to_string(k) + ", n " + std::to_string(n);
    writeFile(path, madeUpSdm(k, n).text());
    const auto one =
        sameReportForEveryCount({"sdm1corr", path, "--plot", "--json", "--warn", "0.3"},
                                dir.file("design"), what, splitOrNot);
    EXPECT_NE(one.at(".json"), "(none)") << what;
    EXPECT_NE(one.at("_design.svg"), "(none)") << what;
  }
}

TEST(ThreadsReportsE2E, AGeneratedDesignStreamsTheSameReportWithoutOptions) {
  TempDir dir;
  const std::string path = dir.file("task.sdm");
  ASSERT_EQ(testing_support::runProcess(testing_support::buildDir() + "/sdmgen",
                                        {path, "--interest", "7", "--confounds", "150",
                                         "--constant", "--points", "333", "--seed", "5"})
                .exitCode,
            0);
  // Without the options the report streams its rows as they are computed.
  sameReportForEveryCount({"sdm1corr", path}, dir.file("task"), "streamed", splitOrNot);
}

TEST(ThreadsReportsE2E, TheEnvironmentVariableSetsTheCountAndTheOptionComesFirst) {
  TempDir dir;
  const std::string path = dir.file("design.sdm");
  writeFile(path, madeUpSdm(29, 77).text());
  sameReportForEveryCount({"sdm1corr", path, "--plot", "--json", "--warn", "0.3"},
                          dir.file("design"), "29 by 77",
                          {{"", {"BRINDLE_THREADS=3"}},
                           {"", {"BRINDLE_THREADS=0"}},
                           {"", {"BRINDLE_THREADS=many"}},
                           {"2", {"BRINDLE_THREADS=many"}},
                           {"", {"BRINDLE_THREADS=256"}}});
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
