// The common controls: tree view, list view, status bar and progress bar (the
// system's SysTreeView32, SysListView32, msctls_statusbar32 and
// msctls_progress32 windows).
//
// Nodes and items are objects of their own that hold the texts, images and
// data; the native control only mirrors them. Texts reach the control as
// LPSTR_TEXTCALLBACK and images as I_IMAGECALLBACK, so the control asks its
// parent (TVN_GETDISPINFOA / LVN_GETDISPINFOA, reflected back as CN_NOTIFY)
// whenever it needs them. That makes the objects survive a re-creation of the
// window: the old window takes only its copies with it, the new one gets the
// objects inserted again with their expanded, selected and checked states.
//
// Every node and item operation is sent to the control with SendMessageA, so it
// passes the window's whole procedure chain, where the Unicode control layer
// rewrites some of the messages.
#pragma once

#include "controls.h"
#include "imglist.h"
#include "stdctrls.h"

#include <commctrl.h>

#include <cstddef>
#include <vector>

class TCustomTreeView;
class TTreeNodes;
class TTreeNode;
class TCustomListView;
class TListItems;
class TListItem;
class TListColumns;
class TListColumn;

CL_EXCEPTION(ETreeViewError, Exception)
CL_EXCEPTION(EListViewError, Exception)

// What a custom-draw notification says about the item (the CDIS_ bits).
using TCustomDrawState = uint16_t;

// The fonts a view's custom drawing hands the control. The control draws with
// the font selected into its DC, so two holders take turns: the one handed
// over for the previous cell stays alive while the control may still have it
// selected.
class TViewDrawFonts {
public:
  TViewDrawFonts();
  ~TViewDrawFonts();
  TViewDrawFonts(const TViewDrawFonts&) = delete;
  TViewDrawFonts& operator=(const TViewDrawFonts&) = delete;
  // Starts a handler's drawing on canvas with the view's font and colour.
  static void Begin(TControlCanvas* canvas, HDC dc, TFont* font, TColor color);
  // Selects a copy of font into dc and fills the colour fields; CDRF_NEWFONT.
  LRESULT HandOver(HDC dc, COLORREF& text, COLORREF& textBk, TFont* font, TColor textColor, TColor bkColor);
  // Ends a handler's drawing: CDRF_SKIPDEFAULT, or what the canvas holds.
  LRESULT End(TControlCanvas* canvas, HDC dc, COLORREF& text, COLORREF& textBk, bool defaultDraw);

private:
  TFont* FFonts[2];
  int FTurn = 0;
};
enum : uint16_t {
  cdsSelected = 0x01, cdsGrayed = 0x02, cdsDisabled = 0x04, cdsChecked = 0x08, cdsFocused = 0x10,
  cdsDefault = 0x20, cdsHot = 0x40, cdsMarked = 0x80, cdsIndeterminate = 0x100
};

enum TSortType : uint8_t { stNone, stData, stText, stBoth };

// What the tree view and the list view do alike (the mouse-down with the
// control's drag loop, the window's coming and going, colours, borders, the
// editing and sorting rules) is written once, in TItemViewShared<TView>.
template <class TView> struct TItemViewShared;

// The members both views have for it.
#define CL_ITEM_VIEW_MEMBERS                                                   \
 protected:                                                                    \
  template <class> friend struct TItemViewShared;                              \
  /* WM_LBUTTONDOWN / WM_RBUTTONDOWN: TItemViewShared::TrackedButtonDown. */   \
  void WMButtonDown(TMessage& m);                                              \
  /* CM_COLORCHANGED / CM_FONTCHANGED: the colours go to the window. */        \
  void CMColorsChanged(TMessage& m);                                           \
  void ImageListChange(TObject* sender);                                       \
  /* Sends a message to the window through its whole procedure chain. */       \
  LRESULT SendItemMessage(UINT msg, WPARAM w, LPARAM l);                       \
  /* The window for an item operation: made when it can be (the view has a  */ \
  /* parent), null when it cannot or the view is going. */                     \
  HWND ItemsHandle();                                                          \
  /* The native items mirror the objects (false before they are inserted   */ \
  /* into a new window and while it goes). */                                  \
  bool FNativeItemsValid = false;                                              \
  bool FWindowGoing = false;                                                   \
  /* Native items of moving nodes go without their objects. */                 \
  bool FMovingNodes = false;                                                   \
  /* Objects being put back into a new window: no events. */                   \
  int FRestoring = 0;                                                          \
  /* A click the control reported inside its drag loop, told after it. */      \
  bool FClickPending = false;                                                  \
  bool FInButtonDown = false;

