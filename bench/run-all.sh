#!/bin/sh
# Runs the benchmark programs and prints every figure that has a limit (and
# every SUMMARY line) in one table: program, figure, limit.
#
#   sh bench/run-all.sh [-b BINDIR] [program...]
#
# BINDIR is the build's bin/ folder (build/bin unless given); without
# programs, every bench_* program in it runs. The offscreen platform is
# used unless QT_QPA_PLATFORM is set (bench_startup also starts under the
# X server in DISPLAY when one is set). Each program runs with its own
# empty home and XDG folders, so no real settings or recovery copies are
# touched. The full output of each program is kept in the log folder named
# at the end.
set -u
bin=build/bin
if [ "${1:-}" = "-b" ]; then
    bin=$2
    shift 2
fi
if [ ! -d "$bin" ]; then
    echo "no folder $bin: build the benchmarks first, or give -b BINDIR" >&2
    exit 2
fi
bin=$(cd "$bin" && pwd)
if [ $# -gt 0 ]; then
    programs="$*"
else
    programs=$(cd "$bin" && ls bench_* | grep -v '^bench_startfloor$')
fi
logs=$(mktemp -d "${TMPDIR:-/tmp}/bench-run-all.XXXXXX")
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

for p in $programs; do
    p=$(basename "$p")
    if [ ! -x "$bin/$p" ]; then
        echo "no program $bin/$p" >&2
        continue
    fi
    home=$(mktemp -d "$logs/home.XXXXXX")
    echo "running $p ..." >&2
    start=$(date +%s)
    (cd "$bin" && HOME=$home XDG_CONFIG_HOME=$home/config XDG_STATE_HOME=$home/state \
        XDG_CACHE_HOME=$home/cache XDG_DATA_HOME=$home/data "./$p") >"$logs/$p.log" 2>&1
    echo "  $p: exit $?, $(($(date +%s) - start)) s" >&2
    rm -rf "$home"
done

# One row per figure. A report line reads "what   value ms   (limit L)"; a
# SUMMARY line holds its values in its text and, where it has one, its
# limit in "(limit L)" or "(limits L)".
printf '%-16s | %-110s | %s\n' "program" "figure" "limit"
printf '%-16s-+-%-110s-+-%s\n' "----------------" \
    "--------------------------------------------------------------------------------------------------------------" \
    "----------"
for p in $programs; do
    p=$(basename "$p")
    [ -f "$logs/$p.log" ] || continue
    awk -v prog="$p" '
        /^SUMMARY / || /\(limits? [^)]*\)/ {
            line = $0
            sub(/^SUMMARY /, "", line)
            limit = "-"
            if (match(line, /\(limits? [^)]*\)/)) {
                limit = substr(line, RSTART + 1, RLENGTH - 2)
                sub(/^limits? /, "", limit)
                line = substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH)
            }
            gsub(/  +/, " ", line)
            sub(/ +$/, "", line)
            printf "%-16s | %-110s | %s\n", prog, line, limit
        }' "$logs/$p.log"
done
echo "full output: $logs" >&2
