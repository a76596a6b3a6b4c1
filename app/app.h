// app — the shell: start-up banner, GLUT window and callbacks, idle pacing, keyboard, mouse and menus.
//
// State owned here: the idle counter `it`, the main menu's id and the saved orbital rate `Omo`.
// The handlers only change state (the simulation's in sim/, the view state and help flag in
// render/); they draw nothing. Everything runs on the one GUI thread inside GLUT callbacks.
#pragma once

extern int it;       // idle calls counted while running; kept below INT_MAX, cadence preserved
extern int mainMenu; // GLUT id of the right-button main menu
extern double Omo;   // orbital rate saved by 'o'; negative when nothing is saved

// ---- Start-up and pacing (startup.cpp) ----
void init(int* argc, char** argv);     // diagnostic line, banner, default scenario
void GlutLoop(int* argc, char** argv); // GLUT, first reset, window, callbacks, menus; never returns
void idleFunc();                       // one integrator call every `slow` running idle calls

// ---- Keyboard and help page (keyboard.cpp) ----
void Keyboard(unsigned char key, int x, int y);
void parsekey_special(int key, int x, int y);
void toggleHelp();                         // key h and the menu's help entry
void openInBrowser(const char* path);      // desktop opener in the background; never waits, never fails
extern void (*openHelp)(const char* path); // how toggleHelp opens the page; openInBrowser by default

// ---- Mouse and menus (menu.cpp) ----
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
void mouseAt(int x, int y);    // what mouse does, without the redisplay
void dragTo(int x, int y);     // what motion does, without the redisplay
void resetView();              // key v and the menu's view reset
void setMain(int value);       // main menu
void M_menu_select(int value); // scenario submenu
