#include "UcStdCtrlsLists.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcGraphics.h"
#include "UcSysUtils.h"
#include "UcWindows.h"

#include <cstring>
#include <vector>

// {63BEBEF4-B1A2-495A-B558-7487B66F6827}
const GUID IID_IUcComboFindString = {0x63BEBEF4, 0xB1A2, 0x495A, {0xB5, 0x58, 0x74, 0x87, 0xB6, 0x6F, 0x68, 0x27}};

CL_DEFINE_CLASS(TUcComboBoxStrings, TUcStrings)
CL_DEFINE_CLASS(TUcListBoxStrings, TUcStrings)
CL_DEFINE_COMPONENT(TUcCustomComboBox, TCustomComboBox)
CL_DEFINE_COMPONENT(TUcComboBox, TUcCustomComboBox)
CL_DEFINE_COMPONENT(TUcCustomListBox, TCustomListBox)
CL_DEFINE_COMPONENT(TUcListBox, TUcCustomListBox)

namespace {

// A child of a Unicode combo box made Unicode: the system's procedure goes
// back with the wide call and the combo box's procedure goes on top again,
// so the previous procedure is the wide one.
void RewrapChildWide(HWND child, WNDPROC& previous, WNDPROC instance) {
  if (!child) return;
  SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(instance)));
}

}  // namespace

// ===========================================================================
// TUcItemCalls

TUcStringList* TUcItemCalls::Pending(TCustomComboBox* combo) {
  return combo->Is<TUcCustomComboBox>() ? static_cast<TUcCustomComboBox*>(combo)->PendingWideItems() : nullptr;
}

TUcStringList* TUcItemCalls::Pending(TCustomListBox* listBox) {
  return listBox->Is<TUcCustomListBox>() ? static_cast<TUcCustomListBox*>(listBox)->PendingWideItems() : nullptr;
}

bool TUcItemCalls::Native(TWinControl* control) { return Win32PlatformIsUnicode && IsWindowUnicode(control->Handle()); }

AnsiString TUcItemCalls::Narrow(const WideString& s) { return WideToAnsi(s); }

WideString TUcItemCalls::Widen(const AnsiString& s) { return AnsiToWide(s); }

WideString TUcItemCalls::Text(TCustomComboBox* combo) { return UcControl_GetText(combo); }

void TUcItemCalls::SetText(TCustomComboBox* combo, const WideString& s) { UcControl_SetText(combo, s); }

// ===========================================================================
// TUcCustomComboBox

CL_BEGIN_MESSAGE_MAP(TUcCustomComboBox, TCustomComboBox)
  CL_MESSAGE(CN_COMMAND, CNCommand)
  CL_MESSAGE(WM_CHAR, WMChar)
CL_END_MESSAGE_MAP

UC_STANDARD_OVERRIDES_BODY(TUcCustomComboBox, TCustomComboBox)

TUcCustomComboBox::TUcCustomComboBox(TComponent* owner) : TCustomComboBox(owner) {
  FWideItems = new TUcComboBoxStrings(this);
}

TUcCustomComboBox::~TUcCustomComboBox() {
  delete FWideItems;
  delete FSaveWideItems;
}

void TUcCustomComboBox::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle(this, params, L"COMBOBOX");
}

void TUcCustomComboBox::CreateWnd() {
  AnsiString ansiText = TControl::Text();
  TCustomComboBox::CreateWnd();
  HWND h = WindowHandle();
  if (Win32PlatformIsUnicode) {
    RewrapChildWide(FEditHandle, FDefEditProc, FEditInstance);
    RewrapChildWide(FListHandle, FDefListProc, FListInstance);
  }
  if (FSaveWideItems) {
    FWideItems->Assign(FSaveWideItems);
    delete FSaveWideItems;
    FSaveWideItems = nullptr;
    int count = FWideItems->GetCount();
    if (FSaveWideIndex >= count) FSaveWideIndex = count - 1;
    if (FSaveWideIndex >= 0) SendMessageA(h, CB_SETCURSEL, FSaveWideIndex, 0);
    FSaveWideIndex = -1;
  }
  if (Win32PlatformIsUnicode)
    UcControl_SetText(this, UcControl_GetStoredText(this, AnsiToWide(TControl::Text())));
  else
    TControl::SetText(ansiText);
}

void TUcCustomComboBox::DestroyWnd() {
  if (FControlState & csDestroyingHandle) return;
  WideString text = UcControl_GetText(this);
  if (FWideItems->GetCount() > 0) {
    delete FSaveWideItems;
    FSaveWideItems = new TUcStringList;
    FSaveWideItems->Assign(FWideItems);
    FSaveWideIndex = ItemIndex();
    // The class library keeps nothing of its own: the wide copy is the one.
    SendMessageA(WindowHandle(), CB_RESETCONTENT, 0, 0);
  }
  TCustomComboBox::DestroyWnd();
  UcControl_SetStoredText(this, text);
}

