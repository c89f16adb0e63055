#include "participant.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>
#include <set>
#include <system_error>
#include <thread>

#include "child_process.h"
#include "contract/report_files.h"
#include "group.h"
#include "known_names.h"
#include "model_settings.h"
#include "regular_file.h"
#include "run_outputs.h"
#include "run_plan.h"
#include "text_files.h"

namespace fs = std::filesystem;

namespace bids {

namespace {

// How one run went.
struct Outcome {
  bool done = false;
  RunMark mark;  // the result's, from its summary
  std::string failure;
  std::vector<std::string> warnings;  // brindle-bids' own, then the plug-in's from its summaries
  double seconds = 0;
};

// The warnings of the summary the task wrote for the design it saved (the argument after "--save").
void addSummaryWarnings(const std::vector<std::string>& args, const fs::path& folder,
                        Outcome& outcome) {
  const auto save = std::find(args.begin(), args.end(), "--save");
  if (save == args.end() || save + 1 == args.end()) return;
  const std::string summary = contract::summaryPath(*(save + 1));
  for (std::string& warning : summaryWarnings(readRegularFile(folder / summary), summary))
    outcome.warnings.push_back(std::move(warning));
}

// Runs one Tormel task; a non-zero exit status, anything on standard error or running past the
// time limit fails the run. What the task warned about comes from its summary, not its log.
void runTormel(const ParticipantOptions& options, const std::vector<std::string>& args,
               const fs::path& folder, Outcome& outcome) {
  if (args.empty()) return;
  const std::string& task = args.front();
  const ChildResult result = runChild(options.tormel, args, folder, options.timeout);
  if (result.status == 0 && result.err.empty() && !result.timedOut)
    addSummaryWarnings(args, folder, outcome);
  if (result.timedOut)
    throw RunError("Tormel " + task + " timed out after " + shortestText(options.timeout) + " s");
  if (result.status == 0 && result.err.empty()) return;
  std::string said = result.err;
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
  std::replace(said.begin(), said.end(), '\n', ' ');
  throw RunError("Tormel " + task + " exited with status " + std::to_string(result.status) +
                 (said.empty() ? "" : ": " + said));
}

Outcome processRun(const ParticipantOptions& options, const RunPlan& plan) {
  const auto start = std::chrono::steady_clock::now();
  Outcome outcome;
  outcome.warnings = plan.warnings;
  try {
    if (!plan.error.empty()) throw RunError(plan.error);
    std::error_code error;
    fs::create_directories(plan.outputFolder, error);
    if (error) throw RunError("cannot make the folder " + plan.outputFolder.string());
    for (const std::vector<std::string>& args : tormelCommands(options, plan))
      runTormel(options, args, plan.outputFolder, outcome);
    const std::string summary = contract::summaryPath(plan.resultFile());
    outcome.mark = summaryMark(readRegularFile(plan.outputFolder / summary), summary);
    clearFailure(plan);
    outcome.done = true;
  } catch (const std::exception& error) {
    outcome.failure = error.what();
  }
  // Runs sharing their outputs' names write nothing, a record neither.
  if (!outcome.done && !plan.sharesOutputs) {
    try {
      recordFailure(plan, options.dataset, outcome.failure);
    } catch (const std::exception& error) {
      outcome.failure += "; " + std::string(error.what());
    }
  }
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return outcome;
}

// "[3/8] sub-01 task-faces run-2 ok (1.2 s)", or "... red: REASONS (1.2 s)" by the mark of its
// summary, the warnings indented below.
std::string progressLine(std::size_t finished, std::size_t total, const RunPlan& plan,
                         const Outcome& outcome) {
  std::string mark = markName(outcome.mark.mark);
  if (!outcome.mark.reasons.empty()) mark += ": " + joined(outcome.mark.reasons);
  std::string line = "[" + std::to_string(finished) + "/" + std::to_string(total) + "] " +
                     plan.run.label() +
                     (outcome.done ? " " + mark + " (" + fixedText(outcome.seconds, 1) + " s)"
                                   : " FAILED: " + outcome.failure) +
                     "\n";
  for (const std::string& warning : outcome.warnings) line += "    warning: " + warning + "\n";
  return line;
}

// Runs every plan on `options.jobs` threads; each outcome lands in its plan's place.
std::vector<Outcome> processAll(const ParticipantOptions& options,
                                const std::vector<RunPlan>& plans, std::ostream& log) {
  std::vector<Outcome> outcomes(plans.size());
  if (plans.empty()) return outcomes;
  std::atomic<std::size_t> next{0};
  std::size_t finished = 0;
  std::mutex logMutex;
  auto work = [&] {
    for (std::size_t i = next++; i < plans.size(); i = next++) {
      outcomes[i] = processRun(options, plans[i]);
      const std::lock_guard lock(logMutex);
      log << progressLine(++finished, plans.size(), plans[i], outcomes[i]) << std::flush;
    }
  };
  const std::size_t threads = std::clamp<std::size_t>(options.jobs, 1, plans.size());
  std::vector<std::jthread> workers;
  for (std::size_t t = 1; t < threads; ++t) workers.emplace_back(work);
  work();
  return outcomes;
}

std::string listed(const std::set<std::string>& names, const std::string& prefix) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + prefix + name;
  return text.empty() ? "none" : text;
}

// Refuses a participant or a task that the dataset does not have.
void checkFilter(const Dataset& dataset, const RunFilter& filter) {
  const std::set<std::string> participants(dataset.participants().begin(),
                                           dataset.participants().end());
  for (const std::string& label : filter.participants) {
    if (!participants.contains(label))
      throw FilterError("no participant sub-" + label + " in " + dataset.root().string() +
                        " (there are: " + listed(participants, "sub-") + ")");
  }
  std::set<std::string> tasks;
  for (const Run& run : dataset.runs())
    if (const std::string* task = run.name.value("task")) tasks.insert(*task);
  if (filter.task && !tasks.contains(*filter.task))
    throw FilterError("no run of task " + *filter.task + " in " + dataset.root().string() +
                      " (there are: " + listed(tasks, "") + ")");
}

bool selected(const std::string& subject, const RunFilter& filter) {
  return subject.empty() || filter.participants.empty() ||
         std::find(filter.participants.begin(), filter.participants.end(), subject) !=
             filter.participants.end();
}

}  // namespace

