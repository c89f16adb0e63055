#pragma once

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The group level: every run's summary (version 2 of the summary JSON) in one table, its JSON
// sidecar and one self-contained HTML page.
namespace bids {

// A summary that cannot be used: not JSON, another version, a field missing.
class SummaryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
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

  // "sub-01 ses-1 task-faces run-1": the run for people.
  std::string label() const;
  double scrubbedShare() const { return volumes > 0 ? double(scrubbed) / volumes : 0.0; }
  // The heatmap and the design picture beside the summary, relative to OUTPUT.
  std::string heatmap() const;
  std::string designPicture() const;
};

enum class Mark { none, amber, red };

// The thresholds a run crosses, with the worst mark.
struct RunMark {
  Mark mark = Mark::none;
  std::vector<std::string> reasons;  // "task VIF >= 10", in a fixed order
};

// VIF of a task predictor >= 5 amber, >= 10 red; more than 20 % of the volumes scrubbed red;
// condition number >= 30 amber.
RunMark markRun(const RunRow& row);
const char* markName(Mark mark);  // "ok", "amber", "red"
// The reasons joined by "; "; "" when there are none.
std::string joinedReasons(const RunMark& mark);

// How many of the rows are marked amber and how many red.
struct MarkCounts {
  std::size_t amber = 0;
  std::size_t red = 0;
};
MarkCounts countMarks(const std::vector<RunRow>& rows);

// One summary's row; `relative` is its path relative to OUTPUT. Throws SummaryError.
RunRow readRunRow(const std::string& json, const std::string& relative);

// Every summary under OUTPUT/sub-*/ (the files *_desc-brindle_design.json), in byte order of
// their paths. Throws SummaryError naming each file that cannot be used.
std::vector<RunRow> readRunRows(const std::filesystem::path& output);

std::string groupTable(const std::vector<RunRow>& rows);  // group_report.tsv
std::string groupTableSidecar();                          // group_report.json
std::string groupPage(const std::vector<RunRow>& rows);   // group_report.html
// The page's plot: an inline SVG bar of the largest task VIF of every run, in the rows' order,
// each bar linking to its row ("#run-1", ...), the limits 5 and 10 drawn across.
std::string vifPlot(const std::vector<RunRow>& rows);

// Reads the summaries and writes the three files; messages go to `log`. Returns the exit status.
int runGroup(const std::filesystem::path& output, std::ostream& log);

}  // namespace bids