TUcStringList* TUcCustomComboBox::PendingWideItems() {
  if (HandleAllocated() || Parent() || ParentWindow()) return nullptr;
  if (!FSaveWideItems) FSaveWideItems = new TUcStringList;
  return FSaveWideItems;
}

int TUcCustomComboBox::GetItemIndex() {
  if (!HandleAllocated() && FSaveWideItems) return FSaveWideIndex;
  return TCustomComboBox::GetItemIndex();
}

void TUcCustomComboBox::SetItemIndex(int v) {
  if (PendingWideItems()) {
    FSaveWideIndex = v;
    return;
  }
  TCustomComboBox::SetItemIndex(v);
}

int TUcCustomComboBox::GetSelStart() {
  if (Win32PlatformIsUnicode) return TCustomComboBox::GetSelStart();
  return AnsiToWide(TControl::Text().SubString(1, TCustomComboBox::GetSelStart())).Length();
}

void TUcCustomComboBox::SetSelStart(int v) {
  if (Win32PlatformIsUnicode) {
    TCustomComboBox::SetSelStart(v);
    return;
  }
  TCustomComboBox::SetSelStart(WideToAnsi(UcControl_GetText(this).SubString(1, v)).Length());
}

int TUcCustomComboBox::GetSelLength() {
  if (Win32PlatformIsUnicode) return TCustomComboBox::GetSelLength();
  return SelText().Length();
}

void TUcCustomComboBox::SetSelLength(int v) {
  if (Win32PlatformIsUnicode) {
    TCustomComboBox::SetSelLength(v);
    return;
  }
  int start = GetSelStart();
  TCustomComboBox::SetSelLength(WideToAnsi(UcControl_GetText(this).SubString(start + 1, v)).Length());
}

WideString TUcCustomComboBox::SelText() {
  if (!Win32PlatformIsUnicode)
    return AnsiToWide(TControl::Text().SubString(TCustomComboBox::GetSelStart() + 1, TCustomComboBox::GetSelLength()));
  if (FStyle >= csDropDownList) return WideString();
  return UcControl_GetText(this).SubString(GetSelStart() + 1, GetSelLength());
}

void TUcCustomComboBox::SetSelText(const WideString& v) {
  if (!Win32PlatformIsUnicode) {
    TCustomComboBox::SetSelText(WideToAnsi(v));
    return;
  }
  if (FStyle < csDropDownList && FEditHandle) SendMessageW(FEditHandle, EM_REPLACESEL, 0, TUcItemCalls::Param(v));
}

void TUcCustomComboBox::AddItem(const WideString& item, TObject* object) { FWideItems->AddObject(item, object); }

bool TUcCustomComboBox::GetInterface(const GUID& iid, void** obj) {
  if (IsEqualGUID(iid, IID_IWideCustomListControl)) {
    if (obj) *obj = static_cast<IWideCustomListControl*>(this);
    return true;
  }
  return TCustomComboBox::GetInterface(iid, obj);
}

int TUcCustomComboBox::FindString(int start, const WideString& text) {
  void* intf = nullptr;
  if (Supports(this, IID_IUcComboFindString, &intf) && intf)
    return static_cast<IUcComboFindString*>(intf)->FindString(text, start);
  if (Win32PlatformIsUnicode && IsWindowUnicode(Handle()))
    return static_cast<int>(SendMessageW(Handle(), CB_FINDSTRING, start, TUcItemCalls::Param(text)));
  return TCustomComboBox::FindString(start, WideToAnsi(text));
}

TComboAutoCompleteOps<WideString> TUcCustomComboBox::WideAutoCompleteOps() {
  TComboAutoCompleteOps<WideString> ops;
  ops.FindString = [this](int start, const WideString& text) { return FindString(start, text); };
  ops.Item = [this](int index) { return FWideItems->Get(index); };
  ops.GetText = [this] { return UcControl_GetText(this); };
  ops.SetText = [this](const WideString& text) { UcControl_SetText(this, text); };
  return ops;
}

int TUcCustomComboBox::FindUniqueString(const WideString& text) {
  return ComboFindUniqueString(WideAutoCompleteOps(), text);
}

bool TUcCustomComboBox::AutoCompleteItem(const WideString& search, bool preserveCase, bool uniqueOnly) {
  return ComboAutoCompleteItem(this, WideAutoCompleteOps(), search, preserveCase, uniqueOnly);
}

