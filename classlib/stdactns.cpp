#include "stdactns.h"

#include <shellapi.h>

#include "clipbrd.h"
#include "filer.h"

CL_DEFINE_CLASS(TEditAction, TAction)
CL_DEFINE_COMPONENT(TEditCut, TEditAction)
CL_DEFINE_COMPONENT(TEditCopy, TEditAction)
CL_DEFINE_COMPONENT(TEditPaste, TEditAction)
CL_DEFINE_COMPONENT(TEditSelectAll, TEditAction)
CL_DEFINE_COMPONENT(TEditUndo, TEditAction)
CL_DEFINE_COMPONENT(TEditDelete, TEditAction)
CL_DEFINE_CLASS(TWindowAction, TAction)
CL_DEFINE_COMPONENT(TWindowClose, TWindowAction)
CL_DEFINE_COMPONENT(TWindowCascade, TWindowAction)
CL_DEFINE_COMPONENT(TWindowTileHorizontal, TWindowAction)
CL_DEFINE_COMPONENT(TWindowTileVertical, TWindowAction)
CL_DEFINE_COMPONENT(TWindowMinimizeAll, TWindowAction)
CL_DEFINE_COMPONENT(TWindowArrange, TWindowAction)
CL_DEFINE_CLASS(THelpAction, TAction)
CL_DEFINE_COMPONENT(THelpContents, THelpAction)
CL_DEFINE_COMPONENT(THelpTopicSearch, THelpAction)
CL_DEFINE_COMPONENT(THelpOnHelp, THelpAction)
CL_DEFINE_COMPONENT(THelpContextAction, THelpAction)
CL_DEFINE_CLASS(TCommonDialogAction, TCustomAction)
CL_DEFINE_CLASS(TFileAction, TCommonDialogAction)
CL_DEFINE_COMPONENT(TFileOpen, TFileAction)
CL_DEFINE_COMPONENT(TFileOpenWith, TFileOpen)
CL_DEFINE_COMPONENT(TFileSaveAs, TFileAction)
CL_DEFINE_COMPONENT(TFilePrintSetup, TCommonDialogAction)
CL_DEFINE_COMPONENT(TFontEdit, TCommonDialogAction)
CL_DEFINE_COMPONENT(TColorSelect, TCommonDialogAction)
CL_DEFINE_COMPONENT(TPrintDlg, TCommonDialogAction)
CL_DEFINE_COMPONENT(TFileExit, TCustomAction)
CL_DEFINE_CLASS(TSearchAction, TCommonDialogAction)
CL_DEFINE_COMPONENT(TSearchFind, TSearchAction)
CL_DEFINE_COMPONENT(TSearchReplace, TSearchAction)
CL_DEFINE_COMPONENT(TSearchFindFirst, TSearchFind)
CL_DEFINE_COMPONENT(TSearchFindNext, TCustomAction)

// ---------------------------------------------------------------------------
// Edit actions

TEditAction::~TEditAction() {
  if (FControl) FControl->RemoveFreeNotification(this);
}

void TEditAction::SetControl(TCustomEdit* value) {
  if (FControl == value) return;
  if (FControl) FControl->RemoveFreeNotification(this);
  FControl = value;
  if (FControl) FControl->FreeNotification(this);
}

void TEditAction::Notification(TComponent* component, TOperation operation) {
  TAction::Notification(component, operation);
  if (operation == opRemove && component == FControl) FControl = nullptr;
}

bool TEditAction::HandlesTarget(TObject* target) {
  if (!target) return false;
  if (FControl) return target == FControl && FControl->Focused();
  return target->Is<TCustomEdit>() && static_cast<TCustomEdit*>(target)->Focused();
}

TCustomEdit* TEditAction::GetControl(TObject* target) {
  if (FControl) return FControl;
  return ObjectAs<TCustomEdit>(target);
}

void TEditCut::UpdateTarget(TObject* target) {
  TCustomEdit* e = GetControl(target);
  SetEnabled(e->SelLength() > 0 && !e->ReadOnly());
}
void TEditCut::ExecuteTarget(TObject* target) { GetControl(target)->Perform(WM_CUT, 0, 0); }

