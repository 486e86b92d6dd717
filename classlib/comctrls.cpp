#include "comctrls.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "filer.h"
#include "actnlist.h"
#include "forms.h"

CL_DEFINE_CLASS(ETreeViewError, Exception)
CL_DEFINE_CLASS(EListViewError, Exception)
CL_DEFINE_CLASS(TTreeNode, TPersistent)
CL_DEFINE_CLASS(TTreeNodes, TPersistent)
CL_DEFINE_COMPONENT(TCustomTreeView, TWinControl)
CL_DEFINE_COMPONENT(TTreeView, TCustomTreeView)
CL_DEFINE_CLASS(TListColumn, TCollectionItem)
CL_DEFINE_CLASS(TListColumns, TCollection)
CL_DEFINE_CLASS(TSubItems, TStringList)
CL_DEFINE_CLASS(TListItem, TPersistent)
CL_DEFINE_CLASS(TListItems, TPersistent)
CL_DEFINE_COMPONENT(TCustomListView, TWinControl)
CL_DEFINE_COMPONENT(TListView, TCustomListView)
CL_DEFINE_CLASS(TListViewActionLink, TWinControlActionLink)
CL_DEFINE_CLASS(TStatusPanel, TCollectionItem)
CL_DEFINE_CLASS(TStatusPanels, TCollection)
CL_DEFINE_COMPONENT(TStatusBar, TWinControl)
CL_DEFINE_COMPONENT(TProgressBar, TWinControl)

namespace {

const char* const SListIndexOutOfBounds = "List index out of bounds (%d)";
const char* const SInsertItemError = "Unable to insert an item";

// Whether the control's window can be made now: its top parent has a window,
// is a form (which makes its own) or has a parent window given. A view that
// cannot keeps its nodes or items as objects until it gets a window.
bool CanMakeWindow(TWinControl* control) {
  TWinControl* top = control;
  while (top->Parent()) top = top->Parent();
  if (top == control && !top->ParentWindow()) return control->Is<TCustomForm>();
  return top->HandleAllocated() || top->ParentWindow() || top->Is<TCustomForm>();
}

TCustomTreeView* OwningView(TTreeNode* node) { return node->TreeView(); }
TCustomListView* OwningView(TListItem* item) { return item->ListView(); }
const AnsiString& SortText(TTreeNode* node) { return node->Text(); }
const AnsiString& SortText(TListItem* item) { return item->Caption(); }

// Asks an event that may refuse (its last argument); allowed when not set.
template <class TEventT, class... TArgs> bool Allowed(const TEventT& event, TArgs... args) {
  bool allow = true;
  if (event) event(args..., allow);
  return allow;
}

// Tells an event when it is set.
template <class TEventT, class... TArgs> void Fire(const TEventT& event, TArgs... args) {
  if (event) event(args...);
}

// Sets a property's field; true when the value changed.
template <class T> bool ChangeField(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}

// Counts a scope in a counter, also when an exception leaves it.
struct TCountScope {
  int& Counter;
  explicit TCountScope(int& c) : Counter(c) { ++Counter; }
  ~TCountScope() { --Counter; }
  TCountScope(const TCountScope&) = delete;
  TCountScope& operator=(const TCountScope&) = delete;
};

// A BeginUpdate / EndUpdate pair of a node or item collection, also when an
// exception leaves the scope.
template <class TItems> class TUpdateScope {
public:
  explicit TUpdateScope(TItems* items) : FItems(items) { FItems->BeginUpdate(); }
  ~TUpdateScope() { FItems->EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
  TItems* FItems;
};

// The registered node or item classes and their factories.
template <class TFactory> struct TClassFactories {
  struct TEntry {
    const TMetaClass* Class;
    TFactory Factory;
  };
  std::vector<TEntry>* Entries = nullptr;

  void Register(const TMetaClass* cls, TFactory factory) {
    if (!Entries) return;
    for (TEntry& e : *Entries)
      if (e.Class == cls) {
        e.Factory = factory;
        return;
      }
    Entries->push_back({cls, factory});
  }
  template <class TOwner> auto Create(const TMetaClass* cls, TOwner* owner) const {
    if (Entries)
      for (const TEntry& e : *Entries)
        if (e.Class == cls) return e.Factory(owner);
    throw EInvalidOperation(Format("Class %s not found", {cls ? cls->Name : "nil"}));
  }
};

TClassFactories<TTreeNodeFactory> NodeClasses;
TClassFactories<TListItemFactory> ItemClasses;

}  // namespace

// ===========================================================================
// What both views do alike

template <class TView> struct TItemViewShared {
  // The constructor's part. Clicks come from the control's own
  // notifications, and it captures the mouse itself.
  static void InitControl(TView* view, int width, int height) {
    view->FControlStyle &= ~(csCaptureMouse | csClickEvents);
    view->FControlStyle |= csDoubleClicks;
    view->SetBounds(0, 0, width, height);
    view->FTabStop = true;
    view->FParentColor = false;
    view->FColor = clWindow;
    view->FBrush->SetColor(clWindow);
  }

  static TChangeLink* NewImageChangeLink(TView* view) {
    auto* link = new TChangeLink();
    link->OnChange = MakeEvent<&TView::ImageListChange>(view);
    return link;
  }

  static void SetImageList(TView* view, TCustomImageList*& field, TCustomImageList* value, TChangeLink* link) {
    if (value == field) return;
    ChangeImageList(view, field, value, link);
    view->SendImageLists();
  }

  // The view's class made by the OnCreate...Class event (TBase when it names
  // none); TError when the class is not TBase's.
  template <class TBase, class TError, class TEventT>
  static const TMetaClass* ChosenClass(TView* view, const TEventT& event, const char* error) {
    const TMetaClass* cls = &TBase::Class;
    if (event) event(view, cls);
    if (!cls || !cls->InheritsFrom(&TBase::Class)) throw TError(error);
    return cls;
  }

  static HWND ItemsHandle(TView* view) {
    if (!view->FHandle && !view->FWindowGoing && !(view->ComponentState() & (csDestroying | csLoading)) &&
        CanMakeWindow(view))
      view->HandleNeeded();
    return view->FHandle;
  }

  static void AddBorder(TView* view, TCreateParams& params) {
    if (view->FBorderStyle != bsSingle) return;
    if (view->FCtl3D)
      params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      params.Style |= WS_BORDER;
  }

  // The window goes: what it held is no longer the objects' mirror, and the
  // items it deletes meanwhile are no deletions of objects.
  static void WindowGoes(TView* view, TMessage& m) {
    view->FNativeItemsValid = false;
    TScopedValue<bool> going(view->FWindowGoing, true);
    view->InheritedMsg(&TWinControl::MessageMap, m);
  }

  // The mouse-down of a view. The default procedure runs a modal loop that
  // waits for the button to come up or the mouse to start a drag, and eats
  // the button-up. So: the default procedure first (the selection and the
  // click notification happen in it), then MouseDown, the click it reported,
  // and, when no button-up is left to come, a MouseUp at the point of the
  // press (the loop ends a click within the drag distance of that point, and
  // a posted click leaves the cursor elsewhere).
  static void TrackedButtonDown(TView* view, TMessage& m) {
    const TMouseButton button = m.Msg == WM_RBUTTONDOWN ? mbRight : mbLeft;
    view->FControlState &= ~csMouseUpSynthesised;
    view->FClickPending = false;
    {
      TScopedValue<bool> inButtonDown(view->FInButtonDown, true);
      view->DefaultHandler(m);
    }
    view->DoMouseDown(m, button, 0);
    if (view->FClickPending) {
      view->FClickPending = false;
      view->Click();
    }
    HWND wnd = view->FHandle;
    if (!wnd) return;
    UINT upMsg = button == mbLeft ? WM_LBUTTONUP : WM_RBUTTONUP;
    int vk = button == mbLeft ? VK_LBUTTON : VK_RBUTTON;
    MSG pending;
    if (PeekMessageA(&pending, wnd, upMsg, upMsg, PM_NOREMOVE) || (GetKeyState(vk) & 0x8000)) return;
    TShiftState shift = KeysToShiftState(MouseKeys(m)) & ~(ssLeft | ssRight | ssMiddle);
    view->FControlState |= csMouseUpSynthesised;
    if (!(view->FControlStyle & csNoStdEvents))
      view->MouseUp(button, shift, static_cast<int>(MouseX(m)), static_cast<int>(MouseY(m)));
  }

  // NM_CLICK and NM_DBLCLK; false for other codes. A click reported inside
  // the drag loop waits for MouseDown.
  static bool ClickNotification(TView* view, UINT code) {
    if (code == static_cast<UINT>(NM_CLICK)) {
      if (view->FInButtonDown)
        view->FClickPending = true;
      else
        view->Click();
      return true;
    }
    if (code == static_cast<UINT>(NM_DBLCLK)) {
      view->DblClick();
      return true;
    }
    return false;
  }

  template <class TItem> static bool CanEdit(TView* view, TItem* item) {
    return !view->FReadOnly && Allowed(view->OnEditing, view, item);
  }

  // The library's compare callback: OnCompare when set, else the data
  // pointers (stData) or the ANSI texts. Runs inside the control's sort:
  // nothing may leave it.
  template <class TItem>
  static int DefaultCompare(TView* view, TItem* a, TItem* b, LPARAM data, const void* dataA, const void* dataB,
                            const AnsiString& textA, const AnsiString& textB) {
    return GuardedCall(
        view,
        [&]() -> int {
          if (view->OnCompare) {
            int compare = 0;
            view->OnCompare(view, a, b, static_cast<int>(data), compare);
            return compare;
          }
          if (view->FSortType == stData) return dataA < dataB ? -1 : (dataA > dataB ? 1 : 0);
          return lstrcmpA(textA.c_str(), textB.c_str());
        },
        0);
  }

  // The library's compare callback as the control calls it, with the
  // objects as lParams.
  template <class TItem> static int SortCallback(LPARAM param1, LPARAM param2, LPARAM data) {
    auto* a = reinterpret_cast<TItem*>(param1);
    auto* b = reinterpret_cast<TItem*>(param2);
    if (!a || !b) return 0;
    return DefaultCompare(OwningView(a), a, b, data, a->Data(), b->Data(), SortText(a), SortText(b));
  }

  // A new SortType sorts at once when it sorts by text, or by data with an
  // OnCompare to say how.
  static bool SortTypeSorts(TView* view, TSortType value) {
    return ((value == stData || value == stBoth) && view->OnCompare) || value == stText || value == stBoth;
  }

  // The outermost BeginUpdate stops the window's drawing, the outermost
  // EndUpdate restarts it and has the whole window drawn.
  static void BeginUpdate(TView* view, int& count) {
    if (count++ == 0 && view->HandleAllocated()) view->SendItemMessage(WM_SETREDRAW, 0, 0);
  }
  static void EndUpdate(TView* view, int& count) {
    if (count <= 0) return;
    if (--count == 0 && view->HandleAllocated()) {
      view->SendItemMessage(WM_SETREDRAW, 1, 0);
      view->Invalidate();
    }
  }
};

// The message table entries of CL_ITEM_VIEW_MEMBERS.
#define CL_ITEM_VIEW_MESSAGES                   \
  CL_MESSAGE(WM_LBUTTONDOWN, WMButtonDown)      \
  CL_MESSAGE(WM_RBUTTONDOWN, WMButtonDown)      \
  CL_MESSAGE(CM_COLORCHANGED, CMColorsChanged)  \
  CL_MESSAGE(CM_FONTCHANGED, CMColorsChanged)

// The members of CL_ITEM_VIEW_MEMBERS, the same for both views.
#define CL_ITEM_VIEW_BODIES(TView)                                                                        \
  void TView::WMButtonDown(TMessage& m) { TItemViewShared<TView>::TrackedButtonDown(this, m); }          \
  void TView::CMColorsChanged(TMessage& m) {                                                             \
    InheritedMsg(&TWinControl::MessageMap, m);                                                           \
    SendColors();                                                                                        \
  }                                                                                                      \
  void TView::ImageListChange(TObject*) { SendImageLists(); }                                            \
  LRESULT TView::SendItemMessage(UINT msg, WPARAM w, LPARAM l) { return SendMessageA(FHandle, msg, w, l); } \
  HWND TView::ItemsHandle() { return TItemViewShared<TView>::ItemsHandle(this); }

// ===========================================================================
// Tree view

namespace {

int SubtreeSize(const TTreeNode* node) {
  int n = 1;
  for (TTreeNode* c = node->getFirstChild(); c; c = c->getNextSibling()) n += SubtreeSize(c);
  return n;
}

}  // namespace

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
  auto collect = [&](auto&& self, TTreeNode* n) -> void {
    branch.push_back(n);
    for (TTreeNode* c = n->FFirstChild; c; c = c->FNextSibling) self(self, c);
  };
  collect(collect, this);
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
  InsertNative(node);
  for (TTreeNode* c = node->FFirstChild; c; c = c->FNextSibling) InsertSubtreeNative(c);
}

