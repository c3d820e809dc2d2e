#!/bin/bash
# Start-up benchmark: the program against a well-known Qt music player (audacious -Q),
# both started the same way under a fresh Xvfb on this machine, each timed from outside by
# bench/startup_watch (from just before the fork until the window appears and is drawn).
# Each timing round keeps the program LINGER seconds after its window is painted, so its
# own start-up marks (QUAVREL_STARTUP_TRACE, app/startup_trace.h) cover the work that
# follows the first paint too; the breakdown prints each mark's median time from the start
# and since the mark before it. Then the memory of each whole process tree (USS and PSS from
# /proc, helper processes included) right after the window is painted and after it has
# settled, ours once with the portal page loaded from the catalogue service and once with
# the portal address refused (the web engine starts, the page does not load).
# Prints "ROW|figure|ours|peer|ratio|goal" lines; ratio = peer / ours.
# Usage: bench/startup_bench.sh [BUILD_DIR]     ROUNDS=5 (plus one warm-up each), SETTLE=5,
#        LINGER=2 by default
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-${BUILD:-$here/../build-release}}
rounds=${ROUNDS:-5}
settle=${SETTLE:-5}
linger=${LINGER:-2}
program=$build/app/quavrel
watch=$build/bench/startup_watch
catalog=${QUAVREL_CATALOG:-$build/tools/catalog/quavrel-catalog}
for f in "$program" "$watch" "$catalog"; do
  [ -x "$f" ] || { echo "startup_bench: missing $f (build with QUAVREL_GUI=ON)" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "startup_bench: Xvfb is missing" >&2; exit 1; }
peer=$(command -v audacious || true)

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own with a plain black root, which startup_watch needs. Xvfb picks a
# free display number itself and prints it once it is ready (others start displays on
# this machine at the same time).
xvfb_pid=
start_display() {
  : > "$work/display"
  Xvfb -displayfd 1 -screen 0 1280x1024x24 -br -nolisten tcp > "$work/display" 2>>"$work/xvfb.log" &
  xvfb_pid=$!
  pids+=($xvfb_pid)
  for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
  [ -s "$work/display" ] || { echo "startup_bench: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
  export DISPLAY=:$(head -1 "$work/display")
}
start_display

# Runs startup_watch; when the display no longer takes connections (seen on this shared
# machine now and then), says so with the server's last words, starts another and runs
# once more.
run_watch() {
  local rc=0
  "$watch" "$@" || rc=$?
  [ "$rc" = 3 ] || return "$rc"
  echo "startup_bench: the display $DISPLAY took no connection; starting another" >&2
  tail -5 "$work/xvfb.log" >&2
  kill "$xvfb_pid" 2>/dev/null || true
  start_display
  "$watch" "$@"
}

"$catalog" --port 0 --print-port > "$work/catalog-port" 2>/dev/null &
pids+=($!)
for _ in $(seq 200); do [ -s "$work/catalog-port" ] && break; sleep 0.05; done
catalog_port=$(head -1 "$work/catalog-port")
[ -n "$catalog_port" ] || { echo "startup_bench: the catalogue did not start" >&2; exit 1; }

export XDG_RUNTIME_DIR=$work/runtime QTWEBENGINE_DISABLE_SANDBOX=1
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

# A null audio sink, as `make run` provides on a machine without a sound card: without a
# sound server both players spend their start probing one audio output after another.
if command -v pulseaudio >/dev/null; then
  export PULSE_RUNTIME_PATH=$work/pulse
  mkdir -p "$PULSE_RUNTIME_PATH"
  pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n \
    --load="module-null-sink sink_name=bench_null" --load="module-native-protocol-unix" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -e "$PULSE_RUNTIME_PATH/native" ] && break; sleep 0.05; done
fi

# A home of the program's own whose registry points every service at `portal`'s catalogue.
make_home() {   # dir portal-server
  mkdir -p "$1/config/quavrel" "$1/data"
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\quavrel\\Config]\r\n"SearchServer"="127.0.0.1:%s"\r\n"MakerServer"="127.0.0.1:%s"\r\n"PortalServer"="%s"\r\n' \
    "$catalog_port" "$catalog_port" "$2" > "$1/config/quavrel/user.reg"
}
make_home "$work/ours" "127.0.0.1:$catalog_port"
make_home "$work/ours-noportal" "127.0.0.1:1"   # port 1: refused at once
mkdir -p "$work/peer/config" "$work/peer/data"

