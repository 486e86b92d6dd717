// The list view with wide texts. Item captions, sub-items and column captions
// are kept as wide shadows beside the class library's ANSI texts (the
// synchronised-string rule: an ANSI change made behind a shadow wins, a wide
// change sets both). The native control is a Unicode window: it asks for texts
// with the wide display-info notifications and gets the shadows.
//
// The class library keeps its item objects across a re-creation of the window
// and inserts them again, so the shadows live on with them.
#pragma once

#include "listview.h"

#include "UcClasses.h"
#include "UcControls.h"
#include "UcItemViews.h"
#include "UcStdCtrls.h"
#include "UcSysUtils.h"

#include <commctrl.h>

#include <vector>

class TUcCustomListView;
class TUcListItems;
class TUcListItem;
class TUcListColumns;
class TUcListColumn;

using TUcLVEditedEvent = TEvent<void(TObject* sender, TUcListItem* item, WideString& s)>;
using TUcLVOwnerDataFindEvent =
    TEvent<void(TObject* sender, TItemFind find, const WideString& findString, const TPoint& findPosition,
                void* findData, int startIndex, TSearchDirection direction, bool wrap, int& index)>;
using TUcInfoTipWideEvent = TEvent<void(TObject* sender, TUcListItem* item, WideString& infoTip)>;

class TUcListColumn : public TListColumn {
  CL_CLASS(TUcListColumn, TListColumn)
public:
  explicit TUcListColumn(TCollection* collection) : TListColumn(collection) {}

  WideString Caption() const;
  WideString GetCaption() const { return Caption(); }
  void SetCaption(const WideString& value);
  const AnsiString& AnsiCaption() const { return TListColumn::Caption(); }
  // The wide caption of a wide column, the ANSI one widened of a plain one.
  void Assign(TPersistent* source) override;

private:
  friend class TUcCustomListView;
  void SetInheritedCaption(const AnsiString& value) { TListColumn::SetCaption(value); }
  mutable WideString FCaption;
};

class TUcListColumns : public TListColumns {
  CL_CLASS(TUcListColumns, TListColumns)
public:
  explicit TUcListColumns(TCustomListView* owner);
  TUcListColumn* Add();
  TUcListColumn* Items(int index) const;
  TUcListColumn* operator[](int index) const { return Items(index); }
  TUcCustomListView* Owner() const;
};

// The wide sub-item texts of an item. Each change is made here and, in ANSI
// form, in the class library's SubItems (which keeps the objects and shows
// the texts), unless IgnoreInherited is set.
class TWideSubItems : public TUcStringList {
  CL_CLASS(TWideSubItems, TUcStringList)
public:
  explicit TWideSubItems(TUcListItem* owner) : FOwner(owner) {}

  int AddObject(const WideString& s, TObject* obj) override;
  void Clear() override;
  void Delete(int index) override;
  void InsertObject(int index, const WideString& s, TObject* obj) override;
  void Put(int index, const WideString& s) override;
  // The objects of the ANSI list.
  TObject* GetObject(int index) override;
  void PutObject(int index, TObject* obj) override;
  void SetUpdateState(bool updating) override;

  bool IgnoreInherited = false;

private:
  TStrings* AnsiItems() const;
  // Brackets a change: the list view does not take its own ANSI echo back.
  void BeginChange() const;
  void EndChange() const;
  TUcListItem* FOwner;
};

class TUcListItem : public TListItem {
  CL_CLASS(TUcListItem, TListItem)
public:
  explicit TUcListItem(TListItems* owner);
  ~TUcListItem() override;

  WideString Caption() const;
  WideString GetCaption() const { return Caption(); }
  void SetCaption(const WideString& value);
  const AnsiString& AnsiCaption() const { return TListItem::Caption(); }
  TWideSubItems* SubItems() const { return FSubItems; }
  TStrings* AnsiSubItems() const { return TListItem::SubItems(); }
  void SetSubItems(TUcStrings* value);
  // From a wide item: wide caption, data, image, indent, overlay, state
  // image, wide sub-items and check, in that order; otherwise as the class
  // library copies.
  void Assign(TPersistent* source) override;
  TUcCustomListView* ListView() const;
  TUcCustomListView* GetListView() const { return ListView(); }
  TUcListItems* Owner() const;
  TUcListItems* GetUcOwner() const { return Owner(); }

private:
  friend class TUcCustomListView;
  friend class _UcInternalCustomListView;
  friend class TWideSubItems;
  void SetInheritedCaption(const AnsiString& value) { TListItem::SetCaption(value); }
  mutable WideString FCaption;
  TWideSubItems* FSubItems;
};

