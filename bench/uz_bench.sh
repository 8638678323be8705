#!/usr/bin/env bash
# Benchmark of the .uz codec: our ucc against bzip2 -9 / bzip2 -d on four 16 MiB inputs
# (a package-like mix, random bytes, one short pattern repeated, zero bytes), reported as
# throughput, ratio ours/bzip2, compressed sizes and peak memory (/usr/bin/time -v); then
# the peak memory of decompressing a small 5678 .uz that stands for 1 GiB of zero bytes.
# Builds nothing: it measures build/bin/ucc (or --ucc PATH) with a .uz from
# build/bin/uz_bench_bomb (or --bomb-maker PATH). --large adds a 100 MiB package-like
# round trip; --repeat N takes the fastest of N runs of each tool, which alternate so that
# both meet the same load (default 3).
# Exits with 1 when a target is missed:
#   compress >= 1.5x and decompress >= 2x the speed of bzip2 on the package-like input,
#   no input more than 3x slower per byte than random bytes,
#   compress peak memory <= 3x the package + 64 MiB,
#   decompress peak memory <= 72 MiB (64 MiB and the blocks' working set) for any input,
#   the 1 GiB one included.
set -euo pipefail
exec /usr/bin/python3 "$(dirname "$0")/uz_bench.py" "$@"
