#include "UcComCtrls.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcComponentProps.h"
#include "UcGraphics.h"
#include "UcWideStrUtils.h"
#include "UcWideStreams.h"

#include "sysutils.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <memory>

CL_DEFINE_CLASS(TUcTreeNode, TTreeNode)
CL_DEFINE_CLASS(TUcTreeNodes, TTreeNodes)
CL_DEFINE_CLASS(_UcInternalCustomTreeView, TCustomTreeView)
CL_DEFINE_COMPONENT(TUcCustomTreeView, _UcInternalCustomTreeView)
CL_DEFINE_COMPONENT(TUcTreeView, TUcCustomTreeView)
CL_DEFINE_CLASS(TUcListColumn, TListColumn)
CL_DEFINE_CLASS(TUcListColumns, TListColumns)
CL_DEFINE_CLASS(TWideSubItems, TUcStringList)
CL_DEFINE_CLASS(TUcListItem, TListItem)
CL_DEFINE_CLASS(TUcListItems, TListItems)
CL_DEFINE_CLASS(TSavedListItem, TObject)
CL_DEFINE_CLASS(_UcInternalCustomListView, TCustomListView)
CL_DEFINE_COMPONENT(TUcCustomListView, _UcInternalCustomListView)
CL_DEFINE_COMPONENT(TUcListView, TUcCustomListView)

PFNTVCOMPARE UcTreeViewCompareProc = nullptr;
PFNLVCOMPARE UcListViewCompareProc = nullptr;
DWORD TUcCustomTreeView::ComCtlVersionOverride = 0;

namespace {

// The protected key handling of the class library's windowed control, for
// the in-place edit windows the views subclass.
struct TKeyAccess : TWinControl {
  static bool KeyDown(TWinControl* c, TMessage& m) { return (c->*(&TKeyAccess::DoKeyDown))(m); }
  static bool KeyUp(TWinControl* c, TMessage& m) { return (c->*(&TKeyAccess::DoKeyUp))(m); }
  static bool KeyPress(TWinControl* c, TMessage& m) { return (c->*(&TKeyAccess::DoKeyPress))(m); }
};

// What the in-place edit window of a tree or list view does with a message:
// key messages go to the view's key events first (a consumed key ends there),
// the view's own CN_ key messages go to the view, the rest to the edit's own
// procedure.
void EditWindowMessage(TWinControl* view, HWND edit, WNDPROC oldProc, TMessage& message) {
  if (!Win32PlatformIsUnicode) throw EUcInternalError("UC Internal Error: EditWndProcW without a Unicode platform.");
  bool consumed = false;
  switch (message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      consumed = TKeyAccess::KeyDown(view, message);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      consumed = TKeyAccess::KeyUp(view, message);
      break;
    case WM_CHAR:
      MakeWMCharMsgSafeForAnsi(message);
      consumed = TKeyAccess::KeyPress(view, message);
      RestoreWMCharMsg(message);
      break;
    case CN_KEYDOWN:
    case CN_CHAR:
    case CN_SYSKEYDOWN:
    case CN_SYSCHAR:
      view->WndProc(message);
      return;
    default:
      break;
  }
  if (consumed) {
    message.Result = 0;
    return;
  }
  message.Result = CallWindowProcW(oldProc, edit, message.Msg, message.WParam, message.LParam);
}

// The procedure of a view's subclassed in-place edit window: the edit gets
// its own procedure back when it ends.
void EditWindowProc(TWinControl* view, HWND& edit, WNDPROC& oldProc, TMessage& message) {
  HWND wnd = edit;
  WNDPROC old = oldProc;
  if (!wnd || !old) {
    message.Result = 0;
    return;
  }
  if (message.Msg == WM_NCDESTROY) {
    SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    edit = nullptr;
    oldProc = nullptr;
    message.Result = CallWindowProcW(old, wnd, message.Msg, message.WParam, message.LParam);
    return;
  }
  EditWindowMessage(view, wnd, old, message);
}

// In-place editing begins: the view's edit window (asked with getEdit) is
// subclassed with the view's procedure instance.
void SubclassEditWindow(HWND view, UINT getEdit, WNDPROC instance, HWND& edit, WNDPROC& oldProc) {
  edit = reinterpret_cast<HWND>(SendMessageW(view, getEdit, 0, 0));
  if (!edit) return;
  oldProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWLP_WNDPROC));
  SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(instance));
}

