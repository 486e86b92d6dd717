// The Unicode frame and scroll box: Unicode windows, wide hints read from
// layouts, scroll bars over Unicode windows, and the limit on nested WM_SIZE.
#include "ControlsTestUtil.h"

#include "UcForms.h"

#include "extctrls.h"
#include "layout.h"

#include <gtest/gtest.h>

namespace {

using UcFramesTest = UcGuiTest;

// Hint texts written into the layouts as UTF-8.
const wchar_t kFrameHint[] = L"\u041F\u043E\u0434\u0441\u043A\u0430\u0437\u043A\u0430|\u65E5\u672C\u8A9E \u03A9";
const wchar_t kBoxHint[] = L"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1";

// A scroll box whose resize handler answers with another WM_SIZE, as a
// handler that shows a scroll bar would.
struct TResizeEcho {
  TUcScrollBox* Box = nullptr;
  int Calls = 0;
  void Resized(TObject*) {
    ++Calls;
    if (Calls < 100) Box->Perform(WM_SIZE, SIZE_RESTORED, MAKELPARAM(Box->Width(), Box->Height()));
  }
};

}  // namespace

TEST_F(UcFramesTest, FrameInAFormLayoutCarriesItsWideHintToItsChildren) {
  auto* form = NewForm<TUcForm>(nullptr);
  ReadComponentText(
      "object UcForm1: TUcForm\n"
      "  object Frame1: TUcFrame\n"
      "    Left = 4\n"
      "    Top = 4\n"
      "    Width = 280\n"
      "    Height = 180\n"
      "    Hint = '\xD0\x9F\xD0\xBE\xD0\xB4\xD1\x81\xD0\xBA\xD0\xB0\xD0\xB7\xD0\xBA\xD0\xB0|"
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xCE\xA9'\n"
      "    object Box: TUcScrollBox\n"
      "      Width = 120\n"
      "      Height = 90\n"
      "      Hint = '\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1'\n"
      "    end\n"
      "    object Inner: TUcScrollBox\n"
      "      Top = 100\n"
      "    end\n"
      "  end\n"
      "end\n",
      form);
  auto* frame = static_cast<TUcFrame*>(form->FindComponent("Frame1"));
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(frame->Is<TUcFrame>());
  auto* box = static_cast<TUcScrollBox*>(form->FindComponent("Box"));
  auto* inner = static_cast<TUcScrollBox*>(form->FindComponent("Inner"));
  ASSERT_NE(box, nullptr);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(frame->Parent(), form);
  EXPECT_EQ(box->Parent(), frame);
  EXPECT_EQ(frame->Hint().str(), kFrameHint);
  EXPECT_EQ(box->Hint().str(), kBoxHint);
  // The ANSI side holds what the code page can.
  EXPECT_EQ(frame->TControl::Hint(), WideToAnsi(kFrameHint));
  // A child without a hint of its own shows its frame's.
  EXPECT_EQ(WideGetHint(inner).str(), kFrameHint);
  EXPECT_EQ(WideGetShortHint(WideGetHint(inner)).str(), L"\u041F\u043E\u0434\u0441\u043A\u0430\u0437\u043A\u0430");
  EXPECT_EQ(WideGetLongHint(WideGetHint(inner)).str(), L"\u65E5\u672C\u8A9E \u03A9");

  form->Show();
  Pump(20);
  ASSERT_TRUE(frame->HandleAllocated());
  ASSERT_TRUE(box->HandleAllocated());
  EXPECT_TRUE(IsWindowUnicode(frame->WindowHandle()));
  EXPECT_TRUE(IsWindowUnicode(box->WindowHandle()));
  EXPECT_EQ(GetParent(box->WindowHandle()), frame->WindowHandle());
  EXPECT_TRUE(GetWindowLongW(box->WindowHandle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  // Hints live beside the window, so a new window keeps them.
  frame->RecreateWnd();
  Pump(10);
  EXPECT_EQ(frame->Hint().str(), kFrameHint);
  EXPECT_EQ(box->Hint().str(), kBoxHint);
  delete form;
}

TEST_F(UcFramesTest, FrameReadAsTheRootOfItsOwnLayout) {
  auto* frame = new TUcFrame(Form);
  ReadComponentText(
      "object Frame2: TUcFrame\n"
      "  Width = 200\n"
      "  Height = 100\n"
      "  Hint = '\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1'\n"
      "  AutoScroll = False\n"
      "end\n",
      frame);
  EXPECT_EQ(frame->Name(), "Frame2");
  EXPECT_EQ(frame->Hint().str(), kBoxHint);
  EXPECT_FALSE(frame->AutoScroll());
  frame->SetParent(Form);
  EXPECT_TRUE(IsWindowUnicode(frame->Handle()));
  EXPECT_EQ(frame->Width(), 200);
  // A layout of another class is refused.
  auto* other = new TUcFrame(Form);
  EXPECT_THROW(ReadComponentText("object X: TUcScrollBox\nend\n", other), EReadError);
  delete other;
  delete frame;
}

TEST_F(UcFramesTest, ScrollBarsOfAUnicodeScrollBoxFollowItsChildren) {
  auto* box = new TUcScrollBox(Form);
  box->SetParent(Form);
  box->SetBounds(0, 0, 150, 100);
  Pump(10);
  HWND h = box->Handle();
  EXPECT_TRUE(IsWindowUnicode(h));
  auto* panel = new TPanel(Form);
  panel->SetParent(box);
  panel->SetBounds(10, 10, 40, 40);
  EXPECT_FALSE(GetWindowLongW(h, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL));
  panel->SetTop(250);
  EXPECT_TRUE(GetWindowLongW(h, GWL_STYLE) & WS_VSCROLL);
  EXPECT_FALSE(GetWindowLongW(h, GWL_STYLE) & WS_HSCROLL);
  EXPECT_EQ(box->VertScrollBar()->Range(), 290);
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE;
  ASSERT_TRUE(GetScrollInfo(h, SB_VERT, &si));
  EXPECT_EQ(si.nMax, 289);
  // The thumb dragged to the end (the Unicode window passes the message on).
  SendMessageW(h, WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
  RECT client;
  GetClientRect(h, &client);
  EXPECT_EQ(panel->Top() + panel->Height(), client.bottom);
  // Moved back near the top of the contents (its place in view is offset by
  // the scrolling): the bar goes and the view scrolls back.
  panel->SetTop(10 - box->VertScrollBar()->Position());
  EXPECT_FALSE(GetWindowLongW(h, GWL_STYLE) & WS_VSCROLL);
  EXPECT_EQ(box->VertScrollBar()->Position(), 0);
  EXPECT_EQ(panel->Top(), 10);
  delete panel;
  delete box;
}

TEST_F(UcFramesTest, NestedResizingOfAScrollBoxStopsAtDepth32) {
  auto* box = new TUcScrollBox(Form);
  box->SetParent(Form);
  box->SetBounds(0, 0, 150, 100);
  box->HandleNeeded();
  TResizeEcho echo;
  echo.Box = box;
  box->OnResize = MakeEvent<&TResizeEcho::Resized>(&echo);
  box->Perform(WM_SIZE, SIZE_RESTORED, MAKELPARAM(150, 100));
  // Depths 1 to 31 reach the handler; the 32nd is not passed on.
  EXPECT_EQ(echo.Calls, 31);
  // The counter went back down: the next resize runs again from depth 1.
  echo.Calls = 0;
  box->Perform(WM_SIZE, SIZE_RESTORED, MAKELPARAM(150, 100));
  EXPECT_EQ(echo.Calls, 31);
  // A plain resize reaches the handler once.
  echo.Calls = 99;
  box->SetWidth(160);
  EXPECT_EQ(echo.Calls, 100);
  box->OnResize.Clear();
  delete box;
}
