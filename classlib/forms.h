// Forms, the application object with its message loop, idle work and hints,
// the screen object, modal windows, message boxes and the exception handler
// every guarded callback reports to.
#pragma once

#include "controls.h"
#include "menus.h"

#include <new>
#include <vector>

// windows.h maps MessageBox to MessageBoxA; here it is the application's method.
#undef MessageBox

class TApplication;
class TScreen;

using TBorderIcons = uint8_t;
enum : uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };

enum TPosition : uint8_t {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};
enum TFormStyle : uint8_t { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState : uint8_t { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };

using TFormState = uint8_t;
enum : uint8_t { fsCreating = 1, fsVisible = 2, fsShowing = 4, fsModal = 8, fsCreatedMDIChild = 16, fsActivated = 32 };

using TModalResult = int;
enum : int {
  mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY, mrIgnore = IDIGNORE,
  mrYes = IDYES, mrNo = IDNO, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10
};

using TCloseEvent = TEvent<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = TEvent<void(TObject* sender, bool& canClose)>;

class TScrollingWinControl;

// One of the two scroll bars of a scrolling control: the window's own
// SB_HORZ or SB_VERT bar, shown while its range exceeds the client extent.
class TControlScrollBar : public TPersistent {
  CL_CLASS(TControlScrollBar, TPersistent)
public:
  TControlScrollBar(TScrollingWinControl* control, int bar);
  void Assign(TPersistent* source) override;

  // SB_HORZ or SB_VERT.
  int Bar() const { return FBar; }
  // The step of the arrows.
  int Increment() const { return FIncrement; }
  void SetIncrement(int value) { FIncrement = value > 0 ? value : 1; }
  // How far the contents are scrolled, 0 to Range minus the client extent.
  int Position() const { return FPosition; }
  void SetPosition(int value);
  // The extent of the contents. Setting it by hand turns the control's
  // AutoScroll off, which would otherwise compute it again.
  int Range() const { return FRange; }
  void SetRange(int value);
  // Space kept after the farthest control when the range is computed.
  int Margin() const { return FMargin; }
  void SetMargin(int value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  // Whether dragging the thumb scrolls at once (else at its release).
  bool Tracking() const { return FTracking; }
  void SetTracking(bool value) { FTracking = value; }
  // Whether the window shows the bar now.
  bool IsScrollBarVisible() const { return FShown; }

private:
  friend class TScrollingWinControl;
  void ScrollMessage(TMessage& m);
  // The largest position the current range and client extent allow.
  int MaxPosition() const;
  TScrollingWinControl* FControl;
  int FBar;
  int FIncrement = 8;
  int FPosition = 0;
  int FRange = 0;
  int FMargin = 0;
  int FPageSize = 0;
  bool FVisible = true;
  bool FTracking = false;
  bool FShown = false;
};

// A windowed control whose children can lie beyond its client area: the
// window's scroll bars move them into view. With AutoScroll the ranges
// follow the children that are not aligned.
class TScrollingWinControl : public TWinControl {
  CL_CLASS(TScrollingWinControl, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TScrollingWinControl)
public:
  explicit TScrollingWinControl(TComponent* owner);
  ~TScrollingWinControl() override;

  TControlScrollBar* HorzScrollBar() const { return FHorzScrollBar; }
  void SetHorzScrollBar(TControlScrollBar* value) { FHorzScrollBar->Assign(value); }
  TControlScrollBar* VertScrollBar() const { return FVertScrollBar; }
  void SetVertScrollBar(TControlScrollBar* value) { FVertScrollBar->Assign(value); }
  bool AutoScroll() const { return FAutoScroll; }
  void SetAutoScroll(bool value);
  // Moves every child by the given distances.
  void ScrollBy(int deltaX, int deltaY);

protected:
  friend class TControlScrollBar;
  void AlignControls(TControl* control, TRect& rect) override;
  void AdjustClientRect(TRect& rect) override;
  // The ranges from the children (with AutoScroll), then which bars show.
  void UpdateScrollBars();
  void WMHScroll(TMessage& m);
  void WMVScroll(TMessage& m);

