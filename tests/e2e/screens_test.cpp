// The installer on the screens people have: run by run_e2e.sh at 96, 120,
// 144 and 192 DPI on screens from 800 x 600 up. Every window the user must
// use lies wholly inside the work area, where it was designed to be if it
// fits there; the finish message stays one line.
#include <sstream>

#include "tests/e2e/e2e_test.h"
#include "windows/layout.h"

namespace glyphary::e2e {
namespace {

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

std::string Where(const Box& box) {
  std::ostringstream out;
  out << box << " in the work area " << WorkAreaFor(box) << " at " << ScreenDpi() << " DPI";
  return out.str();
}

// A window whose design puts its client area's top-left corner at
// (left, top) twips sits there when the whole window fits on the screen;
// otherwise it was moved, and then it touches the edge it was moved from.
void ExpectDesignedOrFitted(HWND window, int left_twips, int top_twips) {
  const Box outer = WindowBox(window);
  const Box client = ClientBox(window);
  const Box work = WorkAreaFor(outer);
  const int dpi = ScreenDpi();
  const int designed_x = windows::TwipsToPixels(left_twips, dpi) - (client.left - outer.left);
  const int designed_y = windows::TwipsToPixels(top_twips, dpi) - (client.top - outer.top);
  if (designed_x + outer.width <= work.left + work.width) {
    EXPECT_EQ(outer.left, designed_x) << Where(outer);
  } else {
    EXPECT_EQ(outer.left + outer.width, work.left + work.width) << Where(outer);
  }
  if (designed_y + outer.height <= work.top + work.height) {
    EXPECT_EQ(outer.top, designed_y) << Where(outer);
  } else {
    EXPECT_EQ(outer.top + outer.height, work.top + work.height) << Where(outer);
  }
}

// The columns of `region` that hold a pixel darker than mid-grey: text.
int RightmostInk(const Box& region) {
  const std::vector<COLORREF> pixels = ScreenPixels(region);
  int rightmost = -1;
  for (int y = 0; y < region.height; ++y) {
    for (int x = 0; x < region.width; ++x) {
      const COLORREF c = pixels[static_cast<size_t>(y * region.width + x)];
      if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 96 && x > rightmost) rightmost = x;
    }
  }
  return rightmost;
}

class Screens : public InstallerTest {};

TEST_F(Screens, EveryWindowTheUserMustUseLiesOnTheScreenAndItsTextFits) {
  Installer& installer = StartToAgreement();
  ASSERT_NE(agreement_, nullptr);

  // The agreement, with both of its buttons where the pointer can reach them.
  EXPECT_TRUE(InsideWorkArea(WindowBox(agreement_))) << Where(WindowBox(agreement_));
  ExpectDesignedOrFitted(agreement_, 8865, 4920);
  for (int id : {AgreementWindow::kCancel, AgreementWindow::kAccept}) {
    HWND button = Child(agreement_, id);
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(InsideWorkArea(WindowBox(button))) << Where(WindowBox(button));
  }
  Screenshot("agreement");

  ProgressSighting progress;
  HWND finish = AcceptToFinish(installer, &progress, "progress");
  ASSERT_NE(finish, nullptr) << "no finish window";
  if (progress.held) {
    EXPECT_TRUE(InsideWorkArea(progress.outer)) << Where(progress.outer);
    EXPECT_EQ(progress.status_text, L"Editing Registry...");
  }

  // The finish window, placed by the system, on the screen; its message one
  // line long: a wrapped message would end well short of its box's right
  // edge (after "your"), with "computer." cut off below.
  EXPECT_TRUE(InsideWorkArea(WindowBox(finish))) << Where(WindowBox(finish));
  HWND message = Child(Child(finish, FinishWindow::kFrame), FinishWindow::kMessage);
  ASSERT_NE(message, nullptr);
  const Box label = WindowBox(message);
  const int ink = RightmostInk(label);
  EXPECT_GE(ink, label.width * 93 / 100) << "the message ends at " << ink << " of " << label.width
                                         << " px: wrapped";
  Screenshot("finish");
}

}  // namespace
}  // namespace glyphary::e2e
