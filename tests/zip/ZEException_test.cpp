// The numbered errors: table, message build, number padding and arguments.
#include <gtest/gtest.h>

#include "ZipTestUtil.h"

namespace {

struct NamedOwner : TComponent {
  explicit NamedOwner(const char* name) : TComponent(nullptr) {
    if (*name) SetName(name);
  }
};

TEST(ZEException, MessageIsTextNativeErrorAndPaddedNumber) {
  EXPECT_EQ(EZEException(0, nullptr).WideMessage(), WideString(L"Unknown error - Native error: 00000"));
  EZEException outside(100, nullptr);
  EXPECT_EQ(outside.ErrorCode(), 0);
  EXPECT_EQ(outside.NativeError(), 100);
  EXPECT_EQ(outside.WideMessage(), WideString(L"Unknown error - Native error: 00100"));
  EXPECT_EQ(EZEException(-1, nullptr).WideMessage(), WideString(L"Unknown error - Native error: 000-1"));
  EXPECT_EQ(EZEException(123456, nullptr).WideMessage(), WideString(L"Unknown error - Native error: 123456"));
  EXPECT_EQ(EZEException(63, nullptr).ErrorCode(), 0);
}

TEST(ZEException, OwnerNamePrefixesTheText) {
  NamedOwner zip("ZipEngine"), anonymous("");
  EXPECT_EQ(EZEException(13, &zip).WideMessage(), WideString(L"ZipEngine: Archive is not open - Native error: 00013"));
  EXPECT_EQ(EZEException(13, &anonymous).WideMessage(), WideString(L"Archive is not open - Native error: 00013"));
  EXPECT_EQ(AnsiString(EZEException(13, &zip).Message()), "ZipEngine: Archive is not open - Native error: 00013");
}

TEST(ZEException, ArgumentsFillThePlaceholders) {
  NamedOwner zip("ZipEngine");
  EXPECT_EQ(EZEException(12, {WideString(L"C:\\a.vq")}, &zip).WideMessage(),
            WideString(L"ZipEngine: File \"C:\\a.vq\" not found - Native error: 00012"));
  // Without arguments the placeholder stays.
  EXPECT_EQ(EZEException(12, &zip).WideMessage(), WideString(L"ZipEngine: File \"%s\" not found - Native error: 00012"));
  EXPECT_EQ(EZEException(61, {WideString(L"x")}, nullptr).WideMessage(),
            WideString(L"File name is too long: \r\n\"x\" - Native error: 00061"));
  const long long big = 5000000000LL;
  EXPECT_EQ(EZEException(34, {big, 3LL}, nullptr).WideMessage(),
            WideString(L"Invalid compressed size, rfs.size = 5000000000, count = 3 - Native error: 00034"));
  // A surplus argument is ignored; a wrong one raises the format error.
  EXPECT_EQ(EZEException(28, {WideString(L"f")}, nullptr).ErrorCode(), 15);
  EXPECT_THROW(EZEException(12, {5}, nullptr), EConvertError);
  EXPECT_THROW(EZEException(34, {1}, nullptr), EConvertError);
}

TEST(ZEException, NativeNumbersMapToTheirErrorCodes) {
  const int expected[63] = {0,  1,  1,  1,  1,  2,  3,  1,  4,  5,  5,  6,  6,  7,  7,  6,  1,  8,  6,  9,  10,
                            1,  11, 9,  1,  11, 13, 14, 15, 5,  6,  6,  16, 12, 17, 18, 19, 20, 6,  21, 22, 23,
                            6,  23, 24, 24, 25, 26, 27, 28, 29, 30, 31, 6,  6,  32, 33, 27, 34, 34, 35, 36, 37};
  for (int n = 0; n < 63; ++n) EXPECT_EQ(EZEException(n, nullptr).ErrorCode(), expected[n]) << n;
  EXPECT_EQ(WideString(ZEErrorMessages[20]),
            WideString(L"Archive is open. You should close it beore performing this operation."));
  for (int i = 38; i < 41; ++i) EXPECT_EQ(WideString(ZEErrorMessages[i]), WideString());
}

TEST(ZEException, ZlibChecks) {
  EXPECT_EQ(CCheck(0), 0);
  EXPECT_EQ(CCheck(1), 1);
  EXPECT_EQ(DCheck(2), 2);
  try {
    CCheck(-2);
    FAIL();
  } catch (const ECompressionError& e) {
    EXPECT_EQ(AnsiString(e.Message()), "error");
  }
  try {
    DCheck(-3);
    FAIL();
  } catch (const EDecompressionError& e) {
    EXPECT_EQ(AnsiString(e.Message()), "error");
  }
}

}  // namespace
