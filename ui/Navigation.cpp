// Moving between the folders of the loaded list: the folder tree, double
// click and Enter on table rows, the ".." row, Up, Back and Forward, with the
// two histories and the hints of the Back and Forward buttons.
#include "Mainunit.h"
#include "sysutils.h"

namespace {

AnsiString NameOf(const ListNode* node) { return FieldText(node->Name); }

// The entry a folder-tree node carries (AttachFolderEntries, FillFolderTree,
// the import's absent folders).
ListNode* EntryOf(TTreeNode* node) { return node ? static_cast<ListNode*>(node->Data()) : nullptr; }

}  // namespace

TUcTreeNode* TInfoFileForm::RootTreeNode() { return tvTreeOfFile->Items()->GetFirstNode(); }

// The view state: what the table shows, which every command reads to find
// the entry of a row.
//   isSearchView, searchListShown, searchDepth: a folder (0, 1, 0), the
//     search hits (1, 1, 0), or a folder reached from a hit by Forward
//     (1, 0, levels below the hit); no other combination is shown.
//   hasParentRow: row 0 is ".." (a folder below the root; never for hits);
//     RowEntry skips it, whatever the view.
//   shownList and ShownEntries->Children: the entries behind the rows.
//   currentTreeNode, the tree's selection: the folder shown (with the hits:
//     the folder shown last, before the search or on the road from them;
//     the all-entries view goes back there).
//   lastSearchRow: the hit last chosen, selected when the hits come back.
// ShowFolder and ShowFolderOfHits set them for a folder, ShowSearchResults
// for the hits (the search empties the rows' entries before it looks),
// ResetViewState forgets them when the trees go.
namespace {

// The folder of a tree node filled in from the entry the node carries (never
// looked up again by its names: twins share them) and selected in the tree.
void ShowFolderRows(TInfoFileForm* form, TUcTreeNode* node) {
  ShownEntries->Children->Clear();
  form->shownList = nullptr;
  form->hasParentRow = 0;
  form->currentTreeNode = node;
  if (!node) {
    form->lvInfo->Items()->Clear();
    return;
  }
  // currentTreeNode is set first: the selection change is not a user's move.
  if (form->tvTreeOfFile->Selected() != node) form->tvTreeOfFile->SetSelected(node);
  ListNode* folder = EntryOf(node);
  // The fill writes hasParentRow as it adds the ".." row.
  form->shownList = FillListView(form, folder, folder ? FolderDisplayPath(folder) : AnsiString());
}

}  // namespace

void TInfoFileForm::ShowFolder(TUcTreeNode* node) {
  isSearchView = 0;
  searchListShown = 1;
  searchDepth = 0;
  ShowFolderRows(this, node);
}

void TInfoFileForm::ShowFolderOfHits(TUcTreeNode* node, int depth) {
  isSearchView = 1;
  searchListShown = 0;
  searchDepth = depth;
  ShowFolderRows(this, node);
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
  if (items->Count() >= 2 && hasParentRow)
    SelectRow(lvInfo, 1);
  else
    SelectRow(lvInfo, 0);
}

bool TInfoFileForm::SelectRowOfEntry(const ListNode* entry) {
  if (!entry) return false;
  TList* shown = ShownEntries->Children;
  for (int i = 0; i < shown->Count(); ++i)
    if (shown->Items(i) == entry) {
      const int row = i + (hasParentRow ? 1 : 0);
      if (row >= lvInfo->Items()->Count()) return false;
      SelectRow(lvInfo, row);
      return true;
    }
  return false;
}

void TInfoFileForm::ReturnToSearchResults() {
  if (!isSearchView || !searchListShown) ShowSearchResults(searchResults, searchResultPaths, searchBasePath);
  TUcListItems* items = lvInfo->Items();
  for (int row : SelectedRows()) items->Item(row)->SetSelected(false);
  if (lastSearchRow >= 0 && lastSearchRow < items->Count()) SelectRow(lvInfo, lastSearchRow);
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
  } else if (row->Index() == 0 && form->hasParentRow) {
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
  // The folder shown (also on the road from the hits) is no move; with the
  // hits in the table it is.
  if (ucNode == currentTreeNode && !(isSearchView && searchListShown)) return;
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

// The tree node of a folder entry below parent; null when the tree does not
// show that folder.
TUcTreeNode* ChildOfEntry(TUcTreeNode* parent, const ListNode* entry) {
  if (!parent || !entry) return nullptr;
  for (TUcTreeNode* child = parent->getFirstChild(); child; child = child->getNextSibling())
    if (child->Data() == entry) return child;
  return nullptr;
}

}  // namespace

