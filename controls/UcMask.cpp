#include "UcMask.h"

#include "filer.h"
#include "forms.h"

#include "UcActnList.h"
#include "UcClipboard.h"
#include "UcCodePages.h"
#include "UcMaskUtils.h"
#include "UcSysUtils.h"
#include "UcWideStrUtils.h"

#include <string>

CL_DEFINE_COMPONENT(TUcMaskEdit, TCustomEdit)

namespace {

bool IsInputKind(TMaskCharType kind) { return kind == mcMask || kind == mcMaskOpt; }
bool IsLiteralKind(TMaskCharType kind) { return kind == mcLiteral || kind == mcIntlLiteral; }

// The mask position (1-based) whose character stands at a 0-based offset of
// the text; 0 when the text has no such place.
int MaskOffsetOf(const AnsiString& mask, int offset) {
  const int length = MaskGetMaskLength(mask);
  for (int m = 1; m <= length; ++m) {
    TMaskCharType kind = MaskGetCharType(mask, m);
    if ((IsInputKind(kind) || IsLiteralKind(kind)) && MaskOffsetToOffset(mask, m) == offset) return m;
  }
  return 0;
}

// The character a literal mask position puts into the text.
wchar_t LiteralAt(const AnsiString& mask, int maskOffset) {
  wchar_t c = static_cast<unsigned char>(mask[maskOffset]);
  return MaskGetCharType(mask, maskOffset) == mcIntlLiteral ? MaskIntlLiteralToWChar(c) : c;
}

bool IsDigitChar(wchar_t c) { return IsCharAlphaNumericW(c) && !IsCharAlphaW(c); }

wchar_t CaseFor(TMaskDirectives directives, wchar_t c) {
  if (directives & mDirUpperCase) return Uc_WideUpperCase(WideString(c))[1];
  if (directives & mDirLowerCase) return Uc_WideLowerCase(WideString(c))[1];
  return c;
}

}  // namespace

CL_BEGIN_MESSAGE_MAP(TUcMaskEdit, TCustomEdit)
  CL_MESSAGE(WM_CHAR, WMChar)
  CL_MESSAGE(WM_CUT, WMCut)
  CL_MESSAGE(WM_PASTE, WMPaste)
  CL_MESSAGE(WM_LBUTTONDOWN, WMLButtonDown)
  CL_MESSAGE(WM_LBUTTONUP, WMLButtonUp)
  CL_MESSAGE(WM_SETFOCUS, WMSetFocus)
  CL_MESSAGE(CM_ENTER, CMEnter)
  CL_MESSAGE(CM_EXIT, CMExit)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
  CL_MESSAGE(CM_WANTSPECIALKEY, CMWantSpecialKey)
CL_END_MESSAGE_MAP

UC_STANDARD_OVERRIDES_BODY(TUcMaskEdit, TCustomEdit)

TUcMaskEdit::TUcMaskEdit(TComponent* owner) : TCustomEdit(owner) {}

void TUcMaskEdit::CreateWindowHandle(const TCreateParams& params) { UcCustomEdit_CreateWindowHandle(this, params); }

void TUcMaskEdit::CreateWnd() {
  TCustomEdit::CreateWnd();
  UcCustomEdit_AfterInherited_CreateWnd(this, FWidePasswordChar);
}

// ---------------------------------------------------------------------------
// Mask and texts

void TUcMaskEdit::SetEditMask(const AnsiString& value) {
  if (value == FEditMask) return;
  if ((ComponentState() & csDesigning) && !value.IsEmpty()) SetEditText(WideString());
  int selStart = 0, selStop = 0;
  if (HandleAllocated()) GetSel(selStart, selStop);
  WideString stripped = GetMasked() ? RemoveEditFormat(EditText()) : EditText();
  FEditMask = value;
  FMaxChars = MaskOffsetToOffset(value, MaskGetMaskLength(value) + 1);
  FMaskSave = MaskGetMaskSave(value);
  FMaskBlank = MaskGetMaskBlank(value);
  if (GetMasked())
    FMaskState |= msMasked;
  else
    FMaskState &= ~msMasked;
  TCustomEdit::SetMaxLength(GetMasked() ? FMaxChars : 0);
  UcControl_SetText(this, GetMasked() ? AddEditFormat(stripped, true) : stripped);
  if (HandleAllocated() && Focused()) SetCursor(selStart);
}

