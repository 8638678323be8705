#!/usr/bin/env bash
# Installs what the tests need, builds everything with warnings as errors and runs every
# test: the whole suite, then the codec and ucc tests under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
cmake --preset ci
cmake --build --preset ci -j "$jobs"
ctest --preset ci
scripts/check-install.sh build

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize
