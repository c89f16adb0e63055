#include "merge/append.h"

#include <algorithm>
#include <cstddef>

#include "merge/paths.h"

void DesignMatrix::append(const DesignMatrix& other) {
  if (&other == this) {
    // Appending to itself would grow the source while reading it.
    const DesignMatrix copy = other;
    append(copy);
    return;
  }
  if (nrOfDataPoints.value == other.nrOfDataPoints.value) {
    // The other's header count bounds the loop as everywhere, but never past its arrays.
    const std::size_t count = std::min({static_cast<std::size_t>(std::max(other.nrOfPredictors.value, 0)),
                                        other.values.size(), other.names.size(), other.red.size(),
                                        other.green.size(), other.blue.size()});
    for (std::size_t i = 0; i < count; ++i) {
      // A predictor is a confound when its 1-based position lies in the other's confound block.
      const bool isConfound = static_cast<long long>(i) + 1 >= other.firstConfoundPredictor.value;
      addPredictor(other.values[i], other.names[i], other.red[i], other.green[i], other.blue[i],
                   isConfound);
    }
  }
  fileName = insertSuffix(fileName, mergeSuffix(fileName, other.fileName));
}

DesignMatrix concatenate(const DesignMatrix& first, const DesignMatrix& second) {
  DesignMatrix result = first;
  result.append(second);
  return result;
}
