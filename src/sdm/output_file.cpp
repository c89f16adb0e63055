#include "sdm/output_file.h"

#include <chrono>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "sdm/file_system.h"

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

}  // namespace

using filesys::fileSystem;
using filesys::Handle;
using filesys::noHandle;

struct OutputFile::Impl {
  std::string temporaryPath;
  Handle handle = noHandle;
  std::vector<char> buffer;

  // Gives up: closes and removes the temporary file. Safe to call more than once.
  void discard() {
    if (handle != noHandle) fileSystem().close(handle);
    handle = noHandle;
    if (!temporaryPath.empty()) fileSystem().remove(temporaryPath);
    temporaryPath.clear();
  }

  bool flush() {
    const bool ok = fileSystem().write(handle, buffer.data(), buffer.size()) == 0;
    buffer.clear();
    return ok;
  }
};

OutputFile::OutputFile(std::string path) : path_(std::move(path)), impl_(std::make_unique<Impl>()) {
  const auto cut = path_.find_last_of(separators);
  const bool namesFile = cut == std::string::npos ? !path_.empty() : cut + 1 < path_.size();
  if (!namesFile || fileSystem().checkTarget(path_) != 0)
    throw std::runtime_error("Cannot Create file: " + path_);

  const std::string prefix = temporaryPrefix(path_);
  auto random = seededRandom();
  for (int attempt = 0; attempt < 100 && impl_->handle == noHandle; ++attempt) {
    const std::string candidate = prefix + randomSuffix(random);
    bool exists = false;
    Handle handle = noHandle;
    if (fileSystem().createNew(candidate, handle, exists) == 0) {
      impl_->handle = handle;
      impl_->temporaryPath = candidate;
    } else if (!exists) {
      break;  // a missing or closed folder: another name will not help
    }
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
      ok = fileSystem().write(file.handle, bytes.data(), bytes.size()) == 0;
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
  bool ok = written && fileSystem().sync(file.handle) == 0;
  // The handle is released by close whatever it answers.
  ok = fileSystem().close(std::exchange(file.handle, noHandle)) == 0 && ok;
  ok = ok && fileSystem().replace(file.temporaryPath, path_) == 0;
  if (!ok) {
    file.discard();
    throw std::runtime_error("Cannot write file: " + path_);
  }
  file.temporaryPath.clear();  // it is the target now
}
