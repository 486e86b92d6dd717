#include "toolwin.h"

#include "filer.h"
#include "forms.h"
#include "sysutils.h"

#include <algorithm>

CL_DEFINE_COMPONENT(TToolButton, TGraphicControl)
CL_DEFINE_CLASS(TToolButtonActionLink, TControlActionLink)
CL_DEFINE_COMPONENT(TToolBar, TWinControl)

namespace {

// Command ids of tool buttons: unique for the run, so a button keeps its id
// when buttons before it come and go.
int NextCommandId = 1;

}  // namespace

// ===========================================================================
// Tool button

CL_BEGIN_MESSAGE_MAP(TToolButton, TGraphicControl)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
  CL_MESSAGE(CM_VISIBLECHANGED, CMVisibleChanged)
  CL_MESSAGE(CM_ENABLEDCHANGED, CMEnabledChanged)
  CL_MESSAGE(CM_HITTEST, CMHitTest)
CL_END_MESSAGE_MAP

TToolButton::TToolButton(TComponent* owner) : TGraphicControl(owner), FCommandId(NextCommandId++) {
  FControlStyle = csCaptureMouse | csSetCaption;
  SetBounds(0, 0, 23, 22);
}

TToolButton::~TToolButton() {
  Destroying();
  if (FToolBar) FToolBar->RemoveButton(this);
}

int TToolButton::Index() const {
  if (!FToolBar) return -1;
  auto& list = FToolBar->FButtons;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TToolButton::SetParent(TWinControl* value) {
  if (FParent == value) return;
  if (FToolBar) FToolBar->RemoveButton(this);
  TGraphicControl::SetParent(value);
  if (value && value->Is<TToolBar>()) static_cast<TToolBar*>(value)->InsertButton(this);
}

void TToolButton::RefreshControl() {
  if (FToolBar) FToolBar->UpdateButton(this);
}

void TToolButton::SetStyle(TToolButtonStyle value) {
  if (FStyle == value) return;
  FStyle = value;
  RefreshControl();
}

void TToolButton::SetImageIndex(int value) {
  if (FImageIndex == value) return;
  FImageIndex = value;
  RefreshControl();
}

void TToolButton::SetDown(bool value) {
  if (FDown == value) return;
  FDown = value;
  // A grouped check button that goes down releases the others of its group.
  if (value && FGrouped && FStyle == tbsCheck && FToolBar) {
    int i = Index();
    auto& list = FToolBar->FButtons;
    for (int j = i - 1; j >= 0 && list[j]->FGrouped && list[j]->FStyle == tbsCheck; --j) list[j]->SetDown(false);
    for (int j = i + 1; j < static_cast<int>(list.size()) && list[j]->FGrouped && list[j]->FStyle == tbsCheck; ++j)
      list[j]->SetDown(false);
  }
  RefreshControl();
}

void TToolButton::SetGrouped(bool value) {
  if (FGrouped == value) return;
  FGrouped = value;
  RefreshControl();
}

void TToolButton::SetAutoSize(bool value) {
  if (FAutoSize == value) return;
  FAutoSize = value;
  RefreshControl();
}

void TToolButton::SetIndeterminate(bool value) {
  if (FIndeterminate == value) return;
  FIndeterminate = value;
  RefreshControl();
}

void TToolButton::SetWrap(bool value) {
  if (FWrap == value) return;
  FWrap = value;
  RefreshControl();
}

void TToolButton::SetMenuItem(TMenuItem* value) {
  if (FMenuItem == value) return;
  FMenuItem = value;
  if (value) {
    value->FreeNotification(this);
    SetCaption(value->Caption());
    SetHint(value->Hint());
    SetImageIndex(value->ImageIndex());
    SetEnabled(value->Enabled());
    SetVisible(value->Visible());
    if (value->Checked()) SetDown(true);
  }
}

void TToolButton::SetDropdownMenu(TPopupMenu* value) {
  if (FDropdownMenu == value) return;
  FDropdownMenu = value;
  if (value) value->FreeNotification(this);
}

void TToolButton::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FMenuItem) FMenuItem = nullptr;
  if (component == FDropdownMenu) FDropdownMenu = nullptr;
}

void TToolButton::Click() {
  TGraphicControl::Click();
  if (FMenuItem) FMenuItem->Click();
}

