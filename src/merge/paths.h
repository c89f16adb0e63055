#pragma once

#include <string>
#include <vector>

// Path functions on plain text; both "/" and "\" separate folders.

// The text after the last "/" or "\"; the whole path when it has neither.
std::string baseName(const std::string& path);

// The text before the last "." anywhere in `text`; the whole text when it has none.
std::string stripExtension(const std::string& text);

// `path` with `suffix` inserted right before its last "."; appended when it has none.
std::string insertSuffix(const std::string& path, const std::string& suffix);

// The suffix that names `otherPath` in a merge with `thisPath`: the part of the other's stem
// from the last underscore or space at which both stems share the text before it, or "_" and
// the whole stem of the other when they share none.
std::string mergeSuffix(const std::string& thisPath, const std::string& otherPath);

// Splits `text` at `delimiter` like reading lines from a string stream: empty entries kept,
// no entry after a final delimiter, nothing trimmed; the empty text gives no entry.
std::vector<std::string> split(const std::string& text, char delimiter);
