#include "heatmap/plot_legend.h"

#include <string_view>
#include <utility>

#include "heatmap/svg_line.h"

using svgtext::appendInt;
using svgtext::crlf;
using svgtext::Line;

namespace {

constexpr const char* interestColour = "#3d7dca";
constexpr const char* confoundColour = "#d9822b";

}  // namespace

void appendBand(std::string& svg, const PlotLayout& l, int start, int confounds) {
  if (l.count == 0) return;
  const int barY = l.gridY + l.grid + 8;
  const auto segment = [&](int from, int to, const char* colour, const std::string& label,
                           const char* shortLabel) {
    if (to <= from) return;
    const long long x = l.gridX + static_cast<long long>(from) * l.cell;
    const long long w = static_cast<long long>(to - from) * l.cell;
    Line(svg)
        .raw("<rect")
        .num("x", x)
        .num("y", barY)
        .num("width", w)
        .num("height", 5)
        .str("fill", colour)
        .raw("/>")
        .raw(crlf);
    // The text goes only where it fits under its own segment (about 7 pixels a character).
    std::string_view text = label;
    if (static_cast<long long>(text.size()) * 7 > w) text = shortLabel;
    if (static_cast<long long>(text.size()) * 7 > w) return;
    Line(svg)
        .raw("<text class=\"sub\"")
        .num("x", x)
        .num("y", barY + 19)
        .raw(">")
        .raw(text)
        .raw("</text>")
        .raw(crlf);
  };
  std::string interest = "predictors of interest (";
  appendInt(interest, start);
  interest += ')';
  std::string confoundLabel = "confounds (";
  appendInt(confoundLabel, confounds);
  confoundLabel += ')';
  segment(0, start, interestColour, interest, "interest");
  segment(start, l.count, confoundColour, confoundLabel, "confounds");
}

void appendLegend(std::string& svg, const PlotLayout& l) {
  const int x = l.barX;
  const int textX = x + PlotLayout::barWidth + 8;
  Line(svg).raw("<text").num("x", x).num("y", l.gridY - 8).raw(">r</text>").raw(crlf);
  Line(svg)
      .raw("<rect")
      .num("x", x)
      .num("y", l.gridY)
      .num("width", PlotLayout::barWidth)
      .num("height", l.barHeight)
      .raw(" fill=\"url(#scale)\" stroke=\"#8a929c\" stroke-width=\"1\"/>")
      .raw(crlf);
  static constexpr std::pair<int, const char*> ticks[] = {
      {100, "+1"}, {50, "+0.5"}, {0, "0"}, {-50, "&#x2212;0.5"}, {-100, "&#x2212;1"}};
  for (const auto& [hundredths, text] : ticks) {
    const int y = l.gridY + (100 - hundredths) * l.barHeight / 200;
    svg += "<path stroke=\"#5b6675\" d=\"M";
    appendInt(svg, x + PlotLayout::barWidth);
    svg += ' ';
    appendInt(svg, y);
    svg += "h4\"/>\r\n";
    Line(svg)
        .raw("<text")
        .num("x", textX)
        .num("y", y + 4)
        .raw(">")
        .raw(text)
        .raw("</text>")
        .raw(crlf);
  }
  const int y =
      appendFlatAndNanKey(svg, x, textX, l.gridY + l.barHeight + 18, nanCellColour, "not a number");
  appendConfoundLineKey(svg, x, textX, y);
}

int appendFlatAndNanKey(std::string& svg, int x, int textX, int y, const char* nanColour,
                        const char* nanText) {
  Line(svg)
      .raw("<rect")
      .num("x", x)
      .num("y", y)
      .num("width", 14)
      .num("height", 14)
      .raw(" fill=\"url(#flat)\" stroke=\"#9aa1ab\"/>")
      .raw(crlf);
  Line(svg)
      .raw("<text")
      .num("x", textX)
      .num("y", y + 11)
      .raw(">constant or flat predictor</text>")
      .raw(crlf);
  y += PlotLayout::legendItem;
  Line(svg)
      .raw("<rect")
      .num("x", x)
      .num("y", y)
      .num("width", 14)
      .num("height", 14)
      .str("fill", nanColour)
      .raw("/>")
      .raw(crlf);
  Line(svg)
      .raw("<text")
      .num("x", textX)
      .num("y", y + 11)
      .raw(">")
      .raw(nanText)
      .raw("</text>")
      .raw(crlf);
  return y + PlotLayout::legendItem;
}

void appendConfoundLineKey(std::string& svg, int x, int textX, int y) {
  svg += "<path stroke=\"#000000\" stroke-width=\"2\" d=\"M";
  appendInt(svg, x + 7);
  svg += ' ';
  appendInt(svg, y);
  svg += "v14\"/>\r\n";
  Line(svg)
      .raw("<text")
      .num("x", textX)
      .num("y", y + 11)
      .raw(">interest | confounds</text>")
      .raw(crlf);
}

void appendFrame(std::string& svg, int width, int height, const std::string& title) {
  Line(svg)
      .raw("<rect")
      .num("width", width)
      .num("height", height)
      .raw(" fill=\"#ffffff\"/>")
      .raw(crlf);
  Line(svg)
      .raw("<text class=\"title\"")
      .num("x", PlotLayout::pad)
      .num("y", PlotLayout::titleBaseline)
      .raw(">");
  svg += title;
  svg += "</text>\r\n";
  Line(svg)
      .raw("<text class=\"sub\"")
      .num("x", PlotLayout::pad)
      .num("y", PlotLayout::subtitleBaseline)
      .raw(">");
}

void appendSvgStart(std::string& svg, int width, int height, const std::string& title) {
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  Line(svg)
      .raw("<svg xmlns=\"http://www.w3.org/2000/svg\"")
      .num("width", width)
      .num("height", height)
      .raw(" viewBox=\"0 0 ");
  appendInt(svg, width);
  svg += ' ';
  appendInt(svg, height);
  svg += "\">\r\n<title>";
  svg += title;
  svg +=
      "</title>\r\n"
      "<defs>\r\n"
      "<pattern id=\"flat\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
      "patternTransform=\"rotate(45)\">"
      "<rect width=\"6\" height=\"6\" fill=\"#e2e4e8\"/>"
      "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#9aa1ab\" "
      "stroke-width=\"2\"/></pattern>\r\n";
}

void appendBaseStyle(std::string& svg) {
  svg +=
      "<style>\r\n"
      // Fonts are set on the root and on groups and inherited: a rule for "text" itself
      // would win over every group's font.
      "svg{font-family:\"DejaVu Sans\",\"Segoe UI\",Arial,sans-serif;font-size:12px}\r\n"
      "text{fill:#1d2530}\r\n"
      ".title{font-size:18px;font-weight:bold}\r\n"
      ".sub{fill:#5b6675}\r\n";
}

void appendGridBorder(std::string& svg, int x, int y, int width, int height) {
  Line(svg)
      .raw("<rect")
      .num("x", x)
      .num("y", y)
      .num("width", width)
      .num("height", height)
      .raw(" fill=\"none\" stroke=\"#8a929c\" stroke-width=\"1\"/>")
      .raw(crlf);
}