void TTreeNodes::FireDeletion(TTreeNode* node) {
  for (TTreeNode* c = node->FFirstChild; c; c = c->FNextSibling) FireDeletion(c);
  if (node->FDeleting) return;
  node->FDeleting = true;
  GuardedCall(FOwner, [&] { FOwner->Delete(node); });
}

void TTreeNodes::FreeSubtree(TTreeNode* node, bool deleteRoot) {
  TTreeNode* c = node->FFirstChild;
  while (c) {
    TTreeNode* next = c->FNextSibling;
    FreeSubtree(c, true);
    c = next;
  }
  node->FFirstChild = node->FLastChild = nullptr;
  node->FCount = 0;
  node->FLinked = false;
  node->FDeleting = true;
  node->FItemId = nullptr;
  if (deleteRoot) delete node;
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
    const int32_t count = ReadTreeNodeCount(stream);
    for (int32_t i = 0; i < count; ++i) ReadNode(stream, nullptr);
  } catch (...) {
    FReading = false;
    EndUpdate();
    throw;
  }
  FReading = false;
  EndUpdate();
}

void TTreeNodes::ReadNode(TStream* stream, TTreeNode* parent) {
  TTreeNodeRecord rec{};
  const AnsiString text = ReadTreeNodeRecord(stream, rec);
  TTreeNode* node = AddChild(parent, text);
  node->SetImageIndex(rec.ImageIndex);
  node->SetSelectedIndex(rec.SelectedIndex);
  node->SetStateIndex(rec.StateIndex);
  node->SetOverlayIndex(rec.OverlayIndex);
  node->FData = reinterpret_cast<void*>(static_cast<uintptr_t>(rec.Data));
  FOwner->Added(node);
  for (int32_t i = 0; i < rec.Count; ++i) ReadNode(stream, node);
}

void TTreeNodes::WriteData(TStream* stream) {
  int32_t count = FTopCount;
  stream->WriteBuffer(&count, sizeof count);
  for (TTreeNode* n = FFirst; n; n = n->FNextSibling) WriteNode(stream, n);
}

