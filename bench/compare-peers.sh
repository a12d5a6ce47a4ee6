#!/bin/sh
# Opens the same Java text in quillon and in peer editors installed from the
# distribution (kate, geany) under an X server with a window manager, and
# prints, per program and size, the CPU time from exec until the file is
# shown and the process has gone idle, and the resident memory then.
#
#   sh bench/compare-peers.sh [-b BINDIR] [-r ROUNDS] [-d DISPLAY] [-w DIR]
#
# BINDIR is the build's bin/ folder (build/bin unless given); ROUNDS is 3
# unless given; DISPLAY is :71 unless given: when no X server answers there,
# Xvfb and openbox are started on it and stopped at the end. DIR (/tmp/peers
# unless given) receives the inputs, one empty home per run, the logs, the
# screenshots and results.txt.
#
# Inputs: the .java files of java/util, java/lang and javax/swing from the
# JDK's lib/src.zip, with CR LF line ends, repeated up to 10 MB and 200 MB
# and cut at the end of a line (as the benchmark programs build theirs).
#
# Each run starts the program with a fresh HOME and XDG folders (no settings,
# sessions or recovery copies carry over), the caller's locale and no
# session bus, and samples utime+stime of its process (and of children it
# has reaped) from /proc/PID/stat every 100 ms. The process counts as idle
# once its CPU has grown by at most IDLE_TICKS clock ticks (3 unless set)
# over 2 s: a caret blink and a clock in the status bar keep every editor at
# about one tick a second. The figure is the CPU at the start of that quiet
# stretch; VmRSS is read when the stretch ends. A run then checks that a
# window of the process has the file's name in its title (an open that
# failed or waits behind a question is reported and left out of the table),
# lists the titles of all its windows in its log, keeps a screenshot of the
# first round, and ends the program (SIGTERM, then SIGKILL after 5 s, each
# process of its session by id).
#
# Rounds interleave the programs: quillon, kate, geany at 10 MB, then
# quillon, kate at 200 MB, then the next round. A program that is not
# installed is recorded as such and left out.
set -u
bin=build/bin
rounds=3
display=:71
work=/tmp/peers
while [ $# -gt 0 ]; do
    case $1 in
    -b) bin=$2; shift 2 ;;
    -r) rounds=$2; shift 2 ;;
    -d) display=$2; shift 2 ;;
    -w) work=$2; shift 2 ;;
    *) echo "usage: sh bench/compare-peers.sh [-b BINDIR] [-r ROUNDS] [-d DISPLAY] [-w DIR]" >&2; exit 2 ;;
    esac
done
idle_ticks=${IDLE_TICKS:-3}
hz=$(getconf CLK_TCK)

if [ ! -x "$bin/quillon" ]; then
    echo "no program $bin/quillon: build the editor first, or give -b BINDIR" >&2
    exit 2
fi
quillon=$(cd "$bin" && pwd)/quillon
for tool in Xvfb openbox xdotool import unzip setsid; do
    if ! command -v $tool >/dev/null 2>&1; then
        echo "missing $tool (apt-get install xvfb openbox xdotool imagemagick unzip util-linux)" >&2
        exit 2
    fi
done
mkdir -p "$work"
results=$work/results.txt
: >"$results"

