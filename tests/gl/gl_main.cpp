// Runs the GL tests inside one GLUT window (Xvfb + Mesa under `make test`).
#include <GL/glut.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!testing::GTEST_FLAG(list_tests)) { // discovery at build time needs no display
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
        glutInitWindowSize(800, 800);
        glutCreateWindow("gl_tests");
    }
    return RUN_ALL_TESTS();
}
