#include "windows/runtime/layout.h"

#include <cmath>
#include <cwchar>

namespace glyphary::windows {

int TwipsToPixels(int twips, int dpi) {
  long long scaled = static_cast<long long>(twips) * dpi;
  long long half = kTwipsPerInch / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch
                                      : -((-scaled + half) / kTwipsPerInch));
}

int FontHeightForPoints(double points, int dpi) {
  return -static_cast<int>(std::lround(points * dpi / 72.0));
}

}  // namespace glyphary::windows

namespace glyphary::windows {

int SmallestFontHeight(double points, int dpi) {
  // A hair of tolerance, so that an exact size is not taken a pixel up by
  // the binary fraction.
  return -static_cast<int>(std::ceil(points * dpi / 72.0 * 4 / 5 - 1e-9));
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
