#include "Zesha1.h"

#include <cstring>

namespace {

const uint32_t SHA1_OID[6] = {1, 3, 14, 3, 2, 26};

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadBE(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void Compress(uint32_t* h, const uint8_t* block) {
  uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = LoadBE(block + 4 * i);
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];

#define SHA1_W(i) (w[(i)&15] = Rol(w[((i) + 13) & 15] ^ w[((i) + 8) & 15] ^ w[((i) + 2) & 15] ^ w[(i)&15], 1))
#define SHA1_STEP(f, k, wi)                        \
  {                                                \
    uint32_t t = Rol(a, 5) + (f) + e + (k) + (wi); \
    e = d;                                         \
    d = c;                                         \
    c = Rol(b, 30);                                \
    b = a;                                         \
    a = t;                                         \
  }
  for (int i = 0; i < 16; ++i) SHA1_STEP((b & c) | (~b & d), 0x5A827999u, w[i])
  for (int i = 16; i < 20; ++i) SHA1_STEP((b & c) | (~b & d), 0x5A827999u, SHA1_W(i))
  for (int i = 20; i < 40; ++i) SHA1_STEP(b ^ c ^ d, 0x6ED9EBA1u, SHA1_W(i))
  for (int i = 40; i < 60; ++i) SHA1_STEP((b & c) | (b & d) | (c & d), 0x8F1BBCDCu, SHA1_W(i))
  for (int i = 60; i < 80; ++i) SHA1_STEP(b ^ c ^ d, 0xCA62C1D6u, SHA1_W(i))
#undef SHA1_STEP
#undef SHA1_W
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
}

const char* const TestMsg1 = "abc";
const char* const TestMsg2 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const uint8_t TestDigest1[20] = {0xa9, 0x99, 0x3e, 0x36, 0x47, 0x06, 0x81, 0x6a, 0xba, 0x3e,
                                 0x25, 0x71, 0x78, 0x50, 0xc2, 0x6c, 0x9c, 0xd0, 0xd8, 0x9d};
const uint8_t TestDigest2[20] = {0x84, 0x98, 0x3e, 0x44, 0x1c, 0x3b, 0xd2, 0x6e, 0xba, 0xae,
                                 0x4a, 0xa1, 0xf9, 0x51, 0x29, 0xe5, 0xe5, 0x46, 0x70, 0xf1};

bool TestOne(const char* msg, const uint8_t* expected) {
  uint32_t len = static_cast<uint32_t>(std::strlen(msg));
  TSHA1Digest d;
  SHA1FullXL(d, msg, len);
  if (std::memcmp(d, expected, 20) != 0) return false;
  THashContext ctx;
  SHA1Init(ctx);
  for (uint32_t i = 0; i < len; ++i) SHA1UpdateXL(ctx, msg + i, 1);
  SHA1Final(ctx, d);
  return std::memcmp(d, expected, 20) == 0;
}

}  // namespace

const THashDesc SHA1_Desc = {HashDescSig,
                             sizeof(THashDesc),
                             HashDescVersion,
                             64,
                             20,
                             &SHA1Init,
                             &SHA1FinalEx,
                             &SHA1UpdateXL,
                             _SHA1,
                             {4, {'S', 'H', 'A', '1'}},
                             SHA1_OID,
                             6,
                             0,
                             nullptr,
                             {}};

void SHA1Init(THashContext& context) {
  std::memset(&context, 0, sizeof context);
  context.Hash[0] = 0x67452301u;
  context.Hash[1] = 0xEFCDAB89u;
  context.Hash[2] = 0x98BADCFEu;
  context.Hash[3] = 0x10325476u;
  context.Hash[4] = 0xC3D2E1F0u;
}

void SHA1UpdateXL(THashContext& context, const void* msg, uint32_t len) {
  if (len == 0) return;
  uint64_t bits = (uint64_t(context.MLen[1]) << 32 | context.MLen[0]) + uint64_t(len) * 8;
  context.MLen[0] = static_cast<uint32_t>(bits);
  context.MLen[1] = static_cast<uint32_t>(bits >> 32);
  const uint8_t* p = static_cast<const uint8_t*>(msg);
  if (context.Index > 0) {
    uint32_t n = 64 - static_cast<uint32_t>(context.Index);
    if (n > len) n = len;
    std::memcpy(context.Buffer + context.Index, p, n);
    context.Index += static_cast<int32_t>(n);
    p += n;
    len -= n;
    if (context.Index < 64) return;
    Compress(context.Hash, context.Buffer);
    context.Index = 0;
  }
  for (; len >= 64; len -= 64, p += 64) Compress(context.Hash, p);
  if (len) {
    std::memcpy(context.Buffer, p, len);
    context.Index = static_cast<int32_t>(len);
  }
}

void SHA1Update(THashContext& context, const void* msg, uint16_t len) { SHA1UpdateXL(context, msg, len); }

void SHA1FinalEx(THashContext& context, THashDigest& digest) {
  std::memset(digest, 0, sizeof digest);
  int i = context.Index;
  context.Buffer[i++] = 0x80;
  if (i > 56) {
    std::memset(context.Buffer + i, 0, 64 - i);
    Compress(context.Hash, context.Buffer);
    i = 0;
  }
  std::memset(context.Buffer + i, 0, 56 - i);
  for (int k = 0; k < 4; ++k) {
    context.Buffer[56 + k] = static_cast<uint8_t>(context.MLen[1] >> (24 - 8 * k));
    context.Buffer[60 + k] = static_cast<uint8_t>(context.MLen[0] >> (24 - 8 * k));
  }
  Compress(context.Hash, context.Buffer);
  for (int w = 0; w < 5; ++w)
    for (int k = 0; k < 4; ++k) digest[4 * w + k] = static_cast<uint8_t>(context.Hash[w] >> (24 - 8 * k));
  std::memset(&context, 0, sizeof context);
}

void SHA1Final(THashContext& context, TSHA1Digest& digest) {
  THashDigest full;
  SHA1FinalEx(context, full);
  std::memcpy(digest, full, 20);
  std::memset(full, 0, sizeof full);
}

void SHA1FullXL(TSHA1Digest& digest, const void* msg, uint32_t len) {
  THashContext ctx;
  SHA1Init(ctx);
  SHA1UpdateXL(ctx, msg, len);
  SHA1Final(ctx, digest);
}

void SHA1Full(TSHA1Digest& digest, const void* msg, uint16_t len) { SHA1FullXL(digest, msg, len); }

void SHA1File(const AnsiString& fileName, TSHA1Digest& digest, void* buffer, uint16_t bufSize, uint16_t& err) {
  THashDigest full{};
  HashFile(fileName, &SHA1_Desc, full, buffer, bufSize, err);
  std::memcpy(digest, full, 20);
}

bool SHA1SelfTest() { return TestOne(TestMsg1, TestDigest1) && TestOne(TestMsg2, TestDigest2); }

void UnitInit_Zesha1() { RegisterHash(_SHA1, &SHA1_Desc); }

void UnitFini_Zesha1() {}
