#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/notice.h"
#include "sdm/design_matrix.h"

// What a task does with a file that is not an SDM: read it, choose its confounds, say so.
struct ConfoundInput {
  DesignMatrix matrix;          // the chosen confounds (selectConfounds)
  std::vector<Notice> notices;  // unreadableNotice (if any), then confoundsTakenNotice
};

// readConfoundFile(path), then selectConfounds with `selection`; throws what they throw. A
// ".tsv" table with a sidecar that Brindle wrote beside it (confounds/tsv_sidecar.h) is read as
// the design the sidecar describes instead: every column, its names, colours, first confound and
// constant flag, whatever the selection.
ConfoundInput loadConfounds(const std::string& path, std::string_view selection);