# --- inputs ---------------------------------------------------------------
zip=
for z in ${JAVA_HOME:+"$JAVA_HOME/lib/src.zip"} /usr/lib/jvm/*/lib/src.zip; do
    if [ -f "$z" ]; then zip=$z; break; fi
done
if [ -z "$zip" ]; then
    echo "no lib/src.zip of a Java kit under /usr/lib/jvm (or JAVA_HOME)" >&2
    exit 2
fi

make_input() { # bytes file
    if [ -f "$2" ] && [ "$(stat -c %s "$2")" -le "$1" ] &&
        [ "$(stat -c %s "$2")" -gt $(($1 - 100000)) ]; then
        return
    fi
    one=$2.one
    : >"$one"
    for pattern in 'java.base/java/util/*.java' 'java.base/java/lang/*.java' \
        'java.desktop/javax/swing/*.java'; do
        unzip -p "$zip" "$pattern" | LC_ALL=C sed 's/\r$//; s/$/\r/' >>"$one"
        [ "$(stat -c %s "$one")" -ge "$1" ] && break
    done
    copies=$(($1 / $(stat -c %s "$one") + 1))
    # The last, cut line is dropped so the text ends with a whole line.
    for i in $(seq "$copies"); do cat "$one"; done | head -c "$1" | LC_ALL=C sed '$d' >"$2"
    rm -f "$one"
}
make_input 10000000 "$work/j10.java"
make_input 200000000 "$work/j200.java"
echo "inputs from $zip: $(stat -c '%n %s bytes' "$work/j10.java"), $(stat -c '%n %s bytes' "$work/j200.java")"

# --- X server -------------------------------------------------------------
started=
if ! DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    sleep 2
    DISPLAY=$display openbox >"$work/openbox.log" 2>&1 &
    wm=$!
    sleep 1
    started="$wm $xvfb"
fi
stop_all() {
    [ -n "${pid:-}" ] && end_session "$pid"
    for p in $started; do kill "$p" 2>/dev/null; done
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# --- one run --------------------------------------------------------------
now_ms() { echo $(($(date +%s%N) / 1000000)); }

cpu_ticks() { # pid: utime+stime+cutime+cstime, or nothing once it is gone
    sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{ print $12 + $13 + $14 + $15 }'
}

end_session() { # sid: every process of the session, by id
    pids=$(ps -eo pid=,sid= | awk -v s="$1" '$2 == s { print $1 }')
    [ -n "$pids" ] && kill $pids 2>/dev/null
    for i in $(seq 50); do
        pids=$(ps -eo pid=,sid= | awk -v s="$1" '$2 == s { print $1 }')
        [ -z "$pids" ] && return
        sleep 0.1
    done
    kill -9 $pids 2>/dev/null
    sleep 0.5
}

run_one() { # program size-label file round
    prog=$1 label=$2 file=$3 round=$4
    case $prog in
    quillon) cmd=$quillon ;;
    *) cmd=$(command -v "$prog") ;;
    esac
    home=$(mktemp -d "$work/home.$prog.XXXXXX")
    mkdir -p "$home/config" "$home/cache" "$home/data" "$home/state" "$home/runtime"
    chmod 700 "$home/runtime"
    log=$work/$prog-$label-$round.log
    t0=$(now_ms)
    env -u DBUS_SESSION_BUS_ADDRESS -u SESSION_MANAGER HOME="$home" \
        XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
        XDG_DATA_HOME="$home/data" XDG_STATE_HOME="$home/state" \
        XDG_RUNTIME_DIR="$home/runtime" DISPLAY="$display" \
        setsid "$cmd" "$file" >"$log" 2>&1 &
    pid=$!
    base=0 quiet_from=$t0 status=timeout cpu= rss= wall=
    while :; do
        sleep 0.1
        ticks=$(cpu_ticks $pid)
        t=$(now_ms)
        if [ -z "$ticks" ]; then status=exited; break; fi
        if [ $((ticks - base)) -gt "$idle_ticks" ]; then
            base=$ticks quiet_from=$t
        elif [ $((t - quiet_from)) -ge 2000 ]; then
            status=ok
            cpu=$(awk -v b="$base" -v hz="$hz" 'BEGIN { printf "%.2f", b / hz }')
            wall=$(awk -v w=$((quiet_from - t0)) 'BEGIN { printf "%.2f", w / 1000 }')
            rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
            break
        fi
        if [ $((t - t0)) -gt 900000 ]; then break; fi
    done
    titles=$(DISPLAY=$display xdotool search --pid $pid --name . 2>/dev/null |
        while read -r w; do DISPLAY=$display xdotool getwindowname "$w"; done)
    name=$(basename "$file")
    if [ "$status" = ok ] && ! printf '%s\n' "$titles" | grep -qF "$name"; then
        status=no-file-window
    fi
    if [ "$round" = 1 ]; then
        DISPLAY=$display import -window root "$work/shot-$prog-$label.png" 2>/dev/null
    fi
    printf '%s\n' "$titles" | sed 's/^/  window: /' >>"$log"
    end_session $pid
    rm -rf "$home"
    echo "$prog $label $round ${cpu:--} ${wall:--} ${rss:--} $status" >>"$results"
    printf '%-8s %6s round %s: cpu %6s s  settled after %6s s  VmRSS %8s kB  %s  [%s]\n' \
        "$prog" "$label" "$round" "${cpu:--}" "${wall:--}" "${rss:--}" "$status" \
        "$(printf '%s' "$titles" | tr '\n' '|')"
}

# --- rounds ---------------------------------------------------------------
peers10="quillon kate geany"
peers200="quillon kate"
for p in kate geany; do
    if ! command -v $p >/dev/null 2>&1; then
        echo "$p is not installed (apt-get install -y $p): left out"
        peers10=$(echo $peers10 | sed "s/ *$p//")
        peers200=$(echo $peers200 | sed "s/ *$p//")
    fi
done
echo "load before: $(uptime)"
for round in $(seq "$rounds"); do
    for p in $peers10; do run_one $p 10MB "$work/j10.java" $round; done
    for p in $peers200; do run_one $p 200MB "$work/j200.java" $round; done
    echo "load after round $round: $(uptime)"
done

# --- table ----------------------------------------------------------------
size200=$(stat -c %s "$work/j200.java")
awk -v size200="$size200" '
    $7 == "ok" {
        key = $1 " " $2
        n[key]++
        cpu[key, n[key]] = $4
        rss[key, n[key]] = $6
    }
    function sorted(arr, key, count, out,   i, j, v) {
        for (i = 1; i <= count; i++) out[i] = arr[key, i]
        for (i = 2; i <= count; i++) {
            v = out[i]
            for (j = i - 1; j >= 1 && out[j] + 0 > v + 0; j--) out[j + 1] = out[j]
            out[j + 1] = v
        }
    }
    function median(out, count) {
        return count % 2 ? out[(count + 1) / 2] : (out[count / 2] + out[count / 2 + 1]) / 2
    }
    END {
        printf "\n%-8s %6s %5s | %9s %9s | %11s %11s\n", "program", "size", "runs",
            "CPU min s", "CPU med s", "RSS min MB", "RSS med MB"
        split("quillon kate geany", progs, " ")
        split("10MB 200MB", sizes, " ")
        for (s = 1; s <= 2; s++) for (p = 1; p <= 3; p++) {
            key = progs[p] " " sizes[s]
            if (!(key in n)) continue
            sorted(cpu, key, n[key], c)
            sorted(rss, key, n[key], r)
            cmin[key] = c[1]; cmed[key] = median(c, n[key])
            rmin[key] = r[1] * 1.024 / 1000; rmed[key] = median(r, n[key]) * 1.024 / 1000
            printf "%-8s %6s %5d | %9.2f %9.2f | %11.1f %11.1f\n", progs[p], sizes[s],
                n[key], cmin[key], cmed[key], rmin[key], rmed[key]
        }
        printf "\nratios (quillon / peer), min and median:\n"
        for (s = 1; s <= 2; s++) for (p = 2; p <= 3; p++) {
            q = "quillon " sizes[s]; o = progs[p] " " sizes[s]
            if (!(q in n) || !(o in n)) continue
            printf "  %-6s %6s: CPU %.2fx / %.2fx   RSS %.2fx / %.2fx\n", progs[p], sizes[s],
                cmin[q] / cmin[o], cmed[q] / cmed[o], rmin[q] / rmin[o], rmed[q] / rmed[o]
        }
        q = "quillon 200MB"
        if (q in n) {
            limit = (2.5 * size200 + 60e6) / 1e6
            printf "  quillon 200MB RSS median %.1f MB against 2.5x the file (%d bytes) + 60 MB = %.1f MB: %.2fx the limit\n",
                rmed[q], size200, limit, rmed[q] / limit
        }
        printf "(MB here is 10^6 bytes; VmRSS is read in kB of 1024 bytes and converted.)\n"
    }' "$results"
bad=$(awk '$7 != "ok"' "$results")
if [ -n "$bad" ]; then
    echo
    echo "runs left out of the table (program size round cpu wall rss status):"
    echo "$bad"
fi
echo "load at the end: $(uptime)"
echo "logs, screenshots of round 1 and results.txt in $work"
