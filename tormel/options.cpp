#include "options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

#include "contract/contrasts.h"
#include "contract/nearest_name.h"
#include "contract/parameters.h"
#include "contract/threshold.h"

namespace tormel {

namespace {

// Options that only set a dialog parameter. `value` null: the option takes the text as its
// argument. New plug-in options belong here (a switch, or an option with a value).
struct ParameterOption {
  std::string_view option;
  const char* parameter;
  const char* value;
};

namespace name = contract::parameter;

constexpr ParameterOption parameterOptions[] = {
    {"--task", name::task, nullptr},
    {"--ztrans", name::zTransform, "1"},
    {"--baseline", name::constant, "1"},
    {"--corr", name::reports, "1"},
    {"--plot", name::plots, "1"},
    {"--warn", name::threshold, nullptr},
    {"--report-into", name::reportFolder, nullptr},
    {"--confounds", name::confounds, nullptr},
    {"--json", name::summary, "1"},
    {"--html", name::runPage, "1"},
    {"--strict", name::strict, "1"},
    {"--tr", name::repetitionTime, nullptr},
    {"--volumes", name::volumes, nullptr},
    {"--volumes-from", name::volumesFrom, nullptr},
    {"--hrf", name::hrf, nullptr},
    {"--derivatives", name::derivatives, "1"},
    {"--slice-time-ref", name::sliceReference, nullptr},
    {"--conditions", name::conditions, nullptr},
    {"--modulators", name::modulators, nullptr},
    {"--amber-vif", name::amberVif, nullptr},
    {"--red-vif", name::redVif, nullptr},
    {"--amber-cost", name::amberCost, nullptr},
    {"--red-cost", name::redCost, nullptr},
    {"--red-scrubbed", name::redScrubbed, nullptr},
    {"--high-pass", name::highPass, nullptr},
    {"--condition-column", name::conditionColumn, nullptr},
    {"--provenance", name::provenance, nullptr},
    {"--events-file", name::eventsFile, nullptr},
};

// Options that add a line to a list parameter each time they are given.
constexpr ParameterOption listOptions[] = {
    {"--condition", name::conditionList, nullptr},
};

// One change of the parameters, applied after the task word's in command-line order.
struct Edit {
  bool append;  // --add: a new line of a list; otherwise the whole text
  std::string name;
  std::string text;
  std::string option;  // the option that made it
};

// Refuses the value `text` of `option` for a parameter whose text the plug-in could not use: the
// same rule the plug-in reads it by.
void checkValue(const std::string& option, const char* parameter, const std::string& text) {
  const contract::ParameterRule* rule = contract::parameterRule(parameter);
  if (rule == nullptr || contract::parameterTakes(*rule, text)) return;
  if (const std::string problem = contract::termsProblem(*rule, text); !problem.empty())
    throw UsageError(option + ": " + problem);
  throw UsageError(option + " wants " + contract::parameterWants(*rule) + ", not \"" + text + "\"");
}

// Refuses what the plug-in would take but could not use: an empty table to count volumes in, and
// a column name that no events file can hold (its lines are split at tabs and line breaks).
void checkOptionText(const std::string& option, const std::string& text) {
  if (option == "--volumes-from" && text.empty())
    throw UsageError("--volumes-from needs a file: a confound table or an SDM");
  if (option == "--events-file" && text.empty())
    throw UsageError("--events-file needs a file: the run's events (.tsv)");
  if (option != "--condition-column") return;
  if (const std::string problem = contract::oneLineProblem("one column name", text);
      !problem.empty())
    throw UsageError(option + " " + problem);
}

// A merge and a design draw the heatmap, list the pairs and test the contrasts only beside each
// result's correlation report: without --corr, what asks for them is a mistake. `extras` are
// the options given that only a report reads, in order.
void checkReportExtras(const std::map<std::string, std::string>& parameters,
                       const std::vector<std::string>& extras) {
  const auto word = parameters.find(name::task);
  const auto task = word == parameters.end() ? std::nullopt : contract::taskNamed(word->second);
  if (!task || !contract::reportsWithResults(*task)) return;
  const char* kind = task == contract::Task::design ? "design" : "merge";
  const auto corr = parameters.find(name::reports);
  if (corr != parameters.end() && parseIntParameter(corr->second) != 0) return;
  if (extras.empty()) return;
  const std::string& option = extras.front();
  const char* what = option == "--plot"       ? "the heatmap is drawn beside"
                     : option == "--warn"     ? "the pairs are listed with"
                     : option == "--json"     ? "the summary is written beside"
                     : option == "--html"     ? "the run's page is written beside"
                     : option == "--contrast" ? "the contrasts are tested with"
                     : option == "--events-file"
                         ? "the onsets are marked in the design picture beside"
                         : "the mark is given in the summary beside";
  throw UsageError(option + " needs --corr in a " + kind + ": " + what +
                   " each result's correlation report");
}

// A design is modelled on its runs' timing: the repetition time and the number of volumes (or a
// table that gives it) must be set.
void checkDesignTiming(const std::map<std::string, std::string>& parameters) {
  const auto task = parameters.find(contract::parameter::task);
  if (task == parameters.end() || task->second != contract::taskWord(contract::Task::design))
    return;
  if (!parameters.contains(contract::parameter::repetitionTime))
    throw UsageError("design needs --tr SECONDS: the repetition time of its runs");
  if (!parameters.contains(contract::parameter::volumes) &&
      !parameters.contains(contract::parameter::volumesFrom))
    throw UsageError("design needs --volumes N or --volumes-from FILE: the volumes of its runs");
}

// Reads all of `text` as a whole number into `value`; false when it is none.
bool parseWholeInt(std::string_view text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// The three numbers of --host-version X.Y.Z.
std::array<int, 3> parseVersion(const std::string& text) {
  std::array<int, 3> numbers{};
  std::string_view rest = text;
  bool ok = true;
  for (std::size_t i = 0; i < numbers.size() && ok; ++i) {
    const bool last = i + 1 == numbers.size();
    const auto dot = rest.find('.');
    if (last != (dot == std::string_view::npos))
      ok = false;
    else
      ok = parseWholeInt(rest.substr(0, dot), numbers[i]);
    if (ok && !last) rest.remove_prefix(dot + 1);
  }
  if (!ok) {
    throw UsageError("--host-version wants three whole numbers like 3.0.0 or 2.8.-1, not \"" +
                     text + "\"");
  }
  return numbers;
}

// The NAME and the TEXT of an option's NAME=TEXT.
std::pair<std::string, std::string> nameAndText(std::string_view option, const std::string& arg) {
  const auto equals = arg.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw UsageError(std::string(option) + " wants NAME=TEXT, not \"" + arg + "\"");
  }
  return {arg.substr(0, equals), arg.substr(equals + 1)};
}

// A dialog's answer of `option`: the path, or none for "cancel"; an empty path is refused.
DialogAnswer dialogAnswer(const std::string& option, const std::string& arg) {
  if (arg.empty()) throw UsageError(option + " needs a path, or cancel");
  if (arg == "cancel") return std::nullopt;
  return arg;
}

// The words from `first` to `last`, one per line.
std::string joinLines(std::vector<std::string>::const_iterator first,
                      std::vector<std::string>::const_iterator last) {
  std::string list;
  for (auto it = first; it != last; ++it) {
    if (it != first) list += '\n';
    list += *it;
  }
  return list;
}

// The task words joined by ", ", the last two by `last` ("open_sdm, ..., convert and design").
std::string taskList(const char* last) {
  const auto words = contract::taskWords();
  std::string list;
  for (std::size_t i = 0; i < words.size(); ++i)
    list += (i == 0 ? "" : i + 1 == words.size() ? last : ", ") + std::string(words[i]);
  return list;
}

// The parameters of a task word and its files; convert's OUT answers the first save dialog.
void applyTaskWord(const std::vector<std::string>& words, HostSetup& host) {
  auto& parameters = host.parameters;
  const std::string& task = words.front();
  const auto files = words.size() - 1;
  const auto filesBegin = words.begin() + 1;
  if (task == "open_sdm") {
    if (files != 0)
      throw UsageError("open_sdm takes no files (answer its dialog with --open PATH)");
  } else if (task == "sdm1corr") {
    if (files != 1) throw UsageError("sdm1corr takes exactly one file: Tormel sdm1corr FILE.sdm");
    parameters[name::primary] = words[1];
  } else if (task == "mergeall") {
    if (files == 0)
      throw UsageError(
          "mergeall wants a primary SDM: Tormel mergeall PRIMARY.sdm SECONDARY.sdm...");
    parameters[name::primary] = words[1];
    // Without secondaries "sdms2" stays unset, which the plug-in reads as an empty list.
    if (files > 1) parameters[name::secondaries] = joinLines(filesBegin + 1, words.end());
  } else if (task == "mergesec") {
    if (files == 0)
      throw UsageError("mergesec wants secondary SDMs: Tormel mergesec S1.sdm S2.sdm...");
    parameters[name::secondaries] = joinLines(filesBegin, words.end());
  } else if (task == "design") {
    if (files == 0)
      throw UsageError("design wants events files: Tormel design EVENTS.tsv... --tr SECONDS");
    parameters[name::events] = joinLines(filesBegin, words.end());
  } else if (task == "convert") {
    if (files != 1 && files != 2)
      throw UsageError("convert takes one file and where to save it: Tormel convert IN [OUT]");
    parameters[name::primary] = words[1];
    if (files == 2) host.saveAnswers.push_front(words[2]);
  } else {
    throw UsageError("unknown task \"" + task + "\"" +
                     contract::suggestion(task, contract::taskWords(),
                                          "; the task words are " + taskList(" and ") +
                                              " (--task NAME sends any other name)"));
  }
  parameters[name::task] = task;
}

// What the command line says besides the options that set Options directly: the task word with
// its files, the parameter edits in order, and the options that later checks look at.
struct CommandLine {
  std::vector<std::string> words;  // the task word and its files
  std::vector<Edit> edits;
  bool saveInto = false;
  bool cancelAll = false;
  std::vector<std::string> reportExtras;  // the options given that only a report reads
};

// One option word being read: its name, the value written after "=" when there was one, and the
// words after it, of which a value may take the next.
class OptionWord {
 public:
  // Reads args[i]; "--save=PATH" is the same as "--save PATH".
  OptionWord(const std::vector<std::string>& args, std::size_t& i) : args_(args), i_(i) {
    const std::string& arg = args[i];
    const auto equals = arg.find('=');
    option_ = arg.substr(0, equals);
    if (equals != std::string::npos) inlineValue_ = arg.substr(equals + 1);
  }
  // The option's name, without any "=VALUE".
  const std::string& option() const { return option_; }
  // The option's value: the text after "=", else the next word, which it then consumes.
  std::string value() const {
    if (inlineValue_) return *inlineValue_;
    if (i_ + 1 >= args_.size()) throw UsageError(option_ + " needs a value");
    return args_[++i_];
  }
  // Refuses a value after "=" for an option that takes none.
  void noValue() const {
    if (inlineValue_) throw UsageError(option_ + " takes no value");
  }

