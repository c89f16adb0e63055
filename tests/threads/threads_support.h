#pragma once

// What the tests of the parallel steps share: a result's bytes, a computation compared bit for bit
// for 1, 2 and 7 threads, and an SDM of made-up values.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>

#include "base/parallel.h"
#include "support/sdm_text.h"

namespace threads_support {

// Appends the bytes of `value` to `out`: a tuple's parts in turn, a plain value as it lies in
// memory (NaN payloads and signed zeros included; only types without padding are passed), and a
// container as its size and then its items. Two results are the same bits when these are equal.
template <typename T>
void appendBytes(std::string& out, const T& value) {
  if constexpr (requires { std::tuple_size<T>::value; }) {
    std::apply([&](const auto&... parts) { (appendBytes(out, parts), ...); }, value);
  } else if constexpr (std::is_trivially_copyable_v<T>) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
  } else {
    appendBytes(out, value.size());
    for (const auto& item : value) appendBytes(out, item);
  }
}

template <typename T>
std::string bytesOf(const T& value) {
  std::string out;
  appendBytes(out, value);
  return out;
}

// compute() under 1, 2 and 7 threads, the bytes of bits(result) expected to be those of 1 thread
// every time; returns the result of 1 thread. The thread count is as before afterwards.
template <typename Compute, typename Bits = std::identity>
auto sameForEveryCount(const std::string& what, const Compute& compute, const Bits& bits = {}) {
  const auto one = [&] {
    const base::ScopedThreadCount single(1);
    return compute();
  }();
  for (const std::size_t threads : {2u, 7u}) {
    const base::ScopedThreadCount count(threads);
    EXPECT_TRUE(bytesOf(bits(compute())) == bytesOf(bits(one)))
        << what << ", " << threads << " threads";
  }
  return one;
}

// An SDM of K predictors P1 ... PK over n data points of made-up values, the second half of them
// confounds, with a constant last when K > 2.
inline SdmText madeUpSdm(std::size_t k, std::size_t n) {
  SdmText text;
  text.firstConfound = static_cast<int>(k / 2 + 1);
  text.includesConstant = k > 2;
  uint32_t state = static_cast<uint32_t>(k * 131 + n);
  for (std::size_t p = 0; p < k; ++p) text.names.push_back("P" + std::to_string(p + 1));
  for (std::size_t t = 0; t < n; ++t) {
    std::string row;
    char value[32];
    for (std::size_t p = 0; p < k; ++p) {
      state = state * 1664525u + 1013904223u;
      const double x = text.includesConstant && p + 1 == k
                           ? 1.0
                           : static_cast<double>(state >> 8) / 16777216.0 * 6.0 - 3.0 +
                                 0.5 * static_cast<double>(t % 17);
      std::snprintf(value, sizeof value, " %10.6f", x);
      row += value;
    }
    text.rows.push_back(row);
  }
  return text;
}

}  // namespace threads_support
