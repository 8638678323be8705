#!/usr/bin/env bash
# Benchmark of the .uz codec: our ucc against bzip2 -9 / bzip2 -d on four 16 MiB inputs
# (a package-like mix, random bytes, one short pattern repeated, zero bytes), reported as
# throughput, ratio ours/bzip2, compressed sizes and peak memory (/usr/bin/time -v).
# Builds nothing: it measures build/bin/ucc (or --ucc PATH). --large adds a 100 MiB
# package-like round trip; --repeat N takes the fastest of N runs of each tool, which
# alternate so that both meet the same load (default 3).
# Exits with 1 when a target is missed:
#   compress >= 1.5x and decompress >= 2x the speed of bzip2 on the package-like input,
#   no input more than 3x slower per byte than random bytes,
#   peak memory <= 3x the package + 64 MiB.
set -euo pipefail
exec /usr/bin/python3 "$(dirname "$0")/uz_bench.py" "$@"
