#!/usr/bin/env python3
"""Prepares a demo game folder for varnox: a folder laid out like an Unreal Tournament
install (System, Maps, Sounds, Music, Textures, uz) holding synthetic packages, our ucc as
System/UCC.exe, and a config.txt beside the program pointing at it. Among the packages is
a large map (about 60 MB), so that compressing it and uploading its .uz show their
progress; the uz folder holds the .uz of a map the game does not have yet, to decompress.
The packages carry real name and import tables: the maps import the demo's textures, sounds
and music and stock packages, and System/UnrealTournament.ini names a code package of the
demo in ServerPackages, so that `varnox-redirect needs` has a needed set to show.

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

# Each package with the packages it imports.
PACKAGES = {
    "Maps": {
        "DM-Brindle.unr": ["BrindleWalls", "BrindleFX", "Botpack", "Engine"],
        "CTF-Redirect.unr": ["BrindleWalls", "BrindleTheme", "Botpack"],
        "DM-Tolvrin][.unr": ["Engine", "UnrealShare"],
    },
    "Sounds": {"BrindleFX.uax": ["Core"]},
    "Music": {"BrindleTheme.umx": ["Core"]},
    "Textures": {"BrindleWalls.utx": ["Engine"], "OldWalls.utx": ["Engine"]},
    "System": {"BrindleMutator.u": ["Core", "Engine", "BrindleWalls"]},
}
LARGE_MAP = ("CTF-Canyon.unr", 60_000_000, ["BrindleWalls", "Botpack"])
NEW_MAP = "DM-Ravine.unr"  # only its .uz is in the uz folder
INI = """[Engine.GameEngine]\r
ServerPackages=SoldierSkins\r
ServerPackages=Botpack\r
ServerPackages=BrindleMutator\r
[Core.System]\r
Paths=../System/*.u\r
Paths=../Maps/*.unr\r
Paths=../Textures/*.utx\r
Paths=../Sounds/*.uax\r
Paths=../Music/*.umx\r
[IpDrv.HTTPDownload]\r
; Serve the demo server's folder over HTTP here for `varnox-redirect check`, for example\r
; with python3 -m http.server 8080 --bind 127.0.0.1 --directory build/demo/redirect\r
RedirectToURL=http://127.0.0.1:8080/\r
UseCompression=True\r
"""


# A texture-like run: a slow ramp of nine steps, shifted by a base value.
RAMP = bytes((i // 7) % 9 for i in range(512))
SHIFTED = [bytes((b + base) & 255 for b in range(256)) for base in range(256)]


def compact_index(value):
    """The package format's compact index of a value from 0 up."""
    out = bytearray([(0x40 if value >= 0x40 else 0) | (value & 0x3F)])
    value >>= 6
    while value:
        out.append((0x80 if value >= 0x80 else 0) | (value & 0x7F))
        value >>= 7
    return bytes(out)


def synthetic_package(name, size, seed, imports=(), noise=0.15):
    """Bytes shaped like a game package (engine version 69): a header, a name table, an
    import table that imports each of `imports` as the game does (the package, a group in
    it, an object in the group), then repeated object records and texture-like runs with
    some noise (`noise` of the pieces; more noise, less gain from compressing), and a table
    of empty exports."""
    rng = random.Random(seed)
    stem = name.split(".")[0]
    names = ["None", "Core", "Package", "Engine", "Texture", "Group", "Object"]
    table = []
    for imported in imports:
        index = len(names)
        names.append(imported)
        first = -(len(table) + 1)
        table += [(1, 2, 0, index), (1, 2, first, 5), (3, 4, first - 1, 6)]
    names += [f"{stem}_{kind}{i}" for i in range(64) for kind in ("Light", "Brush", "Mover")]
    name_table = b"".join(bytes([len(n.encode()) + 1]) + n.encode() + b"\0" +
                          struct.pack("<I", 0x04070010) for n in names)
    import_table = b"".join(compact_index(c) + compact_index(k) + struct.pack("<i", outer) +
                            compact_index(o) for c, k, outer, o in table)
    exports = 1
    header_size = 4 + 2 + 2 + 4 + 6 * 4 + 16 + 4 + 8
    name_offset = header_size
    import_offset = name_offset + len(name_table)
    body_offset = import_offset + len(import_table)
    body_size = max(0, size - body_offset - 12 * exports)
    export_offset = body_offset + body_size
    out = bytearray(PACKAGE_TAG)
    out += struct.pack("<HHI", 69, 0, 1)
    out += struct.pack("<IIIIII", len(names), name_offset, exports, export_offset, len(table),
                       import_offset)
    out += bytes(range(0, 256, 17)) + struct.pack("<III", 1, exports, len(names))
    out += name_table + import_table
    body_end = len(out) + body_size
    longest_noise = 128 if noise <= 0.15 else 1024
    while len(out) < body_end:
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
    return bytes(out[:body_end]) + bytes(12 * exports)


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
    for folder, packages in PACKAGES.items():
        for name, imports in packages.items():
            size = 300_000 if folder == "Maps" else 120_000
            write_once(os.path.join(game, folder, name),
                       synthetic_package(name, size, seed, imports))
            seed += 1
    name, size, imports = LARGE_MAP
    write_once(os.path.join(game, "Maps", name),
               synthetic_package(name, size, seed, imports, noise=0.3))
    write_once(os.path.join(game, "System", "UnrealTournament.ini"), INI.encode())

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
