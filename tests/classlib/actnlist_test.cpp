// Actions, action lists and the links that carry an action's values into
// controls; idle updates and the application's hint action.
#include "actnlist.h"

#include "forms.h"
#include "guitest.h"
#include "menus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Calls;

struct TActionHandlers : TObject {
  bool ListHandles = false;
  void Execute(TObject* sender) { Calls.push_back("execute:" + static_cast<TComponent*>(sender)->Name().str()); }
  void Update(TObject* sender) { Calls.push_back("update:" + static_cast<TComponent*>(sender)->Name().str()); }
  void ListExecute(TBasicAction* action, bool& handled) {
    Calls.push_back("list:" + action->Name().str());
    handled = ListHandles;
  }
  void Click(TObject* sender) { Calls.push_back("click:" + static_cast<TComponent*>(sender)->Name().str()); }
};

class TLinkedControl : public TCustomControl {
  CL_CLASS(TLinkedControl, TCustomControl)
public:
  explicit TLinkedControl(TComponent* owner) : TCustomControl(owner) { SetBounds(0, 0, 50, 20); }
};
CL_DEFINE_COMPONENT(TLinkedControl, TCustomControl)

class ActionsTest : public GuiTest {
protected:
  void SetUp() override {
    GuiTest::SetUp();
    Calls.clear();
    form = NewForm<TForm>(nullptr);
    list = new TActionList(form);
    list->SetName("ActionList1");
    action = new TAction(form);
    action->SetName("openAction");
    action->SetActionList(list);
    action->SetCaption("Open");
    action->SetHint("Open a list");
    action->OnExecute = MakeEvent<&TActionHandlers::Execute>(&h);
  }
  void TearDown() override {
    delete form;
    GuiTest::TearDown();
  }
  TForm* form = nullptr;
  TActionList* list = nullptr;
  TAction* action = nullptr;
  TActionHandlers h;
};

TEST_F(ActionsTest, ExecuteAsksTheListFirstThenRunsOnExecuteWithTheActionAsSender) {
  list->OnExecute = MakeEvent<&TActionHandlers::ListExecute>(&h);
  EXPECT_TRUE(action->Execute());
  EXPECT_EQ(Calls, (std::vector<std::string>{"list:openAction", "execute:openAction"}));
  Calls.clear();
  h.ListHandles = true;
  EXPECT_TRUE(action->Execute());
  EXPECT_EQ(Calls, (std::vector<std::string>{"list:openAction"}));
  Calls.clear();
  action->SetEnabled(false);
  action->OnUpdate = MakeEvent<&TActionHandlers::Update>(&h);
  EXPECT_FALSE(action->Execute());
  EXPECT_EQ(Calls, (std::vector<std::string>{"update:openAction"})) << "updated, then refused while disabled";
}

TEST_F(ActionsTest, AnActionNobodyCanRunIsDisabledByItsUpdate) {
  auto* idle = new TAction(form);
  idle->SetName("idle");
  idle->SetActionList(list);
  EXPECT_TRUE(idle->Enabled());
  EXPECT_FALSE(idle->Update());
  EXPECT_FALSE(idle->Enabled());
  // One with a handler stays as the program set it.
  action->SetEnabled(false);
  action->Update();
  EXPECT_FALSE(action->Enabled());
  action->SetEnabled(true);
  action->Update();
  EXPECT_TRUE(action->Enabled());
}

TEST_F(ActionsTest, ListOrderIndexAndShortCuts) {
  auto* second = new TAction(form);
  second->SetName("saveAction");
  second->SetActionList(list);
  second->SetShortCut(0x4053);  // Ctrl+S
  second->OnExecute = MakeEvent<&TActionHandlers::Execute>(&h);
  EXPECT_EQ(list->ActionCount(), 2);
  EXPECT_EQ(list->Actions(1), second);
  EXPECT_EQ(second->Index(), 1);
  second->SetIndex(0);
  EXPECT_EQ(list->Actions(0), second);
  EXPECT_THROW(list->Actions(5), EListError);
  EXPECT_TRUE(list->IsShortCut(0x4053));
  EXPECT_EQ(Calls, std::vector<std::string>{"execute:saveAction"});
  Calls.clear();
  second->SetEnabled(false);
  second->OnUpdate = MakeEvent<&TActionHandlers::Update>(&h);
  EXPECT_TRUE(list->IsShortCut(0x4053)) << "the key is taken, though nothing runs";
  EXPECT_EQ(Calls, std::vector<std::string>{"update:saveAction"});
  EXPECT_FALSE(list->IsShortCut(0x4054));
  delete second;
  EXPECT_EQ(list->ActionCount(), 1);
  delete list;
  list = nullptr;
  EXPECT_EQ(action->ActionList(), nullptr) << "the list's actions live on without it";
}