  TControlScrollBar* FHorzScrollBar;
  TControlScrollBar* FVertScrollBar;
  bool FAutoScroll = false;
  bool FUpdatingScrollBars = false;
};

// A container of controls with a border that scrolls what it holds.
class TScrollBox : public TScrollingWinControl {
  CL_CLASS(TScrollBox, TScrollingWinControl)
public:
  explicit TScrollBox(TComponent* owner);
  // bsSingle (the default): a sunken edge, or a plain line without Ctl3D.
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle value);

protected:
  void CreateParams(TCreateParams& params) override;
  TFormBorderStyle FBorderStyle = bsSingle;
};

// A child container made like a form: a derived frame reads its layout with
// ReadLayout(&TMyFrame::Class) as the first statement of its constructor.
class TCustomFrame : public TScrollingWinControl {
  CL_CLASS(TCustomFrame, TScrollingWinControl)
public:
  explicit TCustomFrame(TComponent* owner);

protected:
  // Reads the layout resource of cls (its upper-cased class name).
  void ReadLayout(const TMetaClass* cls);
};

class TFrame : public TCustomFrame {
  CL_CLASS(TFrame, TCustomFrame)
public:
  explicit TFrame(TComponent* owner) : TCustomFrame(owner) {}
};

class TCustomForm : public TScrollingWinControl {
  CL_CLASS(TCustomForm, TScrollingWinControl)
  CL_DECLARE_MESSAGE_MAP(TCustomForm)
public:
  // The form without a layout; a derived form reads its layout with
  // ReadLayout(&TMyForm::Class) as the first statement of its constructor.
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;

  // Fires OnDestroy and takes the window down while the whole object still
  // exists. Every delete of a form arrives here first: a delete-expression of
  // a form type calls the destroying delete below, and so does the form's
  // deleting destructor when the form is deleted through a base pointer.
  void BeforeDestruction() override;
  // The global allocation, declared here so that the compiler pairs a form's
  // new with the two deletes below instead of calling them mismatched.
  static void* operator new(std::size_t size) { return ::operator new(size); }
  static void operator delete(TCustomForm* form, std::destroying_delete_t);
  // Frees the memory of a form whose constructor threw.
  static void operator delete(void* memory) noexcept { ::operator delete(memory); }
  // OnCreate; Application->CreateForm and NewForm call it after the constructor.
  void AfterConstruction() override;

