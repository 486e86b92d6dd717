// The window layer: controls with and without a window of their own, the chain
// a message takes from Windows to a control's handlers, reflection of child
// notifications, focus and keys, alignment, and the lookup of a window's
// control through two window properties.
//
// The chain of a message: Windows -> the control's thunk -> MainWndProc (the
// exception guard) -> WindowProc (replaceable; WndProc by default) -> Dispatch
// (the message tables) -> DefaultHandler -> DefWndProc -> the default window
// procedure (replaceable). The Unicode layer hooks in at several of these links.
#pragma once

#include "actnlist.h"
#include "classes.h"
#include "graphics.h"
#include "thunk.h"

#include <commctrl.h>

class TControl;
class TWinControl;
class TCustomForm;
class TPopupMenu;
class TControlCanvas;

// What a dock site arranges the controls docked on it with. A site that uses
// a dock manager gets a TDockTree unless its class supplies another from
// CreateDockManager.
class TDockManager : public TObject {
public:
  ~TDockManager() override = default;
  // A client joined the site, beside dropControl (or the site's edge) on the
  // side align names.
  virtual void InsertControl(TControl* control, int align, TControl* dropControl) {
    (void)control, (void)align, (void)dropControl;
  }
  virtual void RemoveControl(TControl* control) { (void)control; }
  // Lays the clients out again over the site's client area.
  virtual void ResetBounds(bool force) { (void)force; }
};

// What travels with CM_DOCKCLIENT (lParam): the control being docked, where it
// goes and beside whom.
class TDragDockObject : public TObject {
public:
  explicit TDragDockObject(TControl* control) : Control(control) {}
  TControl* Control;
  RECT DockRect{};              // screen coordinates
  int DropAlign = 0;            // a TAlign
  TControl* DropOnControl = nullptr;
  bool Floating = false;
};

// CM_DOCKNOTIFICATION's lParam: a message a docked client handled; wParam is
// the client.
struct TDockNotifyRec {
  UINT ClientMsg;
  WPARAM MsgWParam;
  LPARAM MsgLParam;
};

// ---------------------------------------------------------------------------
// The library's own messages. The numbers of the program's layers depend on
// (dialog char, font changed, text changed, enter, exit, want special key,
// release, hint show, bidi mode changed, action execute) are fixed.

constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0x00;
constexpr UINT CM_DEACTIVATE = CM_BASE + 0x01;
constexpr UINT CM_GOTFOCUS = CM_BASE + 0x02;
constexpr UINT CM_LOSTFOCUS = CM_BASE + 0x03;
constexpr UINT CM_CANCELMODE = CM_BASE + 0x04;
constexpr UINT CM_DIALOGKEY = CM_BASE + 0x05;
constexpr UINT CM_DIALOGCHAR = CM_BASE + 0x06;
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 0x07;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 0x08;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 0x09;
constexpr UINT CM_HITTEST = CM_BASE + 0x0A;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 0x0B;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 0x0C;
constexpr UINT CM_COLORCHANGED = CM_BASE + 0x0D;
constexpr UINT CM_FONTCHANGED = CM_BASE + 0x0E;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 0x0F;
constexpr UINT CM_CTL3DCHANGED = CM_BASE + 0x10;
constexpr UINT CM_PARENTCTL3DCHANGED = CM_BASE + 0x11;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 0x12;
constexpr UINT CM_MOUSEENTER = CM_BASE + 0x13;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 0x14;
constexpr UINT CM_MENUCHANGED = CM_BASE + 0x15;
constexpr UINT CM_APPKEYDOWN = CM_BASE + 0x16;
constexpr UINT CM_APPSYSCOMMAND = CM_BASE + 0x17;
constexpr UINT CM_BUTTONPRESSED = CM_BASE + 0x18;
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 0x19;
constexpr UINT CM_ENTER = CM_BASE + 0x1A;
constexpr UINT CM_EXIT = CM_BASE + 0x1B;
constexpr UINT CM_DESIGNHITTEST = CM_BASE + 0x1C;
constexpr UINT CM_ICONCHANGED = CM_BASE + 0x1D;
constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 0x1E;
constexpr UINT CM_INVOKEHELP = CM_BASE + 0x1F;
constexpr UINT CM_WINDOWHOOK = CM_BASE + 0x20;
constexpr UINT CM_RELEASE = CM_BASE + 0x21;
constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 0x22;
constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 0x23;
constexpr UINT CM_SYSCOLORCHANGE = CM_BASE + 0x24;
constexpr UINT CM_WININICHANGE = CM_BASE + 0x25;
constexpr UINT CM_FONTCHANGE = CM_BASE + 0x26;
constexpr UINT CM_TIMECHANGE = CM_BASE + 0x27;
constexpr UINT CM_TABSTOPCHANGED = CM_BASE + 0x28;
constexpr UINT CM_UIACTIVATE = CM_BASE + 0x29;
constexpr UINT CM_UIDEACTIVATE = CM_BASE + 0x2A;
constexpr UINT CM_DOCWINDOWACTIVATE = CM_BASE + 0x2B;
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 0x2C;
constexpr UINT CM_GETDATALINK = CM_BASE + 0x2D;
constexpr UINT CM_CHILDKEY = CM_BASE + 0x2E;
constexpr UINT CM_DRAG = CM_BASE + 0x2F;
constexpr UINT CM_HINTSHOW = CM_BASE + 0x30;
constexpr UINT CM_DIALOGHANDLE = CM_BASE + 0x31;
constexpr UINT CM_ISTOOLCONTROL = CM_BASE + 0x32;
constexpr UINT CM_RECREATEWND = CM_BASE + 0x33;
constexpr UINT CM_INVALIDATE = CM_BASE + 0x34;
constexpr UINT CM_SYSFONTCHANGED = CM_BASE + 0x35;
constexpr UINT CM_CONTROLCHANGE = CM_BASE + 0x36;
constexpr UINT CM_CHANGED = CM_BASE + 0x37;
constexpr UINT CM_DOCKCLIENT = CM_BASE + 0x38;
constexpr UINT CM_UNDOCKCLIENT = CM_BASE + 0x39;
constexpr UINT CM_FLOAT = CM_BASE + 0x3A;
constexpr UINT CM_BORDERCHANGED = CM_BASE + 0x3B;
constexpr UINT CM_BIDIMODECHANGED = CM_BASE + 0x3C;
constexpr UINT CM_PARENTBIDIMODECHANGED = CM_BASE + 0x3D;
constexpr UINT CM_ALLCHILDRENFLIPPED = CM_BASE + 0x3E;
constexpr UINT CM_ACTIONUPDATE = CM_BASE + 0x3F;
constexpr UINT CM_ACTIONEXECUTE = CM_BASE + 0x40;
constexpr UINT CM_HINTSHOWPAUSE = CM_BASE + 0x41;
constexpr UINT CM_MOUSEWHEEL = CM_BASE + 0x43;
constexpr UINT CM_DOCKNOTIFICATION = CM_BASE + 0x47;

