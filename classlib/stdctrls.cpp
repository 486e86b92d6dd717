#include "stdctrls.h"

#include <vector>

#include "forms.h"

CL_DEFINE_COMPONENT(TCustomLabel, TGraphicControl)
CL_DEFINE_COMPONENT(TLabel, TCustomLabel)
CL_DEFINE_COMPONENT(TCustomEdit, TWinControl)
CL_DEFINE_COMPONENT(TEdit, TCustomEdit)
CL_DEFINE_CLASS(TMemoStrings, TStrings)
CL_DEFINE_COMPONENT(TCustomMemo, TCustomEdit)
CL_DEFINE_COMPONENT(TMemo, TCustomMemo)
CL_DEFINE_CLASS(TButtonControl, TWinControl)
CL_DEFINE_CLASS(TButtonActionLink, TWinControlActionLink)
CL_DEFINE_COMPONENT(TButton, TButtonControl)
CL_DEFINE_COMPONENT(TCustomCheckBox, TButtonControl)
CL_DEFINE_COMPONENT(TCheckBox, TCustomCheckBox)
CL_DEFINE_COMPONENT(TRadioButton, TButtonControl)
CL_DEFINE_COMPONENT(TCustomGroupBox, TCustomControl)
CL_DEFINE_COMPONENT(TGroupBox, TCustomGroupBox)
CL_DEFINE_COMPONENT(TCustomStaticText, TWinControl)
CL_DEFINE_COMPONENT(TStaticText, TCustomStaticText)
CL_DEFINE_COMPONENT(TScrollBar, TWinControl)

const char* const SLineTooLong = "Line too long";
const char* const SInsertLineError = "Unable to insert a line";

namespace {
const UINT AlignmentFlags[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
}

// ---------------------------------------------------------------------------
// TCustomLabel

CL_BEGIN_MESSAGE_MAP(TCustomLabel, TGraphicControl)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
  CL_MESSAGE(CM_FONTCHANGED, CMFontChanged)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
CL_END_MESSAGE_MAP

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  FControlStyle |= csOpaque | csReplicatable;
  FAutoSize = true;
  SetBounds(0, 0, 65, 17);
}

AnsiString TCustomLabel::GetLabelText() { return GetText(); }

void TCustomLabel::DoDrawText(TRect& rect, UINT flags) {
  AnsiString text = GetLabelText();
  // An empty label still measures one line high.
  if ((flags & DT_CALCRECT) && (text.IsEmpty() || (FShowAccelChar && text == "&"))) text += " ";
  if (!FShowAccelChar) flags |= DT_NOPREFIX;
  flags = DrawTextBiDiModeFlags(flags);
  TCanvas* c = Canvas();
  c->SetFont(Font());
  if (!Enabled()) {
    // Embossed: the highlight one pixel down-right, the shadow on top.
    OffsetRect(&rect, 1, 1);
    c->Font()->SetColor(clBtnHighlight);
    c->RequiredState(csHandleValid | csFontValid);
    DrawTextA(c->Handle(), text.c_str(), text.Length(), &rect, flags);
    OffsetRect(&rect, -1, -1);
    c->Font()->SetColor(clBtnShadow);
    c->RequiredState(csHandleValid | csFontValid);
    DrawTextA(c->Handle(), text.c_str(), text.Length(), &rect, flags);
  } else {
    c->RequiredState(csHandleValid | csFontValid);
    DrawTextA(c->Handle(), text.c_str(), text.Length(), &rect, flags);
  }
}

void TCustomLabel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  if (!Transparent()) {
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(r);
  }
  c->Brush()->SetStyle(bsClear);
  UINT flags = TextFlags() | AlignmentFlags[FAlignment];
  if (FLayout != tlTop) {
    TRect calc = r;
    DoDrawText(calc, flags | DT_CALCRECT);
    int dy = FLayout == tlBottom ? r.Height() - calc.bottom : (r.Height() - calc.bottom) / 2;
    OffsetRect(&r, 0, dy);
  }
  DoDrawText(r, flags);
}

namespace {

// The label's canvas draws on a device context lent for a moment; it gives
// it back on every way out.
struct TBorrowedDC {
  TCanvas* Canvas;
  TBorrowedDC(TCanvas* canvas, HDC dc) : Canvas(canvas) { canvas->SetHandle(dc); }
  ~TBorrowedDC() { Canvas->SetHandle(nullptr); }
  TBorrowedDC(const TBorrowedDC&) = delete;
  TBorrowedDC& operator=(const TBorrowedDC&) = delete;
};

}  // namespace

UINT TCustomLabel::TextFlags() const { return DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0); }

TRect TCustomLabel::MeasuredTextRect() {
  TRect r = ClientRect();
  TScreenFontDC screen(Font());
  TBorrowedDC borrowed(Canvas(), screen.Handle());
  DoDrawText(r, TextFlags() | DT_CALCRECT);
  return r;
}

void TCustomLabel::AdjustBounds() {
  if ((ComponentState() & csLoading) || !FAutoSize) return;
  const TRect r = MeasuredTextRect();
  int x = Left();
  if (FAlignment == taRightJustify) x += Width() - r.right;
  else if (FAlignment == taCenter) x += (Width() - r.right) / 2;
  SetBounds(x, Top(), r.right, r.bottom);
}

