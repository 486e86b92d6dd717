#include "UcStdActns.h"

#include "UcControls.h"
#include "UcRichEdit.h"
#include "UcSysUtils.h"
#include "UcWideStrUtils.h"

CL_DEFINE_COMPONENT(TUcHintAction, THintAction)
CL_DEFINE_COMPONENT(TUcEditAction, TEditAction)
CL_DEFINE_COMPONENT(TUcEditCut, TEditCut)
CL_DEFINE_COMPONENT(TUcEditCopy, TEditCopy)
CL_DEFINE_COMPONENT(TUcEditPaste, TEditPaste)
CL_DEFINE_COMPONENT(TUcEditSelectAll, TEditSelectAll)
CL_DEFINE_COMPONENT(TUcEditUndo, TEditUndo)
CL_DEFINE_COMPONENT(TUcEditDelete, TEditDelete)
CL_DEFINE_COMPONENT(TUcWindowAction, TWindowAction)
CL_DEFINE_COMPONENT(TUcWindowClose, TWindowClose)
CL_DEFINE_COMPONENT(TUcWindowCascade, TWindowCascade)
CL_DEFINE_COMPONENT(TUcWindowTileHorizontal, TWindowTileHorizontal)
CL_DEFINE_COMPONENT(TUcWindowTileVertical, TWindowTileVertical)
CL_DEFINE_COMPONENT(TUcWindowMinimizeAll, TWindowMinimizeAll)
CL_DEFINE_COMPONENT(TUcWindowArrange, TWindowArrange)
CL_DEFINE_COMPONENT(TUcHelpAction, THelpAction)
CL_DEFINE_COMPONENT(TUcHelpContents, THelpContents)
CL_DEFINE_COMPONENT(TUcHelpTopicSearch, THelpTopicSearch)
CL_DEFINE_COMPONENT(TUcHelpOnHelp, THelpOnHelp)
CL_DEFINE_COMPONENT(TUcHelpContextAction, THelpContextAction)
CL_DEFINE_COMPONENT(TUcFileAction, TFileAction)
CL_DEFINE_COMPONENT(TUcFileOpen, TFileOpen)
CL_DEFINE_COMPONENT(TUcFileOpenWith, TFileOpenWith)
CL_DEFINE_COMPONENT(TUcFileSaveAs, TFileSaveAs)
CL_DEFINE_COMPONENT(TUcFilePrintSetup, TFilePrintSetup)
CL_DEFINE_COMPONENT(TUcFileExit, TFileExit)
CL_DEFINE_COMPONENT(TUcFontEdit, TFontEdit)
CL_DEFINE_COMPONENT(TUcColorSelect, TColorSelect)
CL_DEFINE_COMPONENT(TUcPrintDlg, TPrintDlg)
CL_DEFINE_COMPONENT(TUcCommonDialogAction, TCustomAction)
CL_DEFINE_CLASS(TUcSearchAction, TUcCommonDialogAction)
CL_DEFINE_COMPONENT(TUcSearchFind, TUcSearchAction)
CL_DEFINE_COMPONENT(TUcSearchReplace, TUcSearchAction)
CL_DEFINE_COMPONENT(TUcSearchFindFirst, TUcSearchFind)
CL_DEFINE_COMPONENT(TUcSearchFindNext, TCustomAction)

void UcStdActn_AfterInherited_Assign(TCustomAction* action, TPersistent* source) {
  UcAction_AfterInherited_Assign(action, source);
  if (auto* a = ObjectAs<TCommonDialogAction>(action))
    if (auto* s = ObjectAs<TCommonDialogAction>(source)) a->AssignHandlers(*s);
  if (auto* a = ObjectAs<TUcCommonDialogAction>(action))
    if (auto* s = ObjectAs<TUcCommonDialogAction>(source)) a->AssignHandlers(*s);
  if (auto* a = ObjectAs<TFileOpenWith>(action))
    if (auto* s = ObjectAs<TFileOpenWith>(source)) a->SetFileName(s->FileName());
  if (auto* a = ObjectAs<TSearchFindNext>(action))
    if (auto* s = ObjectAs<TSearchFindNext>(source)) a->SetSearchFind(s->SearchFind());
  if (auto* a = ObjectAs<TUcSearchFindNext>(action))
    if (auto* s = ObjectAs<TUcSearchFindNext>(source)) a->SetSearchFind(s->SearchFind());
}

// ---------------------------------------------------------------------------

void TUcEditDelete::UpdateTarget(TObject* target) {
  (void)target;
  SetEnabled(true);
}

void TUcEditDelete::ExecuteTarget(TObject* target) {
  TCustomEdit* edit = GetControl(target);
  if (!edit) return;
  if (edit->SelLength() == 0) edit->SetSelLength(1);
  edit->ClearSelection();
}

// ---------------------------------------------------------------------------

