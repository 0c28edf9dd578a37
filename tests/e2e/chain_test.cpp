// The chain of windows off the main road: the splash minimised and restored,
// the agreement window or the splash closed, and "Cancel".
#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

// Minimises the splash and waits for it; then restores it (to maximised,
// where it was) and waits for that. The system menu's commands, as the
// taskbar button sends them.
void Minimise(HWND splash) {
  PostMessageW(splash, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(WaitFor([&] { return IsIconic(splash) != FALSE; })) << "the splash did not minimise";
}

void Restore(HWND splash) {
  PostMessageW(splash, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsIconic(splash) && IsZoomed(splash); }))
      << "the splash did not come back maximised";
}

// Hides the agreement window from outside, so that the program showing it
// again can be seen.
void Hide(HWND agreement) {
  ShowWindow(agreement, SW_HIDE);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(agreement); }));
}

// Scrolls the agreement text down a page with the keyboard (the focus is in
// it) and returns the first visible line.
LRESULT ScrollDown(HWND text) {
  PressKey(VK_NEXT);
  EXPECT_TRUE(WaitFor([&] { return SendMessageW(text, EM_GETFIRSTVISIBLELINE, 0, 0) > 0; }))
      << "Page Down did not scroll the agreement";
  return SendMessageW(text, EM_GETFIRSTVISIBLELINE, 0, 0);
}

using Chain = InstallerTest;

