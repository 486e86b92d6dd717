#include "Zehmac.h"

#include <cstring>

void hmac_init(THMAC_Context& ctx, PHashDesc desc, const void* key, uint16_t keyLen) {
  std::memset(&ctx, 0, sizeof ctx);
  if (!desc) return;
  ctx.PHashD = desc;
  int block = desc->BlockLen;
  if (keyLen > block) {
    THashDigest d;
    HashFullXL(desc, d, key, keyLen);
    std::memcpy(ctx.HmacBuf, d, desc->DigestLen);
    std::memset(d, 0, sizeof d);
  } else if (keyLen) {
    std::memcpy(ctx.HmacBuf, key, keyLen);
  }
  for (int i = 0; i < block; ++i) ctx.HmacBuf[i] ^= 0x36;
  desc->Init(ctx.HashCtx);
  desc->Update(ctx.HashCtx, ctx.HmacBuf, block);
}

void hmac_inits(THMAC_Context& ctx, PHashDesc desc, const AnsiString& key) {
  if (!desc) return;
  if (key.Length() > 0xFFFF) {
    // Longer than the 16-bit length can say: hashed first, as HMAC does with
    // any key longer than the block.
    THashDigest d;
    HashFullXL(desc, d, key.c_str(), static_cast<uint32_t>(key.Length()));
    hmac_init(ctx, desc, d, desc->DigestLen);
    std::memset(d, 0, sizeof d);
    return;
  }
  hmac_init(ctx, desc, key.c_str(), static_cast<uint16_t>(key.Length()));
}

void hmac_update(THMAC_Context& ctx, const void* data, uint16_t len) { hmac_updateXL(ctx, data, len); }

void hmac_updateXL(THMAC_Context& ctx, const void* data, uint32_t len) {
  if (ctx.PHashD) ctx.PHashD->Update(ctx.HashCtx, data, len);
}

void hmac_final(THMAC_Context& ctx, THashDigest& mac) {
  PHashDesc desc = ctx.PHashD;
  if (!desc) return;
  int block = desc->BlockLen;
  desc->Final(ctx.HashCtx, mac);
  // 0x36 xor 0x6A = 0x5C: the inner pad becomes the outer one.
  for (int i = 0; i < block; ++i) ctx.HmacBuf[i] ^= 0x6A;
  desc->Init(ctx.HashCtx);
  desc->Update(ctx.HashCtx, ctx.HmacBuf, block);
  desc->Update(ctx.HashCtx, mac, desc->DigestLen);
  desc->Final(ctx.HashCtx, mac);
}
