#!/usr/bin/env bash
# Installs Tressimo silently under wine into a folder of its own, converts the real contacts
# with the installed program, and uninstalls it again: the installer is whole and per user.
# Usage: installer_check.sh SETUP.exe
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
setup=$1
wine_run=$root/scripts/wine-run
export WINEPREFIX=${WINEPREFIX:-$root/build-windows/wineprefix} WINEDEBUG=-all
dos() { winepath -w "$1" 2>/dev/null; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
target=$work/installed
mkdir -p "$work/out" "$work/in"
cp "$root"/tests/data/real-contacts/*.contact "$work/in/"

# /D= must come last and unquoted.
"$wine_run" "$setup" /S "/D=$(dos "$target")"
for file in tressimo-convert.exe pst-check.exe Uninstall.exe manual.html licenses/pugixml.txt; do
  [[ -f $target/$file ]] || { echo "FAIL: $file was not installed"; exit 1; }
done
menu=$(find "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs/Tressimo/*.lnk' | wc -l)
[[ $menu -ge 2 ]] || { echo "FAIL: no Start-menu entries"; exit 1; }

"$wine_run" "$target/tressimo-convert.exe" --output-folder "$(dos "$work/out")" "$(dos "$work/in")"
pst=$(ls "$work"/out/*.pst)
"$wine_run" "$target/pst-check.exe" "$(dos "$pst")"

# _?= runs the uninstaller in place, so it has finished when wine returns.
"$wine_run" "$target/Uninstall.exe" /S "_?=$(dos "$target")"
left=$(find "$target" -type f ! -name Uninstall.exe | wc -l)
[[ $left == 0 ]] || { echo "FAIL: the uninstaller left $left files"; exit 1; }
echo "installed, converted and uninstalled"
