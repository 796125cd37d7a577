#!/usr/bin/env bash
# Checks formatting and runs clang-tidy over the project's own sources.
# Usage: scripts/lint.sh BUILD_DIR (a configured build with compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

mapfile -t sources < <(git ls-files --cached --others --exclude-standard \
  '*.cpp' '*.h' | grep -Ev '^(build|fuzz/corpus)/' || true)
[ ${#sources[@]} -gt 0 ] || exit 0

clang-format --dry-run --Werror "${sources[@]}"

mapfile -t units < <(printf '%s\n' "${sources[@]}" | grep -E '\.cpp$' | grep -Ev '^fuzz/')
printf '%s\n' "${units[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null
