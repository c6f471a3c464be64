#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running Ostrel need.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang-format
  qt6-base-dev libgl-dev
  libpoco-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  tzdata
  python3 python3-pyftpdlib python3-openssl vsftpd openssl
  curl lftp ncftp
  xvfb x11-utils xauth x11-apps xdotool
  dpkg-dev lintian man-db appstream desktop-file-utils
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
