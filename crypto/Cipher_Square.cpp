#include "Cipher_Square.h"

#include <array>
#include <cstring>

namespace {

// Arithmetic in GF(2^8) modulo x^8 + x^7 + x^6 + x^5 + x^4 + x^2 + 1.
constexpr unsigned SquarePoly = 0x1F5;

constexpr uint8_t GMul(uint8_t a, uint8_t b) {
  unsigned r = 0, x = a;
  while (b) {
    if (b & 1) r ^= x;
    x <<= 1;
    if (x & 0x100) x ^= SquarePoly;
    b >>= 1;
  }
  return static_cast<uint8_t>(r);
}

constexpr uint32_t Rotl(uint32_t x, int n) { return n ? (x << n) | (x >> (32 - n)) : x; }

struct Tables {
  uint8_t Se[256];
  uint8_t Sd[256];
  uint32_t Te[4][256];  // gamma, then theta of the row the byte lands in
  uint32_t Td[4][256];  // inverse gamma, then inverse theta
};

// The S-box is the multiplicative inverse followed by an affine map whose
// matrix rows are these bytes and whose constant is 0xB1.
constexpr uint8_t AffineRows[8] = {0x01, 0x03, 0x05, 0x0F, 0x1F, 0x3D, 0x7B, 0xD6};

constexpr Tables MakeTables() {
  Tables t{};
  for (int x = 0; x < 256; ++x) {
    uint8_t inv = 0;
    for (int y = 1; x && y < 256; ++y)
      if (GMul(static_cast<uint8_t>(x), static_cast<uint8_t>(y)) == 1) {
        inv = static_cast<uint8_t>(y);
        break;
      }
    uint8_t s = 0;
    for (int bit = 0; bit < 8; ++bit) {
      int parity = __builtin_popcount(AffineRows[bit] & inv) & 1;
      s |= static_cast<uint8_t>(parity << bit);
    }
    s ^= 0xB1;
    t.Se[x] = s;
    t.Sd[s] = static_cast<uint8_t>(x);
  }
  // theta multiplies each row by c(x) = 2 + x + x^2 + 3x^3 modulo x^4 + 1;
  // its inverse by d(x) = 0x0E + 0x09x + 0x0Dx^2 + 0x0Bx^3.
  for (int x = 0; x < 256; ++x) {
    uint8_t e = t.Se[x], d = t.Sd[x];
    uint32_t te = uint32_t(GMul(e, 2)) | uint32_t(e) << 8 | uint32_t(e) << 16 | uint32_t(GMul(e, 3)) << 24;
    uint32_t td = uint32_t(GMul(d, 0x0E)) | uint32_t(GMul(d, 0x09)) << 8 | uint32_t(GMul(d, 0x0D)) << 16 |
                  uint32_t(GMul(d, 0x0B)) << 24;
    for (int k = 0; k < 4; ++k) {
      t.Te[k][x] = Rotl(te, 8 * k);
      t.Td[k][x] = Rotl(td, 8 * k);
    }
  }
  return t;
}

constexpr Tables T = MakeTables();

inline uint8_t Byte(uint32_t w, int i) { return static_cast<uint8_t>(w >> (8 * i)); }

// theta of one row held as a little-endian word.
uint32_t Theta(uint32_t row) {
  uint8_t a[4] = {Byte(row, 0), Byte(row, 1), Byte(row, 2), Byte(row, 3)};
  static constexpr uint8_t c[4] = {2, 1, 1, 3};
  uint32_t out = 0;
  for (int j = 0; j < 4; ++j) {
    uint8_t v = 0;
    for (int k = 0; k < 4; ++k) v ^= GMul(c[(j - k + 4) & 3], a[k]);
    out |= uint32_t(v) << (8 * j);
  }
  return out;
}

const uint8_t SquareTestVector[32] = {0xf9, 0xc7, 0x71, 0x97, 0xa1, 0x40, 0x50, 0x40, 0xb5, 0xc6, 0xda,
                                      0x3b, 0xea, 0xa3, 0xb6, 0x88, 0xc9, 0x0e, 0xc6, 0x61, 0xdf, 0x34,
                                      0xb9, 0x37, 0x9f, 0x04, 0xef, 0xed, 0x95, 0xdb, 0xe4, 0xb2};

// Round keys: 9 for encryption (theta applied to the first eight), then 9
// for decryption in reverse order (theta applied to the last).
struct Schedule {
  uint32_t Enc[9][4];
  uint32_t Dec[9][4];
};
static_assert(sizeof(Schedule) == 288);

}  // namespace

