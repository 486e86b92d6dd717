// The about window: the program's name and version, what it is for, and a
// link to the maker's support page.
#pragma once

#include "UcButtons.h"
#include "UcStdCtrls.h"
#include "extctrls.h"
#include "forms.h"

class TAboutForm : public TForm {
  CL_CLASS(TAboutForm, TForm)
public:
  explicit TAboutForm(TComponent* owner);
  ~TAboutForm() override;

  TUcLabel* VersionLabel = nullptr;
  TUcLabel* Label1 = nullptr;
  TUcLabel* Label2 = nullptr;
  TUcLabel* Link1Label = nullptr;
  TUcBitBtn* BitBtn = nullptr;
  TBevel* Bevel = nullptr;

  void FormShow(TObject* sender);
  void Link1LabelClick(TObject* sender);
};

extern TAboutForm* AboutForm;

// The version the about window names.
extern const char* const ProgramVersion;

void UnitInit_Aboutunit();
void UnitFini_Aboutunit();
