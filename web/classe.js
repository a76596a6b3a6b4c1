// The class view: a teacher drops a class's flight files (or picks them, or a folder of them); each one
// is read, replayed, checked and scored by the simulator's own C++ in Web Workers (classe-worker.js,
// web/classe.cpp), off this thread, so that the page answers while a class is read. One row a flight in
// a table sortable by any column, one picture of every path in the orbital plane, the table as CSV for a
// spreadsheet, the picture as SVG, names hidden for a projector, a row's flight opened in the
// simulator's page. The teacher's exercise (a scenario, and for starts of their own a spread and a code
// word) is checked against each flight's head, and gives the students' link. « conseil » is asked once
// per distinct start. The words are words.js's.
(() => {
  'use strict';
  const $ = id => document.getElementById(id);
  const SVG = 'http://www.w3.org/2000/svg';
  const KEPT = 'rendezvous.classe';  // the exercise, kept in the browser
  // A worker a core, four at most: the page's own work comes in slices short enough to share them.
  const WORKERS = Math.max(1, Math.min(4, navigator.hardwareConcurrency || 2));
  const AHEAD = 3;                   // jobs handed to a worker before it answers
  const DEBOUNCE_MS = 400;           // the exercise typed in is taken this long after the last key
  const VOL_BYTES_MAX = 256 * 1024;  // as the flight file's reader, which refuses a longer one
  // The outcome codes, and each one's colour on the picture: under way, collision, too fast, docked, lost.
  const COLOURS = ['#5aa0ff', '#ff5a5a', '#ffa040', '#6fd16f', '#a0a0a0'];
  const LOST = 4;
  // The target as the outcome rules place it, and the picture's size.
  const BOX_X = 0.4, BOX_Y = 1.5, PORT_Y = -1.5, WINDOW = 0.1;
  // The picture is W wide, and as high as the paths need at that scale, between H_MIN and H_MAX.
  const W = 760, H_MIN = 240, H_MAX = 620, TOP = 28, BOTTOM = 16;
  // The table's columns: the row's value to sort by, and its text.
  const COLUMNS = ['name', 'scenario', 'outcome', 'time', 'speed', 'used', 'presses', 'advised', 'score', 'check'];

  const table = $('classe-table').tBodies[0], status = $('classe-status');
  let rows = [];           // one a file: {id, file, bytes, r (the worker's answer), path, points, coll, score, tr}
  let nextId = 0;
  let generation = 0;      // the exercise's; answers made for an older one are dropped
  const advice = new Map();   // « conseil » by start: a number, or the rows that wait for it
  let exercise = {choice: '', text: '', label: '', spread: 2, code: ''};
  let exerciseFault = null;   // what the workers found wrong with the scenario
  let sortKey = null, sortDir = 1;
  let chosen = null, hovered = null; // the rows whose path is brought forward
  let anonymous = false;
  const numbers = new Map();  // each pilot's number while names are hidden
  let droppedAt = 0, ignored = 0, dirty = false;

  // ---- Words ----

  function heading() {
    const simulator = Object.assign(document.createElement('a'), {href: 'index.html', textContent: Words.t('classe.simulator')});
    const help = Object.assign(document.createElement('a'), {href: Words.t('page.help.file') + '#classe', target: '_blank',
                                                             textContent: Words.t('page.help')});
    const [a, rest] = Words.t('classe.heading', '{1}', '{2}').split('{1}');
    const [b, c] = (rest ?? '').split('{2}');
    $('heading').replaceChildren(a, simulator, b ?? '', help, c ?? '');
  }
  const decimal = n => n.replace('.', Words.t('number.decimal'));
  const fixed = (v, digits) => (typeof v == 'number' ? decimal(v.toFixed(digits)) : '\u2014');

  // ---- The workers ----

  const queue = [];
  const pool = Array.from({length: WORKERS}, () => {
    const w = new Worker('classe-worker.js');
    w.busy = 0;
    w.onmessage = e => {
      w.busy--;
      answered(e.data);
      pump();
    };
    return w;
  });

  function pump() {
    for (const w of pool)
      while (w.busy < AHEAD && queue.length) {
        w.busy++;
        w.postMessage(queue.shift());
      }
  }

  function ask(job) {
    queue.push(job);
    pump();
  }

  // The exercise to every worker, ahead of what each is handed next; every flight checked again.
  function setup() {
    forget();
    const d = {op: 'setup', lang: Words.lang, spread: exercise.spread, code: exercise.code};
    if (/^[0-5]$/.test(exercise.choice)) d.builtin = Number(exercise.choice);
    else d.scenario = exercise.choice == 'file' ? exercise.text : '';
    exerciseFault = null;
    for (const w of pool) {
      w.busy++;
      w.postMessage(d);
    }
    for (const row of rows) replay(row);
    showExercise();
    changed();
  }

  // Answers to come for the flights as they stand are dropped; « conseil » asked stays asked, since it
  // depends on the start alone.
  function forget() {
    generation++;
    queue.splice(0, queue.length, ...queue.filter(job => job.op == 'advise'));
  }

  function replay(row) {
    Object.assign(row, {r: null, path: null, score: -1});
    ask({op: 'flight', id: row.id, gen: generation, bytes: row.bytes});
  }

  const byId = id => rows.find(row => row.id == id);

  function answered(d) {
    if (d.op == 'setup') {
      if (d.fault && !exerciseFault) {
        exerciseFault = d.fault;
        showExercise();
      }
      return;
    }
    if (d.op == 'error' && d.of == 'advise') return adviseDone(d.key, 0);
    if (d.gen !== undefined && d.gen != generation) return;
    const row = d.id !== undefined && byId(d.id);
    if (d.op == 'error') {
      if (row) Object.assign(row, {r: {fault: 'error', line: 0, why: d.message}, path: null});
    } else if (d.op == 'flight' && row) {
      Object.assign(row, {r: d.row, path: d.row.fault ? null : d.path, score: d.row.score});
      if (!d.row.fault && d.row.score < 0) advise(row);
    } else if (d.op == 'advise') {
      adviseDone(d.key, d.advised);
    } else if (d.op == 'scores') {
      for (const [id, score] of d.items) {
        const scored = byId(id);
        if (scored) scored.score = score;
      }
    }
    changed();
  }

  // « conseil » once per start: asked of one worker the first time a start is met; the rows of that
  // start wait for it, then have their scores.
  function advise(row) {
    const known = advice.get(row.r.key);
    if (typeof known == 'number') return score([row], known);
    if (known) return known.push(row);
    advice.set(row.r.key, [row]);
    ask({op: 'advise', key: row.r.key});
  }

  function adviseDone(key, advised) {
    const waiting = advice.get(key) || [];
    advice.set(key, advised);
    score(waiting.filter(row => row.r && row.r.key == key), advised);
  }

  function score(list, advised) {
    for (const row of list) row.r.advised = advised;
    if (list.length) ask({op: 'scores', gen: generation, items: list.map(row => [row.id, row.r.coll, row.r.used, advised])});
  }

  const done = row => row.r && (row.r.fault || row.score >= 0);

  // ---- The exercise ----

  function showExercise() {
    const select = $('classe-scenario'), message = $('classe-exercise-message');
    const options = [['', Words.t('classe.scenario.none')]];
    for (let n = 0; n <= 5; n++)
      options.push([String(n), Words.t('classe.scenario.builtin', n ? `fo${n}.in` : 'fo.in', Words.t('screen.scenario.' + n))]);
    if (exercise.text) options.push(['file', exercise.label]);
    select.replaceChildren(...options.map(([value, text]) => new Option(text, value, false, value == exercise.choice)));
    $('classe-code').value = exercise.code;
    $('classe-spread').value = exercise.spread;
    message.textContent = exerciseFault
      ? Words.t('classe.exercise.refused', exercise.label, Words.t('scenario.' + exerciseFault.fault, exerciseFault.item))
      : Words.t(exercise.choice === '' ? 'classe.exercise.none' : exercise.code ? 'classe.exercise.own' : 'classe.exercise.same');
    // The students' link: the scenario, with the spread and the code word of their own starts.
    const share = $('classe-share');
    share.hidden = exercise.choice === '' || !!exerciseFault;
    if (share.hidden) return;
    const url = new URL('index.html', location.href);
    if (exercise.choice != 'file') url.searchParams.set('cas', exercise.choice);
    if (exercise.code) {
      url.searchParams.set('ecart', String(exercise.spread));
      url.searchParams.set('code', exercise.code);
    }
    if (exercise.choice == 'file') url.hash = 'scenario=' + encodeURIComponent(exercise.text);
    $('classe-link').value = url.href;
  }

  function keep() {
    try {
      localStorage.setItem(KEPT, JSON.stringify(exercise));
    } catch (e) {}
  }

  function kept() {
    try {
      return JSON.parse(localStorage.getItem(KEPT)) || {};
    } catch (e) {
      return {};
    }
  }

  function readForm() {
    const spread = Number($('classe-spread').value);
    exercise.choice = $('classe-scenario').value;
    exercise.code = $('classe-code').value.trim();
    exercise.spread = Number.isFinite(spread) ? Math.min(50, Math.max(0, spread)) : 0;
    keep();
    setup();
  }

  let typing = 0;
  $('classe-scenario').addEventListener('change', readForm);
  for (const id of ['classe-code', 'classe-spread'])
    $(id).addEventListener('input', () => {
      clearTimeout(typing);
      typing = setTimeout(readForm, DEBOUNCE_MS);
    });
  $('classe-scenario-open').addEventListener('click', () => $('classe-scenario-file').click());
  $('classe-scenario-file').addEventListener('change', async () => {
    const file = $('classe-scenario-file').files[0];
    $('classe-scenario-file').value = '';
    if (!file) return;
    exercise.text = new TextDecoder().decode(await file.arrayBuffer());
    exercise.label = file.name;
    exercise.choice = 'file';
    keep();
    setup();
  });
  $('classe-copy').addEventListener('click', async () => {
    $('classe-link').select();
    try {
      await navigator.clipboard.writeText($('classe-link').value);
    } catch (e) {
      document.execCommand('copy');
    }
  });

  // ---- Files in ----

  // The files of a drop, folders opened: their entries read, down every folder. A drop whose entries
  // cannot be read (one made by a script) gives its files as they are, taken before the drop is over.
  async function dropped(transfer) {
    const loose = [...transfer.files];
    const entries = [...(transfer.items || [])].map(i => i.webkitGetAsEntry && i.webkitGetAsEntry());
    if (!entries.length || entries.some(e => !e)) return loose;
    const files = [];
    const walk = async entry => {
      if (entry.isFile) return files.push(await new Promise((resolve, reject) => entry.file(resolve, reject)));
      const reader = entry.createReader();
      for (let batch; (batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject))).length;)
        for (const e of batch) await walk(e);
    };
    try {
      for (const e of entries) await walk(e);
    } catch (e) {
      return loose;
    }
    return files;
  }

  // The .vol files of the class, each once; the others set aside and counted.
  async function add(files) {
    const seen = new Set(rows.map(row => row.seen));
    const flights = [];
    for (const file of files) {
      const mark = [file.webkitRelativePath || file.name, file.size, file.lastModified].join('\n');
      if (!/\.vol$/i.test(file.name)) ignored++;
      else if (!seen.has(mark)) {
        seen.add(mark);
        flights.push([file, mark]);
      }
    }
    // A file longer than any flight is read only as far as the reader needs to refuse it.
    const read = await Promise.all(flights.map(([file]) => file.slice(0, VOL_BYTES_MAX + 1).arrayBuffer()
                                                   .then(b => new Uint8Array(b), () => new Uint8Array(0))));
    read.forEach((bytes, i) => {
      const row = {id: nextId++, file: flights[i][0].name, seen: flights[i][1], bytes, r: null, path: null, score: -1};
      rows.push(row);
      replay(row);
    });
    changed();
  }

  document.addEventListener('dragover', e => e.preventDefault());
  document.addEventListener('drop', async e => {
    e.preventDefault();
    droppedAt = performance.now();
    delete document.body.dataset.shownMs;
    add(await dropped(e.dataTransfer));
  });
  for (const [button, picker] of [['classe-open', 'classe-files'], ['classe-folder', 'classe-dir']]) {
    $(button).addEventListener('click', () => $(picker).click());
    $(picker).addEventListener('change', () => {
      droppedAt = performance.now();
      delete document.body.dataset.shownMs;
      add([...$(picker).files]);
      $(picker).value = '';
    });
  }
  $('classe-clear').addEventListener('click', () => {
    rows = [];
    ignored = 0;
    numbers.clear();
    chosen = hovered = null;
    forget();
    table.replaceChildren();
    repaint = true;
    changed();
  });

  // ---- The table ----

  // The name shown: the pilot's, or the file's; « Élève N » while names are hidden. The pilots are
  // numbered once every file is read, in an order drawn at random, so that the numbers tell nothing of
  // the names nor of the order the files came in; those of files added later come after.
  const pilot = row => row.r.who || row.file;
  function shownName(row) {
    const name = (row.r && !row.r.fault && row.r.name) || row.file;
    if (!anonymous) return name;
    if (!row.r || (!numbers.has(pilot(row)) && !rows.every(other => other.r)))
      return Words.t('classe.student', '\u2026');
    if (!numbers.has(pilot(row))) {
      const fresh = [...new Set(rows.map(pilot).filter(who => !numbers.has(who)))];
      for (let i = fresh.length - 1; i > 0; i--) {
        const j = Math.floor(Math.random() * (i + 1));
        [fresh[i], fresh[j]] = [fresh[j], fresh[i]];
      }
      fresh.forEach(who => numbers.set(who, numbers.size + 1));
    }
    return Words.t('classe.student', numbers.get(pilot(row)));
  }

  // A row's value in a column, for sorting and for the CSV: numbers as numbers, words as words.
  function value(row, column) {
    const r = row.r;
    if (column == 'name') return shownName(row);
    if (!r || r.fault) return column == 'check' ? (r ? Words.t('classe.check.illisible') : '') : null;
    switch (column) {
    case 'scenario': return r.scenario;
    case 'outcome': return Words.t('replay.outcome.' + r.coll);
    case 'time': return r.t === null || r.t0 === null ? null : r.t - r.t0;
    case 'speed': return r.speed;
    case 'used': return r.used;
    case 'presses': return r.presses;
    case 'advised': return r.advised > 0 ? r.advised : null; // 0: no plan docks from that start
    case 'score': return row.score >= 0 ? row.score : null;
    case 'check': return Words.t('classe.check.' + r.check);
    }
    return null;
  }

  function text(row, column) {
    const v = value(row, column);
    if (column == 'time') return fixed(v, 3);
    if (column == 'speed') return fixed(v, 3);
    if (column == 'advised') return v !== null ? String(v) : row.r && row.r.advised >= 0 ? '\u2014' : '';
    return v === null ? '' : String(v);
  }

  // Why a check says what it says, or why a file is no flight.
  function why(row) {
    const r = row.r;
    if (r.fault) return r.line ? Words.t('classe.refused.line', r.line, r.why) : r.why;
    if (r.check != 'depart-different') return Words.t('classe.why.' + r.check);
    const at = p => p.map(v => fixed(v, 3));
    return Words.t('classe.why.depart-different', ...at([r.start[1], r.start[0]]), ...at([r.own[1], r.own[0]]));
  }

  function makeRow(row) {
    const tr = document.createElement('tr');
    tr.row = row;
    tr.addEventListener('mouseenter', () => {
      hovered = row;
      bring();
    });
    tr.addEventListener('mouseleave', () => {
      hovered = null;
      bring();
    });
    tr.addEventListener('click', e => {
      if (e.target.closest('button')) return;
      chosen = chosen === row ? null : row;
      for (const other of table.rows) other.classList.toggle('classe-chosen', other.row === chosen);
      bring();
    });
    row.tr = tr;
    return tr;
  }

  // A row's cells, made once for each kind of row (an answer to come, a flight, a file that is no
  // flight); their texts are set again at each change, and only where they differ.
  function build(row, kind) {
    const tr = row.tr || makeRow(row);
    row.kind = kind;
    row.cells = {};
    const cell = (name, cls, span) => {
      const td = document.createElement('td');
      if (cls) td.className = cls;
      if (span) td.colSpan = span;
      return (row.cells[name] = td);
    };
    const cells = [cell('name', 'classe-name')];
    if (kind == 'wait') {
      cells.push(cell('check', 'classe-check', COLUMNS.length));
    } else if (kind == 'fault') {
      cells.push(cell('reason', 'classe-reason', COLUMNS.length - 2), cell('check', 'classe-check classe-illisible'));
    } else {
      for (const column of COLUMNS.slice(1))
        cells.push(cell(column, column == 'scenario' || column == 'outcome' ? '' : column == 'check' ? 'classe-check' : 'classe-number'));
      const again = document.createElement('button');
      again.type = 'button';
      again.addEventListener('click', () => reopen(row));
      cells.push(cell('again'));
      row.cells.again.append(again);
    }
    tr.replaceChildren(...cells);
  }

  const put = (element, text) => {
    if (element.textContent !== text) element.textContent = text;
  };

  function fill(row) {
    const r = row.r, kind = !r ? 'wait' : r.fault ? 'fault' : 'flight';
    if (row.kind !== kind) build(row, kind);
    const c = row.cells;
    put(c.name, text(row, 'name'));
    if (kind == 'wait') {
      put(c.check, '\u2026');
    } else if (kind == 'fault') {
      put(c.reason, why(row));
      put(c.check, text(row, 'check'));
    } else {
      for (const column of COLUMNS.slice(1)) put(c[column], text(row, column));
      c.outcome.style.color = COLOURS[r.coll];
      c.check.className = 'classe-check classe-' + r.check;
      c.check.title = why(row);
      put(c.again.firstChild, Words.t('classe.replay'));
      c.again.firstChild.title = Words.t('classe.replay.title');
    }
    row.tr.title = anonymous ? '' : Words.t('classe.file', row.file);
    row.tr.classList.toggle('classe-chosen', row === chosen);
  }

  function compare(a, b) {
    const x = value(a, sortKey), y = value(b, sortKey);
    // Rows without a value (files that are no flight, answers to come) stay last either way.
    if (x === null || y === null) return (x === null) - (y === null);
    const order = typeof x == 'number' ? x - y : String(x).localeCompare(String(y), Words.lang, {numeric: true, sensitivity: 'base'});
    return order * sortDir;
  }

  function sorted() {
    return sortKey ? [...rows].sort(compare) : rows;
  }

  for (const button of document.querySelectorAll('#classe-table th button'))
    button.addEventListener('click', () => {
      const key = button.dataset.sort;
      sortDir = sortKey == key ? -sortDir : 1;
      sortKey = key;
      for (const th of document.querySelectorAll('#classe-table th'))
        th.setAttribute('aria-sort', th.contains(button) ? (sortDir > 0 ? 'ascending' : 'descending') : 'none');
      changed(true);
    });

  // ---- The picture ----

  // Every path at one scale, drawn on a canvas as the deck draws its own; the same picture is written
  // as SVG when it is saved. The part of the plane shown holds the target and the paths of the flights
  // not lost; a lost one runs off the edge.
  const canvas = $('classe-canvas');
  // Drawn in software, as the deck's pictures are: cheaper than a GPU's canvas where the GPU is itself
  // software, and never waiting on it.
  const CANVAS = {willReadFrequently: true};
  let view = null; // {y0, y1, x0, x1, k, h, H}: the plane's part shown, its scale and the heights
  let shown = [];  // the rows whose paths are drawn, in the order drawn

  function frame() {
    let y0 = PORT_Y - 0.5, y1 = BOX_Y + 0.5, x0 = -BOX_X - 0.3, x1 = BOX_X + 0.3;
    const drawn = rows.filter(row => row.points);
    const kept = drawn.some(row => row.coll != LOST) ? drawn.filter(row => row.coll != LOST) : drawn;
    for (const row of kept) {
      const b = row.bounds;
      x0 = Math.min(x0, b[0]), x1 = Math.max(x1, b[1]), y0 = Math.min(y0, b[2]), y1 = Math.max(y1, b[3]);
    }
    const padY = 0.04 * (y1 - y0), padX = 0.08 * (x1 - x0);
    [y0, y1, x0, x1] = [y0 - padY, y1 + padY, x0 - padX, x1 + padX];
    const h = Math.round(Math.min(H_MAX - TOP - BOTTOM, Math.max(H_MIN - TOP - BOTTOM, W * (x1 - x0) / (y1 - y0))));
    view = {y0, y1, x0, x1, h, H: TOP + h + BOTTOM, k: Math.min(W / (y1 - y0), h / (x1 - x0))};
  }

  // Where a point of the plane shows: y to the right, x up, centred as the SVG's own viewBox centres.
  const u = y => (W - (view.y1 - view.y0) * view.k) / 2 + (y - view.y0) * view.k;
  const v = x => TOP + (view.h - (view.x1 - view.x0) * view.k) / 2 + (view.x1 - x) * view.k;

  // A row's path, kept as the plane's points it needs: its points thinned to those most of a pixel
  // apart at its own scale, and its bounds (far points of a lost flight aside).
  function thin(row) {
    const p = row.path;
    let x0 = Infinity, x1 = -Infinity, y0 = Infinity, y1 = -Infinity;
    for (let i = 0; i < p.length; i += 2)
      if (Math.abs(p[i]) < 1e4 && Math.abs(p[i + 1]) < 1e4)
        x0 = Math.min(x0, p[i]), x1 = Math.max(x1, p[i]), y0 = Math.min(y0, p[i + 1]), y1 = Math.max(y1, p[i + 1]);
    const near = 0.75 * Math.max(x1 - x0, y1 - y0) / W, points = [];
    let y = Infinity, x = Infinity;
    for (let i = 0; i < p.length; i += 2) {
      if (!Number.isFinite(p[i]) || !Number.isFinite(p[i + 1])) continue;
      if (i + 2 < p.length && Math.abs(p[i + 1] - y) < near && Math.abs(p[i] - x) < near) continue;
      y = p[i + 1], x = p[i];
      points.push(y, x);
    }
    row.points = points;
    row.bounds = [x0, x1, y0, y1];
    row.coll = row.r.coll; // the same at every replay of the file, while its row waits for one
  }

  function stroke(g, row, width, alpha) {
    const p = row.points;
    g.strokeStyle = COLOURS[row.coll];
    g.lineWidth = width;
    g.globalAlpha = alpha;
    g.beginPath();
    for (let i = 0; i < p.length; i += 2) (i ? g.lineTo : g.moveTo).call(g, u(p[i]), v(p[i + 1]));
    g.stroke();
    g.globalAlpha = 1;
  }

  // The whole picture drawn again: the plane, the target, every path, the row chosen or hovered on top.
  function draw() {
    const ratio = window.devicePixelRatio || 1;
    if (canvas.height != Math.round(view.H * ratio) || canvas.width != Math.round(W * ratio)) {
      canvas.width = Math.round(W * ratio);
      canvas.height = Math.round(view.H * ratio);
      canvas.style.width = W + 'px';
      canvas.style.height = view.H + 'px';
    }
    const g = canvas.getContext('2d', CANVAS);
    g.setTransform(ratio, 0, 0, ratio, 0, 0);
    g.fillStyle = '#0e0f12';
    g.fillRect(0, 0, W, view.H);
    g.save();
    g.beginPath();
    g.rect(0, TOP, W, view.h);
    g.clip();
    g.strokeStyle = '#555';
    g.setLineDash([6, 4]);
    g.beginPath(); g.moveTo(u(view.y0), v(0)); g.lineTo(u(PORT_Y), v(0)); g.stroke();
    g.setLineDash([]);
    g.fillStyle = '#777';
    g.fillRect(u(PORT_Y), v(BOX_X), 2 * BOX_Y * view.k, 2 * BOX_X * view.k);
    g.fillStyle = '#e0b000';
    g.fillRect(u(PORT_Y) - 1, v(WINDOW), 2, Math.max(2, 2 * WINDOW * view.k));
    const front = hovered || chosen;
    shown = rows.filter(row => row.points && row !== front);
    for (const row of shown) stroke(g, row, 1.2, front ? 0.35 : 1);
    if (front && front.points) {
      stroke(g, front, 3, 1);
      shown.push(front);
    }
    g.restore();
    words(g);
    canvas.dataset.paths = shown.length;
    canvas.dataset.front = front && front.points ? front.id : '';
  }

  // The picture's words: its legend, each outcome's colour and how many paths have it; the planet
  // below; the axis on the approach line.
  function counts() {
    const n = [0, 0, 0, 0, 0];
    for (const row of rows) if (row.points) n[row.coll]++;
    return n;
  }

  function legend() {
    const n = counts();
    return [3, 2, 1, 4, 0].map(code => [code, Words.t('classe.legend', Words.t('replay.outcome.' + code), n[code])]);
  }

  function words(g) {
    g.font = '12px sans-serif';
    let x = 8;
    for (const [code, said] of legend()) {
      g.fillStyle = COLOURS[code];
      g.fillRect(x, 9, 10, 10);
      g.fillStyle = '#d8dade';
      g.fillText(said, x + 14, 18);
      x += 24 + g.measureText(said).width;
    }
    g.fillStyle = '#1d3d6e';
    g.fillRect(0, view.H - BOTTOM, W, BOTTOM);
    g.fillStyle = '#9cc3ff';
    g.font = '11px sans-serif';
    g.fillText(Words.t('deck.planet'), 6, view.H - 4);
    g.textAlign = 'end';
    g.fillText(Words.t('deck.y-axis'), W - 6, v(0) - 4);
    g.textAlign = 'start';
  }

  // A path added where the scale stands and nothing is brought forward: drawn over the others alone.
  function addPath(row) {
    const g = canvas.getContext('2d', CANVAS);
    g.save();
    g.beginPath();
    g.rect(0, TOP, W, view.h);
    g.clip();
    stroke(g, row, 1.2, 1);
    g.restore();
    shown.push(row);
    canvas.dataset.paths = shown.length;
  }

  // The path of the row chosen or hovered brought forward, over the others faded.
  function bring() {
    if (view) draw();
  }

  // The picture as a self-contained SVG file: the same plane at the same scale, each path with its
  // pilot and outcome as its title, names hidden as the table hides them.
  function svg() {
    const esc = t => String(t).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;').replace(/"/g, '&quot;');
    const {y0, y1, x0, x1, h, H} = view;
    const out = [`<svg xmlns="${SVG}" width="${W}" height="${H}" viewBox="0 0 ${W} ${H}" font-family="sans-serif" font-size="12">`,
                 `<title>${esc(Words.t('classe.picture.title'))}</title>`, `<rect width="${W}" height="${H}" fill="#0e0f12"/>`];
    let x = 8;
    for (const [code, said] of legend()) {
      out.push(`<rect x="${x}" y="9" width="10" height="10" fill="${COLOURS[code]}"/>`,
               `<text x="${x + 14}" y="18" fill="#d8dade">${esc(said)}</text>`);
      x += 24 + 6 * said.length;
    }
    out.push(`<svg x="0" y="${TOP}" width="${W}" height="${h}" viewBox="${y0} ${-x1} ${y1 - y0} ${x1 - x0}" preserveAspectRatio="xMidYMid meet">`,
             `<line x1="${y0}" y1="0" x2="${PORT_Y}" y2="0" stroke="#555" stroke-dasharray="6 4" vector-effect="non-scaling-stroke"/>`,
             `<rect x="${PORT_Y}" y="${-BOX_X}" width="${2 * BOX_Y}" height="${2 * BOX_X}" fill="#777"/>`,
             `<rect x="${PORT_Y - 0.03}" y="${-WINDOW}" width="0.06" height="${2 * WINDOW}" fill="#e0b000"/>`,
             `<g fill="none" stroke-linejoin="round">`);
    const front = hovered || chosen;
    for (const row of shown) {
      const p = row.points, points = [];
      for (let i = 0; i < p.length; i += 2) points.push(p[i].toFixed(3) + ',' + (-p[i + 1]).toFixed(3));
      const width = row === front ? 3 : 1.2, alpha = front && row !== front ? ' stroke-opacity="0.35"' : '';
      out.push(`<polyline points="${points.join(' ')}" stroke="${COLOURS[row.coll]}" stroke-width="${width}"${alpha} ` +
               `vector-effect="non-scaling-stroke"><title>${esc(Words.t('classe.path', shownName(row), Words.t('replay.outcome.' + row.coll)))}</title></polyline>`);
    }
    out.push('</g></svg>', `<rect y="${H - BOTTOM}" width="${W}" height="${BOTTOM}" fill="#1d3d6e"/>`,
             `<text x="6" y="${H - 4}" fill="#9cc3ff" font-size="11">${esc(Words.t('deck.planet'))}</text>`,
             `<text x="${W - 6}" y="${v(0) - 4}" text-anchor="end" fill="#9cc3ff" font-size="11">${esc(Words.t('deck.y-axis'))}</text>`,
             '</svg>\n');
    return out.join('\n');
  }

  // ---- What changed, shown at the next frame ----

  // The page's work is done once a frame, in slices of about SLICE_MS however many answers came at once,
  // so that the page answers between them.
  const SLICE_MS = 15;
  let resort = false, repaint = false, legendSaid = '';
  function changed(order) {
    resort = resort || !!order;
    if (dirty) return;
    dirty = true;
    requestAnimationFrame(render);
  }

  function render() {
    dirty = false;
    const begun = performance.now();
    let filled = false, more = false, added = [];
    for (const row of rows)
      if (row.shown !== row.r || row.shownScore !== row.score || row.shownAs !== anonymous) {
        if (performance.now() - begun > SLICE_MS) {
          more = true;
          break;
        }
        fill(row);
        if (row.path && !row.points) {
          thin(row);
          added.push(row);
        }
        row.shown = row.r, row.shownScore = row.score, row.shownAs = anonymous;
        filled = true;
      }
    if (more) changed();
    // The rows in their order: sorted again where a value changed; otherwise the new ones at the end.
    if (sortKey && (filled || resort)) table.replaceChildren(...sorted().map(row => row.tr));
    else for (const row of rows) if (!row.tr.parentNode) table.append(row.tr);
    resort = false;
    // The picture: drawn again where the scale or the legend changed, the new paths added otherwise.
    const before = view;
    frame();
    const legendNow = Words.lang + counts().join();
    if (repaint || legendNow != legendSaid || ['y0', 'y1', 'x0', 'x1'].some(k => view[k] != before[k]) ||
        (added.length && (hovered || chosen))) {
      draw();
    } else {
      for (const row of added) addPath(row);
    }
    legendSaid = legendNow;
    repaint = false;
    const finished = rows.filter(done).length;
    const said = [!rows.length ? Words.t('classe.drop')
                  : finished < rows.length ? Words.t('classe.reading', finished, rows.length)
                  : Words.t(rows.length == 1 ? 'classe.read.one' : 'classe.read', rows.length)];
    if (ignored) said.push(Words.t(ignored == 1 ? 'classe.ignored.one' : 'classe.ignored', ignored));
    status.textContent = said.join(' ');
    $('classe-export').disabled = $('classe-save').disabled = !rows.length;
    // The whole class shown: from the drop to the next frame, once painted, for the page's figures.
    if (!more && rows.length && finished == rows.length && droppedAt && !document.body.dataset.shownMs) {
      const from = droppedAt;
      requestAnimationFrame(() => setTimeout(() => { document.body.dataset.shownMs = (performance.now() - from).toFixed(0); }));
      droppedAt = 0;
    }
  }

  // ---- Out: the spreadsheet, the picture, a flight in the simulator ----

  function download(name, content, type) {
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob([content], {type}));
    a.download = name;
    a.click();
    setTimeout(() => URL.revokeObjectURL(a.href), 1000);
  }

  const today = () => new Date().toISOString().slice(0, 10);

  // The table for a spreadsheet in French: semicolons, decimal commas, UTF-8 with a byte-order mark. A
  // text that a spreadsheet would take for a formula is written as text, behind an apostrophe.
  function csv() {
    const field = v => {
      let s = v === null ? '' : typeof v == 'number' ? decimal(String(v)) : String(v);
      if (typeof v != 'number' && /^[=+\-@\t\r]/.test(s)) s = "'" + s;
      return /[;"\r\n']/.test(s) ? '"' + s.replace(/"/g, '""') + '"' : s;
    };
    const columns = [...COLUMNS, 'reason'];
    const lines = [columns.map(c => field(Words.t('classe.col.' + c))).join(';')];
    for (const row of sorted()) {
      const r = row.r || {};
      const values = columns.map(c => {
        if (c == 'reason') return r.fault ? why(row) : r.check && r.check != 'verifie' ? why(row) : '';
        return c == 'time' || c == 'speed' ? (value(row, c) === null ? null : text(row, c)) : value(row, c);
      });
      lines.push(values.map(field).join(';'));
    }
    return '\ufeff' + lines.join('\r\n') + '\r\n';
  }

  $('classe-export').addEventListener('click', () => download(`classe-${today()}.csv`, csv(), 'text/csv;charset=utf-8'));
  $('classe-save').addEventListener('click', () =>
    download(`classe-${today()}.svg`, svg(), 'image/svg+xml'));

  // « Revoir un vol »: the simulator's page, in a new tab, replaying the file carried in its link.
  function reopen(row) {
    const flight = new TextDecoder().decode(row.bytes);
    window.open(Words.link('index.html') + '#vol=' + encodeURIComponent(flight), '_blank');
  }

  $('classe-anonymous').addEventListener('change', e => {
    anonymous = e.target.checked;
    changed(true);
  });
  window.addEventListener('resize', () => {
    repaint = true; // a page zoomed in or out: its pixels are others
    changed();
  });

  // ---- Start ----

  heading();
  frame();
  draw();
  Object.assign(exercise, kept());
  if (exercise.choice == 'file' && !exercise.text) exercise.choice = '';
  anonymous = $('classe-anonymous').checked;
  Words.onChange(() => {
    heading();
    setup(); // the reasons of refused files come from the C++, in the page's language
    for (const row of rows) row.shown = undefined;
  });
  setup();
  if ('serviceWorker' in navigator && window.isSecureContext)
    window.addEventListener('load', () => navigator.serviceWorker.register('sw.js').catch(() => {})); // none in a platform's package
})();
