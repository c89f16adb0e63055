// Brindle.js: the dialog of the Brindle plug-in.
//
// The host loads this file beside the plug-in library, evaluates it, and then calls
// buildBrindleDialog(host) once when the user opens the plug-in. The script keeps the user's
// choices in its widgets; an action button hands them to the plug-in as named dialog parameters
// and then runs the plug-in, which answers in the host's log pane and message boxes.
//
// The script is plain ECMAScript 5 (no arrow functions, let/const or template strings), so any
// scripting engine the host embeds can run it.
//
// ---------------------------------------------------------------------------------------------
// The host scripting interface: the one object `host` passed to buildBrindleDialog.
//
// Dialog parameters (named values that the plug-in reads and writes; names are case-sensitive):
//   host.getStringParameter(name)        -> the text, "" when the parameter was never set
//   host.setStringParameter(name, text)  stores a text
//   host.getIntParameter(name)           -> the integer, 0 when the parameter was never set
//   host.setIntParameter(name, value)    stores an integer
//
// The plug-in:
//   host.execute()                       runs the plug-in's execute() with the parameters as they
//                                        stand now and returns its boolean result when it is done
//                                        (its message boxes and file dialogs are modal)
//
// Host dialogs (modal; they return when the user has answered):
//   host.openFilesDialog(title, initialPath, filter) -> array of chosen paths, [] when cancelled
//   host.messageBox(text)                shows a message box
//
// Widgets: host.dialog is the dialog's top container. Every container offers
//   c.group(title)              -> a new container drawn as a titled frame
//   c.row()                     -> a new container whose widgets sit side by side
//   c.label(text)               a line of text
//   c.textField(text, hint)     -> { getText(), setText(text) }; hint is shown while it is empty
//   c.checkBox(label, checked)  -> { isChecked(), setChecked(bool) }
//   c.listBox(items)            -> { getItems(), setItems(array), getSelectedIndices() }
//                                  (several rows can be selected)
//   c.button(label, onClick)    a push button; onClick() runs when it is pressed
// ---------------------------------------------------------------------------------------------
//
// What the plug-in reads, per action (every action sets "task" first):
//   Browse...        "task" = "open_sdm"; the plug-in shows its own file dialog and answers with
//                    "sdmfile", which becomes the primary SDM (an empty answer keeps the old one)
//   Check correlations   "task" = "sdm1corr", "sdm1", "confounds", "strict", "corrplot",
//                    "corrhtml", "corrwarn", "corrdir", "contrasts"
//   Merge primary with each secondary
//                    "task" = "mergeall", "ztans", "baseline", "allcorr", "sdms2", "sdm1",
//                    "confounds", "strict", "corrplot", "corrhtml", "corrwarn", "corrdir",
//                    "contrasts"
//   Merge all secondaries
//                    "task" = "mergesec", "ztans", "baseline", "allcorr", "sdms2", "confounds",
//                    "strict", "corrplot", "corrhtml", "corrwarn", "corrdir", "contrasts"
//   Convert          "task" = "convert", "sdm1", "confounds", "strict"; the plug-in offers the
//                    primary's name with ".sdm" in its save dialog, and a name ending in ".tsv"
//                    saves a tab-separated table instead
//   Make designs     "task" = "design", "events", "tr", "volumes", "hrf", "derivatives",
//                    "sliceref", "conditions", "conditioncolumn", "highpass", "allcorr",
//                    "corrplot", "corrhtml", "corrwarn", "corrdir", "contrasts"; the
//                    plug-in offers each events file's design in its save dialog
//                    (NAME_events.tsv as NAME_design.sdm) and writes its report as a merge does
// "sdms2" is the list of secondary SDMs joined with "\n"; the six options are integers, 1 for on
// and 0 for off ("strict": refuse SDMs that the reader had to repair; "corrhtml": the page of
// each result beside its report); "corrwarn" is the warning
// threshold as text, "" for none; "corrdir" is the folder that every report and heatmap goes
// into, "" for beside its SDM; "confounds" is the selection of columns taken from every file that
// is not an SDM (fMRIPrep .tsv, .csv, FSL .par, SPM rp_*.txt, AFNI .1D), "" for the plug-in's
// default. For designs, "events" is the list of BIDS events files joined with "\n"; "tr" (the
// repetition time in seconds) and "sliceref" (when in its TR a volume is taken, 0 to 1, "" for
// 0) are texts with a point, which the plug-in checks; "volumes" is an integer (when it is 0 the
// plug-in counts the data points of the file "volumesfrom", which this dialog leaves unset, as
// Tormel's --volumes-from sets it); "hrf" is "spm", "glover" or "" (spm); "derivatives" is 1 or
// 0; "conditions" names the conditions to model, with * and ?, "" for all; "conditioncolumn" is
// the events column that names them, "" for trial_type; "highpass" is the cut-off in seconds of
// the cosine drifts the design gets with the constant, "" or 0 for neither. "contrasts" holds the
// contrasts every report tests, one definition a line ("faces_vs_houses = faces - houses"), ""
// for each predictor of interest its own; the dialog's field separates them with ";".

