"""Benchmark of our ucc against bzip2 and lbzip2 on four 16 MiB inputs, and the memory
decompressing a small .uz that stands for 1 GiB takes (see uz_bench.sh)."""

import argparse
import filecmp
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import uz_bench_data

MIB = 1 << 20
GIB = 1 << 30
# Decompressing streams: its peak memory may not exceed 64 MiB plus the working set of the
# blocks restored at once (two BWT blocks with their link tables on each core, and the
# batches waiting for them), whatever the package's size.
DECOMPRESS_LIMIT = 64 * MIB + 8 * MIB


def measure(command, stdout_path=None, realtime=False):
    """Runs a command; returns (seconds, CPU seconds (user and system), peak RSS in bytes).
    /usr/bin/time runs it, for the peak memory: a program started straight from this script
    would count this script's memory as its own. /usr/bin/time itself is started by
    posix_spawn and waited for with wait4, whose CPU time includes the program's, so that
    little else is counted. With `realtime`, both run at SCHED_FIFO priority 10 (root):
    other programs on the machine then wait while they run."""
    with tempfile.NamedTemporaryFile("r", suffix=".rss") as stats, tempfile.TemporaryFile() as errors:
        actions = [(os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0),
                   (os.POSIX_SPAWN_OPEN, 1, stdout_path or os.devnull,
                    os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644),
                   (os.POSIX_SPAWN_DUP2, errors.fileno(), 2)]
        extra = {"scheduler": (os.SCHED_FIFO, os.sched_param(10))} if realtime else {}
        argv = ["/usr/bin/time", "-f", "%M", "-o", stats.name] + command
        start = time.perf_counter()
        pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=actions, **extra)
        _, status, usage = os.wait4(pid, 0)
        seconds = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            errors.seek(0)
            sys.exit("failed: %s\n%s" % (" ".join(command), errors.read().decode(errors="replace")))
        return seconds, usage.ru_utime + usage.ru_stime, int(stats.read().split()[-1]) * 1024


def bench_input(name, data, work, tool, repeat, realtime):
    """Times the three tools on one input. The runs alternate between them, so that a
    change of load on the machine meets all alike; the median of each counts."""
    source = os.path.join(work, name)
    with open(source, "wb") as f:
        f.write(data)
    restored = os.path.join(os.path.dirname(tool), name)
    bz2 = source + ".bz2"
    lbz2 = source + ".lbz2"
    steps = {
        "ours_c": ([tool, "compress", source], None),
        "bz_c": (["bzip2", "-9", "-c", source], bz2),
        "lbz_c": (["lbzip2", "-9", "-c", source], lbz2),
        "ours_d": ([tool, "decompress", source + ".uz"], None),
        "bz_d": (["bzip2", "-d", "-c", bz2], source + ".bunzip"),
        "lbz_d": (["lbzip2", "-d", "-c", lbz2], source + ".lbunzip"),
    }
    runs = {key: [] for key in steps}
    for _ in range(repeat):
        for key, (command, stdout_path) in steps.items():
            runs[key].append(measure(command, stdout_path, realtime))
    result = {"name": name, "size": len(data)}
    for key, measured in runs.items():
        result[key] = statistics.median(m[0] for m in measured)
        result[key + "_cpu"] = statistics.median(m[1] for m in measured)
        result[key + "_rss"] = max(m[2] for m in measured)
    result["uz_size"] = os.path.getsize(source + ".uz")
    result["bz_size"] = os.path.getsize(bz2)
    for path, tool_name in ((restored, "our"), (source + ".bunzip", "bzip2"),
                            (source + ".lbunzip", "lbzip2")):
        if not filecmp.cmp(source, path, shallow=False):
            sys.exit("%s round trip of %s differs" % (tool_name, name))
    for path in (source, source + ".uz", restored, bz2, lbz2, source + ".bunzip",
                 source + ".lbunzip"):
        os.remove(path)
    return result


def mb_per_s(size, seconds):
    return size / MIB / seconds


