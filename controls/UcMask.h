// The masked edit: a Unicode EDIT window whose wide text follows an edit mask
// (mask.h). Typing is checked and converted character by character, the
// caret sits as a one-character selection on the input positions, deleting
// leaves blanks and keeps the literals, and a value that does not fill the
// required positions raises EDBEditError.
#pragma once

#include "mask.h"
#include "stdctrls.h"

#include "UcControls.h"
#include "UcStdCtrls.h"

// What the masked edit is doing: masked, taking the focus back after a
// failed check, or taking a text from a data link (not checked).
using TMaskedState = uint8_t;
enum : uint8_t { msMasked = 1, msReEnter = 2, msDBSetText = 4 };

class TUcMaskEdit : public TCustomEdit {
  CL_CLASS(TUcMaskEdit, TCustomEdit)
  CL_DECLARE_MESSAGE_MAP(TUcMaskEdit)
public:
  explicit TUcMaskEdit(TComponent* owner);

  const AnsiString& EditMask() const { return FEditMask; }
  // Reformats the text for the new mask (the old one's literals go, the new
  // one's come); MaxLength follows the mask.
  void SetEditMask(const AnsiString& value);
  bool GetMasked() const { return !FEditMask.IsEmpty(); }
  // The value: without the literals unless the mask saves them. Setting a
  // value that does not fit raises EDBEditError at run time.
  WideString Text();
  void SetText(const WideString& value);
  // The text as shown, literals and blanks included.
  WideString EditText();
  void SetEditText(const WideString& value);
  // The first required position (L A C 0) that value leaves blank, -1 when
  // none (an empty value passes).
  int ValidateW(const WideString& value);
  // A modified value that does not fit: the caret goes to the failing
  // position and EDBEditError is raised.
  virtual void ValidateEdit();
  // The value at focus entry back (Escape).
  void Reset();
  void Clear();
  virtual bool EditCanModify() { return true; }
  int MaxLength() const { return TCustomEdit::MaxLength(); }
  void SetMaxLength(int value);
  int GetMaxChars();
  char MaskBlank() const { return FMaskBlank; }
  bool MaskSave() const { return FMaskSave; }
  TMaskedState MaskState() const { return FMaskState; }
  // The caret position the control keeps (masked).
  int CaretPos() const { return FCaretPos; }

  UC_WIDE_EDIT_MEMBERS(FWidePasswordChar)
  UC_WIDE_HINT_MEMBERS
  UC_STANDARD_OVERRIDES

  // The value with the mask's literals taken out and blanks trimmed (blanks
  // inside become spaces).
  WideString RemoveEditFormat(const WideString& value);
  // The value formatted with the mask, empty places blank (or spaces).
  WideString AddEditFormat(const WideString& value, bool useBlank);
  // Checks and converts a character for a position of the text; false when
  // the position does not take it.
  bool DoInputChar(wchar_t& ch, int offset);
  // Places text into value from start through the character check; returns
  // where it stopped.
  int InputString(WideString& value, const WideString& text, int start);
  // The caret at a position: a one-character selection there.
  void SetCursor(int pos);
  int GetNextEditChar(int offset);
  int GetPriorEditChar(int offset);
  int GetFirstEditChar() { return GetNextEditChar(0); }
  int GetLastEditChar() { return GetPriorEditChar(GetMaxChars() - 1); }
  void CursorInc(int cursorPos, int incr);
  void CursorDec(int cursorPos);
  void CheckCursor();
  // The offset of the first literal at or after offset that is ch; -1 when none.
  int FindLiteralChar(int offset, wchar_t ch);

protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void CreateWnd() override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyUp(WORD& key, TShiftState shift) override;
  void GetSel(int& selStart, int& selStop);
  void SetSel(int selStart, int selStop);
  // Blanks in place of the input positions of [selStart, selStop).
  void DeleteSelection(WideString& value, int selStart, int len);
  bool DeleteKeys(WORD key);
  void ArrowKeys(WORD key, TShiftState shift);
  void HomeEndKeys(WORD key, TShiftState shift);
  [[noreturn]] void ValidateError();
  void ReplaceSel(const WideString& text);
  void WMChar(TMessage& m);
  void WMCut(TMessage& m);
  void WMPaste(TMessage& m);
  void WMLButtonDown(TMessage& m);
  void WMLButtonUp(TMessage& m);
  void WMSetFocus(TMessage& m);
  void CMEnter(TMessage& m);
  void CMExit(TMessage& m);
  void CMTextChanged(TMessage& m);
  void CMWantSpecialKey(TMessage& m);

  AnsiString FEditMask;
  char FMaskBlank = DefaultBlank;
  int FMaxChars = 0;
  bool FMaskSave = true;
  TMaskedState FMaskState = 0;
  int FCaretPos = 0;
  int FBtnDownX = 0;
  WideString FOldValue;
  bool FSettingCursor = false;
  wchar_t FWidePasswordChar = 0;
};

void UnitInit_UcMask();
void UnitFini_UcMask();
