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
# One target per core at a time, each to a log of its own that is printed whole once it ends, so that
# CI's few cores fuzz side by side and the output still reads one target after another.
logs="$dir/fuzz-logs"
rm -rf "$logs" && mkdir -p "$logs"
run() {
    local target=$1 corpus="$dir/corpus/$1" seeds=()
    mkdir -p "$corpus"
    [ -d "$root/Tests/Fuzz/corpus/$target" ] && seeds=("$root/Tests/Fuzz/corpus/$target")
    if "$dir/Tests/Fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 "$corpus" "${seeds[@]}" >"$logs/$target.log" 2>&1; then
        echo 0 >"$logs/$target.status"
    else
        echo 1 >"$logs/$target.status"
    fi
}
parallel="${DX_FUZZ_JOBS:-$(nproc)}"
status=0
pending=("${targets[@]}")
while ((${#pending[@]})); do
    batch=("${pending[@]:0:parallel}")
    pending=("${pending[@]:parallel}")
    for target in "${batch[@]}"; do
        run "$target" &
    done
    wait
    for target in "${batch[@]}"; do
        echo "== $target (${seconds}s)"
        cat "$logs/$target.log"
        if [[ "$(cat "$logs/$target.status")" != 0 ]]; then
            echo "fuzz.sh: $target found a fault (reproducer in $(pwd), log $logs/$target.log)" >&2
            status=1
        fi
    done
done
exit $status
