#include "UcListView.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcComCtrls.h"
#include "UcGraphics.h"
#include "UcItemViewsShared.h"
#include "UcWideStrUtils.h"

#include "sysutils.h"

#include <algorithm>
#include <cstring>
#include <memory>

CL_DEFINE_CLASS(TUcListColumn, TListColumn)
CL_DEFINE_CLASS(TUcListColumns, TListColumns)
CL_DEFINE_CLASS(TWideSubItems, TUcStringList)
CL_DEFINE_CLASS(TUcListItem, TListItem)
CL_DEFINE_CLASS(TUcListItems, TListItems)
CL_DEFINE_CLASS(TSavedListItem, TObject)
CL_DEFINE_CLASS(_UcInternalCustomListView, TCustomListView)
CL_DEFINE_COMPONENT(TUcCustomListView, _UcInternalCustomListView)
CL_DEFINE_COMPONENT(TUcListView, TUcCustomListView)

PFNLVCOMPARE UcListViewCompareProc = nullptr;

namespace {

WideString WideItemCaption(TListItem* item) {
  return item->Is<TUcListItem>() ? static_cast<TUcListItem*>(item)->Caption() : AnsiToWide(item->Caption());
}

}  // namespace

// ===========================================================================
// TUcListColumn

WideString TUcListColumn::Caption() const { return GetSyncedWideString(FCaption, TListColumn::Caption()); }

void TUcListColumn::SetCaption(const WideString& value) {
  SetSyncedWideString(value, FCaption, TListColumn::Caption(), [this](const AnsiString& a) { SetInheritedCaption(a); });
}

void TUcListColumn::Assign(TPersistent* source) {
  TListColumn::Assign(source);
  if (source && source->Is<TUcListColumn>())
    SetCaption(static_cast<TUcListColumn*>(source)->Caption());
  else if (source && source->Is<TListColumn>())
    SetCaption(AnsiToWide(static_cast<TListColumn*>(source)->Caption()));
}

TUcListColumns::TUcListColumns(TCustomListView* owner)
    : TListColumns(owner, &TUcListColumn::Class, &NewCollectionItem<TUcListColumn>) {}

TUcListColumn* TUcListColumns::Add() { return TCollection::Add()->As<TUcListColumn>(); }
TUcListColumn* TUcListColumns::Items(int index) const { return TCollection::Items(index)->As<TUcListColumn>(); }
TUcCustomListView* TUcListColumns::Owner() const { return AsOrNull<TUcCustomListView>(TListColumns::Owner()); }

// ===========================================================================
// TWideSubItems

namespace {
// Brackets a change of wide texts that the ANSI side follows.
class TWideChange {
public:
  explicit TWideChange(TListItem* item) {
    TCustomListView* view = item ? item->ListView() : nullptr;
    if (view && view->Is<TUcCustomListView>()) FView = static_cast<TUcCustomListView*>(view);
    if (FView) FView->BeginChangingWideItem();
  }
  ~TWideChange() {
    if (FView) FView->EndChangingWideItem();
  }
  TWideChange(const TWideChange&) = delete;
  TWideChange& operator=(const TWideChange&) = delete;

private:
  TUcCustomListView* FView = nullptr;
};
}  // namespace

TStrings* TWideSubItems::AnsiItems() const { return FOwner->TListItem::SubItems(); }

int TWideSubItems::AddObject(const WideString& s, TObject* obj) {
  TWideChange change(FOwner);
  int index = TUcStringList::AddObject(s, obj);
  if (!IgnoreInherited) AnsiItems()->AddObject(WideToAnsi(s), obj);
  return index;
}

void TWideSubItems::Clear() {
  TWideChange change(FOwner);
  TUcStringList::Clear();
  if (!IgnoreInherited) AnsiItems()->Clear();
}

void TWideSubItems::Delete(int index) {
  TWideChange change(FOwner);
  TUcStringList::Delete(index);
  if (!IgnoreInherited) AnsiItems()->Delete(index);
}

