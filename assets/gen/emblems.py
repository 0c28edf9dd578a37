"""File-type icons drawn as vectors for the large sizes (40, 48, 64 and
256 px) and rendered by rsvg-convert.

The layout is the 32 px one scaled, the page a unit wider on either side so
that the larger labels have room: a page with a folded corner, the type's
emblem in the middle and a band in the type's colour carrying its label.
Coordinates are given in units of the 32 px design (one unit = size / 32
pixels).  Edges that run straight across or down are moved onto pixel
borders at every size, so the page, the band, the table lines and the
letters' stems stay sharp; only slants and curves are smoothed."""

import math

from . import vector
from .pixelart import DARK_GREY, FOLD_FILL, PAGE_EDGE, PAGE_WHITE, \
    label_colour
from .raster import darker, mix

LARGE_SIZES = (40, 48, 64, 256)

# ---------------------------------------------------------------------------
# A stroke font for the labels (and the letters of the string emblem)
# ---------------------------------------------------------------------------
#
# Each letter is a set of centre lines on a grid 3 units wide (T, M and N:
# 4; I: 2) and 6 units high; corners are cut at 45 degrees.  Drawn one pixel
# per unit with a one-pixel pen it is a 7-pixel-high pixel font; larger
# sizes use a bigger grid and a heavier pen.

STROKES = {
    "A": [[(0, 6), (0, 1), (1, 0), (2, 0), (3, 1), (3, 6)], [(0, 3), (3, 3)]],
    "B": [[(0, 3), (2, 3), (3, 2), (3, 1), (2, 0), (0, 0), (0, 6), (2, 6),
           (3, 5), (3, 4), (2, 3)]],
    "C": [[(3, 1), (2, 0), (1, 0), (0, 1), (0, 5), (1, 6), (2, 6), (3, 5)]],
    "D": [[(0, 0), (2, 0), (3, 1), (3, 5), (2, 6), (0, 6), (0, 0)]],
    "E": [[(3, 0), (0, 0), (0, 6), (3, 6)], [(0, 3), (2, 3)]],
    "F": [[(3, 0), (0, 0), (0, 6)], [(0, 3), (2, 3)]],
    "G": [[(3, 1), (2, 0), (1, 0), (0, 1), (0, 5), (1, 6), (3, 6), (3, 3),
           (2, 3)]],
    "I": [[(0, 0), (2, 0)], [(1, 0), (1, 6)], [(0, 6), (2, 6)]],
    "L": [[(0, 0), (0, 6), (3, 6)]],
    "M": [[(0, 6), (0, 0), (2, 2), (4, 0), (4, 6)], [(2, 2), (2, 3)]],
    "N": [[(0, 6), (0, 0), (4, 6), (4, 0)]],
    "O": [[(1, 0), (2, 0), (3, 1), (3, 5), (2, 6), (1, 6), (0, 5), (0, 1),
           (1, 0)]],
    "P": [[(0, 6), (0, 0), (2, 0), (3, 1), (3, 2), (2, 3), (0, 3)]],
    "R": [[(0, 6), (0, 0), (2, 0), (3, 1), (3, 2), (2, 3), (0, 3)],
          [(2, 3), (3, 4), (3, 6)]],
    "S": [[(3, 1), (2, 0), (1, 0), (0, 1), (0, 2), (1, 3), (2, 3), (3, 4),
           (3, 5), (2, 6), (1, 6), (0, 5)]],
    "T": [[(0, 0), (4, 0)], [(2, 0), (2, 6)]],
    "U": [[(0, 0), (0, 5), (1, 6), (2, 6), (3, 5), (3, 0)]],
    "X": [[(0, 0), (0, 1), (3, 5), (3, 6)], [(3, 0), (3, 1), (0, 5), (0, 6)]],
}


def letter_width(c):
    return max(x for line in STROKES[c] for x, _ in line)


