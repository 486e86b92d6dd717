#include "controls.h"

#include "filer.h"
#include "forms.h"
#include "menus.h"

#include <algorithm>
#include <cstring>

TWinControl* CreationControl = nullptr;
ATOM WindowAtom = 0;
ATOM ControlAtom = 0;
const TMetaClass* HintWindowClass = nullptr;

namespace {

TControl* CaptureControl = nullptr;
TList* CanvasList = nullptr;

const char SControlHasNoParent[] = "Control '%s' has no parent window";
const char SCannotFocus[] = "Cannot focus a disabled or invisible window";

// Runs f with the parent's alignment held off, and realigns afterwards when a
// request came in meanwhile; also on the way out of an exception.
class TAlignLock {
public:
  explicit TAlignLock(TWinControl* c) : FControl(c) { FControl->DisableAlign(); }
  ~TAlignLock() { FControl->EnableAlign(); }
  TAlignLock(const TAlignLock&) = delete;
  TAlignLock& operator=(const TAlignLock&) = delete;

private:
  TWinControl* FControl;
};

bool IsMouseMessage(UINT msg) { return msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && msg != WM_MOUSEWHEEL; }
// The messages a drag under way takes before the control does.
bool IsDragEndingMessage(UINT msg) { return IsMouseMessage(msg) || msg == WM_CAPTURECHANGED || msg == WM_CANCELMODE; }

}  // namespace

// ===========================================================================
// Helpers

TShiftState KeysToShiftState(WORD keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (keyData & 0x20000000) s |= ssAlt;
  return s;
}

TShiftState KeyboardStateToShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  if (GetKeyState(VK_LBUTTON) < 0) s |= ssLeft;
  if (GetKeyState(VK_RBUTTON) < 0) s |= ssRight;
  if (GetKeyState(VK_MBUTTON) < 0) s |= ssMiddle;
  return s;
}

TMsgHandler FindMessageHandler(const TMsgMap* map, UINT msg) {
  for (; map; map = map->Parent)
    for (const TMsgEntry* e = map->Entries; e && e->Handler; ++e)
      if (e->Msg == msg) return e->Handler;
  return nullptr;
}

AnsiString GetHotkey(const AnsiString& caption) {
  // The last single '&' before a character marks the hot key; "&&" is a plain '&'.
  int pos = 0;
  int n = caption.Length();
  for (int i = 1; i <= n; ++i) {
    if (caption[i] == '&' && i < n) {
      ++i;
      if (caption[i] != '&') pos = i;
    }
  }
  return pos ? AnsiString(caption[pos]) : AnsiString();
}

AnsiString StripHotkey(const AnsiString& caption) {
  AnsiString r;
  int n = caption.Length();
  for (int i = 1; i <= n; ++i) {
    if (caption[i] == '&') {
      if (i < n && caption[i + 1] == '&') {
        r += '&';
        ++i;
      }
      continue;
    }
    r += caption[i];
  }
  return r;
}

bool IsAccel(WORD key, const AnsiString& caption) {
  AnsiString hot = GetHotkey(caption);
  if (hot.IsEmpty()) return false;
  AnsiString k(static_cast<char>(key));
  return AnsiSameText(hot, k);
}

AnsiString GetShortHint(const AnsiString& hint) {
  int p = hint.Pos("|");
  return p ? hint.SubString(1, p - 1) : hint;
}

AnsiString GetLongHint(const AnsiString& hint) {
  int p = hint.Pos("|");
  return p ? hint.SubString(p + 1, hint.Length() - p) : hint;
}

AnsiString GetControlHint(TControl* control) {
  for (; control; control = control->Parent())
    if (!control->Hint().IsEmpty()) return control->Hint();
  return AnsiString();
}

void DefaultMessageHandler(HWND wnd, TMessage& message) {
  message.Result = DefWindowProcA(wnd, message.Msg, message.WParam, message.LParam);
}

namespace {
// Under Wine GetPropA asks the server (tens of microseconds), and every
// reflected notification asks it: a list view being filled pays it per row.
// The windows found are remembered until they go (WM_NCDESTROY, or their
// control is destroyed).
struct TControlCacheEntry {
  HWND Wnd;
  TWinControl* Control;
};
TControlCacheEntry ControlCache[256];
TControlCacheEntry& ControlCacheEntry(HWND wnd) {
  return ControlCache[(reinterpret_cast<uintptr_t>(wnd) >> 2) & 255];
}
void ForgetControlWindow(HWND wnd) {
  TControlCacheEntry& e = ControlCacheEntry(wnd);
  if (e.Wnd == wnd) e = TControlCacheEntry{};
}
void ForgetControl(TWinControl* control) {
  for (TControlCacheEntry& e : ControlCache)
    if (e.Control == control) e = TControlCacheEntry{};
}
}  // namespace

TWinControl* FindControl(HWND wnd) {
  if (!wnd || !ControlAtom) return nullptr;
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (pid != GetCurrentProcessId()) return nullptr;
  TControlCacheEntry& e = ControlCacheEntry(wnd);
  if (e.Wnd == wnd) return e.Control;
  auto* control = static_cast<TWinControl*>(GetPropA(wnd, MAKEINTATOM(ControlAtom)));
  if (control) e = TControlCacheEntry{wnd, control};
  return control;
}

TWinControl* FindLibraryWindow(const TPoint& pos) {
  HWND wnd = WindowFromPoint(pos);
  while (wnd) {
    if (TWinControl* c = FindControl(wnd)) return c;
    wnd = GetParent(wnd);
  }
  return nullptr;
}

TControl* FindDragTarget(const TPoint& pos, bool allowDisabled) {
  TWinControl* window = FindLibraryWindow(pos);
  if (!window) return nullptr;
  TControl* control = window->ControlAtPos(window->ScreenToClient(pos), allowDisabled);
  return control ? control : window;
}

TControl* GetCaptureControl() {
  TWinControl* w = FindControl(GetCapture());
  if (w && CaptureControl && CaptureControl->Parent() == w) return CaptureControl;
  return w;
}

void SetCaptureControl(TControl* control) {
  ReleaseCapture();
  CaptureControl = nullptr;
  if (!control) return;
  if (!control->Is<TWinControl>()) {
    if (!control->Parent()) return;
    CaptureControl = control;
    control = control->Parent();
  }
  SetCapture(static_cast<TWinControl*>(control)->Handle());
}

TCustomForm* GetParentForm(TControl* control) {
  if (!control) return nullptr;
  while (control->Parent()) control = control->Parent();
  return control->Is<TCustomForm>() ? static_cast<TCustomForm*>(control) : nullptr;
}

TCustomForm* ValidParentForm(TControl* control) {
  TCustomForm* form = GetParentForm(control);
  if (!form) throw EInvalidOperation(Format(SControlHasNoParent, {control ? control->Name() : AnsiString()}));
  return form;
}

LRESULT CALLBACK InitWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* control = CreationControl;
  if (!control) return DefWindowProcA(wnd, msg, wParam, lParam);
  CreationControl = nullptr;
  control->FHandle = wnd;
  SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control->ObjectInstance()));
  if ((GetWindowLongA(wnd, GWL_STYLE) & WS_CHILD) && GetWindowLongA(wnd, GWL_ID) == 0)
    SetWindowLongPtrA(wnd, GWLP_ID, reinterpret_cast<LONG_PTR>(wnd));
  SetPropA(wnd, MAKEINTATOM(ControlAtom), control);
  SetPropA(wnd, MAKEINTATOM(WindowAtom), control);
  ForgetControlWindow(wnd);
  return CallWindowProcA(control->ObjectInstance(), wnd, msg, wParam, lParam);
}

// ===========================================================================
// TControl

CL_DEFINE_CLASS(TControl, TComponent)

