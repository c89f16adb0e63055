#include "sdm/output_file.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Large enough that a report or an SDM of usual size goes out in a few system calls.
constexpr std::size_t bufferSize = std::size_t{1} << 18;

#ifdef _WIN32
constexpr const char* separators = "/\\:";
#else
constexpr const char* separators = "/";
#endif

// "dir/.name.tmp-" for "dir/name": the temporary file lives in the target's folder, so the
// final move never crosses a file system. The name is shortened so that the random suffix
// cannot push it past the file system's limit on name lengths.
std::string temporaryPrefix(const std::string& path) {
  const auto cut = path.find_last_of(separators);
  const std::size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
  return path.substr(0, nameStart) + "." + path.substr(nameStart, 200) + ".tmp-";
}

std::string randomSuffix(std::mt19937_64& random) {
  static constexpr char letters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string suffix;
  for (int i = 0; i < 8; ++i) suffix += letters[random() % (sizeof letters - 1)];
  return suffix;
}

std::mt19937_64 seededRandom() {
  std::random_device device;
  const auto now =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return std::mt19937_64(now ^ (static_cast<uint64_t>(device()) << 32) ^ device());
}

#ifdef _WIN32

using Handle = HANDLE;
const Handle noHandle = INVALID_HANDLE_VALUE;

// The target may be replaced: it is missing, or an ordinary file without the read-only
// attribute. A folder there, or a file Windows keeps read-only, is refused.
bool targetWritable(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

// Creates a new file of that name; noHandle with `exists` set when the name is taken.
Handle createNew(const std::string& name, bool& exists) {
  const Handle handle = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  exists = handle == noHandle &&
           (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS);
  return handle;
}

bool writeAll(Handle handle, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool syncAndClose(Handle handle) {
  const bool synced = FlushFileBuffers(handle) != 0;
  const bool closed = CloseHandle(handle) != 0;
  return synced && closed;
}

void closeQuietly(Handle handle) { CloseHandle(handle); }

bool replace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void removeQuietly(const std::string& name) { DeleteFileA(name.c_str()); }

#else

using Handle = int;
constexpr Handle noHandle = -1;

// The target may be replaced: it is missing, or a file that has at least one write
// permission bit and that access() lets us write. A file without any write bit counts as
// read-only even for root, who would otherwise pass every permission test.
bool targetWritable(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return errno == ENOENT;
  if (S_ISDIR(status.st_mode)) return false;
  if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return ::access(path.c_str(), W_OK) == 0;
}

// Creates a new file of that name with the usual permissions (0666 less the umask), like any
// newly written file; noHandle with `exists` set when the name is taken.
Handle createNew(const std::string& name, bool& exists) {
  Handle fd;
  do {
    fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  exists = fd < 0 && errno == EEXIST;
  return fd;
}

// ::write may take fewer bytes than offered (a signal, a file size limit reached part way):
// carry on with the rest until all is written or a call fails outright.
bool writeAll(Handle fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool syncAndClose(Handle fd) {
  int synced;
  do {
    synced = ::fsync(fd);
  } while (synced != 0 && errno == EINTR);
  // A file system that cannot sync at all still holds the data written.
  const bool syncOk = synced == 0 || errno == EINVAL || errno == ENOTSUP;
  // Linux releases the descriptor even when close() is interrupted; retrying could close
  // a descriptor opened meanwhile, so EINTR counts as closed.
  const bool closeOk = ::close(fd) == 0 || errno == EINTR;
  return syncOk && closeOk;
}

void closeQuietly(Handle fd) { ::close(fd); }

bool replace(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

void removeQuietly(const std::string& name) { ::unlink(name.c_str()); }

#endif

}  // namespace

struct OutputFile::Impl {
  std::string temporaryPath;
  Handle handle = noHandle;
  std::vector<char> buffer;

  // Gives up: closes and removes the temporary file. Safe to call more than once.
  void discard() {
    if (handle != noHandle) closeQuietly(handle);
    handle = noHandle;
    if (!temporaryPath.empty()) removeQuietly(temporaryPath);
    temporaryPath.clear();
  }

  bool flush() {
    const bool ok = writeAll(handle, buffer.data(), buffer.size());
    buffer.clear();
    return ok;
  }
};

OutputFile::OutputFile(std::string path) : path_(std::move(path)), impl_(std::make_unique<Impl>()) {
  const auto cut = path_.find_last_of(separators);
  const bool namesFile = cut == std::string::npos ? !path_.empty() : cut + 1 < path_.size();
  if (!namesFile || !targetWritable(path_))
    throw std::runtime_error("Cannot Create file: " + path_);

  const std::string prefix = temporaryPrefix(path_);
  auto random = seededRandom();
  for (int attempt = 0; attempt < 100 && impl_->handle == noHandle; ++attempt) {
    const std::string candidate = prefix + randomSuffix(random);
    bool exists = false;
    impl_->handle = createNew(candidate, exists);
    if (impl_->handle != noHandle)
      impl_->temporaryPath = candidate;
    else if (!exists)
      break;  // a missing or closed folder: another name will not help
  }
  if (impl_->handle == noHandle) throw std::runtime_error("Cannot Create file: " + path_);
  impl_->buffer.reserve(bufferSize);
}

OutputFile::~OutputFile() {
  if (impl_) impl_->discard();
}

void OutputFile::write(std::string_view bytes) {
  Impl& file = *impl_;
  if (file.handle == noHandle) throw std::runtime_error("Cannot write file: " + path_);
  if (file.buffer.size() + bytes.size() > bufferSize) {
    bool ok = file.flush();
    // What does not fit the buffer at all goes straight to the file.
    if (ok && bytes.size() >= bufferSize) {
      ok = writeAll(file.handle, bytes.data(), bytes.size());
      bytes = {};
    }
    if (!ok) {
      file.discard();
      throw std::runtime_error("Cannot write file: " + path_);
    }
  }
  file.buffer.insert(file.buffer.end(), bytes.begin(), bytes.end());
}

void OutputFile::commit() {
  Impl& file = *impl_;
  if (file.handle == noHandle) throw std::runtime_error("Cannot write file: " + path_);
  const bool written = file.flush();
  const Handle handle = std::exchange(file.handle, noHandle);
  if (!written) closeQuietly(handle);
  if (!written || !syncAndClose(handle) || !replace(file.temporaryPath, path_)) {
    file.discard();
    throw std::runtime_error("Cannot write file: " + path_);
  }
  file.temporaryPath.clear();  // it is the target now
}
