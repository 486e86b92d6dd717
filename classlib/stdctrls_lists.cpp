#include "stdctrls_lists.h"

#include "filer.h"
#include "forms.h"
#include "thunk.h"

#include <vector>

CL_DEFINE_CLASS(TComboBoxStrings, TStrings)
CL_DEFINE_COMPONENT(TCustomComboBox, TWinControl)
CL_DEFINE_COMPONENT(TComboBox, TCustomComboBox)
CL_DEFINE_CLASS(TListBoxStrings, TStrings)
CL_DEFINE_COMPONENT(TCustomListBox, TWinControl)
CL_DEFINE_COMPONENT(TListBox, TCustomListBox)

DWORD (*ComboTickCount)() = [] { return GetTickCount(); };

namespace {

// CN_DRAWITEM of a combo or list box: the canvas on the item's device
// context in the control's font and colour (the highlight colours for a
// selected item), draw(index, rect, state), the focus rectangle last.
template <class Draw>
void PaintOwnerDrawnItem(TWinControl* control, TControlCanvas* canvas, TMessage& m, Draw&& draw) {
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
  TOwnerDrawState state = static_cast<TOwnerDrawState>(dis->itemState & 0xFFFF);
  TRect rect(dis->rcItem);
  int index = static_cast<int>(dis->itemID);
  canvas->PaintOnDC(dis->hDC, [&] {
    canvas->Font()->Assign(control->Font());
    canvas->Brush()->Assign(control->Brush());
    if (index >= 0 && (dis->itemState & ODS_SELECTED)) {
      canvas->Brush()->SetColor(clHighlight);
      canvas->Font()->SetColor(clHighlightText);
    }
    draw(index, rect, state);
    if (dis->itemState & ODS_FOCUS) DrawFocusRect(dis->hDC, &dis->rcItem);
  });
  m.Result = 1;
}

// CN_MEASUREITEM: the fixed item height, or what measure makes of it for the
// variable styles.
template <class Measure>
void MeasureOwnerDrawnItem(TMessage& m, int itemHeight, bool variable, Measure&& measure) {
  auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
  int height = itemHeight;
  if (variable) measure(static_cast<int>(mis->itemID), height);
  mis->itemHeight = height;
  m.Result = 1;
}

}  // namespace

// ===========================================================================
// TCustomComboBox

CL_BEGIN_MESSAGE_MAP(TCustomComboBox, TWinControl)
  CL_MESSAGE(CN_COMMAND, CNCommand)
  CL_MESSAGE(CN_DRAWITEM, CNDrawItem)
  CL_MESSAGE(CN_MEASUREITEM, CNMeasureItem)
CL_END_MESSAGE_MAP

TCustomComboBox::TCustomComboBox(TComponent* owner) : TWinControl(owner) {
  FControlStyle = csSetCaption | csDoubleClicks | csFixedHeight;
  SetBounds(0, 0, 145, 25);
  FTabStop = true;
  FParentColor = false;
  FColor = clWindow;
  FBrush->SetColor(clWindow);
  FItems = new TComboBoxStrings(this);
  FCanvas = new TControlCanvas;
  FCanvas->SetControl(this);
  FEditInstance = MakeObjectInstance(MakeEvent<&TCustomComboBox::EditWndProc>(this));
  FListInstance = MakeObjectInstance(MakeEvent<&TCustomComboBox::ListWndProc>(this));
}

TCustomComboBox::~TCustomComboBox() {
  if (HandleAllocated()) {
    ReleaseChildren();
    DestroyWindowHandle();
  }
  FreeObjectInstance(FListInstance);
  FreeObjectInstance(FEditInstance);
  delete FCanvas;
  delete FItems;
  delete FSaveItems;
}

void TCustomComboBox::CreateParams(TCreateParams& params) {
  static constexpr DWORD styles[] = {CBS_DROPDOWN, CBS_SIMPLE, CBS_DROPDOWNLIST, CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED,
                                     CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE};
  TWinControl::CreateParams(params);
  CreateSubClass(params, "COMBOBOX");
  params.Style |= WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL | styles[FStyle];
  if (FSorted) params.Style |= CBS_SORT;
  if (FStyle == csSimple) params.Style &= ~WS_VSCROLL;
}