void TWideSubItems::InsertObject(int index, const WideString& s, TObject* obj) {
  TWideChange change(FOwner);
  TUcStringList::InsertObject(index, s, obj);
  if (!IgnoreInherited) AnsiItems()->InsertObject(index, WideToAnsi(s), obj);
}

void TWideSubItems::Put(int index, const WideString& s) {
  TWideChange change(FOwner);
  TUcStringList::Put(index, s);
  if (!IgnoreInherited) AnsiItems()->Put(index, WideToAnsi(s));
}

TObject* TWideSubItems::GetObject(int index) {
  TStrings* ansi = AnsiItems();
  return index >= 0 && index < ansi->Count() ? ansi->GetObject(index) : nullptr;
}

void TWideSubItems::PutObject(int index, TObject* obj) {
  TStrings* ansi = AnsiItems();
  if (index >= 0 && index < ansi->Count()) ansi->PutObject(index, obj);
}

void TWideSubItems::SetUpdateState(bool updating) {
  TUcStringList::SetUpdateState(updating);
  if (updating)
    AnsiItems()->BeginUpdate();
  else
    AnsiItems()->EndUpdate();
}

// ===========================================================================
// TUcListItem

TUcListItem::TUcListItem(TListItems* owner) : TListItem(owner), FSubItems(new TWideSubItems(this)) {}

TUcListItem::~TUcListItem() {
  delete FSubItems;
  FSubItems = nullptr;
}

WideString TUcListItem::Caption() const { return GetSyncedWideString(FCaption, TListItem::Caption()); }

void TUcListItem::SetCaption(const WideString& value) {
  TWideChange change(this);
  SetSyncedWideString(value, FCaption, TListItem::Caption(), [this](const AnsiString& a) { SetInheritedCaption(a); });
}

void TUcListItem::SetSubItems(TUcStrings* value) {
  if (value) FSubItems->Assign(value);
}

void TUcListItem::Assign(TPersistent* source) {
  if (source && source->Is<TUcListItem>()) {
    auto* src = static_cast<TUcListItem*>(source);
    SetCaption(src->Caption());
    SetData(src->Data());
    SetImageIndex(src->ImageIndex());
    SetIndent(src->Indent());
    SetOverlayIndex(src->OverlayIndex());
    SetStateIndex(src->StateIndex());
    FSubItems->Assign(src->FSubItems);
    // A view without check boxes shows no state image for the check.
    if (TCustomListView* view = TListItem::ListView(); view && view->Checkboxes()) SetChecked(src->Checked());
    return;
  }
  TListItem::Assign(source);
}

TUcCustomListView* TUcListItem::ListView() const { return AsOrNull<TUcCustomListView>(TListItem::ListView()); }

TUcListItems* TUcListItem::Owner() const { return AsOrNull<TUcListItems>(TListItem::Owner()); }

// ===========================================================================
// TUcListItems

TUcListItem* TUcListItems::Add() { return TListItems::Add()->As<TUcListItem>(); }
TUcListItem* TUcListItems::Insert(int index) { return TListItems::Insert(index)->As<TUcListItem>(); }
TUcListItem* TUcListItems::Item(int index) { return TListItems::Item(index)->As<TUcListItem>(); }

TUcListItem* TUcListItems::AddItem(TListItem* item, int index) {
  if (index < 0 || index > Count()) index = Count();
  TUcListItem* result = Insert(index);
  if (item) result->Assign(item);
  return result;
}

TUcCustomListView* TUcListItems::Owner() const { return AsOrNull<TUcCustomListView>(TListItems::Owner()); }

// ===========================================================================
// _UcInternalCustomListView

int _UcInternalCustomListView::OwnerDataFind(TItemFind find, const AnsiString& findString, const TPoint& findPosition,
                                             void* findData, int startIndex, TSearchDirection direction, bool wrap) {
  WideString text = FCurrentFindW ? *FCurrentFindW : AnsiToWide(findString);
  return OwnerDataFindW(find, text, findPosition, findData, startIndex, direction, wrap);
}

