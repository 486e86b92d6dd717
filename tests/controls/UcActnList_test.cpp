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
