// Layout arithmetic of the window descriptions, free of any Windows header:
// positions in twips (1/1440 inch) to pixels, and font points to the height
// Windows takes, both at a given DPI.
#pragma once

namespace glyphary::windows {

constexpr int kTwipsPerInch = 1440;

// Pixels for `twips` at `dpi`, rounded to the nearest pixel (15 twips a
// pixel at 96 DPI).
int TwipsToPixels(int twips, int dpi);

// The LOGFONT height for a font of `points` at `dpi`: negative, so that
// Windows matches the character height rather than the cell height.
int FontHeightForPoints(double points, int dpi);

}  // namespace glyphary::windows
