#!/usr/bin/env python3
"""Writes the program's icon: a speech bubble with a quill, as a 16-colour
icon holding a 32x32 and a 16x16 image.

    make_icon.py OUTPUT.ico
"""
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# '.' is transparent; every other letter names a palette entry.
INK = {"K": 0, "N": 4, "T": 6, "C": 14, "W": 15, "S": 7, "Y": 11}

SMALL = [
    "................",
    "...NNNNNNNNNN...",
    "..NCCCCCCCCCCN..",
    ".NCCCCCCCCCSWCN.",
    ".NCCCCCCCCSWWCN.",
    ".NCCCCCCCSWWCCN.",
    ".NCCCCCCSWWCCCN.",
    ".NCCCCCSWWCCCCN.",
    ".NCCCCSWWCCCCCN.",
    ".NCCCKSWCCCCCCN.",
    "..NCKKCCCCCCCN..",
    "...NNNNNNNNNN...",
    "...NCN..........",
    "..NCN...........",
    ".NN.............",
    "................",
]

LARGE = [
    "................................",
    "................................",
    "......NNNNNNNNNNNNNNNNNNNN......",
    ".....NNCCCCCCCCCCCCCCCCCCNN.....",
    "....NNCCCCCCCCCCCCCCCCCCCCNN....",
    "...NNCCCCCCCCCCCCCCCCCCCCCCNN...",
    "...NCCCCCCCCCCCCCCCCCCSSWWCCN...",
    "...NCCCCCCCCCCCCCCCCCSSWWWCCN...",
    "...NCCCCCCCCCCCCCCCCSSWWWWCCN...",
    "...NCCCCCCCCCCCCCCCSSWWWWCCCN...",
    "...NCCCCCCCCCCCCCCSSWWWWCCCCN...",
    "...NCCCCCCCCCCCCCSSWWWWCCCCCN...",
    "...NCCCCCCCCCCCCSSWWWWCCCCCCN...",
    "...NCCCCCCCCCCCSSWWWWCCCCCCCN...",
    "...NCCCCCCCCCCSSWWWWCCCCCCCCN...",
    "...NCCCCCCCCCSSWWWWCCCCCCCCCN...",
    "...NCCCCCCCCSSWWWWCCCCCCCCCCN...",
    "...NCCCCCCCYSWWWWCCCCCCCCCCCN...",
    "...NCCCCCCKYYWWCCCCCCCCCCCCCN...",
    "...NCCCCCKKYYCCCCCCCCCCCCCCCN...",
    "...NCCCCKKKCCCCCCCCCCCCCCCCCN...",
    "...NNCCCKKCCCCCCCCCCCCCCCCCNN...",
    "....NNCCCCCCCCCCCCCCCCCCCCNN....",
    ".....NNCCCCCCCCCCCCCCCCCCNN.....",
    "......NNNNCCNNNNNNNNNNNNNN......",
    "........NCCN....................",
    ".......NCCN.....................",
    "......NCCN......................",
    ".....NCN........................",
    "....NNN.........................",
    "...NN...........................",
    "................................",
]


def image(rows):
    size = len(rows)
    assert all(len(row) == size for row in rows), "icon rows must be square"
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour_stride = ((size * 4 + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    colour = b""
    mask = b""
    for row in reversed(rows):  # bitmaps are stored bottom-up
        nibbles = [INK.get(ch, 0) for ch in row]
        line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        colour += line.ljust(colour_stride, b"\0")
        bits = 0
        for ch in row:
            bits = (bits << 1) | (1 if ch == "." else 0)
        mask += bits.to_bytes(size // 8, "big").ljust(mask_stride, b"\0")
    return header + palette + colour + mask


def main():
    images = [(32, image(LARGE)), (16, image(SMALL))]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    data = b""
    for size, bits in images:
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(bits), offset + len(data))
        data += bits
    with open(sys.argv[1], "wb") as out:
        out.write(directory + data)


if __name__ == "__main__":
    main()
