#!/usr/bin/python3
"""varnox-redirect against a reference in the same run, on a local FTP server.

  compress  a game folder of 200 package-like packages (about 1 GiB) compressed by
            `varnox-redirect compress` against a shell loop that runs `ucc compress` on one
            package at a time and moves each result into uz/, as the windows do.
            Target: at least 1.7x.
  resync    a second `varnox-redirect sync` right after the first over 1,000 small packages
            that the game's ini file and the packages' imports make the needed set (250
            maps, each importing a texture, a sound and a music package of its own), with
            nothing left to do: it reads every package's tables, lists the server folder
            and holds each .uz against the upload records. Target: under 0.2 s, wall time
            (the process's CPU time, a `curl` listing of the same folder and the load
            average are shown beside it).
  upload    100 files of 1 MiB uploaded by `varnox-redirect upload` (one connection)
            against one `curl -T` per file. Target: at least as fast (ratio >= 1).

Usage: bench/redirect_bench.py [--build DIR] [--rounds N] [--only compress|resync|upload]
Prints one table row per measurement; exits 1 when a target is missed.
"""

import argparse
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import uz_bench_data  # noqa: E402
from bench_runs import random_files, timed  # noqa: E402

SERVER_SCRIPT = os.path.join(HERE, "..", "tests", "support", "ftp_server.py")
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))
from make_demo import synthetic_package  # noqa: E402
FOLDERS = [("Maps", ".unr"), ("Sounds", ".uax"), ("Music", ".umx"), ("Textures", ".utx")]
USER, PASSWORD = "bench", "bench"