void TTreeNodes::WriteNode(TStream* stream, TTreeNode* node) {
  // A text longer than the record holds is cut to 255 bytes.
  WriteTreeNodeRecord(stream, node, node->FText.c_str(), std::min(node->FText.Length(), 255));
  for (TTreeNode* c = node->FFirstChild; c; c = c->FNextSibling) WriteNode(stream, c);
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
  if (recurse)
    for (TTreeNode* c = parent ? parent->FFirstChild : nodes->FFirst; c; c = c->FNextSibling)
      if (c->FFirstChild) SortChildren(c, sortProc, data, true);
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

// ===========================================================================
// List view

namespace {

int AlignmentFormat(TAlignment a) {
  return a == taRightJustify ? LVCFMT_RIGHT : (a == taCenter ? LVCFMT_CENTER : LVCFMT_LEFT);
}

const UINT SavedItemStates = LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT | LVIS_DROPHILITED | LVIS_STATEIMAGEMASK;

}  // namespace

void RegisterListItemClass(const TMetaClass* cls, TListItemFactory factory) { ItemClasses.Register(cls, factory); }

TListItem* CreateListItemOf(const TMetaClass* cls, TListItems* owner) { return ItemClasses.Create(cls, owner); }

// ---------------------------------------------------------------------------
// TListColumn, TListColumns

TListColumn::TListColumn(TCollection* collection) : TCollectionItem(collection) {}

TCustomListView* TListColumn::ListView() const {
  TCollection* c = Collection();
  return c && c->Is<TListColumns>() ? static_cast<TListColumns*>(c)->Owner() : nullptr;
}

void TListColumn::SetCaption(const AnsiString& value) {
  FCaption = value;
  Changed(false);
}

int TListColumn::Width() {
  // Only a report window has widths per column (in list mode the control
  // answers with its one column width).
  TCustomListView* view = ListView();
  if (view && FOrderTag >= 0 && view->HandleAllocated() && view->FNativeItemsValid &&
      (GetWindowLongA(view->WindowHandle(), GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT)
    FWidth = static_cast<int>(view->SendItemMessage(LVM_GETCOLUMNWIDTH, FOrderTag, 0));
  return FWidth;
}

void TListColumn::SetWidth(int value) {
  FWidth = value;
  TCustomListView* view = ListView();
  if (view && FOrderTag >= 0 && view->HandleAllocated() && view->FNativeItemsValid)
    view->SendItemMessage(LVM_SETCOLUMNWIDTH, FOrderTag, value);
}

void TListColumn::SetAlignment(TAlignment value) {
  if (ChangeField(FAlignment, value)) Changed(false);
}

void TListColumn::SetImageIndex(int value) {
  if (ChangeField(FImageIndex, value)) Changed(false);
}

void TListColumn::Assign(TPersistent* source) {
  if (source && source->Is<TListColumn>()) {
    auto* src = static_cast<TListColumn*>(source);
    FCaption = src->FCaption;
    FAlignment = src->FAlignment;
    FImageIndex = src->FImageIndex;
    SetWidth(src->Width());
    Changed(false);
    return;
  }
  TCollectionItem::Assign(source);
}

AnsiString TListColumn::GetDisplayName() { return FCaption.IsEmpty() ? TCollectionItem::GetDisplayName() : FCaption; }

TListColumns::TListColumns(TCustomListView* owner, const TMetaClass* itemClass, TCollectionItemFactory factory)
    : TCollection(itemClass, factory, owner), FListView(owner) {}

void TListColumns::Update(TCollectionItem* item) {
  if (item)
    FListView->UpdateColumn(static_cast<TListColumn*>(item));
  else
    FListView->UpdateColumns();
}

void TListColumns::Notify(TCollectionItem* item, TCollectionNotification action) {
  if (action == cnAdded)
    FListView->InsertColumn(static_cast<TListColumn*>(item));
  else if (action == cnExtracting)
    FListView->RemoveColumn(static_cast<TListColumn*>(item));
}

// ---------------------------------------------------------------------------
// TSubItems

void TSubItems::Refresh(int index) {
  TCustomListView* view = FOwner->ListView();
  if (!view || !FOwner->FInList || !view->HandleAllocated() || !view->FNativeItemsValid || view->FOwnerData) return;
  int item = FOwner->Index();
  if (index < 0) {
    view->SendItemMessage(LVM_UPDATE, item, 0);
    return;
  }
  view->SubItemTextChanged(item, index + 1);
}

int TCustomListView::InsertCallbackItem(LVITEMA& item) {
  return static_cast<int>(SendItemMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void TCustomListView::SubItemTextChanged(int index, int subItem) {
  LVITEMA it{};
  it.iSubItem = subItem;
  it.pszText = LPSTR_TEXTCALLBACKA;
  SendItemMessage(LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&it));
}

int TListItem::SubItemImages(int index) const {
  if (index < 0) throw EListError(Format("List index out of bounds (%d)", {index}));
  return index < static_cast<int>(FSubItemImages.size()) ? FSubItemImages[index] : -1;
}

void TListItem::SetSubItemImages(int index, int value) {
  if (index < 0) throw EListError(Format("List index out of bounds (%d)", {index}));
  if (SubItemImages(index) == value) return;
  if (index >= static_cast<int>(FSubItemImages.size())) FSubItemImages.resize(index + 1, -1);
  FSubItemImages[index] = value;
  TCustomListView* view = ListView();
  if (value >= 0 && view && !view->FSubItemImagesUsed) {
    view->FSubItemImagesUsed = true;
    if (view->HandleAllocated()) view->SendExtendedStyle();
  }
  SendSubItemImages();
}

void TListItem::SendSubItemImages() {
  TCustomListView* view = ListView();
  if (!view || !FInList || !view->HandleAllocated() || !view->FNativeItemsValid || view->FOwnerData) return;
  int item = Index();
  int count = std::min(static_cast<int>(FSubItemImages.size()), FSubItems->Count());
  if (count == 0) return;
  for (int i = 0; i < count; ++i) {
    // The control asks for the image of a sub-item only when told to.
    LVITEMA it{};
    it.mask = LVIF_IMAGE;
    it.iItem = item;
    it.iSubItem = i + 1;
    it.iImage = I_IMAGECALLBACK;
    view->SendItemMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  }
  view->SendItemMessage(LVM_UPDATE, item, 0);
}

void TSubItems::Put(int index, const AnsiString& s) {
  TStringList::Put(index, s);
  Refresh(index);
}

void TSubItems::InsertItem(int index, const AnsiString& s, TObject* obj) {
  TStringList::InsertItem(index, s, obj);
  // An added sub-item is told alone; one put in before others moves them all.
  Refresh(index == Count() - 1 ? index : -1);
  if (index < static_cast<int>(FOwner->FSubItemImages.size()) && FOwner->FSubItemImages[index] >= 0)
    FOwner->SendSubItemImages();
}

void TSubItems::Delete(int index) {
  TStringList::Delete(index);
  Refresh(-1);
}

void TSubItems::Clear() {
  bool had = Count() > 0;
  TStringList::Clear();
  if (had) Refresh(-1);
}

void TSubItems::Exchange(int index1, int index2) {
  TStringList::Exchange(index1, index2);
  Refresh(index1);
  Refresh(index2);
}


// ---------------------------------------------------------------------------
// TListItem

TListItem::TListItem(TListItems* owner) : FOwner(owner), FSubItems(new TSubItems(this)) {}

TListItem::~TListItem() {
  if (FInList && !FDeleting && FOwner) FOwner->DeleteItem(this, false);
  delete FSubItems;
}

TCustomListView* TListItem::ListView() const { return FOwner ? FOwner->Owner() : nullptr; }

int TListItem::Index() const {
  if (!FOwner) return -1;
  TCustomListView* view = FOwner->Owner();
  if (view->FOwnerData && this == view->FTempItem) return FIndexHint;
  if (!FInList) return -1;
  const std::vector<TListItem*>& items = FOwner->FItems;
  int n = static_cast<int>(items.size());
  // Inserting or deleting before an item moves it by one; look there first.
  for (int d : {0, 1, -1}) {
    int i = FIndexHint + d;
    if (i >= 0 && i < n && items[i] == this) return FIndexHint = i;
  }
  auto it = std::find(items.begin(), items.end(), this);
  FIndexHint = it == items.end() ? -1 : static_cast<int>(it - items.begin());
  return FIndexHint;
}

void TListItem::SetNativeItem(UINT mask) {
  TCustomListView* view = ListView();
  if (!view || !FInList || !view->HandleAllocated() || !view->FNativeItemsValid) return;
  int index = Index();
  if (mask & LVIF_TEXT) {
    LVITEMA it{};
    it.iSubItem = 0;
    it.pszText = LPSTR_TEXTCALLBACKA;
    view->SendItemMessage(LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&it));
  }
  if (mask & (LVIF_INDENT | LVIF_STATE)) {
    LVITEMA it{};
    it.mask = mask & (LVIF_INDENT | LVIF_STATE);
    it.iItem = index;
    it.iIndent = FIndent;
    it.stateMask = LVIS_OVERLAYMASK;
    it.state = INDEXTOOVERLAYMASK(FOverlayIndex >= 0 ? FOverlayIndex + 1 : 0);
    if (!view->FCheckboxes) {
      it.stateMask |= LVIS_STATEIMAGEMASK;
      it.state |= INDEXTOSTATEIMAGEMASK(FStateIndex >= 0 ? FStateIndex + 1 : 0);
    }
    view->SendItemMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  }
  // The image stays a callback: only a repaint makes the control ask again.
  // Within an update the whole window is drawn at its end.
  if ((mask & LVIF_IMAGE) && FOwner->FUpdateCount == 0) view->SendItemMessage(LVM_REDRAWITEMS, index, index);
}

void TListItem::SetCaption(const AnsiString& value) {
  FCaption = value;
  // An item added within the running update has never been drawn, its text
  // is asked for by callback, and the update's end has the whole window
  // drawn: telling the control of the new caption would be a message per
  // row of a fill for nothing.
  const bool undrawn = FOwner && FOwner->FUpdateCount > 0 && FAddedInBatch == FOwner->FBatch;
  if (!undrawn) SetNativeItem(LVIF_TEXT);
  TCustomListView* view = ListView();
  if (view && FInList && (view->FSortType == stText || view->FSortType == stBoth)) view->AlphaSort();
}

void TListItem::SetSubItems(TStrings* value) {
  if (value) FSubItems->Assign(value);
}

void TListItem::SetData(void* value) {
  FData = value;
  TCustomListView* view = ListView();
  if (view && FInList && (view->FSortType == stData || view->FSortType == stBoth)) view->AlphaSort();
}

void TListItem::SetImageIndex(int value) {
  if (ChangeField(FImageIndex, value)) SetNativeItem(LVIF_IMAGE);
}

void TListItem::SetStateIndex(int value) {
  if (ChangeField(FStateIndex, value)) SetNativeItem(LVIF_STATE);
}

void TListItem::SetOverlayIndex(int value) {
  if (ChangeField(FOverlayIndex, value)) SetNativeItem(LVIF_STATE);
}

void TListItem::SetIndent(int value) {
  if (ChangeField(FIndent, value)) SetNativeItem(LVIF_INDENT);
}

bool TListItem::GetState(UINT state) const {
  TCustomListView* view = ListView();
  bool isTemp = view && view->FOwnerData && this == view->FTempItem;
  if (view && (FInList || isTemp) && view->HandleAllocated() && view->FNativeItemsValid)
    return (view->SendItemMessage(LVM_GETITEMSTATE, Index(), state) & state) == state;
  return (FSavedState & state) == state;
}

void TListItem::SetState(UINT state, bool on) {
  TCustomListView* view = ListView();
  bool isTemp = view && view->FOwnerData && this == view->FTempItem;
  if (view && (FInList || isTemp) && view->ItemsHandle() && view->FNativeItemsValid) {
    LVITEMA it{};
    it.stateMask = state;
    it.state = on ? state : 0;
    view->SendItemMessage(LVM_SETITEMSTATE, Index(), reinterpret_cast<LPARAM>(&it));
    return;
  }
  if (on)
    FSavedState |= state;
  else
    FSavedState &= ~state;
}

bool TListItem::Checked() const {
  TCustomListView* view = ListView();
  if (view && FInList && view->HandleAllocated() && view->FNativeItemsValid)
    return (view->SendItemMessage(LVM_GETITEMSTATE, Index(), LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) ==
           INDEXTOSTATEIMAGEMASK(2);
  return (FSavedState & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

void TListItem::SetChecked(bool value) {
  TCustomListView* view = ListView();
  UINT state = INDEXTOSTATEIMAGEMASK(value ? 2 : 1);
  if (view && FInList && view->ItemsHandle() && view->FNativeItemsValid) {
    LVITEMA it{};
    it.stateMask = LVIS_STATEIMAGEMASK;
    it.state = state;
    view->SendItemMessage(LVM_SETITEMSTATE, Index(), reinterpret_cast<LPARAM>(&it));
    return;
  }
  FSavedState = (FSavedState & ~LVIS_STATEIMAGEMASK) | state;
}

void TListItem::Delete() {
  if (FOwner && FInList) FOwner->DeleteItem(this, true);
}

void TListItem::MakeVisible(bool partialOK) {
  TCustomListView* view = ListView();
  if (FInList && view->ItemsHandle()) view->SendItemMessage(LVM_ENSUREVISIBLE, Index(), partialOK ? 1 : 0);
}

void TListItem::Update() {
  TCustomListView* view = ListView();
  if (FInList && view->HandleAllocated() && view->FNativeItemsValid) view->SendItemMessage(LVM_UPDATE, Index(), 0);
}

TRect TListItem::DisplayRect(TDisplayCode code) {
  static const int codes[] = {LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL, LVIR_SELECTBOUNDS};
  TRect r;
  TCustomListView* view = ListView();
  if (FInList && view->ItemsHandle()) {
    RECT rc{};
    rc.left = codes[code];
    if (view->SendItemMessage(LVM_GETITEMRECT, Index(), reinterpret_cast<LPARAM>(&rc)))
      r = TRect(rc.left, rc.top, rc.right, rc.bottom);
  }
  return r;
}

bool TListItem::EditCaption() {
  TCustomListView* view = ListView();
  if (!FInList || !view->ItemsHandle()) return false;
  ::SetFocus(view->WindowHandle());
  return view->SendItemMessage(LVM_EDITLABELA, Index(), 0) != 0;
}

void TListItem::CancelEdit() {
  TCustomListView* view = ListView();
  if (view->HandleAllocated()) view->SendItemMessage(LVM_EDITLABELA, static_cast<WPARAM>(-1), 0);
}

void TListItem::Assign(TPersistent* source) {
  if (source && source->Is<TListItem>()) {
    auto* src = static_cast<TListItem*>(source);
    SetCaption(src->FCaption);
    SetData(src->FData);
    SetImageIndex(src->FImageIndex);
    SetIndent(src->FIndent);
    SetOverlayIndex(src->FOverlayIndex);
    SetStateIndex(src->FStateIndex);
    FSubItems->Assign(src->FSubItems);
    for (int i = 0; i < static_cast<int>(std::max(FSubItemImages.size(), src->FSubItemImages.size())); ++i)
      SetSubItemImages(i, src->SubItemImages(i));
    if (ListView() && ListView()->FCheckboxes) SetChecked(src->Checked());
    return;
  }
  TPersistent::Assign(source);
}

// ---------------------------------------------------------------------------
// TListItems

TListItems::TListItems(TCustomListView* owner) : FOwner(owner) {}

TListItems::~TListItems() {
  // The view is going: the items go silently (the window went before).
  std::vector<TListItem*> items;
  items.swap(FItems);
  for (TListItem* item : items) {
    item->FInList = false;
    item->FDeleting = true;
    delete item;
  }
}

TPersistent* TListItems::GetOwner() { return FOwner; }

int TListItems::Count() const {
  return FOwner->FOwnerData ? FOwner->FOwnerDataCount : static_cast<int>(FItems.size());
}

void TListItems::SetCount(int value) {
  if (!FOwner->FOwnerData || value < 0) return;
  FOwner->FOwnerDataCount = value;
  if (FOwner->ItemsHandle() && FOwner->FNativeItemsValid) FOwner->SendItemMessage(LVM_SETITEMCOUNT, value, 0);
}

TListItem* TListItems::Item(int index) {
  if (index < 0 || index >= Count()) TList::Error(SListIndexOutOfBounds, index);
  if (!FOwner->FOwnerData) return FItems[index];
  TListItem* temp = FOwner->FTempItem;
  if (!temp) temp = FOwner->FTempItem = FOwner->CreateListItem();
  temp->FIndexHint = index;
  temp->FCaption = AnsiString();
  temp->FSubItems->TStringList::Clear();
  temp->FImageIndex = -1;
  temp->FData = nullptr;
  FOwner->OwnerDataFetch(temp, irText | irImage | irParam | irState | irIndent);
  return temp;
}

int TListItems::IndexOf(TListItem* item) const {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

TListItem* TListItems::Add() { return InsertAt(FOwner->CreateListItem(), static_cast<int>(FItems.size())); }

TListItem* TListItems::Insert(int index) {
  if (index < 0 || index > static_cast<int>(FItems.size())) TList::Error(SListIndexOutOfBounds, index);
  return InsertAt(FOwner->CreateListItem(), index);
}

TListItem* TListItems::AddItem(TListItem* item, int index) {
  if (index < 0 || index > static_cast<int>(FItems.size())) index = static_cast<int>(FItems.size());
  TListItem* created = FOwner->CreateListItem();
  if (item) {
    try {
      created->Assign(item);
    } catch (...) {
      delete created;
      throw;
    }
  }
  return InsertAt(created, index);
}

TListItem* TListItems::InsertAt(TListItem* item, int index) {
  if (FOwner->FOwnerData) {
    delete item;
    throw EListViewError("Operation not allowed on an owner-data list view");
  }
  // A window made now takes the items there are; this one follows.
  FOwner->ItemsHandle();
  FItems.insert(FItems.begin() + index, item);
  item->FInList = true;
  item->FIndexHint = index;
  item->FAddedInBatch = FUpdateCount > 0 ? FBatch : 0;
  try {
    InsertNative(item, index);
  } catch (...) {
    FItems.erase(FItems.begin() + index);
    item->FInList = false;
    item->FDeleting = true;
    delete item;
    throw;
  }
  return item;
}

void TListItems::InsertNative(TListItem* item, int index) {
  if (!FOwner->HandleAllocated() || !FOwner->FNativeItemsValid) return;
  LVITEMA it{};
  it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  it.iItem = index;
  it.pszText = LPSTR_TEXTCALLBACKA;
  it.iImage = I_IMAGECALLBACK;
  it.lParam = reinterpret_cast<LPARAM>(item);
  if (item->FIndent) {
    it.mask |= LVIF_INDENT;
    it.iIndent = item->FIndent;
  }
  UINT state = item->FSavedState & (LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT | LVIS_DROPHILITED);
  UINT mask = state;
  if (item->FOverlayIndex >= 0) {
    state |= INDEXTOOVERLAYMASK(item->FOverlayIndex + 1);
    mask |= LVIS_OVERLAYMASK;
  }
  if (!FOwner->FCheckboxes && item->FStateIndex >= 0) {
    state |= INDEXTOSTATEIMAGEMASK(item->FStateIndex + 1);
    mask |= LVIS_STATEIMAGEMASK;
  }
  if (mask) {
    it.mask |= LVIF_STATE;
    it.state = state;
    it.stateMask = mask;
  }
  int r = FOwner->InsertCallbackItem(it);
  if (r < 0) throw EOutOfResources(SInsertItemError);
  // The control gives a new item of a check-box view its unchecked box; a
  // kept mark goes on afterwards.
  UINT check = item->FSavedState & LVIS_STATEIMAGEMASK;
  if (FOwner->FCheckboxes && check && check != INDEXTOSTATEIMAGEMASK(1)) {
    LVITEMA st{};
    st.stateMask = LVIS_STATEIMAGEMASK;
    st.state = check;
    FOwner->SendItemMessage(LVM_SETITEMSTATE, r, reinterpret_cast<LPARAM>(&st));
  }
  // Texts an item already has are told as every later change is (a derived
  // view keeps its own copies in step on these messages).
  if (!item->FCaption.IsEmpty()) item->SetNativeItem(LVIF_TEXT);
  for (int i = 0; i < item->FSubItems->Count(); ++i) {
    LVITEMA st{};
    st.iSubItem = i + 1;
    st.pszText = LPSTR_TEXTCALLBACKA;
    FOwner->SendItemMessage(LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&st));
  }
  item->SendSubItemImages();
}

void TListItems::Delete(int index) {
  if (index < 0 || index >= static_cast<int>(FItems.size())) TList::Error(SListIndexOutOfBounds, index);
  DeleteItem(FItems[index], true);
}

void TListItems::DeleteItem(TListItem* item, bool deleteObject) {
  if (!item->FInList || item->FDeleting) return;
  item->FDeleting = true;
  GuardedCall(FOwner, [&] { FOwner->Delete(item); });
  int index = item->Index();
  if (FOwner->HandleAllocated() && FOwner->FNativeItemsValid)
    FOwner->SendItemMessage(LVM_DELETEITEM, index, 0);
  index = item->Index();  // a handler may have moved it
  if (index >= 0) FItems.erase(FItems.begin() + index);
  item->FInList = false;
  if (deleteObject) delete item;
}

void TListItems::NativeItemDeleted(TListItem* item) {
  // Someone removed the item from the window directly: the object goes too.
  item->FDeleting = true;
  GuardedCall(FOwner, [&] { FOwner->Delete(item); });
  int index = item->Index();
  if (index >= 0) FItems.erase(FItems.begin() + index);
  item->FInList = false;
  delete item;
}

void TListItems::Clear() {
  if (FOwner->FOwnerData) {
    SetCount(0);
    return;
  }
  if (FItems.empty()) return;
  BeginUpdate();
  std::vector<TListItem*> items = FItems;
  for (TListItem* item : items) {
    item->FDeleting = true;
    GuardedCall(FOwner, [&] { FOwner->Delete(item); });
  }
  if (FOwner->HandleAllocated() && FOwner->FNativeItemsValid) {
    FOwner->FClearing = true;
    FOwner->SendItemMessage(LVM_DELETEALLITEMS, 0, 0);
    FOwner->FClearing = false;
  }
  FItems.clear();
  for (TListItem* item : items) {
    item->FInList = false;
    delete item;
  }
  EndUpdate();
}

void TListItems::BeginUpdate() {
  if (FUpdateCount == 0 && ++FBatch == 0) FBatch = 1;
  TItemViewShared<TCustomListView>::BeginUpdate(FOwner, FUpdateCount);
}
void TListItems::EndUpdate() { TItemViewShared<TCustomListView>::EndUpdate(FOwner, FUpdateCount); }

void TListItems::Assign(TPersistent* source) {
  if (source && source->Is<TListItems>()) {
    auto* src = static_cast<TListItems*>(source);
    if (src == this) return;
    TUpdateScope<TListItems> update(this);
    Clear();
    for (int i = 0; i < src->Count(); ++i) AddItem(src->Item(i));
    return;
  }
  TPersistent::Assign(source);
}

// ---------------------------------------------------------------------------
// TCustomListView

CL_BEGIN_MESSAGE_MAP(TCustomListView, TWinControl)
  CL_MESSAGE(CN_NOTIFY, CNNotify)
  CL_MESSAGE(CN_DRAWITEM, CNDrawItem)
  CL_MESSAGE(WM_DESTROY, WMDestroy)
  CL_ITEM_VIEW_MESSAGES
CL_END_MESSAGE_MAP

CL_ITEM_VIEW_BODIES(TCustomListView)

TCustomListView::TCustomListView(TComponent* owner) : TWinControl(owner) {
  TItemViewShared<TCustomListView>::InitControl(this, 250, 150);
  FListColumns = new TListColumns(this);
  FSmallChangeLink = TItemViewShared<TCustomListView>::NewImageChangeLink(this);
  FLargeChangeLink = TItemViewShared<TCustomListView>::NewImageChangeLink(this);
  FStateChangeLink = TItemViewShared<TCustomListView>::NewImageChangeLink(this);
  FCanvas = new TControlCanvas();
  FCanvas->SetControl(this);
  FItemDrawFont = new TFont();
}

TCustomListView::~TCustomListView() {
  Destroying();
  if (HandleAllocated()) DestroyHandle();
  delete FListItems;
  FListItems = nullptr;
  delete FTempItem;
  FTempItem = nullptr;
  delete FListColumns;
  FListColumns = nullptr;
  delete FSmallChangeLink;
  delete FLargeChangeLink;
  delete FStateChangeLink;
  delete FCanvas;
  delete FItemDrawFont;
}

TListItems* TCustomListView::Items() {
  if (!FListItems) FListItems = CreateListItems();
  return FListItems;
}

TListItem* TCustomListView::CreateListItem() {
  return CreateListItemOf(TItemViewShared<TCustomListView>::ChosenClass<TListItem, EListViewError>(
                              this, OnCreateItemClass, "Invalid item class"),
                          Items());
}

TListItems* TCustomListView::CreateListItems() { return new TListItems(this); }

TCanvas* TCustomListView::Canvas() const { return FCanvas; }

const TMetaClass* TCustomListView::GetActionLinkClass() { return &TListViewActionLink::Class; }

void TCustomListView::CreateParams(TCreateParams& params) {
  static const DWORD viewStyles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  TWinControl::CreateParams(params);
  CreateSubClass(params, WC_LISTVIEWA);
  // The image lists belong to the program, not to the control.
  params.Style |= LVS_SHAREIMAGELISTS | viewStyles[FViewStyle];
  if (!FReadOnly) params.Style |= LVS_EDITLABELS;
  if (!FHideSelection) params.Style |= LVS_SHOWSELALWAYS;
  if (!FMultiSelect) params.Style |= LVS_SINGLESEL;
  if (!FColumnClick) params.Style |= LVS_NOSORTHEADER;
  if (!FShowColumnHeaders) params.Style |= LVS_NOCOLUMNHEADER;
  if (FOwnerData) params.Style |= LVS_OWNERDATA;
  if (FOwnerDraw && FViewStyle == vsReport) params.Style |= LVS_OWNERDRAWFIXED;
  TItemViewShared<TCustomListView>::AddBorder(this, params);
}

void TCustomListView::CreateWnd() {
  FNativeItemsValid = false;
  TWinControl::CreateWnd();
  SendExtendedStyle();
  SendImageLists();
  SendColors();
  TListItems* items = Items();
  TCountScope restoring(FRestoring);
  FNativeItemsValid = true;
  bool redrawOff = items->FUpdateCount > 0 || !items->FItems.empty();
  if (redrawOff) SendItemMessage(WM_SETREDRAW, 0, 0);
  try {
    for (int i = 0; i < FListColumns->Count(); ++i) FListColumns->Items(i)->FOrderTag = -1;
    for (int i = 0; i < FListColumns->Count(); ++i) InsertColumn(FListColumns->Items(i));
    if (FOwnerData) {
      SendItemMessage(LVM_SETITEMCOUNT, FOwnerDataCount, 0);
    } else {
      for (size_t i = 0; i < items->FItems.size(); ++i) items->InsertNative(items->FItems[i], static_cast<int>(i));
    }
  } catch (...) {
    if (redrawOff && items->FUpdateCount == 0) SendItemMessage(WM_SETREDRAW, 1, 0);
    throw;
  }
  if (redrawOff && items->FUpdateCount == 0) SendItemMessage(WM_SETREDRAW, 1, 0);
}

void TCustomListView::WMDestroy(TMessage& m) {
  // What only the window knows is kept in the items for the next window.
  if (FNativeItemsValid) {
    SaveColumnWidths();
    if (FListItems && !FOwnerData)
      for (size_t i = 0; i < FListItems->FItems.size(); ++i)
        FListItems->FItems[i]->FSavedState =
            static_cast<UINT>(SendItemMessage(LVM_GETITEMSTATE, i, SavedItemStates)) & SavedItemStates;
  }
  TItemViewShared<TCustomListView>::WindowGoes(this, m);
  for (int i = 0; i < FListColumns->Count(); ++i) FListColumns->Items(i)->FOrderTag = -1;
}

void TCustomListView::SaveColumnWidths() {
  for (int i = 0; i < FListColumns->Count(); ++i) FListColumns->Items(i)->Width();
}

void TCustomListView::InsertColumn(TListColumn* column) {
  if (!HandleAllocated() || !FNativeItemsValid || column->FOrderTag >= 0) return;
  int tag = 0;
  for (int i = 0; i < FListColumns->Count(); ++i)
    if (FListColumns->Items(i)->FOrderTag >= 0) ++tag;
  LVCOLUMNA col{};
  col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  col.fmt = AlignmentFormat(column->FAlignment);
  col.cx = column->FWidth;
  col.pszText = const_cast<char*>(column->FCaption.c_str());
  int r = static_cast<int>(SendItemMessage(LVM_INSERTCOLUMNA, tag, reinterpret_cast<LPARAM>(&col)));
  if (r < 0) throw EOutOfResources(SInsertItemError);
  column->FOrderTag = r;
  // The caption once more the way every later change goes, so that a derived
  // view sees each caption on LVM_SETCOLUMNA.
  UpdateColumn(column);
}

void TCustomListView::UpdateColumn(TListColumn* column) {
  if (!HandleAllocated() || !FNativeItemsValid || column->FOrderTag < 0) return;
  LVCOLUMNA col{};
  col.mask = LVCF_FMT | LVCF_TEXT;
  col.fmt = AlignmentFormat(column->FAlignment);
  col.pszText = const_cast<char*>(column->FCaption.c_str());
  if (column->FImageIndex >= 0) {
    col.mask |= LVCF_IMAGE;
    col.fmt |= LVCFMT_IMAGE;
    col.iImage = column->FImageIndex;
  }
  SendItemMessage(LVM_SETCOLUMNA, column->FOrderTag, reinterpret_cast<LPARAM>(&col));
}

void TCustomListView::UpdateColumns() {
  if (!HandleAllocated() || !FNativeItemsValid) return;
  bool inOrder = true;
  for (int i = 0; i < FListColumns->Count(); ++i)
    if (FListColumns->Items(i)->FOrderTag != i) inOrder = false;
  if (!inOrder) {
    // A column moved in the collection: the window's columns are made anew.
    SaveColumnWidths();
    while (SendItemMessage(LVM_DELETECOLUMN, 0, 0)) {
    }
    for (int i = 0; i < FListColumns->Count(); ++i) FListColumns->Items(i)->FOrderTag = -1;
    for (int i = 0; i < FListColumns->Count(); ++i) InsertColumn(FListColumns->Items(i));
    return;
  }
  for (int i = 0; i < FListColumns->Count(); ++i) UpdateColumn(FListColumns->Items(i));
}

void TCustomListView::RemoveColumn(TListColumn* column) {
  int tag = column->FOrderTag;
  column->FOrderTag = -1;
  if (tag < 0 || !HandleAllocated() || !FNativeItemsValid) return;
  SendItemMessage(LVM_DELETECOLUMN, tag, 0);
  for (int i = 0; i < FListColumns->Count(); ++i) {
    TListColumn* c = FListColumns->Items(i);
    if (c->FOrderTag > tag) --c->FOrderTag;
  }
}

void TCustomListView::SendExtendedStyle() {
  if (!HandleAllocated()) return;
  DWORD mask = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_TRACKSELECT | LVS_EX_INFOTIP |
               LVS_EX_SUBITEMIMAGES;
  DWORD style = (FRowSelect ? LVS_EX_FULLROWSELECT : 0) | (FGridLines ? LVS_EX_GRIDLINES : 0) |
                (FCheckboxes ? LVS_EX_CHECKBOXES : 0) | (FHotTrack ? LVS_EX_TRACKSELECT : 0) |
                (OnInfoTip ? LVS_EX_INFOTIP : 0) | (FSubItemImagesUsed ? LVS_EX_SUBITEMIMAGES : 0);
  SendItemMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style);
}

void TCustomListView::SendImageLists() {
  if (!HandleAllocated()) return;
  SendItemMessage(LVM_SETIMAGELIST, LVSIL_SMALL,
                  reinterpret_cast<LPARAM>(FSmallImages ? FSmallImages->Handle() : nullptr));
  SendItemMessage(LVM_SETIMAGELIST, LVSIL_NORMAL,
                  reinterpret_cast<LPARAM>(FLargeImages ? FLargeImages->Handle() : nullptr));
  if (!FCheckboxes)
    SendItemMessage(LVM_SETIMAGELIST, LVSIL_STATE,
                    reinterpret_cast<LPARAM>(FStateImages ? FStateImages->Handle() : nullptr));
}

void TCustomListView::SendColors() {
  if (!HandleAllocated()) return;
  COLORREF bk = ColorToRGB(FColor);
  SendItemMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(bk));
  SendItemMessage(LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(bk));
  SendItemMessage(LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(FFont->Color())));
}

void TCustomListView::SetSmallImages(TCustomImageList* value) {
  TItemViewShared<TCustomListView>::SetImageList(this, FSmallImages, value, FSmallChangeLink);
}

void TCustomListView::SetLargeImages(TCustomImageList* value) {
  TItemViewShared<TCustomListView>::SetImageList(this, FLargeImages, value, FLargeChangeLink);
}

void TCustomListView::SetStateImages(TCustomImageList* value) {
  TItemViewShared<TCustomListView>::SetImageList(this, FStateImages, value, FStateChangeLink);
}

void TCustomListView::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FSmallImages) SetSmallImages(nullptr);
  if (component == FLargeImages) SetLargeImages(nullptr);
  if (component == FStateImages) SetStateImages(nullptr);
}

void TCustomListView::Loaded() {
  TWinControl::Loaded();
  if (HandleAllocated()) SendImageLists();
}

void TCustomListView::SetViewStyle(TViewStyle value) {
  if (ChangeField(FViewStyle, value)) RecreateWnd();
}

void TCustomListView::SetRowSelect(bool value) {
  if (ChangeField(FRowSelect, value)) SendExtendedStyle();
}

void TCustomListView::SetGridLines(bool value) {
  if (ChangeField(FGridLines, value)) SendExtendedStyle();
}

void TCustomListView::SetCheckboxes(bool value) {
  // The check boxes are state images: the window is made anew with them.
  if (ChangeField(FCheckboxes, value)) RecreateWnd();
}

void TCustomListView::SetHotTrack(bool value) {
  if (ChangeField(FHotTrack, value)) SendExtendedStyle();
}

void TCustomListView::SetMultiSelect(bool value) {
  if (ChangeField(FMultiSelect, value)) RecreateWnd();
}

void TCustomListView::SetReadOnly(bool value) {
  if (ChangeField(FReadOnly, value)) RecreateWnd();
}

void TCustomListView::SetHideSelection(bool value) {
  if (ChangeField(FHideSelection, value)) RecreateWnd();
}

void TCustomListView::SetColumnClick(bool value) {
  if (ChangeField(FColumnClick, value)) RecreateWnd();
}

void TCustomListView::SetShowColumnHeaders(bool value) {
  if (ChangeField(FShowColumnHeaders, value)) RecreateWnd();
}

void TCustomListView::SetOwnerData(bool value) {
  if (value == FOwnerData) return;
  Items()->Clear();
  FOwnerData = value;
  FOwnerDataCount = 0;
  delete FTempItem;
  FTempItem = nullptr;
  RecreateWnd();
}

void TCustomListView::SetOwnerDraw(bool value) {
  if (ChangeField(FOwnerDraw, value)) RecreateWnd();
}

void TCustomListView::SetOnInfoTip(TLVInfoTipEvent v) {
  bool had = static_cast<bool>(OnInfoTip);
  OnInfoTip = v;
  if (had != static_cast<bool>(v)) SendExtendedStyle();
}

void TCustomListView::SetBorderStyle(TBorderStyle value) {
  if (ChangeField(FBorderStyle, value)) RecreateWnd();
}

void TCustomListView::SetSortType(TSortType value) {
  if (ChangeField(FSortType, value) && TItemViewShared<TCustomListView>::SortTypeSorts(this, value)) AlphaSort();
}

TListItem* TCustomListView::ItemOf(int index, LPARAM param) {
  if (FOwnerData) return index >= 0 && index < FOwnerDataCount ? Items()->Item(index) : nullptr;
  if (!FListItems) return nullptr;
  if (param) {
    auto* item = reinterpret_cast<TListItem*>(param);
    if (item->FOwner == FListItems) return item;
  }
  if (index >= 0 && index < static_cast<int>(FListItems->FItems.size())) return FListItems->FItems[index];
  return nullptr;
}

TListItem* TCustomListView::Selected() {
  if (HandleAllocated() && FNativeItemsValid)
    return ItemOf(static_cast<int>(SendItemMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)), 0);
  if (FListItems)
    for (TListItem* item : FListItems->FItems)
      if (item->FSavedState & LVIS_SELECTED) return item;
  return nullptr;
}

