// The progress window of the long jobs: folder and file counters of the
// scan, the bar of the saves and exports, the path being worked on, and the
// OK and Cancel buttons some jobs show.
#pragma once

#include "comctrls.h"
#include "forms.h"
#include "stdctrls.h"

class TProgressForm : public TForm {
  CL_CLASS(TProgressForm, TForm)
public:
  explicit TProgressForm(TComponent* owner);
  ~TProgressForm() override;

  TCustomLabel* CountDirsLabel = nullptr;
  TLabel* laDir = nullptr;
  TCustomLabel* CountFilesLabel = nullptr;
  TLabel* laFile = nullptr;
  TProgressBar* pBar = nullptr;
  TButton* btnOK = nullptr;
  TButton* btnCancel = nullptr;

  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void FormPaint(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
  void btnOKClick(TObject* sender);
  void btnCancelClick(TObject* sender);

  // Paints the scanned path (progress mode 0) or the job's text (mode 1)
  // below the counters, on two lines broken at a "\" when it is too wide.
  void DrawCurrentPath();
  // Erases what DrawCurrentPath painted.
  void ClearPathArea();
  // The end state: saved caption and label texts back, labels shown, bar and
  // OK hidden, no longer on top.
  void ShowTotals();

  // The text as DrawCurrentPath lays it out for the window's client width:
  // unchanged when it fits, else with a line feed before the "\" that starts
  // the shortest tail at least as wide as the overflow.
  AnsiString PathLayout(const AnsiString& text);

  AnsiString savedCaption;
  AnsiString savedDirsCaption;
  AnsiString savedFilesCaption;
  bool done = false;
  // Set once the window closes (it is freed after the current message).
  bool closing = false;
};

void UnitInit_Progressunit();
void UnitFini_Progressunit();
