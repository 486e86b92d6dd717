// The extra controls with wide texts: the panel's caption and its painting,
// the image's picture and hint, the labeled edit's label, and the controls
// that only gain a wide hint.
#include "ControlsTestUtil.h"

#include "UcExtCtrls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace {

using UcExtCtrls = UcGuiTest;

const wchar_t* const kLoading = L"\u0417\u0430\u0433\u0440\u0443\u0437\u043A\u0430 \u0434\u0430\u043D\u043D\u044B\u0445 \u4E2D...";

RECT InkExtent(const TCapturedImage& image, COLORREF colour) {
  RECT r{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x)
      if (image.At(x, y) == colour) {
        r.left = std::min<LONG>(r.left, x);
        r.top = std::min<LONG>(r.top, y);
        r.right = std::max<LONG>(r.right, x + 1);
        r.bottom = std::max<LONG>(r.bottom, y + 1);
      }
  return r;
}

struct TExtEvents {
  std::vector<TObject*> Clicked;
  void Click(TObject* sender) { Clicked.push_back(sender); }
};

}  // namespace

TEST_F(UcExtCtrls, PanelCaptionIsWideAndCentredOnTheHeightOfW) {
  auto* panel = new TUcPanel(Form);
  panel->SetCaption(kLoading);  // before the window
  panel->SetParent(Form);
  panel->SetBounds(10, 10, 300, 61);
  panel->SetBevelOuter(bvNone);
  panel->Font()->SetColor(clRed);
  panel->HandleNeeded();
  ASSERT_TRUE(IsWindowUnicode(panel->WindowHandle()));
  EXPECT_EQ(WindowTextW(panel->WindowHandle()), kLoading);
  panel->Repaint();
  Pump(20);
  TCapturedImage image = CaptureClient(panel->WindowHandle());
  RECT ink = InkExtent(image, RGB(255, 0, 0));
  ASSERT_LT(ink.left, ink.right) << "no caption drawn";
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, panel->Font()->Handle());
  SIZE w{};
  GetTextExtentPoint32W(dc, L"W", 1, &w);
  SIZE whole{};
  GetTextExtentPoint32W(dc, kLoading, static_cast<int>(wcslen(kLoading)), &whole);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  int top = (0 + 61 - w.cy) / 2;
  EXPECT_GE(ink.top, top);
  EXPECT_LE(ink.bottom, top + w.cy);
  // Centred across, the whole text (the ANSI form would be shorter).
  EXPECT_LE(std::abs((ink.left + ink.right) / 2 - 150), 3);
  EXPECT_GE(ink.right - ink.left, whole.cx - 4);

  // Bevels: raised is light at the top left and dark at the bottom right.
  panel->SetBevelOuter(bvRaised);
  panel->SetCaption(L"");
  panel->Repaint();
  Pump(20);
  image = CaptureClient(panel->WindowHandle());
  COLORREF hi = static_cast<COLORREF>(ColorToRGB(clBtnHighlight)), sh = static_cast<COLORREF>(ColorToRGB(clBtnShadow));
  EXPECT_EQ(image.At(5, 0), hi);
  EXPECT_EQ(image.At(5, 60), sh);
  panel->SetBevelOuter(bvLowered);
  panel->Repaint();
  Pump(20);
  image = CaptureClient(panel->WindowHandle());
  EXPECT_EQ(image.At(5, 0), sh);
  EXPECT_EQ(image.At(299, 30), hi);

  panel->SetCaption(kCjkText);
  panel->RecreateWnd();
  Pump(10);
  EXPECT_EQ(WindowTextW(panel->WindowHandle()), kCjkText);
  EXPECT_EQ(panel->Caption().str(), kCjkText);

  // A wide caption is placed by the size, so a size change repaints the
  // whole panel even where only its frame would be repainted.
  panel->SetFullRepaint(false);
  const HWND h = panel->WindowHandle();
  ASSERT_TRUE(WaitFor([&] { return !GetQueueStatus(QS_ALLINPUT); }, "the panel painted"));
  panel->SetBounds(10, 10, 360, 80);
  HRGN update = CreateRectRgn(0, 0, 0, 0);
  GetUpdateRgn(h, update, FALSE);
  EXPECT_TRUE(PtInRegion(update, 150, 30)) << "the old caption's place";
  DeleteObject(update);
  ASSERT_TRUE(WaitFor([&] { return !GetQueueStatus(QS_ALLINPUT); }, "the panel painted at its new size"));
  RECT onScreen = {0, 0, 360, 80};
  MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&onScreen), 2);
  EXPECT_TRUE(CaptureScreen(onScreen).Pixels == CaptureClient(h).Pixels) << "the screen differs from a whole paint";
}

