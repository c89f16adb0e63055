#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/notice.h"
#include "sdm/design_matrix.h"

class TRMLLog;

namespace plugin {

// The loads of one task. An SDM is read with the reader's repair accounting: a damaged file
// (and, when `strict`, any file the reader had to repair) is refused with its IOError, and the
// log gets one warning per kind of repair right after the load. A confound file
// (confounds/confound_reader.h tells them apart) is read with the task's selection, after
// which the log gets the warning about unreadable cells, if any, and what was taken: every
// notice of the readers, in order, as noticeText says it.
//
// The dialog parameter "confounds" (the selection) is read from the host at most once, and only
// when a file of the task is a confound file, so a task on SDMs alone makes the host calls it
// always made.
class DesignLoader {
 public:
  // `log` may be null (nothing is logged). Reads "confounds" now, before any file is loaded,
  // when one of `paths` (the files the task knows of at its start) is a confound file.
  DesignLoader(TRMLLog* log, bool strict, const std::vector<std::string>& paths = {});

  // Loads `path` as above. Throws what the readers throw.
  sdm::DesignMatrix load(const std::string& path);

  // The notices of the last file loaded, in the order they were logged.
  const std::vector<base::Notice>& lastNotices() const { return lastNotices_; }

  // The mean framewise displacement of the last file loaded (confounds/confound_input.h):
  // nothing for an SDM and for a confound file without that column.
  std::optional<double> lastMeanFramewiseDisplacement() const { return lastDisplacement_; }

 private:
  const std::string& selection();

  TRMLLog* log_;
  bool strict_;
  std::optional<std::string> selection_;
  std::vector<base::Notice> lastNotices_;
  std::optional<double> lastDisplacement_;
};

// `path` with the extension of its file name (from the last "." of the base name) replaced by
// ".sdm", or ".sdm" appended when the base name has no ".".
std::string sdmNameBeside(const std::string& path);

// The name a merge offers for a result whose name came from `path`: `path` itself when it names
// an SDM, sdmNameBeside(path) when it names a confound file (the result is an SDM either way).
std::string offeredSdmName(const std::string& path);

}  // namespace plugin