namespace {

// The events files of the selected participants and task that apply to none of `runs`: a run
// missing its image, or a name that does not fit, would otherwise go unseen.
std::vector<std::string> unusedEvents(const Dataset& dataset, const RunFilter& filter,
                                      const std::vector<Run>& runs) {
  std::set<fs::path> used;
  for (const Run& run : runs)
    for (const auto& level : dataset.inherited(run, "events", ".tsv"))
      for (const DatasetFile* file : level) used.insert(file->path);
  std::vector<std::string> unused;
  for (const fs::path& folder : dataset.folders()) {
    const std::string first = folder.empty() ? "" : folder.begin()->string();
    if (!first.starts_with("sub-") || !selected(first.substr(4), filter)) continue;
    for (const DatasetFile& file : dataset.filesIn(folder)) {
      const std::string* task = file.name.value("task");
      if (file.name.suffix != "events" || file.name.extension != ".tsv" ||
          used.contains(file.path) || (filter.task && task != nullptr && *task != *filter.task))
        continue;
      unused.push_back((folder / file.path.filename()).generic_string());
    }
  }
  return unused;
}

// Plans the runs; says which are skipped for want of events, task by task, and which events
// files apply to no run. Without a derivatives folder every run is a design only.
std::vector<RunPlan> planAll(const ParticipantOptions& options, const Dataset& dataset,
                             const std::vector<Run>& runs, std::ostream& log) {
  PlanSources sources{options,
                      dataset,
                      {},
                      Derivatives(options.derivatives),
                      TaskConditions(dataset, options.conditionColumn),
                      options.designOnly};
  std::error_code error;
  if (!options.designOnly && !fs::is_directory(options.derivatives, error)) {
    sources.designOnly = true;
    log << "brindle-bids: no derivatives folder " << options.derivatives.string()
        << ": every run's design is checked without confounds (design only)\n";
  }
  std::vector<RunPlan> plans;
  std::map<std::string, std::size_t> withoutEvents;
  for (const Run& run : runs) {
    RunPlan plan = planRun(sources, run);
    if (plan.events || !plan.error.empty()) {
      plans.push_back(std::move(plan));
    } else {
      const std::string* task = run.name.value("task");
      ++withoutEvents[task != nullptr ? "task-" + *task : "no task"];
    }
  }
  for (const auto& [task, count] : withoutEvents)
    log << task << ": " << count << (count == 1 ? " run" : " runs") << " without events, skipped\n";
  for (const std::string& file : unusedEvents(dataset, options.filter, runs))
    log << "brindle-bids: " << file << " applies to no run (no *_bold.nii[.gz] has its entities)\n";
  refuseSharedOutputs(plans);
  return plans;
}

// The last lines: how many runs were done or which failed, and the folders not read.
int finalLines(const std::vector<RunPlan>& plans, const std::vector<Outcome>& outcomes,
               const std::vector<std::string>& problems, std::ostream& log) {
  const auto failed = static_cast<std::size_t>(
      std::count_if(outcomes.begin(), outcomes.end(), [](const Outcome& o) { return !o.done; }));
  if (failed == 0) {
    log << "brindle-bids: " << plans.size() << " of " << plans.size() << " runs done\n";
  } else {
    log << "brindle-bids: " << failed << " of " << plans.size() << " runs failed:\n";
    for (std::size_t i = 0; i < plans.size(); ++i) {
      if (!outcomes[i].done)
        log << "  " << plans[i].run.relativeBold() << ": " << outcomes[i].failure << "\n";
    }
  }
  if (!problems.empty()) {
    log << "brindle-bids: " << problems.size() << (problems.size() == 1 ? " folder" : " folders")
        << " could not be read, the runs in them are not counted:\n";
    for (const std::string& problem : problems) log << "  " << problem << "\n";
  }
  return failed == 0 && problems.empty() ? 0 : 1;
}

// The levels in words: "subject", "subject and dataset".
std::string levelsText(const std::vector<std::string>& levels) {
  std::string text;
  for (std::size_t i = 0; i < levels.size(); ++i)
    text += (i == 0 ? "" : i + 1 == levels.size() ? " and " : ", ") + levels[i];
  return text;
}

// Settles the model (when there is one) on the names of the runs' files, then refuses a contrast
// no run can have.
void settleModel(ParticipantOptions& options, const std::vector<RunPlan>& plans,
                 std::ostream& log) {
  if (!options.model && !options.defaultModel && options.contrasts.empty()) return;
  const KnownNames known = knownNames(plans);
  if (options.defaultModel)
    options.model =
        defaultStatsModel(known, options.confounds, options.hrf, options.timeDerivatives);
  if (options.model) {
    const StatsModel& model = *options.model;
    try {
      const ModelSettings settings = modelSettings(model, known);
      options.conditions = settings.conditions;
      options.modulators = settings.modulators;
      options.confounds = settings.confounds;
      options.hrf = settings.hrf;
      options.timeDerivatives = settings.derivatives;
      options.constant = settings.constant;
      options.contrasts = settings.contrasts;
      if (settings.highPassSeconds) options.highPass = *settings.highPassSeconds;
    } catch (const ModelError& error) {
      throw FilterError("model " + model.name + ": " + error.what());
    }
    if (!model.otherLevels.empty())
      log << "brindle-bids: model " << model.name << ": the " << levelsText(model.otherLevels)
          << (model.otherLevels.size() == 1 ? " node analyses" : " nodes analyse")
          << " the runs' contrasts later; Brindle checks the run-level designs\n";
  }
  checkContrastNames(known, options);
}

}  // namespace

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