void TCustomListView::SetSelected(TListItem* value) {
  if (value) {
    value->SetSelected(true);
    return;
  }
  if (ItemsHandle() && FNativeItemsValid) {
    LVITEMA it{};
    it.stateMask = LVIS_SELECTED;
    SendItemMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&it));
  } else if (FListItems) {
    for (TListItem* item : FListItems->FItems) item->FSavedState &= ~LVIS_SELECTED;
  }
}

TListItem* TCustomListView::ItemFocused() {
  if (HandleAllocated() && FNativeItemsValid)
    return ItemOf(static_cast<int>(SendItemMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)), 0);
  if (FListItems)
    for (TListItem* item : FListItems->FItems)
      if (item->FSavedState & LVIS_FOCUSED) return item;
  return nullptr;
}

void TCustomListView::SetItemFocused(TListItem* value) {
  if (value) {
    value->SetFocused(true);
    return;
  }
  if (TListItem* focused = ItemFocused()) focused->SetFocused(false);
}

TListItem* TCustomListView::DropTarget() {
  if (HandleAllocated() && FNativeItemsValid)
    return ItemOf(static_cast<int>(SendItemMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_DROPHILITED)), 0);
  if (FListItems)
    for (TListItem* item : FListItems->FItems)
      if (item->FSavedState & LVIS_DROPHILITED) return item;
  return nullptr;
}

