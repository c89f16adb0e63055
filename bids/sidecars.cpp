#include "sidecars.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace bids {

namespace {

// One sidecar that applies to the run and holds the value looked for.
struct Found {
  fs::path file;
  std::size_t entities = 0;
  double value = 0;
};

nlohmann::json readJson(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw RunError(file.string() + ": cannot be read");
  try {
    return nlohmann::json::parse(in);
  } catch (const nlohmann::json::exception& error) {
    throw RunError(file.string() + ": not a JSON file (" + error.what() + ")");
  }
}

// The number under `key` of a JSON object; none when the key is missing (or it is no object).
std::optional<double> numberField(const fs::path& file, const nlohmann::json& json,
                                  const char* key) {
  if (!json.is_object() || !json.contains(key)) return std::nullopt;
  const auto& value = json.at(key);
  if (!value.is_number()) throw RunError(file.string() + ": \"" + key + "\" is not a number");
  return value.get<double>();
}

// The folders where a sidecar may apply to the run, nearest first.
std::vector<fs::path> inheritanceFolders(const fs::path& dataset, const Run& run) {
  std::vector<fs::path> folders;
  for (fs::path folder = run.folder; !folder.empty(); folder = folder.parent_path())
    folders.push_back(dataset / folder);
  folders.push_back(dataset);
  return folders;
}

// The applicable bold sidecar of `folder` holding "RepetitionTime" with the most entities.
std::optional<Found> nearestInFolder(const fs::path& folder, const Run& run) {
  std::optional<Found> best;
  for (const auto& entry : sortedEntries(folder)) {
    const auto name = parseFileName(entry.path().filename().string());
    if (!name || name->suffix != "bold" || name->extension != ".json" ||
        !entitiesSubset(name->entities, run.name.entities))
      continue;
    const auto value = numberField(entry.path(), readJson(entry.path()), "RepetitionTime");
    if (!value) continue;
    const Found found{entry.path(), name->entities.size(), *value};
    if (best && best->entities == found.entities && best->value != found.value) {
      throw RunError("the sidecars " + best->file.string() + " and " + found.file.string() +
                     " apply equally and give different RepetitionTime values");
    }
    if (!best || found.entities > best->entities) best = found;
  }
  return best;
}

}  // namespace

double repetitionTime(const fs::path& dataset, const Run& run) {
  for (const fs::path& folder : inheritanceFolders(dataset, run)) {
    const auto found = nearestInFolder(folder, run);
    if (!found) continue;
    if (!(found->value > 0) || found->value > 1e4)
      throw RunError(found->file.string() + ": RepetitionTime is not a number of seconds above 0");
    return found->value;
  }
  throw RunError("no *_bold.json sidecar of this run holds \"RepetitionTime\" (looked in " +
                 (dataset / run.folder).string() + " and the folders above it)");
}

fs::path confoundsFile(const fs::path& derivatives, const Run& run) {
  const fs::path folder = derivatives / run.folder;
  const auto wanted = withoutEntity(run.name.entities, "desc");
  std::optional<fs::path> older;
  for (const auto& entry : sortedEntries(folder)) {
    const auto name = parseFileName(entry.path().filename().string());
    if (!name || name->extension != ".tsv") continue;
    const std::string* desc = name->value("desc");
    if (desc == nullptr || *desc != "confounds" ||
        !sameEntities(withoutEntity(name->entities, "desc"), wanted))
      continue;
    if (name->suffix == "timeseries") return entry.path();
    if (name->suffix == "regressors" && !older) older = entry.path();
  }
  if (older) return *older;
  FileName expected{wanted, "timeseries", ".tsv"};
  expected.entities.push_back({"desc", "confounds"});
  throw RunError("no confounds file " + (folder / expected.text()).string() +
                 " (nor the older *_desc-confounds_regressors.tsv)");
}

std::size_t tableRows(const fs::path& table) {
  std::ifstream in(table, std::ios::binary);
  if (!in) throw RunError(table.string() + ": cannot be read");
  std::string line;
  if (!std::getline(in, line) || line.empty() || line == "\r")
    throw RunError(table.string() + ": no header row");
  std::size_t rows = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line != "\r") ++rows;
  }
  return rows;
}

std::optional<double> startTime(const fs::path& derivatives, const Run& run) {
  const auto wanted = withoutEntity(run.name.entities, "desc");
  for (const auto& entry : sortedEntries(derivatives / run.folder)) {
    const auto name = parseFileName(entry.path().filename().string());
    if (!name || name->suffix != "bold" || name->extension != ".json" ||
        !entitiesSubset(wanted, name->entities))
      continue;
    if (auto value = numberField(entry.path(), readJson(entry.path()), "StartTime")) return value;
  }
  return std::nullopt;
}

}  // namespace bids
