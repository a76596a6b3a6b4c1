// The help page in the browser: a new tab on the copy of data/ that sits beside the page.
#include "app.h"

extern "C" void webOpenTab(const char* path); // web.js

void openInBrowser(const char* path) {
    webOpenTab(path);
}

void reapOpeners() {} // a tab belongs to the browser: nothing to collect
