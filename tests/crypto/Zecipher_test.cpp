// The cipher base: modes of operation, key set-up, state and errors, checked
// with Rijndael against fixtures of the model in crypto_model.py (the modes'
// default vector, counter, tail and MAC rules are the library's own).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "Cipher_Rijndael.h"
#include "Zehmac.h"
#include "Zekeyderiv.h"
#include "Zesha1.h"
#include "crypto_test_util.h"

namespace {

const std::string Key16 = Unhex("2b7e151628aed2a6abf7158809cf4f3c");
const std::string Msg40 = [] {
  std::string s;
  for (int i = 0; i < 40; ++i) s += static_cast<char>(i);
  return s;
}();

std::unique_ptr<TCipher_Rijndael> Aes(const std::string& key, TCipherMode mode) {
  auto c = std::make_unique<TCipher_Rijndael>();
  c->Init(key.data(), static_cast<int>(key.size()), nullptr);
  c->SetMode(mode);
  return c;
}

std::string Encode(TCipher& c, const std::string& s) {
  std::string d(s.size(), '\0');
  c.EncodeBuffer(s.data(), d.data(), static_cast<int>(s.size()));
  return d;
}

std::string Decode(TCipher& c, const std::string& s) {
  std::string d(s.size(), '\0');
  c.DecodeBuffer(s.data(), d.data(), static_cast<int>(s.size()));
  return d;
}

const TCipherMode AllModes[] = {cmCTS, cmCBC, cmCFB, cmOFB, cmCTR, cmECB, cmCTSMAC, cmCBCMAC, cmCFBMAC};

}  // namespace

TEST(CipherModes, DefaultVectorIsTheEncryptedAllOnesBlock) {
  auto c = Aes(Unhex("000102030405060708090a0b0c0d0e0f"), cmCTS);
  EXPECT_EQ(Hex(c->Vector(), 16), "3c441f32ce07822364d7a2990e50bb13");
  EXPECT_EQ(Hex(c->Feedback(), 16), "3c441f32ce07822364d7a2990e50bb13");
  const std::string iv = Unhex("00112233445566778899aabbccddeeff");
  c->Init("k", 1, iv.data());
  EXPECT_EQ(Hex(c->Vector(), 16), Hex(iv));
}

TEST(CipherModes, EncodingMatchesTheModel) {
  struct Case {
    TCipherMode Mode;
    const char* Expected;
  } cases[] = {
      {cmCTS, "2cc9a2d97a6f0ac67531df0517a1e968261047eddf30698073f52a8d5851d4a2d30eaa8c13debb67"},
      {cmCBC, "2cc9a2d97a6f0ac67531df0517a1e968df81859783bca5376071c578016db742b632c0742815acb8"},
      {cmCFB, "d9547aa9858bbc5971557dcb586990d9115161524951ada7f8fbda7263023f2f7754e331510300bd"},
      {cmOFB, "d954027a90d3e685159cb4318740cb82edac19c62b40ac13a7b18ceeb8504597eea6ab4357b354b4"},
      {cmCTR, "7e5835985636909a2daca727ef38c5310fa1d028c61cba8606fab1913198f5d2e26adc8a9145e861"},
      {cmECB, "50fe67cc996d32b6da0937e99bafec60c84af0b613435d5d9182801a9bd9320bbc977db175ea2896"},
  };
  for (const Case& k : cases) {
    auto c = Aes(Key16, k.Mode);
    std::string enc = Encode(*c, Msg40);
    EXPECT_EQ(Hex(enc), k.Expected) << int(k.Mode);
    if (k.Mode == cmECB) continue;  // a partial block cannot come back in ECB
    auto d = Aes(Key16, k.Mode);
    EXPECT_EQ(Decode(*d, enc), Msg40) << int(k.Mode);
  }
}

