// The modeless find and replace dialogs, and the font, colour and printer-setup
// dialogs that the standard actions own.
#pragma once

#include "dialogs.h"
#include "graphics.h"

// The members FindText and ReplaceText, not the system's A/W switches.
#undef FindText
#undef ReplaceText

// Options of the find and replace dialogs, in this order (bit i is option i).
enum TFindOption : uint8_t {
  frDown, frFindNext, frHideMatchCase, frHideWholeWord, frHideUpDown, frMatchCase, frDisableMatchCase,
  frDisableUpDown, frDisableWholeWord, frReplace, frReplaceAll, frWholeWord, frShowHelp
};
using TFindOptions = uint16_t;
constexpr TFindOptions FindOption(TFindOption o) { return static_cast<TFindOptions>(1u << o); }

// The FR_ flag of each option; the record's flags read back into options.
DWORD FindOptionsToFlags(TFindOptions options);
TFindOptions FlagsToFindOptions(DWORD flags);

// The message the system's find dialog sends its owner ("commdlg_FindReplace").
UINT FindReplaceMessage();

// Modeless: Execute shows the dialog and returns at once; the user's requests
// arrive as OnFind / OnReplace while the program's loop runs.
class TFindDialog : public TCommonDialog {
  CL_CLASS(TFindDialog, TCommonDialog)
public:
  explicit TFindDialog(TComponent* owner);
  ~TFindDialog() override;

  // Shows the dialog (or brings an open one to the front); false when the
  // system refused to make it.
  bool Execute() override;
  void CloseDialog();

  TFindOptions Options() const { return FOptions; }
  void SetOptions(TFindOptions v) { FOptions = v; }
  // At most 255 characters are kept.
  AnsiString FindText() const;
  void SetFindText(const AnsiString& v);
  // The dialog's last (or current) top-left; (-1, -1) lets the system place it.
  TPoint Position();
  void SetPosition(const TPoint& p);
  int Left() { return Position().x; }
  void SetLeft(int v) { SetPosition(TPoint{v, Position().y}); }
  int Top() { return Position().y; }
  void SetTop(int v) { SetPosition(TPoint{Position().x, v}); }

  TNotifyEvent OnFind;
  TNotifyEvent OnReplace;

protected:
  virtual void Find();
  virtual void Replace();
  using DialogFunc = HWND(WINAPI*)(LPFINDREPLACEA);
  DialogFunc FDialogFunc = &::FindTextA;
  char FReplaceBuffer[256] = {};

private:
  static UINT_PTR CALLBACK HookProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void OwnerWndProc(TMessage& m);
  FINDREPLACEA FRecord{};
  char FFindBuffer[256] = {};
  TFindOptions FOptions = FindOption(frDown);
  TPoint FPosition{-1, -1};
  HWND FOwnerWindow = nullptr;
};

class TReplaceDialog : public TFindDialog {
  CL_CLASS(TReplaceDialog, TFindDialog)
public:
  explicit TReplaceDialog(TComponent* owner);
  AnsiString ReplaceText() const;
  void SetReplaceText(const AnsiString& v);
};

// ChooseFontA on the dialog's font; a confirmed choice replaces the font.
class TFontDialog : public TCommonDialog {
  CL_CLASS(TFontDialog, TCommonDialog)
public:
  explicit TFontDialog(TComponent* owner);
  ~TFontDialog() override;
  TFont* Font() const { return FFont; }
  void SetFont(TFont* value) { FFont->Assign(value); }
  bool Execute() override;

private:
  TFont* FFont;
};

// ChooseColorA starting at Color; sixteen custom colours live as long as the dialog.
class TColorDialog : public TCommonDialog {
  CL_CLASS(TColorDialog, TCommonDialog)
public:
  explicit TColorDialog(TComponent* owner) : TCommonDialog(owner) {}
  TColor Color() const { return FColor; }
  void SetColor(TColor v) { FColor = v; }
  bool Execute() override;

private:
  TColor FColor = clBlack;
  COLORREF FCustomColors[16] = {};
};

// The printer-setup form of the print dialog (PD_PRINTSETUP).
class TPrinterSetupDialog : public TCommonDialog {
  CL_CLASS(TPrinterSetupDialog, TCommonDialog)
public:
  explicit TPrinterSetupDialog(TComponent* owner) : TCommonDialog(owner) {}
  bool Execute() override;
};

void UnitInit_dialogs_find();
void UnitFini_dialogs_find();
