#include "plugin/sdm_loading.h"

#include <utility>

#include "host/host_services.h"
#include "host/trml_log.h"
#include "sdm/sdm_repairs.h"

DesignMatrix loadSdmForTask(const std::string& path, bool strict, TRMLLog* log) {
  LoadedSdm loaded = loadSdm(path, strict);
  if (log) {
    for (const std::string& warning : repairWarnings(path, loaded.repairs))
      host::logMessage(*log, warning);
  }
  return std::move(loaded.matrix);
}
