"""The contact sheet: every file-type icon at 256, 48, 32, 24 and 16 px,
each image at its own size (no scaling), on a white ground as in
Explorer."""

from .raster import Canvas

SHEET_SIZES = (48, 32, 24, 16)   # the column beside each 256 px image
COLUMNS = 4
GAP = 16
INNER = 12


def build_contact_sheet(images, stems):
    """images: {stem: {size: Canvas}}; stems: the order of the cells."""
    cell_w = 256 + INNER + max(SHEET_SIZES)
    cell_h = 256
    rows = (len(stems) + COLUMNS - 1) // COLUMNS
    sheet = Canvas(GAP + COLUMNS * (cell_w + GAP), GAP + rows * (cell_h + GAP),
                   (255, 255, 255, 255))
    for i, stem in enumerate(stems):
        left = GAP + (i % COLUMNS) * (cell_w + GAP)
        top = GAP + (i // COLUMNS) * (cell_h + GAP)
        sheet.draw(images[stem][256], left, top)
        x = left + 256 + INNER
        y = top
        for size in SHEET_SIZES:
            sheet.draw(images[stem][size], x + (max(SHEET_SIZES) - size) // 2,
                       y)
            y += size + INNER
    return sheet
