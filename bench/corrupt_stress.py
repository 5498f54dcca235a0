#!/usr/bin/env python3
"""Opens thousands of damaged catalogue files with `trv dump` (build trv with
-DTARVOLO_SANITIZE=ON) and counts how each ended: refused (exit 2), opened with exactly the
original records, opened with other records, or crashed (a sanitizer report or a signal).

usage: corrupt_stress.py TRV DIR [COUNT] [SEED]
  TRV    the trv program to test
  DIR    a folder to scan for the original catalogue (a few thousand files is plenty)
"""
import os
import random
import shutil
import sqlite3
import subprocess
import sys
import tempfile

SQL_DAMAGE = [
    "DROP TABLE files", "DROP TABLE folders", "DROP TABLE fractions", "DROP TABLE fields",
    "DROP TABLE catalogue", "DROP VIEW records",
    "DELETE FROM files WHERE rowid = (SELECT max(rowid) FROM files)",
    "DELETE FROM folders WHERE id = 1", "DELETE FROM fractions", "DELETE FROM catalogue",
    "UPDATE catalogue SET records = records + 1", "UPDATE catalogue SET records = -1",
    "UPDATE catalogue SET checksum = checksum + 1", "UPDATE catalogue SET records = 9223372036854775807",
    "UPDATE files SET size = size + 1 WHERE rowid = 1", "UPDATE files SET name = NULL WHERE rowid = 2",
    "UPDATE files SET name = x'ff00fe' WHERE rowid = 2", "UPDATE files SET name_blanks = 1000000000",
    "UPDATE files SET name_blanks = -5", "UPDATE files SET folder = 0", "UPDATE files SET folder = 1e300",
    "UPDATE files SET modified = 999999999999999999", "UPDATE files SET modified = -1",
    "UPDATE files SET datekey = 9223372036854775807", "UPDATE files SET datekey = 1.5",
    "UPDATE files SET extension = zeroblob(100000) WHERE rowid = 1",
    "UPDATE files SET short = printf('%.*c', 10000000, 'x') WHERE rowid = 1",
    "UPDATE fractions SET text = ''", "UPDATE fractions SET second = second + 1",
    "UPDATE folders SET id = id + 1", "UPDATE folders SET path = NULL",
    "UPDATE fields SET name = 'Field10' WHERE position = 9", "UPDATE fields SET type = 3 WHERE position = 6",
    "DELETE FROM fields WHERE position = 0", "INSERT INTO fields VALUES (9, 'Field10', 200, 25, -1)",
    "INSERT INTO files SELECT * FROM files LIMIT 1", "ALTER TABLE files RENAME COLUMN size TO bytes",
    "ALTER TABLE files ADD COLUMN extra", "ALTER TABLE files RENAME TO old_files",
    "DROP TABLE files; CREATE VIEW files AS SELECT * FROM records",
    "CREATE TRIGGER t AFTER INSERT ON files BEGIN SELECT 1; END",
    "PRAGMA application_id = 0", "PRAGMA application_id = 1414681411", "PRAGMA user_version = 2",
    "PRAGMA user_version = 0", "PRAGMA user_version = -1",
    "PRAGMA page_size = 1024; VACUUM", "VACUUM", "PRAGMA journal_mode = WAL",
]


def damage(src, dst, rng):
    shutil.copyfile(src, dst)
    size = os.path.getsize(dst)
    kind = rng.randrange(6)
    if kind == 0:  # flip bytes anywhere
        with open(dst, "r+b") as f:
            for _ in range(rng.randint(1, 16)):
                f.seek(rng.randrange(size))
                b = f.read(1)
                f.seek(-1, 1)
                f.write(bytes([b[0] ^ (1 << rng.randrange(8))]))
    elif kind == 1:  # flip bytes in the header and the first page's b-tree header
        with open(dst, "r+b") as f:
            for _ in range(rng.randint(1, 4)):
                f.seek(rng.randrange(min(size, 120)))
                f.write(bytes([rng.randrange(256)]))
    elif kind == 2:  # truncate
        with open(dst, "r+b") as f:
            f.truncate(rng.randrange(size))
    elif kind == 3:  # overwrite a run with garbage or zeros
        with open(dst, "r+b") as f:
            at = rng.randrange(size)
            f.seek(at)
            n = min(size - at, rng.randint(1, 5000))
            f.write(bytes(n) if rng.random() < 0.5 else os.urandom(n))
    else:  # alter the tables
        con = sqlite3.connect(dst)
        try:
            con.executescript(rng.choice(SQL_DAMAGE))
            con.commit()
        except sqlite3.Error:
            pass
        con.close()


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    trv, folder = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
    rng = random.Random(int(sys.argv[4]) if len(sys.argv) > 4 else 1)
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0:exitcode=99", UBSAN_OPTIONS="exitcode=99")
    work = tempfile.mkdtemp(prefix="trvstress")
    original = os.path.join(work, "original.trv")
    subprocess.run([trv, "save", "-o", original, folder], check=True, env=env)
    reference = subprocess.run([trv, "dump", original], check=True, env=env, capture_output=True).stdout
    counts = {"refused": 0, "opened same": 0, "opened different": 0, "crashed": 0}
    mutated = os.path.join(work, "mutated.trv")
    for i in range(count):
        damage(original, mutated, rng)
        r = subprocess.run([trv, "dump", mutated], env=env, capture_output=True)
        if r.returncode == 2:
            counts["refused"] += 1
        elif r.returncode == 0:
            counts["opened same" if r.stdout == reference else "opened different"] += 1
        else:
            counts["crashed"] += 1
            keep = os.path.join(work, "crash%d.trv" % i)
            shutil.copyfile(mutated, keep)
            print("crash", r.returncode, keep, r.stderr.decode(errors="replace")[:400], file=sys.stderr)
        for suffix in ("-wal", "-shm", "-journal"):
            if os.path.exists(mutated + suffix):
                os.remove(mutated + suffix)
    print("files %d, records %d" % (count, reference.count(b"\n")))
    for k, v in counts.items():
        print("%-17s %d" % (k, v))
    if counts["crashed"] == 0:
        shutil.rmtree(work)
    sys.exit(1 if counts["crashed"] or counts["opened different"] else 0)


if __name__ == "__main__":
    main()
