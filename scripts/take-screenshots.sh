#!/usr/bin/env bash
# Takes the README's screenshots from the real program in a real X window:
# starts a virtual X server (Xvfb), runs Ostrel against the demo FTP server,
# publishes the demo site (one screenshot during the run, one after it, one
# with the Details pane), opens the options dialog and the about box, dumps each window with xwd and
# converts the dumps to PNG in docs/screenshots/: once in English (LC_ALL=C),
# once in Russian (ru-*.png, with the build's catalogue).
#
#   ./scripts/take-screenshots.sh [PATH_TO_OSTREL]   (default: build/release/src/app/ostrel)
#
# Needs xvfb (xvfb-run), x11-apps (xwd) and xdotool; scripts/install-deps.sh
# installs them.
set -euo pipefail
cd "$(dirname "$0")/.."

ostrel=$(realpath "${1:-build/release/src/app/ostrel}")
[ -x "$ostrel" ] || { echo "take-screenshots.sh: no program at $ostrel; build it first (scripts/run.sh does)" >&2; exit 1; }

if [ -z "${OSTREL_SCREENSHOT_DISPLAY:-}" ]; then
  export OSTREL_SCREENSHOT_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$0" "$ostrel"
fi

demo_repository=$PWD
# shellcheck source=scripts/demo-setup.sh
. scripts/demo-setup.sh
# A fixed folder, so that the screenshots show a tidy path; it is this
# script's own and is made afresh each time.
work="${TMPDIR:-/tmp}/ostrel-screenshot-demo"
ostrel_pid=""
cleanup() {
  [ -n "$ostrel_pid" ] && kill "$ostrel_pid" 2>/dev/null || true
  demo_stop
  rm -rf "$work"
}
trap cleanup EXIT
output=docs/screenshots
mkdir -p "$output"

# The window with this exact title, waited for up to ten seconds.
window_named() {
  timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}

# Dumps a window from the X server and converts it to PNG.
dump() {
  xwd -silent -id "$1" -out "$work/$2.xwd"
  /usr/bin/python3 scripts/xwd_to_png.py "$work/$2.xwd" "$output/$2.png"
  echo "take-screenshots.sh: $output/$2.png"
}

# Without a window manager the keyboard follows the pointer, so the pointer
# is kept over the window that should take the keys.
point_at() {
  xdotool mousemove --window "$1" 4 4
  sleep 0.3
}

# One pass of the demo in one language: LOCALE PREFIX OPTIONS_KEY OPTIONS_TITLE
# ABOUT_KEY ABOUT_TITLE DETAILS_KEY (the accelerators as X key names, the
# captions as shown).
shoot() {
  local locale=$1 prefix=$2 options_key=$3 options_title=$4 about_key=$5 about_title=$6 details_key=$7
  # A fresh site and server each time, so that every file is copied again.
  demo_stop
  rm -rf "$work"
  mkdir -p "$work"
  # Each upload is confirmed three seconds after its last byte, so that one
  # screenshot catches the run with files under way and their bytes counted.
  demo_prepare "$work" --late-final-reply 3
  # The run's log goes to the demo folder, not to the user's own logs.
  XDG_STATE_HOME="$work/state" OSTREL_SETTINGS_FILE="$demo_settings" OSTREL_LOCALEDIR="$locale_dir" LC_ALL=$locale \
    ASAN_OPTIONS=detect_leaks=0 "$ostrel" &
  ostrel_pid=$!
  main=$(window_named Ostrel)
  point_at "$main"

  # The focus starts in "Local directory"; the password edit is three tabs on.
  xdotool key Tab Tab Tab
  xdotool type --delay 20 "$demo_password"
  xdotool key Return
  sleep 1.5
  dump "$main" "${prefix}main-dialog-running"
  # The run is over when the last of the four published files has arrived
  # under its own name (an upload goes to a hidden name first).
  for _ in $(seq 1 300); do
    [ "$(find "$demo_published" -type f -not -name '.*' | wc -l)" -ge 4 ] && break
    sleep 0.1
  done
  sleep 1.5
  dump "$main" "${prefix}main-dialog"
  xdotool key "alt+$details_key"
  sleep 0.5
  dump "$main" "${prefix}main-dialog-details"
  xdotool key "alt+$details_key"
  sleep 0.3

  xdotool key "alt+$options_key"
  options=$(window_named "$options_title")
  point_at "$options"
  dump "$options" "${prefix}options-dialog"
  xdotool key Escape
  point_at "$main"

  # The about box through the context menu that stands in for the window menu.
  xdotool click 3
  sleep 0.5
  xdotool key "$about_key"
  about=$(window_named "$about_title")
  point_at "$about"
  dump "$about" "${prefix}about-box"
  xdotool key Escape
  point_at "$main"
  xdotool key Escape
  wait "$ostrel_pid" || true
  ostrel_pid=""
}

locale_dir=$(dirname "$(dirname "$(dirname "$ostrel")")")/locale
shoot C "" o Options a "About Ostrel" t
shoot ru_RU.UTF-8 ru- Cyrillic_en "Настройки" Cyrillic_o "О программе Ostrel" Cyrillic_be
