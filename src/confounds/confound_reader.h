#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sdm/design_matrix.h"
#include "sdm/sdm_input.h"

// Confound files written by preprocessing pipelines, read into a design matrix of confounds.
// The kind of file is chosen by its name (letters in any case):
//   ".tsv"           tab-separated, one header row of column names (BIDS; fMRIPrep's confounds)
//   ".csv"           the same with commas
//   ".par"           six blank-separated motion columns rot_x rot_y rot_z trans_x trans_y trans_z
//                    (radians and mm, in the order the FSL motion correction writes them)
//   "rp_*.txt"       six blank-separated motion columns trans_x trans_y trans_z rot_x rot_y rot_z
//                    (mm and radians, as SPM's realignment writes them)
//   ".1D", ".txt"    blank-separated columns; "#" starts a comment; a comment
//                    `# ColumnLabels = "a ; b ; c"` names the columns, else "Column 1", ...
//                    In a ".1D" file AFNI's motion labels roll pitch yaw dS dL dP become
//                    rot_z rot_x rot_y trans_z trans_x trans_y (degrees and mm, as written),
//                    and so do six unlabelled columns of a file named "dfile*" or "motion*"
// Every other name (".sdm" above all) is an SDM file, and so is a file of any name whose text
// begins with an SDM header key ("FileVersion:", "NrOfPredictors:", ...).
namespace confounds {

enum class ConfoundFormat { sdm, tsv, csv, fslMotion, spmMotion, columns };

// The kind of file `path` names, from its base name alone.
ConfoundFormat confoundFormatOf(const std::string& path);

// True when `path` names a confound file rather than an SDM: by its name, unless the file begins
// like an SDM. Opens the file to look; a file that cannot be opened counts by its name.
bool isConfoundFile(const std::string& path);

// The kind of the file at `path` that `in` has just opened, from the bytes it read ahead and the
// name: an SDM when they begin like one; for a name without any extension (a pipe such as
// /dev/fd/63), a table with tabs or with commas when its first line holds one; else by the name.
// Reads nothing more, so a pipe is read once.
ConfoundFormat formatOf(const sdm::SdmInput& in, const std::string& path);

// At most this many columns in a confound file; a wider line is refused before its values are
// held.
inline constexpr int64_t maxConfoundColumns = int64_t{1} << 20;

// Lines before the column count is known (the header row, comments, the first row of a
// headerless file) hold at most this many bytes.
inline constexpr std::size_t maxConfoundHeaderBytes = std::size_t{1} << 24;

// Longest line accepted once a file has `columns` columns: 64 bytes a value plus 4096, the
// bound of an SDM data line. The carriage return before the line feed is not counted.
constexpr std::size_t confoundLineBound(std::size_t columns) { return columns * 64 + 4096; }

// Cells that were read as 0 because they held "n/a" outside the first data row, or no finite
// number in the classic notation.
struct UnreadableCells {
  int64_t values = 0;                    // such cells in the whole file
  int64_t dataPoints = 0;                // data rows holding at least one
  std::vector<int64_t> firstDataPoints;  // the first five of those rows, 1-based, ascending
  int64_t firstRowMissing = 0;           // "n/a" cells of the first data row (read as 0 silently)
  int64_t cells = 0;                     // every cell of the file
};

// A confound file as read: every column, in file order, and the cells read as 0.
struct ConfoundFile {
  sdm::DesignMatrix matrix;  // made by confoundMatrix (confounds/confound_matrix.h) from `path`
  UnreadableCells unreadable;
};

// Reads the confound file at `path` in the kind confoundFormatOf gives (a name it would read as
// an SDM is read as blank-separated columns). Lines end in LF or CRLF; a UTF-8 byte order mark
// is skipped. A cell is a number in any decimal notation ("-0.0913467", "4.62162030625e-11",
// "+1.", ".5E3"), converted to double in the classic locale and rounded to float; blanks and one
// pair of double quotes around it are dropped. "n/a" in the first data row reads as 0 silently
// (derivatives have no value there); "n/a" elsewhere, an empty cell, text, NaN, infinities and
// numbers beyond the float range read as 0 and are counted in `unreadable`.
//
// A ".tsv" or ".csv" file's first line names the columns, unless every field of it is a number
// (or "n/a"): then it is the first data row and the columns are "Column 1", "Column 2", ....
// Empty names become "Column k" too. Blank lines at the start and the end are skipped; one
// between rows is a row with one empty cell. In blank-separated files, blank and comment lines
// are skipped anywhere, and a first data line in which no field is a number (or "n/a") names
// the columns when no ColumnLabels comment did; labels missing from that comment are
// "Column k", extra ones are dropped.
//
// Throws OpenFileError "Failed opening for reading: " + path when the file cannot be opened;
// IOError with a message naming the file:
//   "No confound data in " + path                     no data row at all (an empty file)
//   "Rows of different lengths in " + path + " (line 7 has 5 columns, line 1 has 6 columns)"
//                                  the first line that differs from the first row (the header
//                                  row or the first data row); a blank one "is blank"
//   "Expected 6 motion columns in " + path + " (line 1 has 7)"   ".par" and "rp_*.txt"
//   "Too many columns in " + path + " (line 1)"       more than maxConfoundColumns
//   "Too many values in " + path + " (line 9)"        more values than an SDM may hold
//   "Line too long in " + path                         a line beyond its bound
//   "Failed reading from: " + path                     a read error
ConfoundFile readConfoundFile(const std::string& path);
// The same from `in`, which has just opened `path` and consumed nothing, read as `format`.
ConfoundFile readConfoundFile(sdm::SdmInput& in, const std::string& path, ConfoundFormat format);

}  // namespace confounds
