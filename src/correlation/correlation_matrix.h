#pragma once

#include <cstddef>
#include <span>
#include <vector>

// The correlations of every ordered pair of predictors, as the correlation report needs them.

// Cell i * K + j holds correlation(predictors[i], predictors[j]) for K = predictors.size(),
// bit for bit (a NaN cell is a NaN, whatever its payload). Computes each predictor's
// statistics once and each unordered pair once, several pairs side by side, each pair with
// its own sum in data-point order. Allocates about 4 bytes per value plus 8 per cell.
std::vector<float> correlationMatrix(std::span<const std::vector<float>> predictors);

// The same matrix the literal way: `correlation` called for every ordered pair. The
// reference that the fast version is tested against; time K^2 * n.
std::vector<float> correlationMatrixReference(std::span<const std::vector<float>> predictors);
