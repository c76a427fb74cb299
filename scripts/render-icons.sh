#!/usr/bin/env bash
# Renders the program's icon desktop/icon.svg into the PNG sizes of the
# hicolor theme (desktop/icons/NxN.png). Run it after changing the SVG and
# commit the pictures; the build itself needs no SVG renderer.
#   needs: librsvg2-bin
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$ORBA_ROOT/desktop/icons"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$ORBA_ROOT/desktop/icon.svg" \
        -o "$ORBA_ROOT/desktop/icons/${size}x${size}.png"
done
