#!/usr/bin/env bash
# Builds every libFuzzer target with clang and runs each for a bounded time over its seed corpus
# (tests/fuzz/corpus/<target>/); new inputs go to the build directory, never into the repository.
# Usage: tests/fuzz/run.sh [build dir] [seconds per target] [target ...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build-fuzz}
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
    targets=(jconvert_fuzz smtp_reply_fuzz linefile_fuzz codepage_fuzz send_command_fuzz
        imap_response_fuzz attach_name_fuzz)

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"
summary=()
for target in "${targets[@]}"; do
    found="$build/corpus/$target"
    mkdir -p "$found"
    log="$build/$target.log"
    status=0
    "$build/$target" -max_total_time="$seconds" -max_len=4096 -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$build/$target-" "$found" "$here/corpus/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    summary+=("$(printf '%-20s %12s executions %8s/s  %s' "$target" "${runs:-?}" "${rate:-?}" \
        "$([ $status -eq 0 ] && echo ok || echo "FAILED (see $log)")")")
    [ $status -eq 0 ] || tail -n 40 "$log" >&2
done
printf '%s\n' "${summary[@]}"
! printf '%s\n' "${summary[@]}" | grep -q FAILED
