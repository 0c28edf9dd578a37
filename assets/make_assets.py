#!/usr/bin/env python3
"""Writes every picture, icon and text file that Glyphary Installer ships.

Run from anywhere:  python3 assets/make_assets.py

Only the Python standard library is used, and nothing depends on the clock,
the locale or dictionary order, so two runs write byte-identical files.

Files written next to this script:
  splash.bmp          227 x 338, 24-bit splash picture
  program.ico         program icon, 32x32 and 16x16, 16 colours, opaque
  dialog.ico          dialog icon, 32x32, 16 colours, transparent ground
  icons/89*.ico       twelve file-type icons, 32x32 and 16x16, 32-bit BGRA
  agreement.txt       licence agreement shown in the read-only text box
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# ---------------------------------------------------------------------------
# Colours
# ---------------------------------------------------------------------------

SPLASH_BACKGROUND = (128, 128, 255)
GLYPH_BLUE = (0, 84, 166)
GLYPH_RED = (192, 0, 0)
SHADE = (0, 0, 0)
BAR_CORE = (0, 0, 128)

# The 16-colour palette most 4-bit icons use, kept for the slots our own
# colours do not need, so every palette entry is a sensible colour.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


# ---------------------------------------------------------------------------
# A tiny RGBA canvas
# ---------------------------------------------------------------------------

class Canvas:
    """Straight (non-premultiplied) RGBA pixels, row 0 at the top."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        self.px = [[tuple(fill) for _ in range(width)] for _ in range(height)]

    def get(self, x, y):
        return self.px[y][x]

    def put(self, x, y, rgba):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = tuple(rgba)

    def blend(self, x, y, rgb, alpha):
        """Paints rgb with the given alpha (0..255) over the pixel at x, y."""
        if not (0 <= x < self.width and 0 <= y < self.height) or alpha <= 0:
            return
        if alpha >= 255:
            self.px[y][x] = (rgb[0], rgb[1], rgb[2], 255)
            return
        r0, g0, b0, a0 = self.px[y][x]
        a = alpha / 255.0
        b = a0 / 255.0
        out_a = a + b * (1.0 - a)
        if out_a <= 0.0:
            return
        out = []
        for c_new, c_old in zip(rgb, (r0, g0, b0)):
            out.append(int(round((c_new * a + c_old * b * (1.0 - a)) / out_a)))
        self.px[y][x] = (out[0], out[1], out[2], int(round(out_a * 255)))

    def fill_mask(self, mask, rgb, dx=0, dy=0, alpha=255):
        for (x, y) in mask:
            self.blend(x + dx, y + dy, rgb, alpha)


def polygon_contains(poly, x, y):
    """Even-odd rule test of point (x, y) against a closed polygon."""
    inside = False
    n = len(poly)
    for i in range(n):
        x1, y1 = poly[i]
        x2, y2 = poly[(i + 1) % n]
        if (y1 > y) != (y2 > y):
            xc = x1 + (y - y1) * (x2 - x1) / (y2 - y1)
            if x < xc:
                inside = not inside
    return inside


def polygon_mask(poly, width, height, samples=1, threshold=0.5):
    """Set of pixels whose area is covered by the polygon.

    With samples == 1 only the pixel centre is tested, which gives crisp,
    evenly weighted strokes at full size.  Small icons use a grid of
    samples x samples points and keep pixels covered at least `threshold`.
    """
    xs = [p[0] for p in poly]
    ys = [p[1] for p in poly]
    x_lo, x_hi = max(0, int(min(xs)) - 1), min(width, int(max(xs)) + 2)
    y_lo, y_hi = max(0, int(min(ys)) - 1), min(height, int(max(ys)) + 2)
    offsets = [(i + 0.5) / samples for i in range(samples)]
    need = threshold * samples * samples
    mask = set()
    for y in range(y_lo, y_hi):
        for x in range(x_lo, x_hi):
            hits = 0
            for oy in offsets:
                for ox in offsets:
                    if polygon_contains(poly, x + ox, y + oy):
                        hits += 1
            if hits >= need:
                mask.add((x, y))
    return mask


