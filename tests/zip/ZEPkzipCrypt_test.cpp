// The traditional PKWARE cipher against key values and cipher bytes worked out
// independently of the engine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ZEPkzipCrypt.h"
#include "ZipTestUtil.h"

namespace {

struct KeyCase {
  std::string Password;
  uint32_t Key0, Key1, Key2;
  uint8_t FirstStreamByte;
};

TEST(PkzipCrypt, SeedingFromThePassword) {
  const KeyCase cases[] = {
      {"", 0x12345678, 0x23456789, 0x34567890, 0xAB},  // empty: the initial keys
      {"a", 0x64799C96, 0xB303049C, 0xA253270A, 0x33},
      {"secret", 0xDDA9E469, 0x96212999, 0xF9FC9651, 0xC8},
      {"\xCF\xE0\xF0\xEE\xEB\xFC", 0xD438B98C, 0x320E9BCD, 0x845831ED, 0x2B},  // bytes above 127
  };
  for (const KeyCase& c : cases) {
    TZipKeys k;
    ZipEncryptKeyInit(AnsiString(c.Password), k);
    EXPECT_EQ(k.Key0, c.Key0) << c.Password;
    EXPECT_EQ(k.Key1, c.Key1) << c.Password;
    EXPECT_EQ(k.Key2, c.Key2) << c.Password;
    EXPECT_EQ(ZipDecryptByte(k), c.FirstStreamByte) << c.Password;
  }
}

TEST(PkzipCrypt, EncryptsToKnownBytesAndBack) {
  // Twelve zero header bytes, then the data, all under "secret".
  const std::string plain = std::string(12, '\0') + "Hello, world";
  const uint8_t expected[] = {0xc8, 0x89, 0xc9, 0x5b, 0xb4, 0xde, 0xac, 0x0e, 0x5a, 0x9d, 0x7e, 0x61,
                              0x43, 0x1a, 0x73, 0xbf, 0x94, 0x9f, 0xf7, 0x80, 0x95, 0x09, 0x7b, 0xb2};
  std::string buf = plain;
  TZipKeys k;
  ZipEncryptKeyInit("secret", k);
  // In two calls, the second from an offset: the keys run on.
  ZipEncryptBuffer(12, 0, reinterpret_cast<uint8_t*>(buf.data()), k);
  ZipEncryptBuffer(12, 12, reinterpret_cast<uint8_t*>(buf.data()), k);
  ASSERT_EQ(buf.size(), sizeof expected);
  EXPECT_EQ(std::memcmp(buf.data(), expected, sizeof expected), 0);

  TZipKeys d;
  ZipKeyInit("secret", d, reinterpret_cast<uint8_t*>(buf.data()));
  EXPECT_EQ(buf.substr(0, 12), std::string(12, '\0'));
  ZipDecryptBuffer(reinterpret_cast<uint8_t*>(buf.data() + 12), 12, d);
  EXPECT_EQ(buf.substr(12), "Hello, world");
}

TEST(PkzipCrypt, CountZeroChangesNothing) {
  TZipKeys k;
  ZipEncryptKeyInit("pw", k);
  const TZipKeys before = k;
  uint8_t b[1] = {0x5A};
  ZipEncryptBuffer(0, 0, b, k);
  ZipDecryptBuffer(b, 0, k);
  EXPECT_EQ(b[0], 0x5A);
  EXPECT_EQ(k.Key0, before.Key0);
  EXPECT_EQ(k.Key1, before.Key1);
  EXPECT_EQ(k.Key2, before.Key2);
}

TEST(PkzipCrypt, CheckByteComesFromTheTimeWithADescriptorElseFromTheCrc) {
  struct Case {
    uint16_t Flags;
    uint16_t Time;
    uint32_t Crc;
    uint8_t Check;  // header byte 11 as written
    bool Expected;
  };
  const Case cases[] = {
      {0, 0x1234, 0xAB000000, 0xAB, true},
      {0, 0xAB00, 0x12000000, 0xAB, false},
      {8, 0xAB00, 0x12000000, 0xAB, true},
      {8, 0x1234, 0xAB000000, 0xAB, false},
  };
  for (const Case& c : cases) {
    uint8_t header[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, c.Check};
    TZipKeys k;
    ZipEncryptKeyInit("pw", k);
    ZipEncryptBuffer(12, 0, header, k);
    TMemoryStream m;
    m.WriteBuffer(header, 12);
    m.SetPosition(0);
    TZipKeys r;
    EXPECT_EQ(ZipInitPassword(&m, "pw", c.Flags, c.Time, c.Crc, r), c.Expected) << c.Flags << " " << c.Time;
  }
  TMemoryStream cut;  // a header cut short is no match
  cut.WriteBuffer("abc", 3);
  cut.SetPosition(0);
  TZipKeys r;
  EXPECT_FALSE(ZipInitPassword(&cut, "pw", 0, 0, 0, r));
}

}  // namespace
