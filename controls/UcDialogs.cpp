#include "UcDialogs.h"

#include <algorithm>
#include <float.h>
#include <memory>

#include "thunk.h"

#include "UcClipboard.h"
#include "UcExtCtrls.h"
#include "UcFileDialogs.h"
#include "UcWindows.h"

CL_DEFINE_CLASS(TUcCommonDialog, TComponent)
CL_DEFINE_CLASS(TRedirectorWindow, TWinControl)
CL_DEFINE_COMPONENT(TUcFindDialog, TUcCommonDialog)
CL_DEFINE_COMPONENT(TUcReplaceDialog, TUcFindDialog)
CL_DEFINE_COMPONENT(TUcMessageForm, TUcForm)

UINT HelpMsg = 0;
UINT FindMsg = 0;
ATOM WndProcPtrAtom = 0;
TUcCommonDialog* DialogCreationControl = nullptr;

namespace {
char WndProcPtrAtomName[32] = {};
}

// ---------------------------------------------------------------------------
// TUcCommonDialog

TUcCommonDialog::TUcCommonDialog(TComponent* owner) : TComponent(owner) {
  FObjectInstance = MakeObjectInstance(MakeEvent<&TUcCommonDialog::MainWndProc>(this));
}

TUcCommonDialog::~TUcCommonDialog() {
  if (FObjectInstance) FreeObjectInstance(FObjectInstance);
}

void TUcCommonDialog::DoClose() {
  if (OnClose) OnClose(this);
}

void TUcCommonDialog::DoShow() {
  if (OnShow) OnShow(this);
}

bool TUcCommonDialog::MessageHook(TMessage& msg) {
  if (msg.Msg == HelpMsg && FHelpContext != 0 && Application) {
    Application->HelpContext(FHelpContext);
    return true;
  }
  return false;
}

void TUcCommonDialog::MainWndProc(TMessage& message) {
  GuardedCall(this, [&] { WndProc(message); });
}

void TUcCommonDialog::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_INITDIALOG: WMInitDialog(message); return;
    case WM_DESTROY: WMDestroy(message); return;
    case WM_NCDESTROY: WMNCDestroy(message); return;
    default: DefaultHandler(message);
  }
}

void TUcCommonDialog::DefaultHandler(TMessage& message) {
  if (FHandle && FDefWndProc)
    message.Result = CallWindowProcW(FDefWndProc, FHandle, message.Msg, message.WParam, message.LParam);
  else
    message.Result = 0;
}

void TUcCommonDialog::WMInitDialog(TMessage& m) {
  // Only old-style dialogs send it here; the others have their hook.
  DoShow();
  m.Result = 0;
}

void TUcCommonDialog::WMDestroy(TMessage& m) {
  DefaultHandler(m);
  DoClose();
}

void TUcCommonDialog::WMNCDestroy(TMessage& m) {
  DefaultHandler(m);
  FHandle = nullptr;
}

bool TUcCommonDialog::TaskModalDialog(void* dialogFunc, void* dialogData) {
  HWND active = GetActiveWindow();
  HWND focus = GetFocus();
  std::vector<HWND> disabled = DisableTaskWindows(nullptr);
  const TWindowHook hook = MakeEvent<&TUcCommonDialog::MessageHook>(this);
  if (Application) Application->HookMainWindow(hook);
  BOOL result = FALSE;
  DialogCreationControl = this;
  try {
    result = reinterpret_cast<BOOL(WINAPI*)(void*)>(dialogFunc)(dialogData);
  } catch (...) {
    DialogCreationControl = nullptr;
    if (Application) Application->UnhookMainWindow(hook);
    EnableTaskWindows(disabled);
    throw;
  }
  // A dialog may leave floating-point exceptions pending.
  _clearfp();
  DialogCreationControl = nullptr;
  if (Application) Application->UnhookMainWindow(hook);
  EnableTaskWindows(disabled);
  if (active && IsWindow(active)) SetActiveWindow(active);
  if (focus && IsWindow(focus)) SetFocus(focus);
  return result != FALSE;
}

