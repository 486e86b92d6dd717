#include "menus.h"

#include "filer.h"
#include "forms.h"

#include <algorithm>
#include <cstring>

TPopupList* PopupList = nullptr;
CL_DEFINE_CLASS(EMenuError, Exception)

namespace {

// Command ids of menu items: a process-wide pool. Ids start above the
// dialog-button ids (IDOK..IDHELP) so that a WM_COMMAND from a dialog key
// is never taken for a menu command.
constexpr WORD kFirstCommand = 100;
std::vector<bool>* CommandPool = nullptr;

WORD AllocateCommand() {
  if (!CommandPool) CommandPool = new std::vector<bool>();
  auto& pool = *CommandPool;
  for (size_t i = 0; i < pool.size(); ++i)
    if (!pool[i]) {
      pool[i] = true;
      return static_cast<WORD>(kFirstCommand + i);
    }
  if (kFirstCommand + pool.size() > 0xFFFF) throw EOutOfResources("Out of menu command ids");
  pool.push_back(true);
  return static_cast<WORD>(kFirstCommand + pool.size() - 1);
}

void FreeCommand(WORD id) {
  if (!CommandPool || id < kFirstCommand) return;
  size_t i = id - kFirstCommand;
  if (i < CommandPool->size()) (*CommandPool)[i] = false;
}

const char SMenuIndexError[] = "Menu index out of range";
const char SMenuReinserted[] = "Menu inserted twice";
const char SMenuNotFound[] = "Sub-menu is not in menu";

// The keyboard driver's name of a key (the extended bit for the keys that
// share a scan code with the numeric pad).
AnsiString KeyName(WORD key) {
  UINT scan = MapVirtualKeyA(key, 0);
  if (!scan) return AnsiString();
  LONG lparam = static_cast<LONG>(scan) << 16;
  switch (key) {
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME: case VK_LEFT: case VK_UP: case VK_RIGHT:
    case VK_DOWN: case VK_INSERT: case VK_DELETE: case VK_DIVIDE: case VK_NUMLOCK:
      lparam |= 1 << 24;
      break;
  }
  char buf[256] = {};
  int n = GetKeyNameTextA(lparam, buf, sizeof buf);
  return n > 0 ? AnsiString(buf, n) : AnsiString();
}

}  // namespace

// ===========================================================================
// Shortcuts

TShortCut ShortCut(WORD key, TShiftState shift) {
  if (key & 0xFF00) return 0;
  TShortCut r = key;
  if (shift & ssShift) r |= scShift;
  if (shift & ssCtrl) r |= scCtrl;
  if (shift & ssAlt) r |= scAlt;
  return r;
}

void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = 0;
  if (shortCut & scShift) shift |= ssShift;
  if (shortCut & scCtrl) shift |= ssCtrl;
  if (shortCut & scAlt) shift |= ssAlt;
}

AnsiString ShortCutToText(TShortCut shortCut) {
  AnsiString name = KeyName(shortCut & 0xFF);
  if (name.IsEmpty()) return AnsiString();
  AnsiString r;
  if (shortCut & scShift) r += "Shift+";
  if (shortCut & scCtrl) r += "Ctrl+";
  if (shortCut & scAlt) r += "Alt+";
  return r + name;
}

TShortCut TextToShortCut(const AnsiString& text) {
  AnsiString rest = text;
  TShortCut shift = 0;
  auto front = [&](const char* prefix) {
    int n = static_cast<int>(std::strlen(prefix));
    if (rest.Length() >= n && AnsiSameText(rest.SubString(1, n), prefix)) {
      rest.Delete(1, n);
      return true;
    }
    return false;
  };
  for (;;) {
    if (front("Shift+"))
      shift |= scShift;
    else if (front("^"))
      shift |= scCtrl;
    else if (front("Ctrl+"))
      shift |= scCtrl;
    else if (front("Alt+"))
      shift |= scAlt;
    else
      break;
  }
  if (rest.IsEmpty()) return 0;
  for (WORD key = 0x08; key <= 0xFF; ++key) {
    AnsiString name = KeyName(key);
    if (!name.IsEmpty() && AnsiSameText(rest, name)) return static_cast<TShortCut>(key | shift);
  }
  return 0;
}

