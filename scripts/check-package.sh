#!/usr/bin/env bash
# Packaging check of the Debian package: builds it in the build folder, checks the desktop
# entry, the metainfo and the package (lintian: no errors or warnings), installs it with apt,
# runs the installed programs (the windowed one headless for a few seconds, with nothing on
# its error output; ucc as a normal user, decompressing into the current folder and writing
# nothing into the program folder), purges it again and finds nothing new left in any folder
# the package holds files in.
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
# What the folders of the package hold without it, so that anything the package or its
# programs leave in them shows.
folders=$(cd "$work/root" && find . -type d | sed 's/^\.//; s/^$/\//' | sort)
contents() {
    for folder in $folders; do
        if [ -d "$folder" ]; then find "$folder" -mindepth 1 -maxdepth 1; fi
    done | sort
}
contents >"$work/before"

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y "./$deb" >/dev/null
trap 'rm -rf "$work"; $sudo apt-get remove --purge -y varnox >/dev/null 2>&1 || true' EXIT

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

# ucc for a user who cannot write the program folder: the package lands in the current
# folder (or the one -o names), no log is written and nothing is said about one.
user=$(mktemp -d)
trap 'rm -rf "$work" "$user"; $sudo apt-get remove --purge -y varnox >/dev/null 2>&1 || true' EXIT
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown nobody "$user"
    as_user=(runuser -u nobody --)
fi
"${as_user[@]}" mkdir "$user/out"
head -c 300000 /usr/lib/varnox/ucc >"$work/Map.unr"
(cd "$work" && ucc compress Map.unr >/dev/null 2>&1)
cp "$work/Map.unr.uz" "$user/"
(cd "$user" && "${as_user[@]}" ucc decompress Map.unr.uz >/dev/null 2>"$work/ucc-err" &&
    "${as_user[@]}" ucc decompress -o out Map.unr.uz >/dev/null 2>>"$work/ucc-err") ||
    { echo "check-package: ucc cannot decompress for a normal user:" >&2; cat "$work/ucc-err" >&2; exit 1; }
[ ! -s "$work/ucc-err" ] || { echo "check-package: ucc reported:" >&2; cat "$work/ucc-err" >&2; exit 1; }
cmp -s "$work/Map.unr" "$user/Map.unr" && cmp -s "$work/Map.unr" "$user/out/Map.unr" ||
    { echo "check-package: ucc decompress did not write Map.unr into the current folder and out/" >&2; exit 1; }
extra=$(comm -13 <(dpkg -L varnox | grep '^/usr/lib/varnox/' | sort) <(find /usr/lib/varnox -mindepth 1 | sort))
[ -z "$extra" ] || { echo "check-package: written into the program folder: $extra" >&2; exit 1; }
# The log an earlier build of ucc kept in the program folder goes with the package.
$sudo sh -c "printf 'Log: Log file open\r\n' >/usr/lib/varnox/UCC.log"

$sudo apt-get remove --purge -y varnox >/dev/null
trap 'rm -rf "$work" "$user"' EXIT
contents >"$work/after"
left=$(comm -13 "$work/before" "$work/after")
if [ -n "$left" ]; then
    echo "check-package: still there after purging the package:" >&2
    echo "$left" >&2
    exit 1
fi
echo "check-package: installed, ran, purged; nothing left in the package's folders"