void CenterDialogWindow(HWND wnd) {
  HWND reference = nullptr;
  if (Screen && Screen->ActiveForm() && Screen->ActiveForm()->HandleAllocated())
    reference = Screen->ActiveForm()->Handle();
  else if (Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
    reference = Application->MainForm()->Handle();
  HMONITOR monitor = reference ? MonitorFromWindow(reference, MONITOR_DEFAULTTONEAREST)
                               : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  RECT r;
  if (!GetMonitorInfoA(monitor, &info) || !GetWindowRect(wnd, &r)) return;
  const int w = r.right - r.left, h = r.bottom - r.top;
  const RECT& m = info.rcMonitor;
  SetWindowPos(wnd, nullptr, m.left + ((m.right - m.left) - w) / 2, m.top + ((m.bottom - m.top) - h) / 3, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT_PTR CALLBACK CommonDialogHookW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_INITDIALOG || !DialogCreationControl) return 0;
  return GuardedCall(
      DialogCreationControl,
      [&]() -> UINT_PTR {
        CenterDialogWindow(wnd);
        TUcCommonDialog* d = DialogCreationControl;
        d->FHandle = wnd;
        // The wide call keeps the system's Unicode dialog a Unicode window.
        d->FDefWndProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(d->FObjectInstance)));
        CallWindowProcW(d->FObjectInstance, wnd, msg, wParam, lParam);
        DialogCreationControl = nullptr;
        return 0;
      },
      UINT_PTR(0));
}

// ---------------------------------------------------------------------------
// TRedirectorWindow

TRedirectorWindow::TRedirectorWindow(TComponent* owner, TUcCommonDialog* dialog, HWND formWindow)
    : TWinControl(owner), FCommonDialog(dialog), FFormHandle(formWindow) {
  SetParentWindow(formWindow);
}

void TRedirectorWindow::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style = WS_VISIBLE | WS_POPUP;
  params.WndParent = FFormHandle;
}

void TRedirectorWindow::WndProc(TMessage& message) {
  TWinControl::WndProc(message);
  if (message.Result == 0 && message.Msg != CM_RELEASE && FCommonDialog)
    message.Result = FCommonDialog->MessageHook(message) ? 1 : 0;
  if (message.Msg == CM_RELEASE) delete this;
}

// ---------------------------------------------------------------------------
// TUcFindDialog

namespace {
BOOL CALLBACK FindFormWindow(HWND wnd, LPARAM data) {
  TWinControl* control = FindControl(wnd);
  if (control && control->Is<TCustomForm>()) {
    *reinterpret_cast<HWND*>(data) = wnd;
    return FALSE;
  }
  return TRUE;
}

LRESULT CALLBACK FindReplaceWndProcW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto previous = reinterpret_cast<WNDPROC>(GetPropA(wnd, MAKEINTATOM(WndProcPtrAtom)));
  switch (msg) {
    case WM_DESTROY:
      if (Application && Application->DialogHandle() == wnd) Application->SetDialogHandle(nullptr);
      break;
    case WM_NCACTIVATE:
      // The application's loop passes the keys of the active dialog to IsDialogMessage.
      if (Application) {
        if (wParam) {
          if (!Application->DialogHandle()) Application->SetDialogHandle(wnd);
        } else if (Application->DialogHandle() == wnd) {
          Application->SetDialogHandle(nullptr);
        }
      }
      break;
    case WM_NCDESTROY: {
      LRESULT r = previous ? CallWindowProcW(previous, wnd, msg, wParam, lParam) : 0;
      RemovePropA(wnd, MAKEINTATOM(WndProcPtrAtom));
      return r;
    }
  }
  return previous ? CallWindowProcW(previous, wnd, msg, wParam, lParam) : DefWindowProcW(wnd, msg, wParam, lParam);
}
}  // namespace

UINT_PTR CALLBACK FindReplaceDialogHookW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  UINT_PTR result = CommonDialogHookW(wnd, msg, wParam, lParam);
  if (msg != WM_INITDIALOG) return result;
  return GuardedCall(
      nullptr,
      [&]() -> UINT_PTR {
        auto* d = reinterpret_cast<TUcFindDialog*>(reinterpret_cast<FINDREPLACEW*>(lParam)->lCustData);
        if (d->FPosition.x != -1 || d->FPosition.y != -1)
          SetWindowPos(wnd, nullptr, d->FPosition.x, d->FPosition.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        d->ShowTexts(wnd);
        SetPropA(wnd, MAKEINTATOM(WndProcPtrAtom), reinterpret_cast<HANDLE>(GetWindowLongPtrW(wnd, GWLP_WNDPROC)));
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FindReplaceWndProcW));
        return 1;
      },
      UINT_PTR(1));
}

