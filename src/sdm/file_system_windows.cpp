#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "sdm/file_system.h"

namespace filesys {

namespace {

HANDLE handleOf(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
int lastError() { return static_cast<int>(GetLastError()); }

class WindowsFileSystem final : public FileSystem {
 public:
  // A folder there, or a file Windows keeps read-only, is refused.
  int checkTarget(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const int error = lastError();
      return error == ERROR_FILE_NOT_FOUND ? 0 : error;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ERROR_DIRECTORY;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return ERROR_ACCESS_DENIED;
    return 0;
  }

  int createNew(const std::string& path, Handle& handle, bool& exists) override {
    const HANDLE created = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
      const int error = lastError();
      exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
      return error;
    }
    exists = false;
    handle = reinterpret_cast<Handle>(created);
    return 0;
  }

  int write(Handle handle, const char* data, std::size_t size) override {
    while (size > 0) {
      const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
      DWORD written = 0;
      if (!WriteFile(handleOf(handle), data, chunk, &written, nullptr)) return lastError();
      if (written == 0) return ERROR_DISK_FULL;
      data += written;
      size -= written;
    }
    return 0;
  }

  int sync(Handle handle) override {
    return FlushFileBuffers(handleOf(handle)) != 0 ? 0 : lastError();
  }

  int close(Handle handle) override { return CloseHandle(handleOf(handle)) != 0 ? 0 : lastError(); }

  int replace(const std::string& from, const std::string& to) override {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0
               ? 0
               : lastError();
  }

  void remove(const std::string& path) override { DeleteFileA(path.c_str()); }
};

}  // namespace

FileSystem& systemFileSystem() {
  static WindowsFileSystem system;
  return system;
}

}  // namespace filesys
