#!/usr/bin/env bash
# Builds the Debian package; checks its files, library dependencies and completion, and lintian's verdict.
set -euo pipefail
out=$(mktemp -d) && trap 'rm -rf "$out"' EXIT
deb=$("$1/scripts/package.sh" "$out" | tail -n 1) && dpkg-deb -x "$deb" "$out/root" && files=$(dpkg-deb -c "$deb")
for path in bin/ostrel bin/ostrel-publish share/applications/ostrel.desktop share/metainfo/ostrel.metainfo.xml \
  share/icons/hicolor/{16x16,32x32}/apps/ostrel.png share/man/man1/ostrel{,-publish}.1.gz share/doc/ostrel/copyright \
  share/bash-completion/completions/ostrel-publish share/locale/ru/LC_MESSAGES/ostrel.mo \
  share/man/ru/man1/ostrel{,-publish}.1.gz; do
  grep -q " \./usr/$path\$" <<<"$files" || { echo "the package lacks /usr/$path" && exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends) && echo "Depends: $depends"
for library in libqt6widgets6 libpocofoundation libpoconet libc6; do grep -q "$library" <<<"$depends" || exit 1; done
[ "$(dpkg-deb -f "$deb" Recommends)" = qt6-translations-l10n ]
source "$out/root/usr/share/bash-completion/completions/ostrel-publish"
COMP_WORDS=(ostrel-publish --no-pro); COMP_CWORD=1; _ostrel_publish; [ "${COMPREPLY[*]}" = --no-progress ]
lintian --fail-on error "$deb"
