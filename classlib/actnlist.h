// Actions: commands shared by menu items and controls, kept in action lists,
// and the links through which an action pushes its caption, hint, state and
// click handler into the components that use it.
#pragma once

#include "classes.h"

#include <vector>

class TBasicAction;
class TContainedAction;
class TCustomAction;
class TCustomActionList;
class TCustomImageList;

// A shortcut: the virtual key in the low byte, scShift/scCtrl/scAlt above it.
using TShortCut = uint16_t;

// ---------------------------------------------------------------------------
// Links. A client (control, menu item) owns one link; the link is registered
// with its action, which calls the link's setters before it stores a change.

class TBasicActionLink : public TObject {
  CL_CLASS(TBasicActionLink, TObject)
public:
  explicit TBasicActionLink(TObject* client);
  ~TBasicActionLink() override;
  TBasicActionLink(const TBasicActionLink&) = delete;
  TBasicActionLink& operator=(const TBasicActionLink&) = delete;

  TBasicAction* Action() const { return FAction; }
  virtual void SetAction(TBasicAction* value);
  // Runs the action with component as its ActionComponent; false when nothing ran.
  virtual bool Execute(TComponent* component = nullptr);
  virtual bool Update();
  virtual bool IsOnExecuteLinked() { return true; }
  virtual void SetOnExecute(TNotifyEvent value) { (void)value; }

  // Told by the action's Change (Sender = the action).
  TNotifyEvent OnChange;

protected:
  friend class TBasicAction;
  virtual void AssignClient(TObject* client) { (void)client; }
  virtual void Change();
  TBasicAction* FAction = nullptr;
};

// The link to a TCustomAction: one question and one setter per linked value.
// A value is linked while the action is a TCustomAction (and, in the client
// links, while the client still shows the action's value).
class TActionLink : public TBasicActionLink {
  CL_CLASS(TActionLink, TBasicActionLink)
public:
  using TBasicActionLink::TBasicActionLink;

  virtual bool IsCaptionLinked();
  virtual bool IsCheckedLinked();
  virtual bool IsEnabledLinked();
  virtual bool IsHelpContextLinked();
  virtual bool IsHintLinked();
  virtual bool IsImageIndexLinked();
  virtual bool IsShortCutLinked();
  virtual bool IsVisibleLinked();
  virtual void SetCaption(const AnsiString& value) { (void)value; }
  virtual void SetChecked(bool value) { (void)value; }
  virtual void SetEnabled(bool value) { (void)value; }
  virtual void SetHelpContext(int value) { (void)value; }
  virtual void SetHint(const AnsiString& value) { (void)value; }
  virtual void SetImageIndex(int value) { (void)value; }
  virtual void SetShortCut(TShortCut value) { (void)value; }
  virtual void SetVisible(bool value) { (void)value; }
  // The hint a control of the action shows: the action's OnHint may change
  // or refuse it; with the application's HintShortCuts the action's shortcut
  // follows in parentheses ("Open (Ctrl+O)"). False: no hint.
  virtual bool DoShowHint(AnsiString& hintStr);

protected:
  TCustomAction* CustomAction() const;
};

// Link classes are named by their class record (a control's GetActionLinkClass);
// each class that can be named registers its factory at its unit's start.
using TActionLinkFactory = TBasicActionLink* (*)(TObject* client);
template <class T> TBasicActionLink* NewActionLink(TObject* client) { return new T(client); }
void RegisterActionLinkClass(const TMetaClass* cls, TActionLinkFactory factory);
// A new link of the class for client; EInvalidOperation when the class was not registered.
TBasicActionLink* CreateActionLink(const TMetaClass* cls, TObject* client);

// "&File" and "file" name the same command: hot-key markers and case do not count.
bool AnsiSameCaption(const AnsiString& a, const AnsiString& b);

// ---------------------------------------------------------------------------
// Actions.

class TBasicAction : public TComponent {
  CL_CLASS(TBasicAction, TComponent)
public:
  explicit TBasicAction(TComponent* owner);
  ~TBasicAction() override;

