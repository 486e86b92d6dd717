#include "extctrls.h"

#include <algorithm>

#include "forms.h"
#include "thunk.h"

CL_DEFINE_COMPONENT(TCustomPanel, TCustomControl)
CL_DEFINE_COMPONENT(TPanel, TCustomPanel)
CL_DEFINE_COMPONENT(TBevel, TGraphicControl)
CL_DEFINE_COMPONENT(TSplitter, TGraphicControl)
CL_DEFINE_COMPONENT(TImage, TGraphicControl)
CL_DEFINE_COMPONENT(TTimer, TComponent)

// ---------------------------------------------------------------------------
// TCustomPanel

CL_BEGIN_MESSAGE_MAP(TCustomPanel, TCustomControl)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
  CL_MESSAGE(WM_WINDOWPOSCHANGED, WMWindowPosChanged)
CL_END_MESSAGE_MAP

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  FControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks |
                  csReplicatable;
  SetBounds(0, 0, 185, 41);
  SetParentColor(false);
  SetColor(clBtnFace);
}

void TCustomPanel::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  // The window class is shared by every panel of the class while FullRepaint
  // is each panel's own, so the class repaints nothing on a size change and
  // the panel invalidates what the change touched itself (WMWindowPosChanged).
  params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
  if (FBorderStyle == bsSingle) {
    if (FCtl3D)
      params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      params.Style |= WS_BORDER;
  }
}

void TCustomPanel::Paint() {
  TCanvas* c = TCustomControl::Canvas();
  TRect r = ClientRect();
  auto bevelColors = [](TPanelBevel bevel, TColor& top, TColor& bottom) {
    top = bevel == bvLowered ? clBtnShadow : clBtnHighlight;
    bottom = bevel == bvLowered ? clBtnHighlight : clBtnShadow;
  };
  TColor top, bottom;
  if (FBevelOuter != bvNone) {
    bevelColors(FBevelOuter, top, bottom);
    Frame3D(c, r, top, bottom, FBevelWidth);
  }
  Frame3D(c, r, Color(), Color(), BorderWidth());
  if (FBevelInner != bvNone) {
    bevelColors(FBevelInner, top, bottom);
    Frame3D(c, r, top, bottom, FBevelWidth);
  }
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(r);
  c->Brush()->SetStyle(bsClear);
  c->SetFont(Font());
  // One line, centred on the height of a capital.
  int h = c->TextHeight("W");
  r.top = (r.top + r.bottom - h) / 2;
  r.bottom = r.top + h;
  static const UINT alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  UINT flags = DrawTextBiDiModeFlags(DT_EXPANDTABS | DT_VCENTER | alignments[FAlignment]);
  AnsiString caption = GetText();
  c->RequiredState(csHandleValid | csFontValid | csBrushValid);
  DrawTextA(c->Handle(), caption.c_str(), caption.Length(), &r, flags);
}

int TCustomPanel::FrameWidth() const {
  int width = BorderWidth();
  if (FBevelOuter != bvNone) width += FBevelWidth;
  if (FBevelInner != bvNone) width += FBevelWidth;
  return width;
}

void TCustomPanel::AlignControls(TControl* control, TRect& rect) {
  const int frame = FrameWidth();
  InflateRect(&rect, -frame, -frame);
  TCustomControl::AlignControls(control, rect);
}

void TCustomPanel::CMTextChanged(TMessage&) { Invalidate(); }

void TCustomPanel::WMWindowPosChanged(TMessage& m) {
  const int oldWidth = FWidth, oldHeight = FHeight;
  TCustomControl::WMWindowPosChanged(m);
  if (!HandleAllocated() || (FWidth == oldWidth && FHeight == oldHeight)) return;
  // The frame was drawn along the old right and bottom edges: what lies
  // there now, and the new edges, are painted again. A caption is placed by
  // the size, so it moves.
  if (FFullRepaint || GetTextLen() > 0) {
    Invalidate();
    return;
  }
  const int frame = FrameWidth();
  if (frame == 0) return;
  RECT client;
  ::GetClientRect(FHandle, &client);
  const BOOL erase = !(FControlStyle & csOpaque);
  // From the inner side of the nearer of the two edges to the new edge.
  if (FWidth != oldWidth) {
    RECT edge = {client.right - std::max(0, FWidth - oldWidth) - frame, 0, client.right, client.bottom};
    InvalidateRect(FHandle, &edge, erase);
  }
  if (FHeight != oldHeight) {
    RECT edge = {0, client.bottom - std::max(0, FHeight - oldHeight) - frame, client.right, client.bottom};
    InvalidateRect(FHandle, &edge, erase);
  }
}

