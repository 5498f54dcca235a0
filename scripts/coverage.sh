#!/usr/bin/env bash
# Line coverage of src/ by the test suite (gcov, summarised by gcovr). Not part of `make test`.
# Usage: scripts/coverage.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/coverage}
command -v gcovr >/dev/null || { [ "$(id -u)" -eq 0 ] && apt-get install -y -qq gcovr >/dev/null; }
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTARVOLO_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
find "$build" -name '*.gcda' -delete
(cd "$build" && ctest --output-on-failure >/dev/null)
gcovr --gcov-ignore-parse-errors --root . --filter src/ --exclude 'src/gui/app/main.cpp' --exclude '.*_autogen/.*' "$build" | tail -n 3
