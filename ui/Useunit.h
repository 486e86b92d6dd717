// The help window: the built-in help document of the selected language in a
// read-only rich edit, with two phrases drawn as links (the maker's support
// page and the partner's page).
#pragma once

#include "UcExtCtrls.h"
#include "UcRichEdit.h"
#include "forms.h"

class TUseForm : public TForm {
  CL_CLASS(TUseForm, TForm)
public:
  explicit TUseForm(TComponent* owner);
  ~TUseForm() override;

  TUcPanel* pnlUse = nullptr;
  TUcRichEdit* UseRichEdit = nullptr;

  // The two links: the phrase the document spells, the address it opens and
  // where the phrase was found (control positions, end exclusive; 0 to 0
  // when the document does not hold it). Links are found by these ranges,
  // never by lines and columns, which depend on the font and the wrapping.
  AnsiString link1Phrase, link1Address;
  AnsiString link2Phrase, link2Address;
  int link1Start = 0, link1End = 0;
  int link2Start = 0, link2End = 0;
  TCursor savedCursor = crDefault;

  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
  void FormDeactivate(TObject* sender);
  void UseRichEditMouseMove(TObject* sender, TShiftState shift, int x, int y);
  void UseRichEditMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void UseRichEditKeyPress(TObject* sender, char& key);
  void UseRichEditExit(TObject* sender);
  void pnlUseMouseMove(TObject* sender, TShiftState shift, int x, int y);
  void pnlUseExit(TObject* sender);

  // 1 when the point (client coordinates of the rich edit) lies on link 1,
  // 2 on link 2, else 0.
  int LinkAt(int x, int y);

private:
  // Colours the phrase's first occurrence blue and underlines it; its range.
  void MarkLink(const AnsiString& phrase, int& start, int& end);
};

// The window the last Usage command opened (each frees itself when closed).
extern TUseForm* UseForm;

// The partner's product as the help documents spell it (link 2's phrase).
extern const char* const PartnerProductPhrase;

void UnitInit_Useunit();
void UnitFini_Useunit();