// Notifications reflected from a parent to the child they concern: the WM_
// number plus CN_BASE.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_CHARTOITEM = CN_BASE + WM_CHARTOITEM;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_COMPAREITEM = CN_BASE + WM_COMPAREITEM;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLORDLG = CN_BASE + WM_CTLCOLORDLG;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_CTLCOLORMSGBOX = CN_BASE + WM_CTLCOLORMSGBOX;
constexpr UINT CN_CTLCOLORSCROLLBAR = CN_BASE + WM_CTLCOLORSCROLLBAR;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr UINT CN_DELETEITEM = CN_BASE + WM_DELETEITEM;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_PARENTNOTIFY = CN_BASE + WM_PARENTNOTIFY;
constexpr UINT CN_VKEYTOITEM = CN_BASE + WM_VKEYTOITEM;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr UINT CN_CHAR = CN_BASE + WM_CHAR;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
constexpr UINT CN_SYSCHAR = CN_BASE + WM_SYSCHAR;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;

static_assert(CM_DIALOGCHAR == 0xB006 && CM_FONTCHANGED == 0xB00E && CM_TEXTCHANGED == 0xB012);
static_assert(CM_ENTER == 0xB01A && CM_EXIT == 0xB01B && CM_WANTSPECIALKEY == 0xB01E && CM_RELEASE == 0xB021);
static_assert(CM_HINTSHOW == 0xB030 && CM_BIDIMODECHANGED == 0xB03C && CM_ACTIONEXECUTE == 0xB040);
static_assert(CN_NOTIFY == 0xBC4E && CN_COMMAND == 0xBD11 && CN_KEYDOWN == 0xBD00 && CN_DRAWITEM == 0xBC2B);

// ---------------------------------------------------------------------------
// Types.

// What CreateParams fills and CreateWindowHandle uses.
struct TCreateParams {
  const char* Caption;
  DWORD Style;
  DWORD ExStyle;
  int X, Y;
  int Width, Height;
  HWND WndParent;
  void* Param;
  WNDCLASSA WindowClass;
  char WinClassName[64];
};

enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

using TAnchors = uint8_t;
enum : uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

