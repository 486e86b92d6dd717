#include "treeview.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "filer.h"
#include "itemviews_shared.h"

CL_DEFINE_CLASS(ETreeViewError, Exception)
CL_DEFINE_CLASS(TTreeNode, TPersistent)
CL_DEFINE_CLASS(TTreeNodes, TPersistent)
CL_DEFINE_COMPONENT(TCustomTreeView, TWinControl)
CL_DEFINE_COMPONENT(TTreeView, TCustomTreeView)

namespace {

TClassFactories<TTreeNodeFactory> NodeClasses;

// The node that follows node's branch in pre-order (null: the branch ends the
// tree). Every walk over a branch is a loop up to it: a list may be tens of
// thousands of folders deep, more than the stack holds frames for.
TTreeNode* AfterBranch(const TTreeNode* node) {
  for (const TTreeNode* n = node; n; n = n->Parent())
    if (n->getNextSibling()) return n->getNextSibling();
  return nullptr;
}

int SubtreeSize(const TTreeNode* node) {
  int n = 0;
  const TTreeNode* end = AfterBranch(node);
  for (const TTreeNode* c = node; c && c != end; c = c->GetNext()) ++n;
  return n;
}

}  // namespace

TCustomTreeView* OwningView(TTreeNode* node) { return node->TreeView(); }
const AnsiString& SortText(TTreeNode* node) { return node->Text(); }

void RegisterTreeNodeClass(const TMetaClass* cls, TTreeNodeFactory factory) { NodeClasses.Register(cls, factory); }

TTreeNode* CreateTreeNodeOf(const TMetaClass* cls, TTreeNodes* owner) { return NodeClasses.Create(cls, owner); }

// ---------------------------------------------------------------------------
// TTreeNode

TTreeNode::TTreeNode(TTreeNodes* owner) : FOwner(owner) {}

TTreeNode::~TTreeNode() {
  if (FLinked && !FDeleting && FOwner) FOwner->DeleteNode(this, false);
}

TCustomTreeView* TTreeNode::TreeView() const { return FOwner ? FOwner->Owner() : nullptr; }

