// The event dispatchers: the handler when one is assigned, otherwise the fixed
// default answer, some of which ask the user through a message or input box.
#include "ZEInternal.h"

#include <vector>

namespace {

// The default boxes: a small modal dialog built in memory, so that the
// buttons the answers need (No to All, Yes to All, Abort with Ignore) exist
// and every text stays UTF-16.
struct TBoxButton {
  int Id;
  const wchar_t* Caption;
};

constexpr int ID_NOTOALL = 9;
constexpr int ID_YESTOALL = 10;
constexpr int ID_EDIT = 100;

struct TBoxState {
  AnsiString* Value;
};

void AlignDword(std::vector<WORD>& t) {
  if (t.size() % 2) t.push_back(0);
}

void PushText(std::vector<WORD>& t, const WideString& s) {
  for (wchar_t c : s.str()) t.push_back(static_cast<WORD>(c));
  t.push_back(0);
}

void PushItem(std::vector<WORD>& t, DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls,
              const WideString& text) {
  AlignDword(t);
  DLGITEMTEMPLATE it{};
  it.style = style | WS_CHILD | WS_VISIBLE;
  it.x = x;
  it.y = y;
  it.cx = cx;
  it.cy = cy;
  it.id = id;
  const WORD* raw = reinterpret_cast<const WORD*>(&it);
  t.insert(t.end(), raw, raw + sizeof it / 2);
  t.push_back(0xFFFF);
  t.push_back(cls);
  PushText(t, text);
  t.push_back(0);  // no creation data
}

INT_PTR CALLBACK BoxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  return GuardedCall(
      nullptr,
      [&]() -> INT_PTR {
        if (msg == WM_INITDIALOG) {
          SetWindowLongPtrW(wnd, DWLP_USER, lp);
          auto* st = reinterpret_cast<TBoxState*>(lp);
          if (st && st->Value) SetDlgItemTextW(wnd, ID_EDIT, AnsiToWide(*st->Value).c_str());
          return TRUE;
        }
        if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED && LOWORD(wp) != ID_EDIT) {
          auto* st = reinterpret_cast<TBoxState*>(GetWindowLongPtrW(wnd, DWLP_USER));
          if (st && st->Value && LOWORD(wp) == IDOK) {
            // Sized from the edit: a long password is taken whole.
            std::vector<wchar_t> buf(static_cast<size_t>(GetWindowTextLengthW(GetDlgItem(wnd, ID_EDIT))) + 1);
            GetDlgItemTextW(wnd, ID_EDIT, buf.data(), static_cast<int>(buf.size()));
            *st->Value = WideToAnsi(WideString(buf.data()));
          }
          EndDialog(wnd, LOWORD(wp));
          return TRUE;
        }
        return FALSE;
      },
      INT_PTR(FALSE));
}

int RunBox(const WideString& caption, const WideString& text, const std::vector<TBoxButton>& buttons,
           AnsiString* editValue) {
  const short width = 280;
  int lines = 1;
  int column = 0;
  for (wchar_t c : text.str()) {
    if (c == L'\n' || ++column > 64) {
      ++lines;
      column = 0;
    }
  }
  const short textHeight = static_cast<short>(9 * lines);
  short y = static_cast<short>(10 + textHeight + 6);
  std::vector<WORD> t;
  DLGTEMPLATE dt{};
  dt.style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  dt.cdit = static_cast<WORD>(1 + buttons.size() + (editValue ? 1 : 0));
  dt.cx = width;
  dt.cy = static_cast<short>(y + (editValue ? 20 : 0) + 24);
  const WORD* raw = reinterpret_cast<const WORD*>(&dt);
  t.insert(t.end(), raw, raw + sizeof dt / 2);
  t.push_back(0);  // no menu
  t.push_back(0);  // the dialog class
  PushText(t, caption);
  t.push_back(8);
  PushText(t, L"MS Shell Dlg");
  PushItem(t, SS_LEFT, 10, 10, width - 20, textHeight, 0xFFFF, 0x0082, text);
  if (editValue) {
    PushItem(t, ES_AUTOHSCROLL | ES_PASSWORD | WS_BORDER | WS_TABSTOP, 10, y, width - 20, 13, ID_EDIT, 0x0081,
             WideString());
    y = static_cast<short>(y + 20);
  }
  const short bw = 60, gap = 6;
  short x = static_cast<short>(width - 10 - static_cast<int>(buttons.size()) * (bw + gap) + gap);
  bool first = true;
  for (const TBoxButton& b : buttons) {
    PushItem(t, (first ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, x, y, bw, 14, static_cast<WORD>(b.Id), 0x0080,
             b.Caption);
    x = static_cast<short>(x + bw + gap);
    first = false;
  }
  AlignDword(t);
  TBoxState st{editValue};
  INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                      GetActiveWindow(), &BoxProc, reinterpret_cast<LPARAM>(&st));
  return r <= 0 ? IDCANCEL : static_cast<int>(r);
}

