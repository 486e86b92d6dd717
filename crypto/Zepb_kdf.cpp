#include "Zepb_kdf.h"

#include <cstring>

#include "Zehmac.h"

namespace zekdf {

int32_t Derive(PHashDesc desc, const void* pPW, uint32_t pLen, const void* salt, uint32_t sLen, int32_t c, void* out,
               uint32_t outLen) {
  if (!desc) return kdf_err_nil_pointer;
  int hLen = desc->DigestLen;
  if (hLen == 0) return kdf_err_digestlen;
  int64_t l = (static_cast<int64_t>(outLen) - 1) / hLen + 1;
  if (l <= 0) return 0;

  // The HMAC takes 16-bit key lengths; a longer password is hashed first,
  // which is what HMAC does with any key longer than its block.
  THashDigest longKey;
  if (pLen > 0xFFFF) {
    HashFullXL(desc, longKey, pPW, pLen);
    pPW = longKey;
    pLen = static_cast<uint32_t>(hLen);
  }

  uint8_t* dst = static_cast<uint8_t*>(out);
  uint32_t left = outLen;
  uint8_t counter[4] = {0, 0, 0, 0};
  THMAC_Context ctx;
  THashDigest u, t;
  for (int64_t block = 0; block < l; ++block) {
    for (int k = 3; k >= 0; --k)
      if (++counter[k] != 0) break;
    std::memset(t, 0, sizeof t);
    for (int32_t j = 1; j <= c; ++j) {
      hmac_init(ctx, desc, pPW, static_cast<uint16_t>(pLen));
      if (j == 1) {
        hmac_updateXL(ctx, salt, sLen);
        hmac_updateXL(ctx, counter, 4);
      } else {
        hmac_updateXL(ctx, u, static_cast<uint32_t>(hLen));
      }
      hmac_final(ctx, u);
      for (int k = 0; k < hLen; ++k) t[k] ^= u[k];
    }
    uint32_t n = left < static_cast<uint32_t>(hLen) ? left : static_cast<uint32_t>(hLen);
    std::memcpy(dst, t, n);
    dst += n;
    left -= n;
  }
  std::memset(&ctx, 0, sizeof ctx);
  std::memset(u, 0, sizeof u);
  std::memset(t, 0, sizeof t);
  std::memset(longKey, 0, sizeof longKey);
  return 0;
}

}  // namespace zekdf

int32_t kdf2(PHashDesc desc, const void* pPW, uint16_t pLen, const void* salt, uint16_t sLen, int32_t c, void* out,
             uint16_t outLen) {
  return zekdf::Derive(desc, pPW, pLen, salt, sLen, c, out, outLen);
}

int32_t kdf2s(PHashDesc desc, const AnsiString& password, const void* salt, uint16_t sLen, int32_t c, void* out,
              uint16_t outLen) {
  return zekdf::Derive(desc, password.c_str(), static_cast<uint32_t>(password.Length()), salt, sLen, c, out, outLen);
}
