// The installer's own windows as a high-contrast scheme shows them, for the
// end-to-end test of their colours. Wine cannot switch high contrast on
// (SPI_SETHIGHCONTRAST fails there), so this host answers the windows'
// question "is high contrast on?" from the DWORD value HighContrast under
// HKEY_CURRENT_USER\Software\Glyphary E2E, which the test sets before it
// tells the windows that the setting changed; the colours are the system's.
// It shows the backdrop and the agreement window as the installer does;
// "Accept" brings up the finish window (nothing is installed), "Cancel"
// ends it.
//
// With the argument /annotate the windows meet an annotation service that
// works, as Windows' does (Wine's answers E_NOTIMPL): a stand-in that
// prints each annotation and each clearing to standard output. "Accept"
// then walks on as the installer does (the progress window with its
// status, the agreement closed, the finish window), and "Finish" closes
// every window, which ends the host.
#include <windows.h>
#include <initguid.h>
#include <oleacc.h>

#include <string>

namespace {

bool TestHighContrast() {
  DWORD on = 0;
  DWORD size = sizeof(on);
  return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Glyphary E2E", L"HighContrast",
                      RRF_RT_REG_DWORD, nullptr, &on, &size) == ERROR_SUCCESS &&
         on != 0;
}

// The stand-in annotation service. Windows are named as the test's events
// name them: the class of their top-level window, then "/" and the control
// ID for a control; then the object, the property and the value.
#define GLYPHARY_UNUSED(method, ...) \
  HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return E_NOTIMPL; }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class PrintedAnnotations final : public IAccPropServices {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return Print(L"released"), 1; }
  HRESULT STDMETHODCALLTYPE SetHwndPropStr(HWND window, DWORD object, DWORD, MSAAPROPID property,
                                           LPCWSTR text) override {
    return Print(L"set " + Where(window, object) + Name(property) + L" " + text), S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHwndProp(HWND window, DWORD object, DWORD, MSAAPROPID property,
                                        VARIANT value) override {
    const std::wstring shown = value.vt == VT_I4 ? std::to_wstring(value.lVal) : L"(not VT_I4)";
    return Print(L"set " + Where(window, object) + Name(property) + L" " + shown), S_OK;
  }
  HRESULT STDMETHODCALLTYPE ClearHwndProps(HWND window, DWORD object, DWORD, const MSAAPROPID* properties,
                                           int count) override {
    std::wstring line = L"clear " + Where(window, object);
    for (int i = 0; i < count; ++i) line += Name(properties[i]);
    return Print(line), S_OK;
  }
  GLYPHARY_UNUSED(SetPropValue, const BYTE*, DWORD, MSAAPROPID, VARIANT)
  GLYPHARY_UNUSED(SetPropServer, const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope)
  GLYPHARY_UNUSED(ClearProps, const BYTE*, DWORD, const MSAAPROPID*, int)
  GLYPHARY_UNUSED(SetHwndPropServer, HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope)
  GLYPHARY_UNUSED(ComposeHwndIdentityString, HWND, DWORD, DWORD, BYTE**, DWORD*)
  GLYPHARY_UNUSED(DecomposeHwndIdentityString, const BYTE*, DWORD, HWND*, DWORD*, DWORD*)
  GLYPHARY_UNUSED(SetHmenuProp, HMENU, DWORD, MSAAPROPID, VARIANT)
  GLYPHARY_UNUSED(SetHmenuPropStr, HMENU, DWORD, MSAAPROPID, LPCWSTR)
  GLYPHARY_UNUSED(SetHmenuPropServer, HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope)
  GLYPHARY_UNUSED(ClearHmenuProps, HMENU, DWORD, const MSAAPROPID*, int)
  GLYPHARY_UNUSED(ComposeHmenuIdentityString, HMENU, DWORD, BYTE**, DWORD*)
  GLYPHARY_UNUSED(DecomposeHmenuIdentityString, const BYTE*, DWORD, HMENU*, DWORD*)

 private:
  // "(gone)" for a window already destroyed.
  static std::wstring Where(HWND window, DWORD object) {
    wchar_t name[64] = L"(gone)";
    HWND root = GetAncestor(window, GA_ROOT);
    if (!IsWindow(window) || GetClassNameW(root, name, 64) == 0) return name;
    const std::wstring control = root != window ? L"/" + std::to_wstring(GetDlgCtrlID(window)) : L"";
    return name + control + (static_cast<LONG>(object) == OBJID_CLIENT ? L" client" : L" window");
  }
  static std::wstring Name(const MSAAPROPID& property) {
    constexpr GUID kLiveSetting = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
    return property == PROPID_ACC_NAME ? L" name" : property == PROPID_ACC_DESCRIPTION ? L" description"
           : property == PROPID_ACC_ROLE ? L" role" : property == kLiveSetting ? L" live" : L" (another)";
  }
  static void Print(const std::wstring& line) {
    char text[2048];
    const int length = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, text, sizeof(text) - 1, nullptr, nullptr);
    text[length > 0 ? length - 1 : 0] = '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(length > 0 ? length : 1), &written, nullptr);
  }
};
#pragma GCC diagnostic pop

PrintedAnnotations printed;

HRESULT PrintedAnnotationService(IAccPropServices** service) {
  *service = &printed;
  return S_OK;
}

}  // namespace

#include "windows/agreement_window.h"
#include "windows/finish_window.h"
#include "windows/progress_window.h"
#include "windows/splash_window.h"
#include "windows/ui.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  using namespace glyphary::windows;
  using glyphary::Error;
  const bool annotate = arguments != nullptr && std::wstring(arguments) == L"/annotate";
  Ui ui(instance, &TestHighContrast, annotate ? &PrintedAnnotationService : nullptr);
  SplashWindow splash(ui);
  AgreementWindow agreement(ui);
  ProgressWindow progress(ui);
  FinishWindow finish(ui);
  auto close_all = [&]() -> Error {
    finish.Close();
    splash.Close();
    return Error();
  };
  auto nothing = []() -> Error { return Error(); };
  auto hand_over = [&]() -> Error {
    if (Error error = finish.Show(Handler(close_all))) return error;
    progress.Close();
    return Error();
  };
  auto accept = [&]() -> Error {
    if (!annotate) return finish.Show(Handler(nothing));
    if (Error error = progress.Create()) return error;
    progress.ShowStage(glyphary::engine::InstallStage::kEditingRegistry);
    progress.Show(Handler(hand_over));
    agreement.Close();
    return Error();
  };
  auto cancel = [&]() -> Error { ui.End(0); };
  auto show_agreement = [&]() { return agreement.Show(Handler(accept), Handler(cancel)); };
  if (Error error = splash.Show(Handler(show_agreement))) ui.ReportError(error);
  return ui.Run();
}
