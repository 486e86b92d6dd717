// SHA-1, the hash descriptor registry and HMAC over it.
#include "Zesha1.h"

#include <gtest/gtest.h>

#include <cstring>

#include "Zehash.h"
#include "Zehmac.h"
#include "crypto_test_util.h"

namespace {

std::string Sha1(const std::string& msg) {
  TSHA1Digest d;
  SHA1FullXL(d, msg.data(), static_cast<uint32_t>(msg.size()));
  return Hex(d, 20);
}

std::string HmacSha1(const std::string& key, const std::string& data) {
  THMAC_Context ctx;
  hmac_init(ctx, FindHash_by_Name("SHA1"), key.data(), static_cast<uint16_t>(key.size()));
  hmac_updateXL(ctx, data.data(), static_cast<uint32_t>(data.size()));
  THashDigest mac;
  hmac_final(ctx, mac);
  return Hex(mac, 20);
}

}  // namespace

TEST(Sha1, Fips180Messages) {
  EXPECT_EQ(Sha1(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Sha1("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(Sha1(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_TRUE(SHA1SelfTest());
}

// Every length around the padding boundaries, in one call and split at every
// point, against Python's hashlib.
TEST(Sha1, LengthsAndSplitsMatchHashlib) {
  std::string expected = RunPython(
      "import hashlib\n"
      "s=bytes((i*7+3)&255 for i in range(200))\n"
      "print(' '.join(hashlib.sha1(s[:n]).hexdigest() for n in range(200)))\n");
  std::string data;
  for (int i = 0; i < 200; ++i) data += static_cast<char>((i * 7 + 3) & 255);
  std::string oneCall, split, bytewise;
  for (int n = 0; n < 200; ++n) {
    if (n) {
      oneCall += ' ';
      split += ' ';
      bytewise += ' ';
    }
    oneCall += Sha1(data.substr(0, n));
    THashContext ctx;
    SHA1Init(ctx);
    int cut = (n * 37) % (n + 1);
    SHA1UpdateXL(ctx, data.data(), cut);
    SHA1Update(ctx, data.data() + cut, static_cast<uint16_t>(n - cut));
    TSHA1Digest d;
    SHA1Final(ctx, d);
    split += Hex(d, 20);
    SHA1Init(ctx);
    for (int i = 0; i < n; ++i) SHA1UpdateXL(ctx, data.data() + i, 1);
    SHA1Final(ctx, d);
    bytewise += Hex(d, 20);
  }
  EXPECT_EQ(oneCall + "\n", expected);
  EXPECT_EQ(split, oneCall);
  EXPECT_EQ(bytewise, oneCall);
}

TEST(Sha1, FinalExClearsDigestBufferAndContext) {
  THashContext ctx;
  SHA1Init(ctx);
  SHA1UpdateXL(ctx, "abc", 3);
  THashDigest d;
  std::memset(d, 0xCC, sizeof d);
  SHA1FinalEx(ctx, d);
  EXPECT_EQ(Hex(d, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Hex(d + 20, 44), std::string(88, '0'));
  THashContext zero;
  std::memset(&zero, 0, sizeof zero);
  EXPECT_EQ(std::memcmp(&ctx, &zero, sizeof ctx), 0);
}

TEST(HashDescriptors, Sha1DescriptorAndLookups) {
  PHashDesc d = FindHash_by_Name("SHA1");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d, &SHA1_Desc);
  EXPECT_EQ(d->Signature, 0x3D7A);
  EXPECT_EQ(d->DescSize, sizeof(THashDesc));
  EXPECT_EQ(sizeof(THashDesc), 80u);  // the test program is 32-bit
  EXPECT_EQ(d->Version, 0x00010003u);
  EXPECT_EQ(d->BlockLen, 64);
  EXPECT_EQ(d->DigestLen, 20);
  EXPECT_EQ(d->AlgorithmId, _SHA1);
  EXPECT_EQ(d->Name.ToString(), "SHA1");
  ASSERT_EQ(d->OIDLen, 6);
  EXPECT_EQ((std::vector<uint32_t>(d->OID, d->OID + 6)), (std::vector<uint32_t>{1, 3, 14, 3, 2, 26}));
  EXPECT_EQ(d->FinalBit, nullptr);

  EXPECT_EQ(FindHash_by_Name("sha1"), d);
  EXPECT_EQ(FindHash_by_Name("Sha1"), d);
  EXPECT_EQ(FindHash_by_Name("SHA-1"), nullptr);
  EXPECT_EQ(FindHash_by_Name("MD5"), nullptr);
  EXPECT_EQ(FindHash_by_Name(""), nullptr);
  // Names are cut to 19 characters before they are compared.
  EXPECT_EQ(FindHash_by_Name("SHA1" + std::string(30, ' ')), nullptr);
  EXPECT_EQ(FindHash_by_ID(_SHA1), d);
  EXPECT_EQ(FindHash_by_ID(_MD5), nullptr);
  EXPECT_EQ(FindHash_by_ID(static_cast<THashAlgorithm>(9)), nullptr);
  EXPECT_EQ(FindHash_by_ID(static_cast<THashAlgorithm>(-1)), nullptr);
}

TEST(HashDescriptors, RegisterRefusesInvalidDescriptors) {
  THashDesc bad = SHA1_Desc;
  bad.AlgorithmId = _Whirlpool;
  bad.Name = THashName::From("WHIRL-TEST");
  THashDesc wrongSig = bad, wrongVersion = bad, wrongSize = bad;
  wrongSig.Signature = 0x1234;
  wrongVersion.Version = 0x00010002;
  wrongSize.DescSize = 79;
  RegisterHash(_Whirlpool, &wrongSig);
  RegisterHash(_Whirlpool, &wrongVersion);
  RegisterHash(_Whirlpool, &wrongSize);
  RegisterHash(_SHA512, &bad);  // id differs from the slot
  RegisterHash(static_cast<THashAlgorithm>(9), &bad);
  RegisterHash(_Whirlpool, nullptr);
  EXPECT_EQ(FindHash_by_ID(_Whirlpool), nullptr);
  EXPECT_EQ(FindHash_by_ID(_SHA512), nullptr);
  EXPECT_EQ(FindHash_by_Name("whirl-test"), nullptr);

  RegisterHash(_Whirlpool, &bad);
  EXPECT_EQ(FindHash_by_ID(_Whirlpool), &bad);
  EXPECT_EQ(FindHash_by_Name("Whirl-Test"), &bad);
  EXPECT_EQ(FindHash_by_Name("sha1"), &SHA1_Desc);
  UnitInit_Zehash();  // back to the start-up state
  UnitInit_Zesha1();
  EXPECT_EQ(FindHash_by_ID(_Whirlpool), nullptr);
}

TEST(HashDescriptors, FullAndUpdateIgnoreInvalidDescriptors) {
  THashDigest d;
  std::memset(d, 0x5A, sizeof d);
  HashFullXL(nullptr, d, "abc", 3);
  THashDesc bad = SHA1_Desc;
  bad.Signature = 0;
  HashFull(&bad, d, "abc", 3);
  EXPECT_EQ(Hex(d, 4), "5a5a5a5a");
  HashFull(&SHA1_Desc, d, "abc", 3);
  EXPECT_EQ(Hex(d, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");

  THashContext ctx;
  SHA1Init(ctx);
  HashUpdate(&SHA1_Desc, ctx, "ab", 2);
  HashUpdate(nullptr, ctx, "zz", 2);
  HashUpdate(&SHA1_Desc, ctx, "c", 1);
  SHA1FinalEx(ctx, d);
  EXPECT_EQ(Hex(d, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(HashDescriptors, HashFileReadsThroughAnyBuffer) {
  TempDir dir;
  std::string data = PatternBytes(10000, 7);
  WriteFileBytes(dir.File("data.bin"), data);
  for (uint16_t size : {1, 7, 64, 4096, 20000}) {
    std::string buf(size, '\0');
    uint16_t err = 77;
    TSHA1Digest d;
    SHA1File(dir.File("data.bin").c_str(), d, buf.data(), size, err);
    EXPECT_EQ(err, 0) << size;
    EXPECT_EQ(Hex(d, 20), Sha1(data)) << size;
  }
  WriteFileBytes(dir.File("empty.bin"), "");
  char buf[16];
  uint16_t err = 77;
  THashDigest d;
  HashFile(dir.File("empty.bin").c_str(), &SHA1_Desc, d, buf, sizeof buf, err);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(Hex(d, 20), "da39a3ee5e6b4b0d3255bfef95601890afd80709");

  HashFile(dir.File("missing.bin").c_str(), &SHA1_Desc, d, buf, sizeof buf, err);
  EXPECT_EQ(err, 2);
  HashFile(dir.File("no\\such\\dir.bin").c_str(), &SHA1_Desc, d, buf, sizeof buf, err);
  EXPECT_EQ(err, 3);
  HashFile(dir.File("data.bin").c_str(), nullptr, d, buf, sizeof buf, err);
  EXPECT_EQ(err, 204);
}

// RFC 2202, test cases 1 to 7.
TEST(Hmac, Rfc2202) {
  EXPECT_EQ(HmacSha1(std::string(20, '\x0b'), "Hi There"), "b617318655057264e28bc0b6fb378c8ef146be00");
  EXPECT_EQ(HmacSha1("Jefe", "what do ya want for nothing?"), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
  EXPECT_EQ(HmacSha1(std::string(20, '\xaa'), std::string(50, '\xdd')), "125d7342b9ac11cd91a39af48aa17b4f63f175d3");
  EXPECT_EQ(HmacSha1(Unhex("0102030405060708090a0b0c0d0e0f10111213141516171819"), std::string(50, '\xcd')),
            "4c9007f4026250c6bc8414f9bf50c86c2d7235da");
  EXPECT_EQ(HmacSha1(std::string(20, '\x0c'), "Test With Truncation"), "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04");
  EXPECT_EQ(HmacSha1(std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First"),
            "aa4ae5e15272d00e95705637ce8a3b55ed402112");
  EXPECT_EQ(
      HmacSha1(std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
      "e8e99d0f45237d786d6bbaa7965c7808bbff1a91");
}

TEST(Hmac, PiecesStringKeysAndLongKeys) {
  std::string data = PatternBytes(300, 3);
  THMAC_Context ctx;
  hmac_inits(ctx, &SHA1_Desc, "Jefe");
  for (size_t i = 0; i < data.size(); i += 41)
    hmac_update(ctx, data.data() + i, static_cast<uint16_t>(std::min<size_t>(41, data.size() - i)));
  THashDigest mac;
  hmac_final(ctx, mac);
  EXPECT_EQ(Hex(mac, 20), HmacSha1("Jefe", data));
  // A string key longer than a 16-bit length (Python: hmac.new(b'k'*70000, b'abc', 'sha1')).
  hmac_inits(ctx, &SHA1_Desc, AnsiString(std::string(70000, 'k')));
  hmac_updateXL(ctx, "abc", 3);
  hmac_final(ctx, mac);
  EXPECT_EQ(Hex(mac, 20), "6b0714d1ccae0f41e95b3f800be685f62f745f56");
}

TEST(Hmac, WithoutDescriptorNothingHappens) {
  THMAC_Context ctx;
  std::memset(&ctx, 0x77, sizeof ctx);
  hmac_inits(ctx, nullptr, "key");
  EXPECT_EQ(reinterpret_cast<uint8_t*>(&ctx)[0], 0x77);  // untouched
  hmac_init(ctx, nullptr, "key", 3);
  THMAC_Context zero;
  std::memset(&zero, 0, sizeof zero);
  EXPECT_EQ(std::memcmp(&ctx, &zero, sizeof ctx), 0);  // zeroed, no descriptor
  hmac_updateXL(ctx, "data", 4);
  THashDigest mac;
  std::memset(mac, 0x42, sizeof mac);
  hmac_final(ctx, mac);
  EXPECT_EQ(Hex(mac, 4), "42424242");
}
