// The search on the real main window: the mask window, folders first, path
// captions, a cancelled search that changes nothing, and marks in the
// result view that land on the entries the rows show.
#include <gtest/gtest.h>

#include <set>

#include "Maskunit.h"
#include "Progressunit.h"
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

// Presses Cancel in the progress window as soon as it comes up.
HHOOK CancelHook = nullptr;
LRESULT CALLBACK CancelProgress(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_ACTIVATE && ProgressForm && reinterpret_cast<HWND>(w) == ProgressForm->Handle())
    PostMessageA(ProgressForm->btnCancel->Handle(), BM_CLICK, 0, 0);
  return CallNextHookEx(CancelHook, code, w, l);
}

// Many hits fill the table under the progress window; its Cancel stops the
// fill, and the hits behind the rows are then exactly the rows shown, so
// that Up, the commands and the exports see what the table shows.
TEST_F(SearchTest, FillOfManyHitsCanBeCancelled) {
  const int many = 12000;
  ListNode* folder = FindEntry(F->rootNode, "sub");
  ASSERT_NE(folder, nullptr);
  for (int i = 0; i < many; ++i) {
    EntryRecord r{};
    r.Kind = ekFile;
    SetFieldText(r.Name, ("many" + std::to_string(i) + ".txt").c_str());
    InsertNode(folder, folder->Level + 1, r);
  }
  Search(L"many");
  ASSERT_EQ(F->lvInfo->Items()->Count(), many) << "uncancelled, every hit has its row";
  EXPECT_EQ(Cell(many - 1, 0), L"sub\\many" + std::to_wstring(many - 1) + L".txt");
  EXPECT_TRUE(F->Enabled());
  ASSERT_TRUE(WaitFor([] { return ProgressForm == nullptr; }, "the progress window gone"));

  CancelHook = SetWindowsHookExA(WH_CBT, &CancelProgress, nullptr, GetCurrentThreadId());
  Search(L"many");
  UnhookWindowsHookEx(CancelHook);
  const int rows = F->lvInfo->Items()->Count();
  EXPECT_LT(rows, many);
  EXPECT_EQ(F->searchResults->Count(), rows);
  EXPECT_EQ(ShownEntries->Children->Count(), rows);
  EXPECT_EQ(F->searchResultPaths->Count(), rows);
  for (int r = 0; r < rows; ++r)
    ASSERT_EQ(AnsiToWide(FieldText(F->RowEntry(r)->Name)).str(), Cell(r, 0).substr(4)) << r;
  EXPECT_TRUE(F->Enabled());
  EXPECT_EQ(F->cancelRequested, 0);
  ASSERT_TRUE(WaitFor([] { return ProgressForm == nullptr; }, "the progress window gone"));
}

}  // namespace