void TCustomComboBox::CreateWnd() {
  TWinControl::CreateWnd();
  HWND h = WindowHandle();
  SendMessageA(h, CB_LIMITTEXT, FMaxLength, 0);
  FEditHandle = nullptr;
  FListHandle = nullptr;
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  if (GetComboBoxInfo(h, &info)) {
    // The list of csSimple is a child of the combo box (the drop-down list of
    // the other styles is a window of the desktop).
    if (FStyle == csSimple && info.hwndList) {
      FListHandle = info.hwndList;
      FDefListProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(FListHandle, GWLP_WNDPROC));
      SetWindowLongPtrA(FListHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FListInstance));
    }
    if (FStyle < csDropDownList && info.hwndItem && info.hwndItem != h) {
      FEditHandle = info.hwndItem;
      FDefEditProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(FEditHandle, GWLP_WNDPROC));
      SetWindowLongPtrA(FEditHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FEditInstance));
    }
  }
  if (FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable) SendMessageA(h, CB_SETITEMHEIGHT, 0, FItemHeight);
  if (FSaveItems) {
    FItems->Assign(FSaveItems);
    delete FSaveItems;
    FSaveItems = nullptr;
    if (FSaveIndex >= FItems->GetCount()) FSaveIndex = -1;
    if (FSaveIndex >= 0) SendMessageA(h, CB_SETCURSEL, FSaveIndex, 0);
    FSaveIndex = -1;
  }
}

void TCustomComboBox::DestroyWnd() {
  if (FItems->GetCount() > 0) {
    FSaveIndex = GetItemIndex();
    delete FSaveItems;
    FSaveItems = new TStringList;
    FSaveItems->Assign(FItems);
  }
  ReleaseChildren();
  TWinControl::DestroyWnd();
}

void TCustomComboBox::ReleaseChildren() {
  // The children go with the window; their procedures are given back first
  // so that nothing calls the thunks after the window is gone.
  // A child subclassed with the wide call got its previous procedure the
  // wide way too, and takes it back the same way.
  auto giveBack = [](HWND child, WNDPROC proc) {
    if (!child || !IsWindow(child)) return;
    if (IsWindowUnicode(child))
      SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    else
      SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  };
  giveBack(FEditHandle, FDefEditProc);
  giveBack(FListHandle, FDefListProc);
  FEditHandle = FListHandle = nullptr;
}

TStringList* TCustomComboBox::PendingItems() {
  if (HandleAllocated() || Parent() || ParentWindow()) return nullptr;
  if (!FSaveItems) FSaveItems = new TStringList;
  return FSaveItems;
}

void TCustomComboBox::SetStyle(TComboBoxStyle v) {
  if (v == FStyle) return;
  FStyle = v;
  RecreateWnd();
}

int TCustomComboBox::GetItemIndex() {
  if (!HandleAllocated()) return FSaveItems ? FSaveIndex : -1;
  return static_cast<int>(SendMessageA(WindowHandle(), CB_GETCURSEL, 0, 0));
}

void TCustomComboBox::SetItemIndex(int v) {
  if (PendingItems()) {
    FSaveIndex = v;
    return;
  }
  if (GetItemIndex() == v) return;
  SendMessageA(Handle(), CB_SETCURSEL, v, 0);
}

bool TCustomComboBox::DroppedDown() {
  return HandleAllocated() && SendMessageA(WindowHandle(), CB_GETDROPPEDSTATE, 0, 0) != 0;
}

void TCustomComboBox::SetDroppedDown(bool v) { SendMessageA(Handle(), CB_SHOWDROPDOWN, v ? 1 : 0, 0); }

void TCustomComboBox::SetItemHeight(int v) {
  if (v <= 0) return;
  FItemHeight = v;
  if (HandleAllocated() && FStyle >= csOwnerDrawFixed) SendMessageA(WindowHandle(), CB_SETITEMHEIGHT, 0, v);
}

