// Moving between folders on the real window: Enter and double click on
// folder rows, the ".." row, Up, Back and Forward with their histories and
// hints, real clicks in the folder tree; and the rows' colours by mark.
#include <gtest/gtest.h>

#include "ListDataFile.h"
#include "ListFile.h"
#include "UiTestUtil.h"
#include "ZipEngine.h"

namespace {

class NavigationTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Tree.Folder("a");
    Tree.Folder("a\\a1");
    Tree.Folder("a\\a2");
    Tree.Folder("b");
    Tree.File("a\\a1\\deep.txt", 10);
    Tree.File("a\\file.txt", 10);
    Tree.File("top.txt", 10);
    Scan(Tree.Root());
    const std::string root = Tree.Root();
    RootText = AnsiToWide(root.substr(root.rfind('\\') + 1).c_str()).str();
  }

  std::wstring Shown() { return F->currentTreeNode ? F->currentTreeNode->Text().str() : L"(none)"; }
  std::wstring TreeSelection() {
    TUcTreeNode* n = F->tvTreeOfFile->Selected();
    return n ? n->Text().str() : L"(none)";
  }
  // Enter on a row, as the keyboard gives it.
  void Enter(const std::wstring& caption) {
    const int row = RowOf(caption);
    ASSERT_GE(row, 0) << "no row " << WideToAnsi(caption.c_str()).c_str();
    SelectRow(row);
    F->lvInfo->SetFocus();
    PostKey(F->lvInfo->Handle(), VK_RETURN);
    Pump(20);
  }

  TestTree Tree;
  std::wstring RootText;
};

TEST_F(NavigationTest, MovesDownAndUpWithEnterAndTheParentRow) {
  EXPECT_EQ(Cell(0, 0), L"a");
  EXPECT_EQ(Shown(), RootText);
  // Up at the root and Back without history do nothing.
  F->spbtUpClick(F->spbtUp);
  F->spbtBackClick(F->spbtBack);
  EXPECT_EQ(Shown(), RootText);
  EXPECT_EQ(Rows().size(), 3u);

  Enter(L"a");
  EXPECT_EQ(Shown(), L"a");
  EXPECT_EQ(TreeSelection(), L"a");
  EXPECT_EQ(Cell(0, 0), L"..");
  EXPECT_EQ(Rows().size(), 4u);
  EXPECT_EQ(SelectedRow(), 1) << "the row after \"..\"";
  EXPECT_EQ(BackHint(), RootText);
  EXPECT_EQ(F->hasParentRow, 1);

  // Enter on a file does nothing.
  Enter(L"file.txt");
  EXPECT_EQ(Shown(), L"a");

  Enter(L"a1");
  EXPECT_EQ(Shown(), L"a1");
  EXPECT_EQ(BackHint(), L"a");
  // The ".." row: up, with the folder left selected.
  SelectRow(0);
  F->lvInfoDblClick(F->lvInfo);
  Pump(10);
  EXPECT_EQ(Shown(), L"a");
  EXPECT_EQ(TreeSelection(), L"a");
  EXPECT_EQ(Cell(SelectedRow(), 0), L"a1");
  EXPECT_EQ(BackHint(), L"a1");
  // Up from a: the root, a selected.
  F->spbtUpClick(F->spbtUp);
  Pump(10);
  EXPECT_EQ(Shown(), RootText);
  EXPECT_EQ(Cell(SelectedRow(), 0), L"a");
  EXPECT_EQ(F->hasParentRow, 0);
  EXPECT_EQ(F->backHistory.size(), 4u);
}

