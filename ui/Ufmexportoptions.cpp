#include "Ufmexportoptions.h"

#include "Mainunit.h"
#include "UcControls.h"
#include "dialogs.h"
#include "filer.h"

TfmExportOptions* fmExportOptions = nullptr;

namespace {

// The message of an OK without a tick.
constexpr int msgNoExportMarks = 37;

}  // namespace

CL_DEFINE_COMPONENT(TfmExportOptions, TForm)

TfmExportOptions::TfmExportOptions(TComponent* owner) : TForm(owner) { ReadLayout(&TfmExportOptions::Class); }

TfmExportOptions::~TfmExportOptions() {
  if (fmExportOptions == this) fmExportOptions = nullptr;
}

void TfmExportOptions::FormCreate(TObject*) {
  const uint8_t charset = LanguageCharset(InfoFileForm ? InfoFileForm->localization : nullptr);
  for (TControl* c :
       std::initializer_list<TControl*>{this, cbxNeed, cbxNoNeed, cbxDamaged, cbxAbsent, btnCancel, btnOK})
    c->Font()->SetCharset(charset);
}

void TfmExportOptions::FormShow(TObject*) {
  accepted = 0;
  if (!InfoFileForm) return;
  ICoreHost* host = InfoFileForm;
  UcControl_SetText(this, host->LocalText(tgCommon, 66));
  UcControl_SetText(cbxNeed, host->LocalText(tgCommon, 52));
  UcControl_SetText(cbxNoNeed, host->LocalText(tgCommon, 53));
  UcControl_SetText(cbxDamaged, host->LocalText(tgCommon, 51));
  UcControl_SetText(cbxAbsent, host->LocalText(tgCommon, 67));
  UcControl_SetText(btnCancel, host->LocalText(tgCommon, 31));
  UcControl_SetText(btnOK, host->LocalText(tgParams, 7));
}

void TfmExportOptions::btnOKClick(TObject*) {
  if (!Marks().Any()) {
    accepted = 0;
    if (InfoFileForm) ShowMessageNumber(*InfoFileForm, msgNoExportMarks);
    return;
  }
  accepted = 1;
  Close();
}

void TfmExportOptions::btnCancelClick(TObject*) {
  accepted = 0;
  Close();
}

TExportMarks TfmExportOptions::Marks() {
  TExportMarks marks;
  marks.Need = cbxNeed->GetChecked();
  marks.NoNeed = cbxNoNeed->GetChecked();
  marks.Damaged = cbxDamaged->GetChecked();
  marks.Absent = cbxAbsent->GetChecked();
  return marks;
}

bool MatchesExportOptions(TfmExportOptions* dialog, const ListNode* node) {
  return MatchesExportOptions(dialog->Marks(), node);
}

void UnitInit_Ufmexportoptions() {
  RegisterClass(&TfmExportOptions::Class);
  using F = TfmExportOptions;
  RegisterFormFields<F>({
      {"cbxNeed", &F::cbxNeed},
      {"cbxNoNeed", &F::cbxNoNeed},
      {"cbxDamaged", &F::cbxDamaged},
      {"cbxAbsent", &F::cbxAbsent},
      {"btnCancel", &F::btnCancel},
      {"btnOK", &F::btnOK},
  });
  RegisterFormMethods<F>({
      {"FormCreate", MethodEntry<&F::FormCreate>()},
      {"FormShow", MethodEntry<&F::FormShow>()},
      {"btnOKClick", MethodEntry<&F::btnOKClick>()},
      {"btnCancelClick", MethodEntry<&F::btnCancelClick>()},
  });
}

void UnitFini_Ufmexportoptions() {}