// The standard 8-bit CFB (SP 800-38A F.3.7).
TEST(CipherModes, Cfb8IsTheStandardOne) {
  auto c = Aes(Key16, cmCFB);
  std::string iv;
  for (int i = 0; i < 16; ++i) iv += static_cast<char>(i);
  c->Init(Key16.data(), 16, iv.data());
  EXPECT_EQ(Hex(Encode(*c, Unhex("6bc1bee22e409f96e93d7e117393172aae2d"))), "3b79424c9c0dd436bace9e0ed4586a4f32b9");
}

TEST(CipherModes, MacModesKeepTheCodeInTheFeedbackAndCountEveryByte) {
  struct Case {
    TCipherMode Mode;
    const char* After40;
    const char* After33;
  } cases[] = {
      {cmCTSMAC, "b242f3d15b43f85d7a7496f9c939438c", "a11eca7b2ebe6b9f2db25df392176291"},
      {cmCBCMAC, "2a8eb9b1d2933f35156a86b420373a2a", "83bcd1dc8dabb0a179f6a1f7775b22f5"},
      {cmCFBMAC, "f8fbda7263023f2f7754e331510300bd", "5161524951ada7f8fbda7263023f2f77"},
  };
  for (const Case& k : cases) {
    auto c = Aes(Key16, k.Mode);
    std::string out(40, '\x55');
    c->EncodeBuffer(Msg40.data(), out.data(), 40);
    EXPECT_EQ(Hex(c->Feedback(), 16), k.After40) << int(k.Mode);
    EXPECT_EQ(out, std::string(40, '\x55'));  // nothing written
    c->Done();
    c->DecodeBuffer(Msg40.data(), out.data(), 33);  // decoding computes the same code
    EXPECT_EQ(Hex(c->Feedback(), 16), k.After33) << int(k.Mode);
    EXPECT_EQ(out, std::string(40, '\x55'));
    // The trailing bytes enter the code: changing one changes it.
    std::string other = Msg40.substr(0, 33);
    other[32] ^= 1;
    c->Done();
    c->EncodeBuffer(other.data(), out.data(), 33);
    EXPECT_NE(Hex(c->Feedback(), 16), k.After33) << int(k.Mode);
  }
}

TEST(CipherModes, CounterModeIsTheZipAesKeyStream) {
  auto c = Aes(Key16, cmCTR);
  EXPECT_EQ(Hex(Encode(*c, std::string(32, '\0'))), "7e59379b5233969d25a5ad2ce335cb3e1fb0c23bd209ac911ee3ab8a2d85ebcd");
  EXPECT_EQ(Hex(c->Counter(), 16), "02000000000000000000000000000000");
  // 10 and 22 bytes give the 32 of one call.
  auto d = Aes(Key16, cmCTR);
  std::string a = Encode(*d, std::string(10, '\0'));
  a += Encode(*d, std::string(22, '\0'));
  EXPECT_EQ(Hex(a), "7e59379b5233969d25a5ad2ce335cb3e1fb0c23bd209ac911ee3ab8a2d85ebcd");
  // The 256th block's counter is 00 01 00 ...
  auto e = Aes(Key16, cmCTR);
  Encode(*e, std::string(255 * 16, '\0'));
  EXPECT_EQ(Hex(Encode(*e, std::string(16, '\0'))), "fdf3d9dfcd52350d21d5dcda578f3228");
  EXPECT_EQ(Hex(e->Counter(), 16), "00010000000000000000000000000000");
}

// Lets a test put the counter anywhere.
class CounterAes : public TCipher_Rijndael {
public:
  void SetCounter(const std::string& bytes) { std::memcpy(CounterBlock(), bytes.data(), 16); }
};