TEST_F(NavigationTest, BackAndForwardWalkTheHistoryWithTheirHints) {
  Enter(L"a");
  Enter(L"a1");
  EXPECT_EQ(ForwardHint(), L"Вперёд") << "a file row is selected in a1: the plain hint";
  F->spbtBackClick(F->spbtBack);
  Pump(10);
  EXPECT_EQ(Shown(), L"a");
  EXPECT_EQ(Cell(SelectedRow(), 0), L"a1") << "the folder left is selected";
  EXPECT_EQ(ForwardHint(), L"a1");
  EXPECT_EQ(BackHint(), RootText);
  F->spbtBackClick(F->spbtBack);
  Pump(10);
  EXPECT_EQ(Shown(), RootText);
  EXPECT_EQ(BackHint(), L"Назад") << "the history is empty again";
  EXPECT_EQ(ForwardHint(), L"a");
  F->spbtForwardClick(F->spbtForward);
  Pump(10);
  EXPECT_EQ(Shown(), L"a");
  EXPECT_EQ(ForwardHint(), L"a1");
  EXPECT_EQ(BackHint(), RootText);
  F->spbtForwardClick(F->spbtForward);
  Pump(10);
  EXPECT_EQ(Shown(), L"a1");
  EXPECT_TRUE(F->forwardHistory.empty());
  // Any other move empties the forward history.
  F->spbtBackClick(F->spbtBack);
  Pump(10);
  EXPECT_FALSE(F->forwardHistory.empty());
  F->spbtUpClick(F->spbtUp);
  Pump(10);
  EXPECT_TRUE(F->forwardHistory.empty());
  EXPECT_EQ(Cell(SelectedRow(), 0), L"a");
  EXPECT_EQ(ForwardHint(), L"a") << "the selected folder row names where Forward goes";
}

TEST_F(NavigationTest, ForwardWithoutHistoryEntersTheSelectedRowOrTheFirstChild) {
  SelectRow(RowOf(L"b"));
  F->spbtForwardClick(F->spbtForward);
  Pump(10);
  EXPECT_EQ(Shown(), L"b");
  F->spbtUpClick(F->spbtUp);
  Pump(10);
  SelectRow(-1);
  F->spbtForwardClick(F->spbtForward);
  Pump(10);
  TUcTreeNode* root = F->tvTreeOfFile->Items()->GetFirstNode();
  EXPECT_EQ(Shown(), root->getFirstChild()->Text().str());
}

TEST_F(NavigationTest, TreeClicksShowTheFolderAndPushOnce) {
  ClickTreeNode(TreeNode(L"b"));
  EXPECT_EQ(Shown(), L"b");
  EXPECT_EQ(TreeSelection(), L"b");
  EXPECT_EQ(F->backHistory.size(), 1u);
  EXPECT_EQ(BackHint(), RootText);
  EXPECT_EQ(SelectedRow(), -1) << "a tree click selects no row";
  // Clicking the folder shown does nothing.
  ClickTreeNode(TreeNode(L"b"));
  EXPECT_EQ(F->backHistory.size(), 1u);
  ClickTreeNode(TreeNode(L"a"));
  EXPECT_EQ(Shown(), L"a");
  EXPECT_EQ(F->backHistory.size(), 2u);
  EXPECT_EQ(BackHint(), L"b");
  EXPECT_EQ(Cell(0, 0), L"..");
}

TEST_F(NavigationTest, ANewListForgetsEveryFolderOfTheOldOne) {
  Enter(L"a");
  Enter(L"a1");
  F->spbtBackClick(F->spbtBack);
  Pump(10);
  ASSERT_FALSE(F->backHistory.empty());
  ASSERT_FALSE(F->forwardHistory.empty());
  F->isModified = 0;
  Scan(Tree.Root());
  EXPECT_TRUE(F->backHistory.empty());
  EXPECT_TRUE(F->forwardHistory.empty());
  EXPECT_EQ(BackHint(), L"Назад");
  EXPECT_EQ(Shown(), RootText);
  F->spbtBackClick(F->spbtBack);
  F->spbtForwardClick(F->spbtForward);
  Pump(10);
}

// --- a list deeper than the stack would hold frames for ------------------------------------

