#include "pickers.h"

#include "filer.h"
#include "sysutils.h"

#include <algorithm>
#include <cmath>
#include <vector>

CL_DEFINE_COMPONENT(TDateTimePicker, TWinControl)
CL_DEFINE_COMPONENT(TMonthCalendar, TWinControl)
CL_DEFINE_COMPONENT(TTrackBar, TWinControl)
CL_DEFINE_COMPONENT(TCustomUpDown, TWinControl)
CL_DEFINE_COMPONENT(TUpDown, TCustomUpDown)
CL_DEFINE_COMPONENT(TPageScroller, TWinControl)

namespace {

TDateTime WholeDays(TDateTime value) { return std::floor(value); }

}  // namespace

// ===========================================================================
// Date/time picker

CL_BEGIN_MESSAGE_MAP(TDateTimePicker, TWinControl)
  CL_MESSAGE(CN_NOTIFY, CNNotify)
CL_END_MESSAGE_MAP

TDateTimePicker::TDateTimePicker(TComponent* owner) : TWinControl(owner), FDateTime(Now()) {
  FTabStop = true;
  SetBounds(0, 0, 186, 21);
}

void TDateTimePicker::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, DATETIMEPICK_CLASSA);
  if (FKind == dtkTime) params.Style |= DTS_TIMEFORMAT;
  else if (FDateFormat == dfLong) params.Style |= DTS_LONGDATEFORMAT;
  if (FShowCheckbox) params.Style |= DTS_SHOWNONE;
}

void TDateTimePicker::CreateWnd() {
  TWinControl::CreateWnd();
  UpdateWindow();
}

void TDateTimePicker::UpdateWindow() {
  if (!HandleAllocated()) return;
  SYSTEMTIME st{};
  DateTimeToSystemTime(FDateTime, st);
  SendMessageA(FHandle, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
  // Wine refuses GDT_NONE without a time record, though it reads none.
  if (FShowCheckbox && !FChecked) SendMessageA(FHandle, DTM_SETSYSTEMTIME, GDT_NONE, reinterpret_cast<LPARAM>(&st));
}

void TDateTimePicker::SetDateTime(TDateTime value) {
  FDateTime = value;
  UpdateWindow();
}

TDateTime TDateTimePicker::Date() const { return WholeDays(FDateTime); }
void TDateTimePicker::SetDate(TDateTime value) { SetDateTime(WholeDays(value) + (FDateTime - WholeDays(FDateTime))); }
TDateTime TDateTimePicker::Time() const { return FDateTime - WholeDays(FDateTime); }
void TDateTimePicker::SetTime(TDateTime value) { SetDateTime(WholeDays(FDateTime) + (value - WholeDays(value))); }

void TDateTimePicker::SetKind(TDateTimeKind value) {
  if (FKind == value) return;
  FKind = value;
  RecreateWnd();
}

void TDateTimePicker::SetDateFormat(TDTDateFormat value) {
  if (FDateFormat == value) return;
  FDateFormat = value;
  RecreateWnd();
}

void TDateTimePicker::SetShowCheckbox(bool value) {
  if (FShowCheckbox == value) return;
  FShowCheckbox = value;
  RecreateWnd();
}

bool TDateTimePicker::Checked() {
  if (HandleAllocated() && FShowCheckbox) {
    SYSTEMTIME st{};
    FChecked = SendMessageA(FHandle, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) == GDT_VALID;
  }
  return FChecked;
}

void TDateTimePicker::SetChecked(bool value) {
  FChecked = value;
  UpdateWindow();
}

void TDateTimePicker::Change() {
  if (OnChange) OnChange(this);
}

void TDateTimePicker::CNNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  if (hdr->code != DTN_DATETIMECHANGE) return;
  auto* change = reinterpret_cast<NMDATETIMECHANGE*>(m.LParam);
  if (change->dwFlags == GDT_VALID) {
    FDateTime = SystemTimeToDateTime(change->st);
    FChecked = true;
  } else {
    FChecked = false;
  }
  Change();
}

// ===========================================================================
// Month calendar

CL_BEGIN_MESSAGE_MAP(TMonthCalendar, TWinControl)
  CL_MESSAGE(CN_NOTIFY, CNNotify)
CL_END_MESSAGE_MAP

TMonthCalendar::TMonthCalendar(TComponent* owner) : TWinControl(owner), FDate(WholeDays(Now())) {
  FTabStop = true;
  SetBounds(0, 0, 191, 154);
}

void TMonthCalendar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, MONTHCAL_CLASSA);
  params.Style |= MCS_DAYSTATE;
}

void TMonthCalendar::CreateWnd() {
  TWinControl::CreateWnd();
  SetDate(FDate);
}

