// The runtime's utility routines: Format, number conversions, strings and
// case in code page 1251, file names, the file system and folder enumeration,
// dates, the locale settings, OS errors, resources and the command line.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "raised.h"
#include "sysutils.h"

#include <shellapi.h>  // after windows.h

namespace {

// A moment as the system's date-time record (no weekday, no milliseconds).
SYSTEMTIME MakeSystemTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(hour);
  st.wMinute = static_cast<WORD>(minute);
  st.wSecond = static_cast<WORD>(second);
  return st;
}

// Float texts below are written with '.'; the user's separator is restored after.
class WithDotSeparator : public ::testing::Test {
protected:
  void SetUp() override {
    FSavedDecimal = DecimalSeparator;
    FSavedThousand = ThousandSeparator;
    DecimalSeparator = '.';
    ThousandSeparator = ',';
  }
  void TearDown() override {
    DecimalSeparator = FSavedDecimal;
    ThousandSeparator = FSavedThousand;
  }

private:
  char FSavedDecimal = '.', FSavedThousand = ',';
};

std::string FormatError(const std::string& fmt) {
  return "EConvertError: Format '" + fmt + "' invalid or incompatible with argument";
}

// --- Format --------------------------------------------------------------------

TEST(Format, IntegersWithWidthPrecisionAndJustification) {
  EXPECT_EQ(Format("%d", {0}), "0");
  EXPECT_EQ(Format("%d|%d", {-2147483647 - 1, 2147483647}), "-2147483648|2147483647");
  EXPECT_EQ(Format("%d", {int64_t(-9223372036854775807LL - 1)}), "-9223372036854775808");
  EXPECT_EQ(Format("[%5d]", {42}), "[   42]");
  EXPECT_EQ(Format("[%-5d]", {42}), "[42   ]");
  EXPECT_EQ(Format("[%2d]", {12345}), "[12345]");  // width never cuts
  EXPECT_EQ(Format("[%.3d]", {7}), "[007]");
  EXPECT_EQ(Format("[%.2d]", {-5}), "[-05]");
  EXPECT_EQ(Format("[%6.3d]", {-5}), "[  -005]");
  EXPECT_EQ(Format("[%.3u]", {5u}), "[005]");
  // The archive errors' numbers: "%5d" with its blanks turned to zeros.
  EXPECT_EQ(Format("%5d", {-1}), "   -1");
  EXPECT_EQ(Format("%u", {-1}), "4294967295");
  EXPECT_EQ(Format("%u", {int64_t(-1)}), "18446744073709551615");
  EXPECT_EQ(Format("%u", {4000000000u}), "4000000000");
  EXPECT_EQ(Format("%d", {4000000000u}), "4000000000");
  EXPECT_EQ(Format("%D %U", {3, 4}), "3 4");  // type letters in either case
}

TEST(Format, HexIsUpperCaseInTheWidthOfTheArgument) {
  EXPECT_EQ(Format("%x %X", {255, 255}), "FF FF");
  EXPECT_EQ(Format("%.4x", {255}), "00FF");
  EXPECT_EQ(Format("%8x|", {0xABC}), "     ABC|");
  EXPECT_EQ(Format("%x", {-1}), "FFFFFFFF");
  EXPECT_EQ(Format("%x", {int64_t(-1)}), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(Format("%x", {0}), "0");
  EXPECT_EQ(Format("%p", {reinterpret_cast<const void*>(0x1234)}), "00001234");
  EXPECT_EQ(Format("%p", {nullptr}), "00000000");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(-1, 1), "FFFFFFFF");
  EXPECT_EQ(IntToHex(int64_t(-1), 1), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToHex(0x12345678u, 2), "12345678");
  EXPECT_EQ(IntToHex(DWORD(0xFFFFFFFF), 0), "FFFFFFFF");
}

TEST(Format, StringsOfEveryKind) {
  EXPECT_EQ(Format("%s|%s|%s|%s", {'c', "pchar", AnsiString("ansi"), WideString(L"wide")}), "c|pchar|ansi|wide");
  // Wide arguments are narrowed through the ANSI code page: "Файл".
  EXPECT_EQ(Format("%s", {WideString(L"\x0424\x0430\x0439\x043B")}), "\xD4\xE0\xE9\xEB");
  EXPECT_EQ(Format("%s", {L'\x0424'}), "\xD4");
  EXPECT_EQ(Format("[%.3s]", {"abcdef"}), "[abc]");
  EXPECT_EQ(Format("[%6s][%-6s]", {"ab", "ab"}), "[    ab][ab    ]");
  EXPECT_EQ(Format("[%-6.2s]", {"abcdef"}), "[ab    ]");
  EXPECT_EQ(Format("%s", {static_cast<const char*>(nullptr)}), "");
  EXPECT_EQ(Format("100%% %s", {"sure"}), "100% sure");
  EXPECT_EQ(Format("no args", {}), "no args");
  EXPECT_EQ(Format("", {1}), "");
  EXPECT_EQ(Format("%s", {AnsiString("a\0b", 3)}), AnsiString("a\0b", 3));
  EXPECT_EQ(Format("%s", {std::string("std")}), "std");
  std::vector<TVarRec> args = {TVarRec("x"), TVarRec(5)};
  EXPECT_EQ(Format("%s%d", args), "x5");
  EXPECT_EQ(FmtStr("%s-%s", {"a", "b"}), "a-b");
}

TEST(Format, IndexesWidthsFromArgumentsAndSurplusArguments) {
  EXPECT_EQ(Format("%1:s %0:s", {"world", "hello"}), "hello world");
  // After an explicit index the next implicit one follows it.
  EXPECT_EQ(Format("%1:s %s %0:s %s", {"a", "b", "c"}), "b c a b");
  EXPECT_EQ(Format("%0:s%0:s%0:s", {"ab"}), "ababab");
  EXPECT_EQ(Format("[%*d]", {4, 7}), "[   7]");
  EXPECT_EQ(Format("[%-*d]", {4, 7}), "[7   ]");
  EXPECT_EQ(Format("[%.*d]", {3, 7}), "[007]");
  EXPECT_EQ(Format("[%0:-4s]", {"x"}), "[x   ]");
  EXPECT_EQ(Format("%d", {1, 2, "surplus"}), "1");
  EXPECT_EQ(Format("%s: %s", {"Archiver1", "Cannot open"}), "Archiver1: Cannot open");
}

TEST(Format, BadSpecifiersAndArgumentsRaiseConvertError) {
  EXPECT_EQ(Raised([] { Format("%d", {"x"}); }), FormatError("%d"));
  EXPECT_EQ(Raised([] { Format("%s", {1}); }), FormatError("%s"));
  EXPECT_EQ(Raised([] { Format("%d %d", {1}); }), FormatError("%d %d"));
  EXPECT_EQ(Raised([] { Format("%d", {}); }), FormatError("%d"));
  EXPECT_EQ(Raised([] { Format("%3:d", {1, 2}); }), FormatError("%3:d"));
  EXPECT_EQ(Raised([] { Format("%f", {1}); }), FormatError("%f"));
  EXPECT_EQ(Raised([] { Format("%x", {1.5}); }), FormatError("%x"));
  EXPECT_EQ(Raised([] { Format("%p", {5}); }), FormatError("%p"));
  EXPECT_EQ(Raised([] { Format("%k", {5}); }), FormatError("%k"));
  EXPECT_EQ(Raised([] { Format("50%", {5}); }), FormatError("50%"));
  EXPECT_EQ(Raised([] { Format("% d", {5}); }), FormatError("% d"));
  EXPECT_EQ(Raised([] { Format("%*d", {"w", 5}); }), FormatError("%*d"));
  EXPECT_EQ(Raised([] { Format("%99999999999d", {5}); }), FormatError("%99999999999d"));
  EXPECT_EQ(Raised([] { Format("%*d", {0x7FFFFFFF, 5}); }), FormatError("%*d"));
  EXPECT_EQ(Raised([] { Format("%.*d", {0x7FFFFFFF, 5}); }), FormatError("%.*d"));
}

