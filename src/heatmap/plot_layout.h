#pragma once

#include <cstddef>

namespace heatmap {

// Where the parts of the heatmap go, in whole pixels. Cells shrink as predictors grow, so the
// grid stays near 900 pixels from 25 to 450 predictors; names are drawn for every `labelStep`-th
// predictor, so that drawn names stay at least 11 pixels apart.
struct PlotLayout {
  int count = 0;            // predictors
  int cell = 0;             // cell side
  int labelStep = 1;        // a name for every labelStep-th predictor, starting with the first
  int labelFont = 12;       // font size of the names
  bool showValues = false;  // cells are large enough to print their r
  int gridX = 0;            // left edge of the grid
  int gridY = 0;            // top edge of the grid
  int grid = 0;             // side of the grid: count * cell
  int barX = 0;             // left edge of the colour bar
  int barHeight = 0;        // height of the colour bar (its top is gridY)
  int width = 0;            // of the whole picture
  int height = 0;

  static constexpr int pad = 16;  // around everything
  static constexpr int titleBaseline = 36;
  static constexpr int subtitleBaseline = 56;
  static constexpr int tick = 3;      // tick marks beside drawn names
  static constexpr int labelGap = 3;  // between tick and name
  static constexpr int barWidth = 16;
  static constexpr int legendItem = 22;  // height of one legend line
  static constexpr int bandHeight = 34;  // the interest/confound band under the grid
  static constexpr int bannerLine = 20;  // one line of the banner under the subtitle
};

// The layout for `count` predictors whose longest drawn name has `labelCharacters` characters,
// whose title has `titleCharacters` characters and whose subtitle `subtitleCharacters`: the
// picture is wide enough for both, and `bannerLines` lines of banner fit under the subtitle.
PlotLayout plotLayout(std::size_t count, std::size_t labelCharacters, std::size_t titleCharacters,
                      std::size_t subtitleCharacters, std::size_t bannerLines = 0);

// The estimated width of `characters` characters of the monospaced name font at `fontSize`.
int monospaceWidth(std::size_t characters, int fontSize);

}  // namespace heatmap