int runParticipant(const ParticipantOptions& given, std::ostream& log) {
  ParticipantOptions options = given;
  if (options.model) {
    for (const auto& filter : options.model->input) {
      if (filter.first == "task" && filter.second.size() == 1 && !options.filter.task)
        options.filter.task = filter.second.front();
      else
        options.filter.entities.push_back(filter);
    }
  }
  const Dataset dataset(options.dataset);
  checkFilter(dataset, options.filter);
  std::vector<std::string> problems;
  for (const ScanProblem& problem : dataset.problems()) {
    if (!selected(problem.subject, options.filter)) continue;
    problems.push_back(problem.text);
    log << "brindle-bids: " << problem.text << ": the runs in it are not known\n";
  }
  const std::vector<Run> runs = selectRuns(dataset, options.filter);
  const std::vector<RunPlan> plans = planAll(options, dataset, runs, log);
  settleModel(options, plans, log);
  if (plans.empty() && problems.empty()) {
    log << "brindle-bids: no run with events to work on under " << options.dataset.string()
        << " (sub-*/[ses-*/]func/*_bold.nii[.gz], events by the inheritance principle)\n";
    return 1;
  }
  std::error_code error;
  fs::create_directories(options.output, error);
  writeTextFile(options.output / "dataset_description.json", datasetDescription());
  const std::vector<Outcome> outcomes = processAll(options, plans, log);
  return finalLines(plans, outcomes, problems, log);
}

}  // namespace bids
