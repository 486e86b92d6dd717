// DES (FIPS 46-3) and two triple-DES forms: encrypt-decrypt-encrypt over
// 8-byte blocks, and the same over 24-byte blocks with words exchanged
// between the layers.
#pragma once

#include "Zecipher.h"

// Single DES. Keys are filled with zero bytes to 8; parity bits are ignored.
class TCipher_1DES : public TCipher {
  CL_BLOCK_CIPHER(TCipher_1DES, TCipher)

  // One DES subkey set (32 words: two per round) from key bytes 0..keyHigh
  // (filled with zero bytes to 8), in reverse round order when reverse is set.
  static void MakeKey(const uint8_t* key, int keyHigh, uint32_t* subkeys, bool reverse);

protected:
  // One 8-byte block through one subkey set, in place.
  static void DESFunc(const uint32_t* subkeys, uint8_t* block);
};

// K1 = key bytes 0-7, K2 = 8-15, K3 = 16-23, the key filled with zero bytes
// to 24 (a 16-byte key gives K3 = 0, not K3 = K1). Encode: E(K1), D(K2), E(K3).
class TCipher_3DES : public TCipher_1DES {
  CL_BLOCK_CIPHER(TCipher_3DES, TCipher_1DES)

protected:
  // The six subkey sets: K1 encrypt, K1 decrypt, K2 ..., K3 ...
  const uint32_t* Set(int key, bool decrypt) const {
    return static_cast<const uint32_t*>(const_cast<TCipher_3DES*>(this)->User()) + 64 * key + (decrypt ? 32 : 0);
  }
};

// Triple DES over 24-byte blocks: the three 8-byte parts pass each layer, and
// words 1/2 and 3/4 change places between the layers.
class TCipher_3TDES : public TCipher_3DES {
  CL_CIPHER_CLASS(TCipher_3TDES, TCipher_3DES)
  CL_CIPHER_CONSTRUCTORS(TCipher_3TDES, TCipher_3DES)
public:
  static void GetContext(int& bufSize, int& keySize, int& userSize);
  static const uint8_t* TestVector();

  void Encode(void* data) override;
  void Decode(void* data) override;
};