void TTreeNode::UpdateNativeItem(UINT mask) {
  TCustomTreeView* view = TreeView();
  if (!FItemId || !view || !view->HandleAllocated() || !view->FNativeItemsValid) return;
  TVITEMA item{};
  item.mask = mask | TVIF_HANDLE;
  item.hItem = FItemId;
  item.pszText = LPSTR_TEXTCALLBACKA;
  item.iImage = I_IMAGECALLBACK;
  item.iSelectedImage = I_IMAGECALLBACK;
  item.cChildren = HasChildren() ? 1 : 0;
  item.stateMask = TVIS_STATEIMAGEMASK | TVIS_OVERLAYMASK;
  item.state = INDEXTOSTATEIMAGEMASK(FStateIndex > 0 ? FStateIndex : 0) |
               INDEXTOOVERLAYMASK(FOverlayIndex >= 0 ? FOverlayIndex + 1 : 0);
  view->SendItemMessage(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void TTreeNode::SetText(const AnsiString& value) {
  if (value == FText) return;
  FText = value;
  UpdateNativeItem(TVIF_TEXT);
  TCustomTreeView* view = TreeView();
  if (view && FLinked && (view->FSortType == stText || view->FSortType == stBoth)) {
    if (FParent)
      FParent->AlphaSort(false);
    else
      view->AlphaSort(false);
  }
}

void TTreeNode::SetData(void* value) {
  if (value == FData) return;
  FData = value;
  TCustomTreeView* view = TreeView();
  if (view && FLinked && view->OnCompare && (view->FSortType == stData || view->FSortType == stBoth)) {
    if (FParent)
      FParent->AlphaSort(false);
    else
      view->AlphaSort(false);
  }
}

void TTreeNode::SetImageIndex(int value) {
  if (ChangeField(FImageIndex, value)) UpdateNativeItem(TVIF_IMAGE);
}

void TTreeNode::SetSelectedIndex(int value) {
  if (ChangeField(FSelectedIndex, value)) UpdateNativeItem(TVIF_SELECTEDIMAGE);
}

void TTreeNode::SetStateIndex(int value) {
  if (ChangeField(FStateIndex, value)) UpdateNativeItem(TVIF_STATE);
}

void TTreeNode::SetOverlayIndex(int value) {
  if (ChangeField(FOverlayIndex, value)) UpdateNativeItem(TVIF_STATE);
}

int TTreeNode::Level() const {
  int level = 0;
  for (TTreeNode* p = FParent; p; p = p->FParent) ++level;
  return level;
}

int TTreeNode::Index() const {
  int index = 0;
  for (TTreeNode* s = FPrevSibling; s; s = s->FPrevSibling) ++index;
  return index;
}

int TTreeNode::AbsoluteIndex() const {
  if (!FLinked) return -1;
  int index = 0;
  for (TTreeNode* n = GetPrev(); n; n = n->GetPrev()) ++index;
  return index;
}

TTreeNode* TTreeNode::Item(int index) const {
  if (index < 0 || index >= FCount) TList::Error(SListIndexOutOfBounds, index);
  TTreeNode* n = FFirstChild;
  while (index-- > 0) n = n->FNextSibling;
  return n;
}

int TTreeNode::IndexOf(TTreeNode* child) const {
  int index = 0;
  for (TTreeNode* n = FFirstChild; n; n = n->FNextSibling, ++index)
    if (n == child) return index;
  return -1;
}

bool TTreeNode::HasChildren() const { return FHasChildren >= 0 ? FHasChildren != 0 : FCount > 0; }

void TTreeNode::SetHasChildren(bool value) {
  FHasChildren = value ? 1 : 0;
  UpdateNativeItem(TVIF_CHILDREN);
}

UINT TTreeNode::NativeState(UINT mask) const {
  TCustomTreeView* view = TreeView();
  if (FItemId && view && view->HandleAllocated() && view->FNativeItemsValid)
    return static_cast<UINT>(view->SendItemMessage(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(FItemId), mask)) & mask;
  return FSavedState & mask;
}

void TTreeNode::SetNativeState(UINT state, bool on) {
  TCustomTreeView* view = TreeView();
  if (FItemId && view && view->HandleAllocated() && view->FNativeItemsValid) {
    TVITEMA item{};
    item.mask = TVIF_HANDLE | TVIF_STATE;
    item.hItem = FItemId;
    item.stateMask = state;
    item.state = on ? state : 0;
    view->SendItemMessage(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  } else if (on) {
    FSavedState |= state;
  } else {
    FSavedState &= ~state;
  }
}

bool TTreeNode::Expanded() const { return NativeState(TVIS_EXPANDED) != 0; }

void TTreeNode::SetExpanded(bool value) {
  if (value)
    Expand(false);
  else
    Collapse(false);
}

void TTreeNode::Expand(bool recurse) {
  if (recurse) {
    for (TTreeNode* n = this; n && (n == this || n->HasAsParent(this)); n = n->GetNext()) n->Expand(false);
    return;
  }
  TCustomTreeView* view = TreeView();
  if (Expanded() || !view->CanExpand(this)) return;
  HWND h = view->ItemsHandle();
  if (h && FItemId && view->FNativeItemsValid) {
    TCountScope manual(view->FManualNotify);
    view->SendItemMessage(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(FItemId));
  } else {
    FSavedState |= TVIS_EXPANDED;
  }
  view->Expanded(this);
}

void TTreeNode::Collapse(bool recurse) {
  if (recurse) {
    for (TTreeNode* n = this; n && (n == this || n->HasAsParent(this)); n = n->GetNext()) n->Collapse(false);
    return;
  }
  TCustomTreeView* view = TreeView();
  if (!Expanded() || !view->CanCollapse(this)) return;
  HWND h = view->ItemsHandle();
  if (h && FItemId && view->FNativeItemsValid) {
    TCountScope manual(view->FManualNotify);
    view->SendItemMessage(TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(FItemId));
  } else {
    FSavedState &= ~TVIS_EXPANDED;
  }
  view->Collapsed(this);
}

bool TTreeNode::Selected() const { return FLinked && TreeView()->Selected() == this; }

void TTreeNode::SetSelected(bool value) {
  TCustomTreeView* view = TreeView();
  if (value)
    view->SetSelected(this);
  else if (Selected())
    view->SetSelected(nullptr);
}

// The item state bit of the focus rectangle (older headers call it TVIS_FOCUSED).
constexpr UINT TreeItemFocused = 0x0001;

bool TTreeNode::Focused() const { return NativeState(TreeItemFocused) != 0; }
void TTreeNode::SetFocused(bool value) { SetNativeState(TreeItemFocused, value); }

bool TTreeNode::DropTarget() const { return FLinked && TreeView()->DropTarget() == this; }

void TTreeNode::SetDropTarget(bool value) {
  TCustomTreeView* view = TreeView();
  if (value)
    view->SetDropTarget(this);
  else if (DropTarget())
    view->SetDropTarget(nullptr);
}

bool TTreeNode::Cut() const { return NativeState(TVIS_CUT) != 0; }
void TTreeNode::SetCut(bool value) { SetNativeState(TVIS_CUT, value); }

bool TTreeNode::HasAsParent(TTreeNode* value) const {
  if (!value) return false;
  for (TTreeNode* p = FParent; p; p = p->FParent)
    if (p == value) return true;
  return false;
}

TTreeNode* TTreeNode::GetNext() const {
  if (FFirstChild) return FFirstChild;
  for (const TTreeNode* n = this; n; n = n->FParent)
    if (n->FNextSibling) return n->FNextSibling;
  return nullptr;
}

TTreeNode* TTreeNode::GetPrev() const {
  TTreeNode* n = FPrevSibling;
  if (!n) return FParent;
  while (n->FLastChild) n = n->FLastChild;
  return n;
}

TTreeNode* TTreeNode::GetNextChild(TTreeNode* value) const { return value ? value->FNextSibling : nullptr; }
TTreeNode* TTreeNode::GetPrevChild(TTreeNode* value) const { return value ? value->FPrevSibling : nullptr; }

TTreeNode* TTreeNode::GetNextVisible() const {
  if (!IsVisible()) return nullptr;
  if (FFirstChild && Expanded()) return FFirstChild;
  for (const TTreeNode* n = this; n; n = n->FParent)
    if (n->FNextSibling) return n->FNextSibling;
  return nullptr;
}

TTreeNode* TTreeNode::GetPrevVisible() const {
  TTreeNode* n = FPrevSibling;
  if (!n) return FParent;
  while (n->FLastChild && n->Expanded()) n = n->FLastChild;
  return n;
}

bool TTreeNode::IsVisible() const {
  for (TTreeNode* p = FParent; p; p = p->FParent)
    if (!p->Expanded()) return false;
  return FLinked;
}

void TTreeNode::Delete() {
  if (FOwner) FOwner->Delete(this);
}

void TTreeNode::DeleteChildren() {
  if (!FOwner) return;
  FOwner->BeginUpdate();
  try {
    while (FLastChild) FOwner->Delete(FLastChild);
  } catch (...) {
    FOwner->EndUpdate();
    throw;
  }
  FOwner->EndUpdate();
}

void TTreeNode::MakeVisible() {
  TCustomTreeView* view = TreeView();
  if (view->ItemsHandle() && FItemId) view->SendItemMessage(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(FItemId));
}

TRect TTreeNode::DisplayRect(bool textOnly) {
  TRect r;
  TCustomTreeView* view = TreeView();
  if (view->ItemsHandle() && FItemId) {
    RECT rc{};
    // The request puts the item's handle where the rectangle's first field is.
    std::memcpy(&rc, &FItemId, sizeof FItemId);
    if (view->SendItemMessage(TVM_GETITEMRECT, textOnly ? 1 : 0, reinterpret_cast<LPARAM>(&rc)))
      r = TRect(rc.left, rc.top, rc.right, rc.bottom);
  }
  return r;
}

bool TTreeNode::EditText() {
  TCustomTreeView* view = TreeView();
  if (!view->ItemsHandle() || !FItemId) return false;
  ::SetFocus(view->WindowHandle());
  return view->SendItemMessage(TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(FItemId)) != 0;
}

void TTreeNode::EndEdit(bool cancel) {
  TCustomTreeView* view = TreeView();
  if (view->HandleAllocated()) view->SendItemMessage(TVM_ENDEDITLABELNOW, cancel ? 1 : 0, 0);
}

void TTreeNode::MoveTo(TTreeNode* destination, TNodeAttachMode mode) {
  if (!FLinked || FDeleting) throw ETreeViewError("Invalid tree node");
  if (destination == this && (mode == naAdd || mode == naAddFirst || mode == naInsert)) return;
  if (destination && (destination->FOwner != FOwner || !destination->FLinked || destination->FDeleting ||
                      destination == this || destination->HasAsParent(this)))
    throw ETreeViewError("Invalid tree node");
  TCustomTreeView* view = TreeView();
  bool native = view->HandleAllocated() && view->FNativeItemsValid && FItemId;
  // The native items go and come back: what only they hold is noted first.
  std::vector<TTreeNode*> branch, expanded;
  const TTreeNode* end = AfterBranch(this);
  for (TTreeNode* n = this; n && n != end; n = n->GetNext()) branch.push_back(n);
  for (TTreeNode* n : branch)
    if (n->Expanded()) expanded.push_back(n);
  TTreeNode* selected = view->Selected();
  bool selectionInside = selected && (selected == this || selected->HasAsParent(this));
  FOwner->BeginUpdate();
  try {
    if (native) {
      view->FMovingNodes = true;
      view->SendItemMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(FItemId));
      view->FMovingNodes = false;
      for (TTreeNode* n : branch) n->FItemId = nullptr;
    }
    FOwner->Unlink(this);
    TTreeNode* parent = nullptr;
    TTreeNode* prev = nullptr;
    FOwner->PlaceFor(this, destination, mode, parent, prev);
    FOwner->Link(this, parent, prev);
    FOwner->InsertSubtreeNative(this);
    for (TTreeNode* n : expanded) n->SetNativeState(TVIS_EXPANDED, true);
    if (selectionInside) view->SetSelected(selected);
  } catch (...) {
    view->FMovingNodes = false;
    FOwner->EndUpdate();
    throw;
  }
  FOwner->EndUpdate();
}

bool TTreeNode::AlphaSort(bool recurse) {
  TCustomTreeView* view = TreeView();
  return view->SortChildren(this, nullptr, 0, recurse);
}

void TTreeNode::Assign(TPersistent* source) {
  if (source && source->Is<TTreeNode>()) {
    auto* src = static_cast<TTreeNode*>(source);
    SetText(src->FText);
    SetData(src->FData);
    SetImageIndex(src->FImageIndex);
    SetSelectedIndex(src->FSelectedIndex);
    SetStateIndex(src->FStateIndex);
    SetOverlayIndex(src->FOverlayIndex);
    if (src->FHasChildren >= 0) SetHasChildren(src->FHasChildren != 0);
    return;
  }
  TPersistent::Assign(source);
}

bool TTreeNode::IsEqual(TTreeNode* node) { return node && FText == node->FText && FData == node->FData; }

// ---------------------------------------------------------------------------
// TTreeNodes

TTreeNodes::TTreeNodes(TCustomTreeView* owner) : FOwner(owner) {}

TTreeNodes::~TTreeNodes() {
  FlushGraveyard();
  // The view is going: the nodes go silently (the window went before).
  TTreeNode* n = FFirst;
  FFirst = FLast = nullptr;
  while (n) {
    TTreeNode* next = n->FNextSibling;
    FreeSubtree(n, true);
    n = next;
  }
  FCount = FTopCount = 0;
}

TPersistent* TTreeNodes::GetOwner() { return FOwner; }

void TTreeNodes::ClearCache() {
  FCacheNode = nullptr;
  FCacheIndex = -1;
}

TTreeNode* TTreeNodes::GetNodeFromIndex(int index) {
  if (index < 0 || index >= FCount) TList::Error(SListIndexOutOfBounds, index);
  TTreeNode* n = FFirst;
  int i = 0;
  if (FCacheNode && std::abs(index - FCacheIndex) < index) {
    n = FCacheNode;
    i = FCacheIndex;
  }
  while (i < index && n) {
    n = n->GetNext();
    ++i;
  }
  while (i > index && n) {
    n = n->GetPrev();
    --i;
  }
  FCacheNode = n;
  FCacheIndex = index;
  return n;
}

TTreeNode* TTreeNodes::GetNode(HTREEITEM itemId) {
  if (!itemId || !FOwner->HandleAllocated()) return nullptr;
  TVITEMA item{};
  item.mask = TVIF_HANDLE | TVIF_PARAM;
  item.hItem = itemId;
  if (!FOwner->SendItemMessage(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  auto* node = reinterpret_cast<TTreeNode*>(item.lParam);
  return node && node->FOwner == this ? node : nullptr;
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const AnsiString& s) { return AddNode(nullptr, sibling, s, nullptr, naAdd); }
TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, const AnsiString& s, void* ptr) {
  return AddNode(nullptr, sibling, s, ptr, naAdd);
}
TTreeNode* TTreeNodes::AddFirst(TTreeNode* sibling, const AnsiString& s) {
  return AddNode(nullptr, sibling, s, nullptr, naAddFirst);
}
TTreeNode* TTreeNodes::AddObjectFirst(TTreeNode* sibling, const AnsiString& s, void* ptr) {
  return AddNode(nullptr, sibling, s, ptr, naAddFirst);
}
TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const AnsiString& s) {
  return AddNode(nullptr, parent, s, nullptr, naAddChild);
}
TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const AnsiString& s, void* ptr) {
  return AddNode(nullptr, parent, s, ptr, naAddChild);
}
TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* parent, const AnsiString& s) {
  return AddNode(nullptr, parent, s, nullptr, naAddChildFirst);
}
TTreeNode* TTreeNodes::AddChildObjectFirst(TTreeNode* parent, const AnsiString& s, void* ptr) {
  return AddNode(nullptr, parent, s, ptr, naAddChildFirst);
}
TTreeNode* TTreeNodes::Insert(TTreeNode* sibling, const AnsiString& s) {
  return AddNode(nullptr, sibling, s, nullptr, naInsert);
}
TTreeNode* TTreeNodes::InsertObject(TTreeNode* sibling, const AnsiString& s, void* ptr) {
  return AddNode(nullptr, sibling, s, ptr, naInsert);
}
TTreeNode* TTreeNodes::InsertNode(TTreeNode* node, TTreeNode* sibling, const AnsiString& s, void* ptr) {
  return AddNode(node, sibling, s, ptr, naInsert);
}

