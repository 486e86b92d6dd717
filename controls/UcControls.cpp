#include "UcControls.h"

#include "UcCodePages.h"
#include "UcHintWindow.h"
#include "UcWindows.h"

#include <algorithm>
#include <cstdio>
#include <string>

UINT UC_WM_DESTROY = 0;
ATOM UcWindowAtom = 0;
ATOM UcControlAtom = 0;
bool UcControlsFinalized = false;
TWinControl* ControlBeingCreated = nullptr;
TComponentList* WideControlHelperList = nullptr;
TComponentList* PendingTrapList = nullptr;

// {C1801F41-51E9-4DB5-8DB8-58AC86698C2E}
const GUID IID_IWideCustomListControl = {0xC1801F41, 0x51E9, 0x4DB5, {0x8D, 0xB8, 0x58, 0xAC, 0x86, 0x69, 0x8C, 0x2E}};

CL_DEFINE_CLASS(TWideControlHelper, TWideComponentHelper)
CL_DEFINE_CLASS(TWinControlTrap, TComponent)

namespace {

// The protected members of the class library's windowed control that the
// re-creation of a window needs.
struct TWinControlAccess : TWinControl {
  static void CallCreateParams(TWinControl* c, TCreateParams& params) {
    (c->*(&TWinControlAccess::CreateParams))(params);
  }
  static void CallAdjustSize(TWinControl* c) { (c->*(&TWinControlAccess::AdjustSize))(); }
};

TWideControlHelper* NeedHelper(TControl* control) {
  if (TWideControlHelper* h = FindWideControlHelper(control)) return h;
  if (!WideControlHelperList) throw EUcInternalError("UC Internal Error: the Unicode control unit has ended.");
  return new TWideControlHelper(control, WideControlHelperList);
}

// The wide text a windowless control stands for: the helper's, unless the
// class library changed the ANSI text behind it.
WideString StoredTextFor(TControl* control, const AnsiString& ansiText) {
  if (TWideControlHelper* h = FindWideControlHelper(control)) return GetSyncedWideString(h->FCaption, ansiText);
  return AnsiToWide(ansiText);
}

// Keeps the nesting depth of RawWindowProc, also when an exception passes,
// and frees a trap whose control went away meanwhile once the last level ends.
class TProcLevel {
public:
  TProcLevel(int& level, bool& destroy, TWinControlTrap* trap) : FLevel(level), FDestroy(destroy), FTrap(trap) {
    ++FLevel;
  }
  ~TProcLevel() {
    if (--FLevel == 0 && FDestroy) delete FTrap;
  }
  TProcLevel(const TProcLevel&) = delete;
  TProcLevel& operator=(const TProcLevel&) = delete;

private:
  int& FLevel;
  bool& FDestroy;
  TWinControlTrap* FTrap;
};

}  // namespace

// ===========================================================================
// TWideControlHelper

TWideControlHelper::TWideControlHelper(TControl* control, TComponentList* helperList)
    : TWideComponentHelper(control, helperList), FControl(control) {}

void TWideControlHelper::SetAnsiCaption(const AnsiString& value) {
  if (FControl) FControl->SetText(value);
}

void TWideControlHelper::SetAnsiHint(const AnsiString& value) {
  if (FControl) FControl->SetHint(value);
}

void TWideControlHelper::Notification(TComponent* component, TOperation operation) {
  if (component == FControl && operation == opRemove) FControl = nullptr;
  TWideComponentHelper::Notification(component, operation);
}

TWideControlHelper* FindWideControlHelper(TControl* control) {
  if (!WideControlHelperList || !control) return nullptr;
  return static_cast<TWideControlHelper*>(FindWideComponentHelper(WideControlHelperList, control));
}

// ===========================================================================
// TWinControlTrap

TWinControlTrap::TWinControlTrap(TWinControl* control) : TComponent(nullptr), FControl(control) {
  FObjectInstance = control->ObjectInstance();
  FRawWindowProcInstance = MakeObjectInstance(MakeEvent<&TWinControlTrap::RawWindowProc>(this));
  FRawDefWindowProcInstance = MakeObjectInstance(MakeEvent<&TWinControlTrap::RawDefWindowProc>(this));
  control->FreeNotification(this);
}