# Label metrics by size: grid unit across, grid unit down, pen width and the
# gap between letters, all in pixels.  With whole-pixel pens on whole-pixel
# grid lines the stems and bars cover whole pixels.
LABEL_METRICS = {
    40: (1, 1, 1, 1),
    48: (1, 1, 1, 1),
    64: (2, 4 / 3, 2, 2),
    256: (6, 6, 7, 9),
}


def label_extent(text, ux, uy, pen, gap):
    width = sum(letter_width(c) * ux + pen for c in text)
    width += gap * (len(text) - 1)
    return width, 6 * uy + pen


def stroke_text(text, left, top, ux, uy, pen, gap, colour):
    """SVG path of `text` whose ink box starts at (left, top)."""
    d = []
    x = left + pen / 2
    y = top + pen / 2
    for c in text:
        for line in STROKES[c]:
            d.append("M" + " ".join(f"{vector.fmt(x + gx * ux)},"
                                    f"{vector.fmt(y + gy * uy)}"
                                    for gx, gy in line))
        x += letter_width(c) * ux + pen + gap
    return (f'<path d="{"".join(d)}" fill="none" '
            f'stroke="{vector.rgb(colour)}" '
            f'stroke-width="{vector.fmt(pen)}" stroke-linecap="square" '
            f'stroke-linejoin="miter" stroke-miterlimit="2"/>')


# ---------------------------------------------------------------------------
# Drawing in design units
# ---------------------------------------------------------------------------

class Pen:
    """Turns drawing calls in 32 px design units into SVG elements for one
    size.  Rectangles are snapped to pixel borders; lines and shapes are
    placed exactly."""

    def __init__(self, size, band):
        self.size = size
        self.s = size / 32.0
        self.band = band
        self.dark = darker(band, 0.65)
        self.tint = mix(band, (255, 255, 255), 0.72)
        self.out = []

    def snap(self, v):
        return math.floor(v * self.s + 0.5)

    def px(self, v):
        return v * self.s

    def thin(self, units=0.5):
        """A line width in whole pixels, at least one."""
        return max(1, round(units * self.s))

    def rect(self, x, y, w, h, colour, rx=0.0):
        """A rectangle on pixel borders, at least one pixel across."""
        x0, y0 = self.snap(x), self.snap(y)
        x1 = max(self.snap(x + w), x0 + 1)
        y1 = max(self.snap(y + h), y0 + 1)
        self.box(x0, y0, x1, y1, colour, rx)

    def box(self, x0, y0, x1, y1, colour, rx=0.0):
        """A rectangle in pixels."""
        round_off = f' rx="{vector.fmt(rx)}"' if rx else ""
        self.out.append(f'<rect x="{x0}" y="{y0}" width="{x1 - x0}" '
                        f'height="{y1 - y0}"{round_off} '
                        f'fill="{vector.rgb(colour)}"/>')

    def line(self, pts, colour, width_px, cap="round", join="round"):
        d = "M" + " ".join(f"{vector.fmt(self.px(x))},{vector.fmt(self.px(y))}"
                           for x, y in pts)
        self.stroke_path(d, colour, width_px, cap, join)

    def stroke_path(self, d, colour, width_px, cap="round", join="round"):
        self.out.append(f'<path d="{d}" fill="none" '
                        f'stroke="{vector.rgb(colour)}" '
                        f'stroke-width="{vector.fmt(width_px)}" '
                        f'stroke-linecap="{cap}" stroke-linejoin="{join}"/>')

    def curve(self, outline, colour, width_px):
        """A path whose numbers are design units; letters pass through."""
        self.stroke_path(self.scaled(outline), colour, width_px)

    def shape(self, outline, colour):
        self.out.append(f'<path d="{self.scaled(outline)}" '
                        f'fill="{vector.rgb(colour)}"/>')

    def scaled(self, outline):
        return " ".join(vector.fmt(self.px(float(t)))
                        if t[0].isdigit() or t[0] in "-." else t
                        for t in outline.split())

    def circle(self, cx, cy, r, colour):
        self.out.append(f'<circle cx="{vector.fmt(self.px(cx))}" '
                        f'cy="{vector.fmt(self.px(cy))}" '
                        f'r="{vector.fmt(self.px(r))}" '
                        f'fill="{vector.rgb(colour)}"/>')


