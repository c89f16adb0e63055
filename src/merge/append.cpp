#include "merge/append.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "merge/merge_names.h"

namespace merge {

void append(sdm::DesignMatrix& matrix, const sdm::DesignMatrix& other) {
  if (&other == &matrix) {
    // Appending to itself would grow the source while reading it.
    const sdm::DesignMatrix copy = other;
    append(matrix, copy);
    return;
  }
  // A merge result always names its first confound within 1..N+1, whatever the file said:
  // 0 or less counts as 1 (every predictor a confound) and N+2 or more as N+1 (none is), as
  // the other matrix's index is read below; the z-transform then touches the confounds only.
  matrix.firstConfoundPredictor = static_cast<int32_t>(std::clamp<int64_t>(
      matrix.firstConfoundPredictor, 1, static_cast<int64_t>(matrix.predictors.size()) + 1));
  if (matrix.nrOfDataPoints == other.nrOfDataPoints) {
    for (std::size_t i = 0; i < other.predictors.size(); ++i) {
      // A predictor is a confound when its 1-based position lies in the other's confound block.
      const bool isConfound = static_cast<long long>(i) + 1 >= other.firstConfoundPredictor;
      matrix.addPredictor(other.predictors[i], isConfound);
    }
  }
  matrix.fileName =
      base::insertSuffix(matrix.fileName, mergeSuffix(matrix.fileName, other.fileName));
}

sdm::DesignMatrix concatenate(const sdm::DesignMatrix& first, const sdm::DesignMatrix& second) {
  sdm::DesignMatrix result = first;
  append(result, second);
  return result;
}

}  // namespace merge
