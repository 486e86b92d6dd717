#include <gtest/gtest.h>

#include <string>

#include "UcWideStrUtils.h"
#include "WideTestUtil.h"

TEST(CharBuffers, AllocationCarriesItsSize) {
  wchar_t* p = WStrAlloc(10);
  EXPECT_EQ(WStrBufSize(p), 10u);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(p)[-1], 24u);  // 10 * 2 + 4 bytes
  WStrDispose(p);
  wchar_t* empty = WStrNew(L"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(WStrBufSize(empty), 1u);
  EXPECT_EQ(empty[0], L'\0');
  WStrDispose(empty);
  EXPECT_EQ(WStrNew(nullptr), nullptr);
  WStrDispose(nullptr);
  wchar_t* copy = WStrNew(L"\x0416uk");
  EXPECT_STREQ(copy, L"\x0416uk");
  EXPECT_EQ(WStrBufSize(copy), 4u);
  WStrDispose(copy);
}

TEST(CharBuffers, CopyingAlwaysTerminates) {
  wchar_t buf[16];
  std::fill(buf, buf + 16, L'X');
  WStrLCopy(buf, L"abc", 0);
  EXPECT_EQ(buf[0], L'\0');
  EXPECT_EQ(buf[1], L'X');
  WStrLCopy(buf, L"abcdef", 3);
  EXPECT_STREQ(buf, L"abc");
  WStrLCopy(buf, L"ab", 10);
  EXPECT_STREQ(buf, L"ab");
  WStrPCopy(buf, WideString(L"x\0y", 3));  // stops at an embedded NUL
  EXPECT_STREQ(buf, L"x");
  WStrPLCopy(buf, L"hello", 2);
  EXPECT_STREQ(buf, L"he");
  EXPECT_EQ(WStrECopy(buf, L"abc"), buf + 3);
  WStrCopy(buf, L"ab");
  WStrCat(buf, L"cd");
  EXPECT_STREQ(buf, L"abcd");
  WStrLCat(buf, L"efgh", 6);  // room for two more
  EXPECT_STREQ(buf, L"abcdef");
  WStrLCat(buf, L"zz", 3);    // already longer than the limit: nothing
  EXPECT_STREQ(buf, L"abcdef");
  WStrMove(buf + 1, buf, 3);  // overlapping
  EXPECT_STREQ(buf, L"aabcef");
  EXPECT_EQ(WStrLen(buf), 6u);
  EXPECT_EQ(WStrEnd(buf), buf + 6);
  EXPECT_EQ(WStrPas(buf), WideString(L"aabcef"));
}

TEST(CharBuffers, Scanning) {
  const wchar_t* s = L"abcabc";
  EXPECT_EQ(WStrScan(s, L'b'), s + 1);
  EXPECT_EQ(WStrRScan(s, L'b'), s + 4);
  EXPECT_EQ(WStrScan(s, L'z'), nullptr);
  EXPECT_EQ(WStrScan(s, L'\0'), s + 6);
  EXPECT_EQ(WStrRScan(s, L'\0'), s + 6);
  EXPECT_EQ(WStrPos(s, L"ca"), s + 2);
  EXPECT_EQ(WStrPos(s, L"cb"), nullptr);
  EXPECT_EQ(WStrPos(s, L""), nullptr);
  EXPECT_EQ(WStrPos(nullptr, L"a"), nullptr);
  EXPECT_EQ(Uc_WStrPos(s, L"bc"), s + 1);
  WideString w(L"xyz");
  EXPECT_EQ(WideLastChar(w), w.c_bstr() + 2);
  EXPECT_EQ(WideLastChar(WideString()), nullptr);
}

TEST(CharBuffers, ComparisonOnBothRoads) {
  EXPECT_EQ(WStrComp(L"abc", L"abc"), 0);
  EXPECT_EQ(WStrIComp(L"abc", L"ABC"), 0);
  EXPECT_EQ(WStrComp(L"abc", L"abd"), -1);
  EXPECT_EQ(WStrLComp(L"abcX", L"abcY", 3), 0);
  EXPECT_EQ(WStrLIComp(L"ABcX", L"abCY", 3), 0);
  EXPECT_EQ(WStrLIComp(L"ab", L"abc", 3), -1);
  EXPECT_EQ(Uc_WStrComp(L"b", L"a"), 1);
  // Case-sensitive order differs by road: linguistic on the wide one, by code
  // unit on the narrow one.
  EXPECT_EQ(WStrComp(L"a", L"B"), -1);
  NarrowPlatform narrow;
  EXPECT_EQ(WStrComp(L"a", L"B"), 1);
  EXPECT_EQ(WStrIComp(L"a", L"B"), -1);
}

