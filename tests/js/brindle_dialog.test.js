// Tests of the dialog script Brindle.js against a recording mock of the host scripting interface.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');

const scriptPath = path.join(__dirname, '..', '..', 'Brindle.js');
const dialogScript = require(scriptPath);

// A host that keeps parameters in a map, records every call in order, and builds widgets that
// tests can find by their label and operate.
function mockHost({ params = {}, sdmfileAnswer = '', filesAnswer = [] } = {}) {
  const store = new Map(Object.entries(params));
  const host = {
    calls: [],
    executed: [],
    messages: [],
    buttons: new Map(),
    checkBoxes: new Map(),
    textFields: [],
    lists: [],
    filesAnswer,
    getStringParameter(name) { const v = store.get(name); return typeof v === 'string' ? v : ''; },
    setStringParameter(name, text) { host.calls.push(['string', name, text]); store.set(name, text); },
    getIntParameter(name) { const v = store.get(name); return typeof v === 'number' ? v : 0; },
    setIntParameter(name, value) { host.calls.push(['int', name, value]); store.set(name, value); },
    execute() {
      host.calls.push(['execute']);
      host.executed.push(Object.fromEntries(store));
      // The plug-in's "open_sdm" answers with the path the user chose in its dialog.
      if (store.get('task') === 'open_sdm') store.set('sdmfile', sdmfileAnswer);
      return true;
    },
    openFilesDialog(title, initialPath, filter) {
      host.calls.push(['openFiles', title, initialPath, filter]);
      return host.filesAnswer;
    },
    messageBox(text) { host.calls.push(['message', text]); host.messages.push(text); },
    // The parameters set since the last reset, as { name: value }.
    setParameters() {
      const out = {};
      for (const c of host.calls) if (c[0] === 'string' || c[0] === 'int') out[c[1]] = c[2];
      return out;
    },
  };
  const container = () => ({
    group: () => container(),
    row: () => container(),
    label: () => {},
    textField(text, hint) {
      let value = text;
      const field = { hint, getText: () => value, setText: (t) => { value = t; } };
      host.textFields.push(field);
      return field;
    },
    checkBox(label, checked) {
      let on = checked;
      const box = { isChecked: () => on, setChecked: (b) => { on = b; } };
      host.checkBoxes.set(label, box);
      return box;
    },
    listBox(items) {
      let rows = items.slice();
      let selected = [];
      const list = {
        getItems: () => rows.slice(),
        setItems: (a) => { rows = a.slice(); selected = []; },
        getSelectedIndices: () => selected.slice(),
        select: (indices) => { selected = indices.slice(); },
      };
      host.lists.push(list);
      return list;
    },
    button(label, onClick) { host.buttons.set(label, onClick); },
  });
  host.dialog = container();
  return host;
}

// Builds the dialog and gives tests handles on its widgets by role.
function openDialog(options) {
  const host = mockHost(options);
  const controller = dialogScript.buildBrindleDialog(host);
  const [primary, corrwarn, corrdir, confounds, contrasts, tr, volumes, hrf, sliceref, conditions, conditioncolumn, highpass] =
    host.textFields;
  const [secondaries, events] = host.lists;
  const design = { events, tr, volumes, hrf, sliceref, conditions, conditioncolumn, highpass };
  const check = (fragment) => {
    for (const [label, box] of host.checkBoxes) if (label.includes(fragment)) return box;
    throw new Error(`no check box with "${fragment}"`);
  };
  const press = (fragment) => {
    const labels = [...host.buttons.keys()];
    const hits = labels.includes(fragment) ? [fragment] : labels.filter((label) => label.includes(fragment));
    assert.equal(hits.length, 1, `one button with "${fragment}", found ${hits}`);
    host.buttons.get(hits[0])();
  };
  const reset = () => { host.calls.length = 0; host.executed.length = 0; };
  return { host, controller, primary, corrwarn, corrdir, confounds, contrasts, secondaries, design, check, press, reset };
}