TShortCut ShortCutFromMessage(const TMessage& message) {
  return ShortCut(static_cast<WORD>(message.WParam & 0xFFFF), KeyDataToShiftState(message.LParam));
}

// ===========================================================================
// TMenuActionLink

CL_DEFINE_CLASS(TMenuActionLink, TActionLink)

TMenuActionLink::TMenuActionLink(TObject* client) : TActionLink(client) {
  FClient = client ? client->As<TMenuItem>() : nullptr;
}

void TMenuActionLink::AssignClient(TObject* client) { FClient = client ? client->As<TMenuItem>() : nullptr; }

bool TMenuActionLink::IsCaptionLinked() {
  return TActionLink::IsCaptionLinked() && AnsiSameCaption(FClient->Caption(), CustomAction()->Caption());
}
bool TMenuActionLink::IsCheckedLinked() {
  return TActionLink::IsCheckedLinked() && FClient->Checked() == CustomAction()->Checked();
}
bool TMenuActionLink::IsEnabledLinked() {
  return TActionLink::IsEnabledLinked() && FClient->Enabled() == CustomAction()->Enabled();
}
bool TMenuActionLink::IsHelpContextLinked() {
  return TActionLink::IsHelpContextLinked() && FClient->HelpContext() == CustomAction()->HelpContext();
}
bool TMenuActionLink::IsHintLinked() {
  return TActionLink::IsHintLinked() && FClient->Hint() == CustomAction()->Hint();
}
bool TMenuActionLink::IsImageIndexLinked() {
  return TActionLink::IsImageIndexLinked() && FClient->ImageIndex() == CustomAction()->ImageIndex();
}
bool TMenuActionLink::IsShortCutLinked() {
  return TActionLink::IsShortCutLinked() && FClient->ShortCut() == CustomAction()->ShortCut();
}
bool TMenuActionLink::IsVisibleLinked() {
  return TActionLink::IsVisibleLinked() && FClient->Visible() == CustomAction()->Visible();
}
bool TMenuActionLink::IsOnExecuteLinked() {
  return TActionLink::IsOnExecuteLinked() && FAction && FClient->OnClick == FAction->OnExecute;
}
void TMenuActionLink::SetCaption(const AnsiString& value) {
  if (IsCaptionLinked()) FClient->SetCaption(value);
}
void TMenuActionLink::SetChecked(bool value) {
  if (IsCheckedLinked()) FClient->SetChecked(value);
}
void TMenuActionLink::SetEnabled(bool value) {
  if (IsEnabledLinked()) FClient->SetEnabled(value);
}
void TMenuActionLink::SetHelpContext(int value) {
  if (IsHelpContextLinked()) FClient->SetHelpContext(value);
}
void TMenuActionLink::SetHint(const AnsiString& value) {
  if (IsHintLinked()) FClient->SetHint(value);
}
void TMenuActionLink::SetImageIndex(int value) {
  if (IsImageIndexLinked()) FClient->SetImageIndex(value);
}
void TMenuActionLink::SetShortCut(TShortCut value) {
  if (IsShortCutLinked()) FClient->SetShortCut(value);
}
void TMenuActionLink::SetVisible(bool value) {
  if (IsVisibleLinked()) FClient->SetVisible(value);
}
void TMenuActionLink::SetOnExecute(TNotifyEvent value) {
  if (IsOnExecuteLinked()) FClient->OnClick = value;
}

// ===========================================================================
// TMenuItem

CL_DEFINE_COMPONENT(TMenuItem, TComponent)

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) { FCommand = AllocateCommand(); }

TMenuItem::~TMenuItem() {
  Destroying();
  if (FParent) {
    FParent->Remove(this);
    FParent = nullptr;
  }
  // Sub-items go with their item, whoever owns them.
  while (!FItems.empty()) {
    TMenuItem* item = FItems.back();
    FItems.pop_back();
    item->FParent = nullptr;
    delete item;
  }
  if (FHandle) DestroyMenu(FHandle);
  FHandle = nullptr;
  delete FActionLink;
  FActionLink = nullptr;
  FreeCommand(FCommand);
}

