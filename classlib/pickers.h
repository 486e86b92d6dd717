// Common controls that pick a value: the date/time picker, the month
// calendar, the track bar, the up-down control, and the pager that scrolls a
// control too big for its place.
#pragma once

#include "controls.h"

enum TDateTimeKind : uint8_t { dtkDate, dtkTime };
enum TDTDateFormat : uint8_t { dfShort, dfLong };

class TDateTimePicker : public TWinControl {
  CL_CLASS(TDateTimePicker, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TDateTimePicker)
public:
  explicit TDateTimePicker(TComponent* owner);

  TDateTime DateTime() const { return FDateTime; }
  void SetDateTime(TDateTime value);
  TDateTime Date() const;
  void SetDate(TDateTime value);
  TDateTime Time() const;
  void SetTime(TDateTime value);
  TDateTimeKind Kind() const { return FKind; }
  void SetKind(TDateTimeKind value);
  TDTDateFormat DateFormat() const { return FDateFormat; }
  void SetDateFormat(TDTDateFormat value);
  // With the check box shown, an unchecked picker holds no date.
  bool ShowCheckbox() const { return FShowCheckbox; }
  void SetShowCheckbox(bool value);
  bool Checked();
  void SetChecked(bool value);

  TNotifyEvent OnChange;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  virtual void Change();
  // Sends the value and the check state to the window.
  void UpdateWindow();
  void CNNotify(TMessage& m);

  TDateTime FDateTime;
  TDateTimeKind FKind = dtkDate;
  TDTDateFormat FDateFormat = dfShort;
  bool FShowCheckbox = false;
  bool FChecked = true;
};

using TOnGetMonthInfoEvent = TEvent<void(TObject* sender, unsigned month, unsigned& monthBoldInfo)>;

class TMonthCalendar : public TWinControl {
  CL_CLASS(TMonthCalendar, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TMonthCalendar)
public:
  explicit TMonthCalendar(TComponent* owner);

  // The selected day, whole days only.
  virtual TDateTime GetDate();
  virtual void SetDate(TDateTime value);
  TDateTime Date() { return GetDate(); }

  TNotifyEvent OnClick;
  // Bold days of a month (bit n-1 for day n), asked as months come into view.
  TOnGetMonthInfoEvent OnGetMonthInfo;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  // Fills the request's day states (one 32-bit mask per month).
  virtual void GetDayStates(NMDAYSTATE* request);
  void CNNotify(TMessage& m);

  TDateTime FDate;
};

enum TTrackBarOrientation : uint8_t { trHorizontal, trVertical };

class TTrackBar : public TWinControl {
  CL_CLASS(TTrackBar, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TTrackBar)
public:
  explicit TTrackBar(TComponent* owner);

  int Min() const { return FMin; }
  void SetMin(int value);
  int Max() const { return FMax; }
  void SetMax(int value);
  // Read from the window: the user moves it there.
  int Position();
  void SetPosition(int value);
  int Frequency() const { return FFrequency; }
  void SetFrequency(int value);
  TTrackBarOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TTrackBarOrientation value);

  TNotifyEvent OnChange;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  virtual void Change();
  void CNScroll(TMessage& m);

  int FMin = 0, FMax = 10, FPosition = 0, FFrequency = 1;
  TTrackBarOrientation FOrientation = trHorizontal;
};

enum TUDBtnType : uint8_t { btNext, btPrev };
enum TUDOrientation : uint8_t { udHorizontal, udVertical };

using TUDClickEvent = TEvent<void(TObject* sender, TUDBtnType button)>;
using TUDChangingEvent = TEvent<void(TObject* sender, bool& allowChange)>;

class TCustomUpDown : public TWinControl {
  CL_CLASS(TCustomUpDown, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TCustomUpDown)
public:
  explicit TCustomUpDown(TComponent* owner);
  ~TCustomUpDown() override;

  int Min() const { return FMin; }
  void SetMin(int value);
  int Max() const { return FMax; }
  void SetMax(int value);
  int Position();
  void SetPosition(int value);
  int Increment() const { return FIncrement; }
  void SetIncrement(int value);
  bool Wrap() const { return FWrap; }
  void SetWrap(bool value);
  TUDOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TUDOrientation value);
  // The control (an edit) whose text shows the position.
  TWinControl* Associate() const { return FAssociate; }
  void SetAssociate(TWinControl* value);

  TUDClickEvent OnClick;
  TUDChangingEvent OnChanging;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Notification(TComponent* component, TOperation operation) override;
  virtual bool CanChange();
  virtual void Click(TUDBtnType button);
  void CNNotify(TMessage& m);
  void CNScroll(TMessage& m);

  int FMin = 0, FMax = 100, FPosition = 0, FIncrement = 1;
  bool FWrap = false;
  TUDOrientation FOrientation = udVertical;
  TWinControl* FAssociate = nullptr;
};

class TUpDown : public TCustomUpDown {
  CL_CLASS(TUpDown, TCustomUpDown)
public:
  explicit TUpDown(TComponent* owner) : TCustomUpDown(owner) {}
};

enum TPageScrollerOrientation : uint8_t { soHorizontal, soVertical };

class TPageScroller : public TWinControl {
  CL_CLASS(TPageScroller, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TPageScroller)
public:
  explicit TPageScroller(TComponent* owner);

  // The scrolled control, a child of the pager.
  TWinControl* Control() const { return FControl; }
  void SetControl(TWinControl* value);
  TPageScrollerOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TPageScrollerOrientation value);
  int ButtonSize() const { return FButtonSize; }
  void SetButtonSize(int value);
  int Position();
  void SetPosition(int value);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Notification(TComponent* component, TOperation operation) override;
  void AlignControls(TControl* control, TRect& rect) override;
  void CNNotify(TMessage& m);

  TWinControl* FControl = nullptr;
  TPageScrollerOrientation FOrientation = soHorizontal;
  int FButtonSize = 12;
  int FPosition = 0;
};

void UnitInit_pickers();
void UnitFini_pickers();