function fillIn(d) {
  d.primary.setText('D:/study/sub01_task.sdm');
  d.secondaries.setItems(['D:/study/sub01_run1.sdm', 'D:/study/sub01 run2.sdm', 'E:/other/motion.sdm']);
  d.check('Z-transform').setChecked(true);
  d.check('constant').setChecked(false);
  d.check('report').setChecked(true);
  d.check('heatmap').setChecked(true);
  d.check('Page of each').setChecked(true);
  d.check('repair').setChecked(true);
  d.corrwarn.setText(' 0.8 ');
  d.corrdir.setText('F:/reports');
  d.confounds.setText(' motion24, wm_csf ');
  d.contrasts.setText(' f_vs_h = faces - houses ;; all = [faces, "a;b"] ');
  d.design.events.setItems(['D:/bids/sub-01_run-1_events.tsv', 'D:/bids/sub-01_run-2_events.tsv']);
  d.design.tr.setText(' 0.8 ');
  d.design.volumes.setText('300 ');
  d.design.hrf.setText('glover');
  d.design.sliceref.setText('0.5');
  d.design.conditions.setText(' go*, stop ');
  d.design.conditioncolumn.setText(' stim_type ');
  d.design.highpass.setText('128');
  d.check('derivative').setChecked(true);
}

const sdms2 = 'D:/study/sub01_run1.sdm\nD:/study/sub01 run2.sdm\nE:/other/motion.sdm';
const contrasts = 'f_vs_h = faces - houses\nall = [faces, "a;b"]';

const actionCases = [
  {
    button: 'Check correlations',
    expected: {
      task: 'sdm1corr', sdm1: 'D:/study/sub01_task.sdm', confounds: 'motion24, wm_csf', corrplot: 1, corrhtml: 1, strict: 1,
      corrwarn: '0.8', corrdir: 'F:/reports', contrasts,
    },
  },
  {
    button: 'Merge primary with each secondary',
    expected: {
      task: 'mergeall', ztans: 1, baseline: 0, allcorr: 1, sdms2, sdm1: 'D:/study/sub01_task.sdm',
      confounds: 'motion24, wm_csf', corrplot: 1, corrhtml: 1, strict: 1, corrwarn: '0.8', corrdir: 'F:/reports', contrasts,
    },
  },
  {
    button: 'Merge all secondaries',
    expected: {
      task: 'mergesec', ztans: 1, baseline: 0, allcorr: 1, sdms2, confounds: 'motion24, wm_csf', corrplot: 1, corrhtml: 1,
      strict: 1, corrwarn: '0.8', corrdir: 'F:/reports', contrasts,
    },
  },
  {
    button: 'Convert',
    expected: { task: 'convert', sdm1: 'D:/study/sub01_task.sdm', confounds: 'motion24, wm_csf', strict: 1 },
  },
  {
    button: 'Make designs',
    expected: {
      task: 'design', events: 'D:/bids/sub-01_run-1_events.tsv\nD:/bids/sub-01_run-2_events.tsv', tr: '0.8',
      volumes: 300, hrf: 'glover', derivatives: 1, sliceref: '0.5', conditions: 'go*, stop',
      conditioncolumn: 'stim_type', highpass: '128', allcorr: 1, corrplot: 1, corrhtml: 1, corrwarn: '0.8', corrdir: 'F:/reports',
      contrasts,
    },
  },
];

for (const { button, expected } of actionCases) {
  test(`"${button}" sets exactly the parameters its task reads, then runs the plug-in once`, () => {
    const d = openDialog();
    fillIn(d);
    d.reset();
    d.press(button);
    assert.deepEqual(d.host.setParameters(), expected);
    assert.equal(d.host.calls.filter((c) => c[0] === 'execute').length, 1);
    assert.deepEqual(d.host.calls.at(-1), ['execute'], 'the plug-in runs after every parameter is set');
    assert.deepEqual(d.host.calls[0], ['string', 'task', expected.task], '"task" is set first');
    assert.deepEqual(d.host.messages, []);
  });
}

test('Options that are off reach the plug-in as 0 and an empty threshold as ""', () => {
  const d = openDialog();
  d.primary.setText('a.sdm');
  d.secondaries.setItems(['b.sdm']);
  d.press('Merge primary');
  assert.deepEqual(d.host.setParameters(), {
    task: 'mergeall', ztans: 0, baseline: 0, allcorr: 0, sdms2: 'b.sdm', sdm1: 'a.sdm', confounds: '', corrplot: 0, corrhtml: 0,
    strict: 0, corrwarn: '', corrdir: '', contrasts: '',
  });
});