  // --- appearance
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle value);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons value);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition value) { FPosition = value; }
  TFormStyle FormStyle() const { return FFormStyle; }
  // A change to or from an MDI style makes the window anew.
  void SetFormStyle(TFormStyle value);
  // The MDI client window of an fsMDIForm (null otherwise): the parent of
  // the MDI children's windows.
  HWND ClientHandle() const { return FClientHandle; }
  TWindowState WindowState() const { return FWindowState; }
  void SetWindowState(TWindowState value);
  TMainMenu* Menu() const { return FMenu; }
  void SetMenu(TMainMenu* value);
  // The item of an MDI main form's menu under which the MDI client lists
  // the child windows.
  TMenuItem* WindowMenu() const { return FWindowMenu; }
  void SetWindowMenu(TMenuItem* value);
  TIcon* Icon() const { return FIcon; }
  void SetIcon(TIcon* value);
  // Layered windows: the whole form translucent (AlphaBlendValue, 255 =
  // opaque) and/or one colour see-through. Set on an existing window they
  // take effect at once.
  bool AlphaBlend() const { return FAlphaBlend; }
  void SetAlphaBlend(bool value);
  int AlphaBlendValue() const { return FAlphaBlendValue; }
  void SetAlphaBlendValue(int value);
  bool TransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(bool value);
  TColor TransparentColorValue() const { return FTransparentColorValue; }
  void SetTransparentColorValue(TColor value);
  bool KeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool value) { FKeyPreview = value; }
  bool Scaled() const { return FScaled; }
  void SetScaled(bool value) { FScaled = value; }
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int value);
  // Scales position, size and fonts of the form and its controls by m/d.
  void ScaleBy(int m, int d);
  TCanvas* Canvas();
  bool OldCreateOrder() const { return false; }

  // --- showing and closing
  void SetVisible(bool value) override;
  void Show();
  void Hide();
  // Asks CloseQuery, then OnClose; the action decides: hide, free, minimise.
  // Closing the main form ends the application.
  void Close();
  // Frees the form after the current message (posts CM_RELEASE).
  void Release();
  // Release was called: the form goes with the next messages.
  bool Releasing() const { return FReleasing; }
  // Runs a modal loop until ModalResult is set; returns it.
  virtual int ShowModal();
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult value) { FModalResult = value; }
  TFormState FormState() const { return FFormState; }
  virtual bool CloseQuery();
  bool Active() const { return FActive; }

  // --- focus
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* value);
  void FocusControl(TWinControl* control);
  // Called by a control's WM_SETFOCUS: CM_EXIT/CM_ENTER along the parent
  // chains and the focus bookkeeping.
  virtual bool SetFocusedControl(TWinControl* control);
  void DefocusControl(TWinControl* control, bool removing);
  void SetFocus() override;
  bool CanFocus() override { return Visible() && Enabled(); }
  void BringToFront();

  // --- keys and actions
  // The main menu's shortcut, else the first owned action list's.
  virtual bool IsShortCut(TMessage& message);
  // Idle: the form's controls and menu items update their actions, and the
  // actions of the form's action lists update.
  virtual void UpdateActions();

  TRect GetClientRect() override;
  void SetClientSize(int width, int height) override;
  void SetBounds(int left, int top, int width, int height) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;
  // An MDI main form hands what it does not handle to DefFrameProc (but
  // WM_SIZE, which would stretch the MDI client over the aligned controls).
  void DefWndProc(TMessage& message) override;
  // An MDI child is made by the MDI client of the main form.
  void CreateWindowHandle(const TCreateParams& params) override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;

protected:
  friend class TApplication;
  friend class TScreen;
  bool FReleasing = false;
  // Reads the layout resource of cls (its upper-cased class name) into the form.
  void ReadLayout(const TMetaClass* cls);
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWindowHandle() override;
  void PaintWindow(HDC dc) override;
  // The MDI client takes the room the aligned controls leave.
  void AlignControls(TControl* control, TRect& rect) override;
  void CreateClientWindow();
  virtual void DoCreate();
  virtual void DoDestroy();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& action);
  virtual void Activate();
  virtual void Deactivate();
  virtual void Paint();
  void CloseModal();
  void SetWindowFocus();
  void ApplyPosition();
  void ApplyMenu();
  void ApplyWindowMenu();
  // Whether the form's menu is shown in the main form's bar instead of its
  // own (an MDI child's, or one with AutoMerge on a form that is not the
  // main form).
  bool MenuMerges() const;
  // Merges the menu into the main form's, or takes it out.
  void MergeMenu(bool merge);
  void WMMDIActivate(TMessage& m);
  void ApplyLayered();
  // The window styles of the border settings.
  void StyleBits(DWORD& style, DWORD& exStyle);
  // The window that owns the form's window (the main form's; for a modal
  // form the active window).
  HWND OwnerWindow();

  void WMClose(TMessage& m);
  void WMActivate(TMessage& m);
  void WMActivateApp(TMessage& m);
  void WMDestroy(TMessage& m);
  void WMCommand(TMessage& m);
  void WMInitMenuPopup(TMessage& m);
  void WMMenuSelect(TMessage& m);
  void WMDrawItem(TMessage& m);
  void WMMeasureItem(TMessage& m);
  void WMQueryEndSession(TMessage& m);
  void WMWindowPosChanging(TMessage& m);
  void WMPaint(TMessage& m);
  void CMRelease(TMessage& m);
  void CMShowingChanged(TMessage& m);
  void CMDialogKey(TMessage& m);
  void CMActivate(TMessage& m);
  void CMDeactivate(TMessage& m);
  void CMActionExecute(TMessage& m);
  void CMActionUpdate(TMessage& m);

  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition FPosition = poDesigned;
  TFormStyle FFormStyle = fsNormal;
  TWindowState FWindowState = wsNormal;
  TFormState FFormState = 0;
  TModalResult FModalResult = mrNone;
  TMainMenu* FMenu = nullptr;
  TMenuItem* FWindowMenu = nullptr;
  TIcon* FIcon = nullptr;
  TControlCanvas* FCanvas = nullptr;
  TWinControl* FActiveControl = nullptr;
  TWinControl* FFocusedControl = nullptr;
  int FPixelsPerInch;
  int FClientWidth = 0;
  int FClientHeight = 0;
  int FFocusCount = 0;
  bool FKeyPreview = false;
  bool FScaled = true;
  bool FActive = false;
  bool FPositioned = false;
  bool FConstructed = false;
  bool FDestroyStarted = false;
  bool FInSetBounds = false;
  bool FAlphaBlend = false;
  bool FTransparentColor = false;
  int FAlphaBlendValue = 255;
  TColor FTransparentColorValue = clBlack;
  HWND FClientHandle = nullptr;
};