# ---------------------------------------------------------------------------
# The Glyphary glyph: a bold sigma with wedge serifs
# ---------------------------------------------------------------------------
#
# The outline is drawn in a 190 x 221 design box.  The two bars are joined by
# two diagonal strokes of equal horizontal width that meet in a point on the
# right; each bar ends on the right in a wedge-shaped serif.

GLYPH_W = 190.0
GLYPH_H = 221.0


def glyph_outline(bar=26.0, stroke=45.0, serif_drop=58.0, serif_cut=24.0,
                  apex=0.60):
    w, h = GLYPH_W, GLYPH_H
    xm = w * apex            # x of the outer point where the diagonals meet
    mid = h / 2.0
    return [
        (0.0, 0.0), (w, 0.0),                    # top edge
        (w, serif_drop), (w - serif_cut, bar),   # upper serif
        (stroke, bar),                           # underside of the top bar
        (xm, mid),                               # outer point
        (stroke, h - bar),                       # top of the bottom bar
        (w - serif_cut, h - bar), (w, h - serif_drop),  # lower serif
        (w, h), (0.0, h),                        # bottom edge
        (0.0, h - bar),
        (xm - stroke, mid),                      # inner point
        (0.0, bar),
    ]


def place(poly, scale_x, scale_y, dx, dy):
    return [(x * scale_x + dx, y * scale_y + dy) for (x, y) in poly]


def extrude(mask, depth):
    """Union of the mask moved 1..depth pixels down-right: a solid shading
    that reads as the glyph standing out of the page."""
    out = set()
    for k in range(1, depth + 1):
        out.update((x + k, y + k) for (x, y) in mask)
    return out


# ---------------------------------------------------------------------------
# splash.bmp
# ---------------------------------------------------------------------------

SPLASH_W, SPLASH_H = 227, 338
GLYPH_TOP, GLYPH_BOTTOM = 4, 228          # rows the glyph and its shading use
SHADE_DEPTH = 4
# (first row, last row, rows blended into the background at each edge)
SPLASH_BARS = [(231, 240, 2), (243, 260, 2), (273, 305, 3)]


def mix(c0, c1, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))


def bar_row_colour(row, first, last, soft):
    """Colour of one row of a bar: the core colour, fading into the
    background over the `soft` outermost rows at the top and bottom."""
    edge = min(row - first, last - row)      # 0 on the outermost rows
    if edge >= soft:
        return BAR_CORE
    return mix(SPLASH_BACKGROUND, BAR_CORE, (edge + 1) / (soft + 1))


def build_splash():
    img = Canvas(SPLASH_W, SPLASH_H, SPLASH_BACKGROUND + (255,))

    face_h = GLYPH_BOTTOM - GLYPH_TOP + 1 - SHADE_DEPTH
    face_w = GLYPH_W
    left = (SPLASH_W - (face_w + SHADE_DEPTH)) / 2.0
    poly = place(glyph_outline(), face_w / GLYPH_W, face_h / GLYPH_H,
                 round(left), GLYPH_TOP)
    face = polygon_mask(poly, SPLASH_W, SPLASH_H)
    shade = extrude(face, SHADE_DEPTH) - face
    img.fill_mask(shade, SHADE)
    img.fill_mask(face, GLYPH_BLUE)

    for first, last, soft in SPLASH_BARS:
        for row in range(first, last + 1):
            colour = bar_row_colour(row, first, last, soft)
            for x in range(SPLASH_W):
                img.put(x, row, colour + (255,))
    return img


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
# ICO writing
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


def ico_file(entries):
    """entries: list of (width, height, (data, colour_count, bit_count))."""
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


# ---------------------------------------------------------------------------
# program.ico and dialog.ico
# ---------------------------------------------------------------------------

# At icon sizes the glyph is placed pixel by pixel: scaling the outline down
# leaves strokes of uneven weight.  Only the upper half and the middle row are
# listed; the lower half mirrors the upper one.  Strokes keep the proportions
# of the large glyph: thin bars, heavier diagonals, wedge serifs on the right.
ICON_GLYPHS = {
    32: {
        "upper": [
            "######################",
            "######################",
            "######################",
            "######.............###",
            ".######.............##",
            "..######............##",
            "...######............#",
            "....######............",
            ".....######...........",
            "......######..........",
            ".......######.........",
            "........######........",
        ],
        "middle": ".........######.......",
        "left": 4, "top": 2, "depth": 2,
    },
    16: {
        "upper": [
            "###########",
            "###########",
            "###......##",
            ".###......#",
            "..###......",
            "...###.....",
        ],
        "middle": "....###....",
        "left": 2, "top": 1, "depth": 1,
    },
}


