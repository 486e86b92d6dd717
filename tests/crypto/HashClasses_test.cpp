// The hash classes MD4, RIPEMD-128, RIPEMD-256 and their registry.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "Cipher_Rijndael.h"
#include "Zecipher.h"
#include "crypto_test_util.h"

namespace {

std::string Digest(THashClass cls, const std::string& msg) { return Hex(cls->CalcString(msg, nullptr, fmtCOPY)); }

}  // namespace

TEST(HashClasses, Md4Rfc1320) {
  const THashMeta* md4 = &THash_MD4::Class;
  EXPECT_EQ(Digest(md4, ""), "31d6cfe0d16ae931b73c59d7e0c089c0");
  EXPECT_EQ(Digest(md4, "a"), "bde52cb31de33e46245e05fbdbd6fb24");
  EXPECT_EQ(Digest(md4, "abc"), "a448017aaf21d8525fc10ae87aa6729d");
  EXPECT_EQ(Digest(md4, "message digest"), "d9130a8164549fe818874806e1c7014b");
  EXPECT_EQ(Digest(md4, "abcdefghijklmnopqrstuvwxyz"), "d79e1c308aa5bbcdeea8ed63df412da9");
  // One and two final blocks (OpenSSL's legacy MD4).
  EXPECT_EQ(Digest(md4, std::string(55, 'a')), "c889c81dd86c4d2e025778944ea02881");
  EXPECT_EQ(Digest(md4, std::string(56, 'a')), "d5f9a9e9257077a5f08b0b92f348b0ad");
  EXPECT_EQ(Digest(md4, std::string(64, 'a')), "52f5076fabd22680234a3fa9f9dc5732");
}

TEST(HashClasses, RipeMdPublishedVectors) {
  const THashMeta* r128 = &THash_RipeMD128::Class;
  EXPECT_EQ(Digest(r128, ""), "cdf26213a150dc3ecb610f18f6b38b46");
  EXPECT_EQ(Digest(r128, "a"), "86be7afa339d0fc7cfc785e72f578d33");
  EXPECT_EQ(Digest(r128, "abc"), "c14a12199c66e4ba84636b0f69144c77");
  EXPECT_EQ(Digest(r128, "message digest"), "9e327b3d6e523062afc1132d7df9d1b8");
  EXPECT_EQ(Digest(r128, "abcdefghijklmnopqrstuvwxyz"), "fd2aa607f71dc8f510714922b371834e");
  const THashMeta* r256 = &THash_RipeMD256::Class;
  EXPECT_EQ(Digest(r256, ""), "02ba4c4e5f8ecd1877fc52d64d30e37a2d9774fb1e5d026380ae0168e3c5522d");
  EXPECT_EQ(Digest(r256, "a"), "f9333e45d857f5d90a91bab70a1eba0cfb1be4b0783c9acfcd883a9134692925");
  EXPECT_EQ(Digest(r256, "abc"), "afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65");
  EXPECT_EQ(Digest(r256, "message digest"), "87e971759a1ce47a514d5c914c392c9018c7c46bc14465554afcdf54a5070c0e");
  // Boundaries, from the model.
  EXPECT_EQ(Digest(r128, std::string(55, 'a')), "418486955c126b27903aa01fef5d5d15");
  EXPECT_EQ(Digest(r128, std::string(56, 'a')), "6356ebd92cd62ee084789c6ec8eb3de3");
  EXPECT_EQ(Digest(r256, std::string(64, 'a')), "8147678472c129cabb59f57f637c622ccd5707af80a583303e6dde7d0800ced6");
}

TEST(HashClasses, PiecesEqualOneCall) {
  std::string data = PatternBytes(300, 21);
  for (THashClass cls : {&THash_MD4::Class, &THash_RipeMD128::Class, &THash_RipeMD256::Class}) {
    std::unique_ptr<THash> h(cls->New(nullptr));
    for (int piece : {1, 63, 64, 65}) {
      h->Init();
      for (size_t i = 0; i < data.size(); i += piece)
        h->Calc(data.data() + i, static_cast<int>(std::min<size_t>(piece, data.size() - i)));
      h->Calc(data.data(), 0);
      h->Calc(data.data(), -4);
      h->Done();
      EXPECT_EQ(Hex(h->DigestKey(), cls->DigestKeySize()), Digest(cls, data)) << cls->Name << " " << piece;
    }
  }
}

// Watches the blocks MD4 compresses, and can pretend to have hashed a lot.
class Md4Probe : public THash_MD4 {
public:
  uint8_t Last[64];
  void SetCount(uint64_t n) { FCount = n; }

protected:
  void Transform(const void* block) override {
    std::memcpy(Last, block, 64);
    THash_MD4::Transform(block);
  }
};

// The length in the last block is 64 bits wide, so messages of 512 MiB and
// more are finished with their true length.
TEST(HashClasses, LengthFieldIsSixtyFourBits) {
  Md4Probe h;
  h.Init();
  h.SetCount((uint64_t(1) << 29) + 64);  // a whole number of blocks: nothing buffered
  h.Done();
  EXPECT_EQ(Hex(h.Last + 56, 8), "0002000001000000");
  h.Init();
  h.Calc("abc", 3);
  h.Done();
  EXPECT_EQ(Hex(h.Last + 56, 8), "1800000000000000");
  EXPECT_EQ(Hex(h.DigestKey(), 16), "a448017aaf21d8525fc10ae87aa6729d");
}

