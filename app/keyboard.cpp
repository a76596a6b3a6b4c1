// The keyboard: thrusters, pace, the orbital-rate switch, camera keys, help, full screen and quit.
#include "app.h"

#include <GL/glut.h>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "render.h"
#include "sim.h"

using namespace sim;

// ---- Keys ----

void Keyboard(unsigned char key, int /*x*/, int /*y*/) {
    switch (key) {
    case 27:
    case 'Q':
        std::printf("kenavo ! \n");
        std::exit(0);
    case 'F':
        glutFullScreen();
        break;
    case 'k':
        Omo = -1.0;
        raz();
        break;
    case 'p':
        sim::pause = sim::pause == 0 ? 1 : 0;
        break;
    case 'h':
        toggleHelp();
        break;
    case 'l':
        toggleLook();
        break;
    case 'r':
        rot = 1;
        break;
    case 't':
        rot = 0;
        spin_x = 0.0f;
        spin_y = 0.0f;
        break;
    case 'v':
        resetView();
        break;
    case '+':
        sdepth += 2.0f;
        break;
    case '-':
        sdepth -= 2.0f;
        break;
    case 's':
        // No upper bound in practice, but the count must not overflow.
        if (slow <= INT_MAX - 2)
            slow += 2;
        break;
    case 'S':
        slow = slow - 2 < 1 ? 1 : slow - 2;
        break;
    case 'o':
        orbitOff();
        break;
    case 'O':
        orbitOn();
        break;
    default:
        break;
    }
}

void parsekey_special(int key, int /*x*/, int /*y*/) {
    switch (key) {
    case GLUT_KEY_LEFT:
        thrust(Left);
        break;
    case GLUT_KEY_UP:
        thrust(Up);
        break;
    case GLUT_KEY_RIGHT:
        thrust(Right);
        break;
    case GLUT_KEY_DOWN:
        thrust(Down);
        break;
    case GLUT_KEY_PAGE_UP:
        thrust(PageUp);
        break;
    case GLUT_KEY_PAGE_DOWN:
        thrust(PageDown);
        break;
    case GLUT_KEY_HOME:
        sdepth -= 2.0f;
        break;
    case GLUT_KEY_END:
        sdepth += 2.0f;
        break;
    default:
        break;
    }
}