void TEditCopy::UpdateTarget(TObject* target) { SetEnabled(GetControl(target)->SelLength() > 0); }
void TEditCopy::ExecuteTarget(TObject* target) { GetControl(target)->Perform(WM_COPY, 0, 0); }

void TEditPaste::UpdateTarget(TObject* target) {
  SetEnabled(!GetControl(target)->ReadOnly() && IsClipboardFormatAvailable(CF_TEXT));
}
void TEditPaste::ExecuteTarget(TObject* target) { GetControl(target)->Perform(WM_PASTE, 0, 0); }

void TEditSelectAll::UpdateTarget(TObject* target) {
  TCustomEdit* e = GetControl(target);
  const int length = e->GetTextLen();
  SetEnabled(length > 0 && e->SelLength() != length);
}
void TEditSelectAll::ExecuteTarget(TObject* target) { GetControl(target)->SelectAll(); }

void TEditUndo::UpdateTarget(TObject* target) {
  TCustomEdit* e = GetControl(target);
  SetEnabled(!e->ReadOnly() && e->CanUndo());
}
void TEditUndo::ExecuteTarget(TObject* target) { GetControl(target)->Undo(); }

void TEditDelete::UpdateTarget(TObject* target) {
  TCustomEdit* e = GetControl(target);
  SetEnabled(e->SelLength() > 0 && !e->ReadOnly());
}
void TEditDelete::ExecuteTarget(TObject* target) { GetControl(target)->ClearSelection(); }

// ---------------------------------------------------------------------------
// Window actions