void TMenuItem::SetCaption(const AnsiString& value) {
  if (FCaption == value) return;
  FCaption = value;
  MenuChanged(true);
}

void TMenuItem::SetHint(const AnsiString& value) { FHint = value; }

void TMenuItem::SetShortCut(TShortCut value) {
  if (FShortCut == value) return;
  FShortCut = value;
  MenuChanged(true);
}

void TMenuItem::SetChecked(bool value) {
  if (FChecked == value) return;
  FChecked = value;
  if (value && FRadioItem && FParent) {
    for (TMenuItem* sibling : FParent->FItems)
      if (sibling != this && sibling->FRadioItem && sibling->FGroupIndex == FGroupIndex) sibling->SetChecked(false);
  }
  MenuChanged(true);
}

void TMenuItem::SetEnabled(bool value) {
  if (FEnabled == value) return;
  FEnabled = value;
  MenuChanged(true);
}

void TMenuItem::SetVisible(bool value) {
  if (FVisible == value) return;
  FVisible = value;
  MenuChanged(true);
}

void TMenuItem::SetDefault(bool value) {
  if (FDefault == value) return;
  if (value && FParent)
    for (TMenuItem* sibling : FParent->FItems)
      if (sibling != this) sibling->FDefault = false;
  FDefault = value;
  MenuChanged(true);
}

void TMenuItem::SetRadioItem(bool value) {
  if (FRadioItem == value) return;
  FRadioItem = value;
  MenuChanged(true);
}

void TMenuItem::SetGroupIndex(int value) {
  if (FGroupIndex == value) return;
  FGroupIndex = value;
  MenuChanged(true);
}

void TMenuItem::SetBreak(TMenuBreak value) {
  if (FBreak == value) return;
  FBreak = value;
  MenuChanged(true);
}

void TMenuItem::SetImageIndex(int value) {
  if (FImageIndex == value) return;
  FImageIndex = value;
  MenuChanged(true);
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count()) throw EMenuError(SMenuIndexError);
  return FItems[index];
}

HMENU TMenuItem::Handle() {
  if (!FHandle) {
    bool menuBar = !FParent && FMenu && FMenu->Is<TMainMenu>();
    FHandle = menuBar ? CreateMenu() : CreatePopupMenu();
    if (!FHandle) throw EMenuError("Menu handle could not be created");
    for (TMenuItem* item : FItems) item->AppendTo(FHandle);
  }
  return FHandle;
}

bool TMenuItem::IsTopOfMainMenu() const { return FParent && !FParent->FParent && FParent->FMenu && FParent->FMenu->Is<TMainMenu>(); }

void TMenuItem::AppendTo(HMENU menu) {
  if (!FVisible) return;
  AnsiString text = FCaption;
  if (FShortCut != 0 && FItems.empty() && !IsTopOfMainMenu()) text += "\t" + ShortCutToText(FShortCut);
  MENUITEMINFOA mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_ID | MIIM_TYPE | MIIM_STATE | MIIM_SUBMENU;
  mii.fType = IsLine() ? MFT_SEPARATOR : MFT_STRING;
  if (FRadioItem) mii.fType |= MFT_RADIOCHECK;
  if (FBreak == mbBreak) mii.fType |= MFT_MENUBREAK;
  if (FBreak == mbBarBreak) mii.fType |= MFT_MENUBARBREAK;
  mii.fState = (FChecked ? MFS_CHECKED : 0) | (FEnabled ? 0 : MFS_GRAYED) | (FDefault ? MFS_DEFAULT : 0);
  mii.wID = FCommand;
  mii.hSubMenu = FItems.empty() ? nullptr : Handle();
  mii.dwTypeData = const_cast<char*>(text.c_str());
  mii.cch = static_cast<UINT>(text.Length());
  InsertMenuItemA(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &mii);
}

