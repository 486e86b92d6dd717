// Wide actions and their links: wide captions and hints pushed into linked
// menu items and controls, the menu and control rules, the notification
// order, and the copies between actions.
#include "ControlsTestUtil.h"

#include "UcMenus.h"
#include "UcStdActns.h"
#include "buttons.h"

#include <gtest/gtest.h>

namespace {

using UcActions = UcGuiTest;

struct TLinked {
  TUcAction* Action;
  TUcMenuItem* Item;
  TTestUcEdit* Edit;
  TTestUcLabel* Label;
};

TLinked MakeLinked(TForm* form, const wchar_t* caption) {
  TLinked l;
  l.Action = new TUcAction(form);
  l.Action->SetCaption(caption);
  l.Action->SetHint(L"\u65E5|\u672C");
  auto* popup = new TUcPopupMenu(form);
  l.Item = new TUcMenuItem(form);
  popup->Items()->Add(l.Item);
  l.Item->SetAction(l.Action);
  l.Edit = new TTestUcEdit(form);
  l.Edit->SetParent(form);
  l.Edit->HandleNeeded();
  l.Edit->SetAction(l.Action);
  l.Label = new TTestUcLabel(form);
  l.Label->SetParent(form);
  l.Label->SetAction(l.Action);
  return l;
}

TCustomAction* ObservedAction = nullptr;
std::vector<std::wstring> SeenOld, SeenNew;
void RecordDuringNotification(TObject*) {
  SeenOld.push_back(UcAction_GetCaption(ObservedAction).str());
  SeenNew.push_back(UcAction_GetNewCaption(ObservedAction, L"default").str());
}

}  // namespace

TEST_F(UcActions, AWideCaptionReachesEveryLinkedClient) {
  TLinked l = MakeLinked(Form, kMixedText);
  EXPECT_EQ(l.Item->GetCaption().str(), kMixedText);
  EXPECT_EQ(l.Edit->Caption().str(), kMixedText);
  EXPECT_EQ(WindowTextW(l.Edit->WindowHandle()), kMixedText);
  EXPECT_EQ(l.Label->Caption().str(), kMixedText);
  EXPECT_EQ(l.Item->GetHint().str(), L"\u65E5|\u672C");
  EXPECT_EQ(l.Edit->Hint().str(), L"\u65E5|\u672C");

  // The new value has the same ANSI form as the old one ("??").
  l.Action->SetCaption(L"\u65E5\u672C");
  l.Action->SetCaption(L"\u4E2D\u6587");
  EXPECT_EQ(l.Action->TCustomAction::Caption(), "??");
  EXPECT_EQ(l.Item->GetCaption().str(), L"\u4E2D\u6587");
  EXPECT_EQ(l.Edit->Caption().str(), L"\u4E2D\u6587");
  EXPECT_EQ(l.Label->Caption().str(), L"\u4E2D\u6587");

  l.Action->SetHint(L"\u0395\u03BB|\u03BB\u03AC");
  EXPECT_EQ(l.Item->GetHint().str(), L"\u0395\u03BB|\u03BB\u03AC");
  EXPECT_EQ(l.Label->Hint().str(), L"\u0395\u03BB|\u03BB\u03AC");
}

TEST_F(UcActions, AnEmptyCaptionClearsTheClientsAndLeavesNothingStale) {
  TLinked l = MakeLinked(Form, kCjkText);
  l.Action->SetCaption(L"");
  EXPECT_EQ(l.Item->GetCaption().str(), L"");
  EXPECT_EQ(l.Edit->Caption().str(), L"");
  EXPECT_EQ(l.Label->Caption().str(), L"");
  EXPECT_EQ(UcAction_GetCaption(l.Action).str(), L"");
  l.Action->SetCaption(kCjkText);
  EXPECT_EQ(l.Edit->Caption().str(), kCjkText);
  EXPECT_EQ(l.Label->Caption().str(), kCjkText);
}

