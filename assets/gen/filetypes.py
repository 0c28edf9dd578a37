"""The twelve TI-89 file types and their icon files."""

from collections import namedtuple

from . import emblems, pixelart
from .container import ico_file, ico_image_32bpp, ico_image_png
from .raster import check

# stem: the icon's file name without ".ico"; name: the key of its pictures;
# label: the type's short name on the band (32 px and up); short: the
# two-letter label at 16 and 20 px; band: the type's own colour.
FileType = namedtuple("FileType", "stem name label short band")

FILE_TYPES = [
    FileType("89mat", "mat", "MAT", "MT", (33, 99, 201)),
    FileType("89dat", "dat", "DAT", "DT", (0, 133, 133)),
    FileType("89gdb", "gdb", "GDB", "GD", (38, 140, 58)),
    FileType("89exp", "exp", "EXP", "EX", (118, 60, 168)),
    FileType("89func", "func", "FUNC", "FN", (226, 110, 18)),
    FileType("89prog", "prog", "PROG", "PR", (196, 30, 36)),
    FileType("89str", "str", "STR", "ST", (214, 56, 140)),
    FileType("89text", "text", "TEXT", "TX", (84, 88, 96)),
    FileType("89asm", "asm", "ASM", "AS", (128, 66, 28)),
    FileType("89group", "grp", "GRP", "GR", (232, 180, 0)),
    FileType("89list", "list", "LIST", "LS", (22, 42, 112)),
    FileType("89pic", "pic", "PIC", "PC", (134, 188, 30)),
]


# The order of the images in each file: the 32 and 16 px images first, as
# the icons have always had them, then the new small sizes, the large
# bitmaps and last the PNG-compressed 256 px image, which Windows before
# Vista cannot read.
ICON_ORDER = (32, 16, 20, 24, 40, 48, 64, 256)


def file_type_images(kind):
    """Every image of one file type, keyed by size."""
    images = pixelart.pixel_images(kind)
    images.update(emblems.vector_images(kind))
    check(sorted(images) == sorted(ICON_ORDER),
          f"{kind.stem}: sizes {sorted(images)}")
    for size, img in images.items():
        check((img.width, img.height) == (size, size),
              f"{kind.stem}: the {size} px image is "
              f"{img.width}x{img.height}")
    return images


def icon_bytes(images):
    entries = []
    for size in ICON_ORDER:
        img = images[size]
        data = ico_image_png(img) if size == 256 else ico_image_32bpp(img)
        entries.append((size, size, data))
    return ico_file(entries)


def build_file_icons():
    """Images and icon bytes of every file type, keyed by file name stem.

    Each type must be told apart from every other at every size, so the
    pixels of the images of one size are compared pairwise."""
    images = {}
    icons = {}
    owner_of = {}
    for kind in FILE_TYPES:
        images[kind.stem] = file_type_images(kind)
        for size, img in images[kind.stem].items():
            key = img.key()
            check(key not in owner_of,
                  f"{kind.stem} {size}x{size} is the same picture as "
                  f"{owner_of.get(key)}")
            owner_of[key] = kind.stem
        icons[kind.stem] = icon_bytes(images[kind.stem])
    return images, icons
