#!/usr/bin/env bash
# Installs, from Debian's packages, what building and testing the project needs.
# Packages already present are skipped; the package lists are refreshed only
# when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang clang-tidy clang-format libclang-rt-dev
  protobuf-compiler libprotobuf-dev
  libicu-dev libpng-dev nlohmann-json3-dev
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  libgtest-dev libgmock-dev libbenchmark-dev
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is already installed" >&2
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
