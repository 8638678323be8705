#!/usr/bin/env bash
# scripts/test.sh installs the Debian package system-wide only on CI (CI=true) or when asked
# (--package). It runs here from a copy of the scripts folder in which the other scripts,
# cmake, ctest and the fuzzer only note that they ran.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/repo/scripts" "$work/repo/build-fuzz/bin" "$work/bin"
cp "$source/scripts/test.sh" "$work/repo/scripts/"
fuzzers=$(grep -o '[a-z_]*_fuzzer\b' "$source/scripts/test.sh" | sort -u | sed 's#^#repo/build-fuzz/bin/#')
for stub in repo/scripts/install-deps.sh repo/scripts/check-install.sh repo/scripts/test-ratio.sh \
    repo/scripts/check-package.sh $fuzzers bin/cmake bin/ctest; do
    printf '#!/bin/sh\necho %s >>"%s/ran"\n' "${stub##*/}" "$work" >"$work/$stub"
    chmod +x "$work/$stub"
done

# expect STATUS PACKAGE-CHECK-RAN env-arguments... -- test.sh-arguments...
expect() {
    local status=$1 ran=$2 environment=()
    shift 2
    while [ "$1" != "--" ]; do environment+=("$1"); shift; done
    shift
    rm -f "$work/ran"
    set +e
    env "${environment[@]}" PATH="$work/bin:$PATH" "$work/repo/scripts/test.sh" "$@" >/dev/null 2>&1
    local got=$?
    set -e
    local package=no
    grep -qx check-package.sh "$work/ran" 2>/dev/null && package=yes
    if [ "$got" != "$status" ] || [ "$package" != "$ran" ]; then
        echo "FAIL: ${environment[*]} test.sh $*: status $got, package check run: $package" \
            "(expected $status, $ran)" >&2
        exit 1
    fi
}
expect 0 no -u CI --
grep -qx ctest "$work/ran" || { echo "FAIL: test.sh ran no tests" >&2; exit 1; }
expect 0 no CI=false --
expect 0 yes CI=true --
expect 0 yes -u CI -- --package
expect 2 no -u CI -- --packages
echo "test.sh runs the package check only with --package or CI=true"
