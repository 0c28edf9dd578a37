// High contrast: the installer's own windows (in the contrast host, whose
// high contrast the test switches) paint with the scheme's colours only,
// the picture in two of them, and follow the switch while they show.
#include <set>

#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

// The system colours the windows use, set for the test and put back after.
class ColourScheme {
 public:
  ColourScheme() {
    for (int i = 0; i < kCount; ++i) saved_[i] = GetSysColor(kElements[i]);
  }
  ~ColourScheme() {
    SetSysColors(kCount, kElements, saved_);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Glyphary E2E");  // the host's switch
  }
  // Ground, text and highlight; the button face and text take the ground
  // and text, as high-contrast schemes have them.
  bool Use(COLORREF ground, COLORREF text, COLORREF highlight) {
    const COLORREF colours[kCount] = {ground, text, highlight, ground, text};
    return SetSysColors(kCount, kElements, colours) != FALSE;
  }

 private:
  static constexpr int kCount = 5;
  static constexpr int kElements[kCount] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT,
                                            COLOR_BTNFACE, COLOR_BTNTEXT};
  COLORREF saved_[kCount] = {};
};

std::set<COLORREF> Colours(const Box& region) {
  const std::vector<COLORREF> pixels = ScreenPixels(region);
  return std::set<COLORREF>(pixels.begin(), pixels.end());
}

constexpr Box kPicture{0, 0, 227, 338};
constexpr Box kTitle{265, 32, 784, 105};

// Switches the host's high contrast on or off and tells its windows, as
// Windows does when the user switches it.
void SwitchHighContrast(DWORD pid, bool on) {
  const DWORD value = on ? 1 : 0;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Glyphary E2E", L"HighContrast",
                            REG_DWORD, &value, sizeof(value)),
            ERROR_SUCCESS);
  for (HWND window : TopLevelWindows(pid)) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST,
                        reinterpret_cast<LPARAM>(L"WindowMetrics"), SMTO_ABORTIFHUNG, 5000, &ignored);
  }
}

TEST(Contrast, TheWindowsFollowHighContrastIntoTheSchemesColoursAndBack) {
  ColourScheme scheme;
  constexpr COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255), kCyan = RGB(0, 255, 255);
  constexpr COLORREF kGround = RGB(128, 128, 255), kBlue = RGB(0, 0, 192);
  ASSERT_TRUE(scheme.Use(kBlack, kWhite, kCyan));
  SwitchHighContrast(0, false);

  Process host;
  ASSERT_EQ(host.Launch(BesideDriver(L"e2e_contrast_host.exe"), L""), L"");
  HWND agreement = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (agreement = VisibleWindow(host.pid(), kAgreement)) != nullptr; }));
  HWND splash = VisibleWindow(host.pid(), kSplash);
  ASSERT_NE(splash, nullptr);
  const Box screen = WindowBox(splash);
  const Box corner{screen.width - 20, screen.height - 20, 10, 10};

  // High contrast off: the backdrop keeps the design's colours even in a
  // black scheme.
  EXPECT_TRUE(WaitFor([&] { return Colours(corner) == std::set<COLORREF>{kGround}; }));
  EXPECT_TRUE(WaitFor([&] { return Colours(kTitle).count(kBlue) != 0; }));

  // Switched on while it shows: the ground takes the window colour, the
  // picture the ground and text colours alone, the title the highlight
  // over its text-coloured shadow. None of the design's colours is left.
  SwitchHighContrast(host.pid(), true);
  EXPECT_TRUE(WaitFor([&] { return Colours(corner) == std::set<COLORREF>{kBlack}; }))
      << "the backdrop's ground is not the scheme's window colour";
  EXPECT_TRUE(WaitFor([&] { return Colours(kPicture) == std::set<COLORREF>{kBlack, kWhite}; }))
      << "the picture is not in the ground and text colours alone";
  const std::set<COLORREF> title = Colours(kTitle);
  EXPECT_TRUE(title.count(kCyan) && title.count(kWhite) && title.count(kBlack));
  for (const COLORREF design : {kGround, kBlue}) {
    EXPECT_EQ(Colours(Box{0, 0, kTitle.left + kTitle.width, kPicture.height}).count(design), 0u)
        << std::hex << design;
  }

  Screenshot("on");

  // The finish window's frame: a line in the text colour on the face.
  PostMessageW(Child(agreement, AgreementWindow::kAccept), BM_CLICK, 0, 0);
  HWND finish = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (finish = VisibleWindow(host.pid(), kFinish)) != nullptr; }));
  HWND frame = Child(finish, FinishWindow::kFrame);
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(WaitFor([&] {
    const Box edge = WindowBox(frame);
    return ScreenPixel(edge.left, edge.top + edge.height - 1) == kWhite;
  })) << "the frame's border is not a line in the text colour";
  Screenshot("finish");

  // And off again: the design's colours come back.
  SwitchHighContrast(host.pid(), false);
  EXPECT_TRUE(WaitFor([&] { return Colours(corner) == std::set<COLORREF>{kGround}; }))
      << "the backdrop did not follow high contrast off";
}

}  // namespace
}  // namespace glyphary::e2e
