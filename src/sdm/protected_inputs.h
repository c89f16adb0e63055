#pragma once

#include <span>
#include <stdexcept>
#include <string>

// No report file takes the place of the SDM it reports on, nor of another file its task read or
// an earlier result of the task wrote. Paths reach the same file when they are the same text or
// lead to the same existing file (through a link, another spelling of the folder).
namespace sdm {

// Throws std::runtime_error "Cannot Create file: " + path + " (it is the SDM itself)" when a
// report file at `path` would take the place of the SDM file at `sdmPath`.
void refuseToReplaceTheSdm(const std::string& path, const std::string& sdmPath);

// A report file that would replace a file the task read.
class InputProtectedError : public std::runtime_error {
 public:
  explicit InputProtectedError(const std::string& message) : std::runtime_error(message) {}
};

// refuseToReplaceTheSdm, then throws InputProtectedError "Cannot Create file: " + path +
// " (it is an input of this task)" when `path` reaches one of `inputs`, and
// " (an earlier result of this task wrote it)" when it reaches one of `written`.
void refuseToReplace(const std::string& path, const std::string& sdmPath,
                     std::span<const std::string> inputs,
                     std::span<const std::string> written = {});

}  // namespace sdm
