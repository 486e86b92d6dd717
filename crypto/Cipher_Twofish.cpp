#include "Cipher_Twofish.h"

#include <array>
#include <cstring>

namespace {

// The 4-bit tables from which the two fixed byte permutations q0 and q1 are built.
constexpr uint8_t Q0T[4][16] = {{8, 1, 7, 13, 6, 15, 3, 2, 0, 11, 5, 9, 14, 12, 10, 4},
                                {14, 12, 11, 8, 1, 2, 3, 5, 15, 4, 10, 6, 7, 0, 9, 13},
                                {11, 10, 5, 14, 6, 13, 9, 0, 12, 8, 15, 3, 2, 4, 7, 1},
                                {13, 7, 15, 4, 1, 2, 6, 14, 9, 11, 3, 0, 8, 5, 12, 10}};
constexpr uint8_t Q1T[4][16] = {{2, 8, 11, 13, 15, 7, 6, 14, 3, 1, 9, 4, 0, 10, 12, 5},
                                {1, 14, 2, 11, 4, 12, 3, 7, 6, 13, 10, 5, 15, 9, 0, 8},
                                {4, 12, 7, 5, 1, 6, 9, 10, 0, 14, 13, 8, 2, 11, 3, 15},
                                {11, 9, 5, 1, 12, 3, 13, 14, 6, 4, 7, 15, 2, 0, 8, 10}};

constexpr uint8_t Ror4(uint8_t x, int n) { return static_cast<uint8_t>(((x >> n) | (x << (4 - n))) & 15); }

constexpr std::array<uint8_t, 256> MakeQ(const uint8_t (&t)[4][16]) {
  std::array<uint8_t, 256> q{};
  for (int x = 0; x < 256; ++x) {
    uint8_t a0 = static_cast<uint8_t>(x >> 4), b0 = static_cast<uint8_t>(x & 15);
    uint8_t a1 = a0 ^ b0, b1 = static_cast<uint8_t>((a0 ^ Ror4(b0, 1) ^ (8 * a0)) & 15);
    uint8_t a2 = t[0][a1], b2 = t[1][b1];
    uint8_t a3 = a2 ^ b2, b3 = static_cast<uint8_t>((a2 ^ Ror4(b2, 1) ^ (8 * a2)) & 15);
    uint8_t a4 = t[2][a3], b4 = t[3][b3];
    q[x] = static_cast<uint8_t>(16 * b4 + a4);
  }
  return q;
}
constexpr auto Q0 = MakeQ(Q0T);
constexpr auto Q1 = MakeQ(Q1T);

constexpr uint8_t GMul(uint8_t a, uint8_t b, unsigned poly) {
  unsigned r = 0, x = a;
  while (b) {
    if (b & 1) r ^= x;
    x <<= 1;
    if (x & 0x100) x ^= poly;
    b >>= 1;
  }
  return static_cast<uint8_t>(r);
}

constexpr uint8_t MDS[4][4] = {
    {0x01, 0xEF, 0x5B, 0x5B}, {0x5B, 0xEF, 0xEF, 0x01}, {0xEF, 0x5B, 0x01, 0xEF}, {0xEF, 0x01, 0xEF, 0x5B}};
constexpr uint8_t RS[4][8] = {{0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
                              {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
                              {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
                              {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03}};

// Column j of the MDS matrix times a byte, as a little-endian word.
constexpr std::array<std::array<uint32_t, 256>, 4> MakeMDSColumns() {
  std::array<std::array<uint32_t, 256>, 4> t{};
  for (int j = 0; j < 4; ++j)
    for (int x = 0; x < 256; ++x) {
      uint32_t w = 0;
      for (int i = 0; i < 4; ++i) w |= uint32_t(GMul(static_cast<uint8_t>(x), MDS[i][j], 0x169)) << (8 * i);
      t[j][x] = w;
    }
  return t;
}
constexpr auto MDSCol = MakeMDSColumns();

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t Ror(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
inline uint8_t Byte(uint32_t w, int i) { return static_cast<uint8_t>(w >> (8 * i)); }

// The byte chain of h before the MDS matrix: byte i of x through the q
// permutations with the key words l[k-1] .. l[0].
inline void HBytes(uint8_t y[4], const uint32_t* l, int k) {
  if (k == 4) {
    y[0] = Q1[y[0]] ^ Byte(l[3], 0);
    y[1] = Q0[y[1]] ^ Byte(l[3], 1);
    y[2] = Q0[y[2]] ^ Byte(l[3], 2);
    y[3] = Q1[y[3]] ^ Byte(l[3], 3);
  }
  if (k >= 3) {
    y[0] = Q1[y[0]] ^ Byte(l[2], 0);
    y[1] = Q1[y[1]] ^ Byte(l[2], 1);
    y[2] = Q0[y[2]] ^ Byte(l[2], 2);
    y[3] = Q0[y[3]] ^ Byte(l[2], 3);
  }
  y[0] = Q1[Q0[Q0[y[0]] ^ Byte(l[1], 0)] ^ Byte(l[0], 0)];
  y[1] = Q0[Q0[Q1[y[1]] ^ Byte(l[1], 1)] ^ Byte(l[0], 1)];
  y[2] = Q1[Q1[Q0[y[2]] ^ Byte(l[1], 2)] ^ Byte(l[0], 2)];
  y[3] = Q0[Q1[Q1[y[3]] ^ Byte(l[1], 3)] ^ Byte(l[0], 3)];
}

uint32_t H(uint32_t x, const uint32_t* l, int k) {
  uint8_t y[4] = {Byte(x, 0), Byte(x, 1), Byte(x, 2), Byte(x, 3)};
  HBytes(y, l, k);
  return MDSCol[0][y[0]] ^ MDSCol[1][y[1]] ^ MDSCol[2][y[2]] ^ MDSCol[3][y[3]];
}

struct Schedule {
  uint32_t K[40];
  uint32_t S[4][256];  // the key-dependent S-boxes with the MDS matrix applied
};
static_assert(sizeof(Schedule) == 4256);

inline uint32_t G(const Schedule& s, uint32_t x) {
  return s.S[0][Byte(x, 0)] ^ s.S[1][Byte(x, 1)] ^ s.S[2][Byte(x, 2)] ^ s.S[3][Byte(x, 3)];
}

const uint8_t TwofishTestVector[32] = {0xe0, 0xb0, 0xc9, 0xde, 0xd8, 0x8f, 0x04, 0x48, 0xcb, 0x06, 0xf3,
                                       0xcf, 0xf5, 0x23, 0x97, 0x67, 0x77, 0xa2, 0x11, 0x09, 0x31, 0xb5,
                                       0x23, 0x54, 0x86, 0x86, 0x4c, 0xdb, 0x28, 0x9e, 0x0b, 0xa4};

}  // namespace

const TCipherMeta TCipher_Twofish::Class = {{"TCipher_Twofish", &TCipher::Class, nullptr},
                                            &NewCipher<TCipher_Twofish>,
                                            &TCipher_Twofish::GetContext,
                                            &TCipher_Twofish::TestVector};

void TCipher_Twofish::GetContext(int& bufSize, int& keySize, int& userSize) {
  bufSize = 16;
  keySize = 32;
  userSize = sizeof(Schedule);
}

const uint8_t* TCipher_Twofish::TestVector() { return TwofishTestVector; }

void TCipher_Twofish::Init(const void* key, int size, const void* IVector) {
  InitBegin(size);
  uint8_t kb[32] = {};
  if (size > 0) std::memcpy(kb, key, size);
  int n = size <= 16 ? 16 : size <= 24 ? 24 : 32;
  int k = n / 8;
  uint32_t me[4], mo[4], sk[4];
  for (int i = 0; i < k; ++i) {
    std::memcpy(&me[i], kb + 8 * i, 4);
    std::memcpy(&mo[i], kb + 8 * i + 4, 4);
    // The Reed-Solomon words, in reverse order.
    uint32_t v = 0;
    for (int r = 0; r < 4; ++r) {
      uint8_t acc = 0;
      for (int c = 0; c < 8; ++c) acc ^= GMul(kb[8 * i + c], RS[r][c], 0x14D);
      v |= uint32_t(acc) << (8 * r);
    }
    sk[k - 1 - i] = v;
  }
  Schedule& s = *static_cast<Schedule*>(User());
  const uint32_t rho = 0x01010101u;
  for (int i = 0; i < 20; ++i) {
    uint32_t a = H(2 * i * rho, me, k);
    uint32_t b = Rol(H((2 * i + 1) * rho, mo, k), 8);
    s.K[2 * i] = a + b;
    s.K[2 * i + 1] = Rol(a + 2 * b, 9);
  }
  for (int x = 0; x < 256; ++x) {
    uint8_t y[4] = {static_cast<uint8_t>(x), static_cast<uint8_t>(x), static_cast<uint8_t>(x), static_cast<uint8_t>(x)};
    HBytes(y, sk, k);
    for (int j = 0; j < 4; ++j) s.S[j][x] = MDSCol[j][y[j]];
  }
  WipeBuffer(kb, sizeof kb);
  WipeBuffer(me, sizeof me);
  WipeBuffer(mo, sizeof mo);
  WipeBuffer(sk, sizeof sk);
  InitEnd(IVector);
}

void TCipher_Twofish::Encode(void* data) {
  const Schedule& s = *static_cast<const Schedule*>(User());
  uint32_t r[4];
  std::memcpy(r, data, 16);
  for (int i = 0; i < 4; ++i) r[i] ^= s.K[i];
  for (int round = 0; round < 16; round += 2) {
    uint32_t t0 = G(s, r[0]), t1 = G(s, Rol(r[1], 8));
    r[2] = Ror(r[2] ^ (t0 + t1 + s.K[2 * round + 8]), 1);
    r[3] = Rol(r[3], 1) ^ (t0 + 2 * t1 + s.K[2 * round + 9]);
    t0 = G(s, r[2]);
    t1 = G(s, Rol(r[3], 8));
    r[0] = Ror(r[0] ^ (t0 + t1 + s.K[2 * round + 10]), 1);
    r[1] = Rol(r[1], 1) ^ (t0 + 2 * t1 + s.K[2 * round + 11]);
  }
  uint32_t out[4] = {r[2] ^ s.K[4], r[3] ^ s.K[5], r[0] ^ s.K[6], r[1] ^ s.K[7]};
  std::memcpy(data, out, 16);
}

void TCipher_Twofish::Decode(void* data) {
  const Schedule& s = *static_cast<const Schedule*>(User());
  uint32_t c[4];
  std::memcpy(c, data, 16);
  uint32_t r[4] = {c[2] ^ s.K[6], c[3] ^ s.K[7], c[0] ^ s.K[4], c[1] ^ s.K[5]};
  for (int round = 14; round >= 0; round -= 2) {
    uint32_t t0 = G(s, r[2]), t1 = G(s, Rol(r[3], 8));
    r[0] = Rol(r[0], 1) ^ (t0 + t1 + s.K[2 * round + 10]);
    r[1] = Ror(r[1] ^ (t0 + 2 * t1 + s.K[2 * round + 11]), 1);
    t0 = G(s, r[0]);
    t1 = G(s, Rol(r[1], 8));
    r[2] = Rol(r[2], 1) ^ (t0 + t1 + s.K[2 * round + 8]);
    r[3] = Ror(r[3] ^ (t0 + 2 * t1 + s.K[2 * round + 9]), 1);
  }
  uint32_t out[4] = {r[0] ^ s.K[0], r[1] ^ s.K[1], r[2] ^ s.K[2], r[3] ^ s.K[3]};
  std::memcpy(data, out, 16);
}