// ===========================================================================
// Tree view

enum TNodeAttachMode : uint8_t { naAdd, naAddFirst, naAddChild, naAddChildFirst, naInsert };

// Where a point lies relative to the items (TVHT_ values, named).
using THitTests = uint16_t;
enum : uint16_t {
  htAbove = 0x001, htBelow = 0x002, htNowhere = 0x004, htOnItem = 0x008, htOnButton = 0x010, htOnIcon = 0x020,
  htOnIndent = 0x040, htOnLabel = 0x080, htOnRight = 0x100, htOnStateIcon = 0x200, htToLeft = 0x400,
  htToRight = 0x800
};

using TTVChangingEvent = TEvent<void(TObject* sender, TTreeNode* node, bool& allowChange)>;
using TTVChangedEvent = TEvent<void(TObject* sender, TTreeNode* node)>;
using TTVExpandingEvent = TEvent<void(TObject* sender, TTreeNode* node, bool& allowExpansion)>;
using TTVCollapsingEvent = TEvent<void(TObject* sender, TTreeNode* node, bool& allowCollapse)>;
using TTVExpandedEvent = TEvent<void(TObject* sender, TTreeNode* node)>;
using TTVCustomDrawEvent = TEvent<void(TCustomTreeView* sender, const TRect& rect, bool& defaultDraw)>;
using TTVCustomDrawItemEvent =
    TEvent<void(TCustomTreeView* sender, TTreeNode* node, TCustomDrawState state, bool& defaultDraw)>;
using TTVEditingEvent = TEvent<void(TObject* sender, TTreeNode* node, bool& allowEdit)>;
using TTVEditedEvent = TEvent<void(TObject* sender, TTreeNode* node, AnsiString& s)>;
using TTVCompareEvent = TEvent<void(TObject* sender, TTreeNode* node1, TTreeNode* node2, int data, int& compare)>;
// Lets the program choose the class of the nodes the view makes.
using TTVCreateNodeClassEvent = TEvent<void(TCustomTreeView* sender, const TMetaClass*& nodeClass)>;

// Node classes are made by name through factories registered at unit start,
// as action-link classes are.
using TTreeNodeFactory = TTreeNode* (*)(TTreeNodes* owner);
template <class T> TTreeNode* NewTreeNode(TTreeNodes* owner) { return new T(owner); }
void RegisterTreeNodeClass(const TMetaClass* cls, TTreeNodeFactory factory);
// A new node of the class; EInvalidOperation when the class was not registered.
TTreeNode* CreateTreeNodeOf(const TMetaClass* cls, TTreeNodes* owner);

class TTreeNode : public TPersistent {
  CL_CLASS(TTreeNode, TPersistent)
public:
  explicit TTreeNode(TTreeNodes* owner);
  // Deleting a node object that is still in the tree removes it (and its
  // children) from the tree first.
  ~TTreeNode() override;
  TTreeNode(const TTreeNode&) = delete;
  TTreeNode& operator=(const TTreeNode&) = delete;

  TTreeNodes* Owner() const { return FOwner; }
  TCustomTreeView* TreeView() const;
  // The native item; null while the view has no window.
  HTREEITEM ItemId() const { return FItemId; }

  const AnsiString& Text() const { return FText; }
  // Refreshes the native item (TVM_SETITEMA with the callback marker).
  void SetText(const AnsiString& value);
  void* Data() const { return FData; }
  void SetData(void* value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int value);
  int SelectedIndex() const { return FSelectedIndex; }
  void SetSelectedIndex(int value);
  // The state image (-1: none), shown from the view's StateImages.
  int StateIndex() const { return FStateIndex; }
  void SetStateIndex(int value);
  int OverlayIndex() const { return FOverlayIndex; }
  void SetOverlayIndex(int value);