TTreeNode* TTreeNodes::AddNode(TTreeNode* node, TTreeNode* relative, const AnsiString& s, void* ptr,
                               TNodeAttachMode method) {
  FlushGraveyard();
  if (relative && (relative->FOwner != this || !relative->FLinked || relative->FDeleting))
    throw ETreeViewError("Invalid tree node");
  if (node && (node->FOwner != this || node->FLinked)) throw ETreeViewError("Invalid tree node");
  bool created = node == nullptr;
  if (created) node = FOwner->CreateNode();
  node->FText = s;
  node->FData = ptr;
  TTreeNode* parent = nullptr;
  TTreeNode* prev = nullptr;
  PlaceFor(node, relative, method, parent, prev);
  // A window made now takes the nodes there are; this one follows.
  FOwner->ItemsHandle();
  Link(node, parent, prev);
  try {
    InsertNative(node);
  } catch (...) {
    Unlink(node);
    if (created) {
      node->FDeleting = true;
      delete node;
    }
    throw;
  }
  return node;
}

void TTreeNodes::PlaceFor(TTreeNode* node, TTreeNode* relative, TNodeAttachMode method, TTreeNode*& parent,
                          TTreeNode*& prev) {
  parent = nullptr;
  prev = nullptr;
  switch (method) {
    case naAdd:
      parent = relative ? relative->FParent : nullptr;
      prev = parent ? parent->FLastChild : FLast;
      break;
    case naAddFirst:
      parent = relative ? relative->FParent : nullptr;
      break;
    case naAddChild:
      parent = relative;
      prev = parent ? parent->FLastChild : FLast;
      break;
    case naAddChildFirst:
      parent = relative;
      break;
    case naInsert:
      if (relative) {
        parent = relative->FParent;
        prev = relative->FPrevSibling;
      } else {
        prev = FLast;
      }
      break;
  }
  TSortType sort = FOwner->FSortType;
  if ((method == naAdd || method == naAddChild) && (sort == stText || sort == stBoth))
    prev = SortedPlace(parent, node);
}

TTreeNode* TTreeNodes::SortedPlace(TTreeNode* parent, TTreeNode* node) {
  // After the last sibling that does not sort after the new node.
  TTreeNode* prev = nullptr;
  for (TTreeNode* c = parent ? parent->FFirstChild : FFirst; c; c = c->FNextSibling) {
    if (TCustomTreeView::DefaultTreeViewSort(reinterpret_cast<LPARAM>(c), reinterpret_cast<LPARAM>(node), 0) > 0)
      break;
    prev = c;
  }
  return prev;
}

void TTreeNodes::Link(TTreeNode* node, TTreeNode* parent, TTreeNode* prev) {
  TTreeNode*& first = parent ? parent->FFirstChild : FFirst;
  TTreeNode*& last = parent ? parent->FLastChild : FLast;
  node->FParent = parent;
  node->FPrevSibling = prev;
  node->FNextSibling = prev ? prev->FNextSibling : first;
  if (prev)
    prev->FNextSibling = node;
  else
    first = node;
  if (node->FNextSibling)
    node->FNextSibling->FPrevSibling = node;
  else
    last = node;
  if (parent) {
    ++parent->FCount;
    // A parent told to show no button gets one again with its first child.
    if (parent->FHasChildren == 0) {
      parent->FHasChildren = -1;
      parent->UpdateNativeItem(TVIF_CHILDREN);
    }
  } else {
    ++FTopCount;
  }
  node->FLinked = true;
  FCount += SubtreeSize(node);
  ClearCache();
}

void TTreeNodes::Unlink(TTreeNode* node) {
  if (!node->FLinked) return;
  TTreeNode* parent = node->FParent;
  TTreeNode*& first = parent ? parent->FFirstChild : FFirst;
  TTreeNode*& last = parent ? parent->FLastChild : FLast;
  if (node->FPrevSibling)
    node->FPrevSibling->FNextSibling = node->FNextSibling;
  else
    first = node->FNextSibling;
  if (node->FNextSibling)
    node->FNextSibling->FPrevSibling = node->FPrevSibling;
  else
    last = node->FPrevSibling;
  if (parent)
    --parent->FCount;
  else
    --FTopCount;
  FCount -= SubtreeSize(node);
  node->FParent = node->FPrevSibling = node->FNextSibling = nullptr;
  node->FLinked = false;
  ClearCache();
}

void TTreeNodes::InsertNative(TTreeNode* node) {
  if (node->FItemId || !FOwner->HandleAllocated() || !FOwner->FNativeItemsValid) return;
  TTreeNode* parent = node->FParent;
  if (parent && !parent->FItemId) return;
  TVINSERTSTRUCTA is{};
  is.hParent = parent ? parent->FItemId : TVI_ROOT;
  // The end is cheaper for the control to find than a given item.
  if (!node->FNextSibling)
    is.hInsertAfter = TVI_LAST;
  else if (!node->FPrevSibling)
    is.hInsertAfter = TVI_FIRST;
  else
    is.hInsertAfter = node->FPrevSibling->FItemId;
  TVITEMA& item = is.item;
  item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  item.pszText = LPSTR_TEXTCALLBACKA;
  item.iImage = I_IMAGECALLBACK;
  item.iSelectedImage = I_IMAGECALLBACK;
  item.lParam = reinterpret_cast<LPARAM>(node);
  UINT state = node->FSavedState & (TVIS_CUT | TVIS_BOLD);
  if (node->FStateIndex > 0) state |= INDEXTOSTATEIMAGEMASK(node->FStateIndex);
  if (node->FOverlayIndex >= 0) state |= INDEXTOOVERLAYMASK(node->FOverlayIndex + 1);
  if (state) {
    item.mask |= TVIF_STATE;
    item.state = state;
    item.stateMask = state;
  }
  if (node->FHasChildren >= 0) {
    item.mask |= TVIF_CHILDREN;
    item.cChildren = node->FHasChildren;
  }
  auto id = reinterpret_cast<HTREEITEM>(FOwner->SendItemMessage(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&is)));
  if (!id) throw EOutOfResources(SInsertItemError);
  node->FItemId = id;
}

