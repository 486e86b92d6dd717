#include "UcTreeView.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcComCtrls.h"
#include "UcComponentProps.h"
#include "UcItemViewsShared.h"
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

PFNTVCOMPARE UcTreeViewCompareProc = nullptr;
DWORD TUcCustomTreeView::ComCtlVersionOverride = 0;

namespace {

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

}  // namespace

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
    ReadTreeNodeRecords(stream, [this](TTreeNode* parent, const TTreeNodeRecord& rec, const AnsiString& bytes) {
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
      return node;
    });
  } catch (...) {
    SetReading(false);
    if (update) EndUpdate();
    throw;
  }
  SetReading(false);
  if (update) EndUpdate();
}

void TUcTreeNodes::WriteData(TStream* stream) {
  // The length byte holds at most 255 bytes: mark and UTF-8 text are cut at
  // whole characters to fit.
  WriteTreeNodeRecords(stream, TTreeNodes::GetFirstNode(), [](TTreeNode* node) {
    return AnsiString(Utf8Mark) + WideStringToUTF8(CutToUtf8Bytes(WideNodeText(node), 255 - 3));
  });
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
// Unit

void UnitInit_UcTreeView() {
  RegisterTreeNodeClass(&TUcTreeNode::Class, &NewTreeNode<TUcTreeNode>);
  RegisterClasses({&TUcTreeView::Class});
  RegisterProperty(&TUcCustomTreeView::Class, "Hint", pkWideString, &TUcCustomTreeView::SetHint,
                   &TUcCustomTreeView::Hint, TPropDefault(), &TUcCustomTreeView::IsHintStored);
}

void UnitFini_UcTreeView() {
  UcTreeViewCompareProc = nullptr;
  CachedComCtlVersion = 0xFFFFFFFF;
}
