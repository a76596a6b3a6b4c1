// web — the platform layer of the browser build: what emscripten's GLUT and GL emulation lack, under
// the names the program already calls (immediate mode as OpenGL 1.x gives it, materials, raster text,
// spheres, menus), and the browser's side of the program's two seams (the help page's opener, the
// model files' bytes). Nothing in app/, render/, sim/ or glm/ knows that it runs in a page.
//
// State owned here: the current vertex attributes and the primitive being built (gl.cpp), the
// shadowed material and light 0 and the raster position (gl.cpp), the glyphs drawn so far (glut.cpp),
// and in web.js the menus and the page's event handlers. Everything runs on the page's one thread, in
// the callbacks that web.js makes from the browser's events and animation frames.
#pragma once

// ---- Raster position (gl.cpp), for the bitmap text of glut.cpp ----
struct WebRaster {
    bool valid = false;                       // inside the view when it was set
    float x = 0.0f, y = 0.0f;                 // window pixels from the lower left
    float z = 0.0f;                           // normalised depth, -1 near to 1 far
    float rgba[4] = {1.0f, 1.0f, 1.0f, 1.0f}; // the colour the raster position took, lit or not
    int viewport[4] = {0, 0, 1, 1};           // the viewport it was set in, for the pixels drawn there
};
extern WebRaster webRaster;

// Draws a bitmap at the (valid) raster position, unlit, in its colour and at its depth: `count` lit pixels
// given as x, y pairs from the position. Matrices, lighting, colour and normal are left as they were.
void webDrawBitmap(const float* cells, int count);