TDateTime TMonthCalendar::GetDate() {
  if (HandleAllocated()) {
    SYSTEMTIME st{};
    if (SendMessageA(FHandle, MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&st))) {
      st.wHour = st.wMinute = st.wSecond = st.wMilliseconds = 0;
      FDate = SystemTimeToDateTime(st);
    }
  }
  return WholeDays(FDate);
}

void TMonthCalendar::SetDate(TDateTime value) {
  FDate = WholeDays(value);
  if (!HandleAllocated()) return;
  SYSTEMTIME st{};
  DateTimeToSystemTime(FDate, st);
  SendMessageA(FHandle, MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&st));
}

void TMonthCalendar::GetDayStates(NMDAYSTATE* request) {
  int month = request->stStart.wMonth;
  for (int i = 0; i < request->cDayState; ++i) {
    unsigned bold = 0;
    if (OnGetMonthInfo) OnGetMonthInfo(this, static_cast<unsigned>(month), bold);
    request->prgDayState[i] = bold;
    month = month % 12 + 1;
  }
}

void TMonthCalendar::CNNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  switch (hdr->code) {
    case MCN_GETDAYSTATE:
      GetDayStates(reinterpret_cast<NMDAYSTATE*>(m.LParam));
      break;
    case MCN_SELECT:
      GetDate();
      if (OnClick) OnClick(this);
      break;
    default:
      break;
  }
}

// ===========================================================================
// Track bar

CL_BEGIN_MESSAGE_MAP(TTrackBar, TWinControl)
  CL_MESSAGE(CN_HSCROLL, CNScroll)
  CL_MESSAGE(CN_VSCROLL, CNScroll)
CL_END_MESSAGE_MAP

TTrackBar::TTrackBar(TComponent* owner) : TWinControl(owner) {
  FTabStop = true;
  SetBounds(0, 0, 150, 45);
}

void TTrackBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, TRACKBAR_CLASSA);
  params.Style |= TBS_AUTOTICKS | (FOrientation == trVertical ? TBS_VERT : TBS_HORZ);
}

void TTrackBar::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageA(FHandle, TBM_SETRANGEMIN, 0, FMin);
  SendMessageA(FHandle, TBM_SETRANGEMAX, 0, FMax);
  SendMessageA(FHandle, TBM_SETTICFREQ, FFrequency, 0);
  SendMessageA(FHandle, TBM_SETPOS, 1, FPosition);
}

void TTrackBar::DestroyWnd() {
  FPosition = Position();
  TWinControl::DestroyWnd();
}

int TTrackBar::Position() {
  if (HandleAllocated()) FPosition = static_cast<int>(SendMessageA(FHandle, TBM_GETPOS, 0, 0));
  return FPosition;
}

void TTrackBar::SetPosition(int value) {
  value = std::clamp(value, FMin, std::max(FMin, FMax));
  if (value == Position()) return;
  FPosition = value;
  if (HandleAllocated()) SendMessageA(FHandle, TBM_SETPOS, 1, value);
  Change();
}

void TTrackBar::SetMin(int value) {
  FMin = value;
  if (HandleAllocated()) SendMessageA(FHandle, TBM_SETRANGEMIN, 1, value);
}

void TTrackBar::SetMax(int value) {
  FMax = value;
  if (HandleAllocated()) SendMessageA(FHandle, TBM_SETRANGEMAX, 1, value);
}

void TTrackBar::SetFrequency(int value) {
  FFrequency = value;
  if (HandleAllocated()) SendMessageA(FHandle, TBM_SETTICFREQ, value, 0);
}

void TTrackBar::SetOrientation(TTrackBarOrientation value) {
  if (FOrientation == value) return;
  FOrientation = value;
  if (!(ComponentState() & csLoading)) SetBounds(Left(), Top(), Height(), Width());
  RecreateWnd();
}

void TTrackBar::Change() {
  if (OnChange) OnChange(this);
}

void TTrackBar::CNScroll(TMessage& m) {
  int old = FPosition;
  if (Position() != old) Change();
  m.Result = 0;
}

// ===========================================================================
// Up-down

CL_BEGIN_MESSAGE_MAP(TCustomUpDown, TWinControl)
  CL_MESSAGE(CN_NOTIFY, CNNotify)
  CL_MESSAGE(CN_HSCROLL, CNScroll)
  CL_MESSAGE(CN_VSCROLL, CNScroll)
CL_END_MESSAGE_MAP

TCustomUpDown::TCustomUpDown(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 17, 25); }

TCustomUpDown::~TCustomUpDown() {
  Destroying();
  if (HandleAllocated()) DestroyHandle();
}

void TCustomUpDown::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, UPDOWN_CLASSA);
  params.Style |= UDS_SETBUDDYINT | UDS_ARROWKEYS;
  if (FWrap) params.Style |= UDS_WRAP;
  if (FOrientation == udHorizontal) params.Style |= UDS_HORZ;
}