// The packed version of comctl32 (major << 16 | minor), 0 when unknown;
// asked once per run.
DWORD CachedComCtlVersion = 0xFFFFFFFF;

DWORD ComCtlVersion() {
  DWORD& version = CachedComCtlVersion;
  if (version != 0xFFFFFFFF) return version;
  version = 0;
  if (HMODULE lib = GetModuleHandleW(L"comctl32.dll")) {
    using TDllGetVersion = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
    auto proc = reinterpret_cast<TDllGetVersion>(reinterpret_cast<void*>(GetProcAddress(lib, "DllGetVersion")));
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    if (proc && SUCCEEDED(proc(&info))) version = (info.dwMajorVersion << 16) | info.dwMinorVersion;
  }
  return version;
}

// The object as the wide class it must be (EInvalidCast otherwise); null stays null.
template <class T, class U> T* AsOrNull(U* object) { return object ? object->template As<T>() : nullptr; }

// The longest start of text, in whole code points (a surrogate pair is one),
// whose UTF-8 form takes at most maxBytes.
WideString CutToUtf8Bytes(const WideString& text, int maxBytes) {
  const std::wstring& s = text.str();
  int bytes = 0;
  size_t i = 0;
  while (i < s.size()) {
    wchar_t c = s[i];
    size_t units = 1;
    int need;
    if (c < 0x80)
      need = 1;
    else if (c < 0x800)
      need = 2;
    else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      need = 4;
      units = 2;
    } else
      need = 3;
    if (bytes + need > maxBytes) break;
    bytes += need;
    i += units;
  }
  return WideString(s.substr(0, i));
}

const char Utf8Mark[] = "\xEF\xBB\xBF";

WideString WideNodeText(TTreeNode* node) {
  return node->Is<TUcTreeNode>() ? static_cast<TUcTreeNode*>(node)->Text() : AnsiToWide(node->Text());
}

WideString WideItemCaption(TListItem* item) {
  return item->Is<TUcListItem>() ? static_cast<TUcListItem*>(item)->Caption() : AnsiToWide(item->Caption());
}

// The wide sort of a view: its OnCompare when set, else lstrcmpW of the wide
// texts. Runs inside the control's sort: nothing may leave it.
template <class TView, class TItem>
int CompareWide(TView* view, TItem* a, TItem* b, LPARAM data, WideString (*text)(TItem*)) {
  return GuardedCall(
      view,
      [&]() -> int {
        if (view && view->OnCompare) {
          int compare = 0;
          view->OnCompare(view, a, b, static_cast<int>(data), compare);
          return compare;
        }
        return lstrcmpW(text(a).c_str(), text(b).c_str());
      },
      0);
}

// The header of a notification this layer translates: a Unicode window's.
// Any other goes to the class library's handling (from the table map up).
NMHDR* WideNotification(TControl* view, const TMsgMap* map, TMessage& m) {
  NMHDR* hdr = NotifyHdr(m);
  if (Win32PlatformIsUnicode && hdr) return hdr;
  view->InheritedMsg(map, m);
  return nullptr;
}

// The class library's handling of a wide notification under its ANSI code
// (the records are alike).
void InheritedAsAnsi(TControl* view, const TMsgMap* map, TMessage& m, NMHDR* hdr, UINT ansiCode) {
  TScopedValue<UINT> ansi(hdr->code, ansiCode);
  view->InheritedMsg(map, m);
}

TCustomTreeView* OwningView(TTreeNode* node) { return node->TreeView(); }
TCustomListView* OwningView(TListItem* item) { return item->ListView(); }

// CompareWide for the control's sort callback, which hands over the objects
// as its lParams.
template <class TItem> int CompareWideParams(LPARAM param1, LPARAM param2, LPARAM data, WideString (*text)(TItem*)) {
  auto* a = reinterpret_cast<TItem*>(param1);
  auto* b = reinterpret_cast<TItem*>(param2);
  if (!a || !b) return 0;
  return CompareWide(OwningView(a), a, b, data, text);
}

