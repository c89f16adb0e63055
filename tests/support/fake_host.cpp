#include "support/fake_host.h"

#include <cstring>
#include <stdexcept>

#include "host/host_api.h"
#include "host/platform.h"
#include "support/failing_allocation.h"

namespace testing_support {

FakeHost& FakeHost::get() {
  static FakeHost host;
  return host;
}

void FakeHost::reset() { *this = FakeHost(); }

std::string FakeHost::logText() const {
  std::string text;
  for (const auto& call : calls) {
    if (call.rfind("tmLogText(", 0) == 0) text += call.substr(10, call.size() - 11);
  }
  return text;
}

std::vector<std::string> FakeHost::callsOf(const std::string& function) const {
  std::vector<std::string> found;
  for (const auto& call : calls) {
    if (call.rfind(function + "(", 0) == 0) found.push_back(call);
  }
  return found;
}

namespace {

FakeHost& host() { return FakeHost::get(); }
// Records a call; throws when the test asked this host function to fail.
void record(const std::string& call) {
  host().calls.push_back(call);
  const auto& failing = host().throwIn;
  if (failing.empty() || call.rfind(failing + "(", 0) != 0) return;
  if (host().throwNonStandard) throw 42;
  throw std::runtime_error("the host call failed");
}

void getVersion(int* major, int* minor, int* third) {
  const AllocationPause pause;
  record("tmGetVersionOfTormel()");
  *major = host().major;
  *minor = host().minor;
  *third = host().third;
}
void showLogTab() {
  const AllocationPause pause;
  record("tmShowLogTab()");
}
void logText(const char* text) {
  const AllocationPause pause;
  record(std::string("tmLogText(") + text + ")");
}
void messageBox(const char* text) {
  const AllocationPause pause;
  record(std::string("tmMessageBox(") + text + ")");
}
void showBusyCursor() {
  const AllocationPause pause;
  record("tmShowBusyCursor()");
}
void stopBusyCursor() {
  const AllocationPause pause;
  record("tmStopBusyCursor()");
}
void getStringParameter(const char* name, char* buffer) {
  const AllocationPause pause;
  record(std::string("tmGetStringParameter(") + name + ")");
  const auto it = host().stringParameters.find(name);
  if (it != host().stringParameters.end())
    std::memcpy(buffer, it->second.c_str(), it->second.size() + 1);
}
int getIntParameter(const char* name) {
  const AllocationPause pause;
  record(std::string("tmGetIntParameter(") + name + ")");
  const auto it = host().intParameters.find(name);
  return it == host().intParameters.end() ? 0 : it->second;
}
void setStringParameter(const char* name, const char* text) {
  const AllocationPause pause;
  record(std::string("tmSetStringParameter(") + name + "|" + text + ")");
  host().stringParameters[name] = text;
}
int getOpenFileName(const char* title, const char* initial, const char* filter, char* buffer) {
  const AllocationPause pause;
  record(std::string("tmGetOpenFileName(") + title + "|" + initial + "|" + filter + ")");
  const auto& answer = host().openAnswer;
  if (answer.empty()) return 0;
  std::memcpy(buffer, answer.c_str(), answer.size() + 1);
  return 1;
}
int getSaveFileName(const char* title, const char* initial, const char* filter, char* buffer) {
  const AllocationPause pause;
  record(std::string("tmGetSaveFileName(") + title + "|" + initial + "|" + filter + ")");
  auto& answers = host().saveAnswers;
  if (answers.empty()) return 0;
  const auto answer = answers.front();
  answers.pop_front();
  if (!answer) return 0;
  std::memcpy(buffer, answer->c_str(), answer->size() + 1);
  return 1;
}
void unusedFunction() { record("unused host function called"); }

const std::map<std::string, void*>& typedExports() {
  static const std::map<std::string, void*> exports = {
      {"tmGetVersionOfTormel", reinterpret_cast<void*>(&getVersion)},
      {"tmShowLogTab", reinterpret_cast<void*>(&showLogTab)},
      {"tmLogText", reinterpret_cast<void*>(&logText)},
      {"tmMessageBox", reinterpret_cast<void*>(&messageBox)},
      {"tmShowBusyCursor", reinterpret_cast<void*>(&showBusyCursor)},
      {"tmStopBusyCursor", reinterpret_cast<void*>(&stopBusyCursor)},
      {"tmGetStringParameter", reinterpret_cast<void*>(&getStringParameter)},
      {"tmGetIntParameter", reinterpret_cast<void*>(&getIntParameter)},
      {"tmSetStringParameter", reinterpret_cast<void*>(&setStringParameter)},
      {"tmGetOpenFileName", reinterpret_cast<void*>(&getOpenFileName)},
      {"tmGetSaveFileName", reinterpret_cast<void*>(&getSaveFileName)},
  };
  return exports;
}

}  // namespace

void* fakeExport(const std::string& name) {
  const auto it = typedExports().find(name);
  return it == typedExports().end() ? reinterpret_cast<void*>(&unusedFunction) : it->second;
}

}  // namespace testing_support

// The fake platform layer linked into the unit tests in place of the real one.
namespace platform {

Module findLoadedModule(const char* fileName) {
  const testing_support::AllocationPause pause;
  auto& host = testing_support::FakeHost::get();
  host.moduleQueries.push_back(fileName);
  if (!host.moduleLoaded || std::string(fileName) != hostModuleName) return nullptr;
  return &host;
}

void* findExportedFunction(Module module, const char* name) {
  const testing_support::AllocationPause pause;
  auto& host = testing_support::FakeHost::get();
  if (module != &host) return nullptr;
  host.lookedUp.push_back(name);
  if (host.missingNames.count(name) != 0) return nullptr;
  return testing_support::fakeExport(name);
}

}  // namespace platform
