#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need,
# when they are missing. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config python3
  googletest libboost-dev libstb-dev zlib1g-dev libtiff-dev
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 xvfb xauth
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q >/dev/null
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