void TTreeNodes::InsertSubtreeNative(TTreeNode* node) {
  const TTreeNode* end = AfterBranch(node);
  for (TTreeNode* n = node; n && n != end; n = n->GetNext()) InsertNative(n);
}

void TTreeNodes::FireDeletion(TTreeNode* node) {
  // Children before their parent, siblings in order.
  TTreeNode* n = node;
  while (n->FFirstChild) n = n->FFirstChild;
  for (;;) {
    if (!n->FDeleting) {
      n->FDeleting = true;
      GuardedCall(FOwner, [&] { FOwner->Delete(n); });
    }
    if (n == node) return;
    if (n->FNextSibling) {
      n = n->FNextSibling;
      while (n->FFirstChild) n = n->FFirstChild;
    } else {
      n = n->FParent;
    }
  }
}

void TTreeNodes::FreeSubtree(TTreeNode* node, bool deleteRoot) {
  // Children before their parent: each node is freed once its last child is
  // gone, taken off its parent's list first.
  TTreeNode* n = node;
  for (;;) {
    if (n->FFirstChild) {
      n = n->FFirstChild;
      continue;
    }
    TTreeNode* parent = n->FParent;
    TTreeNode* next = n->FNextSibling;
    n->FFirstChild = n->FLastChild = nullptr;
    n->FCount = 0;
    n->FLinked = false;
    n->FDeleting = true;
    n->FItemId = nullptr;
    if (n == node) {
      if (deleteRoot) delete n;
      return;
    }
    delete n;
    parent->FFirstChild = next;
    if (!next) parent->FLastChild = nullptr;
    n = next ? next : parent;
  }
}

void TTreeNodes::Delete(TTreeNode* node) {
  if (node && node->FOwner == this) DeleteNode(node, true);
}

void TTreeNodes::DeleteNode(TTreeNode* node, bool deleteObject) {
  if (!node->FLinked || node->FDeleting) return;
  FlushGraveyard();
  ClearCache();
  TCustomTreeView* view = FOwner;
  FireDeletion(node);
  // The selection leaves the branch before it goes, so that nobody is told of
  // a node that is being deleted.
  if (view->HandleAllocated() && view->FNativeItemsValid) {
    TTreeNode* sel = view->Selected();
    if (sel && sel->FDeleting) view->SetSelected(view->FindNextToSelect());
    if (node->FItemId) view->SendItemMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(node->FItemId));
  } else if (view->FSavedSelected && view->FSavedSelected->FDeleting) {
    view->FSavedSelected = view->FindNextToSelect();
  }
  if (view->FSavedDropTarget && view->FSavedDropTarget->FDeleting) view->FSavedDropTarget = nullptr;
  if (view->FSavedTopItem && view->FSavedTopItem->FDeleting) view->FSavedTopItem = nullptr;
  Unlink(node);
  FreeSubtree(node, deleteObject);
}

void TTreeNodes::NativeItemDeleted(TTreeNode* node) {
  // Someone removed the item from the window directly: the node goes too.
  ClearCache();
  FireDeletion(node);
  node->FItemId = nullptr;
  if (FOwner->FSavedSelected == node) FOwner->FSavedSelected = nullptr;
  Unlink(node);
  if (node->FFirstChild)
    FGraveyard.push_back(node);  // its children's notifications are still to come
  else
    FreeSubtree(node, true);
}

void TTreeNodes::FlushGraveyard() {
  std::vector<TTreeNode*> dead;
  dead.swap(FGraveyard);
  for (TTreeNode* n : dead) FreeSubtree(n, true);
}

void TTreeNodes::Clear() {
  FlushGraveyard();
  if (!FFirst) return;
  ClearCache();
  BeginUpdate();
  try {
    for (TTreeNode* n = FFirst; n; n = n->FNextSibling) FireDeletion(n);
    FOwner->FSavedSelected = FOwner->FSavedDropTarget = FOwner->FSavedTopItem = nullptr;
    if (FOwner->HandleAllocated() && FOwner->FNativeItemsValid)
      FOwner->SendItemMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  } catch (...) {
    EndUpdate();
    throw;
  }
  TTreeNode* n = FFirst;
  FFirst = FLast = nullptr;
  FCount = FTopCount = 0;
  while (n) {
    TTreeNode* next = n->FNextSibling;
    FreeSubtree(n, true);
    n = next;
  }
  EndUpdate();
}

void TTreeNodes::BeginUpdate() { TItemViewShared<TCustomTreeView>::BeginUpdate(FOwner, FUpdateCount); }
void TTreeNodes::EndUpdate() { TItemViewShared<TCustomTreeView>::EndUpdate(FOwner, FUpdateCount); }

void TTreeNodes::Assign(TPersistent* source) {
  if (source && source->Is<TTreeNodes>()) {
    auto* src = static_cast<TTreeNodes*>(source);
    if (src == this) return;
    TUpdateScope<TTreeNodes> update(this);
    Clear();
    // Pre-order: each source node's copy goes under its parent's copy.
    std::vector<std::pair<TTreeNode*, TTreeNode*>> stack;  // (source parent, copy of it)
    for (TTreeNode* s = src->FFirst; s; s = s->GetNext()) {
      while (!stack.empty() && stack.back().first != s->FParent) stack.pop_back();
      TTreeNode* parentCopy = stack.empty() ? nullptr : stack.back().second;
      TTreeNode* copy = AddNode(nullptr, parentCopy, s->FText, s->FData, naAddChild);
      copy->Assign(s);
      if (s->FFirstChild) stack.emplace_back(s, copy);
    }
    return;
  }
  TPersistent::Assign(source);
}

void TTreeNodes::DefineProperties(TFiler* filer) {
  TPersistent::DefineProperties(filer);
  filer->DefineBinaryProperty("Data", MakeEvent<&TTreeNodes::ReadDataProc>(this),
                              MakeEvent<&TTreeNodes::WriteDataProc>(this), FCount > 0);
}

int32_t ReadTreeNodeCount(TStream* stream) {
  int32_t count = 0;
  stream->ReadBuffer(&count, sizeof count);
  if (count < 0) throw EReadError("Invalid property value");
  return count;
}

AnsiString ReadTreeNodeRecord(TStream* stream, TTreeNodeRecord& rec) {
  int32_t size = 0;
  stream->ReadBuffer(&size, sizeof size);
  if (size < static_cast<int32_t>(sizeof rec) || size > static_cast<int32_t>(sizeof rec) + 255)
    throw EReadError("Invalid property value");
  stream->ReadBuffer(&rec, sizeof rec);
  if (rec.TextLength != size - static_cast<int32_t>(sizeof rec) || rec.Count < 0)
    throw EReadError("Invalid property value");
  AnsiString text;
  text.SetLength(rec.TextLength);
  if (rec.TextLength) stream->ReadBuffer(text.data(), rec.TextLength);
  return text;
}

void ReadTreeNodeRecords(
    TStream* stream,
    const std::function<TTreeNode*(TTreeNode* parent, const TTreeNodeRecord& rec, const AnsiString& text)>& add) {
  // Each open node with the count of its children still to come; the top
  // level is the open node null.
  struct Open {
    TTreeNode* Node;
    int32_t Left;
  };
  std::vector<Open> open{{nullptr, ReadTreeNodeCount(stream)}};
  while (!open.empty()) {
    if (open.back().Left == 0) {
      open.pop_back();
      continue;
    }
    --open.back().Left;
    TTreeNodeRecord rec{};
    const AnsiString text = ReadTreeNodeRecord(stream, rec);
    TTreeNode* node = add(open.back().Node, rec, text);
    open.push_back({node, rec.Count});
  }
}

