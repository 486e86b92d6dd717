// Speed buttons and bitmap buttons with wide captions: the layout arithmetic
// exactly, the pixels roughly (colours at places, never glyph shapes), the
// glyph images made by the class library's own paint, and the hot keys.
#include "ControlsTestUtil.h"

#include "UcActnList.h"
#include "UcButtons.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

namespace {

using UcButtons = UcGuiTest;

const COLORREF kGlyphColour = RGB(0, 0, 255);
const COLORREF kCaptionColour = RGB(255, 0, 0);

// A 24 x 24 blue square whose bottom-left pixel (the see-through colour) is
// magenta, numGlyphs of them side by side.
void MakeGlyph(TBitmap* bitmap, int numGlyphs = 1) {
  std::vector<uint8_t> bgr(static_cast<size_t>(24 * numGlyphs) * 24 * 3);
  for (size_t i = 0; i < bgr.size(); i += 3) {
    bgr[i] = 255;
    bgr[i + 1] = 0;
    bgr[i + 2] = 0;
  }
  size_t corner = static_cast<size_t>(23) * 24 * numGlyphs * 3;
  bgr[corner] = 255;
  bgr[corner + 1] = 0;
  bgr[corner + 2] = 255;
  bitmap->SetBGR24(24 * numGlyphs, 24, bgr.data());
}

// The main window's tool buttons: flat, glyph on top, spacing 1, margin -1.
TUcSpeedButton* NewToolButton(TForm* form, int x, int width = 52) {
  auto* b = PlaceOn<TUcSpeedButton>(form, x, 10, width, 48);
  b->SetFlat(true);
  b->SetLayout(blGlyphTop);
  b->SetSpacing(1);
  b->SetMargin(-1);
  TBitmap glyph;
  MakeGlyph(&glyph);
  b->SetGlyph(&glyph);
  b->Font()->SetColor(static_cast<TColor>(kCaptionColour));
  return b;
}

// The extent of the pixels of a colour inside an area; empty when none.
RECT Extent(const TCapturedImage& image, COLORREF colour, RECT area) {
  RECT r{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (image.At(x, y) == colour) {
        r.left = std::min(r.left, static_cast<LONG>(x));
        r.top = std::min(r.top, static_cast<LONG>(y));
        r.right = std::max(r.right, static_cast<LONG>(x + 1));
        r.bottom = std::max(r.bottom, static_cast<LONG>(y + 1));
      }
  if (r.left == INT_MAX) return RECT{0, 0, 0, 0};
  return r;
}

int TextHeight(TFont* font, const wchar_t* text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font->Handle());
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text, -1, &r, DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return r.bottom;
}

// Shows the canvas the button draws its items with.
class TProbeBitBtn : public TUcBitBtn {
public:
  explicit TProbeBitBtn(TComponent* owner) : TUcBitBtn(owner) {}
  TCanvas* DrawCanvas() const { return FCanvas; }
};

struct TButtonEvents {
  int Clicks = 0;
  void Click(TObject*) { ++Clicks; }
};

}  // namespace

