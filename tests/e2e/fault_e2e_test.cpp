// Faults end to end: build/Tormel runs a merge on the plug-in while a file cannot be read or
// written. Each case checks the message box text, the exit status, the log, and the whole
// folder afterwards: no partial or temporary file is left, and a file that stood at a target
// path keeps its bytes. CI runs as root, which ignores permission bits: the unreadable inputs
// are paths that cannot be opened at all, and a target counts as read-only by its mode alone.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using e2e_fixtures::finished;
using e2e_fixtures::startAll;
using testing_support::crlf;
using testing_support::ProcessOptions;
using testing_support::readFile;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string kOld = "the file that stood here\r\n";

// An SDM in the writer's layout: `names.size()` predictors, `points` data points, values
// 0.01 * (t + 1) + p / 10 and their negatives, all within the two-digit columns.
std::string sdmFile(const std::vector<std::string>& names, int firstConfound, int points) {
  const std::string n = std::to_string(names.size());
  std::string text = "NrOfPredictors:         " + n +
                     "\nNrOfDataPoints:         " + std::to_string(points) +
                     "\nFirstConfoundPredictor: " + std::to_string(firstConfound) + "\n\n";
  for (std::size_t p = 0; p < names.size(); ++p)
    text += (p ? "   " : "") + std::to_string(p) + " 9 9";
  text += "\n";
  for (std::size_t p = 0; p < names.size(); ++p) text += (p ? " \"" : "\"") + names[p] + "\"";
  text += "\n";
  for (int t = 0; t < points; ++t) {
    for (std::size_t p = 0; p < names.size(); ++p) {
      const int hundredths = (t % 97 + 1) + static_cast<int>(p) * 10;
      const bool negative = (t + static_cast<int>(p)) % 3 == 0;
      char value[32];
      std::snprintf(value, sizeof value, "%s%d.%02d0000", negative ? "-" : "", hundredths / 100,
                    hundredths % 100);
      text += (p ? "  " : " ") + std::string(negative ? "" : " ") + value;
    }
    text += "\n";
  }
  return crlf(text);
}

std::vector<std::string> namesFrom(const std::string& stem, int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(stem + std::to_string(i + 1));
  return names;
}

