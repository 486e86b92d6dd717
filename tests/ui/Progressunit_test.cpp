// The progress window: the path laid out on one or two lines, what it paints
// by progress mode, and how OK, Cancel and the close box end it.
#include <gtest/gtest.h>

#include "Progressunit.h"
#include "UiTestUtil.h"

namespace {

class ProgressTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Application->CreateForm(&ProgressForm);
    P = ProgressForm;
  }
  void TearDown() override {
    delete ProgressForm;
    MainWindowTest::TearDown();
  }
  TProgressForm* P = nullptr;
};

TEST_F(ProgressTest, ShortPathStaysOnOneLine) {
  EXPECT_EQ(P->PathLayout("C:\\data\\file.txt"), "C:\\data\\file.txt");
  EXPECT_EQ(P->Caption(), WideToAnsi(L"Прогресс считывания структуры каталога"));
  EXPECT_EQ(UcControl_GetText(P->btnCancel), L"Отменить");
  EXPECT_FALSE(P->btnOK->Visible());
}

TEST_F(ProgressTest, LongPathBreaksBeforeTheBackslashOfTheShortestTailThatCoversTheOverflow) {
  std::string path = "C:";
  for (int i = 0; i < 12; ++i) path += "\\folder" + std::to_string(i);
  const AnsiString laid = P->PathLayout(path.c_str());
  const int feed = laid.Pos("\n");
  ASSERT_NE(feed, 0);
  const AnsiString first = laid.SubString(1, feed - 1);
  const AnsiString second = laid.SubString(feed + 1, laid.Length() - feed);
  EXPECT_EQ(second[1], '\\');
  EXPECT_EQ(first + second, AnsiString(path.c_str()));
  const int client = P->ClientWidth();
  const int overflow = P->Canvas()->TextWidth(path.c_str()) - client;
  EXPECT_LE(P->Canvas()->TextWidth(first), client) << "the first line fits";
  EXPECT_GE(P->Canvas()->TextWidth(second), overflow);
  // One folder less in the tail would not cover the overflow.
  const int next = second.SubString(2, second.Length() - 1).Pos("\\");
  if (next) { EXPECT_LT(P->Canvas()->TextWidth(second.SubString(next + 1, second.Length() - next)), overflow); }
}

TEST_F(ProgressTest, LongTextWithoutBackslashStaysWhole) {
  const std::string text(300, 'W');
  EXPECT_EQ(P->PathLayout(text.c_str()), AnsiString(text.c_str()));
}

TEST_F(ProgressTest, PathIsPaintedOnlyInModesZeroAndOne) {
  P->Show();
  F->scanPath = "C:\\some\\path";
  for (int mode : {0, 1, 2, 3, 4, 5}) {
    F->progressMode = mode;
    F->progressText = "C:\\other\\text";
    P->Repaint();
    Pump(5);
    TCapturedImage image = CaptureClient(P->Handle());
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    RECT area{8, 44, 200, 60};
    const int total = (area.right - area.left) * (area.bottom - area.top);
    const int painted = total - image.Count(face, area);
    if (mode <= 1)
      EXPECT_GT(painted, 10) << "mode " << mode;
    else
      EXPECT_EQ(painted, 0) << "mode " << mode;
  }
}

TEST_F(ProgressTest, CancelAsksTheJobToStopCloseBoxToo) {
  F->jobRunning = true;
  F->cancelRequested = 0;
  P->Show();
  P->btnCancelClick(P->btnCancel);
  EXPECT_EQ(F->cancelRequested, 1);
  EXPECT_TRUE(P->Visible()) << "the window stays";
  F->cancelRequested = 0;
  PostMessageA(P->Handle(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([] { return ProgressForm == nullptr; }, "the progress window freed itself on WM_CLOSE"));
  EXPECT_EQ(F->cancelRequested, 1) << "the close box cancels a running job";
  F->jobRunning = false;
}

TEST_F(ProgressTest, OkClosesWithoutCancelAndNoJobIsCancelledAfterItsEnd) {
  F->jobRunning = true;
  F->cancelRequested = 0;
  P->Show();
  P->btnOKClick(P->btnOK);
  ASSERT_TRUE(WaitFor([] { return ProgressForm == nullptr; }, "the progress window freed itself after OK"));
  EXPECT_EQ(F->cancelRequested, 0);
  // A window left open after its job: closing it later cancels nothing.
  F->jobRunning = false;
  Application->CreateForm(&ProgressForm);
  ProgressForm->Show();
  PostMessageA(ProgressForm->Handle(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([] { return ProgressForm == nullptr; }, "the progress window freed itself on WM_CLOSE"));
  EXPECT_EQ(F->cancelRequested, 0);
}

}  // namespace
