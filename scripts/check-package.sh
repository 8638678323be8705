#!/usr/bin/env bash
# Packaging check of the Debian package: builds it in the build folder, checks the desktop
# entry, the metainfo and the package (lintian: no errors or warnings), installs it with apt,
# runs the installed programs (the windowed one headless for a few seconds, with nothing on
# its error output), removes it again and finds nothing of it left.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

rm -f "$build"/varnox_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/varnox_*_amd64.deb)
echo "check-package: built $deb"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/varnox.desktop"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/"*.metainfo.xml
lintian --fail-on error,warning "$deb" 2> >(grep -v "root privileges" >&2)

# A varnox the machine already has is its owner's: leave it alone.
if dpkg -s varnox >/dev/null 2>&1; then
    echo "check-package: varnox is installed on this machine; not installing the new package"
    exit 0
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y "./$deb" >/dev/null
trap 'rm -rf "$work"; $sudo apt-get remove --purge -y varnox >/dev/null 2>&1 || true' EXIT
files=$(dpkg -L varnox | while read -r f; do [ -f "$f" ] || [ -L "$f" ] && echo "$f"; done)

home="$work/home" runtime="$work/runtime"
mkdir -p "$home" "$runtime"
chmod 700 "$runtime"
set +e
(cd "$home" && HOME="$home" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen \
    timeout 4 varnox 2>"$work/stderr")
status=$?
set -e
if [ "$status" -ne 124 ] || [ -s "$work/stderr" ]; then
    echo "check-package: the installed varnox ended with status $status or reported:" >&2
    cat "$work/stderr" >&2
    exit 1
fi
HOME="$home" varnox --help | grep -q "Settings file: $home/.config/varnox/config.txt"
ucc --help >/dev/null
set +e
ucc >/dev/null 2>&1
[ $? -eq 2 ] || { echo "check-package: ucc without a command must end with status 2" >&2; exit 1; }
set -e
varnox-redirect --help >/dev/null

$sudo apt-get remove --purge -y varnox >/dev/null
trap 'rm -rf "$work"' EXIT
left=0
for f in $files; do
    if [ -e "$f" ] || [ -L "$f" ]; then
        echo "check-package: $f is still there after removal" >&2
        left=1
    fi
done
[ "$left" -eq 0 ] || exit 1
echo "check-package: installed, ran, removed; nothing left"
