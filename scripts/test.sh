#!/usr/bin/env bash
# Builds everything with the address and undefined-behaviour sanitizers and runs every test.
#   DX_SANITIZE=thread  selects the thread sanitizer instead (build folder build/test-thread);
#   DX_TEST_LABEL=name  builds only the test binaries labelled `name` (target tests-name) and runs
#                       only their tests, e.g. DX_TEST_LABEL=threaded for the parts shared by threads.
#   DX_TEST_JOBS=n      runs n tests at a time; by default one and a half per core: part of a
#                       test's time is spent waiting (replies of loopback servers, time-outs that run
#                       on the wall clock, the thread sanitizer's pause at exit), and another test
#                       uses it.
#
# A test that fails is run once more before it counts as failed, and a test that passes only on that
# second run is named in a warning (a test that needs a second run has a fault to find; docs/ci.md).
# Most CTest tests run a whole test binary or a shard of one (cmake/Layers.cmake): the warning names
# the GoogleTest tests that failed inside it the first time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
san="${DX_SANITIZE:-address}"
label="${DX_TEST_LABEL:-}"
dir="$root/build/test-$san"
# Races inside libraries built without the sanitizer (pango's fontconfig thread, glib's own locks).
# The thread sanitizer pauses every process at exit, a second by default, so that threads still
# running can report; every test would pay it. A tenth of a second still covers what our never-joined
# threads (the network thread, the dispatch pool) do at exit: a load ending, a cancel the last
# callback posted (docs/networking.md).
export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp atexit_sleep_ms=100 ${TSAN_OPTIONS:-}"
"$root/scripts/deps.sh"
filter=()
if [[ -n "$label" ]]; then
    "$root/scripts/build.sh" "$dir" "$san" "tests-$label"
    filter=(-L "^$label\$")
else
    "$root/scripts/build.sh" "$dir" "$san"
fi
cd "$dir"
failedLog=Testing/Temporary/LastTestsFailed.log
rm -f "$failedLog"
jobs="${DX_TEST_JOBS:-$(((3 * $(nproc) + 1) / 2))}"
if ctest --output-on-failure -j "$jobs" --timeout 120 "${filter[@]}"; then
    exit 0
fi
# The names of the tests that failed ("12:Suite.Name" lines); none when ctest failed before running.
mapfile -t firstFailures < <(sed 's/^[0-9]*://' "$failedLog" 2>/dev/null || true)
if ((${#firstFailures[@]} == 0)); then
    exit 1
fi
# What failed inside each failed CTest test, from the first run's log (the second run replaces it):
# GoogleTest's "[  FAILED  ] Suite.Name (12 ms)" lines, and a test that started and never ended (the
# process died in it).
declare -A failedInside=()
for name in "${firstFailures[@]}"; do
    failedInside[$name]=$(awk -v want="$name" '
        function note(text) { found = found (found == "" ? "" : ", ") text }
        function unfinished() { if (cur == want && running != "") note(running " (did not finish)"); running = "" }
        /^[0-9]+\/[0-9]+ Test: / { unfinished(); cur = substr($0, index($0, "Test: ") + 6); next }
        cur != want { next }
        /^\[ RUN      \] / { running = substr($0, 14); next }
        /^\[       OK \] / { running = ""; next }
        /^\[  FAILED  \] .* \([0-9]+ ms\)$/ {
            line = substr($0, 14); sub(/ \([0-9]+ ms\)$/, "", line); sub(/, where .*/, "", line)
            note(line); running = ""
        }
        END { unfinished(); print found }' Testing/Temporary/LastTest.log 2>/dev/null || true)
done
echo "== ${#firstFailures[@]} failed test(s) run once more"
status=0
ctest --output-on-failure --timeout 120 --rerun-failed || status=$?
mapfile -t secondFailures < <(if ((status != 0)); then sed 's/^[0-9]*://' "$failedLog" 2>/dev/null; fi)
for name in "${firstFailures[@]}"; do
    if ! printf '%s\n' "${secondFailures[@]}" | grep -qxF -- "$name"; then
        inside=""
        if [[ -n "${failedInside[$name]}" && "${failedInside[$name]}" != "$name" ]]; then
            inside=" (failed in it the first time: ${failedInside[$name]})"
        fi
        echo "WARNING: $name passed only on its second run$inside (a flaky test is a fault to find)"
        if [[ -n "${GITHUB_ACTIONS:-}" ]]; then
            echo "::warning title=Flaky test::$name passed only on its second run$inside"
        fi
    fi
done
exit "$status"
