// Filling a report list view with 50,000 rows of six columns and a tree view
// with 10,000 nodes through the class library, beside the same work done in
// the same run with raw LVM_INSERTITEMA / LVM_SETITEMTEXTA and TVM_INSERTITEMA
// messages on plain windows of the system classes, shown as the library's
// form is, so both controls fill in the same state. Each figure is the best
// per fill over rounds of half a second or more, the library's fills and the
// raw ones taken in turn; the aim is at most 1.3 times the raw time. The
// library's controls must hold what the raw fill puts in (checked once,
// untimed).
//
// Run: wine <build>/bench/comctrls_bench.exe   (with tools/env.sh sourced, under a display)
#include <algorithm>
#include <cstdio>
#include <string>

#include "comctrls.h"
#include "forms.h"
#include "units.h"

#include "BenchClock.h"
#include "BenchReport.h"

namespace {

const int Rows = 50000;
const int Columns = 6;
const int Nodes = 10000;
const int Rounds = 3;

std::string Cell(int row, int col) { return "cell " + std::to_string(row) + "/" + std::to_string(col); }

// What the library's list view holds is what the raw fill puts there: every
// row with its six texts (read back outside the time, in the first round).
bool ListHoldsEveryCell(HWND h) {
  if (SendMessageA(h, LVM_GETITEMCOUNT, 0, 0) != Rows) return false;
  char text[64];
  for (int r = 0; r < Rows; ++r)
    for (int c = 0; c < Columns; ++c) {
      LVITEMA it{};
      it.iSubItem = c;
      it.pszText = text;
      it.cchTextMax = sizeof text;
      text[0] = '\0';
      SendMessageA(h, LVM_GETITEMTEXTA, r, reinterpret_cast<LPARAM>(&it));
      if (Cell(r, c) != text) return false;
    }
  return true;
}

struct Styles {
  DWORD Style = 0, ExStyle = 0;
};
Styles ListStyles, TreeStyles;

Styles StylesOf(HWND h) {
  return {static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)), static_cast<DWORD>(GetWindowLongA(h, GWL_EXSTYLE))};
}

bool checkedList = false, checkedTree = false;

double LibraryList(TForm* form) {
  auto* lv = new TListView(form);
  lv->SetParent(form);
  lv->SetBounds(0, 0, 600, 400);
  lv->SetViewStyle(vsReport);
  for (int c = 0; c < Columns; ++c)
    lv->Columns()->Add()->SetCaption(AnsiString("col ") + AnsiString(std::to_string(c)));
  ListStyles = StylesOf(lv->Handle());
  double start = Seconds();
  TListItems* items = lv->Items();
  items->BeginUpdate();
  for (int r = 0; r < Rows; ++r) {
    TListItem* item = items->Add();
    item->SetCaption(Cell(r, 0));
    for (int c = 1; c < Columns; ++c) item->SubItems()->Add(Cell(r, c));
  }
  items->EndUpdate();
  double t = Seconds() - start;
  if (!checkedList) CheckSame("the library's list view", ListHoldsEveryCell(lv->Handle()));
  checkedList = true;
  delete lv;
  return t;
}

