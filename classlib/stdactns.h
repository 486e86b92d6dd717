// The standard actions: edit commands on the focused edit control, MDI window
// commands, help commands, and actions that run a common dialog (file open
// and save, printer setup, font, colour, print, find and replace).
#pragma once

#include "actnlist.h"
#include "dialogs_find.h"
#include "forms.h"
#include "stdctrls.h"

// The object as a T, or null when it is none (or null).
template <class T> T* ObjectAs(TObject* object) {
  return object && object->Is<T>() ? static_cast<T*>(object) : nullptr;
}

// Runs one edit command on an edit control: the one set in Control, else the
// focused edit control the form offers.
class TEditAction : public TAction {
  CL_CLASS(TEditAction, TAction)
public:
  explicit TEditAction(TComponent* owner) : TAction(owner) {}
  ~TEditAction() override;
  TCustomEdit* Control() const { return FControl; }
  void SetControl(TCustomEdit* value);
  bool HandlesTarget(TObject* target) override;

protected:
  TCustomEdit* GetControl(TObject* target);
  void Notification(TComponent* component, TOperation operation) override;

private:
  TCustomEdit* FControl = nullptr;
};

#define CL_EDIT_ACTION(TName)                                   \
  class TName : public TEditAction {                            \
    CL_CLASS(TName, TEditAction)                                \
  public:                                                       \
    explicit TName(TComponent* owner) : TEditAction(owner) {}   \
    void UpdateTarget(TObject* target) override;                \
    void ExecuteTarget(TObject* target) override;               \
  };
CL_EDIT_ACTION(TEditCut)
CL_EDIT_ACTION(TEditCopy)
CL_EDIT_ACTION(TEditPaste)
CL_EDIT_ACTION(TEditSelectAll)
CL_EDIT_ACTION(TEditUndo)
CL_EDIT_ACTION(TEditDelete)
#undef CL_EDIT_ACTION

// Commands of an MDI main form: the one set in Form, else the form offered.
class TWindowAction : public TAction {
  CL_CLASS(TWindowAction, TAction)
public:
  explicit TWindowAction(TComponent* owner) : TAction(owner) { SetDisableIfNoHandler(false); }
  ~TWindowAction() override;
  TForm* Form() const { return FForm; }
  void SetForm(TForm* value);
  bool HandlesTarget(TObject* target) override;
  // Enabled while the form has MDI children.
  void UpdateTarget(TObject* target) override;

protected:
  TForm* GetForm(TObject* target);
  void Notification(TComponent* component, TOperation operation) override;

private:
  TForm* FForm = nullptr;
};

// The MDI child windows of an MDI main form, topmost first.
std::vector<HWND> MDIChildWindows(TForm* form);

#define CL_WINDOW_ACTION(TName)                                 \
  class TName : public TWindowAction {                          \
    CL_CLASS(TName, TWindowAction)                              \
  public:                                                       \
    explicit TName(TComponent* owner) : TWindowAction(owner) {} \
    void ExecuteTarget(TObject* target) override;               \
  };
CL_WINDOW_ACTION(TWindowClose)
CL_WINDOW_ACTION(TWindowCascade)
CL_WINDOW_ACTION(TWindowTileHorizontal)
CL_WINDOW_ACTION(TWindowTileVertical)
CL_WINDOW_ACTION(TWindowMinimizeAll)
CL_WINDOW_ACTION(TWindowArrange)
#undef CL_WINDOW_ACTION

// Help commands on the application's help file; enabled while there is one.
class THelpAction : public TAction {
  CL_CLASS(THelpAction, TAction)
public:
  explicit THelpAction(TComponent* owner) : TAction(owner) { SetDisableIfNoHandler(false); }
  bool HandlesTarget(TObject* target) override { (void)target; return true; }
  void UpdateTarget(TObject* target) override;
};

#define CL_HELP_ACTION(TName, TBase)                            \
  class TName : public TBase {                                  \
    CL_CLASS(TName, TBase)                                      \
  public:                                                       \
    explicit TName(TComponent* owner) : TBase(owner) {}         \
    void ExecuteTarget(TObject* target) override;               \
  };
CL_HELP_ACTION(THelpContents, THelpAction)
CL_HELP_ACTION(THelpTopicSearch, THelpAction)
CL_HELP_ACTION(THelpOnHelp, THelpAction)
#undef CL_HELP_ACTION

// Shows the help topic of the focused control; enabled while it has one.
class THelpContextAction : public THelpAction {
  CL_CLASS(THelpContextAction, THelpAction)
public:
  explicit THelpContextAction(TComponent* owner) : THelpAction(owner) {}
  void UpdateTarget(TObject* target) override;
  void ExecuteTarget(TObject* target) override;
};

