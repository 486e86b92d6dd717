#include "UcRichEdit.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcComponentProps.h"
#include "UcWindows.h"

#include <commdlg.h>  // the FR_ search flags
#include <dimm.h>

// commdlg.h maps FindText to FindTextA; here it is the rich edit's search.
#undef FindText

#include <algorithm>
#include <vector>

CL_DEFINE_CLASS(TUcRichEditStrings, TUcMemoStrings)
CL_DEFINE_COMPONENT(TUcCustomRichEdit, TCustomRichEdit)
CL_DEFINE_COMPONENT(TUcRichEdit, TUcCustomRichEdit)

HMODULE UcRichEditModule = nullptr;

namespace {

// {4955DD33-B159-11D0-8FCF-00AA006BCC59}
const CLSID ClsidCActiveIMM = {0x4955DD33, 0xB159, 0x11D0, {0x8F, 0xCF, 0x00, 0xAA, 0x00, 0x6B, 0xCC, 0x59}};
// {08C0E040-62D1-11D1-9326-0060B067B86E}
const IID IidIActiveIMMApp = {0x08C0E040, 0x62D1, 0x11D1, {0x93, 0x26, 0x00, 0x60, 0xB0, 0x67, 0xB8, 0x6E}};

// The input-method object, made at the first window that finds it registered.
IActiveIMMApp* InputMethod = nullptr;

bool RichEditLoaded() {
  if (!UcRichEditModule) UcRichEditModule = Uc_LoadLibraryW(L"RICHED20.DLL");
  return UcRichEditModule != nullptr;
}

void MakeInputMethodReady() {
  if (InputMethod || !ClassIsRegistered(ClsidCActiveIMM)) return;
  void* obj = nullptr;
  if (FAILED(CoCreateInstance(ClsidCActiveIMM, nullptr, CLSCTX_INPROC_SERVER, IidIActiveIMMApp, &obj)) || !obj) return;
  auto* imm = static_cast<IActiveIMMApp*>(obj);
  if (FAILED(imm->Activate(TRUE))) {
    imm->Release();
    return;
  }
  InputMethod = imm;
}

// Restores a notification handler when the scope ends.
class TSelectionChangeRest {
public:
  explicit TSelectionChangeRest(TCustomRichEdit* edit) : FEdit(edit), FSaved(edit->OnSelectionChange) {
    edit->OnSelectionChange.Clear();
  }
  ~TSelectionChangeRest() { FEdit->OnSelectionChange = FSaved; }
  TSelectionChangeRest(const TSelectionChangeRest&) = delete;
  TSelectionChangeRest& operator=(const TSelectionChangeRest&) = delete;

private:
  TCustomRichEdit* FEdit;
  TNotifyEvent FSaved;
};

}  // namespace

bool UcRichEditHasInputMethod() { return InputMethod != nullptr; }

// ===========================================================================
// TUcRichEditStrings

TUcRichEditStrings::TUcRichEditStrings(TUcCustomRichEdit* richEdit, TStrings* ansiLines)
    : TUcMemoStrings(richEdit, ansiLines), FRichEdit(richEdit) {
  FRichEditMode = true;
  FLineBreakStyle = TUcCustomRichEdit::LineBreakStyle();
}

void TUcRichEditStrings::AddStrings(TWideStrings* strings) {
  TSelectionChangeRest rest(FRichEdit);
  TUcMemoStrings::AddStrings(strings);
}

void TUcRichEditStrings::SetTextStr(const WideString& value) {
  HWND wnd = FRichEdit->Handle();
  LRESULT mask = SendMessageW(wnd, EM_GETEVENTMASK, 0, 0);
  SendMessageW(wnd, EM_SETEVENTMASK, 0, mask & ~ENM_CHANGE);
  try {
    TUcMemoStrings::SetTextStr(value);
  } catch (...) {
    SendMessageW(wnd, EM_SETEVENTMASK, 0, SendMessageW(wnd, EM_GETEVENTMASK, 0, 0) | ENM_CHANGE);
    throw;
  }
  SendMessageW(wnd, EM_SETEVENTMASK, 0, SendMessageW(wnd, EM_GETEVENTMASK, 0, 0) | ENM_CHANGE);
}

void TUcRichEditStrings::LoadFromFile(const WideString& fileName) {
  if (!FRichEdit->PlainText())
    FAnsiLines->LoadFromFile(WideToAnsi(fileName));
  else
    TUcMemoStrings::LoadFromFile(fileName);
}

void TUcRichEditStrings::LoadFromStream(TStream* stream) {
  if (!FRichEdit->PlainText())
    FAnsiLines->LoadFromStream(stream);
  else
    TUcMemoStrings::LoadFromStream(stream);
}

void TUcRichEditStrings::SaveToFile(const WideString& fileName) {
  if (!FRichEdit->PlainText())
    FAnsiLines->SaveToFile(WideToAnsi(fileName));
  else
    TUcMemoStrings::SaveToFile(fileName);
}

