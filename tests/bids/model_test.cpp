// BIDS Stats Models as brindle-bids reads them: a run node's X, HRF, transformations and
// contrasts in the settings of Tormel's tasks, and what it refuses by name.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "known_names.h"
#include "model_settings.h"
#include "participant.h"
#include "stats_model.h"
#include "support/expect_throw.h"
#include "support/row_name.h"

namespace {

// The files of the runs: conditions faces and houses, a column rt, motion and drifts.
const bids::KnownNames known{
    {"faces", "houses"}, {"rt", "modulation"}, {"trans_x", "rot_x", "cosine00", "csf"}};

// A model whose run node is `node` (the members after "Level").
std::string model(const std::string& node, const std::string& more = "") {
  return R"({"Name": "m", "BIDSModelVersion": "1.0.0", )" + more +
         R"("Nodes": [{"Level": "Run", "Name": "run", )" + node +
         R"(}, {"Level": "Dataset", "Name": "d", "Model": {"Type": "glm", "X": [1]}}]})";
}

const std::string convolved =
    R"("Transformations": {"Transformer": "pybids-transforms-v1", "Instructions": [
         {"Name": "Factor", "Input": ["trial_type"]},
         {"Name": "Convolve", "Input": ["trial_type.*", "rt"], "Model": "glover",
          "Derivative": true}]}, )";

struct ModelCase {
  const char* what;
  std::string text;
  bids::ModelSettings settings;  // when `refusal` is empty
  std::string refusal = "";
};

class Models : public ::testing::TestWithParam<ModelCase> {};

TEST_P(Models, GiveTheSettingsOfTheirRunNodeOrSayWhatBrindleDoesNotDo) {
  const ModelCase& row = GetParam();
  if (!row.refusal.empty()) {
    EXPECT_THROW_MSG(bids::modelSettings(bids::readStatsModel(row.text, "m.json"), known),
                     bids::ModelError, row.refusal);
    return;
  }
  const bids::StatsModel read = bids::readStatsModel(row.text, "m.json");
  EXPECT_EQ(read.otherLevels, std::vector<std::string>{"dataset"});
  const bids::ModelSettings settings = bids::modelSettings(read, known);
  EXPECT_EQ(settings.conditions, row.settings.conditions);
  EXPECT_EQ(settings.modulators, row.settings.modulators);
  EXPECT_EQ(settings.confounds, row.settings.confounds);
  EXPECT_EQ(settings.hrf, row.settings.hrf);
  EXPECT_EQ(settings.derivatives, row.settings.derivatives);
  EXPECT_EQ(settings.constant, row.settings.constant);
  EXPECT_EQ(settings.contrasts, row.settings.contrasts);
  EXPECT_EQ(settings.highPassSeconds, row.settings.highPassSeconds);
}

const ModelCase modelCases[] = {
    {"conditions, a modulator, confounds, the constant and every kind of contrast",
     model(convolved +
           R"("Model": {"Type": "glm", "X": ["trial_type.*", "rt",
               "trans_*", "csf", 1], "Options": {"HighPassFilterCutoffHz": 0.0078125}},
             "Contrasts": [{"Name": "f>h", "ConditionList": ["trial_type.faces", "houses"],
               "Weights": [1, -1], "Test": "t"},
              {"Name": "both", "ConditionList": ["faces", "houses", "faces_x_rt"],
               "Weights": [[1, 0, 0], [0, 1, 0.5]], "Test": "F"}],
             "DummyContrasts": {"Test": "t", "Contrasts": ["trial_type.*", "trans_x"]})"),
     {"*",
      "rt",
      "trans_*,csf",
      "glover",
      true,
      true,
      {"f>h = faces - houses",
       "both = [faces + 0 houses + 0 faces_x_rt, 0 faces + houses + 0.5 "
       "faces_x_rt]",
       "trial_type.faces = faces", "trial_type.faces_derivative = faces_derivative",
       "trial_type.houses = houses", "trial_type.houses_derivative = houses_derivative",
       "trans_x = trans_x"},
      128}},
    {"dummy contrasts of every variable, a demeaned modulator, the HRF of Model.HRF",
     model(R"("Transformations": {"Transformer": "pybids-transforms-v1", "Instructions": [
               {"Name": "Demean", "Input": ["rt"]}]},
             "Model": {"X": ["faces", "rt"], "HRF": {"Variables": ["faces", "rt"],
               "Model": "SPM"}}, "DummyContrasts": {"Test": "t"})"),
     {"faces", "rt:demean", "", "spm", false, false, {"faces = faces", "faces_x_rt = faces_x_rt"}}},
    {"an unconvolved condition",
     model(R"("Model": {"X": ["trial_type.faces"]})"),
     {},
     "X variable trial_type.faces is not convolved: Brindle convolves every condition and "
     "modulator; name it in Model.HRF Variables or a Convolve instruction"},
    {"a convolved confound",
     model(R"("Model": {"X": ["trans_x"], "HRF": {"Variables": ["trans_x"], "Model": "spm"}})"),
     {},
     "X variable trans_x is convolved, but it is a confound: Brindle convolves conditions and "
     "modulators only"},
    {"a contrast of the modulator of two conditions",
     model(convolved + R"("Model": {"X": ["trial_type.faces", "trial_type.houses", "rt"]},
             "Contrasts": [{"Name": "r", "ConditionList": ["rt"], "Weights": [1]}])"),
     {},
     "contrast r names rt, which makes a predictor per condition (faces_x_rt, houses_x_rt): name "
     "those"},
    {"a contrast of the constant",
     model(convolved + R"("Model": {"X": ["trial_type.faces", 1]},
             "Contrasts": [{"Name": "c", "ConditionList": ["1"], "Weights": [1]}])"),
     {},
     "contrast c names 1, the constant: contrasts compare the other predictors"},
    {"scaling a condition",
     model(R"("Transformations": {"Transformer": "pybids-transforms-v1", "Instructions": [
               {"Name": "Scale", "Input": ["trial_type.faces"]}]},
             "Model": {"X": ["trial_type.faces"], "HRF": {"Variables": ["trial_type.faces"],
               "Model": "spm"}})"),
     {},
     "transformation Scale of trial_type.faces is not supported: Brindle scales and demeans "
     "parametric modulators (events columns in X) only"},
};
INSTANTIATE_TEST_SUITE_P(Rows, Models, ::testing::ValuesIn(modelCases), testing_support::rowName);

