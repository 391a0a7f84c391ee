#!/usr/bin/env bash
# Starts the program on a virtual X server, checks its window's title, client size and icon,
# and takes a screenshot of it.
#   xvfb_window_check.sh PROGRAM SCREENSHOT.png
# Exits 77 (skipped) when the X tools are missing, unless TRESSIMO_XVFB_REQUIRED=1 (./test).
set -euo pipefail

if [[ "${1:-}" != --inside ]]; then
  for tool in xvfb-run xwininfo xprop import identify; do
    if ! command -v "$tool" >/dev/null; then
      echo "$tool is not installed"
      [[ "${TRESSIMO_XVFB_REQUIRED:-0}" == 1 ]] && exit 1
      exit 77
    fi
  done
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$@"
fi

program=$2
screenshot=$3
title="Tressimo v3.0"
scratch=$(mktemp -d)
export HOME="$scratch" XDG_RUNTIME_DIR="$scratch" QT_QPA_PLATFORM=xcb
"$program" >"$scratch/program.log" 2>&1 &
pid=$!
cleanup() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- program output:"
  cat "$scratch/program.log"
  exit 1
}

# The program's top-level window, by its title.
window=
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || fail "the program ended before its window appeared"
  window=$(xwininfo -root -children 2>/dev/null | grep -F "\"$title\": (" | awk '{ print $1; exit }') || true
  if [[ -n "$window" ]] && xwininfo -id "$window" | grep -q "Map State: IsViewable"; then
    break
  fi
  window=
  sleep 0.1
done
[[ -n "$window" ]] || fail "no viewable window titled \"$title\""

wm_name=$(xprop -id "$window" WM_NAME)
net_wm_name=$(xprop -id "$window" _NET_WM_NAME)
[[ "$wm_name" == "WM_NAME(STRING) = \"$title\"" ]] || fail "WM_NAME is $wm_name"
[[ "$net_wm_name" == "_NET_WM_NAME(UTF8_STRING) = \"$title\"" ]] || fail "_NET_WM_NAME is $net_wm_name"
xprop -id "$window" _NET_WM_ICON >"$scratch/icon.txt"
grep -q "Icon (" "$scratch/icon.txt" || fail "the window has no icon of its own"

info=$(xwininfo -id "$window")
width=$(awk '/^  Width:/ { print $2 }' <<<"$info")
height=$(awk '/^  Height:/ { print $2 }' <<<"$info")
[[ "$width" == 599 && "$height" == 498 ]] || fail "client area is ${width}x${height}, not 599x498"

# Let the first paint land, then take the picture.
sleep 1
import -window "$window" "$screenshot"
size=$(identify -format "%w %h" "$screenshot")
[[ "$size" == "599 498" ]] || fail "the screenshot is $size"
colours=$(identify -format "%k" "$screenshot")
((colours > 100)) || fail "the screenshot has only $colours colours: the window was not painted"

echo "window $window: \"$title\", ${width}x${height}, screenshot $screenshot ($colours colours)"
