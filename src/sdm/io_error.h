#pragma once

#include <stdexcept>
#include <string>

namespace sdm {

// Failures of SDM file input: the common base of the reader's own exceptions.
class IOError : public std::runtime_error {
 public:
  explicit IOError(const std::string& message) : std::runtime_error(message) {}
};

// An SDM file that cannot be opened: "Failed opening for reading: " + path + " (" + the system's
// reason + ")".
class OpenFileError : public IOError {
 public:
  explicit OpenFileError(const std::string& message) : IOError(message) {}
};

}  // namespace sdm
