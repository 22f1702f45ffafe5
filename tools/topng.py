#!/usr/bin/env python3
"""Turns the 24-bit BMP pictures tools/demo.cpp takes into PNG files, with
the standard library only:  topng.py PICTURE.bmp ...  writes PICTURE.png
beside each and removes the BMP."""
import os, struct, sys, zlib


def bmp_rows(data):
    """The picture's rows, top first, as RGB bytes; and its size."""
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bpp, compression = struct.unpack_from("<iiHHI", data, 18)
    if bpp != 24 or compression != 0:
        sys.exit("topng: only uncompressed 24-bit pictures")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        line = data[offset + y * stride:offset + y * stride + width * 3]
        rgb = bytearray(len(line))
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::3], line[1::3], line[0::3]  # B G R
        rows.append(bytes(rgb))
    if height > 0:  # stored bottom-up
        rows.reverse()
    return rows, width, abs(height)


def png(rows, width, height):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body)))
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def main(paths):
    for path in paths:
        with open(path, "rb") as f:
            rows, width, height = bmp_rows(f.read())
        with open(os.path.splitext(path)[0] + ".png", "wb") as f:
            f.write(png(rows, width, height))
        os.unlink(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