// The text an in-place edit ended with: wide from a Unicode window, else the
// window's ANSI bytes widened; null is empty.
WideString EditedText(const wchar_t* text) {
  if (!text) return WideString();
  return Win32PlatformIsUnicode ? WideString(text) : AnsiToWide(AnsiString(reinterpret_cast<const char*>(text)));
}

// The view's wide OnEdited when set, else the class library's ANSI one (of
// TBase), with the text converted there and back.
template <class TBase, class TView, class TItem> void FireOnEdited(TView* view, TItem* item, WideString& s) {
  if (view->OnEdited) {
    view->OnEdited(view, item, s);
  } else if (view->TBase::OnEdited) {
    AnsiString a = WideToAnsi(s);
    view->TBase::OnEdited(view, item, a);
    s = AnsiToWide(a);
  }
}

}  // namespace

// ===========================================================================
// Common-control windows

void CreateUnicodeHandle_ComCtl(TWinControl* control, const TCreateParams& params, const WideString& subClass) {
  if (subClass.IsEmpty())
    throw EUcInternalError("UC Internal Error: Only call CreateUnicodeHandle_ComCtl for Common Controls.");
  CreateUnicodeHandle(control, params, subClass);
  if (Win32PlatformIsUnicode && control->HandleAllocated())
    SendMessageW(control->WindowHandle(), CCM_SETUNICODEFORMAT, 1, 0);
}

// ===========================================================================
// TUcTreeNode

WideString TUcTreeNode::Text() const { return GetSyncedWideString(FText, TTreeNode::Text()); }

void TUcTreeNode::SetText(const WideString& value) {
  SetSyncedWideString(value, FText, TTreeNode::Text(), [this](const AnsiString& a) { SetInheritedText(a); });
}

void TUcTreeNode::Assign(TPersistent* source) {
  TTreeNode::Assign(source);
  if (!Deleting() && source && source->Is<TUcTreeNode>()) SetText(static_cast<TUcTreeNode*>(source)->Text());
}

bool TUcTreeNode::IsEqual(TTreeNode* node) {
  if (!node) return false;
  return Text() == WideNodeText(node) && Data() == node->Data();
}

TUcTreeNode* TUcTreeNode::getFirstChild() const { return AsOrNull<TUcTreeNode>(TTreeNode::getFirstChild()); }
TUcTreeNode* TUcTreeNode::GetLastChild() const { return AsOrNull<TUcTreeNode>(TTreeNode::GetLastChild()); }
TUcTreeNode* TUcTreeNode::GetNext() const { return AsOrNull<TUcTreeNode>(TTreeNode::GetNext()); }
TUcTreeNode* TUcTreeNode::GetNextChild(TTreeNode* value) const {
  return AsOrNull<TUcTreeNode>(TTreeNode::GetNextChild(value));
}
TUcTreeNode* TUcTreeNode::getNextSibling() const { return AsOrNull<TUcTreeNode>(TTreeNode::getNextSibling()); }
TUcTreeNode* TUcTreeNode::GetNextVisible() const { return AsOrNull<TUcTreeNode>(TTreeNode::GetNextVisible()); }
TUcTreeNode* TUcTreeNode::GetPrev() const { return AsOrNull<TUcTreeNode>(TTreeNode::GetPrev()); }
TUcTreeNode* TUcTreeNode::GetPrevChild(TTreeNode* value) const {
  return AsOrNull<TUcTreeNode>(TTreeNode::GetPrevChild(value));
}
TUcTreeNode* TUcTreeNode::getPrevSibling() const { return AsOrNull<TUcTreeNode>(TTreeNode::getPrevSibling()); }
TUcTreeNode* TUcTreeNode::GetPrevVisible() const { return AsOrNull<TUcTreeNode>(TTreeNode::GetPrevVisible()); }
TUcTreeNode* TUcTreeNode::Parent() const { return AsOrNull<TUcTreeNode>(TTreeNode::Parent()); }
TUcTreeNode* TUcTreeNode::Item(int index) const { return AsOrNull<TUcTreeNode>(TTreeNode::Item(index)); }
void TUcTreeNode::SetItem(int index, TUcTreeNode* value) { Item(index)->Assign(value); }

