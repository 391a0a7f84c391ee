#!/usr/bin/env bash
# The Windows tool under wine on the real contacts, a folder and a file named beyond ASCII
# (café\Émile Zola.contact, born 1960) and an output folder 日本出力; its store is checked by
# pst-check, readpst and pypff, and must equal the Linux tool's store on the same inputs field
# for field, apart from keys and times.
# Usage: end_to_end.sh WINDOWS_BUILD LINUX_BUILD   (exit 77: skipped, with the reason)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
windows=$1 linux=$2
wine_run=$root/scripts/wine-run
for tool in "$linux/tressimo-convert" "$linux/pst-check"; do
  [[ -x $tool ]] || { echo "skipped: the Linux build's $(basename "$tool") is missing (build $linux first)"; exit 77; }
done
for tool in readpst /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/linux" "$work/日本出力"
cp "$root"/tests/data/real-contacts/*.contact "$work/in/"
cp -r "$here/data/café" "$work/in/"
contacts=$(find "$work/in" -name '*.contact' | wc -l)

"$linux/tressimo-convert" --output-folder "$work/linux" "$work/in" >/dev/null
export WINEPREFIX=${WINEPREFIX:-$windows/wineprefix}
dos() { WINEDEBUG=-all winepath -w "$1" 2>/dev/null; }
"$wine_run" "$windows/tressimo-convert.exe" --output-folder "$(dos "$work/日本出力")" \
  "$(dos "$work/in")" "$(dos "$work/in/café/Émile Zola.contact")" > "$work/said"
linux_pst=$(ls "$work"/linux/*.pst)
windows_pst=$(ls "$work"/日本出力/*.pst)
[[ $(ls "$work"/日本出力 | wc -l) == 1 ]] || { echo "FAIL: not one file in 日本出力"; exit 1; }
grep -q '日本出力' "$work/said" || { echo "FAIL: the printed path lost its letters: $(cat "$work/said")"; exit 1; }

# The file named on the command line is converted twice (once from its folder), on Linux too.
"$linux/tressimo-convert" --output-folder "$work/linux" "$work/in" "$work/in/café/Émile Zola.contact" >/dev/null
rm "$linux_pst"
linux_pst=$(ls "$work"/linux/*.pst)

"$linux/pst-check" "$windows_pst"
"$wine_run" "$windows/pst-check.exe" "$(dos "$windows_pst")"
vcards() { # store folder -> how many contacts readpst finds
  mkdir "$2"
  readpst -q -cv -o "$2" "$1" >/dev/null
  cat $(find "$2" -type f) | grep -c '^BEGIN:VCARD' || true
}
cards=$(vcards "$windows_pst" "$work/vcards")
[[ $cards -ge $contacts && $cards == $(vcards "$linux_pst" "$work/vcards-linux") ]] ||
  { echo "FAIL: readpst finds $cards contacts in the Windows store"; exit 1; }
grep -rq 'Émile' "$work/vcards" || { echo "FAIL: readpst does not show Émile"; exit 1; }

/usr/bin/python3 "$root/tests/pst/oracle/pst_oracle.py" "$windows_pst" > "$work/dump.json"
/usr/bin/python3 - "$work/dump.json" <<'PY'
import json, sys
dump = json.load(open(sys.argv[1]))
found = json.dumps(dump)
assert "1960-03-1" in found, "the 1960 birthday is missing"
assert "1969-12-31" not in found, "a date before 1970 fell back to 1969-12-31"
PY
"$here/compare_stores.py" "$root/tests/pst/oracle/pst_oracle.py" "$linux_pst" "$windows_pst"
echo "the Windows store equals the Linux one: $((contacts + 1)) contacts"
