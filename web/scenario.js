// Scenarios from outside the page: `?cas=N` picks one of the program's own from its menu; a link's
// `#scenario=` text, a file at `?scenario=URL`, one picked with « Ouvrir un scénario… » or dropped on
// the page each become the first scenario, the program's data/fo.in, once the program's own reader
// has found them whole and within what the program takes. A refused file never reaches the program:
// the flight goes on with the scenario it had.
(() => {
  'use strict';
  const MAX_BYTES = 65536;             // as the program's reader, which reads no further
  const FIRST = 'data/fo.in';          // what « Remise à zéro complète » comes back to
  const SCRATCH = '/tmp/scenario.in';  // where a file waits while the reader checks it
  const CONTROL = /[\x00-\x08\x0e-\x1f\x7f]/; // characters that no text file holds
  const name = document.getElementById('scenario-name');
  const message = document.getElementById('scenario-message');
  const share = document.getElementById('scenario-share');
  const link = document.getElementById('scenario-link');
  const picker = document.getElementById('scenario-file');

  // Resolved once the program runs: its menus exist and its first reset is done.
  const running = new Promise(resolve => {
    Module.postRun = [].concat(Module.postRun || [], resolve);
  });

  // The words' name for a scenario carried by a link, in the language shown when it is said.
  const LINK = {};
  const named = source => (source === LINK ? Words.t('scenario.by-link') : source);

  function refuse(source, why, ...values) {
    message.textContent = Words.t('scenario.refused', named(source), Words.t(why, ...values));
  }

  // The program's reader on the text, its own messages kept out of the console pane: the words of what
  // it found wrong, [key, values...], or null.
  function check(text) {
    Module.FS.writeFile(SCRATCH, text);
    const said = Module.hush = [];
    const code = Module.ccall('webScenarioCheck', 'number', ['string'], [SCRATCH]);
    Module.hush = null;
    Module.FS.unlink(SCRATCH);
    const item = Module.ccall('webScenarioFault', 'string', [], []);
    // The reader's own message tells an item it did not find from one it could not read.
    if (code == 1 && said.some(line => line.includes(`"${item}=" missing`))) return ['scenario.missing', item];
    if (code == 1) return ['scenario.not-finite', item];
    const range = {2: 'scenario.nx-range', 3: 'scenario.dt-not-positive', 4: 'scenario.dt-too-small',
                   5: 'scenario.dt-too-long'};
    return code ? [range[code]] : null;
  }

  // Checks the bytes that `read` gives and, if the program takes them, makes them its first scenario;
  // its link is offered to copy unless `unshared`.
  async function load(source, read, unshared) {
    message.textContent = '';
    let bytes;
    try {
      bytes = new Uint8Array(await read());
    } catch (e) {
      return refuse(source, 'scenario.unreachable');
    }
    if (bytes.length > MAX_BYTES) return refuse(source, 'scenario.too-big');
    // UTF-8, or else the Windows Latin-1 of many a school's editor: the reader looks at ASCII only.
    let text;
    try {
      text = new TextDecoder('utf-8', {fatal: true}).decode(bytes);
    } catch (e) {
      text = new TextDecoder('windows-1252').decode(bytes);
    }
    if (CONTROL.test(text)) return refuse(source, 'scenario.not-text');
    await running;
    const wrong = check(text);
    if (wrong) return refuse(source, ...wrong);
    Module.FS.writeFile(FIRST, text);
    Module.chooseMenu([0]);
    current = source;
    showCurrent();
    shared = unshared ? null : text;
    showLink();
    share.hidden = !!unshared;
    return text;
  }

  let current = null; // the source of the scenario in use, once one came in
  let shared = null;  // its text, for the link that carries it
  function showCurrent() {
    if (current !== null) name.textContent = Words.t('scenario.current', named(current));
  }
  // The link that carries the scenario, in the page's language.
  function showLink() {
    if (shared !== null) link.value = Words.link(location.pathname) + '#scenario=' + encodeURIComponent(shared);
  }
  Words.onChange(() => {
    showCurrent();
    showLink();
  });

  async function fetched(url) {
    const response = await fetch(url);
    if (!response.ok) throw new Error(response.status);
    return response.arrayBuffer();
  }

  // The text of the scenario file in force.
  const inForce = () => Module.FS.readFile(Module.UTF8ToString(Module._deck_words()).split('\n')[0], {encoding: 'utf8'});
  // The scenario the page was opened with, once in place: the program's first, `?cas=`'s, or a link's;
  // its text, or null when the link's was refused.
  let launched = running.then(inForce);
  const query = new URLSearchParams(location.search);
  const cas = query.get('cas');
  if (cas !== null && /^[0-5]$/.test(cas)) {
    launched = running.then(() => {
      Module.chooseMenu([1, Number(cas)]);
      return inForce();
    });
  }
  const carried = location.hash.match(/^#scenario=(.*)$/s);
  if (carried) {
    let text = null;
    try {
      text = decodeURIComponent(carried[1]);
    } catch (e) {} // a link cut short or mangled on its way
    if (text === null) refuse(LINK, 'scenario.damaged-link');
    launched = text === null ? Promise.resolve(null) : load(LINK, () => new TextEncoder().encode(text));
  } else if (query.get('scenario')) {
    const url = query.get('scenario');
    launched = load(url, () => fetched(new URL(url, location.href)));
  }

  document.getElementById('scenario-open').addEventListener('click', () => picker.click());
  picker.addEventListener('change', () => {
    const file = picker.files[0];
    if (file) load(file.name, () => file.arrayBuffer());
    picker.value = '';
  });
  // A file dropped anywhere on the page; the browser would otherwise open it in place of the page.
  document.addEventListener('dragover', e => e.preventDefault());
  // A flight file dropped is replay.js's, by its first line.
  document.addEventListener('drop', async e => {
    e.preventDefault();
    const file = e.dataTransfer.files[0];
    if (!file) return;
    const bytes = await file.arrayBuffer();
    if (window.Replay && Replay.isFlight(new Uint8Array(bytes))) Replay.load(file.name, () => bytes);
    else load(file.name, () => bytes);
  });
  // The scenario the page was opened with (a promise of its text, or of null), for the learning
  // platform's grade; and the source of the scenario in use, for a flight file's `scenario:` line: the
  // file brought to the page while data/fo.in is the one it became, or else the program's own file.
  window.Scenario = {
    launched: launched.then(text => text ?? null, () => null),
    source: () => {
      const file = Module.UTF8ToString(Module._deck_words()).split('\n')[0];
      return current !== null && file == FIRST ? named(current) : file;
    },
    // A scenario the page made (a student's own start, start.js): brought in as a file is, under the
    // name `source`, its link not offered. Resolves to whether the program took it.
    take: (source, text) => load(source, () => new TextEncoder().encode(text), true),
  };
  document.getElementById('scenario-copy').addEventListener('click', async () => {
    link.select();
    try {
      await navigator.clipboard.writeText(link.value);
    } catch (e) {
      document.execCommand('copy'); // a browser that keeps the clipboard from scripts
    }
    message.textContent = Words.t('scenario.copied');
  });
})();
