#include "Useunit.h"

#include <richedit.h>

#include "Mainunit.h"
#include "filer.h"
// commdlg.h maps FindText to FindTextA; here it is the rich edit's search.
#undef FindText

TUseForm* UseForm = nullptr;
const char* const PartnerProductPhrase = "Korfen DiskRecovery.";

namespace {

// The document of a language and its support-page phrase; languages 2 and 3
// have no document.
struct HelpDocument {
  const char* Resource;
  const wchar_t* SupportPhrase;
};

HelpDocument DocumentOf(uint8_t language) {
  switch (language) {
    case 0:
      return {"HELPDOC", L"страницу поддержки."};
    case 2:
    case 3:
      return {nullptr, L""};
    default:
      return {"HELPDOC_EN", L"support page."};
  }
}

// The bytes of an RCDATA resource of the program; empty when it is missing.
AnsiString ResourceText(const char* name) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC info = FindResourceA(module, name, MAKEINTRESOURCEA(10));
  if (!info) return AnsiString();
  HGLOBAL data = LoadResource(module, info);
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) return AnsiString();
  return AnsiString(static_cast<const char*>(bytes), SizeofResource(module, info));
}

}  // namespace

CL_DEFINE_COMPONENT(TUseForm, TForm)

TUseForm::TUseForm(TComponent* owner) : TForm(owner) { ReadLayout(&TUseForm::Class); }

TUseForm::~TUseForm() {
  if (UseForm == this) UseForm = nullptr;
}

void TUseForm::FormCreate(TObject*) {
  Localization* loc = InfoFileForm ? InfoFileForm->localization : nullptr;
  const uint8_t language = loc ? loc->GetLanguage() : 0;
  link2Phrase = PartnerProductPhrase;
  link2Address = AnsiString(PartnerAddress) + "?from=fennolit";
  const HelpDocument doc = DocumentOf(language);
  link1Phrase = WideToAnsi(doc.SupportPhrase);
  link1Address = doc.Resource && loc ? WideToAnsi(loc->GetAboutText(5)) : AnsiString();
  if (doc.Resource) {
    // A document that is missing or unreadable leaves the window empty.
    const AnsiString rtf = ResourceText(doc.Resource);
    if (!rtf.IsEmpty()) UseRichEdit->SetRTFText(0, rtf);
  }
  MarkLink(link1Phrase, link1Start, link1End);
  MarkLink(link2Phrase, link2Start, link2End);
  UseRichEdit->SetSelLength(0);
  UseRichEdit->SetSelStart(0);
}

void TUseForm::MarkLink(const AnsiString& phrase, int& start, int& end) {
  start = end = 0;
  if (phrase.IsEmpty()) return;
  const WideString wide = AnsiToWide(phrase);
  const int length = static_cast<int>(UseRichEdit->Text().Length());
  const int found = UseRichEdit->FindText(wide, 0, length, 0);
  if (found < 0) return;
  UseRichEdit->SetSelStart(found);
  UseRichEdit->SetSelLength(static_cast<int>(wide.Length()));
  TTextAttributes* attributes = UseRichEdit->SelAttributes();
  attributes->SetColor(RGB(0, 0, 255));
  attributes->SetStyle(attributes->Style() | fsUnderline);
  start = UseRichEdit->RawWin32CharPos(found);
  end = UseRichEdit->RawWin32CharPos(found + static_cast<int>(wide.Length()));
}

void TUseForm::FormShow(TObject*) {
  Localization* loc = InfoFileForm ? InfoFileForm->localization : nullptr;
  const uint8_t charset = LanguageCharset(loc);
  for (TControl* c : std::initializer_list<TControl*>{this, pnlUse, UseRichEdit}) c->Font()->SetCharset(charset);
  if (loc) SetCaption(WideToAnsi(loc->GetCommonText(73)));
  savedCursor = Screen->Cursor();
}

void TUseForm::FormClose(TObject*, TCloseAction& action) { action = caFree; }

void TUseForm::FormDeactivate(TObject*) { Screen->SetCursor(savedCursor); }

int TUseForm::LinkAt(int x, int y) {
  if (!UseRichEdit->HandleAllocated()) return 0;
  POINTL point{x, y};
  // The rich edit takes a pointer to the point, not packed coordinates.
  const int index = static_cast<int>(UseRichEdit->Perform(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&point)));
  if (index < 0) return 0;
  if (index >= link1Start && index < link1End) return 1;
  if (index >= link2Start && index < link2End) return 2;
  return 0;
}

void TUseForm::UseRichEditMouseMove(TObject*, TShiftState, int x, int y) {
  Screen->SetCursor(LinkAt(x, y) ? crHandPoint : crIBeam);
}

void TUseForm::UseRichEditMouseUp(TObject*, TMouseButton, TShiftState, int x, int y) {
  // The help window does not report a link the shell could not open.
  switch (LinkAt(x, y)) {
    case 1:
      OpenWebAddress(nullptr, link1Address, SW_SHOW);
      break;
    case 2:
      OpenWebAddress(nullptr, link2Address, SW_SHOW);
      break;
    default:
      break;
  }
}

void TUseForm::UseRichEditKeyPress(TObject*, char& key) {
  if (key == 27) Close();
}

void TUseForm::UseRichEditExit(TObject*) { Screen->SetCursor(crIBeam); }

void TUseForm::pnlUseMouseMove(TObject*, TShiftState, int, int) { Screen->SetCursor(crIBeam); }

void TUseForm::pnlUseExit(TObject*) { Screen->SetCursor(savedCursor); }

void UnitInit_Useunit() {
  RegisterClass(&TUseForm::Class);
  using F = TUseForm;
  RegisterFormFields<F>({
      {"pnlUse", &F::pnlUse},
      {"UseRichEdit", &F::UseRichEdit},
  });
  RegisterFormMethods<F>({
      {"FormCreate", MethodEntry<&F::FormCreate>()},
      {"FormShow", MethodEntry<&F::FormShow>()},
      {"FormClose", MethodEntry<&F::FormClose>()},
      {"FormDeactivate", MethodEntry<&F::FormDeactivate>()},
      {"UseRichEditMouseMove", MethodEntry<&F::UseRichEditMouseMove>()},
      {"UseRichEditMouseUp", MethodEntry<&F::UseRichEditMouseUp>()},
      {"UseRichEditKeyPress", MethodEntry<&F::UseRichEditKeyPress>()},
      {"UseRichEditExit", MethodEntry<&F::UseRichEditExit>()},
      {"pnlUseMouseMove", MethodEntry<&F::pnlUseMouseMove>()},
      {"pnlUseExit", MethodEntry<&F::pnlUseExit>()},
  });
}

void UnitFini_Useunit() {}
