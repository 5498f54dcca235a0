#!/usr/bin/env python3
"""Makes a realistic test tree for the benchmarks: nested folders of mixed names, sizes and
dates. Usage: maketree.py DIR FILES"""
import os
import random
import sys

WORDS = ["report", "Holiday photo", "invoice", "main", "README", "notes", "IMG", "track",
         "setup", "config", "index", "Résumé", "draft final", "data", "module", "test",
         "backup", "Screenshot", "chapter", "template"]
EXTS = [".txt", ".jpeg", ".jpg", ".c", ".h", ".py", ".mp3", ".pdf", ".docx", ".html",
        ".json", "", ".tar.gz", ".png", ".cpp", ".md"]


def main():
    root, total = sys.argv[1], int(sys.argv[2])
    rng = random.Random(42)
    made = 0
    folders = [root]
    os.makedirs(root, exist_ok=True)
    while made < total:
        parent = rng.choice(folders[-200:]) if len(folders) > 1 else root
        # Real trees are a dozen levels deep at most; an endless chain would overrun PATH_MAX.
        if parent.count(os.sep) - root.count(os.sep) >= 12:
            parent = rng.choice(folders[: min(len(folders), 50)])
        folder = os.path.join(parent, f"{rng.choice(WORDS)} {len(folders)}")
        os.makedirs(folder, exist_ok=True)
        folders.append(folder)
        for _ in range(rng.randint(5, 60)):
            if made >= total:
                break
            name = f"{rng.choice(WORDS)}_{made}{rng.choice(EXTS)}"
            path = os.path.join(folder, name)
            with open(path, "wb") as f:
                if rng.random() < 0.3:
                    f.write(b"x" * rng.randint(1, 4096))
            t = rng.randint(600_000_000, 1_760_000_000)
            os.utime(path, (t, t))
            made += 1
    print(f"{made} files in {len(folders)} folders under {root}")


if __name__ == "__main__":
    main()
