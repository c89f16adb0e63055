#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace base {

// A file written as a whole or not at all. The bytes go to a temporary file in the target's
// folder; commit() flushes and closes it and moves it over the target. Until commit()
// succeeds the file that stood at the target path (if any) is untouched, and a failed or
// abandoned OutputFile removes its temporary file. Writes are buffered.
//
// What stands at the path decides how it is written:
// - a symbolic link is followed (through chains of links) to the file it finally names, which
//   is written in its place; the link stays, and a link to nothing creates the file it names;
// - an ordinary file is replaced by a new one that takes over its permission bits, and its
//   owner and group where the process may set them (on Windows its hidden, system and archive
//   attributes). Other hard links to the old file keep the old content;
// - a device, a named pipe or a socket is written into directly, never replaced: there is no
//   temporary file, and a failure part way leaves what was already written.
// Temporary files are named ".NAME.tmp-PID-XXXXXXXX" after the file and the writing process;
// creating one removes those of the same file whose process no longer runs.
//
// Every error message ends in the reason: " (" + filesys::failureReason(...) + ")".
class OutputFile {
 public:
  // Opens `path` for writing as above. Throws std::runtime_error
  // "Cannot Create file: " + path + " (" + reason + ")" when the target cannot be written: a
  // missing folder, a path that names a folder, an existing file that may not be written, a
  // chain of too many links.
  explicit OutputFile(std::string path);
  ~OutputFile();  // removes the temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Appends bytes. Throws std::runtime_error "Cannot write file: " + path + " (" + reason + ")"
  // on a failed write.
  void write(std::string_view bytes);

  // Flushes, closes and moves the temporary file into place. Throws std::runtime_error
  // "Cannot write file: " + path + " (" + reason + ")" when any of that fails; the target then
  // keeps its old content.
  void commit();

  const std::string& path() const { return path_; }

 private:
  struct Impl;
  std::string path_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace base
