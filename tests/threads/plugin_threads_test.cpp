// The plug-in's threads as the host sees them, with the host in this process: execute starts and
// ends its workers within the call, an exception in a worker ends the task in the usual error
// box, and a task whose threads cannot be started runs on the host's thread alone with the same
// results.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "plugin/brindle.h"
#include "support/fake_host.h"
#include "support/live_threads.h"
#include "support/sdm_text.h"
#include "support/temp_dir.h"
#include "threads/threads_support.h"

using namespace base;

namespace {

using testing_support::FakeHost;
using testing_support::liveThreads;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;
using threads_support::madeUpSdm;

// 230 predictors over 301 data points: enough for every step to split.
const std::size_t k = 230, n = 301;

class ThreadsPlugin : public ::testing::Test {
 protected:
  void SetUp() override { FakeHost::get().reset(); }
  void TearDown() override { FakeHost::get().reset(); }

  // Runs "sdm1corr" with every report file on `path` and returns the host calls of execute.
  std::vector<std::string> runReport(const std::string& path) {
    FakeHost& host = FakeHost::get();
    host.stringParameters["task"] = "sdm1corr";
    host.stringParameters["sdm1"] = path;
    host.intParameters["corrplot"] = 1;
    host.intParameters["corrjson"] = 1;
    host.stringParameters["corrwarn"] = "0.2";
    brindle plugin;
    EXPECT_TRUE(plugin.initPlugin());
    host.calls.clear();
    EXPECT_TRUE(plugin.execute());
    return host.calls;
  }
};

// The report files beside `stem`.sdm, joined.
std::string reportFiles(const std::string& stem) {
  std::string all;
  for (const char* ending : {".csv", ".svg", "_design.svg", ".json"})
    all += readFile(stem + ending) + "\n--\n";
  return all;
}

TEST_F(ThreadsPlugin, ExecuteLeavesNoThreadRunningAndTheSameFilesForEveryCount) {
  TempDir dir;
  writeFile(dir.file("design.sdm"), madeUpSdm(k, n).text());
  std::optional<ScopedThreadCount> count(std::in_place, 1);
  const std::vector<std::string> calls = runReport(dir.file("design.sdm"));
  const std::string files = reportFiles(dir.file("design"));
  // 2 and 7 threads, then 7 asked for that the system refuses: the host's thread alone.
  for (const std::size_t threads : {2u, 7u, 0u}) {
    count.emplace(threads == 0 ? 7 : threads);
    std::optional<ScopedThreadStartRefusal> refusal;
    if (threads == 0) refusal.emplace();
    const std::size_t before = liveThreads();
    EXPECT_EQ(runReport(dir.file("design.sdm")), calls) << threads;
    EXPECT_EQ(liveThreads(), before) << threads << " threads";
    EXPECT_TRUE(reportFiles(dir.file("design")) == files) << threads;
  }
}

TEST_F(ThreadsPlugin, AnExceptionInAWorkerEndsTheTaskInItsErrorBox) {
  TempDir dir;
  // A value beyond the range of a double, in a line that a part of the reader's work converts.
  SdmText text = madeUpSdm(k, n);
  text.rows[250] = " 1.0e999";
  for (std::size_t p = 1; p < k; ++p) text.rows[250] += "  1.000000";
  writeFile(dir.file("design.sdm"), text.text());
  for (const std::size_t threads : {1u, 2u, 7u}) {
    const ScopedThreadCount count(threads);
    const std::size_t before = liveThreads();
    const std::vector<std::string> calls = runReport(dir.file("design.sdm"));
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "tmMessageBox(Error: Number out of range in " + dir.file("design.sdm") +
                                ", data line 251: '1.0e999')")
        << threads;
    EXPECT_EQ(liveThreads(), before);
    EXPECT_FALSE(std::filesystem::exists(dir.file("design.csv")));
  }
}

}  // namespace