int TCustomLabel::DrawnTextWidth() {
  const TRect measured = MeasuredTextRect();
  if (measured.right <= 0 || measured.bottom <= 0) return measured.right;
  // Drawn as Paint draws it, on the label's colour, with room on the right
  // for what the glyphs draw past their widths.
  TBitmap aside;
  aside.SetPixelFormat(pf24bit);
  aside.SetSize(measured.right + measured.bottom + 8, measured.bottom);
  aside.Canvas()->Brush()->SetColor(Color());
  aside.Canvas()->FillRect(TRect(0, 0, aside.Width(), aside.Height()));
  {
    TBorrowedDC borrowed(Canvas(), aside.Canvas()->Handle());
    Canvas()->Brush()->SetStyle(bsClear);
    TRect room(0, 0, aside.Width(), aside.Height());
    DoDrawText(room, TextFlags());
  }
  const COLORREF back = ColorToRGB(Color());
  const std::vector<uint8_t> bgr = aside.GetBGR24();
  const int width = aside.Width();
  for (int x = width - 1; x >= measured.right - 1; --x)
    for (int y = 0; y < aside.Height(); ++y) {
      const uint8_t* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
      // The inked column, and one of background after it.
      if (RGB(p[2], p[1], p[0]) != back) return x + 2;
    }
  return measured.right;
}

void TCustomLabel::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout v) {
  if (v == FLayout) return;
  FLayout = v;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool v) {
  if (v == FWordWrap) return;
  FWordWrap = v;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool v) {
  if (v == FShowAccelChar) return;
  FShowAccelChar = v;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* v) {
  if (v == FFocusControl) return;
  if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = v;
  if (v) v->FreeNotification(this);
}

void TCustomLabel::SetTransparent(bool v) {
  if (v == Transparent()) return;
  if (v)
    FControlStyle &= ~csOpaque;
  else
    FControlStyle |= csOpaque;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool v) {
  TGraphicControl::SetAutoSize(v);
  AdjustBounds();
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::CMTextChanged(TMessage&) {
  Invalidate();
  AdjustBounds();
}

void TCustomLabel::CMFontChanged(TMessage& m) {
  InheritedMsg(&TGraphicControl::MessageMap, m);
  AdjustBounds();
}

void TCustomLabel::CMDialogChar(TMessage& m) {
  FocusNamedControl(this, m, [&](WORD key) { return IsAccel(key, GetLabelText()); });
}

// ---------------------------------------------------------------------------
// TCustomEdit

CL_BEGIN_MESSAGE_MAP(TCustomEdit, TWinControl)
  CL_MESSAGE(CN_COMMAND, CNCommand)
  CL_MESSAGE(CM_ENTER, CMEnter)
  CL_MESSAGE(CM_FONTCHANGED, CMFontChanged)
  CL_MESSAGE(CM_RECREATEWND, CMRecreateWnd)
CL_END_MESSAGE_MAP

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  FControlStyle = csClickEvents | csSetCaption | csDoubleClicks | csFixedHeight;
  SetBounds(0, 0, 121, 25);
  FTabStop = true;
  FParentColor = false;
  FColor = clWindow;
  FAutoSize = true;
  FBrush->SetColor(clWindow);
}

void TCustomEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, "EDIT");
  params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
  if (FReadOnly) params.Style |= ES_READONLY;
  if (!FHideSelection) params.Style |= ES_NOHIDESEL;
  if (FBorderStyle == bsSingle) {
    if (FCtl3D) {
      params.ExStyle |= WS_EX_CLIENTEDGE;
    } else {
      params.Style |= WS_BORDER;
    }
  }
}

void TCustomEdit::CreateWnd() {
  {
    TScopedValue<bool> creating(FCreating, true);
    TWinControl::CreateWnd();
  }
  HWND h = WindowHandle();
  SendMaxLength();
  if (FPasswordChar) SendMessageA(h, EM_SETPASSWORDCHAR, static_cast<BYTE>(FPasswordChar), 0);
  SendMessageA(h, EM_SETMODIFY, FModified ? 1 : 0, 0);
  if (FSavedSelStart || FSavedSelLength)
    SendMessageA(h, EM_SETSEL, FSavedSelStart, FSavedSelStart + FSavedSelLength);
  AdjustHeight();
}

void TCustomEdit::DestroyWnd() {
  // What only the window knows survives its re-creation.
  FModified = Modified();
  FSavedSelStart = GetSelStart();
  FSavedSelLength = GetSelLength();
  TWinControl::DestroyWnd();
}

void TCustomEdit::SetHideSelection(bool v) {
  if (v == FHideSelection) return;
  FHideSelection = v;
  RecreateWnd();
}

void TCustomEdit::SetBorderStyle(TBorderStyle v) {
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  AdjustHeight();
  RecreateWnd();
}

void TCustomEdit::SetMaxLength(int v) {
  if (v < 0) v = 0;
  if (v == FMaxLength) return;
  FMaxLength = v;
  if (HandleAllocated()) SendMaxLength();
}

void TCustomEdit::SendMaxLength() { SendMessageA(WindowHandle(), EM_LIMITTEXT, FMaxLength, 0); }

void TCustomEdit::SetPasswordChar(char v) {
  if (v == FPasswordChar) return;
  FPasswordChar = v;
  if (HandleAllocated()) {
    SendMessageA(WindowHandle(), EM_SETPASSWORDCHAR, static_cast<BYTE>(v), 0);
    Invalidate();
  }
}

void TCustomEdit::SetReadOnly(bool v) {
  if (v == FReadOnly) return;
  FReadOnly = v;
  if (HandleAllocated()) SendMessageA(WindowHandle(), EM_SETREADONLY, v ? 1 : 0, 0);
}

