#!/usr/bin/env bash
# Packaging check: installs the built program into a temporary prefix and starts the
# installed launcher headless for a few seconds. It must keep running (no crash, no early
# exit) and print nothing on its error output. The three programs print the project's version;
# their man pages render without warnings or words run together, and carry one date (the
# month of the latest changelog entry) and the project's version.
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
         share/man/man1/varnox.1.gz share/man/man1/ucc.1.gz \
         share/man/man1/varnox-redirect.1.gz; do
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
fail() {
    echo "check-install: $*" >&2
    exit 1
}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
released=$(date -u -d "$(sed -n 's/^ -- .*>  //p' packaging/changelog | head -1)" '+%B %Y')
for command in varnox ucc varnox-redirect; do
    said=$(cd "$home" && HOME="$home" timeout 10 "$prefix/bin/$command" --version) ||
        fail "$command --version ended with status $?"
    case "$said" in
        "$command $version" | "$command (varnox) $version") ;;
        *) fail "$command --version printed '$said', not version $version" ;;
    esac
    page="$prefix/share/man/man1/$command.1.gz"
    heading=$(zcat "$page" | sed -n '1s/^\.TH [^ ]* 1 \("[^"]*" "[^"]*"\).*/\1/p')
    [ "$heading" = "\"$released\" \"varnox $version\"" ] ||
        fail "$command.1 is headed $heading, not \"$released\" \"varnox $version\""
    text=$(MANWIDTH=2000 MANPAGER=cat man --warnings -l "$page" 2>"$home/man-warnings")
    [ ! -s "$home/man-warnings" ] || fail "man warns about $command.1: $(cat "$home/man-warnings")"
    # Section names of the game's ini file ("[Engine.GameEngine]") hold a dot by right.
    glued=$(sed -E 's/\[[[:alpha:]]+\.[[:alpha:]]+\]//g' <<<"$text" |
        grep -oE '[[:alnum:]]*([a-z][.;:][A-Z][a-z]|[a-z],[[:alpha:]])[[:alnum:]]*' || true)
    [ -z "$glued" ] || fail "$command.1 runs words together: $glued"
done
echo "check-install: installed program started and ran headless without errors; versions and" \
    "man pages agree"
