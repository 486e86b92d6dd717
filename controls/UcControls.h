// The Unicode control core: Unicode twins of the class library's window
// classes, window creation with the wide calls, the trap that sits between a
// control's Unicode window and the control's ANSI message handling, the wide
// caption and hint of every control (kept in a helper object while the
// control has no window), the hiding of WM_CHAR characters above 255 from
// ANSI handlers, and the routing of hints to the Unicode hint window.
//
// Every routine takes the wide road only while Win32PlatformIsUnicode is set;
// otherwise it does what the class library does with ANSI texts.
#pragma once

#include "controls.h"

#include "UcComponentProps.h"
#include "UcSysUtils.h"

// ---------------------------------------------------------------------------
// Process-wide state (made at unit start).

// Sent by a Unicode form to itself after WM_DESTROY: the trap lets go then.
extern UINT UC_WM_DESTROY;
// The window properties under which the class library finds a window's
// control; the same names the class library uses, so FindControl sees Unicode
// windows too.
extern ATOM UcWindowAtom;
extern ATOM UcControlAtom;
// Set once the unit has ended; traps then only keep handles consistent.
extern bool UcControlsFinalized;
// The control whose Unicode window is inside CreateWindowExW.
extern TWinControl* ControlBeingCreated;
// Helpers of controls that needed wide storage (owning, sorted by address).
extern TComponentList* WideControlHelperList;
// Traps of windows that went while their control lives on, and the trap made
// for a window during its creation (not owning).
extern TComponentList* PendingTrapList;

// ---------------------------------------------------------------------------
// Wide caption and hint of a control without a (Unicode) window.

class TWideControlHelper : public TWideComponentHelper {
  CL_CLASS(TWideControlHelper, TWideComponentHelper)
public:
  TWideControlHelper(TControl* control, TComponentList* helperList);
  TControl* Control() const { return FControl; }
  // The setters SetSyncedWideString calls for the ANSI side.
  void SetAnsiCaption(const AnsiString& value);
  void SetAnsiHint(const AnsiString& value);
  void Notification(TComponent* component, TOperation operation) override;

  WideString FCaption;
  WideString FHint;

private:
  TControl* FControl;
};

// The helper of a control; null when it has none (or the unit has ended).
TWideControlHelper* FindWideControlHelper(TControl* control);

// ---------------------------------------------------------------------------
// The trap between a Unicode window and its control.
//
// Windows calls RawWindowProc, which passes the message to the control's own
// window procedure. The control's WindowProc is ControlWindowProc: the class
// library's own text requests (ANSI buffers) are sent back to the window with
// SendMessageA, so the system converts them; everything else goes on to the
// control's handlers, WM_CHAR with a character above 255 hidden from them.
// The control's default procedure is RawDefWindowProc, which gives the
// hidden character back before the system's procedure sees it.

class TWinControlTrap : public TComponent {
  CL_CLASS(TWinControlTrap, TComponent)
public:
  explicit TWinControlTrap(TWinControl* control);
  ~TWinControlTrap() override;

  TWinControl* Control() const { return FControl; }
  HWND Handle() const { return FHandle; }
  bool Attached() const { return FAttached; }

  // The window procedures (thunks call them).
  void RawWindowProc(TMessage& message);
  void ControlWindowProc(TMessage& message);
  void RawDefWindowProc(TMessage& message);

  // During CreateWindowExW: the window is known, the default procedure is
  // already the trap's (so creation-time questions are answered Unicode).
  void BeginCreation(HWND wnd);
  // After creation: takes the window over and puts the stored text in.
  void SubClassControl(const char* paramsCaption);
  // Gives the window back; the text goes to the helper, the trap waits in
  // PendingTrapList for the control's next window.
  void UnSubClassUnicodeControl();

  void Notification(TComponent* component, TOperation operation) override;

  // The trap attached to a control's window, found through the control's
  // default procedure; null when none.
  static TWinControlTrap* OfControl(TWinControl* control);

private:
  void HookWindowProc();
  bool WindowProcReachesTrap();
  TWndMethod OwnWindowProc() const;

