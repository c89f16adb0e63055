#pragma once

#include <string>

// Path functions on plain text; both "/" and "\" separate folders. Only sameFile asks the file
// system.
namespace base {

// The text after the last "/" or "\"; the whole path when it has neither.
std::string baseName(const std::string& path);

// The text before the last "." anywhere in `text`; the whole text when it has none.
std::string stripExtension(const std::string& text);

// `path` with `suffix` inserted right before its last "."; appended when it has none.
std::string insertSuffix(const std::string& path, const std::string& suffix);

// True when `a` and `b` are the same text or reach the same existing file (through a link,
// another spelling of the folder); what the system cannot tell counts as not the same.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace base