TEST(CipherModes, CounterWrapsInItsFirstEightBytesOnly) {
  CounterAes c;
  c.Init(Key16.data(), 16, nullptr);
  c.SetMode(cmCTR);
  c.SetCounter(std::string(8, '\xff') + Unhex("0102030405060708"));
  // The key stream is the encryption of 00*8 01..08 (the model's value).
  EXPECT_EQ(Hex(Encode(c, std::string(16, '\0'))), "cdf695318a9c8887a124d0b9e408dd1d");
  EXPECT_EQ(Hex(c.Counter(), 16), "00000000000000000102030405060708");
  c.SetCounter(Unhex("ff00000000000000") + std::string(8, '\xff'));
  Encode(c, std::string(16, '\0'));
  EXPECT_EQ(Hex(c.Counter(), 16), "0001000000000000ffffffffffffffff");
}

TEST(CipherModes, SeparateBuffersEqualInPlaceAndStreamsSplitFreely) {
  std::string data = PatternBytes(100, 11);
  for (TCipherMode m : AllModes) {
    for (int len : {0, 1, 15, 16, 17, 31, 32, 33, 100}) {
      if (m == cmECB && len % 16) continue;
      std::string src = data.substr(0, len);
      auto a = Aes(Key16, m), b = Aes(Key16, m);
      std::string sep = Encode(*a, src);
      std::string inPlace = src;
      b->EncodeBuffer(inPlace.data(), inPlace.data(), len);
      if (m < cmCTSMAC) {
        EXPECT_EQ(Hex(inPlace), Hex(sep)) << int(m) << " " << len;
      }
      EXPECT_EQ(Hex(a->Feedback(), 16), Hex(b->Feedback(), 16)) << int(m) << " " << len;
      if (m >= cmCTSMAC) continue;
      auto c = Aes(Key16, m), e = Aes(Key16, m);
      std::string back = Decode(*c, sep);
      std::string backInPlace = sep;
      e->DecodeBuffer(backInPlace.data(), backInPlace.data(), len);
      EXPECT_EQ(back, src) << int(m) << " " << len;
      EXPECT_EQ(backInPlace, src) << int(m) << " " << len;
    }
  }
  // Stream modes continue across calls of any length.
  for (TCipherMode m : {cmCFB, cmOFB, cmCTR, cmCFBMAC}) {
    auto a = Aes(Key16, m), b = Aes(Key16, m);
    std::string whole = Encode(*a, data), pieces;
    for (size_t i = 0, n = 1; i < data.size(); i += n, n = n * 2 + 1)
      pieces += Encode(*b, data.substr(i, std::min(n, data.size() - i)));
    EXPECT_EQ(Hex(pieces), Hex(whole)) << int(m);
    EXPECT_EQ(Hex(a->Feedback(), 16), Hex(b->Feedback(), 16)) << int(m);
  }
}

TEST(CipherModes, ZeroLengthChangesNothing) {
  for (TCipherMode m : AllModes) {
    auto c = Aes(Key16, m);
    std::string before = Hex(c->Feedback(), 16) + Hex(c->Counter(), 16);
    char out = 'x';
    c->EncodeBuffer("a", &out, 0);
    c->DecodeBuffer("a", &out, 0);
    EXPECT_EQ(out, 'x');
    EXPECT_EQ(Hex(c->Feedback(), 16) + Hex(c->Counter(), 16), before) << int(m);
    EXPECT_EQ(c->KeyStreamPos(), 16);
  }
}

TEST(CipherModes, DoneRestartsChainingButNotTheCounter) {
  auto c = Aes(Key16, cmCBC);
  std::string first = Encode(*c, Msg40.substr(0, 32));
  c->Done();
  EXPECT_EQ(Hex(c->Feedback(), 16), Hex(c->Vector(), 16));
  EXPECT_EQ(Encode(*c, Msg40.substr(0, 32)), first);
  auto d = Aes(Key16, cmCTR);
  std::string a = Encode(*d, std::string(20, '\0'));
  d->Done();
  std::string b = Encode(*d, std::string(12, '\0'));
  EXPECT_EQ(Hex(a + b), "7e59379b5233969d25a5ad2ce335cb3e1fb0c23bd209ac911ee3ab8a2d85ebcd");
}

