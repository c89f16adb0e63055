#include "base/output_file.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

using namespace base;

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

std::vector<std::string> entriesOf(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string messageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "no error";
}

// Runs `action` in a child process whose files may grow to `limit` bytes only, so that the
// system refuses writes past it with a real EFBIG. The child's exit code says what happened:
// 0 the expected message, 1 no error, 2 another message.
int runWithFileSizeLimit(long limit, const std::function<void()>& action,
                         const std::string& expected) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit fileSize{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    ::setrlimit(RLIMIT_FSIZE, &fileSize);
    const std::string message = messageOf(action);
    ::_exit(message == expected ? 0 : message == "no error" ? 1 : 2);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(OutputFile, WritesAllBytesOnlyWhenCommitted) {
  TempDir dir;
  const std::string path = dir.file("report.csv");
  std::string expected;
  {
    OutputFile file(path);
    // Small pieces, one piece larger than the buffer, then small pieces again.
    for (int i = 0; i < 1000; ++i) {
      const std::string line = "line " + std::to_string(i) + "\r\n";
      file.write(line);
      expected += line;
    }
    const std::string big(700000, 'b');
    file.write(big);
    expected += big;
    for (int i = 0; i < 70000; ++i) {
      file.write("0123456789");
      expected += "0123456789";
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    file.commit();
  }
  EXPECT_EQ(readFile(path), expected);
  EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"report.csv"});
}

TEST(OutputFile, ReplacesAnExistingFile) {
  TempDir dir;
  const std::string path = dir.file("a.sdm");
  writeFile(path, "old content that is longer than the new one");
  OutputFile file(path);
  file.write("new");
  file.commit();
  EXPECT_EQ(readFile(path), "new");
  EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"a.sdm"});
}

TEST(OutputFile, AbandonedFileLeavesTheOldTargetAndNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir.file("a.csv");
  writeFile(path, "old");
  {
    OutputFile file(path);
    file.write(std::string(600000, 'x'));  // some of it reached the temporary file
  }
  EXPECT_EQ(readFile(path), "old");
  EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"a.csv"});
}

TEST(OutputFile, CreatesFilesWithTheUsualPermissions) {
  TempDir dir;
  const std::string path = dir.file("a.csv");
  const mode_t old = ::umask(022);
  {
    OutputFile file(path);
    file.commit();
  }
  ::umask(old);
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0644u);
}

TEST(OutputFile, RefusesTargetsThatCannotBeCreated) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "folder");
  writeFile(dir.path() / "readonly.csv", "keep");
  std::filesystem::permissions(dir.path() / "readonly.csv", std::filesystem::perms::owner_read |
                                                                std::filesystem::perms::group_read);
  writeFile(dir.path() / "plain", "a file, not a folder");
  const std::vector<std::pair<std::string, std::string>> paths = {
      {dir.file("missing/report.csv"), "no such file or folder"},  // no such folder
      {dir.file("folder"), "a folder is in the way"},              // the path names a folder
      {dir.file("folder/"), "a folder is in the way"},             // the path ends in a separator
      {dir.file("readonly.csv"), "read-only file"},                // no write bit, even for root
      {dir.file("plain/report.csv"),
       "no such file or folder"},  // a file where the folder should be
      {dir.file(std::string(256, 'n') + ".csv"), "name too long"},
      {"", "no such file or folder"},
  };
  for (const auto& [path, reason] : paths) {
    EXPECT_EQ(messageOf([&target = path] { OutputFile file(target); }),
              "Cannot Create file: " + path + " (" + reason + ")");
  }
  EXPECT_EQ(readFile(dir.path() / "readonly.csv"), "keep");
  EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"folder", "plain", "readonly.csv"}));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "folder"));
}

TEST(OutputFile, FailedMoveIntoPlaceReportsAWriteErrorAndCleansUp) {
  TempDir dir;
  const std::string path = dir.file("a.csv");
  OutputFile file(path);
  file.write("data");
  // Something puts a non-empty folder at the target before the commit: the move must fail.
  std::filesystem::create_directories(dir.path() / "a.csv" / "inside");
  EXPECT_EQ(messageOf([&] { file.commit(); }),
            "Cannot write file: " + path + " (a folder is in the way)");
  EXPECT_EQ(messageOf([&] { file.write("more"); }),
            "Cannot write file: " + path + " (a folder is in the way)");
  EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"a.csv"});
  EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(OutputFile, WriteBeyondTheFileSizeLimitFailsAndKeepsTheOldTarget) {
  TempDir dir;
  const std::string path = dir.file("big.sdm");
  writeFile(path, "old");
  const std::string expected = "Cannot write file: " + path + " (file too large)";
  // Fails in commit: everything fits the buffer.
  EXPECT_EQ(runWithFileSizeLimit(
                4096,
                [&] {
                  OutputFile file(path);
                  file.write(std::string(10000, 'x'));
                  file.commit();
                },
                expected),
            0);
  EXPECT_EQ(readFile(path), "old");
  EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"big.sdm"});
  // Fails in write: the buffer overflows on the way.
  EXPECT_EQ(runWithFileSizeLimit(
                4096,
                [&] {
                  OutputFile file(path);
                  for (int i = 0; i < 100000; ++i) file.write("0123456789");
                  file.commit();
                },
                expected),
            0);
  EXPECT_EQ(readFile(path), "old");
  EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"big.sdm"});
}
