// The marks dialog of the marked-entries CSV export: which of the needed,
// not-needed, damaged and absent marks the export takes. It lives for the
// whole run and keeps its ticks.
#pragma once

#include "FileExports.h"
#include "UcStdCtrls.h"
#include "forms.h"

class TfmExportOptions : public TForm {
  CL_CLASS(TfmExportOptions, TForm)
public:
  explicit TfmExportOptions(TComponent* owner);
  ~TfmExportOptions() override;

  TUcCheckBox* cbxNeed = nullptr;
  TUcCheckBox* cbxNoNeed = nullptr;
  TUcCheckBox* cbxDamaged = nullptr;
  TUcCheckBox* cbxAbsent = nullptr;
  TUcButton* btnCancel = nullptr;
  TUcButton* btnOK = nullptr;

  // 1 when the dialog was last closed with btnOK; every showing starts at 0,
  // so the close box cancels.
  uint8_t accepted = 0;

  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void btnOKClick(TObject* sender);
  void btnCancelClick(TObject* sender);

  TExportMarks Marks();
};

extern TfmExportOptions* fmExportOptions;

// The dialog's ticks as the marks the export takes.
bool MatchesExportOptions(TfmExportOptions* dialog, const ListNode* node);

void UnitInit_Ufmexportoptions();
void UnitFini_Ufmexportoptions();
