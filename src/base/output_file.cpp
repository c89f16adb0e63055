#include "base/output_file.h"

#include <chrono>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "base/file_system.h"

namespace base {

namespace {

// Large enough that a report or an SDM of usual size goes out in a few system calls.
constexpr std::size_t bufferSize = std::size_t{1} << 18;

#ifdef _WIN32
constexpr const char* separators = "/\\:";
#else
constexpr const char* separators = "/";
#endif

constexpr std::size_t randomLength = 8;

// The position right after the folder part of `path` (0 when it has none).
std::size_t nameStart(const std::string& path) {
  const auto cut = path.find_last_of(separators);
  return cut == std::string::npos ? 0 : cut + 1;
}

// "dir/.name.tmp-" for "dir/name": the temporary file lives in the target's folder, so the
// final move never crosses a file system. The name is shortened so that the process id and
// the random suffix cannot push it past the file system's limit on name lengths.
std::string temporaryPrefix(const std::string& path) {
  const std::size_t start = nameStart(path);
  return path.substr(0, start) + "." + path.substr(start, 200) + ".tmp-";
}

std::string randomSuffix(std::mt19937_64& random) {
  static constexpr char letters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string suffix;
  for (std::size_t i = 0; i < randomLength; ++i) suffix += letters[random() % (sizeof letters - 1)];
  return suffix;
}

std::mt19937_64 seededRandom() {
  std::random_device device;
  const auto now =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return std::mt19937_64(now ^ (static_cast<uint64_t>(device()) << 32) ^ device());
}

// True when `rest` is what follows the prefix in a temporary file's name: "PID-XXXXXXXX". The
// process id only keeps names apart; whether a save still runs is told by its lock.
bool isTemporaryRest(std::string_view rest) {
  const auto dash = rest.find('-');
  if (dash == std::string_view::npos || dash == 0 || rest.size() != dash + 1 + randomLength)
    return false;
  for (const char c : rest.substr(0, dash))
    if (c < '0' || c > '9') return false;
  for (const char c : rest.substr(dash + 1)) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letter) return false;
  }
  return true;
}

// Removes the temporary files of `prefix` that a save left when it ended before finishing
// (killed, or the system went down). A save in progress holds the lock of its temporary file,
// wherever its process runs (another container, another machine sharing the folder); only a
// file whose lock can be taken is left over.
void removeStaleTemporaries(const std::string& prefix) {
  const std::string folder = prefix.substr(0, nameStart(prefix));
  const std::string start = prefix.substr(folder.size());
  std::vector<std::string> names;
  if (filesys::fileSystem().listNames(folder, start, names) != 0) return;
  for (const auto& name : names) {
    if (!isTemporaryRest(std::string_view(name).substr(start.size()))) continue;
    if (!filesys::fileSystem().inUse(folder + name)) filesys::fileSystem().remove(folder + name);
  }
}

[[noreturn]] void fail(const char* what, const std::string& path, const std::string& reason) {
  throw std::runtime_error(what + path + " (" + reason + ")");
}

constexpr const char* cannotCreate = "Cannot Create file: ";
constexpr const char* cannotWrite = "Cannot write file: ";

}  // namespace

using filesys::fileSystem;
using filesys::Handle;
using filesys::noHandle;
using filesys::TargetKind;

struct OutputFile::Impl {
  std::string target;         // the file written: the path with its links followed
  std::string temporaryPath;  // empty when writing straight into the target
  Handle handle = noHandle;
  int error = 0;  // the failure that closed the file, repeated by later calls
  std::vector<char> buffer;

  // Gives up: closes and removes the temporary file. Safe to call more than once.
  void discard() {
    if (handle != noHandle) fileSystem().close(handle);
    handle = noHandle;
    if (!temporaryPath.empty()) fileSystem().remove(temporaryPath);
    temporaryPath.clear();
  }

  int flush() {
    const int result = fileSystem().write(handle, buffer.data(), buffer.size());
    buffer.clear();
    return result;
  }

  // Creates the temporary file beside the target; the target's permissions when it replaces
  // an ordinary file.
  int createTemporary(bool replacing) {
    const std::string prefix =
        temporaryPrefix(target) + std::to_string(filesys::currentProcessId()) + "-";
    auto random = seededRandom();
    int result = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string candidate = prefix + randomSuffix(random);
      bool exists = false;
      result = fileSystem().createNew(candidate, replacing, handle, exists);
      if (result == 0) {
        temporaryPath = candidate;
        break;
      }
      handle = noHandle;
      if (!exists) return result;  // a missing or closed folder: another name will not help
    }
    if (result != 0 || !replacing) return result;
    result = fileSystem().copyMetadata(target, handle);
    if (result != 0) discard();
    return result;
  }
};

OutputFile::OutputFile(std::string path) : path_(std::move(path)), impl_(std::make_unique<Impl>()) {
  Impl& file = *impl_;
  TargetKind kind = TargetKind::none;
  const std::size_t start = nameStart(path_);
  if (start == path_.size()) {
    // "" or a path that ends in a separator names no file, only a folder: the system tells
    // what is there.
    const int error = fileSystem().checkTarget(path_, kind);
    fail(cannotCreate, path_,
         error != 0                 ? filesys::failureReason(error)
         : kind == TargetKind::none ? "no such file or folder"
                                    : "a folder is in the way");
  }
  int error = fileSystem().resolveLinks(path_, file.target);
  if (error == 0) error = fileSystem().checkTarget(file.target, kind);
  if (error == 0 && kind == TargetKind::other) {
    error = fileSystem().openExisting(file.target, file.handle);
    if (error != 0) file.handle = noHandle;
  } else if (error == 0) {
    removeStaleTemporaries(temporaryPrefix(file.target));
    error = file.createTemporary(kind == TargetKind::regularFile);
  }
  if (error != 0) fail(cannotCreate, path_, filesys::failureReason(error));
  file.buffer.reserve(bufferSize);
}

OutputFile::~OutputFile() {
  if (impl_) impl_->discard();
}

void OutputFile::write(std::string_view bytes) {
  Impl& file = *impl_;
  if (file.handle == noHandle) fail(cannotWrite, path_, filesys::failureReason(file.error));
  if (file.buffer.size() + bytes.size() > bufferSize) {
    int error = file.flush();
    // What does not fit the buffer at all goes straight to the file.
    if (error == 0 && bytes.size() >= bufferSize) {
      error = fileSystem().write(file.handle, bytes.data(), bytes.size());
      bytes = {};
    }
    if (error != 0) {
      file.error = error;
      file.discard();
      fail(cannotWrite, path_, filesys::failureReason(error));
    }
  }
  file.buffer.insert(file.buffer.end(), bytes.begin(), bytes.end());
}

void OutputFile::commit() {
  Impl& file = *impl_;
  if (file.handle == noHandle) fail(cannotWrite, path_, filesys::failureReason(file.error));
  int error = file.flush();
  if (error == 0) error = fileSystem().sync(file.handle);
  // The handle is released by close whatever it answers.
  const int closed = fileSystem().close(std::exchange(file.handle, noHandle));
  if (error == 0) error = closed;
  if (error == 0 && !file.temporaryPath.empty())
    error = fileSystem().replace(file.temporaryPath, file.target);
  if (error != 0) {
    file.error = error;
    file.discard();
    fail(cannotWrite, path_, filesys::failureReason(error));
  }
  file.temporaryPath.clear();  // it is the target now
}

}  // namespace base
