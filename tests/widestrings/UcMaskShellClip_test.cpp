#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "UcClipboard.h"
#include "UcMaskUtils.h"
#include "UcShellItems.h"
#include "WideTestUtil.h"
#include "mask.h"

#include <shobjidl.h>

TEST(EditMasks, ClassLibraryHelpers) {
  const AnsiString mask = "!(000) \\9aL/:<>;0;*";
  EXPECT_EQ(MaskGetCharType(mask, 1), mcDirective);
  EXPECT_EQ(MaskGetCharType(mask, 2), mcLiteral);
  EXPECT_EQ(MaskGetCharType(mask, 3), mcMask);
  EXPECT_EQ(MaskGetCharType(mask, 8), mcDirective);  // the escape
  EXPECT_EQ(MaskGetCharType(mask, 9), mcLiteral);    // the escaped '9'
  EXPECT_EQ(MaskGetCharType(mask, 10), mcMaskOpt);
  EXPECT_EQ(MaskGetCharType(mask, 12), mcIntlLiteral);
  EXPECT_EQ(MaskGetCharType(mask, 16), mcFieldSeparator);
  EXPECT_EQ(MaskGetCharType(mask, 17), mcField);
  EXPECT_EQ(MaskGetCharType(mask, 0), mcNone);
  EXPECT_EQ(MaskGetMaskLength(mask), 15);
  EXPECT_EQ(MaskOffsetToOffset(mask, 3), 1);   // after '(' (the '!' produces nothing)
  EXPECT_EQ(MaskOffsetToOffset(mask, 16), 11);  // a full value
  EXPECT_TRUE(IsLiteralChar(mask, 0));
  EXPECT_FALSE(IsLiteralChar(mask, 1));
  EXPECT_TRUE(IsLiteralChar(mask, 6));  // the escaped '9'
  EXPECT_EQ(MaskGetMaskBlank(mask), '*');
  EXPECT_FALSE(MaskGetMaskSave(mask));
  EXPECT_EQ(MaskGetMaskBlank("000"), DefaultBlank);
  EXPECT_TRUE(MaskGetMaskSave("000;1"));
  EXPECT_EQ(MaskGetCurrentDirectives(mask, 1), mDirReverse);
  EXPECT_EQ(MaskGetCurrentDirectives(">a<b", 2), mDirUpperCase);
  EXPECT_EQ(MaskGetCurrentDirectives(">a<b", 4), mDirLowerCase);
  EXPECT_EQ(MaskGetCurrentDirectives("><>a", 4), 0u);
}

TEST(EditMasks, FormattingWithLiterals) {
  EXPECT_EQ(MaskDoFormatTextW("(000) 000-0000;0;_", L"1234567890", '_'), WideString(L"(123) 456-7890"));
  EXPECT_EQ(MaskDoFormatTextW("(000) 000;0;_", L"12", '_'), WideString(L"(12_) ___"));
  EXPECT_EQ(MaskDoFormatTextW("!999;0;_", L"12", '_'), WideString(L"_12"));
  EXPECT_EQ(MaskDoFormatTextW("!99-99;0;_", L"1234", '_'), WideString(L"12-34"));
  EXPECT_EQ(MaskDoFormatTextW("LL\\-0;0; ", L"\x0416\x0416" L"7", ' '), WideString(L"\x0416\x0416-7"));
}

TEST(EditMasks, IntlLiteralsFollowTheLocale) {
  char savedDate = DateSeparator, savedTime = TimeSeparator;
  DateSeparator = '.';
  TimeSeparator = '-';
  EXPECT_EQ(MaskIntlLiteralToWChar(L'/'), L'.');
  EXPECT_EQ(MaskIntlLiteralToWChar(L':'), L'-');
  EXPECT_EQ(MaskIntlLiteralToWChar(L'x'), L'x');
  EXPECT_EQ(MaskDoFormatTextW("00/00;0;_", L"1231", '_'), WideString(L"12.31"));
  DateSeparator = savedDate;
  TimeSeparator = savedTime;
}