TEST(HashClasses, ClassOperations) {
  EXPECT_EQ(THash_MD4::Class.DigestKeySize(), 16);
  EXPECT_EQ(THash_RipeMD128::Class.DigestKeySize(), 16);
  EXPECT_EQ(THash_RipeMD256::Class.DigestKeySize(), 32);
  EXPECT_EQ(TChecksum::Class.DigestKeySize(), 0);
  for (THashClass cls : {&THash::Class, &THash_MD4::Class, &THash_RipeMD128::Class, &THash_RipeMD256::Class})
    EXPECT_TRUE(cls->SelfTest()) << cls->Name;
  EXPECT_EQ(Hex(THash::Class.TestVector(), 32), Hex(GetTestVector(), 32));
  EXPECT_EQ(THash_MD4::Class.CalcString("abc", nullptr, fmtHEX), "A448017AAF21D8525FC10AE87AA6729D");
  EXPECT_EQ(THash_MD4::Class.CalcBuffer("abc", 3, nullptr, fmtHEXL), "a448017aaf21d8525fc10ae87aa6729d");
  EXPECT_EQ(THash_MD4::Class.CalcString("abc"), "pEgBeq8h2FJfwQroeqZynQ==");  // the default: MIME base 64

  TempDir dir;
  std::string data = PatternBytes(10000, 2);
  WriteFileBytes(dir.File("data.bin"), data);
  EXPECT_EQ(Hex(THash_RipeMD256::Class.CalcFile(dir.File("data.bin").c_str(), nullptr, fmtCOPY)),
            Digest(&THash_RipeMD256::Class, data));
  TMemoryStream m;
  m.WriteBuffer(data.data(), static_cast<int>(data.size()));
  EXPECT_EQ(Hex(THash_RipeMD128::Class.CalcStream(&m, -1, nullptr, fmtCOPY)), Digest(&THash_RipeMD128::Class, data));
  m.SetPosition(100);
  EXPECT_EQ(Hex(THash_RipeMD128::Class.CalcStream(&m, 50, nullptr, fmtCOPY)),
            Digest(&THash_RipeMD128::Class, data.substr(100, 50)));

  std::unique_ptr<THash> h(THash_RipeMD128::Class.New(nullptr));
  h->Init();
  h->Calc("abc", 3);
  h->Done();
  EXPECT_EQ(h->DigestStr(fmtHEXL), "c14a12199c66e4ba84636b0f69144c77");
}

// A hash used as a protection: paCalc hashes, paEncode/paDecode XOR the data
// with the digest chain (the same both ways).
TEST(HashClasses, CodingWithHashes) {
  std::string data = PatternBytes(100, 8);
  std::unique_ptr<THash> h(THash_RipeMD256::Class.New(nullptr));
  std::string buf = data;
  h->CodeBuffer(buf.data(), static_cast<int>(buf.size()), paEncode);
  EXPECT_NE(buf, data);
  h->CodeBuffer(buf.data(), static_cast<int>(buf.size()), paDecode);
  EXPECT_EQ(buf, data);
  h->CodeInit(paCalc);
  h->CodeBuf(buf.data(), 60, paCalc);
  h->CodeBuf(buf.data() + 60, 40, paCalc);
  h->CodeDone(paCalc);
  EXPECT_EQ(Hex(h->DigestKey(), 32), Digest(&THash_RipeMD256::Class, data));
  std::string scrambled = data;
  h->CodeBuffer(scrambled.data(), 50, paScramble);
  EXPECT_NE(scrambled.substr(0, 50), data.substr(0, 50));
  EXPECT_EQ(scrambled.substr(50), data.substr(50));
}

TEST(HashClasses, RegistryAndDefault) {
  EXPECT_EQ(HashList()->Count(), 0);
  EXPECT_EQ(DefaultHashClass(), &THash_RipeMD256::Class);
  SetDefaultHashClass(&THash_MD4::Class);
  EXPECT_EQ(DefaultHashClass(), &THash_MD4::Class);
  SetDefaultHashClass(nullptr);
  EXPECT_EQ(DefaultHashClass(), &THash_RipeMD256::Class);

  EXPECT_TRUE(RegisterHash(&THash_MD4::Class, "", "RSA MD4"));
  EXPECT_TRUE(RegisterHash(&THash_RipeMD128::Class, "RMD128", ""));
  EXPECT_FALSE(RegisterHash(static_cast<THashClass>(nullptr), "x", ""));
  EXPECT_EQ(HashList()->Strings(0), "MD4=RSA MD4");
  EXPECT_EQ(GetHashClass("md4"), &THash_MD4::Class);
  EXPECT_EQ(GetHashClass("THash_RipeMD128"), &THash_RipeMD128::Class);
  EXPECT_EQ(GetHashClass("RMD128"), &THash_RipeMD128::Class);
  EXPECT_EQ(GetHashClass("RipeMD256"), nullptr);
  EXPECT_EQ(GetHashName(&THash_RipeMD128::Class), "RMD128");
  EXPECT_EQ(GetHashName(&THash_RipeMD256::Class), "RipeMD256");
  TStringList names;
  HashNames(&names);
  EXPECT_EQ(names.Text(), "MD4\r\nRMD128\r\n");
  EXPECT_TRUE(UnregisterHash(&THash_MD4::Class));
  EXPECT_TRUE(UnregisterHash(&THash_RipeMD128::Class));
  EXPECT_EQ(HashList()->Count(), 0);
}
