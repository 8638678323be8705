#!/usr/bin/env bash
# Installs what the program needs, builds it, prepares a demo (once) and opens the program
# on it: a sample game folder with synthetic packages and our ucc as its tool, a config.txt
# pointing at it, and a local FTP server on 127.0.0.1 standing in for the redirect server
# (user demo, password demo). Closing the program stops the demo server.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default
# Only the programs the demo runs; scripts/test.sh builds the rest.
cmake --build --preset default -j "$(nproc)" --target varnox ucc

port=${VARNOX_DEMO_PORT:-2121}
game=$(python3 scripts/make_demo.py build/bin build/demo \
    --server "127.0.0.1:$port" --user demo --password demo)
echo "Demo game folder: $game"

if ! /usr/bin/python3 -c 'import socket,sys; socket.socket().bind(("127.0.0.1", int(sys.argv[1])))' \
    "$port" 2>/dev/null; then
    echo "Port $port on 127.0.0.1 is in use: stop what listens there, or start the demo with" \
        "VARNOX_DEMO_PORT=another port (config.txt in build/bin names the port of the first run)." >&2
    exit 1
fi
/usr/bin/python3 scripts/demo_server.py build/demo/redirect "$port" demo demo &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting a virtual one (Xvfb :77)." >&2
    Xvfb :77 -screen 0 1280x800x24 >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill "$server" "$xvfb" 2>/dev/null || true' EXIT
    export DISPLAY=:77
    sleep 1
fi
build/bin/varnox