TEST(CharBuffers, UpperAndLowerInPlace) {
  wchar_t s[] = L"ab\x0436";
  EXPECT_EQ(WStrUpper(s), s);
  EXPECT_STREQ(s, L"AB\x0416");
  WStrLower(s);
  EXPECT_STREQ(s, L"ab\x0436");
}

TEST(QuotedStrings, QuoteAndExtract) {
  EXPECT_EQ(WideQuotedStr(L"it's", L'\''), WideString(L"'it''s'"));
  EXPECT_EQ(WideQuotedStr(L"", L'"'), WideString(L"\"\""));
  const wchar_t* text = L"'it''s' rest";
  const wchar_t* p = text;
  EXPECT_EQ(WideExtractQuotedStr(p, L'\''), WideString(L"it's"));
  EXPECT_EQ(p, text + 7);
  const wchar_t* open = L"'abc";
  p = open;
  EXPECT_EQ(WideExtractQuotedStr(p, L'\''), WideString(L"ab"));  // no closing quote
  EXPECT_EQ(*p, L'\0');
  const wchar_t* one = L"'a";
  p = one;
  EXPECT_EQ(WideExtractQuotedStr(p, L'\''), WideString());
  const wchar_t* none = L"abc";
  p = none;
  EXPECT_EQ(WideExtractQuotedStr(p, L'\''), WideString());
  EXPECT_EQ(p, none);
  EXPECT_EQ(WideDequotedStr(L"plain", L'"'), WideString(L"plain"));
  EXPECT_EQ(WideDequotedStr(L"\"q\"\"x\"", L'"'), WideString(L"q\"x"));
  EXPECT_EQ(WideDequotedStr(L"\"\"", L'"'), WideString(L"\"\""));
}

TEST(SearchBuffer, DownUpAndWholeWords) {
  std::wstring text = L"foo bar foobar";
  wchar_t* buf = text.data();
  const int len = static_cast<int>(text.size());
  const TStringSeachOptions down = SeachOptions({soDown});
  EXPECT_EQ(SearchBuf(buf, len, 0, 0, L"bar", down), buf + 4);
  EXPECT_EQ(SearchBuf(buf, len, 4, 3, L"bar", down), buf + 11);
  EXPECT_EQ(SearchBuf(buf, len, 4, 3, L"bar", SeachOptions({soDown, soWholeWord})), nullptr);
  EXPECT_EQ(SearchBuf(buf, len, 14, 0, L"bar", 0), buf + 11);
  EXPECT_EQ(SearchBuf(buf, len, 11, 3, L"bar", 0), buf + 4);
  EXPECT_EQ(SearchBuf(buf, len, 10, 0, L"bar", SeachOptions({soWholeWord})), buf + 4);
  EXPECT_EQ(SearchBuf(buf, len, 0, 0, L"BAR", down), buf + 4);
  EXPECT_EQ(SearchBuf(buf, len, 0, 0, L"BAR", SeachOptions({soDown, soMatchCase})), nullptr);
  EXPECT_EQ(SearchBuf(buf, len, 14, 0, L"x", down), nullptr);  // a selection at the end
  EXPECT_EQ(SearchBuf(buf, 0, 0, 0, L"foo", down), nullptr);
  EXPECT_EQ(SearchBuf(buf, len, 20, 0, L"foo", down), nullptr);
  EXPECT_EQ(text, L"foo bar foobar");  // the caller's buffer is not upper-cased
  std::wstring cyr = L"\x0416\x0423\x041A \x0436\x0443\x043A";
  EXPECT_EQ(SearchBuf(cyr.data(), static_cast<int>(cyr.size()), 1, 0, L"\x0436\x0443\x043A", down),
            cyr.data() + 4);
  // Latin-1 letters count as delimiters; characters above U+00FF never do.
  std::wstring cafe = L"caf\x00E9 x";
  EXPECT_EQ(SearchBuf(cafe.data(), 6, 0, 0, L"caf", SeachOptions({soDown, soWholeWord})), cafe.data());
}

TEST(ReplaceSelection, SendsTheWideText) {
  HWND edit = CreateWindowExW(0, L"EDIT", L"abcdef", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  SendMessageW(edit, EM_SETSEL, 1, 3);
  Uc_ReplaceSelection(edit, L"\x0416\x4E2D");
  wchar_t text[32];
  GetWindowTextW(edit, text, 32);
  EXPECT_STREQ(text, L"a\x0416\x4E2D" L"def");
  DestroyWindow(edit);
}