// Every entry under `root`, relative, sorted; folders end in "/".
std::vector<std::string> listing(const fs::path& root) {
  std::vector<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string name = entry.path().lexically_relative(root).string();
    if (!entry.is_symlink() && entry.is_directory()) name += "/";
    entries.push_back(name);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string substitute(std::string text, const std::string& folder) {
  for (auto at = text.find("{D}"); at != std::string::npos;
       at = text.find("{D}", at + folder.size())) {
    text.replace(at, 3, folder);
  }
  return text;
}

const std::vector<std::string> kInputs{"in/",         "in/run1.sdm",   "in/run2.sdm", "in/task.sdm",
                                       "in/wide.sdm", "in/wide_b.sdm", "out/"};

struct FaultCase {
  std::string name;
  std::function<void(const fs::path&)> arrange;  // puts the obstacle in place
  std::vector<std::string> args;                 // {D} stands for the test's folder
  long fileSizeLimit;                            // RLIMIT_FSIZE for Tormel; -1: none
  int exitCode;
  std::string log;                          // standard output between start and end
  std::string message;                      // the whole of standard error
  std::vector<std::string> extraFiles;      // beyond kInputs, as listing() shows them
  std::map<std::string, std::string> kept;  // files that must keep these bytes
  std::string sameAsClean;                  // a saved file that must equal a clean run's
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class Faults : public ::testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override {
    fs::create_directories(dir.path() / "in");
    fs::create_directories(dir.path() / "out");
    writeFile(dir.file("in/task.sdm"), sdmFile({"Faces", "Houses"}, 3, 400));
    writeFile(dir.file("in/run1.sdm"), sdmFile({"TX", "RY"}, 1, 400));
    writeFile(dir.file("in/run2.sdm"), sdmFile({"TX2", "RY2"}, 1, 400));
    // Many predictors over few data points: a report far larger than its SDM.
    writeFile(dir.file("in/wide.sdm"), sdmFile(namesFrom("a", 40), 41, 3));
    writeFile(dir.file("in/wide_b.sdm"), sdmFile(namesFrom("b", 40), 1, 3));
  }
  TempDir dir;
};

TEST_P(Faults, ShowTheErrorAndLeaveEveryOtherFileAsItWas) {
  const FaultCase& c = GetParam();
  const std::string folder = dir.path().string();
  if (c.arrange) c.arrange(dir.path());
  std::vector<std::string> args;
  for (const auto& a : c.args) args.push_back(substitute(a, folder));
  ProcessOptions options;
  options.fileSizeLimit = c.fileSizeLimit;
  const auto result = runTormel(args, options);

  EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
  EXPECT_EQ(result.out, startAll + substitute(c.log, folder) + finished);
  EXPECT_EQ(result.err, substitute(c.message, folder));
  std::vector<std::string> expected = kInputs;
  expected.insert(expected.end(), c.extraFiles.begin(), c.extraFiles.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listing(dir.path()), expected);
  for (const auto& [name, bytes] : c.kept) EXPECT_EQ(readFile(dir.path() / name), bytes) << name;

  if (!c.sameAsClean.empty()) {
    // The same task with nothing in its way saves the same bytes.
    TempDir clean;
    fs::copy(dir.path() / "in", clean.path() / "in", fs::copy_options::recursive);
    fs::create_directory(clean.path() / "out");
    std::vector<std::string> cleanArgs;
    for (const auto& a : c.args) cleanArgs.push_back(substitute(a, clean.path().string()));
    ASSERT_EQ(runTormel(cleanArgs).exitCode, 0);
    EXPECT_EQ(readFile(dir.path() / c.sameAsClean), readFile(clean.path() / c.sameAsClean));
  }
}

void makeFolder(const fs::path& path) { fs::create_directories(path); }

void makeReadOnly(const fs::path& path) {
  writeFile(path, kOld);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

const std::vector<std::string> kMergeAll{"mergeall", "{D}/in/task.sdm", "{D}/in/run1.sdm",
                                         "{D}/in/run2.sdm"};

std::vector<std::string> mergeAll(std::vector<std::string> extra) {
  std::vector<std::string> args = kMergeAll;
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

INSTANTIATE_TEST_SUITE_P(
    Tormel, Faults,
    ::testing::Values(
        // A save that reaches the file size limit part way: the old file stays, no temporary one.
        FaultCase{"SaveRunsOutOfSpace",
                  [](const fs::path& d) { writeFile(d / "out/m1.sdm", kOld); },
                  mergeAll({"--save", "{D}/out/m1.sdm", "--save", "{D}/out/m2.sdm"}),
                  4096,
                  1,
                  "",
                  "[message] Error: Cannot write file: {D}/out/m1.sdm (file too large)\n",
                  {"out/m1.sdm"},
                  {{"out/m1.sdm", kOld}},
                  ""},
        // The SDM fits, its report does not: the SDM is saved and logged, the report not left.
        FaultCase{"ReportRunsOutOfSpaceAfterTheSave",
                  nullptr,
                  {"mergeall", "{D}/in/wide.sdm", "{D}/in/wide_b.sdm", "--corr", "--save",
                   "{D}/out/w.sdm"},
                  16384,
                  1,
                  "\nBrindle>  Saved {D}/out/w.sdm\nBrindle>  Warning: w.sdm: 80 predictors for 3 "
                  "data points: the design cannot be estimated",
                  "[message] Error: Cannot write file: {D}/out/w.csv (file too large)\n",
                  {"out/w.sdm"},
                  {},
                  "out/w.sdm"},
        FaultCase{
            "InputNamesAFolder",
            [](const fs::path& d) { makeFolder(d / "in/run3.sdm"); },
            mergeAll({"{D}/in/run3.sdm", "--save", "{D}/out/m1.sdm"}),
            -1,
            1,
            "",
            "[message] Error: Failed opening for reading: {D}/in/run3.sdm (a folder is in the "
            "way)\n",
            {"in/run3.sdm/"},
            {},
            ""},
        FaultCase{
            "InputBehindAFile",
            nullptr,
            mergeAll({"{D}/in/run1.sdm/x.sdm", "--save", "{D}/out/m1.sdm"}),
            -1,
            1,
            "",
            "[message] Error: Failed opening for reading: {D}/in/run1.sdm/x.sdm (no such file "
            "or folder)\n",
            {},
            {},
            ""},
        FaultCase{"InputIsASymlinkLoop",
                  [](const fs::path& d) { fs::create_symlink("loop.sdm", d / "in/loop.sdm"); },
                  mergeAll({"{D}/in/loop.sdm", "--save", "{D}/out/m1.sdm"}),
                  -1,
                  1,
                  "",
                  "[message] Error: Failed opening for reading: {D}/in/loop.sdm (too many links)\n",
                  {"in/loop.sdm"},
                  {},
                  ""},
        FaultCase{
            "InputNameTooLongForTheFileSystem",
            nullptr,
            mergeAll({"{D}/in/" + std::string(300, 'n') + ".sdm", "--save", "{D}/out/m1.sdm"}),
            -1,
            1,
            "",
            "[message] Error: Failed opening for reading: {D}/in/" + std::string(300, 'n') +
                ".sdm (name too long)\n",
            {},
            {},
            ""},
        FaultCase{"SavePathNamesAFolder",
                  nullptr,
                  mergeAll({"--save", "{D}/out"}),
                  -1,
                  1,
                  "",
                  "[message] Error: Cannot Create file: {D}/out (a folder is in the way)\n",
                  {},
                  {},
                  ""},
        FaultCase{"SavePathEndsInASeparator",
                  nullptr,
                  mergeAll({"--save", "{D}/out/"}),
                  -1,
                  1,
                  "",
                  "[message] Error: Cannot Create file: {D}/out/ (a folder is in the way)\n",
                  {},
                  {},
                  ""},
        FaultCase{
            "SaveIntoAMissingFolder",
            nullptr,
            mergeAll({"--save", "{D}/missing/m1.sdm"}),
            -1,
            1,
            "",
            "[message] Error: Cannot Create file: {D}/missing/m1.sdm (no such file or folder)\n",
            {},
            {},
            ""},
        FaultCase{"SaveBehindAFile",
                  nullptr,
                  mergeAll({"--save", "{D}/in/task.sdm/m1.sdm"}),
                  -1,
                  1,
                  "",
                  "[message] Error: Cannot Create file: {D}/in/task.sdm/m1.sdm (no such file or "
                  "folder)\n",
                  {},
                  {},
                  ""},
        FaultCase{"SaveNameTooLong",
                  nullptr,
                  mergeAll({"--save", "{D}/out/" + std::string(300, 'n') + ".sdm"}),
                  -1,
                  1,
                  "",
                  "[message] Error: Cannot Create file: {D}/out/" + std::string(300, 'n') +
                      ".sdm (name too long)\n",
                  {},
                  {},
                  ""},
        // A loop of links ends in the system's refusal (ELOOP).
        FaultCase{"SaveThroughALinkLoop",
                  [](const fs::path& d) { fs::create_symlink("m1.sdm", d / "out/m1.sdm"); },
                  mergeAll({"--save", "{D}/out/m1.sdm"}),
                  -1,
                  1,
                  "",
                  "[message] Error: Cannot Create file: {D}/out/m1.sdm (too many links)\n",
                  {"out/m1.sdm"},
                  {},
                  ""},
        FaultCase{"ReadOnlyTarget",
                  [](const fs::path& d) { makeReadOnly(d / "out/m1.sdm"); },
                  mergeAll({"--save", "{D}/out/m1.sdm"}),
                  -1,
                  1,
                  "",
                  "[message] Error: Cannot Create file: {D}/out/m1.sdm (read-only file)\n",
                  {"out/m1.sdm"},
                  {{"out/m1.sdm", kOld}},
                  ""},
        // The first result is saved and logged; its report fails, and the second result is
        // never offered.
        FaultCase{"ReportPathNamesAFolder",
                  [](const fs::path& d) { makeFolder(d / "out/m1.csv"); },
                  mergeAll({"--corr", "--save", "{D}/out/m1.sdm", "--save", "{D}/out/m2.sdm"}),
                  -1,
                  1,
                  "\nBrindle>  Saved {D}/out/m1.sdm",
                  "[message] Error: Cannot Create file: {D}/out/m1.csv (a folder is in the way)\n",
                  {"out/m1.csv/", "out/m1.sdm"},
                  {},
                  "out/m1.sdm"},
        FaultCase{"ReadOnlyReport",
                  [](const fs::path& d) { makeReadOnly(d / "out/m1.csv"); },
                  mergeAll({"--corr", "--save", "{D}/out/m1.sdm", "--save", "{D}/out/m2.sdm"}),
                  -1,
                  1,
                  "\nBrindle>  Saved {D}/out/m1.sdm",
                  "[message] Error: Cannot Create file: {D}/out/m1.csv (read-only file)\n",
                  {"out/m1.csv", "out/m1.sdm"},
                  {{"out/m1.csv", kOld}},
                  "out/m1.sdm"}),
    [](const ::testing::TestParamInfo<FaultCase>& param) { return param.param.name; });

// The read-only target keeps its mode as well as its bytes.
TEST(FaultsReadOnly, ARefusedTargetKeepsItsMode) {
  TempDir dir;
  fs::create_directory(dir.path() / "in");
  writeFile(dir.file("in/a_1.sdm"), sdmFile({"A"}, 2, 3));
  writeFile(dir.file("in/a_2.sdm"), sdmFile({"B"}, 2, 3));
  makeReadOnly(dir.path() / "target.sdm");
  const auto result = runTormel({"mergesec", dir.file("in/a_1.sdm"), dir.file("in/a_2.sdm"),
                                 "--save", dir.file("target.sdm")});
  EXPECT_EQ(result.exitCode, 1);
  struct stat status {};
  ASSERT_EQ(::stat(dir.file("target.sdm").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0444u);
}

}  // namespace