void TMenuItem::RebuildHandle() {
  if (!FHandle) return;
  while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);
  for (TMenuItem* item : FItems) item->AppendTo(FHandle);
}

void TMenuItem::ItemsChanged(bool rebuild) {
  if (rebuild) RebuildHandle();
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged(this, rebuild);
}

void TMenuItem::MenuChanged(bool rebuild) {
  if (ComponentState() & csDestroying) return;
  // The item lives in its parent's native menu: that one is rebuilt.
  if (FParent) {
    if (rebuild) FParent->RebuildHandle();
    if (TMenu* menu = GetParentMenu()) menu->MenuChanged(this, rebuild);
  } else if (TMenu* menu = GetParentMenu()) {
    menu->MenuChanged(nullptr, rebuild);
  }
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item) return;
  if (item->FParent) throw EMenuError(SMenuReinserted);
  if (index < 0 || index > Count()) throw EMenuError(SMenuIndexError);
  FItems.insert(FItems.begin() + index, item);
  item->FParent = this;
  if (!(ComponentState() & csDestroying)) ItemsChanged(true);
}

void TMenuItem::Delete(int index) {
  TMenuItem* item = Items(index);
  FItems.erase(FItems.begin() + index);
  item->FParent = nullptr;
  if (!(ComponentState() & csDestroying)) ItemsChanged(true);
}

void TMenuItem::Remove(TMenuItem* item) {
  int i = IndexOf(item);
  if (i < 0) throw EMenuError(SMenuNotFound);
  Delete(i);
}

void TMenuItem::Clear() {
  while (!FItems.empty()) {
    TMenuItem* item = FItems.back();
    FItems.pop_back();
    item->FParent = nullptr;
    delete item;
  }
  ItemsChanged(true);
}

int TMenuItem::IndexOf(TMenuItem* item) const {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

TMenuItem* TMenuItem::Find(const AnsiString& caption) {
  AnsiString wanted = StripHotkey(caption);
  for (TMenuItem* item : FItems)
    if (AnsiSameText(StripHotkey(item->FCaption), wanted)) return item;
  return nullptr;
}

int TMenuItem::MenuIndex() const { return FParent ? FParent->IndexOf(const_cast<TMenuItem*>(this)) : -1; }

void TMenuItem::SetMenuIndex(int value) {
  if (!FParent) return;
  TMenuItem* parent = FParent;
  int count = parent->Count();
  if (value < 0) value = 0;
  if (value >= count) value = count - 1;
  int cur = MenuIndex();
  if (cur == value) return;
  parent->FItems.erase(parent->FItems.begin() + cur);
  parent->FItems.insert(parent->FItems.begin() + value, this);
  parent->ItemsChanged(true);
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* item = this;
  while (item->FParent) item = item->FParent;
  return item->FMenu;
}

TBasicAction* TMenuItem::Action() const { return FActionLink ? FActionLink->Action() : nullptr; }

void TMenuItem::SetAction(TBasicAction* value) {
  if (!value) {
    delete FActionLink;
    FActionLink = nullptr;
    return;
  }
  if (!FActionLink) FActionLink = CreateActionLink(GetActionLinkClass(), this);
  FActionLink->SetAction(value);
  FActionLink->OnChange = MakeEvent<&TMenuItem::DoActionChange>(this);
  ActionChange(value, (value->ComponentState() & csLoading) != 0);
  value->FreeNotification(this);
}

void TMenuItem::DoActionChange(TObject* sender) {
  if (sender == Action()) ActionChange(sender, false);
}

const TMetaClass* TMenuItem::GetActionLinkClass() { return &TMenuActionLink::Class; }

void TMenuItem::ActionChange(TObject* sender, bool checkDefaults) {
  if (!sender || !sender->Is<TCustomAction>()) return;
  auto* a = static_cast<TCustomAction*>(sender);
  if (!checkDefaults || FCaption.IsEmpty()) SetCaption(a->Caption());
  if (!checkDefaults || !FChecked) SetChecked(a->Checked());
  if (!checkDefaults || FEnabled) SetEnabled(a->Enabled());
  if (!checkDefaults || FHelpContext == 0) SetHelpContext(a->HelpContext());
  if (!checkDefaults || FHint.IsEmpty()) SetHint(a->Hint());
  if (!checkDefaults || FImageIndex == -1) SetImageIndex(a->ImageIndex());
  if (!checkDefaults || FShortCut == 0) SetShortCut(a->ShortCut());
  if (!checkDefaults || FVisible) SetVisible(a->Visible());
  if (!checkDefaults || !OnClick) OnClick = a->OnExecute;
}

void TMenuItem::Click() {
  if (!FEnabled) return;
  TBasicAction* action = Action();
  if (OnClick && action && OnClick != action->OnExecute)
    OnClick(this);
  else if (FActionLink)
    FActionLink->Execute(this);
  else if (OnClick)
    OnClick(this);
}

void TMenuItem::InitiateAction() {
  if (FActionLink) FActionLink->Update();
}

TComponent* TMenuItem::GetParentComponent() {
  if (FParent && FParent->FMenu) return FParent->FMenu;
  return FParent;
}

void TMenuItem::SetParentComponent(TComponent* value) {
  if (FParent) FParent->Remove(this);
  if (!value) return;
  if (value->Is<TMenu>())
    static_cast<TMenu*>(value)->Items()->Add(this);
  else if (value->Is<TMenuItem>())
    static_cast<TMenuItem*>(value)->Add(this);
}

void TMenuItem::Loaded() {
  TComponent::Loaded();
  if (FActionLink) ActionChange(FActionLink->Action(), true);
}

void TMenuItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && FActionLink && component == FActionLink->Action()) SetAction(nullptr);
}