const TCipherMeta TCipher_Square::Class = {{"TCipher_Square", &TCipher::Class, nullptr},
                                           &NewCipher<TCipher_Square>,
                                           &TCipher_Square::GetContext,
                                           &TCipher_Square::TestVector};

void TCipher_Square::GetContext(int& bufSize, int& keySize, int& userSize) {
  bufSize = 16;
  keySize = 16;
  userSize = sizeof(Schedule);
}

const uint8_t* TCipher_Square::TestVector() { return SquareTestVector; }

void TCipher_Square::Init(const void* key, int size, const void* IVector) {
  InitBegin(size);
  uint32_t k[9][4] = {};
  if (size > 0) std::memcpy(k[0], key, size);
  // Key evolution: the last row rotated by one byte plus the round constant
  // 1, 2, 4, ... goes into the first row, each next row adds the one before.
  uint8_t constant = 1;
  for (int t = 1; t <= 8; ++t) {
    uint32_t rot = (k[t - 1][3] >> 8) | (k[t - 1][3] << 24);
    k[t][0] = k[t - 1][0] ^ rot ^ constant;
    for (int r = 1; r < 4; ++r) k[t][r] = k[t - 1][r] ^ k[t][r - 1];
    constant = GMul(constant, 2);
  }
  Schedule& s = *static_cast<Schedule*>(User());
  for (int t = 0; t < 9; ++t)
    for (int r = 0; r < 4; ++r) {
      s.Enc[t][r] = t < 8 ? Theta(k[t][r]) : k[t][r];
      s.Dec[t][r] = t == 8 ? Theta(k[0][r]) : k[8 - t][r];
    }
  WipeBuffer(k, sizeof k);
  InitEnd(IVector);
}

// The state is four rows, each a little-endian word of its four bytes; pi
// (the transposition) is folded into the table lookups.
void TCipher_Square::Encode(void* data) {
  const Schedule& s = *static_cast<const Schedule*>(User());
  uint32_t a[4], b[4];
  std::memcpy(a, data, 16);
  for (int r = 0; r < 4; ++r) a[r] ^= s.Enc[0][r];
  for (int t = 1; t < 8; ++t) {
    for (int i = 0; i < 4; ++i)
      b[i] = T.Te[0][Byte(a[0], i)] ^ T.Te[1][Byte(a[1], i)] ^ T.Te[2][Byte(a[2], i)] ^ T.Te[3][Byte(a[3], i)] ^
             s.Enc[t][i];
    std::memcpy(a, b, 16);
  }
  for (int i = 0; i < 4; ++i)
    b[i] = (uint32_t(T.Se[Byte(a[0], i)]) | uint32_t(T.Se[Byte(a[1], i)]) << 8 | uint32_t(T.Se[Byte(a[2], i)]) << 16 |
            uint32_t(T.Se[Byte(a[3], i)]) << 24) ^
           s.Enc[8][i];
  std::memcpy(data, b, 16);
}

void TCipher_Square::Decode(void* data) {
  const Schedule& s = *static_cast<const Schedule*>(User());
  uint32_t a[4], b[4];
  std::memcpy(a, data, 16);
  for (int r = 0; r < 4; ++r) a[r] ^= s.Dec[0][r];
  for (int t = 1; t < 8; ++t) {
    for (int i = 0; i < 4; ++i)
      b[i] = T.Td[0][Byte(a[0], i)] ^ T.Td[1][Byte(a[1], i)] ^ T.Td[2][Byte(a[2], i)] ^ T.Td[3][Byte(a[3], i)] ^
             s.Dec[t][i];
    std::memcpy(a, b, 16);
  }
  for (int i = 0; i < 4; ++i)
    b[i] = (uint32_t(T.Sd[Byte(a[0], i)]) | uint32_t(T.Sd[Byte(a[1], i)]) << 8 | uint32_t(T.Sd[Byte(a[2], i)]) << 16 |
            uint32_t(T.Sd[Byte(a[3], i)]) << 24) ^
           s.Dec[8][i];
  std::memcpy(data, b, 16);
}
