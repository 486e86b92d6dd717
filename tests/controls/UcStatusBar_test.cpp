// The status bar with wide panel texts: leading tabs, alignment, the simple
// text, re-creation, the automatic hint and the ANSI road.
#include "ControlsTestUtil.h"

#include "UcStatusBar.h"
#include "UcStdActns.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using UcStatusBar = UcGuiTest;

// The text of a part as the native bar holds it (the drawing-type word
// aside), leading tabs included.
std::wstring PartText(HWND bar, int part) {
  wchar_t buffer[512] = {};
  SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

}  // namespace

TEST(SyncLeadingTabs, TakesTheAnsiTextsTabs) {
  struct Case {
    const wchar_t* wide;
    const char* ansi;
    const wchar_t* expected;
  } cases[] = {
      {L"\u4E2D", "?", L"\u4E2D"},                  // none on either side
      {L"\u4E2D", "\t?", L"\t\u4E2D"},              // one added
      {L"\u4E2D", "\t\t?", L"\t\t\u4E2D"},          // two added
      {L"\t\t\u4E2D", "\t?", L"\t\u4E2D"},          // one too many removed
      {L"\t\u4E2D", "?", L"\u4E2D"},                // all removed
      {L"", "\t", L"\t"},                           // empty wide text
      {L"\t\t", "", L""},                           // nothing but tabs
      {L"a\tb", "\ta\tb", L"\ta\tb"},               // inner tabs untouched
  };
  for (const Case& c : cases)
    EXPECT_EQ(SyncLeadingTabs(c.wide, c.ansi).str(), c.expected) << c.ansi;
}

TEST_F(UcStatusBar, PanelTextsKeepTheirLeadingTabAndAlignment) {
  auto* bar = PlaceOn<TUcStatusBar>(Form, 0, 250, 400, 20);
  TUcStatusPanel* left = bar->Panels()->Add();
  TUcStatusPanel* centred = bar->Panels()->Add();
  TUcStatusPanel* right = bar->Panels()->Add();
  left->SetWidth(120);
  centred->SetWidth(120);
  centred->SetAlignment(taCenter);
  right->SetAlignment(taRightJustify);
  HWND wnd = bar->Handle();
  ASSERT_TRUE(IsWindowUnicode(wnd));

  const std::wstring tabbed = std::wstring(L"\t") + kMixedText;
  left->SetText(tabbed);
  centred->SetText(kCjkText);
  right->SetText(kCyrillicText);
  EXPECT_EQ(left->Text().str(), tabbed);
  EXPECT_EQ(PartText(wnd, 0), tabbed);
  EXPECT_EQ(PartText(wnd, 1), std::wstring(L"\t") + kCjkText);
  EXPECT_EQ(PartText(wnd, 2), std::wstring(L"\t\t") + kCyrillicText);

  // A change only outside the code page ("??" both times) still shows.
  centred->SetText(L"\u65E5\u672C");
  EXPECT_EQ(PartText(wnd, 1), L"\t\u65E5\u672C");

  bar->RecreateWnd();
  wnd = bar->Handle();
  EXPECT_EQ(PartText(wnd, 0), tabbed);
  EXPECT_EQ(PartText(wnd, 1), L"\t\u65E5\u672C");
}

TEST_F(UcStatusBar, SimpleTextIsWideAndItsLengthAnswered) {
  auto* bar = PlaceOn<TUcStatusBar>(Form, 0, 250, 400, 20);
  bar->SetSimplePanel(true);
  HWND wnd = bar->Handle();
  bar->SetSimpleText(kMixedText);
  EXPECT_EQ(bar->SimpleText().str(), kMixedText);
  // A simple bar answers for its one part by the first index.
  EXPECT_EQ(PartText(wnd, 0), kMixedText);
  EXPECT_EQ(SendMessageW(wnd, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(std::wstring(kMixedText).size()));
  bar->SetSimpleText(L"\t\u4E2D");
  EXPECT_EQ(bar->SimpleText().str(), L"\t\u4E2D");
  EXPECT_EQ(PartText(wnd, 0), L"\t\u4E2D");
}

TEST_F(UcStatusBar, AutoHintShowsTheWideHintInTheFirstPanelOrTheSimpleText) {
  auto* bar = PlaceOn<TUcStatusBar>(Form, 0, 250, 400, 20);
  bar->SetAutoHint(true);
  auto* action = new TUcHintAction(Form);
  action->SetHint(kCjkText);
  EXPECT_TRUE(bar->ExecuteAction(action));
  EXPECT_EQ(bar->SimpleText().str(), kCjkText);

  bar->Panels()->Add();
  action->SetHint(kMixedText);
  EXPECT_TRUE(bar->ExecuteAction(action));
  EXPECT_EQ(bar->Panels()->Items(0)->Text().str(), kMixedText);
  EXPECT_EQ(PartText(bar->Handle(), 0), kMixedText);

  bar->SetAutoHint(false);
  EXPECT_FALSE(bar->ExecuteAction(action));
}

TEST_F(UcStatusBar, AnsiRoadShowsTheCodePageForm) {
  TPlatformSwitch ansi(false);
  auto* bar = PlaceOn<TUcStatusBar>(Form, 0, 250, 400, 20);
  TUcStatusPanel* panel = bar->Panels()->Add();
  panel->SetText(kMixedText);
  char buffer[128] = {};
  SendMessageA(bar->Handle(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buffer));
  EXPECT_EQ(std::string(buffer), WideToAnsi(kMixedText).str());
}
