#include "ZECryptoTransform.h"

#include <algorithm>
#include <cstring>

#include "classes.h"

#include "Cipher_Rijndael.h"
#include "Zekeyderiv.h"

#include "ZEDirManager.h"

CL_DEFINE_CLASS(TZECryptoTransform, TObject)
CL_DEFINE_CLASS(TAESCryptoTransform, TZECryptoTransform)

void TZECryptoTransform::Initialize(TCryptoTransformMode mode, const TDirItem&) { FMode = mode; }

TAESCryptoTransform::TAESCryptoTransform(int keyBits, uint16_t vendorVersion, uint16_t method)
    : FKeyLength(static_cast<uint16_t>((keyBits + 4) / 8)),
      FVendorVersion(vendorVersion),
      FMethod(method) {
  FHashDesc = FindHash_by_Name("SHA1");
}

TAESCryptoTransform::~TAESCryptoTransform() = default;

std::vector<uint8_t> TAESCryptoTransform::Derive(const AnsiString& password) const {
  TPBKDF2 kdf(password, FSalt.data(), static_cast<int>(FSalt.size()), ZE_AES_ITERATIONS);
  uint8_t* bytes = nullptr;
  kdf.GetKeyBytes(2 * FKeyLength + 2, bytes);
  std::vector<uint8_t> derived(bytes, bytes + 2 * FKeyLength + 2);
  std::fill(bytes, bytes + 2 * FKeyLength + 2, 0);
  delete[] bytes;
  return derived;
}

void TAESCryptoTransform::UpdateKeys() {
  FKeyDerivation.reset(new TPBKDF2(FPassword, FSalt.data(), static_cast<int>(FSalt.size()), ZE_AES_ITERATIONS));
  uint8_t* bytes = nullptr;
  const int n = 2 * FKeyLength + 2;
  FKeyDerivation->GetKeyBytes(n, bytes);
  FAESKey.assign(bytes, bytes + FKeyLength);
  FHmacKey.assign(bytes + FKeyLength, bytes + 2 * FKeyLength);
  FPasswordCheck.assign(bytes + 2 * FKeyLength, bytes + n);
  FDerivedCheck = FPasswordCheck;
  std::fill(bytes, bytes + n, 0);
  delete[] bytes;
  hmac_init(FHmac, FHashDesc, FHmacKey.data(), FKeyLength);
  FCodeDone = false;
  // The cipher takes over (and scrambles) the block it is keyed with: hand it
  // a copy, so that GetKey still answers the key.
  uint8_t* key = new uint8_t[FKeyLength];
  std::memcpy(key, FAESKey.data(), FKeyLength);
  FCipher.reset(new TCipher_Rijndael(key, FKeyLength));
  delete[] key;
  FCipher->SetMode(cmCTR);
}

void TAESCryptoTransform::GenerateKey(const AnsiString& password) {
  FPassword = password;
  if (FMode == TCryptoTransformMode::Decryption) {
    // Reading: the keys come from the item's salt, which loading the start
    // block brings; a key from a new random salt would serve nothing.
    if (!FSalt.empty()) UpdateKeys();
    return;
  }
  // Every item written gets a salt of its own from the system's cryptographic
  // generator, so that no two items share a key stream.
  FKeyDerivation.reset(new TPBKDF2(password, FKeyLength / 2, ZE_AES_ITERATIONS));
  uint8_t* salt = FKeyDerivation->GetSaltValue();
  FSalt.assign(salt, salt + FKeyLength / 2);
  delete[] salt;
  UpdateKeys();
}

bool TAESCryptoTransform::CheckPassword(const AnsiString& password, const TDirItem&) {
  if (FSalt.size() != static_cast<size_t>(FKeyLength / 2) || FPasswordCheck.size() != 2) return false;
  // The keys in hand were derived from this password and this salt: their
  // check value answers without deriving again.
  if (password == FPassword && FDerivedCheck.size() == 2) return FDerivedCheck == FPasswordCheck;
  const std::vector<uint8_t> derived = Derive(password);
  return derived[2 * FKeyLength] == FPasswordCheck[0] && derived[2 * FKeyLength + 1] == FPasswordCheck[1];
}

void TAESCryptoTransform::Reset() {
  FPassword = AnsiString();
  FKeyLength = 0;
  FKeyDerivation.reset();
  FCipher.reset();
  FHmacKey.clear();
  FAESKey.clear();
  FPasswordCheck.clear();
  FDerivedCheck.clear();
  FSalt.clear();
  FStoredCode.clear();
  FHmac = THMAC_Context{};
  FCodeDone = false;
}

