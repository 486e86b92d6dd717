// The tab control's ANSI tab list on the native window, re-creation, the
// page control's pages and tabs, its change events and page stepping, and
// docking into pages and onto a site laid out by the dock manager.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extctrls.h"
#include "forms.h"
#include "guitest.h"
#include "harness.h"
#include "tabs.h"

namespace {

class TabsTest : public SharedFormTest<TabsTest> {
protected:
  static void SetUpTestSuite() { SetUpSharedForm(50, 50, 420, 320); }
};

std::string NativeTab(HWND wnd, int index) {
  char buffer[256] = {};
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  if (!SendMessageA(wnd, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item))) return "<none>";
  return item.pszText;
}

struct TLog {
  std::vector<std::string> Events;
  bool Allow = true;
  void Changing(TObject*, bool& allow) {
    Events.push_back("changing");
    allow = Allow;
  }
  void Change(TObject*) { Events.push_back("change"); }
};

TTabSheet* AddPage(TPageControl* pages, const char* caption) {
  auto* sheet = new TTabSheet(pages->Owner());
  sheet->SetPageControl(pages);
  sheet->SetCaption(caption);
  return sheet;
}

}  // namespace

TEST_F(TabsTest, TabListLivesInTheWindowAndSurvivesRecreation) {
  auto* tabs = Place<TTabControl>(10, 10, 380, 100);
  TObject marker;
  tabs->Tabs()->Add("one");
  tabs->Tabs()->AddObject("two", &marker);
  tabs->Tabs()->Insert(0, "zero");
  tabs->SetTabIndex(2);
  HWND wnd = tabs->Handle();
  ASSERT_EQ(SendMessageA(wnd, TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(NativeTab(wnd, 0), "zero");
  EXPECT_EQ(tabs->Tabs()->Objects(2), &marker);

  tabs->RecreateWnd();
  EXPECT_EQ(tabs->TabIndex(), 2) << "kept while there is no window";
  wnd = tabs->Handle();
  EXPECT_EQ(NativeTab(wnd, 1), "one");
  EXPECT_EQ(tabs->Tabs()->Objects(2), &marker);
  EXPECT_EQ(tabs->TabIndex(), 2);

  // The display area lies inside the tabs.
  TRect display = tabs->DisplayRect();
  EXPECT_GT(display.top, 0);
  EXPECT_LT(display.bottom, tabs->Height());
}

TEST_F(TabsTest, RefusedOperationsRaiseListErrors) {
  auto* tabs = Place<TTabControl>(10, 10, 380, 100);
  tabs->Tabs()->Add("only");
  struct Case {
    const char* what;
    void (*op)(TTabControl*);
    const char* message;
  } cases[] = {
      {"read", [](TTabControl* t) { (void)t->Tabs()->Strings(3); }, "Failed to retrieve tab at index 3"},
      {"write", [](TTabControl* t) { t->Tabs()->Put(4, "x"); }, "Failed to set tab \"x\" at index 4"},
      {"delete", [](TTabControl* t) { t->Tabs()->Delete(5); }, "Failed to delete tab at index 5"},
      {"object", [](TTabControl* t) { (void)t->Tabs()->Objects(-1); }, "Failed to get object at index -1"},
  };
  for (const Case& c : cases) {
    try {
      c.op(tabs);
      ADD_FAILURE() << c.what << " raised nothing";
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message().str(), c.message) << c.what;
    }
  }
  EXPECT_EQ(tabs->Tabs()->Count(), 1);
}

TEST_F(TabsTest, ChangingMayRefuseAndChangeFollowsTheNativeSelection) {
  auto* tabs = Place<TTabControl>(10, 10, 380, 100);
  tabs->Tabs()->Add("&Alpha");
  tabs->Tabs()->Add("&Beta");
  TLog log;
  tabs->OnChanging = MakeEvent<&TLog::Changing>(&log);
  tabs->OnChange = MakeEvent<&TLog::Change>(&log);
  tabs->HandleNeeded();
  // A hot key goes through the same questions as a click.
  EXPECT_EQ(tabs->Perform(CM_DIALOGCHAR, 'B', 0), 1);
  EXPECT_EQ(tabs->TabIndex(), 1);
  log.Allow = false;
  EXPECT_EQ(tabs->Perform(CM_DIALOGCHAR, 'A', 0), 1);
  EXPECT_EQ(tabs->TabIndex(), 1) << "a refused change keeps the tab";
  EXPECT_EQ(log.Events, (std::vector<std::string>{"changing", "change", "changing"}));
}

TEST_F(TabsTest, PagesStepAndShowOnlyTheActiveOne) {
  auto* pages = Place<TPageControl>(10, 10, 380, 250);
  TTabSheet* a = AddPage(pages, "A");
  TTabSheet* b = AddPage(pages, "B");
  TTabSheet* c = AddPage(pages, "C");
  HWND wnd = pages->Handle();
  EXPECT_EQ(pages->ActivePage(), a);
  b->SetTabVisible(false);
  struct Step {
    bool forward;
    TTabSheet* expected;
  } steps[] = {{true, c}, {true, a}, {false, c}, {false, a}};
  for (const Step& s : steps) {
    pages->SelectNextPage(s.forward);
    EXPECT_EQ(pages->ActivePage(), s.expected);
    EXPECT_EQ(SendMessageA(wnd, TCM_GETCURSEL, 0, 0), s.expected->TabIndex());
    for (TTabSheet* p : {a, b, c}) EXPECT_EQ(p->Visible(), p == s.expected);
  }
  EXPECT_EQ(NativeTab(wnd, 1), "C");
  c->SetPageIndex(0);
  EXPECT_EQ(pages->Pages(0), c);
  EXPECT_EQ(NativeTab(wnd, 0), "C");
  EXPECT_EQ(NativeTab(wnd, 1), "A");
  c->SetCaption("Renamed");
  EXPECT_EQ(NativeTab(wnd, 0), "Renamed");
}

TEST_F(TabsTest, AControlDockedIntoPagesGetsASheetOfItsOwn) {
  auto* pages = Place<TPageControl>(10, 10, 380, 250);
  pages->SetDockSite(true);
  auto* panel = Place<TPanel>(0, 0, 40, 40);
  panel->SetCaption("Docked\nmore");
  ASSERT_TRUE(panel->ManualDock(pages));
  ASSERT_EQ(pages->PageCount(), 1);
  EXPECT_EQ(panel->Parent(), pages->Pages(0));
  panel->SetCaption("Now\rthis");
  EXPECT_EQ(NativeTab(pages->Handle(), 0), "Now");
  panel->SetVisible(false);
  EXPECT_FALSE(pages->Pages(0)->TabVisible());
  ASSERT_TRUE(panel->ManualDock(nullptr));
  EXPECT_EQ(pages->PageCount(), 0);
}

TEST_F(TabsTest, DockManagerLaysClientsOutBySide) {
  auto* site = Place<TPanel>(10, 10, 300, 200);
  site->SetBevelOuter(bvNone);
  site->SetDockSite(true);
  site->SetUseDockManager(true);
  ASSERT_NE(site->DockManager(), nullptr);
  auto* left = Place<TPanel>(0, 0, 50, 10);
  auto* top = Place<TPanel>(0, 0, 10, 30);
  auto* fill1 = Place<TPanel>(0, 0, 10, 10);
  auto* fill2 = Place<TPanel>(0, 0, 10, 10);
  ASSERT_TRUE(left->ManualDock(site, nullptr, alLeft));
  ASSERT_TRUE(top->ManualDock(site, nullptr, alTop));
  ASSERT_TRUE(fill1->ManualDock(site, nullptr, alClient));
  ASSERT_TRUE(fill2->ManualDock(site, nullptr, alClient));
  EXPECT_EQ(site->DockClientCount(), 4);
  struct Expect {
    TControl* c;
    int l, t, w, h;
  } expected[] = {{left, 0, 0, 50, 200}, {top, 50, 0, 250, 30}, {fill1, 50, 30, 125, 170}, {fill2, 175, 30, 125, 170}};
  for (const Expect& e : expected) {
    EXPECT_EQ(e.c->Left(), e.l) << e.c->ClassType()->Name;
    EXPECT_EQ(e.c->Top(), e.t);
    EXPECT_EQ(e.c->Width(), e.w);
    EXPECT_EQ(e.c->Height(), e.h);
  }
  // One leaves: the rest share the space again.
  delete fill1;
  EXPECT_EQ(site->DockClientCount(), 3);
  EXPECT_EQ(fill2->Left(), 50);
  EXPECT_EQ(fill2->Width(), 250);
  // Moving to another site leaves the first one.
  auto* other = Place<TPanel>(0, 0, 100, 100);
  other->SetDockSite(true);
  ASSERT_TRUE(left->ManualDock(other));
  EXPECT_EQ(left->HostDockSite(), other);
  EXPECT_EQ(site->DockClientCount(), 2);
  EXPECT_EQ(top->Left(), 0);
  EXPECT_EQ(top->Width(), 300);
}

TEST_F(TabsTest, PagesAddedBeforeThereIsAWindowGetTheirTabsWithIt) {
  auto* pages = new TPageControl(Form);
  pages->SetBounds(10, 10, 380, 250);
  TTabSheet* a = AddPage(pages, "First");
  TTabSheet* b = AddPage(pages, "Second");
  TTabSheet* hidden = AddPage(pages, "Hidden");
  hidden->SetTabVisible(false);
  pages->SetActivePage(b);
  EXPECT_FALSE(pages->HandleAllocated()) << "no window is made for the pages";
  EXPECT_EQ(pages->TabIndex(), 1);
  pages->SetParent(Form);
  HWND wnd = pages->Handle();
  ASSERT_EQ(SendMessageA(wnd, TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(NativeTab(wnd, 0), "First");
  EXPECT_EQ(NativeTab(wnd, 1), "Second");
  EXPECT_EQ(SendMessageA(wnd, TCM_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(pages->ActivePage(), b);
  EXPECT_EQ(pages->Tabs()->Objects(0), a);
}
