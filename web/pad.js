// The pad beside the square: a button for each key a class may lack (a Mac has no PageUp, a tablet no
// keys at all). A button hands its key to the program exactly as a press of it does, once per click,
// tap, Enter or Space.
(() => {
  'use strict';
  // The key as the browser names it, the sign on the button, its name (also its tooltip).
  // In the pad's rows of three: up and down beside forward, the arrows as a cross, then the rest.
  const KEYS = [
    ['PageUp', '\u21de', 'monter (page pr\u00e9c\u00e9dente)'],
    ['ArrowUp', '\u2191', 'avancer (fl\u00e8che avant)'],
    ['PageDown', '\u21df', 'descendre (page suivante)'],
    ['ArrowLeft', '\u2190', 'aller \u00e0 gauche (fl\u00e8che gauche)'],
    ['ArrowDown', '\u2193', 'freiner, reculer (fl\u00e8che arri\u00e8re)'],
    ['ArrowRight', '\u2192', 'aller \u00e0 droite (fl\u00e8che droite)'],
    ['p', 'p', 'pause, reprise (p)'],
    ['k', 'k', 'remettre \u00e0 z\u00e9ro le calcul (k)'],
    ['h', 'h', 'aide, pas d\u2019aide (h)'],
    ['S', 'S', 'acc\u00e9l\u00e9rer le temps (S)'],
    ['s', 's', 'ralentir le temps (s)'],
    ['l', 'l', 'vue du chasseur, vue du paysage (l)'],
    ['o', 'o', 'arr\u00eater la rotation de l\u2019orbite (o)'],
    ['O', 'O', 'reprendre la rotation de l\u2019orbite (O)'],
  ];
  const pad = document.getElementById('pad');
  const canvas = document.getElementById('canvas');
  for (const [key, sign, name] of KEYS) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = sign;
    button.title = name;
    button.setAttribute('aria-label', name);
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
})();
