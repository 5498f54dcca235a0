#!/usr/bin/env bash
# Unpacks a built package into a scratch root and checks it: the dependencies read from the
# programs' libraries are declared, and every file lands where desktops look for it.
# Usage: check-package.sh PACKAGE.deb
set -euo pipefail
deb=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
# The libraries every build links; others (SQLite, printing) follow from what the code uses.
for library in libc6 libqt6core6 libqt6widgets6 qt6-qpa-plugins; do
  [[ $depends == *"$library "* || $depends == *"$library,"* || $depends == *"$library" ]] ||
    { echo "$deb does not depend on $library"; exit 1; }
done
dpkg -x "$deb" "$root"
exec bash "$(dirname "$0")/check-install-root.sh" "$root"