# ---------------------------------------------------------------------------
# The emblems, each in the 14 x 10 unit box at (9, 9) of the page
# ---------------------------------------------------------------------------

EX, EY = 9.0, 9.0


def emblem_mat(p):
    """A matrix in square brackets; the diagonal stands out."""
    t = 1.0
    for left in (EX, EX + 14 - t):
        p.rect(left, EY, t, 10, p.band)
    for y in (EY, EY + 10 - t):
        p.rect(EX, y, 2.5, t, p.band)
        p.rect(EX + 11.5, y, 2.5, t, p.band)
    for row in range(3):
        for col in range(3):
            colour = p.band if row == col else DARK_GREY
            p.rect(EX + 2.5 + col * 3.25, EY + 1.75 + row * 2.5, 2.5, 1.25,
                   colour, rx=p.px(0.3))


def emblem_dat(p):
    """A table with a coloured header row."""
    lw = p.thin()
    x0, y0 = p.snap(EX), p.snap(EY)
    x1, y1 = p.snap(EX + 14), p.snap(EY + 10)
    p.box(x0, y0, x1, y1, DARK_GREY)
    rows = [p.snap(EY + v) for v in (0, 2.75, 5.25, 7.75, 10)]
    cols = [x0, p.snap(EX + 4.5), p.snap(EX + 9.25), x1]
    for r in range(4):
        for c in range(3):
            colour = p.band if r == 0 else PAGE_WHITE
            top = rows[r] + lw
            left = cols[c] + lw
            p.box(left, top, cols[c + 1] - (lw if c == 2 else 0),
                  rows[r + 1] - (lw if r == 3 else 0), colour)
            if r and p.size >= 64:
                # Figures in the cells at the sizes that have room for them.
                p.box(left + lw * 2, top + lw * 2,
                      cols[c + 1] - lw * (4 if c < 2 else 5) + (r % 2) * lw,
                      rows[r + 1] - lw * 3, p.tint)


def emblem_gdb(p):
    """Axes with a plotted curve and its points."""
    lw = p.thin(0.6)
    if p.size >= 64:
        for gx in (4.5, 8, 11.5):
            p.rect(EX + gx, EY, 0.01, 8.5, p.tint)
        for gy in (2, 5):
            p.rect(EX + 1, EY + gy, 13, 0.01, p.tint)
    ax = p.snap(EX + 1)
    ay = p.snap(EY + 8.5)
    p.box(ax - lw, p.snap(EY), ax, p.snap(EY + 10), DARK_GREY)
    p.box(p.snap(EX), ay, p.snap(EX + 14), ay + lw, DARK_GREY)
    points = [(2.5, 6.5), (5, 3.2), (8, 6), (12.5, 1.2)]
    p.curve(f"M {EX + 2.5} {EY + 6.5} C {EX + 3.5} {EY + 3} {EX + 5} "
            f"{EY + 2.5} {EX + 6.5} {EY + 4.8} S {EX + 8.5} {EY + 6.8} "
            f"{EX + 10} {EY + 4.5} S {EX + 12} {EY + 1.5} {EX + 12.5} "
            f"{EY + 1.2}", p.band, max(1.5, p.px(0.85)))
    if p.size >= 48:
        for x, y in points:
            p.circle(EX + x, EY + y, 0.75, p.dark)


def emblem_exp(p):
    """A square root over x."""
    w = max(1.5, p.px(0.9))
    p.line([(EX + 0.2, EY + 5.8), (EX + 1.4, EY + 5.0), (EX + 3.2, EY + 9.4),
            (EX + 5.6, EY + 0.6), (EX + 13.8, EY + 0.6)], p.band, w,
           cap="butt", join="miter")
    p.line([(EX + 7.4, EY + 3.6), (EX + 12, EY + 8.6)], DARK_GREY, w)
    p.line([(EX + 12, EY + 3.6), (EX + 7.4, EY + 8.6)], DARK_GREY, w)


