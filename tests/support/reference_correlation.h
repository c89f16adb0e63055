#pragma once

#include <cmath>
#include <cstddef>

namespace testing_support {

// Pearson's r in double precision, two-pass: the reference for correlations computed in single
// precision, whatever the element type of `a` and `b`.
template <typename A, typename B>
double referenceCorrelation(const A& a, const B& b) {
  const auto n = static_cast<double>(a.size());
  double ma = 0, mb = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    ma += a[i];
    mb += b[i];
  }
  ma /= n;
  mb /= n;
  double ab = 0, aa = 0, bb = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    ab += (a[i] - ma) * (b[i] - mb);
    aa += (a[i] - ma) * (a[i] - ma);
    bb += (b[i] - mb) * (b[i] - mb);
  }
  return ab / std::sqrt(aa * bb);
}

}  // namespace testing_support
