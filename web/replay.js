// « Revoir un vol »: a flight file replayed in the simulator itself. The file comes from the button, a
// drop on the page (scenario.js tells a flight from a scenario by its first line), `?vol=URL` or a
// `#vol=` link; the program's own reader reads it (web/replay.cpp). The replay hands each press to the
// program's key entry before the call that took it, at the pace in force: pause, the pace keys and the
// views work, while thruster keys and resets wait for « Prendre les commandes ». Each note stops the
// replay until « Continuer ». A flight can also be kept as a ghost that the deck draws while the person
// flies its start again. A file refused leaves the flight under way as it was.
(() => {
  'use strict';
  const GHOST_MOST = 4000; // points of a ghost's path, at most
  const $ = id => document.getElementById(id);
  const what = $('replay-what'), message = $('replay-message'), picker = $('replay-file');
  const noteBox = $('replay-note'), canvas = $('canvas');

  let flight = null;     // the flight read: replay_read's answer, its source, the notes still to show
  let replaying = false; // its presses go to the program
  let held = false;      // the replay paused the program for a note
  let source = '';       // where the flight came from, for the messages

  // Once the program runs: its menus exist and its first reset is done.
  const running = new Promise(resolve => {
    Module.postRun = [].concat(Module.postRun || [], resolve);
  });

  const pressing = key => Module.pressKey && Module.pressKey(key);
  const state = () => JSON.parse(Module.UTF8ToString(Module._replay_state()));
  const said = (box, key, ...values) => { box.textContent = Words.t(key, ...values); };
  const outcome = end => Words.t('replay.outcome.' + end.coll);

  function buttons() {
    $('replay-end').hidden = $('replay-take').hidden = !replaying;
    $('replay-race').hidden = !flight;
    $('replay-unghost').hidden = !(flight && flight.ghost);
  }

  function describe() {
    if (!flight) return;
    const e = flight.end;
    said(what, 'replay.what', flight.name || source, flight.scenario || '?', e.calls, outcome(e),
         e.t.toFixed(3), e.reserve);
  }

  // A flight refused: the program's reader said why, or the page found it first.
  function refuse(from, fault) {
    const reason = fault.why ?? Words.t('replay.fault.' + fault.fault);
    message.textContent = fault.line ? Words.t('replay.refused.line', from, fault.line, reason)
                                     : Words.t('replay.refused', from, reason);
  }

  // Reads the flight that `read` gives and, if the program's reader takes it, replays it.
  async function load(from, read) {
    message.textContent = '';
    let bytes;
    try {
      bytes = new Uint8Array(await read());
    } catch (e) {
      return refuse(from, {fault: 'unreachable', line: 0});
    }
    await running;
    // The program's reader sees the bytes as they came, and judges their size and their text itself.
    const at = Module._malloc(bytes.length + 1);
    Module.HEAPU8.set(bytes, at);
    const a = JSON.parse(Module.UTF8ToString(Module._replay_read(at, bytes.length)));
    Module._free(at);
    if (a.fault) return refuse(from, a);
    if (replaying) Module._replay_stop();
    flight = a;
    flight.notes.forEach(n => (n.shown = false));
    source = from;
    Deck.ghost(null);
    start(true);
  }

  // The note put away, and the program going again if a note had paused it.
  function release() {
    noteBox.hidden = true;
    if (held) pressing('p');
    held = false;
  }

  // The program at the flight's start; its presses follow when `fly`.
  function start(fly) {
    release();
    Module._replay_start(fly ? 1 : 0);
    replaying = fly;
    Module.onInput && Module.onInput('replay', 0); // the deck sees the new run at once
    describe();
    message.textContent = fly ? '' : Words.t('replay.racing', flight.name || source);
    buttons();
    canvas.focus();
  }

  // A note, shown until « Continuer »: the program waits, paused.
  function showNote(note) {
    note.shown = true;
    $('replay-note-text').textContent = note.text;
    noteBox.hidden = false;
    if (!held && !state().paused) {
      held = true;
      pressing('p');
    }
    $('replay-continue').focus();
  }

  function nextNote(upTo) {
    return flight && flight.notes.find(n => !n.shown && n.t <= upTo + 1e-9);
  }

  // The replay's end: what it came to, against the file's own last line; notes past the end's time,
  // which the flight never reached, show now.
  function ended() {
    replaying = false;
    const st = state();
    said(message, st.same ? 'replay.done' : 'replay.differs', outcome(st.end), st.end.t.toFixed(3));
    message.dataset.same = st.same;
    buttons();
    const late = flight.notes.find(n => !n.shown);
    if (late && noteBox.hidden) showNote(late);
  }

  // Just before each idle call: the presses of the call it makes, if it makes one.
  Module.beforeIdle = (prev => () => {
    if (prev) prev();
    if (replaying && noteBox.hidden && !Module._replay_before_idle()) ended();
  })(Module.beforeIdle);

  Module.onFrame = (prev => () => {
    if (prev) prev();
    if (!replaying || !noteBox.hidden) return;
    const st = state();
    said(what, 'replay.progress', st.calls, flight.end.calls, flight.name || source);
    const note = nextNote(st.t);
    if (note) showNote(note);
  })(Module.onFrame);

  // While replaying, what would change the flight waits: the thrusters, the switches of the orbit
  // and the resets, from the keys, the pad or the menu.
  Module.acceptInput = (prev => (kind, code, top) => {
    if (prev && !prev(kind, code, top)) return false;
    if (!replaying) return true;
    const blocked = (kind == 'special' && code >= 100 && code <= 105) ||
      (kind == 'key' && 'koO'.includes(String.fromCharCode(code))) || (kind == 'menu' && (!top || code == 0 || code == 3));
    if (blocked) said(message, 'replay.take-first');
    return !blocked;
  })(Module.acceptInput);

  $('replay-continue').addEventListener('click', () => {
    release();
    canvas.focus();
    if (!replaying && flight) {
      const late = flight.notes.find(n => !n.shown);
      if (late) showNote(late);
    }
  });
  $('replay-end').addEventListener('click', () => {
    if (!replaying) return;
    release();
    Module._replay_to_end();
    // The notes on the way were passed over at the person's asking.
    const t = state().t;
    flight.notes.forEach(n => { if (n.t <= t + 1e-9) n.shown = true; });
    ended();
    canvas.focus();
  });
  $('replay-take').addEventListener('click', () => {
    if (!replaying) return;
    Module._replay_stop();
    replaying = false;
    release();
    said(message, 'replay.taken', state().calls);
    buttons();
    canvas.focus();
  });
  $('replay-race').addEventListener('click', () => {
    if (!flight) return;
    if (replaying) Module._replay_stop();
    flight.ghost = JSON.parse(Module.UTF8ToString(Module._replay_path(GHOST_MOST)));
    Deck.ghost({path: flight.ghost, name: flight.name || source});
    start(false);
  });
  $('replay-unghost').addEventListener('click', () => {
    Deck.ghost(null);
    if (flight) flight.ghost = null;
    message.textContent = '';
    buttons();
    canvas.focus();
  });
  $('replay-open').addEventListener('click', () => picker.click());
  picker.addEventListener('change', () => {
    const file = picker.files[0];
    if (file) load(file.name, () => file.arrayBuffer());
    picker.value = '';
  });
  Words.onChange(() => {
    describe();
    message.textContent = '';
  });

  // A flight by link: `#vol=` and the file's text, or `?vol=` and its address.
  const query = new URLSearchParams(location.search);
  const carried = location.hash.match(/^#vol=(.*)$/s);
  if (carried) {
    let t = null;
    try {
      t = decodeURIComponent(carried[1]);
    } catch (e) {} // a link cut short or mangled on its way
    if (t === null) running.then(() => refuse(Words.t('scenario.by-link'), {fault: 'damaged-link', line: 0}));
    else load(Words.t('scenario.by-link'), () => new TextEncoder().encode(t));
  } else if (query.get('vol')) {
    const url = query.get('vol');
    load(url, async () => {
      const response = await fetch(new URL(url, location.href));
      if (!response.ok) throw new Error(response.status);
      return response.arrayBuffer();
    });
  }

  // What scenario.js asks when a file is dropped: whether it is a flight, by its first line, and to
  // replay it.
  window.Replay = {
    isFlight: bytes => new TextDecoder('utf-8').decode(bytes.slice(0, 64)).replace(/^\ufeff/, '').startsWith('# vol rendez-vous'),
    load: load,
  };
})();