void TCustomUpDown::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageA(FHandle, UDM_SETRANGE32, FMin, FMax);
  SendMessageA(FHandle, UDM_SETPOS32, 0, FPosition);
  UDACCEL accel{0, static_cast<UINT>(FIncrement)};
  SendMessageA(FHandle, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
  if (FAssociate) SendMessageA(FHandle, UDM_SETBUDDY, reinterpret_cast<WPARAM>(FAssociate->Handle()), 0);
}

void TCustomUpDown::DestroyWnd() {
  FPosition = Position();
  TWinControl::DestroyWnd();
}

int TCustomUpDown::Position() {
  if (HandleAllocated()) {
    BOOL failed = FALSE;
    int pos = static_cast<int>(SendMessageA(FHandle, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed)));
    if (!failed) FPosition = pos;
  }
  return FPosition;
}

void TCustomUpDown::SetPosition(int value) {
  FPosition = std::clamp(value, std::min(FMin, FMax), std::max(FMin, FMax));
  if (HandleAllocated()) SendMessageA(FHandle, UDM_SETPOS32, 0, FPosition);
}

void TCustomUpDown::SetMin(int value) {
  FMin = value;
  if (HandleAllocated()) SendMessageA(FHandle, UDM_SETRANGE32, FMin, FMax);
}

void TCustomUpDown::SetMax(int value) {
  FMax = value;
  if (HandleAllocated()) SendMessageA(FHandle, UDM_SETRANGE32, FMin, FMax);
}

void TCustomUpDown::SetIncrement(int value) {
  FIncrement = value;
  if (!HandleAllocated()) return;
  UDACCEL accel{0, static_cast<UINT>(value)};
  SendMessageA(FHandle, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
}

void TCustomUpDown::SetWrap(bool value) {
  if (FWrap == value) return;
  FWrap = value;
  RecreateWnd();
}

void TCustomUpDown::SetOrientation(TUDOrientation value) {
  if (FOrientation == value) return;
  FOrientation = value;
  RecreateWnd();
}

void TCustomUpDown::SetAssociate(TWinControl* value) {
  if (FAssociate == value) return;
  FAssociate = value;
  if (value) value->FreeNotification(this);
  if (HandleAllocated())
    SendMessageA(FHandle, UDM_SETBUDDY, value ? reinterpret_cast<WPARAM>(value->Handle()) : 0, 0);
}

void TCustomUpDown::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == FAssociate) {
    FAssociate = nullptr;
    if (HandleAllocated()) SendMessageA(FHandle, UDM_SETBUDDY, 0, 0);
  }
}

bool TCustomUpDown::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TCustomUpDown::Click(TUDBtnType button) {
  if (OnClick) OnClick(this, button);
}

void TCustomUpDown::CNNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  if (hdr->code == UDN_DELTAPOS) m.Result = CanChange() ? 0 : 1;
}

void TCustomUpDown::CNScroll(TMessage& m) {
  if (LOWORD(m.WParam) == SB_THUMBPOSITION) {
    int old = FPosition;
    int now = Position();
    if (now != old || FWrap) Click(now > old ? btNext : btPrev);
  }
  m.Result = 0;
}

// ===========================================================================
// Pager

CL_BEGIN_MESSAGE_MAP(TPageScroller, TWinControl)
  CL_MESSAGE(CN_NOTIFY, CNNotify)
CL_END_MESSAGE_MAP

TPageScroller::TPageScroller(TComponent* owner) : TWinControl(owner) {
  FControlStyle = FControlStyle | csAcceptsControls;
  SetBounds(0, 0, 150, 45);
}

void TPageScroller::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, WC_PAGESCROLLERA);
  params.Style |= FOrientation == soVertical ? PGS_VERT : PGS_HORZ;
}

void TPageScroller::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageA(FHandle, PGM_SETBUTTONSIZE, 0, FButtonSize);
  if (FControl) SendMessageA(FHandle, PGM_SETCHILD, 0, reinterpret_cast<LPARAM>(FControl->Handle()));
  SendMessageA(FHandle, PGM_SETPOS, 0, FPosition);
}

void TPageScroller::SetControl(TWinControl* value) {
  if (FControl == value) return;
  FControl = value;
  if (value) {
    value->FreeNotification(this);
    value->SetParent(this);
  }
  if (HandleAllocated()) {
    SendMessageA(FHandle, PGM_SETCHILD, 0, value ? reinterpret_cast<LPARAM>(value->Handle()) : 0);
    SendMessageA(FHandle, PGM_RECALCSIZE, 0, 0);
  }
}

void TPageScroller::SetOrientation(TPageScrollerOrientation value) {
  if (FOrientation == value) return;
  FOrientation = value;
  RecreateWnd();
}

