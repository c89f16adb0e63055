#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "entities.h"

// The runs of a BIDS dataset: every sub-*/[ses-*/]func/*_bold.nii[.gz], with the files of the
// folders they inherit from, read once.
namespace bids {

// A problem with one run that stops it and not the others; the text says what and where.
class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Run {
  std::filesystem::path bold;    // the image, under the dataset folder
  FileName name;                 // the image's name
  std::filesystem::path folder;  // relative to the dataset: sub-01/[ses-1/]func

  // "sub-01 ses-1 task-faces run-1": the entities of the name, for messages.
  std::string label() const;
  // The image relative to the dataset, with "/" between folders.
  std::string relativeBold() const;
};

// A file with a BIDS name in one of the folders the scan reads.
struct DatasetFile {
  std::filesystem::path path;
  FileName name;
};

// A folder the scan could not read, or one that is not a folder: the runs under it are unknown.
struct ScanProblem {
  std::string subject;  // its participant's label; "" for the dataset's root
  std::string text;     // "sub-03/func: cannot be read (Permission denied)"
};

struct RunFilter {
  std::vector<std::string> participants;  // labels without "sub-"; empty: every participant
  std::optional<std::string> task;        // none: every task
  // Entities a run must have, each with one of the labels given (as sameEntity compares them):
  // the Input of a model, by entity key ("ses", "run").
  std::vector<std::pair<std::string, std::vector<std::string>>> entities = {};
};

// The label of a participant as given on the command line: "01" or "sub-01" both give "01".
std::string participantLabel(const std::string& given);

// A BIDS dataset as one scan of its root, sub-*, sub-*/ses-* and their func folders found it.
// Nothing is opened but folders; a file is judged by its name alone.
class Dataset {
 public:
  // Scans `root` (absolute). Folders that cannot be read become problems(), never exceptions.
  explicit Dataset(const std::filesystem::path& root);

  const std::filesystem::path& root() const { return root_; }
  // Every run, in byte order of their relative paths: images whose "sub" (and "ses") entity is
  // that of their folders.
  const std::vector<Run>& runs() const { return runs_; }
  const std::vector<ScanProblem>& problems() const { return problems_; }
  // The labels of the sub-* folders, in byte order.
  const std::vector<std::string>& participants() const { return participants_; }
  // The files with a BIDS name directly in `relative` ("" is the root), in byte order.
  const std::vector<DatasetFile>& filesIn(const std::filesystem::path& relative) const;
  // Every folder read, relative ("" is the root), in byte order.
  std::vector<std::filesystem::path> folders() const;

  // By the inheritance principle: the files named `*_SUFFIX.EXTENSION` whose entities are a
  // subset of the run's, level by level from the run's func folder up to the root (nearest
  // first), each level's with the most entities first.
  std::vector<std::vector<const DatasetFile*>> inherited(const Run& run, const std::string& suffix,
                                                         const std::string& extension) const;

 private:
  void scanSubject(const std::filesystem::path& folder, const std::string& label);
  void scanFunc(const std::filesystem::path& folder, const std::string& label);
  bool listFolder(const std::filesystem::path& relative, const std::string& subject,
                  std::vector<std::filesystem::directory_entry>& entries);

  std::filesystem::path root_;
  std::map<std::filesystem::path, std::vector<DatasetFile>> files_;
  std::vector<Run> runs_;
  std::vector<ScanProblem> problems_;
  std::vector<std::string> participants_;
};

// True for a folder that holds dataset_description.json or a sub-* folder: what a BIDS dataset
// (raw or derived) has at its root. False for anything else, a missing folder included.
bool looksLikeDataset(const std::filesystem::path& folder);

// The runs of `dataset` that pass `filter`, in the dataset's order.
std::vector<Run> selectRuns(const Dataset& dataset, const RunFilter& filter);

// The run's events file by the inheritance principle: the nearest `*_events.tsv` whose entities
// are a subset of the run's; none when there is none. Throws RunError naming both when the
// nearest level holds two with as many entities.
std::optional<std::filesystem::path> eventsFile(const Dataset& dataset, const Run& run);

// The entries of `folder` (none when it cannot be read), in byte order of their names.
std::vector<std::filesystem::directory_entry> sortedEntries(const std::filesystem::path& folder);

}  // namespace bids
