// The standard controls: the windowless label, the edit and multi-line edit,
// push buttons and check boxes (system EDIT and BUTTON windows).
#pragma once

#include "controls.h"

enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout : uint8_t { tlTop, tlCenter, tlBottom };
enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TCheckBoxState : uint8_t { cbUnchecked, cbChecked, cbGrayed };
enum TEditCharCase : uint8_t { ecNormal, ecUpperCase, ecLowerCase };

// What an owner-drawn item is (the ODS_ bits of the system, named).
using TOwnerDrawState = uint16_t;
enum : uint16_t {
  odSelected = 0x001, odGrayed = 0x002, odDisabled = 0x004, odChecked = 0x008, odFocused = 0x010,
  odDefault = 0x020, odHotLight = 0x040, odInactive = 0x080, odNoAccel = 0x100, odNoFocusRect = 0x200,
  odComboBoxEdit = 0x1000
};

// The texts of EOutOfResources for a line longer than a line read can take
// (65535 characters) and for a line the control did not take.
extern const char* const SLineTooLong;
extern const char* const SInsertLineError;

// The screen's device context with a font selected, for measuring text before
// a control has a window; both are let go when the object ends.
class TScreenFontDC {
public:
  explicit TScreenFontDC(TFont* font) : FDC(GetDC(nullptr)), FOld(SelectObject(FDC, font->Handle())) {}
  ~TScreenFontDC() {
    SelectObject(FDC, FOld);
    ReleaseDC(nullptr, FDC);
  }
  TScreenFontDC(const TScreenFontDC&) = delete;
  TScreenFontDC& operator=(const TScreenFontDC&) = delete;
  HDC Handle() const { return FDC; }

private:
  HDC FDC;
  HGDIOBJ FOld;
};

// The hot key of a label or a static text: when isAccel(key) holds for the
// message's key, the focus control the label names takes the focus and the
// message is answered. The text is only looked at for an enabled label that
// shows its accelerator and names a control.
template <class TLabelLike, class IsAccelKey>
void FocusNamedControl(TLabelLike* label, TMessage& message, IsAccelKey&& isAccel) {
  TWinControl* focus = label->FocusControl();
  if (focus && label->Enabled() && label->ShowAccelChar() && isAccel(static_cast<WORD>(message.WParam)) &&
      focus->CanFocus()) {
    focus->SetFocus();
    message.Result = 1;
  }
}

// ---------------------------------------------------------------------------
// Label: text drawn on the parent's window.

class TCustomLabel : public TGraphicControl {
  CL_CLASS(TCustomLabel, TGraphicControl)
  CL_DECLARE_MESSAGE_MAP(TCustomLabel)
public:
  explicit TCustomLabel(TComponent* owner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout v);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);
  // Off: '&' is shown as it is (DT_NOPREFIX).
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool v);
  // The control that gets the focus when the label's hot key is pressed.
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* v);
  // Transparent: the parent shows through (csOpaque off).
  bool Transparent() const { return !(FControlStyle & csOpaque); }
  void SetTransparent(bool v);
  void SetAutoSize(bool v) override;

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // Draws (or, with DT_CALCRECT, measures into rect) the label's text.
  virtual void DoDrawText(TRect& rect, UINT flags);
  // The width the text takes as the label draws it: its own drawing call in
  // its own font, drawn aside, to its last inked column and one column of
  // background after it, never less than the measured width. Some fonts draw past the widths the
  // measuring calls report (Wine's bold Tahoma of 12 pixels by 4 pixels on a
  // line of 16 characters), which a label sized by them cuts off.
  int DrawnTextWidth();
  virtual AnsiString GetLabelText();

protected:
  void Paint() override;
  // With AutoSize, fits the bounds to the text, keeping the side the text is
  // aligned to.
  virtual void AdjustBounds();
  // The flags the label draws its text with (tabs expanded, words wrapped
  // when it wraps), and the rectangle its text measures in them.
  UINT TextFlags() const;
  TRect MeasuredTextRect();
  void CMTextChanged(TMessage& m);
  void CMFontChanged(TMessage& m);
  void CMDialogChar(TMessage& m);

  TAlignment FAlignment = taLeftJustify;
  TTextLayout FLayout = tlTop;
  bool FWordWrap = false;
  bool FShowAccelChar = true;
  TWinControl* FFocusControl = nullptr;
};

