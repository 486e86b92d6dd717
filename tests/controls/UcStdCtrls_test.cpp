// Edits, memos, labels, buttons and check boxes with wide texts on real
// windows: texts, selections and password characters in wide characters,
// memo lines, label measuring and drawing, hot keys with Cyrillic letters,
// and the check box's mouse-up after its toggle.
#include "ControlsTestUtil.h"

#include "UcStdCtrls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using UcStdCtrls = UcGuiTest;

struct TStdEvents {
  int Changes = 0;
  int Clicks = 0;
  std::vector<bool> CheckedAtMouseUp;
  TUcCheckBox* Box = nullptr;
  TUcButton* Find = nullptr;
  void Change(TObject*) { ++Changes; }
  // What the search-mask window does: Find only with a mask.
  void MaskChange(TObject* sender) {
    ++Changes;
    Find->SetEnabled(!static_cast<TUcEdit*>(sender)->Text().IsEmpty());
  }
  void Click(TObject*) { ++Clicks; }
  void MouseUp(TObject*, TMouseButton, TShiftState, int, int) { CheckedAtMouseUp.push_back(Box->Checked()); }
};

// The size DrawTextW gives the text in the control's font on the screen.
SIZE TextSize(TFont* font, const std::wstring& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font->Handle());
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return SIZE{r.right, r.bottom};
}

}  // namespace

TEST_F(UcStdCtrls, EditTextAndSelectionInWideCharacters) {
  auto* edit = new TUcEdit(Form);
  edit->SetText(kMixedText);  // before the window
  edit->SetParent(Form);
  edit->SetBounds(10, 10, 300, 24);
  edit->HandleNeeded();
  ASSERT_TRUE(IsWindowUnicode(edit->WindowHandle()));
  EXPECT_EQ(WindowTextW(edit->WindowHandle()), kMixedText);
  EXPECT_EQ(edit->Text().str(), kMixedText);

  // "Жёлтый Ελλάδα 日本語": select "Ελλάδα".
  edit->SetSelStart(7);
  edit->SetSelLength(6);
  DWORD start = 0, end = 0;
  SendMessageW(edit->WindowHandle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 7u);
  EXPECT_EQ(end, 13u);
  EXPECT_EQ(edit->SelStart(), 7);
  EXPECT_EQ(edit->SelLength(), 6);
  EXPECT_EQ(edit->SelText().str(), L"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1");
  edit->SetSelText(kCjkText);
  EXPECT_EQ(edit->Text().str(), L"\u0416\u0451\u043B\u0442\u044B\u0439 \u4E2D\u6587 \u65E5\u672C\u8A9E");

  // Across a new window.
  edit->RecreateWnd();
  Pump(10);
  EXPECT_EQ(WindowTextW(edit->WindowHandle()), L"\u0416\u0451\u043B\u0442\u044B\u0439 \u4E2D\u6587 \u65E5\u672C\u8A9E");
}

TEST_F(UcStdCtrls, PasswordCharacterOutsideTheCodePage) {
  auto* edit = PlaceOn<TUcEdit>(Form, 10, 10, 200, 24);
  edit->SetPasswordChar(L'\u2022');  // before the window
  edit->HandleNeeded();
  EXPECT_EQ(SendMessageW(edit->WindowHandle(), EM_GETPASSWORDCHAR, 0, 0), 0x2022);
  EXPECT_EQ(edit->TCustomEdit::PasswordChar(), '*');
  EXPECT_EQ(edit->PasswordChar(), L'\u2022');
  edit->RecreateWnd();
  Pump(10);
  EXPECT_EQ(SendMessageW(edit->WindowHandle(), EM_GETPASSWORDCHAR, 0, 0), 0x2022);
  // Changed with the window there, and by the class library's ANSI setter.
  edit->SetPasswordChar(L'\u25CF');
  EXPECT_EQ(SendMessageW(edit->WindowHandle(), EM_GETPASSWORDCHAR, 0, 0), 0x25CF);
  edit->TCustomEdit::SetPasswordChar('#');
  EXPECT_EQ(edit->PasswordChar(), L'#');
  edit->SetPasswordChar(0);
  EXPECT_EQ(SendMessageW(edit->WindowHandle(), EM_GETPASSWORDCHAR, 0, 0), 0);
}

