#include "group.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <ostream>
#include <system_error>

#include "base/paths.h"
#include "contract/summary_fields.h"
#include "entities.h"
#include "text_files.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace bids {

namespace {

namespace key = contract::summary;

constexpr std::string_view summarySuffix = "_desc-brindle_design.json";
constexpr std::string_view eventsSummarySuffix = "_desc-events_design.json";

const json& field(const json& summary, const char* key, const std::string& where) {
  if (!summary.contains(key)) throw SummaryError(where + ": no \"" + key + "\"");
  return summary.at(key);
}

int wholeField(const json& summary, const char* key, const std::string& where) {
  const json& value = field(summary, key, where);
  if (!value.is_number_integer() || value.get<long long>() < 0 ||
      value.get<long long>() > std::numeric_limits<int>::max())
    throw SummaryError(where + ": \"" + key + "\" is not a whole number");
  return value.get<int>();
}

const json& arrayField(const json& summary, const char* key, const std::string& where) {
  const json& value = field(summary, key, where);
  if (!value.is_array()) throw SummaryError(where + ": \"" + key + "\" is not a list");
  return value;
}

// A number, or null (none); anything else is refused.
std::optional<double> numberOrNull(const json& summary, const char* key, const std::string& where) {
  const json& value = field(summary, key, where);
  if (value.is_null()) return std::nullopt;
  if (!value.is_number()) throw SummaryError(where + ": \"" + key + "\" is not a number");
  return value.get<double>();
}

// A factor or condition number: a number, "inf" (infinite), or null (none); anything else is
// refused.
std::optional<double> measure(const json& summary, const char* key, const std::string& where) {
  const json& value = field(summary, key, where);
  if (value == contract::infiniteNumber) return std::numeric_limits<double>::infinity();
  return numberOrNull(summary, key, where);
}

// A role that is not a string is no role, not a reason to stop.
bool isInterest(const json& predictor) {
  return predictor.is_object() && predictor.contains(key::role) &&
         predictor.at(key::role) == contract::interestRole;
}

std::string nameOf(const json& predictor) {
  const auto name = predictor.find(key::name);
  return name != predictor.end() && name->is_string() ? name->get<std::string>() : "";
}

// The largest factor among the predictors of interest and whose it is: the first of equals.
void setLargestTaskVif(RunRow& row, const json& summary, const std::string& where) {
  for (const json& predictor : arrayField(summary, key::predictors, where)) {
    if (!isInterest(predictor)) continue;
    const std::optional<double> vif = measure(predictor, key::vif, where);
    if (vif && (!row.maxTaskVif || *vif > *row.maxTaskVif)) {
      row.maxTaskVif = vif;
      row.maxInterestVifName = nameOf(predictor);
    }
  }
}

// A flagged pair's predictor `key` ("first", "second"), when it is an index into `predictors`.
const json* pairMember(const json& pair, const char* key, const json& predictors) {
  if (!pair.is_object() || !pair.contains(key)) return nullptr;
  const json& index = pair.at(key);
  if (!index.is_number_unsigned() || index.get<std::size_t>() >= predictors.size()) return nullptr;
  return &predictors[index.get<std::size_t>()];
}

// The strongest flagged pair with a predictor of interest in it (by |r|, the first of equals).
std::optional<PairCell> strongestInterestPair(const json& summary, const std::string& where) {
  const json& predictors = arrayField(summary, key::predictors, where);
  std::optional<PairCell> strongest;
  for (const json& pair : arrayField(summary, key::pairs, where)) {
    const json* first = pairMember(pair, key::first, predictors);
    const json* second = pairMember(pair, key::second, predictors);
    if (!first || !second || !pair.contains(key::r) || !pair.at(key::r).is_number())
      throw SummaryError(where + ": \"pairs\" holds an entry that is not a pair of predictors");
    const double r = pair.at(key::r).get<double>();
    if ((isInterest(*first) || isInterest(*second)) &&
        (!strongest || std::abs(r) > std::abs(strongest->r)))
      strongest = PairCell{nameOf(*first), nameOf(*second), r};
  }
  return strongest;
}

// The text under `key` of `object`; "" when it has none.
std::string textOf(const json& object, const char* key) {
  const auto value = object.find(key);
  return value != object.end() && value->is_string() ? value->get<std::string>() : "";
}

// The mark and its reasons, as the plug-in wrote them.
RunMark markOf(const json& summary, const std::string& where) {
  const json& word = field(summary, key::mark, where);
  const auto mark = word.is_string() ? contract::markNamed(word.get<std::string>()) : std::nullopt;
  if (!mark) throw SummaryError(where + ": \"mark\" is not \"ok\", \"amber\" or \"red\"");
  RunMark result{*mark, {}};
  for (const json& reason : arrayField(summary, key::reasons, where)) {
    if (!reason.is_string())
      throw SummaryError(where + ": \"reasons\" holds an entry that is not a text");
    result.reasons.push_back(reason.get<std::string>());
  }
  return result;
}

std::vector<ContrastCell> contrastsOf(const json& summary, const std::string& where) {
  std::vector<ContrastCell> cells;
  for (const json& contrast : arrayField(summary, key::contrasts, where)) {
    if (!contrast.is_object() || textOf(contrast, key::name).empty())
      throw SummaryError(where + ": \"contrasts\" holds an entry without a name");
    const auto estimable = contrast.find(key::estimable);
    cells.push_back(
        {textOf(contrast, key::name), textOf(contrast, key::test),
         estimable != contrast.end() && estimable->is_boolean() && estimable->get<bool>(),
         numberOrNull(contrast, key::efficiency, where),
         numberOrNull(contrast, key::confoundCost, where), textOf(contrast, key::reason)});
  }
  return cells;
}

void setEntities(RunRow& row, const std::string& relative) {
  const auto name = parseFileName(fs::path(relative).filename().string());
  if (!name) return;
  const std::pair<const char*, std::string*> wanted[] = {{"sub", &row.subject},
                                                         {"ses", &row.session},
                                                         {"task", &row.task},
                                                         {"acq", &row.acquisition},
                                                         {"run", &row.run}};
  for (const auto& [key, target] : wanted) {
    if (const std::string* value = name->value(key)) *target = *value;
  }
}

}  // namespace