// The run of a dialog action: BeforeExecute, the dialog, then OnAccept or
// OnCancel (Sender = the action); the dialog's answer.
template <class FExecute>
bool RunDialogAction(TObject* action, const TNotifyEvent& beforeExecute, const TNotifyEvent& onAccept,
                     const TNotifyEvent& onCancel, FExecute execute) {
  if (beforeExecute) beforeExecute(action);
  const bool result = execute();
  if (result) {
    if (onAccept) onAccept(action);
  } else if (onCancel) {
    onCancel(action);
  }
  return result;
}

// Replace and replace all: a selection that is the find text is replaced
// first (without replace-all the next hit is then only selected), then hit
// after hit. search() selects the next hit (false: none), replace() puts the
// replacement over the selection. False when nothing was replaced and no hit
// is left: the user is to be told.
template <class FSearch, class FReplace>
bool ReplaceHits(bool selectionMatches, bool all, FSearch search, FReplace replace) {
  int count = 0;
  if (selectionMatches) {
    replace();
    ++count;
    if (!all) {
      search();
      return true;
    }
  }
  bool found;
  do {
    found = search();
    if (found) {
      replace();
      ++count;
    }
  } while (found && all);
  return found || count > 0;
}

// The dialog action of both families, written once over the action class it
// extends (TBase) and the kind of dialog it runs (Kind: the dialog's type
// Kind::Dialog and how it runs, Kind::Execute). It owns a dialog of the class
// the concrete action names in GetDialogClass, made by SetupDialog, which the
// concrete class calls from its constructor (a base constructor cannot reach
// the derived class's choice). When the dialog component is deleted under a
// live action a fresh one takes its place: an action left without its dialog
// would do nothing when run and hand its users a null Dialog.
template <class TBase, class Kind>
class TDialogActionCore : public TBase {
public:
  using TDialog = typename Kind::Dialog;
  explicit TDialogActionCore(TComponent* owner) : TBase(owner) {
    this->SetDisableIfNoHandler(false);
    this->SetEnabled(true);
  }
  ~TDialogActionCore() override {
    if (FDialog) FDialog->RemoveFreeNotification(this);
  }

  bool ExecuteResult() const { return FExecuteResult; }
  TDialog* Dialog() const { return FDialog; }
  bool HandlesTarget(TObject* target) override { (void)target; return true; }
  // BeforeExecute, the dialog, then OnAccept or OnCancel.
  void ExecuteTarget(TObject* target) override {
    (void)target;
    FExecuteResult = false;
    if (!FDialog) return;
    FExecuteResult =
        RunDialogAction(this, BeforeExecute, OnAccept, OnCancel, [this] { return Kind::Execute(FDialog); });
  }
  // Takes the dialog handlers of another action of this kind.
  void AssignHandlers(const TDialogActionCore& source) {
    BeforeExecute = source.BeforeExecute;
    OnAccept = source.OnAccept;
    OnCancel = source.OnCancel;
  }

  TNotifyEvent BeforeExecute;
  TNotifyEvent OnAccept;
  TNotifyEvent OnCancel;

protected:
  virtual const TMetaClass* GetDialogClass() { return nullptr; }
  // Makes the dialog of GetDialogClass (replacing one of another class), named
  // after its class without the first letter, as a sub-component.
  void SetupDialog() {
    const TMetaClass* cls = GetDialogClass();
    if (!cls || !cls->Create) return;
    if (FDialog) {
      if (FDialog->ClassType() == cls) return;
      TDialog* old = FDialog;
      FDialog = nullptr;
      old->RemoveFreeNotification(this);
      delete old;
    }
    TComponent* made = cls->Create(this);
    FDialog = made->template As<TDialog>();
    FDialog->SetName(AnsiString(cls->Name + 1));
    FDialog->SetSubComponent(true);
    FDialog->FreeNotification(this);
    DialogMade();
  }
  // A new dialog is in place: wire its events to this action.
  virtual void DialogMade() {}
  void Notification(TComponent* component, TOperation operation) override {
    TBase::Notification(component, operation);
    if (operation != opRemove || component != FDialog) return;
    FDialog = nullptr;
    if (this->ComponentState() & csDestroying) return;
    // The dying dialog still holds its name among this action's components.
    if (component->Owner() == this) this->RemoveComponent(component);
    SetupDialog();
  }
  bool FExecuteResult = false;
  TDialog* FDialog = nullptr;
};

// The class library's dialogs.
struct TCommonDialogKind {
  using Dialog = TCommonDialog;
  static bool Execute(TCommonDialog* dialog) { return dialog->Execute(); }
};

