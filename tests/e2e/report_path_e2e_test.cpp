// Where reports go, end to end through build/Tormel: beside the SDM under its file name with the
// extension replaced, never over the SDM itself, or into the folder that --report-into names.
// Also the reasons of failed saves that need more than a folder to arrange: a folder the user
// may not write to, and a full disk.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/log_lines.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using e2e_fixtures::finished;
using e2e_fixtures::running;
using testing_support::crlf;
using testing_support::ProcessOptions;
using testing_support::ProcessResult;
using testing_support::readFile;
using testing_support::runProcess;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::tormelPath;
using testing_support::writeFile;

const std::string mergeSec = log_lines::startMergeSec;
const std::string mergeAll = log_lines::startMergeAll;
// The warning a merge of the four-point SDMs below gets: its four predictors cannot be estimated.
std::string tooFew(const std::string& name) { return log_lines::notEstimable(name, 4, 4); }

// An SDM of `points` data points, two predictors.
std::string sdmFile(int points) {
  std::string text =
      "FileVersion:            1\n\nNrOfPredictors:         2\nNrOfDataPoints:         " +
      std::to_string(points) +
      "\nIncludesConstant:       0\nFirstConfoundPredictor: 2\n\n255 0 0   0 255 0\n\"Up\" "
      "\"Wave\"\n";
  for (int t = 0; t < points; ++t)
    text += "  " + std::to_string(t % 7) + ".000000  " + std::to_string(t % 3) + ".500000\n";
  return crlf(text);
}

const std::string sdm = sdmFile(4);

