#!/usr/bin/env python3
"""Side-by-side scan bench: find, the floor walker on one and two threads, and `trv scan`,
run interleaved (the order rotates each round) so that drift in the machine hits all alike.
Prints, per tool, the median time, its time relative to trv's in the same round (median and
range over rounds), the rate relative to find's, and the peak resident memory.
Usage: scanbench.py --trv TRV --floor FLOOR_WALK [--baseline TRV] [--cold] [--rounds N] TREE"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time


def drop_caches():
    os.sync()
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def run(cmd):
    """Wall time in seconds and peak resident kilobytes of one run, output discarded."""
    # A child forked from Python inherits Python's peak in its own; time's is small.
    with open(os.devnull, "wb") as null, tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        code = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", peak.name] + cmd, stdout=null)
        elapsed = time.perf_counter() - start
        if code != 0:
            raise SystemExit(f"failed: {' '.join(cmd)}")
        return elapsed, int(peak.read().split()[-1])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--trv", required=True)
    ap.add_argument("--floor", required=True)
    ap.add_argument("--cold", action="store_true", help="drop the page cache before every run")
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--baseline", help="another trv to compare, e.g. a build of an earlier commit")
    ap.add_argument("tree")
    a = ap.parse_args()

    tools = {
        "find": ["find", a.tree, "-xdev", "-printf", "%s %T@ %A@ %p\n"],
        "floor 1 thread": [a.floor, "-j", "1", a.tree],
        "floor 2 threads": [a.floor, "-j", "2", a.tree],
        "trv scan": [a.trv, "scan", a.tree],
    }
    if a.baseline:
        tools["trv baseline"] = [a.baseline, "scan", a.tree]
    names = list(tools)
    if a.cold:
        drop_caches()  # fails early when not root
    else:
        for cmd in tools.values():
            run(cmd)  # warm the cache and the binaries
    times = {n: [] for n in names}
    rss = {n: [] for n in names}
    for r in range(a.rounds):
        order = names[r % len(names):] + names[:r % len(names)]
        for n in order:
            if a.cold:
                drop_caches()
            t, kb = run(tools[n])
            times[n].append(t)
            rss[n].append(kb)

    files = int(subprocess.run(tools["floor 1 thread"], capture_output=True, text=True).stdout.split()[0])
    print(f"tree {a.tree}: {files} files, {'cold' if a.cold else 'warm'} cache, {a.rounds} interleaved rounds")
    print(f"{'tool':<16} {'median s':>9} {'time/trv (min-max)':>22} {'rate/find':>10} {'peak RSS MB':>12}")
    for n in names:
        ratios = [t / u for t, u in zip(times[n], times["trv scan"])]
        vs_find = [f / t for t, f in zip(times[n], times["find"])]
        print(f"{n:<16} {statistics.median(times[n]):9.3f} "
              f"{statistics.median(ratios):8.2f} ({min(ratios):.2f}-{max(ratios):.2f})    "
              f"{statistics.median(vs_find):10.2f} {statistics.median(rss[n]) / 1024:12.1f}")


if __name__ == "__main__":
    main()
