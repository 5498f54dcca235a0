"""What the side-by-side benchmark scripts share: running a program for its time, peak
memory and output, and dropping the page cache for a cold run (root only)."""
import os
import subprocess
import time


def run(cmd):
    """Wall seconds, peak resident MB and the standard output of a run of cmd."""
    start = time.perf_counter()
    p = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out = p.stdout.read()
    _, _, usage = os.wait4(p.pid, 0)
    return time.perf_counter() - start, usage.ru_maxrss / 1024, out


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")