TEST(StatsModels, RefuseWhatTheyCannotReadNamingIt) {
  const std::pair<std::string, std::string> refused[] = {
      {"[1]", "m.json: not a JSON object"},
      {R"({"BIDSModelVersion": "2.0", "Nodes": []})", "m.json: BIDSModelVersion is not 1.x"},
      {model(R"("Model": {"X": [1]})", R"("Input": {"datatype": "func"}, )"),
       "m.json: Input filter datatype is not supported (subject, session, task, run, "
       "acquisition)"},
      {model(R"("Transformations": {"Transformer": "pybids-transforms-v1", "Instructions": [
               {"Name": "Orthogonalize", "Input": ["a"]}]}, "Model": {"X": [1]})"),
       "m.json: transformation Orthogonalize is not supported"},
      {model(R"("Model": {"X": [1], "HRF": {"Model": "fir"}})"),
       "m.json: Model.HRF: HRF model \"fir\" is not supported (spm, glover, spm + derivative, "
       "glover + derivative)"},
      {model(R"("Model": {"X": [1]}, "Contrasts": [{"Name": "p", "ConditionList": ["a"],
               "Weights": [1], "Test": "pass"}])"),
       "m.json: contrast p: test pass is not supported (t or F)"},
      {model(R"("Model": {"X": [1], "Options": {"LowPassFilterCutoffHz": 0.1}})"),
       "m.json: Model.Options LowPassFilterCutoffHz is not supported (HighPassFilterCutoffHz)"},
      {model(R"("Model": {"X": [1], "Options": {"HighPassFilterCutoffHz": 1e-6}})"),
       "m.json: HighPassFilterCutoffHz is below 1/86400 (a cut-off period longer than a day)"},
      {R"({"BIDSModelVersion": "1.0.0", "Nodes": [{"Level": "Subject", "Model": {"X": [1]}}]})",
       "m.json: the model has no run-level node"},
  };
  for (const auto& [text, message] : refused)
    EXPECT_THROW_MSG(bids::readStatsModel(text, "m.json"), bids::ModelError, message);
}

TEST(StatsModels, TheDefaultOneTakesEveryConditionAndTheConfoundTerms) {
  const bids::ModelSettings settings =
      bids::modelSettings(bids::defaultStatsModel(known, "motion24,wm_csf", "spm", false), known);
  EXPECT_EQ(settings.conditions, "faces,houses");
  EXPECT_EQ(settings.confounds, "motion24,wm_csf");
  EXPECT_TRUE(settings.constant);
  EXPECT_EQ(settings.contrasts,
            (std::vector<std::string>{"trial_type.faces = faces", "trial_type.houses = houses"}));
}

TEST(ContrastNames, AreRefusedWhenNoDesignOfTheRunsCanHaveThem) {
  bids::ParticipantOptions options;
  options.conditions = "fa*";
  options.modulators = "rt";
  options.contrasts = {"faces_x_rt - trans_x + scrub_0012"};
  EXPECT_NO_THROW(bids::checkContrastNames(known, options));
  options.contrasts = {"a = faces - houses"};
  EXPECT_THROW_MSG(bids::checkContrastNames(known, options), bids::FilterError,
                   "contrast \"a\" names \"houses\", which no design of the selected runs can "
                   "have (conditions: faces; or a column of their confounds tables)");
  options.contrasts = {"Constant"};
  EXPECT_THROW_MSG(bids::checkContrastNames(known, options), bids::FilterError,
                   "contrast \"Constant\" names \"Constant\", the constant of the designs; leave "
                   "it out");
}

}  // namespace
