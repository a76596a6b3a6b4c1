// The browser's side of GLUT and GL that emscripten's libraries lack or do otherwise than the
// desktop's freeglut: the pace of the idle and display callbacks, keys, mouse and fingers on the
// canvas, the right-button menus, the glyphs of the bitmap fonts, the help page's tab, the end of the
// program, and the few entry points of the GL emulation that web/gl.cpp draws through. Merged into
// emscripten's library, so that the functions here take the place of emscripten's own of the same
// names.
//
// The page's own code meets the program here only: Module.pressKey(name) and Module.chooseMenu(path)
// act as a key and a menu click do, Module.menus() tells what the menu holds, and the page's hooks
// Module.onInput(kind, code) and Module.onFrame() hear of each input handed to the program and of
// each frame drawn; Module.acceptInput(kind, code, top) may hold an input back, Module.beforeIdle()
// runs just before each idle callback, and Module.openPage(path) opens the help page.

mergeInto(LibraryManager.library, {
  $WEB__deps: ['$GLUT', '$callUserCallback'],
  $WEB: {
    ended: false,     // the program has called exit(): nothing more is handed to it
    menus: [null],    // GLUT menu ids from 1: {callback, entries: [{label, value} or {label, sub}]}
    current: 0,       // the current menu, as glutSetMenu and glutCreateMenu leave it
    attached: {},     // mouse button -> menu id
    shown: [],        // the menu elements on the page, the main one first
    buttons: 0,       // mouse buttons held down on the canvas, one bit each
    // GLUT's special keys by the browser's key names.
    special: {F1: 1, F2: 2, F3: 3, F4: 4, F5: 5, F6: 6, F7: 7, F8: 8, F9: 9, F10: 10, F11: 11, F12: 12,
              ArrowLeft: 100, ArrowUp: 101, ArrowRight: 102, ArrowDown: 103, PageUp: 104, PageDown: 105,
              Home: 106, End: 107, Insert: 108},
    // Keys that GLUT hands over as characters although the browser names them.
    named: {Escape: 27, Enter: 13, Backspace: 8, Delete: 127},

    // A callback into the program; an exit() inside it ends the program quietly.
    call: function(f) {
      if (!WEB.ended) callUserCallback(f);
    },

    // An input callback into the program, then the page's hook Module.onInput(kind, code) with what
    // was handed over: 'key' and the character's code, 'special' and GLUT's key code, or 'menu' and
    // the entry's value (`top`: an entry of the menu on the right button, not of a submenu). The hook
    // sees the state right after the program took the input. The page may hold an input back first:
    // Module.acceptInput(kind, code, top) false, and the program never hears of it.
    input: function(kind, code, f, top) {
      if (WEB.ended || (Module['acceptInput'] && !Module['acceptInput'](kind, code, !!top))) return;
      WEB.call(f);
      if (!WEB.ended && Module['onInput']) Module['onInput'](kind, code);
    },

    // A key by the browser's name ('ArrowUp', 'PageDown', 'p', 'Escape'...) handed to the program as
    // GLUT hands it over; false for a key that GLUT does not pass on.
    key: function(name) {
      var special = WEB.special[name];
      var code = WEB.named[name];
      if (code === undefined && name.length == 1 && name.charCodeAt(0) < 256) code = name.charCodeAt(0);
      if (special !== undefined && GLUT.specialFunc) {
        WEB.input('special', special, function() {
          {{{ makeDynCall('viii', 'GLUT.specialFunc') }}}(special, 0, 0);
        });
      } else if (code !== undefined && GLUT.keyboardFunc) {
        WEB.input('key', code, function() { {{{ makeDynCall('viii', 'GLUT.keyboardFunc') }}}(code, 0, 0); });
      } else {
        return false;
      }
      return true;
    },

    // A menu entry chosen as a click on it would: `path` holds the entry's place in the menu on the
    // right button, then in each submenu ([0] the first entry, [1, 2] the third of the second's submenu).
    choose: function(path) {
      var menu = WEB.menus[WEB.attached[2]];
      for (var i = 0; menu && i < path.length; i++) {
        var entry = menu.entries[path[i]];
        if (!entry) return false;
        if (entry.sub) {
          menu = WEB.menus[entry.sub];
          continue;
        }
        if (i != path.length - 1) return false;
        WEB.closeMenus();
        WEB.input('menu', entry.value, function() { {{{ makeDynCall('vi', 'menu.callback') }}}(entry.value); },
                  menu == WEB.menus[WEB.attached[2]]);
        return true;
      }
      return false;
    },

    // Window coordinates of a mouse event, GLUT's way: pixels of the canvas from its top left.
    at: function(e) {
      var canvas = Module['canvas'], r = canvas.getBoundingClientRect();
      return [Math.round((e.clientX - r.left) * canvas.width / r.width),
              Math.round((e.clientY - r.top) * canvas.height / r.height)];
    },

    onKeydown: function(e) {
      if (WEB.shown.length) return; // the menu has the keyboard
      if (e.ctrlKey || e.metaKey || e.altKey) return; // the browser's own shortcuts
      if (WEB.key(e.key)) e.preventDefault(); // no scrolling of the page by arrows, space or PageDown
    },

    onMousedown: function(e) {
      var canvas = Module['canvas'];
      canvas.focus();
      e.preventDefault();
      if (WEB.ended) return;
      var xy = WEB.at(e);
      // As on the desktop, the button that carries a menu opens it and reaches no mouse callback.
      if (WEB.attached[e.button]) {
        WEB.openMenu(WEB.attached[e.button], e.clientX, e.clientY, null);
        return;
      }
      WEB.buttons |= 1 << e.button;
      if (GLUT.mouseFunc)
        WEB.call(function() { {{{ makeDynCall('viiii', 'GLUT.mouseFunc') }}}(e.button, 0, xy[0], xy[1]); });
    },

    onMouseup: function(e) {
      if (!(WEB.buttons & (1 << e.button))) return;
      WEB.buttons &= ~(1 << e.button);
      var xy = WEB.at(e);
      if (GLUT.mouseFunc)
        WEB.call(function() { {{{ makeDynCall('viiii', 'GLUT.mouseFunc') }}}(e.button, 1, xy[0], xy[1]); });
    },

    onMousemove: function(e) {
      if (!WEB.buttons || !GLUT.motionFunc) return;
      var xy = WEB.at(e);
      WEB.call(function() { {{{ makeDynCall('vii', 'GLUT.motionFunc') }}}(xy[0], xy[1]); });
    },

    // ---- Touch on the canvas: one finger is the left button, a held one the menu's, two a zoom ----
    finger: null,     // the one finger on the canvas: {x, y, held, dragging, timer, xy}, or null
    pinch: 0,         // the distance between two fingers at the last zoom step, or 0
    holdMs: 500,      // a finger held this long without moving opens the menu
    slop: 10,         // pixels a finger may wander and still be a tap or a hold
    pinchStep: 1.25,  // the ratio of the fingers' distance that makes one `+` or `-`

    spread: function(t) {
      return Math.hypot(t[0].clientX - t[1].clientX, t[0].clientY - t[1].clientY);
    },

    // The left button's callbacks for a finger: 0 down, 1 up, at the finger's place on the canvas.
    fingerButton: function(state, xy) {
      if (GLUT.mouseFunc)
        WEB.call(function() { {{{ makeDynCall('viiii', 'GLUT.mouseFunc') }}}(0, state, xy[0], xy[1]); });
    },

    // The one finger's end: its drag's button comes up, or a tap is a click of the left button where it
    // was; a finger that opened the menu, or that a second one turned into a pinch, is no click.
    endFinger: function(tap) {
      var finger = WEB.finger;
      if (!finger) return;
      clearTimeout(finger.timer);
      WEB.finger = null;
      if (finger.held || WEB.ended) return;
      if (!finger.dragging && !tap) return;
      if (!finger.dragging) WEB.fingerButton(0, finger.xy);
      WEB.fingerButton(1, finger.xy);
    },

    // No scrolling, zoom or emulated mouse under a finger on the square: the program has it.
    onTouchstart: function(e) {
      e.preventDefault();
      if (WEB.ended) return;
      if (WEB.shown.length) return WEB.closeMenus(); // as a press beside the menu closes it
      WEB.endFinger(false);
      if (e.touches.length == 2) {
        WEB.pinch = WEB.spread(e.touches);
      } else if (e.touches.length == 1) {
        var t = e.touches[0], finger = {x: t.clientX, y: t.clientY, xy: WEB.at(t)};
        finger.timer = setTimeout(function() {
          finger.held = true;
          if (WEB.attached[2]) WEB.openMenu(WEB.attached[2], finger.x, finger.y, null);
        }, WEB.holdMs);
        WEB.finger = finger;
      }
    },

    onTouchmove: function(e) {
      e.preventDefault();
      var finger = WEB.finger;
      if (WEB.pinch && e.touches.length == 2) {
        var ratio = WEB.spread(e.touches) / WEB.pinch;
        if (ratio > WEB.pinchStep || ratio < 1 / WEB.pinchStep) {
          WEB.key(ratio > 1 ? '-' : '+'); // fingers apart bring the view nearer
          WEB.pinch = WEB.spread(e.touches);
        }
      } else if (finger && !finger.held && e.touches.length == 1) {
        var t = e.touches[0];
        if (!finger.dragging && Math.hypot(t.clientX - finger.x, t.clientY - finger.y) < WEB.slop) return;
        clearTimeout(finger.timer);
        if (!finger.dragging) WEB.fingerButton(0, finger.xy);
        finger.dragging = true;
        finger.xy = WEB.at(t);
        if (GLUT.motionFunc)
          WEB.call(function() { {{{ makeDynCall('vii', 'GLUT.motionFunc') }}}(finger.xy[0], finger.xy[1]); });
      }
    },

    onTouchend: function(e) {
      e.preventDefault();
      if (e.touches.length < 2) WEB.pinch = 0;
      WEB.endFinger(e.type == 'touchend');
    },

    // ---- Menus: a list of entries over the page at the pointer; a submenu opens beside its entry ----
    openMenu: function(id, x, y, parent) {
      var menu = WEB.menus[id];
      // A submenu replaces the one its parent had open.
      while (WEB.shown.length > (parent ? WEB.shown.indexOf(parent) + 1 : 0)) WEB.shown.pop().remove();
      var box = document.createElement('div');
      box.className = 'glut-menu';
      box.setAttribute('role', 'menu');
      menu.entries.forEach(function(entry) {
        var item = document.createElement('div');
        item.className = 'glut-menu-entry' + (entry.sub ? ' glut-submenu' : '');
        item.setAttribute('role', 'menuitem');
        item.textContent = entry.label;
        var enter = function() {
          var r = item.getBoundingClientRect();
          if (entry.sub) WEB.openMenu(entry.sub, r.right, r.top, box);
          else while (WEB.shown[WEB.shown.length - 1] != box) WEB.shown.pop().remove();
        };
        item.addEventListener('mouseenter', enter);
        item.addEventListener('mousedown', function(e) { e.stopPropagation(); e.preventDefault(); });
        item.addEventListener('click', function(e) {
          e.stopPropagation();
          // A finger has no hover: its tap on a submenu's entry opens the submenu.
          if (entry.sub) return enter();
          WEB.closeMenus();
          Module['canvas'].focus();
          WEB.input('menu', entry.value, function() { {{{ makeDynCall('vi', 'menu.callback') }}}(entry.value); },
                    id == WEB.attached[2]);
        });
        box.appendChild(item);
      });
      box.addEventListener('contextmenu', function(e) { e.preventDefault(); });
      document.body.appendChild(box);
      // Within the page's view: shifted left or up where it would run past an edge.
      var w = box.offsetWidth, h = box.offsetHeight;
      if (parent && x + w > window.innerWidth) x = parent.getBoundingClientRect().left - w;
      box.style.left = Math.max(0, Math.min(x, window.innerWidth - w)) + window.scrollX + 'px';
      box.style.top = Math.max(0, Math.min(y, window.innerHeight - h)) + window.scrollY + 'px';
      WEB.shown.push(box);
    },

    closeMenus: function() {
      while (WEB.shown.length) WEB.shown.pop().remove();
    },

    // A press anywhere but on a menu closes the menus, and goes no further.
    onPageMousedown: function(e) {
      if (!WEB.shown.length || WEB.shown.some(function(m) { return m.contains(e.target); })) return;
      WEB.closeMenus();
      e.stopPropagation();
      e.preventDefault();
    },

    glyphCanvas: null, // where webGlyph has the browser draw a character, made on first use
  },

  // ---- GLUT ----

  glutInit__deps: ['$WEB', '$GLUT'],
  glutInit: function(argcp, argv) {
    GLUT.initTime = Date.now();
    var canvas = Module['canvas'];
    canvas.tabIndex = 0; // so that it takes the keyboard's focus
    canvas.addEventListener('keydown', WEB.onKeydown);
    canvas.addEventListener('mousedown', WEB.onMousedown);
    canvas.addEventListener('contextmenu', function(e) { e.preventDefault(); });
    window.addEventListener('mousemove', WEB.onMousemove);
    window.addEventListener('mouseup', WEB.onMouseup);
    document.addEventListener('mousedown', WEB.onPageMousedown, true);
    canvas.addEventListener('touchstart', WEB.onTouchstart, {passive: false});
    canvas.addEventListener('touchmove', WEB.onTouchmove, {passive: false});
    canvas.addEventListener('touchend', WEB.onTouchend, {passive: false});
    canvas.addEventListener('touchcancel', WEB.onTouchend, {passive: false});
    // While a menu is shown, Esc closes it wherever the focus is, and goes no further.
    document.addEventListener('keydown', function(e) {
      if (!WEB.shown.length || e.key != 'Escape') return;
      WEB.closeMenus();
      e.stopPropagation();
      e.preventDefault();
    }, true);
    // The page's controls reach the program as the keys and the menu do, and only so.
    Module['pressKey'] = WEB.key;
    Module['chooseMenu'] = WEB.choose;
    // What the menu on the right button holds, for the page to explain: [{label, value}] with
    // {label, entries} for a submenu.
    Module['menus'] = function() {
      var entries = function(menu) {
        return menu ? menu.entries.map(function(e) {
          return e.sub ? {label: e.label, entries: entries(WEB.menus[e.sub])} : {label: e.label, value: e.value};
        }) : [];
      };
      return entries(WEB.menus[WEB.attached[2]]);
    };
    Browser.resizeListeners.push(function(width, height) {
      if (GLUT.reshapeFunc) {{{ makeDynCall('vii', 'GLUT.reshapeFunc') }}}(width, height);
    });
    // When the program calls exit(), the page hears of it and nothing more reaches the program.
    var quit = quit_;
    quit_ = function(status, toThrow) {
      WEB.ended = true;
      WEB.closeMenus();
      if (Module['onEnd']) Module['onEnd'](status);
      quit(status, toThrow);
    };
  },

  glutIdleFunc__deps: ['$GLUT'],
  glutIdleFunc: function(func) {
    GLUT.idleFunc = func;
  },

  // The idle callback runs once before each frame, as freeglut's main loop alternates them; frames
  // come at the display's rate, so the simulation keeps the desktop's pace.
  glutPostRedisplay__deps: ['$WEB', '$GLUT'],
  glutPostRedisplay: function() {
    if (!GLUT.displayFunc || GLUT.requestedAnimationFrame || WEB.ended) return;
    GLUT.requestedAnimationFrame = true;
    Browser.requestAnimationFrame(function() {
      GLUT.requestedAnimationFrame = false;
      WEB.call(function() {
        // The page's hook just before the idle callback, with nothing between them.
        if (Module['beforeIdle']) Module['beforeIdle']();
        if (GLUT.idleFunc) {{{ makeDynCall('v', 'GLUT.idleFunc') }}}();
        {{{ makeDynCall('v', 'GLUT.displayFunc') }}}();
      });
      // The page's hook after each frame, with the state that frame showed.
      if (!WEB.ended && Module['onFrame']) Module['onFrame']();
    });
  },

  glutCreateMenu__deps: ['$WEB'],
  glutCreateMenu: function(callback) {
    WEB.current = WEB.menus.push({callback: callback, entries: []}) - 1;
    return WEB.current;
  },

  glutAddMenuEntry__deps: ['$WEB'],
  glutAddMenuEntry: function(label, value) {
    if (WEB.menus[WEB.current]) WEB.menus[WEB.current].entries.push({label: UTF8ToString(label), value: value});
  },

  glutAddSubMenu__deps: ['$WEB'],
  glutAddSubMenu: function(label, sub) {
    if (WEB.menus[WEB.current] && WEB.menus[sub])
      WEB.menus[WEB.current].entries.push({label: UTF8ToString(label), sub: sub});
  },

  glutSetMenu__deps: ['$WEB'],
  glutSetMenu: function(id) {
    if (WEB.menus[id]) WEB.current = id;
  },

  glutAttachMenu__deps: ['$WEB'],
  glutAttachMenu: function(button) {
    if (WEB.menus[WEB.current]) WEB.attached[button] = WEB.current;
  },

  // ---- Bitmap fonts (web/glut.cpp) ----

  webGlyph__deps: ['$WEB'],
  webGlyph: function(size, code, pixels, room, advance) {
    var canvas = WEB.glyphCanvas || (WEB.glyphCanvas = document.createElement('canvas'));
    var w = 2 * size, h = Math.ceil(1.5 * size), base = Math.ceil(1.15 * size);
    canvas.width = w;
    canvas.height = h;
    var g = canvas.getContext('2d', {willReadFrequently: true});
    g.font = size + 'px Helvetica, Arial, "Liberation Sans", "Nimbus Sans", sans-serif';
    g.fillStyle = '#fff';
    var text = String.fromCharCode(code);
    g.fillText(text, 1, base);
    // A bitmap font's pixels are on or off: those the browser covers at least half are on.
    var a = g.getImageData(0, 0, w, h).data, n = 0;
    for (var y = 0; y < h; y++) {
      for (var x = 0; x < w; x++) {
        if (a[4 * (y * w + x) + 3] < 128) continue;
        if (n < room) {
          HEAP16[(pixels >> 1) + 2 * n] = x - 1;
          HEAP16[(pixels >> 1) + 2 * n + 1] = base - 1 - y;
        }
        n++;
      }
    }
    HEAP32[advance >> 2] = Math.round(g.measureText(text).width);
    return n;
  },

  // ---- The help page (web/opener.cpp) ----

  webOpenTab: function(path) {
    // The page may open another page in the place of this one (its help in its own language).
    if (Module['openPage']) Module['openPage'](UTF8ToString(path));
    else window.open(UTF8ToString(path), '_blank');
  },

  // ---- The GL emulation's entry points that web/gl.cpp draws through ----

  webEmuDraw__deps: ['glEnableClientState', 'glDisableClientState', 'glVertexPointer', 'glNormalPointer',
                     'glColorPointer', 'glDrawArrays'],
  webEmuDraw: function(mode, data, count, stride) {
    _glEnableClientState(0x8074); // GL_VERTEX_ARRAY
    _glEnableClientState(0x8075); // GL_NORMAL_ARRAY
    _glEnableClientState(0x8076); // GL_COLOR_ARRAY
    _glVertexPointer(3, 0x1406, stride, data);
    _glNormalPointer(0x1406, stride, data + 12);
    _glColorPointer(4, 0x1401, stride, data + 24);
    _glDrawArrays(mode, 0, count);
    _glDisableClientState(0x8074);
    _glDisableClientState(0x8075);
    _glDisableClientState(0x8076);
  },

  webEmuMaterial__deps: ['$GLEmulation'],
  webEmuMaterial: function(ambient, diffuse, specular, emission, shininess) {
    GLEmulation.materialAmbient.set(HEAPF32.subarray(ambient >> 2, (ambient >> 2) + 4));
    GLEmulation.materialDiffuse.set(HEAPF32.subarray(diffuse >> 2, (diffuse >> 2) + 4));
    GLEmulation.materialSpecular.set(HEAPF32.subarray(specular >> 2, (specular >> 2) + 4));
    GLEmulation.materialEmission.set(HEAPF32.subarray(emission >> 2, (emission >> 2) + 4));
    GLEmulation.materialShininess[0] = shininess;
  },

  webEmuLightfv__deps: ['glLightfv'],
  webEmuLightfv: function(light, pname, params) {
    _glLightfv(light, pname, params);
  },

  webEmuEnable__deps: ['glEnable', 'glDisable'],
  webEmuEnable: function(cap, on) {
    if (on) _glEnable(cap);
    else _glDisable(cap);
  },
});
