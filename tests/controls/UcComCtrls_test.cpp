// The wide tree view and list view on real windows: texts outside the ANSI
// code page through every road (before and after the window, re-creation,
// copies between trees, streams, sorting, search), the wide notifications,
// and the ANSI setters that widen through the code page.
#include "ControlsTestUtil.h"

#include "UcComCtrls.h"
#include "UcWideStreams.h"

#include <gtest/gtest.h>

#include <cstring>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using UcTreeView = UcGuiTest;

const wchar_t* const kFolder = L"\u041F\u0430\u043F\u043A\u0430 \u4E2D";  // "Папка 中"

TUcTreeView* NewTree(TForm* form) {
  auto* tv = new TUcTreeView(form);
  tv->SetBounds(10, 10, 250, 250);
  tv->SetParent(form);
  return tv;
}

// The text the control shows for a node: TVM_GETITEMW on a callback item
// makes the control ask the view with TVN_GETDISPINFOW.
std::wstring NativeText(TTreeNode* node) {
  wchar_t buf[512] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT | TVIF_HANDLE;
  item.hItem = node->ItemId();
  item.pszText = buf;
  item.cchTextMax = 512;
  if (!SendMessageW(node->TreeView()->WindowHandle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
    return L"<none>";
  return buf;
}

std::string Bytes(TStream* stream) {
  std::string s(static_cast<size_t>(stream->Size()), '\0');
  stream->SetPosition(0);
  if (!s.empty()) stream->ReadBuffer(s.data(), static_cast<int>(s.size()));
  return s;
}

std::string Utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

struct TTreeEvents {
  std::vector<std::wstring> Log;
  TTreeNode* SelectedAtMouseUp = nullptr;
  TUcTreeView* View = nullptr;
  std::wstring EditedTo;
  void Change(TObject*, TTreeNode* node) {
    Log.push_back(L"change:" + static_cast<TUcTreeNode*>(node)->Text().str());
  }
  void Expanded(TObject*, TTreeNode* node) {
    Log.push_back(L"expanded:" + static_cast<TUcTreeNode*>(node)->Text().str());
  }
  void MouseUp(TObject*, TMouseButton, TShiftState, int, int) {
    Log.push_back(L"up");
    SelectedAtMouseUp = View->Selected();
  }
  void Edited(TObject*, TUcTreeNode* node, WideString& s) {
    EditedTo = s.str();
    Log.push_back(L"edited:" + node->Text().str());
    s += L"!";
  }
  void NodeClass(TCustomTreeView*, const TMetaClass*& cls) { cls = &TTreeNode::Class; }
};

}  // namespace

TEST_F(UcTreeView, WideTextsBeforeAndAfterTheWindowAndAcrossRecreation) {
  auto* tv = new TUcTreeView(Form);
  tv->SetBounds(10, 10, 250, 250);
  // No parent, no window: the nodes wait with their texts.
  TUcTreeNode* root = tv->Items()->Add(nullptr, L"");
  TUcTreeNode* folder = tv->Items()->AddChild(root, kFolder);
  TUcTreeNode* deep = tv->Items()->AddChild(folder, kMixedText);
  EXPECT_FALSE(tv->HandleAllocated());
  EXPECT_EQ(folder->Text().str(), kFolder);
  EXPECT_EQ(AnsiToWide(folder->AnsiText()).str(), Narrowed(kFolder));

  tv->SetParent(Form);
  tv->HandleNeeded();
  ASSERT_TRUE(IsWindowUnicode(tv->WindowHandle()));
  EXPECT_EQ(SendMessageW(tv->WindowHandle(), TVM_GETUNICODEFORMAT, 0, 0), 1);
  EXPECT_EQ(NativeText(folder), kFolder);
  EXPECT_EQ(NativeText(deep), kMixedText);
  // The class library's own sort callback was caught at the first window.
  EXPECT_EQ(UcTreeViewCompareProc, &TCustomTreeView::DefaultTreeViewSort);

  // A style change makes a new window; the collapsed branch is asked for
  // only later, and out of order.
  tv->SetShowLines(!tv->ShowLines());
  Pump(10);
  ASSERT_TRUE(tv->HandleAllocated());
  EXPECT_EQ(NativeText(deep), kMixedText);
  EXPECT_EQ(NativeText(folder), kFolder);
  folder->Expand(true);
  root->Expand(false);
  EXPECT_EQ(NativeText(deep), kMixedText);
  tv->RecreateWnd();
  Pump(10);
  EXPECT_EQ(NativeText(deep), kMixedText);
  EXPECT_TRUE(deep->IsVisible());
}

TEST_F(UcTreeView, AnsiTextsWidenThroughTheCodePageAndWideChangesReachTheControl) {
  TUcTreeView* tv = NewTree(Form);
  TUcTreeNode* node = tv->Items()->AddChild(nullptr, WideToAnsi(kCyrillicText));  // an ANSI name
  EXPECT_EQ(node->Text().str(), kCyrillicText);
  EXPECT_EQ(NativeText(node), kCyrillicText);

  // The class library's ANSI setter behind the shadow wins.
  node->TTreeNode::SetText(WideToAnsi(L"\u0414\u0438\u0441\u043A"));
  EXPECT_EQ(node->Text().str(), L"\u0414\u0438\u0441\u043A");
  EXPECT_EQ(NativeText(node), L"\u0414\u0438\u0441\u043A");

  // Texts that differ only where the code page has no character: the
  // native text still follows.
  node->SetText(L"\u4E2D\u6587");
  EXPECT_EQ(NativeText(node), L"\u4E2D\u6587");
  node->SetText(L"\u65E5\u672C");
  EXPECT_EQ(NativeText(node), L"\u65E5\u672C");
  EXPECT_EQ(node->AnsiText(), "??");
}

TEST_F(UcTreeView, NavigationIsPreOrderAndRetyped) {
  TUcTreeView* tv = NewTree(Form);
  TUcTreeNodes* items = tv->Items();
  TUcTreeNode* a = items->Add(nullptr, L"a");
  TUcTreeNode* a1 = items->AddChild(a, L"a1");
  TUcTreeNode* a2 = items->AddChild(a, L"a2");
  TUcTreeNode* a0 = items->AddChildFirst(a, L"a0");
  TUcTreeNode* b = items->Add(a, L"b");
  TUcTreeNode* first = items->AddFirst(a, L"first");
  TUcTreeNode* before = items->Insert(b, L"before b");
  int data = 7;
  TUcTreeNode* withData = items->AddChildObject(b, L"data", &data);
  std::vector<TUcTreeNode*> expected = {first, a, a0, a1, a2, before, b, withData};
  ASSERT_EQ(items->Count(), static_cast<int>(expected.size()));
  for (int i = 0; i < items->Count(); ++i) EXPECT_EQ(items->GetNodeFromIndex(i), expected[i]) << i;
  EXPECT_EQ(withData->Data(), &data);
  EXPECT_EQ(a->getFirstChild(), a0);
  EXPECT_EQ(a->GetLastChild(), a2);
  EXPECT_EQ(a->GetNextChild(a0), a1);
  EXPECT_EQ(a2->Parent(), a);
  EXPECT_EQ(a->Item(1), a1);
  EXPECT_EQ(a2->GetNext(), before);
  EXPECT_EQ(items->GetFirstNode(), first);
  EXPECT_EQ(items->GetNode(a1->ItemId()), a1);
  EXPECT_EQ(a1->Owner(), items);
  EXPECT_EQ(a1->TreeView(), tv);
  std::vector<TUcTreeNode*> walked;
  TUcTreeNodesEnumerator e = items->GetEnumerator();
  while (e.MoveNext()) walked.push_back(e.Current());
  EXPECT_EQ(walked, expected);

  // Only wide nodes: another node class is refused when the view makes one.
  TTreeEvents ev;
  tv->OnCreateNodeClass = MakeEvent<&TTreeEvents::NodeClass>(&ev);
  try {
    items->Add(nullptr, L"x");
    FAIL() << "no exception";
  } catch (const EUcInternalError& e) {
    EXPECT_STREQ(e.what(), "Internal Error: OnCreateNodeClass.ItemClass must inherit from TUcTreeNode.");
  }
  EXPECT_EQ(items->Count(), static_cast<int>(expected.size()));
}

TEST_F(UcTreeView, CopiesToAndFromAPlainTreeView) {
  TUcTreeView* tv = NewTree(Form);
  auto* plain = new TTreeView(Form);
  plain->SetParent(Form);
  plain->SetBounds(270, 10, 120, 200);
  int d1 = 1, d2 = 2;
  TUcTreeNode* root = tv->Items()->AddObject(nullptr, L"list.vq", &d1);
  TUcTreeNode* folder = tv->Items()->AddChildObject(root, kFolder, &d2);
  folder->SetImageIndex(1);
  folder->SetSelectedIndex(2);
  tv->Items()->AddChild(folder, kCyrillicText);

  // Wide to plain: the texts in their ANSI forms, the rest unchanged.
  plain->Items()->Assign(tv->Items());
  ASSERT_EQ(plain->Items()->Count(), 3);
  EXPECT_EQ(AnsiToWide(plain->Items()->Item(1)->Text()).str(), Narrowed(kFolder));
  EXPECT_EQ(plain->Items()->Item(1)->Data(), &d2);
  EXPECT_EQ(plain->Items()->Item(1)->ImageIndex(), 1);
  EXPECT_EQ(plain->Items()->Item(1)->SelectedIndex(), 2);
  EXPECT_EQ(plain->Items()->Item(2)->Parent(), plain->Items()->Item(1));

  // Plain to wide: the ANSI texts widened, shown by the Unicode window.
  tv->Items()->Clear();
  tv->Items()->Assign(plain->Items());
  ASSERT_EQ(tv->Items()->Count(), 3);
  TUcTreeNode* back = tv->Items()->Item(2);
  EXPECT_EQ(back->Text().str(), kCyrillicText);
  EXPECT_EQ(NativeText(back), kCyrillicText);
  EXPECT_EQ(back->Parent()->Data(), &d2);
  EXPECT_EQ(back->Parent()->ImageIndex(), 1);

  // Wide to wide keeps what the code page lacks.
  TUcTreeView* other = NewTree(Form);
  other->SetLeft(300);
  tv->Items()->Item(1)->SetText(kMixedText);
  other->Items()->Assign(tv->Items());
  ASSERT_EQ(other->Items()->Count(), 3);
  EXPECT_EQ(other->Items()->Item(1)->Text().str(), kMixedText);
  EXPECT_EQ(NativeText(other->Items()->Item(1)), kMixedText);
  EXPECT_EQ(other->Items()->Item(1)->Data(), &d2);
  EXPECT_TRUE(other->Items()->Item(1)->IsEqual(tv->Items()->Item(1)));
}

TEST_F(UcTreeView, Utf8DataRecordsAndTheirCut) {
  TUcTreeView* tv = NewTree(Form);
  TUcTreeNode* node = tv->Items()->Add(nullptr, kCjkText);
  node->SetImageIndex(3);
  node->SetSelectedIndex(4);
  TUcMemoryStream stream;
  tv->Items()->WriteData(&stream);
  std::string utf8 = "\xEF\xBB\xBF" + Utf8(kCjkText);
  std::string expected;
  auto put32 = [&](int32_t v) { expected.append(reinterpret_cast<const char*>(&v), 4); };
  put32(1);                                   // top-level nodes
  put32(25 + static_cast<int>(utf8.size()));  // record size
  put32(3);
  put32(4);
  put32(-1);
  put32(-1);
  put32(0);  // data
  put32(0);  // children
  expected += static_cast<char>(utf8.size());
  expected += utf8;
  EXPECT_EQ(Bytes(&stream), expected);

  // 300 characters do not fit: the text is cut at whole characters so that
  // mark and text take at most 255 bytes; a surrogate pair is never split.
  std::wstring longText(83, L'\u4E2D');  // 249 bytes of UTF-8
  longText += L"\U0001F600";              // 4 more: 256 with the mark
  longText += std::wstring(216, L'x');
  node->SetText(longText);
  TUcMemoryStream cut;
  tv->Items()->WriteData(&cut);
  std::string bytes = Bytes(&cut);
  ASSERT_GE(bytes.size(), 4u + 4 + 25);
  auto len = static_cast<unsigned char>(bytes[4 + 4 + 24]);
  EXPECT_EQ(len, 3u + 249);
  EXPECT_EQ(bytes.substr(4 + 4 + 25), "\xEF\xBB\xBF" + Utf8(std::wstring(83, L'\u4E2D')));

  // Reading: marked texts are UTF-8, others ANSI.
  std::string records;
  auto rec = [&](const std::string& text, int32_t children) {
    int32_t size = 25 + static_cast<int32_t>(text.size());
    records.append(reinterpret_cast<const char*>(&size), 4);
    int32_t fields[6] = {0, 0, -1, -1, 0, children};
    records.append(reinterpret_cast<const char*>(fields), 24);
    records += static_cast<char>(text.size());
    records += text;
  };
  int32_t top = 1;
  records.append(reinterpret_cast<const char*>(&top), 4);
  rec("\xEF\xBB\xBF" + Utf8(kMixedText), 1);
  rec(WideToAnsi(kCyrillicText).str(), 0);
  TUcMemoryStream in;
  in.WriteBuffer(records.data(), static_cast<int>(records.size()));
  in.SetPosition(0);
  tv->Items()->ReadData(&in);
  ASSERT_EQ(tv->Items()->Count(), 2);
  EXPECT_EQ(tv->Items()->Item(0)->Text().str(), kMixedText);
  EXPECT_EQ(tv->Items()->Item(1)->Text().str(), kCyrillicText);
  EXPECT_EQ(NativeText(tv->Items()->Item(0)), kMixedText);

  // A record that lies about its size is refused.
  std::string broken = records;
  broken[4] = 20;
  TUcMemoryStream bad;
  bad.WriteBuffer(broken.data(), static_cast<int>(broken.size()));
  bad.SetPosition(0);
  EXPECT_THROW(tv->Items()->ReadData(&bad), EReadError);
}

// A chain as deep as a list file may nest its folders: its records are
// written and read back in loops, each node followed by its one child.
TEST_F(UcTreeView, Utf8DataOfAChainThirtyTwoThousandLevelsDeep) {
  constexpr int Depth = 32768;
  TUcTreeView* tv = NewTree(Form);
  TUcTreeNode* node = nullptr;
  for (int i = 0; i < Depth; ++i) node = tv->Items()->AddChild(node, i + 1 < Depth ? WideString(L"n") : kCjkText);
  TUcMemoryStream stream;
  tv->Items()->WriteData(&stream);
  const std::string bottom = "\xEF\xBB\xBF" + Utf8(kCjkText);
  const std::string bytes = Bytes(&stream);
  ASSERT_EQ(bytes.size(), 4 + (Depth - 1) * (4 + 25 + 4) + 4 + 25 + bottom.size());
  // The last record: no children, the wide text.
  EXPECT_EQ(bytes.substr(bytes.size() - bottom.size() - 5), std::string(4, '\0') + char(bottom.size()) + bottom);
  TUcTreeView* other = NewTree(Form);
  stream.SetPosition(0);
  other->Items()->ReadData(&stream);
  ASSERT_EQ(other->Items()->Count(), Depth);
  TUcTreeNode* copy = other->Items()->GetFirstNode();
  while (copy->getFirstChild()) copy = copy->getFirstChild();
  EXPECT_EQ(copy->Level(), Depth - 1);
  EXPECT_EQ(copy->Text().str(), kCjkText);
  EXPECT_EQ(NativeText(copy), kCjkText);
  delete other;
  delete tv;
}

TEST_F(UcTreeView, IndentedTextSaveAndLoad) {
  TempDir dir;
  TUcTreeView* tv = NewTree(Form);
  TUcTreeNode* a = tv->Items()->Add(nullptr, kFolder);
  TUcTreeNode* b = tv->Items()->AddChild(a, kCjkText);
  tv->Items()->AddChild(b, L"third");
  tv->Items()->Add(a, L"second root");
  WideString file = AnsiToWide(AnsiString(dir.File("tree.txt")));
  tv->SaveToFile(file);
  std::string bytes = ReadFileBytes(dir.File("tree.txt"));
  std::wstring text = std::wstring(kFolder) + L"\r\n\t" + kCjkText + L"\r\n\t\tthird\r\nsecond root\r\n";
  std::string expected = "\xFF\xFE";
  expected.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  EXPECT_EQ(bytes, expected);

  TUcTreeView* copy = NewTree(Form);
  copy->LoadFromFile(file);
  ASSERT_EQ(copy->Items()->Count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(copy->Items()->Item(i)->Text(), tv->Items()->Item(i)->Text()) << i;
    EXPECT_EQ(copy->Items()->Item(i)->Level(), tv->Items()->Item(i)->Level()) << i;
  }
  EXPECT_EQ(NativeText(copy->Items()->Item(1)), kCjkText);

  // Spaces count as indentation too; a first line's indentation is ignored;
  // a step back of two levels is allowed.
  WriteFileBytes(dir.File("spaces.txt"), "  top\n child\n \tgrandchild\ntop2\n child2\n");
  copy->LoadFromFile(AnsiToWide(AnsiString(dir.File("spaces.txt"))));
  ASSERT_EQ(copy->Items()->Count(), 5);
  EXPECT_EQ(copy->Items()->Item(0)->Level(), 0);
  EXPECT_EQ(copy->Items()->Item(2)->Level(), 2);
  EXPECT_EQ(copy->Items()->Item(2)->Text().str(), L"grandchild");
  EXPECT_EQ(copy->Items()->Item(3)->Level(), 0);
  EXPECT_EQ(copy->Items()->Item(4)->Level(), 1);
  EXPECT_EQ(copy->Items()->Item(4)->Parent(), copy->Items()->Item(3));

  // Two levels down at once is an error; the nodes before it stay.
  WriteFileBytes(dir.File("bad.txt"), "a\n\tb\n\t\t\tc\n");
  try {
    copy->LoadFromFile(AnsiToWide(AnsiString(dir.File("bad.txt"))));
    FAIL() << "no exception";
  } catch (const ETreeViewError& e) {
    EXPECT_STREQ(e.what(), "Invalid level (3) for item \"c\"");
  }
  EXPECT_EQ(copy->Items()->Count(), 2);
}

TEST_F(UcTreeView, SortingComparesTheWideTexts) {
  TUcTreeView* tv = NewTree(Form);
  // Their ANSI forms are all "?": only the wide comparison can order them.
  std::vector<std::wstring> texts = {L"\u4E2D", L"\u65E5", L"\u6587", L"\u03B1"};
  std::vector<std::wstring> sorted = texts;
  std::sort(sorted.begin(), sorted.end(),
            [](const std::wstring& x, const std::wstring& y) { return lstrcmpW(x.c_str(), y.c_str()) < 0; });
  for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) tv->Items()->Add(nullptr, it->c_str());
  tv->SetSortType(stText);
  ASSERT_EQ(tv->Items()->Count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(tv->Items()->Item(i)->Text().str(), sorted[i]) << i;
    // The native order is the same.
    HTREEITEM id = reinterpret_cast<HTREEITEM>(SendMessageW(tv->WindowHandle(), TVM_GETNEXTITEM, TVGN_ROOT, 0));
    for (int k = 0; k < i; ++k)
      id = reinterpret_cast<HTREEITEM>(SendMessageW(tv->WindowHandle(), TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(id)));
    EXPECT_EQ(id, tv->Items()->Item(i)->ItemId());
  }
}

