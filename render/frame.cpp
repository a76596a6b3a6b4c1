// The display callback: one whole frame, then at once a request for the next.
#include "render.h"

#include <GL/glut.h>

#include "sim.h"

using namespace sim;

void DrawGLScene() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    drawjau(Xp, Yp, Zp);
    aide(X, Y, Z, Xp, Yp, Zp);
    // Judged after the overlay is drawn, so a new outcome shows from the next frame on.
    collision(X, Y, Z, Xp, Yp, Zp);
    glutSwapBuffers();
    glutPostRedisplay();
    glFlush();
}
