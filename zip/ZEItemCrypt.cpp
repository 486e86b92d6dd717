// The component's side of item encryption: the header written before an
// encrypted item's data, the password check with its prompt when an item is
// read, and the password test of one item.
#include <algorithm>

#include "Zekeyderiv.h"

#include "ZECodec.h"
#include "ZECryptoTransform.h"
#include "ZEInternal.h"

bool TZEBaseArchiver::IsAESItem(const TDirItem& item) const {
  return FEncryptionMethod != caPkzipClassic && !item.Password.IsEmpty() && !item.IsFolder();
}

bool TZEBaseArchiver::StartItemEncryption(TStream* source, TStream* dest, TDirItem& item, int64_t sourceSize,
                                          int64_t& bytesWritten, uint32_t& crc, TZEItemCrypt& crypt) {
  if (IsAESItem(item)) {
    crypt.Aes.reset(new TAESCryptoTransform(AESKeyBits(FEncryptionMethod), 2, sourceSize == 0 ? 0 : item.RealMethod));
    crypt.Aes->Initialize(TCryptoTransformMode::Encryption, item);
    crypt.Aes->GenerateKey(item.Password);
    const std::vector<uint8_t> start = crypt.Aes->GetFileStorageStartBlock();
    if (!WriteToStreamWithOnDiskFull(dest, start.data(), static_cast<int32_t>(start.size()))) return false;
    bytesWritten += static_cast<int64_t>(start.size());
    return true;
  }
  // The header's last byte checks the password against the CRC, so the whole
  // source is read once before any data is written.
  const int32_t piece = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(sourceSize, 1), 1048576));
  std::vector<uint8_t> buffer(static_cast<size_t>(piece));
  for (int64_t done = 0; done < sourceSize;) {
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(piece, sourceSize - done));
    const int32_t got = source->Read(buffer.data(), want);
    if (got <= 0) break;
    ZipCrc32(buffer.data(), got, crc);
    done += got;
    if (got < want) break;
  }
  source->SetPosition(0);
  crypt.Pkzip = true;
  ZipEncryptKeyInit(item.Password, crypt.Keys);
  uint8_t header[ZE_PKZIP_HEADER_SIZE];
  FillRandomBytes(header, ZE_PKZIP_HEADER_SIZE - 2);
  const uint32_t final = ~crc;
  header[10] = static_cast<uint8_t>(final >> 16);
  header[11] = static_cast<uint8_t>(final >> 24);
  ZipEncryptBuffer(ZE_PKZIP_HEADER_SIZE, 0, header, crypt.Keys);
  if (!WriteToStreamWithOnDiskFull(dest, header, ZE_PKZIP_HEADER_SIZE)) return false;
  bytesWritten += ZE_PKZIP_HEADER_SIZE;
  return true;
}

bool TZEBaseArchiver::OpenItemEncryption(TStream* source, TDirItem& item, const TZEZipFileHeader& local,
                                         TZEItemCrypt& crypt) {
  const int64_t start = source->Position();
  FPipeline.PasswordSkip = false;
  for (;;) {
    source->SetPosition(start);
    bool ok = false;
    try {
      if (crypt.Pkzip) {
        ok = ZipInitPassword(source, FPassword, local.Flags, local.ModTime, local.Crc32, crypt.Keys);
      } else {
        crypt.Aes->LoadFileStorageStartBlock(source, 0);
        ok = crypt.Aes->CheckPassword(FPassword, item);
      }
    } catch (const EReadError&) {
      return false;  // the item ends inside its encryption header
    }
    // A password test goes on with the password given, and the data decides.
    if (ok || FPasswordTest) return true;
    const AnsiString tried = FPassword;
    DoOnPassword(item.StoredName, FPassword, FPipeline.PasswordSkip);
    if (FPipeline.PasswordSkip) return false;
    // The same password again would be refused again: asking once more would
    // never end with a handler that answers without changing it.
    if (FPassword == tried) return false;
    if (crypt.Aes && crypt.Aes->GetPassword() != FPassword) crypt.Aes->GenerateKey(FPassword);
  }
}

bool TZEBaseArchiver::IsFilePasswordValid(const WideString& fileName, const AnsiString& password) {
  CheckInactive();
  CheckInUpdate();
  const int index = FindItemForStreamOp(fileName);
  if (index < 0) throw EZEException(42, {fileName}, this);
  TDirItem& item = Dir().GetItemPtr(index);
  if (item.IsFolder()) return true;
  bool passes = true;
  if ((item.Header.Flags & 1) && FSpanningMode == smNone) {
    // The stored check data answers most wrong passwords without reading the data.
    try {
      FArchiveStream->SetPosition(item.LocalOffset());
      TZEZipFileHeader lh;
      FArchiveStream->ReadBuffer(&lh, 30);
      FArchiveStream->Seek(static_cast<int64_t>(lh.NameLength) + lh.ExtraLength, soCurrent);
      if (item.Header.VersionNeeded < ZE_VERSION_ALT && AESKeyBits(item.EncryptionMarker) > 0) {
        TAESCryptoTransform aes(AESKeyBits(item.EncryptionMarker), 2, item.RealMethod);
        aes.Initialize(TCryptoTransformMode::Decryption, item);
        aes.GenerateKey(password);
        aes.LoadFileStorageStartBlock(FArchiveStream, 0);
        passes = aes.CheckPassword(password, item);
      } else {
        TZipKeys keys;
        passes = ZipInitPassword(FArchiveStream, password, lh.Flags, lh.ModTime, lh.Crc32, keys);
      }
    } catch (const EReadError&) {
      passes = false;
    }
  }
  if (!passes) return false;
  const AnsiString saved = FPassword;
  const bool corrupted = FExtractCorruptedFiles;
  FPassword = password;
  FPasswordTest = true;
  // Data that fails its check must count as a wrong password here.
  FExtractCorruptedFiles = false;
  bool result = false;
  try {
    FPipeline = TPipeline();
    FWriteFailed = false;
    TNullStream sink;
    ExtractItem(index, &sink);
    result = !FPipeline.Cancel;
  } catch (const Exception&) {
    result = false;
  }
  FPassword = saved;
  FPasswordTest = false;
  FExtractCorruptedFiles = corrupted;
  return result;
}