 private:
  const std::vector<std::string>& args_;
  std::size_t& i_;
  std::string option_;
  std::optional<std::string> inlineValue_;
};

// Applies the options about Tormel itself and the host it plays; false for any other option.
bool applyHostOption(const OptionWord& word, Options& options) {
  const std::string& option = word.option();
  if (option == "--help" || option == "-h") {
    word.noValue();
    options.help = true;
  } else if (option == "--version") {
    word.noValue();
    options.version = true;
  } else if (option == "--info") {
    word.noValue();
    options.info = true;
  } else if (option == "--trace") {
    word.noValue();
    options.host.trace = true;
  } else if (option == "--plugin") {
    options.pluginPath = word.value();
    if (options.pluginPath.empty()) throw UsageError("--plugin needs a path");
  } else if (option == "--host-version") {
    options.host.version = parseVersion(word.value());
  } else if (option == "--threads") {
    const std::string text = word.value();
    if (!parseWholeInt(text, options.threads) || options.threads < 1) {
      throw UsageError("--threads wants a whole number of threads, 1 or more, not \"" + text +
                       "\"");
    }
  } else if (option == "--print-param") {
    options.printParameters.push_back(word.value());
    if (options.printParameters.back().empty()) throw UsageError("--print-param needs a name");
  } else {
    return false;
  }
  return true;
}

// Applies the options that answer the file dialogs; false for any other option.
bool applyDialogOption(const OptionWord& word, Options& options, CommandLine& line) {
  const std::string& option = word.option();
  if (option == "--save") {
    options.host.saveAnswers.push_back(dialogAnswer(option, word.value()));
  } else if (option == "--open") {
    options.host.openAnswers.push_back(dialogAnswer(option, word.value()));
  } else if (option == "--save-into") {
    options.host.saveFolder = word.value();
    if (options.host.saveFolder.empty()) throw UsageError("--save-into needs a folder");
    options.host.savePolicy = SavePolicy::intoFolder;
    line.saveInto = true;
  } else if (option == "--cancel-all") {
    word.noValue();
    options.host.savePolicy = SavePolicy::cancel;
    line.cancelAll = true;
  } else {
    return false;
  }
  return true;
}

// The names of the dialog parameters the plug-in reads, in the contract's order.
std::vector<std::string_view> parameterNames() {
  std::vector<std::string_view> names;
  for (const contract::ParameterRule& rule : contract::parameterRules()) names.push_back(rule.name);
  return names;
}

// Records the edits of --set, --add and --int, refusing a name the plug-in does not read; false
// for any other option.
bool applyEditOption(const OptionWord& word, CommandLine& line) {
  const std::string& option = word.option();
  if (option != "--set" && option != "--add" && option != "--int") return false;
  auto [name, text] = nameAndText(option, word.value());
  if (contract::parameterRule(name) == nullptr)
    throw UsageError(option + ": unknown parameter " + name +
                     contract::suggestion(name, parameterNames(), ""));
  int number = 0;
  if (option == "--int" && !parseWholeInt(text, number)) {
    throw UsageError("--int wants a whole number for " + name + ", not \"" + text + "\"");
  }
  line.edits.push_back({option == "--add", std::move(name), std::move(text), option});
  return true;
}

// The options that only a report reads, besides --warn (which only a threshold turns on).
bool readByReportOnly(const std::string& option) {
  for (const char* extra : {"--plot", "--json", "--html", "--contrast", "--amber-vif", "--red-vif",
                            "--amber-cost", "--red-cost", "--red-scrubbed", "--events-file"})
    if (option == extra) return true;
  return false;
}

// Records a line of --contrast DEF, refused unless the plug-in's grammar reads it.
void applyContrastOption(const OptionWord& word, CommandLine& line) {
  std::string definition = word.value();
  try {
    contract::parseContrast(definition);
  } catch (const contract::ContrastSyntaxError& error) {
    throw UsageError("--contrast: " + std::string(error.what()));
  }
  line.edits.push_back({true, name::contrasts, std::move(definition), word.option()});
  line.reportExtras.push_back(word.option());
}

// Records the edit of an option of parameterOptions, or of --contrast; false for any other
// option.
bool applyParameterOption(const OptionWord& word, CommandLine& line) {
  const std::string& option = word.option();
  if (option == "--contrast") {
    applyContrastOption(word, line);
    return true;
  }
  for (const auto& entry : parameterOptions) {
    if (entry.option != option) continue;
    if (entry.value != nullptr) {
      word.noValue();
      line.edits.push_back({false, entry.parameter, entry.value, option});
    } else {
      line.edits.push_back({false, entry.parameter, word.value(), option});
    }
    const std::string& text = line.edits.back().text;
    checkValue(option, entry.parameter, text);
    checkOptionText(option, text);
    if (readByReportOnly(option) ||
        (option == "--warn" && contract::parseCorrelationThreshold(text).on()))
      line.reportExtras.push_back(option);
    return true;
  }
  return false;
}

// Records the edit of an option of listOptions: a new line of its list; false for any other option.
bool applyListOption(const OptionWord& word, CommandLine& line) {
  for (const auto& entry : listOptions) {
    if (entry.option != word.option()) continue;
    std::string text = word.value();
    if (text.empty() || text.find_first_of("\r\n") != std::string::npos)
      throw UsageError(std::string(entry.option) + " wants one name, not \"" + text + "\"");
    line.edits.push_back({true, entry.parameter, std::move(text), std::string(entry.option)});
    return true;
  }
  return false;
}

std::vector<std::string> helpOptions();

// Sorts the words of `args` into options, applied to `options` or recorded in the result, and
// the task word with its files.
CommandLine readCommandLine(const std::vector<std::string>& args, Options& options) {
  CommandLine line;
  bool endOfOptions = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (endOfOptions || arg.size() < 2 || arg[0] != '-') {
      line.words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      endOfOptions = true;
      continue;
    }
    const OptionWord word(args, i);
    if (!applyHostOption(word, options) && !applyDialogOption(word, options, line) &&
        !applyEditOption(word, line) && !applyParameterOption(word, line) &&
        !applyListOption(word, line)) {
      throw UsageError("unknown option \"" + word.option() + "\"" +
                       contract::suggestion(word.option(), helpOptions(), ""));
    }
  }
  return line;
}

// The text --help prints, a section at a time.
constexpr char helpPage[] =
    // Usage and what Tormel does.
    R"HELP(Usage: Tormel TASK [FILE...] [OPTION...]
  or:  Tormel --task NAME [OPTION...]
  or:  Tormel --info | --help | --version

A headless stand-in for the Tormel host. It loads the plug-in library, answers the plug-in's
host calls from the command line, and runs the plug-in once: the metadata calls, createPlugin,
initPlugin, one execute with the dialog parameters given here, then deletes the plug-in object.

)HELP"
    // The task words.
    R"HELP(Tasks (the first word that is not an option; the words after it are its files):
  open_sdm                         task=open_sdm; answer its open dialog with --open
  sdm1corr FILE.sdm                task=sdm1corr, sdm1=FILE.sdm
  mergeall PRIMARY.sdm SECONDARY.sdm...
                                   task=mergeall, sdm1=PRIMARY.sdm,
                                   sdms2=the secondaries, one per line
  mergesec SECONDARY.sdm...        task=mergesec, sdms2=the secondaries, one per line
  convert IN [OUT]                 task=convert, sdm1=IN; OUT answers its save dialog first
                                   (a name ending in .tsv saves a tab-separated table)
  design EVENTS.tsv...             task=design, events=the BIDS events files, one per line:
                                   each file's task predictors saved as an SDM, offered as
                                   NAME_design.sdm for NAME_events.tsv (needs --tr, and
                                   --volumes or --volumes-from)
  Every FILE may also be a confound file of a preprocessing pipeline, told by its name:
  .tsv/.csv tables, FSL .par, SPM rp_*.txt, AFNI .1D and other .txt columns.

)HELP"
    // The options that set dialog parameters.
    R"HELP(Dialog parameters (kept as text; applied after the task word's, in the order given):
  --task NAME          task=NAME (any name, the empty one included)
  --set NAME=TEXT      set a parameter the plug-in reads to TEXT (repeatable; another name is
                       refused with the nearest known one)
  --int NAME=N         set a parameter to the whole number N
  --add NAME=TEXT      append TEXT to NAME as a new line ("\n" between lines); NAME=TEXT when
                       NAME is not set yet
  --ztrans             ztans=1: z-transform the confound predictors of each result
  --baseline           baseline=1: give each result a constant predictor (0: remove it)
  --corr               allcorr=1: write the correlation report of each saved result (each
                       merged SDM, each design)
  --plot               corrplot=1: write a heatmap (.svg) and a picture of the design matrix
                       (_design.svg) beside every correlation report
  --warn THRESHOLD     corrwarn=THRESHOLD: after every report, log the pairs of predictors whose
                       absolute correlation reaches THRESHOLD (above 0, at most 1, such as 0.8),
                       those with a predictor of interest first, each part strongest first, then
                       the variance inflation factors from the red limit on (10; predictors of
                       interest first), the contrasts (see --contrast) and the condition number of
                       all the regressors together
  --json               corrjson=1: write a summary (.json) beside every correlation report
  --html               corrhtml=1: write the run's page (.html) beside every correlation report:
                       settings, mark and reasons, contrasts, pairs with predictors of interest,
                       variance inflation factors, skipped events, repairs, both pictures inline
  --report-into DIR    corrdir=DIR: write every report and heatmap into DIR (which must exist)
                       instead of beside its SDM, under the same file name
  --contrast DEF       contrasts=DEF: a contrast every report tests (repeatable: a line each),
                       NAME = EXPR or EXPR, such as "faces_vs_houses = faces - houses" or
                       "all = [faces, houses]" (an F contrast); a predictor name with blanks or
                       + - * = , [ ] in double quotes. After every report the log says
                       "Contrast NAME: efficiency E, confounds cost xC", or warns that NAME
                       cannot be estimated, with or without --warn; a name that is no predictor
                       of the design (or is its constant) fails the task. Without it every
                       predictor of interest is its own contrast, logged with --warn
  --amber-vif X        ambervif=X: the variance inflation factor of a predictor of interest that
                       marks its design amber in the summary (default 5; 1 to 1000000)
  --red-vif X          redvif=X: ... red (default 10); --warn lists the factors from it on
  --amber-cost X       ambercost=X: the confound cost of a contrast that marks amber (default 1.5)
  --red-cost X         redcost=X: ... red (default 2)
  --red-scrubbed S     redscrubbed=S: more than this share of the volumes scrubbed marks red
                       (default 0.2)
  --events-file FILE   eventsfile=FILE: in a merge, the run's events file (read by its
                       --condition-column): the design picture marks each condition's onsets
                       on the predictors of interest named CONDITION, CONDITION_derivative or
                       CONDITION_x_COLUMN; a file that cannot be read is warned about
  In a merge or a design --plot, --warn, --json, --contrast, --events-file and the limits of the
  mark need --corr (set allcorr with --set to send them without it).
  --confounds TERMS    confounds=TERMS: the columns taken from every confound file, such as
                       "motion24,wm_csf" (presets motion6, motion12, motion24, wm_csf, global,
                       compcor5, cosine, outliers, scrub or scrub:FD:DVARS; column names with
                       * and ?); default motion6
                       when a file has those columns, else every column; a term of at most 256
                       bytes, and no "motion" or "compcor" with a number that names no preset
  --strict             strict=1: refuse any SDM that the reader had to repair (missing or
                       unreadable data points, missing names) or that holds inf or nan values,
                       instead of warning about it
  --tr SECONDS         tr=SECONDS: the repetition time of the design's runs, such as 2 or 0.8
  --volumes N          volumes=N: the number of volumes of each run of the design
  --volumes-from FILE  volumesfrom=FILE: without --volumes, as many volumes as FILE (a confound
                       table or an SDM) has data points, counted as a merge reads it
  --hrf spm|glover     hrf=MODEL: the haemodynamic response of the design (default spm)
  --derivatives        derivatives=1: each condition of the design followed by its time
                       derivative
  --slice-time-ref S   sliceref=S: when in its TR a volume is taken, as a fraction of the TR
                       from 0 (its start, the default) to 1
  --conditions TERMS   conditions=TERMS: the conditions the design models, such as "go,stop*"
                       (names with * and ?); default every condition
  --modulators TERMS   modulators=TERMS: events columns that modulate every condition, such as
                       "rt" or "rt:demean,rating:scale": each makes, after each condition (and
                       its derivative), the predictor CONDITION_x_COLUMN of the condition's rows
                       that have a number in COLUMN, that number their amplitude; :demean takes
                       it about its mean over the condition's events, :scale in standard
                       deviations about it
  --condition NAME     adds NAME as a line of conditionlist (repeatable): the design models
                       exactly these conditions, in this order, a condition its events file
                       lacks as a predictor of zeros (--conditions then chooses among them)
  --condition-column NAME
                       conditioncolumn=NAME: the events column that names the conditions
                       (default trial_type; a file without the column named is refused)
  --high-pass SECONDS  highpass=SECONDS: the design gets the cosine drifts of this cut-off
                       (floor(2 x volumes x TR / SECONDS) - 1 columns cosine00...) and the
                       constant; 0, the default, adds neither
  --provenance JSON    provenance=JSON: one JSON object that each summary (--json) keeps as
                       its "settings"
  A parameter that is not set reads as the empty text, or as 0 when read as a number; a text
  that is not a whole number (blanks around it are fine) reads as 0.

)HELP"
    // The answers to the file dialogs.
    R"HELP(File dialogs:
  --save PATH          answer the next save dialog with PATH (repeatable: answered in order;
                       write ./cancel for a file named "cancel")
  --save cancel        cancel the next save dialog
  When no --save answer is left, a save dialog is answered
                       with the path it offers (as a user who presses Save), or
  --save-into DIR      with the file name it offers, put into DIR, or
  --cancel-all         cancelled.
  --open PATH          answer the open dialog with PATH (repeatable: answered in order)
  --open cancel        cancel the open dialog; with no --open answer left it is cancelled too
                       (a cancelled dialog writes nothing into the plug-in's buffer)

)HELP"
    // The paths Tormel refuses to save to, and those the plug-in refuses.
    R"HELP(A path that Tormel chooses itself (the offered one, or one in the --save-into folder) is never
