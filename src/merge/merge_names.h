#pragma once

#include <string>
#include <vector>

#include "base/paths.h"

// The names of merged files and the list of secondary SDMs.

// The suffix that names `otherPath` in a merge with `thisPath`: the part of the other's stem
// from the last underscore or space at which both stems share the text before it, or "_" and
// the whole stem of the other when they share none.
std::string mergeSuffix(const std::string& thisPath, const std::string& otherPath);

// Splits `text` at `delimiter` like reading lines from a string stream: empty entries kept,
// no entry after a final delimiter, nothing trimmed; the empty text gives no entry.
std::vector<std::string> split(const std::string& text, char delimiter);
