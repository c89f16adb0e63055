#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/notice.h"
#include "contract/predictor_names.h"
#include "events/event_grid.h"

// BIDS events files: tab-separated text, one header row of column names, "n/a" for a missing
// value. The columns "onset" and "duration" (seconds) are required, and so are the modulator
// columns the reader is told to take; the condition column ("trial_type" unless the reader is
// told another) and "modulation" (the amplitude) are optional, any other column is ignored. A file
// without a condition column of the default name holds one condition, "trial", and is warned about
// when it has other columns that might name conditions
// ("no trial_type column: every event is the condition "trial" (columns: onset, duration,
// stim_type)"); a condition column named by the caller must be there.
//
// Lines end in LF or CRLF; a UTF-8 byte order mark, blanks around cells and blank lines are
// ignored; numbers are read in the classic notation whatever the locale. A row is skipped for the
// first of its cells, in the order onset, duration, modulation, condition, that cannot be used:
// "onset n/a", "onset empty", "onset not a number", "duration negative", "trial_type n/a" (the
// condition column by its name), "trial_type empty"... Each reason makes one warning, in the order
// the reasons first came, "2 event(s) skipped: onset n/a (lines 4, 9)", which gives each row by its
// 1-based line number in the file (blank lines counted) and lists the first ten.
//
// A file that is not tab-separated events (no header row, no onset or duration column, no
// condition column the caller named, a row with another number of cells than the header, a
// control byte other than tab, a line longer than maxEventsLineBytes, more than maxEvents events
// or maxSdmPredictors conditions) is refused: IOError "Invalid events file " + path + " (line L:
// reason)".
namespace events {

// Lines (the carriage return before a line feed not counted) hold at most this many bytes.
inline constexpr std::size_t maxEventsLineBytes = std::size_t{1} << 20;

// A file holds at most this many events.
inline constexpr int64_t maxEvents = int64_t{1} << 24;

// The condition column unless the reader is told another, and the name of the one condition of a
// file without it.
inline constexpr const char* defaultConditionColumn = "trial_type";
inline constexpr const char* defaultCondition = contract::defaultCondition;

// The columns a reader is told to take.
struct EventsColumns {
  std::string condition;  // the condition column; "": trial_type, and "trial" when it is absent
  std::vector<std::string> modulators;  // columns whose numbers weight the events
};

// An events file as read: its conditions and their events.
struct EventsTable {
  std::vector<std::string> conditions;     // distinct condition values, in byte order
  std::vector<std::vector<Event>> events;  // parallel to `conditions`, in file order
  // Per modulator column asked for, per condition: the condition's events whose cell in that
  // column is a number, with that number as their amplitude (a cell "n/a" or unreadable leaves
  // the event out of the modulator only).
  std::vector<std::vector<std::vector<Event>>> modulated;
  std::vector<base::Notice> notices;        // the warnings above, in order
  std::vector<base::SkippedLines> skipped;  // the rows skipped, by reason, as the warnings say
};

// Reads the events file at `path` through the file-system seam, as described above. Also
// throws OpenFileError "Failed opening for reading: " + path and IOError "Failed reading from: "
// + path, each followed by " (" + the system's reason + ")" (sdm/sdm_input.h), and IOError
// "Invalid events file " + path + " (line 1: no rt column)" for a modulator column the header
// lacks.
EventsTable readEventsFile(const std::string& path, const EventsColumns& columns = {});

}  // namespace events
