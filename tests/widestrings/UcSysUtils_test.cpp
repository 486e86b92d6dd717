#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "UcSysUtils.h"
#include "classes.h"
#include "UcWindows.h"
#include "WideTestUtil.h"

// --- file names ----------------------------------------------------------------------

TEST(FileNames, PathParts) {
  EXPECT_EQ(WideExtractFilePath(L"C:\\a\\b.txt"), WideString(L"C:\\a\\"));
  EXPECT_EQ(WideExtractFilePath(L"C:name"), WideString(L"C:"));
  EXPECT_EQ(WideExtractFilePath(L"name"), WideString());
  EXPECT_EQ(WideExtractFileName(L"C:\\a\\b.txt"), WideString(L"b.txt"));
  EXPECT_EQ(WideExtractFileName(L"C:b.txt"), WideString(L"b.txt"));
  EXPECT_EQ(WideExtractFileExt(L"dir.x\\name"), WideString());
  EXPECT_EQ(WideExtractFileExt(L"name.tar.gz"), WideString(L".gz"));
  EXPECT_EQ(WideExtractFileExt(L"C:\\a\\\x0416.TXT"), WideString(L".TXT"));
  EXPECT_EQ(WideChangeFileExt(L"C:\\a.b\\c.txt", L".vq"), WideString(L"C:\\a.b\\c.vq"));
  EXPECT_EQ(WideChangeFileExt(L"C:\\a.b\\c", L".vq"), WideString(L"C:\\a.b\\c.vq"));
  EXPECT_EQ(WideExtractFileDir(L"C:\\"), WideString(L"C:\\"));
  EXPECT_EQ(WideExtractFileDir(L"C:\\a\\"), WideString(L"C:\\a"));
  EXPECT_EQ(WideExtractFileDir(L"C:\\a\\b.txt"), WideString(L"C:\\a"));
  EXPECT_EQ(WideExtractFileDir(L"\\\\"), WideString(L"\\\\"));
  EXPECT_EQ(WideExtractFileDrive(L"C:\\a"), WideString(L"C:"));
  EXPECT_EQ(WideExtractFileDrive(L"\\\\srv\\share\\x"), WideString(L"\\\\srv\\share"));
  EXPECT_EQ(WideExtractFileDrive(L"\\\\srv\\share"), WideString(L"\\\\srv\\share"));
  EXPECT_EQ(WideExtractFileDrive(L"\\a\\b"), WideString());
}

TEST(FileNames, DelimitersAndTrailingBackslash) {
  EXPECT_EQ(WideLastDelimiter(L"\\:", L"C:\\a\\b"), 5);
  EXPECT_EQ(WideLastDelimiter(L"\\", L"abc"), 0);
  EXPECT_EQ(WideLastDelimiter(WideString(L"\\\0", 2), WideString(L"a\0b", 3)), 0);  // a NUL never counts
  EXPECT_TRUE(WideIsDelimiter(L".,", L"a,b", 2));
  EXPECT_FALSE(WideIsDelimiter(L".,", L"a,b", 0));
  EXPECT_FALSE(WideIsDelimiter(L".,", L"a,b", 4));
  EXPECT_TRUE(WideIsPathDelimiter(L"a\\", 2));
  EXPECT_FALSE(WideIsPathDelimiter(L"a\\", 3));
  EXPECT_EQ(WideIncludeTrailingBackslash(L""), WideString(L"\\"));
  EXPECT_EQ(WideIncludeTrailingPathDelimiter(L"C:\\a"), WideString(L"C:\\a\\"));
  EXPECT_EQ(WideIncludeTrailingBackslash(L"C:\\a\\"), WideString(L"C:\\a\\"));
  EXPECT_EQ(WideExcludeTrailingBackslash(L"C:\\a\\"), WideString(L"C:\\a"));
  EXPECT_EQ(WideExcludeTrailingPathDelimiter(L"C:\\a"), WideString(L"C:\\a"));
}

TEST(FileNames, RelativePaths) {
  EXPECT_EQ(WideExtractRelativePath(L"C:\\a\\b\\f.txt", L"C:\\a\\c\\g.txt"), WideString(L"..\\c\\g.txt"));
  EXPECT_EQ(WideExtractRelativePath(L"C:\\a\\b\\f.txt", L"D:\\a\\c\\g.txt"), WideString(L"D:\\a\\c\\g.txt"));
  EXPECT_EQ(WideExtractRelativePath(L"c:\\A\\f.txt", L"C:\\a\\B\\g.txt"), WideString(L"B\\g.txt"));
  EXPECT_EQ(WideExtractRelativePath(L"C:\\a\\b\\c\\f", L"C:\\x\\g"), WideString(L"..\\..\\..\\x\\g"));
  EXPECT_EQ(WideExtractRelativePath(L"C:\\\x0416\\f", L"C:\\\x0436\\g"), WideString(L"g"));
}