def icon_glyph_layers(size):
    """Glyph face and shading pixels for a square icon of `size` pixels."""
    art = ICON_GLYPHS[size]
    rows = art["upper"] + [art["middle"]] + art["upper"][::-1]
    face = {(art["left"] + x, art["top"] + y)
            for y, row in enumerate(rows)
            for x, ch in enumerate(row) if ch == "#"}
    shade = extrude(face, art["depth"]) - face
    assert all(0 <= x < size and 0 <= y < size for (x, y) in face | shade)
    return face, shade


def glyph_icon_image(size, face_colour, opaque):
    face, shade = icon_glyph_layers(size)
    # Palette: 0 black (shading and the transparent ground), 1 face colour,
    # 2 background, the rest the usual 16 colours.
    palette = list(VGA16)
    palette[0] = SHADE
    palette[1] = face_colour
    palette[2] = SPLASH_BACKGROUND

    def index_of(x, y):
        if (x, y) in face:
            return 1
        if (x, y) in shade:
            return 0
        return 2

    def transparent(x, y):
        if opaque:
            return False
        return (x, y) not in face and (x, y) not in shade

    return ico_image_4bpp(size, size, palette, index_of, transparent)


def build_program_ico():
    return ico_file([
        (32, 32, glyph_icon_image(32, GLYPH_BLUE, opaque=True)),
        (16, 16, glyph_icon_image(16, GLYPH_BLUE, opaque=True)),
    ])


def build_dialog_ico():
    return ico_file([(32, 32, glyph_icon_image(32, GLYPH_RED, opaque=False))])


# ---------------------------------------------------------------------------
# File-type icons
# ---------------------------------------------------------------------------

# A 5-pixel-high font for the type labels.  Most letters are 3 pixels wide;
# M and N need more room to stay readable.
FONT = {
    "A": [".#.", "#.#", "###", "#.#", "#.#"],
    "B": ["##.", "#.#", "##.", "#.#", "##."],
    "C": [".##", "#..", "#..", "#..", ".##"],
    "D": ["##.", "#.#", "#.#", "#.#", "##."],
    "E": ["###", "#..", "##.", "#..", "###"],
    "F": ["###", "#..", "##.", "#..", "#.."],
    "G": [".##", "#..", "#.#", "#.#", ".##"],
    "I": ["###", ".#.", ".#.", ".#.", "###"],
    "L": ["#..", "#..", "#..", "#..", "###"],
    "M": ["#...#", "##.##", "#.#.#", "#...#", "#...#"],
    "N": ["#..#", "##.#", "#.##", "#..#", "#..#"],
    "O": [".#.", "#.#", "#.#", "#.#", ".#."],
    "P": ["##.", "#.#", "##.", "#..", "#.."],
    "R": ["##.", "#.#", "##.", "#.#", "#.#"],
    "S": [".##", "#..", ".#.", "..#", "##."],
    "T": ["###", ".#.", ".#.", ".#.", ".#."],
    "U": ["#.#", "#.#", "#.#", "#.#", "###"],
    "X": ["#.#", "#.#", ".#.", "#.#", "#.#"],
}


def text_width(text):
    return sum(len(FONT[c][0]) for c in text) + len(text) - 1


def draw_text(img, text, left, top, rgb):
    x = left
    for c in text:
        rows = FONT[c]
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch == "#":
                    img.put(x + dx, top + dy, rgb + (255,))
        x += len(rows[0]) + 1


# Small pictures drawn on the page above the band: "#" band colour,
# "k" a darker shade of it, "d" dark grey.
PICTURES = {
    "mat": [
        "##..........##",
        "#............#",
        "#..dd.dd.dd..#",
        "#............#",
        "#..dd.dd.dd..#",
        "#............#",
        "#..dd.dd.dd..#",
        "#............#",
        "##..........##",
    ],
    "dat": [
        "dddddddddddddd",
        "d############d",
        "d############d",
        "dddddddddddddd",
        "d....d....d..d",
        "dddddddddddddd",
        "d....d....d..d",
        "dddddddddddddd",
        "d....d....d..d",
        "dddddddddddddd",
    ],
    "gdb": [
        ".d............",
        ".d.........##.",
        ".d........#...",
        ".d..##...#....",
        ".d.#..#..#....",
        ".d#....##.....",
        ".d............",
        "dddddddddddddd",
        ".d............",
    ],
    "exp": [
        "......########",
        "......#.......",
        ".....#..d...d.",
        "##...#...d.d..",
        "..#.#.....d...",
        "..#.#....d.d..",
        "...#....d...d.",
    ],
    "func": [
        "...##.........",
        "..#....d...d..",
        "..#...d.....d.",
        ".####.d.#.#.d.",
        "..#...d..#..d.",
        "..#...d.#.#.d.",
        "..#....d...d..",
        ".#............",
    ],
    "prog": [
        "#.dddddddd....",
        "..............",
        "#...ddddddd...",
        "..............",
        "#...ddddd.....",
        "..............",
        "#.ddddddddddd.",
        "..............",
        "#.ddddd.......",
    ],
    "str": [
        "#.#..d..dd..#.#",
        "#.#.d.d.d.d.#.#",
        "....ddd.dd.....",
        "....d.d.d.d....",
        "....d.d.dd.....",
    ],
    "text": [
        "dddddddddddddd",
        "..............",
        "dddddddddddd..",
        "..............",
        "dddddddddddddd",
        "..............",
        "ddddddddd.....",
        "..............",
        "dddddddddddd..",
    ],
    "asm": [
        "..d.d.d.d.d...",
        ".###########..",
        "d#kkkkkkkkk#d.",
        ".#k#######k#..",
        "d#k#######k#d.",
        ".#k#######k#..",
        "d#kkkkkkkkk#d.",
        ".###########..",
        "..d.d.d.d.d...",
    ],
    "grp": [
        "......dddddddd",
        "......d######d",
        "...dddddddd##d",
        "...d######d##d",
        "dddddddd##d##d",
        "d######d##dddd",
        "d######d##d...",
        "d######dddd...",
        "d######d......",
        "dddddddd......",
    ],
    "list": [
        ".##..........##.",
        ".#............#.",
        ".#............#.",
        ".#..dd.dd.dd..#.",
        "#...dd.dd.dd...#",
        ".#...d..d.....#.",
        ".#............#.",
        ".#............#.",
        ".##..........##.",
    ],
    "pic": [
        "dddddddddddddd",
        "d.........##.d",
        "d.........##.d",
        "d....#.......d",
        "d...###......d",
        "d..#####.k...d",
        "d.#######kk..d",
        "d#########kk.d",
        "dddddddddddddd",
    ],
}

# (file name stem, picture, label at 32x32, label at 16x16, band colour)
FILE_TYPES = [
    ("89mat", "mat", "MAT", "MT", (33, 99, 201)),
    ("89dat", "dat", "DAT", "DT", (0, 133, 133)),
    ("89gdb", "gdb", "GDB", "GD", (38, 140, 58)),
    ("89exp", "exp", "EXP", "EX", (118, 60, 168)),
    ("89func", "func", "FUNC", "FN", (226, 110, 18)),
    ("89prog", "prog", "PROG", "PR", (196, 30, 36)),
    ("89str", "str", "STR", "ST", (214, 56, 140)),
    ("89text", "text", "TEXT", "TX", (84, 88, 96)),
    ("89asm", "asm", "ASM", "AS", (128, 66, 28)),
    ("89group", "grp", "GRP", "GR", (232, 180, 0)),
    ("89list", "list", "LIST", "LS", (22, 42, 112)),
    ("89pic", "pic", "PIC", "PC", (134, 188, 30)),
]

PAGE_WHITE = (255, 255, 255)
PAGE_EDGE = (78, 82, 90)
FOLD_FILL = (214, 218, 224)
DARK_GREY = (70, 70, 76)
CONTENT_GREY = (150, 154, 160)


def darker(rgb, factor):
    return tuple(int(round(c * factor)) for c in rgb)