TEST_F(UcButtons, TheWorkedExampleOfTheLayout) {
  TUcSpeedButton* b = NewToolButton(Form, 10);
  // A font whose cells are 13 pixels high: the text is 13 high.
  HDC dc = GetDC(nullptr);
  HFONT font13 = nullptr;
  const wchar_t* faces[] = {L"Tahoma", L"Arial", L"Times New Roman", L"Courier New", L"MS Sans Serif", L"System"};
  for (int i = 0; i < 6 * 22 && !font13; ++i) {
    int h = i / 6 % 2 ? -(8 + i / 12) : 8 + i / 12;
    HFONT f = CreateFontW(h, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, faces[i % 6]);
    HGDIOBJ prev = SelectObject(dc, f);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, L"\u041E", 1, &r, DT_CALCRECT);
    SelectObject(dc, prev);
    // 13 is the worked example's; Wine's fonts jump from 12 to 14, which
    // gives the same margin ((46 - 39 + 1) div 2 = 4).
    if (r.bottom == 13 || r.bottom == 14)
      font13 = f;
    else
      DeleteObject(f);
  }
  ASSERT_NE(font13, nullptr) << "no font of 13 or 14 pixels";
  HGDIOBJ old = SelectObject(dc, font13);
  TPoint glyphPos;
  TRect text;
  // Flat: the client shrinks by one on every side.
  TButtonGlyph_CalcButtonLayout(b, dc, TRect(1, 1, 51, 47), TPoint(0, 0), L"\u041E\u0442\u043A\u0440\u044B\u0442\u044C",
                                blGlyphTop, -1, 1, glyphPos, text, 0);
  int th = text.Height();
  ASSERT_TRUE(th == 13 || th == 14);
  // Margin = (46 - (24 + 1 + 13) + 1) div 2 = 4.
  EXPECT_EQ(glyphPos.x, 14);
  EXPECT_EQ(glyphPos.y, 5);
  EXPECT_EQ(text.top, 1 + 4 + 24 + 1);
  EXPECT_EQ(text.bottom, 30 + th);
  // Centred across: (50 - width + 1) div 2.
  EXPECT_EQ(text.left, 1 + (50 - text.Width() + 1) / 2);

  // Margin and spacing -1: three equal gaps along the axis (within 1).
  TButtonGlyph_CalcButtonLayout(b, dc, TRect(0, 0, 100, 30), TPoint(0, 0), L"\u4E2D\u6587", blGlyphLeft, -1, -1,
                                glyphPos, text, 0);
  int gap1 = glyphPos.x, gap2 = text.left - (glyphPos.x + 24), gap3 = 100 - text.right;
  EXPECT_EQ(gap1, gap2);
  EXPECT_LE(std::abs(gap3 - gap1), 2);
  // Glyph right; right-to-left text flags swap the sides.
  TButtonGlyph_CalcButtonLayout(b, dc, TRect(0, 0, 100, 30), TPoint(0, 0), L"ab", blGlyphRight, 5, 2, glyphPos,
                                text, 0);
  EXPECT_EQ(glyphPos.x, 100 - 5 - 24);
  EXPECT_EQ(text.right, glyphPos.x - 2);
  TButtonGlyph_CalcButtonLayout(b, dc, TRect(0, 0, 100, 30), TPoint(0, 0), L"ab", blGlyphRight, 5, 2, glyphPos,
                                text, DT_RIGHT);
  EXPECT_EQ(glyphPos.x, 5);
  // Spacing -1 with a margin: the rest is split around the caption.
  TButtonGlyph_CalcButtonLayout(b, dc, TRect(0, 0, 100, 30), TPoint(2, 3), L"ab", blGlyphLeft, 10, -1, glyphPos,
                                text, 0);
  EXPECT_EQ(glyphPos.x, 12);
  EXPECT_EQ(glyphPos.y, 3 + (30 - 24 + 1) / 2);
  EXPECT_EQ(text.left, 12 + 24 + (100 - 10 - 24 - text.Width()) / 2);
  // Too small a client: the division truncates toward zero (-29 div 2 = -14).
  TButtonGlyph_CalcButtonLayout(b, dc, TRect(0, 0, 30, 10), TPoint(0, 0), L"", blGlyphTop, -1, 5, glyphPos, text, 0);
  EXPECT_EQ(glyphPos.y, (10 - 24 + 1) / 2);
  EXPECT_EQ(glyphPos.y, -6);
  EXPECT_EQ(glyphPos.x, (30 - 24 + 1) / 2);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font13);

  // A caption-only button ignores the spacing.
  auto* plain = new TUcSpeedButton(Form);
  plain->SetParent(Form);
  dc = GetDC(nullptr);
  TButtonGlyph_CalcButtonLayout(plain, dc, TRect(0, 0, 60, 40), TPoint(0, 0), L"x", blGlyphTop, -1, 20, glyphPos,
                                text, 0);
  EXPECT_EQ(text.top, (40 - text.Height() + 1) / 2);
  ReleaseDC(nullptr, dc);

  // Something without the glyph interface is refused.
  auto* label = new TLabel(Form);
  dc = GetDC(nullptr);
  EXPECT_THROW(TButtonGlyph_CalcButtonLayout(label, dc, TRect(0, 0, 10, 10), TPoint(0, 0), L"", blGlyphTop, -1, -1,
                                             glyphPos, text, 0),
               EUcInternalError);
  ReleaseDC(nullptr, dc);
}

