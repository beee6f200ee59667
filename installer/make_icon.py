#!/usr/bin/env python3
"""Writes Vantrell.ico, the add-in's icon (its DLL's icon and the package's in Apps and Features):
a white envelope on a blue tile, 16x16 and 32x32, 32-bit with alpha.
Usage: make_icon.py OUTPUT.ico"""
import struct
import sys

BLUE = (0xA8, 0x5F, 0x1F, 0xFF)   # BGRA
DARK = (0x70, 0x3A, 0x10, 0xFF)
WHITE = (0xFF, 0xFF, 0xFF, 0xFF)
CLEAR = (0, 0, 0, 0)


def pixel(size, x, y):
    """The colour at (x, y), y counted from the top."""
    corner = max(1, size // 8)
    # The tile with its corners cut round.
    if (x < corner or x > size - 1 - corner) and (y < corner or y > size - 1 - corner):
        cx = corner if x < corner else size - 1 - corner
        cy = corner if y < corner else size - 1 - corner
        if (x - cx) ** 2 + (y - cy) ** 2 > corner * corner:
            return CLEAR
    # The envelope: a white rectangle with a dark flap drawn as a V from its top corners.
    left, right = size * 3 // 16, size - 1 - size * 3 // 16
    top, bottom = size * 5 // 16, size - 1 - size * 5 // 16
    if left <= x <= right and top <= y <= bottom:
        middle = (left + right) / 2
        flap = top + (middle - left - abs(x - middle)) * (bottom - top) / (right - left) * 1.2
        if abs(y - flap) < max(0.6, size / 28):
            return DARK
        return WHITE
    return BLUE


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):   # bottom-up, as a DIB is stored
        rows.append(b"".join(bytes(pixel(size, x, y)) for x in range(size)))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_row * size)   # the alpha channel decides; the AND mask shows everything
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main():
    sizes = (16, 32)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
