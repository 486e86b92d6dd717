// The tool bar and tool buttons with wide captions: what the native buttons
// show, changes, re-creation, the bar's own text, menus, clicks, actions and
// the ANSI road.
#include "ControlsTestUtil.h"

#include "UcActnList.h"
#include "UcMenus.h"
#include "UcToolWin.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using UcToolWin = UcGuiTest;

std::wstring NativeButtonText(HWND bar, int commandId) {
  wchar_t buffer[256] = {};
  LRESULT n = SendMessageW(bar, TB_GETBUTTONTEXTW, commandId, reinterpret_cast<LPARAM>(buffer));
  if (n < 0) return L"<none>";
  return buffer;
}

TUcToolBar* CaptionBar(TWinControl* parent) {
  auto* bar = PlaceOn<TUcToolBar>(parent, 0, 0, 400, 40);
  bar->SetShowCaptions(true);
  return bar;
}

TUcToolButton* AddButton(TUcToolBar* bar, const std::wstring& caption) {
  auto* button = new TUcToolButton(bar);
  button->SetCaption(caption);
  button->SetLeft(10000);  // after the buttons already there
  button->SetParent(bar);
  return button;
}

struct TClicks {
  int Count = 0;
  void Click(TObject*) { ++Count; }
};

TClicks* PumpedClicks = nullptr;
bool Clicked() { return PumpedClicks->Count > 0; }

}  // namespace

TEST_F(UcToolWin, ButtonCaptionsAreWideAndKeptAcrossRecreation) {
  auto* bar = CaptionBar(Form);
  const std::wstring texts[] = {kMixedText, kCjkText, L"Plain"};
  TUcToolButton* buttons[3];
  for (int i = 0; i < 3; ++i) buttons[i] = AddButton(bar, texts[i]);
  HWND wnd = bar->Handle();
  ASSERT_TRUE(IsWindowUnicode(wnd));
  ASSERT_EQ(SendMessageW(wnd, TB_BUTTONCOUNT, 0, 0), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(NativeButtonText(wnd, buttons[i]->CommandId()), texts[i]) << i;
    EXPECT_EQ(buttons[i]->Index(), i);
  }

  // Only characters outside the code page change: the ANSI caption stays
  // "??", yet the native button follows.
  buttons[1]->SetCaption(L"\u65E5\u672C");
  EXPECT_EQ(NativeButtonText(wnd, buttons[1]->CommandId()), L"\u65E5\u672C");

  bar->RecreateWnd();
  wnd = bar->Handle();
  EXPECT_EQ(NativeButtonText(wnd, buttons[0]->CommandId()), kMixedText);
  EXPECT_EQ(NativeButtonText(wnd, buttons[1]->CommandId()), L"\u65E5\u672C");

  buttons[2]->SetVisible(false);
  EXPECT_NE(SendMessageW(wnd, TB_ISBUTTONHIDDEN, buttons[2]->CommandId(), 0), 0);
  EXPECT_EQ(NativeButtonText(wnd, buttons[0]->CommandId()), kMixedText);
  delete buttons[0];
  EXPECT_EQ(SendMessageW(wnd, TB_BUTTONCOUNT, 0, 0), 2);
  EXPECT_EQ(buttons[1]->Index(), 0);
}

TEST_F(UcToolWin, TheBarKeepsItsOwnWideText) {
  auto* bar = CaptionBar(Form);
  bar->SetCaption(kMixedText);
  HWND wnd = bar->Handle();
  EXPECT_EQ(bar->Caption().str(), kMixedText);
  EXPECT_EQ(WindowTextW(wnd), kMixedText);
  EXPECT_EQ(GetWindowTextLengthW(wnd), static_cast<int>(std::wstring(kMixedText).size()));
  // A short buffer gets what fits and its terminator.
  wchar_t small[4] = {L'x', L'x', L'x', L'x'};
  EXPECT_EQ(SendMessageW(wnd, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(small)), 3);
  EXPECT_EQ(std::wstring(small), std::wstring(kMixedText).substr(0, 3));
}