TEST_F(UcButtons, SpeedButtonsDrawGlyphAndWideCaption) {
  TUcSpeedButton* b = NewToolButton(Form, 10, 96);
  b->SetCaption(L"\u4E2D\u6587\u0416\u0416");
  EXPECT_EQ(b->ButtonGlyph()->ImageIndex(bsUp), -1);
  Form->Repaint();
  Pump(30);
  // The first paint had the class library make the image, then ended.
  EXPECT_NE(b->ButtonGlyph()->ImageIndex(bsUp), -1);
  Form->Repaint();
  Pump(10);
  TCapturedImage image = CaptureClient(Form->Handle());
  RECT area{10, 10, 106, 58};
  RECT glyph = Extent(image, kGlyphColour, area);
  ASSERT_GT(glyph.right, glyph.left);
  EXPECT_EQ(glyph.right - glyph.left, 24);
  int th = TextHeight(b->Font(), L"\u4E2D\u6587\u0416\u0416");
  int margin = (46 - (24 + 1 + th) + 1) / 2;
  EXPECT_EQ(glyph.left, 10 + 1 + (94 - 24 + 1) / 2);
  EXPECT_EQ(glyph.top, 10 + 1 + margin);
  RECT caption = Extent(image, kCaptionColour, area);
  ASSERT_GT(caption.right, caption.left);
  EXPECT_GE(caption.top, glyph.bottom);  // below the glyph
  EXPECT_LE(caption.bottom, 10 + 1 + margin + 24 + 1 + th);

  // Pressed: glyph and caption one pixel right and down.
  // The cursor over the button, so that a mouse move of the display keeps it
  // pressed.
  POINT at{50, 30};
  ClientToScreen(Form->Handle(), &at);
  SetCursorPos(at.x, at.y);
  Form->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 30));
  ASSERT_EQ(b->State(), bsDown);
  TCapturedImage down = CaptureClient(Form->Handle());
  RECT glyphDown = Extent(down, kGlyphColour, area);
  RECT captionDown = Extent(down, kCaptionColour, area);
  EXPECT_EQ(glyphDown.left, glyph.left + 1);
  EXPECT_EQ(glyphDown.top, glyph.top + 1);
  EXPECT_EQ(captionDown.left, caption.left + 1);
  EXPECT_EQ(captionDown.top, caption.top + 1);
  Form->Perform(WM_LBUTTONUP, 0, MAKELPARAM(50, 30));
  Pump(10);

  // Disabled: the caption embossed in highlight and shadow.
  b->SetEnabled(false);
  Form->Repaint();
  Pump(30);
  TCapturedImage disabled = CaptureClient(Form->Handle());
  EXPECT_EQ(disabled.Count(kCaptionColour, area), 0);
  EXPECT_GT(disabled.Count(static_cast<COLORREF>(ColorToRGB(clBtnShadow)), area), 10);
}

TEST_F(UcButtons, SpeedButtonHotKeysAndHints) {
  TUcSpeedButton* b = NewToolButton(Form, 10);
  b->SetCaption(L"&\u041F\u043E\u0438\u0441\u043A");  // "&Поиск"
  b->SetHint(L"\u4E2D|long");
  TButtonEvents ev;
  b->OnClick = MakeEvent<&TButtonEvents::Click>(&ev);
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 0x043F), 1);  // "п"
  EXPECT_EQ(ev.Clicks, 1);
  b->SetVisible(false);
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 0x043F), 0);
  EXPECT_EQ(ev.Clicks, 1);
  THintInfo info;
  info.HintControl = b;
  b->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.HintData, &info);
  EXPECT_EQ(b->Hint().str(), L"\u4E2D|long");
}

