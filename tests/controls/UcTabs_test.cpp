// The tab control and page control with wide tab texts: what the native tab
// shows, re-creation, the ANSI road, hot keys and docking into pages.
#include "ControlsTestUtil.h"

#include "UcExtCtrls.h"
#include "UcForms.h"
#include "UcTabs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using UcTabs = UcGuiTest;

// What the native tab shows, asked the wide way.
std::wstring NativeTabText(HWND wnd, int index) {
  wchar_t buffer[512] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = buffer;
  item.cchTextMax = 512;
  if (!SendMessageW(wnd, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item))) return L"<none>";
  return item.pszText;
}

int NativeTabCount(HWND wnd) { return static_cast<int>(SendMessageW(wnd, TCM_GETITEMCOUNT, 0, 0)); }

}  // namespace

TEST_F(UcTabs, WideCaptionsShownReturnedAndKeptAcrossRecreation) {
  auto* tabs = PlaceOn<TUcTabControl>(Form, 10, 10, 380, 120);
  const std::wstring texts[] = {kMixedText, kCjkText, L"", L"&Plain"};
  for (const std::wstring& t : texts) tabs->Tabs()->Add(t);
  tabs->SetTabIndex(2);
  HWND before = tabs->Handle();
  ASSERT_TRUE(IsWindowUnicode(before));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(NativeTabText(before, i), texts[i]) << i;
    EXPECT_EQ(tabs->Tabs()->Strings(i).str(), texts[i]) << i;
  }

  tabs->RecreateWnd();
  // While there is no window the saved copy answers.
  EXPECT_EQ(tabs->Tabs()->Count(), 4);
  EXPECT_EQ(tabs->Tabs()->Strings(0).str(), kMixedText);
  HWND after = tabs->Handle();
  ASSERT_EQ(NativeTabCount(after), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(NativeTabText(after, i), texts[i]) << i;
  EXPECT_EQ(tabs->TabIndex(), 2);
}

TEST_F(UcTabs, ListOperationsAndRefusals) {
  auto* tabs = PlaceOn<TUcTabControl>(Form, 10, 10, 380, 120);
  tabs->Tabs()->Add(L"a");
  tabs->Tabs()->Add(L"c");
  tabs->Tabs()->Insert(1, kCjkText);
  tabs->Tabs()->Put(2, kCyrillicText);
  EXPECT_EQ(tabs->Tabs()->Text().str(), std::wstring(L"a\r\n") + kCjkText + L"\r\n" + kCyrillicText + L"\r\n");
  tabs->Tabs()->Delete(0);
  EXPECT_EQ(NativeTabCount(tabs->Handle()), 2);
  EXPECT_EQ(NativeTabText(tabs->Handle(), 0), kCjkText);

  struct Case {
    const char* what;
    void (*op)(TUcTabControl*);
    const char* message;
  } cases[] = {
      {"read past the end", [](TUcTabControl* t) { (void)t->Tabs()->Strings(7); }, "Failed to retrieve tab at index 7"},
      {"write past the end", [](TUcTabControl* t) { t->Tabs()->Put(9, L"x"); }, "Failed to set tab \"x\" at index 9"},
  };
  for (const Case& c : cases) {
    try {
      c.op(tabs);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message().str(), c.message) << c.what;
    }
  }
  tabs->Tabs()->Clear();
  EXPECT_EQ(NativeTabCount(tabs->Handle()), 0);
}

TEST_F(UcTabs, AnsiRoadConvertsThroughTheCodePage) {
  TPlatformSwitch ansi(false);
  auto* tabs = PlaceOn<TUcTabControl>(Form, 10, 10, 380, 120);
  tabs->Tabs()->Add(kMixedText);
  EXPECT_EQ(tabs->Tabs()->Strings(0).str(), Narrowed(kMixedText));
  EXPECT_EQ(tabs->AnsiTabs()->Strings(0).str(), WideToAnsi(kMixedText).str());
}

