#include "heatmap/plot_layout.h"

#include <algorithm>

namespace heatmap {

namespace {

constexpr int targetGrid = 900;
constexpr int minCell = 2;
constexpr int maxCell = 36;
constexpr int minLabelPitch = 11;
constexpr int valueCell = 30;  // the smallest cell that holds "-0.83" in the 9 px value font
constexpr int legendTextWidth = 210;
constexpr int minBar = 160;
constexpr int maxBar = 360;
constexpr int legendItems = 3;

}  // namespace

int monospaceWidth(std::size_t characters, int fontSize) {
  // A monospaced glyph is about 0.6 em wide; rounded up so that names never touch the grid.
  return static_cast<int>((characters * static_cast<std::size_t>(fontSize) * 3 + 4) / 5);
}

PlotLayout plotLayout(std::size_t count, std::size_t labelCharacters, std::size_t titleCharacters,
                      std::size_t subtitleCharacters, std::size_t bannerLines) {
  PlotLayout layout;
  layout.count = static_cast<int>(count);
  layout.cell = std::clamp(targetGrid / std::max(layout.count, 1), minCell, maxCell);
  layout.labelStep = (minLabelPitch + layout.cell - 1) / layout.cell;
  layout.labelFont = std::min(12, layout.cell * layout.labelStep - 2);
  layout.showValues = layout.cell >= valueCell;
  layout.grid = layout.count * layout.cell;

  const int labelSpace = std::max(monospaceWidth(labelCharacters, layout.labelFont), 8) +
                         PlotLayout::tick + PlotLayout::labelGap;
  layout.gridX = PlotLayout::pad + labelSpace;
  layout.gridY = PlotLayout::subtitleBaseline + 14 + labelSpace +
                 static_cast<int>(bannerLines) * PlotLayout::bannerLine;
  layout.barX = layout.gridX + layout.grid + 28;
  layout.barHeight = std::clamp(layout.grid, minBar, maxBar);

  // About 0.6 em a character: 11 pixels in the 18 px title, 7 in the 12 px subtitle.
  const int titleWidth = PlotLayout::pad * 2 + static_cast<int>(titleCharacters) * 11;
  const int subtitleWidth = PlotLayout::pad * 2 + static_cast<int>(subtitleCharacters) * 7;
  layout.width =
      std::max({layout.barX + PlotLayout::barWidth + 8 + legendTextWidth + PlotLayout::pad,
                titleWidth, subtitleWidth});
  const int legendBottom =
      layout.gridY + layout.barHeight + 18 + legendItems * PlotLayout::legendItem;
  layout.height =
      std::max(layout.gridY + layout.grid + PlotLayout::bandHeight, legendBottom) + PlotLayout::pad;
  return layout;
}

}  // namespace heatmap