// ===========================================================================
// TMenu

CL_DEFINE_CLASS(TMenu, TComponent)
CL_DEFINE_COMPONENT(TMainMenu, TMenu)
CL_DEFINE_COMPONENT(TPopupMenu, TMenu)

TMenu::TMenu(TComponent* owner) : TComponent(owner) {
  FItems = new TMenuItem(nullptr);
  FItems->FMenu = this;
}

TMenu::~TMenu() {
  Destroying();
  FItems->FMenu = nullptr;
  delete FItems;
  FItems = nullptr;
}

HMENU TMenu::GetHandle() { return FItems->Handle(); }

void TMenu::SetWindowHandle(HWND value) { FWindowHandle = value; }

TMenuItem* TMenu::FindItem(UINT value, TFindItemKind kind) {
  TMenuItem* found = nullptr;
  auto find = [&](auto&& self, TMenuItem* item) -> bool {
    bool hit = (kind == fkCommand && value == item->FCommand) ||
               (kind == fkHandle && item->FHandle && value == static_cast<UINT>(reinterpret_cast<uintptr_t>(item->FHandle))) ||
               (kind == fkShortCut && item->FShortCut != 0 && value == item->FShortCut);
    if (hit) {
      found = item;
      return true;
    }
    for (TMenuItem* child : item->FItems)
      if (self(self, child)) return true;
    return false;
  };
  find(find, FItems);
  return found;
}

bool TMenu::DispatchCommand(WORD command) {
  TMenuItem* item = FindItem(command, fkCommand);
  if (!item || item == FItems) return false;
  item->Click();
  return true;
}

bool TMenu::DispatchPopup(HMENU menu) {
  TMenuItem* item = FindItem(static_cast<UINT>(reinterpret_cast<uintptr_t>(menu)), fkHandle);
  if (!item) return false;
  for (TMenuItem* child : std::vector<TMenuItem*>(item->FItems)) child->InitiateAction();
  if (item != FItems) item->Click();
  return true;
}

