#include "UcPickers.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcComCtrls.h"
#include "UcComponentProps.h"
#include "UcRegister.h"

#include <vector>

CL_DEFINE_COMPONENT(TUcDateTimePicker, TDateTimePicker)
CL_DEFINE_COMPONENT(TUcMonthCalendar, TMonthCalendar)
CL_DEFINE_COMPONENT(TUcTrackBar, TTrackBar)
CL_DEFINE_COMPONENT(TUcProgressBar, TProgressBar)
CL_DEFINE_COMPONENT(TUcCustomUpDown, TCustomUpDown)
CL_DEFINE_COMPONENT(TUcUpDown, TUcCustomUpDown)
CL_DEFINE_COMPONENT(TUcPageScroller, TPageScroller)

#define UC_HINT_ONLY_COMMON_CONTROL_BODY(TUcName, TBase, wideClass)         \
  UC_STANDARD_OVERRIDES_BODY(TUcName, TBase)                                \
  void TUcName::CreateWindowHandle(const TCreateParams& params) {           \
    CreateUnicodeHandle_ComCtl(this, params, wideClass);                    \
  }

UC_HINT_ONLY_COMMON_CONTROL_BODY(TUcTrackBar, TTrackBar, TRACKBAR_CLASSW)
UC_HINT_ONLY_COMMON_CONTROL_BODY(TUcProgressBar, TProgressBar, PROGRESS_CLASSW)
UC_HINT_ONLY_COMMON_CONTROL_BODY(TUcCustomUpDown, TCustomUpDown, UPDOWN_CLASSW)
UC_HINT_ONLY_COMMON_CONTROL_BODY(TUcPageScroller, TPageScroller, WC_PAGESCROLLERW)

// ===========================================================================
// Date/time picker

CL_BEGIN_MESSAGE_MAP(TUcDateTimePicker, TDateTimePicker)
  CL_MESSAGE(WM_LBUTTONDOWN, WMLButtonDown)
CL_END_MESSAGE_MAP

UC_STANDARD_OVERRIDES_BODY(TUcDateTimePicker, TDateTimePicker)

void TUcDateTimePicker::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle_ComCtl(this, params, DATETIMEPICK_CLASSW);
}

void TUcDateTimePicker::CreateWnd() {
  FFirstClickHandled = false;
  bool checked = Checked();
  TDateTimePicker::CreateWnd();
  SetChecked(checked);
}

void TUcDateTimePicker::WMLButtonDown(TMessage& m) {
  InheritedMsg(&TDateTimePicker::MessageMap, m);
  if (!ShowCheckbox() || FFirstClickHandled || !HandleAllocated()) return;
  FFirstClickHandled = true;
  NMDATETIMECHANGE change{};
  change.nmhdr.hwndFrom = FHandle;
  change.nmhdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(FHandle));
  change.nmhdr.code = DTN_DATETIMECHANGE;
  LRESULT state = SendMessageW(FHandle, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&change.st));
  if (state == GDT_ERROR) return;
  change.dwFlags = static_cast<DWORD>(state);
  if (state == GDT_NONE) change.st = SYSTEMTIME{};
  Perform(CN_NOTIFY, change.nmhdr.idFrom, reinterpret_cast<LPARAM>(&change));
}

// ===========================================================================
// Month calendar

UC_STANDARD_OVERRIDES_BODY(TUcMonthCalendar, TMonthCalendar)

void TUcMonthCalendar::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle_ComCtl(this, params, MONTHCAL_CLASSW);
  if (!Win32PlatformIsUnicode || !HandleAllocated()) return;
  // The Unicode window does not ask for the bold days of the months it shows
  // first: the control asks itself and hands the answer over.
  NMDAYSTATE request{};
  SYSTEMTIME range[2] = {};
  int months = static_cast<int>(SendMessageW(FHandle, MCM_GETMONTHRANGE, GMR_DAYSTATE, reinterpret_cast<LPARAM>(range)));
  if (months <= 0) return;
  std::vector<MONTHDAYSTATE> states(static_cast<size_t>(months), 0);
  request.nmhdr.hwndFrom = FHandle;
  request.nmhdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(FHandle));
  request.nmhdr.code = MCN_GETDAYSTATE;
  request.stStart = range[0];
  request.cDayState = months;
  request.prgDayState = states.data();
  Perform(CN_NOTIFY, request.nmhdr.idFrom, reinterpret_cast<LPARAM>(&request));
  SendMessageW(FHandle, MCM_SETDAYSTATE, static_cast<WPARAM>(months), reinterpret_cast<LPARAM>(states.data()));
}

// ===========================================================================

void UnitInit_UcPickers() {
  RegisterClasses({&TUcDateTimePicker::Class, &TUcMonthCalendar::Class, &TUcTrackBar::Class, &TUcProgressBar::Class,
                   &TUcUpDown::Class, &TUcPageScroller::Class});
  RegisterUcWideHint<TUcDateTimePicker>();
  RegisterUcWideHint<TUcMonthCalendar>();
  RegisterUcWideHint<TUcTrackBar>();
  RegisterUcWideHint<TUcProgressBar>();
  RegisterUcWideHint<TUcCustomUpDown>();
  RegisterUcWideHint<TUcPageScroller>();
}

void UnitFini_UcPickers() {}