void WriteTreeNodeRecords(TStream* stream, TTreeNode* first, const std::function<AnsiString(TTreeNode*)>& textOf) {
  int32_t count = 0;
  for (TTreeNode* n = first; n; n = n->getNextSibling()) ++count;
  stream->WriteBuffer(&count, sizeof count);
  for (TTreeNode* n = first; n; n = n->GetNext()) {
    const AnsiString text = textOf(n);
    WriteTreeNodeRecord(stream, n, text.c_str(), text.Length());
  }
}

void WriteTreeNodeRecord(TStream* stream, TTreeNode* node, const char* text, int length) {
  TTreeNodeRecord rec{};
  rec.ImageIndex = node->ImageIndex();
  rec.SelectedIndex = node->SelectedIndex();
  rec.StateIndex = node->StateIndex();
  rec.OverlayIndex = node->OverlayIndex();
  rec.Data = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(node->Data()));
  rec.Count = node->Count();
  rec.TextLength = static_cast<uint8_t>(length);
  int32_t size = static_cast<int32_t>(sizeof rec) + length;
  stream->WriteBuffer(&size, sizeof size);
  stream->WriteBuffer(&rec, sizeof rec);
  if (length) stream->WriteBuffer(text, length);
}

void TTreeNodes::ReadData(TStream* stream) {
  ClearCache();
  Clear();
  BeginUpdate();
  FReading = true;
  try {
    ReadTreeNodeRecords(stream, [this](TTreeNode* parent, const TTreeNodeRecord& rec, const AnsiString& text) {
      TTreeNode* node = AddChild(parent, text);
      node->SetImageIndex(rec.ImageIndex);
      node->SetSelectedIndex(rec.SelectedIndex);
      node->SetStateIndex(rec.StateIndex);
      node->SetOverlayIndex(rec.OverlayIndex);
      node->FData = reinterpret_cast<void*>(static_cast<uintptr_t>(rec.Data));
      FOwner->Added(node);
      return node;
    });
  } catch (...) {
    FReading = false;
    EndUpdate();
    throw;
  }
  FReading = false;
  EndUpdate();
}

void TTreeNodes::WriteData(TStream* stream) {
  // A text longer than the record holds is cut to 255 bytes.
  WriteTreeNodeRecords(stream, FFirst, [](TTreeNode* node) { return node->FText.SubString(1, 255); });
}

// ---------------------------------------------------------------------------
// TCustomTreeView

CL_BEGIN_MESSAGE_MAP(TCustomTreeView, TWinControl)
  CL_MESSAGE(CN_NOTIFY, CNNotify)
  CL_MESSAGE(WM_DESTROY, WMDestroy)
  CL_ITEM_VIEW_MESSAGES
CL_END_MESSAGE_MAP

CL_ITEM_VIEW_BODIES(TCustomTreeView)

TCustomTreeView::TCustomTreeView(TComponent* owner) : TWinControl(owner) {
  TItemViewShared<TCustomTreeView>::InitControl(this, 121, 97);
  FCanvas = new TControlCanvas();
  FCanvas->SetControl(this);
  FImageChangeLink = TItemViewShared<TCustomTreeView>::NewImageChangeLink(this);
  FStateChangeLink = TItemViewShared<TCustomTreeView>::NewImageChangeLink(this);
}

TCustomTreeView::~TCustomTreeView() {
  Destroying();
  // The window goes first, while the nodes its items point to still exist.
  if (HandleAllocated()) DestroyHandle();
  delete FTreeNodes;
  FTreeNodes = nullptr;
  delete FImageChangeLink;
  delete FStateChangeLink;
  delete FCanvas;
}

TTreeNodes* TCustomTreeView::Items() {
  if (!FTreeNodes) FTreeNodes = CreateNodes();
  return FTreeNodes;
}

TTreeNode* TCustomTreeView::CreateNode() {
  return CreateTreeNodeOf(TItemViewShared<TCustomTreeView>::ChosenClass<TTreeNode, ETreeViewError>(
                              this, OnCreateNodeClass, "Invalid node class"),
                          Items());
}

TTreeNodes* TCustomTreeView::CreateNodes() { return new TTreeNodes(this); }

void TCustomTreeView::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, WC_TREEVIEWA);
  params.Style |= TVS_DISABLEDRAGDROP;
  if (FShowButtons) params.Style |= TVS_HASBUTTONS;
  if (FShowLines) params.Style |= TVS_HASLINES;
  if (FShowRoot) params.Style |= TVS_LINESATROOT;
  if (!FReadOnly) params.Style |= TVS_EDITLABELS;
  if (!FHideSelection) params.Style |= TVS_SHOWSELALWAYS;
  if (FRowSelect) params.Style |= TVS_FULLROWSELECT;
  if (FHotTrack) params.Style |= TVS_TRACKSELECT;
  if (FAutoExpand) params.Style |= TVS_SINGLEEXPAND;
  TItemViewShared<TCustomTreeView>::AddBorder(this, params);
}

void TCustomTreeView::CreateWnd() {
  FNativeItemsValid = false;
  TWinControl::CreateWnd();
  SendImageLists();
  SendColors();
  SendItemMessage(TVM_SETINDENT, FIndent, 0);
  TTreeNodes* nodes = Items();
  TCountScope restoring(FRestoring);
  bool redrawOff = nodes->FUpdateCount > 0 || nodes->FFirst;
  if (redrawOff) SendItemMessage(WM_SETREDRAW, 0, 0);
  FNativeItemsValid = true;
  try {
    for (TTreeNode* n = nodes->FFirst; n; n = n->FNextSibling) nodes->InsertSubtreeNative(n);
    for (TTreeNode* n = nodes->FFirst; n; n = n->GetNext()) {
      if ((n->FSavedState & TVIS_EXPANDED) && n->FItemId)
        SendItemMessage(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(n->FItemId));
      n->FSavedState = 0;
    }
    if (FSavedSelected && FSavedSelected->FItemId)
      SendItemMessage(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(FSavedSelected->FItemId));
    if (FSavedDropTarget && FSavedDropTarget->FItemId)
      SendItemMessage(TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(FSavedDropTarget->FItemId));
    if (FSavedTopItem && FSavedTopItem->FItemId)
      SendItemMessage(TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(FSavedTopItem->FItemId));
  } catch (...) {
    if (redrawOff && nodes->FUpdateCount == 0) SendItemMessage(WM_SETREDRAW, 1, 0);
    throw;
  }
  FSavedSelected = FSavedDropTarget = FSavedTopItem = nullptr;
  if (redrawOff && nodes->FUpdateCount == 0) SendItemMessage(WM_SETREDRAW, 1, 0);
}

void TCustomTreeView::WMDestroy(TMessage& m) {
  // What only the window knows is kept in the nodes for the next window.
  if (FTreeNodes && FNativeItemsValid) {
    FSavedSelected = Selected();
    FSavedDropTarget = DropTarget();
    FSavedTopItem = TopItem();
    for (TTreeNode* n = FTreeNodes->FFirst; n; n = n->GetNext())
      n->FSavedState = n->NativeState(TVIS_EXPANDED | TVIS_CUT | TVIS_BOLD);
  }
  TItemViewShared<TCustomTreeView>::WindowGoes(this, m);
  if (FTreeNodes)
    for (TTreeNode* n = FTreeNodes->FFirst; n; n = n->GetNext()) n->FItemId = nullptr;
}

void TCustomTreeView::SendImageLists() {
  if (!HandleAllocated()) return;
  SendItemMessage(TVM_SETIMAGELIST, TVSIL_NORMAL,
                  reinterpret_cast<LPARAM>(FImages ? FImages->Handle() : nullptr));
  SendItemMessage(TVM_SETIMAGELIST, TVSIL_STATE,
                  reinterpret_cast<LPARAM>(FStateImages ? FStateImages->Handle() : nullptr));
}

