"""Deterministic inputs for the .uz benchmark.

package_like() imitates the make-up of a game package: a header, a name table, import and
export tables of compact indices, runs of repeated serialised structures (property lists,
vertex and polygon records), palettised texture-like pictures with their mipmaps, and a
share of noise standing for already-compressed sound. The other inputs are the extremes:
random bytes, one short pattern repeated, and zero bytes.
"""

import math
import random
import struct

SYLLABLES = ["dm", "ctf", "dom", "as", "deck", "face", "morph", "ine", "tor", "light",
             "brush", "mover", "zone", "info", "player", "start", "path", "node", "sky",
             "tex", "wall", "floor", "metal", "rock", "water", "lava", "sound", "amb",
             "trigger", "door", "lift", "spawn", "weapon", "ammo", "health", "armor"]


def compact_index(value):
    out = bytearray()
    magnitude = abs(value)
    first = magnitude & 0x3F
    if value < 0:
        first |= 0x80
    magnitude >>= 6
    if magnitude:
        first |= 0x40
    out.append(first)
    while magnitude:
        nxt = magnitude & 0x7F
        magnitude >>= 7
        if magnitude:
            nxt |= 0x80
        out.append(nxt)
    return bytes(out)


def name(rng):
    parts = [rng.choice(SYLLABLES) for _ in range(rng.randint(1, 3))]
    text = "".join(p.capitalize() for p in parts)
    if rng.random() < 0.3:
        text += str(rng.randint(0, 99))
    return text


def name_table(rng, count):
    out = bytearray()
    for _ in range(count):
        text = name(rng).encode() + b"\0"
        out += compact_index(len(text)) + text
        out += struct.pack("<I", rng.choice([0x00070010, 0x00040010, 0x00070004, 0x00000010]))
    return bytes(out)


def import_export_tables(rng, names, count):
    out = bytearray()
    for _ in range(count):
        out += compact_index(rng.randrange(names)) + compact_index(rng.randrange(names))
        out += struct.pack("<i", -rng.randint(1, 40))
        out += compact_index(rng.randrange(names))
        out += struct.pack("<I", rng.choice([0x00070004, 0x000F0004, 0x00040000]))
        out += compact_index(rng.randint(20, 20000)) + compact_index(rng.randint(100, 900000))
    return bytes(out)


def property_lists(rng, names, count):
    out = bytearray()
    for _ in range(count):
        for _ in range(rng.randint(2, 8)):
            out += compact_index(rng.randrange(names))
            kind = rng.choice([0x21, 0x22, 0x24, 0x25, 0x2A, 0x53])
            out.append(kind)
            if kind in (0x21, 0x25):
                out += struct.pack("<i", rng.choice([0, 1, 255, rng.randint(-1000, 1000)]))
            elif kind == 0x24:
                out += struct.pack("<f", round(rng.uniform(-4096, 4096), 1))
            elif kind == 0x53:
                out += struct.pack("<fff", *(float(rng.randint(-64, 64) * 16) for _ in range(3)))
            else:
                out.append(rng.randint(0, 3))
        out += compact_index(0)  # "None" ends the list
    return bytes(out)


def geometry(rng, count):
    out = bytearray()
    base = [rng.randint(-2048, 2048) for _ in range(3)]
    for i in range(count):
        if i % 64 == 0:
            base = [rng.randint(-2048, 2048) for _ in range(3)]
        x, y, z = (b + rng.choice([0, 16, 32, 64, 128]) for b in base)
        out += struct.pack("<fff", x, y, z)
        out += struct.pack("<fff", 0.0, 0.0, rng.choice([1.0, -1.0]))
        out += struct.pack("<IIHH", rng.randrange(4096), 0x00000001 | rng.choice([0, 0x40, 0x400]),
                           rng.randrange(64) * 16, rng.randrange(64) * 16)
    return bytes(out)


def texture(rng, size):
    out = bytearray()
    palette = bytearray()
    hue = rng.random() * math.tau
    for i in range(256):
        t = i / 255
        palette += bytes((int(255 * t * (0.6 + 0.4 * math.cos(hue))) & 0xFF,
                          int(255 * t * (0.6 + 0.4 * math.cos(hue + 2))) & 0xFF,
                          int(255 * t * (0.6 + 0.4 * math.cos(hue + 4))) & 0xFF, 0))
    out += palette
    fx, fy = rng.uniform(0.01, 0.1), rng.uniform(0.01, 0.1)
    noise = rng.choice([0, 2, 4, 8])
    level = size
    while level >= 8:
        wave_x = [int(64 * math.sin(x * fx * size / level)) for x in range(level)]
        for y in range(level):
            wy = int(64 * math.cos(y * fy * size / level)) + 128
            if noise:
                row = bytes((wy + wx + rng.randint(-noise, noise)) & 0xFF for wx in wave_x)
            else:
                row = bytes((wy + wx) & 0xFF for wx in wave_x)
            out += row
        level //= 2
    return bytes(out)


def package_like(size, seed=1234):
    rng = random.Random(seed)
    out = bytearray()
    out += struct.pack("<IHHI", 0x9E2A83C1, 69, 0, 0x0001)
    names = 1500
    out += struct.pack("<8I", names, 64, 4000, 0, 3000, 0, 0, 0)
    out += name_table(rng, names)
    out += import_export_tables(rng, names, 3000)
    while len(out) < size:
        pick = rng.random()
        if pick < 0.35:
            out += texture(rng, rng.choice([64, 128, 256]))
        elif pick < 0.55:
            out += property_lists(rng, names, rng.randint(50, 400))
        elif pick < 0.75:
            out += geometry(rng, rng.randint(200, 3000))
        elif pick < 0.88:
            out += rng.randbytes(rng.randint(8000, 120000))
        else:
            out += import_export_tables(rng, names, rng.randint(100, 1000))
    return bytes(out[:size])


def random_bytes(size, seed=99):
    return random.Random(seed).randbytes(size)


def repeated_pattern(size, pattern=b"Engine.Actor\0"):
    return (pattern * (size // len(pattern) + 1))[:size]


def zero_bytes(size):
    return bytes(size)
