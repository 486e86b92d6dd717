// Wide common dialogs: the base that subclasses a system dialog with a window
// procedure of its object, the modeless find and replace dialogs on
// FindTextW / ReplaceTextW, and the wide message dialogs and input query.
#pragma once

#include "dialogs_find.h"
#include "forms.h"

#include "UcForms.h"
#include "UcStdCtrls.h"
#include "UcSysUtils.h"

class TUcCommonDialog : public TComponent {
  CL_CLASS(TUcCommonDialog, TComponent)
public:
  explicit TUcCommonDialog(TComponent* owner);
  ~TUcCommonDialog() override;

  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool v) { FCtl3D = v; }
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int v) { FHelpContext = v; }
  HWND Handle() const { return FHandle; }
  // A dialog template: a name or an integer identifier (MAKEINTRESOURCEW); may be null.
  LPCWSTR Template() const { return FTemplate; }
  void SetTemplate(LPCWSTR v) { FTemplate = v; }
  virtual bool Execute() = 0;

  TNotifyEvent OnClose;
  TNotifyEvent OnShow;

  // The object's window procedure: WndProc inside the exception guard.
  void MainWndProc(TMessage& message);
  virtual void WndProc(TMessage& message);
  // Messages to the owner of the dialog; true when handled.
  virtual bool MessageHook(TMessage& msg);
  // The dialog function with the other windows disabled and the main window
  // hooked; activation and focus are given back afterwards.
  virtual bool TaskModalDialog(void* dialogFunc, void* dialogData);
  // The dialog's previous window procedure, called wide (the dialog stays a
  // Unicode window).
  void DefaultHandler(TMessage& message);

protected:
  friend UINT_PTR CALLBACK CommonDialogHookW(HWND, UINT, WPARAM, LPARAM);
  virtual void DoClose();
  virtual void DoShow();
  void WMInitDialog(TMessage& m);
  void WMDestroy(TMessage& m);
  void WMNCDestroy(TMessage& m);

  bool FCtl3D = true;
  WNDPROC FDefWndProc = nullptr;
  int FHelpContext = 0;
  HWND FHandle = nullptr;
  WNDPROC FObjectInstance = nullptr;
  LPCWSTR FTemplate = nullptr;
};

// The hook of every dialog made here: centres it and subclasses it with the
// creating object's window procedure.
UINT_PTR CALLBACK CommonDialogHookW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Centres a dialog on the monitor of the active (else main) form, a third from the top.
void CenterDialogWindow(HWND wnd);

extern UINT HelpMsg;
extern UINT FindMsg;
extern ATOM WndProcPtrAtom;
extern TUcCommonDialog* DialogCreationControl;

class TUcFindDialog;

// The owner window of an open find dialog: the system sends the dialog's
// requests there. Frees itself on CM_RELEASE.
class TRedirectorWindow : public TWinControl {
  CL_CLASS(TRedirectorWindow, TWinControl)
public:
  TRedirectorWindow(TComponent* owner, TUcCommonDialog* dialog, HWND formWindow);
  TUcCommonDialog* CommonDialog() const { return FCommonDialog; }
  void Forget() { FCommonDialog = nullptr; }

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;

private:
  TUcCommonDialog* FCommonDialog;
  HWND FFormHandle;
};

class TUcFindDialog : public TUcCommonDialog {
  CL_CLASS(TUcFindDialog, TUcCommonDialog)
public:
  explicit TUcFindDialog(TComponent* owner);
  ~TUcFindDialog() override;

  // Shows the dialog, or brings an open one to the front (true).
  bool Execute() override;
  void CloseDialog();

