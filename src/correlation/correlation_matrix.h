#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

// The correlations of every ordered pair of predictors, as the correlation report needs them.
// Cell (i, j) is correlation(predictors[i], predictors[j]) bit for bit (a NaN cell is a NaN,
// whatever its payload). Each predictor's statistics are computed once; many pairs run side by
// side, each pair with its own sum in data-point order (see block_kernel.h). The predictors are
// views of their values, which are not copied (sdm::valuesOf makes them).
namespace correlation {

// Cells held at a time by the streaming form below: 2^24 floats, 64 MiB.
inline constexpr std::size_t correlationCellLimit = std::size_t{1} << 24;

// Receives the cells `cells` of row `row`, columns firstColumn ... firstColumn + size - 1.
using CorrelationPieceVisitor =
    std::function<void(std::size_t row, std::size_t firstColumn, std::span<const float> cells)>;

// Calls `visit` for consecutive pieces of the K x K matrix in row-major order: every row is
// delivered whole (in one or more pieces, columns in order) before the next begins. Holds about
// three times `cellLimit` cells at a time (the cells and two kinds of dot products), plus the
// statistics of the predictors and four packs of the values of at most max(2^20, K + 16) floats
// each, whatever K and n are: nothing grows with K x n, so the extra memory is a small part of
// the design matrix's own. When K * K fits the limit each unordered pair is computed once;
// otherwise rows are computed in bands (and, when one row exceeds the limit, in column pieces)
// and each ordered pair is computed on its own, with the same bits. The work runs on up to
// threadCount() threads (base/thread_count.h), split by cells, never within a sum, so the bits are
// the same for every count; `visit` is called on the calling thread only, and no thread outlives
// the call. Exceptions from `visit` pass through.
void forEachCorrelationPiece(std::span<const std::span<const float>> predictors,
                             const CorrelationPieceVisitor& visit,
                             std::size_t cellLimit = correlationCellLimit);

// How many times this process has gone over the pairs of a set of predictors (calls of
// forEachCorrelationPiece, which correlationMatrix makes too): lets a test see that a report
// computes its correlations once.
std::size_t correlationPasses();

// The whole matrix: cell i * K + j holds the correlation of predictors i and j. Allocates
// K * K floats.
std::vector<float> correlationMatrix(std::span<const std::span<const float>> predictors);

// The same matrix the literal way: `correlation` called for every ordered pair. The
// reference that the fast version is tested against; time K^2 * n.
std::vector<float> correlationMatrixReference(std::span<const std::span<const float>> predictors);

}  // namespace correlation