  TTreeNode* Parent() const { return FParent; }
  int Level() const;
  // Position among its siblings.
  int Index() const;
  // Position in the whole tree in pre-order (the first node is 0).
  int AbsoluteIndex() const;
  int Count() const { return FCount; }
  // Child i; EListError "List index out of bounds (%d)" outside 0..Count-1.
  TTreeNode* Item(int index) const;
  int IndexOf(TTreeNode* child) const;
  // Shows the expand button even without children, or hides it with them
  // (until set, it follows the children).
  bool HasChildren() const;
  void SetHasChildren(bool value);
  bool Expanded() const;
  void SetExpanded(bool value);
  void Expand(bool recurse);
  void Collapse(bool recurse);
  bool Selected() const;
  void SetSelected(bool value);
  bool Focused() const;
  void SetFocused(bool value);
  bool DropTarget() const;
  void SetDropTarget(bool value);
  bool Cut() const;
  void SetCut(bool value);
  // True from the moment the node's removal began.
  bool Deleting() const { return FDeleting; }
  bool HasAsParent(TTreeNode* value) const;

  TTreeNode* getFirstChild() const { return FFirstChild; }
  TTreeNode* GetLastChild() const { return FLastChild; }
  TTreeNode* getNextSibling() const { return FNextSibling; }
  TTreeNode* getPrevSibling() const { return FPrevSibling; }
  // The next / previous node in pre-order.
  TTreeNode* GetNext() const;
  TTreeNode* GetPrev() const;
  TTreeNode* GetNextChild(TTreeNode* value) const;
  TTreeNode* GetPrevChild(TTreeNode* value) const;
  // The next / previous node that is shown (every parent expanded).
  TTreeNode* GetNextVisible() const;
  TTreeNode* GetPrevVisible() const;
  bool IsVisible() const;

  void Delete();
  void DeleteChildren();
  void MakeVisible();
  TRect DisplayRect(bool textOnly);
  // In-place editing of the text (the view must not be read-only).
  bool EditText();
  void EndEdit(bool cancel);
  bool AlphaSort(bool recurse = false);
  // Moves the node with its children (the same objects, their states and
  // selection kept) to the place mode names relative to destination (null:
  // the top level). ETreeViewError "Invalid tree node" for a destination in
  // another tree or inside the node's own branch.
  virtual void MoveTo(TTreeNode* destination, TNodeAttachMode mode);

  // Text, data, the four image indexes and HasChildren of another node.
  void Assign(TPersistent* source) override;
  virtual bool IsEqual(TTreeNode* node);

private:
  friend class TTreeNodes;
  friend class TCustomTreeView;
  void UpdateNativeItem(UINT mask);
  // The native state bits of the item (the saved ones without a window).
  UINT NativeState(UINT mask) const;
  void SetNativeState(UINT state, bool on);

  TTreeNodes* FOwner;
  TTreeNode* FParent = nullptr;
  TTreeNode* FFirstChild = nullptr;
  TTreeNode* FLastChild = nullptr;
  TTreeNode* FNextSibling = nullptr;
  TTreeNode* FPrevSibling = nullptr;
  int FCount = 0;
  HTREEITEM FItemId = nullptr;
  AnsiString FText;
  void* FData = nullptr;
  int FImageIndex = 0;
  int FSelectedIndex = 0;
  int FStateIndex = -1;
  int FOverlayIndex = -1;
  // TVIS_ bits kept while there is no window (expanded, cut, drop target).
  UINT FSavedState = 0;
  signed char FHasChildren = -1;  // -1: follows the children
  bool FDeleting = false;
  bool FLinked = false;
};

class TTreeNodes : public TPersistent {
  CL_CLASS(TTreeNodes, TPersistent)
public:
  explicit TTreeNodes(TCustomTreeView* owner);
  ~TTreeNodes() override;
  TTreeNodes(const TTreeNodes&) = delete;
  TTreeNodes& operator=(const TTreeNodes&) = delete;