TEST_F(UcExtCtrls, ImagesHaveAWidePictureAndHint) {
  auto* mivo = PlaceOn<TUcImage>(Form, 10, 10, 50, 50);
  auto* korfen = PlaceOn<TUcImage>(Form, 100, 10, 50, 50);
  ASSERT_TRUE(mivo->Picture()->Is<TUcPicture>());

  // The picture still tells the control of its changes.
  mivo->SetAutoSize(true);
  TBitmap bitmap;
  std::vector<uint8_t> bgr(30 * 20 * 3, 0x80);
  bitmap.SetBGR24(30, 20, bgr.data());
  mivo->Picture()->SetGraphic(&bitmap);
  EXPECT_EQ(mivo->Width(), 30);
  EXPECT_EQ(mivo->Height(), 20);

  mivo->SetHint(L"\u0421\u0430\u0439\u0442 \u4E2D");
  EXPECT_EQ(mivo->Hint().str(), L"\u0421\u0430\u0439\u0442 \u4E2D");
  THintInfo info;
  info.HintControl = mivo;
  mivo->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.HintData, &info);

  // The click's sender tells the two logos apart.
  TExtEvents ev;
  mivo->OnClick = MakeEvent<&TExtEvents::Click>(&ev);
  korfen->OnClick = MakeEvent<&TExtEvents::Click>(&ev);
  PostClick(Form->Handle(), 110, 20);
  PostClick(Form->Handle(), 15, 15);
  Pump(50);
  ASSERT_EQ(ev.Clicked.size(), 2u);
  EXPECT_EQ(ev.Clicked[0], korfen);
  EXPECT_EQ(ev.Clicked[1], mivo);
}

TEST_F(UcExtCtrls, TheLabelFollowsItsEdit) {
  auto* edit = PlaceOn<TUcLabeledEdit>(Form, 100, 100, 120, 24);
  TUcBoundLabel* label = edit->EditLabel();
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Parent(), Form);
  EXPECT_EQ(label->Name(), "SubLabel");
  label->SetCaption(kMixedText);
  EXPECT_EQ(label->Left(), 100);
  EXPECT_EQ(label->Top(), 100 - label->Height() - 3);
  edit->SetBounds(110, 120, 120, 24);  // moved by 10 and 20
  EXPECT_EQ(label->Left(), 110);
  EXPECT_EQ(label->Top(), 120 - label->Height() - 3);
  edit->SetLabelPosition(lpBelow);
  EXPECT_EQ(label->Top(), 120 + 24 + 3);
  edit->SetLabelPosition(lpLeft);
  EXPECT_EQ(label->Left(), 110 - label->Width() - 3);
  EXPECT_EQ(label->Top(), 120 + (24 - label->Height()) / 2);
  edit->SetLabelSpacing(7);
  edit->SetLabelPosition(lpRight);
  EXPECT_EQ(label->Left(), 110 + 120 + 7);
  // A longer caption resizes the label, which keeps its place beside the edit.
  int before = label->Width();
  label->SetCaption(std::wstring(kMixedText) + kMixedText);
  EXPECT_GT(label->Width(), before);
  edit->SetLabelPosition(lpLeft);
  EXPECT_EQ(label->Left() + label->Width() + 7, 110);
  label->SetCaption(L"x");
  EXPECT_EQ(label->Left() + label->Width() + 7, 110);

  edit->SetVisible(false);
  EXPECT_FALSE(label->Visible());
  edit->SetEnabled(false);
  EXPECT_FALSE(label->Enabled());
  EXPECT_EQ(label->FocusControl(), edit);
  delete label;
  EXPECT_EQ(edit->EditLabel(), nullptr);
  edit->SetBounds(0, 0, 50, 20);  // no label to move
}