void TCustomTreeView::SendColors() {
  if (!HandleAllocated()) return;
  SendItemMessage(TVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(FColor)));
  SendItemMessage(TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(FFont->Color())));
}

void TCustomTreeView::SetImages(TCustomImageList* value) {
  TItemViewShared<TCustomTreeView>::SetImageList(this, FImages, value, FImageChangeLink);
}

void TCustomTreeView::SetStateImages(TCustomImageList* value) {
  TItemViewShared<TCustomTreeView>::SetImageList(this, FStateImages, value, FStateChangeLink);
}

void TCustomTreeView::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FImages) SetImages(nullptr);
  if (component == FStateImages) SetStateImages(nullptr);
}

void TCustomTreeView::Loaded() {
  TWinControl::Loaded();
  if (HandleAllocated()) SendImageLists();
}

int TCustomTreeView::Indent() {
  if (HandleAllocated()) FIndent = static_cast<int>(SendItemMessage(TVM_GETINDENT, 0, 0));
  return FIndent;
}

void TCustomTreeView::SetIndent(int value) {
  if (value == Indent()) return;
  FIndent = value;
  if (HandleAllocated()) SendItemMessage(TVM_SETINDENT, value, 0);
}

void TCustomTreeView::SetReadOnly(bool value) {
  if (ChangeField(FReadOnly, value)) RecreateWnd();
}

void TCustomTreeView::SetHideSelection(bool value) {
  if (ChangeField(FHideSelection, value)) RecreateWnd();
}

void TCustomTreeView::SetShowButtons(bool value) {
  if (ChangeField(FShowButtons, value)) RecreateWnd();
}

void TCustomTreeView::SetShowLines(bool value) {
  if (ChangeField(FShowLines, value)) RecreateWnd();
}

void TCustomTreeView::SetShowRoot(bool value) {
  if (ChangeField(FShowRoot, value)) RecreateWnd();
}

void TCustomTreeView::SetRowSelect(bool value) {
  if (ChangeField(FRowSelect, value)) RecreateWnd();
}

void TCustomTreeView::SetHotTrack(bool value) {
  if (ChangeField(FHotTrack, value)) RecreateWnd();
}

void TCustomTreeView::SetAutoExpand(bool value) {
  if (ChangeField(FAutoExpand, value)) RecreateWnd();
}

void TCustomTreeView::SetBorderStyle(TBorderStyle value) {
  if (ChangeField(FBorderStyle, value)) RecreateWnd();
}

void TCustomTreeView::SetSortType(TSortType value) {
  if (ChangeField(FSortType, value) && TItemViewShared<TCustomTreeView>::SortTypeSorts(this, value)) AlphaSort(true);
}

TTreeNode* TCustomTreeView::Selected() {
  if (HandleAllocated() && FNativeItemsValid)
    return Items()->GetNode(
        reinterpret_cast<HTREEITEM>(SendItemMessage(TVM_GETNEXTITEM, TVGN_CARET, 0)));
  return FSavedSelected;
}

void TCustomTreeView::SetSelected(TTreeNode* value) {
  if (value && (value->FOwner != FTreeNodes || !value->FLinked)) value = nullptr;
  if (ItemsHandle() && FNativeItemsValid) {
    SendItemMessage(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(value ? value->FItemId : nullptr));
    return;
  }
  if (value == FSavedSelected) return;
  if (!FRestoring && !CanChange(value)) return;
  FSavedSelected = value;
  if (!FRestoring) Change(value);
}

TTreeNode* TCustomTreeView::DropTarget() {
  if (HandleAllocated() && FNativeItemsValid)
    return Items()->GetNode(
        reinterpret_cast<HTREEITEM>(SendItemMessage(TVM_GETNEXTITEM, TVGN_DROPHILITE, 0)));
  return FSavedDropTarget;
}

void TCustomTreeView::SetDropTarget(TTreeNode* value) {
  if (ItemsHandle() && FNativeItemsValid)
    SendItemMessage(TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(value ? value->FItemId : nullptr));
  else
    FSavedDropTarget = value;
}

TTreeNode* TCustomTreeView::TopItem() {
  if (HandleAllocated() && FNativeItemsValid)
    return Items()->GetNode(
        reinterpret_cast<HTREEITEM>(SendItemMessage(TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0)));
  return FSavedTopItem;
}

void TCustomTreeView::SetTopItem(TTreeNode* value) {
  if (!value) return;
  if (ItemsHandle() && FNativeItemsValid)
    SendItemMessage(TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(value->FItemId));
  else
    FSavedTopItem = value;
}

int TCustomTreeView::SelectionCount() { return Selected() ? 1 : 0; }

TTreeNode* TCustomTreeView::Selection(int index) {
  if (index < 0 || index >= SelectionCount()) TList::Error(SListIndexOutOfBounds, index);
  return Selected();
}

TTreeNode* TCustomTreeView::GetSelections(TList* list) {
  list->Clear();
  TTreeNode* sel = Selected();
  if (sel) list->Add(sel);
  return sel;
}

TTreeNode* TCustomTreeView::GetNodeAt(int x, int y) {
  if (!ItemsHandle()) return nullptr;
  TVHITTESTINFO hi{};
  hi.pt = {x, y};
  auto id = reinterpret_cast<HTREEITEM>(SendItemMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi)));
  if (!id || !(hi.flags & (TVHT_ONITEM | TVHT_ONITEMRIGHT | TVHT_ONITEMINDENT | TVHT_ONITEMBUTTON))) return nullptr;
  return Items()->GetNode(id);
}

THitTests TCustomTreeView::GetHitTestInfoAt(int x, int y) {
  if (!ItemsHandle()) return htNowhere;
  TVHITTESTINFO hi{};
  hi.pt = {x, y};
  SendItemMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi));
  THitTests r = 0;
  if (hi.flags & TVHT_ABOVE) r |= htAbove;
  if (hi.flags & TVHT_BELOW) r |= htBelow;
  if (hi.flags & TVHT_NOWHERE) r |= htNowhere;
  if ((hi.flags & TVHT_ONITEM) == TVHT_ONITEM) r |= htOnItem;
  if (hi.flags & TVHT_ONITEMBUTTON) r |= htOnButton;
  if (hi.flags & TVHT_ONITEMICON) r |= htOnIcon;
  if (hi.flags & TVHT_ONITEMINDENT) r |= htOnIndent;
  if (hi.flags & TVHT_ONITEMLABEL) r |= htOnLabel;
  if (hi.flags & TVHT_ONITEMRIGHT) r |= htOnRight;
  if (hi.flags & TVHT_ONITEMSTATEICON) r |= htOnStateIcon;
  if (hi.flags & TVHT_TOLEFT) r |= htToLeft;
  if (hi.flags & TVHT_TORIGHT) r |= htToRight;
  return r;
}

int CALLBACK TCustomTreeView::DefaultTreeViewSort(LPARAM node1, LPARAM node2, LPARAM data) {
  return TItemViewShared<TCustomTreeView>::SortCallback<TTreeNode>(node1, node2, data);
}

bool TCustomTreeView::AlphaSort(bool recurse) { return SortChildren(nullptr, nullptr, 0, recurse); }

bool TCustomTreeView::CustomSort(PFNTVCOMPARE sortProc, LPARAM data, bool recurse) {
  return SortChildren(nullptr, sortProc, data, recurse);
}

bool TCustomTreeView::SortChildren(TTreeNode* parent, PFNTVCOMPARE sortProc, LPARAM data, bool recurse) {
  if (!sortProc) sortProc = &DefaultTreeViewSort;
  const bool result = SortLevel(parent, sortProc, data);
  // Each level below in pre-order, after its parent's level is in its new
  // order.
  if (recurse) {
    TTreeNode* end = parent ? AfterBranch(parent) : nullptr;
    for (TTreeNode* n = parent ? parent->FFirstChild : Items()->FFirst; n && n != end; n = n->GetNext())
      if (n->FFirstChild) SortLevel(n, sortProc, data);
  }
  return result;
}

