// The finish window is sizable, but its controls keep their places.
#include <map>

#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

// Every control of the finish window (the label inside the frame too),
// with its box in its parent's client area.
std::map<int, Box> ControlBoxes(HWND finish) {
  std::map<int, Box> boxes;
  HWND frame = Child(finish, FinishWindow::kFrame);
  for (int id : {FinishWindow::kFinish, FinishWindow::kFrame, FinishWindow::kRestart}) {
    HWND control = Child(finish, id);
    if (control != nullptr) boxes[id] = BoxInParent(control);
  }
  HWND label = frame != nullptr ? Child(frame, FinishWindow::kMessage) : nullptr;
  if (label != nullptr) boxes[FinishWindow::kMessage] = BoxInParent(label);
  return boxes;
}

using Finish = InstallerTest;

TEST_F(Finish, ResizingTheWindowMovesNoControl) {
  Installer& installer = StartToAgreement();
  ASSERT_NE(agreement_, nullptr);
  HWND finish = AcceptToFinish(installer, nullptr);
  ASSERT_NE(finish, nullptr);
  const std::map<int, Box> before = ControlBoxes(finish);
  ASSERT_EQ(before.size(), 4u);
  const Box client = ClientBox(finish);

  // Bigger, by the frame.
  const Box window = WindowBox(finish);
  SetWindowPos(finish, nullptr, window.left, window.top, window.width + 300, window.height + 200,
               SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(WaitFor([&] { return ClientBox(finish).width == client.width + 300; }))
      << "the window did not grow: " << ClientBox(finish);
  EXPECT_EQ(ClientBox(finish).height, client.height + 200);
  EXPECT_EQ(ControlBoxes(finish), before) << "a control moved when the window grew";

  // Maximised.
  ShowWindow(finish, SW_MAXIMIZE);
  ASSERT_TRUE(WaitFor([&] { return IsZoomed(finish) != FALSE; })) << "did not maximise";
  EXPECT_GT(ClientBox(finish).width, client.width + 300);
  EXPECT_EQ(ControlBoxes(finish), before) << "a control moved when the window was maximised";
  Screenshot("maximised");

  // And back.
  ShowWindow(finish, SW_RESTORE);
  ASSERT_TRUE(WaitFor([&] { return !IsZoomed(finish); }));
  EXPECT_EQ(ControlBoxes(finish), before);
  EXPECT_TRUE(installer.Running());
  EXPECT_EQ(installer.Visible(kFinish), finish);
}

}  // namespace
}  // namespace glyphary::e2e