void TCustomComboBox::SetMaxLength(int v) {
  if (v < 0) v = 0;
  FMaxLength = v;
  if (HandleAllocated()) SendMessageA(WindowHandle(), CB_LIMITTEXT, v, 0);
}

void TCustomComboBox::SetSorted(bool v) {
  if (v == FSorted) return;
  FSorted = v;
  RecreateWnd();
}

int TCustomComboBox::GetSelStart() {
  DWORD start = 0;
  SendMessageA(Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), 0);
  return static_cast<int>(start);
}

void TCustomComboBox::SetSelStart(int v) { SendMessageA(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(v, v)); }

int TCustomComboBox::GetSelLength() {
  DWORD start = 0, end = 0;
  SendMessageA(Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end - start);
}

void TCustomComboBox::SetSelLength(int v) {
  DWORD start = 0, end = 0;
  SendMessageA(Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  SendMessageA(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(start, start + v));
}

AnsiString TCustomComboBox::GetSelText() {
  if (FStyle >= csDropDownList) return AnsiString();
  return TControl::Text().SubString(GetSelStart() + 1, GetSelLength());
}

void TCustomComboBox::SetSelText(const AnsiString& v) {
  if (FStyle >= csDropDownList || !FEditHandle) return;
  SendMessageA(FEditHandle, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(v.c_str()));
}

void TCustomComboBox::SelectAll() { SendMessageA(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(0, 0xFFFF)); }

void TCustomComboBox::AddItem(const AnsiString& item, TObject* object) { FItems->AddObject(item, object); }

void TCustomComboBox::Clear() {
  SetText("");
  FItems->Clear();
}

void TCustomComboBox::CopySelection(TStrings* destination) {
  int index = GetItemIndex();
  if (index >= 0) destination->AddObject(FItems->Get(index), FItems->GetObject(index));
}

int TCustomComboBox::FindString(int start, const AnsiString& text) {
  return static_cast<int>(SendMessageA(Handle(), CB_FINDSTRING, start, reinterpret_cast<LPARAM>(text.c_str())));
}

void TCustomComboBox::Click() { TWinControl::Click(); }

void TCustomComboBox::Select() {
  if (OnSelect)
    OnSelect(this);
  else
    Change();
}

void TCustomComboBox::Change() {
  TControl::Changed();
  if (OnChange) OnChange(this);
}

void TCustomComboBox::DropDown() {
  if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  FCanvas->FillRect(rect);
  if (index >= 0) FCanvas->TextOut(rect.left + 2, rect.top, FItems->Get(index));
}

void TCustomComboBox::MeasureItem(int index, int& height) {
  if (OnMeasureItem) OnMeasureItem(this, index, height);
}

TComboAutoCompleteOps<AnsiString> TCustomComboBox::AnsiAutoCompleteOps() {
  TComboAutoCompleteOps<AnsiString> ops;
  ops.FindString = [this](int start, const AnsiString& text) { return FindString(start, text); };
  ops.Item = [this](int index) { return FItems->Get(index); };
  ops.GetText = [this] { return TControl::Text(); };
  ops.SetText = [this](const AnsiString& text) { TControl::SetText(text); };
  return ops;
}

void TCustomComboBox::KeyPress(char& key) {
  TWinControl::KeyPress(key);
  if (!FAutoComplete || key == 0) return;
  bool consumed = FStyle >= csDropDownList ? ComboTypeAheadChar(this, AnsiAutoCompleteOps(), FFilter, FLastTime, key)
                                           : ComboCompleteChar(this, AnsiAutoCompleteOps(), key, true, false);
  if (consumed) key = 0;
}

LRESULT TCustomComboBox::CallChildProc(WNDPROC proc, HWND child, const TMessage& message) {
  return CallWindowProcA(proc, child, message.Msg, message.WParam, message.LParam);
}

void TCustomComboBox::ComboWndProc(TMessage& message, HWND child, WNDPROC childProc) {
  switch (message.Msg) {
    case WM_SETFOCUS: {
      TCustomForm* form = GetParentForm(this);
      if (form && !form->SetFocusedControl(this)) return;
      break;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (DoKeyDown(message)) return;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (DoKeyUp(message)) return;
      break;
    case WM_CHAR: {
      if (DoKeyPress(message)) return;
      WORD key = static_cast<WORD>(message.WParam);
      if ((key == VK_RETURN || key == VK_ESCAPE) && DroppedDown()) {
        SetDroppedDown(false);
        return;
      }
      break;
    }
    default:
      break;
  }
  message.Result = CallChildProc(childProc, child, message);
}

void TCustomComboBox::EditWndProc(TMessage& message) { ComboWndProc(message, FEditHandle, FDefEditProc); }

void TCustomComboBox::ListWndProc(TMessage& message) { ComboWndProc(message, FListHandle, FDefListProc); }

void TCustomComboBox::CNCommand(TMessage& m) {
  switch (CmdNotify(m)) {
    case CBN_DBLCLK:
      DblClick();
      break;
    case CBN_EDITCHANGE:
      Change();
      break;
    case CBN_DROPDOWN:
      DropDown();
      break;
    case CBN_SELCHANGE: {
      int index = GetItemIndex();
      if (index >= 0) TControl::SetText(FItems->Get(index));
      Click();
      Select();
      break;
    }
    case CBN_CLOSEUP:
      CloseUp();
      break;
    default:
      break;
  }
}

void TCustomComboBox::CNDrawItem(TMessage& m) {
  PaintOwnerDrawnItem(this, FCanvas, m,
                      [this](int index, const TRect& rect, TOwnerDrawState state) { DrawItem(index, rect, state); });
}

void TCustomComboBox::CNMeasureItem(TMessage& m) {
  MeasureOwnerDrawnItem(m, FItemHeight, FStyle == csOwnerDrawVariable,
                        [this](int index, int& height) { MeasureItem(index, height); });
}

// ===========================================================================
// TCustomListBox

CL_BEGIN_MESSAGE_MAP(TCustomListBox, TWinControl)
  CL_MESSAGE(CN_COMMAND, CNCommand)
  CL_MESSAGE(CN_DRAWITEM, CNDrawItem)
  CL_MESSAGE(CN_MEASUREITEM, CNMeasureItem)
CL_END_MESSAGE_MAP

TCustomListBox::TCustomListBox(TComponent* owner) : TWinControl(owner) {
  FControlStyle = csSetCaption | csDoubleClicks | csOpaque;
  SetBounds(0, 0, 121, 97);
  FTabStop = true;
  FParentColor = false;
  FColor = clWindow;
  FBrush->SetColor(clWindow);
  FItems = new TListBoxStrings(this);
  FCanvas = new TControlCanvas;
  FCanvas->SetControl(this);
}

TCustomListBox::~TCustomListBox() {
  if (HandleAllocated()) DestroyWindowHandle();
  delete FCanvas;
  delete FItems;
  delete FSaveItems;
}

void TCustomListBox::CreateParams(TCreateParams& params) {
  static constexpr DWORD styles[] = {0, LBS_OWNERDRAWFIXED, LBS_OWNERDRAWVARIABLE, LBS_OWNERDRAWFIXED,
                                     LBS_OWNERDRAWFIXED};
  TWinControl::CreateParams(params);
  CreateSubClass(params, "LISTBOX");
  params.Style |= WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | styles[FStyle];
  if (IsVirtual())
    params.Style |= LBS_NODATA;
  else
    params.Style |= LBS_HASSTRINGS;
  if (FSorted && !IsVirtual()) params.Style |= LBS_SORT;
  if (FMultiSelect) params.Style |= FExtendedSelect ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListBox::CreateWnd() {
  TWinControl::CreateWnd();
  HWND h = WindowHandle();
  if (FStyle != lbStandard) SendMessageA(h, LB_SETITEMHEIGHT, 0, FItemHeight);
  if (IsVirtual()) SendMessageA(h, LB_SETCOUNT, FCount, 0);
  if (FSaveItems) {
    FItems->Assign(FSaveItems);
    delete FSaveItems;
    FSaveItems = nullptr;
  }
  int count = Count();
  if (FSaveTopIndex > 0 && FSaveTopIndex < count) SendMessageA(h, LB_SETTOPINDEX, FSaveTopIndex, 0);
  if (FSaveItemIndex >= 0 && FSaveItemIndex < count) SetItemIndex(FSaveItemIndex);
  FSaveTopIndex = 0;
  FSaveItemIndex = -1;
}

void TCustomListBox::DestroyWnd() {
  if (IsVirtual()) {
    FCount = Count();
  } else if (FItems->GetCount() > 0) {
    delete FSaveItems;
    FSaveItems = new TStringList;
    FSaveItems->Assign(FItems);
  }
  FSaveTopIndex = TopIndex();
  FSaveItemIndex = ItemIndex();
  TWinControl::DestroyWnd();
}

TStringList* TCustomListBox::PendingItems() {
  if (HandleAllocated() || Parent() || ParentWindow() || IsVirtual()) return nullptr;
  if (!FSaveItems) FSaveItems = new TStringList;
  return FSaveItems;
}

void TCustomListBox::SetStyle(TListBoxStyle v) {
  if (v == FStyle) return;
  bool wasVirtual = IsVirtual();
  if (wasVirtual != (v == lbVirtual || v == lbVirtualOwnerDraw) && HandleAllocated()) {
    // Items of one kind do not become the other: start empty.
    Clear();
  }
  FStyle = v;
  RecreateWnd();
}

int TCustomListBox::GetItemIndex() {
  if (!HandleAllocated()) return FSaveItemIndex;
  if (FMultiSelect) return static_cast<int>(SendMessageA(WindowHandle(), LB_GETCARETINDEX, 0, 0));
  return static_cast<int>(SendMessageA(WindowHandle(), LB_GETCURSEL, 0, 0));
}

void TCustomListBox::SetItemIndex(int v) {
  if (PendingItems()) {
    FSaveItemIndex = v;
    return;
  }
  if (FMultiSelect)
    SendMessageA(Handle(), LB_SETCARETINDEX, v, 0);
  else
    SendMessageA(Handle(), LB_SETCURSEL, v, 0);
}

int TCustomListBox::TopIndex() {
  if (!HandleAllocated()) return FSaveTopIndex;
  return static_cast<int>(SendMessageA(WindowHandle(), LB_GETTOPINDEX, 0, 0));
}

void TCustomListBox::SetTopIndex(int v) {
  if (TopIndex() != v) SendMessageA(Handle(), LB_SETTOPINDEX, v, 0);
}

int TCustomListBox::Count() {
  if (TStringList* pending = PendingItems()) return pending->Count();
  if (!HandleAllocated() && IsVirtual()) return FCount;
  return static_cast<int>(SendMessageA(Handle(), LB_GETCOUNT, 0, 0));
}

void TCustomListBox::SetCount(int v) {
  if (!IsVirtual()) throw EInvalidOperation("Operation not allowed on a list box that is not virtual");
  FCount = v;
  if (HandleAllocated()) SendMessageA(WindowHandle(), LB_SETCOUNT, v, 0);
}

void TCustomListBox::SetMultiSelect(bool v) {
  if (v == FMultiSelect) return;
  FMultiSelect = v;
  RecreateWnd();
}

void TCustomListBox::SetExtendedSelect(bool v) {
  if (v == FExtendedSelect) return;
  FExtendedSelect = v;
  RecreateWnd();
}

void TCustomListBox::SetSorted(bool v) {
  if (v == FSorted) return;
  FSorted = v;
  RecreateWnd();
}

void TCustomListBox::SetItemHeight(int v) {
  if (v <= 0) return;
  FItemHeight = v;
  if (HandleAllocated() && FStyle != lbStandard) RecreateWnd();
}

bool TCustomListBox::Selected(int index) {
  LRESULT r = SendMessageA(Handle(), LB_GETSEL, index, 0);
  if (r == LB_ERR) TStrings::Error(SListIndexError, index);
  return r != 0;
}

void TCustomListBox::SetSelected(int index, bool v) {
  if (FMultiSelect) {
    if (SendMessageA(Handle(), LB_SETSEL, v ? 1 : 0, index) == LB_ERR) TStrings::Error(SListIndexError, index);
  } else if (v) {
    if (SendMessageA(Handle(), LB_SETCURSEL, index, 0) == LB_ERR) TStrings::Error(SListIndexError, index);
  } else if (ItemIndex() == index) {
    SendMessageA(Handle(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  }
}

int TCustomListBox::SelCount() {
  if (!FMultiSelect) return -1;
  return static_cast<int>(SendMessageA(Handle(), LB_GETSELCOUNT, 0, 0));
}

void TCustomListBox::AddItem(const AnsiString& item, TObject* object) { FItems->AddObject(item, object); }

void TCustomListBox::Clear() { FItems->Clear(); }

void TCustomListBox::CopySelection(TStrings* destination) {
  auto copyOne = [&](int i) {
    AnsiString s = FItems->Get(i);
    destination->AddObject(s, FItems->GetObject(i));
  };
  if (FMultiSelect) {
    for (int i = 0, n = FItems->GetCount(); i < n; ++i)
      if (Selected(i)) copyOne(i);
  } else if (ItemIndex() >= 0) {
    copyOne(ItemIndex());
  }
}

int TCustomListBox::ItemAtPos(const TPoint& pos, bool existing) {
  int count = Count();
  for (int i = TopIndex(); i < count; ++i) {
    TRect r = ItemRect(i);
    if (r.top > Height()) break;
    if (pos.y >= r.top && pos.y < r.bottom) return i;
  }
  return existing ? -1 : count;
}

TRect TCustomListBox::ItemRect(int index) {
  RECT r{};
  int count = Count();
  if (index == 0 || index < count) {
    SendMessageA(Handle(), LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
  } else if (index == count) {
    SendMessageA(Handle(), LB_GETITEMRECT, index - 1, reinterpret_cast<LPARAM>(&r));
    OffsetRect(&r, 0, r.bottom - r.top);
  }
  return TRect(r);
}

void TCustomListBox::DeleteString(int index) {
  if (TStringList* pending = PendingItems()) {
    pending->Delete(index);
    return;
  }
  SendMessageA(Handle(), LB_DELETESTRING, index, 0);
}

void TCustomListBox::ResetContent() {
  if (TStringList* pending = PendingItems()) {
    pending->Clear();
    return;
  }
  if (IsVirtual()) {
    FCount = 0;
    if (HandleAllocated()) SendMessageA(WindowHandle(), LB_SETCOUNT, 0, 0);
    return;
  }
  SendMessageA(Handle(), LB_RESETCONTENT, 0, 0);
}

AnsiString TCustomListBox::DoGetData(int index) {
  AnsiString data;
  if (OnData) OnData(this, index, data);
  return data;
}

void TCustomListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  FCanvas->FillRect(rect);
  if (index >= 0 && index < Count()) {
    RECT r = rect;
    r.left += 2;
    AnsiString text = FItems->Get(index);
    DrawTextA(FCanvas->Handle(), text.c_str(), text.Length(), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
}

void TCustomListBox::MeasureItem(int index, int& height) {
  if (OnMeasureItem) OnMeasureItem(this, index, height);
}

void TCustomListBox::WndProc(TMessage& message) {
  if (IsVirtual() && (message.Msg == LB_GETTEXT || message.Msg == LB_GETTEXTLEN)) {
    AnswerVirtualText(message);
    return;
  }
  TWinControl::WndProc(message);
}

void TCustomListBox::AnswerVirtualText(TMessage& message) {
  if (!OnData) {
    message.Result = LB_ERR;
    return;
  }
  AnsiString text = DoGetData(static_cast<int>(message.WParam));
  if (message.Msg == LB_GETTEXT && message.LParam)
    memcpy(reinterpret_cast<char*>(message.LParam), text.c_str(), static_cast<size_t>(text.Length()) + 1);
  message.Result = text.Length();
}

void TCustomListBox::CNCommand(TMessage& m) {
  switch (CmdNotify(m)) {
    case LBN_SELCHANGE:
      Changed();
      Click();
      break;
    case LBN_DBLCLK:
      DblClick();
      break;
    default:
      break;
  }
}

void TCustomListBox::CNDrawItem(TMessage& m) {
  PaintOwnerDrawnItem(this, FCanvas, m,
                      [this](int index, const TRect& rect, TOwnerDrawState state) { DrawItem(index, rect, state); });
}

void TCustomListBox::CNMeasureItem(TMessage& m) {
  MeasureOwnerDrawnItem(m, FItemHeight, FStyle == lbOwnerDrawVariable,
                        [this](int index, int& height) { MeasureItem(index, height); });
}

// ===========================================================================
// Unit

namespace {
const char* const ComboBoxStyleNames[] = {"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed",
                                          "csOwnerDrawVariable"};
const char* const ListBoxStyleNames[] = {"lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable", "lbVirtual",
                                         "lbVirtualOwnerDraw"};
}  // namespace

void UnitInit_stdctrls_lists() {
  RegisterClasses({&TComboBox::Class, &TCustomComboBox::Class, &TListBox::Class, &TCustomListBox::Class});
  const TMetaClass* c = &TCustomComboBox::Class;
  RegisterProperty(c, "Style", TPropType::Enum(ComboBoxStyleNames), &TCustomComboBox::SetStyle,
                   &TCustomComboBox::Style);
  RegisterProperty(c, "Items", pkStrings, nullptr, &TCustomComboBox::Items);
  RegisterProperty(c, "ItemIndex", pkInteger, &TCustomComboBox::SetItemIndex, &TCustomComboBox::GetItemIndex);
  RegisterProperty(c, "ItemHeight", pkInteger, &TCustomComboBox::SetItemHeight, &TCustomComboBox::ItemHeight);
  RegisterProperty(c, "DropDownCount", pkInteger, &TCustomComboBox::SetDropDownCount, &TCustomComboBox::DropDownCount);
  RegisterProperty(c, "MaxLength", pkInteger, &TCustomComboBox::SetMaxLength, &TCustomComboBox::MaxLength);
  RegisterProperty(c, "Sorted", pkBool, &TCustomComboBox::SetSorted, &TCustomComboBox::Sorted);
  RegisterProperty(c, "AutoComplete", pkBool, &TCustomComboBox::SetAutoComplete, &TCustomComboBox::AutoComplete);
  RegisterProperty(c, "AutoDropDown", pkBool, &TCustomComboBox::SetAutoDropDown, &TCustomComboBox::AutoDropDown);
  c = &TCustomListBox::Class;
  RegisterProperty(c, "Style", TPropType::Enum(ListBoxStyleNames), &TCustomListBox::SetStyle, &TCustomListBox::Style);
  RegisterProperty(c, "Items", pkStrings, nullptr, &TCustomListBox::Items);
  RegisterProperty(c, "ItemIndex", pkInteger, &TCustomListBox::SetItemIndex, &TCustomListBox::GetItemIndex);
  RegisterProperty(c, "ItemHeight", pkInteger, &TCustomListBox::SetItemHeight, &TCustomListBox::ItemHeight);
  RegisterProperty(c, "MultiSelect", pkBool, &TCustomListBox::SetMultiSelect, &TCustomListBox::MultiSelect);
  RegisterProperty(c, "ExtendedSelect", pkBool, &TCustomListBox::SetExtendedSelect, &TCustomListBox::ExtendedSelect);
  RegisterProperty(c, "Sorted", pkBool, &TCustomListBox::SetSorted, &TCustomListBox::Sorted);
}

void UnitFini_stdctrls_lists() {}
