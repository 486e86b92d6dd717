// Through the include path, not as a neighbour: the header includes the
// system's header of the same name from the directories after its own.
#include <richedit.h>

#include <commdlg.h>  // the FR_ search flags
#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "filer.h"
#include "printers.h"

#undef FindText

CL_DEFINE_CLASS(TTextAttributes, TPersistent)
CL_DEFINE_CLASS(TParaAttributes, TPersistent)
CL_DEFINE_CLASS(TRichEditStrings, TMemoStrings)
CL_DEFINE_COMPONENT(TCustomRichEdit, TCustomMemo)
CL_DEFINE_COMPONENT(TRichEdit, TCustomRichEdit)

HMODULE RichEditModule = nullptr;

namespace {

const char* const RichEditLibrary = "RICHED20.DLL";
const char* const RichEditClass = "RICHEDIT20A";  // RICHEDIT_CLASSA

// A failed load is tried again at the next window.
void LoadRichEdit() {
  if (!RichEditModule) RichEditModule = LoadLibraryA(RichEditLibrary);
}

// The stream and the first exception its callback met (an exception must not
// cross the control's stream loop; it is thrown again when the loop is done).
struct TStreamCookie {
  TStream* Stream;
  std::exception_ptr Error;
};

DWORD CALLBACK StreamInCallback(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
  auto* c = reinterpret_cast<TStreamCookie*>(cookie);
  try {
    int32_t got = c->Stream->Read(buffer, count);
    // Wine's rich edit reads a CR LF split between two blocks as two
    // paragraph marks: a block does not end inside the pair.
    if (got > 1 && buffer[got - 1] == '\r') {
      c->Stream->Seek(int64_t(-1), TSeekOrigin::soCurrent);
      --got;
    }
    *done = got;
    return 0;
  } catch (...) {
    c->Error = std::current_exception();
    *done = 0;
    return 1;
  }
}

DWORD CALLBACK StreamOutCallback(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
  auto* c = reinterpret_cast<TStreamCookie*>(cookie);
  try {
    c->Stream->WriteBuffer(buffer, count);
    *done = count;
    return 0;
  } catch (...) {
    c->Error = std::current_exception();
    *done = 0;
    return 1;
  }
}

bool StartsAsRtf(TStream* stream) {
  char head[5] = {};
  int64_t pos = stream->Position();
  int32_t got = stream->Read(head, 5);
  stream->SetPosition(pos);
  return got == 5 && std::string(head, 5) == "{\\rtf";
}

}  // namespace

// ---------------------------------------------------------------------------
// TTextAttributes

void TTextAttributes::Get(CHARFORMAT2A& format) {
  format = CHARFORMAT2A{};
  format.cbSize = sizeof format;
  SendMessageA(FRichEdit->Handle(), EM_GETCHARFORMAT, FType == atSelected ? SCF_SELECTION : SCF_DEFAULT,
               reinterpret_cast<LPARAM>(&format));
}

void TTextAttributes::Set(CHARFORMAT2A& format) {
  format.cbSize = sizeof format;
  SendMessageA(FRichEdit->Handle(), EM_SETCHARFORMAT, FType == atSelected ? SCF_SELECTION : SCF_DEFAULT,
               reinterpret_cast<LPARAM>(&format));
}

bool TTextAttributes::Protected() {
  CHARFORMAT2A f;
  Get(f);
  return (f.dwEffects & CFE_PROTECTED) != 0;
}

void TTextAttributes::SetProtected(bool value) {
  CHARFORMAT2A f{};
  f.dwMask = CFM_PROTECTED;
  f.dwEffects = value ? CFE_PROTECTED : 0;
  Set(f);
}

// ===========================================================================
// Paragraph attributes

namespace {
// The control keeps indents and tabs in twips.
constexpr int kTwipsPerPoint = 20;
}  // namespace