bool TMenu::IsShortCut(TMessage& message) {
  TShortCut sc = ShortCutFromMessage(message);
  if (sc == 0) return false;
  // An item with sub-items cannot be chosen, so its shortcut is only shown,
  // never run: the search looks at the items that can run.
  TMenuItem* found = nullptr;
  auto find = [&](auto&& self, TMenuItem* item) -> bool {
    for (TMenuItem* child : item->FItems) {
      if (child->FItems.empty()) {
        if (child->FShortCut == sc) {
          found = child;
          return true;
        }
      } else if (self(self, child)) {
        return true;
      }
    }
    return false;
  };
  find(find, FItems);
  if (!found) return false;
  std::vector<TMenuItem*> path;
  for (TMenuItem* p = found; p && p != FItems; p = p->FParent) path.insert(path.begin(), p);
  for (TMenuItem* p : path) {
    p->InitiateAction();
    if (!p->Enabled()) return true;
  }
  found->Click();
  return true;
}

void TMenu::DoChange(TMenuItem* source, bool rebuild) {
  (void)source;
  (void)rebuild;
}

void TMenu::MenuChanged(TMenuItem* source, bool rebuild) {
  if (ComponentState() & csDestroying) return;
  DoChange(source, rebuild);
}

void TMenu::GetChildren(std::vector<TComponent*>& list) {
  for (TMenuItem* item : FItems->FItems) list.push_back(item);
}

HMENU TMainMenu::GetHandle() { return FItems->Handle(); }

void TMainMenu::DoChange(TMenuItem* source, bool rebuild) {
  TMenu::DoChange(source, rebuild);
  if (FWindowHandle && IsWindow(FWindowHandle) && FItems->HandleAllocated() && GetMenu(FWindowHandle) == FItems->Handle())
    DrawMenuBar(FWindowHandle);
}

// ===========================================================================
// TPopupMenu

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {
  if (PopupList) PopupList->Add(this);
}

TPopupMenu::~TPopupMenu() {
  if (PopupList) PopupList->Remove(this);
}

HMENU TPopupMenu::GetHandle() { return FItems->Handle(); }

void TPopupMenu::SetPopupComponent(TComponent* value) {
  if (FPopupComponent == value) return;
  if (FPopupComponent) FPopupComponent->RemoveFreeNotification(this);
  FPopupComponent = value;
  if (value) value->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TMenu::Notification(component, operation);
  if (operation == opRemove && component == FPopupComponent) FPopupComponent = nullptr;
}

void TPopupMenu::DoPopup(TObject* sender) {
  if (OnPopup) OnPopup(sender);
}

void TPopupMenu::Popup(int x, int y) {
  DoPopup(this);
  for (int i = 0; i < FItems->Count(); ++i) FItems->Items(i)->InitiateAction();
  HWND window = PopupList ? PopupList->Window() : nullptr;
  SetWindowHandle(window);
  UINT flags = TPM_RIGHTBUTTON;
  switch (FAlignment) {
    case paLeft: flags |= TPM_LEFTALIGN; break;
    case paRight: flags |= TPM_RIGHTALIGN; break;
    case paCenter: flags |= TPM_CENTERALIGN; break;
  }
  TrackPopupMenu(FItems->Handle(), flags, x, y, 0, window, nullptr);
}

// ===========================================================================
// TPopupList

CL_DEFINE_CLASS(TPopupList, TList)

TPopupList::TPopupList() { FWindow = AllocateHWnd(MakeEvent<&TPopupList::MainWndProc>(this)); }

TPopupList::~TPopupList() {
  DeallocateHWnd(FWindow);
  FWindow = nullptr;
}

void TPopupList::MainWndProc(TMessage& message) {
  GuardedCall(this, [&] { WndProc(message); });
}