void TCustomPanel::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  Invalidate();
}

void TCustomPanel::SetBevelInner(TPanelBevel v) {
  if (v == FBevelInner) return;
  FBevelInner = v;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TPanelBevel v) {
  if (v == FBevelOuter) return;
  FBevelOuter = v;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int v) {
  if (v < 1) v = 1;
  if (v == FBevelWidth) return;
  FBevelWidth = v;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle v) {
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  RecreateWnd();
}

// ---------------------------------------------------------------------------
// TBevel

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
  FControlStyle |= csReplicatable;
  SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape v) {
  if (v == FShape) return;
  FShape = v;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle v) {
  if (v == FStyle) return;
  FStyle = v;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas* c = Canvas();
  c->Pen()->SetWidth(1);
  TColor color1 = FStyle == bsLowered ? clBtnShadow : clBtnHighlight;
  TColor color2 = FStyle == bsLowered ? clBtnHighlight : clBtnShadow;
  auto bevelRect = [&](const TRect& r, TColor topLeft, TColor bottomRight) {
    c->Pen()->SetColor(topLeft);
    TPoint a[3] = {TPoint(r.left, r.bottom), TPoint(r.left, r.top), TPoint(r.right, r.top)};
    c->Polyline(a, 3);
    c->Pen()->SetColor(bottomRight);
    TPoint b[3] = {TPoint(r.right, r.top), TPoint(r.right, r.bottom), TPoint(r.left, r.bottom)};
    c->Polyline(b, 3);
  };
  auto bevelLine = [&](TColor color, int x1, int y1, int x2, int y2) {
    c->Pen()->SetColor(color);
    c->MoveTo(x1, y1);
    c->LineTo(x2, y2);
  };
  const int w = Width(), h = Height();
  switch (FShape) {
    case bsBox: bevelRect(TRect(0, 0, w - 1, h - 1), color1, color2); break;
    case bsFrame:
      // Two boxes, the outer in reverse, give a groove or a ridge.
      bevelRect(TRect(1, 1, w - 1, h - 1), color2, color2);
      bevelRect(TRect(0, 0, w - 2, h - 2), color1, color1);
      break;
    case bsTopLine:
      bevelLine(color1, 0, 0, w, 0);
      bevelLine(color2, 0, 1, w, 1);
      break;
    case bsBottomLine:
      bevelLine(color1, 0, h - 2, w, h - 2);
      bevelLine(color2, 0, h - 1, w, h - 1);
      break;
    case bsLeftLine:
      bevelLine(color1, 0, 0, 0, h);
      bevelLine(color2, 1, 0, 1, h);
      break;
    case bsRightLine:
      bevelLine(color1, w - 2, 0, w - 2, h);
      bevelLine(color2, w - 1, 0, w - 1, h);
      break;
    case bsSpacer: break;
  }
}

// ---------------------------------------------------------------------------
// TSplitter

TSplitter::TSplitter(TComponent* owner) : TGraphicControl(owner) {
  // The drag goes on while the mouse leaves the splitter.
  FControlStyle |= csCaptureMouse;
  SetAlign(alLeft);
  SetBounds(0, 0, 3, 100);
  SetCursor(crHSplit);
}

TSplitter::~TSplitter() { ReleaseLineDC(); }

void TSplitter::SetBeveled(bool v) {
  if (v == FBeveled) return;
  FBeveled = v;
  Invalidate();
}

void TSplitter::RequestAlign() {
  TGraphicControl::RequestAlign();
  if (Cursor() != crVSplit && Cursor() != crHSplit) return;
  SetCursor(Align() == alTop || Align() == alBottom ? crVSplit : crHSplit);
}

void TSplitter::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  if (!FBeveled) return;
  if (Align() == alLeft || Align() == alRight)
    InflateRect(&r, -1, 2);
  else
    InflateRect(&r, 2, -1);
  OffsetRect(&r, 1, 1);
  c->Brush()->SetColor(clBtnHighlight);
  c->FrameRect(r);
  OffsetRect(&r, -2, -2);
  c->Brush()->SetColor(clBtnShadow);
  c->FrameRect(r);
}

TControl* TSplitter::FindNeighbour() {
  if (!Parent()) return nullptr;
  TPoint p(Left(), Top());
  switch (Align()) {
    case alLeft: --p.x; break;
    case alRight: p.x += Width(); break;
    case alTop: --p.y; break;
    case alBottom: p.y += Height(); break;
    default: return nullptr;
  }
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl* c = Parent()->Controls(i);
    if (c == this || !c->Visible() || !c->Enabled()) continue;
    TRect r = c->BoundsRect();
    // A control of no width or height still counts when it touches the point.
    if (r.Width() == 0) (Align() == alTop || Align() == alLeft) ? --r.left : ++r.right;
    if (r.Height() == 0) (Align() == alTop || Align() == alLeft) ? --r.top : ++r.bottom;
    if (PtInRect(&r, p)) return c;
  }
  return nullptr;
}

bool TSplitter::DoCanResize(int& newSize) {
  bool accept = true;
  if (OnCanResize) OnCanResize(this, newSize, accept);
  if (accept && FAutoSnap && newSize < FMinSize) newSize = FMinSize;
  return accept;
}

void TSplitter::CalcSplitSize(int x, int y, int& newSize, int& split) {
  const bool horizontal = Align() == alLeft || Align() == alRight;
  int s = horizontal ? x - FDownPos.x : y - FDownPos.y;
  split = s;
  switch (Align()) {
    case alLeft: newSize = FControl->Width() + s; break;
    case alRight: newSize = FControl->Width() - s; break;
    case alTop: newSize = FControl->Height() + s; break;
    case alBottom: newSize = FControl->Height() - s; break;
    default: break;
  }
  int clamped = newSize;
  if (clamped < FMinSize) clamped = FMinSize;
  if (clamped > FMaxSize) clamped = FMaxSize;
  if (clamped != newSize) {
    // The line stops where the size stops.
    int diff = clamped - newSize;
    split += (Align() == alRight || Align() == alBottom) ? -diff : diff;
    newSize = clamped;
  }
}

void TSplitter::AllocateLineDC() {
  if (FLineDC || !Parent()) return;
  FLineDC = GetDCEx(Parent()->Handle(), nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_LOCKWINDOWUPDATE);
  if (FResizeStyle == rsPattern) {
    TBitmap* pattern = AllocPatternBitmap(clBlack, clWhite);
    HBRUSH brush = CreatePatternBrush(pattern->Handle());
    FPrevBrush = static_cast<HBRUSH>(SelectObject(FLineDC, brush));
  }
}

void TSplitter::ReleaseLineDC() {
  if (!FLineDC) return;
  if (FPrevBrush) DeleteObject(SelectObject(FLineDC, FPrevBrush));
  FPrevBrush = nullptr;
  ReleaseDC(Parent() ? Parent()->WindowHandle() : nullptr, FLineDC);
  FLineDC = nullptr;
}

void TSplitter::DrawLine() {
  if (!FLineDC) return;
  FLineVisible = !FLineVisible;
  TPoint p(Left(), Top());
  if (Align() == alLeft || Align() == alRight)
    p.x += FSplit;
  else
    p.y += FSplit;
  PatBlt(FLineDC, p.x, p.y, Width(), Height(), FResizeStyle == rsPattern ? PATINVERT : DSTINVERT);
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  FControl = FindNeighbour();
  FDownPos = TPoint(x, y);
  if (!FControl) return;
  const bool horizontal = Align() == alLeft || Align() == alRight;
  FMaxSize = (horizontal ? Parent()->ClientWidth() : Parent()->ClientHeight()) - FMinSize;
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl* c = Parent()->Controls(i);
    if (!c->Visible()) continue;
    if (horizontal && (c->Align() == alLeft || c->Align() == alRight)) FMaxSize -= c->Width();
    if (!horizontal && (c->Align() == alTop || c->Align() == alBottom)) FMaxSize -= c->Height();
  }
  FMaxSize += horizontal ? FControl->Width() : FControl->Height();
  FOldSize = horizontal ? FControl->Width() : FControl->Height();
  CalcSplitSize(x, y, FNewSize, FSplit);
  if (FResizeStyle == rsLine || FResizeStyle == rsPattern) {
    AllocateLineDC();
    DrawLine();
  }
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!FControl || !(shift & ssLeft)) return;
  int newSize = 0, split = 0;
  CalcSplitSize(x, y, newSize, split);
  if (!DoCanResize(newSize)) return;
  if (FResizeStyle == rsUpdate) {
    FNewSize = newSize;
    FSplit = split;
    UpdateControlSize();
    return;
  }
  if (FLineVisible) DrawLine();
  FNewSize = newSize;
  FSplit = split;
  DrawLine();
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (!FControl) return;
  if (FLineVisible) DrawLine();
  UpdateControlSize();
  StopSizing();
}

