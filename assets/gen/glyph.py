"""The Glyphary glyph, a bold sigma with wedge serifs: the splash picture,
the program icon and the dialog icon."""

from . import vector
from .container import ico_file, ico_image_32bpp, ico_image_4bpp, \
    ico_image_png
from .raster import Canvas, check, extrude, mix, polygon_mask

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
# The outline
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


# ---------------------------------------------------------------------------
# splash.bmp
# ---------------------------------------------------------------------------

SPLASH_W, SPLASH_H = 227, 338
GLYPH_TOP, GLYPH_BOTTOM = 4, 228          # rows the glyph and its shading use
SHADE_DEPTH = 4
# (first row, last row, rows blended into the background at each edge)
SPLASH_BARS = [(231, 240, 2), (243, 260, 2), (273, 305, 3)]


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


# ---------------------------------------------------------------------------
# 16-colour icons: program.ico (first two images) and dialog.ico
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


# ---------------------------------------------------------------------------
# True-colour program icon images for Explorer's larger views
# ---------------------------------------------------------------------------
#
# The same picture as the 32 x 32 image, scaled: the glyph takes 22 x 25 of
# its 32 x 32 pixels, starts at (4, 2) and its shading is 2 pixels deep.  At
# 48 px the bars are made exactly 4 pixels thick and start on a pixel row,
# so their long edges stay sharp; only the diagonals are smoothed.
PROGRAM_LARGE = {
    # size: (left, top, width, height, bar in pixels, shading depth, corner)
    48: (6, 3, 33, 38, 4, 3, 0),
    256: (32, 16, 176, 200, 22, 16, 14),
}


def _oriented(poly):
    """The polygon turned so that its signed area is positive, so that any
    number of such polygons fill their union under the nonzero rule."""
    area = sum(x1 * y2 - x2 * y1
               for (x1, y1), (x2, y2) in zip(poly, poly[1:] + poly[:1]))
    return poly if area > 0 else poly[::-1]


def swept(poly, depth):
    """Outline pieces of the polygon swept depth pixels down-right: the
    polygon at both ends and every edge's parallelogram between them."""
    moved = [(x + depth, y + depth) for (x, y) in poly]
    pieces = [_oriented(poly), _oriented(moved)]
    for i in range(len(poly)):
        a, b = poly[i], poly[(i + 1) % len(poly)]
        pieces.append(_oriented([a, b, moved[(i + 1) % len(poly)],
                                 moved[i]]))
    return pieces


def path_of(polys):
    return "".join(f"M{vector.points(p)}Z" for p in polys)


def program_image_large(size):
    left, top, width, height, bar, depth, corner = PROGRAM_LARGE[size]
    scale_y = height / GLYPH_H
    outline = place(glyph_outline(bar=bar / scale_y), width / GLYPH_W,
                    scale_y, left, top)
    body = (f'<rect width="{size}" height="{size}" rx="{corner}" '
            f'fill="{vector.rgb(SPLASH_BACKGROUND)}"/>'
            f'<path d="{path_of(swept(outline, depth))}" '
            f'fill="{vector.rgb(SHADE)}"/>'
            f'<path d="{path_of([outline])}" '
            f'fill="{vector.rgb(GLYPH_BLUE)}"/>')
    return vector.render(body, size, size)


def build_program_ico():
    """The two 16-colour images come first: the windows load those."""
    return ico_file([
        (32, 32, glyph_icon_image(32, GLYPH_BLUE, opaque=True)),
        (16, 16, glyph_icon_image(16, GLYPH_BLUE, opaque=True)),
        (48, 48, ico_image_32bpp(program_image_large(48))),
        (256, 256, ico_image_png(program_image_large(256))),
    ])


def build_dialog_ico():
    return ico_file([(32, 32, glyph_icon_image(32, GLYPH_RED, opaque=False))])
