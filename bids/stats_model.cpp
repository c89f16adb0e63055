#include "stats_model.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "contract/limits.h"

namespace bids {

namespace {

using nlohmann::json;

std::string lowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The member `key` of `object`, or null when it has none.
const json* member(const json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::string textOf(const json& value, const std::string& what) {
  if (!value.is_string()) throw ModelError(what + " is not a text");
  return value.get<std::string>();
}

// A label: a text, or a whole number as BIDS writes run indices.
std::string labelOf(const json& value, const std::string& what) {
  if (value.is_number_integer()) return std::to_string(value.get<long long>());
  return textOf(value, what);
}

// A list of texts (one text alone is a list of one).
std::vector<std::string> textsOf(const json& value, const std::string& what) {
  if (!value.is_array()) return {labelOf(value, what)};
  std::vector<std::string> texts;
  for (const json& item : value) texts.push_back(labelOf(item, what));
  return texts;
}

double numberOf(const json& value, const std::string& what) {
  if (!value.is_number() || !std::isfinite(value.get<double>()))
    throw ModelError(what + " is not a finite number");
  return value.get<double>();
}

void readInput(const json& model, StatsModel& result) {
  const json* input = member(model, "Input");
  if (input == nullptr) return;
  if (!input->is_object()) throw ModelError("Input is not an object");
  const std::pair<const char*, const char*> keys[] = {{"subject", "sub"},
                                                      {"session", "ses"},
                                                      {"task", "task"},
                                                      {"run", "run"},
                                                      {"acquisition", "acq"}};
  for (const auto& [name, value] : input->items()) {
    const auto key = std::find_if(std::begin(keys), std::end(keys),
                                  [&name](const auto& k) { return name == k.first; });
    if (key == std::end(keys))
      throw ModelError("Input filter " + name +
                       " is not supported (subject, session, task, run, acquisition)");
    result.input.emplace_back(key->second, textsOf(value, "Input " + name));
  }
}

// "spm", "glover", "spm + derivative", "glover + derivative", in any case and spacing.
ModelConvolution hrfNamed(const std::string& name, const std::string& where) {
  std::string compact;
  for (const char c : lowerCase(name))
    if (c != ' ') compact += c;
  ModelConvolution convolution;
  convolution.where = where;
  convolution.derivative = compact.ends_with("+derivative");
  if (convolution.derivative) compact.resize(compact.size() - 11);
  if (compact != "spm" && compact != "glover")
    throw ModelError(where + ": HRF model \"" + name +
                     "\" is not supported (spm, glover, spm + derivative, glover + derivative)");
  convolution.model = compact;
  return convolution;
}

void readInstruction(const json& instruction, StatsModel& result) {
  const std::string name =
      textOf(member(instruction, "Name") ? *member(instruction, "Name") : json(),
             "a transformation's Name");
  const json* input = member(instruction, "Input");
  const std::vector<std::string> inputs =
      input ? textsOf(*input, name + " Input") : std::vector<std::string>{};
  if (name == "Factor") {
    if (inputs != std::vector<std::string>{"trial_type"})
      throw ModelError("transformation Factor is supported of trial_type only");
  } else if (name == "Convolve") {
    const json* model = member(instruction, "Model");
    ModelConvolution convolution = hrfNamed(model ? textOf(*model, "Convolve Model") : "spm", name);
    if (const json* derivative = member(instruction, "Derivative"))
      convolution.derivative = convolution.derivative || derivative->get<bool>();
    convolution.variables = inputs;
    result.convolutions.push_back(std::move(convolution));
  } else if (name == "Scale") {
    const json* demean = member(instruction, "Demean");
    const json* rescale = member(instruction, "Rescale");
    if (demean && demean->is_boolean() && !demean->get<bool>())
      throw ModelError("transformation Scale without Demean is not supported");
    const bool scales = !(rescale && rescale->is_boolean() && !rescale->get<bool>());
    for (const std::string& variable : inputs)
      (scales ? result.scaled : result.demeaned).push_back(variable);
  } else if (name == "Demean") {
    result.demeaned.insert(result.demeaned.end(), inputs.begin(), inputs.end());
  } else {
    throw ModelError("transformation " + name + " is not supported");
  }
}

void readTransformations(const json& node, StatsModel& result) {
  const json* transformations = member(node, "Transformations");
  if (transformations == nullptr) return;
  const json* transformer = member(*transformations, "Transformer");
  const std::string name = transformer ? textOf(*transformer, "Transformer") : "";
  if (name != "pybids-transforms-v1")
    throw ModelError("transformer \"" + name + "\" is not supported (pybids-transforms-v1)");
  const json* instructions = member(*transformations, "Instructions");
  if (instructions == nullptr || !instructions->is_array())
    throw ModelError("Transformations holds no list of Instructions");
  for (const json& instruction : *instructions) readInstruction(instruction, result);
}

void readModel(const json& node, StatsModel& result) {
  const json* model = member(node, "Model");
  if (model == nullptr) throw ModelError("the run node has no Model");
  if (const json* type = member(*model, "Type"); type && lowerCase(textOf(*type, "Type")) != "glm")
    throw ModelError("Model Type " + type->dump() + " is not supported (glm)");
  const json* x = member(*model, "X");
  if (x == nullptr || !x->is_array()) throw ModelError("Model has no list X");
  for (const json& variable : *x) {
    if (variable == 1 || variable == "1")
      result.intercept = true;
    else
      result.x.push_back(textOf(variable, "a variable of X"));
  }
  if (const json* hrf = member(*model, "HRF")) {
    const json* name = member(*hrf, "Model");
    ModelConvolution convolution = hrfNamed(name ? textOf(*name, "HRF Model") : "", "Model.HRF");
    if (const json* variables = member(*hrf, "Variables"))
      convolution.variables = textsOf(*variables, "HRF Variables");
    result.convolutions.push_back(std::move(convolution));
  }
  if (const json* options = member(*model, "Options")) {
    for (const auto& [key, value] : options->items()) {
      if (key != "HighPassFilterCutoffHz")
        throw ModelError("Model.Options " + key + " is not supported (HighPassFilterCutoffHz)");
      result.highPassHz = numberOf(value, "HighPassFilterCutoffHz");
      // The cut-off period of the cosine drifts, 1 / Hz, is at most a day.
      if (!(*result.highPassHz * contract::maxHighPass >= 1))
        throw ModelError("HighPassFilterCutoffHz is below 1/" +
                         std::to_string(static_cast<int>(contract::maxHighPass)) +
                         " (a cut-off period longer than a day)");
    }
  }
}

ModelContrast contrastOf(const json& contrast) {
  ModelContrast result;
  const json* name = member(contrast, "Name");
  result.name = textOf(name ? *name : json(), "a contrast's Name");
  const std::string what = "contrast " + result.name;
  const json* test = member(contrast, "Test");
  const std::string word = test ? textOf(*test, what + " Test") : "t";
  if (word != "t" && word != "F")
    throw ModelError(what + ": test " + word + " is not supported (t or F)");
  result.fTest = word == "F";
  const json* conditions = member(contrast, "ConditionList");
  const json* weights = member(contrast, "Weights");
  if (!conditions || !weights || !weights->is_array())
    throw ModelError(what + " needs a ConditionList and its Weights");
  result.conditions = textsOf(*conditions, what + " ConditionList");
  const bool rows = !weights->empty() && weights->front().is_array();
  for (const json& row : rows ? *weights : json::array({*weights})) {
    std::vector<double>& values = result.weights.emplace_back();
    for (const json& weight : row) values.push_back(numberOf(weight, what + " weight"));
    if (values.size() != result.conditions.size())
      throw ModelError(what + ": a row of Weights does not fit its ConditionList");
  }
  if (!result.fTest && result.weights.size() != 1)
    throw ModelError(what + ": a t contrast has one row of Weights");
  return result;
}

void readContrasts(const json& node, StatsModel& result) {
  if (const json* contrasts = member(node, "Contrasts")) {
    if (!contrasts->is_array()) throw ModelError("Contrasts is not a list");
    for (const json& contrast : *contrasts) result.contrasts.push_back(contrastOf(contrast));
  }
  const json* dummy = member(node, "DummyContrasts");
  if (dummy == nullptr || *dummy == false) return;
  result.dummyContrasts = true;
  if (const json* test = member(*dummy, "Test"); test && *test != "t")
    throw ModelError("DummyContrasts: test " + test->dump() + " is not supported (t)");
  if (const json* names = member(*dummy, "Contrasts"))
    result.dummy = textsOf(*names, "DummyContrasts Contrasts");
}

}  // namespace

StatsModel readStatsModel(const std::string& text, const std::string& where) {
  const json model = json::parse(text, nullptr, false);
  try {
    if (model.is_discarded() || !model.is_object()) throw ModelError("not a JSON object");
    const json* version = member(model, "BIDSModelVersion");
    if (version == nullptr || !textOf(*version, "BIDSModelVersion").starts_with("1."))
      throw ModelError("BIDSModelVersion is not 1.x");
    StatsModel result;
    if (const json* name = member(model, "Name")) result.name = textOf(*name, "Name");
    readInput(model, result);
    const json* nodes = member(model, "Nodes");
    if (nodes == nullptr || !nodes->is_array()) throw ModelError("the model has no list Nodes");
    const json* run = nullptr;
    for (const json& node : *nodes) {
      const json* level = member(node, "Level");
      const std::string word = textOf(level ? *level : json(), "a node's Level");
      if (lowerCase(word) != "run") {
        result.otherLevels.push_back(lowerCase(word));
      } else {
        if (run != nullptr) throw ModelError("the model has more than one run-level node");
        run = &node;
      }
    }
    if (run == nullptr) throw ModelError("the model has no run-level node");
    readTransformations(*run, result);
    readModel(*run, result);
    readContrasts(*run, result);
    return result;
  } catch (const ModelError& error) {
    throw ModelError(where + ": " + error.what());
  } catch (const json::exception&) {
    throw ModelError(where + ": a value has the wrong type");
  }
}

}  // namespace bids