// The MDI client window of the application's main form, or EInvalidOperation
// "Cannot create form. No MDI forms are currently active".
HWND MDIClientOfMainForm();

class TForm : public TCustomForm {
  CL_CLASS(TForm, TCustomForm)
public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

// A form made in code: constructed, then AfterConstruction (OnCreate).
template <class T> T* NewForm(TComponent* owner) {
  T* form = new T(owner);
  try {
    form->AfterConstruction();
  } catch (...) {
    // GCC's pairing check misses the destroying delete and calls it a mismatch with the form's new.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
    delete form;
#pragma GCC diagnostic pop
    throw;
  }
  return form;
}

// ---------------------------------------------------------------------------

class TScreen : public TComponent {
  CL_CLASS(TScreen, TComponent)
public:
  explicit TScreen(TComponent* owner);
  ~TScreen() override;

  // A value other than crDefault overrides every control's cursor.
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor value);
  HCURSOR Cursors(TCursor index);
  TCustomForm* ActiveForm() const { return FActiveForm; }
  TWinControl* ActiveControl() const { return FActiveControl; }
  TCustomForm* FocusedForm() const { return FFocusedForm; }
  int FormCount() const { return static_cast<int>(FForms.size()); }
  TCustomForm* Forms(int index) const { return FForms[index]; }
  int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
  int Height() const { return GetSystemMetrics(SM_CYSCREEN); }
  int PixelsPerInch() const { return FPixelsPerInch; }
  TFont* HintFont() const { return FHintFont; }

private:
  friend class TCustomForm;
  friend class TApplication;
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);
  TCursor FCursor = crDefault;
  std::vector<TCustomForm*> FForms;
  TCustomForm* FActiveForm = nullptr;
  TWinControl* FActiveControl = nullptr;
  TCustomForm* FFocusedForm = nullptr;
  TCustomForm* FLastActiveForm = nullptr;
  TFont* FHintFont;
  int FPixelsPerInch;
};

// ---------------------------------------------------------------------------

using TExceptionEvent = TEvent<void(TObject* sender, Exception* e)>;
using TMessageEvent = TEvent<void(MSG& msg, bool& handled)>;
using TIdleEvent = TEvent<void(TObject* sender, bool& done)>;
using TShowHintEvent = TEvent<void(AnsiString& hintStr, bool& canShow, THintInfo& hintInfo)>;
using TWindowHook = TEvent<bool(TMessage& message)>;
using TActionApplyEvent = TEvent<void(TBasicAction* action, bool& handled)>;

