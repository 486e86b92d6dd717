// The about and help windows and the web links of the main window: the
// system's handler of web addresses is replaced by this test program, which
// records the address it is started with.
#include <richedit.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "Aboutunit.h"
#include "UiTestUtil.h"
#include "Useunit.h"
#include "sysutils.h"
// commdlg.h maps FindText to FindTextA; here it is the rich edit's search.
#undef FindText

namespace {

// While it lives, "open" of an http address starts Command (with %1 for the
// address); the handler the prefix had comes back afterwards.
class WebHandler {
public:
  explicit WebHandler(const std::string& command) {
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, Key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FKey, nullptr);
    char old[2048] = {};
    DWORD size = sizeof old;
    FHadOld = RegQueryValueExA(FKey, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS;
    FOld = old;
    RegSetValueExA(FKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
  }
  ~WebHandler() {
    if (FHadOld)
      RegSetValueExA(FKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(FOld.c_str()),
                     static_cast<DWORD>(FOld.size() + 1));
    else
      RegDeleteValueA(FKey, nullptr);
    RegCloseKey(FKey);
  }

private:
  static constexpr const char* Key = "Software\\Classes\\http\\shell\\open\\command";
  HKEY FKey = nullptr;
  bool FHadOld = false;
  std::string FOld;
};

// The handler that records: this test program, appending each address to a file.
class RecordedAddresses {
public:
  RecordedAddresses()
      : FLog(FDir.Path() + "\\opened.txt"),
        FHandler("\"" + ThisProgram() + "\" --append-argument \"" + FLog + "\" \"%1\"") {}
  // The addresses opened so far, sorted (each handler runs as a process of
  // its own, so they arrive in any order), once `count` have arrived.
  std::vector<std::string> WaitFor(size_t count) {
    std::vector<std::string> lines;
    EXPECT_TRUE(::WaitFor(
        [&] {
          lines.clear();
          std::string text = ReadFileBytes(FLog);
          for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
          return lines.size() >= count;
        },
        std::to_string(count) + " web addresses opened"));
    std::sort(lines.begin(), lines.end());
    return lines;
  }

private:
  static std::string ThisProgram() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
  }
  TempDir FDir;
  std::string FLog;
  WebHandler FHandler;
};

class AboutAndHelpTest : public MainWindowTest {
protected:
  void TearDown() override {
    // Help windows belong to the application; none may outlive its test.
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
      if (dynamic_cast<TUseForm*>(Screen->Forms(i))) delete Screen->Forms(i);
    MainWindowTest::TearDown();
  }
  static std::vector<TUseForm*> HelpWindows() {
    std::vector<TUseForm*> result;
    for (int i = 0; i < Screen->FormCount(); ++i)
      if (auto* f = dynamic_cast<TUseForm*>(Screen->Forms(i))) result.push_back(f);
    return result;
  }
  // The client point of a rich edit's character (control positions).
  static POINT CharPoint(TUcRichEdit* edit, int index) {
    POINTL p{};
    SendMessageW(edit->Handle(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), index);
    return {p.x + 2, p.y + 3};
  }
};

}  // namespace

TEST(StrLCopyFixed, KeepsATerminatorZeroesTheRestAndNeverSplitsACharacter) {
  const struct {
    std::string Source;
    size_t Size;
    UINT CodePage;
    std::string Expected;
  } cases[] = {
      {"abc", 8, CP_ACP, "abc"},
      {"abcdefgh", 8, CP_ACP, "abcdefg"},
      {std::string("abc\0def", 7), 8, CP_ACP, "abc"},
      {"", 1, CP_ACP, ""},
      {"abc", 1, CP_ACP, ""},
      // Shift-JIS: 0x82 0xA0 is one character; cut before it, not inside.
      {"ab\x82\xa0", 4, 932, "ab"},
      {"ab\x82\xa0", 5, 932, "ab\x82\xa0"},
      {"a\x82\xa0\x82\xa0", 5, 932, "a\x82\xa0"},
      // A lead byte with nothing after it is not copied.
      {"ab\x82", 8, 932, "ab"},
      // In code page 1251 every byte is a character.
      {"\xc0\xc1\xc2", 3, 1251, "\xc0\xc1"},
  };
  for (const auto& c : cases) {
    char field[16];
    std::memset(field, 'X', sizeof field);
    const size_t n = StrLCopyFixed(field, c.Size, AnsiString(c.Source), c.CodePage);
    EXPECT_EQ(std::string(field, n), c.Expected) << c.Source << " into " << c.Size;
    for (size_t i = n; i < c.Size; ++i) EXPECT_EQ(field[i], '\0') << c.Source << " byte " << i;
    EXPECT_EQ(field[c.Size], 'X') << "nothing written past the field";
  }
}

