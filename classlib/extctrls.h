// The extra controls: panel, bevel, splitter, image, and the timer.
#pragma once

#include "stdctrls.h"

enum TPanelBevel : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
enum TBevelShape : uint8_t { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle : uint8_t { bsLowered, bsRaised };
enum TResizeStyle : uint8_t { rsNone, rsLine, rsUpdate, rsPattern };

class TCustomPanel : public TCustomControl {
  CL_CLASS(TCustomPanel, TCustomControl)
  CL_DECLARE_MESSAGE_MAP(TCustomPanel)
public:
  explicit TCustomPanel(TComponent* owner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  TPanelBevel BevelInner() const { return FBevelInner; }
  void SetBevelInner(TPanelBevel v);
  TPanelBevel BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TPanelBevel v);
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int v);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle v);
  // A size change repaints the whole panel; without it only the frame at
  // the old and the new edges is repainted (and the caption, which moves).
  bool FullRepaint() const { return FFullRepaint; }
  void SetFullRepaint(bool v) { FFullRepaint = v; }

protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  // Children are placed inside the border and the bevels.
  void AlignControls(TControl* control, TRect& rect) override;
  // The border and the bevels: how far the frame reaches in from each edge.
  int FrameWidth() const;
  void CMTextChanged(TMessage& m);
  void WMWindowPosChanged(TMessage& m);

  TAlignment FAlignment = taCenter;
  TPanelBevel FBevelInner = bvNone;
  TPanelBevel FBevelOuter = bvRaised;
  int FBevelWidth = 1;
  TBorderStyle FBorderStyle = bsNone;
  bool FFullRepaint = true;
};

class TPanel : public TCustomPanel {
  CL_CLASS(TPanel, TCustomPanel)
public:
  explicit TPanel(TComponent* owner) : TCustomPanel(owner) {}
};

class TBevel : public TGraphicControl {
  CL_CLASS(TBevel, TGraphicControl)
public:
  explicit TBevel(TComponent* owner);
  TBevelShape Shape() const { return FShape; }
  void SetShape(TBevelShape v);
  TBevelStyle Style() const { return FStyle; }
  void SetStyle(TBevelStyle v);

protected:
  void Paint() override;

private:
  TBevelShape FShape = bsBox;
  TBevelStyle FStyle = bsLowered;
};

using TSplitterCanResizeEvent = TEvent<void(TObject* sender, int& newSize, bool& accept)>;

// Drags the edge of the control it is aligned against (the neighbour on its
// aligned side), within MinSize on both sides.
class TSplitter : public TGraphicControl {
  CL_CLASS(TSplitter, TGraphicControl)
public:
  explicit TSplitter(TComponent* owner);
  ~TSplitter() override;

  int MinSize() const { return FMinSize; }
  void SetMinSize(int v) { FMinSize = v > 0 ? v : 1; }
  TResizeStyle ResizeStyle() const { return FResizeStyle; }
  void SetResizeStyle(TResizeStyle v) { FResizeStyle = v; }
  bool Beveled() const { return FBeveled; }
  void SetBeveled(bool v);
  bool AutoSnap() const { return FAutoSnap; }
  void SetAutoSnap(bool v) { FAutoSnap = v; }

  TNotifyEvent OnMoved;
  // Hides the control's own size event: a splitter asks about the neighbour's size.
  TSplitterCanResizeEvent OnCanResize;
  TNotifyEvent GetOnMoved() const { return OnMoved; }
  void SetOnMoved(TNotifyEvent v) { OnMoved = v; }

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void RequestAlign() override;
  virtual bool DoCanResize(int& newSize);
  // The control on the aligned side of the splitter, or null.
  TControl* FindNeighbour();

private:
  void CalcSplitSize(int x, int y, int& newSize, int& split);
  void UpdateControlSize();
  void AllocateLineDC();
  void ReleaseLineDC();
  void DrawLine();
  void StopSizing();