TWinControlTrap::~TWinControlTrap() {
  if (FControl) {
    FControl->RemoveFreeNotification(this);
    FControl = nullptr;
  }
  FreeObjectInstance(FRawWindowProcInstance);
  FreeObjectInstance(FRawDefWindowProcInstance);
  FRawWindowProcInstance = nullptr;
  FRawDefWindowProcInstance = nullptr;
}

TWinControlTrap* TWinControlTrap::OfControl(TWinControl* control) {
  if (!control) return nullptr;
  TWndMethod m = ObjectInstanceMethod(control->DefWndProcPtr());
  if (m.Code != MakeEvent<&TWinControlTrap::RawDefWindowProc>(nullptr).Code) return nullptr;
  return static_cast<TWinControlTrap*>(m.Data);
}

void TWinControlTrap::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove || component != FControl) return;
  FControl = nullptr;
  if (FWin32ProcLevel > 0)
    FDestroyTrap = true;  // RawWindowProc frees it on the way out
  else
    delete this;
}

TWndMethod TWinControlTrap::OwnWindowProc() const {
  return MakeEvent<&TControl::WndProc>(static_cast<TControl*>(FControl));
}

void TWinControlTrap::RawWindowProc(TMessage& message) {
  if (UcControlsFinalized) {
    // After the unit ended only the control's handle is kept right; the
    // window still gets the system's default handling.
    if (message.Msg == WM_DESTROY || (UC_WM_DESTROY && message.Msg == UC_WM_DESTROY)) {
      if (FControl) FControl->SetWindowHandle(nullptr);
      message.Result = 0;
    } else {
      message.Result = DefWindowProcW(FHandle, message.Msg, message.WParam, message.LParam);
    }
    return;
  }
  TProcLevel level(FWin32ProcLevel, FDestroyTrap, this);
  FLastWin32Msg = message.Msg;
  message.Result = CallWindowProcW(FPrevWin32Proc ? FPrevWin32Proc : FObjectInstance, FHandle, message.Msg,
                                   message.WParam, message.LParam);
  FLastWin32Msg = WM_NULL;
}

void TWinControlTrap::ControlWindowProc(TMessage& message) {
  if (message.Msg == WM_NULL && FTestForNull) {
    FFoundNull = true;
    return;
  }
  if (!FControl) return;
  if (!FControl->HandleAllocated()) {
    FControl->WndProc(message);
    return;
  }
  if (!FAttached) {
    // Left in a chain of other hooks after the window went: the window the
    // control has now is not this trap's.
    TWndMethod prev = FPrevWindowProc ? FPrevWindowProc : OwnWindowProc();
    prev(message);
    return;
  }
  bool fromWindows = FLastWin32Msg != WM_NULL;
  FLastWin32Msg = WM_NULL;
  if (message.Msg == CM_HINTSHOW) ProcessCMHintShowMsg(message);
  if (!fromWindows && IsTextMessage(message.Msg)) {
    // The class library's own text request carries ANSI text: the window
    // answers it through the system's conversion.
    message.Result = SendMessageA(FControl->WindowHandle(), message.Msg, message.WParam, message.LParam);
  } else {
    if (message.Msg == WM_CHAR) MakeWMCharMsgSafeForAnsi(message);
    TWndMethod prev = FPrevWindowProc ? FPrevWindowProc : OwnWindowProc();
    prev(message);
  }
  if (UC_WM_DESTROY && message.Msg == UC_WM_DESTROY && FAttached) UnSubClassUnicodeControl();
}

void TWinControlTrap::RawDefWindowProc(TMessage& message) {
  HWND wnd = FHandle;
  switch (message.Msg) {
    case WM_NOTIFYFORMAT:
      if (message.LParam == NF_QUERY) {
        message.Result = NotifyFormatFor(wnd);
        return;
      }
      break;
    case WM_CHAR:
      RestoreWMCharMsg(message);
      break;
    case WM_IME_CHAR:
      message.Result = SendMessageW(wnd, WM_CHAR, message.WParam, message.LParam);
      return;
    case WM_DESTROY: {
      WNDPROC def = FPrevDefWin32Proc;
      UnSubClassUnicodeControl();
      message.Result = CallWindowProcW(def ? def : &DefWindowProcW, wnd, message.Msg, message.WParam, message.LParam);
      return;
    }
  }
  message.Result = CallWindowProcW(FPrevDefWin32Proc ? FPrevDefWin32Proc : &DefWindowProcW, wnd, message.Msg,
                                   message.WParam, message.LParam);
}

