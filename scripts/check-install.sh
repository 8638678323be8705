#!/usr/bin/env bash
# Packaging check: installs the built program into a temporary prefix and starts the
# installed launcher headless for a few seconds. It must keep running (no crash, no early
# exit) and print nothing on its error output.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

prefix=$(mktemp -d)
runtime=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$prefix" "$runtime" "$home"' EXIT
chmod 700 "$runtime"

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/varnox bin/ucc bin/varnox-redirect lib/varnox/varnox lib/varnox/ucc \
         lib/varnox/varnox-redirect lib/varnox/open.bmp \
         lib/varnox/closed.bmp lib/varnox/leaf.bmp lib/varnox/root.bmp \
         share/applications/varnox.desktop share/icons/hicolor/48x48/apps/varnox.png \
         share/man/man1/varnox.1.gz share/man/man1/varnox-redirect.1.gz; do
    if [ ! -e "$prefix/$f" ]; then
        echo "check-install: $f was not installed" >&2
        exit 1
    fi
done

set +e
(cd "$home" && HOME="$home" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen \
    timeout 4 "$prefix/bin/varnox" 2>"$home/stderr")
status=$?
set -e
if [ "$status" -ne 124 ]; then
    echo "check-install: the installed program ended early with status $status" >&2
    cat "$home/stderr" >&2
    exit 1
fi
if [ -s "$home/stderr" ]; then
    echo "check-install: the installed program reported:" >&2
    cat "$home/stderr" >&2
    exit 1
fi
if [ -e "$prefix/lib/varnox/config.txt" ]; then
    echo "check-install: starting the program must not write config.txt" >&2
    exit 1
fi
echo "check-install: installed program started and ran headless without errors"
