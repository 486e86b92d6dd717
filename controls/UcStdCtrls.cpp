#include "UcStdCtrls.h"

#include "richedit.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcComponentProps.h"
#include "UcForms.h"
#include "UcGraphics.h"
#include "UcWideStrUtils.h"
#include "UcWindows.h"

#include <vector>

CL_DEFINE_COMPONENT(TUcCustomEdit, TCustomEdit)
CL_DEFINE_COMPONENT(TUcEdit, TUcCustomEdit)
CL_DEFINE_CLASS(TUcMemoStrings, TUcStrings)
CL_DEFINE_COMPONENT(TUcCustomMemo, TCustomMemo)
CL_DEFINE_COMPONENT(TUcMemo, TUcCustomMemo)
CL_DEFINE_COMPONENT(TUcCustomLabel, TCustomLabel)
CL_DEFINE_COMPONENT(TUcLabel, TUcCustomLabel)
CL_DEFINE_COMPONENT(TUcButton, TButton)
CL_DEFINE_COMPONENT(TUcCustomCheckBox, TCustomCheckBox)
CL_DEFINE_COMPONENT(TUcCheckBox, TUcCustomCheckBox)
CL_DEFINE_COMPONENT(TUcRadioButton, TRadioButton)
CL_DEFINE_COMPONENT(TUcCustomGroupBox, TCustomGroupBox)
CL_DEFINE_COMPONENT(TUcGroupBox, TUcCustomGroupBox)
CL_DEFINE_COMPONENT(TUcCustomStaticText, TCustomStaticText)
CL_DEFINE_COMPONENT(TUcStaticText, TUcCustomStaticText)
CL_DEFINE_COMPONENT(TUcScrollBar, TScrollBar)

namespace {

// What ANSI readers of the class library's property see of a wide password
// character.
char AnsiPasswordChar(wchar_t c) { return c < 256 ? static_cast<char>(c) : '*'; }

void RequireUnicodePlatform(const char* routine) {
  if (!Win32PlatformIsUnicode)
    throw EAssertionFailed(AnsiString("UcStdCtrls: ") + routine + " needs the Unicode platform");
}

}  // namespace

// ===========================================================================
// Edit routines

void UcCustomEdit_CreateWindowHandle(TCustomEdit* edit, const TCreateParams& params) {
  // A Far-East ANSI system does not make a read-only edit with the style:
  // the edit is made writable and told to be read-only afterwards.
  if (!Win32PlatformIsUnicode && GetSystemMetrics(SM_DBCSENABLED) && (params.Style & ES_READONLY)) {
    TCreateParams writable = params;
    writable.Style &= ~ES_READONLY;
    CreateUnicodeHandle(edit, writable, L"EDIT");
    if (edit->HandleAllocated()) {
      SendMessageA(edit->WindowHandle(), EM_SETREADONLY, 1, 0);
    }
    return;
  }
  CreateUnicodeHandle(edit, params, L"EDIT");
}

void UcCustomEdit_AfterInherited_CreateWnd(TCustomEdit* edit, wchar_t& passwordChar) {
  if (!Win32PlatformIsUnicode || !edit->HandleAllocated()) return;
  SendMessageW(edit->WindowHandle(), EM_SETPASSWORDCHAR, UcCustomEdit_GetPasswordChar(edit, passwordChar), 0);
}

int UcCustomEdit_GetSelStart(TCustomEdit* edit) {
  if (Win32PlatformIsUnicode) return edit->TCustomEdit::GetSelStart();
  AnsiString text = edit->TControl::Text();
  return AnsiToWide(text.SubString(1, edit->TCustomEdit::GetSelStart())).Length();
}

void UcCustomEdit_SetSelStart(TCustomEdit* edit, int value) {
  if (Win32PlatformIsUnicode) {
    edit->TCustomEdit::SetSelStart(value);
    return;
  }
  WideString text = UcControl_GetText(edit);
  edit->TCustomEdit::SetSelStart(WideToAnsi(text.SubString(1, value)).Length());
}

int UcCustomEdit_GetSelLength(TCustomEdit* edit) {
  if (Win32PlatformIsUnicode) return edit->TCustomEdit::GetSelLength();
  return UcCustomEdit_GetSelText(edit).Length();
}

void UcCustomEdit_SetSelLength(TCustomEdit* edit, int value) {
  if (Win32PlatformIsUnicode) {
    edit->TCustomEdit::SetSelLength(value);
    return;
  }
  WideString text = UcControl_GetText(edit);
  int start = UcCustomEdit_GetSelStart(edit);
  edit->TCustomEdit::SetSelLength(WideToAnsi(text.SubString(start + 1, value)).Length());
}