// Every entry under `root`, relative, sorted; folders end in "/".
std::vector<std::string> listing(const fs::path& root) {
  std::vector<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string name = entry.path().lexically_relative(root).string();
    if (entry.is_directory()) name += "/";
    entries.push_back(name);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

struct PathCase {
  std::string name;
  std::vector<std::string> inputs;  // SDM files (and folders, ending in "/") made first
  std::vector<std::string> args;    // run in the case's folder
  int exitCode;
  std::string log;  // standard output between the start and the end
  std::string err;
  std::vector<std::string> entries;  // the whole folder afterwards
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class ReportPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(ReportPath, WritesWhereTheRuleSaysAndKeepsTheInputs) {
  const PathCase& c = GetParam();
  TempDir dir;
  for (const auto& input : c.inputs) {
    fs::create_directories((dir.path() / input).parent_path());
    if (input.back() != '/') writeFile(dir.path() / input, sdm);
  }
  ProcessOptions options;
  options.workingDirectory = dir.path().string();
  const ProcessResult result = runTormel(c.args, options);
  EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
  EXPECT_EQ(result.out, running + c.log + finished);
  EXPECT_EQ(result.err, c.err);
  EXPECT_EQ(listing(dir.path()), c.entries);
  for (const auto& input : c.inputs) {
    if (input.back() != '/') {
      EXPECT_EQ(readFile(dir.path() / input), sdm) << input;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tormel, ReportPath,
    ::testing::Values(
        PathCase{"PointInAFolderName",
                 {"proj.v2/run1"},
                 {"sdm1corr", "proj.v2/run1"},
                 0,
                 "\nBrindle>  Saved Correlatios to proj.v2/run1.csv",
                 "",
                 {"proj.v2/", "proj.v2/run1", "proj.v2/run1.csv"}},
        PathCase{"DotSlashAndNoExtension",
                 {"run1"},
                 {"sdm1corr", "./run1", "--plot"},
                 0,
                 "\nBrindle>  Saved Correlatios to ./run1.csv",
                 "",
                 {"run1", "run1.csv", "run1.svg", "run1_design.svg"}},
        PathCase{"SdmNamedLikeItsReport",
                 {"x.csv"},
                 {"sdm1corr", "x.csv"},
                 1,
                 "",
                 "[message] Error: Cannot Create file: x.csv (it is the SDM itself)\n",
                 {"x.csv"}},
        // The report is written; the heatmap would replace the SDM.
        PathCase{"SdmNamedLikeItsHeatmap",
                 {"x.svg"},
                 {"sdm1corr", "x.svg", "--plot"},
                 1,
                 "\nBrindle>  Saved Correlatios to x.csv",
                 "[message] Error: Cannot Create file: x.svg (it is the SDM itself)\n",
                 {"x.csv", "x.svg"}},
        PathCase{"ReportIntoTheSdmsFolderSpelledOtherwise",
                 {"data/x.csv"},
                 {"sdm1corr", "data/x.csv", "--report-into", "./data"},
                 1,
                 "",
                 "[message] Error: Cannot Create file: ./data/x.csv (it is the SDM itself)\n",
                 {"data/", "data/x.csv"}},
        PathCase{"ReportInto",
                 {"data/run1.sdm", "reports/"},
                 {"sdm1corr", "data/run1.sdm", "--plot", "--report-into", "reports"},
                 0,
                 "\nBrindle>  Saved Correlatios to reports/run1.csv",
                 "",
                 {"data/", "data/run1.sdm", "reports/", "reports/run1.csv", "reports/run1.svg",
                  "reports/run1_design.svg"}},
        PathCase{"ReportIntoForAMerge",
                 {"a.sdm", "b.sdm", "out/", "reports/"},
                 {"mergesec", "a.sdm", "b.sdm", "--corr", "--plot", "--report-into", "reports/",
                  "--save", "out/ab.sdm"},
                 0,
                 mergeSec + "\nBrindle>  Saved out/ab.sdm" + tooFew("ab.sdm"),
                 "",
                 {"a.sdm", "b.sdm", "out/", "out/ab.sdm", "reports/", "reports/ab.csv",
                  "reports/ab.svg", "reports/ab_design.svg"}},
        // The offered name's report would replace the second input: the host refuses that save.
        PathCase{"ReportOverAnInputRefusedByTheHost",
                 {"sub01.sdm", "sub01_motion.csv"},
                 {"mergeall", "sub01.sdm", "sub01_motion.csv", "--corr"},
                 73,
                 mergeAll,
                 "Tormel: not saving sub01_motion.sdm: its report sub01_motion.csv: it is an "
                 "input of this task\n",
                 {"sub01.sdm", "sub01_motion.csv"}},
        // Chosen by the user: the SDM is saved, its report refused, the input kept.
        PathCase{"ReportOverAnInputChosenByTheUser",
                 {"sub01.sdm", "sub01_motion.csv"},
                 {"mergeall", "sub01.sdm", "sub01_motion.csv", "--corr", "--plot", "--save",
                  "sub01_motion.sdm"},
                 73,
                 mergeAll + "\nBrindle>  Saved sub01_motion.sdm" + tooFew("sub01_motion.sdm") +
                     "\nBrindle>  Cannot Create file: sub01_motion.csv (it is an input of this "
                     "task)",
                 "Tormel: refused by the plug-in: Cannot Create file: sub01_motion.csv (it is an "
                 "input of this task)\n",
                 {"sub01.sdm", "sub01_motion.csv", "sub01_motion.sdm"}},
        // Two results of one name saved apart, their reports into one folder: the second report
        // is refused, whoever chose the names.
        PathCase{"SameNamedReportsOfTwoResults",
                 {"a.sdm", "b.sdm", "c.sdm", "x/", "y/", "reports/"},
                 {"mergeall", "a.sdm", "b.sdm", "c.sdm", "--corr", "--report-into", "reports",
                  "--save", "x/r.sdm", "--save", "y/r.sdm"},
                 73,
                 mergeAll + "\nBrindle>  Saved x/r.sdm" + tooFew("r.sdm") +
                     "\nBrindle>  Saved y/r.sdm" + tooFew("r.sdm") +
                     "\nBrindle>  Cannot Create file: reports/r.csv (an earlier result of this "
                     "task wrote it)",
                 "Tormel: refused by the plug-in: Cannot Create file: reports/r.csv (an earlier "
                 "result of this task wrote it)\n",
                 {"a.sdm", "b.sdm", "c.sdm", "reports/", "reports/r.csv", "x/", "x/r.sdm", "y/",
                  "y/r.sdm"}},
        PathCase{"ReportIntoAMissingFolder",
                 {"run1.sdm"},
                 {"sdm1corr", "run1.sdm", "--set", "corrdir=nowhere"},
                 1,
                 "",
                 "[message] Error: Cannot Create file: nowhere/run1.csv (no such file or folder)\n",
                 {"run1.sdm"}}),
    [](const ::testing::TestParamInfo<PathCase>& param) { return param.param.name; });

// Root may write anywhere: the save then runs as the unprivileged user "nobody".
TEST(SaveReason, AFolderThatMayNotBeWrittenIsPermissionDenied) {
  TempDir dir;
  writeFile(dir.file("a.sdm"), sdm);
  writeFile(dir.file("b.sdm"), sdm);
  fs::create_directory(dir.path() / "locked");
  fs::permissions(dir.path() / "locked", static_cast<fs::perms>(0555));
  std::vector<std::string> args{"mergesec", dir.file("a.sdm"), dir.file("b.sdm"), "--save",
                                dir.file("locked/ab.sdm")};
  std::string program = tormelPath();
  if (::geteuid() == 0) {
    if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no setpriv to drop root";
    // The unprivileged user may not be able to enter the build folder (a checkout under a 0700
    // folder): Tormel and the plug-in go beside the test's files.
    fs::create_directory(dir.path() / "bin");
    for (const char* file : {"Tormel", "libbrindle.so"})
      fs::copy_file(fs::path(tormelPath()).parent_path() / file, dir.path() / "bin" / file);
    program = (dir.path() / "bin" / "Tormel").string();
    for (fs::path p = dir.path(); p != p.root_path(); p = p.parent_path()) {
      if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none)
        GTEST_SKIP() << "the unprivileged user cannot enter " << p.string();
    }
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
    program = "/usr/bin/setpriv";
  }
  const ProcessResult result = runProcess(program, args);
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(result.out, running + mergeSec + finished);
  EXPECT_EQ(result.err, "[message] Error: Cannot Create file: " + dir.file("locked/ab.sdm") +
                            " (permission denied)\n");
  EXPECT_TRUE(fs::is_empty(dir.path() / "locked"));
}

// A file system of 64 KiB, mounted in a mount namespace of its own for Tormel alone; skipped
// where the system allows no such namespace. What is left on it is listed after Tormel ends.
TEST(SaveReason, AFullDiskIsDiskFull) {
  TempDir dir;
  const std::string big = sdmFile(6000);  // about 130 KB
  writeFile(dir.file("a.sdm"), big);
  writeFile(dir.file("b.sdm"), big);
  fs::create_directory(dir.path() / "small");
  const std::string unshare = "/usr/bin/unshare";
  const std::string mount = "mount -t tmpfs -o size=64k tmpfs \"$0\" || exit 99; ";
  if (::access(unshare.c_str(), X_OK) != 0 ||
      runProcess(unshare, {"-rm", "sh", "-c", mount, dir.file("small")}).exitCode != 0)
    GTEST_SKIP() << "no mount namespace for a small file system";
  const ProcessResult result =
      runProcess(unshare, {"-rm", "sh", "-c",
                           mount + "\"$@\"; status=$?; echo \"[left]\" $(ls -A \"$0\"); "
                                   "exit $status",
                           dir.file("small"), tormelPath(), "mergesec", dir.file("a.sdm"),
                           dir.file("b.sdm"), "--save", dir.file("small/ab.sdm")});
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(result.out, running + mergeSec + finished + "[left]\n");
  EXPECT_EQ(result.err,
            "[message] Error: Cannot write file: " + dir.file("small/ab.sdm") + " (disk full)\n");
}

// A file size limit (ulimit -f, 64 KiB) makes the write fail rather than end Tormel by a signal.
TEST(SaveReason, AFileSizeLimitIsFileTooLarge) {
  TempDir dir;
  const std::string big = sdmFile(6000);  // about 130 KB
  writeFile(dir.file("a.sdm"), big);
  writeFile(dir.file("b.sdm"), big);
  const ProcessResult result =
      runProcess("/bin/sh", {"-c", "ulimit -f 128 && exec \"$@\"", "sh", tormelPath(), "mergesec",
                             dir.file("a.sdm"), dir.file("b.sdm"), "--save", dir.file("ab.sdm")});
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(result.out, running + mergeSec + finished);
  EXPECT_EQ(result.err,
            "[message] Error: Cannot write file: " + dir.file("ab.sdm") + " (file too large)\n");
  EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"a.sdm", "b.sdm"}));
}

