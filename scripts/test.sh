#!/usr/bin/env bash
# Installs what is missing, builds Ostrel with AddressSanitizer and UBSan, and
# runs every test through CTest. Each test starts and stops its own FTP servers
# on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
./scripts/check-format.sh

build_dir=build/test
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=ON -DOSTREL_BUILD_TESTS=ON \
  -DOSTREL_WARNINGS_AS_ERRORS=ON
cmake --build "$build_dir" --parallel "$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" --timeout 300 --label-exclude package
# The package test makes a Release build of its own (a few minutes); it needs Debian's packaging tools.
if command -v dpkg-deb >/dev/null; then
  ctest --test-dir "$build_dir" --output-on-failure --label-regex package
fi