void TWinControlTrap::BeginCreation(HWND wnd) {
  FHandle = wnd;
  if (FControl->DefWndProcPtr() != FRawDefWindowProcInstance) {
    FPrevDefWin32Proc = FControl->DefWndProcPtr();
    FControl->SetDefWndProcPtr(FRawDefWindowProcInstance);
  }
}

void TWinControlTrap::SubClassControl(const char* paramsCaption) {
  FHandle = FControl->WindowHandle();
  FPrevWin32Proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(FHandle, GWLP_WNDPROC));
  if (FControl->DefWndProcPtr() != FRawDefWindowProcInstance) FPrevDefWin32Proc = FControl->DefWndProcPtr();
  SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FRawWindowProcInstance));
  FControl->SetDefWndProcPtr(FRawDefWindowProcInstance);
  FAttached = true;
  HookWindowProc();
  // The caption kept while there was no window goes into the new one.
  UcControl_SetText(FControl, StoredTextFor(FControl, AnsiString(paramsCaption ? paramsCaption : "")));
}

void TWinControlTrap::HookWindowProc() {
  TWndMethod mine = MakeEvent<&TWinControlTrap::ControlWindowProc>(this);
  TWndMethod current = FControl->WindowProc();
  FWndProcInstalled = true;
  if (current == mine) return;
  // Someone hooked in after the trap did: the chain still reaches it.
  if (current != OwnWindowProc() && WindowProcReachesTrap()) return;
  FPrevWindowProc = current;
  FControl->SetWindowProc(mine);
}

bool TWinControlTrap::WindowProcReachesTrap() {
  FTestForNull = true;
  FFoundNull = false;
  try {
    TMessage m{WM_NULL, 0, 0, 0};
    TWndMethod current = FControl->WindowProc();
    current(m);
  } catch (...) {
    FTestForNull = false;
    throw;
  }
  FTestForNull = false;
  return FFoundNull;
}

void TWinControlTrap::UnSubClassUnicodeControl() {
  TWinControl* control = FControl;
  if (control) {
    bool destroying = (control->ComponentState() & csDestroying) != 0;
    if (FAttached && !destroying) UcControl_SetStoredText(control, UcControl_GetText(control));
    if (control->WindowProc() == MakeEvent<&TWinControlTrap::ControlWindowProc>(this))
      control->SetWindowProc(FPrevWindowProc ? FPrevWindowProc : OwnWindowProc());
    if (control->DefWndProcPtr() == FRawDefWindowProcInstance) control->SetDefWndProcPtr(FPrevDefWin32Proc);
  }
  if (FAttached && FHandle && reinterpret_cast<WNDPROC>(GetWindowLongPtrW(FHandle, GWLP_WNDPROC)) ==
                                  FRawWindowProcInstance)
    SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FPrevWin32Proc));
  FAttached = false;
  FHandle = nullptr;
  FPrevWin32Proc = nullptr;
  FPrevDefWin32Proc = nullptr;
  FLastWin32Msg = WM_NULL;
  if (control && !(control->ComponentState() & csDestroying) && PendingTrapList &&
      PendingTrapList->IndexOf(this) < 0)
    PendingTrapList->Add(this);
}

// ===========================================================================
// Window classes and windows

void RegisterUnicodeClass(const TCreateParams& params, WideString& wideWinClassName) {
  wideWinClassName = AnsiToWide(AnsiString(params.WinClassName) + ".UnicodeClass");
  WNDCLASSW existing{};
  if (GetClassInfoW(HInstance, wideWinClassName.c_str(), &existing)) {
    if (existing.lpfnWndProc == &UnicodeInitWndProc) return;
    if (!UnregisterClassW(wideWinClassName.c_str(), HInstance)) RaiseLastOSError();
  }
  WNDCLASSW wc{};
  wc.style = params.WindowClass.style;
  wc.cbClsExtra = params.WindowClass.cbClsExtra;
  wc.cbWndExtra = params.WindowClass.cbWndExtra;
  wc.hIcon = params.WindowClass.hIcon;
  wc.hCursor = params.WindowClass.hCursor;
  wc.hbrBackground = params.WindowClass.hbrBackground;
  wc.hInstance = HInstance;
  wc.lpfnWndProc = &UnicodeInitWndProc;
  WideString menuName;
  const char* menu = params.WindowClass.lpszMenuName;
  if (menu && !IS_INTRESOURCE(menu)) {
    menuName = AnsiToWide(AnsiString(menu));
    wc.lpszMenuName = menuName.c_str();
  } else {
    wc.lpszMenuName = reinterpret_cast<LPCWSTR>(menu);
  }
  wc.lpszClassName = wideWinClassName.c_str();
  if (!RegisterClassW(&wc)) RaiseLastOSError();
}

