// The list view (the system's SysListView32 window).
//
// Items are objects of their own that hold the texts, images and data; the
// native control only mirrors them. Texts reach the control as
// LPSTR_TEXTCALLBACK and images as I_IMAGECALLBACK, so the control asks its
// parent (LVN_GETDISPINFOA, reflected back as CN_NOTIFY) whenever it needs
// them. That makes the items survive a re-creation of the window: the old
// window takes only its copies with it, the new one gets the items inserted
// again with their selected and checked states.
//
// Every item operation is sent to the control with SendMessageA, so it passes
// the window's whole procedure chain, where the Unicode control layer rewrites
// some of the messages.
#pragma once

#include "actnlist.h"
#include "classes.h"
#include "controls.h"
#include "imglist.h"
#include "itemviews.h"
#include "stdctrls.h"

#include <commctrl.h>

#include <cstdint>
#include <vector>

class TCustomListView;
class TListItems;
class TListItem;
class TListColumns;
class TListColumn;

CL_EXCEPTION(EListViewError, Exception)

enum TViewStyle : uint8_t { vsIcon, vsSmallIcon, vsList, vsReport };
enum TItemChange : uint8_t { ctText, ctImage, ctState };
enum TSearchDirection : uint8_t { sdLeft, sdRight, sdAbove, sdBelow, sdAll };
using TItemStates = uint8_t;
enum : uint8_t { isNone = 0, isCut = 1, isDropHilited = 2, isFocused = 4, isSelected = 8, isActivating = 16 };
enum TItemFind : uint8_t { ifData, ifPartialString, ifExactString, ifNearest };
using TItemRequest = uint8_t;
enum : uint8_t { irText = 1, irImage = 2, irParam = 4, irState = 8, irIndent = 16 };
enum TDisplayCode : uint8_t { drBounds, drIcon, drLabel, drSelectBounds };

using TLVChangeEvent = TEvent<void(TObject* sender, TListItem* item, TItemChange change)>;
using TLVChangingEvent = TEvent<void(TObject* sender, TListItem* item, TItemChange change, bool& allowChange)>;
using TLVDeletedEvent = TEvent<void(TObject* sender, TListItem* item)>;
using TLVSelectItemEvent = TEvent<void(TObject* sender, TListItem* item, bool selected)>;
using TLVColumnClickEvent = TEvent<void(TObject* sender, TListColumn* column)>;
using TLVCompareEvent = TEvent<void(TObject* sender, TListItem* item1, TListItem* item2, int data, int& compare)>;
using TLVCustomDrawItemEvent =
    TEvent<void(TCustomListView* sender, TListItem* item, TCustomDrawState state, bool& defaultDraw)>;
using TLVCustomDrawSubItemEvent =
    TEvent<void(TCustomListView* sender, TListItem* item, int subItem, TCustomDrawState state, bool& defaultDraw)>;
using TLVEditingEvent = TEvent<void(TObject* sender, TListItem* item, bool& allowEdit)>;
using TLVEditedEvent = TEvent<void(TObject* sender, TListItem* item, AnsiString& s)>;
using TLVOwnerDataEvent = TEvent<void(TObject* sender, TListItem* item)>;
using TLVOwnerDataFindEvent =
    TEvent<void(TObject* sender, TItemFind find, const AnsiString& findString, const TPoint& findPosition,
                void* findData, int startIndex, TSearchDirection direction, bool wrap, int& index)>;
using TLVCreateItemClassEvent = TEvent<void(TCustomListView* sender, const TMetaClass*& itemClass)>;
using TLVInfoTipEvent = TEvent<void(TObject* sender, TListItem* item, AnsiString& infoTip)>;
using TLVDrawItemEvent =
    TEvent<void(TCustomListView* sender, TListItem* item, const TRect& rect, TOwnerDrawState state)>;

