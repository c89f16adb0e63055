#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dataset.h"

// What one run needs from the dataset besides its events: the repetition time from the raw
// sidecars, the confounds table and the slice-timing reference from the preprocessed derivatives.
// Each sidecar is parsed once and each derivatives folder listed once, however many runs ask.
// Not for use by several threads at once.
namespace bids {

// The top-level numbers of JSON sidecars, each file read and parsed once.
class SidecarCache {
 public:
  // The number under `key` in the sidecar `file`; none when the file has no such key. Throws
  // RunError naming the file when it is not a regular file, not a JSON object, or when the value
  // is not a number.
  std::optional<double> number(const std::filesystem::path& file, const std::string& key);

 private:
  struct Parsed {
    std::string error;                                     // why it cannot be used; "" if it can
    std::map<std::string, std::optional<double>> numbers;  // none: there, but not a number
  };
  std::map<std::filesystem::path, Parsed> parsed_;
};

// The files with BIDS names of the derivatives' folders, each folder listed once.
class Derivatives {
 public:
  explicit Derivatives(std::filesystem::path root) : root_(std::move(root)) {}
  const std::filesystem::path& root() const { return root_; }
  // The files directly in `relative`, in byte order; none when it does not exist. Throws
  // RunError when it exists but cannot be read.
  const std::vector<DatasetFile>& filesIn(const std::filesystem::path& relative);

 private:
  std::filesystem::path root_;
  std::map<std::filesystem::path, std::vector<DatasetFile>> files_;
};

// A value and the sidecar it came from.
struct SidecarValue {
  std::filesystem::path file;
  double value = 0;
};

// The repetition time of `run` in seconds by the inheritance principle: of the `*_bold.json`
// files whose entities are a subset of the run's, the nearest one holding "RepetitionTime";
// within one folder the one with the most entities. None when no sidecar holds it. Throws
// RunError when it is not a number above 0, when a sidecar cannot be used, or when two equally
// near ones disagree.
std::optional<SidecarValue> repetitionTime(const Dataset& dataset, SidecarCache& sidecars,
                                           const Run& run);

// The run's confounds table under the derivatives (same relative folder): the
// `*_desc-confounds_timeseries.tsv` with the run's entities, else the older
// `*_desc-confounds_regressors.tsv`; none when there is neither. Throws RunError when the one
// found is not a regular file.
std::optional<std::filesystem::path> confoundsFile(Derivatives& derivatives, const Run& run);

// The expected name of the run's confounds table, for messages.
std::filesystem::path expectedConfoundsFile(const Derivatives& derivatives, const Run& run);

// "StartTime" in seconds from the run's preprocessed BOLD sidecar under the derivatives (the
// first `*_bold.json`, in byte order, whose entities include the run's and that holds it), with
// that sidecar; none when there is no such sidecar. Throws RunError when the value is not a number.
std::optional<SidecarValue> startTime(Derivatives& derivatives, SidecarCache& sidecars,
                                      const Run& run);

}  // namespace bids
