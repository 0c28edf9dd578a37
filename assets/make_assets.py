#!/usr/bin/env python3
"""Writes every picture, icon and text file that Glyphary Installer ships.

Run from anywhere:  python3 assets/make_assets.py [--out DIR]

The files go next to this script unless --out names another folder (the
regeneration test writes into a scratch folder and compares).  Needs
Python 3 and rsvg-convert (Debian's librsvg2-bin) for the large icon
images.  Nothing depends on the clock, the locale or dictionary order, so
two runs write byte-identical files.

Files written:
  splash.bmp          227 x 338, 24-bit splash picture
  program.ico         program icon: 32x32 and 16x16 in 16 colours, opaque,
                      then 48x48 (32-bit) and 256x256 (PNG) for Explorer
  dialog.ico          dialog icon, 32x32, 16 colours, transparent ground
  icons/89*.ico       twelve file-type icons: 32, 16, 20, 24, 40, 48, 64 px
                      as 32-bit BGRA bitmaps and 256 px as PNG
  contact-sheet.png   every file-type icon at 256, 48, 32, 24 and 16 px
  agreement.txt       licence agreement shown in the read-only text box

The code is split by concern in the gen/ package; see gen/__init__.py.
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True     # no __pycache__ left in the source tree

from gen import glyph, vector                              # noqa: E402
from gen.agreement import agreement_bytes                  # noqa: E402
from gen.container import bmp_bytes, png_bytes             # noqa: E402
from gen.filetypes import FILE_TYPES, build_file_icons     # noqa: E402
from gen.raster import LayoutError                         # noqa: E402
from gen.sheet import build_contact_sheet                  # noqa: E402


def build_all():
    """Every output file's bytes, keyed by its path relative to the output
    folder.  Raises LayoutError before anything is written."""
    outputs = {}
    splash = glyph.build_splash()
    share = glyph.check_splash(splash)
    outputs["splash.bmp"] = bmp_bytes(splash)
    outputs["program.ico"] = glyph.build_program_ico()
    outputs["dialog.ico"] = glyph.build_dialog_ico()
    images, icons = build_file_icons()
    for stem, data in icons.items():
        outputs[os.path.join("icons", stem + ".ico")] = data
    sheet = build_contact_sheet(images, [kind.stem for kind in FILE_TYPES])
    outputs["contact-sheet.png"] = png_bytes(sheet, alpha=False)
    outputs["agreement.txt"] = agreement_bytes()
    return outputs, share


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", default=HERE,
                        help="folder to write into (default: next to this "
                             "script)")
    args = parser.parse_args()
    outputs, share = build_all()
    for name, data in outputs.items():
        write(os.path.join(args.out, name), data)
        print(f"wrote {name} ({len(data)} bytes)")
    print(f"splash background: {share * 100:.1f}% of pixels")
    print(f"large icon images rendered with {vector.tool_version()}")


if __name__ == "__main__":
    try:
        main()
    except LayoutError as err:
        sys.exit(f"make_assets: {err}")
