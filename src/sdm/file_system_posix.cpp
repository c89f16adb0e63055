#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "sdm/file_system.h"

namespace filesys {

namespace {

int fd(Handle handle) { return static_cast<int>(handle); }

class PosixFileSystem final : public FileSystem {
 public:
  // A file without any write bit counts as read-only even for root, who would otherwise pass
  // every permission test.
  int checkTarget(const std::string& path) override {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(status.st_mode)) return EISDIR;
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
    return ::access(path.c_str(), W_OK) == 0 ? 0 : errno;
  }

  // The usual permissions (0666 less the umask), like any newly written file.
  int createNew(const std::string& path, Handle& handle, bool& exists) override {
    int opened;
    do {
      opened = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (opened < 0 && errno == EINTR);
    exists = opened < 0 && errno == EEXIST;
    if (opened < 0) return errno;
    handle = opened;
    return 0;
  }

  // ::write may take fewer bytes than offered (a signal, a file size limit reached part way):
  // carry on with the rest until all is written or a call fails outright.
  int write(Handle handle, const char* data, std::size_t size) override {
    while (size > 0) {
      const ssize_t written = ::write(fd(handle), data, size);
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

  int sync(Handle handle) override {
    int synced;
    do {
      synced = ::fsync(fd(handle));
    } while (synced != 0 && errno == EINTR);
    // A file system that cannot sync at all still holds the data written.
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

FileSystem& systemFileSystem() {
  static PosixFileSystem system;
  return system;
}

}  // namespace filesys