using TUcListItemsEnumerator = TUcIndexEnumerator<TUcListItems, TUcListItem>;

class TUcListItems : public TListItems {
  CL_CLASS(TUcListItems, TListItems)
public:
  explicit TUcListItems(TCustomListView* owner) : TListItems(owner) {}
  TUcListItem* Add();
  TUcListItem* Insert(int index);
  // A new item at index (-1: the end) that takes item's values; it is in the
  // list before it takes them, as any later change would find it.
  TUcListItem* AddItem(TListItem* item, int index = -1);
  TUcListItem* Item(int index);
  TUcListItem* GetItem(int index) { return Item(index); }
  TUcListItem* operator[](int index) { return Item(index); }
  void SetItem(int index, TListItem* value) { Item(index)->Assign(value); }
  TUcCustomListView* Owner() const;
  TUcListItemsEnumerator GetEnumerator() { return TUcListItemsEnumerator(this); }
};

// One item's wide texts while the window is made anew.
class TSavedListItem : public TObject {
  CL_CLASS(TSavedListItem, TObject)
public:
  TSavedListItem() : SubItems(new TUcStringList()) {}
  ~TSavedListItem() override { delete SubItems; }
  TSavedListItem(const TSavedListItem&) = delete;
  TSavedListItem& operator=(const TSavedListItem&) = delete;
  WideString Caption;
  TUcStringList* SubItems;
};

// Routes the class library's owner-data calls through wide seams.
class _UcInternalCustomListView : public TCustomListView {
  CL_CLASS(_UcInternalCustomListView, TCustomListView)
public:
  explicit _UcInternalCustomListView(TComponent* owner) : TCustomListView(owner) {}

  virtual int OwnerDataFindW(TItemFind find, const WideString& findString, const TPoint& findPosition,
                             void* findData, int startIndex, TSearchDirection direction, bool wrap) = 0;
  virtual bool OwnerDataFetchW(TListItem* item, TItemRequest request) = 0;

  // The find text is the wide one of the request being answered, if any.
  int OwnerDataFind(TItemFind find, const AnsiString& findString, const TPoint& findPosition, void* findData,
                    int startIndex, TSearchDirection direction, bool wrap) override;
  // The temporary item starts with the request's text and no sub-items.
  bool OwnerDataFetch(TListItem* item, TItemRequest request) override;

protected:
  // Set while a wide find request is answered: its text (null when none).
  const WideString* FCurrentFindW = nullptr;
  // Set while a wide display-info request is answered, with its mask on arrival.
  NMLVDISPINFOW* FCurrentDispInfo = nullptr;
  UINT FOriginalDispInfoMask = 0;
};

class TUcCustomListView : public _UcInternalCustomListView {
  CL_CLASS(TUcCustomListView, _UcInternalCustomListView)
  CL_DECLARE_MESSAGE_MAP(TUcCustomListView)
public:
  explicit TUcCustomListView(TComponent* owner);
  ~TUcCustomListView() override;

  UC_WIDE_HINT_MEMBERS

  TUcListColumns* Columns() const;
  TUcListColumns* GetListColumns() const { return Columns(); }
  void SetColumns(TListColumns* value) { TCustomListView::SetColumns(value); }
  void SetListColumns(TListColumns* value) { SetColumns(value); }
  TUcListColumn* Column(int index) const;
  TUcListColumn* ColumnFromIndex(int index) const { return Column(index); }
  // The column the control knows as native column tag; null when none.
  TUcListColumn* GetColumnFromTag(int tag) const;
  TUcListItems* Items();
  TUcListItems* GetItems() { return Items(); }
  void SetItems(TListItems* value) { TCustomListView::SetItems(value); }
  TUcListItem* Selected();
  TUcListItem* ItemFocused();
  TUcListItem* DropTarget();
  TUcListItem* TopItem();
  TUcListItem* GetNextItem(TListItem* startItem, TSearchDirection direction, TItemStates states);
  TUcListItem* GetItemAt(int x, int y);