one of the task's input files, nor a file that an earlier result of the same run was saved to
(the same file under any name: links are seen through). That dialog is cancelled with
"Tormel: not saving PATH: it is an input of this task" (or "...: an earlier result of this run
was saved there") on standard error, the other results are saved, and the exit status is 73.
A --save PATH answer (and convert's OUT) is passed on as given, and the plug-in itself refuses
to write any output over one of the task's inputs or a file the task wrote before, and a table's
sidecar over a summary file: it logs "Cannot Create file: PATH (it is an input of this task)",
goes on with its other results, and Tormel says "Tormel: refused by the plug-in: ..." on
standard error and exits with 73.

)HELP"
    // The host's own options.
    R"HELP(Host and output:
  --plugin PATH        the plug-in library (default: libbrindle.so beside this program, else
                       ../lib/brindle/libbrindle.so from this program's folder, as installed;
                       brindle.dll on Windows)
  --host-version X.Y.Z the version the host reports (default 3.0.0; signed numbers, e.g. 2.8.-1)
  --info               print the plug-in's six metadata texts and exit; creates no plug-in object
  --print-param NAME   after execute, print "[param] NAME=VALUE" on standard error
                       ("[param] NAME (not set)" when it was never set)
  --trace              print every host call on standard error as "[host] name(arg | arg)",
                       the file dialogs with their answer: "... -> PATH" or "... -> cancel";
                       line breaks in arguments show as \n; lifecycle steps as "[plugin] ..."
  --threads N          run the plug-in's parallel steps (the correlations, the diagnostics, the
                       reading of data lines) on N threads, but on no more than the cores this
                       process may run on, by setting BRINDLE_THREADS=N for it; the results are
                       the same for every N (default: BRINDLE_THREADS from the environment when
                       it is a whole number of 1 or more, else every core this process may run
                       on)
  --help               print this text and exit
  --version            print the version of Tormel and of the plug-in it loads, and exit
  --                   every later word is a file, even when it starts with "-"

)HELP"
    // Where the output goes.
    R"HELP(Standard output gets the plug-in's log text exactly as the plug-in sent it (each message starts