using TShiftState = uint16_t;
enum : uint16_t { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

using TCursor = int;
enum : int {
  crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6, crSizeNS = -7,
  crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11, crDrag = -12, crNoDrop = -13,
  crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17, crNo = -18, crAppStart = -19,
  crHelp = -20, crHandPoint = -21, crSizeAll = -22, crSize = -22
};

// Border styles of forms (all of them) and of controls (bsNone, bsSingle).
enum TFormBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

enum TBiDiMode : uint8_t { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

using TControlStyle = uint32_t;
enum : uint32_t {
  csAcceptsControls = 1u << 0,
  csCaptureMouse = 1u << 1,
  csDesignInteractive = 1u << 2,
  csClickEvents = 1u << 3,
  csFramed = 1u << 4,
  csSetCaption = 1u << 5,
  csOpaque = 1u << 6,
  csDoubleClicks = 1u << 7,
  csFixedWidth = 1u << 8,
  csFixedHeight = 1u << 9,
  csNoDesignVisible = 1u << 10,
  csReplicatable = 1u << 11,
  csNoStdEvents = 1u << 12,
  csDisplayDragImage = 1u << 13,
  csReflector = 1u << 14,
  csActionClient = 1u << 15,
  csMenuEvents = 1u << 16,
};

using TControlState = uint32_t;
enum : uint32_t {
  csLButtonDown = 1u << 0,
  csClicked = 1u << 1,
  csPalette = 1u << 2,
  csReadingState = 1u << 3,
  csAlignmentNeeded = 1u << 4,
  csFocusing = 1u << 5,
  csCreating = 1u << 6,
  csPaintCopy = 1u << 7,
  csCustomPaint = 1u << 8,
  csDestroyingHandle = 1u << 9,
  csDocking = 1u << 10,
  // Set while a tree or list view's own drag-detect loop swallowed the button up.
  csMouseUpSynthesised = 1u << 11,
};

// What the hint machinery asks a control (CM_HINTSHOW, lParam) and the
// application's OnShowHint may change.
struct THintInfo {
  TControl* HintControl = nullptr;
  const TMetaClass* HintWindowClass = nullptr;
  TPoint HintPos;          // screen
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  TRect CursorRect;        // client coordinates of HintControl
  TPoint CursorPos;        // client coordinates of HintControl
  int ReshowTimeout = 0;
  int HideTimeout = 0;
  AnsiString HintStr;
  void* HintData = nullptr;
};

using TMouseEvent = TEvent<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = TEvent<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = TEvent<void(TObject* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = TEvent<void(TObject* sender, char& key)>;
using TContextPopupEvent = TEvent<void(TObject* sender, TPoint mousePos, bool& handled)>;
using TCanResizeEvent = TEvent<void(TObject* sender, int& newWidth, int& newHeight, bool& resize)>;

// Drag and drop.
enum TDragMode : uint8_t { dmManual, dmAutomatic };
enum TDragState : uint8_t { dsDragEnter, dsDragLeave, dsDragMove };

// What is being dragged. The default one stands for the control that began
// the drag, and handlers are given that control as the source; a control's
// OnStartDrag may supply its own object, which handlers then get instead.
class TDragObject : public TObject {
  CL_CLASS(TDragObject, TObject)
public:
  TDragObject() = default;
  // Screen position of the mouse and the control under it.
  TPoint DragPos;
  TControl* DragTarget = nullptr;
  bool Cancelling = false;
};

class TDragControlObject : public TDragObject {
  CL_CLASS(TDragControlObject, TDragObject)
public:
  explicit TDragControlObject(TControl* control) : Control(control) {}
  TControl* Control;
};

using TStartDragEvent = TEvent<void(TObject* sender, TDragObject*& dragObject)>;
using TDragOverEvent = TEvent<void(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept)>;
using TDragDropEvent = TEvent<void(TObject* sender, TObject* source, int x, int y)>;
using TEndDragEvent = TEvent<void(TObject* sender, TObject* target, int x, int y)>;

// CM_DRAG: wParam one of these, lParam the TDragRec; the result of
// dmDragEnter/dmDragMove is non-zero when the control accepts the drop.
enum TDragMessage : uint8_t { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel };
struct TDragRec {
  TPoint Pos;  // screen
  TDragObject* Source;
};

TShiftState KeysToShiftState(WORD keys);
// The shift state of a key message's key data (Alt from bit 29) and the keyboard.
TShiftState KeyDataToShiftState(LPARAM keyData);
TShiftState KeyboardStateToShiftState();

// ---------------------------------------------------------------------------
// Message tables. A class that handles messages declares its table with
// CL_DECLARE_MESSAGE_MAP(TClass) in its body and defines it in its source:
//   CL_BEGIN_MESSAGE_MAP(TMyControl, TWinControl)
//     CL_MESSAGE(WM_PAINT, WMPaint)
//   CL_END_MESSAGE_MAP
// Handlers are void Handler(TMessage&). Inside one, InheritedMsg(&TBase::MessageMap,
// msg) runs the base classes' handling of the same message.

using TMsgHandler = void (TObject::*)(TMessage&);
struct TMsgEntry {
  UINT Msg;
  TMsgHandler Handler;  // null ends the table
};
struct TMsgMap {
  const TMsgMap* Parent;
  const TMsgEntry* Entries;
};
// The handler for msg in map or its parents; null when none.
TMsgHandler FindMessageHandler(const TMsgMap* map, UINT msg);

#define CL_DECLARE_MESSAGE_MAP(TClass)                              \
 protected:                                                         \
  using MsgMapClass = TClass;                                       \
  static const TMsgEntry MessageEntries[];                          \
                                                                    \
 public:                                                            \
  static const TMsgMap MessageMap;                                  \
  const TMsgMap* GetMessageMap() const override { return &MessageMap; }

#define CL_BEGIN_MESSAGE_MAP(TClass, TBase)                                      \
  const TMsgMap TClass::MessageMap = {&TBase::MessageMap, TClass::MessageEntries}; \
  const TMsgEntry TClass::MessageEntries[] = {
#define CL_MESSAGE(msg, handler) {(msg), static_cast<TMsgHandler>(&MsgMapClass::handler)},
#define CL_END_MESSAGE_MAP \
  { 0, nullptr }           \
  }                        \
  ;

// ---------------------------------------------------------------------------
// Process-wide lookups.

// The control whose window is being created; InitWndProc binds the first
// message's window to it and clears it.
extern TWinControl* CreationControl;
// The two window properties under which a window's control is found.
extern ATOM WindowAtom;
extern ATOM ControlAtom;
// The first window procedure of every library window class.
LRESULT CALLBACK InitWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The control of a window of this process; null for 0, foreign windows and
// windows without one.
TWinControl* FindControl(HWND wnd);
// The library control of the window under a screen point (a window's child
// window that is not a control counts as the control's).
TWinControl* FindLibraryWindow(const TPoint& pos);
// The innermost control under a screen point, windowless controls included.
TControl* FindDragTarget(const TPoint& pos, bool allowDisabled);
// A control going away leaves the drag: as its source it cancels it.
void DragControlGone(TControl* control);
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);

// Accelerators: "&File" has the hot key 'F'; "&&" is a plain '&'.
bool IsAccel(WORD key, const AnsiString& caption);
AnsiString GetHotkey(const AnsiString& caption);
AnsiString StripHotkey(const AnsiString& caption);
// The text before / after the first '|' (the whole text when there is none).
AnsiString GetShortHint(const AnsiString& hint);
AnsiString GetLongHint(const AnsiString& hint);
// The first non-empty Hint of the control and its parents.
AnsiString GetControlHint(TControl* control);

// Calls the window's default procedure for a message sent to a window that is
// not (or no longer) a library window's.
void DefaultMessageHandler(HWND wnd, TMessage& message);

// ---------------------------------------------------------------------------
// TControl.

class TControl : public TComponent {
  CL_CLASS(TControl, TComponent)
protected:
  using MsgMapClass = TControl;
  static const TMsgEntry MessageEntries[];

public:
  static const TMsgMap MessageMap;
  virtual const TMsgMap* GetMessageMap() const { return &MessageMap; }

