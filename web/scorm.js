// The page inside a learning platform (Moodle, or any that takes SCORM 1.2 packages: make scorm). Found
// by the usual search for the platform's API, it starts the attempt and, after each outcome of a flight
// that a grade may take (web/scorm.cpp: the scenario the page was opened with, flown by the person),
// reports the status (passed once docked), the best score of the attempt (the deck's, web/deck.cpp)
// and the time spent, and keeps the best docked flight's file in cmi.suspend_data, where « Revoir un
// vol » finds it when the attempt is opened again. The platform's name for the student becomes the
// deck's « Votre nom ». Whatever the platform answers, the flight goes on: a value refused or a session
// lost is said once, under the square. Outside a platform none of this acts and nothing is said. It
// hears of frames through Module.onFrame and writes nothing of the program's.
(() => {
  'use strict';
  const DEPTH = 7;     // frames above the page searched for the API, as the usual search bounds it
  const LIMIT = 4096;  // characters of cmi.suspend_data that SCORM 1.2 promises to keep
  // Before a flight file kept compressed, for one that does not fit as text: gzip, then base64.
  const PACKED = 'vol-gzip-base64:';

  // The SCORM 1.2 search: the page's window and its parents up to DEPTH, then the window that opened
  // it and its parents. A few lines written here rather than a wrapper library: nothing is fetched at
  // run time, nothing downloaded at build time, and Debian packages no such library.
  function search(win) {
    for (let n = 0; win && n <= DEPTH; n++) {
      try {
        if (win.API) return win.API;
      } catch (e) {} // a frame of another site: not the platform that serves the page
      if (win.parent === win) break;
      win = win.parent;
    }
    return null;
  }
  let api = search(window);
  try {
    if (!api && window.opener) api = search(window.opener);
  } catch (e) {}
  window.Scorm = {inside: !!api};
  if (!api) return;

  const $ = id => document.getElementById(id);
  const message = $('scorm-message'), keptButton = $('scorm-kept'), pilot = $('deck-pilot');

  // The platform's answers are strings, "true" when it took a call; a throw is a session lost.
  function call(name, ...args) {
    try {
      return String(api[name](...args));
    } catch (e) {
      return null;
    }
  }
  function fail() {
    if (!message.hidden) return;
    message.textContent = Words.t('scorm.not-recorded');
    message.hidden = false;
  }
  const get = element => call('LMSGetValue', element) ?? '';
  const set = (element, value) => call('LMSSetValue', element, String(value)) === 'true' || fail();
  const commit = () => call('LMSCommit', '') === 'true' || fail();

  if (call('LMSInitialize', '') !== 'true') fail();
  const began = Date.now();
  let status = get('cmi.core.lesson_status');
  if (status == 'not attempted') {
    status = 'incomplete';
    set('cmi.core.lesson_status', status);
    commit();
  }
  const raw = get('cmi.core.score.raw');
  let best = raw === '' || isNaN(raw) ? -1 : Number(raw); // the best score of the attempt so far
  // « Nom, Prénom », as the platform has it: the name in the flight files, which the student cannot
  // change here.
  const name = get('cmi.core.student_name').trim();
  if (name) {
    pilot.value = name;
    pilot.readOnly = true;
    // A class's link with a code word: the start is this student's at once, drawn from the platform's name.
    OwnStart.drawFor(name);
  }

  // The time since the attempt started, as SCORM 1.2 writes a span: HHHH:MM:SS.SS.
  function spent() {
    const s = (Date.now() - began) / 1000, two = n => String(Math.floor(n)).padStart(2, '0');
    return String(Math.min(9999, Math.floor(s / 3600))).padStart(4, '0') + ':' + two((s / 60) % 60) + ':' +
      (Math.floor((s % 60) * 100) / 100).toFixed(2).padStart(5, '0');
  }

  // A flight file as the platform keeps it: as it is where it fits, so that the platform's reports show
  // it; compressed where it does not; null where even that is too long, or the browser cannot compress.
  async function pack(text) {
    if (text.length <= LIMIT) return text;
    try {
      const zipped = new Uint8Array(await new Response(new Blob([text]).stream()
        .pipeThrough(new CompressionStream('gzip'))).arrayBuffer());
      let bytes = '';
      for (let i = 0; i < zipped.length; i += 8192) bytes += String.fromCharCode(...zipped.subarray(i, i + 8192));
      const packed = PACKED + btoa(bytes);
      return packed.length <= LIMIT ? packed : null;
    } catch (e) {
      return null;
    }
  }
  function unpack(kept) {
    if (!kept.startsWith(PACKED)) return Promise.resolve(kept);
    const zipped = Uint8Array.from(atob(kept.slice(PACKED.length)), c => c.charCodeAt(0));
    return new Response(new Blob([zipped]).stream().pipeThrough(new DecompressionStream('gzip'))).text();
  }

  // The kept flight, offered beside « Revoir un vol… ».
  let kept = null; // {text, score}
  function offer(text, score) {
    kept = {text: text, score: score};
    keptButton.textContent = Words.t('scorm.kept', score);
    keptButton.hidden = false;
  }
  keptButton.addEventListener('click', () => {
    if (kept) Replay.load(Words.t('scorm.kept-name'), () => new TextEncoder().encode(kept.text));
  });
  unpack(get('cmi.suspend_data'))
    .then(text => { if (Replay.isFlight(new TextEncoder().encode(text))) offer(text, best); })
    .catch(() => {}); // not a flight of ours: nothing to offer

  // Only flights of the scenario the page was opened with are graded.
  Scenario.launched.then(text => {
    if (text !== null)
      Module.ccall('scorm_launch', 'number', ['string', 'number', 'string'], [text, OwnStart.spread, OwnStart.word]);
  });

  // After an outcome: the status, the best score, the flight that earned it, the time, then a commit.
  async function report(outcome) {
    if (!Module.ccall('scorm_graded', 'number', ['string'], [pilot.value.trim()])) return;
    const score = JSON.parse(Module.UTF8ToString(Module._deck_score())).score;
    const better = score > best;
    // The file is read now: the record starts again at the next reset.
    const flight = better && outcome == 3 ?
      Module.ccall('deck_flight', 'string', ['string', 'string', 'string'],
                   [pilot.value.trim(), Scenario.source(), OwnStart.code()]) : null;
    const packed = flight && (await pack(flight));
    if (outcome == 3 && status != 'passed') {
      status = 'passed';
      set('cmi.core.lesson_status', status);
    }
    set('cmi.core.score.min', 0);
    set('cmi.core.score.max', 100);
    if (better) {
      best = score;
      set('cmi.core.score.raw', score);
    }
    if (packed) {
      set('cmi.suspend_data', packed);
      offer(flight, score);
    }
    set('cmi.core.session_time', spent());
    commit();
  }

  let outcome = 0; // the run's outcome at the last frame
  Module.onFrame = (prev => () => {
    if (prev) prev();
    const now = Module._scorm_outcome();
    if (now && !outcome) report(now);
    outcome = now;
  })(Module.onFrame);

  // Leaving: the time, an attempt that can be taken up again, a last commit. A page put out of sight
  // commits too, since some browsers let a page that is closing make no more calls.
  let left = false;
  window.addEventListener('pagehide', () => {
    if (left) return;
    left = true;
    set('cmi.core.session_time', spent());
    set('cmi.core.exit', 'suspend');
    commit();
    call('LMSFinish', '');
  });
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState != 'hidden' || left) return;
    set('cmi.core.session_time', spent());
    commit();
  });

  Words.onChange(() => {
    if (!message.hidden) message.textContent = Words.t('scorm.not-recorded');
    if (kept) keptButton.textContent = Words.t('scorm.kept', kept.score);
  });
})();
