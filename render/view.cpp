// The view state and the help flag: read by every frame, written only by the input handlers in app/.
#include "render.h"

int look = 1;
int rot = 1;
float spin_x = -35.0f;
float spin_y = -45.0f;
float sdepth = 35.0f;
float sdepth27 = 50.0f;
int old_x = 0, old_y = 0;
int help = 0;
