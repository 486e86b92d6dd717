#include "actnlist.h"

#include "controls.h"
#include "forms.h"
#include "imglist.h"
#include "menus.h"

#include <algorithm>

namespace {

struct TLinkClassEntry {
  const TMetaClass* Class;
  TActionLinkFactory Factory;
};

std::vector<TLinkClassEntry>* LinkClasses = nullptr;
unsigned CurrentUpdatePass = 0;
unsigned UpdatePassCounter = 0;

// Sends an action message to the application window, where the hooks (the
// Unicode layer) and then the forms' components see it.
bool SendAppMessage(UINT msg, TBasicAction* action) {
  if (!Application || !Application->Handle()) return false;
  return SendMessageA(Application->Handle(), msg, 0, reinterpret_cast<LPARAM>(action)) == 1;
}

}  // namespace

void RegisterActionLinkClass(const TMetaClass* cls, TActionLinkFactory factory) {
  if (!LinkClasses) LinkClasses = new std::vector<TLinkClassEntry>();
  for (auto& e : *LinkClasses)
    if (e.Class == cls) {
      e.Factory = factory;
      return;
    }
  LinkClasses->push_back({cls, factory});
}

TBasicActionLink* CreateActionLink(const TMetaClass* cls, TObject* client) {
  if (LinkClasses)
    for (auto& e : *LinkClasses)
      if (e.Class == cls) return e.Factory(client);
  throw EInvalidOperation(Format("Action link class %s is not registered", {cls ? cls->Name : "nil"}));
}

bool AnsiSameCaption(const AnsiString& a, const AnsiString& b) {
  return AnsiSameText(StripHotkey(a), StripHotkey(b));
}

void BeginActionUpdatePass() {
  CurrentUpdatePass = ++UpdatePassCounter;
  if (CurrentUpdatePass == 0) CurrentUpdatePass = ++UpdatePassCounter;
}

void EndActionUpdatePass() { CurrentUpdatePass = 0; }

// ===========================================================================
// Links

CL_DEFINE_CLASS(TBasicActionLink, TObject)
CL_DEFINE_CLASS(TActionLink, TBasicActionLink)

TBasicActionLink::TBasicActionLink(TObject* client) { (void)client; }

TBasicActionLink::~TBasicActionLink() {
  if (FAction) FAction->UnRegisterChanges(this);
}

void TBasicActionLink::SetAction(TBasicAction* value) {
  if (value == FAction) return;
  if (FAction) FAction->UnRegisterChanges(this);
  FAction = value;
  if (value) value->RegisterChanges(this);
}

bool TBasicActionLink::Execute(TComponent* component) {
  if (!FAction) return false;
  TBasicAction* action = FAction;
  action->SetActionComponent(component);
  bool result;
  try {
    result = action->Execute();
  } catch (...) {
    if (FAction == action) action->SetActionComponent(nullptr);
    throw;
  }
  if (FAction == action) action->SetActionComponent(nullptr);
  return result;
}

bool TBasicActionLink::Update() { return FAction && FAction->Update(); }

void TBasicActionLink::Change() {
  if (OnChange) OnChange(FAction);
}

TCustomAction* TActionLink::CustomAction() const {
  return FAction && FAction->Is<TCustomAction>() ? static_cast<TCustomAction*>(FAction) : nullptr;
}

bool TActionLink::IsCaptionLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsCheckedLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsEnabledLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsHelpContextLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsHintLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsImageIndexLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsShortCutLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsVisibleLinked() { return CustomAction() != nullptr; }

bool TActionLink::DoShowHint(AnsiString& hintStr) {
  TCustomAction* action = CustomAction();
  if (!action) return true;
  if (!action->DoHint(hintStr)) return false;
  if (Application && Application->HintShortCuts() && action->ShortCut() != 0 && !hintStr.IsEmpty())
    hintStr = Format("%s (%s)", {hintStr, ShortCutToText(action->ShortCut())});
  return true;
}

// ===========================================================================
// TBasicAction

CL_DEFINE_COMPONENT(TBasicAction, TComponent)

TBasicAction::TBasicAction(TComponent* owner) : TComponent(owner) {}