run_ours() {   # home settle trace-file
  XDG_CONFIG_HOME=$1/config XDG_DATA_HOME=$1/data QUAVREL_STARTUP_TRACE=$3 \
    run_watch --main 'Quavrel V3.0' --settle "$2" --log "$work/ours.log" -- "$program"
}
run_peer() {   # settle
  XDG_CONFIG_HOME=$work/peer/config XDG_DATA_HOME=$work/peer/data \
    run_watch --main audacious --settle "$1" --log "$work/peer.log" -- "$peer" -Q
}

# Median of the values of `key` in the given result files; -1 (not seen) is left out.
median() {   # key files...
  local key=$1; shift
  grep -h "^$key=" "$@" | cut -d= -f2 | awk '$1 >= 0' | sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
value() { grep -h "^$1=" "$2" | cut -d= -f2; }

# The program's start-up marks over all rounds, in the order of their median time (ties in
# the order the marks came): name, median ms from the start, median ms since the mark
# before it in the same round.
breakdown() {   # trace files...
  awk -F= '
    function median(list,   v, n, i, j, x) {
      n = split(list, v, " ")
      for (i = 2; i <= n; i++) { x = v[i] + 0; for (j = i - 1; j >= 1 && v[j] + 0 > x; j--) v[j + 1] = v[j]; v[j + 1] = x }
      return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    FNR == 1 { previous = 0 }
    NF == 2 {
      if (!($1 in at)) order[$1] = ++marks
      at[$1] = at[$1] " " $2; since[$1] = since[$1] " " ($2 - previous); previous = $2
    }
    END { for (name in at) printf "%s %.0f %.0f %d\n", name, median(at[name]), median(since[name]), order[name] }
  ' "$@" | sort -k2,2n -k4,4n | cut -d' ' -f1-3
}
# What each mark of app/ stands for.
describe() {
  case $1 in
    main) echo "main() entered: exec, shared libraries, static initialisers" ;;
    application) echo "application object: display connection, platform plugin" ;;
    splash_shown) echo "splash built and shown (picture decoded)" ;;
    splash_painted) echo "splash painted (one pass of waiting messages)" ;;
    window_built) echo "main window built" ;;
    settings) echo "settings read" ;;
    key_list) echo "keyword history read" ;;
    play_list) echo "default play list read" ;;
    portal_requested) echo "portal page requested" ;;
    main_shown) echo "main window shown" ;;
    main_painted) echo "main window painted (in the program, after the paint)" ;;
    portal_view) echo "portal web view created (its module loaded)" ;;
    portal_engine) echo "web engine started" ;;
    media_backend) echo "media back end created" ;;
    portal_loaded) echo "portal page loaded" ;;
    *) echo "$1" ;;
  esac
}

echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
load_start=$(cut -d' ' -f1 /proc/loadavg)
# Timing rounds, ours and the peer taking turns; the first round of each warms the caches.
for i in $(seq 0 "$rounds"); do
  run_ours "$work/ours" "$linger" "$work/trace-$i.txt" > "$work/ours-$i.txt" \
    || { echo "startup_bench: round $i failed:"; cat "$work/ours.log"; exit 1; }
  echo "ours round $i: $(tr '\n' ' ' < "$work/ours-$i.txt")"
  echo "ours round $i marks: $(tr '\n' ' ' < "$work/trace-$i.txt")"
  if [ -n "$peer" ]; then
    run_peer "$linger" > "$work/peer-$i.txt" || { echo "startup_bench: peer round $i failed:"; cat "$work/peer.log"; exit 1; }
    echo "peer round $i: $(tr '\n' ' ' < "$work/peer-$i.txt")"
  fi
  if [ "$i" = 0 ]; then rm -f "$work/ours-0.txt" "$work/peer-0.txt" "$work/trace-0.txt"; fi
done
ours_files=("$work"/ours-[0-9]*.txt)
splash=$(median splash_painted "${ours_files[@]}")
ours_main=$(median main_painted "${ours_files[@]}")
peer_main=-
if [ -n "$peer" ]; then peer_main=$(median main_painted "$work"/peer-[0-9]*.txt); fi

echo
echo "Start-up breakdown, median of $rounds rounds (ms from the start / since the mark before):"
breakdown "$work"/trace-[0-9]*.txt > "$work/breakdown.txt"
while read -r name at since; do
  printf '  %7s %7s  %s\n' "$at" "+$since" "$(describe "$name")"
