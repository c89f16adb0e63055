#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/notice.h"
#include "events/event_grid.h"

// BIDS events files: tab-separated text, one header row of column names, "n/a" for a missing
// value. The columns "onset" and "duration" (seconds) are required, "trial_type" (the
// condition) and "modulation" (the amplitude) are optional, any other column is ignored.
//
// Lines end in LF or CRLF; a UTF-8 byte order mark, blanks around cells and blank lines are
// ignored; numbers are read in the classic notation whatever the locale. A row whose onset,
// duration (negative too), trial_type (empty too) or modulation is "n/a" or unreadable is
// skipped; all such rows make one warning, "2 event(s) skipped (rows 4, 9)", which gives each
// row by its 1-based line number in the file (blank lines counted) and lists the first ten.
//
// A file that is not tab-separated events (no header row, no onset or duration column, a row
// with another number of cells than the header, a control byte other than tab, a line longer
// than maxEventsLineBytes, more than maxEvents events or maxSdmPredictors conditions) is
// refused: IOError "Invalid events file " + path + " (line L: reason)".
namespace events {

// Lines (the carriage return before a line feed not counted) hold at most this many bytes.
inline constexpr std::size_t maxEventsLineBytes = std::size_t{1} << 20;

// A file holds at most this many events.
inline constexpr int64_t maxEvents = int64_t{1} << 24;

// The name of the one condition of a file without a "trial_type" column.
inline constexpr const char* defaultCondition = "trial";

// An events file as read: its conditions and their events.
struct EventsTable {
  std::vector<std::string> conditions;     // distinct trial_type values, in byte order
  std::vector<std::vector<Event>> events;  // parallel to `conditions`, in file order
  std::vector<base::Notice> notices;       // the warning about skipped rows, if any
};

// Reads the events file at `path` through the file-system seam, as described above. Also
// throws OpenFileError "Failed opening for reading: " + path and IOError "Failed reading
// from: " + path, each followed by " (" + the system's reason + ")" (sdm/sdm_input.h).
EventsTable readEventsFile(const std::string& path);

}  // namespace events