void TSplitter::StopSizing() {
  ReleaseLineDC();
  FLineVisible = false;
  FControl = nullptr;
}

void TSplitter::UpdateControlSize() {
  if (!FControl || FNewSize == FOldSize) return;
  switch (Align()) {
    case alLeft: FControl->SetWidth(FNewSize); break;
    case alTop: FControl->SetHeight(FNewSize); break;
    case alRight:
      Parent()->DisableAlign();
      FControl->SetBounds(FControl->Left() + FControl->Width() - FNewSize, FControl->Top(), FNewSize,
                          FControl->Height());
      Parent()->EnableAlign();
      break;
    case alBottom:
      Parent()->DisableAlign();
      FControl->SetBounds(FControl->Left(), FControl->Top() + FControl->Height() - FNewSize, FControl->Width(),
                          FNewSize);
      Parent()->EnableAlign();
      break;
    default: break;
  }
  FOldSize = FNewSize;
  if (OnMoved) OnMoved(this);
}

// ---------------------------------------------------------------------------
// TImage

TImage::TImage(TComponent* owner) : TGraphicControl(owner), FPicture(new TPicture) {
  FPicture->OnChange = MakeEvent<&TImage::PictureChanged>(this);
  FControlStyle |= csReplicatable;
  SetBounds(0, 0, 105, 105);
}

TImage::~TImage() { delete FPicture; }

