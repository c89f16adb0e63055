#pragma once

#include <string>
#include <vector>

namespace base {

// Splits `text` at `delimiter` like reading lines from a string stream: empty entries kept,
// no entry after a final delimiter, nothing trimmed; the empty text gives no entry.
std::vector<std::string> split(const std::string& text, char delimiter);

}  // namespace base
