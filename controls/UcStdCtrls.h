// Edits, memos, labels, push buttons and check boxes with wide captions,
// texts, selections and hints. The windowed ones are Unicode windows of the
// system classes; the label draws its wide caption itself. The edit routines
// are free functions on any class-library edit, so that the rich edit and the
// labeled edit share them.
#pragma once

#include "stdctrls.h"

#include "UcClasses.h"
#include "UcControls.h"
#include "UcSysUtils.h"

// ===========================================================================
// Edit routines

// The Unicode "EDIT" window of an edit or memo. Under a Far-East ANSI system
// a read-only edit is made writable and set read-only afterwards.
void UcCustomEdit_CreateWindowHandle(TCustomEdit* edit, const TCreateParams& params);
// After the class library's CreateWnd: the wide password character.
void UcCustomEdit_AfterInherited_CreateWnd(TCustomEdit* edit, wchar_t& passwordChar);
// Selection in wide characters (on an ANSI platform converted from the
// window's bytes).
int UcCustomEdit_GetSelStart(TCustomEdit* edit);
void UcCustomEdit_SetSelStart(TCustomEdit* edit, int value);
int UcCustomEdit_GetSelLength(TCustomEdit* edit);
void UcCustomEdit_SetSelLength(TCustomEdit* edit, int value);
WideString UcCustomEdit_GetSelText(TCustomEdit* edit);
// Replaces the selection (EM_REPLACESEL).
void UcCustomEdit_SetSelText(TCustomEdit* edit, const WideString& value);
// The wide password character kept in passwordChar; the class library's
// ANSI one set behind it wins. Characters from 256 up show "*" to ANSI readers.
wchar_t UcCustomEdit_GetPasswordChar(TCustomEdit* edit, wchar_t& passwordChar);
void UcCustomEdit_SetPasswordChar(TCustomEdit* edit, wchar_t& passwordChar, wchar_t value);
// EM_LINEINDEX of a line (-1 when there is no such line).
int UcMemo_LineStart(HWND wnd, int index);
// EM_LINELENGTH of a line; start -1 looks the line's start up, a negative
// start gives 0.
int UcMemo_LineLength(HWND wnd, int index, int start = -1);

// The wide selection and password character of an edit class, inside its
// body; passwordChar is its member that keeps the wide password character.
#define UC_WIDE_EDIT_MEMBERS(passwordChar)                                                           \
  int GetSelStart() override { return UcCustomEdit_GetSelStart(this); }                              \
  void SetSelStart(int value) override { UcCustomEdit_SetSelStart(this, value); }                    \
  int GetSelLength() override { return UcCustomEdit_GetSelLength(this); }                            \
  void SetSelLength(int value) override { UcCustomEdit_SetSelLength(this, value); }                  \
  WideString SelText() { return UcCustomEdit_GetSelText(this); }                                     \
  void SetSelText(const WideString& value) { UcCustomEdit_SetSelText(this, value); }                 \
  wchar_t PasswordChar() { return UcCustomEdit_GetPasswordChar(this, passwordChar); }                \
  void SetPasswordChar(wchar_t value) { UcCustomEdit_SetPasswordChar(this, passwordChar, value); }

// ===========================================================================
// Edit

class TUcCustomEdit : public TCustomEdit {
  CL_CLASS(TUcCustomEdit, TCustomEdit)
public:
  explicit TUcCustomEdit(TComponent* owner) : TCustomEdit(owner) {}

  UC_WIDE_CAPTION_MEMBERS

  UC_WIDE_EDIT_MEMBERS(FWidePasswordChar)

  UC_WIDE_WINDOW_MEMBERS
  void CreateWnd() override;

  wchar_t FWidePasswordChar = 0;
};

class TUcEdit : public TUcCustomEdit {
  CL_CLASS(TUcEdit, TUcCustomEdit)
public:
  explicit TUcEdit(TComponent* owner) : TUcCustomEdit(owner) {}
};

// ===========================================================================
// Memo lines

// The lines of a memo (or, in rich-edit mode, of a rich edit) read from and
// written to its Unicode window; the count, deleting and clearing are the
// class library's line list's own.
class TUcMemoStrings : public TUcStrings {
  CL_CLASS(TUcMemoStrings, TUcStrings)
public:
  TUcMemoStrings(TCustomEdit* memo, TStrings* ansiLines) : FMemo(memo), FAnsiLines(ansiLines) {}

  WideString Get(int index) override;
  int GetCount() override;
  void Put(int index, const WideString& s) override;
  // Line index (negative: nothing): s + CR LF before that line; at the end
  // (index = count) CR LF + s after the last line.
  void Insert(int index, const WideString& s) override;
  void Delete(int index) override;
  void Clear() override;
  void SetUpdateState(bool updating) override;
  WideString GetTextStr() override;
  // Nothing happens when the text is already there.
  void SetTextStr(const WideString& value) override;

  TCustomEdit* Memo() const { return FMemo; }
  TStrings* AnsiLines() const { return FAnsiLines; }

protected:
  bool UnicodeWindow();
  TCustomEdit* FMemo;
  TStrings* FAnsiLines;
  // Rich-edit mode: line breaks converted on insert, the insert checked.
  bool FRichEditMode = false;
  TUcTextLineBreakStyle FLineBreakStyle = tlbsCRLF;
};

class TUcCustomMemo : public TCustomMemo {
  CL_CLASS(TUcCustomMemo, TCustomMemo)
public:
  explicit TUcCustomMemo(TComponent* owner);
  ~TUcCustomMemo() override;

  UC_WIDE_CAPTION_MEMBERS

