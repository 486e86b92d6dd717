// The masked edit on real Unicode EDIT windows: the character table with
// letters outside the code page, the required positions, typing with its
// caret over literals, deleting that keeps the literals, Escape, pasting
// through the character check, values that do not fit, and the ANSI road.
#include "ControlsTestUtil.h"

#include "UcClipboard.h"
#include "UcMask.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using UcMask = UcGuiTest;

// A masked edit on the form with the focus, its mask set.
TUcMaskEdit* MaskedEdit(TForm* form, const char* mask) {
  auto* edit = PlaceOn<TUcMaskEdit>(form, 10, 10, 200, 24);
  edit->SetEditMask(mask);
  edit->HandleNeeded();
  edit->SetFocus();
  return edit;
}

void Type(TUcMaskEdit* edit, const std::wstring& text) {
  for (wchar_t c : text) SendMessageW(edit->Handle(), WM_CHAR, c, 1);
}

void Key(TUcMaskEdit* edit, WORD key) {
  SendMessageW(edit->Handle(), WM_KEYDOWN, key, 1);
  SendMessageW(edit->Handle(), WM_KEYUP, key, 0xC0000001);
}

std::pair<int, int> Selection(TUcMaskEdit* edit) {
  DWORD start = 0, stop = 0;
  SendMessageW(edit->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&stop));
  return {static_cast<int>(start), static_cast<int>(stop)};
}

}  // namespace

TEST_F(UcMask, TheCharacterTable) {
  struct TCase {
    const char* Mask;
    wchar_t Typed;
    bool Accepted;
    wchar_t Stored;
  };
  const TCase cases[] = {
      {"L", L'\u0436', true, L'\u0436'},   {"L", L'5', false, 0},
      {">L", L'\u0436', true, L'\u0416'},  {"<L", L'\u0416', true, L'\u0436'},
      {">l", L'\u03C9', true, L'\u03A9'},  {"l", L'-', false, 0},
      {"0", L'7', true, L'7'},             {"0", L'x', false, 0},
      {"9", L' ', false, 0},               {"9", L'\u0661', true, L'\u0661'},  // Arabic-Indic one
      {"#", L' ', true, L' '},             {"#", L'+', true, L'+'},
      {"#", L'-', true, L'-'},             {"#", L'a', false, 0},
      {"A", L'5', true, L'5'},             {"A", L'-', false, 0},
      {">a", L'\u00E9', true, L'\u00C9'},  {"C", L'-', true, L'-'},
      {">C", L'\u044F', true, L'\u042F'},  {">C", L'7', true, L'7'},
      {"c", L'\u4E2D', true, L'\u4E2D'},   {"(0)", L'x', true, L'('},
      {"\\L0", L'q', true, L'L'},
  };
  auto* edit = PlaceOn<TUcMaskEdit>(Form, 10, 10, 200, 24);
  for (const TCase& c : cases) {
    edit->SetEditMask(c.Mask);
    wchar_t ch = c.Typed;
    EXPECT_EQ(edit->DoInputChar(ch, 0), c.Accepted) << c.Mask << " " << static_cast<int>(c.Typed);
    if (c.Accepted) {
      EXPECT_EQ(ch, c.Stored) << c.Mask;
    }
  }
}

TEST_F(UcMask, RequiredPositionsMustBeFilled) {
  struct TCase {
    const char* Mask;
    const wchar_t* Value;
    int FirstFailing;
  };
  const TCase cases[] = {
      {"LL-00;1;_", L"", -1},        {"LL-00;1;_", L"__-__", -1},        {"LL-00;1;_", L"\u0416\u0416-12", -1}, {"LL-00;1;_", L"a_-12", 1},
      {"LL-00;1;_", L"ab-1_", 4},    {"LL-00;1;_", L"ab-1", 4},             {"AA;1;_", L"a ", 1},
      {"CC;1;_", L"a ", -1},         {"CC;1;_", L"a_", 1},                  {"Ll;1;_", L"a_", -1},
      {"L_L;1;*", L"a_*", 2},          {"99;1;_", L"__", -1},
  };
  auto* edit = PlaceOn<TUcMaskEdit>(Form, 10, 10, 200, 24);
  for (const TCase& c : cases) {
    edit->SetEditMask(c.Mask);
    EXPECT_EQ(edit->ValidateW(c.Value), c.FirstFailing) << c.Mask << " " << Narrowed(c.Value);
  }
}

