// sdmgen: writes a realistic single-study design matrix for examples, tests and benchmarks.
//
//   sdmgen OUT.sdm [--interest K] [--confounds K] [--constant] [--points N] [--seed S]
//                  [--motion] [--confound-prefix TEXT] [--interest-names A,B,...]
//
// Predictors of interest are block designs (on/off periods) convolved with a two-gamma response,
// scaled to [0, 1]; confounds are slowly drifting random walks like head-motion estimates (in mm
// or degrees, within about +-3); --motion names the first six confounds as the six rigid-body
// motion parameters. The same seed always gives the same file.

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "design_generator.h"
#include "plugin/metadata.h"
#include "sdm/sdm_limits.h"

namespace {

constexpr int exitWritten = 0;
constexpr int exitNotWritten = 1;
constexpr int exitUsage = 64;

constexpr const char* helpText =
    "Usage: sdmgen OUT.sdm [OPTION...]\n"
    "Writes a realistic single-study design matrix to OUT.sdm: predictors of interest, then\n"
    "confounds, then an optional constant. The same options give the same file everywhere.\n"
    "\n"
    "Options:\n"
    "  --interest K              predictors of interest (default 3): block designs convolved\n"
    "                            with a haemodynamic response, scaled to [0, 1]\n"
    "  --confounds K             confounds (default 6): slowly drifting random walks within\n"
    "                            about +-3, like head-motion estimates\n"
    "  --constant                a last predictor \"Constant\" (all 1.0)\n"
    "  --points N                data points (default 120)\n"
    "  --seed S                  the seed of the random numbers (default 1)\n"
    "  --motion                  name the first six confounds as the rigid-body motion\n"
    "                            parameters (Translation X [mm] ... Rotation Z [deg])\n"
    "  --confound-prefix TEXT    confound names: TEXT, a space and a number (default Confound)\n"
    "  --interest-names A,B,...  names of the first predictors of interest (the others are\n"
    "                            \"Condition \" and a number)\n"
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
};

Command parseCommand(const std::vector<std::string>& args) {
  Command command;
  std::vector<std::string> words;
  bool endOfOptions = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (endOfOptions || arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      endOfOptions = true;
      continue;
    }
    const auto equals = arg.find('=');
    const std::string option = arg.substr(0, equals);
    std::optional<std::string> inlineValue;
    if (equals != std::string::npos) inlineValue = arg.substr(equals + 1);
    const auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= args.size()) throw UsageError(option + " needs a value");
      return args[++i];
    };
    const auto noValue = [&] {
      if (inlineValue) throw UsageError(option + " takes no value");
    };

    DesignShape& shape = command.shape;
    if (option == "--help" || option == "-h") {
      noValue();
      command.help = true;
    } else if (option == "--version") {
      noValue();
      command.version = true;
    } else if (option == "--interest") {
      shape.interest = count(option, value(), kMaxSdmPredictors);
    } else if (option == "--confounds") {
      shape.confounds = count(option, value(), kMaxSdmPredictors);
    } else if (option == "--points") {
      shape.points = count(option, value(), kMaxSdmValues);
    } else if (option == "--seed") {
      shape.seed = wholeNumber<uint64_t>(option, value(), UINT64_MAX);
    } else if (option == "--confound-prefix") {
      shape.confoundPrefix = predictorName(option, value());
    } else if (option == "--interest-names") {
      const std::string list = value();
      shape.interestNames.clear();
      for (std::size_t start = 0; start <= list.size();) {
        const auto comma = std::min(list.find(',', start), list.size());
        shape.interestNames.push_back(predictorName(option, list.substr(start, comma - start)));
        start = comma + 1;
      }
    } else if (option == "--constant") {
      noValue();
      shape.constant = true;
    } else if (option == "--motion") {
      noValue();
      shape.motion = true;
    } else {
      throw UsageError("unknown option \"" + option + "\"");
    }
  }
  if (command.help || command.version) return command;

  if (words.empty()) throw UsageError("no output file given: sdmgen OUT.sdm [OPTION...]");
  if (words.size() > 1)
    throw UsageError("one output file only, not \"" + words[0] + "\" and \"" + words[1] + "\"");
  command.out = words.front();

  // The file must stay one that the reader takes back.
  const DesignShape& shape = command.shape;
  const int64_t predictors =
      int64_t{shape.interest} + int64_t{shape.confounds} + (shape.constant ? 1 : 0);
  if (predictors > kMaxSdmPredictors || predictors * shape.points > kMaxSdmValues) {
    throw UsageError(std::to_string(predictors) + " predictors over " +
                     std::to_string(shape.points) + " data points are more than an SDM holds (" +
                     std::to_string(kMaxSdmPredictors) + " predictors, " +
                     std::to_string(kMaxSdmValues) + " values)");
  }
  return command;
}

}  // namespace

int main(int argc, char** argv) {
  Command command;
  try {
    command = parseCommand(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::fprintf(stderr, "sdmgen: %s\nTry 'sdmgen --help'.\n", error.what());
    return exitUsage;
  }
  if (command.help) {
    std::fputs(helpText, stdout);
    return exitWritten;
  }
  if (command.version) {
    std::printf("sdmgen (Brindle) %s\nPlug-in: %s %s\n", BRINDLE_VERSION, pluginName,
                pluginVersion);
    return exitWritten;
  }

  try {
    DesignMatrix m = generateDesignMatrix(command.shape);
    m.save(command.out);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "sdmgen: %s\n", error.what());
    return exitNotWritten;
  }
  return exitWritten;
}
