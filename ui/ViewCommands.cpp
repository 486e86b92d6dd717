// The view filters of the main window: the damaged-and-absent view and the
// marked view, which show only the matching branches of the folder tree and
// the matching entries of the table, and the way back to the full tree.
// The filtered tree is made from the entries, and so is the full tree when
// the filter is lifted: no copy of the tree is kept that could go stale.
#include "Mainunit.h"
#include "sysutils.h"

namespace {

ListNode* EntryOf(TTreeNode* node) { return node ? static_cast<ListNode*>(node->Data()) : nullptr; }

}  // namespace

void TInfoFileForm::AttachFolderEntries() {
  // The tree mirrors the folders in their list order: the children of a
  // node are the folder children of its entry, in order.
  TUcTreeNode* root = RootTreeNode();
  if (!root || !rootNode) return;
  root->SetData(rootNode);
  std::vector<std::pair<TTreeNode*, ListNode*>> pending{{root, rootNode}};
  while (!pending.empty()) {
    auto [node, entry] = pending.back();
    pending.pop_back();
    int next = 0;
    for (TTreeNode* child = node->getFirstChild(); child; child = child->getNextSibling()) {
      while (next < entry->ChildCount() && entry->Child(next)->Kind != ekFolder) ++next;
      if (next >= entry->ChildCount()) break;
      ListNode* folder = entry->Child(next++);
      child->SetData(folder);
      pending.emplace_back(child, folder);
    }
  }
}

TUcTreeNode* TInfoFileForm::TreeNodeOfEntry(const ListNode* entry) {
  if (!entry) return nullptr;
  TUcTreeNodes* nodes = tvTreeOfFile->Items();
  for (TUcTreeNode* node = nodes->GetFirstNode(); node; node = node->GetNext())
    if (node->Data() == entry) return node;
  return nullptr;
}

bool TInfoFileForm::FullTreeSaved() { return filteredTreeShown; }

void TInfoFileForm::RestoreFullTree() {
  if (!filteredTreeShown) return;
  ListNode* selected = savedTreeEntry;
  const WideString rootText = rootNodeText;
  TUcTreeNodes* nodes = tvTreeOfFile->Items();
  TTreeRebuild rebuild(this);
  nodes->BeginUpdate();
  try {
    // The history names nodes of the tree about to be replaced.
    ResetViewState();
    lvInfo->Items()->Clear();
    nodes->Clear();
    FillFolderTree(nullptr);
    TUcTreeNode* root = nodes->GetFirstNode();
    if (root) {
      root->SetText(rootText);
      root->Expand(false);
    }
    TUcTreeNode* node = TreeNodeOfEntry(selected);
    if (!node) node = root;
    if (node) {
      for (TTreeNode* p = node->Parent(); p; p = p->Parent()) p->Expand(false);
      ShowFolder(node);
      node->SetSelectedIndex(2);
    }
  } catch (...) {
    nodes->EndUpdate();
    throw;
  }
  nodes->EndUpdate();
}

void TInfoFileForm::RebuildFilteredView() {
  TUcTreeNode* selected = tvTreeOfFile->Selected();
  if (!selected || !rootNode) return;
  const uint8_t mode = ::ViewFilter->GetMode();
  // The all-entries view over the full tree has nothing to rebuild: the
  // table keeps what it shows (search results too).
  if (mode != vmDamaged && mode != vmMarked) {
    if (filteredTreeShown) ShowAllEntries(*::ViewFilter, *this, *this);
    return;
  }
  TUcTreeNodes* nodes = tvTreeOfFile->Items();
  if (!filteredTreeShown) {
    savedTreeEntry = EntryOf(selected);
    if (TUcTreeNode* root = nodes->GetFirstNode()) rootNodeText = root->Text();
  }
  ListNode* keepSelection = savedTreeEntry;
  const WideString rootText = rootNodeText;
  TTreeRebuild rebuild(this);
  nodes->BeginUpdate();
  try {
    ResetViewState();
    lvInfo->Items()->Clear();
    nodes->Clear();
    FillFolderTree(ViewFolderTest(rootNode, mode));
    filteredTreeShown = true;
    savedTreeEntry = keepSelection;
    rootNodeText = rootText;
    TUcTreeNode* root = nodes->GetFirstNode();
    if (root) {
      root->SetText(rootText);
      root->Expand(false);
      ShowFolder(root);
      root->SetSelectedIndex(2);
    }
  } catch (...) {
    nodes->EndUpdate();
    ShowMessageNumber(*this, msgTreeBuildFailed);
    ClearHistories();
    return;
  }
  nodes->EndUpdate();
  ClearHistories();
  tvTreeOfFile->Repaint();
  lvInfo->Repaint();
}

namespace {

void SwitchView(TInfoFileForm* form, uint8_t mode) {
  ::ViewFilter->SetMode(mode);
  form->UpdateViewMenuChecks(mode);
  form->RebuildFilteredView();
}

}  // namespace

void TInfoFileForm::mmViewDamagedClick(TObject*) { SwitchView(this, vmDamaged); }

void TInfoFileForm::mmNeededClick(TObject*) { SwitchView(this, vmMarked); }
