// What a save does with what stands at its path: devices and pipes are written into, links are
// followed, a replaced file keeps its mode and owner, and temporary files that ended processes
// left behind are cleared away. Each case arranges a folder, saves through OutputFile and
// checks the whole folder afterwards.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/output_file.h"
#include "support/process.h"
#include "support/temp_dir.h"

using namespace base;

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string kOld = "the file that stood here\r\n";

std::string someBytes(std::size_t size) {
  std::string bytes;
  for (std::size_t i = 0; bytes.size() < size; ++i) bytes += "line " + std::to_string(i) + "\r\n";
  bytes.resize(size);
  return bytes;
}

std::set<std::string> entriesOf(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

struct stat statusOf(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status;
}

// One save and what surrounds it.
struct Scene {
  TempDir dir;
  std::string target;  // the path the save is given
  std::string bytes = someBytes(1000);
  std::string error;  // the save's message; empty when it succeeded

  // A reader at the other end of a named pipe, running while the save writes.
  std::thread reader;
  std::atomic<bool> saved{false};
  std::string received;
  // A process that runs throughout the save.
  pid_t sleeper = -1;
  std::set<std::string> kept;  // files that the save must leave alone

  fs::path at(const std::string& name) const { return dir.path() / name; }

  void readPipe(const std::string& path) {
    const int end = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(end, 0);
    reader = std::thread([this, end] {
      char chunk[65536];
      for (;;) {
        pollfd wait{end, POLLIN, 0};
        ::poll(&wait, 1, 20);
        const ssize_t got = ::read(end, chunk, sizeof chunk);
        if (got > 0) received.append(chunk, static_cast<std::size_t>(got));
        // No writer: before the save opened the pipe, or after it closed it.
        if (got == 0 && saved) break;
      }
      ::close(end);
    });
  }

  // Starts the sleeper; with `lockPath`, it holds a write lock on that file as a save holds the
  // lock of its temporary file.
  void startSleeper(const std::string& lockPath = {}) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    sleeper = ::fork();
    if (sleeper == 0) {
      if (!lockPath.empty()) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (::fcntl(::open(lockPath.c_str(), O_RDWR), F_SETLK, &lock) != 0) ::_exit(1);
      }
      const char byte = 1;
      if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
      ::pause();
      ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
  }

  void finish() {
    saved = true;
    if (reader.joinable()) reader.join();
  }

  ~Scene() {
    finish();
    if (sleeper > 0) {
      ::kill(sleeper, SIGKILL);
      ::waitpid(sleeper, nullptr, 0);
    }
  }
};