TRect TImage::DestRect() {
  int w = FPicture->Width(), h = FPicture->Height();
  const int cw = ClientWidth(), ch = ClientHeight();
  if (FStretch || (FProportional && (w > cw || h > ch))) {
    if (FProportional && w > 0 && h > 0) {
      double aspect = static_cast<double>(w) / h;
      if (w > h) {
        w = cw;
        h = static_cast<int>(cw / aspect);
        if (h > ch) {
          h = ch;
          w = static_cast<int>(ch * aspect);
        }
      } else {
        h = ch;
        w = static_cast<int>(ch * aspect);
        if (w > cw) {
          w = cw;
          h = static_cast<int>(cw / aspect);
        }
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  int x = 0, y = 0;
  if (FCenter) {
    x = (cw - w) / 2;
    y = (ch - h) / 2;
  }
  return TRect(x, y, x + w, y + h);
}

void TImage::Paint() {
  TGraphic* g = FPicture->Graphic();
  if (!g || g->Empty()) return;
  FDrawing = true;
  try {
    TGraphicControl::Canvas()->StretchDraw(DestRect(), g);
  } catch (...) {
    FDrawing = false;
    throw;
  }
  FDrawing = false;
}

void TImage::PictureChanged(TObject*) {
  if (FAutoSize && FPicture->Width() > 0 && FPicture->Height() > 0) SetBounds(Left(), Top(), FPicture->Width(), FPicture->Height());
  TGraphic* g = FPicture->Graphic();
  // Setting the flag notifies once more through the picture; the second call
  // finds nothing to change.
  if (g && !g->Is<TIcon>()) g->SetTransparent(FTransparent);
  // An opaque picture that covers the control lets the parent skip painting under it.
  TRect d = DestRect();
  if (g && !FTransparent && d.left <= 0 && d.top <= 0 && d.right >= Width() && d.bottom >= Height())
    FControlStyle |= csOpaque;
  else
    FControlStyle &= ~csOpaque;
  if (!FDrawing) Invalidate();
}

TCanvas* TImage::Canvas() {
  if (!FPicture->Graphic()) {
    TBitmap bmp;
    bmp.SetSize(Width(), Height());
    FPicture->SetGraphic(&bmp);
  }
  if (!FPicture->Graphic()->Is<TBitmap>())
    throw EInvalidOperation("Can only modify an image if it contains a bitmap");
  return static_cast<TBitmap*>(FPicture->Graphic())->Canvas();
}

void TImage::SetStretch(bool v) {
  if (v == FStretch) return;
  FStretch = v;
  PictureChanged(this);
}

void TImage::SetProportional(bool v) {
  if (v == FProportional) return;
  FProportional = v;
  PictureChanged(this);
}

void TImage::SetCenter(bool v) {
  if (v == FCenter) return;
  FCenter = v;
  PictureChanged(this);
}

void TImage::SetTransparent(bool v) {
  if (v == FTransparent) return;
  FTransparent = v;
  PictureChanged(this);
}

void TImage::SetAutoSize(bool v) {
  TGraphicControl::SetAutoSize(v);
  if (v) PictureChanged(this);
}

// ---------------------------------------------------------------------------
// TTimer

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  FWindowHandle = AllocateHWnd(MakeEvent<&TTimer::WndProc>(this));
}

TTimer::~TTimer() {
  FEnabled = false;
  UpdateTimer();
  DeallocateHWnd(FWindowHandle);
}

void TTimer::UpdateTimer() {
  KillTimer(FWindowHandle, 1);
  if (FInterval != 0 && FEnabled && FOnTimer && !(ComponentState() & csLoading))
    if (!SetTimer(FWindowHandle, 1, FInterval, nullptr)) throw EOutOfResources("Not enough timers available");
}

void TTimer::WndProc(TMessage& m) {
  if (m.Msg == WM_TIMER) {
    // The window procedure's guard catches what the handler throws.
    Timer();
    return;
  }
  m.Result = DefWindowProcA(FWindowHandle, m.Msg, m.WParam, m.LParam);
}

void TTimer::Timer() {
  if (FEnabled && FOnTimer) FOnTimer(this);
}

void TTimer::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned v) {
  if (v == FInterval) return;
  FInterval = v;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent v) {
  FOnTimer = v;
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

// ---------------------------------------------------------------------------

// ---------------------------------------------------------------------------
// TShape, TPaintBox, TCustomControlBar

CL_DEFINE_COMPONENT(TShape, TGraphicControl)
CL_DEFINE_COMPONENT(TPaintBox, TGraphicControl)
CL_DEFINE_COMPONENT(TCustomControlBar, TCustomControl)
CL_DEFINE_COMPONENT(TControlBar, TCustomControlBar)

TShape::TShape(TComponent* owner) : TGraphicControl(owner), FPen(new TPen), FBrush(new TBrush) {
  FControlStyle |= csReplicatable;
  SetBounds(0, 0, 65, 65);
  FPen->OnChange = MakeEvent<&TShape::StyleChanged>(this);
  FBrush->OnChange = MakeEvent<&TShape::StyleChanged>(this);
}

TShape::~TShape() {
  delete FPen;
  delete FBrush;
}

void TShape::SetShape(TShapeType v) {
  if (v == FShape) return;
  FShape = v;
  Invalidate();
}

void TShape::StyleChanged(TObject*) { Invalidate(); }

void TShape::Paint() {
  TCanvas* c = Canvas();
  c->SetPen(FPen);
  c->SetBrush(FBrush);
  int penWidth = FPen->Width();
  int x = penWidth / 2, y = x;
  int w = Width() - penWidth + 1, h = Height() - penWidth + 1;
  if (penWidth == 0) {
    --w;
    --h;
  }
  // The square kinds are centred in the bounds.
  if (FShape == stSquare || FShape == stRoundSquare || FShape == stCircle) {
    int side = w < h ? w : h;
    x += (w - side) / 2;
    y += (h - side) / 2;
    w = h = side;
  }
  switch (FShape) {
    case stRectangle:
    case stSquare:
      c->Rectangle(x, y, x + w, y + h);
      break;
    case stRoundRect:
    case stRoundSquare: {
      int r = (w < h ? w : h) / 4;
      c->RoundRect(x, y, x + w, y + h, r, r);
      break;
    }
    case stEllipse:
    case stCircle:
      c->Ellipse(x, y, x + w, y + h);
      break;
  }
}

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) {
  FControlStyle |= csReplicatable;
  SetBounds(0, 0, 105, 105);
}

void TPaintBox::Paint() {
  if (OnPaint) OnPaint(this);
}

TCustomControlBar::TCustomControlBar(TComponent* owner) : TCustomControl(owner) {
  FControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque;
  SetBounds(0, 0, 100, 50);
}

void TCustomControlBar::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
}