bool _UcInternalCustomListView::OwnerDataFetch(TListItem* item, TItemRequest request) {
  auto* ucItem = item->As<TUcListItem>();
  if (FCurrentDispInfo && (FOriginalDispInfoMask & LVIF_TEXT) && FCurrentDispInfo->item.pszText) {
    const wchar_t* text = FCurrentDispInfo->item.pszText;
    int max = std::max(FCurrentDispInfo->item.cchTextMax, 0);
    int len = 0;
    while (len < max && text[len]) ++len;
    ucItem->FCaption = WideString(text, len);
  }
  ucItem->FSubItems->Clear();
  return OwnerDataFetchW(item, request);
}

// ===========================================================================
// TUcCustomListView

CL_BEGIN_MESSAGE_MAP(TUcCustomListView, _UcInternalCustomListView)
  CL_MESSAGE(CN_NOTIFY, CNNotify)
  CL_MESSAGE(WM_NOTIFY, WMNotify)
CL_END_MESSAGE_MAP

TUcCustomListView::TUcCustomListView(TComponent* owner) : _UcInternalCustomListView(owner) {
  FEditInstance = MakeObjectInstance(MakeEvent<&TUcCustomListView::EditWndProcW>(this));
  // The columns the class library made (none yet) give way to wide ones.
  delete FListColumns;
  FListColumns = new TUcListColumns(this);
}

TUcCustomListView::~TUcCustomListView() {
  Destroying();
  // The window goes while this class's handlers still exist.
  if (HandleAllocated()) DestroyHandle();
  FreeObjectInstance(FEditInstance);
  FEditInstance = nullptr;
  delete FSavedItems;
  FSavedItems = nullptr;
}

TUcListColumns* TUcCustomListView::Columns() const { return FListColumns->As<TUcListColumns>(); }
TUcListColumn* TUcCustomListView::Column(int index) const { return Columns()->Items(index); }

TUcListColumn* TUcCustomListView::GetColumnFromTag(int tag) const {
  for (int i = 0; i < FListColumns->Count(); ++i) {
    TUcListColumn* column = Column(i);
    if (column->OrderTag() == tag) return column;
  }
  return nullptr;
}

TUcListItems* TUcCustomListView::Items() { return TCustomListView::Items()->As<TUcListItems>(); }

TUcListItem* TUcCustomListView::Selected() { return AsOrNull<TUcListItem>(TCustomListView::Selected()); }
TUcListItem* TUcCustomListView::ItemFocused() { return AsOrNull<TUcListItem>(TCustomListView::ItemFocused()); }
TUcListItem* TUcCustomListView::DropTarget() { return AsOrNull<TUcListItem>(TCustomListView::DropTarget()); }
TUcListItem* TUcCustomListView::TopItem() { return AsOrNull<TUcListItem>(TCustomListView::TopItem()); }
TUcListItem* TUcCustomListView::GetNextItem(TListItem* startItem, TSearchDirection direction, TItemStates states) {
  return AsOrNull<TUcListItem>(TCustomListView::GetNextItem(startItem, direction, states));
}
TUcListItem* TUcCustomListView::GetItemAt(int x, int y) { return AsOrNull<TUcListItem>(TCustomListView::GetItemAt(x, y)); }

TUcListItem* TUcCustomListView::GetItemW(const LVITEMW& item) {
  if (item.mask & LVIF_PARAM) return AsOrNull<TUcListItem>(reinterpret_cast<TListItem*>(item.lParam));
  if (item.iItem >= 0) return item.iItem < Items()->Count() ? Items()->Item(item.iItem) : nullptr;
  if (FOwnerData) return AsOrNull<TUcListItem>(FFirstItem);
  return nullptr;
}

