// The agreement window: how it looks and what the keyboard does in it.
#include <cstring>

#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

class Agreement : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    if (HasFatalFailure()) return;
    installer_ = &StartToAgreement();
    ASSERT_NE(agreement_, nullptr);
    text_ = Child(agreement_, AgreementWindow::kAgreementText);
    cancel_ = Child(agreement_, AgreementWindow::kCancel);
    accept_ = Child(agreement_, AgreementWindow::kAccept);
    ASSERT_NE(text_, nullptr);
    ASSERT_NE(cancel_, nullptr);
    ASSERT_NE(accept_, nullptr);
    // Keys go to the window the program put in front; it must be this one.
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == agreement_; }, 10000));
    ASSERT_TRUE(WaitFor([&] { return FocusIn(agreement_) == text_; }, 10000));
  }

  // Nothing moved on: still the same single agreement window, no progress
  // or finish window, nothing installed, the program running.
  void ExpectNothingHappened() {
    EXPECT_TRUE(installer_->Running());
    EXPECT_EQ(installer_->Windows(kAgreement), std::vector<HWND>{agreement_});
    EXPECT_TRUE(IsWindowVisible(agreement_));
    EXPECT_TRUE(installer_->Windows(kProgress).empty());
    EXPECT_TRUE(installer_->Windows(kFinish).empty());
    EXPECT_EQ(Narrow(WhatIsInstalled()), "");
  }

  Installer* installer_ = nullptr;
  HWND text_ = nullptr;
  HWND cancel_ = nullptr;
  HWND accept_ = nullptr;
};

TEST_F(Agreement, LooksAsDesigned) {
  EXPECT_EQ(CaptionOf(agreement_), L"");
  const LONG_PTR style = StyleOf(agreement_);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU) << "no close button";
  EXPECT_FALSE(style & WS_THICKFRAME) << "sizable";
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_CHILD);
  EXPECT_EQ(ClientBox(agreement_), (Box{591, 328, 406, 418}));

  struct Expected {
    HWND control;
    const wchar_t* window_class;
    Box box;
  };
  const Expected controls[] = {
      {accept_, L"Button", {24, 376, 81, 33}},
      {cancel_, L"Button", {288, 376, 81, 33}},
      {text_, L"Edit", {8, 8, 385, 361}},
  };
  for (const Expected& expected : controls) {
    SCOPED_TRACE(GetDlgCtrlID(expected.control));
    EXPECT_EQ(ClassOf(expected.control), expected.window_class);
    EXPECT_EQ(BoxInParent(expected.control), expected.box);
    EXPECT_TRUE(IsWindowVisible(expected.control));
    EXPECT_TRUE(IsWindowEnabled(expected.control));
  }
  EXPECT_EQ(CaptionOf(accept_), L"Accept");
  EXPECT_EQ(CaptionOf(cancel_), L"Cancel");
  // Plain push buttons: neither is a default button that Enter would press.
  EXPECT_EQ(StyleOf(accept_) & BS_TYPEMASK, BS_PUSHBUTTON);
  EXPECT_EQ(StyleOf(cancel_) & BS_TYPEMASK, BS_PUSHBUTTON);

  const LONG_PTR text_style = StyleOf(text_);
  EXPECT_TRUE(text_style & ES_MULTILINE);
  EXPECT_TRUE(text_style & ES_READONLY);
  EXPECT_TRUE(text_style & WS_VSCROLL);
  EXPECT_FALSE(text_style & WS_HSCROLL);

  const std::wstring shipped = AgreementText();
  ASSERT_FALSE(shipped.empty()) << "GLYPHARY_E2E_AGREEMENT cannot be read";
  const std::wstring shown = TextOf(text_);
  EXPECT_EQ(shown.size(), shipped.size());
  EXPECT_TRUE(shown == shipped) << "the text box does not hold the agreement as shipped";
  EXPECT_EQ(SendMessageW(text_, EM_GETFIRSTVISIBLELINE, 0, 0), 0) << "not scrolled to the top";
  EXPECT_EQ(FocusIn(agreement_), text_)
      << "focus in " << Narrow(ClassOf(FocusIn(agreement_))) << ", active "
      << Narrow(ClassOf(ActiveIn(agreement_))) << ", foreground "
      << Narrow(ClassOf(GetForegroundWindow()));
}

