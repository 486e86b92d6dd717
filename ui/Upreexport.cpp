#include "Upreexport.h"

#include "Mainunit.h"
#include "UcControls.h"
#include "filer.h"

TufmPreExport* ufmPreExport = nullptr;

CL_DEFINE_COMPONENT(TufmPreExport, TForm)

TufmPreExport::TufmPreExport(TComponent* owner) : TForm(owner) { ReadLayout(&TufmPreExport::Class); }

TufmPreExport::~TufmPreExport() {
  if (ufmPreExport == this) ufmPreExport = nullptr;
}

void TufmPreExport::FormCreate(TObject*) {
  const uint8_t charset = LanguageCharset(InfoFileForm ? InfoFileForm->localization : nullptr);
  for (TControl* c : std::initializer_list<TControl*>{this, edPath, Button1, Button2, Label1})
    c->Font()->SetCharset(charset);
}

void TufmPreExport::FormShow(TObject*) {
  if (!InfoFileForm) return;
  UcControl_SetText(Button1, InfoFileForm->LocalText(tgCommon, 30));
  UcControl_SetText(Label1, InfoFileForm->LocalText(tgCommon, 62));
}

void TufmPreExport::Button1Click(TObject*) { Close(); }

void TufmPreExport::Button2Click(TObject*) { Close(); }

AnsiString TufmPreExport::BaseUrl() { return WideToAnsi(UcControl_GetText(edPath)); }

void UnitInit_Upreexport() {
  RegisterClass(&TufmPreExport::Class);
  using F = TufmPreExport;
  RegisterFormFields<F>({
      {"Label1", &F::Label1},
      {"edPath", &F::edPath},
      {"Button1", &F::Button1},
      {"Button2", &F::Button2},
  });
  RegisterFormMethods<F>({
      {"FormCreate", MethodEntry<&F::FormCreate>()},
      {"FormShow", MethodEntry<&F::FormShow>()},
      {"Button1Click", MethodEntry<&F::Button1Click>()},
      {"Button2Click", MethodEntry<&F::Button2Click>()},
  });
}

void UnitFini_Upreexport() {}
