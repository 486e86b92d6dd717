// Twofish (Schneier et al.), keys of up to 32 bytes filled with zero bytes
// to 16, 24 or 32.
#pragma once

#include "Zfcipher.h"

class TCipher_Twofish : public TCipher {
  CL_CIPHER_CLASS(TCipher_Twofish, TCipher)
  CL_CIPHER_CONSTRUCTORS(TCipher_Twofish, TCipher)
public:
  static void GetContext(int& bufSize, int& keySize, int& userSize);
  static const uint8_t* TestVector();

  void Encode(void* data) override;
  void Decode(void* data) override;
  void Init(const void* key, int size, const void* IVector) override;
};