TUcTreeNodes* TUcTreeNode::Owner() const { return AsOrNull<TUcTreeNodes>(TTreeNode::Owner()); }

TUcCustomTreeView* TUcTreeNode::TreeView() const { return AsOrNull<TUcCustomTreeView>(TTreeNode::TreeView()); }

// ===========================================================================
// TUcTreeNodes

TUcTreeNode* TUcTreeNodes::Add(TTreeNode* sibling, const WideString& s) {
  return AddNode(nullptr, sibling, s, nullptr, naAdd);
}
TUcTreeNode* TUcTreeNodes::AddObject(TTreeNode* sibling, const WideString& s, void* ptr) {
  return AddNode(nullptr, sibling, s, ptr, naAdd);
}
TUcTreeNode* TUcTreeNodes::AddFirst(TTreeNode* sibling, const WideString& s) {
  return AddNode(nullptr, sibling, s, nullptr, naAddFirst);
}
TUcTreeNode* TUcTreeNodes::AddObjectFirst(TTreeNode* sibling, const WideString& s, void* ptr) {
  return AddNode(nullptr, sibling, s, ptr, naAddFirst);
}
TUcTreeNode* TUcTreeNodes::AddChild(TTreeNode* parent, const WideString& s) {
  return AddNode(nullptr, parent, s, nullptr, naAddChild);
}
TUcTreeNode* TUcTreeNodes::AddChildObject(TTreeNode* parent, const WideString& s, void* ptr) {
  return AddNode(nullptr, parent, s, ptr, naAddChild);
}
TUcTreeNode* TUcTreeNodes::AddChildFirst(TTreeNode* parent, const WideString& s) {
  return AddNode(nullptr, parent, s, nullptr, naAddChildFirst);
}
TUcTreeNode* TUcTreeNodes::AddChildObjectFirst(TTreeNode* parent, const WideString& s, void* ptr) {
  return AddNode(nullptr, parent, s, ptr, naAddChildFirst);
}
TUcTreeNode* TUcTreeNodes::Insert(TTreeNode* sibling, const WideString& s) {
  return AddNode(nullptr, sibling, s, nullptr, naInsert);
}
TUcTreeNode* TUcTreeNodes::InsertObject(TTreeNode* sibling, const WideString& s, void* ptr) {
  return AddNode(nullptr, sibling, s, ptr, naInsert);
}
TUcTreeNode* TUcTreeNodes::InsertNode(TTreeNode* node, TTreeNode* sibling, const WideString& s, void* ptr) {
  return AddNode(node, sibling, s, ptr, naInsert);
}

TUcTreeNode* TUcTreeNodes::AddNode(TTreeNode* node, TTreeNode* relative, const WideString& s, void* ptr,
                                   TNodeAttachMode method) {
  bool created = node == nullptr;
  if (created) node = Owner()->CreateNode();
  TUcTreeNode* ucNode;
  try {
    ucNode = node->As<TUcTreeNode>();
    ucNode->FText = s;
    TTreeNodes::AddNode(node, relative, WideToAnsi(s), ptr, method);
  } catch (...) {
    if (created) delete node;
    throw;
  }
  return ucNode;
}

TUcTreeNode* TUcTreeNodes::GetFirstNode() const { return AsOrNull<TUcTreeNode>(TTreeNodes::GetFirstNode()); }
TUcTreeNode* TUcTreeNodes::GetNode(HTREEITEM itemId) { return AsOrNull<TUcTreeNode>(TTreeNodes::GetNode(itemId)); }
TUcTreeNode* TUcTreeNodes::GetNodeFromIndex(int index) {
  return AsOrNull<TUcTreeNode>(TTreeNodes::GetNodeFromIndex(index));
}

TUcCustomTreeView* TUcTreeNodes::Owner() const { return AsOrNull<TUcCustomTreeView>(TTreeNodes::Owner()); }

