// Panels, bevels, the splitter dragged with posted mouse messages, images
// and timers, checked on the windows and their pixels.
#include <gtest/gtest.h>

#include <memory>

#include "extctrls.h"
#include "forms.h"
#include "guitest.h"
#include "harness.h"

// Readable failure messages for the strings.
inline void PrintTo(const AnsiString& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }

namespace {
// Texts in the ANSI code page (the sources are UTF-8).
AnsiString Ru(const wchar_t* s) { return WideToAnsi(WideString(s)); }
}  // namespace

namespace {
// The colour at a client point of a window's capture.
COLORREF CaptureAt(HWND wnd, int x, int y) { return CaptureClient(wnd).At(x, y); }

struct TCount {
  int N = 0;
  void Hit(TObject*) { ++N; }
};

std::unique_ptr<TForm> ShownForm(int w, int h) {
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  form->SetBounds(0, 0, w, h);
  form->Show();
  Pump(30);
  return form;
}
}  // namespace

TEST(ExtCtrls, PanelBevelsColourAndChildPlacement) {
  auto form = ShownForm(300, 200);
  auto* panel = new TPanel(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(10, 10, 100, 60);
  panel->SetColor(clYellow);
  panel->SetCaption(Ru(L"Панель"));
  RedrawWindow(panel->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Pump(30);
  EXPECT_EQ(CaptureAt(panel->Handle(), 0, 30), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(CaptureAt(panel->Handle(), 99, 30), ColorToRGB(clBtnShadow));
  EXPECT_EQ(CaptureAt(panel->Handle(), 5, 5), RGB(255, 255, 0));
  EXPECT_EQ(WindowTextA(panel->Handle()), Ru(L"Панель"));
  panel->SetBevelOuter(bvLowered);
  RedrawWindow(panel->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(CaptureAt(panel->Handle(), 0, 30), ColorToRGB(clBtnShadow));
  // A child filling the panel stays inside the bevels.
  panel->SetBevelInner(bvRaised);
  panel->SetBevelWidth(2);
  auto* child = new TPanel(form.get());
  child->SetParent(panel);
  child->SetAlign(alClient);
  EXPECT_EQ(child->BoundsRect(), TRect(4, 4, 96, 56));
  panel->RecreateWnd();
  EXPECT_EQ(WindowTextA(panel->Handle()), Ru(L"Панель"));
}

// A panel's frame is drawn along its edges, so a size change must repaint
// where the old edges were and where the new ones are: the whole panel with
// FullRepaint or a caption (which moves), else the strips of the frame. The
// screen then shows what a whole paint of the panel draws.
TEST(ExtCtrls, PanelRepaintsItsFrameWhenItsSizeChanges) {
  auto form = ShownForm(300, 200);
  const int frame = 5;  // outer and inner bevel 2 each, border 1
  const struct {
    const char* Name;
    bool Full;
    const wchar_t* Caption;
    int Width, Height;
  } cases[] = {
      {"wider", true, L"", 160, 60},           {"narrower", true, L"", 70, 60},
      {"taller", true, L"", 100, 90},          {"shorter", true, L"", 100, 40},
      {"both", true, L"", 150, 30},            {"wider, edges only", false, L"", 160, 60},
      {"narrower, edges only", false, L"", 70, 60}, {"taller, edges only", false, L"", 100, 90},
      {"shorter, edges only", false, L"", 100, 40}, {"captioned", false, L"Панель", 160, 90},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(10, 10, 100, 60);
    panel->SetBevelInner(bvLowered);
    panel->SetBevelWidth(2);
    panel->SetBorderWidth(1);
    panel->SetFullRepaint(c.Full);
    panel->SetCaption(Ru(c.Caption));
    const HWND h = panel->Handle();
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(h) && !GetQueueStatus(QS_ALLINPUT); }, "the panel painted"));
    panel->SetBounds(10, 10, c.Width, c.Height);
    HRGN update = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(h, update, FALSE);
    const bool whole = c.Full || *c.Caption;
    EXPECT_EQ(PtInRegion(update, frame + 2, frame + 2) != FALSE, whole) << "the inside";
    // The frame's columns and rows at the old edge and at the new one.
    if (c.Width != 100)
      for (int x : {99, 100 - frame, c.Width - 1, c.Width - frame})
        if (x < c.Width) {
          EXPECT_TRUE(PtInRegion(update, x, c.Height / 2)) << "column " << x;
        }
    if (c.Height != 60)
      for (int y : {59, 60 - frame, c.Height - 1, c.Height - frame})
        if (y < c.Height) {
          EXPECT_TRUE(PtInRegion(update, c.Width / 2, y)) << "row " << y;
        }
    DeleteObject(update);
    ASSERT_TRUE(WaitFor([&] { return !GetQueueStatus(QS_ALLINPUT); }, "the panel painted at its new size"));
    RECT onScreen = {0, 0, c.Width, c.Height};
    MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&onScreen), 2);
    EXPECT_TRUE(CaptureScreen(onScreen).Pixels == CaptureClient(h).Pixels) << "the screen differs from a whole paint";
    delete panel;
  }
}

