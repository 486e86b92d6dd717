// The wait window: a borderless panel saying what the program is busy with
// while a list is loaded, saved, searched or updated.
#pragma once

#include "extctrls.h"
#include "forms.h"

class TOpenSaveForm : public TForm {
  CL_CLASS(TOpenSaveForm, TForm)
public:
  explicit TOpenSaveForm(TComponent* owner);
  ~TOpenSaveForm() override;

  TCustomPanel* ProgressPanel = nullptr;

  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);

  // Set once the window closes (it is freed after the current message).
  bool closing = false;
};

void UnitInit_Opensaveunit();
void UnitFini_Opensaveunit();
