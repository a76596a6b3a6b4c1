// The mouse drag that turns or slides the landscape view, and the two right-button menus.
#include "app.h"

#include <GL/glut.h>
#include <cstdio>
#include <cstdlib>

#include "render.h"
#include "sim.h"

using namespace sim;

namespace {
// Scenario files in the order of the submenu's values.
const char* const kScenarios[] = {"data/fo.in",  "data/fo1.in", "data/fo2.in",
                                  "data/fo3.in", "data/fo4.in", "data/fo5.in"};
} // namespace

// ---- Mouse ----

void mouseAt(int x, int y) {
    old_x = x;
    old_y = y;
}

void dragTo(int x, int y) {
    // Differences taken in 64 bits: no pair of positions can overflow them.
    spin_x += static_cast<float>(static_cast<long long>(x) - old_x);
    spin_y += static_cast<float>(static_cast<long long>(y) - old_y);
    old_x = x;
    old_y = y;
}

void mouse(int /*button*/, int /*state*/, int x, int y) {
    mouseAt(x, y);
    glutPostRedisplay();
}

void motion(int x, int y) {
    dragTo(x, y);
    glutPostRedisplay();
}

// ---- Menus ----

void setMain(int value) {
    switch (value) {
    case 0: // complete reset: the prepared landscape view, time 0, the default scenario
        spin_x = -35.0f;
        spin_y = -45.0f;
        rot = 1;
        look = 0;
        sdepth = 35.0f;
        t = 0.0;
        nomfichier = kScenarios[0];
        raz();
        break;
    case 1: // unlike the key r, also leaves the chaser view
        rot = 1;
        look = 0;
        break;
    case 2: // unlike the key t, also leaves the chaser view and tilts the plane into sight
        rot = 0;
        look = 0;
        spin_y = 45.0f;
        spin_x = 0.0f;
        break;
    case 3: // unlike the key k, keeps a rate saved by the key o
        raz();
        break;
    case 4:
        resetView();
        break;
    case 5:
        toggleLook();
        break;
    case 6:
        toggleHelp();
        break;
    case 7: // unlike Esc and Q, leaves without a word
        std::exit(0);
    default:
        break;
    }
}

void M_menu_select(int value) {
    if (value < 0 || value > 5)
        return;
    std::printf("%d\n", value);
    nomfichier = kScenarios[value];
    raz();
}
