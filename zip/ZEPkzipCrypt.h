// Traditional PKWARE encryption: three 32-bit keys seeded from the password and
// moved on by every plain byte, and a key-stream byte taken from the third key.
// The scheme is weak; it stays for archives that other tools open with a
// password alone.
#pragma once

#include <cstdint>

#include "system.h"

class TStream;

// The key state of one item. Each key lives in a 64-bit slot whose high half
// stays zero, as the archive's key records hold them.
struct TZipKeys {
  uint64_t Key0 = 0;
  uint64_t Key1 = 0;
  uint64_t Key2 = 0;
};

constexpr int ZE_PKZIP_HEADER_SIZE = 12;

// Moves the keys on by one plain byte.
void ZipUpdateKeys(uint8_t b, TZipKeys& keys);
// The next key-stream byte (the keys do not move).
uint8_t ZipDecryptByte(const TZipKeys& keys);
// Seeds the keys from the password's bytes (encrypting side).
void ZipEncryptKeyInit(const AnsiString& password, TZipKeys& keys);
// Seeds the keys and decrypts the 12 header bytes in place, leaving the keys
// at the first data byte.
void ZipKeyInit(const AnsiString& password, TZipKeys& keys, uint8_t header[ZE_PKZIP_HEADER_SIZE]);
uint8_t ZipEncryptByte(uint8_t b, TZipKeys& keys);
// Encrypts count bytes in place from index start.
void ZipEncryptBuffer(int32_t count, int32_t start, uint8_t* buffer, TZipKeys& keys);
// Decrypts count bytes in place from index 0.
void ZipDecryptBuffer(uint8_t* buffer, int32_t count, TZipKeys& keys);

// Reads the item's 12-byte encryption header from the stream, seeds the keys
// with the password and answers whether the header's last byte is the check
// byte: the high byte of the time when the item has a data descriptor (bit 3),
// else the high byte of the CRC. False as well when the header is cut short.
bool ZipInitPassword(TStream* stream, const AnsiString& password, uint16_t flags, uint16_t time, uint32_t crc,
                     TZipKeys& keys);
