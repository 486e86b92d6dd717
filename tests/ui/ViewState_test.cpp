// Every way out of the search results gives back a folder view whose rows
// and entries agree: a mark and a comment made on the rows afterwards land on
// the entries those rows name, proved by reading the saved list back with
// Python. Also: keyboard moves in the folder tree show the folder as a click
// does, and Clear marks in a filtered view leaves the view as it is.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "Commentunit.h"
#include "Progressunit.h"
#include "UiTestUtil.h"
#include "sysutils.h"

namespace {

class ViewStateTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Tree.Folder("alpha");
    Tree.Folder("alpha\\inner");
    Tree.Folder("beta");
    for (const char* file : {"alpha\\a1.txt", "alpha\\a2.txt", "alpha\\inner\\i1.txt", "alpha\\inner\\i2.txt",
                             "beta\\b1.txt", "beta\\b2.txt", "top1.txt", "top2.txt"})
      Tree.File(file, 10);
    Scan(Tree.Root());
    ASSERT_NE(F->rootNode, nullptr);
  }

  // The folder shown, below the root ("" for the root, "alpha\inner").
  std::string ShownFolder() {
    std::string path;
    for (TUcTreeNode* n = F->currentTreeNode; n && n->Parent(); n = static_cast<TUcTreeNode*>(n->Parent()))
      path = Ansi(n->Text().c_bstr()) + (path.empty() ? "" : "\\" + path);
    return path;
  }
  std::string RowPath(int row) {
    const std::string folder = ShownFolder();
    const std::string name = Ansi(Cell(row, 0).c_str());
    return folder.empty() ? name : folder + "\\" + name;
  }
  // The folder view after a way out: the tree selects the folder shown, and
  // every row stands for the entry it names.
  void ExpectFolderView(const std::string& folder, const std::string& way) {
    EXPECT_EQ(F->isSearchView, 0) << way;
    EXPECT_EQ(F->currentTreeNode, F->tvTreeOfFile->Selected()) << way;
    EXPECT_EQ(ShownFolder(), folder) << way;
    EXPECT_EQ(F->hasParentRow, Cell(0, 0) == L"..") << way;
    for (int r = F->hasParentRow; r < F->lvInfo->Items()->Count(); ++r) {
      ListNode* entry = F->RowEntry(r);
      ASSERT_NE(entry, nullptr) << way << " row " << r;
      EXPECT_EQ(AnsiToWide(FieldText(entry->Name)).str(), Cell(r, 0)) << way << " row " << r;
    }
  }
  // Needed on the first file row, a comment on the second; saved and read
  // back: exactly those two entries carry them.
  void MarkCommentAndCheckSaved(const std::string& way) {
    int first = -1;
    for (int r = 0; r < F->lvInfo->Items()->Count() && first < 0; ++r)
      if (Cell(r, 0).find(L".txt") != std::wstring::npos) first = r;
    ASSERT_GE(first, 0) << way;
    ASSERT_LT(first + 1, F->lvInfo->Items()->Count()) << way;
    const std::string marked = RowPath(first);
    const std::string commented = RowPath(first + 1);
    SelectOnly(first);
    F->N4Action->Execute();
    SelectOnly(first + 1);
    {
      DialogDriver answers({{"TCommentForm", IDOK, "note", "btOk"}});
      F->commentAction->Execute();
      EXPECT_TRUE(answers.Unused().empty()) << way << ": " << answers.Log();
    }
    const std::string listFile = Lists.File("list" + std::to_string(++Saves) + ".vq");
    SaveAs(listFile);
    std::set<std::string> needed, withComment;
    for (const auto& [path, record] : SavedListRecords(listFile)) {
      // kind|damaged|absent|need mark|marked count|comment
      size_t at = 0;
      for (int field = 0; field < 3; ++field) at = record.find('|', at) + 1;
      if (record.compare(at, 2, "1|") == 0) needed.insert(path);
      if (record.substr(record.rfind('|') + 1) == "note") withComment.insert(path);
    }
    EXPECT_EQ(needed, std::set<std::string>{marked}) << way;
    EXPECT_EQ(withComment, std::set<std::string>{commented}) << way;
  }
  // Marks and comments off again, the all-entries view back.
  void Clean() {
    VisitPreOrder(F->rootNode, [](ListNode* n) {
      n->NeedMark = 0;
      n->MarkedCount = 0;
      n->Attributes &= ~DamagedBit;
      memset(n->Comment, 0, sizeof n->Comment);
      return true;
    });
    if (::ViewFilter->GetMode() != vmAll) F->mmViewAllAction->Execute();
    if (ProgressForm) ProgressForm->btnOKClick(ProgressForm);
    ASSERT_TRUE(WaitFor([] { return ProgressForm == nullptr; }, "the progress window gone"));
  }
  void ShowFolderOf(const std::wstring& text) {
    ClickTreeNode(TreeNode(text));
    ASSERT_TRUE(WaitFor([&] { return F->currentTreeNode == TreeNode(text); }, "the folder shown"));
  }
  void SelectOnly(int row) {
    TUcListItems* items = F->lvInfo->Items();
    for (int r = 0; r < items->Count(); ++r) items->Item(r)->SetSelected(false);
    SelectRow(row);
  }
  void SelectRowOf(const std::wstring& caption) {
    const int row = RowOf(caption);
    ASSERT_GE(row, 0);
    SelectOnly(row);
  }
  void PressEnterOnTable() {
    F->lvInfo->SetFocus();
    PostKey(F->lvInfo->Handle(), VK_RETURN);
    Pump(20);
  }

  TestTree Tree;
  TempDir Lists;
  int Saves = 0;
};

