#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A BIDS Stats Model (version 1.0, a JSON file by convention model-NAME_smdl.json) as far as
// brindle-bids uses it: the model's Input filters and its run-level node, which says what a run's
// design holds and which contrasts it is judged by. The other nodes describe later analyses of
// the contrasts; they are read and left alone.
namespace bids {

// A model that cannot be read, or that asks for what Brindle does not do: the text says what and
// where ("transformation Orthogonalize is not supported").
class ModelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A convolution the model asks for: Model.HRF or a Convolve instruction.
struct ModelConvolution {
  std::string model = "spm";  // "spm" or "glover"
  bool derivative = false;
  std::vector<std::string> variables;
  std::string where;  // "Model.HRF", "Convolve": for messages
};

// A contrast of the run node: its weights over the condition list, one row for a t contrast.
struct ModelContrast {
  std::string name;
  std::vector<std::string> conditions;
  std::vector<std::vector<double>> weights;
  bool fTest = false;
};

struct StatsModel {
  std::string name;
  // The Input filters, by BIDS entity key ("sub", "ses", "task", "run", "acq"): the labels taken.
  std::vector<std::pair<std::string, std::vector<std::string>>> input;
  std::vector<std::string> x;  // the variables of Model.X, the intercept left out
  bool intercept = false;      // Model.X holds 1
  std::vector<ModelConvolution> convolutions;
  std::vector<std::string> demeaned, scaled;  // the inputs of Demean and Scale
  std::vector<ModelContrast> contrasts;
  bool dummyContrasts = false;                    // DummyContrasts given
  std::optional<std::vector<std::string>> dummy;  // its Contrasts; none: every variable
  std::optional<double> highPassHz;               // Model.Options.HighPassFilterCutoffHz
  std::vector<std::string> otherLevels;           // the levels of the nodes left alone
};

// The model in `text`, read from `where` (for messages). Throws ModelError for JSON that is no
// BIDS Stats Model of version 1, a model without exactly one run-level node, and for what Brindle
// does not do: a transformation other than Factor (of trial_type), Convolve, Scale and Demean, an
// HRF model other than spm and glover (each with or without "+ derivative"), a test other than t
// and F, an option other than HighPassFilterCutoffHz, an Input filter other than subject,
// session, task, run and acquisition.
StatsModel readStatsModel(const std::string& text, const std::string& where);

}  // namespace bids