def print_table(results):
    header = ("input", "ours c MiB/s", "bzip2 -9", "lbzip2 -9", "c ratio (lbzip2)",
              "c cores", "ours d MiB/s", "bzip2 -d", "lbzip2 -d", "d ratio (lbzip2)",
              ".uz bytes", ".bz2 bytes", "peak c MiB", "peak d MiB")
    rows = []
    for r in results:
        rows.append((
            "%s (%d MiB)" % (r["name"], r["size"] // MIB),
            "%.1f" % mb_per_s(r["size"], r["ours_c"]),
            "%.1f" % mb_per_s(r["size"], r["bz_c"]),
            "%.1f" % mb_per_s(r["size"], r["lbz_c"]),
            "%.2fx" % (r["lbz_c"] / r["ours_c"]),
            "%.2f" % (r["ours_c_cpu"] / r["ours_c"]),
            "%.1f" % mb_per_s(r["size"], r["ours_d"]),
            "%.1f" % mb_per_s(r["size"], r["bz_d"]),
            "%.1f" % mb_per_s(r["size"], r["lbz_d"]),
            "%.2fx" % (r["lbz_d"] / r["ours_d"]),
            "%d" % r["uz_size"],
            "%d" % r["bz_size"],
            "%.0f" % (r["ours_c_rss"] / MIB),
            "%.0f" % (r["ours_d_rss"] / MIB),
        ))
    widths = [max(len(str(x)) for x in column) for column in zip(header, *rows)]
    line = lambda cells: "| " + " | ".join(str(c).ljust(w) for c, w in zip(cells, widths)) + " |"
    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for row in rows:
        print(line(row))


def bench_bomb(work, tool, maker, repeat, realtime):
    """Decompresses a small 5678 .uz whose package is 1 GiB of zero bytes, made by
    uz_bench_bomb; returns its sizes, the median time and the peak memory."""
    source = os.path.join(work, "Bomb.unr.uz")
    done = subprocess.run([maker, source, str(GIB)], stderr=subprocess.PIPE)
    if done.returncode != 0:
        sys.exit("failed: %s\n%s" % (maker, done.stderr.decode(errors="replace")))
    restored = os.path.join(os.path.dirname(tool), "Bomb.unr")
    result = {"uz_size": os.path.getsize(source)}
    measured = [measure([tool, "decompress", source], None, realtime) for _ in range(repeat)]
    result["seconds"] = statistics.median(m[0] for m in measured)
    result["rss"] = max(m[2] for m in measured)
    result["size"] = os.path.getsize(restored)
    zeros = bytes(16 * MIB)
    with open(restored, "rb") as f:
        for chunk in iter(lambda: f.read(len(zeros)), b""):
            if chunk != zeros[:len(chunk)]:
                sys.exit("the 1 GiB package decompressed to other bytes than zeros")
    for path in (source, restored):
        os.remove(path)
    return result


def print_bomb(bomb):
    print()
    print("| small .uz standing for 1 GiB (5678) | .uz bytes | package bytes | decompress MiB/s "
          "| peak d MiB | limit MiB |")
    print("|---|---|---|---|---|---|")
    print("| zero bytes | %d | %d | %.1f | %.0f | %.0f |" % (
        bomb["uz_size"], bomb["size"], mb_per_s(bomb["size"], bomb["seconds"]),
        bomb["rss"] / MIB, DECOMPRESS_LIMIT / MIB))


def check_targets(results, bomb):
    """Prints each target with its outcome; returns True when all are met."""
    by_name = {r["name"]: r for r in results}
    checks = []
    package = by_name.get("package-like")
    if package:
        ratio = package["lbz_c"] / package["ours_c"]
        checks.append(("compress >= 1.6x lbzip2 -9 on package-like", ratio >= 1.6, "%.2fx" % ratio))
        cores = package["ours_c_cpu"] / package["ours_c"]
        checks.append(("compress keeps >= 1.8 cores busy on package-like", cores >= 1.8,
                       "%.2f" % cores))
        ratio = package["lbz_d"] / package["ours_d"]
        checks.append(("decompress >= 1.9x lbzip2 -d on package-like", ratio >= 1.9,
                       "%.2fx" % ratio))
    random_input = by_name.get("random")
    if random_input:
        for key, label in (("ours_c", "compress"), ("ours_d", "decompress")):
            base = random_input[key] / random_input["size"]
            worst = max(results, key=lambda r: r[key] / r["size"])
            factor = (worst[key] / worst["size"]) / base
            checks.append(("%s: no input > 3x slower per byte than random" % label,
                           factor <= 3.0, "worst %s at %.2fx" % (worst["name"], factor)))
    worst_memory = max(
        (r["ours_c_rss"] / (3 * r["size"] + 64 * MIB), r["name"]) for r in results)
    checks.append(("compress peak memory <= 3x package + 64 MiB", worst_memory[0] <= 1.0,
                   "worst %s at %.0f%% of the limit" % (worst_memory[1], 100 * worst_memory[0])))
    decompressions = [(r["ours_d_rss"], r["name"]) for r in results]
    decompressions.append((bomb["rss"], "1 GiB from a small .uz"))
    worst = max(decompressions)
    checks.append(("decompress peak memory <= %d MiB, any size" % (DECOMPRESS_LIMIT // MIB),
                   worst[0] <= DECOMPRESS_LIMIT, "worst %s at %.0f MiB" % (worst[1], worst[0] / MIB)))
    print()
    for label, ok, detail in checks:
        print("%-60s %-6s (%s)" % (label, "met" if ok else "MISSED", detail))
    return all(ok for _, ok, _ in checks)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--ucc", default=os.path.join(root, "build", "bin", "ucc"),
                        help="the ucc program to measure (default: build/bin/ucc)")
    parser.add_argument("--size-mib", type=int, default=16, help="size of each input")
    parser.add_argument("--repeat", type=int, default=7,
                        help="runs of each command, alternating between the tools; the "
                             "median counts (default 7)")
    parser.add_argument("--realtime", action="store_true",
                        help="run every measured command at SCHED_FIFO priority 10 (root), so "
                             "that other programs on a shared machine wait while it runs")
    parser.add_argument("--large", action="store_true",
                        help="also a 100 MiB package-like round trip")
    parser.add_argument("--bomb-maker",
                        default=os.path.join(root, "build", "bin", "uz_bench_bomb"),
                        help="the program that makes the small .uz standing for 1 GiB "
                             "(default: build/bin/uz_bench_bomb)")
    args = parser.parse_args()
    for program, target in ((args.ucc, "ucc"), (args.bomb_maker, "uz_bench_bomb")):
        if not os.access(program, os.X_OK):
            sys.exit("no %s at %s: build it first (cmake --build build --target %s)"
                     % (target, program, target))
    for needed in ("bzip2", "lbzip2", "/usr/bin/time"):
        if not shutil.which(needed):
            sys.exit("needs %s" % needed)

    work = tempfile.mkdtemp(prefix="uz-bench-")
    try:
        # The tool writes decompressed packages and its log into its own folder.
        system = os.path.join(work, "System")
        os.mkdir(system)
        tool = os.path.join(system, "UCC.exe")
        shutil.copy2(args.ucc, tool)
        size = args.size_mib * MIB
        inputs = [
            ("package-like", lambda: uz_bench_data.package_like(size)),
            ("random", lambda: uz_bench_data.random_bytes(size)),
            ("pattern", lambda: uz_bench_data.repeated_pattern(size)),
            ("zeros", lambda: uz_bench_data.zero_bytes(size)),
        ]
        if args.large:
            inputs.append(("package-like-100", lambda: uz_bench_data.package_like(100 * MIB, 77)))
        print("ucc: %s; %d cores; median of %d alternating runs each%s; load average %.2f"
              % (args.ucc, os.cpu_count(), args.repeat,
                 " at real-time priority" if args.realtime else "", os.getloadavg()[0]))
        results = []
        for name, make in inputs:
            print("  measuring %s ..." % name, flush=True)
            results.append(bench_input(name, make(), work, tool, args.repeat, args.realtime))
        print("  measuring 1 GiB from a small .uz ...", flush=True)
        bomb = bench_bomb(work, tool, args.bomb_maker, args.repeat, args.realtime)
        print("  load average at the end %.2f" % os.getloadavg()[0])
        print()
        print_table(results)
        print_bomb(bomb)
        return 0 if check_targets(results, bomb) else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
