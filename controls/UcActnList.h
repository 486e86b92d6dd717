// Actions with wide captions and hints, and the action links that carry them
// into linked controls and menu items. The class library's action keeps ANSI
// texts and tells its links of a change before it stores the new value; the
// wide texts live in a helper component owned by the action, which answers
// the links' questions (the new caption, whether a client still shows the
// action's caption) in wide text.
#pragma once

#include "actnlist.h"
#include "buttons.h"
#include "comboex.h"
#include "comctrls.h"
#include "controls.h"
#include "extctrls.h"
#include "menus.h"
#include "stdctrls.h"
#include "toolwin.h"

#include "UcComponentProps.h"

class TUcMenuItem;

// {59D0AE37-8161-4AD6-9102-14B28E5761EB}: the mark of an action with wide texts.
extern const GUID IID_IUcAction;
class IUcAction {
protected:
  ~IUcAction() = default;
};

// Whether the object supports IUcAction.
bool IsWideAction(TObject* action);

// The wide texts of one wide action; owned by the action, made on first need.
class TCustomActionHelper : public TComponent {
  CL_CLASS(TCustomActionHelper, TComponent)
public:
  explicit TCustomActionHelper(TComponent* owner) : TComponent(owner) {}

  TCustomAction* Action = nullptr;
  WideString FCaption;
  bool SettingNewCaption = false;
  WideString OldWideCaption;
  AnsiString NewAnsiCaption;
  WideString FHint;
  bool SettingNewHint = false;
  WideString OldWideHint;
  AnsiString NewAnsiHint;
};

// The helper of a wide action (made when missing). A null action raises
// EUcInternalError.
TCustomActionHelper* FindActionHelper(TCustomAction* action);

// Wide texts of any action: the ANSI ones widened for a plain action.
WideString UcAction_GetCaption(TCustomAction* action);
void UcAction_SetCaption(TCustomAction* action, const WideString& value);
// While a wide action is telling its links of a new caption: the new caption;
// otherwise def.
WideString UcAction_GetNewCaption(TCustomAction* action, const WideString& def);
WideString UcAction_GetHint(TCustomAction* action);
void UcAction_SetHint(TCustomAction* action, const WideString& value);
WideString UcAction_GetNewHint(TCustomAction* action, const WideString& def);
// After the class library's Assign: the wide caption and hint of an action or
// control source, copied as wide texts.
void UcAction_AfterInherited_Assign(TCustomAction* action, TPersistent* source);

// For the controls: the Unicode link class for the class library's one, and
// the wide caption and hint a (wide) action hands over before the class
// library's ActionChange runs.
const TMetaClass* UcControl_GetActionLinkClass(TControl* control, const TMetaClass* inheritedClass);
void UcControl_BeforeInherited_ActionChange(TControl* control, TObject* sender, bool checkDefaults);

// The control rule of the links: linked while the class library says so and
// the wide texts are exactly equal; a linked client takes the new wide text.
bool UcActionLink_IsCaptionLinked(bool inheritedResult, TBasicAction* action, TControl* control);
bool UcActionLink_IsHintLinked(bool inheritedResult, TBasicAction* action, TControl* control);
void UcActionLink_SetCaption(bool isLinked, TBasicAction* action, TControl* control, const AnsiString& value);
void UcActionLink_SetHint(bool isLinked, TBasicAction* action, TControl* control, const AnsiString& value);

// ---------------------------------------------------------------------------
// Actions.

// The wide Caption and Hint of an action class and its IUcAction mark; the
// wide texts travel in layouts beside the ANSI ones, and Assign copies them
// whole.
template <class TBase>
class TUcActionTexts : public TBase, public IUcAction {
public:
  explicit TUcActionTexts(TComponent* owner) : TBase(owner) {}
  WideString Caption() { return UcAction_GetCaption(this); }
  void SetCaption(const WideString& value) { UcAction_SetCaption(this, value); }
  WideString Hint() { return UcAction_GetHint(this); }
  void SetHint(const WideString& value) { UcAction_SetHint(this, value); }
  bool GetInterface(const GUID& iid, void** obj) override {
    if (IsEqualGUID(iid, IID_IUcAction)) {
      if (obj) *obj = static_cast<IUcAction*>(this);
      return true;
    }
    return TBase::GetInterface(iid, obj);
  }
  void DefineProperties(TFiler* filer) override {
    TBase::DefineProperties(filer);
    UcPersistent_AfterInherited_DefineProperties(filer, this);
  }
  void Assign(TPersistent* source) override {
    TBase::Assign(source);
    UcAction_AfterInherited_Assign(this, source);
  }
};

