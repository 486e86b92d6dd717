#include "UcForms.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcHintWindow.h"
#include "UcMenus.h"
#include "UcStdActns.h"
#include "UcWindows.h"

#include "filer.h"

#include <string>

TUcApplication* UcApplication = nullptr;
DWORD _SettingChangeTime = 0;

CL_DEFINE_CLASS(TUcApplication, TComponent)
CL_DEFINE_CLASS(TUcAppIdleEventControl, TControl)
CL_DEFINE_COMPONENT(TUcForm, TForm)
CL_DEFINE_COMPONENT(TUcCustomFrame, TCustomFrame)
CL_DEFINE_COMPONENT(TUcFrame, TUcCustomFrame)
CL_DEFINE_COMPONENT(TUcScrollBox, TScrollBox)

CL_BEGIN_MESSAGE_MAP(TUcForm, TForm)
  CL_MESSAGE(WM_MENUSELECT, WMMenuSelect)
  CL_MESSAGE(WM_WINDOWPOSCHANGING, WMWindowPosChanging)
  CL_MESSAGE(CM_BIDIMODECHANGED, CMBiDiModeChanged)
CL_END_MESSAGE_MAP

CL_BEGIN_MESSAGE_MAP(TUcScrollBox, TScrollBox)
  CL_MESSAGE(WM_SIZE, WMSize)
CL_END_MESSAGE_MAP

TUcSystemUpdate UcSystemUpdates[UcSystemUpdateCount] = {};

namespace {

HHOOK MessageHook = nullptr;
int ManualPeekMessageWithRemove = 0;
unsigned InstalledSystemUpdates = 0;

// WH_GETMESSAGE of the GUI thread: a character the ANSI loop would lose is
// dispatched here, and the loop then sees WM_NULL in its place.
LRESULT CALLBACK GetMessageHookProc(int code, WPARAM wParam, LPARAM lParam) {
  GuardedCall(UcApplication, [&] {
    if (code >= 0 && wParam == PM_REMOVE && ManualPeekMessageWithRemove == 0 && UcApplication) {
      MSG* msg = reinterpret_cast<MSG*>(lParam);
      if (UcApplication->ProcessMessage(*msg)) msg->message = WM_NULL;
    }
  });
  return CallNextHookEx(MessageHook, code, wParam, lParam);
}

bool SameTextUser(const WideString& a, const WideString& b) {
  return Uc_CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), a.Length(), b.c_str(), b.Length()) ==
         CSTR_EQUAL;
}

const char SFontSubstitutes[] = "FontSubstitutes";

int CALLBACK FontFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM data) {
  *reinterpret_cast<bool*>(data) = true;
  return 0;
}

bool ScreenHasFont(const char* name) {
  LOGFONTA lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, name, LF_FACESIZE);
  bool found = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExA(dc, &lf, &FontFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

// The value of a face name in win.ini's substitutes (at most 31 characters).
AnsiString FontSubstitute(const char* name) {
  char buf[LF_FACESIZE] = {};
  GetProfileStringA(SFontSubstitutes, name, "", buf, sizeof buf);
  return AnsiString(buf);
}

void WriteFontSubstitute(const char* name, const char* value) {
  if (!WriteProfileStringA(SFontSubstitutes, name, value)) RaiseLastOSError();
  // Windows 9x keeps win.ini in a cache: flush it.
  if (Win32Platform == VER_PLATFORM_WIN32_WINDOWS) WriteProfileStringA(nullptr, nullptr, nullptr);
  DWORD_PTR result = 0;
  SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(SFontSubstitutes), SMTO_NORMAL,
                      250, &result);
}

}  // namespace

// ===========================================================================
// TUcApplication

TUcApplication::TUcApplication(TComponent* owner) : TComponent(owner) {
  if (Application) Application->HookMainWindow(MakeEvent<&TUcApplication::WndProc>(this));
  FSettingChangeTime = GetTickCount();
  _SettingChangeTime = FSettingChangeTime;
}