  TUcStrings* Lines() const { return FWideLines; }
  void SetLines(TUcStrings* value) { FWideLines->Assign(value); }
  int GetSelStart() override { return UcCustomEdit_GetSelStart(this); }
  void SetSelStart(int value) override { UcCustomEdit_SetSelStart(this, value); }
  int GetSelLength() override { return UcCustomEdit_GetSelLength(this); }
  void SetSelLength(int value) override { UcCustomEdit_SetSelLength(this, value); }
  WideString SelText() { return UcCustomEdit_GetSelText(this); }
  void SetSelText(const WideString& value) { UcCustomEdit_SetSelText(this, value); }

  UC_WIDE_WINDOW_MEMBERS

  TUcMemoStrings* FWideLines;
};

class TUcMemo : public TUcCustomMemo {
  CL_CLASS(TUcMemo, TUcCustomMemo)
public:
  explicit TUcMemo(TComponent* owner) : TUcCustomMemo(owner) {}
};

// ===========================================================================
// Label

// Draws the label's text with the wide call; false on an ANSI platform (the
// caller then draws the class library's way).
bool UcLabel_DoDrawText(TCustomLabel* label, TRect& rect, UINT flags, const WideString& text);
// The label's hot key: the focus control takes the focus.
void UcLabel_CMDialogChar(TCustomLabel* label, TMessage& message, const WideString& caption);
// The push button's hot key: a click. Result 1 when it was the button's.
bool UcButton_CMDialogChar(TButton* button, TMessage& message);

class TUcCustomLabel : public TCustomLabel {
  CL_CLASS(TUcCustomLabel, TCustomLabel)
  CL_DECLARE_MESSAGE_MAP(TUcCustomLabel)
public:
  explicit TUcCustomLabel(TComponent* owner) : TCustomLabel(owner) {}

  UC_WIDE_CAPTION_MEMBERS
  UC_WIDE_HINT_MEMBERS

  // The text the label shows (the wide caption); the class library's
  // GetLabelText gives its ANSI form.
  virtual WideString GetWideLabelText();
  AnsiString GetLabelText() override { return WideToAnsi(GetWideLabelText()); }
  void DoDrawText(TRect& rect, UINT flags) override;

  UC_STANDARD_OVERRIDES

protected:
  void CMDialogChar(TMessage& m);
  void CMHintShow(TMessage& m);
};

class TUcLabel : public TUcCustomLabel {
  CL_CLASS(TUcLabel, TUcCustomLabel)
public:
  explicit TUcLabel(TComponent* owner) : TUcCustomLabel(owner) {}
};

// ===========================================================================
// Buttons

class TUcButton : public TButton {
  CL_CLASS(TUcButton, TButton)
  CL_DECLARE_MESSAGE_MAP(TUcButton)
public:
  explicit TUcButton(TComponent* owner) : TButton(owner) {}

  UC_WIDE_CAPTIONED_WINDOW_MEMBERS
};

class TUcCustomCheckBox : public TCustomCheckBox {
  CL_CLASS(TUcCustomCheckBox, TCustomCheckBox)
  CL_DECLARE_MESSAGE_MAP(TUcCustomCheckBox)
public:
  explicit TUcCustomCheckBox(TComponent* owner) : TCustomCheckBox(owner) {}

  UC_WIDE_CAPTIONED_WINDOW_MEMBERS
};

class TUcCheckBox : public TUcCustomCheckBox {
  CL_CLASS(TUcCheckBox, TUcCustomCheckBox)
public:
  explicit TUcCheckBox(TComponent* owner) : TUcCustomCheckBox(owner) {}
};

class TUcRadioButton : public TRadioButton {
  CL_CLASS(TUcRadioButton, TRadioButton)
  CL_DECLARE_MESSAGE_MAP(TUcRadioButton)
public:
  explicit TUcRadioButton(TComponent* owner) : TRadioButton(owner) {}

  UC_WIDE_CAPTIONED_WINDOW_MEMBERS
};

// ===========================================================================
// Group box, static text, scroll bar

class TUcCustomGroupBox : public TCustomGroupBox {
  CL_CLASS(TUcCustomGroupBox, TCustomGroupBox)
  CL_DECLARE_MESSAGE_MAP(TUcCustomGroupBox)
public:
  explicit TUcCustomGroupBox(TComponent* owner) : TCustomGroupBox(owner) {}

  UC_WIDE_CAPTIONED_WINDOW_MEMBERS
  // The frame below half the caption's height, the wide caption on it.
  void Paint() override;
};

class TUcGroupBox : public TUcCustomGroupBox {
  CL_CLASS(TUcGroupBox, TUcCustomGroupBox)
public:
  explicit TUcGroupBox(TComponent* owner) : TUcCustomGroupBox(owner) {}
};

class TUcCustomStaticText : public TCustomStaticText {
  CL_CLASS(TUcCustomStaticText, TCustomStaticText)
  CL_DECLARE_MESSAGE_MAP(TUcCustomStaticText)
public:
  // Sizes itself to its (empty) caption at once.
  explicit TUcCustomStaticText(TComponent* owner);

  UC_WIDE_CAPTIONED_WINDOW_MEMBERS
  // With AutoSize, the wide caption's extent plus four borders each way.
  void AdjustBounds() override;
};

class TUcStaticText : public TUcCustomStaticText {
  CL_CLASS(TUcStaticText, TUcCustomStaticText)
public:
  explicit TUcStaticText(TComponent* owner) : TUcCustomStaticText(owner) {}
};

class TUcScrollBar : public TScrollBar {
  CL_CLASS(TUcScrollBar, TScrollBar)
public:
  explicit TUcScrollBar(TComponent* owner) : TScrollBar(owner) {}

  UC_WIDE_WINDOW_MEMBERS
};

void UnitInit_UcStdCtrls();
void UnitFini_UcStdCtrls();
