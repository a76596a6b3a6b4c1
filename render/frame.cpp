// The display callback: one whole frame, then at once a request for the next.
#include "render.h"

#include <GL/glu.h>
#include <GL/glut.h>
#include <cmath>

#include "sim.h"

using namespace sim;

void camera(double x, double y, double z) {
    if (look == 1) {
        // Chaser view: from just behind and above the chaser, towards a point below the target.
        gluLookAt(x + 0.75, y + 3.0, z + 1.0, 0.0, 0.0, -1.0, 0.0, 0.0, 1.0);
    } else if (rot == 1) {
        glTranslatef(0.0f, 0.0f, -sdepth);
        glRotatef(spin_y, 1.0f, 0.0f, 0.0f);
        glRotatef(spin_x, 0.0f, 0.0f, 1.0f);
    } else {
        glTranslatef(spin_x / 10.0f, spin_y / 10.0f, -sdepth);
    }
}

void drawtrail(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& z,
               int nx) {
    // The strip starts at sample nx - 1: with fewer samples there is nothing safe to read.
    if (nx < 1 || x.size() < static_cast<size_t>(nx) || y.size() < static_cast<size_t>(nx) ||
        z.size() < static_cast<size_t>(nx))
        return;
    float xo = static_cast<float>(x[nx - 1]);
    float yo = static_cast<float>(y[nx - 1]);
    float zo = static_cast<float>(z[nx - 1]);
    glBegin(GL_LINE_STRIP);
    for (int i = nx - 2; i >= 1; i--) {
        // Exactly at +-0.2 the colour of the segment before carries on.
        if (std::fabs(z[i]) < 0.2)
            glColor3ub(255, 255, 255);
        if (z[i] > 0.2)
            glColor3ub(255, 0, 0);
        if (z[i] < -0.2)
            glColor3ub(0, 0, 255);
        const float xi = static_cast<float>(x[i]), yi = static_cast<float>(y[i]),
                    zi = static_cast<float>(z[i]);
        glVertex3f(xo, yo, zo);
        glVertex3f(xi, yi, zi);
        xo = xi;
        yo = yi;
        zo = zi;
    }
    glEnd();
}

void DrawGLScene() {
    if (oversize) { // nothing is drawn until the window is back within the driver's reach
        collision(X, Y, Z, Xp, Yp, Zp);
        glutPostRedisplay();
        return;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    drawjau(Xp, Yp, Zp); // leaves lighting on and the overlay plane's translation
    aide(X, Y, Z, Xp, Yp, Zp);
    camera(X, Y, Z);
    lamp(); // again, now under the camera: the scene is lit from its own +z and turns with the view
    drawmodel(X, Y, Z);
    drawmodel2(0.0, 0.0, 0.0);
    // Judged after the overlay is drawn, so a new outcome shows from the next frame on.
    collision(X, Y, Z, Xp, Yp, Zp);
    glDisable(GL_LIGHTING);
    drawtrail(x, y, z, para_phy.nx);
    glutSwapBuffers();
    glutPostRedisplay();
    glFlush();
}