TEST_F(AboutAndHelpTest, AboutWindowNamesTheVersionCentredAndFitsItsLongerLine) {
  AboutForm->Show();
  ASSERT_TRUE(WaitFor([] { return IsWindowVisible(AboutForm->Handle()); }, "the about window shows"));
  const int w = AboutForm->Width();
  EXPECT_EQ(UcControl_GetText(AboutForm->VersionLabel), L"Fennolit 1.0.3.1");
  EXPECT_EQ(WindowTextW(AboutForm->Handle()), L"О программе");
  EXPECT_EQ(UcControl_GetText(AboutForm->Label1), L"Программа предназначена для создания и просмотра списков файлов.");
  EXPECT_EQ(UcControl_GetText(AboutForm->Link1Label), L"Страница поддержки »");
  EXPECT_EQ(UcControl_GetText(AboutForm->BitBtn), L"Закрыть");
  EXPECT_EQ(UcControl_GetHint(AboutForm->Link1Label), L"http://www.fennolit.example/ru/support/?from=fennolit");
  EXPECT_GT(AboutForm->Label1->Width(), 200) << "the label sizes itself to its text";
  EXPECT_GT(AboutForm->Label2->Width(), AboutForm->Label1->Width()) << "the Russian second line is the longer one";
  EXPECT_EQ(w, AboutForm->Label2->Left() + AboutForm->Label2->Width() + 40) << "no text line is cut off";
  EXPECT_EQ(AboutForm->VersionLabel->Left(), (w - 10) / 2 - AboutForm->VersionLabel->Width() / 2);
  EXPECT_EQ(AboutForm->Link1Label->Left(), (w - 10) / 2 - AboutForm->Link1Label->Width() / 2);
  EXPECT_EQ(AboutForm->BitBtn->Left(), (w - 20) / 2 - AboutForm->BitBtn->Width() / 2);
  EXPECT_EQ(AboutForm->Bevel->Width(), w - 25);
  EXPECT_TRUE(AboutForm->VersionLabel->Font()->Style() & fsBold);
  AboutForm->Hide();
}

// The columns of an image that hold ink: pixels far from the background.
struct TInkColumns {
  int First = -1;
  int Last = -1;
};
TInkColumns InkColumns(int width, int height, const std::function<COLORREF(int, int)>& at, COLORREF background) {
  TInkColumns ink;
  for (int x = 0; x < width; ++x)
    for (int y = 0; y < height; ++y) {
      const COLORREF p = at(x, y);
      const int d = std::abs(GetRValue(p) - GetRValue(background)) + std::abs(GetGValue(p) - GetGValue(background)) +
                    std::abs(GetBValue(p) - GetBValue(background));
      if (d < 96) continue;
      if (ink.First < 0) ink.First = x;
      ink.Last = x;
      break;
    }
  return ink;
}