TEST_F(ActionsTest, ControlsFollowTheirActionUntilChangedByHand) {
  auto* c = new TLinkedControl(form);
  c->SetName("spbtOpen");
  c->SetParent(form);
  c->SetCaption("spbtOpen");
  c->SetAction(action);
  // The caption equal to the name counts as unset: the action's is taken.
  EXPECT_EQ(c->Caption(), "Open");
  EXPECT_EQ(c->Hint(), "Open a list");
  EXPECT_TRUE(c->OnClick == action->OnExecute);
  EXPECT_TRUE(c->ControlStyle() & csActionClient);
  ASSERT_NE(c->ActionLink(), nullptr);
  EXPECT_EQ(c->ActionLink()->ClassType(), &TWinControlActionLink::Class);
  action->SetCaption("Open...");
  action->SetHint("Open list file");
  action->SetEnabled(false);
  action->SetVisible(false);
  EXPECT_EQ(c->Caption(), "Open...");
  EXPECT_EQ(c->Hint(), "Open list file");
  EXPECT_FALSE(c->Enabled());
  EXPECT_FALSE(c->Visible());
  c->SetCaption("Mine");
  action->SetCaption("Other");
  EXPECT_EQ(c->Caption(), "Mine") << "a caption changed by hand is kept";
  action->SetEnabled(true);
  EXPECT_TRUE(c->Enabled());
  // Click runs the action (sender: the action), with the control as its component.
  struct TSeen : TObject {
    TComponent* Component = nullptr;
    TAction* Action;
    void Execute(TObject*) { Component = Action->ActionComponent(); }
  } seen;
  seen.Action = action;
  action->OnExecute = MakeEvent<&TSeen::Execute>(&seen);
  c->OnClick = action->OnExecute;
  c->Click();
  EXPECT_EQ(seen.Component, c);
  EXPECT_EQ(action->ActionComponent(), nullptr);
  // An own OnClick that differs from the action's runs instead.
  c->OnClick = MakeEvent<&TActionHandlers::Click>(&h);
  c->Click();
  EXPECT_EQ(Calls, std::vector<std::string>{"click:spbtOpen"});
  c->SetAction(nullptr);
  EXPECT_EQ(c->ActionLink(), nullptr);
  EXPECT_EQ(action->ClientCount(), 0);
  c->SetAction(action);
  EXPECT_EQ(action->ClientCount(), 1);
  delete action;
  action = nullptr;
  EXPECT_EQ(c->Action(), nullptr) << "the control forgets a deleted action";
  c->Click();
}

TEST_F(ActionsTest, IdleUpdatesRunOncePerPassForVisibleForms) {
  auto* c = new TLinkedControl(form);
  c->SetParent(form);
  c->SetAction(action);
  action->OnUpdate = MakeEvent<&TActionHandlers::Update>(&h);
  Pump(0);
  Calls.clear();
  Application->DoIdle();
  EXPECT_TRUE(Calls.empty()) << "a hidden form is not updated";
  form->Show();
  Pump(10);
  Calls.clear();
  Application->DoIdle();
  EXPECT_EQ(Calls, std::vector<std::string>{"update:openAction"}) << "control and list ask, the action runs once";
  form->Hide();
}

TEST_F(ActionsTest, CheckedActionsOfAGroupExcludeEachOther) {
  auto* a = new TAction(form);
  auto* b = new TAction(form);
  for (TAction* x : {a, b}) {
    x->SetActionList(list);
    x->SetGroupIndex(3);
  }
  a->SetChecked(true);
  b->SetChecked(true);
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(b->Checked());
  auto* copy = new TAction(form);
  copy->Assign(action);
  EXPECT_EQ(copy->Caption(), "Open");
  EXPECT_EQ(copy->Hint(), "Open a list");
  EXPECT_THROW(copy->Assign(form), EConvertError);
}

TEST_F(ActionsTest, ApplicationHintTravelsAsAHintActionThroughTheApplicationWindow) {
  struct THookHint : TObject {
    AnsiString Seen;
    int Count = 0;
    bool Hook(TMessage& m) {
      if (m.Msg == CM_ACTIONEXECUTE) {
        auto* a = reinterpret_cast<TBasicAction*>(m.LParam);
        if (a->ClassType() == &THintAction::Class) {
          ++Count;
          Seen = static_cast<THintAction*>(a)->Hint();
          m.Result = 1;
          return true;
        }
      }
      return false;
    }
  } hook;
  Application->OnHint.Clear();
  Application->HookMainWindow(MakeEvent<&THookHint::Hook>(&hook));
  Application->SetHint("\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC");  // "Сохранить"
  EXPECT_EQ(hook.Count, 1);
  EXPECT_EQ(hook.Seen, "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC");
  Application->SetHint("\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC");
  EXPECT_EQ(hook.Count, 1) << "only a change is told";
  Application->UnhookMainWindow(MakeEvent<&THookHint::Hook>(&hook));
  Application->SetHint("");
  EXPECT_EQ(hook.Count, 1);
}

TEST_F(ActionsTest, HintOfAControlNamesTheActionsShortcutAndCanBeRefused) {
  auto* c = new TLinkedControl(form);
  c->SetParent(form);
  action->SetShortCut(0x404F);  // Ctrl+O
  c->SetAction(action);
  THintInfo info;
  info.HintStr = "Open a list";
  EXPECT_EQ(c->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)), 0);
  EXPECT_EQ(info.HintStr, "Open a list (" + ShortCutToText(0x404F) + ")");
  Application->SetHintShortCuts(false);
  info.HintStr = "Open a list";
  c->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.HintStr, "Open a list");
  Application->SetHintShortCuts(true);
  struct TRefuse : TObject {
    void OnHint(AnsiString& text, bool& canShow) {
      text = "changed";
      canShow = false;
    }
  } refuse;
  action->OnHint = MakeEvent<&TRefuse::OnHint>(&refuse);
  info.HintStr = "Open a list";
  EXPECT_EQ(c->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)), 1);
  EXPECT_EQ(info.HintStr, "changed");
}

TEST_F(ActionsTest, LinkClassesAreCreatedByTheirClassRecord) {
  auto* c = new TLinkedControl(form);
  TBasicActionLink* link = CreateActionLink(&TControlActionLink::Class, c);
  EXPECT_EQ(link->ClassType(), &TControlActionLink::Class);
  EXPECT_EQ(static_cast<TControlActionLink*>(link)->Client(), c);
  delete link;
  EXPECT_THROW(CreateActionLink(&TActionLink::Class, c), EInvalidOperation);
  EXPECT_THROW(CreateActionLink(&TControlActionLink::Class, list), EInvalidCast)
      << "a client that is not a control is refused";
}

}  // namespace
