#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct ProcessResult {
  int exitCode = -1;    // the exit status, or 128 + signal number when killed by a signal
  std::string out;      // everything written to standard output
  std::string err;      // everything written to standard error
  long peakRssKb = -1;  // the child's peak resident memory in KiB (its own, from wait4)
};

struct ProcessOptions {
  std::string workingDirectory;  // empty: the test's own
  long fileSizeLimit = -1;  // RLIMIT_FSIZE in bytes for the child; -1 keeps it (SIGXFSZ is ignored)
  long addressSpaceLimit = -1;           // RLIMIT_AS in bytes for the child; -1 keeps it
  std::vector<std::string> environment;  // extra NAME=VALUE entries
};

// Runs `program` with `args` (argv[1...]) and collects its output. Standard input is empty.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// The build folder that holds Tormel and libbrindle.so.
std::string buildDir();
// buildDir() + "/Tormel".
std::string tormelPath();
// The source folder of the project.
std::string sourceDir();

// The id of a process that has ended: a child that exited at once and was waited for.
long endedProcessId();

// Runs build/Tormel with `args`.
ProcessResult runTormel(const std::vector<std::string>& args, const ProcessOptions& options = {});

}  // namespace testing_support
