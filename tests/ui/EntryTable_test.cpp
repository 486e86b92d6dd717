// The entry table's pure parts: the size text, the folders-first order, the
// display path, and the folder paths of tree nodes; the rows' texts and
// icons as the window holds and shows them.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ShellIcons.h"
#include "UiTestUtil.h"

namespace {

ListNode* Entry(ListNode* parent, char kind, const char* name) {
  EntryRecord r{};
  r.Kind = kind;
  SetFieldText(r.Name, name);
  return InsertNode(parent, parent ? parent->Level + 1 : 0, r);
}

TEST(EntryTable, SizeInKilobytesRoundsTiesToEvenAndNeverShowsZero) {
  EXPECT_EQ(SizeKbText(1), "1");
  EXPECT_EQ(SizeKbText(511), "1");
  EXPECT_EQ(SizeKbText(512), "1") << "0.5 rounds to 0, shown as 1";
  EXPECT_EQ(SizeKbText(1024), "1");
  EXPECT_EQ(SizeKbText(1536), "2");
  EXPECT_EQ(SizeKbText(2560), "2");
  EXPECT_EQ(SizeKbText(3584), "4");
  EXPECT_EQ(SizeKbText(2.0L * 1024 * 1024), "2048");
  EXPECT_EQ(SizeKbText(1099511627776.0L), "1073741824");
  EXPECT_EQ(SizeKbText(18446744073709551615.0L), "18014398509481984");
}

TEST(EntryTable, FoldersComeFirstByExchanges) {
  ListNode* root = Entry(nullptr, 'D', "root");
  Entry(root, 'F', "f1");
  Entry(root, 'F', "f2");
  Entry(root, 'F', "f3");
  Entry(root, 'D', "d1");
  OrderFolderEntries(root->Children);
  std::string order;
  for (int i = 0; i < root->ChildCount(); ++i) order += FieldText(root->Child(i)->Name).str() + " ";
  EXPECT_EQ(order, "d1 f2 f3 f1 ") << "an exchange order: files do not keep theirs";
  OrderFolderEntries(root->Children);
  order.clear();
  for (int i = 0; i < root->ChildCount(); ++i) order += FieldText(root->Child(i)->Name).str() + " ";
  EXPECT_EQ(order, "d1 f2 f3 f1 ") << "an ordered list stays as it is";
  TList empty;
  OrderFolderEntries(&empty);
  FreeNodeTree(root);
}

TEST(EntryTable, FolderOrderEqualsTheExchangeOrderForEveryMix) {
  // Every list of up to 8 entries of kinds F, D and one other kind; the
  // entries are told apart by position so that the permutation is compared.
  for (int length = 0; length <= 8; ++length) {
    int combinations = 1;
    for (int i = 0; i < length; ++i) combinations *= 3;
    for (int c = 0; c < combinations; ++c) {
      std::string kinds;
      for (int i = 0, v = c; i < length; ++i, v /= 3) kinds += "FDX"[v % 3];
      ListNode* root = Entry(nullptr, 'D', "root");
      for (int i = 0; i < length; ++i) Entry(root, kinds[i], std::string(1, char('a' + i)).c_str());
      // The exchange order as its definition states it, on (kind, name) pairs.
      std::vector<std::string> pairs;
      for (int i = 0; i < length; ++i) pairs.push_back(std::string(1, kinds[i]) + char('a' + i));
      for (size_t i = 0; i + 1 < pairs.size(); ++i)
        for (size_t j = i + 1; j < pairs.size(); ++j)
          if (pairs[i][0] == 'F' && pairs[j][0] == 'D') std::swap(pairs[i], pairs[j]);
      std::string expected, actual;
      for (const std::string& p : pairs) expected += p;
      OrderFolderEntries(root->Children);
      // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
      for (int i = 0; i < length; ++i)
        actual += std::string(1, root->Child(i)->Kind) + FieldText(root->Child(i)->Name).str();
#pragma GCC diagnostic pop
      ASSERT_EQ(actual, expected) << kinds;
      FreeNodeTree(root);
    }
  }
}

TEST(EntryTable, DisplayPathTurnsStarsIntoBackslashesAndDropsOneDoubling) {
  EXPECT_EQ(DisplayPathOf("D:\\Data"), "D:\\Data\\");
  EXPECT_EQ(DisplayPathOf("D:\\Data*a*b"), "D:\\Data\\a\\b\\");
  EXPECT_EQ(DisplayPathOf("C:\\*a"), "C:\\a\\") << "a drive root's path carries a doubled backslash";
  EXPECT_EQ(DisplayPathOf("C:\\"), "C:\\");
  EXPECT_EQ(DisplayPathOf(""), "\\");
  EXPECT_EQ(DisplayPathOf("*sub"), "\\sub\\") << "a saved list's root has no name";
}

TEST_F(MainWindowTest, FolderPathsOfTreeNodesAndBack) {
  F->rootNode = Entry(nullptr, 'D', "D:\\Data");
  TUcTreeNodes* nodes = F->tvTreeOfFile->Items();
  TUcTreeNode* root = nodes->Add(nullptr, L"Data");
  TUcTreeNode* a = nodes->AddChild(root, L"a");
  TUcTreeNode* b = nodes->AddChild(a, L"b");
  TUcTreeNode* c = nodes->AddChild(root, L"c");
  TUcTreeNode* b2 = nodes->AddChild(c, L"b");
  EXPECT_EQ(GetTreeNodePath(F, root), "D:\\Data");
  EXPECT_EQ(GetTreeNodePath(F, b), "D:\\Data*a*b");
  EXPECT_EQ(FindTreeNodeByPath(F, root, "a*b"), b);
  EXPECT_EQ(FindTreeNodeByPath(F, root, "c*b"), b2);
  EXPECT_EQ(FindTreeNodeByPath(F, root, "a"), a);
  EXPECT_EQ(FindTreeNodeByPath(F, root, "A*b"), nullptr) << "case counts";
  EXPECT_EQ(FindTreeNodeByPath(F, root, "a*x"), nullptr);
  EXPECT_EQ(FindTreeNodeByPath(F, nullptr, "a"), nullptr);
  nodes->Clear();
  FreeNodeTree(F->rootNode);
  F->rootNode = nullptr;
}

// The texts the window holds for a row: the caption and the sub-items.
std::vector<std::wstring> NativeRow(HWND list, int row) {
  std::vector<std::wstring> cells;
  for (int c = 0; c < 6; ++c) {
    wchar_t buffer[260] = {};
    LVITEMW it{};
    it.iSubItem = c;
    it.pszText = buffer;
    it.cchTextMax = 260;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&it));
    cells.push_back(buffer);
  }
  return cells;
}

