#include "CoreHost.h"

#include "LongPath.h"
#include "sysutils.h"

AnsiString MessageTextA(ICoreHost& host, int number) { return WideToAnsi(host.LocalText(tgMessage, number)); }

void ShowMessageNumber(ICoreHost& host, int number, const AnsiString& extra) {
  host.ShowMessage(MessageTextA(host, number) + extra);
}

AnsiString PathAndReason(const WideString& path, DWORD error) {
  AnsiString text;
  if (!path.IsEmpty()) text = ": " + WideToAnsi(ShownPath(path));
  if (error != 0) text += "\n" + SysErrorMessage(error);
  return text;
}

AnsiString ExceptionMessage(ICoreHost& host, const Exception& e) {
  int number = -1;
  WideString file;
  DWORD error = 0;
  if (e.Is<EPrinter>()) {
    number = e.Is<ENoDefaultPrinter>() ? msgNoPrinter : msgPrintFailed;
    error = static_cast<const EPrinter&>(e).ErrorCode();
  } else if (e.Is<EStreamError>()) {
    const auto& stream = static_cast<const EStreamError&>(e);
    file = stream.FileName();
    error = stream.ErrorCode();
    if (e.Is<EFCreateError>())
      number = msgCreateFileFailed;
    else if (e.Is<EFOpenError>())
      number = msgFileOpenFailed;
    else if (e.Is<EWriteError>())
      number = msgWriteFailed;
    else if (e.Is<EReadError>())
      number = msgFileUnreadable;
    else
      number = msgError;
  } else if (e.Is<EOutOfMemory>()) {
    number = msgOutOfMemory;
  }
  const AnsiString text = number < 0 ? AnsiString() : MessageTextA(host, number);
  // Without the program's words (another kind, or no texts loaded yet) the
  // library's own text is still better than an empty box.
  if (text.IsEmpty()) return e.Message();
  return text + PathAndReason(file, error);
}

bool ConfirmDiscardList(ICoreHost& host, const std::function<bool()>& save) {
  switch (host.MessageBox(MessageTextA(host, msgSaveChanges), MessageTextA(host, msgQuestionCaption), MB_YESNOCANCEL)) {
    case IDNO:
      return true;
    case IDYES:
      return save();
    default:
      return false;
  }
}

bool ConfirmReplaceFile(ICoreHost& host) {
  return host.MessageBox(MessageTextA(host, msgReplaceFile), MessageTextA(host, msgQuestionCaption), MB_YESNO) ==
         IDYES;
}

int ProgressPercent(int64_t done, int64_t total) {
  if (total <= 0) return 100;
  const int64_t percent = Round(static_cast<double>(done) * 100.0 / static_cast<double>(total));
  if (percent <= 0) return 0;
  if (percent >= 100) return 100;
  return static_cast<int>(percent);
}

bool TProgressCounter::Step() {
  ++Done;
  const int p = ProgressPercent(Done, Total);
  if (p == Position) return false;
  Position = p;
  return true;
}