TEST_F(UcMask, TypingFillsTheInputPositionsAndSkipsLiterals) {
  auto* edit = MaskedEdit(Form, ">LL-000;1;_");
  ASSERT_TRUE(IsWindowUnicode(edit->Handle()));
  EXPECT_EQ(edit->EditText().str(), L"__-___");
  EXPECT_EQ(edit->MaxLength(), 6);
  edit->SetCursor(0);
  Type(edit, L"\u04365\u03C9x12");  // the 5 and the x do not fit where they are typed
  EXPECT_EQ(edit->EditText().str(), L"\u0416\u03A9-12_");
  EXPECT_EQ(edit->Text().str(), L"\u0416\u03A9-12 ");  // literals saved, the blank as a space
  EXPECT_EQ(Selection(edit), std::make_pair(5, 6));  // the caret on the last input
  EXPECT_TRUE(edit->Modified());
  Type(edit, L"3");
  EXPECT_EQ(edit->Text().str(), L"\u0416\u03A9-123");
  EXPECT_EQ(Selection(edit), std::make_pair(6, 6));  // at the end
  Type(edit, L"4");  // no place left
  EXPECT_EQ(edit->EditText().str(), L"\u0416\u03A9-123");
}

TEST_F(UcMask, TypingALiteralJumpsOverIt) {
  auto* edit = MaskedEdit(Form, "99/99;0;_");
  edit->SetCursor(0);
  Type(edit, L"7");
  Type(edit, std::wstring(1, static_cast<wchar_t>(static_cast<unsigned char>(DateSeparator))));
  Type(edit, L"12");
  EXPECT_EQ(edit->Text().str(), L"7 12");  // saved without literals, the blank as a space
  EXPECT_EQ(edit->EditText().str(), std::wstring(L"7_") + static_cast<wchar_t>(static_cast<unsigned char>(DateSeparator)) + L"12");
}