bool TCustomEdit::Modified() {
  if (HandleAllocated()) return SendMessageA(WindowHandle(), EM_GETMODIFY, 0, 0) != 0;
  return FModified;
}

void TCustomEdit::SetModified(bool v) {
  FModified = v;
  if (HandleAllocated()) SendMessageA(WindowHandle(), EM_SETMODIFY, v ? 1 : 0, 0);
}

void TCustomEdit::SetAutoSize(bool v) {
  TWinControl::SetAutoSize(v);
  AdjustHeight();
}

int TCustomEdit::GetSelStart() {
  if (!HandleAllocated()) return FSavedSelStart;
  DWORD start = 0, end = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(start);
}

void TCustomEdit::SetSelStart(int v) { SendMessageA(Handle(), EM_SETSEL, v, v); }

int TCustomEdit::GetSelLength() {
  if (!HandleAllocated()) return FSavedSelLength;
  DWORD start = 0, end = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end - start);
}

void TCustomEdit::SetSelLength(int v) {
  DWORD start = 0, end = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  SendMessageA(Handle(), EM_SETSEL, start, start + v);
  SendMessageA(Handle(), EM_SCROLLCARET, 0, 0);
}

AnsiString TCustomEdit::GetSelText() { return GetText().SubString(GetSelStart() + 1, GetSelLength()); }

