// The date/time picker, month calendar, track bar, up-down and pager on
// their native windows: values split and joined, kept across new windows,
// clamped, and the changes the user makes reported.
#include <gtest/gtest.h>

#include "forms.h"
#include "guitest.h"
#include "harness.h"
#include "pickers.h"
#include "stdctrls.h"

namespace {

class PickersTest : public SharedFormTest<PickersTest> {
protected:
  static void SetUpTestSuite() { SetUpSharedForm(60, 60, 420, 300); }
};

struct TCounter {
  int Changes = 0;
  bool Allow = true;
  void Changed(TObject*) { ++Changes; }
  void Changing(TObject*, bool& allow) { allow = Allow; }
};

SYSTEMTIME WindowTime(HWND picker) {
  SYSTEMTIME st{};
  SendMessageA(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
  return st;
}

}  // namespace

TEST_F(PickersTest, DateAndTimeAreTheTwoHalvesOfTheValue) {
  auto* picker = Place<TDateTimePicker>(10, 10, 200, 24);
  const TDateTime day = EncodeDate(2001, 9, 9), quarter = 0.25, evening = 0.875;
  picker->SetDateTime(day + quarter);
  struct Case {
    const char* what;
    void (*change)(TDateTimePicker*, TDateTime);
    TDateTime argument, date, time;
  } cases[] = {
      {"a new date keeps the time", [](TDateTimePicker* p, TDateTime v) { p->SetDate(v); },
       EncodeDate(2010, 1, 31) + 0.5, EncodeDate(2010, 1, 31), quarter},
      {"a new time keeps the date", [](TDateTimePicker* p, TDateTime v) { p->SetTime(v); }, day + evening,
       EncodeDate(2010, 1, 31), evening},
  };
  for (const Case& c : cases) {
    c.change(picker, c.argument);
    EXPECT_DOUBLE_EQ(picker->Date(), c.date) << c.what;
    EXPECT_NEAR(picker->Time(), c.time, 1e-9) << c.what;
  }
  SYSTEMTIME st = WindowTime(picker->Handle());
  EXPECT_EQ(st.wYear, 2010);
  EXPECT_EQ(st.wHour, 21);
  // A new window (another kind) shows the same value.
  picker->SetKind(dtkTime);
  st = WindowTime(picker->Handle());
  EXPECT_EQ(st.wDay, 31);
  EXPECT_EQ(st.wHour, 21);
  EXPECT_NE(GetWindowLongA(picker->WindowHandle(), GWL_STYLE) & DTS_TIMEFORMAT, 0);
}

TEST_F(PickersTest, AnUncheckedPickerHoldsNoDateAndSaysSo) {
  auto* picker = Place<TDateTimePicker>(10, 10, 200, 24);
  TCounter counter;
  picker->OnChange = MakeEvent<&TCounter::Changed>(&counter);
  picker->SetShowCheckbox(true);
  HWND wnd = picker->Handle();
  EXPECT_TRUE(picker->Checked());
  picker->SetChecked(false);
  SYSTEMTIME st{};
  EXPECT_EQ(SendMessageA(wnd, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)), GDT_NONE);
  EXPECT_FALSE(picker->Checked());
  // What the control reports when the user checks the box.
  NMDATETIMECHANGE change{};
  change.nmhdr = {wnd, static_cast<UINT_PTR>(GetDlgCtrlID(wnd)), static_cast<UINT>(DTN_DATETIMECHANGE)};
  change.dwFlags = GDT_VALID;
  DateTimeToSystemTime(EncodeDate(2022, 2, 22), change.st);
  SendMessageA(Form->Handle(), WM_NOTIFY, change.nmhdr.idFrom, reinterpret_cast<LPARAM>(&change));
  EXPECT_EQ(counter.Changes, 1);
  EXPECT_DOUBLE_EQ(picker->Date(), EncodeDate(2022, 2, 22));
}

TEST_F(PickersTest, TrackBarClampsTurnsAndReportsTheUsersMoves) {
  auto* track = Place<TTrackBar>(10, 10, 150, 40);
  TCounter counter;
  track->OnChange = MakeEvent<&TCounter::Changed>(&counter);
  track->SetMin(-10);
  track->SetMax(10);
  struct Case {
    int set, expected;
  } cases[] = {{5, 5}, {11, 10}, {-11, -10}, {0, 0}};
  for (const Case& c : cases) {
    track->SetPosition(c.set);
    EXPECT_EQ(track->Position(), c.expected) << c.set;
    EXPECT_EQ(SendMessageA(track->Handle(), TBM_GETPOS, 0, 0), c.expected) << c.set;
  }
  EXPECT_EQ(counter.Changes, 4);
  // The user moves it: the native position changes, then the scroll message.
  SendMessageA(track->Handle(), TBM_SETPOS, TRUE, 7);
  SendMessageA(Form->Handle(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 7), reinterpret_cast<LPARAM>(track->Handle()));
  EXPECT_EQ(counter.Changes, 5);
  EXPECT_EQ(track->Position(), 7);
  track->SetOrientation(trVertical);
  EXPECT_EQ(track->Width(), 40);
  EXPECT_EQ(track->Height(), 150);
  EXPECT_NE(GetWindowLongA(track->Handle(), GWL_STYLE) & TBS_VERT, 0);
  EXPECT_EQ(track->Position(), 7) << "kept across the new window";
}

TEST_F(PickersTest, UpDownMayRefuseAStep) {
  auto* updown = Place<TUpDown>(10, 10, 17, 25);
  TCounter counter;
  updown->OnChanging = MakeEvent<&TCounter::Changing>(&counter);
  updown->SetPosition(4);
  NMUPDOWN step{};
  HWND wnd = updown->Handle();
  step.hdr = {wnd, static_cast<UINT_PTR>(GetDlgCtrlID(wnd)), static_cast<UINT>(UDN_DELTAPOS)};
  step.iPos = 4;
  step.iDelta = 1;
  counter.Allow = false;
  EXPECT_EQ(SendMessageA(Form->Handle(), WM_NOTIFY, step.hdr.idFrom, reinterpret_cast<LPARAM>(&step)), 1);
  counter.Allow = true;
  EXPECT_EQ(SendMessageA(Form->Handle(), WM_NOTIFY, step.hdr.idFrom, reinterpret_cast<LPARAM>(&step)), 0);
}

TEST_F(PickersTest, PagerScrollsTheControlItHolds) {
  auto* pager = Place<TPageScroller>(10, 10, 100, 40);
  auto* wide = new TButton(Form);
  wide->SetBounds(0, 0, 400, 30);
  pager->SetControl(wide);
  EXPECT_EQ(wide->Parent(), pager);
  HWND wnd = pager->Handle();
  pager->SetPosition(50);
  EXPECT_EQ(pager->Position(), static_cast<int>(SendMessageA(wnd, PGM_GETPOS, 0, 0)));
  delete wide;
  EXPECT_EQ(pager->Control(), nullptr);
}
