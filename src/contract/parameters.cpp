#include "contract/parameters.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

#include "contract/confound_terms.h"
#include "contract/json_object.h"
#include "contract/limits.h"
#include "contract/modulators.h"
#include "contract/terms.h"
#include "contract/threshold.h"

namespace contract {

namespace {

constexpr ParameterRule text(const char* name, ParameterKind kind = ParameterKind::path,
                             std::string_view example = {}) {
  return {name, kind, 0, 0, {}, example, {}};
}

// A flag is read as an int: a number beyond one would not reach the plug-in as written.
constexpr ParameterRule flag(const char* name) {
  return {name, ParameterKind::flag, -2147483648.0, 2147483647.0, {}, "1", "0"};
}

constexpr ParameterRule number(const char* name, ParameterKind kind, double minimum, double maximum,
                               std::string_view example, std::string_view defaultText = {}) {
  return {name, kind, minimum, maximum, {}, example, defaultText};
}

// The largest limit of a factor or a cost: a factor from the reciprocal of the dependencies'
// tolerance on belongs to a dependency.
constexpr double maxMarkLimit = 1e6;

constexpr ParameterRule rules[] = {
    text(parameter::task),
    text(parameter::sdmFile),
    text(parameter::primary),
    text(parameter::secondaries, ParameterKind::list),
    flag(parameter::zTransform),
    flag(parameter::constant),
    flag(parameter::reports),
    text(parameter::reportFolder),
    flag(parameter::plots),
    number(parameter::threshold, ParameterKind::threshold, 0, 1, defaultThreshold),
    flag(parameter::summary),
    flag(parameter::runPage),
    text(parameter::confounds, ParameterKind::confoundTerms, "motion24,wm_csf"),
    flag(parameter::strict),
    text(parameter::events, ParameterKind::list),
    number(parameter::repetitionTime, ParameterKind::decimal, minRepetitionTime, maxRepetitionTime,
           "2"),
    number(parameter::volumes, ParameterKind::wholeNumber, 1, static_cast<double>(maxVolumes),
           "180"),
    text(parameter::volumesFrom),
    {parameter::hrf, ParameterKind::choice, 0, 0, "spm glover", "spm", "spm"},
    flag(parameter::derivatives),
    number(parameter::sliceReference, ParameterKind::decimal, 0, 1, "0.5", "0"),
    text(parameter::conditions, ParameterKind::terms, "go,stop*"),
    text(parameter::modulators, ParameterKind::modulatorTerms, "rt,rating:demean"),
    text(parameter::contrasts, ParameterKind::list),
    // The defaults are those of MarkLimits; a test holds them together.
    number(parameter::amberVif, ParameterKind::decimal, 1, maxMarkLimit, "5", "5"),
    number(parameter::redVif, ParameterKind::decimal, 1, maxMarkLimit, "10", "10"),
    number(parameter::amberCost, ParameterKind::decimal, 1, maxMarkLimit, "1.5", "1.5"),
    number(parameter::redCost, ParameterKind::decimal, 1, maxMarkLimit, "2", "2"),
    number(parameter::redScrubbed, ParameterKind::decimal, 0, 1, "0.2", "0.2"),
    number(parameter::highPass, ParameterKind::decimal, 0, maxHighPass, "128", "0"),
    text(parameter::conditionColumn, ParameterKind::path, "trial_type"),
    text(parameter::conditionList, ParameterKind::list),
    text(parameter::provenance, ParameterKind::jsonObject, "{\"RepetitionTime\": 2}"),
    text(parameter::eventsFile),
};

constexpr const char* words[] = {"open_sdm", "sdm1corr", "mergeall",
                                 "mergesec", "convert",  "design"};

}  // namespace

std::optional<double> decimalValue(std::string_view text) {
  const std::string_view t = withoutBlanks(text);
  double value = 0.0;
  const char* const last = t.data() + t.size();
  const auto [end, error] = std::from_chars(t.data(), last, value, std::chars_format::general);
  if (t.empty() || error != std::errc() || end != last || !std::isfinite(value))
    return std::nullopt;
  return value;
}

namespace {

// A whole number with an optional sign, as the host reads an integer parameter, or none.
std::optional<double> wholeOf(std::string_view t) {
  if (t.size() > 1 && t.front() == '+' && t[1] != '-') t.remove_prefix(1);
  long long value = 0;
  const char* const last = t.data() + t.size();
  const auto [end, error] = std::from_chars(t.data(), last, value);
  if (t.empty() || error != std::errc() || end != last) return std::nullopt;
  return static_cast<double>(value);
}

bool isChoice(const ParameterRule& rule, std::string_view word) {
  std::string_view rest = rule.choices;
  while (!rest.empty()) {
    const std::size_t blank = std::min(rest.find(' '), rest.size());
    if (rest.substr(0, blank) == word) return true;
    rest.remove_prefix(std::min(blank + 1, rest.size()));
  }
  return false;
}

// "spm or glover", "a, b or c".
std::string choiceList(std::string_view choices) {
  std::string text(choices);
  const std::size_t last = text.rfind(' ');
  if (last != std::string::npos) text.replace(last, 1, " or ");
  for (std::size_t at = text.find(' '); at < last; at = text.find(' ', at + 2))
    text.replace(at, 1, ", ");
  return text;
}

// The shortest text of `value`, whole numbers written out in full ("1000000", not "1e+06").
std::string numberText(double value) {
  char text[32];
  const bool whole = value == std::trunc(value) && std::fabs(value) < 1e15;
  const auto end = whole
                       ? std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 0)
                       : std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}

}  // namespace