TEST_F(Chain, MinimisingAndRestoringTheSplashShowsTheSameAgreementAgain) {
  Installer& installer = StartToAgreement();
  ASSERT_NE(agreement_, nullptr);
  HWND text = Child(agreement_, AgreementWindow::kAgreementText);
  ASSERT_TRUE(WaitFor([&] { return FocusIn(agreement_) == text; }));
  const LRESULT line = ScrollDown(text);

  Hide(agreement_);
  Minimise(splash_);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(agreement_) != FALSE; }))
      << "minimising the splash did not show the agreement again";
  EXPECT_EQ(installer.Windows(kAgreement), std::vector<HWND>{agreement_});

  Hide(agreement_);
  Restore(splash_);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(agreement_) != FALSE; }))
      << "restoring the splash did not show the agreement again";

  // The same window, shown again: not a second one, not a reloaded one.
  EXPECT_EQ(installer.Windows(kAgreement), std::vector<HWND>{agreement_});
  EXPECT_EQ(SendMessageW(text, EM_GETFIRSTVISIBLELINE, 0, 0), line);
  EXPECT_TRUE(TextOf(text) == AgreementText());
  EXPECT_TRUE(installer.Windows(kProgress).empty());
  EXPECT_TRUE(installer.Windows(kFinish).empty());
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(Chain, ClosingTheAgreementInstallsNothingAndTheSplashBringsAFreshOne) {
  Installer& installer = StartToAgreement();
  ASSERT_NE(agreement_, nullptr);
  HWND old_text = Child(agreement_, AgreementWindow::kAgreementText);
  ASSERT_TRUE(WaitFor([&] { return FocusIn(agreement_) == old_text; }));
  ScrollDown(old_text);

  // The close button: the system menu's Close.
  PostMessageW(agreement_, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(installer.WaitForGone(kAgreement)) << "the agreement window did not close";
  EXPECT_TRUE(installer.Running());
  EXPECT_EQ(installer.Visible(kSplash), splash_);
  EXPECT_TRUE(IsZoomed(splash_));
  EXPECT_TRUE(installer.Windows(kProgress).empty());
  EXPECT_TRUE(installer.Windows(kFinish).empty());
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
  Screenshot("splash-alone");

  // Later, a minimise and restore of the splash brings a new agreement
  // window, as it was at the start.
  Minimise(splash_);
  Restore(splash_);
  HWND fresh = installer.WaitForVisible(kAgreement);
  ASSERT_NE(fresh, nullptr) << "no agreement window after minimising and restoring the splash";
  EXPECT_FALSE(IsWindow(agreement_));
  EXPECT_EQ(installer.Windows(kAgreement).size(), 1u);
  HWND text = Child(fresh, AgreementWindow::kAgreementText);
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(TextOf(text) == AgreementText());
  EXPECT_EQ(SendMessageW(text, EM_GETFIRSTVISIBLELINE, 0, 0), 0) << "not scrolled to the top";
  EXPECT_EQ(ClientBox(fresh), (Box{591, 328, 406, 418}));
  // Under X the window manager gives the focus back to the splash it has
  // just restored, after the program brought the agreement forward; so the
  // agreement is brought forward here before its focus is looked at.
  ASSERT_TRUE(MakeForeground(fresh));
  EXPECT_TRUE(WaitFor([&] { return FocusIn(fresh) == text; })) << "the focus is not in the text";
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(Chain, ClosingTheSplashFromItsSystemMenuLeavesTheAgreement) {
  Installer& installer = StartToAgreement();
  ASSERT_NE(agreement_, nullptr);
  PostMessageW(splash_, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(installer.WaitForGone(kSplash)) << "the splash did not close";

  EXPECT_TRUE(installer.Running());
  EXPECT_EQ(installer.Visible(kAgreement), agreement_) << "the agreement window went too";

  // The agreement still works: Cancel ends the program.
  ASSERT_TRUE(MakeForeground(agreement_));
  EXPECT_TRUE(ClickCentre(Child(agreement_, AgreementWindow::kCancel)));
  DWORD code = 1;
  EXPECT_TRUE(installer.WaitForExit(20000, &code)) << "Cancel did not end the program";
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(Chain, AltF4OnTheSplashLeavesTheAgreement) {
  Installer& installer = StartToAgreement();
  ASSERT_NE(agreement_, nullptr);
  ASSERT_TRUE(MakeForeground(splash_));
  PressKey(VK_F4, false, false, true);
  ASSERT_TRUE(installer.WaitForGone(kSplash)) << "Alt+F4 did not close the splash";

  EXPECT_TRUE(installer.Running());
  EXPECT_EQ(installer.Visible(kAgreement), agreement_) << "the agreement window went too";

  // The agreement still works: Accept installs and reaches the finish window.
  ASSERT_TRUE(MakeForeground(agreement_));
  HWND finish = AcceptToFinish(installer, nullptr);
  EXPECT_NE(finish, nullptr) << "no finish window without the splash";
  EXPECT_TRUE(installer.Windows(kAgreement).empty());
}

TEST_F(Chain, ClosingEveryWindowEndsTheProgramCleanly) {
  Installer& installer = StartToAgreement();
  ASSERT_NE(agreement_, nullptr);
  PostMessageW(agreement_, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(installer.WaitForGone(kAgreement));
  EXPECT_TRUE(installer.Running()) << "the splash should keep the program going";
  PostMessageW(splash_, WM_SYSCOMMAND, SC_CLOSE, 0);
  DWORD code = 1;
  ASSERT_TRUE(installer.WaitForExit(20000, &code)) << "closing every window did not end it";
  EXPECT_EQ(code, 0u) << "the program ended normally but reports failure";
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

using Cancel = InstallerTest;

TEST_F(Cancel, EndsTheProgramAtOnceAndInstallsNothing) {
  Installer& installer = StartToAgreement();
  ASSERT_NE(agreement_, nullptr);
  HWND cancel = Child(agreement_, AgreementWindow::kCancel);
  ASSERT_NE(cancel, nullptr);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == agreement_; }));
  const DWORD pid = installer.pid();

  EXPECT_TRUE(ClickCentre(cancel));
  // Nothing comes between the click and the end: no progress window.
  const ProgressSighting sighting = WatchProgress(installer, "");
  EXPECT_FALSE(sighting.seen) << "a progress window came up after Cancel";
  DWORD code = 1;
  ASSERT_TRUE(installer.WaitForExit(20000, &code)) << "the program is still running";
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(TopLevelWindows(pid).empty()) << "windows of the program are left";
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

}  // namespace
}  // namespace glyphary::e2e