using TListItemFactory = TListItem* (*)(TListItems* owner);
template <class T> TListItem* NewListItem(TListItems* owner) { return new T(owner); }
void RegisterListItemClass(const TMetaClass* cls, TListItemFactory factory);
// A new item of the class (not yet in the list); EInvalidOperation when the
// class was not registered.
TListItem* CreateListItemOf(const TMetaClass* cls, TListItems* owner);
// The view an item belongs to (null while it has none), for code written over
// both views alike.
TCustomListView* OwningView(TListItem* item);

class TListColumn : public TCollectionItem {
  CL_CLASS(TListColumn, TCollectionItem)
public:
  explicit TListColumn(TCollection* collection);

  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& value);
  // Read from the window (the user may drag the divider).
  int Width();
  void SetWidth(int value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int value);
  // The native column index this column was given (-1: not in the window).
  int OrderTag() const { return FOrderTag; }
  TCustomListView* ListView() const;

  void Assign(TPersistent* source) override;
  AnsiString GetDisplayName() override;

private:
  friend class TListColumns;
  friend class TCustomListView;
  AnsiString FCaption;
  int FWidth = 50;
  TAlignment FAlignment = taLeftJustify;
  int FImageIndex = -1;
  int FOrderTag = -1;
};

class TListColumns : public TCollection {
  CL_CLASS(TListColumns, TCollection)
public:
  explicit TListColumns(TCustomListView* owner, const TMetaClass* itemClass = &TListColumn::Class,
                        TCollectionItemFactory factory = &NewCollectionItem<TListColumn>);
  TListColumn* Add() { return static_cast<TListColumn*>(TCollection::Add()); }
  TListColumn* Items(int index) const { return static_cast<TListColumn*>(TCollection::Items(index)); }
  TListColumn* operator[](int index) const { return Items(index); }
  TCustomListView* Owner() const { return FListView; }

protected:
  void Update(TCollectionItem* item) override;
  void Notify(TCollectionItem* item, TCollectionNotification action) override;

private:
  TCustomListView* FListView;
};

// The sub-item texts of an item; every change is shown at once (sub-item i is
// native column i + 1).
class TSubItems : public TStringList {
  CL_CLASS(TSubItems, TStringList)
public:
  explicit TSubItems(TListItem* owner) : FOwner(owner) {}
  TListItem* Owner() const { return FOwner; }
  void Put(int index, const AnsiString& s) override;
  void Delete(int index) override;
  void Clear() override;
  void Exchange(int index1, int index2) override;

protected:
  void InsertItem(int index, const AnsiString& s, TObject* obj) override;

private:
  // Sub-item index refreshed one by one; -1: the whole item.
  void Refresh(int index);
  TListItem* FOwner;
};

class TListItem : public TPersistent {
  CL_CLASS(TListItem, TPersistent)
public:
  explicit TListItem(TListItems* owner);
  // Deleting an item object that is still in the list removes it first.
  ~TListItem() override;
  TListItem(const TListItem&) = delete;
  TListItem& operator=(const TListItem&) = delete;

  TListItems* Owner() const { return FOwner; }
  TCustomListView* ListView() const;
  const AnsiString& Caption() const { return FCaption; }
  // Refreshes the native item (LVM_SETITEMTEXTA with the callback marker).
  void SetCaption(const AnsiString& value);
  TStrings* SubItems() const { return FSubItems; }
  void SetSubItems(TStrings* value);
  void* Data() const { return FData; }
  void SetData(void* value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int value);
  int StateIndex() const { return FStateIndex; }
  void SetStateIndex(int value);
  int OverlayIndex() const { return FOverlayIndex; }
  void SetOverlayIndex(int value);
  int Indent() const { return FIndent; }
  void SetIndent(int value);
  // The image of sub-item index (0 is the first sub-item) in report view;
  // -1: none. Images of sub-items not there yet wait for them.
  int SubItemImages(int index) const;
  void SetSubItemImages(int index, int value);
  int Index() const;