const TMsgMap TControl::MessageMap = {nullptr, TControl::MessageEntries};
const TMsgEntry TControl::MessageEntries[] = {
    CL_MESSAGE(CM_DRAG, CMDrag)
    CL_MESSAGE(WM_LBUTTONDOWN, WMLButtonDown)
    CL_MESSAGE(WM_LBUTTONDBLCLK, WMLButtonDblClk)
    CL_MESSAGE(WM_LBUTTONUP, WMLButtonUp)
    CL_MESSAGE(WM_RBUTTONDOWN, WMRButtonDown)
    CL_MESSAGE(WM_RBUTTONDBLCLK, WMRButtonDblClk)
    CL_MESSAGE(WM_RBUTTONUP, WMRButtonUp)
    CL_MESSAGE(WM_MBUTTONDOWN, WMMButtonDown)
    CL_MESSAGE(WM_MBUTTONUP, WMMButtonUp)
    CL_MESSAGE(WM_MOUSEMOVE, WMMouseMove)
    CL_MESSAGE(WM_CONTEXTMENU, WMContextMenu)
    CL_MESSAGE(WM_CANCELMODE, WMCancelMode)
    CL_MESSAGE(CM_VISIBLECHANGED, CMVisibleChanged)
    CL_MESSAGE(CM_ENABLEDCHANGED, CMEnabledChanged)
    CL_MESSAGE(CM_FONTCHANGED, CMFontChanged)
    CL_MESSAGE(CM_COLORCHANGED, CMColorChanged)
    CL_MESSAGE(CM_PARENTFONTCHANGED, CMParentFontChanged)
    CL_MESSAGE(CM_PARENTCOLORCHANGED, CMParentColorChanged)
    CL_MESSAGE(CM_PARENTSHOWHINTCHANGED, CMParentShowHintChanged)
    CL_MESSAGE(CM_HINTSHOW, CMHintShow)
    CL_MESSAGE(CM_HITTEST, CMHitTest)
    CL_MESSAGE(CM_MOUSEENTER, CMMouseEnter)
    CL_MESSAGE(CM_MOUSELEAVE, CMMouseLeave)
    CL_END_MESSAGE_MAP

TControl::TControl(TComponent* owner) : TComponent(owner) {
  FWindowProc = MakeEvent<&TControl::WndProc>(this);
  FControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  FFont = new TFont();
  FFont->OnChange = MakeEvent<&TControl::FontChanged>(this);
}

TControl::~TControl() {
  Destroying();
  if (Application) Application->ControlDestroyed(this);
  DragControlGone(this);
  if (CaptureControl == this) SetCaptureControl(nullptr);
  if (FHostDockSite) ManualDock(nullptr);
  if (FParent) FParent->RemoveControl(this);
  delete FActionLink;
  FActionLink = nullptr;
  delete FFont;
  FFont = nullptr;
}

void TControl::SetParent(TWinControl* value) {
  if (FParent == value) return;
  if (value == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (FParent) FParent->RemoveControl(this);
  if (value) {
    value->InsertControl(this);
    UpdateAnchorRules();
  }
}

TComponent* TControl::GetParentComponent() { return FParent; }

void TControl::SetParentComponent(TComponent* value) {
  if (value && value->Is<TWinControl>()) SetParent(static_cast<TWinControl*>(value));
}

bool TControl::CanResize(int& newWidth, int& newHeight) {
  bool ok = true;
  if (OnCanResize) OnCanResize(this, newWidth, newHeight, ok);
  return ok;
}

bool TControl::CanAutoSize(int& newWidth, int& newHeight) {
  (void)newWidth;
  (void)newHeight;
  return true;
}

bool TControl::CheckNewSize(int& newWidth, int& newHeight) {
  int w = newWidth, h = newHeight;
  if (!CanResize(w, h)) return false;
  if (FAutoSize && !(ComponentState() & csLoading)) {
    int w2 = w, h2 = h;
    if (CanAutoSize(w2, h2)) {
      w = w2;
      h = h2;
    }
  }
  newWidth = w;
  newHeight = h;
  return true;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (!CheckNewSize(width, height)) return;
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  InvalidateControl(FVisible, false);
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  UpdateAnchorRules();
  Invalidate();
  RequestAlign();
  if (!(ComponentState() & csLoading)) Resize();
}

TRect TControl::GetClientRect() { return TRect(0, 0, FWidth, FHeight); }

void TControl::SetClientSize(int width, int height) {
  TRect client = GetClientRect();
  SetBounds(FLeft, FTop, FWidth - client.Width() + width, FHeight - client.Height() + height);
}

TPoint TControl::ClientOrigin() {
  if (!FParent) throw EInvalidOperation(Format(SControlHasNoParent, {Name()}));
  TPoint p = FParent->ClientOrigin();
  return TPoint(p.x + FLeft, p.y + FTop);
}

TPoint TControl::ClientToScreen(const TPoint& p) {
  TPoint o = ClientOrigin();
  return TPoint(p.x + o.x, p.y + o.y);
}

TPoint TControl::ScreenToClient(const TPoint& p) {
  TPoint o = ClientOrigin();
  return TPoint(p.x - o.x, p.y - o.y);
}

void TControl::SetAlign(TAlign value) {
  if (FAlign == value) return;
  TAlign old = FAlign;
  FAlign = value;
  FAnchors = akLeft | akTop;
  if (!(ComponentState() & csLoading) && old != alNone && value == alNone) {
    // An aligned control set free keeps its place; only the size the
    // alignment imposed is not undone.
    UpdateAnchorRules();
  }
  RequestAlign();
}

void TControl::SetAnchors(TAnchors value) {
  if (FAnchors == value) return;
  FAnchors = value;
  if (!(ComponentState() & csLoading)) UpdateAnchorRules();
}

void TControl::SetAutoSize(bool value) {
  if (FAutoSize == value) return;
  FAutoSize = value;
  if (value) AdjustSize();
}

void TControl::AdjustSize() {
  if (!(ComponentState() & csLoading)) SetBounds(FLeft, FTop, FWidth, FHeight);
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::RequestAlign() {
  if (FParent) FParent->AlignControl(this);
}

void TControl::UpdateAnchorRules() {
  if (FAnchorMove || (ComponentState() & csLoading)) return;
  if (FAnchors == (akLeft | akTop)) {
    FOriginalParentSize = TPoint(0, 0);
    return;
  }
  if (FAnchors & akRight)
    FAnchorRules.x = (FAnchors & akLeft) ? FWidth : FLeft;
  else
    FAnchorRules.x = FLeft + FWidth / 2;
  if (FAnchors & akBottom)
    FAnchorRules.y = (FAnchors & akTop) ? FHeight : FTop;
  else
    FAnchorRules.y = FTop + FHeight / 2;
  if (FParent) {
    TRect r = FParent->GetClientRect();
    FOriginalParentSize = TPoint(r.right, r.bottom);
  }
}

void TControl::SetZOrder(bool topMost) {
  if (!FParent) return;
  auto& list = FParent->FControls;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  if (topMost)
    list.push_back(this);
  else
    list.insert(list.begin(), this);
  InvalidateControl(FVisible, true);
}

void TControl::SetVisible(bool value) {
  if (FVisible == value) return;
  VisibleChanging();
  FVisible = value;
  Perform(CM_VISIBLECHANGED, value, 0);
  RequestAlign();
}

void TControl::Show() {
  if (FParent && !FParent->Visible() && !FParent->Is<TCustomForm>()) FParent->Show();
  SetVisible(true);
}

void TControl::SetEnabled(bool value) {
  if (FEnabled == value) return;
  FEnabled = value;
  Perform(CM_ENABLEDCHANGED);
}

int TControl::GetTextLen() { return static_cast<int>(Perform(WM_GETTEXTLENGTH)); }

AnsiString TControl::GetText() {
  int len = GetTextLen();
  if (len <= 0) return AnsiString();
  std::string buf(static_cast<size_t>(len) + 1, '\0');
  int n = static_cast<int>(Perform(WM_GETTEXT, static_cast<WPARAM>(len + 1), reinterpret_cast<LPARAM>(buf.data())));
  if (n < 0) n = 0;
  if (n > len) n = len;
  buf.resize(static_cast<size_t>(n));
  return AnsiString(std::move(buf));
}

void TControl::SetText(const AnsiString& value) {
  if (GetText() == value) return;
  Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
  Perform(CM_TEXTCHANGED);
}

void TControl::SetHint(const AnsiString& value) {
  if (FHint == value) return;
  FHint = value;
  if (Application && Application->HintControl() == this) Application->CancelHint();
}

void TControl::SetShowHint(bool value) {
  if (FShowHint == value) {
    FParentShowHint = false;
    return;
  }
  FShowHint = value;
  FParentShowHint = false;
  Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool value) {
  if (FParentShowHint == value) return;
  FParentShowHint = value;
  if (FParent && value && !(ComponentState() & csReading)) Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetFont(TFont* value) { FFont->Assign(value); }

void TControl::SetParentFont(bool value) {
  if (FParentFont == value) return;
  FParentFont = value;
  if (FParent && value && !(ComponentState() & csReading)) Perform(CM_PARENTFONTCHANGED);
}

void TControl::FontChanged(TObject* sender) {
  (void)sender;
  FParentFont = false;
  if (FAutoSize) AdjustSize();
  Perform(CM_FONTCHANGED);
}

void TControl::SetColor(TColor value) {
  if (FColor == value) {
    FParentColor = false;
    return;
  }
  FColor = value;
  FParentColor = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool value) {
  if (FParentColor == value) return;
  FParentColor = value;
  if (FParent && value && !(ComponentState() & csReading)) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::SetCursor(TCursor value) {
  if (FCursor == value) return;
  FCursor = value;
  Perform(CM_CURSORCHANGED);
  if (Application && Application->MouseControl() == this && Screen && Screen->Cursor() == crDefault &&
      value != crDefault)
    ::SetCursor(Screen->Cursors(value));
}

void TControl::SetPopupMenu(TPopupMenu* value) {
  if (FPopupMenu == value) return;
  if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = value;
  if (value) value->FreeNotification(this);
}

void TControl::SetBiDiMode(TBiDiMode value) {
  if (FBiDiMode == value) return;
  FBiDiMode = value;
  FParentBiDiMode = false;
  Perform(CM_BIDIMODECHANGED);
}

bool TControl::MouseCapture() { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool value) {
  if (MouseCapture() != value) SetCaptureControl(value ? this : nullptr);
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  TWndMethod proc = FWindowProc;
  proc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& message) {
  if (IsDragEndingMessage(message.Msg) && DragMouseMessage(message)) return;
  if (IsMouseMessage(message.Msg)) {
    if (!(FControlStyle & csDoubleClicks)) {
      switch (message.Msg) {
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
          message.Msg -= WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
          break;
      }
    }
    switch (message.Msg) {
      case WM_MOUSEMOVE:
        if (Application) Application->HintMouseMessage(this, message);
        break;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
        FControlState |= csLButtonDown;
        break;
      case WM_LBUTTONUP:
        FControlState &= ~csLButtonDown;
        break;
    }
  }
  Dispatch(message);
  // The site shows the client's caption (a page control's tab): it hears of
  // new texts and visibility after the client has them. The message is asked
  // first: a handler may have freed the control (a released form's
  // CM_RELEASE), and then nothing of it may be read.
  if ((message.Msg == WM_SETTEXT || message.Msg == CM_VISIBLECHANGED) && FHostDockSite)
    SendDockNotification(message.Msg, message.WParam, message.LParam);
}

void TControl::Dispatch(TMessage& message) {
  if (TMsgHandler h = FindMessageHandler(GetMessageMap(), message.Msg))
    (static_cast<TObject*>(this)->*h)(message);
  else
    DefaultHandler(message);
}

void TControl::InheritedMsg(const TMsgMap* map, TMessage& message) {
  if (TMsgHandler h = FindMessageHandler(map, message.Msg))
    (static_cast<TObject*>(this)->*h)(message);
  else
    DefaultHandler(message);
}

void TControl::DefaultHandler(TMessage& message) {
  switch (message.Msg) {
    case WM_GETTEXT: {
      int size = static_cast<int>(message.WParam);
      char* buf = reinterpret_cast<char*>(message.LParam);
      if (!buf || size <= 0) {
        message.Result = 0;
        break;
      }
      int n = std::min(FText.Length(), size - 1);
      if (n > 0) std::memcpy(buf, FText.c_str(), static_cast<size_t>(n));
      buf[n] = '\0';
      message.Result = n;
      break;
    }
    case WM_GETTEXTLENGTH:
      message.Result = FText.Length();
      break;
    case WM_SETTEXT: {
      const char* s = reinterpret_cast<const char*>(message.LParam);
      FText = AnsiString(s ? s : "");
      message.Result = 1;
      break;
    }
  }
}

TBasicAction* TControl::Action() const { return FActionLink ? FActionLink->Action() : nullptr; }

void TControl::SetAction(TBasicAction* value) {
  if (!value) {
    delete FActionLink;
    FActionLink = nullptr;
    FControlStyle &= ~csActionClient;
    return;
  }
  FControlStyle |= csActionClient;
  if (!FActionLink) FActionLink = CreateActionLink(GetActionLinkClass(), this);
  FActionLink->SetAction(value);
  FActionLink->OnChange = MakeEvent<&TControl::DoActionChange>(this);
  ActionChange(value, (value->ComponentState() & csLoading) != 0);
  value->FreeNotification(this);
}

void TControl::DoActionChange(TObject* sender) {
  if (sender == Action()) ActionChange(sender, false);
}

const TMetaClass* TControl::GetActionLinkClass() { return &TControlActionLink::Class; }

void TControl::ActionChange(TObject* sender, bool checkDefaults) {
  if (!sender || !sender->Is<TCustomAction>()) return;
  auto* a = static_cast<TCustomAction*>(sender);
  if (!checkDefaults || Caption().IsEmpty() || Caption() == Name()) SetCaption(a->Caption());
  if (!checkDefaults || FEnabled) SetEnabled(a->Enabled());
  if (!checkDefaults || FHint.IsEmpty()) SetHint(a->Hint());
  if (!checkDefaults || FVisible) SetVisible(a->Visible());
  if (!checkDefaults || !OnClick) OnClick = a->OnExecute;
}

void TControl::InitiateAction() {
  if (FActionLink) FActionLink->Update();
}

void TControl::InvalidateControl(bool isVisible, bool isOpaque) {
  if (!FParent || !FParent->HandleAllocated() || !isVisible) return;
  RECT r = BoundsRect();
  InvalidateRect(FParent->WindowHandle(), &r, !(isOpaque || (FControlStyle & csOpaque)));
}

void TControl::Invalidate() { InvalidateControl(FVisible, (FControlStyle & csOpaque) != 0); }

void TControl::Update() {
  if (FParent) FParent->Update();
}

void TControl::Repaint() {
  if (!FVisible || !FParent || !FParent->HandleAllocated()) return;
  Invalidate();
  UpdateWindow(FParent->WindowHandle());
}

void TControl::Click() {
  TBasicAction* action = Action();
  if (OnClick && action && OnClick != action->OnExecute)
    OnClick(this);
  else if (FActionLink)
    FActionLink->Execute(this);
  else if (OnClick)
    OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::Changed() { Perform(CM_CHANGED, 0, reinterpret_cast<LPARAM>(this)); }

void TControl::Loaded() {
  TComponent::Loaded();
  if (FParent) {
    if (FParentColor) {
      Perform(CM_PARENTCOLORCHANGED);
      FParentColor = true;
    }
    if (FParentFont) {
      Perform(CM_PARENTFONTCHANGED);
      FParentFont = true;
    }
    if (FParentShowHint) Perform(CM_PARENTSHOWHINTCHANGED);
  }
  UpdateAnchorRules();
  if (FActionLink) ActionChange(FActionLink->Action(), true);
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FPopupMenu) FPopupMenu = nullptr;
  if (FActionLink && component == FActionLink->Action()) SetAction(nullptr);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::DoContextPopup(const TPoint& mousePos, bool& handled) {
  if (OnContextPopup) OnContextPopup(this, mousePos, handled);
}

void TControl::DoMouseDown(TMessage& m, TMouseButton button, TShiftState extra) {
  if (FControlStyle & csNoStdEvents) return;
  MouseDown(button, KeysToShiftState(MouseKeys(m)) | extra, MouseX(m), MouseY(m));
}

void TControl::DoMouseUp(TMessage& m, TMouseButton button) {
  if (FControlStyle & csNoStdEvents) return;
  MouseUp(button, KeysToShiftState(MouseKeys(m)), MouseX(m), MouseY(m));
}

void TControl::WMLButtonDown(TMessage& m) {
  DefaultHandler(m);
  if (FControlStyle & csCaptureMouse) SetMouseCapture(true);
  if (FControlStyle & csClickEvents) FControlState |= csClicked;
  if (FDragMode == dmAutomatic && BeginsDragOnPress()) BeginDrag(false);
  DoMouseDown(m, mbLeft, 0);
}

void TControl::WMLButtonDblClk(TMessage& m) {
  DefaultHandler(m);
  if (FControlStyle & csCaptureMouse) SetMouseCapture(true);
  if (FControlStyle & csClickEvents) DblClick();
  DoMouseDown(m, mbLeft, ssDouble);
}

void TControl::WMLButtonUp(TMessage& m) {
  // The default procedure first, so that what it changes (a check box's
  // state, a selection) is what the mouse-up handler sees.
  DefaultHandler(m);
  if (FControlStyle & csCaptureMouse) SetMouseCapture(false);
  if (FControlState & csClicked) {
    FControlState &= ~csClicked;
    if (GetClientRect().Contains(TPoint(MouseX(m), MouseY(m)))) Click();
  }
  if (FControlState & csMouseUpSynthesised) {
    FControlState &= ~csMouseUpSynthesised;
    return;
  }
  DoMouseUp(m, mbLeft);
}

void TControl::WMRButtonDown(TMessage& m) {
  DefaultHandler(m);
  DoMouseDown(m, mbRight, 0);
}

void TControl::WMRButtonDblClk(TMessage& m) {
  DefaultHandler(m);
  DoMouseDown(m, mbRight, ssDouble);
}

void TControl::WMRButtonUp(TMessage& m) {
  DefaultHandler(m);
  if (FControlState & csMouseUpSynthesised) {
    FControlState &= ~csMouseUpSynthesised;
    return;
  }
  DoMouseUp(m, mbRight);
}

void TControl::WMMButtonDown(TMessage& m) {
  DefaultHandler(m);
  DoMouseDown(m, mbMiddle, 0);
}

void TControl::WMMButtonUp(TMessage& m) {
  DefaultHandler(m);
  DoMouseUp(m, mbMiddle);
}

void TControl::WMMouseMove(TMessage& m) {
  DefaultHandler(m);
  if (!(FControlStyle & csNoStdEvents)) MouseMove(KeysToShiftState(MouseKeys(m)), MouseX(m), MouseY(m));
}

void TControl::WMContextMenu(TMessage& m) {
  if (m.Result != 0) return;
  TPoint pt(static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam)));
  bool fromKeyboard = pt.x == -1 && pt.y == -1;
  TPoint local(-1, -1);
  if (!fromKeyboard) {
    local = ScreenToClient(pt);
    if (!GetClientRect().Contains(local)) {
      DefaultHandler(m);
      return;
    }
  }
  bool handled = false;
  DoContextPopup(local, handled);
  m.Result = handled ? 1 : 0;
  if (handled) return;
  TPopupMenu* menu = GetPopupMenu();
  if (menu && menu->AutoPopup()) {
    menu->SetPopupComponent(this);
    if (fromKeyboard) pt = ClientToScreen(TPoint(0, 0));
    menu->Popup(pt.x, pt.y);
    m.Result = 1;
  }
  if (m.Result == 0) DefaultHandler(m);
}

void TControl::WMCancelMode(TMessage& m) {
  (void)m;
  if (MouseCapture()) SetMouseCapture(false);
}

void TControl::WMWindowPosChanged(TMessage& m) { DefaultHandler(m); }

void TControl::CMVisibleChanged(TMessage& m) {
  (void)m;
  InvalidateControl(true, FVisible && (FControlStyle & csOpaque));
}

void TControl::CMEnabledChanged(TMessage& m) {
  (void)m;
  Invalidate();
}

void TControl::CMFontChanged(TMessage& m) {
  (void)m;
  Invalidate();
}

void TControl::CMColorChanged(TMessage& m) {
  (void)m;
  Invalidate();
}

void TControl::CMParentFontChanged(TMessage& m) {
  if (!FParentFont) return;
  if (m.WParam)
    SetFont(reinterpret_cast<TFont*>(m.LParam));
  else if (FParent)
    SetFont(FParent->Font());
  FParentFont = true;
}

void TControl::CMParentColorChanged(TMessage& m) {
  if (!FParentColor) return;
  if (m.WParam)
    SetColor(static_cast<TColor>(m.LParam));
  else if (FParent)
    SetColor(FParent->Color());
  FParentColor = true;
}

void TControl::CMParentShowHintChanged(TMessage& m) {
  (void)m;
  if (!FParentShowHint || !FParent) return;
  SetShowHint(FParent->ShowHint());
  FParentShowHint = true;
}

void TControl::CMHintShow(TMessage& m) {
  m.Result = 0;
  auto* info = reinterpret_cast<THintInfo*>(m.LParam);
  if (info && FActionLink && FActionLink->Is<TActionLink>() &&
      !static_cast<TActionLink*>(FActionLink)->DoShowHint(info->HintStr))
    m.Result = 1;
}

void TControl::CMHitTest(TMessage& m) { m.Result = 1; }

void TControl::CMMouseEnter(TMessage& m) {
  if (FParent) FParent->Perform(CM_MOUSEENTER, 0, m.LParam ? m.LParam : reinterpret_cast<LPARAM>(this));
  if (m.LParam == 0 && OnMouseEnter) OnMouseEnter(this);
}

void TControl::CMMouseLeave(TMessage& m) {
  if (FParent) FParent->Perform(CM_MOUSELEAVE, 0, m.LParam ? m.LParam : reinterpret_cast<LPARAM>(this));
  if (m.LParam == 0 && OnMouseLeave) OnMouseLeave(this);
}

// ===========================================================================
// TWinControl

CL_DEFINE_CLASS(TWinControl, TControl)

CL_BEGIN_MESSAGE_MAP(TWinControl, TControl)
  CL_MESSAGE(WM_PAINT, WMPaint)
  CL_MESSAGE(WM_PRINT, WMPrint)
  CL_MESSAGE(WM_PRINTCLIENT, WMPrintClient)
  CL_MESSAGE(WM_ERASEBKGND, WMEraseBkgnd)
  CL_MESSAGE(WM_COMMAND, WMCommand)
  CL_MESSAGE(WM_NOTIFY, WMNotify)
  CL_MESSAGE(WM_NOTIFYFORMAT, WMNotifyFormat)
  CL_MESSAGE(WM_DRAWITEM, WMDrawItem)
  CL_MESSAGE(WM_MEASUREITEM, WMMeasureItem)
  CL_MESSAGE(WM_DELETEITEM, WMDeleteItem)
  CL_MESSAGE(WM_COMPAREITEM, WMCompareItem)
  CL_MESSAGE(WM_HSCROLL, WMHScroll)
  CL_MESSAGE(WM_VSCROLL, WMVScroll)
  CL_MESSAGE(WM_SETCURSOR, WMSetCursor)
  CL_MESSAGE(WM_SETFOCUS, WMSetFocus)
  CL_MESSAGE(WM_KILLFOCUS, WMKillFocus)
  CL_MESSAGE(WM_SIZE, WMSize)
  CL_MESSAGE(WM_MOVE, WMMove)
  CL_MESSAGE(WM_WINDOWPOSCHANGED, WMWindowPosChanged)
  CL_MESSAGE(WM_KEYDOWN, WMKeyDown)
  CL_MESSAGE(WM_KEYUP, WMKeyUp)
  CL_MESSAGE(WM_CHAR, WMChar)
  CL_MESSAGE(WM_SYSKEYDOWN, WMSysKeyDown)
  CL_MESSAGE(WM_SYSKEYUP, WMSysKeyUp)
  CL_MESSAGE(WM_SYSCHAR, WMSysChar)
  CL_MESSAGE(WM_CONTEXTMENU, WMContextMenu)
  CL_MESSAGE(WM_DESTROY, WMDestroy)
  CL_MESSAGE(WM_NCDESTROY, WMNCDestroy)
  CL_MESSAGE(CN_KEYDOWN, CNKeyDown)
  CL_MESSAGE(CN_KEYUP, CNKeyUp)
  CL_MESSAGE(CN_CHAR, CNChar)
  CL_MESSAGE(CN_SYSKEYDOWN, CNSysKeyDown)
  CL_MESSAGE(CN_SYSCHAR, CNSysChar)
  CL_MESSAGE(CM_SHOWINGCHANGED, CMShowingChanged)
  CL_MESSAGE(CM_VISIBLECHANGED, CMVisibleChanged)
  CL_MESSAGE(CM_ENABLEDCHANGED, CMEnabledChanged)
  CL_MESSAGE(CM_FONTCHANGED, CMFontChanged)
  CL_MESSAGE(CM_COLORCHANGED, CMColorChanged)
  CL_MESSAGE(CM_PARENTCTL3DCHANGED, CMParentCtl3DChanged)
  CL_MESSAGE(CM_RECREATEWND, CMRecreateWnd)
  CL_MESSAGE(CM_DIALOGKEY, CMDialogKey)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
  CL_MESSAGE(CM_FOCUSCHANGED, CMFocusChanged)
  CL_MESSAGE(CM_ENTER, CMEnter)
  CL_MESSAGE(CM_EXIT, CMExit)
  CL_MESSAGE(CM_SYSCOLORCHANGE, CMSysColorChange)
  CL_MESSAGE(CM_SHOWHINTCHANGED, CMShowHintChanged)
  CL_MESSAGE(CM_BIDIMODECHANGED, CMBiDiModeChanged)
  CL_MESSAGE(CM_DOCKCLIENT, CMDockClient)
  CL_MESSAGE(CM_UNDOCKCLIENT, CMUnDockClient)
CL_END_MESSAGE_MAP

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {
  FObjectInstance = MakeObjectInstance(MakeEvent<&TWinControl::MainWndProc>(this));
  FBrush = new TBrush();
  FBrush->SetColor(FColor);
}

TWinControl::~TWinControl() {
  Destroying();
  DragControlGone(this);
  if (FHostDockSite) ManualDock(nullptr);
  if (FParent) FParent->RemoveControl(this);
  if (FHandle) DestroyWindowHandle();
  // A parent does not own its children: they only lose their parent (and
  // with it their windows, which went with this one).
  for (TControl* c : FControls) c->FParent = nullptr;
  for (TControl* c : FDockClients) c->FHostDockSite = nullptr;
  FDockClients.clear();
  FControls.clear();
  FTabList.clear();
  delete FDockManager;
  FDockManager = nullptr;
  delete FBrush;
  FBrush = nullptr;
  ForgetControl(this);
  FreeObjectInstance(FObjectInstance);
  FObjectInstance = nullptr;
}

void TWinControl::MainWndProc(TMessage& message) {
  GuardedCall(this, [&] {
    TWndMethod proc = FWindowProc;
    proc(message);
  });
  if (message.Msg == WM_NCDESTROY) {
    // The window is gone; the next HandleNeeded makes a new one.
    if (FHandle) {
      RemovePropA(FHandle, MAKEINTATOM(ControlAtom));
      RemovePropA(FHandle, MAKEINTATOM(WindowAtom));
      ForgetControlWindow(FHandle);
    }
    FHandle = nullptr;
    FShowing = false;
  }
}

void TWinControl::HandleNeeded() {
  if (FHandle) return;
  if (FParent) FParent->HandleNeeded();
  CreateHandle();
}

void TWinControl::SetParentWindow(HWND value) {
  if (FParent || FParentWindow == value) return;
  if (FHandle && FParentWindow && value) {
    ::SetParent(FHandle, value);
    FParentWindow = value;
  } else {
    DestroyHandle();
    FParentWindow = value;
  }
  UpdateControlState();
}

void TWinControl::CreateParams(TCreateParams& params) {
  std::memset(&params, 0, sizeof params);
  params.Caption = FText.c_str();
  params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (FControlStyle & csAcceptsControls) {
    params.Style |= WS_CLIPCHILDREN;
    params.ExStyle |= WS_EX_CONTROLPARENT;
  }
  if (!FEnabled) params.Style |= WS_DISABLED;
  if (FTabStop) params.Style |= WS_TABSTOP;
  params.X = FLeft;
  params.Y = FTop;
  params.Width = FWidth;
  params.Height = FHeight;
  if (FParent)
    params.WndParent = FParent->Handle();
  else
    params.WndParent = FParentWindow;
  params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  params.WindowClass.lpfnWndProc = &DefWindowProcA;
  params.WindowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  params.WindowClass.hbrBackground = nullptr;
  params.WindowClass.hInstance = HInstance;
  AnsiString name = ClassName();
  std::strncpy(params.WinClassName, name.c_str(), sizeof params.WinClassName - 1);
}

void TWinControl::CreateSubClass(TCreateParams& params, const char* controlClassName) {
  if (!controlClassName) return;
  HINSTANCE saveInstance = params.WindowClass.hInstance;
  WNDCLASSA wc{};
  if (GetClassInfoA(HInstance, controlClassName, &wc) || GetClassInfoA(nullptr, controlClassName, &wc)) {
    params.WindowClass = wc;
    params.WindowClass.lpszClassName = nullptr;
  }
  params.WindowClass.hInstance = saveInstance;
  // The window is an instance of the library's own class; what it does is
  // the system class's (its procedure becomes the default procedure).
  params.WindowClass.style =
      (params.WindowClass.style & ~(CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS)) | CS_VREDRAW | CS_HREDRAW;
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  if ((params.Style & WS_CHILD) && !params.WndParent)
    throw EInvalidOperation(Format(SControlHasNoParent, {Name()}));
  FDefWndProc = params.WindowClass.lpfnWndProc ? params.WindowClass.lpfnWndProc : &DefWindowProcA;
  WNDCLASSA existing{};
  bool registered = GetClassInfoA(HInstance, params.WinClassName, &existing) != FALSE;
  if (!registered || existing.lpfnWndProc != &InitWndProc) {
    if (registered) UnregisterClassA(params.WinClassName, HInstance);
    WNDCLASSA wc = params.WindowClass;
    wc.lpfnWndProc = &InitWndProc;
    wc.hInstance = HInstance;
    wc.lpszClassName = params.WinClassName;
    if (!RegisterClassA(&wc)) RaiseLastOSError();
  }
  FControlState |= csCreating;
  CreationControl = this;
  try {
    CreateWindowHandle(params);
  } catch (...) {
    CreationControl = nullptr;
    FControlState &= ~csCreating;
    throw;
  }
  CreationControl = nullptr;
  FControlState &= ~csCreating;
  if (!FHandle) RaiseLastOSError();
  ClearCachedText();
  UpdateBounds();
  Perform(WM_SETFONT, reinterpret_cast<WPARAM>(FFont->Handle()), 1);
  if (FAutoSize) AdjustSize();
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
  HWND wnd = CreateWindowExA(params.ExStyle, params.WinClassName, params.Caption, params.Style, params.X, params.Y,
                             params.Width, params.Height, params.WndParent, nullptr, HInstance, params.Param);
  if (wnd) FHandle = wnd;
}

void TWinControl::CreateHandle() {
  if (FHandle) return;
  CreateWnd();
  if (FParent && FHandle)
    SetWindowPos(FHandle, FParent->PrecedingWindow(this), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  for (TControl* c : FControls) c->UpdateAnchorRules();
  // A hidden window gets its first WM_SIZE only when it shows; the children
  // take their aligned places now, so bounds read before showing are right.
  Realign();
}

HWND TWinControl::PrecedingWindow(TWinControl* control) {
  auto it = std::find(FControls.begin(), FControls.end(), control);
  if (it != FControls.end()) {
    for (++it; it != FControls.end(); ++it) {
      if ((*it)->Is<TWinControl>()) {
        HWND w = static_cast<TWinControl*>(*it)->FHandle;
        if (w) return w;
      }
    }
  }
  return HWND_TOP;
}

void TWinControl::DestroyWnd() {
  // The text survives in the cache (read through the chain, so whoever hooks
  // it supplies it).
  FText = GetText();
  DestroyWindowHandle();
}

void TWinControl::DestroyWindowHandle() {
  if (!FHandle) return;
  TControlCanvas::FreeDeviceContext(FHandle);
  FControlState |= csDestroyingHandle;
  HWND wnd = FHandle;
  BOOL ok = DestroyWindow(wnd);
  FControlState &= ~csDestroyingHandle;
  if (!ok && IsWindow(wnd)) RaiseLastOSError();
  FHandle = nullptr;
  FShowing = false;
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  for (TControl* c : std::vector<TControl*>(FControls))
    if (c->Is<TWinControl>()) static_cast<TWinControl*>(c)->DestroyHandle();
  DestroyWnd();
}

void TWinControl::RecreateWnd() {
  if (FHandle) Perform(CM_RECREATEWND);
}

void TWinControl::CMRecreateWnd(TMessage& m) {
  (void)m;
  bool wasFocused = Focused();
  DestroyHandle();
  UpdateControlState();
  if (wasFocused && FHandle) ::SetFocus(FHandle);
}

void TWinControl::UpdateControlState() {
  TWinControl* c = this;
  while (c->FParent) {
    c = c->FParent;
    if (!c->FShowing) return;
  }
  if (c->Is<TCustomForm>() || c->FParentWindow) UpdateShowing();
}

void TWinControl::UpdateShowing() {
  bool show = FVisible && !(FControlState & csReadingState) && !(ComponentState() & csDestroying);
  if (show) {
    if (!FHandle) CreateHandle();
    for (TControl* c : std::vector<TControl*>(FControls))
      if (c->Is<TWinControl>()) static_cast<TWinControl*>(c)->UpdateShowing();
  }
  if (FHandle && FShowing != show) {
    FShowing = show;
    try {
      Perform(CM_SHOWINGCHANGED);
    } catch (...) {
      FShowing = !show;
      throw;
    }
  }
  if (!show)
    for (TControl* c : std::vector<TControl*>(FControls))
      if (c->Is<TWinControl>()) static_cast<TWinControl*>(c)->UpdateShowing();
}

void TWinControl::CMShowingChanged(TMessage& m) {
  (void)m;
  SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE |
                   (FShowing ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TWinControl::CMVisibleChanged(TMessage& m) {
  (void)m;
  if (!FVisible && FParent) {
    if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(this, false);
  }
  UpdateControlState();
}

void TWinControl::CMEnabledChanged(TMessage& m) {
  (void)m;
  if (!FEnabled && FParent) {
    if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(this, false);
  }
  if (FHandle) EnableWindow(FHandle, FEnabled);
}

void TWinControl::CMFontChanged(TMessage& m) {
  TControl::CMFontChanged(m);
  if (FHandle) Perform(WM_SETFONT, reinterpret_cast<WPARAM>(FFont->Handle()), 0);
  NotifyControls(CM_PARENTFONTCHANGED);
}

void TWinControl::FontChanged(TObject* sender) { TControl::FontChanged(sender); }

void TWinControl::CMColorChanged(TMessage& m) {
  FBrush->SetColor(FColor);
  NotifyControls(CM_PARENTCOLORCHANGED);
  TControl::CMColorChanged(m);
}

void TWinControl::SetCtl3D(bool value) {
  if (FCtl3D == value) return;
  FCtl3D = value;
  FParentCtl3D = false;
  Perform(CM_CTL3DCHANGED);
}

void TWinControl::CMParentCtl3DChanged(TMessage& m) {
  (void)m;
  if (FParentCtl3D && FParent) {
    SetCtl3D(FParent->Ctl3D());
    FParentCtl3D = true;
  }
}

void TWinControl::CMShowHintChanged(TMessage& m) {
  (void)m;
  NotifyControls(CM_PARENTSHOWHINTCHANGED);
}

void TWinControl::CMBiDiModeChanged(TMessage& m) {
  (void)m;
  NotifyControls(CM_PARENTBIDIMODECHANGED);
}

void TWinControl::CMSysColorChange(TMessage& m) {
  (void)m;
  NotifyControls(CM_SYSCOLORCHANGE);
}

void TWinControl::SetBorderWidth(int value) {
  if (FBorderWidth == value) return;
  FBorderWidth = value;
  Realign();
  Invalidate();
}

void TWinControl::DefWndProc(TMessage& message) {
  WNDPROC proc = FDefWndProc ? FDefWndProc : &DefWindowProcA;
  message.Result = CallWindowProcA(proc, FHandle, message.Msg, message.WParam, message.LParam);
}

void TWinControl::DefaultHandler(TMessage& message) {
  if (!FHandle) {
    TControl::DefaultHandler(message);
    return;
  }
  UINT msg = message.Msg;
  if (msg >= CN_CTLCOLORMSGBOX && msg <= CN_CTLCOLORSTATIC) {
    HDC dc = reinterpret_cast<HDC>(message.WParam);
    SetTextColor(dc, ColorToRGB(FFont->Color()));
    SetBkColor(dc, ColorToRGB(FBrush->Color()));
    message.Result = reinterpret_cast<LRESULT>(FBrush->Handle());
    return;
  }
  if (msg >= CN_BASE && msg < CN_BASE + 0x400) {
    // A reflected notification nobody handled: not for the window.
    message.Result = 0;
    return;
  }
  if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) {
    HWND child = reinterpret_cast<HWND>(message.LParam);
    if (FindControl(child)) {
      message.Result = SendMessageA(child, CN_BASE + msg, message.WParam, message.LParam);
      return;
    }
  }
  DefWndProc(message);
}

void TWinControl::InsertControl(TControl* control) {
  control->FParent = this;
  FControls.push_back(control);
  bool windowed = control->Is<TWinControl>();
  if (windowed) FTabList.push_back(static_cast<TWinControl*>(control));
  if (!(control->ComponentState() & csReading)) {
    control->Perform(CM_PARENTCOLORCHANGED);
    control->Perform(CM_PARENTFONTCHANGED);
    control->Perform(CM_PARENTSHOWHINTCHANGED);
    control->Perform(CM_PARENTBIDIMODECHANGED);
    if (windowed) {
      control->Perform(CM_PARENTCTL3DCHANGED);
      static_cast<TWinControl*>(control)->UpdateControlState();
    } else if (HandleAllocated()) {
      control->Invalidate();
    }
    AlignControl(control);
  }
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(control), 1);
}

void TWinControl::RemoveControl(TControl* control) {
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(control), 0);
  auto it = std::find(FControls.begin(), FControls.end(), control);
  bool windowed = std::find(FTabList.begin(), FTabList.end(), control) != FTabList.end();
  if (windowed) {
    auto* w = static_cast<TWinControl*>(control);
    if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(w, true);
    w->DestroyHandle();
    FTabList.erase(std::find(FTabList.begin(), FTabList.end(), w));
  } else if (HandleAllocated() && it != FControls.end()) {
    control->InvalidateControl(control->Visible(), false);
  }
  if (it != FControls.end()) FControls.erase(std::find(FControls.begin(), FControls.end(), control));
  control->FParent = nullptr;
  if (!(ComponentState() & csDestroying)) Realign();
}

bool TWinControl::ContainsControl(TControl* control) {
  while (control && control != this) control = control->Parent();
  return control != nullptr;
}

TControl* TWinControl::ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls) {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    TControl* c = *it;
    if (!allowWinControls && c->Is<TWinControl>()) continue;
    if (!c->Visible() || (!c->Enabled() && !allowDisabled)) continue;
    TRect r = c->BoundsRect();
    if (!r.Contains(pos)) continue;
    if (c->Perform(CM_HITTEST, 0, MAKELPARAM(pos.x - c->Left(), pos.y - c->Top())) != 0) return c;
  }
  return nullptr;
}

void TWinControl::Broadcast(TMessage& message) {
  for (TControl* c : std::vector<TControl*>(FControls)) {
    TWndMethod proc = c->WindowProc();
    proc(message);
    if (message.Result != 0) return;
  }
}

void TWinControl::NotifyControls(UINT msg) {
  TMessage m{msg, 0, 0, 0};
  Broadcast(m);
}

void TWinControl::EnableAlign() {
  if (--FAlignLevel == 0 && (FControlState & csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::AlignControl(TControl* control) {
  if (!FHandle || (ComponentState() & csDestroying)) return;
  if (FAlignLevel != 0) {
    FControlState |= csAlignmentNeeded;
    return;
  }
  TAlignLock lock(this);
  TRect r = GetClientRect();
  AlignControls(control, r);
  FControlState &= ~csAlignmentNeeded;
}

void TWinControl::AdjustClientRect(TRect& rect) {
  InflateRect(&rect, -FBorderWidth, -FBorderWidth);
}

void TWinControl::AlignControls(TControl* control, TRect& rect) {
  AdjustClientRect(rect);
  auto insertBefore = [](TControl* c1, TControl* c2, TAlign align) {
    switch (align) {
      case alTop: return c1->Top() < c2->Top();
      case alBottom: return c1->Top() + c1->Height() >= c2->Top() + c2->Height();
      case alLeft: return c1->Left() < c2->Left();
      case alRight: return c1->Left() + c1->Width() >= c2->Left() + c2->Width();
      default: return false;
    }
  };
  auto doAlign = [&](TAlign align) {
    std::vector<TControl*> list;
    if (control && control->Align() == align && control->Visible() &&
        std::find(FControls.begin(), FControls.end(), control) != FControls.end())
      list.push_back(control);
    for (TControl* c : FControls) {
      if (c == control || c->Align() != align || !c->Visible()) continue;
      size_t j = 0;
      while (j < list.size() && !insertBefore(c, list[j], align)) ++j;
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(j), c);
    }
    for (TControl* c : list) {
      int l = rect.left, t = rect.top, w = rect.Width(), h = rect.Height();
      switch (align) {
        case alTop: h = c->Height(); break;
        case alBottom: h = c->Height(); t = rect.bottom - h; break;
        case alLeft: w = c->Width(); break;
        case alRight: w = c->Width(); l = rect.right - w; break;
        default: break;
      }
      if (w < 0) w = 0;
      if (h < 0) h = 0;
      c->FAnchorMove = true;
      try {
        c->SetBounds(l, t, w, h);
      } catch (...) {
        c->FAnchorMove = false;
        throw;
      }
      c->FAnchorMove = false;
      switch (align) {
        case alTop: rect.top += c->Height(); break;
        case alBottom: rect.bottom -= c->Height(); break;
        case alLeft: rect.left += c->Width(); break;
        case alRight: rect.right -= c->Width(); break;
        default: break;
      }
    }
  };
  doAlign(alTop);
  doAlign(alBottom);
  doAlign(alLeft);
  doAlign(alRight);
  doAlign(alClient);

  // Free controls keep their distances to the anchored sides.
  TRect client = GetClientRect();
  for (TControl* c : std::vector<TControl*>(FControls)) {
    if (c->Align() != alNone || c->FOriginalParentSize.x == 0 || c->FOriginalParentSize.y == 0) continue;
    TAnchors a = c->Anchors();
    if (a == (akLeft | akTop)) continue;
    int l = c->Left(), t = c->Top(), w = c->Width(), h = c->Height();
    int px = client.right, py = client.bottom;
    TPoint orig = c->FOriginalParentSize, rules = c->FAnchorRules;
    if (a & akRight) {
      if (a & akLeft)
        w = px - (orig.x - rules.x);
      else
        l = rules.x - (orig.x - px);
    } else if (!(a & akLeft)) {
      l = MulDiv(rules.x, px, orig.x) - w / 2;
    }
    if (a & akBottom) {
      if (a & akTop)
        h = py - (orig.y - rules.y);
      else
        t = rules.y - (orig.y - py);
    } else if (!(a & akTop)) {
      t = MulDiv(rules.y, py, orig.y) - h / 2;
    }
    c->FAnchorMove = true;
    try {
      c->SetBounds(l, t, w, h);
    } catch (...) {
      c->FAnchorMove = false;
      throw;
    }
    c->FAnchorMove = false;
  }
}

void TWinControl::ReadState(TReader* reader) {
  TAlignLock lock(this);
  FControlState |= csReadingState;
  try {
    TControl::ReadState(reader);
  } catch (...) {
    FControlState &= ~csReadingState;
    throw;
  }
  FControlState &= ~csReadingState;
}

void TWinControl::Loaded() {
  TControl::Loaded();
  if (FParent) {
    if (FParentCtl3D) Perform(CM_PARENTCTL3DCHANGED);
    UpdateControlState();
  }
}

TRect TWinControl::GetClientRect() {
  if (FHandle) {
    RECT r;
    ::GetClientRect(FHandle, &r);
    return TRect(r);
  }
  return TControl::GetClientRect();
}

TPoint TWinControl::ClientOrigin() {
  if (!FParent && !FHandle && !FParentWindow) return TPoint(FLeft, FTop);
  POINT p{0, 0};
  ::ClientToScreen(Handle(), &p);
  return TPoint(p);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (!CheckNewSize(width, height)) return;
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  if (FHandle && !IsIconic(FHandle)) {
    SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
  }
  UpdateAnchorRules();
  RequestAlign();
}

void TWinControl::UpdateBounds() {
  if (!FHandle) return;
  RECT r;
  if (IsIconic(FHandle)) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(FHandle, &wp);
    r = wp.rcNormalPosition;
  } else {
    GetWindowRect(FHandle, &r);
    if (GetWindowLongA(FHandle, GWL_STYLE) & WS_CHILD) {
      HWND parent = GetParent(FHandle);
      if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    }
  }
  int w = r.right - r.left, h = r.bottom - r.top;
  if (r.left != FLeft || r.top != FTop || w != FWidth || h != FHeight) {
    FLeft = r.left;
    FTop = r.top;
    FWidth = w;
    FHeight = h;
    UpdateAnchorRules();
  }
}

void TWinControl::SetZOrder(bool topMost) {
  TControl::SetZOrder(topMost);
  if (FHandle)
    SetWindowPos(FHandle, topMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::SetParent(TWinControl* value) {
  if (FParent == value) return;
  if (!value && FHandle && !FParentWindow) DestroyHandle();
  TControl::SetParent(value);
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, !(FControlStyle & csOpaque));
}

void TWinControl::Update() {
  if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

void TWinControl::PaintWindow(HDC dc) {
  TMessage m{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
  DefaultHandler(m);
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  auto it = FControls.begin();
  if (first) {
    it = std::find(FControls.begin(), FControls.end(), first);
    if (it == FControls.end()) it = FControls.begin();
  }
  std::vector<TControl*> list(it, FControls.end());
  for (TControl* c : list) {
    if (c->Is<TWinControl>() || !c->Visible()) continue;
    TRect r = c->BoundsRect();
    if (!RectVisible(dc, &r)) continue;
    int save = SaveDC(dc);
    POINT org;
    GetViewportOrgEx(dc, &org);
    SetViewportOrgEx(dc, org.x + c->Left(), org.y + c->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
    try {
      c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    } catch (...) {
      RestoreDC(dc, save);
      throw;
    }
    RestoreDC(dc, save);
  }
}

void TWinControl::PaintHandler(TMessage& message) {
  HDC dc = reinterpret_cast<HDC>(message.WParam);
  PAINTSTRUCT ps{};
  bool own = dc == nullptr;
  if (own) dc = BeginPaint(FHandle, &ps);
  try {
    int save = SaveDC(dc);
    for (TControl* c : FControls) {
      if (!c->Is<TWinControl>() && c->Visible() && (c->ControlStyle() & csOpaque))
        ExcludeClipRect(dc, c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height());
    }
    PaintWindow(dc);
    RestoreDC(dc, save);
    PaintControls(dc, nullptr);
  } catch (...) {
    if (own) EndPaint(FHandle, &ps);
    throw;
  }
  if (own) EndPaint(FHandle, &ps);
}

void TWinControl::WMPaint(TMessage& m) {
  bool windowless = false;
  for (TControl* c : FControls)
    if (!c->Is<TWinControl>()) windowless = true;
  if (!(FControlState & csCustomPaint) && !windowless)
    DefaultHandler(m);
  else
    PaintHandler(m);
}

void TWinControl::WMPrint(TMessage& m) {
  // The window and its children printed into a device context the way
  // Windows does it: the client at its place inside the frame, children at
  // theirs (the platform's default handling here prints neither).
  HDC dc = reinterpret_cast<HDC>(m.WParam);
  LPARAM flags = m.LParam;
  m.Result = 0;
  if (!FHandle || ((flags & PRF_CHECKVISIBLE) && !IsWindowVisible(FHandle))) return;
  POINT origin{0, 0};
  if (flags & PRF_NONCLIENT) {
    TMessage frame{WM_PRINT, m.WParam, PRF_NONCLIENT, 0};
    DefWndProc(frame);
    RECT wr;
    GetWindowRect(FHandle, &wr);
    ::ClientToScreen(FHandle, &origin);
    origin.x -= wr.left;
    origin.y -= wr.top;
  }
  RECT client;
  ::GetClientRect(FHandle, &client);
  int save = SaveDC(dc);
  OffsetViewportOrgEx(dc, origin.x, origin.y, nullptr);
  IntersectClipRect(dc, 0, 0, client.right, client.bottom);
  if (flags & PRF_ERASEBKGND) SendMessageA(FHandle, WM_ERASEBKGND, m.WParam, 0);
  if (flags & PRF_CLIENT) SendMessageA(FHandle, WM_PRINTCLIENT, m.WParam, flags & ~(PRF_NONCLIENT | PRF_CHILDREN));
  if (flags & PRF_CHILDREN) {
    // Bottom of the z-order first, so windows on top are printed last.
    HWND child = GetWindow(FHandle, GW_CHILD);
    if (child) child = GetWindow(child, GW_HWNDLAST);
    for (; child; child = GetWindow(child, GW_HWNDPREV)) {
      if (!IsWindowVisible(child)) continue;
      RECT r;
      GetWindowRect(child, &r);
      MapWindowPoints(nullptr, FHandle, reinterpret_cast<POINT*>(&r), 2);
      int childSave = SaveDC(dc);
      OffsetViewportOrgEx(dc, r.left, r.top, nullptr);
      IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
      SendMessageA(child, WM_PRINT, m.WParam, flags | PRF_CHECKVISIBLE);
      RestoreDC(dc, childSave);
    }
  }
  RestoreDC(dc, save);
}

void TWinControl::WMPrintClient(TMessage& m) {
  bool windowless = false;
  for (TControl* c : FControls)
    if (!c->Is<TWinControl>()) windowless = true;
  if (!(FControlState & csCustomPaint) && !windowless) {
    DefaultHandler(m);
    return;
  }
  TMessage paint{WM_PAINT, m.WParam, 0, 0};
  PaintHandler(paint);
  m.Result = 0;
}

void TWinControl::WMEraseBkgnd(TMessage& m) {
  if (!(FControlStyle & csOpaque)) {
    RECT r = GetClientRect();
    FillRect(reinterpret_cast<HDC>(m.WParam), &r, FBrush->Handle());
  }
  m.Result = 1;
}

void TWinControl::WMCommand(TMessage& m) {
  if (m.LParam) {
    if (TWinControl* child = FindControl(reinterpret_cast<HWND>(m.LParam))) {
      m.Result = child->Perform(CN_COMMAND, m.WParam, m.LParam);
      return;
    }
  }
  DefaultHandler(m);
}

void TWinControl::WMNotify(TMessage& m) {
  NMHDR* hdr = NotifyHdr(m);
  if (hdr) {
    if (TWinControl* child = FindControl(hdr->hwndFrom)) {
      m.Result = child->Perform(CN_NOTIFY, m.WParam, m.LParam);
      return;
    }
  }
  DefaultHandler(m);
}

void TWinControl::WMNotifyFormat(TMessage& m) {
  HWND from = reinterpret_cast<HWND>(m.WParam);
  if (m.LParam == NF_QUERY && from && from != FHandle) {
    if (TWinControl* child = FindControl(from)) {
      // The asking control answers for itself, so a control whose default
      // procedure speaks Unicode gets Unicode notifications.
      m.Result = child->Perform(WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(child->FHandle), NF_QUERY);
      return;
    }
  }
  if (m.LParam == NF_QUERY && from == FHandle) {
    DefaultHandler(m);
    if (m.Result != NFR_UNICODE) m.Result = NFR_ANSI;
    return;
  }
  DefaultHandler(m);
}

bool TWinControl::ReflectToChild(HWND child, UINT msg, TMessage& m) {
  TWinControl* control = child ? FindControl(child) : nullptr;
  if (!control) return false;
  m.Result = control->Perform(msg, m.WParam, m.LParam);
  return true;
}

void TWinControl::WMDrawItem(TMessage& m) {
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
  if (dis && dis->CtlType != ODT_MENU && ReflectToChild(dis->hwndItem, CN_DRAWITEM, m)) return;
  DefaultHandler(m);
}

void TWinControl::WMMeasureItem(TMessage& m) {
  auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
  if (mis && mis->CtlType != ODT_MENU && FHandle &&
      ReflectToChild(GetDlgItem(FHandle, static_cast<int>(mis->CtlID)), CN_MEASUREITEM, m))
    return;
  DefaultHandler(m);
}

void TWinControl::WMDeleteItem(TMessage& m) {
  auto* dis = reinterpret_cast<DELETEITEMSTRUCT*>(m.LParam);
  if (dis && ReflectToChild(dis->hwndItem, CN_DELETEITEM, m)) return;
  DefaultHandler(m);
}

void TWinControl::WMCompareItem(TMessage& m) {
  auto* cis = reinterpret_cast<COMPAREITEMSTRUCT*>(m.LParam);
  if (cis && ReflectToChild(cis->hwndItem, CN_COMPAREITEM, m)) return;
  DefaultHandler(m);
}

void TWinControl::WMHScroll(TMessage& m) {
  if (ReflectToChild(reinterpret_cast<HWND>(m.LParam), CN_HSCROLL, m)) return;
  DefaultHandler(m);
}

void TWinControl::WMVScroll(TMessage& m) {
  if (ReflectToChild(reinterpret_cast<HWND>(m.LParam), CN_VSCROLL, m)) return;
  DefaultHandler(m);
}

void TWinControl::SetDockSite(bool value) {
  if (FDockSite == value) return;
  FDockSite = value;
  UpdateDockManager();
}

void TWinControl::SetUseDockManager(bool value) {
  if (FUseDockManager == value) return;
  FUseDockManager = value;
  UpdateDockManager();
}

void TWinControl::UpdateDockManager() {
  if (ComponentState() & csDesigning) return;
  if (FDockSite && FUseDockManager) {
    TDockManager* manager = CreateDockManager();
    if (manager != FDockManager) {
      delete FDockManager;
      FDockManager = manager;
    }
  } else {
    delete FDockManager;
    FDockManager = nullptr;
  }
}

void TWinControl::WMSetCursor(TMessage& m) {
  if (reinterpret_cast<HWND>(m.WParam) == FHandle && static_cast<short>(LOWORD(m.LParam)) == HTCLIENT) {
    TCursor cursor = Screen ? Screen->Cursor() : crDefault;
    if (cursor == crDefault) {
      POINT p;
      GetCursorPos(&p);
      TControl* c = ControlAtPos(ScreenToClient(TPoint(p)), false);
      if (c) cursor = c->Cursor();
      if (cursor == crDefault) cursor = FCursor;
    }
    if (cursor != crDefault && Screen) {
      ::SetCursor(Screen->Cursors(cursor));
      m.Result = 1;
      return;
    }
  }
  DefaultHandler(m);
}

void TWinControl::WMSetFocus(TMessage& m) { DefaultHandler(m); }

void TWinControl::WMKillFocus(TMessage& m) { DefaultHandler(m); }

void TWinControl::WMSize(TMessage& m) {
  UpdateBounds();
  DefaultHandler(m);
  Realign();
  if (!(ComponentState() & csLoading)) Resize();
}

void TWinControl::WMMove(TMessage& m) {
  UpdateBounds();
  DefaultHandler(m);
}

void TWinControl::WMWindowPosChanged(TMessage& m) {
  auto* wp = reinterpret_cast<WINDOWPOS*>(m.LParam);
  if (wp && (!(wp->flags & SWP_NOSIZE) || !(wp->flags & SWP_NOMOVE))) UpdateBounds();
  DefaultHandler(m);
}

bool TWinControl::DoKeyDown(TMessage& message) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && static_cast<TWinControl*>(form)->DoKeyDown(message))
    return true;
  if (!(FControlStyle & csNoStdEvents)) {
    WORD key = static_cast<WORD>(message.WParam);
    KeyDown(key, KeyDataToShiftState(message.LParam));
    message.WParam = key;
    if (key == 0) return true;
  }
  return false;
}

bool TWinControl::DoKeyUp(TMessage& message) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && static_cast<TWinControl*>(form)->DoKeyUp(message)) return true;
  if (!(FControlStyle & csNoStdEvents)) {
    WORD key = static_cast<WORD>(message.WParam);
    KeyUp(key, KeyDataToShiftState(message.LParam));
    message.WParam = key;
    if (key == 0) return true;
  }
  return false;
}

bool TWinControl::DoKeyPress(TMessage& message) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && static_cast<TWinControl*>(form)->DoKeyPress(message))
    return true;
  if (!(FControlStyle & csNoStdEvents)) {
    char key = static_cast<char>(message.WParam & 0xFF);
    KeyPress(key);
    // Only the low byte is the library's character; whatever rides above it
    // (the Unicode layer's hidden wide character) stays.
    message.WParam = (message.WParam & ~static_cast<WPARAM>(0xFF)) | static_cast<unsigned char>(key);
    if (key == 0) return true;
  }
  return false;
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::WMKeyDown(TMessage& m) {
  if (!DoKeyDown(m)) DefaultHandler(m);
}

void TWinControl::WMKeyUp(TMessage& m) {
  if (!DoKeyUp(m)) DefaultHandler(m);
}

void TWinControl::WMChar(TMessage& m) {
  if (!DoKeyPress(m)) DefaultHandler(m);
}

void TWinControl::WMSysKeyDown(TMessage& m) {
  if (!DoKeyDown(m)) DefaultHandler(m);
}

void TWinControl::WMSysKeyUp(TMessage& m) {
  if (!DoKeyUp(m)) DefaultHandler(m);
}

void TWinControl::WMSysChar(TMessage& m) { DefaultHandler(m); }

bool TWinControl::IsMenuKey(TMessage& message) {
  for (TControl* c = this; c; c = c->Parent())
    if (c->FPopupMenu && c->FPopupMenu->IsShortCut(message)) return true;
  TCustomForm* form = GetParentForm(this);
  return form && form->IsShortCut(message);
}

void TWinControl::CNKeyDown(TMessage& m) {
  m.Result = 1;
  if (IsMenuKey(m)) return;
  WORD key = static_cast<WORD>(m.WParam);
  UINT mask = 0;
  switch (key) {
    case VK_TAB: mask = DLGC_WANTTAB; break;
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: mask = DLGC_WANTARROWS; break;
    case VK_RETURN: case VK_EXECUTE: case VK_ESCAPE: case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
  }
  if (mask && Perform(CM_WANTSPECIALKEY, key, m.LParam) == 0 && (Perform(WM_GETDLGCODE) & mask) == 0) {
    TCustomForm* form = GetParentForm(this);
    if (form && form->Perform(CM_DIALOGKEY, key, m.LParam) != 0) return;
  }
  m.Result = 0;
}

void TWinControl::CNKeyUp(TMessage& m) { m.Result = 0; }

void TWinControl::CNChar(TMessage& m) {
  m.Result = 1;
  if ((Perform(WM_GETDLGCODE) & DLGC_WANTCHARS) == 0) {
    TCustomForm* form = GetParentForm(this);
    if (form && form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) return;
  }
  m.Result = 0;
}

void TWinControl::CNSysKeyDown(TMessage& m) { m.Result = IsMenuKey(m) ? 1 : 0; }

void TWinControl::CNSysChar(TMessage& m) {
  m.Result = 0;
  if ((m.WParam & 0xFF) == VK_SPACE) return;
  TCustomForm* form = GetParentForm(this);
  if (form && form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) m.Result = 1;
}

void TWinControl::CMDialogKey(TMessage& m) { Broadcast(m); }

void TWinControl::CMDialogChar(TMessage& m) { Broadcast(m); }

void TWinControl::CMFocusChanged(TMessage& m) { Broadcast(m); }

void TWinControl::CMEnter(TMessage& m) {
  (void)m;
  DoEnter();
}

void TWinControl::CMExit(TMessage& m) {
  (void)m;
  DoExit();
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::WMContextMenu(TMessage& m) {
  if (m.Result != 0) return;
  TPoint pt(static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam)));
  if (!(pt.x == -1 && pt.y == -1) && FHandle) {
    TControl* c = ControlAtPos(ScreenToClient(pt), false);
    if (c) {
      m.Result = c->Perform(WM_CONTEXTMENU, 0, m.LParam);
      if (m.Result != 0) return;
    }
  }
  TControl::WMContextMenu(m);
}

void TWinControl::WMDestroy(TMessage& m) {
  // A window destroyed from outside (with its parent's) keeps its text for
  // the next window of the control.
  if (!(FControlState & csDestroyingHandle) && !(ComponentState() & csDestroying) && FHandle) {
    int len = GetWindowTextLengthA(FHandle);
    if (len > 0) {
      std::string buf(static_cast<size_t>(len) + 1, '\0');
      int n = GetWindowTextA(FHandle, buf.data(), len + 1);
      buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
      FText = AnsiString(std::move(buf));
    }
  }
  DefaultHandler(m);
}

void TWinControl::WMNCDestroy(TMessage& m) { DefaultHandler(m); }

bool TWinControl::CanFocus() {
  // The form's own visibility does not count: a control of a form that is
  // about to show can take the focus it will have.
  TCustomForm* form = GetParentForm(this);
  if (!form) return false;
  for (TControl* c = this; c && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() { return FHandle && GetFocus() == FHandle; }

void TWinControl::SetFocus() {
  TCustomForm* form = GetParentForm(this);
  if (form)
    form->FocusControl(this);
  else if (FParentWindow)
    ::SetFocus(Handle());
  else
    ValidParentForm(this);
}

int TWinControl::TabOrder() {
  if (!FParent) return -1;
  auto& list = FParent->FTabList;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int value) {
  if (!FParent) return;
  auto& list = FParent->FTabList;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  if (value < 0 || value > static_cast<int>(list.size())) value = static_cast<int>(list.size());
  list.insert(list.begin() + value, this);
}

void TWinControl::SetTabStop(bool value) {
  if (FTabStop == value) return;
  FTabStop = value;
  if (FHandle) {
    LONG style = GetWindowLongA(FHandle, GWL_STYLE);
    SetWindowLongA(FHandle, GWL_STYLE, value ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
  }
  Perform(CM_TABSTOPCHANGED);
}

void TWinControl::GetTabOrderList(TList* list) {
  for (TWinControl* c : FTabList) {
    list->Add(c);
    c->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) {
  TList list;
  GetTabOrderList(&list);
  int count = list.Count();
  if (count == 0) return nullptr;
  int start = list.IndexOf(current);
  if (start < 0) start = goForward ? count - 1 : 0;
  int i = start;
  do {
    if (goForward) {
      if (++i == count) i = 0;
    } else {
      if (i == 0) i = count;
      --i;
    }
    auto* c = static_cast<TWinControl*>(list.Items(i));
    if (c != current && c->CanFocus() && (!checkTabStop || c->TabStop()) && (!checkParent || c->Parent() == this))
      return c;
  } while (i != start);
  return nullptr;
}

void TWinControl::SelectFirst() {
  TCustomForm* form = GetParentForm(this);
  if (!form) return;
  TWinControl* c = FindNextControl(nullptr, true, true, false);
  if (!c) c = FindNextControl(nullptr, true, false, false);
  if (c) c->SetFocus();
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  TWinControl* c = FindNextControl(current, goForward, checkTabStop, !checkTabStop);
  if (c) c->SetFocus();
}

void TWinControl::ActionChange(TObject* sender, bool checkDefaults) {
  TControl::ActionChange(sender, checkDefaults);
  if (sender && sender->Is<TCustomAction>()) {
    auto* a = static_cast<TCustomAction*>(sender);
    if (!checkDefaults || FHelpContext == 0) SetHelpContext(a->HelpContext());
  }
}

const TMetaClass* TWinControl::GetActionLinkClass() { return &TWinControlActionLink::Class; }

bool TWinControl::IsControlMouseMsg(TMessage& message) {
  TControl* control = nullptr;
  if (GetCapture() == FHandle) {
    if (CaptureControl && CaptureControl->Parent() == this) control = CaptureControl;
  } else {
    control = ControlAtPos(TPoint(MouseX(message), MouseY(message)), false);
  }
  if (!control) return false;
  LPARAM pos = MAKELPARAM(static_cast<WORD>(MouseX(message) - control->Left()),
                          static_cast<WORD>(MouseY(message) - control->Top()));
  message.Result = control->Perform(message.Msg, message.WParam, pos);
  return true;
}

void TWinControl::WndProc(TMessage& message) {
  if (IsDragEndingMessage(message.Msg) && DragMouseMessage(message)) return;
  switch (message.Msg) {
    case WM_SETFOCUS: {
      TCustomForm* form = GetParentForm(this);
      if (form && !form->SetFocusedControl(this)) return;
      break;
    }
    case WM_KILLFOCUS:
      if (FControlState & csFocusing) return;
      break;
    case WM_NCHITTEST:
      TControl::WndProc(message);
      if (message.Result == HTTRANSPARENT && FHandle) {
        TPoint p(static_cast<short>(LOWORD(message.LParam)), static_cast<short>(HIWORD(message.LParam)));
        if (ControlAtPos(ScreenToClient(p), false)) message.Result = HTCLIENT;
      }
      return;
    default:
      if (IsMouseMessage(message.Msg) && FHandle && IsControlMouseMsg(message)) {
        // Left unanswered by the windowless child: the window's default
        // handling (a right button's WM_CONTEXTMENU comes from there).
        if (message.Result == 0 && FHandle)
          DefWindowProcA(FHandle, message.Msg, message.WParam, message.LParam);
        return;
      }
      break;
  }
  TControl::WndProc(message);
}

// ===========================================================================
// TGraphicControl, TCustomControl, TControlCanvas

CL_DEFINE_CLASS(TGraphicControl, TControl)
CL_BEGIN_MESSAGE_MAP(TGraphicControl, TControl)
  CL_MESSAGE(WM_PAINT, WMPaint)
CL_END_MESSAGE_MAP

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {
  FCanvas = new TControlCanvas();
  FCanvas->SetControl(this);
}

TGraphicControl::~TGraphicControl() {
  delete FCanvas;
  FCanvas = nullptr;
}

TCanvas* TGraphicControl::Canvas() const { return FCanvas; }

void TGraphicControl::WMPaint(TMessage& m) {
  if (!m.WParam) return;
  FCanvas->PaintOnDC(reinterpret_cast<HDC>(m.WParam), [this] { Paint(); });
}

CL_DEFINE_CLASS(TCustomControl, TWinControl)
CL_BEGIN_MESSAGE_MAP(TCustomControl, TWinControl)
  CL_MESSAGE(WM_PAINT, WMPaint)
  CL_MESSAGE(WM_PRINTCLIENT, WMPaint)
CL_END_MESSAGE_MAP

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {
  FCanvas = new TControlCanvas();
  FCanvas->SetControl(this);
}

TCustomControl::~TCustomControl() {
  delete FCanvas;
  FCanvas = nullptr;
}

TCanvas* TCustomControl::Canvas() const { return FCanvas; }

void TCustomControl::WMPaint(TMessage& m) {
  FControlState |= csCustomPaint;
  try {
    InheritedMsg(&TWinControl::MessageMap, m);
  } catch (...) {
    FControlState &= ~csCustomPaint;
    throw;
  }
  FControlState &= ~csCustomPaint;
}

void TCustomControl::PaintWindow(HDC dc) {
  FCanvas->PaintOnDC(dc, [this] { Paint(); });
}

CL_DEFINE_CLASS(TControlCanvas, TCanvas)

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetControl(TControl* value) {
  if (FControl == value) return;
  FreeHandle();
  FControl = value;
}

void TControlCanvas::CreateHandle() {
  if (!FControl) return;
  if (!FDeviceContext) {
    HWND wnd;
    bool windowless = !FControl->Is<TWinControl>();
    if (windowless) {
      if (!FControl->Parent()) return;
      wnd = FControl->Parent()->Handle();
    } else {
      wnd = static_cast<TWinControl*>(FControl)->Handle();
    }
    HDC dc = GetDCEx(wnd, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
    if (!dc) return;
    if (windowless) {
      SetViewportOrgEx(dc, FControl->Left(), FControl->Top(), nullptr);
      IntersectClipRect(dc, 0, 0, FControl->Width(), FControl->Height());
    }
    FDeviceContext = dc;
    FWindowHandle = wnd;
    if (CanvasList) CanvasList->Add(this);
  }
  SetHandle(FDeviceContext);
}

void TControlCanvas::FreeHandle() {
  if (!FDeviceContext) return;
  SetHandle(nullptr);
  if (CanvasList) CanvasList->Remove(this);
  ReleaseDC(FWindowHandle, FDeviceContext);
  FDeviceContext = nullptr;
  FWindowHandle = nullptr;
}

void TControlCanvas::BeginPaintDC(HDC dc) {
  FreeHandle();
  Lock();
  SetHandle(dc);
}

void TControlCanvas::EndPaintDC() {
  SetHandle(nullptr);
  Unlock();
}

void TControlCanvas::FreeDeviceContexts() {
  if (!CanvasList) return;
  for (int i = CanvasList->Count() - 1; i >= 0; --i) {
    auto* c = static_cast<TControlCanvas*>(CanvasList->Items(i));
    if (c->LockCount() == 0) c->FreeHandle();
  }
}

void TControlCanvas::FreeDeviceContext(HWND wnd) {
  if (!CanvasList) return;
  for (int i = CanvasList->Count() - 1; i >= 0; --i) {
    auto* c = static_cast<TControlCanvas*>(CanvasList->Items(i));
    if (c->FWindowHandle == wnd) c->FreeHandle();
  }
}

// ===========================================================================
// Action links of controls

CL_DEFINE_CLASS(TControlActionLink, TActionLink)
CL_DEFINE_CLASS(TWinControlActionLink, TControlActionLink)

bool TWinControlActionLink::IsHelpContextLinked() { return TControlActionLink::IsHelpContextLinked(); }

void TWinControlActionLink::SetHelpContext(int value) {
  if (IsHelpContextLinked()) FClient->SetHelpContext(value);
}

// ===========================================================================
// THintWindow

CL_DEFINE_COMPONENT(THintWindow, TCustomControl)
CL_BEGIN_MESSAGE_MAP(THintWindow, TCustomControl)
  CL_MESSAGE(WM_NCHITTEST, WMNCHitTest)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
CL_END_MESSAGE_MAP

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  SetColor(clInfoBk);
  if (Screen) FFont->Assign(Screen->HintFont());
  FVisible = false;
}

void THintWindow::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style = WS_POPUP | WS_BORDER;
  params.WindowClass.style |= CS_SAVEBITS;
  params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  params.WndParent = Application ? Application->Handle() : nullptr;
}

void THintWindow::Paint() {
  TRect r = GetClientRect();
  r.left += 2;
  r.top += 2;
  TCanvas* canvas = Canvas();
  canvas->Brush()->SetColor(FColor);
  canvas->Font()->Assign(FFont);
  if (Screen) canvas->Font()->SetColor(Screen->HintFont()->Color());
  canvas->RequiredState(csHandleValid | csFontValid | csBrushValid);
  SetBkMode(canvas->Handle(), TRANSPARENT);
  AnsiString text = Caption();
  DrawTextA(canvas->Handle(), text.c_str(), -1, &r,
            DT_LEFT | DT_NOPREFIX | DT_WORDBREAK | DrawTextBiDiModeFlagsReadingOnly());
}

TRect THintWindow::CalcHintRect(int maxWidth, const AnsiString& hint, void* data) {
  (void)data;
  TRect r(0, 0, maxWidth, 0);
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(FFont);
  canvas->RequiredState(csHandleValid | csFontValid);
  DrawTextA(canvas->Handle(), hint.c_str(), -1, &r,
            DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DrawTextBiDiModeFlagsReadingOnly());
  r.right += 6;
  r.bottom += 2;
  return r;
}

void THintWindow::ActivateHint(const TRect& rect, const AnsiString& hint) {
  SetCaption(hint);
  TRect r = rect;
  r.bottom += 4;
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  int w = r.Width(), h = r.Height();
  if (r.left + w > sw) r.left = sw - w;
  if (r.top + h > sh) r.top = sh - h;
  if (r.left < 0) r.left = 0;
  if (r.top < 0) r.top = 0;
  SetWindowPos(Handle(), HWND_TOPMOST, r.left, r.top, w, h, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  UpdateBounds();
  Invalidate();
}

void THintWindow::ActivateHintData(const TRect& rect, const AnsiString& hint, void* data) {
  (void)data;
  ActivateHint(rect, hint);
}

void THintWindow::ReleaseHandle() { DestroyHandle(); }

bool THintWindow::IsHintMsg(const MSG& msg) {
  UINT m = msg.message;
  return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || m == CM_ACTIVATE || m == CM_DEACTIVATE || m == CM_APPKEYDOWN ||
         m == CM_APPSYSCOMMAND || m == WM_COMMAND || (m > WM_MOUSEMOVE && m <= WM_MOUSELAST) ||
         m == WM_NCMOUSEMOVE;
}

void THintWindow::WMNCHitTest(TMessage& m) { m.Result = HTTRANSPARENT; }

void THintWindow::CMTextChanged(TMessage& m) { (void)m; }

// ===========================================================================
// Unit

namespace {

const TIdentMapEntry CursorNames[] = {
    {crDefault, "crDefault"},   {crNone, "crNone"},         {crArrow, "crArrow"},       {crCross, "crCross"},
    {crIBeam, "crIBeam"},       {crSizeNESW, "crSizeNESW"}, {crSizeNS, "crSizeNS"},     {crSizeNWSE, "crSizeNWSE"},
    {crSizeWE, "crSizeWE"},     {crUpArrow, "crUpArrow"},   {crHourGlass, "crHourGlass"}, {crDrag, "crDrag"},
    {crNoDrop, "crNoDrop"},     {crHSplit, "crHSplit"},     {crVSplit, "crVSplit"},     {crMultiDrag, "crMultiDrag"},
    {crSQLWait, "crSQLWait"},   {crNo, "crNo"},             {crAppStart, "crAppStart"}, {crHelp, "crHelp"},
    {crHandPoint, "crHandPoint"}, {crSizeAll, "crSizeAll"},
};
const char* const AlignNames[] = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"};
const char* const AnchorNames[] = {"akLeft", "akTop", "akRight", "akBottom"};
const char* const BiDiModeNames[] = {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign",
                                     "bdRightToLeftReadingOnly"};

void RegisterControlProperties() {
  const TMetaClass* c = &TControl::Class;
  RegisterProperty(c, "Left", pkInteger, &TControl::SetLeft, &TControl::Left);
  RegisterProperty(c, "Top", pkInteger, &TControl::SetTop, &TControl::Top);
  RegisterProperty(c, "Width", pkInteger, &TControl::SetWidth, &TControl::Width);
  RegisterProperty(c, "Height", pkInteger, &TControl::SetHeight, &TControl::Height);
  RegisterProperty(c, "ClientWidth", pkInteger, &TControl::SetClientWidth, &TControl::ClientWidth);
  RegisterProperty(c, "ClientHeight", pkInteger, &TControl::SetClientHeight, &TControl::ClientHeight);
  RegisterProperty(c, "Align", TPropType::Enum(AlignNames), &TControl::SetAlign, &TControl::Align, alNone);
  RegisterProperty(c, "Anchors", TPropType::Set(AnchorNames), &TControl::SetAnchors, &TControl::Anchors);
  RegisterProperty(c, "AutoSize", pkBool, &TControl::SetAutoSize, &TControl::AutoSize, 0);
  RegisterProperty(c, "Caption", pkString, &TControl::SetCaption, &TControl::Caption);
  RegisterProperty(c, "Text", pkString, &TControl::SetText, &TControl::Text);
  RegisterProperty(c, "Hint", pkString, &TControl::SetHint, &TControl::Hint);
  RegisterProperty(c, "ShowHint", pkBool, &TControl::SetShowHint, &TControl::ShowHint);
  RegisterProperty(c, "ParentShowHint", pkBool, &TControl::SetParentShowHint, &TControl::ParentShowHint, 1);
  RegisterProperty(c, "Visible", pkBool, &TControl::SetVisible, &TControl::Visible, 1);
  RegisterProperty(c, "Enabled", pkBool, &TControl::SetEnabled, &TControl::Enabled, 1);
  RegisterProperty(c, "Font", pkObject, &TControl::SetFont, &TControl::Font);
  RegisterProperty(c, "ParentFont", pkBool, &TControl::SetParentFont, &TControl::ParentFont, 1);
  RegisterProperty(c, "Color", ColorPropType(), &TControl::SetColor, &TControl::Color);
  RegisterProperty(c, "ParentColor", pkBool, &TControl::SetParentColor, &TControl::ParentColor, 1);
  RegisterProperty(c, "Cursor", CursorPropType(), &TControl::SetCursor, &TControl::Cursor, crDefault);
  RegisterProperty(c, "PopupMenu", pkComponent, &TControl::SetPopupMenu, &TControl::PopupMenu);
  RegisterProperty(c, "Action", pkComponent, &TControl::SetAction, &TControl::Action);
  RegisterProperty(c, "HelpContext", pkInteger, &TControl::SetHelpContext, &TControl::HelpContext, 0);
  RegisterProperty(c, "BiDiMode", TPropType::Enum(BiDiModeNames), &TControl::SetBiDiMode, &TControl::BiDiMode);
  RegisterProperty(c, "ParentBiDiMode", pkBool, &TControl::SetParentBiDiMode, &TControl::ParentBiDiMode, 1);
  RegisterEventField(c, "OnClick", &TControl::OnClick);
  RegisterEventField(c, "OnDblClick", &TControl::OnDblClick);
  RegisterEventField(c, "OnResize", &TControl::OnResize);
  RegisterEventField(c, "OnMouseDown", &TControl::OnMouseDown);
  RegisterEventField(c, "OnMouseUp", &TControl::OnMouseUp);
  RegisterEventField(c, "OnMouseMove", &TControl::OnMouseMove);
  RegisterEventField(c, "OnMouseEnter", &TControl::OnMouseEnter);
  RegisterEventField(c, "OnMouseLeave", &TControl::OnMouseLeave);
  RegisterEventField(c, "OnContextPopup", &TControl::OnContextPopup);
  RegisterEventField(c, "OnCanResize", &TControl::OnCanResize);

  c = &TWinControl::Class;
  RegisterProperty(c, "TabOrder", pkInteger, &TWinControl::SetTabOrder, &TWinControl::TabOrder);
  RegisterProperty(c, "TabStop", pkBool, &TWinControl::SetTabStop, &TWinControl::TabStop);
  RegisterProperty(c, "Ctl3D", pkBool, &TWinControl::SetCtl3D, &TWinControl::Ctl3D, 1);
  RegisterProperty(c, "ParentCtl3D", pkBool, &TWinControl::SetParentCtl3D, &TWinControl::ParentCtl3D, 1);
  RegisterProperty(c, "BorderWidth", pkInteger, &TWinControl::SetBorderWidth, &TWinControl::BorderWidth, 0);
  RegisterEventField(c, "OnKeyDown", &TWinControl::OnKeyDown);
  RegisterEventField(c, "OnKeyUp", &TWinControl::OnKeyUp);
  RegisterEventField(c, "OnKeyPress", &TWinControl::OnKeyPress);
  RegisterEventField(c, "OnEnter", &TWinControl::OnEnter);
  RegisterEventField(c, "OnExit", &TWinControl::OnExit);
}

}  // namespace

TPropType CursorPropType() { return TPropType::Integer(CursorNames); }

void UnitInit_controls() {
  char text[64];
  std::snprintf(text, sizeof text, "ClassLib%.8lX", static_cast<unsigned long>(GetCurrentProcessId()));
  WindowAtom = GlobalAddAtomA(text);
  if (!WindowAtom) RaiseLastOSError();
  std::snprintf(text, sizeof text, "ControlOfs%.8lX%.8lX",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(HInstance)),
                static_cast<unsigned long>(GetCurrentThreadId()));
  ControlAtom = GlobalAddAtomA(text);
  if (!ControlAtom) RaiseLastOSError();
  CanvasList = new TList();
  HintWindowClass = &THintWindow::Class;
  RegisterActionLinkClass(&TControlActionLink::Class, &NewActionLink<TControlActionLink>);
  RegisterActionLinkClass(&TWinControlActionLink::Class, &NewActionLink<TWinControlActionLink>);
  RegisterClass(&THintWindow::Class);
  RegisterControlProperties();
}

void UnitFini_controls() {
  TControlCanvas::FreeDeviceContexts();
  delete CanvasList;
  CanvasList = nullptr;
  if (ControlAtom) GlobalDeleteAtom(ControlAtom);
  if (WindowAtom) GlobalDeleteAtom(WindowAtom);
  ControlAtom = 0;
  WindowAtom = 0;
  ReleaseObjectInstanceBlocks();
}
