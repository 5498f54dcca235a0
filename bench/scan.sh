#!/usr/bin/env bash
# Scan rate of `trv scan` against find on the same tree, warm cache, several runs each.
# Usage: bench/scan.sh [TREE] [FILES] [RUNS]   (builds a release trv first)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-/tmp/tarvolo-bench-tree}
files=${2:-400000}
runs=${3:-5}

cmake -S "$here" -B "$here/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLO_TESTS=OFF >/dev/null
cmake --build "$here/build/release" -j"$(nproc)" --target trv >/dev/null
trv="$here/build/release/src/trv"

[ -d "$tree" ] || python3 "$here/bench/maketree.py" "$tree" "$files"
count=$(find "$tree" -xdev -not -type d | wc -l)
echo "tree: $tree, $count files"
# Warm the cache.
find "$tree" -xdev -printf '%s %T@ %A@ %p\n' >/dev/null
"$trv" scan "$tree" >/dev/null

best() { sort -n | head -1; }
time_of() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); echo "$e - $s" | bc -l; }

find_times=(); trv_times=()
for _ in $(seq "$runs"); do
  find_times+=("$(time_of find "$tree" -xdev -printf '%s %T@ %A@ %p\n')")
  trv_times+=("$(time_of "$trv" scan "$tree")")
done
tf=$(printf '%s\n' "${find_times[@]}" | best)
tt=$(printf '%s\n' "${trv_times[@]}" | best)
printf 'find: best %.3f s, %.0f files/s\n' "$tf" "$(echo "$count / $tf" | bc -l)"
printf 'trv:  best %.3f s, %.0f files/s\n' "$tt" "$(echo "$count / $tt" | bc -l)"
printf 'trv rate / find rate: %.2f\n' "$(echo "$tf / $tt" | bc -l)"
