"""File-type icons drawn pixel by pixel for the small sizes (16, 20, 24 and
32 px), where scaling a large picture down would leave soft, uneven lines.

Every size has its own layout and its own small pictures; the 32 and 16 px
images are the ones the icons have always had."""

from .raster import Canvas, darker, polygon_mask

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

# The same pictures drawn again for 24 px: at most 15 x 6 pixels, between
# the folded corner and the band.
PICTURES_24 = {
    "mat": [
        "##........##",
        "#..........#",
        "#.dd.dd.dd.#",
        "#..........#",
        "#.dd.dd.dd.#",
        "##........##",
    ],
    "dat": [
        "dddddddddddd",
        "d##########d",
        "dddddddddddd",
        "d...d...d..d",
        "d...d...d..d",
        "dddddddddddd",
    ],
    "gdb": [
        ".d..........",
        ".d.......##.",
        ".d..##..#...",
        ".d.#..##....",
        "dddddddddddd",
        ".d..........",
    ],
    "exp": [
        ".....#######",
        "....#.......",
        "#...#..d.d..",
        ".#.#....d...",
        ".#.#...d.d..",
        "..#.........",
    ],
    "func": [
        "..##........",
        ".#...d...d..",
        "###.d.#.#.d.",
        ".#..d..#..d.",
        ".#..d.#.#.d.",
        "#....d...d..",
    ],
    "prog": [
        "#.dddddddd..",
        "............",
        "#...dddddd..",
        "............",
        "#.ddddd.....",
    ],
    "str": [
        "#.#..d..dd..#.#",
        "#.#.d.d.d.d.#.#",
        "....ddd.dd.....",
        "....d.d.d.d....",
        "....d.d.dd.....",
    ],
    "text": [
        "dddddddddddd",
        "............",
        "ddddddddd...",
        "............",
        "dddddddddddd",
    ],
    "asm": [
        "..d.d.d.d..",
        ".#########.",
        "d#kkkkkkk#d",
        "d#kkkkkkk#d",
        ".#########.",
        "..d.d.d.d..",
    ],
    "grp": [
        "....dddddddd",
        "....d######d",
        "dddddddd###d",
        "d######d###d",
        "d######ddddd",
        "dddddddd....",
    ],
    "list": [
        ".##........##.",
        ".#..........#.",
        "#..dd.dd.dd..#",
        ".#...d..d...#.",
        ".##........##.",
    ],
    "pic": [
        "dddddddddddd",
        "d.......##.d",
        "d...#...##.d",
        "d..###.k...d",
        "d.#####kk..d",
        "dddddddddddd",
    ],
}

# And for 20 px: at most 9 x 6 pixels, left of the folded corner.
PICTURES_20 = {
    "mat": [
        "##...##",
        "#.d.d.#",
        "#.....#",
        "#.d.d.#",
        "##...##",
    ],
    "dat": [
        "dddddddd",
        "d######d",
        "dddddddd",
        "d..d...d",
        "dddddddd",
    ],
    "gdb": [
        "d.....#.",
        "d....#..",
        "d.##.#..",
        "d#..#...",
        "dddddddd",
    ],
    "exp": [
        "...#####",
        "...#....",
        "#.#..d.d",
        ".##...d.",
        "..#..d.d",
    ],
    "func": [
        ".##.....",
        ".#..d.d.",
        "###..d..",
        ".#..d.d.",
        "#.......",
    ],
    "prog": [
        "#.dddddd",
        "........",
        "#...dddd",
        "........",
        "#.ddddd.",
    ],
    "str": [
        "#..d..#",
        "#.d.d.#",
        "..ddd..",
        "..d.d..",
        "..d.d..",
    ],
    "text": [
        "dddddddd",
        "........",
        "dddddd..",
        "........",
        "ddddddd.",
    ],
    "asm": [
        ".d.d.d.",
        "#######",
        "#kkkkk#",
        "#######",
        ".d.d.d.",
    ],
    "grp": [
        "..ddddd.",
        "..d###d.",
        "ddddd#d.",
        "d###ddd.",
        "d###d...",
        "ddddd...",
    ],
    "list": [
        ".#.....#",
        "#.d.d.d.#",
        ".#.....#",
    ],
    "pic": [
        "dddddddd",
        "d.....#d",
        "d..#...d",
        "d.###k.d",
        "dddddddd",
    ],
}

PAGE_WHITE = (255, 255, 255)
PAGE_EDGE = (78, 82, 90)
FOLD_FILL = (214, 218, 224)
DARK_GREY = (70, 70, 76)
CONTENT_GREY = (150, 154, 160)


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


def file_icon_24(picture_name, label, band):
    """The 32 px layout made smaller: the page reaches the top row, the band
    holds the full label with one pixel of band colour either side of FUNC,
    and the picture sits between the folded corner and the band."""
    img = Canvas(24, 24)
    draw_document(img, 3, 0, 20, 21, 5, (13, 19), band)
    picture = PICTURES_24[picture_name]
    pw, ph = len(picture[0]), len(picture)
    draw_picture(img, picture, 12 - (pw + 1) // 2, 6 + (6 - ph) // 2, band)
    tw = text_width(label)
    draw_text(img, label, 12 - (tw + 1) // 2, 14, label_colour(band))
    return img


def file_icon_20(picture_name, label, band):
    """The 16 px layout with room for a picture: two-letter label, and the
    picture where the 16 px image has its grey lines, left of the fold."""
    img = Canvas(20, 20)
    draw_document(img, 2, 0, 16, 17, 4, (10, 16), band)
    picture = PICTURES_20[picture_name]
    pw, ph = len(picture[0]), len(picture)
    draw_picture(img, picture, 4 if pw <= 8 else 3, 3 + (6 - ph + 1) // 2,
                 band)
    tw = text_width(label)
    draw_text(img, label, 10 - (tw + 1) // 2, 11, label_colour(band))
    return img


def pixel_images(kind):
    """The hand-drawn images of one file type, keyed by size."""
    return {
        16: file_icon_16(kind.short, kind.band),
        20: file_icon_20(kind.name, kind.short, kind.band),
        24: file_icon_24(kind.name, kind.label, kind.band),
        32: file_icon_32(kind.name, kind.label, kind.band),
    }
