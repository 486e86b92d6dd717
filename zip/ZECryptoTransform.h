// Per-item encryption transforms. TAESCryptoTransform is the "AE" scheme of the
// ZIP format: a password-derived AES key in counter mode, an HMAC-SHA1 code over
// the encrypted data, a salt and a 2-byte password check value stored before
// the data and a 10-byte authentication code stored after it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "system.h"

#include "Zehmac.h"
#include "ZEPkzipCrypt.h"
#include "ZipFormat.h"

class TStream;
class TPBKDF2;
class TCipher_Rijndael;
struct TDirItem;

enum class TCryptoTransformMode : uint8_t { Encryption = 0, Decryption = 1 };

class TZECryptoTransform : public TObject {
  CL_CLASS(TZECryptoTransform, TObject)
public:
  virtual void GenerateKey(const AnsiString& password) = 0;
  virtual bool CheckPassword(const AnsiString& password, const TDirItem& item) = 0;
  virtual std::vector<uint8_t> GetKey() = 0;
  virtual AnsiString GetPassword() = 0;
  virtual void Initialize(TCryptoTransformMode mode, const TDirItem& item);
  virtual void Reset() = 0;
  virtual int32_t DecryptBuffer(const uint8_t* inBuf, int32_t inIndex, int32_t count, uint8_t* outBuf,
                                int32_t outIndex) = 0;
  virtual int32_t EncryptBuffer(const uint8_t* inBuf, int32_t inIndex, int32_t count, uint8_t* outBuf,
                                int32_t outIndex) = 0;
  virtual std::vector<uint8_t> GetFileStorageStartBlock() = 0;
  virtual void LoadFileStorageStartBlock(TStream* stream, int64_t offset) = 0;
  virtual int32_t GetFileStorageStartBlockSize() = 0;
  // Empty when the scheme stores nothing after the data.
  virtual std::vector<uint8_t> GetFileStorageEndBlock() = 0;
  virtual void LoadFileStorageEndBlock(TStream* stream, int64_t offset) = 0;
  virtual int32_t GetFileStorageEndBlockSize() = 0;
  virtual bool IsDirItemCorrupted(const TDirItem& item, uint32_t crc32) = 0;
  virtual TZEExtraBlock GetExtraFieldData() = 0;

  TCryptoTransformMode Mode() const { return FMode; }

protected:
  TCryptoTransformMode FMode = TCryptoTransformMode::Encryption;
};

// The method field of an AES item; its own method is in the AES block.
constexpr uint16_t ZE_METHOD_AES = 99;
constexpr int ZE_AES_ITERATIONS = 1000;
constexpr int ZE_AES_AUTH_LENGTH = 10;

class TAESCryptoTransform : public TZECryptoTransform {
  CL_CLASS(TAESCryptoTransform, TZECryptoTransform)
public:
  // keyBits 128, 192 or 256; method is the item's own compression method,
  // which the extra field records.
  TAESCryptoTransform(int keyBits, uint16_t vendorVersion, uint16_t method);
  ~TAESCryptoTransform() override;
  TAESCryptoTransform(const TAESCryptoTransform&) = delete;
  TAESCryptoTransform& operator=(const TAESCryptoTransform&) = delete;

  void GenerateKey(const AnsiString& password) override;
  bool CheckPassword(const AnsiString& password, const TDirItem& item) override;
  std::vector<uint8_t> GetKey() override { return FAESKey; }
  AnsiString GetPassword() override { return FPassword; }
  void Reset() override;
  int32_t DecryptBuffer(const uint8_t* inBuf, int32_t inIndex, int32_t count, uint8_t* outBuf,
                        int32_t outIndex) override;
  int32_t EncryptBuffer(const uint8_t* inBuf, int32_t inIndex, int32_t count, uint8_t* outBuf,
                        int32_t outIndex) override;
  std::vector<uint8_t> GetFileStorageStartBlock() override;
  void LoadFileStorageStartBlock(TStream* stream, int64_t offset) override;
  int32_t GetFileStorageStartBlockSize() override { return FKeyLength / 2 + 2; }
  std::vector<uint8_t> GetFileStorageEndBlock() override;
  void LoadFileStorageEndBlock(TStream* stream, int64_t offset) override;
  int32_t GetFileStorageEndBlockSize() override;
  bool IsDirItemCorrupted(const TDirItem& item, uint32_t crc32) override;
  TZEExtraBlock GetExtraFieldData() override;

  uint16_t KeyLength() const { return FKeyLength; }
  uint16_t VendorVersion() const { return FVendorVersion; }
  const std::vector<uint8_t>& Salt() const { return FSalt; }
  const std::vector<uint8_t>& PasswordCheck() const { return FPasswordCheck; }

private:
  // Derives the AES key, the HMAC key and the check value from the password
  // and the salt, and restarts the HMAC and the key stream.
  void UpdateKeys();
  std::vector<uint8_t> Derive(const AnsiString& password) const;
  // Finishes the HMAC once; later calls give the same code.
  const uint8_t* FinalCode();

  std::unique_ptr<TPBKDF2> FKeyDerivation;
  THMAC_Context FHmac{};
  PHashDesc FHashDesc = nullptr;
  std::unique_ptr<TCipher_Rijndael> FCipher;
  uint16_t FKeyLength = 0;
  std::vector<uint8_t> FHmacKey, FAESKey, FPasswordCheck, FSalt, FStoredCode;
  std::vector<uint8_t> FDerivedCheck;  // the check value of the keys in hand
  AnsiString FPassword;
  uint16_t FVendorVersion = 2;
  uint16_t FMethod = 0;
  int32_t FAuthLength = ZE_AES_AUTH_LENGTH;
  THashDigest FCode{};
  bool FCodeDone = false;
};

// The AES block of an item (identifier 0x9901 with at least its 7 bytes), or
// null.
const TZEExtraBlock* FindAESBlock(const TDirItem& item);
// 128, 192 or 256 for the strength 1, 2 or 3; 0 for anything else.
int AESKeyBits(int strength);

// The encryption of the item the codec is moving: traditional PKWARE keys or
// an AES transform, or neither for a plain item.
struct TZEItemCrypt {
  bool Pkzip = false;
  TZipKeys Keys;
  std::unique_ptr<TAESCryptoTransform> Aes;

  bool Active() const { return Pkzip || Aes; }
  // In place; nothing for a plain item.
  void Encrypt(uint8_t* buffer, int32_t count);
  void Decrypt(uint8_t* buffer, int32_t count);
};
