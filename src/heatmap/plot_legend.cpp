#include "heatmap/plot_legend.h"

#include <algorithm>
#include <utility>

#include "heatmap/svg_line.h"

namespace heatmap {

using svgtext::appendLines;
using svgtext::appendText;
using svgtext::Line;

void appendSvgStart(std::string& svg, int width, int height, const std::string& title,
                    std::string_view gradientId, std::span<const GradientStop> stops) {
  appendLines(svg, {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>"});
  Line(svg)
      .raw("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100%\"")
      .raw(" viewBox=\"0 0 ")
      .num(width)
      .raw(' ')
      .num(height)
      .raw("\">")
      .end();
  Line(svg).raw("<title>").raw(title).raw("</title>").end();
  appendLines(svg, {"<defs>",
                    "<pattern id=\"flat\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
                    "patternTransform=\"rotate(45)\">"
                    "<rect width=\"6\" height=\"6\" fill=\"#e2e4e8\"/>"
                    "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#9aa1ab\" "
                    "stroke-width=\"2\"/></pattern>"});
  Line(svg)
      .raw("<linearGradient")
      .str("id", gradientId)
      .raw(" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">")
      .end();
  for (const GradientStop& stop : stops) {
    Line(svg)
        .raw("<stop")
        .str("offset", stop.offset)
        .raw(" stop-color=\"")
        .put(appendHexColour, stop.colour)
        .raw("\"/>")
        .end();
  }
  appendLines(
      svg, {"</linearGradient>", "</defs>", "<style>",
            // Fonts are set on the root and on groups and inherited: a rule for "text"
            // itself would win over every group's font.
            "svg{font-family:\"DejaVu Sans\",\"Segoe UI\",Arial,sans-serif;font-size:12px}",
            "text{fill:#1d2530}", ".title{font-size:18px;font-weight:bold}", ".sub{fill:#5b6675}"});
}

void appendNameRules(std::string& svg, int labelFont) {
  Line(svg)
      .raw(".name{font-family:\"DejaVu Sans Mono\",Consolas,\"Courier New\",monospace;font-size:")
      .num(labelFont)
      .raw("px}")
      .end();
  appendLines(svg, {".flat{font-style:italic;fill:#6b7280}"});
}

void appendFrame(std::string& svg, int width, int height, const std::string& title,
                 const std::string& subtitle) {
  Line(svg).raw("<rect").num("width", width).num("height", height).raw(" fill=\"#ffffff\"/>").end();
  appendText(svg, PlotLayout::pad, PlotLayout::titleBaseline, title, " class=\"title\"");
  appendText(svg, PlotLayout::pad, PlotLayout::subtitleBaseline, subtitle, " class=\"sub\"");
}

void appendGridBorder(std::string& svg, int x, int y, int width, int height) {
  Line(svg)
      .raw("<rect")
      .box(x, y, width, height)
      .raw(" fill=\"none\" stroke=\"#8a929c\" stroke-width=\"1\"/>")
      .end();
}

void appendHatching(std::string& svg, long long x, long long y, long long width, long long height) {
  Line(svg).raw("<rect").box(x, y, width, height).raw(" fill=\"url(#flat)\"/>").end();
}

std::string countedLabel(std::string_view text, long long count) {
  std::string label(text);
  Line(label).raw(" (").num(count).raw(')');
  return label;
}

void appendBandSegment(std::string& svg, long long x, long long y, long long width,
                       const char* colour, std::initializer_list<std::string_view> labels) {
  Line(svg).raw("<rect").box(x, y, width, 5).str("fill", colour).raw("/>").end();
  for (const std::string_view label : labels) {
    if (static_cast<long long>(label.size()) * 7 > width) continue;
    appendText(svg, x, y + 19, label, " class=\"sub\"");
    return;
  }
}

void appendBand(std::string& svg, const PlotLayout& layout, int start, int confounds) {
  if (layout.count == 0) return;
  const int barY = layout.gridY + layout.grid + 8;
  const long long interestWidth = static_cast<long long>(start) * layout.cell;
  if (start > 0) {
    appendBandSegment(svg, layout.gridX, barY, interestWidth, interestColour,
                      {countedLabel("predictors of interest", start), "interest"});
  }
  if (layout.count > start) {
    appendBandSegment(svg, layout.gridX + interestWidth, barY,
                      static_cast<long long>(layout.count - start) * layout.cell, confoundColour,
                      {countedLabel("confounds", confounds), "confounds"});
  }
}

void appendColourBar(std::string& svg, int x, int y, int height, std::string_view gradientId) {
  Line(svg)
      .raw("<rect")
      .box(x, y, PlotLayout::barWidth, height)
      .raw(" fill=\"url(#")
      .raw(gradientId)
      .raw(")\" stroke=\"#8a929c\" stroke-width=\"1\"/>")
      .end();
}

void appendLegend(std::string& svg, const PlotLayout& layout) {
  const int x = layout.barX;
  const int textX = x + PlotLayout::barWidth + 8;
  appendText(svg, x, layout.gridY - 8, "r");
  appendColourBar(svg, x, layout.gridY, layout.barHeight, "scale");
  static constexpr std::pair<int, const char*> ticks[] = {
      {100, "+1"}, {50, "+0.5"}, {0, "0"}, {-50, "&#x2212;0.5"}, {-100, "&#x2212;1"}};
  for (const auto& [hundredths, text] : ticks) {
    const int y = layout.gridY + (100 - hundredths) * layout.barHeight / 200;
    Line(svg)
        .raw("<path stroke=\"#5b6675\" d=\"M")
        .num(x + PlotLayout::barWidth)
        .raw(' ')
        .num(y)
        .raw("h4\"/>")
        .end();
    appendText(svg, textX, y + 4, text);
  }
  const int y = appendFlatAndNanKey(svg, x, textX, layout.gridY + layout.barHeight + 18,
                                    nanCellColour, "not a number");
  appendConfoundLineKey(svg, x, textX, y);
}

int appendFlatAndNanKey(std::string& svg, int x, int textX, int y, const char* nanColour,
                        const char* nanText) {
  Line(svg).raw("<rect").box(x, y, 14, 14).raw(" fill=\"url(#flat)\" stroke=\"#9aa1ab\"/>").end();
  appendText(svg, textX, y + 11, "constant or flat predictor");
  y += PlotLayout::legendItem;
  Line(svg).raw("<rect").box(x, y, 14, 14).str("fill", nanColour).raw("/>").end();
  appendText(svg, textX, y + 11, nanText);
  return y + PlotLayout::legendItem;
}

void appendConfoundLineKey(std::string& svg, int x, int textX, int y) {
  Line(svg)
      .raw("<path stroke=\"#000000\" stroke-width=\"2\" d=\"M")
      .num(x + 7)
      .raw(' ')
      .num(y)
      .raw("v14\"/>")
      .end();
  appendText(svg, textX, y + 11, "interest | confounds");
}

}  // namespace heatmap