// An action that runs a class-library dialog it owns.
class TCommonDialogAction : public TDialogActionCore<TCustomAction, TCommonDialogKind> {
  CL_CLASS(TCommonDialogAction, TCustomAction)
public:
  explicit TCommonDialogAction(TComponent* owner) : TDialogActionCore(owner) {}
  void Assign(TPersistent* source) override;
};

class TFileAction : public TCommonDialogAction {
  CL_CLASS(TFileAction, TCommonDialogAction)
public:
  explicit TFileAction(TComponent* owner) : TCommonDialogAction(owner) {}
};

class TFileOpen : public TFileAction {
  CL_CLASS(TFileOpen, TFileAction)
public:
  explicit TFileOpen(TComponent* owner) : TFileAction(owner) { SetupDialog(); }
  TOpenDialog* Dialog() const { return static_cast<TOpenDialog*>(FDialog); }

protected:
  const TMetaClass* GetDialogClass() override { return &TOpenDialog::Class; }
};

// Asks for a file (unless FileName is set) and offers the system's "open
// with" choice for it.
class TFileOpenWith : public TFileOpen {
  CL_CLASS(TFileOpenWith, TFileOpen)
public:
  explicit TFileOpenWith(TComponent* owner) : TFileOpen(owner) {}
  const AnsiString& FileName() const { return FFileName; }
  void SetFileName(const AnsiString& v) { FFileName = v; }
  void ExecuteTarget(TObject* target) override;
  void Assign(TPersistent* source) override;

private:
  AnsiString FFileName;
};

class TFileSaveAs : public TFileAction {
  CL_CLASS(TFileSaveAs, TFileAction)
public:
  explicit TFileSaveAs(TComponent* owner) : TFileAction(owner) { SetupDialog(); }
  TSaveDialog* Dialog() const { return static_cast<TSaveDialog*>(FDialog); }

protected:
  const TMetaClass* GetDialogClass() override { return &TSaveDialog::Class; }
};

#define CL_DIALOG_ACTION(TName, TDialog)                                       \
  class TName : public TCommonDialogAction {                                   \
    CL_CLASS(TName, TCommonDialogAction)                                       \
  public:                                                                      \
    explicit TName(TComponent* owner) : TCommonDialogAction(owner) { SetupDialog(); } \
    TDialog* Dialog() const { return static_cast<TDialog*>(FDialog); }         \
                                                                               \
  protected:                                                                   \
    const TMetaClass* GetDialogClass() override { return &TDialog::Class; }    \
  };
CL_DIALOG_ACTION(TFilePrintSetup, TPrinterSetupDialog)
CL_DIALOG_ACTION(TFontEdit, TFontDialog)
CL_DIALOG_ACTION(TColorSelect, TColorDialog)
CL_DIALOG_ACTION(TPrintDlg, TPrintDialog)
#undef CL_DIALOG_ACTION

// Closes the main form (which ends the program).
class TFileExit : public TCustomAction {
  CL_CLASS(TFileExit, TCustomAction)
public:
  explicit TFileExit(TComponent* owner) : TCustomAction(owner) { SetDisableIfNoHandler(false); }
  bool HandlesTarget(TObject* target) override { (void)target; return true; }
  void ExecuteTarget(TObject* target) override;
};

// The search action of both families, written once over the family's dialog
// action (TBase) and find dialog (TFind): the target is the focused edit
// control (free-notified), the dialog's OnFind runs Search, which each family
// writes for its own text.
template <class TBase, class TFind>
class TSearchActionCore : public TBase {
public:
  explicit TSearchActionCore(TComponent* owner) : TBase(owner) {}
  ~TSearchActionCore() override {
    if (FControl) FControl->RemoveFreeNotification(this);
  }
  // While the focused control is an edit control; otherwise disabled.
  bool HandlesTarget(TObject* target) override {
    (void)target;
    const bool handles = Screen && Screen->ActiveControl() && Screen->ActiveControl()->Is<TCustomEdit>();
    if (!handles) this->SetEnabled(false);
    return handles;
  }
  // Enabled while the target edit holds text.
  void UpdateTarget(TObject* target) override {
    auto* edit = ObjectAs<TCustomEdit>(target);
    this->SetEnabled(edit && edit->GetTextLen() > 0);
  }
  // The target becomes the searched control, then the dialog is shown.
  void ExecuteTarget(TObject* target) override {
    SetControl(ObjectAs<TCustomEdit>(target));
    TBase::ExecuteTarget(target);
  }
  TCustomEdit* Control() const { return FControl; }
  void SetControl(TCustomEdit* value) {
    if (FControl == value) return;
    if (FControl) FControl->RemoveFreeNotification(this);
    FControl = value;
    if (FControl) FControl->FreeNotification(this);
  }
  bool FindFirst() const { return FFindFirst; }
  TFind* FindDialog() const { return static_cast<TFind*>(this->FDialog); }
  // The dialog's OnFind: searches, and tells the user when nothing was found.
  virtual void Search(TObject* sender) = 0;

protected:
  void Notification(TComponent* component, TOperation operation) override {
    TBase::Notification(component, operation);
    if (operation == opRemove && component == FControl) FControl = nullptr;
  }
  // Wires the new dialog's OnFind.
  void DialogMade() override { FindDialog()->OnFind = MakeEvent<&TSearchActionCore::Search>(this); }
  bool FFindFirst = false;

private:
  TCustomEdit* FControl = nullptr;
};

