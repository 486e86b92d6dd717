// The tree view and the list view with wide texts. Node texts, item captions,
// sub-items and column captions are kept as wide shadows beside the class
// library's ANSI texts (the synchronised-string rule: an ANSI change made
// behind a shadow wins, a wide change sets both). The native controls are
// Unicode windows: they ask for texts with the wide display-info
// notifications and get the shadows.
//
// The class library keeps its node and item objects across a re-creation of
// the window and inserts them again, so the shadows live on with them.
#pragma once

#include "comctrls.h"

#include "UcClasses.h"
#include "UcControls.h"
#include "UcStdCtrls.h"
#include "UcSysUtils.h"

#include <vector>

class TUcCustomTreeView;
class TUcTreeNodes;
class TUcTreeNode;
class TUcCustomListView;
class TUcListItems;
class TUcListItem;
class TUcListColumns;
class TUcListColumn;

// Walks a collection by index: MoveNext, then Current.
template <class TItems, class TItem> class TUcIndexEnumerator {
public:
  explicit TUcIndexEnumerator(TItems* items) : FItems(items) {}
  bool MoveNext() {
    if (FIndex >= FItems->Count() - 1) return false;
    ++FIndex;
    return true;
  }
  TItem* GetCurrent() { return FItems->Item(FIndex); }
  TItem* Current() { return GetCurrent(); }

private:
  TItems* FItems;
  int FIndex = -1;
};

// The Unicode window of a common control: like CreateUnicodeHandle, but the
// system class must be named (EUcInternalError "UC Internal Error: Only call
// CreateUnicodeHandle_ComCtl for Common Controls." otherwise), and the new
// window is told to notify in wide form (CCM_SETUNICODEFORMAT).
void CreateUnicodeHandle_ComCtl(TWinControl* control, const TCreateParams& params, const WideString& subClass);

// ===========================================================================
// Tree view

using TUcTVEditedEvent = TEvent<void(TObject* sender, TUcTreeNode* node, WideString& s)>;

class TUcTreeNode : public TTreeNode {
  CL_CLASS(TUcTreeNode, TTreeNode)
public:
  explicit TUcTreeNode(TTreeNodes* owner) : TTreeNode(owner) {}

  // The wide text; the ANSI text set behind it (TTreeNode::SetText) wins.
  WideString Text() const;
  WideString GetText() const { return Text(); }
  void SetText(const WideString& value);
  // The ANSI text of the class library.
  const AnsiString& AnsiText() const { return TTreeNode::Text(); }

  void Assign(TPersistent* source) override;
  // Equal wide texts (exact) and equal data.
  bool IsEqual(TTreeNode* node) override;

  // The class library's navigation, re-typed (a node of another class raises
  // EInvalidCast).
  TUcTreeNode* getFirstChild() const;
  TUcTreeNode* GetLastChild() const;
  TUcTreeNode* GetNext() const;
  TUcTreeNode* GetNextChild(TTreeNode* value) const;
  TUcTreeNode* getNextSibling() const;
  TUcTreeNode* GetNextVisible() const;
  TUcTreeNode* GetPrev() const;
  TUcTreeNode* GetPrevChild(TTreeNode* value) const;
  TUcTreeNode* getPrevSibling() const;
  TUcTreeNode* GetPrevVisible() const;
  TUcTreeNode* Parent() const;
  TUcTreeNode* GetParent() const { return Parent(); }
  TUcTreeNode* Item(int index) const;
  TUcTreeNode* GetItem(int index) const { return Item(index); }
  void SetItem(int index, TUcTreeNode* value);
  TUcTreeNodes* Owner() const;
  TUcTreeNodes* GetNodeOwner() const { return Owner(); }
  TUcCustomTreeView* TreeView() const;
  TUcCustomTreeView* GetTreeView() const { return TreeView(); }

private:
  friend class TUcTreeNodes;
  friend class TUcCustomTreeView;
  void SetInheritedText(const AnsiString& value) { TTreeNode::SetText(value); }
  mutable WideString FText;
};

// Walks the nodes by absolute index.
using TUcTreeNodesEnumerator = TUcIndexEnumerator<TUcTreeNodes, TUcTreeNode>;

class TUcTreeNodes : public TTreeNodes {
  CL_CLASS(TUcTreeNodes, TTreeNodes)
public:
  explicit TUcTreeNodes(TCustomTreeView* owner) : TTreeNodes(owner) {}

  // The adders with wide texts (ANSI texts widen through the code page).
  TUcTreeNode* Add(TTreeNode* sibling, const WideString& s);
  TUcTreeNode* AddObject(TTreeNode* sibling, const WideString& s, void* ptr);
  TUcTreeNode* AddFirst(TTreeNode* sibling, const WideString& s);
  TUcTreeNode* AddObjectFirst(TTreeNode* sibling, const WideString& s, void* ptr);
  TUcTreeNode* AddChild(TTreeNode* parent, const WideString& s);
  TUcTreeNode* AddChildObject(TTreeNode* parent, const WideString& s, void* ptr);
  TUcTreeNode* AddChildFirst(TTreeNode* parent, const WideString& s);
  TUcTreeNode* AddChildObjectFirst(TTreeNode* parent, const WideString& s, void* ptr);
  TUcTreeNode* Insert(TTreeNode* sibling, const WideString& s);
  TUcTreeNode* InsertObject(TTreeNode* sibling, const WideString& s, void* ptr);
  TUcTreeNode* InsertNode(TTreeNode* node, TTreeNode* sibling, const WideString& s, void* ptr);
  // The common worker: the node (made by the view when null) has its wide
  // text before the native item is made, so the control never asks early.
  TUcTreeNode* AddNode(TTreeNode* node, TTreeNode* relative, const WideString& s, void* ptr,
                       TNodeAttachMode method);
  using TTreeNodes::AddNode;

