#include "Unitparams.h"

#include "Mainunit.h"
#include "filer.h"

CL_DEFINE_COMPONENT(TParamsForm, TForm)

TParamsForm::TParamsForm(TComponent* owner) : TForm(owner) { ReadLayout(&TParamsForm::Class); }

TParamsForm::~TParamsForm() {
  if (ParamsForm == this) ParamsForm = nullptr;
}

void TParamsForm::FormShow(TObject*) {
  Localization* loc = InfoFileForm ? InfoFileForm->localization : nullptr;
  const uint8_t charset = LanguageCharset(loc);
  TControl* controls[] = {this, cbxFileAll, cbxFileFlag, cbxFileCreate, cbxFileModify, cbxFileSize, cbxDirSize, bbtnOk};
  for (TControl* c : controls) c->Font()->SetCharset(charset);
  if (!loc) return;
  SetCaption(WideToAnsi(loc->GetParamsText(0)));
  for (int i = 1; i <= 7; ++i) UcControl_SetText(controls[i], loc->GetParamsText(i));
}

void TParamsForm::cbxFileAllMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
  const bool all = cbxFileAll->GetChecked();
  for (TCustomCheckBox* box : {cbxFileFlag, cbxFileCreate, cbxFileModify, cbxFileSize, cbxDirSize}) box->SetChecked(all);
}

void TParamsForm::cbxFileModifyMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
  cbxFileAll->SetChecked(cbxFileFlag->GetChecked() && cbxFileCreate->GetChecked() && cbxFileModify->GetChecked() &&
                         cbxFileSize->GetChecked() && cbxDirSize->GetChecked());
}

void TParamsForm::bbtnOkClick(TObject*) {
  if (!InfoFileForm) return;
  InfoFileForm->storeAttributes = cbxFileFlag->GetChecked();
  InfoFileForm->storeCreated = cbxFileCreate->GetChecked();
  InfoFileForm->storeModified = cbxFileModify->GetChecked();
  InfoFileForm->storeSize = cbxFileSize->GetChecked();
  InfoFileForm->storeFolderSizes = cbxDirSize->GetChecked();
}

void UnitInit_Unitparams() {
  RegisterClass(&TParamsForm::Class);
  using F = TParamsForm;
  RegisterFormFields<F>({
      {"cbxFileAll", &F::cbxFileAll},
      {"cbxFileFlag", &F::cbxFileFlag},
      {"cbxFileCreate", &F::cbxFileCreate},
      {"cbxFileModify", &F::cbxFileModify},
      {"cbxFileSize", &F::cbxFileSize},
      {"cbxDirSize", &F::cbxDirSize},
      {"bbtnOk", &F::bbtnOk},
  });
  RegisterFormMethods<F>({
      {"FormShow", MethodEntry<&F::FormShow>()},
      {"cbxFileAllMouseUp", MethodEntry<&F::cbxFileAllMouseUp>()},
      {"cbxFileModifyMouseUp", MethodEntry<&F::cbxFileModifyMouseUp>()},
      {"bbtnOkClick", MethodEntry<&F::bbtnOkClick>()},
  });
}

void UnitFini_Unitparams() {}