// Every step on a chain of folders as deep as a list file may nest them: the
// window walks the tree's nodes in loops, so the program lives and the table
// shows the folder it should.
TEST_F(MainWindowTest, MovesThroughAListAsDeepAsAListFileGoes) {
  constexpr int Depth = kMaxListDepth - 1;
  TempDir lists;
  WriteDeepList(lists.File("deep.vq"), Depth, "deepest");
  OpenFile(lists.File("deep.vq"));
  ASSERT_EQ(CountNodes(F->rootNode), Depth + 1);
  TUcTreeNode* deepest = F->tvTreeOfFile->Items()->GetFirstNode();
  while (deepest && deepest->getFirstChild()) deepest = deepest->getFirstChild();
  ASSERT_NE(deepest, nullptr);
  ASSERT_EQ(deepest->Level(), Depth);
  ASSERT_EQ(deepest->Text(), L"deepest");
  TUcTreeNode* above = deepest->Parent();
  // The folder shown, its rows and the entries behind them.
  auto expectShown = [&](TUcTreeNode* node, const std::wstring& row1, const char* step) {
    ASSERT_TRUE(WaitFor([&] { return F->currentTreeNode == node; }, step));
    EXPECT_EQ(F->isSearchView, 0) << step;
    EXPECT_EQ(F->tvTreeOfFile->Selected(), node) << step;
    EXPECT_EQ(Rows().size(), 2u) << step;
    EXPECT_EQ(Cell(0, 0), L"..") << step;
    EXPECT_EQ(Cell(1, 0), row1) << step;
    ListNode* entry = F->RowEntry(1);
    ASSERT_NE(entry, nullptr) << step;
    EXPECT_EQ(AnsiToWide(FieldText(entry->Name)).str(), row1) << step;
    EXPECT_EQ(entry->Level, node->Level() + 1) << step;
  };
  auto enter = [&](int row) {
    SelectRow(row);
    F->lvInfo->SetFocus();
    PostKey(F->lvInfo->Handle(), VK_RETURN);
  };

  Search(L"deepest");
  ASSERT_EQ(F->isSearchView, 1);
  ASSERT_EQ(Rows().size(), 1u);
  enter(0);
  expectShown(deepest, L"f.txt", "Enter on the hit");
  F->spbtUpClick(F->spbtUp);
  expectShown(above, L"deepest", "Up");
  F->spbtBackClick(F->spbtBack);
  expectShown(deepest, L"f.txt", "Back");
  F->spbtForwardClick(F->spbtForward);
  expectShown(above, L"deepest", "Forward");
  enter(1);
  expectShown(deepest, L"f.txt", "Enter on a folder row");
  enter(0);
  expectShown(above, L"deepest", "the \"..\" row");
  enter(1);
  expectShown(deepest, L"f.txt", "Enter on a folder row again");

  SelectRow(1);
  F->N5Action->Execute();
  SaveAs(lists.File("saved.vq"));
  std::string path;
  // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
  for (int i = 0; i < Depth - 1; ++i) path += "d" + std::to_string(i % 100) + "\\";
#pragma GCC diagnostic pop
  // kind|damaged|absent|need mark|marked count|comment: not needed now.
  EXPECT_EQ(SavedListRecords(lists.File("saved.vq"), true),
            (std::map<std::string, std::string>{{path + "deepest\\f.txt", "F|0|0|2|0|"}}));
  // The deep tree goes as the saved list replaces it.
  OpenFile(lists.File("saved.vq"));
  EXPECT_EQ(F->currentTreeNode, F->tvTreeOfFile->Items()->GetFirstNode());
  EXPECT_EQ(Rows().size(), 1u);
  EXPECT_EQ(F->tvTreeOfFile->Items()->Count(), Depth + 1);
}

// --- row colours ------------------------------------------------------------------------

class RowColoursTest : public MainWindowTest {};