class TLabel : public TCustomLabel {
  CL_CLASS(TLabel, TCustomLabel)
public:
  explicit TLabel(TComponent* owner) : TCustomLabel(owner) {}
};

// ---------------------------------------------------------------------------
// Edit: the system EDIT control.

class TCustomEdit : public TWinControl {
  CL_CLASS(TCustomEdit, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TCustomEdit)
public:
  explicit TCustomEdit(TComponent* owner);

  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool v) { FAutoSelect = v; }
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool v);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle v);
  // 0 = no limit beyond the system's.
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int v);
  char PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(char v);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v);
  bool Modified();
  void SetModified(bool v);
  void SetAutoSize(bool v) override;

  // Selection in characters of the window (EM_GETSEL / EM_SETSEL, sent
  // through the window's whole procedure chain).
  virtual int GetSelStart();
  virtual void SetSelStart(int v);
  virtual int GetSelLength();
  virtual void SetSelLength(int v);
  virtual AnsiString GetSelText();
  virtual void SetSelText(const AnsiString& v);
  int SelStart() { return GetSelStart(); }
  int SelLength() { return GetSelLength(); }
  AnsiString SelText() { return GetSelText(); }

  void SelectAll();
  void Clear();
  void ClearSelection();
  void Undo();
  bool CanUndo();
  void ClearUndo();

  TNotifyEvent OnChange;
  TNotifyEvent GetOnChange() const { return OnChange; }
  void SetOnChange(TNotifyEvent v) { OnChange = v; }

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  virtual void Change();
  // Tells the window MaxLength (EM_LIMITTEXT; the rich edit has its own message).
  virtual void SendMaxLength();
  // With AutoSize, the height of one line of the font plus the borders.
  void AdjustHeight();
  void CNCommand(TMessage& m);
  void CMEnter(TMessage& m);
  void CMFontChanged(TMessage& m);
  // The focus a re-created window gets back is no entering: the selection
  // it had stays.
  void CMRecreateWnd(TMessage& m);

  TBorderStyle FBorderStyle = bsSingle;
  int FMaxLength = 0;
  char FPasswordChar = 0;
  bool FReadOnly = false;
  bool FAutoSelect = true;
  bool FHideSelection = true;
  bool FModified = false;
  bool FCreating = false;
  bool FRecreating = false;
  int FSavedSelStart = 0;
  int FSavedSelLength = 0;
};

class TEdit : public TCustomEdit {
  CL_CLASS(TEdit, TCustomEdit)
public:
  explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

// ---------------------------------------------------------------------------
// Multi-line edit.

class TCustomMemo;

// The lines of a memo, read from and written to its window.
class TMemoStrings : public TStrings {
  CL_CLASS(TMemoStrings, TStrings)
public:
  explicit TMemoStrings(TCustomMemo* memo) : FMemo(memo) {}
  AnsiString Get(int index) override;
  int GetCount() override;
  void Clear() override;
  void Delete(int index) override;
  // EOutOfResources "Unable to insert a line" when the control took nothing
  // of it (its text limit is reached).
  void Insert(int index, const AnsiString& s) override;
  void Put(int index, const AnsiString& s) override;
  void SetUpdateState(bool updating) override;
  AnsiString GetTextStr() override;
  void SetTextStr(const AnsiString& text) override;

protected:
  TCustomMemo* FMemo;
};

class TCustomMemo : public TCustomEdit {
  CL_CLASS(TCustomMemo, TCustomEdit)
  CL_DECLARE_MESSAGE_MAP(TCustomMemo)
public:
  explicit TCustomMemo(TComponent* owner);
  ~TCustomMemo() override;

  TStrings* Lines() const { return FLines; }
  void SetLines(TStrings* v) { FLines->Assign(v); }
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle v);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool v) { FWantReturns = v; }
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool v) { FWantTabs = v; }
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);

protected:
  void CreateParams(TCreateParams& params) override;
  void WMGetDlgCode(TMessage& m);
  // Derived memos (the rich edit) keep their lines in their own list class.
  void SetLinesObject(TStrings* lines);

  TStrings* FLines;
  TScrollStyle FScrollBars = ssNone;
  TAlignment FAlignment = taLeftJustify;
  bool FWordWrap = true;
  bool FWantReturns = true;
  bool FWantTabs = false;
};

