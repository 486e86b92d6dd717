// The block ciphers: published known answers, differences against Python's
// `cryptography` (through crypto_model.py), the library's own key rules
// (model fixtures) and the self-tests.
#include <gtest/gtest.h>

#include <memory>

#include "Cipher_Blowfish.h"
#include "Cipher_DES.h"
#include "Cipher_Rijndael.h"
#include "Cipher_Square.h"
#include "Cipher_Twofish.h"
#include "crypto_test_util.h"

namespace {

std::string Ecb(TCipherClass cls, const std::string& key, const std::string& data, bool decode = false) {
  std::unique_ptr<TCipher> c(cls->New("", nullptr));
  c->Init(key.data(), static_cast<int>(key.size()), nullptr);
  c->SetMode(cmECB);
  std::string out = data;
  if (decode)
    c->DecodeBuffer(out.data(), out.data(), static_cast<int>(out.size()));
  else
    c->EncodeBuffer(out.data(), out.data(), static_cast<int>(out.size()));
  return Hex(out);
}

std::string EcbHex(TCipherClass cls, const char* key, const char* data) { return Ecb(cls, Unhex(key), Unhex(data)); }

const TCipherClass AllCiphers[] = {&TCipher_Rijndael::Class, &TCipher_RijndaelZE::Class, &TCipher_Blowfish::Class,
                                   &TCipher_1DES::Class,     &TCipher_3DES::Class,       &TCipher_3TDES::Class,
                                   &TCipher_Twofish::Class,  &TCipher_Square::Class};

}  // namespace

