// The date/time picker and month calendar as Unicode windows, and the
// controls that only gain a wide hint: track bar, progress bar, up-down and
// pager.
#pragma once

#include "comctrls.h"
#include "pickers.h"

#include "UcControls.h"

class TUcDateTimePicker : public TDateTimePicker {
  CL_CLASS(TUcDateTimePicker, TDateTimePicker)
  CL_DECLARE_MESSAGE_MAP(TUcDateTimePicker)
public:
  explicit TUcDateTimePicker(TComponent* owner) : TDateTimePicker(owner) {}

  UC_WIDE_WINDOW_MEMBERS
  void CreateWnd() override;
  // The native picker reports no change for the first click on its check
  // box: the control reports it to itself.
  void WMLButtonDown(TMessage& m);

  bool FFirstClickHandled = false;
};

class TUcMonthCalendar : public TMonthCalendar {
  CL_CLASS(TUcMonthCalendar, TMonthCalendar)
public:
  explicit TUcMonthCalendar(TComponent* owner) : TMonthCalendar(owner) {}

  UC_WIDE_WINDOW_MEMBERS
};

// The standard members of a common control whose only wide text is its hint.
#define UC_HINT_ONLY_COMMON_CONTROL(TUcName, TBase)         \
  class TUcName : public TBase {                            \
    CL_CLASS(TUcName, TBase)                                \
  public:                                                   \
    explicit TUcName(TComponent* owner) : TBase(owner) {}   \
    UC_WIDE_WINDOW_MEMBERS                                  \
  };

UC_HINT_ONLY_COMMON_CONTROL(TUcTrackBar, TTrackBar)
UC_HINT_ONLY_COMMON_CONTROL(TUcProgressBar, TProgressBar)
UC_HINT_ONLY_COMMON_CONTROL(TUcCustomUpDown, TCustomUpDown)
UC_HINT_ONLY_COMMON_CONTROL(TUcPageScroller, TPageScroller)

class TUcUpDown : public TUcCustomUpDown {
  CL_CLASS(TUcUpDown, TUcCustomUpDown)
public:
  explicit TUcUpDown(TComponent* owner) : TUcCustomUpDown(owner) {}
};

void UnitInit_UcPickers();
void UnitFini_UcPickers();