class TApplication : public TComponent {
  CL_CLASS(TApplication, TComponent)
public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  // The hidden application window (never shown; owns no form).
  HWND Handle() const { return FHandle; }
  void Initialize() {}
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& value);
  AnsiString ExeName() const;
  TCustomForm* MainForm() const { return FMainForm; }
  bool Terminated() const { return FTerminated; }
  void Terminate();

  // Makes a form of cls owned by the application; *ref is set before OnCreate
  // runs. The first form made becomes the main form.
  template <class T> void CreateForm(const TMetaClass* cls, T** ref) {
    if (!cls || !cls->InheritsFrom(&T::Class)) throw EInvalidCast("Invalid class typecast");
    TComponent* c = NewFormInstance(cls);
    *ref = static_cast<T*>(c);
    FinishFormCreation(c);
  }
  template <class T> void CreateForm(T** ref) { CreateForm(&T::Class, ref); }
  // Shows the main form and runs the loop until Terminate.
  void Run();
  void HandleMessage();
  void ProcessMessages();
  // One message from the queue: false when there was none.
  bool ProcessMessage(MSG& msg);
  // The idle work: the control under the mouse, OnIdle, action updates.
  void Idle(const MSG& msg);
  // The idle work without the wait (for loops of their own, the tests' pump).
  void DoIdle();

  // The exception in flight (called inside a catch): EAbort is silent;
  // OnException, else a message box. Nothing escapes from here.
  void HandleException(TObject* sender);
  void ShowException(Exception* e);
  // MessageBoxA owned by the active form (or the main form); the caption
  // defaults to Title; the other windows are disabled meanwhile.
  int MessageBox(const AnsiString& text, const AnsiString& caption = AnsiString(), UINT flags = MB_OK);

  // Hooks of the application window, offered every message (last added first)
  // until one returns true.
  void HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(TWindowHook hook);
  // OnActionExecute / OnActionUpdate; true when handled.
  bool ExecuteAction(TBasicAction* action) override;
  bool UpdateAction(TBasicAction* action) override;
  // The control under the mouse, as of the last idle pass.
  TControl* MouseControl() const { return FMouseControl; }
  // A modeless dialog whose keys go through IsDialogMessage.
  HWND DialogHandle() const { return FDialogHandle; }
  void SetDialogHandle(HWND value) { FDialogHandle = value; }
  // Help through the system's help viewer on HelpFile; false without a file.
  const AnsiString& HelpFile() const { return FHelpFile; }
  void SetHelpFile(const AnsiString& value) { FHelpFile = value; }
  bool HelpCommand(UINT command, ULONG_PTR data);
  bool HelpContext(int context) { return HelpCommand(HELP_CONTEXT, static_cast<ULONG_PTR>(context)); }

  // --- hints
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool value);
  TColor HintColor() const { return FHintColor; }
  void SetHintColor(TColor value);
  int HintPause() const { return FHintPause; }
  void SetHintPause(int value) { FHintPause = value; }
  int HintShortPause() const { return FHintShortPause; }
  void SetHintShortPause(int value) { FHintShortPause = value; }
  int HintHidePause() const { return FHintHidePause; }
  void SetHintHidePause(int value) { FHintHidePause = value; }
  bool HintShortCuts() const { return FHintShortCuts; }
  void SetHintShortCuts(bool value) { FHintShortCuts = value; }
  const AnsiString& Hint() const { return FHint; }
  // OnHint, or (with no handler) a THintAction executed through the window.
  void SetHint(const AnsiString& value);
  void CancelHint();
  void ActivateHint(const TPoint& cursorPos);
  void HintMouseMessage(TControl* control, TMessage& message);
  THintWindow* HintWindow() const { return FHintWindow; }
  TControl* HintControl() const { return FHintControl; }
  bool HintActive() const { return FHintActive; }

  void Notification(TComponent* component, TOperation operation) override;
  // A control goes away: the mouse and hint bookkeeping forget it.
  void ControlDestroyed(TControl* control);

  TExceptionEvent OnException;
  TMessageEvent OnMessage;
  TIdleEvent OnIdle;
  TNotifyEvent OnHint;
  TShowHintEvent OnShowHint;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TActionApplyEvent OnActionExecute;
  TActionApplyEvent OnActionUpdate;

