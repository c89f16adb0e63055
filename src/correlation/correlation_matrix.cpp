#include "correlation/correlation_matrix.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>

#include "base/parallel.h"
#include "correlation/block_kernel.h"
#include "correlation/correlation.h"

namespace correlation {

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

// Packs data points t0 ... t0 + count - 1 of the members in panel p into `panel` (count *
// panelLanes floats: value t of lane l at t * panelLanes + l), lanes past the last member 0.
// With `means`, stores each value less its member's mean instead (rounded to float, as
// predictorStats and the centred correlation take the difference).
void packPanel(std::span<const std::span<const float>> predictors, const LengthGroup& group,
               std::size_t p, std::size_t t0, std::size_t count,
               const std::vector<PredictorStats>* means, float* panel) {
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

// One panel's sums of a paired group, lane by lane in data-point order, a piece of data points
// at a time: of the values (`means` null), or of the squared deviations from the means.
void panelStats(std::span<const std::span<const float>> predictors, const LengthGroup& group,
                std::size_t p, const std::vector<PredictorStats>* means, float* sums) {
  const std::size_t step = pieceLength(group.panelCount());
  std::vector<float> packed(step * panelLanes);
  const PanelSumsKernel sumsKernel = panelSumsKernel();
  const PanelSquaresKernel squaresKernel = panelSquaresKernel();
  for (std::size_t t0 = 0; t0 < group.n; t0 += step) {
    const std::size_t count = std::min(step, group.n - t0);
    packPanel(predictors, group, p, t0, count, means, packed.data());
    if (means)
      squaresKernel(packed.data(), count, sums);
    else
      sumsKernel(packed.data(), count, sums);
  }
}

// The statistics of a paired group's members: the sums, the means, then the squared deviations,
// each panel on its own (a part of the team's work, its sums in memory of its own until done).
void groupStats(std::span<const std::span<const float>> predictors, const LengthGroup& group,
                std::vector<PredictorStats>& stats, base::WorkerTeam& team) {
  const std::size_t panels = group.panelCount();
  std::vector<float> sums(panels * panelLanes, 0.0f);
  team.forEach(panels, [&](std::size_t p) {
    float own[panelLanes] = {};
    panelStats(predictors, group, p, nullptr, own);
    std::copy(own, own + panelLanes, sums.data() + p * panelLanes);
  });
  for (std::size_t m = 0; m < group.members.size(); ++m)
    stats[group.members[m]].mean = sums[m] / countOf(group.n);

  std::vector<float>& squares = sums;
  std::fill(squares.begin(), squares.end(), 0.0f);
  team.forEach(panels, [&](std::size_t p) {
    float own[panelLanes] = {};
    panelStats(predictors, group, p, &stats, own);
    std::copy(own, own + panelLanes, squares.data() + p * panelLanes);
  });
  for (std::size_t m = 0; m < group.members.size(); ++m)
    stats[group.members[m]].stdDev = std::sqrt(squares[m] / degreesOf(group.n));
}

// The predictors grouped by length, in increasing length: only predictors of equal length can
// correlate to anything but 0.
Prepared groupByLength(std::span<const std::span<const float>> predictors) {
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
    prepared.groups.push_back(std::move(group));
  }
  return prepared;
}

// Statistics of every predictor, once, and which of them can correlate to anything but 0.
void computeStats(std::span<const std::span<const float>> predictors, Prepared& prepared,
                  base::WorkerTeam& team) {
  for (LengthGroup& group : prepared.groups) {
    if (group.paired) {
      groupStats(predictors, group, prepared.stats, team);
    } else {
      for (const std::size_t i : group.members) prepared.stats[i] = predictorStats(predictors[i]);
    }
    for (const std::size_t i : group.members) {
      const bool passing = !isFlat(predictors[i], prepared.stats[i]);
      prepared.passing[i] = passing;
      group.anyPassing = group.anyPassing || passing;
    }
  }
}

// Pairs times data points below which the cells are computed on one thread: about a
// millisecond's work, less than starting threads for it would save.
constexpr std::size_t parallelWork = std::size_t{1} << 22;

// The threads worth starting: one for little work, else no more than twice the panels of the
// largest paired group (the parts of one step).
std::size_t usefulThreads(const Prepared& prepared) {
  std::size_t panels = 0, work = 0;
  for (const LengthGroup& group : prepared.groups) {
    if (!group.paired) continue;
    panels = std::max(panels, group.panelCount());
    work += group.members.size() * group.members.size() / 2 * group.n;
  }
  return std::clamp<std::size_t>(2 * panels, 1, base::threadsFor(work, parallelWork));
}

// The dot products of a rectangle of one group, both kinds: of the values (`raw`) and of the
// values less their means (`centred`), tile cell (a - rowBegin) * stride + (b - panelBegin *
// panelLanes) for members a and b.
struct Tiles {
  // Room for `size` cells of each kind, all 0, the memory taken (once, and again only to grow) and
  // zeroed by parts of the team's work: a large matrix's tiles are first written on every core.
  // Each kind starts at a multiple of 64 bytes, so that a partner panel's 16 columns of a row
  // are one cache line, which no other part writes.
  void zero(std::size_t size, base::WorkerTeam& team) {
    if (size > capacity) {
      rawStorage.reset();
      centredStorage.reset();
      raw = aligned(rawStorage, size);
      centred = aligned(centredStorage, size);
      capacity = size;
    }
    constexpr std::size_t cellsPerPart = std::size_t{1} << 16;
    team.forEach(2 * ((size + cellsPerPart - 1) / cellsPerPart), [&](std::size_t part) {
      float* cells = part % 2 == 0 ? raw : centred;
      const std::size_t first = part / 2 * cellsPerPart;
      std::fill(cells + first, cells + std::min(size, first + cellsPerPart), 0.0f);
    });
  }