test('Every action passes the plug-in what the dialog shows at the moment of the press', () => {
  const d = openDialog();
  fillIn(d);
  d.press('Merge all');
  d.secondaries.setItems(['x.sdm', 'y.sdm']);
  d.check('Z-transform').setChecked(false);
  d.press('Merge all');
  assert.equal(d.host.executed.length, 2);
  assert.equal(d.host.executed[0].sdms2, sdms2);
  assert.equal(d.host.executed[0].ztans, 1);
  assert.equal(d.host.executed[1].sdms2, 'x.sdm\ny.sdm');
  assert.equal(d.host.executed[1].ztans, 0);
});

test('Browse asks the plug-in with task "open_sdm" alone and takes "sdmfile" as the primary SDM', () => {
  const d = openDialog({ sdmfileAnswer: 'C:/data/chosen.sdm' });
  d.press('Browse');
  assert.deepEqual(d.host.calls, [['string', 'task', 'open_sdm'], ['execute']]);
  assert.equal(d.primary.getText(), 'C:/data/chosen.sdm');
});

test('A cancelled browse (empty "sdmfile") keeps the primary SDM', () => {
  const d = openDialog({ sdmfileAnswer: '' });
  d.primary.setText('C:/data/kept.sdm');
  d.press('Browse');
  assert.equal(d.primary.getText(), 'C:/data/kept.sdm');
});

test('Add appends the chosen files in order; a cancelled dialog changes nothing', () => {
  const d = openDialog();
  d.primary.setText('C:/data/main.sdm');
  d.host.filesAnswer = ['C:/data/run1.sdm', 'C:/data/run2.sdm'];
  d.press('Add...');
  d.host.filesAnswer = ['C:/data/run3.sdm'];
  d.press('Add...');
  d.host.filesAnswer = [];
  d.press('Add...');
  assert.deepEqual(d.secondaries.getItems(), ['C:/data/run1.sdm', 'C:/data/run2.sdm', 'C:/data/run3.sdm']);
  const dialogs = d.host.calls.filter((c) => c[0] === 'openFiles');
  assert.deepEqual(dialogs[0], ['openFiles', 'Add secondary SDMs:', 'C:/data/main.sdm',
    'Design Matrix or confounds (*.sdm *.tsv *.csv *.par *.txt *.1D)']);
  assert.equal(dialogs[1][2], 'C:/data/run2.sdm', 'the dialog starts at the last file added');
});

test('Add drops empty answers and paths holding a line feed, which would split the list', () => {
  const d = openDialog({ filesAnswer: ['', 'a\nb.sdm', 'c.sdm'] });
  d.press('Add...');
  assert.deepEqual(d.secondaries.getItems(), ['c.sdm']);
});

test('The events list adds and removes files like the secondaries, apart from them', () => {
  const d = openDialog({ filesAnswer: ['r1_events.tsv', 'r2_events.tsv', 'r3_events.tsv'] });
  d.press('Add events');
  d.design.events.select([1]);
  d.press('Remove events');
  assert.deepEqual(d.design.events.getItems(), ['r1_events.tsv', 'r3_events.tsv']);
  assert.deepEqual(d.secondaries.getItems(), []);
  assert.deepEqual(d.host.calls[0], ['openFiles', 'Add events files:', '', 'BIDS events (*_events.tsv *.tsv)']);
});

// The texts of "corrwarn" and "volumes" in the table the plug-in, Tormel and brindle-bids follow.
const parameterTexts = fs.readFileSync(path.join(__dirname, '..', 'contract', 'parameter_texts.tsv'), 'utf8')
  .split('\n').filter((line) => line !== '' && !line.startsWith('#')).map((line) => {
    const [parameter, verdict, number, text] = line.split('\t');
    return { parameter, takes: verdict === 'ok', number: number === '-' ? null : Number(number), text: JSON.parse(text) };
  });
const volumesCases = parameterTexts.filter((row) => row.parameter === 'volumes')
  .map((row) => [row.text, row.takes ? row.number : null]);

for (const [text, volumes] of volumesCases) {
  test(`Volumes of ${JSON.stringify(text)} ${volumes ? 'reach the plug-in as a number' : 'are refused and nothing runs'}`, () => {
    const d = openDialog();
    d.design.volumes.setText(text);
    d.press('Make designs');
    if (volumes) {
      assert.equal(d.host.setParameters().volumes, volumes);
    } else {
      assert.deepEqual(d.host.calls, [['message', dialogScript.brindleVolumesProblem(text)]]);
    }
  });
}