WideString TUcMaskEdit::RemoveEditFormat(const WideString& value) {
  std::wstring v = value.str();
  const int length = MaskGetMaskLength(FEditMask);
  for (int m = length; m >= 1; --m) {
    if (!IsLiteralKind(MaskGetCharType(FEditMask, m))) continue;
    size_t offset = static_cast<size_t>(MaskOffsetToOffset(FEditMask, m));
    if (offset < v.size()) v.erase(offset, 1);
  }
  const wchar_t blank = static_cast<unsigned char>(FMaskBlank);
  if (MaskGetCurrentDirectives(FEditMask, length) & mDirReverse) {
    size_t first = v.find_first_not_of(blank);
    v.erase(0, first == std::wstring::npos ? v.size() : first);
  } else {
    size_t last = v.find_last_not_of(blank);
    v.erase(last == std::wstring::npos ? 0 : last + 1);
  }
  if (blank != L' ')
    for (wchar_t& c : v)
      if (c == blank) c = L' ';
  return WideString(std::move(v));
}

WideString TUcMaskEdit::AddEditFormat(const WideString& value, bool useBlank) {
  return MaskDoFormatTextW(FEditMask, value, useBlank ? FMaskBlank : ' ');
}

WideString TUcMaskEdit::Text() {
  if (!GetMasked()) return UcControl_GetText(this);
  WideString value = RemoveEditFormat(EditText());
  return FMaskSave ? AddEditFormat(value, false) : value;
}

void TUcMaskEdit::SetText(const WideString& value) {
  if (!GetMasked()) {
    UcControl_SetText(this, value);
    return;
  }
  WideString text = FMaskSave ? PadInputLiteralsW(FEditMask, value, FMaskBlank) : AddEditFormat(value, true);
  if (!(FMaskState & msDBSetText) && !(ComponentState() & (csDesigning | csLoading)) && ValidateW(text) >= 0)
    throw EDBEditError(SMaskErr);
  SetEditText(text);
}

WideString TUcMaskEdit::EditText() { return UcControl_GetText(this); }

void TUcMaskEdit::SetEditText(const WideString& value) {
  if (value == EditText()) return;
  UcControl_SetText(this, value);
  CheckCursor();
}

int TUcMaskEdit::ValidateW(const WideString& value) {
  // Nothing typed (only blanks and literals) counts as empty, so that Clear
  // and a field emptied by the user pass.
  if (RemoveEditFormat(value).str().find_first_not_of(L' ') == std::wstring::npos) return -1;
  const wchar_t blank = static_cast<unsigned char>(FMaskBlank);
  const int length = MaskGetMaskLength(FEditMask);
  for (int m = 1; m <= length; ++m) {
    if (MaskGetCharType(FEditMask, m) != mcMask) continue;
    int offset = MaskOffsetToOffset(FEditMask, m);
    wchar_t c = offset < value.Length() ? value[offset + 1] : blank;
    if (c == blank || (FEditMask[m] != 'C' && c == L' ')) return offset;
  }
  return -1;
}

void TUcMaskEdit::ValidateEdit() {
  if (!GetMasked() || !Modified()) return;
  int pos = ValidateW(EditText());
  if (pos < 0) return;
  if (!(ComponentState() & csDesigning)) {
    FMaskState |= msReEnter;
    SetFocus();
  }
  SetCursor(pos);
  ValidateError();
}

void TUcMaskEdit::ValidateError() {
  MessageBeep(0);
  throw EDBEditError(Format(SMaskEditErr, {FEditMask}));
}

void TUcMaskEdit::Reset() {
  if (!Modified()) return;
  SetEditText(FOldValue);
  SetModified(false);
}

void TUcMaskEdit::Clear() { SetText(WideString()); }

void TUcMaskEdit::SetMaxLength(int value) { TCustomEdit::SetMaxLength(GetMasked() ? FMaxChars : value); }

int TUcMaskEdit::GetMaxChars() { return GetMasked() ? FMaxChars : TCustomEdit::MaxLength(); }

// ---------------------------------------------------------------------------
// Characters

bool TUcMaskEdit::DoInputChar(wchar_t& ch, int offset) {
  int m = MaskOffsetOf(FEditMask, offset);
  if (m == 0) return false;
  if (IsLiteralKind(MaskGetCharType(FEditMask, m))) {
    ch = LiteralAt(FEditMask, m);
    return true;
  }
  TMaskDirectives directives = MaskGetCurrentDirectives(FEditMask, m);
  switch (FEditMask[m]) {
    case '#':
      return IsDigitChar(ch) || ch == L' ' || ch == L'+' || ch == L'-';
    case '0':
    case '9':
      return IsDigitChar(ch);
    case 'L':
    case 'l':
      if (!IsCharAlphaW(ch)) return false;
      ch = CaseFor(directives, ch);
      return true;
    case 'A':
    case 'a':
      if (!IsCharAlphaNumericW(ch)) return false;
      ch = CaseFor(directives, ch);
      return true;
    case 'C':
    case 'c':
      if (IsCharAlphaW(ch)) ch = CaseFor(directives, ch);
      return true;
    default:
      return true;
  }
}