TUcFindDialog::TUcFindDialog(TComponent* owner) : TUcCommonDialog(owner) {
  FFindReplace.lStructSize = sizeof FFindReplace;
  FFindReplace.hwndOwner = Application ? Application->Handle() : nullptr;
  FFindReplace.hInstance = reinterpret_cast<HINSTANCE>(HInstance);
  FFindReplace.lpstrFindWhat = FFindText;
  FFindReplace.lpstrReplaceWith = FReplaceText;
  FFindReplace.wFindWhatLen = sizeof FFindText;
  FFindReplace.wReplaceWithLen = sizeof FReplaceText;
  FFindReplace.lCustData = reinterpret_cast<LPARAM>(this);
  FFindReplace.lpfnHook = &FindReplaceDialogHookW;
}

TUcFindDialog::~TUcFindDialog() {
  if (FFindHandle) SendMessageW(FFindHandle, WM_CLOSE, 0, 0);
  if (FFindHandle && IsWindow(FFindHandle)) DestroyWindow(FFindHandle);
  if (FRedirector) {
    FRedirector->Forget();
    delete FRedirector;
  }
}

WideString TUcFindDialog::FindText() const { return WideString(FFindText); }

void TUcFindDialog::SetFindText(const WideString& v) { lstrcpynW(FFindText, v.c_str(), 256); }

WideString TUcReplaceDialog::ReplaceText() const { return WideString(FReplaceText); }

void TUcReplaceDialog::SetReplaceText(const WideString& v) { lstrcpynW(FReplaceText, v.c_str(), 256); }

TUcReplaceDialog::TUcReplaceDialog(TComponent* owner) : TUcFindDialog(owner) { FFindReplaceFunc = &::ReplaceTextW; }

// Wine's FindTextW / ReplaceTextW carry the texts through the ANSI code page,
// which turns every character outside it into "?". The dialog's edits hold
// the wide texts themselves: they are set and read wide.
namespace {
constexpr int FindWhatEdit = 0x480;     // edt1 of the system's template
constexpr int ReplaceWithEdit = 0x481;  // edt2
}  // namespace

void TUcFindDialog::ShowTexts(HWND wnd) {
  if (GetDlgItem(wnd, FindWhatEdit)) SetDlgItemTextW(wnd, FindWhatEdit, FFindText);
  if (GetDlgItem(wnd, ReplaceWithEdit)) SetDlgItemTextW(wnd, ReplaceWithEdit, FReplaceText);
}

void TUcFindDialog::ReadTexts(HWND wnd) {
  if (GetDlgItem(wnd, FindWhatEdit)) GetDlgItemTextW(wnd, FindWhatEdit, FFindText, 256);
  if (GetDlgItem(wnd, ReplaceWithEdit)) GetDlgItemTextW(wnd, ReplaceWithEdit, FReplaceText, 256);
}

TPoint TUcFindDialog::Position() {
  RECT r;
  if (FFindHandle && GetWindowRect(FFindHandle, &r)) return TPoint(r.left, r.top);
  return FPosition;
}

