// Every way out of the search results, and every way along the road from a
// hit and back to the hits, gives a view whose rows and entries agree: a mark
// and a comment made on the rows afterwards land on the entries those rows
// name, proved by reading the saved list back with Python. Twin folders (two
// siblings of one name) and a folder named with "*" are each shown from their
// own entry. Also: keyboard moves in the folder tree show the folder as a
// click does, and Clear marks in a filtered view leaves the view as it is.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "Commentunit.h"
#include "ListFile.h"
#include "Progressunit.h"
#include "UiTestUtil.h"
#include "ZipEngine.h"
#include "sysutils.h"

namespace {

// The need mark of a saved record ("kind|damaged|absent|need mark|...").
std::string NeedMarkOf(const std::string& record) {
  size_t at = 0;
  for (int field = 0; field < 3; ++field) at = record.find('|', at) + 1;
  return record.substr(at, record.find('|', at) - at);
}

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
  bool HitsShown() { return F->isSearchView && F->searchListShown; }
  std::string RowPath(int row) {
    // A hit's caption is its path below the root.
    if (HitsShown()) return Ansi(Cell(row, 0).c_str());
    const std::string folder = ShownFolder();
    const std::string name = Ansi(Cell(row, 0).c_str());
    return folder.empty() ? name : folder + "\\" + name;
  }
  // The folder view after a way out (road -1), or a folder on the road from
  // the hits that many levels below the hit: the tree selects the folder
  // shown, and every row stands for the entry it names.
  void ExpectFolderView(const std::string& folder, const std::string& way, int road = -1) {
    EXPECT_EQ(F->isSearchView, road >= 0 ? 1 : 0) << way;
    EXPECT_EQ(F->searchListShown, road >= 0 ? 0 : 1) << way;
    EXPECT_EQ(F->searchDepth, road >= 0 ? road : 0) << way;
    EXPECT_EQ(F->currentTreeNode, F->tvTreeOfFile->Selected()) << way;
    EXPECT_EQ(ShownFolder(), folder) << way;
    EXPECT_EQ(F->hasParentRow, Cell(0, 0) == L"..") << way;
    for (int r = F->hasParentRow; r < F->lvInfo->Items()->Count(); ++r) {
      ListNode* entry = F->RowEntry(r);
      ASSERT_NE(entry, nullptr) << way << " row " << r;
      EXPECT_EQ(AnsiToWide(FieldText(entry->Name)).str(), Cell(r, 0)) << way << " row " << r;
    }
  }
  // The result list again, the row of the hit last chosen selected (none:
  // empty), every row standing for its hit.
  void ExpectHits(const std::wstring& selected, const std::string& way) {
    EXPECT_EQ(F->isSearchView, 1) << way;
    EXPECT_EQ(F->searchListShown, 1) << way;
    EXPECT_EQ(F->searchDepth, 0) << way;
    EXPECT_EQ(F->hasParentRow, 0) << way;
    ASSERT_EQ(F->lvInfo->Items()->Count(), F->searchResults->Count()) << way;
    for (int r = 0; r < F->lvInfo->Items()->Count(); ++r) {
      ListNode* entry = F->RowEntry(r);
      ASSERT_NE(entry, nullptr) << way << " row " << r;
      const std::wstring caption = Cell(r, 0);
      EXPECT_EQ(AnsiToWide(FieldText(entry->Name)).str(), caption.substr(caption.rfind(L'\\') + 1))
          << way << " row " << r;
    }
    const std::vector<int> only = selected.empty() ? std::vector<int>{} : std::vector<int>{RowOf(selected)};
    EXPECT_EQ(F->SelectedRows(), only) << way << ": the rows selected";
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
      if (NeedMarkOf(record) == "1") needed.insert(path);
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
    ASSERT_TRUE(
        WaitFor([&] { return F->currentTreeNode == TreeNode(text) && !F->isSearchView; }, "the folder shown"));
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
    // -1: the folder view; 0 and more: a folder that many levels below a hit
    // on the road from the hits; Hits: the result list.
    int Road = -1;
    std::wstring SelectedHit{};  // the row selected on the result list
  };
  constexpr int Hits = -2;
  auto forward = [&] { F->spbtForwardClick(F->spbtForward); };
  auto up = [&] { F->spbtUpClick(F->spbtUp); };
  auto back = [&] { F->spbtBackClick(F->spbtBack); };
  // The hits with a hit chosen and another row selected by hand, so that a
  // way back to the hits that does nothing leaves the other row selected.
  // The hit is chosen by entering its folder on the road and coming back
  // with comeBack, or by Enter on a file hit when no folder can be entered.
  auto chooseThenSelect = [&](const wchar_t* hit, const std::function<void()>& comeBack, const wchar_t* other) {
    SelectRowOf(hit);
    if (comeBack) {
      forward();
      ASSERT_EQ(F->searchListShown, 0) << "the hit's folder entered";
      comeBack();
    } else {
      PressEnterOnTable();
    }
    ExpectHits(hit, "the hit chosen");
    SelectRowOf(other);
    ASSERT_EQ(F->SelectedRows(), std::vector<int>{RowOf(other)});
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
      // The road from the hits and back to them.
      {"Up on the hits", nullptr, L"i",
       [&] {
         chooseThenSelect(L"alpha\\inner", back, L"alpha\\inner\\i1.txt");
         up();
       },
       "", Hits, L"alpha\\inner"},
      {"Back on the hits", nullptr, L"i",
       [&] {
         chooseThenSelect(L"alpha\\inner", up, L"alpha\\inner\\i1.txt");
         back();
       },
       "", Hits, L"alpha\\inner"},
      // With a forward history no hit's folder can be entered: Forward goes
      // back to the hits. The row selected by hand is a folder hit, which a
      // Forward that forgot the history would enter.
      {"Forward with a forward history", back, L"a",
       [&] {
         ASSERT_FALSE(F->forwardHistory.empty());
         chooseThenSelect(L"alpha\\a1.txt", nullptr, L"beta");
         forward();
       },
       "", Hits, L"alpha\\a1.txt"},
      {"Forward on a folder hit", nullptr, L"inner",
       [&] {
         SelectRowOf(L"alpha\\inner");
         forward();
       },
       "alpha\\inner", 0},
      {"Forward on a folder hit, then Up", nullptr, L"i",
       [&] {
         SelectRowOf(L"alpha\\inner");
         forward();
         up();
       },
       "", Hits, L"alpha\\inner"},
      {"Forward on a folder hit, then Back twice", nullptr, L"i",
       [&] {
         SelectRowOf(L"alpha\\inner");
         forward();
         back();
         back();
       },
       "", Hits, L"alpha\\inner"},
      {"Forward after Back", nullptr, L"a",
       [&] {
         SelectRowOf(L"beta");
         forward();
         back();
         ExpectHits(L"beta", "Back from the hit's folder");
         forward();
       },
       "beta", 0},
      {"Forward after Back with no hit chosen", nullptr, L"txt",
       [&] {
         back();
         forward();
       },
       "", Hits},
      {"Forward without a selection, then Up twice", nullptr, L"a",
       [&] {
         SelectRowOf(L"alpha");
         forward();
         SelectOnly(-1);
         forward();
         ExpectFolderView("alpha\\inner", "Forward without a selection", 1);
         up();
         ExpectFolderView("alpha", "Up", 0);
         EXPECT_EQ(SelectedRow(), RowOf(L"inner")) << "the folder left";
         up();
       },
       "", Hits, L"alpha"},
      {"Enter on a folder row of a hit's folder", nullptr, L"a",
       [&] {
         SelectRowOf(L"alpha");
         forward();
         SelectRowOf(L"inner");
         PressEnterOnTable();
       },
       "alpha\\inner"},
      {"the \"..\" row of a hit's folder", nullptr, L"a",
       [&] {
         SelectRowOf(L"alpha");
         forward();
         SelectRowOf(L"..");
         PressEnterOnTable();
         EXPECT_EQ(SelectedRow(), RowOf(L"alpha")) << "the folder left";
       },
       ""},
      // The ways out of the hits.
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
    if (way.Road == Hits)
      ExpectHits(way.SelectedHit, way.Name);
    else
      ExpectFolderView(way.Folder, way.Name, way.Road);
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

// --- every folder from its own entry -----------------------------------------------------

using TRecords = std::vector<std::pair<std::string, std::string>>;

// For each folder at path, in the order of the file (twins share the path):
// the names of its files.
std::vector<std::set<std::string>> FolderFiles(const TRecords& records, const std::string& path) {
  std::vector<std::set<std::string>> folders;
  for (const auto& [p, record] : records) {
    if (p == path)
      folders.emplace_back();
    else if (!folders.empty() && p.rfind(path + "\\", 0) == 0)
      folders.back().insert(p.substr(path.size() + 1));
  }
  return folders;
}

// The records with need mark 1: the path, and which of the folders at path
// holds it (0 the first, -1 none).
std::vector<std::pair<std::string, int>> NeededIn(const TRecords& records, const std::string& path) {
  std::vector<std::pair<std::string, int>> needed;
  int folder = -1;
  for (const auto& [p, record] : records) {
    if (p == path) ++folder;
    if (NeedMarkOf(record) == "1") needed.emplace_back(p, p.rfind(path + "\\", 0) == 0 ? folder : -1);
  }
  return needed;
}

TEST_F(ViewStateTest, TwinFoldersAreEachShownFromTheirOwnEntry) {
  // A list of the core's writer: two folders "dup", each with a file of its
  // own beside one of a shared name, and a folder named "a*b".
  const std::string written = Lists.File("twins.vq");
  {
    auto entry = [](ListNode* parent, char kind, const char* name) {
      EntryRecord r{};
      r.Kind = kind;
      SetFieldText(r.Name, name);
      return InsertNode(parent, parent ? parent->Level + 1 : 0, r);
    };
    ListNode* root = entry(nullptr, ekFolder, "");
    for (const char* own : {"one.txt", "two.txt"}) {
      ListNode* twin = entry(root, ekFolder, "dup");
      entry(twin, ekFile, "same.txt");
      entry(twin, ekFile, own);
    }
    entry(entry(root, ekFolder, "a*b"), ekFile, "f.txt");
    TZipEngine zip(nullptr);
    ConfigureListEngine(zip);
    ASSERT_EQ(SaveListFile(zip, written.c_str(), "", root, nullptr), TSaveStatus::Saved);
    FreeNodeTree(root);
  }
  // The scan makes twins of two Greek names of one length: code page 1251
  // stores both as "??".
  TestTree greek;
  for (const auto& [name, own] : {std::pair{L"\u03b1\u03b2", L"one.txt"}, std::pair{L"\u03b3\u03b4", L"two.txt"}}) {
    const std::wstring folder = AnsiToWide(greek.Root().c_str()).str() + L"\\" + name;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    WriteFileBytes(folder + L"\\same.txt", "x");
    WriteFileBytes(folder + L"\\" + own, "x");
  }
  // The row of the k-th of the rows (also hits) captioned text.
  auto nthRow = [&](const std::wstring& text, int k) {
    for (int r = 0, seen = 0; r < F->lvInfo->Items()->Count(); ++r)
      if (Cell(r, 0) == text && seen++ == k) return r;
    return -1;
  };
  auto showRoot = [&] {
    TUcTreeNode* root = F->tvTreeOfFile->Items()->GetFirstNode();
    if (F->currentTreeNode != root || F->isSearchView) ClickTreeNode(root);
    ASSERT_TRUE(WaitFor([&] { return F->currentTreeNode == root && !F->isSearchView; }, "the root shown"));
  };
  auto saveAndRead = [&] {
    const std::string listFile = Lists.File("twins" + std::to_string(++Saves) + ".vq");
    SaveAs(listFile);
    return SavedListRecordsInOrder(listFile);
  };
  // Needed on the row captioned name; the list saved and read back. Without
  // such a row nothing is marked (the command's message would wait).
  auto markAndSave = [&](const wchar_t* name) {
    const int row = RowOf(name);
    if (row < 0) {
      ADD_FAILURE() << "no row " << Ansi(name);
      return TRecords();
    }
    SelectOnly(row);
    F->N4Action->Execute();
    return saveAndRead();
  };
  struct Source {
    const char* Name;
    std::function<void()> Load;
    std::wstring Twin;  // the name both twins show
  } const sources[] = {
      {"a written list", [&] { OpenFile(written); }, L"dup"},
      {"a scan of Greek names", [&] { Scan(greek.Root()); }, L"??"},
  };
  for (const Source& source : sources) {
    SCOPED_TRACE(source.Name);
    F->isModified = 0;
    source.Load();
    const std::string twin = Ansi(source.Twin.c_str());
    // What each twin holds, as the list file has it.
    const std::vector<std::set<std::string>> files = FolderFiles(saveAndRead(), twin);
    ASSERT_EQ(files.size(), 2u);
    ASSERT_NE(files[0], files[1]);
    std::vector<TUcTreeNode*> nodes;
    for (TUcTreeNode* n = F->tvTreeOfFile->Items()->GetFirstNode(); n; n = n->GetNext())
      if (n->Text() == source.Twin.c_str()) nodes.push_back(n);
    ASSERT_EQ(nodes.size(), 2u);
    auto choose = [&](int k, bool enter) {
      SelectOnly(nthRow(source.Twin, k));
      if (enter)
        PressEnterOnTable();
      else
        F->spbtForwardClick(F->spbtForward);
    };
    const struct {
      const char* Name;
      std::function<void(int k)> Show;
      bool OnTheRoad = false;  // from a hit, the hits kept
    } ways[] = {
        {"the tree", [&](int k) { ClickTreeNode(nodes[k]); }},
        {"Enter on its row", [&](int k) { choose(k, true); }},
        {"Enter on its hit",
         [&](int k) {
           Search(source.Twin.c_str());
           choose(k, true);
         }},
        {"Forward on its hit",
         [&](int k) {
           Search(source.Twin.c_str());
           choose(k, false);
         },
         true},
        {"Back",
         [&](int k) {
           ClickTreeNode(nodes[k]);
           ClickTreeNode(nodes[1 - k]);
           F->spbtBackClick(F->spbtBack);
         }},
        {"Forward",
         [&](int k) {
           ClickTreeNode(nodes[1 - k]);
           ClickTreeNode(nodes[k]);
           F->spbtBackClick(F->spbtBack);
           F->spbtForwardClick(F->spbtForward);
         }},
    };
    for (const auto& way : ways)
      for (int k = 0; k < 2; ++k) {
        const std::string name = std::string(way.Name) + ", twin " + std::to_string(k);
        showRoot();
        way.Show(k);
        EXPECT_EQ(F->currentTreeNode, nodes[k]) << name;
        EXPECT_EQ(F->tvTreeOfFile->Selected(), nodes[k]) << name;
        EXPECT_EQ(F->isSearchView, way.OnTheRoad ? 1 : 0) << name;
        ASSERT_EQ(Cell(0, 0), L"..") << name;
        std::set<std::string> shown;
        for (int r = 1; r < F->lvInfo->Items()->Count(); ++r) shown.insert(Ansi(Cell(r, 0).c_str()));
        EXPECT_EQ(shown, files[k]) << name << ": its own rows";
        // A mark on the shared name lands in this twin.
        const std::vector<std::pair<std::string, int>> expected{{twin + "\\same.txt", k}};
        EXPECT_EQ(NeededIn(markAndSave(L"same.txt"), twin), expected) << name;
        // Up (on the road: back to the hits) selects the row of this twin.
        F->spbtUpClick(F->spbtUp);
        EXPECT_EQ(SelectedRow(), nthRow(source.Twin, k)) << name << ": Up";
        Clean();
        F->isModified = 0;
      }
  }

  // A folder named with "*" is shown, through the tree and by Enter on its
  // row, and its file marked.
  OpenFile(written);
  for (bool byEnter : {false, true}) {
    showRoot();
    if (byEnter) {
      SelectOnly(RowOf(L"a*b"));
      PressEnterOnTable();
    } else {
      ClickTreeNode(TreeNode(L"a*b"));
    }
    ASSERT_EQ(F->currentTreeNode, TreeNode(L"a*b"));
    ASSERT_EQ(Rows().size(), 2u);
    EXPECT_EQ(Cell(1, 0), L"f.txt");
    const std::vector<std::pair<std::string, int>> expected{{"a*b\\f.txt", 0}};
    EXPECT_EQ(NeededIn(markAndSave(L"f.txt"), "a*b"), expected) << (byEnter ? "by Enter" : "through the tree");
    Clean();
    F->isModified = 0;
  }
}

}  // namespace