TListItem* TUcCustomListView::CreateListItem() {
  const TMetaClass* cls = &TUcListItem::Class;
  if (OnCreateItemClass) OnCreateItemClass(this, cls);
  if (!cls || !cls->InheritsFrom(&TUcListItem::Class))
    throw EUcInternalError("Internal Error: OnCreateItemClass.ItemClass must inherit from TUcListItem.");
  TListItem* item = CreateListItemOf(cls, TCustomListView::Items());
  // In owner-data mode the first item is the class library's temporary one.
  if (!FFirstItem) FFirstItem = item;
  return item;
}

TListItems* TUcCustomListView::CreateListItems() { return new TUcListItems(this); }

int TUcCustomListView::InsertCallbackItem(LVITEMA& item) {
  WNDPROC control = DefWndProcPtr();
  if (!Win32PlatformIsUnicode || !control || item.pszText != LPSTR_TEXTCALLBACKA)
    return _UcInternalCustomListView::InsertCallbackItem(item);
  LVITEMW wide;
  static_assert(sizeof wide == sizeof item);
  std::memcpy(&wide, &item, sizeof wide);
  wide.pszText = LPSTR_TEXTCALLBACKW;
  return static_cast<int>(
      CallWindowProcW(control, WindowHandle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&wide)));
}

void TUcCustomListView::SubItemTextChanged(int index, int subItem) {
  WNDPROC control = DefWndProcPtr();
  if (FChangingWideItemCount == 0 || FSavedItems || !Win32PlatformIsUnicode || !control) {
    _UcInternalCustomListView::SubItemTextChanged(index, subItem);
    return;
  }
  LVITEMW it{};
  it.iSubItem = subItem;
  it.pszText = LPSTR_TEXTCALLBACKW;
  CallWindowProcW(control, WindowHandle(), LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&it));
}

TUcListItem* TUcCustomListView::FindCaption(int startIndex, const WideString& value, bool partial, bool inclusive,
                                            bool wrap) {
  if (!Win32PlatformIsUnicode)
    return AsOrNull<TUcListItem>(TCustomListView::FindCaption(startIndex, WideToAnsi(value), partial, inclusive, wrap));
  if (!ItemsHandle() || !FNativeItemsValid) return nullptr;
  LVFINDINFOW info{};
  info.flags = LVFI_STRING | (partial ? LVFI_PARTIAL : 0) | (wrap ? LVFI_WRAP : 0);
  info.psz = value.c_str();
  // The control searches after the start index.
  if (inclusive) --startIndex;
  int index = static_cast<int>(
      SendMessageW(WindowHandle(), LVM_FINDITEMW, static_cast<WPARAM>(startIndex), reinterpret_cast<LPARAM>(&info)));
  if (index < 0 || index >= Items()->Count()) return nullptr;
  return Items()->Item(index);
}

int TUcCustomListView::StringWidth(const WideString& s) {
  if (!Win32PlatformIsUnicode) return TCustomListView::StringWidth(WideToAnsi(s));
  if (!ItemsHandle()) return 0;
  return static_cast<int>(SendMessageW(WindowHandle(), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(s.c_str())));
}

WideString TUcCustomListView::GetSearchString() {
  if (!Win32PlatformIsUnicode) return AnsiToWide(TCustomListView::GetSearchString());
  if (!HandleAllocated()) return WideString();
  wchar_t buffer[1024] = {};
  if (!SendMessageW(WindowHandle(), LVM_GETISEARCHSTRINGW, 0, reinterpret_cast<LPARAM>(buffer))) return WideString();
  buffer[1023] = 0;
  return WideString(buffer);
}

void TUcCustomListView::AddItem(const WideString& caption, TObject* object) {
  TUcListItem* item = Items()->Add();
  item->SetCaption(caption);
  item->SetData(object);
}

bool TUcCustomListView::AreItemsStored() { return Action() ? true : !FOwnerData; }

void TUcCustomListView::SetOnInfoTipWide(TUcInfoTipWideEvent v) {
  bool had = static_cast<bool>(OnInfoTipWide);
  OnInfoTipWide = v;
  if (had != static_cast<bool>(v)) SendExtendedStyle();
}

