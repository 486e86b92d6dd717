#include "forms.h"

#include "filer.h"
#include "layout.h"
#include "stdctrls.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

constexpr UINT_PTR kHintTimerId = 1;
const char SCannotFocus[] = "Cannot focus a disabled or invisible window";
const char SVisibleChanged[] = "Cannot change Visible in OnShow or OnHide";
const char SCannotShowModal[] = "Cannot make a visible window modal";
const char SNoMDIForm[] = "Cannot create form. No MDI forms are currently active";
// Windows numbers the MDI children's window-menu commands from here, far
// above the menu items' command ids.
constexpr UINT kFirstMDIChildId = 0xFF00;

bool IsMDIStyle(TFormStyle style) { return style == fsMDIChild || style == fsMDIForm; }

// Every guarded callback reports here once the forms unit runs.
void ApplicationExceptionHandler(TObject* sender) {
  if (Application)
    Application->HandleException(sender);
  else
    throw;
}

struct TEnumTaskData {
  HWND Except;
  std::vector<HWND>* List;
};

BOOL CALLBACK DisableTaskWindow(HWND wnd, LPARAM data) {
  return GuardedCall(
      nullptr,
      [&] {
        auto* d = reinterpret_cast<TEnumTaskData*>(data);
        if (wnd != d->Except && IsWindowVisible(wnd) && IsWindowEnabled(wnd)) {
          d->List->push_back(wnd);
          EnableWindow(wnd, FALSE);
        }
        return TRUE;
      },
      FALSE);
}

bool IsOwnThreadWindow(HWND wnd) {
  return wnd && GetWindowThreadProcessId(wnd, nullptr) == GetCurrentThreadId();
}

}  // namespace

std::vector<HWND> DisableTaskWindows(HWND activeWindow) {
  std::vector<HWND> list;
  TEnumTaskData data{activeWindow, &list};
  EnumThreadWindows(GetCurrentThreadId(), &DisableTaskWindow, reinterpret_cast<LPARAM>(&data));
  return list;
}

void EnableTaskWindows(const std::vector<HWND>& list) {
  for (HWND wnd : list)
    if (IsWindow(wnd)) EnableWindow(wnd, TRUE);
}

void ShowMessage(const AnsiString& message) {
  if (Application)
    Application->MessageBox(message, Application->Title(), MB_OK);
  else
    MessageBoxA(nullptr, message.c_str(), "", MB_OK);
}

void ShowMessageFmt(const AnsiString& format, std::initializer_list<TVarRec> args) {
  ShowMessage(Format(format, args));
}

// ===========================================================================
// Message dialogs

namespace {

const char* const ButtonCaptions[] = {"&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore",
                                      "&All", "N&o to All", "Yes to &All", "&Help"};
const char* const ButtonNames[] = {"Yes", "No", "OK", "Cancel", "Abort", "Retry", "Ignore",
                                   "All", "NoToAll", "YesToAll", "Help"};
const int ButtonResults[] = {mrYes, mrNo, mrOk, mrCancel, mrAbort, mrRetry, mrIgnore, mrAll, mrNoToAll,
                             mrYesToAll, mrNone};
const char* const DialogCaptions[] = {"Warning", "Error", "Information", "Confirmation", nullptr};
LPCSTR const DialogIcons[] = {IDI_EXCLAMATION, IDI_HAND, IDI_ASTERISK, IDI_QUESTION, nullptr};

// The form of a message dialog: it paints the type's icon itself.
// (GCC takes the destroying delete of forms for a mismatch with the global
// new of the factory; it is not: that delete frees with the global one.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
class TMessageForm : public TForm {
  CL_CLASS(TMessageForm, TForm)
public:
  explicit TMessageForm(TComponent* owner) : TForm(owner) {}
  HICON Icon = nullptr;
  TPoint IconPos;

protected:
  void Paint() override {
    TForm::Paint();
    if (Icon) DrawIcon(Canvas()->Handle(), IconPos.x, IconPos.y, Icon);
  }
  void WMPaintIcon(TMessage& m) {
    FControlState |= csCustomPaint;
    try {
      InheritedMsg(&TForm::MessageMap, m);
    } catch (...) {
      FControlState &= ~csCustomPaint;
      throw;
    }
    FControlState &= ~csCustomPaint;
  }
  CL_DECLARE_MESSAGE_MAP(TMessageForm)
};
CL_DEFINE_COMPONENT(TMessageForm, TForm)
CL_BEGIN_MESSAGE_MAP(TMessageForm, TForm)
  CL_MESSAGE(WM_PAINT, WMPaintIcon)
  CL_MESSAGE(WM_PRINTCLIENT, WMPaintIcon)
CL_END_MESSAGE_MAP
#pragma GCC diagnostic pop

// The text's size in the form's font, at most maxWidth wide.
TRect MeasureText(TForm* form, const AnsiString& text, int maxWidth, UINT flags) {
  TRect r(0, 0, maxWidth, 0);
  TCanvas* canvas = form->Canvas();
  canvas->Font()->Assign(form->Font());
  DrawTextA(canvas->Handle(), text.c_str(), -1, &r, DT_CALCRECT | flags);
  return r;
}

}  // namespace

TForm* CreateMessageDialog(const AnsiString& message, TMsgDlgType type, TMsgDlgButtons buttons) {
  const int margin = 8, spacing = 10, buttonWidth = 75, buttonHeight = 25, buttonSpacing = 6;
  TMessageForm* form = NewForm<TMessageForm>(Application);
  try {
    form->SetBorderStyle(bsDialog);
    form->SetPosition(poScreenCenter);
    form->SetCaption(DialogCaptions[type] ? AnsiString(DialogCaptions[type])
                                          : (Application ? Application->Title() : AnsiString()));
    if (Screen) form->Font()->Assign(Screen->HintFont());
    form->Font()->SetColor(clWindowText);
    if (DialogIcons[type]) form->Icon = LoadIconA(nullptr, DialogIcons[type]);
    int iconSize = form->Icon ? GetSystemMetrics(SM_CXICON) : 0;
    int maxText = GetSystemMetrics(SM_CXSCREEN) / 2;
    TRect text = MeasureText(form, message, maxText, DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    int textLeft = margin + (iconSize ? iconSize + spacing : 0);
    int textHeight = std::max(static_cast<int>(text.bottom), iconSize);
    int count = 0;
    for (int b = mbYes; b <= mbHelp; ++b)
      if (buttons & (1u << b)) ++count;
    if (count == 0) {
      buttons = MsgDlgButton(mbOK);
      count = 1;
    }
    int groupWidth = count * buttonWidth + (count - 1) * buttonSpacing;
    int clientWidth = std::max(textLeft + static_cast<int>(text.right), groupWidth) + 2 * margin;
    int clientHeight = margin + textHeight + spacing + buttonHeight + margin;
    form->SetClientSize(clientWidth, clientHeight);
    form->IconPos = TPoint(margin, margin);
    auto* label = new TLabel(form);
    label->SetName("Message");
    label->SetParent(form);
    label->SetWordWrap(true);
    label->SetShowAccelChar(false);
    label->SetBounds(textLeft, margin, text.right, text.bottom);
    label->SetCaption(message);
    int x = (clientWidth - groupWidth) / 2;
    bool haveDefault = false;
    for (int b = mbYes; b <= mbHelp; ++b) {
      if (!(buttons & (1u << b))) continue;
      auto* button = new TButton(form);
      button->SetName(ButtonNames[b]);
      button->SetParent(form);
      button->SetCaption(ButtonCaptions[b]);
      button->SetModalResult(ButtonResults[b]);
      button->SetBounds(x, margin + textHeight + spacing, buttonWidth, buttonHeight);
      if (!haveDefault && (b == mbOK || b == mbYes)) {
        button->SetDefault(true);
        form->SetActiveControl(button);
        haveDefault = true;
      }
      if (b == mbCancel || (b == mbNo && !(buttons & MsgDlgButton(mbCancel)))) button->SetCancel(true);
      x += buttonWidth + buttonSpacing;
    }
  } catch (...) {
    delete form;
    throw;
  }
  return form;
}

int MessageDlg(const AnsiString& message, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext) {
  std::unique_ptr<TForm> owned(CreateMessageDialog(message, type, buttons));
  TForm* form = owned.get();
  form->SetHelpContext(helpContext);
  return form->ShowModal();
}

bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
  const int margin = 8, buttonWidth = 75, buttonHeight = 25;
  std::unique_ptr<TForm> owned(NewForm<TForm>(Application));
  TForm* form = owned.get();
  bool ok = false;
  form->SetBorderStyle(bsDialog);
  form->SetPosition(poScreenCenter);
  form->SetCaption(caption);
  if (Screen) form->Font()->Assign(Screen->HintFont());
  form->Font()->SetColor(clWindowText);
  int width = 240;
  TRect text = MeasureText(form, prompt.IsEmpty() ? AnsiString(" ") : prompt, width, DT_WORDBREAK);
  auto* label = new TLabel(form);
  label->SetName("Prompt");
  label->SetParent(form);
  label->SetWordWrap(true);
  label->SetBounds(margin, margin, width, text.bottom);
  label->SetCaption(prompt);
  auto* edit = new TEdit(form);
  edit->SetName("Value");
  edit->SetParent(form);
  edit->SetBounds(margin, margin + text.bottom + 4, width, 21);
  edit->SetMaxLength(255);
  edit->SetText(value);
  int buttonTop = edit->Top() + edit->Height() + 12;
  auto* okButton = new TButton(form);
  okButton->SetName("OK");
  okButton->SetParent(form);
  okButton->SetCaption("OK");
  okButton->SetModalResult(mrOk);
  okButton->SetDefault(true);
  okButton->SetBounds(margin + width / 2 - buttonWidth - 4, buttonTop, buttonWidth, buttonHeight);
  auto* cancelButton = new TButton(form);
  cancelButton->SetName("Cancel");
  cancelButton->SetParent(form);
  cancelButton->SetCaption("Cancel");
  cancelButton->SetModalResult(mrCancel);
  cancelButton->SetCancel(true);
  cancelButton->SetBounds(margin + width / 2 + 4, buttonTop, buttonWidth, buttonHeight);
  form->SetClientSize(width + 2 * margin, buttonTop + buttonHeight + margin);
  form->SetActiveControl(edit);
  if (form->ShowModal() == mrOk) {
    value = edit->Text();
    ok = true;
  }
  return ok;
}

AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt, const AnsiString& defaultValue) {
  AnsiString value = defaultValue;
  InputQuery(caption, prompt, value);
  return value;
}

// ===========================================================================
// Scrolling controls

CL_DEFINE_CLASS(TControlScrollBar, TPersistent)
CL_DEFINE_COMPONENT(TScrollingWinControl, TWinControl)
CL_DEFINE_COMPONENT(TScrollBox, TScrollingWinControl)
CL_DEFINE_COMPONENT(TCustomFrame, TScrollingWinControl)
CL_DEFINE_COMPONENT(TFrame, TCustomFrame)

CL_BEGIN_MESSAGE_MAP(TScrollingWinControl, TWinControl)
  CL_MESSAGE(WM_HSCROLL, WMHScroll)
  CL_MESSAGE(WM_VSCROLL, WMVScroll)
CL_END_MESSAGE_MAP

TControlScrollBar::TControlScrollBar(TScrollingWinControl* control, int bar) : FControl(control), FBar(bar) {}

void TControlScrollBar::Assign(TPersistent* source) {
  if (!source || !source->Is<TControlScrollBar>()) {
    TPersistent::Assign(source);
    return;
  }
  auto* other = static_cast<TControlScrollBar*>(source);
  FIncrement = other->FIncrement;
  FMargin = other->FMargin;
  FTracking = other->FTracking;
  FVisible = other->FVisible;
  FRange = other->FRange;
  FControl->UpdateScrollBars();
  SetPosition(other->FPosition);
}

int TControlScrollBar::MaxPosition() const { return std::max(0, FRange - FPageSize); }

void TControlScrollBar::SetPosition(int value) {
  value = std::max(0, std::min(value, MaxPosition()));
  if (value == FPosition) return;
  int delta = FPosition - value;
  FPosition = value;
  if (FBar == SB_HORZ)
    FControl->ScrollBy(delta, 0);
  else
    FControl->ScrollBy(0, delta);
  if (FShown && FControl->HandleAllocated()) SetScrollPos(FControl->WindowHandle(), FBar, FPosition, TRUE);
}

void TControlScrollBar::SetRange(int value) {
  FControl->FAutoScroll = false;
  FRange = std::max(0, value);
  FControl->UpdateScrollBars();
}

void TControlScrollBar::SetMargin(int value) {
  FMargin = std::max(0, value);
  FControl->UpdateScrollBars();
}

void TControlScrollBar::SetVisible(bool value) {
  if (FVisible == value) return;
  FVisible = value;
  FControl->UpdateScrollBars();
}

void TControlScrollBar::ScrollMessage(TMessage& m) {
  int pos = FPosition;
  switch (LOWORD(m.WParam)) {
    case SB_LINEUP: pos -= FIncrement; break;
    case SB_LINEDOWN: pos += FIncrement; break;
    case SB_PAGEUP: pos -= std::max(FPageSize, 1); break;
    case SB_PAGEDOWN: pos += std::max(FPageSize, 1); break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = MaxPosition(); break;
    case SB_THUMBTRACK:
      if (!FTracking) return;
      [[fallthrough]];
    case SB_THUMBPOSITION: {
      // The message carries only 16 bits of the position; the bar has all 32.
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_TRACKPOS;
      pos = GetScrollInfo(FControl->WindowHandle(), FBar, &si) ? si.nTrackPos : static_cast<short>(HIWORD(m.WParam));
      break;
    }
    default: return;
  }
  SetPosition(pos);
  m.Result = 0;
}

TScrollingWinControl::TScrollingWinControl(TComponent* owner) : TWinControl(owner) {
  FHorzScrollBar = new TControlScrollBar(this, SB_HORZ);
  FVertScrollBar = new TControlScrollBar(this, SB_VERT);
}

TScrollingWinControl::~TScrollingWinControl() {
  delete FHorzScrollBar;
  FHorzScrollBar = nullptr;
  delete FVertScrollBar;
  FVertScrollBar = nullptr;
}

void TScrollingWinControl::SetAutoScroll(bool value) {
  if (FAutoScroll == value) return;
  FAutoScroll = value;
  if (!value) {
    FHorzScrollBar->FRange = 0;
    FVertScrollBar->FRange = 0;
  }
  UpdateScrollBars();
}

