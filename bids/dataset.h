#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "entities.h"

// The runs of a BIDS dataset: every sub-*/[ses-*/]func/*_events.tsv.
namespace bids {

// A problem with one run that stops it and not the others; the text says what and where.
class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Run {
  std::filesystem::path events;  // the events file, under the dataset folder
  FileName name;                 // the events file's name
  std::filesystem::path folder;  // relative to the dataset: sub-01/[ses-1/]func

  // "sub-01 ses-1 task-faces run-1": the entities of the name, for messages.
  std::string label() const;
  // The events file relative to the dataset, with "/" between folders.
  std::string relativeEvents() const;
};

struct RunFilter {
  std::vector<std::string> participants;  // labels without "sub-"; empty: every participant
  std::optional<std::string> task;        // none: every task
};

// The label of a participant as given on the command line: "01" or "sub-01" both give "01".
std::string participantLabel(const std::string& given);

// Every run of the dataset that passes `filter`, in byte order of their relative paths. Events
// files whose name is not a BIDS name, or whose "sub" entity is not their folder's, are left out.
std::vector<Run> findRuns(const std::filesystem::path& dataset, const RunFilter& filter);

// The entries of `folder` (none when it does not exist), in byte order of their names.
std::vector<std::filesystem::directory_entry> sortedEntries(const std::filesystem::path& folder);

}  // namespace bids
