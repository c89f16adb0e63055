#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/events_file.h"
#include "sdm/io_error.h"
#include "support/number_text.h"
#include "support/row_name.h"
#include "support/temp_dir.h"

using namespace base;
using namespace sdm;
using namespace events;

namespace {

using testing_support::numberText;

// One line per condition ("name: onset/duration/amplitude ..."), then one per notice.
std::string describe(const EventsTable& table) {
  std::string out;
  for (std::size_t c = 0; c < table.conditions.size(); ++c) {
    out += table.conditions[c] + ":";
    for (const Event& e : table.events[c])
      out +=
          " " + numberText(e.onset) + "/" + numberText(e.duration) + "/" + numberText(e.amplitude);
    out += "\n";
  }
  for (const Notice& notice : table.notices) out += "warning: " + notice.text + "\n";
  return out;
}

struct EventsCase {
  const char* what;
  std::string bytes;
  std::string expected;              // describe() of the table, or the IOError's message
  std::string conditionColumn = {};  // the column the reader is told to take
};

class EventsFileCases : public ::testing::TestWithParam<EventsCase> {};

TEST_P(EventsFileCases, ReadsTheExpectedEvents) {
  testing_support::TempDir dir;
  const std::string path = dir.write("sub-01_task-x_events.tsv", GetParam().bytes);
  std::string result;
  try {
    result = describe(readEventsFile(path, {GetParam().conditionColumn, {}}));
  } catch (const IOError& e) {
    result = e.what();
    if (const auto at = result.find(path); at != std::string::npos)
      result.replace(at, path.size(), "PATH");
  }
  EXPECT_EQ(result, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EventsFile, EventsFileCases,
    ::testing::ValuesIn(std::vector<EventsCase>{
        {"conditions in byte order, modulation, other columns ignored",
         "onset\tduration\ttrial_type\tmodulation\tresponse_time\n"
         "1.5\t2\tfaces\t0.5\tn/a\n0\t0\tHouses\t+1\t0.4\n3e0\t.25\tfaces\t-2\tx\n",
         "Houses: 0/0/1\nfaces: 1.5/2/0.5 3/0.25/-2\n"},
        {"n/a and unreadable rows are skipped, counted by line number",
         "onset\tduration\ttrial_type\tmodulation\n1\t1\ta\t1\n\n"
         "n/a\t1\ta\t1\n2\t1s\ta\t1\n3\t-1\ta\t1\n4\t1\tn/a\t1\n5\t1\t\t1\n"
         "6\t1\ta\tn/a\n7\tinf\ta\t1\n 8 \t 1 \t b \t 2 \n",
         "a: 1/1/1\nb: 8/1/2\n"
         "warning: 1 event(s) skipped: onset n/a (lines 4)\n"
         "warning: 2 event(s) skipped: duration not a number (lines 5, 10)\n"
         "warning: 1 event(s) skipped: duration negative (lines 6)\n"
         "warning: 1 event(s) skipped: trial_type n/a (lines 7)\n"
         "warning: 1 event(s) skipped: trial_type empty (lines 8)\n"
         "warning: 1 event(s) skipped: modulation n/a (lines 9)\n"},
        {"more than ten skipped rows list the first ten",
         "onset\tduration\nn/a\t1\nn/a\t1\nn/a\t1\nn/a\t1\nn/a\t1\nn/a\t1\n"
         "n/a\t1\nn/a\t1\nn/a\t1\nn/a\t1\nn/a\t1\nn/a\t1\n",
         "trial:\nwarning: 12 event(s) skipped: onset n/a (lines 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, "
         "...)\n"},
        {"without trial_type every event is a trial", "duration\tonset\n1\t2\n0\t4\n",
         "trial: 2/1/1 4/0/1\n"},
        {"without trial_type beside other columns, a warning names them",
         "onset\tduration\tstim_type\n1\t2\tface\n",
         "trial: 1/2/1\nwarning: no trial_type column: every event is the condition \"trial\" "
         "(columns: onset, duration, stim_type)\n"},
        {"the condition column named, its n/a cells skipped",
         "onset\tduration\ttrial_type\tstim_type\n1\t2\tx\tface\n3\t0\tx\tn/a\n5\t0\tx\thouse\n",
         "face: 1/2/1\nhouse: 5/0/1\nwarning: 1 event(s) skipped: stim_type n/a (lines 3)\n",
         "stim_type"},
        {"the condition column named, missing", "onset\tduration\ttrial_type\n1\t2\tx\n",
         "Invalid events file PATH (line 1: no column stim_type to name the conditions (columns: "
         "onset, duration, trial_type))",
         "stim_type"},
        {"CRLF lines and a byte order mark",
         "\xEF\xBB\xBFonset\tduration\ttrial_type\r\n1\t2\tgo\r\n\r\n3\t0\tgo\r",
         "go: 1/2/1 3/0/1\n"},
        {"no onset column", "duration\ttrial_type\n1\ta\n",
         "Invalid events file PATH (line 1: no onset column)"},
        {"no duration column", "\nonset\ttrial_type\n1\ta\n",
         "Invalid events file PATH (line 2: no duration column)"},
        {"blank-separated text", "onset duration trial_type\n1 2 a\n",
         "Invalid events file PATH (line 1: no onset column, the header has no tab)"},
        {"a row of another width", "onset\tduration\n1\t2\n3\n",
         "Invalid events file PATH (line 3: 1 cell(s), the header has 2)"},
        {"binary bytes", std::string("onset\tduration\n1\t2\0\n", 20),
         "Invalid events file PATH (line 2: byte 0x00, not tab-separated text)"},
        {"a carriage return inside a line", "onset\tduration\r1\t2\n",
         "Invalid events file PATH (line 1: byte 0x0D, not tab-separated text)"},
        {"an empty file", "", "Invalid events file PATH (line 1: no header row)"},
        {"a line beyond the bound", std::string(maxEventsLineBytes + 1, 'x'),
         "Invalid events file PATH (line 1: longer than 1048576 bytes)"}}),
    testing_support::rowName);

}  // namespace
