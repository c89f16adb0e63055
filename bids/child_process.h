#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Runs another program (Tormel) and collects what it says.
namespace bids {

struct ChildResult {
  int status = -1;        // the exit status; 128 + the signal's number when a signal ended it
  std::string out;        // standard output
  std::string err;        // standard error; also why the program could not be started
  bool timedOut = false;  // killed for running past its time limit
};

// Runs `program` with `args` in `folder`, standard input empty, and waits for it, at most
// `seconds` (> 0): past that the child, and only it, is killed (SIGKILL) and `timedOut` set.
// Safe to call from several threads at once.
ChildResult runChild(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::filesystem::path& folder, double seconds);

// The program `name` beside the running program, else the first on PATH; empty when there is
// none.
std::filesystem::path findProgram(const std::string& name);

}  // namespace bids