TBasicAction::~TBasicAction() {
  Destroying();
  // The links stay with their clients, without an action.
  std::vector<TBasicActionLink*> clients = FClients;
  for (TBasicActionLink* link : clients) {
    link->FAction = nullptr;
    link->Change();
  }
  FClients.clear();
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

bool TBasicAction::Update() {
  if (!OnUpdate) return false;
  OnUpdate(this);
  return true;
}

void TBasicAction::SetActionComponent(TComponent* value) {
  if (FActionComponent == value) return;
  if (FActionComponent) FActionComponent->RemoveFreeNotification(this);
  FActionComponent = value;
  if (value) value->FreeNotification(this);
}

void TBasicAction::SetOnExecute(TNotifyEvent value) {
  if (OnExecute == value) return;
  for (TBasicActionLink* link : std::vector<TBasicActionLink*>(FClients)) link->SetOnExecute(value);
  OnExecute = value;
  Change();
}

void TBasicAction::RegisterChanges(TBasicActionLink* link) {
  if (std::find(FClients.begin(), FClients.end(), link) == FClients.end()) FClients.push_back(link);
  link->FAction = this;
}

void TBasicAction::UnRegisterChanges(TBasicActionLink* link) {
  auto it = std::find(FClients.begin(), FClients.end(), link);
  if (it != FClients.end()) FClients.erase(it);
  if (link->FAction == this) link->FAction = nullptr;
}

void TBasicAction::Change() {
  if (OnChange) OnChange(this);
}

void TBasicAction::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == FActionComponent) FActionComponent = nullptr;
}

// ===========================================================================
// TContainedAction

CL_DEFINE_COMPONENT(TContainedAction, TBasicAction)

TContainedAction::~TContainedAction() {
  if (FActionList) FActionList->RemoveAction(this);
}

void TContainedAction::SetActionList(TCustomActionList* value) {
  if (FActionList == value) return;
  if (FActionList) FActionList->RemoveAction(this);
  if (value) value->AddAction(this);
}

void TContainedAction::SetCategory(const AnsiString& value) {
  if (FCategory == value) return;
  FCategory = value;
  if (FActionList) FActionList->Change();
}

int TContainedAction::Index() const {
  if (!FActionList) return -1;
  return FActionList->FActions->IndexOf(const_cast<TContainedAction*>(this));
}

void TContainedAction::SetIndex(int value) {
  int cur = Index();
  if (cur < 0) return;
  int count = FActionList->FActions->Count();
  if (value < 0) value = 0;
  if (value >= count) value = count - 1;
  if (value == cur) return;
  FActionList->FActions->Move(cur, value);
}

TComponent* TContainedAction::GetParentComponent() { return FActionList; }

void TContainedAction::SetParentComponent(TComponent* value) {
  if (value && value->Is<TCustomActionList>()) SetActionList(static_cast<TCustomActionList*>(value));
}

bool TContainedAction::Execute() {
  if (FActionList && FActionList->ExecuteAction(this)) return true;
  if (Application && Application->ExecuteAction(this)) return true;
  if (TBasicAction::Execute()) return true;
  return SendAppMessage(CM_ACTIONEXECUTE, this);
}

bool TContainedAction::Update() {
  if (FActionList && FActionList->UpdateAction(this)) return true;
  if (Application && Application->UpdateAction(this)) return true;
  if (TBasicAction::Update()) return true;
  return SendAppMessage(CM_ACTIONUPDATE, this);
}

// ===========================================================================
// TCustomAction

CL_DEFINE_COMPONENT(TCustomAction, TContainedAction)
CL_DEFINE_COMPONENT(TAction, TCustomAction)

TCustomAction::TCustomAction(TComponent* owner) : TContainedAction(owner) {}

template <class F> void TCustomAction::ForEachLink(F f) {
  for (TBasicActionLink* link : std::vector<TBasicActionLink*>(FClients))
    if (link->Is<TActionLink>()) f(static_cast<TActionLink*>(link));
}

void TCustomAction::SetCaption(const AnsiString& value) {
  if (FCaption == value) return;
  ForEachLink([&](TActionLink* l) { l->SetCaption(value); });
  FCaption = value;
  Change();
}

void TCustomAction::SetChecked(bool value) {
  if (FChecked == value) return;
  ForEachLink([&](TActionLink* l) { l->SetChecked(value); });
  FChecked = value;
  // A checked action of a group unchecks the others of its group in the list.
  if (value && FGroupIndex > 0 && ActionList()) {
    for (int i = 0; i < ActionList()->ActionCount(); ++i) {
      TContainedAction* a = ActionList()->Actions(i);
      if (a != this && a->Is<TCustomAction>()) {
        auto* ca = static_cast<TCustomAction*>(a);
        if (ca->FGroupIndex == FGroupIndex) ca->SetChecked(false);
      }
    }
  }
  Change();
}