void TUcTreeNodes::Assign(TPersistent* source) {
  ClearCache();
  if (source && source->Is<TUcTreeNodes>()) {
    if (source == this) return;
    Clear();
    TUcMemoryStream stream;
    static_cast<TUcTreeNodes*>(source)->WriteData(&stream);
    stream.SetPosition(0);
    ReadData(&stream);
    return;
  }
  TTreeNodes::Assign(source);
}

bool TUcTreeNodes::DataDiffers(TPersistent* ancestor) {
  if (!ancestor || !ancestor->Is<TTreeNodes>()) return Count() > 0;
  auto* other = static_cast<TTreeNodes*>(ancestor);
  if (other->Count() != Count()) return true;
  for (int i = 0; i < Count(); ++i)
    if (!Item(i)->IsEqual(other->Item(i))) return true;
  return false;
}

void TUcTreeNodes::DefineProperties(TFiler* filer) {
  TTreeNodes::DefineProperties(filer);
  filer->DefineBinaryProperty("Utf8Data", MakeEvent<&TUcTreeNodes::ReadData>(this),
                              MakeEvent<&TUcTreeNodes::WriteData>(this), DataDiffers(filer->Ancestor()));
}

void TUcTreeNodes::ReadData(TStream* stream) {
  ClearCache();
  Clear();
  SetReading(true);
  bool update = Owner() && Owner()->HandleAllocated();
  if (update) BeginUpdate();
  try {
    const int32_t count = ReadTreeNodeCount(stream);
    for (int32_t i = 0; i < count; ++i) ReadNodeData(stream, nullptr);
  } catch (...) {
    SetReading(false);
    if (update) EndUpdate();
    throw;
  }
  SetReading(false);
  if (update) EndUpdate();
}

void TUcTreeNodes::ReadNodeData(TStream* stream, TTreeNode* parent) {
  TTreeNodeRecord rec{};
  const AnsiString bytes = ReadTreeNodeRecord(stream, rec);
  WideString text;
  if (bytes.Length() >= 3 && std::memcmp(bytes.c_str(), Utf8Mark, 3) == 0)
    text = UTF8ToWideString(bytes.SubString(4, bytes.Length() - 3));
  else
    text = AnsiToWide(bytes);
  TUcTreeNode* node = AddChild(parent, text);
  node->SetImageIndex(rec.ImageIndex);
  node->SetSelectedIndex(rec.SelectedIndex);
  node->SetStateIndex(rec.StateIndex);
  node->SetOverlayIndex(rec.OverlayIndex);
  node->SetData(reinterpret_cast<void*>(static_cast<uintptr_t>(rec.Data)));
  if (TUcCustomTreeView* view = Owner()) view->Added(node);
  for (int32_t i = 0; i < rec.Count; ++i) ReadNodeData(stream, node);
}

void TUcTreeNodes::WriteData(TStream* stream) {
  int32_t count = 0;
  for (TTreeNode* n = TTreeNodes::GetFirstNode(); n; n = n->getNextSibling()) ++count;
  stream->WriteBuffer(&count, sizeof count);
  for (TUcTreeNode* n = GetFirstNode(); n; n = n->getNextSibling()) WriteNodeData(stream, n);
}

void TUcTreeNodes::WriteNodeData(TStream* stream, TUcTreeNode* node) {
  // The length byte holds at most 255 bytes: mark and UTF-8 text are cut at
  // whole characters to fit.
  AnsiString text = AnsiString(Utf8Mark) + WideStringToUTF8(CutToUtf8Bytes(node->Text(), 255 - 3));
  WriteTreeNodeRecord(stream, node, text.c_str(), text.Length());
  for (TUcTreeNode* c = node->getFirstChild(); c; c = c->getNextSibling()) WriteNodeData(stream, c);
}

// ===========================================================================
// TUcCustomTreeView

CL_BEGIN_MESSAGE_MAP(TUcCustomTreeView, _UcInternalCustomTreeView)
  CL_MESSAGE(CN_NOTIFY, CNNotify)
  CL_MESSAGE(WM_NOTIFY, WMNotify)
CL_END_MESSAGE_MAP

