#!/usr/bin/env bash
# The manual keeps up with the program: every command `trv --help` lists has an entry in
# trv(1), and man renders the page without a warning.
# Usage: check_manual.sh TRV_EXE MANUAL_PAGE
set -euo pipefail
trv=$1 page=$2
commands=$("$trv" --help | sed -n 's/^usage: trv \([a-z][a-z-]*\).*/\1/p')
[ -n "$commands" ] || { echo "trv --help lists no command"; exit 1; }
status=0
for command in $commands; do
  grep -Eq "^\.BI? \"?$command( |\"|$)" "$page" || { echo "$page: no entry for '$command'"; status=1; }
done
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings"; status=1; }
exit $status
