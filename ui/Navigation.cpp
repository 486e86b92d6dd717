// Moving between the folders of the loaded list: the folder tree, double
// click and Enter on table rows, the ".." row, Up, Back and Forward, with the
// two histories and the hints of the Back and Forward buttons.
#include "Mainunit.h"
#include "sysutils.h"

namespace {

AnsiString NameOf(const ListNode* node) { return FieldText(node->Name); }

WideString NodeText(TTreeNode* node) { return node ? static_cast<TUcTreeNode*>(node)->Text() : WideString(); }

}  // namespace

TUcTreeNode* TInfoFileForm::RootTreeNode() { return tvTreeOfFile->Items()->GetFirstNode(); }

void TInfoFileForm::ShowFolder(TUcTreeNode* node) {
  ShownEntries->Children->Clear();
  shownList = nullptr;
  if (!node) return;
  const AnsiString path = GetTreeNodePath(this, node);
  shownList = FillListView(this, path + "*", rootNode, DisplayPathOf(path));
}

namespace {

void SelectRow(TUcListView* list, int index) {
  TUcListItem* item = list->Items()->Item(index);
  item->SetSelected(true);
  item->SetFocused(true);
  item->MakeVisible(false);
}

}  // namespace

void TInfoFileForm::SelectFirstRow() {
  TUcListItems* items = lvInfo->Items();
  if (items->Count() == 0) return;
  if (items->Count() >= 2 && items->Item(0)->Caption() == L"..")
    SelectRow(lvInfo, 1);
  else
    SelectRow(lvInfo, 0);
}

bool TInfoFileForm::SelectRowByCaption(const WideString& text, int from) {
  // Exact: names that differ only in case are different folders.
  TUcListItems* items = lvInfo->Items();
  for (int i = from < 0 ? 0 : from; i < items->Count(); ++i)
    if (items->Item(i)->Caption() == text) {
      SelectRow(lvInfo, i);
      return true;
    }
  return false;
}

void TInfoFileForm::PushHistory() {
  if (!currentTreeNode) return;
  backHistory.push_back(currentTreeNode);
  UcControl_SetHint(spbtBack, currentTreeNode->Text());
}

void ClearForwardHistory(TInfoFileForm* form) {
  form->forwardHistory.clear();
  UpdateForwardHint(form);
}

void UpdateForwardHint(TInfoFileForm* form) {
  if (!form->localization || !form->lvInfo || !form->lvInfo->HandleAllocated()) return;
  if (form->destroying || (form->ComponentState() & csDestroying)) return;
  TUcListItem* row = form->lvInfo->Selected();
  WideString hint;
  if (!row) {
    hint = form->localization->GetHintText(2);
  } else if (row->Index() == 0 && form->hasParentRow && !form->isSearchView) {
    TUcTreeNode* selected = form->tvTreeOfFile->Selected();
    hint = selected && selected->Parent() ? selected->Parent()->Text() : WideString();
  } else {
    ListNode* entry = form->RowEntry(row->Index());
    hint = entry && entry->Kind == ekFolder ? AnsiToWide(NameOf(entry)) : form->localization->GetHintText(2);
  }
  UcControl_SetHint(form->spbtForward, hint);
}

void TInfoFileForm::tvTreeOfFileMouseUp(TObject*, TMouseButton, TShiftState, int x, int y) {
  TUcTreeNode* node = tvTreeOfFile->GetNodeAt(x, y);
  if (!node) return;
  if (!((node->Selected() && node != currentTreeNode) || isSearchView)) return;
  isSearchView = 0;
  // A repeated click does not push the same folder twice in a row.
  if (backHistory.empty() || backHistory.back() != currentTreeNode) PushHistory();
  currentTreeNode = node;
  ShowFolder(node);
  ClearForwardHistory(this);
}

void TInfoFileForm::tvTreeOfFileClick(TObject*) {
  const bool wasSearchView = isSearchView;
  isSearchView = 0;
  TUcTreeNode* selected = tvTreeOfFile->Selected();
  if (!selected) return;
  selected->SetSelectedIndex(2);
  if (!wasSearchView) {
    Application->ProcessMessages();
    tvTreeOfFile->Repaint();
    lvInfo->Repaint();
    Application->ProcessMessages();
  }
}

void TInfoFileForm::tvTreeOfFileCollapsed(TObject*, TTreeNode*) {}

void TInfoFileForm::tvTreeOfFileExpanded(TObject*, TTreeNode*) {}

void TInfoFileForm::lvInfoKeyDown(TObject*, WORD& key, TShiftState) {
  if (key == VK_RETURN) lvInfoDblClick(lvInfo);
}

void TInfoFileForm::lvInfoChange(TObject*, TListItem* item, TItemChange change) {
  if (change == ctState && item && item->Selected() && forwardHistory.empty()) UpdateForwardHint(this);
}