  bool Selected() const { return GetState(LVIS_SELECTED); }
  void SetSelected(bool value) { SetState(LVIS_SELECTED, value); }
  bool Focused() const { return GetState(LVIS_FOCUSED); }
  void SetFocused(bool value) { SetState(LVIS_FOCUSED, value); }
  bool Cut() const { return GetState(LVIS_CUT); }
  void SetCut(bool value) { SetState(LVIS_CUT, value); }
  bool DropTarget() const { return GetState(LVIS_DROPHILITED); }
  void SetDropTarget(bool value) { SetState(LVIS_DROPHILITED, value); }
  // The check box of a view with Checkboxes (state image 2).
  bool Checked() const;
  void SetChecked(bool value);
  bool Deleting() const { return FDeleting; }

  void Delete();
  void MakeVisible(bool partialOK);
  // Redraws the item (LVM_UPDATE).
  void Update();
  TRect DisplayRect(TDisplayCode code);
  bool EditCaption();
  void CancelEdit();

  // Caption, data, image, indent, overlay, state image, sub-items, their
  // images and check.
  void Assign(TPersistent* source) override;

private:
  friend class TListItems;
  friend class TCustomListView;
  friend class TSubItems;
  bool GetState(UINT state) const;
  void SetState(UINT state, bool on);
  void SetNativeItem(UINT mask);

  TListItems* FOwner;
  AnsiString FCaption;
  TSubItems* FSubItems;
  void* FData = nullptr;
  int FImageIndex = 0;
  int FStateIndex = -1;
  int FOverlayIndex = -1;
  int FIndent = 0;
  std::vector<int> FSubItemImages;
  // Tells the control to ask for the images of the sub-items that have one.
  void SendSubItemImages();
  // LVIS_ bits kept while there is no window.
  UINT FSavedState = 0;
  mutable int FIndexHint = -1;
  // The update of the items it was added in (0: none).
  unsigned FAddedInBatch = 0;
  bool FDeleting = false;
  bool FInList = false;
};

class TListItems : public TPersistent {
  CL_CLASS(TListItems, TPersistent)
public:
  explicit TListItems(TCustomListView* owner);
  ~TListItems() override;
  TListItems(const TListItems&) = delete;
  TListItems& operator=(const TListItems&) = delete;

  TCustomListView* Owner() const { return FOwner; }
  int Count() const;
  // In owner-data mode: the number of rows the program serves.
  void SetCount(int value);
  // EListError "List index out of bounds (%d)" outside 0..Count-1. In
  // owner-data mode the one temporary item, filled by OwnerDataFetch.
  TListItem* Item(int index);
  TListItem* operator[](int index) { return Item(index); }
  int IndexOf(TListItem* item) const;

  TListItem* Add();
  TListItem* Insert(int index);
  // A new item at index (-1: the end) that takes item's values when given.
  TListItem* AddItem(TListItem* item, int index = -1);
  void Delete(int index);
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

  void Assign(TPersistent* source) override;
  TPersistent* GetOwner() override;

private:
  friend class TListItem;
  friend class TCustomListView;
  TListItem* InsertAt(TListItem* item, int index);
  void InsertNative(TListItem* item, int index);
  void DeleteItem(TListItem* item, bool deleteObject);
  void NativeItemDeleted(TListItem* item);

  TCustomListView* FOwner;
  std::vector<TListItem*> FItems;
  int FUpdateCount = 0;
  // Numbers the outermost updates; an item remembers the one it was added in.
  unsigned FBatch = 0;
};

class TCustomListView : public TWinControl {
  CL_CLASS(TCustomListView, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TCustomListView)
public:
  explicit TCustomListView(TComponent* owner);
  ~TCustomListView() override;