ListNode* Entry(ListNode* parent, char kind, const char* name) {
  EntryRecord r{};
  r.Kind = kind;
  SetFieldText(r.Name, name);
  return InsertNode(parent, parent ? parent->Level + 1 : 0, r);
}

// Pixels of a colour in a row's cell (column from..to, inclusive).
int CellPixels(HWND list, const TCapturedImage& image, int row, int column, COLORREF color) {
  RECT r{};
  r.top = column;
  r.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  if (column == 0) {
    RECT label{};
    label.left = LVIR_LABEL;
    SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&label));
    r = label;
  }
  return image.Count(color, r);
}

TEST_F(RowColoursTest, MarksColourTheRows) {
  ListNode* root = Entry(nullptr, 'D', "");
  Entry(root, 'F', "plain.txt");
  ListNode* damaged = Entry(root, 'F', "damaged.txt");
  damaged->Attributes = DamagedBit;
  ListNode* absent = Entry(root, 'F', "absent.txt");
  absent->Absent = 1;
  ListNode* needed = Entry(root, 'F', "needed.txt");
  needed->NeedMark = 1;
  ListNode* notNeeded = Entry(root, 'F', "notneeded.txt");
  notNeeded->NeedMark = 2;
  TempDir out;
  TZipEngine zip(nullptr);
  ConfigureListEngine(zip);
  ASSERT_EQ(SaveListFile(zip, out.File("marks.vq").c_str(), "", root, nullptr), TSaveStatus::Saved);
  FreeNodeTree(root);

  OpenFile(out.File("marks.vq"));
  ASSERT_EQ(Rows().size(), 5u);
  EXPECT_EQ(Cell(1, 4), L"E");
  F->lvInfo->Invalidate();
  Pump(30);
  HWND list = F->lvInfo->Handle();
  const TCapturedImage image = CaptureClient(list);
  const COLORREF red = RGB(255, 0, 0);
  const COLORREF green = RGB(201, 249, 204);
  const COLORREF grey = RGB(219, 217, 213);
  // plain, damaged, absent, needed, not needed
  EXPECT_EQ(CellPixels(list, image, 0, 0, red), 0);
  EXPECT_GT(CellPixels(list, image, 1, 0, red), 5) << "a damaged name is red";
  EXPECT_GT(CellPixels(list, image, 2, 0, red), 5) << "an absent name is red";
  EXPECT_GT(CellPixels(list, image, 3, 2, green), 20) << "a needed row is green";
  EXPECT_GT(CellPixels(list, image, 4, 2, grey), 20) << "a row not needed is grey";
  EXPECT_EQ(CellPixels(list, image, 0, 2, green) + CellPixels(list, image, 0, 2, grey), 0);
  EXPECT_EQ(CellPixels(list, image, 1, 4, red), 0) << "the other cells of a damaged row stay black";
  // Struck out: a red line through the middle of the absent name.
  RECT label{};
  label.left = LVIR_LABEL;
  SendMessageW(list, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&label));
  int longest = 0;
  for (int y = label.top; y < label.bottom; ++y) {
    int run = 0;
    for (int x = label.left; x < label.right; ++x) {
      run = image.At(x, y) == red ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  EXPECT_GT(longest, 20) << "the strike-out line";
  // The attribute hint names the letters.
  RECT cell{};
  cell.top = 4;
  cell.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETSUBITEMRECT, 1, reinterpret_cast<LPARAM>(&cell));
  F->lvInfoMouseMove(F->lvInfo, 0, (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
  EXPECT_EQ(F->lvInfo->Hint(), L"E:Повреждённый");
  EXPECT_TRUE(F->lvInfo->ShowHint());
  F->lvInfoMouseMove(F->lvInfo, 0, (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2 + (cell.bottom - cell.top));
  EXPECT_FALSE(F->lvInfo->ShowHint()) << "\"----\" has no hint";
}

}  // namespace
