#include "model_settings.h"

#include <algorithm>

#include "contract/contrasts.h"
#include "contract/modulators.h"
#include "contract/predictor_names.h"
#include "contract/terms.h"
#include "known_names.h"

namespace bids {

namespace {

constexpr std::string_view factorPrefix = "trial_type.";

// A variable of X, and what it stands for.
struct Variable {
  enum class Kind { condition, modulator, confound } kind = Kind::confound;
  std::string written;  // as X writes it
  std::string term;     // the condition's name or pattern, the column, the confound term
};

bool matchesAny(const std::set<std::string>& names, std::string_view pattern) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
    return contract::matchesWildcard(pattern, name);
  });
}

// The kind of the variable `written`, by the names of the runs' files.
Variable variableOf(const std::string& written, const KnownNames& known) {
  if (written.starts_with(factorPrefix))
    return {Variable::Kind::condition, written, written.substr(factorPrefix.size())};
  if (known.eventColumns.contains(written)) return {Variable::Kind::modulator, written, written};
  if (matchesAny(known.conditions, written)) return {Variable::Kind::condition, written, written};
  const std::size_t point = written.find('.');
  if (point != std::string::npos && known.eventColumns.contains(written.substr(0, point)))
    throw ModelError("X variable " + written + ": Brindle makes conditions of trial_type only");
  return {Variable::Kind::confound, written, written};
}

std::string joinedTerms(const std::vector<std::string>& terms) {
  std::string text;
  for (const std::string& term : terms) text += (text.empty() ? "" : ",") + term;
  return text;
}

// The one HRF of the model's convolutions, which must cover every condition and modulator of X
// and no confound.
void setConvolution(const StatsModel& model, const std::vector<Variable>& variables,
                    ModelSettings& settings) {
  const auto convolves = [&](const std::string& written) {
    return std::any_of(model.convolutions.begin(), model.convolutions.end(), [&](const auto& c) {
      return std::any_of(c.variables.begin(), c.variables.end(), [&](const std::string& v) {
        return contract::matchesWildcard(v, written);
      });
    });
  };
  for (const ModelConvolution& c : model.convolutions) {
    const ModelConvolution& first = model.convolutions.front();
    if (c.model != first.model || c.derivative != first.derivative)
      throw ModelError(c.where + " and " + first.where +
                       " convolve differently: Brindle convolves every condition with one HRF");
  }
  for (const Variable& variable : variables) {
    const bool task = variable.kind != Variable::Kind::confound;
    if (task && !convolves(variable.written))
      throw ModelError("X variable " + variable.written +
                       " is not convolved: Brindle convolves every condition and modulator; "
                       "name it in Model.HRF Variables or a Convolve instruction");
    if (!task && convolves(variable.written))
      throw ModelError("X variable " + variable.written +
                       " is convolved, but it is a confound: Brindle convolves conditions and "
                       "modulators only");
  }
  if (model.convolutions.empty()) return;
  settings.hrf = model.convolutions.front().model;
  settings.derivatives = model.convolutions.front().derivative;
}

// The modulator terms of X, centred as Scale and Demean ask; those may take modulators only.
std::string modulatorTerms(const StatsModel& model, const std::vector<Variable>& variables) {
  std::vector<std::string> terms;
  for (const Variable& variable : variables) {
    if (variable.kind != Variable::Kind::modulator) continue;
    const auto named = [&](const std::vector<std::string>& list) {
      return std::find(list.begin(), list.end(), variable.written) != list.end();
    };
    terms.push_back(variable.term + (named(model.scaled)     ? ":scale"
                                     : named(model.demeaned) ? ":demean"
                                                             : ""));
  }
  for (const auto* list : {&model.scaled, &model.demeaned}) {
    for (const std::string& input : *list) {
      if (std::none_of(variables.begin(), variables.end(), [&](const Variable& v) {
            return v.written == input && v.kind == Variable::Kind::modulator;
          }))
        throw ModelError("transformation " +
                         std::string(list == &model.scaled ? "Scale" : "Demean") + " of " + input +
                         " is not supported: Brindle scales and demeans parametric modulators "
                         "(events columns in X) only");
    }
  }
  return joinedTerms(terms);
}

// What the contrasts are resolved against: X's variables and the conditions they keep.
struct Resolution {
  std::vector<Variable> variables;
  std::vector<std::string> kept;  // the conditions of the runs that X keeps, in byte order
  bool derivatives = false;
};

// The predictor a contrast's entry `name` weights.
std::string predictorOf(const std::string& name, const Resolution& r, const std::string& contrast) {
  const std::string subject = "contrast " + contrast + " names " + name;
  if (name == "1" || name == "intercept")
    throw ModelError(subject + ", the constant: contrasts compare the other predictors");
  if (name.starts_with(factorPrefix)) return name.substr(factorPrefix.size());
  for (const Variable& v : r.variables) {
    if (v.kind != Variable::Kind::modulator || v.written != name) continue;
    if (r.kept.size() == 1) return contract::modulatedName(r.kept.front(), name);
    std::string names;
    for (const std::string& c : r.kept)
      names += (names.empty() ? "" : ", ") + contract::modulatedName(c, name);
    throw ModelError(subject + ", which makes a predictor per condition (" + names +
                     "): name those");
  }
  return name;
}

