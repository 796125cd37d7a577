#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each on a copy of its seed corpus
# (fuzz/corpus/NAME/) in the build directory, so the repository's corpus is
# never written to. SECONDS (default 60) is the time for all targets
# together, shared equally. A crash, a leak or a failed check exits non-zero;
# its input is kept under build-fuzz/artifacts/NAME/.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
# The inputs from outside: packets from phones, lines on the radio, the defaults file.
targets=(packet radio_line defaults)

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTOVELIN_FUZZ=ON -DTOVELIN_WERROR=ON >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzzer}"

each=$(( seconds / ${#targets[@]} ))
[ "$each" -ge 1 ] || each=1
for name in "${targets[@]}"; do
  corpus="$build/corpus/$name"
  artifacts="$build/artifacts/$name"
  rm -rf "$corpus"
  mkdir -p "$corpus" "$artifacts"
  cp "fuzz/corpus/$name"/* "$corpus"/
  echo "== fuzzing $name for $each seconds" >&2
  "$build/fuzz/${name}_fuzzer" -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus"
done
