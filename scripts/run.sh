#!/usr/bin/env bash
# Builds the application and the phone simulator, starts the simulated phone
# on a private radio socket and runs the application in this terminal.
#
# On a terminal the console is yours: `open Connect`, `choose Connect >
# Simulated Phone`, answer the PIN prompt with `OK: 1234`, `snapshot
# FILE.png`, `choose Lady Bug`, `quit` (see docs/console.md). Without a
# terminal it plays scripts/demo.txt and leaves its snapshots in one folder,
# named in its last line.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh >&2
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tovelin tovelin-phone >&2

run=$(mktemp -d "${TMPDIR:-/tmp}/tovelin-run.XXXXXX")
radio="$run/radio/radio.sock"
phone_pid=""
cleanup() { [ -n "$phone_pid" ] && kill "$phone_pid" 2>/dev/null || true; }
trap cleanup EXIT

if [ -t 0 ]; then
  build/sim/tovelin-phone --radio "$radio" 2>"$run/phone.log" &
  phone_pid=$!
  echo "The simulated phone (PIN 1234) logs to $run/phone.log. Commands: docs/console.md." >&2
  build/app/tovelin --radio "$radio" "$@"
else
  out="$run/snapshots"
  mkdir -p "$out"
  build/sim/tovelin-phone --radio "$radio" --trace scripts/demo-drive.csv 2>"$run/phone.log" &
  phone_pid=$!
  sed "s#@OUT@#$out#g" scripts/demo.txt |
    build/app/tovelin --radio "$radio" --defaults "$run/defaults.json" --host-name "Demo Desk" "$@"
  echo "Demo snapshots: $out"
fi