void TPopupList::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_COMMAND:
      for (int i = 0; i < Count(); ++i)
        if (static_cast<TPopupMenu*>(Items(i))->DispatchCommand(LOWORD(message.WParam))) return;
      break;
    case WM_INITMENUPOPUP:
      for (int i = 0; i < Count(); ++i)
        if (static_cast<TPopupMenu*>(Items(i))->DispatchPopup(reinterpret_cast<HMENU>(message.WParam))) return;
      break;
    case WM_MENUSELECT: {
      UINT flags = HIWORD(message.WParam);
      UINT id = LOWORD(message.WParam);
      HMENU menu = reinterpret_cast<HMENU>(message.LParam);
      TFindItemKind kind = fkCommand;
      UINT value = id;
      if (flags & MF_POPUP) {
        kind = fkHandle;
        value = static_cast<UINT>(reinterpret_cast<uintptr_t>(menu ? GetSubMenu(menu, static_cast<int>(id)) : nullptr));
      }
      if (!(flags == 0xFFFF && !menu)) {
        for (int i = 0; i < Count(); ++i) {
          TMenuItem* item = static_cast<TPopupMenu*>(Items(i))->FindItem(value, kind);
          if (item) {
            if (Application) Application->SetHint(GetLongHint(item->Hint()));
            return;
          }
        }
      }
      if (Application) Application->SetHint(AnsiString());
      return;
    }
  }
  message.Result = DefWindowProcA(FWindow, message.Msg, message.WParam, message.LParam);
}

namespace {

const char* const MenuBreakNames[] = {"mbNone", "mbBreak", "mbBarBreak"};
const char* const PopupAlignmentNames[] = {"paLeft", "paRight", "paCenter"};

void RegisterMenuProperties() {
  const TMetaClass* c = &TMenuItem::Class;
  RegisterProperty(c, "Caption", pkString, &TMenuItem::SetCaption, &TMenuItem::Caption);
  RegisterProperty(c, "Hint", pkString, &TMenuItem::SetHint, &TMenuItem::Hint);
  RegisterProperty(c, "ShortCut", pkInteger, &TMenuItem::SetShortCut, &TMenuItem::ShortCut, 0);
  RegisterProperty(c, "Checked", pkBool, &TMenuItem::SetChecked, &TMenuItem::Checked, 0);
  RegisterProperty(c, "Enabled", pkBool, &TMenuItem::SetEnabled, &TMenuItem::Enabled, 1);
  RegisterProperty(c, "Visible", pkBool, &TMenuItem::SetVisible, &TMenuItem::Visible, 1);
  RegisterProperty(c, "Default", pkBool, &TMenuItem::SetDefault, &TMenuItem::Default, 0);
  RegisterProperty(c, "RadioItem", pkBool, &TMenuItem::SetRadioItem, &TMenuItem::RadioItem, 0);
  RegisterProperty(c, "GroupIndex", pkInteger, &TMenuItem::SetGroupIndex, &TMenuItem::GroupIndex, 0);
  RegisterProperty(c, "Break", TPropType::Enum(MenuBreakNames), &TMenuItem::SetBreak, &TMenuItem::Break, mbNone);
  RegisterProperty(c, "ImageIndex", pkInteger, &TMenuItem::SetImageIndex, &TMenuItem::ImageIndex, -1);
  RegisterProperty(c, "HelpContext", pkInteger, &TMenuItem::SetHelpContext, &TMenuItem::HelpContext, 0);
  RegisterProperty(c, "Action", pkComponent, &TMenuItem::SetAction, &TMenuItem::Action);
  RegisterEventField(c, "OnClick", &TMenuItem::OnClick);
  c = &TPopupMenu::Class;
  RegisterProperty(c, "Alignment", TPropType::Enum(PopupAlignmentNames), &TPopupMenu::SetAlignment,
                   &TPopupMenu::Alignment, paLeft);
  RegisterProperty(c, "AutoPopup", pkBool, &TPopupMenu::SetAutoPopup, &TPopupMenu::AutoPopup, 1);
  RegisterEventField(c, "OnPopup", &TPopupMenu::OnPopup);
}

}  // namespace

void UnitInit_menus() {
  if (!CommandPool) CommandPool = new std::vector<bool>();
  PopupList = new TPopupList();
  RegisterActionLinkClass(&TMenuActionLink::Class, &NewActionLink<TMenuActionLink>);
  RegisterClasses({&TMainMenu::Class, &TPopupMenu::Class, &TMenuItem::Class});
  RegisterMenuProperties();
}

void UnitFini_menus() {
  delete PopupList;
  PopupList = nullptr;
  delete CommandPool;
  CommandPool = nullptr;
}
