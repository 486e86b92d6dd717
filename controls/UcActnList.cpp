#include "UcActnList.h"

#include "UcComponentProps.h"
#include "UcControls.h"
#include "UcMenus.h"
#include "UcSysUtils.h"

#include "filer.h"

// {59D0AE37-8161-4AD6-9102-14B28E5761EB}
const GUID IID_IUcAction = {0x59D0AE37, 0x8161, 0x4AD6, {0x91, 0x02, 0x14, 0xB2, 0x8E, 0x57, 0x61, 0xEB}};

TUpgradeActionListItemsProc UpgradeActionListItemsProc = nullptr;

CL_DEFINE_CLASS(TCustomActionHelper, TComponent)
CL_DEFINE_COMPONENT(TUcCustomAction, TCustomAction)
CL_DEFINE_COMPONENT(TUcAction, TAction)
CL_DEFINE_COMPONENT(TUcActionList, TActionList)
CL_DEFINE_CLASS(TUcMenuActionLink, TMenuActionLink)
CL_DEFINE_CLASS(TUcControlActionLink, TControlActionLink)
CL_DEFINE_CLASS(TUcWinControlActionLink, TWinControlActionLink)
CL_DEFINE_CLASS(TUcButtonActionLink, TButtonActionLink)
CL_DEFINE_CLASS(TUcSpeedButtonActionLink, TSpeedButtonActionLink)
CL_DEFINE_CLASS(TUcListViewActionLink, TListViewActionLink)
CL_DEFINE_CLASS(TUcToolButtonActionLink, TToolButtonActionLink)
CL_DEFINE_CLASS(TUcComboBoxExActionLink, TComboBoxExActionLink)

namespace {

TCustomAction* AsCustomAction(TBasicAction* action) {
  return action && action->Is<TCustomAction>() ? static_cast<TCustomAction*>(action) : nullptr;
}

// One wide text of a wide action (caption or hint): the same rules for both.
struct TWideTextSlot {
  WideString TCustomActionHelper::*Value;
  bool TCustomActionHelper::*Setting;
  WideString TCustomActionHelper::*OldWide;
  AnsiString TCustomActionHelper::*NewAnsi;
  const AnsiString& (TCustomAction::*GetAnsi)() const;
  void (TCustomAction::*SetAnsi)(const AnsiString&);
};

const TWideTextSlot CaptionSlot = {&TCustomActionHelper::FCaption, &TCustomActionHelper::SettingNewCaption,
                                   &TCustomActionHelper::OldWideCaption, &TCustomActionHelper::NewAnsiCaption,
                                   &TCustomAction::Caption, &TCustomAction::SetCaption};
const TWideTextSlot HintSlot = {&TCustomActionHelper::FHint, &TCustomActionHelper::SettingNewHint,
                                &TCustomActionHelper::OldWideHint, &TCustomActionHelper::NewAnsiHint,
                                &TCustomAction::Hint, &TCustomAction::SetHint};

// The class library's setter is telling the links and has not stored the
// new ANSI value yet.
bool SettingNew(TCustomAction* action, TCustomActionHelper* h, const TWideTextSlot& s) {
  return h->*s.Setting && (action->*s.GetAnsi)() != h->*s.NewAnsi;
}

WideString GetWide(TCustomAction* action, const TWideTextSlot& s) {
  if (!IsWideAction(action)) return AnsiToWide((action->*s.GetAnsi)());
  TCustomActionHelper* h = FindActionHelper(action);
  if (SettingNew(action, h, s)) return h->*s.OldWide;
  return GetSyncedWideString(h->*s.Value, (action->*s.GetAnsi)());
}

void SetWide(TCustomAction* action, const WideString& value, const TWideTextSlot& s) {
  if (!IsWideAction(action)) {
    (action->*s.SetAnsi)(WideToAnsi(value));
    return;
  }
  TCustomActionHelper* h = FindActionHelper(action);
  h->*s.OldWide = GetWide(action, s);
  h->*s.NewAnsi = WideToAnsi(value);
  h->*s.Setting = true;
  try {
    SetSyncedWideString(value, h->*s.Value, (action->*s.GetAnsi)(), [action, h, &s](const AnsiString& ansi) {
      (action->*s.SetAnsi)(ansi);
      // The empty round that made the class library see a change: the
      // clients show "" now, which is what the next round compares with.
      if (ansi.IsEmpty() && !(h->*s.NewAnsi).IsEmpty()) h->*s.OldWide = WideString();
    });
  } catch (...) {
    h->*s.Setting = false;
    throw;
  }
  h->*s.Setting = false;
}

WideString GetNewWide(TCustomAction* action, const WideString& def, const TWideTextSlot& s) {
  if (!action || !IsWideAction(action)) return def;
  TCustomActionHelper* h = FindActionHelper(action);
  return SettingNew(action, h, s) ? h->*s.Value : def;
}

}  // namespace

