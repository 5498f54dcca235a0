#!/usr/bin/env bash
# Renders the icon's PNG sizes from its SVG. Run after changing the SVG and commit the PNGs:
# the build does not need an SVG renderer. Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" org.tarvolo.Tarvolo.svg -o "org.tarvolo.Tarvolo-$size.png"
done
