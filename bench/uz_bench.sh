#!/usr/bin/env bash
# Benchmark of the .uz codec: our ucc against bzip2 -9 / bzip2 -d and lbzip2 -9 / lbzip2 -d
# (which use every core) on four 16 MiB inputs (a package-like mix, random bytes, one short
# pattern repeated, zero bytes), each program writing its output file; reported as
# throughput, ratio ours/lbzip2, the cores our compress keeps busy (CPU time over wall
# time), compressed sizes and peak memory (each program run by /usr/bin/time, started by
# posix_spawn and waited for with wait4); then the peak memory of decompressing a small
# 5678 .uz that stands for 1 GiB of zero bytes.
# Builds nothing: it measures build/bin/ucc (or --ucc PATH) with a .uz from
# build/bin/uz_bench_bomb (or --bomb-maker PATH). --large adds a 100 MiB package-like
# round trip; --repeat N takes the median of N runs of each tool, which alternate so that
# all meet the same load (default 7); --realtime runs each at real-time priority (root),
# for a machine that other work shares.
# Exits with 1 when a target is missed:
#   compress >= 1.6x the speed of lbzip2 -9 and >= 1.8 cores busy on the package-like input,
#   decompress >= 1.9x the speed of lbzip2 -d on the package-like input,
#   no input more than 3x slower per byte than random bytes,
#   compress peak memory <= 3x the package + 64 MiB,
#   decompress peak memory <= 72 MiB (64 MiB and the blocks' working set) for any input,
#   the 1 GiB one included.
set -euo pipefail
exec /usr/bin/python3 "$(dirname "$0")/uz_bench.py" "$@"