struct RuleCase {
  const char* name;
  // Puts things in place and sets the target; false when this system cannot arrange it.
  std::function<bool(Scene&)> arrange;
  std::function<void(Scene&)> check;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

class SaveRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(SaveRule, LeavesTheFolderAsTheRuleSays) {
  const RuleCase& c = GetParam();
  Scene scene;
  if (!c.arrange(scene)) GTEST_SKIP() << "this system cannot arrange the case";
  try {
    OutputFile file(scene.target);
    file.write(scene.bytes);
    file.commit();
  } catch (const std::runtime_error& e) {
    scene.error = e.what();
  }
  scene.finish();
  c.check(scene);
}

// links/first -> second -> ../data/real.sdm, real.sdm with mode 0640 and an old temporary file
// of an ended process beside it.
bool linkChain(Scene& s, bool absolute) {
  fs::create_directories(s.at("links"));
  fs::create_directories(s.at("data"));
  writeFile(s.at("data/real.sdm"), kOld);
  fs::permissions(s.at("data/real.sdm"), static_cast<fs::perms>(0640));
  writeFile(
      s.at("data/.real.sdm.tmp-" + std::to_string(testing_support::endedProcessId()) + "-abcdefgh"),
      "stale");
  fs::create_symlink(absolute ? s.at("data/real.sdm") : fs::path("../data/real.sdm"),
                     s.at("links/second"));
  fs::create_symlink("second", s.at("links/first"));
  s.target = s.at("links/first").string();
  return true;
}

void checkLinkChain(Scene& s) {
  EXPECT_EQ(s.error, "");
  EXPECT_EQ(readFile(s.at("data/real.sdm")), s.bytes);
  EXPECT_EQ(statusOf(s.at("data/real.sdm")).st_mode & 07777, 0640u);
  EXPECT_EQ(fs::read_symlink(s.at("links/first")), "second");
  EXPECT_TRUE(fs::is_symlink(s.at("links/second")));
  EXPECT_EQ(entriesOf(s.at("links")), (std::set<std::string>{"first", "second"}));
  EXPECT_EQ(entriesOf(s.at("data")), (std::set<std::string>{"real.sdm"}));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, SaveRule,
    ::testing::Values(
        // A megabyte: far more than the pipe holds, so the save waits for its reader.
        RuleCase{"PipeIsWrittenThrough",
                 [](Scene& s) {
                   s.target = s.at("pipe").string();
                   if (::mkfifo(s.target.c_str(), 0644) != 0) return false;
                   s.bytes = someBytes(1 << 20);
                   s.readPipe(s.target);
                   return true;
                 },
                 [](Scene& s) {
                   EXPECT_EQ(s.error, "");
                   EXPECT_TRUE(s.received == s.bytes) << s.received.size() << " bytes came";
                   EXPECT_TRUE(S_ISFIFO(statusOf(s.target).st_mode));
                   EXPECT_EQ(entriesOf(s.dir.path()), std::set<std::string>{"pipe"});
                 }},
        RuleCase{"PipeWithoutReaderFailsAtOnce",
                 [](Scene& s) {
                   s.target = s.at("pipe").string();
                   return ::mkfifo(s.target.c_str(), 0644) == 0;
                 },
                 [](Scene& s) {
                   EXPECT_EQ(s.error, "Cannot Create file: " + s.target + " (error " +
                                          std::to_string(ENXIO) + ")");
                   EXPECT_TRUE(S_ISFIFO(statusOf(s.target).st_mode));
                   EXPECT_EQ(entriesOf(s.dir.path()), std::set<std::string>{"pipe"});
                 }},
        // A node of the null device made in the test's own folder (only root may make one).
        RuleCase{"CharacterDeviceIsWrittenThrough",
                 [](Scene& s) {
                   s.target = s.at("null").string();
                   return ::mknod(s.target.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
                 },
                 [](Scene& s) {
                   EXPECT_EQ(s.error, "");
                   const struct stat status = statusOf(s.target);
                   EXPECT_TRUE(S_ISCHR(status.st_mode));
                   EXPECT_EQ(status.st_rdev, makedev(1, 3));
                   EXPECT_EQ(entriesOf(s.dir.path()), std::set<std::string>{"null"});
                 }},
        RuleCase{"RelativeLinkChainIsFollowed", [](Scene& s) { return linkChain(s, false); },
                 checkLinkChain},
        RuleCase{"AbsoluteLinkIsFollowed", [](Scene& s) { return linkChain(s, true); },
                 checkLinkChain},
        RuleCase{"LinkToNothingCreatesWhatItNames",
                 [](Scene& s) {
                   fs::create_directories(s.at("data"));
                   fs::create_symlink("data/new.sdm", s.at("link"));
                   s.target = s.at("link").string();
                   return true;
                 },
                 [](Scene& s) {
                   EXPECT_EQ(s.error, "");
                   EXPECT_EQ(readFile(s.at("data/new.sdm")), s.bytes);
                   EXPECT_EQ(fs::read_symlink(s.at("link")), "data/new.sdm");
                   EXPECT_EQ(entriesOf(s.at("data")), std::set<std::string>{"new.sdm"});
                 }},
        RuleCase{"LinkLoopIsRefused",
                 [](Scene& s) {
                   fs::create_symlink("b", s.at("a"));
                   fs::create_symlink("a", s.at("b"));
                   s.target = s.at("a").string();
                   return true;
                 },
                 [](Scene& s) {
                   EXPECT_EQ(s.error, "Cannot Create file: " + s.target + " (too many links)");
                   EXPECT_EQ(entriesOf(s.dir.path()), (std::set<std::string>{"a", "b"}));
                 }},
        RuleCase{"ModeIsKept",
                 [](Scene& s) {
                   s.target = s.at("private.sdm").string();
                   writeFile(s.target, kOld);
                   fs::permissions(s.target, static_cast<fs::perms>(0600));
                   return true;
                 },
                 [](Scene& s) {
                   EXPECT_EQ(s.error, "");
                   EXPECT_EQ(readFile(s.target), s.bytes);
                   EXPECT_EQ(statusOf(s.target).st_mode & 07777, 0600u);
                 }},
        // Only root may give a file to another user; the save, run as root, gives it back.
        RuleCase{"OwnerAndGroupAreKept",
                 [](Scene& s) {
                   s.target = s.at("theirs.sdm").string();
                   writeFile(s.target, kOld);
                   return ::geteuid() == 0 && ::chown(s.target.c_str(), 4321, 4322) == 0;
                 },
                 [](Scene& s) {
                   EXPECT_EQ(s.error, "");
                   EXPECT_EQ(readFile(s.target), s.bytes);
                   EXPECT_EQ(statusOf(s.target).st_uid, 4321u);
                   EXPECT_EQ(statusOf(s.target).st_gid, 4322u);
                 }},
        RuleCase{"HardLinkedFileIsReplacedByANewOne",
                 [](Scene& s) {
                   s.target = s.at("a.sdm").string();
                   writeFile(s.target, kOld);
                   fs::create_hard_link(s.target, s.at("b.sdm"));
                   return true;
                 },
                 [](Scene& s) {
                   EXPECT_EQ(s.error, "");
                   EXPECT_EQ(readFile(s.target), s.bytes);
                   EXPECT_EQ(readFile(s.at("b.sdm")), kOld);
                   EXPECT_EQ(statusOf(s.target).st_nlink, 1u);
                 }},
        // A save in progress holds the lock of its temporary file, whatever its process id says
        // here (a process of another PID namespace, another machine); a file whose lock can be
        // taken is left over, even when a process of its id runs.
        RuleCase{"OnlyTemporaryFilesThatNoSaveHoldsAreRemoved",
                 [](Scene& s) {
                   s.target = s.at("out.sdm").string();
                   const std::string ended = std::to_string(testing_support::endedProcessId());
                   const std::string live = ".out.sdm.tmp-" + ended + "-inuseXYZ";
                   writeFile(s.at(live), "live");
                   s.startSleeper(s.at(live).string());
                   for (const std::string& pid :
                        {ended, std::to_string(s.sleeper), std::to_string(::getpid())})
                     writeFile(s.at(".out.sdm.tmp-" + pid + "-abcdefgh"), "left");
                   s.kept = {live,
                             ".out.sdm.tmp-" + ended + "-abc",  // not a name a save makes
                             ".out.sdm.tmp-Ab3dEf7h",           // no process id
                             ".other.sdm.tmp-" + ended + "-abcdefgh"};
                   for (const auto& name : s.kept)
                     if (name != live) writeFile(s.at(name), "left");
                   return true;
                 },
                 [](Scene& s) {
                   EXPECT_EQ(s.error, "");
                   EXPECT_EQ(readFile(s.target), s.bytes);
                   s.kept.insert("out.sdm");
                   EXPECT_EQ(entriesOf(s.dir.path()), s.kept);
                 }}),
    [](const ::testing::TestParamInfo<RuleCase>& param) { return std::string(param.param.name); });

// Writing into a pipe that nobody reads any more would end the program with SIGPIPE.
TEST(SaveRules, APipeWhoseReaderHasGoneFailsWithoutEndingTheProgram) {
  TempDir dir;
  const std::string pipe = dir.file("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  OutputFile file(pipe);
  ::close(reader);
  std::string error;
  try {
    file.write(someBytes(1 << 20));
    file.commit();
  } catch (const std::runtime_error& e) {
    error = e.what();
  }
  EXPECT_EQ(error, "Cannot write file: " + pipe + " (error " + std::to_string(EPIPE) + ")");
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
}

}  // namespace