void TScrollingWinControl::ScrollBy(int deltaX, int deltaY) {
  if (deltaX == 0 && deltaY == 0) return;
  DisableAlign();
  try {
    for (TControl* c : std::vector<TControl*>(FControls))
      c->SetBounds(c->Left() + deltaX, c->Top() + deltaY, c->Width(), c->Height());
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
}

void TScrollingWinControl::AdjustClientRect(TRect& rect) {
  // Aligned controls are placed in the whole scrolled area, not just the
  // part in view.
  int left = -FHorzScrollBar->FPosition, top = -FVertScrollBar->FPosition;
  rect = TRect(left, top, left + std::max(FHorzScrollBar->FRange, static_cast<int>(rect.Width())),
               top + std::max(FVertScrollBar->FRange, static_cast<int>(rect.Height())));
  TWinControl::AdjustClientRect(rect);
}

void TScrollingWinControl::AlignControls(TControl* control, TRect& rect) {
  TWinControl::AlignControls(control, rect);
  UpdateScrollBars();
}

void TScrollingWinControl::UpdateScrollBars() {
  if (!FHandle || FUpdatingScrollBars || (ComponentState() & (csLoading | csDestroying))) return;
  TControlScrollBar* horz = FHorzScrollBar;
  TControlScrollBar* vert = FVertScrollBar;
  // Forms that do not scroll (all of the program's) pass every alignment here.
  if (!FAutoScroll && horz->FRange == 0 && vert->FRange == 0 && !horz->FShown && !vert->FShown &&
      horz->FPosition == 0 && vert->FPosition == 0)
    return;
  FUpdatingScrollBars = true;
  struct TReset {
    bool& Flag;
    ~TReset() { Flag = false; }
  } reset{FUpdatingScrollBars};
  if (FAutoScroll) {
    // Aligned controls follow the area; only free ones set its extent.
    int right = 0, bottom = 0;
    for (TControl* c : FControls) {
      if (!c->Visible() || c->Align() != alNone) continue;
      right = std::max(right, c->Left() + c->Width() + horz->FPosition);
      bottom = std::max(bottom, c->Top() + c->Height() + vert->FPosition);
    }
    horz->FRange = right > 0 ? right + horz->FMargin : 0;
    vert->FRange = bottom > 0 ? bottom + vert->FMargin : 0;
  }
  // The client size without the bars decides; a bar that shows takes room
  // from the other direction.
  LONG style = GetWindowLongA(FHandle, GWL_STYLE);
  RECT client;
  ::GetClientRect(FHandle, &client);
  int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
  int fullWidth = client.right + ((style & WS_VSCROLL) ? cx : 0);
  int fullHeight = client.bottom + ((style & WS_HSCROLL) ? cy : 0);
  bool showH = horz->FVisible && horz->FRange > fullWidth;
  bool showV = vert->FVisible && vert->FRange > fullHeight;
  if (showH && !showV) showV = vert->FVisible && vert->FRange > fullHeight - cy;
  if (showV && !showH) showH = horz->FVisible && horz->FRange > fullWidth - cx;
  horz->FPageSize = std::max(0, fullWidth - (showV ? cx : 0));
  vert->FPageSize = std::max(0, fullHeight - (showH ? cy : 0));
  auto apply = [&](TControlScrollBar* bar, bool show, LONG styleBit) {
    // A range that shrank (or a bar that went) scrolls the contents back.
    int position = show ? std::min(bar->FPosition, bar->MaxPosition()) : 0;
    if (position != bar->FPosition) {
      int delta = bar->FPosition - position;
      bar->FPosition = position;
      if (bar->FBar == SB_HORZ)
        ScrollBy(delta, 0);
      else
        ScrollBy(0, delta);
    }
    bar->FShown = show;
    if (show) {
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_ALL;
      si.nMin = 0;
      si.nMax = bar->FRange - 1;
      si.nPage = static_cast<UINT>(bar->FPageSize);
      si.nPos = bar->FPosition;
      SetScrollInfo(FHandle, bar->FBar, &si, TRUE);
    }
    bool hasBar = (GetWindowLongA(FHandle, GWL_STYLE) & styleBit) != 0;
    if (hasBar != show) ShowScrollBar(FHandle, bar->FBar, show);
  };
  apply(horz, showH, WS_HSCROLL);
  apply(vert, showV, WS_VSCROLL);
}

void TScrollingWinControl::WMHScroll(TMessage& m) {
  if (m.LParam == 0) {
    FHorzScrollBar->ScrollMessage(m);
    return;
  }
  InheritedMsg(&TWinControl::MessageMap, m);
}

void TScrollingWinControl::WMVScroll(TMessage& m) {
  if (m.LParam == 0) {
    FVertScrollBar->ScrollMessage(m);
    return;
  }
  InheritedMsg(&TWinControl::MessageMap, m);
}

TScrollBox::TScrollBox(TComponent* owner) : TScrollingWinControl(owner) {
  FControlStyle = csCaptureMouse | csClickEvents | csAcceptsControls | csSetCaption | csDoubleClicks;
  FWidth = 185;
  FHeight = 41;
  FAutoScroll = true;
}

void TScrollBox::SetBorderStyle(TFormBorderStyle value) {
  if (FBorderStyle == value) return;
  FBorderStyle = value;
  RecreateWnd();
}

void TScrollBox::CreateParams(TCreateParams& params) {
  TScrollingWinControl::CreateParams(params);
  if (FBorderStyle == bsSingle) {
    if (FCtl3D)
      params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      params.Style |= WS_BORDER;
  }
  // Scrolling repaints what it uncovers; a resize need not repaint it all.
  params.WindowClass.style &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
}

TCustomFrame::TCustomFrame(TComponent* owner) : TScrollingWinControl(owner) {
  FControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  FWidth = 320;
  FHeight = 240;
  FAutoScroll = true;
}

void TCustomFrame::ReadLayout(const TMetaClass* cls) { ReadComponentRes(UpperCase(cls->Name), this); }

// ===========================================================================
// TCustomForm

CL_DEFINE_COMPONENT(TCustomForm, TScrollingWinControl)
CL_DEFINE_COMPONENT(TForm, TCustomForm)

CL_BEGIN_MESSAGE_MAP(TCustomForm, TScrollingWinControl)
  CL_MESSAGE(WM_CLOSE, WMClose)
  CL_MESSAGE(WM_MDIACTIVATE, WMMDIActivate)
  CL_MESSAGE(WM_ACTIVATE, WMActivate)
  CL_MESSAGE(WM_ACTIVATEAPP, WMActivateApp)
  CL_MESSAGE(WM_DESTROY, WMDestroy)
  CL_MESSAGE(WM_COMMAND, WMCommand)
  CL_MESSAGE(WM_INITMENUPOPUP, WMInitMenuPopup)
  CL_MESSAGE(WM_DRAWITEM, WMDrawItem)
  CL_MESSAGE(WM_MEASUREITEM, WMMeasureItem)
  CL_MESSAGE(WM_MENUSELECT, WMMenuSelect)
  CL_MESSAGE(WM_QUERYENDSESSION, WMQueryEndSession)
  CL_MESSAGE(WM_WINDOWPOSCHANGING, WMWindowPosChanging)
  CL_MESSAGE(WM_PAINT, WMPaint)
  CL_MESSAGE(WM_PRINTCLIENT, WMPaint)
  CL_MESSAGE(CM_RELEASE, CMRelease)
  CL_MESSAGE(CM_SHOWINGCHANGED, CMShowingChanged)
  CL_MESSAGE(CM_DIALOGKEY, CMDialogKey)
  CL_MESSAGE(CM_ACTIVATE, CMActivate)
  CL_MESSAGE(CM_DEACTIVATE, CMDeactivate)
  CL_MESSAGE(CM_ACTIONEXECUTE, CMActionExecute)
  CL_MESSAGE(CM_ACTIONUPDATE, CMActionUpdate)
CL_END_MESSAGE_MAP

TCustomForm::TCustomForm(TComponent* owner) : TScrollingWinControl(owner) {
  FControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  FLeft = 0;
  FTop = 0;
  FWidth = 320;
  FHeight = 240;
  FVisible = false;
  FParentColor = false;
  FParentFont = false;
  FParentShowHint = false;
  FColor = clBtnFace;
  FBrush->SetColor(clBtnFace);
  FPixelsPerInch = Screen ? Screen->PixelsPerInch() : ScreenLogPixels;
  FIcon = new TIcon();
  FCanvas = new TControlCanvas();
  FCanvas->SetControl(this);
  if (Screen) Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
  // Only when the destructor is called without a delete (a form that is a
  // member of something) does the destruction work run here, after the
  // derived parts are gone.
  if (!FDestroyStarted) BeforeDestruction();
  if (Screen) Screen->RemoveForm(this);
  if (Application && Application->FMainForm == this) Application->FMainForm = nullptr;
  if (FHandle) DestroyHandle();
  if (FMenu) {
    MergeMenu(false);
    FMenu->RemoveFreeNotification(this);
  }
  FMenu = nullptr;
  if (FWindowMenu) FWindowMenu->RemoveFreeNotification(this);
  FWindowMenu = nullptr;
  delete FCanvas;
  FCanvas = nullptr;
  delete FIcon;
  FIcon = nullptr;
}

void TCustomForm::operator delete(TCustomForm* form, std::destroying_delete_t) {
  void* memory = dynamic_cast<void*>(form);
  form->BeforeDestruction();
  form->~TCustomForm();
  ::operator delete(memory);
}

void TCustomForm::BeforeDestruction() {
  if (FDestroyStarted) return;
  FDestroyStarted = true;
  TScrollingWinControl::BeforeDestruction();
  DoDestroy();
  if (Screen) Screen->RemoveForm(this);
  // The windows go while the object is still whole, so the form's own
  // handlers (menu detachment) run.
  GuardedCall(this, [&] { DestroyHandle(); });
}

void TCustomForm::AfterConstruction() {
  TScrollingWinControl::AfterConstruction();
  FConstructed = true;
  DoCreate();
}

void TCustomForm::ReadLayout(const TMetaClass* cls) {
  FFormState |= fsCreating;
  try {
    ReadComponentRes(UpperCase(cls->Name), this);
  } catch (...) {
    FFormState &= ~fsCreating;
    throw;
  }
  FFormState &= ~fsCreating;
}

void TCustomForm::DoCreate() {
  if (OnCreate) {
    try {
      OnCreate(this);
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
  }
  if (FFormState & fsVisible) SetVisible(true);
}

void TCustomForm::DoDestroy() {
  if (!OnDestroy) return;
  try {
    OnDestroy(this);
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomForm::PaintWindow(HDC dc) {
  FCanvas->PaintOnDC(dc, [this] { Paint(); });
}

TCanvas* TCustomForm::Canvas() { return FCanvas; }

void TCustomForm::StyleBits(DWORD& style, DWORD& exStyle) {
  style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  exStyle = 0;
  switch (FBorderStyle) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle:
    case bsToolWindow: style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable:
    case bsSizeToolWin: style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      style |= WS_POPUP | WS_CAPTION;
      exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
  }
  if (FBorderStyle != bsNone) {
    if (FBorderIcons & biSystemMenu) style |= WS_SYSMENU;
    if (FBorderStyle == bsSingle || FBorderStyle == bsSizeable) {
      if (FBorderIcons & biMinimize) style |= WS_MINIMIZEBOX;
      if (FBorderIcons & biMaximize) style |= WS_MAXIMIZEBOX;
    }
  }
  if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) exStyle |= WS_EX_TOOLWINDOW;
  if (FFormStyle == fsStayOnTop) exStyle |= WS_EX_TOPMOST;
  if (!FEnabled) style |= WS_DISABLED;
}

HWND TCustomForm::OwnerWindow() {
  if (FFormState & fsModal) {
    HWND active = GetActiveWindow();
    if (IsOwnThreadWindow(active) && active != FHandle) return active;
  }
  if (Application) {
    TCustomForm* main = Application->MainForm();
    if (main && main != this && main->HandleAllocated()) return main->WindowHandle();
  }
  return nullptr;
}

void TCustomForm::CreateParams(TCreateParams& params) {
  TScrollingWinControl::CreateParams(params);
  StyleBits(params.Style, params.ExStyle);
  params.WndParent = OwnerWindow();
  params.WindowClass.style = CS_DBLCLKS;
  params.WindowClass.hIcon = LoadIconA(HInstance, "MAINICON");
  if (FFormStyle == fsMDIChild) {
    params.Style = (params.Style & ~static_cast<DWORD>(WS_POPUP)) | WS_CHILD;
    params.ExStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
    params.WndParent = MDIClientOfMainForm();
    params.WindowClass.lpfnWndProc = &DefMDIChildProcA;
  }
}

HWND MDIClientOfMainForm() {
  TCustomForm* main = Application ? Application->MainForm() : nullptr;
  if (!main || !main->ClientHandle()) throw EInvalidOperation(SNoMDIForm);
  return main->ClientHandle();
}

void TCustomForm::CreateWindowHandle(const TCreateParams& params) {
  if (FFormStyle != fsMDIChild) {
    FFormState &= static_cast<TFormState>(~fsCreatedMDIChild);
    TScrollingWinControl::CreateWindowHandle(params);
    return;
  }
  HWND wnd = CreateMDIWindowA(params.WinClassName, params.Caption, params.Style, params.X, params.Y, params.Width,
                              params.Height, MDIClientOfMainForm(), HInstance, reinterpret_cast<LPARAM>(params.Param));
  if (!wnd) RaiseLastOSError();
  FHandle = wnd;
  FFormState |= fsCreatedMDIChild;
}

void TCustomForm::CreateClientWindow() {
  CLIENTCREATESTRUCT ccs{};
  ccs.idFirstChild = kFirstMDIChildId;
  TRect r = GetClientRect();
  // MDIS_ALLCHILDSTYLES: the children keep the styles their forms choose.
  FClientHandle = CreateWindowExW(WS_EX_CLIENTEDGE, L"MDICLIENT", nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_HSCROLL | WS_VSCROLL |
                                      MDIS_ALLCHILDSTYLES,
                                  0, 0, r.Width(), r.Height(), FHandle, nullptr, HInstance, &ccs);
  if (!FClientHandle) RaiseLastOSError();
}

void TCustomForm::AlignControls(TControl* control, TRect& rect) {
  TScrollingWinControl::AlignControls(control, rect);
  if (FClientHandle)
    SetWindowPos(FClientHandle, HWND_BOTTOM, rect.left, rect.top, std::max(0, static_cast<int>(rect.Width())),
                 std::max(0, static_cast<int>(rect.Height())), SWP_NOACTIVATE);
}

void TCustomForm::DefWndProc(TMessage& message) {
  if (FClientHandle && FHandle && message.Msg != WM_SIZE) {
    message.Result = DefFrameProcA(FHandle, FClientHandle, message.Msg, message.WParam, message.LParam);
    return;
  }
  TScrollingWinControl::DefWndProc(message);
}

void TCustomForm::CreateWnd() {
  TScrollingWinControl::CreateWnd();
  if (FFormStyle == fsMDIForm) CreateClientWindow();
  ApplyMenu();
  if (FClientWidth > 0 || FClientHeight > 0) {
    TRect client = GetClientRect();
    int w = FClientWidth > 0 ? FClientWidth : client.Width();
    int h = FClientHeight > 0 ? FClientHeight : client.Height();
    FClientWidth = 0;
    FClientHeight = 0;
    TControl::SetClientSize(w, h);
  }
  if (FIcon && !FIcon->Empty())
    SendMessageA(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIcon->Handle()));
  ApplyLayered();
}

void TCustomForm::ApplyLayered() {
  if (!FHandle) return;
  LONG ex = GetWindowLongA(FHandle, GWL_EXSTYLE);
  if (FAlphaBlend || FTransparentColor) {
    if (!(ex & WS_EX_LAYERED)) SetWindowLongA(FHandle, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    DWORD flags = (FAlphaBlend ? LWA_ALPHA : 0) | (FTransparentColor ? LWA_COLORKEY : 0);
    SetLayeredWindowAttributes(FHandle, ColorToRGB(FTransparentColorValue), static_cast<BYTE>(FAlphaBlendValue),
                               flags);
  } else if (ex & WS_EX_LAYERED) {
    SetWindowLongA(FHandle, GWL_EXSTYLE, ex & ~WS_EX_LAYERED);
    RedrawWindow(FHandle, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
  }
}

void TCustomForm::SetAlphaBlend(bool value) {
  if (FAlphaBlend == value) return;
  FAlphaBlend = value;
  ApplyLayered();
}

void TCustomForm::SetAlphaBlendValue(int value) {
  value = std::max(0, std::min(value, 255));
  if (FAlphaBlendValue == value) return;
  FAlphaBlendValue = value;
  ApplyLayered();
}

void TCustomForm::SetTransparentColor(bool value) {
  if (FTransparentColor == value) return;
  FTransparentColor = value;
  ApplyLayered();
}

void TCustomForm::SetTransparentColorValue(TColor value) {
  if (FTransparentColorValue == value) return;
  FTransparentColorValue = value;
  ApplyLayered();
}

void TCustomForm::DestroyWindowHandle() {
  if (FHandle && FMenu) {
    // The menu belongs to its items, not to the window that shows it.
    ::SetMenu(FHandle, nullptr);
    FMenu->SetWindowHandle(nullptr);
  }
  if (Screen && Screen->FFocusedForm == this) Screen->FFocusedForm = nullptr;
  FActive = false;
  if ((FFormState & fsCreatedMDIChild) && FHandle) {
    // The MDI client keeps a list of its children: it must destroy them itself.
    FFormState &= static_cast<TFormState>(~fsCreatedMDIChild);
    TControlCanvas::FreeDeviceContext(FHandle);
    if (HWND client = GetParent(FHandle)) SendMessageA(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(FHandle), 0);
    if (FHandle && !IsWindow(FHandle)) FHandle = nullptr;
    if (!FHandle) FShowing = false;
  }
  TScrollingWinControl::DestroyWindowHandle();
  // The MDI client went with the frame window.
  FClientHandle = nullptr;
}

void TCustomForm::ApplyMenu() {
  if (!FHandle) return;
  if (FMenu && !MenuMerges()) {
    ::SetMenu(FHandle, FMenu->Handle());
    FMenu->SetWindowHandle(FHandle);
  } else if (FFormStyle != fsMDIChild) {
    ::SetMenu(FHandle, nullptr);
  }
  ApplyWindowMenu();
}

bool TCustomForm::MenuMerges() const {
  if (!FMenu || !Application || Application->MainForm() == this) return false;
  return FFormStyle == fsMDIChild || FMenu->AutoMerge();
}

void TCustomForm::MergeMenu(bool merge) {
  if (!MenuMerges()) return;
  TCustomForm* main = Application->MainForm();
  if (!main || !main->Menu()) return;
  if (merge)
    main->Menu()->Merge(FMenu);
  else
    main->Menu()->Unmerge(FMenu);
  main->ApplyWindowMenu();
}

void TCustomForm::SetWindowMenu(TMenuItem* value) {
  if (FWindowMenu == value) return;
  if (FWindowMenu) FWindowMenu->RemoveFreeNotification(this);
  FWindowMenu = value;
  if (value) value->FreeNotification(this);
  ApplyWindowMenu();
}

void TCustomForm::ApplyWindowMenu() {
  if (!FClientHandle || !FMenu || !FHandle) return;
  // Only an item with sub-items has a menu of its own to list windows in.
  HMENU window = FWindowMenu && FWindowMenu->Count() > 0 ? FWindowMenu->Handle() : nullptr;
  SendMessageA(FClientHandle, WM_MDISETMENU, reinterpret_cast<WPARAM>(FMenu->Handle()), reinterpret_cast<LPARAM>(window));
  DrawMenuBar(FHandle);
}

void TCustomForm::WMMDIActivate(TMessage& m) {
  // The child coming forward shows its menu in the main form's bar; the one
  // going back takes its menu out.
  if (reinterpret_cast<HWND>(m.LParam) == FHandle)
    MergeMenu(true);
  else if (reinterpret_cast<HWND>(m.WParam) == FHandle)
    MergeMenu(false);
  DefaultHandler(m);
}

TRect TCustomForm::GetClientRect() {
  if (FHandle) return TScrollingWinControl::GetClientRect();
  DWORD style, exStyle;
  StyleBits(style, exStyle);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style, FMenu != nullptr, exStyle);
  int w = FClientWidth > 0 ? FClientWidth : std::max(0, FWidth - static_cast<int>(frame.right - frame.left));
  int h = FClientHeight > 0 ? FClientHeight : std::max(0, FHeight - static_cast<int>(frame.bottom - frame.top));
  return TRect(0, 0, w, h);
}

void TCustomForm::SetClientSize(int width, int height) {
  if (FHandle) {
    TControl::SetClientSize(width, height);
    return;
  }
  // Without a window the client size is kept and given to the window when it
  // is made (its frame depends on the final border and menu).
  FClientWidth = width;
  FClientHeight = height;
  DWORD style, exStyle;
  StyleBits(style, exStyle);
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, style, FMenu != nullptr, exStyle);
  FWidth = frame.right - frame.left;
  FHeight = frame.bottom - frame.top;
}

void TCustomForm::SetBounds(int left, int top, int width, int height) {
  FInSetBounds = true;
  try {
    if (!FHandle && (width != FWidth || height != FHeight)) {
      FClientWidth = 0;
      FClientHeight = 0;
    }
    TScrollingWinControl::SetBounds(left, top, width, height);
  } catch (...) {
    FInSetBounds = false;
    throw;
  }
  FInSetBounds = false;
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
  if (FBorderStyle == value) return;
  FBorderStyle = value;
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons value) {
  if (FBorderIcons == value) return;
  FBorderIcons = value;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle value) {
  if (FFormStyle == value) return;
  TFormStyle old = FFormStyle;
  FFormStyle = value;
  if (FHandle && (IsMDIStyle(old) || IsMDIStyle(value))) {
    RecreateWnd();
    return;
  }
  if (FHandle)
    SetWindowPos(FHandle, value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetWindowState(TWindowState value) {
  if (FWindowState == value) return;
  FWindowState = value;
  if (FHandle && FShowing) {
    static const int commands[] = {SW_SHOWNORMAL, SW_MINIMIZE, SW_SHOWMAXIMIZED};
    ShowWindow(FHandle, commands[value]);
  }
}

void TCustomForm::SetMenu(TMainMenu* value) {
  if (FMenu == value) return;
  if (FMenu) {
    FMenu->RemoveFreeNotification(this);
    FMenu->SetWindowHandle(nullptr);
  }
  FMenu = value;
  if (value) value->FreeNotification(this);
  if (!(ComponentState() & csLoading)) ApplyMenu();
}

void TCustomForm::SetIcon(TIcon* value) {
  FIcon->Assign(value);
  if (FHandle && !FIcon->Empty())
    SendMessageA(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIcon->Handle()));
}

void TCustomForm::SetPixelsPerInch(int value) {
  if (value > 0) FPixelsPerInch = value;
}

void TCustomForm::ScaleBy(int m, int d) {
  if (m == d || d == 0) return;
  DisableAlign();
  auto scaleControl = [&](auto&& self, TControl* c) -> void {
    c->SetBounds(MulDiv(c->Left(), m, d), MulDiv(c->Top(), m, d), MulDiv(c->Width(), m, d),
                 MulDiv(c->Height(), m, d));
    if (!c->ParentFont()) c->Font()->SetHeight(MulDiv(c->Font()->Height(), m, d));
    if (c->Is<TWinControl>()) {
      auto* w = static_cast<TWinControl*>(c);
      for (int i = 0; i < w->ControlCount(); ++i) self(self, w->Controls(i));
    }
  };
  try {
    for (TControl* c : std::vector<TControl*>(FControls)) scaleControl(scaleControl, c);
    TRect client = GetClientRect();
    SetClientSize(MulDiv(client.Width(), m, d), MulDiv(client.Height(), m, d));
    FFont->SetHeight(MulDiv(FFont->Height(), m, d));
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
}

void TCustomForm::Loaded() {
  TScrollingWinControl::Loaded();
  if (FScaled && Screen && FPixelsPerInch != Screen->PixelsPerInch()) {
    ScaleBy(Screen->PixelsPerInch(), FPixelsPerInch);
    FPixelsPerInch = Screen->PixelsPerInch();
  }
  if (FMenu) ApplyMenu();
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  TScrollingWinControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FMenu) {
    if (FHandle) ::SetMenu(FHandle, nullptr);
    FMenu = nullptr;
  }
  if (component == FWindowMenu) FWindowMenu = nullptr;
  if (component == FActiveControl) FActiveControl = nullptr;
  if (component == FFocusedControl) FFocusedControl = nullptr;
}

void TCustomForm::SetVisible(bool value) {
  if (FFormState & fsCreating) {
    if (value)
      FFormState |= fsVisible;
    else
      FFormState &= ~fsVisible;
    return;
  }
  if (value && !FConstructed)
    throw EInvalidOperation("A form must be made by Application->CreateForm or NewForm before it is shown");
  if (FFormState & fsShowing) throw EInvalidOperation(SVisibleChanged);
  TScrollingWinControl::SetVisible(value);
}

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::BringToFront() {
  if (FHandle) SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TCustomForm::ApplyPosition() {
  if (FPositioned) return;
  FPositioned = true;
  TRect area(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  TCustomForm* around = nullptr;
  switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
      break;
    case poMainFormCenter:
      around = Application ? Application->MainForm() : nullptr;
      break;
    case poOwnerFormCenter:
      around = Owner() && Owner()->Is<TCustomForm>() ? static_cast<TCustomForm*>(Owner())
                                                     : (Application ? Application->MainForm() : nullptr);
      break;
    default:
      return;
  }
  if (around == this) around = nullptr;
  if (around && around->HandleAllocated()) area = around->BoundsRect();
  int x = area.left + (area.Width() - FWidth) / 2;
  int y = area.top + (area.Height() - FHeight) / 2;
  if (around) {
    x = std::max(0, std::min(x, GetSystemMetrics(SM_CXSCREEN) - FWidth));
    y = std::max(0, std::min(y, GetSystemMetrics(SM_CYSCREEN) - FHeight));
  }
  SetBounds(x, y, FWidth, FHeight);
}

void TCustomForm::CMShowingChanged(TMessage& m) {
  (void)m;
  if (FFormState & fsShowing) return;
  FFormState |= fsShowing;
  try {
    if (FShowing) {
      try {
        DoShow();
      } catch (...) {
        if (Application) Application->HandleException(this);
      }
      ApplyPosition();
      if (FFormStyle != fsMDIChild) MergeMenu(true);
      static const int commands[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
      ShowWindow(FHandle, commands[FWindowState]);
      if (FFormStyle == fsStayOnTop)
        SetWindowPos(FHandle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else {
      try {
        DoHide();
      } catch (...) {
        if (Application) Application->HandleException(this);
      }
      ShowWindow(FHandle, SW_HIDE);
      MergeMenu(false);
    }
  } catch (...) {
    FFormState &= ~fsShowing;
    throw;
  }
  FFormState &= ~fsShowing;
}

void TCustomForm::Close() {
  if (FFormState & fsModal) {
    FModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  bool isMain = Application && Application->MainForm() == this;
  TCloseAction action = isMain ? caFree : caHide;
  DoClose(action);
  if (action == caNone) return;
  if (isMain) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
  }
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Release() {
  FReleasing = true;
  PostMessageA(Handle(), CM_RELEASE, 0, 0);
}

void TCustomForm::CloseModal() {
  try {
    TCloseAction action = caNone;
    if (CloseQuery()) {
      action = caHide;
      DoClose(action);
    }
    switch (action) {
      case caNone: FModalResult = mrNone; break;
      case caFree: Release(); break;
      default: break;
    }
  } catch (...) {
    FModalResult = mrNone;
    if (Application) Application->HandleException(this);
  }
}

int TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || (FFormState & fsModal) || FFormStyle == fsMDIChild)
    throw EInvalidOperation(SCannotShowModal);
  if (HWND capture = GetCapture()) SendMessageA(capture, WM_CANCELMODE, 0, 0);
  ReleaseCapture();
  FFormState |= fsModal;
  HWND activeWindow = GetActiveWindow();
  int result = mrNone;
  std::vector<HWND> windows;
  try {
    HandleNeeded();
    // A modal form belongs to the window that was active, so it stays above it.
    if (IsOwnThreadWindow(activeWindow) && activeWindow != FHandle)
      SetWindowLongPtrA(FHandle, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(activeWindow));
    windows = DisableTaskWindows(nullptr);
    FModalResult = mrNone;
    try {
      Show();
      SendMessageA(FHandle, CM_ACTIVATE, 0, 0);
      // A result set while showing (an answer at activation) is closed like
      // any other: the loop waits only while there is none.
      for (;;) {
        if (FModalResult == mrNone) Application->HandleMessage();
        if (Application->Terminated())
          FModalResult = mrCancel;
        else if (FModalResult != mrNone)
          CloseModal();
        if (FModalResult != mrNone) break;
      }
      result = FModalResult;
      SendMessageA(FHandle, CM_DEACTIVATE, 0, 0);
      if (GetActiveWindow() != FHandle) activeWindow = nullptr;
    } catch (...) {
      GuardedCall(this, [&] { Hide(); });
      throw;
    }
    Hide();
  } catch (...) {
    EnableTaskWindows(windows);
    if (activeWindow && IsWindow(activeWindow)) SetActiveWindow(activeWindow);
    FFormState &= ~fsModal;
    throw;
  }
  EnableTaskWindows(windows);
  if (activeWindow && IsWindow(activeWindow)) SetActiveWindow(activeWindow);
  FFormState &= ~fsModal;
  return result;
}

void TCustomForm::SetActiveControl(TWinControl* value) {
  if (FActiveControl == value) return;
  if (value && !(value != this && GetParentForm(value) == this && ((ComponentState() & csLoading) || value->CanFocus())))
    throw EInvalidOperation(SCannotFocus);
  FActiveControl = value;
  if (!(ComponentState() & csLoading) && FActive) SetWindowFocus();
}

void TCustomForm::SetWindowFocus() {
  HWND wnd = nullptr;
  if (FActiveControl && FActiveControl->CanFocus())
    wnd = FActiveControl->Handle();
  else
    wnd = Handle();
  if (wnd) ::SetFocus(wnd);
}

void TCustomForm::FocusControl(TWinControl* control) {
  bool wasActive = FActive;
  SetActiveControl(control);
  if (!wasActive) SetFocus();
}

void TCustomForm::SetFocus() {
  if (!FActive) {
    if (!(Visible() && Enabled())) throw EInvalidOperation(SCannotFocus);
    SetWindowFocus();
  }
}

bool TCustomForm::SetFocusedControl(TWinControl* control) {
  int count = ++FFocusCount;
  FActiveControl = control != this ? control : nullptr;
  if (Screen) {
    Screen->FActiveControl = control;
    Screen->FActiveForm = this;
    auto& forms = Screen->FForms;
    auto it = std::find(forms.begin(), forms.end(), this);
    if (it != forms.end()) {
      forms.erase(it);
      forms.insert(forms.begin(), this);
    }
  }
  if (control->FControlState & csFocusing) return false;
  control->FControlState |= csFocusing;
  struct TFocusingGuard {
    TWinControl* C;
    ~TFocusingGuard() { C->FControlState &= ~csFocusing; }
  } guard{control};
  // The message went out and focus stayed where it was going.
  auto send = [&](TWinControl* target, UINT msg) {
    target->Perform(msg);
    return FFocusCount == count;
  };
  if (Screen && Screen->FFocusedForm != this) {
    if (TCustomForm* old = Screen->FFocusedForm) {
      Screen->FFocusedForm = nullptr;
      if (!send(old, CM_LOSTFOCUS)) return false;
    }
    Screen->FFocusedForm = this;
    if (!send(this, CM_GOTFOCUS)) return false;
  }
  if (!FFocusedControl) FFocusedControl = this;
  if (FFocusedControl != control) {
    while (FFocusedControl && !FFocusedControl->ContainsControl(control)) {
      TWinControl* leaving = FFocusedControl;
      FFocusedControl = leaving->Parent();
      if (!send(leaving, CM_EXIT)) return false;
    }
    while (FFocusedControl != control) {
      TWinControl* entering = control;
      while (entering->Parent() != FFocusedControl) entering = entering->Parent();
      FFocusedControl = entering;
      if (!send(entering, CM_ENTER)) return false;
    }
    Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
  }
  return true;
}

void TCustomForm::DefocusControl(TWinControl* control, bool removing) {
  if (removing && control->ContainsControl(FFocusedControl)) FFocusedControl = control->Parent();
  if (control->ContainsControl(FActiveControl)) FActiveControl = nullptr;
  if (Screen && control->ContainsControl(Screen->FActiveControl)) Screen->FActiveControl = nullptr;
}

bool TCustomForm::IsShortCut(TMessage& message) {
  // While the main form is disabled (a job runs) its shortcuts do not run.
  if (Application && Application->MainForm() == this && FHandle && !IsWindowEnabled(FHandle)) return false;
  if (FMenu && FMenu->IsShortCut(message)) return true;
  TShortCut sc = ShortCutFromMessage(message);
  if (sc == 0) return false;
  for (int i = 0; i < ComponentCount(); ++i) {
    TComponent* c = Components(i);
    if (c->Is<TCustomActionList>() && static_cast<TCustomActionList*>(c)->IsShortCut(sc)) return true;
  }
  return false;
}

void TCustomForm::UpdateActions() {
  if (ComponentState() & csDestroying) return;
  InitiateAction();
  if (FMenu)
    for (int i = 0; i < FMenu->Items()->Count(); ++i) {
      TMenuItem* item = FMenu->Items()->Items(i);
      if (item->Visible()) item->InitiateAction();
    }
  auto traverse = [&](auto&& self, TWinControl* container) -> void {
    for (int i = 0; i < container->ControlCount(); ++i) {
      TControl* c = container->Controls(i);
      if (!c->Visible()) continue;
      if (c->ControlStyle() & csActionClient) c->InitiateAction();
      if (c->Is<TWinControl>()) self(self, static_cast<TWinControl*>(c));
    }
  };
  traverse(traverse, this);
  for (int i = 0; i < ComponentCount(); ++i) {
    TComponent* c = Components(i);
    if (!c->Is<TCustomActionList>()) continue;
    auto* list = static_cast<TCustomActionList*>(c);
    for (int j = 0; j < list->ActionCount(); ++j) list->Actions(j)->Update();
  }
}

void TCustomForm::WMClose(TMessage& m) {
  (void)m;
  Close();
}

void TCustomForm::WMActivate(TMessage& m) {
  bool active = LOWORD(m.WParam) != WA_INACTIVE;
  FActive = active;
  if (active) {
    if (Screen) Screen->FActiveForm = this;
    if (!FActiveControl) FActiveControl = FindNextControl(nullptr, true, true, false);
    SetWindowFocus();
    Perform(CM_ACTIVATE);
  } else {
    if (Application) Application->CancelHint();
    Perform(CM_DEACTIVATE);
  }
}

void TCustomForm::WMActivateApp(TMessage& m) {
  if (!m.WParam && Application) Application->CancelHint();
  DefaultHandler(m);
}

void TCustomForm::WMDestroy(TMessage& m) {
  if (FMenu && FHandle) {
    ::SetMenu(FHandle, nullptr);
    FMenu->SetWindowHandle(nullptr);
  }
  InheritedMsg(&TScrollingWinControl::MessageMap, m);
}

void TCustomForm::WMCommand(TMessage& m) {
  if (m.LParam == 0 && FMenu && FMenu->DispatchCommand(LOWORD(m.WParam))) {
    m.Result = 0;
    return;
  }
  InheritedMsg(&TScrollingWinControl::MessageMap, m);
}

// Owner-drawn items of the main menu; every other owner-drawn item belongs to a control.
void TCustomForm::WMDrawItem(TMessage& m) {
  if (FMenu && m.LParam && FMenu->DispatchDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam))) {
    m.Result = TRUE;
    return;
  }
  InheritedMsg(&TScrollingWinControl::MessageMap, m);
}

void TCustomForm::WMMeasureItem(TMessage& m) {
  if (FMenu && m.LParam && FMenu->DispatchMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam))) {
    m.Result = TRUE;
    return;
  }
  InheritedMsg(&TScrollingWinControl::MessageMap, m);
}

void TCustomForm::WMInitMenuPopup(TMessage& m) {
  if (FMenu) FMenu->DispatchPopup(reinterpret_cast<HMENU>(m.WParam));
  DefaultHandler(m);
}

void TCustomForm::WMMenuSelect(TMessage& m) {
  if (!FMenu) {
    DefaultHandler(m);
    return;
  }
  UINT flags = HIWORD(m.WParam);
  UINT id = LOWORD(m.WParam);
  HMENU menu = reinterpret_cast<HMENU>(m.LParam);
  TMenuItem* item = nullptr;
  if (flags != 0xFFFF || menu) {
    TFindItemKind kind = fkCommand;
    UINT value = id;
    if (flags & MF_POPUP) {
      kind = fkHandle;
      value = static_cast<UINT>(reinterpret_cast<uintptr_t>(GetSubMenu(menu, static_cast<int>(id))));
    }
    item = FMenu->FindItem(value, kind);
  }
  if (Application) Application->SetHint(item ? GetLongHint(item->Hint()) : AnsiString());
}

void TCustomForm::WMQueryEndSession(TMessage& m) { m.Result = CloseQuery() ? 1 : 0; }

void TCustomForm::WMWindowPosChanging(TMessage& m) {
  auto* wp = reinterpret_cast<WINDOWPOS*>(m.LParam);
  // A size the user drags goes through OnCanResize (SetBounds asked already).
  if (wp && !(wp->flags & SWP_NOSIZE) && !FInSetBounds && FHandle && (wp->cx != FWidth || wp->cy != FHeight)) {
    int w = wp->cx, h = wp->cy;
    if (!CanResize(w, h)) {
      wp->flags |= SWP_NOSIZE;
    } else {
      wp->cx = w;
      wp->cy = h;
    }
  }
  DefaultHandler(m);
}

void TCustomForm::WMPaint(TMessage& m) {
  bool custom = static_cast<bool>(OnPaint);
  if (custom) FControlState |= csCustomPaint;
  try {
    InheritedMsg(&TScrollingWinControl::MessageMap, m);
  } catch (...) {
    if (custom) FControlState &= ~csCustomPaint;
    throw;
  }
  if (custom) FControlState &= ~csCustomPaint;
}

void TCustomForm::CMRelease(TMessage& m) {
  (void)m;
  delete this;
}

void TCustomForm::CMDialogKey(TMessage& m) {
  if (GetKeyState(VK_MENU) >= 0) {
    switch (m.WParam) {
      case VK_TAB:
        if (GetKeyState(VK_CONTROL) >= 0) {
          SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
          m.Result = 1;
          return;
        }
        break;
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN:
        if (FActiveControl && FActiveControl->Parent()) {
          FActiveControl->Parent()->SelectNext(FActiveControl, m.WParam == VK_RIGHT || m.WParam == VK_DOWN, false);
          m.Result = 1;
          return;
        }
        break;
    }
  }
  InheritedMsg(&TScrollingWinControl::MessageMap, m);
}

void TCustomForm::CMActivate(TMessage& m) {
  (void)m;
  if (FFormState & fsActivated) return;
  FFormState |= fsActivated;
  Activate();
}

void TCustomForm::CMDeactivate(TMessage& m) {
  (void)m;
  if (!(FFormState & fsActivated)) return;
  FFormState &= ~fsActivated;
  Deactivate();
}

void TCustomForm::CMActionExecute(TMessage& m) {
  auto* action = reinterpret_cast<TBasicAction*>(m.LParam);
  if (!action) return;
  auto traverse = [&](auto&& self, TWinControl* container) -> bool {
    for (int i = 0; i < container->ControlCount(); ++i) {
      TControl* c = container->Controls(i);
      if (!c->Visible()) continue;
      if (c->ExecuteAction(action)) return true;
      if (c->Is<TWinControl>() && self(self, static_cast<TWinControl*>(c))) return true;
    }
    return false;
  };
  if ((FActiveControl && FActiveControl->ExecuteAction(action)) || ExecuteAction(action) || traverse(traverse, this))
    m.Result = 1;
}

void TCustomForm::CMActionUpdate(TMessage& m) {
  auto* action = reinterpret_cast<TBasicAction*>(m.LParam);
  if (!action || !FShowing) return;
  auto traverse = [&](auto&& self, TWinControl* container) -> bool {
    for (int i = 0; i < container->ControlCount(); ++i) {
      TControl* c = container->Controls(i);
      if (!c->Visible()) continue;
      if (c->UpdateAction(action)) return true;
      if (c->Is<TWinControl>() && self(self, static_cast<TWinControl*>(c))) return true;
    }
    return false;
  };
  if ((FActiveControl && FActiveControl->UpdateAction(action)) || UpdateAction(action) || traverse(traverse, this))
    m.Result = 1;
}

// ===========================================================================
// TScreen

CL_DEFINE_CLASS(TScreen, TComponent)

TScreen::TScreen(TComponent* owner) : TComponent(owner) {
  HDC dc = GetDC(nullptr);
  FPixelsPerInch = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  FHintFont = new TFont();
  NONCLIENTMETRICSA ncm{};
  ncm.cbSize = sizeof ncm;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) {
    FHintFont->SetName(ncm.lfStatusFont.lfFaceName);
    FHintFont->SetHeight(ncm.lfStatusFont.lfHeight);
  }
  FHintFont->SetColor(clInfoText);
}