void TUcCustomComboBox::DoEditCharMsg(TMessage& message) {
  if (FStyle >= csDropDownList)
    throw EUcInternalError(
        "Internal Error: UcCombo_AutoCompleteKeyPress is only for csSimple and csDropDown style combo boxes.");
  if (!FAutoComplete) return;
  wchar_t key = TypedCharOfWMCharMsg(message);
  if (ComboCompleteChar(this, WideAutoCompleteOps(), key, GetAutoComplete_PreserveDataEntryCase(),
                        GetAutoComplete_UniqueMatchOnly()))
    SetWideCharForWMCharMsg(message, 0);
}

void TUcCustomComboBox::KeyPress(char& key) {
  // Only the wide auto-complete acts; the class library's would work on the
  // ANSI form of the text.
  TScopedValue<bool> off(FAutoComplete, false);
  TCustomComboBox::KeyPress(key);
}

LRESULT TUcCustomComboBox::CallChildProc(WNDPROC proc, HWND child, const TMessage& message) {
  if (IsWindowUnicode(child)) return CallWindowProcW(proc, child, message.Msg, message.WParam, message.LParam);
  return CallWindowProcA(proc, child, message.Msg, message.WParam, message.LParam);
}

void TUcCustomComboBox::ComboWndProc(TMessage& message, HWND child, WNDPROC childProc) {
  bool unicodeChild = Win32PlatformIsUnicode && IsWindowUnicode(child);
  if (message.Msg == WM_CHAR) {
    if (unicodeChild) MakeWMCharMsgSafeForAnsi(message);
    bool consumed = DoKeyPress(message);
    if (!consumed && FStyle < csDropDownList) {
      TMessage copy = message;
      DoEditCharMsg(copy);
      consumed = GetWideCharFromWMCharMsg(copy) == 0;
    }
    if (consumed) return;
    if (unicodeChild) RestoreWMCharMsg(message);
    WPARAM key = message.WParam;
    if ((key == VK_RETURN || key == VK_ESCAPE) && DroppedDown()) {
      SetDroppedDown(false);
      return;
    }
    message.Result = CallChildProc(childProc, child, message);
    return;
  }
  if (unicodeChild) {
    UINT msg = message.Msg;
    if (IsTextMessage(msg) || msg == EM_REPLACESEL || msg == WM_IME_COMPOSITION) {
      message.Result = CallChildProc(childProc, child, message);
      return;
    }
    if (msg == WM_IME_CHAR) {
      message.Result = SendMessageW(child, WM_CHAR, message.WParam, message.LParam);
      return;
    }
  }
  TCustomComboBox::ComboWndProc(message, child, childProc);
}

void TUcCustomComboBox::CNCommand(TMessage& m) {
  if (CmdNotify(m) != CBN_SELCHANGE) {
    InheritedMsg(&TCustomComboBox::MessageMap, m);
    return;
  }
  int index = ItemIndex();
  if (index >= 0) UcControl_SetText(this, FWideItems->Get(index));
  Click();
  Select();
}

void TUcCustomComboBox::WMChar(TMessage& m) {
  if (FAutoComplete && FStyle >= csDropDownList &&
      ComboTypeAheadChar(this, WideAutoCompleteOps(), FWideFilter, FLastWideTime, TypedCharOfWMCharMsg(m)))
    return;
  InheritedMsg(&TCustomComboBox::MessageMap, m);
}

void TUcCustomComboBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  int flags = FCanvas->TextFlags() & ~ETO_RTLREADING;
  if (UseRightToLeftReading()) flags |= ETO_RTLREADING;
  FCanvas->SetTextFlags(flags);
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  FCanvas->FillRect(rect);
  if (index >= 0) WideCanvasTextOut(FCanvas, rect.left + 2, rect.top, FWideItems->Get(index));
}

// ===========================================================================
// TUcCustomListBox

UC_STANDARD_OVERRIDES_BODY(TUcCustomListBox, TCustomListBox)

TUcCustomListBox::TUcCustomListBox(TComponent* owner) : TCustomListBox(owner) {
  FWideItems = new TUcListBoxStrings(this);
}

TUcCustomListBox::~TUcCustomListBox() {
  delete FWideItems;
  delete FSaveWideItems;
}

void TUcCustomListBox::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle(this, params, L"LISTBOX");
}

void TUcCustomListBox::CreateWnd() {
  TCustomListBox::CreateWnd();
  if (!FSaveWideItems) return;
  FWideItems->Assign(FSaveWideItems);
  delete FSaveWideItems;
  FSaveWideItems = nullptr;
  int count = FWideItems->GetCount();
  if (FSaveWideTopIndex > 0 && FSaveWideTopIndex < count) SetTopIndex(FSaveWideTopIndex);
  if (FSaveWideItemIndex >= count) FSaveWideItemIndex = count - 1;
  if (FSaveWideItemIndex >= 0) SetItemIndex(FSaveWideItemIndex);
  FSaveWideTopIndex = 0;
  FSaveWideItemIndex = -1;
}

