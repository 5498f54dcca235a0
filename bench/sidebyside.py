#!/usr/bin/env python3
"""Runs two builds of a benchmark that prints "<name>  <number> ms" lines (such as
cataloguefile_bench) alternately, the order swapping each round, and prints per figure the
median of each side and the median and range of the ratio NEW/OLD over the rounds.
Usage: sidebyside.py [--rounds N] OLD NEW [ARGS...]"""
import argparse
import re
import statistics
import subprocess

FIGURE = re.compile(r"^(\w[\w ]*?)\s+([0-9.]+) ms")


def figures(cmd):
    out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    return {m.group(1): float(m.group(2)) for m in map(FIGURE.match, out.splitlines()) if m}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("old")
    ap.add_argument("new")
    ap.add_argument("args", nargs="*")
    a = ap.parse_args()
    runs = {"old": [], "new": []}
    for r in range(a.rounds):
        for side in (("old", "new") if r % 2 == 0 else ("new", "old")):
            runs[side].append(figures([getattr(a, side)] + a.args))
    print(f"{'figure':<12} {'old ms':>9} {'new ms':>9} {'new/old':>8}  range")
    for name in runs["old"][0]:
        old = [f[name] for f in runs["old"]]
        new = [f[name] for f in runs["new"]]
        ratios = [n / o for n, o in zip(new, old)]
        print(f"{name:<12} {statistics.median(old):9.1f} {statistics.median(new):9.1f} "
              f"{statistics.median(ratios):8.2f}  {min(ratios):.2f}-{max(ratios):.2f}")


if __name__ == "__main__":
    main()