  WNDPROC FObjectInstance = nullptr;        // the control's main window procedure
  WNDPROC FRawWindowProcInstance = nullptr; // thunk of RawWindowProc
  WNDPROC FRawDefWindowProcInstance = nullptr;  // thunk of RawDefWindowProc
  TWinControl* FControl = nullptr;
  HWND FHandle = nullptr;
  WNDPROC FPrevWin32Proc = nullptr;
  WNDPROC FPrevDefWin32Proc = nullptr;
  TWndMethod FPrevWindowProc;
  UINT FLastWin32Msg = WM_NULL;
  int FWin32ProcLevel = 0;
  bool FDestroyTrap = false;
  bool FTestForNull = false;
  bool FFoundNull = false;
  bool FAttached = false;
  bool FWndProcInstalled = false;
};

// ---------------------------------------------------------------------------
// Window classes and windows.

// Registers "<ANSI class name>.UnicodeClass" as a Unicode class whose first
// procedure is UnicodeInitWndProc; wideWinClassName receives the name.
void RegisterUnicodeClass(const TCreateParams& params, WideString& wideWinClassName);
// Makes the control's window: a Unicode window of the twin class whose default
// procedure is the system class subClass (empty: DefWindowProcW). Every
// windowed Unicode control calls it from its CreateWindowHandle.
void CreateUnicodeHandle(TWinControl* control, const TCreateParams& params, const WideString& subClass);
// Destroys the control's window and makes a Unicode one in its place.
void ReCreateUnicodeWnd(TWinControl* control, const WideString& subClass);
// The first procedure of every window of a Unicode twin class.
LRESULT CALLBACK UnicodeInitWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Attaches a trap to a freshly made Unicode window; EUcInternalError
// "Internal Error: SubClassUnicodeControl.Control is not Unicode." otherwise.
void SubClassUnicodeControl(TWinControl* control, const char* paramsCaption);
// The parked trap of the control (taken out of PendingTrapList), or a new one.
TWinControlTrap* FindOrCreateTrap(TWinControl* control);
// WM_NOTIFYFORMAT's answer for a window: NFR_UNICODE (2) for a Unicode window
// or the one being created, else NFR_ANSI (1).
LRESULT NotifyFormatFor(HWND wnd);

// ---------------------------------------------------------------------------
// Wide texts of any control.

WideString UcControl_GetText(TControl* control);
void UcControl_SetText(TControl* control, const WideString& text);
WideString UcControl_GetHint(TControl* control);
void UcControl_SetHint(TControl* control, const WideString& text);
// Whether the layout writer stores the property (false while an action supplies it).
bool UcControl_IsCaptionStored(TControl* control);
bool UcControl_IsHintStored(TControl* control);
// The helper's caption, or def when the control has no helper.
WideString UcControl_GetStoredText(TControl* control, const WideString& def);
void UcControl_SetStoredText(TControl* control, const WideString& value);

// The first non-empty wide hint of the control and its parents.
WideString WideGetHint(TControl* control);
// The text before / after the first "|" (the whole text when there is none).
WideString WideGetShortHint(const WideString& hint);
WideString WideGetLongHint(const WideString& hint);

bool IsTextMessage(UINT msg);

// WM_CHAR with a character above 255: the character word (low word of
// wParam) becomes 255 and the character moves into the high word, so ANSI
// handlers see a byte and the default procedure gets the character back. A
// message that is not WM_CHAR, or whose high word is already in use, is left
// as it is.
void MakeWMCharMsgSafeForAnsi(TMessage& message);
void RestoreWMCharMsg(TMessage& message);
wchar_t GetWideCharFromWMCharMsg(const TMessage& message);
// The character a WM_CHAR types: the wide one on the Unicode platform, else
// the ANSI window's character through the ANSI code page.
wchar_t TypedCharOfWMCharMsg(const TMessage& message);
void SetWideCharForWMCharMsg(TMessage& message, wchar_t ch);

