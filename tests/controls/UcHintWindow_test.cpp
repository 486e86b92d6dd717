// The Unicode hint window: wide hints shown by the class library's hint
// machinery, the short/long split, multi-line hints, and the helpers.
#include "ControlsTestUtil.h"

#include "UcGraphics.h"
#include "UcHintWindow.h"
#include "UcMenus.h"

#include <gtest/gtest.h>

namespace {

using UcHints = UcGuiTest;

TWinControl* HoverTarget = nullptr;

// Keeps the cursor resting over the hover target (moving it there again, as a
// hand on the mouse would, should anything have cancelled the hint timer).
void RestOnTarget() {
  TWinControl* c = HoverTarget;
  TPoint p = c->ClientToScreen(TPoint(c->Width() / 2, c->Height() / 2));
  SetCursorPos(p.x, p.y);
  PostMessageW(c->WindowHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(c->Width() / 2, c->Height() / 2));
}

bool HintShown() {
  THintWindow* hw = Application->HintWindow();
  if (hw && hw->HandleAllocated() && IsWindowVisible(hw->WindowHandle())) return true;
  RestOnTarget();
  return false;
}

// Puts the cursor over the control and moves it there, so the class
// library's hint timer starts.
void HoverOver(TWinControl* control) {
  Application->CancelHint();
  HoverTarget = control;
  RestOnTarget();
}

}  // namespace

TEST_F(UcHints, AWideHintIsShownUnchangedByTheUnicodeHintWindow) {
  auto* edit = new TTestUcEdit(Form);
  edit->SetParent(Form);
  edit->HandleNeeded();
  edit->SetShowHint(true);
  edit->SetHint(std::wstring(kMixedText) + L"|the long part");
  Application->SetHintPause(100);
  HoverOver(edit);
  ASSERT_TRUE(WaitFor(&HintShown, "the hint window shown"));
  THintWindow* hw = Application->HintWindow();
  EXPECT_EQ(hw->ClassType(), &TUcCustomHintWindow::Class);
  EXPECT_TRUE(IsWindowUnicode(hw->WindowHandle()));
  EXPECT_EQ(WindowTextW(hw->WindowHandle()), kMixedText);
  // Sized by the wide text: at least as wide as the text measured wide.
  HDC dc = GetDC(hw->WindowHandle());
  HGDIOBJ old = SelectObject(dc, hw->Font()->Handle());
  SIZE size{};
  GetTextExtentPoint32W(dc, kMixedText, static_cast<int>(wcslen(kMixedText)), &size);
  SelectObject(dc, old);
  ReleaseDC(hw->WindowHandle(), dc);
  EXPECT_GE(hw->Width(), size.cx);
  Application->CancelHint();
  Application->SetHintPause(500);
}

TEST_F(UcHints, AClassLibraryControlKeepsTheClassLibraryHintWindow) {
  auto* plain = PlaceOn<TEdit>(Form, 10, 60, 150, 24);
  plain->HandleNeeded();
  plain->SetShowHint(true);
  plain->TControl::SetHint("plain hint");
  Application->SetHintPause(100);
  HoverOver(plain);
  ASSERT_TRUE(WaitFor(&HintShown, "the hint window shown"));
  EXPECT_EQ(Application->HintWindow()->ClassType(), &THintWindow::Class);
  Application->CancelHint();
  Application->SetHintPause(500);
}

TEST_F(UcHints, CmHintShowMarksTheInformationAndSplitsTheHint) {
  auto* edit = new TTestUcEdit(Form);
  edit->SetParent(Form);
  edit->SetHint(L"\u65E5\u672C|long|er");
  THintInfo info;
  info.HintControl = edit;
  info.HintWindowClass = &THintWindow::Class;
  info.HintStr = "ignored";
  edit->HandleNeeded();
  edit->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.HintWindowClass, &TUcCustomHintWindow::Class);
  EXPECT_EQ(info.HintData, &info);
  EXPECT_EQ(info.HintStr, "??");
  EXPECT_TRUE(IsWideHintData(&info));
  EXPECT_EQ(WideHintForHintInfo(&info).str(), L"\u65E5\u672C");

  // A window class of the application's own that is no Unicode one is left alone.
  THintInfo other;
  other.HintControl = edit;
  other.HintWindowClass = &TCustomControl::Class;
  other.HintStr = "kept";
  edit->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&other));
  EXPECT_EQ(other.HintStr, "kept");
  EXPECT_EQ(other.HintData, nullptr);

  // The windowless control routes its hint the same way.
  auto* label = new TTestUcLabel(Form);
  label->SetParent(Form);
  label->SetHint(kCyrillicText);
  THintInfo forLabel;
  forLabel.HintControl = label;
  forLabel.HintWindowClass = &THintWindow::Class;
  label->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&forLabel));
  EXPECT_EQ(WideHintForHintInfo(&forLabel).str(), kCyrillicText);
}

