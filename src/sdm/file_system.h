#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The operating system's side of a save, behind one small interface: the handful of calls that
// OutputFile makes to write a file as a whole or not at all. The system's own implementation
// lives in file_system_posix.cpp or file_system_windows.cpp; tests install a fake (one that
// fails a chosen call, say) with ScopedFileSystem.
//
// Every call returns 0 on success and the system's error code (errno, or GetLastError on
// Windows) on failure. Calls never throw.
namespace filesys {

using Handle = std::intptr_t;  // an open file of the system's kind (a descriptor, a HANDLE)
inline constexpr Handle noHandle = -1;

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // 0 when a new file may take the place of `path`: nothing is there, or an ordinary file that
  // may be written. Otherwise the reason it may not (a folder there, a read-only file, a
  // missing folder).
  virtual int checkTarget(const std::string& path) = 0;
  // Creates a new, empty file at `path` for writing, failing when the name is taken (`exists`
  // is then set). On success `handle` is the open file.
  virtual int createNew(const std::string& path, Handle& handle, bool& exists) = 0;
  // Writes all `size` bytes, carrying on after partial writes.
  virtual int write(Handle handle, const char* data, std::size_t size) = 0;
  // Makes what was written durable. A file system that cannot sync at all counts as success.
  virtual int sync(Handle handle) = 0;
  // Closes the file; the handle is released whatever the result.
  virtual int close(Handle handle) = 0;
  // Moves `from` over `to` in one step, replacing what stood at `to`.
  virtual int replace(const std::string& from, const std::string& to) = 0;
  // Removes the file at `path`; what happens is not reported.
  virtual void remove(const std::string& path) = 0;
};

// The operating system's file system.
FileSystem& systemFileSystem();

// The file system that saves use: the system's, unless a ScopedFileSystem is alive.
FileSystem& fileSystem();

// Makes saves use `replacement` for its lifetime (which must outlast the scope), then restores
// the one before. For tests.
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