class Server:
    """pyftpdlib on 127.0.0.1 over `home`; stops when its standard input closes."""

    def __init__(self, work, home):
        config = os.path.join(work, "server.json")
        with open(config, "w") as f:
            json.dump({"accounts": [{"name": USER, "password": PASSWORD, "home": home}]}, f)
        self.process = subprocess.Popen(["/usr/bin/python3", SERVER_SCRIPT, config],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.address = "127.0.0.1:" + self.process.stdout.readline().decode().strip()

    def close(self):
        self.process.stdin.close()
        self.process.wait()


def game_folder(root, sizes, pool):
    """Packages cut from a pool of package-like bytes, each with a header of its own."""
    for folder, _ in FOLDERS:
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    os.makedirs(os.path.join(root, "uz"), exist_ok=True)
    os.makedirs(os.path.join(root, "System"), exist_ok=True)
    rng = random.Random(7)
    for i, size in enumerate(sizes):
        folder, ending = FOLDERS[i % len(FOLDERS)]
        start = rng.randrange(0, len(pool) - size)
        with open(os.path.join(root, folder, f"Pkg{i:04d}{ending}"), "wb") as f:
            f.write(f"package {i}\0".encode() + pool[start:start + size])


def redirect(build, *args):
    return [os.path.join(build, "bin", "varnox-redirect"), *args]


def bench_compress(build, work, rounds):
    pool = b"".join(uz_bench_data.package_like(16 << 20, seed) for seed in range(4))
    rng = random.Random(3)
    weights = [rng.lognormvariate(0, 0.8) for _ in range(200)]
    sizes = [min(len(pool) - 1, int(w / sum(weights) * (1 << 30))) for w in weights]
    game = os.path.join(work, "game")
    game_folder(game, sizes, pool)
    shutil.copy(os.path.join(build, "bin", "ucc"), os.path.join(game, "System", "UCC.exe"))
    loop = ('for f in Maps/*.unr Sounds/*.uax Music/*.umx Textures/*.utx; do '
            'System/UCC.exe compress "$f" >/dev/null && mv "$f.uz" uz/ || exit 1; done')
    ours, theirs = [], []
    for r in range(rounds):
        for who in (("ours", "loop") if r % 2 == 0 else ("loop", "ours")):
            for name in os.listdir(os.path.join(game, "uz")):
                os.remove(os.path.join(game, "uz", name))
            if who == "ours":
                ours.append(timed(redirect(build, "compress", "--game", game, "--quiet"))[0])
            else:
                theirs.append(timed(["bash", "-c", loop], cwd=game)[0])
    o, t = min(ours), min(theirs)
    row("compress 200 packages, 1 GiB", f"{o:.1f} s", f"{t:.1f} s (ucc loop)", ratio(t, o, 1.7))


def needed_game_folder(root, maps):
    """A game folder whose ini file and maps make every package needed: each map imports a
    texture, a sound and a music package of its own, and a stock package."""
    for folder, _ in FOLDERS + [("System", ".u")]:
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    os.makedirs(os.path.join(root, "uz"), exist_ok=True)
    with open(os.path.join(root, "System", "UnrealTournament.ini"), "w") as f:
        f.write("[Engine.GameEngine]\nServerPackages=Botpack\n")
    rng = random.Random(5)
    for i in range(maps):
        own = [f"Tex{i:03d}", f"Snd{i:03d}", f"Mus{i:03d}"]
        files = [("Maps", f"Map{i:03d}.unr", own + ["Botpack"]), ("Textures", own[0] + ".utx", []),
                 ("Sounds", own[1] + ".uax", []), ("Music", own[2] + ".umx", [])]
        for folder, name, imports in files:
            with open(os.path.join(root, folder, name), "wb") as f:
                f.write(synthetic_package(name, rng.randint(2000, 20000), i, imports))


def bench_resync(build, work, _rounds):
    game, home = os.path.join(work, "small"), os.path.join(work, "home-small")
    os.makedirs(home)
    needed_game_folder(game, 250)
    server = Server(work, home)
    try:
        login = ["--game", game, "--server", server.address, "--user", USER, "--quiet"]
        env = dict(os.environ, VARNOX_FTP_PASSWORD=PASSWORD)
        timed(redirect(build, "sync", *login), env=env)
        if len(os.listdir(home)) != 1000:
            raise SystemExit("resync: the first sync did not upload the 1,000 packages")
        runs = [timed(redirect(build, "sync", *login), env=env) for _ in range(5)]
        wall, cpu = sorted(runs)[len(runs) // 2]
        listing, _ = timed(["curl", "-sS", f"ftp://{USER}:{PASSWORD}@{server.address}/"])
    finally:
        server.close()
    load = os.getloadavg()[0]
    row("second sync, 1,000 packages", f"{wall:.3f} s wall",
        f"{cpu:.3f} s CPU; a curl listing {listing:.3f} s; load {load:.1f}",
        (f"{wall:.3f} s", "< 0.2 s", wall < 0.2))


def bench_upload(build, work, rounds):
    uz, home = os.path.join(work, "up", "uz"), os.path.join(work, "home-up")
    os.makedirs(uz)
    os.makedirs(home)
    names = random_files(uz, 100, 1 << 20)
    server = Server(work, home)
    url = f"ftp://{USER}:{PASSWORD}@{server.address}/"
    loop = f'for f in {uz}/*.uz; do curl -sS -T "$f" "{url}" || exit 1; done'
    env = dict(os.environ, VARNOX_FTP_PASSWORD=PASSWORD)
    ours, theirs = [], []
    try:
        for r in range(rounds):
            for who in (("ours", "curl") if r % 2 == 0 else ("curl", "ours")):
                for name in os.listdir(home):
                    os.remove(os.path.join(home, name))
                if who == "ours":
                    ours.append(timed(redirect(build, "upload", "--game", os.path.dirname(uz),
                                               "--server", server.address, "--user", USER,
                                               "--quiet"), env=env)[0])
                else:
                    theirs.append(timed(["bash", "-c", loop])[0])
                if sorted(os.listdir(home)) != names:
                    raise SystemExit(f"{who}: the server does not hold the 100 files")
    finally:
        server.close()
    o, t = statistics.median(ours), statistics.median(theirs)
    row("upload 100 x 1 MiB", f"{o:.2f} s", f"{t:.2f} s (curl per file)", ratio(t, o, 1.0))


missed = []


def row(what, ours, reference, figure):
    """figure is (the figure, the target, whether it was met), the first two as text."""
    figure, target, met = figure
    if not met:
        missed.append(what)
    print(f"{what:<30} {ours:>14}  {reference:<42} {figure:>8}  "
          f"(target {target}: {'met' if met else 'MISSED'})", flush=True)


def ratio(reference, ours, target):
    return f"{reference / ours:.2f}x", f">= {target}x", reference / ours >= target


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--only", choices=["compress", "resync", "upload"])
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    benches = {"compress": bench_compress, "resync": bench_resync, "upload": bench_upload}
    with tempfile.TemporaryDirectory(prefix="varnox-redirect-bench-") as work:
        for name, bench in benches.items():
            if args.only in (None, name):
                bench(build, work, max(1, args.rounds))
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
