// The style sheet of the group report page. The marks' colours are from a palette that stays
// apart for the common kinds of colour blindness (blue, orange, vermilion), and each mark has its
// own shape too: a circle, a triangle, a square.

#include "group_page.h"

namespace bids {

const char* const pageStyle = R"CSS(
:root { --ok: #0072b2; --amber: #e69f00; --red: #d55e00; }
* { box-sizing: border-box; }
body { font: 14px/1.45 system-ui, sans-serif; margin: 0 auto; padding: 16px 24px; max-width: 1440px; color: #1d1d1f; }
h1 { font-size: 22px; margin: 0 0 8px; }
h2 { font-size: 17px; margin: 20px 0 6px; }
.note { color: #555; margin: 4px 0; }
ul.counts { display: flex; flex-wrap: wrap; gap: 8px; list-style: none; margin: 8px 0; padding: 0; }
ul.counts li { border: 1px solid #ccc; border-radius: 6px; padding: 4px 12px; }
ul.counts b { font-size: 20px; }
.sym::before { content: ""; display: inline-block; width: 10px; height: 10px; margin-right: 5px; }
.m-ok .sym::before, .sym.m-ok::before { background: var(--ok); border-radius: 50%; }
.m-amber .sym::before, .sym.m-amber::before { background: var(--amber); clip-path: polygon(50% 0, 100% 100%, 0 100%); }
.m-red .sym::before, .sym.m-red::before { background: var(--red); }
#filters { position: sticky; top: 0; z-index: 2; display: flex; flex-wrap: wrap; align-items: center; gap: 6px 16px; padding: 8px 0; background: #fff; border-bottom: 1px solid #ddd; }
#filters[hidden], #tip[hidden] { display: none; }
#filters input { width: 16em; }
figure.strip { margin: 10px 0 0; }
figcaption { font-weight: 600; }
/* Contained: hiding points lays out and paints their strip alone. */
figure.strip svg { display: block; max-width: 100%; height: auto; contain: content; }
svg text { font: 12px system-ui, sans-serif; fill: #444; text-anchor: middle; }
.grid { stroke: #e6e6e6; }
.axis { stroke: #888; }
.limit-amber, .limit-red { stroke-width: 1.5; stroke-dasharray: 5 3; }
.limit-amber { stroke: var(--amber); }
.limit-red { stroke: var(--red); }
a.pt.m-ok { fill: var(--ok); }
a.pt.m-amber { fill: var(--amber); }
a.pt.m-red { fill: var(--red); }
a.pt path { stroke: #fff; stroke-width: 0.5; }
a.pt:hover path { stroke: #000; stroke-width: 1.5; }
a.pt.out { display: none; }
.shadow { fill: #d4d4d4; }
#tip { position: fixed; z-index: 3; max-width: 420px; padding: 4px 8px; border-radius: 4px; background: #1d1d1f; color: #fff; font-size: 13px; pointer-events: none; }
/* The script shows 250 runs at first (and more on request); so does this until it runs. */
#runs:not(.live) tbody tr:nth-child(n+251) { display: none; }
#more { margin-top: 6px; }
.table-box { max-height: 75vh; overflow: auto; border: 1px solid #ccc; }
table { border-collapse: collapse; width: 100%; font-variant-numeric: tabular-nums; }
th, td { padding: 4px 6px; border-bottom: 1px solid #e3e3e3; text-align: right; vertical-align: top; }
th { position: sticky; top: 0; z-index: 1; background: #f3f3f3; vertical-align: bottom; }
th[data-type="text"], th[data-type="mark"], td:first-child, td.sym, td.text, td.path { text-align: left; }
td:first-child { min-width: 11em; }
td.text { min-width: 13em; max-width: 24em; }
td.path { max-width: 26em; overflow-wrap: anywhere; }
#failed td:last-child { white-space: nowrap; }
th button { padding: 0; border: 0; background: none; font: inherit; font-weight: 600; text-align: inherit; cursor: pointer; }
th[aria-sort="ascending"] button::after { content: " \25B2"; }
th[aria-sort="descending"] button::after { content: " \25BC"; }
tr.m-amber { background: #fff6df; }
tr.m-red { background: #fde8dc; }
tr.m-amber td.sym b { color: #8a5d00; }
tr.m-red td.sym b { color: #a33f00; }
small { color: #555; }
.tag { padding: 0 4px; border: 1px solid #999; border-radius: 3px; font-size: 12px; }
)CSS";

}  // namespace bids
