#pragma once

#include <cstdint>
#include <string>

// Realistic confound files of the preprocessing pipelines researchers run, written from the
// published descriptions of their formats, the same for the same options on every platform.
// All formats of one seed hold the same head motion: a slow drift with two sudden movements.
namespace tools {

enum class ConfoundTextFormat {
  tsv,   // a fMRIPrep-like confounds table (see generateConfoundText)
  par,   // FSL MCFLIRT: rot_x rot_y rot_z (radians) trans_x trans_y trans_z (mm), 6 digits
  rp,    // SPM realign rp_*.txt: trans_x trans_y trans_z (mm) rot_x rot_y rot_z (radians), as
         // MATLAB's ASCII save writes them ("   1.2345678e-02")
  afni,  // AFNI .1D: a commented header with ColumnLabels "roll ; pitch ; yaw ; dS ; dL ; dP"
         // (degrees and mm)
};

struct ConfoundShape {
  int points = 120;             // data points (rows)
  double repetitionTime = 2.0;  // seconds; the cosine columns cover drifts slower than 1/128 Hz
  int aCompCor = 6;             // a_comp_cor_00 ...
  int tCompCor = 2;             // t_comp_cor_00 ...
  int cCompCor = 2;             // c_comp_cor_00 ...
  int wCompCor = 2;             // w_comp_cor_00 ...
  uint64_t seed = 1;            // the same seed gives the same files
};

// The whole text of a confound file of `shape` in `format`, LF line ends. The TSV holds, in this
// order: global_signal, csf and white_matter each with _derivative1, _power2 and
// _derivative1_power2; csf_wm, tcompcor, std_dvars, dvars, framewise_displacement, rmsd;
// t_, c_, w_ and a_comp_cor_NN; cosineNN; non_steady_state_outlier00 and 01; the six motion
// parameters each with its three expansions; motion_outlierNN for the data points whose
// framewise displacement exceeds 0.5 mm. Derivatives, DVARS, displacement and rmsd are "n/a"
// at the first data point; motion is written as single-precision numbers ("-0.0913467"), the
// rest as double precision in the shortest form ("4.62162030625e-11"). Returns "" when a count
// is negative.
std::string generateConfoundText(const ConfoundShape& shape, ConfoundTextFormat format);

// The number of columns of the TSV of `shape` (its motion outliers included).
int confoundColumnCount(const ConfoundShape& shape);

}  // namespace tools