TEST_F(ViewStateTest, EveryWayOutOfTheSearchResultsMarksTheRowsEntries) {
  const std::string damagedList = Lists.File("damaged.txt");
  WriteFileBytes(damagedList, "top1.txt\r\n");
  struct Way {
    const char* Name;
    std::function<void()> Prepare;  // before the search, "alpha" shown
    const wchar_t* Mask;
    std::function<void()> Leave;
    std::string Folder;  // shown afterwards
  };
  const std::vector<Way> ways = {
      {"an import", nullptr, L"txt",
       [&] {
         KeepCurrentFolder keep;
         DialogDriver answers({{"", IDOK, damagedList, ""}});
         F->mmListAction->Execute();
         ASSERT_TRUE(WaitFor([] { return ProgressForm && ProgressForm->btnOK->Enabled(); }, "the import's end"))
             << answers.Log();
         ProgressForm->btnOKClick(ProgressForm);
       },
       "alpha"},
      {"Up", nullptr, L"txt", [&] { F->spbtUpClick(F->spbtUp); }, "alpha"},
      {"Back", nullptr, L"txt", [&] { F->spbtBackClick(F->spbtBack); }, "alpha"},
      {"Forward with a forward history", [&] { F->spbtBackClick(F->spbtBack); }, L"txt",
       [&] { F->spbtForwardClick(F->spbtForward); }, ""},
      {"Forward on a folder hit", nullptr, L"inner",
       [&] {
         SelectRowOf(L"alpha\\inner");
         F->spbtForwardClick(F->spbtForward);
       },
       "alpha\\inner"},
      {"Enter on a folder hit", nullptr, L"inner",
       [&] {
         SelectRowOf(L"alpha\\inner");
         PressEnterOnTable();
       },
       "alpha\\inner"},
      {"double-click on a folder hit", nullptr, L"beta",
       [&] {
         SelectRowOf(L"beta");
         F->lvInfoDblClick(F->lvInfo);
       },
       "beta"},
      {"the \"..\" row", nullptr, L"inner",
       [&] {
         SelectRowOf(L"alpha\\inner");
         PressEnterOnTable();
         SelectRowOf(L"..");
         PressEnterOnTable();
       },
       "alpha"},
      {"a click on another folder", nullptr, L"txt", [&] { ClickTreeNode(TreeNode(L"beta")); }, "beta"},
      {"a click on the folder shown", nullptr, L"txt", [&] { ClickTreeNode(TreeNode(L"alpha")); }, "alpha"},
      {"Home in the tree", nullptr, L"txt",
       [&] {
         F->tvTreeOfFile->SetFocus();
         PostKey(F->tvTreeOfFile->Handle(), VK_HOME);
         Pump(30);
       },
       ""},
      {"the all-entries view", nullptr, L"txt", [&] { F->mmViewAllAction->Execute(); }, "alpha"},
      {"the damaged view",
       [&] {
         for (const char* name : {"top1.txt", "top2.txt"}) FindEntry(F->rootNode, name)->Attributes |= DamagedBit;
       },
       L"txt", [&] { F->mmViewDamagedAction->Execute(); }, ""},
      {"the marked view",
       [&] {
         for (const char* name : {"top1.txt", "top2.txt"}) {
           ListNode* e = FindEntry(F->rootNode, name);
           e->NeedMark = 2;
           ::ViewFilter->AddMarkedCount(e);
         }
       },
       L"txt", [&] { F->mmNeededAction->Execute(); }, ""},
      {"Open", nullptr, L"txt",
       [&] {
         const std::string listFile = Lists.File("open.vq");
         if (!FileExists(listFile.c_str())) SaveAs(listFile);
         F->isModified = 0;
         OpenFile(listFile);
       },
       ""},
      {"New", nullptr, L"txt", [&] { Scan(Tree.Root()); }, ""},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.Name);
    ShowFolderOf(L"alpha");
    if (way.Prepare) way.Prepare();
    Search(way.Mask);
    ASSERT_EQ(F->isSearchView, 1);
    ASSERT_GT(F->lvInfo->Items()->Count(), 0);
    way.Leave();
    ExpectFolderView(way.Folder, way.Name);
    MarkCommentAndCheckSaved(way.Name);
    Clean();
    F->isModified = 0;
  }
}