std::string RunRow::label() const {
  std::string text = "sub-" + subject;
  if (!session.empty()) text += " ses-" + session;
  if (!task.empty()) text += " task-" + task;
  if (!acquisition.empty()) text += " acq-" + acquisition;
  if (!run.empty()) text += " run-" + run;
  return text;
}

std::string RunRow::heatmap() const { return summary.substr(0, summary.size() - 5) + ".svg"; }

std::string RunRow::designPicture() const {
  return summary.substr(0, summary.size() - 5) + "_design.svg";
}

const char* markName(Mark mark) { return contract::markWord(mark); }

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}

MarkCounts countMarks(const std::vector<RunRow>& rows) {
  MarkCounts counts;
  for (const RunRow& row : rows) {
    const Mark mark = row.mark.mark;
    counts.amber += mark == Mark::amber ? 1 : 0;
    counts.red += mark == Mark::red ? 1 : 0;
  }
  return counts;
}

namespace {

// The summary in `text`, refused unless it is one of the version this brindle-bids reads.
json parsedSummary(const std::string& text, const std::string& where) {
  json summary = json::parse(text, nullptr, false);
  if (summary.is_discarded() || !summary.is_object())
    throw SummaryError(where + ": not a summary file (no JSON object)");
  const json& version = field(summary, key::version, where);
  if (version != contract::summaryVersion) {
    throw SummaryError(where + ": summary version " + version.dump() +
                       "; this brindle-bids reads " + "version " +
                       std::to_string(contract::summaryVersion) +
                       " only (run the participant level again with this version of Brindle)");
  }
  return summary;
}

// The members of the run's "settings" that the group level shows, each when it has its type.
void setSettings(RunRow& row, const json& summary) {
  const auto settings = summary.find(key::settings);
  if (settings == summary.end() || !settings->is_object()) return;
  namespace member = contract::settings;
  const auto designOnly = settings->find(member::designOnly);
  if (designOnly != settings->end() && designOnly->is_boolean()) row.designOnly = *designOnly;
  const auto tr = settings->find(member::repetitionTime);
  if (tr != settings->end() && tr->is_number()) row.repetitionTime = tr->get<double>();
  const auto hrf = settings->find(member::hrf);
  if (hrf != settings->end() && hrf->is_string()) row.hrf = hrf->get<std::string>();
}

std::optional<std::vector<SkippedEventCount>> skippedEventsOf(const json& summary,
                                                              const std::string& where) {
  if (!summary.contains(key::skippedEvents)) return std::nullopt;
  std::vector<SkippedEventCount> counts;
  for (const json& entry : arrayField(summary, key::skippedEvents, where)) {
    if (!entry.is_object() || !entry.contains(key::reason) || !entry.at(key::reason).is_string() ||
        !entry.contains(key::count) || !entry.at(key::count).is_number_unsigned())
      throw SummaryError(where + ": \"" + key::skippedEvents +
                         "\" holds an entry without a reason and a count");
    counts.push_back({entry.at(key::reason), entry.at(key::count)});
  }
  return counts;
}

}  // namespace

