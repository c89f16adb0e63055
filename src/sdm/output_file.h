#pragma once

#include <memory>
#include <string>
#include <string_view>

// A file written as a whole or not at all. The bytes go to a temporary file in the target's
// folder; commit() flushes and closes it and moves it over the target. Until commit()
// succeeds the file that stood at the target path (if any) is untouched, and a failed or
// abandoned OutputFile removes its temporary file. Writes are buffered.
class OutputFile {
 public:
  // Creates the temporary file for `path`. Throws std::runtime_error
  // "Cannot Create file: " + path when the target cannot be written: a missing folder, a
  // path that names a folder, an existing file that may not be written.
  explicit OutputFile(std::string path);
  ~OutputFile();  // removes the temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Appends bytes. Throws std::runtime_error "Cannot write file: " + path on a failed write.
  void write(std::string_view bytes);

  // Flushes, closes and moves the temporary file into place. Throws std::runtime_error
  // "Cannot write file: " + path when any of that fails; the target then keeps its old content.
  void commit();

  const std::string& path() const { return path_; }

 private:
  struct Impl;
  std::string path_;
  std::unique_ptr<Impl> impl_;
};