  TCustomTreeView* Owner() const { return FOwner; }
  // Every node of the tree.
  int Count() const { return FCount; }
  // The node at an absolute (pre-order) index; EListError outside the tree.
  TTreeNode* Item(int index) { return GetNodeFromIndex(index); }
  TTreeNode* operator[](int index) { return GetNodeFromIndex(index); }
  TTreeNode* GetNodeFromIndex(int index);
  TTreeNode* GetFirstNode() const { return FFirst; }
  // The node of a native item (its lParam); null for 0 or a foreign item.
  TTreeNode* GetNode(HTREEITEM itemId);
  // The cached position of GetNodeFromIndex is dropped (structure changed).
  void ClearCache();

  // Adding: the new node's place follows the attach mode (see AddNode).
  TTreeNode* Add(TTreeNode* sibling, const AnsiString& s);
  TTreeNode* AddObject(TTreeNode* sibling, const AnsiString& s, void* ptr);
  TTreeNode* AddFirst(TTreeNode* sibling, const AnsiString& s);
  TTreeNode* AddObjectFirst(TTreeNode* sibling, const AnsiString& s, void* ptr);
  TTreeNode* AddChild(TTreeNode* parent, const AnsiString& s);
  TTreeNode* AddChildObject(TTreeNode* parent, const AnsiString& s, void* ptr);
  TTreeNode* AddChildFirst(TTreeNode* parent, const AnsiString& s);
  TTreeNode* AddChildObjectFirst(TTreeNode* parent, const AnsiString& s, void* ptr);
  TTreeNode* Insert(TTreeNode* sibling, const AnsiString& s);
  TTreeNode* InsertObject(TTreeNode* sibling, const AnsiString& s, void* ptr);
  // Puts an existing, detached node object in before sibling.
  TTreeNode* InsertNode(TTreeNode* node, TTreeNode* sibling, const AnsiString& s, void* ptr);
  // The common worker: node (made by the view's CreateNode when null) gets
  // the text and data and is placed relative to relative: naAdd / naAddFirst
  // as the last / first of relative's siblings, naAddChild / naAddChildFirst
  // as the last / first child of relative, naInsert before relative. A null
  // relative means the top level. With a sorting SortType, naAdd and
  // naAddChild place the node in sort order instead.
  virtual TTreeNode* AddNode(TTreeNode* node, TTreeNode* relative, const AnsiString& s, void* ptr,
                             TNodeAttachMode method);

  void Delete(TTreeNode* node);
  void Clear();
  // Counted; the outermost pair stops and restarts the window's drawing.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }
  // Set while nodes are read from a stream.
  bool Reading() const { return FReading; }
  void SetReading(bool value) { FReading = value; }

  // From any TTreeNodes (plain or derived): clears, then re-creates the
  // source's nodes in pre-order with this view's CreateNode and Assign.
  void Assign(TPersistent* source) override;
  TPersistent* GetOwner() override;
  // The binary property "Data" of layouts: ReadData / WriteData.
  void DefineProperties(TFiler* filer) override;
  // The binary node records: the count of top-level nodes (32 bits), then each
  // node followed by its children: record size, image, selected image, state
  // image, overlay, data, child count (32 bits each), text length (1 byte)
  // and at most 255 bytes of text.
  virtual void ReadData(TStream* stream);
  virtual void WriteData(TStream* stream);

private:
  friend class TTreeNode;
  friend class TCustomTreeView;
  // Where a node goes relative to relative by method: its parent and the
  // sibling before it (null: first).
  void PlaceFor(TTreeNode* node, TTreeNode* relative, TNodeAttachMode method, TTreeNode*& parent, TTreeNode*& prev);
  // Places node in the object tree after prev (null: first) under parent.
  void Link(TTreeNode* node, TTreeNode* parent, TTreeNode* prev);
  void Unlink(TTreeNode* node);
  // Inserts node's native item (and its children's) when the view has a window.
  void InsertNative(TTreeNode* node);
  void InsertSubtreeNative(TTreeNode* node);
  // Removes node and its children; deleteObject false when node is being
  // destroyed by its own destructor.
  void DeleteNode(TTreeNode* node, bool deleteObject);
  void FireDeletion(TTreeNode* node);
  void FreeSubtree(TTreeNode* node, bool deleteRoot);
  // The node a native delete notification is about was removed by someone
  // else (TVM_DELETEITEM sent directly).
  void NativeItemDeleted(TTreeNode* node);
  void FlushGraveyard();
  // The sibling after which node belongs in sort order (null: first).
  TTreeNode* SortedPlace(TTreeNode* parent, TTreeNode* node);
  void ReadNode(TStream* stream, TTreeNode* parent);
  void WriteNode(TStream* stream, TTreeNode* node);
  void ReadDataProc(TStream* stream) { ReadData(stream); }
  void WriteDataProc(TStream* stream) { WriteData(stream); }