// The version line as the screen shows it: its ink ends inside the label,
// with background after it, and spans as many columns as the same line
// drawn with the label's font into a bitmap with room to spare.
TEST_F(AboutAndHelpTest, TheWholeVersionLineIsDrawn) {
  AboutForm->Show();
  TUcLabel* label = AboutForm->VersionLabel;
  const HWND form = AboutForm->Handle();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(form) && !GetUpdateRect(form, nullptr, FALSE); },
                      "the about window shown and painted"));
  ASSERT_TRUE(label->Font()->Style() & fsBold);
  const std::wstring line = L"Fennolit 1.0.3.1";
  ASSERT_EQ(UcControl_GetText(label).str(), line);
  RECT shown = {label->Left(), label->Top(), label->Left() + label->Width(), label->Top() + label->Height()};
  MapWindowPoints(form, nullptr, reinterpret_cast<POINT*>(&shown), 2);
  const TCapturedImage shot = CaptureScreen(shown);
  RECT whole;
  GetWindowRect(form, &whole);
  KeepShot(CaptureScreen(whole), "about-window");
  const COLORREF background = ColorToRGB(label->Color());
  const TInkColumns onScreen =
      InkColumns(shot.Width, shot.Height, [&](int x, int y) { return shot.At(x, y); }, background);
  ASSERT_GE(onScreen.First, 0) << "no text drawn in the label";
  EXPECT_LT(onScreen.Last, shot.Width - 1) << "the text runs to the label's right edge: cut";
  EXPECT_GE(label->Left(), 0);
  EXPECT_LE(label->Left() + label->Width(), AboutForm->ClientWidth()) << "the label runs out of the window";

  DibSurface wide(shot.Width + 200, shot.Height);
  wide.Fill(((background & 0xFF) << 16) | (background & 0xFF00) | ((background >> 16) & 0xFF));
  HGDIOBJ old = SelectObject(wide.DC(), label->Font()->Handle());
  SetBkMode(wide.DC(), TRANSPARENT);
  SetTextColor(wide.DC(), ColorToRGB(label->Font()->Color()));
  RECT room = {0, 0, wide.Width(), wide.Height()};
  DrawTextW(wide.DC(), line.c_str(), static_cast<int>(line.size()), &room, DT_LEFT | DT_NOPREFIX);
  SelectObject(wide.DC(), old);
  const TInkColumns drawn =
      InkColumns(wide.Width(), wide.Height(), [&](int x, int y) { return wide.At(x, y); }, background);
  ASSERT_GE(drawn.First, 0);
  EXPECT_EQ(onScreen.Last - onScreen.First, drawn.Last - drawn.First)
      << "the label shows " << onScreen.Last - onScreen.First + 1 << " columns of the line's "
      << drawn.Last - drawn.First + 1;
  AboutForm->Hide();
}

TEST_F(AboutAndHelpTest, TheAboutCommandsShowTheWindowModallyUntilClosed) {
  for (TCustomAction* action : {static_cast<TCustomAction*>(F->mmAboutAction), static_cast<TCustomAction*>(F->helpAction)}) {
    DialogDriver answers({{"TAboutForm", IDOK, "", "BitBtn"}});
    EXPECT_TRUE(action->Execute());
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
    EXPECT_FALSE(AboutForm->Visible());
  }
  // Ctrl+F1 is the about box's shortcut, F1 the help window's.
  EXPECT_EQ(F->mmAboutAction->ShortCut(), ShortCut(VK_F1, ssCtrl));
  EXPECT_EQ(F->mmUseAction->ShortCut(), ShortCut(VK_F1, 0));
}

TEST_F(AboutAndHelpTest, LinksOpenTheirAddressesAndAFailureIsSaid) {
  {
    RecordedAddresses opened;
    AboutForm->Show();
    AboutForm->Link1LabelClick(AboutForm->Link1Label);
    F->spbtLinkMivoClick(F->MIVOImage);
    F->spbtLinkMivoClick(F->KorfenImage);
    EXPECT_EQ(opened.WaitFor(3), (std::vector<std::string>{"http://www.fennolit.example/ru/",
                                                          "http://www.fennolit.example/ru/support/?from=fennolit",
                                                          "http://www.korfen.example/"}));
  }
  {
    WebHandler broken("\"C:\\no such folder\\browser.exe\" \"%1\"");
    DialogDriver answers({{Ansi(L"Не удалось открыть страницу"), IDOK}, {Ansi(L"Не удалось открыть страницу"), IDOK}});
    AboutForm->Link1LabelClick(AboutForm->Link1Label);
    F->spbtLinkMivoClick(F->KorfenImage);
    ASSERT_EQ(answers.Shown().size(), 2u) << answers.Log();
    EXPECT_EQ(answers.Shown()[0].Text,
              Ansi(L"Не удалось открыть страницу - http://www.fennolit.example/ru/support/?from=fennolit"));
    EXPECT_EQ(answers.Shown()[1].Text, Ansi(L"Не удалось открыть страницу"));
    EXPECT_TRUE(AboutForm->Visible()) << "the about window stays open";
  }
  AboutForm->Hide();
}

