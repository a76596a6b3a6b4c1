// The simulator's entry point. It takes no options of its own; GLUT may take its own from argv.
#include "app.h"

int main(int argc, char** argv) {
    init(&argc, argv);
    GlutLoop(&argc, argv);
    return 0;
}