// A new key restarts the key stream: bytes after a re-key mid-block must not
// use the key-stream block made under the old key.
TEST(CipherModes, RekeyingRestartsTheKeyStream) {
  auto c = Aes(Unhex("000102030405060708090a0b0c0d0e0f"), cmCTR);
  Encode(*c, std::string(5, '\0'));
  c->Init(Key16.data(), 16, nullptr);
  EXPECT_EQ(c->KeyStreamPos(), 16);
  EXPECT_EQ(Hex(Encode(*c, std::string(16, '\0'))), "7e59379b5233969d25a5ad2ce335cb3e");
  c->Protect();
  EXPECT_FALSE(c->GetFlag(1));
  EXPECT_EQ(Hex(c->Feedback(), 16), std::string(32, 'f'));
  EXPECT_EQ(Hex(c->Counter(), 16), std::string(32, '0'));
}

TEST(CipherModes, ErrorsCarryTheirCodes) {
  TCipher_Rijndael c;
  char buf[16] = {};
  try {
    c.EncodeBuffer(buf, buf, 16);
    FAIL();
  } catch (const ECipherException& e) {
    EXPECT_EQ(e.ErrorCode(), errNotInitialized);
    EXPECT_EQ(e.Message(), "TCipher_Rijndael is not initialized call Init() or InitKey() before.");
  }
  EXPECT_EQ(Raised([&] { c.DecodeBuffer(buf, buf, 0); }),
            "ECipherException: TCipher_Rijndael is not initialized call Init() or InitKey() before.");
  EXPECT_EQ(Raised([&] { c.CodeInit(paEncode); }),
            "ECipherException: TCipher_Rijndael is not initialized call Init() or InitKey() before.");

  auto e = Aes(Key16, cmECB);
  std::string data = Encode(*e, Msg40);  // encoding a partial block works ...
  try {
    e->DecodeBuffer(data.data(), data.data(), 40);  // ... decoding it is refused
    FAIL();
  } catch (const ECipherException& x) {
    EXPECT_EQ(x.ErrorCode(), errInvalidDataLength);
  }
  EXPECT_EQ(Hex(data), "50fe67cc996d32b6da0937e99bafec60c84af0b613435d5d9182801a9bd9320bbc977db175ea2896");

  // Too long keys are cut, or refused while CheckCipherKeySize is on.
  auto cut = Aes(Key16 + Key16 + "extra", cmECB);
  auto exact = Aes(Key16 + Key16, cmECB);
  EXPECT_EQ(Encode(*cut, Msg40.substr(0, 16)), Encode(*exact, Msg40.substr(0, 16)));
  CheckCipherKeySize = true;
  std::string longKey(33, 'k');
  try {
    cut->Init(longKey.data(), 33, nullptr);
    CheckCipherKeySize = false;
    FAIL();
  } catch (const ECipherException& x) {
    CheckCipherKeySize = false;
    EXPECT_EQ(x.ErrorCode(), errInvalidKeySize);
    EXPECT_EQ(x.Message(),
              "Length from Encryptionkey is invalid.\r\nKeysize for TCipher_Rijndael must be to 0-32 bytes");
  }
  // A negative length counts as no key: the all-zero AES-128 key.
  TCipher_Rijndael n2;
  n2.Init("ignored", -3, nullptr);
  n2.SetMode(cmECB);
  EXPECT_EQ(Hex(Encode(n2, Unhex("00112233445566778899aabbccddeeff"))), "c8a331ff8edd3db175e1545dbefb760b");
}