void TCustomEdit::SetSelText(const AnsiString& v) {
  SendMessageA(Handle(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(v.c_str()));
}

void TCustomEdit::SelectAll() {
  if (HandleAllocated()) SendMessageA(WindowHandle(), EM_SETSEL, 0, -1);
}

void TCustomEdit::Clear() { SetText(""); }

void TCustomEdit::ClearSelection() { SendMessageA(Handle(), WM_CLEAR, 0, 0); }

void TCustomEdit::Undo() {
  if (HandleAllocated()) SendMessageA(WindowHandle(), EM_UNDO, 0, 0);
}

bool TCustomEdit::CanUndo() { return HandleAllocated() && SendMessageA(WindowHandle(), EM_CANUNDO, 0, 0) != 0; }

void TCustomEdit::ClearUndo() {
  if (HandleAllocated()) SendMessageA(WindowHandle(), EM_EMPTYUNDOBUFFER, 0, 0);
}

void TCustomEdit::Change() {
  TControl::Changed();
  if (OnChange) OnChange(this);
}

void TCustomEdit::AdjustHeight() {
  if (!FAutoSize || (ComponentState() & csLoading)) return;
  TEXTMETRICA tm{};
  GetTextMetricsA(TScreenFontDC(Font()).Handle(), &tm);
  int border = FBorderStyle == bsSingle ? GetSystemMetrics(SM_CYBORDER) * (FCtl3D ? 8 : 6) : 0;
  SetHeight(tm.tmHeight + border);
}

void TCustomEdit::CNCommand(TMessage& m) {
  if (CmdNotify(m) == EN_CHANGE && !FCreating) Change();
}

void TCustomEdit::CMEnter(TMessage& m) {
  if (FAutoSelect && !FRecreating && !(FControlState & csLButtonDown) &&
      !(GetWindowLongA(Handle(), GWL_STYLE) & ES_MULTILINE))
    SelectAll();
  InheritedMsg(&TWinControl::MessageMap, m);
}

void TCustomEdit::CMRecreateWnd(TMessage& m) {
  TScopedValue<bool> recreating(FRecreating, true);
  InheritedMsg(&TWinControl::MessageMap, m);
}

void TCustomEdit::CMFontChanged(TMessage& m) {
  InheritedMsg(&TWinControl::MessageMap, m);
  if (HandleAllocated()) AdjustHeight();
}

// ---------------------------------------------------------------------------
// TMemoStrings

AnsiString TMemoStrings::Get(int index) {
  HWND h = FMemo->Handle();
  int start = static_cast<int>(SendMessageA(h, EM_LINEINDEX, index, 0));
  if (start < 0) return AnsiString();
  int len = static_cast<int>(SendMessageA(h, EM_LINELENGTH, start, 0));
  if (len == 0) return AnsiString();
  if (len > 0xFFFF) throw EOutOfResources(SLineTooLong);
  // EM_GETLINE takes the buffer size in its first word. A rich edit copies
  // the paragraph mark along; it is no part of the line.
  std::vector<char> buf(len + 3, '\0');
  *reinterpret_cast<WORD*>(buf.data()) = static_cast<WORD>(len + 2);
  int got = static_cast<int>(SendMessageA(h, EM_GETLINE, index, reinterpret_cast<LPARAM>(buf.data())));
  while (got > 0 && (buf[got - 1] == '\r' || buf[got - 1] == '\n')) --got;
  return AnsiString(buf.data(), got);
}

int TMemoStrings::GetCount() {
  HWND h = FMemo->Handle();
  int n = static_cast<int>(SendMessageA(h, EM_GETLINECOUNT, 0, 0));
  // The empty line after a final line break is not a line of the list.
  if (n > 0 && SendMessageA(h, EM_LINELENGTH, SendMessageA(h, EM_LINEINDEX, n - 1, 0), 0) == 0) --n;
  return n;
}

void TMemoStrings::Clear() { FMemo->Clear(); }

void TMemoStrings::Delete(int index) {
  HWND h = FMemo->Handle();
  int start = static_cast<int>(SendMessageA(h, EM_LINEINDEX, index, 0));
  if (start < 0) return;
  int end = static_cast<int>(SendMessageA(h, EM_LINEINDEX, index + 1, 0));
  if (end < 0) end = start + static_cast<int>(SendMessageA(h, EM_LINELENGTH, start, 0));
  SendMessageA(h, EM_SETSEL, start, end);
  SendMessageA(h, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(""));
}

void TMemoStrings::Insert(int index, const AnsiString& s) {
  if (index < 0) return;
  HWND h = FMemo->Handle();
  int at = static_cast<int>(SendMessageA(h, EM_LINEINDEX, index, 0));
  AnsiString text;
  if (at >= 0) {
    text = s + "\r\n";
  } else {
    // After the last line: a line break first, unless the memo is empty.
    at = static_cast<int>(SendMessageA(h, EM_LINEINDEX, index - 1, 0));
    if (at < 0) return;
    int len = static_cast<int>(SendMessageA(h, EM_LINELENGTH, at, 0));
    if (len == 0 && index - 1 == 0 && GetWindowTextLengthA(h) == 0) {
      text = s;
    } else {
      at += len;
      text = "\r\n" + s;
    }
  }
  SendMessageA(h, EM_SETSEL, at, at);
  SendMessageA(h, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // The caret ends after what the control took. A rich edit keeps a line
  // break as one character, so only whether it moved at all tells.
  DWORD start = 0, end = 0;
  SendMessageA(h, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (static_cast<int>(start) <= at && !text.IsEmpty()) throw EOutOfResources(SInsertLineError);
}

void TMemoStrings::Put(int index, const AnsiString& s) {
  HWND h = FMemo->Handle();
  int start = static_cast<int>(SendMessageA(h, EM_LINEINDEX, index, 0));
  if (start < 0) return;
  int len = static_cast<int>(SendMessageA(h, EM_LINELENGTH, start, 0));
  SendMessageA(h, EM_SETSEL, start, start + len);
  SendMessageA(h, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(s.c_str()));
}

void TMemoStrings::SetUpdateState(bool updating) {
  if (!FMemo->HandleAllocated()) return;
  SendMessageA(FMemo->WindowHandle(), WM_SETREDRAW, updating ? 0 : 1, 0);
  if (!updating) FMemo->Refresh();
}

AnsiString TMemoStrings::GetTextStr() { return FMemo->Text(); }

void TMemoStrings::SetTextStr(const AnsiString& text) {
  AnsiString adjusted = AdjustLineBreaks(text);
  if (adjusted != FMemo->Text()) FMemo->SetText(adjusted);
}

// ---------------------------------------------------------------------------
// TCustomMemo

CL_BEGIN_MESSAGE_MAP(TCustomMemo, TCustomEdit)
  CL_MESSAGE(WM_GETDLGCODE, WMGetDlgCode)
CL_END_MESSAGE_MAP

TCustomMemo::TCustomMemo(TComponent* owner) : TCustomEdit(owner), FLines(new TMemoStrings(this)) {
  SetBounds(Left(), Top(), 185, 89);
  FAutoSize = false;
  FControlStyle &= ~csFixedHeight;
}

TCustomMemo::~TCustomMemo() { delete FLines; }

void TCustomMemo::SetLinesObject(TStrings* lines) {
  delete FLines;
  FLines = lines;
}

void TCustomMemo::CreateParams(TCreateParams& params) {
  TCustomEdit::CreateParams(params);
  static const DWORD scrollBars[] = {0, WS_HSCROLL, WS_VSCROLL, WS_HSCROLL | WS_VSCROLL};
  static const DWORD alignments[] = {ES_LEFT, ES_RIGHT, ES_CENTER};
  params.Style &= ~ES_AUTOHSCROLL;
  params.Style |= ES_MULTILINE | scrollBars[FScrollBars] | alignments[FAlignment];
  if (!FWordWrap || FScrollBars == ssHorizontal || FScrollBars == ssBoth) params.Style |= ES_AUTOHSCROLL;
}

void TCustomMemo::SetScrollBars(TScrollStyle v) {
  if (v == FScrollBars) return;
  FScrollBars = v;
  RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool v) {
  if (v == FWordWrap) return;
  FWordWrap = v;
  RecreateWnd();
}

void TCustomMemo::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  RecreateWnd();
}

void TCustomMemo::WMGetDlgCode(TMessage& m) {
  InheritedMsg(&TCustomEdit::MessageMap, m);
  if (FWantTabs)
    m.Result |= DLGC_WANTTAB;
  else
    m.Result &= ~DLGC_WANTTAB;
  if (!FWantReturns) m.Result &= ~DLGC_WANTALLKEYS;
}

// ---------------------------------------------------------------------------
// TButtonControl and its action link

CL_BEGIN_MESSAGE_MAP(TButtonControl, TWinControl)
  CL_MESSAGE(WM_LBUTTONUP, WMLButtonUp)
  CL_MESSAGE(WM_RBUTTONUP, WMRButtonUp)
CL_END_MESSAGE_MAP

const TMetaClass* TButtonControl::GetActionLinkClass() { return &TButtonActionLink::Class; }

void TButtonControl::ActionChange(TObject* sender, bool checkDefaults) {
  TWinControl::ActionChange(sender, checkDefaults);
  if (sender && sender->Is<TCustomAction>()) {
    TCustomAction* action = static_cast<TCustomAction*>(sender);
    if (!checkDefaults || !GetChecked()) {
      bool saved = FClicksDisabled;
      FClicksDisabled = true;
      SetChecked(action->Checked());
      FClicksDisabled = saved;
    }
  }
}

void TButtonControl::MouseUpAfterDefault(TMessage& m, TMouseButton button) {
  // The default procedure releases the capture and sends BN_CLICKED (a check
  // box toggles then); the mouse-up event comes after it.
  DefWndProc(m);
  if (FControlState & csMouseUpSynthesised) return;
  if (!(FControlStyle & csNoStdEvents)) MouseUp(button, KeysToShiftState(MouseKeys(m)), MouseX(m), MouseY(m));
}

void TButtonControl::WMLButtonUp(TMessage& m) {
  FControlState &= ~csLButtonDown;
  MouseUpAfterDefault(m, mbLeft);
}

void TButtonControl::WMRButtonUp(TMessage& m) { MouseUpAfterDefault(m, mbRight); }

void TButtonActionLink::AssignClient(TObject* client) {
  TWinControlActionLink::AssignClient(client);
  FButton = client ? client->As<TButtonControl>() : nullptr;
}

bool TButtonActionLink::IsCheckedLinked() {
  TCustomAction* action = CustomAction();
  return TWinControlActionLink::IsCheckedLinked() && action && FButton && FButton->GetChecked() == action->Checked();
}

void TButtonActionLink::SetChecked(bool value) {
  if (!IsCheckedLinked()) return;
  bool saved = FButton->ClicksDisabled();
  FButton->SetClicksDisabled(true);
  FButton->SetChecked(value);
  FButton->SetClicksDisabled(saved);
}

// ---------------------------------------------------------------------------
// TButton

CL_BEGIN_MESSAGE_MAP(TButton, TButtonControl)
  CL_MESSAGE(CN_COMMAND, CNCommand)
  CL_MESSAGE(CM_DIALOGKEY, CMDialogKey)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
  CL_MESSAGE(CM_FOCUSCHANGED, CMFocusChanged)
  CL_MESSAGE(CN_CTLCOLORBTN, CNCtlColorBtn)
CL_END_MESSAGE_MAP

TButton::TButton(TComponent* owner) : TButtonControl(owner) {
  FControlStyle = csSetCaption | csDoubleClicks;
  SetBounds(0, 0, 75, 25);
  FTabStop = true;
}

void TButton::CreateParams(TCreateParams& params) {
  TButtonControl::CreateParams(params);
  CreateSubClass(params, "BUTTON");
  params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::CreateWnd() {
  TButtonControl::CreateWnd();
  FActive = FDefault;
}

void TButton::SetDefault(bool v) {
  if (v == FDefault) return;
  FDefault = v;
  if (!HandleAllocated()) return;
  // The form tells every button who has the focus; each decides its look.
  if (TCustomForm* form = GetParentForm(this))
    form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
  else
    SetButtonStyle(FDefault);
}

void TButton::SetButtonStyle(bool isDefault) {
  if (!HandleAllocated()) return;
  DWORD style = isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  if ((GetWindowLongA(WindowHandle(), GWL_STYLE) & 0x0F) != static_cast<LONG>(style))
    SendMessageA(WindowHandle(), BM_SETSTYLE, style, 1);
}

void TButton::Click() {
  if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(FModalResult);
  TButtonControl::Click();
}

void TButton::CNCommand(TMessage& m) {
  if (CmdNotify(m) == BN_CLICKED) Click();
}

void TButton::CMDialogKey(TMessage& m) {
  WORD key = static_cast<WORD>(m.WParam);
  if (((key == VK_RETURN && FActive) || (key == VK_ESCAPE && FCancel)) && KeyDataToShiftState(m.LParam) == 0 &&
      CanFocus()) {
    Click();
    m.Result = 1;
    return;
  }
  InheritedMsg(&TButtonControl::MessageMap, m);
}

void TButton::CMDialogChar(TMessage& m) {
  if (IsAccel(static_cast<WORD>(m.WParam), GetText()) && CanFocus()) {
    Click();
    m.Result = 1;
    return;
  }
  InheritedMsg(&TButtonControl::MessageMap, m);
}

void TButton::CMFocusChanged(TMessage& m) {
  TObject* sender = reinterpret_cast<TObject*>(m.LParam);
  if (sender && sender->Is<TButton>())
    FActive = sender == this;
  else
    FActive = FDefault;
  SetButtonStyle(FActive);
  InheritedMsg(&TButtonControl::MessageMap, m);
}

void TButton::CNCtlColorBtn(TMessage& m) {
  SetBkColor(reinterpret_cast<HDC>(m.WParam), ColorToRGB(Color()));
  m.Result = reinterpret_cast<LRESULT>(Brush()->Handle());
}

// ---------------------------------------------------------------------------
// TCustomCheckBox

CL_BEGIN_MESSAGE_MAP(TCustomCheckBox, TButtonControl)
  CL_MESSAGE(CN_COMMAND, CNCommand)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
CL_END_MESSAGE_MAP

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) {
  FControlStyle = csSetCaption | csDoubleClicks;
  SetBounds(0, 0, 97, 17);
  FTabStop = true;
}

void TCustomCheckBox::CreateParams(TCreateParams& params) {
  TButtonControl::CreateParams(params);
  CreateSubClass(params, "BUTTON");
  // The library toggles the state itself (on BN_CLICKED), so the window must not.
  params.Style |= BS_3STATE;
  if (FAlignment == taLeftJustify) params.Style |= BS_LEFTTEXT;
}

void TCustomCheckBox::CreateWnd() {
  TButtonControl::CreateWnd();
  SendMessageA(WindowHandle(), BM_SETCHECK, FState, 0);
}

void TCustomCheckBox::SetState(TCheckBoxState v) {
  if (v == FState) return;
  FState = v;
  if (HandleAllocated()) SendMessageA(WindowHandle(), BM_SETCHECK, v, 0);
  if (!FClicksDisabled) Click();
}

void TCustomCheckBox::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  RecreateWnd();
}

void TCustomCheckBox::Toggle() {
  switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCustomCheckBox::CNCommand(TMessage& m) {
  if (CmdNotify(m) == BN_CLICKED) Toggle();
}

void TCustomCheckBox::CMDialogChar(TMessage& m) {
  if (IsAccel(static_cast<WORD>(m.WParam), GetText()) && CanFocus()) {
    SetFocus();
    if (Focused()) Toggle();
    m.Result = 1;
    return;
  }
  InheritedMsg(&TButtonControl::MessageMap, m);
}

// ---------------------------------------------------------------------------
// TRadioButton

CL_BEGIN_MESSAGE_MAP(TRadioButton, TButtonControl)
  CL_MESSAGE(CN_COMMAND, CNCommand)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
CL_END_MESSAGE_MAP

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {
  FControlStyle = csSetCaption | csDoubleClicks;
  SetBounds(0, 0, 113, 17);
  FTabStop = true;
}

void TRadioButton::CreateParams(TCreateParams& params) {
  TButtonControl::CreateParams(params);
  CreateSubClass(params, "BUTTON");
  // The library checks the button itself (on BN_CLICKED) and its siblings off.
  params.Style |= BS_RADIOBUTTON;
  if (FAlignment == taLeftJustify) params.Style |= BS_LEFTTEXT;
}

void TRadioButton::CreateWnd() {
  TButtonControl::CreateWnd();
  SendMessageA(WindowHandle(), BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioButton::SetChecked(bool v) {
  if (v == FChecked) return;
  FChecked = v;
  if (HandleAllocated()) SendMessageA(WindowHandle(), BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!v) return;
  if (TWinControl* parent = Parent())
    for (int i = 0; i < parent->ControlCount(); ++i) {
      TControl* sibling = parent->Controls(i);
      if (sibling != this && sibling->Is<TRadioButton>()) static_cast<TRadioButton*>(sibling)->SetChecked(false);
    }
  if (!FClicksDisabled) Click();
}

void TRadioButton::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  RecreateWnd();
}

void TRadioButton::CNCommand(TMessage& m) {
  switch (CmdNotify(m)) {
    case BN_CLICKED:
      SetChecked(true);
      break;
    case BN_DOUBLECLICKED:
      DblClick();
      break;
    default:
      break;
  }
}

void TRadioButton::CMDialogChar(TMessage& m) {
  if (IsAccel(static_cast<WORD>(m.WParam), GetText()) && CanFocus()) {
    SetFocus();
    m.Result = 1;
    return;
  }
  InheritedMsg(&TButtonControl::MessageMap, m);
}

// ---------------------------------------------------------------------------
// TCustomGroupBox

CL_BEGIN_MESSAGE_MAP(TCustomGroupBox, TCustomControl)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
  CL_MESSAGE(CM_FONTCHANGED, CMFontChanged)
CL_END_MESSAGE_MAP

namespace {
// The height of "0" in a font, measured on the screen.
int CaptionHeight(TFont* font) {
  SIZE size{};
  GetTextExtentPoint32A(TScreenFontDC(font).Handle(), "0", 1, &size);
  return size.cy;
}
}  // namespace

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TCustomControl(owner) {
  FControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks | csReplicatable;
  SetBounds(0, 0, 185, 105);
}

void TCustomGroupBox::AdjustClientRect(TRect& rect) {
  TCustomControl::AdjustClientRect(rect);
  rect.top += CaptionHeight(Font());
  InflateRect(&rect, -1, -1);
  if (Ctl3D()) InflateRect(&rect, -1, -1);
}

void TCustomGroupBox::Paint() {
  TCanvas* c = Canvas();
  c->SetFont(Font());
  const int h = CaptionHeight(Font());
  TRect r(0, h / 2 - 1, Width(), Height());
  if (Ctl3D()) {
    ++r.left;
    ++r.top;
    c->Brush()->SetColor(clBtnHighlight);
    c->FrameRect(r);
    OffsetRect(&r, -1, -1);
    c->Brush()->SetColor(clBtnShadow);
  } else {
    c->Brush()->SetColor(clWindowFrame);
  }
  c->FrameRect(r);
  AnsiString text = GetText();
  if (text.IsEmpty()) return;
  TRect t(8, 0, 0, h);
  UINT flags = static_cast<UINT>(DrawTextBiDiModeFlags(DT_SINGLELINE));
  c->RequiredState(csHandleValid | csFontValid);
  DrawTextA(c->Handle(), text.c_str(), text.Length(), &t, flags | DT_CALCRECT);
  c->Brush()->SetColor(Color());
  c->RequiredState(csAllValid);
  DrawTextA(c->Handle(), text.c_str(), text.Length(), &t, flags);
}

void TCustomGroupBox::CMDialogChar(TMessage& m) {
  if (IsAccel(static_cast<WORD>(m.WParam), GetText()) && CanFocus()) {
    SelectFirst();
    m.Result = 1;
    return;
  }
  InheritedMsg(&TCustomControl::MessageMap, m);
}

void TCustomGroupBox::CMTextChanged(TMessage&) { Invalidate(); }

void TCustomGroupBox::CMFontChanged(TMessage& m) {
  InheritedMsg(&TCustomControl::MessageMap, m);
  Realign();
}

// ---------------------------------------------------------------------------
// TCustomStaticText

CL_BEGIN_MESSAGE_MAP(TCustomStaticText, TWinControl)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
  CL_MESSAGE(CM_FONTCHANGED, CMFontChanged)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
CL_END_MESSAGE_MAP

TCustomStaticText::TCustomStaticText(TComponent* owner) : TWinControl(owner) {
  FControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csReplicatable | csDoubleClicks;
  SetBounds(0, 0, 65, 17);
  FAutoSize = true;
  AdjustBounds();
}

void TCustomStaticText::CreateParams(TCreateParams& params) {
  static const DWORD alignments[] = {SS_LEFT, SS_RIGHT, SS_CENTER};
  TWinControl::CreateParams(params);
  CreateSubClass(params, "STATIC");
  params.Style |= SS_NOTIFY | alignments[FAlignment];
  if (FBorderStyle == sbsSingle) params.Style |= WS_BORDER;
  if (FBorderStyle == sbsSunken) params.Style |= SS_SUNKEN;
  if (!FShowAccelChar) params.Style |= SS_NOPREFIX;
}

void TCustomStaticText::AdjustBounds() {
  if ((ComponentState() & csLoading) || !FAutoSize) return;
  AnsiString text = GetText();
  SIZE size{};
  GetTextExtentPoint32A(TScreenFontDC(Font()).Handle(), text.c_str(), text.Length(), &size);
  FitToTextExtent(size);
}

void TCustomStaticText::FitToTextExtent(const SIZE& textExtent) {
  SetBounds(Left(), Top(), textExtent.cx + GetSystemMetrics(SM_CXBORDER) * 4,
            textExtent.cy + GetSystemMetrics(SM_CYBORDER) * 4);
}

void TCustomStaticText::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  RecreateWnd();
}

void TCustomStaticText::SetBorderStyle(TStaticBorderStyle v) {
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  RecreateWnd();
}

void TCustomStaticText::SetFocusControl(TWinControl* v) {
  if (v == FFocusControl) return;
  if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = v;
  if (v) v->FreeNotification(this);
}

void TCustomStaticText::SetShowAccelChar(bool v) {
  if (v == FShowAccelChar) return;
  FShowAccelChar = v;
  RecreateWnd();
}

void TCustomStaticText::SetAutoSize(bool v) {
  TWinControl::SetAutoSize(v);
  AdjustBounds();
}

void TCustomStaticText::Loaded() {
  TWinControl::Loaded();
  AdjustBounds();
}

void TCustomStaticText::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == FFocusControl) FFocusControl = nullptr;
}

