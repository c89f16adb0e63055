#pragma once

#include <string>

#include "sdm/design_matrix.h"

class TRMLLog;

// Loads the SDM file at `path` for a task with loadSdm (a damaged file, and with `strict` any
// file the reader had to repair, is refused with its IOError) and, right after loading it,
// logs one warning per kind of repair to `log` when there is one.
DesignMatrix loadSdmForTask(const std::string& path, bool strict, TRMLLog* log);