// --- strings ---------------------------------------------------------------------------

TEST(WideStrings, PositionsAfterAnOffset) {
  EXPECT_EQ(WidePosEx(L"a", L"abca", 1), 4);  // a hit exactly at the offset is not found
  EXPECT_EQ(WidePosEx(L"a", L"abca", 0), 1);
  EXPECT_EQ(WidePosEx(L"bc", L"abcabc", 2), 5);
  EXPECT_EQ(WidePosEx(L"x", L"abca", 1), 0);
  // Outside the string the answer is 0, not a position before or past it.
  EXPECT_EQ(WidePosEx(L"a", L"abca", -3), 0);
  EXPECT_EQ(WidePosEx(L"a", L"abca", 5), 0);
  EXPECT_EQ(WidePosEx(L"a", L"", 0), 0);
  EXPECT_EQ(WideTextPosEx(L"A", L"abca", 1), 4);
  EXPECT_EQ(WideTextPos(L"\x0436\x0443\x043A", L"\x0416\x0423\x041A!"), 1);
  EXPECT_EQ(WideTextPos(L"x", L"abc"), 0);
  EXPECT_EQ(UcWideLastChar(L""), L'\0');
  EXPECT_EQ(UcWideLastChar(L"ab"), L'b');
}

TEST(WideStrings, ReplaceKeepsTheUntouchedText) {
  EXPECT_EQ(Uc_WideStringReplace(L"xABxab", L"ab", L"Q", rfReplaceAll | rfIgnoreCase), WideString(L"xQxQ"));
  EXPECT_EQ(Uc_WideStringReplace(L"xABxab", L"ab", L"Q", rfIgnoreCase), WideString(L"xQxab"));
  EXPECT_EQ(Uc_WideStringReplace(L"xABxab", L"ab", L"Q", rfReplaceAll), WideString(L"xABxQ"));
  EXPECT_EQ(Uc_WideStringReplace(L"\x0416\x0443\x043A \x0436\x0423\x041A", L"\x0416\x0423\x041A", L"-",
                                 rfReplaceAll | rfIgnoreCase),
            WideString(L"- -"));
  EXPECT_EQ(Uc_WideStringReplace(L"abc", L"", L"Q", rfReplaceAll), WideString(L"abc"));
  EXPECT_EQ(Uc_WideStringReplace(L"", L"a", L"Q", rfReplaceAll), WideString());
  // Whole words: bounded by separators, the start counting as one.
  EXPECT_EQ(Uc_WideStringReplace(L"cat concat cat,cat", L"cat", L"dog", rfReplaceAll, true),
            WideString(L"dog concat dog,dog"));
  EXPECT_EQ(Uc_WideStringReplace(L"catcat cat", L"cat", L"x", rfReplaceAll, true), WideString(L"catcat x"));
}

TEST(WideStrings, LineBreaksAndTheirLength) {
  EXPECT_EQ(UcAdjustLineBreaks(L"a\n\rb", tlbsCRLF), WideString(L"a\r\n\r\nb"));
  const WideString mixed(L"a\rb\nc\r\nd\x2028" L"e");
  EXPECT_EQ(UcAdjustLineBreaks(mixed, tlbsCRLF), WideString(L"a\r\nb\r\nc\r\nd\r\ne"));
  EXPECT_EQ(UcAdjustLineBreaks(mixed, tlbsLF), WideString(L"a\nb\nc\nd\ne"));
  EXPECT_EQ(UcAdjustLineBreaks(mixed, tlbsCR), WideString(L"a\rb\rc\rd\re"));
  EXPECT_EQ(UcAdjustLineBreaks(L"a\rb\nc\r\nd", tlbsCRLF).Length(), 10);
  for (const WideString& s : {WideString(L"a\n\rb"), mixed, WideString(L"\r\r\n\n\x2028"), WideString()})
    for (TUcTextLineBreakStyle style : {tlbsLF, tlbsCRLF, tlbsCR})
      EXPECT_EQ(UcAdjustLineBreaksLength(s, style), UcAdjustLineBreaks(s, style).Length());
}