TEST_F(UcTabs, HotKeySelectsTheTabAndReportsTheChange) {
  auto* tabs = PlaceOn<TUcTabControl>(Form, 10, 10, 380, 120);
  tabs->Tabs()->Add(L"&One");
  tabs->Tabs()->Add(L"\u0424&\u0430\u0439\u043B");  // hot key: Cyrillic "а" (0xE0 in 1251)
  int changes = 0;
  struct Counter {
    int* n;
    void Changed(TObject*) { ++*n; }
  } counter{&changes};
  tabs->OnChange = MakeEvent<&Counter::Changed>(&counter);
  tabs->HandleNeeded();
  EXPECT_EQ(tabs->Perform(CM_DIALOGCHAR, 0xE0, 0), 1);
  EXPECT_EQ(tabs->TabIndex(), 1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(tabs->Perform(CM_DIALOGCHAR, 'q', 0), 0);
  EXPECT_EQ(tabs->TabIndex(), 1);
}

TEST_F(UcTabs, PageTabsShowTheSheetsWideCaptions) {
  auto* pages = PlaceOn<TUcPageControl>(Form, 10, 10, 380, 200);
  auto* first = new TUcTabSheet(Form);
  first->SetCaption(kMixedText);  // before the sheet has a page control
  first->SetPageControl(pages);
  auto* second = new TUcTabSheet(Form);
  second->SetPageControl(pages);
  second->SetCaption(kCjkText);
  HWND wnd = pages->Handle();
  ASSERT_EQ(NativeTabCount(wnd), 2);
  EXPECT_EQ(NativeTabText(wnd, 0), kMixedText);
  EXPECT_EQ(NativeTabText(wnd, 1), kCjkText);
  EXPECT_EQ(pages->ActivePage(), first);

  pages->RecreateWnd();
  wnd = pages->Handle();
  EXPECT_EQ(NativeTabText(wnd, 0), kMixedText);
  EXPECT_EQ(NativeTabText(wnd, 1), kCjkText);

  // Hiding a tab removes only that tab; the page order stays.
  first->SetTabVisible(false);
  EXPECT_EQ(NativeTabCount(wnd), 1);
  EXPECT_EQ(NativeTabText(wnd, 0), kCjkText);
  EXPECT_EQ(pages->ActivePage(), second);
  first->SetTabVisible(true);
  EXPECT_EQ(NativeTabText(wnd, 0), kMixedText);
  delete first;
  EXPECT_EQ(pages->PageCount(), 1);
  EXPECT_EQ(NativeTabCount(wnd), 1);
}

TEST_F(UcTabs, PageHotKeyUsesTheWideCaption) {
  auto* pages = PlaceOn<TUcPageControl>(Form, 10, 10, 380, 200);
  auto* a = new TUcTabSheet(Form);
  a->SetPageControl(pages);
  a->SetCaption(L"&First");
  auto* b = new TUcTabSheet(Form);
  b->SetPageControl(pages);
  b->SetCaption(L"\u0412&\u0442\u043E\u0440\u0430\u044F");  // hot key "т" (0xF2 in 1251)
  pages->HandleNeeded();
  EXPECT_EQ(pages->Perform(CM_DIALOGCHAR, 0xF2, 0), 1);
  EXPECT_EQ(pages->ActivePage(), b);
  EXPECT_TRUE(b->Visible());
  EXPECT_FALSE(a->Visible());
}

TEST_F(UcTabs, DockedControlGetsAPageNamedAfterItsFirstLine) {
  auto* pages = PlaceOn<TUcPageControl>(Form, 10, 10, 380, 200);
  pages->SetDockSite(true);
  auto* panel = PlaceOn<TUcPanel>(Form, 0, 0, 50, 50);
  panel->HandleNeeded();
  ASSERT_TRUE(panel->ManualDock(pages));
  ASSERT_EQ(pages->PageCount(), 1);
  TTabSheet* sheet = pages->Pages(0);
  ASSERT_TRUE(sheet->Is<TUcTabSheet>());
  EXPECT_EQ(panel->Parent(), sheet);
  EXPECT_EQ(panel->HostDockSite(), pages);
  EXPECT_EQ(panel->Align(), alClient);
  EXPECT_EQ(pages->ActivePage(), sheet);

  panel->SetCaption(std::wstring(kCjkText) + L"\r\nsecond line");
  EXPECT_EQ(static_cast<TUcTabSheet*>(sheet)->Caption().str(), kCjkText);
  EXPECT_EQ(NativeTabText(pages->Handle(), 0), kCjkText);

  // Undocking frees the page the control was given.
  ASSERT_TRUE(panel->ManualDock(nullptr));
  EXPECT_EQ(pages->PageCount(), 0);
  EXPECT_EQ(panel->Parent(), nullptr);
  EXPECT_EQ(pages->DockClientCount(), 0);
}

TEST_F(UcTabs, DockingRefusedByANonSiteAndForgottenWhenTheClientGoes) {
  auto* pages = PlaceOn<TUcPageControl>(Form, 10, 10, 380, 200);
  auto* panel = PlaceOn<TUcPanel>(Form, 0, 0, 50, 50);
  EXPECT_FALSE(panel->ManualDock(pages));  // not a dock site
  EXPECT_EQ(pages->PageCount(), 0);
  pages->SetDockSite(true);
  ASSERT_TRUE(panel->ManualDock(pages));
  delete panel;
  EXPECT_EQ(pages->DockClientCount(), 0);
  EXPECT_EQ(pages->PageCount(), 0);
}

TEST_F(UcTabs, ADockedFormsWideCaptionNamesItsPage) {
  auto* pages = PlaceOn<TUcPageControl>(Form, 10, 10, 380, 200);
  pages->SetDockSite(true);
  auto* docked = NewForm<TUcForm>(nullptr);
  docked->SetCaption(kMixedText);
  docked->SetBounds(0, 0, 100, 100);
  ASSERT_TRUE(docked->ManualDock(pages));
  ASSERT_EQ(pages->PageCount(), 1);
  // A hidden form's page shows no tab until the form shows.
  EXPECT_EQ(NativeTabCount(pages->Handle()), 0);
  docked->Show();
  ASSERT_EQ(NativeTabCount(pages->Handle()), 1);
  EXPECT_EQ(NativeTabText(pages->Handle(), 0), kMixedText);
  EXPECT_EQ(pages->ActivePage(), pages->Pages(0));
  docked->SetCaption(std::wstring(kCjkText) + L"\nsecond");
  EXPECT_EQ(NativeTabText(pages->Handle(), 0), kCjkText);
  delete docked;
  EXPECT_EQ(pages->PageCount(), 0);
}

TEST_F(UcTabs, PageCaptionsTakeTheAnsiRoadWithoutAUnicodePlatform) {
  TPlatformSwitch ansi(false);
  auto* pages = PlaceOn<TUcPageControl>(Form, 10, 10, 380, 200);
  auto* sheet = new TUcTabSheet(Form);
  sheet->SetPageControl(pages);
  sheet->SetCaption(kMixedText);
  HWND wnd = pages->Handle();
  char buffer[128] = {};
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  ASSERT_TRUE(SendMessageA(wnd, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_EQ(std::string(item.pszText), WideToAnsi(kMixedText).str());
  EXPECT_EQ(sheet->Caption().str(), Narrowed(kMixedText));
}
