#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a set time (default 300 s).
# New inputs collect in build-fuzz/fuzz/corpus-<target>/; the seeds in fuzz/corpus/ stay as
# they are. Prints the executions each target reached.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}

scripts/install-deps.sh
CXX=clang++ cmake -S . -B build-fuzz -DLM_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLM_FUZZ_SECONDS="$seconds"
cmake --build build-fuzz --target fuzzers -j"$(nproc)"
ctest --test-dir build-fuzz --output-on-failure
for log in build-fuzz/fuzz/corpus-*/last-run.log; do
    target=$(basename "$(dirname "$log")")
    printf '%-24s %s\n' "${target#corpus-}" "$(grep -Eo 'number_of_executed_units: [0-9]+' "$log")"
done