// Repeats the search of a find action (TFindAction) with its dialog's text
// and options; enabled while that action is enabled and has a text to find.
template <class TBase, class TFindAction>
class TSearchFindNextCore : public TBase {
public:
  explicit TSearchFindNextCore(TComponent* owner) : TBase(owner) { this->SetDisableIfNoHandler(false); }
  ~TSearchFindNextCore() override {
    if (FSearchFind) FSearchFind->RemoveFreeNotification(this);
  }
  TFindAction* SearchFind() const { return FSearchFind; }
  void SetSearchFind(TFindAction* value) {
    if (FSearchFind == value) return;
    if (FSearchFind) FSearchFind->RemoveFreeNotification(this);
    FSearchFind = value;
    if (FSearchFind) FSearchFind->FreeNotification(this);
  }
  bool HandlesTarget(TObject* target) override {
    (void)target;
    const bool ready = FSearchFind && FSearchFind->Enabled() && FSearchFind->FindDialog() &&
                       !FSearchFind->FindDialog()->FindText().IsEmpty();
    this->SetEnabled(ready);
    return ready;
  }
  void UpdateTarget(TObject* target) override { HandlesTarget(target); }
  // Runs only after HandlesTarget said yes, so the find action is there.
  void ExecuteTarget(TObject* target) override {
    FSearchFind->SetControl(ObjectAs<TCustomEdit>(target));
    FSearchFind->Search(this);
  }

protected:
  void Notification(TComponent* component, TOperation operation) override {
    TBase::Notification(component, operation);
    if (operation == opRemove && component == FSearchFind) FSearchFind = nullptr;
  }

private:
  TFindAction* FSearchFind = nullptr;
};

// Searches the text of the focused edit control with the find dialog's text
// and options, and selects the hit.
class TSearchAction : public TSearchActionCore<TCommonDialogAction, TFindDialog> {
  CL_CLASS(TSearchAction, TCommonDialogAction)
public:
  explicit TSearchAction(TComponent* owner) : TSearchActionCore(owner) {}
  void Search(TObject* sender) override;
};

// One search in text: the index of the first character of the hit, or -1.
// Down searches from selStart + selLength, up from before selStart.
int SearchText(const AnsiString& text, int selStart, int selLength, const AnsiString& what, TFindOptions options);
// The message for a failed search: Text not found: "what".
AnsiString TextNotFoundMessage(const AnsiString& what);

class TSearchFind : public TSearchAction {
  CL_CLASS(TSearchFind, TSearchAction)
public:
  explicit TSearchFind(TComponent* owner) : TSearchAction(owner) { SetupDialog(); }

protected:
  const TMetaClass* GetDialogClass() override { return &TFindDialog::Class; }
};

class TSearchReplace : public TSearchAction {
  CL_CLASS(TSearchReplace, TSearchAction)
public:
  explicit TSearchReplace(TComponent* owner) : TSearchAction(owner) { SetupDialog(); }
  TReplaceDialog* ReplaceDialog() const { return static_cast<TReplaceDialog*>(FDialog); }
  void ExecuteTarget(TObject* target) override;
  // The dialog's OnReplace: replace, or replace all.
  void Replace(TObject* sender);

protected:
  const TMetaClass* GetDialogClass() override { return &TReplaceDialog::Class; }
};

// Searches from the start of the text.
class TSearchFindFirst : public TSearchFind {
  CL_CLASS(TSearchFindFirst, TSearchFind)
public:
  explicit TSearchFindFirst(TComponent* owner) : TSearchFind(owner) { FFindFirst = true; }
};

class TSearchFindNext : public TSearchFindNextCore<TCustomAction, TSearchFind> {
  CL_CLASS(TSearchFindNext, TCustomAction)
public:
  explicit TSearchFindNext(TComponent* owner) : TSearchFindNextCore(owner) {}
  void Assign(TPersistent* source) override;
};

void UnitInit_stdactns();
void UnitFini_stdactns();