TUcApplication::~TUcApplication() {
  if (FIdleControl) {
    TUcAppIdleEventControl* idle = FIdleControl;
    FIdleControl = nullptr;
    delete idle;
  }
  if (Application) Application->UnhookMainWindow(MakeEvent<&TUcApplication::WndProc>(this));
}

WideString TUcApplication::GetTitle() {
  HWND wnd = Application ? Application->Handle() : nullptr;
  if (wnd && Win32PlatformIsUnicode) {
    int len = static_cast<int>(DefWindowProcW(wnd, WM_GETTEXTLENGTH, 0, 0));
    if (len <= 0) return WideString();
    std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
    DefWindowProcW(wnd, WM_GETTEXT, static_cast<WPARAM>(len + 1), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(static_cast<size_t>(len));
    return WideString(std::move(buf));
  }
  if (!Application) return FTitle;
  return GetSyncedWideString(FTitle, Application->Title());
}

void TUcApplication::SetTitle(const WideString& value) {
  HWND wnd = Application ? Application->Handle() : nullptr;
  if (!wnd || !Win32PlatformIsUnicode) {
    if (!Application) {
      FTitle = value;
      return;
    }
    SetSyncedWideString(value, FTitle, Application->Title(),
                        [this](const AnsiString& a) { SetAnsiApplicationTitle(a); });
    return;
  }
  if (GetTitle() == value && FTitle.IsEmpty()) return;
  DefWindowProcW(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
  FTitle = WideString();
}

WideString TUcApplication::GetExeName() { return WideParamStr(0); }

void TUcApplication::SetAnsiAppHint(const AnsiString& value) {
  if (Application) Application->SetHint(value);
}

void TUcApplication::SetAnsiApplicationTitle(const AnsiString& value) {
  if (Application) Application->SetTitle(value);
}

WideString TUcApplication::ApplicationMouseControlHint() {
  return WideGetLongHint(WideGetHint(Application ? Application->MouseControl() : nullptr));
}

WideString TUcApplication::GetHint() {
  if (!Application) return FHint;
  WideString mouseHint = ApplicationMouseControlHint();
  if (Application->Hint() == WideToAnsi(mouseHint)) FHint = mouseHint;
  return GetSyncedWideString(FHint, Application->Hint());
}

void TUcApplication::SetHint(const WideString& value) {
  if (!Application) {
    FHint = value;
    return;
  }
  SetSyncedWideString(value, FHint, Application->Hint(), [this](const AnsiString& a) { SetAnsiAppHint(a); });
}

void TUcApplication::DoIdle() {
  if (!Application) return;
  WideString mouseHint = ApplicationMouseControlHint();
  if (Application->Hint() == WideToAnsi(mouseHint)) SetHint(mouseHint);
}

bool TUcApplication::IsDlgMsg(MSG& msg) {
  HWND dialog = Application ? Application->DialogHandle() : nullptr;
  if (!dialog) return false;
  return IsWindowUnicode(dialog) ? IsDialogMessageW(dialog, &msg) != FALSE : IsDialogMessageA(dialog, &msg) != FALSE;
}

bool TUcApplication::ProcessMessage(MSG& msg) {
  if (!Application) return false;
  if (!FIdleControlLookedFor && Application->MainForm()) {
    FIdleControlLookedFor = true;
    if (!Application->MainForm()->Is<TUcForm>()) new TUcAppIdleEventControl(Application->MainForm());
  }
  if (msg.message != WM_CHAR || LOWORD(msg.wParam) <= 255 || !IsWindowUnicode(msg.hwnd)) return false;
  HWND dialog = Application->DialogHandle();
  if (dialog && !IsWindowUnicode(dialog)) return false;
  bool handled = false;
  if (Application->OnMessage) Application->OnMessage(msg, handled);
  Application->CancelHint();
  if (!handled && !IsDlgMsg(msg)) DispatchMessageW(&msg);
  return true;
}

bool TUcApplication::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_SETTINGCHANGE:
      FSettingChangeTime = GetTickCount();
      _SettingChangeTime = FSettingChangeTime;
      break;
    case WM_CREATE:
      if (!FTitle.IsEmpty()) {
        WideString title = FTitle;
        SetTitle(title);
        FTitle = WideString();
      }
      break;
    case CM_ACTIONEXECUTE: {
      auto* action = reinterpret_cast<TBasicAction*>(message.LParam);
      if (!action || action->ClassType() != &THintAction::Class) break;
      WideString hint = GetHint();
      if (static_cast<THintAction*>(action)->Hint() != WideToAnsi(hint)) break;
      // The hint travels on as a wide action, so that wide listeners get
      // the text the code page could not hold.
      message.Result = 1;
      auto* wide = new TUcHintAction(nullptr);
      try {
        wide->SetHint(hint);
        wide->Execute();
      } catch (...) {
        delete wide;
        throw;
      }
      delete wide;
      return true;
    }
  }
  return false;
}

