#pragma once

#include <string>

#include "confounds/confound_reader.h"
#include "sdm/design_matrix.h"

// The log texts of a task that reads a confound file.

// The warning logged after reading a file with unreadable cells, or "" when there are none:
// "\nBrindle>  Warning: " + base name + ": " + k + " value(s) unreadable (data points " + the
// first five data points joined by ", " + ", ..." when more rows hold such cells + "), read as 0".
std::string unreadableWarning(const std::string& path, const UnreadableCells& cells);

// What was taken from a file: "\nBrindle>  Confounds from " + base name of `selected.fileName` +
// ": " + the names of `selected` joined by ", ".
std::string confoundsTakenMessage(const DesignMatrix& selected);
