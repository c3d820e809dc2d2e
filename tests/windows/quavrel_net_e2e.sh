#!/usr/bin/env bash
# quavrel-net.exe under Wine, driven from outside as a user's script would drive it:
#   quavrel_net_e2e.sh QUAVREL_NET_EXE CASE
# $QUAVREL_WRITE_LOOP names the test-only writer of the program's files.
# Each case starts its own loopback server (python3's http.server on 127.0.0.1) and checks
# what the program wrote, with the system's own tools where it wrote to the system.
set -uo pipefail
exe=$1
case_name=$2
work=$(mktemp -d /tmp/quavrel-wine-e2e.XXXXXX)
server_pids=()
mounted=
cleanup() {
  [ ${#server_pids[@]} -gt 0 ] && kill "${server_pids[@]}" 2>/dev/null
  [ -n "$mounted" ] && umount "$mounted"
  chmod -R u+w "$work"
  rm -rf "$work"
}
trap cleanup EXIT
# Arguments reach the program as UTF-16 through Wine, converted from this locale.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

fail() { echo "FAIL: $*"; exit 1; }
# Counted by ctest as not run (SKIP_RETURN_CODE), never as passed.
cannot_run() { echo "NOT RUN: $*"; exit 77; }

# Serves $work/site on a free port of ADDRESS (127.0.0.1 when not given); sets $port, and
# $base to the site's URL, once the server says where it listens.
start_server() {
  local address=${1:-127.0.0.1}
  local log=$work/server-${#server_pids[@]}.log
  mkdir -p "$work/site"
  python3 -u -m http.server 0 --bind "$address" --directory "$work/site" >"$log" 2>&1 &
  server_pids+=($!)
  port=
  for _ in $(seq 300); do
    port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$log" | head -n1)
    [ -n "$port" ] && break
    kill -0 $! 2>/dev/null || fail "the loopback server did not start: $(cat "$log")"
    sleep 0.1
  done
  [ -n "$port" ] || fail "the loopback server did not say its port"
  case $address in
  *:*) base="http://[$address]:$port" ;;
  *) base="http://$address:$port" ;;
  esac
}

# A port where nothing listens: the server's, once it is gone.
closed_url() { echo "http://127.0.0.1:1/"; }

net() { wine "$exe" "$@"; }

case $case_name in
get)
  # Every byte, LF and NUL included, comes through standard output unchanged.
  start_server
  printf 'a\nb\r\n\000\377end' >"$work/site/body.bin"
  net get "$base/body.bin" >"$work/out.bin" || fail "get failed"
  cmp "$work/site/body.bin" "$work/out.bin" || fail "the body changed on its way"
  ;;
head)
  start_server
  printf '0123456789' >"$work/site/ten.txt"
  [ "$(net head "$base/ten.txt")" = "200 10" ] || fail "head answered '$(net head "$base/ten.txt")'"
  ;;
save)
  # get -o replaces the file only once every body has arrived; a failure leaves it whole.
  start_server
  printf 'new song' >"$work/site/song.mp3"
  mkdir "$work/out"
  printf 'old song' >"$work/out/song.mp3"
  net get -o "$work/out/song.mp3" "$base/song.mp3" || fail "get -o failed"
  [ "$(cat "$work/out/song.mp3")" = "new song" ] || fail "the file was not replaced"
  printf 'kept' >"$work/out/song.mp3"
  net get -o "$work/out/song.mp3" "$base/song.mp3" "$(closed_url)" 2>"$work/err.txt" && fail "a failed request succeeded"
  grep -q '^EIdSocketError: Socket Error # 10061\\r\\nConnection refused.' "$work/err.txt" ||
    fail "unexpected failure text: $(cat "$work/err.txt")"
  [ "$(cat "$work/out/song.mp3")" = "kept" ] || fail "a failed save touched the file"
  [ "$(ls -A "$work/out")" = "song.mp3" ] || fail "files left beside the target: $(ls -A "$work/out")"
  ;;
chinese-name)
  # "歌曲" in a file name, whatever the system's code page.
  start_server
  printf 'bytes' >"$work/site/a.mp3"
  net get -o "$work/歌曲.mp3" "$base/a.mp3" || fail "get -o to a Chinese name failed"
  [ "$(cat "$work/歌曲.mp3" 2>/dev/null)" = "bytes" ] || fail "no file under the Chinese name: $(ls "$work")"
  printf '#EXTM3U\r\n#EXTINF:0,\xB8\xE8\r\nhttp://127.0.0.1/1.mp3\r\n' >"$work/列表.m3u"
  [ "$(net m3u-read "$work/列表.m3u" | tail -n1)" = "entries: 1" ] || fail "m3u-read of a Chinese name failed"
  ;;
ipv6)
  # The IPv6 loopback address, in brackets as URLs write it.
  start_server ::1
  printf 'over IPv6' >"$work/site/six.txt"
  [ "$(net get "$base/six.txt")" = "over IPv6" ] || fail "get over IPv6 failed"
  [ "$(net head "$base/six.txt")" = "200 9" ] || fail "head over IPv6 answered '$(net head "$base/six.txt")'"
  ;;
