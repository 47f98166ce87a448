#!/usr/bin/env python3
"""Pictures in the forms Windows resources take, made at build time from the
PNG files the Linux window uses: a logo as a 24-bit BMP (a static control
shows bitmaps), and an icon as one .ico holding every size (PNG inside, which
Windows takes since Vista).

    windows_images.py bmp LOGO.png LOGO.bmp
    windows_images.py ico ICON.ico ICON-16.png ICON-32.png ...
"""
import struct
import sys
import zlib


def read_png_rgb(path):
    """The pixels of an 8-bit RGB or RGBA PNG, rows top down, as RGB bytes."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        sys.exit(f"{path}: only 8-bit RGB or RGBA, not interlaced")
    channels = 3 if colour == 2 else 4
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - channels] if x >= channels else 0
            b = previous[x]
            c = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + a) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + b) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append(bytes(line[i:i + 3]) for i in range(0, stride, channels))
        rows[-1] = b"".join(rows[-1])
        previous = line
    return width, height, rows


def write_bmp(path, width, height, rows):
    padding = b"\0" * ((4 - width * 3 % 4) % 4)
    pixels = b"".join(
        b"".join(row[i:i + 3][::-1] for i in range(0, len(row), 3)) + padding for row in reversed(rows))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    open(path, "wb").write(header + info + pixels)


def write_ico(path, pngs):
    images = [open(png, "rb").read() for png in pngs]
    directory, offset = b"", 6 + 16 * len(images)
    for image in images:
        width, height = struct.unpack(">II", image[16:24])
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    open(path, "wb").write(struct.pack("<HHH", 0, 1, len(images)) + directory + b"".join(images))


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "bmp":
        write_bmp(sys.argv[3], *read_png_rgb(sys.argv[2]))
    elif len(sys.argv) >= 4 and sys.argv[1] == "ico":
        write_ico(sys.argv[2], sys.argv[3:])
    else:
        sys.exit(__doc__)
