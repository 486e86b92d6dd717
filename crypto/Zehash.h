// The registry of hash descriptors: records that carry a hash's sizes, name,
// identifier and routines, so that HMAC and PBKDF2 work over any registered
// hash. SHA-1 (Zesha1) is the one registered in this program.
//
// The archive engine's AES items use:
//   PHashDesc FindHash_by_Name(const AnsiString& name);   // "SHA1", any case
#pragma once

#include <cstddef>
#include <cstdint>

#include "system.h"

enum THashAlgorithm : int32_t {
  _MD4 = 0,
  _MD5,
  _RIPEMD160,
  _SHA1,
  _SHA224,
  _SHA256,
  _SHA384,
  _SHA512,
  _Whirlpool,
};
inline constexpr int HashAlgorithmCount = 9;

// A short string: a length byte and at most 19 characters.
struct THashName {
  uint8_t Length;
  char Chars[19];
  // Cut to 19 characters.
  static THashName From(const AnsiString& s);
  AnsiString ToString() const { return AnsiString(Chars, Length > 19 ? 19 : Length); }
};

// Digest buffers handed to a final routine hold the largest digest.
inline constexpr int MaxDigestLen = 64;
using THashDigest = uint8_t[MaxDigestLen];
inline constexpr int MaxBlockLen = 128;

// The state shared by every descriptor hash.
struct THashContext {
  uint32_t Hash[16];  // chaining state
  uint32_t MLen[4];   // message length in bits, least significant word first
  uint8_t Buffer[MaxBlockLen];
  int32_t Index;  // bytes in Buffer
};

using HashInitProc = void (*)(THashContext& context);
using HashFinalProc = void (*)(THashContext& context, THashDigest& digest);
using HashUpdateXLProc = void (*)(THashContext& context, const void* msg, uint32_t len);
using HashFinalBitProc = void (*)(THashContext& context, int bits, int bitLen, THashDigest& digest);

inline constexpr uint16_t HashDescSig = 0x3D7A;
inline constexpr uint32_t HashDescVersion = 0x00010003;

struct THashDesc {
  uint16_t Signature;  // HashDescSig
  uint16_t DescSize;   // sizeof(THashDesc), 80 with 32-bit pointers
  uint32_t Version;    // HashDescVersion
  uint16_t BlockLen;   // input block in bytes
  uint16_t DigestLen;  // digest in bytes
  HashInitProc Init;
  HashFinalProc Final;
  HashUpdateXLProc Update;
  int32_t AlgorithmId;  // THashAlgorithm, equal to the registry slot
  THashName Name;
  const uint32_t* OID;  // arcs of the object identifier
  uint16_t OIDLen;
  uint16_t Fill;
  HashFinalBitProc FinalBit;
  uint8_t Reserved[20];
};
using PHashDesc = const THashDesc*;

// The descriptor's layout with 32-bit pointers.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(THashDesc, Signature) == 0);
static_assert(offsetof(THashDesc, DescSize) == 2);
static_assert(offsetof(THashDesc, Version) == 4);
static_assert(offsetof(THashDesc, BlockLen) == 8);
static_assert(offsetof(THashDesc, DigestLen) == 10);
static_assert(offsetof(THashDesc, Init) == 12);
static_assert(offsetof(THashDesc, Final) == 16);
static_assert(offsetof(THashDesc, Update) == 20);
static_assert(offsetof(THashDesc, AlgorithmId) == 24);
static_assert(offsetof(THashDesc, Name) == 28);
static_assert(offsetof(THashDesc, OID) == 48);
static_assert(offsetof(THashDesc, OIDLen) == 52);
static_assert(offsetof(THashDesc, Fill) == 54);
static_assert(offsetof(THashDesc, FinalBit) == 56);
static_assert(offsetof(THashDesc, Reserved) == 60);
static_assert(sizeof(THashDesc) == 80);
#endif
static_assert(offsetof(THashContext, MLen) == 64);
static_assert(offsetof(THashContext, Buffer) == 80);
static_assert(offsetof(THashContext, Index) == 208);
static_assert(sizeof(THashContext) == 212);

// Stores desc in slot algo when it is a valid descriptor with that id.
void RegisterHash(THashAlgorithm algo, PHashDesc desc);
PHashDesc FindHash_by_ID(THashAlgorithm algo);
// Compared without regard to ASCII case; names are cut to 19 characters.
PHashDesc FindHash_by_Name(const AnsiString& name);
void HashUpdate(PHashDesc desc, THashContext& context, const void* msg, uint16_t len);
void HashFullXL(PHashDesc desc, THashDigest& digest, const void* msg, uint32_t len);
void HashFull(PHashDesc desc, THashDigest& digest, const void* msg, uint16_t len);
// Hashes a whole file through the caller's buffer. err: 0, the system's error
// code of the open or a read (2 file not found, 3 path not found, 5 access
// denied), or 204 for an invalid descriptor.
void HashFile(const AnsiString& fileName, PHashDesc desc, THashDigest& digest, void* buffer, uint16_t bufSize,
              uint16_t& err);

// True for a descriptor with the right signature.
inline bool IsValidHashDesc(PHashDesc desc) { return desc && desc->Signature == HashDescSig; }

void UnitInit_Zehash();
void UnitFini_Zehash();
