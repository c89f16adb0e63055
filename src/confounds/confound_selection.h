#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sdm/design_matrix.h"

// Choosing the confounds of a file the way the common denoising strategies do.
//
// `terms` holds comma-separated terms; blanks around a term and empty terms are ignored. A term
// is a preset (letters in any case) or a column name in which "*" stands for any text and "?"
// for one character:
//   motion6    trans_x trans_y trans_z rot_x rot_y rot_z
//   motion12   motion6, then the six *_derivative1
//   motion24   motion12, then the six *_power2, then the six *_derivative1_power2
//   wm_csf     white_matter csf
//   global     global_signal
//   compcor5   a_comp_cor_00 ... a_comp_cor_04
//   cosine     cosine*
//   outliers   motion_outlier* non_steady_state_outlier* (may match nothing: a pipeline writes
//              outlier columns only for runs that have outliers)
//   scrub      one spike regressor per volume of high motion (confounds/scrub.h); "scrub:FD:DVARS"
//              sets the thresholds
// A name without wildcards that the file lacks is computed when it ends in "_derivative1"
// (d[0] = 0, d[t] = x[t] - x[t-1]) or "_power2" (x * x) and the rest of it names a column or
// can be computed in turn, in single precision; "trans_x_derivative1_power2" squares the
// derivative. Columns come out in the order of the terms (wildcards in file order), each column
// once; a column identical value for value (bit for bit) to one taken before it is left out. An
// absent or blank `terms` means motion6 when the file has those six columns, else every column.
//
// Each column taken is of the kind of the preset that took it: motion (motion6/12/24), signal
// (wm_csf, global), compcor (compcor5), cosine, outlier (outliers) or scrub. A column taken by
// its name or a pattern (or as every column) is motion when the name begins "trans_" or "rot_",
// compcor when it holds "comp_cor", else a confound of no known family; the first term to take a
// column decides.
namespace confounds {

// The chosen columns of `table` (a matrix read by readConfoundFile) as a new matrix of
// confounds (confoundMatrix, with `table.fileName`). Throws std::runtime_error
// "No confound column matches \"TERM\" in " + table.fileName + " (columns: " + the first ten
// names joined by ", " + ", ..." when the file has more than ten + ")" for a term (or a column
// a preset names) that matches nothing, and std::runtime_error with the problem the contract
// finds in a term (contract::confoundTermProblem, its first letter a capital: "Confound term too
// long: 300 bytes (at most 256)", "Invalid scrub term ...", "Unknown confound preset ...") before
// any column is taken.
sdm::DesignMatrix selectConfounds(const sdm::DesignMatrix& table, std::string_view terms);

// The chosen columns, what the log says about how some were made (scrubbing's note) and the
// columns left out as copies of earlier ones ("copy = earlier").
struct SelectedConfounds {
  sdm::DesignMatrix matrix;
  std::vector<std::string> notes;
  std::vector<std::string> leftOut;
};
SelectedConfounds chooseConfounds(const sdm::DesignMatrix& table, std::string_view terms);

}  // namespace confounds
