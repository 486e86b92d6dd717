#include "Commentunit.h"

#include "Mainunit.h"
#include "filer.h"

TCommentForm* CommentForm = nullptr;

CL_DEFINE_COMPONENT(TCommentForm, TForm)

TCommentForm::TCommentForm(TComponent* owner) : TForm(owner) { ReadLayout(&TCommentForm::Class); }

TCommentForm::~TCommentForm() {
  if (CommentForm == this) CommentForm = nullptr;
}

namespace {

void ApplyCharsets(TCommentForm* f) {
  const uint8_t charset = LanguageCharset(InfoFileForm ? InfoFileForm->localization : nullptr);
  for (TControl* c : std::initializer_list<TControl*>{f, f->redComment, f->btOk, f->btCancel})
    c->Font()->SetCharset(charset);
}

}  // namespace

void TCommentForm::FormCreate(TObject*) { ApplyCharsets(this); }

void TCommentForm::FormShow(TObject*) {
  TInfoFileForm* main = InfoFileForm;
  Localization* loc = main ? main->localization : nullptr;
  WideString caption = loc ? loc->GetCommonText(29) : UcControl_GetText(this);
  if (loc) {
    UcControl_SetText(btOk, loc->GetCommonText(30));
    UcControl_SetText(btCancel, loc->GetCommonText(31));
  }
  UcControl_SetText(redComment, main && !main->commentText.IsEmpty() ? AnsiToWide(main->commentText) : WideString());
  if (redComment->CanFocus())
    redComment->SetFocus();
  else
    SetActiveControl(redComment);
  if (main && loc && (main->commentTargetKind == ekFile || main->commentTargetKind == ekFolder)) {
    const int text = main->commentTargetKind == ekFile ? 32 : 33;
    caption = caption + loc->GetCommonText(text) + L" " + AnsiToWide(main->commentEntryName);
  }
  UcControl_SetText(this, caption);
}

AnsiString FoldCommentLineBreaks(const AnsiString& text) {
  // The rich edit may hand its breaks over as CR alone: every break is made
  // a CR LF first, so the folding sees them all.
  std::string s;
  const std::string& in = text.str();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '\r') {
      s += "\r\n";
      if (i + 1 < in.size() && in[i + 1] == '\n') ++i;
    } else if (in[i] == '\n') {
      s += "\r\n";
    } else {
      s += in[i];
    }
  }
  // 1-based positions as the rule counts them: the pair at p goes; a space
  // comes in when p is before the new end and the character before p is no
  // space. A break at the very start has nothing before it and goes without
  // a space.
  for (size_t at = s.find("\r\n"); at != std::string::npos; at = s.find("\r\n")) {
    s.erase(at, 2);
    const size_t p = at + 1;
    if (p < s.size() && at > 0 && s[at - 1] != ' ') s.insert(at, 1, ' ');
  }
  return AnsiString(s);
}

void TCommentForm::btOkClick(TObject*) {
  const WideString text = UcControl_GetText(redComment);
  if (text.IsEmpty()) {
    if (InfoFileForm) ShowMessageNumber(*InfoFileForm, msgNoComment);
    SetModalResult(mrCancel);
    return;
  }
  if (InfoFileForm) InfoFileForm->commentText = FoldCommentLineBreaks(WideToAnsi(text));
  SetModalResult(mrOk);
}

void UnitInit_Commentunit() {
  RegisterClass(&TCommentForm::Class);
  using F = TCommentForm;
  RegisterFormFields<F>({
      {"redComment", &F::redComment},
      {"btOk", &F::btOk},
      {"btCancel", &F::btCancel},
  });
  RegisterFormMethods<F>({
      {"FormCreate", MethodEntry<&F::FormCreate>()},
      {"FormShow", MethodEntry<&F::FormShow>()},
      {"btOkClick", MethodEntry<&F::btOkClick>()},
  });
}

void UnitFini_Commentunit() {}