TEST_F(UcActions, DuringTheNotificationTheOldAndTheNewCaptionAreKnown) {
  TLinked l = MakeLinked(Form, kCyrillicText);
  ObservedAction = l.Action;
  SeenOld.clear();
  SeenNew.clear();
  l.Edit->OnTextChanged = TNotifyEvent::Free(&RecordDuringNotification);
  l.Action->SetCaption(kMixedText);
  l.Edit->OnTextChanged.Clear();
  ASSERT_FALSE(SeenOld.empty());
  EXPECT_EQ(SeenOld[0], kCyrillicText);
  EXPECT_EQ(SeenNew[0], kMixedText);
  // Outside the notification the new-caption query gives the default.
  EXPECT_EQ(UcAction_GetNewCaption(l.Action, L"default").str(), L"default");
  EXPECT_EQ(UcAction_GetCaption(l.Action).str(), kMixedText);
}

TEST_F(UcActions, MenuRuleIgnoresMarkersAndCaseControlRuleIsExact) {
  TLinked l = MakeLinked(Form, L"\u65E5\u672C");
  l.Item->SetCaption(L"&\u65E5\u672C");
  l.Edit->SetCaption(L"\u4E2D\u6587");  // same ANSI form, other wide text
  l.Action->SetCaption(L"next");
  EXPECT_EQ(l.Item->GetCaption().str(), L"next");
  EXPECT_EQ(l.Edit->Caption().str(), L"\u4E2D\u6587");
  EXPECT_EQ(l.Label->Caption().str(), L"next");
}

TEST_F(UcActions, DefaultsAreTakenWhereTheControlHasNone) {
  auto* action = new TUcAction(Form);
  action->SetCaption(kMixedText);
  action->SetHint(kCjkText);
  auto* edit = new TTestUcEdit(Form);
  edit->SetParent(Form);
  edit->SetName("edName");
  edit->SetCaption(L"edName");
  edit->CallActionChange(action, true);
  EXPECT_EQ(edit->Caption().str(), kMixedText);  // the caption was the component name
  EXPECT_EQ(edit->Hint().str(), kCjkText);
  edit->SetCaption(L"own");
  edit->SetHint(L"own hint");
  edit->CallActionChange(action, true);
  EXPECT_EQ(edit->Caption().str(), L"own");
  EXPECT_EQ(edit->Hint().str(), L"own hint");
  edit->CallActionChange(action, false);
  EXPECT_EQ(edit->Caption().str(), kMixedText);
  EXPECT_EQ(edit->Hint().str(), kCjkText);
}

TEST_F(UcActions, APlainActionGivesItsAnsiCaptionWidened) {
  auto* action = new TAction(Form);
  action->SetCaption(WideToAnsi(kCyrillicText));
  auto* edit = new TTestUcEdit(Form);
  edit->SetParent(Form);
  edit->HandleNeeded();
  edit->SetAction(action);
  EXPECT_EQ(edit->Caption().str(), kCyrillicText);
  EXPECT_FALSE(IsWideAction(action));
  EXPECT_EQ(UcAction_GetCaption(action).str(), kCyrillicText);
  UcAction_SetCaption(action, kMixedText);
  EXPECT_EQ(action->Caption(), WideToAnsi(kMixedText));
  EXPECT_EQ(action->ComponentCount(), 0);  // no helper for a plain action
}

TEST_F(UcActions, AssignCopiesTheWideTexts) {
  auto* a = new TUcAction(Form);
  a->SetCaption(kMixedText);
  a->SetHint(kCjkText);
  a->SetShortCut(0x4053);
  auto* b = new TUcAction(Form);
  b->Assign(a);
  EXPECT_EQ(b->Caption().str(), kMixedText);
  EXPECT_EQ(b->Hint().str(), kCjkText);
  EXPECT_EQ(b->ShortCut(), 0x4053);
  auto* label = new TTestUcLabel(Form);
  label->SetCaption(kCjkText);
  label->SetHint(kCyrillicText);
  UcAction_AfterInherited_Assign(b, label);
  EXPECT_EQ(b->Caption().str(), kCjkText);
  EXPECT_EQ(b->Hint().str(), kCyrillicText);
}

TEST_F(UcActions, TheHelperIsMadeOnceOnFirstUseAndGoesWithTheAction) {
  auto* action = new TUcAction(Form);
  EXPECT_EQ(action->ComponentCount(), 0);
  action->Caption();
  EXPECT_EQ(action->ComponentCount(), 1);
  action->SetHint(L"x");
  EXPECT_EQ(action->ComponentCount(), 1);
  TCustomActionHelper* helper = FindActionHelper(action);
  EXPECT_EQ(helper->Action, action);
  EXPECT_EQ(helper->Owner(), action);
  EXPECT_THROW(FindActionHelper(nullptr), EUcInternalError);
  delete action;
}