TEST_F(UcButtons, BitButtonsDrawTheirWideCaption) {
  auto* b = PlaceOn<TUcBitBtn>(Form, 10, 10, 120, 30);
  b->SetCaption(L"\u041D\u0430\u0439\u0442\u0438 \u4E2D");
  TBitmap glyph;
  MakeGlyph(&glyph);
  b->SetGlyph(&glyph);
  b->Font()->SetColor(static_cast<TColor>(kCaptionColour));
  b->HandleNeeded();
  ASSERT_TRUE(IsWindowUnicode(b->WindowHandle()));
  EXPECT_EQ(WindowTextW(b->WindowHandle()), L"\u041D\u0430\u0439\u0442\u0438 \u4E2D");
  b->Repaint();
  Pump(30);
  EXPECT_NE(b->ButtonGlyph()->ImageIndex(bsUp), -1);
  TCapturedImage image = CaptureClient(b->WindowHandle());
  EXPECT_GT(image.Count(kGlyphColour), 100);
  RECT caption = Extent(image, kCaptionColour, RECT{0, 0, 120, 30});
  ASSERT_GT(caption.right, caption.left);
  RECT glyphRect = Extent(image, kGlyphColour, RECT{0, 0, 120, 30});
  EXPECT_GT(caption.left, glyphRect.right);  // glyph left of the caption

  b->SetEnabled(false);
  b->Repaint();
  Pump(20);
  TCapturedImage disabled = CaptureClient(b->WindowHandle());
  EXPECT_EQ(disabled.Count(kCaptionColour), 0);

  // Hot keys and stored captions.
  b->SetEnabled(true);
  b->SetCaption(L"&\u041D\u0430\u0439\u0442\u0438");
  TButtonEvents ev;
  b->OnClick = MakeEvent<&TButtonEvents::Click>(&ev);
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 0x043D), 1);
  EXPECT_EQ(ev.Clicks, 1);
  EXPECT_TRUE(b->IsCaptionStored());
  b->SetKind(bkCancel);
  EXPECT_FALSE(b->IsCaptionStored());
  EXPECT_EQ(b->ModalResult(), mrCancel);
}

TEST_F(UcButtons, ADrawItemThatAbortsLetsGoOfTheDeviceContext) {
  auto* b = PlaceOn<TProbeBitBtn>(Form, 10, 10, 100, 30);
  TBitmap glyph;
  MakeGlyph(&glyph, 2);
  b->SetGlyph(&glyph);
  b->HandleNeeded();
  ASSERT_EQ(b->ButtonGlyph()->ImageIndex(bsUp), -1);
  // A drawing record on a memory device context, as WM_DRAWITEM brings it.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 100, 30);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bmp);
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_BUTTON;
  dis.hwndItem = b->WindowHandle();
  dis.hDC = dc;
  dis.rcItem = RECT{0, 0, 100, 30};
  LRESULT r = b->Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
  EXPECT_EQ(r, 1);
  // The glyph's image was made, and nothing escaped.
  EXPECT_NE(b->ButtonGlyph()->ImageIndex(bsUp), -1);
  EXPECT_TRUE(TakeExceptions().empty());
  // The canvas holds no device context any more.
  EXPECT_FALSE(b->DrawCanvas()->HandleAllocated());
  // Drawn again, the images are there: a whole drawing, which ends the same way.
  EXPECT_EQ(b->Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)), 1);
  EXPECT_FALSE(b->DrawCanvas()->HandleAllocated());
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bmp);
}

TEST_F(UcButtons, ActionsGiveSpeedButtonsTheirWideCaptionAndHint) {
  TUcSpeedButton* open = NewToolButton(Form, 10);
  open->SetName("spbtOpen");
  open->SetCaption(L"spbtOpen");  // a caption that is the name takes the action's
  auto* action = new TUcAction(Form);
  action->SetCaption(L"\u041E\u0442\u043A\u0440\u044B\u0442\u044C \u6253\u5F00");
  action->SetHint(L"\u041E\u0442\u043A\u0440\u044B\u0442\u044C \u0441\u043F\u0438\u0441\u043E\u043A|\u03B1");
  open->SetAction(action);
  EXPECT_TRUE(open->ActionLink()->Is<TUcSpeedButtonActionLink>());
  EXPECT_EQ(open->Caption().str(), L"\u041E\u0442\u043A\u0440\u044B\u0442\u044C \u6253\u5F00");
  EXPECT_EQ(open->Hint().str(), L"\u041E\u0442\u043A\u0440\u044B\u0442\u044C \u0441\u043F\u0438\u0441\u043E\u043A|\u03B1");
  action->SetCaption(L"\u65E5\u672C");
  EXPECT_EQ(open->Caption().str(), L"\u65E5\u672C");
  // The hint of a button rewritten at run time (Back and Forward).
  open->SetHint(L"\u041D\u0430\u0437\u0430\u0434: \u4E2D");
  EXPECT_EQ(open->Hint().str(), L"\u041D\u0430\u0437\u0430\u0434: \u4E2D");

  auto* ok = new TUcBitBtn(Form);
  ok->SetParent(Form);
  ok->SetAction(action);
  EXPECT_TRUE(ok->ActionLink()->Is<TUcButtonActionLink>());
  EXPECT_EQ(WindowTextW(ok->Handle()), L"\u65E5\u672C");
}
