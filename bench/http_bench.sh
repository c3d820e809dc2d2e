#!/bin/bash
# HTTP client benchmark: quavrel-net against curl on the same loopback server in the same
# run. A 256 MiB download into a file (throughput), an answer with 40,000 Set-Cookie lines
# (the cookie store: curl with its cookie engine on), and 10,000 HEAD requests on one
# kept-alive connection (round trips), with the share of the HEAD time that the client's designed
# 1 ms test for a connection closed by the server takes (measured with strace). Prints "ROW|figure|ours|peer|ratio|goal" lines; a ratio of 1 or
# more means quavrel-net is at least as fast.
# Usage: bench/http_bench.sh [BUILD_DIR]   (or QUAVREL_NET=path/to/quavrel-net)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-${BUILD:-$here/../build}}
net=${QUAVREL_NET:-$build/tools/quavrel-net}
heads=${HEADS:-10000}
rounds=${ROUNDS:-3}
[ -x "$net" ] || { echo "http_bench: no quavrel-net at $net" >&2; exit 1; }
command -v curl >/dev/null || { echo "http_bench: curl is missing" >&2; exit 1; }

work=$(mktemp -d)
server_pid=
cleanup() { [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
trap "exit 1" INT TERM HUP

python3 "$here/http_loopback_server.py" > "$work/port" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(head -1 "$work/port")
base="http://127.0.0.1:$port"

# The best of $rounds runs, in seconds.
best() {
    local best_time=
    for _ in $(seq "$rounds"); do
        local start end t
        start=$(date +%s.%N)
        "$@" > /dev/null
        end=$(date +%s.%N)
        t=$(echo "$end - $start" | bc -l)
        if [ -z "$best_time" ] || [ "$(echo "$t < $best_time" | bc -l)" = 1 ]; then best_time=$t; fi
    done
    echo "$best_time"
}

# Each side must get the whole body before it is timed.
[ "$("$net" get "$base/big" | wc -c)" = $((256 << 20)) ] || { echo "http_bench: short body" >&2; exit 1; }

urls=()
for _ in $(seq "$heads"); do urls+=("$base/song.mp3"); done
for _ in $(seq "$heads"); do echo "url = \"$base/song.mp3\""; done > "$work/curl-heads"

# Downloads go to a file, as the program's own downloads do; standard output would make
# quavrel-net hold the whole body first (it writes nothing there unless every body came).
# Its saves are crash-safe (written, flushed to disk, renamed over the old file), so curl's
# file is flushed too (coreutils sync FILE): both sides end with the same bytes on disk.
ours_get=$(best "$net" get -o "$work/ours.bin" "$base/big")
curl_get=$(best sh -c 'curl -s -o "$1" "$2" && sync "$1"' sh "$work/curl.bin" "$base/big")
[ "$(stat -c %s "$work/ours.bin")" = $((256 << 20)) ] || { echo "http_bench: short file" >&2; exit 1; }
# Both keep the cookies in memory only: curl's engine is on with a cookie file that does
# not exist.
ours_cookies=$(best "$net" get "$base/cookies")
curl_cookies=$(best curl -s -b "$work/no-such-cookie-file" "$base/cookies")
ours_head=$(best "$net" head "${urls[@]}")
curl_head=$(best curl -s -o /dev/null -I -K "$work/curl-heads")

mib=256
row() { # figure ours peer ratio goal
    printf 'ROW|%s|%s|%s|%s|%s\n' "$1" "$2" "$3" "$4" "$5"
}
calc() { printf "%.${1}f" "$(echo "$2" | bc -l)"; }
row "download 256 MiB to a file (MiB/s)" "$(calc 1 "$mib / $ours_get")" "$(calc 1 "$mib / $curl_get")" \
    "$(calc 2 "$curl_get / $ours_get")" ">= 0.90"
row "an answer with 40,000 Set-Cookie lines (s)" "$(calc 3 "$ours_cookies")" "$(calc 3 "$curl_cookies")" \
    "$(calc 2 "$curl_cookies / $ours_cookies")" ">= 0.50"
row "$heads keep-alive HEADs (s)" "$(calc 3 "$ours_head")" "$(calc 3 "$curl_head")" \
    "$(calc 2 "$curl_head / $ours_head")" ">= 1.00"

# Before each request on a kept connection the client waits up to 1 ms for bytes or a close
# from the server. strace times those waits on a sample; their mean times the number of
# requests, as a share of the HEAD run, says how much of the HEAD figure they explain.
if command -v strace >/dev/null; then
    sample=500
    strace -f -T -e trace=poll,ppoll -o "$work/strace" "$net" head "${urls[@]:0:$sample}" > /dev/null
    read -r waits wait_ms < <(awk '/, 1\) += 0 \(Timeout\)/ { t = $NF; gsub(/[<>]/, "", t); s += t; n++ }
        END { if (n) printf "%d %.3f\n", n, s / n * 1000; else print "0 0" }' "$work/strace")
    echo "closed-connection tests: $waits timed-out 1 ms waits in $sample HEADs, mean $wait_ms ms"
    if [ "$waits" -gt 0 ]; then
        row "keep-alive HEAD: 1 ms closed-connection test ($waits of $sample requests) (ms each)" "$wait_ms" - - \
            "designed"
        row "share of the $heads HEADs spent in that test (%)" \
            "$(calc 0 "100 * $heads * $wait_ms / 1000 / $ours_head")" - - "explains the HEAD ratio"
    fi
fi