TEST_F(ViewStateTest, KeyMovesInTheTreeShowTheFolderAndPushTheHistory) {
  ShowFolderOf(L"alpha");
  TUcTreeNode* alpha = TreeNode(L"alpha");
  alpha->Expand(false);
  F->tvTreeOfFile->SetFocus();
  const HWND tree = F->tvTreeOfFile->Handle();
  struct Key {
    UINT Vk;
    wchar_t Char;
    const wchar_t* Folder;  // the tree's selection afterwards
  };
  // Down into the expanded folder, Up back, End to the last, Home to the
  // root, a first letter, Up into the open folder, Left to its parent.
  const Key keys[] = {{VK_DOWN, 0, L"inner"}, {VK_UP, 0, L"alpha"},  {VK_END, 0, L"beta"}, {VK_HOME, 0, nullptr},
                      {'B', L'b', L"beta"},   {VK_UP, 0, L"inner"}, {VK_LEFT, 0, L"alpha"}};
  std::vector<TUcTreeNode*> shown{alpha};
  for (const Key& k : keys) {
    PostKey(tree, k.Vk, k.Char);
    TUcTreeNode* expected = k.Folder ? TreeNode(k.Folder) : F->tvTreeOfFile->Items()->GetFirstNode();
    ASSERT_TRUE(WaitFor([&] { return F->tvTreeOfFile->Selected() == expected && F->currentTreeNode == expected; },
                        "the table following the tree's selection"))
        << Ansi(k.Folder ? k.Folder : L"root");
    ExpectFolderView(ShownFolder(), "key");
    ASSERT_FALSE(F->backHistory.empty());
    EXPECT_EQ(F->backHistory.back(), shown.back()) << "the folder left is pushed";
    shown.push_back(expected);
  }
  // "-" and "+" on the keypad close and open the folder shown: it stays shown
  // and nothing is pushed.
  const size_t pushed = F->backHistory.size();
  PostKey(tree, VK_SUBTRACT);
  ASSERT_TRUE(WaitFor([&] { return !alpha->Expanded(); }, "the folder closed by \"-\""));
  PostKey(tree, VK_ADD);
  ASSERT_TRUE(WaitFor([&] { return alpha->Expanded(); }, "the folder opened by \"+\""));
  EXPECT_EQ(F->backHistory.size(), pushed);
  ExpectFolderView("alpha", "minus and plus");
  // A folder row entered from there builds its path from the right node.
  SelectRowOf(L"inner");
  PressEnterOnTable();
  ExpectFolderView("alpha\\inner", "enter after keys");
  MarkCommentAndCheckSaved("keys");
}

TEST_F(ViewStateTest, ClearMarksInAFilteredViewKeepsTheView) {
  FindEntry(F->rootNode, "a1.txt")->Attributes |= DamagedBit;
  FindEntry(F->rootNode, "a2.txt")->Attributes |= DamagedBit;
  F->mmViewDamagedAction->Execute();
  ShowFolderOf(L"alpha");
  ASSERT_EQ(Rows().size(), 3u) << "\"..\", a1.txt, a2.txt";
  const size_t history = F->backHistory.size();
  ASSERT_GT(history, 0u);
  SelectRowOf(L"a1.txt");
  F->N6Action->Execute();
  EXPECT_EQ(FindEntry(F->rootNode, "a1.txt")->Attributes & DamagedBit, 0);
  EXPECT_EQ(F->currentTreeNode, TreeNode(L"alpha")) << "no jump to the root";
  EXPECT_EQ(F->backHistory.size(), history) << "the history is kept";
  EXPECT_EQ(Cell(RowOf(L"a1.txt"), 4).find(L'E'), std::wstring::npos) << "the attributes cell follows";
  EXPECT_NE(Cell(RowOf(L"a2.txt"), 4).find(L'E'), std::wstring::npos);
  ExpectFolderView("alpha", "clear marks");
}

}  // namespace