void TCustomAction::SetEnabled(bool value) {
  if (FEnabled == value) return;
  ForEachLink([&](TActionLink* l) { l->SetEnabled(value); });
  FEnabled = value;
  Change();
}

void TCustomAction::SetHelpContext(int value) {
  if (FHelpContext == value) return;
  ForEachLink([&](TActionLink* l) { l->SetHelpContext(value); });
  FHelpContext = value;
  Change();
}

void TCustomAction::SetHint(const AnsiString& value) {
  if (FHint == value) return;
  ForEachLink([&](TActionLink* l) { l->SetHint(value); });
  FHint = value;
  Change();
}

void TCustomAction::SetImageIndex(int value) {
  if (FImageIndex == value) return;
  ForEachLink([&](TActionLink* l) { l->SetImageIndex(value); });
  FImageIndex = value;
  Change();
}

void TCustomAction::SetShortCut(TShortCut value) {
  if (FShortCut == value) return;
  ForEachLink([&](TActionLink* l) { l->SetShortCut(value); });
  FShortCut = value;
  Change();
}

void TCustomAction::SetVisible(bool value) {
  if (FVisible == value) return;
  ForEachLink([&](TActionLink* l) { l->SetVisible(value); });
  FVisible = value;
  Change();
}

bool TCustomAction::DoHint(AnsiString& hintStr) {
  bool canShow = true;
  if (OnHint) OnHint(hintStr, canShow);
  return canShow;
}

bool TCustomAction::Execute() {
  Update();
  if (!FEnabled) return false;
  if (FAutoCheck && (!FChecked || FGroupIndex == 0)) SetChecked(!FChecked);
  return TContainedAction::Execute();
}

bool TCustomAction::Update() {
  // Once per idle pass: the second caller in the same pass gets the answer
  // of the first (a control and its action list both ask).
  if (CurrentUpdatePass && FUpdatePass == CurrentUpdatePass) return FUpdateResult;
  bool handled = TContainedAction::Update();
  if (!handled && FDisableIfNoHandler && !OnExecute) SetEnabled(false);
  if (CurrentUpdatePass) {
    FUpdatePass = CurrentUpdatePass;
    FUpdateResult = handled;
  }
  return handled;
}

void TCustomAction::Assign(TPersistent* source) {
  if (source && source->Is<TCustomAction>()) {
    auto* a = static_cast<TCustomAction*>(source);
    SetAutoCheck(a->AutoCheck());
    SetCaption(a->Caption());
    SetChecked(a->Checked());
    SetEnabled(a->Enabled());
    SetGroupIndex(a->GroupIndex());
    SetHelpContext(a->HelpContext());
    SetHint(a->Hint());
    SetImageIndex(a->ImageIndex());
    SetShortCut(a->ShortCut());
    SetVisible(a->Visible());
    return;
  }
  TContainedAction::Assign(source);
}

CL_DEFINE_COMPONENT(THintAction, TCustomAction)

THintAction::THintAction(TComponent* owner) : TCustomAction(owner) { SetDisableIfNoHandler(false); }

// ===========================================================================
// Action lists

CL_DEFINE_CLASS(TCustomActionList, TComponent)
CL_DEFINE_COMPONENT(TActionList, TCustomActionList)

TCustomActionList::TCustomActionList(TComponent* owner) : TComponent(owner), FActions(new TList()) {}

TCustomActionList::~TCustomActionList() {
  Destroying();
  // The actions belong to the list's owner; they only leave the list.
  for (int i = 0; i < FActions->Count(); ++i) static_cast<TContainedAction*>(FActions->Items(i))->FActionList = nullptr;
  delete FActions;
  FActions = nullptr;
  SetImages(nullptr);
}

TContainedAction* TCustomActionList::Actions(int index) const {
  if (index < 0 || index >= ActionCount()) TList::Error("List index out of bounds (%d)", index);
  return static_cast<TContainedAction*>(FActions->Items(index));
}

void TCustomActionList::ReplaceActionsList(TList* list) {
  if (!list || list == FActions) return;
  TList* old = FActions;
  FActions = list;
  for (int i = 0; i < old->Count(); ++i) list->Add(old->Items(i));
  delete old;
}

