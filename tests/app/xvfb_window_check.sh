#!/usr/bin/env bash
# Starts the program on a virtual X server, checks its window's title, client size and icon,
# and takes a screenshot of it.
#   xvfb_window_check.sh PROGRAM SCREENSHOT.png
# Exits 77 (skipped) when the X tools are missing, unless TRESSIMO_XVFB_REQUIRED=1 (./test).
set -euo pipefail

if [[ "${1:-}" != --inside ]]; then
  for tool in xvfb-run xwininfo xprop import identify; do
    command -v "$tool" >/dev/null && continue
    echo "$tool is not installed"
    [[ "${TRESSIMO_XVFB_REQUIRED:-0}" == 1 ]] && exit 1
    exit 77
  done
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$@"
fi

program=$2 screenshot=$3 title="Tressimo v3.0"
scratch=$(mktemp -d)
export HOME="$scratch" XDG_RUNTIME_DIR="$scratch" QT_QPA_PLATFORM=xcb
"$program" >"$scratch/program.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; rm -rf "$scratch"' EXIT
fail() {
  echo "FAIL: $*"; echo "--- program output:"; cat "$scratch/program.log"
  exit 1
}

# The program's top-level window, by its title, once it is viewable.
window=
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || fail "the program ended before its window appeared"
  window=$(xwininfo -root -children 2>/dev/null | grep -F "\"$title\": (" | awk '{ print $1; exit }') || true
  [[ -n "$window" && $(xwininfo -id "$window") == *"Map State: IsViewable"* ]] && break
  window=
  sleep 0.1
done
[[ -n "$window" ]] || fail "no viewable window titled \"$title\""

for name in "WM_NAME(STRING)" "_NET_WM_NAME(UTF8_STRING)"; do
  got=$(xprop -id "$window" "${name%%(*}")
  [[ "$got" == "$name = \"$title\"" ]] || fail "the title is $got"
done
[[ $(xprop -id "$window" _NET_WM_ICON) == *"Icon ("* ]] || fail "the window has no icon of its own"
size=$(xwininfo -id "$window" | awk '/^  Width:/ { w = $2 } /^  Height:/ { h = $2 } END { print w " " h }')
[[ "$size" == "599 498" ]] || fail "client area is $size, not 599 498"

sleep 1 # let the first paint land, then take the picture
import -window "$window" "$screenshot"
size=$(identify -format "%w %h" "$screenshot")
[[ "$size" == "599 498" ]] || fail "the screenshot is $size"
colours=$(identify -format "%k" "$screenshot")
((colours > 100)) || fail "the screenshot has only $colours colours: the window was not painted"
echo "window $window: \"$title\", $size, screenshot $screenshot ($colours colours)"