  explicit TControl(TComponent* owner);
  ~TControl() override;

  // --- place and size
  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* value);
  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return TRect(FLeft, FTop, FLeft + FWidth, FTop + FHeight); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.left, r.top, r.Width(), r.Height()); }
  virtual TRect GetClientRect();
  TRect ClientRect() { return GetClientRect(); }
  int ClientWidth() { return GetClientRect().Width(); }
  int ClientHeight() { return GetClientRect().Height(); }
  void SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
  void SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }
  virtual void SetClientSize(int width, int height);
  // Screen position of the client area's top-left corner.
  virtual TPoint ClientOrigin();
  TPoint ClientToScreen(const TPoint& p);
  TPoint ScreenToClient(const TPoint& p);
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign value);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors value);
  bool AutoSize() const { return FAutoSize; }
  virtual void SetAutoSize(bool value);
  void BringToFront() { SetZOrder(true); }
  void SendToBack() { SetZOrder(false); }

  // --- state
  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool value);
  void Show();
  void Hide() { SetVisible(false); }
  // --- docking: the site the control is docked on (null when none).
  TWinControl* HostDockSite() const { return FHostDockSite; }
  // Leaves the present site and docks on newDockSite beside dropControl on
  // the side align names; null only undocks (the control loses its parent).
  // False when newDockSite is not a dock site.
  bool ManualDock(TWinControl* newDockSite, TControl* dropControl = nullptr, TAlign align = alNone);
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool value);
  // Caption and Text are one property; it always travels as WM_GETTEXT /
  // WM_SETTEXT through WindowProc, so whoever hooks the chain sees it.
  AnsiString Caption() { return GetText(); }
  void SetCaption(const AnsiString& value) { SetText(value); }
  AnsiString Text() { return GetText(); }
  void SetText(const AnsiString& value);
  AnsiString GetText();
  int GetTextLen();
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& value);
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool value);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool value);
  TFont* Font() const { return FFont; }
  void SetFont(TFont* value);
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool value);
  TColor Color() const { return FColor; }
  void SetColor(TColor value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool value);
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor value);
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* value);
  TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle value) { FControlStyle = value; }
  TControlState ControlState() const { return FControlState; }
  void SetControlState(TControlState value) { FControlState = value; }
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int value) { FHelpContext = value; }
  bool MouseCapture();
  void SetMouseCapture(bool value);

  // The program runs left to right only.
  TBiDiMode BiDiMode() const { return FBiDiMode; }
  void SetBiDiMode(TBiDiMode value);
  bool ParentBiDiMode() const { return FParentBiDiMode; }
  void SetParentBiDiMode(bool value) { FParentBiDiMode = value; }
  bool IsRightToLeft() const { return false; }
  bool UseRightToLeftAlignment() const { return false; }
  bool UseRightToLeftReading() const { return false; }
  bool UseRightToLeftScrollBar() const { return false; }
  int DrawTextBiDiModeFlags(int flags) const { return flags; }
  int DrawTextBiDiModeFlagsReadingOnly() const { return 0; }

  // --- messages
  // Builds a message and sends it through WindowProc; returns its result.
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  TWndMethod WindowProc() const { return FWindowProc; }
  void SetWindowProc(TWndMethod value) { FWindowProc = value; }
  virtual void WndProc(TMessage& message);
  // The message tables from this class up; DefaultHandler when none handles it.
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message);
  // The handling of msg from the table map upwards (the base classes' handler).
  void InheritedMsg(const TMsgMap* map, TMessage& message);

  // --- actions
  TBasicAction* Action() const;
  void SetAction(TBasicAction* value);
  TBasicActionLink* ActionLink() const { return FActionLink; }
  virtual void InitiateAction();

  // --- painting
  virtual void Invalidate();
  virtual void Update();
  virtual void Repaint();
  void Refresh() { Repaint(); }

  virtual void Click();
  virtual void DblClick();

  bool HasParent() override { return true; }
  TComponent* GetParentComponent() override;
  void SetParentComponent(TComponent* value) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TContextPopupEvent OnContextPopup;
  TCanResizeEvent OnCanResize;
  TStartDragEvent OnStartDrag;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;

  // --- drag and drop: with dmAutomatic a left press begins a drag once the
  // mouse has moved a few pixels.
  TDragMode DragMode() const { return FDragMode; }
  void SetDragMode(TDragMode value) { FDragMode = value; }
  // Begins dragging this control: at once, or after the mouse moved threshold
  // pixels (-1: the system's drag distance) with the left button down.
  void BeginDrag(bool immediate, int threshold = -1);
  // Ends the drag of this control: dropped where the mouse is, or cancelled.
  void EndDrag(bool drop);
  bool Dragging() const;
  // Whether a drag of source may be dropped here (OnDragOver; without one, no).
  virtual void DragOver(TObject* source, int x, int y, TDragState state, bool& accept);
  virtual void DragDrop(TObject* source, int x, int y);
  // OnStartDrag (may supply the drag object) and OnEndDrag (target null when
  // nothing took the drop).
  virtual void DoStartDrag(TDragObject*& dragObject);
  virtual void DoEndDrag(TObject* target, int x, int y);

  // OnClick as a property: links compare it with their action's OnExecute.
  TNotifyEvent GetOnClick() const { return OnClick; }
  void SetOnClick(TNotifyEvent value) { OnClick = value; }

  // Seams the Unicode layer calls from outside the class as well.
  // The action's values into the control; with checkDefaults only where the
  // control's value is still its default.
  virtual void ActionChange(TObject* sender, bool checkDefaults);
  virtual const TMetaClass* GetActionLinkClass();
  virtual void AdjustSize();