void TCustomStaticText::CMTextChanged(TMessage&) {
  Invalidate();
  AdjustBounds();
}

void TCustomStaticText::CMFontChanged(TMessage& m) {
  InheritedMsg(&TWinControl::MessageMap, m);
  AdjustBounds();
}

void TCustomStaticText::CMDialogChar(TMessage& m) {
  FocusNamedControl(this, m, [&](WORD key) { return IsAccel(key, GetText()); });
}

// ---------------------------------------------------------------------------
// TScrollBar

CL_BEGIN_MESSAGE_MAP(TScrollBar, TWinControl)
  CL_MESSAGE(CN_HSCROLL, CNHScroll)
  CL_MESSAGE(CN_VSCROLL, CNVScroll)
CL_END_MESSAGE_MAP

TScrollBar::TScrollBar(TComponent* owner) : TWinControl(owner) {
  FControlStyle = csFramed | csDoubleClicks | csOpaque;
  SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
  FTabStop = true;
}

void TScrollBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, "SCROLLBAR");
  params.Style |= FKind == sbVertical ? SBS_VERT : SBS_HORZ;
}

void TScrollBar::CreateWnd() {
  TWinControl::CreateWnd();
  SendScrollInfo();
}

void TScrollBar::SendScrollInfo() {
  if (!HandleAllocated()) return;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  si.nMin = FMin;
  si.nMax = FMax;
  si.nPage = static_cast<UINT>(FPageSize);
  si.nPos = FPosition;
  SetScrollInfo(WindowHandle(), SB_CTL, &si, TRUE);
}

