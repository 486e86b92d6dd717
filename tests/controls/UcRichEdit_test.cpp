// The wide rich edit on real windows: texts and positions counted with CR LF
// line breaks over a control that keeps one CR, RTF documents, search, the
// text limit of the comment editor and the help window's link formatting.
#include "ControlsTestUtil.h"

#include "UcRichEdit.h"
#include "UcWideStreams.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using UcRichEdit = UcGuiTest;

TUcRichEdit* NewRichEdit(TForm* form) { return PlaceOn<TUcRichEdit>(form, 10, 10, 380, 200); }

CHARRANGE NativeSelection(TUcRichEdit* re) {
  CHARRANGE r{};
  SendMessageW(re->WindowHandle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
  return r;
}

void SetNativeSelection(TUcRichEdit* re, int from, int to) {
  CHARRANGE r{from, to};
  SendMessageW(re->WindowHandle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
}

// The control's own text, line breaks as it keeps them.
std::wstring NativeText(TUcRichEdit* re) {
  wchar_t buf[1024] = {};
  GETTEXTEX get{};
  get.cb = sizeof buf;
  get.flags = GT_DEFAULT;
  get.codepage = 1200;
  SendMessageW(re->WindowHandle(), EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(buf));
  return buf;
}

struct TRichEvents {
  int Changes = 0;
  void Change(TObject*) { ++Changes; }
};

}  // namespace

TEST_F(UcRichEdit, TextAndPositionsCountCrLf) {
  TUcRichEdit* re = NewRichEdit(Form);
  ASSERT_EQ(TUcCustomRichEdit::LineBreakStyle(), tlbsCR);
  re->SetText(L"a\r\nb");
  ASSERT_TRUE(IsWindowUnicode(re->WindowHandle()));
  EXPECT_EQ(NativeText(re), L"a\rb");
  EXPECT_EQ(re->Text().str(), L"a\r\nb");
  // The caret after the "b": the control says 3, the caller counts 4.
  SetNativeSelection(re, 3, 3);
  EXPECT_EQ(re->SelStart(), 4);
  re->SetSelStart(0);
  re->SetSelStart(4);
  EXPECT_EQ(NativeSelection(re).cpMin, 3);
  re->SetSelStart(1);
  re->SetSelLength(3);  // "\r\nb"
  EXPECT_EQ(NativeSelection(re).cpMin, 1);
  EXPECT_EQ(NativeSelection(re).cpMax, 3);
  EXPECT_EQ(re->SelLength(), 3);
  EXPECT_EQ(re->SelText().str(), L"\r\nb");

  // Wide text of several lines and scripts; every line break of the caller
  // becomes the control's.
  re->SetText(std::wstring(kMixedText) + L"\n" + kCjkText + L"\r" + kCyrillicText);
  EXPECT_EQ(re->Text().str(), std::wstring(kMixedText) + L"\r\n" + kCjkText + L"\r\n" + kCyrillicText);
  int last = static_cast<int>(std::wstring(kMixedText).size() + 2 + 2 + 2);  // start of the third line
  re->SetSelStart(last);
  re->SetSelLength(2);
  EXPECT_EQ(re->SelText().str(), std::wstring(kCyrillicText).substr(0, 2));
  re->SetSelText(L"\u4E2D\r\n");
  EXPECT_EQ(re->Lines()->Count(), 4);
}

TEST_F(UcRichEdit, WrappedLinesAreNoBreaks) {
  TUcRichEdit* re = NewRichEdit(Form);
  re->SetWidth(80);
  std::wstring longLine;
  for (int i = 0; i < 12; ++i) longLine += L"\u0441\u043B\u043E\u0432\u043E ";
  re->SetText(longLine + L"\r\nend");
  ASSERT_TRUE(re->WordWrap());
  ASSERT_GT(SendMessageW(re->WindowHandle(), EM_GETLINECOUNT, 0, 0), 3);  // wrapped
  int endPos = static_cast<int>(longLine.size()) + 2;  // "end" after one CR LF
  re->SetSelStart(endPos);
  EXPECT_EQ(NativeSelection(re).cpMin, static_cast<LONG>(longLine.size()) + 1);
  EXPECT_EQ(re->SelStart(), endPos);
  EXPECT_EQ(re->FindText(L"end", 0, endPos + 3, 0), endPos);
}

TEST_F(UcRichEdit, RtfDocumentsShowFormatted) {
  TUcRichEdit* re = NewRichEdit(Form);
  // Windows-1251 RTF, as the help documents are, with a Unicode escape.
  re->SetText(L"{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fcharset204 Arial;}}"
              L"\\f0 \\b \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2\\b0  \\u20013?\\par second}");
  std::wstring text = re->Text().str();
  EXPECT_EQ(text.find(L"rtf"), std::wstring::npos);
  EXPECT_EQ(text.substr(0, 8), L"\u041F\u0440\u0438\u0432\u0435\u0442 \u4E2D");
  EXPECT_NE(text.find(L"second"), std::wstring::npos);

  // The same through the lines, as the help window loads its document.
  AnsiString rtf = "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0 \\'c4\\'e0\\par}";
  TMemoryStream stream;
  stream.WriteBuffer(rtf.c_str(), rtf.Length());
  stream.SetPosition(0);
  re->Lines()->LoadFromStream(&stream);
  EXPECT_EQ(re->Lines()->Get(0).str(), L"\u0414\u0430");
}

TEST_F(UcRichEdit, SettingTheSameTextLeavesTheControlAlone) {
  TUcRichEdit* re = NewRichEdit(Form);
  TRichEvents ev;
  re->OnChange = MakeEvent<&TRichEvents::Change>(&ev);
  re->SetText(L"\u0416\r\n\u4E2D");
  int after = ev.Changes;
  EXPECT_GT(after, 0);
  re->SetText(L"\u0416\r\n\u4E2D");
  EXPECT_EQ(ev.Changes, after);
  // Lines.Text goes in without the change notification.
  re->Lines()->SetText(L"x\r\ny");
  EXPECT_EQ(ev.Changes, after);
  EXPECT_EQ(re->Text().str(), L"x\r\ny");
}

TEST_F(UcRichEdit, FindTextCountsCrLf) {
  TUcRichEdit* re = NewRichEdit(Form);
  re->SetText(L"first \u0441\u0442\u0440\u043E\u043A\u0430\r\nsecond \u4E2D word\r\nthird word");
  std::wstring text = re->Text().str();
  int len = static_cast<int>(text.size());
  EXPECT_EQ(re->FindText(L"word", 0, len, 0), static_cast<int>(text.find(L"word")));
  int second = static_cast<int>(text.find(L"word")) + 1;
  EXPECT_EQ(re->FindText(L"word", second, len - second, 0), static_cast<int>(text.rfind(L"word")));
  EXPECT_EQ(re->FindText(L"\u0441\u0442\u0440\u043E\u043A\u0430", 0, len, stMatchCase), 6);
  EXPECT_EQ(re->FindText(L"WORD", 0, len, 0), static_cast<int>(text.find(L"word")));  // case ignored
  EXPECT_EQ(re->FindText(L"WORD", 0, len, stMatchCase), -1);
  EXPECT_EQ(re->FindText(L"wor", 0, len, stWholeWord), -1);
  EXPECT_EQ(re->FindText(L"missing", 0, len, 0), -1);
}

TEST_F(UcRichEdit, TheCommentEditorTakes254Characters) {
  TUcRichEdit* re = NewRichEdit(Form);
  re->SetScrollBars(ssBoth);
  re->SetMaxLength(254);
  re->HandleNeeded();
  // The limit reaches the control, also a new one.
  EXPECT_EQ(SendMessageW(re->WindowHandle(), EM_GETLIMITTEXT, 0, 0), 254);
  re->RecreateWnd();
  EXPECT_EQ(SendMessageW(re->WindowHandle(), EM_GETLIMITTEXT, 0, 0), 254);
  // Typing stops at the limit (Wine's control takes one character more than
  // the limit; its EM_REPLACESEL takes any length).
  for (int i = 0; i < 300; ++i) SendMessageW(re->WindowHandle(), WM_CHAR, 0x0416, 1);
  EXPECT_GE(re->Text().Length(), 254);
  EXPECT_LE(re->Text().Length(), 255);
  re->Clear();
  EXPECT_EQ(re->Text().Length(), 0);
  re->SetText(std::wstring(254, L'\u4E2D').c_str());
  EXPECT_EQ(re->Text().Length(), 254);
}

TEST_F(UcRichEdit, ReturnKeysWithoutWantReturns) {
  TUcRichEdit* re = NewRichEdit(Form);
  re->SetWantReturns(false);
  re->SetText(L"ab");
  re->SetFocus();
  re->SetSelStart(1);
  PostKey(re->WindowHandle(), VK_RETURN, L'\r');
  Pump(30);
  EXPECT_EQ(re->Text().str(), L"ab");

  BYTE keys[256];
  GetKeyboardState(keys);
  BYTE saved = keys[VK_CONTROL];
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageW(re->WindowHandle(), WM_KEYDOWN, VK_RETURN, 1);
  keys[VK_CONTROL] = saved;
  SetKeyboardState(keys);
  Pump(10);
  EXPECT_EQ(re->Text().str(), L"a\r\nb");
}

TEST_F(UcRichEdit, HelpWindowLinksAndPositions) {
  TUcRichEdit* re = NewRichEdit(Form);
  re->SetText(L"\u0421\u0441\u044B\u043B\u043A\u0430 one\r\nlink two");
  re->SetSelStart(12);
  re->SetSelLength(4);
  ASSERT_EQ(re->SelText().str(), L"link");
  re->SelAttributes()->SetColor(static_cast<TColor>(RGB(0, 0, 255)));
  re->SelAttributes()->SetStyle(fsUnderline);
  re->SetSelStart(0);
  re->SetReadOnly(true);
  // The format sits on the control's characters 11..14.
  SetNativeSelection(re, 11, 12);
  EXPECT_EQ(re->SelAttributes()->Color(), static_cast<TColor>(RGB(0, 0, 255)));
  EXPECT_TRUE(re->SelAttributes()->Style() & fsUnderline);
  SetNativeSelection(re, 2, 3);
  EXPECT_FALSE(re->SelAttributes()->Style() & fsUnderline);

  // The help window's own position messages.
  EXPECT_EQ(SendMessageW(re->WindowHandle(), EM_EXLINEFROMCHAR, 0, 12), 1);
  EXPECT_EQ(SendMessageW(re->WindowHandle(), EM_LINEINDEX, 1, 0), 11);
  POINTL pt{};
  SendMessageW(re->WindowHandle(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&pt), 12);
  POINTL at{pt.x, pt.y + 2};
  EXPECT_EQ(SendMessageW(re->WindowHandle(), EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&at)), 12);
}

