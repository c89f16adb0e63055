#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>

#include "dataset.h"

// What one run needs from the dataset besides its events: the repetition time from the raw
// sidecars, the confounds table and the slice-timing reference from the preprocessed derivatives.
namespace bids {

// The repetition time of `run` in seconds by the inheritance principle: of the `*_bold.json`
// files whose entities are a subset of the run's, the nearest one holding "RepetitionTime" (the
// run's func folder, then the session folder, the subject folder and the dataset's root); within
// one folder the one with the most entities. Throws RunError when none holds it, when it is not
// a number above 0, when a sidecar is not JSON, or when two equally near ones disagree.
double repetitionTime(const std::filesystem::path& dataset, const Run& run);

// The run's confounds table under `derivatives` (same relative folder): the
// `*_desc-confounds_timeseries.tsv` with the run's entities, else the older
// `*_desc-confounds_regressors.tsv`. Throws RunError when there is neither.
std::filesystem::path confoundsFile(const std::filesystem::path& derivatives, const Run& run);

// The data rows of a table with a header row: its non-empty lines after the first. Throws
// RunError when it cannot be read or has no header.
std::size_t tableRows(const std::filesystem::path& table);

// "StartTime" in seconds from the run's preprocessed BOLD sidecar under `derivatives` (the first
// `*_bold.json`, in byte order, whose entities include the run's and that holds it); none when
// there is no such sidecar. Throws RunError when the value is not a number.
std::optional<double> startTime(const std::filesystem::path& derivatives, const Run& run);

}  // namespace bids
