#include <gtest/gtest.h>

#include <string>

#include "UcFormatStrUtils.h"
#include "WideTestUtil.h"

namespace {
std::string SpecError(const WideString& a, const WideString& b) {
  try {
    CompareFormatStrings(a, b);
  } catch (const EFormatSpecError& e) {
    return e.Message().str();
  }
  return "(none)";
}
}  // namespace

TEST(FormatStrings, CanonicalForm) {
  EXPECT_EQ(GetCanonicalFormatStr(L"%d %s"), WideString(L"%0:d %1:s"));
  EXPECT_EQ(GetCanonicalFormatStr(L"%s"), WideString(L"%s"));
  EXPECT_EQ(GetCanonicalFormatStr(L"%1:s %0:d"), WideString(L"%1:s %0:d"));
  EXPECT_EQ(GetCanonicalFormatStr(L"%1:s %s"), WideString(L"%1:s %2:s"));
  EXPECT_EQ(GetCanonicalFormatStr(L"no specifiers"), WideString(L"no specifiers"));
  EXPECT_EQ(GetCanonicalFormatStr(L"100%% %-5.2f and % x"), WideString(L"100%% %-5.2f and % x"));
  EXPECT_EQ(GetCanonicalFormatStr(L"%*d %s"), WideString(L"%0:*d %2:s"));  // '*' takes an argument
  EXPECT_EQ(GetCanonicalFormatStr(L"\x0416 %d, %s!"), WideString(L"\x0416 %0:d, %1:s!"));
}

TEST(FormatStrings, InvalidSpecifiers) {
  try {
    GetCanonicalFormatStr(L"ok %q tail");
    FAIL();
  } catch (const EFormatSpecError& e) {
    EXPECT_EQ(e.Message(), AnsiString("Invalid Format Specifier: %0:q tail"));
  }
  EXPECT_THROW(GetCanonicalFormatStr(L"%1234567d"), EFormatSpecError);  // seven digits
  EXPECT_THROW(GetCanonicalFormatStr(L"end %"), EFormatSpecError);
  EXPECT_NO_THROW(GetCanonicalFormatStr(L"%123456:d"));
  EXPECT_TRUE((std::is_base_of_v<EUcGeneralError, EFormatSpecError>));
}

TEST(FormatStrings, CompatibleArguments) {
  EXPECT_EQ(SpecError(L"%d", L"%s"), "Argument types for index 0 do not match. (%0:d <> %0:s)");
  EXPECT_EQ(SpecError(L"%d", L"%d %d"),
            "Number of format specifiers do not match.\r\n\r\n> %d\r\n> %d %d");
  EXPECT_EQ(SpecError(L"%d %s", L"%1:s %0:x"), "(none)");
  EXPECT_EQ(SpecError(L"%.2f", L"%g"), "(none)");
  EXPECT_EQ(SpecError(L"%0:d %0:s", L"%d"), "Argument types for index 0 do not match. (%0:d <> %0:s)");
  EXPECT_TRUE(FormatStringsAreCompatible(L"%s of %d", L"%1:d: %0:s"));
  EXPECT_FALSE(FormatStringsAreCompatible(L"%s", L"%d"));
  EXPECT_FALSE(FormatStringsAreCompatible(L"%s", L"%s %s"));
  EXPECT_FALSE(FormatStringsAreCompatible(L"%p", L"%x"));
}

TEST(FormatStrings, FloatsAreFormattedAhead) {
  std::vector<TVarRec> args = {WideString(L"x"), 2.5, 7};
  WideString expected = WideString(L"%0:s ") + AnsiToWide(Format("%.2f", {2.5})) + L" %2:d";
  EXPECT_EQ(ReplaceFloatingArgumentsInFormatString(L"%s %.2f %d", args), expected);
  EXPECT_EQ(ReplaceFloatingArgumentsInFormatString(L"%%", {}), WideString(L"%%"));
  std::vector<TVarRec> one = {1.25};
  EXPECT_EQ(Uc_WideFormat(L"[%8.3f]", one), WideString(AnsiToWide(Format("[%8.3f]", {1.25}))));
}
