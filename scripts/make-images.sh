#!/usr/bin/env bash
# Draws the bundled images of the app (Resources/Images/*.png: the tests' icons, the result marks
# and the test screens' pictures, each at 1x, 2x and 3x) on cairo. The images are committed; run
# this after changing scripts/images/MakeImages.cpp. Usage: scripts/make-images.sh [OUTPUT_FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/Resources/Images}"
mkdir -p "$out"
tool="$(mktemp -d)/make-images"
trap 'rm -rf "$(dirname "$tool")"' EXIT
# shellcheck disable=SC2046
c++ -std=c++20 -O1 -Wall -Wextra -Werror "$root/scripts/images/MakeImages.cpp" -o "$tool" $(pkg-config --cflags --libs cairo libpng)
"$tool" "$out"