int TUcMaskEdit::FindLiteralChar(int offset, wchar_t ch) {
  for (int i = offset; i < FMaxChars; ++i) {
    int m = MaskOffsetOf(FEditMask, i);
    if (m && IsLiteralKind(MaskGetCharType(FEditMask, m)) && LiteralAt(FEditMask, m) == ch) return i;
  }
  return -1;
}

int TUcMaskEdit::InputString(WideString& value, const WideString& text, int start) {
  std::wstring v = value.str();
  if (v.size() < static_cast<size_t>(FMaxChars)) v.resize(static_cast<size_t>(FMaxChars), static_cast<unsigned char>(FMaskBlank));
  int pos = start;
  for (int i = 1; i <= text.Length() && pos < FMaxChars; ++i) {
    wchar_t c = text[i];
    // A literal of the mask typed where it stands is taken as it; otherwise
    // the literals are passed over to the next input position.
    if (IsLiteralChar(FEditMask, pos)) {
      wchar_t literal = c;
      DoInputChar(literal, pos);
      if (literal == c) {
        ++pos;
        continue;
      }
      pos = GetNextEditChar(pos);
      if (pos >= FMaxChars) break;
    }
    if (!DoInputChar(c, pos)) continue;  // a character the place does not take is left out
    v[static_cast<size_t>(pos)] = c;
    ++pos;
  }
  value = WideString(std::move(v));
  return pos;
}

void TUcMaskEdit::ReplaceSel(const WideString& text) { Uc_ReplaceSelection(Handle(), text); }

void TUcMaskEdit::WMChar(TMessage& m) {
  wchar_t key = TypedCharOfWMCharMsg(m);
  if (!GetMasked() || key == 0 || key == 3 || key == 22 || key == 24) {
    InheritedMsg(&TCustomEdit::MessageMap, m);
    return;
  }
  if (DoKeyPress(m)) return;
  key = TypedCharOfWMCharMsg(m);
  switch (key) {
    case 27:
      Reset();
      return;
    case 13:
      ValidateEdit();
      return;
    case 8:
      return;
    default:
      break;
  }
  if (!EditCanModify() || ReadOnly()) return;
  int selStart = 0, selStop = 0;
  GetSel(selStart, selStop);
  if (selStop - selStart > 1) {
    WideString value = EditText();
    DeleteSelection(value, selStart, selStop - selStart);
    SetSel(selStart, selStop);
    ReplaceSel(value.SubString(selStart + 1, selStop - selStart));
    selStart = GetNextEditChar(selStart);
    SetCursor(selStart);
  }
  wchar_t ch = key;
  if (selStart < FMaxChars && DoInputChar(ch, selStart)) {
    SetSel(selStart, selStart + 1);
    ReplaceSel(WideString(ch));
    CursorInc(selStart, 1);
    return;
  }
  int literal = FindLiteralChar(selStart, key);
  if (literal >= 0)
    SetCursor(GetNextEditChar(literal + 1));
  else
    MessageBeep(0);
}

// ---------------------------------------------------------------------------
// Caret

void TUcMaskEdit::GetSel(int& selStart, int& selStop) {
  DWORD start = 0, stop = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&stop));
  selStart = static_cast<int>(start);
  selStop = static_cast<int>(stop);
}

void TUcMaskEdit::SetSel(int selStart, int selStop) { SendMessageA(Handle(), EM_SETSEL, selStart, selStop); }

void TUcMaskEdit::SetCursor(int pos) {
  if (!HandleAllocated()) return;
  if (!GetMasked()) {
    int length = EditText().Length();
    pos = pos < 0 ? 0 : (pos > length ? length : pos);
    SetSel(pos, pos);
    FCaretPos = pos;
    return;
  }
  if (pos < 0) pos = 0;
  int selStop = pos + 1;
  if (pos >= FMaxChars) pos = selStop = FMaxChars;
  SetSel(selStop, selStop);
  if (selStop != pos) {
    // The caret ends on the selection's start only when the selection is made
    // by the keyboard: Shift+Left from its end.
    BYTE saved[256], state[256] = {};
    GetKeyboardState(saved);
    WORD arrow = UseRightToLeftReading() ? VK_RIGHT : VK_LEFT;
    state[VK_SHIFT] = 0x81;
    state[arrow] = 0x81;
    SetKeyboardState(state);
    {
      TScopedValue<bool> setting(FSettingCursor, true);
      SendMessageA(WindowHandle(), WM_KEYDOWN, arrow, 1);
      SendMessageA(WindowHandle(), WM_KEYUP, arrow, 1);
    }
    SetKeyboardState(saved);
  }
  FCaretPos = pos;
}

