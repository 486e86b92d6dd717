// Every other test relies on the code pages the Russian locale gives Wine.
#include <gtest/gtest.h>

#include <windows.h>

TEST(Platform, AnsiCodePageIs1251) {
  EXPECT_EQ(GetACP(), 1251u) << "Run the tests with LC_ALL=ru_RU.UTF-8 and generate that locale "
                                "(locale-gen; tools/setup does it): Wine takes the ANSI code page from it.";
  EXPECT_EQ(GetOEMCP(), 866u) << "Run the tests with LC_ALL=ru_RU.UTF-8 (OEM code page 866).";
}

TEST(Platform, CyrillicSurvivesTheAnsiCodePage) {
  const wchar_t wide[] = L"\x0424\x0430\x0439\x043B";  // "Файл"
  char ansi[16] = {};
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, wide, 4, ansi, sizeof ansi, nullptr, &lossy);
  ASSERT_EQ(n, 4);
  EXPECT_FALSE(lossy);
  EXPECT_EQ(static_cast<unsigned char>(ansi[0]), 0xD4u);
}

TEST(Platform, TimeZoneIsUtc) {
  TIME_ZONE_INFORMATION tz;
  GetTimeZoneInformation(&tz);
  EXPECT_EQ(tz.Bias, 0) << "Run the tests with TZ=UTC.";
}
