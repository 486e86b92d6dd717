// Glyph layout arithmetic, speed-button groups and drawing, bitmap buttons.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "buttons.h"
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
TBitmap* SolidGlyph(int w, int h, TColor color) {
  auto* b = new TBitmap;
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(color);
  b->Canvas()->FillRect(Rect(0, 0, w, h));
  b->Canvas()->SetPixels(0, h - 1, clFuchsia);  // the transparent colour
  return b;
}

// The colour at a client point of a window's capture.
COLORREF CaptureAt(HWND wnd, int x, int y) { return CaptureClient(wnd).At(x, y); }

struct TMemCanvas {
  TBitmap Bmp;
  TMemCanvas() {
    Bmp.SetPixelFormat(pf24bit);
    Bmp.SetSize(200, 60);
  }
  TCanvas* Canvas() { return Bmp.Canvas(); }
};

struct TClicks {
  int N = 0;
  void Click(TObject*) { ++N; }
};
}  // namespace

TEST(ButtonGlyph, EqualSpacesWhenMarginAndSpacingAreFree) {
  TButtonGlyph g;
  std::unique_ptr<TBitmap> bmp(SolidGlyph(16, 16, clRed));
  g.SetGlyph(bmp.get());
  EXPECT_EQ(g.NumGlyphs(), 1);
  EXPECT_EQ(g.TransparentColor(), clFuchsia);
  TMemCanvas mc;
  TPoint glyphPos;
  TRect text;
  const TRect client(0, 0, 120, 30);
  g.CalcButtonLayout(mc.Canvas(), client, TPoint(0, 0), Ru(L"Кнопка"), blGlyphLeft, -1, -1, glyphPos, text, 0);
  int before = glyphPos.x;
  int between = text.left - (glyphPos.x + 16);
  int after = client.right - text.right;
  EXPECT_EQ(before, between);
  EXPECT_LE(std::abs(after - before), 2);
  EXPECT_EQ(glyphPos.y, (30 - 16 + 1) / 2);

  // Glyph on top with a fixed spacing.
  g.CalcButtonLayout(mc.Canvas(), client, TPoint(1, 1), "A", blGlyphTop, 2, 3, glyphPos, text, 0);
  EXPECT_EQ(glyphPos.y, 2 + 1);
  EXPECT_EQ(text.top, 2 + 16 + 3 + 1);

  // A caption alone ignores the spacing and is centred.
  TButtonGlyph none;
  none.CalcButtonLayout(mc.Canvas(), client, TPoint(0, 0), Ru(L"Текст"), blGlyphLeft, -1, 10, glyphPos, text, 0);
  int width = text.Width();
  EXPECT_EQ(text.left, (120 - width + 1) / 2);

  // Right-to-left flags swap left and right.
  g.CalcButtonLayout(mc.Canvas(), client, TPoint(0, 0), "A", blGlyphLeft, 5, 4, glyphPos, text, DT_RIGHT);
  EXPECT_EQ(glyphPos.x, 120 - 5 - 16);
}

TEST(ButtonGlyph, StripsAndStates) {
  TButtonGlyph g;
  std::unique_ptr<TBitmap> strip(SolidGlyph(48, 16, clBlue));
  g.SetGlyph(strip.get());
  EXPECT_EQ(g.NumGlyphs(), 3);  // told by the shape
  EXPECT_EQ(g.ImageIndex(bsUp), -1);
  int up = g.CreateButtonGlyph(bsUp);
  EXPECT_GE(up, 0);
  EXPECT_EQ(g.ImageIndex(bsUp), up);
  EXPECT_NE(g.CreateButtonGlyph(bsDown), up);  // three images: down has its own
  g.SetNumGlyphs(1);
  EXPECT_EQ(g.ImageIndex(bsUp), -1);  // images are made again
  int disabled = g.CreateButtonGlyph(bsDisabled);
  EXPECT_EQ(g.CreateButtonGlyph(bsDown), g.CreateButtonGlyph(bsUp));  // down uses up
  // The disabled image is embossed: blue ink becomes the shadow colour.
  TMemCanvas mc;
  mc.Canvas()->Brush()->SetColor(clLime);
  mc.Canvas()->FillRect(Rect(0, 0, 200, 60));
  g.DrawButtonGlyph(mc.Canvas(), TPoint(10, 10), bsDisabled, true);
  EXPECT_GE(disabled, 0);
  EXPECT_EQ(ColorToRGB(mc.Canvas()->Pixels(15, 15)), ColorToRGB(clBtnShadow));
  // One glyph is now the whole 48-pixel strip: the next goes beside it.
  g.DrawButtonGlyph(mc.Canvas(), TPoint(80, 10), bsUp, true);
  EXPECT_EQ(mc.Canvas()->Pixels(85, 15), clBlue);
  EXPECT_EQ(mc.Canvas()->Pixels(80, 25), clLime);  // transparent corner
  EXPECT_EQ(mc.Canvas()->Pixels(81, 25), clBlue);
}