int TUcMaskEdit::GetNextEditChar(int offset) {
  if (offset < 0) offset = 0;
  while (offset < FMaxChars && IsLiteralChar(FEditMask, offset)) ++offset;
  return offset;
}

int TUcMaskEdit::GetPriorEditChar(int offset) {
  while (offset >= 0 && IsLiteralChar(FEditMask, offset)) --offset;
  return offset < 0 ? GetNextEditChar(0) : offset;
}

void TUcMaskEdit::CursorInc(int cursorPos, int incr) { SetCursor(GetNextEditChar(cursorPos + incr)); }

void TUcMaskEdit::CursorDec(int cursorPos) { SetCursor(GetPriorEditChar(cursorPos - 1)); }

void TUcMaskEdit::CheckCursor() {
  if (!HandleAllocated() || !GetMasked()) return;
  int selStart = 0, selStop = 0;
  GetSel(selStart, selStop);
  if (selStart == selStop) SetCursor(selStart);
}

void TUcMaskEdit::DeleteSelection(WideString& value, int selStart, int len) {
  std::wstring v = value.str();
  if (v.size() < static_cast<size_t>(selStart + len)) v.resize(static_cast<size_t>(selStart + len), L' ');
  for (int i = selStart; i < selStart + len; ++i)
    if (!IsLiteralChar(FEditMask, i)) v[static_cast<size_t>(i)] = static_cast<unsigned char>(FMaskBlank);
  value = WideString(std::move(v));
}

bool TUcMaskEdit::DeleteKeys(WORD key) {
  if (ReadOnly()) return false;
  int selStart = 0, selStop = 0;
  GetSel(selStart, selStop);
  if (selStop - selStart < 2 && key == VK_BACK) {
    int old = selStart;
    CursorDec(selStart);
    GetSel(selStart, selStop);
    if (selStart == old) return false;
  }
  if (selStop <= selStart) return false;
  int len = selStop - selStart;
  WideString value = EditText();
  DeleteSelection(value, selStart, len);
  SetSel(selStart, selStop);
  ReplaceSel(value.SubString(selStart + 1, len));
  SetCursor(len == 1 ? selStart : GetNextEditChar(selStart));
  return true;
}

void TUcMaskEdit::ArrowKeys(WORD key, TShiftState shift) {
  if (shift & ssCtrl) return;
  int selStart = 0, selStop = 0;
  GetSel(selStart, selStop);
  if (shift & ssShift) {
    // The window grows or shrinks the selection by one; the caret follows.
    int pos = FCaretPos + (key == VK_LEFT ? -1 : 1);
    FCaretPos = pos < 0 ? 0 : (pos > FMaxChars ? FMaxChars : pos);
    return;
  }
  if (selStop - selStart > 1) {
    SetCursor(FCaretPos);
    return;
  }
  if (key == VK_LEFT)
    CursorDec(selStart);
  else
    CursorInc(selStart, 1);
}

void TUcMaskEdit::HomeEndKeys(WORD key, TShiftState shift) {
  int selStart = 0, selStop = 0;
  GetSel(selStart, selStop);
  if (shift & ssShift) {
    if (key == VK_HOME) {
      SetSel(selStop, 0);
      FCaretPos = 0;
    } else {
      SetSel(selStart, FMaxChars);
      FCaretPos = FMaxChars;
    }
    return;
  }
  SetCursor(key == VK_HOME ? GetFirstEditChar() : GetLastEditChar());
}

void TUcMaskEdit::KeyDown(WORD& key, TShiftState shift) {
  if (FSettingCursor) return;
  TCustomEdit::KeyDown(key, shift);
  if (!GetMasked() || key == 0 || (shift & ssAlt)) return;
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
      ArrowKeys(key, shift);
      if (!(shift & (ssShift | ssCtrl))) key = 0;
      break;
    case VK_UP:
    case VK_DOWN:
      key = 0;
      break;
    case VK_HOME:
    case VK_END:
      HomeEndKeys(key, shift);
      key = 0;
      break;
    case VK_DELETE:
    case VK_BACK:
      if (key == VK_DELETE && (shift & ssShift)) break;
      if (EditCanModify()) DeleteKeys(key);
      key = 0;
      break;
    default:
      CheckCursor();
      break;
  }
}