WideString UcCustomEdit_GetSelText(TCustomEdit* edit) {
  if (!Win32PlatformIsUnicode) {
    // The window's own selection in bytes (the edit's virtual selection
    // routines lead back here).
    AnsiString text = edit->TControl::Text();
    return AnsiToWide(text.SubString(edit->TCustomEdit::GetSelStart() + 1, edit->TCustomEdit::GetSelLength()));
  }
  return UcControl_GetText(edit).SubString(UcCustomEdit_GetSelStart(edit) + 1, UcCustomEdit_GetSelLength(edit));
}

void UcCustomEdit_SetSelText(TCustomEdit* edit, const WideString& value) {
  if (!Win32PlatformIsUnicode) {
    edit->TCustomEdit::SetSelText(WideToAnsi(value));
    return;
  }
  Uc_ReplaceSelection(edit->Handle(), value);
}

wchar_t UcCustomEdit_GetPasswordChar(TCustomEdit* edit, wchar_t& passwordChar) {
  char ansi = edit->PasswordChar();
  if (ansi != AnsiPasswordChar(passwordChar)) passwordChar = static_cast<unsigned char>(ansi);
  return passwordChar;
}

void UcCustomEdit_SetPasswordChar(TCustomEdit* edit, wchar_t& passwordChar, wchar_t value) {
  if (value == UcCustomEdit_GetPasswordChar(edit, passwordChar)) return;
  passwordChar = value;
  if (!Win32PlatformIsUnicode || !edit->HandleAllocated()) {
    edit->SetPasswordChar(AnsiPasswordChar(value));
    return;
  }
  // The class library would send its own ANSI character to the window: the
  // window is hidden from it while its property changes.
  HWND wnd = edit->WindowHandle();
  edit->SetWindowHandle(nullptr);
  try {
    edit->SetPasswordChar(AnsiPasswordChar(value));
  } catch (...) {
    edit->SetWindowHandle(wnd);
    throw;
  }
  edit->SetWindowHandle(wnd);
  SendMessageW(wnd, EM_SETPASSWORDCHAR, value, 0);
  edit->Invalidate();
}

int UcMemo_LineStart(HWND wnd, int index) {
  RequireUnicodePlatform("UcMemo_LineStart");
  return static_cast<int>(SendMessageW(wnd, EM_LINEINDEX, index, 0));
}

int UcMemo_LineLength(HWND wnd, int index, int start) {
  RequireUnicodePlatform("UcMemo_LineLength");
  if (start == -1) start = UcMemo_LineStart(wnd, index);
  if (start < 0) return 0;
  return static_cast<int>(SendMessageW(wnd, EM_LINELENGTH, start, 0));
}

// ===========================================================================
// TUcCustomEdit

void TUcCustomEdit::CreateWindowHandle(const TCreateParams& params) { UcCustomEdit_CreateWindowHandle(this, params); }

void TUcCustomEdit::CreateWnd() {
  TCustomEdit::CreateWnd();
  UcCustomEdit_AfterInherited_CreateWnd(this, FWidePasswordChar);
}

UC_STANDARD_OVERRIDES_BODY(TUcCustomEdit, TCustomEdit)

// ===========================================================================
// TUcMemoStrings

bool TUcMemoStrings::UnicodeWindow() { return Win32PlatformIsUnicode && IsWindowUnicode(FMemo->Handle()); }

WideString TUcMemoStrings::Get(int index) {
  if (!UnicodeWindow()) return AnsiToWide(FAnsiLines->Get(index));
  HWND wnd = FMemo->Handle();
  int len = UcMemo_LineLength(wnd, index);
  if (len <= 0) return WideString();
  if (len > 0xFFFF) throw EOutOfResources(SLineTooLong);
  // EM_GETLINE takes the buffer's size in its first character.
  std::vector<wchar_t> buffer(static_cast<size_t>(len) + 1, L'\0');
  buffer[0] = static_cast<wchar_t>(len);
  int got = static_cast<int>(SendMessageW(wnd, EM_GETLINE, index, reinterpret_cast<LPARAM>(buffer.data())));
  got = std::max(0, std::min(got, len));
  while (got > 0 && (buffer[got - 1] == L'\r' || buffer[got - 1] == L'\n')) --got;
  return WideString(buffer.data(), got);
}

int TUcMemoStrings::GetCount() { return FAnsiLines->GetCount(); }

