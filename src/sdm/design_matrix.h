#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sdm {

// The display colour of one predictor of an SDM file, as its colour line holds it.
struct PredictorColour {
  int32_t red = 0;
  int32_t green = 0;
  int32_t blue = 0;

  friend bool operator==(const PredictorColour&, const PredictorColour&) = default;
};

// What a predictor stands for, as the step that made it knows it. An SDM file has no place for
// it: a design read from one tells only interest from confound (by position) and the constant.
enum class PredictorKind {
  interest,  // a task predictor
  confound,  // a confound of unknown origin (one read from an SDM, a column of no known family)
  motion,    // a head motion parameter, or its derivative or square
  signal,    // the white matter, CSF or global signal
  compcor,   // a CompCor component
  cosine,    // a cosine drift regressor
  scrub,     // a spike regressor made by scrubbing
  outlier,   // an outlier column of a confound table (motion_outlier*, non_steady_state_outlier*)
  constant,  // the constant
};

// The kind's lower-case word: "interest", "confound", "motion", "signal", "compcor", "cosine",
// "scrub", "outlier" or "constant".
std::string_view kindName(PredictorKind kind);

// One predictor of a design: a column of 32-bit floats, one value per data point, with a name,
// a display colour and what it stands for. A plain value; copies are deep.
struct Predictor {
  std::string name;
  PredictorColour colour;
  PredictorKind kind = PredictorKind::confound;
  std::vector<float> values;  // values[t] for data point t
};

// The layout of an SDM file's header as the reader found it (sdm/sdm_file.h): only the SDM
// reader and writer look into it.
struct SdmLayout;

// A single-study design: its predictors in order, and what holds for the design as a whole.
//
// A plain value type: members are public, copies are deep and independent (the layout is never
// changed once made, so copies may share it). Predictors of interest come first, then the
// confound block from the 1-based index `firstConfoundPredictor`; a constant predictor, when
// there is one, is the last predictor. Every predictor normally holds `nrOfDataPoints` values.
class DesignMatrix {
 public:
  // An empty matrix: no predictors, no layout. Matrices normally come from the SDM reader
  // (sdm/sdm_file.h) or a copy.
  DesignMatrix() = default;

  // True when the last predictor is constant: non-empty, first value not 0.0, every value
  // equal to the first (a NaN is never equal).
  bool hasConstant() const;

  // Inserts `predictor`, its kind as given: at the end of the confound block (before a trailing
  // constant) when `isConfound`, else right before the first confound. Silently refuses a predictor
  // whose length differs from `nrOfDataPoints` and a second constant predictor. An inserted
  // predictor first brings a `firstConfoundPredictor` outside 1..N+1 (a loaded file may hold one)
  // into that range: 0 or less becomes 1 (all are confounds), N+2 or more becomes N+1 (none is), so
  // the insertion stays inside the list and the block is right.
  void addPredictor(Predictor predictor, bool isConfound);

  // Appends the predictor "Constant" (all 1.0, colour 255 255 255, kind constant) unless the
  // matrix ends in a constant predictor; marks the matrix as including a constant either way.
  void addConstant();

  // Removes the trailing constant predictor if there is one; marks the matrix as including
  // no constant either way.
  void removeConstant();

  std::string fileName;
  int32_t nrOfDataPoints = 0;          // M, the values of each predictor
  int32_t firstConfoundPredictor = 0;  // 1-based, as the header holds it (N + 1: no confound)
  bool includesConstant = false;       // the header's flag, as read or as the operations set it
  std::vector<Predictor> predictors;
  // How the header of the file it came from was laid out; null for a matrix made by hand.
  std::shared_ptr<const SdmLayout> layout;
};

// Gives every predictor of `matrix` the kind a file that holds no kinds tells: interest before
// the first confound, confound from it on (an index outside 1..N+1 read as the nearest end:
// 0 or less, all are confounds; N + 2 or more, none is), and constant for a trailing constant
// predictor (hasConstant).
void setKindsByPosition(DesignMatrix& matrix);

// The values of every one of `predictors`, in order: views into them, valid while those
// predictors' values are neither resized nor destroyed. The values are not copied.
std::vector<std::span<const float>> valuesOf(std::span<const Predictor> predictors);

// The names of `predictors`, in order.
std::vector<std::string> namesOf(std::span<const Predictor> predictors);

// The largest magnitude among the finite values of `values`; 0 when there is none.
float largestFiniteMagnitude(std::span<const float> values);

// True when `values` is a constant predictor: non-empty, its first value not 0.0 (nor -0.0),
// and every value equal to the first (a NaN equals nothing, so it never is).
bool isConstantPredictor(std::span<const float> values);

}  // namespace sdm