void CreateUnicodeHandle(TWinControl* control, const TCreateParams& params, const WideString& subClass) {
  if (!Win32PlatformIsUnicode) {
    HWND wnd = CreateWindowExA(params.ExStyle, params.WinClassName, params.Caption, params.Style, params.X, params.Y,
                               params.Width, params.Height, params.WndParent, nullptr, params.WindowClass.hInstance,
                               params.Param);
    if (wnd) control->SetWindowHandle(wnd);
    return;
  }
  WNDCLASSW sys{};
  if (!subClass.IsEmpty() && GetClassInfoW(params.WindowClass.hInstance, subClass.c_str(), &sys))
    control->SetDefWndProcPtr(sys.lpfnWndProc);
  else
    control->SetDefWndProcPtr(&DefWindowProcW);
  WideString className;
  RegisterUnicodeClass(params, className);
  ControlBeingCreated = control;
  HWND wnd = CreateWindowExW(params.ExStyle, className.c_str(), nullptr, params.Style, params.X, params.Y,
                             params.Width, params.Height, params.WndParent, nullptr, HInstance, params.Param);
  DWORD error = GetLastError();
  ControlBeingCreated = nullptr;
  if (!wnd) RaiseLastOSError(error ? error : ERROR_CANNOT_FIND_WND_CLASS);
  control->SetWindowHandle(wnd);
  SubClassUnicodeControl(control, params.Caption);
}

void ReCreateUnicodeWnd(TWinControl* control, const WideString& subClass) {
  bool wasFocused = control->Focused();
  control->DestroyHandle();
  TCreateParams params;
  TWinControlAccess::CallCreateParams(control, params);
  CreationControl = control;
  try {
    CreateUnicodeHandle(control, params, subClass);
  } catch (...) {
    CreationControl = nullptr;
    throw;
  }
  CreationControl = nullptr;
  control->ClearCachedText();
  control->Perform(WM_SETFONT, reinterpret_cast<WPARAM>(control->Font()->Handle()), 1);
  if (control->AutoSize()) TWinControlAccess::CallAdjustSize(control);
  control->UpdateControlState();
  if (wasFocused && control->HandleAllocated()) control->SetFocus();
}

LRESULT CALLBACK UnicodeInitWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return GuardedCall(
      nullptr,
      [&]() -> LRESULT {
        TWinControl* control = CreationControl;
        if (!control) return DefWindowProcW(wnd, msg, wParam, lParam);
        control->SetWindowHandle(wnd);
        TWinControlTrap* trap = FindOrCreateTrap(control);
        if (PendingTrapList) PendingTrapList->Add(trap);
        trap->BeginCreation(wnd);
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control->ObjectInstance()));
        if ((GetWindowLongW(wnd, GWL_STYLE) & WS_CHILD) && GetWindowLongW(wnd, GWL_ID) == 0)
          SetWindowLongW(wnd, GWL_ID, static_cast<LONG>(reinterpret_cast<uintptr_t>(wnd)));
        SetPropA(wnd, MAKEINTATOM(UcControlAtom), control);
        SetPropA(wnd, MAKEINTATOM(UcWindowAtom), control);
        CreationControl = nullptr;
        return CallWindowProcW(control->ObjectInstance(), wnd, msg, wParam, lParam);
      },
      LRESULT(0));
}

TWinControlTrap* FindOrCreateTrap(TWinControl* control) {
  if (PendingTrapList) {
    for (int i = PendingTrapList->Count() - 1; i >= 0; --i) {
      auto* trap = static_cast<TWinControlTrap*>(PendingTrapList->Items(i));
      if (trap->Control() == control) {
        PendingTrapList->Delete(i);
        return trap;
      }
    }
  }
  return new TWinControlTrap(control);
}

