#!/usr/bin/env bash
# Configures and builds into a build folder.
# Usage: build.sh BUILD_DIR [SANITIZE] [targets...] [-jN] [-- native build tool options...]
#   SANITIZE: "" (none), "address" (address + undefined behaviour) or "thread".
#   -jN (or -j N) sets the number of parallel jobs; what follows `--` goes to ninja itself.
# Environment: CC/CXX choose the compiler when a folder is first configured; DX_CMAKE_ARGS adds
# configure options (such as -DDX_FUZZ=ON).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
san="${2:-}"
shift $(( $# > 2 ? 2 : $# ))
launcher=()
# Compiler cache shared between clones of the repository (CI builds a fresh clone each time).
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
# Sources compiled with a precompiled header are cached only with this sloppiness (ccache's manual,
# "Precompiled headers"); it goes into the launcher, so that a later `cmake --build` has it too.
ccache_env="env;CCACHE_SLOPPINESS=pch_defines,time_macros;ccache"
command -v ccache >/dev/null &&
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER="$ccache_env" -DCMAKE_C_COMPILER_LAUNCHER="$ccache_env")
read -r -a extra <<< "${DX_CMAKE_ARGS:-}"
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDX_SANITIZE="$san" "${launcher[@]}" "${extra[@]}" \
    >/dev/null
targets=() options=() native=()
while (($#)); do
    case "$1" in
    --) shift; native=("$@"); break ;;
    -j) options+=(-j "${2:?-j needs a number}"); shift ;;
    -j*) options+=(-j "${1#-j}") ;;
    -*) echo "build.sh: unknown option $1 (build tool options go after --)" >&2; exit 2 ;;
    *) targets+=("$1") ;;
    esac
    shift
done
cmake --build "$dir" "${options[@]}" ${targets[@]+--target "${targets[@]}"} ${native[@]+-- "${native[@]}"}
