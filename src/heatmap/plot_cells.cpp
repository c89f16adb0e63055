#include "heatmap/plot_cells.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "heatmap/colour_scale.h"
#include "heatmap/plot_legend.h"
#include "heatmap/svg_line.h"

namespace heatmap {

namespace {

using svgtext::Line;

constexpr int nanBin = 101;  // after every hundredths bin, so the NaN colour comes last
constexpr int16_t noCell = INT16_MIN;

int binOf(float r) { return std::isnan(r) ? nanBin : correlationHundredths(r); }

// Appends "Mx yhWvCh-Wz": a rectangle `columns` cells wide at cell (row, column).
void appendRun(std::string& d, const PlotLayout& layout, std::size_t row, std::size_t column,
               std::size_t columns) {
  const long long w = static_cast<long long>(columns) * layout.cell;
  Line(d)
      .raw('M')
      .num(layout.gridX + static_cast<long long>(column) * layout.cell)
      .raw(' ')
      .num(layout.gridY + static_cast<long long>(row) * layout.cell)
      .raw('h')
      .num(w)
      .raw('v')
      .num(layout.cell)
      .raw("h-")
      .num(w)
      .raw('z');
}

// Appends the path of the cells of bin `bin` among `bins` (K x K, noCell where no cell is
// coloured).
void appendBinPath(base::ChunkedText& out, const PlotLayout& layout,
                   const std::vector<int16_t>& bins, std::size_t k, int bin) {
  std::string colour;
  if (bin == nanBin)
    colour = nanCellColour;
  else
    appendHexColour(colour, divergingColour(bin));
  Line(out.text).raw("<path").str("fill", colour).raw(" d=\"");
  for (std::size_t i = 0; i < k; ++i) {
    const int16_t* row = bins.data() + i * k;
    for (std::size_t j = 0; j < k;) {
      if (row[j] != bin) {
        ++j;
        continue;
      }
      std::size_t end = j + 1;
      while (end < k && row[end] == bin) ++end;
      appendRun(out.text, layout, i, j, end - j);
      j = end;
    }
    out.spillWhenFull();
  }
  Line(out.text).raw("\"/>").end();
}

}  // namespace

void appendCells(base::ChunkedText& out, const PlotLayout& layout,
                 std::span<const GridPredictor> predictors, std::span<const float> correlations) {
  const std::size_t k = predictors.size();
  // A bin per cell, so that each colour's path is written in one pass without being held.
  std::vector<int16_t> bins(k * k, noCell);
  std::array<bool, 202> present{};
  for (std::size_t i = 0; i < k; ++i) {
    if (!predictors[i].regular) continue;
    for (std::size_t j = 0; j < k; ++j) {
      if (!predictors[j].regular) continue;
      const int bin = binOf(correlations[i * k + j]);
      bins[i * k + j] = static_cast<int16_t>(bin);
      present[static_cast<std::size_t>(bin + 100)] = true;
    }
  }
  Line(out.text).raw("<g shape-rendering=\"crispEdges\">").end();
  for (int bin = -100; bin <= nanBin; ++bin)
    if (present[static_cast<std::size_t>(bin + 100)]) appendBinPath(out, layout, bins, k, bin);
  for (std::size_t i = 0; i < k; ++i) {
    if (predictors[i].regular) continue;
    const long long at = static_cast<long long>(i) * layout.cell;
    appendHatching(out.text, layout.gridX, layout.gridY + at, layout.grid, layout.cell);
    appendHatching(out.text, layout.gridX + at, layout.gridY, layout.cell, layout.grid);
  }
  Line(out.text).raw("</g>").end();
  if (k > 0) appendGridBorder(out.text, layout.gridX, layout.gridY, layout.grid, layout.grid);
}

void appendCellTitles(base::ChunkedText& out, const PlotLayout& layout,
                      std::span<const GridPredictor> predictors,
                      std::span<const float> correlations) {
  const std::size_t k = predictors.size();
  if (k == 0 || k > maxTitledPredictors) return;
  // Painted but unseen: a shape with a fill takes the pointer even at opacity 0.
  Line(out.text).raw("<g fill=\"#000000\" fill-opacity=\"0\">").end();
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j) {
      Line line(out.text);
      line.raw("<rect")
          .box(layout.gridX + static_cast<long long>(j) * layout.cell,
               layout.gridY + static_cast<long long>(i) * layout.cell, layout.cell, layout.cell)
          .raw("><title>")
          .raw(predictors[i].name)
          .raw(" ~ ")
          .raw(predictors[j].name);
      if (!predictors[i].regular || !predictors[j].regular) {
        line.raw(": no correlation")
            .raw(predictors[i].regular ? predictors[j].why : predictors[i].why);
      } else if (const int bin = binOf(correlations[i * k + j]); bin == nanBin) {
        line.raw(": r = nan");
      } else {
        line.raw(": r = ").put(appendHundredths, bin);
      }
      line.raw("</title></rect>").end();
    }
    out.spillWhenFull();
  }
  Line(out.text).raw("</g>").end();
}

void appendFlaggedOutlines(base::ChunkedText& out, const PlotLayout& layout,
                           std::span<const GridPredictor> predictors,
                           std::span<const float> correlations, float threshold) {
  const std::size_t k = predictors.size();
  const auto flagged = [&](std::size_t i, std::size_t j) {
    return j != i && predictors[i].regular && predictors[j].regular &&
           std::fabs(correlations[i * k + j]) >= threshold;
  };
  bool any = false;
  for (std::size_t c = 0; c < k * k && !any; ++c) any = flagged(c / k, c % k);
  if (!any) return;  // a NaN threshold flags nothing
  Line(out.text).raw(
      "<path class=\"flagged\" fill=\"none\" stroke=\"#111111\" stroke-width=\"1\" d=\"");
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j)
      if (flagged(i, j)) appendRun(out.text, layout, i, j, 1);
    out.spillWhenFull();
  }
  Line(out.text).raw("\"/>").end();
}

}  // namespace heatmap
