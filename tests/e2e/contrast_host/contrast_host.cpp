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
// ID for a control.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class PrintedAnnotations final : public IAccPropServices {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = iid == __uuidof(IUnknown) || iid == IID_IAccPropServices ? this : nullptr;
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override {
    Print(L"released");
    return 1;
  }
  HRESULT STDMETHODCALLTYPE SetHwndPropStr(HWND window, DWORD object, DWORD child, MSAAPROPID property,
                                           LPCWSTR text) override {
    Print(L"set " + Where(window, object, child) + L" " + Name(property) + L" " + text);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHwndProp(HWND window, DWORD object, DWORD child, MSAAPROPID property,
                                        VARIANT value) override {
    Print(L"set " + Where(window, object, child) + L" " + Name(property) + L" " +
          (value.vt == VT_I4 ? std::to_wstring(value.lVal) : L"(not VT_I4)"));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ClearHwndProps(HWND window, DWORD object, DWORD child, const MSAAPROPID* properties,
                                           int count) override {
    std::wstring names;
    for (int i = 0; i < count; ++i) names += L" " + Name(properties[i]);
    Print(L"clear " + Where(window, object, child) + names);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                          AnnoScope) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                              AnnoScope) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                               AnnoScope) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override {
    return E_NOTIMPL;
  }

 private:
  static std::wstring Where(HWND window, DWORD object, DWORD child) {
    if (!IsWindow(window)) return L"(gone)";
    wchar_t name[64] = L"";
    GetClassNameW(GetAncestor(window, GA_ROOT), name, 64);
    std::wstring where = name;
    if (GetAncestor(window, GA_ROOT) != window) where += L"/" + std::to_wstring(GetDlgCtrlID(window));
    where += static_cast<LONG>(object) == OBJID_CLIENT ? L" client" : static_cast<LONG>(object) == OBJID_WINDOW
                                                                          ? L" window"
                                                                          : L" object " + std::to_wstring(object);
    return child == CHILDID_SELF ? where : where + L" child " + std::to_wstring(child);
  }
  static std::wstring Name(const MSAAPROPID& property) {
    if (property == PROPID_ACC_NAME) return L"name";
    if (property == PROPID_ACC_DESCRIPTION) return L"description";
    if (property == PROPID_ACC_ROLE) return L"role";
    if (property == kLiveSetting) return L"live";
    return L"(another property)";
  }
  static void Print(const std::wstring& line) {
    char text[2048];
    const int length = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, text, sizeof(text) - 1, nullptr, nullptr);
    if (length <= 0) return;
    text[length - 1] = '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(length), &written, nullptr);
  }
  static constexpr GUID kLiveSetting = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
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
