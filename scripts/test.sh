#!/usr/bin/env bash
# Builds everything and runs every test: once in the normal build, once under
# AddressSanitizer and UndefinedBehaviorSanitizer, and every fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
export LANG=C.UTF-8

# The demo wall (scripts/run.sh) may have configured build/ without the tests.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLM_BUILD_TESTS=ON
cmake --build build -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DLM_SANITIZE=ON
cmake --build build-asan -j"$jobs"

# The parsers' fuzz targets, 20 s each (scripts/fuzz.sh runs them longer).
CXX=clang++ cmake -S . -B build-fuzz -DLM_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLM_FUZZ_SECONDS=20
cmake --build build-fuzz --target fuzzers -j"$jobs"

status=0
echo "== normal build =="
ctest --test-dir build --output-on-failure -j"$jobs" || status=1
echo "== fuzz targets =="
ctest --test-dir build-fuzz --output-on-failure -j"$jobs" || status=1
echo "== sanitizer build =="
ctest --test-dir build-asan --output-on-failure -j"$jobs" || status=1
exit $status