void TPageScroller::SetButtonSize(int value) {
  FButtonSize = value;
  if (HandleAllocated()) SendMessageA(FHandle, PGM_SETBUTTONSIZE, 0, value);
}

int TPageScroller::Position() {
  if (HandleAllocated()) FPosition = static_cast<int>(SendMessageA(FHandle, PGM_GETPOS, 0, 0));
  return FPosition;
}

void TPageScroller::SetPosition(int value) {
  FPosition = value;
  if (HandleAllocated()) SendMessageA(FHandle, PGM_SETPOS, 0, value);
}

void TPageScroller::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == FControl) FControl = nullptr;
}

void TPageScroller::AlignControls(TControl* control, TRect& rect) {
  // The pager places its child itself; other children align as usual.
  TWinControl::AlignControls(control, rect);
  if (FControl && HandleAllocated()) SendMessageA(FHandle, PGM_RECALCSIZE, 0, 0);
}

void TPageScroller::CNNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  if (hdr->code == static_cast<UINT>(PGN_CALCSIZE) && FControl) {
    auto* calc = reinterpret_cast<NMPGCALCSIZE*>(m.LParam);
    if (calc->dwFlag == PGF_CALCWIDTH) calc->iWidth = FControl->Width();
    else calc->iHeight = FControl->Height();
  }
}

// ===========================================================================

namespace {
const char* const DateTimeKindNames[] = {"dtkDate", "dtkTime"};
const char* const DateFormatNames[] = {"dfShort", "dfLong"};
const char* const TrackOrientationNames[] = {"trHorizontal", "trVertical"};
const char* const UDOrientationNames[] = {"udHorizontal", "udVertical"};
const char* const PagerOrientationNames[] = {"soHorizontal", "soVertical"};
}  // namespace

void UnitInit_pickers() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_DATE_CLASSES | ICC_PAGESCROLLER_CLASS | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterClasses({&TDateTimePicker::Class, &TMonthCalendar::Class, &TTrackBar::Class, &TUpDown::Class,
                   &TPageScroller::Class});
  const TMetaClass* c = &TDateTimePicker::Class;
  RegisterProperty(c, "DateFormat", TPropType::Enum(DateFormatNames), &TDateTimePicker::SetDateFormat,
                   &TDateTimePicker::DateFormat);
  RegisterProperty(c, "Kind", TPropType::Enum(DateTimeKindNames), &TDateTimePicker::SetKind, &TDateTimePicker::Kind);
  RegisterProperty(c, "ShowCheckbox", pkBool, &TDateTimePicker::SetShowCheckbox, &TDateTimePicker::ShowCheckbox);
  c = &TTrackBar::Class;
  RegisterProperty(c, "Frequency", pkInteger, &TTrackBar::SetFrequency, &TTrackBar::Frequency);
  RegisterProperty(c, "Max", pkInteger, &TTrackBar::SetMax, &TTrackBar::Max);
  RegisterProperty(c, "Min", pkInteger, &TTrackBar::SetMin, &TTrackBar::Min);
  RegisterProperty(c, "Orientation", TPropType::Enum(TrackOrientationNames), &TTrackBar::SetOrientation,
                   &TTrackBar::Orientation);
  RegisterProperty(c, "Position", pkInteger, &TTrackBar::SetPosition, &TTrackBar::Position);
  c = &TCustomUpDown::Class;
  RegisterProperty(c, "Associate", pkComponent, &TCustomUpDown::SetAssociate, &TCustomUpDown::Associate);
  RegisterProperty(c, "Increment", pkInteger, &TCustomUpDown::SetIncrement, &TCustomUpDown::Increment);
  RegisterProperty(c, "Max", pkInteger, &TCustomUpDown::SetMax, &TCustomUpDown::Max);
  RegisterProperty(c, "Min", pkInteger, &TCustomUpDown::SetMin, &TCustomUpDown::Min);
  RegisterProperty(c, "Orientation", TPropType::Enum(UDOrientationNames), &TCustomUpDown::SetOrientation,
                   &TCustomUpDown::Orientation);
  RegisterProperty(c, "Position", pkInteger, &TCustomUpDown::SetPosition, &TCustomUpDown::Position);
  RegisterProperty(c, "Wrap", pkBool, &TCustomUpDown::SetWrap, &TCustomUpDown::Wrap);
  c = &TPageScroller::Class;
  RegisterProperty(c, "ButtonSize", pkInteger, &TPageScroller::SetButtonSize, &TPageScroller::ButtonSize);
  RegisterProperty(c, "Control", pkComponent, &TPageScroller::SetControl, &TPageScroller::Control);
  RegisterProperty(c, "Orientation", TPropType::Enum(PagerOrientationNames), &TPageScroller::SetOrientation,
                   &TPageScroller::Orientation);
}

void UnitFini_pickers() {}
