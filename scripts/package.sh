#!/usr/bin/env bash
# Builds the Debian package of Fablecraft into build-package/ and checks it
# with lintian when that is installed. Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
builddir=build-package
cmake -S . -B "$builddir" -DCMAKE_BUILD_TYPE=Release -DFABLECRAFT_BENCH=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >/dev/null
cmake --build "$builddir" -j"$(nproc)" --target fablecraft fablecraft-cli fablecraft_docs
(cd "$builddir" && cpack -G DEB)
deb=$(ls -t "$builddir"/fablecraft_*.deb | head -n1)
echo "package: $deb"
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb"
fi
