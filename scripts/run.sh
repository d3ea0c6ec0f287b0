#!/usr/bin/env bash
# Builds the app and starts the simulator. Extra arguments go to the simulator.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$root/build/run" "" Simulator >/dev/null
exec "$root/build/run/Simulator/Simulator" "$@"