TEST_F(UcToolWin, AMenuBecomesButtonsInItemOrder) {
  auto* menu = new TUcMainMenu(Form);
  const std::wstring captions[] = {kCyrillicText, kCjkText, L"Third"};
  TClicks clicks;
  for (const std::wstring& c : captions) {
    auto* item = new TUcMenuItem(Form);
    item->SetCaption(c);
    item->SetHint(c + L" hint");
    item->OnClick = MakeEvent<&TClicks::Click>(&clicks);
    menu->Items()->Add(item);
  }
  auto* bar = CaptionBar(Form);
  AddButton(bar, L"gone");
  bar->SetMenu(menu);
  ASSERT_EQ(bar->ButtonCount(), 3);
  HWND wnd = bar->Handle();
  for (int i = 0; i < 3; ++i) {
    auto* b = bar->Buttons(i)->As<TUcToolButton>();
    EXPECT_EQ(b->Caption().str(), captions[i]) << i;
    EXPECT_EQ(b->Hint().str(), captions[i] + L" hint") << i;
    EXPECT_TRUE(b->AutoSize());
    EXPECT_TRUE(b->Grouped());
    EXPECT_EQ(NativeButtonText(wnd, b->CommandId()), captions[i]) << i;
  }
  bar->Buttons(1)->Click();
  EXPECT_EQ(clicks.Count, 1);
}

TEST_F(UcToolWin, ANativeClickReachesTheButton) {
  auto* bar = CaptionBar(Form);
  AddButton(bar, L"A");
  auto* check = AddButton(bar, kCjkText);
  check->SetStyle(tbsCheck);
  TClicks clicks;
  check->OnClick = MakeEvent<&TClicks::Click>(&clicks);
  HWND wnd = bar->Handle();
  ASSERT_TRUE(WaitFor([&] { return SendMessageW(wnd, TB_BUTTONCOUNT, 0, 0) == 2 && IsWindowVisible(wnd); },
                      "the tool bar shows its two buttons"));
  RECT r{};
  ASSERT_TRUE(SendMessageW(wnd, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r)));
  EXPECT_EQ(check->Left(), r.left);
  EXPECT_EQ(check->Width(), r.right - r.left);
  PostClick(wnd, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PumpedClicks = &clicks;
  ASSERT_TRUE(WaitFor(&Clicked, "the check button reported its click"));
  EXPECT_EQ(clicks.Count, 1);
  EXPECT_TRUE(check->Down()) << "the check button follows the native toggle";
}

TEST_F(UcToolWin, ActionGivesWideCaptionHintAndCheckedState) {
  auto* list = new TUcActionList(Form);
  auto* action = new TUcAction(Form);
  action->SetActionList(list);
  action->SetCaption(kMixedText);
  action->SetHint(kCjkText);
  auto* bar = CaptionBar(Form);
  auto* button = AddButton(bar, L"");
  button->SetStyle(tbsCheck);
  button->SetAction(action);
  ASSERT_NE(button->ActionLink(), nullptr);
  EXPECT_EQ(button->ActionLink()->ClassType(), &TUcToolButtonActionLink::Class);
  EXPECT_EQ(button->Caption().str(), kMixedText);
  EXPECT_EQ(button->Hint().str(), kCjkText);
  EXPECT_EQ(NativeButtonText(bar->Handle(), button->CommandId()), kMixedText);
  action->SetChecked(true);
  EXPECT_TRUE(button->Down());
  EXPECT_NE(SendMessageW(bar->Handle(), TB_ISBUTTONCHECKED, button->CommandId(), 0), 0);
  action->SetCaption(kCyrillicText);
  EXPECT_EQ(NativeButtonText(bar->Handle(), button->CommandId()), kCyrillicText);
}

TEST_F(UcToolWin, AnsiRoadShowsTheCodePageForm) {
  TPlatformSwitch ansi(false);
  auto* bar = CaptionBar(Form);
  auto* button = AddButton(bar, kMixedText);
  HWND wnd = bar->Handle();
  EXPECT_EQ(NativeButtonText(wnd, button->CommandId()), Narrowed(kMixedText));
  EXPECT_EQ(button->Caption().str(), Narrowed(kMixedText));
}