void TUcCustomListView::DrawItem(TListItem* item, const TRect& rect, TOwnerDrawState state) {
  TCanvas* canvas = Canvas();
  if (UseRightToLeftReading())
    canvas->SetTextFlags(canvas->TextFlags() | ETO_RTLREADING);
  else
    canvas->SetTextFlags(canvas->TextFlags() & ~ETO_RTLREADING);
  if (OnDrawItem) {
    OnDrawItem(this, item, rect, state);
    return;
  }
  canvas->FillRect(rect);
  // The wide caption: the control holds characters its ANSI form lacks.
  WideCanvasTextOut(canvas, rect.left + 2, rect.top, WideItemCaption(item));
}

int TUcCustomListView::OwnerDataFindW(TItemFind find, const WideString& findString, const TPoint& findPosition,
                                      void* findData, int startIndex, TSearchDirection direction, bool wrap) {
  return OwnerDataFind(find, findString, findPosition, findData, startIndex, direction, wrap);
}

bool TUcCustomListView::OwnerDataFetchW(TListItem* item, TItemRequest request) {
  return TCustomListView::OwnerDataFetch(item, request);
}

int TUcCustomListView::OwnerDataFind(TItemFind find, const WideString& findString, const TPoint& findPosition,
                                     void* findData, int startIndex, TSearchDirection direction, bool wrap) {
  int index = -1;
  if (OnDataFind) {
    OnDataFind(this, find, findString, findPosition, findData, startIndex, direction, wrap, index);
  } else if (TCustomListView::OnDataFind) {
    TCustomListView::OnDataFind(this, find, WideToAnsi(findString), findPosition, findData, startIndex, direction,
                                wrap, index);
  }
  return index;
}

void TUcCustomListView::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle_ComCtl(this, params, WC_LISTVIEWW);
  if (!Win32PlatformIsUnicode || !HandleAllocated()) return;
  if (!UcListViewCompareProc) {
    // The class library's sort sends its compare callback through the window:
    // WndProc catches the message and keeps the address.
    TScopedValue<bool> probing(FTestingForSortProc, true);
    AlphaSort();
  }
  LVCOLUMNA column{};
  SendMessageA(WindowHandle(), LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  SendMessageA(WindowHandle(), LVM_DELETECOLUMN, 0, 0);
}

void TUcCustomListView::CreateWnd() {
  TCustomListView::CreateWnd();
  delete FSavedItems;
  FSavedItems = nullptr;
}

void TUcCustomListView::DestroyWnd() {
  if (!(ComponentState() & csDestroying) && !FOwnerData) {
    delete FSavedItems;
    FSavedItems = new TObjectList(true);
    for (int i = 0; i < Items()->Count(); ++i) {
      TUcListItem* item = Items()->Item(i);
      auto* saved = new TSavedListItem();
      FSavedItems->Add(saved);
      saved->Caption = item->Caption();
      saved->SubItems->Assign(item->SubItems());
    }
  }
  TCustomListView::DestroyWnd();
}

bool TUcCustomListView::RestoreSavedText(TMessage& message) {
  auto* it = reinterpret_cast<LVITEMA*>(message.LParam);
  int index = static_cast<int>(message.WParam);
  if (!it || index < 0 || index >= FSavedItems->Count() || index >= Items()->Count()) return false;
  TUcListItem* item = Items()->Item(index);
  auto* saved = static_cast<TSavedListItem*>(FSavedItems->Items(index));
  // A saved text counts only while the ANSI text is still its ANSI form: a
  // change made while there was no window wins.
  if (it->iSubItem == 0) {
    if (WideToAnsi(saved->Caption) == item->AnsiCaption()) item->FCaption = saved->Caption;
    return true;
  }
  int k = it->iSubItem - 1;
  TWideSubItems* subs = item->SubItems();
  TStrings* ansi = item->AnsiSubItems();
  if (k >= saved->SubItems->Count() || k >= ansi->Count() || WideToAnsi(saved->SubItems->Get(k)) != ansi->Get(k)) {
    TakeAnsiSubItems(item);
    return true;
  }
  TScopedValue<bool> ignore(subs->IgnoreInherited, true);
  if (k < subs->Count()) {
    subs->Put(k, saved->SubItems->Get(k));
    subs->PutObject(k, saved->SubItems->GetObject(k));
  } else if (k == subs->Count()) {
    subs->AddObject(saved->SubItems->Get(k), saved->SubItems->GetObject(k));
  } else {
    subs->Assign(saved->SubItems);
  }
  return true;
}