protected:
  friend class TWinControl;
  friend class TControlActionLink;
  friend class TCustomForm;
  friend class TApplication;

  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DoContextPopup(const TPoint& mousePos, bool& handled);
  virtual void FontChanged(TObject* sender);
  virtual bool CanAutoSize(int& newWidth, int& newHeight);
  virtual bool CanResize(int& newWidth, int& newHeight);
  virtual void Resize();
  virtual void RequestAlign();
  virtual void SetZOrder(bool topMost);
  virtual void VisibleChanging() {}
  virtual void Changed();
  virtual TPopupMenu* GetPopupMenu() { return FPopupMenu; }
  // True when the control's own size rules accept the size (and may adjust it).
  bool CheckNewSize(int& newWidth, int& newHeight);
  void UpdateAnchorRules();
  void DoActionChange(TObject* sender);
  void InvalidateControl(bool isVisible, bool isOpaque);

  // --- handlers
  void WMLButtonDown(TMessage& m);
  void WMLButtonDblClk(TMessage& m);
  void WMLButtonUp(TMessage& m);
  void WMRButtonDown(TMessage& m);
  void WMRButtonDblClk(TMessage& m);
  void WMRButtonUp(TMessage& m);
  void WMMButtonDown(TMessage& m);
  void WMMButtonUp(TMessage& m);
  void WMMouseMove(TMessage& m);
  void WMContextMenu(TMessage& m);
  void WMCancelMode(TMessage& m);
  void WMWindowPosChanged(TMessage& m);
  void CMVisibleChanged(TMessage& m);
  void CMEnabledChanged(TMessage& m);
  void CMFontChanged(TMessage& m);
  void CMColorChanged(TMessage& m);
  void CMParentFontChanged(TMessage& m);
  void CMParentColorChanged(TMessage& m);
  void CMParentShowHintChanged(TMessage& m);
  void CMHintShow(TMessage& m);
  void CMHitTest(TMessage& m);
  void CMMouseEnter(TMessage& m);
  void CMMouseLeave(TMessage& m);

  void DoMouseDown(TMessage& m, TMouseButton button, TShiftState extra);
  void DoMouseUp(TMessage& m, TMouseButton button);

  // Tells the dock site this control is docked on that it handled message.
  void SendDockNotification(UINT msg, WPARAM wParam, LPARAM lParam);
  void CMDrag(TMessage& m);
  // Whether a left press of an automatic-drag control begins a drag; a
  // control whose window detects drags itself says no and begins it when the
  // window reports one.
  virtual bool BeginsDragOnPress() { return true; }
  // The mouse messages of the control being dragged: moves find targets,
  // the left button's release drops, anything that ends the capture cancels.
  bool DragMouseMessage(TMessage& message);
  TDragMode FDragMode = dmManual;

  TWinControl* FParent = nullptr;
  TWinControl* FHostDockSite = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  AnsiString FText;
  AnsiString FHint;
  TFont* FFont = nullptr;
  TColor FColor = clWindow;
  TCursor FCursor = crDefault;
  TPopupMenu* FPopupMenu = nullptr;
  TControlStyle FControlStyle;
  TControlState FControlState = 0;
  TAlign FAlign = alNone;
  TAnchors FAnchors = akLeft | akTop;
  TBiDiMode FBiDiMode = bdLeftToRight;
  bool FVisible = true;
  bool FEnabled = true;
  bool FShowHint = false;
  bool FParentShowHint = true;
  bool FParentFont = true;
  bool FParentColor = true;
  bool FParentBiDiMode = true;
  bool FAutoSize = false;
  bool FAnchorMove = false;
  int FHelpContext = 0;
  TPoint FAnchorRules;
  TPoint FOriginalParentSize;
  TWndMethod FWindowProc;
  TBasicActionLink* FActionLink = nullptr;
};

