// The application side of the Unicode layer: the message hook that takes
// typed characters above 255 out of the class library's ANSI loop and
// dispatches them to Unicode windows, the application object that keeps the
// wide title and hint in step with the class library's ANSI ones, the Unicode
// form, and the accelerator test of controls with wide captions.
#pragma once

#include "forms.h"

#include "UcControls.h"

class TUcAppIdleEventControl;

class TUcApplication : public TComponent {
  CL_CLASS(TUcApplication, TComponent)
public:
  // Hooks the class library's application window.
  explicit TUcApplication(TComponent* owner);
  ~TUcApplication() override;

  WideString GetHint();
  void SetHint(const WideString& value);
  WideString GetTitle();
  void SetTitle(const WideString& value);
  WideString GetExeName();
  // The ANSI setters SetSyncedWideString calls.
  void SetAnsiAppHint(const AnsiString& value);
  void SetAnsiApplicationTitle(const AnsiString& value);
  // The wide long hint of the control under the mouse.
  WideString ApplicationMouseControlHint();
  // Keeps the application's wide hint on the control under the mouse.
  void DoIdle();
  // IsDialogMessageW/A on the application's modeless dialog, if any.
  bool IsDlgMsg(MSG& msg);
  // A character above 255 for a Unicode window, taken out of the ANSI loop
  // and dispatched wide; false for every other message (left to the loop).
  bool ProcessMessage(MSG& msg);
  // The hook on the application window; true when the message was handled.
  bool WndProc(TMessage& message);

  TUcAppIdleEventControl* IdleControl() const { return FIdleControl; }
  DWORD SettingChangeTime() const { return FSettingChangeTime; }

private:
  friend class TUcAppIdleEventControl;
  bool FIdleControlLookedFor = false;
  WideString FHint;
  TUcAppIdleEventControl* FIdleControl = nullptr;
  DWORD FSettingChangeTime = 0;
  WideString FTitle;  // non-empty only while a title waits for the application window
};

extern TUcApplication* UcApplication;
// Tick count of the last settings change.
extern DWORD _SettingChangeTime;

// Put on a main form that is not a TUcForm: its action's update keeps the
// application's wide hint in step at idle time.
class TUcAppIdleEventControl : public TControl {
  CL_CLASS(TUcAppIdleEventControl, TControl)
public:
  explicit TUcAppIdleEventControl(TComponent* owner);
  ~TUcAppIdleEventControl() override;

private:
  void ApplicationIdle(TObject* sender);
};

// Code that removes messages with its own PeekMessage calls brackets that
// with this pair: the hook stays passive meanwhile.
void EnableManualPeekMessageWithRemove();
void DisableManualPeekMessageWithRemove();
// The WH_GETMESSAGE hook of the initialising thread (null when not installed).
HHOOK UcMessageHookHandle();

// Whether the character typed (a key code, read in the keyboard's code page
// below 256) is the hot key of the wide caption, ignoring case.
bool IsWideCharAccel(WORD charCode, const WideString& caption);

// Run-time updates of class-library routines, chosen by the bits 0 to 3 of
// InstallUcSystemUpdates' set. The library defines none of them (none is
// needed: the class library here is this program's own); a program that
// wants one puts its routine into the slot before the call. Each installs
// at most once.
using TUcSystemUpdate = void (*)();
constexpr int UcSystemUpdateCount = 4;
extern TUcSystemUpdate UcSystemUpdates[UcSystemUpdateCount];
void InstallUcSystemUpdates(unsigned updates);

// Whether a module file name is that of a development environment that
// loads component libraries ("studio.exe", "designer32.exe", "builder32.exe", in any case).
bool IsDevelopmentEnvironmentHost(const AnsiString& moduleFileName);

// Environment set-up for programs that want it (nothing in this program
// calls it): the system updates, font substitutes in win.ini, the default
// font name of new fonts, the Unicode hint window as the application's hint
// window class.
void InitUcEnvironment();

// ---------------------------------------------------------------------------

class TUcForm : public TForm {
  CL_CLASS(TUcForm, TForm)
  CL_DECLARE_MESSAGE_MAP(TUcForm)
public:
  explicit TUcForm(TComponent* owner) : TForm(owner) {}

  UC_WIDE_CAPTION_MEMBERS
  UC_WIDE_HINT_MEMBERS

  void DefineProperties(TFiler* filer) override;
  // The class library's idle update, then the application's wide hint.
  void UpdateActions() override;
  // An MDI main form's messages go to DefFrameProcW (WM_SIZE to
  // DefWindowProcW), so the frame of a Unicode form stays Unicode.
  void DefaultHandler(TMessage& message) override;

protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void DestroyWindowHandle() override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  const TMetaClass* GetActionLinkClass() override;
  // The Unicode window exists before anything docks.
  TDockManager* CreateDockManager() override;
  void WMMenuSelect(TMessage& m);
  void WMWindowPosChanging(TMessage& m);
  void CMBiDiModeChanged(TMessage& m);
};

// A frame whose window is Unicode, with a wide Hint.
class TUcCustomFrame : public TCustomFrame {
  CL_CLASS(TUcCustomFrame, TCustomFrame)
public:
  explicit TUcCustomFrame(TComponent* owner) : TCustomFrame(owner) {}

  UC_WIDE_WINDOW_MEMBERS
};

class TUcFrame : public TUcCustomFrame {
  CL_CLASS(TUcFrame, TUcCustomFrame)
public:
  explicit TUcFrame(TComponent* owner) : TUcCustomFrame(owner) {}
};

// A scroll box whose window is Unicode, with a wide Hint. Showing or hiding
// a scroll bar resizes the client, which sends WM_SIZE again while the first
// is handled; the nesting is cut at depth 32.
class TUcScrollBox : public TScrollBox {
  CL_CLASS(TUcScrollBox, TScrollBox)
  CL_DECLARE_MESSAGE_MAP(TUcScrollBox)
public:
  explicit TUcScrollBox(TComponent* owner) : TScrollBox(owner) {}

  UC_WIDE_WINDOW_MEMBERS
  void WMSize(TMessage& m);
  int FWMSizeNestCount = 0;
};

void UnitInit_UcForms();
void UnitFini_UcForms();
