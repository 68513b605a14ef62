#!/usr/bin/env bash
# Shows what a screen reader sees of the player and of the quest editor: each
# runs on a virtual display with its own session bus and accessibility bus,
# and scripts/atspi_names.py lists its controls and fails when one that takes
# the keyboard focus has no name.
#
#   scripts/check-accessibility.sh [BUILD_DIR]     (default: build)
#
# Needs xvfb, dbus-x11 (dbus-run-session), at-spi2-core and python3-pyatspi,
# which scripts/install-deps.sh installs.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
program="$build/bin/fablecraft"
[ -x "$program" ] || { echo "no $program: build first" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$root/data/VellumAdventure.qst" "$work/"
cp -r "$root/data/media" "$work/" 2>/dev/null || true

# One scene: the accessibility bus, the program, then the listing.
cat > "$work/scene.sh" <<'SCENE'
#!/usr/bin/env bash
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
/usr/libexec/at-spi-bus-launcher --launch-immediately &
bus=$!
sleep 1
"$@" &
app=$!
status=0
timeout 60 /usr/bin/python3 "$SCRIPTS/atspi_names.py" || status=$?
kill "$app" "$bus" 2>/dev/null || true
exit "$status"
SCENE
chmod +x "$work/scene.sh"

export SCRIPTS="$root/scripts" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
failed=0
for scene in "player" "editor"; do
  echo "== $scene"
  args=("$program")
  [ "$scene" = editor ] && args+=(--edit "$work/VellumAdventure.qst")
  (cd "$work" && timeout 120 xvfb-run -a dbus-run-session -- "$work/scene.sh" "${args[@]}" 2>/dev/null) || failed=1
done
exit "$failed"
