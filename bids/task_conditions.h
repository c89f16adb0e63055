#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dataset.h"

// One condition list per task: every run of a task gets the same task predictors, in the same
// order, so that the columns of its designs line up; a condition absent from a run is a predictor
// of zeros there. Not for use by several threads at once.
namespace bids {

// The values of the condition column `column` in the events file `file`, every one but "n/a" and
// the empty text: the header's cells and each row's, split at tabs, blanks around them dropped.
// `column` "" is trial_type, and a file without that column has the one condition "trial", as
// the plug-in reads it; a file without a column named otherwise has none (its run fails on its
// own). Throws std::runtime_error "FILE: WHY" when the file cannot be read.
std::set<std::string> conditionsIn(const std::filesystem::path& file, const std::string& column);

// The conditions of each task of a dataset, each events file read once.
class TaskConditions {
 public:
  // `column` as conditionsIn takes it.
  TaskConditions(const Dataset& dataset, std::string column);

  // The conditions of every run of `task` ("" for runs without a task entity) in the dataset,
  // whichever participants are selected, in byte order: the union of conditionsIn of the events
  // file of each. A run whose events file cannot be found or read adds none.
  const std::vector<std::string>& of(const std::string& task);

 private:
  const Dataset& dataset_;
  std::string column_;
  std::map<std::string, std::vector<std::string>> tasks_;
  std::map<std::filesystem::path, std::set<std::string>> files_;
};

}  // namespace bids
