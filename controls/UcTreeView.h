// The tree view with wide texts. Node texts are kept as wide shadows beside
// the class library's ANSI texts (the synchronised-string rule: an ANSI change
// made behind a shadow wins, a wide change sets both). The native control is a
// Unicode window: it asks for texts with the wide display-info notifications
// and gets the shadows.
//
// The class library keeps its node objects across a re-creation of the window
// and inserts them again, so the shadows live on with them.
#pragma once

#include "treeview.h"

#include "UcClasses.h"
#include "UcControls.h"
#include "UcItemViews.h"
#include "UcSysUtils.h"

#include <commctrl.h>

class TUcCustomTreeView;
class TUcTreeNodes;
class TUcTreeNode;

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

// The class library's own compare callback of tree views, captured from the
// first window's probing sort (null until then).
extern PFNTVCOMPARE UcTreeViewCompareProc;

void UnitInit_UcTreeView();
void UnitFini_UcTreeView();
