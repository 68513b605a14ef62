#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
# FABLECRAFT_SANITIZE=1 builds and tests with ASan and UBSan in build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
builddir=build
extra=()
if [ "${FABLECRAFT_SANITIZE:-0}" = 1 ]; then
  builddir=build-asan
  extra=(-DFABLECRAFT_SANITIZE=ON -DFABLECRAFT_BENCH=OFF)
  # Leaks that system libraries keep until exit are not ours to report.
  export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
fi
cmake -S . -B "$builddir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null
cmake --build "$builddir" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd "$builddir"
ctest --output-on-failure -j"$(nproc)"