// ===========================================================================
// TUcAppIdleEventControl

TUcAppIdleEventControl::TUcAppIdleEventControl(TComponent* owner) : TControl(owner) {
  SetParentFont(false);
  if (Application && Application->MainForm()) SetParent(Application->MainForm());
  SetVisible(true);
  auto* action = new TUcAction(this);
  action->OnExecute = MakeEvent<&TUcAppIdleEventControl::ApplicationIdle>(this);
  action->OnUpdate = action->OnExecute;
  SetAction(action);
  if (UcApplication) UcApplication->FIdleControl = this;
}

TUcAppIdleEventControl::~TUcAppIdleEventControl() {
  if (UcApplication && UcApplication->FIdleControl == this) UcApplication->FIdleControl = nullptr;
}

void TUcAppIdleEventControl::ApplicationIdle(TObject* sender) {
  (void)sender;
  if (UcApplication) UcApplication->DoIdle();
}

// ===========================================================================
// Free routines

void EnableManualPeekMessageWithRemove() { ++ManualPeekMessageWithRemove; }

void DisableManualPeekMessageWithRemove() {
  if (ManualPeekMessageWithRemove > 0) --ManualPeekMessageWithRemove;
}

HHOOK UcMessageHookHandle() { return MessageHook; }

bool IsWideCharAccel(WORD charCode, const WideString& caption) {
  WideString hotkey = WideGetHotkey(caption);
  if (hotkey.IsEmpty()) return false;
  return SameTextUser(WideString(KeyUnicode(charCode)), hotkey);
}

void InstallUcSystemUpdates(unsigned updates) {
  for (int i = 0; i < UcSystemUpdateCount; ++i) {
    unsigned bit = 1u << i;
    if (!(updates & bit) || (InstalledSystemUpdates & bit) || !UcSystemUpdates[i]) continue;
    UcSystemUpdates[i]();
    InstalledSystemUpdates |= bit;
  }
}

bool IsDevelopmentEnvironmentHost(const AnsiString& moduleFileName) {
  AnsiString name = ExtractFileName(moduleFileName);
  return SameText(name, "studio.exe") || SameText(name, "designer32.exe") || SameText(name, "builder32.exe");
}

void InitUcEnvironment() {
  InstallUcSystemUpdates((1u << UcSystemUpdateCount) - 1);

  AnsiString shellDlg = FontSubstitute("MS Shell Dlg");
  if (shellDlg.IsEmpty()) {
    shellDlg = "MS Sans Serif";
    WriteFontSubstitute("MS Shell Dlg", shellDlg.c_str());
  }
  if (FontSubstitute("MS Shell Dlg 2").IsEmpty())
    WriteFontSubstitute("MS Shell Dlg 2", ScreenHasFont("Tahoma") ? "Tahoma" : shellDlg.c_str());

  // A component library inside the development environment keeps the
  // environment's own face name; a program takes what it stands for.
  char host[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, host, MAX_PATH);
  bool isLibrary = HInstance != GetModuleHandleA(nullptr);
  SetDefaultFontName(isLibrary && IsDevelopmentEnvironmentHost(host) ? AnsiString("MS Shell Dlg 2")
                                                                      : FontSubstitute("MS Shell Dlg 2"));

  HintWindowClass = &TUcHintWindow::Class;
}