names)
  # A name is looked up for both families and its addresses are tried in turn. The case
  # gives the program a hosts file of its own, in a mount namespace of its own: the name
  # has ::1 and 127.0.0.1, and at each server's port only one of the two listens, so
  # whichever address the system puts first, one of the requests needs the other.
  unshare --mount true 2>/dev/null || cannot_run "a mount namespace of its own is not permitted here"
  printf '::1 both.quavrel.test\n127.0.0.1 both.quavrel.test\n' >"$work/hosts"
  mkdir -p "$work/site"
  printf 'found' >"$work/site/name.txt"
  for address in 127.0.0.1 ::1; do
    start_server $address
    out=$(unshare --mount sh -c 'mount --bind "$0" /etc/hosts && exec "$@"' "$work/hosts" \
      wine "$exe" get "http://both.quavrel.test:$port/name.txt" 2>&1) ||
      fail "the name did not reach the server on $address: $out"
    [ "$out" = found ] || fail "the server on $address answered '$out'"
  done
  ;;
in-place)
  # A folder that refuses new files: the file in it, which may be written, is rewritten in
  # place, longer and shorter, and stays the same file.
  start_server
  printf 'a new song, longer than the old one' >"$work/site/long.mp3"
  printf 'short' >"$work/site/short.mp3"
  mkdir "$work/out"
  printf 'the old song' >"$work/out/song.mp3"
  chmod 555 "$work/out"
  file_id=$(stat -c %i "$work/out/song.mp3")
  for body in long short; do
    net get -o "$work/out/song.mp3" "$base/$body.mp3" || fail "get -o of the $body body failed"
    cmp -s "$work/site/$body.mp3" "$work/out/song.mp3" || fail "the $body body reads: $(cat "$work/out/song.mp3")"
  done
  [ "$(stat -c %i "$work/out/song.mp3")" = "$file_id" ] || fail "the file was replaced, not rewritten"
  [ "$(ls -A "$work/out")" = "song.mp3" ] || fail "files left beside the target: $(ls -A "$work/out")"
  net get -o "$work/out/new.mp3" "$base/short.mp3" 2>"$work/err.txt" && fail "a new file appeared in the folder"
  grep -q '^EFCreateError: Cannot create file ".*new.mp3"\. ' "$work/err.txt" || fail "unexpected: $(cat "$work/err.txt")"
  ;;
full-disk)
  # A full disk under the play list, in a folder that takes new files and in one that does
  # not: the save fails with the system's reason, and the old file stays byte for byte.
  mkdir "$work/disk"
  mount -t tmpfs -o size=64k tmpfs "$work/disk" 2>/dev/null || cannot_run "mounting a small tmpfs is not permitted here"
  mounted=$work/disk
  for folder in writable read-only; do
    mkdir "$work/disk/$folder"
    printf '#EXTM3U\r\n#EXTINF:0,old\r\nhttp://127.0.0.1/old.mp3\r\n' >"$work/disk/$folder/default.m3u"
    cp "$work/disk/$folder/default.m3u" "$work/old.m3u"
    [ $folder = read-only ] && chmod 555 "$work/disk/$folder"
    wine "$QUAVREL_WRITE_LOOP" default.m3u "$work/disk/$folder" 1 >/dev/null 2>"$work/err.txt" &&
      fail "a play list larger than the disk was saved in the $folder folder"
    # Wine's wording of the system's text for ERROR_DISK_FULL.
    expected="EWriteError: Cannot write file \"$work/disk/$folder/default.m3u\". Disk full."
    [ "$(tr -d '\r' <"$work/err.txt")" = "$expected" ] || fail "in the $folder folder: $(cat "$work/err.txt")"
    cmp -s "$work/old.m3u" "$work/disk/$folder/default.m3u" || fail "the old play list in the $folder folder changed"
    [ "$(ls -A "$work/disk/$folder")" = default.m3u ] || fail "files left: $(ls -A "$work/disk/$folder")"
  done
  ;;
registry)
  # The program's value in the real registry, read back with Windows' own reg.exe.
  wine "$QUAVREL_WRITE_LOOP" user.reg "$work" 1 >/dev/null || fail "quavrel-write-loop user.reg failed"
  wine reg export 'HKCU\Software\quavrel\Config' "$work/config.reg" /y >/dev/null 2>&1 || fail "reg export failed"
  iconv -f UTF-16 -t UTF-8 "$work/config.reg" | grep -q '^"WriteLoop"="A歌曲\\\\\\"A歌曲\\\\\\"' ||
    fail "the value reads otherwise: $(iconv -f UTF-16 -t UTF-8 "$work/config.reg" | head -c 300)"
  ;;
not-in-build)
  net search-page </dev/null 2>"$work/err.txt"
  [ $? -eq 2 ] || fail "search-page did not fail with 2"
  grep -q 'search-page is not in this build' "$work/err.txt" || fail "no clear message: $(cat "$work/err.txt")"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok: $case_name"
