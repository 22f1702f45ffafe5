#!/usr/bin/env python3
"""Draws the program's resource images: res/idle.ico, res/active.ico and
res/background.bmp.

Usage: make_images.py [OUTDIR]   (default: the repo's res/ directory)

Standard library only, and no randomness or timestamps, so every run writes
the same bytes and the checked-in files can be rebuilt and diffed.
"""
import struct
import sys
from pathlib import Path

# The standard 16-colour VGA palette; 4bpp icons show the same on every
# Windows version and colour depth.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
       (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
       (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, GREY, SILVER, RED, WHITE = 0, 8, 7, 9, 15

# One character per column of bars ('1' = black).  Each size gets its own
# pattern: scaling the 32 px one down to 16 px would merge the thin bars.
BARS = {32: "1101001110110010111011",
        16: "1011011101"}


def card(size):
    """inside(x, y) for a landscape card with rounded corners."""
    x0, x1 = 1, size - 2
    y0, y1 = size * 5 // 32, size - 1 - size * 6 // 32
    r = 3 if size >= 32 else 1

    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r + 1
    return inside, (x0, y0, x1, y1)


def icon_pixels(size, active):
    """Rows (top-down) of palette indices; None is transparent."""
    inside, (x0, y0, x1, y1) = card(size)
    bars = BARS[size]
    bx = (size - len(bars)) // 2
    m = 3 if size >= 32 else 2          # white margin above and below the bars
    scan = (size // 2 - 1, size // 2) if size >= 32 else (size // 2,)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            if not inside(x, y):
                # a one-pixel shadow down and right lifts the card off the taskbar
                c = SILVER if inside(x - 1, y - 1) else None
            elif not all(inside(x + dx, y + dy) for dx in (-1, 1) for dy in (-1, 1)):
                c = GREY
            elif y0 + m <= y <= y1 - m and 0 <= x - bx < len(bars) and bars[x - bx] == "1":
                c = BLACK
            else:
                c = WHITE
            # The active state's laser line runs across the whole card, so it
            # still shows when Windows shrinks the icon for the tray.
            if active and y in scan and x0 <= x <= x1:
                c = RED
            row.append(c)
        rows.append(row)
    return rows


def ico_image(rows):
    """A 4bpp DIB as an icon stores it: header, palette, XOR then AND mask."""
    size = len(rows)
    xor = b"".join(bytes((r[x] or 0) << 4 | (r[x + 1] or 0) for x in range(0, size, 2))
                   for r in reversed(rows))   # 4bpp rows are already 4-byte multiples
    and_stride = (size + 31) // 32 * 4
    mask = b""
    for r in reversed(rows):
        bits = int("".join("1" if c is None else "0" for c in r), 2) << (and_stride * 8 - size)
        mask += bits.to_bytes(and_stride, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA)
    return header + palette + xor + mask


def ico(images):
    """ICONDIR + one ICONDIRENTRY per image, then the images themselves."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for rows in images:
        blob = ico_image(rows)
        size = len(rows)
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def background(w=240, h=400):
    """24bpp BI_RGB bitmap: a steel-blue gradient with a faint barcode up top.

    The labels are drawn in black from about y 80 to 330, so the gradient
    stays light there; only the bottom strip gets noticeably darker.
    """
    top, bottom = (206, 222, 238), (150, 178, 212)
    # bar/space widths in 2 px modules, starting and ending with a bar, centred
    # in y 14..56
    widths = [int(c) for c in "211312113142121132113112211413121123111231241231211412121"]
    dark = [False] * w
    x, black = (w - 2 * sum(widths)) // 2, True
    for n in widths:
        for _ in range(2 * n):
            dark[x] = black
            x += 1
        black = not black
    pixels = bytearray()
    for y in reversed(range(h)):            # BMP rows go bottom-up
        t = y / (h - 1)
        base = [round(a + (b - a) * t) for a, b in zip(top, bottom)]
        for x in range(w):
            r, g, b = base
            if 14 <= y <= 56 and dark[x]:   # blend 12% toward navy: seen, not loud
                r, g, b = (round(v * 0.88 + n * 0.12) for v, n in zip(base, (20, 40, 90)))
            pixels += bytes((b, g, r))
        pixels += b"\0" * (-3 * w % 4)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + bytes(pixels)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "res"
    out.mkdir(parents=True, exist_ok=True)
    files = {
        "idle.ico": ico([icon_pixels(32, False), icon_pixels(16, False)]),
        "active.ico": ico([icon_pixels(32, True)]),
        "background.bmp": background(),
    }
    for name, data in files.items():
        (out / name).write_bytes(data)
        print(f"{out / name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
