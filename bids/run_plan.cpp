#include "run_plan.h"

#include <cmath>
#include <map>

#include "nifti_header.h"
#include "participant.h"
#include "regular_file.h"
#include "run_settings.h"
#include "text_files.h"

namespace fs = std::filesystem;

namespace bids {

namespace {

// A sidecar and an image header this far apart (seconds) are warned about.
constexpr double timeTolerance = 1e-3;

// The header of the run's image, or why it cannot be had.
struct Image {
  std::optional<NiftiHeader> header;
  std::string problem;
};

Image readImage(const Run& run) {
  try {
    return {readNiftiHeader(run.bold), ""};
  } catch (const std::exception& error) {
    return {std::nullopt, error.what()};
  }
}

std::string relativeTo(const fs::path& file, const fs::path& root) {
  return file.lexically_relative(root).generic_string();
}

// The repetition time from the sidecars, else from the image's header; warns when both give one
// and they differ.
void setRepetitionTime(PlanSources& sources, const Image& image, RunPlan& plan) {
  const auto sidecar = repetitionTime(sources.dataset, sources.sidecars, plan.run);
  const NiftiHeader* header = image.header ? &*image.header : nullptr;
  const bool headerTime =
      header != nullptr && header->timeStep > 0 && header->unit != TimeUnit::notTime;
  if (sidecar) {
    plan.repetitionTime = sidecar->value;
    plan.repetitionTimeSource = relativeTo(sidecar->file, sources.dataset.root());
    if (headerTime && std::fabs(header->timeStep - sidecar->value) > timeTolerance)
      plan.warnings.push_back("RepetitionTime " + shortestText(sidecar->value) + " s in " +
                              sidecar->file.string() + ", but " + shortestText(header->timeStep) +
                              " s in the header of " + plan.run.bold.string() +
                              ": the sidecar's is used");
    return;
  }
  const std::string advice = "; give RepetitionTime in a *_bold.json sidecar of the run";
  if (header == nullptr) throw RunError(image.problem + advice);
  if (!headerTime)
    throw RunError(
        "no *_bold.json sidecar of this run holds \"RepetitionTime\" and the header of " +
        plan.run.bold.string() + " gives no time between volumes (pixdim[4])" + advice);
  if (header->unit == TimeUnit::unknown)
    plan.warnings.push_back(plan.run.bold.string() + " gives no time unit: pixdim[4] " +
                            shortestText(header->timeStep) + " taken as seconds");
  plan.repetitionTime = header->timeStep;
  plan.repetitionTimeSource = "image header";
}

// The confounds table; for a design only, the volumes of the image's header.
void setVolumes(PlanSources& sources, const Image& image, RunPlan& plan) {
  if (!sources.designOnly) {
    plan.confounds = confoundsFile(sources.derivatives, plan.run);
    if (plan.confounds) return;
    throw RunError("no confounds file " +
                   expectedConfoundsFile(sources.derivatives, plan.run).string() +
                   " (nor the older *_desc-confounds_regressors.tsv); --design-only checks the "
                   "designs without confounds");
  }
  plan.designOnly = true;
  if (!image.header) throw RunError(image.problem + "; give the real image");
  plan.volumes = static_cast<std::size_t>(image.header->volumes);
}

void setSliceTimeRef(PlanSources& sources, RunPlan& plan) {
  plan.sliceTimeRefSource = "default";
  if (sources.options.sliceTimeRef) {
    plan.sliceTimeRef = *sources.options.sliceTimeRef;
    plan.sliceTimeRefSource = "--slice-time-ref";
  } else if (const auto start = startTime(sources.derivatives, sources.sidecars, plan.run)) {
    plan.sliceTimeRef = start->value / plan.repetitionTime;
    plan.sliceTimeRefSource = relativeTo(start->file, sources.derivatives.root());
  }
}

}  // namespace

std::string RunPlan::outputName(const std::string& desc,
                                const std::string& suffixAndExtension) const {
  return prefix + "_desc-" + desc + "_" + suffixAndExtension;
}

RunPlan planRun(PlanSources& sources, const Run& run) {
  RunPlan plan;
  plan.run = run;
  plan.outputFolder = sources.options.output / run.folder;
  FileName name{inBidsOrder(withoutEntity(run.name.entities, "desc")), "", ""};
  plan.prefix = name.text();
  plan.prefix.pop_back();  // text() ends the entities with "_" before the (empty) suffix
  try {
    plan.events = eventsFile(sources.dataset, run);
    if (!plan.events) return plan;
    if (const std::string why = notRegularFile(*plan.events); !why.empty())
      throw RunError(plan.events->string() + ": " + why);
    const std::string* task = run.name.value("task");
    plan.conditions = sources.conditions.of(task != nullptr ? *task : "");
    const Image image = readImage(run);
    setRepetitionTime(sources, image, plan);
    setVolumes(sources, image, plan);
    setSliceTimeRef(sources, plan);
  } catch (const std::exception& error) {
    plan.error = error.what();
  }
  return plan;
}

void refuseSharedOutputs(std::vector<RunPlan>& plans) {
  std::map<fs::path, std::size_t> first;
  for (std::size_t i = 0; i < plans.size(); ++i) {
    if (!plans[i].events) continue;
    const auto [at, fresh] = first.try_emplace(plans[i].outputFolder / plans[i].prefix, i);
    if (fresh) continue;
    RunPlan& other = plans[at->second];
    const std::string shared = " would write the same files as ";
    if (!other.sharesOutputs)
      other.error = other.run.relativeBold() + shared + plans[i].run.relativeBold();
    plans[i].error = plans[i].run.relativeBold() + shared + other.run.relativeBold();
    other.sharesOutputs = plans[i].sharesOutputs = true;
  }
}

namespace {

// What every report of the run's result asks for: the run's page, the pairs, the contrasts and
// the limits of the mark.
void addResultReport(const ParticipantOptions& options, std::vector<std::string>& args) {
  args.insert(args.end(), {"--html", "--warn", options.warn});
  for (const std::string& contrast : options.contrasts)
    args.insert(args.end(), {"--contrast", contrast});
  for (const auto& [option, text] : options.markLimits) args.insert(args.end(), {option, text});
}

// The merge with the confounds table makes the result: there is one, and terms to take of it.
bool mergesConfounds(const ParticipantOptions& options, const RunPlan& plan) {
  return plan.confounds && !options.confounds.empty();
}

}  // namespace

std::vector<std::string> designArguments(const ParticipantOptions& options, const RunPlan& plan) {
  std::vector<std::string> args{"design", plan.events->string(), "--tr",
                                shortestText(plan.repetitionTime)};
  if (plan.confounds) {
    args.insert(args.end(), {"--volumes-from", plan.confounds->string()});
  } else {
    args.insert(args.end(), {"--volumes", std::to_string(plan.volumes)});
  }
  args.insert(args.end(),
              {"--slice-time-ref", shortestText(plan.sliceTimeRef), "--hrf", options.hrf});
  if (options.timeDerivatives) args.emplace_back("--derivatives");
  if (!options.conditionColumn.empty())
    args.insert(args.end(), {"--condition-column", options.conditionColumn});
  for (const std::string& condition : plan.conditions)
    args.insert(args.end(), {"--condition", condition});
  if (!options.conditions.empty()) args.insert(args.end(), {"--conditions", options.conditions});
  if (plan.designOnly) args.insert(args.end(), {"--high-pass", shortestText(options.highPass)});
  if (!options.modulators.empty()) args.insert(args.end(), {"--modulators", options.modulators});
  // The design's summary says what the events file held (skipped events); without confounds the
  // design is the run's result and gets the whole report.
  args.insert(args.end(), {"--corr", "--json"});
  const bool merged = mergesConfounds(options, plan);
  if (!merged) {
    args.emplace_back("--plot");
    addResultReport(options, args);
  }
  args.insert(args.end(), {"--save", merged ? plan.designFile() : plan.resultFile()});
  return args;
}

std::vector<std::string> checkArguments(const ParticipantOptions& options, const RunPlan& plan) {
  if (!mergesConfounds(options, plan)) return {};
  // The repetition time gives the design picture its seconds.
  std::vector<std::string> args{"mergeall",
                                plan.designFile(),
                                plan.confounds->string(),
                                "--confounds",
                                options.confounds,
                                "--tr",
                                shortestText(plan.repetitionTime)};
  if (options.constant) args.emplace_back("--baseline");
  args.insert(args.end(), {"--corr", "--plot", "--json"});
  // The design picture marks the onsets the design was made of, read again from the events.
  args.insert(args.end(), {"--events-file", plan.events->string()});
  if (!options.conditionColumn.empty())
    args.insert(args.end(), {"--condition-column", options.conditionColumn});
  addResultReport(options, args);
  args.insert(args.end(), {"--save", plan.resultFile()});
  return args;
}

std::vector<std::vector<std::string>> tormelCommands(const ParticipantOptions& options,
                                                     const RunPlan& plan) {
  std::vector<std::vector<std::string>> commands;
  for (auto args : {designArguments(options, plan), checkArguments(options, plan)})
    if (!args.empty()) commands.push_back(std::move(args));
  const std::string settings = runSettings(options, plan, commands);
  commands.back().insert(commands.back().end(), {"--provenance", settings});
  return commands;
}

}  // namespace bids
