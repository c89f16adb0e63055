#include "correlation/correlation_matrix.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>

#include "correlation/block_kernel.h"
#include "correlation/correlation.h"

namespace {

// Data points per pass over the blocks. A pass reads chunk * panelLanes floats (8 KiB) of every
// panel it touches, twice (the values and the values less their means): for a thousand
// predictors one megabyte, which stays in the second-level cache while every partner panel is
// paired with it.
constexpr std::size_t chunk = 128;

// The most floats one pack of panels holds (4 MiB): with more than 8,192 predictors a pass takes
// fewer data points, down to one, so that the packs grow with K alone, never with K x n.
constexpr std::size_t packLimit = std::size_t{1} << 20;

std::size_t roundUp(std::size_t value, std::size_t multiple) {
  return (value + multiple - 1) / multiple * multiple;
}

// The counts as predictorStats converts them: n from the element count, n - 1 on the unsigned
// 64-bit count (for n = 0 that wraps, and the quotient becomes 0).
float countOf(std::size_t n) { return static_cast<float>(n); }
float degreesOf(std::size_t n) { return static_cast<float>(static_cast<uint64_t>(n) - 1u); }

// The predictors of one length. With two or more members and at least one data point they are
// paired in panels (see block_kernel.h), which are packed a piece of data points at a time.
struct LengthGroup {
  std::size_t n = 0;
  std::vector<std::size_t> members;  // predictor indices, increasing
  bool paired = false;               // two or more members and data points: panels are used
  bool anyPassing = false;           // a member that can correlate to anything but 0