void TCustomListView::SetDropTarget(TListItem* value) {
  if (TListItem* old = DropTarget()) old->SetDropTarget(false);
  if (value) value->SetDropTarget(true);
}

int TCustomListView::SelCount() {
  if (HandleAllocated() && FNativeItemsValid) return static_cast<int>(SendItemMessage(LVM_GETSELECTEDCOUNT, 0, 0));
  int n = 0;
  if (FListItems)
    for (TListItem* item : FListItems->FItems)
      if (item->FSavedState & LVIS_SELECTED) ++n;
  return n;
}

TListItem* TCustomListView::TopItem() {
  if (!HandleAllocated() || !FNativeItemsValid) return nullptr;
  return ItemOf(static_cast<int>(SendItemMessage(LVM_GETTOPINDEX, 0, 0)), 0);
}

TListItem* TCustomListView::GetNextItem(TListItem* startItem, TSearchDirection direction, TItemStates states) {
  if (!ItemsHandle() || !FNativeItemsValid) return nullptr;
  static const UINT directions[] = {LVNI_TOLEFT, LVNI_TORIGHT, LVNI_ABOVE, LVNI_BELOW, LVNI_ALL};
  UINT flags = directions[direction];
  if (states & isCut) flags |= LVNI_CUT;
  if (states & isDropHilited) flags |= LVNI_DROPHILITED;
  if (states & isFocused) flags |= LVNI_FOCUSED;
  if (states & isSelected) flags |= LVNI_SELECTED;
  int start = startItem ? startItem->Index() : -1;
  return ItemOf(static_cast<int>(SendItemMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags)), 0);
}

TListItem* TCustomListView::FindCaption(int startIndex, const AnsiString& value, bool partial, bool inclusive,
                                        bool wrap) {
  if (!ItemsHandle() || !FNativeItemsValid) return nullptr;
  LVFINDINFOA info{};
  info.flags = LVFI_STRING | (partial ? LVFI_PARTIAL : 0) | (wrap ? LVFI_WRAP : 0);
  info.psz = value.c_str();
  // The control searches after the start index.
  if (inclusive) --startIndex;
  int index = static_cast<int>(SendItemMessage(LVM_FINDITEMA, static_cast<WPARAM>(startIndex),
                                               reinterpret_cast<LPARAM>(&info)));
  return index >= 0 ? ItemOf(index, 0) : nullptr;
}

TListItem* TCustomListView::FindData(int startIndex, void* value, bool inclusive, bool wrap) {
  TListItems* items = Items();
  int count = items->Count();
  if (inclusive) --startIndex;
  for (int i = std::max(startIndex + 1, 0); i < count; ++i)
    if (items->Item(i)->FData == value) return items->Item(i);
  if (wrap)
    for (int i = 0; i <= std::min(startIndex, count - 1); ++i)
      if (items->Item(i)->FData == value) return items->Item(i);
  return nullptr;
}

TListItem* TCustomListView::GetItemAt(int x, int y) {
  if (!ItemsHandle() || !FNativeItemsValid) return nullptr;
  LVHITTESTINFO hi{};
  hi.pt = {x, y};
  int index = static_cast<int>(SendItemMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi)));
  if (index < 0 || !(hi.flags & LVHT_ONITEM)) return nullptr;
  return ItemOf(index, 0);
}

int TCustomListView::StringWidth(const AnsiString& s) {
  if (!ItemsHandle()) return 0;
  return static_cast<int>(SendItemMessage(LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(s.c_str())));
}

AnsiString TCustomListView::GetSearchString() {
  if (!HandleAllocated()) return AnsiString();
  // The message takes no buffer size; the control's own limit is far below this.
  std::vector<char> buf(1024, '\0');
  if (!SendItemMessage(LVM_GETISEARCHSTRINGA, 0, reinterpret_cast<LPARAM>(buf.data()))) return AnsiString();
  buf.back() = '\0';
  return AnsiString(buf.data());
}

TListItem* TCustomListView::AddItem(const AnsiString& caption, void* data) {
  TListItem* item = Items()->Add();
  item->SetCaption(caption);
  item->SetData(data);
  return item;
}

