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
  gettext locales qt6-translations-l10n
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

# The tests of the Russian translation run under ru_RU.UTF-8, as a Russian desktop does.
if ! locale -a 2>/dev/null | grep -qx 'ru_RU.utf8'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: the locale ru_RU.UTF-8 is missing and making it needs root" >&2
    exit 1
  fi
  sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