def emblem_func(p):
    """f(x)."""
    w = max(1.5, p.px(0.9))
    p.curve(f"M {EX + 4.6} {EY + 1.3} C {EX + 3.6} {EY + 0.2} {EX + 2.4} "
            f"{EY + 0.6} {EX + 2.3} {EY + 2.2} L {EX + 1.8} {EY + 8.2} "
            f"C {EX + 1.6} {EY + 9.8} {EX + 0.6} {EY + 10} {EX + 0.1} "
            f"{EY + 9.2}", p.band, w)
    p.line([(EX + 0.6, EY + 4.0), (EX + 4.2, EY + 4.0)], p.band, w)
    p.curve(f"M {EX + 7} {EY + 1} Q {EX + 4.9} {EY + 5} {EX + 7} {EY + 9.5}",
            DARK_GREY, w)
    p.curve(f"M {EX + 12.4} {EY + 1} Q {EX + 14.5} {EY + 5} {EX + 12.4} "
            f"{EY + 9.5}", DARK_GREY, w)
    p.line([(EX + 8.1, EY + 3.6), (EX + 11.3, EY + 7.8)], p.band, w)
    p.line([(EX + 11.3, EY + 3.6), (EX + 8.1, EY + 7.8)], p.band, w)


def emblem_prog(p):
    """Program lines, indented, with a marker on each statement."""
    lines = [(0, 9), (2.5, 9.5), (2.5, 7), (0, 11), (0, 6)]
    for i, (indent, length) in enumerate(lines):
        y = EY + 0.25 + i * 2
        if indent == 0:
            p.rect(EX, y, 1.25, 1.25, p.band)
        p.rect(EX + 2.25 + indent, y, length - indent, 1.25, DARK_GREY,
               rx=p.px(0.2))


def emblem_str(p):
    """"AB" in double quotes."""
    pen = max(1, round(p.px(1.0)))
    ux = max(1, round(p.px(1.2)))
    uy = max(1, round((p.px(7.6) - pen) / 6))
    width, height = label_extent("AB", ux, uy, pen, pen)
    mark = max(1, round(p.px(0.9)))         # one stroke of a quote mark
    space = max(1, round(p.px(0.7)))        # between the marks and the text
    total = 2 * (3 * mark + space) + width
    left = p.snap(EX + 7) - total // 2
    top = p.snap(EY + 10) - height
    tall = max(2, round(p.px(2.6)))
    for x in (left, left + 2 * mark, left + total - 3 * mark,
              left + total - mark):
        if p.size < 64:
            # Too small for a slant: upright strokes on whole pixels.
            p.box(x, top, x + mark, top + tall, p.band)
        else:
            lean = mark * 0.4
            corners = [(x + lean, top), (x + mark + lean, top),
                       (x + mark - lean, top + tall), (x - lean, top + tall)]
            p.out.append(f'<path d="M{vector.points(corners)}Z" '
                         f'fill="{vector.rgb(p.band)}"/>')
    p.out.append(stroke_text("AB", left + 3 * mark + space, top, ux, uy, pen,
                             pen, DARK_GREY))


def emblem_text(p):
    """Lines of running text."""
    for i, length in enumerate((14, 12.5, 14, 13, 8)):
        p.rect(EX, EY + 0.25 + i * 2, length, 1.25, DARK_GREY, rx=p.px(0.2))