  TCustomTreeView* FOwner;
  TTreeNode* FFirst = nullptr;
  TTreeNode* FLast = nullptr;
  int FTopCount = 0;
  int FCount = 0;
  int FUpdateCount = 0;
  bool FReading = false;
  TTreeNode* FCacheNode = nullptr;
  int FCacheIndex = -1;
  std::vector<TTreeNode*> FGraveyard;
};

// The binary node records of the layouts' "Data" property (and of the
// Unicode layer's "Utf8Data"): the record size (32 bits), this fixed part,
// then the text's bytes.
#pragma pack(push, 1)
struct TTreeNodeRecord {
  int32_t ImageIndex;
  int32_t SelectedIndex;
  int32_t StateIndex;
  int32_t OverlayIndex;
  uint32_t Data;
  int32_t Count;
  uint8_t TextLength;
};
#pragma pack(pop)
static_assert(offsetof(TTreeNodeRecord, ImageIndex) == 0);
static_assert(offsetof(TTreeNodeRecord, SelectedIndex) == 4);
static_assert(offsetof(TTreeNodeRecord, StateIndex) == 8);
static_assert(offsetof(TTreeNodeRecord, OverlayIndex) == 12);
static_assert(offsetof(TTreeNodeRecord, Data) == 16);
static_assert(offsetof(TTreeNodeRecord, Count) == 20);
static_assert(offsetof(TTreeNodeRecord, TextLength) == 24);
static_assert(sizeof(TTreeNodeRecord) == 25);

// The count of top-level records that starts the property; EReadError
// "Invalid property value" when negative.
int32_t ReadTreeNodeCount(TStream* stream);
// One record and its text bytes; EReadError "Invalid property value" when
// the size disagrees with the text length or the child count is negative.
AnsiString ReadTreeNodeRecord(TStream* stream, TTreeNodeRecord& rec);
// node's record with the text bytes given (at most 255).
void WriteTreeNodeRecord(TStream* stream, TTreeNode* node, const char* text, int length);

class TCustomTreeView : public TWinControl {
  CL_CLASS(TCustomTreeView, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TCustomTreeView)
public:
  explicit TCustomTreeView(TComponent* owner);
  ~TCustomTreeView() override;

