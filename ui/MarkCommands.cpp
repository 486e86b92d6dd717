// The commands that annotate the entries behind the selected rows: the
// damaged mark, needed and not needed, clearing marks, the comment (from the
// command and from a click on the comment cell), and the table's pop-up
// menu. Every row is mapped to its entry by RowEntry, in every view.
#include "Commentunit.h"
#include "Mainunit.h"
#include "Marks.h"
#include "sysutils.h"

namespace {

constexpr int kAttributesCell = 3;  // sub-item of the attributes column
constexpr int kCommentCell = 4;     // sub-item of the comment column

void SetCell(TUcListView* list, int row, int cell, const WideString& text) {
  if (row < 0 || row >= list->Items()->Count()) return;
  TWideSubItems* sub = list->Items()->Item(row)->SubItems();
  if (cell < sub->GetCount()) sub->Put(cell, text);
}

WideString Cell(TUcListView* list, int row, int cell) {
  if (row < 0 || row >= list->Items()->Count()) return WideString();
  TWideSubItems* sub = list->Items()->Item(row)->SubItems();
  return cell < sub->GetCount() ? sub->Get(cell) : WideString();
}

// The attributes cell as it follows the damaged mark of the entry.
void ShowDamagedCell(TUcListView* list, int row, const ListNode* entry) {
  SetCell(list, row, kAttributesCell,
          AttributeCellAfterToggle(Cell(list, row, kAttributesCell), (entry->Attributes & DamagedBit) != 0));
}

}  // namespace

std::vector<int> TInfoFileForm::SelectedRows() {
  std::vector<int> rows;
  if (!lvInfo->HandleAllocated()) return rows;
  const HWND list = lvInfo->Handle();
  for (int i = -1;;) {
    i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED));
    if (i < 0) break;
    rows.push_back(i);
  }
  return rows;
}

namespace {

// Runs a mark command on the entries of the selected rows; message 15 when
// no row is selected. Rows repaint in their new colours at once.
template <class Apply> void MarkSelected(TInfoFileForm* form, Apply apply) {
  const std::vector<int> rows = form->SelectedRows();
  if (rows.empty()) {
    ShowMessageNumber(*form, msgNoSelection);
    return;
  }
  bool changed = false;
  for (int row : rows)
    if (ListNode* entry = form->RowEntry(row)) changed |= apply(row, entry);
  if (changed) form->isModified = 1;
  form->lvInfo->Invalidate();
}

}  // namespace

void TInfoFileForm::N1Click(TObject*) {
  MarkSelected(this, [](int, ListNode* e) { return MarkNeeded(*::ViewFilter, e); });
}

void TInfoFileForm::N2Click(TObject*) {
  MarkSelected(this, [](int, ListNode* e) { return MarkNotNeeded(*::ViewFilter, e); });
}

// Clears in place: the view is not rebuilt (the rows, the folder shown and
// the histories stay), only the attributes cells follow.
void TInfoFileForm::N6Click(TObject*) {
  MarkSelected(this, [&](int row, ListNode* e) {
    const bool wasDamaged = e->Attributes & DamagedBit;
    const bool changed = ClearMarks(*::ViewFilter, e);
    if (wasDamaged) ShowDamagedCell(lvInfo, row, e);
    return changed;
  });
}

void TInfoFileForm::spbtDamagedClick(TObject*) {
  bool changed = false;
  MarkSelected(this, [&](int row, ListNode* e) {
    if (!ToggleDamaged(e)) return false;
    ShowDamagedCell(lvInfo, row, e);
    changed = true;
    return true;
  });
  if (changed) RebuildFilteredView();
}

void TInfoFileForm::EditRowComment(int row) {
  ListNode* entry = RowEntry(row);
  if (!entry || !CommentForm) return;
  const AnsiString old = FieldText(entry->Comment);
  if (!old.IsEmpty()) commentText = old;
  commentEntryName = WideToAnsi(lvInfo->Items()->Item(row)->Caption());
  commentTargetKind = entry->Kind;
  try {
    if (CommentForm->ShowModal() == mrOk) {
      if (StoreComment(entry, commentText)) isModified = 1;
      SetCell(lvInfo, row, kCommentCell, AnsiToWide(FieldText(entry->Comment)));
    }
  } catch (...) {
    commentText = "";
    throw;
  }
  commentText = "";
}

void TInfoFileForm::spbtCommentClick(TObject*) {
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) {
    ShowMessageNumber(*this, msgChooseForComment);
    return;
  }
  if (rows.size() > 1) {
    ShowMessageNumber(*this, msgManySelected);
    return;
  }
  EditRowComment(rows.front());
}

void TInfoFileForm::lvInfoMouseDown(TObject*, TMouseButton, TShiftState, int x, int y) {
  LVHITTESTINFO hit = {};
  hit.pt.x = x;
  hit.pt.y = y;
  SendMessageW(lvInfo->Handle(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  if (hit.iItem < 0 || hit.iSubItem != kCommentCell + 1 || hit.iItem >= lvInfo->Items()->Count()) return;
  if (!RowEntry(hit.iItem)) return;  // the ".." row
  if (Cell(lvInfo, hit.iItem, kCommentCell) == L"----") return;
  EditRowComment(hit.iItem);
}

void TInfoFileForm::lvInfoContextPopup(TObject*, TPoint, bool&) {
  TMenuItem* items[] = {pupDamaged, N1, N2, N8, pupComment};
  for (TMenuItem* item : items) item->SetVisible(true);
  const std::vector<int> rows = SelectedRows();
  ListNode* first = nullptr;
  for (int row : rows)
    if ((first = RowEntry(row))) break;
  if (rows.empty()) ShowMessageNumber(*this, msgNoSelection);
  if (!first) {
    for (TMenuItem* item : items) item->SetVisible(false);
    return;
  }
  pupDamaged->SetEnabled(first->Kind != ekFolder);
}
