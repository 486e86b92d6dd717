#include "dialogs_find.h"

#include <cstring>

#include "filer.h"
#include "forms.h"
#include "thunk.h"

CL_DEFINE_COMPONENT(TFindDialog, TCommonDialog)
CL_DEFINE_COMPONENT(TReplaceDialog, TFindDialog)
CL_DEFINE_COMPONENT(TFontDialog, TCommonDialog)
CL_DEFINE_COMPONENT(TColorDialog, TCommonDialog)
CL_DEFINE_COMPONENT(TPrinterSetupDialog, TCommonDialog)

namespace {
const DWORD FindOptionFlags[] = {FR_DOWN,           FR_FINDNEXT,       FR_HIDEMATCHCASE, FR_HIDEWHOLEWORD,
                                 FR_HIDEUPDOWN,     FR_MATCHCASE,      FR_NOMATCHCASE,   FR_NOUPDOWN,
                                 FR_NOWHOLEWORD,    FR_REPLACE,        FR_REPLACEALL,    FR_WHOLEWORD,
                                 FR_SHOWHELP};
UINT FindMsg = 0;
}  // namespace

DWORD FindOptionsToFlags(TFindOptions options) {
  DWORD flags = 0;
  for (int i = 0; i <= frShowHelp; ++i)
    if (options & (1u << i)) flags |= FindOptionFlags[i];
  return flags;
}

TFindOptions FlagsToFindOptions(DWORD flags) {
  TFindOptions options = 0;
  for (int i = 0; i <= frShowHelp; ++i)
    if (flags & FindOptionFlags[i]) options |= static_cast<TFindOptions>(1u << i);
  return options;
}

UINT FindReplaceMessage() {
  if (!FindMsg) FindMsg = RegisterWindowMessageA(FINDMSGSTRINGA);
  return FindMsg;
}

// ---------------------------------------------------------------------------

TFindDialog::TFindDialog(TComponent* owner) : TCommonDialog(owner) {
  FRecord.lStructSize = sizeof FRecord;
  FRecord.hInstance = reinterpret_cast<HINSTANCE>(HInstance);
  FRecord.lpstrFindWhat = FFindBuffer;
  FRecord.lpstrReplaceWith = FReplaceBuffer;
  FRecord.wFindWhatLen = sizeof FFindBuffer;
  FRecord.wReplaceWithLen = sizeof FReplaceBuffer;
  FRecord.lCustData = reinterpret_cast<LPARAM>(this);
  FRecord.lpfnHook = &TFindDialog::HookProc;
}

TFindDialog::~TFindDialog() {
  if (Handle()) {
    HWND wnd = Handle();
    SetDialogHandle(nullptr);
    DestroyWindow(wnd);
  }
  if (FOwnerWindow) DeallocateHWnd(FOwnerWindow);
}

AnsiString TFindDialog::FindText() const { return AnsiString(FFindBuffer); }

void TFindDialog::SetFindText(const AnsiString& v) { lstrcpynA(FFindBuffer, v.c_str(), sizeof FFindBuffer); }

TPoint TFindDialog::Position() {
  RECT r;
  if (Handle() && GetWindowRect(Handle(), &r)) return TPoint(r.left, r.top);
  return FPosition;
}

