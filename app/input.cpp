// Keyboard, mouse and menu handlers.
#include "app.h"

double Omo = -1.0;

void Keyboard(unsigned char, int, int) {}
void parsekey_special(int, int, int) {}
void mouse(int, int, int, int) {}
void motion(int, int) {}
void setMain(int) {}
void M_menu_select(int) {}