// The key-pointer constructor, as the archive engine makes its ciphers.
TEST(CipherKeys, KeyPointerConstructorReplacesTheCallersBlock) {
  uint8_t* key = new uint8_t[16];
  std::memcpy(key, Key16.data(), 16);
  uint8_t* old = key;
  TCipher_Rijndael c(key, 16);
  EXPECT_NE(key, old);
  EXPECT_NE(Hex(key, 16), Hex(Key16));
  delete[] key;
  EXPECT_TRUE(c.GetFlag(0));
  EXPECT_TRUE(c.GetFlag(1));
  EXPECT_TRUE(c.Actions().Empty());
  EXPECT_EQ(c.GetProtection(), nullptr);
  c.SetMode(cmCTR);
  EXPECT_EQ(Hex(Encode(c, std::string(32, '\0'))), "7e59379b5233969d25a5ad2ce335cb3e1fb0c23bd209ac911ee3ab8a2d85ebcd");

  uint8_t* none = nullptr;
  TCipher_Rijndael n(none, 16);
  EXPECT_EQ(none, nullptr);
  EXPECT_FALSE(n.GetFlag(1));
  char buf[4] = {};
  EXPECT_EQ(Raised([&] { n.EncodeBuffer(buf, buf, 4); }),
            "ECipherException: TCipher_Rijndael is not initialized call Init() or InitKey() before.");
}

// A password is hashed with RIPEMD-256 into the key; setting the key encrypts
// the digest with the mode in force, so in counter mode it uses up key stream.
TEST(CipherKeys, PasswordKeysFollowTheModeInForce) {
  TCipher_Rijndael c("secret");
  EXPECT_TRUE(c.GetFlag(0));
  EXPECT_EQ(c.HashClass(), &THash_RipeMD256::Class);
  c.SetMode(cmCTR);
  EXPECT_EQ(Hex(Encode(c, std::string(20, '\0'))), "7ebc9bdec3fa160dfb0b4fbd4708d67f53433f08");
  TCipher_Rijndael d;
  d.SetMode(cmCTR);
  d.InitKey("secret", nullptr);
  EXPECT_EQ(Hex(Encode(d, std::string(20, '\0'))), "959032cdd923d37ea37cd3de120f0a8fdb4b22a1");

  TCipher_Rijndael e("secret");
  e.SetHashClass(&THash_RipeMD128::Class);
  EXPECT_EQ(e.HashClass(), &THash_RipeMD128::Class);
  e.InitKey("secret", nullptr);
  e.SetMode(cmCTR);
  EXPECT_NE(Hex(Encode(e, std::string(20, '\0'))), "7ebc9bdec3fa160dfb0b4fbd4708d67f53433f08");
  e.SetHashClass(nullptr);
  EXPECT_EQ(e.HashClass(), &THash_RipeMD256::Class);
}

