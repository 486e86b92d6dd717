#include "Cipher_DES.h"

#include <array>
#include <cstring>

namespace {

// Bit numbers count from 1 at the most significant bit, as the standard does.
constexpr uint8_t IPTable[64] = {58, 50, 42, 34, 26, 18, 10, 2,  60, 52, 44, 36, 28, 20, 12, 4,  62, 54, 46, 38, 30, 22,
                                 14, 6,  64, 56, 48, 40, 32, 24, 16, 8,  57, 49, 41, 33, 25, 17, 9,  1,  59, 51, 43, 35,
                                 27, 19, 11, 3,  61, 53, 45, 37, 29, 21, 13, 5,  63, 55, 47, 39, 31, 23, 15, 7};
constexpr uint8_t PTable[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr uint8_t PC1Table[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                                  35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                                  46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr uint8_t PC2Table[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                  26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                  51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr uint8_t Shifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
// clang-format off
constexpr uint8_t SBox[8][64] = {
    {
        14,  4, 13,  1,  2, 15, 11,  8,  3, 10,  6, 12,  5,  9,  0,  7,
         0, 15,  7,  4, 14,  2, 13,  1, 10,  6, 12, 11,  9,  5,  3,  8,
         4,  1, 14,  8, 13,  6,  2, 11, 15, 12,  9,  7,  3, 10,  5,  0,
        15, 12,  8,  2,  4,  9,  1,  7,  5, 11,  3, 14, 10,  0,  6, 13
    },
    {
        15,  1,  8, 14,  6, 11,  3,  4,  9,  7,  2, 13, 12,  0,  5, 10,
         3, 13,  4,  7, 15,  2,  8, 14, 12,  0,  1, 10,  6,  9, 11,  5,
         0, 14,  7, 11, 10,  4, 13,  1,  5,  8, 12,  6,  9,  3,  2, 15,
        13,  8, 10,  1,  3, 15,  4,  2, 11,  6,  7, 12,  0,  5, 14,  9
    },
    {
        10,  0,  9, 14,  6,  3, 15,  5,  1, 13, 12,  7, 11,  4,  2,  8,
        13,  7,  0,  9,  3,  4,  6, 10,  2,  8,  5, 14, 12, 11, 15,  1,
        13,  6,  4,  9,  8, 15,  3,  0, 11,  1,  2, 12,  5, 10, 14,  7,
         1, 10, 13,  0,  6,  9,  8,  7,  4, 15, 14,  3, 11,  5,  2, 12
    },
    {
         7, 13, 14,  3,  0,  6,  9, 10,  1,  2,  8,  5, 11, 12,  4, 15,
        13,  8, 11,  5,  6, 15,  0,  3,  4,  7,  2, 12,  1, 10, 14,  9,
        10,  6,  9,  0, 12, 11,  7, 13, 15,  1,  3, 14,  5,  2,  8,  4,
         3, 15,  0,  6, 10,  1, 13,  8,  9,  4,  5, 11, 12,  7,  2, 14
    },
    {
         2, 12,  4,  1,  7, 10, 11,  6,  8,  5,  3, 15, 13,  0, 14,  9,
        14, 11,  2, 12,  4,  7, 13,  1,  5,  0, 15, 10,  3,  9,  8,  6,
         4,  2,  1, 11, 10, 13,  7,  8, 15,  9, 12,  5,  6,  3,  0, 14,
        11,  8, 12,  7,  1, 14,  2, 13,  6, 15,  0,  9, 10,  4,  5,  3
    },
    {
        12,  1, 10, 15,  9,  2,  6,  8,  0, 13,  3,  4, 14,  7,  5, 11,
        10, 15,  4,  2,  7, 12,  9,  5,  6,  1, 13, 14,  0, 11,  3,  8,
         9, 14, 15,  5,  2,  8, 12,  3,  7,  0,  4, 10,  1, 13, 11,  6,
         4,  3,  2, 12,  9,  5, 15, 10, 11, 14,  1,  7,  6,  0,  8, 13
    },
    {
         4, 11,  2, 14, 15,  0,  8, 13,  3, 12,  9,  7,  5, 10,  6,  1,
        13,  0, 11,  7,  4,  9,  1, 10, 14,  3,  5, 12,  2, 15,  8,  6,
         1,  4, 11, 13, 12,  3,  7, 14, 10, 15,  6,  8,  0,  5,  9,  2,
         6, 11, 13,  8,  1,  4, 10,  7,  9,  5,  0, 15, 14,  2,  3, 12
    },
    {
        13,  2,  8,  4,  6, 15, 11,  1, 10,  9,  3, 14,  5,  0, 12,  7,
         1, 15, 13,  8, 10,  3,  7,  4, 12,  5,  6, 11,  0, 14,  9,  2,
         7, 11,  4,  1,  9, 12, 14,  2,  0,  6, 10, 13, 15,  3,  5,  8,
         2,  1, 14,  7,  4, 10,  8, 13, 15, 12,  9,  0,  3,  5,  6, 11
    },
};
// clang-format on

using PermTable = std::array<std::array<uint64_t, 256>, 8>;

// A 64-bit permutation as eight byte-indexed tables: each input byte adds the
// output bits its bits go to.
constexpr PermTable MakePerm(const uint8_t (&src)[64]) {
  PermTable t{};
  for (int j = 0; j < 64; ++j) {
    int b = src[j] - 1;
    for (int v = 0; v < 256; ++v)
      if (v & (0x80 >> (b % 8))) t[b / 8][v] |= uint64_t(1) << (63 - j);
  }
  return t;
}

constexpr PermTable IPPerm = MakePerm(IPTable);

constexpr PermTable MakeFPPerm() {
  uint8_t fp[64] = {};
  for (int i = 0; i < 64; ++i) fp[IPTable[i] - 1] = static_cast<uint8_t>(i + 1);
  return MakePerm(fp);
}
constexpr PermTable FPPerm = MakeFPPerm();

// S-box i followed by P, indexed by the six input bits of that S-box.
constexpr std::array<std::array<uint32_t, 64>, 8> MakeSP() {
  std::array<std::array<uint32_t, 64>, 8> t{};
  for (int i = 0; i < 8; ++i)
    for (int v = 0; v < 64; ++v) {
      int row = ((v >> 4) & 2) | (v & 1);
      int col = (v >> 1) & 15;
      uint32_t pre = uint32_t(SBox[i][row * 16 + col]) << (28 - 4 * i);
      uint32_t out = 0;
      for (int j = 0; j < 32; ++j)
        if ((pre >> (32 - PTable[j])) & 1) out |= 1u << (31 - j);
      t[i][v] = out;
    }
  return t;
}
constexpr auto SP = MakeSP();

inline uint64_t Permute(const PermTable& t, uint64_t x) {
  uint64_t r = 0;
  for (int m = 0; m < 8; ++m) r |= t[m][(x >> (56 - 8 * m)) & 0xFF];
  return r;
}

inline uint32_t Rol(uint32_t x, int n) {
  n &= 31;
  return n ? (x << n) | (x >> (32 - n)) : x;
}

const uint8_t DES1TestVector[32] = {0xa3, 0x84, 0x2e, 0x2d, 0x8e, 0x9f, 0xd0, 0x92, 0xf6, 0x0d, 0x57,
                                    0x91, 0x9c, 0xfc, 0x8f, 0x47, 0xa2, 0x64, 0xe7, 0x7e, 0x64, 0xa8,
                                    0xf2, 0x39, 0xf3, 0x89, 0xa8, 0x04, 0xef, 0xad, 0x14, 0x37};
const uint8_t DES3TestVector[32] = {0x6c, 0x24, 0x91, 0x53, 0x08, 0xcc, 0x80, 0x9c, 0x0f, 0x79, 0xf3,
                                    0x49, 0xc5, 0x1f, 0xde, 0xb1, 0x2f, 0x43, 0x34, 0x3a, 0x7f, 0xda,
                                    0x8c, 0x01, 0xb3, 0xb5, 0xa3, 0x3c, 0xca, 0xdb, 0xd9, 0x8f};
const uint8_t DES3TTestVector[32] = {0x11, 0x1b, 0x14, 0xda, 0x7f, 0x88, 0x6f, 0xd4, 0x82, 0x77, 0x3b,
                                     0x45, 0x32, 0xfe, 0x27, 0xbb, 0x58, 0xb9, 0x6f, 0x0c, 0x0d, 0xec,
                                     0x60, 0xef, 0x4a, 0x6a, 0x70, 0x27, 0x18, 0x4c, 0xaa, 0xc9};

}  // namespace

const TCipherMeta TCipher_1DES::Class = {{"TCipher_1DES", &TCipher::Class, nullptr},
                                         &NewCipher<TCipher_1DES>,
                                         &TCipher_1DES::GetContext,
                                         &TCipher_1DES::TestVector};
const TCipherMeta TCipher_3DES::Class = {{"TCipher_3DES", &TCipher_1DES::Class, nullptr},
                                         &NewCipher<TCipher_3DES>,
                                         &TCipher_3DES::GetContext,
                                         &TCipher_3DES::TestVector};
const TCipherMeta TCipher_3TDES::Class = {{"TCipher_3TDES", &TCipher_3DES::Class, nullptr},
                                          &NewCipher<TCipher_3TDES>,
                                          &TCipher_3TDES::GetContext,
                                          &TCipher_3TDES::TestVector};

void TCipher_1DES::GetContext(int& bufSize, int& keySize, int& userSize) {
  bufSize = 8;
  keySize = 8;
  userSize = 256;
}
void TCipher_3DES::GetContext(int& bufSize, int& keySize, int& userSize) {
  bufSize = 8;
  keySize = 24;
  userSize = 768;
}
void TCipher_3TDES::GetContext(int& bufSize, int& keySize, int& userSize) {
  TCipher_3DES::GetContext(bufSize, keySize, userSize);
  bufSize = 24;
}

const uint8_t* TCipher_1DES::TestVector() { return DES1TestVector; }
const uint8_t* TCipher_3DES::TestVector() { return DES3TestVector; }
const uint8_t* TCipher_3TDES::TestVector() { return DES3TTestVector; }

void TCipher_1DES::MakeKey(const uint8_t* key, int keyHigh, uint32_t* subkeys, bool reverse) {
  uint64_t k = 0;
  for (int i = 0; i < 8; ++i) k = (k << 8) | (i <= keyHigh ? key[i] : 0);
  // PC-1 drops the parity bits and splits the rest into two 28-bit halves.
  uint32_t c = 0, d = 0;
  for (int j = 0; j < 28; ++j) {
    c = (c << 1) | static_cast<uint32_t>((k >> (64 - PC1Table[j])) & 1);
    d = (d << 1) | static_cast<uint32_t>((k >> (64 - PC1Table[28 + j])) & 1);
  }
  for (int round = 0; round < 16; ++round) {
    for (int s = 0; s < Shifts[round]; ++s) {
      c = ((c << 1) | (c >> 27)) & 0x0FFFFFFF;
      d = ((d << 1) | (d >> 27)) & 0x0FFFFFFF;
    }
    uint64_t cd = (uint64_t(c) << 28) | d;  // bit 1 of the 56 is bit 55 here
    uint8_t chunk[8] = {};
    for (int j = 0; j < 48; ++j)
      if ((cd >> (56 - PC2Table[j])) & 1) chunk[j / 6] |= static_cast<uint8_t>(0x20 >> (j % 6));
    int slot = reverse ? 15 - round : round;
    subkeys[2 * slot] = chunk[0] | uint32_t(chunk[1]) << 8 | uint32_t(chunk[2]) << 16 | uint32_t(chunk[3]) << 24;
    subkeys[2 * slot + 1] = chunk[4] | uint32_t(chunk[5]) << 8 | uint32_t(chunk[6]) << 16 | uint32_t(chunk[7]) << 24;
  }
}

void TCipher_1DES::DESFunc(const uint32_t* subkeys, uint8_t* block) {
  uint32_t w[2];
  std::memcpy(w, block, 8);
  uint64_t x = uint64_t(SwapInteger(w[0])) << 32 | SwapInteger(w[1]);
  x = Permute(IPPerm, x);
  uint32_t l = static_cast<uint32_t>(x >> 32), r = static_cast<uint32_t>(x);
  for (int round = 0; round < 16; ++round) {
    uint32_t k0 = subkeys[2 * round], k1 = subkeys[2 * round + 1];
    uint32_t f = 0;
    for (int i = 0; i < 4; ++i) {
      f ^= SP[i][(Rol(r, 5 + 4 * i) ^ (k0 >> (8 * i))) & 0x3F];
      f ^= SP[4 + i][(Rol(r, 21 + 4 * i) ^ (k1 >> (8 * i))) & 0x3F];
    }
    uint32_t t = l ^ f;
    l = r;
    r = t;
  }
  x = Permute(FPPerm, uint64_t(r) << 32 | l);
  w[0] = SwapInteger(static_cast<uint32_t>(x >> 32));
  w[1] = SwapInteger(static_cast<uint32_t>(x));
  std::memcpy(block, w, 8);
}

void TCipher_1DES::Init(const void* key, int size, const void* IVector) {
  InitBegin(size);
  uint8_t k[8] = {};
  if (size > 0) std::memcpy(k, key, size);
  uint32_t* sets = static_cast<uint32_t*>(User());
  MakeKey(k, 7, sets, false);
  MakeKey(k, 7, sets + 32, true);
  WipeBuffer(k, sizeof k);
  InitEnd(IVector);
}

void TCipher_1DES::Encode(void* data) { DESFunc(static_cast<const uint32_t*>(User()), static_cast<uint8_t*>(data)); }

void TCipher_1DES::Decode(void* data) {
  DESFunc(static_cast<const uint32_t*>(User()) + 32, static_cast<uint8_t*>(data));
}

void TCipher_3DES::Init(const void* key, int size, const void* IVector) {
  InitBegin(size);
  uint8_t k[24] = {};
  if (size > 0) std::memcpy(k, key, size);
  uint32_t* sets = static_cast<uint32_t*>(User());
  for (int i = 0; i < 3; ++i) {
    MakeKey(k + 8 * i, 7, sets + 64 * i, false);
    MakeKey(k + 8 * i, 7, sets + 64 * i + 32, true);
  }
  WipeBuffer(k, sizeof k);
  InitEnd(IVector);
}

void TCipher_3DES::Encode(void* data) {
  uint8_t* b = static_cast<uint8_t*>(data);
  DESFunc(Set(0, false), b);
  DESFunc(Set(1, true), b);
  DESFunc(Set(2, false), b);
}

void TCipher_3DES::Decode(void* data) {
  uint8_t* b = static_cast<uint8_t*>(data);
  DESFunc(Set(2, true), b);
  DESFunc(Set(1, false), b);
  DESFunc(Set(0, true), b);
}

namespace {
// Words 1 and 2, 3 and 4 of the 24-byte block change places.
void ExchangeWords(uint8_t* b) {
  uint8_t t[4];
  std::memcpy(t, b + 4, 4);
  std::memcpy(b + 4, b + 8, 4);
  std::memcpy(b + 8, t, 4);
  std::memcpy(t, b + 12, 4);
  std::memcpy(b + 12, b + 16, 4);
  std::memcpy(b + 16, t, 4);
}
}  // namespace

void TCipher_3TDES::Encode(void* data) {
  uint8_t* b = static_cast<uint8_t*>(data);
  for (int i = 0; i < 3; ++i) DESFunc(Set(0, false), b + 8 * i);
  ExchangeWords(b);
  for (int i = 0; i < 3; ++i) DESFunc(Set(1, true), b + 8 * i);
  ExchangeWords(b);
  for (int i = 0; i < 3; ++i) DESFunc(Set(2, false), b + 8 * i);
}

void TCipher_3TDES::Decode(void* data) {
  uint8_t* b = static_cast<uint8_t*>(data);
  for (int i = 0; i < 3; ++i) DESFunc(Set(2, true), b + 8 * i);
  ExchangeWords(b);
  for (int i = 0; i < 3; ++i) DESFunc(Set(1, false), b + 8 * i);
  ExchangeWords(b);
  for (int i = 0; i < 3; ++i) DESFunc(Set(0, true), b + 8 * i);
}
