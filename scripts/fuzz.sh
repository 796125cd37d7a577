#!/usr/bin/env bash
# Builds the packet fuzzer with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it for SECONDS (default 60) on a copy of
# the seed corpus in the build directory, so the repository's corpus is never
# written to. A crash, a leak or a failed check exits non-zero; its input is
# kept under build-fuzz/artifacts/.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTOVELIN_FUZZ=ON -DTOVELIN_WERROR=ON >/dev/null
cmake --build "$build" --target packet_fuzzer

corpus="$build/corpus"
artifacts="$build/artifacts"
rm -rf "$corpus"
mkdir -p "$corpus" "$artifacts"
cp fuzz/corpus/* "$corpus"/

"$build/fuzz/packet_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus"
