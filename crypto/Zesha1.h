// SHA-1 (FIPS 180) over the hash descriptor layer. Its descriptor is
// registered under _SHA1 with the name "SHA1" at unit start.
#pragma once

#include <cstdint>

#include "Zehash.h"

using TSHA1Digest = uint8_t[20];

void SHA1Init(THashContext& context);
void SHA1UpdateXL(THashContext& context, const void* msg, uint32_t len);
void SHA1Update(THashContext& context, const void* msg, uint16_t len);
// Clears all 64 bytes of digest, writes the 20 of SHA-1, then wipes the context.
void SHA1FinalEx(THashContext& context, THashDigest& digest);
void SHA1Final(THashContext& context, TSHA1Digest& digest);
void SHA1FullXL(TSHA1Digest& digest, const void* msg, uint32_t len);
void SHA1Full(TSHA1Digest& digest, const void* msg, uint16_t len);
void SHA1File(const AnsiString& fileName, TSHA1Digest& digest, void* buffer, uint16_t bufSize, uint16_t& err);
// The two FIPS 180 messages, each in one call and byte by byte.
bool SHA1SelfTest();

extern const THashDesc SHA1_Desc;

void UnitInit_Zesha1();
void UnitFini_Zesha1();
