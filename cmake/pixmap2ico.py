#!/usr/bin/env python3
"""Turns text pixel maps into a Windows .ico file of 16-colour images.

usage: pixmap2ico.py OUT.ico MAP.txt[:SCALE] ...

Each map holds one square image: lines starting with '#' are comments, every
other non-blank line is one row of pixels, one character per pixel. SCALE
(default 1) enlarges the map by repeating pixels, so one drawing can also give
a larger image. The characters name the standard 16-colour palette:

  .  transparent      k black       m maroon    g green     o olive
  n  navy             p purple      t teal      s silver    d gray
  R  red              G lime        Y yellow    B blue      P fuchsia
  c  aqua             w white
"""
import struct
import sys

PALETTE = [
    ("k", (0, 0, 0)), ("m", (128, 0, 0)), ("g", (0, 128, 0)), ("o", (128, 128, 0)),
    ("n", (0, 0, 128)), ("p", (128, 0, 128)), ("t", (0, 128, 128)), ("s", (192, 192, 192)),
    ("d", (128, 128, 128)), ("R", (255, 0, 0)), ("G", (0, 255, 0)), ("Y", (255, 255, 0)),
    ("B", (0, 0, 255)), ("P", (255, 0, 255)), ("c", (0, 255, 255)), ("w", (255, 255, 255)),
]
INDEX = {name: i for i, (name, _) in enumerate(PALETTE)}
TRANSPARENT = "."


def read_map(path, scale):
    with open(path, encoding="ascii") as f:
        rows = [line.rstrip("\n") for line in f if line.strip() and not line.startswith("#")]
    size = len(rows)
    for number, row in enumerate(rows, 1):
        if len(row) != size:
            sys.exit(f"{path}: row {number} has {len(row)} pixels, the image is {size} x {size}")
        for ch in row:
            if ch != TRANSPARENT and ch not in INDEX:
                sys.exit(f"{path}: row {number}: '{ch}' is not in the palette")
    return [[ch for ch in row for _ in range(scale)] for row in rows for _ in range(scale)]


def pack_rows(rows, bits_per_pixel, value):
    """Bottom-up rows, each padded to a multiple of 4 bytes, as DIBs store them."""
    out = bytearray()
    for row in reversed(rows):
        bits = 0
        count = 0
        line = bytearray()
        for ch in row:
            bits = (bits << bits_per_pixel) | value(ch)
            count += bits_per_pixel
            if count == 8:
                line.append(bits)
                bits = count = 0
        if count:
            line.append(bits << (8 - count))
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def image_data(pixels):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in PALETTE)
    colour = pack_rows(pixels, 4, lambda ch: 0 if ch == TRANSPARENT else INDEX[ch])
    mask = pack_rows(pixels, 1, lambda ch: 1 if ch == TRANSPARENT else 0)
    return header + palette + colour + mask


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    images = []
    for arg in argv[2:]:
        path, _, scale = arg.partition(":")
        images.append(read_map(path, int(scale or 1)))
    blobs = [image_data(p) for p in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for pixels, blob in zip(images, blobs):
        size = len(pixels)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    out += b"".join(blobs)
    with open(argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv)
