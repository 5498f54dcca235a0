#!/usr/bin/env bash
# Installs the build into a scratch root, as the package does, and checks where the files land.
# Usage: check_install.sh CMAKE BUILD_DIR SCRATCH_DIR
set -euo pipefail
cmake=$1 build=$2 scratch=$3
rm -rf "$scratch"
DESTDIR=$scratch "$cmake" --install "$build" --prefix /usr >/dev/null
exec bash "$(dirname "$0")/../../scripts/check-install-root.sh" "$scratch"
