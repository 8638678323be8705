#!/usr/bin/env python3
"""Prepares a demo game folder for varnox: a folder laid out like an Unreal Tournament
install (System, Maps, Sounds, Music, Textures, uz) holding synthetic packages, our ucc as
System/UCC.exe, and a config.txt beside the program pointing at it. Among the packages is
a large map (about 60 MB), so that compressing it and uploading its .uz show their
progress; the uz folder holds the .uz of a map the game does not have yet, to decompress.

usage: make_demo.py PROGRAM_FOLDER DEMO_FOLDER [--server HOST:PORT --user NAME --password PW]

Existing files are left as they are, so running it again keeps what the user did."""

import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

PACKAGE_TAG = b"\xC1\x83\x2A\x9E"

PACKAGES = {
    "Maps": ["DM-Brindle.unr", "CTF-Redirect.unr", "DM-Tolvrin][.unr"],
    "Sounds": ["BrindleFX.uax"],
    "Music": ["BrindleTheme.umx"],
    "Textures": ["BrindleWalls.utx"],
}
LARGE_MAP = ("CTF-Canyon.unr", 60_000_000)
NEW_MAP = "DM-Ravine.unr"  # only its .uz is in the uz folder


# A texture-like run: a slow ramp of nine steps, shifted by a base value.
RAMP = bytes((i // 7) % 9 for i in range(512))
SHIFTED = [bytes((b + base) & 255 for b in range(256)) for base in range(256)]


def synthetic_package(name, size, seed, noise=0.15):
    """Bytes shaped like a game package: a header, a name table, repeated object records
    and texture-like runs, with some noise (`noise` of the pieces; more noise, less gain
    from compressing)."""
    rng = random.Random(seed)
    out = bytearray(PACKAGE_TAG)
    out += struct.pack("<HHI", 69, 0, 0)
    names = [f"{name.split('.')[0]}_{kind}{i}".encode() for i in range(64)
             for kind in ("Light", "Brush", "Mover", "Sound")]
    for n in names:
        out += bytes([len(n) + 1]) + n + b"\0" + struct.pack("<I", 0x04070010)
    longest_noise = 128 if noise <= 0.15 else 1024
    while len(out) < size:
        kind = rng.random()
        if kind < noise:
            out += rng.randbytes(rng.randrange(16, longest_noise))
        elif kind < (1 + noise) / 2:
            record = struct.pack("<iifff", rng.randrange(256), rng.randrange(4096),
                                 rng.uniform(-4096, 4096), rng.uniform(-4096, 4096),
                                 rng.uniform(-512, 512))
            out += record * rng.randrange(1, 4)
        else:
            base = rng.randrange(256)
            out += RAMP[:rng.randrange(64, 512)].translate(SHIFTED[base])
    return bytes(out[:size])


def write_once(path, data):
    """Writes the file unless it exists, under a temporary name first, so that a run cut
    short leaves no half file for the next run to keep."""
    if not os.path.exists(path):
        part = path + ".part"
        with open(part, "wb") as f:
            f.write(data)
        os.replace(part, path)


def make_uz_once(tool, package_name, seed, uz_folder):
    """Puts the .uz of a synthetic package into the uz folder, made by our ucc, unless it is
    there; the package itself goes nowhere."""
    target = os.path.join(uz_folder, package_name + ".uz")
    if os.path.exists(target) or not os.path.exists(tool):
        return
    with tempfile.TemporaryDirectory(dir=uz_folder) as work:
        package = os.path.join(work, package_name)
        write_once(package, synthetic_package(package_name, 300_000, seed))
        subprocess.run([tool, "compress", package], check=True, stdout=subprocess.DEVNULL)
        os.replace(package + ".uz", target)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program_folder")
    parser.add_argument("demo_folder")
    parser.add_argument("--server", default="")
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    args = parser.parse_args()

    program = os.path.abspath(args.program_folder)
    game = os.path.join(os.path.abspath(args.demo_folder), "UnrealTournament")
    for sub in ["System", "Maps", "Sounds", "Music", "Textures", "uz"]:
        os.makedirs(os.path.join(game, sub), exist_ok=True)

    seed = 1
    for folder, names in PACKAGES.items():
        for name in names:
            size = 300_000 if folder == "Maps" else 120_000
            write_once(os.path.join(game, folder, name), synthetic_package(name, size, seed))
            seed += 1
    name, size = LARGE_MAP
    write_once(os.path.join(game, "Maps", name), synthetic_package(name, size, seed, noise=0.3))

    tool = os.path.join(program, "ucc")
    target = os.path.join(game, "System", "UCC.exe")
    if os.path.exists(tool):
        shutil.copy2(tool, target)  # refreshed each time, so the demo uses the built tool
    else:
        print(f"note: {tool} is not built yet; the demo has no game tool", file=sys.stderr)
    make_uz_once(tool, NEW_MAP, seed + 1, os.path.join(game, "uz"))

    write_once(os.path.join(game, "uz", "a.txt"), b"Do NOT delete this file.\r\n")

    config = os.path.join(program, "config.txt")
    if not os.path.exists(config):
        drive = "c: [/]"
        records = [("UTpath:", game), ("UTDrive:", drive), ("ServerIP:", args.server),
                   ("Username:", args.user), ("Password:", args.password),
                   ("UZPath:", game + "/uz")]
        text = "".join(f'"{k}","{v}"\r\n' for k, v in records)
        fd = os.open(config, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
        with os.fdopen(fd, "wb") as f:
            f.write(text.encode())
    print(game)


if __name__ == "__main__":
    main()
