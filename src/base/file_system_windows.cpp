#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "base/file_system.h"

namespace filesys {

namespace {

HANDLE handleOf(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

// An exclusive lock on the first byte of `file`, without waiting; it ends when the file is
// closed. False when another holds it.
bool lockWhole(HANDLE file) {
  OVERLAPPED at{};
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}
int lastError() { return static_cast<int>(GetLastError()); }

// ERROR_DISK_QUOTA_EXCEEDED, which not every set of Windows headers names.
constexpr int diskQuotaExceeded = 1295;

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Names that Windows gives to devices in every folder ("NUL", "COM1", "nul.txt" too), and
// paths in the device namespace ("\\.\pipe\name").
bool namesADevice(const std::string& path) {
  if (path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[1]) && path[2] == '.' &&
      isSeparator(path[3]))
    return true;
  const auto cut = path.find_last_of("/\\:");
  std::string stem = path.substr(cut == std::string::npos ? 0 : cut + 1);
  stem = stem.substr(0, stem.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

// The path that an open file finally has, in the usual spelling ("C:\...", "\\server\...").
bool finalPath(HANDLE file, std::string& path) {
  std::vector<char> text(MAX_PATH + 1);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length =
        GetFinalPathNameByHandleA(file, text.data(), static_cast<DWORD>(text.size()), 0);
    if (length == 0) return false;
    if (length < text.size()) {
      path.assign(text.data(), length);
      if (path.compare(0, 8, "\\\\?\\UNC\\") == 0)
        path = "\\\\" + path.substr(8);
      else if (path.compare(0, 4, "\\\\?\\") == 0)
        path = path.substr(4);
      return true;
    }
    text.resize(length + 1);
  }
  return false;
}

class WindowsFileSystem final : public FileSystem {
 public:
  // A link is a reparse point; the system itself finds the file at the end of the chain (and
  // refuses a chain that goes on too long). A link to nothing stays as it is: its target
  // cannot be opened, and the move in place of the link replaces the link itself.
  int resolveLinks(const std::string& path, std::string& target) override {
    target = path;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
      return 0;
    const HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const int error = lastError();
      return error == ERROR_CANT_RESOLVE_FILENAME ? error : 0;
    }
    std::string resolved;
    if (finalPath(file, resolved)) target = resolved;
    CloseHandle(file);
    return 0;
  }

  // A folder there, or a file Windows keeps read-only, is refused.
  int checkTarget(const std::string& path, TargetKind& kind) override {
    kind = TargetKind::none;
    if (namesADevice(path)) {
      kind = TargetKind::other;
      return 0;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const int error = lastError();
      return error == ERROR_FILE_NOT_FOUND ? 0 : error;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ERROR_DIRECTORY;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return ERROR_FILE_READ_ONLY;
    kind = (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? TargetKind::other : TargetKind::regularFile;
    return 0;
  }

  int listNames(const std::string& folder, const std::string& start,
                std::vector<std::string>& names) override {
    WIN32_FIND_DATAA entry{};
    const HANDLE search = FindFirstFileA((folder + start + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
      const int error = lastError();
      return error == ERROR_FILE_NOT_FOUND ? 0 : error;
    }
    do {
      const std::string name = entry.cFileName;
      if (name.compare(0, start.size(), start) == 0) names.push_back(name);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return 0;
  }

  bool inUse(const std::string& path) override {
    // A save keeps its temporary file open without sharing, and locked.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    const bool locked = !lockWhole(file);
    CloseHandle(file);
    return locked;
  }

  // The new file's permissions come from its folder, as any new file's do.
  int createNew(const std::string& path, bool /*ownerOnly*/, Handle& handle,
                bool& exists) override {
    const HANDLE created = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
      const int error = lastError();
      exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
      return error;
    }
    exists = false;
    if (!lockWhole(created)) {
      const int error = lastError();
      CloseHandle(created);
      return error;
    }
    handle = reinterpret_cast<Handle>(created);
    return 0;
  }

  int copyMetadata(const std::string& model, Handle handle) override {
    const DWORD attributes = GetFileAttributesA(model.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const int error = lastError();
      return error == ERROR_FILE_NOT_FOUND ? 0 : error;
    }
    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    FILE_BASIC_INFO info{};  // times of 0 stay as they are
    info.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handleOf(handle), FileBasicInfo, &info, sizeof info) != 0
               ? 0
               : lastError();
  }

  int openForReading(const std::string& path, Handle& handle, std::int64_t& size) override {
    const HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return lastError();
    LARGE_INTEGER bytes{};
    size = GetFileType(opened) == FILE_TYPE_DISK && GetFileSizeEx(opened, &bytes)
               ? static_cast<std::int64_t>(bytes.QuadPart)
               : -1;
    handle = reinterpret_cast<Handle>(opened);
    return 0;
  }

  int read(Handle handle, char* data, std::size_t size, std::size_t& got) override {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD count = 0;
    if (!ReadFile(handleOf(handle), data, chunk, &count, nullptr)) {
      // A pipe whose writer has gone has simply ended.
      if (GetLastError() != ERROR_BROKEN_PIPE) return lastError();
      count = 0;
    }
    got = count;
    return 0;
  }

  int openExisting(const std::string& path, Handle& handle) override {
    const HANDLE opened =
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return lastError();
    // An ordinary file that took the name meanwhile would be overwritten in place.
    if (GetFileType(opened) == FILE_TYPE_DISK) {
      CloseHandle(opened);
      return ERROR_FILE_EXISTS;
    }
    handle = reinterpret_cast<Handle>(opened);
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

  // A device that cannot be flushed still holds what was written.
  int sync(Handle handle) override {
    if (FlushFileBuffers(handleOf(handle)) != 0) return 0;
    const int error = lastError();
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ? 0 : error;
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

std::string failureReason(int error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return "no such file or folder";
    case ERROR_ACCESS_DENIED:
      return "permission denied";
    case ERROR_FILE_READ_ONLY:
    case ERROR_WRITE_PROTECT:
      return "read-only file";
    case ERROR_DIRECTORY:
      return "a folder is in the way";
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return "name too long";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case diskQuotaExceeded:
      return "disk full";
    case ERROR_FILE_TOO_LARGE:
      return "file too large";
    case ERROR_CANT_RESOLVE_FILENAME:
      return "too many links";
    default:
      return "error " + std::to_string(error);
  }
}

long currentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

FileSystem& systemFileSystem() {
  static WindowsFileSystem system;
  return system;
}

}  // namespace filesys