void TUcMemoStrings::Put(int index, const WideString& s) {
  if (!UnicodeWindow()) {
    FAnsiLines->Put(index, WideToAnsi(s));
    return;
  }
  HWND wnd = FMemo->Handle();
  int start = UcMemo_LineStart(wnd, index);
  if (start < 0) return;
  int len = UcMemo_LineLength(wnd, index, start);
  SendMessageW(wnd, EM_SETSEL, start, start + len);
  SendMessageW(wnd, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(s.c_str()));
}

void TUcMemoStrings::Insert(int index, const WideString& s) {
  if (index < 0) return;
  if (!UnicodeWindow()) {
    FAnsiLines->Insert(index, WideToAnsi(s));
    return;
  }
  HWND wnd = FMemo->Handle();
  int at = UcMemo_LineStart(wnd, index);
  WideString text;
  if (at >= 0) {
    text = s + L"\r\n";
  } else {
    // After the last line; the text goes in also when that line is empty.
    int prev = UcMemo_LineStart(wnd, index - 1);
    if (prev < 0) return;
    at = prev + UcMemo_LineLength(wnd, index - 1, prev);
    text = L"\r\n" + s;
  }
  int expected = text.Length();
  if (FRichEditMode && FLineBreakStyle != tlbsCRLF) {
    text = UcAdjustLineBreaks(text, FLineBreakStyle);
    expected = text.Length();
    // A lone line break goes in as CR LF, or the control drops the line.
    if (text == L"\r") text = L"\r\n";
  }
  SendMessageW(wnd, EM_SETSEL, at, at);
  SendMessageW(wnd, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (FRichEditMode) {
    CHARRANGE range{};
    SendMessageW(wnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    if (range.cpMin != at + expected) throw EOutOfResources(SInsertLineError);
  }
}

void TUcMemoStrings::Delete(int index) { FAnsiLines->Delete(index); }

void TUcMemoStrings::Clear() { FAnsiLines->Clear(); }

void TUcMemoStrings::SetUpdateState(bool updating) { FAnsiLines->SetUpdateState(updating); }

WideString TUcMemoStrings::GetTextStr() {
  if (FRichEditMode) return TUcStrings::GetTextStr();
  return UcControl_GetText(FMemo);
}

void TUcMemoStrings::SetTextStr(const WideString& value) {
  WideString text = UcAdjustLineBreaks(value, FLineBreakStyle);
  if (text == GetTextStr()) return;
  FMemo->HandleNeeded();
  UcControl_SetText(FMemo, text);
}

// ===========================================================================
// TUcCustomMemo

TUcCustomMemo::TUcCustomMemo(TComponent* owner) : TCustomMemo(owner) {
  FWideLines = new TUcMemoStrings(this, TCustomMemo::Lines());
}

TUcCustomMemo::~TUcCustomMemo() {
  delete FWideLines;
  FWideLines = nullptr;
}

void TUcCustomMemo::CreateWindowHandle(const TCreateParams& params) { UcCustomEdit_CreateWindowHandle(this, params); }

UC_STANDARD_OVERRIDES_BODY(TUcCustomMemo, TCustomMemo)

// ===========================================================================
// Label

bool UcLabel_DoDrawText(TCustomLabel* label, TRect& rect, UINT flags, const WideString& text) {
  if (!Win32PlatformIsUnicode) return false;
  WideString shown = text;
  // An empty label still measures one line high.
  if ((flags & DT_CALCRECT) && (shown.IsEmpty() || (label->ShowAccelChar() && shown == L"&"))) shown += L" ";
  if (!label->ShowAccelChar()) flags |= DT_NOPREFIX;
  flags = static_cast<UINT>(label->DrawTextBiDiModeFlags(static_cast<int>(flags)));
  TCanvas* canvas = label->Canvas();
  canvas->SetFont(label->Font());
  auto draw = [&]() {
    // The brush too: a clear brush draws the text without its background,
    // which would cover the highlight of an embossed label.
    canvas->RequiredState(csAllValid);
    Uc_DrawTextW(canvas->Handle(), shown.c_str(), shown.Length(), &rect, flags);
  };
  if (label->Enabled()) {
    draw();
  } else {
    // Embossed: the highlight one pixel down and right, the shadow on top.
    OffsetRect(&rect, 1, 1);
    canvas->Font()->SetColor(clBtnHighlight);
    draw();
    OffsetRect(&rect, -1, -1);
    canvas->Font()->SetColor(clBtnShadow);
    draw();
  }
  return true;
}

namespace {
// The control's own hot key (in its wide caption) while it can take the focus:
// act, and the message is answered. False when the key is not the control's.
template <class Act> bool HandleOwnHotKey(TWinControl* control, TMessage& message, Act&& act) {
  if (!IsWideCharAccel(static_cast<WORD>(message.WParam), UcControl_GetText(control)) || !control->CanFocus())
    return false;
  act();
  message.Result = 1;
  return true;
}
}  // namespace

void UcLabel_CMDialogChar(TCustomLabel* label, TMessage& message, const WideString& caption) {
  FocusNamedControl(label, message, [&](WORD key) { return IsWideCharAccel(key, caption); });
}

bool UcButton_CMDialogChar(TButton* button, TMessage& message) {
  return HandleOwnHotKey(button, message, [&] { button->Click(); });
}

CL_BEGIN_MESSAGE_MAP(TUcCustomLabel, TCustomLabel)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
  CL_MESSAGE(CM_HINTSHOW, CMHintShow)
CL_END_MESSAGE_MAP

WideString TUcCustomLabel::GetWideLabelText() { return UcControl_GetText(this); }

void TUcCustomLabel::DoDrawText(TRect& rect, UINT flags) {
  if (!UcLabel_DoDrawText(this, rect, flags, GetWideLabelText())) TCustomLabel::DoDrawText(rect, flags);
}

void TUcCustomLabel::CMDialogChar(TMessage& m) { UcLabel_CMDialogChar(this, m, UcControl_GetText(this)); }

void TUcCustomLabel::CMHintShow(TMessage& m) {
  ProcessCMHintShowMsg(m);
  InheritedMsg(&TCustomLabel::MessageMap, m);
}

UC_STANDARD_OVERRIDES_BODY(TUcCustomLabel, TCustomLabel)

// ===========================================================================
// TUcButton

CL_BEGIN_MESSAGE_MAP(TUcButton, TButton)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
CL_END_MESSAGE_MAP

void TUcButton::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, L"BUTTON"); }