class TMemo : public TCustomMemo {
  CL_CLASS(TMemo, TCustomMemo)
public:
  explicit TMemo(TComponent* owner) : TCustomMemo(owner) {}
};

// ---------------------------------------------------------------------------
// Buttons.

class TButtonControl : public TWinControl {
  CL_CLASS(TButtonControl, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TButtonControl)
public:
  explicit TButtonControl(TComponent* owner) : TWinControl(owner) {}
  virtual bool GetChecked() { return false; }
  virtual void SetChecked(bool v) { (void)v; }
  bool Checked() { return GetChecked(); }
  // While set, a change of Checked does not count as a click.
  bool ClicksDisabled() const { return FClicksDisabled; }
  void SetClicksDisabled(bool v) { FClicksDisabled = v; }

protected:
  const TMetaClass* GetActionLinkClass() override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  // The button's default procedure runs first, so that OnMouseUp sees the
  // state the button took (a check box toggles during it).
  void WMLButtonUp(TMessage& m);
  void WMRButtonUp(TMessage& m);
  void MouseUpAfterDefault(TMessage& m, TMouseButton button);

  bool FClicksDisabled = false;
};

class TButtonActionLink : public TWinControlActionLink {
  CL_CLASS(TButtonActionLink, TWinControlActionLink)
public:
  using TWinControlActionLink::TWinControlActionLink;
  bool IsCheckedLinked() override;
  void SetChecked(bool value) override;

protected:
  void AssignClient(TObject* client) override;
  TButtonControl* FButton = nullptr;
};

class TButton : public TButtonControl {
  CL_CLASS(TButton, TButtonControl)
  CL_DECLARE_MESSAGE_MAP(TButton)
public:
  explicit TButton(TComponent* owner);

  // Enter clicks the default button (unless another button has the focus).
  bool Default() const { return FDefault; }
  void SetDefault(bool v);
  // Esc clicks the cancel button.
  bool Cancel() const { return FCancel; }
  void SetCancel(bool v) { FCancel = v; }
  // Given to the form when the button is clicked (closes a modal form).
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int v) { FModalResult = v; }
  // Whether the button shows itself as the one Enter clicks.
  bool Active() const { return FActive; }

  void Click() override;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  virtual void SetButtonStyle(bool isDefault);
  void CNCommand(TMessage& m);
  void CMDialogKey(TMessage& m);
  void CMDialogChar(TMessage& m);
  void CMFocusChanged(TMessage& m);
  void CNCtlColorBtn(TMessage& m);

  bool FDefault = false;
  bool FCancel = false;
  bool FActive = false;
  int FModalResult = 0;
};

class TCustomCheckBox : public TButtonControl {
  CL_CLASS(TCustomCheckBox, TButtonControl)
  CL_DECLARE_MESSAGE_MAP(TCustomCheckBox)
public:
  explicit TCustomCheckBox(TComponent* owner);

  TCheckBoxState State() const { return FState; }
  // A change shows in the window and counts as a click.
  void SetState(TCheckBoxState v);
  bool GetChecked() override { return FState == cbChecked; }
  void SetChecked(bool v) override { SetState(v ? cbChecked : cbUnchecked); }
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool v) { FAllowGrayed = v; }
  // taRightJustify: the text to the right of the box (the usual place).
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  // Unchecked -> checked (or grayed when allowed) -> unchecked.
  virtual void Toggle();

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void CNCommand(TMessage& m);
  void CMDialogChar(TMessage& m);

  TCheckBoxState FState = cbUnchecked;
  TAlignment FAlignment = taRightJustify;
  bool FAllowGrayed = false;
};

class TCheckBox : public TCustomCheckBox {
  CL_CLASS(TCheckBox, TCustomCheckBox)
public:
  explicit TCheckBox(TComponent* owner) : TCustomCheckBox(owner) {}
};

// ---------------------------------------------------------------------------
// Radio button, group box, static text and scroll bar.

class TRadioButton : public TButtonControl {
  CL_CLASS(TRadioButton, TButtonControl)
  CL_DECLARE_MESSAGE_MAP(TRadioButton)
public:
  explicit TRadioButton(TComponent* owner);

