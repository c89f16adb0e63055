#include "known_names.h"

#include <algorithm>
#include <exception>

#include "contract/contrasts.h"
#include "contract/modulators.h"
#include "contract/predictor_names.h"
#include "contract/terms.h"
#include "participant.h"
#include "run_plan.h"
#include "table_names.h"

namespace bids {

namespace {

// The conditions the terms of `options` keep (all when there are none).
std::vector<std::string> keptConditions(const KnownNames& known,
                                        const ParticipantOptions& options) {
  const std::vector<std::string_view> terms = contract::splitTerms(options.conditions);
  std::vector<std::string> kept;
  for (const std::string& condition : known.conditions) {
    const bool matched =
        terms.empty() || std::any_of(terms.begin(), terms.end(), [&](std::string_view term) {
          return contract::matchesWildcard(term, condition);
        });
    if (matched) kept.push_back(condition);
  }
  return kept;
}

bool isSpike(const std::string& name) {
  return name.size() > 6 && name.starts_with("scrub_") &&
         std::all_of(name.begin() + 6, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text.empty() ? "none" : text;
}

}  // namespace

KnownNames knownNames(const std::vector<RunPlan>& plans) {
  KnownNames known;
  for (const RunPlan& plan : plans) {
    try {
      if (plan.events) {
        TableNames events = readTableNames(*plan.events, "trial_type");
        const auto& columns = events.columns;
        if (std::find(columns.begin(), columns.end(), "trial_type") == columns.end())
          events.values.insert(contract::defaultCondition);
        known.conditions.merge(events.values);
        for (const std::string& column : columns)
          if (column != "onset" && column != "duration" && column != "trial_type")
            known.eventColumns.insert(column);
      }
      if (plan.confounds) {
        for (std::string& column : readTableNames(*plan.confounds).columns)
          known.confoundColumns.insert(std::move(column));
      }
    } catch (const std::exception&) {
      // The run finds out for itself, and says so.
    }
  }
  return known;
}

bool designCanName(const KnownNames& known, const ParticipantOptions& options,
                   const std::string& name) {
  if (known.confoundColumns.contains(name) || isSpike(name)) return true;
  const std::vector<contract::Modulator> modulators = contract::parseModulators(options.modulators);
  for (const std::string& condition : keptConditions(known, options)) {
    std::vector<std::string> predictors{condition};
    for (const contract::Modulator& modulator : modulators)
      predictors.push_back(contract::modulatedName(condition, modulator.column));
    for (const std::string& predictor : predictors) {
      if (name == predictor ||
          (options.timeDerivatives && name == predictor + contract::derivativeSuffix))
        return true;
    }
  }
  return false;
}

void checkContrastNames(const KnownNames& known, const ParticipantOptions& options) {
  for (const contract::ContrastDefinition& contrast : contract::parseContrasts(options.contrasts)) {
    for (const auto& row : contrast.rows) {
      for (const contract::ContrastTerm& term : row) {
        const std::string subject =
            "contrast \"" + contrast.name + "\" names \"" + term.predictor + "\", ";
        if (term.predictor == contract::constantName)
          throw FilterError(subject + "the constant of the designs; leave it out");
        if (designCanName(known, options, term.predictor)) continue;
        throw FilterError(subject + "which no design of the selected runs can have (conditions: " +
                          listed(keptConditions(known, options)) +
                          "; or a column of their confounds tables)");
      }
    }
  }
}

}  // namespace bids
