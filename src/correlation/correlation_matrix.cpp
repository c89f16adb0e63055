#include "correlation/correlation_matrix.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>

#include "correlation/block_kernel.h"
#include "correlation/correlation.h"

namespace {

// Data points per pass over the blocks. A pass reads chunk * panelLanes floats (8 KiB) of every
// panel it touches: for a thousand predictors half a megabyte, which stays in the second-level
// cache while every partner panel is paired with it.
constexpr std::size_t chunk = 128;

// Data points per step when the panels are filled: the step's part of a panel (4 KiB) stays in
// the first-level cache while the panel's predictors are copied into it one by one.
constexpr std::size_t copyStep = 64;

std::size_t roundUp(std::size_t value, std::size_t multiple) {
  return (value + multiple - 1) / multiple * multiple;
}

// The predictors of one length. With two or more members and at least one data point they are
// copied into panels (see block_kernel.h); the last panel is padded with zero lanes.
struct LengthGroup {
  std::size_t n = 0;
  std::vector<std::size_t> members;  // predictor indices, increasing
  std::vector<float> panels;         // empty for a lone predictor or no data points
  bool anyPassing = false;           // a member's standard deviation passes the floor

  std::size_t panelCount() const { return (members.size() + panelLanes - 1) / panelLanes; }
  const float* panel(std::size_t p) const { return panels.data() + p * n * panelLanes; }
};

struct Prepared {
  std::vector<PredictorStats> stats;  // by predictor index
  std::vector<LengthGroup> groups;
};

bool passesFloor(const PredictorStats& stats) { return !(stats.stdDev < minStdDev); }

void fillPanels(std::span<const std::vector<float>> predictors, LengthGroup& group) {
  const std::size_t n = group.n;
  group.panels.assign(group.panelCount() * n * panelLanes, 0.0f);
  for (std::size_t p = 0; p < group.panelCount(); ++p) {
    float* panel = group.panels.data() + p * n * panelLanes;
    const std::size_t lanes = std::min(panelLanes, group.members.size() - p * panelLanes);
    for (std::size_t t0 = 0; t0 < n; t0 += copyStep) {
      const std::size_t t1 = std::min(n, t0 + copyStep);
      for (std::size_t l = 0; l < lanes; ++l) {
        const float* source = predictors[group.members[p * panelLanes + l]].data();
        for (std::size_t t = t0; t < t1; ++t) panel[t * panelLanes + l] = source[t];
      }
    }
  }
}

// Statistics of every predictor, once, and the groups of equal length: only predictors of
// equal length can correlate to anything but 0.
Prepared prepare(std::span<const std::vector<float>> predictors) {
  Prepared prepared;
  prepared.stats.resize(predictors.size());
  std::map<std::size_t, std::vector<std::size_t>> byLength;
  for (std::size_t i = 0; i < predictors.size(); ++i) byLength[predictors[i].size()].push_back(i);
  const PanelStatsKernel statsKernel = panelStatsKernel();
  for (auto& [n, members] : byLength) {
    LengthGroup group;
    group.n = n;
    group.members = std::move(members);
    if (n > 0 && group.members.size() > 1) {
      fillPanels(predictors, group);
      for (std::size_t p = 0; p < group.panelCount(); ++p) {
        PredictorStats lanes[panelLanes];
        statsKernel(group.panel(p), n, lanes);
        for (std::size_t l = 0; l < panelLanes && p * panelLanes + l < group.members.size(); ++l) {
          prepared.stats[group.members[p * panelLanes + l]] = lanes[l];
        }
      }
    } else {
      for (const std::size_t i : group.members) prepared.stats[i] = predictorStats(predictors[i]);
    }
    for (const std::size_t i : group.members)
      group.anyPassing = group.anyPassing || passesFloor(prepared.stats[i]);
    prepared.groups.push_back(std::move(group));
  }
  return prepared;
}

// Dot products of the group's members rowBegin ... rowEnd - 1 (multiples of blockRows) with the
// members of panels panelBegin ... panelEnd - 1: tile cell (a - rowBegin) * stride + (b -
// panelBegin * panelLanes) for members a and b. With `upperOnly` the blocks that lie wholly
// below the diagonal (a > b) are skipped.
void groupDots(const LengthGroup& group, std::size_t rowBegin, std::size_t rowEnd,
               std::size_t panelBegin, std::size_t panelEnd, bool upperOnly,
               std::vector<float>& tile) {
  const std::size_t stride = (panelEnd - panelBegin) * panelLanes;
  tile.assign((rowEnd - rowBegin) * stride, 0.0f);
  const BlockKernel kernel = blockKernel();
  for (std::size_t t0 = 0; t0 < group.n; t0 += chunk) {
    const std::size_t count = std::min(chunk, group.n - t0);
    for (std::size_t partnerPanel = panelBegin; partnerPanel < panelEnd; ++partnerPanel) {
      const float* partners = group.panel(partnerPanel) + t0 * panelLanes;
      const std::size_t rowLimit =
          upperOnly ? std::min(rowEnd, (partnerPanel + 1) * panelLanes) : rowEnd;
      for (std::size_t row = rowBegin; row < rowLimit; row += blockRows) {
        const float* rows = group.panel(row / panelLanes) + t0 * panelLanes + row % panelLanes;
        kernel(rows, partners, count,
               tile.data() + (row - rowBegin) * stride + (partnerPanel - panelBegin) * panelLanes,
               stride);
      }
    }
  }
}

// One rectangle of the matrix: rows r0 ... r1 - 1 and columns c0 ... c1 - 1 of the predictor
// indices, cell (i - r0) * (c1 - c0) + (j - c0), all zeros but the pairs computed here.
struct Rectangle {
  std::size_t r0, r1, c0, c1;
  bool whole;  // the whole matrix: each unordered pair once, mirrored
  std::vector<float>& cells;
  float& at(std::size_t i, std::size_t j) const { return cells[(i - r0) * (c1 - c0) + (j - c0)]; }
};

void fillGroup(std::span<const std::vector<float>> predictors, const Prepared& prepared,
               const LengthGroup& group, const Rectangle& rect, std::vector<float>& tile) {
  if (!group.anyPassing || group.n == 0) return;  // every cell 0
  const auto& members = group.members;
  const auto firstAtOrAfter = [&](std::size_t index) {
    return static_cast<std::size_t>(std::lower_bound(members.begin(), members.end(), index) -
                                    members.begin());
  };
  const std::size_t ma = firstAtOrAfter(rect.r0), mb = firstAtOrAfter(rect.r1);
  const std::size_t ca = firstAtOrAfter(rect.c0), cb = firstAtOrAfter(rect.c1);
  if (ma == mb || ca == cb) return;
  if (group.panels.empty()) {
    // A predictor alone in its length pairs with itself only; correlation() is exact here.
    const std::size_t i = members[ma];
    rect.at(i, i) = correlation(predictors[i], predictors[i]);
    return;
  }
  const std::size_t rowBegin = ma / blockRows * blockRows, rowEnd = roundUp(mb, blockRows);
  const std::size_t panelBegin = ca / panelLanes, panelEnd = (cb + panelLanes - 1) / panelLanes;
  groupDots(group, rowBegin, rowEnd, panelBegin, panelEnd, rect.whole, tile);
  const std::size_t stride = (panelEnd - panelBegin) * panelLanes;

  // The counts as correlation() converts them: from a 32-bit signed length.
  const auto count = static_cast<int32_t>(group.n);
  const auto nf = static_cast<float>(count);
  const auto nMinus1 = static_cast<float>(count - 1);
  for (std::size_t a = ma; a < mb; ++a) {
    const std::size_t i = members[a];
    const PredictorStats& sa = prepared.stats[i];
    if (!passesFloor(sa)) continue;
    const float* dots = tile.data() + (a - rowBegin) * stride;
    const std::size_t firstColumn = panelBegin * panelLanes;
    for (std::size_t b = rect.whole ? std::max(a, ca) : ca; b < cb; ++b) {
      const std::size_t j = members[b];
      const PredictorStats& sb = prepared.stats[j];
      if (!passesFloor(sb)) continue;
      // The same operations as correlation(); each is commutative, so (j, i) gets the same bits.
      const float numerator = dots[b - firstColumn] - (sb.mean * sa.mean) * nf;
      const float denominator = (sb.stdDev * sa.stdDev) * nMinus1;
      const float r = numerator / denominator;
      rect.at(i, j) = r;
      if (rect.whole) rect.at(j, i) = r;
    }
  }
}

}  // namespace

