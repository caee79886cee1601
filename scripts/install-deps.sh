#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the tools need.
# A no-op when everything is already there; run as root (or with sudo).
#
#   bash scripts/install-deps.sh            what building and the demo need
#   bash scripts/install-deps.sh --blender  also Blender (some 700 MB), which
#                                           the test command's add-on test renders with
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang lld libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcli11-dev libpng-dev nlohmann-json3-dev libimagequant-dev
  python3-numpy python3-pil
  qt6-base-dev xvfb xauth
)
if [ "${1:-}" = "--blender" ]; then
  packages+=(blender)
elif [ $# -gt 0 ]; then
  echo "usage: install-deps.sh [--blender]" >&2
  exit 2
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}" >&2
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
