// What the file-list core needs of the main window while it runs a command: the
// localised texts, the message boxes, the cancel flag, the message loop and the
// progress display. The main window implements these; the core's algorithms
// take them as interfaces, so they run in tests without a window.
#pragma once

#include <cstdint>
#include <functional>

#include "system.h"

// windows.h maps MessageBox to MessageBoxA; the host's member keeps its name
// in every file, whatever it includes first (forms.h takes the macro away too).
#undef MessageBox

// The groups of the localisation object.
enum TTextGroup { tgCommon = 1, tgHint = 2, tgAbout = 3, tgMessage = 4, tgParams = 5 };

// Numbers of the messages (group tgMessage) that the core shows or builds.
enum TMessageNumber {
  msgError = 0,
  msgUnpackFailed = 2,
  msgSameNameFolder = 3,
  msgOpenElsewhere = 4,
  msgFileEmpty = 5,
  msgLoadFailed = 6,
  msgNoDataToSave = 8,
  msgReplaceFile = 9,
  msgQuestionCaption = 10,
  msgCreateFileFailed = 11,
  msgNoSelection = 15,
  msgSaveProgress = 17,
  msgChooseForComment = 18,
  msgManySelected = 19,
  msgSaveChanges = 20,
  msgNoComment = 21,
  msgListEmpty = 22,
  msgScanCancelled = 23,
  msgNoData = 24,
  msgAbsentAdded = 25,
  msgTreeBuildFailed = 28,
  msgBranchDeleteFailed = 29,
  msgChooseFolder = 30,
  msgOutOfMemory = 32,
  msgWriteFailed = 36,
  msgFileUnreadable = 38,
  msgNoPrinter = 39,
  msgPrintFailed = 40,
  msgFileOpenFailed = 41,
  msgPartNotDeleted = 42,
};

class ICoreHost {
public:
  virtual ~ICoreHost() = default;
  // Text `index` of a group; empty when out of range.
  virtual WideString LocalText(int group, int index) = 0;
  // The class library's plain message box.
  virtual void ShowMessage(const AnsiString& text) = 0;
  // The application's message box (ANSI texts); returns IDYES, IDNO, ...
  virtual int MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags) = 0;
};

// The ANSI form of a message text, as the message boxes take it.
AnsiString MessageTextA(ICoreHost& host, int number);
// Shows message `number` with ShowMessage, followed by extra.
void ShowMessageNumber(ICoreHost& host, int number, const AnsiString& extra = AnsiString());
// What follows a message about a file: ": " and the path as the user chose it
// (without the long-path prefix), then on a line of its own the system's
// reason for the error code. Either part is left out when not known (empty
// path, code 0).
AnsiString PathAndReason(const WideString& path, DWORD error);
// The text of a class-library exception in the program's language: the
// message of its kind (printer, file creation, opening, reading, writing,
// another stream failure, memory) with the file and the system's reason it
// carries. Kinds the program has no words for keep the library's text.
AnsiString ExceptionMessage(ICoreHost& host, const Exception& e);

// The question before a changed list is dropped (New, Open, closing): message
// 20 in a Yes/No/Cancel box captioned by message 10. Returns whether the caller
// may go on: after No, or after Yes when save() reports that the list was saved.
bool ConfirmDiscardList(ICoreHost& host, const std::function<bool()>& save);
// The question before an existing file is replaced: message 9, Yes/No.
bool ConfirmReplaceFile(ICoreHost& host);

// One step of a long job that writes entries, and the job's cancel flag.
class IStepProgress {
public:
  virtual ~IStepProgress() = default;
  virtual void Step() = 0;
  virtual bool CancelRequested() = 0;
};

// The percentage of a progress bar: done * 100 / total rounded with ties to
// even and kept within 0..100. A job without counted entries (a list that holds
// only its root) is complete at once instead of dividing by zero.
int ProgressPercent(int64_t done, int64_t total);

// The counters of the progress bar. Step returns true when the bar's position
// changed, which is when the window repaints it and lets the message loop run.
struct TProgressCounter {
  int Total = 0;
  int Done = 0;
  int Position = 0;
  bool Step();
};

// Paces the repaint and message-loop run of a job that reports every entry:
// Due is true at most once per interval (about 30 times a second by default).
// The counters stay current; under Wine a look at the message queue costs more
// than recording an entry, so doing it per entry would multiply a scan's time.
class TProgressPacer {
public:
  explicit TProgressPacer(DWORD intervalMs = 33) : FInterval(intervalMs), FLast(GetTickCount() - intervalMs) {}
  bool Due() {
    const DWORD now = GetTickCount();
    if (now - FLast < FInterval) return false;
    FLast = now;
    return true;
  }

private:
  DWORD FInterval;
  DWORD FLast;
};
