// The rich edit on a real form: RTF in and out, character formats of the
// selection, lines, the text limit, search, re-creation of the window with its
// formatted text, events, and printing onto a memory page.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "forms.h"
#include "guitest.h"
#include "harness.h"
#include "printers.h"
#include <richedit.h>  // the library's; it brings the system's records along

// Readable failure messages for the strings.
inline void PrintTo(const AnsiString& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }

namespace {

AnsiString Ru(const wchar_t* s) { return WideToAnsi(WideString(s)); }

// "Привет, " in bold red, "мир" plain, then a second paragraph "Вторая строка".
const char* const SampleRtf =
    "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}}"
    "{\\colortbl ;\\red255\\green0\\blue0;}"
    "\\f0\\fs20{\\b\\cf1 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2, }\\'ec\\'e8\\'f0\\par "
    "\\'c2\\'f2\\'ee\\'f0\\'e0\\'ff \\'f1\\'f2\\'f0\\'ee\\'ea\\'e0}";

std::string Bytes(TMemoryStream& s) { return std::string(static_cast<const char*>(s.Memory()), s.Size()); }

void Load(TCustomRichEdit* re, const std::string& bytes) {
  TMemoryStream s;
  s.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  s.SetPosition(0);
  re->Lines()->LoadFromStream(&s);
}

void Select(TCustomRichEdit* re, int start, int length) {
  re->SetSelStart(start);
  re->SetSelLength(length);
}

struct TLog {
  std::vector<std::string> Events;
  void Change(TObject*) { Events.push_back("change"); }
  void SelChange(TObject*) { Events.push_back("selchange"); }
  void Throw(TObject*) { throw Exception("rich handler failed"); }
};

class RichEdit : public SharedFormTest<RichEdit> {
protected:
  static void SetUpTestSuite() { SetUpSharedForm(40, 40, 420, 320); }
  TRichEdit* Make() {
    auto* re = new TRichEdit(Form);
    re->SetParent(Form);
    re->SetBounds(10, 10, 380, 200);
    return re;
  }
};

}  // namespace