TEST_F(UcExtCtrls, HintOnlyControlsKeepWideHints) {
  auto* bevel = new TUcBevel(Form);
  bevel->SetParent(Form);
  auto* splitter = new TUcSplitter(Form);
  splitter->SetParent(Form);
  bevel->SetHint(kMixedText);
  splitter->SetHint(kCjkText);
  EXPECT_EQ(bevel->Hint().str(), kMixedText);
  EXPECT_EQ(splitter->Hint().str(), kCjkText);
  THintInfo info;
  info.HintControl = bevel;
  bevel->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.HintData, &info);
}

TEST_F(UcExtCtrls, RadioGroupsArrangeTheirWideButtonsInColumns) {
  auto* group = PlaceOn<TUcRadioGroup>(Form, 10, 10, 300, 130);
  group->SetCaption(L"\u0412\u044B\u0431\u043E\u0440 \u9009\u62E9");
  group->HandleNeeded();
  const wchar_t* items[] = {L"\u043E\u0434\u0438\u043D", L"\u03B4\u03CD\u03BF", L"\u4E09", L"four", L"\u043F\u044F\u0442\u044C"};
  for (const wchar_t* item : items) group->Items()->Add(item);
  group->SetColumns(2);
  Pump(10);
  ASSERT_EQ(group->ButtonCount(), 5);
  EXPECT_EQ(WindowTextW(group->Buttons(2)->Handle()), L"\u4E09");
  TEXTMETRICW tm{};
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, group->Font()->Handle());
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  int w = (300 - 10) / 2, inner = 130 - tm.tmHeight - 5, bh = inner / 3;
  int topMargin = tm.tmHeight + 1 + (inner % 3) / 2;
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(group->Buttons(k)->Left(), (k / 3) * w + 8) << k;  // 3 in the first column, 2 in the second
    EXPECT_EQ(group->Buttons(k)->Top(), (k % 3) * bh + topMargin) << k;
    EXPECT_EQ(group->Buttons(k)->Width(), w) << k;
    EXPECT_TRUE(group->Buttons(k)->Visible()) << k;
  }
  group->SetColumns(0);
  EXPECT_EQ(group->Columns(), 1);
  group->SetColumns(20);
  EXPECT_EQ(group->Columns(), 16);

  TExtEvents ev;
  group->OnClick = MakeEvent<&TExtEvents::Click>(&ev);
  SendMessageW(group->Buttons(3)->WindowHandle(), BM_CLICK, 0, 0);
  Pump(10);
  EXPECT_EQ(group->ItemIndex(), 3);
  ASSERT_EQ(ev.Clicked.size(), 1u);
  EXPECT_EQ(ev.Clicked[0], group);
  group->SetItemIndex(9);
  EXPECT_EQ(group->ItemIndex(), 4);
  EXPECT_TRUE(group->Buttons(4)->Checked());
  EXPECT_FALSE(group->Buttons(3)->Checked());
  group->SetItemIndex(-5);
  EXPECT_EQ(group->ItemIndex(), -1);
  group->Items()->Delete(4);
  EXPECT_EQ(group->ButtonCount(), 4);
  group->SetEnabled(false);
  EXPECT_FALSE(group->Buttons(0)->Enabled());
}

TEST_F(UcExtCtrls, ShapesPaintBoxesAndControlBarsKeepWideHints) {
  auto* shape = new TUcShape(Form);
  shape->SetParent(Form);
  auto* box = PlaceOn<TUcPaintBox>(Form, 100, 10, 50, 50);
  auto* bar = PlaceOn<TUcControlBar>(Form, 10, 100, 200, 40);
  shape->SetHint(kMixedText);
  box->SetHint(kCjkText);
  bar->SetHint(kCyrillicText);
  EXPECT_EQ(shape->Hint().str(), kMixedText);
  EXPECT_EQ(box->Hint().str(), kCjkText);
  EXPECT_EQ(bar->Hint().str(), kCyrillicText);
  EXPECT_TRUE(IsWindowUnicode(bar->Handle()));
  TExtEvents ev;
  box->OnPaint = MakeEvent<&TExtEvents::Click>(&ev);
  Form->Repaint();
  Pump(20);
  EXPECT_FALSE(ev.Clicked.empty());
}
