// PBKDF2 (RFC 2898, PKCS #5 v2.0) with HMAC over any hash descriptor.
#pragma once

#include <cstdint>

#include "Zehash.h"

// Result codes of kdf2 / kdf2s.
enum : int32_t { kdf_err_nil_pointer = 1, kdf_err_digestlen = 2 };

// Fills outLen bytes of out. Returns 0, kdf_err_nil_pointer (null descriptor)
// or kdf_err_digestlen (digest length 0); nothing is written on an error.
// An iteration count of 0 or less gives zero bytes.
int32_t kdf2(PHashDesc desc, const void* pPW, uint16_t pLen, const void* salt, uint16_t sLen, int32_t c, void* out,
             uint16_t outLen);
int32_t kdf2s(PHashDesc desc, const AnsiString& password, const void* salt, uint16_t sLen, int32_t c, void* out,
              uint16_t outLen);

namespace zekdf {
// kdf2 without the 16-bit limits on the lengths.
int32_t Derive(PHashDesc desc, const void* pPW, uint32_t pLen, const void* salt, uint32_t sLen, int32_t c, void* out,
               uint32_t outLen);
}  // namespace zekdf
