// Square (Daemen, Knudsen, Rijmen), keys of up to 16 bytes filled with zero
// bytes to 16.
#pragma once

#include "Zfcipher.h"

class TCipher_Square : public TCipher {
  CL_CIPHER_CLASS(TCipher_Square, TCipher)
  CL_CIPHER_CONSTRUCTORS(TCipher_Square, TCipher)
public:
  static void GetContext(int& bufSize, int& keySize, int& userSize);
  static const uint8_t* TestVector();

  void Encode(void* data) override;
  void Decode(void* data) override;
  void Init(const void* key, int size, const void* IVector) override;
};