void SubClassUnicodeControl(TWinControl* control, const char* paramsCaption) {
  if (!IsWindowUnicode(control->WindowHandle()))
    throw EUcInternalError("Internal Error: SubClassUnicodeControl.Control is not Unicode.");
  FindOrCreateTrap(control)->SubClassControl(paramsCaption);
}

LRESULT NotifyFormatFor(HWND wnd) {
  if (!Win32PlatformIsUnicode) return NFR_ANSI;
  if (IsWindowUnicode(wnd)) return NFR_UNICODE;
  if (ControlBeingCreated && ControlBeingCreated->WindowHandle() == wnd) return NFR_UNICODE;
  return NFR_ANSI;
}

// ===========================================================================
// Wide texts

WideString UcControl_GetText(TControl* control) {
  if (!Win32PlatformIsUnicode) return AnsiToWide(control->Text());
  if (!control->Is<TWinControl>()) {
    if (TWideControlHelper* h = FindWideControlHelper(control)) return GetSyncedWideString(h->FCaption, control->Text());
    return AnsiToWide(control->Text());
  }
  auto* w = static_cast<TWinControl*>(control);
  if (!w->HandleAllocated()) return StoredTextFor(control, control->Text());
  HWND wnd = w->WindowHandle();
  if (!IsWindowUnicode(wnd)) return AnsiToWide(control->Text());
  int len = GetWindowTextLengthW(wnd);
  if (len <= 0) return WideString();
  std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
  int n = GetWindowTextW(wnd, buf.data(), len + 1);
  buf.resize(static_cast<size_t>(std::clamp(n, 0, len)));
  return WideString(std::move(buf));
}

void UcControl_SetText(TControl* control, const WideString& text) {
  if (!Win32PlatformIsUnicode) {
    control->SetText(WideToAnsi(text));
    return;
  }
  if (!control->Is<TWinControl>()) {
    TWideControlHelper* h = NeedHelper(control);
    SetSyncedWideString(text, h->FCaption, control->Text(), [h](const AnsiString& a) { h->SetAnsiCaption(a); });
    return;
  }
  auto* w = static_cast<TWinControl*>(control);
  if (!w->HandleAllocated()) {
    UcControl_SetStoredText(control, text);
    return;
  }
  if (!IsWindowUnicode(w->WindowHandle())) {
    control->SetText(WideToAnsi(text));
    return;
  }
  if (UcControl_GetText(control) == text) return;
  Uc_SetWindowTextW(w->WindowHandle(), text.c_str());
  control->Perform(CM_TEXTCHANGED, 0, 0);
}

WideString UcControl_GetHint(TControl* control) {
  if (!Win32PlatformIsUnicode) return AnsiToWide(control->Hint());
  if (TWideControlHelper* h = FindWideControlHelper(control)) return GetSyncedWideString(h->FHint, control->Hint());
  return AnsiToWide(control->Hint());
}

void UcControl_SetHint(TControl* control, const WideString& text) {
  if (!Win32PlatformIsUnicode) {
    control->SetHint(WideToAnsi(text));
    return;
  }
  TWideControlHelper* h = NeedHelper(control);
  SetSyncedWideString(text, h->FHint, control->Hint(), [h](const AnsiString& a) { h->SetAnsiHint(a); });
}

bool UcControl_IsCaptionStored(TControl* control) {
  TBasicActionLink* link = control->ActionLink();
  if (!link || !link->Is<TActionLink>()) return true;
  return !static_cast<TActionLink*>(link)->IsCaptionLinked();
}

bool UcControl_IsHintStored(TControl* control) {
  TBasicActionLink* link = control->ActionLink();
  if (!link || !link->Is<TActionLink>()) return true;
  return !static_cast<TActionLink*>(link)->IsHintLinked();
}

WideString UcControl_GetStoredText(TControl* control, const WideString& def) {
  if (TWideControlHelper* h = FindWideControlHelper(control)) return h->FCaption;
  return def;
}

void UcControl_SetStoredText(TControl* control, const WideString& value) {
  TWideControlHelper* h = NeedHelper(control);
  h->FCaption = value;
  control->SetText(WideToAnsi(value));
}

WideString WideGetHint(TControl* control) {
  for (; control; control = control->Parent()) {
    WideString hint = UcControl_GetHint(control);
    if (!hint.IsEmpty()) return hint;
  }
  return WideString();
}