void TUcCustomListView::TakeAnsiSubItems(TUcListItem* item) {
  // Position by position: a wide text whose ANSI form is still the ANSI text
  // stays (the rule of every wide shadow); others take the ANSI text widened.
  TWideSubItems* subs = item->SubItems();
  TStrings* ansi = item->AnsiSubItems();
  TScopedValue<bool> ignore(subs->IgnoreInherited, true);
  int n = ansi->Count();
  while (subs->Count() > n) subs->Delete(subs->Count() - 1);
  for (int i = 0; i < n; ++i) {
    AnsiString a = ansi->Get(i);
    if (i < subs->Count()) {
      if (WideToAnsi(subs->Get(i)) != a) subs->Put(i, AnsiToWide(a));
    } else {
      subs->Add(AnsiToWide(a));
    }
  }
}

void TUcCustomListView::TakeAnsiText(TMessage& message) {
  auto* it = reinterpret_cast<LVITEMA*>(message.LParam);
  if (!it) return;
  TUcListItem* item = nullptr;
  if (FOwnerData) {
    item = AsOrNull<TUcListItem>(FFirstItem);
  } else {
    int index = static_cast<int>(message.WParam);
    if (index >= 0 && index < Items()->Count()) item = Items()->Item(index);
  }
  if (!item) return;
  if (it->iSubItem == 0)
    item->Caption();  // the shadow follows a changed ANSI caption
  else
    TakeAnsiSubItems(item);
}

int CALLBACK TUcCustomListView::WideListViewSort(LPARAM item1, LPARAM item2, LPARAM data) {
  return CompareWideParams<TListItem>(item1, item2, data, &WideItemCaption);
}

