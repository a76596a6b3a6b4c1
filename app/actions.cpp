// The actions that a key and a menu entry share: the view reset, the view toggle and the help page.
#include "app.h"

#include "render.h"

void (*openHelp)(const char* path) = openInBrowser;

void resetView() {
    look = 0;
    rot = 1;
    spin_x = 0.0f;
    spin_y = 0.0f;
    sdepth = sdepth27;
}

void toggleLook() {
    look = look == 0 ? 1 : 0;
}

void toggleHelp() {
    if (help == 1) {
        help = 0;
        return;
    }
    openHelp("data/aide.html");
    help = 1;
}
