// The comment window: edits the one-line comment of an entry.
#pragma once

#include "UcRichEdit.h"
#include "UcStdCtrls.h"
#include "forms.h"

class TCommentForm : public TForm {
  CL_CLASS(TCommentForm, TForm)
public:
  explicit TCommentForm(TComponent* owner);
  ~TCommentForm() override;

  TUcRichEdit* redComment = nullptr;
  TUcButton* btOk = nullptr;
  TUcButton* btCancel = nullptr;

  void FormCreate(TObject* sender);
  // Texts of the language, the main window's commentText in the editor, and
  // the caption naming the entry ("...для файла name" / "...для папки name").
  void FormShow(TObject* sender);
  // An empty text: message 21 and Cancel. Otherwise the text, line breaks
  // folded, into the main window's commentText and OK.
  void btOkClick(TObject* sender);
};

extern TCommentForm* CommentForm;

// Folds the line breaks of a comment: each CR LF goes; a space takes its
// place unless a space stands before it or it was at the text's end (or
// before only its last character). A lone CR or LF counts as a CR LF.
AnsiString FoldCommentLineBreaks(const AnsiString& text);

void UnitInit_Commentunit();
void UnitFini_Commentunit();
