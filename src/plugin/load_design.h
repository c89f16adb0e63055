#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sdm/design_matrix.h"

class TRMLLog;

// Loads the file at `path` the way every task reads its inputs: an SDM with DesignMatrix::load,
// a confound file (confounds/confound_reader.h tells them apart by name) with loadConfounds and
// `confoundSpec` as its selection, after which the log gets what was taken (and the warning
// about unreadable cells, if any) when `log` is not null. Throws what those loads throw.
DesignMatrix loadDesign(const std::string& path, const std::string& confoundSpec, TRMLLog* log);

// The loads of one task. The dialog parameter "confounds" (the selection of every confound
// file) is read from the host at most once, and only when a file of the task is a confound
// file, so a task on SDMs alone makes exactly the host calls it always made.
class DesignLoader {
 public:
  // `log` may be null (nothing is logged). Reads "confounds" now, before any file is loaded,
  // when one of `paths` (the files the task knows of at its start) is a confound file.
  explicit DesignLoader(TRMLLog* log, const std::vector<std::string>& paths = {});

  // loadDesign with the task's selection, read first when this is the task's first confound
  // file.
  DesignMatrix load(const std::string& path);

 private:
  const std::string& selection();

  TRMLLog* log_;
  std::optional<std::string> selection_;
};

// `path` with the extension of its file name (from the last "." of the base name) replaced by
// ".sdm", or ".sdm" appended when the base name has no ".".
std::string sdmNameBeside(const std::string& path);

// The name a merge offers for a result whose name came from `path`: `path` itself when it names
// an SDM, sdmNameBeside(path) when it names a confound file (the result is an SDM either way).
std::string offeredSdmName(const std::string& path);