// A save in progress in another PID namespace (a container sharing the folder; another machine is
// the same case) holds the lock of its temporary file, named with a process id that means nothing
// here: the save beside it leaves that file alone. A process of perl in a namespace of its own
// plays that save; skipped where no such namespace can be had.
TEST(SaveRules, ALiveTemporaryOfAnotherPidNamespaceIsKept) {
  TempDir dir;
  writeFile(dir.file("a.sdm"), sdm);
  writeFile(dir.file("b.sdm"), sdm);
  const std::string live = ".ab.sdm.tmp-4194000-livesave";
  const std::string holder =
      "open(my $f, '+>', '" + live +
      "') or die; "
      "my $l = pack('s s x4 q q i x4', F_WRLCK, 0, 0, 0, 0); fcntl($f, F_SETLK, $l) or die; "
      "open(my $r, '>', 'ready') or die; close $r; sleep 20";
  const std::string script =
      "unshare --pid --fork perl -MFcntl -e \"$1\" 2>/dev/null & holder=$!; "
      "for i in $(seq 200); do [ -e ready ] && break; sleep 0.05; done; "
      "[ -e ready ] || { kill $holder 2>/dev/null; exit 99; }; rm ready; "
      "\"$0\" mergesec a.sdm b.sdm --save ab.sdm; status=$?; "
      "kill $holder; wait; exit $status";
  ProcessOptions options;
  options.workingDirectory = dir.path().string();
  const ProcessResult result =
      runProcess("/bin/bash", {"-c", script, tormelPath(), holder}, options);
  if (result.exitCode == 99) GTEST_SKIP() << "no PID namespace, or no perl, for the other save";
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            running + mergeSec + "\nBrindle>  Saved ab.sdm" + tooFew("ab.sdm") + finished);
  EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{live, "a.sdm", "ab.sdm", "b.sdm"}));
}

}  // namespace
