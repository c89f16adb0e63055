#include "host/host_api.h"

#include <string_view>

#include "host/platform.h"

namespace {

template <typename Function>
void lookUp(platform::Module module, const char* name, Function& entry) {
  entry = reinterpret_cast<Function>(platform::findExportedFunction(module, name));
}

}  // namespace

bool resolveHostApi() {
  const platform::Module module = platform::findLoadedModule(platform::hostModuleName);
  if (module == nullptr) return false;

  lookUp(module, "tmGetVersionOfTormel", HostApi::tmGetVersionOfTormel);
  if (HostApi::tmGetVersionOfTormel == nullptr) return false;

#define BRINDLE_LOOK_UP(name, type) \
  if (std::string_view(#name) != "tmGetVersionOfTormel") lookUp(module, #name, HostApi::name);
  BRINDLE_HOST_FUNCTIONS(BRINDLE_LOOK_UP)
#undef BRINDLE_LOOK_UP
  return true;
}