TScreen::~TScreen() {
  delete FHintFont;
  FHintFont = nullptr;
}

void TScreen::AddForm(TCustomForm* form) {
  if (std::find(FForms.begin(), FForms.end(), form) == FForms.end()) FForms.push_back(form);
}

void TScreen::RemoveForm(TCustomForm* form) {
  auto it = std::find(FForms.begin(), FForms.end(), form);
  if (it != FForms.end()) FForms.erase(it);
  if (FActiveForm == form) FActiveForm = nullptr;
  if (FFocusedForm == form) FFocusedForm = nullptr;
  if (FLastActiveForm == form) FLastActiveForm = nullptr;
  if (FActiveControl && GetParentForm(FActiveControl) == form) FActiveControl = nullptr;
}

HCURSOR TScreen::Cursors(TCursor index) {
  LPCSTR id = IDC_ARROW;
  switch (index) {
    case crNone: return nullptr;
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS: case crVSplit: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE: case crHSplit: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass: case crSQLWait: id = IDC_WAIT; break;
    case crNoDrop: case crNo: id = IDC_NO; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHelp: id = IDC_HELP; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    default: break;
  }
  return LoadCursorA(nullptr, id);
}

void TScreen::SetCursor(TCursor value) {
  if (FCursor == value) return;
  FCursor = value;
  if (value == crDefault) {
    // Let the window under the mouse choose its own cursor again.
    POINT p;
    GetCursorPos(&p);
    HWND wnd = WindowFromPoint(p);
    if (IsOwnThreadWindow(wnd)) {
      LRESULT code = SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
      SendMessageA(wnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(code, WM_MOUSEMOVE));
      return;
    }
  }
  ::SetCursor(Cursors(value));
}

