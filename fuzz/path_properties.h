#pragma once

#include <string>
#include <string_view>

// What must hold for the path functions of a merge (baseName, stripExtension, insertSuffix,
// mergeSuffix, split) on any text, checked the same way by the fuzz target and by the
// regression tests that replay its findings.

// Splits `bytes` at its first NUL into this matrix's path and the other's (the other is empty
// when there is no NUL) and checks every path function on them, and split on the whole text at
// line feeds and at its first byte. Returns "" when everything holds, else a description of
// the first violation. Throws nothing but std::bad_alloc.
std::string checkPathFunctions(std::string_view bytes);