void TFindDialog::SetPosition(const TPoint& p) {
  if (p == FPosition) return;
  FPosition = p;
  if (Handle()) SetWindowPos(Handle(), nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFindDialog::Find() {
  if (OnFind) OnFind(this);
}

void TFindDialog::Replace() {
  if (OnReplace) OnReplace(this);
}

bool TFindDialog::Execute() {
  if (Handle()) {
    BringWindowToTop(Handle());
    return true;
  }
  // The system sends the user's requests to the owner: a window of our own
  // receives them whatever form is active.
  if (!FOwnerWindow) FOwnerWindow = AllocateHWnd(MakeEvent<&TFindDialog::OwnerWndProc>(this));
  FRecord.hwndOwner = FOwnerWindow;
  FRecord.Flags = FindOptionsToFlags(FOptions) | FR_ENABLEHOOK;
  HWND wnd = FDialogFunc(&FRecord);
  SetDialogHandle(wnd);
  return wnd != nullptr;
}

void TFindDialog::CloseDialog() {
  if (Handle()) PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

UINT_PTR CALLBACK TFindDialog::HookProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return GuardedCall(
      nullptr,
      [&]() -> UINT_PTR {
        if (msg == WM_INITDIALOG) {
          auto* self = reinterpret_cast<TFindDialog*>(reinterpret_cast<FINDREPLACEA*>(lParam)->lCustData);
          SetPropA(wnd, "TFindDialog", self);
          if (self->FPosition.x != -1 || self->FPosition.y != -1)
            SetWindowPos(wnd, nullptr, self->FPosition.x, self->FPosition.y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
          self->SetDialogHandle(wnd);
          self->DoShow();
          return 1;
        }
        // The application's loop gives the dialog's keys to IsDialogMessage
        // while it is active.
        if (msg == WM_ACTIVATE && Application) {
          if (LOWORD(wParam) != WA_INACTIVE)
            Application->SetDialogHandle(wnd);
          else if (Application->DialogHandle() == wnd)
            Application->SetDialogHandle(nullptr);
        } else if (msg == WM_DESTROY) {
          if (Application && Application->DialogHandle() == wnd) Application->SetDialogHandle(nullptr);
          if (auto* self = static_cast<TFindDialog*>(RemovePropA(wnd, "TFindDialog"))) self->DoClose();
        }
        return 0;
      },
      UINT_PTR(0));
}

void TFindDialog::OwnerWndProc(TMessage& m) {
  if (m.Msg == FindReplaceMessage() && reinterpret_cast<FINDREPLACEA*>(m.LParam) == &FRecord) {
    FOptions = FlagsToFindOptions(FRecord.Flags);
    if (FRecord.Flags & FR_FINDNEXT)
      Find();
    else if (FRecord.Flags & (FR_REPLACE | FR_REPLACEALL))
      Replace();
    else if (FRecord.Flags & FR_DIALOGTERM) {
      RECT r;
      if (Handle() && GetWindowRect(Handle(), &r)) FPosition = TPoint(r.left, r.top);
      SetDialogHandle(nullptr);
    }
    m.Result = 0;
    return;
  }
  m.Result = DefWindowProcA(FOwnerWindow, m.Msg, m.WParam, m.LParam);
}

TReplaceDialog::TReplaceDialog(TComponent* owner) : TFindDialog(owner) { FDialogFunc = &::ReplaceTextA; }

AnsiString TReplaceDialog::ReplaceText() const { return AnsiString(FReplaceBuffer); }

void TReplaceDialog::SetReplaceText(const AnsiString& v) {
  lstrcpynA(FReplaceBuffer, v.c_str(), sizeof FReplaceBuffer);
}

// ---------------------------------------------------------------------------

TFontDialog::TFontDialog(TComponent* owner) : TCommonDialog(owner), FFont(new TFont) {}

TFontDialog::~TFontDialog() { delete FFont; }

bool TFontDialog::Execute() {
  LOGFONTA lf;
  std::memset(&lf, 0, sizeof lf);
  GetObjectA(FFont->Handle(), sizeof lf, &lf);
  CHOOSEFONTA cf;
  std::memset(&cf, 0, sizeof cf);
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = OwnerWindow();
  cf.lpLogFont = &lf;
  cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
  cf.rgbColors = ColorToRGB(FFont->Color());
  if (!TaskModalDialog(reinterpret_cast<BOOL(WINAPI*)(void*)>(&ChooseFontA), &cf)) return false;
  HFONT chosen = CreateFontIndirectA(&lf);
  FFont->SetHandle(chosen);
  DeleteObject(chosen);
  FFont->SetColor(static_cast<TColor>(cf.rgbColors));
  return true;
}

bool TColorDialog::Execute() {
  CHOOSECOLORA cc;
  std::memset(&cc, 0, sizeof cc);
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = OwnerWindow();
  cc.rgbResult = ColorToRGB(FColor);
  cc.lpCustColors = FCustomColors;
  cc.Flags = CC_RGBINIT;
  if (!TaskModalDialog(reinterpret_cast<BOOL(WINAPI*)(void*)>(&ChooseColorA), &cc)) return false;
  FColor = static_cast<TColor>(cc.rgbResult);
  return true;
}

bool TPrinterSetupDialog::Execute() {
  PRINTDLGA pd;
  std::memset(&pd, 0, sizeof pd);
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = OwnerWindow();
  pd.Flags = PD_PRINTSETUP;
  return ExecutePrinterDialog(pd);
}

// ---------------------------------------------------------------------------

namespace {
const char* const FindOptionNames[] = {"frDown",          "frFindNext",         "frHideMatchCase", "frHideWholeWord",
                                       "frHideUpDown",    "frMatchCase",        "frDisableMatchCase",
                                       "frDisableUpDown", "frDisableWholeWord", "frReplace",       "frReplaceAll",
                                       "frWholeWord",     "frShowHelp"};
}  // namespace

void UnitInit_dialogs_find() {
  FindReplaceMessage();
  RegisterClasses({&TFindDialog::Class, &TReplaceDialog::Class, &TFontDialog::Class, &TColorDialog::Class,
                   &TPrinterSetupDialog::Class});
  const TMetaClass* c = &TFindDialog::Class;
  RegisterProperty(c, "FindText", pkString, &TFindDialog::SetFindText, &TFindDialog::FindText);
  RegisterProperty(c, "Options", TPropType::Set(FindOptionNames), &TFindDialog::SetOptions, &TFindDialog::Options);
  RegisterProperty(&TReplaceDialog::Class, "ReplaceText", pkString, &TReplaceDialog::SetReplaceText,
                   &TReplaceDialog::ReplaceText);
  RegisterProperty(&TColorDialog::Class, "Color", pkInteger, &TColorDialog::SetColor, &TColorDialog::Color);
}

void UnitFini_dialogs_find() {}
