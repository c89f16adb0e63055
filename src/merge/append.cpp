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
  matrix.firstConfoundPredictor.value = static_cast<int32_t>(std::clamp<int64_t>(
      matrix.firstConfoundPredictor.value, 1, static_cast<int64_t>(matrix.values.size()) + 1));
  if (matrix.nrOfDataPoints.value == other.nrOfDataPoints.value) {
    // The other's header count bounds the loop as everywhere, but never past its arrays.
    const std::size_t count = std::min(
        {static_cast<std::size_t>(std::max(other.nrOfPredictors.value, 0)), other.values.size(),
         other.names.size(), other.red.size(), other.green.size(), other.blue.size()});
    for (std::size_t i = 0; i < count; ++i) {
      // A predictor is a confound when its 1-based position lies in the other's confound block.
      const bool isConfound = static_cast<long long>(i) + 1 >= other.firstConfoundPredictor.value;
      matrix.addPredictor(other.values[i], other.names[i], other.red[i], other.green[i],
                          other.blue[i], isConfound);
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
