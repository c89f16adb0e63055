#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Keeps the host's own save answers off the files a batch run must not replace: the task's
// inputs and the files saved to earlier in the run. Two paths name the same file when the
// file system says so where both exist (device and inode; volume and file index on Windows),
// so links and other spellings are seen through; where neither exists, when their absolute
// paths agree with "." and ".." resolved and the links of the existing folders followed.
namespace tormel {

struct FileIdentity {
  uint64_t device = 0;
  uint64_t index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file at `path` (links followed), or nothing when there is none.
// file_identity_posix.cpp: stat; file_identity_windows.cpp: GetFileInformationByHandle.
std::optional<FileIdentity> fileIdentity(const std::string& path);

class SaveGuard {
 public:
  // The task's input files, looked at once: they stay as they are during the run.
  void setInputs(const std::vector<std::string>& paths);
  bool hasInputs() const { return inputsSet_; }
  // Why the host must not save to `path` itself, or null when it may: "it is an input of this
  // task" or "an earlier result of this run was saved there".
  const char* refusal(const std::string& path);
  // A save answer was given: the result is saved to `path` before the next dialog.
  void saved(const std::string& path);

 private:
  // A path with its file's identity (looked up once, when the file is expected to exist) and
  // its normalised form (made when first needed).
  struct Known {
    std::string path;
    bool looked = false;
    std::optional<FileIdentity> identity;
    std::optional<std::string> normal;
  };
  static bool same(Known& a, Known& b);

  bool inputsSet_ = false;
  std::vector<Known> inputs_;
  std::vector<Known> saved_;
};

}  // namespace tormel
