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

# proftpd and pure-ftpd for the publish tests. As packages they conflict with vsftpd, so they are not
# installed: their .debs are fetched with `apt-get download` and unpacked with `dpkg-deb -x` into
# /opt/ostrel-test-servers/PACKAGE/, where tests/support/FtpTestServer.cpp looks for them (remove a folder
# there to fetch its package again). What installing them would bring besides is done here: the libraries
# they depend on, and the system user proftpd that the package's proftpd.conf names. The tests log on as
# the local user ostreltest (uid 1000 or more, as pure-ftpd's packaged MinUID asks; a shell from
# /etc/shells, as proftpd asks), whose password is made here at random and kept in
# /opt/ostrel-test-servers/password, readable by root alone. Without root the tests of both are skipped.
unpacked=/opt/ostrel-test-servers
for package in proftpd-core pure-ftpd-common pure-ftpd; do
  if [ ! -d "$unpacked/$package" ] && [ "$(id -u)" -eq 0 ]; then
    mkdir -p "$unpacked"
    rm -rf "$unpacked/$package".* "$unpacked/${package}"_*.deb
    (cd "$unpacked" && { apt-get download -qq "$package" 2>/dev/null ||
      { apt-get update -qq && apt-get download -qq "$package"; }; })
    dpkg-deb -x "$unpacked/${package}"_*.deb "$unpacked/$package.part"
    mv "$unpacked/$package.part" "$unpacked/$package"
  fi
  for deb in "$unpacked/${package}"_*.deb; do
    [ -f "$deb" ] || continue
    packages+=($(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/[|(].*//' | grep -o '^ *lib[^ ]*' || true))
  done
done
if [ "$(id -u)" -eq 0 ]; then
  getent passwd proftpd >/dev/null ||
    useradd --system --home-dir /run/proftpd --no-create-home --shell /usr/sbin/nologin --gid nogroup proftpd
  getent passwd ostreltest >/dev/null || useradd --create-home --shell /bin/sh ostreltest
  [ -s "$unpacked/password" ] || (umask 077 && od -An -tx1 -N12 /dev/urandom | tr -d ' \n' >"$unpacked/password")
  echo "ostreltest:$(cat "$unpacked/password")" | chpasswd
fi

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
