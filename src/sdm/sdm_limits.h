#pragma once

#include <cstddef>
#include <cstdint>

// The bounds the SDM reader puts on a file, so that a corrupt or hostile file fails fast
// instead of exhausting memory: counts are checked before anything is allocated, and no line
// is held beyond a length computed from the counts.
namespace sdm {

#ifndef BRINDLE_FUZZ_LIMITS
// At most this many predictors (N); a larger "NrOfPredictors:" is an invalid header.
inline constexpr int64_t maxSdmPredictors = int64_t{1} << 20;

// At most this many values in the whole matrix (N x M), and at most this many data points
// (M) even without predictors; more is an invalid header.
inline constexpr int64_t maxSdmValues = int64_t{1} << 28;
#else
// The fuzz programs (fuzz/) lower both limits, so that a few bytes cannot make every run
// allocate a matrix of a gigabyte; the checks themselves are the same.
inline constexpr int64_t maxSdmPredictors = int64_t{1} << 12;
inline constexpr int64_t maxSdmValues = int64_t{1} << 20;
#endif

// A header `width` stops growing here; longer runs of blanks after a key are still consumed.
inline constexpr int32_t maxSdmHeaderWidth = 4096;

// The header, up to the value of "FirstConfoundPredictor:", takes at most this many bytes;
// a file whose header runs on is an invalid header (the writer's takes about 150).
inline constexpr std::size_t maxSdmHeaderBytes = std::size_t{1} << 20;

// The colours of N predictors, in any spacing, take at most 1 MiB plus 64 bytes a predictor
// (the writer needs at most 37 for a triple and its separator).
constexpr std::size_t sdmColoursBound(int64_t predictors) {
  return (std::size_t{1} << 20) + static_cast<std::size_t>(predictors) * 64;
}

// Longest data line accepted for N predictors: 64 bytes a value (the writer needs at most
// 54 for any float) plus 4096. The carriage return before the line feed is not counted.
constexpr std::size_t sdmDataLineBound(int64_t predictors) {
  return static_cast<std::size_t>(predictors) * 64 + 4096;
}

// Longest names line accepted for N predictors: 1 MiB plus 16 KiB a predictor, at most
// 256 MiB. The carriage return before the line feed is not counted.
constexpr std::size_t sdmNamesLineBound(int64_t predictors) {
  const std::size_t bound = (std::size_t{1} << 20) + static_cast<std::size_t>(predictors) * 16384;
  return bound < (std::size_t{1} << 28) ? bound : (std::size_t{1} << 28);
}

}  // namespace sdm
