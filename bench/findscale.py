#!/usr/bin/env python3
"""trv find over a library of many catalogue files, side by side with plocate over the same
paths and with grep -F over a text file of them: a substring, a shell pattern and a regular
expression, warm and cold (page cache dropped; needs root), alternated each round. Prints the
median time and peak memory of each, and the median and range of trv's time over plocate's.
Needs plocate (Debian's package): apt-get install plocate.
Usage: findscale.py [--rounds N] [--files F] [--records R] [--dir D] BUILD"""
import argparse
import os
import statistics
import subprocess
import time

from tools import drop_caches, run

QUERIES = {
    "substring": (["photo_4242"], ["-b", "-i", "photo_4242"], ["-F", "-i", "photo_4242"]),
    "glob": (["*_4242.jp*g"], ["-b", "-i", "*_4242.jp*g"], ["-i", r"_4242\.jp.*g$"]),
    "regex": (["--regex", r"^invoice_99[0-9]{3}\.pdf$"], ["-b", "-i", "--regex", r"^invoice_99[0-9]{3}\.pdf$"],
              ["-i", "-E", r"/invoice_99[0-9]{3}\.pdf$"]),
}






def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--files", type=int, default=10)
    ap.add_argument("--records", type=int, default=1_000_000)
    ap.add_argument("--dir", default="/tmp/findscale")
    ap.add_argument("build")
    a = ap.parse_args()
    lib = os.path.join(a.dir, "library")
    os.makedirs(lib, exist_ok=True)
    names, db = os.path.join(lib, "names.txt"), os.path.join(a.dir, "plocate.db")
    if not os.path.exists(names):
        print(subprocess.run([os.path.join(a.build, "bench/makelibrary"), lib, str(a.files), str(a.records)],
                             check=True, capture_output=True, text=True).stdout.strip())
    # The paths name no file here: plocate must not check that the user may see them.
    subprocess.run(["/usr/sbin/plocate-build", "-l", "no", "-p", names, db], check=True)
    trv = [os.path.join(a.build, "src/trv"), "find"]
    for f in os.listdir(lib):
        if f.endswith(".index"):
            os.remove(os.path.join(lib, f))
    subprocess.run(["sync"], check=True)
    t, mb, _ = run(trv + ["no such name anywhere", lib])
    print(f"first search, indexing every file: {t:.2f} s, {mb:.0f} MB")
    sizes = lambda ext: sum(os.path.getsize(os.path.join(lib, f)) for f in os.listdir(lib) if f.endswith(ext))
    print(f"catalogue files {sizes('.trv') / 1e6:.0f} MB, indexes {sizes('.index') / 1e6:.0f} MB")
    tools = {"trv": lambda q: trv + q[0] + [lib], "plocate": lambda q: ["plocate", "-d", db] + q[1],
             "grep": lambda q: ["grep"] + q[2] + [names]}
    for cold in (False, True):
        for label, q in QUERIES.items():
            if cold and label != "substring":
                continue
            times = {t: [] for t in tools}
            peak, hits = {}, {}
            for r in range(a.rounds):
                order = list(tools) if r % 2 == 0 else list(reversed(tools))
                for tool in order:
                    if cold:
                        drop_caches()
                    t, mb, out = run(tools[tool](q))
                    n = out.count(b"\n")
                    times[tool].append(t)
                    peak[tool], hits[tool] = max(peak.get(tool, 0), mb), n
            ratio = [x / y for x, y in zip(times["trv"], times["plocate"])]
            print(f"{label + (' cold' if cold else ' warm'):<15}" +
                  "".join(f" {t} {statistics.median(v):.3f} s {peak[t]:.0f} MB {hits[t]} hits;" for t, v in times.items()) +
                  f" trv/plocate {statistics.median(ratio):.2f} ({min(ratio):.2f}-{max(ratio):.2f})")


if __name__ == "__main__":
    main()
