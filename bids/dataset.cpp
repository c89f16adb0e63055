#include "dataset.h"

#include <algorithm>
#include <system_error>

#include "base/file_system.h"

namespace fs = std::filesystem;

namespace bids {

namespace {

const std::vector<DatasetFile> noFiles;

bool isImage(const FileName& name) {
  return name.suffix == "bold" && (name.extension == ".nii" || name.extension == ".nii.gz");
}

// True when the image's "sub" and "ses" entities are those of the folders it lies in.
bool inItsFolders(const FileName& name, const fs::path& folder) {
  const std::string* subject = name.value("sub");
  if (subject == nullptr || folder.begin()->string() != "sub-" + *subject) return false;
  const std::string* session = name.value("ses");
  const std::string sessionFolder = std::next(folder.begin())->string();
  if ((session == nullptr) != (sessionFolder == "func")) return false;
  return session == nullptr || sessionFolder == "ses-" + *session;
}

bool passes(const Run& run, const RunFilter& filter) {
  const std::string& subject = *run.name.value("sub");
  if (!filter.participants.empty() &&
      std::find(filter.participants.begin(), filter.participants.end(), subject) ==
          filter.participants.end())
    return false;
  const std::string* task = run.name.value("task");
  if (filter.task && (task == nullptr || *task != *filter.task)) return false;
  for (const auto& [key, labels] : filter.entities) {
    const std::string* value = run.name.value(key);
    if (value == nullptr ||
        std::none_of(labels.begin(), labels.end(), [&](const std::string& label) {
          return sameEntity({key, *value}, {key, label});
        }))
      return false;
  }
  return true;
}

// The folder's type, links followed; an error text when it cannot be told.
std::string folderProblem(const fs::directory_entry& entry) {
  std::error_code error;
  const fs::file_status status = entry.status(error);
  if (error) return "cannot be read (" + filesys::failureReason(error.value()) + ")";
  return fs::is_directory(status) ? "" : "not a folder";
}

}  // namespace

std::string Run::label() const {
  std::string text;
  for (const Entity& entity : name.entities) {
    if (!text.empty()) text += ' ';
    text += entity.key + "-" + entity.value;
  }
  return text;
}

std::string Run::relativeBold() const { return (folder / bold.filename()).generic_string(); }

std::string participantLabel(const std::string& given) {
  return given.starts_with("sub-") ? given.substr(4) : given;
}

std::vector<fs::directory_entry> sortedEntries(const fs::path& folder) {
  std::vector<fs::directory_entry> entries;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    entries.push_back(*it);
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return a.path().filename().string() < b.path().filename().string();
  });
  return entries;
}

Dataset::Dataset(const fs::path& root) : root_(root) {
  std::vector<fs::directory_entry> entries;
  if (!listFolder("", "", entries)) return;
  for (const auto& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with("sub-")) continue;
    if (const std::string why = folderProblem(entry); !why.empty()) {
      // A file named sub-* that is not a folder is no participant's; a folder that cannot be
      // read may be one.
      if (why != "not a folder") problems_.push_back({name.substr(4), name + ": " + why});
      continue;
    }
    participants_.push_back(name.substr(4));
    scanSubject(name, name.substr(4));
  }
  std::sort(runs_.begin(), runs_.end(),
            [](const Run& a, const Run& b) { return a.relativeBold() < b.relativeBold(); });
}

bool Dataset::listFolder(const fs::path& relative, const std::string& subject,
                         std::vector<fs::directory_entry>& entries) {
  std::error_code error;
  fs::directory_iterator it(root_ / relative, error), end;
  for (; !error && it != end; it.increment(error)) entries.push_back(*it);
  if (error) {
    const std::string where = relative.empty() ? root_.string() : relative.generic_string();
    problems_.push_back(
        {subject, where + ": cannot be read (" + filesys::failureReason(error.value()) + ")"});
    return false;
  }
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return a.path().filename().string() < b.path().filename().string();
  });
  std::vector<DatasetFile>& files = files_[relative];
  for (const auto& entry : entries) {
    if (auto name = parseFileName(entry.path().filename().string()))
      files.push_back({entry.path(), std::move(*name)});
  }
  return true;
}