  // Made on first use by CreateNodes (so a derived view's override counts).
  TTreeNodes* Items();
  void SetItems(TTreeNodes* value) { Items()->Assign(value); }
  TTreeNode* Selected();
  void SetSelected(TTreeNode* value);
  TTreeNode* DropTarget();
  void SetDropTarget(TTreeNode* value);
  // The first node shown at the top of the window.
  TTreeNode* TopItem();
  void SetTopItem(TTreeNode* value);

  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* value);
  TCustomImageList* StateImages() const { return FStateImages; }
  void SetStateImages(TCustomImageList* value);
  int Indent();
  void SetIndent(int value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value);
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool value);
  bool ShowButtons() const { return FShowButtons; }
  void SetShowButtons(bool value);
  bool ShowLines() const { return FShowLines; }
  void SetShowLines(bool value);
  bool ShowRoot() const { return FShowRoot; }
  void SetShowRoot(bool value);
  bool RowSelect() const { return FRowSelect; }
  void SetRowSelect(bool value);
  bool HotTrack() const { return FHotTrack; }
  void SetHotTrack(bool value);
  bool AutoExpand() const { return FAutoExpand; }
  void SetAutoExpand(bool value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle value);
  // stText / stBoth sort at once and keep added nodes in order; stData /
  // stBoth sort by OnCompare when it is set.
  TSortType SortType() const { return FSortType; }
  void SetSortType(TSortType value);

  // The selected nodes (one at most: the view selects single nodes).
  int SelectionCount();
  TTreeNode* Selection(int index);
  // Adds the selected nodes to list (cleared first); returns the first.
  TTreeNode* GetSelections(TList* list);
  TTreeNode* GetNodeAt(int x, int y);
  THitTests GetHitTestInfoAt(int x, int y);
  // Sorts the top level (and every level below with recurse) through
  // TVM_SORTCHILDRENCB with the library's compare callback: OnCompare when
  // set, else the texts with lstrcmpA (stData: the data pointers).
  bool AlphaSort(bool recurse = true);
  bool CustomSort(PFNTVCOMPARE sortProc, LPARAM data, bool recurse = true);
  void FullExpand();
  void FullCollapse();
  bool IsEditing();

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // The compare callback of AlphaSort (the address the Unicode layer looks for).
  static int CALLBACK DefaultTreeViewSort(LPARAM node1, LPARAM node2, LPARAM data);

  // --- seams and the events behind them
  virtual TTreeNode* CreateNode();
  virtual TTreeNodes* CreateNodes();
  virtual void GetImageIndex(TTreeNode* node);
  virtual void GetSelectedIndex(TTreeNode* node);
  virtual bool CanEdit(TTreeNode* node);
  // The end of in-place editing (pszText null: cancelled).
  virtual void Edit(const TVITEMA& item);
  virtual bool CanChange(TTreeNode* node);
  virtual void Change(TTreeNode* node);
  virtual bool CanExpand(TTreeNode* node);
  virtual void Expanded(TTreeNode* node);
  virtual bool CanCollapse(TTreeNode* node);
  virtual void Collapsed(TTreeNode* node);
  // A node is being removed (OnDeletion).
  virtual void Delete(TTreeNode* node);
  // A node was added by a stream reader (OnAddition).
  virtual void Added(TTreeNode* node);
  // The node that takes the selection when the selected one goes: a sibling
  // after the removed branch, else one before it, else its parent.
  virtual TTreeNode* FindNextToSelect();

  TTVChangedEvent OnChange;
  TTVChangingEvent OnChanging;
  TTVExpandingEvent OnExpanding;
  TTVExpandedEvent OnExpanded;
  TTVCollapsingEvent OnCollapsing;
  TTVExpandedEvent OnCollapsed;
  TTVExpandedEvent OnDeletion;
  TTVExpandedEvent OnAddition;
  TTVExpandedEvent OnGetImageIndex;
  TTVExpandedEvent OnGetSelectedIndex;
  TTVEditingEvent OnEditing;
  TTVEditedEvent OnEdited;
  TTVExpandedEvent OnCancelEdit;
  TTVCompareEvent OnCompare;
  TTVCreateNodeClassEvent OnCreateNodeClass;
  // Custom drawing: the whole view before its items (defaultDraw false: the
  // control draws nothing), then each node on Canvas, whose font and colours
  // the control takes for the node (defaultDraw false: the handler drew it).
  TTVCustomDrawEvent OnCustomDraw;
  TTVCustomDrawItemEvent OnCustomDrawItem;
  // The canvas of the custom-draw handlers.
  TCanvas* Canvas() const;

  // Property accessors of the events (layouts bind them by name).
  TTVChangedEvent GetOnChange() const { return OnChange; }
  void SetOnChange(TTVChangedEvent v) { OnChange = v; }
  TTVChangingEvent GetOnChanging() const { return OnChanging; }
  void SetOnChanging(TTVChangingEvent v) { OnChanging = v; }
  TTVExpandingEvent GetOnExpanding() const { return OnExpanding; }
  void SetOnExpanding(TTVExpandingEvent v) { OnExpanding = v; }
  TTVExpandedEvent GetOnExpanded() const { return OnExpanded; }
  void SetOnExpanded(TTVExpandedEvent v) { OnExpanded = v; }
  TTVCollapsingEvent GetOnCollapsing() const { return OnCollapsing; }
  void SetOnCollapsing(TTVCollapsingEvent v) { OnCollapsing = v; }
  TTVExpandedEvent GetOnCollapsed() const { return OnCollapsed; }
  void SetOnCollapsed(TTVExpandedEvent v) { OnCollapsed = v; }
  TTVExpandedEvent GetOnDeletion() const { return OnDeletion; }
  void SetOnDeletion(TTVExpandedEvent v) { OnDeletion = v; }
  TTVExpandedEvent GetOnGetImageIndex() const { return OnGetImageIndex; }
  void SetOnGetImageIndex(TTVExpandedEvent v) { OnGetImageIndex = v; }
  TTVExpandedEvent GetOnGetSelectedIndex() const { return OnGetSelectedIndex; }
  void SetOnGetSelectedIndex(TTVExpandedEvent v) { OnGetSelectedIndex = v; }
  TTVEditedEvent GetOnEdited() const { return OnEdited; }
  void SetOnEdited(TTVEditedEvent v) { OnEdited = v; }
  TTVEditingEvent GetOnEditing() const { return OnEditing; }
  void SetOnEditing(TTVEditingEvent v) { OnEditing = v; }
  TTVCompareEvent GetOnCompare() const { return OnCompare; }
  void SetOnCompare(TTVCompareEvent v) { OnCompare = v; }
  TTVCustomDrawItemEvent GetOnCustomDrawItem() const { return OnCustomDrawItem; }
  void SetOnCustomDrawItem(TTVCustomDrawItemEvent v) { OnCustomDrawItem = v; }

