#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "UcCodePages.h"
#include "UcSysUtils.h"
#include "WideTestUtil.h"

namespace {

// The system's own UTF-8 conversion, as the peer of ours.
std::string SystemUtf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string a(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), a.data(), n, nullptr, nullptr);
  return a;
}

std::wstring SystemFromUtf7(const std::string& a) {
  int n = MultiByteToWideChar(CP_UTF7, 0, a.data(), static_cast<int>(a.size()), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF7, 0, a.data(), static_cast<int>(a.size()), w.data(), n);
  return w;
}

}  // namespace

TEST(Utf8, VectorsOfOneToFourBytes) {
  EXPECT_EQ(WideStringToUTF8(L"\x00E9").str(), Bytes("C3 A9"));
  EXPECT_EQ(WideStringToUTF8(L"\x20AC").str(), Bytes("E2 82 AC"));
  EXPECT_EQ(WideStringToUTF8(L"A").str(), "A");
  // U+1F600 as one four-byte sequence, and back to its surrogate pair.
  EXPECT_EQ(WideStringToUTF8(L"\xD83D\xDE00").str(), Bytes("F0 9F 98 80"));
  EXPECT_EQ(UTF8ToWideString(AnsiString(Bytes("F0 9F 98 80"))), WideString(L"\xD83D\xDE00"));
  EXPECT_EQ(UTF8ToWideString(AnsiString(Bytes("C3 A9 E2 82 AC"))), WideString(L"\x00E9\x20AC"));
  EXPECT_EQ(UTF8ToWideString(AnsiString()), WideString());
  EXPECT_EQ(WideStringToUTF8(WideString()), AnsiString());
}

TEST(Utf8, MalformedInputGivesEmptyText) {
  EXPECT_EQ(UTF8ToWideString(AnsiString(Bytes("C3 41"))), WideString());           // bad trailing byte
  EXPECT_EQ(UTF8ToWideString(AnsiString(Bytes("41 E2 82"))), WideString());        // cut off
  EXPECT_EQ(UTF8ToWideString(AnsiString(Bytes("F0 9F 98"))), WideString());        // cut four-byte
  EXPECT_EQ(UTF8ToWideString(AnsiString(Bytes("F4 90 80 80"))), WideString());     // beyond U+10FFFF
  EXPECT_EQ(UTF8ToWideString(AnsiString(Bytes("F0 8F BF BF"))), WideString());     // overlong
}

TEST(Utf8, LoneSurrogatesTravelAsThreeByteSequences) {
  // Not valid UTF-8 for other readers, but ours reads them back unchanged.
  EXPECT_EQ(WideStringToUTF8(L"\xD83D").str(), Bytes("ED A0 BD"));
  EXPECT_EQ(UTF8ToWideString(AnsiString(Bytes("ED A0 BD ED B8 80"))), WideString(L"\xD83D\xDE00"));
  WideString lone(L"a\xDC00" L"b\xD800");
  EXPECT_EQ(UTF8ToWideString(WideStringToUTF8(lone)), lone);
}

