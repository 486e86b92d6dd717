#include "listview.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "filer.h"
#include "itemviews_shared.h"

CL_DEFINE_CLASS(EListViewError, Exception)
CL_DEFINE_CLASS(TListColumn, TCollectionItem)
CL_DEFINE_CLASS(TListColumns, TCollection)
CL_DEFINE_CLASS(TSubItems, TStringList)
CL_DEFINE_CLASS(TListItem, TPersistent)
CL_DEFINE_CLASS(TListItems, TPersistent)
CL_DEFINE_COMPONENT(TCustomListView, TWinControl)
CL_DEFINE_COMPONENT(TListView, TCustomListView)
CL_DEFINE_CLASS(TListViewActionLink, TWinControlActionLink)

namespace {

TClassFactories<TListItemFactory> ItemClasses;

int AlignmentFormat(TAlignment a) {
  return a == taRightJustify ? LVCFMT_RIGHT : (a == taCenter ? LVCFMT_CENTER : LVCFMT_LEFT);
}

const UINT SavedItemStates = LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT | LVIS_DROPHILITED | LVIS_STATEIMAGEMASK;

}  // namespace

TCustomListView* OwningView(TListItem* item) { return item->ListView(); }
const AnsiString& SortText(TListItem* item) { return item->Caption(); }

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

namespace {

const char* const SortTypeNames[] = {"stNone", "stData", "stText", "stBoth"};
const char* const ViewStyleNames[] = {"vsIcon", "vsSmallIcon", "vsList", "vsReport"};
const char* const AlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};
const char* const BorderStyleNames[] = {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow",
                                        "bsSizeToolWin"};

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

}  // namespace

void UnitInit_listview() {
  ItemClasses.Entries = new std::vector<TClassFactories<TListItemFactory>::TEntry>();
  RegisterListItemClass(&TListItem::Class, &NewListItem<TListItem>);
  RegisterClasses({&TListView::Class});
  RegisterActionLinkClass(&TListViewActionLink::Class, &NewActionLink<TListViewActionLink>);
  RegisterListViewProperties();
}

void UnitFini_listview() {
  delete ItemClasses.Entries;
  ItemClasses.Entries = nullptr;
}
