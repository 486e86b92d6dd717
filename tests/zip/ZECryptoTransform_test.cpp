// The AES item transform against bytes made by Python's hashlib and
// cryptography (PBKDF2-HMAC-SHA1, AES in counter mode from 1, HMAC-SHA1).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ZECryptoTransform.h"
#include "ZEDirManager.h"
#include "ZipTestUtil.h"

namespace {

std::vector<uint8_t> Hex(const std::string& h) {
  std::vector<uint8_t> v;
  for (size_t i = 0; i + 1 < h.size(); i += 2) v.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
  return v;
}

// AES-256, password "pass", salt 00..0F.
const char* const kDerived256 =
    "741ad949e9112c2472ecc62c29e6f9b8be930607229d8adaafe56bb7f97fce87"
    "d1872b47d26847fe159750c5a9283ae345e1d460f3547896a252b08a611d9042"
    "4b48";
const char* const kPlain = "The quick brown fox jumps over the lazy dog, twice over.";
const char* const kCipher =
    "6cb387133fff2089cda0f6db6bd0703b0cbf6bf0d6d579d2f32afaa6fb4f6bdb"
    "810ac1ba780818c60672a0939e2f761c781f72ab641dc002";
const char* const kCode = "4f5af07a4aa36d9d8de8";

// salt, check value, cipher text, code: an item's data as stored.
std::string StoredItem(const std::string& code = kCode) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 16; ++i) bytes.push_back(static_cast<uint8_t>(i));
  const std::vector<uint8_t> derived = Hex(kDerived256);
  bytes.push_back(derived[64]);
  bytes.push_back(derived[65]);
  for (uint8_t b : Hex(kCipher)) bytes.push_back(b);
  for (uint8_t b : Hex(code)) bytes.push_back(b);
  return std::string(bytes.begin(), bytes.end());
}

std::unique_ptr<TAESCryptoTransform> Reader(TMemoryStream& m, const std::string& stored, const AnsiString& pw,
                                            uint16_t vendor = 2) {
  m.Clear();
  m.WriteBuffer(stored.data(), static_cast<int32_t>(stored.size()));
  m.SetPosition(0);
  std::unique_ptr<TAESCryptoTransform> t(new TAESCryptoTransform(256, vendor, 8));
  t->Initialize(TCryptoTransformMode::Decryption, TDirItem());
  t->GenerateKey(pw);
  t->LoadFileStorageStartBlock(&m, 0);
  return t;
}

TEST(AESTransform, SizesByStrength) {
  struct Case {
    int Bits;
    uint16_t KeyLength;
    int StartBlock;
    uint8_t Strength;
  };
  const Case cases[] = {{128, 16, 10, 1}, {192, 24, 14, 2}, {256, 32, 18, 3}};
  for (const Case& c : cases) {
    TAESCryptoTransform t(c.Bits, 2, 8);
    t.Initialize(TCryptoTransformMode::Encryption, TDirItem());
    t.GenerateKey("pw");
    EXPECT_EQ(t.KeyLength(), c.KeyLength);
    EXPECT_EQ(t.GetFileStorageStartBlockSize(), c.StartBlock);
    EXPECT_EQ(t.GetFileStorageStartBlock().size(), static_cast<size_t>(c.StartBlock));
    EXPECT_EQ(t.GetKey().size(), c.KeyLength);
    EXPECT_EQ(t.GetFileStorageEndBlockSize(), 10);
    EXPECT_EQ(t.GetExtraFieldData().Data[4], c.Strength);
  }
}