bool TCustomTreeView::SortLevel(TTreeNode* parent, PFNTVCOMPARE sortProc, LPARAM data) {
  TTreeNodes* nodes = Items();
  nodes->ClearCache();
  bool result = false;
  if (HandleAllocated()) {
    // The message goes through the window's procedure chain even before the
    // nodes are in the window: a derived view may look at it there.
    if (!parent || (parent->FItemId && FNativeItemsValid)) {
      TVSORTCB cb{};
      cb.hParent = parent ? parent->FItemId : TVI_ROOT;
      cb.lpfnCompare = sortProc;
      cb.lParam = data;
      result = SendItemMessage(TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&cb)) != 0;
      if (FNativeItemsValid) SyncChildOrder(parent);
    }
  } else {
    // Without a window the objects are sorted themselves, stably.
    std::vector<TTreeNode*> children;
    for (TTreeNode* c = parent ? parent->FFirstChild : nodes->FFirst; c; c = c->FNextSibling) children.push_back(c);
    std::stable_sort(children.begin(), children.end(), [&](TTreeNode* a, TTreeNode* b) {
      return sortProc(reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b), data) < 0;
    });
    RelinkChildren(parent, children);
    result = true;
  }
  return result;
}

void TCustomTreeView::RelinkChildren(TTreeNode* parent, const std::vector<TTreeNode*>& order) {
  TTreeNodes* nodes = Items();
  TTreeNode* prev = nullptr;
  for (TTreeNode* n : order) {
    n->FPrevSibling = prev;
    n->FNextSibling = nullptr;
    if (prev) prev->FNextSibling = n;
    prev = n;
  }
  TTreeNode* first = order.empty() ? nullptr : order.front();
  if (parent) {
    parent->FFirstChild = first;
    parent->FLastChild = prev;
  } else {
    nodes->FFirst = first;
    nodes->FLast = prev;
  }
  nodes->ClearCache();
}

void TCustomTreeView::SyncChildOrder(TTreeNode* parent) {
  std::vector<TTreeNode*> order;
  auto id = reinterpret_cast<HTREEITEM>(
      parent ? SendItemMessage(TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent->FItemId))
             : SendItemMessage(TVM_GETNEXTITEM, TVGN_ROOT, 0));
  while (id) {
    TTreeNode* n = Items()->GetNode(id);
    if (!n || n->FParent != parent) return;  // not the mirror it should be: keep the objects' order
    order.push_back(n);
    id = reinterpret_cast<HTREEITEM>(SendItemMessage(TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(id)));
  }
  int count = parent ? parent->FCount : Items()->FTopCount;
  if (static_cast<int>(order.size()) != count) return;
  RelinkChildren(parent, order);
}

void TCustomTreeView::FullExpand() {
  for (TTreeNode* n = Items()->FFirst; n; n = n->FNextSibling) n->Expand(true);
}

void TCustomTreeView::FullCollapse() {
  for (TTreeNode* n = Items()->FFirst; n; n = n->FNextSibling) n->Collapse(true);
}

bool TCustomTreeView::IsEditing() {
  return HandleAllocated() && SendItemMessage(TVM_GETEDITCONTROL, 0, 0) != 0;
}

void TCustomTreeView::GetImageIndex(TTreeNode* node) { Fire(OnGetImageIndex, this, node); }

void TCustomTreeView::GetSelectedIndex(TTreeNode* node) { Fire(OnGetSelectedIndex, this, node); }

bool TCustomTreeView::CanEdit(TTreeNode* node) { return TItemViewShared<TCustomTreeView>::CanEdit(this, node); }

void TCustomTreeView::Edit(const TVITEMA& item) {
  TTreeNode* node = NodeOf(item);
  if (item.pszText) {
    AnsiString s(item.pszText);
    if (OnEdited) OnEdited(this, node, s);
    if (node) node->SetText(s);
  } else if (OnCancelEdit) {
    OnCancelEdit(this, node);
  }
}

bool TCustomTreeView::CanChange(TTreeNode* node) { return Allowed(OnChanging, this, node); }

void TCustomTreeView::Change(TTreeNode* node) { Fire(OnChange, this, node); }

bool TCustomTreeView::CanExpand(TTreeNode* node) { return Allowed(OnExpanding, this, node); }

void TCustomTreeView::Expanded(TTreeNode* node) { Fire(OnExpanded, this, node); }

bool TCustomTreeView::CanCollapse(TTreeNode* node) { return Allowed(OnCollapsing, this, node); }

void TCustomTreeView::Collapsed(TTreeNode* node) { Fire(OnCollapsed, this, node); }

void TCustomTreeView::Delete(TTreeNode* node) { Fire(OnDeletion, this, node); }

void TCustomTreeView::Added(TTreeNode* node) { Fire(OnAddition, this, node); }

TTreeNode* TCustomTreeView::FindNextToSelect() {
  TTreeNode* sel = Selected();
  if (!sel) return nullptr;
  // The top of the branch that goes with the selected node.
  TTreeNode* top = sel;
  while (top->FParent && top->FParent->FDeleting) top = top->FParent;
  for (TTreeNode* n = top->FNextSibling; n; n = n->FNextSibling)
    if (!n->FDeleting) return n;
  for (TTreeNode* n = top->FPrevSibling; n; n = n->FPrevSibling)
    if (!n->FDeleting) return n;
  return top->FParent;
}

TTreeNode* TCustomTreeView::NodeOf(const TVITEMA& item) {
  if (!FTreeNodes) return nullptr;
  if (item.mask & TVIF_PARAM) {
    auto* node = reinterpret_cast<TTreeNode*>(item.lParam);
    if (node && node->FOwner == FTreeNodes) return node;
  }
  return FTreeNodes->GetNode(item.hItem);
}

void TCustomTreeView::CNNotify(TMessage& m) {
  NMHDR* hdr = NotifyHdr(m);
  if (!hdr || !FTreeNodes) return;
  switch (hdr->code) {
    case TVN_DELETEITEMA:
    case TVN_DELETEITEMW: {
      auto* nm = reinterpret_cast<NMTREEVIEWA*>(hdr);
      auto* node = reinterpret_cast<TTreeNode*>(nm->itemOld.lParam);
      if (!node || node->FOwner != FTreeNodes) break;
      node->FItemId = nullptr;
      if (!FWindowGoing && !FMovingNodes && !node->FDeleting) FTreeNodes->NativeItemDeleted(node);
      return;
    }
    default:
      break;
  }
  FTreeNodes->FlushGraveyard();
  switch (hdr->code) {
    case NM_CUSTOMDRAW:
      m.Result = DoCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(hdr));
      return;
    case TVN_BEGINDRAGA:
    case TVN_BEGINDRAGW:
      // The window saw the mouse move far enough with the button down.
      if (FDragMode == dmAutomatic) BeginDrag(true);
      return;
    case TVN_GETDISPINFOA: {
      auto* di = reinterpret_cast<NMTVDISPINFOA*>(hdr);
      TTreeNode* node = NodeOf(di->item);
      if (!node) break;
      if ((di->item.mask & TVIF_TEXT) && di->item.pszText && di->item.cchTextMax > 0)
        lstrcpynA(di->item.pszText, node->FText.c_str(), di->item.cchTextMax);
      if (di->item.mask & TVIF_IMAGE) {
        GetImageIndex(node);
        di->item.iImage = node->FImageIndex;
      }
      if (di->item.mask & TVIF_SELECTEDIMAGE) {
        GetSelectedIndex(node);
        di->item.iSelectedImage = node->FSelectedIndex;
      }
      break;
    }
    // The selection and expansion notifications carry no text, so their
    // wide forms (from a Unicode window) are handled alike.
    case TVN_SELCHANGINGA:
    case TVN_SELCHANGINGW: {
      auto* nm = reinterpret_cast<NMTREEVIEWA*>(hdr);
      auto* node = reinterpret_cast<TTreeNode*>(nm->itemNew.lParam);
      if (FRestoring || (node && node->FDeleting)) break;
      m.Result = CanChange(node) ? 0 : 1;
      break;
    }
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW: {
      auto* nm = reinterpret_cast<NMTREEVIEWA*>(hdr);
      auto* node = reinterpret_cast<TTreeNode*>(nm->itemNew.lParam);
      if (FRestoring || (node && node->FDeleting)) break;
      Change(node);
      break;
    }
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW: {
      auto* nm = reinterpret_cast<NMTREEVIEWA*>(hdr);
      auto* node = reinterpret_cast<TTreeNode*>(nm->itemNew.lParam);
      if (FManualNotify || FRestoring || !node) break;
      if (nm->action & TVE_EXPAND)
        m.Result = CanExpand(node) ? 0 : 1;
      else if (nm->action & TVE_COLLAPSE)
        m.Result = CanCollapse(node) ? 0 : 1;
      break;
    }
    case TVN_ITEMEXPANDEDA:
    case TVN_ITEMEXPANDEDW: {
      auto* nm = reinterpret_cast<NMTREEVIEWA*>(hdr);
      auto* node = reinterpret_cast<TTreeNode*>(nm->itemNew.lParam);
      if (FManualNotify || FRestoring || !node) break;
      if (nm->action & TVE_EXPAND)
        Expanded(node);
      else if (nm->action & TVE_COLLAPSE)
        Collapsed(node);
      break;
    }
    case TVN_BEGINLABELEDITA: {
      auto* di = reinterpret_cast<NMTVDISPINFOA*>(hdr);
      TTreeNode* node = NodeOf(di->item);
      m.Result = node && CanEdit(node) ? 0 : 1;
      break;
    }
    case TVN_ENDLABELEDITA:
      // The node takes the text; the item keeps asking for it.
      Edit(reinterpret_cast<NMTVDISPINFOA*>(hdr)->item);
      m.Result = 0;
      break;
    default:
      TItemViewShared<TCustomTreeView>::ClickNotification(this, hdr->code);
      break;
  }
}

