#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The operating system's side of every file the plug-in opens, behind one small interface: the
// two calls that read a file, and the handful that OutputFile makes to write a file as a whole
// or not at all. The system's own implementation
// lives in file_system_posix.cpp or file_system_windows.cpp; tests install a fake (one that
// fails a chosen call, say) with ScopedFileSystem.
//
// Every call that returns an int returns 0 on success and the system's error code (errno, or
// GetLastError on Windows) on failure. Calls never throw.
namespace filesys {

using Handle = std::intptr_t;  // an open file of the system's kind (a descriptor, a HANDLE)
inline constexpr Handle noHandle = -1;

// What stands at a path.
enum class TargetKind {
  none,         // nothing: a save creates the file
  regularFile,  // an ordinary file: a save replaces it
  other,        // a device, a named pipe, a socket: a save writes into it
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens the existing file at `path` for reading. On success `handle` is the open file and
  // `size` its size in bytes, or -1 when the system cannot tell (a pipe, a device).
  virtual int openForReading(const std::string& path, Handle& handle, std::int64_t& size) = 0;
  // Reads at most `size` bytes into `data`, carrying on after an interrupted call; `got` is
  // the number read, 0 only at the end of the file.
  virtual int read(Handle handle, char* data, std::size_t size, std::size_t& got) = 0;

  // Follows symbolic links from `path` to the file they finally name, which is `target` (the
  // path itself when it is no link; for a link to nothing, the path it names). A link's text
  // counts from the link's folder. Fails with ELOOP after 40 links (Windows follows the chain
  // itself and fails with ERROR_CANT_RESOLVE_FILENAME after its own limit).
  virtual int resolveLinks(const std::string& path, std::string& target) = 0;
  // 0 when `path` may be written, with `kind` telling what is there. Otherwise the reason it
  // may not: EISDIR (ERROR_DIRECTORY) for a folder, EROFS (ERROR_FILE_READ_ONLY) for a file
  // without any write permission (refused even for root, who would otherwise pass every
  // permission test), or what the system says (a missing folder, say).
  virtual int checkTarget(const std::string& path, TargetKind& kind) = 0;
  // Names in `folder` ("" for the working folder) that begin with `start`, without the folder.
  virtual int listNames(const std::string& folder, const std::string& start,
                        std::vector<std::string>& names) = 0;
  // True while a save holds the lock of the temporary file at `path` (see createNew), and when
  // that cannot be told (the file cannot be opened); false once the lock could be taken: the
  // process that made the file has ended, on this machine or any other that shares the folder.
  virtual bool inUse(const std::string& path) = 0;
  // Creates a new, empty file at `path` for writing, failing when the name is taken (`exists`
  // is then set), and takes an exclusive advisory lock on it that lasts until it is closed
  // (fcntl's open-file lock on POSIX, LockFileEx on Windows). `ownerOnly`: only the owner may
  // read it (for a file that takes over another file's permissions before anything is
  // written); otherwise the usual permissions. On success `handle` is the open file.
  virtual int createNew(const std::string& path, bool ownerOnly, Handle& handle, bool& exists) = 0;
  // Gives the open file the permission bits of the file at `model`, and its owner and group
  // where the process may set them (Windows: its hidden, system and archive attributes). A
  // model that has gone meanwhile gives nothing and counts as success.
  virtual int copyMetadata(const std::string& model, Handle handle) = 0;
  // Opens the existing file at `path` (a device, a pipe) to write into it as it is: nothing is
  // created, truncated or replaced. A pipe that nobody reads fails rather than waiting.
  virtual int openExisting(const std::string& path, Handle& handle) = 0;
  // Writes all `size` bytes, carrying on after partial writes.
  virtual int write(Handle handle, const char* data, std::size_t size) = 0;
  // Makes what was written durable. A file that cannot sync at all (a pipe, a file system
  // without sync) counts as success.
  virtual int sync(Handle handle) = 0;
  // Closes the file; the handle is released whatever the result.
  virtual int close(Handle handle) = 0;
  // Moves `from` over `to` in one step, replacing what stood at `to`.
  virtual int replace(const std::string& from, const std::string& to) = 0;
  // Removes the file at `path`; what happens is not reported.
  virtual void remove(const std::string& path) = 0;
};

// Why a call failed with `error`, in words that do not depend on the system's language:
// "no such file or folder", "permission denied", "read-only file", "a folder is in the way",
// "name too long", "disk full", "file too large", "too many links" (a loop of links), or
// "error " + the number. Readers and writers give it alike, as the end of their messages.
std::string failureReason(int error);

// The id of this process.
long currentProcessId();

// The operating system's file system.
FileSystem& systemFileSystem();

// The file system that reads and saves use: the system's, unless a ScopedFileSystem is alive.
FileSystem& fileSystem();

// Makes reads and saves use `replacement` for its lifetime (which must outlast the scope), then
// restores the one before. For tests.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& replacement);
  ~ScopedFileSystem();
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

}  // namespace filesys
