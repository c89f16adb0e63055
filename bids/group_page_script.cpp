// The script of the group report page: it draws each strip's points from the page's data, shows
// a run's value beside the pointer, filters the runs (rows and points alike) and sorts the tables.
// It reads the labels, links and reasons from the table rows, so that the page holds them once.

#include "group_page.h"

namespace bids {

// A block rather than a function around it all: its names stay out of the page's global ones.
const char* const pageScript = R"JS(
'use strict';
{
  const byId = (id) => document.getElementById(id);
  const data = JSON.parse(byId('data').textContent);
  const rowsOf = (table) => (table ? Array.from(table.tBodies[0].rows) : []);
  const runs = rowsOf(byId('runs')).map((row, index) => {
    const [mark, sub, ses, task, values] = data.runs[index];
    const link = row.cells[0].querySelector('a');
    return { row, index, mark, sub, ses, task, values, label: link.textContent,
      page: link.getAttribute('href'), points: [], passes: true,
      words: (row.cells[0].textContent + ' ' + row.cells[1].textContent).toLowerCase() };
  });
  const failed = rowsOf(byId('failed')).map((row, index) => {
    const [sub, ses, task] = data.failed[index];
    return { row, mark: 'failed', sub, ses, task, points: [], passes: true,
      words: row.textContent.toLowerCase() };
  });

  const escaped = (text) => String(text).replace(/[&<>"]/g, (c) => '&#' + c.charCodeAt(0) + ';');
  const valueText = (value, measure) =>
    value === 'inf' ? 'infinite' : value.toFixed(measure.decimals) + measure.unit;
  function xOf(value, measure) {
    const strip = data.strip;
    if (value === 'inf') return strip.inf;
    const share = measure.log
      ? Math.log(Math.max(value, measure.low) / measure.low) / Math.log(measure.high / measure.low)
      : (value - measure.low) / (measure.high - measure.low);
    return strip.x0 + (strip.x1 - strip.x0) * Math.min(1, Math.max(0, share));
  }

  // Smaller points for more runs; each mark its shape, so that the mark is not colour alone.
  const r = runs.length > 1000 ? 2.5 : runs.length > 150 ? 3.5 : 5;
  const shapes = {
    ok: `m${-r},0a${r},${r} 0 1,0 ${2 * r},0a${r},${r} 0 1,0 ${-2 * r},0`,
    amber: `m0,${-1.2 * r}l${1.2 * r},${2.1 * r}h${-2.4 * r}z`,
    red: `m${-0.9 * r},${-0.9 * r}h${1.8 * r}v${1.8 * r}h${-1.8 * r}z`,
  };
  // Red drawn last, on top of the others. Under the points a grey shadow of them all stays
  // when the filters hide some: one path per strip, however many runs.
  const drawOrder = ['ok', 'amber', 'red'].flatMap((mark) => runs.filter((run) => run.mark === mark));
  function drawStrip(group, measure, k) {
    const strip = data.strip;
    const height = strip.y1 - strip.y0 - 2 * r;
    const drawn = drawOrder.filter((run) => run.values[k] !== null);
    // A run's height in the strip is its index times the golden ratio, modulo 1: the runs
    // spread evenly, and a run keeps its height from strip to strip. The points are no tab
    // stops (thousands of them would be): the table's rows hold the same links.
    const shapesAt = drawn.map((run) => `M${xOf(run.values[k], measure).toFixed(1)},` +
      `${(strip.y0 + r + height * ((run.index * 0.6180339887498949) % 1)).toFixed(1)}${shapes[run.mark]}`);
    group.innerHTML = `<path class="shadow" d="${shapesAt.join('')}"/>` + drawn.map((run, j) =>
      `<a href="${escaped(run.page)}" class="pt m-${run.mark}" tabindex="-1"><path d="${shapesAt[j]}"/><title>` +
      `${escaped(run.label)}: ${escaped(measure.title)} ${escaped(valueText(run.values[k], measure))}` +
      '</title></a>').join('');
    drawn.forEach((run, j) => run.points.push(group.children[j + 1]));
  }
  document.querySelectorAll('#plots g.points').forEach((group, k) => drawStrip(group, data.measures[k], k));

  // The run and the value of the point under the pointer beside it.
  const tip = byId('tip');
  function showTip(point, x, y) {
    tip.textContent = point.querySelector('title').textContent;
    tip.hidden = false;
    tip.style.left = Math.max(4, Math.min(x + 14, innerWidth - tip.offsetWidth - 4)) + 'px';
    tip.style.top = Math.max(4, y - tip.offsetHeight - 10) + 'px';
  }
  const plots = byId('plots');
  const pointOf = (event) => event.target.closest('a.pt');
  plots.addEventListener('mouseover', (event) => {
    if (pointOf(event)) showTip(pointOf(event), event.clientX, event.clientY);
  });
  plots.addEventListener('mouseout', (event) => { if (pointOf(event)) tip.hidden = true; });

  // The runs table shows the first `shown` runs that pass the filters, in its order, and a button
  // for more: laying out thousands of rows at each change would stall the page. The style sheet
  // shows the same number until the script runs.
  const runsTable = byId('runs');
  const more = byId('more');
  let shown = 250;
  const runOfRow = new Map(runs.map((run) => [run.row, run]));
  function showRows() {
    let passed = 0;
    for (const row of runsTable.tBodies[0].rows) {
      const run = runOfRow.get(row);
      passed += run.passes ? 1 : 0;
      const hidden = !run.passes || passed > shown;
      if (row.hidden !== hidden) row.hidden = hidden;
    }
    more.hidden = passed <= shown;
    more.textContent = `Show ${Math.min(250, passed - shown)} more (${passed - shown} runs not in the table yet)`;
  }
  more.addEventListener('click', () => { shown += 250; showRows(); });

  // A run passes when it matches every filter and has every word of the search in its label or
  // its reasons (a failed run: anywhere in its row).
  const form = byId('filters');
  const valueOf = (id) => (byId(id) ? byId(id).value : '');
  function filter() {
    const want = { mark: valueOf('f-mark'), sub: valueOf('f-sub'), ses: valueOf('f-ses'),
      task: valueOf('f-task') };
    const words = valueOf('f-text').toLowerCase().split(/\s+/).filter(Boolean);
    let count = 0;
    for (const run of runs.concat(failed)) {
      const passes = Object.keys(want).every((key) => !want[key] || want[key] === run[key]) &&
        words.every((word) => run.words.includes(word));
      count += passes ? 1 : 0;
      if (passes === run.passes) continue;
      run.passes = passes;
      if (run.mark === 'failed') run.row.hidden = !passes;
      for (const point of run.points) point.classList.toggle('out', !passes);
    }
    showRows();
    byId('shown').textContent = `${count} of ${runs.length + failed.length} runs shown`;
  }
  // The search waits for a pause in the typing, so that it filters once per word, not per key.
  let pending = 0;
  form.addEventListener('input', (event) => {
    clearTimeout(pending);
    pending = setTimeout(filter, event.target.type === 'search' ? 150 : 0);
  });
  form.addEventListener('submit', (event) => event.preventDefault());
  form.hidden = false;
  filter();
  runsTable.classList.add('live');

  // A select of a column heading sorts by that column, the next one the other way round.
  const collator = new Intl.Collator('en', { numeric: true });
  function sortable(table) {
    if (!table) return;
    const body = table.tBodies[0];
    const headers = Array.from(table.tHead.rows[0].cells);
    headers.forEach((header, column) => header.querySelector('button').addEventListener('click', () => {
      const numeric = header.dataset.type !== 'text';
      const ascending = header.getAttribute('aria-sort') !== 'ascending';
      const keyed = Array.from(body.rows, (row) => {
        const cell = row.cells[column];
        const text = cell.dataset.sort !== undefined ? cell.dataset.sort : cell.textContent;
        return { row, key: numeric ? parseFloat(text) : text };
      });
      keyed.sort((a, b) => {
        const order = numeric ? (a.key < b.key ? -1 : a.key > b.key ? 1 : 0) : collator.compare(a.key, b.key);
        return ascending ? order : -order;
      });
      headers.forEach((other) => other.removeAttribute('aria-sort'));
      header.setAttribute('aria-sort', ascending ? 'ascending' : 'descending');
      const fragment = document.createDocumentFragment();
      for (const item of keyed) fragment.appendChild(item.row);
      body.appendChild(fragment);
      if (table === runsTable) showRows();
    }));
  }
  sortable(byId('runs'));
  sortable(byId('failed'));
  sortable(byId('skipped'));
}
)JS";

}  // namespace bids