void TParaAttributes::Get(PARAFORMAT2& format) {
  format = PARAFORMAT2{};
  format.cbSize = sizeof format;
  SendMessageA(FRichEdit->Handle(), EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
}

void TParaAttributes::Set(PARAFORMAT2& format) {
  format.cbSize = sizeof format;
  SendMessageA(FRichEdit->Handle(), EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
}

TAlignment TParaAttributes::Alignment() {
  PARAFORMAT2 f;
  Get(f);
  switch (f.wAlignment) {
    case PFA_RIGHT: return taRightJustify;
    case PFA_CENTER: return taCenter;
    default: return taLeftJustify;
  }
}

void TParaAttributes::SetAlignment(TAlignment value) {
  PARAFORMAT2 f{};
  f.dwMask = PFM_ALIGNMENT;
  f.wAlignment = value == taRightJustify ? PFA_RIGHT : value == taCenter ? PFA_CENTER : PFA_LEFT;
  Set(f);
}

int TParaAttributes::FirstIndent() {
  PARAFORMAT2 f;
  Get(f);
  return f.dxStartIndent / kTwipsPerPoint;
}

void TParaAttributes::SetFirstIndent(int value) {
  PARAFORMAT2 f{};
  f.dwMask = PFM_STARTINDENT;
  f.dxStartIndent = value * kTwipsPerPoint;
  Set(f);
}

int TParaAttributes::LeftIndent() {
  PARAFORMAT2 f;
  Get(f);
  return f.dxOffset / kTwipsPerPoint;
}

void TParaAttributes::SetLeftIndent(int value) {
  PARAFORMAT2 f{};
  f.dwMask = PFM_OFFSET;
  f.dxOffset = value * kTwipsPerPoint;
  Set(f);
}

int TParaAttributes::RightIndent() {
  PARAFORMAT2 f;
  Get(f);
  return f.dxRightIndent / kTwipsPerPoint;
}

void TParaAttributes::SetRightIndent(int value) {
  PARAFORMAT2 f{};
  f.dwMask = PFM_RIGHTINDENT;
  f.dxRightIndent = value * kTwipsPerPoint;
  Set(f);
}

TNumberingStyle TParaAttributes::Numbering() {
  PARAFORMAT2 f;
  Get(f);
  return f.wNumbering == PFN_BULLET ? nsBullet : nsNone;
}

void TParaAttributes::SetNumbering(TNumberingStyle value) {
  PARAFORMAT2 f{};
  f.dwMask = PFM_NUMBERING;
  f.wNumbering = value == nsBullet ? PFN_BULLET : 0;
  Set(f);
}

int TParaAttributes::TabCount() {
  PARAFORMAT2 f;
  Get(f);
  return f.cTabCount;
}

void TParaAttributes::SetTabCount(int value) {
  PARAFORMAT2 f;
  Get(f);
  f.dwMask = PFM_TABSTOPS;
  f.cTabCount = static_cast<SHORT>(std::clamp(value, 0, MAX_TAB_STOPS));
  Set(f);
}

int TParaAttributes::Tab(int index) {
  PARAFORMAT2 f;
  Get(f);
  if (index < 0 || index >= f.cTabCount) throw EListError(Format("List index out of bounds (%d)", {index}));
  return (f.rgxTabs[index] & 0xFFFFFF) / kTwipsPerPoint;
}

void TParaAttributes::SetTab(int index, int value) {
  PARAFORMAT2 f;
  Get(f);
  if (index < 0 || index >= MAX_TAB_STOPS) throw EListError(Format("List index out of bounds (%d)", {index}));
  f.dwMask = PFM_TABSTOPS;
  if (index >= f.cTabCount) f.cTabCount = static_cast<SHORT>(index + 1);
  f.rgxTabs[index] = value * kTwipsPerPoint;
  Set(f);
}

void TParaAttributes::Assign(TPersistent* source) {
  if (source && source->Is<TParaAttributes>()) {
    auto* src = static_cast<TParaAttributes*>(source);
    PARAFORMAT2 f;
    src->Get(f);
    f.dwMask = PFM_ALIGNMENT | PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_NUMBERING | PFM_TABSTOPS;
    Set(f);
    return;
  }
  TPersistent::Assign(source);
}

TColor TTextAttributes::Color() {
  CHARFORMAT2A f;
  Get(f);
  if (f.dwEffects & CFE_AUTOCOLOR) return clWindowText;
  return static_cast<TColor>(f.crTextColor);
}

void TTextAttributes::SetColor(TColor value) {
  CHARFORMAT2A f{};
  f.dwMask = CFM_COLOR;
  if (value == clWindowText)
    f.dwEffects = CFE_AUTOCOLOR;
  else
    f.crTextColor = ColorToRGB(value);
  Set(f);
}

AnsiString TTextAttributes::Name() {
  CHARFORMAT2A f;
  Get(f);
  return AnsiString(f.szFaceName);
}

void TTextAttributes::SetName(const AnsiString& value) {
  CHARFORMAT2A f{};
  f.dwMask = CFM_FACE;
  lstrcpynA(f.szFaceName, value.c_str(), LF_FACESIZE);
  Set(f);
}

int TTextAttributes::Size() {
  CHARFORMAT2A f;
  Get(f);
  return f.yHeight / 20;  // twips
}

void TTextAttributes::SetSize(int value) {
  CHARFORMAT2A f{};
  f.dwMask = CFM_SIZE;
  f.yHeight = value * 20;
  Set(f);
}

int TTextAttributes::Height() { return MulDiv(Size(), ScreenLogPixels, 72); }

void TTextAttributes::SetHeight(int value) { SetSize(MulDiv(value, 72, ScreenLogPixels)); }

TFontStyles TTextAttributes::Style() {
  CHARFORMAT2A f;
  Get(f);
  TFontStyles s = 0;
  if (f.dwEffects & CFE_BOLD) s |= fsBold;
  if (f.dwEffects & CFE_ITALIC) s |= fsItalic;
  if (f.dwEffects & CFE_UNDERLINE) s |= fsUnderline;
  if (f.dwEffects & CFE_STRIKEOUT) s |= fsStrikeOut;
  return s;
}

void TTextAttributes::SetStyle(TFontStyles value) {
  CHARFORMAT2A f{};
  f.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
  if (value & fsBold) f.dwEffects |= CFE_BOLD;
  if (value & fsItalic) f.dwEffects |= CFE_ITALIC;
  if (value & fsUnderline) f.dwEffects |= CFE_UNDERLINE;
  if (value & fsStrikeOut) f.dwEffects |= CFE_STRIKEOUT;
  Set(f);
}

TFontCharset TTextAttributes::Charset() {
  CHARFORMAT2A f;
  Get(f);
  return static_cast<TFontCharset>(f.bCharSet);
}

void TTextAttributes::SetCharset(TFontCharset value) {
  CHARFORMAT2A f{};
  f.dwMask = CFM_CHARSET;
  f.bCharSet = static_cast<BYTE>(value);
  Set(f);
}

TFontPitch TTextAttributes::Pitch() {
  CHARFORMAT2A f;
  Get(f);
  switch (f.bPitchAndFamily & 3) {
    case VARIABLE_PITCH: return fpVariable;
    case FIXED_PITCH: return fpFixed;
    default: return fpDefault;
  }
}

void TTextAttributes::SetPitch(TFontPitch value) {
  CHARFORMAT2A f;
  Get(f);
  f.dwMask = CFM_FACE;  // the pitch travels with the face
  f.bPitchAndFamily = static_cast<BYTE>((f.bPitchAndFamily & ~3) |
                                        (value == fpVariable ? VARIABLE_PITCH : value == fpFixed ? FIXED_PITCH : 0));
  Set(f);
}

void TTextAttributes::Assign(TPersistent* source) {
  if (source && source->Is<TFont>()) {
    auto* font = static_cast<TFont*>(source);
    CHARFORMAT2A f{};
    f.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    if (font->Color() == clWindowText)
      f.dwEffects = CFE_AUTOCOLOR;
    else
      f.crTextColor = ColorToRGB(font->Color());
    lstrcpynA(f.szFaceName, font->Name().c_str(), LF_FACESIZE);
    f.yHeight = std::abs(font->Size()) * 20;
    f.bCharSet = static_cast<BYTE>(font->Charset());
    if (font->Style() & fsBold) f.dwEffects |= CFE_BOLD;
    if (font->Style() & fsItalic) f.dwEffects |= CFE_ITALIC;
    if (font->Style() & fsUnderline) f.dwEffects |= CFE_UNDERLINE;
    if (font->Style() & fsStrikeOut) f.dwEffects |= CFE_STRIKEOUT;
    Set(f);
    return;
  }
  if (source && source->Is<TTextAttributes>()) {
    CHARFORMAT2A f;
    static_cast<TTextAttributes*>(source)->Get(f);
    f.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    Set(f);
    return;
  }
  TPersistent::Assign(source);
}

void TTextAttributes::AssignTo(TPersistent* dest) {
  if (dest && dest->Is<TFont>()) {
    auto* font = static_cast<TFont*>(dest);
    CHARFORMAT2A f;
    Get(f);
    font->SetColor((f.dwEffects & CFE_AUTOCOLOR) ? clWindowText : static_cast<TColor>(f.crTextColor));
    font->SetName(f.szFaceName);
    font->SetSize(f.yHeight / 20);
    font->SetCharset(static_cast<TFontCharset>(f.bCharSet));
    TFontStyles s = 0;
    if (f.dwEffects & CFE_BOLD) s |= fsBold;
    if (f.dwEffects & CFE_ITALIC) s |= fsItalic;
    if (f.dwEffects & CFE_UNDERLINE) s |= fsUnderline;
    if (f.dwEffects & CFE_STRIKEOUT) s |= fsStrikeOut;
    font->SetStyle(s);
    return;
  }
  TPersistent::AssignTo(dest);
}

// ---------------------------------------------------------------------------
// TRichEditStrings

TRichEditStrings::TRichEditStrings(TCustomRichEdit* richEdit) : TMemoStrings(richEdit), FRichEdit(richEdit) {}

void TRichEditStrings::SetUpdateState(bool updating) {
  TMemoStrings::SetUpdateState(updating);
  if (!updating && FRichEdit->HandleAllocated()) FRichEdit->Perform(CM_TEXTCHANGED);
}

AnsiString TRichEditStrings::GetTextStr() { return TStrings::GetTextStr(); }

void TRichEditStrings::SetTextStr(const AnsiString& text) { FRichEdit->SetText(text); }

void TRichEditStrings::LoadFromStream(TStream* stream) {
  // A document that does not start as RTF is plain text, also when RTF was
  // asked for (the control would show nothing of it otherwise).
  UINT format = !FRichEdit->FPlainText && StartsAsRtf(stream) ? SF_RTF : SF_TEXT;
  FRichEdit->StreamIn(stream, format);
}

void TRichEditStrings::SaveToStream(TStream* stream) {
  FRichEdit->StreamOut(stream, FRichEdit->FPlainText ? SF_TEXT : SF_RTF);
}

void TRichEditStrings::LoadFromFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TRichEditStrings::SaveToFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

// ---------------------------------------------------------------------------
// TCustomRichEdit

CL_BEGIN_MESSAGE_MAP(TCustomRichEdit, TCustomMemo)
  CL_MESSAGE(CN_NOTIFY, CNNotify)
  CL_MESSAGE(CM_COLORCHANGED, CMColorChanged)
  CL_MESSAGE(CM_FONTCHANGED, CMFontChanged)
CL_END_MESSAGE_MAP

TCustomRichEdit::TCustomRichEdit(TComponent* owner) : TCustomMemo(owner) {
  SetLinesObject(new TRichEditStrings(this));
  FSelAttributes = new TTextAttributes(this, atSelected);
  FDefAttributes = new TTextAttributes(this, atDefaultText);
  FParagraph = new TParaAttributes(this);
}

TCustomRichEdit::~TCustomRichEdit() {
  Destroying();
  if (HandleAllocated()) DestroyHandle();
  delete FSelAttributes;
  delete FDefAttributes;
  delete FParagraph;
  delete FKeptText;
}

void TCustomRichEdit::CreateParams(TCreateParams& params) {
  LoadRichEdit();
  if (!RichEditModule) RaiseLastOSError();
  TCustomMemo::CreateParams(params);
  CreateSubClass(params, RichEditClass);
  if (!FHideScrollBars) params.Style |= ES_DISABLENOSCROLL;
}

void TCustomRichEdit::CreateWnd() {
  TCustomMemo::CreateWnd();
  HWND h = WindowHandle();
  SendMessageA(h, EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE | ENM_REQUESTRESIZE | ENM_PROTECTED);
  SendMessageA(h, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(FColor)));
  // Without a target device the control wraps at the window's edge; a line
  // width of 1 turns wrapping off.
  SendMessageA(h, EM_SETTARGETDEVICE, 0, FWordWrap ? 0 : 1);
  if (FFont->Color() != clWindowText) FDefAttributes->SetColor(FFont->Color());
  if (FKeptText) {
    std::unique_ptr<TMemoryStream> kept(FKeptText);
    FKeptText = nullptr;
    kept->SetPosition(0);
    bool saved = FCreating;
    FCreating = true;  // putting the text back is no change
    try {
      StreamIn(kept.get(), FPlainText ? SF_TEXT : SF_RTF);
    } catch (...) {
      FCreating = saved;
      throw;
    }
    FCreating = saved;
    // Streaming in raises the limit to the text's length.
    SendMaxLength();
    SendMessageA(h, EM_SETMODIFY, FModified ? 1 : 0, 0);
    CHARRANGE r{FSavedSelStart, FSavedSelStart + FSavedSelLength};
    SendMessageA(h, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  }
}

void TCustomRichEdit::DestroyWnd() {
  if (!(ComponentState() & csDestroying)) {
    auto* kept = new TMemoryStream();
    try {
      StreamOut(kept, FPlainText ? SF_TEXT : SF_RTF);
    } catch (...) {
      delete kept;
      throw;
    }
    delete FKeptText;
    FKeptText = kept;
  }
  TCustomMemo::DestroyWnd();
}

void TCustomRichEdit::SendMaxLength() {
  // 0 means no limit of the program's own; the control's default would be 32K.
  SendMessageA(WindowHandle(), EM_EXLIMITTEXT, 0, FMaxLength > 0 ? FMaxLength : 0x7FFFFFF0);
}

void TCustomRichEdit::SetHideScrollBars(bool value) {
  if (value == FHideScrollBars) return;
  FHideScrollBars = value;
  RecreateWnd();
}

void TCustomRichEdit::StreamIn(TStream* stream, UINT format) {
  TStreamCookie cookie{stream, nullptr};
  EDITSTREAM es{};
  es.dwCookie = reinterpret_cast<DWORD_PTR>(&cookie);
  es.pfnCallback = &StreamInCallback;
  SendMessageA(Handle(), EM_STREAMIN, format, reinterpret_cast<LPARAM>(&es));
  if (cookie.Error) std::rethrow_exception(cookie.Error);
}

void TCustomRichEdit::StreamOut(TStream* stream, UINT format) {
  TStreamCookie cookie{stream, nullptr};
  EDITSTREAM es{};
  es.dwCookie = reinterpret_cast<DWORD_PTR>(&cookie);
  es.pfnCallback = &StreamOutCallback;
  SendMessageA(Handle(), EM_STREAMOUT, format, reinterpret_cast<LPARAM>(&es));
  if (cookie.Error) std::rethrow_exception(cookie.Error);
}

int TCustomRichEdit::GetSelStart() {
  if (!HandleAllocated()) return FSavedSelStart;
  CHARRANGE r{};
  SendMessageA(WindowHandle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
  return r.cpMin;
}

void TCustomRichEdit::SetSelStart(int value) {
  CHARRANGE r{value, value};
  SendMessageA(Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
}

int TCustomRichEdit::GetSelLength() {
  if (!HandleAllocated()) return FSavedSelLength;
  CHARRANGE r{};
  SendMessageA(WindowHandle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
  return r.cpMax - r.cpMin;
}

void TCustomRichEdit::SetSelLength(int value) {
  CHARRANGE r{};
  SendMessageA(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
  r.cpMax = r.cpMin + value;
  SendMessageA(Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  SendMessageA(Handle(), EM_SCROLLCARET, 0, 0);
}

AnsiString TCustomRichEdit::GetSelText() {
  CHARRANGE r{};
  SendMessageA(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
  // A character may take two bytes in a multi-byte code page.
  std::vector<char> buf(2 * static_cast<size_t>(r.cpMax - r.cpMin) + 1, '\0');
  int got = static_cast<int>(SendMessageA(Handle(), EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buf.data())));
  return AnsiString(buf.data(), got);
}

int TCustomRichEdit::FindText(const AnsiString& searchStr, int startPos, int length, TSearchTypes options) {
  FINDTEXTEXA ft{};
  ft.chrg.cpMin = startPos;
  ft.chrg.cpMax = startPos + length;
  ft.lpstrText = searchStr.c_str();
  WPARAM flags = FR_DOWN;
  if (options & stWholeWord) flags |= FR_WHOLEWORD;
  if (options & stMatchCase) flags |= FR_MATCHCASE;
  return static_cast<int>(SendMessageA(Handle(), EM_FINDTEXTEX, flags, reinterpret_cast<LPARAM>(&ft)));
}

void TCustomRichEdit::Print(const AnsiString& caption) {
  TPrinter* printer = Printer();
  printer->SetTitle(caption);
  printer->BeginDoc();
  try {
    HDC dc = printer->Handle();
    int logX = GetDeviceCaps(dc, LOGPIXELSX), logY = GetDeviceCaps(dc, LOGPIXELSY);
    FORMATRANGE range{};
    range.hdc = range.hdcTarget = dc;
    // Twips.
    range.rcPage = {0, 0, MulDiv(printer->PageWidth(), 1440, logX), MulDiv(printer->PageHeight(), 1440, logY)};
    range.rc = range.rcPage;
    // The length comes through the window's procedure chain, where a derived
    // control may count its text differently.
    int length = GetTextLen();
    HWND h = Handle();
    SendMessageA(h, EM_FORMATRANGE, 0, 0);
    int last = 0;
    for (;;) {
      range.chrg.cpMin = last;
      range.chrg.cpMax = -1;
      int next = static_cast<int>(SendMessageA(h, EM_FORMATRANGE, 1, reinterpret_cast<LPARAM>(&range)));
      // Nothing more fitted: the rest would never print.
      if (next <= last || next >= length) break;
      last = next;
      printer->NewPage();
    }
    SendMessageA(h, EM_FORMATRANGE, 0, 0);
  } catch (...) {
    SendMessageA(WindowHandle(), EM_FORMATRANGE, 0, 0);
    printer->Abort();
    throw;
  }
  printer->EndDoc();
}

void TCustomRichEdit::SelectionChange() {
  if (OnSelectionChange) OnSelectionChange(this);
}

void TCustomRichEdit::RequestSize(const TRect& rect) {
  if (OnResizeRequest) OnResizeRequest(this, rect);
}

void TCustomRichEdit::CNNotify(TMessage& m) {
  NMHDR* hdr = NotifyHdr(m);
  if (!hdr) return;
  switch (hdr->code) {
    case EN_SELCHANGE:
      if (!FCreating) SelectionChange();
      break;
    case EN_PROTECTED: {
      // Setting formats (the program's own doing) never asks.
      auto* p = reinterpret_cast<ENPROTECTED*>(hdr);
      m.Result = p->msg != EM_SETCHARFORMAT && !ProtectChange(p->chrg.cpMin, p->chrg.cpMax) ? 1 : 0;
      return;
    }
    case EN_REQUESTRESIZE: {
      const RECT& r = reinterpret_cast<REQRESIZE*>(hdr)->rc;
      RequestSize(TRect(r.left, r.top, r.right, r.bottom));
      break;
    }
    default:
      break;
  }
}

bool TCustomRichEdit::ProtectChange(int startPos, int endPos) {
  bool allow = false;
  if (OnProtectChange) OnProtectChange(this, startPos, endPos, allow);
  return allow;
}

void TCustomRichEdit::CMColorChanged(TMessage& m) {
  InheritedMsg(&TCustomMemo::MessageMap, m);
  if (HandleAllocated()) SendMessageA(WindowHandle(), EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(FColor)));
}

void TCustomRichEdit::CMFontChanged(TMessage& m) {
  InheritedMsg(&TCustomMemo::MessageMap, m);
  if (HandleAllocated()) FDefAttributes->Assign(FFont);
}

// ===========================================================================

void UnitInit_richedit() {
  LoadRichEdit();
  RegisterClass(&TRichEdit::Class);
  const TMetaClass* c = &TCustomRichEdit::Class;
  RegisterProperty(c, "HideScrollBars", pkBool, &TCustomRichEdit::SetHideScrollBars,
                   &TCustomRichEdit::HideScrollBars);
  RegisterProperty(c, "PlainText", pkBool, &TCustomRichEdit::SetPlainText, &TCustomRichEdit::PlainText);
  RegisterProperty(c, "OnSelectionChange", pkEvent, &TCustomRichEdit::SetOnSelectionChange,
                   &TCustomRichEdit::GetOnSelectionChange);
}

void UnitFini_richedit() {
  if (RichEditModule) FreeLibrary(RichEditModule);
  RichEditModule = nullptr;
}
