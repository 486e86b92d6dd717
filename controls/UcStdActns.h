// Standard actions with wide captions and hints. Each is the class library's
// action of the same name; the delete action, the dialog actions (which make
// the wide dialogs) and the search actions (which search wide text) add
// behaviour of their own.
#pragma once

#include "stdactns.h"

#include "UcActnList.h"
#include "UcDialogs.h"
#include "UcFileDialogs.h"

// After the class library's Assign: the wide texts, then the dialog
// handlers, the file name of an open-with action and the find action of a
// find-next action when both sides have them.
void UcStdActn_AfterInherited_Assign(TCustomAction* action, TPersistent* source);

template <class TBase>
class TUcStdActionTexts : public TUcActionTexts<TBase> {
public:
  explicit TUcStdActionTexts(TComponent* owner) : TUcActionTexts<TBase>(owner) {}
  void Assign(TPersistent* source) override {
    TBase::Assign(source);
    UcStdActn_AfterInherited_Assign(this, source);
  }
};

#define UC_STD_ACTION(TName, TBase)                                       \
  class TName : public TUcStdActionTexts<TBase> {                         \
    CL_CLASS(TName, TBase)                                                \
  public:                                                                 \
    explicit TName(TComponent* owner) : TUcStdActionTexts<TBase>(owner) {} \
  };

UC_STD_ACTION(TUcHintAction, THintAction)
UC_STD_ACTION(TUcEditAction, TEditAction)
UC_STD_ACTION(TUcEditCut, TEditCut)
UC_STD_ACTION(TUcEditCopy, TEditCopy)
UC_STD_ACTION(TUcEditPaste, TEditPaste)
UC_STD_ACTION(TUcEditSelectAll, TEditSelectAll)
UC_STD_ACTION(TUcEditUndo, TEditUndo)
UC_STD_ACTION(TUcWindowAction, TWindowAction)
UC_STD_ACTION(TUcWindowClose, TWindowClose)
UC_STD_ACTION(TUcWindowCascade, TWindowCascade)
UC_STD_ACTION(TUcWindowTileHorizontal, TWindowTileHorizontal)
UC_STD_ACTION(TUcWindowTileVertical, TWindowTileVertical)
UC_STD_ACTION(TUcWindowMinimizeAll, TWindowMinimizeAll)
UC_STD_ACTION(TUcWindowArrange, TWindowArrange)
UC_STD_ACTION(TUcHelpAction, THelpAction)
UC_STD_ACTION(TUcHelpContents, THelpContents)
UC_STD_ACTION(TUcHelpTopicSearch, THelpTopicSearch)
UC_STD_ACTION(TUcHelpOnHelp, THelpOnHelp)
UC_STD_ACTION(TUcHelpContextAction, THelpContextAction)
UC_STD_ACTION(TUcFileAction, TFileAction)
UC_STD_ACTION(TUcFilePrintSetup, TFilePrintSetup)
UC_STD_ACTION(TUcFileExit, TFileExit)
UC_STD_ACTION(TUcFontEdit, TFontEdit)
UC_STD_ACTION(TUcColorSelect, TColorSelect)
UC_STD_ACTION(TUcPrintDlg, TPrintDlg)
#undef UC_STD_ACTION

// Always enabled: without a selection it deletes the character after the caret.
class TUcEditDelete : public TUcStdActionTexts<TEditDelete> {
  CL_CLASS(TUcEditDelete, TEditDelete)
public:
  explicit TUcEditDelete(TComponent* owner) : TUcStdActionTexts<TEditDelete>(owner) {}
  void UpdateTarget(TObject* target) override;
  void ExecuteTarget(TObject* target) override;
};

#define UC_FILE_DIALOG_ACTION(TName, TBase, TDialog)                              \
  class TName : public TUcStdActionTexts<TBase> {                                 \
    CL_CLASS(TName, TBase)                                                        \
  public:                                                                         \
    explicit TName(TComponent* owner) : TUcStdActionTexts<TBase>(owner) { SetupDialog(); } \
    /* EInvalidCast when the dialog was replaced by one of another class */       \
    TDialog* Dialog() const { return FDialog ? FDialog->As<TDialog>() : nullptr; } \
                                                                                  \
  protected:                                                                      \
    const TMetaClass* GetDialogClass() override { return &TDialog::Class; }       \
  };
UC_FILE_DIALOG_ACTION(TUcFileOpen, TFileOpen, TUcOpenDialog)
UC_FILE_DIALOG_ACTION(TUcFileOpenWith, TFileOpenWith, TUcOpenDialog)
UC_FILE_DIALOG_ACTION(TUcFileSaveAs, TFileSaveAs, TUcSaveDialog)
#undef UC_FILE_DIALOG_ACTION

// A class-library or a wide common dialog, each run by its own Execute.
struct TUcCommonDialogKind {
  using Dialog = TComponent;
  static bool Execute(TComponent* dialog);
};

// Runs a dialog of the class the subclass names (a class-library or a wide
// common dialog): the class library's dialog action over either family.
class TUcCommonDialogAction : public TDialogActionCore<TUcStdActionTexts<TCustomAction>, TUcCommonDialogKind> {
  CL_CLASS(TUcCommonDialogAction, TCustomAction)
public:
  explicit TUcCommonDialogAction(TComponent* owner) : TDialogActionCore(owner) {}
};

// Searches the wide text of the focused edit control.
class TUcSearchAction : public TSearchActionCore<TUcCommonDialogAction, TUcFindDialog> {
  CL_CLASS(TUcSearchAction, TUcCommonDialogAction)
public:
  explicit TUcSearchAction(TComponent* owner) : TSearchActionCore(owner) {}
  // A failed search tells the user.
  void Search(TObject* sender) override;
};

// The wide text of an edit control as its selection counts positions, its wide selection, and one search that selects the
// hit. Find-first searches from the start of the text.
WideString SearchableText(TCustomEdit* edit);
WideString WideSelection(TCustomEdit* edit);
bool SearchEditW(TCustomEdit* edit, const WideString& what, TFindOptions options, bool findFirst);

class TUcSearchFind : public TUcSearchAction {
  CL_CLASS(TUcSearchFind, TUcSearchAction)
public:
  explicit TUcSearchFind(TComponent* owner) : TUcSearchAction(owner) { SetupDialog(); }

protected:
  const TMetaClass* GetDialogClass() override { return &TUcFindDialog::Class; }
};

class TUcSearchReplace : public TUcSearchAction {
  CL_CLASS(TUcSearchReplace, TUcSearchAction)
public:
  explicit TUcSearchReplace(TComponent* owner) : TUcSearchAction(owner) { SetupDialog(); }
  TUcReplaceDialog* ReplaceDialog() const { return static_cast<TUcReplaceDialog*>(FDialog); }
  void ExecuteTarget(TObject* target) override;
  void Replace(TObject* sender);

protected:
  const TMetaClass* GetDialogClass() override { return &TUcReplaceDialog::Class; }
};

class TUcSearchFindFirst : public TUcSearchFind {
  CL_CLASS(TUcSearchFindFirst, TUcSearchFind)
public:
  explicit TUcSearchFindFirst(TComponent* owner) : TUcSearchFind(owner) { FFindFirst = true; }
};

class TUcSearchFindNext : public TSearchFindNextCore<TUcStdActionTexts<TCustomAction>, TUcSearchFind> {
  CL_CLASS(TUcSearchFindNext, TCustomAction)
public:
  explicit TUcSearchFindNext(TComponent* owner) : TSearchFindNextCore(owner) {}
};

void UnitInit_UcStdActns();
void UnitFini_UcStdActns();