// ---------------------------------------------------------------------------
// TWinControl: a control with its own window.

class TWinControl : public TControl {
  CL_CLASS(TWinControl, TControl)
  CL_DECLARE_MESSAGE_MAP(TWinControl)
public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // --- the window
  // The window, created on demand (with the parents' windows).
  HWND Handle() { HandleNeeded(); return FHandle; }
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded();
  // The raw handle field, for code that manages the window itself.
  HWND WindowHandle() const { return FHandle; }
  void SetWindowHandle(HWND value) { FHandle = value; }
  // The procedure DefWndProc calls (the system class's for subclassed controls).
  WNDPROC DefWndProcPtr() const { return FDefWndProc; }
  void SetDefWndProcPtr(WNDPROC value) { FDefWndProc = value; }
  // The thunk of MainWndProc: the window procedure of the control's window.
  WNDPROC ObjectInstance() const { return FObjectInstance; }
  // Called by the window (through the thunk) for every message: WindowProc
  // inside the exception guard; after WM_NCDESTROY the window properties and
  // the handle are cleared.
  void MainWndProc(TMessage& message);
  // The text kept while there is no window.
  const AnsiString& CachedText() const { return FText; }
  void SetCachedText(const AnsiString& value) { FText = value; }
  void ClearCachedText() { FText = AnsiString(); }
  HWND ParentWindow() const { return FParentWindow; }
  void SetParentWindow(HWND value);
  bool Showing() const { return FShowing; }
  void RecreateWnd();
  void UpdateControlState();
  void CreateHandle();
  // Destroys the windows of the children first, then its own.
  void DestroyHandle();
  void CreateSubClass(TCreateParams& params, const char* controlClassName);
  virtual void DefWndProc(TMessage& message);
  // The window's making and unmaking, in the order CreateHandle and
  // DestroyHandle call them; public so that code outside the class (the
  // Unicode layer's re-creation) can run them too.
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& params);
  virtual void DestroyWnd();
  virtual void DestroyWindowHandle();
  // Focus bookkeeping and the routing of mouse messages to windowless
  // children, before the message tables.
  void WndProc(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;

  // --- children
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int index) const { return FControls[index]; }
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  bool ContainsControl(TControl* control);
  TControl* ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls = false);
  // Sends the message to each child until one answers with a non-zero result.
  void Broadcast(TMessage& message);
  void NotifyControls(UINT msg);
  void Realign();
  void DisableAlign() { ++FAlignLevel; }
  void EnableAlign();
  virtual void PaintWindow(HDC dc);
  void PaintControls(HDC dc, TControl* first);
  void PaintHandler(TMessage& message);
  TBrush* Brush() const { return FBrush; }
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool value);
  bool ParentCtl3D() const { return FParentCtl3D; }
  void SetParentCtl3D(bool value) { FParentCtl3D = value; }
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int value);

  // --- docking: whether controls may dock here and whether a dock manager
  // arranges them; the control owns the manager CreateDockManager gives.
  bool DockSite() const { return FDockSite; }
  void SetDockSite(bool value);
  bool UseDockManager() const { return FUseDockManager; }
  void SetUseDockManager(bool value);
  TDockManager* DockManager() const { return FDockManager; }
  int DockClientCount() const { return static_cast<int>(FDockClients.size()); }
  TControl* DockClients(int index) const { return FDockClients[index]; }
  // Makes the child visible; a container that shows one child at a time (a
  // page control) brings the child's page forward first.
  virtual void ShowControl(TControl* control);

  // --- focus and keys
  virtual void SetFocus();
  virtual bool CanFocus();
  bool Focused();
  int TabOrder();
  void SetTabOrder(int value);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool value);
  void SelectFirst();
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent);
  void GetTabOrderList(TList* list);

  TRect GetClientRect() override;
  TPoint ClientOrigin() override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetParent(TWinControl* value) override;
  void Invalidate() override;
  void Update() override;
  void Repaint() override;
  void Loaded() override;

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

