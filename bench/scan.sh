#!/usr/bin/env bash
# The scan bench: find, the floor walker (one and two threads) and `trv scan`, interleaved,
# warm cache, and cold too when run as root. Builds a release trv and floor walker first.
# Usage: bench/scan.sh [TREE] [FILES] [ROUNDS]   (needs python3 and GNU time)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-/tmp/tarvolo-bench-tree}
files=${2:-400000}
rounds=${3:-7}

cmake -S "$here" -B "$here/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLO_TESTS=OFF >/dev/null
cmake --build "$here/build/release" -j"$(nproc)" --target trv floor_walk >/dev/null
bin="$here/build/release"

[ -d "$tree" ] || python3 "$here/bench/maketree.py" "$tree" "$files"
python3 "$here/bench/scanbench.py" --trv "$bin/src/trv" --floor "$bin/bench/floor_walk" --rounds "$rounds" "$tree"
if [ "$(id -u)" = 0 ] && [ -w /proc/sys/vm/drop_caches ]; then
  python3 "$here/bench/scanbench.py" --trv "$bin/src/trv" --floor "$bin/bench/floor_walk" --rounds "$rounds" --cold "$tree"
fi