TEST_F(MainWindowTest, TableOfAListFolderKeepsItsTextsAndAnIconPerFileType) {
  F->rootNode = Entry(nullptr, 'D', "");
  const wchar_t* const names[] = {L"a.TXT", L"b.txt", L"c.dat", L"Папка", L"d.txt", L"e", L"f.DAT", L"Ж.txt"};
  for (const wchar_t* name : names) Entry(F->rootNode, name == std::wstring(L"Папка") ? 'D' : 'F', Ansi(name).c_str());
  ShownEntries->Children->Clear();
  F->shownList = FillListView(F, F->rootNode, DisplayPathOf(""));
  TUcListItems* items = F->lvInfo->Items();
  ASSERT_EQ(items->Count(), 8);
  EXPECT_EQ(items->Item(0)->Caption(), L"Папка");
  EXPECT_EQ(ShownEntries->Children->Count(), 8);

  // Each file row has the icon its lower-cased extension was given once; a
  // file without one has the generic icon.
  for (int r = 1; r < 8; ++r) {
    TUcListItem* item = items->Item(r);
    const AnsiString extension = AnsiLowerCase(ExtractFileExt(WideToAnsi(item->Caption())));
    int expected = F->genericIconRow;
    for (const auto& [type, row] : F->typeIconRows)
      if (type == extension) expected = row;
    EXPECT_EQ(item->ImageIndex(), expected) << WideToAnsi(item->Caption()).c_str();
    ASSERT_EQ(item->SubItems()->Count(), 5);
    for (int c = 0; c < 5; ++c)
      EXPECT_EQ(item->AnsiSubItems()->Get(c), WideToAnsi(item->SubItems()->Get(c))) << r << " " << c;
    EXPECT_EQ(item->SubItems()->Get(4), L"----");
  }
  EXPECT_EQ(F->typeIconRows.size(), 3u);  // ".txt", ".dat" and ""

  // The wide texts are what the window shows, also in a window made anew.
  const std::vector<std::wstring> before = NativeRow(F->lvInfo->Handle(), 7);
  EXPECT_EQ(before[0], L"Ж.txt");
  F->lvInfo->RecreateWnd();
  EXPECT_EQ(NativeRow(F->lvInfo->Handle(), 7), before);
  EXPECT_EQ(NativeRow(F->lvInfo->Handle(), 0)[0], L"Папка");

  items->Clear();
  ShownEntries->Children->Clear();
  F->shownList = nullptr;
  FreeNodeTree(F->rootNode);
  F->rootNode = nullptr;
}

