#include "Opensaveunit.h"

#include "Mainunit.h"
#include "filer.h"

CL_DEFINE_COMPONENT(TOpenSaveForm, TForm)

TOpenSaveForm::TOpenSaveForm(TComponent* owner) : TForm(owner) { ReadLayout(&TOpenSaveForm::Class); }

TOpenSaveForm::~TOpenSaveForm() {
  if (OpenSaveForm == this) OpenSaveForm = nullptr;
}

namespace {

void ApplyCharsets(TOpenSaveForm* f) {
  const uint8_t charset = LanguageCharset(InfoFileForm ? InfoFileForm->localization : nullptr);
  f->Font()->SetCharset(charset);
  f->ProgressPanel->Font()->SetCharset(charset);
}

// The text of the job that the source started: the controls and menu items
// of the layout, and the actions and the main window itself (a command run
// through an action, or an open from the command line or a drop).
int CaptionIndexOf(TInfoFileForm* f, TObject* source) {
  if (!source) return -1;
  if (source == f->spbtOpen || source == f->openAction || source == f->mmOpen || source == f) return 26;
  if (source == f->spbtSave || source == f->saveAction || source == f->saveAsAction || source == f->mmSave ||
      source == f->mmSaveAs || source == f->mmSaveText || source == f->mmSaveCSV || source == f->mmSaveHTML ||
      source == f->exportTXTAction || source == f->exportCSVAction || source == f->SaveHTMLAction)
    return 27;
  if (source == f->spbtSearch || source == f->FindAction || source == f->mmFind) return 28;
  if (source == f->spbtList || source == f->mmListAction || source == f->mmList) return 34;
  return -1;
}

}  // namespace

void TOpenSaveForm::FormCreate(TObject*) { ApplyCharsets(this); }

void TOpenSaveForm::FormShow(TObject*) {
  ApplyCharsets(this);
  if (!InfoFileForm || !InfoFileForm->localization) return;
  const int index = CaptionIndexOf(InfoFileForm, InfoFileForm->actionSource);
  if (index >= 0) UcControl_SetText(ProgressPanel, InfoFileForm->localization->GetCommonText(index));
}

void TOpenSaveForm::FormClose(TObject*, TCloseAction& action) {
  action = caFree;
  closing = true;
}

void UnitInit_Opensaveunit() {
  RegisterClass(&TOpenSaveForm::Class);
  using F = TOpenSaveForm;
  RegisterFormFields<F>({{"ProgressPanel", &F::ProgressPanel}});
  RegisterFormMethods<F>({
      {"FormCreate", MethodEntry<&F::FormCreate>()},
      {"FormShow", MethodEntry<&F::FormShow>()},
      {"FormClose", MethodEntry<&F::FormClose>()},
  });
}

void UnitFini_Opensaveunit() {}