void TCustomActionList::SetImages(TCustomImageList* value) {
  if (FImages == value) return;
  if (FImages) FImages->RemoveFreeNotification(this);
  FImages = value;
  if (value) value->FreeNotification(this);
}

bool TCustomActionList::ExecuteAction(TBasicAction* action) {
  bool handled = false;
  if (OnExecute) OnExecute(action, handled);
  return handled;
}

bool TCustomActionList::UpdateAction(TBasicAction* action) {
  bool handled = false;
  if (OnUpdate) OnUpdate(action, handled);
  return handled;
}

bool TCustomActionList::IsShortCut(TShortCut shortCut) {
  if (shortCut == 0) return false;
  std::vector<TContainedAction*> actions;
  for (int i = 0; i < FActions->Count(); ++i) actions.push_back(Actions(i));
  for (TContainedAction* a : actions) {
    if (!a->Is<TCustomAction>()) continue;
    auto* ca = static_cast<TCustomAction*>(a);
    if (ca->ShortCut() != shortCut) continue;
    ca->Update();
    if (ca->Enabled()) ca->Execute();
    return true;
  }
  return false;
}

void TCustomActionList::AddAction(TContainedAction* action) {
  if (!action) return;
  if (action->FActionList && action->FActionList != this) action->FActionList->RemoveAction(action);
  if (FActions->IndexOf(action) < 0) FActions->Add(action);
  action->FActionList = this;
  action->FreeNotification(this);
}

void TCustomActionList::RemoveAction(TContainedAction* action) {
  FActions->Remove(action);
  if (action->FActionList == this) action->FActionList = nullptr;
}

void TCustomActionList::Change() {
  if (OnChange) OnChange(this);
}

void TCustomActionList::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FImages) FImages = nullptr;
  if (component->Is<TContainedAction>() && FActions) FActions->Remove(component);
}

void UnitInit_actnlist() {
  if (!LinkClasses) LinkClasses = new std::vector<TLinkClassEntry>();
  RegisterClasses({&TActionList::Class, &TAction::Class});
  const TMetaClass* c = &TBasicAction::Class;
  RegisterProperty(c, "OnExecute", pkEvent, &TBasicAction::SetOnExecute, &TBasicAction::GetOnExecute);
  RegisterEventField(c, "OnUpdate", &TBasicAction::OnUpdate);
  c = &TContainedAction::Class;
  RegisterProperty(c, "Category", pkString, &TContainedAction::SetCategory, &TContainedAction::Category);
  c = &TCustomAction::Class;
  RegisterProperty(c, "Caption", pkString, &TCustomAction::SetCaption, &TCustomAction::Caption);
  RegisterProperty(c, "Hint", pkString, &TCustomAction::SetHint, &TCustomAction::Hint);
  RegisterProperty(c, "Checked", pkBool, &TCustomAction::SetChecked, &TCustomAction::Checked, 0);
  RegisterProperty(c, "Enabled", pkBool, &TCustomAction::SetEnabled, &TCustomAction::Enabled, 1);
  RegisterProperty(c, "Visible", pkBool, &TCustomAction::SetVisible, &TCustomAction::Visible, 1);
  RegisterProperty(c, "HelpContext", pkInteger, &TCustomAction::SetHelpContext, &TCustomAction::HelpContext, 0);
  RegisterProperty(c, "ImageIndex", pkInteger, &TCustomAction::SetImageIndex, &TCustomAction::ImageIndex, -1);
  RegisterProperty(c, "ShortCut", pkInteger, &TCustomAction::SetShortCut, &TCustomAction::ShortCut, 0);
  RegisterProperty(c, "GroupIndex", pkInteger, &TCustomAction::SetGroupIndex, &TCustomAction::GroupIndex, 0);
  RegisterProperty(c, "AutoCheck", pkBool, &TCustomAction::SetAutoCheck, &TCustomAction::AutoCheck, 0);
  RegisterEventField(c, "OnHint", &TCustomAction::OnHint);
  c = &TCustomActionList::Class;
  RegisterProperty(c, "Images", pkComponent, &TCustomActionList::SetImages, &TCustomActionList::Images);
  RegisterEventField(c, "OnExecute", &TCustomActionList::OnExecute);
  RegisterEventField(c, "OnUpdate", &TCustomActionList::OnUpdate);
  RegisterEventField(c, "OnChange", &TCustomActionList::OnChange);
}

void UnitFini_actnlist() {
  delete LinkClasses;
  LinkClasses = nullptr;
}
