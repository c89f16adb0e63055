// sdmgen: writes a realistic single-study design matrix, or a confound file of a preprocessing
// pipeline, for examples, tests and benchmarks.
//
//   sdmgen OUT.sdm [--interest K] [--confounds K] [--constant] [--points N] [--seed S]
//                  [--motion] [--confound-prefix TEXT] [--interest-names A,B,...]
//                  [--sum NAME]
//   sdmgen OUT --format tsv|par|rp|1d [--points N] [--seed S] [--tr SECONDS] [--compcor K]
//   sdmgen --bids DIR [--seed S]
//
// Predictors of interest are block designs (on/off periods) convolved with a two-gamma response,
// scaled to [0, 1], each with at least one whole block (a run shorter than that for them is a
// usage error); confounds are slowly drifting random walks like head-motion estimates (in mm
// or degrees, within about +-3); --motion names the first six confounds as the six rigid-body
// motion parameters. --sum adds one more confound, the sum of the first three: a dependency that
// no pair of predictors shows. The same seed always gives the same file.
//
// --format tsv writes a fMRIPrep-like confounds table (signals with their derivatives and powers,
// DVARS, framewise displacement, CompCor components, K of them a_comp_cor, cosine drifts for the
// repetition time, outlier indicators, "n/a" in the first row); par an FSL MCFLIRT motion file,
// rp an SPM realign rp_*.txt, 1d an AFNI .1D motion file with column labels. The confound files
// of one seed hold the same head motion.
//
// --bids writes a small BIDS dataset with events, sidecars and fMRIPrep-like confounds into DIR
// (bids_dataset.h).

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/number_text.h"
#include "base/output_file.h"
#include "bids_dataset.h"
#include "confound_generator.h"
#include "contract/limits.h"
#include "design_generator.h"
#include "sdm/sdm_file.h"
#include "sdm/sdm_limits.h"

