#!/usr/bin/env python3
"""trv dups --by content side by side with jdupes and rdfind (Debian's packages: apt-get
install jdupes rdfind) on the same tree, warm and cold (page cache dropped; needs root),
alternated each round, and the groups of each checked against jdupes's. The tree is made
with planted duplicates (copies, files of equal size differing in a middle or a last byte,
empty files) unless one is given. Prints median times, peak memory, and trv over the faster
of the others (median and range); then a second trv run that reuses its kept digests.
Usage: dupsbench.py [--rounds N] [--files N] [--tree DIR] [--cold] BUILD"""
import argparse
import json
import os
import random
import shutil
import statistics
import subprocess
import time

from tools import drop_caches, run


def make_tree(root, files):
    rng = random.Random(7)
    os.makedirs(root, exist_ok=True)
    made, kept = 0, []
    while made < files:
        folder = os.path.join(root, f"folder {made // 50}")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, f"file {made}.dat")
        kind = rng.random()
        if kind < 0.10 and kept:
            data = rng.choice(kept)  # a copy
        elif kind < 0.15 and kept:
            data = bytearray(rng.choice(kept))  # the same size, one byte apart
            if data:
                data[rng.choice([len(data) // 2, len(data) - 1])] ^= 1
            data = bytes(data)
        elif kind < 0.16:
            data = b""
        else:
            data = rng.randbytes(min(int(rng.lognormvariate(8, 1.5)), 4 << 20))
            if len(kept) < 5000:
                kept.append(data)
        with open(path, "wb") as f:
            f.write(data)
        made += 1




def inode_groups(groups):
    """Groups as sets of (device, inode): hard links are one file, whichever name is shown."""
    out = set()
    for g in groups:
        ids = frozenset((s.st_dev, s.st_ino) for s in map(os.lstat, g))
        if len(ids) > 1:
            out.add(ids)
    return out


def trv_groups(out):
    rows = [json.loads(line) for line in out.decode().splitlines()]
    return [[f["path"] for f in r["files"]] for r in rows if isinstance(r.get("files"), list)]


def jdupes_groups(out):
    return [g.split("\n") for g in out.decode(errors="surrogateescape").strip().split("\n\n") if g]




def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--files", type=int, default=200_000)
    ap.add_argument("--tree")
    ap.add_argument("--work", default="/tmp/dupsbench")
    ap.add_argument("--cold", action="store_true")
    ap.add_argument("build")
    a = ap.parse_args()
    os.makedirs(a.work, exist_ok=True)
    tree = a.tree or os.path.join(a.work, "tree")
    if not a.tree and not os.path.exists(tree):
        make_tree(tree, a.files)
    trv = os.path.join(a.build, "src/trv")
    pristine, catalogue = os.path.join(a.work, "pristine.trv"), os.path.join(a.work, "tree.trv")
    t, _, _ = run([trv, "save", "-o", pristine, tree])
    print(f"trv save of the tree: {t:.2f} s")
    tools = {
        "trv": [trv, "dups", "--by", "content", "--json", catalogue],
        "jdupes": ["jdupes", "-r", "-q", tree],
        "rdfind": ["rdfind", "-outputname", os.path.join(a.work, "rdfind.txt"), tree],
    }
    times, peak, outs = {k: [] for k in tools}, {}, {}
    for r in range(a.rounds):
        for tool in (list(tools) if r % 2 == 0 else list(reversed(tools))):
            shutil.copyfile(pristine, catalogue)  # no digests kept: every file is read
            if a.cold:
                drop_caches()
            t, mb, out = run(tools[tool])
            times[tool].append(t)
            peak[tool], outs[tool] = max(peak.get(tool, 0), mb), out
    same = inode_groups(trv_groups(outs["trv"])) == inode_groups(jdupes_groups(outs["jdupes"]))
    print(f"groups: trv {len(trv_groups(outs['trv']))}, jdupes {len(jdupes_groups(outs['jdupes']))}, "
          f"the same files: {same}")
    faster = [min(j, d) for j, d in zip(times["jdupes"], times["rdfind"])]
    ratio = [t / f for t, f in zip(times["trv"], faster)]
    print(("cold " if a.cold else "warm ") + "".join(
        f"{k} {statistics.median(v):.2f} s {peak[k]:.0f} MB; " for k, v in times.items()) +
        f"trv/faster {statistics.median(ratio):.2f} ({min(ratio):.2f}-{max(ratio):.2f})")
    again = []
    for _ in range(a.rounds):
        if a.cold:
            drop_caches()
        again.append(run(tools["trv"])[0])  # the digests of the run before are kept
    print(f"trv again with kept digests: {statistics.median(again):.2f} s")


if __name__ == "__main__":
    main()
