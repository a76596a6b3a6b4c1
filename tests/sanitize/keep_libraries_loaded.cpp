// Linked into the sanitizer build of the program only. LeakSanitizer checks for leaks at the very end
// of the process, after the program's exit handlers, which close the display and with it unload the
// GL driver: the blocks the driver leaks are then left with no module in their stacks that
// tools/lsan.supp could name, and the suppressions miss them. This build keeps every library loaded
// until the process ends instead, by making dlclose do nothing.
extern "C" int dlclose(void*) {
    return 0;
}
