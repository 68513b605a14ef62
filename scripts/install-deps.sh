#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
# Idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-multimedia-dev
  libfluidsynth-dev libsndfile1-dev timgm6mb-soundfont
  gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-tools
  nodejs chromium firefox-esr
  xvfb xauth x11-utils
  dbus-x11 at-spi2-core python3-pyatspi
  dpkg-dev file
  libgtest-dev libbenchmark-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# npm comes with some builds of nodejs; Debian's own nodejs needs the npm package.
if ! command -v npm >/dev/null 2>&1 && ! dpkg-query -W -f='${Status}' npm 2>/dev/null | grep -q 'install ok installed'; then
  missing+=(npm)
fi

# The web page's browser test drives chromium (and firefox-esr, when it is
# installed) with the npm packages pinned in tests/web/package-lock.json (no
# browser is downloaded).
install_npm_packages() {
  local web
  web="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/web"
  if [ -f "$web/package-lock.json" ] && [ ! -d "$web/node_modules/puppeteer-core" ]; then
    echo "Installing the browser test's npm packages"
    (cd "$web" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund)
  fi
}

if [ ${#missing[@]} -eq 0 ]; then
  install_npm_packages
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
install_npm_packages
