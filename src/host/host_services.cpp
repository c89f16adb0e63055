#include "host/host_services.h"

#include <vector>

#include "host/host_api.h"

namespace host {

namespace {

std::string textOf(const std::vector<char>& buffer) {
  // The buffer is one byte longer than the host was offered, so a NUL always ends it.
  return std::string(buffer.data());
}

}  // namespace

std::string stringParameter(const char* name, std::size_t bufferSize) {
  std::vector<char> buffer(bufferSize + 1, '\0');
  HostApi::tmGetStringParameter(name, buffer.data());
  return textOf(buffer);
}

bool flagParameter(const char* name) { return HostApi::tmGetIntParameter(name) != 0; }

int intParameter(const char* name) { return HostApi::tmGetIntParameter(name); }

void setStringParameter(const char* name, const std::string& text) {
  HostApi::tmSetStringParameter(name, text.c_str());
}

void messageBox(const std::string& text) { HostApi::tmMessageBox(text.c_str()); }

std::string openFileName(const char* title, const std::string& initialPath) {
  std::vector<char> buffer(pathBufferSize + 1, '\0');
  HostApi::tmGetOpenFileName(title, initialPath.c_str(), sdmFileFilter, buffer.data());
  return textOf(buffer);
}

std::optional<std::string> saveFileName(const char* title, const std::string& initialPath) {
  std::vector<char> buffer(pathBufferSize + 1, '\0');
  if (HostApi::tmGetSaveFileName(title, initialPath.c_str(), sdmFileFilter, buffer.data()) == 0) {
    return std::nullopt;
  }
  return textOf(buffer);
}

}  // namespace host