TEST(Utf8, WholeUnicodeRangeAgreesWithTheSystemBothWays) {
  std::wstring all;
  for (unsigned cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp < 0x10000) {
      all += static_cast<wchar_t>(cp);
    } else {
      all += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
      all += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  AnsiString ours = WideStringToUTF8(WideString(all));
  ASSERT_EQ(ours.str(), SystemUtf8(all));
  EXPECT_EQ(UTF8ToWideString(ours).str(), all);
  EXPECT_EQ(StringToWideStringEx(WideStringToStringEx(WideString(all), 65001), 65001).str(), all);
}

TEST(Utf7, EncodingVectors) {
  EXPECT_EQ(WideStringToUTF7(L"A+B"), AnsiString("A+-B"));
  EXPECT_EQ(WideStringToUTF7(L"\x00E9"), AnsiString("+AOk"));
  EXPECT_EQ(WideStringToUTF7(L"\x00E9" L"a"), AnsiString("+AOk-a"));  // 'a' would read as base64
  EXPECT_EQ(WideStringToUTF7(L"\x00E9."), AnsiString("+AOk."));
  EXPECT_EQ(WideStringToUTF7(L"\x00E9-"), AnsiString("+AOk--"));
  EXPECT_EQ(WideStringToUTF7(L"~"), AnsiString("+AH4"));
  EXPECT_EQ(WideStringToUTF7(L"\\"), AnsiString("+AFw"));
  EXPECT_EQ(WideStringToUTF7(L"\x65E5\x672C\x8A9E"), AnsiString("+ZeVnLIqe"));
  // Optional direct characters and white space stay as they are.
  EXPECT_EQ(WideStringToUTF7(L"!\"#$%&*;<=>@[]^_`{|} \t\r\n"), AnsiString("!\"#$%&*;<=>@[]^_`{|} \t\r\n"));
  EXPECT_EQ(WideStringToUTF7(WideString()), AnsiString());
}

TEST(Utf7, DecodingVectorsAndErrors) {
  EXPECT_EQ(UTF7ToWideString("+ZeVnLIqe-"), WideString(L"\x65E5\x672C\x8A9E"));
  EXPECT_EQ(UTF7ToWideString("+ZeVnLIqe"), WideString(L"\x65E5\x672C\x8A9E"));
  EXPECT_EQ(UTF7ToWideString("+-"), WideString(L"+"));
  EXPECT_EQ(UTF7ToWideString("+AOk."), WideString(L"\x00E9."));
  EXPECT_EQ(UTF7ToWideString(AnsiString()), WideString());
  EXPECT_THROW(UTF7ToWideString("+!"), EUcGeneralError);
  EXPECT_THROW(UTF7ToWideString("+AOl"), EUcGeneralError);  // leftover bits not zero
  EXPECT_THROW(UTF7ToWideString("a+"), EUcGeneralError);    // a run with nothing in it
  EXPECT_THROW(UTF7ToWideString("+A-"), EUcGeneralError);   // too short for one character
  try {
    UTF7ToWideString("x\xC0y");
    FAIL() << "a byte above 0x7F is invalid";
  } catch (const EUcGeneralError& e) {
    EXPECT_EQ(e.Message(), AnsiString("Invalid UTF7"));
  }
}

TEST(Utf7, EveryBmpCharacterDecodesBackAndTheSystemReadsIt) {
  std::wstring all;
  for (unsigned c = 1; c < 0x10000; ++c) all += static_cast<wchar_t>(c);
  AnsiString encoded = WideStringToUTF7(WideString(all));
  EXPECT_EQ(UTF7ToWideString(encoded).str(), all);
  EXPECT_EQ(SystemFromUtf7(encoded.str()), all);
  // Mixed runs: direct text between shifted ones.
  WideString mixed(L"a\x0416-b+c\x00E9\x00E9 d~e\\f\x4E2D");
  EXPECT_EQ(UTF7ToWideString(WideStringToUTF7(mixed)), mixed);
  EXPECT_EQ(SystemFromUtf7(WideStringToUTF7(mixed).str()), mixed.str());
  EXPECT_EQ(StringToWideStringEx(WideStringToStringEx(mixed, 65000), 65000), mixed);
}

TEST(Ucs2, RawBytesBothWays) {
  EXPECT_EQ(WideStringToUCS2(L"A\x0416").str(), Bytes("41 00 16 04"));
  EXPECT_EQ(UCS2ToWideString(AnsiString(Bytes("41 00 16 04 99"))), WideString(L"A\x0416"));  // odd byte dropped
  wchar_t text[] = L"\x1234\x00FF";
  StrSwapByteOrder(text);
  EXPECT_EQ(text[0], L'\x3412');
  EXPECT_EQ(text[1], L'\xFF00');
  EXPECT_EQ(text[2], L'\0');
}

TEST(ConversionsAcp, EveryByteOfTheCodePageRoundTrips) {
  const UINT acp = GetACP();
  int mapped = 0;
  for (int b = 1; b < 256; ++b) {
    AnsiString a(std::string(1, static_cast<char>(b)));
    WideString w = StringToWideStringEx(a, DefaultSystemCodePage());
    ASSERT_EQ(w.Length(), 1) << b;
    // The system's table for the code page is the peer.
    wchar_t expected = 0;
    char byte = static_cast<char>(b);
    MultiByteToWideChar(acp, 0, &byte, 1, &expected, 1);
    EXPECT_EQ(w[1], expected) << b;
    if (IsWideCharMappableToAnsi(w[1])) {
      ++mapped;
      EXPECT_EQ(WideStringToStringEx(w, 0), a) << b;
    }
  }
  EXPECT_GE(mapped, 250);
}

TEST(ConversionsAcp, CyrillicByCodePage) {
  WideString zhe(L"\x0416");
  if (GetACP() == 1251) {
    EXPECT_EQ(WideStringToStringEx(zhe, 0).str(), Bytes("C6"));
    EXPECT_EQ(StringToWideStringEx(AnsiString(Bytes("C6")), 0), zhe);
  } else if (GetACP() == 1252) {
    EXPECT_EQ(WideStringToStringEx(zhe, 0), AnsiString("?"));
    EXPECT_EQ(StringToWideStringEx(AnsiString(Bytes("C6")), 0), WideString(L"\x00C6"));
  } else {
    ADD_FAILURE() << "the ANSI code page is " << GetACP() << ", neither of the two the tests run under (1251, 1252)";
  }
  // A numbered code page is the system's whatever the ANSI one is.
  EXPECT_EQ(StringToWideStringEx(AnsiString(Bytes("C6")), 1251), zhe);
  EXPECT_EQ(WideStringToStringEx(zhe, 866).str(), Bytes("86"));
}

TEST(ConversionsAcp, Cp1251AgreesWithPythonsCodec) {
  if (GetACP() != 1251) GTEST_SKIP() << "needs the ANSI code page 1251";
  std::string out;
  ASSERT_EQ(RunUnix("python3 -c \"import sys; sys.stdout.write(''.join('%04X' % ord(bytes([b]).decode('cp1251', "
                    "'replace')) for b in range(1, 256)))\"",
                    &out),
            0);
  ASSERT_EQ(out.size(), 255u * 4);
  for (int b = 1; b < 256; ++b) {
    unsigned expected = std::stoul(out.substr((b - 1) * 4, 4), nullptr, 16);
    if (expected == 0xFFFD) continue;  // 0x98 has no character
    WideString w = StringToWideStringEx(AnsiString(std::string(1, static_cast<char>(b))), 0);
    EXPECT_EQ(static_cast<unsigned>(w[1]), expected) << b;
    EXPECT_EQ(WideStringToStringEx(w, 0).str(), std::string(1, static_cast<char>(b))) << b;
  }
}

TEST(ConversionsAcp, LocalesAndKeys) {
  EXPECT_EQ(LCIDToCodePage(0x0419), 1251u);
  EXPECT_EQ(LCIDToCodePage(0x0409), 1252u);
  EXPECT_EQ(CharSetToCodePage(RUSSIAN_CHARSET), 1251u);
  EXPECT_EQ(CharSetToCodePage(ANSI_CHARSET), 1252u);
  EXPECT_EQ(KeyUnicode(0x1234), L'\x1234');
  EXPECT_EQ(KeyUnicode('A'), L'A');
  if (KeyboardCodePage() == 1251) {
    EXPECT_EQ(KeyUnicode(0xC0), L'\x0410');
  } else if (KeyboardCodePage() == 1252) {
    EXPECT_EQ(KeyUnicode(0xC0), L'\x00C0');
  } else {
    ADD_FAILURE() << "the keyboard's code page is " << KeyboardCodePage() << ", neither 1251 nor 1252";
  }
}

TEST(CommandLine, QuotesAndEmptyArguments) {
  const wchar_t* line = L"\"C:\\Program Files\\app.exe\" \"x y\" z";
  EXPECT_EQ(WideParamStrOf(line, 0), WideString(L"C:\\Program Files\\app.exe"));
  EXPECT_EQ(WideParamStrOf(line, 1), WideString(L"x y"));
  EXPECT_EQ(WideParamStrOf(line, 2), WideString(L"z"));
  EXPECT_EQ(WideParamStrOf(line, 3), WideString());
  EXPECT_EQ(WideParamCountOf(line), 2);
  // "" is skipped as an empty argument.
  EXPECT_EQ(WideParamStrOf(L"prog \"\" x", 1), WideString(L"x"));
  EXPECT_EQ(WideParamCountOf(L"prog \"\" x"), 1);
  // A quoted part inside an argument; no backslash escapes.
  EXPECT_EQ(WideParamStrOf(L"prog a\"b c\"d \\\"e", 1), WideString(L"ab cd"));
  EXPECT_EQ(WideParamStrOf(L"prog a\"b c\"d \\\"e", 2), WideString(L"\\e"));
  EXPECT_EQ(WideParamCountOf(L"prog"), 0);
  EXPECT_EQ(WideParamCountOf(L"  prog\t a  b "), 2);
}

TEST(CommandLine, IndexZeroIsTheModuleFileName) {
  wchar_t name[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, name, MAX_PATH * 2);
  EXPECT_EQ(WideParamStr(0), WideString(name, static_cast<int>(n)));
  // The arguments this program was really started with (no empty ones: the
  // test runs pass none), as the shell's own parser splits them.
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  ASSERT_NE(argv, nullptr);
  EXPECT_EQ(WideParamCount(), argc - 1);
  for (int i = 1; i < argc; ++i) EXPECT_EQ(WideParamStr(i), WideString(argv[i])) << i;
  LocalFree(argv);
}

TEST(Platform, FlagsFollowTheReportedVersion) {
  EXPECT_EQ(Win32PlatformIsUnicode, Win32Platform == VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(Win32PlatformIsXP, Win32MajorVersion > 5 || (Win32MajorVersion == 5 && Win32MinorVersion >= 1));
  EXPECT_EQ(Win32PlatformIsVista, Win32MajorVersion >= 6);
  if (Win32PlatformIsVista) { EXPECT_TRUE(Win32PlatformIs2003 && Win32PlatformIsXP); }
  EXPECT_EQ(DefaultSystemCodePage(), 0u);
}

namespace {
bool HookAnswer(const TResStringRec* rec, WideString& value) {
  if (rec && rec->Identifier == 4242) {
    value = L"hooked";
    return true;
  }
  return false;
}
}  // namespace

TEST(ResourceStrings, PointersHooksAndTables) {
  EXPECT_EQ(WideLoadResString(nullptr), WideString());
  static const char utf8Text[] = "\xEF\xBB\xBF\xD0\x96uk";
  TResStringRec utf8{&HInstance, static_cast<UINT>(reinterpret_cast<UINT_PTR>(utf8Text))};
  EXPECT_EQ(WideLoadResString(&utf8), WideString(L"\x0416uk"));
  static const char ansiText[] = "plain";
  TResStringRec ansi{&HInstance, static_cast<UINT>(reinterpret_cast<UINT_PTR>(ansiText))};
  EXPECT_EQ(WideLoadResString(&ansi), WideString(L"plain"));
  TResStringRec hooked{&HInstance, 4242};
  WideCustomLoadResString = &HookAnswer;
  EXPECT_EQ(WideLoadResString(&hooked), WideString(L"hooked"));
  WideCustomLoadResString = nullptr;
  // The test program's string table (data/widestrings.rc).
  TResStringRec table{&HInstance, 101};
  EXPECT_EQ(WideLoadResString(&table), WideString(L"First \x0416 string"));
  TResStringRec missing{&HInstance, 4242};
  EXPECT_EQ(WideLoadResString(&missing), WideString());
}