TEST(AESTransform, ExtraFieldBytes) {
  struct Case {
    int Bits;
    uint16_t Vendor, Method;
    std::vector<uint8_t> Data;
  };
  const Case cases[] = {
      {128, 2, 8, {0x02, 0x00, 0x41, 0x45, 0x01, 0x08, 0x00}},
      {192, 2, 0, {0x02, 0x00, 0x41, 0x45, 0x02, 0x00, 0x00}},
      {256, 1, 8, {0x01, 0x00, 0x41, 0x45, 0x03, 0x08, 0x00}},
  };
  for (const Case& c : cases) {
    TAESCryptoTransform t(c.Bits, c.Vendor, c.Method);
    const TZEExtraBlock b = t.GetExtraFieldData();
    EXPECT_EQ(b.Id, 0x9901);
    EXPECT_EQ(b.Data, c.Data) << c.Bits;
  }
}

TEST(AESTransform, ReadsAnItemMadeByAnotherImplementation) {
  TMemoryStream m;
  auto t = Reader(m, StoredItem(), "pass");
  EXPECT_TRUE(t->CheckPassword("pass", TDirItem()));
  // The key is derived bytes 0..31, the check value bytes 64 and 65.
  const std::vector<uint8_t> derived = Hex(kDerived256);
  EXPECT_EQ(t->GetKey(), std::vector<uint8_t>(derived.begin(), derived.begin() + 32));
  EXPECT_EQ(t->PasswordCheck(), std::vector<uint8_t>(derived.begin() + 64, derived.end()));
  std::vector<uint8_t> data = Hex(kCipher);
  // In two calls of odd lengths: the key stream runs on.
  t->DecryptBuffer(data.data(), 0, 13, data.data(), 0);
  t->DecryptBuffer(data.data(), 13, static_cast<int32_t>(data.size()) - 13, data.data(), 13);
  EXPECT_EQ(std::string(data.begin(), data.end()), kPlain);
  t->LoadFileStorageEndBlock(&m, static_cast<int64_t>(data.size()));
  EXPECT_FALSE(t->IsDirItemCorrupted(TDirItem(), 0));
}

TEST(AESTransform, DamagedDataOrCodeIsDetected) {
  struct Case {
    const char* What;
    int FlipAt;  // byte of the stored item to change
  };
  const Case cases[] = {{"first data byte", 18}, {"last data byte", 18 + 55}, {"code", 18 + 56 + 9}};
  for (const Case& c : cases) {
    std::string stored = StoredItem();
    stored[static_cast<size_t>(c.FlipAt)] ^= 0x01;
    TMemoryStream m;
    auto t = Reader(m, stored, "pass");
    std::vector<uint8_t> data(56);
    m.ReadBuffer(data.data(), 56);
    t->DecryptBuffer(data.data(), 0, 56, data.data(), 0);
    t->LoadFileStorageEndBlock(&m, 0);
    EXPECT_TRUE(t->IsDirItemCorrupted(TDirItem(), 0)) << c.What;
  }
}

TEST(AESTransform, AWrongPasswordThenTheRightOne) {
  TMemoryStream m;
  auto t = Reader(m, StoredItem(), "wrong");
  EXPECT_FALSE(t->CheckPassword("wrong", TDirItem()));
  EXPECT_FALSE(t->CheckPassword("", TDirItem()));
  EXPECT_TRUE(t->CheckPassword("pass", TDirItem()));
  // The right password after the wrong one restarts the keys and the code.
  t->GenerateKey("pass");
  std::vector<uint8_t> data = Hex(kCipher);
  t->DecryptBuffer(data.data(), 0, static_cast<int32_t>(data.size()), data.data(), 0);
  EXPECT_EQ(std::string(data.begin(), data.end()), kPlain);
  t->LoadFileStorageEndBlock(&m, static_cast<int64_t>(data.size()));
  EXPECT_FALSE(t->IsDirItemCorrupted(TDirItem(), 0));
}

