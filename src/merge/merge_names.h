#pragma once

#include <string>

#include "base/paths.h"

// The names of merged files.
namespace merge {

// The suffix that names `otherPath` in a merge with `thisPath`: the part of the other's stem
// from the last underscore or space at which both stems share the text before it, or "_" and
// the whole stem of the other when they share none.
std::string mergeSuffix(const std::string& thisPath, const std::string& otherPath);

}  // namespace merge