namespace tools {

namespace {

constexpr int exitWritten = 0;
constexpr int exitNotWritten = 1;
constexpr int exitUsage = 64;

constexpr const char* helpText =
    "Usage: sdmgen OUT.sdm [OPTION...]\n"
    "  or:  sdmgen --bids DIR [--seed S]\n"
    "Writes a realistic single-study design matrix to OUT.sdm: predictors of interest, then\n"
    "confounds, then an optional constant. The same options give the same file everywhere.\n"
    "\n"
    "Options:\n"
    "  --interest K              predictors of interest (default 3): block designs convolved\n"
    "                            with a haemodynamic response, scaled to [0, 1]\n"
    "  --confounds K             confounds (default 6): slowly drifting random walks within\n"
    "                            about +-3, like head-motion estimates\n"
    "  --constant                a last predictor \"Constant\" (all 1.0)\n"
    "  --points N                data points (default 120); every predictor of interest gets\n"
    "                            at least one whole block, which takes K + 2 data points for\n"
    "                            K predictors of interest (blocks shorten to fit short runs)\n"
    "  --seed S                  the seed of the random numbers (default 1)\n"
    "  --motion                  name the first six confounds as the rigid-body motion\n"
    "                            parameters (Translation X [mm] ... Rotation Z [deg])\n"
    "  --confound-prefix TEXT    confound names: TEXT, a space and a number (default Confound)\n"
    "  --interest-names A,B,...  names of the first predictors of interest (the others are\n"
    "                            \"Condition \" and a number)\n"
    "  --sum NAME                one more confound, NAME, the sum of the first three: a\n"
    "                            dependency that no pair of predictors shows\n"
    "  --format F                write a confound file of a preprocessing pipeline instead:\n"
    "                            tsv (fMRIPrep-like table), par (FSL MCFLIRT), rp (SPM\n"
    "                            realign rp_*.txt), 1d (AFNI columns with labels); sdm is\n"
    "                            the default\n"
    "  --tr SECONDS              repetition time of a tsv file's cosine drifts, from 0.001\n"
    "                            to 100 (default 2)\n"
    "  --compcor K               a tsv file's a_comp_cor components\n"
    "  --bids DIR                write a small BIDS dataset into DIR instead: three\n"
    "                            subjects (one with two sessions, one whose two conditions\n"
    "                            share their events), images (a header and one voxel per\n"
    "                            volume), events, sidecars\n"
    "                            and fMRIPrep-like confounds under derivatives/fmriprep (one\n"
    "                            run lacks them); only --seed applies\n"
    "  --help, -h                print this text and exit\n"
    "  --version                 print the version and exit\n"
    "  --                        the next word is OUT.sdm, even when it starts with \"-\"\n"
    "Counts and the seed are whole numbers of 0 or more; a name may not hold a double quote or\n"
    "a line break. Options take their value as the next word or after \"=\" (--points=200).\n"
    "\n"
    "Exit status:\n"
    "  0   the file was written\n"
    "  1   the file could not be written (the message says why)\n"
    "  64  wrong command line; nothing was written\n"
    "\n"
    "Example:\n"
    "  sdmgen task.sdm --interest 2 --confounds 0 --constant --interest-names Faces,Houses\n";

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A whole number from 0 to `max`: decimal digits only, no sign, blank or other text.
template <typename Number>
Number wholeNumber(std::string_view option, const std::string& text, Number max) {
  Number value{};
  const char* first = text.data();
  const char* last = first + text.size();
  const bool digitsOnly = !text.empty() && std::all_of(text.begin(), text.end(),
                                                       [](char c) { return c >= '0' && c <= '9'; });
  const auto [end, error] = std::from_chars(first, last, value);
  if (!digitsOnly || error != std::errc() || end != last || value > max) {
    throw UsageError(std::string(option) + " wants a whole number from 0 to " +
                     std::to_string(max) + ", not \"" + text + "\"");
  }
  return value;
}

int count(std::string_view option, const std::string& text, int64_t max) {
  return static_cast<int>(wholeNumber<int64_t>(option, text, max));
}

// SDM names sit between double quotes on one line.
const std::string& predictorName(std::string_view option, const std::string& name) {
  if (name.find_first_of("\"\r\n") != std::string::npos) {
    throw UsageError(std::string(option) + ": the name \"" + name +
                     "\" holds a double quote or a line break, which an SDM name cannot hold");
  }
  return name;
}

struct Command {
  bool help = false;
  bool version = false;
  std::string out;
  DesignShape shape;
  std::optional<ConfoundTextFormat> confoundFormat;  // none: an SDM
  std::string bidsFolder;                            // not empty: a BIDS dataset
  ConfoundShape confounds;
};

ConfoundTextFormat confoundFormat(const std::string& text) {
  if (text == "tsv") return ConfoundTextFormat::tsv;
  if (text == "par") return ConfoundTextFormat::par;
  if (text == "rp") return ConfoundTextFormat::rp;
  if (text == "1d") return ConfoundTextFormat::afni;
  throw UsageError("--format wants sdm, tsv, par, rp or 1d, not \"" + text + "\"");
}

// A repetition time in seconds: a plain decimal ("2", "0.8"), read whatever the locale, within
// the bounds a design's repetition time has.
double seconds(std::string_view option, const std::string& text) {
  double value = 0;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  if (error != std::errc() || end != last ||
      !(value >= contract::minRepetitionTime && value <= contract::maxRepetitionTime)) {
    throw UsageError(std::string(option) + " wants a number of seconds from " +
                     base::shortestText(contract::minRepetitionTime) + " to " +
                     base::shortestText(contract::maxRepetitionTime) + ", not \"" + text + "\"");
  }
  return value;
}

// One option as the command line gives it: "--name", "--name=VALUE", or "--name" and then its
// value as the next word.
class Option {
 public:
  // The option at args[at]; taking its value from the next word moves `at` on to that word.
  Option(const std::vector<std::string>& args, std::size_t& at) : args_(args), at_(at) {
    const std::string& arg = args[at];
    const auto equals = arg.find('=');
    name_ = arg.substr(0, equals);
    if (equals != std::string::npos) inlineValue_ = arg.substr(equals + 1);
  }

