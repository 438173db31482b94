#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test: once in
# build/, then again in build-asan/ under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

if [[ -x tests/fuzz/run ]]; then
  tests/fuzz/run
fi

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVIREO_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
(cd build-asan && ctest --output-on-failure -j"$jobs")