protected:
  friend class TControl;
  friend class TCustomForm;
  friend class TApplication;
  friend LRESULT CALLBACK InitWndProc(HWND, UINT, WPARAM, LPARAM);

  virtual void AlignControls(TControl* control, TRect& rect);
  virtual void AdjustClientRect(TRect& rect);
  virtual void AlignControl(TControl* control);
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(char& key);
  bool DoKeyDown(TMessage& message);
  bool DoKeyUp(TMessage& message);
  bool DoKeyPress(TMessage& message);
  virtual void DoEnter();
  virtual void DoExit();
  virtual void UpdateShowing();
  void UpdateBounds();
  void SetZOrder(bool topMost) override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  const TMetaClass* GetActionLinkClass() override;
  void FontChanged(TObject* sender) override;
  bool IsControlMouseMsg(TMessage& message);
  bool IsMenuKey(TMessage& message);
  // The window that comes before control's window among the siblings.
  HWND PrecedingWindow(TWinControl* control);
  // The manager of a dock site that uses one: the existing one by default.
  virtual TDockManager* CreateDockManager();
  void UpdateDockManager();
  // The client joins the site (becomes its child, placed in rect given in
  // screen coordinates) / leaves it.
  virtual void DoAddDockClient(TControl* client, const TRect& rect);
  virtual void DoRemoveDockClient(TControl* client);
  void CMDockClient(TMessage& m);
  void CMUnDockClient(TMessage& m);
  // Sends the notification to the library control of the window as msg; false
  // when the window is not a library control's.
  bool ReflectToChild(HWND child, UINT msg, TMessage& m);
  void ReadState(TReader* reader) override;

  // --- handlers
  void WMPaint(TMessage& m);
  void WMPrint(TMessage& m);
  void WMPrintClient(TMessage& m);
  void WMEraseBkgnd(TMessage& m);
  void WMCommand(TMessage& m);
  void WMNotify(TMessage& m);
  void WMNotifyFormat(TMessage& m);
  void WMDrawItem(TMessage& m);
  void WMMeasureItem(TMessage& m);
  void WMDeleteItem(TMessage& m);
  void WMCompareItem(TMessage& m);
  void WMHScroll(TMessage& m);
  void WMVScroll(TMessage& m);
  void WMSetCursor(TMessage& m);
  void WMSetFocus(TMessage& m);
  void WMKillFocus(TMessage& m);
  void WMSize(TMessage& m);
  void WMMove(TMessage& m);
  void WMWindowPosChanged(TMessage& m);
  void WMKeyDown(TMessage& m);
  void WMKeyUp(TMessage& m);
  void WMChar(TMessage& m);
  void WMSysKeyDown(TMessage& m);
  void WMSysKeyUp(TMessage& m);
  void WMSysChar(TMessage& m);
  void WMContextMenu(TMessage& m);
  void WMDestroy(TMessage& m);
  void WMNCDestroy(TMessage& m);
  void CNKeyDown(TMessage& m);
  void CNKeyUp(TMessage& m);
  void CNChar(TMessage& m);
  void CNSysKeyDown(TMessage& m);
  void CNSysChar(TMessage& m);
  void CMShowingChanged(TMessage& m);
  void CMVisibleChanged(TMessage& m);
  void CMEnabledChanged(TMessage& m);
  void CMFontChanged(TMessage& m);
  void CMColorChanged(TMessage& m);
  void CMParentCtl3DChanged(TMessage& m);
  void CMRecreateWnd(TMessage& m);
  void CMDialogKey(TMessage& m);
  void CMDialogChar(TMessage& m);
  void CMFocusChanged(TMessage& m);
  void CMEnter(TMessage& m);
  void CMExit(TMessage& m);
  void CMSysColorChange(TMessage& m);
  void CMShowHintChanged(TMessage& m);
  void CMBiDiModeChanged(TMessage& m);

  HWND FHandle = nullptr;
  HWND FParentWindow = nullptr;
  WNDPROC FDefWndProc = nullptr;
  WNDPROC FObjectInstance = nullptr;
  std::vector<TControl*> FControls;     // windowless and windowed, in z-order (bottom first)
  std::vector<TWinControl*> FTabList;   // windowed children in tab order
  TBrush* FBrush = nullptr;
  int FAlignLevel = 0;
  int FBorderWidth = 0;
  bool FShowing = false;
  bool FTabStop = false;
  bool FCtl3D = true;
  bool FParentCtl3D = true;
  bool FDockSite = false;
  bool FUseDockManager = false;
  TDockManager* FDockManager = nullptr;
  std::vector<TControl*> FDockClients;
  TPoint FDesignSize;
};