TEST(UcHintHelpers, IsWideHintDataTruthTable) {
  THintInfo info;
  info.HintData = &info;
  info.HintWindowClass = &TUcCustomHintWindow::Class;
  EXPECT_TRUE(IsWideHintData(&info));
  info.HintWindowClass = &TUcHintWindow::Class;
  EXPECT_TRUE(IsWideHintData(&info));
  info.HintWindowClass = &THintWindow::Class;
  EXPECT_FALSE(IsWideHintData(&info));
  info.HintWindowClass = nullptr;
  EXPECT_FALSE(IsWideHintData(&info));
  THintInfo elsewhere;
  elsewhere.HintData = &info;
  elsewhere.HintWindowClass = &TUcCustomHintWindow::Class;
  EXPECT_FALSE(IsWideHintData(&elsewhere));
  EXPECT_FALSE(IsWideHintData(nullptr));
}

TEST_F(UcHints, TheActionShortcutTheClassLibraryAppendedIsMadeWide) {
  auto* edit = new TTestUcEdit(Form);
  edit->SetParent(Form);
  auto* action = new TUcAction(Form);
  action->SetShortCut(0x404F);
  edit->SetAction(action);
  edit->SetHint(L"\u65E5\u672C|long");
  THintInfo info;
  info.HintControl = edit;
  info.HintWindowClass = &TUcCustomHintWindow::Class;
  info.HintData = &info;
  info.HintStr = Format("%s (%s)", {AnsiString("??"), ShortCutToText(0x404F)});
  ASSERT_TRUE(Application->HintShortCuts());
  EXPECT_EQ(WideHintForHintInfo(&info).str(),
            std::wstring(L"\u65E5\u672C (") + WideShortCutToText(0x404F).str() + L")");
  Application->SetHintShortCuts(false);
  EXPECT_EQ(WideHintForHintInfo(&info), AnsiToWide(info.HintStr));
  Application->SetHintShortCuts(true);
  edit->SetAction(nullptr);
}

TEST_F(UcHints, MultiLineHintsAreSeveralLinesTallAndRectsArePadded) {
  auto* hw = new TUcHintWindow(nullptr);
  TRect one = hw->CalcHintRect(1000, WideString(L"\u0416one"), nullptr);
  TRect three = hw->CalcHintRect(1000, WideString(L"\u0416one\n\u65E5two\nthree"), nullptr);
  int line = one.Height() - 2;
  ASSERT_GT(line, 0);
  EXPECT_EQ(three.Height(), 3 * line + 2);

  // 6 wider and 2 higher than the text measured the same way.
  TCanvas* canvas = new TCanvas();
  HDC dc = CreateCompatibleDC(nullptr);
  canvas->SetHandle(dc);
  RECT r{0, 0, 1000, 0};
  canvas->RequiredState(csHandleValid | csFontValid);
  DrawTextW(dc, L"\u0416one", -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK);
  TRect padded = CalcWideHintRect(canvas, 1000, L"\u0416one");
  EXPECT_EQ(padded.right, r.right + 6);
  EXPECT_EQ(padded.bottom, r.bottom + 2);
  canvas->SetHandle(nullptr);
  DeleteDC(dc);
  delete canvas;

  // A long text wraps at the maximum width.
  std::wstring longText(60, L'\u0416');
  for (size_t i = 5; i < longText.size(); i += 6) longText[i] = L' ';
  TRect wrapped = hw->CalcHintRect(100, WideString(longText), nullptr);
  EXPECT_LE(wrapped.Width(), 106);
  EXPECT_GT(wrapped.Height(), line + 2);
  delete hw;
}

TEST_F(UcHints, WideOverloadsShowTheGivenText) {
  auto* hw = new TUcHintWindow(nullptr);
  TRect r = hw->CalcHintRect(400, WideString(kMixedText), nullptr);
  OffsetRect(&r, 200, 200);
  hw->ActivateHint(r, WideString(kMixedText));
  EXPECT_TRUE(IsWindowVisible(hw->WindowHandle()));
  EXPECT_EQ(WindowTextW(hw->WindowHandle()), kMixedText);
  hw->ActivateHintData(r, WideString(kCjkText), nullptr);
  EXPECT_EQ(WindowTextW(hw->WindowHandle()), kCjkText);
  // Text changes outside an activation size the window by the wide text.
  hw->SetCaption(L"\u65E5");
  hw->Canvas()->Font()->Assign(hw->Font());
  TSize size = WideCanvasTextExtent(hw->Canvas(), L"\u65E5");
  EXPECT_EQ(hw->Width(), size.cx + 6);
  EXPECT_EQ(hw->Height(), size.cy + 6);
  delete hw;
}