void TInfoFileForm::lvInfoDblClick(TObject*) {
  TUcTreeNode* tree = tvTreeOfFile->Selected();
  TUcListItem* row = lvInfo->Selected();
  if (!tree || !row) return;
  if (isSearchView && searchListShown) {
    EnterSearchResult(row->Index());
    return;
  }
  // A folder, also one reached from the hits: its rows are read as shown,
  // and a move from there leaves the search view.
  if (!shownList) return;
  TUcTreeNode* shown = currentTreeNode ? currentTreeNode : tree;
  if (hasParentRow && row->Index() == 0) {
    // The ".." row: up to the parent, the folder left selected.
    TUcTreeNode* parent = shown->Parent();
    if (!parent) return;
    PushHistory();
    ShowFolder(parent);
    shown->Collapse(false);
    if (!SelectRowOfEntry(EntryOf(shown))) SelectFirstRow();
    ClearForwardHistory(this);
  } else {
    ListNode* entry = RowEntry(row->Index());
    if (!entry || entry->Kind != ekFolder) return;
    // Only a folder the tree shows is entered: the table never shows a
    // folder the tree does not select.
    TUcTreeNode* child = ChildOfEntry(shown, entry);
    if (!child) return;
    PushHistory();
    ShowFolder(child);
    child->Expand(false);
    SelectFirstRow();
    ClearForwardHistory(this);
  }
  if (TUcTreeNode* selected = tvTreeOfFile->Selected()) selected->SetSelectedIndex(2);
}

// The road from the search results: Forward enters a folder hit (or, with
// no row chosen, the first folder below the one shown), and Up, Back and
// Forward with a forward history climb back level by level to the hits. The
// histories stay as they were before the search: the road is its own way
// back.
void TInfoFileForm::spbtUpClick(TObject*) {
  if (isSearchView && (searchListShown || searchDepth <= 0)) {
    ReturnToSearchResults();
    return;
  }
  TUcTreeNode* tree = currentTreeNode ? currentTreeNode : tvTreeOfFile->Selected();
  if (!tree || !tree->Parent()) return;
  TUcTreeNode* parent = tree->Parent();
  if (isSearchView) {
    ShowFolderOfHits(parent, searchDepth - 1);
    tree->Collapse(false);
  } else {
    PushHistory();
    ShowFolder(parent);
    tree->Collapse(false);
    ClearForwardHistory(this);
  }
  if (!SelectRowOfEntry(EntryOf(tree))) SelectFirstRow();
}

void TInfoFileForm::spbtBackClick(TObject*) {
  if (isSearchView) {
    spbtUpClick(spbtUp);
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
  const ListNode* left = EntryOf(currentTreeNode);
  ShowFolder(back);
  if (!SelectRowOfEntry(left)) SelectFirstRow();
}

void TInfoFileForm::spbtForwardClick(TObject*) {
  if (!forwardHistory.empty()) {
    if (isSearchView) {
      spbtUpClick(spbtUp);
      return;
    }
    TUcTreeNode* forward = forwardHistory.back();
    PushHistory();
    forwardHistory.pop_back();
    const ListNode* left = EntryOf(currentTreeNode);
    ShowFolder(forward);
    if (forwardHistory.empty())
      UpdateForwardHint(this);
    else
      UcControl_SetHint(spbtForward, forwardHistory.back()->Text());
    if (!SelectRowOfEntry(left)) SelectFirstRow();
    return;
  }
  if (isSearchView && searchListShown) {
    // Only the hit chosen is entered: after Back that is the one chosen last.
    if (TUcListItem* row = lvInfo->Selected()) ForwardIntoHit(row->Index());
    return;
  }
  if (lvInfo->Selected()) {
    lvInfoDblClick(lvInfo);
    return;
  }
  TUcTreeNode* tree = currentTreeNode ? currentTreeNode : tvTreeOfFile->Selected();
  TUcTreeNode* child = tree ? tree->getFirstChild() : nullptr;
  if (!child) return;
  if (isSearchView) {
    ShowFolderOfHits(child, searchDepth + 1);
  } else {
    PushHistory();
    ShowFolder(child);
  }
  child->Expand(false);
  SelectFirstRow();
}
