// The date/time picker, month calendar and the hint-only common controls as
// Unicode windows.
#include "ControlsTestUtil.h"

#include "UcPickers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using UcPickers = UcGuiTest;

struct TChangeLog {
  int Count = 0;
  void Changed(TObject*) { ++Count; }
};

struct TMonthLog {
  std::vector<unsigned> Months;
  void Info(TObject*, unsigned month, unsigned& bold) {
    Months.push_back(month);
    bold = 1u << 14;  // the 15th
  }
};

}  // namespace

TEST_F(UcPickers, MonthCalendarKeepsWholeDaysOnly) {
  auto* cal = PlaceOn<TUcMonthCalendar>(Form, 10, 10, 220, 170);
  cal->HandleNeeded();
  ASSERT_TRUE(IsWindowUnicode(cal->WindowHandle()));
  const TDateTime day = EncodeDate(2024, 2, 29);
  struct Case {
    const char* what;
    TDateTime value;
  } cases[] = {{"noon", day + 0.5}, {"one minute to midnight", day + 1439.0 / 1440}, {"midnight", day}};
  for (const Case& c : cases) {
    cal->SetDate(c.value);
    EXPECT_EQ(cal->Date(), day) << c.what;
    SYSTEMTIME st{};
    ASSERT_TRUE(SendMessageW(cal->WindowHandle(), MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&st)));
    EXPECT_EQ(st.wYear, 2024);
    EXPECT_EQ(st.wMonth, 2);
    EXPECT_EQ(st.wDay, 29);
  }
  cal->RecreateWnd();
  EXPECT_EQ(cal->Date(), day);
}

TEST_F(UcPickers, MonthCalendarAsksForTheBoldDaysAtCreation) {
  auto* cal = new TUcMonthCalendar(Form);
  TMonthLog log;
  cal->OnGetMonthInfo = MakeEvent<&TMonthLog::Info>(&log);
  cal->SetParent(Form);
  cal->SetBounds(10, 10, 220, 170);
  cal->HandleNeeded();
  SYSTEMTIME range[2] = {};
  LRESULT shown = SendMessageW(cal->WindowHandle(), MCM_GETMONTHRANGE, GMR_DAYSTATE, reinterpret_cast<LPARAM>(range));
  ASSERT_GT(shown, 0);
  // Asked once for every month the calendar shows, in order, at creation.
  ASSERT_GE(log.Months.size(), static_cast<size_t>(shown)) << "the day states were not asked for";
  EXPECT_EQ(log.Months[0], range[0].wMonth);
  for (size_t i = 1; i < static_cast<size_t>(shown); ++i) EXPECT_EQ(log.Months[i], log.Months[i - 1] % 12 + 1);
}

TEST_F(UcPickers, FirstCheckBoxClickOfThePickerIsReported) {
  auto* picker = PlaceOn<TUcDateTimePicker>(Form, 10, 10, 200, 24);
  picker->SetShowCheckbox(true);
  picker->SetDateTime(EncodeDate(2020, 1, 2) + 0.25);
  picker->SetChecked(false);
  TChangeLog log;
  picker->OnChange = MakeEvent<&TChangeLog::Changed>(&log);
  HWND wnd = picker->Handle();
  ASSERT_TRUE(IsWindowUnicode(wnd));
  EXPECT_FALSE(picker->Checked());

  // What a click brings, delivered as Windows would: the control's own
  // notification comes with it.
  picker->Perform(WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(log.Count, 1);
  picker->Perform(WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(log.Count, 1) << "only the first click is the control's to report";

  // A new window starts over, keeping the check state.
  bool checked = picker->Checked();
  picker->RecreateWnd();
  picker->HandleNeeded();
  EXPECT_EQ(picker->Checked(), checked);
  picker->Perform(WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(log.Count, 2);
}

TEST_F(UcPickers, PickerWithoutCheckBoxReportsNothingOnItsOwn) {
  auto* picker = PlaceOn<TUcDateTimePicker>(Form, 10, 10, 200, 24);
  TChangeLog log;
  picker->OnChange = MakeEvent<&TChangeLog::Changed>(&log);
  picker->HandleNeeded();
  picker->Perform(WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(log.Count, 0);
  // The value round-trips through the window.
  picker->SetDateTime(EncodeDate(1999, 12, 31) + 0.75);
  SYSTEMTIME st{};
  ASSERT_EQ(SendMessageW(picker->WindowHandle(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)), GDT_VALID);
  EXPECT_EQ(st.wYear, 1999);
  EXPECT_EQ(st.wDay, 31);
  EXPECT_EQ(st.wHour, 18);
  EXPECT_EQ(picker->Date(), EncodeDate(1999, 12, 31));
}

TEST_F(UcPickers, HintOnlyControlsAreUnicodeWindowsWithWideHints) {
  TWinControl* controls[] = {PlaceOn<TUcTrackBar>(Form, 10, 10, 150, 40),
                             PlaceOn<TUcProgressBar>(Form, 10, 60, 150, 20),
                             PlaceOn<TUcUpDown>(Form, 170, 10, 17, 25),
                             PlaceOn<TUcPageScroller>(Form, 10, 90, 150, 40)};
  for (TWinControl* c : controls) EXPECT_TRUE(IsWindowUnicode(c->Handle())) << c->ClassType()->Name;
  auto* track = static_cast<TUcTrackBar*>(controls[0]);
  track->SetHint(kMixedText);
  EXPECT_EQ(track->Hint().str(), kMixedText);
  track->SetMax(20);
  track->SetPosition(15);
  EXPECT_EQ(SendMessageW(track->WindowHandle(), TBM_GETPOS, 0, 0), 15);
  track->SetPosition(99);
  EXPECT_EQ(track->Position(), 20) << "clamped to the range";
  auto* progress = static_cast<TUcProgressBar*>(controls[1]);
  progress->SetPosition(40);
  EXPECT_EQ(SendMessageW(progress->WindowHandle(), PBM_GETPOS, 0, 0), 40);
  auto* pager = static_cast<TUcPageScroller*>(controls[3]);
  pager->SetButtonSize(17);
  EXPECT_EQ(SendMessageW(pager->WindowHandle(), PGM_GETBUTTONSIZE, 0, 0), 17);
}

TEST_F(UcPickers, UpDownShowsItsPositionInTheAssociatedEdit) {
  auto* edit = PlaceOn<TEdit>(Form, 10, 10, 80, 24);
  auto* updown = PlaceOn<TUcUpDown>(Form, 90, 10, 17, 24);
  updown->SetMin(-5);
  updown->SetMax(5);
  updown->SetAssociate(edit);
  updown->SetPosition(3);
  EXPECT_EQ(WindowTextW(edit->Handle()), L"3");
  updown->SetPosition(-50);
  EXPECT_EQ(updown->Position(), -5);
  updown->RecreateWnd();
  EXPECT_EQ(updown->Position(), -5);
  delete edit;
  EXPECT_EQ(updown->Associate(), nullptr);
}
