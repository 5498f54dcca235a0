#!/usr/bin/env python3
"""Display of a tree in the main window against `trv scan` of the same tree to /dev/null, run
interleaved (the order alternates each round) so that drift in the machine hits both alike.
Prints the median press-to-grid time of the Display, trv's median wall time, the Display's
time relative to trv's in the same round (median and range) and the longest event-loop block.
Usage: displaybench.py --display DISPLAY_BENCH --trv TRV [--rounds N] TREE"""
import argparse
import os
import re
import statistics
import subprocess
import time


def display(bench, tree):
    """Press-to-grid milliseconds and the longest event-loop block of one Display."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    out = subprocess.run([bench, tree], env=env, capture_output=True, text=True, check=True).stdout
    shown = int(re.search(r"press to grid shown: (\d+) ms", out).group(1))
    block = int(re.search(r"longest block from press to grid shown: (\d+) ms", out).group(1))
    return shown / 1000, block


def scan(trv, tree):
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        subprocess.run([trv, "scan", tree], stdout=null, check=True)
        return time.perf_counter() - start


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--display", required=True)
    ap.add_argument("--trv", required=True)
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("tree")
    a = ap.parse_args()

    display(a.display, a.tree)  # warm the cache and the binaries
    scan(a.trv, a.tree)
    shown, blocks, scans = [], [], []
    for r in range(a.rounds):
        if r % 2:
            scans.append(scan(a.trv, a.tree))
        t, b = display(a.display, a.tree)
        shown.append(t)
        blocks.append(b)
        if not r % 2:
            scans.append(scan(a.trv, a.tree))

    ratios = [d / s for d, s in zip(shown, scans)]
    print(f"tree {a.tree}: warm cache, {a.rounds} interleaved rounds")
    print(f"Display, press to grid shown: median {statistics.median(shown):.3f} s")
    print(f"trv scan to /dev/null:        median {statistics.median(scans):.3f} s")
    print(f"Display / trv scan: median {statistics.median(ratios):.2f} "
          f"({min(ratios):.2f}-{max(ratios):.2f}), goal <= 1.2")
    print(f"event loop, longest block: {max(blocks)} ms (median {statistics.median(blocks)} ms), goal <= 50")


if __name__ == "__main__":
    main()