TEST_F(AboutAndHelpTest, EachUsageCommandOpensOneMoreHelpWindowAndEscClosesOne) {
  ASSERT_TRUE(F->mmUseAction->Enabled());
  F->mmUseAction->Execute();
  PostKey(F->Handle(), VK_F1);
  ASSERT_TRUE(WaitFor([] { return HelpWindows().size() == 2; }, "F1 opened a second help window"));
  std::vector<TUseForm*> windows = HelpWindows();
  for (TUseForm* w : windows) {
    EXPECT_TRUE(w->Visible());
    EXPECT_EQ(WindowTextW(w->Handle()), L"Использование");
  }
  TUseForm* first = windows[0];
  PostKey(first->UseRichEdit->Handle(), 'A', L'a');
  ASSERT_TRUE(WaitFor([] { return !GetQueueStatus(QS_KEY); }, "the key was taken"));
  EXPECT_EQ(HelpWindows().size(), 2u) << "keys other than Esc leave the window open";
  PostKey(first->UseRichEdit->Handle(), VK_ESCAPE, 27);
  ASSERT_TRUE(WaitFor([&] { return HelpWindows().size() == 1; }, "Esc closed the help window"));
  EXPECT_NE(HelpWindows()[0], first);
  EXPECT_TRUE(HelpWindows()[0]->Visible()) << "the other window stays";
}

TEST_F(AboutAndHelpTest, HelpTextShowsBothPhrasesAsLinksThatOpenTheirPages) {
  F->mmUseAction->Execute();
  ASSERT_EQ(HelpWindows().size(), 1u);
  TUseForm* help = HelpWindows()[0];
  TUcRichEdit* edit = help->UseRichEdit;
  const std::wstring text = edit->Text().c_str();
  EXPECT_EQ(text.find(L"Fennolit: как пользоваться программой"), 0u) << "the Russian document is shown";
  EXPECT_NE(text.find(L"Korfen DiskRecovery."), std::wstring::npos);
  ASSERT_GT(help->link1End, help->link1Start);
  ASSERT_GT(help->link2End, help->link2Start);
  EXPECT_EQ(help->link1End - help->link1Start, 19) << "\"страницу поддержки.\"";
  EXPECT_EQ(help->link2End - help->link2Start, 20);
  EXPECT_GT(help->link1Start, help->link2Start) << "the support phrase closes the document";

  // Both phrases are blue and underlined; the text around them is not.
  auto format = [&](int start) {
    CHARFORMAT2W f{};
    f.cbSize = sizeof f;
    CHARRANGE range{start, start + 1};
    SendMessageW(edit->Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    SendMessageW(edit->Handle(), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&f));
    return f;
  };
  for (int start : {help->link1Start, help->link2Start, help->link2End - 1}) {
    const CHARFORMAT2W f = format(start);
    EXPECT_EQ(f.crTextColor, RGB(0, 0, 255)) << start;
    EXPECT_TRUE(f.dwEffects & CFE_UNDERLINE) << start;
  }
  EXPECT_FALSE(format(help->link2Start - 2).dwEffects & CFE_UNDERLINE);
  EXPECT_FALSE(format(help->link2End + 1).dwEffects & CFE_UNDERLINE);

  // The hand over a phrase, the I-beam beside it on the same line.
  const POINT onPartner = CharPoint(edit, help->link2Start + 3);
  const POINT beforePartner = CharPoint(edit, help->link2Start - 10);
  const POINT onSupport = CharPoint(edit, help->link1Start + 2);
  ASSERT_EQ(onPartner.y, beforePartner.y) << "both points on the phrase's line";
  const struct {
    POINT Point;
    int Link;
    TCursor Cursor;
  } points[] = {{onPartner, 2, crHandPoint}, {beforePartner, 0, crIBeam}, {onSupport, 1, crHandPoint}};
  for (const auto& p : points) {
    EXPECT_EQ(help->LinkAt(p.Point.x, p.Point.y), p.Link) << p.Point.x << "," << p.Point.y;
    help->UseRichEditMouseMove(edit, 0, p.Point.x, p.Point.y);
    EXPECT_EQ(Screen->Cursor(), p.Cursor) << p.Link;
  }

  RecordedAddresses opened;
  help->UseRichEditMouseUp(edit, mbLeft, 0, beforePartner.x, beforePartner.y);
  help->UseRichEditMouseUp(edit, mbLeft, 0, onPartner.x, onPartner.y);
  help->UseRichEditMouseUp(edit, mbLeft, 0, onSupport.x, onSupport.y);
  EXPECT_EQ(opened.WaitFor(2), (std::vector<std::string>{"http://www.fennolit.example/ru/support/?from=fennolit",
                                                        "http://www.korfen.example/?from=fennolit"}));
}

