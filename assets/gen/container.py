"""File formats: BMP, PNG and ICO bytes, and reading PNG files back.

Everything written here depends only on the pixels: no timestamps, no
text chunks, no tool versions.  The one outside dependency is zlib's
deflate for PNG data, which is stable for a given zlib build."""

import struct
import zlib

from .raster import Canvas, LayoutError


# ---------------------------------------------------------------------------
# BMP
# ---------------------------------------------------------------------------

def bmp_bytes(img):
    """24-bit bottom-up BMP with a BITMAPINFOHEADER; rows padded to 4 bytes."""
    row_size = (img.width * 3 + 3) & ~3
    pad = b"\0" * (row_size - img.width * 3)
    rows = []
    for y in range(img.height - 1, -1, -1):
        line = bytearray()
        for x in range(img.width):
            r, g, b, _ = img.get(x, y)
            line += bytes((b, g, r))
        rows.append(bytes(line) + pad)
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, img.width, img.height, 1, 24, 0,
                       len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + pixels


# ---------------------------------------------------------------------------
# PNG
# ---------------------------------------------------------------------------

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def _chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _filter_row(row, prev, bpp):
    """The row under the filter (0..4) whose output has the smallest sum of
    magnitudes, the usual heuristic; ties go to the lower filter number."""
    n = len(row)
    left = bytes(bpp) + row[:n - bpp]
    upleft = bytes(bpp) + prev[:n - bpp]
    candidates = [
        bytes(row),
        bytes((row[i] - left[i]) & 0xFF for i in range(n)),
        bytes((row[i] - prev[i]) & 0xFF for i in range(n)),
        bytes((row[i] - ((left[i] + prev[i]) >> 1)) & 0xFF for i in range(n)),
        bytes((row[i] - _paeth(left[i], prev[i], upleft[i])) & 0xFF
              for i in range(n)),
    ]
    best = min(range(5), key=lambda f: (
        sum(v if v < 128 else 256 - v for v in candidates[f]), f))
    return bytes((best,)) + candidates[best]


def png_bytes(img, alpha=True):
    """8-bit RGBA (or RGB) PNG, non-interlaced, one IDAT chunk."""
    bpp = 4 if alpha else 3
    raw = bytearray()
    prev = bytes(img.width * bpp)
    for y in range(img.height):
        row = bytearray()
        for r, g, b, a in img.px[y]:
            row += bytes((r, g, b, a)) if alpha else bytes((r, g, b))
        row = bytes(row)
        raw += _filter_row(row, prev, bpp)
        prev = row
    header = struct.pack(">IIBBBBB", img.width, img.height, 8,
                         6 if alpha else 2, 0, 0, 0)
    return (PNG_SIGNATURE + _chunk(b"IHDR", header) +
            _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            _chunk(b"IEND", b""))


def png_read(data):
    """Canvas from an 8-bit RGBA or RGB, non-interlaced PNG (what
    rsvg-convert writes).  Anything else is refused."""
    if not data.startswith(PNG_SIGNATURE):
        raise LayoutError("not a PNG file")
    pos = len(PNG_SIGNATURE)
    header = None
    idat = bytearray()
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc = data[pos + 8 + length:pos + 12 + length]
        if len(body) != length or len(crc) != 4 or \
                struct.unpack(">I", crc)[0] != zlib.crc32(kind + body):
            raise LayoutError(f"damaged PNG chunk {kind!r}")
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
        pos += 12 + length
    if header is None:
        raise LayoutError("PNG without a header")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise LayoutError(f"unsupported PNG: depth {depth}, colour type "
                          f"{colour}, interlace {interlace}")
    bpp = 4 if colour == 6 else 3
    stride = width * bpp
    raw = zlib.decompress(bytes(idat))
    if len(raw) != height * (stride + 1):
        raise LayoutError("PNG data does not match its size")
    img = Canvas(width, height)
    prev = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                row[i] = (row[i] + a) & 0xFF
            elif kind == 2:
                row[i] = (row[i] + b) & 0xFF
            elif kind == 3:
                row[i] = (row[i] + ((a + b) >> 1)) & 0xFF
            elif kind == 4:
                row[i] = (row[i] + _paeth(a, b, c)) & 0xFF
            elif kind != 0:
                raise LayoutError(f"unknown PNG filter {kind}")
        for x in range(width):
            p = row[x * bpp:(x + 1) * bpp]
            img.px[y][x] = tuple(p) if bpp == 4 else (p[0], p[1], p[2], 255)
        prev = row
    return img


# ---------------------------------------------------------------------------
# ICO
# ---------------------------------------------------------------------------

def and_mask_bytes(width, height, transparent):
    """1-bit mask, bottom-up, rows padded to 4 bytes; bit set = see-through."""
    row_size = ((width + 31) // 32) * 4
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(row_size)
        for x in range(width):
            if transparent(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def ico_image_4bpp(width, height, palette, index_of, transparent):
    """One 16-colour icon image: header, palette, colour bits, mask."""
    assert len(palette) == 16
    row_size = ((width * 4 + 31) // 32) * 4
    xor = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(row_size)
        for x in range(width):
            idx = 0 if transparent(x, y) else index_of(x, y)
            assert 0 <= idx < 16
            if x % 2 == 0:
                row[x // 2] |= idx << 4
            else:
                row[x // 2] |= idx
        xor += row
    mask = and_mask_bytes(width, height, transparent)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    return header + pal + bytes(xor) + mask, 16, 4


def ico_image_32bpp(img):
    """One 32-bit BGRA icon image with a matching 1-bit mask."""
    xor = bytearray()
    for y in range(img.height - 1, -1, -1):
        for x in range(img.width):
            r, g, b, a = img.get(x, y)
            xor += bytes((b, g, r, a))
    mask = and_mask_bytes(img.width, img.height,
                          lambda x, y: img.get(x, y)[3] == 0)
    header = struct.pack("<IiiHHIIiiII", 40, img.width, img.height * 2, 1,
                         32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + mask, 0, 32


def ico_image_png(img):
    """One PNG-compressed icon image, the form Windows Vista and later read
    for 256 x 256; older Windows skip it and use the bitmaps."""
    return png_bytes(img), 0, 32


def ico_file(entries):
    """entries: list of (width, height, (data, colour_count, bit_count)).
    A size of 256 is written as 0 in the directory, as the format asks."""
    head = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    directory = b""
    blobs = b""
    for width, height, (data, colours, bits) in entries:
        directory += struct.pack("<BBBBHHII", width % 256, height % 256,
                                 colours, 0, 1, bits, len(data), offset)
        blobs += data
        offset += len(data)
    return head + directory + blobs
