#!/bin/sh
# Renders the PNG sizes of the application icon from its SVG. The PNGs are
# committed, so the build needs no SVG renderer; run this (Debian package
# librsvg2-bin) after changing the SVG.
set -e
cd "$(dirname "$0")/hicolor"
for size in 16 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" scalable/apps/com.orvendale.Tessarine.svg \
        -o "${size}x${size}/apps/com.orvendale.Tessarine.png"
done
