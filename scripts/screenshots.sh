#!/usr/bin/env bash
# Re-makes the screenshots of the four windows in docs/screenshots, on a demo game folder,
# under a virtual X display. Run it after a build whenever a window changes.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp build/bin/ucc build/bin/*.bmp "$work/"
python3 scripts/make_demo.py "$work" "$work/demo" --server 192.0.2.20:2121 \
    --user redirect --password demo >/dev/null
cd "$work/demo/UnrealTournament/Maps"
xvfb-run -a -s "-screen 0 1280x1024x24" "$OLDPWD/build/bin/screenshots" \
    "$OLDPWD/docs/screenshots" "$work"
