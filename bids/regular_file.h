#pragma once

#include <filesystem>
#include <string>

// Inputs are opened only once they are known to be regular files: a named pipe in place of a
// table would block its reader for ever, a device would never end.
namespace bids {

// Why `file` is not a regular file to read (links followed): "a named pipe, not a regular file",
// "a folder, not a file", "missing (a link to nothing?)"; "" when it is one. Opens nothing.
std::string notRegularFile(const std::filesystem::path& file);

// An open file descriptor for reading `file`, checked with notRegularFile first and again on the
// open file (so a file swapped meanwhile is refused, never waited on). The caller closes it.
// Throws std::runtime_error "FILE: WHY" when it cannot be opened.
int openRegularFile(const std::filesystem::path& file);

// The whole of the regular file `file`. Throws std::runtime_error "FILE: WHY" when it is not one
// or cannot be read.
std::string readRegularFile(const std::filesystem::path& file);

}  // namespace bids