TEST(EditMasks, PaddingTypedValues) {
  EXPECT_EQ(PadInputLiteralsW("99-99;1;_", L"1-2", '_'), WideString(L"1_-2_"));
  EXPECT_EQ(PadInputLiteralsW("99-99;1;_", L"123-45678", '_'), WideString(L"12-45"));
  EXPECT_EQ(PadInputLiteralsW("!99-99;1;_", L"123-45678", '_'), WideString(L"23-78"));
  EXPECT_EQ(PadInputLiteralsW("!99-99;1;_", L"1-2", '_'), WideString(L"_1-_2"));
  EXPECT_EQ(PadInputLiteralsW("99-99;1;_", L"1 -2 ", '_'), WideString(L"1_-2_"));
  EXPECT_EQ(PadInputLiteralsW("99-99;1;_", L"12", '_'), WideString(L"12-__"));
}

TEST(ShellItems, IdentifiersAndTheLateBoundCall) {
  wchar_t text[40];
  StringFromGUID2(CLSID_FileOpenDialog, text, 40);
  EXPECT_STREQ(text, L"{DC1C5A9C-E88A-4DDE-A5A1-60F82A20AEF7}");
  StringFromGUID2(CLSID_FileSaveDialog, text, 40);
  EXPECT_STREQ(text, L"{C0B4E2F3-BA21-4773-8DBA-335EC946EB8B}");
  StringFromGUID2(CLSID_ShelllItem, text, 40);
  EXPECT_STREQ(text, L"{43826D1E-E718-42EE-BC55-A1E261C37BFE}");
  TComdlgFilterSpecArray filters = {{L"Lists", L"*.vq"}, {L"All", L"*.*"}};
  EXPECT_EQ(filters.size(), 2u);
  CoInitialize(nullptr);
  // The test program uses the shell library, so it is loaded and the call
  // reaches it.
  ASSERT_NE(GetModuleHandleA("shell32.dll"), nullptr);
  IUnknown* item = nullptr;
  HRESULT hr = SHCreateItemFromParsingName(L"C:\\", nullptr, CLSID_ShelllItem, reinterpret_cast<void**>(&item));
  if (hr == E_NOTIMPL) GTEST_SKIP() << "this shell has no SHCreateItemFromParsingName";
  EXPECT_EQ(hr, S_OK);
  if (item) item->Release();
  CoUninitialize();
}

// Not in the second code-page pass, which makes no window: a Wine session that
// started under the other locale can take minutes over its first window.
TEST(Clipboard, WideAndAnsiFormats) {
  TUcClipboard* clip = UcClipboard();
  EXPECT_EQ(clip, UcClipboard());
  const WideString text(L"\x0416\x0443\x043A \x4E2D");
  clip->SetAsWideText(text);
  EXPECT_TRUE(clip->HasFormat(CF_UNICODETEXT));
  EXPECT_TRUE(clip->HasFormat(CF_TEXT));
  EXPECT_EQ(clip->GetAsWideText(), text);
  EXPECT_EQ(clip->AsText(), WideToAnsi(text));
  // Another program's CF_TEXT alone comes back converted from the code page.
  HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(OpenClipboard(owner));
  EmptyClipboard();
  std::string ansi = Bytes("C6 41");
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 3);
  std::memcpy(GlobalLock(mem), (ansi + '\0').c_str(), 3);
  GlobalUnlock(mem);
  SetClipboardData(CF_TEXT, mem);
  CloseClipboard();
  DestroyWindow(owner);
  EXPECT_EQ(clip->GetAsWideText(), AnsiToWide(AnsiString(ansi)));
  if (GetACP() == 1251) { EXPECT_EQ(clip->GetAsWideText(), WideString(L"\x0416" L"A")); }
  clip->Clear();
  EXPECT_EQ(clip->GetAsWideText(), WideString());
  // Nested openings empty the clipboard once.
  clip->Open();
  clip->SetAsText("one");
  clip->SetBuffer(CF_UNICODETEXT, L"two", 8);
  clip->Close();
  EXPECT_EQ(clip->AsText(), AnsiString("one"));
  EXPECT_EQ(clip->GetAsWideText(), WideString(L"two"));
  // Leave the clipboard owned by nobody: Wine makes a process that still owns
  // it wait at exit for a clipboard manager the virtual display does not have.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
}
