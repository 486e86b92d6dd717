// HMAC (RFC 2104) over any registered hash descriptor.
//
// The archive engine's AES items use:
//   void hmac_init(THMAC_Context& ctx, PHashDesc desc, const void* key, uint16_t keyLen);
//   void hmac_updateXL(THMAC_Context& ctx, const void* data, uint32_t len);
//   void hmac_final(THMAC_Context& ctx, THashDigest& mac);   // first DigestLen bytes are the MAC
#pragma once

#include <cstdint>

#include "Zehash.h"

struct THMAC_Context {
  THashContext HashCtx;
  uint8_t HmacBuf[MaxBlockLen];  // the key pad
  PHashDesc PHashD;              // null when started without a descriptor
};

// Zeroes the context; with a null desc later calls do nothing.
void hmac_init(THMAC_Context& ctx, PHashDesc desc, const void* key, uint16_t keyLen);
// The same with a string key; does nothing at all when desc is null.
void hmac_inits(THMAC_Context& ctx, PHashDesc desc, const AnsiString& key);
void hmac_update(THMAC_Context& ctx, const void* data, uint16_t len);
void hmac_updateXL(THMAC_Context& ctx, const void* data, uint32_t len);
void hmac_final(THMAC_Context& ctx, THashDigest& mac);
