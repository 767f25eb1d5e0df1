#!/usr/bin/env bash
# Fuzzes the telegram parsers and address readers for a bounded time.
#
#   scripts/fuzz.sh SECONDS [libFuzzer options...]
#
# Builds the fuzzer in build-fuzz (clang, Qt from the system) when needed,
# writes a seed corpus of valid telegrams made by the builders, and runs
# libFuzzer for at most SECONDS. Extra options go to libFuzzer unchanged
# (e.g. -runs=10000000 to stop after that many executions). Exits non-zero
# when the fuzzer finds a crash, undefined behaviour or a violated property;
# the input that caused it is kept in build-fuzz/fuzz-findings/.
set -euo pipefail

if [[ $# -lt 1 || ! $1 =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 SECONDS [libFuzzer options...]" >&2
    exit 2
fi
seconds=$1
shift

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-fuzz

if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DGWCFG_FUZZ=ON
fi
cmake --build "$build" -j2 --target protocol_fuzzer protocol_fuzz_seeds

seeds=$build/fuzz-seeds
corpus=$build/fuzz-corpus
findings=$build/fuzz-findings
rm -rf "$seeds"
mkdir -p "$corpus" "$findings"
"$build/tests/fuzz/protocol_fuzz_seeds" "$seeds"

# The fuzzer stops itself after -max_total_time; the outer timeout only
# guards against a hang in its own shutdown. The longest telegram has 130
# bytes: 256 leaves room for oversized datagrams and long texts.
status=0
timeout --kill-after=30 $((seconds + 120)) \
    "$build/tests/fuzz/protocol_fuzzer" \
    -max_total_time="$seconds" -max_len=256 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$@" \
    "$corpus" "$seeds" || status=$?
if ((status != 0)); then
    echo "fuzz: finding or failure (exit status $status); see $findings" >&2
fi
exit "$status"