TUcCustomTreeView::TUcCustomTreeView(TComponent* owner) : _UcInternalCustomTreeView(owner) {
  FEditInstance = MakeObjectInstance(MakeEvent<&TUcCustomTreeView::EditWndProcW>(this));
}

TUcCustomTreeView::~TUcCustomTreeView() {
  Destroying();
  // The window goes while this class's handlers still exist.
  if (HandleAllocated()) DestroyHandle();
  FreeObjectInstance(FEditInstance);
  FEditInstance = nullptr;
}

TUcTreeNodes* TUcCustomTreeView::Items() { return TCustomTreeView::Items()->As<TUcTreeNodes>(); }
TUcTreeNode* TUcCustomTreeView::Selected() { return AsOrNull<TUcTreeNode>(TCustomTreeView::Selected()); }
TUcTreeNode* TUcCustomTreeView::DropTarget() { return AsOrNull<TUcTreeNode>(TCustomTreeView::DropTarget()); }
TUcTreeNode* TUcCustomTreeView::TopItem() { return AsOrNull<TUcTreeNode>(TCustomTreeView::TopItem()); }
TUcTreeNode* TUcCustomTreeView::GetNodeAt(int x, int y) {
  return AsOrNull<TUcTreeNode>(TCustomTreeView::GetNodeAt(x, y));
}

TUcTreeNode* TUcCustomTreeView::GetNodeFromItem(const TVITEMW& item) {
  if (!FTreeNodes) return nullptr;
  if (item.mask & TVIF_PARAM) return AsOrNull<TUcTreeNode>(reinterpret_cast<TTreeNode*>(item.lParam));
  return Items()->GetNode(item.hItem);
}

TTreeNode* TUcCustomTreeView::CreateNode() {
  const TMetaClass* cls = &TUcTreeNode::Class;
  if (OnCreateNodeClass) OnCreateNodeClass(this, cls);
  if (!cls || !cls->InheritsFrom(&TUcTreeNode::Class))
    throw EUcInternalError("Internal Error: OnCreateNodeClass.ItemClass must inherit from TUcTreeNode.");
  return CreateTreeNodeOf(cls, TCustomTreeView::Items());
}

TTreeNodes* TUcCustomTreeView::CreateNodes() { return new TUcTreeNodes(this); }

TUcTreeNode* TUcCustomTreeView::Wide_FindNextToSelect() {
  return AsOrNull<TUcTreeNode>(TCustomTreeView::FindNextToSelect());
}

void TUcCustomTreeView::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle_ComCtl(this, params, WC_TREEVIEWW);
  if (Win32PlatformIsUnicode && !UcTreeViewCompareProc && HandleAllocated()) {
    // The class library's sort sends its compare callback through the window:
    // WndProc catches the message and keeps the address.
    TScopedValue<bool> probing(FTestingForSortProc, true);
    AlphaSort(true);
  }
}

void TUcCustomTreeView::CreateWnd() {
  TCustomTreeView::CreateWnd();
  if (FSortTypeSaved) {
    FSortTypeSaved = false;
    // Directly: the nodes came back in their order, no sort is needed.
    FSortType = FSavedSortType;
  }
}

void TUcCustomTreeView::DestroyWnd() {
  // The node objects keep their wide texts through the new window (each node
  // its own, whatever order the new window asks them in); only the sorting
  // rests meanwhile.
  if (!(ComponentState() & csDestroying)) {
    FSavedSortType = FSortType;
    FSortTypeSaved = true;
    FSortType = stNone;
  }
  TCustomTreeView::DestroyWnd();
}

int CALLBACK TUcCustomTreeView::WideTreeViewSort(LPARAM node1, LPARAM node2, LPARAM data) {
  return CompareWideParams<TTreeNode>(node1, node2, data, &WideNodeText);
}