namespace {

// The entry of a row: through the shown entries, or by its name in the
// folder's list when the row does not name it.
ListNode* EntryOfRow(TInfoFileForm* form, TUcListItem* row) {
  ListNode* entry = form->RowEntry(row->Index());
  const AnsiString caption = AnsiUpperCase(WideToAnsi(row->Caption()));
  if (entry && AnsiUpperCase(NameOf(entry).Trim()) == caption) return entry;
  if (!form->shownList) return entry;
  for (int i = 0; i < form->shownList->Count(); ++i) {
    auto* candidate = static_cast<ListNode*>(form->shownList->Items(i));
    if (AnsiUpperCase(NameOf(candidate).Trim()) == caption) return candidate;
  }
  return entry;
}

TUcTreeNode* ChildNamed(TUcTreeNode* parent, const AnsiString& name) {
  if (!parent) return nullptr;
  for (TUcTreeNode* child = parent->getFirstChild(); child; child = child->getNextSibling())
    if (WideToAnsi(child->Text()) == name) return child;
  return nullptr;
}

}  // namespace

void TInfoFileForm::lvInfoDblClick(TObject*) {
  TUcTreeNode* tree = tvTreeOfFile->Selected();
  TUcListItem* row = lvInfo->Selected();
  if (!tree || !row) return;
  if (isSearchView) {
    EnterSearchResult(row->Index());
    return;
  }
  if (!shownList) return;
  if (!hasParentRow || row->Index() != 0 || row->Caption() != L"..") {
    // A folder row: enter it.
    ListNode* entry = EntryOfRow(this, row);
    if (!entry || entry->Kind != ekFolder) return;
    const AnsiString name = NameOf(entry);
    const AnsiString path = GetTreeNodePath(this, tree) + "*" + name;
    ShownEntries->Children->Clear();
    shownList = FillListView(this, path + "*", rootNode, DisplayPathOf(path));
    SelectFirstRow();
    TUcTreeNode* child = ChildNamed(tree, name);
    PushHistory();
    if (child) {
      currentTreeNode = child;
      child->Expand(false);
      tvTreeOfFile->SetSelected(child);
    }
    ClearForwardHistory(this);
  } else {
    // The ".." row: up to the parent, the folder left selected.
    TUcTreeNode* parent = tree->Parent();
    if (!parent) return;
    ShowFolder(parent);
    if (!SelectRowByCaption(tree->Text(), 1)) SelectFirstRow();
    PushHistory();
    currentTreeNode = parent;
    tvTreeOfFile->SetSelected(parent);
    tree->Collapse(false);
    ClearForwardHistory(this);
  }
  if (TUcTreeNode* selected = tvTreeOfFile->Selected()) selected->SetSelectedIndex(2);
}

void TInfoFileForm::spbtUpClick(TObject*) {
  TUcTreeNode* tree = tvTreeOfFile->Selected();
  if (!tree || !tree->Parent()) return;
  TUcTreeNode* parent = tree->Parent();
  tvTreeOfFile->SetSelected(parent);
  tree->Collapse(false);
  PushHistory();
  currentTreeNode = parent;
  ShowFolder(parent);
  ClearForwardHistory(this);
  if (!SelectRowByCaption(tree->Text(), 0)) SelectFirstRow();
}

void TInfoFileForm::spbtBackClick(TObject*) {
  if (backHistory.empty()) return;
  TUcTreeNode* back = backHistory.back();
  if (currentTreeNode) {
    forwardHistory.push_back(currentTreeNode);
    UcControl_SetHint(spbtForward, currentTreeNode->Text());
  }
  backHistory.pop_back();
  UcControl_SetHint(spbtBack, backHistory.empty() ? localization->GetHintText(1) : backHistory.back()->Text());
  tvTreeOfFile->SetSelected(back);
  const WideString left = NodeText(currentTreeNode);
  currentTreeNode = back;
  ShowFolder(back);
  if (!SelectRowByCaption(left, 0)) SelectFirstRow();
}

void TInfoFileForm::spbtForwardClick(TObject*) {
  if (!forwardHistory.empty()) {
    TUcTreeNode* forward = forwardHistory.back();
    PushHistory();
    forwardHistory.pop_back();
    if (forwardHistory.empty())
      UpdateForwardHint(this);
    else
      UcControl_SetHint(spbtForward, forwardHistory.back()->Text());
    tvTreeOfFile->SetSelected(forward);
    const WideString left = NodeText(currentTreeNode);
    currentTreeNode = forward;
    ShowFolder(forward);
    if (!SelectRowByCaption(left, 0)) SelectFirstRow();
    return;
  }
  if (lvInfo->Selected()) {
    lvInfoDblClick(lvInfo);
    return;
  }
  TUcTreeNode* tree = tvTreeOfFile->Selected();
  TUcTreeNode* child = tree ? tree->getFirstChild() : nullptr;
  if (!child) return;
  tvTreeOfFile->SetSelected(child);
  child->Expand(false);
  PushHistory();
  currentTreeNode = child;
  ShowFolder(child);
  SelectFirstRow();
}
