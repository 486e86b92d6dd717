#include "Cipher_Rijndael.h"

#include <array>
#include <cstring>

namespace {

constexpr uint8_t XTime(uint8_t x) { return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0)); }

constexpr uint8_t GMul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b) {
    if (b & 1) r ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return r;
}

constexpr uint32_t Rotl(uint32_t x, int n) { return n ? (x << n) | (x >> (32 - n)) : x; }

struct Tables {
  uint8_t S[256];
  uint8_t Si[256];
  uint32_t Te[4][256];  // SubBytes and MixColumns of one row, little-endian column words
  uint32_t Td[4][256];  // InvSubBytes and InvMixColumns
};

constexpr Tables MakeTables() {
  Tables t{};
  // Powers and logarithms of the generator 3 give the multiplicative inverses.
  uint8_t pow[256] = {}, log[256] = {};
  uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    pow[i] = x;
    log[x] = static_cast<uint8_t>(i);
    x = static_cast<uint8_t>(x ^ XTime(x));
  }
  for (int i = 0; i < 256; ++i) {
    uint8_t inv = i ? pow[(255 - log[i]) % 255] : 0;
    uint8_t s = inv;
    uint8_t r = inv;
    for (int k = 0; k < 4; ++k) {
      r = static_cast<uint8_t>((r << 1) | (r >> 7));
      s ^= r;
    }
    s ^= 0x63;
    t.S[i] = s;
    t.Si[s] = static_cast<uint8_t>(i);
  }
  for (int i = 0; i < 256; ++i) {
    uint8_t s = t.S[i];
    uint32_t e = uint32_t(GMul(s, 2)) | uint32_t(s) << 8 | uint32_t(s) << 16 | uint32_t(GMul(s, 3)) << 24;
    uint8_t si = t.Si[i];
    uint32_t d = uint32_t(GMul(si, 14)) | uint32_t(GMul(si, 9)) << 8 | uint32_t(GMul(si, 13)) << 16 |
                 uint32_t(GMul(si, 11)) << 24;
    for (int r = 0; r < 4; ++r) {
      t.Te[r][i] = Rotl(e, 8 * r);
      t.Td[r][i] = Rotl(d, 8 * r);
    }
  }
  return t;
}

constexpr Tables T = MakeTables();

const uint8_t RijndaelTestVector[32] = {0x92, 0x4e, 0x4e, 0xb7, 0x4b, 0xe6, 0xb9, 0xdf, 0x1d, 0x01, 0xd3,
                                        0xc2, 0x6c, 0x5e, 0x12, 0xa5, 0xbe, 0xf3, 0xde, 0x9d, 0x44, 0x67,
                                        0x98, 0x3e, 0x36, 0xc3, 0x40, 0x0a, 0x0c, 0x67, 0x56, 0xc2};
const uint8_t RijndaelZETestVector[32] = {0xe6, 0xeb, 0xa5, 0x28, 0x42, 0x7d, 0xb1, 0xbf, 0x87, 0x1e, 0x04,
                                          0x03, 0x61, 0xdc, 0x72, 0x2c, 0x76, 0x16, 0xc1, 0xb1, 0xc9, 0x5e,
                                          0xda, 0x4e, 0x7d, 0x67, 0xd2, 0x30, 0x9f, 0xda, 0x9f, 0x9f};

inline uint32_t SubWord(uint32_t w) {
  return uint32_t(T.S[w & 0xFF]) | uint32_t(T.S[(w >> 8) & 0xFF]) << 8 | uint32_t(T.S[(w >> 16) & 0xFF]) << 16 |
         uint32_t(T.S[w >> 24]) << 24;
}

inline uint32_t B0(uint32_t w) { return w & 0xFF; }
inline uint32_t B1(uint32_t w) { return (w >> 8) & 0xFF; }
inline uint32_t B2(uint32_t w) { return (w >> 16) & 0xFF; }
inline uint32_t B3(uint32_t w) { return w >> 24; }

}  // namespace

const TCipherMeta TCipher_Rijndael::Class = {{"TCipher_Rijndael", &TCipher::Class, nullptr},
                                             &NewCipher<TCipher_Rijndael>,
                                             &TCipher_Rijndael::GetContext,
                                             &TCipher_Rijndael::TestVector};
const TCipherMeta TCipher_RijndaelZE::Class = {{"TCipher_RijndaelZE", &TCipher_Rijndael::Class, nullptr},
                                               &NewCipher<TCipher_RijndaelZE>,
                                               &TCipher_RijndaelZE::GetContext,
                                               &TCipher_RijndaelZE::TestVector};

void TCipher_Rijndael::GetContext(int& bufSize, int& keySize, int& userSize) {
  bufSize = 16;
  keySize = 32;
  userSize = 480;
}