TEST_F(UcTreeView, ClickingANodeSelectsItBeforeOnMouseUp) {
  TUcTreeView* tv = NewTree(Form);
  tv->SetHideSelection(false);
  TUcTreeNode* root = tv->Items()->Add(nullptr, L"root");
  tv->Items()->AddChild(root, L"one");
  TUcTreeNode* two = tv->Items()->AddChild(root, kFolder);
  root->Expand(false);
  TTreeEvents ev;
  ev.View = tv;
  tv->OnMouseUp = MakeEvent<&TTreeEvents::MouseUp>(&ev);
  tv->OnChange = MakeEvent<&TTreeEvents::Change>(&ev);
  RECT r{};
  {
    HTREEITEM item = two->ItemId();
    std::memcpy(&r, &item, sizeof item);
  }
  ASSERT_TRUE(SendMessageW(tv->WindowHandle(), TVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r)));
  PostClick(tv->WindowHandle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Pump(100);
  EXPECT_EQ(ev.SelectedAtMouseUp, two);
  std::vector<std::wstring> expected = {std::wstring(L"change:") + kFolder, L"up"};
  EXPECT_EQ(ev.Log, expected);
}

TEST_F(UcTreeView, ExpansionArrivesInItsWideForm) {
  TUcTreeView* tv = NewTree(Form);
  TUcTreeNode* root = tv->Items()->Add(nullptr, kCjkText);
  tv->Items()->AddChild(root, L"child");
  tv->HandleNeeded();
  TTreeEvents ev;
  tv->OnExpanded = MakeEvent<&TTreeEvents::Expanded>(&ev);
  // As the keyboard does: the control expands and notifies.
  ::SetFocus(tv->WindowHandle());
  tv->SetSelected(root);
  SendMessageW(tv->WindowHandle(), WM_KEYDOWN, VK_RIGHT, 0);
  Pump(20);
  ASSERT_FALSE(ev.Log.empty());
  EXPECT_EQ(ev.Log.back(), std::wstring(L"expanded:") + kCjkText);
  EXPECT_TRUE(root->Expanded());
}

