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

// The view state: what the table shows, which every command reads to find
// the entry of a row.
//   isSearchView, searchListShown, searchDepth: the rows are search hits
//     (1, 1, 0) or a folder (0, 1, 0); no other combination is shown.
//   hasParentRow: row 0 is ".." (a folder below the root; never for hits).
//   shownList and ShownEntries->Children: the entries behind the rows.
//   currentTreeNode, the tree's selection: the folder shown (before a
//     search: the folder the search left, which the ways out return to).
// ShowFolder sets all of them for a folder, ShowSearchResults for the hits,
// ResetViewState forgets them when the trees go; nothing else writes them.
void TInfoFileForm::ShowFolder(TUcTreeNode* node) {
  isSearchView = 0;
  searchListShown = 1;
  searchDepth = 0;
  ShownEntries->Children->Clear();
  shownList = nullptr;
  hasParentRow = 0;
  currentTreeNode = node;
  if (!node) {
    lvInfo->Items()->Clear();
    return;
  }
  // currentTreeNode is set first: the selection change is not a user's move.
  if (tvTreeOfFile->Selected() != node) tvTreeOfFile->SetSelected(node);
  const AnsiString path = GetTreeNodePath(this, node);
  // The fill writes hasParentRow as it adds the ".." row.
  shownList = FillListView(this, path + "*", rootNode, DisplayPathOf(path));
}

void TInfoFileForm::MoveToFolder(TUcTreeNode* node) {
  if (!node || (node == currentTreeNode && !isSearchView)) return;
  // A repeated move does not push the same folder twice in a row.
  if (currentTreeNode && node != currentTreeNode && (backHistory.empty() || backHistory.back() != currentTreeNode))
    PushHistory();
  ShowFolder(node);
  ClearForwardHistory(this);
}

void TInfoFileForm::LeaveSearchView() {
  if (!isSearchView) return;
  TUcTreeNode* folder = currentTreeNode ? currentTreeNode : tvTreeOfFile->Selected();
  if (!folder) folder = RootTreeNode();
  ShowFolder(folder);
  if (lvInfo->Items()->Count() > 0) SelectFirstRow();
  ClearForwardHistory(this);
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
  if (!node || !node->Selected()) return;
  // A click on the folder shown leaves the search results for it.
  MoveToFolder(node);
}

void TInfoFileForm::tvTreeOfFileClick(TObject*) {
  TUcTreeNode* selected = tvTreeOfFile->Selected();
  if (!selected) return;
  selected->SetSelectedIndex(2);
  const bool wasSearchView = isSearchView;
  MoveToFolder(selected);
  if (!wasSearchView) {
    Application->ProcessMessages();
    tvTreeOfFile->Repaint();
    lvInfo->Repaint();
    Application->ProcessMessages();
  }
}

void TInfoFileForm::tvTreeOfFileChange(TObject*, TTreeNode* node) {
  // The selection moved by the keyboard (arrows, Home, End, first letters,
  // "-" closing the folder around it) or the mouse: the table follows as on
  // a click. Moves made by the program set currentTreeNode first, and the
  // trees being rebuilt or filled by a job are left alone.
  if (!node || treeRebuilds > 0 || jobRunning || !rootNode || destroying) return;
  auto* ucNode = static_cast<TUcTreeNode*>(node);
  if (ucNode == currentTreeNode && !isSearchView) return;
  MoveToFolder(ucNode);
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

namespace {

// The tree node of a folder entry below parent: by its entry, else by name.
TUcTreeNode* ChildOfEntry(TUcTreeNode* parent, const ListNode* entry) {
  if (!parent || !entry) return nullptr;
  for (TUcTreeNode* child = parent->getFirstChild(); child; child = child->getNextSibling())
    if (child->Data() == entry) return child;
  return ChildNamed(parent, NameOf(entry));
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
    // Only a folder the tree shows is entered: the table never shows a
    // folder the tree does not select.
    TUcTreeNode* child = ChildOfEntry(currentTreeNode ? currentTreeNode : tree, entry);
    if (!child) return;
    PushHistory();
    ShowFolder(child);
    child->Expand(false);
    SelectFirstRow();
    ClearForwardHistory(this);
  } else {
    // The ".." row: up to the parent, the folder left selected.
    TUcTreeNode* left = currentTreeNode ? currentTreeNode : tree;
    TUcTreeNode* parent = left->Parent();
    if (!parent) return;
    PushHistory();
    ShowFolder(parent);
    left->Collapse(false);
    if (!SelectRowByCaption(left->Text(), 1)) SelectFirstRow();
    ClearForwardHistory(this);
  }
  if (TUcTreeNode* selected = tvTreeOfFile->Selected()) selected->SetSelectedIndex(2);
}

// In the search results Up, Back and Forward (with a forward history) leave
// the results for the folder the search was made from.
void TInfoFileForm::spbtUpClick(TObject*) {
  if (isSearchView) {
    LeaveSearchView();
    return;
  }
  TUcTreeNode* tree = currentTreeNode ? currentTreeNode : tvTreeOfFile->Selected();
  if (!tree || !tree->Parent()) return;
  TUcTreeNode* parent = tree->Parent();
  PushHistory();
  ShowFolder(parent);
  tree->Collapse(false);
  ClearForwardHistory(this);
  if (!SelectRowByCaption(tree->Text(), 0)) SelectFirstRow();
}

void TInfoFileForm::spbtBackClick(TObject*) {
  if (isSearchView) {
    LeaveSearchView();
    return;
  }
  if (backHistory.empty()) return;
  TUcTreeNode* back = backHistory.back();
  if (currentTreeNode) {
    forwardHistory.push_back(currentTreeNode);
    UcControl_SetHint(spbtForward, currentTreeNode->Text());
  }
  backHistory.pop_back();
  UcControl_SetHint(spbtBack, backHistory.empty() ? localization->GetHintText(1) : backHistory.back()->Text());
  const WideString left = NodeText(currentTreeNode);
  ShowFolder(back);
  if (!SelectRowByCaption(left, 0)) SelectFirstRow();
}

void TInfoFileForm::spbtForwardClick(TObject*) {
  if (!forwardHistory.empty()) {
    if (isSearchView) {
      LeaveSearchView();
      return;
    }
    TUcTreeNode* forward = forwardHistory.back();
    PushHistory();
    forwardHistory.pop_back();
    const WideString left = NodeText(currentTreeNode);
    ShowFolder(forward);
    if (forwardHistory.empty())
      UpdateForwardHint(this);
    else
      UcControl_SetHint(spbtForward, forwardHistory.back()->Text());
    if (!SelectRowByCaption(left, 0)) SelectFirstRow();
    return;
  }
  if (lvInfo->Selected()) {
    lvInfoDblClick(lvInfo);
    return;
  }
  if (isSearchView) return;
  TUcTreeNode* tree = currentTreeNode ? currentTreeNode : tvTreeOfFile->Selected();
  TUcTreeNode* child = tree ? tree->getFirstChild() : nullptr;
  if (!child) return;
  PushHistory();
  ShowFolder(child);
  child->Expand(false);
  SelectFirstRow();
}