TEST_F(WithDotSeparator, FloatSpecifiers) {
  EXPECT_EQ(Format("%f", {1.0}), "1.00");
  EXPECT_EQ(Format("%.3f", {3.14159}), "3.142");
  EXPECT_EQ(Format("%.0f", {2.5}), "3");  // ties round away from zero
  EXPECT_EQ(Format("%.2f", {0.125}), "0.13");
  EXPECT_EQ(Format("%.2f", {-0.125}), "-0.13");
  EXPECT_EQ(Format("%.2f", {2.675}), "2.67");  // 2.67499999... in binary
  EXPECT_EQ(Format("%.2f", {-0.001}), "0.00");
  EXPECT_EQ(Format("%.2f", {99.999}), "100.00");
  EXPECT_EQ(Format("[%8.2f]", {-1.5}), "[   -1.50]");
  EXPECT_EQ(Format("%.1f", {1e20}), "100000000000000000000.0");
  EXPECT_EQ(Format("%n", {1234567.891}), "1,234,567.89");
  EXPECT_EQ(Format("%.0n", {-999.5}), "-1,000");
  EXPECT_EQ(Format("%.1n", {12.34}), "12.3");
  EXPECT_EQ(Format("%e", {1234.5}), "1.23450000000000E+003");
  EXPECT_EQ(Format("%.3e", {-0.000123456}), "-1.23E-004");
  EXPECT_EQ(Format("%.3e", {0.0}), "0.00E+000");
  EXPECT_EQ(Format("%g", {0.1}), "0.1");
  EXPECT_EQ(Format("%g", {1e20}), "1E020");
  EXPECT_EQ(Format("%g", {1.5e-7}), "1.5E-007");
  EXPECT_EQ(Format("%.3g", {1234.0}), "1.23E003");
  EXPECT_EQ(Format("%g", {-42.0}), "-42");
  EXPECT_EQ(Format("%f %g", {NAN, -INFINITY}), "NAN -INF");
  EXPECT_EQ(Format("%f", {1.5f}), "1.50");
}

TEST(Format, FloatsUseTheLocaleSeparatorsAndInvariantUsesDot) {
  char buf[8] = {};
  ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, sizeof buf), 0);
  EXPECT_EQ(DecimalSeparator, buf[0]);
  ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, sizeof buf), 0);
  EXPECT_EQ(ThousandSeparator, buf[0]);
  EXPECT_EQ(Format("%.2f", {5.0}), AnsiString("5") + DecimalSeparator + "00");
  EXPECT_EQ(Format("%n", {1234.5}), AnsiString("1") + ThousandSeparator + "234" + DecimalSeparator + "50");
  EXPECT_EQ(FormatFloatInvariant(5.0, 2), "5.00");
  EXPECT_EQ(FormatFloatInvariant(-0.125, 2), "-0.13");
  EXPECT_EQ(FormatFloatInvariant(1234567.0, 0), "1234567");
  EXPECT_EQ(FloatToStr(1.5), AnsiString("1") + DecimalSeparator + "5");
}

TEST(Format, CurrencyFollowsTheLocaleOrders) {
  AnsiString savedSym = CurrencyString;
  int savedPos = CurrencyFormat, savedNeg = NegCurrFormat, savedDec = CurrencyDecimals;
  char savedDecSep = DecimalSeparator, savedThou = ThousandSeparator;
  DecimalSeparator = '.';
  ThousandSeparator = ',';
  CurrencyString = "$";
  CurrencyDecimals = 2;
  CurrencyFormat = 0;
  NegCurrFormat = 0;
  EXPECT_EQ(Format("%m", {1234.5}), "$1,234.50");
  EXPECT_EQ(Format("%m", {-1.0}), "($1.00)");
  CurrencyFormat = 3;
  NegCurrFormat = 8;
  EXPECT_EQ(Format("%.0m", {7.0}), "7 $");
  EXPECT_EQ(Format("%m", {-7.0}), "-7.00 $");
  CurrencyString = savedSym;
  CurrencyFormat = savedPos;
  NegCurrFormat = savedNeg;
  CurrencyDecimals = savedDec;
  DecimalSeparator = savedDecSep;
  ThousandSeparator = savedThou;
}

// --- numbers -------------------------------------------------------------------

TEST(StrToInt, LenientAboutBlanksAndHex) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("  42"), 42);
  EXPECT_EQ(StrToInt("42 \t"), 42);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("-7"), -7);
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToInt("$ff"), 255);
  EXPECT_EQ(StrToInt("0x1F"), 31);
  EXPECT_EQ(StrToInt("-$10"), -16);
  EXPECT_EQ(StrToInt("$7FFFFFFF"), 2147483647);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(StrToInt("000123"), 123);
}

TEST(StrToInt, BadTextRaisesWithTheText) {
  for (const char* bad : {"", " ", "abc", "12a", "1 2", "--1", "+", "$", "0x", "$G", "2147483648", "-2147483649",
                          "$100000000", "1.5", "1e3", "\xD4"}) {
    EXPECT_EQ(Raised([&] { StrToInt(bad); }), std::string("EConvertError: '") + bad + "' is not a valid integer value")
        << bad;
    EXPECT_EQ(StrToIntDef(bad, -99), -99) << bad;
    int v = 5;
    EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
    EXPECT_EQ(v, 5);
  }
}