def emblem_asm(p):
    """A chip with its pins."""
    for i in range(5):
        x = EX + 2.6 + i * 2
        p.rect(x, EY, 1, 1.6, DARK_GREY)
        p.rect(x, EY + 8.4, 1, 1.6, DARK_GREY)
    p.rect(EX + 1, EY + 1.5, 12, 7, p.band, rx=p.px(0.5))
    p.rect(EX + 2, EY + 2.5, 10, 5, p.dark, rx=p.px(0.3))
    p.circle(EX + 3.4, EY + 3.9, 0.6, p.band)
    if p.size >= 64:
        p.rect(EX + 5.5, EY + 3.75, 4, 2.5, p.band, rx=p.px(0.2))


def emblem_grp(p):
    """Several variables stacked into one group."""
    lw = p.thin()
    for i, colour in enumerate((p.tint, mix(p.band, p.tint, 0.5), p.band)):
        x = EX + 5 - i * 2.5
        y = EY + i * 2
        x0, y0 = p.snap(x), p.snap(y)
        x1, y1 = p.snap(x + 9), p.snap(y + 6)
        p.box(x0, y0, x1, y1, DARK_GREY)
        p.box(x0 + lw, y0 + lw, x1 - lw, y1 - lw, colour)


def emblem_list(p):
    """A list in braces: {a, b, c}."""
    w = max(1.5, p.px(0.9))
    p.curve(f"M {EX + 2.6} {EY + 0.5} C {EX + 0.6} {EY + 0.5} {EX + 2.2} "
            f"{EY + 5} {EX + 0.3} {EY + 5} C {EX + 2.2} {EY + 5} {EX + 0.6} "
            f"{EY + 9.5} {EX + 2.6} {EY + 9.5}", p.band, w)
    p.curve(f"M {EX + 11.4} {EY + 0.5} C {EX + 13.4} {EY + 0.5} {EX + 11.8} "
            f"{EY + 5} {EX + 13.7} {EY + 5} C {EX + 11.8} {EY + 5} "
            f"{EX + 13.4} {EY + 9.5} {EX + 11.4} {EY + 9.5}", p.band, w)
    for i in range(3):
        x = EX + 3.4 + i * 2.6
        p.rect(x, EY + 4, 1.7, 2, DARK_GREY, rx=p.px(0.3))
        if i < 2:
            p.shape(f"M {x + 2} {EY + 5.6} L {x + 2.7} {EY + 5.6} L "
                    f"{x + 2.3} {EY + 7.2} L {x + 1.9} {EY + 7.2} Z",
                    DARK_GREY)


def emblem_pic(p):
    """A framed picture: hills under a sun."""
    lw = p.thin()
    x0, y0 = p.snap(EX), p.snap(EY)
    x1, y1 = p.snap(EX + 14), p.snap(EY + 10)
    p.box(x0, y0, x1, y1, DARK_GREY)
    p.box(x0 + lw, y0 + lw, x1 - lw, y1 - lw, mix(p.band, PAGE_WHITE, 0.85))
    p.out.append(f'<clipPath id="frame"><rect x="{x0 + lw}" y="{y0 + lw}" '
                 f'width="{x1 - x0 - 2 * lw}" height="{y1 - y0 - 2 * lw}"/>'
                 f'</clipPath><g clip-path="url(#frame)">')
    p.circle(EX + 10.5, EY + 3, 1.4, p.dark)
    p.shape(f"M {EX + 6} {EY + 10} L {EX + 10} {EY + 5} L {EX + 14} {EY + 9} "
            f"L {EX + 14} {EY + 10} Z", p.dark)
    p.shape(f"M {EX} {EY + 10} L {EX} {EY + 8.5} L {EX + 4.5} {EY + 3} "
            f"L {EX + 9.5} {EY + 10} Z", p.band)
    p.out.append("</g>")


EMBLEMS = {
    "mat": emblem_mat, "dat": emblem_dat, "gdb": emblem_gdb,
    "exp": emblem_exp, "func": emblem_func, "prog": emblem_prog,
    "str": emblem_str, "text": emblem_text, "asm": emblem_asm,
    "grp": emblem_grp, "list": emblem_list, "pic": emblem_pic,
}