test('Remove drops the selected entries only, and Clear empties the list', () => {
  const d = openDialog();
  d.secondaries.setItems(['a.sdm', 'b.sdm', 'c.sdm', 'd.sdm']);
  d.secondaries.select([3, 1]);
  d.press('Remove');
  assert.deepEqual(d.secondaries.getItems(), ['a.sdm', 'c.sdm']);
  d.press('Remove');
  assert.deepEqual(d.secondaries.getItems(), ['a.sdm', 'c.sdm'], 'nothing selected: nothing removed');
  d.press('Clear');
  assert.deepEqual(d.secondaries.getItems(), []);
  d.press('Merge all');
  assert.equal(d.host.setParameters().sdms2, '', 'an empty list reaches the plug-in as ""');
});

test('The dialog opens with the choices the host kept in its parameters', () => {
  const d = openDialog({
    params: {
      sdm1: 'p.sdm', sdms2: 'a.sdm\n\nb.sdm\n', ztans: 1, baseline: 0, allcorr: 7, corrplot: 1, corrhtml: 1, strict: 3,
      corrwarn: '0.4', corrdir: 'R:/out', confounds: 'motion12',
    },
  });
  assert.equal(d.primary.getText(), 'p.sdm');
  assert.deepEqual(d.secondaries.getItems(), ['a.sdm', 'b.sdm']);
  assert.deepEqual(['Z-transform', 'constant', 'report', 'heatmap', 'Page of each', 'repair'].map((f) => d.check(f).isChecked()),
    [true, false, true, true, true, true]);
  assert.equal(d.corrwarn.getText(), '0.4');
  assert.equal(d.corrdir.getText(), 'R:/out');
  assert.equal(d.confounds.getText(), 'motion12');
});

test('Contrasts are the field\'s definitions between ";" outside quotes, one a line, and open as such', () => {
  const lines = [
    ['', ''], [' ; ;', ''], ['a = x - y', 'a = x - y'], ['a = x;b = [x, y] ', 'a = x\nb = [x, y]'],
    ['"left; hand" - x; y', '"left; hand" - x\ny'], ['a = "x;', 'a = "x;'], ['a\r\n; b', 'a\nb'],
  ];
  for (const [field, parameter] of lines) assert.equal(dialogScript.brindleContrastLines(field), parameter, field);
  const d = openDialog({ params: { contrasts: 'a = x - y\n\nb = [x, y]\n' } });
  assert.equal(d.contrasts.getText(), 'a = x - y; b = [x, y]');
});

test('Convert runs whatever the warning threshold says, since it writes no report', () => {
  const d = openDialog();
  d.primary.setText('conf.tsv');
  d.corrwarn.setText('0,8');
  d.press('Convert');
  assert.deepEqual(d.host.messages, []);
  assert.deepEqual(d.host.setParameters(), { task: 'convert', sdm1: 'conf.tsv', confounds: '', strict: 0 });
});

const thresholdCases = parameterTexts.filter((row) => row.parameter === 'corrwarn').map((row) => [row.text, row.takes]);

for (const [text, usable] of thresholdCases) {
  test(`A warning threshold of ${JSON.stringify(text)} is ${usable ? 'passed on' : 'refused with a message and nothing run'}`, () => {
    const d = openDialog();
    d.primary.setText('a.sdm');
    d.corrwarn.setText(text);
    d.press('Check correlations');
    if (usable) {
      assert.equal(d.host.setParameters().corrwarn, text.trim());
      assert.equal(d.host.executed.length, 1);
    } else {
      assert.deepEqual(d.host.calls, [['message', dialogScript.brindleThresholdProblem(text)]]);
      assert.match(d.host.messages[0], /not a number above 0 and at most 1/);
    }
  });
}

test('The script uses no syntax newer than ECMAScript 5, for the host\'s scripting engine', () => {
  const code = fs.readFileSync(scriptPath, 'utf8')
    .split('\n').filter((line) => !line.trim().startsWith('//')).join('\n');
  for (const [what, pattern] of [['arrow function', /=>/], ['let/const', /\b(let|const)\s/],
    ['template string', /`/], ['class', /\bclass\s/], ['spread', /\.\.\.[A-Za-z]/]]) {
    assert.doesNotMatch(code, pattern, what);
  }
});
