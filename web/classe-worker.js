// One of the class page's workers: the flight files it is handed are read, replayed, checked and scored
// by classe-core, the simulator's own C++ (web/classe.cpp), off the page's main thread. Messages come in
// order and are answered in order:
//   {op: 'setup', lang, builtin | scenario, spread, code} -> {op: 'setup', fault}   the teacher's exercise
//   {op: 'flight', id, gen, bytes}  -> {op: 'flight', id, gen, row, path}   one file, its path as X, Y
//   {op: 'advise', key}             -> {op: 'advise', key, advised}         « conseil » from one start
//   {op: 'scores', gen, items: [[id, coll, used, advised]...]} -> {op: 'scores', gen, items: [[id, score]...]}
// or {op: 'error', of, id, gen, key, message} where the program itself failed.
'use strict';
importScripts('classe-core.js');
const PATH_MOST = 400; // points of a path, at most
const core = ClasseCore();

// Bytes into the program's memory, for the call `use`, and out again.
function withBytes(m, bytes, use) {
  const at = m._malloc(bytes.length + 1);
  m.HEAPU8.set(bytes, at);
  try {
    return use(at);
  } finally {
    m._free(at);
  }
}

const ops = {
  setup(m, d) {
    m.ccall('classe_language', null, ['string'], [d.lang]);
    const text = d.builtin !== undefined ? m.UTF8ToString(m._classe_builtin(d.builtin)) : d.scenario || '';
    const said = m.ccall('classe_exercise', 'string', ['string', 'number', 'string'], [text, d.spread, d.code]);
    return {op: 'setup', fault: said ? JSON.parse(said) : null};
  },
  flight(m, d) {
    const row = JSON.parse(m.UTF8ToString(withBytes(m, d.bytes, at => m._classe_flight(at, d.bytes.length, PATH_MOST))));
    const path = new Float32Array(m.HEAPF32.buffer, m._classe_path(), m._classe_path_floats()).slice();
    return [{op: 'flight', id: d.id, gen: d.gen, row, path}, [path.buffer]];
  },
  advise(m, d) {
    return {op: 'advise', key: d.key, advised: m.ccall('classe_advised', 'number', ['string'], [d.key])};
  },
  scores(m, d) {
    return {op: 'scores', gen: d.gen, items: d.items.map(([id, coll, used, advised]) => [id, m._classe_score(coll, used, advised)])};
  },
};

// A fault of the program itself is said for the job that met it, so that the page does not wait on it.
onmessage = async e => {
  const m = await core;
  let answer;
  try {
    answer = ops[e.data.op](m, e.data);
  } catch (error) {
    answer = {op: 'error', of: e.data.op, id: e.data.id, gen: e.data.gen, key: e.data.key, message: String(error)};
  }
  if (Array.isArray(answer)) postMessage(...answer);
  else postMessage(answer);
};
