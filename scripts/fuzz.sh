#!/usr/bin/env bash
# Builds the libFuzzer targets of Tests/Fuzz and runs each for a short while. They live in an
# address-sanitized clang build configured with DX_FUZZ=ON (CI shares build/test-address with the
# tests, so nothing is compiled twice).
# Usage: scripts/fuzz.sh [BUILD_DIR] [SECONDS_PER_TARGET]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build/fuzz}"
seconds="${2:-20}"
command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed" >&2; exit 1; }
targets=()
for source in "$root"/Tests/Fuzz/*Fuzzer.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
if [[ ! -f "$dir/CMakeCache.txt" ]]; then
    export CC=clang CXX=clang++
fi
DX_CMAKE_ARGS="${DX_CMAKE_ARGS:-} -DDX_FUZZ=ON" "$root/scripts/build.sh" "$dir" address "${targets[@]}"
status=0
for target in "${targets[@]}"; do
    corpus="$dir/corpus/$target"
    mkdir -p "$corpus"
    seeds=()
    [ -d "$root/Tests/Fuzz/corpus/$target" ] && seeds=("$root/Tests/Fuzz/corpus/$target")
    echo "== $target (${seconds}s)"
    if ! "$dir/Tests/Fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 "$corpus" "${seeds[@]}"; then
        echo "fuzz.sh: $target found a fault (reproducer in $(pwd))" >&2
        status=1
    fi
done
exit $status