TEST_F(UcStdCtrls, SearchMaskClearingAndTypingFireOnChange) {
  auto* find = PlaceOn<TUcButton>(Form, 10, 50, 80, 25);
  auto* mask = PlaceOn<TUcEdit>(Form, 10, 10, 200, 24);
  TStdEvents ev;
  ev.Find = find;
  mask->SetText(L"*.doc");
  mask->OnChange = MakeEvent<&TStdEvents::MaskChange>(&ev);
  mask->Clear();
  EXPECT_EQ(ev.Changes, 1);
  EXPECT_FALSE(find->Enabled());
  mask->SetFocus();
  PostMessageW(mask->WindowHandle(), WM_CHAR, 0x4E2D, 1);
  Pump(30);
  EXPECT_EQ(ev.Changes, 2);
  EXPECT_TRUE(find->Enabled());
  EXPECT_EQ(mask->Text().str(), L"\u4E2D");
}

TEST_F(UcStdCtrls, TheAnsiPlatformCountsWhatTheWindowCounts) {
  TPlatformSwitch ansi(false);
  auto* edit = PlaceOn<TUcEdit>(Form, 10, 10, 200, 24);
  edit->SetText(kCyrillicText);
  edit->HandleNeeded();
  EXPECT_FALSE(IsWindowUnicode(edit->WindowHandle()));
  edit->SetSelStart(1);
  edit->SetSelLength(2);
  EXPECT_EQ(edit->SelStart(), 1);
  EXPECT_EQ(edit->SelLength(), 2);
  EXPECT_EQ(edit->SelText().str(), L"\u0430\u0439");
  edit->SetSelText(L"\u0416");
  EXPECT_EQ(edit->Text().str(), L"\u0424\u0416\u043B");
}

TEST_F(UcStdCtrls, MemoLines) {
  auto* memo = PlaceOn<TUcMemo>(Form, 10, 10, 300, 150);
  TStdEvents ev;
  memo->OnChange = MakeEvent<&TStdEvents::Change>(&ev);
  TUcStrings* lines = memo->Lines();
  lines->Add(kMixedText);
  lines->Add(kCjkText);
  ASSERT_EQ(lines->Count(), 2);
  EXPECT_EQ(lines->Get(0).str(), kMixedText);
  EXPECT_EQ(lines->Get(1).str(), kCjkText);
  lines->Insert(1, kCyrillicText);
  lines->Put(0, L"first");
  EXPECT_EQ(memo->Text().str(), std::wstring(L"first\r\n") + kCyrillicText + L"\r\n" + kCjkText + L"\r\n");
  lines->Delete(1);
  EXPECT_EQ(lines->Count(), 2);
  EXPECT_EQ(lines->Get(1).str(), kCjkText);

  // The text already there: the window is not touched.
  int before = ev.Changes;
  lines->SetText(memo->Text());
  EXPECT_EQ(ev.Changes, before);
  // Line breaks of any kind become CR LF.
  lines->SetText(L"a\nb\rc");
  EXPECT_EQ(memo->Text().str(), L"a\r\nb\r\nc");

  // Appending after a last line that is empty still adds the text.
  lines->SetText(L"x\r\n\r\n");
  lines->Insert(2, L"y");
  EXPECT_EQ(memo->Text().str(), L"x\r\n\r\ny\r\n");
  // Past the memo's last line, which is empty: the text goes in after it.
  lines->SetText(L"x\r\n");
  ASSERT_EQ(SendMessageW(memo->WindowHandle(), EM_GETLINECOUNT, 0, 0), 2);
  lines->Insert(2, L"z");
  EXPECT_EQ(memo->Text().str(), L"x\r\n\r\nz");
  EXPECT_EQ(lines->Count(), 3);
  EXPECT_EQ(lines->Get(2).str(), L"z");
}

TEST_F(UcStdCtrls, AMemoLineLongerThanALineReadTakesIsRefused) {
  auto* memo = PlaceOn<TUcMemo>(Form, 10, 10, 300, 150);
  memo->SetMaxLength(0x7FFFFFF0);
  memo->SetWordWrap(false);
  std::wstring longLine(70000, L'\u0416');
  memo->SetText(longLine);
  ASSERT_EQ(GetWindowTextLengthW(memo->WindowHandle()), 70000);
  EXPECT_THROW(memo->Lines()->Get(0), EOutOfResources);
}

