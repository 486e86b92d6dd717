#include "Aboutunit.h"

#include <shellapi.h>

#include <algorithm>

#include "Mainunit.h"
#include "filer.h"
#include "stdctrls.h"

TAboutForm* AboutForm = nullptr;
const char* const ProgramVersion = "1.0.3.1";

CL_DEFINE_COMPONENT(TAboutForm, TForm)

TAboutForm::TAboutForm(TComponent* owner) : TForm(owner) { ReadLayout(&TAboutForm::Class); }

TAboutForm::~TAboutForm() {
  if (AboutForm == this) AboutForm = nullptr;
}

void TAboutForm::FormShow(TObject*) {
  Localization* loc = InfoFileForm ? InfoFileForm->localization : nullptr;
  const uint8_t charset = LanguageCharset(loc);
  for (TControl* c : std::initializer_list<TControl*>{this, VersionLabel, Label1, Label2, Link1Label, BitBtn})
    c->Font()->SetCharset(charset);
  if (loc) {
    SetCaption(WideToAnsi(loc->GetAboutText(0)));
    Label1->SetCaption(loc->GetAboutText(1));
    Label2->SetCaption(loc->GetAboutText(2));
    Link1Label->SetCaption(loc->GetAboutText(3));
    BitBtn->SetCaption(loc->GetAboutText(4));
    Link1Label->SetHint(loc->GetAboutText(5));
  }
  // The window is as wide as its longer text line needs: the Russian second
  // line is longer than the first and would otherwise be cut off.
  SetWidth(Label1->Left() + std::max(Label1->Width(), Label2->Width()) + 40);
  // The bold version line is as wide as the label draws it: the widths the
  // measuring calls report fall short of its last character.
  const WideString version = WideString(L"Fennolit ") + AnsiToWide(ProgramVersion);
  VersionLabel->SetCaption(version);
  VersionLabel->SetAutoSize(false);
  VersionLabel->SetWidth(VersionLabel->DrawnTextWidth());
  const int w = Width();
  VersionLabel->SetLeft((w - 10) / 2 - VersionLabel->Width() / 2);
  Link1Label->SetLeft((w - 10) / 2 - Link1Label->Width() / 2);
  BitBtn->SetLeft((w - 20) / 2 - BitBtn->Width() / 2);
  Bevel->SetWidth(w - 25);
}

void TAboutForm::Link1LabelClick(TObject* sender) {
  auto* label = dynamic_cast<TUcLabel*>(sender);
  if (!label) return;
  const AnsiString address = WideToAnsi(label->Hint());
  HWND owner = InfoFileForm ? InfoFileForm->Handle() : Handle();
  if (!OpenWebAddress(owner, address, SW_SHOWNORMAL)) {
    Localization* loc = InfoFileForm ? InfoFileForm->localization : nullptr;
    const AnsiString text = loc ? WideToAnsi(loc->GetMessageText(7)) : AnsiString();
    ::ShowMessage(text + " - " + address);
  }
}

void UnitInit_Aboutunit() {
  RegisterClass(&TAboutForm::Class);
  using F = TAboutForm;
  RegisterFormFields<F>({
      {"VersionLabel", &F::VersionLabel},
      {"Label1", &F::Label1},
      {"Label2", &F::Label2},
      {"Link1Label", &F::Link1Label},
      {"BitBtn", &F::BitBtn},
      {"Bevel", &F::Bevel},
  });
  RegisterFormMethods<F>({
      {"FormShow", MethodEntry<&F::FormShow>()},
      {"Link1LabelClick", MethodEntry<&F::Link1LabelClick>()},
  });
}

void UnitFini_Aboutunit() {}
