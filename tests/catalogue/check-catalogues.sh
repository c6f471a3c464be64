#!/usr/bin/env bash
# Fails when a text the sources look up lacks a finished (translated, not fuzzy) translation in a catalogue,
# when a catalogue keeps a text the sources no longer have, or when msgfmt finds a format or an accelerator
# that does not match its English text. With --update, merges the sources' texts into the catalogues instead.
set -euo pipefail
cd "$1"
out=$(mktemp -d) && trap 'rm -rf "$out"' EXIT
find src resources -name '*.cpp' -o -name '*.h' | sort >"$out/sources"
xgettext --language=C++ --from-code=UTF-8 --keyword --keyword=Translate --keyword=TranslatePlural:1,2 \
  --keyword=Translatable --no-location --sort-output --package-name=ostrel \
  --msgid-bugs-address=ostrel-developers@example.org --files-from="$out/sources" -o "$out/ostrel.pot"
for catalogue in resources/po/*.po; do
  if [ "${2:-}" = --update ]; then msgmerge --quiet --update --no-location --backup=none "$catalogue" "$out/ostrel.pot"; continue; fi
  msgcmp "$catalogue" "$out/ostrel.pot"
  msgcmp --use-untranslated "$out/ostrel.pot" "$catalogue"
  msgfmt --check --check-accelerators='&' --statistics -o /dev/null "$catalogue"
done