// ===========================================================================
// TUcForm

void TUcForm::DefineProperties(TFiler* filer) {
  TForm::DefineProperties(filer);
  UcPersistent_AfterInherited_DefineProperties(filer, this);
}

void TUcForm::UpdateActions() {
  TForm::UpdateActions();
  if (UcApplication) UcApplication->DoIdle();
}

void TUcForm::CreateWindowHandle(const TCreateParams& params) {
  if (!Win32PlatformIsUnicode) {
    TForm::CreateWindowHandle(params);
    return;
  }
  if (FormStyle() == fsMDIChild && !(ComponentState() & csDesigning)) {
    HWND client = MDIClientOfMainForm();
    WideString className;
    RegisterUnicodeClass(params, className);
    SetDefWndProcPtr(&DefMDIChildProcW);
    HWND wnd = CreateMDIWindowW(className.c_str(), nullptr, params.Style, params.X, params.Y, params.Width,
                                params.Height, client, HInstance, reinterpret_cast<LPARAM>(params.Param));
    if (!wnd) RaiseLastOSError();
    SetWindowHandle(wnd);
    SubClassUnicodeControl(this, params.Caption);
    FFormState |= fsCreatedMDIChild;
  } else {
    // A layered window is made plain; layering is applied to the new window.
    TCreateParams plain = params;
    plain.ExStyle &= ~static_cast<DWORD>(WS_EX_LAYERED);
    CreateUnicodeHandle(this, plain, WideString());
    FFormState &= static_cast<TFormState>(~fsCreatedMDIChild);
  }
  if (AlphaBlend()) {
    SetAlphaBlend(false);
    SetAlphaBlend(true);
  } else if (TransparentColor()) {
    SetTransparentColor(false);
    SetTransparentColor(true);
  }
}

void TUcForm::DefaultHandler(TMessage& message) {
  HWND client = ClientHandle();
  UINT msg = message.Msg;
  // Reflected notifications and the colours of library children keep the
  // class library's handling.
  bool libraryOwn = (msg >= CN_BASE && msg < CN_BASE + 0x400) || (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC);
  if (!client || !FHandle || !Win32PlatformIsUnicode || libraryOwn) {
    TForm::DefaultHandler(message);
    return;
  }
  if (msg == WM_SIZE)
    message.Result = DefWindowProcW(FHandle, msg, message.WParam, message.LParam);
  else
    message.Result = DefFrameProcW(FHandle, client, msg, message.WParam, message.LParam);
  // The default procedure that would detach the window's trap on WM_DESTROY
  // was passed by; the trap detaches on this message instead.
  if (msg == WM_DESTROY && UC_WM_DESTROY) Perform(UC_WM_DESTROY, 0, 0);
}

TDockManager* TUcForm::CreateDockManager() {
  if (!DockManager() && DockSite() && UseDockManager()) HandleNeeded();
  return TForm::CreateDockManager();
}

void TUcForm::DestroyWindowHandle() {
  if (Win32PlatformIsUnicode && FHandle) {
    using TUninitializeFlatSB = BOOL(WINAPI*)(HWND);
    if (HMODULE comctl = GetModuleHandleA("comctl32.dll"))
      if (auto proc = reinterpret_cast<TUninitializeFlatSB>(
              reinterpret_cast<void*>(GetProcAddress(comctl, "UninitializeFlatSB"))))
        proc(FHandle);
  }
  TForm::DestroyWindowHandle();
}

void TUcForm::ActionChange(TObject* sender, bool checkDefaults) {
  UcControl_BeforeInherited_ActionChange(this, sender, checkDefaults);
  TForm::ActionChange(sender, checkDefaults);
}