// ---------------------------------------------------------------------------
// Custom drawing

TCanvas* TCustomTreeView::Canvas() const { return FCanvas; }

bool TCustomTreeView::IsCustomDrawn() { return OnCustomDraw || OnCustomDrawItem; }

bool TCustomTreeView::CustomDraw(const TRect& rect) {
  bool defaultDraw = true;
  if (OnCustomDraw) OnCustomDraw(this, rect, defaultDraw);
  return defaultDraw;
}

bool TCustomTreeView::CustomDrawItem(TTreeNode* node, TCustomDrawState state) {
  bool defaultDraw = true;
  if (OnCustomDrawItem) OnCustomDrawItem(this, node, state, defaultDraw);
  return defaultDraw;
}

LRESULT TCustomTreeView::DoCustomDraw(NMTVCUSTOMDRAW* cd) {
  DWORD stage = cd->nmcd.dwDrawStage;
  if (stage == CDDS_PREPAINT) {
    if (!IsCustomDrawn()) return CDRF_DODEFAULT;
    if (OnCustomDraw) {
      TViewDrawFonts::Begin(FCanvas, cd->nmcd.hdc, FFont, FColor);
      const RECT& r = cd->nmcd.rc;
      bool defaultDraw = GuardedCall(this, [&] { return CustomDraw(TRect(r)); }, true);
      FCanvas->EndPaintDC();
      if (!defaultDraw) return CDRF_SKIPDEFAULT;
    }
    return OnCustomDrawItem ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
  }
  if (stage != CDDS_ITEMPREPAINT || !OnCustomDrawItem) return CDRF_DODEFAULT;
  TTreeNode* node = FTreeNodes ? FTreeNodes->GetNode(reinterpret_cast<HTREEITEM>(cd->nmcd.dwItemSpec)) : nullptr;
  if (!node) return CDRF_DODEFAULT;
  TViewDrawFonts::Begin(FCanvas, cd->nmcd.hdc, FFont, FColor);
  auto state = static_cast<TCustomDrawState>(cd->nmcd.uItemState & 0x1FF);
  bool defaultDraw = GuardedCall(this, [&] { return CustomDrawItem(node, state); }, true);
  return FDrawFonts.End(FCanvas, cd->nmcd.hdc, cd->clrText, cd->clrTextBk, defaultDraw);
}

namespace {

const char* const SortTypeNames[] = {"stNone", "stData", "stText", "stBoth"};
const char* const BorderStyleNames[] = {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow",
                                        "bsSizeToolWin"};

void RegisterTreeViewProperties() {
  using V = TCustomTreeView;
  const TMetaClass* c = &V::Class;
  RegisterProperty(c, "AutoExpand", pkBool, &V::SetAutoExpand, &V::AutoExpand);
  RegisterProperty(c, "BorderStyle", TPropType::Enum(BorderStyleNames), &V::SetBorderStyle, &V::BorderStyle);
  RegisterProperty(c, "HideSelection", pkBool, &V::SetHideSelection, &V::HideSelection);
  RegisterProperty(c, "HotTrack", pkBool, &V::SetHotTrack, &V::HotTrack);
  RegisterProperty(c, "Images", pkComponent, &V::SetImages, &V::Images);
  RegisterProperty(c, "Indent", pkInteger, &V::SetIndent, &V::Indent);
  RegisterProperty(c, "Items", pkObject, nullptr, &V::Items);
  RegisterProperty(c, "ReadOnly", pkBool, &V::SetReadOnly, &V::ReadOnly);
  RegisterProperty(c, "RowSelect", pkBool, &V::SetRowSelect, &V::RowSelect);
  RegisterProperty(c, "ShowButtons", pkBool, &V::SetShowButtons, &V::ShowButtons);
  RegisterProperty(c, "ShowLines", pkBool, &V::SetShowLines, &V::ShowLines);
  RegisterProperty(c, "ShowRoot", pkBool, &V::SetShowRoot, &V::ShowRoot);
  RegisterProperty(c, "SortType", TPropType::Enum(SortTypeNames), &V::SetSortType, &V::SortType);
  RegisterProperty(c, "StateImages", pkComponent, &V::SetStateImages, &V::StateImages);
  RegisterProperty(c, "OnChange", pkEvent, &V::SetOnChange, &V::GetOnChange);
  RegisterProperty(c, "OnChanging", pkEvent, &V::SetOnChanging, &V::GetOnChanging);
  RegisterProperty(c, "OnCollapsed", pkEvent, &V::SetOnCollapsed, &V::GetOnCollapsed);
  RegisterProperty(c, "OnCollapsing", pkEvent, &V::SetOnCollapsing, &V::GetOnCollapsing);
  RegisterProperty(c, "OnCompare", pkEvent, &V::SetOnCompare, &V::GetOnCompare);
  RegisterProperty(c, "OnCustomDrawItem", pkEvent, &V::SetOnCustomDrawItem, &V::GetOnCustomDrawItem);
  RegisterProperty(c, "OnDeletion", pkEvent, &V::SetOnDeletion, &V::GetOnDeletion);
  RegisterProperty(c, "OnEdited", pkEvent, &V::SetOnEdited, &V::GetOnEdited);
  RegisterProperty(c, "OnEditing", pkEvent, &V::SetOnEditing, &V::GetOnEditing);
  RegisterProperty(c, "OnExpanded", pkEvent, &V::SetOnExpanded, &V::GetOnExpanded);
  RegisterProperty(c, "OnExpanding", pkEvent, &V::SetOnExpanding, &V::GetOnExpanding);
  RegisterProperty(c, "OnGetImageIndex", pkEvent, &V::SetOnGetImageIndex, &V::GetOnGetImageIndex);
  RegisterProperty(c, "OnGetSelectedIndex", pkEvent, &V::SetOnGetSelectedIndex, &V::GetOnGetSelectedIndex);
}

}  // namespace

void UnitInit_treeview() {
  NodeClasses.Entries = new std::vector<TClassFactories<TTreeNodeFactory>::TEntry>();
  RegisterTreeNodeClass(&TTreeNode::Class, &NewTreeNode<TTreeNode>);
  RegisterClasses({&TTreeView::Class});
  RegisterTreeViewProperties();
}

void UnitFini_treeview() {
  delete NodeClasses.Entries;
  NodeClasses.Entries = nullptr;
}