void TScrollBar::SetKind(TScrollBarKind v) {
  if (v == FKind) return;
  FKind = v;
  if (!(ComponentState() & csLoading)) SetBounds(Left(), Top(), Height(), Width());
  RecreateWnd();
}

void TScrollBar::SetParams(int position, int min, int max) {
  if (max < min) throw EInvalidOperation("Scroll bar property out of range");
  if (position < min) position = min;
  if (position > max) position = max;
  bool moved = position != FPosition;
  if (!moved && min == FMin && max == FMax) return;
  FMin = min;
  FMax = max;
  FPosition = position;
  SendScrollInfo();
  if (moved) Change();
}

void TScrollBar::SetPageSize(int v) {
  if (v == FPageSize || v < 0) return;
  FPageSize = v;
  SendScrollInfo();
}

void TScrollBar::Change() {
  TControl::Changed();
  if (OnChange) OnChange(this);
}

void TScrollBar::Scroll(TScrollCode code, int& scrollPos) {
  if (OnScroll) OnScroll(this, code, scrollPos);
}

void TScrollBar::DoScroll(TMessage& m) {
  int pos = FPosition;
  TScrollCode code = scEndScroll;
  switch (LOWORD(m.WParam)) {
    case SB_LINEUP: code = scLineUp; pos -= FSmallChange; break;
    case SB_LINEDOWN: code = scLineDown; pos += FSmallChange; break;
    case SB_PAGEUP: code = scPageUp; pos -= FLargeChange; break;
    case SB_PAGEDOWN: code = scPageDown; pos += FLargeChange; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      code = LOWORD(m.WParam) == SB_THUMBTRACK ? scTrack : scPosition;
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_TRACKPOS;
      pos = GetScrollInfo(WindowHandle(), SB_CTL, &si) ? si.nTrackPos : static_cast<int>(HIWORD(m.WParam));
      break;
    }
    case SB_TOP: code = scTop; pos = FMin; break;
    case SB_BOTTOM: code = scBottom; pos = FMax; break;
    default: break;
  }
  if (pos < FMin) pos = FMin;
  if (pos > FMax) pos = FMax;
  Scroll(code, pos);
  SetPosition(pos);
}

