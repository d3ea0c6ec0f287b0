#!/usr/bin/env bash
# Builds the libFuzzer targets of Tests/Fuzz with clang (address and undefined-behaviour sanitizers)
# in their own build folder and runs each for a short while.
# Usage: scripts/fuzz.sh [BUILD_DIR] [SECONDS_PER_TARGET]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build/fuzz}"
seconds="${2:-20}"
command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed" >&2; exit 1; }
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Warnings that only clang raises are reported, not fatal, in this build.
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
flags+=" -Wno-error=unused-lambda-capture"
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDX_FUZZ=ON -DDX_SANITIZE= \
    -DDX_BUILD_BENCHMARKS=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" "${launcher[@]}" >/dev/null
targets=()
for source in "$root"/Tests/Fuzz/*Fuzzer.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
cmake --build "$dir" --target "${targets[@]}"
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
