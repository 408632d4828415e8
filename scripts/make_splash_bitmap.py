#!/usr/bin/env python3
"""Draws the splash picture (bitmap 105) and writes it as src/ui/splash.bmp.

64 x 120 pixels, 8 bits per pixel with a 256-colour palette, uncompressed
(BI_RGB), rows stored bottom-up as the format wants. The picture: a small
oscilloscope screen with a grid and two traces above an acquisition board
with its connector pins and chips. Plain Python, deterministic output:

    scripts/make_splash_bitmap.py            # rewrite src/ui/splash.bmp
    scripts/make_splash_bitmap.py --check    # fail if the file is stale
"""
import math
import pathlib
import struct
import sys

WIDTH, HEIGHT = 64, 120
OUT = pathlib.Path(__file__).resolve().parent.parent / "src" / "ui" / "splash.bmp"


def palette():
    """256 RGB entries: 0-63 night blues, 64-127 phosphor greens,
    128-191 board greens, 192-255 greys/metal."""
    colours = []
    for i in range(64):  # background gradient, dark to mid blue
        colours.append((8 + i // 2, 16 + i // 2, 48 + i * 2))
    for i in range(64):  # trace greens, dim to bright
        colours.append((20 + i, 80 + i * 2, 40 + i))
    for i in range(64):  # printed-circuit greens
        colours.append((10 + i // 2, 60 + i, 30 + i // 2))
    for i in range(64):  # greys: black to white
        v = i * 4 + 3
        colours.append((v, v, v))
    return colours


BLUE, TRACE, PCB, GREY = 0, 64, 128, 192


def draw():
    px = [[BLUE] * WIDTH for _ in range(HEIGHT)]

    def put(x, y, c):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            px[y][x] = c

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                put(x, y, c)

    # Background: vertical gradient.
    for y in range(HEIGHT):
        rect(0, y, WIDTH, y + 1, BLUE + (y * 63) // (HEIGHT - 1))

    # Scope: bezel, screen, grid.
    rect(3, 6, 61, 62, GREY + 40)
    rect(5, 8, 59, 60, GREY + 2)
    for x in range(5, 59, 9):
        for y in range(8, 60, 2):
            put(x, y, TRACE + 10)
    for y in range(8, 60, 9):
        for x in range(5, 59, 2):
            put(x, y, TRACE + 10)

    # Two traces: a sine and a square wave, each with a faint glow.
    for x in range(5, 59):
        t = (x - 5) / 53.0
        y = int(round(22 - 9 * math.sin(t * 2 * math.pi * 1.5)))
        for dy, c in ((-1, TRACE + 30), (1, TRACE + 30), (0, TRACE + 63)):
            put(x, y + dy, c)
        sq = 44 if ((x - 5) // 9) % 2 == 0 else 54
        put(x, sq, TRACE + 50)
        if x > 5 and (x - 5) % 9 == 0:  # square-wave edges
            for y in range(45, 54):
                put(x, y, TRACE + 40)

    # Board: PCB with edge connector pins, two chips and traces.
    rect(6, 70, 58, 112, PCB + 20)
    rect(6, 70, 58, 71, PCB + 50)
    for x in range(8, 57, 4):
        rect(x, 112, x + 2, 117, GREY + 50)
    rect(12, 76, 30, 90, GREY + 6)
    rect(34, 76, 52, 90, GREY + 6)
    for x in range(13, 30, 3):
        put(x, 75, GREY + 55)
        put(x, 90, GREY + 55)
    for x in range(35, 52, 3):
        put(x, 75, GREY + 55)
        put(x, 90, GREY + 55)
    for x in range(10, 55):
        put(x, 98, PCB + 63)
        put(x, 104, PCB + 63)
    for y in range(92, 110):
        put(20, y, PCB + 63)
        put(44, y, PCB + 63)
    # A status LED.
    rect(52, 100, 55, 103, TRACE + 63)
    return px


def bitmap_bytes():
    pixels = draw()
    row_bytes = (WIDTH + 3) & ~3
    image = bytearray()
    for y in reversed(range(HEIGHT)):  # bottom-up
        row = bytes(pixels[y])
        image += row + bytes(row_bytes - WIDTH)
    pal = bytearray()
    for r, g, b in palette():
        pal += bytes((b, g, r, 0))  # RGBQUAD
    offset = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(image),
                       2835, 2835, 256, 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    return header + info + bytes(pal) + bytes(image)


def main(argv):
    data = bitmap_bytes()
    if "--check" in argv:
        if not OUT.exists() or OUT.read_bytes() != data:
            print(f"{OUT} is stale: run {sys.argv[0]}", file=sys.stderr)
            return 1
        return 0
    OUT.write_bytes(data)
    print(f"wrote {OUT} ({len(data)} bytes)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
