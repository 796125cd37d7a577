#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test; then runs the
# unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer, the
# static checks, and the fuzzers for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
jobs=$(nproc)

step() { printf '\n== %s\n' "$*" >&2; }

step "build (warnings as errors)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVELIN_WERROR=ON >/dev/null
cmake --build build -j "$jobs"

step "tests"
ctest --test-dir build --output-on-failure -j "$jobs"

step "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOVELIN_WERROR=ON \
  -DTOVELIN_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
# The GPU driver keeps some allocations until exit; leaks are not what this run looks for.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -L unit

step "static checks"
bash scripts/lint.sh build

step "fuzzing packets, radio lines and defaults files for ${FUZZ_SECONDS:-60} seconds"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
