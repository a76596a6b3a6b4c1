#!/bin/sh
# The replay's figure, as a teacher pays it: one rendezvous-replay process over a class of 1,000
# flight files, each the planner's flight of scenario 5 (rendezvous-plan --vol). Several rounds; the
# median and the fastest and slowest rounds are printed. Run from the repository's root:
#
#   sh bench/replay.sh [BUILD_DIR] [ROUNDS]        (build and 7 by default)
set -eu
build=${1:-build}
rounds=${2:-7}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$build/rendezvous-plan" --vol "$dir/fo5.vol" data/fo5.in >/dev/null 2>&1
i=1
while [ $i -le 1000 ]; do
    cp "$dir/fo5.vol" "$dir/eleve-$i.vol"
    i=$((i + 1))
done
rm "$dir/fo5.vol"
calls=$(awk '$1 == "fin" { print $2 }' "$dir/eleve-1.vol")
r=1
while [ $r -le "$rounds" ]; do
    start=$(date +%s%N)
    "$build/rendezvous-replay" "$dir"/eleve-*.vol >"$dir/out" || { echo "rendezvous-replay failed" >&2; exit 1; }
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
    r=$((r + 1))
done | sort -n >"$dir/times"
[ "$(grep -c ' conforme$' "$dir/out")" -eq 1000 ] || { echo "not every flight conforms" >&2; exit 1; }
echo "rendezvous-replay, 1000 flights of scenario 5 ($calls integrator calls each), $rounds rounds:"
awk '{ t[NR] = $1 } END { printf "median %d ms (fastest %d ms, slowest %d ms)\n", t[int((NR + 1) / 2)], t[1], t[NR] }' \
    "$dir/times"
