#!/usr/bin/env bash
# trv diff of two catalogues of 1,000,000 records: alike, and wholly different (every record
# added or removed), with the peak memory of each run beside that of trv find --path, which
# opens one catalogue whole. Usage: diffbench.sh BUILD [ROUNDS]   (makes /tmp/diffbench)
set -euo pipefail
build=$1 rounds=${2:-5} dir=/tmp/diffbench
mkdir -p "$dir"
[ -f "$dir/disk-01.trv" ] || "$build/bench/makelibrary" "$dir" 2 1000000 >/dev/null
cp "$dir/disk-00.trv" "$dir/again.trv"
run() { /usr/bin/time -f "%e s %M KB" "$@" >/dev/null 2>>"$dir/times" || true; tail -1 "$dir/times"; }
for r in $(seq "$rounds"); do
  echo "round $r: alike $(run "$build/src/trv" diff "$dir/disk-00.trv" "$dir/again.trv")," \
       "different $(run "$build/src/trv" diff "$dir/disk-00.trv" "$dir/disk-01.trv")," \
       "one open $(run "$build/src/trv" find --path 'no such path' "$dir/disk-00.trv")"
done
