#include "windows/layout.h"

#include <cwchar>

namespace glyphary::windows {

int TwipsToPixels(int twips, int dpi) {
  long long scaled = static_cast<long long>(twips) * dpi;
  long long half = kTwipsPerInch / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch
                                      : -((-scaled + half) / kTwipsPerInch));
}

namespace {

// A point size in hundredths of a point (8.25 pt is 825), so that the
// rounding below is exact integer arithmetic and needs no maths library.
long long Hundredths(double points) { return static_cast<long long>(points * 100 + 0.5); }

}  // namespace

int FontHeightForPoints(double points, int dpi) {
  // Rounded to the nearest pixel, halves up: 8.25 pt at 144 DPI is 16.5 -> 17.
  return -static_cast<int>((Hundredths(points) * dpi + 3600) / 7200);
}

}  // namespace glyphary::windows

namespace glyphary::windows {

int SmallestFontHeight(double points, int dpi) {
  // Four fifths of the size, rounded up: 13.2 px -> 14, exactly 64 -> 64.
  const long long scaled = Hundredths(points) * dpi * 4;
  return -static_cast<int>((scaled + 36000 - 1) / 36000);
}

PixelRect FitInside(const PixelRect& window, const PixelRect& work) {
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  int left = window.left;
  int top = window.top;
  if (left + width > work.right) left = work.right - width;
  if (top + height > work.bottom) top = work.bottom - height;
  if (left < work.left) left = work.left;
  if (top < work.top) top = work.top;
  return PixelRect{left, top, left + width, top + height};
}

const wchar_t* ScalableFace(const wchar_t* face) {
  return std::wcscmp(face, L"MS Sans Serif") == 0 ? L"Microsoft Sans Serif" : face;
}

}  // namespace glyphary::windows