done < "$work/breakdown.txt"
echo "  (outside: splash painted $splash ms, main window painted $ours_main ms)"
echo

# Memory right after the paint and after $settle seconds.
run_ours "$work/ours" "$settle" "$work/trace-mem.txt" > "$work/mem-ours.txt"
run_ours "$work/ours-noportal" "$settle" "$work/trace-noportal.txt" > "$work/mem-noportal.txt"
if [ -n "$peer" ]; then run_peer "$settle" > "$work/mem-peer.txt"; fi
for f in "$work"/mem-*.txt; do echo "$(basename "$f"): $(tr '\n' ' ' < "$f")"; done
echo "marks of the memory run: $(tr '\n' ' ' < "$work/trace-mem.txt")"
portal_loaded=$(value portal_loaded "$work/trace-mem.txt" || true)
if [ -z "$portal_loaded" ]; then
  echo "startup_bench: the portal page had not loaded when the memory was read" >&2
fi
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
load_end=$(cut -d' ' -f1 /proc/loadavg)

mib() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }
ratio() { awk -v p="$1" -v o="$2" 'BEGIN { if (p == "-" || o == "-" || o <= 0) print "-"; else printf "%.2f", p / o }'; }
ms() { awk -v v="$1" 'BEGIN { if (v == "-") print "-"; else printf "%.0f", v }'; }
# "main / helpers" in MiB from two keys of a memory file.
pair() { echo "$(mib "$(value "$1" "$3")") / $(mib "$(value "$2" "$3")")"; }
tree_dirty() { mib "$(( $(value dirty_main_kib "$1") + $(value dirty_helpers_kib "$1") ))"; }

ours_pss=$(mib "$(value pss_tree_kib "$work/mem-ours.txt")")
ours_uss=$(mib "$(value uss_tree_kib "$work/mem-ours.txt")")
ours_procs=$(value processes "$work/mem-ours.txt")
noportal_uss=$(mib "$(value uss_tree_kib "$work/mem-noportal.txt")")
ours_dirty=$(tree_dirty "$work/mem-ours.txt")
peer_pss=- peer_uss=- peer_dirty=-
if [ -n "$peer" ]; then
  peer_pss=$(mib "$(value pss_tree_kib "$work/mem-peer.txt")")
  peer_uss=$(mib "$(value uss_tree_kib "$work/mem-peer.txt")")
  peer_dirty=$(tree_dirty "$work/mem-peer.txt")
fi

row() { printf 'ROW|%s|%s|%s|%s|%s\n' "$1" "$2" "$3" "$4" "$5"; }
row "start to splash painted (ms)" "$(ms "$splash")" - - "<= 150"
row "start to main window painted (ms)" "$(ms "$ours_main")" "$(ms "$peer_main")" "$(ratio "$peer_main" "$ours_main")" \
    "<= 500 and >= 1.00"
while read -r name at since; do
  row "  step: $(describe "$name") (ms, +step)" "$at (+$since)" - - breakdown
done < "$work/breakdown.txt"
mem=$work/mem-ours.txt
row "USS at main window painted, main / helpers (MiB, $(value paint_processes "$mem") processes)" \
    "$(pair paint_uss_main_kib paint_uss_helpers_kib "$mem")" - - reported
row "USS with portal page loaded, main / helpers (MiB)" "$(pair uss_main_kib uss_helpers_kib "$mem")" - - reported
row "private dirty at main window painted, main / helpers (MiB)" \
    "$(pair paint_dirty_main_kib paint_dirty_helpers_kib "$mem")" - - reported
row "private dirty with portal page loaded, main / helpers (MiB)" "$(pair dirty_main_kib dirty_helpers_kib "$mem")" - - reported
row "USS with portal page, $ours_procs processes (MiB)" "$ours_uss" "$peer_uss" "$(ratio "$peer_uss" "$ours_uss")" reported
row "PSS with portal page, $ours_procs processes (MiB)" "$ours_pss" "$peer_pss" "$(ratio "$peer_pss" "$ours_pss")" reported
row "private dirty with portal page, $ours_procs processes (MiB)" "$ours_dirty" "$peer_dirty" \
    "$(ratio "$peer_dirty" "$ours_dirty")" reported
row "USS with portal refused (MiB)" "$noportal_uss" - - reported
row "load average (1 min) at start / end" "$load_start / $load_end" - - reported