# ---------------------------------------------------------------------------
# The page
# ---------------------------------------------------------------------------

def page_svg(p, band):
    """Shadow, page, folded corner and band, in pixels."""
    size = p.size
    left, top = p.snap(4), p.snap(1)
    right, bottom = p.snap(28), p.snap(30)
    fold = p.snap(7)
    edge = max(1, round(size / 64))
    page = [(left, top), (right - fold, top), (right, top + fold),
            (right, bottom), (left, bottom)]
    r2 = math.sqrt(2.0)
    inner = [(left + edge, top + edge),
             (right - fold + edge - edge * r2, top + edge),
             (right - edge, top + fold - edge + edge * r2),
             (right - edge, bottom - edge), (left + edge, bottom - edge)]
    blur = p.px(0.7)
    out = [
        '<defs><filter id="soft" x="-20%" y="-20%" width="140%" '
        f'height="140%"><feGaussianBlur stdDeviation="{vector.fmt(blur)}"/>'
        '</filter>'
        '<linearGradient id="paper" x1="0" y1="0" x2="0" y2="1">'
        f'<stop offset="0" stop-color="{vector.rgb(PAGE_WHITE)}"/>'
        '<stop offset="1" stop-color="#f1f3f6"/></linearGradient>'
        '<linearGradient id="band" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" '
        f'stop-color="{vector.rgb(mix(band, PAGE_WHITE, 0.12))}"/>'
        f'<stop offset="1" stop-color="{vector.rgb(band)}"/></linearGradient>'
        '</defs>',
        f'<g transform="translate({vector.fmt(p.px(0.9))},'
        f'{vector.fmt(p.px(1.1))})" filter="url(#soft)">'
        f'<path d="M{vector.points(page)}Z" fill="#000" fill-opacity="0.42"/>'
        '</g>',
        f'<path d="M{vector.points(page)}Z" fill="{vector.rgb(PAGE_EDGE)}"/>',
        f'<path d="M{vector.points(inner)}Z" fill="url(#paper)"/>',
    ]
    # The folded corner: a triangle with the page's edge colour round it.
    c = (right - fold, top + fold)
    corner = [(right - fold, top), c, (right, top + fold)]
    out.append(f'<path d="M{vector.points(corner)}Z" '
               f'fill="{vector.rgb(PAGE_EDGE)}"/>')
    tri = [(c[0] + edge, top + edge + edge * r2), (c[0] + edge, c[1] - edge),
           (right - edge - edge * r2, c[1] - edge)]
    out.append(f'<path d="M{vector.points(tri)}Z" '
               f'fill="{vector.rgb(FOLD_FILL)}"/>')
    # The band, with a darker strip along its foot as at 32 px.
    b0, b1 = p.snap(20), p.snap(28)
    foot = max(1, round(p.s))
    out.append(f'<rect x="{left}" y="{b0}" width="{right - left}" '
               f'height="{b1 - b0 - foot}" fill="url(#band)"/>')
    out.append(f'<rect x="{left}" y="{b1 - foot}" width="{right - left}" '
               f'height="{foot}" fill="{vector.rgb(darker(band, 0.78))}"/>')
    return out, (left, right, b0, b1 - foot)


def vector_image(kind, size):
    p = Pen(size, kind.band)
    elements, (left, right, b0, b1) = page_svg(p, kind.band)
    EMBLEMS[kind.name](p)
    ux, uy, pen, gap = LABEL_METRICS[size]
    width, height = label_extent(kind.label, ux, uy, pen, gap)
    tx = (left + right - width) // 2
    ty = (b0 + b1 - height) // 2
    label = stroke_text(kind.label, tx, ty, ux, uy, pen, gap,
                        label_colour(kind.band))
    return vector.render("".join(elements + p.out + [label]), size, size)


def vector_images(kind):
    """The large images of one file type, keyed by size."""
    return {size: vector_image(kind, size) for size in LARGE_SIZES}