// ===========================================================================
// TApplication

CL_DEFINE_CLASS(TApplication, TComponent)

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  FTitle = ChangeFileExt(ExtractFileName(ParamStr(0)), "");
  const char className[] = "TApplication";
  WNDCLASSA wc{};
  if (!GetClassInfoA(HInstance, className, &wc)) {
    wc = WNDCLASSA{};
    wc.lpfnWndProc = &DefWindowProcA;
    wc.hInstance = HInstance;
    wc.hIcon = LoadIconA(HInstance, "MAINICON");
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc)) RaiseLastOSError();
  }
  FObjectInstance = MakeObjectInstance(MakeEvent<&TApplication::MainWndProc>(this));
  FHandle = CreateWindowExA(0, className, FTitle.c_str(), WS_POPUP | WS_CLIPSIBLINGS, 0, 0, 0, 0, nullptr, nullptr,
                            HInstance, nullptr);
  if (!FHandle) RaiseLastOSError();
  SetWindowLongPtrA(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FObjectInstance));
}

TApplication::~TApplication() {
  Destroying();
  StopHintTimer();
  FHintControl = nullptr;
  FMouseControl = nullptr;
  // Forms first, each deleted as a form so that it sees its destruction whole.
  for (;;) {
    TCustomForm* form = nullptr;
    for (int i = ComponentCount() - 1; i >= 0 && !form; --i)
      if (Components(i)->Is<TCustomForm>()) form = static_cast<TCustomForm*>(Components(i));
    if (!form) break;
    delete form;
  }
  FMainForm = nullptr;
  DestroyComponents();
  FHintWindow = nullptr;
  if (FHandle) DestroyWindow(FHandle);
  FHandle = nullptr;
  FreeObjectInstance(FObjectInstance);
  FObjectInstance = nullptr;
}

