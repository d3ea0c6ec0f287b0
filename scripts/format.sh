#!/usr/bin/env bash
# Checks (or with --fix, applies) the formatting of every C++ source.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.h' '*.cpp' '*.hpp')
((${#files[@]})) || exit 0
if [[ "${1:-}" == "--fix" ]]; then
    clang-format -i "${files[@]}"
else
    clang-format --dry-run --Werror "${files[@]}"
fi
