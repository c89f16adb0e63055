#include "plugin/brindle.h"

#include <exception>
#include <new>
#include <string>

#include "host/host_api.h"
#include "host/host_services.h"
#include "plugin/metadata.h"

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

}  // namespace

brindle::brindle() = default;

brindle::~brindle() {
  if (logStream) host::logMessage(*logStream, ">  Plugin finished!\n");
}

bool brindle::initPlugin() {
  running_ = false;
  if (!resolveHostApi()) return false;
  logStream.reset();  // the old stream forwards its pending text before the new one exists
  logStream = std::make_unique<TRMLLog>(HostApi::tmLogText);

  int major = 0, minor = 0, third = 0;
  HostApi::tmGetVersionOfTormel(&major, &minor, &third);
  if (!versionAtLeast(major, minor, third, 2, 8, 0)) {
    host::messageBox("Can not execute this plugin - Tormel version 2.8 or higher required.");
    return false;
  }
  HostApi::tmShowLogTab();
  host::logMessage(*logStream, ">  Running...");
  running_ = true;
  return true;
}

bool brindle::execute() {
  // Without a resolved host there is nothing safe to call.
  if (!running_) return false;
  try {
    const std::string task = host::stringParameter("task");
    if (task == "open_sdm") {
      openSdmTask();
      return true;
    }
    BusyCursor busy;
    if (task == "sdm1corr") {
      correlationTask();
      return true;
    }
    if (task == "mergeall") return mergeTask(true);
    if (task == "mergesec") return mergeTask(false);
    return true;
  } catch (const std::bad_alloc&) {
    host::messageBox("Error: Not enough memory");
    return true;
  } catch (const std::exception& error) {
    host::messageBox(std::string("Error: ") + error.what());
    return true;
  }
}

void brindle::openSdmTask() {
  host::setStringParameter("sdmfile", host::openFileName("Select an SDM:", ""));
}
