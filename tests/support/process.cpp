#include "support/process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace {

void readInto(int fd, std::string& sink, bool& open) {
  char chunk[65536];
  const ssize_t got = ::read(fd, chunk, sizeof chunk);
  if (got > 0) {
    sink.append(chunk, static_cast<size_t>(got));
  } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
    open = false;
  }
}

}  // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
  int outPipe[2], errPipe[2];
  if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) throw std::runtime_error("pipe failed");

  std::vector<std::string> argvText;
  argvText.push_back(program);
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int devNull = ::open("/dev/null", O_RDONLY);
    ::dup2(devNull, 0);
    ::dup2(outPipe[1], 1);
    ::dup2(errPipe[1], 2);
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0)
      _exit(126);
    if (options.fileSizeLimit >= 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                   static_cast<rlim_t>(options.fileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.addressSpaceLimit >= 0) {
      rlimit limit{static_cast<rlim_t>(options.addressSpaceLimit),
                   static_cast<rlim_t>(options.addressSpaceLimit)};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    for (const auto& entry : options.environment) ::putenv(const_cast<char*>(entry.c_str()));
    ::execv(program.c_str(), argv.data());
    _exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);

  ProcessResult result;
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                     {errOpen ? errPipe[0] : -1, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (outOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
      readInto(outPipe[0], result.out, outOpen);
    if (errOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
      readInto(errPipe[0], result.err, errOpen);
  }
  ::close(outPipe[0]);
  ::close(errPipe[0]);

  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.peakRssKb = usage.ru_maxrss;
  if (WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.exitCode = 128 + WTERMSIG(status);
  return result;
}

std::string buildDir() { return BRINDLE_TEST_BUILD_DIR; }
std::string tormelPath() { return buildDir() + "/Tormel"; }
std::string sourceDir() { return BRINDLE_TEST_SOURCE_DIR; }

ProcessResult runTormel(const std::vector<std::string>& args, const ProcessOptions& options) {
  return runProcess(tormelPath(), args, options);
}

long endedProcessId() {
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) ::_exit(0);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return static_cast<long>(pid);
}

}  // namespace testing_support
