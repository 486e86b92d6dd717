// The mark and comment commands on the real main window: each reaches the
// entry behind the selected row (in the folder, the filtered and the search
// views), rows take their colours at once, the changed flag follows real
// changes only, and the comment cell opens the comment window.
#include <gtest/gtest.h>

#include "Commentunit.h"
#include "UiTestUtil.h"
#include "sysutils.h"

namespace {

class MarksTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Tree.Folder("docs");
    Tree.File("docs\\inner.txt", 10);
    Tree.File("docs\\more.txt", 10);
    Tree.File("a.txt", 10);
    Tree.File("b.txt", 10);
    Scan(Tree.Root());
    ASSERT_NE(F->rootNode, nullptr);
    F->isModified = 0;
  }
  ListNode* Entry(const std::string& name) { return FindEntry(F->rootNode, name); }

  void Select(const std::vector<std::wstring>& captions) {
    TUcListItems* items = F->lvInfo->Items();
    for (int r = 0; r < items->Count(); ++r) items->Item(r)->SetSelected(false);
    for (const std::wstring& c : captions) {
      const int r = RowOf(c);
      if (r >= 0)
        items->Item(r)->SetSelected(true);
      else
        ADD_FAILURE() << "no row " << Ansi(c.c_str());
    }
    EXPECT_TRUE(WaitFor([&] { return F->lvInfo->SelCount() == static_cast<int>(captions.size()); }, "the rows selected"));
  }
  TestTree Tree;
};

TEST_F(MarksTest, CommandsReachTheSelectedEntries) {
  struct Step {
    TUcAction* TInfoFileForm::*Action;
    std::vector<std::wstring> Rows;
    const char* Name;
    uint8_t NeedMark;
    uint8_t Attributes;
    int RootCount;  // a fresh scan counts its root
  };
  const Step steps[] = {
      {&TInfoFileForm::N4Action, {L"a.txt"}, "a.txt", 1, 0, 1},
      {&TInfoFileForm::N5Action, {L"a.txt"}, "a.txt", 2, 0, 1},
      {&TInfoFileForm::N5Action, {L"a.txt"}, "a.txt", 0, 0, 0},
      {&TInfoFileForm::neededAction, {L"docs"}, "docs", 1, 0, 3},
      {&TInfoFileForm::notneededAction, {L"docs", L"b.txt"}, "docs", 2, 0, 4},
      {&TInfoFileForm::mmDamagedAction, {L"docs", L"b.txt"}, "b.txt", 2, DamagedBit, 4},
      {&TInfoFileForm::N6Action, {L"b.txt"}, "b.txt", 0, 0, 3},
      {&TInfoFileForm::clearAction, {L"docs"}, "inner.txt", 0, 0, 0},
  };
  for (const Step& s : steps) {
    Select(s.Rows);
    F->isModified = 0;
    (F->*s.Action)->Execute();
    const ListNode* e = Entry(s.Name);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->NeedMark, s.NeedMark) << s.Name;
    EXPECT_EQ(e->Attributes & DamagedBit, s.Attributes) << s.Name;
    EXPECT_EQ(F->rootNode->MarkedCount, s.RootCount) << s.Name;
    // What a user sees of the change: closing the window asks to save.
    DialogDriver answers({{Ansi(L"Сохранить изменения ?"), IDCANCEL}});
    EXPECT_FALSE(F->CloseQuery()) << s.Name;
    EXPECT_EQ(answers.Shown().size(), 1u) << s.Name << ": " << answers.Log();
  }
  EXPECT_EQ(Entry("docs")->Attributes, 0) << "toggle damaged leaves folders";
}

