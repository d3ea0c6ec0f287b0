#!/usr/bin/env bash
# Source rules that the compiler does not catch.
#   - No range-for over the object behind a call's result: in `for (x : *makeArray())` the Ref that the
#     call returns is destroyed before the loop starts, and with it, when it was the only owner, the array.
#     Hold the result in a local first.
# Usage: scripts/check-sources.sh [ROOT]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"
found=$(grep -rnE --include='*.cpp' --include='*.h' 'for \([^;]*: \*[^;{]*\(' Platform Libraries Classes Simulator Tests \
    | grep -vE '//.*for \(' || true)
if [[ -n "$found" ]]; then
    echo "$found"
    echo "check-sources: range-for over *call(): hold the call's result in a local first" >&2
    exit 1
fi
echo "check-sources: no range-for over a call's temporary"