void TUcCustomTreeView::WndProc(TMessage& message) {
  if (message.Msg == TVM_SORTCHILDRENCB) {
    auto* cb = reinterpret_cast<TVSORTCB*>(message.LParam);
    if (FTestingForSortProc) {
      if (cb) UcTreeViewCompareProc = cb->lpfnCompare;
      message.Result = 0;
      return;
    }
    if (Win32PlatformIsUnicode && cb && UcTreeViewCompareProc && cb->lpfnCompare == UcTreeViewCompareProc) {
      TVSORTCB wide = *cb;
      wide.lpfnCompare = &WideTreeViewSort;
      message.Result = SendMessageW(WindowHandle(), TVM_SORTCHILDRENCB, message.WParam, reinterpret_cast<LPARAM>(&wide));
      return;
    }
  }
  _UcInternalCustomTreeView::WndProc(message);
}

void TUcCustomTreeView::Edit(const TVITEMW& item) {
  TUcTreeNode* node = GetNodeFromItem(item);
  if (item.pszText) {
    WideString s = EditedText(item.pszText);
    FireOnEdited<TCustomTreeView>(this, node, s);
    if (node) node->SetText(s);
  } else if (OnCancelEdit) {
    OnCancelEdit(this, node);
  }
}

void TUcCustomTreeView::CNNotify(TMessage& m) {
  const TMsgMap* inherited = &_UcInternalCustomTreeView::MessageMap;
  NMHDR* hdr = WideNotification(this, inherited, m);
  if (!hdr) return;
  auto asAnsi = [&](UINT ansiCode) { InheritedAsAnsi(this, inherited, m, hdr, ansiCode); };
  switch (hdr->code) {
    case TVN_ENDLABELEDITW:
      Edit(reinterpret_cast<NMTVDISPINFOW*>(hdr)->item);
      m.Result = 0;
      break;
    case TVN_BEGINLABELEDITW: {
      TUcTreeNode* node = GetNodeFromItem(reinterpret_cast<NMTVDISPINFOW*>(hdr)->item);
      if (!node || !CanEdit(node)) {
        m.Result = 1;
        break;
      }
      SubclassEditWindow(WindowHandle(), TVM_GETEDITCONTROL, FEditInstance, FEditHandle, FDefEditProc);
      m.Result = 0;
      break;
    }
    case TVN_DELETEITEMW:
      asAnsi(TVN_DELETEITEMA);
      break;
    case TVN_BEGINDRAGW:
      asAnsi(TVN_BEGINDRAGA);
      break;
    case TVN_ITEMEXPANDEDW:
      asAnsi(TVN_ITEMEXPANDEDA);
      break;
    case TVN_ITEMEXPANDINGW:
      asAnsi(TVN_ITEMEXPANDINGA);
      break;
    case TVN_SETDISPINFOW: {
      auto* di = reinterpret_cast<NMTVDISPINFOW*>(hdr);
      TUcTreeNode* node = GetNodeFromItem(di->item);
      if (node && (di->item.mask & TVIF_TEXT) && di->item.pszText) node->SetText(WideString(di->item.pszText));
      break;
    }
    case TVN_GETDISPINFOW: {
      auto* di = reinterpret_cast<NMTVDISPINFOW*>(hdr);
      TUcTreeNode* node = GetNodeFromItem(di->item);
      if (!node) break;
      if ((di->item.mask & TVIF_TEXT) && di->item.pszText && di->item.cchTextMax > 0)
        WStrLCopy(di->item.pszText, node->Text().c_str(), static_cast<unsigned>(di->item.cchTextMax - 1));
      if (di->item.mask & TVIF_IMAGE) {
        GetImageIndex(node);
        di->item.iImage = node->ImageIndex();
      }
      if (di->item.mask & TVIF_SELECTEDIMAGE) {
        GetSelectedIndex(node);
        di->item.iSelectedImage = node->SelectedIndex();
      }
      break;
    }
    default:
      InheritedMsg(&_UcInternalCustomTreeView::MessageMap, m);
      break;
  }
}

