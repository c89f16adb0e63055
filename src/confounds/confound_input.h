#pragma once

#include <string>
#include <string_view>

#include "sdm/design_matrix.h"

// What a task does with a file that is not an SDM: read it, choose its confounds, say so.
struct ConfoundInput {
  DesignMatrix matrix;  // the chosen confounds (selectConfounds)
  std::string log;      // unreadableWarning (if any) then confoundsTakenMessage, for the log
};

// readConfoundFile(path), then selectConfounds with `selection`; throws what they throw.
ConfoundInput loadConfounds(const std::string& path, std::string_view selection);
