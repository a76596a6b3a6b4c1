// The page's words, in the language its reader chose: one table per language (data/lang/<code>.txt,
// which words-tables.js carries), read by the same rules as the program's own reader of them,
// plan/words.cpp. Code never holds a sentence: it asks Words.t(key, values...). An element with
// data-t="key" shows that text, data-t-html="key" that HTML; data-t-title, data-t-aria-label and
// data-t-alt give its attribute of that name.
//
// The language is the one a `lang=` in the page's address names, or else the one chosen before in this
// browser, or else the browser's own, or else French. The switch « FR | EN » at the top changes it in
// place, keeps the choice, and puts it in the address, so that a link copied from the page keeps it.
var Words = (() => {
  'use strict';
  const KEPT = 'rendezvous.lang'; // where the browser keeps the choice

  function parse(text) {
    const words = {};
    for (let line of text.split('\n')) {
      if (line.endsWith('\r')) line = line.slice(0, -1);
      if (!line.trim() || line[0] == '#') continue;
      const eq = line.indexOf('=');
      const key = eq < 0 ? '' : line.slice(0, eq).replace(/ +$/, '');
      if (!/^[A-Za-z0-9._-]+$/.test(key) || key in words) continue;
      let value = line.slice(eq + 1);
      if (value[0] == ' ') value = value.slice(1);
      if (value.length >= 2 && value[0] == '"' && value[value.length - 1] == '"') value = value.slice(1, -1);
      words[key] = value.replace(/\\([n\\])/g, (_, c) => (c == 'n' ? '\n' : '\\'));
    }
    return words;
  }

  const tables = {};
  for (const code in WORD_TABLES) tables[code] = parse(WORD_TABLES[code]);
  // French first: the simulator's language, and the one a missing word falls back to.
  const codes = Object.keys(tables).sort((a, b) => (b == 'fr') - (a == 'fr'));
  const listeners = [];

  function kept() {
    try {
      return localStorage.getItem(KEPT);
    } catch (e) {
      return null; // a browser that keeps nothing for this page
    }
  }

  function keep(code) {
    try {
      localStorage.setItem(KEPT, code);
    } catch (e) {}
  }

  function chosen() {
    const asked = new URLSearchParams(location.search).get('lang');
    if (tables[asked]) {
      keep(asked);
      return asked;
    }
    if (tables[kept()]) return kept();
    for (const tag of navigator.languages || [navigator.language || '']) {
      const code = tag.toLowerCase().split('-')[0];
      if (tables[code]) return code;
    }
    return 'fr';
  }

  let lang = chosen();

  function t(key, ...values) {
    const text = tables[lang][key] ?? tables.fr[key] ?? '[' + key + ']';
    return text.replace(/\{([1-9])\}/g, (_, n) => (values[n - 1] === undefined ? '' : String(values[n - 1])));
  }

  // A text with an element in the place of its {1}: the text around it, and the element.
  function around(parent, key, element) {
    const [before, after] = t(key).split('{1}');
    parent.replaceChildren(before, element, after ?? '');
  }

  function apply(root) {
    for (const e of root.querySelectorAll('[data-t]')) e.textContent = t(e.dataset.t);
    for (const e of root.querySelectorAll('[data-t-html]')) e.innerHTML = t(e.dataset.tHtml);
    for (const name of ['title', 'aria-label', 'alt'])
      for (const e of root.querySelectorAll(`[data-t-${name}]`)) e.setAttribute(name, t(e.getAttribute(`data-t-${name}`)));
  }

  // An address of the site with the language in its query, so that the page it opens speaks it.
  function link(address) {
    const url = new URL(address, location.href);
    url.searchParams.set('lang', lang);
    return url.href;
  }

  function show() {
    document.documentElement.lang = lang;
    const manifest = document.querySelector('link[rel=manifest]');
    if (manifest) manifest.href = `manifest-${lang}.webmanifest`;
    apply(document);
    const nav = document.getElementById('languages');
    if (!nav) return;
    nav.setAttribute('aria-label', t('page.languages'));
    nav.replaceChildren();
    codes.forEach((code, i) => {
      if (i) nav.append(' | ');
      const sign = tables[code]['language.sign'] || code.toUpperCase();
      const e = document.createElement(code == lang ? 'strong' : 'a');
      e.textContent = sign;
      e.lang = code;
      e.title = tables[code]['language.name'] || code;
      if (code != lang) {
        e.href = '?' + new URLSearchParams({...Object.fromEntries(new URLSearchParams(location.search)), lang: code}) +
          location.hash;
        e.hreflang = code;
        e.addEventListener('click', ev => {
          ev.preventDefault();
          set(code);
        });
      } else {
        e.setAttribute('aria-current', 'true');
      }
      nav.append(e);
    });
  }

  // The page in another language, in place: nothing of the flight is lost.
  function set(code) {
    if (!tables[code] || code == lang) return;
    lang = code;
    keep(code);
    const query = new URLSearchParams(location.search);
    query.set('lang', code);
    history.replaceState(history.state, '', '?' + query + location.hash);
    show();
    for (const f of listeners) f(code);
  }

  // The page's markup stands above the scripts: its words are put in at once.
  show();
  return {
    t, around, apply, link, set,
    get lang() { return lang; },
    languages: codes,
    table: code => ({...tables[code]}),
    onChange: f => listeners.push(f),
  };
})();
