#!/usr/bin/env python3
"""trv update side by side with trv save of the same tree, alternated each round: of the
tree unchanged, with one file grown in the middle of the walk (its folder unchanged), and with
1% of its folders changed (a file added to each); warm, and cold
(page cache dropped; needs root) with --cold. Prints the medians and the median and range of
save over update (how many times faster the update is). Checks the update's records against
the save's. Usage: updatebench.py [--rounds N] [--cold] BUILD TREE   (maketree.py makes a tree)"""
import argparse
import os
import statistics
import subprocess
import time

from tools import drop_caches


def timed(cmd, cold):
    if cold:
        drop_caches()
    start = time.perf_counter()
    out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    return time.perf_counter() - start, out


def side_by_side(trv, tree, old, work, rounds, cold):
    saves, updates, said = [], [], ""
    for r in range(rounds):
        order = ["save", "update"] if r % 2 == 0 else ["update", "save"]
        for what in order:
            if what == "save":
                saves.append(timed([trv, "save", "-o", f"{work}/fresh.trv", tree], cold)[0])
            else:
                t, said = timed([trv, "update", old, "-o", f"{work}/updated.trv"], cold)
                updates.append(t)
    dumps = [subprocess.run([trv, "dump", f"{work}/{f}.trv"], check=True, capture_output=True).stdout
             for f in ("fresh", "updated")]
    ratio = [s / u for s, u in zip(saves, updates)]
    return (f"save {statistics.median(saves):.2f} s, update {statistics.median(updates):.2f} s, "
            f"save/update {statistics.median(ratio):.2f} ({min(ratio):.2f}-{max(ratio):.2f}); "
            f"same records: {dumps[0] == dumps[1]}; {said.strip()}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--cold", action="store_true")
    ap.add_argument("build")
    ap.add_argument("tree")
    a = ap.parse_args()
    trv, work = os.path.join(a.build, "src/trv"), "/tmp/updatebench"
    os.makedirs(work, exist_ok=True)
    old = f"{work}/old.trv"
    # A folder changed within a second of a walk is read anew: none must be, before or after.
    time.sleep(1.5)
    subprocess.run([trv, "save", "-o", old, a.tree], check=True)
    time.sleep(1.5)
    print("unchanged:", side_by_side(trv, a.tree, old, work, a.rounds, a.cold))
    folders = sorted({d for d, _, _ in os.walk(a.tree)})
    middle = next(os.path.join(d, f) for d in folders[len(folders) // 2:] for f in sorted(os.listdir(d))
                  if os.path.isfile(os.path.join(d, f)))
    was = os.stat(middle)
    with open(middle, "a") as f:
        f.write("x")
    print("one file grown:", side_by_side(trv, a.tree, old, work, a.rounds, a.cold))
    os.truncate(middle, was.st_size)
    os.utime(middle, ns=(was.st_atime_ns, was.st_mtime_ns))
    for d in folders[:: 100]:
        with open(os.path.join(d, "updatebench-added"), "w") as f:
            f.write("x")
    print(f"{len(folders[::100])} of {len(folders)} folders changed:",
          side_by_side(trv, a.tree, old, work, a.rounds, a.cold))
    for d in folders[:: 100]:
        os.remove(os.path.join(d, "updatebench-added"))


if __name__ == "__main__":
    main()
