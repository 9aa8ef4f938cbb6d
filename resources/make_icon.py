"""Turns the text pixel map of the program's icon into an .ico file: one
16 x 16 image, 24 bits per pixel, with a 1-bit transparency mask."""

import struct
import sys

PALETTE = {
    "K": (0, 0, 0),
    "W": (255, 255, 255),
    "G": (191, 191, 191),
    "N": (0, 0, 127),
}
SIZE = 16


def read_rows(path):
    with open(path, encoding="ascii") as source:
        rows = [line.rstrip("\n") for line in source if not line.startswith("#")]
    rows = [row for row in rows if row]
    if len(rows) != SIZE or any(len(row) != SIZE for row in rows):
        sys.exit(f"{path}: expected {SIZE} rows of {SIZE} pixels")
    for row in rows:
        for pixel in row:
            if pixel != "." and pixel not in PALETTE:
                sys.exit(f"{path}: unknown pixel '{pixel}'")
    return rows


def icon_bytes(rows):
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom row first
        bits = 0
        for pixel in row:
            red, green, blue = PALETTE.get(pixel, (0, 0, 0))
            colour += bytes((blue, green, red))
            bits = (bits << 1) | (pixel == ".")
        mask += struct.pack(">H", bits) + b"\0\0"  # each mask row padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


def main():
    source, target = sys.argv[1:3]
    with open(target, "wb") as out:
        out.write(icon_bytes(read_rows(source)))


if __name__ == "__main__":
    main()