TEST_F(UcRichEdit, LinesOfTheRichEdit) {
  TUcRichEdit* re = NewRichEdit(Form);
  TUcStrings* lines = re->Lines();
  lines->Add(kMixedText);
  lines->Add(kCjkText);
  lines->Insert(0, kCyrillicText);
  lines->Add(L"");
  lines->Add(L"tail");
  ASSERT_EQ(lines->Count(), 5);
  EXPECT_EQ(lines->Get(0).str(), kCyrillicText);
  EXPECT_EQ(lines->Get(1).str(), kMixedText);
  EXPECT_EQ(lines->Get(2).str(), kCjkText);
  EXPECT_EQ(lines->Get(3).str(), L"");
  EXPECT_EQ(lines->Get(4).str(), L"tail");
  lines->Put(2, L"\u65E5");
  lines->Delete(0);
  EXPECT_EQ(re->Text().str(), std::wstring(kMixedText) + L"\r\n\u65E5\r\n\r\ntail\r\n");
}

TEST_F(UcRichEdit, PlainTextFilesWithByteOrderMarks) {
  TempDir dir;
  TUcRichEdit* re = NewRichEdit(Form);
  re->SetPlainText(true);
  re->SetText(std::wstring(kMixedText) + L"\r\n" + kCjkText);
  WideString file = AnsiToWide(AnsiString(dir.File("plain.txt")));
  re->Lines()->SaveToFile(file);
  std::string bytes = ReadFileBytes(dir.File("plain.txt"));
  std::wstring expected = std::wstring(kMixedText) + L"\r\n" + kCjkText + L"\r\n";
  EXPECT_EQ(bytes, "\xFF\xFE" + std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
  re->Clear();
  re->Lines()->LoadFromFile(file);
  EXPECT_EQ(re->Text().str(), expected);

  // UTF-8 with its mark.
  WriteFileBytes(dir.File("utf8.txt"), "\xEF\xBB\xBF\xD0\x96\xE4\xB8\xAD");
  re->Lines()->LoadFromFile(AnsiToWide(AnsiString(dir.File("utf8.txt"))));
  EXPECT_EQ(re->Lines()->Get(0).str(), L"\u0416\u4E2D");
}

TEST_F(UcRichEdit, WorksWithoutTheInputMethodAndAcrossANewWindow) {
  TUcRichEdit* re = NewRichEdit(Form);
  re->SetText(std::wstring(kMixedText) + L"\r\nx");
  // Wine registers no input-method object: the control does without it.
  if (!UcRichEditHasInputMethod()) {
    EXPECT_EQ(SendMessageW(re->WindowHandle(), EM_GETEDITSTYLE, 0, 0) & SES_USEAIMM, 0);
  }
  re->RecreateWnd();
  Pump(10);
  ASSERT_TRUE(IsWindowUnicode(re->WindowHandle()));
  EXPECT_EQ(re->Text().str(), std::wstring(kMixedText) + L"\r\nx");
}