def label_colour(band):
    r, g, b = band
    luma = 0.299 * r + 0.587 * g + 0.114 * b
    return (255, 255, 255) if luma < 150 else (24, 24, 24)


def page_outline(left, top, right, bottom, fold):
    """Corner points of a page whose top-right corner is folded down."""
    return [(left, top), (right - fold, top), (right, top + fold),
            (right, bottom), (left, bottom)]


def draw_document(img, left, top, right, bottom, fold, band_rows, band):
    """White page with a folded corner, an outline, a soft drop shadow and a
    coloured band running across it."""
    # The outline runs along pixel borders, so the page covers whole pixels
    # and only the folded corner's diagonal needs sampling.
    poly = page_outline(left, top, right + 1, bottom + 1, fold)
    page = polygon_mask(poly, img.width, img.height, samples=4)
    # Soft shadow below and to the right.
    img.fill_mask(page, (0, 0, 0), 1, 1, alpha=70)
    img.fill_mask(page, (0, 0, 0), 2, 2, alpha=25)
    for (x, y) in page:
        img.put(x, y, PAGE_WHITE + (255,))
    # Outline: page pixels with a neighbour outside the page.
    edge = {(x, y) for (x, y) in page
            if any((x + ex, y + ey) not in page
                   for ex, ey in ((1, 0), (-1, 0), (0, 1), (0, -1)))}
    img.fill_mask(edge, PAGE_EDGE)
    # Folded corner: a small triangle with its own edge.
    corner_x = right - fold
    corner_y = top + fold
    for y in range(top, corner_y + 1):
        for x in range(corner_x, right + 1):
            if x - corner_x <= y - top:
                on_edge = x == corner_x or y == corner_y or \
                    x - corner_x == y - top
                img.put(x, y, (PAGE_EDGE if on_edge else FOLD_FILL) + (255,))
    # Band across the page, slightly darker on its last row.
    first, last = band_rows
    for y in range(first, last + 1):
        colour = darker(band, 0.78) if y == last else band
        for x in range(left, right + 1):
            img.put(x, y, colour + (255,))


def draw_picture(img, rows, left, top, band):
    colours = {"#": band, "k": darker(band, 0.65), "d": DARK_GREY}
    for dy, row in enumerate(rows):
        for dx, ch in enumerate(row):
            if ch in colours:
                img.put(left + dx, top + dy, colours[ch] + (255,))