// The whole AES item road: PBKDF2-HMAC-SHA1 keys, the key-pointer cipher in
// counter mode, HMAC-SHA1 over the cipher text (model and hashlib values).
TEST(CipherKeys, ZipAesItemFromTheDerivedKeys) {
  const uint8_t salt[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  TPBKDF2 kdf("password", salt, 8, 1000);
  uint8_t* derived = nullptr;
  kdf.GetKeyBytes(34, derived);
  uint8_t* aesKey = new uint8_t[16];
  std::memcpy(aesKey, derived, 16);
  auto* cipher = new TCipher_Rijndael(aesKey, 16);
  cipher->SetMode(cmCTR);
  THMAC_Context mac;
  hmac_init(mac, FindHash_by_Name("SHA1"), derived + 16, 16);
  char data[] = "Fennolit";
  cipher->EncodeBuffer(data, data, 3);
  cipher->EncodeBuffer(data + 3, data + 3, 5);
  hmac_updateXL(mac, data, 8);
  THashDigest code;
  hmac_final(mac, code);
  EXPECT_EQ(Hex(data, 8), "a14be6cdc339715d");
  EXPECT_EQ(Hex(code, 10), "419f4ddb50ebfb34bcd3");
  EXPECT_EQ(Hex(derived + 32, 2), "b51c");
  delete cipher;
  delete[] aesKey;
  delete[] derived;
}

// Long counter-mode streams in chunks of changing size against the model.
TEST(CipherKeys, CounterModeAgreesWithTheModelOnLongStreams) {
  TempDir dir;
  std::string data = PatternBytes(70000, 5);
  WriteFileBytes(dir.File("plain.bin"), data);
  std::vector<std::string> keys = {Key16, PatternBytes(24, 1), PatternBytes(32, 2)};
  std::vector<std::string> requests;
  for (const std::string& k : keys) requests.push_back("ctr " + Hex(k) + " " + UnixPath(dir.File("plain.bin")));
  std::vector<std::string> expected = RunModel(requests);
  ASSERT_EQ(expected.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    auto c = Aes(keys[i], cmCTR);
    std::string out = data;
    for (size_t p = 0, n = 7; p < out.size(); p += n, n = (n * 13 + 5) % 5000 + 1)
      c->EncodeBuffer(out.data() + p, out.data() + p, static_cast<int>(std::min(n, out.size() - p)));
    EXPECT_EQ(Hex(out), expected[i]) << keys[i].size();
  }
}

TEST(CipherRegistry, NamesClassesAndDefault) {
  EXPECT_EQ(CipherList()->Count(), 1);
  EXPECT_EQ(CipherList()->Strings(0), "Rijndael=");
  EXPECT_EQ(GetCipherClass("Rijndael"), &TCipher_Rijndael::Class);
  EXPECT_EQ(GetCipherClass("tcipher_RIJNDAEL"), &TCipher_Rijndael::Class);
  EXPECT_EQ(GetCipherClass("Blowfish"), nullptr);
  EXPECT_EQ(GetCipherName(&TCipher_Rijndael::Class), "Rijndael");
  EXPECT_EQ(GetCipherName(&TCipher_RijndaelZE::Class), "RijndaelZE");
  EXPECT_FALSE(RegisterCipher(nullptr, "x", "y"));
  EXPECT_TRUE(RegisterCipher(&TCipher_RijndaelZE::Class, "  AES-ZE ", "other schedule"));
  EXPECT_EQ(CipherList()->Strings(1), "AES-ZE=other schedule");
  EXPECT_EQ(GetCipherClass("AES-ZE"), &TCipher_RijndaelZE::Class);
  EXPECT_EQ(GetCipherClass("RijndaelZE"), &TCipher_RijndaelZE::Class);
  EXPECT_EQ(GetCipherName(&TCipher_RijndaelZE::Class), "AES-ZE");
  EXPECT_TRUE(RegisterCipher(&TCipher_RijndaelZE::Class, "", "again"));  // replaces the entry
  EXPECT_EQ(CipherList()->Count(), 2);
  EXPECT_EQ(CipherList()->Strings(1), "RijndaelZE=again");
  TStringList names;
  CipherNames(&names);
  ASSERT_EQ(names.Count(), 2);
  EXPECT_EQ(names.Strings(1), "RijndaelZE");
  EXPECT_EQ(reinterpret_cast<const void*>(names.Objects(1)), &TCipher_RijndaelZE::Class);
  EXPECT_TRUE(UnregisterCipher(&TCipher_RijndaelZE::Class));
  EXPECT_FALSE(UnregisterCipher(&TCipher_RijndaelZE::Class));
  EXPECT_EQ(CipherList()->Count(), 1);

  EXPECT_EQ(DefaultCipherClass(), &TCipher_Rijndael::Class);
  SetDefaultCipherClass(&TCipher_RijndaelZE::Class);
  EXPECT_EQ(DefaultCipherClass(), &TCipher_RijndaelZE::Class);
  SetDefaultCipherClass(nullptr);
  EXPECT_EQ(DefaultCipherClass(), &TCipher_Rijndael::Class);
  EXPECT_EQ(TCipher_Rijndael::Class.MaxKeySize(), 32);
  EXPECT_EQ(TCipher_Rijndael::Class.Identity(), 0x81F8);
}
