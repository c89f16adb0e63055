#include "heatmap/plot_labels.h"

#include <algorithm>

#include "heatmap/svg_line.h"

namespace heatmap {

namespace {

using svgtext::appendGroup;
using svgtext::Line;

// Names in a group's hover text before the rest are counted.
constexpr std::size_t groupTitleNames = 12;

long long centreOf(const PlotLayout& layout, std::size_t first, std::size_t last) {
  return static_cast<long long>(first + last + 1) * layout.cell / 2;
}

AxisLabel single(std::span<const AxisEntry> entries, std::size_t i, const PlotLayout& layout) {
  const AxisEntry& e = entries[i];
  const long long centre = centreOf(layout, i, i);
  std::string title = e.fullName;
  if (!e.kind.empty()) title += " (" + std::string(e.kind) + ")";
  return {i, i, centre, centre, e.text, std::move(title), e.regular ? "" : "flat"};
}

AxisLabel group(std::span<const AxisEntry> entries, std::size_t first, std::size_t last,
                const PlotLayout& layout) {
  const long long centre = centreOf(layout, first, last);
  const std::size_t count = last - first + 1;
  std::string text(entries[first].kind);
  Line(text).raw(" (").num(static_cast<long long>(count)).raw(')');
  std::string title = text + ":";
  for (std::size_t i = first; i <= last && i < first + groupTitleNames; ++i)
    title += (i == first ? " " : ", ") + entries[i].fullName;
  if (count > groupTitleNames) title += ", ...";
  return {first, last, centre, centre, std::move(text), std::move(title), "group"};
}

}  // namespace

std::vector<AxisLabel> axisLabels(std::span<const AxisEntry> entries, const PlotLayout& layout,
                                  int pitch) {
  std::vector<AxisLabel> labels;
  const std::size_t k = entries.size();
  for (std::size_t i = 0; i < k;) {
    if (layout.labelStep == 1 || entries[i].interest) {
      labels.push_back(single(entries, i++, layout));
      continue;
    }
    std::size_t last = i;
    while (last + 1 < k && !entries[last + 1].interest && entries[last + 1].kind == entries[i].kind)
      ++last;
    labels.push_back(group(entries, i, last, layout));
    i = last + 1;
  }
  // Pushed along in order, each clear of the one before; a group pushed off the grid goes.
  std::vector<AxisLabel> placed;
  long long next = 0;
  for (AxisLabel& label : labels) {
    label.at = std::max(label.centre, next);
    const bool isGroup = label.first != label.last || label.className[0] == 'g';
    if (isGroup && label.at > layout.grid) continue;
    next = label.at + pitch;
    placed.push_back(std::move(label));
  }
  return placed;
}

namespace {

// The tick of `label` on both axes, spanning a group as a bracket, and a leader to a label pushed
// along.
void appendLabelTicks(std::string& ticks, const PlotLayout& layout, const AxisLabel& label) {
  const long long from = static_cast<long long>(label.first) * layout.cell + layout.cell / 2;
  const long long to = static_cast<long long>(label.last) * layout.cell + layout.cell / 2;
  Line(ticks)
      .raw("<path d=\"M")
      .num(layout.gridX - PlotLayout::tick)
      .raw(' ')
      .num(layout.gridY + from)
      .raw('h')
      .num(PlotLayout::tick)
      .raw('v')
      .num(to - from)
      .raw('h')
      .num(-PlotLayout::tick)
      .raw("l-")
      .num(PlotLayout::labelGap)
      .raw(' ')
      .num(label.at - to)
      .raw('M')
      .num(layout.gridX + from)
      .raw(' ')
      .num(layout.gridY - PlotLayout::tick)
      .raw('v')
      .num(PlotLayout::tick)
      .raw('h')
      .num(to - from)
      .raw('v')
      .num(-PlotLayout::tick)
      .raw('l')
      .num(label.at - to)
      .raw(" -")
      .num(PlotLayout::labelGap)
      .raw("\"/>")
      .end();
}

}  // namespace

void appendAxisLabels(std::string& svg, const PlotLayout& layout, std::span<const AxisLabel> labels,
                      int fontSize) {
  const int shift = fontSize * 35 / 100;
  const int edge = PlotLayout::tick + PlotLayout::labelGap;
  std::string ticks, rows, columns;
  for (const AxisLabel& label : labels) {
    appendLabelTicks(ticks, layout, label);
    const std::string cls =
        label.className[0] ? std::string(" class=\"") + label.className + "\"" : "";
    const std::string body = label.text + "<title>" + label.title + "</title></text>";
    Line(rows)
        .raw("<text")
        .raw(cls)
        .num("x", layout.gridX - edge)
        .num("y", layout.gridY + label.at + shift)
        .raw('>')
        .raw(body)
        .end();
    Line(columns)
        .raw("<text")
        .raw(cls)
        .rotated(layout.gridX + label.at + shift, layout.gridY - edge)
        .raw('>')
        .raw(body)
        .end();
  }
  appendGroup(svg, "<g stroke=\"#5b6675\" stroke-width=\"1\" fill=\"none\">", ticks);
  appendGroup(svg, "<g class=\"name\" text-anchor=\"end\">", rows);
  appendGroup(svg, "<g class=\"name\">", columns);
}

}  // namespace heatmap
