#!/bin/bash
# Start-up benchmark: the program against a well-known Qt music player (audacious -Q),
# both started the same way under a fresh Xvfb on this machine, each timed from outside by
# bench/startup_watch (from just before the fork until the window appears and is drawn).
# Then the memory of each whole process tree (USS and PSS from /proc, helper processes included)
# after it has settled, ours once with the portal page loaded from the catalogue service
# and once with the portal address refused (the web engine starts, the page does not load).
# Prints "ROW|figure|ours|peer|ratio|goal" lines; ratio = peer / ours.
# Usage: bench/startup_bench.sh [BUILD_DIR]     ROUNDS=5 by default (plus one warm-up each)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-${BUILD:-$here/../build-release}}
rounds=${ROUNDS:-5}
settle=${SETTLE:-5}
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

# A display of our own with a plain black root, which startup_watch needs.
n=120
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
Xvfb :$n -screen 0 1280x1024x24 -br -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:$n
for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.05; done

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

run_ours() {   # home settle
  XDG_CONFIG_HOME=$1/config XDG_DATA_HOME=$1/data \
    "$watch" --main 'Quavrel V3.0' --settle "$2" --log "$work/ours.log" -- "$program"
}
run_peer() {   # settle
  XDG_CONFIG_HOME=$work/peer/config XDG_DATA_HOME=$work/peer/data \
    "$watch" --main audacious --settle "$1" --log "$work/peer.log" -- "$peer" -Q
}

# Median of the values of `key` in the given result files; -1 (not seen) is left out.
median() {   # key files...
  local key=$1; shift
  grep -h "^$key=" "$@" | cut -d= -f2 | awk '$1 >= 0' | sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
value() { grep -h "^$1=" "$2" | cut -d= -f2; }

# Timing rounds, ours and the peer taking turns; the first round of each warms the caches.
for i in $(seq 0 "$rounds"); do
  run_ours "$work/ours" 0 > "$work/ours-$i.txt" || { echo "startup_bench: round $i failed:"; cat "$work/ours.log"; exit 1; }
  echo "ours round $i: $(tr '\n' ' ' < "$work/ours-$i.txt")"
  if [ -n "$peer" ]; then
    run_peer 0 > "$work/peer-$i.txt" || { echo "startup_bench: peer round $i failed:"; cat "$work/peer.log"; exit 1; }
    echo "peer round $i: $(tr '\n' ' ' < "$work/peer-$i.txt")"
  fi
  if [ "$i" = 0 ]; then rm -f "$work/ours-0.txt" "$work/peer-0.txt"; fi
done
ours_files=("$work"/ours-[0-9]*.txt)
splash=$(median splash_painted "${ours_files[@]}")
ours_main=$(median main_painted "${ours_files[@]}")
peer_main=-
if [ -n "$peer" ]; then peer_main=$(median main_painted "$work"/peer-[0-9]*.txt); fi

# Memory after $settle seconds.
run_ours "$work/ours" "$settle" > "$work/mem-ours.txt"
run_ours "$work/ours-noportal" "$settle" > "$work/mem-noportal.txt"
if [ -n "$peer" ]; then run_peer "$settle" > "$work/mem-peer.txt"; fi
for f in "$work"/mem-*.txt; do echo "$(basename "$f"): $(tr '\n' ' ' < "$f")"; done

mib() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }
ratio() { awk -v p="$1" -v o="$2" 'BEGIN { if (p == "-" || o == "-" || o <= 0) print "-"; else printf "%.2f", p / o }'; }
ms() { awk -v v="$1" 'BEGIN { if (v == "-") print "-"; else printf "%.0f", v }'; }

ours_pss=$(mib "$(value pss_tree_kib "$work/mem-ours.txt")")
ours_uss=$(mib "$(value uss_tree_kib "$work/mem-ours.txt")")
ours_main_uss=$(mib "$(value uss_main_kib "$work/mem-ours.txt")")
ours_procs=$(value processes "$work/mem-ours.txt")
noportal_uss=$(mib "$(value uss_tree_kib "$work/mem-noportal.txt")")
peer_pss=- peer_uss=-
if [ -n "$peer" ]; then
  peer_pss=$(mib "$(value pss_tree_kib "$work/mem-peer.txt")")
  peer_uss=$(mib "$(value uss_tree_kib "$work/mem-peer.txt")")
fi

row() { printf 'ROW|%s|%s|%s|%s|%s\n' "$1" "$2" "$3" "$4" "$5"; }
row "start to splash painted (ms)" "$(ms "$splash")" - - "<= 150"
row "start to main window painted (ms)" "$(ms "$ours_main")" "$(ms "$peer_main")" "$(ratio "$peer_main" "$ours_main")" \
    "<= 500 and >= 1.00"
row "USS with portal page, $ours_procs processes (MiB)" "$ours_uss" "$peer_uss" "$(ratio "$peer_uss" "$ours_uss")" reported
row "PSS with portal page, $ours_procs processes (MiB)" "$ours_pss" "$peer_pss" "$(ratio "$peer_pss" "$ours_pss")" reported
row "USS of the main process alone (MiB)" "$ours_main_uss" - - reported
row "USS with portal refused (MiB)" "$noportal_uss" - - reported