int32_t TAESCryptoTransform::EncryptBuffer(const uint8_t* inBuf, int32_t inIndex, int32_t count, uint8_t* outBuf,
                                           int32_t outIndex) {
  if (count <= 0 || !FCipher) return 0;
  FCipher->EncodeBuffer(inBuf + inIndex, outBuf + outIndex, count);
  hmac_updateXL(FHmac, outBuf + outIndex, static_cast<uint32_t>(count));
  return count;
}

int32_t TAESCryptoTransform::DecryptBuffer(const uint8_t* inBuf, int32_t inIndex, int32_t count, uint8_t* outBuf,
                                           int32_t outIndex) {
  if (count <= 0 || !FCipher) return 0;
  // The code covers the encrypted bytes: take them before they are replaced.
  hmac_updateXL(FHmac, inBuf + inIndex, static_cast<uint32_t>(count));
  FCipher->DecodeBuffer(inBuf + inIndex, outBuf + outIndex, count);
  return count;
}

std::vector<uint8_t> TAESCryptoTransform::GetFileStorageStartBlock() {
  std::vector<uint8_t> block = FSalt;
  block.insert(block.end(), FPasswordCheck.begin(), FPasswordCheck.end());
  return block;
}

void TAESCryptoTransform::LoadFileStorageStartBlock(TStream* stream, int64_t offset) {
  if (offset != 0) stream->Seek(offset, soCurrent);
  FSalt.assign(FKeyLength / 2, 0);
  stream->ReadBuffer(FSalt.data(), static_cast<int32_t>(FSalt.size()));
  UpdateKeys();
  FPasswordCheck.assign(2, 0);
  stream->ReadBuffer(FPasswordCheck.data(), 2);
}

// WinZip's AE-1 items carry the authentication code as well (they differ from
// AE-2 only in keeping the CRC), so both versions write and read it; reading
// none after an AE-1 item would take its code for data.
int32_t TAESCryptoTransform::GetFileStorageEndBlockSize() { return FAuthLength; }

const uint8_t* TAESCryptoTransform::FinalCode() {
  if (!FCodeDone) {
    hmac_final(FHmac, FCode);
    FCodeDone = true;
  }
  return FCode;
}

std::vector<uint8_t> TAESCryptoTransform::GetFileStorageEndBlock() {
  const uint8_t* code = FinalCode();
  FStoredCode.assign(code, code + FAuthLength);
  return FStoredCode;
}

void TAESCryptoTransform::LoadFileStorageEndBlock(TStream* stream, int64_t offset) {
  if (offset != 0) stream->Seek(offset, soCurrent);
  FStoredCode.assign(static_cast<size_t>(FAuthLength), 0);
  stream->ReadBuffer(FStoredCode.data(), FAuthLength);
}

bool TAESCryptoTransform::IsDirItemCorrupted(const TDirItem& item, uint32_t crc32) {
  if (FVendorVersion == 1 && item.Header.Crc32 != crc32) return true;
  if (FStoredCode.size() != static_cast<size_t>(FAuthLength)) return true;
  return std::memcmp(FinalCode(), FStoredCode.data(), static_cast<size_t>(FAuthLength)) != 0;
}

TZEExtraBlock TAESCryptoTransform::GetExtraFieldData() {
  TZEExtraBlock block;
  block.Id = ZE_EXTRA_AES;
  PutLE16(block.Data, FVendorVersion);
  block.Data.push_back('A');
  block.Data.push_back('E');
  block.Data.push_back(static_cast<uint8_t>(FKeyLength == 16 ? 1 : FKeyLength == 24 ? 2 : 3));
  PutLE16(block.Data, FMethod);
  return block;
}

const TZEExtraBlock* FindAESBlock(const TDirItem& item) {
  for (const TZEExtraBlock& b : item.ExtraBlocks)
    if (b.Id == ZE_EXTRA_AES && b.Data.size() >= 7) return &b;
  return nullptr;
}

int AESKeyBits(int strength) {
  switch (strength) {
    case 1: return 128;
    case 2: return 192;
    case 3: return 256;
    default: return 0;
  }
}

void TZEItemCrypt::Encrypt(uint8_t* buffer, int32_t count) {
  if (count <= 0) return;
  if (Pkzip)
    ZipEncryptBuffer(count, 0, buffer, Keys);
  else if (Aes)
    Aes->EncryptBuffer(buffer, 0, count, buffer, 0);
}

void TZEItemCrypt::Decrypt(uint8_t* buffer, int32_t count) {
  if (count <= 0) return;
  if (Pkzip)
    ZipDecryptBuffer(buffer, count, Keys);
  else if (Aes)
    Aes->DecryptBuffer(buffer, 0, count, buffer, 0);
}
