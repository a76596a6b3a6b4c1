// The page's shell: the line at its top, the program's module (its canvas, its output in the console
// pane, the end of the program), loaded before the program itself. The page's other concerns each have
// a file beside this one; they reach the program only through the hooks and entry points that web.js
// puts on Module. The words are words.js's.
var Module = (() => {
  'use strict';
  const pane = document.getElementById('console');
  const canvas = document.getElementById('canvas');
  const statusLine = document.getElementById('status');

  // The line at the top, with its link to the help page of the page's language.
  function heading() {
    const help = document.createElement('a');
    help.href = Words.t('page.help.file');
    help.target = '_blank';
    help.textContent = Words.t('page.help');
    Words.around(document.getElementById('heading'), 'page.heading', help);
  }
  heading();
  Words.onChange(heading);

  // The program's standard output and error, line by line, in the pane and in the browser's console.
  function show(line, isError) {
    // While the page checks a scenario with the program's reader, what the reader says is the page's.
    if (module.hush) return module.hush.push(line);
    // The GL emulation's own notices are the runtime's, not the program's: the browser's console only.
    if (line.startsWith('WARNING: using emscripten GL')) return console.debug(line);
    pane.textContent += line + '\n';
    pane.scrollTop = pane.scrollHeight;
    (isError ? console.error : console.log)(line);
  }

  const module = {
    canvas: canvas,
    arguments: [],
    print: line => show(line, false),
    printErr: line => show(line, true),
    // The runtime's own progress lines are in English whatever the page speaks: the page says its own.
    setStatus: text => { statusLine.textContent = text ? Words.t('page.loading') : ''; },
    // `h` and the menu's help open the help page beside the program; the page opens the one in its
    // language.
    openPage: path => window.open(path == 'data/aide.html' ? Words.t('page.help.file') : path, '_blank'),
    onRuntimeInitialized: () => { statusLine.textContent = ''; canvas.focus(); },
    // Esc, Q or the menu's exit: the program has ended; the page offers a new start.
    onEnd: code => {
      statusLine.textContent = '';
      canvas.style.opacity = 0.4;
      document.getElementById('ended').style.display = 'block';
      document.getElementById('again').focus();
    },
  };
  // The site kept for a lesson without network (sw.js); a page served from the file system has none.
  // A new site is kept during the visit that finds it, and shows at the next one. Registered once the
  // page has loaded, so that keeping the site does not slow the first start. Inside a learning
  // platform (scorm.js) the platform serves the page, and its package has no worker.
  if ('serviceWorker' in navigator && window.isSecureContext) {
    const kept = navigator.serviceWorker.controller;
    window.addEventListener('load', () => window.Scorm?.inside || navigator.serviceWorker.register('sw.js'));
    navigator.serviceWorker.addEventListener('controllerchange', () => {
      if (kept) statusLine.textContent = Words.t('page.new-version');
    });
  }
  document.getElementById('again').addEventListener('click', () => location.reload());
  canvas.addEventListener('webglcontextlost', e => {
    statusLine.textContent = Words.t('page.context-lost');
    e.preventDefault();
  });

  // The program draws through WebGL. Where the browser has none (turned off, or graphics too old), the
  // program would stop at its first GL call with nothing said: the page says it instead, and what to
  // try, and does not start the program.
  function hasWebGL() {
    try {
      const gl = document.createElement('canvas').getContext('webgl');
      if (gl) gl.getExtension('WEBGL_lose_context')?.loseContext(); // browsers keep few contexts
      return !!gl;
    } catch (e) {
      return false;
    }
  }
  // Once every script of the page has set its hooks.
  document.addEventListener('DOMContentLoaded', () => {
    if (!hasWebGL()) {
      statusLine.textContent = '';
      // Nothing else on the page would work either: only the message stays.
      for (const e of document.querySelectorAll('#canvas, #console, #page > :not(#square)')) e.hidden = true;
      document.getElementById('nowebgl').hidden = false;
      return;
    }
    const program = document.createElement('script');
    program.src = 'rendezvous.js';
    document.body.appendChild(program);
  });
  return module;
})();
