#!/usr/bin/env python3
"""Prepares a demo game folder for varnox: a folder laid out like an Unreal Tournament
install (System, Maps, Sounds, Music, Textures, uz) holding synthetic packages, our ucc as
System/UCC.exe, and a config.txt beside the program pointing at it.

usage: make_demo.py PROGRAM_FOLDER DEMO_FOLDER [--server HOST:PORT --user NAME --password PW]

Existing files are left as they are, so running it again keeps what the user did."""

import argparse
import os
import random
import shutil
import struct
import sys

PACKAGE_TAG = b"\xC1\x83\x2A\x9E"

PACKAGES = {
    "Maps": ["DM-Brindle.unr", "CTF-Redirect.unr", "DM-Tolvrin][.unr"],
    "Sounds": ["BrindleFX.uax"],
    "Music": ["BrindleTheme.umx"],
    "Textures": ["BrindleWalls.utx"],
}


def synthetic_package(name, size, seed):
    """Bytes shaped like a game package: a header, a name table, repeated object records
    and texture-like runs, with some noise."""
    rng = random.Random(seed)
    out = bytearray(PACKAGE_TAG)
    out += struct.pack("<HHI", 69, 0, 0)
    names = [f"{name.split('.')[0]}_{kind}{i}".encode() for i in range(64)
             for kind in ("Light", "Brush", "Mover", "Sound")]
    for n in names:
        out += bytes([len(n) + 1]) + n + b"\0" + struct.pack("<I", 0x04070010)
    while len(out) < size:
        kind = rng.random()
        if kind < 0.5:
            record = struct.pack("<iifff", rng.randrange(256), rng.randrange(4096),
                                 rng.uniform(-4096, 4096), rng.uniform(-4096, 4096),
                                 rng.uniform(-512, 512))
            out += record * rng.randrange(1, 4)
        elif kind < 0.85:
            base = rng.randrange(256)
            out += bytes((base + (i // 7) % 9) & 255 for i in range(rng.randrange(64, 512)))
        else:
            out += bytes(rng.randrange(256) for _ in range(rng.randrange(16, 128)))
    return bytes(out[:size])


def write_once(path, data):
    if not os.path.exists(path):
        with open(path, "wb") as f:
            f.write(data)


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

    tool = os.path.join(program, "ucc")
    target = os.path.join(game, "System", "UCC.exe")
    if os.path.exists(tool):
        shutil.copy2(tool, target)  # refreshed each time, so the demo uses the built tool
    else:
        print(f"note: {tool} is not built yet; the demo has no game tool", file=sys.stderr)

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