// A windowless control drawn on its parent's window.
class TGraphicControl : public TControl {
  CL_CLASS(TGraphicControl, TControl)
  CL_DECLARE_MESSAGE_MAP(TGraphicControl)
public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const;

protected:
  virtual void Paint() {}
  void WMPaint(TMessage& m);
  TControlCanvas* FCanvas;
};

// A windowed control that paints itself on its canvas.
class TCustomControl : public TWinControl {
  CL_CLASS(TCustomControl, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TCustomControl)
public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TCanvas* Canvas() const;

protected:
  virtual void Paint() {}
  void PaintWindow(HDC dc) override;
  void WMPaint(TMessage& m);
  TControlCanvas* FCanvas;
};

// The canvas of a control: a device context of its window, or of its parent's
// window moved and clipped to the control when it has none of its own.
class TControlCanvas : public TCanvas {
  CL_CLASS(TControlCanvas, TCanvas)
public:
  TControlCanvas() = default;
  ~TControlCanvas() override;
  TControl* Control() const { return FControl; }
  void SetControl(TControl* value);
  // Gives the device context back (done at idle and when the window goes).
  void FreeHandle();
  // Paints on a device context the caller owns (WM_PAINT) until EndPaintDC.
  void BeginPaintDC(HDC dc);
  void EndPaintDC();
  // Runs paint with the canvas on dc, giving the DC back however it ends.
  template <class F> void PaintOnDC(HDC dc, F&& paint) {
    BeginPaintDC(dc);
    try {
      paint();
    } catch (...) {
      EndPaintDC();
      throw;
    }
    EndPaintDC();
  }
  // Frees the device contexts of every unlocked control canvas.
  static void FreeDeviceContexts();
  // Frees those that belong to the window.
  static void FreeDeviceContext(HWND wnd);

protected:
  void CreateHandle() override;

private:
  TControl* FControl = nullptr;
  HDC FDeviceContext = nullptr;
  HWND FWindowHandle = nullptr;
};

// ---------------------------------------------------------------------------
// Action links of controls.

class TControlActionLink : public TClientActionLink<TControl> {
  CL_CLASS(TControlActionLink, TActionLink)
public:
  using TClientActionLink<TControl>::TClientActionLink;
};

class TWinControlActionLink : public TControlActionLink {
  CL_CLASS(TWinControlActionLink, TControlActionLink)
public:
  using TControlActionLink::TControlActionLink;
  bool IsHelpContextLinked() override;
  void SetHelpContext(int value) override;
};

// ---------------------------------------------------------------------------
// The hint window: a bordered top-most popup painted with the hint colour.

class THintWindow : public TCustomControl {
  CL_CLASS(THintWindow, TCustomControl)
  CL_DECLARE_MESSAGE_MAP(THintWindow)
public:
  explicit THintWindow(TComponent* owner);
  virtual void ActivateHint(const TRect& rect, const AnsiString& hint);
  virtual void ActivateHintData(const TRect& rect, const AnsiString& hint, void* data);
  // The size the text needs, at most maxWidth wide (several lines when longer).
  virtual TRect CalcHintRect(int maxWidth, const AnsiString& hint, void* data);
  // Hides the window (its handle goes).
  void ReleaseHandle();
  // A message that ends a shown hint (keys, buttons, commands, activation).
  virtual bool IsHintMsg(const MSG& msg);

protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void WMNCHitTest(TMessage& m);
  void CMTextChanged(TMessage& m);
};

// The hint window class the application makes its hint window from;
// replaceable before the first hint.
extern const TMetaClass* HintWindowClass;

// The form a control sits on (null when its top parent is not a form).
TCustomForm* GetParentForm(TControl* control);
// The same, raising EInvalidOperation "Control '%s' has no parent window" when none.
TCustomForm* ValidParentForm(TControl* control);

// Registers a public event field (OnClick and the like) as a layout property
// of cls, so that a layout can bind it to a handler by name.
template <class C, class E> void RegisterEventField(const TMetaClass* cls, const char* name, E C::*field) {
  TPropInfo info;
  info.Owner = cls;
  info.Name = name;
  info.Type = TPropType(pkEvent);
  info.Signature = filer_detail::SignatureOf<E>();
  info.Set = [field](TObject* obj, const TPropValue& v) {
    static_cast<C*>(obj)->*field = filer_detail::FromValue<E>(v);
  };
  info.Get = [field](TObject* obj) { return filer_detail::ToValue<E>(static_cast<C*>(obj)->*field); };
  filer_detail::AddProperty(std::move(info));
}

// The cursor identifiers of layouts (crHandPoint) and their values.
TPropType CursorPropType();

void UnitInit_controls();
void UnitFini_controls();