TEST(WideStrings, WrapBreaksAtBreakCharactersOutsideQuotes) {
  WideString wrapped = WideWrapText(L"one two three four five six", 10);
  // Every line but the last ends at a break character; none is longer than it must be.
  std::wstring text = wrapped.str();
  EXPECT_NE(text.find(L"\r\n"), std::wstring::npos);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L"\r\n", start);
    std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    EXPECT_LE(line.size(), 11u) << "line: " << WideToAnsi(line).c_str();
    if (end == std::wstring::npos) break;
    start = end + 2;
  }
  std::wstring joined;
  for (size_t i = 0; i < text.size(); ++i)
    if (text.compare(i, 2, L"\r\n") == 0)
      ++i;
    else
      joined += text[i];
  EXPECT_EQ(joined, L"one two three four five six");
  // A quoted run is never broken; existing breaks are kept.
  EXPECT_EQ(WideWrapText(L"'a b c d e f g'", 4), WideString(L"'a b c d e f g'"));
  EXPECT_EQ(WideWrapText(L"ab\r\ncd", 40), WideString(L"ab\r\ncd"));
  EXPECT_EQ(WideWrapText(L"short", 40), WideString(L"short"));
  EXPECT_EQ(WideWrapText(L"aa;bb;cc", L"|", AnsiString(";"), 3), WideString(L"aa;|bb;|cc"));
}

TEST(WideStrings, CharacterClassesAndRtf) {
  EXPECT_TRUE(IsWideCharUpper(L'\x0416'));
  EXPECT_TRUE(IsWideCharLower(L'\x0436'));
  EXPECT_TRUE(IsWideCharAlpha(L'\x0416'));
  EXPECT_TRUE(IsWideCharDigit(L'7'));
  EXPECT_TRUE(IsWideCharXDigit(L'f'));
  EXPECT_FALSE(IsWideCharXDigit(L'g'));
  EXPECT_TRUE(IsWideCharSpace(L' '));
  EXPECT_TRUE(IsWideCharBlank(L'\t'));
  EXPECT_TRUE(IsWideCharPunct(L','));
  EXPECT_TRUE(IsWideCharCntrl(L'\x0001'));
  EXPECT_TRUE(IsWideCharAlphaNumeric(L'5'));
  EXPECT_FALSE(IsWideCharAlphaNumeric(L'-'));
  EXPECT_TRUE(IsRTF(L"{\\rtf1\\ansi"));
  EXPECT_TRUE(IsRTF(L"{URTF"));
  EXPECT_FALSE(IsRTF(L"{\\rt"));
  EXPECT_FALSE(IsRTF(L" {\\rtf"));
}

TEST(WideStringsAcp, MappableToAnsi) {
  EXPECT_TRUE(IsWideCharMappableToAnsi(L'A'));
  EXPECT_FALSE(IsWideCharMappableToAnsi(L'\x4E2D'));
  EXPECT_EQ(IsWideCharMappableToAnsi(L'\x0416'), GetACP() == 1251);
  EXPECT_EQ(IsWideCharMappableToAnsi(L'\x00C6'), GetACP() == 1252);
  // Mapped to a look-alike ('e') is not held by the code page.
  EXPECT_EQ(IsWideCharMappableToAnsi(L'\x00E9'), GetACP() == 1252);
  EXPECT_EQ(IsWideStringMappableToAnsi(L"caf\x00E9"), GetACP() == 1252);
  EXPECT_TRUE(IsWideStringMappableToAnsi(L""));
  EXPECT_FALSE(IsWideStringMappableToAnsi(L"ab\x4E2D"));
}

TEST(WideStrings, StringArrays) {
  const wchar_t array[] = L"one\0two\0\0tail";
  EXPECT_EQ(ExtractStringArrayStr(array), WideString(L"one\0two\0\0", 9));
  const wchar_t* p = array;
  EXPECT_EQ(ExtractStringFromStringArray(p), WideString(L"one"));
  EXPECT_EQ(p, array + 4);
  auto all = ExtractStringsFromStringArray(array);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1], WideString(L"two"));
  const wchar_t* q = L"a|b";
  EXPECT_EQ(ExtractStringFromStringArray(q, L'|'), WideString(L"a"));
  EXPECT_EQ(ExtractStringFromStringArray(q, L'|'), WideString(L"b"));
  EXPECT_EQ(*q, L'\0');  // no separator: p stays on the terminator
  std::wstring many;
  for (int i = 0; i < 600; ++i) many += L"x" + std::to_wstring(i) + L'\0';
  many += L'\0';
  auto list = ExtractStringsFromStringArray(many.c_str());
  ASSERT_EQ(list.size(), 600u);
  EXPECT_EQ(list[599], WideString(L"x599"));
}

