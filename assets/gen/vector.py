"""SVG documents rendered to pixels by rsvg-convert (Debian's librsvg2-bin).

The documents are built in code and never use text or system fonts, so
what comes out depends only on the document and on librsvg's rasteriser.
The PNG rsvg-convert writes is read back into a Canvas; the files we ship
are encoded by container.py, so no bytes of the tool's own output (its
chunks, its compression) reach them."""

import shutil
import subprocess

from .container import png_read
from .raster import LayoutError

TOOL = "rsvg-convert"


def tool_version():
    """rsvg-convert's version line, or None when it is not installed."""
    if shutil.which(TOOL) is None:
        return None
    out = subprocess.run([TOOL, "--version"], capture_output=True, text=True,
                         check=False)
    return out.stdout.strip() or None


def render(body, width, height):
    """Renders SVG elements `body`, in pixel units, into a width x height
    Canvas."""
    if shutil.which(TOOL) is None:
        raise LayoutError(f"{TOOL} not found: install Debian's librsvg2-bin "
                          "(bash tools/setup.sh does)")
    doc = ('<svg xmlns="http://www.w3.org/2000/svg" '
           f'width="{width}" height="{height}" '
           f'viewBox="0 0 {width} {height}">{body}</svg>')
    out = subprocess.run([TOOL, "--format=png", f"--width={width}",
                          f"--height={height}"],
                         input=doc.encode("ascii"), capture_output=True,
                         check=False)
    if out.returncode != 0:
        raise LayoutError(f"{TOOL} failed: "
                          f"{out.stderr.decode(errors='replace').strip()}")
    img = png_read(out.stdout)
    if (img.width, img.height) != (width, height):
        raise LayoutError(f"{TOOL} gave {img.width}x{img.height}, "
                          f"asked for {width}x{height}")
    return img


def fmt(v):
    """A coordinate as SVG text: at most three decimals, no trailing zeros,
    so the document (and so the picture) never depends on float printing."""
    text = f"{v:.3f}".rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


def points(pts):
    return " ".join(f"{fmt(x)},{fmt(y)}" for x, y in pts)


def rgb(c):
    return f"#{c[0]:02x}{c[1]:02x}{c[2]:02x}"
