#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of `name` inside the folder, as text.
  std::string file(std::string_view name) const;
  // Writes `bytes` to `name` inside the folder, making the folders on the way; returns its path.
  std::string write(std::string_view name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

// The whole file as bytes; throws std::runtime_error when it cannot be read.
std::string readFile(const std::filesystem::path& path);
// Writes `bytes` to `path`, replacing what stood there.
void writeFile(const std::filesystem::path& path, std::string_view bytes);
// Replaces every "\n" by "\r\n": expected files are written with LF in the tests.
std::string crlf(std::string_view text);

}  // namespace testing_support
