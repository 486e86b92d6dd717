#include "Maskunit.h"

#include "Mainunit.h"
#include "filer.h"

TMaskForm* MaskForm = nullptr;

CL_DEFINE_COMPONENT(TMaskForm, TForm)

TMaskForm::TMaskForm(TComponent* owner) : TForm(owner) { ReadLayout(&TMaskForm::Class); }

TMaskForm::~TMaskForm() {
  if (MaskForm == this) MaskForm = nullptr;
}

void TMaskForm::FormShow(TObject*) {
  Localization* loc = InfoFileForm ? InfoFileForm->localization : nullptr;
  const uint8_t charset = LanguageCharset(loc);
  for (TControl* c : std::initializer_list<TControl*>{this, ledMask, FindBitBtn, CancelBitBtn})
    c->Font()->SetCharset(charset);
  ledMask->SetText(WideString());
  FindBitBtn->SetEnabled(false);
  // Before the window shows, focusing means naming the control that gets it.
  if (ledMask->CanFocus())
    ledMask->SetFocus();
  else
    SetActiveControl(ledMask);
  if (!loc) return;
  UcControl_SetText(this, loc->GetCommonText(4));
  FindBitBtn->SetCaption(loc->GetCommonText(4));
  CancelBitBtn->SetCaption(loc->GetCommonText(23));
}

void TMaskForm::ledMaskChange(TObject*) { FindBitBtn->SetEnabled(!ledMask->Text().IsEmpty()); }

void TMaskForm::FindBitBtnClick(TObject*) {
  // Enter reaches the default button only while it is enabled; a click
  // through the action path is checked as well.
  if (ledMask->Text().IsEmpty()) return;
  if (InfoFileForm) InfoFileForm->searchMask = WideToAnsi(ledMask->Text());
  SetModalResult(mrOk);
}

void UnitInit_Maskunit() {
  RegisterClass(&TMaskForm::Class);
  using F = TMaskForm;
  RegisterFormFields<F>({
      {"ledMask", &F::ledMask},
      {"FindBitBtn", &F::FindBitBtn},
      {"CancelBitBtn", &F::CancelBitBtn},
  });
  RegisterFormMethods<F>({
      {"FormShow", MethodEntry<&F::FormShow>()},
      {"ledMaskChange", MethodEntry<&F::ledMaskChange>()},
      {"FindBitBtnClick", MethodEntry<&F::FindBitBtnClick>()},
  });
}

void UnitFini_Maskunit() {}
