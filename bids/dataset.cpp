#include "dataset.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace bids {

namespace {

// The func folders of one subject folder: sub-01/func and sub-01/ses-*/func.
std::vector<fs::path> funcFolders(const fs::path& subject) {
  std::vector<fs::path> folders;
  for (const auto& entry : sortedEntries(subject)) {
    const std::string name = entry.path().filename().string();
    std::error_code error;
    if (!entry.is_directory(error)) continue;
    if (name == "func") folders.push_back(entry.path());
    if (name.starts_with("ses-") && fs::is_directory(entry.path() / "func", error))
      folders.push_back(entry.path() / "func");
  }
  return folders;
}

// The run of one events file, when it belongs to the subject folder it lies in and to the
// session folder (if any).
std::optional<Run> runOf(const fs::path& dataset, const fs::path& file) {
  auto name = parseFileName(file.filename().string());
  if (!name || name->suffix != "events" || name->extension != ".tsv") return std::nullopt;
  const fs::path folder = file.parent_path().lexically_relative(dataset);
  const std::string subjectFolder = folder.begin()->string();
  const std::string* subject = name->value("sub");
  if (subject == nullptr || subjectFolder != "sub-" + *subject) return std::nullopt;
  const std::string* session = name->value("ses");
  const std::string sessionFolder = std::next(folder.begin())->string();
  if ((session == nullptr) != (sessionFolder == "func")) return std::nullopt;
  if (session != nullptr && sessionFolder != "ses-" + *session) return std::nullopt;
  return Run{file, std::move(*name), folder};
}

bool passes(const Run& run, const RunFilter& filter) {
  const std::string* subject = run.name.value("sub");
  if (!filter.participants.empty() &&
      std::find(filter.participants.begin(), filter.participants.end(), *subject) ==
          filter.participants.end())
    return false;
  if (filter.task) {
    const std::string* task = run.name.value("task");
    if (task == nullptr || *task != *filter.task) return false;
  }
  return true;
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

std::string Run::relativeEvents() const { return (folder / events.filename()).generic_string(); }

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

std::vector<Run> findRuns(const fs::path& dataset, const RunFilter& filter) {
  std::vector<Run> runs;
  for (const auto& subject : sortedEntries(dataset)) {
    std::error_code error;
    if (!subject.path().filename().string().starts_with("sub-") || !subject.is_directory(error))
      continue;
    for (const fs::path& func : funcFolders(subject.path())) {
      for (const auto& file : sortedEntries(func)) {
        auto run = runOf(dataset, file.path());
        if (run && file.is_regular_file(error) && passes(*run, filter))
          runs.push_back(std::move(*run));
      }
    }
  }
  std::sort(runs.begin(), runs.end(),
            [](const Run& a, const Run& b) { return a.relativeEvents() < b.relativeEvents(); });
  return runs;
}

}  // namespace bids
