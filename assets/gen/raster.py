"""A tiny RGBA canvas and the polygon filling the pictures are drawn with."""


class LayoutError(Exception):
    """A generated file would break one of the rules checked before writing."""


def check(condition, message):
    if not condition:
        raise LayoutError(message)


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

    def draw(self, other, left, top):
        """Paints another canvas over this one, its top-left corner at
        (left, top), honouring both alphas."""
        for y in range(other.height):
            for x in range(other.width):
                r, g, b, a = other.px[y][x]
                self.blend(left + x, top + y, (r, g, b), a)

    def key(self):
        """The pixels as one hashable value, to compare pictures."""
        return (self.width, self.height, tuple(tuple(row) for row in self.px))


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


def extrude(mask, depth):
    """Union of the mask moved 1..depth pixels down-right: a solid shading
    that reads as the glyph standing out of the page."""
    out = set()
    for k in range(1, depth + 1):
        out.update((x + k, y + k) for (x, y) in mask)
    return out


def mix(c0, c1, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))


def darker(rgb, factor):
    return tuple(int(round(c * factor)) for c in rgb)