void TUcButton::CMDialogChar(TMessage& m) {
  if (!UcButton_CMDialogChar(this, m)) InheritedMsg(&TButton::MessageMap, m);
}

UC_STANDARD_OVERRIDES_BODY(TUcButton, TButton)

// ===========================================================================
// TUcCustomCheckBox

CL_BEGIN_MESSAGE_MAP(TUcCustomCheckBox, TCustomCheckBox)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
CL_END_MESSAGE_MAP

void TUcCustomCheckBox::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle(this, params, L"BUTTON");
}

void TUcCustomCheckBox::CMDialogChar(TMessage& m) {
  const bool own = HandleOwnHotKey(this, m, [&] {
    SetFocus();
    if (Focused()) Toggle();
  });
  if (!own) InheritedMsg(&TCustomCheckBox::MessageMap, m);
}

UC_STANDARD_OVERRIDES_BODY(TUcCustomCheckBox, TCustomCheckBox)

// ===========================================================================
// TUcRadioButton

CL_BEGIN_MESSAGE_MAP(TUcRadioButton, TRadioButton)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
CL_END_MESSAGE_MAP

void TUcRadioButton::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, L"BUTTON"); }

void TUcRadioButton::CMDialogChar(TMessage& m) {
  if (!HandleOwnHotKey(this, m, [&] { SetFocus(); })) InheritedMsg(&TRadioButton::MessageMap, m);
}

UC_STANDARD_OVERRIDES_BODY(TUcRadioButton, TRadioButton)

// ===========================================================================
// TUcCustomGroupBox

CL_BEGIN_MESSAGE_MAP(TUcCustomGroupBox, TCustomGroupBox)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
CL_END_MESSAGE_MAP

void TUcCustomGroupBox::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, L""); }

void TUcCustomGroupBox::Paint() {
  if (!Win32PlatformIsUnicode) {
    TCustomGroupBox::Paint();
    return;
  }
  TCanvas* canvas = Canvas();
  canvas->SetFont(Font());
  const int h = WideCanvasTextHeight(canvas, L"0");
  TRect r(0, h / 2 - 1, Width(), Height());
  if (Ctl3D()) {
    ++r.left;
    ++r.top;
    canvas->Brush()->SetColor(clBtnHighlight);
    canvas->FrameRect(r);
    OffsetRect(&r, -1, -1);
    canvas->Brush()->SetColor(clBtnShadow);
  } else {
    canvas->Brush()->SetColor(clWindowFrame);
  }
  canvas->FrameRect(r);
  WideString text = Caption();
  if (text.IsEmpty()) return;
  TRect t = UseRightToLeftAlignment() ? TRect(r.right - WideCanvasTextWidth(canvas, text) - 8, 0, 0, h)
                                      : TRect(8, 0, 0, h);
  UINT flags = static_cast<UINT>(DrawTextBiDiModeFlags(DT_SINGLELINE));
  canvas->RequiredState(csHandleValid | csFontValid);
  Uc_DrawTextW(canvas->Handle(), text.c_str(), text.Length(), &t, flags | DT_CALCRECT);
  canvas->Brush()->SetColor(Color());
  canvas->RequiredState(csAllValid);
  Uc_DrawTextW(canvas->Handle(), text.c_str(), text.Length(), &t, flags);
}