void TApplication::SetTitle(const AnsiString& value) {
  FTitle = value;
  if (FHandle) SetWindowTextA(FHandle, value.c_str());
}

AnsiString TApplication::ExeName() const { return ParamStr(0); }

void TApplication::Terminate() { PostQuitMessage(0); }

TComponent* TApplication::NewFormInstance(const TMetaClass* cls) {
  if (!cls->Create) throw EInvalidOperation(Format("Class %s cannot be created", {cls->Name}));
  return cls->Create(this);
}

void TApplication::FinishFormCreation(TComponent* instance) {
  instance->AfterConstruction();
  if (!FMainForm && instance->Is<TCustomForm>()) {
    FMainForm = static_cast<TCustomForm*>(instance);
    FMainForm->HandleNeeded();
  }
}

void TApplication::Run() {
  FRunning = true;
  try {
    if (FMainForm) FMainForm->SetVisible(true);
  } catch (...) {
    FRunning = false;
    throw;
  }
  while (!FTerminated) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
  FRunning = false;
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) Idle(msg);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  bool handled = false;
  if (OnMessage) OnMessage(msg, handled);
  if (!handled && !IsPreProcessMessage(msg) && !IsHintMsg(msg) && !IsKeyMsg(msg) && !IsDlgMsg(msg)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

bool TApplication::IsPreProcessMessage(MSG& msg) {
  (void)msg;
  return false;
}

bool TApplication::IsHintMsg(MSG& msg) {
  if (FHintWindow && FHintWindow->IsHintMsg(msg)) CancelHint();
  return false;
}

bool TApplication::IsKeyMsg(MSG& msg) {
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
    case WM_SYSCHAR:
      break;
    default:
      return false;
  }
  HWND wnd = GetCapture();
  if (wnd) {
    if (!FindControl(wnd)) return false;
  } else {
    wnd = msg.hwnd;
    while (wnd && !FindControl(wnd)) wnd = GetParent(wnd);
    if (!wnd) return false;
  }
  return SendMessageA(wnd, CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
}

bool TApplication::IsDlgMsg(MSG& msg) {
  return FDialogHandle && IsDialogMessageA(FDialogHandle, &msg);
}

void TApplication::DoMouseIdle() {
  POINT p;
  if (!GetCursorPos(&p)) return;
  TControl* control = FindDragTarget(TPoint(p), true);
  TControl* capture = GetCaptureControl();
  if (FMouseControl == control) return;
  TControl* old = FMouseControl;
  FMouseControl = control;
  if (old && (!capture || old == capture)) old->Perform(CM_MOUSELEAVE);
  if (FMouseControl == control && control && (!capture || control == capture)) control->Perform(CM_MOUSEENTER);
}

bool TApplication::IdleWork() {
  bool done = true;
  try {
    DoMouseIdle();
    if (FShowHint && !FMouseControl) CancelHint();
    SetHint(GetLongHint(GetControlHint(FMouseControl)));
    if (OnIdle) OnIdle(this, done);
    UpdateAllActions();
  } catch (...) {
    HandleException(this);
  }
  TControlCanvas::FreeDeviceContexts();
  return done;
}

void TApplication::UpdateAllActions() {
  BeginActionUpdatePass();
  try {
    TCustomForm* active = Screen ? Screen->ActiveForm() : nullptr;
    auto visible = [](TCustomForm* f) { return f && f->HandleAllocated() && IsWindowVisible(f->WindowHandle()); };
    if (visible(active)) active->UpdateActions();
    if (FMainForm != active && visible(FMainForm)) FMainForm->UpdateActions();
  } catch (...) {
    EndActionUpdatePass();
    throw;
  }
  EndActionUpdatePass();
}

void TApplication::Idle(const MSG& msg) {
  (void)msg;
  if (IdleWork()) WaitMessage();
}

void TApplication::DoIdle() { IdleWork(); }

void TApplication::HandleException(TObject* sender) {
  if (!std::current_exception()) return;
  ++FHandleExceptionDepth;
  auto report = [&](Exception* e) {
    if (OnException) {
      try {
        OnException(sender, e);
      } catch (...) {
        // An exception from the handler itself ends here.
      }
    } else {
      try {
        ShowException(e);
      } catch (...) {
      }
    }
  };
  try {
    throw;
  } catch (EAbort&) {
  } catch (Exception& e) {
    report(&e);
  } catch (std::bad_alloc&) {
    EOutOfMemory e("Out of memory");
    report(&e);
  } catch (std::exception& e) {
    Exception ex(e.what());
    report(&ex);
  } catch (...) {
    Exception e("Unknown exception");
    report(&e);
  }
  --FHandleExceptionDepth;
}

void TApplication::ShowException(Exception* e) {
  AnsiString message = e->Message();
  MessageBox(message, FTitle, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags) {
  HWND owner = nullptr;
  // A box goes with its owner: a form that is being released (a wait window
  // closed just before the box) would take the box with it unanswered.
  auto shown = [](TCustomForm* f) {
    return f && !f->Releasing() && f->HandleAllocated() && IsWindowVisible(f->WindowHandle());
  };
  TCustomForm* active = Screen ? Screen->ActiveForm() : nullptr;
  if (shown(active))
    owner = active->WindowHandle();
  else if (shown(FMainForm))
    owner = FMainForm->WindowHandle();
  HWND activeWindow = GetActiveWindow();
  std::vector<HWND> windows = DisableTaskWindows(nullptr);
  int result = MessageBoxA(owner, text.c_str(), (caption.IsEmpty() ? FTitle : caption).c_str(), flags);
  EnableTaskWindows(windows);
  if (activeWindow && IsWindow(activeWindow)) SetActiveWindow(activeWindow);
  return result;
}

void TApplication::HookMainWindow(TWindowHook hook) { FWindowHooks.push_back(hook); }

void TApplication::UnhookMainWindow(TWindowHook hook) {
  for (auto it = FWindowHooks.rbegin(); it != FWindowHooks.rend(); ++it)
    if (*it == hook) {
      FWindowHooks.erase(std::next(it).base());
      return;
    }
}

bool TApplication::HelpCommand(UINT command, ULONG_PTR data) {
  if (FHelpFile.IsEmpty()) return false;
  return WinHelpA(FHandle, FHelpFile.c_str(), command, data) != FALSE;
}

bool TApplication::ExecuteAction(TBasicAction* action) {
  bool handled = false;
  if (OnActionExecute) OnActionExecute(action, handled);
  return handled;
}

bool TApplication::UpdateAction(TBasicAction* action) {
  bool handled = false;
  if (OnActionUpdate) OnActionUpdate(action, handled);
  return handled;
}

void TApplication::MainWndProc(TMessage& message) {
  GuardedCall(this, [&] { WndProc(message); });
}

void TApplication::WndProc(TMessage& message) {
  // The hooks, last added first, may take the message.
  std::vector<TWindowHook> hooks = FWindowHooks;
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
    if ((*it)(message)) return;
  switch (message.Msg) {
    case WM_TIMER:
      if (message.WParam == kHintTimerId) {
        HintTimerExpired();
        return;
      }
      break;
    case WM_CLOSE:
      if (FMainForm) FMainForm->Close();
      return;
    case WM_ENDSESSION:
      if (message.WParam) FTerminated = true;
      return;
    case WM_QUERYENDSESSION:
      message.Result = FMainForm ? (FMainForm->CloseQuery() ? 1 : 0) : 1;
      return;
    case CM_ACTIONEXECUTE:
    case CM_ACTIONUPDATE: {
      TCustomForm* active = Screen ? Screen->ActiveForm() : nullptr;
      if (active && active->Perform(message.Msg, message.WParam, message.LParam) != 0)
        message.Result = 1;
      else if (FMainForm && FMainForm != active && FMainForm->Perform(message.Msg, message.WParam, message.LParam) != 0)
        message.Result = 1;
      return;
    }
  }
  message.Result = DefWindowProcA(FHandle, message.Msg, message.WParam, message.LParam);
}

void TApplication::SetShowHint(bool value) {
  if (FShowHint == value) return;
  FShowHint = value;
  if (!value) CancelHint();
}

void TApplication::SetHintColor(TColor value) {
  FHintColor = value;
  if (FHintWindow) FHintWindow->SetColor(value);
}

void TApplication::SetHint(const AnsiString& value) {
  if (FHint == value) return;
  FHint = value;
  if (OnHint) {
    OnHint(this);
    return;
  }
  THintAction* action = new THintAction(nullptr);
  try {
    action->SetHint(value);
    action->Execute();
  } catch (...) {
    delete action;
    throw;
  }
  delete action;
}

TControl* TApplication::GetHintControl(TControl* control) {
  while (control && !control->ShowHint()) control = control->Parent();
  return control;
}

void TApplication::SetHintControl(TControl* control) { FHintControl = control; }

void TApplication::ControlDestroyed(TControl* control) {
  if (FMouseControl == control) FMouseControl = nullptr;
  if (FHintControl == control) {
    FHintControl = nullptr;
    FHintActive = false;
    StopHintTimer();
    HideHint();
  }
  if (control == FHintWindow) FHintWindow = nullptr;
  if (control == FMainForm) FMainForm = nullptr;
  if (Screen && Screen->FActiveControl == control) Screen->FActiveControl = nullptr;
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FHintWindow) FHintWindow = nullptr;
  if (component == FMainForm) FMainForm = nullptr;
}

void TApplication::StartHintTimer(int ms, bool show) {
  StopHintTimer();
  FHintTimerShow = show;
  if (FHandle && SetTimer(FHandle, kHintTimerId, static_cast<UINT>(std::max(ms, 1)), nullptr))
    FHintTimerRunning = true;
}

void TApplication::StopHintTimer() {
  if (FHintTimerRunning && FHandle) KillTimer(FHandle, kHintTimerId);
  FHintTimerRunning = false;
}

void TApplication::HideHint() {
  if (FHintWindow && FHintWindow->HandleAllocated() && IsWindowVisible(FHintWindow->WindowHandle()))
    ShowWindow(FHintWindow->WindowHandle(), SW_HIDE);
}

void TApplication::CancelHint() {
  if (!FHintControl) return;
  HideHint();
  FHintControl = nullptr;
  FHintActive = false;
  StopHintTimer();
}

void TApplication::HintTimerExpired() {
  StopHintTimer();
  if (FHintTimerShow) {
    POINT p;
    GetCursorPos(&p);
    FHintActive = false;
    ActivateHint(TPoint(p));
  } else {
    HideHint();
  }
}

void TApplication::HintMouseMessage(TControl* control, TMessage& message) {
  if (!control->Parent() && !control->Is<TWinControl>()) return;
  if (control->Is<TWinControl>() && !static_cast<TWinControl*>(control)->HandleAllocated() && !control->Parent())
    return;
  TPoint p = control->ClientToScreen(TPoint(MouseX(message), MouseY(message)));
  TControl* hintControl = GetHintControl(FindDragTarget(p, true));
  if (!hintControl || !FShowHint || GetControlHint(hintControl).IsEmpty()) {
    CancelHint();
    return;
  }
  if (hintControl != FHintControl || !FHintCursorRect.Contains(p)) {
    bool wasActive = FHintActive;
    CancelHint();
    FHintControl = hintControl;
    FHintActive = wasActive;
    TRect r = hintControl->GetClientRect();
    FHintCursorRect = TRect(hintControl->ClientToScreen(r.TopLeft()), hintControl->ClientToScreen(r.BottomRight()));
    StartHintTimer(wasActive ? FHintShortPause : FHintPause, true);
  }
}

void TApplication::ActivateHint(const TPoint& cursorPos) {
  FHintActive = false;
  if (FShowHint && FHintControl && FHintControl == GetHintControl(FindDragTarget(cursorPos, true))) {
    THintInfo info;
    info.HintControl = FHintControl;
    info.HintWindowClass = HintWindowClass;
    info.HintPos = TPoint(cursorPos.x, cursorPos.y + GetSystemMetrics(SM_CYCURSOR));
    info.HintMaxWidth = Screen ? Screen->Width() : GetSystemMetrics(SM_CXSCREEN);
    info.HintColor = FHintColor;
    info.CursorRect = FHintControl->GetClientRect();
    info.CursorPos = FHintControl->ScreenToClient(cursorPos);
    info.ReshowTimeout = 0;
    info.HideTimeout = FHintHidePause;
    info.HintStr = GetShortHint(GetControlHint(FHintControl));
    info.HintData = nullptr;
    bool canShow = FHintControl->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
    if (canShow && OnShowHint) OnShowHint(info.HintStr, canShow, info);
    FHintActive = canShow && FHintControl;
    if (FHintActive && !info.HintStr.IsEmpty()) {
      const TMetaClass* cls = info.HintWindowClass ? info.HintWindowClass : HintWindowClass;
      if (FHintWindow && FHintWindow->ClassType() != cls) {
        THintWindow* old = FHintWindow;
        FHintWindow = nullptr;
        delete old;
      }
      if (!FHintWindow) {
        if (!cls || !cls->Create) throw EInvalidOperation("The hint window class cannot be created");
        TComponent* made = cls->Create(this);
        if (!made->Is<THintWindow>()) {
          delete made;
          throw EInvalidCast("Invalid class typecast");
        }
        FHintWindow = static_cast<THintWindow*>(made);
      }
      TRect r = FHintWindow->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
      OffsetRect(&r, info.HintPos.x, info.HintPos.y);
      int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
      if (r.right > sw) OffsetRect(&r, sw - r.right, 0);
      if (r.left < 0) OffsetRect(&r, -r.left, 0);
      if (r.bottom > sh) OffsetRect(&r, 0, sh - r.bottom);
      if (r.top < 0) OffsetRect(&r, 0, -r.top);
      FHintCursorRect = TRect(FHintControl->ClientToScreen(info.CursorRect.TopLeft()),
                              FHintControl->ClientToScreen(info.CursorRect.BottomRight()));
      FHintWindow->SetColor(info.HintColor);
      FHintWindow->ActivateHintData(r, info.HintStr, info.HintData);
      if (info.ReshowTimeout > 0)
        StartHintTimer(info.ReshowTimeout, true);
      else if (info.HideTimeout > 0)
        StartHintTimer(info.HideTimeout, false);
      return;
    }
    if (info.ReshowTimeout > 0) {
      StartHintTimer(info.ReshowTimeout, true);
      return;
    }
  }
  CancelHint();
}

// ===========================================================================
// Unit

namespace {

const char* const BorderStyleNames[] = {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow",
                                        "bsSizeToolWin"};
const char* const BorderIconNames[] = {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"};
const char* const PositionNames[] = {"poDesigned",     "poDefault",        "poDefaultPosOnly", "poDefaultSizeOnly",
                                     "poScreenCenter", "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"};
const char* const FormStyleNames[] = {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"};
const char* const WindowStateNames[] = {"wsNormal", "wsMinimized", "wsMaximized"};

void RegisterFormProperties() {
  const TMetaClass* c = &TCustomForm::Class;
  RegisterProperty(c, "BorderStyle", TPropType::Enum(BorderStyleNames), &TCustomForm::SetBorderStyle,
                   &TCustomForm::BorderStyle, bsSizeable);
  RegisterProperty(c, "BorderIcons", TPropType::Set(BorderIconNames), &TCustomForm::SetBorderIcons,
                   &TCustomForm::BorderIcons);
  RegisterProperty(c, "Position", TPropType::Enum(PositionNames), &TCustomForm::SetPosition, &TCustomForm::Position,
                   poDesigned);
  RegisterProperty(c, "FormStyle", TPropType::Enum(FormStyleNames), &TCustomForm::SetFormStyle,
                   &TCustomForm::FormStyle, fsNormal);
  RegisterProperty(c, "WindowState", TPropType::Enum(WindowStateNames), &TCustomForm::SetWindowState,
                   &TCustomForm::WindowState, wsNormal);
  RegisterProperty(c, "Menu", pkComponent, &TCustomForm::SetMenu, &TCustomForm::Menu);
  RegisterProperty(c, "WindowMenu", pkComponent, &TCustomForm::SetWindowMenu, &TCustomForm::WindowMenu);
  RegisterProperty(c, "ActiveControl", pkComponent, &TCustomForm::SetActiveControl, &TCustomForm::ActiveControl);
  RegisterProperty(c, "Icon", pkObject, &TCustomForm::SetIcon, &TCustomForm::Icon);
  RegisterProperty(c, "KeyPreview", pkBool, &TCustomForm::SetKeyPreview, &TCustomForm::KeyPreview, 0);
  RegisterProperty(c, "Scaled", pkBool, &TCustomForm::SetScaled, &TCustomForm::Scaled, 1);
  RegisterProperty(c, "PixelsPerInch", pkInteger, &TCustomForm::SetPixelsPerInch, &TCustomForm::PixelsPerInch);
  RegisterProperty(c, "AlphaBlend", pkBool, &TCustomForm::SetAlphaBlend, &TCustomForm::AlphaBlend, 0);
  RegisterProperty(c, "AlphaBlendValue", pkInteger, &TCustomForm::SetAlphaBlendValue, &TCustomForm::AlphaBlendValue, 255);
  RegisterProperty(c, "TransparentColor", pkBool, &TCustomForm::SetTransparentColor, &TCustomForm::TransparentColor, 0);
  RegisterProperty(c, "TransparentColorValue", ColorPropType(), &TCustomForm::SetTransparentColorValue,
                   &TCustomForm::TransparentColorValue);
  RegisterEventField(c, "OnCreate", &TCustomForm::OnCreate);
  RegisterEventField(c, "OnDestroy", &TCustomForm::OnDestroy);
  RegisterEventField(c, "OnShow", &TCustomForm::OnShow);
  RegisterEventField(c, "OnHide", &TCustomForm::OnHide);
  RegisterEventField(c, "OnClose", &TCustomForm::OnClose);
  RegisterEventField(c, "OnCloseQuery", &TCustomForm::OnCloseQuery);
  RegisterEventField(c, "OnActivate", &TCustomForm::OnActivate);
  RegisterEventField(c, "OnDeactivate", &TCustomForm::OnDeactivate);
  RegisterEventField(c, "OnPaint", &TCustomForm::OnPaint);
}

void RegisterScrollingProperties() {
  const TMetaClass* bar = &TControlScrollBar::Class;
  RegisterProperty(bar, "Increment", pkInteger, &TControlScrollBar::SetIncrement, &TControlScrollBar::Increment, 8);
  RegisterProperty(bar, "Margin", pkInteger, &TControlScrollBar::SetMargin, &TControlScrollBar::Margin, 0);
  RegisterProperty(bar, "Range", pkInteger, &TControlScrollBar::SetRange, &TControlScrollBar::Range, 0);
  RegisterProperty(bar, "Position", pkInteger, &TControlScrollBar::SetPosition, &TControlScrollBar::Position, 0);
  RegisterProperty(bar, "Tracking", pkBool, &TControlScrollBar::SetTracking, &TControlScrollBar::Tracking, 0);
  RegisterProperty(bar, "Visible", pkBool, &TControlScrollBar::SetVisible, &TControlScrollBar::Visible, 1);
  const TMetaClass* c = &TScrollingWinControl::Class;
  RegisterProperty(c, "AutoScroll", pkBool, &TScrollingWinControl::SetAutoScroll, &TScrollingWinControl::AutoScroll);
  RegisterProperty(c, "HorzScrollBar", pkObject, &TScrollingWinControl::SetHorzScrollBar,
                   &TScrollingWinControl::HorzScrollBar);
  RegisterProperty(c, "VertScrollBar", pkObject, &TScrollingWinControl::SetVertScrollBar,
                   &TScrollingWinControl::VertScrollBar);
  RegisterProperty(&TScrollBox::Class, "BorderStyle", TPropType::Enum(BorderStyleNames), &TScrollBox::SetBorderStyle,
                   &TScrollBox::BorderStyle, bsSingle);
}

}  // namespace

void UnitInit_forms() {
  Screen = new TScreen(nullptr);
  Application = new TApplication(nullptr);
  ExceptionHandlerProc = &ApplicationExceptionHandler;
  RegisterClasses({&TForm::Class, &TFrame::Class, &TScrollBox::Class});
  RegisterFormProperties();
  RegisterScrollingProperties();
}

void UnitFini_forms() {
  delete Application;
  Application = nullptr;
  ExceptionHandlerProc = nullptr;
  delete Screen;
  Screen = nullptr;
}