RunRow readRunRow(const std::string& text, const std::string& relative) {
  const json summary = parsedSummary(text, relative);
  RunRow row;
  row.summary = relative;
  setEntities(row, relative);
  row.volumes = wholeField(summary, key::nrOfDataPoints, relative);
  row.predictors = wholeField(summary, key::nrOfPredictors, relative);
  setLargestTaskVif(row, summary, relative);
  row.conditionNumber = measure(summary, key::conditionNumber, relative);
  // A summary lists the first pairs only and counts them all.
  row.flaggedPairs = summary.contains(key::pairCount)
                         ? wholeField(summary, key::pairCount, relative)
                         : static_cast<int>(arrayField(summary, key::pairs, relative).size());
  row.scrubbed = static_cast<int>(arrayField(summary, key::scrubbedVolumes, relative).size());
  row.meanFramewiseDisplacement = numberOrNull(summary, key::meanFramewiseDisplacement, relative);
  row.page = relative.substr(0, relative.size() - 5) + ".html";
  row.strongestInterestPair = strongestInterestPair(summary, relative);
  row.contrasts = contrastsOf(summary, relative);
  row.mark = markOf(summary, relative);
  row.skippedEvents = skippedEventsOf(summary, relative);
  setSettings(row, summary);
  return row;
}

RunMark summaryMark(const std::string& text, const std::string& where) {
  return markOf(parsedSummary(text, where), where);
}

std::optional<std::vector<SkippedEventCount>> readSkippedEvents(const std::string& text,
                                                                const std::string& where) {
  return skippedEventsOf(parsedSummary(text, where), where);
}

std::vector<std::string> summaryWarnings(const std::string& text, const std::string& where) {
  std::vector<std::string> warnings;
  const json summary = parsedSummary(text, where);
  for (const json& notice : arrayField(summary, key::notices, where)) {
    if (!notice.is_object() || notice.value(key::kind, "") != contract::warningNotice) continue;
    const std::string file = notice.value(key::file, "");
    warnings.push_back(base::baseName(file) + ": " + notice.value(key::text, ""));
  }
  return warnings;
}

std::vector<RunRow> readRunRows(const fs::path& output) {
  std::vector<RunRow> rows;
  std::string problems;
  for (const std::string& relative : filesEndingIn(output, summarySuffix)) {
    try {
      rows.push_back(readRunRow(readOutputFile(output / relative), relative));
      RunRow& row = rows.back();
      const std::string events = relative.substr(0, relative.size() - summarySuffix.size()) +
                                 std::string(eventsSummarySuffix);
      if (!row.skippedEvents && fs::is_regular_file(output / events))
        row.skippedEvents = readSkippedEvents(readOutputFile(output / events), events);
    } catch (const SummaryError& problem) {
      problems += std::string(problems.empty() ? "" : "\n") + problem.what();
    }
  }
  if (!problems.empty()) throw SummaryError(problems);
  return rows;
}

int runGroup(const fs::path& output, std::ostream& log) {
  std::vector<RunRow> rows;
  std::vector<FailedRun> failed;
  try {
    rows = readRunRows(output);
    failed = readFailedRuns(output);
  } catch (const SummaryError& problems) {
    log << problems.what() << "\nbrindle-bids: no group report written\n";
    return 1;
  }
  if (rows.empty() && failed.empty()) {
    log << "brindle-bids: no run summaries (sub-*/.../*_desc-brindle_design.json) under "
        << output.string() << ": run the participant level first\n";
    return 1;
  }
  writeTextFile(output / "group_report.tsv", groupTable(rows));
  writeTextFile(output / "group_report.json", groupTableSidecar());
  writeTextFile(output / "group_report.html", groupPage(rows, failed));
  const MarkCounts marks = countMarks(rows);
  log << "brindle-bids: group report of " << rows.size() << " of " << rows.size() + failed.size()
      << " runs (" << failed.size() << " failed, " << marks.red << " red, " << marks.amber
      << " amber): " << (output / "group_report.html").string() << "\n";
  return 0;
}

}  // namespace bids