TZEModalResult DefaultConfirm(const WideString& text, TZEDialogButtons buttons) {
  std::vector<TBoxButton> set;
  switch (buttons) {
    case zdbYesNoAll:
      set = {{IDYES, L"&Yes"}, {IDNO, L"&No"}, {ID_NOTOALL, L"N&o to All"}, {ID_YESTOALL, L"Yes to &All"}};
      break;
    case zdbAbortIgnore: set = {{IDABORT, L"&Abort"}, {IDIGNORE, L"&Ignore"}}; break;
    case zdbAbortRetryIgnore: set = {{IDABORT, L"&Abort"}, {IDRETRY, L"&Retry"}, {IDIGNORE, L"&Ignore"}}; break;
    default: set = {{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}}; break;
  }
  switch (RunBox(L"Confirm", text, set, nullptr)) {
    case IDOK: return zmrOk;
    case IDABORT: return zmrAbort;
    case IDRETRY: return zmrRetry;
    case IDIGNORE: return zmrIgnore;
    case IDYES: return zmrYes;
    case IDNO: return zmrNo;
    case ID_NOTOALL: return zmrNoToAll;
    case ID_YESTOALL: return zmrYesToAll;
    case IDCANCEL: return buttons == zdbOkCancel ? zmrCancel : zmrNone;
    default: return zmrNone;
  }
}

bool DefaultInputQuery(const WideString& caption, const WideString& prompt, AnsiString& value) {
  AnsiString v = value;
  if (RunBox(caption, prompt, {{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}}, &v) != IDOK) return false;
  value = v;
  return true;
}

}  // namespace

TZEDialogs ZEDialogs = {&DefaultConfirm, &DefaultInputQuery};

void TZEBaseArchiver::DoOnOverallProgress(double progress, TZEProcessOperation operation, TZEProgressPhase phase,
                                          bool& cancel) {
  if (OnOverallProgress)
    OnOverallProgress(this, progress, operation, phase, cancel);
  else
    cancel = false;
}

void TZEBaseArchiver::DoOnFileProgress(const WideString& fileName, double progress, TZEProcessOperation operation,
                                       TZEProgressPhase phase, bool& cancel) {
  if (OnFileProgress)
    OnFileProgress(this, ZEReplaceChar(fileName, L'/', L'\\'), progress, operation, phase, cancel);
  else
    cancel = false;
}

void TZEBaseArchiver::DoOnCopyTempFileProgress(double progress, TZEProgressPhase phase, bool& cancel) {
  cancel = false;
  if (OnCopyTempFileProgress) OnCopyTempFileProgress(this, progress, phase, cancel);
}

void TZEBaseArchiver::DoOnConfirmOverwrite(const WideString& sourceFileName, WideString& destFileName,
                                           bool& confirm) {
  if (OnConfirmOverwrite) {
    OnConfirmOverwrite(this, sourceFileName, destFileName, confirm);
    return;
  }
  switch (ZEDialogs.Confirm(ZEFormat(SConfirmOverwrite, {destFileName, sourceFileName}), zdbYesNoAll)) {
    case zmrYes: confirm = true; break;
    case zmrNoToAll:
      confirm = false;
      FOptions->OverwriteMode = omNever;
      break;
    case zmrYesToAll:
      confirm = true;
      FOptions->OverwriteMode = omAlways;
      break;
    default: confirm = false; break;
  }
}

void TZEBaseArchiver::DoOnConfirmProcessFile(const WideString& fileName, TZEProcessOperation operation,
                                             bool& confirm) {
  confirm = true;
  if (OnConfirmProcessFile) OnConfirmProcessFile(this, fileName, operation, confirm);
}

void TZEBaseArchiver::DoOnPassword(const WideString& fileName, AnsiString& newPassword, bool& skipFile) {
  if (OnPassword) {
    OnPassword(this, fileName, newPassword, skipFile);
    return;
  }
  AnsiString value = newPassword;
  const bool accepted = ZEDialogs.InputQuery(ZEFormat(SPasswordTitle, {fileName}), SPasswordPrompt, value);
  skipFile = !accepted;
  if (accepted) newPassword = value;
}

void TZEBaseArchiver::DoOnProcessFileFailure(const WideString& fileName, TZEProcessOperation operation,
                                             int nativeError, int errorCode, const WideString& errorMessage,
                                             TZEAction& action) {
  action = fxaIgnore;
  if (OnProcessFileFailure) {
    OnProcessFileFailure(this, fileName, operation, nativeError, errorCode, errorMessage, action);
    return;
  }
  if (nativeError == 45) {
    action = fxaAbort;
    return;
  }
  TZEModalResult answer = nativeError == 61
                              ? ZEDialogs.Confirm(errorMessage, zdbAbortIgnore)
                              : ZEDialogs.Confirm(ZEFormat(SOnProcessFileFailure, {errorMessage}), zdbAbortRetryIgnore);
  action = answer == zmrRetry ? fxaRetry : answer == zmrIgnore ? fxaIgnore : fxaAbort;
}

