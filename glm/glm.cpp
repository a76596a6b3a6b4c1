// The model library. Sections are filled in as the library grows.
#include "glm.h"
