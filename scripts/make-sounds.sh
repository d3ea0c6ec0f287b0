#!/usr/bin/env bash
# Makes the bundled sounds of the audio tests (Resources/*.mp3, *.m4a, *.wav, *.caf) with the
# platform's own codec over FFmpeg. The sounds are committed; run this after changing
# scripts/sounds/MakeSounds.cpp. Usage: scripts/make-sounds.sh [OUTPUT_FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/Resources}"
tool="$(mktemp -d)/make-sounds"
trap 'rm -rf "$(dirname "$tool")"' EXIT
# shellcheck disable=SC2046
c++ -std=c++20 -O1 -I"$root/Platform" "$root/scripts/sounds/MakeSounds.cpp" \
    "$root/Platform/AudioToolbox/AudioFileCodec.cpp" -o "$tool" \
    $(pkg-config --cflags --libs libavformat libavcodec libswresample libavutil)
"$tool" "$out"