void TZEBaseArchiver::DoOnRequestBlankVolume(int volumeNumber, WideString& volumeFileName, bool& cancel) {
  if (volumeNumber < 0) volumeNumber = 0;
  volumeFileName = FFileName;
  MakeDefaultVolumeName(volumeFileName, static_cast<uint32_t>(volumeNumber), false);
  cancel = false;
  if (OnRequestBlankVolume) {
    OnRequestBlankVolume(this, volumeNumber + 1, volumeFileName, cancel);
    return;
  }
  if (FSpanningMode == smSpanning)
    cancel = ZEDialogs.Confirm(ZEFormat(SOnRequestBlankDisk, {volumeNumber + 1}), zdbOkCancel) != zmrOk;
}

void TZEBaseArchiver::DoOnRequestFirstVolume(WideString& volumeFileName, bool& cancel) {
  volumeFileName = FFileName;
  MakeDefaultVolumeName(volumeFileName, 0, !OnRequestFirstVolume);
  cancel = false;
  if (OnRequestFirstVolume) {
    OnRequestFirstVolume(this, volumeFileName, cancel);
    return;
  }
  if (FSpanningMode != smSpanning) {
    cancel = !WideFileExists(volumeFileName) && FOpenMode < fmCreate;
    return;
  }
  cancel = ZEDialogs.Confirm(SOnRequestFirstDisk, zdbOkCancel) != zmrOk;
  MakeDefaultVolumeName(volumeFileName, 0, true);
}

void TZEBaseArchiver::DoOnRequestLastVolume(WideString& volumeFileName, bool& cancel) {
  volumeFileName = FFileName;
  MakeDefaultVolumeName(volumeFileName, 0xFFFFFFFFu, true);
  cancel = false;
  if (OnRequestLastVolume) {
    OnRequestLastVolume(this, volumeFileName, cancel);
    return;
  }
  if (FSpanningMode != smSpanning) {
    cancel = !WideFileExists(volumeFileName);
    return;
  }
  bool ok = ZEDialogs.Confirm(SOnRequestLastDisk, zdbOkCancel) == zmrOk;
  while (ok && !WideFileExists(volumeFileName))
    ok = ZEDialogs.Confirm(ZEFormat(SWrongDiskRequestLastDisk, {volumeFileName}), zdbOkCancel) == zmrOk;
  cancel = !ok;
}

void TZEBaseArchiver::DoOnRequestMiddleVolume(int volumeNumber, WideString& volumeFileName, bool& cancel) {
  volumeFileName = FFileName;
  MakeDefaultVolumeName(volumeFileName, static_cast<uint32_t>(volumeNumber), !OnRequestMiddleVolume);
  cancel = false;
  if (OnRequestMiddleVolume) {
    OnRequestMiddleVolume(this, volumeNumber + 1, volumeFileName, cancel);
    return;
  }
  if (FSpanningMode != smSpanning) {
    cancel = !WideFileExists(volumeFileName);
    return;
  }
  cancel = ZEDialogs.Confirm(ZEFormat(SOnRequestMiddleDisk, {volumeNumber + 1}), zdbOkCancel) != zmrOk;
  MakeDefaultVolumeName(volumeFileName, static_cast<uint32_t>(volumeNumber), true);
}

void TZEBaseArchiver::DoOnDiskFull(int volumeNumber, const WideString& volumeFileName, bool& cancel) {
  cancel = false;
  if (OnDiskFull) {
    OnDiskFull(this, volumeNumber + 1, volumeFileName, cancel);
    return;
  }
  if (FSpanningMode == smNone) {
    cancel = true;
    return;
  }
  ULARGE_INTEGER avail{}, total{}, freeBytes{};
  WideString drive = WideIncludeTrailingBackslash(WideExtractFileDrive(volumeFileName));
  GetDiskFreeSpaceExW(drive.c_str(), &avail, &total, &freeBytes);
  cancel = ZEDialogs.Confirm(ZEFormat(SOnDiskFull, {static_cast<long long>(FSpanningOptions->GetVolumeSize(volumeNumber)),
                                                    static_cast<long long>(avail.QuadPart)}),
                             zdbOkCancel) != zmrOk;
}

void TZEBaseArchiver::DoOnProcessVolumeFailure(TZEProcessOperation operation, int volumeNumber,
                                               const WideString& volumeFileName, bool& result) {
  if (OnProcessVolumeFailure) OnProcessVolumeFailure(this, operation, volumeNumber + 1, volumeFileName, result);
}

void TZEBaseArchiver::DoOnStoreFile(WideString& fileName, uint32_t& fileAttr, AnsiString& comment,
                                    const WideString& originalFileName) {
  if (!OnStoreFile) return;
  WideString name = ZEReplaceChar(fileName, L'/', L'\\');
  OnStoreFile(this, name, fileAttr, comment, originalFileName);
  fileName = ZEReplaceChar(name, L'\\', L'/');
}

void TZEBaseArchiver::DoOnExtractFile(WideString& fileName, uint32_t& fileAttr, const AnsiString& comment) {
  fileName = ZEReplaceChar(fileName, L'/', L'\\');
  if (OnExtractFile) OnExtractFile(this, fileName, fileAttr, comment);
}
