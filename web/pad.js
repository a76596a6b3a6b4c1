// The pad beside the square: a button for each key a class may lack (a Mac has no PageUp, a tablet no
// keys at all). A button hands its key to the program exactly as a press of it does, once per click,
// tap, Enter or Space.
(() => {
  'use strict';
  // The key as the browser names it and the sign on the button; its name (also its tooltip) is the
  // words' pad.<key>. In the pad's rows of three: up and down beside forward, the arrows as a cross,
  // then the rest.
  const KEYS = [
    ['PageUp', '\u21de'], ['ArrowUp', '\u2191'], ['PageDown', '\u21df'],
    ['ArrowLeft', '\u2190'], ['ArrowDown', '\u2193'], ['ArrowRight', '\u2192'],
    ['p', 'p'], ['k', 'k'], ['h', 'h'], ['S', 'S'], ['s', 's'], ['l', 'l'], ['o', 'o'], ['O', 'O'],
  ];
  const pad = document.getElementById('pad');
  const canvas = document.getElementById('canvas');
  for (const [key, sign] of KEYS) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = sign;
    button.setAttribute('data-t-title', 'pad.' + key);
    button.setAttribute('data-t-aria-label', 'pad.' + key);
    button.dataset.key = key;
    // A pointer leaves the keyboard with the canvas, so the keys fly again at once; Tab still
    // reaches the pad, and a button taken by Tab keeps the focus for the next Enter or Space.
    button.addEventListener('mousedown', e => e.preventDefault());
    // A held Enter repeats its click: one press of a button is one pulse, however long it is held.
    button.addEventListener('keydown', e => { if (e.repeat) e.preventDefault(); });
    button.addEventListener('click', e => {
      if (Module.pressKey) Module.pressKey(key);
      if (e.detail > 0) canvas.focus();
    });
    pad.appendChild(button);
  }
  Words.apply(pad);
})();
