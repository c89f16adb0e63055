#pragma once

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

// A host in the test process, reached through the fake platform layer. Each test decides
// whether the host module is "loaded", which names it exports, its version and its answers;
// every call the plug-in makes is recorded as one line of text, e.g. "tmLogText(\nBrindle>  ...)".
struct FakeHost {
  static FakeHost& get();
  // Back to a loaded host of version 3.0.0 exporting every name, with no parameters or answers.
  void reset();

  bool moduleLoaded = true;
  std::set<std::string> missingNames;  // names the host does not export
  int major = 3, minor = 0, third = 0;
  std::map<std::string, std::string> stringParameters;
  std::map<std::string, int> intParameters;
  std::string openAnswer;  // written into the open dialog's buffer ("" writes nothing)
  std::deque<std::optional<std::string>> saveAnswers;  // nullopt: cancel; empty queue: cancel

  std::string throwIn;            // every call of this host function throws
  bool throwNonStandard = false;  // ... an int rather than a std::runtime_error

  std::vector<std::string> calls;          // every host call in order
  std::vector<std::string> lookedUp;       // every name looked up, in order
  std::vector<std::string> moduleQueries;  // every module file name asked for

  // The texts passed to tmLogText, joined.
  std::string logText() const;
  // The calls of one host function, in order, as recorded.
  std::vector<std::string> callsOf(const std::string& function) const;
};

// The address the fake exports for a host function (what HostApi should hold after a resolve).
void* fakeExport(const std::string& name);

}  // namespace testing_support