void forEachCorrelationPiece(std::span<const std::vector<float>> predictors,
                             const CorrelationPieceVisitor& visit, std::size_t cellLimit) {
  const std::size_t k = predictors.size();
  if (k == 0) return;
  const Prepared prepared = prepare(predictors);
  cellLimit = std::max<std::size_t>(cellLimit, 1);
  const bool whole = k <= cellLimit / k;
  // Bands of rows, as many as the limit holds; a row longer than the limit goes in pieces,
  // whose kernel tile of blockRows rows stays within the limit too.
  const std::size_t bandRows = whole ? k : std::max<std::size_t>(1, cellLimit / k);
  const std::size_t pieceColumns =
      bandRows == 1 && k > cellLimit
          ? std::max(panelLanes, roundUp(cellLimit / blockRows, panelLanes))
          : k;

  std::vector<float> cells;
  std::vector<float> tile;
  for (std::size_t r0 = 0; r0 < k; r0 += bandRows) {
    const std::size_t r1 = std::min(k, r0 + bandRows);
    for (std::size_t c0 = 0; c0 < k; c0 += pieceColumns) {
      const std::size_t c1 = std::min(k, c0 + pieceColumns);
      cells.assign((r1 - r0) * (c1 - c0), 0.0f);
      const Rectangle rect{r0, r1, c0, c1, whole, cells};
      for (const LengthGroup& group : prepared.groups)
        fillGroup(predictors, prepared, group, rect, tile);
      for (std::size_t i = r0; i < r1; ++i) {
        visit(i, c0, std::span<const float>(cells).subspan((i - r0) * (c1 - c0), c1 - c0));
      }
    }
  }
}

std::vector<float> correlationMatrix(std::span<const std::vector<float>> predictors) {
  const std::size_t k = predictors.size();
  std::vector<float> result(k * k);
  forEachCorrelationPiece(
      predictors, [&](std::size_t row, std::size_t firstColumn, std::span<const float> cells) {
        std::copy(cells.begin(), cells.end(),
                  result.begin() + static_cast<std::ptrdiff_t>(row * k + firstColumn));
      });
  return result;
}

std::vector<float> correlationMatrixReference(std::span<const std::vector<float>> predictors) {
  const std::size_t k = predictors.size();
  std::vector<float> result(k * k);
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j)
      result[i * k + j] = correlation(predictors[i], predictors[j]);
  }
  return result;
}