bool IsWideAction(TObject* action) {
  void* intf = nullptr;
  return action && Supports(action, IID_IUcAction, &intf);
}

TCustomActionHelper* FindActionHelper(TCustomAction* action) {
  if (!action) throw EUcInternalError("UC Internal Error: the action of a helper is nil.");
  for (int i = 0; i < action->ComponentCount(); ++i)
    if (action->Components(i)->Is<TCustomActionHelper>()) return static_cast<TCustomActionHelper*>(action->Components(i));
  auto* h = new TCustomActionHelper(action);
  h->Action = action;
  return h;
}

WideString UcAction_GetCaption(TCustomAction* action) { return GetWide(action, CaptionSlot); }
void UcAction_SetCaption(TCustomAction* action, const WideString& value) { SetWide(action, value, CaptionSlot); }
WideString UcAction_GetNewCaption(TCustomAction* action, const WideString& def) {
  return GetNewWide(action, def, CaptionSlot);
}
WideString UcAction_GetHint(TCustomAction* action) { return GetWide(action, HintSlot); }
void UcAction_SetHint(TCustomAction* action, const WideString& value) { SetWide(action, value, HintSlot); }
WideString UcAction_GetNewHint(TCustomAction* action, const WideString& def) { return GetNewWide(action, def, HintSlot); }

void UcAction_AfterInherited_Assign(TCustomAction* action, TPersistent* source) {
  // The class library copied the ANSI texts; the wide ones follow whole, not
  // through the code page.
  if (!source) return;
  if (source->Is<TCustomAction>()) {
    auto* src = static_cast<TCustomAction*>(source);
    UcAction_SetCaption(action, UcAction_GetCaption(src));
    UcAction_SetHint(action, UcAction_GetHint(src));
  } else if (source->Is<TControl>()) {
    auto* src = static_cast<TControl*>(source);
    UcAction_SetCaption(action, UcControl_GetText(src));
    UcAction_SetHint(action, UcControl_GetHint(src));
  }
}

// ===========================================================================
// Controls

const TMetaClass* UcControl_GetActionLinkClass(TControl* control, const TMetaClass* inheritedClass) {
  const TMetaClass* result;
  if (control->Is<TCustomListView>())
    result = &TUcListViewActionLink::Class;
  else if (control->Is<TCustomComboBoxEx>())
    result = &TUcComboBoxExActionLink::Class;
  else if (control->Is<TSpeedButton>())
    result = &TUcSpeedButtonActionLink::Class;
  else if (control->Is<TToolButton>())
    result = &TUcToolButtonActionLink::Class;
  else if (control->Is<TButtonControl>())
    result = &TUcButtonActionLink::Class;
  else if (control->Is<TWinControl>())
    result = &TUcWinControlActionLink::Class;
  else
    result = &TUcControlActionLink::Class;
  if (result->Parent != inheritedClass)
    throw EUcInternalError(Format("UC Internal Error: %s does not derive from %s.",
                                  {result->Name, inheritedClass ? inheritedClass->Name : "nil"}));
  return result;
}

void UcControl_BeforeInherited_ActionChange(TControl* control, TObject* sender, bool checkDefaults) {
  if (!sender || !sender->Is<TCustomAction>() || !IsWideAction(sender)) return;
  auto* action = static_cast<TCustomAction*>(sender);
  if (!checkDefaults) {
    UcControl_SetText(control, UcAction_GetCaption(action));
  } else {
    WideString text = UcControl_GetText(control);
    if (text.IsEmpty() || text == AnsiToWide(control->Name())) UcControl_SetText(control, UcAction_GetCaption(action));
  }
  if (!checkDefaults || UcControl_GetHint(control).IsEmpty()) UcControl_SetHint(control, UcAction_GetHint(action));
}

bool UcActionLink_IsCaptionLinked(bool inheritedResult, TBasicAction* action, TControl* control) {
  TCustomAction* a = AsCustomAction(action);
  return inheritedResult && a && control && UcAction_GetCaption(a) == UcControl_GetText(control);
}

bool UcActionLink_IsHintLinked(bool inheritedResult, TBasicAction* action, TControl* control) {
  TCustomAction* a = AsCustomAction(action);
  return inheritedResult && a && control && UcAction_GetHint(a) == UcControl_GetHint(control);
}

void UcActionLink_SetCaption(bool isLinked, TBasicAction* action, TControl* control, const AnsiString& value) {
  if (isLinked) UcControl_SetText(control, UcAction_GetNewCaption(AsCustomAction(action), AnsiToWide(value)));
}

void UcActionLink_SetHint(bool isLinked, TBasicAction* action, TControl* control, const AnsiString& value) {
  if (isLinked) UcControl_SetHint(control, UcAction_GetNewHint(AsCustomAction(action), AnsiToWide(value)));
}

// ===========================================================================
// Actions

// ===========================================================================
// Action list