  TFindOptions Options() const { return FOptions; }
  void SetOptions(TFindOptions v) { FOptions = v; }
  WideString FindText() const;
  // At most 255 characters are kept.
  void SetFindText(const WideString& v);
  TPoint Position();
  void SetPosition(const TPoint& p);
  int Left() { return Position().x; }
  void SetLeft(int v) { SetPosition(TPoint(v, Position().y)); }
  int Top() { return Position().y; }
  void SetTop(int v) { SetPosition(TPoint(Position().x, v)); }
  HWND FindHandle() const { return FFindHandle; }
  TRedirectorWindow* Redirector() const { return FRedirector; }
  const FINDREPLACEW& Record() const { return FFindReplace; }

  bool MessageHook(TMessage& msg) override;

  TNotifyEvent OnFind;
  TNotifyEvent OnReplace;

protected:
  friend UINT_PTR CALLBACK FindReplaceDialogHookW(HWND, UINT, WPARAM, LPARAM);
  virtual void Find();
  virtual void Replace();
  void ShowTexts(HWND wnd);
  void ReadTexts(HWND wnd);
  using TFindFunc = HWND(WINAPI*)(LPFINDREPLACEW);
  TFindFunc FFindReplaceFunc = &::FindTextW;
  wchar_t FReplaceText[256] = {};

private:
  TFindOptions FOptions = FindOption(frDown);
  TPoint FPosition{-1, -1};
  TRedirectorWindow* FRedirector = nullptr;
  HWND FFindHandle = nullptr;
  FINDREPLACEW FFindReplace{};
  wchar_t FFindText[256] = {};
};

class TUcReplaceDialog : public TUcFindDialog {
  CL_CLASS(TUcReplaceDialog, TUcFindDialog)
public:
  explicit TUcReplaceDialog(TComponent* owner);
  WideString ReplaceText() const;
  void SetReplaceText(const WideString& v);
};

UINT_PTR CALLBACK FindReplaceDialogHookW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// Message dialogs and the input query.

class TUcMessageForm : public TUcForm {
  CL_CLASS(TUcMessageForm, TUcForm)
public:
  // The system's message font, when it can be had.
  explicit TUcMessageForm(TComponent* owner);
  TUcLabel* Message = nullptr;
  // The help file of the help button (empty: the application's).
  AnsiString HelpFile;
  void HelpButtonClick(TObject* sender);
  // Ctrl+C: the dialog as text on the clipboard.
  void CustomKeyDown(TObject* sender, WORD& key, TShiftState shift);
  WideString GetFormText();
};

// The average width of a letter (rounded) and the font's height.
TPoint GetAveCharSize(TCanvas* canvas);

WideString GetMessageCaption(TMsgDlgType type);
WideString GetButtonCaption(TMsgDlgBtn button);

TUcMessageForm* WideCreateMessageDialog(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons);
TUcMessageForm* WideCreateMessageDialog(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons,
                                        TMsgDlgBtn defaultButton);
int WideMessageDlg(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx);
int WideMessageDlg(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx,
                   TMsgDlgBtn defaultButton);
int WideMessageDlgPos(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx, int x, int y);
int WideMessageDlgPos(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx, int x, int y,
                      TMsgDlgBtn defaultButton);
int WideMessageDlgPosHelp(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx, int x,
                          int y, const WideString& helpFileName);
int WideMessageDlgPosHelp(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx, int x,
                          int y, const WideString& helpFileName, TMsgDlgBtn defaultButton);
void WideShowMessage(const WideString& msg);
void WideShowMessagePos(const WideString& msg, int x, int y);
void WideShowMessageFmt(const WideString& msg, std::initializer_list<TVarRec> args);
bool WideInputQuery(const WideString& caption, const WideString& prompt, WideString& value);
WideString WideInputBox(const WideString& caption, const WideString& prompt, const WideString& defaultValue);
// One file name through a wide save (with overwrite prompt) or open dialog;
// an empty filter offers all files. True (and fileName set) when confirmed.
bool WidePromptForFileName(WideString& fileName, const WideString& filter, const WideString& defaultExt,
                           const WideString& title, const WideString& initialDir, bool saveDialog);

void UnitInit_UcDialogs();
void UnitFini_UcDialogs();