with a line feed) and, once the plug-in object has been created, initialised and deleted, one
final line feed. Standard error gets each message box as one line "[message] TEXT" and the
host's own complaints as "Tormel: ...". A parameter or answer given here that does not fit the
plug-in's buffer (4095 bytes; lists such as "sdms2" and "events", and "provenance", 65535) is a
usage error. A dialog answer made by Tormel itself that does not fit (in a long --save-into
folder) cancels that dialog with a complaint.

)HELP"
    // The exit status.
    R"HELP(Exit status:
  0   execute returned true and no message box was shown
  1   execute returned false, or a message box was shown
  2   the plug-in could not be loaded (or lacks an export), or initPlugin returned false
  64  wrong command line
  73  the task ran, but an output was not written to protect an input or an earlier result,
      refused by Tormel or by the plug-in (only when the status would otherwise be 0)

)HELP"
    // Examples.
    R"HELP(Examples:
  Tormel --info
  Tormel open_sdm --open data/run1.sdm --print-param sdmfile
  Tormel sdm1corr data/run1.sdm
  Tormel mergeall main.sdm motion_run1.sdm motion_run2.sdm --baseline --ztrans --corr --save-into out/
  Tormel mergesec run1.sdm run2.sdm run3.sdm --save out/runs.sdm
  Tormel mergeall main.sdm run1_desc-confounds_timeseries.tsv --confounds motion24,wm_csf
  Tormel convert run1_desc-confounds_timeseries.tsv out/run1.sdm --confounds "motion6,cosine"
  Tormel design run1_events.tsv run2_events.tsv --tr 2 --volumes 180 --hrf glover --derivatives
  Tormel --task mergesec --add sdms2=run1.sdm --add sdms2=run2.sdm --save cancel --trace
)HELP";