void TScrollBar::CNHScroll(TMessage& m) { DoScroll(m); }
void TScrollBar::CNVScroll(TMessage& m) { DoScroll(m); }

// ---------------------------------------------------------------------------

namespace {
const char* const AlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};
const char* const LayoutNames[] = {"tlTop", "tlCenter", "tlBottom"};
const char* const ScrollStyleNames[] = {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};
const char* const CheckBoxStateNames[] = {"cbUnchecked", "cbChecked", "cbGrayed"};
const char* const BorderStyleNames[] = {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow",
                                        "bsSizeToolWin"};
}  // namespace

void UnitInit_stdctrls() {
  RegisterClasses({&TLabel::Class, &TEdit::Class, &TMemo::Class, &TButton::Class, &TCheckBox::Class});
  RegisterActionLinkClass(&TButtonActionLink::Class, &NewActionLink<TButtonActionLink>);

  const TMetaClass* c = &TCustomLabel::Class;
  RegisterProperty(c, "Alignment", TPropType::Enum(AlignmentNames), &TCustomLabel::SetAlignment, &TCustomLabel::Alignment);
  RegisterProperty(c, "FocusControl", pkComponent, &TCustomLabel::SetFocusControl, &TCustomLabel::FocusControl);
  RegisterProperty(c, "Layout", TPropType::Enum(LayoutNames), &TCustomLabel::SetLayout, &TCustomLabel::Layout);
  RegisterProperty(c, "ShowAccelChar", pkBool, &TCustomLabel::SetShowAccelChar, &TCustomLabel::ShowAccelChar);
  RegisterProperty(c, "Transparent", pkBool, &TCustomLabel::SetTransparent, &TCustomLabel::Transparent);
  RegisterProperty(c, "WordWrap", pkBool, &TCustomLabel::SetWordWrap, &TCustomLabel::WordWrap);

  c = &TCustomEdit::Class;
  RegisterProperty(c, "AutoSelect", pkBool, &TCustomEdit::SetAutoSelect, &TCustomEdit::AutoSelect);
  RegisterProperty(c, "BorderStyle", TPropType::Enum(BorderStyleNames), &TCustomEdit::SetBorderStyle,
                   &TCustomEdit::BorderStyle);
  RegisterProperty(c, "HideSelection", pkBool, &TCustomEdit::SetHideSelection, &TCustomEdit::HideSelection);
  RegisterProperty(c, "OnChange", pkEvent, &TCustomEdit::SetOnChange, &TCustomEdit::GetOnChange);
  RegisterProperty(c, "MaxLength", pkInteger, &TCustomEdit::SetMaxLength, &TCustomEdit::MaxLength);
  RegisterProperty(c, "PasswordChar", pkChar, &TCustomEdit::SetPasswordChar, &TCustomEdit::PasswordChar);
  RegisterProperty(c, "ReadOnly", pkBool, &TCustomEdit::SetReadOnly, &TCustomEdit::ReadOnly);

  c = &TCustomMemo::Class;
  RegisterProperty(c, "Alignment", TPropType::Enum(AlignmentNames), &TCustomMemo::SetAlignment, &TCustomMemo::Alignment);
  RegisterProperty(c, "Lines", pkStrings, nullptr, &TCustomMemo::Lines);
  RegisterProperty(c, "ScrollBars", TPropType::Enum(ScrollStyleNames), &TCustomMemo::SetScrollBars,
                   &TCustomMemo::ScrollBars);
  RegisterProperty(c, "WantReturns", pkBool, &TCustomMemo::SetWantReturns, &TCustomMemo::WantReturns);
  RegisterProperty(c, "WantTabs", pkBool, &TCustomMemo::SetWantTabs, &TCustomMemo::WantTabs);
  RegisterProperty(c, "WordWrap", pkBool, &TCustomMemo::SetWordWrap, &TCustomMemo::WordWrap);

  c = &TButton::Class;
  RegisterProperty(c, "Cancel", pkBool, &TButton::SetCancel, &TButton::Cancel);
  RegisterProperty(c, "Default", pkBool, &TButton::SetDefault, &TButton::Default);
  RegisterProperty(c, "ModalResult", pkInteger, &TButton::SetModalResult, &TButton::ModalResult);

  c = &TCustomCheckBox::Class;
  RegisterProperty(c, "Alignment", TPropType::Enum(AlignmentNames), &TCustomCheckBox::SetAlignment,
                   &TCustomCheckBox::Alignment);
  RegisterProperty(c, "AllowGrayed", pkBool, &TCustomCheckBox::SetAllowGrayed, &TCustomCheckBox::AllowGrayed);
  RegisterProperty(c, "Checked", pkBool, &TCustomCheckBox::SetChecked, &TCustomCheckBox::GetChecked);
  RegisterProperty(c, "State", TPropType::Enum(CheckBoxStateNames), &TCustomCheckBox::SetState, &TCustomCheckBox::State);
}

void UnitFini_stdctrls() {}