  TUcTreeNode* GetFirstNode() const;
  TUcTreeNode* GetNode(HTREEITEM itemId);
  TUcTreeNode* GetNodeFromIndex(int index);
  TUcTreeNode* Item(int index) { return GetNodeFromIndex(index); }
  TUcTreeNode* operator[](int index) { return GetNodeFromIndex(index); }
  TUcCustomTreeView* Owner() const;
  TUcCustomTreeView* GetNodesOwner() const { return Owner(); }
  TUcTreeNodesEnumerator GetEnumerator() { return TUcTreeNodesEnumerator(this); }

  // From another wide collection through the "Utf8Data" record stream (texts
  // cut to 255 bytes of UTF-8, as the stream holds them); from anything else
  // as the class library copies.
  void Assign(TPersistent* source) override;
  // Adds "Utf8Data" beside the class library's properties.
  void DefineProperties(TFiler* filer) override;
  // The "Utf8Data" records: as the class library's node records, with each
  // text as EF BB BF + UTF-8 (at most 255 bytes, cut at whole characters).
  // Reading takes a text without the mark as ANSI.
  void ReadData(TStream* stream) override;
  void WriteData(TStream* stream) override;

private:
  void ReadNodeData(TStream* stream, TTreeNode* parent);
  void WriteNodeData(TStream* stream, TUcTreeNode* node);
  // Whether the collection differs from the ancestor's (null: has nodes).
  bool DataDiffers(TPersistent* ancestor);
};

// Routes the class library's choice of the node to select next through a
// wide-typed seam.
class _UcInternalCustomTreeView : public TCustomTreeView {
  CL_CLASS(_UcInternalCustomTreeView, TCustomTreeView)
public:
  explicit _UcInternalCustomTreeView(TComponent* owner) : TCustomTreeView(owner) {}
  virtual TUcTreeNode* Wide_FindNextToSelect() = 0;
  TTreeNode* FindNextToSelect() override { return Wide_FindNextToSelect(); }
};

class TUcCustomTreeView : public _UcInternalCustomTreeView {
  CL_CLASS(TUcCustomTreeView, _UcInternalCustomTreeView)
  CL_DECLARE_MESSAGE_MAP(TUcCustomTreeView)
public:
  explicit TUcCustomTreeView(TComponent* owner);
  ~TUcCustomTreeView() override;

  UC_WIDE_HINT_MEMBERS

  TUcTreeNodes* Items();
  TUcTreeNodes* GetTreeNodes() { return Items(); }
  void SetItems(TTreeNodes* value) { Items()->Assign(value); }
  void SetTreeNodes(TTreeNodes* value) { SetItems(value); }
  TUcTreeNode* Selected();
  void SetSelected(TTreeNode* value) { TCustomTreeView::SetSelected(value); }
  TUcTreeNode* DropTarget();
  void SetDropTarget(TTreeNode* value) { TCustomTreeView::SetDropTarget(value); }
  TUcTreeNode* TopItem();
  void SetTopItem(TTreeNode* value) { TCustomTreeView::SetTopItem(value); }
  TUcTreeNode* GetNodeAt(int x, int y);

  // The node of a notification's item: its lParam when the mask says so,
  // else the node of its handle.
  TUcTreeNode* GetNodeFromItem(const TVITEMW& item);

  TTreeNode* CreateNode() override;
  TTreeNodes* CreateNodes() override;
  TUcTreeNode* Wide_FindNextToSelect() override;

  // Indented text: a tab per level, then the node's text. Saved as UTF-16LE
  // with FF FE and CR LF; loaded with the byte-order mark detected (ANSI
  // without one); leading tabs or spaces give the level. A line more than one
  // level below the one before raises ETreeViewError.
  void LoadFromFile(const WideString& fileName);
  void LoadFromStream(TStream* stream);
  void SaveToFile(const WideString& fileName);
  void SaveToStream(TStream* stream);

  UC_STANDARD_OVERRIDES

  // Hides the class library's ANSI OnEdited: the edited text in wide form.
  TUcTVEditedEvent OnEdited;
  TUcTVEditedEvent GetOnEdited() const { return OnEdited; }
  void SetOnEdited(TUcTVEditedEvent v) { OnEdited = v; }

  // Test seam: the comctl32 version that decides the info-tip cut (packed
  // major << 16 | minor; 0 = ask the library).
  static DWORD ComCtlVersionOverride;

protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& message) override;
  // The end of in-place editing with the wide item.
  virtual void Edit(const TVITEMW& item);
  using TCustomTreeView::Edit;
  void CNNotify(TMessage& m);
  void WMNotify(TMessage& m);
  // The in-place edit window's procedure while it is subclassed.
  void EditWndProcW(TMessage& message);

  static int CALLBACK WideTreeViewSort(LPARAM node1, LPARAM node2, LPARAM data);

  friend class TUcTreeNodes;

  TSortType FSavedSortType = stNone;
  bool FSortTypeSaved = false;
  bool FTestingForSortProc = false;
  HWND FEditHandle = nullptr;
  WNDPROC FEditInstance = nullptr;
  WNDPROC FDefEditProc = nullptr;
};

class TUcTreeView : public TUcCustomTreeView {
  CL_CLASS(TUcTreeView, TUcCustomTreeView)
public:
  explicit TUcTreeView(TComponent* owner) : TUcCustomTreeView(owner) {}
};

// ===========================================================================
// List view

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

// The class library's own compare callback of tree views, captured from the
// first window's probing sort (null until then).
extern PFNTVCOMPARE UcTreeViewCompareProc;

void UnitInit_UcComCtrls();
void UnitFini_UcComCtrls();
