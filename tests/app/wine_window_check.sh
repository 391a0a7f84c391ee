#!/usr/bin/env bash
# Starts the Win32 window under wine on a virtual X server, finds it by its title, adds a folder
# of real .contact files, converts them, answers the summary, checks the store with pst-check,
# keeps a screenshot and leaves by Alt+X; then shows the form once more at 144 DPI.
#   wine_window_check.sh TRESSIMO.EXE PST-CHECK.EXE WINE-RUN CONTACTS-FOLDER SCREENSHOT.png
# The display is TRESSIMO_XVFB_DISPLAY, or the first free one from :100. Exits 77 (skipped)
# when a tool is missing, unless TRESSIMO_XVFB_REQUIRED=1.
set -euo pipefail
program=$1 pstcheck=$2 winerun=$3 contacts=$4 screenshot=$5
for tool in wine Xvfb xdotool xwininfo import identify; do
  command -v "$tool" >/dev/null && continue
  echo "$tool is not installed"
  [[ "${TRESSIMO_XVFB_REQUIRED:-0}" == 1 ]] && exit 1
  exit 77
done

display=${TRESSIMO_XVFB_DISPLAY:-}
if [[ -z $display ]]; then
  display=100
  while [[ -e /tmp/.X$display-lock || -e /tmp/.X11-unix/X$display ]]; do display=$((display + 1)); done
fi
scratch=$(mktemp -d)
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb=$!
pid= copies=()
trap 'kill $pid $xvfb 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$scratch"
  for copy in "${copies[@]}"; do WINEPREFIX=$copy wineserver -k 2>/dev/null || true; rm -rf "$copy"; done' EXIT
export DISPLAY=":$display"
# Each run gets a prefix copy (hard links, the registry copied) whose server and desktop start on
# this display and end with the test: the shared server's desktop may have none.
prefix=${WINEPREFIX:-$(cd "$(dirname "$winerun")/.." && pwd)/build-windows/wineprefix}
private_prefix() {
  local copy
  copy=$(mktemp -d "$prefix.window.XXXXXX")
  copies+=("$copy")
  cp -al "$prefix/." "$copy/"
  for reg in "$copy"/*.reg; do cp --remove-destination "$prefix/$(basename "$reg")" "$reg"; done
  export WINEPREFIX=$copy
}
private_prefix
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
fail() {
  echo "FAIL: $*" >&2; cat "$scratch/program.log" >&2
  exit 1
}

# Non-ASCII names on the way in and out, as Windows users have them.
mkdir -p "$scratch/Kontakte Zoë" "$scratch/出力"
cp "$contacts"/*.contact "$scratch/Kontakte Zoë/"
count=$(ls "$scratch/Kontakte Zoë" | wc -l)
winpath() { echo "Z:${1//\//\\}"; }
# The folder questions (Add folder, then Convert's output folder) are answered by the script.
TRESSIMO_TEST_FOLDERS="$(winpath "$scratch/Kontakte Zoë")|$(winpath "$scratch/出力")" \
  "$winerun" "$program" >"$scratch/program.log" 2>&1 &
pid=$!

# A window by its exact title, once it is viewable.
find_window() {
  local found
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || fail "the program ended"
    found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n1) || true
    [[ -n $found ]] && { echo "$found"; return; }
    sleep 0.1
  done
  fail "no window titled \"$1\""
}
# Clicks the middle of a control of the form (96 DPI: 15 twips a pixel).
click() { # window left top width height
  xdotool mousemove --window "$1" $((($2 + $4 / 2) / 15)) $((($3 + $5 / 2) / 15)) click 1
}
answer() { # the message box titled "Tressimo": its default button
  local box
  box=$(find_window Tressimo)
  xdotool windowfocus --sync "$box" key Return
  for _ in $(seq 50); do xwininfo -id "$box" 2>/dev/null | grep -q IsViewable || return 0; sleep 0.1; done
  fail "the message box stayed"
}

window=$(find_window "Tressimo v3.0")
size=$(xwininfo -id "$window" | awk '/^  Width:/ { w = $2 } /^  Height:/ { h = $2 } END { print w " " h }')
[[ "$size" == "599 498" ]] || fail "client area is $size, not 599 498"
click "$window" 2640 1560 3495 375 # CmdAddFolder
answer                             # "N Email Messages Found."
click "$window" 3240 6240 2415 435 # CmdExtractDBX
answer                             # the summary
sleep 1
mkdir -p "$(dirname "$screenshot")"
import -window root "$screenshot"
pst=$(ls "$scratch/出力"/WindowsContacts*.pst 2>/dev/null | head -n1)
[[ -n $pst ]] || fail "no store was written"
# Checked under a plain name: the command line's own handling of names is tested with it.
cp "$pst" "$scratch/written.pst"
"$winerun" "$pstcheck" "$(winpath "$scratch/written.pst")" || fail "pst-check found faults in $pst"
colours=$(identify -format "%k" "$screenshot")
((colours > 100)) || fail "the screenshot has only $colours colours"
# Alt+X asks the exit question; Yes ends the program.
xdotool windowfocus --sync "$window" key alt+x
answer
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after Exit"

# Again at 144 DPI, in another copy of the prefix: the form scales with the window's DPI.
private_prefix
"$winerun" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
"$winerun" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
  /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
"$winerun" "$program" >"$scratch/program.log" 2>&1 &
pid=$!
window=$(find_window "Tressimo v3.0")
size=$(xwininfo -id "$window" | awk '/^  Width:/ { w = $2 } /^  Height:/ { h = $2 } END { print w " " h }')
[[ "$size" == "898 747" ]] || fail "at 144 DPI the client area is $size, not 898 747"
sleep 1 # the first paint
import -window "$window" "${screenshot%.png}-144dpi.png"
xdotool windowfocus --sync "$window" key alt+x
answer
echo "window $window: $size, $count contacts in $(basename "$pst"), screenshot $screenshot"
