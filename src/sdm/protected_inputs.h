#pragma once

#include <span>
#include <stdexcept>
#include <string>

// No output of a task takes the place of a file the task read, nor of a file it wrote before;
// no report file takes the place of the SDM it reports on. Paths reach the same file when they
// are the same text or lead to the same existing file (through a link, another spelling of the
// folder).
namespace sdm {

// Throws std::runtime_error "Cannot Create file: " + path + " (it is the SDM itself)" when a
// report file at `path` would take the place of the SDM file at `sdmPath`.
void refuseToReplaceTheSdm(const std::string& path, const std::string& sdmPath);

// An output that would replace a file the task read or wrote before: what() is the whole
// message, path() the output's path.
class InputProtectedError : public std::runtime_error {
 public:
  InputProtectedError(const std::string& path, const std::string& message)
      : std::runtime_error(message), path_(path) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Throws InputProtectedError "Cannot Create file: " + path + " (it is an input of this task)"
// when `path` reaches one of `inputs`, and " (an earlier result of this task wrote it)" when it
// reaches one of `written`. Empty paths in either list are passed over.
void refuseToReplaceInputs(const std::string& path, std::span<const std::string> inputs,
                           std::span<const std::string> written = {});

// refuseToReplaceTheSdm, then refuseToReplaceInputs.
void refuseToReplace(const std::string& path, const std::string& sdmPath,
                     std::span<const std::string> inputs,
                     std::span<const std::string> written = {});

}  // namespace sdm
