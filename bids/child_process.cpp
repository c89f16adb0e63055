#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "base/file_system.h"

extern char** environ;

namespace fs = std::filesystem;

namespace bids {

namespace {

// A pipe whose ends close on exec, so that children started by other threads at the same time
// never hold them open.
struct Pipe {
  std::array<int, 2> ends{-1, -1};
  Pipe() {
    if (pipe2(ends.data(), O_CLOEXEC) != 0)
      throw std::system_error(errno, std::generic_category(), "pipe2");
  }
  ~Pipe() {
    for (int end : ends)
      if (end >= 0) close(end);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  void closeEnd(int which) {
    close(ends[static_cast<std::size_t>(which)]);
    ends[static_cast<std::size_t>(which)] = -1;
  }
};

// The milliseconds from now to `deadline`, 0 when it has passed, at most a day at a time.
int millisecondsTo(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
  return static_cast<int>(std::clamp<long long>(left, 0, 86'400'000));
}

// Reads both pipes until both are closed; past `deadline` kills `pid` once, after which its
// pipes close as it dies.
void collect(int outFd, int errFd, pid_t pid, std::chrono::steady_clock::time_point deadline,
             ChildResult& result) {
  std::array<pollfd, 2> fds{pollfd{outFd, POLLIN, 0}, pollfd{errFd, POLLIN, 0}};
  std::array<std::string*, 2> sinks{&result.out, &result.err};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    const int wait = result.timedOut ? -1 : millisecondsTo(deadline);
    const int ready = poll(fds.data(), fds.size(), wait);
    if (ready == 0 && !result.timedOut && millisecondsTo(deadline) == 0) {
      kill(pid, SIGKILL);
      result.timedOut = true;
      continue;
    }
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

int waitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ChildResult runChild(const fs::path& program, const std::vector<std::string>& args,
                     const fs::path& folder, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(std::min(seconds, 1e9)));
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  Pipe out, err;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.ends[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err.ends[1], 2);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ChildResult result;
  if (failed != 0) {
    result.err = "cannot start " + program.string() + ": " + filesys::failureReason(failed);
    return result;
  }
  out.closeEnd(1);
  err.closeEnd(1);
  collect(out.ends[0], err.ends[0], pid, deadline, result);
  result.status = waitFor(pid);
  return result;
}

fs::path findProgram(const std::string& name) {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error && access((self.parent_path() / name).c_str(), X_OK) == 0)
    return self.parent_path() / name;
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "";
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const fs::path folder(std::string(rest.substr(0, colon)));
    if (!folder.empty() && access((folder / name).c_str(), X_OK) == 0) return folder / name;
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return {};
}

}  // namespace bids
