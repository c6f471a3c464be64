#!/usr/bin/env bash
# Builds the Debian package ostrel_<version>_amd64.deb (both programs, the
# desktop entry, metainfo, icons, manual pages and bash completion) in the
# current directory, from a Release build of just the two programs in
# build/package. Install it with: apt install ./ostrel_*.deb
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${OSTREL_PACKAGE_BUILD_DIR:-$source_dir/build/package}"
out_dir="${1:-$PWD}"

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTREL_BUILD_TESTS=OFF \
  -DOSTREL_SANITIZE=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2 -fstack-protector-strong" -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" \
  >/dev/null
cmake --build "$build_dir" --parallel 2
(cd "$build_dir" && cpack -G DEB >/dev/null)
cp "$build_dir"/ostrel_*.deb "$out_dir"/
ls "$out_dir"/ostrel_*.deb
