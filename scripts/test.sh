#!/usr/bin/env bash
# Builds everything with the address and undefined-behaviour sanitizers and runs every test.
# DX_SANITIZE=thread selects the thread sanitizer instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
san="${DX_SANITIZE:-address}"
"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$root/build/test-$san" "$san"
cd "$root/build/test-$san"
ctest --output-on-failure -j "$(nproc)" --timeout 120
