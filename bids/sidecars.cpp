#include "sidecars.h"

#include <nlohmann/json.hpp>
#include <string>
#include <system_error>
#include <vector>

#include "base/file_system.h"
#include "contract/limits.h"
#include "regular_file.h"
#include "text_files.h"

namespace fs = std::filesystem;

namespace bids {

namespace {

// The entities a derivative shares with its raw run: all but "desc" (and the image's own).
std::vector<Entity> runEntities(const Run& run) { return withoutEntity(run.name.entities, "desc"); }

}  // namespace

std::optional<double> SidecarCache::number(const fs::path& file, const std::string& key) {
  auto [at, fresh] = parsed_.try_emplace(file);
  Parsed& parsed = at->second;
  if (fresh) {
    try {
      const nlohmann::json json = nlohmann::json::parse(readRegularFile(file), nullptr, false);
      if (json.is_discarded() || !json.is_object()) {
        parsed.error = file.string() + ": not a JSON file (no JSON object)";
      } else {
        // Only the top-level numbers are kept: a sidecar may be large, the run needs two fields.
        for (const auto& [name, value] : json.items())
          parsed.numbers[name] =
              value.is_number() ? std::optional<double>(value.get<double>()) : std::nullopt;
      }
    } catch (const std::exception& error) {
      parsed.error = error.what();
    }
  }
  if (!parsed.error.empty()) throw RunError(parsed.error);
  const auto found = parsed.numbers.find(key);
  if (found == parsed.numbers.end()) return std::nullopt;
  if (!found->second) throw RunError(file.string() + ": \"" + key + "\" is not a number");
  return found->second;
}

const std::vector<DatasetFile>& Derivatives::filesIn(const fs::path& relative) {
  if (const auto known = files_.find(relative); known != files_.end()) return known->second;
  const fs::path folder = root_ / relative;
  std::error_code error;
  fs::directory_iterator check(folder, error);
  if (error && error != std::errc::no_such_file_or_directory)
    throw RunError(folder.string() + ": cannot be read (" + filesys::failureReason(error.value()) +
                   ")");
  std::vector<DatasetFile>& files = files_[relative];
  for (const auto& entry : sortedEntries(folder)) {
    if (auto name = parseFileName(entry.path().filename().string()))
      files.push_back({entry.path(), std::move(*name)});
  }
  return files;
}

std::optional<SidecarValue> repetitionTime(const Dataset& dataset, SidecarCache& sidecars,
                                           const Run& run) {
  for (const auto& level : dataset.inherited(run, "bold", ".json")) {
    std::optional<SidecarValue> best;
    std::size_t bestEntities = 0;
    for (const DatasetFile* file : level) {
      const auto value = sidecars.number(file->path, "RepetitionTime");
      if (!value) continue;
      if (best && bestEntities == file->name.entities.size() && best->value != *value) {
        throw RunError("the sidecars " + best->file.string() + " and " + file->path.string() +
                       " apply equally and give different RepetitionTime values");
      }
      if (!best) {
        best = SidecarValue{file->path, *value};
        bestEntities = file->name.entities.size();
      }
    }
    if (!best) continue;
    if (!(best->value >= contract::minRepetitionTime && best->value <= contract::maxRepetitionTime))
      throw RunError(best->file.string() + ": RepetitionTime " + shortestText(best->value) +
                     " is not a number of seconds from " +
                     shortestText(contract::minRepetitionTime) + " to " +
                     shortestText(contract::maxRepetitionTime));
    return best;
  }
  return std::nullopt;
}

std::optional<fs::path> confoundsFile(Derivatives& derivatives, const Run& run) {
  const auto wanted = runEntities(run);
  std::optional<fs::path> older, found;
  for (const DatasetFile& file : derivatives.filesIn(run.folder)) {
    const std::string* desc = file.name.value("desc");
    if (file.name.extension != ".tsv" || desc == nullptr || *desc != "confounds" ||
        !sameEntities(withoutEntity(file.name.entities, "desc"), wanted))
      continue;
    if (file.name.suffix == "timeseries" && !found) found = file.path;
    if (file.name.suffix == "regressors" && !older) older = file.path;
  }
  if (!found) found = older;
  if (found) {
    if (const std::string why = notRegularFile(*found); !why.empty())
      throw RunError(found->string() + ": " + why);
  }
  return found;
}

fs::path expectedConfoundsFile(const Derivatives& derivatives, const Run& run) {
  FileName expected{runEntities(run), "timeseries", ".tsv"};
  expected.entities.push_back({"desc", "confounds"});
  return derivatives.root() / run.folder / expected.text();
}

std::optional<SidecarValue> startTime(Derivatives& derivatives, SidecarCache& sidecars,
                                      const Run& run) {
  const auto wanted = runEntities(run);
  for (const DatasetFile& file : derivatives.filesIn(run.folder)) {
    if (file.name.suffix != "bold" || file.name.extension != ".json" ||
        !entitiesSubset(wanted, file.name.entities))
      continue;
    if (auto value = sidecars.number(file.path, "StartTime"))
      return SidecarValue{file.path, *value};
  }
  return std::nullopt;
}

}  // namespace bids