def file_icon_32(picture_name, label, band):
    img = Canvas(32, 32)
    draw_document(img, 5, 1, 26, 29, 7, (20, 27), band)
    picture = PICTURES[picture_name]
    pw, ph = len(picture[0]), len(picture)
    draw_picture(img, picture, 16 - (pw + 1) // 2, 9 + (10 - ph) // 2, band)
    tw = text_width(label)
    draw_text(img, label, 16 - (tw + 1) // 2, 21, label_colour(band))
    return img


def file_icon_16(label, band):
    img = Canvas(16, 16)
    draw_document(img, 2, 0, 13, 14, 4, (7, 13), band)
    # Two grey lines stand for the file's contents.
    for x in range(4, 10):
        img.put(x, 3, CONTENT_GREY + (255,))
    for x in range(4, 11):
        img.put(x, 5, CONTENT_GREY + (255,))
    tw = text_width(label)
    draw_text(img, label, 8 - (tw + 1) // 2, 8, label_colour(band))
    return img


def build_file_icons():
    """Bytes of every file-type icon, keyed by file name stem.

    Each type must be told apart from every other at both sizes, so the
    pixels of the 32x32 and of the 16x16 images are compared pairwise."""
    icons = {}
    owner_of = {}
    for stem, picture_name, label32, label16, band in FILE_TYPES:
        images = [file_icon_32(picture_name, label32, band),
                  file_icon_16(label16, band)]
        for img in images:
            key = (img.width, tuple(tuple(row) for row in img.px))
            check(key not in owner_of,
                  f"{stem} {img.width}x{img.width} is the same picture "
                  f"as {owner_of.get(key)}")
            owner_of[key] = stem
        icons[stem] = ico_file([(img.width, img.height, ico_image_32bpp(img))
                                for img in images])
    return icons


# ---------------------------------------------------------------------------
# agreement.txt
# ---------------------------------------------------------------------------
#
# Shown in a read-only text box.  The line breaks are part of the design: the
# text is laid out line by line here and written with CR LF endings.  Lines
# that continue a paragraph keep one trailing space; sentences are separated
# by two spaces.

AGREEMENT_LINES = [
    'LICENSE AGREEMENT',
    '',
    '',
    '***   IMPORTANT  ***',
    '',
    'This is a legal agreement between you, the ',
    'end user, and Quillfern Software, the maker ',
    'of Glyphary Installer (the "Program").  Please ',
    'read it carefully first.  The Program installs ',
    'icons for TI-89 calculator variable files into ',
    'Windows, so that each kind of file shows its own ',
    'picture.',
    '',
    'Glyphary Installer is not made, sponsored or endorsed by ',
    'Texas Instruments.  TI-89 is a trademark of its owner and ',
    'is used here only to name the files the Program works with.',
    '',
    'The Program was tested with care on each version of Windows named in its notes, ',
    'but no test can find every fault.',
    '',
    'BY INSTALLING THE PROGRAM, YOU AGREE THAT YOU ',
    'HAVE READ THIS AGREEMENT, UNDERSTAND IT AND ARE ',
    'BOUND BY ITS TERMS.  THE PROGRAM IS PROVIDED "AS ',
    'IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR ',
    'IMPLIED, INCLUDING ANY WARRANTY OF MERCHANTABILITY ',
    'OR FITNESS FOR A PARTICULAR PURPOSE.  IN NO EVENT ',
    'SHALL QUILLFERN SOFTWARE BE LIABLE FOR ANY LOSS ',
    'OF DATA, LOSS OF PROFIT OR OTHER DAMAGE ARISING ',
    'FROM THE USE OF, OR INABILITY TO USE, THE PROGRAM, ',
    'EVEN IF IT HAS BEEN TOLD OF THE POSSIBILITY OF ',
    'SUCH DAMAGE.  THE WHOLE RISK AS TO ITS QUALITY ',
    'AND PERFORMANCE IS WITH YOU.',
    '',
    'If you do not agree to these terms, press Cancel ',
    'now and the Program will not be installed.',
    '',
    'LIMITED LICENSE:  Quillfern Software grants you ',
    'a free, non-exclusive license to install and use ',
    'the Program on any number of computers that you ',
    'own or control.  You may copy the Program for ',
    'backup, and may give unchanged copies to others ',
    'free of charge, as long as this agreement goes ',
    'with every copy.  You may not sell the Program, ',
    'or include it in any product that is sold, without ',
    'written leave from Quillfern Software.',
    '',
    'OWNERSHIP:  The Program, its icons and its ',
    'pictures are the work of Quillfern Software ',
    'and are protected by copyright law and ',
    'international treaties.  This agreement gives ',
    'you the right to use the Program; it does not ',
    'give you ownership of it or of any copy.  All ',
    'rights not granted here are kept by Quillfern ',
    'Software.',
    '',
    'OTHER RESTRICTIONS:  You may not reverse ',
    'engineer, decompile or disassemble the ',
    'Program, except to the extent that the law ',
    'where you live expressly allows it.  You may ',
    'not remove or change any copyright notice. ',
    'This agreement ends at once if you fail to ',
    'keep any of its terms; you must then delete ',
    'every copy of the Program that you hold. ',
    'You may keep the icons after the Program is ',
    'removed.',
]

# Non-empty lines of each block after the "IMPORTANT" line, in order.
AGREEMENT_BODY_BLOCKS = [7, 3, 2, 12, 2, 9, 8, 10]
AGREEMENT_CHARS = 2522
AGREEMENT_LINE_COUNT = 65
AGREEMENT_LONGEST = 80


class LayoutError(Exception):
    pass


def check(condition, message):
    if not condition:
        raise LayoutError(message)


def agreement_bytes():
    lines = AGREEMENT_LINES
    data = "".join(line + "\r\n" for line in lines)
    check(len(lines) == AGREEMENT_LINE_COUNT,
          f"{len(lines)} lines, want {AGREEMENT_LINE_COUNT}")
    check(len(data) == AGREEMENT_CHARS,
          f"{len(data)} characters, want {AGREEMENT_CHARS}")
    check(all(32 <= ord(c) < 127 for line in lines for c in line),
          "only printable ASCII without tabs may appear")
    longest = max(len(line) for line in lines)
    check(longest == AGREEMENT_LONGEST,
          f"longest line is {longest}, want {AGREEMENT_LONGEST}")
    text_lines = [line for line in lines if line]
    spaced = sum(1 for line in text_lines if line.endswith(" "))
    check(2 * spaced > len(text_lines),
          f"only {spaced} of {len(text_lines)} lines end with a space")
    for n, line in enumerate(lines, 1):
        check(not line.endswith("  "), f"line {n} ends with two spaces")
        check(not line.startswith(" "), f"line {n} starts with a space")
        body = line.rstrip(" ")
        for i, c in enumerate(body[:-1]):
            if c in ".:" and body[i + 1] == " ":
                check(body[i + 2:i + 3] == " " and body[i + 3:i + 4] != " ",
                      f"line {n}: '{c}' inside a line needs two spaces after")
    check(lines[0] == "LICENSE AGREEMENT" and lines[1:3] == ["", ""],
          "title and the two empty lines after it")
    check(lines[3] == "***   IMPORTANT  ***" and lines[4] == "",
          "IMPORTANT line and the empty line after it")

    blocks = []
    current = []
    for line in lines[5:]:
        if line:
            current.append(line)
        else:
            check(current, "two empty lines in a row inside the body")
            blocks.append(current)
            current = []
    check(current, "the text must not end on an empty line")
    blocks.append(current)
    sizes = [len(b) for b in blocks]
    check(sizes == AGREEMENT_BODY_BLOCKS,
          f"block sizes {sizes}, want {AGREEMENT_BODY_BLOCKS}")
    caps = "".join(blocks[3])
    check(caps.startswith("BY INSTALLING THE PROGRAM,")
          and caps == caps.upper(),
          "the acknowledgement paragraph is written in capitals")
    check(blocks[5][0].startswith("LIMITED LICENSE:  "), "LIMITED LICENSE")
    head, sep, _ = blocks[6][0].partition(":  ")
    check(sep and head.isupper() and head.replace(" ", "").isalpha(),
          "ownership heading")
    check(blocks[7][0].startswith("OTHER RESTRICTIONS:  "),
          "OTHER RESTRICTIONS")
    return data.encode("ascii")


# ---------------------------------------------------------------------------
# Checks on the pictures and writing everything out
# ---------------------------------------------------------------------------

def check_splash(img):
    bg = SPLASH_BACKGROUND + (255,)
    total = img.width * img.height
    share = sum(row.count(bg) for row in img.px) / total
    check(0.50 <= share <= 0.60, f"splash background share {share:.3f}")
    bar_rows = {r for first, last, _ in SPLASH_BARS
                for r in range(first, last + 1)}
    for y in range(img.height):
        row = img.px[y]
        if y in bar_rows:
            check(len(set(row)) == 1 and row[0] != bg,
                  f"bar row {y} must be one colour across the whole width")
        elif not GLYPH_TOP <= y <= GLYPH_BOTTOM:
            check(row.count(bg) == img.width, f"row {y} must be background")
    check(any(p != bg for p in img.px[GLYPH_TOP]), "glyph starts on its row")
    check(any(p != bg for p in img.px[GLYPH_BOTTOM]), "glyph ends on its row")
    return share


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    outputs = {}
    splash = build_splash()
    share = check_splash(splash)
    outputs["splash.bmp"] = bmp_bytes(splash)
    outputs["program.ico"] = build_program_ico()
    outputs["dialog.ico"] = build_dialog_ico()
    for stem, data in build_file_icons().items():
        outputs[os.path.join("icons", stem + ".ico")] = data
    outputs["agreement.txt"] = agreement_bytes()

    for name, data in outputs.items():
        write(os.path.join(HERE, name), data)
        print(f"wrote {name} ({len(data)} bytes)")
    print(f"splash background: {share * 100:.1f}% of pixels")


if __name__ == "__main__":
    try:
        main()
    except LayoutError as err:
        sys.exit(f"make_assets: {err}")