int CALLBACK TCustomListView::DefaultListViewSort(LPARAM item1, LPARAM item2, LPARAM data) {
  return TItemViewShared<TCustomListView>::SortCallback<TListItem>(item1, item2, data);
}

bool TCustomListView::AlphaSort() { return CustomSort(nullptr, 0); }

bool TCustomListView::CustomSort(PFNLVCOMPARE sortProc, LPARAM data) {
  if (FOwnerData) return false;
  if (!sortProc) sortProc = &DefaultListViewSort;
  TListItems* items = Items();
  if (HandleAllocated()) {
    // Sent also before the items are in the window: a derived view may look
    // at the message there.
    bool result = SendItemMessage(LVM_SORTITEMS, static_cast<WPARAM>(data), reinterpret_cast<LPARAM>(sortProc)) != 0;
    if (FNativeItemsValid) SyncItemOrder();
    return result;
  }
  std::stable_sort(items->FItems.begin(), items->FItems.end(), [&](TListItem* a, TListItem* b) {
    return sortProc(reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b), data) < 0;
  });
  return true;
}

void TCustomListView::SyncItemOrder() {
  std::vector<TListItem*>& v = FListItems->FItems;
  std::vector<TListItem*> order;
  order.reserve(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    LVITEMA it{};
    it.mask = LVIF_PARAM;
    it.iItem = static_cast<int>(i);
    if (!SendItemMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return;
    auto* item = reinterpret_cast<TListItem*>(it.lParam);
    if (!item || item->FOwner != FListItems) return;
    order.push_back(item);
    item->FIndexHint = static_cast<int>(i);
  }
  v.swap(order);
}

void TCustomListView::Scroll(int dx, int dy) {
  if (HandleAllocated()) SendItemMessage(LVM_SCROLL, dx, dy);
}

bool TCustomListView::IsEditing() {
  return HandleAllocated() && SendItemMessage(LVM_GETEDITCONTROL, 0, 0) != 0;
}

void TCustomListView::GetImageIndex(TListItem* item) { Fire(OnGetImageIndex, this, item); }

namespace {
// The kind of change a notification's LVIF_ mask names; false for others.
bool ItemChangeOf(UINT change, TItemChange& kind) {
  if (change == LVIF_TEXT)
    kind = ctText;
  else if (change == LVIF_IMAGE)
    kind = ctImage;
  else if (change == LVIF_STATE)
    kind = ctState;
  else
    return false;
  return true;
}
}  // namespace

bool TCustomListView::CanChange(TListItem* item, UINT change) {
  TItemChange kind;
  return !ItemChangeOf(change, kind) || Allowed(OnChanging, this, item, kind);
}

void TCustomListView::Change(TListItem* item, UINT change) {
  TItemChange kind;
  if (ItemChangeOf(change, kind)) Fire(OnChange, this, item, kind);
}

void TCustomListView::Delete(TListItem* item) { Fire(OnDeletion, this, item); }

void TCustomListView::InsertItem(TListItem* item) { Fire(OnInsert, this, item); }

bool TCustomListView::CanEdit(TListItem* item) { return TItemViewShared<TCustomListView>::CanEdit(this, item); }

void TCustomListView::Edit(const LVITEMA& item) {
  TListItem* li = ItemOf(item.iItem, (item.mask & LVIF_PARAM) ? item.lParam : 0);
  AnsiString s(item.pszText ? item.pszText : "");
  if (OnEdited) OnEdited(this, li, s);
  if (li) li->SetCaption(s);
}

void TCustomListView::ColClick(TListColumn* column) { Fire(OnColumnClick, this, column); }

bool TCustomListView::OwnerDataFetch(TListItem* item, TItemRequest request) {
  (void)request;
  if (!OnData) return false;
  OnData(this, item);
  return true;
}

int TCustomListView::OwnerDataFind(TItemFind find, const AnsiString& findString, const TPoint& findPosition,
                                   void* findData, int startIndex, TSearchDirection direction, bool wrap) {
  int index = -1;
  if (OnDataFind) OnDataFind(this, find, findString, findPosition, findData, startIndex, direction, wrap, index);
  return index;
}

void TCustomListView::DrawItem(TListItem* item, const TRect& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, item, rect, state);
    return;
  }
  FCanvas->FillRect(rect);
  FCanvas->TextOut(rect.left + 2, rect.top, item->Caption());
}

void TCustomListView::CNDrawItem(TMessage& m) {
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
  TListItem* item = ItemOf(static_cast<int>(dis->itemID), FOwnerData ? 0 : static_cast<LPARAM>(dis->itemData));
  if (!item) return;
  auto state = static_cast<TOwnerDrawState>(dis->itemState);
  FCanvas->BeginPaintDC(dis->hDC);
  FCanvas->Font()->Assign(FFont);
  FCanvas->Brush()->SetStyle(bsSolid);
  if (state & odSelected) {
    FCanvas->Brush()->SetColor(clHighlight);
    FCanvas->Font()->SetColor(clHighlightText);
  } else {
    FCanvas->Brush()->SetColor(FColor);
  }
  try {
    DrawItem(item, TRect(dis->rcItem.left, dis->rcItem.top, dis->rcItem.right, dis->rcItem.bottom), state);
  } catch (...) {
    FCanvas->EndPaintDC();
    throw;
  }
  FCanvas->EndPaintDC();
  m.Result = 1;
}

bool TCustomListView::IsCustomDrawn() { return OnCustomDrawItem || OnCustomDrawSubItem; }

bool TCustomListView::CustomDrawItem(TListItem* item, TCustomDrawState state) {
  bool defaultDraw = true;
  if (OnCustomDrawItem) OnCustomDrawItem(this, item, state, defaultDraw);
  return defaultDraw;
}

bool TCustomListView::CustomDrawSubItem(TListItem* item, int subItem, TCustomDrawState state) {
  bool defaultDraw = true;
  if (OnCustomDrawSubItem) OnCustomDrawSubItem(this, item, subItem, state, defaultDraw);
  return defaultDraw;
}

void TCustomListView::BeginCustomDraw(HDC dc) { TViewDrawFonts::Begin(FCanvas, dc, FFont, FColor); }

LRESULT TCustomListView::EndCustomDraw(NMLVCUSTOMDRAW* cd, bool defaultDraw) {
  return FDrawFonts.End(FCanvas, cd->nmcd.hdc, cd->clrText, cd->clrTextBk, defaultDraw);
}

LRESULT TCustomListView::PassDrawValues(NMLVCUSTOMDRAW* cd, TFont* font, TColor textColor, TColor bkColor) {
  return FDrawFonts.HandOver(cd->nmcd.hdc, cd->clrText, cd->clrTextBk, font, textColor, bkColor);
}

LRESULT TCustomListView::DoCustomDraw(NMLVCUSTOMDRAW* cd) {
  DWORD stage = cd->nmcd.dwDrawStage;
  if (stage == CDDS_PREPAINT) return IsCustomDrawn() ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
  if (!(stage & CDDS_ITEMPREPAINT)) return CDRF_DODEFAULT;
  TListItem* item = ItemOf(static_cast<int>(cd->nmcd.dwItemSpec), FOwnerData ? 0 : cd->nmcd.lItemlParam);
  if (!item) return CDRF_DODEFAULT;
  auto state = static_cast<TCustomDrawState>(cd->nmcd.uItemState & 0x1FF);
  if (!(stage & CDDS_SUBITEM)) {
    LRESULT result = CDRF_DODEFAULT;
    FItemDrawn = false;
    if (OnCustomDrawItem) {
      BeginCustomDraw(cd->nmcd.hdc);
      bool defaultDraw = GuardedCall(this, [&] { return CustomDrawItem(item, state); }, true);
      FItemDrawFont->Assign(FCanvas->Font());
      FItemDrawTextColor = FCanvas->Font()->Color();
      FItemDrawBkColor = FCanvas->Brush()->Color();
      FItemDrawn = true;
      result = EndCustomDraw(cd, defaultDraw);
    }
    if (OnCustomDrawSubItem && result != CDRF_SKIPDEFAULT) result |= CDRF_NOTIFYSUBITEMDRAW;
    return result;
  }
  if (cd->iSubItem == 0) {
    // The first column is the item's own: it keeps what the item stage chose.
    if (!FItemDrawn) return CDRF_DODEFAULT;
    return PassDrawValues(cd, FItemDrawFont, FItemDrawTextColor, FItemDrawBkColor);
  }
  if (!OnCustomDrawSubItem) return CDRF_DODEFAULT;
  BeginCustomDraw(cd->nmcd.hdc);
  bool defaultDraw = GuardedCall(this, [&] { return CustomDrawSubItem(item, cd->iSubItem, state); }, true);
  return EndCustomDraw(cd, defaultDraw);
}

void TCustomListView::GetDispInfo(NMLVDISPINFOA* di) {
  LVITEMA& it = di->item;
  TListItem* item;
  if (FOwnerData) {
    if (it.iItem < 0 || it.iItem >= FOwnerDataCount) return;
    TItemRequest request = 0;
    if (it.mask & LVIF_TEXT) request |= irText;
    if (it.mask & LVIF_IMAGE) request |= irImage;
    if (it.mask & LVIF_PARAM) request |= irParam;
    if (it.mask & LVIF_STATE) request |= irState;
    if (it.mask & LVIF_INDENT) request |= irIndent;
    item = FTempItem;
    if (!item) item = FTempItem = CreateListItem();
    item->FIndexHint = it.iItem;
    item->FCaption = AnsiString();
    item->FSubItems->TStringList::Clear();
    item->FImageIndex = -1;
    item->FIndent = 0;
    if (!OwnerDataFetch(item, request)) return;
  } else {
    item = ItemOf(it.iItem, (it.mask & LVIF_PARAM) ? it.lParam : 0);
  }
  if (!item) return;
  if ((it.mask & LVIF_TEXT) && it.pszText && it.cchTextMax > 0) {
    AnsiString text;
    if (it.iSubItem == 0)
      text = item->FCaption;
    else if (it.iSubItem - 1 < item->FSubItems->Count())
      text = item->FSubItems->TStringList::Get(it.iSubItem - 1);
    lstrcpynA(it.pszText, text.c_str(), it.cchTextMax);
  }
  if (it.mask & LVIF_IMAGE) {
    if (it.iSubItem == 0) {
      GetImageIndex(item);
      it.iImage = item->FImageIndex;
    } else {
      it.iImage = item->SubItemImages(it.iSubItem - 1);
      if (it.iImage < 0) it.iImage = I_IMAGENONE;
    }
  }
  if (it.mask & LVIF_INDENT) it.iIndent = item->FIndent;
}

