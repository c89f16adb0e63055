// valgrind memcheck over Tormel on the real plug-in (this build's, not a sanitized one): merges
// with every option and their reports, and runs that end in an error after files were saved
// or while a file was read, so that the exception paths are checked too. Every run must end
// with no memcheck error and no definite or indirect leak.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ProcessResult;
using testing_support::runProcess;
using testing_support::TempDir;

// memcheck's own exit status for a run with errors (leaks of the kinds named count as errors);
// apart from Tormel's 0, 1, 2 and 64.
constexpr int kMemcheckFailed = 99;

std::string findInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::filesystem::path candidate = std::filesystem::path(folder) / name;
    if (!folder.empty() && std::filesystem::is_regular_file(candidate)) return candidate.string();
  }
  return "";
}

class Valgrind : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef BRINDLE_SANITIZED_BUILD
    GTEST_SKIP() << "valgrind cannot run a build that carries the sanitizers";
#endif
    valgrind_ = findInPath("valgrind");
    if (valgrind_.empty()) GTEST_SKIP() << "valgrind is not installed";
    const std::string sdmgen = testing_support::buildDir() + "/sdmgen";
    generate(sdmgen,
             {in("task.sdm"), "--interest", "4", "--constant", "--points", "150", "--seed", "1"});
    generate(sdmgen,
             {in("run1.sdm"), "--confounds", "6", "--motion", "--points", "150", "--seed", "2"});
    generate(sdmgen,
             {in("run2.sdm"), "--confounds", "6", "--motion", "--points", "150", "--seed", "3"});
    std::filesystem::create_directory(dir_.path() / "out");
  }

  void generate(const std::string& sdmgen, const std::vector<std::string>& args) {
    const ProcessResult result = runProcess(sdmgen, args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
  }

  std::string in(const std::string& name) const { return dir_.file(name); }

  // Tormel with `args` under memcheck; fails the test on any memcheck error or leak.
  ProcessResult memcheck(const std::vector<std::string>& args) {
    std::vector<std::string> all{"--error-exitcode=" + std::to_string(kMemcheckFailed),
                                 "--leak-check=full", "--errors-for-leak-kinds=definite,indirect",
                                 "--show-leak-kinds=definite,indirect",
                                 testing_support::tormelPath()};
    all.insert(all.end(), args.begin(), args.end());
    ProcessResult result = runProcess(valgrind_, all);
    EXPECT_NE(result.exitCode, kMemcheckFailed) << result.err;
    EXPECT_NE(result.err.find("ERROR SUMMARY: 0 errors from 0 contexts"), std::string::npos)
        << result.err;
    return result;
  }

  TempDir dir_;
  std::string valgrind_;
};

TEST_F(Valgrind, MergeAllWithEveryOptionAndReportsIsClean) {
  const ProcessResult result =
      memcheck({"mergeall", in("task.sdm"), in("run1.sdm"), in("run2.sdm"), "--baseline",
                "--ztrans", "--corr", "--save-into", in("out")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  for (const char* name : {"task_run1.sdm", "task_run1.csv", "task_run2.sdm", "task_run2.csv"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(in("out/") + name)) << name;
  }
}

TEST_F(Valgrind, AReportThatCannotBeWrittenAfterItsSaveIsClean) {
  std::filesystem::create_directory(in("out/runs.csv"));
  const ProcessResult result = memcheck(
      {"mergesec", in("run1.sdm"), in("run2.sdm"), "--corr", "--save", in("out/runs.sdm")});
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_NE(result.err.find("[message] Error: Cannot Create file: " + in("out/runs.csv") +
                            " (a folder is in the way)\n"),
            std::string::npos)
      << result.err;
  EXPECT_TRUE(std::filesystem::is_regular_file(in("out/runs.sdm")));
}

TEST_F(Valgrind, FilesThatFailToLoadAreClean) {
  testing_support::writeFile(in("endless.sdm"),
                             "NrOfPredictors: 2 NrOfDataPoints: 3 IncludesConstant: 1\n");
  testing_support::writeFile(
      in("letters.sdm"),
      "NrOfPredictors: 1 NrOfDataPoints: 1 FirstConfoundPredictor: 2\n1 2 3\n\"a\"\n x.5\n");
  for (const char* name : {"endless.sdm", "letters.sdm"}) {
    const ProcessResult result =
        memcheck({"mergeall", in("task.sdm"), in("run1.sdm"), in(name), "--corr"});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("[message] Error: "), std::string::npos) << result.err;
  }
}

}  // namespace