  TListColumns* Columns() const { return FListColumns; }
  void SetColumns(TListColumns* value) { FListColumns->Assign(value); }
  TListColumn* Column(int index) const { return FListColumns->Items(index); }
  TListColumn* ColumnFromIndex(int index) const { return FListColumns->Items(index); }
  // Made on first use by CreateListItems (so a derived view's override counts).
  TListItems* Items();
  void SetItems(TListItems* value) { Items()->Assign(value); }

  TViewStyle ViewStyle() const { return FViewStyle; }
  void SetViewStyle(TViewStyle value);
  bool RowSelect() const { return FRowSelect; }
  void SetRowSelect(bool value);
  bool GridLines() const { return FGridLines; }
  void SetGridLines(bool value);
  bool Checkboxes() const { return FCheckboxes; }
  void SetCheckboxes(bool value);
  bool HotTrack() const { return FHotTrack; }
  void SetHotTrack(bool value);
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value);
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool value);
  bool ColumnClick() const { return FColumnClick; }
  void SetColumnClick(bool value);
  bool ShowColumnHeaders() const { return FShowColumnHeaders; }
  void SetShowColumnHeaders(bool value);
  bool OwnerData() const { return FOwnerData; }
  void SetOwnerData(bool value);
  // Report rows drawn by DrawItem (OnDrawItem) instead of the control.
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle value);
  TSortType SortType() const { return FSortType; }
  void SetSortType(TSortType value);
  TCustomImageList* SmallImages() const { return FSmallImages; }
  void SetSmallImages(TCustomImageList* value);
  TCustomImageList* LargeImages() const { return FLargeImages; }
  void SetLargeImages(TCustomImageList* value);
  TCustomImageList* StateImages() const { return FStateImages; }
  void SetStateImages(TCustomImageList* value);

  TListItem* Selected();
  void SetSelected(TListItem* value);
  TListItem* ItemFocused();
  void SetItemFocused(TListItem* value);
  TListItem* DropTarget();
  void SetDropTarget(TListItem* value);
  int SelCount();
  TListItem* TopItem();
  TListItem* GetNextItem(TListItem* startItem, TSearchDirection direction, TItemStates states);
  // The first item whose caption equals value (or starts with it when
  // partial), searched after startIndex (from it when inclusive), wrapping to
  // the start when wrap; null when none. The control compares, ignoring case.
  TListItem* FindCaption(int startIndex, const AnsiString& value, bool partial, bool inclusive, bool wrap);
  TListItem* FindData(int startIndex, void* value, bool inclusive, bool wrap);
  TListItem* GetItemAt(int x, int y);
  // Pixel width of a text in the control's font.
  int StringWidth(const AnsiString& s);
  // What the user has typed of the incremental search.
  AnsiString GetSearchString();
  // A new item with the caption and data at the end.
  TListItem* AddItem(const AnsiString& caption, void* data);
  bool AlphaSort();
  bool CustomSort(PFNLVCOMPARE sortProc, LPARAM data);
  void Scroll(int dx, int dy);
  bool IsEditing();
  // The canvas handed to the custom-draw events (the notification's DC).
  TCanvas* Canvas() const;

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  static int CALLBACK DefaultListViewSort(LPARAM item1, LPARAM item2, LPARAM data);

  // --- seams and the events behind them
  virtual TListItem* CreateListItem();
  virtual TListItems* CreateListItems();
  virtual void GetImageIndex(TListItem* item);
  virtual bool CanChange(TListItem* item, UINT change);
  virtual void Change(TListItem* item, UINT change);
  virtual void Delete(TListItem* item);
  virtual void InsertItem(TListItem* item);
  virtual bool CanEdit(TListItem* item);
  virtual void Edit(const LVITEMA& item);
  virtual void ColClick(TListColumn* column);
  // Owner-data mode: fills the temporary item for the request; true when
  // OnData served it.
  virtual bool OwnerDataFetch(TListItem* item, TItemRequest request);
  // Owner-data mode: the index of the row that matches (-1: none).
  virtual int OwnerDataFind(TItemFind find, const AnsiString& findString, const TPoint& findPosition, void* findData,
                            int startIndex, TSearchDirection direction, bool wrap);
  // An owner-drawn row: OnDrawItem, else the caption on the row's colour.
  virtual void DrawItem(TListItem* item, const TRect& rect, TOwnerDrawState state);
  virtual bool CustomDrawItem(TListItem* item, TCustomDrawState state);
  virtual bool CustomDrawSubItem(TListItem* item, int subItem, TCustomDrawState state);
  virtual bool IsCustomDrawn();
  // Tells the control that a sub-item's text changed (it asks for it by
  // callback): LVM_SETITEMTEXTA down the window's whole chain.
  virtual void SubItemTextChanged(int index, int subItem);
  // Inserts an item whose text the control asks for by callback:
  // LVM_INSERTITEMA down the window's whole chain; the new row's index.
  virtual int InsertCallbackItem(LVITEMA& item);

  TLVChangeEvent OnChange;
  TLVChangingEvent OnChanging;
  TLVDeletedEvent OnDeletion;
  TLVDeletedEvent OnInsert;
  TLVDeletedEvent OnGetImageIndex;
  TLVSelectItemEvent OnSelectItem;
  TLVColumnClickEvent OnColumnClick;
  TLVCompareEvent OnCompare;
  TLVCustomDrawItemEvent OnCustomDrawItem;
  TLVCustomDrawSubItemEvent OnCustomDrawSubItem;
  TLVEditingEvent OnEditing;
  TLVEditedEvent OnEdited;
  TLVOwnerDataEvent OnData;
  TLVOwnerDataFindEvent OnDataFind;
  TLVCreateItemClassEvent OnCreateItemClass;
  TLVDrawItemEvent OnDrawItem;
  // Asked for an item's tip when the view shows tips (set through SetOnInfoTip).
  TLVInfoTipEvent OnInfoTip;

  TLVChangeEvent GetOnChange() const { return OnChange; }
  void SetOnChange(TLVChangeEvent v) { OnChange = v; }
  TLVChangingEvent GetOnChanging() const { return OnChanging; }
  void SetOnChanging(TLVChangingEvent v) { OnChanging = v; }
  TLVDeletedEvent GetOnDeletion() const { return OnDeletion; }
  void SetOnDeletion(TLVDeletedEvent v) { OnDeletion = v; }
  TLVDeletedEvent GetOnInsert() const { return OnInsert; }
  void SetOnInsert(TLVDeletedEvent v) { OnInsert = v; }
  TLVSelectItemEvent GetOnSelectItem() const { return OnSelectItem; }
  void SetOnSelectItem(TLVSelectItemEvent v) { OnSelectItem = v; }
  TLVColumnClickEvent GetOnColumnClick() const { return OnColumnClick; }
  void SetOnColumnClick(TLVColumnClickEvent v) { OnColumnClick = v; }
  TLVCompareEvent GetOnCompare() const { return OnCompare; }
  void SetOnCompare(TLVCompareEvent v) { OnCompare = v; }
  TLVCustomDrawItemEvent GetOnCustomDrawItem() const { return OnCustomDrawItem; }
  void SetOnCustomDrawItem(TLVCustomDrawItemEvent v) { OnCustomDrawItem = v; }
  TLVCustomDrawSubItemEvent GetOnCustomDrawSubItem() const { return OnCustomDrawSubItem; }
  void SetOnCustomDrawSubItem(TLVCustomDrawSubItemEvent v) { OnCustomDrawSubItem = v; }
  TLVEditedEvent GetOnEdited() const { return OnEdited; }
  void SetOnEdited(TLVEditedEvent v) { OnEdited = v; }
  TLVEditingEvent GetOnEditing() const { return OnEditing; }
  void SetOnEditing(TLVEditingEvent v) { OnEditing = v; }
  TLVOwnerDataEvent GetOnData() const { return OnData; }
  void SetOnData(TLVOwnerDataEvent v) { OnData = v; }
  TLVInfoTipEvent GetOnInfoTip() const { return OnInfoTip; }
  void SetOnInfoTip(TLVInfoTipEvent v);
  TLVDrawItemEvent GetOnDrawItem() const { return OnDrawItem; }
  void SetOnDrawItem(TLVDrawItemEvent v) { OnDrawItem = v; }