void TUcCustomGroupBox::CMDialogChar(TMessage& m) {
  if (!HandleOwnHotKey(this, m, [&] { SelectFirst(); })) InheritedMsg(&TCustomGroupBox::MessageMap, m);
}

UC_STANDARD_OVERRIDES_BODY(TUcCustomGroupBox, TCustomGroupBox)

// ===========================================================================
// TUcCustomStaticText

CL_BEGIN_MESSAGE_MAP(TUcCustomStaticText, TCustomStaticText)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
CL_END_MESSAGE_MAP

TUcCustomStaticText::TUcCustomStaticText(TComponent* owner) : TCustomStaticText(owner) { AdjustBounds(); }

void TUcCustomStaticText::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle(this, params, L"STATIC");
}

void TUcCustomStaticText::AdjustBounds() {
  if (!Win32PlatformIsUnicode) {
    TCustomStaticText::AdjustBounds();
    return;
  }
  if ((ComponentState() & csLoading) || !AutoSize()) return;
  WideString text = Caption();
  SIZE size{};
  GetTextExtentPoint32W(TScreenFontDC(Font()).Handle(), text.c_str(), text.Length(), &size);
  FitToTextExtent(size);
}

void TUcCustomStaticText::CMDialogChar(TMessage& m) {
  FocusNamedControl(this, m, [&](WORD key) { return IsWideCharAccel(key, Caption()); });
}

UC_STANDARD_OVERRIDES_BODY(TUcCustomStaticText, TCustomStaticText)

// ===========================================================================
// TUcScrollBar

void TUcScrollBar::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, L"SCROLLBAR"); }

UC_STANDARD_OVERRIDES_BODY(TUcScrollBar, TScrollBar)

// ===========================================================================
// Unit

namespace {
template <class C> void RegisterWideCaption(const char* name = "Caption") {
  RegisterProperty(&C::Class, name, pkWideString, &C::SetCaption, &C::Caption, TPropDefault(), &C::IsCaptionStored);
}
template <class C> void RegisterWideHint() {
  RegisterProperty(&C::Class, "Hint", pkWideString, &C::SetHint, &C::Hint, TPropDefault(), &C::IsHintStored);
}
}  // namespace

void UnitInit_UcStdCtrls() {
  RegisterClasses({&TUcEdit::Class, &TUcMemo::Class, &TUcLabel::Class, &TUcButton::Class, &TUcCheckBox::Class,
                   &TUcRadioButton::Class, &TUcGroupBox::Class, &TUcStaticText::Class, &TUcScrollBar::Class});
  RegisterWideCaption<TUcCustomEdit>("Text");
  RegisterWideHint<TUcCustomEdit>();
  RegisterProperty(&TUcCustomEdit::Class, "PasswordChar", pkWideChar, &TUcCustomEdit::SetPasswordChar,
                   &TUcCustomEdit::PasswordChar);
  RegisterWideCaption<TUcCustomMemo>("Text");
  RegisterWideHint<TUcCustomMemo>();
  RegisterWideCaption<TUcCustomLabel>();
  RegisterWideHint<TUcCustomLabel>();
  RegisterWideCaption<TUcButton>();
  RegisterWideHint<TUcButton>();
  RegisterWideCaption<TUcCustomCheckBox>();
  RegisterWideHint<TUcCustomCheckBox>();
  RegisterWideCaption<TUcRadioButton>();
  RegisterWideHint<TUcRadioButton>();
  RegisterWideCaption<TUcCustomGroupBox>();
  RegisterWideHint<TUcCustomGroupBox>();
  RegisterWideCaption<TUcCustomStaticText>();
  RegisterWideHint<TUcCustomStaticText>();
  RegisterWideHint<TUcScrollBar>();
}

void UnitFini_UcStdCtrls() {}
