// The tree view (the system's SysTreeView32 window).
//
// Nodes are objects of their own that hold the texts, images and data; the
// native control only mirrors them. Texts reach the control as
// LPSTR_TEXTCALLBACK and images as I_IMAGECALLBACK, so the control asks its
// parent (TVN_GETDISPINFOA, reflected back as CN_NOTIFY) whenever it needs
// them. That makes the nodes survive a re-creation of the window: the old
// window takes only its copies with it, the new one gets the nodes inserted
// again with their expanded, selected and checked states.
//
// Every node operation is sent to the control with SendMessageA, so it passes
// the window's whole procedure chain, where the Unicode control layer rewrites
// some of the messages.
#pragma once

#include "classes.h"
#include "controls.h"
#include "imglist.h"
#include "itemviews.h"

#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class TCustomTreeView;
class TTreeNodes;
class TTreeNode;

CL_EXCEPTION(ETreeViewError, Exception)

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
// The view a node belongs to (null while it has none), for code written over
// both views alike.
TCustomTreeView* OwningView(TTreeNode* node);

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
// The count of top-level records, then every record, each node followed by
// its children, at any depth; add makes the node of a record under its
// parent (null: the top level) and returns it.
void ReadTreeNodeRecords(
    TStream* stream,
    const std::function<TTreeNode*(TTreeNode* parent, const TTreeNodeRecord& rec, const AnsiString& text)>& add);
// The count of the top-level nodes from first on, then their records in the
// same order; textOf gives the bytes a node's record holds.
void WriteTreeNodeRecords(TStream* stream, TTreeNode* first, const std::function<AnsiString(TTreeNode*)>& textOf);

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
  // window, else the objects themselves; with recurse every level below too.
  bool SortChildren(TTreeNode* parent, PFNTVCOMPARE sortProc, LPARAM data, bool recurse);
  bool SortLevel(TTreeNode* parent, PFNTVCOMPARE sortProc, LPARAM data);
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

void UnitInit_treeview();
void UnitFini_treeview();
