// Tree view, list view, status bar and progress bar on a real form: state read
// back from the native controls (texts through their display-info requests),
// objects surviving the re-creation of the window, copies between trees,
// sorting through the window, custom-draw colours on a capture, events in
// their order, and exceptions of handlers reaching the application.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "comctrls.h"
#include "extctrls.h"
#include "forms.h"
#include "guitest.h"
#include "harness.h"
#include "layout.h"
#include <richedit.h>  // the library's

// Readable failure messages for the strings.
inline void PrintTo(const AnsiString& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }

namespace {

// Texts in the ANSI code page (the sources are UTF-8).
AnsiString Ru(const wchar_t* s) { return WideToAnsi(WideString(s)); }

std::string TreeText(HWND tree, HTREEITEM item) {
  char buf[260] = {};
  TVITEMA it{};
  it.mask = TVIF_TEXT | TVIF_HANDLE;
  it.hItem = item;
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return it.pszText ? std::string(it.pszText) : std::string();
}

TVITEMA TreeImages(HWND tree, HTREEITEM item) {
  TVITEMA it{};
  it.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
  it.hItem = item;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return it;
}

HTREEITEM TreeNext(HWND tree, UINT code, HTREEITEM item = nullptr) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}

// The native tree as indented text lines ("a", " b", ...) read from the window.
void NativeOutline(HWND tree, HTREEITEM first, int level, std::vector<std::string>& out) {
  for (HTREEITEM h = first; h; h = TreeNext(tree, TVGN_NEXT, h)) {
    out.push_back(std::string(level, ' ') + TreeText(tree, h));
    NativeOutline(tree, TreeNext(tree, TVGN_CHILD, h), level + 1, out);
  }
}

std::vector<std::string> NativeOutline(HWND tree) {
  std::vector<std::string> out;
  NativeOutline(tree, TreeNext(tree, TVGN_ROOT), 0, out);
  return out;
}

// The same outline from the node objects.
std::vector<std::string> ObjectOutline(TTreeNodes* nodes) {
  std::vector<std::string> out;
  for (TTreeNode* n = nodes->GetFirstNode(); n; n = n->GetNext())
    out.push_back(std::string(n->Level(), ' ') + n->Text().c_str());
  return out;
}

std::string ListText(HWND list, int item, int sub) {
  char buf[260] = {};
  LVITEMA it{};
  it.iSubItem = sub;
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&it));
  return buf;
}

std::string ColumnText(HWND list, int col, int* width = nullptr, int* fmt = nullptr) {
  char buf[260] = {};
  LVCOLUMNA c{};
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  c.pszText = buf;
  c.cchTextMax = sizeof buf;
  SendMessageA(list, LVM_GETCOLUMNA, col, reinterpret_cast<LPARAM>(&c));
  if (width) *width = c.cx;
  if (fmt) *fmt = c.fmt & LVCFMT_JUSTIFYMASK;
  return buf;
}

int ListImage(HWND list, int item) {
  LVITEMA it{};
  it.mask = LVIF_IMAGE;
  it.iItem = item;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return it.iImage;
}

struct TEvents {
  std::vector<std::string> Log;
  void TreeChanging(TObject*, TTreeNode* n, bool&) { Log.push_back("changing:" + Name(n)); }
  void TreeChange(TObject*, TTreeNode* n) { Log.push_back("change:" + Name(n)); }
  void Expanding(TObject*, TTreeNode* n, bool& allow) {
    Log.push_back("expanding:" + Name(n));
    allow = n->Text() != "locked";
  }
  void TreeExpanded(TObject*, TTreeNode* n) { Log.push_back("expanded:" + Name(n)); }
  void Collapsing(TObject*, TTreeNode* n, bool&) { Log.push_back("collapsing:" + Name(n)); }
  void TreeCollapsed(TObject*, TTreeNode* n) { Log.push_back("collapsed:" + Name(n)); }
  void TreeDeletion(TObject*, TTreeNode* n) { Log.push_back("deleted:" + Name(n)); }
  void Click(TObject*) { Log.push_back("click"); }
  void DblClick(TObject*) { Log.push_back("dblclick"); }
  void MouseDown(TObject*, TMouseButton, TShiftState, int, int) { Log.push_back("down"); }
  void MouseUp(TObject* sender, TMouseButton, TShiftState, int x, int y) {
    std::string at;
    if (auto* tv = dynamic_cast<TCustomTreeView*>(sender)) at = Name(tv->GetNodeAt(x, y));
    if (auto* lv = dynamic_cast<TCustomListView*>(sender)) {
      TListItem* item = lv->GetItemAt(x, y);
      at = item ? item->Caption().c_str() : "-";
    }
    Log.push_back("up:" + at);
  }
  void ListChanging(TObject*, TListItem* item, TItemChange c, bool&) {
    if (c == ctState) Log.push_back(std::string("changing:") + item->Caption().c_str());
  }
  void ListChange(TObject*, TListItem* item, TItemChange c) {
    if (c == ctState) Log.push_back(std::string("change:") + item->Caption().c_str());
  }
  void ListDeletion(TObject*, TListItem* item) { Log.push_back(std::string("deleted:") + item->Caption().c_str()); }
  void ListInsert(TObject*, TListItem*) { Log.push_back("insert"); }
  void Throw(TObject*, TTreeNode*) { throw Exception("handler failed"); }
  static std::string Name(TTreeNode* n) { return n ? n->Text().c_str() : "-"; }
};

// One form for the whole suite: under Xvfb without a window manager, hiding
// or destroying a shown top-level window waits for the X server for seconds.
class ComCtrls : public SharedFormTest<ComCtrls> {
protected:
  static void SetUpTestSuite() { SetUpSharedForm(20, 20, 520, 400); }

  template <class T> T* Make(int x, int y, int w, int h) {
    auto* c = new T(Form);
    c->SetParent(Form);
    c->SetBounds(x, y, w, h);
    return c;
  }

  // A three-level tree: root (2 folders with children) and a second root.
  static void Fill(TTreeNodes* items) {
    TTreeNode* root = items->AddObject(nullptr, Ru(L"Диск C:"), reinterpret_cast<void*>(1));
    TTreeNode* docs = items->AddChildObject(root, Ru(L"Документы"), reinterpret_cast<void*>(2));
    items->AddChildObject(docs, Ru(L"Отчёт"), reinterpret_cast<void*>(3));
    items->AddChildObject(docs, Ru(L"Письма"), reinterpret_cast<void*>(4));
    items->AddChildObject(root, Ru(L"Фото"), reinterpret_cast<void*>(5));
    items->AddObject(root, Ru(L"Диск D:"), reinterpret_cast<void*>(6));
  }
};


}  // namespace

// ---------------------------------------------------------------------------
// Tree view

TEST_F(ComCtrls, TreeNodesAreReadBackThroughTheDisplayInfoPath) {
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  TTreeNodes* items = tv->Items();
  Fill(items);
  HWND h = tv->Handle();
  EXPECT_EQ(SendMessageA(h, TVM_GETCOUNT, 0, 0), 6);
  EXPECT_EQ(items->Count(), 6);
  std::vector<std::string> expected = {Ru(L"Диск C:").c_str(), std::string(" ") + Ru(L"Документы").c_str(),
                                       std::string("  ") + Ru(L"Отчёт").c_str(),
                                       std::string("  ") + Ru(L"Письма").c_str(),
                                       std::string(" ") + Ru(L"Фото").c_str(), Ru(L"Диск D:").c_str()};
  EXPECT_EQ(NativeOutline(h), expected);
  EXPECT_EQ(ObjectOutline(items), expected);

  // Absolute indexes are pre-order, in both directions from the cached one.
  for (int i : {0, 5, 2, 3, 1, 4}) EXPECT_EQ(items->Item(i)->AbsoluteIndex(), i);
  TTreeNode* letters = items->Item(3);
  EXPECT_EQ(letters->Level(), 2);
  EXPECT_EQ(letters->Index(), 1);
  EXPECT_EQ(letters->Parent()->Count(), 2);
  EXPECT_EQ(reinterpret_cast<intptr_t>(letters->Data()), 4);
  EXPECT_EQ(letters->GetPrev(), items->Item(2));
  EXPECT_EQ(items->Item(4)->GetPrev(), letters);
  EXPECT_EQ(items->Item(5)->GetPrev(), items->Item(4));
  EXPECT_EQ(items->GetNode(letters->ItemId()), letters);
  EXPECT_EQ(letters->getPrevSibling()->getNextSibling(), letters);
  EXPECT_THROW(items->Item(6), EListError);
  EXPECT_THROW(letters->Item(0), EListError);

  // Images are asked for too: the event may change them before they are used.
  struct TImages {
    void Get(TObject*, TTreeNode* n) { n->SetImageIndex(n->Level() + 10); }
  } images;
  tv->OnGetImageIndex = MakeEvent<&TImages::Get>(&images);
  letters->SetSelectedIndex(7);
  TVITEMA it = TreeImages(h, letters->ItemId());
  EXPECT_EQ(it.iImage, 12);
  EXPECT_EQ(it.iSelectedImage, 7);

  // A text change is seen at once.
  letters->SetText(Ru(L"Счета"));
  EXPECT_EQ(TreeText(h, letters->ItemId()), Ru(L"Счета").c_str());
}

TEST_F(ComCtrls, TreeNodesSurviveTheRecreationOfTheWindow) {
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  TTreeNodes* items = tv->Items();
  Fill(items);
  TTreeNode* docs = items->Item(1);
  TTreeNode* photo = items->Item(4);
  items->Item(0)->Expand(false);
  docs->Expand(false);
  photo->SetImageIndex(3);
  photo->SetSelectedIndex(4);
  photo->SetCut(true);
  tv->SetSelected(photo);
  TEvents ev;
  tv->OnChange = MakeEvent<&TEvents::TreeChange>(&ev);
  tv->OnExpanded = MakeEvent<&TEvents::TreeExpanded>(&ev);
  std::vector<std::string> before = NativeOutline(tv->Handle());
  HWND old = tv->Handle();

  tv->SetShowLines(false);  // a style change makes a new window
  HWND h = tv->Handle();
  EXPECT_NE(h, old);
  EXPECT_FALSE(IsWindow(old));
  EXPECT_EQ(NativeOutline(h), before);
  EXPECT_EQ(items->Item(1), docs);  // the same objects
  EXPECT_TRUE(items->Item(0)->Expanded());
  EXPECT_TRUE(docs->Expanded());
  EXPECT_FALSE(items->Item(5)->Expanded());
  EXPECT_EQ(SendMessageA(h, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(docs->ItemId()), TVIS_EXPANDED) &
                TVIS_EXPANDED,
            TVIS_EXPANDED);
  EXPECT_EQ(tv->Selected(), photo);
  EXPECT_EQ(TreeNext(h, TVGN_CARET), photo->ItemId());
  EXPECT_TRUE(photo->Cut());
  TVITEMA it = TreeImages(h, photo->ItemId());
  EXPECT_EQ(it.iImage, 3);
  EXPECT_EQ(it.iSelectedImage, 4);
  EXPECT_FALSE(GetWindowLongA(h, GWL_STYLE) & TVS_HASLINES);
  // Putting the nodes back is not a change the program made.
  EXPECT_TRUE(ev.Log.empty());
}

