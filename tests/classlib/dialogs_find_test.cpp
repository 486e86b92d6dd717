// The modeless find dialog on a real window: its options as the system's
// flags, the user's request reaching OnFind, the remembered position and the
// text limit.
#include <gtest/gtest.h>

#include "dialogs_find.h"
#include "guitest.h"

namespace {

using FindDialog = GuiTest;

struct TFindEvents {
  int Finds = 0;
  AnsiString Text;
  TFindOptions Options = 0;
  TFindDialog* Dialog = nullptr;
  void Find(TObject*) {
    ++Finds;
    Text = Dialog->FindText();
    Options = Dialog->Options();
  }
};

TFindDialog* OpenDialog = nullptr;
bool DialogClosed() { return OpenDialog->Handle() == nullptr; }

TEST(FindOptions, FlagsRoundTrip) {
  struct Row {
    TFindOptions Options;
    DWORD Flags;
  } rows[] = {
      {FindOption(frDown), FR_DOWN},
      {FindOption(frMatchCase) | FindOption(frWholeWord), FR_MATCHCASE | FR_WHOLEWORD},
      {FindOption(frDisableMatchCase) | FindOption(frDisableUpDown) | FindOption(frDisableWholeWord),
       FR_NOMATCHCASE | FR_NOUPDOWN | FR_NOWHOLEWORD},
      {FindOption(frHideMatchCase) | FindOption(frHideWholeWord) | FindOption(frHideUpDown),
       FR_HIDEMATCHCASE | FR_HIDEWHOLEWORD | FR_HIDEUPDOWN},
      {FindOption(frFindNext) | FindOption(frReplace) | FindOption(frReplaceAll) | FindOption(frShowHelp),
       FR_FINDNEXT | FR_REPLACE | FR_REPLACEALL | FR_SHOWHELP},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(FindOptionsToFlags(r.Options), r.Flags);
    EXPECT_EQ(FlagsToFindOptions(r.Flags), r.Options);
  }
  // Flags the options do not know are dropped.
  EXPECT_EQ(FlagsToFindOptions(FR_DIALOGTERM | FR_ENABLEHOOK), 0);
}

TEST(FindOptions, TextIsCutAt255Characters) {
  TFindDialog d(nullptr);
  d.SetFindText(AnsiString(std::string(300, 'x')));
  EXPECT_EQ(d.FindText().Length(), 255);
  TReplaceDialog r(nullptr);
  r.SetReplaceText(AnsiString(std::string(256, 'y')));
  EXPECT_EQ(r.ReplaceText().Length(), 255);
}

TEST_F(FindDialog, FindNextReachesOnFindWithTheUsersOptions) {
  TFindDialog d(nullptr);
  TFindEvents events;
  events.Dialog = &d;
  d.OnFind = MakeEvent<&TFindEvents::Find>(&events);
  d.SetFindText("needle");
  d.SetOptions(FindOption(frDown) | FindOption(frMatchCase));
  d.SetPosition(TPoint(40, 50));
  ASSERT_TRUE(d.Execute());
  ASSERT_NE(d.Handle(), nullptr);
  EXPECT_EQ(d.Left(), 40);
  EXPECT_EQ(d.Top(), 50);
  // A second Execute only brings the open dialog forward.
  HWND first = d.Handle();
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(d.Handle(), first);

  SendMessageA(GetDlgItem(d.Handle(), IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return events.Finds > 0; }, "Find Next reached OnFind"));
  EXPECT_EQ(events.Finds, 1);
  EXPECT_EQ(events.Text, AnsiString("needle"));
  EXPECT_TRUE(events.Options & FindOption(frMatchCase));
  EXPECT_TRUE(events.Options & FindOption(frDown));

  SetWindowPos(d.Handle(), nullptr, 70, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  d.CloseDialog();
  OpenDialog = &d;
  ASSERT_TRUE(WaitFor(&DialogClosed, "the find dialog closed"));
  // Closed, it reports where it was last.
  EXPECT_EQ(d.Left(), 70);
  EXPECT_EQ(d.Top(), 80);
}

}  // namespace
