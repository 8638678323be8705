#!/usr/bin/env bash
# Installs what the tests need, builds everything with warnings as errors and runs every
# test: the whole suite, the installed tree, the size of the tests against the code, then the
# whole suite again under AddressSanitizer and UBSan, then a short fuzz run of the .uz decoder.
# The Debian package check (the package built, linted, installed system-wide, run and purged
# again) runs only when asked with --package, and on CI (CI=true).
#
#   scripts/test.sh [--package]
set -euo pipefail
cd "$(dirname "$0")/.."

package=false
if [ "$#" -gt 1 ] || { [ "$#" -eq 1 ] && [ "$1" != "--package" ]; }; then
    echo "usage: scripts/test.sh [--package]" >&2
    exit 2
fi
if [ "$#" -eq 1 ] || [ "${CI:-}" = "true" ]; then
    package=true
fi

scripts/install-deps.sh

jobs=$(nproc)
cmake --preset ci
cmake --build --preset ci -j "$jobs"
ctest --preset ci
scripts/check-install.sh build
if [ "$package" = true ]; then
    scripts/check-package.sh build
else
    echo "test: the Debian package check installs the package system-wide, so it runs only" \
        "with scripts/test.sh --package (and on CI)"
fi
scripts/test-ratio.sh

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize

# The fuzz run starts from the golden vectors; what it finds stays in build-fuzz/corpus,
# and a crash leaves its input in build-fuzz/ and fails the script.
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
mkdir -p build-fuzz/corpus
build-fuzz/bin/uz_decode_fuzzer -max_total_time=30 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix=build-fuzz/ -print_final_stats=1 \
    build-fuzz/corpus tests/data/uz-vectors/1234 tests/data/uz-vectors/5678

# The package tables and the ini file start from tiny generated seeds (tests/data/game-seeds).
for fuzzer in package_tables_fuzzer ini_file_fuzzer; do
    mkdir -p "build-fuzz/corpus-$fuzzer"
    "build-fuzz/bin/$fuzzer" -max_total_time=20 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix=build-fuzz/ -print_final_stats=1 \
        "build-fuzz/corpus-$fuzzer" tests/data/game-seeds
done