const TMetaClass* TUcForm::GetActionLinkClass() {
  return UcControl_GetActionLinkClass(this, TForm::GetActionLinkClass());
}

void TUcForm::WMMenuSelect(TMessage& m) {
  TMainMenu* menu = Menu();
  if (!menu) {
    InheritedMsg(&TCustomForm::MessageMap, m);
    return;
  }
  UINT flags = HIWORD(m.WParam);
  UINT id = LOWORD(m.WParam);
  HMENU handle = reinterpret_cast<HMENU>(m.LParam);
  TMenuItem* item = nullptr;
  if (!(flags == 0xFFFF && !handle)) {
    if (flags & MF_POPUP)
      item = menu->FindItem(
          static_cast<UINT>(reinterpret_cast<uintptr_t>(GetSubMenu(handle, static_cast<int>(id)))), fkHandle);
    else
      item = menu->FindItem(id, fkCommand);
  }
  if (UcApplication) UcApplication->SetHint(item ? WideGetLongHint(WideGetMenuItemHint(item)) : WideString());
}

void TUcForm::WMWindowPosChanging(TMessage& m) {
  InheritedMsg(&TCustomForm::MessageMap, m);
  FixMenuBiDiProblem(Menu());
}

void TUcForm::CMBiDiModeChanged(TMessage& m) {
  InheritedMsg(&TCustomForm::MessageMap, m);
  for (int i = 0; i < ComponentCount(); ++i)
    if (Components(i)->Is<TMenu>()) FixMenuBiDiProblem(static_cast<TMenu*>(Components(i)));
}

// ===========================================================================
// TUcCustomFrame, TUcScrollBox

UC_STANDARD_OVERRIDES_BODY(TUcCustomFrame, TCustomFrame)

void TUcCustomFrame::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle(this, params, WideString());
}

UC_STANDARD_OVERRIDES_BODY(TUcScrollBox, TScrollBox)

void TUcScrollBox::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle(this, params, WideString());
}

void TUcScrollBox::WMSize(TMessage& m) {
  ++FWMSizeNestCount;
  try {
    if (FWMSizeNestCount < 32) InheritedMsg(&TScrollBox::MessageMap, m);
  } catch (...) {
    --FWMSizeNestCount;
    throw;
  }
  --FWMSizeNestCount;
}

// ===========================================================================
// Unit

void UnitInit_UcForms() {
  UcApplication = new TUcApplication(nullptr);
  if (Win32Platform == VER_PLATFORM_WIN32_NT) {
    MessageHook = SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHookProc, nullptr, GetCurrentThreadId());
    if (!MessageHook) RaiseLastOSError();
  }
  RegisterClasses({&TUcForm::Class, &TUcFrame::Class, &TUcScrollBox::Class});
  RegisterProperty(&TUcForm::Class, "Caption", pkWideString, &TUcForm::SetCaption, &TUcForm::Caption, TPropDefault(),
                   &TUcForm::IsCaptionStored);
  RegisterProperty(&TUcForm::Class, "Hint", pkWideString, &TUcForm::SetHint, &TUcForm::Hint, TPropDefault(),
                   &TUcForm::IsHintStored);
  RegisterProperty(&TUcCustomFrame::Class, "Hint", pkWideString, &TUcCustomFrame::SetHint, &TUcCustomFrame::Hint,
                   TPropDefault(), &TUcCustomFrame::IsHintStored);
  RegisterProperty(&TUcScrollBox::Class, "Hint", pkWideString, &TUcScrollBox::SetHint, &TUcScrollBox::Hint,
                   TPropDefault(), &TUcScrollBox::IsHintStored);
}

void UnitFini_UcForms() {
  if (MessageHook) UnhookWindowsHookEx(MessageHook);
  MessageHook = nullptr;
  ManualPeekMessageWithRemove = 0;
  delete UcApplication;
  UcApplication = nullptr;
  InstalledSystemUpdates = 0;
}