protected:
  friend class TTreeNodes;
  friend class TTreeNode;
  virtual bool IsCustomDrawn();
  virtual bool CustomDraw(const TRect& rect);
  virtual bool CustomDrawItem(TTreeNode* node, TCustomDrawState state);
  LRESULT DoCustomDraw(NMTVCUSTOMDRAW* cd);
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;

  void CNNotify(TMessage& m);
  bool BeginsDragOnPress() override { return false; }
  // Keeps what only the window knows (expanded, selected) in the nodes; the
  // items it deletes meanwhile are no deletions of nodes.
  void WMDestroy(TMessage& m);
  CL_ITEM_VIEW_MEMBERS
  // Sorts parent's children (null: the top level), natively when there is a
  // window, else the objects themselves.
  bool SortChildren(TTreeNode* parent, PFNTVCOMPARE sortProc, LPARAM data, bool recurse);
  // Native children order back into the node objects after a native sort.
  void SyncChildOrder(TTreeNode* parent);
  void RelinkChildren(TTreeNode* parent, const std::vector<TTreeNode*>& order);
  void SendImageLists();
  void SendColors();
  // The node of a notification's item (lParam, else the item handle).
  TTreeNode* NodeOf(const TVITEMA& item);

  TTreeNodes* FTreeNodes = nullptr;
  TControlCanvas* FCanvas;
  TViewDrawFonts FDrawFonts;
  TCustomImageList* FImages = nullptr;
  TCustomImageList* FStateImages = nullptr;
  TChangeLink* FImageChangeLink;
  TChangeLink* FStateChangeLink;
  TTreeNode* FSavedSelected = nullptr;
  TTreeNode* FSavedDropTarget = nullptr;
  TTreeNode* FSavedTopItem = nullptr;
  int FIndent = 19;
  TSortType FSortType = stNone;
  TBorderStyle FBorderStyle = bsSingle;
  bool FReadOnly = false;
  bool FHideSelection = true;
  bool FShowButtons = true;
  bool FShowLines = true;
  bool FShowRoot = true;
  bool FRowSelect = false;
  bool FHotTrack = false;
  bool FAutoExpand = false;
  // Expand / collapse started by the library itself: the notifications the
  // control may send meanwhile are not reported twice.
  int FManualNotify = 0;
  TFont* FLastDrawFont = nullptr;
};

class TTreeView : public TCustomTreeView {
  CL_CLASS(TTreeView, TCustomTreeView)
public:
  explicit TTreeView(TComponent* owner) : TCustomTreeView(owner) {}
};

// ===========================================================================
// List view

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

// ===========================================================================
// Status bar and progress bar

enum TStatusPanelStyle : uint8_t { psText, psOwnerDraw };
enum TStatusPanelBevel : uint8_t { pbNone, pbLowered, pbRaised };