TEST_F(UcMask, DeletingLeavesBlanksAndKeepsLiterals) {
  auto* edit = MaskedEdit(Form, "000-00;1;_");
  edit->SetText(L"123-45");
  struct TCase {
    const char* Name;
    int SelStart, SelStop;
    WORD Key;
    const wchar_t* Expected;
    int Caret;
  };
  const TCase cases[] = {
      {"backspace takes the one before", 2, 3, VK_BACK, L"1_3-45", 1},
      {"backspace over the literal", 4, 5, VK_BACK, L"12_-45", 2},
      {"delete at the caret", 0, 1, VK_DELETE, L"_23-45", 0},
      {"delete on a literal keeps it", 3, 4, VK_DELETE, L"123-45", 3},
      {"delete a selection across the literal", 1, 5, VK_DELETE, L"1__-_5", 1},
      {"backspace at the first position", 0, 1, VK_BACK, L"123-45", 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    edit->SetEditText(L"123-45");
    SendMessageW(edit->Handle(), EM_SETSEL, c.SelStart, c.SelStop);
    Key(edit, c.Key);
    EXPECT_EQ(edit->EditText().str(), c.Expected);
    EXPECT_EQ(Selection(edit).first, c.Caret);
  }
}

TEST_F(UcMask, EscapeGivesBackTheValueAtFocusEntry) {
  auto* other = PlaceOn<TUcEdit>(Form, 10, 50, 100, 24);
  auto* edit = PlaceOn<TUcMaskEdit>(Form, 10, 10, 200, 24);
  edit->SetEditMask("LLL;1;_");
  edit->SetText(L"\u0416\u0401\u0416");
  other->SetFocus();
  edit->SetFocus();
  edit->SetCursor(1);
  Type(edit, L"\u03C9");
  EXPECT_EQ(edit->EditText().str(), L"\u0416\u03C9\u0416");
  EXPECT_EQ(SendMessageW(edit->Handle(), CM_WANTSPECIALKEY, VK_ESCAPE, 0), 1);
  Type(edit, L"\x1B");
  EXPECT_EQ(edit->EditText().str(), L"\u0416\u0401\u0416");
  EXPECT_FALSE(edit->Modified());
  EXPECT_EQ(SendMessageW(edit->Handle(), CM_WANTSPECIALKEY, VK_ESCAPE, 0), 0);
}

TEST_F(UcMask, PastedTextGoesThroughTheCharacterCheck) {
  struct TCase {
    const wchar_t* Pasted;
    int At;
    const wchar_t* Expected;
  };
  const TCase cases[] = {
      {L"12345", 0, L"123-45"},  {L"123-45", 0, L"123-45"}, {L"12-3x4", 0, L"123-4_"},
      {L"9", 4, L"___-9_"},      {L"98765", 3, L"___-98"},  {L"", 0, L"___-__"},
  };
  auto* edit = MaskedEdit(Form, "000-00;1;_");
  for (const TCase& c : cases) {
    WideString value = edit->AddEditFormat(L"", true);
    edit->InputString(value, c.Pasted, c.At);
    EXPECT_EQ(value.str(), c.Expected) << Narrowed(c.Pasted);
  }
  // Through the clipboard: the selection is blanked, the rest placed from it.
  edit->SetEditText(L"111-11");
  UcClipboard()->SetAsWideText(L"2\u4E2D3");
  SendMessageW(edit->Handle(), EM_SETSEL, 1, 4);
  SendMessageW(edit->Handle(), WM_PASTE, 0, 0);
  EXPECT_EQ(edit->EditText().str(), L"123-11");
  EXPECT_EQ(Selection(edit).first, 4);  // past the literal
}

TEST_F(UcMask, AValueThatDoesNotFitIsRefused) {
  auto* edit = MaskedEdit(Form, "LL-00;0;_");
  edit->SetText(L"\u0416\u0416" L"12");
  EXPECT_EQ(edit->EditText().str(), L"\u0416\u0416-12");
  EXPECT_EQ(edit->Text().str(), L"\u0416\u0416" L"12");
  EXPECT_THROW(edit->SetText(L"\u0416"), EDBEditError);
  EXPECT_EQ(edit->EditText().str(), L"\u0416\u0416-12");
  // Typed and left half-filled: Enter checks and puts the caret on the gap.
  edit->SetEditText(L"\u0416_-12");
  edit->SetModified(true);
  EXPECT_THROW(edit->ValidateEdit(), EDBEditError);
  EXPECT_EQ(Selection(edit), std::make_pair(1, 2));
  edit->Clear();
  EXPECT_EQ(edit->EditText().str(), L"__-__");
}

TEST_F(UcMask, ChangingTheMaskReformatsTheText) {
  auto* edit = MaskedEdit(Form, "000-000;1;_");
  edit->SetText(L"123-456");
  edit->SetEditMask("00.00.00;1;_");
  EXPECT_EQ(edit->EditText().str(), L"12.34.56");
  EXPECT_EQ(edit->MaxLength(), 8);
  edit->SetEditMask("");
  EXPECT_EQ(edit->EditText().str(), L"123456");
  EXPECT_EQ(edit->MaxLength(), 0);
  EXPECT_FALSE(edit->GetMasked());
}

TEST_F(UcMask, TheAnsiRoad) {
  TPlatformSwitch ansi(false);
  auto* edit = MaskedEdit(Form, ">LLL;1;_");
  ASSERT_FALSE(IsWindowUnicode(edit->Handle()));
  edit->SetCursor(0);
  // What the keyboard gives an ANSI window: bytes of code page 1251.
  SendMessageA(edit->Handle(), WM_CHAR, 0xE6, 1);  // ж
  SendMessageA(edit->Handle(), WM_CHAR, 0xFF, 1);  // я
  EXPECT_EQ(edit->EditText().str(), L"\u0416\u042F_");
  EXPECT_EQ(edit->Text().str(), L"\u0416\u042F ");  // literals saved: the blank as a space
  edit->SetText(L"\u0416\u042F\u0416");
}

TEST_F(UcMask, EditingKeysKeepTheCaretOnInputPositions) {
  auto* edit = MaskedEdit(Form, "(000) 00-00;1;_");
  edit->SetText(L"(123) 45-67");
  struct TCase {
    const char* Name;
    int Caret;
    WORD Key;
    std::pair<int, int> Expected;
  };
  const TCase cases[] = {
      {"right", 1, VK_RIGHT, {2, 3}},
      {"right over two literals", 3, VK_RIGHT, {6, 7}},
      {"left over two literals", 6, VK_LEFT, {3, 4}},
      {"left at the first input", 1, VK_LEFT, {1, 2}},
      {"home", 8, VK_HOME, {1, 2}},
      {"end", 2, VK_END, {10, 11}},
      {"up does nothing", 7, VK_UP, {7, 8}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    edit->SetCursor(c.Caret);
    Key(edit, c.Key);
    EXPECT_EQ(Selection(edit), c.Expected);
    EXPECT_EQ(edit->EditText().str(), L"(123) 45-67");
  }
  // Shift+End selects to the end; typing then replaces the selection.
  edit->SetCursor(7);
  SendMessageW(edit->Handle(), EM_SETSEL, 7, 11);
  Type(edit, L"9");
  EXPECT_EQ(edit->EditText().str(), L"(123) 49-__");
  edit->SetText(L"(123) 45-67");
}

TEST_F(UcMask, CutLeavesBlanks) {
  auto* edit = MaskedEdit(Form, "000-000;0;_");
  edit->SetText(L"123456");
  SendMessageW(edit->Handle(), EM_SETSEL, 2, 5);
  SendMessageW(edit->Handle(), WM_CUT, 0, 0);
  EXPECT_EQ(edit->EditText().str(), L"12_-_56");
  EXPECT_EQ(UcClipboard()->GetAsWideText().str(), L"3-4");
  EXPECT_EQ(edit->Text().str(), L"12  56");
  edit->SetText(L"123456");
}

TEST_F(UcMask, FormatRemovedAndAddedAgain) {
  struct TCase {
    const char* Mask;
    const wchar_t* Shown;
    const wchar_t* Value;
  };
  const TCase cases[] = {
      {"000-00;0;_", L"123-45", L"12345"},
      {"000-00;0;_", L"12_-__", L"12"},
      {"000-00;0;_", L"1_3-_5", L"1 3 5"},  // blanks inside become spaces
      {"!000-00;0;_", L"__1-23", L"123"},    // right-justified: blanks trimmed at the front
      {"(LLL);0; ", L"(\u0416\u03A9 )", L"\u0416\u03A9"},
      {">LL\\-0;0;*", L"\u0416\u0416-*", L"\u0416\u0416"},  // an escaped literal
  };
  auto* edit = PlaceOn<TUcMaskEdit>(Form, 10, 10, 200, 24);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Mask);
    edit->SetEditMask(c.Mask);
    EXPECT_EQ(edit->RemoveEditFormat(c.Shown).str(), c.Value);
    // What was typed comes back as it was shown (a blank inside has become a space).
    if (std::wstring(c.Value).find(L' ') == std::wstring::npos) {
      EXPECT_EQ(edit->AddEditFormat(edit->RemoveEditFormat(c.Shown), true).str(), c.Shown);
    }
  }
}

