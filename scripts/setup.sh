#!/usr/bin/env bash
# Installs what the cross build and the Wine test run need. Idempotent: quick when all is there.
set -euo pipefail

PACKAGES=(
  cmake ninja-build
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  googletest libz-mingw-w64-dev libboost1.81-dev
  wine wine64 xvfb x11-utils xauth
  gettext openssl python3 python3-aiosmtpd unzip zip gzip imagemagick
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