TEST(StrToInt, SixtyFourBitsAndText) {
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(StrToInt64(" 5000000000 "), 5000000000LL);
  EXPECT_EQ(Raised([] { StrToInt64("9223372036854775808"); }),
            "EConvertError: '9223372036854775808' is not a valid integer value");
  EXPECT_EQ(StrToInt64Def("x", 3), 3);
  EXPECT_EQ(IntToStr(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(IntToStr(4294967295u), "4294967295");
  EXPECT_EQ(IntToStr(DWORD(4000000000u)), "4000000000");
  EXPECT_EQ(IntToStr(int64_t(-5000000000LL)), "-5000000000");
  EXPECT_EQ(IntToStr(UINT64_MAX), "18446744073709551615");
  for (int v : {0, 1, -1, 9, 10, 99, 100, 2147483647, -2147483647 - 1, 123456789})
    EXPECT_EQ(StrToInt(IntToStr(v)), v);
}

TEST_F(WithDotSeparator, FloatToStrIsTheShortestOfFifteenDigits) {
  EXPECT_EQ(FloatToStr(0), "0");
  EXPECT_EQ(FloatToStr(0.1), "0.1");
  EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStr(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(FloatToStr(-1.5), "-1.5");
  EXPECT_EQ(FloatToStr(100), "100");
  EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(0.00001), "1E-5");
  EXPECT_EQ(FloatToStr(1.25e-10), "1.25E-10");
  EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
}

TEST_F(WithDotSeparator, StrToFloat) {
  EXPECT_EQ(StrToFloat("1.5"), 1.5);
  EXPECT_EQ(StrToFloat(" -2.25e2 "), -225.0);
  EXPECT_EQ(StrToFloat(".5"), 0.5);
  EXPECT_EQ(StrToFloat("5."), 5.0);
  EXPECT_EQ(StrToFloat("1E-3"), 0.001);
  for (const char* bad : {"", ".", "1,5", "1e", "e5", "abc", "1.5x", "1e999"})
    EXPECT_EQ(Raised([&] { StrToFloat(bad); }),
              std::string("EConvertError: '") + bad + "' is not a valid floating point value")
        << bad;
  DecimalSeparator = ',';
  EXPECT_EQ(StrToFloat("1,5"), 1.5);
  double v = 0;
  EXPECT_FALSE(TryStrToFloat("1.5", v));
  // Round trip through the text of FloatToStr.
  for (double x : {0.1, -123.456, 1e-7, 6.02214076e23, 0.5, 123456789012345.0})
    EXPECT_DOUBLE_EQ(StrToFloat(FloatToStr(x)), x) << x;
}

TEST(Round, TiesGoToTheEvenNeighbour) {
  EXPECT_EQ(Round(0.5), 0);
  EXPECT_EQ(Round(1.5), 2);
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(3.5), 4);
  EXPECT_EQ(Round(-0.5), 0);
  EXPECT_EQ(Round(-1.5), -2);
  EXPECT_EQ(Round(-2.5), -2);
  EXPECT_EQ(Round(2.4999999), 2);
  EXPECT_EQ(Round(2.5000001), 3);
  EXPECT_EQ(Round(-7.7), -8);
  EXPECT_EQ(Round(5000000000.5), 5000000000LL);
  EXPECT_EQ(MulDiv(10, 3, 4), 8);  // the Win32 MulDiv rounds
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

// --- strings ------------------------------------------------------------------

TEST(Trim, RemovesControlBytesAndBlanksOnly) {
  EXPECT_EQ(Trim(" \t\r\n\x01x y\x1F "), "x y");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim(AnsiString("\0a\0", 3)), "a");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // a no-break space is a character in 1251
  EXPECT_EQ(TrimLeft("  a  "), "a  ");
  EXPECT_EQ(TrimRight("  a  "), "  a");
}

TEST(Case, AsciiFunctionsLeaveCyrillicAlone) {
  EXPECT_EQ(UpperCase("abc XYZ 123 \xE0\xFF"), "ABC XYZ 123 \xE0\xFF");
  EXPECT_EQ(LowerCase("ABC xyz \xC0\xDF"), "abc xyz \xC0\xDF");
}

TEST(Case, AnsiFunctionsFollowCodePage1251) {
  // The Russian alphabet sits at 0xC0-0xDF (upper) and 0xE0-0xFF (lower);
  // Ё/ё at 0xA8/0xB8.
  std::string lower, upper;
  for (int c = 0xE0; c <= 0xFF; ++c) {
    lower.push_back(static_cast<char>(c));
    upper.push_back(static_cast<char>(c - 0x20));
  }
  lower += "\xB8 abc-1";
  upper += "\xA8 ABC-1";
  EXPECT_EQ(AnsiUpperCase(lower), upper);
  EXPECT_EQ(AnsiLowerCase(upper), lower);
  EXPECT_EQ(AnsiUpperCase(""), "");
  EXPECT_EQ(AnsiUpperCase(AnsiString("a\0b", 3)), AnsiString("A\0B", 3));
  // The same answer as Python's str.upper over the Cyrillic letters.
  std::string py;
  ASSERT_EQ(RunUnix("python3 -c \"import sys; s=bytes(range(0xC0,0x100)).decode('cp1251'); "
                    "sys.stdout.write((s.upper()+s.lower()).encode('cp1251').hex())\"",
                    &py),
            0);
  AnsiString cyrillic;
  for (int c = 0xC0; c <= 0xFF; ++c) cyrillic += static_cast<char>(c);
  std::string mine;
  char hx[3];
  AnsiString converted = AnsiUpperCase(cyrillic) + AnsiLowerCase(cyrillic);
  for (unsigned char c : converted.str()) {
    std::snprintf(hx, sizeof hx, "%02x", c);
    mine += hx;
  }
  EXPECT_EQ(mine, py);
}

TEST(Case, SharedTablesAt1251) {
  const unsigned char* upper = AnsiUpperTable();
  const unsigned char* lower = AnsiLowerTable();
  ASSERT_TRUE(AnsiCodePageIsSingleByte());
  // Latin, the Russian alphabet's ends, Ё and the other Cyrillic letters of 1251.
  const struct {
    unsigned char small, capital;
  } letters[] = {{'a', 'A'},   {'z', 'Z'},   {0xE0, 0xC0}, {0xFF, 0xDF}, {0xB8, 0xA8}, {0x90, 0x80},
                 {0x83, 0x81}, {0x9A, 0x8A}, {0xA2, 0xA1}, {0xBC, 0xA3}, {0xB4, 0xA5}, {0xBA, 0xAA},
                 {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD}, {0x9F, 0x8F}};
  for (const auto& l : letters) {
    EXPECT_EQ(upper[l.small], l.capital) << int(l.small);
    EXPECT_EQ(upper[l.capital], l.capital) << int(l.capital);
    EXPECT_EQ(lower[l.capital], l.small) << int(l.capital);
    EXPECT_EQ(lower[l.small], l.small) << int(l.small);
  }
  // Bytes without case: zero, ASCII signs and digits, no-break space, "№",
  // dash, guillemet, euro sign and the one byte 1251 leaves undefined.
  for (unsigned char b : {0x00, 0x20, 0x30, 0x39, 0x40, 0x5B, 0x60, 0x7B, 0x7F, 0xA0, 0xB9, 0x96, 0xAB, 0x88, 0x98}) {
    EXPECT_EQ(upper[b], b) << int(b);
    EXPECT_EQ(lower[b], b) << int(b);
  }
  // Every byte as the system cases it alone, and the text functions as the
  // tables.
  std::string all;
  for (int b = 0; b < 256; ++b) {
    char u = static_cast<char>(b), l = static_cast<char>(b);
    CharUpperBuffA(&u, 1);
    CharLowerBuffA(&l, 1);
    EXPECT_EQ(upper[b], static_cast<unsigned char>(u)) << b;
    EXPECT_EQ(lower[b], static_cast<unsigned char>(l)) << b;
    all += static_cast<char>(b);
  }
  std::string up = all, down = all;
  CharUpperBuffA(up.data(), 256);
  CharLowerBuffA(down.data(), 256);
  EXPECT_EQ(AnsiUpperCase(all).str(), up);
  EXPECT_EQ(AnsiLowerCase(all).str(), down);
  EXPECT_EQ(AnsiLowerBytes(all), down);
}

TEST(Compare, AsciiAndLocaleRules) {
  EXPECT_LT(CompareStr("a", "b"), 0);
  EXPECT_GT(CompareStr("b", "a"), 0);
  EXPECT_LT(CompareStr("a", "ab"), 0);
  EXPECT_EQ(CompareStr("", ""), 0);
  EXPECT_GT(CompareStr("a", "A"), 0);
  EXPECT_GT(CompareStr("\xE0", "z"), 0);  // bytes compare unsigned
  EXPECT_EQ(CompareText("Hello", "hELLO"), 0);
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  EXPECT_NE(CompareText("\xE0", "\xC0"), 0);  // а/А: ASCII rules only
  EXPECT_TRUE(SameText("ReadMe.TXT", "readme.txt"));
  EXPECT_FALSE(SameText("a", "a "));
  // "файл" and "ФАЙЛ".
  EXPECT_EQ(AnsiCompareText("\xF4\xE0\xE9\xEB", "\xD4\xC0\xC9\xCB"), 0);
  EXPECT_TRUE(AnsiSameText("\xF4\xE0\xE9\xEB", "\xD4\xC0\xC9\xCB"));
  EXPECT_NE(AnsiCompareStr("\xF4\xE0\xE9\xEB", "\xD4\xC0\xC9\xCB"), 0);
  // In the Russian collation а < б < в, whatever their bytes.
  EXPECT_LT(AnsiCompareText("\xE0", "\xE1"), 0);
  EXPECT_LT(AnsiCompareText("\xC5", "\xB8\xE0"), 0);  // Е before ё
  EXPECT_GT(AnsiCompareText("\xE1", "\xC0"), 0);
  EXPECT_TRUE(AnsiSameStr("x", "x"));
  EXPECT_FALSE(AnsiSameStr("x", "X"));
  EXPECT_EQ(AnsiPos("\xE9", "\xF4\xE0\xE9\xEB"), 3);
}

TEST(Quoting, QuotedStrAndExtractRoundTrip) {
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(QuotedStr(""), "''");
  EXPECT_EQ(AnsiQuotedStr("say \"hi\"", '"'), "\"say \"\"hi\"\"\"");
  for (const char* s : {"", "plain", "it's", "''", "a'b'c"}) {
    AnsiString q = QuotedStr(s);
    const char* p = q.c_str();
    EXPECT_EQ(AnsiExtractQuotedStr(p, '\''), s);
    EXPECT_EQ(*p, '\0');
  }
  const char* p = "'ab''c' rest";
  EXPECT_EQ(AnsiExtractQuotedStr(p, '\''), "ab'c");
  EXPECT_STREQ(p, " rest");
  const char* unterminated = "'abc";
  EXPECT_EQ(AnsiExtractQuotedStr(unterminated, '\''), "abc");
  const char* none = "abc";
  EXPECT_EQ(AnsiExtractQuotedStr(none, '\''), "");
  EXPECT_STREQ(none, "abc");
}

TEST(Strings, ReplaceRepeatAndLineBreaks) {
  EXPECT_EQ(StringReplace("a-b-c", "-", "+", true, false), "a+b+c");
  EXPECT_EQ(StringReplace("a-b-c", "-", "+", false, false), "a+b-c");
  EXPECT_EQ(StringReplace("aXbxc", "x", "", true, true), "abc");
  EXPECT_EQ(StringReplace("aaa", "a", "aa", true, false), "aaaaaa");
  EXPECT_EQ(StringReplace("abc", "", "x", true, false), "abc");
  // Case-insensitive in 1251: "ФАЙЛ" found in "файл.txt".
  EXPECT_EQ(StringReplace("\xF4\xE0\xE9\xEB.txt", "\xD4\xC0\xC9\xCB", "f", true, true), "f.txt");
  EXPECT_EQ(StringOfChar('*', 3), "***");
  EXPECT_EQ(StringOfChar('*', -1), "");
  EXPECT_EQ(AdjustLineBreaks("a\nb\rc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\n\r\ne");
}

// --- file names ----------------------------------------------------------------

// Each input of a one-argument string function gives its expected result (the
// input is named when it does not).
template <class F>
void ExpectEach(F function, std::initializer_list<std::pair<const char*, const char*>> cases) {
  for (const auto& [input, expected] : cases) EXPECT_EQ(function(input), expected) << "for \"" << input << '"';
}

TEST(FileNames, ExtensionStartsAtTheLastDotOfTheName) {
  ExpectEach(ExtractFileExt, {
      {"C:\\dir\\file.tar.gz", ".gz"},
      {"C:\\dir.x\\file", ""},
      {"file.", "."},
      {".bashrc", ".bashrc"},
      {"C:file.txt", ".txt"},
      {"C:.x", ".x"},
      {"a.b:c", ""},
      {"", ""},
      {"\xCF\xE0\xEF\xEA\xE0\\\xD4\xE0\xE9\xEB.\xF2\xF5\xF2", ".\xF2\xF5\xF2"},
  });
}

TEST(FileNames, NamePathDirDrive) {
  ExpectEach(ExtractFileName, {
      {"C:\\a\\b.txt", "b.txt"},
      {"C:b.txt", "b.txt"},
      {"b", "b"},
      {"C:\\a\\", ""},
      {"a/b", "a/b"},  // only '\' and ':' separate
  });

  ExpectEach(ExtractFilePath, {
      {"C:\\a\\b.txt", "C:\\a\\"},
      {"C:b", "C:"},
      {"b", ""},
      {"C:\\", "C:\\"},
  });

  ExpectEach(ExtractFileDir, {
      {"C:\\a\\b.txt", "C:\\a"},
      {"C:\\b.txt", "C:\\"},
      {"C:b", "C:"},
      {"\\\\srv\\share\\f", "\\\\srv\\share"},
      {"\\f", "\\"},
      {"f", ""},
      {"C:\\a\\\\b", "C:\\a\\\\"},  // a doubled separator keeps one
  });

  ExpectEach(ExtractFileDrive, {
      {"C:\\x", "C:"},
      {"\\\\srv\\share\\dir\\f", "\\\\srv\\share"},
      {"\\\\srv\\share", "\\\\srv\\share"},
      {"\\dir", ""},
      {"dir\\f", ""},
  });
}

TEST(FileNames, ChangeExtensionAndTrailingBackslash) {
  EXPECT_EQ(ChangeFileExt("a\\b.txt", ".dat"), "a\\b.dat");
  EXPECT_EQ(ChangeFileExt("a.x\\b", ".dat"), "a.x\\b.dat");
  EXPECT_EQ(ChangeFileExt("b.tar.gz", ""), "b.tar");
  EXPECT_EQ(ChangeFileExt("b", ""), "b");
  EXPECT_EQ(ChangeFileExt("list.vq", ".tmp"), "list.tmp");

  EXPECT_EQ(IncludeTrailingBackslash("C:\\a"), "C:\\a\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\a\\"), "C:\\a\\");
  EXPECT_EQ(IncludeTrailingBackslash(""), "\\");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\a\\"), "C:\\a");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\a\\\\"), "C:\\a\\");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\a"), "C:\\a");
  EXPECT_EQ(ExcludeTrailingBackslash(""), "");
  EXPECT_EQ(IncludeTrailingPathDelimiter("x"), "x\\");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("x\\"), "x");
}

