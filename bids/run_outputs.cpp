#include "run_outputs.h"

#include <nlohmann/json.hpp>
#include <system_error>

#include "text_files.h"

namespace fs = std::filesystem;

namespace bids {

namespace {

std::string relativeTo(const fs::path& file, const fs::path& dataset) {
  return file.lexically_relative(dataset).generic_string();
}

void removeQuietly(const fs::path& file) {
  std::error_code ignored;
  if (fs::is_regular_file(fs::symlink_status(file, ignored))) fs::remove(file, ignored);
}

}  // namespace

std::vector<std::string> runOutputNames(const RunPlan& plan) {
  // The report files are named after the design as the plug-in names a report beside its SDM.
  return {plan.designFile(),
          plan.outputName("events", "design.csv"),
          plan.outputName("events", "design.json"),
          plan.resultFile(),
          plan.outputName("brindle", "design.csv"),
          plan.outputName("brindle", "design.svg"),
          plan.outputName("brindle", "design_design.svg"),
          plan.outputName("brindle", "design.json"),
          plan.outputName("brindle", "design.html")};
}

std::string failureRecordName(const RunPlan& plan) {
  return plan.outputName("brindle", "failure.json");
}

std::string failureRecord(const RunPlan& plan, const fs::path& dataset, const std::string& error) {
  const nlohmann::ordered_json record = {
      {"version", 1},
      {"run", plan.run.label()},
      {"bold", relativeTo(plan.run.bold, dataset)},
      {"events", plan.events ? nlohmann::ordered_json(relativeTo(*plan.events, dataset)) : nullptr},
      {"error", error}};
  // File names need not be UTF-8: a byte that is not shows as U+FFFD rather than failing.
  return record.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

void recordFailure(const RunPlan& plan, const fs::path& dataset, const std::string& error) {
  for (const std::string& name : runOutputNames(plan)) removeQuietly(plan.outputFolder / name);
  std::error_code ignored;
  fs::create_directories(plan.outputFolder, ignored);
  writeTextFile(plan.outputFolder / failureRecordName(plan), failureRecord(plan, dataset, error));
}

void clearFailure(const RunPlan& plan) {
  removeQuietly(plan.outputFolder / failureRecordName(plan));
  if (plan.confounds) return;
  for (const char* tail : {"design.sdm", "design.csv", "design.json"})
    removeQuietly(plan.outputFolder / plan.outputName("events", tail));
}

}  // namespace bids
