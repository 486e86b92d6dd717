// The wildcard matcher and the item mask rules built on it.
#include <gtest/gtest.h>

#include "ZEMasks.h"
#include "ZipTestUtil.h"

namespace {

bool M(const wchar_t* s, const wchar_t* p, bool ic = true) { return WIsStrMatchPattern(s, p, ic); }

TEST(WIsStrMatchPattern, EdgeCasesOfTheWalk) {
  EXPECT_TRUE(M(L"", L"*.*"));
  EXPECT_TRUE(M(L"anything", L"*.*"));
  EXPECT_TRUE(M(L"", L"*"));
  EXPECT_TRUE(M(L"", L""));
  EXPECT_FALSE(M(L"", L"?"));
  EXPECT_FALSE(M(L"a", L"a*.*"));
  EXPECT_TRUE(M(L"abc", L"*c"));
  EXPECT_TRUE(M(L"c", L"*c"));
  EXPECT_TRUE(M(L"a", L"a*"));
  EXPECT_TRUE(M(L"abc", L"a*"));
  EXPECT_TRUE(M(L"sub/a.txt", L"*"));
  EXPECT_TRUE(M(L"abc", L"a?c"));
  EXPECT_TRUE(M(L"aXc", L"a?c"));
  EXPECT_FALSE(M(L"ac", L"a?c"));
  EXPECT_FALSE(M(L"abcd", L"abc"));
  // A '*' before the end never matches an empty rest.
  EXPECT_FALSE(M(L"a", L"a**"));
  EXPECT_FALSE(M(L"", L"**"));
}

TEST(WIsStrMatchPattern, CaseFoldsLatinAndCyrillicOnlyWhenAsked) {
  EXPECT_TRUE(M(L"DATA.BIN", L"data.*"));
  EXPECT_FALSE(M(L"DATA.BIN", L"data.*", false));
  EXPECT_TRUE(M(L"ДИСК.vq", L"диск.*"));
  EXPECT_FALSE(M(L"ДИСК.vq", L"диск.*", false));
}

TEST(WIsStrMatchPattern, ManyStarsStayCheap) {
  // A hostile pattern against a long name: decided quickly, and correctly.
  std::wstring name(400, L'a');
  EXPECT_FALSE(M(name.c_str(), L"*a*a*a*a*a*a*a*a*a*a*a*a*b"));
  name += L'b';
  EXPECT_TRUE(M(name.c_str(), L"*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(IsInternalFileMatchMask, StarDotStarAndTrailingDot) {
  EXPECT_FALSE(IsInternalFileMatchMask(L"a", L""));
  EXPECT_TRUE(IsInternalFileMatchMask(L"readme", L"*.*"));
  EXPECT_TRUE(IsInternalFileMatchMask(L"readme", L"readme."));
  EXPECT_FALSE(IsInternalFileMatchMask(L"readme.txt", L"readme."));
  EXPECT_TRUE(IsInternalFileMatchMask(L"r", L"*."));
  EXPECT_FALSE(IsInternalFileMatchMask(L"r.txt", L"*."));
  EXPECT_TRUE(IsInternalFileMatchMask(L"data.bin", L"DATA*"));
  // Only the first "*.*" is read as "*".
  EXPECT_TRUE(IsInternalFileMatchMask(L"ab.c", L"*.*b.c"));
  EXPECT_TRUE(IsInternalFileMatchMask(L"ax.c", L"*.*x.*"));
  EXPECT_FALSE(IsInternalFileMatchMask(L"ab.c", L"*.*x.*"));
}

TEST(CheckAttributesMatch, HiddenSystemVolumeAndFolderNeedAsking) {
  EXPECT_TRUE(CheckAttributesMatch(0x21, 0));
  EXPECT_FALSE(CheckAttributesMatch(0x10, 0x2F));
  EXPECT_TRUE(CheckAttributesMatch(0x10, 0x10));
  EXPECT_FALSE(CheckAttributesMatch(0x12, 0x10));
  EXPECT_TRUE(CheckAttributesMatch(0x1E, 63));
}

}  // namespace
