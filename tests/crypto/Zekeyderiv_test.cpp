// PBKDF2 over HMAC-SHA-1 and the key generator object.
#include "Zekeyderiv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>

#include "Zepb_kdf.h"
#include "Zesha1.h"
#include "crypto_test_util.h"

namespace {

std::string Kdf2(const std::string& pw, const std::string& salt, int c, int outLen) {
  std::string out(outLen, '\0');
  EXPECT_EQ(kdf2(&SHA1_Desc, pw.data(), static_cast<uint16_t>(pw.size()), salt.data(),
                 static_cast<uint16_t>(salt.size()), c, out.data(), static_cast<uint16_t>(outLen)),
            0);
  return Hex(out);
}

std::string KeyBytes(TPBKDF2& k, int count) {
  uint8_t* key = nullptr;
  k.GetKeyBytes(count, key);
  std::string s = Hex(key, count);
  delete[] key;
  return s;
}

}  // namespace

// RFC 6070 (all but the 16777216-round case).
TEST(Pbkdf2, Rfc6070) {
  EXPECT_EQ(Kdf2("password", "salt", 1, 20), "0c60c80f961f0e71f3a9b524af6012062fe037a6");
  EXPECT_EQ(Kdf2("password", "salt", 2, 20), "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
  EXPECT_EQ(Kdf2("password", "salt", 4096, 20), "4b007901b765489abead49d926f721d065a429c1");
  EXPECT_EQ(Kdf2("passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25),
            "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");
  EXPECT_EQ(Kdf2(std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16), "56fa6aa75548099dcc37d7f03425e0c3");
}

TEST(Pbkdf2, ResultCodesAndEdges) {
  char out[40];
  std::memset(out, 0x5A, sizeof out);
  EXPECT_EQ(kdf2(nullptr, "pw", 2, "s", 1, 1, out, 20), kdf_err_nil_pointer);
  THashDesc noDigest = SHA1_Desc;
  noDigest.DigestLen = 0;
  EXPECT_EQ(kdf2(&noDigest, "pw", 2, "s", 1, 1, out, 20), kdf_err_digestlen);
  EXPECT_EQ(Hex(out, 20), "5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a");
  // No output asked for: one block is computed, nothing written.
  EXPECT_EQ(kdf2(&SHA1_Desc, "pw", 2, "s", 1, 1, out, 0), 0);
  EXPECT_EQ(static_cast<uint8_t>(out[0]), 0x5A);
  // No iterations: zero bytes.
  EXPECT_EQ(Kdf2("password", "salt", 0, 34), std::string(68, '0'));
  EXPECT_EQ(Kdf2("password", "salt", -5, 20), std::string(40, '0'));
  // 34 bytes = 20 of block 1 and the first 14 of block 2.
  EXPECT_EQ(Kdf2("password", "salt", 2, 34).substr(0, 40), Kdf2("password", "salt", 2, 20));
  EXPECT_EQ(Kdf2("password", "salt", 2, 34).substr(40), Kdf2("password", "salt", 2, 40).substr(40, 28));

  std::string a(34, '\0'), b(34, '\0');
  EXPECT_EQ(kdf2s(&SHA1_Desc, "password", "\0\1\2\3\4\5\6\7", 8, 1000, a.data(), 34), 0);
  EXPECT_EQ(PBKDF2("password", 8, "\0\1\2\3\4\5\6\7", 8, 1000, b.data(), 34), 0);
  // The shape of the archive engine's AES-128 items: key | HMAC key | check value.
  EXPECT_EQ(Hex(a), "b033c030bc2241260787f3ad66df63e4e9f49c09b04ace866167c5508f834166b51c");
  EXPECT_EQ(a, b);
}

TEST(TPBKDF2, GivenSaltDerivesAndCopies) {
  const uint8_t salt[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  TPBKDF2 k("password", salt, 8, 1000);
  EXPECT_EQ(k.IterationCount(), 1000);
  EXPECT_EQ(KeyBytes(k, 34), "b033c030bc2241260787f3ad66df63e4e9f49c09b04ace866167c5508f834166b51c");
  uint8_t* copy = k.GetSaltValue();
  EXPECT_EQ(Hex(copy, 8), "0001020304050607");
  copy[0] = 0xEE;  // a copy: the object's salt stays
  delete[] copy;
  EXPECT_EQ(KeyBytes(k, 34), "b033c030bc2241260787f3ad66df63e4e9f49c09b04ace866167c5508f834166b51c");
  k.Initialize();
  k.Reset();
  EXPECT_EQ(KeyBytes(k, 20), "b033c030bc2241260787f3ad66df63e4e9f49c09");
}

// Salts come from the system's cryptographic generator over all 256 values,
// so two objects made at once never share one.
TEST(TPBKDF2, RandomSaltsDifferAndUseTheWholeByteRange) {
  TPBKDF2 a("password", 16, 1000), b("password", 16, 1000);
  std::unique_ptr<uint8_t[]> sa(a.GetSaltValue()), sb(b.GetSaltValue());
  EXPECT_NE(Hex(sa.get(), 16), Hex(sb.get(), 16));
  EXPECT_NE(KeyBytes(a, 34), KeyBytes(b, 34));
  TPBKDF2 big("pw", 8192, 1);
  std::unique_ptr<uint8_t[]> s(big.GetSaltValue());
  std::set<uint8_t> seen(s.get(), s.get() + 8192);
  EXPECT_EQ(seen.size(), 256u);
  // Reading the salt back and deriving with it gives the same key.
  TPBKDF2 again("password", sa.get(), 16, 1000);
  EXPECT_EQ(KeyBytes(again, 34), KeyBytes(a, 34));
}

// Lengths beyond 16 bits are derived in full (values from Python's hashlib).
TEST(TPBKDF2, LongPasswordsAndLongOutputs) {
  TPBKDF2 longPw(AnsiString(std::string(70000, 'p')), "salt", 4, 2);
  EXPECT_EQ(KeyBytes(longPw, 20), "60d9c35f393b6ef29c6f363dda6352c35ce0ec56");
  TPBKDF2 k("pw", "salt", 4, 1);
  uint8_t* key = nullptr;
  k.GetKeyBytes(70000, key);
  TSHA1Digest d;
  SHA1FullXL(d, key, 70000);
  EXPECT_EQ(Hex(d, 20), "3b97d972b01ba437ca07ffbbd38250ea487b8c82");
  EXPECT_EQ(Hex(key + 70000 - 8, 8), "3ec2ca952a815e2d");
  delete[] key;
}