  const std::string& name() const { return name_; }

  // The value after "=", else the next word.
  std::string value() {
    if (inlineValue_) return *inlineValue_;
    if (at_ + 1 >= args_.size()) throw UsageError(name_ + " needs a value");
    return args_[++at_];
  }

  // A switch takes no value, not even after "=".
  void noValue() const {
    if (inlineValue_) throw UsageError(name_ + " takes no value");
  }

 private:
  const std::vector<std::string>& args_;
  std::size_t& at_;
  std::string name_;
  std::optional<std::string> inlineValue_;
};

// The switches. False when `option` is none of them.
bool applySwitch(const Option& option, Command& command) {
  const std::string& name = option.name();
  bool* setting = name == "--help" || name == "-h" ? &command.help
                  : name == "--version"            ? &command.version
                  : name == "--constant"           ? &command.shape.constant
                  : name == "--motion"             ? &command.shape.motion
                                                   : nullptr;
  if (setting == nullptr) return false;
  option.noValue();
  *setting = true;
  return true;
}

// "A,B,C": one predictor name per comma, empty ones included.
std::vector<std::string> nameList(std::string_view option, const std::string& list) {
  std::vector<std::string> names;
  for (std::size_t start = 0; start <= list.size();) {
    const auto comma = std::min(list.find(',', start), list.size());
    names.push_back(predictorName(option, list.substr(start, comma - start)));
    start = comma + 1;
  }
  return names;
}

// The options of the design matrix's shape. False when `option` is none of them.
bool applyShapeOption(Option& option, DesignShape& shape) {
  const std::string& name = option.name();
  if (name == "--interest")
    shape.interest = count(name, option.value(), sdm::maxSdmPredictors);
  else if (name == "--confounds")
    shape.confounds = count(name, option.value(), sdm::maxSdmPredictors);
  else if (name == "--points")
    shape.points = count(name, option.value(), sdm::maxSdmValues);
  else if (name == "--seed")
    shape.seed = wholeNumber<uint64_t>(name, option.value(), UINT64_MAX);
  else if (name == "--confound-prefix")
    shape.confoundPrefix = predictorName(name, option.value());
  else if (name == "--interest-names")
    shape.interestNames = nameList(name, option.value());
  else if (name == "--sum")
    shape.sumName = predictorName(name, option.value());
  else
    return false;
  return true;
}

// The options of a pipeline's confound file. False when `option` is none of them.
bool applyConfoundFileOption(Option& option, Command& command) {
  const std::string& name = option.name();
  if (name == "--format") {
    const std::string format = option.value();
    if (format == "sdm")
      command.confoundFormat.reset();
    else
      command.confoundFormat = confoundFormat(format);
  } else if (name == "--tr") {
    command.confounds.repetitionTime = seconds(name, option.value());
  } else if (name == "--compcor") {
    command.confounds.aCompCor = count(name, option.value(), 1000);
  } else if (name == "--bids") {
    command.bidsFolder = option.value();
    if (command.bidsFolder.empty()) throw UsageError("--bids needs a folder");
  } else {
    return false;
  }
  return true;
}

// Every option applied to a command, in the order given; the words that are not options go to
// `words`.
Command readOptions(const std::vector<std::string>& args, std::vector<std::string>& words) {
  Command command;
  bool endOfOptions = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (endOfOptions || arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
    } else if (arg == "--") {
      endOfOptions = true;
    } else {
      Option option(args, i);
      if (!applySwitch(option, command) && !applyShapeOption(option, command.shape) &&
          !applyConfoundFileOption(option, command))
        throw UsageError("unknown option \"" + option.name() + "\"");
    }
  }
  return command;
}

// The one word that is not an option: the file to write.
std::string outputFile(const std::vector<std::string>& words) {
  if (words.empty()) throw UsageError("no output file given: sdmgen OUT.sdm [OPTION...]");
  if (words.size() > 1)
    throw UsageError("one output file only, not \"" + words[0] + "\" and \"" + words[1] + "\"");
  return words.front();
}

// A plural for the messages: "1 data point", "2 data points".
std::string counted(int64_t number, const std::string& noun, const std::string& plural) {
  return std::to_string(number) + " " + (number == 1 ? noun : plural);
}

// The file must stay one that the reader takes back, and give every condition an event.
void checkShape(const DesignShape& shape, bool sdm) {
  if (!shape.sumName.empty() && shape.confounds < 3)
    throw UsageError("--sum needs at least three confounds to add up");
  const int64_t predictors = int64_t{shape.interest} + int64_t{shape.confounds} +
                             (shape.sumName.empty() ? 0 : 1) + (shape.constant ? 1 : 0);
  if (predictors > sdm::maxSdmPredictors || predictors * shape.points > sdm::maxSdmValues) {
    throw UsageError(std::to_string(predictors) + " predictors over " +
                     std::to_string(shape.points) + " data points are more than an SDM holds (" +
                     std::to_string(sdm::maxSdmPredictors) + " predictors, " +
                     std::to_string(sdm::maxSdmValues) + " values)");
  }
  if (sdm && shape.points < shortestRun(shape.interest)) {
    throw UsageError("a run of " + counted(shape.points, "data point", "data points") +
                     " is too short for " +
                     counted(shape.interest, "predictor of interest", "predictors of interest") +
                     ": giving each an event takes " + std::to_string(shortestRun(shape.interest)) +
                     " data points or more");
  }
}

Command parseCommand(const std::vector<std::string>& args) {
  std::vector<std::string> words;
  Command command = readOptions(args, words);
  if (command.help || command.version) return command;
  if (!command.bidsFolder.empty()) {
    if (!words.empty())
      throw UsageError("--bids writes a folder of its own, not \"" + words.front() + "\"");
    return command;
  }
  command.out = outputFile(words);
  checkShape(command.shape, !command.confoundFormat);
  return command;
}

}  // namespace

}  // namespace tools