// --- the file system -----------------------------------------------------------

TEST(FileSystem, ExistsCreateRenameDelete) {
  TempDir dir;
  AnsiString file = dir.File("\xD4\xE0\xE9\xEB.txt");  // "Файл.txt"
  EXPECT_FALSE(FileExists(file));
  WriteFileBytes(file.str(), "12345");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_TRUE(DirectoryExists(dir.Path()));
  EXPECT_FALSE(FileExists(dir.Path()));
  EXPECT_EQ(FileSizeOf(file), 5);
  EXPECT_EQ(FileSizeOf(dir.File("none")), -1);
  EXPECT_EQ(FileGetAttr(dir.File("none")), -1);
  EXPECT_NE(FileGetAttr(dir.Path()) & faDirectory, 0);

  AnsiString renamed = dir.File("renamed.txt");
  EXPECT_TRUE(RenameFile(file, renamed));
  EXPECT_FALSE(FileExists(file));
  EXPECT_EQ(ReadFileBytes(renamed.str()), "12345");
  EXPECT_FALSE(RenameFile(file, renamed));

  EXPECT_EQ(FileSetAttr(renamed, faReadOnly), 0);
  EXPECT_NE(FileGetAttr(renamed) & faReadOnly, 0);
  EXPECT_FALSE(DeleteFile(renamed));  // read-only
  EXPECT_EQ(FileSetAttr(renamed, 0), 0);
  EXPECT_TRUE(DeleteFile(renamed));
  EXPECT_FALSE(DeleteFile(renamed));
  EXPECT_FALSE(FileExists(renamed));

  AnsiString sub = dir.File("sub");
  EXPECT_TRUE(CreateDir(sub));
  EXPECT_FALSE(CreateDir(sub));
  EXPECT_TRUE(DirectoryExists(sub));
  EXPECT_TRUE(RemoveDir(sub));
  EXPECT_FALSE(RemoveDir(sub));
}

TEST(FileSystem, ForceDirectoriesMakesEveryLevel) {
  TempDir dir;
  AnsiString deep = dir.File("a\\\xCF\xE0\xEF\xEA\xE0\\c\\");  // "a\Папка\c\"
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(ExcludeTrailingBackslash(deep)));
  EXPECT_TRUE(ForceDirectories(deep));  // already there
  EXPECT_EQ(Raised([] { ForceDirectories(""); }), "EInOutError: Unable to create directory");
  // A file in the way cannot become a folder.
  WriteFileBytes(dir.File("file"), "x");
  EXPECT_FALSE(ForceDirectories(dir.File("file\\sub")));
}

