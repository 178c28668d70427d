#!/usr/bin/env bash
# install-test.sh BUILD_DIR files|window: installs the build into a throw-away prefix, then either
# checks what a desktop reads (the entry, the icons, the AppStream file) with the validators the
# distributions use, or starts the installed program on its own display and checks that its window
# carries the class the desktop entry names, so docks group it under the right icon.
# Exits 77 (skipped) when a tool it needs is not installed.
set -euo pipefail
build="$1"
mode="$2"
app_id=com.vorn.todo

need() {
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIPPED: $tool is not installed (scripts/ensure-packages installs it)"
      exit 77
    fi
  done
}

prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
share="$prefix/share"
desktop="$share/applications/$app_id.desktop"
fails=0
fail() {
  echo "FAIL: $*"
  fails=$((fails + 1))
}
entry() { sed -n "0,/^\[Desktop Action/s/^$1=//p" "$desktop"; }

if [ "$mode" = files ]; then
  need desktop-file-validate appstreamcli
  for f in bin/vorn-todo bin/vorn-planner share/applications/$app_id.desktop \
    share/metainfo/$app_id.metainfo.xml share/icons/hicolor/scalable/apps/$app_id.svg; do
    [ -f "$prefix/$f" ] || fail "$f is not installed"
  done
  # Width and height are the big-endian words at bytes 16 to 23 of a PNG (its IHDR chunk).
  for size in 16 32 48 64 128 256; do
    png="$share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    if [ ! -f "$png" ]; then
      fail "no ${size}x${size} icon"
      continue
    fi
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "$w $h" = "$size $size" ] || fail "the ${size}x${size} icon is ${w}x${h}"
  done
  # What the entry points at must exist: the program, the icon by name, the actions' programs.
  [ -x "$prefix/bin/$(entry Exec | cut -d' ' -f1)" ] || fail "Exec=$(entry Exec) is not an installed program"
  [ "$(entry Icon)" = "$app_id" ] || fail "Icon=$(entry Icon) is not $app_id"
  grep -q "^Exec=vorn-todo --new-thing$" "$desktop" || fail "no New Thing action"
  grep -q "<release version=\"$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")\"" \
    "$share/metainfo/$app_id.metainfo.xml" || fail "the AppStream release is not the project's version"
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
  appstreamcli validate --no-net --pedantic "$share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
elif [ "$mode" = window ]; then
  need xvfb-run xdotool
  wm_class="$(entry StartupWMClass)"
  [ -n "$wm_class" ] || fail "the desktop entry names no StartupWMClass"
  home="$prefix/home"
  mkdir -p "$home"
  # libxkbcommon-x11 strndup()s a keymap name that is not NUL-terminated, within bounds; ASan's strict
  # string check takes that for an overflow (as in tests/support/XSession.cpp). No bus: none is needed.
  [ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
  export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/vorn-no-bus
  # xdotool matches WM_CLASS by pattern; the anchors make it the whole instance and class name.
  HOME="$home" QT_QPA_PLATFORM=xcb xvfb-run -a bash -c '
    "$1/bin/vorn-todo" & app=$!
    found=0
    timeout 30 xdotool search --sync --classname "^$2\$" >/dev/null &&
      timeout 5 xdotool search --class "^$2\$" >/dev/null && found=1
    kill -TERM $app; wait $app || true
    [ $found = 1 ]' _ "$prefix" "$wm_class" || fail "no window of class $wm_class appeared"
else
  echo "usage: install-test.sh BUILD_DIR files|window" >&2
  exit 2
fi
[ $fails = 0 ] && echo "PASS" || exit 1