std::span<const ParameterRule> parameterRules() { return rules; }

const ParameterRule* parameterRule(std::string_view name) {
  for (const ParameterRule& rule : rules)
    if (name == rule.name) return &rule;
  return nullptr;
}

std::string parameterWants(const ParameterRule& rule) {
  switch (rule.kind) {
    case ParameterKind::flag:
      return "a whole number (0: off)";
    case ParameterKind::wholeNumber:
      return "a whole number from " + numberText(rule.minimum) + " to " + numberText(rule.maximum);
    case ParameterKind::decimal:
      return "a number from " + numberText(rule.minimum) + " to " + numberText(rule.maximum) +
             ", such as " + std::string(rule.example);
    case ParameterKind::threshold:
      return "a correlation above 0 and at most 1, such as " + std::string(rule.example);
    case ParameterKind::choice:
      return choiceList(rule.choices);
    case ParameterKind::terms:
      return "terms separated by commas, such as " + std::string(rule.example);
    case ParameterKind::jsonObject:
      return "one JSON object, such as " + std::string(rule.example);
    case ParameterKind::confoundTerms:
      return "presets or column names separated by commas, such as " + std::string(rule.example);
    case ParameterKind::modulatorTerms:
      return "events columns separated by commas, each COLUMN, COLUMN:demean or COLUMN:scale, "
             "such as " +
             std::string(rule.example);
    case ParameterKind::path:
    case ParameterKind::list:
      break;
  }
  return "a path";
}

std::optional<double> parameterNumber(const ParameterRule& rule, std::string_view text) {
  const std::string_view t = withoutBlanks(text);
  std::optional<double> value;
  if (rule.kind == ParameterKind::decimal) value = decimalValue(t);
  if (rule.kind == ParameterKind::wholeNumber || rule.kind == ParameterKind::flag)
    value = wholeOf(t);
  if (rule.kind == ParameterKind::threshold) {
    const CorrelationThreshold threshold = parseCorrelationThreshold(t);
    if (threshold.on()) value = threshold.value;
  }
  const bool ranged = rule.kind == ParameterKind::decimal ||
                      rule.kind == ParameterKind::wholeNumber || rule.kind == ParameterKind::flag;
  if (value && ranged && !(*value >= rule.minimum && *value <= rule.maximum)) return std::nullopt;
  return value;
}

std::string termsProblem(const ParameterRule& rule, std::string_view text) {
  if (rule.kind == ParameterKind::confoundTerms) return confoundTermsProblem(text);
  if (rule.kind == ParameterKind::terms) return conditionTermsProblem(text);
  if (rule.kind == ParameterKind::modulatorTerms) {
    try {
      parseModulators(text);
    } catch (const ModulatorTermError& error) {
      return error.what();
    }
  }
  return {};
}

std::string oneLineProblem(std::string_view wants, std::string_view text) {
  if (text.find_first_of("\t\r\n") == std::string_view::npos) return {};
  std::string shown;
  for (const char c : text)
    shown += c == '\t'   ? std::string("\\t")
             : c == '\r' ? "\\r"
             : c == '\n' ? "\\n"
                         : std::string(1, c);
  return "wants " + std::string(wants) + ", without a tab or a line break, not \"" + shown + "\"";
}

bool parameterTakes(const ParameterRule& rule, std::string_view text) {
  const std::string_view t = withoutBlanks(text);
  switch (rule.kind) {
    case ParameterKind::path:
    case ParameterKind::list:
      return true;
    case ParameterKind::terms:
    case ParameterKind::confoundTerms:
    case ParameterKind::modulatorTerms:
      return termsProblem(rule, text).empty();
    case ParameterKind::threshold:
      return parseCorrelationThreshold(t).state != CorrelationThreshold::State::invalid;
    case ParameterKind::jsonObject:
      return t.empty() || jsonObjectText(t).ok();
    case ParameterKind::choice:
      return t.empty() || isChoice(rule, t);
    case ParameterKind::flag:
      return t.empty() || parameterNumber(rule, t).has_value();
    case ParameterKind::wholeNumber:
    case ParameterKind::decimal:
      break;
  }
  if (t.empty() && !rule.defaultText.empty()) return true;
  return parameterNumber(rule, t).has_value();
}

std::optional<Task> taskNamed(std::string_view word) {
  for (std::size_t i = 0; i < std::size(words); ++i)
    if (word == words[i]) return static_cast<Task>(i);
  return std::nullopt;
}

const char* taskWord(Task task) { return words[static_cast<std::size_t>(task)]; }

std::span<const char* const> taskWords() { return words; }

bool reportsWithResults(Task task) {
  return task == Task::mergeall || task == Task::mergesec || task == Task::design;
}

}  // namespace contract
