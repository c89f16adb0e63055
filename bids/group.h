#pragma once

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "contract/marks.h"

// The group level: every run's summary (contract::summaryVersion of the summary JSON) in one table,
// its JSON sidecar and one self-contained HTML page.
namespace bids {

// A summary that cannot be used: not JSON, another version, a field missing.
class SummaryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One contrast of a run's design: how well the design estimates it and what the confounds cost.
struct ContrastCell {
  std::string name;
  std::string test;  // "t" or "F"
  bool estimable = true;
  std::optional<double> efficiency, confoundCost;  // none: not given (or not estimable)
  std::string reason;                              // why it is not estimable; "" when it is
};

// A run's mark and its reasons, as its summary gives them (contract/marks.h).
using contract::Mark;
using RunMark = contract::RunMark;

// A pair of predictors and their signed correlation.
struct PairCell {
  std::string first, second;
  double r = 0;
  bool operator==(const PairCell&) const = default;
};

// The events of a run's events file skipped for one reason ("onset n/a").
struct SkippedEventCount {
  std::string reason;
  long long count = 0;
  bool operator==(const SkippedEventCount&) const = default;
};

// One run as its summary tells it.
struct RunRow {
  std::string summary;  // the summary's path relative to OUTPUT, "/" between folders
  std::string subject, session, task, acquisition, run;  // "" when the name lacks one
  int volumes = 0;
  int predictors = 0;
  std::optional<double> maxTaskVif;       // none: no task predictor with a factor; may be inf
  std::optional<double> conditionNumber;  // none: undefined; may be inf
  int flaggedPairs = 0;
  int scrubbed = 0;
  std::optional<double> meanFramewiseDisplacement;
  std::string page = {};    // the run's page relative to OUTPUT: the summary's path, ".html"
  bool designOnly = false;  // the design alone, without confounds
  std::optional<double> repetitionTime = {};  // seconds; none: the summary does not say
  std::string hrf = {};                       // the HRF model; "" when the summary does not say
  std::vector<ContrastCell> contrasts = {};   // in the summary's order; empty when it has none
  std::string maxInterestVifName = {};  // the predictor of interest with maxTaskVif; "" if none
  // The strongest flagged pair with a predictor of interest in it; none when no such pair.
  std::optional<PairCell> strongestInterestPair = {};
  RunMark mark = {};  // the summary's "mark" and "reasons"
  // The events skipped, by reason, from the summary of the run's design of events ("skippedEvents"
  // of the summary itself for a design only); none when no summary says.
  std::optional<std::vector<SkippedEventCount>> skippedEvents = {};

  // "sub-01 ses-1 task-faces run-1": the run for people.
  std::string label() const;
  double scrubbedShare() const { return volumes > 0 ? double(scrubbed) / volumes : 0.0; }
  // The heatmap and the design picture beside the summary, relative to OUTPUT.
  std::string heatmap() const;
  std::string designPicture() const;
};

// A run the participant level could not make a design for.
struct FailedRun {
  std::string label, subject, session, task, run;  // as in RunRow; "" when the name lacks one
  std::string bold, events;  // the run's files as the participant level found them
  std::string error;         // what went wrong, in words
  std::string record;        // the failure record's path relative to OUTPUT; "" when none
};

const char* markName(Mark mark);  // "ok", "amber", "red"
// The parts joined by "; "; "" when there are none.
std::string joined(const std::vector<std::string>& parts);

// How many of the rows are marked amber and how many red.
struct MarkCounts {
  std::size_t amber = 0;
  std::size_t red = 0;
};
MarkCounts countMarks(const std::vector<RunRow>& rows);

// The warnings a summary's notices hold, each "FILE: text" with FILE the base name of the file it
// is about, in order; `where` names the summary in errors. Throws SummaryError.
std::vector<std::string> summaryWarnings(const std::string& json, const std::string& where);

// The mark and reasons a summary gives; `where` names the summary in errors. Throws SummaryError.
RunMark summaryMark(const std::string& json, const std::string& where);

// One summary's row; `relative` is its path relative to OUTPUT. Its "settings" (contract::settings)
// give the repetition time, the HRF and whether it is a design only, each when it is there with
// its type. Throws SummaryError.
RunRow readRunRow(const std::string& json, const std::string& relative);

// The "skippedEvents" of a summary; none when it has no such field. Throws SummaryError naming
// `where` when the field is not a list of {"reason": text, "count": number}.
std::optional<std::vector<SkippedEventCount>> readSkippedEvents(const std::string& json,
                                                                const std::string& where);

// The whole of `file`, a file of the output. Throws SummaryError "FILE: WHY" when it is not a
// regular file or cannot be read.
std::string readOutputFile(const std::filesystem::path& file);

// The files under OUTPUT/sub-*/ whose names end in `suffix`, relative to OUTPUT ("/" between
// folders), in byte order; folders that cannot be read are passed over.
std::vector<std::string> filesEndingIn(const std::filesystem::path& output,
                                       std::string_view suffix);

// Every summary under OUTPUT/sub-*/ (the files *_desc-brindle_design.json), in byte order of
// their paths, each with the skipped events of the design of events beside it
// (*_desc-events_design.json) when it does not say them itself. Throws SummaryError naming each
// file that cannot be used.
std::vector<RunRow> readRunRows(const std::filesystem::path& output);

// One failure record's run (bids/run_outputs.h); `relative` is its path relative to OUTPUT.
// Throws SummaryError when it is no JSON object of version 1 with "run", "bold" and "error".
FailedRun readFailedRun(const std::string& json, const std::string& relative);

// Every failure record under OUTPUT/sub-*/ (*_desc-brindle_failure.json), in byte order of their
// paths. Throws SummaryError naming each one that cannot be used.
std::vector<FailedRun> readFailedRuns(const std::filesystem::path& output);

std::string groupTable(const std::vector<RunRow>& rows);  // group_report.tsv
std::string groupTableSidecar();                          // group_report.json
// group_report.html: the counts, a strip plot per measure, the runs, the failed runs and the
// events skipped by reason, with filters; one self-contained file whose links are relative to
// OUTPUT.
std::string groupPage(const std::vector<RunRow>& rows, const std::vector<FailedRun>& failed);

// Reads the summaries and the failure records and writes the three files; messages go to `log`.
// Returns the exit status: 0 when the report is written.
int runGroup(const std::filesystem::path& output, std::ostream& log);

}  // namespace bids
