#include "windows/runtime/controls.h"

#include "base/decimal.h"
#include "windows/runtime/runtime.h"

namespace glyphary::windows {

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

// One row a kind of control, in ControlKind order.
constexpr ControlClass kClasses[] = {
    /* kLabel */ {kLightweightClass, kChild, 0},
    /* kImage */ {kLightweightClass, kChild, 0},
    /* kTextBox */ {L"EDIT", kChild | WS_TABSTOP | ES_LEFT, WS_EX_CLIENTEDGE},
    /* kCommandButton */ {L"BUTTON", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0},
    /* kFrame */ {kFrameClass, kChild | WS_CLIPCHILDREN, 0},
    /* kCheckBox */ {L"BUTTON", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0},
};

Error ResourceMissing(int id) {
  Error error(errors::kResourceNotFound, L"Resource not found");
  error.At(Joined(L"resource ", DecimalText(id)));
  return error;
}

}  // namespace

ControlClass ClassOf(const ControlDescription& control) {
  ControlClass made = kClasses[static_cast<int>(control.kind)];
  if (control.kind == ControlKind::kTextBox) {
    if (control.multi_line) made.style |= ES_MULTILINE | ES_AUTOVSCROLL;
    if (control.vertical_scroll) made.style |= WS_VSCROLL;
    if (control.read_only) made.style |= ES_READONLY;
  }
  return made;
}

DWORD FormStyle(const FormDescription& form) {
  DWORD style = WS_CLIPCHILDREN;
  switch (form.border) {
    case Border::kNone:
      style |= WS_POPUP;
      break;
    case Border::kFixedSingle:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
      break;
    case Border::kSizable:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
      break;
  }
  if (form.min_button) style |= WS_MINIMIZEBOX;
  if (form.max_button) style |= WS_MAXIMIZEBOX;
  return style;
}

Error LoadTextResource(int id, WideText& text) {
  HINSTANCE instance = runtime::Instance();
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
  const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes == nullptr) return ResourceMissing(id);
  const int size = static_cast<int>(SizeofResource(instance, found));
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes, size, nullptr, 0);
  text.Resize(static_cast<size_t>(length));
  MultiByteToWideChar(CP_ACP, 0, bytes, size, text.data(), length);
  return Error();
}

Error LoadBitmapResource(int id, HBITMAP& bitmap) {
  bitmap = static_cast<HBITMAP>(
      LoadImageW(runtime::Instance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  return bitmap != nullptr ? Error() : ResourceMissing(id);
}

}  // namespace glyphary::windows