// The long options the help text names ("--warn"), in the order it first names them.
std::vector<std::string> helpOptions() {
  std::vector<std::string> options;
  const std::string_view page = helpPage;
  for (std::size_t at = page.find("--"); at != std::string_view::npos; at = page.find("--", at)) {
    std::size_t end = at + 2;
    while (end < page.size() && ((page[end] >= 'a' && page[end] <= 'z') || page[end] == '-')) ++end;
    const std::string option(page.substr(at, end - at));
    if (option.size() > 2 && option[2] != '-' &&
        std::find(options.begin(), options.end(), option) == options.end())
      options.push_back(option);
    at = end;
  }
  return options;
}

}  // namespace

// Refuses a parameter, or a dialog answer, longer than the buffer the plug-in reads it with, naming
// what set it: the plug-in would read it as empty and go on.
void checkLengths(const Options& options, const CommandLine& line) {
  const auto refuse = [](const std::string& what, std::size_t length, std::size_t limit) {
    throw UsageError(what + " holds " + std::to_string(length) +
                     " bytes, more than the plug-in reads (at most " + std::to_string(limit) + ")");
  };
  for (const auto& [name, text] : options.host.parameters) {
    if (text.size() <= parameterLimit(name)) continue;
    std::string setBy = line.words.empty() ? std::string() : line.words.front();
    for (const Edit& edit : line.edits)
      if (edit.name == name) setBy = edit.option;
    refuse(setBy + ": " + name, text.size(), parameterLimit(name));
  }
  for (const auto* answers : {&options.host.saveAnswers, &options.host.openAnswers}) {
    for (const DialogAnswer& answer : *answers) {
      if (answer && answer->size() > maxPathLength)
        refuse(
            std::string(answers == &options.host.saveAnswers ? "--save" : "--open") + ": the path",
            answer->size(), maxPathLength);
    }
  }
}

// The definitions of --contrast (with any the parameter held already) as one list: two of one
// name are refused as the plug-in would refuse them.
void checkContrastNames(const std::map<std::string, std::string>& parameters,
                        const CommandLine& line) {
  const bool given = std::any_of(line.edits.begin(), line.edits.end(),
                                 [](const Edit& edit) { return edit.option == "--contrast"; });
  const auto contrasts = parameters.find(name::contrasts);
  if (!given || contrasts == parameters.end()) return;
  try {
    contract::parseContrastList(contrasts->second);
  } catch (const contract::ContrastSyntaxError& error) {
    throw UsageError("--contrast: " + std::string(error.what()));
  }
}

// Refuses a report folder (--report-into) or a folder of saves that is not a folder now: every
// file the task wrote there would fail. --set corrdir=DIR passes on whatever it is given.
void checkFolders(const Options& options, const CommandLine& line) {
  // A folder that cannot be looked at (a path longer than the system takes) is left to the
  // saves, which say why they fail.
  const auto isFolder = [](const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return status.type() == std::filesystem::file_type::none ||
           std::filesystem::is_directory(status);
  };
  const auto last = std::find_if(line.edits.rbegin(), line.edits.rend(),
                                 [](const Edit& edit) { return edit.name == name::reportFolder; });
  if (last != line.edits.rend() && last->option == "--report-into" && !last->text.empty() &&
      !isFolder(last->text))
    throw UsageError("--report-into: " + last->text +
                     " is not a folder (the reports go into a folder that exists)");
  if (line.saveInto && !isFolder(options.host.saveFolder))
    throw UsageError("--save-into: " + options.host.saveFolder +
                     " is not a folder (the results go into a folder that exists)");
}

Options parseOptions(const std::vector<std::string>& args) {
  Options options;
  const CommandLine line = readCommandLine(args, options);
  if (line.saveInto && line.cancelAll) {
    throw UsageError("--save-into and --cancel-all exclude each other");
  }
  if (options.help || options.version) return options;

  auto& parameters = options.host.parameters;
  if (!line.words.empty()) applyTaskWord(line.words, options.host);
  for (const auto& edit : line.edits) {
    if (edit.append)
      appendLine(parameters, edit.name, edit.text);
    else
      parameters[edit.name] = edit.text;
  }
  if (!options.info && parameters.find(name::task) == parameters.end()) {
    throw UsageError("no task given: name one (" + taskList(", ") + ") or use --task NAME");
  }
  checkReportExtras(parameters, line.reportExtras);
  checkContrastNames(parameters, line);
  checkDesignTiming(parameters);
  checkLengths(options, line);
  if (!options.info) checkFolders(options, line);
  return options;
}

const char* helpText() { return helpPage; }

}  // namespace tormel
