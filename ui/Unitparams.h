// The parameters window: which fields the next scan records.
#pragma once

#include "buttons.h"
#include "forms.h"
#include "stdctrls.h"

class TParamsForm : public TForm {
  CL_CLASS(TParamsForm, TForm)
public:
  explicit TParamsForm(TComponent* owner);
  ~TParamsForm() override;

  TCustomCheckBox* cbxFileAll = nullptr;
  TCustomCheckBox* cbxFileFlag = nullptr;
  TCustomCheckBox* cbxFileCreate = nullptr;
  TCustomCheckBox* cbxFileModify = nullptr;
  TCustomCheckBox* cbxFileSize = nullptr;
  TCustomCheckBox* cbxDirSize = nullptr;
  TBitBtn* bbtnOk = nullptr;

  void FormShow(TObject* sender);
  // Released on "select all": the five others take its state.
  void cbxFileAllMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  // Released on one of the five: "select all" says whether all five are ticked.
  void cbxFileModifyMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  // The five states into the main window's store flags.
  void bbtnOkClick(TObject* sender);
};

void UnitInit_Unitparams();
void UnitFini_Unitparams();
