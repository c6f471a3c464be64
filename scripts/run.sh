#!/usr/bin/env bash
# Installs what is missing, builds Ostrel (Release, in build/release) and
# starts it.
#
#   ./scripts/run.sh          start Ostrel with your own settings
#   ./scripts/run.sh --demo   start Ostrel against a throwaway FTP server on
#                             127.0.0.1 with a small sample site, filled in
#
# Ostrel is a desktop program: it needs an X11 or Wayland display.
set -euo pipefail
cd "$(dirname "$0")/.."

demo=0
case "${1:-}" in
  "") ;;
  --demo) demo=1 ;;
  -h | --help)
    sed -n '2,9s/^# \{0,1\}//p' "$0"
    exit 0
    ;;
  *)
    echo "run.sh: unknown option '$1'; use --demo or nothing (see --help)" >&2
    exit 2
    ;;
esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), and Ostrel is a desktop program." >&2
  echo "run.sh: run it from a desktop session, or inside a virtual X server: xvfb-run -a ./scripts/run.sh${1:+ $1}" >&2
  exit 1
fi

./scripts/install-deps.sh

build_dir=build/release
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTREL_BUILD_GUI=ON -DOSTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target ostrel ostrel-publish ostrel-catalogues
ostrel="$build_dir/src/app/ostrel"
# The translations of this build, not those of an installed copy.
export OSTREL_LOCALEDIR="$PWD/$build_dir/locale"

if [ "$demo" -eq 0 ]; then
  exec "$ostrel"
fi

# --- Demo: a loopback FTP server, a sample site and settings made for both. ---
demo_repository=$PWD
# shellcheck source=scripts/demo-setup.sh
. scripts/demo-setup.sh
demo_dir=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-demo.XXXXXX")
trap demo_stop EXIT
demo_prepare "$demo_dir"

cat <<EOF
Demo: an FTP server for user "$demo_user" listens on 127.0.0.1:$demo_port.
      The sample site (Windows-1251 pages, a _drafts directory, an image) is in $demo_site.
      Ostrel starts with its fields filled in. Type the password  $demo_password  and press Process.
EOF

OSTREL_SETTINGS_FILE="$demo_settings" "$ostrel" || true
demo_stop

echo
echo "The published files landed in $demo_published:"
(cd "$demo_published" && find . -type f | sort | sed 's|^\./|  |')
echo "The demo folder $demo_dir is kept for a look; remove it when done."