void TUcCustomListView::WndProc(TMessage& message) {
  UINT msg = message.Msg;
  if (FChangingWideItemCount == 0) {
    if (FSavedItems && msg == LVM_SETITEMTEXTA) {
      RestoreSavedText(message);
    } else if (!FSavedItems && msg == LVM_UPDATE && !FOwnerData) {
      int index = static_cast<int>(message.WParam);
      if (index >= 0 && index < Items()->Count()) TakeAnsiSubItems(Items()->Item(index));
    } else if (!FSavedItems && msg == LVM_SETITEMTEXTA) {
      TakeAnsiText(message);
    }
  }
  if (msg == LVM_SORTITEMS && FTestingForSortProc) {
    UcListViewCompareProc = reinterpret_cast<PFNLVCOMPARE>(message.LParam);
    message.Result = 0;
    return;
  }
  if (msg == LVM_SETCOLUMNA) {
    auto* col = reinterpret_cast<LVCOLUMNA*>(message.LParam);
    TUcListColumn* column = col && (col->mask & LVCF_TEXT) ? GetColumnFromTag(static_cast<int>(message.WParam)) : nullptr;
    if (column) {
      AnsiString text(col->pszText ? col->pszText : "");
      if (WideToAnsi(column->FCaption) != text) column->FCaption = AnsiToWide(text);
      if (Win32PlatformIsUnicode) {
        LVCOLUMNW wide;
        std::memcpy(&wide, col, sizeof wide);
        WideString caption = column->FCaption;
        wide.pszText = const_cast<wchar_t*>(caption.c_str());
        message.Result = SendMessageW(WindowHandle(), LVM_SETCOLUMNW, message.WParam, reinterpret_cast<LPARAM>(&wide));
        return;
      }
    }
  }
  if (Win32PlatformIsUnicode) {
    if (msg == LVM_SETITEMTEXTA) {
      auto* it = reinterpret_cast<LVITEMA*>(message.LParam);
      if (it && it->pszText == LPSTR_TEXTCALLBACKA) {
        LVITEMW wide;
        std::memcpy(&wide, it, sizeof wide);
        wide.pszText = LPSTR_TEXTCALLBACKW;
        // Down the rest of this window's chain, not round it once more.
        TScopedValue<UINT> msgW(message.Msg, LVM_SETITEMTEXTW);
        TScopedValue<LPARAM> itemW(message.LParam, reinterpret_cast<LPARAM>(&wide));
        _UcInternalCustomListView::WndProc(message);
        return;
      }
    } else if (msg == LVM_SORTITEMS && UcListViewCompareProc &&
               reinterpret_cast<PFNLVCOMPARE>(message.LParam) == UcListViewCompareProc) {
      message.Result = SendMessageW(WindowHandle(), LVM_SORTITEMS, message.WParam,
                                    reinterpret_cast<LPARAM>(&WideListViewSort));
      return;
    }
  }
  if (msg == LVM_SETEXTENDEDLISTVIEWSTYLE) {
    DWORD extra = 0;
    if (FCheckboxes) extra |= LVS_EX_SUBITEMIMAGES | LVS_EX_INFOTIP;
    // The wide tip event shows the tips as the class library's does.
    if (OnInfoTipWide) extra |= LVS_EX_INFOTIP;
    message.LParam |= extra;
    if (message.WParam) message.WParam |= extra;
  }
  _UcInternalCustomListView::WndProc(message);
}

void TUcCustomListView::Edit(const LVITEMW& item) {
  WideString s = EditedText(item.pszText);
  TUcListItem* ucItem = GetItemW(item);
  FireOnEdited<TCustomListView>(this, ucItem, s);
  if (ucItem) ucItem->SetCaption(s);
}

