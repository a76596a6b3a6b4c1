#!/bin/sh
# Frame rate of the running simulator under Xvfb: frames drawn over ten seconds, counted from 3 s
# after the first frame (the models are read by then). Counts calls of glutSwapBuffers through a
# small preloaded wrapper; the program itself is unchanged. Optional arguments are keys sent to the
# window first (e.g. `l` for the landscape view, where the planet shows).
#   sh tools/fps.sh [key ...]      from the repository root, after `make build`
set -eu
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat > "$dir/count.c" <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <time.h>
static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}
void glutSwapBuffers(void) {
    static void (*real)(void);
    static double start;
    static long frames;
    static int done;
    if (!real)
        real = (void (*)(void))dlsym(RTLD_NEXT, "glutSwapBuffers");
    real();
    const double t = now();
    if (start == 0.0)
        start = t + 3.0;
    if (t >= start && !done && ++frames && t - start >= 10.0) {
        fprintf(stderr, "%ld frames in %.2f s: %.1f frames per second\n", frames, t - start, frames / (t - start));
        done = 1;
    }
}
C
cc -shared -fPIC -O2 -o "$dir/count.so" "$dir/count.c" -ldl
cat > "$dir/run.sh" <<SH
LD_PRELOAD="$dir/count.so" timeout 15 ./build/rendezvous >/dev/null 2>"$dir/err" &
sleep 1
for k in $*; do
    w=\$(xdotool search --onlyvisible --name Tessavan | head -1)
    xdotool windowfocus --sync "\$w" 2>/dev/null; xdotool key --window "\$w" "\$k"
done
wait || true
grep "frames per second" "$dir/err"
SH
xvfb-run -a -s "-screen 0 1280x1024x24" sh "$dir/run.sh"