  bool GetChecked() override { return FChecked; }
  // Checking one unchecks the other radio buttons of its parent; a change to
  // checked counts as a click.
  void SetChecked(bool v) override;
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void CNCommand(TMessage& m);
  void CMDialogChar(TMessage& m);

  bool FChecked = false;
  TAlignment FAlignment = taRightJustify;
};

// A frame with a caption around other controls, painted by the library.
class TCustomGroupBox : public TCustomControl {
  CL_CLASS(TCustomGroupBox, TCustomControl)
  CL_DECLARE_MESSAGE_MAP(TCustomGroupBox)
public:
  explicit TCustomGroupBox(TComponent* owner);

protected:
  // Children are placed below the caption and inside the frame.
  void AdjustClientRect(TRect& rect) override;
  void Paint() override;
  void CMDialogChar(TMessage& m);
  void CMTextChanged(TMessage& m);
  void CMFontChanged(TMessage& m);
};

class TGroupBox : public TCustomGroupBox {
  CL_CLASS(TGroupBox, TCustomGroupBox)
public:
  explicit TGroupBox(TComponent* owner) : TCustomGroupBox(owner) {}
};

enum TStaticBorderStyle : uint8_t { sbsNone, sbsSingle, sbsSunken };

// The system STATIC window with a caption that may size it.
class TCustomStaticText : public TWinControl {
  CL_CLASS(TCustomStaticText, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TCustomStaticText)
public:
  explicit TCustomStaticText(TComponent* owner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  TStaticBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TStaticBorderStyle v);
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* v);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool v);
  void SetAutoSize(bool v) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

protected:
  void CreateParams(TCreateParams& params) override;
  // With AutoSize, the caption's extent plus the borders.
  virtual void AdjustBounds();
  // The size of textExtent plus two borders on each side.
  void FitToTextExtent(const SIZE& textExtent);
  void CMTextChanged(TMessage& m);
  void CMFontChanged(TMessage& m);
  void CMDialogChar(TMessage& m);

  TAlignment FAlignment = taLeftJustify;
  TStaticBorderStyle FBorderStyle = sbsNone;
  TWinControl* FFocusControl = nullptr;
  bool FShowAccelChar = true;
};

class TStaticText : public TCustomStaticText {
  CL_CLASS(TStaticText, TCustomStaticText)
public:
  explicit TStaticText(TComponent* owner) : TCustomStaticText(owner) {}
};

enum TScrollBarKind : uint8_t { sbHorizontal, sbVertical };
enum TScrollCode : uint8_t { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom,
                             scEndScroll };
using TScrollEvent = TEvent<void(TObject* sender, TScrollCode code, int& scrollPos)>;

// The system SCROLLBAR window.
class TScrollBar : public TWinControl {
  CL_CLASS(TScrollBar, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TScrollBar)
public:
  explicit TScrollBar(TComponent* owner);

  TScrollBarKind Kind() const { return FKind; }
  void SetKind(TScrollBarKind v);
  int Min() const { return FMin; }
  void SetMin(int v) { SetParams(FPosition, v, FMax); }
  int Max() const { return FMax; }
  void SetMax(int v) { SetParams(FPosition, FMin, v); }
  int Position() const { return FPosition; }
  void SetPosition(int v) { SetParams(v, FMin, FMax); }
  // The position is kept within min..max; a change of it is reported.
  void SetParams(int position, int min, int max);
  int PageSize() const { return FPageSize; }
  void SetPageSize(int v);
  int SmallChange() const { return FSmallChange; }
  void SetSmallChange(int v) { FSmallChange = v; }
  int LargeChange() const { return FLargeChange; }
  void SetLargeChange(int v) { FLargeChange = v; }

  TNotifyEvent OnChange;
  TScrollEvent OnScroll;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  virtual void Change();
  virtual void Scroll(TScrollCode code, int& scrollPos);
  void SendScrollInfo();
  void CNHScroll(TMessage& m);
  void CNVScroll(TMessage& m);
  void DoScroll(TMessage& m);

  TScrollBarKind FKind = sbHorizontal;
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
  int FPageSize = 0;
  int FSmallChange = 1;
  int FLargeChange = 1;
};

void UnitInit_stdctrls();
void UnitFini_stdctrls();