void TUcCustomTreeView::WMNotify(TMessage& m) {
  NMHDR* hdr = NotifyHdr(m);
  if (!hdr || hdr->code != TTN_NEEDTEXTW) {
    InheritedMsg(&_UcInternalCustomTreeView::MessageMap, m);
    return;
  }
  auto* tt = reinterpret_cast<NMTTDISPINFOW*>(hdr);
  POINT pt{};
  GetCursorPos(&pt);
  ::ScreenToClient(WindowHandle(), &pt);
  TUcTreeNode* node = GetNodeAt(pt.x, pt.y);
  if (!node) return;
  WideString text = node->Text();
  if (text.IsEmpty() || !(tt->uFlags & TTF_IDISHWND)) return;
  DWORD version = ComCtlVersionOverride ? ComCtlVersionOverride : ComCtlVersion();
  // Before 4.71 the tool tip copied at most 80 characters itself; a longer
  // text goes into the request's own buffer, cut.
  if (version < 0x00040047 && text.Length() >= 80) {
    WStrLCopy(tt->szText, text.c_str(), 79);
    tt->lpszText = tt->szText;
    tt->hinst = nullptr;
    SetWindowPos(hdr->hwndFrom, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOACTIVATE | SWP_NOSIZE | SWP_NOMOVE | SWP_NOOWNERZORDER);
    m.Result = 1;
    return;
  }
  DefaultHandler(m);
}

void TUcCustomTreeView::EditWndProcW(TMessage& message) {
  EditWindowProc(this, FEditHandle, FDefEditProc, message);
}

UC_STANDARD_OVERRIDES_BODY(TUcCustomTreeView, _UcInternalCustomTreeView)

void TUcCustomTreeView::LoadFromFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TUcCustomTreeView::SaveToFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

void TUcCustomTreeView::SaveToStream(TStream* stream) {
  TUcStringList lines;
  for (TUcTreeNode* n = Items()->GetFirstNode(); n; n = n->GetNext())
    lines.Add(WideString(std::wstring(static_cast<size_t>(n->Level()), L'\t')) + n->Text());
  lines.SaveToStream(stream);
}

void TUcCustomTreeView::LoadFromStream(TStream* stream) {
  TUcStringList lines;
  lines.LoadFromStream(stream);
  TUcTreeNodes* nodes = Items();
  nodes->BeginUpdate();
  try {
    nodes->Clear();
    TUcTreeNode* prev = nullptr;
    for (int i = 0; i < lines.Count(); ++i) {
      WideString line = lines[i];
      int level = 0;
      while (level < line.Length() && (line[level + 1] == L'\t' || line[level + 1] == L' ')) ++level;
      WideString text = line.SubString(level + 1, line.Length() - level);
      TUcTreeNode* parent;
      if (!prev) {
        parent = nullptr;
      } else if (level == prev->Level()) {
        parent = prev->Parent();
      } else if (level == prev->Level() + 1) {
        parent = prev;
      } else if (level > prev->Level() + 1) {
        throw ETreeViewError(WideToAnsi(Uc_WideFormat(L"Invalid level (%d) for item \"%s\"", {level, text})));
      } else {
        parent = prev->Parent();
        while (parent && parent->Level() > level) parent = parent->Parent();
        if (parent) parent = parent->Parent();
      }
      prev = nodes->AddChild(parent, text);
    }
  } catch (...) {
    nodes->EndUpdate();
    throw;
  }
  nodes->EndUpdate();
}

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

void UnitInit_UcComCtrls() {
  RegisterTreeNodeClass(&TUcTreeNode::Class, &NewTreeNode<TUcTreeNode>);
  RegisterListItemClass(&TUcListItem::Class, &NewListItem<TUcListItem>);
  RegisterClasses({&TUcTreeView::Class, &TUcListView::Class});
  RegisterProperty(&TUcCustomTreeView::Class, "Hint", pkWideString, &TUcCustomTreeView::SetHint,
                   &TUcCustomTreeView::Hint, TPropDefault(), &TUcCustomTreeView::IsHintStored);
  RegisterProperty(&TUcCustomListView::Class, "Hint", pkWideString, &TUcCustomListView::SetHint,
                   &TUcCustomListView::Hint, TPropDefault(), &TUcCustomListView::IsHintStored);
  RegisterProperty(&TUcListColumn::Class, "Caption", pkWideString, &TUcListColumn::SetCaption,
                   &TUcListColumn::GetCaption);
}

void UnitFini_UcComCtrls() {
  UcTreeViewCompareProc = nullptr;
  UcListViewCompareProc = nullptr;
  CachedComCtlVersion = 0xFFFFFFFF;
}
