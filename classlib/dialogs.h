// The system's common dialogs: open and save file names, and printing.
#pragma once

#include "classes.h"

#include <commdlg.h>

class TCommonDialog : public TComponent {
  CL_CLASS(TCommonDialog, TComponent)
public:
  explicit TCommonDialog(TComponent* owner);
  ~TCommonDialog() override;

  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool v) { FCtl3D = v; }
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int v) { FHelpContext = v; }
  // A dialog template of the module: a name or MAKEINTRESOURCE; null for none.
  LPCSTR Template() const { return FTemplate; }
  void SetTemplate(LPCSTR v) { FTemplate = v; }
  // The dialog's window while it is shown, else 0.
  HWND Handle() const { return FHandle; }
  // True when the user confirmed the dialog.
  virtual bool Execute() = 0;

  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

protected:
  virtual void DoShow();
  virtual void DoClose();
  // The window the dialog belongs to: the active form's, else the active window.
  HWND OwnerWindow();
  // Runs the dialog function with the program's other windows disabled, and
  // gives the activation back to the window that had it.
  bool TaskModalDialog(BOOL(WINAPI* dialogFunc)(void*), void* dialogData);
  // The system's print dialog (PrintDlgA) on the process-wide printer: it
  // opens at the printer and settings in use, and a confirmed choice of
  // printer and settings becomes the printer's.
  bool ExecutePrinterDialog(PRINTDLGA& pd);
  void SetDialogHandle(HWND h) { FHandle = h; }

private:
  HWND FHandle = nullptr;
  LPCSTR FTemplate = nullptr;
  bool FCtl3D = true;
  int FHelpContext = 0;
};

// Options, in this order (bit i of TOpenOptions is option i).
enum TOpenOption : uint8_t {
  ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
  ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
  ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks,
  ofEnableIncludeNotify, ofEnableSizing, ofDontAddToRecent, ofForceShowHidden
};
using TOpenOptions = uint32_t;
constexpr TOpenOptions OpenOption(TOpenOption o) { return 1u << o; }

// Extended options (the record's FlagsEx).
enum TOpenOptionEx : uint8_t { ofExNoPlacesBar };
using TOpenOptionsEx = uint8_t;
constexpr TOpenOptionsEx OpenOptionEx(TOpenOptionEx o) { return static_cast<TOpenOptionsEx>(1u << o); }

class TOpenDialog : public TCommonDialog {
  CL_CLASS(TOpenDialog, TCommonDialog)
public:
  explicit TOpenDialog(TComponent* owner);
  ~TOpenDialog() override;

  const AnsiString& FileName() const { return FFileName; }
  void SetFileName(const AnsiString& v) { FFileName = v; }
  // "Text files|*.txt|All files|*.*"
  const AnsiString& Filter() const { return FFilter; }
  void SetFilter(const AnsiString& v) { FFilter = v; }
  // 1-based, as the system counts filters.
  int FilterIndex() const { return FFilterIndex; }
  void SetFilterIndex(int v) { FFilterIndex = v; }
  const AnsiString& InitialDir() const { return FInitialDir; }
  void SetInitialDir(const AnsiString& v) { FInitialDir = v; }
  // Without the dot.
  const AnsiString& DefaultExt() const { return FDefaultExt; }
  void SetDefaultExt(const AnsiString& v) { FDefaultExt = v; }
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& v) { FTitle = v; }
  TOpenOptions Options() const { return FOptions; }
  void SetOptions(TOpenOptions v) { FOptions = v; }
  TOpenOptionsEx OptionsEx() const { return FOptionsEx; }
  void SetOptionsEx(TOpenOptionsEx v) { FOptionsEx = v; }
  // Full names of the chosen files (one unless ofAllowMultiSelect).
  TStrings* Files() const { return FFiles; }

  bool Execute() override;

  // The OPENFILENAMEA flags of the options (OFN_EXPLORER unless old style).
  // ofExtensionDifferent is only ever an answer of the system, never a request.
  static DWORD FlagsOf(TOpenOptions options);
  // The OPENFILENAMEA FlagsEx of the extended options.
  static DWORD FlagsExOf(TOpenOptionsEx options);

  // OK pressed (Files holds the choice): false keeps the dialog open.
  TEvent<void(TObject* sender, bool& canClose)> OnCanClose;
  TNotifyEvent OnFolderChange;
  TNotifyEvent OnSelectionChange;
  TNotifyEvent OnTypeChange;

  virtual bool DoCanClose();
  virtual void DoFolderChange();
  virtual void DoSelectionChange();
  virtual void DoTypeChange();

protected:
  // GetOpenFileNameA / GetSaveFileNameA with the dialog's fields.
  bool DoExecute(BOOL(WINAPI* func)(LPOPENFILENAMEA));

private:
  static UINT_PTR CALLBACK HookProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  AnsiString FFileName;
  AnsiString FFilter;
  int FFilterIndex = 1;
  AnsiString FInitialDir;
  AnsiString FDefaultExt;
  AnsiString FTitle;
  TOpenOptions FOptions;
  TOpenOptionsEx FOptionsEx = 0;
  TStringList* FFiles;
};

class TSaveDialog : public TOpenDialog {
  CL_CLASS(TSaveDialog, TOpenDialog)
public:
  explicit TSaveDialog(TComponent* owner) : TOpenDialog(owner) {}
  bool Execute() override;
};

enum TPrintRange : uint8_t { prAllPages, prSelection, prPageNums };
enum TPrintDialogOption : uint8_t { poPrintToFile, poPageNums, poSelection, poWarning, poHelp, poDisablePrintToFile };
using TPrintDialogOptions = uint8_t;

// Chooses the printer (which becomes the process-wide printer's) and the range.
class TPrintDialog : public TCommonDialog {
  CL_CLASS(TPrintDialog, TCommonDialog)
public:
  explicit TPrintDialog(TComponent* owner) : TCommonDialog(owner) {}

  bool Execute() override;
  int Copies() const { return FCopies; }
  void SetCopies(int v) { FCopies = v; }
  bool Collate() const { return FCollate; }
  void SetCollate(bool v) { FCollate = v; }
  int FromPage() const { return FFromPage; }
  void SetFromPage(int v) { FFromPage = v; }
  int ToPage() const { return FToPage; }
  void SetToPage(int v) { FToPage = v; }
  int MinPage() const { return FMinPage; }
  void SetMinPage(int v) { FMinPage = v; }
  int MaxPage() const { return FMaxPage; }
  void SetMaxPage(int v) { FMaxPage = v; }
  TPrintDialogOptions Options() const { return FOptions; }
  void SetOptions(TPrintDialogOptions v) { FOptions = v; }
  TPrintRange PrintRange() const { return FPrintRange; }
  void SetPrintRange(TPrintRange v) { FPrintRange = v; }
  bool PrintToFile() const { return FPrintToFile; }
  void SetPrintToFile(bool v) { FPrintToFile = v; }

private:
  int FCopies = 0;
  bool FCollate = false;
  int FFromPage = 0, FToPage = 0, FMinPage = 0, FMaxPage = 0;
  TPrintDialogOptions FOptions = 0;
  TPrintRange FPrintRange = prAllPages;
  bool FPrintToFile = false;
};

void UnitInit_dialogs();
void UnitFini_dialogs();
