// The search on the real main window: the mask window, folders first, path
// captions, a cancelled search that changes nothing, and marks in the
// result view that land on the entries the rows show.
#include <gtest/gtest.h>

#include <set>

#include "UiTestUtil.h"
#include "sysutils.h"

namespace {

class SearchTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Tree.Folder(Ansi(L"Документы"));
    Tree.File(Ansi(L"Документы\\отчёт.doc"), 10);
    Tree.Folder("sub");
    Tree.Folder("sub\\docs");
    Tree.File("sub\\readme.DOC", 10);
    Tree.File("plain.txt", 10);
    Scan(Tree.Root());
    ASSERT_NE(F->rootNode, nullptr);
  }
  std::vector<std::wstring> Captions() {
    std::vector<std::wstring> c;
    for (int r = 0; r < F->lvInfo->Items()->Count(); ++r) c.push_back(Cell(r, 0));
    return c;
  }
  TestTree Tree;
};

TEST_F(SearchTest, CaseInsensitiveFoldersFirstWithPaths) {
  struct Case {
    const wchar_t* Mask;
    std::vector<std::wstring> Folders;  // first, in walk order
    std::set<std::wstring> Files;       // the walk order of files is the platform's
  };
  const Case cases[] = {
      {L"ДОК", {L"Документы"}, {}},
      {L"doc", {L"sub\\docs"}, {L"sub\\readme.DOC", L"Документы\\отчёт.doc"}},
      {L"*.doc", {}, {L"sub\\readme.DOC", L"Документы\\отчёт.doc"}},
      {L"*", {}, {}},
      {L"nothing", {}, {}},
  };
  for (const Case& c : cases) {
    Search(c.Mask);
    const std::vector<std::wstring> rows = Captions();
    ASSERT_EQ(rows.size(), c.Folders.size() + c.Files.size()) << Ansi(c.Mask);
    EXPECT_EQ(std::vector<std::wstring>(rows.begin(), rows.begin() + c.Folders.size()), c.Folders);
    EXPECT_EQ(std::set<std::wstring>(rows.begin() + c.Folders.size(), rows.end()), c.Files);
    EXPECT_EQ(F->isSearchView, 1);
    EXPECT_EQ(F->hasParentRow, 0);
    EXPECT_EQ(F->searchResults->Count(), F->lvInfo->Items()->Count());
    EXPECT_EQ(ShownEntries->Children->Count(), F->lvInfo->Items()->Count());
    for (int r = 0; r < F->lvInfo->Items()->Count(); ++r)
      EXPECT_EQ(F->RowEntry(r), F->searchResults->Items(r)) << r;
  }
}

TEST_F(SearchTest, CancelKeepsTheTableAndMarksHitTheShownEntry) {
  const std::vector<std::wstring> before = Rows();
  Search(nullptr);
  EXPECT_EQ(Rows(), before);
  EXPECT_EQ(F->isSearchView, 0);
  EXPECT_EQ(F->RowEntry(0), F->shownList->Items(0)) << "the rows keep their entries";
  Search(L"readme");
  ASSERT_EQ(F->lvInfo->Items()->Count(), 1);
  SelectRow(0);
  F->N4Action->Execute();
  ListNode* hit = static_cast<ListNode*>(F->searchResults->Items(0));
  EXPECT_EQ(FieldText(hit->Name).str(), "readme.DOC");
  EXPECT_EQ(hit->NeedMark, 1);
  EXPECT_EQ(hit->Parent->MarkedCount, 1);
  // A folder among the results is entered with Enter; Back returns.
  Search(L"DOCS");
  ASSERT_EQ(Cell(0, 0), L"sub\\docs");
  SelectRow(0);
  WORD enter = VK_RETURN;
  F->lvInfoKeyDown(F->lvInfo, enter, TShiftState());
  EXPECT_EQ(F->isSearchView, 0);
  EXPECT_EQ(F->currentTreeNode, TreeNode(L"docs"));
  EXPECT_EQ(F->tvTreeOfFile->Selected(), TreeNode(L"docs"));
  EXPECT_EQ(Rows().size(), 1u) << "the empty folder's \"..\" row";
  F->spbtBackClick(F->spbtBack);
  EXPECT_EQ(F->currentTreeNode, F->tvTreeOfFile->Items()->GetFirstNode());
}

}  // namespace