void TUcRichEditStrings::SaveToStream(TStream* stream) {
  if (!FRichEdit->PlainText())
    FAnsiLines->SaveToStream(stream);
  else
    TUcMemoStrings::SaveToStream(stream);
}

// ===========================================================================
// TUcCustomRichEdit

CL_BEGIN_MESSAGE_MAP(TUcCustomRichEdit, TCustomRichEdit)
  CL_MESSAGE(WM_GETTEXTLENGTH, WMGetTextLength)
CL_END_MESSAGE_MAP

TUcTextLineBreakStyle TUcCustomRichEdit::LineBreakStyle() {
  if (!Win32PlatformIsUnicode) return tlbsCRLF;
  return RichEditLoaded() ? tlbsCR : tlbsCRLF;
}

TUcCustomRichEdit::TUcCustomRichEdit(TComponent* owner) : TCustomRichEdit(owner) {
  FRichEditStrings = new TUcRichEditStrings(this, TCustomRichEdit::Lines());
}

TUcCustomRichEdit::~TUcCustomRichEdit() {
  Destroying();
  // The window goes while this class's handlers still exist.
  if (HandleAllocated()) DestroyHandle();
  delete FRichEditStrings;
  FRichEditStrings = nullptr;
}

void TUcCustomRichEdit::CreateParams(TCreateParams& params) {
  TCustomRichEdit::CreateParams(params);
  if (WordWrap()) params.Style &= ~WS_HSCROLL;
}

void TUcCustomRichEdit::CreateWindowHandle(const TCreateParams& params) {
  if (Win32PlatformIsUnicode && RichEditLoaded())
    CreateUnicodeHandle(this, params, L"RichEdit20W");
  else
    TCustomRichEdit::CreateWindowHandle(params);
}

void TUcCustomRichEdit::CreateWnd() {
  TCustomRichEdit::CreateWnd();
  // The input-method object is the platform's; without it the control
  // works as well.
  try {
    MakeInputMethodReady();
  } catch (...) {
  }
  if (InputMethod && HandleAllocated())
    SendMessageW(WindowHandle(), EM_SETEDITSTYLE, SES_USEAIMM, SES_USEAIMM);
}

void TUcCustomRichEdit::KeyDown(WORD& key, TShiftState shift) {
  TCustomRichEdit::KeyDown(key, shift);
  if (!WantReturns() && key == VK_RETURN && shift != ssCtrl) key = 0;
}

WideString TUcCustomRichEdit::Text() {
  WideString text = UcControl_GetText(this);
  if (LineBreakStyle() != tlbsCRLF) text = UcAdjustLineBreaks(text, tlbsCRLF);
  return text;
}

void TUcCustomRichEdit::SetText(const WideString& value) {
  if (Win32PlatformIsUnicode && RichEditLoaded() && IsRTF(value)) {
    SetRTFText(0, WideToAnsi(value));
    return;
  }
  if (value == Text()) return;
  UcControl_SetText(this, UcAdjustLineBreaks(value, LineBreakStyle()));
}

void TUcCustomRichEdit::SetRTFText(DWORD flags, const AnsiString& value) {
  SETTEXTEX info{};
  info.flags = flags;
  info.codepage = 0;
  SendMessageW(Handle(), EM_SETTEXTEX, reinterpret_cast<WPARAM>(&info), reinterpret_cast<LPARAM>(value.c_str()));
}

WideString TUcCustomRichEdit::GetWideSelText() {
  WideString text;
  if (HandleAllocated() && IsWindowUnicode(WindowHandle())) {
    CHARRANGE range{};
    SendMessageW(WindowHandle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    std::vector<wchar_t> buffer(static_cast<size_t>(std::max<LONG>(range.cpMax - range.cpMin, 0)) + 1, L'\0');
    int got = static_cast<int>(SendMessageW(WindowHandle(), EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buffer.data())));
    text = WideString(buffer.data(), std::max(0, std::min(got, static_cast<int>(buffer.size()) - 1)));
  } else {
    text = AnsiToWide(TCustomRichEdit::GetSelText());
  }
  if (LineBreakStyle() != tlbsCRLF) text = UcAdjustLineBreaks(text, tlbsCRLF);
  return text;
}

void TUcCustomRichEdit::SetWideSelText(const WideString& value) {
  if (Win32PlatformIsUnicode && RichEditLoaded() && IsRTF(value)) {
    SetRTFText(ST_SELECTION, WideToAnsi(value));
    return;
  }
  UcCustomEdit_SetSelText(this, UcAdjustLineBreaks(value, LineBreakStyle()));
}

int TUcCustomRichEdit::GetSelStart() { return EmulatedCharPos(UcCustomEdit_GetSelStart(this)); }

void TUcCustomRichEdit::SetSelStart(int value) { UcCustomEdit_SetSelStart(this, RawWin32CharPos(value)); }

