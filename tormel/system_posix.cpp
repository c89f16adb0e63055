#include "system.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstddef>
#include <cstdlib>

namespace tormel::os {

void* loadLibrary(const std::string& path, std::string& reason) {
  // RTLD_NOW: a library with unresolved symbols fails here, not in the middle of a task.
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* text = ::dlerror();
    reason = text != nullptr ? text : "unknown reason";
  }
  return library;
}

void* findFunction(void* library, const char* name) { return ::dlsym(library, name); }

void unloadLibrary(void* library) { ::dlclose(library); }

bool isFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

std::string programPath() {
  char path[PATH_MAX + 1] = {};
  const ssize_t length = ::readlink("/proc/self/exe", path, PATH_MAX);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

void setEnvironment(const char* name, const std::string& value) {
  ::setenv(name, value.c_str(), 1);
}

void useBinaryStandardStreams() {}

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace tormel::os