TEST_F(ComCtrls, TreeItemsAssignCopiesBetweenTrees) {
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  Fill(tv->Items());
  tv->Items()->Item(3)->SetImageIndex(5);
  tv->Items()->Item(3)->SetSelectedIndex(6);
  tv->Items()->Item(3)->SetStateIndex(1);
  tv->Items()->Item(4)->SetHasChildren(true);
  // The hidden, disabled scratch tree of the main window.
  auto* scratch = new TTreeView(Form);
  scratch->SetEnabled(false);
  scratch->SetVisible(false);
  scratch->SetParent(Form);
  scratch->Items()->Assign(tv->Items());
  EXPECT_EQ(ObjectOutline(scratch->Items()), ObjectOutline(tv->Items()));
  EXPECT_EQ(NativeOutline(scratch->Handle()), NativeOutline(tv->Handle()));
  TTreeNode* copy = scratch->Items()->Item(3);
  EXPECT_NE(copy, tv->Items()->Item(3));
  EXPECT_EQ(reinterpret_cast<intptr_t>(copy->Data()), 4);
  EXPECT_EQ(copy->ImageIndex(), 5);
  EXPECT_EQ(copy->SelectedIndex(), 6);
  EXPECT_EQ(copy->StateIndex(), 1);
  EXPECT_TRUE(scratch->Items()->Item(4)->HasChildren());
  EXPECT_EQ(scratch->Items()->Item(4)->Count(), 0);

  // And back, into the emptied tree.
  tv->Items()->Clear();
  EXPECT_EQ(SendMessageA(tv->Handle(), TVM_GETCOUNT, 0, 0), 0);
  tv->Items()->Assign(scratch->Items());
  EXPECT_EQ(ObjectOutline(tv->Items()), ObjectOutline(scratch->Items()));
  EXPECT_EQ(NativeOutline(tv->Handle()), ObjectOutline(scratch->Items()));
  EXPECT_EQ(reinterpret_cast<intptr_t>(tv->Items()->Item(5)->Data()), 6);

  // A tree without a window keeps its nodes as objects until it gets one.
  auto* loose = new TTreeView(Form);
  loose->Items()->Assign(scratch->Items());
  EXPECT_FALSE(loose->HandleAllocated());
  EXPECT_EQ(ObjectOutline(loose->Items()), ObjectOutline(scratch->Items()));
  loose->Items()->Item(1)->Expand(false);
  loose->SetSelected(loose->Items()->Item(2));
  loose->SetParent(Form);
  loose->SetBounds(220, 10, 150, 150);
  EXPECT_EQ(NativeOutline(loose->Handle()), ObjectOutline(scratch->Items()));
  EXPECT_TRUE(loose->Items()->Item(1)->Expanded());
  EXPECT_EQ(loose->Selected(), loose->Items()->Item(2));

  EXPECT_THROW(tv->Items()->Assign(Form->Font()), EConvertError);

  // On a panel that is on no form yet: nodes without a window, no error.
  auto* panel = new TPanel(Form);
  auto* onPanel = new TTreeView(Form);
  onPanel->SetParent(panel);
  onPanel->Items()->Assign(scratch->Items());
  EXPECT_FALSE(onPanel->HandleAllocated());
  panel->SetParent(Form);
  EXPECT_EQ(NativeOutline(onPanel->Handle()), ObjectOutline(scratch->Items()));
}

TEST_F(ComCtrls, TreeNodeDeletionIsReportedOnceAndMovesTheSelection) {
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  Fill(tv->Items());
  TEvents ev;
  tv->OnDeletion = MakeEvent<&TEvents::TreeDeletion>(&ev);
  tv->OnChange = MakeEvent<&TEvents::TreeChange>(&ev);
  TTreeNodes* items = tv->Items();
  items->Item(0)->Expand(true);
  tv->SetSelected(items->Item(2));  // "Отчёт" under "Документы"
  ev.Log.clear();
  items->Item(1)->Delete();         // "Документы" with its two children
  std::vector<std::string> expected = {std::string("deleted:") + Ru(L"Отчёт").c_str(),
                                       std::string("deleted:") + Ru(L"Письма").c_str(),
                                       std::string("deleted:") + Ru(L"Документы").c_str(),
                                       std::string("change:") + Ru(L"Фото").c_str()};
  ASSERT_GE(ev.Log.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(ev.Log.begin(), ev.Log.begin() + 3),
            std::vector<std::string>(expected.begin(), expected.begin() + 3));
  EXPECT_EQ(ev.Log.back(), expected[3]);
  EXPECT_EQ(tv->Selected()->Text(), Ru(L"Фото"));
  EXPECT_EQ(items->Count(), 3);
  EXPECT_EQ(SendMessageA(tv->Handle(), TVM_GETCOUNT, 0, 0), 3);

  // Deleting the object itself takes it out of the tree as well.
  ev.Log.clear();
  delete items->Item(1);
  EXPECT_EQ(ev.Log.size(), 2u);  // deleted:Фото, then the selection moved
  EXPECT_EQ(items->Count(), 2);
  EXPECT_EQ(SendMessageA(tv->Handle(), TVM_GETCOUNT, 0, 0), 2);

  // An item removed from the window directly takes its node along.
  ev.Log.clear();
  HTREEITEM d = items->Item(1)->ItemId();
  SendMessageA(tv->Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(d));
  EXPECT_EQ(ev.Log, std::vector<std::string>{std::string("deleted:") + Ru(L"Диск D:").c_str()});
  EXPECT_EQ(items->Count(), 1);
  EXPECT_EQ(ObjectOutline(items), std::vector<std::string>{Ru(L"Диск C:").c_str()});

  ev.Log.clear();
  items->Clear();
  EXPECT_EQ(ev.Log, std::vector<std::string>{std::string("deleted:") + Ru(L"Диск C:").c_str()});
  EXPECT_EQ(items->Count(), 0);
  EXPECT_EQ(items->GetFirstNode(), nullptr);
  EXPECT_EQ(SendMessageA(tv->Handle(), TVM_GETCOUNT, 0, 0), 0);
}

namespace {
// A view that records the sort messages reaching its window procedure and,
// while probing, keeps them from the control (as the Unicode layer does).
class TProbeTreeView : public TTreeView {
public:
  using TTreeView::TTreeView;
  PFNTVCOMPARE Seen = nullptr;
  bool Swallow = false;
  void WndProc(TMessage& m) override {
    if (m.Msg == TVM_SORTCHILDRENCB) {
      Seen = reinterpret_cast<TVSORTCB*>(m.LParam)->lpfnCompare;
      if (Swallow) return;
    }
    TTreeView::WndProc(m);
  }
};
}  // namespace

TEST_F(ComCtrls, TreeSortingGoesThroughTheWindowWithTheLibraryCallback) {
  auto* tv = Make<TProbeTreeView>(10, 10, 200, 200);
  TTreeNodes* items = tv->Items();
  const wchar_t* names[] = {L"Яблоко", L"арбуз", L"Банан", L"вишня", L"Абрикос"};
  for (const wchar_t* n : names) items->Add(nullptr, Ru(n));
  items->AddChild(items->Item(0), "b");
  items->AddChild(items->Item(0), "a");

  tv->Swallow = true;  // a probe sees the callback but nothing is sorted
  EXPECT_FALSE(tv->AlphaSort(true));
  EXPECT_EQ(tv->Seen, &TCustomTreeView::DefaultTreeViewSort);
  EXPECT_EQ(items->GetFirstNode()->Text(), Ru(L"Яблоко"));

  tv->Swallow = false;
  tv->AlphaSort(true);
  // The expected order comes from the system's own comparison.
  std::vector<AnsiString> sorted;
  for (const wchar_t* n : names) sorted.push_back(Ru(n));
  std::sort(sorted.begin(), sorted.end(),
            [](const AnsiString& a, const AnsiString& b) { return lstrcmpA(a.c_str(), b.c_str()) < 0; });
  std::vector<std::string> expected;
  for (const AnsiString& s : sorted) {
    expected.push_back(s.c_str());
    if (s == Ru(L"Яблоко")) {
      expected.push_back(" a");
      expected.push_back(" b");
    }
  }
  EXPECT_EQ(NativeOutline(tv->Handle()), expected);
  EXPECT_EQ(ObjectOutline(items), expected);

  // OnCompare decides when set: here by length, then reversed text.
  struct TByLength {
    void Compare(TObject*, TTreeNode* a, TTreeNode* b, int, int& r) {
      r = a->Text().Length() != b->Text().Length() ? a->Text().Length() - b->Text().Length()
                                                   : -lstrcmpA(a->Text().c_str(), b->Text().c_str());
    }
  } byLength;
  tv->OnCompare = MakeEvent<&TByLength::Compare>(&byLength);
  tv->AlphaSort(false);
  std::vector<std::string> top;
  for (TTreeNode* n = items->GetFirstNode(); n; n = n->getNextSibling()) top.push_back(n->Text().c_str());
  EXPECT_EQ(top.front(), Ru(L"вишня").c_str());  // 5 letters, after "Банан" reversed
  EXPECT_EQ(top.back(), Ru(L"Абрикос").c_str());
  EXPECT_EQ(NativeOutline(tv->Handle())[0], top.front());

  // A sorting tree places new nodes in order.
  tv->OnCompare = nullptr;
  tv->SetSortType(stText);
  items->Add(nullptr, Ru(L"Груша"));
  std::vector<std::string> outline = NativeOutline(tv->Handle());
  EXPECT_EQ(outline, ObjectOutline(items));
  auto pos = std::find(outline.begin(), outline.end(), std::string(Ru(L"Груша").c_str()));
  ASSERT_NE(pos, outline.end());
  EXPECT_EQ(*(pos - 1), Ru(L"вишня").c_str());
}

