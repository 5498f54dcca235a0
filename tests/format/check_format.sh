#!/usr/bin/env bash
# Fails on any C++ file that does not follow the committed .clang-format.
set -euo pipefail
cd "$1"
mapfile -t files < <(find src tests bench -name '*.cpp' -o -name '*.h' | sort)
clang-format --dry-run --Werror "${files[@]}"
echo "${#files[@]} files formatted"