TEST(WideStrings, FormatWithWideArguments) {
  EXPECT_EQ(Uc_WideFormat(L"[%s]", {WideString(L"\x0416\x0443\x043A")}), WideString(L"[\x0416\x0443\x043A]"));
  // Characters no ANSI code page holds keep their identity through a wide argument.
  EXPECT_EQ(Uc_WideFormat(L"<%s|%s>", {WideString(L"\x4E2D\x6587\x03A9"), L'\x4E2D'}), WideString(L"<\x4E2D\x6587\x03A9|\x4E2D>"));
  EXPECT_EQ(Uc_WideFormat(L"%d-%5s|%-4s|%.2s", {42, WideString(L"ab"), WideString(L"c"), WideString(L"xyz")}),
            WideString(L"42-   ab|c   |xy"));
  EXPECT_EQ(Uc_WideFormat(L"%1:s %0:s", {WideString(L"a"), WideString(L"b")}), WideString(L"b a"));
  EXPECT_EQ(Uc_WideFormat(L"%x %u %%", {255, 7}), WideString(L"FF 7 %"));
  EXPECT_EQ(Uc_WideFormat(L"%.3f", {2.5}), WideString(Format("%.3f", {2.5})));
  EXPECT_THROW(Uc_WideFormat(L"%d", {WideString(L"x")}), EConvertError);
  EXPECT_THROW(Uc_WideFormat(L"%s %s", {WideString(L"x")}), EConvertError);
  EXPECT_THROW(Uc_WideFormat(L"%.*d", {0x7FFFFFFF, 5}), EConvertError);
  // Longer than the first buffer: the text grows until it fits.
  std::wstring longFormat(5000, L'x');
  longFormat += L"%s";
  WideString result = Uc_WideFormat(WideString(longFormat), {WideString(L"!")});
  EXPECT_EQ(result.Length(), 5001);
  EXPECT_EQ(UcWideLastChar(result), L'!');
  std::wstring mid(3500, L'y');  // between the two roads of the first try
  EXPECT_EQ(Uc_WideFormat(WideString(mid + L"%d"), {5}).Length(), 3501);
  wchar_t buf[4];
  EXPECT_EQ(Uc_WideFormatBuf(buf, 4, L"abcdef", 6, {}), 4u);
}

TEST(WideStrings, FloatsWithAPoint) {
  char saved = DecimalSeparator;
  DecimalSeparator = ',';
  EXPECT_EQ(ENG_US_FloatToStr(1.5), WideString(L"1.5"));
  EXPECT_DOUBLE_EQ(ENG_US_StrToFloat(L"2.25"), 2.25);
  EXPECT_EQ(DecimalSeparator, ',');
  DecimalSeparator = saved;
}