TEST_F(ComCtrls, TreeClickReportsSelectionClickAndMouseUpInOrder) {
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  Fill(tv->Items());
  TEvents ev;
  tv->OnChanging = MakeEvent<&TEvents::TreeChanging>(&ev);
  tv->OnChange = MakeEvent<&TEvents::TreeChange>(&ev);
  tv->OnClick = MakeEvent<&TEvents::Click>(&ev);
  tv->OnMouseDown = MakeEvent<&TEvents::MouseDown>(&ev);
  tv->OnMouseUp = MakeEvent<&TEvents::MouseUp>(&ev);
  TTreeNode* second = tv->Items()->Item(5);  // "Диск D:", the second line while collapsed
  TRect r = second->DisplayRect(true);
  PostClick(tv->Handle(), r.left + 3, (r.top + r.bottom) / 2);
  Pump(100);
  std::string name = Ru(L"Диск D:").c_str();
  std::vector<std::string> expected = {"changing:" + name, "change:" + name, "down", "click", "up:" + name};
  EXPECT_EQ(ev.Log, expected);
  EXPECT_EQ(tv->Selected(), second);
}

TEST_F(ComCtrls, TreeExpansionEventsAndVeto) {
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  Fill(tv->Items());
  TTreeNode* locked = tv->Items()->AddChild(tv->Items()->Item(5), "locked");
  tv->Items()->AddChild(locked, "inner");
  TEvents ev;
  tv->OnExpanding = MakeEvent<&TEvents::Expanding>(&ev);
  tv->OnExpanded = MakeEvent<&TEvents::TreeExpanded>(&ev);
  tv->OnCollapsing = MakeEvent<&TEvents::Collapsing>(&ev);
  tv->OnCollapsed = MakeEvent<&TEvents::TreeCollapsed>(&ev);
  TTreeNode* root = tv->Items()->Item(0);
  root->Expand(false);
  root->Expand(false);  // already expanded: nothing
  std::string name = Ru(L"Диск C:").c_str();
  EXPECT_EQ(ev.Log, (std::vector<std::string>{"expanding:" + name, "expanded:" + name}));
  locked->Expand(false);
  EXPECT_FALSE(locked->Expanded());
  ev.Log.clear();
  root->Collapse(false);
  EXPECT_EQ(ev.Log, (std::vector<std::string>{"collapsing:" + name, "collapsed:" + name}));
  EXPECT_FALSE(root->Expanded());
  // Expanding at the button: the control asks and reports through the view.
  ev.Log.clear();
  SendMessageA(tv->Handle(), WM_KEYDOWN, VK_RIGHT, 0);  // on no selection: nothing
  tv->SetSelected(root);
  ev.Log.clear();
  SendMessageA(tv->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(ev.Log, (std::vector<std::string>{"expanding:" + name, "expanded:" + name}));
  EXPECT_TRUE(root->Expanded());
  tv->FullExpand();
  EXPECT_FALSE(locked->Expanded());
  EXPECT_TRUE(tv->Items()->Item(1)->Expanded());
  tv->FullCollapse();
  EXPECT_FALSE(root->Expanded());
}

TEST_F(ComCtrls, TreeDataStreamHasItsByteLayoutAndReadsBack) {
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  TTreeNodes* items = tv->Items();
  TTreeNode* a = items->AddObject(nullptr, "A", reinterpret_cast<void*>(0x1234));
  items->AddChild(a, "bc")->SetImageIndex(2);
  a->SetStateIndex(1);
  TMemoryStream ms;
  items->WriteData(&ms);
  // Expected bytes, written out by hand.
  auto le32 = [](std::string& s, int32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  std::string want;
  le32(want, 1);  // top-level nodes
  le32(want, 26);
  le32(want, 0);
  le32(want, 0);
  le32(want, 1);
  le32(want, -1);
  le32(want, 0x1234);
  le32(want, 1);
  want += '\x01';
  want += 'A';
  le32(want, 27);
  le32(want, 2);
  le32(want, 0);
  le32(want, -1);
  le32(want, -1);
  le32(want, 0);
  le32(want, 0);
  want += '\x02';
  want += "bc";
  ASSERT_EQ(ms.Size(), static_cast<int64_t>(want.size()));
  EXPECT_EQ(std::string(static_cast<const char*>(ms.Memory()), want.size()), want);

  auto* other = Make<TTreeView>(220, 10, 150, 150);
  struct TAdded {
    int Count = 0;
    void On(TObject*, TTreeNode*) { ++Count; }
  } added;
  other->OnAddition = MakeEvent<&TAdded::On>(&added);
  ms.SetPosition(0);
  other->Items()->ReadData(&ms);
  EXPECT_EQ(added.Count, 2);
  EXPECT_EQ(ObjectOutline(other->Items()), (std::vector<std::string>{"A", " bc"}));
  EXPECT_EQ(NativeOutline(other->Handle()), (std::vector<std::string>{"A", " bc"}));
  EXPECT_EQ(other->Items()->Item(0)->Data(), reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(other->Items()->Item(1)->ImageIndex(), 2);

  // A record whose size and text length disagree, and a cut stream.
  std::string bad = want;
  bad[4] = 30;
  TMemoryStream badStream;
  badStream.WriteBuffer(bad.data(), static_cast<int32_t>(bad.size()));
  badStream.SetPosition(0);
  EXPECT_THROW(other->Items()->ReadData(&badStream), EReadError);
  TMemoryStream cut;
  cut.WriteBuffer(want.data(), 20);
  cut.SetPosition(0);
  EXPECT_THROW(other->Items()->ReadData(&cut), EReadError);
  EXPECT_EQ(other->Items()->Reading(), false);
  // Negative counts, of the top-level records and of a record's children.
  for (size_t at : {size_t{0}, size_t{4 + 4 + 20}}) {
    std::string negative = want;
    negative.replace(at, 4, "\xFF\xFF\xFF\xFF");
    TMemoryStream stream;
    stream.WriteBuffer(negative.data(), static_cast<int32_t>(negative.size()));
    stream.SetPosition(0);
    EXPECT_THROW(other->Items()->ReadData(&stream), EReadError) << at;
    EXPECT_EQ(other->Items()->Count(), 0) << at;  // a bad record adds no node
  }

  // A text longer than a record holds is cut to 255 bytes.
  items->Clear();
  items->Add(nullptr, AnsiString(std::string(300, 'x')));
  TMemoryStream longStream;
  items->WriteData(&longStream);
  EXPECT_EQ(longStream.Size(), 4 + 4 + 25 + 255);
}

TEST_F(ComCtrls, TreeHandlerExceptionsReachTheApplication) {
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  Fill(tv->Items());
  TEvents ev;
  tv->OnChange = MakeEvent<&TEvents::Throw>(&ev);
  tv->SetSelected(tv->Items()->Item(1));
  EXPECT_EQ(TakeExceptions(), std::vector<std::string>{"handler failed"});
  EXPECT_EQ(tv->Selected(), tv->Items()->Item(1));
  tv->OnChange = nullptr;
  // In the sort callback too: each failed comparison ends only itself.
  struct TBadCompare {
    void Compare(TObject*, TTreeNode*, TTreeNode*, int, int&) { throw Exception("compare failed"); }
  } bad;
  tv->OnCompare = MakeEvent<&TBadCompare::Compare>(&bad);
  tv->AlphaSort(false);
  std::vector<std::string> seen = TakeExceptions();
  EXPECT_FALSE(seen.empty());
  for (const std::string& m : seen) EXPECT_EQ(m, "compare failed");
  EXPECT_EQ(tv->Items()->Count(), 6);
}

TEST_F(ComCtrls, TreeAndListViewsLeaveNoWindowsOrGdiObjectsBehind) {
  // Warm up caches (fonts, classes) once.
  delete Make<TListView>(10, 10, 100, 100);
  delete Make<TTreeView>(10, 10, 100, 100);
  int windows = ThreadWindowCount();
  DWORD gdi = GuiObjects(GR_GDIOBJECTS), user = GuiObjects(GR_USEROBJECTS);
  for (int i = 0; i < 10; ++i) {
    auto* tv = Make<TTreeView>(10, 10, 100, 100);
    Fill(tv->Items());
    tv->RecreateWnd();
    auto* lv = Make<TListView>(120, 10, 100, 100);
    lv->SetViewStyle(vsReport);
    lv->Columns()->Add()->SetCaption("c");
    lv->Items()->Add()->SetCaption("x");
    lv->Handle();
    delete tv;
    delete lv;
  }
  EXPECT_EQ(ThreadWindowCount(), windows);
  // (Wine reports 0 for both counts; Windows counts.)
  EXPECT_LE(GuiObjects(GR_GDIOBJECTS), gdi);
  EXPECT_LE(GuiObjects(GR_USEROBJECTS), user);
}

// ---------------------------------------------------------------------------
// List view

namespace {
// The report view of the main window: six columns, rows with sub-items.
TListView* MakeTable(TForm* form) {
  auto* lv = new TListView(form);
  lv->SetParent(form);
  lv->SetBounds(10, 10, 480, 300);
  lv->SetViewStyle(vsReport);
  lv->SetRowSelect(true);
  lv->SetReadOnly(true);
  lv->SetHideSelection(false);
  struct TCol {
    const wchar_t* Caption;
    int Width;
    TAlignment Align;
  } cols[] = {{L"Имя файла", 150, taLeftJustify}, {L"Размер, Кбайт", 87, taRightJustify},
              {L"Создан", 121, taCenter},      {L"Изменён", 120, taCenter},
              {L"Атрибуты", 70, taCenter},     {L"Комментарии", 139, taCenter}};
  for (const TCol& c : cols) {
    TListColumn* col = lv->Columns()->Add();
    col->SetCaption(Ru(c.Caption));
    col->SetWidth(c.Width);
    col->SetAlignment(c.Align);
  }
  return lv;
}

void AddRow(TListView* lv, const wchar_t* name, const char* size, int image = 0) {
  TListItem* item = lv->Items()->Add();
  item->SetCaption(Ru(name));
  item->SetImageIndex(image);
  item->SubItems()->Add(size);
  item->SubItems()->Add("01.02.2003 10:11:12");
  item->SubItems()->Add("04.05.2006 13:14:15");
  item->SubItems()->Add("A");
  item->SubItems()->Add("----");
}
}  // namespace

TEST_F(ComCtrls, ListColumnsItemsAndSubItemsAreReadBackFromTheControl) {
  TListView* lv = MakeTable(Form);
  AddRow(lv, L"..", "", -1);
  AddRow(lv, L"Документы", "----", 1);
  AddRow(lv, L"отчёт.doc", "12", 2);
  HWND h = lv->Handle();
  int width = 0, fmt = 0;
  EXPECT_EQ(ColumnText(h, 0, &width, &fmt), Ru(L"Имя файла").c_str());
  EXPECT_EQ(width, 150);
  EXPECT_EQ(fmt, LVCFMT_LEFT);
  EXPECT_EQ(ColumnText(h, 1, &width, &fmt), Ru(L"Размер, Кбайт").c_str());
  EXPECT_EQ(width, 87);
  EXPECT_EQ(fmt, LVCFMT_RIGHT);
  EXPECT_EQ(ColumnText(h, 5, &width, &fmt), Ru(L"Комментарии").c_str());
  EXPECT_EQ(fmt, LVCFMT_CENTER);
  EXPECT_EQ(lv->Column(5)->OrderTag(), 5);

  EXPECT_EQ(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(ListText(h, 0, 0), "..");
  EXPECT_EQ(ListText(h, 2, 0), Ru(L"отчёт.doc").c_str());
  EXPECT_EQ(ListText(h, 2, 1), "12");
  EXPECT_EQ(ListText(h, 2, 4), "A");
  EXPECT_EQ(ListText(h, 2, 5), "----");
  EXPECT_EQ(ListImage(h, 0), -1);
  EXPECT_EQ(ListImage(h, 2), 2);

  // Sub-item changes show at once: put, insert in the middle, delete, clear.
  TStrings* sub = lv->Items()->Item(2)->SubItems();
  sub->Put(4, Ru(L"важный"));
  EXPECT_EQ(ListText(h, 2, 5), Ru(L"важный").c_str());
  sub->Insert(0, "x");
  EXPECT_EQ(ListText(h, 2, 1), "x");
  EXPECT_EQ(ListText(h, 2, 2), "12");
  sub->Delete(0);
  EXPECT_EQ(ListText(h, 2, 1), "12");
  sub->Clear();
  EXPECT_EQ(ListText(h, 2, 1), "");
  EXPECT_EQ(ListText(h, 2, 0), Ru(L"отчёт.doc").c_str());
  lv->Items()->Item(2)->SetCaption("new");
  EXPECT_EQ(ListText(h, 2, 0), "new");

  // A column caption and width change.
  lv->Column(1)->SetCaption("KB");
  lv->Column(1)->SetWidth(60);
  EXPECT_EQ(ColumnText(h, 1, &width), "KB");
  EXPECT_EQ(width, 60);
  SendMessageA(h, LVM_SETCOLUMNWIDTH, 2, 99);  // the user drags a divider
  EXPECT_EQ(lv->Column(2)->Width(), 99);
  // Removing a column renumbers the ones after it.
  lv->Columns()->Delete(0);
  EXPECT_EQ(lv->Column(0)->OrderTag(), 0);
  EXPECT_EQ(ColumnText(h, 0), "KB");
  EXPECT_EQ(lv->Column(4)->OrderTag(), 4);
}

TEST_F(ComCtrls, ListItemsSurviveTheRecreationOfTheWindow) {
  TListView* lv = MakeTable(Form);
  lv->SetMultiSelect(true);
  for (int i = 0; i < 5; ++i) AddRow(lv, i % 2 ? L"Файл" : L"Папка", std::to_string(i).c_str(), i);
  lv->Items()->Item(1)->SetSelected(true);
  lv->Items()->Item(3)->SetSelected(true);
  lv->Items()->Item(3)->SetFocused(true);
  SendMessageA(lv->Handle(), LVM_SETCOLUMNWIDTH, 1, 77);
  TEvents ev;
  lv->OnChange = MakeEvent<&TEvents::ListChange>(&ev);
  lv->OnDeletion = MakeEvent<&TEvents::ListDeletion>(&ev);
  TListItem* kept = lv->Items()->Item(4);
  HWND old = lv->Handle();

  lv->SetViewStyle(vsList);
  lv->SetViewStyle(vsReport);
  HWND h = lv->Handle();
  EXPECT_NE(h, old);
  EXPECT_EQ(lv->Items()->Item(4), kept);
  EXPECT_EQ(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(ListText(h, i, 0), Ru(i % 2 ? L"Файл" : L"Папка").c_str());
    EXPECT_EQ(ListText(h, i, 1), std::to_string(i));
    EXPECT_EQ(ListImage(h, i), i);
  }
  EXPECT_EQ(SendMessageA(h, LVM_GETITEMSTATE, 1, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(SendMessageA(h, LVM_GETITEMSTATE, 2, LVIS_SELECTED), 0);
  EXPECT_EQ(SendMessageA(h, LVM_GETITEMSTATE, 3, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_EQ(lv->SelCount(), 2);
  EXPECT_EQ(lv->ItemFocused(), lv->Items()->Item(3));
  EXPECT_EQ(lv->Column(1)->Width(), 77);
  EXPECT_EQ(ColumnText(h, 0), Ru(L"Имя файла").c_str());
  EXPECT_TRUE(ev.Log.empty());  // the window's going and coming is no change

  // Check boxes come with a new window and keep their marks across the next.
  lv->SetCheckboxes(true);
  lv->Items()->Item(2)->SetChecked(true);
  EXPECT_TRUE(lv->Items()->Item(2)->Checked());
  lv->SetGridLines(true);
  lv->RecreateWnd();
  EXPECT_TRUE(lv->Items()->Item(2)->Checked());
  EXPECT_FALSE(lv->Items()->Item(1)->Checked());
  EXPECT_EQ(SendMessageA(lv->Handle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) &
                (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES),
            LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
}

TEST_F(ComCtrls, ListFindCaptionHonoursStartInclusiveAndWrap) {
  TListView* lv = MakeTable(Form);
  AddRow(lv, L"abc", "1");
  AddRow(lv, L"Привет", "2");
  AddRow(lv, L"ab", "3");
  AddRow(lv, L"ПРИВЕТ мир", "4");
  TListItems* items = lv->Items();
  EXPECT_EQ(lv->FindCaption(0, "ab", true, true, false), items->Item(0));
  EXPECT_EQ(lv->FindCaption(0, "ab", true, false, false), items->Item(2));
  EXPECT_EQ(lv->FindCaption(0, "ab", false, true, false), items->Item(2));  // whole caption
  EXPECT_EQ(lv->FindCaption(2, "abc", false, false, false), nullptr);
  EXPECT_EQ(lv->FindCaption(2, "abc", false, false, true), items->Item(0));  // wraps
  // The control compares ignoring case, Cyrillic too.
  EXPECT_EQ(lv->FindCaption(0, Ru(L"привет"), false, true, false), items->Item(1));
  EXPECT_EQ(lv->FindCaption(1, Ru(L"привет"), true, false, false), items->Item(3));
  EXPECT_EQ(lv->FindCaption(0, "zzz", true, true, true), nullptr);
  items->Item(2)->SetData(reinterpret_cast<void*>(42));
  EXPECT_EQ(lv->FindData(0, reinterpret_cast<void*>(42), true, false), items->Item(2));
  EXPECT_EQ(lv->FindData(2, reinterpret_cast<void*>(42), false, true), items->Item(2));
  EXPECT_EQ(lv->FindData(2, reinterpret_cast<void*>(42), false, false), nullptr);
}

TEST_F(ComCtrls, ListSelectionEventsAndAClickInOrder) {
  TListView* lv = MakeTable(Form);
  for (int i = 0; i < 3; ++i) AddRow(lv, i == 0 ? L"первый" : (i == 1 ? L"второй" : L"третий"), "1");
  TEvents ev;
  lv->OnChanging = MakeEvent<&TEvents::ListChanging>(&ev);
  lv->OnChange = MakeEvent<&TEvents::ListChange>(&ev);
  lv->OnClick = MakeEvent<&TEvents::Click>(&ev);
  lv->OnMouseDown = MakeEvent<&TEvents::MouseDown>(&ev);
  lv->OnMouseUp = MakeEvent<&TEvents::MouseUp>(&ev);
  lv->SetSelected(lv->Items()->Item(0));
  EXPECT_EQ(lv->Selected(), lv->Items()->Item(0));
  EXPECT_EQ(lv->GetNextItem(nullptr, sdAll, isSelected), lv->Items()->Item(0));
  ASSERT_FALSE(ev.Log.empty());
  EXPECT_EQ(ev.Log.front(), std::string("changing:") + Ru(L"первый").c_str());
  EXPECT_EQ(ev.Log.back(), std::string("change:") + Ru(L"первый").c_str());

  ev.Log.clear();
  TRect r = lv->Items()->Item(1)->DisplayRect(drLabel);
  PostClick(lv->Handle(), r.left + 5, (r.top + r.bottom) / 2);
  Pump(100);
  EXPECT_EQ(lv->Selected(), lv->Items()->Item(1));
  EXPECT_EQ(lv->SelCount(), 1);
  // The selection moves first, the mouse-up comes last, at the row clicked.
  ASSERT_GE(ev.Log.size(), 4u);
  EXPECT_NE(std::find(ev.Log.begin(), ev.Log.end(), std::string("change:") + Ru(L"второй").c_str()), ev.Log.end());
  std::vector<std::string> tail(ev.Log.end() - 3, ev.Log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"down", "click", std::string("up:") + Ru(L"второй").c_str()}));
  EXPECT_EQ(lv->GetItemAt(r.left + 5, (r.top + r.bottom) / 2), lv->Items()->Item(1));

  lv->SetSelected(nullptr);
  EXPECT_EQ(lv->Selected(), nullptr);
  EXPECT_EQ(lv->SelCount(), 0);
}

TEST_F(ComCtrls, ListDeletionIsReportedOnceWhoeverDeletes) {
  TListView* lv = MakeTable(Form);
  for (const wchar_t* n : {L"a", L"b", L"c", L"d"}) AddRow(lv, n, "1");
  TEvents ev;
  lv->OnDeletion = MakeEvent<&TEvents::ListDeletion>(&ev);
  lv->OnInsert = MakeEvent<&TEvents::ListInsert>(&ev);
  lv->Items()->Delete(1);
  EXPECT_EQ(ev.Log, std::vector<std::string>{"deleted:b"});
  delete lv->Items()->Item(0);
  SendMessageA(lv->Handle(), LVM_DELETEITEM, 0, 0);  // straight to the window
  EXPECT_EQ(ev.Log, (std::vector<std::string>{"deleted:b", "deleted:a", "deleted:c"}));
  ASSERT_EQ(lv->Items()->Count(), 1);
  EXPECT_EQ(lv->Items()->Item(0)->Caption(), "d");
  EXPECT_EQ(lv->Items()->Item(0)->Index(), 0);
  EXPECT_EQ(ListText(lv->Handle(), 0, 0), "d");
  ev.Log.clear();
  lv->Items()->Insert(0)->SetCaption("z");
  lv->Items()->Clear();
  EXPECT_EQ(ev.Log, (std::vector<std::string>{"insert", "deleted:z", "deleted:d"}));
  EXPECT_EQ(SendMessageA(lv->Handle(), LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_THROW(lv->Items()->Item(0), EListError);
}

namespace {
class TProbeListView : public TListView {
public:
  using TListView::TListView;
  PFNLVCOMPARE Seen = nullptr;
  void WndProc(TMessage& m) override {
    if (m.Msg == LVM_SORTITEMS) Seen = reinterpret_cast<PFNLVCOMPARE>(m.LParam);
    TListView::WndProc(m);
  }
};
}  // namespace

TEST_F(ComCtrls, ListSortingGoesThroughTheWindowWithTheLibraryCallback) {
  auto* lv = new TProbeListView(Form);
  lv->SetParent(Form);
  lv->SetViewStyle(vsReport);
  lv->Columns()->Add()->SetCaption("n");
  const wchar_t* names[] = {L"Яблоко", L"арбуз", L"Банан", L"вишня"};
  for (const wchar_t* n : names) lv->Items()->Add()->SetCaption(Ru(n));
  lv->AlphaSort();
  EXPECT_EQ(lv->Seen, &TCustomListView::DefaultListViewSort);
  std::vector<AnsiString> sorted;
  for (const wchar_t* n : names) sorted.push_back(Ru(n));
  std::sort(sorted.begin(), sorted.end(),
            [](const AnsiString& a, const AnsiString& b) { return lstrcmpA(a.c_str(), b.c_str()) < 0; });
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ListText(lv->Handle(), i, 0), sorted[i].c_str());
    EXPECT_EQ(lv->Items()->Item(i)->Caption(), sorted[i]);
    EXPECT_EQ(lv->Items()->Item(i)->Index(), i);
  }
}

TEST_F(ComCtrls, ListCustomDrawColoursRowsAndCells) {
  TListView* lv = MakeTable(Form);
  lv->SetGridLines(false);
  for (int i = 0; i < 4; ++i) AddRow(lv, L"ЖЖЖЖЖЖЖЖ", "----");
  struct TPainter {
    void Item(TCustomListView* sender, TListItem* item, TCustomDrawState, bool& defaultDraw) {
      TCanvas* c = sender->Canvas();
      switch (item->Index()) {
        case 0:  // needed: light green row, red name
          c->Font()->SetColor(clRed);
          c->Brush()->SetColor(static_cast<TColor>(0xCCF9C9));
          break;
        case 1:  // absent: red and struck out
          c->Font()->SetColor(clRed);
          c->Font()->SetStyle(c->Font()->Style() | fsStrikeOut);
          break;
        case 2:  // not needed: light grey
          c->Brush()->SetColor(static_cast<TColor>(0xD5D9DB));
          break;
        case 3:
          defaultDraw = false;  // the program draws nothing: the row stays empty
          break;
      }
    }
    void SubItem(TCustomListView* sender, TListItem* item, int, TCustomDrawState, bool&) {
      TCanvas* c = sender->Canvas();
      c->Font()->SetColor(clBlack);
      if (item->Index() == 0) c->Brush()->SetColor(static_cast<TColor>(0xCCF9C9));
      if (item->Index() == 2) c->Brush()->SetColor(static_cast<TColor>(0xD5D9DB));
    }
  } painter;
  lv->OnCustomDrawItem = MakeEvent<&TPainter::Item>(&painter);
  lv->OnCustomDrawSubItem = MakeEvent<&TPainter::SubItem>(&painter);
  lv->Invalidate();
  Pump(50);
  HWND h = lv->Handle();
  TCapturedImage shot = CaptureClient(h);
  auto cell = [&](int item, int sub) {
    RECT r{};
    r.top = sub;
    r.left = LVIR_LABEL;
    SendMessageA(h, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&r));
    return r;
  };
  const COLORREF green = RGB(0xC9, 0xF9, 0xCC), grey = RGB(0xDB, 0xD9, 0xD5);
  RECT name0 = cell(0, 0), size0 = cell(0, 1), name1 = cell(1, 0), size2 = cell(2, 1), name3 = cell(3, 0);
  // Background of the cells where no text is: the row colours.
  EXPECT_EQ(shot.At(name0.right - 3, name0.bottom - 2), green);
  EXPECT_EQ(shot.At(size0.left + 3, size0.top + 1), green);
  EXPECT_EQ(shot.At(size2.left + 3, size2.top + 1), grey);
  EXPECT_EQ(shot.At(name1.right - 3, name1.bottom - 2), RGB(255, 255, 255));
  // Red name text in rows 0 and 1, none in the sub-items.
  EXPECT_GT(shot.Count(RGB(255, 0, 0), name0), 10);
  EXPECT_GT(shot.Count(RGB(255, 0, 0), name1), 10);
  EXPECT_EQ(shot.Count(RGB(255, 0, 0), size0), 0);
  // The struck-out name has a red line through the middle of its text run.
  int mid = (name1.top + name1.bottom) / 2, longest = 0;
  for (int y = mid - 3; y <= mid + 3; ++y) {
    int run = 0;
    for (int x = name1.left; x < name1.right; ++x) {
      run = shot.At(x, y) == RGB(255, 0, 0) ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  EXPECT_GT(longest, 30);
  // A row left to the program (DefaultDraw false) shows no text.
  EXPECT_EQ(shot.Count(RGB(0, 0, 0), name3), 0);
}

TEST_F(ComCtrls, ListOwnerDataServesRowsFromTheProgram) {
  auto* lv = Make<TProbeListView>(10, 10, 300, 200);
  lv->SetOwnerData(true);
  lv->SetViewStyle(vsReport);
  lv->Columns()->Add()->SetCaption("n");
  lv->Columns()->Add()->SetCaption("x");
  struct TServer {
    int Fetches = 0;
    void Data(TObject*, TListItem* item) {
      ++Fetches;
      item->SetCaption(AnsiString("row ") + AnsiString(std::to_string(item->Index())));
      item->SubItems()->Add(AnsiString(std::to_string(item->Index() * 2)));
    }
    void Find(TObject*, TItemFind, const AnsiString& s, const TPoint&, void*, int start, TSearchDirection, bool,
              int& index) {
      if (s == "row 7" && start < 7) index = 7;
    }
  } server;
  lv->OnData = MakeEvent<&TServer::Data>(&server);
  lv->OnDataFind = MakeEvent<&TServer::Find>(&server);
  lv->Items()->SetCount(1000);
  HWND h = lv->Handle();
  EXPECT_EQ(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0), 1000);
  EXPECT_EQ(ListText(h, 123, 0), "row 123");
  EXPECT_EQ(ListText(h, 123, 1), "246");
  EXPECT_EQ(lv->Items()->Item(999)->Caption(), "row 999");
  EXPECT_EQ(lv->Items()->Count(), 1000);
  TListItem* found = lv->FindCaption(0, "row 7", false, true, false);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->Index(), 7);
  EXPECT_EQ(lv->FindCaption(0, "row 8", false, true, false), nullptr);
  EXPECT_THROW(lv->Items()->Add(), EListViewError);
}

// ---------------------------------------------------------------------------
// Status bar and progress bar

TEST_F(ComCtrls, StatusBarTextsAndPanels) {
  auto* sb = new TStatusBar(Form);
  sb->SetParent(Form);
  sb->SetSimplePanel(true);
  sb->SetSimpleText(Ru(L"Готово"));
  HWND h = sb->Handle();
  EXPECT_EQ(sb->Top() + sb->Height(), Form->ClientHeight());  // at the bottom
  EXPECT_NE(SendMessageA(h, SB_ISSIMPLE, 0, 0), 0);
  char buf[128] = {};
  SendMessageA(h, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buf));
  EXPECT_EQ(std::string(buf), Ru(L"Готово").c_str());
  EXPECT_TRUE(GetWindowLongA(h, GWL_STYLE) & SBARS_SIZEGRIP);  // a sizeable form

  sb->SetSimplePanel(false);
  TStatusPanel* p0 = sb->Panels()->Add();
  p0->SetWidth(100);
  p0->SetText(Ru(L"Папок: 3"));
  TStatusPanel* p1 = sb->Panels()->Add();
  p1->SetAlignment(taCenter);
  p1->SetText("x");
  EXPECT_EQ(SendMessageA(h, SB_ISSIMPLE, 0, 0), 0);
  int rights[4] = {};
  EXPECT_EQ(SendMessageA(h, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(rights)), 2);
  EXPECT_EQ(rights[0], 100);
  sb->RecreateWnd();
  h = sb->Handle();
  SendMessageA(h, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buf));
  EXPECT_EQ(std::string(buf), Ru(L"Папок: 3").c_str());
  SendMessageA(h, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(buf));
  EXPECT_EQ(std::string(buf), "\tx");  // a leading tab centres
}

TEST_F(ComCtrls, ProgressBarRangePositionAndSteps) {
  auto* pb = Make<TProgressBar>(10, 350, 200, 16);
  pb->SetMin(10);
  pb->SetMax(60);
  pb->SetPosition(20);
  HWND h = pb->Handle();
  PBRANGE range{};
  SendMessageA(h, PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 10);
  EXPECT_EQ(range.iHigh, 60);
  EXPECT_EQ(SendMessageA(h, PBM_GETPOS, 0, 0), 20);
  pb->SetStep(15);
  pb->StepIt();
  pb->StepBy(5);
  EXPECT_EQ(pb->Position(), 40);
  pb->SetSmooth(true);  // a new window with the position kept
  EXPECT_NE(pb->Handle(), h);
  EXPECT_EQ(SendMessageA(pb->Handle(), PBM_GETPOS, 0, 0), 40);
  EXPECT_TRUE(GetWindowLongA(pb->Handle(), GWL_STYLE) & PBS_SMOOTH);
  pb->SetPosition(1000);
  EXPECT_EQ(pb->Position(), 60);
}

// ---------------------------------------------------------------------------
// Layout

TEST_F(ComCtrls, LayoutsDescribeViewsColumnsAndBars) {
  struct THandlers : TForm {
    using TForm::TForm;
  };
  auto* root = new TForm(Form);
  const char* text =
      "object F: TForm\n"
      "  object tv: TTreeView\n"
      "    Indent = 19\n"
      "    ReadOnly = True\n"
      "    HideSelection = False\n"
      "  end\n"
      "  object lv: TListView\n"
      "    ViewStyle = vsReport\n"
      "    RowSelect = True\n"
      "    Columns = <\n"
      "      item\n"
      "        Caption = 'Имя файла'\n"
      "        Width = 150\n"
      "      end\n"
      "      item\n"
      "        Alignment = taRightJustify\n"
      "        Caption = 'Размер'\n"
      "        Width = 87\n"
      "      end>\n"
      "  end\n"
      "  object sb: TStatusBar\n"
      "    SimplePanel = True\n"
      "  end\n"
      "  object pb: TProgressBar\n"
      "    Max = 50\n"
      "    Position = 5\n"
      "  end\n"
      "end\n";
  ReadComponentText(text, root);
  auto* tv = static_cast<TTreeView*>(root->FindComponent("tv"));
  auto* lv = static_cast<TListView*>(root->FindComponent("lv"));
  auto* sb = static_cast<TStatusBar*>(root->FindComponent("sb"));
  auto* pb = static_cast<TProgressBar*>(root->FindComponent("pb"));
  ASSERT_TRUE(tv && lv && sb && pb);
  EXPECT_EQ(tv->Indent(), 19);
  EXPECT_TRUE(tv->ReadOnly());
  EXPECT_FALSE(tv->HideSelection());
  EXPECT_EQ(lv->ViewStyle(), vsReport);
  ASSERT_EQ(lv->Columns()->Count(), 2);
  EXPECT_EQ(lv->Column(0)->Caption(), Ru(L"Имя файла"));
  EXPECT_EQ(lv->Column(1)->Alignment(), taRightJustify);
  EXPECT_EQ(lv->Column(1)->Width(), 87);
  EXPECT_TRUE(sb->SimplePanel());
  EXPECT_EQ(pb->Max(), 50);
  EXPECT_EQ(pb->Position(), 5);
  EXPECT_EQ(ColumnText(lv->Handle(), 0), Ru(L"Имя файла").c_str());
  delete root;
}

// ---------------------------------------------------------------------------
// The seams a derived view (the Unicode layer's) builds on

namespace {
class TTaggedNode : public TTreeNode {
  CL_CLASS(TTaggedNode, TTreeNode)
public:
  using TTreeNode::TTreeNode;
  int Tag = 7;
};
CL_DEFINE_CLASS(TTaggedNode, TTreeNode)

class TTaggedItem : public TListItem {
  CL_CLASS(TTaggedItem, TListItem)
public:
  using TListItem::TListItem;
};
CL_DEFINE_CLASS(TTaggedItem, TListItem)

// A tree whose window speaks Unicode to its parent: its default procedure
// answers the format question with NFR_UNICODE, as the Unicode layer's does.
class TWideNotifyTree : public TTreeView {
public:
  using TTreeView::TTreeView;
  std::vector<UINT> Codes;
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_NOTIFYFORMAT && m.LParam == NF_QUERY && reinterpret_cast<HWND>(m.WParam) == WindowHandle()) {
      m.Result = NFR_UNICODE;
      return;
    }
    if (m.Msg == CN_NOTIFY) Codes.push_back(NotifyHdr(m)->code);
    TTreeView::WndProc(m);
  }
};

struct TClassChooser {
  const TMetaClass* Node = &TTaggedNode::Class;
  const TMetaClass* Item = &TTaggedItem::Class;
  void ChooseNode(TCustomTreeView*, const TMetaClass*& cls) { cls = Node; }
  void ChooseItem(TCustomListView*, const TMetaClass*& cls) { cls = Item; }
};
}  // namespace

TEST_F(ComCtrls, DerivedViewsChooseTheirNodeAndItemClasses) {
  RegisterTreeNodeClass(&TTaggedNode::Class, &NewTreeNode<TTaggedNode>);
  RegisterListItemClass(&TTaggedItem::Class, &NewListItem<TTaggedItem>);
  TClassChooser chooser;
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  tv->OnCreateNodeClass = MakeEvent<&TClassChooser::ChooseNode>(&chooser);
  auto* plain = Make<TTreeView>(220, 10, 150, 150);
  Fill(plain->Items());
  // Assign makes the copies with the destination's node class.
  tv->Items()->Assign(plain->Items());
  ASSERT_EQ(tv->Items()->Count(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(tv->Items()->Item(i)->Is<TTaggedNode>());
  EXPECT_EQ(tv->Items()->Item(3)->As<TTaggedNode>()->Tag, 7);
  EXPECT_THROW(plain->Items()->Item(0)->As<TTaggedNode>(), EInvalidCast);
  // A class that is no node is refused.
  chooser.Node = &TListItem::Class;
  EXPECT_THROW(tv->Items()->Add(nullptr, "x"), ETreeViewError);
  EXPECT_EQ(tv->Items()->Count(), 6);

  TListView* lv = MakeTable(Form);
  lv->OnCreateItemClass = MakeEvent<&TClassChooser::ChooseItem>(&chooser);
  AddRow(lv, L"a", "1");
  EXPECT_TRUE(lv->Items()->Item(0)->Is<TTaggedItem>());
}

TEST_F(ComCtrls, SelectionNotificationsOfAUnicodeWindowReachTheBase) {
  auto* tv = Make<TWideNotifyTree>(10, 10, 200, 200);
  Fill(tv->Items());
  TEvents ev;
  tv->OnChange = MakeEvent<&TEvents::TreeChange>(&ev);
  tv->OnExpanded = MakeEvent<&TEvents::TreeExpanded>(&ev);
  tv->SetSelected(tv->Items()->Item(5));
  tv->SetSelected(tv->Items()->Item(0));
  SendMessageA(tv->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
  std::string root = Ru(L"Диск C:").c_str();
  EXPECT_EQ(ev.Log, (std::vector<std::string>{std::string("change:") + Ru(L"Диск D:").c_str(), "change:" + root,
                                              "expanded:" + root}));
  EXPECT_NE(std::find(tv->Codes.begin(), tv->Codes.end(), TVN_SELCHANGEDW), tv->Codes.end());
  EXPECT_EQ(std::find(tv->Codes.begin(), tv->Codes.end(), TVN_SELCHANGEDA), tv->Codes.end());
}

TEST_F(ComCtrls, LongTextsAreCutToTheRequestersBuffer) {
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  TTreeNode* n = tv->Items()->Add(nullptr, AnsiString(std::string(400, 'a') + "b"));
  EXPECT_EQ(TreeText(tv->Handle(), n->ItemId()), std::string(259, 'a'));  // 260-byte buffer
  TListView* lv = MakeTable(Form);
  TListItem* item = lv->Items()->Add();
  item->SetCaption(AnsiString(std::string(300, 'c')));
  item->SubItems()->Add(AnsiString(std::string(300, 'd')));
  EXPECT_EQ(ListText(lv->Handle(), 0, 0), std::string(259, 'c'));
  EXPECT_EQ(ListText(lv->Handle(), 0, 1), std::string(259, 'd'));
}

TEST_F(ComCtrls, ListCustomDrawHandlerExceptionsReachTheApplication) {
  TListView* lv = MakeTable(Form);
  AddRow(lv, L"a", "1");
  AddRow(lv, L"b", "2");
  struct TBadPainter {
    int Calls = 0;
    void Item(TCustomListView*, TListItem*, TCustomDrawState, bool&) {
      ++Calls;
      throw Exception("painter failed");
    }
  } bad;
  lv->OnCustomDrawItem = MakeEvent<&TBadPainter::Item>(&bad);
  lv->Invalidate();
  lv->Update();
  EXPECT_GE(bad.Calls, 2);  // each row still asked: the exception ended only its handler
  std::vector<std::string> seen = TakeExceptions();
  EXPECT_EQ(static_cast<int>(seen.size()), bad.Calls);
  for (const std::string& m : seen) EXPECT_EQ(m, "painter failed");
  // The canvas was given back each time.
  lv->OnCustomDrawItem = nullptr;
  EXPECT_EQ(lv->Canvas()->LockCount(), 0);
}

TEST_F(ComCtrls, ListDoubleClickAndEnterReachTheProgram) {
  TListView* lv = MakeTable(Form);
  AddRow(lv, L"папка", "----");
  AddRow(lv, L"файл", "1");
  struct TKeys {
    std::vector<std::string> Log;
    void DblClick(TObject*) { Log.push_back("dblclick"); }
    void KeyDown(TObject*, WORD& key, TShiftState) { Log.push_back("key:" + std::to_string(key)); }
  } keys;
  lv->OnDblClick = MakeEvent<&TKeys::DblClick>(&keys);
  lv->OnKeyDown = MakeEvent<&TKeys::KeyDown>(&keys);
  TRect r = lv->Items()->Item(1)->DisplayRect(drLabel);
  LPARAM at = MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2);
  HWND h = lv->Handle();
  PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(h, WM_LBUTTONUP, 0, at);
  PostMessageA(h, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageA(h, WM_LBUTTONUP, 0, at);
  Pump(100);
  EXPECT_EQ(keys.Log, std::vector<std::string>{"dblclick"});
  EXPECT_EQ(lv->Selected(), lv->Items()->Item(1));
  lv->SetFocus();
  PostKey(h, VK_RETURN, '\r');
  Pump(50);
  EXPECT_EQ(keys.Log.back(), "key:13");
}

TEST_F(ComCtrls, ListOwnerDrawnRowsAndInfoTips) {
  TListView* lv = MakeTable(Form);
  lv->SetOwnerDraw(true);
  AddRow(lv, L"первая", "1");
  AddRow(lv, L"вторая", "2");
  struct TDrawer {
    std::vector<int> Rows;
    void Draw(TCustomListView* sender, TListItem* item, const TRect& rect, TOwnerDrawState) {
      Rows.push_back(item->Index());
      sender->Canvas()->Brush()->SetColor(item->Index() == 1 ? clYellow : clAqua);
      sender->Canvas()->FillRect(rect);
    }
    void Tip(TObject*, TListItem* item, AnsiString& tip) { tip = AnsiString("tip of ") + item->Caption(); }
  } drawer;
  lv->OnDrawItem = MakeEvent<&TDrawer::Draw>(&drawer);
  EXPECT_TRUE(GetWindowLongA(lv->Handle(), GWL_STYLE) & LVS_OWNERDRAWFIXED);
  lv->Invalidate();
  lv->Update();
  TCapturedImage shot = CaptureClient(lv->Handle());
  TRect r0 = lv->Items()->Item(0)->DisplayRect(drBounds), r1 = lv->Items()->Item(1)->DisplayRect(drBounds);
  EXPECT_EQ(shot.At(r0.left + 200, (r0.top + r0.bottom) / 2), RGB(0, 255, 255));
  EXPECT_EQ(shot.At(r1.left + 200, (r1.top + r1.bottom) / 2), RGB(255, 255, 0));
  EXPECT_NE(std::find(drawer.Rows.begin(), drawer.Rows.end(), 1), drawer.Rows.end());

  // Tips: the view asks the program when it has a handler.
  lv->SetOnInfoTip(MakeEvent<&TDrawer::Tip>(&drawer));
  EXPECT_TRUE(SendMessageA(lv->Handle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_INFOTIP);
  char buf[8] = "old";
  NMLVGETINFOTIPA tip{};
  tip.hdr.hwndFrom = lv->Handle();
  tip.hdr.code = LVN_GETINFOTIPA;
  tip.pszText = buf;
  tip.cchTextMax = sizeof buf;
  tip.iItem = 1;
  lv->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
  EXPECT_EQ(std::string(buf), "tip of ");  // cut to the buffer: 7 bytes and the end
}

// ---------------------------------------------------------------------------
// A form with one of each of the library's controls, read from a layout with
// Russian texts; its picture is saved beside the test program for a person
// to look at (demo_form.bmp).

namespace {
const char* const DemoLayout = R"(
object DemoForm: TForm
  Left = 30
  Top = 30
  ClientWidth = 640
  ClientHeight = 470
  Caption = 'Образец элементов'
  Menu = mmMain
  object mmMain: TMainMenu
    object miFile: TMenuItem
      Caption = '&Файл'
      object miOpen: TMenuItem
        Caption = '&Открыть...'
      end
    end
  end
  object pnTop: TPanel
    Align = alTop
    Height = 41
    Caption = 'Панель инструментов'
    Alignment = taRightJustify
    object sbBack: TSpeedButton
      Left = 4
      Top = 4
      Width = 80
      Height = 33
      Caption = 'Назад'
      Flat = True
    end
    object bbFind: TBitBtn
      Left = 90
      Top = 6
      Width = 100
      Height = 29
      Caption = 'Найти'
    end
  end
  object sbStatus: TStatusBar
    SimplePanel = True
    SimpleText = 'Готово'
  end
  object tvTree: TTreeView
    Align = alLeft
    Width = 180
    Indent = 19
    HideSelection = False
    ReadOnly = True
  end
  object spSplit: TSplitter
    Left = 180
    Width = 3
  end
  object pnRight: TPanel
    Align = alClient
    BevelOuter = bvNone
    object laName: TLabel
      Left = 8
      Top = 8
      Caption = 'Имя файла:'
    end
    object edName: TEdit
      Left = 90
      Top = 4
      Width = 200
      Text = 'отчёт.txt'
    end
    object cbDamaged: TCheckBox
      Left = 300
      Top = 6
      Width = 150
      Height = 17
      Caption = 'Повреждённый'
      Checked = True
    end
    object btOk: TButton
      Left = 8
      Top = 34
      Width = 90
      Height = 25
      Caption = 'Принять'
      Default = True
    end
    object imLogo: TImage
      Left = 110
      Top = 30
      Width = 32
      Height = 32
    end
    object bvLine: TBevel
      Left = 8
      Top = 66
      Width = 430
      Height = 2
      Shape = bsTopLine
    end
    object lvTable: TListView
      Left = 8
      Top = 74
      Width = 440
      Height = 170
      ViewStyle = vsReport
      RowSelect = True
      GridLines = True
      ReadOnly = True
      HideSelection = False
      Columns = <
        item
          Caption = 'Имя файла'
          Width = 150
        end
        item
          Alignment = taRightJustify
          Caption = 'Размер, Кбайт'
          Width = 100
        end
        item
          Caption = 'Комментарии'
          Width = 160
        end>
    end
    object reComment: TRichEdit
      Left = 8
      Top = 252
      Width = 440
      Height = 90
      ScrollBars = ssVertical
      Lines.Strings = (
        'Комментарий к файлу'
        'вторая строка')
    end
    object pbProgress: TProgressBar
      Left = 8
      Top = 350
      Width = 440
      Height = 16
      Position = 60
    end
  end
end
)";

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p(path);
  return p.substr(0, p.find_last_of('\\') + 1);
}

std::string MenuText(HMENU menu, UINT pos) {
  char buf[128] = {};
  MENUITEMINFOA mi{};
  mi.cbSize = sizeof mi;
  mi.fMask = MIIM_STRING;
  mi.dwTypeData = buf;
  mi.cch = sizeof buf;
  GetMenuItemInfoA(menu, pos, TRUE, &mi);
  return buf;
}
}  // namespace

TEST_F(ComCtrls, DemoFormHoldsOneOfEachControl) {
  std::unique_ptr<TForm> demo(NewForm<TForm>(nullptr));
  ReadComponentText(DemoLayout, demo.get());
  auto find = [&](const char* name) { return demo->FindComponent(name); };
  auto* tv = static_cast<TTreeView*>(find("tvTree"));
  auto* lv = static_cast<TListView*>(find("lvTable"));
  auto* re = static_cast<TRichEdit*>(find("reComment"));
  auto* img = static_cast<TImage*>(find("imLogo"));
  ASSERT_TRUE(tv && lv && re && img);
  Fill(tv->Items());
  tv->Items()->Item(0)->Expand(true);
  tv->SetSelected(tv->Items()->Item(2));
  const wchar_t* rows[][3] = {{L"..", L"", L""},
                              {L"Документы", L"----", L"папка с письмами"},
                              {L"отчёт.txt", L"12", L"повреждён"}};
  for (auto& row : rows) {
    TListItem* item = lv->Items()->Add();
    item->SetCaption(Ru(row[0]));
    item->SubItems()->Add(Ru(row[1]));
    item->SubItems()->Add(Ru(row[2]));
  }
  TBitmap* logo = img->Picture()->Bitmap();
  logo->SetSize(32, 32);
  logo->Canvas()->Brush()->SetColor(clNavy);
  logo->Canvas()->FillRect(Rect(0, 0, 32, 32));
  logo->Canvas()->Brush()->SetColor(clYellow);
  logo->Canvas()->Ellipse(4, 4, 28, 28);
  demo->Show();
  Pump(100);

  // Each control is there with its Russian text, read back from its window.
  EXPECT_EQ(WindowTextA(demo->Handle()), Ru(L"Образец элементов").c_str());
  EXPECT_EQ(MenuText(GetMenu(demo->Handle()), 0), Ru(L"&Файл").c_str());
  EXPECT_EQ(WindowTextA(static_cast<TWinControl*>(find("edName"))->Handle()), Ru(L"отчёт.txt").c_str());
  EXPECT_EQ(SendMessageA(static_cast<TWinControl*>(find("cbDamaged"))->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(WindowTextA(static_cast<TWinControl*>(find("btOk"))->Handle()), Ru(L"Принять").c_str());
  EXPECT_EQ(WindowTextA(static_cast<TWinControl*>(find("bbFind"))->Handle()), Ru(L"Найти").c_str());
  char status[64] = {};
  SendMessageA(static_cast<TWinControl*>(find("sbStatus"))->Handle(), SB_GETTEXTA, 0,
               reinterpret_cast<LPARAM>(status));
  EXPECT_EQ(std::string(status), Ru(L"Готово").c_str());
  EXPECT_EQ(TreeText(tv->Handle(), tv->Items()->Item(2)->ItemId()), Ru(L"Отчёт").c_str());
  EXPECT_EQ(TreeNext(tv->Handle(), TVGN_CARET), tv->Items()->Item(2)->ItemId());
  EXPECT_TRUE(GetWindowLongA(tv->Handle(), GWL_STYLE) & TVS_SHOWSELALWAYS);
  EXPECT_EQ(ColumnText(lv->Handle(), 1), Ru(L"Размер, Кбайт").c_str());
  EXPECT_EQ(ListText(lv->Handle(), 2, 2), Ru(L"повреждён").c_str());
  EXPECT_EQ(re->Lines()->Strings(1), Ru(L"вторая строка"));
  EXPECT_EQ(SendMessageA(static_cast<TWinControl*>(find("pbProgress"))->Handle(), PBM_GETPOS, 0, 0), 60);
  auto* sb = static_cast<TControl*>(find("sbStatus"));
  EXPECT_EQ(sb->Top() + sb->Height(), demo->ClientHeight());
  EXPECT_EQ(static_cast<TControl*>(find("spSplit"))->Left(), tv->Left() + tv->Width());
  TCapturedImage shot = CaptureClient(demo->Handle());
  auto* imParent = img->Parent();
  POINT logoAt{img->Left() + 2, img->Top() + 2};
  MapWindowPoints(imParent->Handle(), demo->Handle(), &logoAt, 1);
  EXPECT_EQ(shot.At(logoAt.x, logoAt.y), RGB(0, 0, 128));

  // The picture is taken from the screen as it shows (a capture through the
  // window's own painting leaves out the children the platform paints).
  demo->Update();
  TBitmap picture;
  picture.SetPixelFormat(pf24bit);
  RECT wr;
  GetWindowRect(demo->Handle(), &wr);
  picture.SetSize(wr.right - wr.left, wr.bottom - wr.top);
  HDC screen = GetDC(nullptr);
  BitBlt(picture.Canvas()->Handle(), 0, 0, wr.right - wr.left, wr.bottom - wr.top, screen, wr.left, wr.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  std::string file = ProgramFolder() + "demo_form.bmp";
  picture.SaveToFile(file.c_str());
  EXPECT_EQ(ReadFileBytes(file).substr(0, 2), "BM");
}

TEST_F(ComCtrls, TreeNodeMovesWithItsBranchInEveryAttachMode) {
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  TTreeNodes* items = tv->Items();
  TEvents ev;
  tv->OnDeletion = MakeEvent<&TEvents::TreeDeletion>(&ev);
  struct Case {
    const char* what;
    int node, destination;  // absolute indexes in the filled tree; -1: none
    TNodeAttachMode mode;
    std::vector<const wchar_t*> outline;
  } cases[] = {
      {"branch as the last top node", 1, -1, naAdd,
       {L"Диск C:", L" Фото", L"Диск D:", L"Документы", L" Отчёт", L" Письма"}},
      {"branch as the first child of another root", 1, 5, naAddChildFirst,
       {L"Диск C:", L" Фото", L"Диск D:", L" Документы", L"  Отчёт", L"  Письма"}},
      {"leaf before its parent", 3, 1, naInsert,
       {L"Диск C:", L" Письма", L" Документы", L"  Отчёт", L" Фото", L"Диск D:"}},
      {"leaf first among its parent's siblings", 2, 4, naAddFirst,
       {L"Диск C:", L" Отчёт", L" Документы", L"  Письма", L" Фото", L"Диск D:"}},
      {"root under the other root", 5, 0, naAddChild,
       {L"Диск C:", L" Документы", L"  Отчёт", L"  Письма", L" Фото", L" Диск D:"}},
  };
  for (const Case& c : cases) {
    items->Clear();
    Fill(items);
    items->Item(0)->Expand(true);
    TTreeNode* node = items->Item(c.node);
    void* data = node->Data();
    int count = node->Count();
    bool wasExpanded = node->Expanded();
    tv->SetSelected(node);
    ev.Log.clear();
    node->MoveTo(c.destination < 0 ? nullptr : items->Item(c.destination), c.mode);
    std::vector<std::string> expected;
    for (const wchar_t* line : c.outline) expected.push_back(Ru(line).c_str());
    EXPECT_EQ(ObjectOutline(items), expected) << c.what;
    EXPECT_EQ(NativeOutline(tv->Handle()), expected) << c.what;
    EXPECT_TRUE(ev.Log.empty()) << c.what << ": a moved node is not a deleted one";
    EXPECT_EQ(node->Data(), data) << c.what;
    EXPECT_EQ(node->Count(), count) << c.what;
    EXPECT_EQ(node->Expanded(), wasExpanded) << c.what;
    EXPECT_EQ(tv->Selected(), node) << c.what;
    EXPECT_EQ(items->Count(), 6) << c.what;
  }
}

TEST_F(ComCtrls, TreeNodeRefusesToMoveIntoItsOwnBranch) {
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  TTreeNodes* items = tv->Items();
  Fill(items);
  auto* other = Make<TTreeView>(220, 10, 200, 200);
  TTreeNode* foreign = other->Items()->Add(nullptr, "x");
  TTreeNode* docs = items->Item(1);
  struct Case {
    const char* what;
    TTreeNode* destination;
    TNodeAttachMode mode;
  } cases[] = {{"own child", items->Item(2), naAddChild},
               {"itself as parent", docs, naAddChild},
               {"another tree", foreign, naAdd}};
  std::vector<std::string> before = ObjectOutline(items);
  for (const Case& c : cases) {
    EXPECT_THROW(docs->MoveTo(c.destination, c.mode), ETreeViewError) << c.what;
    EXPECT_EQ(ObjectOutline(items), before) << c.what;
    EXPECT_EQ(NativeOutline(tv->Handle()), before) << c.what;
  }
  docs->MoveTo(docs, naInsert);  // before itself: where it is
  EXPECT_EQ(ObjectOutline(items), before);
}

namespace {
int SubItemImage(HWND list, int item, int sub) {
  LVITEMA it{};
  it.mask = LVIF_IMAGE;
  it.iItem = item;
  it.iSubItem = sub;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return it.iImage;
}
}  // namespace

TEST_F(ComCtrls, SubItemImagesAreAskedForAndKeptAcrossRecreation) {
  auto* lv = Make<TListView>(10, 10, 300, 150);
  lv->SetViewStyle(vsReport);
  for (const char* c : {"Name", "Size", "Kind"}) lv->Columns()->Add()->SetCaption(c);
  TListItem* item = lv->Items()->Add();
  item->SetCaption("a.txt");
  item->SetSubItemImages(1, 4);  // before the sub-item is there
  item->SubItems()->Add("12");
  item->SubItems()->Add("text");
  item->SetSubItemImages(0, 2);
  HWND h = lv->Handle();
  EXPECT_NE(SendMessageA(h, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_SUBITEMIMAGES, 0);
  struct Case {
    int sub, expected;
  } cases[] = {{1, 2}, {2, 4}};
  for (const Case& c : cases) EXPECT_EQ(SubItemImage(h, 0, c.sub), c.expected) << c.sub;
  EXPECT_EQ(item->SubItemImages(5), -1);
  EXPECT_THROW(item->SubItemImages(-1), EListError);

  lv->RecreateWnd();
  h = lv->Handle();
  for (const Case& c : cases) EXPECT_EQ(SubItemImage(h, 0, c.sub), c.expected) << "after re-creation " << c.sub;
  // A copy takes them along.
  TListItem* copy = lv->Items()->Add();
  copy->Assign(item);
  EXPECT_EQ(copy->SubItemImages(1), 4);
  EXPECT_EQ(SubItemImage(h, 1, 2), 4);
  item->SetSubItemImages(1, -1);
  EXPECT_EQ(SubItemImage(h, 0, 2), I_IMAGENONE);
}

TEST_F(ComCtrls, TreeCustomDrawColoursNodesAndMaySkipThem) {
  auto* tv = Make<TTreeView>(10, 10, 250, 200);
  TTreeNodes* items = tv->Items();
  for (const wchar_t* t : {L"ЖЖЖЖЖЖ red", L"ЖЖЖЖЖЖ green", L"ЖЖЖЖЖЖ skipped", L"ЖЖЖЖЖЖ plain"})
    items->Add(nullptr, Ru(t));
  struct TPainter {
    int WholeView = 0;
    std::vector<std::string> Seen;
    void View(TCustomTreeView*, const TRect&, bool&) { ++WholeView; }
    void Node(TCustomTreeView* sender, TTreeNode* node, TCustomDrawState, bool& defaultDraw) {
      TCanvas* c = sender->Canvas();
      Seen.push_back(node->Text().c_str());
      switch (node->Index()) {
        case 0: c->Font()->SetColor(clRed); break;
        case 1: c->Brush()->SetColor(static_cast<TColor>(0xCCF9C9)); break;
        case 2: defaultDraw = false; break;
        default: break;
      }
    }
  } painter;
  tv->OnCustomDraw = MakeEvent<&TPainter::View>(&painter);
  tv->OnCustomDrawItem = MakeEvent<&TPainter::Node>(&painter);
  HWND h = tv->Handle();
  tv->Invalidate();
  ASSERT_TRUE(WaitFor([&] { return painter.WholeView > 0 && !GetUpdateRect(h, nullptr, FALSE); },
                      "the tree view painted through its handlers"));
  TCapturedImage shot = CaptureClient(h);
  auto rectOf = [&](int i) { return items->Item(i)->DisplayRect(true); };
  EXPECT_GT(painter.WholeView, 0);
  EXPECT_GE(painter.Seen.size(), 4u);
  EXPECT_GT(shot.Count(RGB(255, 0, 0), rectOf(0)), 10) << "red text";
  EXPECT_EQ(shot.Count(RGB(255, 0, 0), rectOf(3)), 0);
  TRect green = rectOf(1);
  EXPECT_GT(shot.Count(RGB(0xC9, 0xF9, 0xCC), green), green.Width()) << "green background";
  EXPECT_EQ(shot.Count(RGB(0, 0, 0), rectOf(2)), 0) << "a node left to the handler shows no text";
  EXPECT_GT(shot.Count(RGB(0, 0, 0), rectOf(3)), 10) << "the plain node as usual";
}

// A chain of nodes as deep as a list file may nest its folders, deeper than
// the stack would hold frames for: every walk over the nodes is a loop, and
// the window's own removal of the branch, which recurses, has the stack it
// needs.
TEST_F(ComCtrls, TreeWalksReachThirtyTwoThousandLevels) {
  constexpr int Depth = 32768;
  auto* tv = Make<TTreeView>(10, 10, 200, 200);
  TTreeNodes* items = tv->Items();
  TEvents ev;
  tv->OnDeletion = MakeEvent<&TEvents::TreeDeletion>(&ev);
  auto fill = [](TTreeNodes* nodes) {
    TTreeNode* node = nullptr;
    for (int i = 0; i < Depth; ++i) node = nodes->AddChild(node, AnsiString("n") + AnsiString(std::to_string(i)));
    return node;
  };
  TTreeNode* deepest = fill(items);
  HWND h = tv->Handle();
  ASSERT_EQ(deepest->Level(), Depth - 1);
  EXPECT_EQ(items->Count(), Depth);
  EXPECT_EQ(SendMessageA(h, TVM_GETCOUNT, 0, 0), Depth);
  int level = 0;
  TTreeNode* last = nullptr;
  for (TTreeNode* n = items->GetFirstNode(); n; n = n->GetNext(), ++level) {
    ASSERT_EQ(n->Level(), level);
    last = n;
  }
  EXPECT_EQ(level, Depth);
  EXPECT_EQ(last, deepest);
  EXPECT_EQ(deepest->AbsoluteIndex(), Depth - 1);
  EXPECT_TRUE(deepest->HasAsParent(items->GetFirstNode()));

  // Shown in the window: every parent expanded, the deepest selected.
  tv->SetSelected(deepest);
  deepest->MakeVisible();
  EXPECT_TRUE(deepest->IsVisible());
  EXPECT_EQ(tv->Selected(), deepest);
  EXPECT_EQ(TreeText(h, deepest->ItemId()), "n32767");

  // The node records and back: each node is followed by its one child.
  TMemoryStream ms;
  items->WriteData(&ms);
  int64_t size = 4;
  for (int i = 0; i < Depth; ++i) size += 4 + 25 + static_cast<int64_t>(std::to_string(i).size()) + 1;
  EXPECT_EQ(ms.Size(), size);
  auto* other = Make<TTreeView>(220, 10, 150, 150);
  ms.SetPosition(0);
  other->Items()->ReadData(&ms);
  EXPECT_EQ(other->Items()->Count(), Depth);
  TTreeNode* copy = other->Items()->GetFirstNode();
  while (copy->getFirstChild()) copy = copy->getFirstChild();
  EXPECT_EQ(copy->Level(), Depth - 1);
  EXPECT_EQ(copy->Text(), "n32767");
  delete other;

  // Sorted at every level, then the branch below the first node moved to
  // the top level and back.
  tv->AlphaSort(true);
  EXPECT_EQ(items->Count(), Depth);
  EXPECT_EQ(deepest->Level(), Depth - 1);
  TTreeNode* branch = items->GetFirstNode()->getFirstChild();
  branch->MoveTo(nullptr, naAdd);
  EXPECT_EQ(deepest->Level(), Depth - 2);
  EXPECT_EQ(SendMessageA(h, TVM_GETCOUNT, 0, 0), Depth);
  EXPECT_TRUE(ev.Log.empty()) << "a moved branch is not deleted";
  branch->MoveTo(items->GetFirstNode(), naAddChild);
  EXPECT_EQ(deepest->Level(), Depth - 1);
  EXPECT_EQ(tv->Selected(), deepest);

  // Deleted: every node reported once, the deepest first.
  branch->Delete();
  ASSERT_EQ(ev.Log.size(), static_cast<size_t>(Depth - 1));
  EXPECT_EQ(ev.Log.front(), "deleted:n32767");
  EXPECT_EQ(ev.Log.back(), "deleted:n1");
  EXPECT_EQ(items->Count(), 1);
  EXPECT_EQ(SendMessageA(h, TVM_GETCOUNT, 0, 0), 1);
  // Made again and cleared at once, and once more with the window's items
  // going with the window.
  fill(items);
  ev.Log.clear();
  items->Clear();
  EXPECT_EQ(ev.Log.size(), static_cast<size_t>(Depth + 1));
  EXPECT_EQ(SendMessageA(h, TVM_GETCOUNT, 0, 0), 0);
  fill(items);
  delete tv;
}
