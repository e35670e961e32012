// Glossmith's two panes in a browser: English above, L33T below, each
// translated into the other as it changes, with the rules kept in local
// storage in the window's settings format.
(function () {
  'use strict';

  const STORE_KEY = 'glossmith.settings';
  const g = window.glossmith;
  const byId = (id) => document.getElementById(id);
  const english = byId('english');
  const l33t = byId('l33t');
  const status = byId('status');

  let rules = storedRules();
  let translators = null;
  let lastEdited = english;
  // The last translation's alignment, and the panes it runs from and to.
  let aligned = null;

  // --- rules ----------------------------------------------------------------

  // The stored rules, or on a first visit the built-in alphabet and no
  // Custom strings.
  function storedRules() {
    const text = window.localStorage.getItem(STORE_KEY);
    if (text === null) return { hardcore: false, letters: g.defaultLetters(), pairs: [] };
    return g.readSettings(text);
  }

  // Stores the rules and compiles them. The translators read the rules from
  // the settings text, as the window reads its file.
  function rulesChanged() {
    const settings = g.writeSettings(rules);
    try {
      window.localStorage.setItem(STORE_KEY, settings);
    } catch (error) {
      say('The rules could not be kept in this browser: ' + error.message);
    }
    if (aligned && aligned.alignment) aligned.alignment.free();
    aligned = null;
    if (translators) {
      translators.toL33t.free();
      translators.toEnglish.free();
    }
    translators = {
      toL33t: g.createTranslator({ settings, direction: 'toL33t' }),
      toEnglish: g.createTranslator({ settings, direction: 'toEnglish' }),
    };
    translateFrom(lastEdited);
  }

  // --- panes ----------------------------------------------------------------

  // The translations see line breaks as CR LF, as the window's panes give
  // them; a pane shows every CR LF, LF or CR as one line break.
  function translateFrom(source) {
    const translator = source === english ? translators.toL33t : translators.toEnglish;
    const target = source === english ? l33t : english;
    const text = source.value.replace(/\n/g, '\r\n');
    const output = translator.translate(text);
    target.value = output.replace(/\r\n?/g, '\n');
    if (aligned && aligned.alignment) aligned.alignment.free();
    // Aligned when a selection first asks for it: typing does not wait for it.
    aligned = { source, target, translator, text, output, alignment: null };
    clearHighlights();
  }

  // --- the counterpart of a selection ---------------------------------------

  // The translations see a pane's text with CR LF line breaks, the pane one
  // unit per break: the offsets where the translations' text has a CR that
  // is one break with the LF after it.
  function breaks(text) {
    const at = [];
    for (let i = text.indexOf('\r\n'); i >= 0; i = text.indexOf('\r\n', i + 2)) at.push(i);
    return at;
  }

  // How many of the sorted offsets lie before `offset`.
  function countBefore(offsets, offset) {
    let low = 0, high = offsets.length;
    while (low < high) {
      const middle = (low + high) >>> 1;
      if (offsets[middle] < offset) low = middle + 1;
      else high = middle;
    }
    return low;
  }

  // A pane offset in the translations' text: every break before it is two units there.
  function toTranslated(crs, paneOffset) {
    let low = 0, high = crs.length;  // the CRs at pane offsets before paneOffset
    while (low < high) {
      const middle = (low + high) >>> 1;
      if (crs[middle] - middle < paneOffset) low = middle + 1;
      else high = middle;
    }
    return paneOffset + low;
  }

  function toPane(crs, offset) {
    return offset - countBefore(crs, offset - 1);
  }

  function selectionChanged(pane) {
    if (!aligned || document.activeElement !== pane) return;
    const other = pane === english ? l33t : english;
    if (pane.selectionStart === pane.selectionEnd) {
      clearHighlights();
      return;
    }
    if (!aligned.alignment) {
      aligned.alignment = aligned.translator.translateAligned(aligned.text).alignment;
      aligned.sourceBreaks = breaks(aligned.text);
      aligned.targetBreaks = breaks(aligned.output);
    }
    const fromSource = pane === aligned.source;
    const [fromBreaks, toBreaks] = fromSource
      ? [aligned.sourceBreaks, aligned.targetBreaks] : [aligned.targetBreaks, aligned.sourceBreaks];
    const begin = toTranslated(fromBreaks, pane.selectionStart);
    const end = toTranslated(fromBreaks, pane.selectionEnd);
    const range = fromSource ? aligned.alignment.toTarget(begin, end)
      : aligned.alignment.toSource(begin, end);
    highlight(other, toPane(toBreaks, range.begin), toPane(toBreaks, range.end));
  }

  // Marks units [begin, end) of `pane` and scrolls them into view.
  function highlight(pane, begin, end) {
    clearHighlights();
    const layer = byId(pane.id + '-highlight');
    const mark = document.createElement('mark');
    mark.textContent = pane.value.slice(begin, end);
    // A final line break needs a character after it to take up its line.
    layer.replaceChildren(pane.value.slice(0, begin), mark, pane.value.slice(end) + ' ');
    if (mark.offsetTop < pane.scrollTop || mark.offsetTop + mark.offsetHeight > pane.scrollTop + pane.clientHeight)
      pane.scrollTop = Math.max(0, mark.offsetTop - pane.clientHeight / 3);
    layer.scrollTop = pane.scrollTop;
  }

  function clearHighlights() {
    for (const pane of [english, l33t]) byId(pane.id + '-highlight').replaceChildren();
  }

  function paneEdited(event) {
    lastEdited = event.target;
    translateFrom(lastEdited);
  }

  // --- editors --------------------------------------------------------------

  function renderPairs() {
    const body = byId('pairs');
    body.replaceChildren(...rules.pairs.map((pair, index) => pairRow(pair, index)));
    byId('pairs-head').hidden = rules.pairs.length === 0;
  }

  function pairRow(pair, index) {
    const row = document.createElement('tr');
    const cell = (child) => {
      const td = document.createElement('td');
      td.append(child);
      row.append(td);
    };
    ['Find', 'Replace with'].forEach((caption, side) => {
      const input = document.createElement('input');
      input.type = 'text';
      input.spellcheck = false;
      input.value = pair[side];
      input.setAttribute('aria-label', caption + ', string ' + (index + 1));
      input.addEventListener('input', () => {
        rules.pairs[index][side] = input.value;
        rulesChanged();
      });
      cell(input);
    });
    const remove = document.createElement('button');
    remove.type = 'button';
    remove.textContent = 'Remove';
    remove.setAttribute('aria-label', 'Remove string ' + (index + 1));
    remove.addEventListener('click', () => {
      rules.pairs.splice(index, 1);
      renderPairs();
      rulesChanged();
      say('Removed Custom string ' + (index + 1) + '.');
    });
    cell(remove);
    return row;
  }

  function addPair(event) {
    event.preventDefault();
    const find = byId('new-find');
    const replacement = byId('new-replacement');
    if (find.value === '') {
      say('A find string may not be empty.');
      find.focus();
      return;
    }
    rules.pairs.push([find.value, replacement.value]);
    find.value = '';
    replacement.value = '';
    renderPairs();
    rulesChanged();
    say('Added Custom string ' + rules.pairs.length + '.');
    find.focus();
  }

  function renderLetters() {
    const holder = byId('letters');
    holder.replaceChildren();
    for (let i = 0; i < 26; ++i) {
      const letter = String.fromCharCode(65 + i);
      const box = document.createElement('div');
      const label = document.createElement('label');
      const input = document.createElement('input');
      input.type = 'text';
      input.id = 'letter-' + letter;
      input.spellcheck = false;
      input.value = rules.letters[letter] || '';
      label.htmlFor = input.id;
      label.textContent = letter;
      input.addEventListener('input', () => {
        rules.letters[letter] = input.value;
        rulesChanged();
      });
      box.append(label, input);
      holder.append(box);
    }
  }

  function renderRules() {
    byId('hardcore').checked = rules.hardcore;
    renderPairs();
    renderLetters();
  }

  // --- settings file ----------------------------------------------------------

  async function importFile() {
    const input = byId('import');
    const file = input.files[0];
    if (!file) return;
    const bytes = new Uint8Array(await file.arrayBuffer());
    input.value = '';
    try {
      rules = g.readSettings(new TextDecoder().decode(bytes));
    } catch (error) {
      say('Could not read ' + file.name + ': ' + error.message);
      return;
    }
    renderRules();
    rulesChanged();
    say('Imported ' + file.name + ': ' + rules.pairs.length + ' Custom strings, Hardcore L33T ' +
        (rules.hardcore ? 'on.' : 'off.'));
  }

  function exportFile() {
    const blob = new Blob([g.writeSettings(rules)], { type: 'text/plain' });
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = 'l33t.ini';
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 0);
    say('Exported the rules as l33t.ini.');
  }

  function say(message) {
    status.textContent = message;
  }

  for (const pane of [english, l33t]) {
    pane.addEventListener('input', paneEdited);
    pane.addEventListener('select', () => selectionChanged(pane));
    pane.addEventListener('keyup', () => selectionChanged(pane));
    pane.addEventListener('pointerup', () => selectionChanged(pane));
    pane.addEventListener('scroll', () => { byId(pane.id + '-highlight').scrollTop = pane.scrollTop; });
  }
  document.addEventListener('selectionchange', () => {
    if (document.activeElement === english || document.activeElement === l33t)
      selectionChanged(document.activeElement);
  });
  byId('hardcore').addEventListener('change', (event) => {
    rules.hardcore = event.target.checked;
    rulesChanged();
  });
  byId('add-pair').addEventListener('submit', addPair);
  byId('import').addEventListener('change', importFile);
  byId('export').addEventListener('click', exportFile);

  renderRules();
  rulesChanged();
})();