TEST_F(UcMask, LeavingWithAValueThatDoesNotFitKeepsTheFocus) {
  auto* other = PlaceOn<TUcEdit>(Form, 10, 50, 100, 24);
  auto* edit = MaskedEdit(Form, "LL;0;_");
  edit->SetCursor(0);
  Type(edit, L"\u0416");
  other->SetFocus();
  std::vector<std::string> raised = TakeExceptions();
  ASSERT_EQ(raised.size(), 1u);
  EXPECT_NE(raised[0].find("LL;0;_"), std::string::npos);
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(Selection(edit), std::make_pair(1, 2));  // on the gap
  // Enter checks as well; filled, it passes and the focus may go.
  Type(edit, L"\r");
  EXPECT_EQ(TakeExceptions().size(), 1u);
  Type(edit, L"\u0401");
  Type(edit, L"\r");
  EXPECT_TRUE(TakeExceptions().empty());
  other->SetFocus();
  EXPECT_TRUE(TakeExceptions().empty());
  EXPECT_TRUE(other->Focused());
}

TEST_F(UcMask, WithoutAMaskItIsAnEdit) {
  auto* edit = PlaceOn<TUcMaskEdit>(Form, 10, 10, 200, 24);
  edit->SetText(kMixedText);
  edit->SetFocus();
  edit->SetMaxLength(40);
  EXPECT_EQ(edit->MaxLength(), 40);
  SendMessageW(edit->Handle(), EM_SETSEL, 0, 0);
  Type(edit, L"\u4E2D");
  EXPECT_EQ(edit->Text().str(), std::wstring(L"\u4E2D") + kMixedText);
  edit->SetCursor(100);
  EXPECT_EQ(Selection(edit), std::make_pair(18, 18));  // kept within the text
  // A mask on an existing text formats it.
  edit->SetText(L"12");
  edit->SetEditMask("00:00;1;_");
  EXPECT_EQ(edit->EditText().str(),
            std::wstring(L"12") + static_cast<wchar_t>(static_cast<unsigned char>(TimeSeparator)) + L"__");
}
