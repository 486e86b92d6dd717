// The damaged and marked views on the real main window: the folder tree
// pruned to the matching branches and built again in full afterwards, the
// selected folder selected again, the histories emptied, and marks in a
// filtered table that reach the entry the row shows.
#include <gtest/gtest.h>

#include <set>

#include "UiTestUtil.h"
#include "sysutils.h"

namespace {

class ViewTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    for (const char* f : {"a", "a\\deep", "a\\deep\\deeper", "b", "c"}) Tree.Folder(f);
    Tree.Folder(Ansi(L"Папка"));
    Tree.File("a\\deep\\deeper\\bad.txt", 10);
    Tree.File("b\\one.txt", 10);
    Tree.File("b\\two.txt", 10);
    Tree.File("top.txt", 10);
    Scan(Tree.Root());
    ASSERT_NE(F->rootNode, nullptr);
    Find("bad.txt")->Attributes |= DamagedBit;
    Find("two.txt")->NeedMark = 1;
    ::ViewFilter->AddMarkedCount(Find("two.txt"));
  }
  ListNode* Find(const char* name) { return FindEntry(F->rootNode, name); }

  std::set<std::wstring> Lines() {
    const std::vector<std::wstring> t = TreeLines();
    return {t.begin() + 1, t.end()};
  }
  TestTree Tree;
};

TEST_F(ViewTest, TreesOfTheViewsAndBack) {
  const std::vector<std::wstring> full = TreeLines();
  ClickTreeNode(TreeNode(L"b"));
  ASSERT_TRUE(WaitFor([&] { return F->currentTreeNode == TreeNode(L"b"); }, "folder b was never shown"));
  struct Case {
    TUcAction* TInfoFileForm::*Action;
    std::set<std::wstring> Tree;
    std::set<std::wstring> Rows;  // of the root folder
  };
  const Case cases[] = {
      {&TInfoFileForm::mmViewDamagedAction, {L"  a", L"    deep", L"      deeper"}, {L"a"}},
      {&TInfoFileForm::mmNeededAction, {L"  b"}, {L"b"}},
  };
  for (const Case& c : cases) {
    (F->*c.Action)->Execute();
    EXPECT_EQ(Lines(), c.Tree);
    EXPECT_EQ(TreeLines()[0], full[0]) << "the root keeps its text";
    std::set<std::wstring> rows;
    for (int r = 0; r < F->lvInfo->Items()->Count(); ++r) rows.insert(Cell(r, 0));
    EXPECT_EQ(rows, c.Rows);
    EXPECT_TRUE(F->backHistory.empty());
    EXPECT_TRUE(F->forwardHistory.empty());
    EXPECT_EQ(F->currentTreeNode, F->tvTreeOfFile->Selected());
    for (TUcTreeNode* n = F->tvTreeOfFile->Items()->GetFirstNode(); n; n = n->GetNext())
      EXPECT_NE(n->Data(), nullptr) << "every node knows its entry";
  }
  EXPECT_TRUE(F->mmNeededAction->Checked());
  EXPECT_FALSE(F->mmViewAllAction->Checked());
  F->mmViewAllAction->Execute();
  EXPECT_EQ(TreeLines(), full);
  EXPECT_EQ(F->tvTreeOfFile->Selected(), TreeNode(L"b")) << "the folder selected before is selected again";
  EXPECT_EQ(F->currentTreeNode, TreeNode(L"b"));
  EXPECT_TRUE(F->mmViewAllAction->Checked());
  EXPECT_EQ(Rows().size(), 3u) << "b's two files after the \"..\" row";
  // Back has nothing to go to: no node of the replaced trees is kept.
  F->spbtBackClick(F->spbtBack);
  EXPECT_EQ(F->currentTreeNode, TreeNode(L"b"));
}

TEST_F(ViewTest, MarksInAFilteredTableReachTheRowsEntries) {
  ClickTreeNode(TreeNode(L"b"));
  ASSERT_TRUE(WaitFor([&] { return F->currentTreeNode == TreeNode(L"b"); }, "folder b was never shown"));
  F->mmNeededAction->Execute();
  // The marked view shows b's marked file only: row 1 is two.txt, not one.txt.
  ClickTreeNode(TreeNode(L"b"));
  ASSERT_TRUE(WaitFor([&] { return F->lvInfo->Items()->Count() == 2; }, "b never showed its marked file"));
  EXPECT_EQ(Cell(1, 0), L"two.txt");
  SelectRow(1);
  F->N5Action->Execute();
  EXPECT_EQ(Find("two.txt")->NeedMark, 2);
  EXPECT_EQ(Find("one.txt")->NeedMark, 0);
  SelectRow(1);
  F->mmDamagedAction->Execute();
  EXPECT_EQ(Find("two.txt")->Attributes & DamagedBit, DamagedBit);
  EXPECT_EQ(Find("one.txt")->Attributes & DamagedBit, 0);
}

TEST_F(ViewTest, AListWithoutMarksShowsTheRootOnly) {
  Find("two.txt")->NeedMark = 0;
  ::ViewFilter->SubMarkedCount(Find("two.txt"));
  F->mmNeededAction->Execute();
  EXPECT_EQ(TreeLines().size(), 1u);
  EXPECT_EQ(F->lvInfo->Items()->Count(), 0);
  F->mmViewAllAction->Execute();
}

}  // namespace