TUcActionList::TUcActionList(TComponent* owner) : TActionList(owner) {
  if (owner && (owner->ComponentState() & csDesigning)) FComponentState |= csDesigning;
  if (!(ComponentState() & csDesigning)) return;
  FCheckTimer = new TTimer(this);
  FCheckTimer->SetEnabled(false);
  FCheckTimer->SetInterval(50);
  FCheckTimer->SetOnTimer(MakeEvent<&TUcActionList::CheckTimerFired>(this));
  ReplaceActionsList(new TActionListList(this));
}

void TUcActionList::CheckTimerFired(TObject* sender) {
  (void)sender;
  CheckActions();
}

void TUcActionList::CheckActions() {
  if (FCheckTimer) FCheckTimer->SetEnabled(false);
  if (!(ComponentState() & csDesigning))
    throw EUcInternalError("UC Internal Error: TUcActionList.CheckActions runs only while designing.");
  if (!UpgradeActionListItemsProc)
    throw EUcInternalError("UC Internal Error: TUcActionList.CheckActions has no upgrade procedure.");
  UpgradeActionListItemsProc(this);
}

CL_DEFINE_CLASS(TActionListList, TList)

void TActionListList::Notify(void* ptr, TListNotification action) {
  TList::Notify(ptr, action);
  TTimer* timer = FActionList ? FActionList->CheckTimer() : nullptr;
  if (action == lnAdded && timer && !IsWideAction(static_cast<TContainedAction*>(ptr))) {
    timer->SetEnabled(false);
    timer->SetEnabled(true);
  }
}

// ===========================================================================
// The menu rule

bool TUcMenuActionLink::IsCaptionLinked() {
  TCustomAction* a = AsCustomAction(FAction);
  return TMenuActionLink::IsCaptionLinked() && a && FClient &&
         WideSameCaption(UcAction_GetCaption(a), WideGetMenuItemCaption(FClient));
}

bool TUcMenuActionLink::IsHintLinked() {
  TCustomAction* a = AsCustomAction(FAction);
  return TMenuActionLink::IsHintLinked() && a && FClient && UcAction_GetHint(a) == WideGetMenuItemHint(FClient);
}

void TUcMenuActionLink::SetCaption(const AnsiString& value) {
  if (!IsCaptionLinked()) return;
  WideString caption = UcAction_GetNewCaption(AsCustomAction(FAction), AnsiToWide(value));
  if (FClient->Is<TUcMenuItem>())
    static_cast<TUcMenuItem*>(FClient)->SetCaption(caption);
  else
    FClient->SetCaption(WideToAnsi(caption));
}

void TUcMenuActionLink::SetHint(const AnsiString& value) {
  if (!IsHintLinked()) return;
  WideString hint = UcAction_GetNewHint(AsCustomAction(FAction), AnsiToWide(value));
  if (FClient->Is<TUcMenuItem>())
    static_cast<TUcMenuItem*>(FClient)->SetHint(hint);
  else
    FClient->SetHint(WideToAnsi(hint));
}

// ===========================================================================
// Unit

void UnitInit_UcActnList() {
  RegisterActionLinkClass(&TUcMenuActionLink::Class, &NewActionLink<TUcMenuActionLink>);
  RegisterActionLinkClass(&TUcControlActionLink::Class, &NewActionLink<TUcControlActionLink>);
  RegisterActionLinkClass(&TUcWinControlActionLink::Class, &NewActionLink<TUcWinControlActionLink>);
  RegisterActionLinkClass(&TUcButtonActionLink::Class, &NewActionLink<TUcButtonActionLink>);
  RegisterActionLinkClass(&TUcSpeedButtonActionLink::Class, &NewActionLink<TUcSpeedButtonActionLink>);
  RegisterActionLinkClass(&TUcListViewActionLink::Class, &NewActionLink<TUcListViewActionLink>);
  RegisterActionLinkClass(&TUcToolButtonActionLink::Class, &NewActionLink<TUcToolButtonActionLink>);
  RegisterActionLinkClass(&TUcComboBoxExActionLink::Class, &NewActionLink<TUcComboBoxExActionLink>);
  RegisterClasses({&TUcAction::Class, &TUcCustomAction::Class, &TUcActionList::Class});
  RegisterProperty(&TUcAction::Class, "Caption", pkWideString, &TUcAction::SetCaption, &TUcAction::Caption);
  RegisterProperty(&TUcAction::Class, "Hint", pkWideString, &TUcAction::SetHint, &TUcAction::Hint);
  RegisterProperty(&TUcCustomAction::Class, "Caption", pkWideString, &TUcCustomAction::SetCaption,
                   &TUcCustomAction::Caption);
  RegisterProperty(&TUcCustomAction::Class, "Hint", pkWideString, &TUcCustomAction::SetHint, &TUcCustomAction::Hint);
}

void UnitFini_UcActnList() {}
