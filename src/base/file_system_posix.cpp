#include <cerrno>
#include <climits>
#include <csignal>
#include <ctime>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "base/file_system.h"

namespace filesys {

namespace {

int fd(Handle handle) { return static_cast<int>(handle); }

constexpr int maxLinks = 40;

// ::open of `path`, tried again while a signal interrupts it: the descriptor, or -1 with errno
// set. `mode` counts only where `flags` create the file.
int openRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int file;
  do {
    file = ::open(path.c_str(), flags, mode);
  } while (file < 0 && errno == EINTR);
  return file;
}

int writeAll(int file, const char* data, std::size_t size) {
  // ::write may take fewer bytes than offered (a signal, a file size limit reached part way):
  // carry on with the rest until all is written or a call fails outright.
  while (size > 0) {
    const ssize_t written = ::write(file, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return ENOSPC;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

// An exclusive lock on the whole of `file`, without waiting: 0, or the reason it is not had.
// Open-file locks where the system has them, so that they belong to this open file rather than
// to the process (two saves of one process then exclude each other too, and closing another
// descriptor of the file keeps the lock).
int lockWhole(int file) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
#ifdef F_OFD_SETLK
  const int command = F_OFD_SETLK;
#else
  const int command = F_SETLK;
#endif
  int result;
  do {
    result = ::fcntl(file, command, &lock);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

class PosixFileSystem final : public FileSystem {
 public:
  int openForReading(const std::string& path, Handle& handle, std::int64_t& size) override {
    const int file = openRetrying(path, O_RDONLY | O_CLOEXEC);
    if (file < 0) return errno;
    struct stat status {};
    size = ::fstat(file, &status) == 0 && S_ISREG(status.st_mode)
               ? static_cast<std::int64_t>(status.st_size)
               : -1;
    handle = file;
    return 0;
  }

  int read(Handle handle, char* data, std::size_t size, std::size_t& got) override {
    ssize_t count;
    do {
      count = ::read(fd(handle), data, size);
    } while (count < 0 && errno == EINTR);
    if (count < 0) return errno;
    got = static_cast<std::size_t>(count);
    return 0;
  }

  int resolveLinks(const std::string& path, std::string& target) override {
    std::string current = path;
    for (int links = 0;; ++links) {
      struct stat status {};
      // Whatever is not a link (nothing at all included) is for checkTarget to judge.
      if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
        target = current;
        return 0;
      }
      if (links == maxLinks) return ELOOP;
      std::vector<char> text(PATH_MAX + 1);
      const ssize_t length = ::readlink(current.c_str(), text.data(), text.size());
      if (length < 0) return errno;
      if (static_cast<std::size_t>(length) >= text.size()) return ENAMETOOLONG;
      const std::string next(text.data(), static_cast<std::size_t>(length));
      if (next.empty()) return ENOENT;
      const auto slash = current.rfind('/');
      current = next.front() == '/' || slash == std::string::npos
                    ? next
                    : current.substr(0, slash + 1) + next;
    }
  }

  int checkTarget(const std::string& path, TargetKind& kind) override {
    kind = TargetKind::none;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(status.st_mode)) return EISDIR;
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EROFS;
    if (::access(path.c_str(), W_OK) != 0) return errno;
    kind = S_ISREG(status.st_mode) ? TargetKind::regularFile : TargetKind::other;
    return 0;
  }

  int listNames(const std::string& folder, const std::string& start,
                std::vector<std::string>& names) override {
    DIR* entries = ::opendir(folder.empty() ? "." : folder.c_str());
    if (entries == nullptr) return errno;
    while (const dirent* entry = ::readdir(entries)) {
      const std::string name = entry->d_name;
      if (name.compare(0, start.size(), start) == 0) names.push_back(name);
    }
    ::closedir(entries);
    return 0;
  }

  bool inUse(const std::string& path) override {
    const int file = openRetrying(path, O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (file < 0) return true;
    const bool locked = lockWhole(file) != 0;
    ::close(file);
    return locked;
  }

  // The usual permissions are 0666 less the umask, like any newly written file's.
  int createNew(const std::string& path, bool ownerOnly, Handle& handle, bool& exists) override {
    const int opened =
        openRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ownerOnly ? 0600 : 0666);
    exists = opened < 0 && errno == EEXIST;
    if (opened < 0) return errno;
    // Another save may have taken the new file for a stale one and removed it before the lock
    // was held: then another name is tried.
    struct stat status {};
    const int locked = lockWhole(opened);
    if (locked != 0 || ::fstat(opened, &status) != 0 || status.st_nlink == 0) {
      const int error = locked != 0 ? locked : EEXIST;
      ::close(opened);
      exists = error == EEXIST;
      return error;
    }
    handle = opened;
    return 0;
  }

  // Only root may give a file away; an owner who belongs to the group may still set that.
  int copyMetadata(const std::string& model, Handle handle) override {
    struct stat status {};
    if (::stat(model.c_str(), &status) != 0) return errno == ENOENT ? 0 : errno;
    // The owner first: a change of owner may clear mode bits.
    if (::fchown(fd(handle), status.st_uid, status.st_gid) != 0) {
      if (errno != EPERM && errno != EINVAL) return errno;
      if (::fchown(fd(handle), static_cast<uid_t>(-1), status.st_gid) != 0 && errno != EPERM &&
          errno != EINVAL)
        return errno;
    }
    return ::fchmod(fd(handle), status.st_mode & 0777) == 0 ? 0 : errno;
  }

  int openExisting(const std::string& path, Handle& handle) override {
    const int opened = openRetrying(path, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (opened < 0) return errno;  // ENXIO: a pipe without a reader
    // An ordinary file that took the name meanwhile would be overwritten in place.
    struct stat status {};
    int error = ::fstat(opened, &status) != 0 ? errno : S_ISREG(status.st_mode) ? EEXIST : 0;
    // From here on a write waits for a slow reader, as any stream's would.
    const int flags = error == 0 ? ::fcntl(opened, F_GETFL) : 0;
    if (error == 0 && (flags < 0 || ::fcntl(opened, F_SETFL, flags & ~O_NONBLOCK) != 0))
      error = errno;
    if (error != 0) {
      ::close(opened);
      return error;
    }
    handle = opened;
    return 0;
  }

  // A pipe whose reader has gone raises SIGPIPE, which would end the whole program. The signal
  // is held back while writing and one that the write raised is taken away again: the write
  // fails with EPIPE instead.
  int write(Handle handle, const char* data, std::size_t size) override {
    sigset_t pipeSignal, previous, pending;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigemptyset(&pending);
    sigpending(&pending);
    const bool pendingBefore = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const int error = writeAll(fd(handle), data, size);
    if (error == EPIPE && !pendingBefore) {
      const timespec noWait{};
      while (sigtimedwait(&pipeSignal, nullptr, &noWait) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return error;
  }

  int sync(Handle handle) override {
    int synced;
    do {
      synced = ::fsync(fd(handle));
    } while (synced != 0 && errno == EINTR);
    // A pipe, a device or a file system that cannot sync at all still holds the data written.
    if (synced == 0 || errno == EINVAL || errno == ENOTSUP) return 0;
    return errno;
  }

  // Linux releases the descriptor even when close() is interrupted; retrying could close a
  // descriptor opened meanwhile, so EINTR counts as closed.
  int close(Handle handle) override {
    if (::close(fd(handle)) == 0 || errno == EINTR) return 0;
    return errno;
  }

  int replace(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }

  void remove(const std::string& path) override { ::unlink(path.c_str()); }
};

}  // namespace

std::string failureReason(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:  // a file where a folder of the path should be
      return "no such file or folder";
    case EACCES:
    case EPERM:
      return "permission denied";
    case EROFS:
      return "read-only file";
    case EISDIR:
      return "a folder is in the way";
    case ENAMETOOLONG:
      return "name too long";
    case ENOSPC:
    case EDQUOT:
      return "disk full";
    case EFBIG:
      return "file too large";
    case ELOOP:
      return "too many links";
    default:
      return "error " + std::to_string(error);
  }
}

long currentProcessId() { return static_cast<long>(::getpid()); }

FileSystem& systemFileSystem() {
  static PosixFileSystem system;
  return system;
}

}  // namespace filesys
