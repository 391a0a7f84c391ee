#!/usr/bin/python3
"""Compare two stores field for field through pypff, apart from what differs between any two
runs: the random keys, the times of the run (and the run's time in names).

Usage: compare_stores.py ORACLE.py A.pst B.pst
Exit 0 when they agree; 1 with the differing fields on stderr.
"""

import datetime
import json
import re
import subprocess
import sys


def dump(oracle, pst):
    out = subprocess.run(["/usr/bin/python3", oracle, pst], check=True, capture_output=True, text=True).stdout
    return json.loads(out)


def normalised(d):
    keys = [p["value"] for p in d["store"]["properties"] if p["id"] in ("0x0FF9", "0x0E34")]
    run_time = re.search(r"Created - (.*)$", d["store"]["name"]).group(1)
    today = datetime.datetime.now(datetime.timezone.utc)

    def walk(x):
        if isinstance(x, dict):
            if x.get("id") == "0x300B":  # an item's search key, random
                return {**x, "value": "<key>"}
            if x.get("type") == "0x0040" and isinstance(x.get("value"), str):
                when = datetime.datetime.fromisoformat(x["value"].replace("Z", "+00:00"))
                if abs(when - today) < datetime.timedelta(days=1):
                    return {**x, "value": "<run time>"}
            return {k: walk(v) for k, v in x.items() if k != "file"}
        if isinstance(x, list):
            return [walk(v) for v in x]
        if isinstance(x, str):
            for key in keys:
                x = x.replace(key, "<key>")
            return x.replace(run_time, "<T>")
        return x

    return walk(d)


def differences(a, b, where=""):
    if type(a) is not type(b):
        yield f"{where}: {a!r} != {b!r}"
    elif isinstance(a, dict):
        for k in sorted(set(a) | set(b)):
            yield from differences(a.get(k), b.get(k), f"{where}.{k}")
    elif isinstance(a, list):
        if len(a) != len(b):
            yield f"{where}: {len(a)} entries != {len(b)}"
        for i, (x, y) in enumerate(zip(a, b)):
            yield from differences(x, y, f"{where}[{i}]")
    elif a != b:
        yield f"{where}: {a!r} != {b!r}"


def main():
    oracle, first, second = sys.argv[1:4]
    found = list(differences(normalised(dump(oracle, first)), normalised(dump(oracle, second))))
    for line in found[:40]:
        sys.stderr.write(line + "\n")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
