// app — the shell: start-up banner, GLUT window and callbacks, idle pacing, keyboard, mouse and menus.
//
// State owned here: the idle counter `it` and the help openers still running. The saved orbital rate
// `Omo` is sim's, kept with the record of the run.
// The handlers only change state (the simulation's in sim/, the view state and help flag in
// render/); they draw nothing. Everything runs on the one GUI thread inside GLUT callbacks.
#pragma once

extern int it; // idle calls counted while running; kept below INT_MAX, cadence preserved

// ---- Start-up and pacing (startup.cpp) ----
// The right button's menus, in the order of their entries: the scenario submenu's labels (its values
// are their places), and the main menu's, whose value -1 is the entry that opens the submenu.
struct MenuEntry {
    const char* label;
    int value;
};
extern const char* const kScenarioMenu[6];
extern const MenuEntry kMainMenu[9];
void init(int* argc, char** argv);     // diagnostic line, banner, default scenario
void GlutLoop(int* argc, char** argv); // GLUT, first reset, window, callbacks, menus; never returns
void idleFunc(); // reaps finished openers; one integrator call every `slow` running idle calls

// ---- Actions shared by keys and menus (actions.cpp) ----
void resetView();                          // key v and the menu's view reset
void toggleLook();                         // key l and the menu's chaser/landscape entry
void toggleHelp();                         // key h and the menu's help entry
extern void (*openHelp)(const char* path); // how toggleHelp opens the page; openInBrowser by default

// ---- The help page's opener, the platform's (opener.cpp; the browser's in web/) ----
void openInBrowser(const char* path); // opens the page beside the program; never waits, never fails
void reapOpeners();                   // collects the openers that have ended; never waits

// ---- Keyboard (keyboard.cpp) ----
void Keyboard(unsigned char key, int x, int y);
void parsekey_special(int key, int x, int y);

// ---- Mouse and menus (menu.cpp) ----
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
void mouseAt(int x, int y);    // what mouse does, without the redisplay
void dragTo(int x, int y);     // what motion does, without the redisplay
void setMain(int value);       // main menu
void M_menu_select(int value); // scenario submenu