TEST(FileSystem, CurrentDirectoryAndExpandFileName) {
  TempDir dir;
  AnsiString saved = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(dir.Path()));
  EXPECT_TRUE(SameText(ExcludeTrailingBackslash(GetCurrentDir()), dir.Path()));
  EXPECT_TRUE(SameText(ExpandFileName("x.txt"), dir.File("x.txt")));
  EXPECT_TRUE(SameText(ExpandFileName("sub\\..\\y"), dir.File("y")));
  EXPECT_EQ(ExpandFileName(""), "");
  EXPECT_FALSE(SetCurrentDir(dir.File("missing")));
  ASSERT_TRUE(SetCurrentDir(saved));
}

TEST(FileSystem, EnvironmentVariables) {
  ASSERT_TRUE(SetEnvironmentVariableA("FENNOLIT_TEST_VAR", "\xD4\xE0\xE9\xEB"));
  EXPECT_EQ(GetEnvironmentVariable("FENNOLIT_TEST_VAR"), "\xD4\xE0\xE9\xEB");
  std::string longValue(5000, 'v');
  ASSERT_TRUE(SetEnvironmentVariableA("FENNOLIT_TEST_VAR", longValue.c_str()));
  EXPECT_EQ(GetEnvironmentVariable("FENNOLIT_TEST_VAR"), longValue);
  SetEnvironmentVariableA("FENNOLIT_TEST_VAR", nullptr);
  EXPECT_EQ(GetEnvironmentVariable("FENNOLIT_TEST_VAR"), "");
}

void SetWriteTime(const std::string& path, const SYSTEMTIME& utc) {
  FILETIME ft;
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &ft));
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
  CloseHandle(h);
}

// Everything FindFirst/FindNext return for a pattern.
std::set<std::string> FindAll(const AnsiString& pattern, int attr) {
  std::set<std::string> names;
  TSearchRec rec;
  int r = FindFirst(pattern, attr, rec);
  while (r == 0) {
    names.insert(rec.Name.str());
    EXPECT_EQ(rec.Name, rec.FindData.cFileName);
    EXPECT_EQ(rec.Attr, static_cast<int>(rec.FindData.dwFileAttributes));
    r = FindNext(rec);
  }
  EXPECT_EQ(r, ERROR_NO_MORE_FILES);
  FindClose(rec);
  EXPECT_EQ(rec.FindHandle, INVALID_HANDLE_VALUE);
  return names;
}

TEST(FindFirst, SkipsWhatTheAttributesDoNotAskFor) {
  TempDir dir;
  WriteFileBytes(dir.File("a.txt"), "aaa");
  WriteFileBytes(dir.File("b.dat"), "");
  WriteFileBytes(dir.File("\xD4\xE0\xE9\xEB.txt"), "x");
  WriteFileBytes(dir.File(".hidden"), "h");
  ASSERT_TRUE(CreateDirectoryA(dir.File("sub").c_str(), nullptr));
  // The platform decides what is hidden (Wine hides dot-files); ask it.
  DWORD hiddenAttr = GetFileAttributesA(dir.File(".hidden").c_str());
  bool dotIsHidden = hiddenAttr != INVALID_FILE_ATTRIBUTES && (hiddenAttr & FILE_ATTRIBUTE_HIDDEN);
  AnsiString all = dir.File("*");

  std::set<std::string> plain = {"a.txt", "b.dat", "\xD4\xE0\xE9\xEB.txt"};
  if (!dotIsHidden) plain.insert(".hidden");
  EXPECT_EQ(FindAll(all, 0), plain);
  EXPECT_EQ(FindAll(all, faReadOnly | faArchive), plain);

  std::set<std::string> withDirs = plain;
  withDirs.insert({".", "..", "sub"});
  EXPECT_EQ(FindAll(all, faDirectory), withDirs);

  std::set<std::string> everything = withDirs;
  everything.insert(".hidden");
  EXPECT_EQ(FindAll(all, faAnyFile), everything);
  if (dotIsHidden) {
    plain.insert(".hidden");
    EXPECT_EQ(FindAll(all, faHidden), plain);
  }
  EXPECT_EQ(FindAll(dir.File("*.txt"), faAnyFile), (std::set<std::string>{"a.txt", "\xD4\xE0\xE9\xEB.txt"}));
}

TEST(FindFirst, FillsSizeTimeAndReportsErrors) {
  TempDir dir;
  std::string name = dir.File("f.bin");
  WriteFileBytes(name, std::string(1234, 'z'));
  SYSTEMTIME st = MakeSystemTime(2024, 12, 31, 9, 5, 8);
  SetWriteTime(name, st);

  TSearchRec rec;
  ASSERT_EQ(FindFirst(name, faAnyFile, rec), 0);
  EXPECT_EQ(rec.Name, "f.bin");
  EXPECT_EQ(rec.Size, 1234);
  // The local DOS time; the tests run with TZ=UTC, so local is UTC here.
  EXPECT_EQ(static_cast<uint32_t>(rec.Time), 0x599F48A4u);
  EXPECT_EQ(rec.Time, FileAge(name));
  EXPECT_EQ(rec.Time, DateTimeToFileDate(EncodeDate(2024, 12, 31) + EncodeTime(9, 5, 8, 0)));
  EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES);
  FindClose(rec);
  FindClose(rec);  // twice is harmless

  EXPECT_EQ(FileAge(dir.File("missing")), -1);
  EXPECT_EQ(FileAge(dir.Path()), -1);
  TSearchRec none;
  EXPECT_EQ(FindFirst(dir.File("*.none"), faAnyFile, none), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(none.FindHandle, INVALID_HANDLE_VALUE);
  EXPECT_NE(FindFirst(dir.File("missing\\*"), faAnyFile, none), 0);
  EXPECT_EQ(FindNext(none), ERROR_INVALID_HANDLE);
  // Only a folder matches, and folders are not asked for: nothing found, handle closed.
  ASSERT_TRUE(CreateDirectoryA(dir.File("onlydir").c_str(), nullptr));
  EXPECT_EQ(FindFirst(dir.File("onlydir"), 0, none), ERROR_NO_MORE_FILES);
  EXPECT_EQ(none.FindHandle, INVALID_HANDLE_VALUE);
}

TEST(FindFirst, SizesBeyondFourGigabytes) {
  TempDir dir;
  std::string name = dir.File("big.bin");
  HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = 5000000000LL;
  ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(h));  // sparse on the Unix side
  CloseHandle(h);
  TSearchRec rec;
  ASSERT_EQ(FindFirst(name, faAnyFile, rec), 0);
  EXPECT_EQ(rec.Size, 5000000000LL);
  FindClose(rec);
  EXPECT_EQ(FileSizeOf(name), 5000000000LL);
}

// --- dates ------------------------------------------------------------------------

TEST(Dates, EncodeDateCountsDaysFrom18991230) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1899, 12, 31), 1);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
  // The same day numbers from Python's calendar for dates across the range.
  std::vector<std::array<int, 3>> dates = {{1, 1, 1},     {1, 12, 31},   {100, 3, 1},   {1600, 2, 29},
                                           {1700, 3, 1},  {1752, 9, 14}, {1899, 12, 29}, {1900, 2, 28},
                                           {1900, 3, 1},  {1970, 1, 1},  {1980, 1, 1},  {2000, 2, 29},
                                           {2024, 12, 31}, {2038, 1, 19}, {2107, 12, 31}, {9999, 12, 31}};
  std::ostringstream script;
  script << "import datetime\nfor y,m,d in [";
  for (auto& d : dates) script << "(" << d[0] << "," << d[1] << "," << d[2] << "),";
  script << "]: print((datetime.date(y,m,d)-datetime.date(1899,12,30)).days)\n";
  TempDir dir;
  WriteFileBytes(dir.File("days.py"), script.str());
  std::string out;
  ASSERT_EQ(RunUnix("python3 '" + UnixPath(dir.File("days.py")) + "'", &out), 0);
  std::istringstream lines(out);
  for (auto& d : dates) {
    long expected = 0;
    lines >> expected;
    EXPECT_EQ(EncodeDate(d[0], d[1], d[2]), expected) << d[0] << "-" << d[1] << "-" << d[2];
  }
}