int TUcCustomRichEdit::GetSelLength() {
  if (LineBreakStyle() == tlbsCRLF) return UcCustomEdit_GetSelLength(this);
  CHARRANGE range{};
  SendMessageW(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return EmulatedCharPos(range.cpMax) - EmulatedCharPos(range.cpMin);
}

void TUcCustomRichEdit::SetSelLength(int value) {
  if (LineBreakStyle() == tlbsCRLF) {
    UcCustomEdit_SetSelLength(this, value);
    return;
  }
  int start = GetSelStart();
  TCustomRichEdit::SetSelLength(RawWin32CharPos(start + value) - RawWin32CharPos(start));
}

int TUcCustomRichEdit::EmulatedCharPos(int pos) {
  if (LineBreakStyle() == tlbsCRLF || pos <= 0) return pos;
  HWND wnd = Handle();
  int line = static_cast<int>(SendMessageW(wnd, EM_EXLINEFROMCHAR, 0, pos));
  if (!WordWrap()) return pos + line;
  // Soft wraps are no breaks: only the difference between the line's start
  // and the characters of the lines before it counts.
  int chars = 0;
  for (int i = 0; i < line; ++i) chars += UcMemo_LineLength(wnd, i);
  return UcMemo_LineStart(wnd, line) - chars + pos;
}

int TUcCustomRichEdit::RawWin32CharPos(int pos) {
  if (LineBreakStyle() == tlbsCRLF || pos <= 0) return pos;
  HWND wnd = Handle();
  int lines = static_cast<int>(SendMessageW(wnd, EM_GETLINECOUNT, 0, 0));
  int breaks = 0;
  int chars = 0;
  for (int i = 0; i <= lines; ++i) {
    int start = UcMemo_LineStart(wnd, i);
    if (start < 0 || pos < start + breaks) break;
    // A line that starts after the characters counted so far has a break
    // before it.
    if (start > chars) {
      ++breaks;
      ++chars;
    }
    int len = UcMemo_LineLength(wnd, i, start);
    chars += len;
    if (pos >= start + breaks && pos < start + len + breaks) break;
  }
  return pos - breaks;
}

int TUcCustomRichEdit::FindText(const WideString& searchStr, int startPos, int length, TSearchTypes options) {
  if (!Win32PlatformIsUnicode) return TCustomRichEdit::FindText(WideToAnsi(searchStr), startPos, length, options);
  FINDTEXTW find{};
  find.chrg.cpMin = RawWin32CharPos(startPos);
  find.chrg.cpMax = RawWin32CharPos(startPos + length);
  find.lpstrText = searchStr.c_str();
  WPARAM flags = FR_DOWN;
  if (options & stWholeWord) flags |= FR_WHOLEWORD;
  if (options & stMatchCase) flags |= FR_MATCHCASE;
  // EM_FINDTEXT of a Unicode window takes the wide record.
  int found = static_cast<int>(SendMessageW(Handle(), EM_FINDTEXT, flags, reinterpret_cast<LPARAM>(&find)));
  return found < 0 ? found : EmulatedCharPos(found);
}

void TUcCustomRichEdit::Print(const AnsiString& caption) {
  FPrintingTextLength = LineBreakStyle() != tlbsCRLF ? UcAdjustLineBreaksLength(Text(), LineBreakStyle()) : 0;
  try {
    TCustomRichEdit::Print(caption);
  } catch (...) {
    FPrintingTextLength = 0;
    throw;
  }
  FPrintingTextLength = 0;
}

void TUcCustomRichEdit::WMGetTextLength(TMessage& m) {
  if (FPrintingTextLength != 0) {
    m.Result = FPrintingTextLength;
    return;
  }
  InheritedMsg(&TCustomRichEdit::MessageMap, m);
}

UC_STANDARD_OVERRIDES_BODY(TUcCustomRichEdit, TCustomRichEdit)

// ===========================================================================
// Unit

void UnitInit_UcRichEdit() {
  RegisterClasses({&TUcRichEdit::Class});
  RegisterProperty(&TUcCustomRichEdit::Class, "Text", pkWideString, &TUcCustomRichEdit::SetText,
                   &TUcCustomRichEdit::Text, TPropDefault(), &TUcCustomRichEdit::IsCaptionStored);
  RegisterProperty(&TUcCustomRichEdit::Class, "Hint", pkWideString, &TUcCustomRichEdit::SetHint,
                   &TUcCustomRichEdit::Hint, TPropDefault(), &TUcCustomRichEdit::IsHintStored);
}

void UnitFini_UcRichEdit() {
  if (InputMethod) {
    InputMethod->Deactivate();
    InputMethod->Release();
    InputMethod = nullptr;
  }
  if (UcRichEditModule) FreeLibrary(UcRichEditModule);
  UcRichEditModule = nullptr;
}
