#!/usr/bin/env bash
# The demo that scripts/demo.sh prepares holds what the README's typical run uses: a large map
# (Maps/CTF-Canyon.unr) whose compressing and upload last long enough to show progress, and
# in uz/ the .uz of a map the game does not have yet (uz/DM-Ravine.unr.uz), which the game's
# tool decompresses into System; and for the headless section's needs run, an ini file whose
# ServerPackages name a code package of the demo, and a map that imports a texture.
#
#   demo_test.sh BUILD_BIN_FOLDER
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
mkdir "$work/program"
cp "$1/ucc" "$work/program/"
game=$(python3 "$source/scripts/make_demo.py" "$work/program" "$work/demo")
cd "$game"

for name in Maps/CTF-Canyon.unr uz/DM-Ravine.unr.uz; do
    grep -q "\`$name\`" "$source/README.md" || fail "the README's typical run does not name $name"
    [ -f "$name" ] || fail "the demo has no $name"
done
[ "$(stat -c %s Maps/CTF-Canyon.unr)" -ge 50000000 ] || fail "Maps/CTF-Canyon.unr is small"
[ ! -e uz/CTF-Canyon.unr.uz ] || fail "CTF-Canyon.unr is compressed already"
found=$(find . -iname DM-Ravine.unr)
[ -z "$found" ] || fail "the game has DM-Ravine.unr already: $found"

if [ -x "$1/varnox-redirect" ]; then
    needs=$("$1/varnox-redirect" needs --game "$game" --config "$work/program/config.txt") ||
        fail "varnox-redirect needs failed on the demo"
    grep -q 'System/BrindleMutator.u *ServerPackages$' <<<"$needs" ||
        fail "needs does not name System/BrindleMutator.u for ServerPackages"
    grep -q 'Textures/BrindleWalls.utx *needed by Maps/' <<<"$needs" ||
        fail "needs does not name a map that imports Textures/BrindleWalls.utx"
    ! grep -q OldWalls <<<"$needs" || fail "needs takes Textures/OldWalls.utx, which no map imports"
fi

# Step 2 as the window runs it: the game's tool, with the .uz path as one argument.
System/UCC.exe decompress "$game/uz/DM-Ravine.unr.uz" >/dev/null || fail "decompress failed"
[ -f System/DM-Ravine.unr ] || fail "decompress left no System/DM-Ravine.unr"

# Step 3 uploads the large map's .uz at the demo server's 16 MiB a second: at least a second,
# twice the half second after which the FTP window shows progress.
System/UCC.exe compress Maps/CTF-Canyon.unr >/dev/null || fail "compress failed"
[ "$(stat -c %s Maps/CTF-Canyon.unr.uz)" -ge $((16 << 20)) ] ||
    fail "CTF-Canyon.unr.uz uploads in less than a second"
echo "the demo holds the typical run's packages"