TEST(Buttons, SpeedButtonGroupsAndClicks) {
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  form->SetBounds(0, 0, 300, 200);
  form->Show();
  auto* a = new TSpeedButton(form.get());
  auto* b = new TSpeedButton(form.get());
  a->SetParent(form.get());
  b->SetParent(form.get());
  a->SetBounds(10, 10, 40, 30);
  b->SetBounds(60, 10, 40, 30);
  // Outside a group a button does not stay down.
  a->SetDown(true);
  EXPECT_FALSE(a->Down());
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  a->SetDown(true);
  b->SetDown(true);
  EXPECT_FALSE(a->Down());
  EXPECT_TRUE(b->Down());
  b->SetDown(false);  // the last one of a group stays down without AllowAllUp
  EXPECT_TRUE(b->Down());
  b->SetAllowAllUp(true);
  EXPECT_TRUE(a->AllowAllUp());  // the group shares it
  b->SetDown(false);
  EXPECT_FALSE(b->Down());

  TClicks clicks;
  a->OnClick = MakeEvent<&TClicks::Click>(&clicks);
  PostMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  PostMessageA(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  Pump(100);
  EXPECT_EQ(clicks.N, 1);
  EXPECT_TRUE(a->Down());
  // Released outside: no click.
  PostMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(70, 20));
  PostMessageA(form->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(250, 150));
  PostMessageA(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(250, 150));
  Pump(100);
  EXPECT_FALSE(b->Down());
}

TEST(Buttons, SpeedButtonDrawsItsGlyphPressedAndDisabled) {
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  form->SetBounds(0, 0, 200, 120);
  form->Show();
  auto* sb = new TSpeedButton(form.get());
  sb->SetParent(form.get());
  sb->SetBounds(10, 10, 48, 48);
  std::unique_ptr<TBitmap> glyph(SolidGlyph(16, 16, clRed));
  sb->SetGlyph(glyph.get());
  sb->SetLayout(blGlyphTop);
  form->Repaint();
  Pump(50);
  // Up: the glyph is centred; its top-left pixel is red.
  // Inside the frame (2 pixels) the glyph is centred: it covers 26..41. The
  // column looked at stays clear of the glyph's transparent corner pixel also
  // when the pressed glyph moves one pixel right.
  const int gx = 26;
  int redUp = 0, redDown = 0;
  for (int y = 10; y < 58; ++y)
    if (CaptureAt(form->Handle(), gx + 4, y) == RGB(255, 0, 0)) ++redUp;
  EXPECT_GT(redUp, 10);
  sb->SetGroupIndex(1);
  sb->SetDown(true);
  form->Repaint();
  Pump(50);
  for (int y = 10; y < 58; ++y)
    if (CaptureAt(form->Handle(), gx + 4, y) == RGB(255, 0, 0)) ++redDown;
  EXPECT_EQ(redDown, redUp);  // the same glyph, one pixel lower
  sb->SetEnabled(false);
  form->Repaint();
  Pump(50);
  int red = 0, shadow = 0;
  for (int y = 10; y < 58; ++y) {
    COLORREF c = CaptureAt(form->Handle(), gx + 4, y);
    if (c == RGB(255, 0, 0)) ++red;
    if (c == ColorToRGB(clBtnShadow)) ++shadow;
  }
  EXPECT_EQ(red, 0);
  EXPECT_GT(shadow, 5);
}

TEST(Buttons, BitBtnIsOwnerDrawnWithItsGlyph) {
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  form->SetBounds(0, 0, 200, 120);
  form->Show();
  auto* bb = new TBitBtn(form.get());
  bb->SetParent(form.get());
  bb->SetBounds(10, 10, 120, 40);
  bb->SetCaption(Ru(L"Найти"));
  std::unique_ptr<TBitmap> glyph(SolidGlyph(16, 16, clBlue));
  bb->SetGlyph(glyph.get());
  bb->SetMargin(8);
  EXPECT_EQ(GetWindowLongA(bb->Handle(), GWL_STYLE) & 0x0F, BS_OWNERDRAW);
  EXPECT_EQ(WindowTextA(bb->Handle()), Ru(L"Найти"));
  RedrawWindow(bb->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Pump(50);
  EXPECT_EQ(CaptureAt(bb->Handle(), 2 + 8 + 8, 20), RGB(0, 0, 255));
  TClicks clicks;
  bb->OnClick = MakeEvent<&TClicks::Click>(&clicks);
  bb->SetModalResult(mrCancel);
  PostClick(bb->Handle(), 30, 20);
  Pump(100);
  EXPECT_EQ(clicks.N, 1);
  EXPECT_EQ(form->ModalResult(), mrCancel);
  bb->SetKind(bkOK);
  EXPECT_EQ(bb->ModalResult(), mrOk);
  EXPECT_TRUE(bb->Default());
}

namespace {
// A bitmap button whose owner-draw step a test calls itself.
class TDrawnBitBtn : public TBitBtn {
public:
  using TBitBtn::TBitBtn;
  using TBitBtn::DrawItem;
  using TBitBtn::SetButtonStyle;
};
}  // namespace

TEST(Buttons, BitBtnPushedFaceIsFilledEveryTime) {
  // The default button's frame leaves the canvas brush clear with the face
  // colour already set: a second pushed paint must still fill the face.
  TDrawnBitBtn bb(nullptr);
  bb.SetBounds(0, 0, 60, 30);
  bb.SetButtonStyle(true);
  DRAWITEMSTRUCT dis{};
  dis.itemState = ODS_SELECTED | ODS_FOCUS;
  const COLORREF face = static_cast<COLORREF>(ColorToRGB(clBtnFace));
  ASSERT_NE(face, RGB(255, 255, 255));
  for (int paint = 1; paint <= 2; ++paint) {
    DibSurface surface(60, 30);
    dis.hDC = surface.DC();
    bb.DrawItem(dis);
    EXPECT_EQ(surface.At(30, 15), face) << "paint " << paint;
    EXPECT_EQ(surface.At(1, 15), static_cast<COLORREF>(ColorToRGB(clBtnShadow))) << "paint " << paint;
  }
}
