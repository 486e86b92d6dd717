// The base-URL dialog of the HTML-site export: the address of the folder in
// which the listed files will lie, so that the pages can link to them. It
// lives for the whole run and keeps the text typed last.
#pragma once

#include "UcStdCtrls.h"
#include "forms.h"

class TufmPreExport : public TForm {
  CL_CLASS(TufmPreExport, TForm)
public:
  explicit TufmPreExport(TComponent* owner);
  ~TufmPreExport() override;

  TUcLabel* Label1 = nullptr;
  TUcEdit* edPath = nullptr;
  TUcButton* Button1 = nullptr;
  TUcButton* Button2 = nullptr;

  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  // Both only close: the export takes the edit's text however the dialog closed.
  void Button1Click(TObject* sender);
  void Button2Click(TObject* sender);

  // The text of edPath (ANSI).
  AnsiString BaseUrl();
};

extern TufmPreExport* ufmPreExport;

void UnitInit_Upreexport();
void UnitFini_Upreexport();