bool TUcCommonDialogKind::Execute(TComponent* dialog) {
  if (auto* d = ObjectAs<TCommonDialog>(dialog)) return d->Execute();
  if (auto* u = ObjectAs<TUcCommonDialog>(dialog)) return u->Execute();
  return false;
}

// ---------------------------------------------------------------------------

WideString SearchableText(TCustomEdit* edit) {
  // The wide rich edit keeps single-CR breaks but counts its selection as if
  // every break were CR LF: its own text has the positions of its selection.
  if (edit->Is<TUcCustomRichEdit>()) return static_cast<TUcCustomRichEdit*>(edit)->Text();
  return UcControl_GetText(edit);
}

WideString WideSelection(TCustomEdit* edit) {
  const int length = edit->SelLength();
  if (length <= 0) return WideString();
  return SearchableText(edit).SubString(edit->SelStart() + 1, length);
}

bool SearchEditW(TCustomEdit* edit, const WideString& what, TFindOptions options, bool findFirst) {
  if (what.IsEmpty() || edit->GetTextLen() == 0) return false;
  TStringSeachOptions searchOptions = 0;
  if (options & FindOption(frDown)) searchOptions |= 1u << soDown;
  if (options & FindOption(frMatchCase)) searchOptions |= 1u << soMatchCase;
  if (options & FindOption(frWholeWord)) searchOptions |= 1u << soWholeWord;
  WideString text = SearchableText(edit);
  if (text.IsEmpty()) return false;
  std::wstring buffer = text.str();
  // Find-first looks at the whole text, whatever is selected.
  const int start = findFirst ? 0 : edit->SelStart();
  const int length = findFirst ? 0 : edit->SelLength();
  wchar_t* hit = SearchBuf(buffer.data(), static_cast<int>(buffer.size()), start, length, what, searchOptions);
  if (!hit) return false;
  edit->SetSelStart(static_cast<int>(hit - buffer.data()));
  edit->SetSelLength(what.Length());
  return true;
}

namespace {
void ShowTextNotFound(const WideString& what) {
  WideShowMessage(Uc_WideFormat(WideString(L"Text not found: \"%s\""), {what}));
}
}  // namespace

void TUcSearchAction::Search(TObject* sender) {
  (void)sender;
  if (!Control() || !FDialog) return;
  if (!SearchEditW(Control(), FindDialog()->FindText(), FindDialog()->Options(), FFindFirst))
    ShowTextNotFound(FindDialog()->FindText());
}

void TUcSearchReplace::ExecuteTarget(TObject* target) {
  TUcSearchAction::ExecuteTarget(target);
  if (FDialog) ReplaceDialog()->OnReplace = MakeEvent<&TUcSearchReplace::Replace>(this);
}

void TUcSearchReplace::Replace(TObject* sender) {
  (void)sender;
  TCustomEdit* edit = Control();
  if (!edit || !FDialog) return;
  TUcReplaceDialog* d = ReplaceDialog();
  const TFindOptions options = d->Options();
  const bool all = options & FindOption(frReplaceAll);
  const WideString what = d->FindText();
  // The wide selection, compared as the user asked (match case or not), so a
  // selection outside the code page is recognised.
  const WideString selected = WideSelection(edit);
  const bool same = (options & FindOption(frMatchCase)) ? selected == what
                                                        : Uc_WideUpperCase(selected) == Uc_WideUpperCase(what);
  if (!ReplaceHits(
          !selected.IsEmpty() && same, all, [&] { return SearchEditW(edit, what, options, false); },
          [&] { Uc_ReplaceSelection(edit->Handle(), d->ReplaceText()); }))
    ShowTextNotFound(what);
}

// ---------------------------------------------------------------------------

void UnitInit_UcStdActns() {
  RegisterClasses({&TUcHintAction::Class,        &TUcEditCut::Class,          &TUcEditCopy::Class,
                   &TUcEditPaste::Class,         &TUcEditSelectAll::Class,    &TUcEditUndo::Class,
                   &TUcEditDelete::Class,        &TUcWindowClose::Class,      &TUcWindowCascade::Class,
                   &TUcWindowTileHorizontal::Class, &TUcWindowTileVertical::Class, &TUcWindowMinimizeAll::Class,
                   &TUcWindowArrange::Class,     &TUcHelpContents::Class,     &TUcHelpTopicSearch::Class,
                   &TUcHelpOnHelp::Class,        &TUcHelpContextAction::Class, &TUcFileOpen::Class,
                   &TUcFileOpenWith::Class,      &TUcFileSaveAs::Class,       &TUcFilePrintSetup::Class,
                   &TUcFileExit::Class,          &TUcFontEdit::Class,         &TUcColorSelect::Class,
                   &TUcPrintDlg::Class,          &TUcSearchFind::Class,       &TUcSearchReplace::Class,
                   &TUcSearchFindFirst::Class,   &TUcSearchFindNext::Class});
}

void UnitFini_UcStdActns() {}