void TToolButton::ActionChange(TObject* sender, bool checkDefaults) {
  TGraphicControl::ActionChange(sender, checkDefaults);
  if (auto* action = dynamic_cast<TCustomAction*>(sender)) {
    if (!checkDefaults || !FDown) SetDown(action->Checked());
    if (!checkDefaults || FImageIndex == -1) SetImageIndex(action->ImageIndex());
  }
}

const TMetaClass* TToolButton::GetActionLinkClass() { return &TToolButtonActionLink::Class; }

void TToolButton::CMTextChanged(TMessage&) { RefreshControl(); }
void TToolButton::CMVisibleChanged(TMessage&) { RefreshControl(); }
void TToolButton::CMEnabledChanged(TMessage&) { RefreshControl(); }

void TToolButton::CMHitTest(TMessage& m) {
  // Separators take no mouse (and give no hint).
  m.Result = FStyle == tbsSeparator || FStyle == tbsDivider ? 0 : 1;
}

// ---------------------------------------------------------------------------

bool TToolButtonActionLink::IsCheckedLinked() {
  return TControlActionLink::IsCheckedLinked() && FClient->Is<TToolButton>() &&
         static_cast<TToolButton*>(FClient)->Down() == CustomAction()->Checked();
}

bool TToolButtonActionLink::IsImageIndexLinked() {
  return TControlActionLink::IsImageIndexLinked() && FClient->Is<TToolButton>() &&
         static_cast<TToolButton*>(FClient)->ImageIndex() == CustomAction()->ImageIndex();
}

void TToolButtonActionLink::SetChecked(bool value) {
  if (IsCheckedLinked()) static_cast<TToolButton*>(FClient)->SetDown(value);
}

void TToolButtonActionLink::SetImageIndex(int value) {
  if (IsImageIndexLinked()) static_cast<TToolButton*>(FClient)->SetImageIndex(value);
}

// ===========================================================================
// Tool bar

CL_BEGIN_MESSAGE_MAP(TToolBar, TWinControl)
  CL_MESSAGE(CN_COMMAND, CNCommand)
  CL_MESSAGE(CN_NOTIFY, CNNotify)
  CL_MESSAGE(WM_SIZE, WMSize)
CL_END_MESSAGE_MAP

TToolBar::TToolBar(TComponent* owner) : TWinControl(owner) {
  FControlStyle = csAcceptsControls | csDoubleClicks;
  SetBounds(0, 0, 150, 29);
  SetAlign(alTop);
  FImageChangeLink = new TChangeLink();
  FImageChangeLink->OnChange = MakeEvent<&TToolBar::ImageListChange>(this);
}

TToolBar::~TToolBar() {
  Destroying();
  for (TToolButton* b : FButtons) b->FToolBar = nullptr;
  FButtons.clear();
  if (HandleAllocated()) DestroyHandle();
  if (FImages) FImages->UnRegisterChanges(FImageChangeLink);
  delete FImageChangeLink;
}

TToolButton* TToolBar::Buttons(int index) const {
  if (index < 0 || index >= ButtonCount()) throw EListError(Format("List index out of bounds (%d)", {index}));
  return FButtons[index];
}

void TToolBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, TOOLBARCLASSNAMEA);
  // The library places the bar (Align) and its buttons' controls itself.
  params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
  if (FFlat) params.Style |= TBSTYLE_FLAT;
  if (FList) params.Style |= TBSTYLE_LIST;
}

void TToolBar::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageA(FHandle, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageA(FHandle, TB_SETBITMAPSIZE, 0, MAKELPARAM(FImages ? FImages->Width() : 16, FImages ? FImages->Height() : 15));
  if (FImages) SendMessageA(FHandle, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImages->Handle()));
  SendMessageA(FHandle, TB_SETBUTTONSIZE, 0, MAKELPARAM(FButtonWidth, FButtonHeight));
  FUpdatingNative = true;
  try {
    for (int i = 0; i < ButtonCount(); ++i) InsertNativeButton(i);
  } catch (...) {
    FUpdatingNative = false;
    throw;
  }
  FUpdatingNative = false;
  RepositionButtons();
}

void TToolBar::WndProc(TMessage& message) {
  if (message.Msg >= WM_MOUSEFIRST && message.Msg <= WM_MOUSELAST && message.Msg != WM_MOUSEWHEEL && FHandle) {
    TControl::WndProc(message);
    return;
  }
  TWinControl::WndProc(message);
}

