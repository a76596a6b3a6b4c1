// The gauges at the lower left: fuel reserve (red), speed (blue) and the docking speed limit (blue).
#include "render.h"

#include <GL/glut.h>
#include <cmath>

#include "sim.h"

using namespace sim;

namespace {
// One bar in the overlay plane, corners up the left side, across the top and down the right side.
// The normal faces the viewer so the bar's lit colour does not hang on the last normal drawn.
void bar(float left, float right, float bottom, float top) {
    glBegin(GL_POLYGON);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(left, bottom, 0.0f);
    glVertex3f(left, top, 0.0f);
    glVertex3f(right, top, 0.0f);
    glVertex3f(right, bottom, 0.0f);
    glEnd();
}
} // namespace

void drawjau(double xp, double yp, double zp) {
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    lamp();
    const double speed = std::pow(xp * xp + yp * yp + zp * zp, 0.5);
    glTranslatef(0.0f, 0.0f, -10.0f); // the overlay plane; kept for the text and the camera
    glPushMatrix();
    clampReserve();

    // The fuel bar grows 0.05 per unit of reserve (a full 100 is 5 high), the speed bar 1 per unit of
    // speed; the block's 0.12 is the docking speed limit.
    MateriauP();
    bar(-4.15f, -4.0f, -3.0f, static_cast<float>(pc / 20.0 - 3.0));
    MateriauB();
    bar(-4.0f, -3.85f, -3.0f, static_cast<float>(speed - 3.0));
    MateriauB();
    bar(-3.85f, -3.7f, -3.0f, -2.88f);

    glPopMatrix();
}
