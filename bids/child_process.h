#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Runs another program (Tormel) and collects what it says.
namespace bids {

struct ChildResult {
  int status = -1;  // the exit status; 128 + the signal's number when a signal ended it
  std::string out;  // standard output
  std::string err;  // standard error; also why the program could not be started
};

// Runs `program` with `args` in `folder`, standard input empty, and waits for it. Safe to call
// from several threads at once.
ChildResult runChild(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::filesystem::path& folder);

// The program `name` beside the running program, else the first on PATH; empty when there is
// none.
std::filesystem::path findProgram(const std::string& name);

}  // namespace bids