TEST(Dates, DecodeDateRoundTripsEveryDayOfTheRange) {
  int y = 1, m = 1, d = 1;
  int failures = 0;
  for (int day = -693593; day <= 2958465 && failures < 5; ++day) {
    int yy, mm, dd;
    DecodeDate(day, yy, mm, dd);
    if (yy != y || mm != m || dd != d) {
      ADD_FAILURE() << day << ": " << yy << "-" << mm << "-" << dd << " instead of " << y << "-" << m << "-" << d;
      ++failures;
    }
    // Next calendar day, counted independently of the code under test.
    static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (++d > len[m - 1] + (m == 2 && leap)) {
      d = 1;
      if (++m > 12) m = 1, ++y;
    }
  }
  EXPECT_EQ(failures, 0);
  // Outside the range: all zero.
  DecodeDate(-693594, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 0);
}

TEST(Dates, InvalidArgumentsRaise) {
  for (auto [y, m, d] : std::vector<std::array<int, 3>>{
           {2023, 2, 29}, {1900, 2, 29}, {0, 1, 1}, {10000, 1, 1}, {2024, 13, 1}, {2024, 0, 1}, {2024, 4, 31}, {2024, 1, 0}}) {
    EXPECT_EQ(Raised([&] { EncodeDate(y, m, d); }), "EConvertError: Invalid argument to date encode");
    TDateTime r = -5;
    EXPECT_FALSE(TryEncodeDate(y, m, d, r));
    EXPECT_EQ(r, -5);
  }
  EXPECT_EQ(EncodeDate(2024, 2, 29), EncodeDate(2024, 3, 1) - 1);
  EXPECT_EQ(EncodeDate(2000, 2, 29), EncodeDate(2000, 3, 1) - 1);
  for (auto [h, n, s, z] : std::vector<std::array<int, 4>>{
           {24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}, {0, -1, 0, 0}}) {
    EXPECT_EQ(Raised([&] { EncodeTime(h, n, s, z); }), "EConvertError: Invalid argument to time encode");
  }
}

TEST(Dates, TimesRoundTripToTheMillisecond) {
  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  for (int sec = 0; sec < 86400; sec += 7) {
    int ms = (sec * 37) % 1000;
    TDateTime t = EncodeTime(sec / 3600, sec / 60 % 60, sec % 60, ms);
    int h, n, s, z;
    DecodeTime(EncodeDate(2024, 7, 1) + t, h, n, s, z);
    ASSERT_EQ(((h * 60 + n) * 60 + s) * 1000 + z, sec * 1000 + ms) << sec;
  }
  int h, n, s, z, y, m, d;
  DecodeTime(EncodeTime(23, 59, 59, 999), h, n, s, z);
  EXPECT_EQ(h * 1000000 + n * 10000 + s * 100 + z / 10, 23595999);
  // Less than half a millisecond before midnight rounds into the next day.
  DecodeDate(EncodeDate(2024, 12, 31) + (86400000.0 - 0.4) / 86400000.0, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20250101);
  // Before 1899-12-30 the fraction still counts forward from midnight.
  DecodeDate(-1.25, y, m, d);
  DecodeTime(-1.25, h, n, s, z);
  EXPECT_EQ(y * 10000 + m * 100 + d, 18991229);
  EXPECT_EQ(h, 6);
}

TEST(Dates, SystemTimeConversions) {
  SYSTEMTIME st = MakeSystemTime(1815, 6, 18, 18, 30, 0);
  TDateTime dt = SystemTimeToDateTime(st);
  EXPECT_LT(dt, 0);
  SYSTEMTIME back{};
  DateTimeToSystemTime(dt, back);
  EXPECT_EQ(back.wYear, 1815);
  EXPECT_EQ(back.wMonth, 6);
  EXPECT_EQ(back.wDay, 18);
  EXPECT_EQ(back.wHour, 18);
  EXPECT_EQ(back.wMinute, 30);
  EXPECT_EQ(back.wDayOfWeek, 0);  // a Sunday
  // The platform agrees on the day of the week across many dates.
  for (int day = 0; day < 60000; day += 97) {
    SYSTEMTIME mine{}, check{};
    DateTimeToSystemTime(day, mine);
    FILETIME ft;
    SYSTEMTIME noDow = mine;
    noDow.wDayOfWeek = 0;
    ASSERT_TRUE(SystemTimeToFileTime(&noDow, &ft));
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &check));
    ASSERT_EQ(mine.wDayOfWeek, check.wDayOfWeek) << day;
  }
  EXPECT_EQ(Raised([] {
              SYSTEMTIME bad{};
              SystemTimeToDateTime(bad);
            }),
            "EConvertError: Invalid argument to date encode");
  TDateTime now = Now();
  EXPECT_EQ(std::floor(now), Date() + (Date() > std::floor(now) ? -1 : 0));  // unless midnight passed
  EXPECT_GE(Time(), 0.0);
  EXPECT_LT(Time(), 1.0);
}

TEST(Dates, FileDatesRoundTripAtEvenSeconds) {
  EXPECT_EQ(static_cast<uint32_t>(DateTimeToFileDate(EncodeDate(2024, 12, 31) + EncodeTime(9, 5, 8, 0))),
            0x599F48A4u);
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(2108, 1, 1)), 0);
  EXPECT_EQ(static_cast<uint32_t>(DateTimeToFileDate(EncodeDate(1980, 1, 1))), 0x00210000u);
  for (int day = static_cast<int>(EncodeDate(1980, 1, 1)); day <= EncodeDate(2107, 12, 31); day += 13) {
    int sec = (day * 7919) % 86400 & ~1;
    TDateTime dt = day + EncodeTime(sec / 3600, sec / 60 % 60, sec % 60, 0);
    int fd = DateTimeToFileDate(dt);
    ASSERT_NEAR(FileDateToDateTime(fd), dt, 1e-9) << day;
    // The platform's own DOS time of the same moment.
    SYSTEMTIME st;
    DateTimeToSystemTime(dt, st);
    FILETIME ft;
    WORD dosDate, dosTime;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    ASSERT_TRUE(FileTimeToDosDateTime(&ft, &dosDate, &dosTime));
    ASSERT_EQ(static_cast<uint32_t>(fd), (static_cast<uint32_t>(dosDate) << 16) | dosTime) << day;
  }
  // Odd seconds lose their last second.
  int fd = DateTimeToFileDate(EncodeDate(2000, 1, 1) + EncodeTime(0, 0, 59, 999));
  EXPECT_NEAR(FileDateToDateTime(fd), EncodeDate(2000, 1, 1) + EncodeTime(0, 0, 58, 0), 1e-9);
  EXPECT_EQ(Raised([] { FileDateToDateTime(0); }), "EConvertError: Invalid argument to date encode");
  EXPECT_EQ(Raised([] { FileDateToDateTime(0x00217FFF); }), "EConvertError: Invalid argument to time encode");
}

// --- locale and date texts --------------------------------------------------------------

std::string LocaleInfo(LCTYPE type) {
  char buf[256] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf);
  return buf;
}