TEST_F(RichEdit, RtfComesInWithItsFormats) {
  TRichEdit* re = Make();
  Load(re, SampleRtf);
  EXPECT_EQ(re->Lines()->Count(), 2);
  EXPECT_EQ(re->Lines()->Strings(0), Ru(L"Привет, мир"));
  EXPECT_EQ(re->Lines()->Strings(1), Ru(L"Вторая строка"));
  EXPECT_EQ(re->Lines()->Text(), Ru(L"Привет, мир\r\nВторая строка\r\n"));
  Select(re, 1, 3);
  EXPECT_EQ(re->SelText(), Ru(L"рив"));
  EXPECT_EQ(re->SelAttributes()->Style(), fsBold);
  EXPECT_EQ(re->SelAttributes()->Color(), clRed);
  EXPECT_EQ(re->SelAttributes()->Name(), "Arial");
  EXPECT_EQ(re->SelAttributes()->Size(), 10);
  EXPECT_EQ(re->SelAttributes()->Charset(), RUSSIAN_CHARSET);
  Select(re, 8, 3);
  EXPECT_EQ(re->SelText(), Ru(L"мир"));
  EXPECT_EQ(re->SelAttributes()->Style(), 0);
  // The selection as the control reports it.
  CHARRANGE r{};
  SendMessageA(re->Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(r.cpMin, 8);
  EXPECT_EQ(r.cpMax, 11);
}

TEST_F(RichEdit, RtfGoesOutAndComesBackTheSame) {
  TRichEdit* re = Make();
  Load(re, SampleRtf);
  Select(re, 8, 3);
  re->SelAttributes()->SetStyle(fsItalic | fsUnderline);
  re->SelAttributes()->SetColor(clBlue);
  TMemoryStream out;
  re->Lines()->SaveToStream(&out);
  std::string rtf = Bytes(out);
  ASSERT_GE(rtf.size(), 6u);
  EXPECT_EQ(rtf.substr(0, 5), "{\\rtf");
  EXPECT_NE(rtf.find("\\i"), std::string::npos);
  EXPECT_NE(rtf.find("\\ul"), std::string::npos);

  TRichEdit* copy = Make();
  Load(copy, rtf);
  EXPECT_EQ(copy->Text(), re->Text());
  Select(copy, 1, 2);
  EXPECT_EQ(copy->SelAttributes()->Style(), fsBold);
  EXPECT_EQ(copy->SelAttributes()->Color(), clRed);
  Select(copy, 8, 3);
  EXPECT_EQ(copy->SelAttributes()->Style(), fsItalic | fsUnderline);
  EXPECT_EQ(copy->SelAttributes()->Color(), clBlue);
}

TEST_F(RichEdit, PlainTextStreamsAreBytesOfTheCodePage) {
  TRichEdit* re = Make();
  re->SetPlainText(true);
  re->Lines()->SetText(Ru(L"Строка один\r\nСтрока два"));
  TMemoryStream out;
  re->Lines()->SaveToStream(&out);
  std::string text = Bytes(out);
  EXPECT_EQ(text, std::string(Ru(L"Строка один\r\nСтрока два").c_str()));

  // A file that is no RTF is read as text even when RTF is expected.
  re->SetPlainText(false);
  Load(re, Ru(L"просто {текст}\r\nвторая").c_str());
  EXPECT_EQ(re->Lines()->Count(), 2);
  EXPECT_EQ(re->Lines()->Strings(0), Ru(L"просто {текст}"));

  TempDir dir;
  std::string file = dir.File("doc.rtf");
  WriteFileBytes(file, SampleRtf);
  re->Lines()->LoadFromFile(file.c_str());
  EXPECT_EQ(re->Lines()->Strings(1), Ru(L"Вторая строка"));
  re->Lines()->SaveToFile(dir.File("out.rtf").c_str());
  EXPECT_EQ(ReadFileBytes(dir.File("out.rtf")).substr(0, 5), "{\\rtf");
  EXPECT_THROW(re->Lines()->LoadFromFile(dir.File("missing.rtf").c_str()), EFOpenError);
}

TEST_F(RichEdit, MaxLengthIsTheControlsTextLimit) {
  TRichEdit* re = Make();
  HWND h = re->Handle();
  // No limit of the program's own: far above the control's default.
  EXPECT_GE(SendMessageA(h, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFF0);
  re->SetMaxLength(10);
  EXPECT_EQ(SendMessageA(h, EM_GETLIMITTEXT, 0, 0), 10);
  for (char c : std::string("0123456789abcdef")) SendMessageA(h, WM_CHAR, static_cast<BYTE>(c), 0);
  EXPECT_EQ(re->Text(), "0123456789");
  re->RecreateWnd();
  EXPECT_EQ(SendMessageA(re->Handle(), EM_GETLIMITTEXT, 0, 0), 10);
  EXPECT_EQ(re->Text(), "0123456789");
  // A document longer than the default limit of 32767 characters loads whole.
  re->SetMaxLength(0);
  re->SetWordWrap(false);  // lines are the control's lines, wrapped ones too
  std::string big;
  for (int i = 0; i < 400; ++i) big += std::string(98, 'x') + std::to_string(i % 10) + "\r\n";
  Load(re, big);
  EXPECT_EQ(re->Lines()->Count(), 400);
  EXPECT_EQ(re->Lines()->Strings(399), AnsiString(std::string(98, 'x') + "9"));
}

TEST_F(RichEdit, LinesAreEditedInPlace) {
  TRichEdit* re = Make();
  TStrings* lines = re->Lines();
  EXPECT_EQ(lines->Count(), 0);
  lines->Add(Ru(L"первая"));
  lines->Add(Ru(L"третья"));
  lines->Insert(1, Ru(L"вторая"));
  EXPECT_EQ(lines->Count(), 3);
  EXPECT_EQ(lines->Strings(1), Ru(L"вторая"));
  lines->Put(2, "3");
  lines->Delete(0);
  EXPECT_EQ(lines->Text(), Ru(L"вторая\r\n3\r\n"));
  lines->Clear();
  EXPECT_EQ(lines->Count(), 0);
  EXPECT_EQ(re->Text(), "");
}

TEST_F(RichEdit, FindTextHonoursRangeWordAndCase) {
  TRichEdit* re = Make();
  re->SetText(Ru(L"Поиск слова: слово, словоформа\r\nword, Word, wordy"));
  AnsiString word = Ru(L"слово");
  int all = re->GetTextLen();
  EXPECT_EQ(re->FindText(word, 0, all, 0), 13);
  EXPECT_EQ(re->FindText(word, 14, all - 14, 0), 20);
  EXPECT_EQ(re->FindText(word, 14, all - 14, stWholeWord), -1);
  EXPECT_EQ(re->FindText(word, 0, 13, 0), -1);  // outside the range
  // Positions after the line break count it as the control does (one character).
  int second = re->FindText("word", 0, all, stMatchCase);
  EXPECT_EQ(second, 31);
  EXPECT_EQ(re->FindText("WORD", second + 1, all, 0), 37);
  EXPECT_EQ(re->FindText("Word", 0, all, stMatchCase), 37);
  EXPECT_EQ(re->FindText("word", 38, all, stWholeWord), -1);
  EXPECT_EQ(re->FindText("word", 38, all, 0), 43);
}

TEST_F(RichEdit, RecreationKeepsFormattedTextSelectionAndModified) {
  TRichEdit* re = Make();
  Load(re, SampleRtf);
  re->SetModified(true);
  Select(re, 3, 4);
  TLog log;
  re->OnChange = MakeEvent<&TLog::Change>(&log);
  re->OnSelectionChange = MakeEvent<&TLog::SelChange>(&log);
  HWND old = re->Handle();
  re->SetWordWrap(false);
  EXPECT_NE(re->Handle(), old);
  EXPECT_EQ(re->Lines()->Strings(0), Ru(L"Привет, мир"));
  EXPECT_EQ(re->SelStart(), 3);
  EXPECT_EQ(re->SelLength(), 4);
  EXPECT_TRUE(re->Modified());
  Select(re, 1, 2);
  EXPECT_EQ(re->SelAttributes()->Style(), fsBold);
  EXPECT_EQ(re->SelAttributes()->Color(), clRed);
  // Putting the text back is no change; the selection set above is one.
  ASSERT_FALSE(log.Events.empty());
  EXPECT_EQ(std::count(log.Events.begin(), log.Events.end(), "change"), 0);
  log.Events.clear();
  re->SetText("x");
  EXPECT_EQ(std::count(log.Events.begin(), log.Events.end(), "change"), 1);
}

TEST_F(RichEdit, HandlerExceptionsReachTheApplication) {
  TRichEdit* re = Make();
  TLog log;
  re->OnChange = MakeEvent<&TLog::Throw>(&log);
  re->SetText("abc");
  re->SetSelStart(3);
  SendMessageA(re->Handle(), WM_CHAR, 'd', 0);
  EXPECT_EQ(TakeExceptions(), (std::vector<std::string>{"rich handler failed", "rich handler failed"}));
  EXPECT_EQ(re->Text(), "abcd");
}

TEST_F(RichEdit, DefaultAttributesFollowTheFont) {
  TRichEdit* re = Make();
  re->Font()->SetName("Courier New");
  re->Font()->SetSize(12);
  re->Font()->SetStyle(fsBold);
  re->Font()->SetColor(clGreen);
  re->SetText("abc");
  EXPECT_EQ(re->DefAttributes()->Name(), "Courier New");
  EXPECT_EQ(re->DefAttributes()->Size(), 12);
  EXPECT_EQ(re->DefAttributes()->Style(), fsBold);
  EXPECT_EQ(re->DefAttributes()->Color(), clGreen);
  TFont f;
  f.Assign(re->DefAttributes());
  EXPECT_EQ(f.Name(), "Courier New");
  EXPECT_EQ(f.Size(), 12);
  EXPECT_EQ(f.Color(), clGreen);
}

namespace {
class TPagePrinter : public TPrinter {
public:
  int Pages = 0;
  int Ink = 0;
  AnsiString PrinterName() override { return "Memory"; }

protected:
  HDC CreateDeviceContext(const AnsiString&, bool) override { return CreateWhiteDibDC(400, 300); }
  bool StartDocument(HDC, const AnsiString&) override { return true; }
  bool StartDevicePage(HDC dc) override {
    PatBlt(dc, 0, 0, 400, 300, WHITENESS);
    return true;
  }
  bool EndDevicePage(HDC dc) override {
    ++Pages;
    for (int y = 0; y < 300; y += 2)
      for (int x = 0; x < 400; x += 2)
        if (GetPixel(dc, x, y) != RGB(255, 255, 255)) ++Ink;
    return true;
  }
  bool EndDocument(HDC) override { return true; }
  void AbortDocument(HDC) override {}
};
}  // namespace

namespace {
// Stands in for the control where the platform lacks a part of it: formats
// a fixed number of characters per page (Wine's EM_FORMATRANGE is a stub),
// reports its own text length while printing, and can refuse insertions.
class TStandInRichEdit : public TRichEdit {
public:
  using TRichEdit::TRichEdit;
  int PerPage = 0;
  int PrintLength = 0;
  bool RefuseInsert = false;
  std::vector<HDC> FormattedOn;
  void WndProc(TMessage& m) override {
    if (m.Msg == EM_FORMATRANGE && PerPage) {
      auto* range = reinterpret_cast<FORMATRANGE*>(m.LParam);
      if (range) {
        FormattedOn.push_back(range->hdc);
        m.Result = std::min<LONG>(range->chrg.cpMin + PerPage, PrintLength);
      }
      return;
    }
    if (m.Msg == WM_GETTEXTLENGTH && PrintLength) {
      m.Result = PrintLength;
      return;
    }
    if (m.Msg == EM_REPLACESEL && RefuseInsert) return;
    TRichEdit::WndProc(m);
  }
};
}  // namespace

TEST_F(RichEdit, PrintsAPageForEveryRangeTheControlFormats) {
  auto* re = new TStandInRichEdit(Form);
  re->SetParent(Form);
  re->SetText("some text");
  re->PerPage = 100;
  re->PrintLength = 250;  // a derived control counts its own characters
  auto* printer = new TPagePrinter();
  TPrinter* old = SetPrinter(printer);
  re->Print("doc");
  EXPECT_EQ(printer->Pages, 3);
  // The platform's formatter, which formats nothing, still ends the job.
  re->PerPage = 0;
  re->PrintLength = 0;
  re->Print("doc");
  SetPrinter(old);
  EXPECT_EQ(printer->Pages, 4);
  EXPECT_FALSE(printer->Printing());
  delete printer;
}

TEST_F(RichEdit, ALineTheControlDoesNotTakeIsAnError) {
  auto* re = new TStandInRichEdit(Form);
  re->SetParent(Form);
  re->Lines()->Add("one");
  re->RefuseInsert = true;
  EXPECT_THROW(re->Lines()->Add("two"), EOutOfResources);
  EXPECT_THROW(re->Lines()->Insert(0, "zero"), EOutOfResources);
  EXPECT_EQ(re->Lines()->Count(), 1);
  EXPECT_EQ(re->Lines()->Strings(0), "one");
}

TEST_F(RichEdit, ParagraphFormatsGoToTheSelectedParagraphsOnly) {
  TRichEdit* re = Make();
  re->Lines()->SetText("first\r\nsecond\r\nthird");
  Select(re, 7, 2);  // inside "second"
  TParaAttributes* para = re->Paragraph();
  struct Case {
    TAlignment alignment;
    int first, left, right;
    TNumberingStyle numbering;
  } cases[] = {{taCenter, 10, 5, 7, nsBullet}, {taRightJustify, 0, 0, 0, nsNone}, {taLeftJustify, 36, -12, 3, nsNone}};
  for (const Case& c : cases) {
    para->SetAlignment(c.alignment);
    para->SetFirstIndent(c.first);
    para->SetLeftIndent(c.left);
    para->SetRightIndent(c.right);
    para->SetNumbering(c.numbering);
    EXPECT_EQ(para->Alignment(), c.alignment);
    EXPECT_EQ(para->FirstIndent(), c.first);
    EXPECT_EQ(para->LeftIndent(), c.left);
    EXPECT_EQ(para->RightIndent(), c.right);
    EXPECT_EQ(para->Numbering(), c.numbering);
  }
  para->SetTab(0, 36);
  para->SetTab(1, 72);
  EXPECT_EQ(para->TabCount(), 2);
  EXPECT_EQ(para->Tab(1), 72);
  EXPECT_THROW(para->Tab(2), EListError);
  para->SetAlignment(taCenter);
  Select(re, 0, 1);  // the first paragraph kept its format
  EXPECT_EQ(para->Alignment(), taLeftJustify);
  EXPECT_EQ(para->FirstIndent(), 0);
}

namespace {
struct TProtectLog {
  std::vector<std::pair<int, int>> Ranges;
  bool Allow = false;
  void Protect(TObject*, int start, int end, bool& allow) {
    Ranges.emplace_back(start, end);
    allow = Allow;
  }
};
}  // namespace

TEST_F(RichEdit, ProtectedTextAsksBeforeTheUserChangesIt) {
  TRichEdit* re = Make();
  re->Lines()->SetText("keep this");
  TProtectLog log;
  re->OnProtectChange = MakeEvent<&TProtectLog::Protect>(&log);
  Select(re, 0, 4);
  re->SelAttributes()->SetProtected(true);
  EXPECT_TRUE(re->SelAttributes()->Protected());
  Select(re, 5, 2);
  EXPECT_FALSE(re->SelAttributes()->Protected());
  HWND wnd = re->Handle();
  EXPECT_NE(SendMessageA(wnd, EM_GETEVENTMASK, 0, 0) & ENM_PROTECTED, 0);
  // Wine's rich edit never sends the notification itself: it is delivered to
  // the parent as the control sends it.
  struct Case {
    const char* what;
    UINT msg;
    bool allow;
    LRESULT expected;
    size_t asked;
  } cases[] = {{"typing refused", WM_CHAR, false, 1, 1},
               {"typing allowed", WM_CHAR, true, 0, 2},
               {"a format change never asks", EM_SETCHARFORMAT, false, 0, 2}};
  for (const Case& c : cases) {
    log.Allow = c.allow;
    ENPROTECTED p{};
    p.nmhdr.hwndFrom = wnd;
    p.nmhdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(wnd));
    p.nmhdr.code = EN_PROTECTED;
    p.msg = c.msg;
    p.chrg.cpMin = 1;
    p.chrg.cpMax = 3;
    EXPECT_EQ(SendMessageA(GetParent(wnd), WM_NOTIFY, p.nmhdr.idFrom, reinterpret_cast<LPARAM>(&p)), c.expected)
        << c.what;
    EXPECT_EQ(log.Ranges.size(), c.asked) << c.what;
  }
  EXPECT_EQ(log.Ranges[0], std::make_pair(1, 3));
}
