#!/usr/bin/env bash
# Builds the Debian package; checks its files, icons, library dependencies and completion, and the verdicts of
# the AppStream and desktop entry validators and lintian.
set -euo pipefail
out=$(mktemp -d) && trap 'rm -rf "$out"' EXIT
deb=$("$1/scripts/package.sh" "$out" | tail -n 1) && dpkg-deb -x "$deb" "$out/root" && files=$(dpkg-deb -c "$deb")
icons=share/icons/hicolor && sizes="16 22 24 32 48 64 128 256"
for path in bin/ostrel bin/ostrel-publish share/{applications/io.github.ostrel.Ostrel.desktop,metainfo/io.github.ostrel.Ostrel.metainfo.xml} \
  $(for size in $sizes; do echo "$icons/${size}x$size/apps/ostrel.png"; done) $icons/scalable/apps/ostrel.svg \
  share/man/man1/ostrel{,-publish}.1.gz share/doc/ostrel/copyright share/bash-completion/completions/ostrel-publish \
  share/locale/ru/LC_MESSAGES/ostrel.mo share/man/ru/man1/ostrel{,-publish}.1.gz; do
  grep -q " \./usr/$path\$" <<<"$files" || { echo "the package lacks /usr/$path" && exit 1; }
done
# The packaged icons are what make_icons.py draws today (an edit not redrawn fails), and the installed program's
# window offers the set to the window manager (Qt leaves out sizes over 128 on X11).
/usr/bin/python3 "$1/resources/icons/make_icons.py" "$out" && cmp "$out/ostrel.svg" "$out/root/usr/$icons/scalable/apps/ostrel.svg"
for size in $sizes; do cmp "$out/ostrel-$size.png" "$out/root/usr/$icons/${size}x$size/apps/ostrel.png"; done
offered=$(OSTREL_SETTINGS_FILE="$out/ostrel.INI" QT_QPA_PLATFORM=xcb xvfb-run -a bash -c '"$1" & trap "kill $!" EXIT
  window=$(timeout 30 xdotool search --sync --onlyvisible --name "^Ostrel\$" | head -n 1)
  xprop -id "$window" _NET_WM_ICON | grep -o "Icon ([0-9]*" | tr -dc "0-9\n" | tr "\n" " "' _ "$out/root/usr/bin/ostrel")
[[ "$offered" == "16 22 24 32 48 64 128 "* ]] || { echo "the window offers icons of $offered pixels" && exit 1; }
# What software centres and menus read passes their validators without a remark.
appstreamcli validate-tree --no-net --strict "$out/root"
remarks=$(desktop-file-validate "$out"/root/usr/share/applications/*.desktop) && [ -z "$remarks" ] || { echo "$remarks" && exit 1; }
depends=$(dpkg-deb -f "$deb" Depends) && echo "Depends: $depends"
for library in libqt6widgets6 libpocofoundation libpoconet libc6; do grep -q "$library" <<<"$depends" || exit 1; done
[ "$(dpkg-deb -f "$deb" Recommends)" = qt6-translations-l10n ]
source "$out/root/usr/share/bash-completion/completions/ostrel-publish"
COMP_WORDS=(ostrel-publish --no-pro); COMP_CWORD=1; _ostrel_publish; [ "${COMPREPLY[*]}" = --no-progress ]
lintian --fail-on error "$deb"