// The files the secondary list takes: SDMs and the confound files of preprocessing pipelines.
var BRINDLE_INPUT_FILTER = 'Design Matrix or confounds (*.sdm *.tsv *.csv *.par *.txt *.1D)';

// The files the events list takes.
var BRINDLE_EVENTS_FILTER = 'BIDS events (*_events.tsv *.tsv)';

// The parameters that `task` hands to the plug-in, in the order they are set, from the dialog's
// state { primary, secondaries, ztans, baseline, allcorr, corrplot, corrhtml, strict, corrwarn,
// corrdir, confounds, contrasts, events, tr, volumes, hrf, derivatives, sliceref, conditions,
// conditioncolumn, highpass }.
// Returns { strings: [[name, text]...], ints: [[name, integer]...] }; "task" is the first string.
function brindleTaskParameters(task, state) {
  var strings = [['task', task]];
  var ints = [];
  var flag = function (on) { return on ? 1 : 0; };
  if (task === 'design') {
    strings.push(['events', state.events.join('\n')]);
    strings.push(['tr', brindleTrim(state.tr)]);
    ints.push(['volumes', Number(brindleTrim(state.volumes))]);
    strings.push(['hrf', brindleTrim(state.hrf)]);
    ints.push(['derivatives', flag(state.derivatives)]);
    strings.push(['sliceref', brindleTrim(state.sliceref)]);
    strings.push(['conditions', brindleTrim(state.conditions)]);
    strings.push(['conditioncolumn', brindleTrim(state.conditioncolumn)]);
    strings.push(['highpass', brindleTrim(state.highpass)]);
    // Each design gets the report a merge's result gets, when the dialog asks for reports.
    ints.push(['allcorr', flag(state.allcorr)]);
  }
  if (task === 'mergeall' || task === 'mergesec') {
    ints.push(['ztans', flag(state.ztans)]);
    ints.push(['baseline', flag(state.baseline)]);
    ints.push(['allcorr', flag(state.allcorr)]);
    strings.push(['sdms2', state.secondaries.join('\n')]);
  }
  if (task === 'mergeall' || task === 'sdm1corr' || task === 'convert') strings.push(['sdm1', state.primary]);
  if (task !== 'open_sdm' && task !== 'design') {
    strings.push(['confounds', brindleTrim(state.confounds)]);
    ints.push(['strict', flag(state.strict)]);
  }
  if (brindleReadsThreshold(task)) {
    ints.push(['corrplot', flag(state.corrplot)]);
    ints.push(['corrhtml', flag(state.corrhtml)]);
    strings.push(['corrwarn', brindleTrim(state.corrwarn)]);
    strings.push(['corrdir', String(state.corrdir || '')]);
    strings.push(['contrasts', brindleContrastLines(state.contrasts || '')]);
  }
  return { strings: strings, ints: ints };
}

// The contrasts of the dialog's field as the plug-in reads them: the definitions between the
// ";" outside double quotes, each without the blanks around it, one a line, empty ones dropped.
function brindleContrastLines(text) {
  var lines = [];
  var current = '';
  var quoted = false;
  var all = String(text) + ';';
  for (var i = 0; i < all.length; i++) {
    var c = all.charAt(i);
    if (c === '"') quoted = !quoted;
    if ((c === ';' && !quoted) || i === all.length - 1) {
      var definition = brindleTrim(current);
      if (definition !== '') lines.push(definition);
      current = '';
    } else if (c !== '\r' && c !== '\n') {
      current += c;
    }
  }
  return lines.join('\n');
}

// True for the tasks that write correlation reports and so read "corrplot" and "corrwarn".
function brindleReadsThreshold(task) {
  return task === 'sdm1corr' || task === 'mergeall' || task === 'mergesec' || task === 'design';
}

function brindleTrim(text) {
  return String(text).replace(/^[ \t\r\n]+|[ \t\r\n]+$/g, '');
}

