// The fixed GL state and the frame. The frame clears, judges the outcome and shows itself.
#include "render.h"

#include <GL/glut.h>

#include "sim.h"

using namespace sim;

int look = 1;
int rot = 1;
float spin_x = -35.0f;
float spin_y = -45.0f;
float sdepth = 35.0f;
float sdepth27 = 50.0f;
int old_x = 0, old_y = 0;
int help = 0;

float pos[4] = {0.0f, 0.0f, 1.0f, 0.0f};
float lKa[4] = {0.2f, 0.2f, 0.2f, 1.0f};
float lKd[4] = {0.2f, 0.2f, 0.2f, 1.0f};
float lKs[4] = {0.2f, 0.2f, 0.2f, 1.0f};

void InitGL() {}
void ReSizeGLScene(int width, int height) { glViewport(0, 0, width, height); }
void lamp() {}
void MateriauP() {}
void MateriauB() {}
void MateriauT() {}
void MateriauT2() {}

void DrawGLScene() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    collision(X, Y, Z, Xp, Yp, Zp);
    glutSwapBuffers();
    glutPostRedisplay();
    glFlush();
}
