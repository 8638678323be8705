#!/usr/bin/python3
"""The HTTP check against the curl tool, in one run on a local lighttpd.

1,000 files of 100 KB are served by lighttpd on 127.0.0.1 from the folder they are in, and
checked, byte for byte, by build/bin/varnox_check_bench (the library's HttpCheck, 4
connections kept alive), against one `curl -s -o FILE URL` per file in a shell loop. Each time
covers whole program runs. Prints the best times of several rounds and their ratio.

Targets: the check at least 5x as fast as the curl loop, and under 2 s.

Usage: bench/check_bench.py [--build DIR] [--rounds N]
Exits 1 when a target is missed.
"""

import argparse
import os
import signal
import socket
import sys
import tempfile

from bench_runs import timed

HERE = os.path.dirname(os.path.abspath(__file__))
FILES, SIZE = 1000, 100 * 1000


class Lighttpd:
    """lighttpd serving `root`, handed a socket already listening on a free port."""

    def __init__(self, work, root):
        config = os.path.join(work, "lighttpd.conf")
        with open(config, "w") as f:
            f.write(f'server.document-root = "{root}"\n'
                    'server.systemd-socket-activation = "enable"\n'
                    f'server.errorlog = "{work}/error.log"\n')
        listening = socket.socket()
        listening.bind(("127.0.0.1", 0))
        listening.listen(128)
        self.url = f"http://127.0.0.1:{listening.getsockname()[1]}/"
        self.pid = os.posix_spawn(
            "/bin/sh",
            ["sh", "-c", 'LISTEN_FDS=1 LISTEN_PID=$$ exec /usr/sbin/lighttpd -D -f "$1"', "sh",
             config], os.environ,
            file_actions=[(os.POSIX_SPAWN_DUP2, listening.fileno(), 3)])
        listening.close()

    def close(self):
        os.kill(self.pid, signal.SIGTERM)
        os.waitpid(self.pid, 0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    bench = os.path.join(os.path.abspath(args.build), "bin", "varnox_check_bench")
    if not os.access(bench, os.X_OK):
        raise SystemExit(f"build first: {bench} is missing (cmake --build --preset ci)")
    with tempfile.TemporaryDirectory(prefix="varnox-check-bench-") as work:
        served, fetched = os.path.join(work, "uz"), os.path.join(work, "fetched")
        os.makedirs(served)
        os.makedirs(fetched)
        for i in range(FILES):
            with open(os.path.join(served, f"Pkg{i:04d}.unr.uz"), "wb") as f:
                f.write(os.urandom(SIZE))
        server = Lighttpd(work, served)
        loop = (f'cd "{served}" && for f in *.uz; do '
                f'curl -s -o "{fetched}/$f" "{server.url}$f" || exit 1; done')
        ours, quick, theirs = [], [], []
        try:
            for _ in range(max(1, args.rounds)):
                ours.append(timed([bench, server.url, served])[0])
                quick.append(timed([bench, server.url, served, "--quick"])[0])
                theirs.append(timed(["bash", "-c", loop])[0])
        finally:
            server.close()
    o, q, t = min(ours), min(quick), min(theirs)
    ratio = t / o
    met = ratio >= 5 and o < 2
    print(f"check of {FILES} x 100 KB: {o:.3f} s (quick: {q:.3f} s); "
          f"curl per file: {t:.3f} s; ratio {ratio:.1f}x "
          f"(target >= 5x and < 2 s: {'met' if met else 'MISSED'})")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main())