WideString WideGetShortHint(const WideString& hint) {
  int p = hint.Pos(L"|");
  return p ? hint.SubString(1, p - 1) : hint;
}

WideString WideGetLongHint(const WideString& hint) {
  int p = hint.Pos(L"|");
  return p ? hint.SubString(p + 1, hint.Length() - p) : hint;
}

bool IsTextMessage(UINT msg) { return msg == WM_SETTEXT || msg == WM_GETTEXT || msg == WM_GETTEXTLENGTH; }

// ===========================================================================
// WM_CHAR above 255

void MakeWMCharMsgSafeForAnsi(TMessage& message) {
  // Reached inside window procedures: a message that does not fit is left
  // alone rather than raising there.
  if (message.Msg != WM_CHAR || HIWORD(message.WParam) != 0) return;
  WORD ch = LOWORD(message.WParam);
  if (ch > 255) message.WParam = MAKEWPARAM(0xFF, ch);
}

void RestoreWMCharMsg(TMessage& message) {
  if (message.Msg != WM_CHAR) return;
  WORD ch = LOWORD(message.WParam);
  WORD hidden = HIWORD(message.WParam);
  if (hidden != 0 && ch == 0xFF) ch = hidden;
  message.WParam = ch;
}

wchar_t GetWideCharFromWMCharMsg(const TMessage& message) {
  WORD ch = LOWORD(message.WParam);
  WORD hidden = HIWORD(message.WParam);
  return static_cast<wchar_t>(ch == 0xFF && hidden != 0 ? hidden : ch);
}

wchar_t TypedCharOfWMCharMsg(const TMessage& message) {
  if (Win32PlatformIsUnicode) return GetWideCharFromWMCharMsg(message);
  WideString typed = AnsiToWide(AnsiString(static_cast<char>(LOWORD(message.WParam))));
  return typed.IsEmpty() ? L'\0' : typed[1];
}

void SetWideCharForWMCharMsg(TMessage& message, wchar_t ch) {
  message.WParam = static_cast<WORD>(ch);
  MakeWMCharMsgSafeForAnsi(message);
}

// ===========================================================================
// Hints

void ProcessCMHintShowMsg(TMessage& message) {
  if (!Win32PlatformIsUnicode) return;
  auto* info = reinterpret_cast<THintInfo*>(message.LParam);
  if (!info) return;
  const TMetaClass* cls = info->HintWindowClass ? info->HintWindowClass : HintWindowClass;
  bool plain = !cls || cls == &THintWindow::Class;
  if (!plain && !cls->InheritsFrom(&TUcCustomHintWindow::Class)) return;
  if (plain) info->HintWindowClass = &TUcCustomHintWindow::Class;
  // A hint information whose data points at itself comes from a Unicode control.
  info->HintData = info;
  info->HintStr = WideToAnsi(WideGetShortHint(WideGetHint(info->HintControl)));
}

// ===========================================================================
// Unit

void UnitInit_UcControls() {
  UcControlsFinalized = false;
  UC_WM_DESTROY = RegisterWindowMessageA("UcUnicodeVcl.DestroyWindow");
  WideControlHelperList = new TComponentList(true);
  PendingTrapList = new TComponentList(false);
  char text[64];
  std::snprintf(text, sizeof text, "ClassLib%.8lX", static_cast<unsigned long>(GetCurrentProcessId()));
  UcWindowAtom = GlobalAddAtomA(text);
  if (!UcWindowAtom) RaiseLastOSError();
  std::snprintf(text, sizeof text, "ControlOfs%.8lX%.8lX",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(HInstance)),
                static_cast<unsigned long>(GetCurrentThreadId()));
  UcControlAtom = GlobalAddAtomA(text);
  if (!UcControlAtom) RaiseLastOSError();
}

void UnitFini_UcControls() {
  if (UcWindowAtom) GlobalDeleteAtom(UcWindowAtom);
  if (UcControlAtom) GlobalDeleteAtom(UcControlAtom);
  UcWindowAtom = 0;
  UcControlAtom = 0;
  delete PendingTrapList;
  PendingTrapList = nullptr;
  delete WideControlHelperList;
  WideControlHelperList = nullptr;
  UcControlsFinalized = true;
}