  float* raw = nullptr;
  float* centred = nullptr;

 private:
  static float* aligned(std::unique_ptr<float[]>& storage, std::size_t size) {
    constexpr std::size_t line = 64;
    storage = std::make_unique_for_overwrite<float[]>(size + line / sizeof(float));
    void* start = storage.get();
    std::size_t space = (size + line / sizeof(float)) * sizeof(float);
    return static_cast<float*>(std::align(line, size * sizeof(float), start, space));
  }

  std::unique_ptr<float[]> rawStorage, centredStorage;
  std::size_t capacity = 0;
};

// The packs of one piece: the row panels' and the partner panels' values, plain and centred.
struct Packs {
  std::vector<float> rowRaw, rowCentred, partnerRaw, partnerCentred;
};

// One rectangle of dot products: the group's members rowBegin ... rowEnd - 1 (multiples of
// blockRows) with the members of panels panelBegin ... panelEnd - 1. With `upperOnly` the blocks
// that lie wholly below the diagonal (a > b) are skipped.
struct DotsJob {
  std::span<const std::span<const float>> predictors;
  const Prepared& prepared;
  const LengthGroup& group;
  std::size_t rowBegin, rowEnd, panelBegin, panelEnd;
  bool upperOnly;

  std::size_t rowPanelBegin() const { return rowBegin / panelLanes; }
  std::size_t rowPanelEnd() const { return (rowEnd + panelLanes - 1) / panelLanes; }
  // The whole matrix pairs the panels with themselves: one pack serves as rows and partners.
  bool samePanels() const { return rowPanelBegin() == panelBegin && rowPanelEnd() == panelEnd; }
};

// Packs data points t0 ... t0 + count - 1 of the job's partner panels (and row panels, unless
// they are the same), plain and centred, each panel of each kind a part of the team's work.
void packPiece(const DotsJob& job, std::size_t t0, std::size_t count, Packs& packs,
               base::WorkerTeam& team) {
  const std::size_t partners = job.panelEnd - job.panelBegin;
  const std::size_t rows = job.samePanels() ? 0 : job.rowPanelEnd() - job.rowPanelBegin();
  const std::size_t panelSize = count * panelLanes;
  packs.partnerRaw.resize(partners * panelSize);
  packs.partnerCentred.resize(partners * panelSize);
  packs.rowRaw.resize(rows * panelSize);
  packs.rowCentred.resize(rows * panelSize);
  team.forEach(2 * (partners + rows), [&](std::size_t part) {
    const bool centred = part % 2 != 0;
    const std::size_t q = part / 2;
    const bool partner = q < partners;
    const std::size_t p = partner ? job.panelBegin + q : job.rowPanelBegin() + (q - partners);
    std::vector<float>& pack = partner ? (centred ? packs.partnerCentred : packs.partnerRaw)
                                       : (centred ? packs.rowCentred : packs.rowRaw);
    packPanel(job.predictors, job.group, p, t0, count, centred ? &job.prepared.stats : nullptr,
              pack.data() + (partner ? q : q - partners) * panelSize);
  });
}

// Adds the products of one packed piece of `count` data points to the tiles. Each partner panel
// of each kind is a part of the team's work and the only one that writes its tile columns; the
// partners with the most row blocks come first, so that the threads finish together.
void multiplyPiece(const DotsJob& job, std::size_t count, const Packs& packs, Tiles& tiles,
                   base::WorkerTeam& team) {
  const std::size_t panels = job.panelEnd - job.panelBegin;
  const std::size_t stride = panels * panelLanes;
  const BlockKernel kernel = blockKernel();
  const bool same = job.samePanels();
  // One kind after the other, so that the threads hold one pack in the cache at a time.
  team.forEach(2 * panels, [&](std::size_t part) {
    const bool centred = part >= panels;
    const std::size_t partnerPanel = job.panelEnd - 1 - part % panels;
    const std::vector<float>& partnerPack = centred ? packs.partnerCentred : packs.partnerRaw;
    const std::vector<float>& rowPack =
        same ? partnerPack : (centred ? packs.rowCentred : packs.rowRaw);
    const float* partners =
        partnerPack.data() + (partnerPanel - job.panelBegin) * count * panelLanes;
    float* tile =
        (centred ? tiles.centred : tiles.raw) + (partnerPanel - job.panelBegin) * panelLanes;
    const std::size_t rowLimit =
        job.upperOnly ? std::min(job.rowEnd, (partnerPanel + 1) * panelLanes) : job.rowEnd;
    for (std::size_t row = job.rowBegin; row < rowLimit; row += blockRows) {
      const float* rows = rowPack.data() +
                          (row / panelLanes - job.rowPanelBegin()) * count * panelLanes +
                          row % panelLanes;
      kernel(rows, partners, count, tile + (row - job.rowBegin) * stride, stride);
    }
  });
}

// The job's dot products, both kinds, into `tiles`: every tile cell keeps one sum in data-point
// order, pieces of data points one after the other.
void groupDots(const DotsJob& job, Tiles& tiles, Packs& packs, base::WorkerTeam& team) {
  const std::size_t stride = (job.panelEnd - job.panelBegin) * panelLanes;
  tiles.zero((job.rowEnd - job.rowBegin) * stride, team);
  const std::size_t step =
      pieceLength(std::max(job.panelEnd - job.panelBegin, job.rowPanelEnd() - job.rowPanelBegin()));
  for (std::size_t t0 = 0; t0 < job.group.n; t0 += step) {
    const std::size_t count = std::min(step, job.group.n - t0);
    packPiece(job, t0, count, packs, team);
    multiplyPiece(job, count, packs, tiles, team);
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

// The members whose cells one rectangle of a group gets: rows ma ... mb - 1 and columns
// ca ... cb - 1 (indices into the group's members); the tiles' first row, first column and row
// stride.
struct MemberRange {
  std::size_t ma, mb, ca, cb, rowBegin, firstColumn, stride;
};

// The cells of the rectangle's pairs from the tiles' dot products, blocks of rows as parts of the
// team's work (in the whole matrix a row writes its pairs with later members and their mirror
// cells, which no other row writes).
void cellsFromDots(const Prepared& prepared, const LengthGroup& group, const Rectangle& rect,
                   const Tiles& tiles, const MemberRange& range, base::WorkerTeam& team) {
  const std::size_t stride = range.stride;
  // The counts as correlation() converts them: from a 32-bit signed length.
  const auto count = static_cast<int32_t>(group.n);
  const auto nf = static_cast<float>(count);
  const auto nMinus1 = static_cast<float>(count - 1);
  constexpr std::size_t rowsPerPart = 16;
  const std::size_t blocks = (range.mb - range.ma + rowsPerPart - 1) / rowsPerPart;
  team.forEach(blocks, [&](std::size_t part) {
    // Blocks from the top and the bottom by turns: the threads work far apart (their mirror
    // cells then share no cache line), and long rows alternate with short ones.
    const std::size_t blockIndex = part % 2 == 0 ? part / 2 : blocks - 1 - part / 2;
    const std::size_t first = range.ma + blockIndex * rowsPerPart;
    for (std::size_t a = first; a < std::min(range.mb, first + rowsPerPart); ++a) {
      const std::size_t i = group.members[a];
      if (!prepared.passing[i]) continue;
      const PredictorStats& sa = prepared.stats[i];
      const float* dots = tiles.raw + (a - range.rowBegin) * stride;
      const float* centredDots = tiles.centred + (a - range.rowBegin) * stride;
      for (std::size_t b = rect.whole ? std::max(a, range.ca) : range.ca; b < range.cb; ++b) {
        const std::size_t j = group.members[b];
        if (!prepared.passing[j]) continue;
        const PredictorStats& sb = prepared.stats[j];
        // The same operations as correlation(); each is commutative, so (j, i) gets the same
        // bits.
        const std::size_t column = b - range.firstColumn;
        const float numerator = dots[column] - (sb.mean * sa.mean) * nf;
        const float denominator = (sb.stdDev * sa.stdDev) * nMinus1;
        const float r =
            chooseCorrelation(numerator / denominator, centredDots[column] / denominator);
        rect.at(i, j) = r;
        if (rect.whole) rect.at(j, i) = r;
      }
    }
  });
}

void fillGroup(std::span<const std::span<const float>> predictors, const Prepared& prepared,
               const LengthGroup& group, const Rectangle& rect, Tiles& tiles, Packs& packs,
               base::WorkerTeam& team) {
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
  groupDots({predictors, prepared, group, rowBegin, rowEnd, panelBegin, panelEnd, rect.whole},
            tiles, packs, team);
  cellsFromDots(
      prepared, group, rect, tiles,
      {ma, mb, ca, cb, rowBegin, panelBegin * panelLanes, (panelEnd - panelBegin) * panelLanes},
      team);
}

}  // namespace

namespace {
std::atomic<std::size_t> passes{0};
}  // namespace

std::size_t correlationPasses() { return passes.load(std::memory_order_relaxed); }

void forEachCorrelationPiece(std::span<const std::span<const float>> predictors,
                             const CorrelationPieceVisitor& visit, std::size_t cellLimit) {
  passes.fetch_add(1, std::memory_order_relaxed);
  const std::size_t k = predictors.size();
  if (k == 0) return;
  Prepared prepared = groupByLength(predictors);
  base::WorkerTeam team(usefulThreads(prepared));
  computeStats(predictors, prepared, team);
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
        fillGroup(predictors, prepared, group, rect, tiles, packs, team);
      for (std::size_t i = r0; i < r1; ++i) {
        visit(i, c0, std::span<const float>(cells).subspan((i - r0) * (c1 - c0), c1 - c0));
      }
    }
  }
}

std::vector<float> correlationMatrix(std::span<const std::span<const float>> predictors) {
  const std::size_t k = predictors.size();
  std::vector<float> result(k * k);
  forEachCorrelationPiece(
      predictors, [&](std::size_t row, std::size_t firstColumn, std::span<const float> cells) {
        std::copy(cells.begin(), cells.end(),
                  result.begin() + static_cast<std::ptrdiff_t>(row * k + firstColumn));
      });
  return result;
}

std::vector<float> correlationMatrixReference(std::span<const std::span<const float>> predictors) {
  const std::size_t k = predictors.size();
  std::vector<float> result(k * k);
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j)
      result[i * k + j] = correlation(predictors[i], predictors[j]);
  }
  return result;
}

}  // namespace correlation