TEST_F(UcTreeView, InPlaceEditingGivesTheWideText) {
  TUcTreeView* tv = NewTree(Form);
  tv->SetReadOnly(false);
  TUcTreeNode* node = tv->Items()->Add(nullptr, L"old");
  TTreeEvents ev;
  tv->OnEdited = MakeEvent<&TTreeEvents::Edited>(&ev);
  ::SetFocus(tv->WindowHandle());
  HWND edit = reinterpret_cast<HWND>(
      SendMessageW(tv->WindowHandle(), TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(node->ItemId())));
  ASSERT_NE(edit, nullptr);
  // The edit window is subclassed; typed wide characters reach it.
  SetWindowTextW(edit, L"");
  SendMessageW(edit, WM_CHAR, 0x4E2D, 1);
  SendMessageW(edit, WM_CHAR, 0x0416, 1);
  SendMessageW(tv->WindowHandle(), TVM_ENDEDITLABELNOW, 0, 0);
  Pump(20);
  EXPECT_EQ(ev.EditedTo, L"\u4E2D\u0416");
  EXPECT_EQ(node->Text().str(), L"\u4E2D\u0416!");
  EXPECT_EQ(NativeText(node), L"\u4E2D\u0416!");
}

TEST_F(UcTreeView, OldToolTipsGetTheirTextCut) {
  TUcTreeView* tv = NewTree(Form);
  std::wstring longText(100, L'\u0416');
  TUcTreeNode* node = tv->Items()->Add(nullptr, longText.c_str());
  RECT r{};
  {
    HTREEITEM item = node->ItemId();
    std::memcpy(&r, &item, sizeof item);
  }
  ASSERT_TRUE(SendMessageW(tv->WindowHandle(), TVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r)));
  POINT p{r.left + 2, (r.top + r.bottom) / 2};
  ClientToScreen(tv->WindowHandle(), &p);
  SetCursorPos(p.x, p.y);
  HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, tv->WindowHandle(), nullptr,
                             nullptr, nullptr);
  NMTTDISPINFOW request{};
  request.hdr.hwndFrom = tip;
  request.hdr.code = TTN_NEEDTEXTW;
  request.uFlags = TTF_IDISHWND;
  TUcCustomTreeView::ComCtlVersionOverride = 0x00040046;  // 4.70
  LRESULT r1 = SendMessageW(tv->WindowHandle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&request));
  TUcCustomTreeView::ComCtlVersionOverride = 0;
  DestroyWindow(tip);
  POINT now{};
  GetCursorPos(&now);
  if (now.x != p.x || now.y != p.y) GTEST_SKIP() << "the display does not move the cursor";
  EXPECT_EQ(r1, 1);
  EXPECT_EQ(request.lpszText, request.szText);
  EXPECT_EQ(std::wstring(request.szText), longText.substr(0, 79));
}

