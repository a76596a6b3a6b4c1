// The flight deck beside the square: the live state, a picture of the orbital plane with the path
// flown since the last reset, the planner's advice from the moment shown, the flight saved as a
// picture and as the keys pressed, and what the words of the simulator's screen mean. It reads the
// program through web/deck.cpp only, hears of frames and inputs through Module.onFrame and
// Module.onInput, and never writes the program's state. Its words are words.js's.
(() => {
  'use strict';
  const deck = document.getElementById('deck');
  const canvas = document.getElementById('canvas');
  const plane = document.getElementById('deck-plane');
  const strip = document.getElementById('deck-strip');
  const adviceBox = document.getElementById('deck-advice');
  const $ = id => document.getElementById(id);

  // The slots of deck_state's array.
  const T = 0, X = 1, Y = 2, Z = 3, XP = 4, YP = 5, ZP = 6, PC = 7, COLL = 8, PX = 15, PY = 16, PZ = 17, SHOWN = 25,
    CALLS = 26, EVENTS = 27, T0 = 28, SLOTS = 30;
  // The thruster keys by GLUT's codes: the plan's name, and the thrust slot the press sets.
  const THRUSTERS = {100: ['Left', PX], 101: ['Up', PY], 102: ['Right', PX], 103: ['Down', PY],
                     104: ['PageUp', PZ], 105: ['PageDown', PZ]};
  // The box, the port and its window, as the outcome rules place them.
  const BOX_X = 0.4, BOX_Y = 1.5, PORT_Y = -1.5, WINDOW = 0.1;
  // A person may come to a step up to this late (the planner's own allowance).
  const LATE_MAX = 0.5;
  const REDRAW_MS = 80; // the picture at most this often: above 10 a second, far below the frame rate
  const PATH_MOST = 5000; // points of a path taken whole from the record, at most
  // Small pictures drawn in software: cheaper than a GPU's canvas where the GPU is itself software.
  const CANVAS = {willReadFrequently: true};
  const NAME = 'rendezvous.name'; // where the browser keeps the pilot's name

  let view = null;   // Float64Array over the seam's array
  let s = null;      // the state read this frame
  let flight = null; // the run since the last reset as drawn: {path: [t, X, Y, Z, ...], calls, events, t0}
  let advice = null; // the advice shown: the seam's answer, plus done[] and next
  let ghost = null;  // a flight kept to race: {path: [t, X, Y, Z, ...], name}
  let drawn = 0;     // when the picture was last drawn, ms
  let screen = [];   // the screen's numbers: temps, vitesse, distance, reserve, x, y, z, xp, yp, zp

  function read() {
    const at = Module._deck_state();
    if (!view || view.buffer !== Module.HEAPF64.buffer) view = new Float64Array(Module.HEAPF64.buffer, at, SLOTS);
    s = view;
    screen = Module.UTF8ToString(s[SHOWN]).split(' ');
  }

  // ---- The run since the last reset: the core's record, read ----

  function restart() {
    flight = {path: [s[T], s[X], s[Y], s[Z]], calls: s[CALLS], events: s[EVENTS], t0: s[T0], advised: false};
    if (s[CALLS] > 0) flight.path = JSON.parse(Module.UTF8ToString(Module._deck_path(PATH_MOST)));
    // Advice from before the reset is for another flight.
    advice = null;
    adviceBox.textContent = '';
  }

  // A new run: the record holds fewer calls or events than the one drawn, or starts at another time or
  // another place.
  function isReset() {
    const p = flight.path;
    return s[CALLS] < flight.calls || s[EVENTS] < flight.events || s[T0] != flight.t0 ||
      (s[CALLS] == 0 && (s[X] != p[1] || s[Y] != p[2] || s[Z] != p[3]));
  }

  // The path follows the record's calls: one more point a call, or, after many calls at once, the
  // whole path again from the record. A chaser at rest against the target adds nothing.
  function followCalls() {
    if (s[CALLS] == flight.calls) return;
    if (s[CALLS] == flight.calls + 1) {
      if (!flight.ended) flight.path.push(s[T], s[X], s[Y], s[Z]);
    } else {
      flight.path = JSON.parse(Module.UTF8ToString(Module._deck_path(PATH_MOST)));
    }
    flight.calls = s[CALLS];
    if (s[COLL] != 0 && s[COLL] != 4 && !flight.ended) {
      flight.ended = true;
      showWords();
    }
  }

  Module.onInput = (prev => (kind, code) => {
    if (prev) prev(kind, code);
    if (!flight) return;
    read();
    if (isReset()) restart();
    // A press that found the reserve empty gave no thrust, and follows no step.
    if (kind == 'special' && THRUSTERS[code] && s[THRUSTERS[code][1]] != 0 && advice && advice.steps)
      follow(THRUSTERS[code][0]);
    flight.events = s[EVENTS];
    if (kind != 'special') showWords(); // a scenario chosen, or an outcome undone
    refresh(true);
  })(Module.onInput);

  Module.onFrame = (prev => () => {
    if (prev) prev();
    read();
    if (!flight) {
      restart();
      showWords();
    }
    if (isReset()) {
      restart();
      showWords();
    }
    followCalls();
    flight.events = s[EVENTS];
    refresh(false);
  })(Module.onFrame);

  // ---- The live state ----

  // The scenario's file and the outcome's message as the screen shows it, with, in a page that does
  // not speak the simulator's French, what the message means.
  function showWords() {
    const [file, outcome] = Module.UTF8ToString(Module._deck_words()).split('\n');
    $('deck-file').textContent = file;
    const box = $('deck-outcome');
    box.replaceChildren();
    if (!outcome) return;
    el(box, 'span', '', outcome).lang = 'fr';
    if (Words.lang != 'fr') el(box, 'span', 'deck-meaning', ' \u2014 ' + Words.t('screen.outcome.' + s[COLL]));
    // The score of the run, against the planner's plan from its start.
    const sc = JSON.parse(Module.UTF8ToString(Module._deck_score()));
    el(box, 'span', 'deck-score', Words.t('deck.score', sc.used, sc.advised || '\u2014', sc.score));
  }

  function refresh(now) {
    if (deck.hidden) return;
    const cells = {temps: 0, vitesse: 1, distance: 2, reserve: 3, x: 4, y: 5, z: 6, xp: 7, yp: 8, zp: 9};
    for (const name in cells) {
      const cell = $('deck-' + name), text = name == 'reserve' ? String(Math.max(0, s[PC])) : screen[cells[name]];
      if (cell.textContent !== text) cell.textContent = text;
    }
    if (advice && advice.steps) showProgress();
    const ms = performance.now();
    if (now || ms - drawn >= REDRAW_MS) {
      drawn = ms;
      draw();
    }
  }

  // ---- The picture ----

  // The part of the plane to show: the path, the chaser and the port; near the port, the port.
  function bounds() {
    const p = flight.path, near = Math.hypot(s[X], s[Y] - PORT_Y, s[Z]) < 3;
    let y0 = PORT_Y - 0.5, y1 = near ? PORT_Y + 1 : BOX_Y + 0.5, x0 = -BOX_X - 0.3, x1 = BOX_X + 0.3;
    const hold = (x, y) => { y0 = Math.min(y0, y); y1 = Math.max(y1, y); x0 = Math.min(x0, x); x1 = Math.max(x1, x); };
    hold(s[X], s[Y]);
    if (near) return [y0 - 0.3, y1 + 0.3, x0 - 0.3, x1 + 0.3];
    for (let i = 0; i < p.length; i += 4) hold(p[i + 1], p[i + 2]);
    if (advice && advice.flight) for (let i = 0; i < advice.flight.length; i += 4) hold(advice.flight[i + 1], advice.flight[i + 2]);
    if (ghost) for (let i = 0; i < ghost.path.length; i += 4) hold(ghost.path[i + 1], ghost.path[i + 2]);
    const padY = 0.05 * (y1 - y0), padX = 0.1 * (x1 - x0);
    return [y0 - padY, y1 + padY, x0 - padX, x1 + padX];
  }

  function draw() {
    const g = plane.getContext('2d', CANVAS), w = plane.width, h = plane.height;
    plane.dataset.points = flight.path.length / 4;
    const [y0, y1, x0, x1] = bounds();
    const k = Math.min(w / (y1 - y0), (h - 16) / (x1 - x0)); // one scale on both axes
    const cy = (y0 + y1) / 2, cx = (x0 + x1) / 2;
    const u = y => w / 2 + (y - cy) * k, v = x => (h - 16) / 2 - (x - cx) * k;
    g.fillStyle = '#0e0f12';
    g.fillRect(0, 0, w, h);
    // The approach line, the target's box and the port window.
    g.strokeStyle = '#555';
    g.setLineDash([6, 4]);
    g.beginPath(); g.moveTo(0, v(0)); g.lineTo(u(PORT_Y), v(0)); g.stroke();
    g.setLineDash([]);
    g.fillStyle = '#777';
    g.fillRect(u(PORT_Y), v(BOX_X), 2 * BOX_Y * k, 2 * BOX_X * k);
    g.fillStyle = '#e0b000';
    g.fillRect(u(PORT_Y) - 1, v(WINDOW), Math.max(2, WINDOW * k), Math.max(2, 2 * WINDOW * k));
    // The planet's side: below, along -x.
    g.fillStyle = '#1d3d6e';
    g.fillRect(0, h - 14, w, 14);
    g.fillStyle = '#9cc3ff';
    g.font = '11px sans-serif';
    g.fillText(Words.t('deck.planet'), 6, h - 3);
    g.fillText(Words.t('deck.y-axis'), w - 28, v(0) - 4);
    const line = (pts, colour, dash) => {
      g.strokeStyle = colour;
      g.setLineDash(dash);
      g.beginPath();
      let pu = -1e9, pv = -1e9;
      for (let i = 0; i < pts.length; i += 4) {
        const a = u(pts[i + 2]), b = v(pts[i + 1]);
        // A point within a pixel of the last one drawn adds nothing to see.
        if (i && Math.abs(a - pu) < 1 && Math.abs(b - pv) < 1 && i < pts.length - 4) continue;
        (i ? g.lineTo : g.moveTo).call(g, a, b);
        pu = a, pv = b;
      }
      g.stroke();
      g.setLineDash([]);
    };
    if (advice && advice.flight) line(advice.flight, '#bbbbbb', [5, 4]);
    if (ghost) drawGhost(g, u, v);
    line(flight.path, '#6fd16f', []);
    // The chaser and its velocity, one time unit of it.
    const cu = u(s[Y]), cv = v(s[X]);
    g.strokeStyle = g.fillStyle = '#ff6a5a';
    g.beginPath(); g.arc(cu, cv, 3.5, 0, 2 * Math.PI); g.fill();
    g.beginPath(); g.moveTo(cu, cv);
    const tu = u(s[Y] + s[YP]), tv = v(s[X] + s[XP]), a = Math.atan2(tv - cv, tu - cu);
    g.lineTo(tu, tv);
    g.lineTo(tu - 6 * Math.cos(a - 0.4), tv - 6 * Math.sin(a - 0.4));
    g.moveTo(tu, tv);
    g.lineTo(tu - 6 * Math.cos(a + 0.4), tv - 6 * Math.sin(a + 0.4));
    g.stroke();
    drawStrip();
  }

  // The ghost: its path dotted, a mark with its time every GHOST_MARK of time, and where it was at the
  // time the live flight has flown since its start, so that the two race.
  const GHOST_MARK = 5;
  function drawGhost(g, u, v) {
    const p = ghost.path;
    g.fillStyle = '#c8a6ff';
    for (let i = 0; i < p.length; i += 4) {
      const a = u(p[i + 2]), b = v(p[i + 1]);
      g.fillRect(a - 0.75, b - 0.75, 1.5, 1.5);
    }
    g.font = '10px sans-serif';
    // A slow ghost puts its marks close together: a time is written only clear of the last one written.
    let mark = Math.ceil(p[0] / GHOST_MARK) * GHOST_MARK, la = -1e9, lb = -1e9;
    for (let i = 0; i < p.length; i += 4) {
      if (p[i] + 1e-9 < mark) continue;
      const a = u(p[i + 2]), b = v(p[i + 1]);
      g.beginPath(); g.arc(a, b, 2.5, 0, 2 * Math.PI); g.fill();
      if (Math.abs(a - la) > 24 || Math.abs(b - lb) > 12) {
        g.fillText(mark.toFixed(0), a + 3, b - 3);
        la = a, lb = b;
      }
      mark += GHOST_MARK;
    }
    // The ghost at the same time from its start as the chaser from its own.
    const at = p[0] + (s[T] - flight.path[0]);
    let i = 0;
    while (i + 4 < p.length && p[i + 4] <= at) i += 4;
    g.strokeStyle = '#c8a6ff';
    g.beginPath(); g.arc(u(p[i + 2]), v(p[i + 1]), 4, 0, 2 * Math.PI); g.stroke();
    plane.dataset.ghost = p.length / 4;
  }

  // z against time, once the flight has left the plane.
  function drawStrip() {
    const p = flight.path;
    let zmax = 0;
    for (let i = 0; i < p.length; i += 4) zmax = Math.max(zmax, Math.abs(p[i + 3]));
    strip.hidden = zmax < 0.0005;
    if (strip.hidden) return;
    const g = strip.getContext('2d', CANVAS), w = strip.width, h = strip.height;
    const t0 = p[0], t1 = Math.max(p[p.length - 4], t0 + 1);
    g.fillStyle = '#0e0f12';
    g.fillRect(0, 0, w, h);
    g.strokeStyle = '#555';
    g.beginPath(); g.moveTo(0, h / 2); g.lineTo(w, h / 2); g.stroke();
    g.strokeStyle = '#6fd16f';
    g.beginPath();
    for (let i = 0; i < p.length; i += 4)
      (i ? g.lineTo : g.moveTo).call(g, (p[i] - t0) / (t1 - t0) * w, h / 2 - p[i + 3] / (1.15 * zmax) * (h / 2));
    g.stroke();
    g.fillStyle = '#9cc3ff';
    g.font = '11px sans-serif';
    g.fillText(Words.t('deck.strip'), 6, 12);
  }

  // ---- The advice ----

  function ask(click) {
    read();
    const a = JSON.parse(Module.UTF8ToString(Module._deck_advise()));
    adviceBox.textContent = '';
    if (a.why) {
      advice = null;
      el(adviceBox, 'p', 'deck-why', Words.t('deck.why.' + a.why));
    } else {
      a.done = a.steps.map(() => 0);
      a.next = 0;
      advice = a;
      flight.advised = true;
      const from = el(adviceBox, 'p', 'deck-from', Words.t('deck.from') + ' ');
      el(from, 'span', 'deck-moment', a.from);
      const method = el(adviceBox, 'ol', 'deck-method');
      for (const m of a.method) el(method, 'li', '', m);
      const steps = el(adviceBox, 'ol', 'deck-steps');
      a.items = a.steps.map(st => {
        const li = el(steps, 'li', st.key == 'check' ? 'deck-check' : '');
        el(li, 'pre', '', st.text.replace(/\n$/, ''));
        li.due = el(li, 'span', 'deck-due');
        if (st.key == 'check') li.table = el(li, 'div', 'deck-expect');
        return li;
      });
      el(adviceBox, 'pre', 'deck-arrival', a.arrival.replace(/\n$/, ''));
      showProgress();
      draw();
    }
    // From the click to the advice shown, for the page's figures.
    adviceBox.dataset.ms = (performance.now() - click.timeStamp).toFixed(1);
  }

  function el(parent, tag, cls, text) {
    const e = parent.appendChild(document.createElement(tag));
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  // A thruster press counts towards the first step of the group due that asks for that key.
  function follow(key) {
    const st = advice.steps;
    skipChecks();
    for (let i = advice.next; i < st.length && st[i].t <= st[advice.next].t + 1e-6; i++)
      if (st[i].key == key && advice.done[i] < st[i].count) {
        advice.done[i]++;
        break;
      }
    while (advice.next < st.length && st[advice.next].key != 'check' &&
           advice.done[advice.next] >= st[advice.next].count) advice.next++;
  }

  // A check not made by its time, as late as a person may be, is behind.
  function skipChecks() {
    const st = advice.steps;
    while (advice.next < st.length && st[advice.next].key == 'check' && s[T] > st[advice.next].t + LATE_MAX)
      advice.next++;
  }

  // The step due next, the time left before it, and at a check, the screen's values against the plan's.
  function showProgress() {
    skipChecks();
    const st = advice.steps, t = s[T];
    advice.items.forEach((li, i) => {
      const current = i == advice.next;
      if (current != (li.getAttribute('aria-current') == 'step')) {
        if (current) li.setAttribute('aria-current', 'step');
        else li.removeAttribute('aria-current');
      }
      li.classList.toggle('deck-done', i < advice.next);
      const due = !current ? '' : st[i].t > t + 1e-6 ? Words.t('deck.due-in', (st[i].t - t).toFixed(1)) : Words.t('deck.due-now');
      if (li.due.textContent !== due) li.due.textContent = due;
      if (li.table) showCheck(li.table, st[i], current && t >= st[i].t - 1e-9);
    });
  }

  // The tolerance at a check: the planner lets a person come up to LATE_MAX late, so a position may
  // be off by what its velocity covers in that time, plus the port window; a velocity by half of what
  // one press gives; the reserve not at all.
  function showCheck(box, step, now) {
    if (!now) {
      if (box.firstChild) box.textContent = '';
      return;
    }
    const names = ['x', 'y', 'z', 'xp', 'yp', 'zp', 'reserve'], e = step.expect;
    const live = [screen[4], screen[5], screen[6], screen[7], screen[8], screen[9], String(Math.max(0, s[PC]))];
    let html = `<table><tr><th></th><th>${Words.t('deck.expected')}</th><th>${Words.t('deck.shown')}</th></tr>`, off = false;
    names.forEach((n, i) => {
      const want = e[i + 1], got = Number(live[i]);
      const tol = i < 3 ? WINDOW + Math.abs(e[i + 4]) * LATE_MAX : i < 6 ? advice.pulse / 2 : 0;
      const bad = Math.abs(got - want) > tol + 1e-9;
      off = off || bad;
      html += '<tr' + (bad ? ' class="deck-off"' : '') + '><td>' + n + '</td><td>' +
        (i < 6 ? want.toFixed(3) : want) + '</td><td>' + live[i] + '</td></tr>';
    });
    html += '</table><p>' + Words.t(off ? 'deck.check-off' : 'deck.check-ok') + '</p>';
    if (box.innerHTML !== html) box.innerHTML = html;
  }

  // ---- The flight, kept ----

  // A word of a file's name: plain letters and digits, the rest dashes.
  function slug(text) {
    return text.normalize('NFD').replace(/[\u0300-\u036f]/g, '').replace(/[^A-Za-z0-9]+/g, '-')
      .replace(/^-+|-+$/g, '').toLowerCase();
  }

  // The flight file and its picture, named after the pilot, the scenario and the moment, so that a
  // class's files do not overwrite one another.
  function save() {
    read();
    const name = $('deck-pilot').value.trim();
    const source = window.Scenario ? Scenario.source() : Module.UTF8ToString(Module._deck_words()).split('\n')[0];
    const code = window.OwnStart ? OwnStart.code() : '';
    const text = Module.ccall('deck_flight', 'string', ['string', 'string', 'string'], [name, source, code]);
    const svg = Module.UTF8ToString(Module._deck_picture(flight.advised ? flight.t0 : Infinity));
    const d = new Date(), two = n => String(n).padStart(2, '0');
    const moment = `${d.getFullYear()}-${two(d.getMonth() + 1)}-${two(d.getDate())}-${two(d.getHours())}h${two(d.getMinutes())}` +
      `${two(d.getSeconds())}`;
    const stem = ['vol', slug(name), slug(source.split('/').pop().replace(/\.[^.]*$/, '')), moment].filter(w => w).join('-');
    download(stem + '.svg', svg, 'image/svg+xml');
    download(stem + '.vol', text, 'text/plain;charset=utf-8');
  }

  function download(name, text, type) {
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob([text], {type: type}));
    a.download = name;
    a.click();
    setTimeout(() => URL.revokeObjectURL(a.href), 1000);
  }

  // ---- The words of the screen ----

  // What the screen's words, messages and menu entries mean, each in the simulator's French first.
  function glossary() {
    const box = $('deck-glossary'), said = JSON.parse(Module.UTF8ToString(Module._deck_screen()));
    box.replaceChildren();
    const group = (title, items) => {
      if (title) el(box, 'h3', '', Words.t(title));
      const list = el(box, 'dl');
      for (const [shown, meaning] of items) {
        el(list, 'dt', '', shown).lang = 'fr';
        el(list, 'dd', '', Words.t(meaning));
      }
    };
    const n = said.names; // temps, vitesse, distance, reserve, then x y z and xp yp zp
    group(null, [[n[0], 'screen.temps'], [n[1], 'screen.vitesse'], [n[2], 'screen.distance'], [n[3], 'screen.reserve'],
                 [n.slice(4, 7).join(' '), 'screen.position'], [n.slice(7, 10).join(' '), 'screen.velocity']]);
    group('screen.messages', said.outcomes.map((m, i) => [m, 'screen.outcome.' + (i + 1)]));
    const menu = [];
    for (const e of Module.menus()) {
      if (!e.entries) {
        menu.push([e.label, 'screen.menu.' + e.value]);
        continue;
      }
      menu.push([e.label, 'screen.menu.submenu']);
      e.entries.forEach(sub => menu.push([sub.label, 'screen.scenario.' + sub.value]));
    }
    group('screen.menu', menu);
  }

  // The advice and the saved picture come from the program's C++, in the page's language too.
  function speak() {
    Module.ccall('deck_language', null, ['string'], [Words.lang]);
    glossary();
  }
  Module.postRun = [].concat(Module.postRun || [], speak);
  // Advice shown in the other language is asked again in this one when the person wants it.
  Words.onChange(() => {
    if (!flight) return;
    speak();
    read();
    showWords();
    advice = null;
    adviceBox.textContent = '';
    draw();
  });

  $('deck-advise').addEventListener('click', e => { if (flight) ask(e); });
  $('deck-save').addEventListener('click', () => { if (flight) save(); });
  // The pilot's name, kept in the browser for the next flights.
  const pilot = $('deck-pilot');
  try {
    pilot.value = localStorage.getItem(NAME) || '';
  } catch (e) {}
  pilot.addEventListener('change', () => {
    try {
      localStorage.setItem(NAME, pilot.value.trim());
    } catch (e) {}
  });
  pilot.addEventListener('keydown', e => { if (e.key == 'Enter') canvas.focus(); });
  // The deck never keeps the keyboard: after any click on it but in its name field, the keys fly the
  // chaser again.
  deck.addEventListener('click', e => { if (e.target != pilot) canvas.focus(); });

  // What the page's other parts ask of the deck: a flight to race, drawn dotted, or none.
  window.Deck = {
    ghost: kept => {
      ghost = kept;
      if (flight) draw();
    },
  };
})();