void TUcCustomListView::CNNotify(TMessage& m) {
  const TMsgMap* inherited = &_UcInternalCustomListView::MessageMap;
  NMHDR* hdr = WideNotification(this, inherited, m);
  if (!hdr) return;
  auto asAnsi = [&](UINT ansiCode) { InheritedAsAnsi(this, inherited, m, hdr, ansiCode); };
  switch (hdr->code) {
    case LVN_BEGINLABELEDITW: {
      TUcListItem* item = GetItemW(reinterpret_cast<NMLVDISPINFOW*>(hdr)->item);
      if (!CanEdit(item)) {
        m.Result = 1;
        break;
      }
      SubclassEditWindow(WindowHandle(), LVM_GETEDITCONTROL, FEditInstance, FEditHandle, FDefEditProc);
      m.Result = 0;
      break;
    }
    case LVN_GETINFOTIPW: {
      auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(hdr);
      if (!tip->pszText || tip->cchTextMax <= 0) break;
      TUcListItem* item =
          tip->iItem >= 0 && tip->iItem < Items()->Count() ? Items()->Item(tip->iItem) : nullptr;
      if (OnInfoTipWide) {
        WideString infoTip(tip->pszText);
        OnInfoTipWide(this, item, infoTip);
        WStrLCopy(tip->pszText, infoTip.c_str(), static_cast<unsigned>(tip->cchTextMax - 1));
      } else if (TCustomListView::OnInfoTip && item) {
        // The request's buffer holds wide characters: the ANSI event gets
        // and gives its text converted.
        AnsiString infoTip = WideToAnsi(WideString(tip->pszText));
        TCustomListView::OnInfoTip(this, item, infoTip);
        WStrLCopy(tip->pszText, AnsiToWide(infoTip).c_str(), static_cast<unsigned>(tip->cchTextMax - 1));
      }
      break;
    }
    case LVN_ENDLABELEDITW: {
      auto* di = reinterpret_cast<NMLVDISPINFOW*>(hdr);
      if (di->item.pszText && di->item.iItem != -1) Edit(di->item);
      m.Result = 0;
      break;
    }
    case HDN_TRACKW:
      asAnsi(HDN_TRACKA);
      break;
    case LVN_ODFINDITEMW: {
      auto* fi = reinterpret_cast<NMLVFINDITEMW*>(hdr);
      WideString findText;
      const bool hasText = (fi->lvfi.flags & (LVFI_PARTIAL | LVFI_STRING)) && fi->lvfi.psz;
      if (hasText) findText = WideString(fi->lvfi.psz);
      TScopedValue<const WideString*> current(FCurrentFindW, hasText ? &findText : nullptr);
      TScopedValue<LPCWSTR> hidden(fi->lvfi.psz, nullptr);
      asAnsi(LVN_ODFINDITEMA);
      break;
    }
    case LVN_GETDISPINFOW: {
      auto* di = reinterpret_cast<NMLVDISPINFOW*>(hdr);
      const UINT mask = di->item.mask;
      {
        TScopedValue<NMLVDISPINFOW*> current(FCurrentDispInfo, di);
        TScopedValue<UINT> original(FOriginalDispInfoMask, mask);
        TScopedValue<UINT> noText(di->item.mask, mask & ~LVIF_TEXT);
        asAnsi(LVN_GETDISPINFOA);
      }
      if ((mask & LVIF_TEXT) && di->item.pszText && di->item.cchTextMax > 0) {
        TUcListItem* item = GetItemW(di->item);
        if (!item) break;
        WideString text;
        int sub = di->item.iSubItem;
        if (sub == 0)
          text = item->Caption();
        else if (sub - 1 < item->SubItems()->Count())
          text = item->SubItems()->Get(sub - 1);
        WStrLCopy(di->item.pszText, text.c_str(), static_cast<unsigned>(di->item.cchTextMax - 1));
      }
      break;
    }
    default:
      InheritedMsg(&_UcInternalCustomListView::MessageMap, m);
      break;
  }
}

void TUcCustomListView::WMNotify(TMessage& m) {
  InheritedMsg(&_UcInternalCustomListView::MessageMap, m);
  NMHDR* hdr = NotifyHdr(m);
  if (!hdr) return;
  UINT ansiCode;
  if (hdr->code == static_cast<UINT>(HDN_ENDTRACKW))
    ansiCode = HDN_ENDTRACKA;
  else if (hdr->code == static_cast<UINT>(HDN_DIVIDERDBLCLICKW))
    ansiCode = HDN_DIVIDERDBLCLICKA;
  else
    return;
  LRESULT result = m.Result;
  InheritedAsAnsi(this, &_UcInternalCustomListView::MessageMap, m, hdr, ansiCode);
  m.Result = result;
}

void TUcCustomListView::EditWndProcW(TMessage& message) {
  EditWindowProc(this, FEditHandle, FDefEditProc, message);
}

UC_STANDARD_OVERRIDES_BODY(TUcCustomListView, _UcInternalCustomListView)

// ===========================================================================
// Unit

void UnitInit_UcListView() {
  RegisterListItemClass(&TUcListItem::Class, &NewListItem<TUcListItem>);
  RegisterClasses({&TUcListView::Class});
  RegisterProperty(&TUcCustomListView::Class, "Hint", pkWideString, &TUcCustomListView::SetHint,
                   &TUcCustomListView::Hint, TPropDefault(), &TUcCustomListView::IsHintStored);
  RegisterProperty(&TUcListColumn::Class, "Caption", pkWideString, &TUcListColumn::SetCaption,
                   &TUcListColumn::GetCaption);
}

void UnitFini_UcListView() { UcListViewCompareProc = nullptr; }