TEST(Locale, PicturesTranslateToFormatLetters) {
  EXPECT_EQ(TranslateLocalePicture("dd.MM.yyyy", false, '.'), "dd/mm/yyyy");
  EXPECT_EQ(TranslateLocalePicture("M/d/yy", false, '/'), "m/d/yy");
  EXPECT_EQ(TranslateLocalePicture("yyyy-MM-dd", false, '-'), "yyyy/mm/dd");
  EXPECT_EQ(TranslateLocalePicture("d MMMM yyyy 'r.'", false, '.'), "d mmmm yyyy \"r.\"");
  EXPECT_EQ(TranslateLocalePicture("dd.MM.yyyy", false, '/'), "dd.mm.yyyy");
  EXPECT_EQ(TranslateLocalePicture("gg yyyy", false, '/'), " yyyy");
  EXPECT_EQ(TranslateLocalePicture("H:mm:ss", true, ':'), "h:nn:ss");
  EXPECT_EQ(TranslateLocalePicture("HH:mm:ss", true, ':'), "hh:nn:ss");
  EXPECT_EQ(TranslateLocalePicture("h:mm:ss tt", true, ':'), "h:nn:ss ampm");
  EXPECT_EQ(TranslateLocalePicture("HH.mm", true, '.'), "hh:nn");
  EXPECT_EQ(TranslateLocalePicture("H 'h' mm", true, ':'), "h \"h\" nn");
  EXPECT_EQ(TranslateLocalePicture("d''M", false, '/'), "d\"'\"m");
}

TEST(Locale, GlobalsComeFromTheUserLocale) {
  EXPECT_EQ(DateSeparator, LocaleInfo(LOCALE_SDATE)[0]);
  EXPECT_EQ(TimeSeparator, LocaleInfo(LOCALE_STIME)[0]);
  EXPECT_EQ(ShortDateFormat, TranslateLocalePicture(LocaleInfo(LOCALE_SSHORTDATE), false, DateSeparator));
  EXPECT_EQ(LongTimeFormat, TranslateLocalePicture(LocaleInfo(LOCALE_STIMEFORMAT), true, TimeSeparator));
  EXPECT_EQ(LongMonthNames[0], LocaleInfo(LOCALE_SMONTHNAME1));
  EXPECT_EQ(LongDayNames[0], LocaleInfo(LOCALE_SDAYNAME7));  // Sunday
  EXPECT_EQ(SysLocale.DefaultLCID, GetUserDefaultLCID());
  EXPECT_EQ(SysLocale.PriLangID, LANG_RUSSIAN);
  EXPECT_EQ(GetLocaleStr(LOCALE_USER_DEFAULT, 0xFFFFF, "fallback"), "fallback");
  EXPECT_EQ(GetLocaleChar(LOCALE_USER_DEFAULT, 0xFFFFF, '#'), '#');
  EXPECT_EQ(Win32Platform, VER_PLATFORM_WIN32_NT);
  EXPECT_GE(Win32MajorVersion, 5);
  EXPECT_GT(Win32BuildNumber, 0);
}

TEST(Locale, DateTimeToStrMatchesThePlatformFormatting) {
  // Windows' own formatting of the same moment with the user's short date and
  // time formats is the reference.
  for (auto [y, mo, d, h, mi, s] : std::vector<std::array<int, 6>>{
           {2024, 12, 31, 9, 5, 7}, {1999, 1, 2, 23, 59, 59}, {2000, 2, 29, 0, 0, 0}, {1980, 10, 10, 12, 0, 1}}) {
    SYSTEMTIME st = MakeSystemTime(y, mo, d, h, mi, s);
    char date[64], time[64];
    ASSERT_GT(GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date), 0);
    ASSERT_GT(GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, sizeof time), 0);
    TDateTime dt = SystemTimeToDateTime(st);
    EXPECT_EQ(DateTimeToStr(dt), std::string(date) + " " + time);
    EXPECT_EQ(DateToStr(dt), date);
    EXPECT_EQ(TimeToStr(dt), time);
    TDateTime parsed = -1;
    ASSERT_TRUE(TryStrToDateTime(DateTimeToStr(dt), parsed)) << DateTimeToStr(dt).str();
    EXPECT_NEAR(parsed, dt, 1e-9);
  }
}

// Sets the date and time settings for a test and puts the user's back after it.
class WithDateSettings : public ::testing::Test {
protected:
  void SetUp() override {
    FDate = DateSeparator;
    FTime = TimeSeparator;
    FShortDate = ShortDateFormat;
    FLongTime = LongTimeFormat;
    FShortTime = ShortTimeFormat;
    DateSeparator = '.';
    TimeSeparator = ':';
    ShortDateFormat = "dd/mm/yyyy";
    LongTimeFormat = "hh:nn:ss";
    ShortTimeFormat = "hh:nn";
  }
  void TearDown() override {
    DateSeparator = FDate;
    TimeSeparator = FTime;
    ShortDateFormat = FShortDate;
    LongTimeFormat = FLongTime;
    ShortTimeFormat = FShortTime;
  }

private:
  char FDate = 0, FTime = 0;
  AnsiString FShortDate, FLongTime, FShortTime;
};

TEST_F(WithDateSettings, FormatDateTimeLetters) {
  TDateTime dt = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 45);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", dt), "2024-03-05 14:07:09.045");
  EXPECT_EQ(FormatDateTime("d/m/yy", dt), "5.3.24");
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy", dt), "05.03.2024");
  EXPECT_EQ(FormatDateTime("DD/MM/YYYY", dt), "05.03.2024");
  EXPECT_EQ(FormatDateTime("h:mm", dt), "14:07");  // m right after h means minutes
  EXPECT_EQ(FormatDateTime("h:m:s z", dt), "14:7:9 45");
  EXPECT_EQ(FormatDateTime("hh:nn am/pm", dt), "02:07 pm");
  EXPECT_EQ(FormatDateTime("H:NN AM/PM", dt), "2:07 PM");
  EXPECT_EQ(FormatDateTime("h a/p", dt), "2 p");
  EXPECT_EQ(FormatDateTime("h ampm", dt), "2 " + TimePMString.str());
  EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(0, 5, 0, 0)), "12:05 am");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(12, 0, 0, 0)), "12:00 pm");
  EXPECT_EQ(FormatDateTime("'yyyy' yyyy \"mm\" mm", dt), "yyyy 2024 mm 03");
  EXPECT_EQ(FormatDateTime("yy|yyyy", EncodeDate(33, 1, 1)), "33|0033");
  EXPECT_EQ(FormatDateTime("yy", EncodeDate(2005, 1, 1)), "05");
  EXPECT_EQ(FormatDateTime("mmm|mmmm", dt), ShortMonthNames[2] + "|" + LongMonthNames[2]);
  EXPECT_EQ(FormatDateTime("ddd|dddd", dt), ShortDayNames[2] + "|" + LongDayNames[2]);  // a Tuesday
  EXPECT_EQ(ShortMonthNames[2], LocaleInfo(LOCALE_SABBREVMONTHNAME3));
  EXPECT_EQ(LongDayNames[2], LocaleInfo(LOCALE_SDAYNAME2));
  EXPECT_EQ(FormatDateTime("ddddd", dt), "05.03.2024");
  EXPECT_EQ(FormatDateTime("tt|t", dt), "14:07:09|14:07");
  EXPECT_EQ(FormatDateTime("c", dt), "05.03.2024 14:07:09");
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2024, 3, 5)), "05.03.2024");  // no time at midnight
  EXPECT_EQ(FormatDateTime("", dt), "05.03.2024 14:07:09");
  EXPECT_EQ(FormatDateTime("x# [hh]", dt), "x# [14]");
  // DateTimeToStr always writes the time, midnight included.
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5)), "05.03.2024 00:00:00");
  EXPECT_EQ(DateTimeToStr(dt), "05.03.2024 14:07:09");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 12, 31) + EncodeTime(19, 5, 7, 0)).Length(), 19);
}

