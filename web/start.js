// A start of one's own. A class's link (the teacher makes it on the class page) names a scenario, as
// `?cas=N` or `#scenario=` do, with `ecart=` (how far a start may move) and `code=` (the class's code
// word). The page asks the student's name, and the program's C++ (web/start.cpp, plan::ownStart) draws
// that student's start from the code word and the name, the same on every machine; the start becomes the
// first scenario as any scenario the page brings does (scenario.js). The name goes into « Votre nom »,
// which stays as it is while the start is in force, and the flights saved from it carry the name and the
// code word, which the class view draws again.
(() => {
  'use strict';
  const query = new URLSearchParams(location.search);
  const code = (query.get('code') || '').trim();
  const $ = id => document.getElementById(id);
  const panel = $('own'), input = $('own-name'), go = $('own-go'), message = $('own-message');
  const pilot = $('deck-pilot');

  let label = null; // the scenario's name while the student's own start is in force
  let said = null;  // what the message says, [key, values...], said again in another language

  // The code word of the run's start, for the flight saved: only while the first scenario is the
  // student's own start. For the learning platform's grade, the link's code word ("" for none) and
  // spread, and the draw for a name the platform gives, which the student then need not type.
  const spread = Number((query.get('ecart') || '0').replace(',', '.')) || 0;
  window.OwnStart = {
    code: () => (label !== null && Scenario.source() === label &&
                 Module.UTF8ToString(Module._deck_words()).split('\n')[0] == 'data/fo.in' ? code : ''),
    word: code,
    spread: spread,
    drawFor: name => {
      if (!code) return Promise.resolve();
      input.value = name;
      input.readOnly = true;
      return draw();
    },
  };
  if (!code) return;

  const running = new Promise(resolve => {
    Module.postRun = [].concat(Module.postRun || [], resolve);
  });
  const cas = query.get('cas');
  const carried = location.hash.match(/^#scenario=(.*)$/s);

  // The teacher's scenario, as the link gives it: one of the program's own, or the text it carries.
  let teacher = null, source = null;
  const teacherRead = running.then(() => {
    if (carried) {
      try {
        teacher = decodeURIComponent(carried[1]);
        source = Words.t('scenario.by-link');
      } catch (e) {} // scenario.js says the link is damaged
    } else {
      source = /^[1-5]$/.test(cas) ? `data/fo${cas}.in` : 'data/fo.in';
      teacher = Module.FS.readFile(source, {encoding: 'utf8'});
    }
    go.disabled = teacher === null;
  });

  function say(key, ...values) {
    said = [key, ...values];
    message.textContent = Words.t(key, ...values);
  }

  async function draw() {
    const name = input.value.trim();
    if (!name) return say('own.no-name');
    await teacherRead;
    if (teacher === null) return;
    go.disabled = true;
    say('own.drawing');
    // The planner flies its trials on this thread: the message shows before it starts.
    await new Promise(resolve => requestAnimationFrame(() => setTimeout(resolve, 0)));
    const a = JSON.parse(Module.ccall('start_own', 'string', ['string', 'number', 'string', 'string'],
                                      [teacher, spread, code, name]));
    go.disabled = false;
    if (a.fault || !(await Scenario.take(source, a.text))) return say('own.refused');
    label = source;
    pilot.value = name;
    pilot.dispatchEvent(new Event('change'));
    pilot.readOnly = true;
    pilot.title = Words.t('own.pilot');
    const at = v => v.toFixed(3).replace('.', Words.t('number.decimal'));
    say('own.done', name, at(a.start[1]), at(a.start[0]), a.advised || '\u2014');
  }

  panel.hidden = false;
  go.disabled = true;
  input.value = pilot.value;
  go.addEventListener('click', draw);
  input.addEventListener('keydown', e => { if (e.key == 'Enter') draw(); });
  Words.onChange(() => {
    if (said) message.textContent = Words.t(...said);
    if (pilot.readOnly) pilot.title = Words.t('own.pilot');
  });
})();