protected:
  virtual void WndProc(TMessage& message);
  void MainWndProc(TMessage& message);
  bool IsPreProcessMessage(MSG& msg);
  bool IsHintMsg(MSG& msg);
  bool IsKeyMsg(MSG& msg);
  bool IsDlgMsg(MSG& msg);
  TComponent* NewFormInstance(const TMetaClass* cls);
  void FinishFormCreation(TComponent* instance);
  // The idle work; true when OnIdle left done set.
  bool IdleWork();
  void UpdateAllActions();
  void HintTimerExpired();
  void StartHintTimer(int ms, bool show);
  void StopHintTimer();
  void HideHint();
  void DoMouseIdle();
  void SetMouseControl(TControl* control);
  void SetHintControl(TControl* control);
  TControl* GetHintControl(TControl* control);

private:
  friend class TCustomForm;
  HWND FHandle = nullptr;
  WNDPROC FObjectInstance = nullptr;
  AnsiString FTitle;
  AnsiString FHint;
  TCustomForm* FMainForm = nullptr;
  TControl* FMouseControl = nullptr;
  TControl* FHintControl = nullptr;
  THintWindow* FHintWindow = nullptr;
  HWND FDialogHandle = nullptr;
  AnsiString FHelpFile;
  std::vector<TWindowHook> FWindowHooks;
  TRect FHintCursorRect;
  TColor FHintColor = clInfoBk;
  int FHintPause = 500;
  int FHintShortPause = 50;
  int FHintHidePause = 2500;
  bool FShowHint = true;
  bool FHintShortCuts = true;
  bool FHintActive = false;
  bool FHintTimerShow = false;
  bool FHintTimerRunning = false;
  bool FTerminated = false;
  bool FRunning = false;
  int FHandleExceptionDepth = 0;
};

extern TApplication* Application;
extern TScreen* Screen;

// A message box with the application's title and an OK button.
void ShowMessage(const AnsiString& message);
void ShowMessageFmt(const AnsiString& format, std::initializer_list<TVarRec> args);

// Message dialogs: a form made in code with an icon, the text and buttons.
enum TMsgDlgType : uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : uint8_t {
  mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp
};
using TMsgDlgButtons = uint16_t;  // bit n = button n
constexpr TMsgDlgButtons MsgDlgButton(TMsgDlgBtn b) { return static_cast<TMsgDlgButtons>(1u << b); }
constexpr TMsgDlgButtons mbYesNoCancel = (1u << mbYes) | (1u << mbNo) | (1u << mbCancel);
constexpr TMsgDlgButtons mbYesNo = (1u << mbYes) | (1u << mbNo);
constexpr TMsgDlgButtons mbOKCancel = (1u << mbOK) | (1u << mbCancel);
constexpr TMsgDlgButtons mbAbortRetryIgnore = (1u << mbAbort) | (1u << mbRetry) | (1u << mbIgnore);

// The dialog unshown, owned by the application (the caller frees it).
TForm* CreateMessageDialog(const AnsiString& message, TMsgDlgType type, TMsgDlgButtons buttons);
// Shows it modally, frees it, returns the modal result (mrYes, mrCancel...).
int MessageDlg(const AnsiString& message, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext);
// One line of text: true (and value set) when the user confirmed with OK.
bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);
AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt, const AnsiString& defaultValue);

// Disables the enabled, visible top-level windows of this thread except the
// given one; the returned list gives them back.
std::vector<HWND> DisableTaskWindows(HWND activeWindow);
void EnableTaskWindows(const std::vector<HWND>& list);

void UnitInit_forms();
void UnitFini_forms();
