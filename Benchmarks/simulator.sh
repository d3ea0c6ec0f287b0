#!/usr/bin/env bash
# Times a whole simulated session on every shipped device, in a Release build: wall time, CPU time
# (user + system) and peak memory per device. Usage: Benchmarks/simulator.sh [runs per device]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-3}"
DX_CMAKE_ARGS="-DCMAKE_BUILD_TYPE=Release" "$root/scripts/build.sh" "$root/build/release" "" Simulator >/dev/null
sim="$root/build/release/Simulator/Simulator"
sandbox="$(mktemp -d)"
trap 'rm -rf "$sandbox"' EXIT
printf '%-12s %6s %10s %10s %10s %12s\n' device tests "wall s" "cpu s" "cpu %" "peak MB"
for device in $("$sim" --list-devices); do
    best=""
    for ((i = 0; i < runs; i++)); do
        out="$(DX_SANDBOX_ROOT="$sandbox/$device-$i" /usr/bin/time -f '%e %U %S %M' "$sim" --device "$device" \
            2>"$sandbox/time" >"$sandbox/out")" || { echo "$device: the session did not complete" >&2; exit 1; }
        read -r wall user sys peak < <(tail -1 "$sandbox/time")
        if [[ -z "$best" ]] || awk -v a="$wall" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
            best="$wall $user $sys $peak"
        fi
    done
    read -r wall user sys peak <<<"$best"
    tests="$(grep -o 'session joined: [0-9]*' "$sandbox/out" | grep -o '[0-9]*$')"
    awk -v d="$device" -v n="$tests" -v w="$wall" -v u="$user" -v s="$sys" -v m="$peak" \
        'BEGIN { printf "%-12s %6s %10.2f %10.2f %9.0f%% %12.1f\n", d, n, w, u + s, 100 * (u + s) / w, m / 1024 }'
done
