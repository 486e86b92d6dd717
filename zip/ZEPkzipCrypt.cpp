#include "ZEPkzipCrypt.h"

#include "classes.h"

#include "ZECodec.h"

namespace {
// One byte of the reflected CRC-32 without the inversions of the checksum.
inline uint64_t CrcStep(uint64_t c, uint8_t b) {
  return (ZipCrc32Table()[(c ^ b) & 0xFF] ^ ((c & 0xFFFFFFFFu) >> 8)) & 0xFFFFFFFFu;
}
}  // namespace

void ZipUpdateKeys(uint8_t b, TZipKeys& keys) {
  keys.Key0 = CrcStep(keys.Key0, b);
  keys.Key1 = ((keys.Key1 + (keys.Key0 & 0xFF)) * 134775813u + 1) & 0xFFFFFFFFu;
  keys.Key2 = CrcStep(keys.Key2, static_cast<uint8_t>(keys.Key1 >> 24));
}

uint8_t ZipDecryptByte(const TZipKeys& keys) {
  const uint32_t t = static_cast<uint32_t>((keys.Key2 | 2) & 0xFFFF);
  return static_cast<uint8_t>(((t * (t ^ 1)) >> 8) & 0xFF);
}

void ZipEncryptKeyInit(const AnsiString& password, TZipKeys& keys) {
  keys.Key0 = 0x12345678;
  keys.Key1 = 0x23456789;
  keys.Key2 = 0x34567890;
  const char* p = password.c_str();
  for (int i = 0; i < password.Length(); ++i) ZipUpdateKeys(static_cast<uint8_t>(p[i]), keys);
}

void ZipKeyInit(const AnsiString& password, TZipKeys& keys, uint8_t header[ZE_PKZIP_HEADER_SIZE]) {
  ZipEncryptKeyInit(password, keys);
  ZipDecryptBuffer(header, ZE_PKZIP_HEADER_SIZE, keys);
}

uint8_t ZipEncryptByte(uint8_t b, TZipKeys& keys) {
  const uint8_t k = ZipDecryptByte(keys);
  ZipUpdateKeys(b, keys);
  return static_cast<uint8_t>(b ^ k);
}

void ZipEncryptBuffer(int32_t count, int32_t start, uint8_t* buffer, TZipKeys& keys) {
  for (int32_t i = start; i < start + count; ++i) buffer[i] = ZipEncryptByte(buffer[i], keys);
}

void ZipDecryptBuffer(uint8_t* buffer, int32_t count, TZipKeys& keys) {
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t p = static_cast<uint8_t>(buffer[i] ^ ZipDecryptByte(keys));
    ZipUpdateKeys(p, keys);
    buffer[i] = p;
  }
}

bool ZipInitPassword(TStream* stream, const AnsiString& password, uint16_t flags, uint16_t time, uint32_t crc,
                     TZipKeys& keys) {
  uint8_t header[ZE_PKZIP_HEADER_SIZE];
  if (stream->Read(header, ZE_PKZIP_HEADER_SIZE) != ZE_PKZIP_HEADER_SIZE) return false;
  ZipKeyInit(password, keys, header);
  const uint8_t check = (flags & 8) ? static_cast<uint8_t>(time >> 8) : static_cast<uint8_t>(crc >> 24);
  return header[ZE_PKZIP_HEADER_SIZE - 1] == check;
}