  TControl* FControl = nullptr;
  TPoint FDownPos;
  int FMinSize = 30;
  int FMaxSize = 0;
  int FNewSize = 0;
  int FOldSize = -1;
  int FSplit = 0;
  TResizeStyle FResizeStyle = rsPattern;
  bool FBeveled = false;
  bool FAutoSnap = true;
  HDC FLineDC = nullptr;
  bool FLineVisible = false;
  HBRUSH FPrevBrush = nullptr;
};

class TImage : public TGraphicControl {
  CL_CLASS(TImage, TGraphicControl)
public:
  explicit TImage(TComponent* owner);
  ~TImage() override;

  TPicture* Picture() const { return FPicture; }
  void SetPicture(TPicture* v) { FPicture->Assign(v); }
  bool Stretch() const { return FStretch; }
  void SetStretch(bool v);
  // Fits the picture into the control keeping its aspect; it is enlarged
  // only with Stretch.
  bool Proportional() const { return FProportional; }
  void SetProportional(bool v);
  bool Center() const { return FCenter; }
  void SetCenter(bool v);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  void SetAutoSize(bool v) override;
  // The canvas of the picture's bitmap (an empty picture gets a bitmap of the
  // control's size); EInvalidOperation when the picture is not a bitmap.
  TCanvas* Canvas();
  // Where the picture is drawn in the control.
  TRect DestRect();

protected:
  void Paint() override;
  void PictureChanged(TObject* sender);
  // The picture object itself: a derived image may put one of its own kind
  // in its place.
  TPicture*& PictureObject() { return FPicture; }

private:
  TPicture* FPicture;
  bool FStretch = false;
  bool FProportional = false;
  bool FCenter = false;
  bool FTransparent = false;
  bool FDrawing = false;
};

// Calls OnTimer every Interval milliseconds while Enabled.
class TTimer : public TComponent {
  CL_CLASS(TTimer, TComponent)
public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned v);
  TNotifyEvent OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent v);
  void Loaded() override;

protected:
  virtual void Timer();

private:
  void UpdateTimer();
  void WndProc(TMessage& m);
  HWND FWindowHandle = nullptr;
  unsigned FInterval = 1000;
  bool FEnabled = true;
  TNotifyEvent FOnTimer;
};

// ---------------------------------------------------------------------------
// Shape, paint box and control bar.

enum TShapeType : uint8_t { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

// A figure drawn with its pen and brush.
class TShape : public TGraphicControl {
  CL_CLASS(TShape, TGraphicControl)
public:
  explicit TShape(TComponent* owner);
  ~TShape() override;

  TShapeType Shape() const { return FShape; }
  void SetShape(TShapeType v);
  TPen* Pen() const { return FPen; }
  void SetPen(TPen* v) { FPen->Assign(v); }
  TBrush* Brush() const { return FBrush; }
  void SetBrush(TBrush* v) { FBrush->Assign(v); }

protected:
  void Paint() override;
  void StyleChanged(TObject* sender);

private:
  TShapeType FShape = stRectangle;
  TPen* FPen;
  TBrush* FBrush;
};

// A windowless area the program paints in OnPaint.
class TPaintBox : public TGraphicControl {
  CL_CLASS(TPaintBox, TGraphicControl)
public:
  explicit TPaintBox(TComponent* owner);
  TNotifyEvent OnPaint;

protected:
  void Paint() override;
};

// A windowed area that holds other controls (the bands of a tool area).
class TCustomControlBar : public TCustomControl {
  CL_CLASS(TCustomControlBar, TCustomControl)
public:
  explicit TCustomControlBar(TComponent* owner);

protected:
  void Paint() override;
};

class TControlBar : public TCustomControlBar {
  CL_CLASS(TControlBar, TCustomControlBar)
public:
  explicit TControlBar(TComponent* owner) : TCustomControlBar(owner) {}
};

void UnitInit_extctrls();
void UnitFini_extctrls();
