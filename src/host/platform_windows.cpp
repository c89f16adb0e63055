#include "host/platform.h"

#include <windows.h>

namespace platform {

Module findLoadedModule(const char* fileName) {
  // Finds a module already mapped into the process without taking a reference.
  return reinterpret_cast<Module>(::GetModuleHandleA(fileName));
}

void* findExportedFunction(Module module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

}  // namespace platform
