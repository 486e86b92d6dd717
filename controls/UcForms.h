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

// Environment set-up for programs that want it (nothing in this program
// calls it): font substitutes in win.ini, the Unicode hint window as the
// application's hint window class.
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

protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void DestroyWindowHandle() override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  const TMetaClass* GetActionLinkClass() override;
  void WMMenuSelect(TMessage& m);
  void WMWindowPosChanging(TMessage& m);
  void CMBiDiModeChanged(TMessage& m);
};

void UnitInit_UcForms();
void UnitFini_UcForms();