class TUcCustomAction : public TUcActionTexts<TCustomAction> {
  CL_CLASS(TUcCustomAction, TCustomAction)
public:
  using TUcActionTexts<TCustomAction>::TUcActionTexts;
};

class TUcAction : public TUcActionTexts<TAction> {
  CL_CLASS(TUcAction, TAction)
public:
  using TUcActionTexts<TAction>::TUcActionTexts;
};

// At run time an action list like the class library's. While it is being
// designed, a plain action added to it starts the check timer, whose
// CheckActions hands the list to the design environment's upgrade hook.
class TUcActionList;
using TUpgradeActionListItemsProc = void (*)(TUcActionList* actionList);
extern TUpgradeActionListItemsProc UpgradeActionListItemsProc;

class TUcActionList : public TActionList {
  CL_CLASS(TUcActionList, TActionList)
public:
  // A list made by a designed owner is designed too: it gets the check timer
  // (disabled, 50 ms) and a TActionListList for its actions.
  explicit TUcActionList(TComponent* owner);
  // Only while designing, with an upgrade hook; EUcInternalError otherwise.
  void CheckActions();
  // Null at run time.
  TTimer* CheckTimer() const { return FCheckTimer; }

private:
  void CheckTimerFired(TObject* sender);
  TTimer* FCheckTimer = nullptr;
};

// The list that holds a designed TUcActionList's actions: adding a plain
// (not wide) action restarts the list's check timer.
class TActionListList : public TList {
  CL_CLASS(TActionListList, TList)
public:
  explicit TActionListList(TUcActionList* actionList) : FActionList(actionList) {}
  TUcActionList* ActionList() const { return FActionList; }

protected:
  void Notify(void* ptr, TListNotification action) override;

private:
  TUcActionList* FActionList;
};

// ---------------------------------------------------------------------------
// Links. Each derives from the class library's link of the same name.

class TUcMenuActionLink : public TMenuActionLink {
  CL_CLASS(TUcMenuActionLink, TMenuActionLink)
public:
  using TMenuActionLink::TMenuActionLink;
  // The menu rule: hot-key markers and case do not count for the caption.
  bool IsCaptionLinked() override;
  bool IsHintLinked() override;
  void SetCaption(const AnsiString& value) override;
  void SetHint(const AnsiString& value) override;
};

#define UC_CONTROL_ACTION_LINK(TUcLink, TBaseLink)                                        \
  class TUcLink : public TBaseLink {                                                      \
    CL_CLASS(TUcLink, TBaseLink)                                                          \
  public:                                                                                 \
    using TBaseLink::TBaseLink;                                                           \
    bool IsCaptionLinked() override {                                                     \
      return UcActionLink_IsCaptionLinked(TBaseLink::IsCaptionLinked(), FAction, FClient); \
    }                                                                                     \
    bool IsHintLinked() override {                                                        \
      return UcActionLink_IsHintLinked(TBaseLink::IsHintLinked(), FAction, FClient);       \
    }                                                                                     \
    void SetCaption(const AnsiString& value) override {                                   \
      UcActionLink_SetCaption(IsCaptionLinked(), FAction, FClient, value);                \
    }                                                                                     \
    void SetHint(const AnsiString& value) override {                                      \
      UcActionLink_SetHint(IsHintLinked(), FAction, FClient, value);                      \
    }                                                                                     \
  };

UC_CONTROL_ACTION_LINK(TUcControlActionLink, TControlActionLink)
UC_CONTROL_ACTION_LINK(TUcWinControlActionLink, TWinControlActionLink)
UC_CONTROL_ACTION_LINK(TUcButtonActionLink, TButtonActionLink)
UC_CONTROL_ACTION_LINK(TUcSpeedButtonActionLink, TSpeedButtonActionLink)
UC_CONTROL_ACTION_LINK(TUcListViewActionLink, TListViewActionLink)
UC_CONTROL_ACTION_LINK(TUcToolButtonActionLink, TToolButtonActionLink)
UC_CONTROL_ACTION_LINK(TUcComboBoxExActionLink, TComboBoxExActionLink)

void UnitInit_UcActnList();
void UnitFini_UcActnList();
