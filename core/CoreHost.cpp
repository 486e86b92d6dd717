#include "CoreHost.h"

#include "sysutils.h"

AnsiString MessageTextA(ICoreHost& host, int number) { return WideToAnsi(host.LocalText(tgMessage, number)); }

void ShowMessageNumber(ICoreHost& host, int number, const AnsiString& extra) {
  host.ShowMessage(MessageTextA(host, number) + extra);
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