std::vector<HWND> MDIChildWindows(TForm* form) {
  std::vector<HWND> children;
  if (!form || !form->ClientHandle()) return children;
  for (HWND w = GetWindow(form->ClientHandle(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
    if (!GetWindow(w, GW_OWNER)) children.push_back(w);  // owned windows are the icon titles
  return children;
}

TWindowAction::~TWindowAction() {
  if (FForm) FForm->RemoveFreeNotification(this);
}

void TWindowAction::SetForm(TForm* value) {
  if (FForm == value) return;
  if (FForm) FForm->RemoveFreeNotification(this);
  FForm = value;
  if (FForm) FForm->FreeNotification(this);
}

void TWindowAction::Notification(TComponent* component, TOperation operation) {
  TAction::Notification(component, operation);
  if (operation == opRemove && component == FForm) FForm = nullptr;
}

TForm* TWindowAction::GetForm(TObject* target) {
  if (FForm) return FForm;
  return ObjectAs<TForm>(target);
}

bool TWindowAction::HandlesTarget(TObject* target) {
  if (FForm) return target == FForm && FForm->FormStyle() == fsMDIForm;
  return target && target->Is<TForm>() && static_cast<TForm*>(target)->FormStyle() == fsMDIForm;
}

void TWindowAction::UpdateTarget(TObject* target) { SetEnabled(!MDIChildWindows(GetForm(target)).empty()); }

void TWindowClose::ExecuteTarget(TObject* target) {
  TForm* form = GetForm(target);
  HWND active = reinterpret_cast<HWND>(SendMessageA(form->ClientHandle(), WM_MDIGETACTIVE, 0, 0));
  if (!active) return;
  if (TWinControl* child = FindControl(active); child && child->Is<TCustomForm>())
    static_cast<TCustomForm*>(child)->Close();
  else
    SendMessageA(active, WM_CLOSE, 0, 0);
}

void TWindowCascade::ExecuteTarget(TObject* target) {
  SendMessageA(GetForm(target)->ClientHandle(), WM_MDICASCADE, 0, 0);
}

void TWindowTileHorizontal::ExecuteTarget(TObject* target) {
  SendMessageA(GetForm(target)->ClientHandle(), WM_MDITILE, MDITILE_HORIZONTAL, 0);
}

void TWindowTileVertical::ExecuteTarget(TObject* target) {
  SendMessageA(GetForm(target)->ClientHandle(), WM_MDITILE, MDITILE_VERTICAL, 0);
}

void TWindowMinimizeAll::ExecuteTarget(TObject* target) {
  // Last first, so the restored order stays the same.
  std::vector<HWND> children = MDIChildWindows(GetForm(target));
  for (auto it = children.rbegin(); it != children.rend(); ++it) ShowWindow(*it, SW_MINIMIZE);
}

void TWindowArrange::ExecuteTarget(TObject* target) {
  SendMessageA(GetForm(target)->ClientHandle(), WM_MDIICONARRANGE, 0, 0);
}

// ---------------------------------------------------------------------------
// Help actions

void THelpAction::UpdateTarget(TObject* target) {
  (void)target;
  SetEnabled(Application && !Application->HelpFile().IsEmpty());
}

void THelpContents::ExecuteTarget(TObject* target) {
  (void)target;
  Application->HelpCommand(HELP_FINDER, 0);
}

void THelpTopicSearch::ExecuteTarget(TObject* target) {
  (void)target;
  static const char empty[] = "";
  Application->HelpCommand(HELP_PARTIALKEY, reinterpret_cast<ULONG_PTR>(empty));
}

void THelpOnHelp::ExecuteTarget(TObject* target) {
  (void)target;
  Application->HelpCommand(HELP_HELPONHELP, 0);
}

void THelpContextAction::UpdateTarget(TObject* target) {
  (void)target;
  TWinControl* c = Screen ? Screen->ActiveControl() : nullptr;
  SetEnabled(c && c->HelpContext() != 0 && Application && !Application->HelpFile().IsEmpty());
}

void THelpContextAction::ExecuteTarget(TObject* target) {
  (void)target;
  if (TWinControl* c = Screen ? Screen->ActiveControl() : nullptr) Application->HelpContext(c->HelpContext());
}

// ---------------------------------------------------------------------------
// Dialog actions

void TCommonDialogAction::Assign(TPersistent* source) {
  TCustomAction::Assign(source);
  if (auto* s = ObjectAs<TCommonDialogAction>(source)) AssignHandlers(*s);
}

void TFileOpenWith::ExecuteTarget(TObject* target) {
  if (FFileName.IsEmpty()) {
    TFileOpen::ExecuteTarget(target);
    if (!FExecuteResult) return;
    FFileName = Dialog()->FileName();
  } else {
    FExecuteResult = true;
  }
  const AnsiString params = AnsiString("shell32.dll,OpenAs_RunDLL ") + FFileName;
  ShellExecuteA(Application ? Application->Handle() : nullptr, "open", "rundll32.exe", params.c_str(), nullptr,
                SW_SHOWNORMAL);
}

void TFileOpenWith::Assign(TPersistent* source) {
  TFileOpen::Assign(source);
  if (auto* s = ObjectAs<TFileOpenWith>(source)) FFileName = s->FFileName;
}

void TFileExit::ExecuteTarget(TObject* target) {
  (void)target;
  if (Application && Application->MainForm())
    Application->MainForm()->Close();
  else if (Application)
    Application->Terminate();
}

// ---------------------------------------------------------------------------
// Search actions

int SearchText(const AnsiString& text, int selStart, int selLength, const AnsiString& what, TFindOptions options) {
  const int length = text.Length(), whatLength = what.Length();
  if (whatLength == 0 || length == 0) return -1;
  const bool matchCase = options & FindOption(frMatchCase);
  const std::string hay = matchCase ? text.str() : AnsiUpperCase(text).str();
  const std::string needle = matchCase ? what.str() : AnsiUpperCase(what).str();
  auto wordChar = [&](int i) {
    return i >= 0 && i < length && IsCharAlphaNumericA(hay[static_cast<size_t>(i)]);
  };
  auto fits = [&](int i) {
    if (hay.compare(static_cast<size_t>(i), static_cast<size_t>(whatLength), needle) != 0) return false;
    return !(options & FindOption(frWholeWord)) || (!wordChar(i - 1) && !wordChar(i + whatLength));
  };
  if (options & FindOption(frDown)) {
    for (int i = std::max(0, selStart + selLength); i + whatLength <= length; ++i)
      if (fits(i)) return i;
  } else {
    for (int i = std::min(selStart - whatLength, length - whatLength); i >= 0; --i)
      if (fits(i)) return i;
  }
  return -1;
}

AnsiString TextNotFoundMessage(const AnsiString& what) { return Format("Text not found: \"%s\"", {what}); }

namespace {
// Selects the next hit of the dialog's text in the edit; false when none.
bool SearchEdit(TCustomEdit* edit, const AnsiString& what, TFindOptions options, bool findFirst) {
  if (what.IsEmpty() || edit->GetTextLen() == 0) return false;
  // Find-first starts at the very beginning, whatever is selected.
  const int start = findFirst ? 0 : edit->SelStart();
  const int length = findFirst ? 0 : edit->SelLength();
  const int hit = SearchText(edit->Text(), start, length, what, options);
  if (hit < 0) return false;
  edit->SetSelStart(hit);
  edit->SetSelLength(what.Length());
  return true;
}
}  // namespace

void TSearchAction::Search(TObject* sender) {
  (void)sender;
  if (!Control() || !FDialog) return;
  if (!SearchEdit(Control(), FindDialog()->FindText(), FindDialog()->Options(), FFindFirst))
    ShowMessage(TextNotFoundMessage(FindDialog()->FindText()));
}

void TSearchReplace::ExecuteTarget(TObject* target) {
  TSearchAction::ExecuteTarget(target);
  if (FDialog) ReplaceDialog()->OnReplace = MakeEvent<&TSearchReplace::Replace>(this);
}

void TSearchReplace::Replace(TObject* sender) {
  (void)sender;
  TCustomEdit* edit = Control();
  if (!edit || !FDialog) return;
  TReplaceDialog* d = ReplaceDialog();
  const TFindOptions options = d->Options();
  const bool all = options & FindOption(frReplaceAll);
  const bool matchCase = options & FindOption(frMatchCase);
  const AnsiString what = d->FindText();
  const AnsiString selected = edit->SelText();
  const bool matches = !selected.IsEmpty() && (matchCase ? selected == what : AnsiSameText(selected, what));
  if (!ReplaceHits(
          matches, all, [&] { return SearchEdit(edit, what, options, false); },
          [&] { edit->SetSelText(d->ReplaceText()); }))
    ShowMessage(TextNotFoundMessage(what));
}

void TSearchFindNext::Assign(TPersistent* source) {
  TCustomAction::Assign(source);
  if (auto* s = ObjectAs<TSearchFindNext>(source)) SetSearchFind(s->SearchFind());
}

// ---------------------------------------------------------------------------

void UnitInit_stdactns() {
  RegisterClasses({&TEditCut::Class, &TEditCopy::Class, &TEditPaste::Class, &TEditSelectAll::Class,
                   &TEditUndo::Class, &TEditDelete::Class, &TWindowClose::Class, &TWindowCascade::Class,
                   &TWindowTileHorizontal::Class, &TWindowTileVertical::Class, &TWindowMinimizeAll::Class,
                   &TWindowArrange::Class, &THelpContents::Class, &THelpTopicSearch::Class, &THelpOnHelp::Class,
                   &THelpContextAction::Class, &TFileOpen::Class, &TFileOpenWith::Class, &TFileSaveAs::Class,
                   &TFilePrintSetup::Class, &TFileExit::Class, &TFontEdit::Class, &TColorSelect::Class,
                   &TPrintDlg::Class, &TSearchFind::Class, &TSearchReplace::Class, &TSearchFindFirst::Class,
                   &TSearchFindNext::Class});
  RegisterProperty(&TFileOpenWith::Class, "FileName", pkString, &TFileOpenWith::SetFileName,
                   &TFileOpenWith::FileName);
}

void UnitFini_stdactns() {}