  virtual bool HandlesTarget(TObject* target) { (void)target; return false; }
  virtual void UpdateTarget(TObject* target) { (void)target; }
  virtual void ExecuteTarget(TObject* target) { (void)target; }
  // Calls OnExecute (Sender = the action); false when there is none.
  virtual bool Execute();
  // Calls OnUpdate; false when there is none.
  virtual bool Update();

  // The component whose link runs the action, while it runs.
  TComponent* ActionComponent() const { return FActionComponent; }
  void SetActionComponent(TComponent* value);

  void RegisterChanges(TBasicActionLink* link);
  void UnRegisterChanges(TBasicActionLink* link);
  int ClientCount() const { return static_cast<int>(FClients.size()); }
  TBasicActionLink* Clients(int index) const { return FClients[index]; }

  TNotifyEvent OnExecute;
  TNotifyEvent OnUpdate;
  TNotifyEvent OnChange;

  // OnExecute as a property, so that links see a change of the handler.
  void SetOnExecute(TNotifyEvent value);
  TNotifyEvent GetOnExecute() const { return OnExecute; }

protected:
  virtual void Change();
  void Notification(TComponent* component, TOperation operation) override;
  std::vector<TBasicActionLink*> FClients;
  unsigned FUpdatePass = 0;  // the idle pass whose answer FUpdateResult holds
  bool FUpdateResult = false;

private:
  TComponent* FActionComponent = nullptr;
};

// During one idle pass of the forms an action answers Update only once; the
// second caller gets the first answer (so OnUpdate runs once per pass).
void BeginActionUpdatePass();
void EndActionUpdatePass();

class TContainedAction : public TBasicAction {
  CL_CLASS(TContainedAction, TBasicAction)
public:
  explicit TContainedAction(TComponent* owner) : TBasicAction(owner) {}
  ~TContainedAction() override;

  TCustomActionList* ActionList() const { return FActionList; }
  void SetActionList(TCustomActionList* value);
  const AnsiString& Category() const { return FCategory; }
  void SetCategory(const AnsiString& value);
  // Position in the action list; -1 outside a list.
  int Index() const;
  void SetIndex(int value);

  // The list's OnExecute/OnUpdate first, then the action's own handler, then
  // the application window (CM_ACTIONEXECUTE / CM_ACTIONUPDATE) where hooks
  // and the forms' components can take it.
  bool Execute() override;
  bool Update() override;

  bool HasParent() override { return FActionList != nullptr; }
  TComponent* GetParentComponent() override;
  void SetParentComponent(TComponent* value) override;

private:
  friend class TCustomActionList;
  TCustomActionList* FActionList = nullptr;
  AnsiString FCategory;
};

class TCustomAction : public TContainedAction {
  CL_CLASS(TCustomAction, TContainedAction)
public:
  explicit TCustomAction(TComponent* owner);

  // Each setter first tells every link (the link compares its client with the
  // old value), then stores the value, then calls Change.
  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& value);
  bool Checked() const { return FChecked; }
  void SetChecked(bool value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int value);
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int value);
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  // An action that nobody updates and that has no OnExecute is disabled by
  // its update (it could not run anyway).
  bool DisableIfNoHandler() const { return FDisableIfNoHandler; }
  void SetDisableIfNoHandler(bool value) { FDisableIfNoHandler = value; }
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int value) { FGroupIndex = value; }
  bool AutoCheck() const { return FAutoCheck; }
  void SetAutoCheck(bool value) { FAutoCheck = value; }

  // OnHint: true (the default) lets the hint show.
  virtual bool DoHint(AnsiString& hintStr);
  TEvent<void(AnsiString& hintStr, bool& canShow)> OnHint;

  // Updates first; a disabled action does not run.
  bool Execute() override;
  bool Update() override;
  void Assign(TPersistent* source) override;

private:
  template <class F> void ForEachLink(F f);
  AnsiString FCaption;
  AnsiString FHint;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  bool FDisableIfNoHandler = true;
  bool FAutoCheck = false;
  int FHelpContext = 0;
  int FImageIndex = -1;
  int FGroupIndex = 0;
  TShortCut FShortCut = 0;
};

class TAction : public TCustomAction {
  CL_CLASS(TAction, TCustomAction)
public:
  explicit TAction(TComponent* owner) : TCustomAction(owner) {}
};

