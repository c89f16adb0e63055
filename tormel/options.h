#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "host_state.h"

// The command line of the stand-in host.
namespace tormel {

// A wrong command line; the message names the argument and the problem.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  bool help = false;                         // --help: print helpText() and exit
  bool version = false;                      // --version: print the versions and exit
  bool info = false;                         // --info: print the metadata, create no plug-in object
  std::string pluginPath;                    // --plugin; empty: the library beside the program
  std::vector<std::string> printParameters;  // --print-param, in order
  int threads = 0;                           // --threads N; 0: not given
  HostSetup host;                            // parameters, dialog answers, version, trace
};

// Reads argv[1...]. The task word (open_sdm, sdm1corr, mergeall, mergesec, convert, design) and
// its files set their parameters first (convert's OUT answers the first save dialog, before any
// --save); the parameter options then apply in the order given. Throws UsageError for anything
// it does not understand, or when no task is given (unless --info, --help or --version is).
Options parseOptions(const std::vector<std::string>& args);

// The text --help prints: every option, the exit codes and an example for each task.
const char* helpText();

}  // namespace tormel