TEST(ExtCtrls, BevelShapes) {
  auto form = ShownForm(200, 150);
  auto* bevel = new TBevel(form.get());
  bevel->SetParent(form.get());
  bevel->SetBounds(20, 20, 50, 40);
  form->Repaint();
  Pump(30);
  EXPECT_EQ(CaptureAt(form->Handle(), 20, 30), ColorToRGB(clBtnShadow));     // lowered box: left
  EXPECT_EQ(CaptureAt(form->Handle(), 69, 30), ColorToRGB(clBtnHighlight));  // right (the last column)
  bevel->SetShape(bsTopLine);
  bevel->SetStyle(bsRaised);
  form->Repaint();
  Pump(30);
  EXPECT_EQ(CaptureAt(form->Handle(), 40, 20), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(CaptureAt(form->Handle(), 40, 21), ColorToRGB(clBtnShadow));
}

TEST(ExtCtrls, SplitterResizesItsNeighbourWithinLimits) {
  auto form = ShownForm(400, 200);
  auto* left = new TPanel(form.get());
  left->SetParent(form.get());
  left->SetAlign(alLeft);
  left->SetWidth(100);
  auto* splitter = new TSplitter(form.get());
  splitter->SetParent(form.get());
  splitter->SetLeft(100);
  splitter->SetAlign(alLeft);
  auto* rest = new TPanel(form.get());
  rest->SetParent(form.get());
  rest->SetAlign(alClient);
  EXPECT_EQ(splitter->Left(), 100);
  EXPECT_EQ(splitter->Cursor(), crHSplit);
  TCount moved;
  splitter->OnMoved = MakeEvent<&TCount::Hit>(&moved);
  HWND h = form->Handle();
  PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(101, 50));
  PostMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(141, 50));
  PostMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(141, 50));
  Pump(100);
  EXPECT_EQ(left->Width(), 140);
  EXPECT_EQ(moved.N, 1);
  EXPECT_EQ(splitter->Left(), 140);
  // Dragged far left: the neighbour keeps MinSize.
  PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(141, 50));
  PostMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 50));
  PostMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(5, 50));
  Pump(100);
  EXPECT_EQ(left->Width(), splitter->MinSize());
}

TEST(ExtCtrls, ImagePlacementAndCanvas) {
  auto form = ShownForm(300, 200);
  auto* image = new TImage(form.get());
  image->SetParent(form.get());
  image->SetBounds(10, 10, 100, 100);
  TBitmap pic;
  pic.SetPixelFormat(pf24bit);
  pic.SetSize(200, 100);
  pic.Canvas()->Brush()->SetColor(clRed);
  pic.Canvas()->FillRect(Rect(0, 0, 200, 100));
  image->Picture()->SetGraphic(&pic);
  EXPECT_EQ(image->DestRect(), TRect(0, 0, 200, 100));
  image->SetProportional(true);
  EXPECT_EQ(image->DestRect(), TRect(0, 0, 100, 50));
  image->SetCenter(true);
  EXPECT_EQ(image->DestRect(), TRect(0, 25, 100, 75));
  form->Repaint();
  Pump(30);
  EXPECT_EQ(CaptureAt(form->Handle(), 60, 60), RGB(255, 0, 0));
  EXPECT_NE(CaptureAt(form->Handle(), 60, 20), RGB(255, 0, 0));
  // A small picture is enlarged only with Stretch.
  TBitmap small;
  small.SetSize(10, 20);
  image->Picture()->SetGraphic(&small);
  EXPECT_EQ(image->DestRect(), TRect(45, 40, 55, 60));
  image->SetStretch(true);
  EXPECT_EQ(image->DestRect(), TRect(25, 0, 75, 100));
  image->Canvas()->SetPixels(0, 0, clBlue);
  EXPECT_EQ(image->Picture()->Bitmap()->Canvas()->Pixels(0, 0), clBlue);
  TIcon icon;
  image->Picture()->SetGraphic(nullptr);
  image->Picture()->Icon();
  EXPECT_THROW(image->Canvas(), EInvalidOperation);
  image->SetAutoSize(true);
  image->Picture()->SetGraphic(&pic);
  EXPECT_EQ(image->Width(), 200);
}

TEST(ExtCtrls, TimerTicksWhileEnabled) {
  TTimer timer(nullptr);
  TCount ticks;
  timer.SetInterval(20);
  timer.SetOnTimer(MakeEvent<&TCount::Hit>(&ticks));
  Pump(200);
  EXPECT_GT(ticks.N, 0);
  timer.SetEnabled(false);
  int seen = ticks.N;
  Pump(100);
  EXPECT_EQ(ticks.N, seen);
}