  // LVM_FINDITEMW: the first item whose caption equals value (starts with
  // it when partial) after startIndex (from it when inclusive), wrapping
  // when wrap; the control compares ignoring case. Null when none.
  TUcListItem* FindCaption(int startIndex, const WideString& value, bool partial, bool inclusive, bool wrap);
  int StringWidth(const WideString& s);
  WideString GetSearchString();
  // A new item with the wide caption and the object as its data.
  void AddItem(const WideString& caption, TObject* object);
  // Every selected item's wide caption and data into a list control.
  template <class TListControl> void CopySelection(TListControl* destination);
  // The item of a notification's record: its lParam when the mask says so,
  // else Items[iItem]; the temporary item of owner data; null.
  TUcListItem* GetItemW(const LVITEMW& item);

  // Counted: while above 0, the ANSI side changes that a wide setter makes
  // are not taken back into the wide texts.
  void BeginChangingWideItem() { ++FChangingWideItemCount; }
  void EndChangingWideItem() {
    if (FChangingWideItemCount > 0) --FChangingWideItemCount;
  }
  bool AreItemsStored();

  TListItem* CreateListItem() override;
  TListItems* CreateListItems() override;
  // A change made on the wide side goes straight to the control in wide
  // form: nothing on the way has to take it back into the wide texts.
  void SubItemTextChanged(int index, int subItem) override;
  // The same for a new item: its text is a callback, in wide form too.
  int InsertCallbackItem(LVITEMA& item) override;
  void DrawItem(TListItem* item, const TRect& rect, TOwnerDrawState state) override;
  int OwnerDataFindW(TItemFind find, const WideString& findString, const TPoint& findPosition, void* findData,
                     int startIndex, TSearchDirection direction, bool wrap) override;
  bool OwnerDataFetchW(TListItem* item, TItemRequest request) override;
  // The wide OnDataFind when set, else the class library's with the ANSI text.
  int OwnerDataFind(TItemFind find, const WideString& findString, const TPoint& findPosition, void* findData,
                    int startIndex, TSearchDirection direction, bool wrap);
  using _UcInternalCustomListView::OwnerDataFind;

  UC_STANDARD_OVERRIDES

  // Hide the class library's ANSI events of the same names.
  TUcLVEditedEvent OnEdited;
  TUcLVOwnerDataFindEvent OnDataFind;
  TUcInfoTipWideEvent OnInfoTipWide;
  TUcLVEditedEvent GetOnEdited() const { return OnEdited; }
  void SetOnEdited(TUcLVEditedEvent v) { OnEdited = v; }
  TUcLVOwnerDataFindEvent GetOnDataFind() const { return OnDataFind; }
  void SetOnDataFind(TUcLVOwnerDataFindEvent v) { OnDataFind = v; }
  TUcInfoTipWideEvent GetOnInfoTipWide() const { return OnInfoTipWide; }
  // Shows the control's tips while set.
  void SetOnInfoTipWide(TUcInfoTipWideEvent v);

protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& message) override;
  virtual void Edit(const LVITEMW& item);
  using TCustomListView::Edit;
  void CNNotify(TMessage& m);
  void WMNotify(TMessage& m);
  void EditWndProcW(TMessage& message);

  static int CALLBACK WideListViewSort(LPARAM item1, LPARAM item2, LPARAM data);

  // WndProc's steps on the class library's ANSI messages.
  bool RestoreSavedText(TMessage& message);
  void TakeAnsiText(TMessage& message);
  void TakeAnsiSubItems(TUcListItem* item);

  HWND FEditHandle = nullptr;
  WNDPROC FEditInstance = nullptr;
  WNDPROC FDefEditProc = nullptr;
  TObjectList* FSavedItems = nullptr;
  bool FTestingForSortProc = false;
  int FChangingWideItemCount = 0;
  TListItem* FFirstItem = nullptr;
};

template <class TListControl> void TUcCustomListView::CopySelection(TListControl* destination) {
  for (int i = 0; i < Items()->Count(); ++i) {
    TUcListItem* item = Items()->Item(i);
    if (item->Selected()) WideListControl_AddItem(destination, item->Caption(), static_cast<TObject*>(item->Data()));
  }
}

class TUcListView : public TUcCustomListView {
  CL_CLASS(TUcListView, TUcCustomListView)
public:
  explicit TUcListView(TComponent* owner) : TUcCustomListView(owner) {}
};

// The class library's own compare callback of list views, captured from the
// first window's probing sort (null until then).
extern PFNLVCOMPARE UcListViewCompareProc;

void UnitInit_UcListView();
void UnitFini_UcListView();