class TStatusPanel : public TCollectionItem {
  CL_CLASS(TStatusPanel, TCollectionItem)
public:
  explicit TStatusPanel(TCollection* collection) : TCollectionItem(collection) {}
  const AnsiString& Text() const { return FText; }
  void SetText(const AnsiString& value);
  int Width() const { return FWidth; }
  void SetWidth(int value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);
  TStatusPanelBevel Bevel() const { return FBevel; }
  void SetBevel(TStatusPanelBevel value);
  TStatusPanelStyle Style() const { return FStyle; }
  void SetStyle(TStatusPanelStyle value);
  void Assign(TPersistent* source) override;

private:
  AnsiString FText;
  int FWidth = 50;
  TAlignment FAlignment = taLeftJustify;
  TStatusPanelBevel FBevel = pbLowered;
  TStatusPanelStyle FStyle = psText;
};

class TStatusBar;

class TStatusPanels : public TCollection {
  CL_CLASS(TStatusPanels, TCollection)
public:
  explicit TStatusPanels(TStatusBar* owner, const TMetaClass* itemClass = &TStatusPanel::Class,
                         TCollectionItemFactory factory = &NewCollectionItem<TStatusPanel>);
  TStatusPanel* Add() { return static_cast<TStatusPanel*>(TCollection::Add()); }
  TStatusPanel* Items(int index) const { return static_cast<TStatusPanel*>(TCollection::Items(index)); }
  TStatusPanel* operator[](int index) const { return Items(index); }
  TStatusBar* Owner() const { return FStatusBar; }

protected:
  void Update(TCollectionItem* item) override;

private:
  TStatusBar* FStatusBar;
};

using TDrawPanelEvent = TEvent<void(TStatusBar* sender, TStatusPanel* panel, const TRect& rect)>;

class TStatusBar : public TWinControl {
  CL_CLASS(TStatusBar, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TStatusBar)
public:
  explicit TStatusBar(TComponent* owner);
  ~TStatusBar() override;

  // One part showing SimpleText instead of the panels.
  bool SimplePanel() const { return FSimplePanel; }
  void SetSimplePanel(bool value);
  const AnsiString& SimpleText() const { return FSimpleText; }
  void SetSimpleText(const AnsiString& value);
  // The grip is drawn only when the parent form can be resized.
  bool SizeGrip() const { return FSizeGrip; }
  void SetSizeGrip(bool value);
  TStatusPanels* Panels() const { return FPanels; }
  void SetPanels(TStatusPanels* value) { FPanels->Assign(value); }
  // Canvas of the owner-drawn panels.
  TCanvas* Canvas() const;
  // Shows the application's hints (THintAction): in SimpleText, or in the
  // first panel when there are panels and no simple panel.
  bool AutoHint() const { return FAutoHint; }
  void SetAutoHint(bool value) { FAutoHint = value; }
  bool ExecuteAction(TBasicAction* action) override;

  TDrawPanelEvent OnDrawPanel;

protected:
  friend class TStatusPanels;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  // Sends the parts and their texts to the window.
  void UpdatePanels();
  void UpdatePanel(int index);
  virtual void DrawPanel(TStatusPanel* panel, const TRect& rect);
  void CNDrawItem(TMessage& m);

  TStatusPanels* FPanels;
  TControlCanvas* FCanvas;
  AnsiString FSimpleText;
  bool FSimplePanel = false;
  bool FSizeGrip = true;
  bool FAutoHint = false;
};

enum TProgressBarOrientation : uint8_t { pbHorizontal, pbVertical };

class TProgressBar : public TWinControl {
  CL_CLASS(TProgressBar, TWinControl)
public:
  explicit TProgressBar(TComponent* owner);

  int Min() const { return FMin; }
  void SetMin(int value);
  int Max() const { return FMax; }
  void SetMax(int value);
  // Read from the window (StepIt moves it there).
  int Position();
  void SetPosition(int value);
  int Step() const { return FStep; }
  void SetStep(int value);
  bool Smooth() const { return FSmooth; }
  void SetSmooth(bool value);
  TProgressBarOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TProgressBarOrientation value);
  void StepIt();
  void StepBy(int delta);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;

  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
  int FStep = 10;
  bool FSmooth = false;
  TProgressBarOrientation FOrientation = pbHorizontal;
};

void UnitInit_comctrls();
void UnitFini_comctrls();