TEST_F(Agreement, TabMovesTheFocusByTabIndex) {
  EXPECT_TRUE(TabTo(agreement_, cancel_)) << "Text1 -> Cancel";
  EXPECT_TRUE(TabTo(agreement_, accept_)) << "Cancel -> Accept";
  EXPECT_TRUE(TabTo(agreement_, text_)) << "Accept -> Text1 (round again)";
  EXPECT_TRUE(TabTo(agreement_, accept_, true)) << "Shift+Tab: Text1 -> Accept";
  EXPECT_TRUE(TabTo(agreement_, cancel_, true)) << "Shift+Tab: Accept -> Cancel";
  ExpectNothingHappened();
}

TEST_F(Agreement, EnterAndEscPressNothing) {
  // On every control in turn; the Tab after the two keys moves the focus on
  // only once the program has dealt with them.
  const HWND order[] = {text_, cancel_, accept_, text_};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(GetDlgCtrlID(order[i]));
    ASSERT_EQ(FocusIn(agreement_), order[i])
        << "focus in " << Narrow(ClassOf(FocusIn(agreement_))) << " id "
        << GetDlgCtrlID(FocusIn(agreement_)) << " parent "
        << Narrow(ClassOf(GetParent(FocusIn(agreement_)))) << ", active "
        << Narrow(ClassOf(ActiveIn(agreement_))) << ", foreground "
        << Narrow(ClassOf(GetForegroundWindow()));
    PressKey(VK_RETURN);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(TabTo(agreement_, order[i + 1]));
    ExpectNothingHappened();
  }
  EXPECT_EQ(TextOf(text_), AgreementText());
}

TEST_F(Agreement, TheTextCannotBeChanged) {
  const std::wstring before = TextOf(text_);
  ASSERT_EQ(before, AgreementText());

  // Typing, deleting, cutting and pasting, from the keyboard.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const wchar_t pasted[] = L"PASTED TEXT";
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(pasted));
  ASSERT_NE(memory, nullptr);
  memcpy(GlobalLock(memory), pasted, sizeof(pasted));
  GlobalUnlock(memory);
  ASSERT_NE(SetClipboardData(CF_UNICODETEXT, memory), nullptr);
  CloseClipboard();

  TypeText(L"typed over");
  PressKey(VK_DELETE);
  PressKey(VK_BACK);
  PressKey(VK_END, false, true);  // to the end, then more
  TypeText(L"appended");
  PressKey(VK_BACK);
  PressKey('A', false, true);  // select all, then cut, delete and paste
  PressKey('X', false, true);
  PressKey(VK_DELETE);
  PressKey('V', false, true);
  PressKey(VK_INSERT, true);  // Shift+Insert pastes too
  ASSERT_TRUE(TabTo(agreement_, cancel_));  // all of the above handled

  EXPECT_TRUE(TextOf(text_) == before) << "the keyboard changed the agreement text";
  EXPECT_EQ(SendMessageW(text_, EM_CANUNDO, 0, 0), 0) << "there is a change to undo";

  // The edit menu's commands, sent as the menu would send them.
  SendMessageW(text_, EM_SETSEL, 0, -1);
  SendMessageW(text_, WM_CUT, 0, 0);
  SendMessageW(text_, WM_CLEAR, 0, 0);
  SendMessageW(text_, WM_PASTE, 0, 0);
  EXPECT_TRUE(TextOf(text_) == before) << "cut, delete or paste changed the agreement text";
  // (EM_GETMODIFY tells nothing here: Wine's edit control counts the text
  // given at creation as a change, where Windows does not.)
  EXPECT_EQ(SendMessageW(text_, EM_CANUNDO, 0, 0), 0) << "there is a change to undo";
  ExpectNothingHappened();
}

}  // namespace
}  // namespace glyphary::e2e
