// The group level's reading of the output folder: the files it looks for, and the failure records
// the participant level leaves for the runs it could not make.

#include <algorithm>
#include <nlohmann/json.hpp>
#include <system_error>

#include "entities.h"
#include "group.h"
#include "regular_file.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace bids {

namespace {

constexpr std::string_view recordSuffix = "_desc-brindle_failure.json";

std::string textMember(const json& record, const char* name, const std::string& where) {
  const auto member = record.find(name);
  if (member == record.end() || !member->is_string())
    throw SummaryError(where + ": not a failure record (no \"" + name + "\")");
  return member->get<std::string>();
}

}  // namespace

std::string readOutputFile(const fs::path& file) {
  try {
    return readRegularFile(file);
  } catch (const std::exception& error) {
    throw SummaryError(error.what());
  }
}

std::vector<std::string> filesEndingIn(const fs::path& output, std::string_view suffix) {
  std::vector<std::string> found;
  std::error_code error;
  for (fs::recursive_directory_iterator it(output, error), end; !error && it != end;
       it.increment(error)) {
    const std::string relative = it->path().lexically_relative(output).generic_string();
    if (it.depth() == 0 && !relative.starts_with("sub-")) it.disable_recursion_pending();
    if (relative.starts_with("sub-") && relative.ends_with(suffix) && !it->is_directory(error))
      found.push_back(relative);
  }
  std::sort(found.begin(), found.end());
  return found;
}

FailedRun readFailedRun(const std::string& text, const std::string& relative) {
  const json record = json::parse(text, nullptr, false);
  if (record.is_discarded() || !record.is_object() || record.value("version", json()) != 1)
    throw SummaryError(relative + ": not a failure record of version 1");
  FailedRun run;
  run.label = textMember(record, "run", relative);
  run.bold = textMember(record, "bold", relative);
  run.error = textMember(record, "error", relative);
  if (const auto events = record.find("events"); events != record.end() && events->is_string())
    run.events = events->get<std::string>();
  run.record = relative;
  if (const auto name = parseFileName(fs::path(relative).filename().string())) {
    const std::pair<const char*, std::string*> wanted[] = {
        {"sub", &run.subject}, {"ses", &run.session}, {"task", &run.task}, {"run", &run.run}};
    for (const auto& [entity, target] : wanted)
      if (const std::string* value = name->value(entity)) *target = *value;
  }
  return run;
}

std::vector<FailedRun> readFailedRuns(const fs::path& output) {
  std::vector<FailedRun> runs;
  std::string problems;
  for (const std::string& relative : filesEndingIn(output, recordSuffix)) {
    try {
      runs.push_back(readFailedRun(readOutputFile(output / relative), relative));
    } catch (const SummaryError& problem) {
      problems += std::string(problems.empty() ? "" : "\n") + problem.what();
    }
  }
  if (!problems.empty()) throw SummaryError(problems);
  return runs;
}

}  // namespace bids