TEST_F(UcStdCtrls, LabelsMeasureTheirWideText) {
  auto* label = PlaceOn<TUcLabel>(Form, 10, 10, 10, 10);
  label->SetAutoSize(true);
  label->SetCaption(L"");
  SIZE line = TextSize(label->Font(), L" ");
  EXPECT_EQ(label->Height(), line.cy);
  EXPECT_GT(label->Height(), 0);

  // A caption of wide glyphs: the ANSI form ("???") would be narrower.
  std::wstring text = L"\u65E5\u672C \u8A9E\u65E5 \u672C\u8A9E";
  label->SetCaption(text.c_str());
  EXPECT_EQ(label->Width(), TextSize(label->Font(), text).cx);
  EXPECT_NE(label->Width(), TextSize(label->Font(), Narrowed(text)).cx);

  // Word wrap keeps the width and grows the height.
  label->SetCaption(L"\u0416\u0451\u043B\u0442\u044B\u0439 \u0417\u0435\u043B\u0451\u043D\u044B\u0439 \u4E2D\u6587");
  label->SetAutoSize(false);
  label->SetWidth(40);
  label->SetWordWrap(true);
  label->SetAutoSize(true);
  EXPECT_GT(label->Height(), line.cy);
}

TEST_F(UcStdCtrls, DisabledLabelsAreEmbossed) {
  auto* label = PlaceOn<TUcLabel>(Form, 10, 10, 10, 10);
  label->Font()->SetHeight(-40);
  label->Font()->SetStyle(fsBold);
  label->SetCaption(L"\u2588\u2588\u4E2D");  // full blocks: plenty of ink
  label->SetEnabled(false);
  Form->Repaint();
  Pump(20);
  TCapturedImage image = CaptureClient(Form->Handle());
  TRect r = label->BoundsRect();
  RECT area{r.left, r.top, r.right + 1, r.bottom + 1};
  COLORREF highlight = static_cast<COLORREF>(ColorToRGB(clBtnHighlight));
  COLORREF shadow = static_cast<COLORREF>(ColorToRGB(clBtnShadow));
  ASSERT_NE(highlight, shadow);
  EXPECT_GT(image.Count(shadow, area), 50);
  EXPECT_GT(image.Count(highlight, area), 0);
  // The highlight shows one pixel right of and below a shadow pixel's row end.
  bool found = false;
  for (int y = r.top; y < r.bottom && !found; ++y)
    for (int x = r.left; x < r.right && !found; ++x)
      if (image.At(x, y) == shadow && image.At(x + 1, y + 1) == highlight && image.At(x + 1, y) != shadow) found = true;
  EXPECT_TRUE(found);

  label->SetEnabled(true);
  label->Font()->SetColor(clRed);
  Form->Repaint();
  Pump(20);
  image = CaptureClient(Form->Handle());
  EXPECT_GT(image.Count(RGB(255, 0, 0), area), 50);
  EXPECT_EQ(image.Count(shadow, area), 0);
}

TEST_F(UcStdCtrls, CyrillicHotKeysClickButtonsAndToggleCheckBoxes) {
  auto* button = PlaceOn<TUcButton>(Form, 10, 10, 100, 25);
  button->SetCaption(L"&\u0416\u0451\u043B\u0442\u044B\u0439");  // "&Жёлтый"
  auto* box = PlaceOn<TUcCheckBox>(Form, 10, 50, 150, 20);
  box->SetCaption(L"\u0421&\u0438\u043D\u0438\u0439");  // "С&иний"
  TStdEvents ev;
  button->OnClick = MakeEvent<&TStdEvents::Click>(&ev);
  ASSERT_TRUE(IsWindowUnicode(button->WindowHandle()));
  EXPECT_EQ(WindowTextW(button->WindowHandle()), L"&\u0416\u0451\u043B\u0442\u044B\u0439");

  EXPECT_EQ(button->Perform(CM_DIALOGCHAR, 0x0436), 1);  // "ж", lower case
  EXPECT_EQ(button->Perform(CM_DIALOGCHAR, 0x0416), 1);  // "Ж"
  EXPECT_EQ(ev.Clicks, 2);
  EXPECT_EQ(button->Perform(CM_DIALOGCHAR, 0x0438), 0);  // not its key
  EXPECT_EQ(ev.Clicks, 2);

  EXPECT_EQ(box->Perform(CM_DIALOGCHAR, 0x0418), 1);  // "И"
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(BST_CHECKED, SendMessageW(box->WindowHandle(), BM_GETCHECK, 0, 0));
  // A box that cannot take the focus is not toggled.
  box->SetEnabled(false);
  EXPECT_EQ(box->Perform(CM_DIALOGCHAR, 0x0438), 0);
  EXPECT_TRUE(box->Checked());
  button->SetEnabled(false);
  EXPECT_EQ(button->Perform(CM_DIALOGCHAR, 0x0416), 0);
  EXPECT_EQ(ev.Clicks, 2);
}