void TToolBar::InsertNativeButton(int index) {
  TToolButton* b = FButtons[index];
  TBBUTTON rec{};
  rec.idCommand = b->FCommandId;
  rec.iBitmap = b->FStyle == tbsSeparator || b->FStyle == tbsDivider ? 0 : b->FImageIndex;
  if (b->FEnabled) rec.fsState |= TBSTATE_ENABLED;
  if (b->FDown) rec.fsState |= TBSTATE_CHECKED;
  if (!b->FVisible) rec.fsState |= TBSTATE_HIDDEN;
  if (b->FIndeterminate) rec.fsState |= TBSTATE_INDETERMINATE;
  if (b->FWrap) rec.fsState |= TBSTATE_WRAP;
  switch (b->FStyle) {
    case tbsCheck: rec.fsStyle = BTNS_CHECK | (b->FGrouped ? BTNS_GROUP : 0); break;
    case tbsDropDown: rec.fsStyle = BTNS_DROPDOWN; break;
    case tbsSeparator:
    case tbsDivider: rec.fsStyle = BTNS_SEP; break;
    default: rec.fsStyle = BTNS_BUTTON; break;
  }
  if (b->FAutoSize) rec.fsStyle |= BTNS_AUTOSIZE;
  rec.iString = -1;
  if (FShowCaptions && rec.fsStyle != BTNS_SEP) {
    // The string pool takes a list ending in two zeros.
    std::string text = b->Caption().str();
    text.push_back('\0');
    text.push_back('\0');
    rec.iString = SendMessageA(FHandle, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(text.data()));
  }
  SendMessageA(FHandle, TB_INSERTBUTTONA, index, reinterpret_cast<LPARAM>(&rec));
}

void TToolBar::InsertButton(TToolButton* button) {
  if (std::find(FButtons.begin(), FButtons.end(), button) != FButtons.end()) return;
  // A button placed by position joins before the first button right of it.
  auto at = FButtons.begin();
  if (!(ComponentState() & csLoading))
    at = std::find_if(FButtons.begin(), FButtons.end(), [&](TToolButton* b) { return b->Left() > button->Left(); });
  else
    at = FButtons.end();
  int index = static_cast<int>(at - FButtons.begin());
  FButtons.insert(at, button);
  button->FToolBar = this;
  if (HandleAllocated()) RemakeNativeButton(-1, index);
}

void TToolBar::RemoveButton(TToolButton* button) {
  auto it = std::find(FButtons.begin(), FButtons.end(), button);
  if (it == FButtons.end()) return;
  int index = static_cast<int>(it - FButtons.begin());
  FButtons.erase(it);
  button->FToolBar = nullptr;
  if (HandleAllocated() && !(ComponentState() & csDestroying)) {
    SendMessageA(FHandle, TB_DELETEBUTTON, index, 0);
    RepositionButtons();
  }
}

void TToolBar::UpdateButton(TToolButton* button) {
  if (!HandleAllocated() || FUpdatingNative) return;
  int index = button->Index();
  // A new native button for every change: its string, style and state all
  // come from the tool button at once.
  if (index >= 0) RemakeNativeButton(index, index);
}

void TToolBar::RemakeNativeButton(int oldIndex, int newIndex) {
  FUpdatingNative = true;
  try {
    if (oldIndex >= 0) SendMessageA(FHandle, TB_DELETEBUTTON, oldIndex, 0);
    InsertNativeButton(newIndex);
  } catch (...) {
    FUpdatingNative = false;
    throw;
  }
  FUpdatingNative = false;
  RepositionButtons();
}

void TToolBar::RepositionButtons() {
  if (!HandleAllocated() || FUpdatingNative) return;
  FUpdatingNative = true;
  for (int i = 0; i < ButtonCount(); ++i) {
    RECT r{};
    if (SendMessageA(FHandle, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r)))
      FButtons[i]->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  FUpdatingNative = false;
}

void TToolBar::MoveButton(TToolButton* button, int newIndex) {
  int index = button->Index();
  if (index < 0 || index == newIndex) return;
  FButtons.erase(FButtons.begin() + index);
  FButtons.insert(FButtons.begin() + newIndex, button);
  if (HandleAllocated()) RemakeNativeButton(index, newIndex);
}

TToolButton* TToolBar::FindButton(int commandId) const {
  for (TToolButton* b : FButtons)
    if (b->FCommandId == commandId) return b;
  return nullptr;
}

void TToolBar::CNCommand(TMessage& m) {
  TToolButton* b = FindButton(LOWORD(m.WParam));
  if (!b) return;
  if (b->FStyle == tbsCheck) {
    // The native button toggled itself: the tool button follows without
    // re-making it.
    bool down = SendMessageA(FHandle, TB_ISBUTTONCHECKED, b->FCommandId, 0) != 0;
    FUpdatingNative = true;
    b->FDown = down;
    FUpdatingNative = false;
  }
  b->Click();
}

