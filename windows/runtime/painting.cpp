#include "windows/runtime/painting.h"

namespace glyphary::windows {

COLORREF ToColorRef(const Colour& colour) {
  return colour.system ? GetSysColor(colour.system_index) : RGB(colour.r, colour.g, colour.b);
}

void Fill(HDC dc, const RECT& box, COLORREF colour) {
  GdiObject brush(CreateSolidBrush(colour));
  FillRect(dc, &box, static_cast<HBRUSH>(brush.get()));
}

void DrawBitmap(HDC dc, HBITMAP bitmap, POINT at) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof(info), &info);
  MemoryDc memory(dc);
  SelectedObject picture(memory.get(), bitmap);
  BitBlt(dc, at.x, at.y, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
}

void DrawCaption(HDC dc, HFONT font, COLORREF colour, std::wstring_view text, RECT box) {
  SelectedObject selected(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &box,
            DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

void DrawFrame(HDC dc, HFONT font, RECT client) {
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  TEXTMETRICW metrics{};
  {
    SelectedObject selected(dc, font);
    GetTextMetricsW(dc, &metrics);
  }
  client.top += metrics.tmHeight / 2;
  DrawEdge(dc, &client, EDGE_ETCHED, BF_RECT);
}

}  // namespace glyphary::windows