void TUcFindDialog::SetPosition(const TPoint& p) {
  if (p == FPosition) return;
  FPosition = p;
  if (FFindHandle) SetWindowPos(FFindHandle, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TUcFindDialog::Find() {
  if (OnFind) OnFind(this);
}

void TUcFindDialog::Replace() {
  if (OnReplace) OnReplace(this);
}

void TUcFindDialog::CloseDialog() {
  if (FFindHandle) PostMessageW(FFindHandle, WM_CLOSE, 0, 0);
}

bool TUcFindDialog::Execute() {
  if (FFindHandle) {
    BringWindowToTop(FFindHandle);
    return true;
  }
  FFindReplace.Flags = FR_ENABLEHOOK | FindOptionsToFlags(FOptions);
  FFindReplace.lpfnHook = &FindReplaceDialogHookW;
  HWND formWindow = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindFormWindow, reinterpret_cast<LPARAM>(&formWindow));
  FRedirector = new TRedirectorWindow(nullptr, this, formWindow);
  FFindReplace.hwndOwner = FRedirector->Handle();
  if (FTemplate) {
    FFindReplace.Flags |= FR_ENABLETEMPLATE;
    FFindReplace.lpTemplateName = FTemplate;
  }
  DialogCreationControl = this;
  FFindHandle = FFindReplaceFunc(&FFindReplace);
  DialogCreationControl = nullptr;
  if (!FFindHandle) {
    delete FRedirector;
    FRedirector = nullptr;
  }
  return FFindHandle != nullptr;
}

bool TUcFindDialog::MessageHook(TMessage& msg) {
  if (TUcCommonDialog::MessageHook(msg)) return true;
  if (msg.Msg != FindMsg || reinterpret_cast<FINDREPLACEW*>(msg.LParam) != &FFindReplace) return false;
  FOptions = FlagsToFindOptions(FFindReplace.Flags);
  if (FFindHandle) ReadTexts(FFindHandle);
  if (FFindReplace.Flags & FR_FINDNEXT) {
    Find();
  } else if (FFindReplace.Flags & (FR_REPLACE | FR_REPLACEALL)) {
    Replace();
  } else if (FFindReplace.Flags & FR_DIALOGTERM) {
    RECT r;
    if (FFindHandle && GetWindowRect(FFindHandle, &r)) FPosition = TPoint(r.left, r.top);
    FFindHandle = nullptr;
    if (FRedirector) {
      FRedirector->Forget();
      PostMessageA(FRedirector->Handle(), CM_RELEASE, 0, 0);
      FRedirector = nullptr;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Message dialogs

namespace {
const wchar_t* const Captions[] = {L"Warning", L"Error", L"Information", L"Confirm", L""};
const LPCSTR IconIDs[] = {IDI_EXCLAMATION, IDI_HAND, IDI_ASTERISK, IDI_QUESTION, nullptr};
const wchar_t* const ButtonCaptions[] = {L"&Yes",   L"&No",  L"OK",         L"Cancel",      L"&Abort", L"&Retry",
                                         L"&Ignore", L"&All", L"N&o to All", L"Yes to &All", L"&Help"};
const char* const ButtonNames[] = {"Yes",    "No",  "OK",      "Cancel",   "Abort", "Retry",
                                   "Ignore", "All", "NoToAll", "YesToAll", "Help"};
const int ModalResults[] = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0};

// NONCLIENTMETRICSA as it was before Vista added iPaddedBorderWidth: 340 bytes.
constexpr UINT NonClientMetricsSize = 340;
}  // namespace

WideString GetMessageCaption(TMsgDlgType type) {
  if (type > mtCustom) throw EUcInternalError("Unexpected MsgType in GetMessageCaption.");
  return WideString(Captions[type]);
}

WideString GetButtonCaption(TMsgDlgBtn button) {
  if (button > mbHelp) throw EUcInternalError("Unexpected MsgDlgBtn in GetButtonCaption.");
  return WideString(ButtonCaptions[button]);
}

TUcMessageForm::TUcMessageForm(TComponent* owner) : TUcForm(owner) {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = NonClientMetricsSize;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, NonClientMetricsSize, &metrics, 0)) {
    HFONT font = CreateFontIndirectA(&metrics.lfMessageFont);
    Font()->SetHandle(font);
    DeleteObject(font);
  }
}

void TUcMessageForm::HelpButtonClick(TObject* sender) {
  (void)sender;
  if (!HelpFile.IsEmpty())
    WinHelpA(Handle(), HelpFile.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(HelpContext()));
  else if (Application)
    Application->HelpContext(HelpContext());
}

WideString TUcMessageForm::GetFormText() {
  const WideString divider = WideString(std::wstring(27, L'-')) + L"\r\n";
  WideString buttons;
  for (int i = 0; i < ComponentCount(); ++i)
    if (Components(i)->Is<TUcButton>()) {
      std::wstring caption = static_cast<TUcButton*>(Components(i))->Caption().str();
      caption.erase(std::remove(caption.begin(), caption.end(), L'&'), caption.end());
      buttons += WideString(caption) + L"   ";
    }
  return divider + Caption() + L"\r\n" + divider + (Message ? Message->Caption() : WideString()) + L"\r\n" + divider +
         buttons + L"\r\n" + divider;
}

void TUcMessageForm::CustomKeyDown(TObject* sender, WORD& key, TShiftState shift) {
  (void)sender;
  if (shift == ssCtrl && key == 'C') {
    MessageBeep(0);
    UcClipboard()->SetAsWideText(GetFormText());
  }
}

TPoint GetAveCharSize(TCanvas* canvas) {
  wchar_t letters[52];
  for (int i = 0; i < 26; ++i) {
    letters[i] = static_cast<wchar_t>(L'A' + i);
    letters[26 + i] = static_cast<wchar_t>(L'a' + i);
  }
  SIZE size{};
  GetTextExtentPointW(canvas->Handle(), letters, 52, &size);
  TEXTMETRICA tm{};
  GetTextMetricsA(canvas->Handle(), &tm);
  return TPoint(((size.cx / 26) + 1) / 2, tm.tmHeight);
}

TUcMessageForm* WideCreateMessageDialog(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons,
                                        TMsgDlgBtn defaultButton) {
  if (dlgType > mtCustom) throw EUcInternalError("Unexpected MsgType in GetMessageCaption.");
  auto* form = NewForm<TUcMessageForm>(Application);
  try {
    form->SetBorderStyle(bsDialog);
    form->Canvas()->Font()->Assign(form->Font());
    form->SetKeyPreview(true);
    form->SetPosition(poDesigned);
    form->OnKeyDown = MakeEvent<&TUcMessageForm::CustomKeyDown>(form);
    const TPoint du = GetAveCharSize(form->Canvas());
    const int horzMargin = MulDiv(8, du.x, 4), vertMargin = MulDiv(8, du.y, 8);
    const int horzSpacing = MulDiv(10, du.x, 4), vertSpacing = MulDiv(10, du.y, 8);
    int buttonWidth = MulDiv(50, du.x, 4);
    HDC dc = form->Canvas()->Handle();
    for (int b = mbYes; b <= mbHelp; ++b) {
      if (!(buttons & (1u << b))) continue;
      RECT r{0, 0, 0, 0};
      const WideString caption = GetButtonCaption(static_cast<TMsgDlgBtn>(b));
      Uc_DrawTextW(dc, caption.c_str(), -1, &r, DT_CALCRECT | DT_LEFT | DT_SINGLELINE);
      buttonWidth = std::max(buttonWidth, static_cast<int>(r.right - r.left) + 8);
    }
    const int buttonHeight = MulDiv(14, du.y, 8), buttonSpacing = MulDiv(4, du.x, 4);
    RECT text{0, 0, Screen ? Screen->Width() / 2 : GetSystemMetrics(SM_CXSCREEN) / 2, 0};
    Uc_DrawTextW(dc, msg.c_str(), msg.Length() + 1, &text, DT_EXPANDTABS | DT_CALCRECT | DT_WORDBREAK);
    const LPCSTR iconID = IconIDs[dlgType];
    int iconTextWidth = text.right, iconTextHeight = text.bottom;
    if (iconID) {
      iconTextWidth += 32 + horzSpacing;
      iconTextHeight = std::max(iconTextHeight, 32);
    }
    int count = 0;
    for (int b = mbYes; b <= mbHelp; ++b)
      if (buttons & (1u << b)) ++count;
    const int groupWidth = count ? buttonWidth * count + buttonSpacing * (count - 1) : 0;
    form->SetClientSize(std::max(iconTextWidth, groupWidth) + 2 * horzMargin,
                        iconTextHeight + buttonHeight + vertSpacing + 2 * vertMargin);
    const int screenWidth = Screen ? Screen->Width() : GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = Screen ? Screen->Height() : GetSystemMetrics(SM_CYSCREEN);
    form->SetLeft(screenWidth / 2 - form->Width() / 2);
    form->SetTop(screenHeight / 2 - form->Height() / 2);
    if (dlgType != mtCustom)
      form->SetCaption(GetMessageCaption(dlgType));
    else if (UcApplication)
      form->SetCaption(UcApplication->GetTitle());
    if (iconID) {
      auto* image = new TUcImage(form);
      image->SetName("Image");
      image->SetParent(form);
      image->Picture()->Icon()->SetHandle(CopyIcon(LoadIconA(nullptr, iconID)));
      image->SetBounds(horzMargin, vertMargin, 32, 32);
    }
    auto* label = new TUcLabel(form);
    label->SetName("Message");
    label->SetParent(form);
    label->SetWordWrap(true);
    label->SetCaption(msg);
    int left = iconTextWidth - text.right + horzMargin;
    if (form->UseRightToLeftAlignment()) left = form->ClientWidth() - left - text.right;
    label->SetBounds(left, vertMargin, text.right, text.bottom);
    form->Message = label;
    const TMsgDlgBtn cancelButton = (buttons & MsgDlgButton(mbCancel)) ? mbCancel
                                    : (buttons & MsgDlgButton(mbNo))   ? mbNo
                                                                       : mbOK;
    int x = (form->ClientWidth() - groupWidth) / 2;
    for (int b = mbYes; b <= mbHelp; ++b) {
      if (!(buttons & (1u << b))) continue;
      auto* button = new TUcButton(form);
      button->SetName(ButtonNames[b]);
      button->SetParent(form);
      button->SetCaption(GetButtonCaption(static_cast<TMsgDlgBtn>(b)));
      button->SetModalResult(ModalResults[b]);
      if (b == defaultButton) {
        button->SetDefault(true);
        form->SetActiveControl(button);
      }
      if (b == cancelButton) button->SetCancel(true);
      button->SetBounds(x, iconTextHeight + vertMargin + vertSpacing, buttonWidth, buttonHeight);
      x += buttonWidth + buttonSpacing;
      if (b == mbHelp) button->OnClick = MakeEvent<&TUcMessageForm::HelpButtonClick>(form);
    }
  } catch (...) {
    delete form;
    throw;
  }
  return form;
}

TUcMessageForm* WideCreateMessageDialog(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons) {
  const TMsgDlgBtn defaultButton = (buttons & MsgDlgButton(mbOK))    ? mbOK
                                   : (buttons & MsgDlgButton(mbYes)) ? mbYes
                                                                     : mbRetry;
  return WideCreateMessageDialog(msg, dlgType, buttons, defaultButton);
}

namespace {
int ShowMessageForm(TUcMessageForm* form, int helpCtx, int x, int y, const WideString& helpFileName) {
  std::unique_ptr<TUcMessageForm> owned(form);
  form->SetHelpContext(helpCtx);
  form->HelpFile = WideToAnsi(helpFileName);
  if (x >= 0) form->SetLeft(x);
  if (y >= 0) form->SetTop(y);
  if (x < 0 && y < 0) form->SetPosition(poScreenCenter);
  return form->ShowModal();
}
}  // namespace

int WideMessageDlgPosHelp(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx, int x,
                          int y, const WideString& helpFileName) {
  return ShowMessageForm(WideCreateMessageDialog(msg, dlgType, buttons), helpCtx, x, y, helpFileName);
}

int WideMessageDlgPosHelp(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx, int x,
                          int y, const WideString& helpFileName, TMsgDlgBtn defaultButton) {
  return ShowMessageForm(WideCreateMessageDialog(msg, dlgType, buttons, defaultButton), helpCtx, x, y, helpFileName);
}

int WideMessageDlg(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx) {
  return WideMessageDlgPosHelp(msg, dlgType, buttons, helpCtx, -1, -1, WideString());
}

int WideMessageDlg(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx,
                   TMsgDlgBtn defaultButton) {
  return WideMessageDlgPosHelp(msg, dlgType, buttons, helpCtx, -1, -1, WideString(), defaultButton);
}

int WideMessageDlgPos(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx, int x, int y) {
  return WideMessageDlgPosHelp(msg, dlgType, buttons, helpCtx, x, y, WideString());
}

int WideMessageDlgPos(const WideString& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx, int x, int y,
                      TMsgDlgBtn defaultButton) {
  return WideMessageDlgPosHelp(msg, dlgType, buttons, helpCtx, x, y, WideString(), defaultButton);
}

void WideShowMessage(const WideString& msg) { WideShowMessagePos(msg, -1, -1); }

void WideShowMessagePos(const WideString& msg, int x, int y) {
  WideMessageDlgPos(msg, mtCustom, MsgDlgButton(mbOK), 0, x, y);
}

void WideShowMessageFmt(const WideString& msg, std::initializer_list<TVarRec> args) {
  WideShowMessage(Uc_WideFormat(msg, args));
}

bool WideInputQuery(const WideString& caption, const WideString& prompt, WideString& value) {
  std::unique_ptr<TUcForm> owned(NewForm<TUcForm>(Application));
  TUcForm* form = owned.get();
  bool ok = false;
  form->Canvas()->Font()->Assign(form->Font());
  const TPoint du = GetAveCharSize(form->Canvas());
  form->SetBorderStyle(bsDialog);
  form->SetCaption(caption);
  form->SetClientSize(MulDiv(180, du.x, 4), form->ClientHeight());
  form->SetPosition(poScreenCenter);
  auto* label = new TUcLabel(form);
  label->SetName("Prompt");
  label->SetParent(form);
  label->SetCaption(prompt);
  label->SetLeft(MulDiv(8, du.x, 4));
  label->SetTop(MulDiv(8, du.y, 8));
  label->SetWordWrap(true);
  label->SetWidth(MulDiv(164, du.x, 4));
  auto* edit = new TUcEdit(form);
  edit->SetName("Value");
  edit->SetParent(form);
  edit->SetLeft(label->Left());
  edit->SetTop(label->Top() + label->Height() + 5);
  edit->SetWidth(MulDiv(164, du.x, 4));
  edit->SetMaxLength(255);
  edit->SetText(value);
  edit->SelectAll();
  const int buttonTop = edit->Top() + edit->Height() + 15;
  const int buttonWidth = MulDiv(50, du.x, 4), buttonHeight = MulDiv(14, du.y, 8);
  auto* okButton = new TUcButton(form);
  okButton->SetName("OK");
  okButton->SetParent(form);
  okButton->SetCaption(WideString(L"OK"));
  okButton->SetModalResult(mrOk);
  okButton->SetDefault(true);
  okButton->SetBounds(MulDiv(38, du.x, 4), buttonTop, buttonWidth, buttonHeight);
  auto* cancelButton = new TUcButton(form);
  cancelButton->SetName("Cancel");
  cancelButton->SetParent(form);
  cancelButton->SetCaption(WideString(L"Cancel"));
  cancelButton->SetModalResult(mrCancel);
  cancelButton->SetCancel(true);
  cancelButton->SetBounds(MulDiv(92, du.x, 4), buttonTop, buttonWidth, buttonHeight);
  form->SetClientSize(form->ClientWidth(), cancelButton->Top() + cancelButton->Height() + 13);
  form->SetActiveControl(edit);
  if (form->ShowModal() == mrOk) {
    value = edit->Text();
    ok = true;
  }
  return ok;
}

WideString WideInputBox(const WideString& caption, const WideString& prompt, const WideString& defaultValue) {
  WideString value = defaultValue;
  WideInputQuery(caption, prompt, value);
  return value;
}

bool WidePromptForFileName(WideString& fileName, const WideString& filter, const WideString& defaultExt,
                           const WideString& title, const WideString& initialDir, bool saveDialog) {
  std::unique_ptr<TUcOpenDialog> owned(saveDialog ? new TUcSaveDialog(nullptr) : new TUcOpenDialog(nullptr));
  TUcOpenDialog* dialog = owned.get();
  bool ok = false;
  if (saveDialog) dialog->SetOptions(dialog->Options() | OpenOption(ofOverwritePrompt));
  dialog->SetTitle(title);
  dialog->SetDefaultExt(defaultExt);
  dialog->SetFilter(filter.IsEmpty() ? WideString(L"All files (*.*)|*.*") : filter);
  dialog->SetInitialDir(initialDir);
  dialog->SetFileName(fileName);
  ok = dialog->Execute();
  if (ok) fileName = dialog->FileName();
  return ok;
}

// ---------------------------------------------------------------------------

void UnitInit_UcDialogs() {
  HelpMsg = RegisterWindowMessageA(HELPMSGSTRINGA);
  FindMsg = RegisterWindowMessageA(FINDMSGSTRINGA);
  wsprintfA(WndProcPtrAtomName, "WndProcPtr%.8X%.8X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(HInstance)),
            static_cast<unsigned>(GetCurrentThreadId()));
  WndProcPtrAtom = GlobalAddAtomA(WndProcPtrAtomName);
  RegisterClasses({&TUcFindDialog::Class, &TUcReplaceDialog::Class});
}

void UnitFini_UcDialogs() {
  if (WndProcPtrAtom) GlobalDeleteAtom(WndProcPtrAtom);
  WndProcPtrAtom = 0;
}
