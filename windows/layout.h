// Layout arithmetic of the window descriptions, free of any Windows header:
// positions in twips (1/1440 inch) to pixels, and font points to the height
// Windows takes, both at a given DPI.
#pragma once

namespace glyphary::windows {

constexpr int kTwipsPerInch = 1440;

// A window's or control's place and size in twips: a control's relative to
// its container's client area, a window's client area on the screen.
struct Box {
  int left = 0, top = 0, width = 0, height = 0;
};

// Pixels for `twips` at `dpi`, rounded to the nearest pixel (15 twips a
// pixel at 96 DPI).
int TwipsToPixels(int twips, int dpi);

// The LOGFONT height for a font of `points` at `dpi`: negative, so that
// Windows matches the character height rather than the cell height.
int FontHeightForPoints(double points, int dpi);

}  // namespace glyphary::windows

namespace glyphary::windows {

// The smallest LOGFONT height a caption may be drawn at when the face the
// machine has makes it too wide for its box at the design size: four fifths
// of that size, rounded up to whole pixels (negative, like the heights
// above).
int SmallestFontHeight(double points, int dpi);

// A rectangle in screen pixels; right and bottom are exclusive.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const PixelRect& other) const {
    return left == other.left && top == other.top && right == other.right &&
           bottom == other.bottom;
  }
};

// Where `window` goes so that it lies wholly inside `work` (the work area of
// its monitor): where it is when it fits there; otherwise moved the least
// distance that makes it fit. A window larger than `work` keeps its
// top-left corner, and so its title bar, inside. The size never changes.
PixelRect FitInside(const PixelRect& window, const PixelRect& work);

// The scalable TrueType face drawn to the design metrics of the bitmap face
// `face`, as Windows' own font substitution maps it ("MS Sans Serif" to
// "Microsoft Sans Serif"); `face` itself for any other face.
const wchar_t* ScalableFace(const wchar_t* face);

}  // namespace glyphary::windows
