#!/usr/bin/env bash
# The size of the tests against the size of the code they test, as cloc counts lines of
# code (C++, headers, CMake and Python) over the files git tracks: tests/ against the rest
# of the tree without tests/, bench/, scripts/, assets/, docs/ and packaging/. Prints both
# counts and the ratio; fails when the ratio is above the limit (default 0.34).
#
#   scripts/test-ratio.sh [LIMIT]
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-0.34}
command -v cloc >/dev/null || { echo "test-ratio: cloc is missing (apt-get install cloc)" >&2; exit 1; }

# Every file counts, however long cloc takes over it: its default time limit (a second per
# 1,000 lines) leaves files out of the count on a busy machine, without failing.
count() {
    cloc --quiet --csv --timeout 0 --include-lang=C++,"C/C++ Header",CMake,Python --list-file=- |
        awk -F, '$2 == "SUM" { print $5 }'
}
tests=$(git ls-files tests | count)
code=$(git ls-files | grep -Ev '^(tests|bench|scripts|assets|docs|packaging)/' | count)
ratio=$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.3f", t / c }')
echo "test-ratio: $tests lines of tests, $code lines of code: $ratio (limit $limit)"
awk -v r="$ratio" -v l="$limit" 'BEGIN { exit !(r <= l) }' || {
    echo "test-ratio: the tests are too large for the code they test" >&2
    exit 1
}