int main(int argc, char** argv) {
  tools::Command command;
  try {
    command = tools::parseCommand(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const tools::UsageError& error) {
    std::fprintf(stderr, "sdmgen: %s\nTry 'sdmgen --help'.\n", error.what());
    return tools::exitUsage;
  }
  if (command.help) {
    std::fputs(tools::helpText, stdout);
    return tools::exitWritten;
  }
  if (command.version) {
    std::printf("sdmgen (Brindle) %s\n", BRINDLE_VERSION);
    return tools::exitWritten;
  }

  try {
    if (!command.bidsFolder.empty()) {
      const tools::BidsDatasetSize size =
          tools::writeBidsDataset(command.bidsFolder, command.shape.seed);
      std::printf(
          "sdmgen: wrote a BIDS dataset of %zu runs (%zu subjects) with fMRIPrep confounds "
          "to %s\n",
          size.runs, size.subjects, command.bidsFolder.c_str());
    } else if (!command.confoundFormat) {
      sdm::DesignMatrix m = tools::generateDesignMatrix(command.shape);
      sdm::saveSdm(m, command.out);
    } else {
      tools::ConfoundShape confounds = command.confounds;
      confounds.points = command.shape.points;
      confounds.seed = command.shape.seed;
      base::OutputFile file(command.out);
      file.write(tools::generateConfoundText(confounds, *command.confoundFormat));
      file.commit();
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "sdmgen: %s\n", error.what());
    return tools::exitNotWritten;
  }
  return tools::exitWritten;
}