TEST(WideStrings, ErrorMessages) {
  WideString unknown = WideLibraryErrorMessage(L"mylib", nullptr, 0x2FFFFFFF);
  EXPECT_EQ(unknown, WideString(L"Unspecified error (805306367) from mylib."));
  WideString known = WideSysErrorMessage(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(known.IsEmpty());
  EXPECT_NE(known[known.Length()], L'\n');
  EXPECT_NE(known[1], L' ');
  {
    NarrowPlatform narrow;
    WideString narrowText = WideSysErrorMessage(ERROR_FILE_NOT_FOUND);
    if (IsWideStringMappableToAnsi(known)) { EXPECT_EQ(narrowText, known); }
    EXPECT_EQ(WideLibraryErrorMessage(L"x", nullptr, 0x2FFFFFFF), WideString(L"Unspecified error (805306367) from x."));
  }
  EXPECT_TRUE(CheckWin32Version(Win32MajorVersion, Win32MinorVersion));
  EXPECT_FALSE(CheckWin32Version(Win32MajorVersion + 1));
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_THROW(WinCheckH(static_cast<HANDLE>(nullptr)), EOSError);
  EXPECT_THROW(WinCheckFileH(INVALID_HANDLE_VALUE), EOSError);
  int x = 0;
  EXPECT_EQ(WinCheckP(&x), &x);
}

TEST(WideStrings, DatesAndCurrency) {
  TDateTime t = 0;
  EXPECT_TRUE(UcTryStrToDate(L"2021-03-04", t));
  EXPECT_DOUBLE_EQ(t, EncodeDate(2021, 3, 4));
  EXPECT_FALSE(ValidDateStr(L"not a date"));
  EXPECT_DOUBLE_EQ(UcStrToDateDef(L"not a date", 7.0), 7.0);
  EXPECT_THROW(UcStrToDateTime(L"not a date"), EConvertError);
  try {
    UcStrToTime(L"nonsense");
  } catch (const EConvertError& e) {
    EXPECT_NE(e.Message().Pos("'nonsense' is not a valid time"), 0);
  }
  EXPECT_TRUE(UcTryStrToTime(L"12:30", t));
  EXPECT_NEAR(t, 12.5 / 24, 1e-9);
  CURRENCYFMTW fmt{};
  GetDefaultCurrencyFmt(fmt);
  EXPECT_LE(fmt.NumDigits, 9u);
  ASSERT_NE(fmt.lpDecimalSep, nullptr);
  CURRENCYFMTW plain{2, 1, 3, const_cast<wchar_t*>(L"."), const_cast<wchar_t*>(L","), 1, 0,
                     const_cast<wchar_t*>(L"$")};
  EXPECT_EQ(UcCurrToStr(12345678, &plain), WideString(L"$1,234.57"));
  EXPECT_TRUE(ValidCurrencyStr(L"12"));
  EXPECT_EQ(UcStrToCurr(L"12"), 120000);
  EXPECT_EQ(UcStrToCurrDef(L"zz", 5), 5);
  EXPECT_THROW(UcStrToCurr(L"zz"), EOSError);
}

TEST(WideStringsAcp, LocaleTextsOnBothRoads) {
  WideString wide = WideGetLocaleStr(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L"?");
  NarrowPlatform narrow;
  EXPECT_EQ(WideGetLocaleStr(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L"?"), wide);
  EXPECT_EQ(WideGetLocaleStr(LOCALE_USER_DEFAULT, 0xFFFF, L"dflt"), WideString(L"dflt"));
}

// --- the file system on both roads -------------------------------------------------------

using FileSystem = BothRoads;
INSTANTIATE_TEST_SUITE_P(Roads, FileSystem, testing::Values(TRoad::Wide, TRoad::Narrow), RoadName);

TEST_P(FileSystem, ExistenceAttributesAndAge) {
  WideTempDir dir;
  const WideString file = dir.File(L"\x0416\x0443\x043A.txt");
  WriteWideFileBytes(file, "abc");
  EXPECT_TRUE(WideFileExists(file));
  EXPECT_FALSE(WideDirectoryExists(file));
  EXPECT_FALSE(WideFileExists(dir.Path()));
  EXPECT_TRUE(WideDirectoryExists(dir.Path()));
  EXPECT_FALSE(WideFileExists(dir.File(L"missing")));
  EXPECT_EQ(WideFileGetAttr(dir.File(L"missing")), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(WideFileIsReadOnly(dir.File(L"missing")));
  EXPECT_FALSE(WideFileSetReadOnly(dir.File(L"missing"), true));
  EXPECT_FALSE(WideFileIsReadOnly(file));
  EXPECT_TRUE(WideFileSetReadOnly(file, true));
  EXPECT_TRUE(WideFileIsReadOnly(file));
  EXPECT_TRUE(WideFileSetReadOnly(file, false));
  EXPECT_FALSE(WideFileIsReadOnly(file));

  // A known time in local time (the tests run with TZ=UTC).
  SYSTEMTIME st{2021, 3, 0, 4, 10, 20, 30, 0};
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  HANDLE h = CreateFileW(file.c_bstr(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  const int dos = ((2021 - 1980) << 25) | (3 << 21) | (4 << 16) | (10 << 11) | (20 << 5) | (30 / 2);
  EXPECT_EQ(WideFileAge(file), dos);
  TDateTime dt;
  ASSERT_TRUE(WideFileAge(file, dt));
  EXPECT_NEAR(dt, EncodeDate(2021, 3, 4) + EncodeTime(10, 20, 30, 0), 1e-8);
  EXPECT_EQ(WideFileAge(dir.File(L"missing")), -1);
  EXPECT_EQ(WideFileAge(dir.Path()), -1);
  EXPECT_FALSE(WideFileAge(dir.Path(), dt));

  // Before 1980 there is no DOS time.
  SYSTEMTIME old{1979, 6, 0, 1, 0, 0, 0, 0};
  SystemTimeToFileTime(&old, &ft);
  h = CreateFileW(file.c_bstr(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  EXPECT_EQ(WideFileAge(file), -1);
}

TEST_P(FileSystem, CopyRenameDeleteAndFolders) {
  WideTempDir dir;
  const WideString a = dir.File(L"\x0430.bin"), b = dir.File(L"\x0431.bin"), c = dir.File(L"c.bin");
  WriteWideFileBytes(a, "data");
  EXPECT_TRUE(WideCopyFile(a, b, true));
  EXPECT_FALSE(WideCopyFile(a, b, true));
  EXPECT_TRUE(WideCopyFile(a, b, false));
  EXPECT_TRUE(WideRenameFile(b, c));
  EXPECT_FALSE(WideFileExists(b));
  EXPECT_EQ(ReadWideFileBytes(c), "data");
  EXPECT_TRUE(WideDeleteFile(c));
  EXPECT_FALSE(WideDeleteFile(c));
  const WideString sub = dir.File(L"\x043F\x0430\x043F\x043A\x0430");
  EXPECT_TRUE(WideCreateDir(sub));
  EXPECT_FALSE(WideCreateDir(sub));
  EXPECT_TRUE(WideRemoveDir(sub));
  EXPECT_FALSE(WideRemoveDir(sub));
  EXPECT_EQ(WideFileSearch(L"\x0430.bin", L";" + dir.Path()), a);
  EXPECT_EQ(WideFileSearch(L"\x0430.bin", L"C:\\nowhere;;" + dir.Path() + L"\\"), a);
  EXPECT_EQ(WideFileSearch(L"none.bin", dir.Path()), WideString());
  EXPECT_EQ(WideFileSearch(a, L""), a);
}

TEST_P(FileSystem, ForceDirectories) {
  WideTempDir dir;
  const WideString deep = dir.File(L"t\\\x0430\\b\\c");
  EXPECT_TRUE(WideForceDirectories(deep));
  EXPECT_TRUE(WideDirectoryExists(deep));
  EXPECT_TRUE(WideForceDirectories(deep + L"\\"));  // existing: true, nothing done
  EXPECT_TRUE(WideForceDirectories(L"C:"));
  EXPECT_THROW(WideForceDirectories(L""), EUcGeneralError);
  try {
    WideForceDirectories(L"");
  } catch (const EUcGeneralError& e) {
    EXPECT_EQ(e.Message(), AnsiString("Unable to create directory"));
  }
  // A file in the way: the folder cannot be made.
  WriteWideFileBytes(dir.File(L"f"), "x");
  EXPECT_FALSE(WideForceDirectories(dir.File(L"f\\g")));
  // A relative name of one folder is made in the current folder.
  WideString cwd = WideGetCurrentDir();
  ASSERT_TRUE(WideSetCurrentDir(dir.Path()));
  EXPECT_TRUE(WideForceDirectories(L"rel"));
  EXPECT_TRUE(WideForceDirectories(L"rel2\\sub"));
  EXPECT_TRUE(WideSetCurrentDir(cwd));
  EXPECT_TRUE(WideDirectoryExists(dir.File(L"rel")));
  EXPECT_TRUE(WideDirectoryExists(dir.File(L"rel2\\sub")));
}

TEST_P(FileSystem, FindFiltersByAttributes) {
  WideTempDir dir;
  WriteWideFileBytes(dir.File(L"plain.txt"), "12345");
  WriteWideFileBytes(dir.File(L"ro.txt"), "");
  WriteWideFileBytes(dir.File(L"hidden.txt"), "");
  WriteWideFileBytes(dir.File(L"system.txt"), "");
  WideCreateDir(dir.File(L"folder"));
  WideFileSetAttr(dir.File(L"ro.txt"), FILE_ATTRIBUTE_READONLY);
  WideFileSetAttr(dir.File(L"hidden.txt"), FILE_ATTRIBUTE_HIDDEN);
  WideFileSetAttr(dir.File(L"system.txt"), FILE_ATTRIBUTE_SYSTEM);
  auto names = [&](int attr) {
    std::set<std::wstring> found;
    TSearchRecW f;
    int r = WideFindFirst(dir.Path() + L"\\*", attr, f);
    while (r == 0) {
      found.insert(f.Name.str());
      if (f.Name == L"plain.txt") { EXPECT_EQ(f.Size, 5); }
      r = WideFindNext(f);
    }
    EXPECT_EQ(r, ERROR_NO_MORE_FILES);
    WideFindClose(f);
    WideFindClose(f);  // twice is harmless
    EXPECT_EQ(f.FindHandle, INVALID_HANDLE_VALUE);
    return found;
  };
  EXPECT_EQ(names(0), (std::set<std::wstring>{L"plain.txt", L"ro.txt"}));
  EXPECT_EQ(names(faHidden), (std::set<std::wstring>{L"plain.txt", L"ro.txt", L"hidden.txt"}));
  EXPECT_EQ(names(faDirectory), (std::set<std::wstring>{L"plain.txt", L"ro.txt", L"folder", L".", L".."}));
  EXPECT_EQ(names(faAnyFile).size(), 7u);
  TSearchRecW f;
  EXPECT_EQ(WideFindFirst(dir.File(L"none*"), 0, f), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(WideFindFirst(dir.File(L"hidden*"), 0, f), ERROR_NO_MORE_FILES);
  EXPECT_EQ(f.FindHandle, INVALID_HANDLE_VALUE);
}

TEST_P(FileSystem, FullPathsAndTheCurrentFolder) {
  WideTempDir dir;
  WideString cwd = WideGetCurrentDir();
  ASSERT_TRUE(WideSetCurrentDir(dir.Path()));
  EXPECT_EQ(WideGetCurrentDir(), dir.Path());
  EXPECT_EQ(WideExpandFileName(L"x\\..\\\x0416.txt"), dir.File(L"\x0416.txt"));
  EXPECT_TRUE(WideSetCurrentDir(cwd));
  EXPECT_FALSE(WideSetCurrentDir(dir.File(L"missing")));
  WriteWideFileBytes(dir.File(L"long name here.txt"), "");
  WideString shortName = WideExtractShortPathName(dir.File(L"long name here.txt"));
  EXPECT_FALSE(shortName.IsEmpty());
  EXPECT_TRUE(WideFileExists(shortName));
  EXPECT_EQ(WideExtractShortPathName(dir.File(L"missing.txt")), WideString());
  wchar_t name[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, name, MAX_PATH * 2);
  EXPECT_EQ(WideGetModuleFileName(nullptr), WideString(name, static_cast<int>(n)));
  EXPECT_THROW(WideGetModuleFileName(reinterpret_cast<HINSTANCE>(0x1230000)), EOSError);
}

// Names of tens of thousands of levels: the folder creation neither overflows
// the stack nor claims a tree the system refused to make.
TEST_P(FileSystem, VeryDeepNamesAreAnsweredWithoutRecursion) {
  WideTempDir dir;
  const struct {
    int levels;
    const wchar_t* part;
  } cases[] = {{40000, L"q"}, {1000, L"ab"}};
  for (const auto& c : cases) {
    std::wstring deep = dir.File(L"deep").str();
    for (int i = 0; i < c.levels; ++i) (deep += L'\\') += c.part;
    const bool made = WideForceDirectories(WideString(deep));
    EXPECT_EQ(made, WideDirectoryExists(WideString(deep))) << c.levels << " levels";
    if (deep.size() > 32767) {
      EXPECT_FALSE(made) << c.levels << " levels";
    }
    // The tree is deeper than a recursive removal should walk.
    RunUnix("rm -rf '" + UnixPath(dir.File(L"deep").str()) + "'");
  }
}

TEST_P(FileSystem, PathsLongerThan260Characters) {
  WideTempDir dir;
  WideString deep = dir.Path();
  for (int i = 0; i < 8; ++i) deep += L"\\" + WideString(std::wstring(40, static_cast<wchar_t>(L'a' + i)));
  ASSERT_GT(deep.Length(), 300);
  if (Narrow()) {
    // The narrow calls of Wine stop at MAX_PATH, as Windows 9x did.
    EXPECT_FALSE(WideForceDirectories(deep));
    return;
  }
  ASSERT_TRUE(WideForceDirectories(deep));
  EXPECT_TRUE(WideDirectoryExists(deep));
  const WideString file = deep + L"\\\x0416.txt";
  WriteWideFileBytes(file, "long");
  EXPECT_TRUE(WideFileExists(file));
  EXPECT_NE(WideFileAge(file), -1);
  EXPECT_EQ(WideExpandFileName(file), file);
  EXPECT_EQ(WideExpandFileName(deep + L"\\x\\..\\\x0416.txt"), file);
  WideString shortName = WideExtractShortPathName(file);
  EXPECT_GT(shortName.Length(), 0);
  EXPECT_TRUE(WideFileExists(shortName));
  WideString cwd = WideGetCurrentDir();
  if (WideSetCurrentDir(deep)) {
    EXPECT_EQ(WideGetCurrentDir(), deep);
    EXPECT_EQ(WideExpandFileName(L"\x0416.txt"), file);
    WideSetCurrentDir(cwd);
  }
  EXPECT_TRUE(WideCopyFile(file, deep + L"\\copy.txt", true));
  EXPECT_TRUE(WideRenameFile(deep + L"\\copy.txt", deep + L"\\moved.txt"));
  TSearchRecW f;
  ASSERT_EQ(WideFindFirst(deep + L"\\m*", 0, f), 0);
  EXPECT_EQ(f.Name, WideString(L"moved.txt"));
  WideFindClose(f);
  EXPECT_TRUE(WideDeleteFile(deep + L"\\moved.txt"));
}

TEST(FileSystemAcp, NamesOutsideTheCodePageAreLostOnTheNarrowRoad) {
  WideTempDir dir;
  const WideString chinese = dir.File(L"\x4E2D.txt");
  WriteWideFileBytes(chinese, "x");
  EXPECT_TRUE(WideFileExists(chinese));
  NarrowPlatform narrow;
  // The name reaches the system as "?.txt": no such file (a search would take
  // the '?' as a wildcard).
  EXPECT_EQ(WideFileGetAttr(chinese), INVALID_FILE_ATTRIBUTES);
  TSearchRecW f;
  ASSERT_EQ(WideFindFirst(dir.File(L"*.txt"), 0, f), 0);
  EXPECT_EQ(f.Name, WideString(L"?.txt"));
  WideFindClose(f);
  const WideString cyrillic = dir.File(L"\x0416.txt");
  WriteWideFileBytes(cyrillic, "y");
  EXPECT_EQ(WideFileGetAttr(cyrillic) != INVALID_FILE_ATTRIBUTES, GetACP() == 1251);
}

TEST(FileSystem, OpenModesMapToAccessAndSharing) {
  DWORD access, share;
  WideFileOpenFlags(fmOpenRead | fmShareDenyWrite, access, share);
  EXPECT_EQ(access, static_cast<DWORD>(GENERIC_READ));
  EXPECT_EQ(share, static_cast<DWORD>(FILE_SHARE_READ));
  WideFileOpenFlags(fmOpenReadWrite | fmShareDenyNone, access, share);
  EXPECT_EQ(access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
  EXPECT_EQ(share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
  WideFileOpenFlags(fmOpenWrite | fmShareDenyRead, access, share);
  EXPECT_EQ(access, static_cast<DWORD>(GENERIC_WRITE));
  EXPECT_EQ(share, static_cast<DWORD>(FILE_SHARE_WRITE));
  WideFileOpenFlags(fmOpenRead | fmShareExclusive, access, share);
  EXPECT_EQ(share, 0u);

  WideTempDir dir;
  const WideString file = dir.File(L"f");
  HANDLE created = WideFileCreate(file);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  // Created with no sharing: nobody else gets in meanwhile.
  EXPECT_EQ(WideFileOpen(file, fmOpenRead | fmShareDenyNone), INVALID_HANDLE_VALUE);
  CloseHandle(created);
  HANDLE reader = WideFileOpen(file, fmOpenRead | fmShareDenyWrite);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  HANDLE second = WideFileOpen(file, fmOpenRead | fmShareDenyWrite);
  EXPECT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WideFileOpen(file, fmOpenWrite | fmShareDenyNone), INVALID_HANDLE_VALUE);
  CloseHandle(second);
  CloseHandle(reader);
  EXPECT_EQ(WideFileOpen(dir.File(L"missing"), fmOpenRead), INVALID_HANDLE_VALUE);
}

TEST(FileSystem, LoadLibraryAndPackages) {
  HMODULE m = WideSafeLoadLibrary(L"version.dll");
  EXPECT_NE(m, nullptr);
  if (m) FreeLibrary(m);
  EXPECT_EQ(WideSafeLoadLibrary(L"no_such_library_here.dll"), nullptr);
  try {
    WideLoadPackage(L"no_such_package.bpl");
    FAIL() << "a missing package raises";
  } catch (const EPackageError& e) {
    EXPECT_EQ(e.Message().Pos("Can't load package no_such_package.bpl.\r\n"), 1);
  }
}
