// Starting the program: the splash fills the screen on its own, and the
// agreement window follows without anything being pressed.
#include <cstdint>

#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

constexpr COLORREF kSplashGround = RGB(128, 128, 255);

std::uint32_t Little32(const std::vector<char>& bytes, size_t at) {
  std::uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  }
  return value;
}

// The pixels of a 24-bit bottom-up .bmp, row by row from the top; empty
// when the file is not one.
std::vector<COLORREF> BitmapPixels(const std::wstring& path, int* width, int* height) {
  std::vector<char> file = ReadWholeFile(path);
  std::vector<COLORREF> pixels;
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return pixels;
  const std::uint32_t offset = Little32(file, 10);
  *width = static_cast<int>(Little32(file, 18));
  *height = static_cast<int>(Little32(file, 22));
  const int bits = static_cast<unsigned char>(file[28]) | (static_cast<unsigned char>(file[29]) << 8);
  if (bits != 24 || *width <= 0 || *height <= 0) return pixels;
  const size_t stride = (static_cast<size_t>(*width) * 3 + 3) & ~size_t{3};
  if (file.size() < offset + stride * static_cast<size_t>(*height)) return pixels;
  for (int row = 0; row < *height; ++row) {
    const size_t start = offset + stride * static_cast<size_t>(*height - 1 - row);
    for (int column = 0; column < *width; ++column) {
      const size_t at = start + static_cast<size_t>(column) * 3;
      pixels.push_back(RGB(static_cast<unsigned char>(file[at + 2]),
                           static_cast<unsigned char>(file[at + 1]),
                           static_cast<unsigned char>(file[at])));
    }
  }
  return pixels;
}

size_t CountColour(const std::vector<COLORREF>& pixels, COLORREF colour) {
  size_t count = 0;
  for (COLORREF pixel : pixels) count += pixel == colour ? 1 : 0;
  return count;
}

using Startup = InstallerTest;

TEST_F(Startup, TheSplashFillsTheScreenAndTheAgreementFollowsOnItsOwn) {
  Installer& installer = Start();
  HWND splash = installer.WaitForVisible(kSplash);
  ASSERT_NE(splash, nullptr) << "the splash did not come up";

  // Maximised, borderless, covering the whole monitor.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(splash, MONITOR_DEFAULTTONEAREST), &monitor));
  const Box screen{monitor.rcMonitor.left, monitor.rcMonitor.top,
                   monitor.rcMonitor.right - monitor.rcMonitor.left,
                   monitor.rcMonitor.bottom - monitor.rcMonitor.top};
  EXPECT_TRUE(WaitFor([&] { return IsZoomed(splash) && WindowBox(splash) == screen; }, 10000))
      << "zoomed " << IsZoomed(splash) << ", window " << WindowBox(splash) << ", screen "
      << screen;
  EXPECT_EQ(ClientBox(splash), screen) << "the splash has a frame or a caption bar";
  const LONG_PTR style = StyleOf(splash);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_EQ(style & WS_CAPTION, 0) << "caption bar";
  EXPECT_EQ(style & (WS_THICKFRAME | WS_BORDER | WS_DLGFRAME), 0) << "border";
  EXPECT_EQ(ExStyleOf(splash) & (WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME), 0);
  // The caption is there as window text though no bar shows it.
  EXPECT_EQ(CaptionOf(splash), L"Form1");

  // Its one control, the title; its shadow and the picture in the corner are
  // drawn by the backdrop itself (their pixels are checked below).
  HWND title = Child(splash, SplashWindow::kTitle);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(ClassOf(title), L"Glyphary.Lightweight");
  EXPECT_EQ(CaptionOf(title), L"Glyphary Installer");
  EXPECT_EQ(BoxInParent(title), (Box{265, 32, 784, 105}));
  EXPECT_TRUE(IsWindowVisible(title));
  EXPECT_EQ(GetWindow(splash, GW_CHILD), title);
  EXPECT_EQ(GetWindow(title, GW_HWNDNEXT), nullptr) << "the backdrop has another child window";

  // The agreement window follows by itself, in front of the splash.
  HWND agreement = installer.WaitForVisible(kAgreement);
  ASSERT_NE(agreement, nullptr) << "the agreement window did not follow the splash";
  EXPECT_EQ(installer.Windows(kAgreement).size(), 1u);
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == agreement; }, 10000))
      << "the agreement window is not the foreground window";
  bool agreement_in_front = false;
  for (HWND window = GetTopWindow(nullptr); window != nullptr;
       window = GetWindow(window, GW_HWNDNEXT)) {
    if (window == agreement) agreement_in_front = true;
    if (window == agreement || window == splash) break;
  }
  EXPECT_TRUE(agreement_in_front) << "the splash covers the agreement window";
  EXPECT_TRUE(installer.Windows(kProgress).empty());
  EXPECT_TRUE(installer.Windows(kFinish).empty());

  // What is on the screen: the ground colour around everything, seen through
  // the transparent titles, the titles' blue and black, and the picture as
  // shipped at the top-left corner.
  const Box agreement_box = WindowBox(agreement);
  ASSERT_TRUE(WaitFor([&] {
    return ScreenPixel(screen.width - 5, screen.height - 5) == kSplashGround &&
           ScreenPixel(agreement_box.left + 200, agreement_box.top + agreement_box.height - 25) ==
               GetSysColor(COLOR_BTNFACE);
  }, 10000)) << "the windows were not painted";
  Screenshot("splash-and-agreement");
  EXPECT_EQ(ScreenPixel(screen.width - 5, screen.height - 5), kSplashGround);
  EXPECT_EQ(ScreenPixel(5, screen.height - 5), kSplashGround);
  // The right end of the wide title's box holds no letters: a transparent
  // label shows the ground there, an opaque one its own grey.
  EXPECT_EQ(ScreenPixel(265 + 784 - 5, 32 + 105 - 5), kSplashGround);
  const std::vector<COLORREF> titles = ScreenPixels(Box{265, 32, 784, 105});
  EXPECT_GT(CountColour(titles, RGB(0, 0, 192)), 500u) << "the blue title is not drawn";
  EXPECT_GT(CountColour(titles, GetSysColor(COLOR_WINDOWTEXT)), 500u)
      << "the title's shadow is not drawn";

  int width = 0;
  int height = 0;
  const std::vector<COLORREF> picture =
      BitmapPixels(Setting(L"GLYPHARY_E2E_SPLASH"), &width, &height);
  ASSERT_FALSE(picture.empty()) << "GLYPHARY_E2E_SPLASH is not a 24-bit picture";
  const std::vector<COLORREF> shown = ScreenPixels(Box{0, 0, width, height});
  size_t differing = 0;
  for (size_t i = 0; i < picture.size() && i < shown.size(); ++i) {
    differing += picture[i] != shown[i] ? 1 : 0;
  }
  EXPECT_EQ(differing, 0u) << "pixels of the splash picture differ from the shipped one";

  // Nothing asked for the windows' accessible objects: Active Accessibility
  // stays unloaded (the accessibility test sees it loaded once asked).
  EXPECT_FALSE(installer.HasLoaded(L"oleacc.dll"));
}

}  // namespace
}  // namespace glyphary::e2e