void Dataset::scanSubject(const fs::path& folder, const std::string& label) {
  std::vector<fs::directory_entry> entries;
  if (!listFolder(folder, label, entries)) return;
  for (const auto& entry : entries) {
    const std::string name = entry.path().filename().string();
    const bool session = name.starts_with("ses-");
    if (name != "func" && !session) continue;
    if (const std::string why = folderProblem(entry); !why.empty()) {
      problems_.push_back({label, (folder / name).generic_string() + ": " + why});
      continue;
    }
    if (!session) {
      scanFunc(folder / name, label);
      continue;
    }
    std::vector<fs::directory_entry> inSession;
    if (!listFolder(folder / name, label, inSession)) continue;
    for (const auto& sub : inSession) {
      if (sub.path().filename() != "func") continue;
      if (const std::string why = folderProblem(sub); !why.empty())
        problems_.push_back({label, (folder / name / "func").generic_string() + ": " + why});
      else
        scanFunc(folder / name / "func", label);
    }
  }
}

void Dataset::scanFunc(const fs::path& folder, const std::string& label) {
  std::vector<fs::directory_entry> entries;
  if (!listFolder(folder, label, entries)) return;
  for (const DatasetFile& file : files_[folder]) {
    if (isImage(file.name) && inItsFolders(file.name, folder))
      runs_.push_back({file.path, file.name, folder});
  }
}

const std::vector<DatasetFile>& Dataset::filesIn(const fs::path& relative) const {
  const auto found = files_.find(relative);
  return found == files_.end() ? noFiles : found->second;
}

std::vector<fs::path> Dataset::folders() const {
  std::vector<fs::path> found;
  for (const auto& [folder, files] : files_) found.push_back(folder);
  return found;
}

std::vector<std::vector<const DatasetFile*>> Dataset::inherited(
    const Run& run, const std::string& suffix, const std::string& extension) const {
  std::vector<fs::path> levels;
  for (fs::path folder = run.folder; !folder.empty(); folder = folder.parent_path())
    levels.push_back(folder);
  levels.emplace_back();
  std::vector<std::vector<const DatasetFile*>> found;
  for (const fs::path& level : levels) {
    std::vector<const DatasetFile*>& here = found.emplace_back();
    for (const DatasetFile& file : filesIn(level)) {
      if (file.name.suffix == suffix && file.name.extension == extension &&
          entitiesSubset(file.name.entities, run.name.entities))
        here.push_back(&file);
    }
    std::stable_sort(here.begin(), here.end(), [](const DatasetFile* a, const DatasetFile* b) {
      return a->name.entities.size() > b->name.entities.size();
    });
  }
  return found;
}

bool looksLikeDataset(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) return false;
  return fs::exists(folder / "dataset_description.json", error) ||
         !Dataset(folder).participants().empty();
}

std::vector<Run> selectRuns(const Dataset& dataset, const RunFilter& filter) {
  std::vector<Run> runs;
  for (const Run& run : dataset.runs())
    if (passes(run, filter)) runs.push_back(run);
  return runs;
}

std::optional<fs::path> eventsFile(const Dataset& dataset, const Run& run) {
  for (const auto& level : dataset.inherited(run, "events", ".tsv")) {
    if (level.empty()) continue;
    if (level.size() > 1 && level[0]->name.entities.size() == level[1]->name.entities.size()) {
      throw RunError("the events files " + level[0]->path.string() + " and " +
                     level[1]->path.string() + " apply equally to this run");
    }
    return level[0]->path;
  }
  return std::nullopt;
}

}  // namespace bids