void TUcMaskEdit::KeyUp(WORD& key, TShiftState shift) {
  if (FSettingCursor) return;
  TCustomEdit::KeyUp(key, shift);
  if (GetMasked() && (key == VK_LEFT || key == VK_RIGHT) && (shift & ssCtrl)) CheckCursor();
}

// ---------------------------------------------------------------------------
// Clipboard, mouse and focus

void TUcMaskEdit::WMCut(TMessage& m) {
  if (!GetMasked()) {
    InheritedMsg(&TCustomEdit::MessageMap, m);
    return;
  }
  WideString selected = SelText();
  if (!selected.IsEmpty()) UcClipboard()->SetAsWideText(selected);
  DeleteKeys(VK_DELETE);
}

void TUcMaskEdit::WMPaste(TMessage& m) {
  if (!GetMasked() || ReadOnly()) {
    InheritedMsg(&TCustomEdit::MessageMap, m);
    return;
  }
  WideString pasted = UcClipboard()->GetAsWideText();
  int selStart = 0, selStop = 0;
  GetSel(selStart, selStop);
  WideString value = EditText();
  DeleteSelection(value, selStart, selStop - selStart);
  int pos = InputString(value, pasted, selStart);
  UcControl_SetText(this, value);
  SetModified(true);
  SetCursor(GetNextEditChar(pos));
}

void TUcMaskEdit::WMLButtonDown(TMessage& m) {
  FBtnDownX = static_cast<short>(LOWORD(m.LParam));
  InheritedMsg(&TCustomEdit::MessageMap, m);
}

void TUcMaskEdit::WMLButtonUp(TMessage& m) {
  InheritedMsg(&TCustomEdit::MessageMap, m);
  if (!GetMasked()) return;
  int selStart = 0, selStop = 0;
  GetSel(selStart, selStop);
  FCaretPos = selStart;
  if (selStart != selStop && static_cast<short>(LOWORD(m.LParam)) > FBtnDownX) FCaretPos = selStop;
  CheckCursor();
}

void TUcMaskEdit::WMSetFocus(TMessage& m) {
  InheritedMsg(&TCustomEdit::MessageMap, m);
  if (!GetMasked()) return;
  if (!(FMaskState & msReEnter)) FOldValue = EditText();
  CheckCursor();
}

void TUcMaskEdit::CMEnter(TMessage& m) {
  if (!GetMasked() || (ComponentState() & csDesigning)) {
    InheritedMsg(&TCustomEdit::MessageMap, m);
    return;
  }
  if (FMaskState & msReEnter) {
    // Back after a failed check: the caret stays where the check put it.
    FMaskState &= ~msReEnter;
    InheritedMsg(&TWinControl::MessageMap, m);
    return;
  }
  FOldValue = EditText();
  InheritedMsg(&TCustomEdit::MessageMap, m);
}

void TUcMaskEdit::CMExit(TMessage& m) {
  if (GetMasked() && !(ComponentState() & csDesigning)) ValidateEdit();
  InheritedMsg(&TCustomEdit::MessageMap, m);
}

void TUcMaskEdit::CMTextChanged(TMessage& m) {
  InheritedMsg(&TCustomEdit::MessageMap, m);
  FOldValue = EditText();
  if (!HandleAllocated() || !GetMasked()) return;
  int selStart = 0, selStop = 0;
  GetSel(selStart, selStop);
  int next = GetNextEditChar(selStart);
  if (next != selStart) SetCursor(next);
}

void TUcMaskEdit::CMWantSpecialKey(TMessage& m) {
  InheritedMsg(&TCustomEdit::MessageMap, m);
  if (m.WParam == VK_ESCAPE && GetMasked() && Modified()) m.Result = 1;
}

// ===========================================================================
// Unit

void UnitInit_UcMask() {
  RegisterClasses({&TUcMaskEdit::Class});
  const TMetaClass* c = &TUcMaskEdit::Class;
  RegisterProperty(c, "EditMask", pkString, &TUcMaskEdit::SetEditMask, &TUcMaskEdit::EditMask);
  RegisterProperty(c, "Text", pkWideString, &TUcMaskEdit::SetText, &TUcMaskEdit::Text);
  RegisterProperty(c, "Hint", pkWideString, &TUcMaskEdit::SetHint, &TUcMaskEdit::Hint, TPropDefault(),
                   &TUcMaskEdit::IsHintStored);
  RegisterProperty(c, "PasswordChar", pkWideChar, &TUcMaskEdit::SetPasswordChar, &TUcMaskEdit::PasswordChar);
}

void UnitFini_UcMask() {}
