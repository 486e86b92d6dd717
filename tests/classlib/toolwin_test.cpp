// The tool bar and its buttons on the native bar: order, captions, states,
// radio groups, actions and menus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actnlist.h"
#include "forms.h"
#include "guitest.h"
#include "harness.h"
#include "toolwin.h"

namespace {

class ToolBarTest : public SharedFormTest<ToolBarTest> {
protected:
  static void SetUpTestSuite() { SetUpSharedForm(60, 60, 420, 200); }
  void SetUp() override {
    SharedFormTest::SetUp();
    Bar = Place<TToolBar>(0, 0, 420, 40);
    Bar->SetShowCaptions(true);
  }
  TToolButton* Add(const char* caption, TToolButtonStyle style = tbsButton) {
    auto* b = new TToolButton(Form);
    b->SetCaption(caption);
    b->SetStyle(style);
    b->SetLeft(10000);
    b->SetParent(Bar);
    return b;
  }
  std::string Text(TToolButton* b) {
    char buf[128] = {};
    if (SendMessageA(Bar->Handle(), TB_GETBUTTONTEXTA, b->CommandId(), reinterpret_cast<LPARAM>(buf)) < 0)
      return "<none>";
    return buf;
  }
  bool NativeChecked(TToolButton* b) { return SendMessageA(Bar->Handle(), TB_ISBUTTONCHECKED, b->CommandId(), 0) != 0; }
  TToolBar* Bar = nullptr;
};

}  // namespace

TEST_F(ToolBarTest, ButtonsKeepTheirOrderCaptionsAndStatesOnTheNativeBar) {
  TToolButton* a = Add("Alpha");
  TToolButton* sep = Add("", tbsSeparator);
  TToolButton* b = Add("\xC1\xE5\xF2\xE0");  // Cyrillic in code page 1251
  ASSERT_EQ(SendMessageA(Bar->Handle(), TB_BUTTONCOUNT, 0, 0), 3);
  EXPECT_EQ(Text(a), "Alpha");
  EXPECT_EQ(Text(b), "\xC1\xE5\xF2\xE0");
  EXPECT_EQ(b->Index(), 2);
  struct Case {
    const char* what;
    void (*change)(TToolButton*);
    UINT query;
    bool expected;
  } cases[] = {
      {"disabled", [](TToolButton* t) { t->SetEnabled(false); }, TB_ISBUTTONENABLED, false},
      {"enabled", [](TToolButton* t) { t->SetEnabled(true); }, TB_ISBUTTONENABLED, true},
      {"hidden", [](TToolButton* t) { t->SetVisible(false); }, TB_ISBUTTONHIDDEN, true},
      {"shown", [](TToolButton* t) { t->SetVisible(true); }, TB_ISBUTTONHIDDEN, false},
      {"indeterminate", [](TToolButton* t) { t->SetIndeterminate(true); }, TB_ISBUTTONINDETERMINATE, true},
  };
  for (const Case& c : cases) {
    c.change(b);
    EXPECT_EQ(SendMessageA(Bar->Handle(), c.query, b->CommandId(), 0) != 0, c.expected) << c.what;
    EXPECT_EQ(Text(b), "\xC1\xE5\xF2\xE0") << c.what << ": the caption stays";
  }
  // Separators take no mouse.
  EXPECT_EQ(sep->Perform(CM_HITTEST, 0, 0), 0);
  EXPECT_EQ(a->Perform(CM_HITTEST, 0, 0), 1);
  // A new window keeps them all.
  Bar->RecreateWnd();
  EXPECT_EQ(SendMessageA(Bar->Handle(), TB_BUTTONCOUNT, 0, 0), 3);
  EXPECT_EQ(Text(a), "Alpha");
  EXPECT_NE(SendMessageA(Bar->Handle(), TB_ISBUTTONINDETERMINATE, b->CommandId(), 0), 0);
}

TEST_F(ToolBarTest, GroupedCheckButtonsReleaseEachOther) {
  TToolButton* x = Add("x", tbsCheck);
  TToolButton* y = Add("y", tbsCheck);
  TToolButton* z = Add("z", tbsCheck);
  TToolButton* loose = Add("loose", tbsCheck);
  for (TToolButton* t : {x, y, z}) t->SetGrouped(true);
  loose->SetDown(true);
  struct Step {
    TToolButton* pressed;
    bool x, y, z;
  } steps[] = {{x, true, false, false}, {z, false, false, true}, {y, false, true, false}};
  for (const Step& s : steps) {
    s.pressed->SetDown(true);
    EXPECT_EQ(x->Down(), s.x);
    EXPECT_EQ(y->Down(), s.y);
    EXPECT_EQ(z->Down(), s.z);
    EXPECT_EQ(NativeChecked(x), s.x);
    EXPECT_EQ(NativeChecked(z), s.z);
    EXPECT_TRUE(loose->Down()) << "outside the group";
  }
}

TEST_F(ToolBarTest, ActionGivesCaptionCheckedStateAndImage) {
  auto* list = new TActionList(Form);
  auto* action = new TAction(Form);
  action->SetActionList(list);
  action->SetCaption("Run");
  action->SetImageIndex(3);
  TToolButton* b = Add("", tbsCheck);
  b->SetAction(action);
  EXPECT_EQ(b->ActionLink()->ClassType(), &TToolButtonActionLink::Class);
  EXPECT_EQ(Text(b), "Run");
  EXPECT_EQ(b->ImageIndex(), 3);
  action->SetChecked(true);
  EXPECT_TRUE(b->Down());
  EXPECT_TRUE(NativeChecked(b));
  action->SetImageIndex(5);
  EXPECT_EQ(b->ImageIndex(), 5);
  // A button changed by hand keeps its own value.
  b->SetImageIndex(1);
  action->SetImageIndex(7);
  EXPECT_EQ(b->ImageIndex(), 1);
}

TEST_F(ToolBarTest, MenuItemsBecomeButtonsThatRunThem) {
  auto* menu = new TMainMenu(Form);
  std::vector<std::string> clicked;
  struct TRec {
    std::vector<std::string>* Log;
    void Click(TObject* s) { Log->push_back(static_cast<TMenuItem*>(s)->Caption().c_str()); }
  } rec{&clicked};
  for (const char* c : {"One", "Two", "Three"}) {
    auto* item = new TMenuItem(Form);
    item->SetCaption(c);
    item->OnClick = MakeEvent<&TRec::Click>(&rec);
    menu->Items()->Add(item);
  }
  menu->Items()->Items(1)->SetEnabled(false);
  Add("old one");
  Add("old two");
  Bar->SetMenu(menu);
  ASSERT_EQ(Bar->ButtonCount(), 3);
  const char* expected[] = {"One", "Two", "Three"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Text(Bar->Buttons(i)), expected[i]);
    EXPECT_EQ(Bar->Buttons(i)->MenuItem(), menu->Items()->Items(i));
  }
  EXPECT_FALSE(Bar->Buttons(1)->Enabled());
  Bar->Buttons(2)->Click();
  EXPECT_EQ(clicked, std::vector<std::string>{"Three"});
  // The item going leaves the button without it.
  delete menu->Items()->Items(0);
  EXPECT_EQ(Bar->Buttons(0)->MenuItem(), nullptr);
  Bar->Buttons(0)->Click();
  EXPECT_EQ(clicked.size(), 1u);
}
