#include "regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "base/file_system.h"

namespace fs = std::filesystem;

namespace bids {

namespace {

std::string kindProblem(fs::file_type type) {
  switch (type) {
    case fs::file_type::regular:
      return "";
    case fs::file_type::directory:
      return "a folder, not a file";
    case fs::file_type::fifo:
      return "a named pipe, not a regular file";
    case fs::file_type::character:
    case fs::file_type::block:
      return "a device, not a regular file";
    case fs::file_type::socket:
      return "a socket, not a regular file";
    case fs::file_type::not_found:
      return "missing (a link to nothing?)";
    default:
      return "not a regular file";
  }
}

[[noreturn]] void refuse(const fs::path& file, const std::string& why) {
  throw std::runtime_error(file.string() + ": " + why);
}

}  // namespace

std::string notRegularFile(const fs::path& file) {
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  if (error && status.type() != fs::file_type::not_found)
    return "cannot be read (" + filesys::failureReason(error.value()) + ")";
  return kindProblem(status.type());
}

int openRegularFile(const fs::path& file) {
  if (const std::string why = notRegularFile(file); !why.empty()) refuse(file, why);
  // Non-blocking, so that a pipe put in its place after the check is not waited on either.
  const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) refuse(file, "cannot be opened (" + filesys::failureReason(errno) + ")");
  struct stat opened {};
  if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    close(fd);
    refuse(file, "not a regular file");
  }
  // Reads of a regular file wait for the disk as they should.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

std::string readRegularFile(const fs::path& file) {
  const int fd = openRegularFile(file);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      bytes.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      const int reason = errno;
      close(fd);
      refuse(file, "cannot be read (" + filesys::failureReason(reason) + ")");
    }
  }
  close(fd);
  return bytes;
}

}  // namespace bids
