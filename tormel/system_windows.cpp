#include "system.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tormel::os {

namespace {

// "The specified module could not be found. (error 126)": the system's text without its line
// break, and the code, which stays meaningful where the text is missing.
std::string errorText(DWORD code) {
  char text[512] = {};
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, sizeof text, nullptr);
  while (length > 0 &&
         (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ')) {
    --length;
  }
  std::string reason(text, length);
  if (!reason.empty()) reason += ' ';
  return reason + "(error " + std::to_string(code) + ")";
}

}  // namespace

void* loadLibrary(const std::string& path, std::string& reason) {
  // The loader wants backslashes in a path; a headless host must never wait on an error box.
  std::string windowsPath = path;
  for (char& c : windowsPath) {
    if (c == '/') c = '\\';
  }
  DWORD oldMode = 0;
  ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
  HMODULE library = ::LoadLibraryA(windowsPath.c_str());
  const DWORD error = ::GetLastError();
  ::SetThreadErrorMode(oldMode, nullptr);
  if (library == nullptr) reason = errorText(error);
  return reinterpret_cast<void*>(library);
}

void* findFunction(void* library, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void unloadLibrary(void* library) { ::FreeLibrary(static_cast<HMODULE>(library)); }

bool isFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string programPath() {
  // GetModuleFileNameA cuts the path to the buffer's size: grow it until the whole path fits.
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) return std::string(path.data(), length);
    if (path.size() >= 32768) return std::string();
    path.resize(path.size() * 2);
  }
}

void ignoreFileSizeSignal() {}

void setEnvironment(const char* name, const std::string& value) {
  // The C runtime's copy and the process's block both, for a plug-in with a runtime of its own.
  ::_putenv_s(name, value.c_str());
  ::SetEnvironmentVariableA(name, value.c_str());
}

void useBinaryStandardStreams() {
  std::fflush(stdout);
  std::fflush(stderr);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}

}  // namespace tormel::os
