// The search window: takes the text that the search looks for in entry names.
#pragma once

#include "UcButtons.h"
#include "UcStdCtrls.h"
#include "forms.h"

class TMaskForm : public TForm {
  CL_CLASS(TMaskForm, TForm)
public:
  explicit TMaskForm(TComponent* owner);
  ~TMaskForm() override;

  TUcEdit* ledMask = nullptr;
  TUcBitBtn* FindBitBtn = nullptr;
  TUcBitBtn* CancelBitBtn = nullptr;

  // Charsets and texts of the language; an empty edit with the focus (the
  // previous mask is never shown again).
  void FormShow(TObject* sender);
  // Find is enabled exactly while the edit holds text.
  void ledMaskChange(TObject* sender);
  // The text into the main window's searchMask (ANSI), modal result OK.
  void FindBitBtnClick(TObject* sender);
};

extern TMaskForm* MaskForm;

void UnitInit_Maskunit();
void UnitFini_Maskunit();