TEST_F(WithDateSettings, TextToDatesAndTimes) {
  auto date = [](const char* s) {
    TDateTime dt = -1e9;
    return TryStrToDate(s, dt) ? dt : -1e9;
  };
  auto time = [](const char* s) {
    TDateTime dt = -1e9;
    return TryStrToTime(s, dt) ? dt : -1e9;
  };
  EXPECT_EQ(date("31.12.2024"), EncodeDate(2024, 12, 31));
  EXPECT_EQ(date(" 1.2.2024 "), EncodeDate(2024, 2, 1));
  EXPECT_EQ(date("31.12.24"), EncodeDate(2024, 12, 31));
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_EQ(date("31.12"), EncodeDate(now.wYear, 12, 31));
  for (const char* bad : {"", "abc", "29.02.2023", "32.01.2024", "31-12-2024", "1.2.3.4", "31.12.2024 x", "."})
    EXPECT_EQ(date(bad), -1e9) << bad;
  ShortDateFormat = "m/d/yyyy";
  DateSeparator = '/';
  EXPECT_EQ(date("12/31/2024"), EncodeDate(2024, 12, 31));
  ShortDateFormat = "yyyy/mm/dd";
  DateSeparator = '-';
  EXPECT_EQ(date("2024-12-31"), EncodeDate(2024, 12, 31));

  EXPECT_EQ(time("9:05:07"), EncodeTime(9, 5, 7, 0));
  EXPECT_EQ(time("23:59"), EncodeTime(23, 59, 0, 0));
  EXPECT_EQ(time("9:05 PM"), EncodeTime(21, 5, 0, 0));
  EXPECT_EQ(time("12:00 am"), EncodeTime(0, 0, 0, 0));
  EXPECT_EQ(time("9:05:07.250"), EncodeTime(9, 5, 7, 250));
  for (const char* bad : {"", "25:00", "9:60", "13:00 PM", "9:", "x", "9:05:07 y"}) EXPECT_EQ(time(bad), -1e9) << bad;

  DateSeparator = '.';
  ShortDateFormat = "dd/mm/yyyy";
  TDateTime dt = 0;
  ASSERT_TRUE(TryStrToDateTime("31.12.2024 09:05:07", dt));
  EXPECT_NEAR(dt, EncodeDate(2024, 12, 31) + EncodeTime(9, 5, 7, 0), 1e-9);
  ASSERT_TRUE(TryStrToDateTime("31.12.2024", dt));
  EXPECT_EQ(dt, EncodeDate(2024, 12, 31));
  ASSERT_TRUE(TryStrToDateTime("10:30", dt));
  EXPECT_EQ(dt, EncodeTime(10, 30, 0, 0));
  EXPECT_FALSE(TryStrToDateTime("31.12.2024 25:00", dt));
  EXPECT_FALSE(TryStrToDateTime("31.12.2024 10:00 x", dt));
}

// --- OS errors, resources, command line -------------------------------------------------

TEST(OSErrors, MessagesAndRaising) {
  AnsiString text = SysErrorMessage(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(text.IsEmpty());
  char last = text[text.Length()];
  EXPECT_TRUE(last != '.' && last != '\r' && last != '\n' && last != ' ') << text.str();
  char raw[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND, 0, raw,
                 sizeof raw, nullptr);
  EXPECT_EQ(std::string(raw).find(text.str()), 0u);
  EXPECT_EQ(SysErrorMessage(0x7FFFFFF0), "");

  try {
    RaiseLastOSError(ERROR_FILE_NOT_FOUND);
    ADD_FAILURE() << "nothing raised";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), 2u);
    EXPECT_EQ(e.Message(), "System Error.  Code: 2.\r\n" + text);
  }
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(Raised([] { RaiseLastOSError(); }),
            "EOSError: System Error.  Code: 5.\r\n" + SysErrorMessage(ERROR_ACCESS_DENIED).str());
  EXPECT_EQ(Raised([] { RaiseLastOSError(0); }), "EOSError: A call to an OS function failed");
  EXPECT_TRUE(Win32Check(TRUE));
  SetLastError(ERROR_INVALID_HANDLE);
  try {
    Win32Check(FALSE);
    ADD_FAILURE() << "nothing raised";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  // A failing call really leaves its code behind.
  EXPECT_EQ(Raised([] { Win32Check(DeleteFileA("Z:\\no\\such\\file.txt")); }).substr(0, 30),
            "EOSError: System Error.  Code:");
}

BOOL CALLBACK FirstStringBlock(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
  *reinterpret_cast<UINT*>(found) = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name));
  return FALSE;
}

TEST(Resources, LoadResStringReadsAStringTable) {
  // user32 carries string tables; take an existing string of its first block.
  HINSTANCE user32 = GetModuleHandleA("user32.dll");
  ASSERT_NE(user32, nullptr);
  UINT block = 0;
  EnumResourceNamesA(user32, MAKEINTRESOURCEA(6) /* RT_STRING */, &FirstStringBlock, reinterpret_cast<LONG_PTR>(&block));
  ASSERT_GT(block, 0u);
  UINT id = 0;
  const wchar_t* wide = nullptr;
  int len = 0;
  for (UINT i = (block - 1) * 16; i < block * 16 && !len; ++i) {
    len = LoadStringW(user32, i, reinterpret_cast<LPWSTR>(&wide), 0);
    id = i;
  }
  ASSERT_GT(len, 0);
  TResStringRec rec{&user32, id};
  EXPECT_EQ(LoadResString(&rec), WideToAnsi(WideString(wide, len)));
  EXPECT_EQ(FindResourceHInstance(user32), user32);
  // The test program has no string table.
  TResStringRec missing{&HInstance, 1};
  EXPECT_EQ(LoadResString(&missing), "");
  EXPECT_EQ(LoadResString(nullptr), "");
}

TEST(CommandLine, SplitsLikeTheShell) {
  // The shell's CommandLineToArgvW is the reference.
  for (const char* line : {"a.exe", "a.exe x", "a.exe  x   y  ", "\"C:\\Program Files\\a.exe\" \"\" x",
                           "a.exe \"y z\" a\\\\\"b\" c\\\"d", "a.exe \"e\"\"f\" g\"\"h", "a.exe \"\"\"x\"\"\"",
                           "a.exe a\\\\\\\\\"b c\" d", "a.exe x\\y\\ \"q\\\\\"", "a.exe \t tab\targs",
                           "a.exe \"unterminated arg", "\"C:\\a b\\c.exe\"x y", "a.exe \xD4\xE0\xE9\xEB \"\xEF\xE0 \xEF\xEA\"",
                           "a.exe \"\"\"\" \"\"\"\"\"\" x\"\"\"\"y"}) {
    std::vector<AnsiString> mine = SplitCommandLine(line);
    int n = 0;
    WideString wide = AnsiString(line);
    LPWSTR* argv = CommandLineToArgvW(wide.c_bstr(), &n);
    ASSERT_NE(argv, nullptr);
    std::vector<AnsiString> theirs;
    for (int i = 0; i < n; ++i) theirs.push_back(WideToAnsi(WideString(argv[i])));
    LocalFree(argv);
    EXPECT_EQ(mine, theirs) << line;
  }
}

TEST(CommandLine, ParamStrOfThisProcess) {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  EXPECT_EQ(ParamStr(0), module);
  int n = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &n);
  ASSERT_NE(argv, nullptr);
  EXPECT_EQ(ParamCount(), n - 1);
  for (int i = 1; i < n; ++i) EXPECT_EQ(ParamStr(i), WideToAnsi(WideString(argv[i])));
  LocalFree(argv);
  EXPECT_EQ(ParamStr(ParamCount() + 1), "");
  EXPECT_EQ(ParamStr(-1), "");
}

// --- scopes ----------------------------------------------------------------------------

TEST(Scopes, ScopedValuePutsBackWhatTheVariableHeld) {
  bool flag = false;
  {
    TScopedValue<bool> set(flag, true);
    EXPECT_TRUE(flag);
  }
  EXPECT_FALSE(flag);
  // Nested: each level gets back its own value; an exception unwinds them all.
  int depth = 1;
  try {
    TScopedValue<int> outer(depth, 2);
    TScopedValue<int> inner(depth, 3);
    EXPECT_EQ(depth, 3);
    throw Exception("unwinding");
  } catch (const Exception&) {
  }
  EXPECT_EQ(depth, 1);
}

}  // namespace
