// One long job of the main window (scan, open, save, the exports): the main
// window disabled while it runs and put back in order on every way out.
#pragma once

#include "Mainunit.h"
#include "Opensaveunit.h"
#include "Progressunit.h"

// One long job: the cancel flag cleared at its start, the main window
// disabled while it runs, and on every way out (an exception included) the
// window enabled again, the cursor back and the job's progress or wait
// window closed.
class TJobGuard {
public:
  explicit TJobGuard(TInfoFileForm* form) : FForm(form), FCursor(Screen->Cursor()) {
    FForm->cancelRequested = 0;
    FForm->jobRunning = true;
    FForm->SetEnabled(false);
  }
  ~TJobGuard() { Finish(); }
  TJobGuard(const TJobGuard&) = delete;
  TJobGuard& operator=(const TJobGuard&) = delete;

  void Finish() {
    if (FFinished) return;
    FFinished = true;
    FForm->jobRunning = false;
    // A window the job closed already is on its way out (freed after the
    // current message); only one still open is closed here.
    if (OpenSaveForm && !OpenSaveForm->closing) OpenSaveForm->Close();
    if (ProgressForm && !ProgressForm->closing) {
      ProgressForm->ShowTotals();
      ProgressForm->Close();
      FForm->cancelRequested = 0;
    }
    FForm->SetEnabled(true);
    Screen->SetCursor(FCursor);
  }

private:
  TInfoFileForm* FForm;
  TCursor FCursor;
  bool FFinished = false;
};

// The wait window of a job (its text chosen by the main window's
// actionSource), shown and painted before the work starts.
inline void ShowWaitWindow() {
  Application->CreateForm(&OpenSaveForm);
  OpenSaveForm->Show();
  OpenSaveForm->Repaint();
  Application->ProcessMessages();
}

// The steps of a job's progress bar and its cancel flag, as the main window
// keeps them.
class TWindowSteps : public IStepProgress {
public:
  explicit TWindowSteps(TInfoFileForm* form) : FForm(form) {}
  void Step() override { FForm->StepProgress(); }
  bool CancelRequested() override { return FForm->cancelRequested != 0; }

private:
  TInfoFileForm* FForm;
};