void TCustomListView::CNNotify(TMessage& m) {
  NMHDR* hdr = NotifyHdr(m);
  if (!hdr) return;
  switch (hdr->code) {
    case LVN_GETDISPINFOA:
      GetDispInfo(reinterpret_cast<NMLVDISPINFOA*>(hdr));
      break;
    case LVN_BEGINDRAG:
      if (FDragMode == dmAutomatic) BeginDrag(true);
      break;
    // Wine asks in the wide form even of a control that notifies in ANSI;
    // the records differ only in the text's characters.
    case LVN_ODFINDITEMA:
    case LVN_ODFINDITEMW: {
      auto* fi = reinterpret_cast<NMLVFINDITEMA*>(hdr);
      TItemFind find = ifExactString;
      if (fi->lvfi.flags & LVFI_PARAM)
        find = ifData;
      else if (fi->lvfi.flags & LVFI_PARTIAL)
        find = ifPartialString;
      else if (fi->lvfi.flags & LVFI_STRING)
        find = ifExactString;
      else if (fi->lvfi.flags & LVFI_NEARESTXY)
        find = ifNearest;
      TSearchDirection direction = sdAll;
      switch (fi->lvfi.vkDirection) {
        case VK_LEFT: direction = sdLeft; break;
        case VK_RIGHT: direction = sdRight; break;
        case VK_UP: direction = sdAbove; break;
        case VK_DOWN: direction = sdBelow; break;
        default: break;
      }
      AnsiString s;
      if ((fi->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) && fi->lvfi.psz) {
        if (hdr->code == LVN_ODFINDITEMW)
          s = WideToAnsi(WideString(reinterpret_cast<const wchar_t*>(fi->lvfi.psz)));
        else
          s = fi->lvfi.psz;
      }
      m.Result = OwnerDataFind(find, s, TPoint(fi->lvfi.pt.x, fi->lvfi.pt.y),
                               reinterpret_cast<void*>(fi->lvfi.lParam), fi->iStart, direction,
                               (fi->lvfi.flags & LVFI_WRAP) != 0);
      break;
    }
    case LVN_ITEMCHANGING: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      if (FRestoring || FClearing || FWindowGoing) break;
      TListItem* item = ItemOf(nm->iItem, nm->lParam);
      if (!item || item->FDeleting) break;
      m.Result = CanChange(item, nm->uChanged) ? 0 : 1;
      break;
    }
    case LVN_ITEMCHANGED: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      if (FRestoring || FClearing || FWindowGoing) break;
      TListItem* item = ItemOf(nm->iItem, nm->lParam);
      if (!item || item->FDeleting) break;
      Change(item, nm->uChanged);
      if (nm->uChanged == LVIF_STATE && ((nm->uOldState ^ nm->uNewState) & LVIS_SELECTED) && OnSelectItem)
        OnSelectItem(this, item, (nm->uNewState & LVIS_SELECTED) != 0);
      break;
    }
    case LVN_INSERTITEM: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      if (FRestoring || FOwnerData) break;
      if (TListItem* item = ItemOf(nm->iItem, nm->lParam)) InsertItem(item);
      break;
    }
    case LVN_DELETEITEM: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      if (FWindowGoing || FClearing || FOwnerData || !FListItems) break;
      TListItem* item = ItemOf(nm->iItem, nm->lParam);
      if (item && !item->FDeleting) FListItems->NativeItemDeleted(item);
      break;
    }
    case LVN_DELETEALLITEMS:
      // Our own clearing and the window's end need no note per item.
      m.Result = FClearing || FWindowGoing || FOwnerData ? 1 : 0;
      break;
    case LVN_BEGINLABELEDITA: {
      auto* di = reinterpret_cast<NMLVDISPINFOA*>(hdr);
      TListItem* item = ItemOf(di->item.iItem, (di->item.mask & LVIF_PARAM) ? di->item.lParam : 0);
      m.Result = item && CanEdit(item) ? 0 : 1;
      break;
    }
    case LVN_ENDLABELEDITA: {
      auto* di = reinterpret_cast<NMLVDISPINFOA*>(hdr);
      if (di->item.pszText && di->item.iItem != -1) Edit(di->item);
      m.Result = 0;
      break;
    }
    case LVN_GETINFOTIPA: {
      auto* tip = reinterpret_cast<NMLVGETINFOTIPA*>(hdr);
      TListItem* item = ItemOf(tip->iItem, tip->lParam);
      if (!item || !OnInfoTip || !tip->pszText || tip->cchTextMax <= 0) break;
      AnsiString text(tip->pszText);
      OnInfoTip(this, item, text);
      lstrcpynA(tip->pszText, text.c_str(), tip->cchTextMax);
      break;
    }
    case LVN_COLUMNCLICK: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      for (int i = 0; i < FListColumns->Count(); ++i)
        if (FListColumns->Items(i)->FOrderTag == nm->iSubItem) {
          ColClick(FListColumns->Items(i));
          break;
        }
      break;
    }
    case NM_CUSTOMDRAW:
      m.Result = DoCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(hdr));
      break;
    default:
      TItemViewShared<TCustomListView>::ClickNotification(this, hdr->code);
      break;
  }
}

// ===========================================================================
// Custom drawing of the views

TViewDrawFonts::TViewDrawFonts() : FFonts{new TFont(), new TFont()} {}

TViewDrawFonts::~TViewDrawFonts() {
  delete FFonts[0];
  delete FFonts[1];
}

void TViewDrawFonts::Begin(TControlCanvas* canvas, HDC dc, TFont* font, TColor color) {
  canvas->BeginPaintDC(dc);
  canvas->Font()->Assign(font);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(color);
}

LRESULT TViewDrawFonts::HandOver(HDC dc, COLORREF& text, COLORREF& textBk, TFont* font, TColor textColor,
                                 TColor bkColor) {
  text = ColorToRGB(textColor);
  textBk = ColorToRGB(bkColor);
  FTurn ^= 1;
  FFonts[FTurn]->Assign(font);
  SelectObject(dc, FFonts[FTurn]->Handle());
  return CDRF_NEWFONT;
}

LRESULT TViewDrawFonts::End(TControlCanvas* canvas, HDC dc, COLORREF& text, COLORREF& textBk, bool defaultDraw) {
  TFont* font = canvas->Font();
  TColor textColor = font->Color();
  TColor bkColor = canvas->Brush()->Color();
  canvas->EndPaintDC();
  if (!defaultDraw) return CDRF_SKIPDEFAULT;
  return HandOver(dc, text, textBk, font, textColor, bkColor);
}

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

// ===========================================================================
// Status bar

void TStatusPanel::SetText(const AnsiString& value) {
  if (ChangeField(FText, value)) Changed(false);
}

void TStatusPanel::SetWidth(int value) {
  if (ChangeField(FWidth, value)) Changed(true);
}

void TStatusPanel::SetAlignment(TAlignment value) {
  if (ChangeField(FAlignment, value)) Changed(false);
}

void TStatusPanel::SetBevel(TStatusPanelBevel value) {
  if (ChangeField(FBevel, value)) Changed(false);
}

void TStatusPanel::SetStyle(TStatusPanelStyle value) {
  if (ChangeField(FStyle, value)) Changed(false);
}

void TStatusPanel::Assign(TPersistent* source) {
  if (source && source->Is<TStatusPanel>()) {
    auto* src = static_cast<TStatusPanel*>(source);
    FText = src->FText;
    FWidth = src->FWidth;
    FAlignment = src->FAlignment;
    FBevel = src->FBevel;
    FStyle = src->FStyle;
    Changed(true);
    return;
  }
  TCollectionItem::Assign(source);
}

TStatusPanels::TStatusPanels(TStatusBar* owner, const TMetaClass* itemClass, TCollectionItemFactory factory)
    : TCollection(itemClass, factory, owner), FStatusBar(owner) {}

void TStatusPanels::Update(TCollectionItem* item) {
  if (item)
    FStatusBar->UpdatePanel(item->Index());
  else
    FStatusBar->UpdatePanels();
}

CL_BEGIN_MESSAGE_MAP(TStatusBar, TWinControl)
  CL_MESSAGE(CN_DRAWITEM, CNDrawItem)
CL_END_MESSAGE_MAP

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner) {
  FControlStyle = csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque;
  FColor = clBtnFace;
  FParentColor = false;
  FBrush->SetColor(clBtnFace);
  SetBounds(0, 0, 150, 19);
  FPanels = new TStatusPanels(this);
  FCanvas = new TControlCanvas();
  FCanvas->SetControl(this);
  SetAlign(alBottom);
}

TStatusBar::~TStatusBar() {
  Destroying();
  if (HandleAllocated()) DestroyHandle();
  delete FPanels;
  FPanels = nullptr;
  delete FCanvas;
}

TCanvas* TStatusBar::Canvas() const { return FCanvas; }

void TStatusBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, STATUSCLASSNAMEA);
  // The library places the bar itself (Align), not the control.
  params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NOMOVEY;
  if (FSizeGrip && FParent && FParent->Is<TCustomForm>()) {
    TFormBorderStyle bs = static_cast<TCustomForm*>(FParent)->BorderStyle();
    if (bs == bsSizeable || bs == bsSizeToolWin) params.Style |= SBARS_SIZEGRIP;
  }
}

void TStatusBar::CreateWnd() {
  TWinControl::CreateWnd();
  UpdatePanels();
}

void TStatusBar::UpdatePanels() {
  if (!HandleAllocated() || !FPanels) return;
  SendMessageA(FHandle, SB_SIMPLE, FSimplePanel ? 1 : 0, 0);
  SendMessageA(FHandle, SB_SETTEXTA, 255, reinterpret_cast<LPARAM>(FSimpleText.c_str()));
  int count = FPanels->Count();
  std::vector<int> rights(std::max(count, 1));
  int x = 0;
  for (int i = 0; i < count; ++i) {
    x += FPanels->Items(i)->Width();
    rights[i] = x;
  }
  rights.back() = -1;  // the last part reaches the right edge
  SendMessageA(FHandle, SB_SETPARTS, rights.size(), reinterpret_cast<LPARAM>(rights.data()));
  for (int i = 0; i < count; ++i) UpdatePanel(i);
}

void TStatusBar::UpdatePanel(int index) {
  if (!HandleAllocated() || index < 0 || index >= FPanels->Count()) return;
  TStatusPanel* panel = FPanels->Items(index);
  WPARAM flags = static_cast<WPARAM>(index);
  if (panel->Bevel() == pbNone) flags |= SBT_NOBORDERS;
  if (panel->Bevel() == pbRaised) flags |= SBT_POPOUT;
  if (panel->Style() == psOwnerDraw) {
    SendMessageA(FHandle, SB_SETTEXTA, flags | SBT_OWNERDRAW, static_cast<LPARAM>(index));
    return;
  }
  // A tab before the text centres it, two put it on the right.
  AnsiString text = panel->Alignment() == taCenter ? "\t" + panel->Text()
                    : panel->Alignment() == taRightJustify ? "\t\t" + panel->Text()
                                                           : panel->Text();
  SendMessageA(FHandle, SB_SETTEXTA, flags, reinterpret_cast<LPARAM>(text.c_str()));
}

void TStatusBar::SetSimplePanel(bool value) {
  if (value == FSimplePanel) return;
  FSimplePanel = value;
  if (HandleAllocated()) SendMessageA(FHandle, SB_SIMPLE, value ? 1 : 0, 0);
}

void TStatusBar::SetSimpleText(const AnsiString& value) {
  if (value == FSimpleText) return;
  FSimpleText = value;
  if (HandleAllocated()) SendMessageA(FHandle, SB_SETTEXTA, 255, reinterpret_cast<LPARAM>(FSimpleText.c_str()));
}

bool TStatusBar::ExecuteAction(TBasicAction* action) {
  if (FAutoHint && action && action->Is<THintAction>()) {
    const AnsiString& hint = static_cast<THintAction*>(action)->Hint();
    if (!FSimplePanel && FPanels->Count() > 0)
      FPanels->Items(0)->SetText(hint);
    else
      SetSimpleText(hint);
    return true;
  }
  return TWinControl::ExecuteAction(action);
}

void TStatusBar::SetSizeGrip(bool value) {
  if (value == FSizeGrip) return;
  FSizeGrip = value;
  RecreateWnd();
}

void TStatusBar::DrawPanel(TStatusPanel* panel, const TRect& rect) {
  if (OnDrawPanel)
    OnDrawPanel(this, panel, rect);
  else
    FCanvas->FillRect(rect);
}