const uint8_t* TCipher_Rijndael::TestVector() { return RijndaelTestVector; }
const uint8_t* TCipher_RijndaelZE::TestVector() { return RijndaelZETestVector; }

void TCipher_Rijndael::BuildKey(const uint8_t* key, int size, bool otherSchedule) {
  FRounds = size <= 16 ? 10 : size <= 24 ? 12 : 14;
  const int nk = FRounds - 6;
  const int total = 4 * (FRounds + 1);
  uint32_t w[64];
  std::memcpy(w, key, 4 * nk);
  uint8_t rcon = 1;
  if (otherSchedule && nk == 8) {
    for (int g = 1; 8 * g < total; ++g) {
      uint32_t* k = w + 8 * g;
      std::memcpy(k, k - 8, 32);
      k[0] ^= SubWord(Rotl(k[7], 24)) ^ rcon;
      for (int j = 1; j < 8; ++j) k[j] ^= k[j - 1];
      k[4] ^= SubWord(k[3]);
      for (int j = 5; j < 8; ++j) k[j] ^= k[j - 1];
      rcon = XTime(rcon);
    }
  } else {
    for (int i = nk; i < total; ++i) {
      uint32_t t = w[i - 1];
      if (i % nk == 0) {
        t = SubWord(Rotl(t, 24)) ^ rcon;  // RotWord on a little-endian word
        rcon = XTime(rcon);
      } else if (nk > 6 && i % nk == 4) {
        t = SubWord(t);
      }
      w[i] = w[i - nk] ^ t;
    }
  }
  uint32_t* enc = static_cast<uint32_t*>(User());
  uint32_t* dec = enc + 60;
  std::memcpy(enc, w, 4 * total);
  // The equivalent inverse cipher: round keys in reverse order, the inner
  // ones through InvMixColumns.
  for (int r = 0; r <= FRounds; ++r) {
    const uint32_t* src = enc + 4 * (FRounds - r);
    for (int c = 0; c < 4; ++c) {
      uint32_t v = src[c];
      if (r > 0 && r < FRounds)
        v = T.Td[0][T.S[B0(v)]] ^ T.Td[1][T.S[B1(v)]] ^ T.Td[2][T.S[B2(v)]] ^ T.Td[3][T.S[B3(v)]];
      dec[4 * r + c] = v;
    }
  }
  WipeBuffer(w, sizeof w);
}

void TCipher_Rijndael::InitSchedule(const void* key, int size, const void* IVector, bool otherSchedule) {
  InitBegin(size);
  uint8_t k[32] = {};
  if (size > 0) std::memcpy(k, key, size);
  BuildKey(k, size, otherSchedule);
  WipeBuffer(k, sizeof k);
  InitEnd(IVector);
}

void TCipher_Rijndael::Init(const void* key, int size, const void* IVector) { InitSchedule(key, size, IVector, false); }

void TCipher_RijndaelZE::Init(const void* key, int size, const void* IVector) {
  InitSchedule(key, size, IVector, true);
}

namespace {
// One block through all rounds. Decryption is encryption with the inverse
// tables, the inverse round keys, and the columns taken the other way round:
// turn is 1 to encrypt (columns c, c+1, c+2, c+3) and 3 to decrypt (c, c+3,
// c+2, c+1).
void CryptBlock(const uint32_t (&round)[4][256], const uint8_t (&last)[256], int turn, const uint32_t* rk, int rounds,
                void* data) {
  uint32_t s[4], t[4];
  std::memcpy(s, data, 16);
  for (int c = 0; c < 4; ++c) s[c] ^= rk[c];
  for (int r = 1; r < rounds; ++r) {
    rk += 4;
    for (int c = 0; c < 4; ++c)
      t[c] = round[0][B0(s[c])] ^ round[1][B1(s[(c + turn) & 3])] ^ round[2][B2(s[(c + 2 * turn) & 3])] ^
             round[3][B3(s[(c + 3 * turn) & 3])] ^ rk[c];
    std::memcpy(s, t, 16);
  }
  rk += 4;
  for (int c = 0; c < 4; ++c)
    t[c] = (uint32_t(last[B0(s[c])]) | uint32_t(last[B1(s[(c + turn) & 3])]) << 8 |
            uint32_t(last[B2(s[(c + 2 * turn) & 3])]) << 16 | uint32_t(last[B3(s[(c + 3 * turn) & 3])]) << 24) ^
           rk[c];
  std::memcpy(data, t, 16);
}
}  // namespace

void TCipher_Rijndael::Encode(void* data) {
  CryptBlock(T.Te, T.S, 1, static_cast<const uint32_t*>(User()), FRounds, data);
}

// The decryption round keys start after the 60 words of the encryption ones.
void TCipher_Rijndael::Decode(void* data) {
  CryptBlock(T.Td, T.Si, 3, static_cast<const uint32_t*>(User()) + 60, FRounds, data);
}
