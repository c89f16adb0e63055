#include "plugin/brindle.h"

#include <exception>
#include <new>
#include <optional>
#include <string>

#include "contract/parameters.h"
#include "host/host_api.h"
#include "host/host_services.h"
#include "plugin/log_message.h"
#include "plugin/metadata.h"

namespace plugin {

namespace {

// Stops the host's busy cursor on every way out of the scope that showed it.
class BusyCursor {
 public:
  BusyCursor() { HostApi::tmShowBusyCursor(); }
  ~BusyCursor() { HostApi::tmStopBusyCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

bool versionAtLeast(int major, int minor, int third, int wantMajor, int wantMinor, int wantThird) {
  if (major != wantMajor) return major > wantMajor;
  if (minor != wantMinor) return minor > wantMinor;
  return third >= wantThird;
}

// Shows "Error: " + what went wrong, for the exception being handled. Called inside a catch
// block. Texts that need no allocation go straight to the host, so that running out of memory
// can still be reported; a failure while reporting is swallowed: nothing may reach the host.
void showCurrentError() noexcept {
  try {
    try {
      throw;
    } catch (const std::bad_alloc&) {
      HostApi::tmMessageBox("Error: Not enough memory");
    } catch (const std::exception& error) {
      host::messageBox(std::string("Error: ") + error.what());
    } catch (...) {
      HostApi::tmMessageBox("Error: unknown error");
    }
  } catch (...) {
  }
}

}  // namespace

}  // namespace plugin

brindle::brindle() = default;

brindle::~brindle() {
  try {
    if (logStream) plugin::logMessage(*logStream, "Plugin finished!\n");
  } catch (...) {
    // The host is deleting us: a goodbye that cannot be written is dropped.
  }
}

#if BRINDLE_SCALAR_DELETING_DESTRUCTOR
void* brindle::scalarDeletingDestructor(unsigned int flags) noexcept {
  void* const self = this;
  // Bit 1 would ask for an array's delete; the host only ever creates single objects.
  if ((flags & 1u) != 0)
    delete this;
  else
    this->~brindle();
  return self;
}
#endif

bool brindle::initPlugin() noexcept {
  running_ = false;
  bool resolved = false;
  try {
    if (!resolveHostApi()) return false;
    resolved = true;
    logStream.reset();  // the old stream forwards its pending text before the new one exists
    logStream = std::make_unique<TRMLLog>(HostApi::tmLogText);

    int major = 0, minor = 0, third = 0;
    HostApi::tmGetVersionOfTormel(&major, &minor, &third);
    if (!plugin::versionAtLeast(major, minor, third, 2, 8, 0)) {
      host::messageBox("Can not execute this plugin - Tormel version 2.8 or higher required.");
      return false;
    }
    HostApi::tmShowLogTab();
    plugin::logMessage(*logStream, "Running...");
    running_ = true;
    return true;
  } catch (...) {
    // Once the host functions are known, the host can still show why the plug-in stays off.
    if (resolved) plugin::showCurrentError();
    running_ = false;
    return false;
  }
}

bool brindle::execute() noexcept {
  // Without a resolved host there is nothing safe to call.
  if (!running_) return false;
  bool result = true;
  refused_.clear();
  try {
    using contract::Task;
    const std::optional<Task> task =
        contract::taskNamed(host::stringParameter(contract::parameter::task));
    if (task == Task::openSdm) {
      openSdmTask();
    } else {
      // Any other word, a task or not, runs under the busy cursor, as the host has always seen
      // it.
      plugin::BusyCursor busy;
      if (task == Task::sdm1corr) correlationTask();
      if (task == Task::mergeall || task == Task::mergesec)
        result = mergeTask(task == Task::mergeall);
      if (task == Task::convert) convertTask();
      if (task == Task::design) designTask();
    }
  } catch (...) {
    plugin::showCurrentError();
  }
  tellRefusals();
  return result;
}

void brindle::tellRefusals() noexcept {
  if (refused_.empty() && !refusalsTold_) return;
  try {
    std::string lines;
    for (const std::string& refusal : refused_) lines += (lines.empty() ? "" : "\n") + refusal;
    host::setStringParameter(contract::parameter::refused, lines);
    refusalsTold_ = !refused_.empty();
  } catch (...) {
    // Nothing may reach the host; the log has said what was refused.
  }
}

void brindle::openSdmTask() {
  host::setStringParameter(contract::parameter::sdmFile, host::openFileName("Select an SDM:", ""));
}