  std::size_t panelCount() const { return (members.size() + panelLanes - 1) / panelLanes; }
};

struct Prepared {
  std::vector<PredictorStats> stats;  // by predictor index
  std::vector<char> passing;          // by predictor index: not flat (isFlat)
  std::vector<LengthGroup> groups;
};

// Data points per piece when `panels` panels are packed at once.
std::size_t pieceLength(std::size_t panels) {
  return std::clamp<std::size_t>(packLimit / (panels * panelLanes), 1, chunk);
}

// Packs data points t0 ... t0 + count - 1 of the members in panels first ... last - 1 into
// `raw`, panel after panel (value t of lane l at t * panelLanes + l), lanes past the last member
// 0. With `means`, stores each value less its member's mean instead (rounded to float, as
// predictorStats and the centred correlation take the difference).
void pack(std::span<const std::vector<float>> predictors, const LengthGroup& group,
          std::size_t first, std::size_t last, std::size_t t0, std::size_t count,
          const std::vector<PredictorStats>* means, std::vector<float>& raw) {
  raw.resize((last - first) * count * panelLanes);
  for (std::size_t p = first; p < last; ++p) {
    float* panel = raw.data() + (p - first) * count * panelLanes;
    const std::size_t lanes = std::min(panelLanes, group.members.size() - p * panelLanes);
    for (std::size_t l = 0; l < lanes; ++l) {
      const std::size_t member = group.members[p * panelLanes + l];
      const float* source = predictors[member].data() + t0;
      if (means) {
        const float mean = (*means)[member].mean;
        for (std::size_t t = 0; t < count; ++t) panel[t * panelLanes + l] = source[t] - mean;
      } else {
        for (std::size_t t = 0; t < count; ++t) panel[t * panelLanes + l] = source[t];
      }
    }
    for (std::size_t t = 0; t < count; ++t) {
      for (std::size_t l = lanes; l < panelLanes; ++l) panel[t * panelLanes + l] = 0.0f;
    }
  }
}

// The statistics of a paired group's members, lane by lane in data-point order: the sums, the
// means, then the squared deviations, each pass a piece of data points at a time.
void groupStats(std::span<const std::vector<float>> predictors, const LengthGroup& group,
                std::vector<PredictorStats>& stats) {
  const std::size_t panels = group.panelCount();
  const std::size_t step = pieceLength(panels);
  std::vector<float> sums(panels * panelLanes, 0.0f);
  std::vector<float> packed;
  const PanelSumsKernel sumsKernel = panelSumsKernel();
  for (std::size_t t0 = 0; t0 < group.n; t0 += step) {
    const std::size_t count = std::min(step, group.n - t0);
    pack(predictors, group, 0, panels, t0, count, nullptr, packed);
    for (std::size_t p = 0; p < panels; ++p)
      sumsKernel(packed.data() + p * count * panelLanes, count, sums.data() + p * panelLanes);
  }
  for (std::size_t m = 0; m < group.members.size(); ++m)
    stats[group.members[m]].mean = sums[m] / countOf(group.n);

  std::vector<float>& squares = sums;
  std::fill(squares.begin(), squares.end(), 0.0f);
  const PanelSquaresKernel squaresKernel = panelSquaresKernel();
  for (std::size_t t0 = 0; t0 < group.n; t0 += step) {
    const std::size_t count = std::min(step, group.n - t0);
    pack(predictors, group, 0, panels, t0, count, &stats, packed);
    for (std::size_t p = 0; p < panels; ++p)
      squaresKernel(packed.data() + p * count * panelLanes, count, squares.data() + p * panelLanes);
  }
  for (std::size_t m = 0; m < group.members.size(); ++m)
    stats[group.members[m]].stdDev = std::sqrt(squares[m] / degreesOf(group.n));
}

// Statistics of every predictor, once, and the groups of equal length: only predictors of
// equal length can correlate to anything but 0.
Prepared prepare(std::span<const std::vector<float>> predictors) {
  Prepared prepared;
  prepared.stats.resize(predictors.size());
  prepared.passing.resize(predictors.size());
  std::map<std::size_t, std::vector<std::size_t>> byLength;
  for (std::size_t i = 0; i < predictors.size(); ++i) byLength[predictors[i].size()].push_back(i);
  for (auto& [n, members] : byLength) {
    LengthGroup group;
    group.n = n;
    group.members = std::move(members);
    group.paired = n > 0 && group.members.size() > 1;
    if (group.paired) {
      groupStats(predictors, group, prepared.stats);
    } else {
      for (const std::size_t i : group.members) prepared.stats[i] = predictorStats(predictors[i]);
    }
    for (const std::size_t i : group.members) {
      const bool passing = !isFlat(predictors[i], prepared.stats[i]);
      prepared.passing[i] = passing;
      group.anyPassing = group.anyPassing || passing;
    }
    prepared.groups.push_back(std::move(group));
  }
  return prepared;
}

// The dot products of a rectangle of one group, both kinds: of the values (`raw`) and of the
// values less their means (`centred`), tile cell (a - rowBegin) * stride + (b - panelBegin *
// panelLanes) for members a and b.
struct Tiles {
  std::vector<float> raw, centred;
};

// The packs of one piece: the row panels' and the partner panels' values, plain and centred.
struct Packs {
  std::vector<float> rowRaw, rowCentred, partnerRaw, partnerCentred;
};

// Dot products of the group's members rowBegin ... rowEnd - 1 (multiples of blockRows) with the
// members of panels panelBegin ... panelEnd - 1. With `upperOnly` the blocks that lie wholly
// below the diagonal (a > b) are skipped.
void groupDots(std::span<const std::vector<float>> predictors, const Prepared& prepared,
               const LengthGroup& group, std::size_t rowBegin, std::size_t rowEnd,
               std::size_t panelBegin, std::size_t panelEnd, bool upperOnly, Tiles& tiles,
               Packs& packs) {
  const std::size_t stride = (panelEnd - panelBegin) * panelLanes;
  tiles.raw.assign((rowEnd - rowBegin) * stride, 0.0f);
  tiles.centred.assign((rowEnd - rowBegin) * stride, 0.0f);
  const std::size_t rowPanelBegin = rowBegin / panelLanes;
  const std::size_t rowPanelEnd = (rowEnd + panelLanes - 1) / panelLanes;
  // The whole matrix pairs the panels with themselves: one pack serves as rows and partners.
  const bool samePanels = rowPanelBegin == panelBegin && rowPanelEnd == panelEnd;
  const std::size_t step =
      pieceLength(std::max(panelEnd - panelBegin, rowPanelEnd - rowPanelBegin));
  const BlockKernel kernel = blockKernel();
  for (std::size_t t0 = 0; t0 < group.n; t0 += step) {
    const std::size_t count = std::min(step, group.n - t0);
    pack(predictors, group, panelBegin, panelEnd, t0, count, nullptr, packs.partnerRaw);
    pack(predictors, group, panelBegin, panelEnd, t0, count, &prepared.stats, packs.partnerCentred);
    if (!samePanels) {
      pack(predictors, group, rowPanelBegin, rowPanelEnd, t0, count, nullptr, packs.rowRaw);
      pack(predictors, group, rowPanelBegin, rowPanelEnd, t0, count, &prepared.stats,
           packs.rowCentred);
    }
    const std::vector<float>& rowRaw = samePanels ? packs.partnerRaw : packs.rowRaw;
    const std::vector<float>& rowCentred = samePanels ? packs.partnerCentred : packs.rowCentred;
    // One kind after the other, so that a pass holds only one pack in the cache.
    for (const bool centred : {false, true}) {
      const float* rowPack = (centred ? rowCentred : rowRaw).data();
      const float* partnerPack = (centred ? packs.partnerCentred : packs.partnerRaw).data();
      float* tile = (centred ? tiles.centred : tiles.raw).data();
      for (std::size_t partnerPanel = panelBegin; partnerPanel < panelEnd; ++partnerPanel) {
        const float* partners = partnerPack + (partnerPanel - panelBegin) * count * panelLanes;
        const std::size_t rowLimit =
            upperOnly ? std::min(rowEnd, (partnerPanel + 1) * panelLanes) : rowEnd;
        for (std::size_t row = rowBegin; row < rowLimit; row += blockRows) {
          const float* rows =
              rowPack + (row / panelLanes - rowPanelBegin) * count * panelLanes + row % panelLanes;
          kernel(rows, partners, count,
                 tile + (row - rowBegin) * stride + (partnerPanel - panelBegin) * panelLanes,
                 stride);
        }
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
               const LengthGroup& group, const Rectangle& rect, Tiles& tiles, Packs& packs) {
  if (!group.anyPassing || group.n == 0) return;  // every cell 0
  const auto& members = group.members;
  const auto firstAtOrAfter = [&](std::size_t index) {
    return static_cast<std::size_t>(std::lower_bound(members.begin(), members.end(), index) -
                                    members.begin());
  };
  const std::size_t ma = firstAtOrAfter(rect.r0), mb = firstAtOrAfter(rect.r1);
  const std::size_t ca = firstAtOrAfter(rect.c0), cb = firstAtOrAfter(rect.c1);
  if (ma == mb || ca == cb) return;
  if (!group.paired) {
    // A predictor alone in its length pairs with itself only; correlation() is exact here.
    const std::size_t i = members[ma];
    rect.at(i, i) = correlation(predictors[i], predictors[i]);
    return;
  }
  const std::size_t rowBegin = ma / blockRows * blockRows, rowEnd = roundUp(mb, blockRows);
  const std::size_t panelBegin = ca / panelLanes, panelEnd = (cb + panelLanes - 1) / panelLanes;
  groupDots(predictors, prepared, group, rowBegin, rowEnd, panelBegin, panelEnd, rect.whole, tiles,
            packs);
  const std::size_t stride = (panelEnd - panelBegin) * panelLanes;

  // The counts as correlation() converts them: from a 32-bit signed length.
  const auto count = static_cast<int32_t>(group.n);
  const auto nf = static_cast<float>(count);
  const auto nMinus1 = static_cast<float>(count - 1);
  for (std::size_t a = ma; a < mb; ++a) {
    const std::size_t i = members[a];
    if (!prepared.passing[i]) continue;
    const PredictorStats& sa = prepared.stats[i];
    const float* dots = tiles.raw.data() + (a - rowBegin) * stride;
    const float* centredDots = tiles.centred.data() + (a - rowBegin) * stride;
    const std::size_t firstColumn = panelBegin * panelLanes;
    for (std::size_t b = rect.whole ? std::max(a, ca) : ca; b < cb; ++b) {
      const std::size_t j = members[b];
      if (!prepared.passing[j]) continue;
      const PredictorStats& sb = prepared.stats[j];
      // The same operations as correlation(); each is commutative, so (j, i) gets the same bits.
      const float numerator = dots[b - firstColumn] - (sb.mean * sa.mean) * nf;
      const float denominator = (sb.stdDev * sa.stdDev) * nMinus1;
      const float r =
          chooseCorrelation(numerator / denominator, centredDots[b - firstColumn] / denominator);
      rect.at(i, j) = r;
      if (rect.whole) rect.at(j, i) = r;
    }
  }
}

}  // namespace

namespace {
std::atomic<std::size_t> passes{0};
}  // namespace

std::size_t correlationPasses() { return passes.load(std::memory_order_relaxed); }

void forEachCorrelationPiece(std::span<const std::vector<float>> predictors,
                             const CorrelationPieceVisitor& visit, std::size_t cellLimit) {
  passes.fetch_add(1, std::memory_order_relaxed);
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
  Tiles tiles;
  Packs packs;
  for (std::size_t r0 = 0; r0 < k; r0 += bandRows) {
    const std::size_t r1 = std::min(k, r0 + bandRows);
    for (std::size_t c0 = 0; c0 < k; c0 += pieceColumns) {
      const std::size_t c1 = std::min(k, c0 + pieceColumns);
      cells.assign((r1 - r0) * (c1 - c0), 0.0f);
      const Rectangle rect{r0, r1, c0, c1, whole, cells};
      for (const LengthGroup& group : prepared.groups)
        fillGroup(predictors, prepared, group, rect, tiles, packs);
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
