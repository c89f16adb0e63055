#include "participant.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>
#include <system_error>
#include <thread>

#include "child_process.h"
#include "sidecars.h"
#include "text_files.h"

namespace fs = std::filesystem;

namespace bids {

namespace {

// How one run went.
struct Outcome {
  bool done = false;
  std::string failure;
  std::vector<std::string> warnings;  // the plug-in's warnings, from its log
  double seconds = 0;
};

// The warning lines of the plug-in's log ("Brindle>  Warning: ..."), without the prefix.
void collectWarnings(const std::string& log, std::vector<std::string>& warnings) {
  constexpr std::string_view prefix = "Brindle>  Warning: ";
  std::size_t start = 0;
  while (start < log.size()) {
    const std::size_t end = std::min(log.find('\n', start), log.size());
    std::string_view line(log.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with(prefix)) warnings.emplace_back(line.substr(prefix.size()));
    start = end + 1;
  }
}

// Runs one Tormel task; a non-zero exit status or anything on standard error fails the run.
void runTormel(const ParticipantOptions& options, const std::string& task,
               const std::vector<std::string>& args, const fs::path& folder, Outcome& outcome) {
  const ChildResult result = runChild(options.tormel, args, folder);
  collectWarnings(result.out, outcome.warnings);
  if (result.status == 0 && result.err.empty()) return;
  std::string said = result.err;
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
  std::replace(said.begin(), said.end(), '\n', ' ');
  throw RunError("Tormel " + task + " exited with status " + std::to_string(result.status) +
                 (said.empty() ? "" : ": " + said));
}

Outcome processRun(const ParticipantOptions& options, const Run& run) {
  const auto start = std::chrono::steady_clock::now();
  Outcome outcome;
  try {
    const RunPlan plan = planRun(options, run);
    std::error_code error;
    fs::create_directories(plan.outputFolder, error);
    if (error) throw RunError("cannot make the folder " + plan.outputFolder.string());
    runTormel(options, "design", designArguments(options, run, plan), plan.outputFolder, outcome);
    runTormel(options, "mergeall", mergeArguments(options, plan), plan.outputFolder, outcome);
    outcome.done = true;
  } catch (const std::exception& error) {
    outcome.failure = error.what();
  }
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return outcome;
}

// "[3/8] sub-01 task-faces run-2 ok (1.2 s)", the warnings indented below.
std::string progressLine(std::size_t finished, std::size_t total, const Run& run,
                         const Outcome& outcome) {
  std::string line = "[" + std::to_string(finished) + "/" + std::to_string(total) + "] " +
                     run.label() +
                     (outcome.done ? " ok (" + fixedText(outcome.seconds, 1) + " s)"
                                   : " FAILED: " + outcome.failure) +
                     "\n";
  for (const std::string& warning : outcome.warnings) line += "    warning: " + warning + "\n";
  return line;
}

// Runs every run on `options.jobs` threads; each outcome lands in its run's place.
std::vector<Outcome> processAll(const ParticipantOptions& options, const std::vector<Run>& runs,
                                std::ostream& log) {
  std::vector<Outcome> outcomes(runs.size());
  std::atomic<std::size_t> next{0};
  std::size_t finished = 0;
  std::mutex logMutex;
  auto work = [&] {
    for (std::size_t i = next++; i < runs.size(); i = next++) {
      outcomes[i] = processRun(options, runs[i]);
      const std::lock_guard lock(logMutex);
      log << progressLine(++finished, runs.size(), runs[i], outcomes[i]) << std::flush;
    }
  };
  const std::size_t threads = std::clamp<std::size_t>(options.jobs, 1, runs.size());
  std::vector<std::jthread> workers;
  for (std::size_t t = 1; t < threads; ++t) workers.emplace_back(work);
  work();
  return outcomes;
}

}  // namespace

std::string outputName(const Run& run, const std::string& desc,
                       const std::string& suffixAndExtension) {
  // text() puts the extension right after the suffix, so the two may stay one string here.
  FileName name{withoutEntity(run.name.entities, "desc"), suffixAndExtension, ""};
  name.entities.push_back({"desc", desc});
  return name.text();
}

RunPlan planRun(const ParticipantOptions& options, const Run& run) {
  RunPlan plan;
  plan.repetitionTime = repetitionTime(options.dataset, run);
  plan.confounds = confoundsFile(options.derivatives, run);
  plan.volumes = tableRows(plan.confounds);
  if (plan.volumes == 0) throw RunError(plan.confounds.string() + ": no data rows");
  if (options.sliceTimeRef) {
    plan.sliceTimeRef = *options.sliceTimeRef;
  } else if (const auto start = startTime(options.derivatives, run)) {
    plan.sliceTimeRef = *start / plan.repetitionTime;
  }
  plan.outputFolder = options.output / run.folder;
  plan.designFile = outputName(run, "events", "design.sdm");
  plan.resultFile = outputName(run, "brindle", "design.sdm");
  return plan;
}

std::vector<std::string> designArguments(const ParticipantOptions& options, const Run& run,
                                         const RunPlan& plan) {
  std::vector<std::string> args{"design",
                                run.events.string(),
                                "--tr",
                                shortestText(plan.repetitionTime),
                                "--volumes",
                                std::to_string(plan.volumes),
                                "--slice-time-ref",
                                shortestText(plan.sliceTimeRef),
                                "--hrf",
                                options.hrf};
  if (options.timeDerivatives) args.emplace_back("--derivatives");
  if (!options.conditions.empty()) {
    args.emplace_back("--conditions");
    args.push_back(options.conditions);
  }
  args.emplace_back("--save");
  args.push_back(plan.designFile);
  return args;
}

std::vector<std::string> mergeArguments(const ParticipantOptions& options, const RunPlan& plan) {
  return {"mergeall",     plan.designFile,   plan.confounds.string(),
          "--confounds",  options.confounds, "--baseline",
          "--corr",       "--plot",          "--json",
          "--warn",       options.warn,      "--save",
          plan.resultFile};
}

std::string datasetDescription() {
  nlohmann::ordered_json description = {
      {"Name", "Brindle design matrices"},
      {"BIDSVersion", "1.9.0"},
      {"DatasetType", "derivative"},
      {"GeneratedBy",
       {{{"Name", "Brindle"},
         {"Version", BRINDLE_VERSION},
         {"Description",
          "Task predictors from the events files merged with the preprocessing confounds, one "
          "checked design matrix (SDM) per run"}}}}};
  return description.dump(2) + "\n";
}

int runParticipant(const ParticipantOptions& options, std::ostream& log) {
  const std::vector<Run> runs = findRuns(options.dataset, options.filter);
  if (runs.empty()) {
    log << "brindle-bids: no events files to work on under " << options.dataset.string()
        << " (sub-*/[ses-*/]func/*_events.tsv)\n";
    return 1;
  }
  std::error_code error;
  fs::create_directories(options.output, error);
  writeTextFile(options.output / "dataset_description.json", datasetDescription());
  const std::vector<Outcome> outcomes = processAll(options, runs, log);
  const auto failed = static_cast<std::size_t>(
      std::count_if(outcomes.begin(), outcomes.end(), [](const Outcome& o) { return !o.done; }));
  if (failed == 0) {
    log << "brindle-bids: " << runs.size() << " of " << runs.size() << " runs done\n";
    return 0;
  }
  log << "brindle-bids: " << failed << " of " << runs.size() << " runs failed:\n";
  for (std::size_t i = 0; i < runs.size(); ++i) {
    if (!outcomes[i].done)
      log << "  " << runs[i].relativeEvents() << ": " << outcomes[i].failure << "\n";
  }
  return 1;
}

}  // namespace bids
