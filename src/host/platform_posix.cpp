#include "host/platform.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

namespace platform {

namespace {

std::string fileNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string mainProgramPath() {
  char path[PATH_MAX + 1] = {};
  const ssize_t length = ::readlink("/proc/self/exe", path, PATH_MAX);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

struct Search {
  const char* fileName;
  std::string found;  // the path of the shared object, when one matches
};

int matchSharedObject(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<Search*>(data);
  if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0' &&
      fileNameOf(info->dlpi_name) == search->fileName) {
    search->found = info->dlpi_name;
    return 1;
  }
  return 0;
}

}  // namespace

Module findLoadedModule(const char* fileName) {
  if (fileNameOf(mainProgramPath()) == fileName) return ::dlopen(nullptr, RTLD_LAZY);

  Search search{fileName, {}};
  ::dl_iterate_phdr(matchSharedObject, &search);
  if (search.found.empty()) return nullptr;
  // RTLD_NOLOAD only finds what is loaded already; the reference it takes is given back at once,
  // as the handle stays valid while the object stays loaded.
  Module module = ::dlopen(search.found.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (module != nullptr) ::dlclose(module);
  return module;
}

void* findExportedFunction(Module module, const char* name) {
  void* address = ::dlsym(module, name);
  if (address == nullptr) return nullptr;
#if defined(__GLIBC__)
  // dlsym also searches the module's dependencies; only the module's own exports count.
  Dl_info info;
  void* owner = nullptr;
  if (::dladdr1(address, &info, &owner, RTLD_DL_LINKMAP) == 0 || owner != module) return nullptr;
#endif
  return address;
}

}  // namespace platform