// The application's hint, made into an action when the application has no
// OnHint handler, so that whoever listens on the application window (status
// bars, the Unicode layer's application hook) learns of it.
class THintAction : public TCustomAction {
  CL_CLASS(THintAction, TCustomAction)
public:
  explicit THintAction(TComponent* owner);
};

// The link of a client that shows the action's caption, enabled state, help
// context, hint and visibility and runs its OnExecute as OnClick (controls,
// menu items): each value stays linked while the client still shows the
// action's value, so a client changed by hand keeps its own.
template <class TClient>
class TClientActionLink : public TActionLink {
public:
  explicit TClientActionLink(TObject* client) : TActionLink(client) { AssignClient(client); }
  TClient* Client() const { return FClient; }

  bool IsCaptionLinked() override { return TActionLink::IsCaptionLinked() && FClient->Caption() == CustomAction()->Caption(); }
  bool IsEnabledLinked() override { return TActionLink::IsEnabledLinked() && FClient->Enabled() == CustomAction()->Enabled(); }
  bool IsHelpContextLinked() override {
    return TActionLink::IsHelpContextLinked() && FClient->HelpContext() == CustomAction()->HelpContext();
  }
  bool IsHintLinked() override { return TActionLink::IsHintLinked() && FClient->Hint() == CustomAction()->Hint(); }
  bool IsVisibleLinked() override { return TActionLink::IsVisibleLinked() && FClient->Visible() == CustomAction()->Visible(); }
  bool IsOnExecuteLinked() override {
    return TActionLink::IsOnExecuteLinked() && FAction && FClient->OnClick == FAction->OnExecute;
  }
  void SetCaption(const AnsiString& value) override {
    if (IsCaptionLinked()) FClient->SetCaption(value);
  }
  void SetEnabled(bool value) override {
    if (IsEnabledLinked()) FClient->SetEnabled(value);
  }
  void SetHelpContext(int value) override {
    if (IsHelpContextLinked()) FClient->SetHelpContext(value);
  }
  void SetHint(const AnsiString& value) override {
    if (IsHintLinked()) FClient->SetHint(value);
  }
  void SetVisible(bool value) override {
    if (IsVisibleLinked()) FClient->SetVisible(value);
  }
  void SetOnExecute(TNotifyEvent value) override {
    if (IsOnExecuteLinked()) FClient->OnClick = value;
  }

protected:
  void AssignClient(TObject* client) override { FClient = client ? client->As<TClient>() : nullptr; }
  TClient* FClient = nullptr;
};

// ---------------------------------------------------------------------------
// Action lists.

using TActionEvent = TEvent<void(TBasicAction* action, bool& handled)>;

class TCustomActionList : public TComponent {
  CL_CLASS(TCustomActionList, TComponent)
public:
  explicit TCustomActionList(TComponent* owner);
  ~TCustomActionList() override;

  int ActionCount() const { return FActions->Count(); }
  // The list that holds the actions, in order.
  TList* ActionsList() const { return FActions; }
  TContainedAction* Actions(int index) const;
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* value);

  // OnExecute / OnUpdate of the list; true when the handler said handled.
  virtual bool ExecuteAction(TBasicAction* action);
  virtual bool UpdateAction(TBasicAction* action);
  // The first action with the key's shortcut: updated, then run when enabled.
  // True when one had the shortcut.
  virtual bool IsShortCut(TShortCut shortCut);

  TActionEvent OnExecute;
  TActionEvent OnUpdate;
  TNotifyEvent OnChange;

protected:
  friend class TContainedAction;
  virtual void AddAction(TContainedAction* action);
  virtual void RemoveAction(TContainedAction* action);
  virtual void Change();
  void Notification(TComponent* component, TOperation operation) override;
  // Puts list (empty, made with new) in place of the list that holds the
  // actions: the actions move over in order and the old list is deleted.
  // A derived list watches additions through the list's Notify.
  void ReplaceActionsList(TList* list);

private:
  TList* FActions;
  TCustomImageList* FImages = nullptr;
};

class TActionList : public TCustomActionList {
  CL_CLASS(TActionList, TCustomActionList)
public:
  explicit TActionList(TComponent* owner) : TCustomActionList(owner) {}
};

void UnitInit_actnlist();
void UnitFini_actnlist();
