// The group table (group_report.tsv) and its sidecar.

#include <nlohmann/json.hpp>

#include "group.h"
#include "text_files.h"

namespace bids {

namespace {

constexpr const char* missing = "n/a";

std::string textOr(const std::string& value, const std::string& prefix = "") {
  return value.empty() ? missing : prefix + value;
}

std::string numberOr(const std::optional<double>& value, int decimals) {
  return value ? fixedText(*value, decimals) : missing;
}

std::string reasonsText(const RunMark& mark) {
  const std::string text = joined(mark.reasons);
  return text.empty() ? missing : text;
}

// The columns: name and description, in the table's order.
constexpr std::pair<const char*, const char*> columns[] = {
    {"participant_id", "The participant (sub-<label>)."},
    {"session_id", "The session (ses-<label>), n/a when the dataset has none."},
    {"task", "The task label."},
    {"acquisition", "The acquisition label, n/a when the run's name has none."},
    {"run", "The run index, n/a when the run's name has none."},
    {"volumes", "The volumes (data points) of the design: the rows of the confounds table."},
    {"predictors", "The predictors of the design: task, confounds and the constant."},
    {"max_task_vif",
     "The largest variance inflation factor among the task predictors (predictors of interest); "
     "inf when one is a linear combination of the others, n/a when none has a factor."},
    {"condition_number",
     "The condition number of all the regressors together (task and confounds, every column "
     "centred and scaled to unit length); inf for linearly dependent columns, n/a when "
     "undefined. It does not mark the run."},
    {"flagged_pairs", "The pairs of predictors whose absolute correlation reaches the threshold."},
    {"scrubbed_volumes", "The volumes given a spike regressor by the scrub confound term."},
    {"scrubbed_fraction", "scrubbed_volumes divided by volumes."},
    {"mean_framewise_displacement",
     "The mean framewise displacement of the run, n/a when the confounds table has none."},
    {"mark",
     "The run's mark, as its summary gives it: red when a contrast cannot be estimated, a task "
     "VIF reaches 10, a contrast's confound cost reaches 2 or more than 20 % of the volumes are "
     "scrubbed; amber when a task VIF reaches 5, a confound cost 1.5, or a flagged pair has a "
     "task predictor in it; else ok (the limits as the participant level was given them). The "
     "condition number never marks a run."},
    {"reasons",
     "What the mark is about, in words, the red reasons first, separated by \"; \"; n/a when "
     "none."},
    {"tr",
     "The repetition time the design was made with, from the run's settings; n/a when its "
     "summary has none."},
    {"hrf",
     "The haemodynamic response the design was made with (spm or glover), from the run's "
     "settings; n/a when its summary has none."},
    {"summary", "The run's summary file, relative to this folder."},
};

std::vector<std::string> cells(const RunRow& row) {
  const RunMark& mark = row.mark;
  return {textOr(row.subject, "sub-"),
          textOr(row.session, "ses-"),
          textOr(row.task),
          textOr(row.acquisition),
          textOr(row.run),
          std::to_string(row.volumes),
          std::to_string(row.predictors),
          numberOr(row.maxTaskVif, 2),
          numberOr(row.conditionNumber, 2),
          std::to_string(row.flaggedPairs),
          std::to_string(row.scrubbed),
          fixedText(row.scrubbedShare(), 4),
          numberOr(row.meanFramewiseDisplacement, 4),
          markName(mark.mark),
          reasonsText(mark),
          row.repetitionTime ? shortestText(*row.repetitionTime) : missing,
          textOr(row.hrf),
          row.summary};
}

std::string tabbed(const std::vector<std::string>& values) {
  std::string line;
  for (const std::string& value : values) line += (line.empty() ? "" : "\t") + value;
  return line + "\n";
}

}  // namespace

std::string groupTable(const std::vector<RunRow>& rows) {
  std::vector<std::string> header;
  for (const auto& column : columns) header.emplace_back(column.first);
  std::string table = tabbed(header);
  for (const RunRow& row : rows) table += tabbed(cells(row));
  return table;
}

std::string groupTableSidecar() {
  nlohmann::ordered_json sidecar = nlohmann::ordered_json::object();
  for (const auto& [name, description] : columns) sidecar[name]["Description"] = description;
  sidecar["mean_framewise_displacement"]["Units"] = "mm";
  sidecar["tr"]["Units"] = "s";
  sidecar["mark"]["Levels"] = {{"ok", "No threshold crossed"},
                               {"amber", "A threshold worth a look crossed"},
                               {"red", "A threshold that breaks the design crossed"}};
  return sidecar.dump(2) + "\n";
}

}  // namespace bids