// ===========================================================================
// List view

namespace {

using UcListView = UcGuiTest;

const wchar_t* const kColumns[] = {L"\u0418\u043C\u044F \u6587\u4EF6", L"\u0420\u0430\u0437\u043C\u0435\u0440",
                                   L"\u0421\u043E\u0437\u0434\u0430\u043D", L"\u0418\u0437\u043C\u0435\u043D\u0451\u043D",
                                   L"\u0410\u0442\u0440\u0438\u0431\u0443\u0442\u044B", L"\u039A\u03BF\u03BC\u03BC"};
const int kWidths[] = {150, 87, 121, 120, 70, 139};

// The main window's table: report view, six columns, whole rows selected.
TUcListView* NewTable(TForm* form, bool withParent = true) {
  auto* lv = new TUcListView(form);
  lv->SetBounds(10, 10, 400, 250);
  lv->SetViewStyle(vsReport);
  lv->SetRowSelect(true);
  lv->SetMultiSelect(true);
  lv->SetReadOnly(true);
  lv->SetGridLines(true);
  lv->SetHideSelection(false);
  lv->SetColumnClick(false);
  for (int i = 0; i < 6; ++i) {
    TUcListColumn* col = lv->Columns()->Add();
    col->SetCaption(kColumns[i]);
    col->SetWidth(kWidths[i]);
  }
  if (withParent) lv->SetParent(form);
  return lv;
}

TUcListItem* AddRow(TUcListView* lv, const WideString& caption, std::initializer_list<const wchar_t*> subs) {
  TUcListItem* item = lv->Items()->Add();
  item->SetCaption(caption);
  for (const wchar_t* s : subs) item->SubItems()->Add(s);
  return item;
}

std::wstring ItemText(TUcListView* lv, int row, int sub) {
  wchar_t buf[512] = {};
  LVITEMW item{};
  item.iSubItem = sub;
  item.pszText = buf;
  item.cchTextMax = 512;
  int n = static_cast<int>(
      SendMessageW(lv->WindowHandle(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
  return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring ColumnText(TUcListView* lv, int index) {
  wchar_t buf[256] = {};
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = buf;
  col.cchTextMax = 256;
  if (!SendMessageW(lv->WindowHandle(), LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(&col))) return L"<none>";
  return buf;
}

RECT RowRect(TUcListView* lv, int row) {
  RECT r{};
  r.left = LVIR_BOUNDS;
  SendMessageW(lv->WindowHandle(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  return r;
}

struct TListEvents {
  std::vector<std::wstring> Log;
  std::wstring EditedTo;
  TColor RowColors[4] = {clNone, clNone, clNone, clNone};
  bool StrikeRow[4] = {};
  TColor FontColor = clRed;
  void Change(TObject*, TListItem* item, TItemChange change) {
    if (change == ctState) Log.push_back(L"state:" + static_cast<TUcListItem*>(item)->Caption().str());
  }
  void DblClick(TObject*) { Log.push_back(L"dblclick"); }
  void Edited(TObject*, TUcListItem* item, WideString& s) {
    EditedTo = s.str();
    Log.push_back(L"edited:" + item->Caption().str());
  }
  void InfoTip(TObject*, TUcListItem* item, WideString& tip) {
    tip = item->Caption() + WideString(std::wstring(600, L'\u0416'));
  }
  void ItemClass(TCustomListView*, const TMetaClass*& cls) { cls = &TListItem::Class; }
  void DrawItem(TCustomListView* sender, TListItem* item, TCustomDrawState, bool&) {
    int row = item->Index();
    if (row < 0 || row > 3) return;
    if (RowColors[row] != clNone) sender->Canvas()->Brush()->SetColor(RowColors[row]);
    sender->Canvas()->Font()->SetColor(FontColor);
    if (StrikeRow[row]) sender->Canvas()->Font()->SetStyle(fsStrikeOut);
  }
  int Fetches = 0;
  void Data(TObject*, TListItem* item) {
    ++Fetches;
    auto* ucItem = static_cast<TUcListItem*>(item);
    ucItem->SetCaption(WideString(L"\u884C") + WideString(std::to_wstring(item->Index())));
    ucItem->SubItems()->Add(kCjkText);
  }
};

}  // namespace

TEST_F(UcListView, CaptionsSubItemsAndColumnsBeforeAndAfterTheWindow) {
  TUcListView* lv = NewTable(Form, false);
  // No parent: columns and rows wait in the objects.
  AddRow(lv, kMixedText, {L"12", kCjkText, L"", L"A", kCyrillicText});
  AddRow(lv, WideToAnsi(kCyrillicText), {L"1"});  // an ANSI name widens
  EXPECT_FALSE(lv->HandleAllocated());
  lv->SetParent(Form);
  lv->HandleNeeded();
  ASSERT_TRUE(IsWindowUnicode(lv->WindowHandle()));
  EXPECT_EQ(SendMessageW(lv->WindowHandle(), LVM_GETUNICODEFORMAT, 0, 0), 1);
  EXPECT_EQ(UcListViewCompareProc, &TCustomListView::DefaultListViewSort);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(ColumnText(lv, i), kColumns[i]) << i;
  EXPECT_EQ(ItemText(lv, 0, 0), kMixedText);
  EXPECT_EQ(ItemText(lv, 0, 2), kCjkText);
  EXPECT_EQ(ItemText(lv, 0, 5), kCyrillicText);
  EXPECT_EQ(ItemText(lv, 1, 0), kCyrillicText);
  EXPECT_EQ(ItemText(lv, 1, 1), L"1");
  EXPECT_EQ(ItemText(lv, 1, 3), L"");  // no such sub-item

  // A new window (a style the control takes only at creation).
  lv->SetViewStyle(vsList);
  lv->SetViewStyle(vsReport);
  Pump(10);
  EXPECT_EQ(ItemText(lv, 0, 0), kMixedText);
  EXPECT_EQ(ItemText(lv, 0, 2), kCjkText);
  EXPECT_EQ(ColumnText(lv, 0), kColumns[0]);
  EXPECT_EQ(ColumnText(lv, 5), kColumns[5]);
  lv->RecreateWnd();
  Pump(10);
  EXPECT_EQ(ItemText(lv, 0, 5), kCyrillicText);
  EXPECT_EQ(lv->Items()->Item(0)->SubItems()->Get(1).str(), kCjkText);
}

TEST_F(UcListView, AnsiAndWideSubItemsStayInStep) {
  TUcListView* lv = NewTable(Form);
  TUcListItem* item = AddRow(lv, L"row", {L"a", L"b", L"c", L"d", L""});
  // The program's comment cell: a wide text with characters the code page
  // lacks; the ANSI side gets its ANSI form, the wide one is not taken back.
  item->SubItems()->Put(4, kMixedText);
  EXPECT_EQ(item->SubItems()->Get(4).str(), kMixedText);
  EXPECT_EQ(AnsiToWide(item->AnsiSubItems()->Get(4)).str(), Narrowed(kMixedText));
  EXPECT_EQ(ItemText(lv, 0, 5), kMixedText);

  // The class library's ANSI side changed directly: the wide text follows.
  item->AnsiSubItems()->Put(1, WideToAnsi(kCyrillicText));
  EXPECT_EQ(item->SubItems()->Get(1).str(), kCyrillicText);
  EXPECT_EQ(ItemText(lv, 0, 2), kCyrillicText);
  // Where the ANSI text did not change, the wide one keeps its characters.
  item->AnsiSubItems()->Put(0, "z");
  EXPECT_EQ(item->SubItems()->Get(4).str(), kMixedText);
  EXPECT_EQ(ItemText(lv, 0, 5), kMixedText);
  item->AnsiSubItems()->Delete(0);
  ASSERT_EQ(item->SubItems()->Count(), 4);
  EXPECT_EQ(item->SubItems()->Get(0).str(), kCyrillicText);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(WideToAnsi(item->SubItems()->Get(i)), item->AnsiSubItems()->Get(i)) << i;
  item->AnsiSubItems()->Add("new");
  EXPECT_EQ(item->SubItems()->Get(4).str(), L"new");

  // Wide changes of every kind reach the ANSI list.
  item->SubItems()->Insert(0, kCjkText);
  item->SubItems()->Delete(1);
  EXPECT_EQ(item->AnsiSubItems()->Count(), 5);
  EXPECT_EQ(item->AnsiSubItems()->Get(0), "??");
  EXPECT_EQ(ItemText(lv, 0, 1), kCjkText);
  int tag = 5;
  item->SubItems()->AddObject(L"obj", reinterpret_cast<TObject*>(&tag));
  EXPECT_EQ(item->AnsiSubItems()->GetObject(5), reinterpret_cast<TObject*>(&tag));
  EXPECT_EQ(item->SubItems()->GetObject(5), reinterpret_cast<TObject*>(&tag));
  item->SubItems()->Clear();
  EXPECT_EQ(item->AnsiSubItems()->Count(), 0);
  EXPECT_EQ(ItemText(lv, 0, 1), L"");

  // The ANSI caption behind the wide one.
  item->TListItem::SetCaption(WideToAnsi(L"\u0414\u0438\u0441\u043A"));
  EXPECT_EQ(item->Caption().str(), L"\u0414\u0438\u0441\u043A");
  EXPECT_EQ(ItemText(lv, 0, 0), L"\u0414\u0438\u0441\u043A");
  item->SetCaption(L"\u4E2D\u6587");
  item->SetCaption(L"\u65E5\u672C");  // the same ANSI form "??"
  EXPECT_EQ(ItemText(lv, 0, 0), L"\u65E5\u672C");
}

TEST_F(UcListView, FindCaptionSearchesTheWideCaptions) {
  TUcListView* lv = NewTable(Form);
  AddRow(lv, L"abc", {});
  AddRow(lv, L"abd", {});
  AddRow(lv, kCjkText, {});
  AddRow(lv, L"\u65E5\u672C", {});  // the same ANSI form as the CJK row
  EXPECT_EQ(lv->FindCaption(0, L"ab", true, true, false), lv->Items()->Item(0));
  EXPECT_EQ(lv->FindCaption(0, L"ab", true, false, false), lv->Items()->Item(1));
  EXPECT_EQ(lv->FindCaption(1, L"ab", true, false, false), nullptr);
  EXPECT_EQ(lv->FindCaption(1, L"ab", true, false, true), lv->Items()->Item(0));
  EXPECT_EQ(lv->FindCaption(0, L"ab", false, true, false), nullptr);  // whole captions only
  EXPECT_EQ(lv->FindCaption(0, L"\u65E5\u672C", false, true, false), lv->Items()->Item(3));
  EXPECT_EQ(lv->FindCaption(0, kCjkText, false, true, false), lv->Items()->Item(2));
}

TEST_F(UcListView, SortingComparesTheWideCaptions) {
  TUcListView* lv = NewTable(Form);
  std::vector<std::wstring> texts = {L"\u4E2D", L"\u65E5", L"\u6587", L"\u03B1"};
  std::vector<std::wstring> sorted = texts;
  std::sort(sorted.begin(), sorted.end(),
            [](const std::wstring& x, const std::wstring& y) { return lstrcmpW(x.c_str(), y.c_str()) < 0; });
  for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) AddRow(lv, it->c_str(), {it->c_str()});
  lv->SetSortType(stText);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(lv->Items()->Item(i)->Caption().str(), sorted[i]) << i;
    EXPECT_EQ(ItemText(lv, i, 0), sorted[i]) << i;
    EXPECT_EQ(ItemText(lv, i, 1), sorted[i]) << i;
  }
}

TEST_F(UcListView, RowColoursAndTheStruckOutFontOfCustomDrawing) {
  TUcListView* lv = NewTable(Form);
  for (int i = 0; i < 4; ++i) AddRow(lv, L"\u0416\u0416\u0416\u0416\u0416\u0416", {L"1", L"2"});
  TListEvents ev;
  ev.RowColors[0] = static_cast<TColor>(0xCCF9C9);  // needed
  ev.RowColors[1] = static_cast<TColor>(0xD5D9DB);  // not needed
  ev.StrikeRow[3] = true;                           // absent
  lv->OnCustomDrawItem = MakeEvent<&TListEvents::DrawItem>(&ev);
  lv->Invalidate();
  Pump(30);
  TCapturedImage image = CaptureClient(lv->WindowHandle());
  ASSERT_GT(image.Width, 0);
  RECT r0 = RowRect(lv, 0), r1 = RowRect(lv, 1), r2 = RowRect(lv, 2), r3 = RowRect(lv, 3);
  // A point of the caption cell right of the text, and one in a sub-item cell.
  int y0 = (r0.top + r0.bottom) / 2, y1 = (r1.top + r1.bottom) / 2;
  EXPECT_EQ(image.At(140, y0), RGB(0xC9, 0xF9, 0xCC));
  EXPECT_EQ(image.At(200, y0), RGB(0xC9, 0xF9, 0xCC));
  EXPECT_EQ(image.At(140, y1), RGB(0xDB, 0xD9, 0xD5));
  EXPECT_EQ(image.At(200, y1), RGB(0xDB, 0xD9, 0xD5));
  // Red text in every row; the struck-out row has more red (its line).
  RECT cell2{r2.left, r2.top, r2.left + 140, r2.bottom};
  RECT cell3{r3.left, r3.top, r3.left + 140, r3.bottom};
  int plain = image.Count(RGB(255, 0, 0), cell2);
  int struck = image.Count(RGB(255, 0, 0), cell3);
  EXPECT_GT(plain, 0);
  EXPECT_GT(struck, plain);
}

TEST_F(UcListView, SelectionFocusEventsAndHitTests) {
  TUcListView* lv = NewTable(Form);
  for (int i = 0; i < 3; ++i) AddRow(lv, std::to_wstring(i).c_str(), {L"a", L"b", L"c", L"d", L"e"});
  TListEvents ev;
  lv->OnChange = MakeEvent<&TListEvents::Change>(&ev);
  lv->OnDblClick = MakeEvent<&TListEvents::DblClick>(&ev);
  lv->Items()->Item(1)->SetSelected(true);
  lv->Items()->Item(2)->SetSelected(true);
  lv->Items()->Item(2)->SetFocused(true);
  EXPECT_EQ(lv->SelCount(), 2);
  EXPECT_EQ(lv->Selected(), lv->Items()->Item(1));
  EXPECT_EQ(lv->ItemFocused(), lv->Items()->Item(2));
  EXPECT_EQ(lv->GetNextItem(lv->Items()->Item(1), sdAll, isSelected), lv->Items()->Item(2));
  ASSERT_FALSE(ev.Log.empty());
  EXPECT_EQ(ev.Log.front(), L"state:1");

  // The program's own hit test of a cell in the comment column.
  RECT r = RowRect(lv, 0);
  int x = 0;
  for (int i = 0; i < 5; ++i) x += kWidths[i];
  LVHITTESTINFO hit{};
  hit.pt = {x + 10, (r.top + r.bottom) / 2};
  SendMessageW(lv->WindowHandle(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  EXPECT_EQ(hit.iItem, 0);
  EXPECT_EQ(hit.iSubItem, 5);

  ev.Log.clear();
  PostMessageW(lv->WindowHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, (r.top + r.bottom) / 2));
  PostMessageW(lv->WindowHandle(), WM_LBUTTONUP, 0, MAKELPARAM(20, (r.top + r.bottom) / 2));
  Pump(50);
  EXPECT_NE(std::find(ev.Log.begin(), ev.Log.end(), L"dblclick"), ev.Log.end());
}

TEST_F(UcListView, ItemClassesAndCopies) {
  TUcListView* lv = NewTable(Form);
  TListEvents ev;
  lv->OnCreateItemClass = MakeEvent<&TListEvents::ItemClass>(&ev);
  try {
    lv->Items()->Add();
    FAIL() << "no exception";
  } catch (const EUcInternalError& e) {
    EXPECT_STREQ(e.what(), "Internal Error: OnCreateItemClass.ItemClass must inherit from TUcListItem.");
  }
  lv->OnCreateItemClass.Clear();
  int data = 3;
  TUcListItem* source = AddRow(lv, kMixedText, {kCjkText, L"x"});
  source->SetData(&data);
  source->SetImageIndex(2);
  TUcListItem* copy = lv->Items()->AddItem(source, 0);
  EXPECT_EQ(lv->Items()->Item(0), copy);
  EXPECT_EQ(copy->Caption().str(), kMixedText);
  EXPECT_EQ(copy->Data(), &data);
  EXPECT_EQ(copy->ImageIndex(), 2);
  EXPECT_EQ(copy->SubItems()->Get(0).str(), kCjkText);
  EXPECT_EQ(ItemText(lv, 0, 0), kMixedText);
  EXPECT_EQ(ItemText(lv, 0, 1), kCjkText);
  lv->AddItem(kCyrillicText, reinterpret_cast<TObject*>(&data));
  EXPECT_EQ(ItemText(lv, 2, 0), kCyrillicText);
  std::vector<TUcListItem*> walked;
  TUcListItemsEnumerator e = lv->Items()->GetEnumerator();
  while (e.MoveNext()) walked.push_back(e.Current());
  EXPECT_EQ(walked.size(), 3u);

  // Columns from plain columns take the ANSI captions widened.
  auto* plain = new TListView(Form);
  plain->Columns()->Add()->SetCaption(WideToAnsi(kCyrillicText));
  lv->Columns()->Items(1)->Assign(plain->Columns()->Items(0));
  EXPECT_EQ(lv->Columns()->Items(1)->Caption().str(), kCyrillicText);
  EXPECT_EQ(ColumnText(lv, 1), kCyrillicText);
  EXPECT_EQ(lv->GetColumnFromTag(1), lv->Columns()->Items(1));
  EXPECT_GT(lv->StringWidth(kMixedText), lv->StringWidth(L"a"));
}

TEST_F(UcListView, InfoTipsAreCutToTheBuffer) {
  TUcListView* lv = NewTable(Form);
  AddRow(lv, kCjkText, {});
  TListEvents ev;
  lv->SetOnInfoTipWide(MakeEvent<&TListEvents::InfoTip>(&ev));
  EXPECT_TRUE(SendMessageW(lv->WindowHandle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_INFOTIP);
  wchar_t buf[40] = {};
  NMLVGETINFOTIPW tip{};
  tip.hdr.hwndFrom = lv->WindowHandle();
  tip.hdr.code = LVN_GETINFOTIPW;
  tip.pszText = buf;
  tip.cchTextMax = 40;
  tip.iItem = 0;
  lv->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
  std::wstring expected = std::wstring(kCjkText) + std::wstring(600, L'\u0416');
  EXPECT_EQ(std::wstring(buf), expected.substr(0, 39));
}

TEST_F(UcListView, InPlaceEditingGivesTheWideText) {
  TUcListView* lv = NewTable(Form);
  lv->SetReadOnly(false);
  TUcListItem* item = AddRow(lv, L"old", {});
  TListEvents ev;
  lv->OnEdited = MakeEvent<&TListEvents::Edited>(&ev);
  ::SetFocus(lv->WindowHandle());
  HWND edit = reinterpret_cast<HWND>(SendMessageW(lv->WindowHandle(), LVM_EDITLABELW, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"");
  SendMessageW(edit, WM_CHAR, 0x65E5, 1);
  SendMessageW(edit, WM_CHAR, 0x0416, 1);
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
  Pump(20);
  EXPECT_EQ(ev.EditedTo, L"\u65E5\u0416");
  EXPECT_EQ(item->Caption().str(), L"\u65E5\u0416");
  EXPECT_EQ(ItemText(lv, 0, 0), L"\u65E5\u0416");
}

TEST_F(UcListView, OwnerDataRowsShowTheWideTextsOfOnData) {
  TUcListView* lv = NewTable(Form);
  TListEvents ev;
  lv->SetOwnerData(true);
  lv->OnData = MakeEvent<&TListEvents::Data>(&ev);
  lv->Items()->SetCount(3);
  EXPECT_EQ(ItemText(lv, 2, 0), L"\u884C2");
  EXPECT_EQ(ItemText(lv, 1, 1), kCjkText);
  EXPECT_EQ(ItemText(lv, 1, 2), L"");
  EXPECT_GT(ev.Fetches, 0);
}

TEST_F(UcListView, ActionsHintsAndCheckBoxStyles) {
  TUcListView* lv = NewTable(Form);
  auto* action = new TUcAction(Form);
  action->SetHint(kMixedText);
  lv->SetAction(action);
  EXPECT_TRUE(lv->ActionLink()->Is<TUcListViewActionLink>());
  EXPECT_EQ(lv->Hint().str(), kMixedText);
  // The attribute hint, several lines, set while the mouse moves over it.
  lv->SetHint(L"R \u2014 \u0442\u043E\u043B\u044C\u043A\u043E \u0447\u0442\u0435\u043D\u0438\u0435\nH \u2014 \u4E2D");
  THintInfo info;
  info.HintControl = lv;
  lv->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.HintData, &info);
  // Check boxes bring sub-item images and tips with them.
  lv->SetCheckboxes(true);
  DWORD ex = static_cast<DWORD>(SendMessageW(lv->WindowHandle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  EXPECT_TRUE(ex & LVS_EX_CHECKBOXES);
  EXPECT_TRUE(ex & LVS_EX_SUBITEMIMAGES);
  EXPECT_TRUE(ex & LVS_EX_INFOTIP);
}

TEST_F(UcListView, ChangesWhileThereIsNoWindowWinOverTheSavedTexts) {
  TUcListView* lv = NewTable(Form);
  TUcListItem* item = AddRow(lv, kMixedText, {kCjkText, L"b"});
  lv->DestroyHandle();  // the window goes; the wide texts are kept for the next one
  item->SetCaption(L"\u4E2D\u6587");
  item->SubItems()->Put(0, L"\u0416");
  lv->HandleNeeded();
  EXPECT_EQ(item->Caption().str(), L"\u4E2D\u6587");
  EXPECT_EQ(item->SubItems()->Get(0).str(), L"\u0416");
  EXPECT_EQ(ItemText(lv, 0, 0), L"\u4E2D\u6587");
  EXPECT_EQ(ItemText(lv, 0, 1), L"\u0416");
  EXPECT_EQ(ItemText(lv, 0, 2), L"b");
}

TEST_F(UcTreeView, MovedNodesKeepTheirWideTexts) {
  auto* tv = new TUcTreeView(Form);
  tv->SetParent(Form);
  tv->SetBounds(10, 10, 250, 250);
  TUcTreeNode* a = tv->Items()->Add(nullptr, kFolder);
  TUcTreeNode* child = tv->Items()->AddChild(a, kCjkText);
  TUcTreeNode* b = tv->Items()->Add(nullptr, kMixedText);
  tv->HandleNeeded();
  a->MoveTo(b, naAddChild);
  EXPECT_EQ(a->Parent(), b);
  EXPECT_EQ(child->Parent(), a);
  struct Case {
    TUcTreeNode* node;
    const wchar_t* text;
  } cases[] = {{a, kFolder}, {child, kCjkText}, {b, kMixedText}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.node->Text().str(), c.text);
    EXPECT_EQ(NativeText(c.node), c.text);
  }
  EXPECT_EQ(tv->Items()->GetFirstNode(), b);
}