protected:
  friend class TListItems;
  friend class TListItem;
  friend class TListColumns;
  friend class TListColumn;
  friend class TSubItems;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  const TMetaClass* GetActionLinkClass() override;

  void CNNotify(TMessage& m);
  bool BeginsDragOnPress() override { return false; }
  void CNDrawItem(TMessage& m);
  void WMDestroy(TMessage& m);
  CL_ITEM_VIEW_MEMBERS
  void SendImageLists();
  void SendColors();
  void SendExtendedStyle();
  // Column housekeeping: insert, update and remove the native columns.
  void InsertColumn(TListColumn* column);
  void UpdateColumn(TListColumn* column);
  void UpdateColumns();
  void RemoveColumn(TListColumn* column);
  void SaveColumnWidths();
  // Re-reads the native order after a native sort.
  void SyncItemOrder();
  // The item of a notification: its lParam when given, else its index.
  TListItem* ItemOf(int index, LPARAM param);
  LRESULT DoCustomDraw(NMLVCUSTOMDRAW* cd);
  // Prepares the canvas for one custom-draw stage; after the event, passes
  // its colours and font back to the control.
  void BeginCustomDraw(HDC dc);
  LRESULT EndCustomDraw(NMLVCUSTOMDRAW* cd, bool defaultDraw);
  LRESULT PassDrawValues(NMLVCUSTOMDRAW* cd, TFont* font, TColor textColor, TColor bkColor);
  void GetDispInfo(NMLVDISPINFOA* info);

  // Columns may be replaced by a derived view's own collection class.
  TListColumns* FListColumns;
  TListItems* FListItems = nullptr;
  TCustomImageList* FSmallImages = nullptr;
  TCustomImageList* FLargeImages = nullptr;
  TCustomImageList* FStateImages = nullptr;
  TChangeLink* FSmallChangeLink;
  TChangeLink* FLargeChangeLink;
  TChangeLink* FStateChangeLink;
  TControlCanvas* FCanvas;
  // What the item stage chose, for the first column's sub-item stage.
  TFont* FItemDrawFont;
  TColor FItemDrawTextColor = clWindowText;
  TColor FItemDrawBkColor = clWindow;
  bool FItemDrawn = false;
  TViewDrawFonts FDrawFonts;
  // Owner data: the one item every index maps to, and the row count.
  TListItem* FTempItem = nullptr;
  int FOwnerDataCount = 0;
  TViewStyle FViewStyle = vsIcon;
  TSortType FSortType = stNone;
  TBorderStyle FBorderStyle = bsSingle;
  bool FRowSelect = false;
  bool FGridLines = false;
  bool FCheckboxes = false;
  bool FHotTrack = false;
  bool FMultiSelect = false;
  bool FReadOnly = false;
  bool FHideSelection = true;
  bool FColumnClick = true;
  bool FShowColumnHeaders = true;
  bool FOwnerData = false;
  bool FOwnerDraw = false;
  bool FClearing = false;
  // Some item has a sub-item image: the control is told to draw them.
  bool FSubItemImagesUsed = false;
};

class TListView : public TCustomListView {
  CL_CLASS(TListView, TCustomListView)
public:
  explicit TListView(TComponent* owner) : TCustomListView(owner) {}
};

// A list view's link to an action; it adds nothing to the control's link.
class TListViewActionLink : public TWinControlActionLink {
  CL_CLASS(TListViewActionLink, TWinControlActionLink)
public:
  using TWinControlActionLink::TWinControlActionLink;
};

void UnitInit_listview();
void UnitFini_listview();