TEST_F(UcStdCtrls, CheckBoxMouseUpSeesTheNewState) {
  auto* box = PlaceOn<TUcCheckBox>(Form, 10, 10, 150, 20);
  box->SetCaption(kMixedText);
  box->HandleNeeded();
  EXPECT_EQ(WindowTextW(box->WindowHandle()), kMixedText);
  TStdEvents ev;
  ev.Box = box;
  box->OnMouseUp = MakeEvent<&TStdEvents::MouseUp>(&ev);
  PostClick(box->WindowHandle(), 7, 10);
  Pump(50);
  ASSERT_EQ(ev.CheckedAtMouseUp.size(), 1u);
  EXPECT_TRUE(ev.CheckedAtMouseUp[0]);
  PostClick(box->WindowHandle(), 7, 10);
  Pump(50);
  ASSERT_EQ(ev.CheckedAtMouseUp.size(), 2u);
  EXPECT_FALSE(ev.CheckedAtMouseUp[1]);
  EXPECT_EQ(BST_UNCHECKED, SendMessageW(box->WindowHandle(), BM_GETCHECK, 0, 0));
}

TEST_F(UcStdCtrls, LabelHintsAreShownWide) {
  auto* label = PlaceOn<TUcLabel>(Form, 10, 10, 100, 20);
  label->SetHint(L"\u65E5\u672C|long");
  THintInfo info;
  info.HintControl = label;
  label->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.HintData, &info);
  EXPECT_NE(info.HintWindowClass, &THintWindow::Class);
  EXPECT_EQ(info.HintStr, "??");
}