void TToolBar::CNNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  if (hdr->code == TBN_DROPDOWN) {
    auto* tb = reinterpret_cast<NMTOOLBARA*>(m.LParam);
    TToolButton* b = FindButton(tb->iItem);
    if (b && b->FDropdownMenu) {
      TPoint p = ClientToScreen(TPoint(b->Left(), b->Top() + b->Height()));
      b->FDropdownMenu->SetPopupComponent(b);
      b->FDropdownMenu->Popup(p.x, p.y);
    }
    m.Result = TBDDRET_DEFAULT;
  }
}

void TToolBar::WMSize(TMessage& m) {
  InheritedMsg(&TWinControl::MessageMap, m);
  RepositionButtons();
}

void TToolBar::SetButtonWidth(int value) { ChangeRecreating(FButtonWidth, value); }

void TToolBar::SetButtonHeight(int value) { ChangeRecreating(FButtonHeight, value); }

void TToolBar::SetShowCaptions(bool value) { ChangeRecreating(FShowCaptions, value); }

void TToolBar::SetFlat(bool value) { ChangeRecreating(FFlat, value); }

void TToolBar::SetList(bool value) { ChangeRecreating(FList, value); }

void TToolBar::SetImages(TCustomImageList* value) {
  if (FImages == value) return;
  ChangeImageList(this, FImages, value, FImageChangeLink);
  ImageListChange(nullptr);
}

void TToolBar::ImageListChange(TObject*) {
  if (HandleAllocated()) RecreateWnd();
}

void TToolBar::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FImages) SetImages(nullptr);
  if (component == FMenu) FMenu = nullptr;
}

void TToolBar::SetMenu(TMainMenu* value) {
  if (FMenu == value) return;
  FMenu = value;
  if (!value) return;
  value->FreeNotification(this);
  while (!FButtons.empty()) delete FButtons.back();
  TMenuItem* items = value->Items();
  for (int i = items->Count() - 1; i >= 0; --i) {
    TToolButton* b = NewMenuButton();
    b->SetAutoSize(true);
    b->SetGrouped(true);
    b->SetParent(this);
    // Each new button goes in front: the first item ends up first.
    MoveButton(b, 0);
    b->SetMenuItem(items->Items(i));
  }
  RepositionButtons();
}

// ===========================================================================

namespace {
const char* const ToolButtonStyleNames[] = {"tbsButton", "tbsCheck", "tbsDropDown", "tbsSeparator", "tbsDivider"};
}

void UnitInit_toolwin() {
  RegisterClasses({&TToolBar::Class, &TToolButton::Class});
  RegisterActionLinkClass(&TToolButtonActionLink::Class, &NewActionLink<TToolButtonActionLink>);
  const TMetaClass* c = &TToolBar::Class;
  RegisterProperty(c, "ButtonHeight", pkInteger, &TToolBar::SetButtonHeight, &TToolBar::ButtonHeight);
  RegisterProperty(c, "ButtonWidth", pkInteger, &TToolBar::SetButtonWidth, &TToolBar::ButtonWidth);
  RegisterProperty(c, "Flat", pkBool, &TToolBar::SetFlat, &TToolBar::Flat);
  RegisterProperty(c, "Images", pkComponent, &TToolBar::SetImages, &TToolBar::Images);
  RegisterProperty(c, "List", pkBool, &TToolBar::SetList, &TToolBar::List);
  RegisterProperty(c, "ShowCaptions", pkBool, &TToolBar::SetShowCaptions, &TToolBar::ShowCaptions);
  c = &TToolButton::Class;
  RegisterProperty(c, "Down", pkBool, &TToolButton::SetDown, &TToolButton::Down);
  RegisterProperty(c, "Grouped", pkBool, &TToolButton::SetGrouped, &TToolButton::Grouped);
  RegisterProperty(c, "ImageIndex", pkInteger, &TToolButton::SetImageIndex, &TToolButton::ImageIndex, -1);
  RegisterProperty(c, "Style", TPropType::Enum(ToolButtonStyleNames), &TToolButton::SetStyle, &TToolButton::Style);
  RegisterProperty(c, "Wrap", pkBool, &TToolButton::SetWrap, &TToolButton::Wrap);
}

void UnitFini_toolwin() {}