void TStatusBar::CNDrawItem(TMessage& m) {
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
  int index = static_cast<int>(dis->itemID);
  if (index < 0 || index >= FPanels->Count()) return;
  FCanvas->BeginPaintDC(dis->hDC);
  FCanvas->Font()->Assign(FFont);
  FCanvas->Brush()->SetColor(FColor);
  FCanvas->Brush()->SetStyle(bsSolid);
  try {
    DrawPanel(FPanels->Items(index), TRect(dis->rcItem.left, dis->rcItem.top, dis->rcItem.right, dis->rcItem.bottom));
  } catch (...) {
    FCanvas->EndPaintDC();
    throw;
  }
  FCanvas->EndPaintDC();
  m.Result = 1;
}

// ===========================================================================
// Progress bar

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 150, 16); }

void TProgressBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, PROGRESS_CLASSA);
  if (FSmooth) params.Style |= PBS_SMOOTH;
  if (FOrientation == pbVertical) params.Style |= PBS_VERTICAL;
}

void TProgressBar::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageA(FHandle, PBM_SETRANGE32, FMin, FMax);
  SendMessageA(FHandle, PBM_SETSTEP, FStep, 0);
  SendMessageA(FHandle, PBM_SETPOS, FPosition, 0);
}

void TProgressBar::DestroyWnd() {
  FPosition = Position();
  TWinControl::DestroyWnd();
}

int TProgressBar::Position() {
  if (HandleAllocated()) FPosition = static_cast<int>(SendMessageA(FHandle, PBM_GETPOS, 0, 0));
  return FPosition;
}

void TProgressBar::SetPosition(int value) {
  FPosition = std::clamp(value, std::min(FMin, FMax), std::max(FMin, FMax));
  if (HandleAllocated()) SendMessageA(FHandle, PBM_SETPOS, FPosition, 0);
}

void TProgressBar::SetMin(int value) {
  if (value == FMin) return;
  FMin = value;
  if (HandleAllocated()) SendMessageA(FHandle, PBM_SETRANGE32, FMin, FMax);
}

void TProgressBar::SetMax(int value) {
  if (value == FMax) return;
  FMax = value;
  if (HandleAllocated()) SendMessageA(FHandle, PBM_SETRANGE32, FMin, FMax);
}

void TProgressBar::SetStep(int value) {
  if (value == FStep) return;
  FStep = value;
  if (HandleAllocated()) SendMessageA(FHandle, PBM_SETSTEP, FStep, 0);
}

void TProgressBar::SetSmooth(bool value) {
  if (value == FSmooth) return;
  FSmooth = value;
  RecreateWnd();
}

void TProgressBar::SetOrientation(TProgressBarOrientation value) {
  if (value == FOrientation) return;
  FOrientation = value;
  RecreateWnd();
}

void TProgressBar::StepIt() {
  if (HandleAllocated()) {
    SendMessageA(FHandle, PBM_STEPIT, 0, 0);
  } else {
    // As the control does: past the end it starts again from the beginning.
    FPosition += FStep;
    if (FPosition > FMax) FPosition = FMin + (FPosition - FMax);
  }
}

void TProgressBar::StepBy(int delta) {
  if (HandleAllocated())
    SendMessageA(FHandle, PBM_DELTAPOS, delta, 0);
  else
    SetPosition(FPosition + delta);
}

// ===========================================================================

namespace {
const char* const SortTypeNames[] = {"stNone", "stData", "stText", "stBoth"};
const char* const ViewStyleNames[] = {"vsIcon", "vsSmallIcon", "vsList", "vsReport"};
const char* const AlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};
const char* const BorderStyleNames[] = {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow",
                                        "bsSizeToolWin"};
const char* const PanelBevelNames[] = {"pbNone", "pbLowered", "pbRaised"};
const char* const PanelStyleNames[] = {"psText", "psOwnerDraw"};
const char* const OrientationNames[] = {"pbHorizontal", "pbVertical"};

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

void RegisterListViewProperties() {
  using V = TCustomListView;
  const TMetaClass* c = &V::Class;
  RegisterProperty(c, "BorderStyle", TPropType::Enum(BorderStyleNames), &V::SetBorderStyle, &V::BorderStyle);
  RegisterProperty(c, "Checkboxes", pkBool, &V::SetCheckboxes, &V::Checkboxes);
  RegisterProperty(c, "ColumnClick", pkBool, &V::SetColumnClick, &V::ColumnClick);
  RegisterProperty(c, "Columns", pkCollection, nullptr, &V::Columns);
  RegisterProperty(c, "GridLines", pkBool, &V::SetGridLines, &V::GridLines);
  RegisterProperty(c, "HideSelection", pkBool, &V::SetHideSelection, &V::HideSelection);
  RegisterProperty(c, "HotTrack", pkBool, &V::SetHotTrack, &V::HotTrack);
  RegisterProperty(c, "LargeImages", pkComponent, &V::SetLargeImages, &V::LargeImages);
  RegisterProperty(c, "MultiSelect", pkBool, &V::SetMultiSelect, &V::MultiSelect);
  RegisterProperty(c, "OwnerData", pkBool, &V::SetOwnerData, &V::OwnerData);
  RegisterProperty(c, "OwnerDraw", pkBool, &V::SetOwnerDraw, &V::OwnerDraw);
  RegisterProperty(c, "ReadOnly", pkBool, &V::SetReadOnly, &V::ReadOnly);
  RegisterProperty(c, "RowSelect", pkBool, &V::SetRowSelect, &V::RowSelect);
  RegisterProperty(c, "ShowColumnHeaders", pkBool, &V::SetShowColumnHeaders, &V::ShowColumnHeaders);
  RegisterProperty(c, "SmallImages", pkComponent, &V::SetSmallImages, &V::SmallImages);
  RegisterProperty(c, "SortType", TPropType::Enum(SortTypeNames), &V::SetSortType, &V::SortType);
  RegisterProperty(c, "StateImages", pkComponent, &V::SetStateImages, &V::StateImages);
  RegisterProperty(c, "ViewStyle", TPropType::Enum(ViewStyleNames), &V::SetViewStyle, &V::ViewStyle);
  RegisterProperty(c, "OnChange", pkEvent, &V::SetOnChange, &V::GetOnChange);
  RegisterProperty(c, "OnChanging", pkEvent, &V::SetOnChanging, &V::GetOnChanging);
  RegisterProperty(c, "OnColumnClick", pkEvent, &V::SetOnColumnClick, &V::GetOnColumnClick);
  RegisterProperty(c, "OnCompare", pkEvent, &V::SetOnCompare, &V::GetOnCompare);
  RegisterProperty(c, "OnCustomDrawItem", pkEvent, &V::SetOnCustomDrawItem, &V::GetOnCustomDrawItem);
  RegisterProperty(c, "OnCustomDrawSubItem", pkEvent, &V::SetOnCustomDrawSubItem, &V::GetOnCustomDrawSubItem);
  RegisterProperty(c, "OnData", pkEvent, &V::SetOnData, &V::GetOnData);
  RegisterProperty(c, "OnDrawItem", pkEvent, &V::SetOnDrawItem, &V::GetOnDrawItem);
  RegisterProperty(c, "OnInfoTip", pkEvent, &V::SetOnInfoTip, &V::GetOnInfoTip);
  RegisterProperty(c, "OnDeletion", pkEvent, &V::SetOnDeletion, &V::GetOnDeletion);
  RegisterProperty(c, "OnEdited", pkEvent, &V::SetOnEdited, &V::GetOnEdited);
  RegisterProperty(c, "OnEditing", pkEvent, &V::SetOnEditing, &V::GetOnEditing);
  RegisterProperty(c, "OnInsert", pkEvent, &V::SetOnInsert, &V::GetOnInsert);
  RegisterProperty(c, "OnSelectItem", pkEvent, &V::SetOnSelectItem, &V::GetOnSelectItem);

  c = &TListColumn::Class;
  RegisterProperty(c, "Alignment", TPropType::Enum(AlignmentNames), &TListColumn::SetAlignment,
                   &TListColumn::Alignment);
  RegisterProperty(c, "Caption", pkString, &TListColumn::SetCaption, &TListColumn::Caption);
  RegisterProperty(c, "ImageIndex", pkInteger, &TListColumn::SetImageIndex, &TListColumn::ImageIndex, -1);
  RegisterProperty(c, "Width", pkInteger, &TListColumn::SetWidth, &TListColumn::Width, 50);
}

void RegisterBarProperties() {
  const TMetaClass* c = &TStatusBar::Class;
  RegisterProperty(c, "AutoHint", pkBool, &TStatusBar::SetAutoHint, &TStatusBar::AutoHint);
  RegisterProperty(c, "Panels", pkCollection, nullptr, &TStatusBar::Panels);
  RegisterProperty(c, "SimplePanel", pkBool, &TStatusBar::SetSimplePanel, &TStatusBar::SimplePanel);
  RegisterProperty(c, "SimpleText", pkString, &TStatusBar::SetSimpleText, &TStatusBar::SimpleText);
  RegisterProperty(c, "SizeGrip", pkBool, &TStatusBar::SetSizeGrip, &TStatusBar::SizeGrip);

  c = &TStatusPanel::Class;
  RegisterProperty(c, "Alignment", TPropType::Enum(AlignmentNames), &TStatusPanel::SetAlignment,
                   &TStatusPanel::Alignment);
  RegisterProperty(c, "Bevel", TPropType::Enum(PanelBevelNames), &TStatusPanel::SetBevel, &TStatusPanel::Bevel);
  RegisterProperty(c, "Style", TPropType::Enum(PanelStyleNames), &TStatusPanel::SetStyle, &TStatusPanel::Style);
  RegisterProperty(c, "Text", pkString, &TStatusPanel::SetText, &TStatusPanel::Text);
  RegisterProperty(c, "Width", pkInteger, &TStatusPanel::SetWidth, &TStatusPanel::Width);

  c = &TProgressBar::Class;
  RegisterProperty(c, "Max", pkInteger, &TProgressBar::SetMax, &TProgressBar::Max);
  RegisterProperty(c, "Min", pkInteger, &TProgressBar::SetMin, &TProgressBar::Min);
  RegisterProperty(c, "Orientation", TPropType::Enum(OrientationNames), &TProgressBar::SetOrientation,
                   &TProgressBar::Orientation);
  RegisterProperty(c, "Position", pkInteger, &TProgressBar::SetPosition, &TProgressBar::Position);
  RegisterProperty(c, "Smooth", pkBool, &TProgressBar::SetSmooth, &TProgressBar::Smooth);
  RegisterProperty(c, "Step", pkInteger, &TProgressBar::SetStep, &TProgressBar::Step);
}

}  // namespace

void UnitInit_comctrls() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  NodeClasses.Entries = new std::vector<TClassFactories<TTreeNodeFactory>::TEntry>();
  ItemClasses.Entries = new std::vector<TClassFactories<TListItemFactory>::TEntry>();
  RegisterTreeNodeClass(&TTreeNode::Class, &NewTreeNode<TTreeNode>);
  RegisterListItemClass(&TListItem::Class, &NewListItem<TListItem>);
  RegisterClasses({&TTreeView::Class, &TListView::Class, &TStatusBar::Class, &TProgressBar::Class});
  RegisterActionLinkClass(&TListViewActionLink::Class, &NewActionLink<TListViewActionLink>);
  RegisterTreeViewProperties();
  RegisterListViewProperties();
  RegisterBarProperties();
}

void UnitFini_comctrls() {
  delete NodeClasses.Entries;
  NodeClasses.Entries = nullptr;
  delete ItemClasses.Entries;
  ItemClasses.Entries = nullptr;
}