// Why the warning threshold `text` cannot be used, or null when it can: empty (no warnings) or a
// plain decimal number above 0 and at most 1 once rounded to the plug-in's single precision, with
// a point as decimal separator ("0.8", ".75"). The plug-in applies the same rule and ignores a
// threshold that breaks it.
function brindleThresholdProblem(text) {
  var t = brindleTrim(text);
  if (t === '') return null;
  if (/^(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/.test(t)) {
    var value = Math.fround(Number(t));
    if (value > 0 && value <= 1) return null;
  }
  return 'The warning threshold "' + t + '" is not a number above 0 and at most 1. ' +
         'Write it with a point, such as 0.8, or leave the field empty.';
}

// Why the number of volumes `text` cannot be used, or null when it can: a whole number from 1 to
// 268435456 (the most values an SDM holds), digits only.
function brindleVolumesProblem(text) {
  var t = brindleTrim(text);
  if (/^\d+$/.test(t) && Number(t) >= 1 && Number(t) <= 268435456) return null;
  return 'The number of volumes "' + t + '" is not a whole number from 1 to 268435456. ' +
         'Give the number of volumes of each run, such as 180.';
}

// The secondary list stored in "sdms2" as an array: one path per line, empty lines dropped.
function brindleSplitList(text) {
  var out = [];
  var lines = String(text).split('\n');
  for (var i = 0; i < lines.length; i++) if (lines[i] !== '') out.push(lines[i]);
  return out;
}

// Appends the files chosen in the open dialog to `list`; the dialog starts at the list's last
// file, or at `start` when the list is empty. A cancelled dialog changes nothing.
function brindleAddFiles(host, list, title, start, filter) {
  var items = list.getItems();
  var chosen = host.openFilesDialog(title, items.length > 0 ? items[items.length - 1] : start, filter);
  var added = items.slice();
  for (var i = 0; i < chosen.length; i++) {
    // A line feed would split one path into two list entries.
    if (chosen[i] !== '' && chosen[i].indexOf('\n') < 0) added.push(chosen[i]);
  }
  list.setItems(added);
}

// Drops the selected entries of `list`.
function brindleRemoveSelected(list) {
  var selected = list.getSelectedIndices();
  var drop = {};
  for (var i = 0; i < selected.length; i++) drop[selected[i]] = true;
  var kept = [];
  var items = list.getItems();
  for (var j = 0; j < items.length; j++) if (!drop[j]) kept.push(items[j]);
  list.setItems(kept);
}

// Builds the dialog with host's widgets and wires its buttons. Returns the controller object,
// whose methods are what the buttons call.
function buildBrindleDialog(host) {
  var ui = host.dialog;

  var primaryBox = ui.group('Primary SDM');
  var primaryRow = primaryBox.row();
  var primaryField = primaryRow.textField(host.getStringParameter('sdm1'), 'the SDM to check, or to merge with each secondary');

  var secondaryBox = ui.group('Secondary SDMs');
  var secondaryList = secondaryBox.listBox(brindleSplitList(host.getStringParameter('sdms2')));
  var listButtons = secondaryBox.row();

  var optionBox = ui.group('Options');
  var ztansBox = optionBox.checkBox('Z-transform confounds', host.getIntParameter('ztans') !== 0);
  var baselineBox = optionBox.checkBox('Add constant', host.getIntParameter('baseline') !== 0);
  var allcorrBox = optionBox.checkBox('Correlation reports', host.getIntParameter('allcorr') !== 0);
  var corrplotBox = optionBox.checkBox('Draw heatmap', host.getIntParameter('corrplot') !== 0);
  var corrhtmlBox = optionBox.checkBox('Page of each result (HTML)', host.getIntParameter('corrhtml') !== 0);
  var strictBox = optionBox.checkBox('Refuse SDMs that needed repair', host.getIntParameter('strict') !== 0);
  var warnRow = optionBox.row();
  warnRow.label('Warn at |r| \u2265');
  var corrwarnField = warnRow.textField(host.getStringParameter('corrwarn'), 'e.g. 0.8; empty: no warnings');
  var folderRow = optionBox.row();
  folderRow.label('Reports into');
  var corrdirField = folderRow.textField(host.getStringParameter('corrdir'), 'a folder; empty: beside each SDM');
  var confoundRow = optionBox.row();
  confoundRow.label('Confounds');
  var confoundsField = confoundRow.textField(host.getStringParameter('confounds'),
    'columns of .tsv/.par/rp_*.txt files, e.g. motion24,wm_csf; empty: motion6');
  var contrastRow = optionBox.row();
  contrastRow.label('Contrasts');
  var contrastsField = contrastRow.textField(brindleSplitList(host.getStringParameter('contrasts')).join('; '),
    'e.g. faces_vs_houses = faces - houses; all = [faces, houses]; empty: each condition');

  var designBox = ui.group('Design from events');
  var eventsList = designBox.listBox(brindleSplitList(host.getStringParameter('events')));
  var eventsButtons = designBox.row();
  var timingRow = designBox.row();
  timingRow.label('TR (s)');
  var trField = timingRow.textField(host.getStringParameter('tr'), 'e.g. 2 or 0.8');
  timingRow.label('Volumes');
  var volumesField = timingRow.textField(host.getIntParameter('volumes') > 0 ? String(host.getIntParameter('volumes')) : '',
    'per run, e.g. 180');
  var modelRow = designBox.row();
  modelRow.label('HRF');
  var hrfField = modelRow.textField(host.getStringParameter('hrf'), 'spm or glover; empty: spm');
  modelRow.label('Slice-timing reference');
  var slicerefField = modelRow.textField(host.getStringParameter('sliceref'), '0 to 1 of the TR; empty: 0');
  var derivativesBox = designBox.checkBox('Time derivatives', host.getIntParameter('derivatives') !== 0);
  var conditionRow = designBox.row();
  conditionRow.label('Conditions');
  var conditionsField = conditionRow.textField(host.getStringParameter('conditions'), 'e.g. go,stop*; empty: all');
  conditionRow.label('Condition column');
  var conditionColumnField = conditionRow.textField(host.getStringParameter('conditioncolumn'),
    'events column; empty: trial_type');
  var driftRow = designBox.row();
  driftRow.label('High-pass (s)');
  var highpassField = driftRow.textField(host.getStringParameter('highpass'),
    'cosine drifts and constant, e.g. 128; empty: none');

  var dialog = {
    state: function () {
      return {
        primary: primaryField.getText(),
        secondaries: secondaryList.getItems().slice(),
        ztans: ztansBox.isChecked(),
        baseline: baselineBox.isChecked(),
        allcorr: allcorrBox.isChecked(),
        corrplot: corrplotBox.isChecked(),
        corrhtml: corrhtmlBox.isChecked(),
        strict: strictBox.isChecked(),
        corrwarn: corrwarnField.getText(),
        corrdir: corrdirField.getText(),
        confounds: confoundsField.getText(),
        contrasts: contrastsField.getText(),
        events: eventsList.getItems().slice(),
        tr: trField.getText(),
        volumes: volumesField.getText(),
        hrf: hrfField.getText(),
        derivatives: derivativesBox.isChecked(),
        sliceref: slicerefField.getText(),
        conditions: conditionsField.getText(),
        conditioncolumn: conditionColumnField.getText(),
        highpass: highpassField.getText()
      };
    },

    // Asks the plug-in for an SDM: it shows the open dialog and answers in "sdmfile".
    browsePrimary: function () {
      host.setStringParameter('task', 'open_sdm');
      host.execute();
      var chosen = host.getStringParameter('sdmfile');
      if (chosen !== '') primaryField.setText(chosen);
    },

    addSecondaries: function () {
      brindleAddFiles(host, secondaryList, 'Add secondary SDMs:', primaryField.getText(), BRINDLE_INPUT_FILTER);
    },

    removeSelected: function () {
      brindleRemoveSelected(secondaryList);
    },

    addEvents: function () {
      brindleAddFiles(host, eventsList, 'Add events files:', '', BRINDLE_EVENTS_FILTER);
    },

    removeEvents: function () {
      brindleRemoveSelected(eventsList);
    },

    clearSecondaries: function () {
      secondaryList.setItems([]);
    },

    // Hands the dialog's state to the plug-in and runs `task`. Returns the plug-in's result, or
    // false without running it when the task reads a warning threshold that cannot be used.
    run: function (task) {
      var state = dialog.state();
      var problem = brindleReadsThreshold(task) ? brindleThresholdProblem(state.corrwarn) : null;
      if (task === 'design') problem = brindleVolumesProblem(state.volumes);
      if (problem !== null) {
        host.messageBox(problem);
        return false;
      }
      var params = brindleTaskParameters(task, state);
      for (var i = 0; i < params.strings.length; i++) host.setStringParameter(params.strings[i][0], params.strings[i][1]);
      for (var j = 0; j < params.ints.length; j++) host.setIntParameter(params.ints[j][0], params.ints[j][1]);
      return host.execute();
    }
  };

  primaryRow.button('Browse...', dialog.browsePrimary);
  listButtons.button('Add...', dialog.addSecondaries);
  listButtons.button('Remove', dialog.removeSelected);
  listButtons.button('Clear', dialog.clearSecondaries);
  eventsButtons.button('Add events...', dialog.addEvents);
  eventsButtons.button('Remove events', dialog.removeEvents);

  var actions = ui.group('Actions');
  actions.button('Check correlations', function () { dialog.run('sdm1corr'); });
  actions.button('Merge primary with each secondary', function () { dialog.run('mergeall'); });
  actions.button('Merge all secondaries', function () { dialog.run('mergesec'); });
  actions.button('Convert', function () { dialog.run('convert'); });
  actions.button('Make designs', function () { dialog.run('design'); });

  return dialog;
}

if (typeof module !== 'undefined' && module.exports) {
  module.exports = {
    buildBrindleDialog: buildBrindleDialog,
    brindleTaskParameters: brindleTaskParameters,
    brindleThresholdProblem: brindleThresholdProblem,
    brindleVolumesProblem: brindleVolumesProblem,
    brindleSplitList: brindleSplitList,
    brindleContrastLines: brindleContrastLines
  };
}
