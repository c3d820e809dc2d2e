#!/usr/bin/env bash
# The install and the Debian package of the build folder $1: `cmake --install` puts the
# menu entry, the icons and the AppStream data where a desktop looks for them, each passes
# its validator and names the others consistently; CPack's package holds exactly the
# installed files under /usr and depends on the libraries the programs link.
set -uo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/quavrel-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
entry=$prefix/share/applications/quavrel.desktop
metainfo=$prefix/share/metainfo/quavrel.metainfo.xml
icon_sizes="16 22 24 32 48 64 128 256"

failures=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}" >"$work/out" 2>&1; then
    echo "  ok      $1"
  else
    echo "  failed  $1"; sed 's/^/          /' "$work/out"; failures=$((failures + 1))
  fi
}

# The files an install and the package hold, relative to the prefix.
expected_files() {
  printf '%s\n' bin/quavrel bin/quavrel-net bin/quavrel-catalog lib/quavrel/quavrel-portal.so \
    lib/quavrel/quavrel-media.so lib/systemd/user/quavrel-catalog.service \
    share/applications/quavrel.desktop share/metainfo/quavrel.metainfo.xml share/quavrel/splash.jpg
  for n in 0 1 2 3 4 5 6 7; do echo "share/quavrel/catalog/tone_$n.mp3"; done
  for n in $icon_sizes; do echo "share/icons/hicolor/${n}x${n}/apps/quavrel.png"; done
}
installed_files() { (cd "$prefix" && find . -type f | sed 's|^\./||'); }
packaged_files() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ { sub(/^\.\/usr\//, "", $6); print $6 }'; }
same_files() { diff <(expected_files | sort) <("$@" | sort); }

icons_have_their_folders_size() {
  for n in $icon_sizes; do
    identify -format '%wx%h\n' "$prefix/share/icons/hicolor/${n}x${n}/apps/quavrel.png" | grep -qx "${n}x${n}" ||
      { echo "${n}x${n}/apps/quavrel.png has another size"; return 1; }
  done
}
entry_names_the_installed_program_and_icon() {
  grep -qx 'Exec=quavrel' "$entry" && [ -x "$prefix/bin/quavrel" ] &&
    grep -qx 'Icon=quavrel' "$entry" && [ -f "$prefix/share/icons/hicolor/48x48/apps/quavrel.png" ]
}
metainfo_launches_the_entry_in_both_languages() {
  grep -q '<launchable type="desktop-id">quavrel.desktop</launchable>' "$metainfo" &&
    grep -q '<summary xml:lang="zh_CN">' "$metainfo" && grep -q '<p xml:lang="zh_CN">' "$metainfo" &&
    grep -q '<content_rating type="oars-1.1"' "$metainfo" && grep -q '<category>Audio</category>' "$metainfo"
}

# The unit's command, run as the unit would run it for a user without a music folder: one
# clear message and exit 2, which the unit does not restart.
unit_without_music_folder_stops_once() {
  local unit=$prefix/lib/systemd/user/quavrel-catalog.service home=$work/home
  grep -qx 'RestartPreventExitStatus=2' "$unit" && grep -qx 'Restart=on-failure' "$unit" || return 1
  local command
  command=$(sed -n 's/^ExecStart=//p' "$unit")
  mkdir -p "$home"
  (cd "$home" && env -i HOME="$home" PATH="$prefix/bin:/usr/bin:/bin" $command) 2>"$work/unit.err"
  local rc=$?
  cat "$work/unit.err"
  [ $rc -eq 2 ] && [ "$(wc -l <"$work/unit.err")" -eq 1 ] && grep -q 'has no music folder' "$work/unit.err"
}
# The installed service finds its demo tones without the build tree.
installed_catalogue_serves_the_demo() {
  "$prefix/bin/quavrel-catalog" --port 0 --print-port >"$work/port" 2>"$work/catalog.err" &
  local pid=$!
  for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
  local code
  code=$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$(head -n1 "$work/port")/songs/2.mp3")
  kill "$pid"; wait "$pid"
  cat "$work/catalog.err"
  [ "$code" = 200 ]
}

# ---- cmake --install ----
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { echo "  failed  cmake --install"; cat "$work/install.log"; exit 1; }
check "cmake --install puts exactly the expected files" same_files installed_files
check "the menu entry passes desktop-file-validate" desktop-file-validate "$entry"
check "the AppStream data passes appstreamcli validate --no-net" appstreamcli validate --no-net "$metainfo"
check "each hicolor icon has the size its folder names" icons_have_their_folders_size
check "the menu entry starts the installed program with the installed icon" entry_names_the_installed_program_and_icon
check "the AppStream data launches the menu entry, in Chinese and English" metainfo_launches_the_entry_in_both_languages
check "the catalogue's user unit gives up at once without a music folder" unit_without_music_folder_stops_once
check "the installed catalogue serves the demo from its installed tones" installed_catalogue_serves_the_demo

# ---- the Debian package ----
if cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1; then
  deb=$(ls "$work"/package/quavrel_*.deb)
  depends=$(dpkg-deb -f "$deb" Depends)
  check "the package holds exactly the installed files under /usr" same_files packaged_files "$deb"
  check "dpkg-shlibdeps found the Qt libraries the program links" grep -q 'libqt6widgets6.*libqt6dbus6\|libqt6dbus6.*libqt6widgets6' <<<"$depends"
  check "dpkg-shlibdeps found the libraries of the portal view and the media engine" \
    grep -q 'libqt6webenginewidgets6.*libqt6multimedia6\|libqt6multimedia6.*libqt6webenginewidgets6' <<<"$depends"
  check "dpkg-shlibdeps found the catalogue's HTTP server, tag and index libraries" \
    bash -c 'grep -q libmicrohttpd <<<"$1" && grep -q libtag1v5 <<<"$1" && grep -q libsqlite3 <<<"$1"' _ "$depends"
  check "the package needs the GStreamer plugins that playback loads" grep -q 'gstreamer1.0-plugins-base, gstreamer1.0-plugins-good' <<<"$depends"
else
  echo "  failed  cpack"; cat "$work/cpack.log"; failures=$((failures + 1))
fi

[ "$failures" -eq 0 ]
