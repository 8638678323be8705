#!/usr/bin/env bash
# Installs what the program needs, builds it, prepares a demo game folder (once) and opens
# the program on it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"

game=$(python3 scripts/make_demo.py build/bin build/demo)
echo "Demo game folder: $game"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting a virtual one (Xvfb :77)." >&2
    Xvfb :77 -screen 0 1280x800x24 >/dev/null 2>&1 &
    export DISPLAY=:77
    sleep 1
fi
exec build/bin/varnox