TEST_F(UcActions, LinkClassesByKindOfControl) {
  auto* edit = new TTestUcEdit(Form);
  auto* label = new TTestUcLabel(Form);
  auto* button = new TButton(Form);
  auto* speed = new TSpeedButton(Form);
  EXPECT_EQ(edit->LinkClass(), &TUcWinControlActionLink::Class);
  EXPECT_EQ(UcControl_GetActionLinkClass(label, &TControlActionLink::Class), &TUcControlActionLink::Class);
  EXPECT_EQ(UcControl_GetActionLinkClass(button, &TButtonActionLink::Class), &TUcButtonActionLink::Class);
  EXPECT_EQ(UcControl_GetActionLinkClass(speed, &TSpeedButtonActionLink::Class), &TUcSpeedButtonActionLink::Class);
  EXPECT_THROW(UcControl_GetActionLinkClass(speed, &TControlActionLink::Class), EUcInternalError);
  // Every link class can be made by the class library for its client.
  std::pair<const TMetaClass*, TObject*> made[] = {{&TUcControlActionLink::Class, label},
                                                   {&TUcWinControlActionLink::Class, edit},
                                                   {&TUcButtonActionLink::Class, button},
                                                   {&TUcSpeedButtonActionLink::Class, speed}};
  for (auto& [cls, client] : made) {
    TBasicActionLink* link = CreateActionLink(cls, client);
    EXPECT_EQ(link->ClassType(), cls);
    delete link;
  }
}

TEST_F(UcActions, WideActionMarks) {
  auto* action = new TUcAction(Form);
  auto* custom = new TUcCustomAction(Form);
  auto* plain = new TAction(Form);
  auto* hint = new TUcHintAction(Form);
  EXPECT_TRUE(IsWideAction(action));
  EXPECT_TRUE(IsWideAction(custom));
  EXPECT_TRUE(IsWideAction(hint));
  EXPECT_FALSE(IsWideAction(plain));
  EXPECT_FALSE(IsWideAction(nullptr));
  custom->SetCaption(kMixedText);
  EXPECT_EQ(custom->Caption().str(), kMixedText);
  auto* list = new TUcActionList(Form);
  EXPECT_THROW(list->CheckActions(), EUcInternalError);
}

TEST_F(UcActions, AnAnsiChangeOfTheActionIsSeenByTheNextWideRead) {
  auto* action = new TUcAction(Form);
  action->SetCaption(kCjkText);
  action->TCustomAction::SetCaption("plain");
  EXPECT_EQ(action->Caption().str(), L"plain");
}

// ===========================================================================
// The action list while designed and at run time.

namespace {

// An owner in the design state, as a design environment's root would be.
class TDesignedRoot : public TComponent {
public:
  TDesignedRoot() : TComponent(nullptr) { FComponentState |= csDesigning; }
};

// Records what its list is told.
class TRecordingList : public TList {
public:
  std::vector<std::pair<void*, TListNotification>> Told;

protected:
  void Notify(void* ptr, TListNotification action) override {
    TList::Notify(ptr, action);
    Told.emplace_back(ptr, action);
  }
};

class TReplacingActionList : public TActionList {
public:
  using TActionList::TActionList;
  void Replace(TList* list) { ReplaceActionsList(list); }
};

TUcActionList* UpgradedList = nullptr;
int Upgrades = 0;
void RecordUpgrade(TUcActionList* list) {
  UpgradedList = list;
  ++Upgrades;
}

bool TimerFiredOnce() { return Upgrades > 0; }

// Restores the upgrade hook when a test leaves.
struct THookScope {
  explicit THookScope(TUpgradeActionListItemsProc proc) : Old(UpgradeActionListItemsProc) {
    UpgradeActionListItemsProc = proc;
    UpgradedList = nullptr;
    Upgrades = 0;
  }
  ~THookScope() { UpgradeActionListItemsProc = Old; }
  TUpgradeActionListItemsProc Old;
};

}  // namespace