// CM_HINTSHOW of a Unicode control: its hint goes to TUcCustomHintWindow.
void ProcessCMHintShowMsg(TMessage& message);

// ---------------------------------------------------------------------------
// List controls that take wide items.

// {C1801F41-51E9-4DB5-8DB8-58AC86698C2E}
extern const GUID IID_IWideCustomListControl;
class IWideCustomListControl {
public:
  virtual void AddItem(const WideString& item, TObject* object) = 0;

protected:
  ~IWideCustomListControl() = default;
};

// Adds through IWideCustomListControl when the control has it, else through
// the class library's ANSI AddItem.
template <class TListControl>
void WideListControl_AddItem(TListControl* control, const WideString& item, TObject* object) {
  void* intf = nullptr;
  if (Supports(control, IID_IWideCustomListControl, &intf) && intf)
    static_cast<IWideCustomListControl*>(intf)->AddItem(item, object);
  else
    control->AddItem(WideToAnsi(item), object);
}

// ---------------------------------------------------------------------------
// The standard wide members every Unicode control class repeats, inside the
// class body:
//   UC_WIDE_CAPTION_MEMBERS   wide Caption/Text with the stored test
//   UC_WIDE_HINT_MEMBERS      wide Hint with the stored test
#define UC_WIDE_CAPTION_MEMBERS                                                 \
  WideString Caption() { return UcControl_GetText(this); }                     \
  void SetCaption(const WideString& value) { UcControl_SetText(this, value); } \
  WideString Text() { return UcControl_GetText(this); }                        \
  void SetText(const WideString& value) { UcControl_SetText(this, value); }    \
  bool IsCaptionStored() { return UcControl_IsCaptionStored(this); }

#define UC_WIDE_HINT_MEMBERS                                                 \
  WideString Hint() { return UcControl_GetHint(this); }                     \
  void SetHint(const WideString& value) { UcControl_SetHint(this, value); } \
  bool IsHintStored() { return UcControl_IsHintStored(this); }

// The overrides every wide control repeats (the wide-property filers, the
// wide action link and what a wide action hands over), declared in the class
// body with UC_STANDARD_OVERRIDES and defined in the source file with
// UC_STANDARD_OVERRIDES_BODY(TClass, TBase).
#define UC_STANDARD_OVERRIDES                                        \
  void DefineProperties(TFiler* filer) override;                     \
  void ActionChange(TObject* sender, bool checkDefaults) override;   \
  const TMetaClass* GetActionLinkClass() override;

#define UC_STANDARD_OVERRIDES_BODY(TClass, TBase)                              \
  void TClass::DefineProperties(TFiler* filer) {                               \
    TBase::DefineProperties(filer);                                            \
    UcPersistent_AfterInherited_DefineProperties(filer, this);                 \
  }                                                                            \
  void TClass::ActionChange(TObject* sender, bool checkDefaults) {             \
    UcControl_BeforeInherited_ActionChange(this, sender, checkDefaults);       \
    TBase::ActionChange(sender, checkDefaults);                                \
  }                                                                            \
  const TMetaClass* TClass::GetActionLinkClass() {                             \
    return UcControl_GetActionLinkClass(this, TBase::GetActionLinkClass());    \
  }

// The members of a control made as a Unicode window of a system class: its
// wide hint, the standard overrides and its window; with the caption, also
// the wide caption and the caption's hot key (CM_DIALOGCHAR). Each ends in
// the protected section, where the class goes on with its own members.
#define UC_WIDE_WINDOW_MEMBERS \
  UC_WIDE_HINT_MEMBERS         \
  UC_STANDARD_OVERRIDES        \
                               \
protected:                     \
  void CreateWindowHandle(const TCreateParams& params) override;

#define UC_WIDE_CAPTIONED_WINDOW_MEMBERS \
  UC_WIDE_CAPTION_MEMBERS                \
  UC_WIDE_WINDOW_MEMBERS                 \
  void CMDialogChar(TMessage& m);

void UnitInit_UcControls();
void UnitFini_UcControls();