TEST_F(UcStdCtrls, RadioButtonsCheckOneOfTheirGroup) {
  auto* a = PlaceOn<TUcRadioButton>(Form, 10, 10, 150, 20);
  auto* b = PlaceOn<TUcRadioButton>(Form, 10, 40, 150, 20);
  a->SetCaption(L"&\u0410\u043B\u044C\u0444\u0430 \u03B1");
  b->SetCaption(L"\u0411\u0435\u0442\u0430 \u4E2D");
  ASSERT_TRUE(IsWindowUnicode(b->WindowHandle()));
  EXPECT_EQ(WindowTextW(b->WindowHandle()), L"\u0411\u0435\u0442\u0430 \u4E2D");
  SendMessageW(a->WindowHandle(), BM_CLICK, 0, 0);
  Pump(10);
  EXPECT_TRUE(a->Checked());
  SendMessageW(b->WindowHandle(), BM_CLICK, 0, 0);
  Pump(10);
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(SendMessageW(a->WindowHandle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  // The hot key focuses the button.
  EXPECT_EQ(a->Perform(CM_DIALOGCHAR, 0x0430), 1);
  EXPECT_EQ(Form->ActiveControl(), a);
}

TEST_F(UcStdCtrls, GroupBoxesPaintTheirWideCaption) {
  auto* box = PlaceOn<TUcGroupBox>(Form, 10, 10, 250, 120);
  box->SetCaption(L"\u2588\u2588 \u0413\u0440\u0443\u043F\u043F\u0430 \u4E2D");
  box->Font()->SetColor(clRed);
  auto* first = new TUcEdit(Form);
  first->SetParent(box);
  first->SetBounds(10, 30, 100, 24);
  box->HandleNeeded();
  ASSERT_TRUE(IsWindowUnicode(box->WindowHandle()));
  box->Repaint();
  Pump(20);
  TCapturedImage image = CaptureClient(box->WindowHandle());
  SIZE zero = TextSize(box->Font(), L"0");
  RECT captionArea{8, 0, 250, zero.cy};
  EXPECT_GT(image.Count(RGB(255, 0, 0), captionArea), 20);
  // The frame starts half the caption's height down.
  COLORREF shadow = static_cast<COLORREF>(ColorToRGB(clBtnShadow));
  EXPECT_EQ(image.At(2, zero.cy / 2 - 1), shadow);
  EXPECT_EQ(image.At(0, 60), shadow);
  EXPECT_EQ(image.At(1, 60), static_cast<COLORREF>(ColorToRGB(clBtnHighlight)));
  // The hot key selects its first child.
  box->SetCaption(L"\u0413&\u0440\u0443\u043F\u043F\u0430");
  EXPECT_EQ(box->Perform(CM_DIALOGCHAR, 0x0440), 1);
  EXPECT_EQ(Form->ActiveControl(), first);
}

TEST_F(UcStdCtrls, StaticTextHotKeyFocusesTheControlItNames) {
  auto* edit = PlaceOn<TUcEdit>(Form, 10, 60, 100, 24);
  auto* other = PlaceOn<TUcEdit>(Form, 10, 100, 100, 24);
  auto* text = PlaceOn<TUcStaticText>(Form, 10, 10, 10, 10);
  text->SetCaption(L"\u0421&\u0442\u0440\u043E\u043A\u0430");  // "С&трока", not in code page 1252
  EXPECT_EQ(text->Perform(CM_DIALOGCHAR, 0x0422), 0);  // no focus control named yet
  text->SetFocusControl(edit);
  other->SetFocus();
  EXPECT_EQ(text->Perform(CM_DIALOGCHAR, 0x0421), 0);  // not its key
  EXPECT_EQ(text->Perform(CM_DIALOGCHAR, 0x0442), 1);  // "т"
  EXPECT_TRUE(edit->Focused());
  other->SetFocus();
  text->SetShowAccelChar(false);
  EXPECT_EQ(text->Perform(CM_DIALOGCHAR, 0x0442), 0);
  text->SetShowAccelChar(true);
  text->SetEnabled(false);
  EXPECT_EQ(text->Perform(CM_DIALOGCHAR, 0x0442), 0);
  EXPECT_TRUE(other->Focused());
}

TEST_F(UcStdCtrls, StaticTextSizesItselfToItsWideCaption) {
  auto* text = PlaceOn<TUcStaticText>(Form, 10, 10, 10, 10);
  std::wstring caption = L"\u0421\u0442\u0430\u0442\u0438\u043A\u0430 \u65E5\u672C\u8A9E";
  text->SetCaption(caption.c_str());
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, text->Font()->Handle());
  SIZE size{};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(text->Width(), size.cx + 4 * GetSystemMetrics(SM_CXBORDER));
  EXPECT_EQ(text->Height(), size.cy + 4 * GetSystemMetrics(SM_CYBORDER));
  text->HandleNeeded();
  EXPECT_EQ(WindowTextW(text->WindowHandle()), caption);
  // A focus control takes its hot key.
  auto* edit = PlaceOn<TUcEdit>(Form, 10, 50, 100, 24);
  text->SetFocusControl(edit);
  text->SetCaption(L"&\u0418\u043C\u044F");
  EXPECT_EQ(text->Perform(CM_DIALOGCHAR, 0x0438), 1);
  EXPECT_EQ(Form->ActiveControl(), edit);
  text->SetAutoSize(false);
  text->SetCaption(caption.c_str());
  EXPECT_NE(text->Width(), size.cx + 4 * GetSystemMetrics(SM_CXBORDER));
}

TEST_F(UcStdCtrls, ScrollBarsAreUnicodeWindowsWithWideHints) {
  auto* bar = PlaceOn<TUcScrollBar>(Form, 10, 10, 200, 17);
  bar->SetHint(kCjkText);
  bar->SetParams(5, 0, 50);
  ASSERT_TRUE(IsWindowUnicode(bar->Handle()));
  EXPECT_EQ(GetScrollPos(bar->WindowHandle(), SB_CTL), 5);
  TStdEvents ev;
  bar->OnChange = MakeEvent<&TStdEvents::Change>(&ev);
  Form->Perform(WM_HSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(bar->WindowHandle()));
  EXPECT_EQ(bar->Position(), 6);
  EXPECT_EQ(ev.Changes, 1);
  EXPECT_EQ(bar->Hint().str(), kCjkText);
}