TEST_F(UcActions, ReplacingTheActionsListKeepsOrderAndTellsTheNewList) {
  TReplacingActionList list(nullptr);
  std::vector<TAction*> actions;
  for (int i = 0; i < 3; ++i) {
    actions.push_back(new TAction(Form));
    actions.back()->SetActionList(&list);
  }
  auto* recording = new TRecordingList();
  list.Replace(recording);
  EXPECT_EQ(list.ActionsList(), recording);
  ASSERT_EQ(recording->Told.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(recording->Told[i].first, static_cast<TContainedAction*>(actions[i]));
    EXPECT_EQ(recording->Told[i].second, lnAdded);
    EXPECT_EQ(list.Actions(i), actions[i]);
    EXPECT_EQ(actions[i]->Index(), i);
  }
  actions[2]->SetIndex(0);
  EXPECT_EQ(list.Actions(0), actions[2]);
  delete actions[1];
  EXPECT_EQ(list.ActionCount(), 2);
  EXPECT_EQ(recording->Told.back().second, lnDeleted);
  list.Replace(nullptr);
  EXPECT_EQ(list.ActionsList(), recording) << "no list is no replacement";
}

TEST_F(UcActions, AtRunTimeTheListHasNoCheckTimer) {
  THookScope hook(&RecordUpgrade);
  auto* list = new TUcActionList(Form);
  EXPECT_FALSE(list->ComponentState() & csDesigning);
  EXPECT_EQ(list->CheckTimer(), nullptr);
  EXPECT_EQ(list->ActionsList()->ClassType(), &TList::Class);
  auto* plain = new TAction(Form);
  plain->SetActionList(list);
  EXPECT_EQ(list->ActionCount(), 1);
  EXPECT_EQ(list->ComponentCount(), 0) << "nothing made on the side";
  EXPECT_THROW(list->CheckActions(), EUcInternalError);
  EXPECT_EQ(Upgrades, 0);
}

TEST_F(UcActions, WhileDesignedAPlainActionRestartsTheCheckTimer) {
  THookScope hook(&RecordUpgrade);
  TDesignedRoot root;
  auto* list = new TUcActionList(&root);
  EXPECT_TRUE(list->ComponentState() & csDesigning);
  TTimer* timer = list->CheckTimer();
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->Owner(), list);
  EXPECT_FALSE(timer->Enabled());
  EXPECT_EQ(timer->Interval(), 50u);
  ASSERT_TRUE(list->ActionsList()->Is<TActionListList>());
  EXPECT_EQ(static_cast<TActionListList*>(list->ActionsList())->ActionList(), list);

  // A wide action needs no upgrade.
  auto* wide = new TUcAction(&root);
  wide->SetActionList(list);
  EXPECT_FALSE(timer->Enabled());
  auto* hint = new TUcHintAction(&root);
  hint->SetActionList(list);
  EXPECT_FALSE(timer->Enabled());

  auto* plain = new TAction(&root);
  plain->SetActionList(list);
  EXPECT_TRUE(timer->Enabled());
  EXPECT_EQ(list->ActionCount(), 3);
  // The timer's call stops it and hands the list to the hook.
  EXPECT_TRUE(WaitFor(&TimerFiredOnce, "the check timer fired"));
  EXPECT_EQ(UpgradedList, list);
  EXPECT_FALSE(timer->Enabled());
  Pump(120);
  EXPECT_EQ(Upgrades, 1) << "once per restart";
}

TEST_F(UcActions, CheckActionsWithoutAHookFailsInsideTheTimerWithoutEscaping) {
  THookScope hook(nullptr);
  TDesignedRoot root;
  auto* list = new TUcActionList(&root);
  auto* plain = new TAction(&root);
  plain->SetActionList(list);
  ASSERT_TRUE(list->CheckTimer()->Enabled());
  std::vector<std::string> seen;
  ASSERT_TRUE(WaitFor(
      [&] {
        for (std::string& m : TakeExceptions()) seen.push_back(m);
        return !seen.empty();
      },
      "the timer's failure reached the application"));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_NE(seen[0].find("UC Internal Error"), std::string::npos);
  EXPECT_FALSE(list->CheckTimer()->Enabled()) << "stopped before it failed: one report, not one per tick";
}