TEST(Rijndael, Fips197) {
  const char* pt = "00112233445566778899aabbccddeeff";
  EXPECT_EQ(EcbHex(&TCipher_Rijndael::Class, "000102030405060708090a0b0c0d0e0f", pt),
            "69c4e0d86a7b0430d8cdb78070b4c55a");
  EXPECT_EQ(EcbHex(&TCipher_Rijndael::Class, "000102030405060708090a0b0c0d0e0f1011121314151617", pt),
            "dda97ca4864cdfe06eaf70a0ec0d7191");
  EXPECT_EQ(EcbHex(&TCipher_Rijndael::Class, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", pt),
            "8ea2b7ca516745bfeafc49904b496089");
  EXPECT_EQ(EcbHex(&TCipher_Rijndael::Class, "2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734"),
            "3925841d02dc09fbdc118597196a0b32");
  EXPECT_EQ(Ecb(&TCipher_Rijndael::Class, Unhex("000102030405060708090a0b0c0d0e0f"),
                Unhex("69c4e0d86a7b0430d8cdb78070b4c55a"), true),
            pt);
  // Short keys are filled with zero bytes: 20 bytes are an AES-192 key.
  EXPECT_EQ(EcbHex(&TCipher_Rijndael::Class, "000102030405060708090a0b0c0d0e0f10111213", pt),
            "66a6bef173a90d0cb72a2d01b8010509");
  EXPECT_EQ(Ecb(&TCipher_Rijndael::Class, "", Unhex(pt)), "c8a331ff8edd3db175e1545dbefb760b");
  TCipher_Rijndael r;
  r.Init("k", 1, nullptr);
  EXPECT_EQ(r.Rounds(), 10);
  r.Init(std::string(17, 'k').data(), 17, nullptr);
  EXPECT_EQ(r.Rounds(), 12);
  r.Init(std::string(25, 'k').data(), 25, nullptr);
  EXPECT_EQ(r.Rounds(), 14);
}

TEST(Rijndael, OtherScheduleDiffersOnlyFor256BitKeys) {
  std::string pt = PatternBytes(32, 9);
  for (int n : {5, 16, 20, 24}) {
    std::string k = PatternBytes(n, n);
    EXPECT_EQ(Ecb(&TCipher_RijndaelZE::Class, k, pt), Ecb(&TCipher_Rijndael::Class, k, pt)) << n;
  }
  std::string k32 = PatternBytes(32, 3);
  EXPECT_NE(Ecb(&TCipher_RijndaelZE::Class, k32, pt), Ecb(&TCipher_Rijndael::Class, k32, pt));
  std::string k;
  for (int i = 0; i < 32; ++i) k += static_cast<char>(i);
  EXPECT_EQ(Ecb(&TCipher_RijndaelZE::Class, k, Unhex("000102030405060708090a0b0c0d0e0f")),
            "c2bcd71306b2ddc12bd839b2193847bc");
  std::string k2 = Unhex("2b7e151628aed2a6abf7158809cf4f3c2b7e151628aed2a6abf7158809cf4f3c");
  EXPECT_EQ(Ecb(&TCipher_RijndaelZE::Class, k2, std::string(16, '\0')), "bd5a817329579b40355e270f827293c8");
  std::string ct = Unhex(Ecb(&TCipher_RijndaelZE::Class, k32, pt));
  EXPECT_EQ(Ecb(&TCipher_RijndaelZE::Class, k32, ct, true), Hex(pt));
}

TEST(DES, Fips81AndClassicVectors) {
  EXPECT_EQ(Ecb(&TCipher_1DES::Class, Unhex("0123456789abcdef"), "Now is the time for all "),
            "3fa40e8a984d48156a271787ab8883f9893d51ec4b563b53");
  EXPECT_EQ(EcbHex(&TCipher_1DES::Class, "133457799bbcdff1", "0123456789abcdef"), "85e813540f0ab405");
  EXPECT_EQ(Ecb(&TCipher_1DES::Class, Unhex("133457799bbcdff1"), Unhex("85e813540f0ab405"), true), "0123456789abcdef");
  // Parity bits do not count.
  EXPECT_EQ(EcbHex(&TCipher_1DES::Class, "123556789abcdef0", "0123456789abcdef"),
            EcbHex(&TCipher_1DES::Class, "133457799bbcdff1", "0123456789abcdef"));
  // A short key is filled with zero bytes.
  EXPECT_EQ(EcbHex(&TCipher_1DES::Class, "0123", "0123456789abcdef"),
            EcbHex(&TCipher_1DES::Class, "0123000000000000", "0123456789abcdef"));
}

TEST(DES, TripleDesKeysAndBlocks) {
  std::string pt = PatternBytes(24, 4);
  std::string k8 = Unhex("0123456789abcdef");
  EXPECT_EQ(Ecb(&TCipher_3DES::Class, k8 + k8 + k8, pt), Ecb(&TCipher_1DES::Class, k8, pt));
  // A 16-byte key leaves K3 zero (the standard two-key form would give 08d7b4fb629d0885).
  EXPECT_EQ(EcbHex(&TCipher_3DES::Class, "0123456789abcdeffedcba9876543210", "0000000000000000"), "6d5034e05bbab56f");
  std::string k24 = Unhex("0123456789abcdef23456789abcdef01456789abcdef0123");
  EXPECT_EQ(Ecb(&TCipher_3DES::Class, k24, Unhex(Ecb(&TCipher_3DES::Class, k24, pt)), true), Hex(pt));
  std::string block;
  for (int i = 0; i < 24; ++i) block += static_cast<char>(i);
  EXPECT_EQ(Ecb(&TCipher_3TDES::Class, k24, block), "c375dae9f3cd4f28fc746a71214b67d12e7fa5c218b5d714");
  for (uint32_t seed = 1; seed < 20; ++seed) {
    std::string b = PatternBytes(48, seed), k = PatternBytes(24, seed + 100);
    EXPECT_EQ(Ecb(&TCipher_3TDES::Class, k, Unhex(Ecb(&TCipher_3TDES::Class, k, b)), true), Hex(b));
  }
}

TEST(Blowfish, PublishedVectorsAndKeyRules) {
  EXPECT_EQ(EcbHex(&TCipher_Blowfish::Class, "0000000000000000", "0000000000000000"), "4ef997456198dd78");
  EXPECT_EQ(EcbHex(&TCipher_Blowfish::Class, "ffffffffffffffff", "ffffffffffffffff"), "51866fd5b85ecb8a");
  EXPECT_EQ(Ecb(&TCipher_Blowfish::Class, "abcdefghijklmnopqrstuvwxyz", "BLOWFISH"), "324ed0fef413a203");
  EXPECT_EQ(Ecb(&TCipher_Blowfish::Class, "abcdefghijklmnopqrstuvwxyz", Unhex("324ed0fef413a203"), true),
            Hex(std::string("BLOWFISH")));
  // A 4-byte key repeats over the P array like its 8-byte repetition.
  EXPECT_EQ(EcbHex(&TCipher_Blowfish::Class, "01020304", "0000000000000000"), "68b06429b5b277dc");
  EXPECT_EQ(EcbHex(&TCipher_Blowfish::Class, "0102030401020304", "0000000000000000"), "68b06429b5b277dc");
  // Keys are cut to 56 bytes (other implementations take up to 72).
  std::string k72;
  for (int i = 1; i <= 72; ++i) k72 += static_cast<char>(i);
  EXPECT_EQ(Ecb(&TCipher_Blowfish::Class, k72, std::string(8, '\0')), "ad9f57f87c8855c1");
  EXPECT_EQ(Ecb(&TCipher_Blowfish::Class, k72.substr(0, 56), std::string(8, '\0')), "ad9f57f87c8855c1");
  // An empty key has no bytes to repeat.
  TCipher_Blowfish b;
  try {
    b.Init("", 0, nullptr);
    FAIL();
  } catch (const ECipherException& e) {
    EXPECT_EQ(e.ErrorCode(), errInvalidKeySize);
  }
  EXPECT_FALSE(b.GetFlag(1));
}

TEST(Twofish, PublishedVectors) {
  EXPECT_EQ(EcbHex(&TCipher_Twofish::Class, "00000000000000000000000000000000", "00000000000000000000000000000000"),
            "9f589f5cf6122c32b6bfec2f2ae8c35a");
  EXPECT_EQ(EcbHex(&TCipher_Twofish::Class, "0123456789abcdeffedcba98765432100011223344556677",
                   "00000000000000000000000000000000"),
            "cfd1d2e5a9be9cdf501f13b892bd2248");
  EXPECT_EQ(EcbHex(&TCipher_Twofish::Class, "0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff",
                   "00000000000000000000000000000000"),
            "37527be0052334b89f0cfccae87cfa20");
  std::string k20;
  for (int i = 0; i < 20; ++i) k20 += static_cast<char>(i);
  EXPECT_EQ(Ecb(&TCipher_Twofish::Class, k20, std::string(16, '\0')), "5d681bc82146ba8ebc8b39631763dc75");
  for (int n : {16, 24, 32}) {
    std::string k = PatternBytes(n, n), p = PatternBytes(64, n + 1);
    EXPECT_EQ(Ecb(&TCipher_Twofish::Class, k, Unhex(Ecb(&TCipher_Twofish::Class, k, p)), true), Hex(p));
  }
}

TEST(Square, PublishedVector) {
  EXPECT_EQ(EcbHex(&TCipher_Square::Class, "000102030405060708090a0b0c0d0e0f", "000102030405060708090a0b0c0d0e0f"),
            "7c3491d94994e70f0ec2e7a5ccb5a14f");
  EXPECT_EQ(Ecb(&TCipher_Square::Class, Unhex("000102030405060708090a0b0c0d0e0f"),
                Unhex("7c3491d94994e70f0ec2e7a5ccb5a14f"), true),
            "000102030405060708090a0b0c0d0e0f");
  std::string k10;
  for (int i = 0; i < 10; ++i) k10 += static_cast<char>(i);
  EXPECT_EQ(Ecb(&TCipher_Square::Class, k10, std::string(16, '\0')), "69a6991e5032cf4abb0dc5d3627518c9");
  std::string k = PatternBytes(16, 77), p = PatternBytes(64, 78);
  EXPECT_EQ(Ecb(&TCipher_Square::Class, k, Unhex(Ecb(&TCipher_Square::Class, k, p)), true), Hex(p));
}

// Random keys and blocks against Python's `cryptography` (AES, DES, Blowfish)
// and the model (Twofish, Square, the 24-byte triple DES).
TEST(BlockCiphers, AgreeWithPeersOnRandomKeys) {
  struct Case {
    TCipherClass Cls;
    const char* Peer;
    int KeyLen;
  };
  std::vector<Case> cases = {{&TCipher_Rijndael::Class, "AES", 16},      {&TCipher_Rijndael::Class, "AES", 24},
                             {&TCipher_Rijndael::Class, "AES", 32},      {&TCipher_1DES::Class, "DES", 8},
                             {&TCipher_3DES::Class, "DES3", 24},         {&TCipher_3DES::Class, "DES3", 16},
                             {&TCipher_3TDES::Class, "DES3T", 24},       {&TCipher_Blowfish::Class, "Blowfish", 4},
                             {&TCipher_Blowfish::Class, "Blowfish", 13}, {&TCipher_Blowfish::Class, "Blowfish", 56},
                             {&TCipher_Twofish::Class, "Twofish", 16},   {&TCipher_Twofish::Class, "Twofish", 24},
                             {&TCipher_Twofish::Class, "Twofish", 32},   {&TCipher_Square::Class, "Square", 16}};
  std::vector<std::string> requests, mine;
  uint32_t seed = 1000;
  for (const Case& c : cases)
    for (int i = 0; i < 3; ++i) {
      std::string key = PatternBytes(c.KeyLen, ++seed), data = PatternBytes(48, ++seed);
      requests.push_back(std::string("ecb ") + c.Peer + " " + Hex(key) + " " + Hex(data));
      mine.push_back(Ecb(c.Cls, key, data));
    }
  std::vector<std::string> peer = RunModel(requests);
  ASSERT_EQ(peer.size(), requests.size()) << peer.back();
  for (size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(mine[i], peer[i]) << requests[i];
}

// Every mode, every cipher, against the model of the modes.
TEST(BlockCiphers, ModesAgreeWithTheModelForEveryCipher) {
  const char* peers[] = {"AES", "AESOther", "Blowfish", "DES", "DES3", "DES3T", "Twofish", "Square"};
  const std::pair<TCipherMode, const char*> modes[] = {
      {cmCTS, "CTS"}, {cmCBC, "CBC"}, {cmCFB, "CFB"}, {cmOFB, "OFB"}, {cmCTR, "CTR"}};
  std::vector<std::string> requests, mine;
  for (int i = 0; i < 8; ++i)
    for (auto [mode, name] : modes) {
      int maxKey = AllCiphers[i]->MaxKeySize();
      std::string key = PatternBytes(maxKey, i * 10 + mode), data = PatternBytes(53, i + mode);
      requests.push_back(std::string("mode ") + name + " " + peers[i] + " " + Hex(key) + " " + Hex(data));
      std::unique_ptr<TCipher> c(AllCiphers[i]->New("", nullptr));
      c->Init(key.data(), maxKey, nullptr);
      c->SetMode(mode);
      std::string out = data;
      c->EncodeBuffer(out.data(), out.data(), 53);
      mine.push_back(Hex(out));
    }
  std::vector<std::string> peer = RunModel(requests);
  ASSERT_EQ(peer.size(), requests.size()) << peer.back();
  for (size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(mine[i], peer[i]) << requests[i];
}

TEST(BlockCiphers, SizesAndSelfTests) {
  struct Sizes {
    int Block, Key, Context;
  } expected[] = {{16, 32, 480}, {16, 32, 480}, {8, 56, 4168},  {8, 8, 256},
                  {8, 24, 768},  {24, 24, 768}, {16, 32, 4256}, {16, 16, 288}};
  for (int i = 0; i < 8; ++i) {
    TCipherClass cls = AllCiphers[i];
    int b, k, u;
    cls->GetContext(b, k, u);
    EXPECT_EQ(b, expected[i].Block) << cls->Name;
    EXPECT_EQ(k, expected[i].Key) << cls->Name;
    EXPECT_EQ(u, expected[i].Context) << cls->Name;
    EXPECT_EQ(cls->MaxKeySize(), expected[i].Key);
    EXPECT_TRUE(cls->SelfTest()) << cls->Name;
    std::unique_ptr<TCipher> c(cls->New("password", nullptr));
    EXPECT_EQ(c->ClassType(), cls);
    EXPECT_EQ(c->BufSize(), b);
    EXPECT_TRUE(c->GetFlag(1)) << cls->Name;
  }
  // The base class has no Init of its own, so it is never ready to run;
  // switched off comparisons make every self-test fail.
  EXPECT_EQ(Raised([] { TCipher::Class.SelfTest(); }),
            "ECipherException: TCipher is not initialized call Init() or InitKey() before.");
  InitTestIsOk = false;
  EXPECT_FALSE(TCipher_Rijndael::Class.SelfTest());
  InitTestIsOk = true;
  EXPECT_FALSE(CheckCipherKeySize);
}