TEST_F(MarksTest, DamagedCellColoursAndTheChangedFlag) {
  Select({L"a.txt"});
  const std::wstring before = Cell(RowOf(L"a.txt"), 4);
  F->mmDamagedAction->Execute();
  const std::wstring marked = Cell(RowOf(L"a.txt"), 4);
  EXPECT_EQ(marked, before == L"----" ? L"E" : before + L"E");
  F->N6Action->Execute();
  EXPECT_EQ(Cell(RowOf(L"a.txt"), 4), before) << "clearing marks takes the E away too";
  // Needed paints the row light green at once.
  Select({L"b.txt"});
  F->N4Action->Execute();
  Select({});
  const HWND list = F->lvInfo->Handle();
  RECT row = {LVIR_BOUNDS, 0, 0, 0};
  SendMessageW(list, LVM_GETITEMRECT, RowOf(L"b.txt"), reinterpret_cast<LPARAM>(&row));
  EXPECT_TRUE(WaitFor([&] { return CaptureClient(list).Count(RGB(0xC9, 0xF9, 0xCC), row) > 100; }, "the needed row never turned light green"));
  // Selecting and right-clicking change nothing; no selection: message 15.
  F->isModified = 0;
  Select({L"a.txt"});
  bool handled = false;
  F->lvInfoContextPopup(F->lvInfo, TPoint(), handled);
  EXPECT_EQ(F->isModified, 0);
  EXPECT_TRUE(F->pupDamaged->Enabled());
  Select({L"docs"});
  F->lvInfoContextPopup(F->lvInfo, TPoint(), handled);
  EXPECT_FALSE(F->pupDamaged->Enabled()) << "folders take no damaged mark";
  Select({});
  DialogDriver answers({{Ansi(L"Файлы не выбраны"), IDOK}});
  F->N4Action->Execute();
  F->lvInfoContextPopup(F->lvInfo, TPoint(), handled);
  EXPECT_EQ(answers.Shown().size(), 2u) << answers.Log();
  EXPECT_FALSE(F->pupComment->Visible());
  EXPECT_EQ(F->isModified, 0);
}

TEST_F(MarksTest, CommentFromTheCommandAndTheCell) {
  // Two lines become one; the cell shows it; Cancel changes nothing.
  Select({L"a.txt"});
  {
    DialogDriver answers({{"TCommentForm", IDOK, Ansi(L"первая\r\nвторая"), "btOk"}});
    F->commentAction->Execute();
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  EXPECT_EQ(FieldText(Entry("a.txt")->Comment).str(), Ansi(L"первая вторая"));
  EXPECT_EQ(Cell(RowOf(L"a.txt"), 5), L"первая вторая");
  EXPECT_EQ(F->isModified, 1);
  EXPECT_EQ(F->commentText.str(), "");
  F->isModified = 0;
  {
    DialogDriver answers({{"TCommentForm", IDCANCEL, "", ""}});
    F->commentAction->Execute();
  }
  EXPECT_EQ(FieldText(Entry("a.txt")->Comment).str(), Ansi(L"первая вторая"));
  EXPECT_EQ(F->isModified, 0);
  // A click on the comment cell opens the window with the comment in it.
  const HWND list = F->lvInfo->Handle();
  RECT cell = {LVIR_BOUNDS, 5, 0, 0};
  SendMessageW(list, LVM_GETSUBITEMRECT, RowOf(L"a.txt"), reinterpret_cast<LPARAM>(&cell));
  std::wstring shown;
  {
    DialogDriver answers({{"TCommentForm", IDOK, Ansi(L"новый"), "btOk"}});
    PostClick(list, (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    ASSERT_TRUE(WaitFor([&] { return !answers.Shown().empty() && Cell(RowOf(L"a.txt"), 5) == L"новый"; }, "the comment cell taking the new comment"))
        << answers.Log();
  }
  EXPECT_EQ(FieldText(Entry("a.txt")->Comment).str(), Ansi(L"новый"));
  // A "----" cell does nothing; two rows or none: messages 19 and 18.
  cell = {LVIR_BOUNDS, 5, 0, 0};
  SendMessageW(list, LVM_GETSUBITEMRECT, RowOf(L"b.txt"), reinterpret_cast<LPARAM>(&cell));
  {
    DialogDriver answers({});
    PostClick(list, (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    ASSERT_TRUE(WaitFor([&] { return SelectedRow() == RowOf(L"b.txt"); }, "the click never arrived"));
    EXPECT_TRUE(answers.Shown().empty()) << answers.Log();
  }
  Select({L"a.txt", L"b.txt"});
  DialogDriver answers({{Ansi(L"Выбрано более одного"), IDOK}, {Ansi(L"Выберите файл или папку"), IDOK}});
  F->commentAction->Execute();
  Select({});
  F->commentAction->Execute();
  EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
}

}  // namespace
