#!/usr/bin/env python3
"""Turns a pixel picture (32 lines of 32 letters) into a 32 x 32, 16-colour .ico file."""

import argparse
import struct
import sys

SIZE = 32

# The standard 16-colour Windows palette, in palette order, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# The letters of the picture and their palette indexes; "." is a transparent pixel.
LETTERS = {"K": 0, "E": 2, "N": 4, "S": 7, "G": 8, "R": 9, "L": 10, "W": 15}


def read_picture(path):
    rows = []
    with open(path, encoding="ascii") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if line.startswith("#") or not line:
                continue
            if len(line) != SIZE:
                raise ValueError(f"{path}:{number}: {len(line)} pixels, expected {SIZE}")
            for letter in line:
                if letter != "." and letter not in LETTERS:
                    raise ValueError(f"{path}:{number}: unknown letter {letter!r}")
            rows.append(line)
    if len(rows) != SIZE:
        raise ValueError(f"{path}: {len(rows)} rows, expected {SIZE}")
    return rows


def encode_icon(rows):
    """The .ico bytes: directory, one entry, and a 4-bit DIB with its AND mask."""
    colours = bytearray()  # bottom-up rows, two pixels a byte
    mask = bytearray()  # bottom-up rows, one bit a pixel, set = transparent
    for row in reversed(rows):
        indexes = [LETTERS.get(letter, 0) for letter in row]
        for i in range(0, SIZE, 2):
            colours.append(indexes[i] << 4 | indexes[i + 1])
        bits = 0
        for letter in row:
            bits = bits << 1 | (letter == ".")
        mask += bits.to_bytes(SIZE // 8, "big")
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    # The height counts the colour rows and the mask rows together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 0, 0)
    image = header + palette + bytes(colours) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("picture", help="the pixel picture (text)")
    parser.add_argument("output", help="the .ico file to write")
    args = parser.parse_args()
    try:
        icon = encode_icon(read_picture(args.picture))
    except (OSError, ValueError) as error:
        print(f"make_icon: {error}", file=sys.stderr)
        return 1
    with open(args.output, "wb") as out:
        out.write(icon)
    return 0


if __name__ == "__main__":
    sys.exit(main())