// The quoted names after a word ("меню «Редактирование»"), in order.
std::vector<std::wstring> QuotedAfter(const std::wstring& text, const std::wstring& word) {
  std::vector<std::wstring> names;
  for (size_t at = text.find(word); at != std::wstring::npos; at = text.find(word, at + 1)) {
    const size_t open = text.find(L'«', at);
    const size_t close = text.find(L'»', open);
    if (open == std::wstring::npos || close == std::wstring::npos || open > at + word.size() + 4) continue;
    names.push_back(text.substr(open + 1, close - open - 1));
  }
  return names;
}

std::wstring WithoutHotKey(std::wstring caption) {
  caption.erase(std::remove(caption.begin(), caption.end(), L'&'), caption.end());
  return caption;
}

// The Russian help names the menus and buttons the window has, and the
// actions as the table takes them: a click opens a comment, a double click a
// folder (the English one is checked below).
TEST_F(AboutAndHelpTest, HelpNamesTheMenusButtonsAndClicksOfTheProgram) {
  F->mmUseAction->Execute();
  ASSERT_EQ(HelpWindows().size(), 1u);
  const std::wstring text = HelpWindows()[0]->UseRichEdit->Text().c_str();
  std::vector<std::wstring> menus;
  TMenuItem* bar = F->mmMenu->Items();
  for (int i = 0; i < bar->Count(); ++i) menus.push_back(WithoutHotKey(AnsiToWide(bar->Items(i)->Caption()).str()));
  const std::vector<std::wstring> named = QuotedAfter(text, L"меню");
  ASSERT_FALSE(named.empty());
  for (const std::wstring& name : named)
    EXPECT_NE(std::find(menus.begin(), menus.end(), name), menus.end()) << Ansi(name.c_str());
  const std::vector<std::wstring> buttons = QuotedAfter(text, L"кнопк");
  ASSERT_EQ(buttons.size(), 2u);
  EXPECT_EQ(buttons[0], UcControl_GetText(F->spbtDamaged).str());
  EXPECT_EQ(buttons[1], UcControl_GetText(F->spbtComment).str());
  EXPECT_NE(text.find(L"щелчком по комментарию"), std::wstring::npos);
  EXPECT_EQ(text.find(L"двойным щелчком по колонке"), std::wstring::npos) << "a double click edits no comment";

}

TEST_F(AboutAndHelpTest, EnglishHelpMarksItsOwnPhrases) {
  Localization* saved = F->localization;
  Localization english(1);
  LoadUiTexts(english, 1);
  F->localization = &english;
  auto* help = NewForm<TUseForm>(Application);
  F->localization = saved;
  const std::wstring text = help->UseRichEdit->Text().c_str();
  EXPECT_EQ(text.find(L"Fennolit: how to use the program"), 0u);
  // The menu and the clicks as the program has them.
  EXPECT_NE(text.find(L"the " + english.GetCommonText(40).str() + L" menu"), std::wstring::npos);
  EXPECT_NE(text.find(L"a click on a comment"), std::wstring::npos);
  EXPECT_EQ(text.find(L"double click on the comment"), std::wstring::npos);
  EXPECT_EQ(help->link1End - help->link1Start, 13) << "\"support page.\"";
  EXPECT_EQ(help->link2End - help->link2Start, 20);
  EXPECT_EQ(help->link1Address.str(), "http://www.fennolit.example/en/support/?from=fennolit");
  delete help;
}