// What the screen shows in the icon box of each row, by the row's caption,
// once the table has painted. The rows are unselected first: a selected
// row's icon is blended with a highlight that depends on the focus.
std::map<std::wstring, TCapturedImage> ShownRowIcons(TInfoFileForm* form) {
  std::map<std::wstring, TCapturedImage> shown;
  SetForegroundWindow(form->Handle());
  // The pointer out of the way: no hint or hot row over the icons.
  SetCursorPos(0, GetSystemMetrics(SM_CYSCREEN) - 1);
  const HWND view = form->lvInfo->Handle();
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(view, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  EXPECT_TRUE(WaitFor([&] { return !GetUpdateRect(view, nullptr, FALSE) && !GetQueueStatus(QS_ALLINPUT); },
                      "the table handled its messages and painted"));
  const int rows = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
  for (int r = 0; r < rows; ++r) {
    RECT box{};
    box.left = LVIR_ICON;
    SendMessageW(view, LVM_GETITEMRECT, r, reinterpret_cast<LPARAM>(&box));
    MapWindowPoints(view, nullptr, reinterpret_cast<POINT*>(&box), 2);
    shown[NativeRow(view, r)[0]] = CaptureScreen(box);
  }
  return shown;
}

int Colours(const TCapturedImage& image) {
  return static_cast<int>(std::set<uint32_t>(image.Pixels.begin(), image.Pixels.end()).size());
}

// A saved list has no root path: opened again, its rows are looked up under
// the current drive's root ("\sub"), where Wine's shell gives no icon even
// for a path that is there. The current drive here holds the list's own
// tree, so every name of the list's root stands at the drive's root. The
// HTML site's pictures of such paths are those of missing paths.
TEST_F(MainWindowTest, NamesAtTheDriveRootShowIconsInAReopenedListAndTheSitePictures) {
  TestTree tree;
  for (const wchar_t* folder : {L"sub", L"sub\\inner", L"Папка"}) tree.Folder(Ansi(folder));
  for (const char* file : {"a.txt", "tool", "x.fnunknown", "run.exe"}) tree.File(file, 3);
  const std::set<std::wstring> folders = {L"sub", L"Папка"};
  Scan(tree.Root());
  const auto scanned = ShownRowIcons(F);
  ASSERT_EQ(scanned.size(), 6u);
  TempDir out;
  SaveAs(out.File("list.vq"));

  MappedDrive drive(tree.Root());
  ASSERT_NE(drive.Letter(), 0) << "no free drive letter could stand for the tree";
  KeepCurrentFolder keep;
  ASSERT_TRUE(SetCurrentDirectoryA(drive.Root().c_str()));
  OpenFile(out.File("list.vq"));
  ASSERT_TRUE(WaitFor([&] { return F->listLoaded && F->lvInfo->Items()->Count() == 6; }, "the list opened"));
  const HWND view = F->lvInfo->Handle();
  const int images = ImageList_GetImageCount(
      reinterpret_cast<HIMAGELIST>(SendMessageW(view, LVM_GETIMAGELIST, LVSIL_SMALL, 0)));
  for (int r = 0; r < 6; ++r) {
    const std::wstring name = NativeRow(view, r)[0];
    // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    EXPECT_NE(GetFileAttributesA(("\\" + Ansi(name.c_str())).c_str()), INVALID_FILE_ATTRIBUTES)
        << Ansi(name.c_str()) << " is not at the current drive's root";
#pragma GCC diagnostic pop
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = r;
    SendMessageW(view, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_TRUE(item.iImage >= 0 && item.iImage < images) << Ansi(name.c_str()) << ": image " << item.iImage;
  }
  const auto reopened = ShownRowIcons(F);
  RECT whole;
  GetWindowRect(F->Handle(), &whole);
  KeepShot(CaptureScreen(whole), "reopened-list");
  ASSERT_EQ(reopened.size(), 6u);
  for (const auto& [name, picture] : reopened) {
    // A blank box is one colour; the smallest icon has its outline and fill.
    EXPECT_GE(Colours(picture), 3) << Ansi(name.c_str()) << " shows no icon";
    if (folders.count(name)) {
      EXPECT_TRUE(picture.Pixels == scanned.at(name).Pixels) << Ansi(name.c_str()) << ": not the scan's folder icon";
    }
  }

  TempDir present, missing;
  TImageList presentIcons(nullptr), missingIcons(nullptr);
  for (const auto& [name, picture] : reopened) {
    const AnsiString file = Ansi(name.c_str()).c_str();
    const std::string jpeg = SaveIconsAsJpeg(&presentIcons, "\\" + file, present.Path().c_str()).c_str();
    EXPECT_EQ(jpeg, SaveIconsAsJpeg(&missingIcons, "C:\\nowhere\\" + file, missing.Path().c_str()).c_str());
    EXPECT_FALSE(ReadFileBytes(present.File(jpeg)).empty()) << file.c_str() << ": " << jpeg << " not written";
    EXPECT_EQ(ReadFileBytes(present.File(jpeg)), ReadFileBytes(missing.File(jpeg))) << file.c_str();
  }
}

}  // namespace
