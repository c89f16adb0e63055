// brindle-bids: a BIDS App. From a BIDS dataset and its fMRIPrep derivatives to one checked
// design matrix per run (participant level), and a report of every run (group level).
//
//   brindle-bids BIDS_DIR OUTPUT_DIR participant [--participant_label L...] [--task NAME] ...
//   brindle-bids BIDS_DIR OUTPUT_DIR group
//
// Every design is made and checked by the plug-in's own tasks, run through the Tormel program
// beside this one (else the first on PATH), so the files are those the workstation writes.

#include <CLI/CLI.hpp>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

#include "child_process.h"
#include "contract/contrasts.h"
#include "contract/nearest_name.h"
#include "contract/parameters.h"
#include "dataset.h"
#include "group.h"
#include "output_place.h"
#include "participant.h"
#include "regular_file.h"
#include "stats_model.h"
#include "text_files.h"

namespace fs = std::filesystem;

namespace {

constexpr int exitUsage = 64;

// A command line that cannot be run, found after CLI11 read it.
class UsageProblem : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
constexpr int exitCannotCreate = 73;  // an output that would land in an input

// The limits of the mark: brindle-bids' option (Tormel's too) and the parameter it sets.
constexpr std::pair<const char*, const char*> markLimitOptions[] = {
    {"--amber-vif", contract::parameter::amberVif},
    {"--red-vif", contract::parameter::redVif},
    {"--amber-cost", contract::parameter::amberCost},
    {"--red-cost", contract::parameter::redCost},
    {"--red-scrubbed", contract::parameter::redScrubbed}};

struct CommandLine {
  std::string dataset, output, level, derivatives;
  std::vector<std::string> participants;
  std::string task;
  std::string sliceTimeRef;                             // empty: from the sidecars
  std::string markLimits[std::size(markLimitOptions)];  // empty: not given
  std::string model;                                    // --model FILE or "default"
  bids::ParticipantOptions participant;
};

// Checks an option's text by the rule the plug-in reads its parameter `name` by, so that what
// brindle-bids takes here, the plug-in takes from it as written.
// Checks a contrast definition by the grammar the plug-in reads it by.
const CLI::Validator contrastGrammar(
    [](std::string& text) {
      try {
        contract::parseContrast(text);
        return std::string();
      } catch (const contract::ContrastSyntaxError& error) {
        return std::string(error.what());
      }
    },
    "DEF");

CLI::Validator plugInTakes(const char* name) {
  const contract::ParameterRule& rule = *contract::parameterRule(name);
  return CLI::Validator(
      [&rule](std::string& text) {
        if (contract::parameterTakes(rule, text)) return std::string();
        const std::string problem = contract::termsProblem(rule, text);
        return problem.empty() ? "wants " + contract::parameterWants(rule) : problem;
      },
      contract::parameterWants(rule));
}

// A number in the classic notation, read as the contract reads decimals (so never "nan" or
// "inf"), from `minimum` to `maximum`, which `wants` says in words.
CLI::Validator numberWithin(double minimum, double maximum, const std::string& wants) {
  return CLI::Validator(
      [=](std::string& text) {
        const std::optional<double> value = contract::decimalValue(text);
        return value && *value >= minimum && *value <= maximum ? std::string() : "wants " + wants;
      },
      wants);
}

// The analysis level: "participant" or "group", a mistyped one answered with the nearer.
const CLI::Validator levelWord(
    [](std::string& text) {
      constexpr std::string_view levels[] = {"participant", "group"};
      if (text == levels[0] || text == levels[1]) return std::string();
      return "unknown level " + text +
             contract::suggestion(text, levels, " (the levels are participant and group)");
    },
    "participant|group");

// A label or name that is given: not empty, and without a tab or a line break, which no BIDS
// entity, events column or file name of a dataset holds. `wants` names it ("a task label").
CLI::Validator oneName(const std::string& wants) {
  return CLI::Validator(
      [wants](std::string& text) {
        if (text.empty()) return "wants " + wants + ", without a tab or a line break, not \"\"";
        return contract::oneLineProblem(wants, text);
      },
      "NAME");
}

// A derivatives folder, or none there (then every run is a design only, as the log says first);
// anything else standing there is a mistake.
const CLI::Validator notAFile(
    [](std::string& text) {
      std::error_code error;
      const fs::file_status status = fs::status(text, error);
      if (text.empty() || (fs::exists(status) && !fs::is_directory(status)))
        return "wants a folder, not \"" + text + "\"";
      return std::string();
    },
    "DIR");

// The options of the marks' limits, the model and how the runs run.
void addJudgingOptions(CLI::App& app, CommandLine& line) {
  const char* limitHelp[] = {
      "VIF of a task predictor that marks amber", "VIF of a task predictor that marks red",
      "Confound cost of a contrast that marks amber", "Confound cost of a contrast that marks red",
      "Share of the volumes scrubbed beyond which a run is red"};
  for (std::size_t i = 0; i < std::size(markLimitOptions); ++i) {
    // The default is the plug-in's, as its rule gives it.
    const std::string_view byDefault =
        contract::parameterRule(markLimitOptions[i].second)->defaultText;
    app.add_option(markLimitOptions[i].first, line.markLimits[i],
                   std::string(limitHelp[i]) + " (default " + std::string(byDefault) + ")")
        ->check(plugInTakes(markLimitOptions[i].second));
  }
  app.add_option("--model", line.model,
                 "A BIDS Stats Model (model-*_smdl.json) whose run-level node makes each design "
                 "and names its contrasts, or \"default\": every condition, the confound terms, "
                 "the constant, a t contrast per condition")
      ->check(oneName("a model file or default"));
  app.add_option("-j,--jobs", line.participant.jobs,
                 "Runs at a time (default: the machine's cores)")
      ->check(CLI::Range(1u, 1024u));
  app.add_option("--timeout", line.participant.timeout,
                 "Seconds a Tormel task may take before its run fails")
      ->check(numberWithin(1e-3, 1e7, "a number of seconds from 0.001 to 10000000"))
      ->capture_default_str();
}

void addOptions(CLI::App& app, CommandLine& line) {
  app.add_option("bids_dir", line.dataset, "The BIDS dataset (raw data with its events files)")
      ->required();
  app.add_option("output_dir", line.output, "Where the derivatives and the group report go")
      ->required();
  app.add_option("analysis_level", line.level, "participant: one design per run; group: report")
      ->required()
      ->check(levelWord);
  app.add_option("--participant_label,--participant-label", line.participants,
                 "Only these participants (labels with or without \"sub-\")")
      ->check(oneName("a participant label"));
  app.add_option("--task", line.task, "Only the runs of this task")->check(oneName("a task label"));
  app.add_option("--derivatives", line.derivatives,
                 "The fMRIPrep derivatives (default BIDS_DIR/derivatives/fmriprep; none there: "
                 "design only)")
      ->check(notAFile);
  app.add_option("--confounds", line.participant.confounds, "The confound terms of every design")
      ->check(plugInTakes(contract::parameter::confounds))
      ->capture_default_str();
  app.add_option("--slice-time-ref", line.sliceTimeRef,
                 "Slice-timing reference, a fraction of TR (default StartTime / TR, else 0)")
      ->check(plugInTakes(contract::parameter::sliceReference));
  app.add_option("--hrf", line.participant.hrf, "Haemodynamic response: spm or glover")
      ->check(plugInTakes(contract::parameter::hrf))
      ->capture_default_str();
  app.add_flag("--time-derivatives", line.participant.timeDerivatives,
               "A time derivative after each task predictor");
  app.add_option("--conditions", line.participant.conditions,
                 "Only these conditions (names with * and ?, comma-separated)")
      ->check(plugInTakes(contract::parameter::conditions));
  app.add_option("--condition-column", line.participant.conditionColumn,
                 "The events column that names the conditions (default trial_type)")
      ->check(oneName("an events column"));
  app.add_flag("--design-only", line.participant.designOnly,
               "Check each run's design without confounds, with cosine drifts of a 128 s cut-off "
               "(the default when there is no derivatives folder)");
  app.add_option("--warn", line.participant.warn,
                 "Correlation from which a pair of predictors is flagged")
      ->check(plugInTakes(contract::parameter::threshold))
      ->capture_default_str();
  app.add_option("--contrast", line.participant.contrasts,
                 "A contrast every run's design is judged by, as Tormel's --contrast takes it "
                 "(repeatable); default: each condition its own")
      ->check(contrastGrammar);
  addJudgingOptions(app, line);
}

// The folders as absolute paths; refuses (OutputRefused) an OUTPUT_DIR that is an input.
void placeFolders(const CommandLine& line, bids::ParticipantOptions& options) {
  options.dataset = fs::absolute(line.dataset).lexically_normal();
  options.output = fs::absolute(line.output).lexically_normal();
  options.derivatives = line.derivatives.empty()
                            ? options.dataset / "derivatives" / "fmriprep"
                            : fs::absolute(line.derivatives).lexically_normal();
  bids::checkOutputPlace(options.dataset, options.output, options.derivatives);
}

// Reads --model, refusing (UsageProblem) the options that would say what the model says.
void readModel(const CLI::App& app, CommandLine& line) {
  if (line.model.empty()) return;
  const bool file = line.model != "default";
  for (const char* option :
       {"--conditions", "--contrast", "--confounds", "--hrf", "--time-derivatives"}) {
    const bool modelDecides = file || std::string_view(option) == "--conditions" ||
                              std::string_view(option) == "--contrast";
    if (modelDecides && app.count(option) > 0)
      throw UsageProblem(std::string(option) + " and --model " + (file ? "FILE" : "default") +
                         " exclude each other: the model says it");
  }
  if (!file) {
    line.participant.defaultModel = true;
    return;
  }
  try {
    line.participant.model = bids::readStatsModel(bids::readRegularFile(line.model), line.model);
  } catch (const std::runtime_error& error) {
    throw UsageProblem(std::string("--model: ") + error.what());
  }
}

// A usage error for folders given the wrong way round: BIDS_DIR is no dataset, OUTPUT_DIR is one.
void checkFolderOrder(const CommandLine& line) {
  if (bids::looksLikeDataset(line.participant.dataset) ||
      !bids::looksLikeDataset(line.participant.output))
    return;
  throw UsageProblem("BIDS_DIR " + line.dataset + " is no BIDS dataset but OUTPUT_DIR " +
                     line.output + " is one: did you swap BIDS_DIR and OUTPUT_DIR?");
}

int participantLevel(CommandLine& line) {
  bids::ParticipantOptions& options = line.participant;
  if (!fs::is_directory(options.dataset)) {
    std::cerr << "brindle-bids: " << line.dataset << " is not a folder\n";
    return 1;
  }
  for (const std::string& label : line.participants)
    options.filter.participants.push_back(bids::participantLabel(label));
  if (!line.task.empty()) options.filter.task = line.task;
  if (!line.sliceTimeRef.empty()) options.sliceTimeRef = contract::decimalValue(line.sliceTimeRef);
  for (std::size_t i = 0; i < std::size(markLimitOptions); ++i) {
    if (!line.markLimits[i].empty())
      options.markLimits.emplace_back(markLimitOptions[i].first, line.markLimits[i]);
  }
  options.tormel = bids::findProgram("Tormel");
  if (options.tormel.empty()) {
    std::cerr << "brindle-bids: no Tormel program beside brindle-bids nor on PATH\n";
    return 1;
  }
  bids::checkDescription(options.output);
  try {
    return bids::runParticipant(options, std::cerr);
  } catch (const bids::FilterError& error) {
    std::cerr << "brindle-bids: " << error.what() << "\n";
    return exitUsage;
  }
}

// Answers words CLI11 did not expect: the first that looks like an option is named with the
// nearest option brindle-bids has; other words keep CLI11's own message.
int unknownOption(const CLI::App& app, const CLI::ExtrasError& error) {
  for (const std::string& word : app.remaining()) {
    if (word.size() < 2 || word[0] != '-') continue;
    const std::string option = word.substr(0, word.find('='));
    std::vector<std::string> known;
    for (const CLI::Option* each : app.get_options()) {
      for (const std::string& name : each->get_lnames()) known.push_back("--" + name);
      for (const std::string& name : each->get_snames()) known.push_back("-" + name);
    }
    std::cerr << "brindle-bids: unknown option " << option
              << contract::suggestion(option, known, "")
              << "\nRun with --help for more information.\n";
    return exitUsage;
  }
  app.exit(error);
  return exitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "A BIDS App: one design matrix per run, task predictors from the events files merged with "
      "the fMRIPrep confounds and checked (participant), then a report of every run (group).",
      "brindle-bids"};
  CommandLine line;
  line.participant.jobs = std::max(1u, std::thread::hardware_concurrency());
  addOptions(app, line);
  app.set_version_flag("--version", std::string("brindle-bids (Brindle) ") + BRINDLE_VERSION);
  app.footer(
      "Exit status: 0 when everything succeeded, 1 when a run (or the report) failed, 64 for a "
      "wrong command line or a participant or task the dataset does not have, 73 for an "
      "OUTPUT_DIR that would write into an input.");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ExtrasError& error) {
    return unknownOption(app, error);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? 0 : exitUsage;
  }
  try {
    contract::parseContrasts(line.participant.contrasts);
    readModel(app, line);
  } catch (const contract::ContrastSyntaxError& error) {
    std::cerr << "brindle-bids: --contrast: " << error.what() << "\n";
    return exitUsage;
  } catch (const UsageProblem& error) {
    std::cerr << "brindle-bids: " << error.what() << "\n";
    return exitUsage;
  }
  try {
    placeFolders(line, line.participant);
    if (line.level == "participant") checkFolderOrder(line);
    if (line.level == "group") return bids::runGroup(line.participant.output, std::cerr);
    return participantLevel(line);
  } catch (const UsageProblem& error) {
    std::cerr << "brindle-bids: " << error.what() << "\n";
    return exitUsage;
  } catch (const bids::OutputRefused& error) {
    std::cerr << "brindle-bids: " << error.what() << "\n";
    return exitCannotCreate;
  } catch (const std::exception& error) {
    std::cerr << "brindle-bids: " << error.what() << "\n";
    return 1;
  }
}