void TUcCustomListBox::DestroyWnd() {
  if (!IsVirtual() && FWideItems->GetCount() > 0) {
    delete FSaveWideItems;
    FSaveWideItems = new TUcStringList;
    FSaveWideItems->Assign(FWideItems);
    FSaveWideTopIndex = TopIndex();
    FSaveWideItemIndex = ItemIndex();
    SendMessageA(WindowHandle(), LB_RESETCONTENT, 0, 0);
  }
  TCustomListBox::DestroyWnd();
}

TUcStringList* TUcCustomListBox::PendingWideItems() {
  if (HandleAllocated() || Parent() || ParentWindow() || IsVirtual()) return nullptr;
  if (!FSaveWideItems) FSaveWideItems = new TUcStringList;
  return FSaveWideItems;
}

int TUcCustomListBox::GetItemIndex() {
  if (!HandleAllocated() && FSaveWideItems) return FSaveWideItemIndex;
  return TCustomListBox::GetItemIndex();
}

void TUcCustomListBox::SetItemIndex(int v) {
  if (PendingWideItems()) {
    FSaveWideItemIndex = v;
    return;
  }
  TCustomListBox::SetItemIndex(v);
}

void TUcCustomListBox::AddItem(const WideString& item, TObject* object) { FWideItems->AddObject(item, object); }

bool TUcCustomListBox::GetInterface(const GUID& iid, void** obj) {
  if (IsEqualGUID(iid, IID_IWideCustomListControl)) {
    if (obj) *obj = static_cast<IWideCustomListControl*>(this);
    return true;
  }
  return TCustomListBox::GetInterface(iid, obj);
}

WideString TUcCustomListBox::DoGetWideData(int index, bool& found) {
  found = true;
  WideString data;
  if (OnWideData) {
    OnWideData(this, index, data);
  } else if (OnData) {
    AnsiString ansi;
    OnData(this, index, ansi);
    data = AnsiToWide(ansi);
  } else {
    found = false;
  }
  return data;
}

void TUcCustomListBox::AnswerVirtualText(TMessage& message) {
  bool found = false;
  WideString text = DoGetWideData(static_cast<int>(message.WParam), found);
  if (!found) {
    message.Result = LB_ERR;
    return;
  }
  if (Win32PlatformIsUnicode) {
    if (message.Msg == LB_GETTEXT && message.LParam)
      memcpy(reinterpret_cast<wchar_t*>(message.LParam), text.c_bstr(),
             (static_cast<size_t>(text.Length()) + 1) * sizeof(wchar_t));
    message.Result = text.Length();
  } else {
    AnsiString ansi = WideToAnsi(text);
    if (message.Msg == LB_GETTEXT && message.LParam)
      memcpy(reinterpret_cast<char*>(message.LParam), ansi.c_str(), static_cast<size_t>(ansi.Length()) + 1);
    message.Result = ansi.Length();
  }
}

void TUcCustomListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  FCanvas->FillRect(rect);
  if (index < 0 || index >= Count()) return;
  RECT r = rect;
  if (UseRightToLeftReading())
    r.right -= 2;
  else
    r.left += 2;
  WideString text = FWideItems->Get(index);
  Uc_DrawTextW(FCanvas->Handle(), text.c_bstr(), -1, &r,
               DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DrawTextBiDiModeFlagsReadingOnly());
}

// ===========================================================================
// Unit

void UnitInit_UcStdCtrlsLists() {
  RegisterClasses({&TUcComboBox::Class, &TUcCustomComboBox::Class, &TUcListBox::Class, &TUcCustomListBox::Class});
  RegisterProperty(&TUcCustomComboBox::Class, "Text", pkWideString, &TUcCustomComboBox::SetText,
                   &TUcCustomComboBox::Text, TPropDefault(), &TUcCustomComboBox::IsCaptionStored);
  RegisterProperty(&TUcCustomComboBox::Class, "Hint", pkWideString, &TUcCustomComboBox::SetHint,
                   &TUcCustomComboBox::Hint, TPropDefault(), &TUcCustomComboBox::IsHintStored);
  RegisterProperty(&TUcCustomListBox::Class, "Hint", pkWideString, &TUcCustomListBox::SetHint, &TUcCustomListBox::Hint,
                   TPropDefault(), &TUcCustomListBox::IsHintStored);
}

void UnitFini_UcStdCtrlsLists() {}