TEST(AESTransform, VendorOneChecksTheCrcAsWellAsTheCode) {
  TDirItem item;
  item.Header.Crc32 = 0x12345678;
  struct Case {
    uint32_t Crc;
    bool Corrupted;
  };
  for (const Case& c : {Case{0x12345678, false}, Case{0x12345679, true}}) {
    TMemoryStream m;
    auto t = Reader(m, StoredItem(), "pass", 1);
    std::vector<uint8_t> data(56);
    m.ReadBuffer(data.data(), 56);
    t->DecryptBuffer(data.data(), 0, 56, data.data(), 0);
    t->LoadFileStorageEndBlock(&m, 0);  // the code follows the data in AE-1 items too
    EXPECT_EQ(t->IsDirItemCorrupted(item, c.Crc), c.Corrupted) << std::hex << c.Crc;
  }
}

TEST(AESTransform, WrittenItemsReadBackAndNeverShareASalt) {
  const std::string plain(100000, 'z');
  std::vector<std::string> items;
  for (int i = 0; i < 2; ++i) {
    TAESCryptoTransform w(128, 2, 0);
    w.Initialize(TCryptoTransformMode::Encryption, TDirItem());
    w.GenerateKey("pw");
    std::vector<uint8_t> start = w.GetFileStorageStartBlock();
    std::string data = plain;
    w.EncryptBuffer(reinterpret_cast<uint8_t*>(data.data()), 0, 7, reinterpret_cast<uint8_t*>(data.data()), 0);
    w.EncryptBuffer(reinterpret_cast<uint8_t*>(data.data()), 7, static_cast<int32_t>(data.size()) - 7,
                    reinterpret_cast<uint8_t*>(data.data()), 7);
    std::vector<uint8_t> code = w.GetFileStorageEndBlock();
    ASSERT_EQ(code.size(), 10u);
    items.push_back(std::string(start.begin(), start.end()) + data + std::string(code.begin(), code.end()));
  }
  // Same password, same data: different salts, so different keys and bytes.
  EXPECT_NE(items[0].substr(0, 8), items[1].substr(0, 8));
  EXPECT_NE(items[0].substr(10, 64), items[1].substr(10, 64));
  for (const std::string& stored : items) {
    TMemoryStream m;
    m.WriteBuffer(stored.data(), static_cast<int32_t>(stored.size()));
    m.SetPosition(0);
    TAESCryptoTransform r(128, 2, 0);
    r.Initialize(TCryptoTransformMode::Decryption, TDirItem());
    r.GenerateKey("pw");
    r.LoadFileStorageStartBlock(&m, 0);
    ASSERT_TRUE(r.CheckPassword("pw", TDirItem()));
    std::string data(plain.size(), '\0');
    m.ReadBuffer(data.data(), static_cast<int32_t>(data.size()));
    r.DecryptBuffer(reinterpret_cast<uint8_t*>(data.data()), 0, static_cast<int32_t>(data.size()),
                    reinterpret_cast<uint8_t*>(data.data()), 0);
    EXPECT_EQ(data, plain);
    r.LoadFileStorageEndBlock(&m, 0);
    EXPECT_FALSE(r.IsDirItemCorrupted(TDirItem(), 0));
  }
}

TEST(AESTransform, ResetForgetsEverything) {
  TAESCryptoTransform t(256, 2, 8);
  t.Initialize(TCryptoTransformMode::Encryption, TDirItem());
  t.GenerateKey("pw");
  t.Reset();
  EXPECT_EQ(t.GetPassword(), "");
  EXPECT_TRUE(t.GetKey().empty());
  EXPECT_TRUE(t.Salt().empty());
  EXPECT_EQ(t.KeyLength(), 0);
  uint8_t b[4] = {1, 2, 3, 4};
  EXPECT_EQ(t.EncryptBuffer(b, 0, 4, b, 0), 0);  // no keys: nothing is touched
  EXPECT_EQ(b[0], 1);
}

TEST(NullStream, TakesEverythingAndKeepsNothing) {
  TNullStream s;
  char buf[16] = {};
  for (int32_t n : {0, 1, 16, 1 << 20}) EXPECT_EQ(s.Write(buf, n), n);
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Seek(int64_t(100), soBeginning), 0);
}

}  // namespace