// A t contrast of weight 1 on `predictor`, named `name`, and its derivative's when there is one.
void addDummy(const std::string& name, const std::string& predictor, bool derivative,
              std::vector<contract::ContrastDefinition>& contrasts) {
  contrasts.push_back({name, false, {{{predictor, 1.0}}}});
  if (derivative)
    contrasts.push_back({name + contract::derivativeSuffix,
                         false,
                         {{{predictor + contract::derivativeSuffix, 1.0}}}});
}

// The DummyContrasts' contrasts: one per variable named, or per condition and modulator of X.
void addDummies(const StatsModel& model, const Resolution& r,
                std::vector<contract::ContrastDefinition>& contrasts) {
  std::vector<std::string> names;
  for (const Variable& v : r.variables)
    if (v.kind != Variable::Kind::confound) names.push_back(v.written);
  for (const std::string& name : model.dummy.value_or(names)) {
    const auto variable = std::find_if(r.variables.begin(), r.variables.end(),
                                       [&](const Variable& v) { return v.written == name; });
    const bool task = variable != r.variables.end() && variable->kind != Variable::Kind::confound;
    if (task && variable->kind == Variable::Kind::modulator) {
      for (const std::string& c : r.kept) {
        const std::string predictor = contract::modulatedName(c, name);
        addDummy(predictor, predictor, r.derivatives, contrasts);
      }
    } else if (task && variable->term.find_first_of("*?") != std::string::npos) {
      const std::string prefix = name.starts_with(factorPrefix) ? std::string(factorPrefix) : "";
      for (const std::string& c : r.kept)
        if (contract::matchesWildcard(variable->term, c))
          addDummy(prefix + c, c, r.derivatives, contrasts);
    } else {
      addDummy(name, predictorOf(name, r, name), task && r.derivatives, contrasts);
    }
  }
}

// The contrasts as definitions Tormel reads; one it could not read is the model's fault.
std::vector<std::string> contrastTexts(const StatsModel& model, const Resolution& r) {
  std::vector<contract::ContrastDefinition> contrasts;
  for (const ModelContrast& c : model.contrasts) {
    contract::ContrastDefinition& definition = contrasts.emplace_back();
    definition.name = c.name;
    definition.fTest = c.fTest;
    for (const std::vector<double>& row : c.weights) {
      auto& terms = definition.rows.emplace_back();
      for (std::size_t i = 0; i < row.size(); ++i)
        terms.push_back({predictorOf(c.conditions[i], r, c.name), row[i]});
    }
  }
  if (model.dummyContrasts) addDummies(model, r, contrasts);
  std::vector<std::string> texts;
  for (const contract::ContrastDefinition& definition : contrasts) {
    if (definition.name.find_first_of("=[]\"") != std::string::npos)
      throw ModelError("contrast " + definition.name +
                       ": a name with = [ ] or \" cannot be given to Tormel");
    texts.push_back(contract::contrastText(definition));
  }
  try {
    contract::parseContrasts(texts);
  } catch (const contract::ContrastSyntaxError& error) {
    throw ModelError(error.what());
  }
  return texts;
}

}  // namespace

ModelSettings modelSettings(const StatsModel& model, const KnownNames& known) {
  ModelSettings settings;
  Resolution r;
  std::vector<std::string> conditions, confounds;
  for (const std::string& written : model.x) {
    r.variables.push_back(variableOf(written, known));
    const Variable& v = r.variables.back();
    if (v.kind == Variable::Kind::condition) conditions.push_back(v.term);
    if (v.kind == Variable::Kind::confound) confounds.push_back(v.term);
  }
  for (const std::string& c : known.conditions) {
    if (conditions.empty() ||
        std::any_of(conditions.begin(), conditions.end(),
                    [&](const std::string& term) { return contract::matchesWildcard(term, c); }))
      r.kept.push_back(c);
  }
  setConvolution(model, r.variables, settings);
  r.derivatives = settings.derivatives;
  settings.conditions = joinedTerms(conditions);
  settings.modulators = modulatorTerms(model, r.variables);
  settings.confounds = joinedTerms(confounds);
  settings.constant = model.intercept;
  settings.contrasts = contrastTexts(model, r);
  if (model.highPassHz) settings.highPassSeconds = 1.0 / *model.highPassHz;
  return settings;
}

StatsModel defaultStatsModel(const KnownNames& known, const std::string& confounds,
                             const std::string& hrf, bool derivatives) {
  StatsModel model;
  model.name = "default";
  ModelConvolution convolution{hrf, derivatives, {}, "Model.HRF"};
  for (const std::string& condition : known.conditions) {
    model.x.push_back(std::string(factorPrefix) + condition);
    convolution.variables.push_back(model.x.back());
  }
  for (const std::string_view term : contract::splitTerms(confounds)) model.x.emplace_back(term);
  model.intercept = true;
  model.convolutions.push_back(std::move(convolution));
  model.dummyContrasts = true;
  return model;
}

}  // namespace bids
