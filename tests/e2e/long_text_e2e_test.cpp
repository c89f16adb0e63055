// Names and paths of ten thousand characters end to end through build/Tormel. A name of any
// length travels byte for byte into the merged SDM and its report. A path is another matter:
// the host hands the plug-in at most 4095 bytes (the plug-in's buffers hold 4096), and the
// system opens no path of 4096 bytes or more, though folders can be nested deeper than that.
// Each such path must end in a clear message and no file written; a path just under the
// limits works.

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/log_lines.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using e2e_fixtures::finished;
using e2e_fixtures::startSec;
using testing_support::crlf;
using testing_support::ProcessResult;
using testing_support::readFile;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

std::string sdm(const std::string& a, const std::string& b) {
  return crlf(
      "NrOfPredictors:         2\n"
      "NrOfDataPoints:         2\n"
      "FirstConfoundPredictor: 3\n"
      "\n"
      "1 2 3   4 5 6\n"
      "\"" +
      a + "\" \"" + b +
      "\"\n"
      "  0.500000   1.000000\n"
      "  1.500000  -1.000000\n");
}

// Folders nested `levels` deep under `base`, each named by `component`, made and removed one
// level at a time through descriptors, so that no system call ever sees the whole path.
class DeepFolder {
 public:
  DeepFolder(const fs::path& base, int levels, std::string component)
      : component_(std::move(component)), path_(base.string()) {
    fds_.push_back(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int level = 0; level < levels; ++level) {
      if (fds_.back() < 0 || ::mkdirat(fds_.back(), component_.c_str(), 0755) != 0) {
        throw std::runtime_error("cannot nest folders");
      }
      fds_.push_back(::openat(fds_.back(), component_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      path_ += "/" + component_;
    }
  }
  ~DeepFolder() {
    for (std::size_t level = fds_.size() - 1; level > 0; --level) {
      removeFilesIn(fds_[level]);
      ::close(fds_[level]);
      ::unlinkat(fds_[level - 1], component_.c_str(), AT_REMOVEDIR);
    }
    ::close(fds_[0]);
  }
  DeepFolder(const DeepFolder&) = delete;
  DeepFolder& operator=(const DeepFolder&) = delete;

  // The whole path of the deepest folder, as text.
  const std::string& path() const { return path_; }

  void write(const std::string& name, const std::string& bytes) const {
    const int fd =
        ::openat(fds_.back(), name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  }

  // The names in the deepest folder.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    DIR* folder = ::fdopendir(::dup(fds_.back()));
    while (const dirent* entry = ::readdir(folder)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(folder);
    return names;
  }

 private:
  static void removeFilesIn(int fd) {
    DIR* folder = ::fdopendir(::dup(fd));
    if (folder == nullptr) return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(folder)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(folder);
    for (const auto& name : names) ::unlinkat(fd, name.c_str(), 0);
  }

  std::string component_;
  std::string path_;
  std::vector<int> fds_;
};

TEST(LongNames, TenThousandCharacterNamesTravelIntoTheMergeAndItsReport) {
  TempDir dir;
  const std::string plain(10000, 'n');
  std::string mixed = "a b;c\t";
  mixed += std::string(10000 - mixed.size(), 'x');
  writeFile(dir.file("first.sdm"), sdm("A", "B"));
  writeFile(dir.file("second.sdm"), sdm(plain, mixed));
  const ProcessResult result = runTormel({"mergesec", dir.file("first.sdm"), dir.file("second.sdm"),
                                          "--corr", "--save", dir.file("m.sdm")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(readFile(dir.file("m.sdm")), crlf("NrOfPredictors:         4\n"
                                              "NrOfDataPoints:         2\n"
                                              "FirstConfoundPredictor: 5\n"
                                              "\n"
                                              "1 2 3   4 5 6   1 2 3   4 5 6\n"
                                              "\"A\" \"B\" \"" +
                                              plain + "\" \"" + mixed +
                                              "\"\n"
                                              "  0.500000   1.000000   0.500000   1.000000\n"
                                              "  1.500000  -1.000000   1.500000  -1.000000\n"));
  const std::string report = readFile(dir.file("m.csv"));
  EXPECT_EQ(report.substr(0, report.find("\r\n")), " ; A ; B ; " + plain + " ; " + mixed);
  EXPECT_NE(report.find("\r\n" + mixed + " ; 1.00 ; 1.00 ; 1.00 ; 1.00\r\n"), std::string::npos);
}

// A value that the plug-in would read as empty is a usage error, naming what set it.
TEST(LongPaths, AValueBeyondThePluginsBufferIsAUsageError) {
  TempDir dir;
  const std::string path = dir.file(std::string(10000 - dir.path().string().size() - 1, 'p'));
  ASSERT_EQ(path.size(), 10000u);
  const std::string text(4100, 'x');
  std::string terms;  // short terms, each one the plug-in takes
  while (terms.size() < 4100) terms += "x,";
  const struct {
    std::vector<std::string> args;
    std::string what;
  } cases[] = {
      {{"sdm1corr", path},
       "sdm1corr: sdm1 holds 10000 bytes, more than the plug-in reads (at most "
       "4095)"},
      {{"mergesec", "a.sdm", "b.sdm", "--confounds", terms},
       "--confounds: confounds holds 4100 bytes, more than the plug-in reads (at most 4095)"},
      {{"mergesec", "a.sdm", "b.sdm", "--corr", "--report-into", text},
       "--report-into: corrdir holds 4100 bytes, more than the plug-in reads (at most 4095)"},
      {{"mergesec", "a.sdm", "b.sdm", "--save", text},
       "--save: the path holds 4100 bytes, more than the plug-in reads (at most 4095)"},
  };
  for (const auto& c : cases) {
    const ProcessResult result = runTormel(c.args);
    EXPECT_EQ(result.exitCode, 64);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Tormel: " + c.what + "\nTry 'Tormel --help'.\n");
  }
}

TEST(LongPaths, AFileAtTheEndOfATenThousandCharacterPathCannotBeOpened) {
  TempDir dir;
  writeFile(dir.file("first.sdm"), sdm("A", "B"));
  const DeepFolder deep(dir.path(), 40, std::string(250, 'd'));
  deep.write("second.sdm", sdm("C", "D"));
  const std::string second = deep.path() + "/second.sdm";
  ASSERT_GT(second.size(), 10000u);
  // The list of secondaries takes 65535 bytes, so the path reaches the plug-in whole.
  const ProcessResult result =
      runTormel({"mergesec", dir.file("first.sdm"), second, "--save", dir.file("m.sdm")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, startSec + finished);
  EXPECT_EQ(result.err,
            "[message] Error: Failed opening for reading: " + second + " (name too long)\n");
  EXPECT_FALSE(fs::exists(dir.file("m.sdm")));
}

// An answer Tormel makes itself (the offered name in the --save-into folder) that does not fit.
TEST(LongPaths, ASaveAnswerBeyondTheHostsLimitIsACancel) {
  TempDir dir;
  writeFile(dir.file("first.sdm"), sdm("A", "B"));
  writeFile(dir.file("second.sdm"), sdm("C", "D"));
  const DeepFolder deep(dir.path(), 40, std::string(250, 'd'));
  const std::string target = deep.path() + "/first_second.sdm";
  const ProcessResult result = runTormel({"mergesec", dir.file("first.sdm"), dir.file("second.sdm"),
                                          "--corr", "--save-into", deep.path()});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, startSec + finished);
  EXPECT_EQ(result.err,
            "Tormel: tmGetSaveFileName: the answer holds " + std::to_string(target.size()) +
                " bytes, more than the plug-in's buffer takes (4095); the dialog is cancelled\n");
  EXPECT_TRUE(deep.entries().empty());
}

TEST(LongPaths, APathJustUnderTheLimitsLoadsSavesAndReports) {
  TempDir dir;
  // Fifteen folders of 250 characters: the saved SDM's path stays a little under 4095 bytes,
  // its temporary twin (a point, the name, ".tmp-" and eight letters) under 4096.
  const DeepFolder deep(dir.path(), 15, std::string(250, 'd'));
  deep.write("a_1.sdm", sdm("A", "B"));
  deep.write("a_2.sdm", sdm("C", "D"));
  const std::string target = deep.path() + "/a_1_2.sdm";
  ASSERT_LT(target.size() + 20, 4096u);
  const ProcessResult result = runTormel(
      {"mergesec", deep.path() + "/a_1.sdm", deep.path() + "/a_2.sdm", "--corr", "--save", target});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, startSec + "\nBrindle>  Saved " + target +
                            log_lines::notEstimable("a_1_2.sdm", 4, 2) + finished);
  std::vector<std::string> entries = deep.entries();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"a_1.sdm", "a_1_2.csv", "a_1_2.sdm", "a_2.sdm"}));
}

}  // namespace