namespace {
const char* const AlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};
const char* const PanelBevelNames[] = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
const char* const BorderStyleNames[] = {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow",
                                        "bsSizeToolWin"};
const char* const BevelShapeNames[] = {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine",
                                       "bsSpacer"};
const char* const BevelStyleNames[] = {"bsLowered", "bsRaised"};
const char* const ResizeStyleNames[] = {"rsNone", "rsLine", "rsUpdate", "rsPattern"};
}  // namespace

void UnitInit_extctrls() {
  RegisterClasses({&TPanel::Class, &TBevel::Class, &TSplitter::Class, &TImage::Class, &TTimer::Class});
  const TMetaClass* c = &TCustomPanel::Class;
  RegisterProperty(c, "Alignment", TPropType::Enum(AlignmentNames), &TCustomPanel::SetAlignment, &TCustomPanel::Alignment);
  RegisterProperty(c, "BevelInner", TPropType::Enum(PanelBevelNames), &TCustomPanel::SetBevelInner,
                   &TCustomPanel::BevelInner);
  RegisterProperty(c, "BevelOuter", TPropType::Enum(PanelBevelNames), &TCustomPanel::SetBevelOuter,
                   &TCustomPanel::BevelOuter);
  RegisterProperty(c, "BevelWidth", pkInteger, &TCustomPanel::SetBevelWidth, &TCustomPanel::BevelWidth);
  RegisterProperty(c, "BorderStyle", TPropType::Enum(BorderStyleNames), &TCustomPanel::SetBorderStyle,
                   &TCustomPanel::BorderStyle);
  RegisterProperty(c, "FullRepaint", pkBool, &TCustomPanel::SetFullRepaint, &TCustomPanel::FullRepaint);
  c = &TBevel::Class;
  RegisterProperty(c, "Shape", TPropType::Enum(BevelShapeNames), &TBevel::SetShape, &TBevel::Shape);
  RegisterProperty(c, "Style", TPropType::Enum(BevelStyleNames), &TBevel::SetStyle, &TBevel::Style);
  c = &TSplitter::Class;
  RegisterProperty(c, "AutoSnap", pkBool, &TSplitter::SetAutoSnap, &TSplitter::AutoSnap);
  RegisterProperty(c, "Beveled", pkBool, &TSplitter::SetBeveled, &TSplitter::Beveled);
  RegisterProperty(c, "MinSize", pkInteger, &TSplitter::SetMinSize, &TSplitter::MinSize);
  RegisterProperty(c, "ResizeStyle", TPropType::Enum(ResizeStyleNames), &TSplitter::SetResizeStyle,
                   &TSplitter::ResizeStyle);
  RegisterProperty(c, "OnMoved", pkEvent, &TSplitter::SetOnMoved, &TSplitter::GetOnMoved);
  c = &TImage::Class;
  RegisterProperty(c, "Center", pkBool, &TImage::SetCenter, &TImage::Center);
  RegisterProperty(c, "Picture", pkObject, &TImage::SetPicture, &TImage::Picture);
  RegisterProperty(c, "Proportional", pkBool, &TImage::SetProportional, &TImage::Proportional);
  RegisterProperty(c, "Stretch", pkBool, &TImage::SetStretch, &TImage::Stretch);
  RegisterProperty(c, "Transparent", pkBool, &TImage::SetTransparent, &TImage::Transparent);
  c = &TTimer::Class;
  RegisterProperty(c, "Enabled", pkBool, &TTimer::SetEnabled, &TTimer::Enabled);
  RegisterProperty(c, "Interval", pkInteger, &TTimer::SetInterval, &TTimer::Interval);
  RegisterProperty(c, "OnTimer", pkEvent, &TTimer::SetOnTimer, &TTimer::OnTimer);
}

void UnitFini_extctrls() {}