// The raw controls sit on a plain window of the system's (no library code
// between them and their notifications), shown as the library's form is, and
// carry the library's control's window styles: the same control in the same
// state, only the library's code left out.
HWND PlainParent() {
  return CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

HWND RawControl(const char* className, const Styles& styles, int width, HWND parent) {
  return CreateWindowExA(styles.ExStyle, className, "", styles.Style, 0, 0, width, 400, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

double RawList() {
  HWND parent = PlainParent();
  HWND h = RawControl(WC_LISTVIEWA, ListStyles, 600, parent);
  for (int c = 0; c < Columns; ++c) {
    std::string caption = "col " + std::to_string(c);
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = 80;
    col.pszText = caption.data();
    SendMessageA(h, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
  }
  double start = Seconds();
  SendMessageA(h, WM_SETREDRAW, 0, 0);
  for (int r = 0; r < Rows; ++r) {
    std::string text = Cell(r, 0);
    LVITEMA it{};
    it.mask = LVIF_TEXT;
    it.iItem = r;
    it.pszText = text.data();
    int index = static_cast<int>(SendMessageA(h, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
    for (int c = 1; c < Columns; ++c) {
      std::string sub = Cell(r, c);
      LVITEMA st{};
      st.iSubItem = c;
      st.pszText = sub.data();
      SendMessageA(h, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&st));
    }
  }
  // As the library's EndUpdate: drawing back on, the whole window to draw.
  SendMessageA(h, WM_SETREDRAW, 1, 0);
  InvalidateRect(h, nullptr, TRUE);
  double t = Seconds() - start;
  DestroyWindow(parent);
  return t;
}

// Ten top-level folders with 999 children each: 10,000 nodes in all.
double LibraryTree(TForm* form) {
  auto* tv = new TTreeView(form);
  tv->SetParent(form);
  tv->SetBounds(0, 0, 300, 400);
  TreeStyles = StylesOf(tv->Handle());
  double start = Seconds();
  TTreeNodes* items = tv->Items();
  items->BeginUpdate();
  int made = 0;
  for (int top = 0; made < Nodes; ++top) {
    TTreeNode* parent = items->Add(nullptr, "folder " + std::to_string(top));
    ++made;
    for (int i = 0; i < 999 && made < Nodes; ++i, ++made) items->AddChild(parent, "item " + std::to_string(i));
  }
  items->EndUpdate();
  double t = Seconds() - start;
  if (!checkedTree) CheckSame("the library's tree view", SendMessageA(tv->Handle(), TVM_GETCOUNT, 0, 0) == Nodes);
  checkedTree = true;
  delete tv;
  return t;
}

double RawTree() {
  HWND parent = PlainParent();
  HWND h = RawControl(WC_TREEVIEWA, TreeStyles, 300, parent);
  double start = Seconds();
  SendMessageA(h, WM_SETREDRAW, 0, 0);
  int made = 0;
  for (int top = 0; made < Nodes; ++top) {
    std::string text = "folder " + std::to_string(top);
    TVINSERTSTRUCTA is{};
    is.hParent = TVI_ROOT;
    is.hInsertAfter = TVI_LAST;
    is.item.mask = TVIF_TEXT;
    is.item.pszText = text.data();
    auto parent = reinterpret_cast<HTREEITEM>(SendMessageA(h, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&is)));
    ++made;
    for (int i = 0; i < 999 && made < Nodes; ++i, ++made) {
      std::string child = "item " + std::to_string(i);
      TVINSERTSTRUCTA cs{};
      cs.hParent = parent;
      cs.hInsertAfter = TVI_LAST;
      cs.item.mask = TVIF_TEXT;
      cs.item.pszText = child.data();
      SendMessageA(h, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&cs));
    }
  }
  // As the library's EndUpdate: drawing back on, the whole window to draw.
  SendMessageA(h, WM_SETREDRAW, 1, 0);
  InvalidateRect(h, nullptr, TRUE);
  double t = Seconds() - start;
  DestroyWindow(parent);
  return t;
}

}  // namespace

int main() {
  StartUnits();
  TForm* form = NewForm<TForm>(nullptr);
  form->SetBounds(0, 0, 640, 480);
  form->Show();
  // A first fill of each (untimed) gives the raw controls their styles.
  LibraryList(form);
  LibraryTree(form);
  const auto [rawList, libList] = BestPerPass(Rounds, RawList, [&] { return LibraryList(form); });
  const auto [rawTree, libTree] = BestPerPass(Rounds, RawTree, [&] { return LibraryTree(form); });
  std::printf("list view, %d rows x %d columns: library %.3f s, raw messages on a control of the same styles %.3f s\n",
              Rows, Columns, libList, rawList);
  ReportAim("list view fill, library/raw time", libList / rawList, 1.30);
  std::printf("tree view, %d nodes:             library %.3f s, raw messages on a control of the same styles %.3f s\n",
              Nodes, libTree, rawTree);
  ReportAim("tree view fill, library/raw time", libTree / rawTree, 1.30);
  delete form;
  FinishUnits();
  return BenchExitCode();
}
